#include "sim/chips/microwire.h"

#include <algorithm>

namespace quilla::sim {

namespace {

// name, bytes, x8/x16 address bits, PE pin, VCC window, ERAL minimum, write and ERAL times, rating
MicrowirePart Atmel(const char* name, int bytes, int x8Bits, int x16Bits) {
    return {name, bytes, x8Bits, x16Bits, false, 18, 55, 45, 1 * Millisecond, 1 * Millisecond, 70};
}
MicrowirePart FiveVolt(const char* name, int bytes) {
    return {name, bytes, 11, 10, true, 45, 55, 45, 2 * Millisecond, 6 * Millisecond, 70};
}

std::vector<MicrowirePart> BuildParts() {
    return {Atmel("93C46", 128, 7, 6), Atmel("93C56", 256, 9, 8), Atmel("93C57", 256, 8, 7),
            Atmel("93C66", 512, 9, 8), FiveVolt("93C76", 1024), FiveVolt("93C86", 2048)};
}

}  // namespace

const std::vector<MicrowirePart>& MicrowireParts() {
    static const std::vector<MicrowirePart> parts = BuildParts();
    return parts;
}

const MicrowirePart* FindMicrowirePart(std::string_view name) {
    for (const auto& p : MicrowireParts())
        if (name == p.name) return &p;
    return nullptr;
}

MicrowireChip::MicrowireChip(const MicrowirePart& part)
    : SerialMemoryChip(part.name, part.bytes, VSS, VCC, part.absMax), part_(part) {}

std::uint16_t MicrowireChip::Word(int n) const {
    const std::size_t i = static_cast<std::size_t>(2 * n);
    return static_cast<std::uint16_t>(cells_[i] | (cells_[i + 1] << 8));
}

void MicrowireChip::SetWord(int n, std::uint16_t v) {
    const std::size_t i = static_cast<std::size_t>(2 * n);
    cells_[i] = static_cast<std::uint8_t>(v);
    cells_[i + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::uint16_t MicrowireChip::Read(int address) const {
    return x16_ ? Word(address) : cells_[static_cast<std::size_t>(address)];
}

void MicrowireChip::PowerLost(ChipPins& pins) {
    powered_ = false;
    ewen_ = false;
    busy_ = 0;
    busyOp_ = Op::None;
    phase_ = Phase::Idle;
    selected_ = false;
    statusArmed_ = statusShown_ = false;
    pins.Release(DO);
}

void MicrowireChip::OnRemoved() {
    powered_ = false;
    ewen_ = false;
    busy_ = 0;
    busyOp_ = Op::None;
    phase_ = Phase::Idle;
}

void MicrowireChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = PoweredAt(pins, part_.vccMin, part_.vccMax);
    if (vcc == 0) {
        if (powered_) PowerLost(pins);
        return;
    }
    vcc_ = vcc;
    const bool cs = pins.High(CS), sk = pins.High(SK);
    if (!powered_) {
        // Power-on: write-disabled; an instruction begins with a CS rise.
        powered_ = true;
        ewen_ = false;
        selected_ = false;
        lastCs_ = cs;
        lastSk_ = sk;
        return;
    }
    if (cs != lastCs_) {
        lastCs_ = cs;
        phase_ = Phase::Idle;
        if (cs) {
            selected_ = true;
            statusShown_ = statusArmed_;
        } else {
            selected_ = false;
            statusShown_ = false;
            pins.Release(DO);
        }
    }
    if (sk != lastSk_) {
        lastSk_ = sk;
        if (sk && cs && selected_) OnRise(pins);
    }
    if (statusShown_) pins.Drive(DO, !Busy());
}

void MicrowireChip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!powered_ || busy_ == 0) return;
    busy_ -= std::min(busy_, dt);
    if (busy_ > 0) return;
    const int words = busyX16_ ? part_.bytes / 2 : part_.bytes;
    auto put = [&](int a, std::uint16_t v) {
        if (busyX16_) SetWord(a, v);
        else cells_[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(v);
    };
    switch (busyOp_) {
        case Op::Write: put(busyAddress_, busyData_); break;
        case Op::Erase: put(busyAddress_, 0xFFFF); break;
        case Op::EraseAll: std::fill(cells_.begin(), cells_.end(), 0xFF); break;
        case Op::WriteAll:
            for (int a = 0; a < words; ++a) put(a, busyData_);
            break;
        case Op::None: break;
    }
    busyOp_ = Op::None;
    ++cycles_;
    if (statusShown_) pins.Drive(DO, true);
}

bool MicrowireChip::MayProgram(ChipPins& pins) const { return ewen_ && (!part_.hasPe || pins.High(PE)); }

void MicrowireChip::StartCycle(Op op, int address, std::uint16_t data) {
    busyOp_ = op;
    busyAddress_ = address;
    busyData_ = data;
    busyX16_ = x16_;
    busy_ = Scaled((op == Op::EraseAll || op == Op::WriteAll) ? part_.eralTime : part_.writeTime);
    statusArmed_ = true;
}

void MicrowireChip::OnRise(ChipPins& pins) {
    if (Busy()) return;  // nothing is taken while a write cycle runs
    switch (phase_) {
        case Phase::Idle:
            if (!pins.High(DI)) return;
            // The start bit: ends the status display.
            phase_ = Phase::Bits;
            bits_ = 0;
            count_ = 0;
            x16_ = pins.High(ORG);
            statusArmed_ = statusShown_ = false;
            pins.Release(DO);
            return;
        case Phase::Bits:
            bits_ = (bits_ << 1) | (pins.High(DI) ? 1u : 0u);
            ++count_;
            Decode(pins);
            return;
        case Phase::Reading: DriveNextBit(pins); return;
        case Phase::Done: return;
    }
}

void MicrowireChip::Decode(ChipPins& pins) {
    const int ab = AddressBits();
    if (count_ < 2 + ab) return;
    const std::uint32_t head = bits_ >> (count_ - 2 - ab);  // opcode and address
    const unsigned opcode = (head >> ab) & 3u;
    const int address = static_cast<int>(head & ((1u << ab) - 1u)) & (Words() - 1);
    const unsigned sub = (head >> (ab - 2)) & 3u;  // EWEN/EWDS/ERAL/WRAL code
    const bool withData = opcode == 1 || (opcode == 0 && sub == 1);
    if (count_ == 2 + ab) {
        if (withData) return;  // the data bits follow
        phase_ = Phase::Done;
        switch (opcode) {
            case 2:
                phase_ = Phase::Reading;
                readAddress_ = address;
                readBit_ = 0;
                pins.Drive(DO, false);  // the dummy bit
                break;
            case 3:
                if (MayProgram(pins)) StartCycle(Op::Erase, address, 0xFFFF);
                break;
            default:
                if (sub == 3) ewen_ = true;
                else if (sub == 0) ewen_ = false;
                else if (MayProgram(pins) && vcc_ >= part_.eralMin) StartCycle(Op::EraseAll, 0, 0xFFFF);
                break;
        }
        return;
    }
    if (count_ < 2 + ab + Width()) return;
    phase_ = Phase::Done;
    const std::uint16_t data = static_cast<std::uint16_t>(bits_ & ((1u << Width()) - 1u));
    if (!MayProgram(pins)) return;
    if (opcode == 1) StartCycle(Op::Write, address, data);
    else if (vcc_ >= part_.eralMin) StartCycle(Op::WriteAll, 0, data);
}

void MicrowireChip::DriveNextBit(ChipPins& pins) {
    const int w = Width();
    pins.Drive(DO, (Read(readAddress_) >> (w - 1 - readBit_)) & 1u);
    if (++readBit_ == w) {
        readBit_ = 0;
        readAddress_ = (readAddress_ + 1) % Words();
    }
}

SeatedPart MakeMicrowire(std::string_view name) {
    const MicrowirePart* p = FindMicrowirePart(name);
    if (!p) return {};
    SeatedPart s{std::make_unique<MicrowireChip>(*p), Placement::Dip(8)};
    s.modelPlacements.emplace_back("vex310", Placement::Custom("vex310 DIP8", {15, 16, 17, 18, 23, 24, 25, 26}));
    return s;
}

void RegisterMicrowireParts(ChipRegistry& registry) {
    for (const auto& p : MicrowireParts()) {
        const std::string name = p.name;
        registry.Add(name, [name] { return MakeMicrowire(name); });
    }
}

}  // namespace quilla::sim
