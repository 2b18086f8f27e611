// The fault sweep over the Write and the batch of the page-write flash and
// EEPROM forms: no success text with the chip wrong, whatever link fault comes
// at whatever transfer.
#include <string>

#include "support/form_sweep.h"

namespace quilla::test {
namespace {

class Sweep : public ::testing::TestWithParam<FormSweepCase> {};

// Whether the chip holds what a success text promises.
bool Holds(SimBench& b, const std::string& text) {
    constexpr int kImage = FormSweepCase::kImageBytes, kBlock = FormSweepCase::kBlockBytes;
    if (text == "Blank." || text == "OK" || text == "ok") return b.ChipBlank(0, kBlock);  // Blank, the erase
    if (text == "Unlocked..." || text == "Locked...") return true;  // page 0 kept either way
    return b.ChipMatchesImage(0, kImage);
}

TEST_P(Sweep, NoSuccessTextWithTheChipWrong) { EXPECT_GT(FormSweep(GetParam(), Holds).Run().transfers, 3); }

INSTANTIATE_TEST_SUITE_P(
    Forms, Sweep,
    ::testing::Values(FormSweepCase{"SST29EE write", "SST29EE512", "SST29EE 3", "Write", 0xFF},
                      FormSweepCase{"SST29EE batch", "SST29EE512", "SST29EE 3", "Button1", 0x00},
                      FormSweepCase{"AT28CX write", "AT28C64B", "AT28CX 8", "Write", 0xFF},
                      FormSweepCase{"AT28CX batch", "AT28C64B", "AT28CX 8", "Button1", 0xFF},
                      FormSweepCase{"AT28C256 write", "AT28C256", "AT28C256 2", "Write", 0xFF},
                      FormSweepCase{"AT28C256 batch", "AT28C256", "AT28C256 2", "Button1", 0xFF},
                      FormSweepCase{"AT29CX write", "AT29C512", "AT29CX 3", "Write", 0xFF},
                      FormSweepCase{"AT29CX batch", "AT29C512", "AT29CX 3", "Button1", 0x00},
                      FormSweepCase{"W29C write", "W29C020", "W29C 5", "Write", 0xFF},
                      FormSweepCase{"W29C batch", "W29C020", "W29C 5", "Button1", 0x00},
                      FormSweepCase{"AT29C256 write", "AT29C256", "AT29C256 1", "Write", 0xFF},
                      // The form's erase (12 V on OE) does not erase an AT29C256: a blank chip.
                      FormSweepCase{"AT29C256 batch", "AT29C256", "AT29C256 1", "Button1", 0xFF}),
    FormSweepCaseName());

}  // namespace
}  // namespace quilla::test
