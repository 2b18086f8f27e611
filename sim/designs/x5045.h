// The X5045 designs. The host toggles the bus bit by bit:
//
//   register 18 (control lines): line 1 SCK, line 2 SI, line 3 /CS; n low,
//             n | 0x80 high
//   0x01      captures SO in bit 0
//
// From the load on /WP is held high, /CS high, SCK and SI low.
//
//   "x5045dip08"  the 8-pin part on socket 17-24: /CS 17, SO 18, /WP 19,
//                 VSS 20, SI 21, SCK 22, RESET 23, VCC 24
//   "x5045dip14"  the 14-lead part from socket 14 (pin n on socket 13 + n):
//                 /CS 14, SO 15, /WP 19, VSS 20, SI 21, SCK 22, RESET 26,
//                 VCC 27 (its pins 3-5 and 10-12 are not connected)
#pragma once

#include "sim/design.h"

namespace quilla::sim {

class X5045Design : public Design {
public:
    struct Pins {
        int cs, so, wp, si, sck;
    };
    explicit X5045Design(Pins pins) : pins_(pins) {}

    void OnLoaded(DesignContext& ctx) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

private:
    Pins pins_;
};

class X5045Dip08Design : public X5045Design {
public:
    static constexpr std::string_view TagName = "x5045dip08";
    static constexpr int CsPin = 17, SoPin = 18, WpPin = 19, SiPin = 21, SckPin = 22;
    X5045Dip08Design() : X5045Design({CsPin, SoPin, WpPin, SiPin, SckPin}) {}
    std::string_view Tag() const override { return TagName; }
};

class X5045Dip14Design : public X5045Design {
public:
    static constexpr std::string_view TagName = "x5045dip14";
    static constexpr int CsPin = 14, SoPin = 15, WpPin = 19, SiPin = 21, SckPin = 22;
    X5045Dip14Design() : X5045Design({CsPin, SoPin, WpPin, SiPin, SckPin}) {}
    std::string_view Tag() const override { return TagName; }
};

}  // namespace quilla::sim
