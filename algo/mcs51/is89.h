// The command-register form (keyword IS89C52): IS89C51A, IS89C52A and their
// 3.3 V versions IS89LV51A and IS89LV52A. Every operation first writes its
// command byte into the chip's command register: the byte on P0 (0x21),
// latched by a low pulse on P2.6 (27) while P2.7 (28) is high.
//
// Pins (DIP40): RST 9 high, PSEN 29 low, P3.6 16 and P3.7 17 high, XTAL1 19
// clocked, ALE/PROG 30 the program strobe, EA 31 (VppPinNo) 5 V while
// programming, erasing and locking; A0-A7 on latch 0, A8-A12 on 21-25. Design
// "p51dip40" ("p51plcc44" for a "*P44" type).
#pragma once

#include "algo/mcs51/steps51.h"

namespace quilla {

class TIS89c52ax : public Steps51Form {
public:
    explicit TIS89c52ax(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    // ---- the handlers -------------------------------------------------------------
    void ReadRom() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick() override;
    void SecrityClick() override;
    void SignateClick();  // "ID": the signature
    void Button1Click() override;

    // ---- the routines ---------------------------------------------------------------
    void PowerUp51() override;
    void ProgramByte51(std::uint8_t b) override;
    void LockBitPulse51(std::uint8_t code);
    // P2.7 high, the code on P0, P2.6 low then high (with wait 25 between in the
    // erase commands).
    void Command51(std::uint8_t code, bool withWait = false);

protected:
    // The own step: EA/VPP's pin and P2.7 high (logic levels, before VPP is routed).
    bool OwnStep(int kind) override;
};

}  // namespace quilla
