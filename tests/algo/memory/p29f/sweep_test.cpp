// The fault sweep over the Write and the batch of the JEDEC-command
// byte-program flash forms: no success text with the chip wrong, whatever link fault comes
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
        std::fill(b->Image() + kBytes, b->Image() + 0x400, 0xFF);  // whole 1 KiB blocks are verified
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
        if (text == "OK" || text == "Blank.") return b.ChipBlank(0, 0x400);  // the chip erase and Blank
        return b.ChipMatchesImage(0, kBytes);
    };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Sweep,
    ::testing::Values(SweepCase{"P29F write", "AM29F010", "P29F 3", "Write", 0xFF},
                      SweepCase{"P29F batch", "AM29F010", "P29F 3", "Button1", 0x00},
                      SweepCase{"SST29XF batch", "SST39SF010A", "SST29XF 3", "Button1", 0x00},
                      SweepCase{"AMD29f040 write", "AM29F040", "AMD29f040 5", "Write", 0xFF},
                      SweepCase{"AMD29f040 batch", "AM29F040", "AMD29f040 5", "Button1", 0x00},
                      SweepCase{"AT49F write", "AT49F010", "AT49F 1", "Write", 0xFF},
                      SweepCase{"AT49F batch", "AT49F010", "AT49F 1", "Button1", 0x00},
                      SweepCase{"MX29F write", "MX29F040", "MX29F 3", "Write", 0xFF},
                      SweepCase{"MX29F batch", "MX29F040", "MX29F 3", "Button1", 0x00},
                      SweepCase{"V29C51004 write", "V29C51004B", "V29C51004 5", "Write", 0xFF},
                      SweepCase{"V29C51004 batch", "V29C51004B", "V29C51004 5", "Button1", 0x00}),
    CaseName([](const SweepCase& c) { return std::string(c.name); }));

}  // namespace
}  // namespace quilla::test
