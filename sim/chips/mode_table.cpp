#include "sim/chips/mode_table.h"

#include <algorithm>
#include <limits>

namespace quilla::sim {

int Plcc44Of(int dip) {
    if (dip >= 1 && dip <= 10) return dip + 1;    // P1.0..P1.7, RST, P3.0
    if (dip >= 11 && dip <= 20) return dip + 2;   // P3.1..P3.7, XTAL2, XTAL1, GND
    if (dip >= 21 && dip <= 30) return dip + 3;   // P2.0..P2.7, PSEN, ALE/PROG
    if (dip >= 31 && dip <= 40) return dip + 4;   // EA/VPP, P0.7..P0.0, VCC
    return 0;
}

ModeTablePart InPlcc44(ModeTablePart p) {
    auto pin = [](int& n) { n = Plcc44Of(n); };
    auto list = [&](std::vector<int>& v) { std::for_each(v.begin(), v.end(), pin); };
    auto levels = [&](std::vector<PinLevel>& v) {
        for (PinLevel& l : v) pin(l.pin);
    };
    p.name += "*P44";
    p.pins = 44;
    p.nc = {1, 12, 23, 34};
    pin(p.vcc);
    list(p.gnd);
    list(p.address);
    list(p.data);
    levels(p.always);
    for (ModeRow& m : p.modes) levels(m.pins);
    pin(p.strobe);
    pin(p.vppPin);
    if (p.clock) pin(p.clock);
    if (p.ready) pin(p.ready);
    return p;
}

ModeTableChip::ModeTableChip(ModeTablePart part) : part_(std::move(part)), cells_(part_.size, 0xFF) {}

AbsoluteMaximum ModeTableChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = part_.absAny;
    if (part_.vppPin) r.pins.push_back({part_.vppPin, part_.absVpp});
    for (int p : part_.nc) r.pins.push_back({p, std::numeric_limits<Tenths>::max()});
    return r;
}

const ModeRow* ModeTableChip::Mode(ChipPins& pins) const {
    if (part_.clock && pins.Source(part_.clock) != PinSource::Clock) return nullptr;
    for (const PinLevel& l : part_.always)
        if (pins.High(l.pin) != l.high) return nullptr;
    for (const ModeRow& m : part_.modes) {
        bool match = true;
        for (const PinLevel& l : m.pins) match = match && pins.High(l.pin) == l.high;
        if (match) return &m;
    }
    return nullptr;
}

std::uint32_t ModeTableChip::Address(ChipPins& pins) const {
    std::uint32_t a = 0;
    for (std::size_t i = 0; i < part_.address.size(); ++i)
        if (pins.High(part_.address[i])) a |= 1u << i;
    return part_.size ? a % part_.size : 0;
}

bool ModeTableChip::CanWrite(ChipPins& pins, Tenths vcc) const {
    const Tenths vpp = pins.SupplyVoltage(part_.vppPin);
    return vpp >= part_.vppMin && vpp <= part_.vppMax && vcc >= part_.progVccMin && vcc <= part_.progVccMax;
}

void ModeTableChip::DriveData(ChipPins& pins, std::uint8_t v) {
    for (std::size_t i = 0; i < part_.data.size(); ++i) pins.Drive(part_.data[i], (v >> i) & 1u);
}

void ModeTableChip::ReleaseData(ChipPins& pins) {
    for (int p : part_.data) pins.Release(p);
}

void ModeTableChip::Commit() {
    if (busy_.op == ModeOp::Program) {
        cells_[busy_.address] &= busy_.data;
    } else {
        locks_ |= 1u << (busy_.lockBit - 1);
    }
    ++writes_;
}

void ModeTableChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.SupplyVoltage(part_.vcc);
    bool grounded = false;
    for (int g : part_.gnd) grounded = grounded || pins.Grounded(g);
    const bool strobeLow = !pins.High(part_.strobe);
    const bool falling = strobeLow && !strobeLow_;
    const bool rising = !strobeLow && strobeLow_;
    strobeLow_ = strobeLow;

    if (!grounded || vcc < part_.readVccMin || vcc > std::max(part_.readVccMax, part_.progVccMax)) {
        // Off: a write in progress is lost.
        busyLeft_ = 0;
        armed_ = false;
        erasing_ = false;
        ReleaseData(pins);
        if (part_.ready) pins.Release(part_.ready);
        return;
    }

    const ModeRow* mode = Mode(pins);
    const bool writeMode = mode && (mode->op == ModeOp::Program || mode->op == ModeOp::WriteLock);
    Latched now{};
    if (writeMode) {
        now.op = mode->op;
        now.lockBit = mode->lockBit;
        if (mode->op == ModeOp::Program) {
            now.address = Address(pins);
            now.data = static_cast<std::uint8_t>(pins.ReadBus(part_.data));
        }
    }
    const bool canWrite = writeMode && CanWrite(pins, vcc);

    // A program or lock pulse: armed at the falling edge, written at the rising
    // edge when everything held; one arriving while busy is ignored.
    if (falling) {
        const bool locked = now.op == ModeOp::Program && Locked(part_.lockNoProgram);
        armed_ = canWrite && busyLeft_ == 0 && !locked;
        arm_ = now;
    } else if (armed_ && strobeLow && !(canWrite && now == arm_)) {
        armed_ = false;
    }
    if (rising) {
        if (armed_ && canWrite && now == arm_) {
            busy_ = arm_;
            busyLeft_ = static_cast<Nanos>(static_cast<double>(part_.writeTime) * SlowFactor());
            if (busyLeft_ == 0) Commit();
        }
        armed_ = false;
    }

    // Chip erase: the strobe held low in the erase mode.
    const bool erase = mode && mode->op == ModeOp::Erase && strobeLow && !part_.otp && CanWrite(pins, vcc);
    if (!erase) {
        eraseTime_ = 0;
        eraseDone_ = false;
    }
    erasing_ = erase;

    // Outputs.
    const bool readable = mode && !strobeLow && pins.High(part_.vppPin) && vcc >= part_.readVccMin &&
                          vcc <= part_.readVccMax &&
                          (mode->op == ModeOp::Read || mode->op == ModeOp::Signature);
    if (readable) {
        std::uint8_t v = 0xFF;
        const std::uint32_t a = Address(pins);
        if (Locked(part_.lockNoRead)) {
            v = 0xFF;
        } else if (mode->op == ModeOp::Signature) {
            auto it = part_.signature.find(a);
            v = it == part_.signature.end() ? 0xFF : it->second;
        } else if (busyLeft_ > 0 && busy_.op == ModeOp::Program && busy_.address == a) {
            v = static_cast<std::uint8_t>(busy_.data ^ 0x80);  // data polling
        } else {
            v = cells_[a];
        }
        DriveData(pins, v);
    } else {
        ReleaseData(pins);
    }
    if (part_.ready) {
        if (busyLeft_ > 0) pins.Drive(part_.ready, false);
        else pins.Release(part_.ready);
    }
}

void ModeTableChip::OnElapsed(ChipPins& pins, Nanos dt) {
    bool changed = false;
    if (busyLeft_ > 0) {
        if (dt >= busyLeft_) {
            busyLeft_ = 0;
            Commit();
            changed = true;
        } else {
            busyLeft_ -= dt;
        }
    }
    if (erasing_ && !eraseDone_) {
        eraseTime_ += dt;
        if (static_cast<double>(eraseTime_) >= static_cast<double>(part_.eraseTime) * SlowFactor()) {
            std::fill(cells_.begin(), cells_.end(), 0xFF);
            locks_ = 0;
            eraseDone_ = true;
            ++erases_;
            changed = true;
        }
    }
    // The outputs follow the new state (ready pin, the byte just written).
    if (changed) OnPinsChanged(pins);
}

void ModeTableChip::OnRemoved() {
    busyLeft_ = 0;
    armed_ = false;
    erasing_ = false;
    strobeLow_ = false;
}

}  // namespace quilla::sim
