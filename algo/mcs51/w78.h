// Winbond's 8051 flash parts in their parallel mode, one flow with a profile per
// form (WinbondProfile, in w78.cpp): the "W7851" form (W78E51 to W78E516, their B
// versions and W77E54/58: the program pulse on P3.6, 12.5 V on EA, 14 V for the
// erase, 64-byte reads byte by byte) and the "W78E516" form (W78E516B and the
// W78LE parts: 5 V programming with the pulse on P3.4, modes on P3.0-P3.3, a
// 4 KiB LDROM after the APROM, 256-byte block reads). Both assemble the CFG
// byte at 0xFFFF from their boxes.
//
// Socket pins (DIP40): RST 9, P3.0-P3.3 10-13, P3.4 14, P3.5 15, P3.6 16, P3.7
// 17, XTAL2 18, XTAL1 19, GND 20, A8-A15 on P2 (21-28), PSEN 29, ALE 30, EA 31,
// VCC 40; A0-A7 through latch 0; both run every contact test with test pin 20
// and the DIP40 masks.
#pragma once

#include "algo/mcs51/steps51.h"

namespace quilla {

struct WinbondProfile;
extern const WinbondProfile kW7851Profile, kW78e516Profile;

class WinbondForm : public Steps51Form {
public:
    WinbondForm(Workbench& wb, const WinbondProfile& row);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    void ReadRom() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick() override;
    void SecrityClick() override;
    void IDClick() override;
    void Button1Click() override;

    void PowerUp51() override;
    // The clock pins' pair check of the 12.5 V parts (nothing on the others).
    int PreCheck51() override;
    // The byte on the data bus, then the profile's program pulse.
    void ProgramByte51(std::uint8_t value) override;
    // Writes one CFG or seed byte at `address` (set after the power-up).
    void LockBitPulse51(std::int32_t address, std::uint8_t value);
    int CheckDeviceId() override;

protected:
    // The own step: the signature read, then the locked question (false: stop).
    bool OwnStep(int kind) override;

private:
    static ControlRows Window(const WinbondProfile& k);
    // The blocks from 0 while a < last address and a <= EndAddr (64-byte strobe
    // reads or 256-byte blocks, P3.6 raised at the LDROM's first address);
    // `block(a, bytes, count)` false stops (false returned).
    bool WalkChip(const Mcs51Row& r, const std::function<bool(std::int32_t, const std::uint8_t*, int)>& block);
    // The check pass of Blank and Verify over WalkChip.
    void CheckChip(const Mcs51Row& r, const CheckPass51& pass);
    // Seed_0 and Seed_1 as hexadecimal; false (shown, nothing sent) when a seed
    // the form would program is not.
    bool ReadSeeds(std::int32_t (&seed)[2]);

    const WinbondProfile& w_;
};

struct TPW785x : WinbondForm { explicit TPW785x(Workbench& wb) : WinbondForm(wb, kW7851Profile) {} };
struct TW78e516x : WinbondForm { explicit TW78e516x(Workbench& wb) : WinbondForm(wb, kW78e516Profile) {} };

}  // namespace quilla
