// The Atmel 12 V forms beside the AT89C5x one, end to end on the simulated
// programmer: the AT89C55WD-class form (P89C5WD), the AT89LS8252/LS53 form
// (AT89X8252) and the AT89S51/52 form (AT89S5X), and every device line of them.
#include <algorithm>
#include <cstdio>

#include "algo/mcs51/atmel12v.h"
#include "engine/ep3.h"
#include "mcs51_bench.h"
#include "support/device_lines.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using sim::EventKind;

constexpr const char* kWd = "P89C5WD 0 #1E 55 fla=20480 otp=0";

// ---- P89C5WD ----------------------------------------------------------------------------------

TEST(At89c5xwd, EraseWriteLockAndEraseAgainJudgedByTheLockBits) {
    SimBench b("AT89C55WD");
    b.RandomImage(0x5000, 5);
    AlgoForm& f = b.Open(kWd);
    ASSERT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0x4FFF);
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "Lock= 00");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x5000));

    f.Click("Secrity");  // LockMode's second item: LB1 and LB2
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Chip51(b).LockBits(), 3u);
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "Lock= 0c");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "加了密的器件!");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);

    const std::size_t from = b.sim->Log().Events().size();
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "Lock= 00");
    EXPECT_TRUE(b.ChipBlank(0, 0x5000));

    // Every PROG pulse of the erase falls while the supply path holds socket 40
    // (VCC) at 6.5 V, and VCC itself is not routed then.
    bool path = false;
    int pulses = 0;
    for (std::size_t i = from; i < b.sim->Log().Events().size(); ++i) {
        const auto& e = b.sim->Log().Events()[i];
        if (e.kind == EventKind::VppPath) path = e.pin == 40;
        if (e.kind == EventKind::PinLow && e.pin == 30 && e.value == 0 && path) ++pulses;
    }
    EXPECT_EQ(pulses, 2);
}

TEST(At89c5xwd, LockedSlowChipWhoseEraseCannotFinishFails) {
    SimBench b("AT89C55WD");
    Chip51(b).SetLockBits(1);
    b.sim->GetChip()->SetSlowFactor(3.0);  // a 300 ms erase in a 200 ms window
    AlgoForm& f = b.Open(kWd);
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "Ers.失败!需要重新操作。");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(Chip51(b).LockBits(), 1u);
}

class WdLines : public ::testing::TestWithParam<const char*> {};

TEST_P(WdLines, UnusableSizeOrOtpIsRefusedAtSetupWithNothingSent) {
    SimBench b("AT89C55WD");
    const auto before = b.Transfers();
    AlgoForm& f = b.Open(GetParam());
    EXPECT_EQ(b.Transfers(), before);
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_NE(b.prompts.Last().find("P89C5WD"), std::string::npos) << b.prompts.Last();
    for (const char* op : {"Write", "Blank", "Verify", "Read1", "ID", "Erase", "Secrity", "Button2", "Button1"}) {
        f.Click(op);
        EXPECT_EQ(b.Transfers(), before) << op;
    }
    EXPECT_FALSE(f.DeviceLineError().empty());
}

INSTANTIATE_TEST_SUITE_P(Lines, WdLines,
                         ::testing::Values("P89C5WD 0", "P89C5WD 0 fla=0 otp=0", "P89C5WD 0 fla=-5",
                                           "P89C5WD 0 fla=32769 otp=0", "P89C5WD 0 fla=20480 otp=2"),
                         CaseName([](const char* c) { return std::string(c); }));

TEST(At89c5xwd, OtpLineDisablesEraseAndTheBatchMakesOnePass) {
    SimBench b("AT89C55WD");
    b.RandomImage(0x400, 2);
    b.wb->options.MassProduction = true;
    AlgoForm& f = b.Open("P89C5WD 0 fla=20480 otp=1");
    EXPECT_FALSE(f.Get("Erase").Enabled);
    EXPECT_FALSE(f.Get("CheckBox1").Enabled);
    SetEndAddr(b, 0x3FF);
    f.SetChecked("CheckBox5", false);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_EQ(Chip51(b).Erases(), 0u);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
}

// ---- AT89S5X ----------------------------------------------------------------------------------

TEST(At89s5x1, DefaultBatchSignatureAndFirstLockItem) {
    SimBench b("AT89S52");
    b.RandomImage(0x2000, 8);
    Preload(b, 0x800);  // a used chip: the batch erases it first
    AlgoForm& f = b.Open("AT89S5X 2 #1E 52");
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "Detected MFG and ID = 1e,52,06.");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x2000));
    EXPECT_EQ(Chip51(b).LockBits(), 3u);

    SimBench c("AT89S51");
    AlgoForm& g = c.Open("AT89S5X 1 #1E 51");
    g.Choose("RadioGroup1", 0);
    g.Click("Secrity");
    EXPECT_EQ(g.Text("Msg"), "Note:mode1,not locked.");
    EXPECT_EQ(Chip51(c).LockBits(), 1u);
}

TEST(At89s5x1, EraseMovesTheBarAndSurvivesTheVccCycle) {
    SimBench b("AT89S51");
    b.RandomImage(0x1000, 8);
    Preload(b, 0x1000);
    Chip51(b).SetLockBits(7);
    AlgoForm& f = b.Open("AT89S5X 1 #1E 51");
    std::vector<int> bar;
    f.SetView(nullptr);
    b.tap->beforeOut = [&](int) {
        const int p = f.Get("RdBar").Position;
        if (bar.empty() || bar.back() != p) bar.push_back(p);
    };
    f.Click("Erase");
    b.tap->beforeOut = nullptr;
    bar.push_back(f.Get("RdBar").Position);
    EXPECT_EQ(f.Text("Msg"), "End.");
    EXPECT_TRUE(b.ChipBlank(0, 0x1000));
    EXPECT_EQ(Chip51(b).LockBits(), 0u);
    EXPECT_EQ(f.Get("RdBar").Max, 10);
    for (int want : {1, 2, 3, 4, 10}) EXPECT_NE(std::find(bar.begin(), bar.end(), want), bar.end()) << want;
}

TEST(At89s5x1, SlowChipNeedsTheSlowSpeed) {
    for (int speed : {0, 1}) {
        SimBench b("AT89S51");
        b.sim->GetChip()->SetSlowFactor(1.8);  // an 18 us write cycle
        b.RandomImage(0x200, 8);
        AlgoForm& f = b.Open("AT89S5X 1");
        SetEndAddr(b, 0x1FF);
        f.Choose("Speed", speed);
        f.Click("Write");
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg") == "OK", speed == 1) << f.Text("Msg");
    }
}

TEST(At89s5x1, OverCurrentAtTheSecondLockBitEndsLock) {
    SimBench b("AT89S51");
    AlgoForm& f = b.Open("AT89S5X 1");
    f.Choose("RadioGroup1", 2);
    int vppOnEa = 0;
    b.tap->afterOut = [&](int) {
        const auto& last = b.tap->commands.back();
        if (last[0] == proto::OpSystem && last[1] == proto::SysVppPin && last[2] == 31 && ++vppOnEa == 2)
            b.sim->InjectOverCurrent();
    };
    f.Click("Secrity");
    EXPECT_EQ(vppOnEa, 2);
    EXPECT_EQ(Chip51(b).LockBits(), 1u);
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_NE(f.Text("Msg"), "end");
}

// ---- AT89X8252 ---------------------------------------------------------------------------------

TEST(At89x8252x, LockBytesAndTheFirstItem) {
    SimBench b("AT89LS8252");
    b.wb->options.ContactCheck = false;  // a passed contact test would clear ErrorFlag itself
    AlgoForm& f = b.Open("AT89X8252 2 #1E 72");
    b.wb->ErrorFlag() = 1;
    f.Choose("RadioGroup1", 0);
    b.tap->commands.clear();
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "Mode1, No lock.");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);  // unchanged
    EXPECT_EQ(CountCommand(b, proto::OpPutData51, 0x7F), 1u);
    EXPECT_EQ(Chip51(b).LockBits(), 1u);  // P0.7 low: LB1
}

TEST(At89x8252x, OverCurrentAtTheSecondByteEndsLockWithoutOk) {
    SimBench b("AT89LS8252");
    AlgoForm& f = b.Open("AT89X8252 2 #1E 72");
    f.Choose("RadioGroup1", 2);
    int vppOnEa = 0;
    b.tap->afterOut = [&](int) {
        const auto& last = b.tap->commands.back();
        if (last[0] == proto::OpSystem && last[1] == proto::SysVppPin && last[2] == 31 && ++vppOnEa == 2)
            b.sim->InjectOverCurrent();
    };
    b.tap->commands.clear();
    f.Click("Secrity");
    EXPECT_NE(f.Text("Msg"), "OK");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(CountCommand(b, proto::OpPutData51, 0x20), 0u);  // no third byte
    EXPECT_EQ(Chip51(b).LockBits(), 6u);  // the first byte 0x80: LB2 and LB3
}

TEST(At89x8252x, ReadsOnlyWithTwelveVoltsOnEa) {
    SimBench b("AT89LS53");
    b.RandomImage(0x3000, 4);
    Preload(b, 0x3000);
    AlgoForm& f = b.Open("AT89X8252 3 #1E 63");
    std::fill(b.Image(), b.Image() + 0x3000, 0);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), TAt89x8252x::ReadDoneText);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x3000));
}

// ---- every line --------------------------------------------------------------------------------

class EveryAtmelLine : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryAtmelLine, ErasesWritesVerifiesAndReadsBack) {
    const ListedLine l = GetParam();
    SimBench b(l.part);
    const std::string part = l.part;
    SelectType(b, part);
    const int size = static_cast<int>(b.Chip().size());
    b.RandomImage(size, 21);
    AlgoForm& f = b.Open(l.params);
    ASSERT_EQ(f.Text("Msg"), "OK ") << l.params;
    f.Click("Erase");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, size));
    std::vector<std::uint8_t> want(b.Image(), b.Image() + size);
    std::fill(b.Image(), b.Image() + size, 0);
    f.Click("Read1");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image()));
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

INSTANTIATE_TEST_SUITE_P(Device640, EveryAtmelLine,
                         ::testing::ValuesIn(DeviceLines("device640.lst", {"P89C5WD", "AT89S5X", "AT89X8252"})),
                         CaseName([](const ListedLine& l) { return l.part; }));

}  // namespace
}  // namespace quilla::test
