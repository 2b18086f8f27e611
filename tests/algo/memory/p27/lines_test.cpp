// Every EPROM line of the device lists, end to end: the form its line opens
// programs a blank chip of that part and verifies it, without a protocol
// violation.

#include "sim/chips/eprom.h"
#include "support/device_lines.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using Line = ListedLine;

class EveryLine : public ::testing::TestWithParam<Line> {};

TEST_P(EveryLine, WritesAndVerifiesABlankChip) {
    const Line l = GetParam();
    SimBench b(l.part);
    const int size = static_cast<int>(b.Chip().size());
    b.RandomImage(size, 21);
    AlgoForm& f = b.Open(l.params);
    ASSERT_EQ(f.Text("Message"), "OK ") << l.params;
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "Blank.");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, size));
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(Device520, EveryLine, ::testing::ValuesIn(DeviceLines("device520.lst", {"P27", "PW27"})),
                         [](const ::testing::TestParamInfo<Line>& i) { return i.param.part; });

TEST(EpromForms, WithoutAProgrammerSetupShowsCommErrAndOnlyResetsPins) {
    SimBench b("AT27C256R");
    b.wb->Ep3.Connected = 0;
    b.tap->commands.clear();
    AlgoForm& f = b.Open("P27 13");
    EXPECT_EQ(f.Text("Message"), "Comm Err.");
    for (const auto& c : b.tap->commands) {
        ASSERT_TRUE(c[0] == proto::OpSystem || c[0] == proto::OpPinLow);
        if (c[0] == proto::OpSystem) {
            EXPECT_TRUE(c[1] == proto::SysPortMode || c[1] == proto::SysClockPin || c[1] == proto::SysGndPin);
            EXPECT_TRUE(c[1] == proto::SysPortMode || c[2] == 0);
        }
    }
}

}  // namespace
}  // namespace quilla::test
