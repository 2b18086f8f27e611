// The Holtek OTP designs: the nibble interface of the HTOTP form.
//
//   latch 0      bits 0-3 on PA0-PA3, driven while line 3 is low
//   line 1       OSC1: the nibble clock
//   line 2       high while the chip is idle, low while it is addressed
//   line 3       high while the chip drives the nibble pins (reads)
//   0x01         captures the nibble pins into the low four bits of one reply byte
// (n low, n | 80h high, through register 18; another line is a violation).
//
//   "HoltekStd"  the 18-pin parts as the "18DIP" diagram seats them (chip pin 1
//                on socket 3): PA0-PA3 on socket 6, 5, 4, 3; line 1 on 33
//                (OSC1), line 2 on 36, line 3 on 37
//   "Holtek2"    the 20-pin HT48RA0A as the "20SOP" diagram seats it (chip pin
//                1 on socket 3): PA0-PA3 on socket 4, 3, 38, 37; line 1 on 10
//                (OSC1), line 2 on 34 (PA6), line 3 on 35 (PA5)
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "sim/design.h"

namespace quilla::sim {

class HoltekDesign : public Design {
public:
    HoltekDesign(std::string_view tag, std::array<int, 4> nibble, std::array<int, 4> linePins)
        : tag_(tag), nibble_(nibble), linePins_(linePins) {}
    std::string_view Tag() const override { return tag_; }

    void OnLoaded(DesignContext& ctx) override;
    void OnUnloaded(DesignContext& ctx) override { ctx.ReleaseAll(); }
    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

private:
    void DriveNibble(DesignContext& ctx);
    std::string_view tag_;
    std::array<int, 4> nibble_;    // PA0-PA3
    std::array<int, 4> linePins_;  // lines 1-3 at [1..3]
    bool written_ = false;
    std::uint8_t value_ = 0;
    bool reading_ = false;
};

class HoltekStdDesign : public HoltekDesign {
public:
    static constexpr std::string_view TagName = "HoltekStd";
    HoltekStdDesign() : HoltekDesign(TagName, {6, 5, 4, 3}, {0, 33, 36, 37}) {}
};

class Holtek2Design : public HoltekDesign {
public:
    static constexpr std::string_view TagName = "Holtek2";
    Holtek2Design() : HoltekDesign(TagName, {4, 3, 38, 37}, {0, 10, 34, 35}) {}
};

}  // namespace quilla::sim
