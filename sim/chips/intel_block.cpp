#include "sim/chips/intel_block.h"

#include <algorithm>

namespace quilla::sim {

namespace {

constexpr Tenths kVpp12Min = 114, kVpp12Max = 126;  // 12 V +-5%
constexpr std::uint8_t SrReady = 0x80, SrEraseError = 0x20, SrProgramError = 0x10, SrVppLow = 0x08,
                       SrLocked = 0x02;

std::vector<std::uint32_t> BootMap(std::uint32_t size, std::uint32_t param, std::uint32_t main, bool top) {
    std::vector<std::uint32_t> v;
    const std::uint32_t mains = (size - 8 * param) / main;
    if (!top)
        for (int i = 0; i < 8; ++i) v.push_back(param);
    for (std::uint32_t i = 0; i < mains; ++i) v.push_back(main);
    if (top)
        for (int i = 0; i < 8; ++i) v.push_back(param);
    return v;
}

std::vector<IntelBlockPart> BuildParts() {
    const Nanos us = Microsecond, ms = Millisecond;
    const std::uint32_t K = 1024;
    std::vector<IntelBlockPart> v;
    // Intel 3 Volt Advanced+ Boot Block 28F160C3/28F320C3/28F640C3 (x16, TSOP48): eight
    // 4-Kword parameter blocks at the top (-T) or bottom (-B), 32-Kword main blocks; VCC
    // 2.7..3.6 V, VPP 1.65..3.6 V or 11.4..12.6 V; every block locked at power-up, lock-down
    // with WP# low, 128-bit protection register. Typical times: word program 22 us (8 us with
    // VPP at 12 V), parameter block erase 0.5 s, main block erase 1 s (the VPP = VCC figures,
    // the longer ones). Device codes 88C2/88C3, 88C4/88C5, 88CC/88CD (T/B).
    struct C3 {
        const char* name;
        std::uint32_t size;
        std::uint16_t dev;
        bool top;
    };
    for (const C3& c : {C3{"28F160C3T", 2 * K * K, 0x88C2, true}, C3{"28F160C3B", 2 * K * K, 0x88C3, false},
                        C3{"28F320C3T", 4 * K * K, 0x88C4, true}, C3{"28F320C3B", 4 * K * K, 0x88C5, false},
                        C3{"28F640C3T", 8 * K * K, 0x88CC, true}, C3{"28F640C3B", 8 * K * K, 0x88CD, false}})
        v.push_back({c.name, &IntelTsop48x16Pinout(), c.size, true, 0x89, c.dev, BootMap(c.size, 8 * K, 64 * K, c.top),
                     27, 36, 17, 36, 22 * us, 8 * us, 500 * ms, 1000 * ms, 8 * K, true, 40, 131});
    // Intel 3 Volt Advanced Boot Block 28F008B3/28F016B3 (x8, TSOP40): eight 8 KiB parameter
    // blocks at the top (-T) or bottom (-B), 64 KiB main blocks; VCC 2.7..3.6 V, VPP 2.7..3.6 V
    // or 11.4..12.6 V; no lock commands and no protection register (the boot blocks are locked
    // only by WP# low, which the board leaves high). Byte program 22 us (8 us at 12 V), block
    // erase 0.5 s and 1 s. Device codes D2h/D3h, D0h/D1h (T/B).
    struct B3 {
        const char* name;
        std::uint32_t size;
        std::uint16_t dev;
        bool top;
    };
    for (const B3& b : {B3{"28F008B3T", 1 * K * K, 0xD2, true}, B3{"28F008B3B", 1 * K * K, 0xD3, false},
                        B3{"28F016B3T", 2 * K * K, 0xD0, true}, B3{"28F016B3B", 2 * K * K, 0xD1, false}})
        v.push_back({b.name, &IntelTsop40x8Pinout(), b.size, false, 0x89, b.dev, BootMap(b.size, 8 * K, 64 * K, b.top),
                     27, 36, 27, 36, 22 * us, 8 * us, 500 * ms, 1000 * ms, 8 * K, false, 40, 131});
    return v;
}

}  // namespace

const std::vector<IntelBlockPart>& IntelBlockParts() {
    static const std::vector<IntelBlockPart> parts = BuildParts();
    return parts;
}

const IntelBlockPart* FindIntelBlockPart(std::string_view name) { return FindPartByName(IntelBlockParts(), name); }

IntelBlockFlash::IntelBlockFlash(const IntelBlockPart& part)
    : FlashPinoutChip(part, part.size), locked_(part.blocks.size(), part.lockable),
      down_(part.blocks.size(), false), pr_(9, 0xFFFF) {
    // The lock word: the factory words locked; a 64-bit device number in 81h-84h.
    pr_[0] = 0xFFFE;
    pr_[1] = 0x1A2B;
    pr_[2] = 0x3C4D;
    pr_[3] = 0x5E6F;
    pr_[4] = 0x0718;
}

AbsoluteMaximum IntelBlockFlash::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = part_.absAny;
    if (part_.pinout->vpp) {
        r.pins.push_back({part_.pinout->vpp, part_.absVpp});
        r.vppAfterVcc.push_back(part_.pinout->vpp);
    }
    return r;
}

int IntelBlockFlash::BlockOf(std::uint32_t a) const {
    std::uint32_t start = 0;
    for (std::size_t b = 0; b < part_.blocks.size(); ++b) {
        start += part_.blocks[b];
        if (a < start) return static_cast<int>(b);
    }
    return BlockCount() - 1;
}

std::uint32_t IntelBlockFlash::BlockStart(int b) const {
    std::uint32_t start = 0;
    for (int i = 0; i < b; ++i) start += part_.blocks[static_cast<std::size_t>(i)];
    return start;
}

void IntelBlockFlash::PowerUp() {
    mode_ = Mode::Array;
    next_ = Next::None;
    sr_ = SrReady;
    busy_ = erasing_ = false;
    left_ = 0;
    std::fill(locked_.begin(), locked_.end(), part_.lockable);
    std::fill(down_.begin(), down_.end(), false);
}

std::uint32_t IntelBlockFlash::BusAddress(ChipPins& pins) const { return pins.ReadBus(part_.pinout->address); }

std::uint32_t IntelBlockFlash::ByteAddress(std::uint32_t bus) const {
    return (part_.x16 ? bus << 1 : bus) % part_.size;
}

std::uint16_t IntelBlockFlash::DataIn(ChipPins& pins) const {
    const std::size_t width = part_.x16 ? 16 : 8;
    std::uint16_t v = 0;
    for (std::size_t i = 0; i < width; ++i)
        if (pins.High(part_.pinout->data[i])) v = static_cast<std::uint16_t>(v | (1u << i));
    return v;
}

void IntelBlockFlash::OnPinsChanged(ChipPins& pins) {
    const auto& po = *part_.pinout;
    Tenths vcc = 0;
    for (int p : po.vcc) vcc = std::max(vcc, pins.SupplyVoltage(p));
    bool grounded = true;
    for (int p : po.gnd) grounded = grounded && pins.Grounded(p);
    if (!grounded || vcc < part_.vccMin || vcc > part_.vccMax) {
        powered_ = outputs_ = false;
        for (int p : po.data) pins.Release(p);
        return;
    }
    if (!powered_) {
        powered_ = true;
        PowerUp();
        weHigh_ = pins.High(po.we);
    }
    if (po.reset && !pins.High(po.reset)) {  // RP# low: held in the reset state
        PowerUp();
        outputs_ = false;
        for (int p : po.data) pins.Release(p);
        weHigh_ = pins.High(po.we);
        return;
    }
    const bool ce = !pins.High(po.ce), oe = !pins.High(po.oe), we = pins.High(po.we);
    if (ce && !oe && !weHigh_ && we) Write(pins, BusAddress(pins), DataIn(pins));
    weHigh_ = we;
    outputs_ = ce && oe && we;
    if (outputs_) {
        Drive(pins);
    } else {
        for (int p : po.data) pins.Release(p);
    }
}

void IntelBlockFlash::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!powered_ || !busy_) return;
    if (dt < left_) {
        left_ -= dt;
        return;
    }
    busy_ = false;
    left_ = 0;
    if (erasing_) {
        const int b = BlockOf(workAddr_);
        std::fill_n(cells_.begin() + BlockStart(b), part_.blocks[static_cast<std::size_t>(b)], 0xFF);
    } else {
        cells_[workAddr_] &= static_cast<std::uint8_t>(workData_);
        if (part_.x16) cells_[workAddr_ + 1] &= static_cast<std::uint8_t>(workData_ >> 8);
    }
    erasing_ = false;
    sr_ |= SrReady;
    if (outputs_) Drive(pins);
}

std::uint16_t IntelBlockFlash::ReadValue(std::uint32_t bus) const {
    switch (mode_) {
        case Mode::Status: return sr_;
        case Mode::Identifier: {
            if (part_.lockable && bus >= 0x80 && bus <= 0x88) return pr_[bus - 0x80];
            const std::uint32_t a = ByteAddress(bus);
            const std::uint32_t offset = part_.x16 ? (a - BlockStart(BlockOf(a))) >> 1 : a - BlockStart(BlockOf(a));
            if (bus == 0) return part_.mfr;
            if (bus == 1) return part_.x16 ? part_.dev : static_cast<std::uint16_t>(part_.dev & 0xFF);
            if (offset == 2) {
                const int b = BlockOf(a);
                return static_cast<std::uint16_t>((locked_[static_cast<std::size_t>(b)] ? 1 : 0) |
                                                  (down_[static_cast<std::size_t>(b)] ? 2 : 0));
            }
            return 0;
        }
        case Mode::Array: break;
    }
    const std::uint32_t a = ByteAddress(bus);
    if (part_.x16) return static_cast<std::uint16_t>(cells_[a] | (cells_[a + 1] << 8));
    return cells_[a];
}

void IntelBlockFlash::Drive(ChipPins& pins) {
    // While the state machine runs the part shows its status.
    const std::uint16_t v = busy_ ? static_cast<std::uint16_t>(sr_ & ~SrReady) : ReadValue(BusAddress(pins));
    const std::size_t width = part_.x16 ? 16 : 8;
    for (std::size_t i = 0; i < width; ++i) pins.Drive(part_.pinout->data[i], (v >> i) & 1u);
}

bool IntelBlockFlash::VppOk(ChipPins& pins) const {
    if (!part_.pinout->vpp) return true;
    const Tenths v = pins.SupplyVoltage(part_.pinout->vpp);
    return (v >= part_.vppLowMin && v <= part_.vppLowMax) || (v >= kVpp12Min && v <= kVpp12Max);
}

Nanos IntelBlockFlash::ProgramTime(ChipPins& pins) const {
    const Tenths v = part_.pinout->vpp ? pins.SupplyVoltage(part_.pinout->vpp) : 0;
    return v >= kVpp12Min ? part_.program12 : part_.program;
}

void IntelBlockFlash::Write(ChipPins& pins, std::uint32_t bus, std::uint16_t data) {
    const std::uint32_t a = ByteAddress(bus);
    if (busy_) {  // the state machine takes no command while it runs
        NoteRefusal(a, "command write while the state machine runs: ignored");
        return;
    }
    const std::uint8_t d = static_cast<std::uint8_t>(data);
    const int b = BlockOf(a);
    const std::size_t bi = static_cast<std::size_t>(b);
    const Next next = next_;
    next_ = Next::None;
    auto start = [&](bool erase, Nanos t) {
        sr_ = static_cast<std::uint8_t>(sr_ & ~SrReady);
        busy_ = true;
        erasing_ = erase;
        workAddr_ = erase ? BlockStart(b) : (part_.x16 ? a & ~1u : a);
        workData_ = data;
        left_ = static_cast<Nanos>(static_cast<double>(t) * SlowFactor());
        if (erase) ++erases_;
    };
    switch (next) {
        case Next::Program:
            mode_ = Mode::Status;
            if (!VppOk(pins)) {
                sr_ |= SrVppLow | SrProgramError;
                NoteRefusal(a, "program without VPP in its window: SR.3");
            } else if (locked_[bi]) {
                sr_ |= SrLocked | SrProgramError;
                NoteRefusal(a, "program in a locked block: SR.1");
            } else {
                start(false, ProgramTime(pins));
            }
            return;
        case Next::Erase:
            mode_ = Mode::Status;
            if (d != 0xD0) {
                sr_ |= SrProgramError | SrEraseError;
                NoteRefusal(a, "erase set-up not confirmed by D0h: command sequence error");
            } else if (!VppOk(pins)) {
                sr_ |= SrVppLow | SrEraseError;
                NoteRefusal(a, "erase without VPP in its window: SR.3");
            } else if (locked_[bi]) {
                sr_ |= SrLocked | SrEraseError;
                NoteRefusal(a, "erase of a locked block: SR.1");
            } else {
                start(true, part_.blocks[bi] == part_.paramSize ? part_.paramErase : part_.mainErase);
            }
            return;
        case Next::Lock:
            if (d == 0x01) {
                locked_[bi] = true;
            } else if (d == 0x2F) {
                locked_[bi] = true;
                down_[bi] = true;
            } else if (d == 0xD0) {
                const bool wpLow = part_.pinout->wp && !pins.High(part_.pinout->wp);
                if (!(down_[bi] && wpLow)) locked_[bi] = false;
            } else {
                mode_ = Mode::Status;
                sr_ |= SrProgramError | SrEraseError;
            }
            return;
        case Next::Protection: {
            mode_ = Mode::Status;
            if (!VppOk(pins)) {
                sr_ |= SrVppLow | SrProgramError;
                return;
            }
            const bool factoryLocked = !(pr_[0] & 1), userLocked = !(pr_[0] & 2);
            if (bus == 0x80) {
                pr_[0] &= data;
            } else if (bus >= 0x81 && bus <= 0x84 && !factoryLocked) {
                pr_[bus - 0x80] &= data;
            } else if (bus >= 0x85 && bus <= 0x88 && !userLocked) {
                pr_[bus - 0x80] &= data;
            } else {
                sr_ |= SrProgramError | SrLocked;
            }
            return;
        }
        case Next::None: break;
    }
    switch (d) {
        case 0xFF: mode_ = Mode::Array; break;
        case 0x90: mode_ = Mode::Identifier; break;
        case 0x70: mode_ = Mode::Status; break;
        case 0x50: sr_ = SrReady; break;
        case 0x40:
        case 0x10: next_ = Next::Program; break;
        case 0x20: next_ = Next::Erase; break;
        case 0x60:
            if (part_.lockable) next_ = Next::Lock;
            break;
        case 0xC0:
            if (part_.lockable) next_ = Next::Protection;
            break;
        default: break;  // suspend/resume and unknown codes: nothing runs
    }
}

SeatedPart MakeIntelBlockFlash(std::string_view name) { return SeatOnAdapter<IntelBlockFlash>(FindIntelBlockPart(name), name); }

void RegisterIntelBlockFlash(ChipRegistry& registry) { RegisterPartsByName(registry, IntelBlockParts(), &MakeIntelBlockFlash); }

}  // namespace quilla::sim
