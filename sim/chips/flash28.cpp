#include "sim/chips/flash28.h"

#include <algorithm>
#include <memory>
#include <array>

namespace quilla::sim {

namespace {

constexpr int kVpp = 1, kPin30 = 30, kCE = 22, kOE = 24, kWE = 31, kVcc = 32;
constexpr std::array<int, 19> kAddress{12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, 1};
constexpr std::array<int, 8> kData{13, 14, 15, 17, 18, 19, 20, 21};
constexpr Tenths kHighMin = 114, kHighMax = 126;  // 12 V +-5 %: VPP, and VHH on RP# or OE#
constexpr Tenths kIdMin = 115, kIdMax = 130;      // A9 for the identifier (BulkErase)
constexpr Nanos kErasePulse = 10 * Millisecond;   // BulkErase: an erase pulse that counts
constexpr std::uint32_t kBoot = 8 * 1024, kSector = 256;
constexpr std::uint8_t SrReady = 0x80, SrErase = 0x20, SrProgram = 0x10, SrVpp = 0x08;
constexpr std::array<std::uint16_t, 6> kSdpHead{0x1823, 0x1820, 0x1822, 0x0418, 0x041B, 0x0419};
constexpr std::uint16_t kUnprotectLast = 0x041A, kProtectLast = 0x040A;

std::vector<Flash28Part> Build() {
    using K = Flash28Part::Kind;
    const Nanos ms = Millisecond;
    const std::uint32_t Ki = 1024;
    // Byte program: just under the 3.5 us the forms leave between a data strobe
    // and the next byte's set-up write (they never wait or poll).
    const Nanos kProgram = 3400;
    return {
        // Intel 28F256A/28F512/28F010/28F020: 5 V +-10 %, VPP 12 V +-5 %; any pin 7.0 V, VPP
        // 14.0 V, A9 13.5 V. Program pulse 10 us (3.4 us here, see the header), erase 1 s typical.
        {"28F256A", K::BulkErase, 32 * Ki, 0x89, 0xB9, false, 45, 55, kProgram, 0, 0, 10, 70, 140, 135},
        {"28F512", K::BulkErase, 64 * Ki, 0x89, 0xB8, false, 45, 55, kProgram, 0, 0, 10, 70, 140, 135},
        {"28F010", K::BulkErase, 128 * Ki, 0x89, 0xB4, false, 45, 55, kProgram, 0, 0, 10, 70, 140, 135},
        {"28F020", K::BulkErase, 256 * Ki, 0x89, 0xBD, false, 45, 55, kProgram, 0, 0, 10, 70, 140, 135},
        // Intel 28F001BX-T/-B: 112 KiB main block, two 4 KiB parameter blocks, 8 KiB boot block;
        // 5 V +-10 %, VPP 12 V +-5 %; any pin 7.0 V, VPP, A9, RP# and OE# 13.5 V (14.0 V VPP).
        {"28F001BX-T", K::BootBlock, 128 * Ki, 0x89, 0x94, true, 45, 55, kProgram, 1000 * ms, 2400 * ms, 0, 70, 140, 135},
        {"28F001BX-B", K::BootBlock, 128 * Ki, 0x89, 0x95, false, 45, 55, kProgram, 1000 * ms, 2400 * ms, 0, 70, 140, 135},
        // SST28SF040A: 512 KiB in 256-byte sectors, 4.5-5.5 V; pins VDD + 0.5 V, A9 14.0 V.
        {"SST28SF040A", K::SoftProtect, 512 * Ki, 0xBF, 0x04, false, 45, 55, kProgram, 2 * ms, 15 * ms, 0, 60, 60, 140},
    };
}

}  // namespace

const std::vector<Flash28Part>& Flash28Parts() {
    static const std::vector<Flash28Part> parts = Build();
    return parts;
}

Flash28::Flash28(const Flash28Part& part) : PartRowChip(part, part.size, 0xFF), pulsesNeeded_(part.erasePulses) {}

AbsoluteMaximum Flash28::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = part_.absAny;
    r.pins.push_back({26, part_.absA9});  // A9
    if (part_.kind != Kind::SoftProtect) {
        r.pins.push_back({kVpp, part_.absVpp});
        r.vppAfterVcc.push_back(kVpp);
    }
    if (part_.kind == Kind::BootBlock) {
        r.pins.push_back({kPin30, 135});
        r.pins.push_back({kOE, 135});
    }
    return r;
}

std::vector<std::uint32_t> Flash28::BlockStarts() const {
    if (part_.bootTop) return {0, 0x1C000, 0x1D000, 0x1E000};
    return {0, 0x2000, 0x3000, 0x4000};
}

int Flash28::BlockOf(std::uint32_t a) const {
    const std::vector<std::uint32_t> s = BlockStarts();
    int b = 0;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (a >= s[i]) b = static_cast<int>(i);
    return b;
}

void Flash28::PowerUp() {
    mode_ = Mode::Array;
    next_ = Next::None;
    pulse_ = busy_ = Run::None;
    pulseTime_ = left_ = 0;
    sr_ = latched_ = SrReady;
    protected_ = true;
    seq_ = 0;
}

std::uint32_t Flash28::Address(ChipPins& pins) const {
    std::uint32_t a = 0;
    for (std::size_t i = 0; i < kAddress.size() && (1u << i) < part_.size; ++i) {
        if (part_.kind == Kind::BootBlock && kAddress[i] == kPin30) break;
        if (pins.High(kAddress[i])) a |= 1u << i;
    }
    return a % part_.size;
}

std::uint8_t Flash28::DataIn(ChipPins& pins) const {
    return static_cast<std::uint8_t>(pins.ReadBus(kData));
}

bool Flash28::VppOk(ChipPins& pins) const {
    const Tenths v = pins.SupplyVoltage(kVpp);
    return v >= kHighMin && v <= kHighMax;
}

bool Flash28::BootUnlocked(ChipPins& pins) const {
    for (int p : {kPin30, kOE}) {
        const Tenths v = pins.SupplyVoltage(p);
        if (v >= kHighMin && v <= kHighMax) return true;
    }
    return false;
}

void Flash28::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.SupplyVoltage(kVcc);
    if (!pins.Grounded(16) || vcc < part_.vccMin || vcc > part_.vccMax) {
        if (powered_) EndPulse();
        powered_ = outputs_ = false;
        pins.ReleaseBus(kData);
        return;
    }
    if (!powered_) {
        powered_ = true;
        PowerUp();
        weHigh_ = pins.High(kWE);
    }
    if (part_.kind == Kind::BootBlock && !pins.High(kPin30)) {  // RP# low: reset, deep power-down
        PowerUp();
        outputs_ = false;
        pins.ReleaseBus(kData);
        weHigh_ = pins.High(kWE);
        return;
    }
    if (part_.kind == Kind::BulkErase && !VppOk(pins)) {
        // Without VPP the command register is off: an operation under way ends
        // and the part reads its array.
        EndPulse();
        mode_ = Mode::Array;
        next_ = Next::None;
    }
    const bool ce = !pins.High(kCE), oe = !pins.High(kOE), we = pins.High(kWE);
    if (ce && !oe && !weHigh_ && we) Write(pins, Address(pins), DataIn(pins));
    weHigh_ = we;
    const bool read = ce && oe && we;
    if (read && !readCycle_ && part_.kind == Kind::SoftProtect) ReadCycle(Address(pins));
    readCycle_ = read;
    const Tenths a9 = pins.SupplyVoltage(26);
    const bool idByA9 = part_.kind != Kind::SoftProtect && a9 >= kIdMin && a9 <= kIdMax;
    const bool on = ce && oe && (we || idByA9);
    if (on && !outputs_) latched_ = sr_;  // the status is latched as the outputs turn on
    outputs_ = on;
    if (!outputs_) {
        pins.ReleaseBus(kData);
        return;
    }
    if (idByA9) {
        pins.DriveBus(kData, (Address(pins) & 1u) ? part_.dev : part_.mfr);
        return;
    }
    pins.DriveBus(kData, ReadValue(pins, Address(pins)));
}

void Flash28::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!powered_) return;
    if (pulse_ != Run::None) pulseTime_ += dt;
    if (busy_ == Run::None) return;
    if (dt < left_) {
        left_ -= dt;
        return;
    }
    Finish();
    if (outputs_) {
        latched_ = sr_;
        pins.DriveBus(kData, ReadValue(pins, Address(pins)));
    }
}

std::uint8_t Flash28::ReadValue(ChipPins&, std::uint32_t a) {
    if (busy_ != Run::None && part_.kind == Kind::SoftProtect) {
        toggle_ = !toggle_;
        const std::uint8_t dq7 = busy_ == Run::Program ? static_cast<std::uint8_t>(~workData_ & 0x80) : 0;
        return static_cast<std::uint8_t>(dq7 | (toggle_ ? 0x40 : 0));
    }
    switch (mode_) {
        case Mode::Id: return (a & 1u) ? part_.dev : part_.mfr;
        case Mode::Status: return busy_ != Run::None ? static_cast<std::uint8_t>(latched_ & ~SrReady) : latched_;
        case Mode::Verify: return cells_[verifyAddr_];
        case Mode::Array: break;
    }
    return cells_[a];
}

void Flash28::Write(ChipPins& pins, std::uint32_t a, std::uint8_t d) {
    switch (part_.kind) {
        case Kind::BulkErase: WriteBulk(pins, a, d); break;
        case Kind::BootBlock: WriteBoot(pins, a, d); break;
        case Kind::SoftProtect: WriteSoft(a, d); break;
    }
}

// ---- BulkErase ---------------------------------------------------------------------------------

void Flash28::EndPulse() {
    const Run p = pulse_;
    pulse_ = Run::None;
    if (p == Run::Erase) {
        if (pulseTime_ >= static_cast<Nanos>(static_cast<double>(kErasePulse) * SlowFactor())) {
            ++pulsesGiven_;
            if (pulsesGiven_ >= pulsesNeeded_) std::fill(cells_.begin(), cells_.end(), 0xFF);
        }
    } else if (p == Run::Program) {
        progSum_ += pulseTime_;
        if (progSum_ >= static_cast<Nanos>(static_cast<double>(part_.program) * SlowFactor())) {
            cells_[progAddr_] &= progData_;
            progSum_ = 0;
            pulsesGiven_ = 0;  // a programmed array needs its erase pulses again
        }
    }
    pulseTime_ = 0;
}

void Flash28::WriteBulk(ChipPins& pins, std::uint32_t a, std::uint8_t d) {
    if (!VppOk(pins)) {
        NoteRefusal(a, "command write without VPP in its window: ignored");
        return;
    }
    EndPulse();  // an erase or program runs until the next command write
    const Next next = next_;
    next_ = Next::None;
    if (next == Next::Program) {
        if (a != progAddr_ || d != progData_) progSum_ = 0;  // the pulses of another byte
        progAddr_ = a;
        progData_ = d;
        pulse_ = Run::Program;
        return;
    }
    if (next == Next::Erase) {
        if (d == 0x20) pulse_ = Run::Erase;
        else {
            mode_ = Mode::Array;  // an erase set-up followed by anything else is reset
            NoteRefusal(a, "erase set-up not followed by 20h: reset");
        }
        return;
    }
    switch (d) {
        case 0x00: mode_ = Mode::Array; break;
        case 0x90: mode_ = Mode::Id; break;
        case 0x20: next_ = Next::Erase; break;
        case 0x40: next_ = Next::Program; break;
        case 0xA0:
        case 0xC0:
            mode_ = Mode::Verify;
            verifyAddr_ = d == 0xA0 ? a : progAddr_;
            break;
        case 0xFF: mode_ = Mode::Array; break;
        default: break;
    }
}

// ---- BootBlock ---------------------------------------------------------------------------------

void Flash28::Start(Run r, std::uint32_t a, std::uint8_t d, Nanos t) {
    busy_ = r;
    workAddr_ = a;
    workData_ = d;
    left_ = static_cast<Nanos>(static_cast<double>(t) * SlowFactor());
    sr_ = static_cast<std::uint8_t>(sr_ & ~SrReady);
    if (r != Run::Program) erases_.push_back(a);
}

void Flash28::Finish() {
    const Run r = busy_;
    busy_ = Run::None;
    left_ = 0;
    sr_ |= SrReady;
    if (r == Run::Program) {
        cells_[workAddr_] &= workData_;
    } else if (r == Run::ChipErase) {
        std::fill(cells_.begin(), cells_.end(), 0xFF);
    } else if (r == Run::Erase) {
        if (part_.kind == Kind::SoftProtect) {
            std::fill_n(cells_.begin() + (workAddr_ & ~(kSector - 1)), kSector, 0xFF);
        } else {
            const std::vector<std::uint32_t> s = BlockStarts();
            const int b = BlockOf(workAddr_);
            const std::uint32_t end = b + 1 < static_cast<int>(s.size()) ? s[static_cast<std::size_t>(b + 1)] : part_.size;
            std::fill(cells_.begin() + s[static_cast<std::size_t>(b)], cells_.begin() + end, 0xFF);
        }
    }
}

void Flash28::WriteBoot(ChipPins& pins, std::uint32_t a, std::uint8_t d) {
    if (busy_ != Run::None) {  // the state machine takes no command while it runs
        NoteRefusal(a, "command write while the state machine runs: ignored");
        return;
    }
    const std::uint32_t bootStart = part_.bootTop ? part_.size - kBoot : 0;
    const bool boot = a >= bootStart && a < bootStart + kBoot;
    const Next next = next_;
    next_ = Next::None;
    if (next == Next::Program) {
        mode_ = Mode::Status;
        if (sr_ & SrVpp) sr_ |= SrProgram;
        else if (!VppOk(pins)) sr_ |= SrVpp | SrProgram;
        else if (boot && !BootUnlocked(pins)) sr_ |= SrProgram;
        else {
            Start(Run::Program, a, d, part_.program);
            return;
        }
        NoteRefusal(a, boot && VppOk(pins) ? "program in the locked boot block: SR.4" : "program refused: SR.4");
        return;
    }
    if (next == Next::Erase) {
        mode_ = Mode::Status;
        if (d != 0xD0) sr_ |= SrProgram | SrErase;
        else if (sr_ & SrVpp) sr_ |= SrErase;
        else if (!VppOk(pins)) sr_ |= SrVpp | SrErase;
        else if (boot && !BootUnlocked(pins)) sr_ |= SrErase;
        else {
            const int b = BlockOf(a);
            const std::uint32_t start = BlockStarts()[static_cast<std::size_t>(b)];
            const bool main = part_.bootTop ? b == 0 : b == 3;
            Start(Run::Erase, start, 0xFF, main ? part_.bigErase : part_.smallErase);
            return;
        }
        NoteRefusal(a, d != 0xD0 ? "erase set-up not confirmed by D0h: SR.5" : "erase refused: SR.5");
        return;
    }
    switch (d) {
        case 0xFF: mode_ = Mode::Array; break;
        case 0x90: mode_ = Mode::Id; break;
        case 0x70: mode_ = Mode::Status; break;
        case 0x50: sr_ = SrReady; break;
        case 0x20: next_ = Next::Erase; break;
        case 0x40:
        case 0x10: next_ = Next::Program; break;
        default: break;  // B0h/D0h (suspend, resume) and reserved codes: nothing runs
    }
}

// ---- SoftProtect ---------------------------------------------------------------------------------

void Flash28::ReadCycle(std::uint32_t a) {
    const std::uint16_t low = static_cast<std::uint16_t>(a & 0xFFFF);
    if (seq_ < static_cast<int>(kSdpHead.size())) {
        if (low == kSdpHead[static_cast<std::size_t>(seq_)]) ++seq_;
        else seq_ = low == kSdpHead[0] ? 1 : 0;
        return;
    }
    if (low == kUnprotectLast) protected_ = false;
    else if (low == kProtectLast) protected_ = true;
    seq_ = low == kSdpHead[0] ? 1 : 0;
}

void Flash28::WriteSoft(std::uint32_t a, std::uint8_t d) {
    seq_ = 0;
    if (protected_ || busy_ != Run::None) {
        NoteRefusal(a, protected_ ? "write while software data protection is on: ignored"
                                  : "write while a program or erase runs: ignored");
        return;
    }
    const Next next = next_;
    next_ = Next::None;
    if (next == Next::Program) {
        mode_ = Mode::Array;
        Start(Run::Program, a, d, part_.program);
        return;
    }
    if (next == Next::Erase) {
        if (d == 0xD0) Start(Run::Erase, a, 0xFF, part_.smallErase);
        else NoteRefusal(a, "sector erase set-up not confirmed by D0h: ignored");
        return;
    }
    if (next == Next::ChipErase) {
        if (d == 0x30) Start(Run::ChipErase, 0, 0xFF, part_.bigErase);
        else NoteRefusal(a, "chip erase set-up not confirmed by 30h: ignored");
        return;
    }
    switch (d) {
        case 0xFF: mode_ = Mode::Array; break;
        case 0x90: mode_ = Mode::Id; break;
        case 0x20: next_ = Next::Erase; break;
        case 0x30: next_ = Next::ChipErase; break;
        case 0x10: next_ = Next::Program; break;
        default: break;
    }
}

SeatedPart MakeFlash28(std::string_view name) {
    const Flash28Part* p = FindPartByName(Flash28Parts(), name);
    if (!p) return {};
    return {std::make_unique<Flash28>(*p), Placement::Dip(32)};
}

void RegisterFlash28(ChipRegistry& registry) { RegisterPartsByName(registry, Flash28Parts(), &MakeFlash28); }

}  // namespace quilla::sim
