// 16-bit EPROMs of 128 KiB to 2 MiB on adapter boards (keyword I27CX): read,
// blank-checked and verified over the whole size from the Device offset in
// 8 KiB blocks; programmed one pulse per word (the word on the data bus by
// 0x45, the row's strobe line low for dly= x the "Delay :" multiplier pulse
// waits, high again, the counter stepped by 0x46), without erase and without
// read-back. VPP 12.7 V.
//
// Device-line keys: mem= (the size, 2..6: 128 KiB..2 MiB), dly= (pulse waits
// of 10 us per word), vcc= (millivolts).
#pragma once

#include "algo/memory/adapter_form.h"

namespace quilla {

class Ti27cx : public AdapterForm {
public:
    explicit Ti27cx(Workbench& wb);

    void SetupForDevice() override;
    std::string DeviceLineError() const override;

    void ReadClick() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void MFGClick() override { ReadId(); }
    void Button1Click() override;  // the batch " Run "

    bool FlashPowerUp() override;
    bool CheckDeviceId() override;

    // The pulse waits of one word: dly= times the multiplier of "Delay :"; refused
    // (with a message) when the box does not begin with a digit or the product
    // is 0 or does not fit the command queue.
    int PulseWaits();

protected:
    void FillVariantTable() override;
    bool ReadId() override;

private:
    int Key(const char* key) const { return wb.sel.GetParam(key); }
    // The first image index and chip byte of a whole-size loop, checked.
    void RequireWholeSize(std::int64_t file, std::int32_t blocks);
};

}  // namespace quilla
