// The fault sweep over the Write and the batch of the page-write flash and
// EEPROM forms: no success text with the chip wrong, whatever link fault comes
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
        if (text == "Blank." || text == "OK" || text == "ok") return b.ChipBlank(0, 0x400);  // Blank, the erase
        if (text == "Unlocked..." || text == "Locked...") return true;       // page 0 kept either way
        return b.ChipMatchesImage(0, kBytes);
    };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Sweep,
    ::testing::Values(SweepCase{"SST29EE write", "SST29EE512", "SST29EE 3", "Write", 0xFF},
                      SweepCase{"SST29EE batch", "SST29EE512", "SST29EE 3", "Button1", 0x00},
                      SweepCase{"AT28CX write", "AT28C64B", "AT28CX 8", "Write", 0xFF},
                      SweepCase{"AT28CX batch", "AT28C64B", "AT28CX 8", "Button1", 0xFF},
                      SweepCase{"AT28C256 write", "AT28C256", "AT28C256 2", "Write", 0xFF},
                      SweepCase{"AT28C256 batch", "AT28C256", "AT28C256 2", "Button1", 0xFF},
                      SweepCase{"AT29CX write", "AT29C512", "AT29CX 3", "Write", 0xFF},
                      SweepCase{"AT29CX batch", "AT29C512", "AT29CX 3", "Button1", 0x00},
                      SweepCase{"W29C write", "W29C020", "W29C 5", "Write", 0xFF},
                      SweepCase{"W29C batch", "W29C020", "W29C 5", "Button1", 0x00},
                      SweepCase{"AT29C256 write", "AT29C256", "AT29C256 1", "Write", 0xFF},
                      // The form's erase (12 V on OE) does not erase an AT29C256: a blank chip.
                      SweepCase{"AT29C256 batch", "AT29C256", "AT29C256 1", "Button1", 0xFF}),
    CaseName([](const SweepCase& c) { return std::string(c.name); }));

}  // namespace
}  // namespace quilla::test
