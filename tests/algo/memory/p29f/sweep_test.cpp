// The fault sweep over the Write and the batch of the JEDEC-command
// byte-program flash forms: no success text with the chip wrong, whatever link fault comes
// at whatever transfer.
#include <string>

#include "support/form_sweep.h"

namespace quilla::test {
namespace {

class Sweep : public ::testing::TestWithParam<FormSweepCase> {};

// Whether the chip holds what a success text promises.
bool Holds(SimBench& b, const std::string& text) {
    constexpr int kImage = FormSweepCase::kImageBytes, kBlock = FormSweepCase::kBlockBytes;
    if (text == "OK" || text == "Blank.") return b.ChipBlank(0, kBlock);  // the chip erase and Blank
    return b.ChipMatchesImage(0, kImage);
}

TEST_P(Sweep, NoSuccessTextWithTheChipWrong) { EXPECT_GT(FormSweep(GetParam(), Holds).Run().transfers, 3); }

INSTANTIATE_TEST_SUITE_P(
    Forms, Sweep,
    ::testing::Values(FormSweepCase{"P29F write", "AM29F010", "P29F 3", "Write", 0xFF},
                      FormSweepCase{"P29F batch", "AM29F010", "P29F 3", "Button1", 0x00},
                      FormSweepCase{"SST29XF batch", "SST39SF010A", "SST29XF 3", "Button1", 0x00},
                      FormSweepCase{"AMD29f040 write", "AM29F040", "AMD29f040 5", "Write", 0xFF},
                      FormSweepCase{"AMD29f040 batch", "AM29F040", "AMD29f040 5", "Button1", 0x00},
                      FormSweepCase{"AT49F write", "AT49F010", "AT49F 1", "Write", 0xFF},
                      FormSweepCase{"AT49F batch", "AT49F010", "AT49F 1", "Button1", 0x00},
                      FormSweepCase{"MX29F write", "MX29F040", "MX29F 3", "Write", 0xFF},
                      FormSweepCase{"MX29F batch", "MX29F040", "MX29F 3", "Button1", 0x00},
                      FormSweepCase{"V29C51004 write", "V29C51004B", "V29C51004 5", "Write", 0xFF},
                      FormSweepCase{"V29C51004 batch", "V29C51004B", "V29C51004 5", "Button1", 0x00}),
    FormSweepCaseName());

}  // namespace
}  // namespace quilla::test
