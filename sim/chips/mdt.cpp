#include "sim/chips/mdt.h"

namespace quilla::sim {

namespace {

// 18-pin parts (RA2 RA3 RTCC MCLR VSS RB0-RB7 VDD OSC2 OSC1 RA0 RA1): PS on
// RA0, HS on RA1, RS on RA2, CLK on OSC1, the port on RB0-RB6.
constexpr MdtPins kDip18{.count = 18, .vdd = 14, .vss = 5, .mclr = 4, .ps = 17, .hs = 18, .rs = 1, .clk = 16,
                         .port = {6, 7, 8, 9, 10, 11, 12}};
// 28-pin parts (RTCC VDD NC VSS NC RA0-RA3 RB0-RB7 RC0-RC7 OSC2 OSC1 MCLR):
// the same roles.
constexpr MdtPins kDip28{.count = 28, .vdd = 2, .vss = 4, .mclr = 28, .ps = 6, .hs = 7, .rs = 8, .clk = 27,
                         .port = {10, 11, 12, 13, 14, 15, 16}};

}  // namespace

const std::vector<MdtPart>& MdtParts() {
    static const std::vector<MdtPart> parts{
        {.name = "MDT2005", .pins = &kDip18, .words = 512, .entryClocks = 4},
        {.name = "MDT2010", .pins = &kDip18, .words = 1024, .entryClocks = 4},
        {.name = "MDT2051", .pins = &kDip18, .words = 1024, .entryClocks = 0},
        {.name = "MDT2015", .pins = &kDip28, .words = 512, .entryClocks = 4},
        {.name = "MDT2020", .pins = &kDip28, .words = 2048, .entryClocks = 4},
    };
    return parts;
}

const MdtPart* FindMdtPart(std::string_view name) { return FindPartByName(MdtParts(), name); }

MdtChip::MdtChip(const MdtPart& part)
    : PinTableChip(part, PackageTable(*part.pins, part.pins->mclr, Rated)),
      pin_(*part.pins) {}

int MdtChip::WordIndex() const {
    const int n = clocks_ - part_.entryClocks;
    return n < 4 ? -1 : n / 4 - 1;
}

std::uint16_t MdtChip::ReadWord() const {
    const int k = WordIndex();
    if (configSpace_) return k == 0 ? config_ : Erased;
    if (Protected()) return 0;
    return Word(k);
}

void MdtChip::OnRemoved() {
    mode_ = Mode::Off;
    port_.Forget();
}

void MdtChip::Leave(ChipPins& pins) {
    port_.Release(pins, pin_.port);
    mode_ = Mode::Off;
    progSum_ = 0;
}

void MdtChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = VddSupply(pins);
    const bool powered = Grounded(pins) && vdd >= PowerOnReset;
    const bool inWindow = VppWindow.Holds(VppSupply(pins));
    const bool clk = pins.High(pin_.clk), ps = pins.High(pin_.ps), rs = pins.High(pin_.rs);
    const bool hs = pins.High(pin_.hs);
    auto remember = [&] { clk_ = clk, ps_ = ps, rs_ = rs; };

    if (!powered || !inWindow || !ReadVdd.Holds(vdd)) {
        if (mode_ != Mode::Off) Leave(pins);
        armed_ = !inWindow;
        remember();
        return;
    }
    if (mode_ == Mode::Off) {
        const std::uint32_t port = pins.ReadBus(pin_.port);
        if (armed_ && ps && rs && (port == 0 || port == 1)) {
            mode_ = Mode::Active;
            configSpace_ = port == 1;
            clocks_ = 0;
            progSum_ = 0;
            done_ = false;
        } else {
            mode_ = Mode::Deaf;
        }
        armed_ = false;
        remember();
        return;
    }
    if (mode_ == Mode::Deaf) {
        remember();
        return;
    }
    if (!clk && clk_) {
        const int before = WordIndex();
        ++clocks_;
        if (WordIndex() != before) {
            progSum_ = 0;
            done_ = false;
        }
    }
    if (!ps && ps_) {
        strobeData_ = static_cast<std::uint8_t>(pins.ReadBus(pin_.port) & 0x7F);
        strobeHigh_ = hs;
        progSum_ = 0;
        done_ = false;
    }
    if (!rs) {
        strobeHigh_ = ps ? hs : strobeHigh_;
        port_.Drive(pins, pin_.port, HalfOfWord(ReadWord(), strobeHigh_));
    } else {
        port_.Release(pins, pin_.port);
    }
    remember();
}

void MdtChip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (mode_ != Mode::Active || ps_ || done_) return;
    if (!VppWindow.Holds(VppSupply(pins)) || !ProgramVdd.Holds(VddSupply(pins))) return;
    progSum_ += dt;
    if (!Reached(progSum_, MinProgram)) return;
    done_ = true;
    const int k = WordIndex();
    if (k < 0) return;
    ++programmed_;
    const std::uint16_t mask = HalfProgramMask(strobeData_, strobeHigh_);
    if (configSpace_) {
        if (k == 0) config_ &= mask;
    } else if (!Protected()) {
        SetWord(k, static_cast<std::uint16_t>(Word(k) & mask));
    }
}

void RegisterMdt(ChipRegistry& registry) { RegisterPinTableParts<MdtChip>(registry, MdtParts()); }

}  // namespace quilla::sim
