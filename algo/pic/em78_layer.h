// The EM78 shift layer: what the EM78 OTP forms queue to reach their chip
// through an EM78 design (sim/designs/em78.h): the six lines of register 29
// (SetReg29Flag(n) high, SetReg29(n) low) and the design's shift opcodes
// (0x35 v n: the n most significant bits of v out, bit 7 first; 0x36 n: n bits
// in, right-aligned, one reply byte).
//
// Line 6 clocks the chip, line 5 is high while words go out and low while
// they come in, line 3 is low during the programming pulse.
#pragma once

#include <cstdint>

#include "engine/ep3.h"

namespace quilla::em78 {

inline constexpr int LineClock = 6;
inline constexpr int LineDirection = 5;
inline constexpr int LineEntry = 4;
inline constexpr int LinePulse = 3;

// Twice line 6 high, low: the chip's next word.
void Clock(TEp3& ep3);
// The 13 bits of w, most significant first (a shift of 5 and one of 8), the
// programming pulse (line 3 low, one wait 25, line 3 high) and Clock.
void ShiftOutWord(TEp3& ep3, std::uint32_t w);
// Line 5 low, 5 bits and 8 bits in (two reply bytes: bits 8-12, then 0-7),
// line 5 high and Clock.
void ShiftInWord(TEp3& ep3);

// A word from its two reply bytes (bits 8-12 first).
inline std::uint16_t ReplyWord(const std::uint8_t* two) {
    return static_cast<std::uint16_t>(((two[0] << 8) | two[1]) & 0x1FFF);
}

}  // namespace quilla::em78
