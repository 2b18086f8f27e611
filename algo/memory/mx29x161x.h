// JEDEC-command flash with a 128-byte page program in 44- and 48-pin SOP
// packages on adapter boards (keyword MX29X161X): the design (pkg= 48 or 44)
// holds a page buffer that the form fills with 0x0C loads, one per transfer;
// 0x43 gives page byte 0 and 0x49 n has the design program n + 1 bytes and wait
// for the chip. Read, Blank and Verify in 8 KiB blocks up to Device offset +
// Length; Erase by the design's stored cycles, a second Erase and Unlock by
// explicit command writes at AAAAh/5554h.
//
// Device-line keys: pkg= (48 or 44: the design), gnd= (ground pin or code),
// vcc= (millivolts), dly= (long waits of 100 ms after the chip erase).
#pragma once

#include "algo/memory/adapter_form.h"

namespace quilla {

class TMx29x161x1 : public AdapterForm {
public:
    explicit TMx29x161x1(Workbench& wb);

    void SetupForDevice() override;
    std::string DeviceLineError() const override;
    int ReadIdForSelfCheck() override;

    void ReadClick() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick() override;
    void MFGClick() override { ReadId(); }
    void Button1Click() override;  // the batch " Run "
    void Button2Click();  // Unlock
    void Button3Click();  // the chip erase by explicit command writes

    bool FlashPowerUp() override;
    bool CheckDeviceId() override;
    // One command write: the counter, [0x43 value], a strobe of line 4.
    void CommandWrite(std::int32_t address, std::uint8_t value);
    // AA at AAAAh and 55 at 5554h (the unlock cycles), then `command` at AAAAh.
    void Unlock2();
    void UnlockedCommand(std::uint8_t command);
    // The chip powered (false on over-current), lines 3 high, 2 and 1 low, the
    // design's stored cycle 0: ready for command writes.
    bool CommandState();

    // The contact masks of the last setup with pkg= 48 or 44 (0/0 before one).
    static std::uint32_t MaskLo, MaskHi;

protected:
    void FillVariantTable() override;
    bool ReadId() override;

private:
    int Key(const char* key) const { return wb.sel.GetParam(key); }
    // The contact test of Erase, Write and Verify; false ends the operation.
    bool Contact();
};

}  // namespace quilla
