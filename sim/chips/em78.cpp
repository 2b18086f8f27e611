#include "sim/chips/em78.h"

#include <algorithm>

namespace quilla::sim {

namespace {

constexpr Tenths kPowerOnReset = 15;

// The EM78P153's 14-pin package sits as its placement picture shows: chip
// pins 1-7 on socket 8-14, pins 8-14 on socket 27-33 (the row's contact
// masks and its VDD 11, /RESET 14 and VSS 30).
std::vector<int> Em78p153Placement() {
    std::vector<int> v;
    for (int k = 1; k <= 7; ++k) v.push_back(7 + k);
    for (int m = 8; m <= 14; ++m) v.push_back(19 + m);
    return v;
}

std::vector<Em78Part> BuildParts() {
    std::vector<Em78Part> v;
    // EM78P156E/256/456 (18-pin DIP: P52 P53 TCC /RESET VSS P60-P67 VDD OSCO
    // OSCI P50 P51): 1K, 2K, 4K words; one option word, /PTB bit 9. Writer
    // roles on P60-P65 (pins 6-11), SEL on CLK; entry with TEST high, two clocks.
    for (auto [name, words] : {std::pair{"EM78P156", 1024}, {"EM78P256", 2048}, {"EM78P456", 4096}})
        v.push_back({name, 18, 14, 5, 4, 6, 7, 8, 9, 10, 11, 8, true, 2, words, 1, 0, 9, {}});
    // EM78P247S/447S (28-pin DIP: TCC VDD NC VSS NC P50-P53 P60-P67 P70-P77
    // OSCO OSCI /RESET): 2K and 4K words; one option word, /PTB bit 9. Writer
    // roles on P61-P66 (pins 11-16: the socket pins of the EM78P156's roles, as
    // both sit in the socket), SEL on CLK; entry with TEST high, four clocks.
    for (auto [name, words] : {std::pair{"EM78P247SA", 2048}, {"EM78P247SB", 2048}, {"EM78P447SA", 4096},
                               {"EM78P447SB", 4096}})
        v.push_back({name, 28, 2, 4, 28, 11, 12, 13, 14, 15, 16, 13, true, 4, words, 1, 0, 9, {}});
    // EM78P153 (14 pins: VDD 4, /RESET 7, VSS 11): 512 words; option words R1,
    // R2 and the ID word; the code-protect bit CS is bit 7 of R2. Writer roles
    // on pins 1, 2, 3, 12, 13, 14, SEL on pin 10; entry with TEST high, two clocks.
    v.push_back({"EM78P153", 14, 4, 11, 7, 1, 2, 3, 12, 13, 14, 10, true, 2, 512, 3, 1, 7, Em78p153Placement()});
    // EM78P458/459 (20-pin DIP: VSS 5, /RESET 12, VDD 16): 4K words; option
    // words R1 and R2, /PTB bit 9 of R1. Writer roles on pins 1, 2, 3, 17, 18,
    // 19, SEL on pin 20; entry with TEST low, two clocks.
    for (const char* name : {"EM78P458", "EM78P459"})
        v.push_back({name, 20, 16, 5, 12, 1, 2, 3, 17, 18, 19, 20, false, 2, 4096, 2, 0, 9, {}});
    return v;
}

}  // namespace

const std::vector<Em78Part>& Em78Parts() {
    static const std::vector<Em78Part> parts = BuildParts();
    return parts;
}

const Em78Part* FindEm78Part(std::string_view name) {
    for (const auto& p : Em78Parts())
        if (name == p.name) return &p;
    return nullptr;
}

Em78Chip::Em78Chip(const Em78Part& part)
    : part_(part), image_(static_cast<std::size_t>(2 * part.words)),
      options_(static_cast<std::size_t>(part.optionWords), Erased) {
    for (int a = 0; a < part.words; ++a) SetWord(a, Erased);
}

AbsoluteMaximum Em78Chip::Ratings() const {
    // VDD and the port pins up to 6.5 V; /RESET carries the programming
    // voltage (our ceiling: 13.5 V).
    AbsoluteMaximum r;
    r.anyPin = 65;
    r.pins = {{part_.reset, 135}};
    return r;
}

std::uint16_t Em78Chip::Word(int address) const {
    if (address < 0 || address >= part_.words) return Erased;
    const auto i = static_cast<std::size_t>(2 * address);
    return static_cast<std::uint16_t>((image_[i] | (image_[i + 1] << 8)) & Erased);
}

void Em78Chip::SetWord(int address, std::uint16_t w) {
    if (address < 0 || address >= part_.words) return;
    const auto i = static_cast<std::size_t>(2 * address);
    image_[i] = static_cast<std::uint8_t>(w & 0xFF);
    image_[i + 1] = static_cast<std::uint8_t>((w >> 8) & 0x1F);
}

bool Em78Chip::Protected() const {
    return ((options_[static_cast<std::size_t>(part_.protectWord)] >> part_.protectBit) & 1u) == 0;
}

std::uint16_t Em78Chip::ReadWord() const {
    if (optionSpace_) return address_ < part_.optionWords ? options_[static_cast<std::size_t>(address_)] : Erased;
    if (Protected()) return 0;
    return Word(address_);
}

void Em78Chip::OnRemoved() {
    mode_ = Mode::Off;
    driving_ = false;
}

void Em78Chip::Leave(ChipPins& pins) {
    mode_ = Mode::Off;
    if (driving_) pins.Release(part_.data);
    driving_ = false;
    progSum_ = 0;
}

void Em78Chip::StartWriter() {
    mode_ = Mode::Writer;
    address_ = 0;
    clkFalls_ = 0;
    shift_ = Erased;
    progSum_ = 0;
    programmedHere_ = false;
}

void Em78Chip::LoadOut(ChipPins& pins) {
    out_ = ReadWord();
    outBit_ = 12;
    driving_ = true;
    pins.Drive(part_.data, (out_ >> outBit_) & 1u);
}

void Em78Chip::Next(ChipPins& pins) {
    ++address_;
    progSum_ = 0;
    programmedHere_ = false;
    if (!rw_) LoadOut(pins);
}

bool Em78Chip::ProgramConditions(ChipPins& pins) const {
    const Tenths vpp = pins.SupplyVoltage(part_.reset);
    const Tenths vdd = pins.SupplyVoltage(part_.vdd);
    return mode_ == Mode::Writer && rw_ && !pgm_ && vpp >= VppMin && vpp <= VppMax && vdd >= ProgVddMin &&
           vdd <= VddMax;
}

void Em78Chip::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = pins.SupplyVoltage(part_.vdd);
    const Tenths vpp = pins.SupplyVoltage(part_.reset);
    const bool powered = pins.Grounded(part_.vss) && vdd >= kPowerOnReset;
    const bool inWindow = vpp >= VppMin && vpp <= VppMax;
    const bool clk = pins.High(part_.clk), sck = pins.High(part_.sck), rw = pins.High(part_.rw),
               pgm = pins.High(part_.pgm);

    if (!powered || !inWindow || vdd < ReadVddMin || vdd > VddMax) {
        if (mode_ != Mode::Off) Leave(pins);
        // Entry needs /RESET to rise into the window: a chip powered with
        // VPP already standing does not enter.
        if (!powered || !inWindow) mode_ = Mode::Off;
        clk_ = clk, sck_ = sck, rw_ = rw, pgm_ = pgm;
        entryArmed_ = !inWindow;
        return;
    }
    if (mode_ == Mode::Off) {
        if (entryArmed_ && rw && pgm && !sck && pins.High(part_.test) == part_.testHigh) {
            mode_ = Mode::Entry;
            optionSpace_ = pins.High(part_.sel);
            entryFalls_ = 0;
        } else {
            mode_ = Mode::Deaf;
        }
        entryArmed_ = false;
        clk_ = clk, sck_ = sck, rw_ = rw, pgm_ = pgm;
        return;
    }
    if (mode_ == Mode::Deaf) {
        clk_ = clk, sck_ = sck, rw_ = rw, pgm_ = pgm;
        return;
    }
    if (mode_ == Mode::Entry) {
        if (!clk && clk_) ++entryFalls_;
        const bool ends = (sck && !sck_) || (!rw && rw_) || (!pgm && pgm_);
        if (ends) {
            if (entryFalls_ == part_.entryClocks) {
                StartWriter();
            } else {
                mode_ = Mode::Deaf;
                clk_ = clk, sck_ = sck, rw_ = rw, pgm_ = pgm;
                return;
            }
        } else {
            clk_ = clk, sck_ = sck, rw_ = rw, pgm_ = pgm;
            return;
        }
    }
    // Writer mode.
    if (rw && !rw_) {
        if (driving_) pins.Release(part_.data);
        driving_ = false;
    }
    if (!rw && rw_) LoadOut(pins);
    rw_ = rw;
    if (sck && !sck_ && rw) {
        shift_ = static_cast<std::uint16_t>(((shift_ << 1) | (pins.High(part_.data) ? 1u : 0u)) & Erased);
        progSum_ = 0;
        programmedHere_ = false;
    }
    if (!sck && sck_ && !rw && driving_ && outBit_ > 0) {
        --outBit_;
        pins.Drive(part_.data, (out_ >> outBit_) & 1u);
    }
    sck_ = sck;
    pgm_ = pgm;
    if (!clk && clk_) {
        if (++clkFalls_ % 2 == 0) Next(pins);
    }
    clk_ = clk;
}

void Em78Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (programmedHere_ || !ProgramConditions(pins)) return;
    progSum_ += dt;
    if (static_cast<double>(progSum_) < static_cast<double>(MinProgram) * SlowFactor()) return;
    programmedHere_ = true;
    ++programmed_;
    if (optionSpace_) {
        if (address_ < part_.optionWords) options_[static_cast<std::size_t>(address_)] &= shift_;
    } else if (!Protected()) {
        SetWord(address_, static_cast<std::uint16_t>(Word(address_) & shift_));
    }
}

SeatedPart MakeEm78(std::string_view name) {
    const Em78Part* p = FindEm78Part(name);
    if (!p) return {};
    return {std::make_unique<Em78Chip>(*p),
            p->placement.empty() ? Placement::Dip(p->pins) : Placement::Custom(p->name, p->placement)};
}

void RegisterEm78(ChipRegistry& registry) {
    for (const auto& p : Em78Parts()) {
        const std::string name = p.name;
        registry.Add(name, [name] { return MakeEm78(name); });
    }
}

}  // namespace quilla::sim
