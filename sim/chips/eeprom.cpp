#include "sim/chips/eeprom.h"

#include <algorithm>
#include <tuple>

namespace quilla::sim {

namespace {

constexpr Tenths kVccMin = 45, kVccMax = 55;         // 5 V +- 10 %
constexpr Tenths kClearMin = 115, kClearMax = 125;   // CHIP CLEAR: 12 V +- 0.5 on OE
constexpr Nanos kClearTime = 10 * Millisecond;
constexpr Tenths kIdMin = 115, kIdMax = 130;         // 12 V on A9 (12.5 V from the ID read)
constexpr std::uint32_t kCmd1 = 0x5555, kCmd2 = 0x2AAA;

// Address pins (A0 first) of the byte-wide EEPROM pinouts.
const std::vector<int> A24{8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 19};
std::vector<int> A28(int bits) {
    std::vector<int> a{10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 1};
    a.resize(static_cast<std::size_t>(bits));
    return a;
}
std::vector<int> A32(int bits) {
    std::vector<int> a{12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, 1};
    a.resize(static_cast<std::size_t>(bits));
    return a;
}

EepromPart Dip24(const char* n, Nanos cycle, bool chipErase) {
    return {n, 24, 0x800, A24, 18, 20, 21, 24, 12, 1, 0, cycle, false, chipErase, 62, 135};
}
EepromPart Dip28(const char* n, int bits, int page, Nanos window, Nanos cycle, bool sdp, bool chipErase,
                 Tenths absAny, Tenths absOe) {
    return {n, 28, 1u << bits, A28(bits), 20, 22, 27, 28, 14, page, window, cycle, sdp, chipErase, absAny, absOe};
}
EepromPart Dip32(const char* n, int bits, int page, Nanos window, Nanos cycle, bool sdp, Tenths absAny,
                 Tenths absOe) {
    return {n, 32, 1u << bits, A32(bits), 22, 24, 31, 32, 16, page, window, cycle, sdp, false, absAny, absOe};
}

// Page-write flash in the 32-pin JEDEC pinout: SDP, six-cycle chip erase.
EepromPart Flash32(const char* n, int bits, int page, Nanos window, Nanos cycle, Nanos erase, Tenths absAny,
                   Tenths absOe) {
    EepromPart p = Dip32(n, bits, page, window, cycle, true, absAny, absOe);
    p.flashPage = true;
    p.softwareErase = erase;
    return p;
}

std::vector<EepromPart> BuildParts() {
    std::vector<EepromPart> v;
    // Atmel byte-write parts: 1 ms write cycle (the fast-write versions 200 us),
    // inputs rated 6.25 V, OE (and A9) 13.5 V.
    v.push_back(Dip24("AT28C16", 1 * Millisecond, false));
    v.push_back(Dip28("AT28C17", 11, 1, 0, 1 * Millisecond, false, false, 62, 135));
    v.push_back(Dip28("AT28C64", 13, 1, 0, 1 * Millisecond, false, true, 62, 135));
    // AT28C256: 64-byte pages, 150 us byte-load window; the page cycle (10 ms
    // maximum, no typical given) is lowered so that window and cycle fit the
    // byte-write form's default 5 ms between bytes (4.8 ms); SDP; CHIP CLEAR.
    v.push_back(Dip28("AT28C256", 15, 64, 150 * Microsecond, 4800 * Microsecond, true, true, 62, 135));
    // Xicor page parts: byte-load window 100 us, write cycle 5 ms typical,
    // every pin rated -1 V to +7 V.
    v.push_back(Dip28("X28C256", 15, 64, 100 * Microsecond, 5 * Millisecond, true, false, 70, 70));
    v.push_back(Dip32("X28C512", 16, 128, 100 * Microsecond, 5 * Millisecond, true, 70, 70));
    v.push_back(Dip32("X28C010", 17, 256, 100 * Microsecond, 5 * Millisecond, true, 70, 70));
    // AT28C64B, AT28C010: 64- and 128-byte pages, byte-load window 150 us, page
    // cycle 10 ms (maximum; no typical given), SDP; the AT28C64B has CHIP CLEAR.
    // Inputs 6.25 V, OE and A9 13.5 V.
    v.push_back(Dip28("AT28C64B", 13, 64, 150 * Microsecond, 10 * Millisecond, true, true, 62, 135));
    v.back().absA9 = 135;
    v.push_back(Dip32("AT28C010", 17, 128, 150 * Microsecond, 10 * Millisecond, true, 62, 135));
    v.back().absA9 = 135;
    // HN58C65: 8 KiB in 32-byte pages, no software data protection, write cycle
    // 10 ms (maximum); pin 1 is RDY/BUSY (not modelled). Inputs -0.5 to 7 V.
    v.push_back(Dip28("HN58C65", 13, 32, 100 * Microsecond, 10 * Millisecond, false, false, 70, 70));

    // Page-write flash. SST29EE512/010/020: 128-byte pages, byte-load window
    // 100 us, page cycle 5 ms typical, chip erase 20 ms; any pin VDD + 0.5 V,
    // A9 14 V; product ID by software only.
    for (auto [n, bits] : {std::pair{"SST29EE512", 16}, std::pair{"SST29EE010", 17}, std::pair{"SST29EE020", 18}}) {
        EepromPart p = Flash32(n, bits, 128, 100 * Microsecond, 5 * Millisecond, 20 * Millisecond, 60, 60);
        p.absA9 = 140;
        v.push_back(p);
    }
    // AT29C512 and AT29C010A: 128-byte sectors, byte-load window 150 us, sector
    // program 10 ms (maximum), chip erase 20 ms; inputs 6.25 V, OE 13.5 V.
    for (auto [n, bits] : {std::pair{"AT29C512", 16}, std::pair{"AT29C010A", 17}}) {
        EepromPart p = Flash32(n, bits, 128, 150 * Microsecond, 10 * Millisecond, 20 * Millisecond, 62, 135);
        p.absA9 = 135;
        v.push_back(p);
    }
    // AT29C256: 28 pins with WE on pin 1 and A14 on pin 27 (its DIP pinout),
    // 64-byte pages, page program and chip erase 10 ms; the six-cycle code is
    // its only erase (12 V on OE erases nothing).
    {
        EepromPart p = Dip28("AT29C256", 15, 64, 150 * Microsecond, 10 * Millisecond, true, false, 62, 135);
        p.address = {10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 27};
        p.we = 1;
        p.flashPage = true;
        p.softwareErase = 10 * Millisecond;
        p.absA9 = 135;
        v.push_back(p);
    }
    // W29C020 and W29C040: 128- and 256-byte pages, byte-load window 200 us,
    // page cycle 5 ms typical, chip erase 50 ms, 5 ms power-on write delay;
    // hardware ID with 12 V on A9 (DA 45, DA 46); any pin VDD + 1 V, A9 12.5 V.
    for (auto [n, bits, page, dev] : {std::tuple{"W29C020", 18, 128, 0x45}, std::tuple{"W29C040", 19, 256, 0x46}}) {
        EepromPart p = Flash32(n, bits, page, 200 * Microsecond, 5 * Millisecond, 50 * Millisecond, 65, 65);
        p.mfr = 0xDA;
        p.dev = static_cast<std::uint8_t>(dev);
        p.absA9 = 125;
        v.push_back(p);
    }
    return v;
}

// The command address a cycle names, on the part's own lines up to A14.
std::uint32_t CommandAddress(const EepromPart& p, std::uint32_t a) {
    const std::uint32_t lines = std::min<std::uint32_t>(0x7FFF, p.size - 1);
    return a & lines;
}

}  // namespace

const std::vector<EepromPart>& EepromParts() {
    static const std::vector<EepromPart> parts = BuildParts();
    return parts;
}

const EepromPart* FindEepromPart(std::string_view name) { return FindPartByName(EepromParts(), name); }

EepromChip::EepromChip(const EepromPart& part) : DipMemoryChip(part, part.size, 0xFF) {}

AbsoluteMaximum EepromChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = part_.absAny;
    if (part_.absOe > part_.absAny) r.pins.push_back({part_.oe, part_.absOe});
    if (part_.absA9 > part_.absAny) r.pins.push_back({part_.address[9], part_.absA9});
    return r;
}

std::uint32_t EepromChip::Address(ChipPins& pins) const {
    std::uint32_t a = 0;
    for (std::size_t i = 0; i < part_.address.size(); ++i)
        if (pins.High(part_.address[i])) a |= 1u << i;
    return a % part_.size;
}

std::uint8_t EepromChip::Data(ChipPins& pins) const {
    std::uint8_t v = 0;
    for (std::size_t i = 0; i < data_.size(); ++i)
        if (pins.High(data_[i])) v = static_cast<std::uint8_t>(v | (1u << i));
    return v;
}

void EepromChip::PowerLost() {
    if (busy_ || windowOpen_)
        NoteRefusal(writing_.empty() ? 0 : writing_.front().addr,
                    busy_ ? "power lost during the write cycle: nothing written" : "power lost with loads pending");
    powered_ = false;
    strobe_ = false;
    windowOpen_ = false;
    command_.clear();
    loads_.clear();
    busy_ = false;  // the cycle in progress writes nothing
    eraseAll_ = false;
    writing_.clear();
    erasing_ = false;
    eraseTime_ = 0;
}

void EepromChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.SupplyVoltage(part_.vcc);
    if (!pins.Grounded(part_.gnd) || vcc < kVccMin || vcc > kVccMax) {
        if (powered_) PowerLost();
        for (int p : data_) pins.Release(p);
        return;
    }
    if (!powered_) {
        powered_ = true;
        writeAllowedAt_ = now_ + part_.powerUpDelay;
    }
    const bool ceLow = !pins.High(part_.ce);
    const bool weLow = !pins.High(part_.we);
    const bool oeHigh = pins.High(part_.oe);
    const Tenths oeSupply = pins.SupplyVoltage(part_.oe);

    // CHIP CLEAR: 12 V on OE, CE and WE low.
    erasing_ = part_.chipErase && !busy_ && ceLow && weLow && oeSupply >= kClearMin && oeSupply <= kClearMax;
    if (erasing_) {
        strobe_ = false;
        for (int p : data_) pins.Release(p);
        return;
    }
    // A write strobe: CE and WE low with OE high. The address counts when it
    // starts, the data when it ends.
    const bool strobe = ceLow && weLow && oeHigh && oeSupply <= kVccMax;
    if (strobe && !strobe_) strobeAddr_ = Address(pins);
    if (!strobe && strobe_ && now_ >= writeAllowedAt_) ByteLoad(strobeAddr_, Data(pins));
    strobe_ = strobe;

    const bool idRead = part_.mfr != 0 && ceLow && !oeHigh && !busy_ && pins.SupplyVoltage(part_.address[9]) >= kIdMin &&
                        pins.SupplyVoltage(part_.address[9]) <= kIdMax;
    if (idRead) {
        const bool a0 = pins.High(part_.address[0]), a1 = pins.High(part_.address[1]);
        const std::uint8_t out = a1 ? 0xFE : (a0 ? part_.dev : part_.mfr);
        for (std::size_t i = 0; i < data_.size(); ++i) pins.Drive(data_[i], (out >> i) & 1u);
    } else if (ceLow && !oeHigh && !weLow) {
        const std::uint8_t out = busy_ ? static_cast<std::uint8_t>(lastData_ ^ 0x80) : cells_[Address(pins)];
        for (std::size_t i = 0; i < data_.size(); ++i) pins.Drive(data_[i], (out >> i) & 1u);
    } else {
        for (int p : data_) pins.Release(p);
    }
}

// One write cycle of the bus: a protection command cycle, or a data load.
void EepromChip::ByteLoad(std::uint32_t addr, std::uint8_t data) {
    if (busy_) {
        NoteRefusal(addr, "write cycle during the chip's write cycle: ignored");
        return;
    }
    if (part_.sdp) {
        static const Load kOn[] = {{kCmd1, 0xAA}, {kCmd2, 0x55}, {kCmd1, 0xA0}};
        static const Load kOff[] = {{kCmd1, 0xAA}, {kCmd2, 0x55}, {kCmd1, 0x80},
                                    {kCmd1, 0xAA}, {kCmd2, 0x55}, {kCmd1, 0x20}};
        static const Load kErase[] = {{kCmd1, 0xAA}, {kCmd2, 0x55}, {kCmd1, 0x80},
                                      {kCmd1, 0xAA}, {kCmd2, 0x55}, {kCmd1, 0x10}};
        command_.push_back({addr, data});
        auto prefixOf = [this](const Load* seq, std::size_t n) {
            if (command_.size() > n) return false;
            for (std::size_t i = 0; i < command_.size(); ++i)
                if (CommandAddress(part_, command_[i].addr) != seq[i].addr || command_[i].data != seq[i].data)
                    return false;
            return true;
        };
        const bool on = prefixOf(kOn, 3), off = prefixOf(kOff, 6);
        const bool erase = part_.softwareErase > 0 && prefixOf(kErase, 6);
        if (erase && command_.size() == 6) {
            // Software chip erase: the loads of this window are dropped.
            command_.clear();
            loads_.clear();
            windowOpen_ = windowUnlocked_ = commandDone_ = false;
            writing_.clear();
            lastData_ = 0xFF;
            eraseAll_ = true;
            busy_ = true;
            busyEnd_ = now_ + static_cast<Nanos>(static_cast<double>(part_.softwareErase) * SlowFactor());
            return;
        }
        if (on || off || erase) {
            windowOpen_ = true;
            windowEnd_ = now_ + part_.loadWindow;
            if (on && command_.size() == 3) {
                sdpOn_ = true;
                windowUnlocked_ = commandDone_ = true;
                command_.clear();
            } else if (off && command_.size() == 6) {
                sdpOn_ = false;
                windowUnlocked_ = commandDone_ = true;
                command_.clear();
            }
            return;
        }
        // Not a command after all: the cycles are loads.
        std::vector<Load> cycles;
        cycles.swap(command_);
        for (const Load& l : cycles) DataLoad(l.addr, l.data);
        return;
    }
    DataLoad(addr, data);
}

void EepromChip::DataLoad(std::uint32_t addr, std::uint8_t data) {
    if (busy_) {
        NoteRefusal(addr, "load during the chip's write cycle: ignored");
        return;
    }
    if (sdpOn_ && !windowUnlocked_) {  // protected: no cycle starts
        NoteRefusal(addr, "load without the SDP unlock cycles (data protection on): ignored");
        return;
    }
    loads_.push_back({addr, data});
    if (part_.page <= 1) {
        StartCycle();
        return;
    }
    windowOpen_ = true;
    windowEnd_ = now_ + part_.loadWindow;
}

void EepromChip::StartCycle() {
    windowOpen_ = false;
    windowUnlocked_ = false;
    const bool any = !loads_.empty() || commandDone_;
    commandDone_ = false;
    command_.clear();
    if (!any) return;
    writing_.clear();
    if (!loads_.empty()) {
        // The last load names the page; each load lands at its offset in it.
        const std::uint32_t page = static_cast<std::uint32_t>(part_.page);
        const std::uint32_t base = part_.page > 1 ? loads_.back().addr / page * page : 0;
        for (const Load& l : loads_) {
            if (part_.page > 1 && l.addr / page * page != base)
                NoteRefusal(l.addr, "load outside the page of the window's last load: lands in that page");
            writing_.push_back({part_.page > 1 ? base + l.addr % page : l.addr, l.data});
        }
        lastData_ = loads_.back().data;
    }
    loads_.clear();
    busy_ = true;
    busyEnd_ = now_ + static_cast<Nanos>(static_cast<double>(part_.writeCycle) * SlowFactor());
    ++cycles_;
}

void EepromChip::FinishCycle() {
    if (eraseAll_) std::fill(cells_.begin(), cells_.end(), 0xFF);
    eraseAll_ = false;
    if (part_.flashPage && !writing_.empty()) {
        // The whole page is rewritten: what was not loaded reads erased.
        const std::uint32_t page = static_cast<std::uint32_t>(part_.page);
        const std::uint32_t base = writing_.back().addr % part_.size / page * page;
        std::fill_n(cells_.begin() + base, page, 0xFF);
    }
    for (const Load& l : writing_) cells_[l.addr % part_.size] = l.data;
    writing_.clear();
    busy_ = false;
}

void EepromChip::Advance(Nanos dt) {
    const Nanos end = now_ + dt;
    while (true) {
        if (windowOpen_ && windowEnd_ <= end && !busy_) {
            now_ = std::max(now_, windowEnd_);
            StartCycle();
            continue;
        }
        if (busy_ && busyEnd_ <= end) {
            now_ = std::max(now_, busyEnd_);
            FinishCycle();
            continue;
        }
        break;
    }
    now_ = end;
}

void EepromChip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (!powered_) {
        now_ += dt;
        return;
    }
    if (erasing_) {
        eraseTime_ += dt;
        if (static_cast<double>(eraseTime_) >= static_cast<double>(kClearTime) * SlowFactor()) {
            std::fill(cells_.begin(), cells_.end(), 0xFF);
            eraseTime_ = 0;
        }
    }
    Advance(dt);
}

void EepromChip::OnRemoved() { PowerLost(); }

SeatedPart MakeEeprom(std::string_view name) { return SeatInDip<EepromChip>(FindEepromPart(name)); }

void RegisterEeproms(ChipRegistry& registry) { RegisterPartsByName(registry, EepromParts(), &MakeEeprom); }

}  // namespace quilla::sim
