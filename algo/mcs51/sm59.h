// The SM59 forms (keywords SM59064, SM59264): 64 KiB 8051 flash parts with an
// in-system-programming area at the top, programmed in parallel without VPP
// (EA driven as a logic pin): the program, erase and lock pulses are a low
// pulse on P3.7 (17) while ALE/PROG (30) is low; the modes sit on P3.4/P3.5
// (`TSm59064x`) or P3.0/P3.1 (`TSm59264x`). `TSm59064x` sets the ISP area size
// (n x 512 bytes, n = 0..8) and leaves the area out of Blank and Verify;
// `TSm59264x`'s area 0xFC00-0xFFFF is fixed and left out of its size.
#pragma once

#include "algo/mcs51/sm8951.h"

namespace quilla {

class Sm59Form : public SyncMos51Form {
public:
    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    // ---- the handlers -------------------------------------------------------------
    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void SecrityClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }
    // TSm59064x: erase, program and read the ISP area size.
    void Button2Click();
    void Button3Click();
    void Button4Click();

    // ---- the routines ---------------------------------------------------------------
    int PreCheck51();
    void SetModePins51(unsigned mask);

    // Blank and Verify stop below this address (the ISP area is left out).
    std::int32_t CheckLimit() const;

protected:
    Sm59Form(Workbench& wb, bool sm59264);

private:
    // The read setting after the power-up (L 30, L 29, VPP off, L 31, M m).
    void ReadSetting(unsigned mask);
    // The check limit of Blank and Verify, refused (nothing sent) below 0.
    Mcs51Row LimitedRow();
    void IspCycle(const char* status, bool program);

    bool sm59264_;
};

class TSm59064x : public Sm59Form {
public:
    explicit TSm59064x(Workbench& wb) : Sm59Form(wb, false) {}
};

class TSm59264x : public Sm59Form {
public:
    explicit TSm59264x(Workbench& wb) : Sm59Form(wb, true) {}
};

}  // namespace quilla
