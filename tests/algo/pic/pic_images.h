// Images of the PIC form tests: random 14-bit words in the program area
// (word n at 2n, low byte first) and random bytes at the data EEPROM image
// (4000h + i), and the check that the chip model holds them.
#pragma once

#include <random>

#include "algo/pic/pic_form.h"
#include "algo/pic/pic_serial.h"
#include "sim/chips/pic14.h"
#include "support/sim_bench.h"

namespace quilla::test {

inline void FillPicImage(SimBench& b, int words, int ee, unsigned seed) {
    std::mt19937 rng(seed);
    for (int a = 0; a < words; ++a) {
        const std::uint16_t w = static_cast<std::uint16_t>(rng() & 0x3FFF);
        b.Image()[2 * a] = static_cast<std::uint8_t>(w);
        b.Image()[2 * a + 1] = static_cast<std::uint8_t>(w >> 8);
    }
    for (int i = 0; i < ee; ++i) b.Image()[0x4000 + i] = static_cast<std::uint8_t>(rng());
}

inline bool PicChipHoldsImage(SimBench& b, int words, int ee) {
    auto& c = b.ChipAs<sim::Pic14Chip>();
    for (int a = 0; a < words; ++a)
        if (c.Word(a) != (b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8))) return false;
    for (int i = 0; i < ee; ++i)
        if (c.Eeprom()[static_cast<std::size_t>(i)] != b.Image()[0x4000 + i]) return false;
    return true;
}

// The chip's configuration word and four user IDs are what the form meant to
// write (its ConfigWord and UserId): a configuration written to another
// address leaves them otherwise.
inline bool PicChipHoldsConfig(SimBench& b, const PicForm& f) {
    const auto& c = b.ChipAs<sim::Pic14Chip>();
    if (c.ConfigWord() != (f.ConfigWord & 0x3FFF)) return false;
    const auto ids = UserIdWords(f.UserId);
    for (int k = 0; k < 4; ++k)
        if (c.ConfigArea(k) != (ids[static_cast<std::size_t>(k)] & 0x3FFF)) return false;
    return true;
}

}  // namespace quilla::test
