// "i2c24c": the I2C design. SDA (socket 21) and SCL (22) are open drain: the
// design pulls a line low or lets it go (the pull-up makes it high), so a low
// from the chip wins. The bus runs at 400 kHz (1.25 us per half clock, the
// time passing inside each opcode). A DIP8 part sits on 17-24; its A0-A2
// (17-19) and WP (23) are held low while the design is loaded.
//
//   0x1E   START (from idle or repeated): SDA and SCL let go, then SDA low, SCL low
//   0x38 b eight bits of b out, most significant first
//   0x1F   the ninth clock with SDA let go (the acknowledge is not kept)
//   0x39   eight bits in with SDA let go; the byte is captured
//   register 18 (control lines): line 1 is SDA, line 2 SCL; n low, n | 0x80 let go
//   0x4A/0x4B 8   set-up only
#pragma once

#include "sim/design.h"

namespace quilla::sim {

class I2c24cDesign : public Design {
public:
    static constexpr std::string_view TagName = "i2c24c";
    static constexpr int SdaPin = 21, SclPin = 22;
    std::string_view Tag() const override { return TagName; }

    void OnLoaded(DesignContext& ctx) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

private:
    // One step of the bus: a line low (false) or let go (true), then half a clock.
    static void Line(DesignContext& ctx, int pin, bool high);
    static void Clock(DesignContext& ctx);
};

}  // namespace quilla::sim
