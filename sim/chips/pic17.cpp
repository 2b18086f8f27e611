#include "sim/chips/pic17.h"

namespace quilla::sim {

const std::vector<Pic17Part>& Pic17Parts() {
    static const std::vector<Pic17Part> parts{{"PIC17C42", 2048}, {"PIC17C43", 4096}, {"PIC17C44", 8192}};
    return parts;
}

const Pic17Part* FindPic17Part(std::string_view name) { return FindPartByName(Pic17Parts(), name); }

Placement Pic17Chip::Dip40() {
    std::vector<int> pins(40);
    for (int n = 1; n <= 40; ++n) pins[static_cast<std::size_t>(n - 1)] = n <= 20 ? n + 20 : n - 20;
    return Placement::Custom("DIP40 turned", pins);
}

Pic17Chip::Pic17Chip(const Pic17Part& part)
    : PinTableChip(part, {.pins = 40, .gnd = {Vss, Vss2}, .vcc = {Vdd}, .vpp = Mclr, .rated = Rated}) {}

std::uint16_t Pic17Chip::Location(int address) const {
    if (address >= 0 && address < part_.words) return Word(address);
    if (address >= ConfigFirst && address < ConfigFirst + 8) return static_cast<std::uint16_t>(0xFF00 | (config_ & 0xFF));
    if (address >= ConfigFirst + 8 && address < ConfigFirst + 16) return static_cast<std::uint16_t>(0xFF00 | (config_ >> 8));
    return Erased;
}

void Pic17Chip::DriveWord(ChipPins& pins) {
    const int a = Address();
    word_.Drive(pins, Data, Location(a));
    drivenAddress_ = a;
}

void Pic17Chip::OnRemoved() {
    active_ = false;
    armed_ = false;
    word_.Forget();
}

void Pic17Chip::Leave(ChipPins& pins) {
    word_.Release(pins, Data);
    active_ = false;
    progSum_ = 0;
    done_ = false;
}

void Pic17Chip::OnPinsChanged(ChipPins& pins) {
    const Tenths vpp = VppSupply(pins);
    const bool powered = Grounded(pins) && VddWindow.Holds(VddSupply(pins));
    const bool inWindow = VppWindow.Holds(vpp);
    const bool clk = pins.High(Clk), pulse = pins.High(Pulse), dir = pins.High(Dir), test = pins.High(Test);
    auto remember = [&] { clk_ = clk, pulse_ = pulse, dir_ = dir; };

    if (!powered || !inWindow || (active_ && !test)) {
        if (active_) Leave(pins);
        if (vpp == 0) armed_ = true;
        if (inWindow) armed_ = false;
        remember();
        return;
    }
    if (!active_) {
        const auto dh = static_cast<std::uint8_t>((pins.ReadBus(Data) >> 8) & 0xFF);
        if (armed_ && test && dir && !pulse && !clk && dh == EntryCode) {
            active_ = true;
            addressed_ = false;
            clocks_ = 0;
            base_ = 0;
            progSum_ = 0;
            done_ = false;
            pulseAddress_ = -1;
        }
        armed_ = false;
        if (!active_) {
            remember();
            return;
        }
    }
    if (clk && !clk_) {
        if (!addressed_) {
            base_ = static_cast<int>(pins.ReadBus(Data) & 0xFFFF);
            addressed_ = true;
            clocks_ = 0;
        } else {
            ++clocks_;
        }
    }
    if (pulse && !pulse_ && dir && !addressed_) NoteRefusal(0, "program pulse before an address was loaded");
    if (!pulse && pulse_ && dir_ && addressed_ && !done_ && pulseAddress_ == Address())
        NoteRefusal(static_cast<std::uint32_t>(pulseAddress_ & 0xFFFF), "program pulse shorter than the minimum");
    if (pulse && !pulse_ && dir && addressed_) {
        const auto d = static_cast<std::uint16_t>(pins.ReadBus(Data) & 0xFFFF);
        if (d != pulseData_ || Address() != pulseAddress_) {
            pulseData_ = d;
            pulseAddress_ = Address();
            progSum_ = 0;
            done_ = false;
        }
    }
    if (!dir && addressed_ && clocks_ >= 1) {
        if (!word_.Driving() || drivenAddress_ != Address()) DriveWord(pins);
    } else {
        word_.Release(pins, Data);
    }
    remember();
}

void Pic17Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!active_ || !pulse_ || !dir_ || done_ || pulseAddress_ != Address()) return;
    if (!VppWindow.Holds(VppSupply(pins)) || !VddWindow.Holds(VddSupply(pins))) return;
    progSum_ += dt;
    if (!Reached(progSum_, MinProgram)) return;
    done_ = true;
    ++programmed_;
    const int a = pulseAddress_;
    if (a >= 0 && a < part_.words) {
        SetWord(a, static_cast<std::uint16_t>(Word(a) & pulseData_));
    } else if (a >= ConfigFirst && a < ConfigFirst + 16) {
        config_ = static_cast<std::uint16_t>(config_ & ~(1u << (a - ConfigFirst)));
        configPulses_.push_back(a);
    }
}

void RegisterPic17(ChipRegistry& registry) {
    RegisterPinTableParts<Pic17Chip>(registry, Pic17Parts(), [](const Pic17Part&) { return Pic17Chip::Dip40(); });
}

}  // namespace quilla::sim
