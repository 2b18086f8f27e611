// The command-register form (keyword IS89C52) end to end on the simulated
// programmer with IS89C51A/52A and IS89LV51A/52A parts.
#include "algo/mcs51/is89.h"
#include "mcs51_bench.h"
#include "sim/chips/flash51.h"

namespace quilla::test {
namespace {

using sim::CommandReg51Chip;
using sim::EventKind;

CommandReg51Chip& Is(SimBench& b) { return b.ChipAs<CommandReg51Chip>(); }

TEST(Is89, DefaultBatchErasesWritesVerifiesAndLocks) {
    SimBench b("IS89C52A");
    b.RandomImage(0x2000, 3);
    Preload(b, 0x2000);
    for (std::uint8_t& v : b.sim->GetChip()->MutableContents()) v = static_cast<std::uint8_t>(~v);
    AlgoForm& f = b.Open("IS89C52 2 #D5 52");
    ASSERT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(f.Text("Edit7"), "IS89C52A");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x2000));
    EXPECT_EQ(Is(b).LockBits(), 7u);
}

TEST(Is89, EraseRunsElevenCyclesThenBlankPasses) {
    SimBench b("IS89C51A");
    b.RandomImage(0x1000, 4);
    Preload(b, 0x1000);
    Is(b).SetLockBits(1);
    AlgoForm& f = b.Open("IS89C52 1");
    b.tap->commands.clear();
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "Erased..");
    EXPECT_EQ(f.Get("RdBar").Max, 10);
    EXPECT_EQ(f.Get("RdBar").Position, 10);
    EXPECT_EQ(CountCommand(b, proto::OpPutData51, 0x20), 11u);
    EXPECT_EQ(Is(b).LockBits(), 0u);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank OK");
}

TEST(Is89, LockAllBoxesAndTheSignature) {
    SimBench b("IS89C52A");
    AlgoForm& f = b.Open("IS89C52 2");
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "MFG and ID is   = d5,52, ff");
    f.SetChecked("LB3", false);
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "Locked..");
    EXPECT_EQ(Is(b).LockBits(), 3u);
    f.SetChecked("LB3", true);
    f.Click("Secrity");
    EXPECT_EQ(Is(b).LockBits(), 7u);
}

TEST(Is89, LvRowRunsAtThreePointThreeVolts) {
    SimBench b("IS89LV52A");
    b.RandomImage(0x2000, 5);
    AlgoForm& f = b.Open("IS89C52 4");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x2000));
    std::vector<int> levels;
    for (const auto& e : b.sim->Log().Events())
        if (e.kind == EventKind::VccLevel && e.value != 0) levels.push_back(e.value);
    ASSERT_FALSE(levels.empty());
    for (int v : levels) EXPECT_EQ(v, 33);
}

TEST(Is89, SlowSpeedLengthensEveryProgramPulse) {
    SimBench b("IS89C51A");
    b.RandomImage(0x1000, 6);
    b.sim->GetChip()->SetSlowFactor(1.7);  // needs 34 us: three waits 25 are too short
    AlgoForm& f = b.Open("IS89C52 1");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_NE(f.Text("Msg"), "OK");
    f.Choose("Speed", 1);
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
}

TEST(Is89Model, ACommandStrobedWithP27LowIsIgnored) {
    SimBench b("IS89C52A");
    auto& form = dynamic_cast<TIS89c52ax&>(b.Open("IS89C52 2"));
    TEp3& e = b.wb->Ep3;
    form.PowerUp51();  // leaves P2.7 low
    e.UsbPut2(proto::OpPutData51, 0x90);
    e.PinLow(27);
    e.PinHigh(27);
    e.UsbFlush();
    EXPECT_EQ(Is(b).Command(), -1);
    form.Command51(0x90);
    e.UsbFlush();
    EXPECT_EQ(Is(b).Command(), 0x90);
    e.VccPin(0);
}

}  // namespace
}  // namespace quilla::test
