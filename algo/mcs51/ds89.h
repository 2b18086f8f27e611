// The DS89C4x0 form (keyword DS89C4X0): DS89C430, DS89C440, DS89C450 (and the
// DS89C420 row) in parallel mode at 5 V without a programming supply, in the
// DIP40 socket ("p51dip40") or the PLCC44 adapter ("p51plcc44"). Each cycle is
// chosen by P2.6 (27), P2.7 (28), P3.6 (16), P3.7 (17) and P3.3 (13); RST 9
// high, PSEN 29 low, EA 31 high, XTAL1 19 clocked, ALE/PROG 30 the strobe;
// A0-A7 on latch 0, A8-A13 on 21-26, A14 on 14, A15 on 15.
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

class TDs89c4xx : public Mcs51Form {
public:
    explicit TDs89c4xx(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void IDClick();
    void Button2Click() { IDClick(); }
    void ConfigClick();
    void SecrityClick();
    void Button1Click();

    void PowerUp51();
    int PreCheck51() { return 1; }
    void SetModePins51(bool p26, bool p27, bool p36, bool p37);
    void ProgramByte51(std::uint8_t b);
    void LockBitPulse51(int level);
    int CheckDeviceId();

private:
    // Read, Blank, Verify: the power-up and the read setting.
    void ReadSetting() { SetModePins51(false, false, true, true); }
    void EraseStage(bool p37);
};

}  // namespace quilla
