#include "sim/chips/holtek.h"

namespace quilla::sim {

namespace {

constexpr Tenths kPowerOnReset = 15;

// An n-pin package as the placement diagrams with first row 3 draw it: chip
// pin k of the first half on socket 2 + k, the second half ending on socket 38.
std::vector<int> FromRow3(int n) {
    std::vector<int> v;
    for (int k = 1; k <= n; ++k) v.push_back(k <= n / 2 ? 2 + k : 38 - n + k);
    return v;
}

constexpr HoltekPins kDip18{18, 8, 11, 12, 13, 16, 17, {4, 3, 2, 1}};
constexpr HoltekPins kSop20{20, 9, 10, 6, 8, 16, 17, {2, 1, 20, 19}};

}  // namespace

const std::vector<HoltekPart>& HoltekParts() {
    static const std::vector<HoltekPart> parts{
        {"HT48R05A-1", 512, &kDip18}, {"HT48R10A-1", 1024, &kDip18}, {"HT48RA0A", 1024, &kSop20}};
    return parts;
}

HoltekChip::HoltekChip(const HoltekPart& part)
    : part_(part), pin_(*part.pins), image_(static_cast<std::size_t>(2 * part.words), 0) {}

AbsoluteMaximum HoltekChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 65;
    r.pins = {{pin_.res, 135}};
    return r;
}

std::uint16_t HoltekChip::Word(int address) const {
    if (address < 0 || address >= part_.words) return 0;
    const auto i = static_cast<std::size_t>(2 * address);
    return static_cast<std::uint16_t>((image_[i] | (image_[i + 1] << 8)) & 0x3FFF);
}

void HoltekChip::SetWord(int address, std::uint16_t w) {
    if (address < 0 || address >= part_.words) return;
    const auto i = static_cast<std::size_t>(2 * address);
    image_[i] = static_cast<std::uint8_t>(w & 0xFF);
    image_[i + 1] = static_cast<std::uint8_t>((w >> 8) & 0x3F);
}

std::uint16_t HoltekChip::Current() const {
    if (area_ == 2) return address_ >= 0 && address_ < 32 ? options_[static_cast<std::size_t>(address_)] : 0;
    if (area_ == 0) return Locked() ? 0 : Word(address_);
    return 0;
}

void HoltekChip::Release(ChipPins& pins) {
    if (!driving_) return;
    for (int p : pin_.data) pins.Release(p);
    driving_ = false;
}

void HoltekChip::Leave(ChipPins& pins) {
    Release(pins);
    ready_ = false;
    phase_ = Phase::Idle;
}

void HoltekChip::OnRemoved() {
    ready_ = false;
    driving_ = false;
}

void HoltekChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = pins.SupplyVoltage(pin_.vdd);
    const Tenths vpp = pins.SupplyVoltage(pin_.res);
    const bool powered = pins.Grounded(pin_.vss) && vdd >= kPowerOnReset;
    const bool inWindow = vpp >= VppMin && vpp <= VppMax;
    const bool clk = pins.High(pin_.clk), sel = pins.High(pin_.sel), rd = pins.High(pin_.rd);
    auto remember = [&] { clk_ = clk, sel_ = sel; };

    if (!powered || !inWindow || vdd < ReadVddMin || vdd > VddMax) {
        if (ready_ || driving_) Leave(pins);
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
        Release(pins);
    }
    if (!rd && phase_ != Phase::Id) Release(pins);
    if (!clk && clk_) {
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
                    const unsigned v = (Current() >> (4 * readNibble_)) & 0xFu;
                    for (int i = 0; i < 4; ++i) pins.Drive(pin_.data[static_cast<std::size_t>(i)], (v >> i) & 1u);
                    driving_ = true;
                } else {
                    if (nibbles_ == 4) nibbles_ = 0;
                    if (nibbles_ == 0) shift_ = 0;
                    shift_ |= nibble << (4 * nibbles_);
                    ++nibbles_;
                    progSum_ = 0;
                    done_ = false;
                }
                break;
            case Phase::Id: {
                const unsigned bit = (Id >> (readNibble_ & 7)) & 1u;
                pins.Drive(pin_.data[0], bit != 0);
                for (int i = 1; i < 4; ++i) pins.Drive(pin_.data[static_cast<std::size_t>(i)], false);
                driving_ = true;
                break;
            }
            case Phase::Idle:
                break;
        }
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

void HoltekChip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!ready_ || phase_ != Phase::Data || clk_ || nibbles_ != 4 || done_ || area_ < 0) return;
    if (pins.High(pin_.rd)) return;
    const Tenths vdd = pins.SupplyVoltage(pin_.vdd);
    const Tenths vpp = pins.SupplyVoltage(pin_.res);
    if (vpp < VppMin || vpp > VppMax || vdd < ProgVddMin || vdd > VddMax) return;
    progSum_ += dt;
    if (static_cast<double>(progSum_) < static_cast<double>(MinProgram) * SlowFactor()) return;
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
    for (const auto& p : HoltekParts()) {
        const std::string name = p.name;
        const HoltekPart* part = &p;
        registry.Add(name, [part] {
            const int n = part->pins->count;
            return SeatedPart{std::make_unique<HoltekChip>(*part),
                              Placement::Custom(std::to_string(n) + (n == 18 ? "DIP" : "SOP"), FromRow3(n))};
        });
    }
}

}  // namespace quilla::sim
