// Every firmware-hub line of the device lists, end to end: the form its line
// opens blank-checks, programs and verifies the first 2 KiB of a blank chip of
// that part (its ID checked where the line has one), without a protocol
// violation.

#include "sim/chips/fwh.h"
#include "support/device_lines.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using Line = ListedLine;

class HubLine : public ::testing::TestWithParam<Line> {};

TEST_P(HubLine, BlankChecksWritesAndVerifies2KiB) {
    const Line l = GetParam();
    SimBench b(l.part);
    b.RandomImage(0x800, 41);
    std::fill(b.Image() + 0x800, b.Image() + 0xC00, 0xFF);
    AlgoForm& f = b.Open(l.params);
    ASSERT_EQ(f.Text("Message"), "OK ") << l.params;
    f.Enter("Edit3", "7ff");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "Blank.");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    EXPECT_TRUE(b.prompts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Device520, HubLine,
                         ::testing::ValuesIn(DeviceLines("device520.lst", {"I82802", "SST49LF008"})),
                         [](const ::testing::TestParamInfo<Line>& i) { return i.param.part; });

TEST(HubLines, AreListed) { EXPECT_EQ(DeviceLines("device520.lst", {"I82802", "SST49LF008"}).size(), 6u); }

}  // namespace
}  // namespace quilla::test
