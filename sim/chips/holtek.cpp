#include "sim/chips/holtek.h"

namespace quilla::sim {

namespace {

constexpr Tenths kPowerOnReset = 15;

// Chip pin k (1-9) on socket 2 + k, pins 10-18 on socket 20 + k: the 18-pin
// package as the "18DIP" placement diagram draws it (first row 3).
std::vector<int> Dip18FromRow3() {
    std::vector<int> v;
    for (int k = 1; k <= 18; ++k) v.push_back(k <= 9 ? 2 + k : 20 + k);
    return v;
}

}  // namespace

const std::vector<HoltekPart>& HoltekParts() {
    static const std::vector<HoltekPart> parts{{"HT48R05A-1", 512}, {"HT48R10A-1", 1024}};
    return parts;
}

HoltekChip::HoltekChip(const HoltekPart& part) : part_(part), image_(static_cast<std::size_t>(2 * part.words), 0) {}

AbsoluteMaximum HoltekChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 65;
    r.pins = {{Res, 135}};
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
    for (int p : Data) pins.Release(p);
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
    const Tenths vdd = pins.SupplyVoltage(Vdd);
    const Tenths vpp = pins.SupplyVoltage(Res);
    const bool powered = pins.Grounded(Vss) && vdd >= kPowerOnReset;
    const bool inWindow = vpp >= VppMin && vpp <= VppMax;
    const bool clk = pins.High(Clk), sel = pins.High(Sel), rd = pins.High(Rd);
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
        const unsigned nibble = pins.ReadBus(Data) & 0xFu;
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
                    for (int i = 0; i < 4; ++i) pins.Drive(Data[static_cast<std::size_t>(i)], (v >> i) & 1u);
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
                pins.Drive(Data[0], bit != 0);
                for (int i = 1; i < 4; ++i) pins.Drive(Data[static_cast<std::size_t>(i)], false);
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
    if (pins.High(Rd)) return;
    const Tenths vdd = pins.SupplyVoltage(Vdd);
    const Tenths vpp = pins.SupplyVoltage(Res);
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
            return SeatedPart{std::make_unique<HoltekChip>(*part), Placement::Custom("18DIP", Dip18FromRow3())};
        });
    }
}

}  // namespace quilla::sim
