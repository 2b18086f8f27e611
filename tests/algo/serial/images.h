// Test images of the serial-memory tests.
#pragma once

#include "support/sim_bench.h"

namespace quilla::test {

// Random image bytes [0, n) without 0xFF: every byte differs from an erased one.
inline void DenseImage(SimBench& b, int n, unsigned seed) {
    b.RandomImage(n, seed);
    for (int i = 0; i < n; ++i)
        if (b.Image()[i] == 0xFF) b.Image()[i] = static_cast<std::uint8_t>(i);
}

}  // namespace quilla::test
