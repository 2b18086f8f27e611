#include "sim/chips/holtek.h"

namespace quilla::sim {

namespace {

// An n-pin package as the placement diagrams with first row 3 draw it: chip
// pin k of the first half on socket 2 + k, the second half ending on socket 38.
std::vector<int> FromRow3(int n) {
    std::vector<int> v;
    for (int k = 1; k <= n; ++k) v.push_back(k <= n / 2 ? 2 + k : 38 - n + k);
    return v;
}

constexpr HoltekPins kDip18{
    .count = 18, .vss = 8, .res = 11, .vdd = 12, .clk = 13, .sel = 16, .rd = 17, .data = {4, 3, 2, 1}};
constexpr HoltekPins kSop20{
    .count = 20, .vss = 9, .res = 10, .vdd = 6, .clk = 8, .sel = 16, .rd = 17, .data = {2, 1, 20, 19}};

}  // namespace

const std::vector<HoltekPart>& HoltekParts() {
    static const std::vector<HoltekPart> parts{
        {.name = "HT48R05A-1", .words = 512, .pins = &kDip18},
        {.name = "HT48R10A-1", .words = 1024, .pins = &kDip18},
        {.name = "HT48RA0A", .words = 1024, .pins = &kSop20},
    };
    return parts;
}

HoltekChip::HoltekChip(const HoltekPart& part)
    : PinTableChip(part, PackageTable(*part.pins, part.pins->res, Rated)),
      pin_(*part.pins) {}

std::uint16_t HoltekChip::Current() const {
    if (area_ == 2) return address_ >= 0 && address_ < 32 ? options_[static_cast<std::size_t>(address_)] : 0;
    if (area_ == 0) return Locked() ? 0 : Word(address_);
    return 0;
}

void HoltekChip::Leave(ChipPins& pins) {
    port_.Release(pins, pin_.data);
    ready_ = false;
    phase_ = Phase::Idle;
}

void HoltekChip::OnRemoved() {
    ready_ = false;
    port_.Forget();
}

void HoltekChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = VddSupply(pins);
    const bool powered = Grounded(pins) && vdd >= PowerOnReset;
    const bool inWindow = VppWindow.Holds(VppSupply(pins));
    const bool clk = pins.High(pin_.clk), sel = pins.High(pin_.sel), rd = pins.High(pin_.rd);
    auto remember = [&] { clk_ = clk, sel_ = sel; };

    if (!powered || !inWindow || !ReadVdd.Holds(vdd)) {
        if (ready_ || port_.Driving()) Leave(pins);
        armed_ = !inWindow;
        remember();
        return;
    }
    if (!ready_) {
        ready_ = armed_ && sel && clk && !rd;
        armed_ = false;
        phase_ = Phase::Idle;
        remember();
        return;
    }
    if (!sel && sel_) {
        phase_ = rd ? Phase::Id : Phase::Address;
        shift_ = 0;
        nibbles_ = 0;
        readNibble_ = 0;
        area_ = -1;
    } else if (sel && !sel_) {
        phase_ = Phase::Idle;
        port_.Release(pins, pin_.data);
    }
    if (!rd && phase_ != Phase::Id) port_.Release(pins, pin_.data);
    if (!clk && clk_) {
        TakeNibble(pins, rd);
    } else if (clk && !clk_) {
        if (phase_ == Phase::Data && rd && ++readNibble_ == 4) {
            readNibble_ = 0;
            ++address_;
            nibbles_ = 0;
        } else if (phase_ == Phase::Id) {
            ++readNibble_;
        }
    }
    remember();
}

// A CLK falling edge: the next nibble of the address or the word in, or the
// next nibble of the word or bit of the ID out.
void HoltekChip::TakeNibble(ChipPins& pins, bool rd) {
    const unsigned nibble = pins.ReadBus(pin_.data) & 0xFu;
    switch (phase_) {
        case Phase::Address:
            shift_ |= nibble << (4 * nibbles_);
            if (++nibbles_ == AddressNibbles()) {
                const int bits = AddressNibbles() == 5 ? 18 : 14;
                address_ = static_cast<int>(shift_ & ((1u << bits) - 1));
                const unsigned area = (shift_ >> bits) & 3u;
                area_ = area == 0 || area == 2 ? static_cast<int>(area) : -1;
                phase_ = Phase::Data;
                shift_ = 0;
                nibbles_ = 0;
                readNibble_ = 0;
            }
            break;
        case Phase::Data:
            if (rd) {
                port_.Drive(pins, pin_.data, (Current() >> (4 * readNibble_)) & 0xFu);
            } else {
                if (nibbles_ == 4) nibbles_ = 0;
                if (nibbles_ == 0) shift_ = 0;
                shift_ |= nibble << (4 * nibbles_);
                ++nibbles_;
                progSum_ = 0;
                done_ = false;
            }
            break;
        case Phase::Id:
            port_.Drive(pins, pin_.data, (Id >> (readNibble_ & 7)) & 1u);
            break;
        case Phase::Idle:
            break;
    }
}

void HoltekChip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!ready_ || phase_ != Phase::Data || clk_ || nibbles_ != 4 || done_ || area_ < 0) return;
    if (pins.High(pin_.rd)) return;
    if (!VppWindow.Holds(VppSupply(pins)) || !ProgramVdd.Holds(VddSupply(pins))) return;
    progSum_ += dt;
    if (!Reached(progSum_, MinProgram)) return;
    done_ = true;
    ++programmed_;
    const auto w = static_cast<std::uint16_t>(shift_ & 0x3FFF);
    if (area_ == 2) {
        if (address_ >= 0 && address_ < 32) options_[static_cast<std::size_t>(address_)] |= w;
    } else if (!Locked()) {
        SetWord(address_, static_cast<std::uint16_t>(Word(address_) | w));
    }
}

void RegisterHoltek(ChipRegistry& registry) {
    RegisterPinTableParts<HoltekChip>(registry, HoltekParts(), [](const HoltekPart& p) {
        const int n = p.pins->count;
        return Placement::Custom(std::to_string(n) + (n == 18 ? "DIP" : "SOP"), FromRow3(n));
    });
}

}  // namespace quilla::sim
