// The fault sweep over the Write and the batch of the Intel-command parallel
// flash forms: no success text with the chip wrong, whatever link fault comes
// at whatever transfer.
#include <string>

#include "support/form_sweep.h"

namespace quilla::test {
namespace {

class Sweep : public ::testing::TestWithParam<FormSweepCase> {};

// Whether the chip holds what a success text promises.
bool Holds(SimBench& b, const std::string& text) {
    constexpr int kImage = FormSweepCase::kImageBytes, kBlock = FormSweepCase::kBlockBytes;
    if (text == "OK" || text == "Blank." || text == "End.") return b.ChipBlank(0, kBlock);  // erase and Blank
    return b.ChipMatchesImage(0, kImage);
}

TEST_P(Sweep, NoSuccessTextWithTheChipWrong) { EXPECT_GT(FormSweep(GetParam(), Holds).Run().transfers, 3); }

INSTANTIATE_TEST_SUITE_P(
    Forms, Sweep,
    ::testing::Values(FormSweepCase{"PI28F write", "28F010", "PI28F 4", "Write", 0xFF},
                      FormSweepCase{"PI28F batch", "28F010", "PI28F 4", "Button1", 0x00},
                      FormSweepCase{"PI28F001 write", "28F001BX-B", "PI28F001 2", "Write", 0xFF},
                      FormSweepCase{"PI28F001 batch", "28F001BX-B", "PI28F001 2", "Button1", 0x00},
                      FormSweepCase{"SST28VF040 batch", "SST28SF040A", "SST28VF040 6", "Button1", 0x00}),
    FormSweepCaseName());

}  // namespace
}  // namespace quilla::test
