// The fault sweep (support/fault_sweep.h) of a byte-wide flash form's Write or
// batch, set up the same way for each case: a bench on the case's part with
// every chip cell at `chipFill`, a random image of kImageBytes (blank, 0xFF, up
// to the end of its 1 KiB block), the case's device line opened with Length
// "ff", and the case's button clicked. The family's `holds` judges each success
// text.
//
//   bool Holds(SimBench& b, const std::string& text) {
//       if (text == "Blank.") return b.ChipBlank(0, FormSweepCase::kBlockBytes);
//       return b.ChipMatchesImage(0, FormSweepCase::kImageBytes);
//   }
//   class Sweep : public ::testing::TestWithParam<FormSweepCase> {};
//   TEST_P(Sweep, NoSuccessTextWithTheChipWrong) { EXPECT_GT(FormSweep(GetParam(), Holds).Run().transfers, 3); }
//   INSTANTIATE_TEST_SUITE_P(Forms, Sweep, ::testing::Values(FormSweepCase{...}), FormSweepCaseName());
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "support/fault_sweep.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {

struct FormSweepCase {
    static constexpr int kImageBytes = 0x100;  // what the write covers
    static constexpr int kBlockBytes = 0x400;  // whole 1 KiB blocks are programmed and verified

    const char* name;       // the case's part of the test name
    const char* part;       // the chip in the socket
    const char* params;     // the device line
    const char* button;     // "Write" or the batch's "Button1"
    std::uint8_t chipFill;  // the chip before (0xFF: blank)
};

FaultSweep FormSweep(const FormSweepCase& c, std::function<bool(SimBench&, const std::string& text)> holds);

// The cases' names: "0_P29F_write".
inline auto FormSweepCaseName() {
    return CaseName([](const FormSweepCase& c) { return std::string(c.name); });
}

}  // namespace quilla::test
