#include "sim/chips/pic16c5x.h"

namespace quilla::sim {

namespace {

// Just under the forms' pulses: two waits 25 on the 18-pin parts, one on the 28-pin parts.
constexpr Nanos k18 = 20 * Microsecond, k28 = 10 * Microsecond;

// 18 pins: RA2 1, RA3 2, T0CKI 3, MCLR 4, VSS 5, RB0-RB7 6-13, VDD 14, OSC2
// 15, OSC1 16, RA0 17, RA1 18.
constexpr Pic16c5xPins kDip18{.count = 18, .vdd = 14, .vss = 5, .mclr = 4, .progVerify = 3, .pulse = 15, .incr = 16,
                              .data = {17, 18, 1, 2, 6, 7, 8, 9, 10, 11, 12, 13}};
// 28 pins: T0CKI 1, VDD 2, VSS 4, RA0-RA3 6-9, RB0-RB7 10-17, RC0-RC7 18-25,
// OSC2 26, OSC1 27, MCLR 28.
constexpr Pic16c5xPins kDip28{.count = 28, .vdd = 2, .vss = 4, .mclr = 28, .progVerify = 1, .pulse = 26, .incr = 27,
                              .data = {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}};

}  // namespace

const std::vector<Pic16c5xPart>& Pic16c5xParts() {
    static const std::vector<Pic16c5xPart> parts{
        {.name = "PIC16C54", .pins = &kDip18, .words = 512, .minProgram = k18},
        {.name = "PIC16C56", .pins = &kDip18, .words = 1024, .minProgram = k18},
        {.name = "PIC16C58", .pins = &kDip18, .words = 2048, .minProgram = k18},
        {.name = "PIC16C55", .pins = &kDip28, .words = 512, .minProgram = k28},
        {.name = "PIC16C57", .pins = &kDip28, .words = 2048, .minProgram = k28},
    };
    return parts;
}

const Pic16c5xPart* FindPic16c5xPart(std::string_view name) { return FindPartByName(Pic16c5xParts(), name); }

Pic16c5xChip::Pic16c5xChip(const Pic16c5xPart& part)
    : PinTableChip(part, PackageTable(*part.pins, part.pins->mclr, Rated)),
      pin_(*part.pins) {}

std::uint16_t Pic16c5xChip::Location(int address) const {
    if (address >= 0 && address < part_.words && Protected()) return 0;
    return At(address);
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

void Pic16c5xChip::RestartSum() {
    progSum_ = 0;
    verified_ = false;
    done_ = false;
}

void Pic16c5xChip::OnRemoved() {
    untrained_.Revert([this](int address, std::uint16_t before) { Put(address, before); }, nullptr);
    active_ = false;
    word_.Forget();
    mclrLow_ = false;
}

void Pic16c5xChip::Leave(ChipPins& pins) {
    word_.Release(pins, pin_.data);
    active_ = false;
    RestartSum();
    // Words that verified but never had their over-programming are not kept.
    untrained_.Revert([this](int address, std::uint16_t before) { Put(address, before); }, this);
}

void Pic16c5xChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vpp = VppSupply(pins);
    const bool powered = Grounded(pins) && VddWindow.Holds(VddSupply(pins));
    const bool inWindow = VppWindow.Holds(vpp);
    const bool incr = pins.High(pin_.incr), pulse = pins.High(pin_.pulse);
    const bool verify = pins.High(pin_.progVerify);
    auto remember = [&] { incr_ = incr, pulse_ = pulse, verify_ = verify; };

    if (!powered || !inWindow) {
        if (active_) Leave(pins);
        mclrLow_ = powered && vpp == 0 && !pins.High(pin_.mclr);
        remember();
        return;
    }
    if (!active_) {
        // Entry only on MCLR's rise from VIL, with OSC1 low and no pulse.
        if (mclrLow_ && !incr && pulse) {
            active_ = true;
            counter_ = ConfigAddress;
            RestartSum();
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
        RestartSum();
    }
    if (!pulse && pulse_ && !verify) {
        const auto d = static_cast<std::uint16_t>(pins.ReadBus(pin_.data) & Erased);
        if (d != pulseData_) {
            pulseData_ = d;
            RestartSum();
        }
    }
    if (verify) {
        if (!word_.Driving() || moved) word_.Drive(pins, pin_.data, Location(counter_));
    } else {
        word_.Release(pins, pin_.data);
    }
    remember();
}

void Pic16c5xChip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!active_ || pulse_ || verify_ || done_) return;
    if (!VppWindow.Holds(VppSupply(pins)) || !VddWindow.Holds(VddSupply(pins))) return;
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

void RegisterPic16c5x(ChipRegistry& registry) { RegisterPinTableParts<Pic16c5xChip>(registry, Pic16c5xParts()); }

}  // namespace quilla::sim
