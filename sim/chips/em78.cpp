#include "sim/chips/em78.h"

#include <algorithm>

namespace quilla::sim {

namespace {

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
    // EM78P156E/256/456 (18-pin DIP: P52 P53 TCC /RESET VSS P60-P67 VDD OSCO
    // OSCI P50 P51): writer roles on P60-P65 (pins 6-11), SEL on CLK.
    static const Em78Pins kDip18{.count = 18, .vdd = 14, .vss = 5, .reset = 4, .data = 6, .sck = 7, .clk = 8,
                                 .rw = 9, .pgm = 10, .test = 11, .sel = 8, .placement = {}};
    // EM78P247S/447S (28-pin DIP: TCC VDD NC VSS NC P50-P53 P60-P67 P70-P77
    // OSCO OSCI /RESET): writer roles on P61-P66 (pins 11-16: the socket pins
    // of the EM78P156's roles, as both sit in the socket), SEL on CLK.
    static const Em78Pins kDip28{.count = 28, .vdd = 2, .vss = 4, .reset = 28, .data = 11, .sck = 12, .clk = 13,
                                 .rw = 14, .pgm = 15, .test = 16, .sel = 13, .placement = {}};
    // EM78P153 (14 pins: VDD 4, /RESET 7, VSS 11): writer roles on pins 1, 2,
    // 3, 12, 13, 14, SEL on pin 10.
    static const Em78Pins kP153{.count = 14, .vdd = 4, .vss = 11, .reset = 7, .data = 1, .sck = 2, .clk = 3,
                                .rw = 12, .pgm = 13, .test = 14, .sel = 10, .placement = Em78p153Placement()};
    // EM78P458/459 (20-pin DIP: VSS 5, /RESET 12, VDD 16): writer roles on
    // pins 1, 2, 3, 17, 18, 19, SEL on pin 20.
    static const Em78Pins kDip20{.count = 20, .vdd = 16, .vss = 5, .reset = 12, .data = 1, .sck = 2, .clk = 3,
                                 .rw = 17, .pgm = 18, .test = 19, .sel = 20, .placement = {}};
    std::vector<Em78Part> v;
    // EM78P156/256/456: 1K, 2K, 4K words; one option word, /PTB bit 9; entry
    // with TEST high, two clocks.
    for (auto [name, words] : {std::pair{"EM78P156", 1024}, {"EM78P256", 2048}, {"EM78P456", 4096}})
        v.push_back({.name = name, .pins = &kDip18, .testHigh = true, .entryClocks = 2, .words = words,
                     .optionWords = 1, .protectWord = 0, .protectBit = 9});
    // EM78P247S/447S: 2K and 4K words; one option word, /PTB bit 9; entry with
    // TEST high, four clocks.
    for (auto [name, words] : {std::pair{"EM78P247SA", 2048}, {"EM78P247SB", 2048}, {"EM78P447SA", 4096},
                               {"EM78P447SB", 4096}})
        v.push_back({.name = name, .pins = &kDip28, .testHigh = true, .entryClocks = 4, .words = words,
                     .optionWords = 1, .protectWord = 0, .protectBit = 9});
    // EM78P153: 512 words; option words R1, R2 and the ID word; the
    // code-protect bit CS is bit 7 of R2; entry with TEST high, two clocks.
    v.push_back({.name = "EM78P153", .pins = &kP153, .testHigh = true, .entryClocks = 2, .words = 512,
                 .optionWords = 3, .protectWord = 1, .protectBit = 7});
    // EM78P458/459: 4K words; option words R1 and R2, /PTB bit 9 of R1; entry
    // with TEST low, two clocks.
    for (const char* name : {"EM78P458", "EM78P459"})
        v.push_back({.name = name, .pins = &kDip20, .testHigh = false, .entryClocks = 2, .words = 4096,
                     .optionWords = 2, .protectWord = 0, .protectBit = 9});
    return v;
}

}  // namespace

const std::vector<Em78Part>& Em78Parts() {
    static const std::vector<Em78Part> parts = BuildParts();
    return parts;
}

const Em78Part* FindEm78Part(std::string_view name) { return FindPartByName(Em78Parts(), name); }

Em78Chip::Em78Chip(const Em78Part& part)
    : PinTableChip(part, PackageTable(*part.pins, part.pins->reset, Rated)),
      pin_(*part.pins),
      options_(static_cast<std::size_t>(part.optionWords), Erased) {}

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
    dataOut_.Forget();
}

void Em78Chip::Leave(ChipPins& pins) {
    mode_ = Mode::Off;
    dataOut_.Release(pins, DataPin());
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
    DriveOut(pins);
}

void Em78Chip::DriveOut(ChipPins& pins) { dataOut_.Drive(pins, DataPin(), (out_ >> outBit_) & 1u); }

void Em78Chip::Next(ChipPins& pins) {
    ++address_;
    progSum_ = 0;
    programmedHere_ = false;
    if (!rw_) LoadOut(pins);
}

bool Em78Chip::ProgramConditions(ChipPins& pins) const {
    return mode_ == Mode::Writer && rw_ && !pgm_ && VppWindow.Holds(VppSupply(pins)) &&
           ProgramVdd.Holds(VddSupply(pins));
}

void Em78Chip::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = VddSupply(pins);
    const bool powered = Grounded(pins) && vdd >= PowerOnReset;
    const bool inWindow = VppWindow.Holds(VppSupply(pins));
    const bool clk = pins.High(pin_.clk), sck = pins.High(pin_.sck), rw = pins.High(pin_.rw),
               pgm = pins.High(pin_.pgm);
    auto remember = [&] { clk_ = clk, sck_ = sck, rw_ = rw, pgm_ = pgm; };

    if (!powered || !inWindow || !ReadVdd.Holds(vdd)) {
        if (mode_ != Mode::Off) Leave(pins);
        // Entry needs /RESET to rise into the window: a chip powered with
        // VPP already standing does not enter.
        if (!powered || !inWindow) mode_ = Mode::Off;
        remember();
        entryArmed_ = !inWindow;
        return;
    }
    if (mode_ == Mode::Off) {
        if (entryArmed_ && rw && pgm && !sck && pins.High(pin_.test) == part_.testHigh) {
            mode_ = Mode::Entry;
            optionSpace_ = pins.High(pin_.sel);
            entryFalls_ = 0;
        } else {
            mode_ = Mode::Deaf;
        }
        entryArmed_ = false;
        remember();
        return;
    }
    if (mode_ == Mode::Deaf) {
        remember();
        return;
    }
    if (mode_ == Mode::Entry) {
        if (!clk && clk_) ++entryFalls_;
        const bool ends = (sck && !sck_) || (!rw && rw_) || (!pgm && pgm_);
        if (!ends || entryFalls_ != part_.entryClocks) {
            if (ends) mode_ = Mode::Deaf;
            remember();
            return;
        }
        StartWriter();
    }
    // Writer mode.
    if (rw && !rw_) dataOut_.Release(pins, DataPin());
    if (!rw && rw_) LoadOut(pins);
    rw_ = rw;
    if (sck && !sck_ && rw) {
        shift_ = static_cast<std::uint16_t>(((shift_ << 1) | (pins.High(pin_.data) ? 1u : 0u)) & Erased);
        progSum_ = 0;
        programmedHere_ = false;
    }
    if (!sck && sck_ && !rw && dataOut_.Driving() && outBit_ > 0) {
        --outBit_;
        DriveOut(pins);
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
    if (!Reached(progSum_, MinProgram)) return;
    programmedHere_ = true;
    ++programmed_;
    if (optionSpace_) {
        if (address_ < part_.optionWords) options_[static_cast<std::size_t>(address_)] &= shift_;
    } else if (!Protected()) {
        SetWord(address_, static_cast<std::uint16_t>(Word(address_) & shift_));
    }
}

void RegisterEm78(ChipRegistry& registry) {
    RegisterPinTableParts<Em78Chip>(registry, Em78Parts(), [](const Em78Part& p) {
        const Em78Pins& pins = *p.pins;
        return pins.placement.empty() ? Placement::Dip(pins.count) : Placement::Custom(p.name, pins.placement);
    });
}

}  // namespace quilla::sim
