// "lp76x": the byte-serial link of the 87LPC76x form. The chip sits where the
// form's placement diagram puts it; its programming clock meets socket 31 and
// its programming data socket 32 in every package (14, 16 and 20 pins).
//
//   load     the clock line driven low (its idle level)
//   0x2F v   shifts v into the chip, bit 7 first: socket 32 := the bit, then
//            socket 31 high and low (the chip takes the bit on the rising edge)
//   0x30     shifts one byte out of the chip into the reply: socket 32 released,
//            eight clocks on socket 31, the bit sampled while the clock is high,
//            bit 7 first
//
// Frame timing and bit order are this design's own. The two lines are the
// design's serial engine: a pin option (the form sets one on every pin) does not
// release them.
#pragma once

#include "sim/design.h"

namespace quilla::sim {

class Lp76xDesign : public Design {
public:
    static constexpr std::string_view TagName = "lp76x";
    static constexpr int ClockPin = 31, DataPin = 32;
    std::string_view Tag() const override { return TagName; }
    void OnLoaded(DesignContext& ctx) override;
    void OnUnloaded(DesignContext& ctx) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;
};

}  // namespace quilla::sim
