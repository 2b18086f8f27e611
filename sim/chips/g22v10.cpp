#include "sim/chips/g22v10.h"

#include <algorithm>

namespace quilla::sim {

namespace {

constexpr Tenths VccMin = 47, VccMax = 53;
constexpr Tenths VppHalfWindow = 5;
constexpr std::size_t RegisterBits = G22v10Chip::Bits + 6;
constexpr int RaPins[6] = {6, 5, 4, 7, 8, 9};  // RA0..RA5
constexpr int GroupPins[5] = {7, 8, 9, 10, 11};
constexpr int RowEnable = 6, RowStep = 4, FirstOutput = 16;

}  // namespace

const std::vector<G22v10Part>& G22v10Parts() {
    static const std::vector<G22v10Part> parts{
        {"GAL22V10", false, 120}, {"GAL22V10B", false, 120}, {"ATF22V10B", false, 120},
        {"22CV10", true, 145},    {"22CV10A", true, 145},    {"22CV10A+", true, 145},
        {"22CV10Z", true, 145},
    };
    return parts;
}

G22v10Chip::G22v10Chip(const G22v10Part& part)
    : part_(part), fuses_(static_cast<std::size_t>(A + ArchBits + Bits), '1'), reg_(RegisterBits, true) {}

AbsoluteMaximum G22v10Chip::Ratings() const {
    // The datasheets: VCC and inputs up to 7.0 V; the edit pin is rated for its
    // programming level (taken as the top of the window + 0.5 V).
    AbsoluteMaximum r;
    r.anyPin = 70;
    r.pins.push_back({EditPin(), part_.vpp + 2 * VppHalfWindow});
    r.vppAfterVcc.push_back(EditPin());
    return r;
}

int G22v10Chip::FuseOf(int row, int bit) const {
    if (row == -1) return bit >= 0 && bit < ArchBits ? A + bit : -1;
    if (bit < 0 || bit >= Bits) return -1;
    if (row >= 0 && row < Rows) return Rows * bit + row;
    if (row == SignatureRow) return A + ArchBits + bit;
    return -1;
}

bool G22v10Chip::Cell(int row, int bit) const {
    const int f = FuseOf(row, bit);
    return f < 0 || fuses_[static_cast<std::size_t>(f)] != '0';
}

std::vector<bool> G22v10Chip::ReadRow(int row, bool arch) const {
    const int n = arch ? ArchBits : Bits;
    std::vector<bool> out(static_cast<std::size_t>(n), true);
    if (secured_ && (arch || row < Rows)) return out;
    for (int b = 0; b < n; ++b) out[static_cast<std::size_t>(b)] = Cell(arch ? -1 : row, b);
    return out;
}

void G22v10Chip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.SupplyVoltage(VCC);
    const Tenths vpp = pins.SupplyVoltage(EditPin());
    const bool edit = pins.Grounded(GND) && vcc >= VccMin && vcc <= VccMax && vpp >= part_.vpp - VppHalfWindow &&
                      vpp <= part_.vpp + VppHalfWindow;
    const bool sclk = pins.High(SCLK), stb = pins.High(STB);
    if (!edit) {
        pending_ = false;
        if (edit_) {
            edit_ = false;
            if (!part_.cv10) pins.Release(SDOUT);
            for (int k = 0; k < 8; ++k) pins.Release(FirstOutput + k);
        }
        lastSclk_ = sclk, lastStb_ = stb;
        return;
    }
    if (!edit_) {
        edit_ = true;
        std::fill(reg_.begin(), reg_.end(), true);
        lastSclk_ = sclk, lastStb_ = stb;
        group_ = -1;
        lastStep_ = pins.High(RowStep);
    }
    if (sclk && !lastSclk_) {
        reg_.pop_front();
        reg_.push_back(pins.High(SDIN));
    }
    lastSclk_ = sclk;
    if (!stb && lastStb_) Strobe(pins);
    if (stb && !lastStb_ && pending_) {
        // The strobe ends: it programs (or erases) when it lasted long enough
        // with P/V still high.
        const double need = static_cast<double>(StrobeTime) * SlowFactor();
        const bool done = pins.High(PV) && static_cast<double>(strobeLow_) >= need;
        pending_ = false;
        if (done) Program();
    }
    lastStb_ = stb;
    if (part_.cv10) {
        ColumnRead(pins);
    } else if (pins.High(PV)) {
        pins.Release(SDOUT);
    } else {
        pins.Drive(SDOUT, reg_.front());
    }
}

void G22v10Chip::Strobe(ChipPins& pins) {
    ++strobes_;
    int pinAddress = 0;
    for (int k = 0; k < 6; ++k)
        if (pins.High(RaPins[k])) pinAddress |= 1 << k;
    const bool arch = pinAddress == 16;
    int row = 0;
    for (int k = 0; k < 6; ++k)
        if (reg_[RegisterBits - 6 + static_cast<std::size_t>(k)]) row |= 1 << k;
    if (!pins.High(PV)) {
        const std::vector<bool> bits = ReadRow(row, arch);
        std::fill(reg_.begin(), reg_.end(), true);
        std::copy(bits.begin(), bits.end(), reg_.begin());
        return;
    }
    pending_ = true;
    pendingArch_ = arch;
    pendingRow_ = row;
    strobeLow_ = 0;
}

void G22v10Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (pending_ && edit_) strobeLow_ += dt;
}

void G22v10Chip::Program() {
    const bool arch = pendingArch_;
    const int row = pendingRow_;
    if (row == PesRow && !arch) return;  // read-only
    if (arch) {
        if (secured_) return;
        for (int b = 0; b < ArchBits; ++b)
            if (!reg_[RegisterBits - ArchBits + static_cast<std::size_t>(b)]) fuses_[static_cast<std::size_t>(A + b)] = '0';
        return;
    }
    if (row == EraseRow) {
        std::fill(fuses_.begin(), fuses_.end(), static_cast<std::uint8_t>('1'));
        secured_ = false;
        ++erases_;
        return;
    }
    if (secured_) return;
    if (row == SecurityRow) {
        if (!reg_[RegisterBits - 7] && !securityFault_) secured_ = true;
        return;
    }
    for (int b = 0; b < Bits; ++b) {
        const int f = FuseOf(row, b);
        if (f >= 0 && !reg_[static_cast<std::size_t>(b)]) fuses_[static_cast<std::size_t>(f)] = '0';
    }
}

void G22v10Chip::ColumnRead(ChipPins& pins) {
    int g = 0;
    for (int k = 0; k < 5; ++k)
        if (pins.High(GroupPins[k])) g |= 1 << k;
    if (g != group_) {
        group_ = g;
        rowCounter_ = 0;
    }
    const bool enabled = !pins.High(PV) && pins.High(RowEnable);
    const bool step = pins.High(RowStep);
    if (enabled && lastStep_ && !step) ++rowCounter_;
    lastStep_ = step;
    if (!enabled || !step || rowCounter_ >= Rows) {
        for (int k = 0; k < 8; ++k) pins.Release(FirstOutput + k);
        return;
    }
    for (int k = 0; k < 8; ++k) {
        const int column = 8 * g + k;
        const bool cell = column >= Bits || secured_ || Cell(rowCounter_, column);
        pins.Drive(FirstOutput + k, cell);
    }
}

void RegisterG22v10Parts(ChipRegistry& registry) {
    for (const G22v10Part& p : G22v10Parts()) {
        const G22v10Part* part = &p;
        registry.Add(p.name, [part] { return SeatedPart{std::make_unique<G22v10Chip>(*part), Placement::Dip(24)}; });
    }
}

}  // namespace quilla::sim
