// Every adapter-socket line of the device lists, end to end: the form its line
// opens checks the ID (where the line has one), blank-checks, programs and
// verifies the first 2 KiB of a blank chip of that part, without a protocol
// violation.

#include "support/param_names.h"
#include "support/device_lines.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using Line = ListedLine;

class AdapterLine : public ::testing::TestWithParam<Line> {};

TEST_P(AdapterLine, BlankChecksWritesAndVerifies2KiB) {
    const Line l = GetParam();
    SimBench b(l.part);
    b.RandomImage(0x800, 62);
    AlgoForm& f = b.Open(l.params);
    // The EPROM form shows its row and size instead of "OK ".
    const std::string setup = f.Text("Message");
    ASSERT_TRUE(setup == "OK " || setup.rfind("type=", 0) == 0) << l.params << ": " << setup;
    f.Enter("Edit3", "7ff");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "OK");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

INSTANTIATE_TEST_SUITE_P(Device520, AdapterLine,
                         ::testing::ValuesIn(DeviceLines("device520.lst",
                                                         {"P29F640", "F640", "I27CX", "MX29X161X", "HN29AND"})),
                         [](const ::testing::TestParamInfo<Line>& i) { return NamePart(i.param.part); });

}  // namespace
}  // namespace quilla::test
