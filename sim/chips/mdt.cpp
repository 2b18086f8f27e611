#include "sim/chips/mdt.h"

namespace quilla::sim {

namespace {

constexpr Tenths kPowerOnReset = 15;

std::vector<MdtPart> BuildParts() {
    std::vector<MdtPart> v;
    // 18-pin parts (RA2 RA3 RTCC MCLR VSS RB0-RB7 VDD OSC2 OSC1 RA0 RA1):
    // MCLR 4, VSS 5, VDD 14, PS RA0 17, HS RA1 18, RS RA2 1, CLK OSC1 16,
    // port RB0-RB6 6-12.
    const std::array<int, 7> port18{6, 7, 8, 9, 10, 11, 12};
    v.push_back({"MDT2005", 18, 14, 5, 4, 17, 18, 1, 16, port18, 512, 4});
    v.push_back({"MDT2010", 18, 14, 5, 4, 17, 18, 1, 16, port18, 1024, 4});
    v.push_back({"MDT2051", 18, 14, 5, 4, 17, 18, 1, 16, port18, 1024, 0});
    // 28-pin parts (RTCC VDD NC VSS NC RA0-RA3 RB0-RB7 RC0-RC7 OSC2 OSC1 MCLR):
    // VDD 2, VSS 4, MCLR 28, PS RA0 6, HS RA1 7, RS RA2 8, CLK OSC1 27, port RB0-RB6 10-16.
    const std::array<int, 7> port28{10, 11, 12, 13, 14, 15, 16};
    v.push_back({"MDT2015", 28, 2, 4, 28, 6, 7, 8, 27, port28, 512, 4});
    v.push_back({"MDT2020", 28, 2, 4, 28, 6, 7, 8, 27, port28, 2048, 4});
    return v;
}

}  // namespace

const std::vector<MdtPart>& MdtParts() {
    static const std::vector<MdtPart> parts = BuildParts();
    return parts;
}

const MdtPart* FindMdtPart(std::string_view name) {
    for (const auto& p : MdtParts())
        if (name == p.name) return &p;
    return nullptr;
}

MdtChip::MdtChip(const MdtPart& part) : part_(part), image_(static_cast<std::size_t>(2 * part.words)) {
    for (int a = 0; a < part.words; ++a) SetWord(a, Erased);
}

AbsoluteMaximum MdtChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 65;
    r.pins = {{part_.mclr, 135}};
    return r;
}

std::uint16_t MdtChip::Word(int address) const {
    if (address < 0 || address >= part_.words) return Erased;
    const auto i = static_cast<std::size_t>(2 * address);
    return static_cast<std::uint16_t>((image_[i] | (image_[i + 1] << 8)) & Erased);
}

void MdtChip::SetWord(int address, std::uint16_t w) {
    if (address < 0 || address >= part_.words) return;
    const auto i = static_cast<std::size_t>(2 * address);
    image_[i] = static_cast<std::uint8_t>(w & 0xFF);
    image_[i + 1] = static_cast<std::uint8_t>((w >> 8) & 0x3F);
}

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

void MdtChip::DrivePort(ChipPins& pins) {
    const std::uint16_t w = ReadWord();
    const unsigned half = strobeHigh_ ? (w >> 7) & 0x7Fu : w & 0x7Fu;
    for (int i = 0; i < 7; ++i) pins.Drive(part_.port[static_cast<std::size_t>(i)], (half >> i) & 1u);
    driving_ = true;
}

void MdtChip::ReleasePort(ChipPins& pins) {
    if (!driving_) return;
    for (int p : part_.port) pins.Release(p);
    driving_ = false;
}

void MdtChip::OnRemoved() {
    mode_ = Mode::Off;
    driving_ = false;
}

void MdtChip::Leave(ChipPins& pins) {
    ReleasePort(pins);
    mode_ = Mode::Off;
    progSum_ = 0;
}

void MdtChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = pins.SupplyVoltage(part_.vdd);
    const Tenths vpp = pins.SupplyVoltage(part_.mclr);
    const bool powered = pins.Grounded(part_.vss) && vdd >= kPowerOnReset;
    const bool inWindow = vpp >= VppMin && vpp <= VppMax;
    const bool clk = pins.High(part_.clk), ps = pins.High(part_.ps), rs = pins.High(part_.rs);
    const bool hs = pins.High(part_.hs);
    auto remember = [&] { clk_ = clk, ps_ = ps, rs_ = rs; };

    if (!powered || !inWindow || vdd < ReadVddMin || vdd > VddMax) {
        if (mode_ != Mode::Off) Leave(pins);
        armed_ = !inWindow;
        remember();
        return;
    }
    if (mode_ == Mode::Off) {
        const std::uint32_t port = pins.ReadBus(part_.port);
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
        strobeData_ = static_cast<std::uint8_t>(pins.ReadBus(part_.port) & 0x7F);
        strobeHigh_ = hs;
        progSum_ = 0;
        done_ = false;
    }
    if (!rs) {
        strobeHigh_ = ps ? hs : strobeHigh_;
        DrivePort(pins);
    } else if (!rs_ || driving_) {
        ReleasePort(pins);
    }
    remember();
}

void MdtChip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (mode_ != Mode::Active || ps_ || done_) return;
    const Tenths vdd = pins.SupplyVoltage(part_.vdd);
    const Tenths vpp = pins.SupplyVoltage(part_.mclr);
    if (vpp < VppMin || vpp > VppMax || vdd < ProgVddMin || vdd > VddMax) return;
    progSum_ += dt;
    if (static_cast<double>(progSum_) < static_cast<double>(MinProgram) * SlowFactor()) return;
    done_ = true;
    const int k = WordIndex();
    if (k < 0) return;
    ++programmed_;
    const std::uint16_t mask = strobeHigh_ ? static_cast<std::uint16_t>((strobeData_ << 7) | 0x7F)
                                           : static_cast<std::uint16_t>(0x3F80 | strobeData_);
    if (configSpace_) {
        if (k == 0) config_ &= mask;
    } else if (!Protected()) {
        SetWord(k, static_cast<std::uint16_t>(Word(k) & mask));
    }
}

SeatedPart MakeMdt(std::string_view name) {
    const MdtPart* p = FindMdtPart(name);
    if (!p) return {};
    return {std::make_unique<MdtChip>(*p), Placement::Dip(p->pins)};
}

void RegisterMdt(ChipRegistry& registry) {
    for (const auto& p : MdtParts()) {
        const std::string name = p.name;
        registry.Add(name, [name] { return MakeMdt(name); });
    }
}

}  // namespace quilla::sim
