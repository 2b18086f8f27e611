// JEDEC-command flash of 128 KiB to 8 MiB, 8 or 16 bits wide, on adapter boards
// (keyword P29F640): reads, blank checks and verifies in 8 KiB blocks, writes by
// the design's program command (0x42 word, 0x43 byte), a chip erase by the
// stored command cycles, sector protection by one of three methods (prt=) and
// the 128-bit protection register.
//
// Device-line keys: mem= (the size, 1..7: 128 KiB..8 MiB), dly= (long waits of
// the chip erase: dly + 1 of 100 ms), cm3= (3: the command addresses 555h/2AAh,
// line 6 high), prt= (1, 2 or 3: the lock method), ptw= (no-ops after each
// program command), msk= (bit 0 the temporary-unprotect group, 1 Lock, 2
// Unlock, 3 the protection register group), vcc= (millivolts).
#pragma once

#include "algo/memory/adapter_form.h"

namespace quilla {

class TP29f640x : public AdapterForm {
public:
    explicit TP29f640x(Workbench& wb);

    void SetupForDevice() override;
    std::string DeviceLineError() const override;
    int ReadIdForSelfCheck() override;

    void ReadClick() override { Read8K(Progress::Device); }
    void BlankClick() override { Blank8K(); }
    void VerifyClick() override { Verify8K(Progress::Device); }
    void WriteClick() override;
    void EraseClick() override;
    void MFGClick() override;
    void ProtectClick() { Lock(true); }
    void UnProtectClick() { Lock(false); }
    void Button4Click();  // protection register read
    void Button6Click();  // protection register write
    void Button1Click() override;  // the batch "运行"

    bool FlashPowerUp() override;
    bool CheckDeviceId() override;
    void ProtectionRegisterWrite(std::int32_t address, std::uint16_t value);

protected:
    void FillVariantTable() override;
    bool ReadId() override;
    void AfterDesignReload() override;

private:
    void Lock(bool lock);
    void LockMethod12(const AdapterRow& r, bool lock, bool highVoltage);
    void LockMethod3();
    // AA at 5555h (555h with `shortSet`), 55 at 2AAAh (2AAh), `command` at 5555h (555h).
    void UnlockedCommand(bool shortSet, std::uint8_t command);
    int Key(const char* key) const { return wb.sel.GetParam(key); }
};

}  // namespace quilla
