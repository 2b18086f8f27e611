// The fault sweep over the Write and the batch of the EEPROM and EPROM-pinout
// flash forms: no success text with the chip wrong, whatever link fault comes
// at whatever transfer.
#include <memory>

#include "sim/chips/eeprom.h"
#include "sim/chips/eprom.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

struct SweepCase {
    const char* name;
    const char* part;
    const char* params;
    const char* length;  // Edit3
    int bytes;           // what the write covers
    const char* button;
    std::uint8_t chipFill;  // the chip before (0xFF: blank)
};

class Sweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(Sweep, NoSuccessTextWithTheChipWrong) {
    const SweepCase c = GetParam();
    FaultSweep s;
    // The success texts of one run, in order: an erase's "OK!" comes before the write's.
    auto shown = std::make_shared<int>(0);
    s.prepare = [c, shown] {
        *shown = 0;
        auto b = std::make_unique<SimBench>(c.part);
        b->RandomImage(0x400, 17);
        std::fill(b->Image() + c.bytes, b->Image() + 0x400, 0xFF);  // whole 1 KiB blocks are verified
        auto cells = b->sim->GetChip()->MutableContents();
        std::fill(cells.begin(), cells.end(), c.chipFill);
        return b;
    };
    s.form = [c](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open(c.params);
        if (f.Has("Speed")) f.Choose("Speed", 0);
        f.Enter("Edit3", c.length);
        return f;
    };
    const std::string button = c.button;
    s.operation = [button](SimBench&, AlgoForm& f) { f.Click(button); };
    const int n = c.bytes;
    const bool erases = c.chipFill != 0xFF;  // the SST27SF batch erases first
    s.holds = [n, erases, shown](SimBench& b, const std::string& text) {
        const int k = (*shown)++;
        if (text == "Blank.") return b.ChipBlank(0, n);
        if (text == "OK!" && erases && k == 0) return b.ChipBlank(0, n);  // the erase
        return b.ChipMatchesImage(0, n);
    };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Sweep,
    ::testing::Values(SweepCase{"P2816 write", "AT28C64", "P2816 7", "ff", 0x100, "Write", 0xFF},
                      SweepCase{"P2816 batch", "AT28C64", "P2816 7", "ff", 0x100, "Button1", 0xFF},
                      SweepCase{"SST27SF write", "SST27SF512", "SST27SF 2", "3ff", 0x400, "Write", 0xFF},
                      SweepCase{"SST27SF batch", "SST27SF512", "SST27SF 2", "3ff", 0x400, "Button1", 0x00},
                      SweepCase{"X28C write", "X28C256", "X28C 1", "ff", 0x100, "Write", 0xFF},
                      SweepCase{"X28C batch", "X28C256", "X28C 1", "ff", 0x100, "Button1", 0xFF}),
    CaseName([](const SweepCase& c) { return std::string(c.name); }));

}  // namespace
}  // namespace quilla::test
