// Every EPROM line of the device lists, end to end (support/memory_lines.h),
// and the EPROM forms' setup without a programmer.
#include "support/memory_lines.h"
#include "support/sim_bench.h"

namespace quilla::test {

INSTANTIATE_TEST_SUITE_P(Lists, MemoryLine, ::testing::ValuesIn(MemoryLines("p27")), MemoryLineName);
INSTANTIATE_TEST_SUITE_P(Lists, MemoryFamilyLines, ::testing::Values("p27"));

namespace {

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
