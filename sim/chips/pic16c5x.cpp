#include "sim/chips/pic16c5x.h"

namespace quilla::sim {

namespace {

// Just under the forms' pulses: two waits 25 on the 18-pin parts, one on the 28-pin parts.
constexpr Nanos k18 = 20 * Microsecond, k28 = 10 * Microsecond;

std::vector<Pic16c5xPart> BuildParts() {
    std::vector<Pic16c5xPart> v;
    // 18 pins: RA2 1, RA3 2, T0CKI 3, MCLR 4, VSS 5, RB0-RB7 6-13, VDD 14,
    // OSC2 15, OSC1 16, RA0 17, RA1 18.
    const std::array<int, 12> d18{17, 18, 1, 2, 6, 7, 8, 9, 10, 11, 12, 13};
    v.push_back({"PIC16C54", 18, 14, 5, 4, 3, 15, 16, d18, 512, k18});
    v.push_back({"PIC16C56", 18, 14, 5, 4, 3, 15, 16, d18, 1024, k18});
    v.push_back({"PIC16C58", 18, 14, 5, 4, 3, 15, 16, d18, 2048, k18});
    // 28 pins: T0CKI 1, VDD 2, VSS 4, RA0-RA3 6-9, RB0-RB7 10-17, RC0-RC7
    // 18-25, OSC2 26, OSC1 27, MCLR 28.
    const std::array<int, 12> d28{6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
    v.push_back({"PIC16C55", 28, 2, 4, 28, 1, 26, 27, d28, 512, k28});
    v.push_back({"PIC16C57", 28, 2, 4, 28, 1, 26, 27, d28, 2048, k28});
    return v;
}

}  // namespace

const std::vector<Pic16c5xPart>& Pic16c5xParts() {
    static const std::vector<Pic16c5xPart> parts = BuildParts();
    return parts;
}

const Pic16c5xPart* FindPic16c5xPart(std::string_view name) {
    for (const auto& p : Pic16c5xParts())
        if (name == p.name) return &p;
    return nullptr;
}

Pic16c5xChip::Pic16c5xChip(const Pic16c5xPart& part)
    : part_(part), image_(static_cast<std::size_t>(2 * part.words)) {
    for (int a = 0; a < part.words; ++a) SetWord(a, Erased);
}

AbsoluteMaximum Pic16c5xChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 75;
    r.pins = {{part_.mclr, 140}};
    return r;
}

std::uint16_t Pic16c5xChip::Word(int address) const {
    if (address < 0 || address >= part_.words) return Erased;
    const auto i = static_cast<std::size_t>(2 * address);
    return static_cast<std::uint16_t>((image_[i] | (image_[i + 1] << 8)) & Erased);
}

void Pic16c5xChip::SetWord(int address, std::uint16_t w) {
    if (address < 0 || address >= part_.words) return;
    const auto i = static_cast<std::size_t>(2 * address);
    image_[i] = static_cast<std::uint8_t>(w & 0xFF);
    image_[i + 1] = static_cast<std::uint8_t>((w >> 8) & 0x0F);
}

std::uint16_t Pic16c5xChip::Location(int address) const {
    if (address == ConfigAddress) return config_;
    if (address >= 0 && address < part_.words) return Protected() ? 0 : Word(address);
    if (address >= part_.words && address < part_.words + 4) return ids_[static_cast<std::size_t>(address - part_.words)];
    return Erased;
}

void Pic16c5xChip::DriveWord(ChipPins& pins) {
    pins.DriveBus(part_.data, Location(counter_));
    driving_ = true;
}

void Pic16c5xChip::ReleaseWord(ChipPins& pins) {
    if (!driving_) return;
    pins.ReleaseBus(part_.data);
    driving_ = false;
}

void Pic16c5xChip::OnRemoved() {
    untrained_.Revert([this](int address, std::uint16_t before) { Put(address, before); }, nullptr);
    active_ = false;
    driving_ = false;
    mclrLow_ = false;
}

std::uint16_t Pic16c5xChip::At(int address) const {
    if (address == ConfigAddress) return config_;
    if (address >= 0 && address < part_.words) return Word(address);
    if (address >= part_.words && address < part_.words + 4) return ids_[static_cast<std::size_t>(address - part_.words)];
    return Erased;
}

void Pic16c5xChip::Put(int address, std::uint16_t w) {
    if (address == ConfigAddress) config_ = w & Erased;
    else if (address >= 0 && address < part_.words) SetWord(address, w);
    else if (address >= part_.words && address < part_.words + 4)
        ids_[static_cast<std::size_t>(address - part_.words)] = w & Erased;
}

void Pic16c5xChip::Leave(ChipPins& pins) {
    ReleaseWord(pins);
    active_ = false;
    progSum_ = 0;
    verified_ = false;
    done_ = false;
    // Words that verified but never had their over-programming are not kept.
    untrained_.Revert([this](int address, std::uint16_t before) { Put(address, before); }, this);
}

void Pic16c5xChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = pins.SupplyVoltage(part_.vdd);
    const Tenths vpp = pins.SupplyVoltage(part_.mclr);
    const bool powered = pins.Grounded(part_.vss) && vdd >= VddMin && vdd <= VddMax;
    const bool inWindow = vpp >= VppMin && vpp <= VppMax;
    const bool incr = pins.High(part_.incr), pulse = pins.High(part_.pulse);
    const bool verify = pins.High(part_.progVerify);
    auto remember = [&] { incr_ = incr, pulse_ = pulse, verify_ = verify; };

    if (!powered || !inWindow) {
        if (active_) Leave(pins);
        mclrLow_ = powered && vpp == 0 && !pins.High(part_.mclr);
        remember();
        return;
    }
    if (!active_) {
        // Entry only on MCLR's rise from VIL, with OSC1 low and no pulse.
        if (mclrLow_ && !incr && pulse) {
            active_ = true;
            counter_ = ConfigAddress;
            progSum_ = 0;
            verified_ = false;
            done_ = false;
            pulseData_ = Erased;
        }
        mclrLow_ = false;
        if (!active_) {
            remember();
            return;
        }
    }
    bool moved = false;
    if (!incr && incr_) {
        ++counter_;
        moved = true;
        progSum_ = 0;
        verified_ = false;
        done_ = false;
    }
    if (!pulse && pulse_ && !verify) {
        const auto d = static_cast<std::uint16_t>(pins.ReadBus(part_.data) & Erased);
        if (d != pulseData_) {
            pulseData_ = d;
            progSum_ = 0;
            verified_ = false;
            done_ = false;
        }
    }
    if (verify) {
        if (!driving_ || moved) DriveWord(pins);
    } else {
        ReleaseWord(pins);
    }
    remember();
}

void Pic16c5xChip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!active_ || pulse_ || verify_ || done_) return;
    const Tenths vdd = pins.SupplyVoltage(part_.vdd);
    const Tenths vpp = pins.SupplyVoltage(part_.mclr);
    if (vpp < VppMin || vpp > VppMax || vdd < VddMin || vdd > VddMax) return;
    progSum_ += dt;
    const double whole = static_cast<double>(part_.minProgram) * SlowFactor();
    const int a = counter_;
    if (!verified_ && static_cast<double>(progSum_) >= whole / OverProgramShare) {
        verified_ = true;
        const bool cell = a == ConfigAddress || (a >= 0 && a < part_.words + 4);
        if (a >= 0 && a < part_.words && Protected()) {
            NoteRefusal(static_cast<std::uint32_t>(a), "program pulse on a code-protected word");
        } else if (!cell) {
            NoteRefusal(static_cast<std::uint32_t>(a & 0xFFFF), "program pulse beyond the user IDs");
        } else {
            untrained_.Verified(a, At(a));
            Put(a, static_cast<std::uint16_t>(At(a) & pulseData_));
        }
    }
    if (static_cast<double>(progSum_) < whole) return;
    done_ = true;
    ++programmed_;
    untrained_.Trained(a);
}

namespace {

SeatedPart MakePic16c5x(std::string_view name) {
    const Pic16c5xPart* p = FindPic16c5xPart(name);
    if (!p) return {};
    return {std::make_unique<Pic16c5xChip>(*p), Placement::Dip(p->pins)};
}

}  // namespace

void RegisterPic16c5x(ChipRegistry& registry) {
    for (const auto& p : Pic16c5xParts()) {
        const std::string name = p.name;
        registry.Add(name, [name] { return MakePic16c5x(name); });
    }
}

}  // namespace quilla::sim
