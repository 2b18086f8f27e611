// The ATmega161/162/163 page-write forms: TAtmega161x ("ATmeg161/L"), the
// ATmega162 fuse-grid form built on it (atmega162.h) and TAtmega163x
// ("ATmeg163"). They share one device table and the handlers of the ATmega
// form with their own voltages, waits, fuse layouts and EEPROM byte writes.
#pragma once

#include "algo/avr/hv_form.h"

namespace quilla {

class TAtmega16xForm : public AvrHvForm {
public:
    void EraseClick() override;
    void WriteClick() override;
    void SecrityClick() override;
    void RdDataClick() override;
    void WrDataClick() override;
    void ReadIDClick();
    void Button1Click();

protected:
    TAtmega16xForm(Workbench& wb, std::string caption, HvVariant variant);
    void FillRows() override;

    // The head of the three windows: the operation buttons, Read ID (named
    // `id`) and the batch group.
    static ControlRows WindowHead(const char* id);

    // Page waits of 1 ms after each flash page.
    virtual int PageWaits() const;
    // The lock byte from the lock boxes or cells (bits 6 and 7 are 0); false refuses.
    virtual bool LockByte(std::uint8_t& lock);
    // Design, pins and status of the setup.
    void SetupCommon(bool typeNum);
    void SetupPlcc44OrDip40();

    // Writes one fuse byte (BS1 and BS2 as given) after an entry of its own at the
    // writing level, "Fuse..."; `last` adds a 100 ms wait and BS2 low. False when
    // the entry or the current check ended the handler.
    bool WriteFuseByte(std::uint8_t b, bool bs1, bool bs2, bool checkCurrent, bool last);

    // The start of the ATmega161/162 fuse reads: the entry at the reading level,
    // the read command with BS1 and BS2 low, the chip driving the data (fuse
    // low byte selected). False when the entry refused.
    bool BeginFuseRead();

    // Writes the EEPROM byte by byte (or page by page where the row has pages).
    void WriteEeprom(const AvrRow& r, bool progressBefore);
};

class TAtmega161x : public TAtmega16xForm {
public:
    explicit TAtmega161x(Workbench& wb);
    void SetupForDevice() override;
    void WtFuseClick() override;
    void ReadFuseClick() override;

    int ProgramVccMv = 4400;
    int ReadVccMv = 3300;

protected:
    TAtmega161x(Workbench& wb, std::string caption, HvVariant variant);
    // Programs at 4.4 V and reads at 3.3 V.
    void VccForWriting() override { Ep3.SetVcc(ProgramVccMv); }
    void VccForReading() override { Ep3.SetVcc(ReadVccMv); }
};

class TAtmega163x : public TAtmega16xForm {
public:
    explicit TAtmega163x(Workbench& wb);
    void SetupForDevice() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick() override;
    void WrDataClick() override;
    void WtFuseClick() override;
    void ReadFuseClick() override;

protected:
    int PageWaits() const override;
    // Every entry starts at the programming level of the setup: a Verify at a low
    // level is not left in force for the next Write or Erase.
    int EnterProgramming() override;
};

}  // namespace quilla
