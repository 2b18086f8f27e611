#include "sim/chips/pin51.h"

#include <algorithm>

namespace quilla::sim {

namespace {
constexpr int kRst = 9, kXtal1 = 19, kGnd = 20, kEa = 31, kVcc = 40;
constexpr int kAddress[16] = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26, 27, 28};
constexpr int kPort0[8] = {39, 38, 37, 36, 35, 34, 33, 32};
}  // namespace

PinTable51Chip::PinTable51Chip(PinTable51Part part)
    : part_(std::move(part)), cells_(part_.size, 0xFF), triggerLow_(41, false), triggers_(41, false) {
    for (const PinTableOp& op : part_.ops)
        if (op.trigger > 0 && op.trigger <= 40) triggers_[static_cast<std::size_t>(op.trigger)] = true;
}

AbsoluteMaximum PinTable51Chip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = part_.absAny;
    r.pins.push_back({kEa, part_.absEa});
    return r;
}

const PinTableOp* PinTable51Chip::Match(ChipPins& pins) const {
    if (!pins.High(kRst)) return nullptr;
    for (const PinTableOp& op : part_.ops) {
        bool match = true;
        for (const PinLevel& l : op.levels) match = match && pins.High(l.pin) == l.high;
        if (match) return &op;
    }
    return nullptr;
}

bool PinTable51Chip::CanWrite(ChipPins& pins, const PinTableOp& op) const {
    if (part_.handClock ? clocks_ < 48 : pins.Source(kXtal1) != PinSource::Clock) return false;
    if (part_.vppMax == 0 || !op.vpp) return true;
    const Tenths vpp = pins.SupplyVoltage(kEa);
    return vpp >= part_.vppMin && vpp <= part_.vppMax;
}

void PinTable51Chip::Apply(const PinTableOp& op, std::uint32_t address, std::uint8_t data) {
    const bool fixed = part_.fixedFrom != 0 && address >= part_.fixedFrom;
    const bool noProgram = part_.lockNoProgram > 0 && (locks_ >> (part_.lockNoProgram - 1)) != 0;
    switch (op.op) {
        case PinOp::Program:
            if (!fixed && !noProgram) cells_[address] &= data;
            break;
        case PinOp::Erase: {
            const std::size_t end = part_.fixedFrom ? part_.fixedFrom : cells_.size();
            std::fill(cells_.begin(), cells_.begin() + static_cast<std::ptrdiff_t>(end), 0xFF);
            locks_ = 0;
            ++erases_;
            break;
        }
        case PinOp::Lock:
            locks_ |= 1u << (op.lockBit - 1);
            break;
        case PinOp::ConfigWrite:
            if (part_.configFromData) config_ &= data;
            else config_ = static_cast<std::uint8_t>((address >> 1) & 0x7F);
            break;
        case PinOp::ConfigErase:
            config_ = 0xFF;
            break;
        default:
            break;
    }
}

void PinTable51Chip::PowerLost() {
    held_ = nullptr;
    heldTime_ = 0;
    eraseTime_ = 0;
    armed_ = nullptr;
    busy_ = nullptr;
    busyLeft_ = 0;
    clocks_ = 0;
}

void PinTable51Chip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.SupplyVoltage(kVcc);
    if (!pins.Grounded(kGnd) || vcc < part_.vccMin || vcc > part_.vccMax) {
        PowerLost();
        for (int p : kPort0) pins.Release(p);
        rst_ = pins.High(kRst);
        xtal_ = pins.High(kXtal1);
        return;
    }
    // Hand clocks: rising edges on XTAL1 since RST rose.
    const bool rst = pins.High(kRst), xtal = pins.High(kXtal1);
    if (rst && !rst_) clocks_ = 0;
    if (xtal && !xtal_ && pins.Source(kXtal1) != PinSource::Clock && clocks_ < 1000) ++clocks_;
    rst_ = rst;
    xtal_ = xtal;

    std::uint32_t a = 0;
    if (part_.addressPins.empty()) {
        for (int i = 0; i < 16; ++i)
            if (pins.High(kAddress[i])) a |= 1u << i;
    } else {
        for (std::size_t i = 0; i < part_.addressPins.size(); ++i)
            if (pins.High(part_.addressPins[i])) a |= 1u << i;
    }
    a %= part_.size;
    std::uint8_t d = 0;
    for (int i = 0; i < 8; ++i)
        if (pins.High(kPort0[i])) d = static_cast<std::uint8_t>(d | (1u << i));

    const PinTableOp* op = Match(pins);
    const bool reading = op && (op->op == PinOp::Read || op->op == PinOp::ConfigRead || op->op == PinOp::Signature);
    const bool write = op && !reading && CanWrite(pins, *op);

    // Held operations.
    const PinTableOp* held = write && op->trigger == 0 ? op : nullptr;
    if (held != held_ || (held && held->op == PinOp::Program && (a != heldAddress_ || d != heldData_))) {
        held_ = held;
        heldAddress_ = a;
        heldData_ = d;
        heldTime_ = 0;
        heldDone_ = false;
    }

    // Triggered operations: each trigger pin's low pulse (the operation's
    // levels leave that pin out, so they match with it low and high).
    for (int pin = 1; pin <= 40; ++pin) {
        if (!triggers_[static_cast<std::size_t>(pin)]) continue;
        const bool low = !pins.High(pin);
        if (low == triggerLow_[static_cast<std::size_t>(pin)]) continue;
        triggerLow_[static_cast<std::size_t>(pin)] = low;
        const bool mine = write && op->trigger == pin;
        if (low) {
            armed_ = mine && busyLeft_ == 0 ? op : nullptr;
            if (mine && busyLeft_ > 0) NoteRefusal(a, "write pulse while a write is busy");
            armAddress_ = a;
            armData_ = d;
        } else {
            if (armed_ && !(armed_ == op && mine && a == armAddress_ && d == armData_))
                NoteRefusal(armAddress_, "setting, address or data changed during the write pulse");
            if (armed_ && armed_ == op && mine && a == armAddress_ && d == armData_) {
                busy_ = op;
                busyAddress_ = a;
                busyData_ = d;
                busyLeft_ = static_cast<Nanos>(static_cast<double>(op->time) * SlowFactor());
                if (busyLeft_ == 0) {
                    Apply(*op, a, d);
                    busy_ = nullptr;
                }
            }
            armed_ = nullptr;
        }
    }
    if (armed_ && !(write && op == armed_ && a == armAddress_ && d == armData_)) armed_ = nullptr;

    // Outputs.
    if (reading && busyLeft_ == 0) {
        std::uint8_t v = 0xFF;
        const bool noRead = part_.lockNoRead > 0 && (locks_ >> (part_.lockNoRead - 1)) != 0;
        if (op->op == PinOp::ConfigRead) {
            v = config_;
        } else if (op->op == PinOp::Signature) {
            const std::uint32_t low = a & 0xFF;
            const auto it = part_.signature.find(low);
            if (static_cast<int>(low) == part_.configAt) v = config_;
            else if (it != part_.signature.end()) v = it->second;
        }
        else if (!noRead) v = cells_[a];
        for (int i = 0; i < 8; ++i) pins.Drive(kPort0[i], (v >> i) & 1u);
    } else {
        for (int p : kPort0) pins.Release(p);
    }
}

void PinTable51Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (busyLeft_ > 0) {
        if (dt >= busyLeft_) {
            busyLeft_ = 0;
            if (busy_) Apply(*busy_, busyAddress_, busyData_);
            busy_ = nullptr;
            OnPinsChanged(pins);
        } else {
            busyLeft_ -= dt;
        }
    }
    if (!held_ || heldDone_) return;
    const double need = static_cast<double>(held_->time) * SlowFactor();
    if (held_->op == PinOp::Erase) {
        eraseTime_ += dt;
        if (static_cast<double>(eraseTime_) >= need) {
            Apply(*held_, heldAddress_, heldData_);
            eraseTime_ = 0;
            heldDone_ = true;
        }
        return;
    }
    heldTime_ += dt;
    if (static_cast<double>(heldTime_) >= need) {
        Apply(*held_, heldAddress_, heldData_);
        heldDone_ = true;
    }
}

void PinTable51Chip::OnRemoved() {
    PowerLost();
    std::fill(triggerLow_.begin(), triggerLow_.end(), false);
}

// ---- the parts ------------------------------------------------------------------------------------

namespace {

// "HLL..." for the pins given, in order.
std::vector<PinLevel> Lv(std::initializer_list<int> pins, const char* levels) {
    std::vector<PinLevel> v;
    const char* c = levels;
    for (int p : pins) v.push_back({p, *c++ == 'H'});
    return v;
}

constexpr Nanos us = Microsecond, ms = Millisecond;

// SM8951A-SM89516C (the TSm8951x settings): modes on P3.0-P3.2, P3.3-P3.7,
// PSEN, ALE; 12 V on EA.
PinTable51Part Sm8951C(const char* name, std::uint32_t kib, int erasePulses) {
    PinTable51Part p;
    p.name = name;
    p.size = kib * 1024;
    p.vccMin = 44;  // the form's 4.4 V
    p.vppMin = 115;
    p.vppMax = 125;
    const std::initializer_list<int> pins = {10, 11, 12, 13, 14, 15, 16, 17, 29, 30};
    p.ops = {{PinOp::Read, Lv(pins, "LLLHHHLLLL")},
             {PinOp::Program, Lv(pins, "LHLHHLLLHL"), 10 * us},
             {PinOp::Erase, Lv(pins, "HLLLHLLLHL"), static_cast<Nanos>(erasePulses) * 5 * ms},
             {PinOp::Lock, Lv({10, 11, 12, 13, 14, 15, 29, 30}, "HHLHHLHL"), 20 * us, 0, 1}};
    for (PinTableOp& o : p.ops)
        if (o.op == PinOp::Read) o.levels.push_back({31, true});
    return p;
}

// SM8908, SM8954A-SM89516A (the TSm89516x settings): modes on P3.0-P3.5.
PinTable51Part Sm89516A(const char* name, std::uint32_t kib) {
    PinTable51Part p;
    p.name = name;
    p.size = kib * 1024;
    p.vccMin = 44;
    p.vppMin = 115;
    p.vppMax = 125;
    const std::initializer_list<int> pins = {10, 11, 12, 13, 14, 15, 29, 30};
    p.ops = {{PinOp::Read, Lv({10, 11, 12, 13, 14, 15, 29, 30, 31}, "HHHHHHLLH")},
             {PinOp::Program, Lv(pins, "HHHLHLHL"), 10 * us},
             {PinOp::Erase, Lv(pins, "LHHHHLHL"), 500 * ms},
             {PinOp::Lock, Lv(pins, "HHHHLLHL"), 20 * us, 0, 1}};
    return p;
}

// SM2951-SM2954 (the TSm2952 settings): 12.5 V on EA.
PinTable51Part Sm2950(const char* name, std::uint32_t kib) {
    PinTable51Part p;
    p.name = name;
    p.size = kib * 1024;
    p.vppMin = 120;
    p.vppMax = 130;
    const std::initializer_list<int> pins = {10, 11, 12, 13, 14, 15, 29, 30};
    p.ops = {{PinOp::Read, Lv({10, 11, 12, 13, 14, 15, 16, 17, 29, 30, 31}, "HHHHHHLLLLH")},
             {PinOp::Program, Lv(pins, "HHHLHLHL"), 10 * us},
             {PinOp::Erase, Lv(pins, "HHHHHLLL"), 300 * ms},
             // The lock pulse is one command long (1 us) in the form's sequence.
             {PinOp::Lock, Lv(pins, "HHHHLLHL"), 1 * us, 0, 1}};
    return p;
}

// SM59064 / SM59264 (the TSm59064x / TSm59264x settings): no VPP, EA low
// while writing, every write started by a low pulse on P3.7 with ALE low;
// modes on P3.4/P3.5 (SM59064) or P3.0/P3.1 (SM59264).
PinTable51Part Sm59(const char* name, bool sm59264) {
    PinTable51Part p;
    p.name = name;
    p.size = 0x10000;
    if (sm59264) {
        p.fixedFrom = 0xFC00;
        const std::initializer_list<int> pins = {10, 11, 29, 30, 31};
        p.ops = {{PinOp::Read, Lv(pins, "LLLLL")},
                 {PinOp::Program, Lv(pins, "LLHLL"), 50 * us, 17},
                 {PinOp::Erase, Lv(pins, "HHHLL"), 500 * ms, 17},
                 {PinOp::Lock, Lv(pins, "HLHLL"), 20 * us, 17, 1}};
        return p;
    }
    // P3.0-P3.3 low in every setting but the ISP ones (P3.3 high; the size on
    // A7-A1, P3.0 and P3.1 high to program it).
    const std::initializer_list<int> pins = {10, 11, 12, 13, 14, 15, 29, 30, 31};
    p.ops = {{PinOp::Read, Lv(pins, "LLLLLLLLL")},
             {PinOp::ConfigRead, Lv(pins, "LLLLHLLLL")},
             {PinOp::Program, Lv(pins, "LLLLLLHLL"), 50 * us, 17},
             {PinOp::Erase, Lv(pins, "LLLLHHHLL"), 500 * ms, 17},
             {PinOp::Lock, Lv(pins, "LLLLHLHLL"), 20 * us, 17, 1},
             {PinOp::ConfigErase, Lv(pins, "LLLHLLHLL"), 5 * ms, 17},
             {PinOp::ConfigWrite, Lv(pins, "HHLHLLHLL"), 10 * us, 17}};
    return p;
}

// MSU2951-MSU2958 (the TMsu2958x settings): 4.5 V on EA, 48 clocks by hand
// on XTAL1 after reset, every write started by a low pulse on P3.7 with ALE
// low.
PinTable51Part Msu(const char* name, std::uint32_t kib) {
    PinTable51Part p;
    p.name = name;
    p.size = kib * 1024;
    p.vppMin = 43;
    p.vppMax = 55;
    p.handClock = true;
    const std::initializer_list<int> pins = {10, 11, 12, 13, 14, 15, 29, 30};
    p.ops = {{PinOp::Read, Lv({10, 11, 12, 13, 14, 15, 17, 29, 30, 31}, "LLLLLLHLLH")},
             {PinOp::Program, Lv(pins, "LLLLHHHL"), 8 * us, 17},
             {PinOp::Erase, Lv(pins, "LLLLLLHL"), 300 * ms, 17, 0, false},
             {PinOp::Lock, Lv({10, 11, 12, 13, 14, 15, 16, 29, 30}, "LLLLLHLHL"), 20 * us, 17, 1}};
    return p;
}

// DS89C430/440/450 (Maxim's sheet: signature DA, 43/44/45, 01 at 0x30, 0x31,
// 0x60; 5 V, no VPP; lock bits; the option control byte) in the programmer's
// settings: P2.6, P2.7, P3.6, P3.7, P3.3 and ALE/PROG, RST high, PSEN low,
// XTAL1 clocked; A14 on P3.4, A15 on P3.5; the option byte answers at 0xFC of
// the signature read, erased by its own stage, programmed from the data.
PinTable51Part Ds89(const char* name, std::uint32_t kib, std::uint8_t device) {
    PinTable51Part p;
    p.name = name;
    p.size = kib * 1024;
    p.addressPins = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26, 14, 15};
    p.signature = {{0x30, 0xDA}, {0x31, device}, {0x60, 0x01}};
    p.configAt = 0xFC;
    p.configFromData = true;
    p.lockNoProgram = 2;
    p.lockNoRead = 2;
    const std::initializer_list<int> pins = {27, 28, 16, 17, 13, 29, 30};
    p.ops = {{PinOp::Read, Lv(pins, "LLHHLLH")},
             {PinOp::Signature, Lv(pins, "LLLLLLH")},
             {PinOp::Program, Lv(pins, "LHHHHLL"), 40 * us},
             {PinOp::Erase, Lv(pins, "HLLLLLL"), 500 * ms},
             {PinOp::ConfigErase, Lv(pins, "HLLHLLL"), 500 * ms},
             {PinOp::Lock, Lv(pins, "HHHHHLL"), 40 * us, 0, 1},
             {PinOp::Lock, Lv(pins, "HHLLHLL"), 40 * us, 0, 2},
             {PinOp::Lock, Lv(pins, "HLHLHLL"), 40 * us, 0, 3},
             {PinOp::ConfigWrite, Lv(pins, "LHLLHLL"), 40 * us}};
    return p;
}

std::vector<PinTable51Part> Build() {
    return {Sm8951C("SM8951A", 4, 8),   Sm8951C("SM8952A", 8, 8),    Sm8951C("SM8954C", 16, 16),
            Sm8951C("SM8958C", 32, 32), Sm8951C("SM89516C", 64, 64), Sm89516A("SM8908", 8),
            Sm89516A("SM8954A", 16),    Sm89516A("SM8958A", 32),     Sm89516A("SM89516A", 64),
            Sm2950("SM2951", 4),        Sm2950("SM2952", 8),         Sm2950("SM2953", 8),
            Sm2950("SM2954", 16),
            Sm59("SM59064", false),     Sm59("SM59264", true),
            Msu("MSU2951", 4),          Msu("MSU2952", 8),           Msu("MSU2953", 8),
            Msu("MSU2954", 16),         Msu("MSU2955", 16),          Msu("MSU2956", 24),
            Msu("MSU2957", 24),         Msu("MSU2958", 32),
            Ds89("DS89C430", 16, 0x43), Ds89("DS89C440", 32, 0x44),  Ds89("DS89C450", 64, 0x45)};
}

}  // namespace

const std::vector<PinTable51Part>& Pin51Parts() {
    static const std::vector<PinTable51Part> parts = Build();
    return parts;
}

SeatedPart MakePin51(std::string_view name) {
    for (const PinTable51Part& p : Pin51Parts())
        if (name == p.name) return {std::make_unique<PinTable51Chip>(p), Placement::Dip(40)};
    return {};
}

void RegisterPin51(ChipRegistry& registry) {
    for (const PinTable51Part& p : Pin51Parts()) {
        const std::string n = p.name;
        registry.Add(n, [n] { return MakePin51(n); });
    }
}

}  // namespace quilla::sim
