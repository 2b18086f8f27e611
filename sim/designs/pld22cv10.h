// "pld22cv10": vex300's latches, data port and pin options, with the two
// captures the 22CV10 form's column read decodes (vex300's own capture 3
// reads the data port instead):
//
//   0x02      captures socket pins 18..25 (bit k = pin 18 + k: the chip's
//             column outputs on 24, 25 in bits 6, 7)
//   0x03      captures socket pins 26..33 (bit k = pin 26 + k: the column
//             outputs on 26..31 in bits 0..5)
//
// The name and the captures are ours: the form's own setup loads no design
// (it relies on whatever the previous form left), so it loads this one.
#pragma once

#include "sim/designs/vex300.h"

namespace quilla::sim {

class Pld22cv10Design : public Vex300Design {
public:
    static constexpr std::string_view TagName = "pld22cv10";
    std::string_view Tag() const override { return TagName; }

    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;
};

}  // namespace quilla::sim
