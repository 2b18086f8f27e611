// Atmel's AT89LS8252, AT89LS53 and AT89S53 in their 12 V parallel mode
// (keyword AT89X8252): 12 V on EA/VPP while reading too, the lock bits written
// as one data byte, the signature at 0x30/0x31; DIP40 in the socket or PLCC44 in
// the adapter (the contact tests always use the DIP40 arguments).
//
// Socket pins as the AT89C5x form (at89c5x.h); the address's high bits A8-A13
// on 21-26.
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

class TAt89x8252x : public Mcs51Form {
public:
    explicit TAt89x8252x(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void SecrityClick();
    void IDClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    // The contact test with the fixed arguments (test pin 20, DIP40 masks).
    bool Contact();
    int PowerUp51();
    int PreCheck51();
    std::uint8_t ProgramByte51(std::uint8_t value);
    // Programs the lock bits whose data bit is 0; false when the current check failed.
    bool LockBitPulse51(std::uint8_t lockByte);
    int CheckDeviceId();

    // The text Read ends with.
    static const char* const ReadDoneText;
};

}  // namespace quilla
