#include "sim/chips/msu2964.h"

#include <algorithm>
#include <string>

namespace quilla::sim {

namespace {
constexpr int kRst = 9, kP37 = 17, kXtal1 = 19, kGnd = 20, kPsen = 29, kProg = 30, kEa = 31, kVcc = 40;
constexpr int kData[8] = {1, 2, 3, 4, 5, 6, 7, 8};
constexpr int kLow[8] = {39, 38, 37, 36, 35, 34, 33, 32};
constexpr Nanos kProgram = 10 * Microsecond, kErase = 500 * Millisecond;
constexpr Nanos kProtect = 20 * Microsecond, kUnprotect = 1 * Millisecond;

bool Levels(ChipPins& pins, std::initializer_list<int> pinList, const char* levels) {
    const char* c = levels;
    for (int p : pinList)
        if (pins.High(p) != (*c++ == 'H')) return false;
    return true;
}
}  // namespace

Msu2964Chip::Msu2964Chip() : cells_(0x10000, 0xFF) {}

AbsoluteMaximum Msu2964Chip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 70;
    return r;
}

void Msu2964Chip::Lost() {
    step_ = 0;
    pulse_ = Pulse::None;
    busyLeft_ = 0;
}

void Msu2964Chip::Cycle(std::uint32_t a, std::uint8_t d, bool ea5v) {
    if (busyLeft_ > 0) {
        NoteRefusal(a, "bus cycle while a program or erase is busy");
        return;
    }
    const std::uint32_t c = a & 0x7FFF;
    auto is = [&](std::uint32_t at, std::uint8_t v) { return c == at && d == v; };
    auto next = [&](bool ok, int to) {
        if (!ok) NoteRefusal(a, "command sequence broken at cycle " + std::to_string(step_ + 1));
        step_ = ok ? to : 0;
    };
    switch (step_) {
        case 0: step_ = is(0x5555, 0xAA) ? 1 : 0; return;
        case 1: next(is(0x2AAA, 0x55), 2); return;
        case 2:
            if (is(0x5555, 0xA0)) step_ = 3;
            else next(is(0x5555, 0x80), 4);
            return;
        case 3:
            step_ = 0;
            if (protected_) {
                NoteRefusal(a, "program while protected");
                return;
            }
            busyErase_ = false;
            busyAddress_ = a;
            busyData_ = d;
            busyLeft_ = static_cast<Nanos>(static_cast<double>(kProgram) * SlowFactor());
            return;
        case 4: next(is(0x5555, 0xAA), 5); return;
        case 5: next(is(0x2AAA, 0x55), 6); return;
        case 6:
            step_ = 0;
            if (!is(0x5555, 0x10) || protected_ || !ea5v) {
                NoteRefusal(a, !is(0x5555, 0x10) ? "command sequence broken at cycle 6"
                               : protected_      ? "chip erase while protected"
                                                 : "chip erase without 5 V on EA");
                return;
            }
            busyErase_ = true;
            busyLeft_ = static_cast<Nanos>(static_cast<double>(kErase) * SlowFactor());
            return;
        default: step_ = 0; return;
    }
}

void Msu2964Chip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.SupplyVoltage(kVcc);
    if (!pins.Grounded(kGnd) || vcc < 45 || vcc > 55) {
        Lost();
        strobeLow_ = !pins.High(kP37);
        for (int p : kData) pins.Release(p);
        return;
    }
    const Tenths ea = pins.SupplyVoltage(kEa);
    const bool ea5v = ea >= 45 && ea <= 55;
    const bool clocked = pins.Source(kXtal1) == PinSource::Clock;
    const bool rst = pins.High(kRst);
    std::uint32_t a = 0;
    for (int i = 0; i < 8; ++i)
        if (pins.High(kLow[i])) a |= 1u << i;
    for (int i = 0; i < 8; ++i)
        if (pins.High(21 + i)) a |= 1u << (8 + i);
    std::uint8_t d = 0;
    for (int i = 0; i < 8; ++i)
        if (pins.High(kData[i])) d = static_cast<std::uint8_t>(d | (1u << i));

    const bool upper = Levels(pins, {14, 15, 16, kProg}, "HHHL") && rst;
    const bool bus = upper && clocked && Levels(pins, {10, 11, 12, 13, kPsen}, "LLLLH");
    const bool protect = upper && ea5v && Levels(pins, {10, 11, 12, 13, kPsen}, "LHLHH");
    const bool unprotect = upper && ea5v && Levels(pins, {10, 11, 12, 13, kPsen}, "HLLHH");
    const Pulse now = bus ? Pulse::Bus : protect ? Pulse::Protect : unprotect ? Pulse::Unprotect : Pulse::None;

    const bool low = !pins.High(kP37);
    if (low && !strobeLow_) {
        pulse_ = now;
        pulseAddress_ = a;
        pulseData_ = d;
        pulseTime_ = 0;
        pulseDone_ = false;
    } else if (low && pulse_ != Pulse::None && (now != pulse_ || a != pulseAddress_ || d != pulseData_)) {
        pulse_ = Pulse::None;
    } else if (!low && strobeLow_) {
        if (pulse_ == Pulse::Bus && now == Pulse::Bus && a == pulseAddress_ && d == pulseData_)
            Cycle(a, d, ea5v);
        pulse_ = Pulse::None;
    }
    strobeLow_ = low;

    const bool read = rst && clocked && pins.High(kP37) && Levels(pins, {10, 11, 12, 13, 14, 15, 16, kPsen, kProg}, "LLLLHHHLL");
    if (read) {
        const std::uint8_t v = protected_ ? 0x00 : cells_[a];
        for (int i = 0; i < 8; ++i) pins.Drive(kData[i], (v >> i) & 1u);
    } else {
        for (int p : kData) pins.Release(p);
    }
}

void Msu2964Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (busyLeft_ > 0) {
        if (dt >= busyLeft_) {
            busyLeft_ = 0;
            if (busyErase_) {
                std::fill(cells_.begin(), cells_.end(), 0xFF);
                ++erases_;
            } else {
                cells_[busyAddress_] &= busyData_;
            }
        } else {
            busyLeft_ -= dt;
        }
    }
    if ((pulse_ == Pulse::Protect || pulse_ == Pulse::Unprotect) && !pulseDone_) {
        pulseTime_ += dt;
        const Nanos need = pulse_ == Pulse::Protect ? kProtect : kUnprotect;
        if (static_cast<double>(pulseTime_) >= static_cast<double>(need) * SlowFactor()) {
            protected_ = pulse_ == Pulse::Protect;
            pulseDone_ = true;
        }
    }
}

void Msu2964Chip::OnRemoved() {
    Lost();
    strobeLow_ = false;
}

}  // namespace quilla::sim
