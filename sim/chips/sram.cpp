#include "sim/chips/sram.h"

#include <algorithm>

namespace quilla::sim {

namespace {

constexpr Tenths kRetention = 20;  // a plain SRAM forgets below 2 V

// Address pins (A0 first) of the JEDEC byte-wide pinouts.
const std::vector<int> A24{8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 19};
std::vector<int> A28(int bits) {
    // A13 on pin 26, A14 on pin 1 (62256); an 8K part has CE2 or NC on 26.
    std::vector<int> a{10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 1};
    a.resize(static_cast<std::size_t>(bits));
    return a;
}
std::vector<int> A32(int bits) {
    // A14 pin 3, A15 pin 31, A16 pin 2, A17 pin 30, A18 pin 1.
    std::vector<int> a{12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 3, 31, 2, 30, 1};
    a.resize(static_cast<std::size_t>(bits));
    return a;
}

SramPart Dip24(const char* n, bool nv, Tenths trip, Tenths abs) {
    return {n, 24, 0x800, A24, 18, 20, 21, 24, 12, 0, nv, trip, abs};
}
SramPart Dip28(const char* n, int bits, int ce2, bool nv, Tenths trip, Tenths abs) {
    return {n, 28, 1u << bits, A28(bits), 20, 22, 27, 28, 14, ce2, nv, trip, abs};
}
SramPart Dip32(const char* n, int bits, int ce2, bool nv, Tenths trip, Tenths abs) {
    return {n, 32, 1u << bits, A32(bits), 22, 24, 29, 32, 16, ce2, nv, trip, abs};
}

std::vector<SramPart> BuildParts() {
    // NV modules: Y parts write-protect by 4.25 V, AB parts by 4.5 V; any pin
    // -0.3 V to +6.0 V. The DS1225 has NC on pins 1 and 26, the DS1245 on 1 and
    // 30, the DS1249 on pin 1.
    constexpr Tenths Y = 42, AB = 45, NvAbs = 60;
    // SRAMs: 5 V +- 10 % (the W24129A +- 5 %); any pin -0.5 V to +7.0 V.
    constexpr Tenths Sram = 44, SramAbs = 70;
    std::vector<SramPart> v;
    v.push_back(Dip24("DS1220AB", true, AB, NvAbs));
    v.push_back(Dip24("DS1220Y", true, Y, NvAbs));
    v.push_back(Dip28("DS1225AB", 13, 0, true, AB, NvAbs));
    v.push_back(Dip28("DS1225Y", 13, 0, true, Y, NvAbs));
    v.push_back(Dip28("DS1230Y", 15, 0, true, Y, NvAbs));
    v.push_back(Dip28("DS1230AB", 15, 0, true, AB, NvAbs));
    v.push_back(Dip32("DS1245Y", 17, 0, true, Y, NvAbs));
    v.push_back(Dip32("DS1245AB", 17, 0, true, AB, NvAbs));
    v.push_back(Dip32("DS1249Y", 18, 0, true, Y, NvAbs));
    v.push_back(Dip32("DS1250Y", 19, 0, true, Y, NvAbs));
    v.push_back(Dip32("DS1250AB", 19, 0, true, AB, NvAbs));
    v.push_back(Dip24("HM6116", false, Sram, SramAbs));
    v.push_back(Dip28("HM6264", 13, 26, false, Sram, SramAbs));   // CE2 on pin 26, NC on pin 1
    v.push_back(Dip28("W24129A", 14, 0, false, 47, SramAbs));   // NC on pin 1
    v.push_back(Dip28("HM62256", 15, 0, false, Sram, SramAbs));
    v.push_back(Dip32("W24512A", 16, 30, false, Sram, SramAbs));  // CS2 on pin 30, NC on pins 1 and 2
    v.push_back(Dip32("HM628128", 17, 30, false, Sram, SramAbs));  // CE2 on pin 30, NC on pin 1
    v.push_back(Dip32("HM628512", 19, 0, false, Sram, SramAbs));
    return v;
}

}  // namespace

const std::vector<SramPart>& SramParts() {
    static const std::vector<SramPart> parts = BuildParts();
    return parts;
}

const SramPart* FindSramPart(std::string_view name) { return FindPartByName(SramParts(), name); }

SramChip::SramChip(const SramPart& part, SramFaults faults, unsigned seed)
    : DipMemoryChip(part, part.size, 0), faults_(faults), rng_(seed) {
    // A new chip holds whatever its cells came up with.
    for (auto& c : cells_) c = static_cast<std::uint8_t>(rng_());
}

AbsoluteMaximum SramChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = part_.absMax;
    return r;
}

std::uint32_t SramChip::Address(ChipPins& pins) const {
    std::uint32_t a = 0;
    for (std::size_t i = 0; i < part_.address.size(); ++i) {
        if (static_cast<int>(i) == faults_.openAddressBit) continue;
        if (pins.High(part_.address[i])) a |= 1u << i;
    }
    return a % part_.size;
}

std::uint8_t SramChip::Data(ChipPins& pins) const {
    std::uint8_t v = 0;
    for (std::size_t i = 0; i < data_.size(); ++i)
        if (pins.High(data_[i])) v = static_cast<std::uint8_t>(v | (1u << i));
    return v;
}

std::uint8_t SramChip::ReadCell(std::uint32_t a) const {
    std::uint8_t v = cells_[a];
    if (static_cast<std::int64_t>(a) == faults_.stuckAddress) {
        const auto bit = static_cast<std::uint8_t>(1u << faults_.stuckBit);
        v = faults_.stuckHigh ? static_cast<std::uint8_t>(v | bit) : static_cast<std::uint8_t>(v & ~bit);
    }
    return v;
}

void SramChip::PowerDown() {
    working_ = false;
    writing_ = false;
}

void SramChip::PowerUp() {
    working_ = true;
    if (!retained_) {
        for (auto& c : cells_) c = static_cast<std::uint8_t>(rng_());
        retained_ = true;
    }
}

void SramChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.Grounded(part_.gnd) ? pins.SupplyVoltage(part_.vcc) : 0;
    const bool keeps = part_.nonVolatile && !faults_.flatBattery;
    if (vcc < kRetention && !keeps) retained_ = false;
    if (vcc <= part_.tripPoint) {
        if (working_) PowerDown();
        for (int p : data_) pins.Release(p);
        return;
    }
    if (!working_) PowerUp();

    const bool selected = !pins.High(part_.ce) && (part_.ce2 == 0 || pins.High(part_.ce2));
    const bool weLow = !pins.High(part_.we);
    const bool write = selected && weLow;
    if (write && !writing_) writeTime_ = 0;
    if (!write && writing_ && writeTime_ >= WritePulseWidth) {
        // The earlier rising edge ends the cycle: address and data as they stand.
        const std::uint32_t a = Address(pins);
        if (static_cast<std::int64_t>(a) != faults_.deadCell) cells_[a] = Data(pins);
        ++writes_;
    }
    writing_ = write;

    if (selected && !weLow && !pins.High(part_.oe)) {
        const std::uint8_t out = ReadCell(Address(pins));
        for (std::size_t i = 0; i < data_.size(); ++i) pins.Drive(data_[i], (out >> i) & 1u);
    } else {
        for (int p : data_) pins.Release(p);
    }
}

void SramChip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (writing_) writeTime_ += dt;
}

void SramChip::OnRemoved() {
    PowerDown();
    if (!part_.nonVolatile || faults_.flatBattery) retained_ = false;
}

SeatedPart MakeSram(std::string_view name, SramFaults faults, unsigned seed) {
    return SeatInDip<SramChip>(FindSramPart(name), faults, seed);
}

void RegisterSrams(ChipRegistry& registry) {
    RegisterPartsByName(registry, SramParts(), [](std::string_view n) { return MakeSram(n); });
}

}  // namespace quilla::sim
