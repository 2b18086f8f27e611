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
    if (p.ldromSelect) pin(p.ldromSelect);
    return p;
}

ModeTableChip::ModeTableChip(ModeTablePart part)
    : part_(std::move(part)), cells_(part_.size + part_.ldromSize, 0xFF) {}

std::uint8_t ModeTableChip::Extra(std::uint32_t address) const {
    auto it = extra_.find(address);
    return it == extra_.end() ? 0xFF : it->second;
}

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

std::uint32_t ModeTableChip::FullAddress(ChipPins& pins) const {
    std::uint32_t a = 0;
    for (std::size_t i = 0; i < part_.address.size(); ++i)
        if (pins.High(part_.address[i])) a |= 1u << i;
    return a;
}

std::uint32_t ModeTableChip::Address(ChipPins& pins) const {
    return part_.size ? FullAddress(pins) % part_.size : 0;
}

std::uint32_t ModeTableChip::Locate(ChipPins& pins) const {
    const std::uint32_t full = FullAddress(pins);
    const bool ldrom = part_.ldromSelect && part_.ldromSize && pins.High(part_.ldromSelect);
    for (std::uint32_t a : part_.extraCells)
        if (a == full && (!part_.extraInLdrom || ldrom)) return kExtra | full;
    if (ldrom) return part_.size + full % part_.ldromSize;
    return part_.size ? full % part_.size : 0;
}

std::uint8_t ModeTableChip::At(std::uint32_t loc) const {
    if (loc & kExtra) return Extra(loc & ~kExtra);
    return cells_[loc];
}

void ModeTableChip::ProgramAt(std::uint32_t loc, std::uint8_t v) {
    if (loc & kExtra) {
        const std::uint32_t a = loc & ~kExtra;
        extra_[a] = static_cast<std::uint8_t>(Extra(a) & v);
    } else {
        cells_[loc] &= v;
    }
}

bool ModeTableChip::CanWrite(ChipPins& pins, Tenths vcc, ModeOp op) const {
    Tenths vppMin = part_.vppMin, vppMax = part_.vppMax;
    Tenths vccMin = part_.progVccMin, vccMax = part_.progVccMax;
    if (op == ModeOp::Erase && part_.eraseVppMax) vppMin = part_.eraseVppMin, vppMax = part_.eraseVppMax;
    if (op == ModeOp::Erase && part_.eraseVccMax) vccMin = part_.eraseVccMin, vccMax = part_.eraseVccMax;
    if ((op == ModeOp::WriteLock || op == ModeOp::WriteLockByte) && part_.lockVccMax)
        vccMin = part_.lockVccMin, vccMax = part_.lockVccMax;
    if (part_.vppPin) {
        const Tenths vpp = pins.SupplyVoltage(part_.vppPin);
        if (vpp < vppMin || vpp > vppMax) return false;
    }
    return vcc >= vccMin && vcc <= vccMax;
}

void ModeTableChip::DriveData(ChipPins& pins, std::uint8_t v) {
    for (std::size_t i = 0; i < part_.data.size(); ++i) pins.Drive(part_.data[i], (v >> i) & 1u);
}

void ModeTableChip::ReleaseData(ChipPins& pins) {
    for (int p : part_.data) pins.Release(p);
}

void ModeTableChip::Commit() {
    switch (busy_.op) {
        case ModeOp::Program:
            ProgramAt(busy_.address, busy_.data);
            break;
        case ModeOp::WriteLock:
            locks_ |= 1u << (busy_.lockBit - 1);
            break;
        case ModeOp::WriteLockByte:
            for (std::size_t n = 0; n < part_.lockByteBits.size(); ++n)
                if (((busy_.data >> part_.lockByteBits[n]) & 1u) == 0) locks_ |= 1u << n;
            break;
        case ModeOp::WriteConfig:
            config_ &= part_.configClear ? static_cast<std::uint8_t>(~part_.configClear) : busy_.data;
            break;
        case ModeOp::Erase:
            EraseAll();
            return;
        default:
            break;
    }
    ++writes_;
}

void ModeTableChip::EraseAll() {
    std::fill(cells_.begin(), cells_.end(), 0xFF);
    extra_.clear();
    config_ = 0xFF;
    locks_ = 0;
    ++erases_;
}

void ModeTableChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.SupplyVoltage(part_.vcc);
    bool grounded = false;
    for (int g : part_.gnd) grounded = grounded || pins.Grounded(g);
    const bool strobeLow = !pins.High(part_.strobe);
    const bool falling = strobeLow && !strobeLow_;
    const bool rising = !strobeLow && strobeLow_;
    strobeLow_ = strobeLow;

    const Tenths vccTop =
        std::max({part_.readVccMax, part_.progVccMax, part_.lockVccMax, part_.eraseVccMax});
    if (!grounded || vcc < part_.readVccMin || vcc > vccTop) {
        // Off: a write or erase in progress is lost.
        busyLeft_ = 0;
        armed_ = false;
        erasing_ = false;
        ReleaseData(pins);
        if (part_.ready) pins.Release(part_.ready);
        return;
    }

    const ModeRow* mode = Mode(pins);
    const bool writeMode =
        mode && (mode->op == ModeOp::Program || mode->op == ModeOp::WriteLock ||
                 mode->op == ModeOp::WriteLockByte || mode->op == ModeOp::WriteConfig ||
                 (mode->op == ModeOp::Erase && part_.pulseErase && !part_.otp));
    Latched now{};
    if (writeMode) {
        now.op = mode->op;
        now.lockBit = mode->lockBit;
        if (mode->op == ModeOp::Program || mode->op == ModeOp::WriteLockByte || mode->op == ModeOp::WriteConfig) {
            if (mode->op == ModeOp::Program) now.address = Locate(pins);
            if (mode->op == ModeOp::WriteConfig) now.address = FullAddress(pins);
            now.data = static_cast<std::uint8_t>(pins.ReadBus(part_.data));
        }
    }
    const bool supplied = writeMode && CanWrite(pins, vcc, mode->op);
    bool canWrite = supplied;
    if (canWrite && mode->op == ModeOp::WriteConfig && part_.configAddress >= 0)
        canWrite = now.address == static_cast<std::uint32_t>(part_.configAddress);

    // A program, lock or (pulse) erase pulse: armed at the falling edge, done at
    // the rising edge when everything held; one arriving while busy is ignored.
    if (falling) {
        const bool locked = now.op == ModeOp::Program && Locked(part_.lockNoProgram);
        armed_ = canWrite && busyLeft_ == 0 && !locked;
        arm_ = now;
        fallAt_ = pins.Now();
        if (writeMode && !armed_) {
            const char* why = !supplied        ? "write pulse with VPP or VCC outside the programming window"
                              : !canWrite      ? "configuration pulse away from the configuration address"
                              : busyLeft_ > 0  ? "write pulse while a write is busy"
                                               : "program pulse with the code locked";
            NoteRefusal(now.address, why);
        }
    } else if (armed_ && strobeLow && !(canWrite && now == arm_)) {
        armed_ = false;
        NoteRefusal(arm_.address, "mode, address or data changed while the strobe was low");
    }
    if (rising) {
        if (armed_ && canWrite && now == arm_) {
            busy_ = arm_;
            const bool timed = arm_.op == ModeOp::Program || arm_.op == ModeOp::WriteLock || arm_.op == ModeOp::WriteConfig;
            if (timed && part_.minProgramLow > 0) {
                // Pulse-timed cells: the low time counts, summed per byte (or lock
                // bit, or config byte).
                if (!(arm_ == progKey_)) {
                    progKey_ = arm_;
                    progLow_ = 0;
                }
                progLow_ += pins.Now() - fallAt_;
                Nanos need = arm_.op == ModeOp::Program || part_.minLockLow == 0 ? part_.minProgramLow
                                                                                 : part_.minLockLow;
                if (arm_.op == ModeOp::WriteConfig && part_.minConfigLow > 0) need = part_.minConfigLow;
                if (static_cast<double>(progLow_) >= static_cast<double>(need) * SlowFactor()) Commit();
            } else {
                const Nanos t = arm_.op == ModeOp::Erase ? part_.eraseTime : part_.writeTime;
                busyLeft_ = static_cast<Nanos>(static_cast<double>(t) * SlowFactor());
                if (busyLeft_ == 0) Commit();
            }
        }
        armed_ = false;
    }

    // Chip erase: the strobe held low in the erase mode.
    const bool erase = mode && mode->op == ModeOp::Erase && !part_.pulseErase && strobeLow && !part_.otp &&
                       CanWrite(pins, vcc, ModeOp::Erase);
    if (!erase) {
        eraseTime_ = 0;
        eraseDone_ = false;
    }
    erasing_ = erase;

    // Outputs.
    bool vppOk = true;
    if (part_.vppPin)
        vppOk = part_.readVppMin ? pins.SupplyVoltage(part_.vppPin) >= part_.readVppMin : pins.High(part_.vppPin);
    const bool readable = mode && (!part_.strobeGatesReads || !strobeLow) && vppOk && vcc >= part_.readVccMin &&
                          vcc <= part_.readVccMax &&
                          (mode->op == ModeOp::Read || mode->op == ModeOp::Signature || mode->op == ModeOp::ReadLock ||
                           mode->op == ModeOp::ReadConfig);
    if (readable) {
        std::uint8_t v = 0xFF;
        if (mode->op == ModeOp::ReadConfig) {
            v = config_;
        } else if (mode->op == ModeOp::ReadLock) {
            for (std::size_t n = 0; n < part_.lockReadBits.size(); ++n)
                if (((locks_ >> n) & 1u) == 0) v = static_cast<std::uint8_t>(v & ~(1u << part_.lockReadBits[n]));
        } else if (Locked(part_.lockNoRead)) {
            v = 0xFF;
        } else if (mode->op == ModeOp::Signature) {
            if (mode->answer >= 0) {
                v = static_cast<std::uint8_t>(mode->answer);
            } else if (part_.configAddress >= 0 && Address(pins) == static_cast<std::uint32_t>(part_.configAddress)) {
                v = config_;
            } else {
                auto it = part_.signature.find(Address(pins));
                v = it == part_.signature.end() ? 0xFF : it->second;
            }
        } else {
            const std::uint32_t loc = Locate(pins);
            if (busyLeft_ > 0 && busy_.op == ModeOp::Program && busy_.address == loc)
                v = static_cast<std::uint8_t>(busy_.data ^ 0x80);  // data polling
            else
                v = At(loc);
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
            EraseAll();
            eraseDone_ = true;
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
