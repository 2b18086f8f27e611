#include "sim/chips/gal.h"

#include <algorithm>

namespace quilla::sim {

namespace {

constexpr Tenths VccMin = 47, VccMax = 53;  // 4.75..5.25 V (0.1 V steps)
constexpr Tenths VppHalfWindow = 5;         // the programming level +-0.5 V
constexpr std::size_t RegisterBits = GalCells::ArchBits;

bool InVppWindow(Tenths v, Tenths level) { return v >= level - VppHalfWindow && v <= level + VppHalfWindow; }

GalChip::EditPins EditPinsOf(int pinCount) {
    if (pinCount == 20) return {2, 8, 9, 11, 12, 19, 20, 10, {18, 3, 4, 5, 6, 7}, {1, 13, 14, 15, 16, 17}};
    return {2, 10, 11, 13, 15, 22, 24, 12, {21, 3, 4, 5, 8, 9}, {1, 6, 7, 14, 16, 17, 18, 19, 20, 23}};
}

// The 82-bit register: a clock shifts one bit in at the tail and the head out.
void ShiftIn(std::deque<bool>& reg, bool bit) {
    reg.pop_front();
    reg.push_back(bit);
}

// A row loaded for reading: bit 0 at the head.
void Load(std::deque<bool>& reg, const std::vector<bool>& row) {
    std::fill(reg.begin(), reg.end(), true);
    std::copy(row.begin(), row.begin() + static_cast<long>(std::min(row.size(), RegisterBits)), reg.begin());
}

// The last n bits shifted in.
std::vector<bool> LastBits(const std::deque<bool>& reg, int n) {
    return std::vector<bool>(reg.end() - n, reg.end());
}

}  // namespace

const std::vector<GalPart>& GalParts() {
    static const std::vector<GalPart> parts{
        {"GAL16V8", 20, 32, 165},  {"GAL16V8A", 20, 32, 120}, {"GAL16V8B", 20, 32, 120},
        {"GAL20V8", 24, 40, 165},  {"GAL20V8A", 24, 40, 120}, {"GAL20V8B", 24, 40, 120},
        {"ATF16V8B", 20, 32, 120}, {"ATF20V8B", 24, 40, 120}, {"GAL16V8-10V", 20, 32, 100},
        {"PALCE16V8H", 20, 34, 100},
    };
    return parts;
}

// ---- the cells ------------------------------------------------------------------------------

GalCells::GalCells(int rows) : rows_(rows), fuses_(static_cast<std::size_t>(rows * Bits + 146), '1') {}

int GalCells::RowLength(int row) const {
    if (row >= 0 && row <= rows_) return Bits;  // the array and the signature row
    if (row == ArchRow) return ArchBits;
    if (row == SecurityRow || row == EraseRow) return 1;
    return 0;
}

int GalCells::ArchFuseOffset(int bit) {
    if (bit < 4) return bit;                   // XOR 0-3
    if (bit == 4) return 145;                  // AC0
    if (bit < 9) return 72 + (bit - 5);        // AC1 0-3
    if (bit < 73) return 80 + (bit - 9);       // PT 0-63
    if (bit < 77) return 76 + (bit - 73);      // AC1 4-7
    if (bit == 77) return 144;                 // SYN
    return 4 + (bit - 78);                     // XOR 4-7
}

int GalCells::FuseOf(int row, int bit) const {
    if (bit < 0 || bit >= RowLength(row)) return -1;
    if (row >= 0 && row < rows_) return rows_ * bit + row;
    if (row == rows_) return A() + 8 + bit;
    if (row == ArchRow) return A() + ArchFuseOffset(bit);
    return -1;
}

bool GalCells::Cell(int row, int bit) const {
    const int f = FuseOf(row, bit);
    return f < 0 || fuses_[static_cast<std::size_t>(f)] != '0';
}

std::vector<bool> GalCells::ReadRow(int row) const {
    const int n = RowLength(row) > 1 ? RowLength(row) : Bits;
    std::vector<bool> out(static_cast<std::size_t>(n), true);
    const bool hidden = secured_ && row != rows_;
    if (hidden) return out;
    for (int b = 0; b < n; ++b) out[static_cast<std::size_t>(b)] = Cell(row, b);
    return out;
}

void GalCells::EraseAll() {
    std::fill(fuses_.begin(), fuses_.end(), static_cast<std::uint8_t>('1'));
    secured_ = false;
}

// ---- GAL edit mode ------------------------------------------------------------------------------

GalChip::GalChip(const GalPart& part)
    : part_(part), pins_(EditPinsOf(part.pins)), cells_(part.rows), gathered_(cells_.Fuses().size() + 1, 0) {}

AbsoluteMaximum GalChip::Ratings() const {
    // The datasheets: VCC and every input up to 7.0 V; EDIT is rated for its
    // programming level (taken as the top of the window + 0.5 V).
    AbsoluteMaximum r;
    r.anyPin = 70;
    r.pins.push_back({pins_.edit, part_.vpp + 2 * VppHalfWindow});
    r.vppAfterVcc.push_back(pins_.edit);
    return r;
}

void GalChip::Leave() {
    edit_ = false;
    programming_ = false;
    erasing_ = false;
    eraseGathered_ = 0;
}

void GalChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.SupplyVoltage(pins_.vcc);
    const bool edit = pins.Grounded(pins_.gnd) && vcc >= VccMin && vcc <= VccMax &&
                      InVppWindow(pins.SupplyVoltage(pins_.edit), part_.vpp);
    const bool sclk = pins.High(pins_.sclk), str = pins.High(pins_.str);
    if (!edit) {
        if (edit_) {
            Leave();
            pins.Release(pins_.sdout);
        }
        lastSclk_ = sclk;
        lastStr_ = str;
        return;
    }
    if (!edit_) {
        edit_ = true;
        reg_.assign(RegisterBits, true);
        lastSclk_ = sclk;
        lastStr_ = str;
    }
    if (sclk && !lastSclk_) ShiftIn(reg_, pins.High(pins_.sdin));
    lastSclk_ = sclk;
    if (!str && lastStr_) Strobe(pins);
    if (str && !lastStr_) programming_ = false;
    lastStr_ = str;
    ShowOut(pins);
}

void GalChip::Strobe(ChipPins& pins) {
    for (int p : pins_.vil)
        if (pins.High(p)) return;  // not the edit-mode levels: the strobe does nothing
    int row = 0;
    for (int k = 0; k < 6; ++k)
        if (pins.High(pins_.ra[k])) row |= 1 << k;
    ++strobes_;
    if (!pins.High(pins_.pv)) {
        Load(reg_, cells_.ReadRow(row));
        return;
    }
    if (cells_.Secured() && row != GalCells::EraseRow) return;
    if (row == GalCells::EraseRow) {
        erasing_ = true;
        eraseGathered_ = 0;
        return;
    }
    const int n = cells_.RowLength(row);
    if (n == 0) return;
    programming_ = true;
    pulseRow_ = row;
    pulseBits_ = LastBits(reg_, n);
}

void GalChip::ShowOut(ChipPins& pins) {
    if (pins.High(pins_.pv)) {
        pins.Release(pins_.sdout);
        return;
    }
    pins.Drive(pins_.sdout, reg_.front());
}

void GalChip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (!edit_) return;
    const double need = static_cast<double>(ProgramTime()) * SlowFactor();
    if (programming_) {
        auto gather = [&](std::size_t slot, std::uint8_t* cell) {
            gathered_[slot] += dt;
            if (static_cast<double>(gathered_[slot]) >= need && cell) *cell = '0';
            return static_cast<double>(gathered_[slot]) >= need;
        };
        if (pulseRow_ == GalCells::SecurityRow) {
            if (!pulseBits_.back() && gather(gathered_.size() - 1, nullptr)) cells_.SetSecured(true);
        } else {
            for (std::size_t b = 0; b < pulseBits_.size(); ++b) {
                if (pulseBits_[b]) continue;
                const int f = cells_.FuseOf(pulseRow_, static_cast<int>(b));
                if (f >= 0) gather(static_cast<std::size_t>(f), &cells_.Fuses()[static_cast<std::size_t>(f)]);
            }
        }
    }
    if (erasing_) {
        eraseGathered_ += dt;
        if (static_cast<double>(eraseGathered_) >= static_cast<double>(EraseTime) * SlowFactor()) {
            cells_.EraseAll();
            std::fill(gathered_.begin(), gathered_.end(), 0);
            erasing_ = false;
            ++erases_;
        }
    }
}

// ---- PALCE16V8 programming mode ------------------------------------------------------------------

PalceChip::PalceChip(const GalPart& part) : part_(part), cells_(part.rows) {}

AbsoluteMaximum PalceChip::Ratings() const {
    // The datasheet: VCC and inputs up to 7.0 V; pin 3 takes the 10 V
    // programming level (rated here at 14.0 V: the datasheet gives no figure).
    AbsoluteMaximum r;
    r.anyPin = 70;
    r.pins.push_back({VPP, 140});
    r.vppAfterVcc.push_back(VPP);
    return r;
}

void PalceChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.SupplyVoltage(VCC);
    const bool mode = pins.Grounded(GND) && vcc >= VccMin && vcc <= VccMax &&
                      InVppWindow(pins.SupplyVoltage(VPP), part_.vpp);
    const bool clk = pins.High(CLK), load = pins.High(LOAD), pgm = pins.High(PGM);
    if (!mode) {
        if (mode_) pins.Release(DOUT);
        mode_ = false;
        pending_ = false;
        lastClk_ = clk, lastLoad_ = load, lastPgm_ = pgm;
        return;
    }
    if (!mode_) {
        mode_ = true;
        reg_.assign(RegisterBits, true);
        lastClk_ = clk, lastLoad_ = load, lastPgm_ = pgm;
    }
    const bool addr = pins.High(ADDR);
    if (load && !lastLoad_ && !addr) Load(reg_, cells_.ReadRow(address_));
    if (clk && !lastClk_) {
        if (addr) {
            address_ = ((address_ << 1) | (pins.High(DATA) ? 1 : 0)) & 63;
        } else if (load) {
            ShiftIn(reg_, pins.High(DATA));
        }
    }
    if (pgm && !lastPgm_ && load) {
        pending_ = true;
        pgmHigh_ = 0;
    }
    if (!pgm || !load) pending_ = false;
    lastClk_ = clk, lastLoad_ = load, lastPgm_ = pgm;
    if (load) {
        pins.Drive(DOUT, reg_.front());
    } else {
        pins.Release(DOUT);
    }
}

void PalceChip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (!pending_ || !mode_) return;
    pgmHigh_ += dt;
    if (static_cast<double>(pgmHigh_) < static_cast<double>(StrobeTime) * SlowFactor()) return;
    pending_ = false;
    Program();
}

void PalceChip::Program() {
    const int row = address_;
    if (row == GalCells::EraseRow) {
        cells_.EraseAll();
        return;
    }
    if (cells_.Secured()) return;
    const int n = cells_.RowLength(row);
    if (n == 0) return;
    const std::vector<bool> bits = LastBits(reg_, n);
    ++programmed_;
    if (row == GalCells::SecurityRow) {
        if (!bits.back()) cells_.SetSecured(true);
        return;
    }
    for (int b = 0; b < n; ++b) {
        const int f = cells_.FuseOf(row, b);
        if (f >= 0 && !bits[static_cast<std::size_t>(b)]) cells_.Fuses()[static_cast<std::size_t>(f)] = '0';
    }
}

// ---- registry ------------------------------------------------------------------------------------

SeatedPart MakeGal(std::string_view name) {
    for (const GalPart& p : GalParts()) {
        if (name != p.name) continue;
        if (name.rfind("PALCE", 0) == 0) return {std::make_unique<PalceChip>(p), Placement::Dip(20)};
        return {std::make_unique<GalChip>(p), Placement::Dip(p.pins)};
    }
    return {nullptr, Placement::Dip(20)};
}

void RegisterGalParts(ChipRegistry& registry) {
    for (const GalPart& p : GalParts()) {
        const std::string name = p.name;
        registry.Add(name, [name] { return MakeGal(name); });
    }
}

}  // namespace quilla::sim
