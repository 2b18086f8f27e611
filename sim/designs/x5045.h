// "x5045dip08": the X5045 design. The part sits on socket 17-24 (/CS 17, SO
// 18, /WP 19, VSS 20, SI 21, SCK 22, RESET 23, VCC 24); the host toggles the
// bus bit by bit:
//
//   register 18 (control lines): line 1 SCK (22), line 2 SI (21), line 3 /CS
//             (17); n low, n | 0x80 high
//   0x01      captures SO (18) in bit 0
//
// From the load on /WP is held high, /CS high, SCK and SI low.
#pragma once

#include "sim/design.h"

namespace quilla::sim {

class X5045Dip08Design : public Design {
public:
    static constexpr std::string_view TagName = "x5045dip08";
    static constexpr int CsPin = 17, SoPin = 18, WpPin = 19, SiPin = 21, SckPin = 22;
    std::string_view Tag() const override { return TagName; }

    void OnLoaded(DesignContext& ctx) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;
};

}  // namespace quilla::sim
