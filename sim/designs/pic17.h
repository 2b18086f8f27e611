// The PIC17C4x design "pic17dip40": the PIC17C42/43/44 in 40 pins, turned
// round in the 40-pin area (chip pin n on socket n + 20, n - 20 above 20; the
// form's rows put VPP on 12, VCC on 21 and ground on 30).
//
//   latch 0      the word's high byte on RC0-RC7 (socket 22-29)
//   latch 1      the word's low byte on RB0-RB7 (socket 31-38)
//                both are driven while line 4 is high and released while it
//                is low (the chip drives them)
//   register 18  line n low, n | 80h high (n 2..5; any other is a violation):
//                line 2 RA0 (programming pulse, socket 6), line 3 RA1 (clock,
//                socket 5), line 4 RA2 (direction, socket 4), line 5 TEST
//                (socket 7)
//   0x02         captures the low byte (RB0-RB7)
//   0x01         captures the high byte (RC0-RC7)
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "sim/design.h"

namespace quilla::sim {

class Pic17Dip40Design : public Design {
public:
    static constexpr std::string_view TagName = "pic17dip40";
    std::string_view Tag() const override { return TagName; }

    static constexpr std::array<int, 4> Lines{6, 5, 4, 7};  // lines 2-5
    static constexpr std::array<int, 8> Low{31, 32, 33, 34, 35, 36, 37, 38};
    static constexpr std::array<int, 8> High{22, 23, 24, 25, 26, 27, 28, 29};

    void OnLoaded(DesignContext& ctx) override;
    void OnUnloaded(DesignContext& ctx) override;
    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

private:
    void DriveBytes(DesignContext& ctx);

    std::uint8_t high_ = 0, low_ = 0;
    bool released_ = true;
};

}  // namespace quilla::sim
