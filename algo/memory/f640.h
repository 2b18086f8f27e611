// Block-erasable flash with the Intel command set on adapter boards (keyword
// F640): 8- or 16-bit parts up to 8 MiB, read, blank-checked and verified in
// 8 KiB blocks, erased block by block (20h D0h; parameter blocks in the bottom
// and top eight, main blocks between), programmed by the design's program
// command (0x47 word, 0x48 byte: 40h and the data, the design polling the
// status register), blocks locked down (60h 2Fh) and the protection register
// read and written (C0h).
//
// Device-line keys: mem= (the size, 1..7: 128 KiB..8 MiB), dly= (long waits of
// 100 ms after each block erase), vcc= (millivolts), oth= (bit 1: clear the
// block locks, 60h D0h, before each block erase and every 0x1000 bytes while
// writing; bit 2: show the protection register group). VPP is 12 V.
#pragma once

#include "algo/memory/adapter_form.h"

namespace quilla {

class TF640x : public AdapterForm {
public:
    explicit TF640x(Workbench& wb);

    void SetupForDevice() override;
    std::string DeviceLineError() const override;
    int ReadIdForSelfCheck() override;

    void ReadClick() override { Read8K(Progress::Done); }
    void BlankClick() override { Blank8K(); }
    void VerifyClick() override { Verify8K(Progress::Done); }
    void WriteClick() override;
    void EraseClick() override;
    void MFGClick() override;
    void Button2Click();  // Lock: block lock-down over the whole chip
    void Button4Click();  // protection register read
    void Button6Click();  // protection register write
    void Button1Click() override;  // the batch " Run "

    bool FlashPowerUp() override;
    bool CheckDeviceId() override;
    void ProtectionRegisterWrite(std::int32_t address, std::uint16_t value);

protected:
    void FillVariantTable() override;
    bool ReadId() override;

private:
    // The read-identifier mode (90h) read of one block from `address` (0 the ID,
    // 80h the protection register); false when the chip could not be powered.
    bool ReadIdentifier(std::int32_t address);
    int Key(const char* key) const { return wb.sel.GetParam(key); }
    bool ClearLocks() const { return (Key("oth=") & 2) != 0; }
};

}  // namespace quilla
