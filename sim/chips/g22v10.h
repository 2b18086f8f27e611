// 22V10-type logic devices (GAL22V10, GAL22V10B, ATF22V10B) in their edit
// mode, and the 22CV10 variant (22CV10, 22CV10A, 22CV10A+, 22CV10Z).
//
// The cells are kept as the JEDEC fuse list ('0'/'1'): 44 rows of 132 bits
// (cell of row r, bit b = fuse 44·b + r, fuses 0..5807), the 20 architecture
// bits (S0/S1 of the ten OLMCs, fuses 5808..5827), then the 132 bits of row 44
// (the user signature in its first 64: fuses 5828..5891; the other 68 bits
// after the JEDEC list, 5892..5959).
//
// 22V10 edit mode, from the datasheets (pins, supplies, ratings) and the
// public edit-mode table (EDIT 2, P/V 3, RA2 4, RA1 5, RA0 6, RA3 7, RA4 8,
// RA5 9, SCLK 10, SDIN 11, GND 12, /STB 13, SDOUT 14, VCC 24):
//
//   edit mode    VCC from the programmer's supply at 4.75..5.25 V and EDIT fed
//                by the VPP supply at the part's level +-0.5 V (12 V); VPP on
//                EDIT while VCC is off is a violation.
//   shift        each SCLK rise shifts SDIN in at the tail of a 138-bit
//                register and the head out; SDOUT shows the head while P/V is
//                low.
//   row address  The form sends it serially: the six bits last shifted in
//                before a strobe, least significant first (the public table
//                shows RA pins instead; the model takes the form's way). The RA
//                pins are looked at for one thing: RA4 high with RA0-RA3 and RA5
//                low (pin address 16) selects the architecture bits.
//   /STB fall    P/V low: the addressed row (or the architecture bits) is
//                loaded into the register, bit 0 at the head. P/V high: the
//                strobe takes the address and the register as they stand and
//                acts at its rise, when /STB stayed low for StrobeTime (0.9 us,
//                times the slow factor) with P/V high: the addressed row takes
//                the 132 bits shifted in before the address (the architecture
//                bits: the last 20 bits), each cell only 1 -> 0; row 61 sets
//                the security cell when the bit before the address is 0; row
//                63 erases every cell and the security cell. The forms queue
//                no wait in these strobes: /STB low and high are back-to-back
//                pin commands (1 us apart), and the datasheets' erase takes
//                < 100 ms. The model accepts that and no less (family rule 8).
//   security     the array and the architecture bits read as ones and nothing
//                programs until an erase; row 44 stays readable.
//   row numbers  The datasheets give none (the edit mode is the vendors'). A
//                public edit-mode description numbers the 22V10's rows
//                differently from the forms (erase 61, erase-all 60, PES 58)
//                and names no security row; no datasheet or programming
//                document settles them, so the model keeps the forms' rows
//                (61 security, 63 erase). Row 58 is the PES row: no datasheet
//                gives its bytes, so it reads as ones and takes no programming
//                and no erase.
//
// 22CV10: no public document gives its programming. The model takes the
// form's pins as its interface (family rule 2): programming as the 22V10's
// (same P/V, SCLK, SDIN and /STB pins, serial row address) with 14.5 V on
// pin 1 (+-0.5 V) instead of pin 2, no SDOUT, and a column-group read:
//
//   read mode    the programming supplies on and P/V low
//   group g      0..16 on pins 7 (bit 0), 8 (bit 1), 9, 10, 11 (bits 2-4);
//                a change of the group lines sets the row counter to 0
//   rows         while pin 6 is high, pin 4 high drives the eight cells of the
//                counter's row in the group (column 8g + k on pin 16 + k; ones
//                past column 131) on pins 16..23; pin 4 falling advances the
//                counter (pins released while pin 4 or pin 6 is low)
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

struct G22v10Part {
    const char* name;
    bool cv10;      // the 22CV10 variant
    Tenths vpp;     // the programming level
};

class G22v10Chip : public Chip {
public:
    static constexpr int Rows = 44, Bits = 132, ArchBits = 20;
    static constexpr int A = Rows * Bits;                 // 5808
    static constexpr int JedecFuses = A + ArchBits + 64;  // 5892
    static constexpr int SignatureRow = 44, PesRow = 58, SecurityRow = 61, EraseRow = 63;
    // How long /STB must stay low with P/V high to program or erase: just
    // under the 1 us between the forms' two strobe commands.
    static constexpr Nanos StrobeTime = 900;
    static constexpr int PV = 3, SCLK = 10, SDIN = 11, GND = 12, STB = 13, SDOUT = 14, VCC = 24;

    explicit G22v10Chip(const G22v10Part& part);

    std::string Name() const override { return part_.name; }
    int PinCount() const override { return 24; }
    std::vector<int> GroundPins() const override { return {GND}; }
    std::vector<int> VccPins() const override { return {VCC}; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override {
        edit_ = false;
        pending_ = false;
    }

    std::span<const std::uint8_t> Contents() const override { return fuses_; }
    std::span<std::uint8_t> MutableContents() override { return fuses_; }

    // Cell of row r (0..44), bit b; the architecture bit i as row -1.
    bool Cell(int row, int bit) const;
    bool Secured() const { return secured_; }
    // A worn security cell that never takes (tests of the lock check).
    void SetSecurityFault(bool on) { securityFault_ = on; }
    int Strobes() const { return strobes_; }
    int Erases() const { return erases_; }
    int EditPin() const { return part_.cv10 ? 1 : 2; }

private:
    int FuseOf(int row, int bit) const;
    std::vector<bool> ReadRow(int row, bool arch) const;
    void Strobe(ChipPins& pins);
    void Program();  // the pending strobe's row, at its end
    void ColumnRead(ChipPins& pins);

    const G22v10Part& part_;
    std::vector<std::uint8_t> fuses_;
    std::deque<bool> reg_;
    bool secured_ = false, securityFault_ = false;
    bool edit_ = false;
    bool lastSclk_ = false, lastStb_ = true;
    int strobes_ = 0, erases_ = 0;
    // A P/V-high strobe taken at its fall, done at its rise.
    bool pending_ = false, pendingArch_ = false;
    int pendingRow_ = 0;
    Nanos strobeLow_ = 0;
    // 22CV10 column read
    int group_ = -1, rowCounter_ = 0;
    bool lastStep_ = false;
};

const std::vector<G22v10Part>& G22v10Parts();
void RegisterG22v10Parts(ChipRegistry& registry);

}  // namespace quilla::sim
