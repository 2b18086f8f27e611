#include "sim/chips/eprom.h"

#include <algorithm>

namespace quilla::sim {

namespace {

using P = EpromPart::Pulse;

constexpr Nanos kNmos = 1 * Millisecond;
constexpr Nanos kCmos = 10 * Microsecond;
constexpr Tenths kIdMin = 115, kIdMax = 130;     // A9 at 12 V +- 0.5 (12.5 V sent)
constexpr Nanos kEraseTime = 100 * Millisecond;

// Address pins (A0 first) of the JEDEC byte-wide pinouts.
const std::vector<int> A24_2716{8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 19};
const std::vector<int> A24_2732{8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 19, 21};
std::vector<int> A28(int bits) {
    std::vector<int> a{10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 27, 1};
    a.resize(static_cast<std::size_t>(bits));
    return a;
}
std::vector<int> A32(int bits) {
    std::vector<int> a{12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, 31, 1};
    a.resize(static_cast<std::size_t>(bits));
    return a;
}

// Absolute maximum ratings: any pin, A9, VPP pin.
struct Abs {
    Tenths any, a9, vpp;
};
constexpr Abs kCmosAbs{70, 140, 140};     // Atmel 27C parts
constexpr Abs kStAbs{70, 135, 140};       // ST M27C parts
constexpr Abs kNmosAAbs{70, 135, 140};    // 12.5 V NMOS "A" parts
constexpr Abs kNmos21Abs{60, 135, 220};   // 21 V NMOS parts
constexpr Abs kW27Abs{70, 145, 145};      // W27E parts
constexpr Abs kSstAbs{70, 140, 140};      // SST27SF: any pin 7.0 V, A9 and VPP 14.0 V
constexpr Abs kSst3Abs{41, 140, 140};     // SST37VF: VDD + 0.5 V, A9 and OE#/VPP 14.0 V

EpromPart Nmos24(const char* n, std::uint32_t size, std::vector<int> a, int vpp, P p, Tenths lo, Tenths hi,
                 Tenths absVpp) {
    return {n, 24, size, std::move(a), 18, 20, 0, vpp, 24, 12, p, lo, hi, kNmos, false, 0, 0, false,
            60, 60, absVpp};
}
EpromPart Dip28(const char* n, int bits, int pgm, int vpp, P p, Tenths lo, Tenths hi, Nanos t, bool id,
                std::uint8_t mfr, std::uint8_t dev, Abs abs, bool erasable = false) {
    return {n, 28, 1u << bits, A28(bits), 20, 22, pgm, vpp, 28, 14, p, lo, hi, t, id, mfr, dev, erasable,
            abs.any, abs.a9, abs.vpp};
}
EpromPart Dip32(const char* n, int bits, int pgm, int vpp, P p, Tenths lo, Tenths hi, bool id, std::uint8_t mfr,
                std::uint8_t dev, Abs abs, bool erasable = false) {
    return {n, 32, 1u << bits, A32(bits), 22, 24, pgm, vpp, 32, 16, p, lo, hi, kCmos, id, mfr, dev, erasable,
            abs.any, abs.a9, abs.vpp};
}

std::vector<EpromPart> BuildParts() {
    std::vector<EpromPart> v;
    // NMOS, 24 pins. 2716: VPP on pin 21, 25 V, active-high PGM pulse on CE/PGM.
    v.push_back(Nmos24("2716", 0x800, A24_2716, 21, P::HighOnCe, 240, 260, 265));
    // 2732: OE/VPP on pin 20 at 25 V; 2732A at 21 V; CE/PGM pulse low.
    v.push_back(Nmos24("2732", 0x1000, A24_2732, 20, P::LowOnCe, 240, 260, 265));
    v.push_back(Nmos24("2732A", 0x1000, A24_2732, 20, P::LowOnCe, 205, 215, 220));
    // NMOS, 28 pins: VPP pin 1, PGM pin 27 pulse low; 21 V parts and the 12.5 V "A" parts.
    v.push_back(Dip28("2764", 13, 27, 1, P::LowOnPgm, 205, 215, kNmos, false, 0, 0, kNmos21Abs));
    v.push_back(Dip28("2764A", 13, 27, 1, P::LowOnPgm, 122, 128, kNmos, true, 0x89, 0x08, kNmosAAbs));
    v.push_back(Dip28("27128", 14, 27, 1, P::LowOnPgm, 205, 215, kNmos, false, 0, 0, kNmos21Abs));
    v.push_back(Dip28("27128A", 14, 27, 1, P::LowOnPgm, 122, 128, kNmos, false, 0, 0, kNmosAAbs));
    // CMOS quick-pulse parts at 12.75 V +- 0.25.
    // 27C256: VPP pin 1, CE/PGM pulse low, OE high.
    v.push_back(Dip28("AT27C256R", 15, 0, 1, P::LowOnCe, 125, 130, kCmos, true, 0x1E, 0x8C, kCmosAbs));
    v.push_back(Dip28("M27C256B", 15, 0, 1, P::LowOnCe, 125, 130, kCmos, true, 0x20, 0x8D, kStAbs));
    // 27C512: OE/VPP pin 22, CE/PGM pulse low.
    v.push_back(Dip28("AT27C512R", 16, 0, 22, P::LowOnCe, 125, 130, kCmos, true, 0x1E, 0x0D, kCmosAbs));
    v.push_back(Dip28("M27C512", 16, 0, 22, P::LowOnCe, 125, 130, kCmos, true, 0x20, 0x3D, kStAbs));
    // 32 pins. 27C010/27C020: VPP pin 1, PGM pin 31 pulse low with CE low.
    v.push_back(Dip32("AT27C010", 17, 31, 1, P::LowOnPgm, 125, 130, true, 0x1E, 0x05, kCmosAbs));
    v.push_back(Dip32("M27C1001", 17, 31, 1, P::LowOnPgm, 125, 130, true, 0x20, 0x05, kStAbs));
    v.push_back(Dip32("AT27C020", 18, 31, 1, P::LowOnPgm, 125, 130, true, 0x1E, 0x86, kCmosAbs));
    v.push_back(Dip32("M27C2001", 18, 31, 1, P::LowOnPgm, 125, 130, true, 0x20, 0x61, kStAbs));
    // 27C040: VPP pin 1, CE/PGM pulse low (pin 31 is A18).
    v.push_back(Dip32("AT27C040", 19, 0, 1, P::LowOnCe, 125, 130, true, 0x1E, 0x0B, kCmosAbs));
    v.push_back(Dip32("M27C4001", 19, 0, 1, P::LowOnCe, 125, 130, true, 0x20, 0x41, kStAbs));
    // 27C080: OE/VPP pin 24, CE/PGM pulse low (pin 1 is A19).
    v.push_back(Dip32("M27C801", 20, 0, 24, P::LowOnCe, 125, 130, true, 0x20, 0x42, kStAbs));
    // Electrically erasable, programmed at 12 V +- 0.5, erased at 14 V on VPP and A9.
    v.push_back(Dip28("W27E257", 15, 0, 1, P::LowOnCe, 115, 125, kCmos, false, 0, 0, kW27Abs, true));
    v.push_back(Dip28("W27E512", 16, 0, 22, P::LowOnCe, 115, 125, kCmos, true, 0xDA, 0x08, kW27Abs, true));
    v.push_back(Dip32("W27E010", 17, 31, 1, P::LowOnPgm, 115, 125, false, 0, 0, kW27Abs, true));
    v.push_back(Dip32("W27E020", 18, 31, 1, P::LowOnPgm, 115, 125, false, 0, 0, kW27Abs, true));
    v.push_back(Dip32("W27E040", 19, 0, 1, P::LowOnCe, 115, 125, false, 0, 0, kW27Abs, true));
    // SST MTP flash, programmed and erased at 12 V +- 5 %.
    auto sst = [](EpromPart p) {
        p.eraseMin = 114;
        p.eraseMax = 126;
        return p;
    };
    v.push_back(sst(Dip28("SST27SF256", 15, 0, 1, P::LowOnCe, 114, 126, kCmos, true, 0xBF, 0xA3, kSstAbs, true)));
    v.push_back(sst(Dip28("SST27SF512", 16, 0, 22, P::LowOnCe, 114, 126, kCmos, true, 0xBF, 0xA4, kSstAbs, true)));
    v.push_back(sst(Dip32("SST27SF010", 17, 31, 1, P::LowOnPgm, 114, 126, true, 0xBF, 0xA5, kSstAbs, true)));
    v.push_back(sst(Dip32("SST27SF020", 18, 31, 1, P::LowOnPgm, 114, 126, true, 0xBF, 0xA6, kSstAbs, true)));
    // SST37VF: 12 V on OE# (pin 24), WE# (pin 31) pulse, 2.7..3.6 V.
    auto vf = [&sst](const char* n, int bits, std::uint8_t dev) {
        EpromPart p = sst(Dip32(n, bits, 31, 24, P::LowOnPgm, 114, 126, true, 0xBF, dev, kSst3Abs, true));
        if (p.address.size() > 18) p.address[18] = 1;  // flash pinout: A18 on pin 1, WE# on 31
        p.readVccMin = p.progVccMin = 27;
        p.readVccMax = p.progVccMax = 36;
        return p;
    };
    v.push_back(vf("SST37VF512", 16, 0xC4));
    v.push_back(vf("SST37VF010", 17, 0xC5));
    v.push_back(vf("SST37VF020", 18, 0xC6));
    v.push_back(vf("SST37VF040", 19, 0xC7));
    return v;
}

}  // namespace

const std::vector<EpromPart>& EpromParts() {
    static const std::vector<EpromPart> parts = BuildParts();
    return parts;
}

const EpromPart* FindEpromPart(std::string_view name) { return FindPartByName(EpromParts(), name); }

EpromChip::EpromChip(const EpromPart& part) : DipMemoryChip(part, part.size, 0xFF) {}

std::uint32_t EpromChip::Address(ChipPins& pins) const {
    std::uint32_t a = 0;
    for (std::size_t i = 0; i < part_.address.size(); ++i)
        if (pins.High(part_.address[i])) a |= 1u << i;
    return a % part_.size;
}

std::uint8_t EpromChip::Data(ChipPins& pins) const {
    std::uint8_t v = 0;
    for (std::size_t i = 0; i < data_.size(); ++i)
        if (pins.High(data_[i])) v = static_cast<std::uint8_t>(v | (1u << i));
    return v;
}

void EpromChip::DriveData(ChipPins& pins, std::uint8_t v) {
    for (std::size_t i = 0; i < data_.size(); ++i) pins.Drive(data_[i], (v >> i) & 1u);
}

void EpromChip::ReleaseData(ChipPins& pins) {
    for (int p : data_) pins.Release(p);
}

AbsoluteMaximum EpromChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = part_.absAny;
    r.pins.push_back({part_.vpp, part_.absVpp});
    if (part_.address.size() > 9 && part_.address[9] != part_.vpp) r.pins.push_back({part_.address[9], part_.absA9});
    r.vppAfterVcc = {part_.vpp};
    return r;
}

void EpromChip::OnPinsChanged(ChipPins& pins) {
    // Power comes only from the programmer's supplies.
    const Tenths vcc = pins.SupplyVoltage(part_.vcc);
    if (!pins.Grounded(part_.gnd) || vcc < part_.readVccMin || vcc > part_.readVccMax) {
        mode_ = Mode::Off;
        ReleaseData(pins);
        return;
    }
    const bool ceLow = !pins.High(part_.ce);
    const bool oeHigh = pins.High(part_.oe);
    const Tenths vpp = pins.SupplyVoltage(part_.vpp);
    const bool pgmLow = part_.pgm != 0 && !pins.High(part_.pgm);
    const int a9 = part_.address.size() > 9 ? part_.address[9] : 0;
    const Tenths a9v = a9 ? pins.SupplyVoltage(a9) : 0;

    bool program = false;
    if (vpp >= part_.vppMin && vpp <= part_.vppMax && vcc >= part_.progVccMin && vcc <= part_.progVccMax) {
        switch (part_.pulse) {
            case P::HighOnCe: program = !ceLow && oeHigh; break;
            case P::LowOnCe: program = ceLow && oeHigh; break;
            case P::LowOnPgm: program = ceLow && oeHigh && pgmLow; break;
        }
    }
    const bool erase = part_.erasable && ceLow && vpp >= part_.eraseMin && vpp <= part_.eraseMax &&
                       a9v >= part_.eraseMin && a9v <= part_.eraseMax && (part_.pgm == 0 || pgmLow);

    if (erase) {
        mode_ = Mode::Erase;
        ReleaseData(pins);
    } else if (program) {
        ReleaseData(pins);
        const std::uint32_t a = Address(pins);
        const std::uint8_t d = Data(pins);
        // Time sums over pulses of the same address and data; another address or
        // data (between pulses or inside one) starts a new byte.
        if (a != progAddr_ || d != progData_) {
            progAddr_ = a;
            progData_ = d;
            progTime_ = 0;
            progDone_ = false;
        }
        mode_ = Mode::Program;
    } else if (ceLow && !oeHigh) {
        mode_ = Mode::Read;
        const std::uint32_t a = Address(pins);
        std::uint8_t out = cells_[a];
        if (part_.hasId && a9v >= kIdMin && a9v <= kIdMax) out = (a & 1u) ? part_.dev : part_.mfr;
        DriveData(pins, out);
    } else {
        mode_ = Mode::Standby;
        ReleaseData(pins);
    }
}

void EpromChip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (mode_ == Mode::Program && !progDone_) {
        progTime_ += dt;
        if (static_cast<double>(progTime_) >= static_cast<double>(part_.minProgram) * SlowFactor()) {
            cells_[progAddr_] &= progData_;
            progDone_ = true;
            ++programEvents_;
        }
    } else if (mode_ == Mode::Erase) {
        eraseTime_ += dt;
        if (static_cast<double>(eraseTime_) >= static_cast<double>(kEraseTime) * SlowFactor()) {
            std::fill(cells_.begin(), cells_.end(), 0xFF);
            eraseTime_ = 0;
            // Whatever was being programmed is gone: the same byte programs anew.
            progTime_ = 0;
            progDone_ = false;
            progAddr_ = 0;
            progData_ = 0xFF;
        }
    }
}

void EpromChip::OnRemoved() { mode_ = Mode::Off; }

SeatedPart MakeEprom(std::string_view name) { return SeatInDip<EpromChip>(FindEpromPart(name)); }

void RegisterEproms(ChipRegistry& registry) { RegisterPartsByName(registry, EpromParts(), &MakeEprom); }

}  // namespace quilla::sim
