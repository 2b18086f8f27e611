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

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

// What the three forms share; a form is this with its variant.
class Sst89Form : public Mcs51Form {
public:
    enum class Variant { E554, E564, C5x };

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    // ---- the handlers -------------------------------------------------------------
    void ReadRom();
    void EraseClick();
    void BlankClick() { CheckChip(kBlankPass51, [this] { SuppliesOff(); }); }
    void VerifyClick() { CheckChip(kVerifyPass51, [this] { Ep3.VccPin(0); }); }
    void WriteClick();
    void ReadIDClick();
    // Wr.CFG of the E554/E564 forms: the configuration bits ticked.
    void ConfigClick();
    // Lock of the E554/E564 forms: the security bits ticked.
    void SecuClick();
    // Wr.CFG of the C5X form: SB1-SB3, RB0, RB1 as ticked.
    void SecrityClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    // ---- the routines ---------------------------------------------------------------
    int PreCheck51();
    int PowerUp51();
    void SetModePins51(bool p37, bool p36, bool p27, bool p28);
    void ReadIdBytes51();
    void ProgramByte51(std::uint8_t b);
    // The progress over 0..0xFFFF, whatever the row.
    void ShowProgress(std::int32_t value);

protected:
    Sst89Form(Workbench& wb, Variant v);

private:
    // A bit: its setting (P2.6, P2.7, P3.6, P3.7) and its address (-1: the
    // 0x30 the signature read leaves).
    struct Bit51 {
        bool p26, p27, p36, p37;
        std::int32_t address;
    };
    // Block starts over both blocks; false from `block` ends the walk.
    bool AddressWalk(const Mcs51Row& r, const std::function<bool(std::int32_t)>& block);
    // Read, Blank and Verify: the power-up, the signature read, the read mode
    // from address 0 (VPP routed on the E564 form); false when the current
    // check failed.
    bool EnterRead();
    // The walk reading each block into the image (`pass` null) or judging it
    // (`off` at a fault).
    bool ReadWalk(const Mcs51Row& r, const CheckPass51* pass, const std::function<void()>& off);
    // Blank and Verify: the pass, the supplies off at its end.
    void CheckChip(const CheckPass51& pass, const std::function<void()>& off);
    // The bits of the ticked boxes, in order; SecuClick, ConfigClick and SecrityClick.
    void ProgramTicked(const char* text, const std::vector<std::pair<const char*, Bit51>>& bits);

    Variant variant_;
};

class TSST89e554x : public Sst89Form {
public:
    explicit TSST89e554x(Workbench& wb) : Sst89Form(wb, Variant::E554) {}
};
class TSST89e564x : public Sst89Form {
public:
    explicit TSST89e564x(Workbench& wb) : Sst89Form(wb, Variant::E564) {}
};
class TSST89c5x1 : public Sst89Form {
public:
    explicit TSST89c5x1(Workbench& wb) : Sst89Form(wb, Variant::C5x) {}
};

}  // namespace quilla
