#include "sim/chips/lpc76x.h"

#include <algorithm>

namespace quilla::sim {

namespace {
constexpr Nanos kProgram = 15 * Microsecond;

int FirstRow(int pins) { return pins == 14 ? 8 : pins == 16 ? 7 : 6; }
}  // namespace

std::vector<int> Lpc76xChip::SocketPins(int n) {
    const int f = FirstRow(n);
    std::vector<int> socket(static_cast<std::size_t>(n));
    for (int k = 1; k <= n; ++k)
        socket[static_cast<std::size_t>(k - 1)] = k <= n / 2 ? f + k - 1 : 41 - f - n + k;
    return socket;
}

Lpc76xChip::Lpc76xChip(Lpc76xPart part) : part_(std::move(part)), code_(part_.size, 0xFF), user_(32, 0xFF) {
    const std::vector<int> socket = SocketPins(part_.pins);
    auto chipPin = [&](int s) {
        const auto it = std::find(socket.begin(), socket.end(), s);
        return static_cast<int>(it - socket.begin()) + 1;
    };
    rst_ = chipPin(9);
    vss_ = chipPin(10);
    vdd_ = chipPin(30);
    clk_ = chipPin(31);
    dat_ = chipPin(32);
}

AbsoluteMaximum Lpc76xChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 70;
    r.pins.push_back({rst_, 130});
    return r;
}

void Lpc76xChip::Reset() {
    active_ = false;
    bits_ = 0;
    shift_ = 0;
    expect_ = 0;
    programming_ = false;
    outBits_ = 0;
}

std::uint8_t Lpc76xChip::ReadAt(std::uint32_t a) const {
    const bool secured = (cfg_[1] & 0xC0) == 0;
    if (a < part_.size) return secured ? 0xFF : code_[a];
    if (a == 0xFC30) return 0x15;
    if (a == 0xFC31) return part_.device;
    if (a >= 0xFCE0 && a <= 0xFCFF) return user_[a - 0xFCE0];
    if (a == 0xFD00 || a == 0xFD01) return cfg_[a - 0xFD00];
    return 0xFF;
}

void Lpc76xChip::ProgramAt(std::uint32_t a, std::uint8_t v) {
    const bool secured = (cfg_[1] & 0xC0) == 0;
    if (a < part_.size) {
        if (!secured) code_[a] &= v;
    } else if (a >= 0xFCE0 && a <= 0xFCFF) {
        user_[a - 0xFCE0] &= v;
    } else if (a == 0xFD00 || a == 0xFD01) {
        cfg_[a - 0xFD00] &= v;
    }
}

void Lpc76xChip::Frame(std::uint8_t v) {
    switch (expect_) {
        case 8: address_ = (address_ & 0xFF00u) | v; expect_ = 0; return;
        case 10: address_ = (address_ & 0x00FFu) | (static_cast<std::uint32_t>(v) << 8); expect_ = 0; return;
        case 2: load_ = v; expect_ = 0; return;
        default: break;
    }
    switch (v) {
        case 2: case 8: case 10: expect_ = v; break;
        case 6: address_ = (address_ + 1) & 0xFFFFu; break;
        // The byte goes out from the frame's last falling edge on.
        case 4: out_ = ReadAt(address_); outBits_ = 9; break;
        case 12: programming_ = true; programTime_ = 0; break;
        case 14:
            if (programming_ && static_cast<double>(programTime_) >= static_cast<double>(kProgram) * SlowFactor())
                ProgramAt(address_, load_);
            programming_ = false;
            break;
        default: break;
    }
}

void Lpc76xChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = pins.SupplyVoltage(vdd_), vpp = pins.SupplyVoltage(rst_);
    const bool on = pins.Grounded(vss_) && vdd >= 45 && vdd <= 55 && vpp >= 105 && vpp <= 115;
    const bool clock = pins.High(clk_);
    if (!on) {
        Reset();
        clockHigh_ = clock;
        pins.Release(dat_);
        return;
    }
    if (!active_) {
        active_ = true;
        clockHigh_ = clock;
    }
    if (clock && !clockHigh_) {
        if (outBits_ == 0) {
            shift_ = static_cast<std::uint8_t>((shift_ << 1) | (pins.High(dat_) ? 1 : 0));
            if (++bits_ == 8) {
                bits_ = 0;
                Frame(shift_);
            }
        }
    } else if (!clock && clockHigh_ && outBits_ > 0) {
        --outBits_;
    }
    clockHigh_ = clock;
    if (outBits_ > 0 && outBits_ <= 8) pins.Drive(dat_, (out_ >> (outBits_ - 1)) & 1u);
    else pins.Release(dat_);
}

void Lpc76xChip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (programming_) programTime_ += dt;
}

void Lpc76xChip::OnRemoved() {
    Reset();
    clockHigh_ = false;
}

namespace {
const std::vector<Lpc76xPart>& Parts() {
    static const std::vector<Lpc76xPart> parts = {
        {"P87LPC760", 14, 0x400, 0x60}, {"P87LPC761", 16, 0x800, 0x61}, {"P87LPC762", 20, 0x800, 0x62},
        {"P87LPC764", 20, 0x1000, 0x64}, {"P87LPC767", 20, 0x1000, 0x67}, {"P87LPC768", 20, 0x1000, 0x68},
        {"P87LPC769", 20, 0x1000, 0x69},
    };
    return parts;
}
}  // namespace

SeatedPart MakeLpc76x(std::string_view name) {
    for (const Lpc76xPart& p : Parts())
        if (name == p.name)
            return {std::make_unique<Lpc76xChip>(p),
                    Placement::Custom("DIP" + std::to_string(p.pins) + " diagram", Lpc76xChip::SocketPins(p.pins))};
    return {};
}

void RegisterLpc76x(ChipRegistry& registry) {
    for (const Lpc76xPart& p : Parts()) {
        const std::string n = p.name;
        registry.Add(n, [n] { return MakeLpc76x(n); });
    }
}

}  // namespace quilla::sim
