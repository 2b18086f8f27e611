// "at25spi": the design of the SPI 25-series serial memories. A DIP8 part sits
// on socket 17-24: /CS 17, SO 18, /WP 19, VSS 20, SI 21, SCK 22, /HOLD 23, VCC 24.
//
//   0x38 b    eight bits of b out on SI, SPI mode 0 (SI set while SCK is low,
//             SCK rising takes it), most significant first
//   0x39      eight bits in from SO (SI low), sampled while SCK is high; the
//             byte is captured
//   register 18 (control lines): line 4 is /CS, line 2 SCK's level; n low,
//             n | 0x80 high
//   0x4A/0x4B 8   set-up only
//
// SCK runs at 1 MHz (0.5 us a half clock, the time passing inside each
// opcode). From the load on /WP and /HOLD are held high, SCK and SI low and
// /CS high.
#pragma once

#include "sim/design.h"

namespace quilla::sim {

class At25SpiDesign : public Design {
public:
    static constexpr std::string_view TagName = "at25spi";
    static constexpr int CsPin = 17, SoPin = 18, WpPin = 19, SiPin = 21, SckPin = 22, HoldPin = 23;
    static constexpr Nanos HalfClock = 500;
    std::string_view Tag() const override { return TagName; }

    void OnLoaded(DesignContext& ctx) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;
};

}  // namespace quilla::sim
