#include "sim/chips/cr80.h"

namespace quilla::sim {

namespace {

// 18-pin (VPP 3, VSS 5, VDD 14) and 28-pin (VPP 1, VDD 2, VSS 4) packages:
// the socket pins of the "cr80px00" design's lines and port in each
// package's position.
constexpr Cr80Pins kDip18{.count = 18, .vdd = 14, .vss = 5, .vpp = 3, .read = 1, .entry = 8, .mode = 9, .half = 17,
                          .p = 6, .q = 7, .clk = 16, .port = {10, 11, 12, 13, 15, 18, 4}};
constexpr Cr80Pins kDip28{.count = 28, .vdd = 2, .vss = 4, .vpp = 1, .read = 6, .entry = 7, .mode = 26, .half = 11,
                          .p = 13, .q = 14, .clk = 27, .port = {15, 16, 17, 18, 20, 23, 9}};

}  // namespace

const std::vector<Cr80Part>& Cr80Parts() {
    static const std::vector<Cr80Part> parts{
        {.name = "CR80P100", .pins = &kDip18, .words = 1024, .entryClocks = 5},
        {.name = "JS991", .pins = &kDip18, .words = 1024, .entryClocks = 2},
        {.name = "CR80P200", .pins = &kDip28, .words = 2048, .entryClocks = 5},
    };
    return parts;
}

const Cr80Part* FindCr80Part(std::string_view name) { return FindPartByName(Cr80Parts(), name); }

Cr80Chip::Cr80Chip(const Cr80Part& part)
    : PinTableChip(part, PackageTable(*part.pins, part.pins->vpp, Rated)),
      pin_(*part.pins) {
    otp_.fill(Erased);
    option_.fill(Erased);
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

void Cr80Chip::OnRemoved() {
    mode_ = Mode::Off;
    port_.Forget();
}

void Cr80Chip::Leave(ChipPins& pins) {
    port_.Release(pins, pin_.port);
    mode_ = Mode::Off;
    progSum_ = 0;
}

void Cr80Chip::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = VddSupply(pins);
    const bool powered = Grounded(pins) && vdd >= PowerOnReset;
    const bool inWindow = VppWindow.Holds(VppSupply(pins));
    const bool clk = pins.High(pin_.clk), q = pins.High(pin_.q), read = pins.High(pin_.read), p = pins.High(pin_.p);
    auto remember = [&] { clk_ = clk, q_ = q, read_ = read, p_ = p; };

    if (!powered || !inWindow || !ReadVdd.Holds(vdd)) {
        if (mode_ != Mode::Off) Leave(pins);
        armed_ = !inWindow;
        remember();
        return;
    }
    if (mode_ == Mode::Off) {
        const std::uint32_t port = pins.ReadBus(pin_.port);
        const bool areaOk = port == Program || port == OtpRow || port == Option || port == Security;
        if (armed_ && areaOk && pins.High(pin_.mode) && !pins.High(pin_.entry) && !read && p && q) {
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
        const auto value = static_cast<std::uint8_t>(pins.ReadBus(pin_.port) & 0x7F);
        const bool high = pins.High(pin_.half);
        if (value != latched_ || high != latchedHigh_) {
            progSum_ = 0;
            done_ = false;
        }
        latched_ = value;
        latchedHigh_ = high;
    }
    if (read) port_.Drive(pins, pin_.port, HalfOfWord(ReadWordAt(WordIndex()), pins.High(pin_.half)));
    else port_.Release(pins, pin_.port);
    remember();
}

void Cr80Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (mode_ != Mode::Active || q_ || !p_ || read_ || done_) return;
    if (!VppWindow.Holds(VppSupply(pins)) || !ProgramVdd.Holds(VddSupply(pins))) return;
    progSum_ += dt;
    if (!Reached(progSum_, MinProgram)) return;
    done_ = true;
    ++programmed_;
    const std::uint16_t mask = HalfProgramMask(latched_, latchedHigh_);
    const int k = WordIndex();
    if (area_ == Program) {
        if (security_ == Erased) SetWord(k, static_cast<std::uint16_t>(Word(k) & mask));
    } else if (std::uint16_t* c = Cell(k)) {
        *c &= mask;
    }
}

void RegisterCr80(ChipRegistry& registry) {
    RegisterPinTableParts<Cr80Chip>(registry, Cr80Parts());
}

}  // namespace quilla::sim
