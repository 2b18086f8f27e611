// 16V8- and 20V8-type logic devices: the GAL (and ATF) parts in their edit
// mode, and the PALCE16V8 in its programming mode. One model class per way of
// programming, with a table of parts.
//
// The cells are kept as the JEDEC fuse list ('0'/'1', fuse n at index n), so
// Contents() compares directly with a fuse map: R array rows of 64 bits (cell
// of row c, bit p = fuse R·p + c), then, from A = 64·R, the eight XOR bits
// (A..A+7), the user signature (A+8..A+71), AC1 (A+72..A+79), the 64
// product-term enables (A+80..A+143), SYN (A+144) and AC0 (A+145).
//
// GAL edit mode. The datasheets give the pins, supplies and ratings; the edit
// mode itself has no public programming sheet (the vendors keep it),
// so the model takes the public edit-mode pinouts as its interface and keeps
// the rest below as its own rules (chip-side facts, written down first):
//
//   pins (16V8)  EDIT 2, RA1..RA5 3..7, SCLK 8, SDIN 9, GND 10, /STR 11,
//                SDOUT 12, RA0 18, P/V 19, VCC 20, VIL 1, 13..17
//   pins (20V8)  EDIT 2, RA1..RA3 3..5, RA4 8, RA5 9, SCLK 10, SDIN 11, GND 12,
//                /STR 13, SDOUT 15, RA0 21, P/V 22, VCC 24,
//                VIL 1, 6, 7, 14, 16..20, 23
//   edit mode    VCC from the programmer's supply at 4.75..5.25 V with ground
//                on GND, and pin 2 (EDIT) fed by the VPP supply inside the
//                part's window (the row's level +-0.5 V). VPP on EDIT while VCC
//                is off is a violation (the datasheets: VCC before VPP).
//   shift        a 82-bit register: each SCLK rise shifts SDIN in at its tail
//                and the bit at its head out; SDOUT shows the head while P/V is
//                low (read), and is released while P/V is high.
//   /STR fall    takes the row address RA5..RA0 (all VIL pins must stand low,
//                else the strobe is ignored). P/V low: the row is loaded into
//                the register (bit 0 at the head). P/V high: the row is
//                programmed from the last n bits shifted in (n its length):
//                while /STR stays low every cell whose bit is 0 gathers
//                programming time; a cell goes 1 -> 0 once it has gathered
//                ProgramTime() (summed over pulses, times the slow factor), so
//                a cell never goes 0 -> 1 but by the erase.
//   rows         0..R-1 the array (64 bits), R the user signature (64), 60
//                the architecture row (82 bits, edit-mode order: XOR 0-3, AC0,
//                AC1 0-3, PT 0-63, AC1 4-7, SYN, XOR 4-7), 61 the security cell
//                (programmed by a 0 as the last bit), 63 the bulk erase; other
//                rows read as ones and program nothing. Row 58 is the public
//                pinouts' electronic-signature (PES) row: no datasheet gives
//                its bytes, so it reads as ones like the unused rows, takes no
//                programming and no erase.
//   erase        a strobe of row 63 with P/V high starts it; it completes
//                once edit mode has held for EraseTime (the datasheets' erase
//                figure of < 100 ms) and clears every cell and the security
//                cell; leaving edit mode before that abandons it.
//   security     once set, the array and the architecture row read as ones
//                (the signature row stays readable) and nothing programs
//                until an erase.
//   ProgramTime  no datasheet gives the pulse (the edit mode is the vendors'):
//                the form's pulse is four settle waits (40 ms) on the 20-pin
//                parts and three (30 ms) on the 24-pin parts, and the model
//                needs just under it, 35 ms and 25 ms (family rule 8): a pulse
//                one wait short leaves the row unprogrammed.
//
// PALCE16V8 programming mode. No public programming sheet either;
// the model takes the chip-side facts the form's row write shows and adds the
// read the form lacks (also written in sim/README.md):
//
//   pins         CLK 1, DATA 2, VPP 3 (10 V, +-0.5 V), ADDR 4, LOAD 5, PGM 8,
//                GND 10, DOUT 19, VCC 20 (4.75..5.25 V)
//   ADDR high    each CLK rise shifts DATA into the 6-bit row address, most
//                significant bit first
//   LOAD rise    (ADDR low) loads the addressed row into the 82-bit register;
//                while LOAD is high each CLK rise shifts DATA in at the tail and
//                the head out; DOUT shows the head while LOAD is high (released
//                otherwise)
//   PGM high     raised while LOAD is high and held StrobeTime (0.9 us,
//                times the slow factor) with LOAD high and the programming
//                supplies on: the addressed row takes the last n bits shifted
//                in (row 63: bulk erase; row 61: security by a last bit of 0).
//                The form queues no wait after this strobe: its next command
//                (the next row's PGM low, or the supply disconnection) comes
//                1 us later. The model accepts that and no less (family rule 8).
//   rows         as the GAL's with R = 34 (the signature row is row 34).
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

struct GalPart {
    const char* name;
    int pins;          // 20 or 24
    int rows;          // R: 32 (16V8) or 40 (20V8); 34 for the PALCE16V8
    Tenths vpp;        // the programming level on EDIT (VPP for the PALCE)
};

const std::vector<GalPart>& GalParts();

// The shared cell store of the 16V8-style parts, in JEDEC numbering.
class GalCells {
public:
    static constexpr int Bits = 64;       // per array row
    static constexpr int ArchBits = 82;   // row 60
    static constexpr int ArchRow = 60, SecurityRow = 61, EraseRow = 63;

    explicit GalCells(int rows);
    int Rows() const { return rows_; }
    int FuseCount() const { return static_cast<int>(fuses_.size()); }
    int A() const { return rows_ * Bits; }
    // Bits in a row (0 for rows that hold nothing).
    int RowLength(int row) const;
    // The JEDEC fuse of a row's bit, -1 when none.
    int FuseOf(int row, int bit) const;
    // Bit b of row 60 -> fuse offset from A (the edit-mode order).
    static int ArchFuseOffset(int bit);

    bool Cell(int row, int bit) const;
    std::vector<std::uint8_t>& Fuses() { return fuses_; }
    const std::vector<std::uint8_t>& Fuses() const { return fuses_; }
    bool Secured() const { return secured_; }
    void SetSecured(bool on) { secured_ = on; }
    // What a read of the row gives (ones where security hides the row).
    std::vector<bool> ReadRow(int row) const;
    void EraseAll();

private:
    int rows_;
    std::vector<std::uint8_t> fuses_;
    bool secured_ = false;
};

class GalChip : public Chip {
public:
    static constexpr Nanos EraseTime = 100 * Millisecond;
    // The programming time a cell needs (see the header).
    Nanos ProgramTime() const { return part_.pins == 20 ? 35 * Millisecond : 25 * Millisecond; }

    explicit GalChip(const GalPart& part);

    std::string Name() const override { return part_.name; }
    int PinCount() const override { return part_.pins; }
    std::vector<int> GroundPins() const override { return {pins_.gnd}; }
    std::vector<int> VccPins() const override { return {pins_.vcc}; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override { Leave(); }

    std::span<const std::uint8_t> Contents() const override { return cells_.Fuses(); }
    std::span<std::uint8_t> MutableContents() override { return cells_.Fuses(); }

    const GalPart& Part() const { return part_; }
    GalCells& Cells() { return cells_; }
    const GalCells& Cells() const { return cells_; }
    bool InEditMode() const { return edit_; }
    int Strobes() const { return strobes_; }
    int Erases() const { return erases_; }

    struct EditPins {
        int edit, sclk, sdin, str, sdout, pv, vcc, gnd;
        int ra[6];
        std::vector<int> vil;
    };

private:
    void Leave();
    void Strobe(ChipPins& pins);
    void ShowOut(ChipPins& pins);

    const GalPart& part_;
    EditPins pins_;
    GalCells cells_;
    std::deque<bool> reg_;
    std::vector<Nanos> gathered_;   // programming time per fuse (and the security cell last)
    bool edit_ = false;
    bool lastSclk_ = false, lastStr_ = true;
    bool programming_ = false;      // a P/V-high strobe is low
    int pulseRow_ = -1;
    std::vector<bool> pulseBits_;
    bool erasing_ = false;
    Nanos eraseGathered_ = 0;
    int strobes_ = 0, erases_ = 0;
};

class PalceChip : public Chip {
public:
    static constexpr int CLK = 1, DATA = 2, VPP = 3, ADDR = 4, LOAD = 5, PGM = 8, GND = 10, DOUT = 19, VCC = 20;
    // How long PGM must stay high (with LOAD high) to program or erase: just
    // under the 1 us between the form's PGM command and its next one.
    static constexpr Nanos StrobeTime = 900;

    explicit PalceChip(const GalPart& part);

    std::string Name() const override { return part_.name; }
    int PinCount() const override { return 20; }
    std::vector<int> GroundPins() const override { return {GND}; }
    std::vector<int> VccPins() const override { return {VCC}; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override {
        mode_ = false;
        pending_ = false;
    }

    std::span<const std::uint8_t> Contents() const override { return cells_.Fuses(); }
    std::span<std::uint8_t> MutableContents() override { return cells_.Fuses(); }
    GalCells& Cells() { return cells_; }
    const GalCells& Cells() const { return cells_; }
    int RowsProgrammed() const { return programmed_; }

private:
    void Program();

    const GalPart& part_;
    GalCells cells_;
    std::deque<bool> reg_;
    bool mode_ = false;
    bool lastClk_ = false, lastLoad_ = false, lastPgm_ = false;
    int address_ = 0;
    int programmed_ = 0;
    bool pending_ = false;  // PGM rose with LOAD high
    Nanos pgmHigh_ = 0;
};

// A blank chip of a 16V8/20V8-style part in the standard DIP position; chip
// empty when the part is unknown.
SeatedPart MakeGal(std::string_view name);
void RegisterGalParts(ChipRegistry& registry);

}  // namespace quilla::sim
