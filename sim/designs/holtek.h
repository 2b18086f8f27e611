// The Holtek OTP design ("HoltekStd"): the nibble interface of the HTOTP form
// for the 18-pin parts placed as the "18DIP" placement diagram puts them
// (chip pin 1 on socket 3).
//
//   latch 0      bits 0-3 on socket 6, 5, 4, 3 (PA0-PA3), driven while line 3 is low
//   line 1       socket 33 (OSC1): the nibble clock
//   line 2       socket 36: high while the chip is idle, low while it is addressed
//   line 3       socket 37: high while the chip drives the nibble pins (reads)
//   0x01         captures the nibble pins into the low four bits of one reply byte
// (n low, n | 80h high, through register 18; another line is a violation).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "sim/design.h"

namespace quilla::sim {

class HoltekStdDesign : public Design {
public:
    static constexpr std::string_view TagName = "HoltekStd";
    std::string_view Tag() const override { return TagName; }

    static constexpr std::array<int, 4> Nibble{6, 5, 4, 3};
    static constexpr std::array<int, 4> LinePins{0, 33, 36, 37};

    void OnLoaded(DesignContext& ctx) override;
    void OnUnloaded(DesignContext& ctx) override { ctx.ReleaseAll(); }
    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

private:
    void DriveNibble(DesignContext& ctx);
    bool written_ = false;
    std::uint8_t value_ = 0;
    bool reading_ = false;
};

}  // namespace quilla::sim
