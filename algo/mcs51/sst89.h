// The SST89 flash forms (keywords SST89E554, SST89E564, SST89C5X): SST89C54,
// SST89C58, SST89E/V554RC and SST89E/V564RD in their external host mode, at
// logic levels only (VPP at 0 V, or at the VCC level on the E564 form).
//
// Socket pins (DIP40 numbering): RST 9, P3.3 13, P3.4 (A14) 14, P3.5 (A15) 15,
// P3.6 16, P3.7 17, XTAL2 18, XTAL1 19 (the programmer's clock), GND 20, P2.0-
// P2.5 (A8-A13) 21-26, P2.6 27, P2.7 28, PSEN 29, ALE/PROG 30, EA 31, VCC 40;
// A0-A7 through latch 0, the data with 0x21, reads in 256-byte blocks (0x20).
// Each row has two code blocks: block 0 from 0 to its last address and block 1
// from its Block1Start to 0xFFFF; reads, checks and writes walk both, whatever
// EndAddr says.
#pragma once

#include "algo/mcs51/steps51.h"

namespace quilla {

struct Sst89Profile;
struct SstGroup;
extern const Sst89Profile kSst89e554Profile, kSst89e564Profile, kSst89c5xProfile;

// The three forms' one flow; a form is its profile (in sst89.cpp).
class Sst89Form : public Steps51Form {
public:
    Sst89Form(Workbench& wb, const Sst89Profile& row);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    // ---- the handlers -------------------------------------------------------------
    void ReadRom() override;
    void EraseClick() override;
    void BlankClick() override { CheckChip(kBlankPass51, [this] { SuppliesOff(); }); }
    void VerifyClick() override { CheckChip(kVerifyPass51, [this] { Ep3.VccPin(0); }); }
    void WriteClick() override;
    void ReadIDClick();
    // The bits of the ticked boxes: the configuration (E554/E564 "Wr.CFG"), the
    // security bits (E554/E564 "Lock"; on the C5X "Wr.CFG" with RB0 and RB1).
    void ConfigClick();
    void SecuClick();
    void Button1Click() override;

    // ---- the routines ---------------------------------------------------------------
    int PreCheck51() override;
    void PowerUp51() override;
    void SetModePins51(bool p37, bool p36, bool p27, bool p28);
    void ReadIdBytes51();
    void ProgramByte51(std::uint8_t b) override;
    // The progress over 0..0xFFFF, whatever the row.
    void ShowProgress(std::int32_t value);

protected:
    // The own step: ReadIdBytes51.
    bool OwnStep(int kind) override;

private:
    // Block starts over both blocks; false from `block` ends the walk.
    bool AddressWalk(const Mcs51Row& r, const std::function<bool(std::int32_t)>& block);
    // The walk reading each block into the image (`pass` null) or judging it
    // (`off` at a fault).
    bool ReadWalk(const Mcs51Row& r, const CheckPass51* pass, const std::function<void()>& off);
    // Blank and Verify: the pass, the supplies off at its end.
    void CheckChip(const CheckPass51& pass, const std::function<void()>& off);
    // The group's ticked bits, each after a signature read.
    void ProgramTicked(const SstGroup& g);

    const Sst89Profile& k_;
};

struct TSST89e554x : Sst89Form { explicit TSST89e554x(Workbench& wb) : Sst89Form(wb, kSst89e554Profile) {} };
struct TSST89e564x : Sst89Form { explicit TSST89e564x(Workbench& wb) : Sst89Form(wb, kSst89e564Profile) {} };
struct TSST89c5x1 : Sst89Form { explicit TSST89c5x1(Workbench& wb) : Sst89Form(wb, kSst89c5xProfile) {} };

}  // namespace quilla
