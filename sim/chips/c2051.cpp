#include "sim/chips/c2051.h"

#include <algorithm>

namespace quilla::sim {

namespace {
constexpr int kRst = 1, kP30 = 2, kBusy = 3, kXtal1 = 5, kProg = 6, kGnd = 10, kVcc = 20;
constexpr int kP1[8] = {12, 13, 14, 15, 16, 17, 18, 19};
constexpr Nanos kWrite = 1200 * Microsecond, kErase = 10 * Millisecond;
constexpr Nanos kOtpProgram = 1 * Millisecond, kOtpLock = 20 * Microsecond;
}  // namespace

Counter51Chip::Counter51Chip(Counter51Part part) : part_(std::move(part)), cells_(part_.size, 0xFF) {}

AbsoluteMaximum Counter51Chip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 70;
    r.pins.push_back({kRst, part_.otp ? Tenths{130} : Tenths{125}});
    return r;
}

Counter51Chip::Mode Counter51Chip::ModeOf(ChipPins& pins) const {
    std::string m;
    for (int p : {7, 8, 9, 11}) m += pins.High(p) ? 'H' : 'L';
    if (m == "LLHH") return Mode::Read;
    if (m == "LHHH") return Mode::Write;
    if (m == "HLLL") return part_.otp ? Mode::None : Mode::Erase;
    if (m == "HHHH") return Mode::Lock1;
    if (m == "HHLL") return Mode::Lock2;
    if (m == "LLLL") return Mode::Signature;
    return Mode::None;
}

void Counter51Chip::Lost() {
    // The counter forgets where it stood: an arbitrary address until the next reset.
    if (powered_) counter_ = (counter_ * 5 + 0x2A7) % part_.size;
    counterKnown_ = false;
    powered_ = false;
    armed_ = false;
    busyLeft_ = 0;
    held_ = Mode::None;
    heldTime_ = 0;
}

void Counter51Chip::Commit() {
    switch (busyMode_) {
        case Mode::Write:
            if ((locks_ & 1) == 0) cells_[busyAddress_] &= busyData_;
            break;
        case Mode::Lock1: locks_ |= 1; break;
        case Mode::Lock2: locks_ |= 2; break;
        default: break;
    }
}

void Counter51Chip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.SupplyVoltage(kVcc);
    const Tenths readMin = part_.otp ? 45 : 27, readMax = part_.otp ? 55 : 60;
    const bool rst = pins.High(kRst), xtal = pins.High(kXtal1), p30 = pins.High(kP30);
    if (!pins.Grounded(kGnd) || vcc < readMin || vcc > readMax) {
        Lost();
        rst_ = rst;
        xtal_ = xtal;
        p30_ = p30;
        strobeLow_ = !pins.High(kProg);
        pins.ReleaseBus(kP1);
        pins.Release(kBusy);
        return;
    }
    // The counter.
    if (rst && !rst_ && pins.SupplyVoltage(kRst) == 0) {
        counter_ = 0;
        counterKnown_ = true;
        resetPending_ = part_.otp;
    }
    if (part_.otp) {
        if (p30 != p30_) {
            if (resetPending_) resetPending_ = false;
            else counter_ = (counter_ + 1) % part_.size;
        }
    } else if (!xtal && xtal_ && pins.Source(kXtal1) != PinSource::Clock) {
        counter_ = (counter_ + 1) % part_.size;
    }
    rst_ = rst;
    xtal_ = xtal;
    p30_ = p30;

    const Mode mode = rst ? ModeOf(pins) : Mode::None;
    const Tenths vpp = pins.SupplyVoltage(kRst);
    const bool vppOk = part_.otp ? (vpp >= 120 && vpp <= 130) : (vpp >= 115 && vpp <= 125);
    const bool progVcc = vcc >= 45 && vcc <= 55;
    const bool writeMode = mode == Mode::Write || mode == Mode::Lock1 || mode == Mode::Lock2 || mode == Mode::Erase;
    // A byte write needs the counter at a known address; erase and lock bits do not.
    const bool can = writeMode && vppOk && progVcc && (counterKnown_ || mode != Mode::Write);
    std::uint8_t d = 0;
    for (int i = 0; i < 8; ++i)
        if (pins.High(kP1[i])) d = static_cast<std::uint8_t>(d | (1u << i));

    const bool low = !pins.High(kProg);
    const bool falling = low && !strobeLow_, rising = !low && strobeLow_;
    strobeLow_ = low;
    if (falling && writeMode && !can) {
        NoteRefusal(counter_, !vppOk || !progVcc ? (!vppOk ? "write pulse without the programming voltage on RST/VPP"
                                                           : "write pulse with VCC outside 4.5-5.5 V")
                                                 : "write pulse before RST has reset the address counter");
    } else if (falling && can && !part_.otp && busyLeft_ > 0) {
        NoteRefusal(busyAddress_, "write pulse while the previous write is busy");
    } else if (falling && can && mode == Mode::Write && (locks_ & 1) != 0) {
        NoteRefusal(counter_, "write pulse with lock bit 1 set");
    }

    // Held cycles: the erase (AT89C), every write of the 97C parts.
    const bool heldKind = part_.otp ? (mode != Mode::Erase) : (mode == Mode::Erase);
    const Mode held = can && heldKind ? mode : Mode::None;
    if (held != held_ || (held == Mode::Write && (counter_ != heldAddress_ || d != heldData_))) {
        held_ = held;
        heldAddress_ = counter_;
        heldData_ = d;
        heldTime_ = 0;
        heldDone_ = false;
    }

    // The AT89C self-timed cycles.
    if (!part_.otp) {
        const bool timed = can && mode != Mode::Erase;
        if (falling) {
            armed_ = timed && busyLeft_ == 0;
            armMode_ = mode;
            armData_ = d;
        } else if (armed_ && low && !(timed && mode == armMode_ && d == armData_)) {
            armed_ = false;
        }
        if (rising) {
            if (armed_ && timed && mode == armMode_ && d == armData_) {
                busyMode_ = mode;
                busyAddress_ = counter_;
                busyData_ = d;
                busyLeft_ = static_cast<Nanos>(static_cast<double>(kWrite) * SlowFactor());
            }
            armed_ = false;
        }
        if (busyLeft_ > 0) pins.Drive(kBusy, false);
        else pins.Release(kBusy);
    }

    // Outputs.
    if ((mode == Mode::Read || mode == Mode::Signature) && vpp == 0) {
        std::uint8_t v = 0xFF;
        if (mode == Mode::Signature) v = counter_ == 0 ? 0x1E : counter_ == 1 ? part_.device : 0xFF;
        else if ((locks_ & 2) == 0) v = cells_[counter_];
        pins.DriveBus(kP1, v);
    } else {
        pins.ReleaseBus(kP1);
    }
    powered_ = true;
}

void Counter51Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (busyLeft_ > 0) {
        if (dt >= busyLeft_) {
            busyLeft_ = 0;
            Commit();
            OnPinsChanged(pins);
        } else {
            busyLeft_ -= dt;
        }
    }
    if (held_ == Mode::None || heldDone_ || !strobeLow_) return;
    heldTime_ += dt;
    Nanos need = kErase;
    if (part_.otp) need = held_ == Mode::Write ? kOtpProgram : kOtpLock;
    if (static_cast<double>(heldTime_) < static_cast<double>(need) * SlowFactor()) return;
    heldDone_ = true;
    switch (held_) {
        case Mode::Erase:
            std::fill(cells_.begin(), cells_.end(), 0xFF);
            locks_ = 0;
            break;
        case Mode::Write:
            if ((locks_ & 1) == 0) cells_[heldAddress_] &= heldData_;
            break;
        case Mode::Lock1: locks_ |= 1; break;
        case Mode::Lock2: locks_ |= 2; break;
        default: break;
    }
}

void Counter51Chip::OnRemoved() {
    Lost();
    rst_ = xtal_ = p30_ = strobeLow_ = false;
}

namespace {
const std::vector<Counter51Part>& Parts() {
    static const std::vector<Counter51Part> parts = {
        {"AT89C1051", 0x400, 0x11, false}, {"AT89C2051", 0x800, 0x21, false}, {"AT89C4051", 0x1000, 0x41, false},
        {"97C1051", 0x400, 0x11, true},    {"97C2051", 0x800, 0x21, true},
    };
    return parts;
}
}  // namespace

SeatedPart MakeCounter51(std::string_view name) {
    for (const Counter51Part& p : Parts())
        if (name == p.name) return {std::make_unique<Counter51Chip>(p), Placement::Dip(20)};
    return {};
}

void RegisterCounter51(ChipRegistry& registry) {
    for (const Counter51Part& p : Parts()) {
        const std::string n = p.name;
        registry.Add(n, [n] { return MakeCounter51(n); });
    }
}

}  // namespace quilla::sim
