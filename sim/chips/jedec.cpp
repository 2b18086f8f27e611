#include "sim/chips/jedec.h"

#include <algorithm>
#include <string>


namespace quilla::sim {

namespace {

using P = JedecPart::Protect;

constexpr Tenths kVidMin = 115, kVidMax = 125;  // RESET# at VID: 11.5..12.5 V
constexpr Nanos kProtectTime = 150 * Microsecond;
constexpr Nanos kUnprotectTime = 15 * Millisecond;

std::vector<std::uint32_t> Repeat(std::vector<std::pair<std::uint32_t, int>> runs) {
    std::vector<std::uint32_t> v;
    for (auto [size, n] : runs)
        for (int i = 0; i < n; ++i) v.push_back(size);
    return v;
}

// The 32-pin DIP of the byte-wide JEDEC flash in the socket: A18 on pin 1,
// A17 on pin 30, no RESET#.
const FlashPinout& Dip32JedecPinout() {
    static const FlashPinout p{32,
                               {12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, 1},
                               {13, 14, 15, 17, 18, 19, 20, 21},
                               22,
                               24,
                               31,
                               0,
                               0,
                               0,
                               {32},
                               {16}};
    return p;
}

// A byte-wide part of the socket: 5555h/2AAAh commands, uniform sectors, no
// RESET# (its rating is any pin's).
struct Socket32Row {
    const char* name;
    std::uint32_t size;    // bytes
    std::uint8_t mfr, dev;
    std::uint32_t sector;  // bytes of each sector
    Tenths vccMin, vccMax;
    Nanos program, sectorErase, chipErase;
    Tenths absAny, absVcc, absA9, absOe = 0;  // absolute maximum ratings
    // High-voltage protection by pin levels and how long the levels must hold.
    P protect = P::None;
    Nanos protectTime = 0, unprotectTime = 0;
};

JedecPart Socket32(const Socket32Row& r) {
    return {.name = r.name, .pinout = &Dip32JedecPinout(), .size = r.size, .x16 = false, .mfr = r.mfr, .dev = r.dev,
            .cmdMask = 0x7FFF, .sectors = std::vector<std::uint32_t>(r.size / r.sector, r.sector), .vccMin = r.vccMin,
            .vccMax = r.vccMax, .program = r.program, .sectorErase = r.sectorErase, .chipErase = r.chipErase,
            .protect = r.protect, .bootSector = 0, .protectionRegister = false, .absAny = r.absAny, .absVcc = r.absVcc,
            .absReset = r.absAny, .absA9 = r.absA9, .absOe = r.absOe, .protectTime = r.protectTime,
            .unprotectTime = r.unprotectTime};
}

std::vector<JedecPart> BuildParts() {
    const Nanos us = Microsecond, ms = Millisecond, s = Second;
    const std::uint32_t K = 1024;
    std::vector<JedecPart> socket = {
        // AMD Am29F010 / Am29F040: 16 KiB / 64 KiB sectors, 4.5-5.5 V, byte program 7 us (the
        // forms' tail leaves 30 us), chip erase typical 1 s / 8 s, the Am29F040 lowered to
        // 2.9 s (the forms wait 30 long waits, 3 s). Pins VCC + 0.5 V, VCC 7 V, A9 and OE# 12.5 V.
        Socket32({.name = "AM29F010", .size = 128 * K, .mfr = 0x01, .dev = 0x20, .sector = 16 * K, .vccMin = 45,
                  .vccMax = 55, .program = 7 * us, .sectorErase = 1 * s, .chipErase = 1 * s, .absAny = 60, .absVcc = 70,
                  .absA9 = 125, .absOe = 125}),
        Socket32({.name = "AM29F040", .size = 512 * K, .mfr = 0x01, .dev = 0xA4, .sector = 64 * K, .vccMin = 45,
                  .vccMax = 55, .program = 7 * us, .sectorErase = 1 * s, .chipErase = 2900 * ms, .absAny = 60,
                  .absVcc = 70, .absA9 = 125, .absOe = 125}),
        // Atmel AT49F010/020/040: 4.5-5.5 V, byte program 30 us typical, lowered to 10 us (the
        // form's tail is one 10 us wait and the next command 1 us later), chip erase 10 s (the
        // form waits 100 long waits); inputs 6.25 V, A9 and OE 13.5 V.
        Socket32({.name = "AT49F010", .size = 128 * K, .mfr = 0x1F, .dev = 0x17, .sector = 128 * K, .vccMin = 45,
                  .vccMax = 55, .program = 10 * us, .sectorErase = 10 * s, .chipErase = 9500 * ms, .absAny = 62,
                  .absVcc = 70, .absA9 = 135, .absOe = 135}),
        Socket32({.name = "AT49F020", .size = 256 * K, .mfr = 0x1F, .dev = 0x0B, .sector = 256 * K, .vccMin = 45,
                  .vccMax = 55, .program = 10 * us, .sectorErase = 10 * s, .chipErase = 9500 * ms, .absAny = 62,
                  .absVcc = 70, .absA9 = 135, .absOe = 135}),
        Socket32({.name = "AT49F040", .size = 512 * K, .mfr = 0x1F, .dev = 0x13, .sector = 512 * K, .vccMin = 45,
                  .vccMax = 55, .program = 10 * us, .sectorErase = 10 * s, .chipErase = 9500 * ms, .absAny = 62,
                  .absVcc = 70, .absA9 = 135, .absOe = 135}),
        // Macronix MX29F040: 64 KiB sectors, byte program 7 us typical, lowered to 1.4 us, just
        // under the 1.5 us the form leaves between a data cycle and the next byte's first
        // command cycle (it never waits), chip
        // erase lowered to 1.9 s (the form waits 20 long waits); pins 7 V, A9 and OE 13.5 V.
        // Sector protection with 12 V on A9 and OE#, A6 low, a WE# pulse (the sector at A16-A18);
        // chip unprotect the same with A6 high (MX29F family sheets, "sector protection / chip
        // unprotect with 12V system"). Pulse widths 10 us and 12 ms (the sheet's algorithms).
        Socket32({.name = "MX29F040", .size = 512 * K, .mfr = 0xC2, .dev = 0xA4, .sector = 64 * K, .vccMin = 45,
                  .vccMax = 55, .program = 1400, .sectorErase = 1 * s, .chipErase = 1900 * ms, .absAny = 70,
                  .absVcc = 70, .absA9 = 135, .absOe = 135, .protect = P::HvSector, .protectTime = 10 * us,
                  .unprotectTime = 12 * ms}),
        // SST39SF010A/020A/040: 4 KiB sectors, 4.5-5.5 V, byte program 14 us, sector erase
        // 18 ms, chip erase 70 ms; pins VDD + 0.5 V, A9 14 V.
        Socket32({.name = "SST39SF010A", .size = 128 * K, .mfr = 0xBF, .dev = 0xB5, .sector = 4 * K, .vccMin = 45,
                  .vccMax = 55, .program = 14 * us, .sectorErase = 18 * ms, .chipErase = 70 * ms, .absAny = 60,
                  .absVcc = 70, .absA9 = 140}),
        Socket32({.name = "SST39SF020A", .size = 256 * K, .mfr = 0xBF, .dev = 0xB6, .sector = 4 * K, .vccMin = 45,
                  .vccMax = 55, .program = 14 * us, .sectorErase = 18 * ms, .chipErase = 70 * ms, .absAny = 60,
                  .absVcc = 70, .absA9 = 140}),
        Socket32({.name = "SST39SF040", .size = 512 * K, .mfr = 0xBF, .dev = 0xB7, .sector = 4 * K, .vccMin = 45,
                  .vccMax = 55, .program = 14 * us, .sectorErase = 18 * ms, .chipErase = 70 * ms, .absAny = 60,
                  .absVcc = 70, .absA9 = 140}),
        // SST39VF010/020/040: the same at 2.7-3.6 V; VDD rated 4.0 V, pins VDD + 0.5 V, A9 13.2 V.
        Socket32({.name = "SST39VF010", .size = 128 * K, .mfr = 0xBF, .dev = 0xD5, .sector = 4 * K, .vccMin = 27,
                  .vccMax = 36, .program = 14 * us, .sectorErase = 18 * ms, .chipErase = 70 * ms, .absAny = 41,
                  .absVcc = 40, .absA9 = 132}),
        Socket32({.name = "SST39VF020", .size = 256 * K, .mfr = 0xBF, .dev = 0xD6, .sector = 4 * K, .vccMin = 27,
                  .vccMax = 36, .program = 14 * us, .sectorErase = 18 * ms, .chipErase = 70 * ms, .absAny = 41,
                  .absVcc = 40, .absA9 = 132}),
        Socket32({.name = "SST39VF040", .size = 512 * K, .mfr = 0xBF, .dev = 0xD7, .sector = 4 * K, .vccMin = 27,
                  .vccMax = 36, .program = 14 * us, .sectorErase = 18 * ms, .chipErase = 70 * ms, .absAny = 41,
                  .absVcc = 40, .absA9 = 132}),
    };
    // Mosel Vitelic V29C51004T (top boot) / V29C51004B (bottom boot): 512K x 8 at 5 V +-10%,
    // 1 KB sectors and a lockable 16 KB boot block (kept here as one sector: protection covers
    // it whole, and no form erases by sector). Ratings: inputs 7 V, A9 and OE# 13 V, VCC 5.5 V;
    // ID voltage on A9 11.5-12.5 V. The boot block locks with 12.5 V on OE# and A9, CE# and WE#
    // low, and unlocks with it on OE#, CE# and A9, WE# low (the sheet's ratings table lists only
    // A9 and OE#, but its unlock puts the same level on CE#: rated 13 V here). Sector erase
    // 10 ms and byte write 35 us are the sheet's maxima; the form sends the next command cycle
    // 1.5 us after a data cycle and never waits, so the byte program is lowered to 1.4 us, just
    // under that, and the chip erase
    // (not in the stored pages) is taken inside the form's 21 long waits, 2 s. Manufacturer
    // 40h; the device codes are not in the stored pages (00h here; the device lines carry no
    // '#' ID).
    for (const char* name : {"V29C51004T", "V29C51004B"}) {
        const bool top = name[9] == 'T';
        JedecPart p = Socket32({.name = name, .size = 512 * K, .mfr = 0x40, .dev = 0x00, .sector = 1 * K, .vccMin = 45,
                                .vccMax = 55, .program = 1400, .sectorErase = 10 * ms, .chipErase = 2 * s, .absAny = 70,
                                .absVcc = 55, .absA9 = 130, .absOe = 130, .protect = P::HvBootBlock,
                                .protectTime = 1 * us, .unprotectTime = 1 * us});
        p.sectors = top ? Repeat({{1 * K, 496}, {16 * K, 1}}) : Repeat({{16 * K, 1}, {1 * K, 496}});
        p.bootSector = top ? 496 : 0;
        p.absCe = 130;
        socket.push_back(p);
    }
    std::vector<JedecPart> adapter = {
        // Atmel AT49BV322A (bottom boot) / AT49BV322AT (top boot): 2M x 16, 2.65..3.6 V, eight
        // 4K-word and sixty-three 32K-word sectors, word program 12 us, sector erase 300 ms; the
        // chip erase is taken as its 64 sector erases' worth (19.2 s). Sector lockdown, 128-bit
        // protection register, VPP pin (tied to VCC on the adapter).
        {.name = "AT49BV322A", .pinout = &Tsop48x16Pinout(), .size = 4 * K * K, .x16 = true, .mfr = 0x1F,
         .dev = 0x00C8, .cmdMask = 0x7FF, .sectors = Repeat({{8 * K, 8}, {64 * K, 63}}), .vccMin = 27, .vccMax = 36,
         .program = 12 * us, .sectorErase = 300 * ms, .chipErase = 19200 * ms, .protect = P::Lockdown,
         .bootSector = 0, .protectionRegister = true, .absAny = 50, .absVcc = 40, .absReset = 50},
        {.name = "AT49BV322AT", .pinout = &Tsop48x16Pinout(), .size = 4 * K * K, .x16 = true, .mfr = 0x1F,
         .dev = 0x00C9, .cmdMask = 0x7FF, .sectors = Repeat({{64 * K, 63}, {8 * K, 8}}), .vccMin = 27, .vccMax = 36,
         .program = 12 * us, .sectorErase = 300 * ms, .chipErase = 19200 * ms, .protect = P::Lockdown,
         .bootSector = 0, .protectionRegister = true, .absAny = 50, .absVcc = 40, .absReset = 50},
        // AMD Am29LV160DT: 1M x 16 top boot (31 x 64K, 32K, 8K, 8K, 16K bytes), 2.7..3.6 V, word
        // program 11 us, sector erase 0.7 s, chip erase 25 s; in-system sector protection and
        // temporary unprotect with RESET# at VID; A9, OE# and RESET# rated 12.5 V.
        {.name = "AM29LV160DT", .pinout = &Tsop48x16Pinout(), .size = 2 * K * K, .x16 = true, .mfr = 0x01,
         .dev = 0x22C4, .cmdMask = 0x7FF, .sectors = Repeat({{64 * K, 31}, {32 * K, 1}, {8 * K, 2}, {16 * K, 1}}),
         .vccMin = 27, .vccMax = 36, .program = 11 * us, .sectorErase = 700 * ms, .chipErase = 25 * s,
         .protect = P::InSystem, .bootSector = 0, .protectionRegister = false, .absAny = 50, .absVcc = 40,
         .absReset = 125},
        // Atmel AT49F002: 256K x 8, 5 V, 16K boot block (lockout by AA 55 80 AA 55 40 at 5555h),
        // two 8K parameter blocks, 96K and 128K main blocks; byte program 30 us, chip erase 10 s.
        {.name = "AT49F002", .pinout = &Dip32FlashPinout(), .size = 256 * K, .x16 = false, .mfr = 0x1F,
         .dev = 0x07, .cmdMask = 0x7FFF, .sectors = {16 * K, 8 * K, 8 * K, 96 * K, 128 * K}, .vccMin = 45,
         .vccMax = 55, .program = 30 * us, .sectorErase = 1 * s, .chipErase = 10 * s, .protect = P::BootLockout,
         .bootSector = 0, .protectionRegister = false, .absAny = 62, .absVcc = 62, .absReset = 62},
    };
    adapter.insert(adapter.end(), socket.begin(), socket.end());
    return adapter;
}

}  // namespace

const std::vector<JedecPart>& JedecParts() {
    static const std::vector<JedecPart> parts = BuildParts();
    return parts;
}

const JedecPart* FindJedecPart(std::string_view name) { return FindPartByName(JedecParts(), name); }

JedecFlash::JedecFlash(const JedecPart& part)
    : FlashPinoutChip(part, part.size),
      protected_(part.sectors.size(), false),
      pr_(9, 0xFFFF),
      protectSum_(part.sectors.size(), 0) {
    pr_[0] = 0xFFFE;  // bit 0: the factory words are locked
    pr_[1] = 0x5155;
    pr_[2] = 0x494C;
    pr_[3] = 0x4C41;
    pr_[4] = 0x0001;
}

AbsoluteMaximum JedecFlash::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = part_.absAny;
    for (int p : part_.pinout->vcc) r.pins.push_back({p, part_.absVcc});
    if (part_.pinout->reset) r.pins.push_back({part_.pinout->reset, part_.absReset});
    if (part_.absA9 > part_.absAny) r.pins.push_back({part_.pinout->address[9], part_.absA9});
    if (part_.absOe > part_.absAny) r.pins.push_back({part_.pinout->oe, part_.absOe});
    if (part_.absCe > part_.absAny) r.pins.push_back({part_.pinout->ce, part_.absCe});
    return r;
}

int JedecFlash::SectorOf(std::uint32_t a) const {
    std::uint32_t start = 0;
    for (std::size_t s = 0; s < part_.sectors.size(); ++s) {
        if (a < start + part_.sectors[s]) return static_cast<int>(s);
        start += part_.sectors[s];
    }
    return static_cast<int>(part_.sectors.size()) - 1;
}

std::uint32_t JedecFlash::SectorStart(int s) const {
    std::uint32_t start = 0;
    for (int i = 0; i < s; ++i) start += part_.sectors[static_cast<std::size_t>(i)];
    return start;
}

void JedecFlash::Reset() {
    mode_ = Mode::Array;
    step_ = 0;
    programNext_ = prNext_ = false;
    busy_ = Work::None;
    left_ = 0;
    protectPending_ = false;
}

void JedecFlash::PowerDown(ChipPins& pins) {
    if (powered_ && busy_ != Work::None) NoteRefusal(workAddr_, "power lost while busy: nothing written");
    if (powered_) Reset();
    powered_ = false;
    outputs_ = false;
    for (int p : part_.pinout->data) pins.Release(p);
}

bool JedecFlash::ResetAtVid(ChipPins& pins) const {
    if (!part_.pinout->reset) return false;
    const Tenths v = pins.SupplyVoltage(part_.pinout->reset);
    return v >= kVidMin && v <= kVidMax;
}

bool JedecFlash::A9AtVid(ChipPins& pins) const {
    if (part_.absA9 == 0) return false;
    const Tenths v = pins.SupplyVoltage(part_.pinout->address[9]);
    return v >= kVidMin && v <= kVidMax;
}

bool JedecFlash::AtVid(ChipPins& pins, int pin) const {
    const Tenths v = pins.SupplyVoltage(pin);
    return v >= kVidMin && v <= kVidMax;
}

void JedecFlash::HighVoltageProtection(ChipPins& pins, Nanos dt) {
    const auto& po = *part_.pinout;
    if (!AtVid(pins, po.address[9]) || !AtVid(pins, po.oe) || pins.High(po.we)) return;
    const bool ceLow = !pins.High(po.ce);
    if (part_.protect == P::HvSector) {
        if (!ceLow) return;
        if (pins.High(po.address[6])) {
            unprotectSum_ += dt;
            if (unprotectSum_ < part_.unprotectTime) return;
            unprotectSum_ = 0;
            std::fill(protected_.begin(), protected_.end(), false);
            std::fill(protectSum_.begin(), protectSum_.end(), 0);
        } else {
            const auto s = static_cast<std::size_t>(SectorOf(ByteAddress(Address(pins))));
            protectSum_[s] += dt;
            if (protectSum_[s] < part_.protectTime) return;
            protectSum_[s] = 0;
            protected_[s] = true;
        }
        return;
    }
    const auto boot = static_cast<std::size_t>(part_.bootSector);
    if (ceLow) {
        protectSum_[boot] += dt;
        if (protectSum_[boot] < part_.protectTime) return;
        protectSum_[boot] = 0;
        protected_[boot] = true;
    } else if (AtVid(pins, po.ce)) {
        unprotectSum_ += dt;
        if (unprotectSum_ < part_.unprotectTime) return;
        unprotectSum_ = 0;
        protected_[boot] = false;
    }
}

std::uint32_t JedecFlash::Address(ChipPins& pins) const {
    std::uint32_t a = pins.ReadBus(part_.pinout->address);
    if (part_.x16 && !wordMode_) a = (a << 1) | (pins.High(part_.pinout->data[15]) ? 1u : 0u);  // DQ15 is A-1
    return a;
}

std::uint32_t JedecFlash::ByteAddress(std::uint32_t bus) const {
    const std::uint32_t a = part_.x16 && wordMode_ ? bus << 1 : bus;
    return a % part_.size;
}

std::uint16_t JedecFlash::DataIn(ChipPins& pins) const {
    const int width = part_.x16 && wordMode_ ? 16 : 8;
    std::uint16_t v = 0;
    for (int i = 0; i < width; ++i)
        if (pins.High(part_.pinout->data[static_cast<std::size_t>(i)])) v = static_cast<std::uint16_t>(v | (1u << i));
    return v;
}

bool JedecFlash::Writable(int sector, ChipPins& pins) const {
    if (!protected_[static_cast<std::size_t>(sector)]) return true;
    return part_.protect == P::InSystem && ResetAtVid(pins);  // temporary unprotect
}

void JedecFlash::OnPinsChanged(ChipPins& pins) {
    const auto& po = *part_.pinout;
    Tenths vcc = 0;
    for (int p : po.vcc) vcc = std::max(vcc, pins.SupplyVoltage(p));
    bool grounded = true;
    for (int p : po.gnd) grounded = grounded && pins.Grounded(p);
    if (!grounded || vcc < part_.vccMin || vcc > part_.vccMax) {
        PowerDown(pins);
        return;
    }
    if (!powered_) {
        powered_ = true;
        Reset();
        weHigh_ = pins.High(po.we);
    }
    if (po.reset && !pins.High(po.reset)) {  // RESET# low
        Reset();
        outputs_ = false;
        for (int p : po.data) pins.Release(p);
        weHigh_ = pins.High(po.we);
        return;
    }
    wordMode_ = part_.x16 && (!po.byteMode || pins.High(po.byteMode));
    const bool ce = !pins.High(po.ce), oe = !pins.High(po.oe), we = pins.High(po.we);
    const bool hv = part_.protect == P::HvSector || part_.protect == P::HvBootBlock;
    if (ce && !oe && !weHigh_ && we && !(hv && AtVid(pins, po.oe))) Write(pins, Address(pins), DataIn(pins));
    weHigh_ = we;
    idByA9_ = A9AtVid(pins);
    outputs_ = ce && oe && (we || idByA9_);
    if (outputs_) {
        Drive(pins);
    } else {
        for (int p : po.data) pins.Release(p);
    }
}

void JedecFlash::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!powered_) return;
    if (protectPending_) {
        if (!ResetAtVid(pins)) {
            protectPending_ = false;
        } else {
            protectTime_ += dt;
            const bool unprotect = (protectAddr_ >> 6) & 1u;
            if (protectTime_ >= (unprotect ? kUnprotectTime : kProtectTime)) {
                protectPending_ = false;
                if (unprotect) {
                    std::fill(protected_.begin(), protected_.end(), false);
                } else {
                    protected_[static_cast<std::size_t>(SectorOf(ByteAddress(protectAddr_)))] = true;
                }
            }
        }
    }
    if (part_.protect == P::HvSector || part_.protect == P::HvBootBlock) HighVoltageProtection(pins, dt);
    if (busy_ == Work::None) return;
    if (dt < left_) {
        left_ -= dt;
        return;
    }
    Finish();
    if (outputs_) Drive(pins);
}

std::uint16_t JedecFlash::ReadValue(std::uint32_t bus) {
    if (busy_ != Work::None) {
        toggle_ = !toggle_;
        const std::uint16_t dq7 = busy_ == Work::Program ? static_cast<std::uint16_t>(~workData_ & 0x80) : 0;
        return static_cast<std::uint16_t>(dq7 | (toggle_ ? 0x40 : 0));
    }
    if (mode_ == Mode::Autoselect || idByA9_) {
        const std::uint32_t k = part_.x16 && !wordMode_ ? bus >> 1 : bus;  // byte mode: word index
        if (part_.protectionRegister && k >= 0x80 && k <= 0x88) return pr_[k - 0x80];
        switch (k & 0xFF) {
            case 0: return part_.mfr;
            case 1: return part_.x16 ? part_.dev : static_cast<std::uint16_t>(part_.dev & 0xFF);
            case 2: return protected_[static_cast<std::size_t>(SectorOf(ByteAddress(bus)))] ? 1 : 0;
            default: return 0;
        }
    }
    const std::uint32_t a = ByteAddress(bus);
    if (part_.x16 && wordMode_) return static_cast<std::uint16_t>(cells_[a] | (cells_[a + 1] << 8));
    return cells_[a];
}

void JedecFlash::Drive(ChipPins& pins) {
    const auto& data = part_.pinout->data;
    const std::uint16_t v = ReadValue(Address(pins));
    const std::size_t width = part_.x16 && wordMode_ ? 16 : 8;
    for (std::size_t i = 0; i < width; ++i) pins.Drive(data[i], (v >> i) & 1u);
}

void JedecFlash::Start(Work w, std::uint32_t byteAddr, std::uint16_t data, Nanos t) {
    busy_ = w;
    workAddr_ = byteAddr;
    workData_ = data;
    left_ = static_cast<Nanos>(static_cast<double>(t) * SlowFactor());
    if (w == Work::ChipErase) ++chipErases_;
}

void JedecFlash::Finish() {
    const Work w = busy_;
    busy_ = Work::None;
    left_ = 0;
    switch (w) {
        case Work::Program: {
            cells_[workAddr_] &= static_cast<std::uint8_t>(workData_);
            if (part_.x16 && wordMode_) cells_[workAddr_ + 1] &= static_cast<std::uint8_t>(workData_ >> 8);
            break;
        }
        case Work::SectorErase: {
            const int s = SectorOf(workAddr_);
            std::fill_n(cells_.begin() + SectorStart(s), part_.sectors[static_cast<std::size_t>(s)], 0xFF);
            break;
        }
        case Work::ChipErase:
            // workData_ holds nothing here; the sectors to erase were marked at the start.
            for (int s = 0; s < SectorCount(); ++s)
                if (eraseMask_[static_cast<std::size_t>(s)])
                    std::fill_n(cells_.begin() + SectorStart(s), part_.sectors[static_cast<std::size_t>(s)], 0xFF);
            break;
        case Work::None:
            break;
    }
}

void JedecFlash::Write(ChipPins& pins, std::uint32_t bus, std::uint16_t data) {
    if (busy_ != Work::None) {  // ignored while busy
        NoteRefusal(ByteAddress(bus), busy_ == Work::Program ? "write cycle while a byte programs: ignored"
                                                               : "write cycle while erasing: ignored");
        return;
    }
    const std::uint8_t d = static_cast<std::uint8_t>(data);
    if (programNext_) {
        programNext_ = false;
        const std::uint32_t a = ByteAddress(bus);
        if (Writable(SectorOf(a), pins)) Start(Work::Program, a, data, part_.program);
        else NoteRefusal(a, "program in a protected sector: ignored");
        return;
    }
    if (prNext_) {
        prNext_ = false;
        const std::uint32_t k = part_.x16 && !wordMode_ ? bus >> 1 : bus;
        const bool userLocked = !(pr_[0] & 0x2);
        if (k == 0x80) pr_[0] &= data;
        else if (k >= 0x85 && k <= 0x88 && !userLocked) pr_[k - 0x80] &= data;
        return;
    }
    const std::uint32_t cmd = bus & part_.cmdMask;
    const std::uint32_t c1 = part_.cmdMask == 0x7FF ? 0x555 : 0x5555, c2 = part_.cmdMask == 0x7FF ? 0x2AA : 0x2AAA;
    if (d == 0xF0 && (step_ == 0 || step_ == 2)) {
        mode_ = Mode::Array;
        step_ = 0;
        return;
    }
    if (part_.protect == P::InSystem && d == 0x60 && ResetAtVid(pins) && ((bus >> 1) & 1u) && !(bus & 1u)) {
        protectPending_ = true;
        protectAddr_ = bus;
        protectTime_ = 0;
        step_ = 0;
        return;
    }
    const int step = step_;
    step_ = 0;
    switch (step) {
        case 0:
            if (cmd == c1 && d == 0xAA) step_ = 1;
            break;
        case 1:
            if (cmd == c2 && d == 0x55) step_ = 2;
            break;
        case 2:
            if (cmd != c1) break;
            if (d == 0xA0) programNext_ = true;
            else if (d == 0x80) step_ = 3;
            else if (d == 0x90) mode_ = Mode::Autoselect;
            else if (d == 0xC0 && part_.protectionRegister) prNext_ = true;
            break;
        case 3:
            if (cmd == c1 && d == 0xAA) step_ = 4;
            break;
        case 4:
            if (cmd == c2 && d == 0x55) step_ = 5;
            break;
        case 5: {
            const std::uint32_t a = ByteAddress(bus);
            if (cmd == c1 && d == 0x10) {
                eraseMask_.assign(part_.sectors.size(), false);
                for (int s = 0; s < SectorCount(); ++s) eraseMask_[static_cast<std::size_t>(s)] = Writable(s, pins);
                Start(Work::ChipErase, 0, 0xFF, part_.chipErase);
            } else if (d == 0x30) {
                if (Writable(SectorOf(a), pins)) Start(Work::SectorErase, a, 0xFF, part_.sectorErase);
            } else if (d == 0x40 && part_.protect == P::Lockdown) {
                protected_[static_cast<std::size_t>(SectorOf(a))] = true;
            } else if (d == 0x40 && part_.protect == P::BootLockout && cmd == c1) {
                protected_[static_cast<std::size_t>(part_.bootSector)] = true;
            }
            break;
        }
        default:
            break;
    }
    // A cycle that continues no command sequence resets it.
    if (step_ == 0 && !programNext_ && !prNext_ && busy_ == Work::None && !(step == 2 && d == 0x90) &&
        !(step == 5 && d == 0x40))
        NoteRefusal(ByteAddress(bus), "write cycle " + std::to_string(step + 1) +
                                          " fits no command sequence: sequence reset");
}

SeatedPart MakeJedecFlash(std::string_view name) {
    const JedecPart* p = FindJedecPart(name);
    if (!p) return {};
    if (p->pinout == &Dip32JedecPinout()) return {std::make_unique<JedecFlash>(*p), Placement::Dip(32)};
    return {std::make_unique<JedecFlash>(*p), AdapterPlacementFor(name, *p->pinout)};
}

void RegisterJedecFlash(ChipRegistry& registry) { RegisterPartsByName(registry, JedecParts(), &MakeJedecFlash); }

}  // namespace quilla::sim
