// The AND-type flash form (keyword HN29AND): a 512 KiB part at a fixed VCC of
// 3.3 V on socket 34, ground on 31, through one of seven adapter designs chosen
// by pkg=; words programmed by the design's program command named by we0=;
// a chip erase by the design's stored cycles only with era=2901. Read in 2 KiB
// blocks, Blank and Verify in 8 KiB blocks from the Device offset up to Device
// offset + Length; no contact test.
//
// Device-line keys: pkg= (4801, 4802, 4803, 4401, 4402, 4408, 4096), we0= (the
// program opcode), dly= (long waits after the chip erase), era= (2901: erase).
#pragma once

#include "algo/memory/adapter_form.h"

namespace quilla {

class THn29w25611x : public AdapterForm {
public:
    explicit THn29w25611x(Workbench& wb);

    void SetupForDevice() override;
    std::string DeviceLineError() const override;

    void ReadClick() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick() override;
    void MFGClick() override { ReadId(); }
    void Button1Click() override;  // the batch " Run "

    bool FlashPowerUp() override;
    bool CheckDeviceId() override;

protected:
    void FillVariantTable() override;
    bool ReadId() override;

private:
    int Key(const char* key) const { return wb.sel.GetParam(key); }
};

}  // namespace quilla
