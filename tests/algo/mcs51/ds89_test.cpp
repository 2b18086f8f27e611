// The DS89C4x0 form end to end on the simulated programmer.
#include "algo/mcs51/ds89.h"
#include "mcs51_bench.h"
#include "sim/chips/pin51.h"

namespace quilla::test {
namespace {

using sim::EventKind;
using sim::PinTable51Chip;

PinTable51Chip& Ds(SimBench& b) { return b.ChipAs<PinTable51Chip>(); }

struct StatusLog : FormView {
    explicit StatusLog(AlgoForm& f) : form(f) { f.SetView(this); }
    ~StatusLog() override { form.SetView(nullptr); }
    void Repaint(const FormControl& c) override {
        if (c.Name == "Msg" && (texts.empty() || texts.back() != c.Text)) texts.push_back(c.Text);
    }
    AlgoForm& form;
    std::vector<std::string> texts;
};

TEST(Ds89, DefaultBatchEndsOkWithTheImageAndLevelTwo) {
    SimBench b("DS89C450");
    b.RandomImage(0x10000, 3);
    Preload(b, 0x10000);
    for (std::uint8_t& v : Ds(b).MutableContents()) v = static_cast<std::uint8_t>(v & 0x0F);
    AlgoForm& f = b.Open("DS89C4X0 4 #DA 45 01");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_EQ(Ds(b).LockBits(), 2u);  // "3.加No R  (Lock)"
    Ds(b).SetLockBits(0);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x10000));
    EXPECT_EQ(Ds(b).Config(), 0xFF);  // "Enable Watchdog" unticked
}

TEST(Ds89, EraseRunsBothStagesAndBlanksTheChip) {
    SimBench b("DS89C450");
    b.RandomImage(0x10000, 4);
    Preload(b, 0x10000);
    Ds(b).SetConfig(0xF7);
    AlgoForm& f = b.Open("DS89C4X0 4");
    StatusLog log(f);
    f.Click("Erase");
    const std::vector<std::string> want = {"Ers.程序...", "Ers.Option...", "OK"};
    std::vector<std::string> seen;
    for (const std::string& t : log.texts)
        if (std::find(want.begin(), want.end(), t) != want.end()) seen.push_back(t);
    EXPECT_EQ(seen, want);
    EXPECT_TRUE(b.ChipBlank(0, 0x10000));
    EXPECT_EQ(Ds(b).Config(), 0xFF);
}

TEST(Ds89, WriteCoversEveryBlockWithPin15FollowingA15) {
    SimBench b("DS89C450");
    b.RandomImage(0x10000, 5);
    AlgoForm& f = b.Open("DS89C4X0 4");
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x10000));
    EXPECT_EQ(CountCommand(b, proto::OpPinHigh, 15), 128u);  // blocks 0x8000-0xFF00
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
}

TEST(Ds89, ASlowEraseKeepsTheDataAndBlankSaysSo) {
    SimBench b("DS89C430");
    b.RandomImage(0x4000, 6);
    Preload(b, 0x4000);
    b.sim->GetChip()->SetSlowFactor(3.0);
    AlgoForm& f = b.Open("DS89C4X0 2");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No!!!");
}

TEST(Ds89, WatchdogOptionAndOneLockLevelPerPress) {
    SimBench b("DS89C440");
    AlgoForm& f = b.Open("DS89C4X0 3");
    b.tap->commands.clear();
    f.Click("Config");
    EXPECT_EQ(f.Text("Msg"), "Disable Watchdog!");
    EXPECT_TRUE(b.tap->commands.empty());
    f.SetChecked("CheckBox4", true);
    f.Click("Config");
    EXPECT_EQ(f.Text("Msg"), "Enabled Watchdog");
    EXPECT_EQ(Ds(b).Config(), 0xF7);
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "ID= da,44,01,  Watchdog=f7");

    f.Choose("RadioGroup1", 3);  // "4.No external code"
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Ds(b).LockBits(), 4u);
    f.Choose("RadioGroup1", 0);  // "1.NoLock": a strobe that sets nothing
    Ds(b).SetLockBits(0);
    f.Click("Secrity");
    EXPECT_EQ(Ds(b).LockBits(), 0u);
}

TEST(Ds89, WrongTypeRefusedInTheBatchEndsThePassUncounted) {
    SimBench b("DS89C430");
    b.RandomImage(0x4000, 7);
    AlgoForm& f = b.Open("DS89C4X0 4 #DA 45 01");
    b.prompts.answers = {BtnNo};
    f.Click("Button1");
    ASSERT_FALSE(b.prompts.shown.empty());
    EXPECT_EQ(b.prompts.shown.back().text, "Wrong type, OK ??");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_TRUE(b.ChipBlank(0, 0x4000));
}

}  // namespace
}  // namespace quilla::test
