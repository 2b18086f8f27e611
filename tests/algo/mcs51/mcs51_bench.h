// Helpers of the 8051 form tests: the bench with an 8051 part seated, and the
// chip's lock bits.
#pragma once

#include <string>

#include "algo/common/form.h"
#include "sim/chips/at89.h"
#include "sim/chips/mode_table.h"
#include "support/sim_bench.h"

namespace quilla::test {

// The part's type text ("ATMEL: AT89C51*P44"), as the selection sets it.
inline void SelectType(SimBench& b, const std::string& item) { b.wb->sel.TypeText = "ATMEL: " + item; }

inline sim::ModeTableChip& Chip51(SimBench& b) { return b.ChipAs<sim::ModeTableChip>(); }

// The chip holds the image over [0, n) already (a programmed part).
inline void Preload(SimBench& b, int n) {
    auto cells = b.sim->GetChip()->MutableContents();
    std::copy(b.Image(), b.Image() + n, cells.begin());
}

// The buffer window's end address (a short file loaded after setup).
inline void SetEndAddr(SimBench& b, int end) { b.wb->FileWin->EndAddr = end; }

// Number of commands the host sent with this opcode and first argument.
inline std::size_t CountCommand(const SimBench& b, std::uint8_t op, int arg0, int arg1 = -1) {
    std::size_t n = 0;
    for (const auto& c : b.tap->commands)
        if (c[0] == op && c.size() > 1 && c[1] == arg0 && (arg1 < 0 || (c.size() > 2 && c[2] == arg1))) ++n;
    return n;
}

}  // namespace quilla::test
