#include "sim/chips/cr80.h"

namespace quilla::sim {

namespace {

constexpr Tenths kPowerOnReset = 15;

std::vector<Cr80Part> BuildParts() {
    // 18-pin (VPP 3, VSS 5, VDD 14): READ 1, P 6, Q 7, ENTRY 8, MODE 9, CLK 16,
    // HALF 17, port 10 11 12 13 15 18 4. 28-pin (VPP 1, VDD 2, VSS 4): READ 6,
    // ENTRY 7, HALF 11, P 13, Q 14, MODE 26, CLK 27, port 15 16 17 18 20 23 9.
    // (The socket pins of the "cr80px00" design's lines and port in each
    // package's position.)
    const std::array<int, 7> port18{10, 11, 12, 13, 15, 18, 4};
    const std::array<int, 7> port28{15, 16, 17, 18, 20, 23, 9};
    return {
        {"CR80P100", 18, 14, 5, 3, 1, 8, 9, 17, 6, 7, 16, port18, 1024, 5},
        {"JS991", 18, 14, 5, 3, 1, 8, 9, 17, 6, 7, 16, port18, 1024, 2},
        {"CR80P200", 28, 2, 4, 1, 6, 7, 26, 11, 13, 14, 27, port28, 2048, 5},
    };
}

}  // namespace

const std::vector<Cr80Part>& Cr80Parts() {
    static const std::vector<Cr80Part> parts = BuildParts();
    return parts;
}

const Cr80Part* FindCr80Part(std::string_view name) {
    for (const auto& p : Cr80Parts())
        if (name == p.name) return &p;
    return nullptr;
}

Cr80Chip::Cr80Chip(const Cr80Part& part) : part_(part), image_(static_cast<std::size_t>(2 * part.words)) {
    for (int a = 0; a < part.words; ++a) SetWord(a, Erased);
    otp_.fill(Erased);
    option_.fill(Erased);
}

AbsoluteMaximum Cr80Chip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 65;
    r.pins = {{part_.vpp, 135}};
    return r;
}

std::uint16_t Cr80Chip::Word(int address) const {
    if (address < 0 || address >= part_.words) return Erased;
    const auto i = static_cast<std::size_t>(2 * address);
    return static_cast<std::uint16_t>((image_[i] | (image_[i + 1] << 8)) & Erased);
}

void Cr80Chip::SetWord(int address, std::uint16_t w) {
    if (address < 0 || address >= part_.words) return;
    const auto i = static_cast<std::size_t>(2 * address);
    image_[i] = static_cast<std::uint8_t>(w & 0xFF);
    image_[i + 1] = static_cast<std::uint8_t>((w >> 8) & 0x3F);
}

std::uint16_t* Cr80Chip::Cell(int k) {
    switch (area_) {
        case OtpRow: return k < 8 ? &otp_[static_cast<std::size_t>(k)] : nullptr;
        case Option: return k < 2 ? &option_[static_cast<std::size_t>(k)] : nullptr;
        case Security: return k == 0 ? &security_ : nullptr;
        default: return nullptr;
    }
}

std::uint16_t Cr80Chip::ReadWordAt(int k) const {
    if (area_ == Program) return security_ != Erased ? 0 : Word(k);
    auto* self = const_cast<Cr80Chip*>(this);
    const std::uint16_t* c = self->Cell(k);
    return c ? *c : Erased;
}

void Cr80Chip::DrivePort(ChipPins& pins) {
    const std::uint16_t w = ReadWordAt(WordIndex());
    const unsigned half = pins.High(part_.half) ? (w >> 7) & 0x7Fu : w & 0x7Fu;
    for (int i = 0; i < 7; ++i) pins.Drive(part_.port[static_cast<std::size_t>(i)], (half >> i) & 1u);
    driving_ = true;
}

void Cr80Chip::ReleasePort(ChipPins& pins) {
    if (!driving_) return;
    for (int p : part_.port) pins.Release(p);
    driving_ = false;
}

void Cr80Chip::OnRemoved() {
    mode_ = Mode::Off;
    driving_ = false;
}

void Cr80Chip::Leave(ChipPins& pins) {
    ReleasePort(pins);
    mode_ = Mode::Off;
    progSum_ = 0;
}

void Cr80Chip::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = pins.SupplyVoltage(part_.vdd);
    const Tenths vpp = pins.SupplyVoltage(part_.vpp);
    const bool powered = pins.Grounded(part_.vss) && vdd >= kPowerOnReset;
    const bool inWindow = vpp >= VppMin && vpp <= VppMax;
    const bool clk = pins.High(part_.clk), q = pins.High(part_.q), read = pins.High(part_.read),
               p = pins.High(part_.p);
    auto remember = [&] { clk_ = clk, q_ = q, read_ = read, p_ = p; };

    if (!powered || !inWindow || vdd < ReadVddMin || vdd > VddMax) {
        if (mode_ != Mode::Off) Leave(pins);
        armed_ = !inWindow;
        remember();
        return;
    }
    if (mode_ == Mode::Off) {
        const std::uint32_t port = pins.ReadBus(part_.port);
        const bool areaOk = port == Program || port == OtpRow || port == Option || port == Security;
        if (armed_ && areaOk && pins.High(part_.mode) && !pins.High(part_.entry) && !read && p && q) {
            mode_ = Mode::Entry;
            area_ = static_cast<int>(port);
            falls_ = 0;
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
    if (mode_ == Mode::Entry) {
        if (!clk && clk_) ++falls_;
        const bool ends = (read && !read_) || (!q && q_);
        if (!ends) {
            remember();
            return;
        }
        if (falls_ != part_.entryClocks) {
            mode_ = Mode::Deaf;
            remember();
            return;
        }
        mode_ = Mode::Active;
        falls_ = 0;
        progSum_ = 0;
        done_ = false;
    }
    if (!clk && clk_) {
        const int before = WordIndex();
        ++falls_;
        if (WordIndex() != before) {
            progSum_ = 0;
            done_ = false;
        }
    }
    if (!q && q_) {
        // Pulses of the same half and value add up; another half or value starts afresh.
        const auto value = static_cast<std::uint8_t>(pins.ReadBus(part_.port) & 0x7F);
        const bool high = pins.High(part_.half);
        if (value != latched_ || high != latchedHigh_) {
            progSum_ = 0;
            done_ = false;
        }
        latched_ = value;
        latchedHigh_ = high;
    }
    if (read) DrivePort(pins);
    else ReleasePort(pins);
    remember();
}

void Cr80Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (mode_ != Mode::Active || q_ || !p_ || read_ || done_) return;
    const Tenths vdd = pins.SupplyVoltage(part_.vdd);
    const Tenths vpp = pins.SupplyVoltage(part_.vpp);
    if (vpp < VppMin || vpp > VppMax || vdd < ProgVddMin || vdd > VddMax) return;
    progSum_ += dt;
    if (static_cast<double>(progSum_) < static_cast<double>(MinProgram) * SlowFactor()) return;
    done_ = true;
    ++programmed_;
    const std::uint16_t mask = latchedHigh_ ? static_cast<std::uint16_t>((latched_ << 7) | 0x7F)
                                            : static_cast<std::uint16_t>(0x3F80 | latched_);
    const int k = WordIndex();
    if (area_ == Program) {
        if (security_ == Erased) SetWord(k, static_cast<std::uint16_t>(Word(k) & mask));
    } else if (std::uint16_t* c = Cell(k)) {
        *c &= mask;
    }
}

SeatedPart MakeCr80(std::string_view name) {
    const Cr80Part* p = FindCr80Part(name);
    if (!p) return {};
    return {std::make_unique<Cr80Chip>(*p), Placement::Dip(p->pins)};
}

void RegisterCr80(ChipRegistry& registry) {
    for (const auto& p : Cr80Parts()) {
        const std::string name = p.name;
        registry.Add(name, [name] { return MakeCr80(name); });
    }
}

}  // namespace quilla::sim
