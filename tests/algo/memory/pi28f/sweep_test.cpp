// The fault sweep over the Write and the batch of the Intel-command parallel
// flash forms: no success text with the chip wrong, whatever link fault comes
// at whatever transfer.
#include <memory>
#include <string>

#include "support/fault_sweep.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

struct SweepCase {
    const char* name;
    const char* part;
    const char* params;
    const char* button;
    std::uint8_t chipFill;  // the chip before (0xFF: blank)
};
constexpr int kBytes = 0x100;

class Sweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(Sweep, NoSuccessTextWithTheChipWrong) {
    const SweepCase c = GetParam();
    FaultSweep s;
    s.prepare = [c] {
        auto b = std::make_unique<SimBench>(c.part);
        b->RandomImage(kBytes, 17);
        std::fill(b->Image() + kBytes, b->Image() + 0x400, 0xFF);  // whole 1 KiB blocks are programmed
        auto cells = b->sim->GetChip()->MutableContents();
        std::fill(cells.begin(), cells.end(), c.chipFill);
        return b;
    };
    s.form = [c](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open(c.params);
        f.Enter("Edit3", "ff");
        return f;
    };
    const std::string button = c.button;
    s.operation = [button](SimBench&, AlgoForm& f) { f.Click(button); };
    s.holds = [](SimBench& b, const std::string& text) {
        if (text == "OK" || text == "Blank." || text == "End.") return b.ChipBlank(0, 0x400);  // erase and Blank
        return b.ChipMatchesImage(0, kBytes);
    };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Sweep,
    ::testing::Values(SweepCase{"PI28F write", "28F010", "PI28F 4", "Write", 0xFF},
                      SweepCase{"PI28F batch", "28F010", "PI28F 4", "Button1", 0x00},
                      SweepCase{"PI28F001 write", "28F001BX-B", "PI28F001 2", "Write", 0xFF},
                      SweepCase{"PI28F001 batch", "28F001BX-B", "PI28F001 2", "Button1", 0x00},
                      SweepCase{"SST28VF040 batch", "SST28SF040A", "SST28VF040 6", "Button1", 0x00}),
    CaseName([](const SweepCase& c) { return std::string(c.name); }));

}  // namespace
}  // namespace quilla::test
