#include "sim/chips/flash51.h"

#include <algorithm>

namespace quilla::sim {

// ---- the shared pinout --------------------------------------------------------------------

bool Parallel51Chip::Powered(ChipPins& pins) const {
    const Tenths vcc = pins.SupplyVoltage(kVcc);
    return pins.Grounded(kGnd) && vcc >= vccMin_ && vcc <= vccMax_;
}

std::uint32_t Parallel51Chip::Address(ChipPins& pins, int bits) {
    static constexpr int kPins[16] = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26, kP34, kP35};
    std::uint32_t a = 0;
    for (int i = 0; i < bits && i < 16; ++i)
        if (pins.High(kPins[i])) a |= 1u << i;
    return a;
}

std::string Parallel51Chip::Mode4(ChipPins& pins) {
    std::string s;
    for (int p : {kP26, kP27, kP36, kP37}) s += pins.High(p) ? 'H' : 'L';
    return s;
}

std::string Parallel51Chip::Mode5(ChipPins& pins) { return Mode4(pins) + (pins.High(kP33) ? 'H' : 'L'); }

// ---- SST89 -----------------------------------------------------------------------------------

namespace {
constexpr Nanos kSstWrite = 10 * Microsecond;
constexpr Nanos kSstErase = 100 * Millisecond;
}  // namespace

Sst89Chip::Sst89Chip(Sst89Part part)
    : Parallel51Chip(0x10000, part.lowVoltage ? 27 : 45, part.lowVoltage ? 44 : 55), part_(std::move(part)) {}

AbsoluteMaximum Sst89Chip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 70;
    r.pins.push_back({kEa, 140});
    return r;
}

void Sst89Chip::Reset() {
    inMode_ = false;
    armed_ = false;
    pulseArmed_ = false;
}

Sst89Chip::Cmd Sst89Chip::Decode(ChipPins& pins) const {
    Cmd c;
    const std::string m = Mode4(pins);
    const std::uint32_t a = Address(pins);
    const std::uint32_t high = a >> 8;
    c.address = a;
    if (m == "LLHH") c.op = Op::Read;
    else if (m == "LLLL") c.op = Op::Id;
    else if (m == "LHHH") c.op = Op::Program;
    else if (m == "HLLL") c.op = Op::Erase;
    else if (m == "HHHH") c.op = Op::Security, c.bit = 1;
    else if (m == "HHLL") c.op = Op::Security, c.bit = 2;
    else if (m == "HLHL") c.op = Op::Security, c.bit = 4;
    else if (m == "HLLH") {
        c.op = Op::Config;
        c.bit = high == 0x5A ? unsigned{SC0} : high == 0xAA ? unsigned{SC1} : high == 0x55 ? unsigned{SelBlock0}
              : high == 0xA5 ? unsigned{SelBlock1} : high == 0x00 ? unsigned{RB1} : 0u;
    } else if (m == "LLLH") {
        c.op = Op::Config;
        c.bit = high == 0x55 ? unsigned{Clock6} : high == 0x00 ? unsigned{RB0} : 0u;
    }
    if (c.op == Op::Config) {
        const unsigned has = part_.remapBits ? (RB0 | RB1) : (SC0 | SC1 | SelBlock0 | SelBlock1 | Clock6);
        if ((c.bit & has) == 0) c.op = Op::None;
    }
    if (c.op == Op::Program) c.data = Data(pins);
    if (c.op != Op::Program) c.address = c.op == Op::Config ? 0 : c.address;
    if (c.op == Op::Erase || c.op == Op::Security) c.address = 0;
    return c;
}

void Sst89Chip::Start(const Cmd& c) {
    busy_ = c;
    busyLeft_ = static_cast<Nanos>(static_cast<double>(c.op == Op::Erase ? kSstErase : kSstWrite) * SlowFactor());
    if (busyLeft_ == 0) Finish();
}

void Sst89Chip::Finish() {
    switch (busy_.op) {
        case Op::Program:
            if (security_ == 0 && InBlocks(busy_.address)) cells_[busy_.address] &= busy_.data;
            break;
        case Op::Erase:
            std::fill(cells_.begin(), cells_.end(), 0xFF);
            security_ = 0;
            ++erases_;
            break;
        case Op::Security:
            security_ |= busy_.bit;
            break;
        case Op::Config:
            config_ |= busy_.bit;
            break;
        default:
            break;
    }
}

void Sst89Chip::OnPinsChanged(ChipPins& pins) {
    if (!Powered(pins)) {
        busyLeft_ = 0;
        Reset();
        psenLow_ = !pins.High(kPsen);
        progLow_ = !pins.High(kProg);
        Release(pins);
        return;
    }
    const bool rst = pins.High(kRst);
    const bool psenLow = !pins.High(kPsen);
    if (psenLow && !psenLow_ && rst) {
        inMode_ = true;
        armed_ = false;
    }
    psenLow_ = psenLow;
    if (!rst || !psenLow) Reset();

    const bool progLow = !pins.High(kProg);
    const bool falling = progLow && !progLow_;
    const bool rising = !progLow && progLow_;
    progLow_ = progLow;

    const Cmd c = inMode_ ? Decode(pins) : Cmd{};
    const bool write = c.op == Op::Program || c.op == Op::Erase || c.op == Op::Security || c.op == Op::Config;
    if (falling) {
        pulseArmed_ = write && armed_ && busyLeft_ == 0;
        pulse_ = c;
        if (write && !pulseArmed_)
            NoteRefusal(c.address, busyLeft_ > 0 ? "write pulse while a write is busy"
                                                 : "write pulse before the signature read armed the part");
    } else if (pulseArmed_ && progLow && !(c == pulse_)) {
        pulseArmed_ = false;
        NoteRefusal(pulse_.address, "setting, address or data changed while PROG was low");
    }
    if (rising) {
        if (pulseArmed_ && c == pulse_) Start(pulse_);
        pulseArmed_ = false;
    }

    // Outputs: the read and Read-ID settings with ALE/PROG high.
    if (inMode_ && !progLow && (c.op == Op::Read || c.op == Op::Id)) {
        std::uint8_t v = 0xFF;
        if (c.op == Op::Id) {
            const std::uint32_t low = c.address & 0xFF;
            if (low == 0x30 || low == 0x31) armed_ = true;
            v = low == 0x30 ? 0xBF : low == 0x31 ? part_.device : 0xFF;
        } else if (armed_ && security_ == 0 && InBlocks(c.address)) {
            v = cells_[c.address];
            if (busyLeft_ > 0 && busy_.op == Op::Program && busy_.address == c.address)
                v = static_cast<std::uint8_t>(busy_.data ^ 0x80);
        }
        Drive(pins, v);
    } else {
        Release(pins);
    }
}

void Sst89Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (busyLeft_ == 0) return;
    if (dt < busyLeft_) {
        busyLeft_ -= dt;
        return;
    }
    busyLeft_ = 0;
    Finish();
    OnPinsChanged(pins);
}

void Sst89Chip::OnRemoved() {
    busyLeft_ = 0;
    Reset();
    psenLow_ = progLow_ = false;
}

// ---- T89C51RB2/RC2/RD2 ---------------------------------------------------------------------

PageWrite51Chip::PageWrite51Chip(PageWrite51Part part) : Parallel51Chip(part.size, 45, 55), part_(std::move(part)) {
    vccMin_ = 44;  // the forms' 4.4 V (rule 8)
    block_.fill(0xFF);
    block_[0] = 0xFF;  // BSB
    block_[1] = 0xFC;  // SBV
    block_[5] = 0xFF;  // SSB
    block_[0x30] = part_.ids[0];
    block_[0x31] = part_.ids[1];
    block_[0x60] = part_.ids[2];
    block_[0x61] = part_.ids[3];
    buffer_.fill(-1);
    cfgBuffer_.fill(-1);
}

AbsoluteMaximum PageWrite51Chip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 70;
    return r;
}

void PageWrite51Chip::PowerLost() {
    unlocked_ = false;
    unlockStep_ = 0;
    cycle_ = Cycle::None;
    cycleTime_ = 0;
    buffer_.fill(-1);
    cfgBuffer_.fill(-1);
}

void PageWrite51Chip::Complete(ChipPins& pins) {
    (void)pins;
    switch (cycle_) {
        case Cycle::Erase:
            std::fill(cells_.begin(), cells_.end(), 0xFF);
            block_[4] = 0xFF;
            break;
        case Cycle::Hsb:
            block_[4] &= cycleData_;
            break;
        case Cycle::Page: {
            if ((block_[4] & 0x02) == 0) {  // LB1: no programming
                NoteRefusal(cycleAddress_, "page write with lock bit 1 set");
                break;
            }
            const std::uint32_t base = (cycleAddress_ % part_.size) & ~static_cast<std::uint32_t>(kPage - 1);
            for (int i = 0; i < kPage; ++i)
                if (buffer_[static_cast<std::size_t>(i)] >= 0)
                    cells_[base + static_cast<std::uint32_t>(i)] = static_cast<std::uint8_t>(buffer_[static_cast<std::size_t>(i)]);
            buffer_.fill(-1);
            ++pagePrograms_;
            break;
        }
        case Cycle::Config:
            for (int i : {0, 1, 5})
                if (cfgBuffer_[static_cast<std::size_t>(i)] >= 0)
                    block_[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(cfgBuffer_[static_cast<std::size_t>(i)]);
            cfgBuffer_.fill(-1);
            break;
        default:
            break;
    }
}

void PageWrite51Chip::OnPinsChanged(ChipPins& pins) {
    if (!Powered(pins)) {
        PowerLost();
        progLow_ = !pins.High(kProg);
        Release(pins);
        return;
    }
    const bool fixed = pins.High(kRst) && !pins.High(kPsen) && pins.High(kEa) &&
                       pins.Source(kXtal1) == PinSource::Clock;
    const std::string m = fixed ? Mode5(pins) : std::string();
    const std::uint32_t a = Address(pins) % part_.size;
    const bool progLow = !pins.High(kProg);
    const bool falling = progLow && !progLow_;
    progLow_ = progLow;

    if (falling) {
        const std::uint8_t d = Data(pins);
        if (m == "HLHLL") {
            // The unlock bytes.
            if (d == 0x55) unlockStep_ = 1;
            else if (d == 0xAA && unlockStep_ == 1) unlocked_ = true, unlockStep_ = 0;
            else unlockStep_ = 0;
        } else if (m == "LHLHL") {
            buffer_[a % kPage] = d;
        } else if (m == "HHLHH") {
            cfgBuffer_[a % kPage] = d;
        }
        Cycle c = Cycle::None;
        if (m == "HLLLL") c = Cycle::Erase;
        else if (m == "HHLLL") c = Cycle::Hsb;
        else if (m == "LHHHL") c = Cycle::Page;
        else if (m == "HHLHL") c = Cycle::Config;
        cycle_ = unlocked_ ? c : Cycle::None;
        if (c != Cycle::None && !unlocked_) NoteRefusal(a, "write cycle without the 55h AAh unlock");
        cycleAddress_ = a;
        cycleData_ = d;
        cycleMode_ = m;
        cycleTime_ = 0;
        cycleDone_ = false;
    } else if (cycle_ != Cycle::None && (!progLow || m != cycleMode_ || (cycle_ == Cycle::Hsb && Data(pins) != cycleData_))) {
        // Released early or changed: nothing written.
        if (!cycleDone_) NoteRefusal(cycleAddress_, "PROG released early or the setting changed: nothing written");
        cycle_ = Cycle::None;
    }

    // Outputs.
    if (!progLow && (m == "LLHHH" || m == "LLLLH" || m == "LLLLL" || m == "LLLHH")) {
        std::uint8_t v = 0xFF;
        if (m == "LLHHH") v = (block_[4] & 0x06) == 0 ? 0xFF : cells_[a];
        else if (m == "LLLHH") v = block_[4];
        else v = block_[a & 0xFF];
        Drive(pins, v);
    } else {
        Release(pins);
    }
}

void PageWrite51Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (cycle_ == Cycle::None || cycleDone_) return;
    cycleTime_ += dt;
    if (static_cast<double>(cycleTime_) >= static_cast<double>(kCycle) * SlowFactor()) {
        Complete(pins);
        cycleDone_ = true;
    }
}

void PageWrite51Chip::OnRemoved() {
    PowerLost();
    progLow_ = false;
}

// ---- IS89C5xA ----------------------------------------------------------------------------------

namespace {
constexpr Nanos kIsProgram = 20 * Microsecond;
constexpr Nanos kIsErase = 100 * Millisecond;
constexpr Nanos kIsLock = 500 * Microsecond;
}  // namespace

CommandReg51Chip::CommandReg51Chip(CommandReg51Part part)
    : Parallel51Chip(part.size, part.lowVoltage ? 30 : 45, part.lowVoltage ? 36 : 55), part_(std::move(part)) {}

AbsoluteMaximum CommandReg51Chip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 70;
    return r;
}

bool CommandReg51Chip::Writing(ChipPins& pins) const {
    const Tenths ea = pins.SupplyVoltage(kEa);
    return ea >= 45 && ea <= 55;
}

void CommandReg51Chip::Complete() {
    switch (pulseCommand_) {
        case 0x40:
            if ((locks_ & 1) == 0) cells_[pulseAddress_] &= pulseData_;
            break;
        case 0x20:
            std::fill(cells_.begin(), cells_.end(), 0xFF);
            locks_ = 0;
            ++erases_;
            break;
        case 0x60: locks_ |= 1; break;
        case 0x70: locks_ |= 2; break;
        case 0x80: locks_ |= 4; break;
        default: break;
    }
}

void CommandReg51Chip::OnPinsChanged(ChipPins& pins) {
    if (!Powered(pins)) {
        command_ = -1;
        pulse_ = false;
        strobeLow_ = !pins.High(kP26);
        progLow_ = !pins.High(kProg);
        Release(pins);
        return;
    }
    const bool fixed = pins.High(kRst) && !pins.High(kPsen) && pins.High(kP36) && pins.High(kP37) &&
                       pins.Source(kXtal1) == PinSource::Clock;
    const bool strobeLow = !pins.High(kP26);
    if (!strobeLow && strobeLow_ && fixed && pins.High(kP27)) command_ = Data(pins);
    strobeLow_ = strobeLow;

    const std::uint32_t a = Address(pins, 13) % part_.size;
    const bool progLow = !pins.High(kProg);
    const bool falling = progLow && !progLow_;
    progLow_ = progLow;
    const std::uint8_t d = Data(pins);
    const bool confirmed = command_ == 0x20 || command_ == 0x60 || command_ == 0x70 || command_ == 0x80;
    const bool can = fixed && Writing(pins) && (command_ == 0x40 || (confirmed && d == 0xD0));
    if (falling) {
        pulse_ = can;
        if (!can && fixed && Writing(pins))
            NoteRefusal(a, "PROG pulse without a program command, or an unconfirmed one (D0h)");
        pulseCommand_ = command_;
        pulseAddress_ = a;
        pulseData_ = d;
        pulseTime_ = 0;
        pulseDone_ = false;
    } else if (pulse_ && (!progLow || !can || command_ != pulseCommand_ || a != pulseAddress_ || d != pulseData_)) {
        if (!pulseDone_) NoteRefusal(pulseAddress_, "PROG released early or the command, address or data changed");
        pulse_ = false;
    }

    const bool reading = fixed && !progLow && !pins.High(kP27) && (command_ == 0xC0 || command_ == 0x90);
    if (reading) {
        std::uint8_t v = 0xFF;
        if (command_ == 0x90) {
            const std::uint32_t low = a & 0xFF;
            v = low == 0x30 ? 0xD5 : low == 0x31 ? part_.device : 0xFF;
        } else if ((locks_ & 2) == 0) {
            v = cells_[a];
        }
        Drive(pins, v);
    } else {
        Release(pins);
    }
}

void CommandReg51Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (!pulse_ || pulseDone_) return;
    pulseTime_ += dt;
    const Nanos need = pulseCommand_ == 0x40 ? kIsProgram : pulseCommand_ == 0x20 ? kIsErase : kIsLock;
    if (static_cast<double>(pulseTime_) >= static_cast<double>(need) * SlowFactor()) {
        Complete();
        pulseDone_ = true;
    }
}

void CommandReg51Chip::OnRemoved() {
    command_ = -1;
    pulse_ = false;
    strobeLow_ = progLow_ = false;
}

// ---- the parts ------------------------------------------------------------------------------------

namespace {

const std::vector<Sst89Part>& SstParts() {
    static const std::vector<Sst89Part> parts = {
        {"SST89C54", 0x3FFF, 0xF000, 0xE3, false, true},     {"SST89C58", 0x7FFF, 0xF000, 0xE1, false, true},
        {"SST89E554RC", 0x7FFF, 0xE000, 0x93, false, false}, {"SST89E564RD", 0xFFFF, 0x10000, 0x92, false, false},
        {"SST89V554RC", 0x7FFF, 0xE000, 0x9F, true, false},  {"SST89V564RD", 0xFFFF, 0x10000, 0x9E, true, false},
    };
    return parts;
}

const std::vector<PageWrite51Part>& PageParts() {
    static const std::vector<PageWrite51Part> parts = {
        {"T89C51RB2", 0x4000, {0x58, 0xD7, 0xFF, 0xFF}},
        {"T89C51RC2", 0x8000, {0x58, 0xD7, 0xFF, 0xFF}},
        {"T89C51RD2", 0x10000, {0x58, 0xD7, 0xFC, 0xFF}},
    };
    return parts;
}

const std::vector<CommandReg51Part>& IsParts() {
    static const std::vector<CommandReg51Part> parts = {
        {"IS89C51A", 0x1000, 0x51, false},
        {"IS89C52A", 0x2000, 0x52, false},
        {"IS89LV51A", 0x1000, 0x51, true},
        {"IS89LV52A", 0x2000, 0x52, true},
    };
    return parts;
}

}  // namespace

SeatedPart MakeFlash51(std::string_view name) {
    for (const Sst89Part& p : SstParts())
        if (name == p.name) return {std::make_unique<Sst89Chip>(p), Placement::Dip(40)};
    for (const PageWrite51Part& p : PageParts())
        if (name == p.name) return {std::make_unique<PageWrite51Chip>(p), Placement::Dip(40)};
    for (const CommandReg51Part& p : IsParts())
        if (name == p.name) return {std::make_unique<CommandReg51Chip>(p), Placement::Dip(40)};
    return {};
}

void RegisterFlash51(ChipRegistry& registry) {
    std::vector<std::string> names;
    for (const auto& p : SstParts()) names.push_back(p.name);
    for (const auto& p : PageParts()) names.push_back(p.name);
    for (const auto& p : IsParts()) names.push_back(p.name);
    for (const std::string& n : names) registry.Add(n, [n] { return MakeFlash51(n); });
}

}  // namespace quilla::sim
