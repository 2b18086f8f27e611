#include "sim/chips/pic12.h"

#include <algorithm>
#include <string>

namespace quilla::sim {

namespace {

constexpr Tenths kPowerOnReset = 15;
constexpr std::uint8_t kAll = 0x3F, kLow4 = 0x0F;
constexpr int kReadableWhenProtected = 64;
// One-time rows: the share of the whole train after which a word verifies
// (the sheet's N pulses of N + 11N).
constexpr double kTrainShare = 12.0;

// PIC12C5XX (DS40227) and PIC16C505 programming sheets: load data, read data,
// increment, begin and end programming, all six bits given.
std::vector<Pic12Command> TableOtp() {
    return {{kAll, 0x02, Pic12Op::LoadData},
            {kAll, 0x04, Pic12Op::ReadData},
            {kAll, 0x06, Pic12Op::Increment},
            {kAll, 0x08, Pic12Op::Begin},
            {kAll, 0x0E, Pic12Op::End}};
}

// PIC16F54/57 (DS41207): the top two bits don't care; bulk erase added.
std::vector<Pic12Command> TableFlash() {
    return {{kLow4, 0x02, Pic12Op::LoadData}, {kLow4, 0x04, Pic12Op::ReadData},
            {kLow4, 0x06, Pic12Op::Increment}, {kLow4, 0x08, Pic12Op::Begin},
            {kLow4, 0x0E, Pic12Op::End},      {kLow4, 0x09, Pic12Op::BulkErase}};
}

std::vector<Pic12Part> BuildParts() {
    std::vector<Pic12Part> v;
    // PIC12C508/509 (DS40227; ratings DS40139: VDD 7.5 V, MCLR 14 V, other pins
    // VDD + 0.3 V): VIHH 12.75-13.25 V and program VDD 4.75-5.25 V in the
    // programming sheet; the P12C508 form programs at 12.0 V and 4.4 V, accepted
    // (family rule 8). Pulses of 100 us in DS40227; the form gives one
    // to three waits of 10 us: 10 us accepted. Factory MOVLW in the last word.
    for (auto [name, words, cal] : {std::tuple{"PIC12C508", 512, 0x0C70}, {"PIC12C509", 1024, 0x0C68}})
        v.push_back({name, 8, {1}, {8}, 4, 6, 7, words, true, static_cast<std::uint16_t>(cal), 0x0008, TableOtp(), 120,
                     135, 44, 55, 20, 10 * Microsecond, 0, 75, 75, 140});
    // PIC16C505 (its programming sheet; ratings of its data sheet as
    // the PIC12C5xx): 1,024 words, 14 pins placed as "16f630.bmp" shows (chip
    // pins 1-7 on sockets 27-33, 8-14 on 8-14); CP in bits 4 and 11-6. The
    // P16C505 form programs at VPP 12.0 V and VCC 5.0 V with one 10 us wait.
    {
        Pic12Part p{"PIC16C505", 14, {1}, {14}, 4, 12, 13, 1024, true, 0x0C80, 0x0FD0, TableOtp(), 120, 135, 44, 55, 20,
                    10 * Microsecond, 0, 75, 75, 140};
        p.placement = {27, 28, 29, 30, 31, 32, 33, 8, 9, 10, 11, 12, 13, 14};
        v.push_back(std::move(p));
    }
    // PIC16F54 (18 pins) and PIC16F57 (28 pins, the 16C5x pinout) (DS41207;
    // ratings DS41213: VDD 6.5 V, MCLR 13.5 V): programming externally timed,
    // 2 ms (the PIC16F5X form waits 2 ms), bulk erase 10 ms (20 ms waited);
    // VIHH from 12.0 V (the form's 12.7 V) to 13.5 V, program VDD 4.5-5.5 V.
    v.push_back({"PIC16F54", 18, {14}, {5}, 4, 12, 13, 512, false, 0, 0x0008, TableFlash(), 120, 135, 45, 55, 20,
                 2 * Millisecond, 10 * Millisecond, 68, 65, 135});
    v.push_back({"PIC16F57", 28, {2}, {4}, 28, 16, 17, 2048, false, 0, 0x0008, TableFlash(), 120, 135, 45, 55, 20,
                 2 * Millisecond, 10 * Millisecond, 68, 65, 135});
    return v;
}

}  // namespace

const std::vector<Pic12Part>& Pic12Parts() {
    static const std::vector<Pic12Part> parts = BuildParts();
    return parts;
}

const Pic12Part* FindPic12Part(std::string_view name) {
    for (const auto& p : Pic12Parts())
        if (name == p.name) return &p;
    return nullptr;
}

Pic12Chip::Pic12Chip(const Pic12Part& part) : PicWordChip(part) {
    for (auto& w : ids_) w = ErasedWord;
    if (part.calibration != 0) SetWord(part.words - 1, part.calibration);
}

std::uint16_t Pic12Chip::ReadAt() const {
    if (pc_ == ConfigAddress) return config_;
    if (pc_ < part_.words) return Protected() && pc_ >= kReadableWhenProtected ? 0 : Word(pc_);
    if (pc_ < part_.words + 4) return ids_[pc_ - part_.words];
    return ErasedWord;
}

std::uint16_t Pic12Chip::At(int address) const {
    if (address == ConfigAddress) return config_;
    if (address < part_.words) return Word(address);
    if (address < part_.words + 4) return ids_[address - part_.words];
    return ErasedWord;
}

void Pic12Chip::Put(int address, std::uint16_t w) {
    if (address == ConfigAddress) config_ = w;
    else if (address < part_.words) SetWord(address, w);
    else if (address < part_.words + 4) ids_[address - part_.words] = w;
}

void Pic12Chip::Program() {
    if (pc_ != ConfigAddress && pc_ >= part_.words + 4) {
        NoteRefusal(static_cast<std::uint32_t>(pc_), "program pulse at an address that holds nothing");
        return;
    }
    if (pc_ != ConfigAddress && pc_ < part_.words && Protected()) {
        NoteRefusal(static_cast<std::uint32_t>(pc_), "program pulse on code-protected memory");
        return;
    }
    if (part_.oneTime) untrained_.Verified(pc_, At(pc_));
    Put(pc_, static_cast<std::uint16_t>(At(pc_) & latch_));
}

void Pic12Chip::Leave(ChipPins& pins) {
    if (programMode_ && shift_ == Shift::DataOut) pins.Release(part_.data);
    programMode_ = false;
    pulse_ = false;
    erasing_ = false;
    shift_ = Shift::Command;
    progSum_ = 0;
    // Words that verified but never had their over-programming are not kept.
    untrained_.Revert([this](int address, std::uint16_t before) { Put(address, before); }, this);
}

void Pic12Chip::OnPinsChanged(ChipPins& pins) {
    Tenths vdd = 0;
    for (int p : part_.vdd) vdd = std::max(vdd, pins.SupplyVoltage(p));
    bool grounded = false;
    for (int p : part_.vss) grounded = grounded || pins.Grounded(p);
    const Tenths mclr = pins.SupplyVoltage(part_.mclr);
    const bool vihh = mclr >= part_.vihhMin && mclr <= part_.vihhMax;
    const bool rose = vihh && !vihh_;
    vihh_ = vihh;
    if (!grounded || vdd < kPowerOnReset) {
        Leave(pins);
        return;
    }
    vdd_ = vdd;
    if (!programMode_) {
        if (rose && vdd >= part_.readVddMin && !pins.High(part_.clock) && !pins.High(part_.data)) {
            programMode_ = true;
            pc_ = ConfigAddress;
            progSum_ = 0;
            loaded_ = false;
            pulse_ = false;
            erasing_ = false;
            shift_ = Shift::Command;
            bits_ = 0;
            shiftReg_ = 0;
            clock_ = false;
        }
        return;
    }
    if (!vihh || vdd < part_.readVddMin) {
        Leave(pins);
        return;
    }
    const bool clk = pins.High(part_.clock);
    if (clk && !clock_) {
        clock_ = true;
        if (shift_ == Shift::DataOut) pins.Drive(part_.data, (frameOut_ >> bits_) & 1u);
    } else if (!clk && clock_) {
        clock_ = false;
        Falling(pins);
    }
}

void Pic12Chip::Falling(ChipPins& pins) {
    const unsigned bit = pins.High(part_.data) ? 1u : 0u;
    switch (shift_) {
        case Shift::Command:
            shiftReg_ |= bit << bits_;
            if (++bits_ == 6) {
                const auto code = static_cast<std::uint8_t>(shiftReg_);
                bits_ = 0;
                shiftReg_ = 0;
                Decode(code);
            }
            break;
        case Shift::DataIn:
            shiftReg_ |= bit << bits_;
            if (++bits_ == 16) {
                if (!erasing_) {
                    latch_ = static_cast<std::uint16_t>((shiftReg_ >> 1) & ErasedWord);
                    loaded_ = true;
                }
                shift_ = Shift::Command;
                bits_ = 0;
                shiftReg_ = 0;
            }
            break;
        case Shift::DataOut:
            if (++bits_ == 16) {
                pins.Release(part_.data);
                shift_ = Shift::Command;
                bits_ = 0;
            }
            break;
    }
}

void Pic12Chip::Decode(std::uint8_t code) {
    const Pic12Command* hit = nullptr;
    for (const auto& c : part_.commands)
        if ((code & c.mask) == c.value) {
            hit = &c;
            break;
        }
    if (!hit) {
        NoteRefusal(static_cast<std::uint32_t>(pc_), "command code " + std::to_string(code) + " not in the part's table");
        return;
    }
    if (pulse_ && hit->op != Pic12Op::End) {
        pulse_ = false;  // the pulse ends with nothing done
        NoteRefusal(static_cast<std::uint32_t>(pc_), "programming pulse ended by another command than end programming");
    }
    switch (hit->op) {
        case Pic12Op::LoadData:
            shift_ = Shift::DataIn;
            break;
        case Pic12Op::ReadData:
            frameOut_ = static_cast<unsigned>(ReadAt()) << 1;
            shift_ = Shift::DataOut;
            break;
        case Pic12Op::Increment:
            if (!erasing_) {
                pc_ = (pc_ + 1) & 0xFFF;
                progSum_ = 0;
            }
            break;
        case Pic12Op::Begin:
            if (erasing_ || !loaded_) {
                NoteRefusal(static_cast<std::uint32_t>(pc_), erasing_ ? "begin programming while erasing"
                                                                      : "begin programming with no data loaded");
                break;
            }
            if (vdd_ < part_.progVddMin || vdd_ > part_.progVddMax) {
                NoteRefusal(static_cast<std::uint32_t>(pc_), "begin programming with VDD outside the programming window");
                break;
            }
            pulse_ = true;
            busyTime_ = 0;
            break;
        case Pic12Op::End: {
            if (!pulse_) break;
            pulse_ = false;
            const double whole = static_cast<double>(part_.programTime) * SlowFactor();
            if (!part_.oneTime) {
                if (static_cast<double>(busyTime_) >= whole) Program();
                else NoteRefusal(static_cast<std::uint32_t>(pc_), "programming pulse shorter than the part's minimum");
                break;
            }
            const Nanos before = progSum_;
            progSum_ += busyTime_;
            if (static_cast<double>(before) < whole / kTrainShare && static_cast<double>(progSum_) >= whole / kTrainShare)
                Program();
            if (static_cast<double>(progSum_) >= whole) untrained_.Trained(pc_);
            break;
        }
        case Pic12Op::BulkErase:
            if (erasing_) break;
            if (vdd_ < part_.progVddMin || vdd_ > part_.progVddMax) break;
            erasing_ = true;
            eraseConfig_ = pc_ == ConfigAddress;
            busyTime_ = 0;
            break;
    }
}

void Pic12Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (!programMode_ || (!pulse_ && !erasing_)) return;
    if (vdd_ < part_.progVddMin || vdd_ > part_.progVddMax) return;
    busyTime_ += dt;
    if (erasing_ && static_cast<double>(busyTime_) >= static_cast<double>(part_.eraseTime) * SlowFactor()) {
        erasing_ = false;
        // Program memory and IDs; a protected chip only with its configuration.
        if (Protected() && !eraseConfig_) return;
        for (int a = 0; a < part_.words; ++a) SetWord(a, ErasedWord);
        for (auto& w : ids_) w = ErasedWord;
        if (eraseConfig_) config_ = ErasedWord;
    }
}

void Pic12Chip::OnRemoved() {
    untrained_.Revert([this](int address, std::uint16_t before) { Put(address, before); }, nullptr);
    programMode_ = false;
    pulse_ = false;
    erasing_ = false;
    vihh_ = false;
}

SeatedPart MakePic12(std::string_view name) {
    const Pic12Part* p = FindPic12Part(name);
    if (!p) return {};
    if (!p->placement.empty()) return {std::make_unique<Pic12Chip>(*p), Placement::Custom(p->name, p->placement)};
    return {std::make_unique<Pic12Chip>(*p), Placement::Dip(p->pins)};
}

void RegisterPic12(ChipRegistry& registry) {
    for (const auto& p : Pic12Parts()) {
        const std::string name = p.name;
        registry.Add(name, [name] { return MakePic12(name); });
    }
}

}  // namespace quilla::sim
