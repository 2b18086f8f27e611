#include "sim/chips/pic18.h"

#include <algorithm>

namespace quilla::sim {

namespace {

constexpr Tenths kPowerOnReset = 15;
constexpr Tenths kVihhMin = 90, kVihhMax = 132;  // 9.0-13.25 V (13.2 in tenths)
constexpr Tenths kOtpVihhMin = 115;              // one-time parts: 12.0 V accepted (family rule 8)
constexpr Tenths kProgVddMin = 45, kProgVddMax = 55, kReadVddMin = 20;

constexpr std::uint32_t kIdBase = 0x200000, kConfigBase = 0x300000, kEraseControl = 0x3C0004,
                        kWriteMode = 0x3C0006, kDevId = 0x3FFFFE;
constexpr std::uint8_t kTblptrU = 0xF8, kTblptrH = 0xF7, kTblptrL = 0xF6, kTablat = 0xF5, kEecon1 = 0xA6,
                       kEecon2 = 0xA7, kEedata = 0xA8, kEeadr = 0xA9, kEeadrh = 0xAA;
constexpr std::uint8_t kEepgd = 0x80, kCfgs = 0x40, kWren = 0x04, kWr = 0x02, kRd = 0x01;

// Erased configuration bytes of the PIC18FXX2/XX8 and PIC18CXX2 parts
// (300000h-30000Fh; 0 where nothing is implemented).
constexpr std::array<std::uint8_t, 16> kFxx2Config{0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00,
                                                   0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40, 0x00, 0x00};
constexpr std::array<std::uint8_t, 16> kCxx2Config{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace

const std::vector<Pic18Part>& Pic18Parts() {
    // DIP40: MCLR 1, VDD 11/32, VSS 12/31, RB6 39, RB7 40; DIP28: MCLR 1, VDD 20,
    // VSS 8/19, RB6 27, RB7 28. Device IDs: DEVID2 04h, DEVID1 DEV2:0 in bits
    // 7-5 (revision 0).
    static const std::vector<Pic18Part> parts = [] {
        std::vector<Pic18Part> v;
        auto add = [&](const char* name, int pins, int bytes, int ee, bool otp, std::uint8_t id1) {
            const bool d40 = pins == 40;
            v.push_back({name, pins, d40 ? std::vector<int>{11, 32} : std::vector<int>{20},
                         d40 ? std::vector<int>{12, 31} : std::vector<int>{8, 19}, 1, d40 ? 39 : 27, d40 ? 40 : 28,
                         bytes, ee, otp, id1, static_cast<std::uint8_t>(otp ? 0x00 : 0x04),
                         otp ? kCxx2Config : kFxx2Config});
        };
        add("PIC18F242", 28, 16384, 256, false, 0x80);
        add("PIC18F252", 28, 32768, 256, false, 0x00);
        add("PIC18F442", 40, 16384, 256, false, 0xA0);
        add("PIC18F452", 40, 32768, 256, false, 0x20);
        add("PIC18C242", 28, 16384, 0, true, 0x00);
        add("PIC18C252", 28, 32768, 0, true, 0x00);
        add("PIC18C442", 40, 16384, 0, true, 0x00);
        add("PIC18C452", 40, 32768, 0, true, 0x00);
        return v;
    }();
    return parts;
}

const Pic18Part* FindPic18Part(std::string_view name) {
    for (const auto& p : Pic18Parts())
        if (name == p.name) return &p;
    return nullptr;
}

Pic18Chip::Pic18Chip(const Pic18Part& part)
    : part_(part),
      program_(static_cast<std::size_t>(part.programBytes), 0xFF),
      eeprom_(static_cast<std::size_t>(part.eeBytes), 0xFF),
      devId1_(part.devId1) {
    ids_.fill(0xFF);
    config_ = part.configErased;
}

AbsoluteMaximum Pic18Chip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 75;
    for (int p : part_.vdd) r.pins.push_back({p, 75});
    r.pins.push_back({part_.mclr, kVihhMax});
    return r;
}

void Pic18Chip::Enter() {
    programMode_ = true;
    shift_ = Shift::Command;
    bits_ = 0;
    shiftReg_ = 0;
    w_ = 0;
    tblptr_ = 0;
    tablat_ = eecon1_ = eedata_ = eeadr_ = eeadrh_ = 0;
    pc_ = 0;
    gotoPending_ = false;
    unlock_ = 0;
    buffer_.fill(0xFF);
    armed_ = false;
    singlePanel_ = false;
    nopsAfterErase_ = -1;
    busy_ = Busy::None;
}

void Pic18Chip::Leave(ChipPins& pins) {
    if (programMode_ && shift_ == Shift::ReadOut) pins.Release(part_.data);
    programMode_ = false;
    busy_ = Busy::None;  // a cycle still running is cut short: nothing changes
    armed_ = false;
    shift_ = Shift::Command;
}

void Pic18Chip::OnRemoved() {
    programMode_ = false;
    busy_ = Busy::None;
    vihh_ = false;
    powered_ = false;
}

bool Pic18Chip::ProgramLevels(ChipPins& pins) const {
    Tenths vdd = 0;
    for (int p : part_.vdd) vdd = std::max(vdd, pins.SupplyVoltage(p));
    return vdd >= kProgVddMin && vdd <= kProgVddMax;
}

void Pic18Chip::OnPinsChanged(ChipPins& pins) {
    Tenths vdd = 0;
    for (int p : part_.vdd) vdd = std::max(vdd, pins.SupplyVoltage(p));
    bool grounded = false;
    for (int p : part_.vss) grounded = grounded || pins.Grounded(p);
    const Tenths mclr = pins.SupplyVoltage(part_.mclr);
    const bool vihh = mclr >= (part_.otp ? kOtpVihhMin : kVihhMin) && mclr <= kVihhMax;
    const bool rose = vihh && !vihh_;
    vihh_ = vihh;
    if (!grounded || vdd < kPowerOnReset) {
        powered_ = false;
        Leave(pins);
        return;
    }
    const bool poweredUp = !powered_;
    powered_ = true;
    if (!programMode_) {
        if (rose && !poweredUp && vdd >= kReadVddMin && !pins.High(part_.clock) && !pins.High(part_.data)) {
            Enter();
            clock_ = false;
        }
        return;
    }
    if (!vihh || vdd < kReadVddMin) {
        Leave(pins);
        return;
    }
    const bool clk = pins.High(part_.clock);
    if (clk && !clock_) {
        clock_ = true;
        Rising(pins);
    } else if (!clk && clock_) {
        clock_ = false;
        Falling(pins);
    }
}

void Pic18Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!programMode_ || busy_ == Busy::None) return;
    if (!ProgramLevels(pins)) return;  // the time only counts inside the programming window
    busyTime_ += dt;
    if (busyTime_ >= busyNeeded_) Finish();
}

void Pic18Chip::Finish() {
    if (busy_ == Busy::Eeprom) {
        if (!eeprom_.empty()) eeprom_[eeAddress_ % eeprom_.size()] = eeValue_;
        eecon1_ &= static_cast<std::uint8_t>(~kWr);
    } else if (busy_ == Busy::Erase) {
        const auto eraseRange = [&](int from, int to) {
            for (int a = std::max(from, 0); a < std::min(to, part_.programBytes); ++a)
                program_[static_cast<std::size_t>(a)] = 0xFF;
        };
        switch (eraseCode_) {
            case 0x80:
                std::fill(program_.begin(), program_.end(), 0xFF);
                std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
                ids_.fill(0xFF);
                config_ = part_.configErased;
                break;
            case 0x81: std::fill(eeprom_.begin(), eeprom_.end(), 0xFF); break;
            case 0x83: eraseRange(0, 0x200); break;
            case 0x88: eraseRange(0x200, 0x2000); break;
            case 0x89: eraseRange(0x2000, 0x4000); break;
            case 0x8A: eraseRange(0x4000, 0x6000); break;
            case 0x8B: eraseRange(0x6000, 0x8000); break;
            default: break;
        }
    }
    busy_ = Busy::None;
    ++programEvents_;
}

void Pic18Chip::Rising(ChipPins& pins) {
    if (shift_ == Shift::ReadOut) pins.Drive(part_.data, (out_ >> bits_) & 1u);
    if (shift_ == Shift::Command && bits_ == 3) riseAt_ = pins.Now();
}

void Pic18Chip::Falling(ChipPins& pins) {
    const unsigned bit = pins.High(part_.data) ? 1u : 0u;
    switch (shift_) {
        case Shift::Command:
            shiftReg_ |= bit << bits_;
            if (++bits_ == 4) {
                const unsigned cmd = shiftReg_ & 0x0F;
                const Nanos held = pins.Now() - riseAt_;
                bits_ = 0;
                shiftReg_ = 0;
                if (armed_ && cmd == 0) Program(pins, held);
                armed_ = false;
                Command(pins, cmd);
            }
            break;
        case Shift::Operand:
            shiftReg_ |= bit << bits_;
            if (++bits_ == 16) {
                const auto data = static_cast<std::uint16_t>(shiftReg_);
                shift_ = Shift::Command;
                bits_ = 0;
                shiftReg_ = 0;
                Operand(cmd_, data);
            }
            break;
        case Shift::ReadIn:
            if (++bits_ == 8) {
                shift_ = Shift::ReadOut;
                bits_ = 0;
            }
            break;
        case Shift::ReadOut:
            if (++bits_ == 8) {
                pins.Release(part_.data);
                shift_ = Shift::Command;
                bits_ = 0;
            }
            break;
    }
}

std::uint8_t Pic18Chip::ReadAt(std::uint32_t a) const {
    a &= 0x3FFFFF;
    if (a < static_cast<std::uint32_t>(part_.programBytes)) return program_[a];
    if (a >= kIdBase && a < kIdBase + 8) return ids_[a - kIdBase];
    if (a >= kConfigBase && a < kConfigBase + 16) return config_[a - kConfigBase];
    if (a == kDevId) return devId1_;
    if (a == kDevId + 1) return part_.devId2;
    return 0;
}

void Pic18Chip::Command(ChipPins& pins, unsigned cmd) {
    (void)pins;
    cmd_ = cmd;
    if (busy_ == Busy::Erase) {
        // Commands during an erase are clocked and do nothing.
        shift_ = (cmd == 0 || cmd >= 12) ? Shift::Operand : (cmd == 2 || (cmd >= 8 && cmd <= 11)) ? Shift::ReadIn
                                                                                                     : Shift::Command;
        cmd_ = 0xFF;
        out_ = 0;
        return;
    }
    if (cmd == 0 && nopsAfterErase_ >= 0 && ++nopsAfterErase_ == 2) {
        nopsAfterErase_ = -1;
        busy_ = Busy::Erase;
        busyTime_ = 0;
        busyNeeded_ = static_cast<Nanos>(static_cast<double>(EraseTime) * SlowFactor());
    } else if (cmd != 0) {
        nopsAfterErase_ = -1;
    }
    switch (cmd) {
        case 0x0:
        case 0xC:
        case 0xD:
        case 0xE:
        case 0xF: shift_ = Shift::Operand; break;
        case 0x2:
            out_ = tablat_;
            shift_ = Shift::ReadIn;
            break;
        case 0x8:
        case 0x9:
        case 0xA:
        case 0xB:
            if (cmd == 0xB) ++tblptr_;
            out_ = tablat_ = ReadAt(tblptr_);
            if (cmd == 0x9) ++tblptr_;
            if (cmd == 0xA) --tblptr_;
            tblptr_ &= 0x3FFFFF;
            shift_ = Shift::ReadIn;
            break;
        default: shift_ = Shift::Command; break;  // reserved: nothing follows
    }
}

void Pic18Chip::Operand(unsigned cmd, std::uint16_t data) {
    if (cmd == 0xFF) return;  // during an erase
    if (cmd == 0) Core(data);
    else TableWrite(cmd, data);
}

std::uint8_t Pic18Chip::Reg(std::uint8_t f) const {
    switch (f) {
        case kTblptrU: return static_cast<std::uint8_t>((tblptr_ >> 16) & 0x3F);
        case kTblptrH: return static_cast<std::uint8_t>(tblptr_ >> 8);
        case kTblptrL: return static_cast<std::uint8_t>(tblptr_);
        case kTablat: return tablat_;
        case kEecon1: return eecon1_;
        case kEedata: return eedata_;
        case kEeadr: return eeadr_;
        case kEeadrh: return eeadrh_;
        default: return 0;
    }
}

void Pic18Chip::SetReg(std::uint8_t f, std::uint8_t v) {
    switch (f) {
        case kTblptrU: tblptr_ = (tblptr_ & 0x00FFFF) | (static_cast<std::uint32_t>(v & 0x3F) << 16); break;
        case kTblptrH: tblptr_ = (tblptr_ & 0x3F00FF) | (static_cast<std::uint32_t>(v) << 8); break;
        case kTblptrL: tblptr_ = (tblptr_ & 0x3FFF00) | v; break;
        case kTablat: tablat_ = v; break;
        case kEedata: eedata_ = v; break;
        case kEeadr: eeadr_ = v; break;
        case kEeadrh: eeadrh_ = v; break;
        case kEecon1: {
            const std::uint8_t before = eecon1_;
            // WR and RD can only be set by software; WR clears when the write ends.
            eecon1_ = static_cast<std::uint8_t>((v & ~(kWr | kRd)) | (before & kWr));
            const bool wantsRead = (v & kRd) != 0;
            const bool wantsWrite = (v & kWr) && !(before & kWr);
            const bool eeSelected = !(eecon1_ & (kEepgd | kCfgs)) && !eeprom_.empty();
            const std::uint32_t a = (static_cast<std::uint32_t>(eeadrh_) << 8) | eeadr_;
            if (wantsRead && eeSelected) eedata_ = eeprom_[a % eeprom_.size()];
            if (wantsWrite && eeSelected && (eecon1_ & kWren) && unlock_ == 2 && busy_ == Busy::None) {
                eecon1_ |= kWr;
                busy_ = Busy::Eeprom;
                busyTime_ = 0;
                busyNeeded_ = static_cast<Nanos>(static_cast<double>(EepromTime) * SlowFactor());
                eeAddress_ = a;
                eeValue_ = eedata_;
            }
            break;
        }
        default: break;
    }
}

void Pic18Chip::Core(std::uint16_t op) {
    const auto f = static_cast<std::uint8_t>(op & 0xFF);
    const bool access = !(op & 0x0100);  // a = 0: the access bank
    const bool sfr = access && f >= 0x80;
    if (gotoPending_) {
        gotoPending_ = false;
        if ((op & 0xF000) == 0xF000) pc_ = ((static_cast<std::uint32_t>(op & 0x0FFF) << 8) | gotoLow_) << 1;
        return;
    }
    int unlock = 0;
    if (op == 0x0000) {
        // NOP
    } else if ((op & 0xFF00) == 0x0E00) {  // MOVLW k
        w_ = f;
        unlock = unlock_;  // allowed between the two EECON2 writes
    } else if ((op & 0xFE00) == 0x6E00) {  // MOVWF f
        if (sfr) {
            if (f == kEecon2) {
                if (w_ == 0x55) unlock = 1;
                else if (w_ == 0xAA && unlock_ == 1) unlock = 2;
            } else {
                SetReg(f, w_);
            }
        }
    } else if ((op & 0xFE00) == 0x5000) {  // MOVF f,W
        w_ = sfr ? Reg(f) : 0;
    } else if ((op & 0xFE00) == 0x2A00) {  // INCF f,F (d = 1)
        if (sfr) SetReg(f, static_cast<std::uint8_t>(Reg(f) + 1));
    } else if ((op & 0xF000) == 0x8000 || (op & 0xF000) == 0x9000) {  // BSF / BCF
        const int b = (op >> 9) & 7;
        const bool set = (op & 0xF000) == 0x8000;
        if (sfr) {
            // RD and WR act when set (SetReg); EECON1 never holds RD.
            const auto bit = static_cast<std::uint8_t>(1u << b);
            SetReg(f, set ? static_cast<std::uint8_t>(Reg(f) | bit) : static_cast<std::uint8_t>(Reg(f) & ~bit));
        }
    } else if ((op & 0xFF00) == 0xEF00) {  // GOTO, first word
        gotoLow_ = f;
        gotoPending_ = true;
    }
    unlock_ = unlock;
}

void Pic18Chip::TableWrite(unsigned cmd, std::uint16_t data) {
    const std::uint32_t a = tblptr_;
    const auto lo = static_cast<std::uint8_t>(data & 0xFF), hi = static_cast<std::uint8_t>(data >> 8);
    if (part_.otp && cmd == 0xF) tblptr_ += 2;  // one-time parts: pre-increment
    const std::uint32_t at = part_.otp && cmd == 0xF ? tblptr_ : a;
    if (at == kEraseControl || at == kWriteMode) {
        if (part_.otp) return;
        if (at == kEraseControl) {
            eraseCode_ = lo;
            nopsAfterErase_ = 0;
        } else {
            singlePanel_ = lo == 0x00;
        }
    } else if (part_.otp) {
        cycleAddress_ = at & ~1u;
        otpWord_ = data;
        armed_ = true;
    } else if (at >= kConfigBase && at < kConfigBase + 16) {
        configWrites_.push_back(at);
        if (cmd == 0xF) {
            cycleAddress_ = at;
            buffer_[0] = (at & 1) ? hi : lo;
            configCycle_ = true;
            armed_ = true;
        }
    } else {
        const std::size_t k = at & 6;
        buffer_[k] = lo;
        buffer_[k + 1] = hi;
        if (cmd == 0xF) {
            cycleAddress_ = at & ~7u;
            configCycle_ = false;
            armed_ = true;
        }
    }
    if (cmd == 0xD) tblptr_ += 2;
    if (cmd == 0xE) tblptr_ -= 2;
    tblptr_ &= 0x3FFFFF;
}

void Pic18Chip::Program(ChipPins& pins, Nanos held) {
    const Nanos need = static_cast<Nanos>(static_cast<double>(part_.otp ? OtpHold : FlashHold) * SlowFactor());
    const bool ok = held >= need && ProgramLevels(pins);
    if (part_.otp) {
        if (!ok) {
            NoteRefusal(cycleAddress_, "programming hold shorter than the part's time, or levels outside the window");
            return;
        }
        const std::uint32_t a = cycleAddress_;
        const auto andInto = [&](std::uint8_t& cell, std::uint8_t v) { cell &= v; };
        for (int k = 0; k < 2; ++k) {
            const std::uint32_t x = a + static_cast<std::uint32_t>(k);
            const auto v = static_cast<std::uint8_t>(k ? otpWord_ >> 8 : otpWord_ & 0xFF);
            if (x < static_cast<std::uint32_t>(part_.programBytes)) andInto(program_[x], v);
            else if (x >= kIdBase && x < kIdBase + 8) andInto(ids_[x - kIdBase], v);
            else if (x >= kConfigBase && x < kConfigBase + 16) {
                configWrites_.push_back(x);
                andInto(config_[x - kConfigBase], v);
            }
        }
        ++programEvents_;
        return;
    }
    if (configCycle_) {
        const bool allowed = ok && (eecon1_ & kEepgd) && (eecon1_ & kCfgs) && pc_ >= 0x100000;
        if (allowed && cycleAddress_ < kConfigBase + 14) {
            const std::size_t k = cycleAddress_ - kConfigBase;
            const std::uint8_t v = buffer_[0] & part_.configErased[k];
            config_[k] = k >= 8 ? static_cast<std::uint8_t>(config_[k] & v) : v;
            ++programEvents_;
        } else {
            NoteRefusal(cycleAddress_, !ok ? "configuration write held too short or outside the window"
                                           : "configuration write without EEPGD and CFGS, or outside the configuration bytes");
        }
        buffer_.fill(0xFF);
        return;
    }
    const bool allowed = ok && singlePanel_ && (eecon1_ & kEepgd) && !(eecon1_ & kCfgs);
    if (!allowed)
        NoteRefusal(cycleAddress_, !ok ? "programming hold shorter than the part's time, or levels outside the window"
                                       : "program write without single-panel mode or with EECON1 not set for program memory");
    if (allowed) {
        for (std::uint32_t k = 0; k < 8; ++k) {
            const std::uint32_t x = cycleAddress_ + k;
            if (x < static_cast<std::uint32_t>(part_.programBytes)) program_[x] &= buffer_[k];
            else if (x >= kIdBase && x < kIdBase + 8) ids_[x - kIdBase] &= buffer_[k];
        }
        ++programEvents_;
    }
    buffer_.fill(0xFF);
}

SeatedPart MakePic18(std::string_view name) {
    const Pic18Part* p = FindPic18Part(name);
    if (!p) return {};
    return {std::make_unique<Pic18Chip>(*p), Placement::Dip(p->pins)};
}

namespace {

// The 44-pin PLCC adapter of the PIC forms ("p44b.bmp", pic18plcc44): MCLR/VPP
// on socket pin 22, VDD 11, VSS 10, RB6 (PGC) 16, RB7 (PGD) 19; the other
// package pins meet nothing. Given in the 40-pin numbering of the part's row.
Placement Plcc44Board(const Pic18Part& p) {
    std::vector<int> pins(static_cast<std::size_t>(p.pins), 0);
    auto put = [&](int chipPin, int socket) { pins[static_cast<std::size_t>(chipPin - 1)] = socket; };
    put(p.mclr, 22);
    for (int v : p.vdd) put(v, 11);
    for (int v : p.vss) put(v, 10);
    put(p.clock, 16);
    put(p.data, 19);
    return Placement::Custom(std::string(p.name) + "*P44", std::move(pins));
}

}  // namespace

void RegisterPic18(ChipRegistry& registry) {
    for (const auto& p : Pic18Parts()) {
        const std::string name = p.name;
        registry.Add(name, [name] { return MakePic18(name); });
        if (p.pins != 40) continue;
        // The same part in its 44-pin PLCC package on the adapter.
        registry.Add(name + "*P44", [name] {
            const Pic18Part* part = FindPic18Part(name);
            return SeatedPart{std::make_unique<Pic18Chip>(*part), Plcc44Board(*part)};
        });
    }
}

}  // namespace quilla::sim
