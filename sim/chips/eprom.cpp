#include "sim/chips/eprom.h"

#include <algorithm>
#include <utility>

namespace quilla::sim {

namespace {

using P = EpromPart::Pulse;

constexpr Nanos kNmos = 1 * Millisecond;
constexpr Nanos kCmos = 10 * Microsecond;
constexpr Tenths kIdMin = 115, kIdMax = 130;     // A9 at 12 V +- 0.5 (12.5 V sent)
constexpr Nanos kEraseTime = 100 * Millisecond;

// Address pins (A0 first) of the JEDEC byte-wide pinouts, as many as the part has.
std::vector<int> FirstBits(std::vector<int> a, int bits) {
    a.resize(static_cast<std::size_t>(bits));
    return a;
}
std::vector<int> A24(int bits) { return FirstBits({8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 19, 21}, bits); }
std::vector<int> A28(int bits) { return FirstBits({10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 27, 1}, bits); }
std::vector<int> A32(int bits) {
    return FirstBits({12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, 31, 1}, bits);
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

// What sets a part apart from the others of its package.
struct DipRow {
    const char* name;
    int bits;                   // address bits: 2^bits bytes
    int pgm = 0;                // PGM pin (0: none)
    int vpp;                    // the pin that takes VPP (may be OE's)
    P pulse;
    Tenths vppMin, vppMax;      // programming window
    Nanos minProgram = kCmos;
    bool hasId = false;
    std::uint8_t mfr = 0, dev = 0;
    Abs abs;
    bool erasable = false;      // electrical erase
    Tenths eraseMin = 135, eraseMax = 145;
};

// The row in a DIP of `pins` pins (VCC on the last pin, ground on the middle one).
EpromPart InDip(const DipRow& r, int pins, std::vector<int> address, int ce, int oe) {
    return {.name = r.name, .pins = pins, .size = 1u << r.bits, .address = std::move(address), .ce = ce, .oe = oe,
            .pgm = r.pgm, .vpp = r.vpp, .vcc = pins, .gnd = pins / 2, .pulse = r.pulse, .vppMin = r.vppMin,
            .vppMax = r.vppMax, .minProgram = r.minProgram, .hasId = r.hasId, .mfr = r.mfr, .dev = r.dev,
            .erasable = r.erasable, .absAny = r.abs.any, .absA9 = r.abs.a9, .absVpp = r.abs.vpp, .eraseMin = r.eraseMin,
            .eraseMax = r.eraseMax};
}
EpromPart Dip24(const DipRow& r) { return InDip(r, 24, A24(r.bits), 18, 20); }
EpromPart Dip28(const DipRow& r) { return InDip(r, 28, A28(r.bits), 20, 22); }
EpromPart Dip32(const DipRow& r) { return InDip(r, 32, A32(r.bits), 22, 24); }

std::vector<EpromPart> BuildParts() {
    std::vector<EpromPart> v;
    // NMOS, 24 pins. 2716: VPP on pin 21, 25 V, active-high PGM pulse on CE/PGM.
    v.push_back(Dip24({.name = "2716", .bits = 11, .vpp = 21, .pulse = P::HighOnCe, .vppMin = 240, .vppMax = 260,
                       .minProgram = kNmos, .abs = {.any = 60, .a9 = 60, .vpp = 265}}));
    // 2732: OE/VPP on pin 20 at 25 V; 2732A at 21 V; CE/PGM pulse low.
    v.push_back(Dip24({.name = "2732", .bits = 12, .vpp = 20, .pulse = P::LowOnCe, .vppMin = 240, .vppMax = 260,
                       .minProgram = kNmos, .abs = {.any = 60, .a9 = 60, .vpp = 265}}));
    v.push_back(Dip24({.name = "2732A", .bits = 12, .vpp = 20, .pulse = P::LowOnCe, .vppMin = 205, .vppMax = 215,
                       .minProgram = kNmos, .abs = {.any = 60, .a9 = 60, .vpp = 220}}));
    // NMOS, 28 pins: VPP pin 1, PGM pin 27 pulse low; 21 V parts and the 12.5 V "A" parts.
    v.push_back(Dip28({.name = "2764", .bits = 13, .pgm = 27, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 205,
                       .vppMax = 215, .minProgram = kNmos, .abs = kNmos21Abs}));
    v.push_back(Dip28({.name = "2764A", .bits = 13, .pgm = 27, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 122,
                       .vppMax = 128, .minProgram = kNmos, .hasId = true, .mfr = 0x89, .dev = 0x08, .abs = kNmosAAbs}));
    v.push_back(Dip28({.name = "27128", .bits = 14, .pgm = 27, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 205,
                       .vppMax = 215, .minProgram = kNmos, .abs = kNmos21Abs}));
    v.push_back(Dip28({.name = "27128A", .bits = 14, .pgm = 27, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 122,
                       .vppMax = 128, .minProgram = kNmos, .abs = kNmosAAbs}));
    // CMOS quick-pulse parts at 12.75 V +- 0.25.
    // 27C256: VPP pin 1, CE/PGM pulse low, OE high.
    v.push_back(Dip28({.name = "AT27C256R", .bits = 15, .vpp = 1, .pulse = P::LowOnCe, .vppMin = 125, .vppMax = 130,
                       .hasId = true, .mfr = 0x1E, .dev = 0x8C, .abs = kCmosAbs}));
    v.push_back(Dip28({.name = "M27C256B", .bits = 15, .vpp = 1, .pulse = P::LowOnCe, .vppMin = 125, .vppMax = 130,
                       .hasId = true, .mfr = 0x20, .dev = 0x8D, .abs = kStAbs}));
    // 27C512: OE/VPP pin 22, CE/PGM pulse low.
    v.push_back(Dip28({.name = "AT27C512R", .bits = 16, .vpp = 22, .pulse = P::LowOnCe, .vppMin = 125, .vppMax = 130,
                       .hasId = true, .mfr = 0x1E, .dev = 0x0D, .abs = kCmosAbs}));
    v.push_back(Dip28({.name = "M27C512", .bits = 16, .vpp = 22, .pulse = P::LowOnCe, .vppMin = 125, .vppMax = 130,
                       .hasId = true, .mfr = 0x20, .dev = 0x3D, .abs = kStAbs}));
    // 32 pins. 27C010/27C020: VPP pin 1, PGM pin 31 pulse low with CE low.
    v.push_back(Dip32({.name = "AT27C010", .bits = 17, .pgm = 31, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 125,
                       .vppMax = 130, .hasId = true, .mfr = 0x1E, .dev = 0x05, .abs = kCmosAbs}));
    v.push_back(Dip32({.name = "M27C1001", .bits = 17, .pgm = 31, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 125,
                       .vppMax = 130, .hasId = true, .mfr = 0x20, .dev = 0x05, .abs = kStAbs}));
    v.push_back(Dip32({.name = "AT27C020", .bits = 18, .pgm = 31, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 125,
                       .vppMax = 130, .hasId = true, .mfr = 0x1E, .dev = 0x86, .abs = kCmosAbs}));
    v.push_back(Dip32({.name = "M27C2001", .bits = 18, .pgm = 31, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 125,
                       .vppMax = 130, .hasId = true, .mfr = 0x20, .dev = 0x61, .abs = kStAbs}));
    // 27C040: VPP pin 1, CE/PGM pulse low (pin 31 is A18).
    v.push_back(Dip32({.name = "AT27C040", .bits = 19, .vpp = 1, .pulse = P::LowOnCe, .vppMin = 125, .vppMax = 130,
                       .hasId = true, .mfr = 0x1E, .dev = 0x0B, .abs = kCmosAbs}));
    v.push_back(Dip32({.name = "M27C4001", .bits = 19, .vpp = 1, .pulse = P::LowOnCe, .vppMin = 125, .vppMax = 130,
                       .hasId = true, .mfr = 0x20, .dev = 0x41, .abs = kStAbs}));
    // 27C080: OE/VPP pin 24, CE/PGM pulse low (pin 1 is A19).
    v.push_back(Dip32({.name = "M27C801", .bits = 20, .vpp = 24, .pulse = P::LowOnCe, .vppMin = 125, .vppMax = 130,
                       .hasId = true, .mfr = 0x20, .dev = 0x42, .abs = kStAbs}));
    // Electrically erasable, programmed at 12 V +- 0.5, erased at 14 V on VPP and A9.
    v.push_back(Dip28({.name = "W27E257", .bits = 15, .vpp = 1, .pulse = P::LowOnCe, .vppMin = 115, .vppMax = 125,
                       .abs = kW27Abs, .erasable = true}));
    v.push_back(Dip28({.name = "W27E512", .bits = 16, .vpp = 22, .pulse = P::LowOnCe, .vppMin = 115, .vppMax = 125,
                       .hasId = true, .mfr = 0xDA, .dev = 0x08, .abs = kW27Abs, .erasable = true}));
    v.push_back(Dip32({.name = "W27E010", .bits = 17, .pgm = 31, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 115,
                       .vppMax = 125, .abs = kW27Abs, .erasable = true}));
    v.push_back(Dip32({.name = "W27E020", .bits = 18, .pgm = 31, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 115,
                       .vppMax = 125, .abs = kW27Abs, .erasable = true}));
    v.push_back(Dip32({.name = "W27E040", .bits = 19, .vpp = 1, .pulse = P::LowOnCe, .vppMin = 115, .vppMax = 125,
                       .abs = kW27Abs, .erasable = true}));
    // SST MTP flash, programmed and erased at 12 V +- 5 %.
    v.push_back(Dip28({.name = "SST27SF256", .bits = 15, .vpp = 1, .pulse = P::LowOnCe, .vppMin = 114, .vppMax = 126,
                       .hasId = true, .mfr = 0xBF, .dev = 0xA3, .abs = kSstAbs, .erasable = true, .eraseMin = 114,
                       .eraseMax = 126}));
    v.push_back(Dip28({.name = "SST27SF512", .bits = 16, .vpp = 22, .pulse = P::LowOnCe, .vppMin = 114, .vppMax = 126,
                       .hasId = true, .mfr = 0xBF, .dev = 0xA4, .abs = kSstAbs, .erasable = true, .eraseMin = 114,
                       .eraseMax = 126}));
    v.push_back(Dip32({.name = "SST27SF010", .bits = 17, .pgm = 31, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 114,
                       .vppMax = 126, .hasId = true, .mfr = 0xBF, .dev = 0xA5, .abs = kSstAbs, .erasable = true,
                       .eraseMin = 114, .eraseMax = 126}));
    v.push_back(Dip32({.name = "SST27SF020", .bits = 18, .pgm = 31, .vpp = 1, .pulse = P::LowOnPgm, .vppMin = 114,
                       .vppMax = 126, .hasId = true, .mfr = 0xBF, .dev = 0xA6, .abs = kSstAbs, .erasable = true,
                       .eraseMin = 114, .eraseMax = 126}));
    // SST37VF: 12 V on OE# (pin 24), WE# (pin 31) pulse, 2.7..3.6 V.
    auto vf = [](const char* n, int bits, std::uint8_t dev) {
        EpromPart p = Dip32({.name = n, .bits = bits, .pgm = 31, .vpp = 24, .pulse = P::LowOnPgm, .vppMin = 114,
                             .vppMax = 126, .hasId = true, .mfr = 0xBF, .dev = dev, .abs = kSst3Abs, .erasable = true,
                             .eraseMin = 114, .eraseMax = 126});
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
