// "ictest": the logic IC tester's design (pins ours). 24 socket lines, 9..32
// without the ground pin 20:
//
//   latch 1   S9..S16 (bit k on pin 9 + k)
//   latch 2   S17, S18, S19, S21..S25 (bits 0..7)
//   latch 3   S26..S32 (bits 0..6; bit 7 unused)
//   reg 21    a write puts the three latches onto the lines at once (a latch
//             write alone changes no pin, so a vector reaches the chip whole)
//   0x02      captures S9..S16, 0x03 S17-S19 and S21-S25, 0x04 S26..S32 (bit 7 0)
//
// The lines drive through a series resistance: where the chip drives a pin
// (an output), the chip's level wins and the capture reads it; elsewhere the
// line's level stands.
#pragma once

#include <array>

#include "sim/design.h"

namespace quilla::sim {

class IcTestDesign : public Design {
public:
    static constexpr std::string_view TagName = "ictest";
    std::string_view Tag() const override { return TagName; }

    static constexpr std::array<int, 8> Lines1{9, 10, 11, 12, 13, 14, 15, 16};
    static constexpr std::array<int, 8> Lines2{17, 18, 19, 21, 22, 23, 24, 25};
    static constexpr std::array<int, 7> Lines3{26, 27, 28, 29, 30, 31, 32};
    static constexpr std::uint8_t ApplyRegister = 21;

    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

    // Vectors applied since the design was loaded (tests).
    std::uint64_t Applied() const { return applied_; }

private:
    std::uint64_t applied_ = 0;
};

}  // namespace quilla::sim
