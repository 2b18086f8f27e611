// The AT89C5x form (keyword P89C51) end to end on the simulated programmer with
// Atmel 8051 flash parts in the socket or in the PLCC44 adapter.
#include <cstdio>

#include "algo/mcs51/atmel12v.h"
#include "engine/ep3.h"
#include "mcs51_bench.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using sim::EventKind;

std::string Hex4(int v) {
    char b[16];
    std::snprintf(b, sizeof b, "%04x", v);
    return b;
}

// ---- the batch --------------------------------------------------------------------------------

TEST(At89c5x, DefaultBatchProgramsVerifiesAndLocksAndCountsOnce) {
    SimBench b("AT89C51");
    b.RandomImage(0x1000, 3);
    AlgoForm& f = b.Open("P89C51 1 #1E 51");
    ASSERT_EQ(f.Text("Msg"), "OK ");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
    EXPECT_EQ(Chip51(b).LockBits(), 7u);  // LB1, LB2, LB3: the third LockMode item
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

// Contact polls of one clean pass of the default batch on a fresh chip.
int PollsPerPass() {
    SimBench b("AT89C51");
    b.RandomImage(0x1000, 3);
    AlgoForm& f = b.Open("P89C51 1 #1E 51");
    const int before = b.sim->ContactPolls();
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    return b.sim->ContactPolls() - before;
}

TEST(At89c5x, MassProductionCountsEachChipAndABadlySeatedOneEndsIt) {
    const int pass = PollsPerPass();
    for (bool badThird : {false, true}) {
        SCOPED_TRACE(badThird ? "third chip badly seated" : "three good chips");
        SimBench b("AT89C51");
        b.sim->SetChipPresent(false);
        b.RandomImage(0x1000, 3);
        b.wb->options.MassProduction = true;
        AlgoForm& f = b.Open("P89C51 1 #1E 51");
        // The wait sees the empty socket, then the chip; each pass polls
        // `pass` times; the next wait's first poll still sees the chip.
        b.sim->ScheduleInsertion(sim::When::AfterPolls(1));
        for (int chip = 2; chip <= 3; ++chip) {
            b.sim->ScheduleRemoval(sim::When::AfterPolls(pass + 2));
            b.sim->ScheduleInsertion(sim::When::AfterPolls(1), sim::MakeAt89("AT89C51").chip);
        }
        b.sim->ScheduleRemoval(sim::When::AfterPolls(pass + 2));
        if (badThird) {
            // Once two chips are counted, the next one sits with pin 5 off its contact.
            b.tap->beforeOut = [&b](int) {
                if (b.wb->Counter == "2") b.sim->SetBadContact(5);
            };
        }
        f.Click("Button1");
        EXPECT_EQ(b.wb->Counter, badThird ? "2" : "3");
        if (badThird) {
            EXPECT_TRUE(b.ChipBlank(0, 0x1000));  // the third chip: never programmed
        } else {
            EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
        }
        EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
    }
}

TEST(At89c5x, EmptySocketWithoutContactCheckIsNeverCounted) {
    SimBench b("AT89C51");
    b.sim->SetChipPresent(false);
    b.wb->options.ContactCheck = false;
    AlgoForm& f = b.Open("P89C51 1 #1E 51");
    f.SetChecked("CheckBox2", false);  // no blank check
    b.prompts.answers = {BtnNo};
    f.Click("Button1");
    ASSERT_FALSE(b.prompts.shown.empty());
    EXPECT_EQ(b.prompts.shown.back().text, "Maybe locked,\nContinue.?");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(f.PassesCounted(), 0);
}

// ---- read, write, verify, blank ---------------------------------------------------------------------

TEST(At89c5x, LargestRowCrossesEveryBlockAndBlankStopsAtTheFirstProgrammedByte) {
    SimBench b("AT89C52");
    b.RandomImage(0x2000, 11);
    AlgoForm& f = b.Open("P89C51 3 #1E 52");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x2000));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);

    int first = 0;
    while (b.Image()[first] == 0xFF) ++first;
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No!!!");
    EXPECT_EQ(f.Text("Edit6"), Hex4(first));
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(At89c5x, ReadFillsOnlyTheBlocksUpToEndAddrAndWriteStopsAfterIt) {
    SimBench b("AT89C51");
    b.RandomImage(0x300, 4);
    AlgoForm& f = b.Open("P89C51 1");
    SetEndAddr(b, 0x17F);  // a short file
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x180));
    EXPECT_TRUE(b.ChipBlank(0x180, 0x1000 - 0x180));

    std::fill(b.Image(), b.Image() + 0x400, 0x00);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    for (int i = 0; i < 0x200; ++i) ASSERT_EQ(b.Image()[i], b.Chip()[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(b.Image()[0x200], 0x00);  // the third block is not read
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0x17F);
}

TEST(At89c5x, SlowChipFailsVerifyAfterNormalSpeedAndPassesAtSlow) {
    for (int speed : {0, 1}) {
        SimBench b("AT89C51");
        b.sim->GetChip()->SetSlowFactor(2.0);  // a 3 ms write cycle
        b.RandomImage(0x200, 8);
        AlgoForm& f = b.Open("P89C51 1 #1E 51");
        SetEndAddr(b, 0x1FF);
        f.Choose("RadioGroup2", speed);
        f.Click("Write");
        EXPECT_EQ(f.Text("Msg"), "OK");
        f.Click("Verify");
        if (speed == 0) {
            EXPECT_NE(f.Text("Msg").find(":Error.(File="), std::string::npos) << f.Text("Msg");
            EXPECT_EQ(b.wb->ErrorFlag(), 1);
        } else {
            EXPECT_EQ(f.Text("Msg"), "OK");
            EXPECT_TRUE(b.ChipMatchesImage(0, 0x200));
        }
    }
}

TEST(At89c5x, SlowSpeedQueuesFourMillisecondWaitsPerByte) {
    std::size_t waits[2];
    for (int speed : {0, 1}) {
        SimBench b("AT89C51");
        AlgoForm& f = b.Open("P89C51 1");
        SetEndAddr(b, 0xFF);
        f.Choose("RadioGroup2", speed);
        b.tap->commands.clear();
        f.Click("Write");
        waits[speed] = b.tap->Count(proto::OpWait1ms);
    }
    EXPECT_EQ(waits[1] - waits[0], 2u * 256u);
}

// ---- the signature ---------------------------------------------------------------------------

TEST(At89c5x, SignatureButtonShowsTheThreeBytes) {
    SimBench b("AT89C51");
    AlgoForm& f = b.Open("P89C51 1 #1E 51");
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "Detected MFG and ID = 1e,51,ff.");
    EXPECT_EQ(b.wb->sel.LastReadId[2], 0xFF);
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
}

TEST(At89c5x, WrongChipRefusedLeavesItUntouchedAndSetsErrorFlag) {
    SimBench b("AT89C52");
    b.RandomImage(0x1000, 2);
    AlgoForm& f = b.Open("P89C51 1 #1E 51");
    b.prompts.answers = {BtnNo};
    f.Click("Write");
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_EQ(b.prompts.shown[0].text, "Wrong type, OK ??");
    EXPECT_EQ(f.Text("Msg"), "R=(1e,52)  S=(1e,51)");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_TRUE(b.ChipBlank(0, 0x2000));
}

TEST(At89c5x, NoLineIdAsksNothing) {
    SimBench b("AT89C52");
    AlgoForm& f = b.Open("P89C51 1");
    SetEndAddr(b, 0);
    f.Click("Write");
    EXPECT_TRUE(b.prompts.shown.empty());
    EXPECT_EQ(f.Text("Msg"), "OK");
}

// A locked chip answers FF FF: Write asks the locked question and, refused,
// leaves ErrorFlag 0 (a single operation), Blank asks its own question.
TEST(At89c5x, LockedChipQuestions) {
    SimBench b("AT89C51");
    Chip51(b).SetLockBits(3);
    AlgoForm& f = b.Open("P89C51 1 #1E 51");
    b.prompts.answers = {BtnNo, BtnNo};
    f.Click("Write");
    f.Click("Blank");
    ASSERT_EQ(b.prompts.shown.size(), 2u);
    EXPECT_EQ(b.prompts.shown[0].text, "Maybe locked,\nContinue.?");
    EXPECT_EQ(b.prompts.shown[1].text, "Device may be locaked.            \n继续吗?");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);  // Blank's No
}

TEST(At89c5x, LockedQuestionRefusedInWriteKeepsErrorFlagClear) {
    SimBench b("AT89C51");
    Chip51(b).SetLockBits(3);
    AlgoForm& f = b.Open("P89C51 1 #1E 51");
    b.prompts.answers = {BtnNo};
    f.Click("Write");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
}

// ---- verify voltages ---------------------------------------------------------------------------------

TEST(At89c5x, VerifyRunsAtTheChosenLevelAndEndsAtFiveVolts) {
    SimBench b("AT89C51");
    b.RandomImage(0x1000, 6);
    Preload(b, 0x1000);
    AlgoForm& f = b.Open("P89C51 1");
    const std::size_t from = b.sim->Log().Events().size();
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    std::vector<int> levels;
    const auto& ev = b.sim->Log().Events();
    for (std::size_t i = from; i < ev.size(); ++i)
        if (ev[i].kind == EventKind::VccLevel) levels.push_back(ev[i].value);
    // The default item runs at 4.4 V; Verify ends at 5.0 V.
    EXPECT_EQ(levels, (std::vector<int>{44, 50}));
}

struct VoltCase {
    const char* part;
    const char* params;
    int item;          // VeriyVolt item, -1: a typed text
    bool passes;
};

class VerifyVolts : public ::testing::TestWithParam<VoltCase> {};

TEST_P(VerifyVolts, ChipAnswersOnlyInsideItsOperatingRange) {
    const VoltCase c = GetParam();
    SimBench b(c.part);
    b.RandomImage(0x1000, 9);
    Preload(b, 0x1000);
    AlgoForm& f = b.Open(c.params);
    if (c.item >= 0) f.Choose("VeriyVolt", c.item);
    else f.SetText("VeriyVolt", "Vrfy 5 V");
    const std::size_t from = b.sim->Log().Events().size();
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg") == "OK", c.passes) << f.Text("Msg");
    int level = 0;
    const auto& ev = b.sim->Log().Events();
    for (std::size_t i = from; i < ev.size() && level == 0; ++i)
        if (ev[i].kind == EventKind::VccLevel) level = ev[i].value;
    const int want[] = {50, 44, 33, 25};
    EXPECT_EQ(level, c.item >= 0 ? want[c.item] : 50);
}

INSTANTIATE_TEST_SUITE_P(Levels, VerifyVolts,
                         ::testing::Values(VoltCase{"AT89LV51", "P89C51 2", 2, true},
                                           VoltCase{"AT89C51", "P89C51 1", 2, false},
                                           VoltCase{"AT89LV52", "P89C51 4", 2, true},
                                           VoltCase{"AT89C51", "P89C51 1", 0, true},
                                           VoltCase{"AT89LV51", "P89C51 2", 3, false},
                                           VoltCase{"AT89C51", "P89C51 1", -1, true}),
                         CaseName([](const VoltCase& c) {
                             return std::string(c.part) + " item " + std::to_string(c.item);
                         }));

// ---- erase and lock ------------------------------------------------------------------------------

TEST(At89c5x, EraseClearsCellsAndLockBitsThenBlankPasses) {
    SimBench b("AT89C51");
    b.RandomImage(0x1000, 6);
    Preload(b, 0x1000);
    Chip51(b).SetLockBits(1);
    AlgoForm& f = b.Open("P89C51 1 #1E 51");
    b.wb->ErrorFlag() = 1;
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "End.");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    EXPECT_TRUE(b.ChipBlank(0, 0x1000));
    EXPECT_EQ(Chip51(b).LockBits(), 0u);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank OK");
}

TEST(At89c5x, LockModesProgramTheirBitsAndLeaveVccRouted) {
    const unsigned want[] = {1u, 3u, 7u};
    for (int mode = 0; mode < 3; ++mode) {
        SimBench b("AT89C51");
        AlgoForm& f = b.Open("P89C51 1");
        f.Choose("RadioGroup1", mode);
        f.Click("Secrity");
        EXPECT_EQ(f.Text("Msg"), "end");
        EXPECT_EQ(Chip51(b).LockBits(), want[mode]) << mode;
        EXPECT_TRUE(b.sim->GetSocket().VccPins().Has(40));
        EXPECT_TRUE(b.sim->GetSocket().VppCarrying().Empty());
    }
}

TEST(At89c5x, ProgrammingIsRefusedByTheChipOnceLockBitOneIsSet) {
    SimBench b("AT89C51");
    b.RandomImage(0x100, 6);
    Chip51(b).SetLockBits(1);
    AlgoForm& f = b.Open("P89C51 1");
    SetEndAddr(b, 0xFF);
    f.Click("Write");
    EXPECT_TRUE(b.ChipBlank(0, 0x1000));
    f.Click("Verify");
    EXPECT_NE(f.Text("Msg"), "OK");
}

TEST(At89c5x, OtpRowSkipsEraseAndOverCurrentEndsLock) {
    SimBench b("AT89C51");
    b.RandomImage(0x1000, 6);
    Preload(b, 0x1000);
    AlgoForm& f = b.Open("P89C51 8");
    EXPECT_FALSE(f.Get("Erase").Enabled);
    EXPECT_FALSE(f.Get("CheckBox1").Enabled);
    EXPECT_TRUE(f.Checked("CheckBox1"));
    for (const char* box : {"CheckBox2", "CheckBox3", "CheckBox4", "CheckBox5"}) f.SetChecked(box, false);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(Chip51(b).Erases(), 0u);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));

    // Over-current right after VPP reaches EA for the second lock bit.
    int vppOnEa = 0;
    b.tap->afterOut = [&](int) {
        const auto& last = b.tap->commands.back();
        if (last[0] == proto::OpSystem && last[1] == proto::SysVppPin && last[2] == 31 && ++vppOnEa == 2)
            b.sim->InjectOverCurrent();
    };
    f.Click("Secrity");
    EXPECT_EQ(vppOnEa, 2);  // no third pulse: VPP never comes back
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(Chip51(b).LockBits(), 1u);
    EXPECT_NE(f.Text("Msg"), "end");
    EXPECT_EQ(b.prompts.Last(), OverCurrentMsg);

    // A flash row enables Erase again.
    f.Click("CancelBtn");
    b.Open("P89C51 1");
    EXPECT_TRUE(f.Get("Erase").Enabled);
    EXPECT_TRUE(f.Get("CheckBox1").Enabled);
}

// ---- packages ------------------------------------------------------------------------------------

TEST(At89c5x, PlccChipIsProgrammedThroughTheAdapter) {
    SimBench b("AT89C51*P44");
    SelectType(b, "AT89C51*P44");
    b.RandomImage(0x1000, 12);
    AlgoForm& f = b.Open("P89C51 1 #1E 51");
    EXPECT_EQ(b.sim->LoadedTag(), "vex300at51plcc44");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
    f.Click("Secrity");
    EXPECT_EQ(Chip51(b).LockBits(), 7u);
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Has(42));
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

TEST(At89c5x, PlccChipIsNotProgrammedUnderADip40Line) {
    SimBench b("AT89C51*P44");
    SelectType(b, "AT89C51");
    b.RandomImage(0x1000, 12);
    AlgoForm& f = b.Open("P89C51 1 #1E 51");
    EXPECT_EQ(b.sim->LoadedTag(), "vex300");
    b.prompts.defaultAnswer = BtnYes;  // go on whatever the signature says
    f.Click("Write");
    f.Click("Verify");
    EXPECT_NE(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipBlank(0, 0x1000));
}

struct PackageCase {
    const char* type;
    const char* design;
    int vpp, vcc;
    std::uint32_t maskLo;
};

class Packages : public ::testing::TestWithParam<PackageCase> {};

TEST_P(Packages, TypeTextChoosesDesignSuppliesAndMasks) {
    const PackageCase c = GetParam();
    SimBench b("AT89C51");
    b.wb->sel.TypeText = c.type;
    auto& f = dynamic_cast<TAt89c5x&>(b.Open("P89C51 1"));
    EXPECT_EQ(b.sim->LoadedTag(), c.design);
    EXPECT_EQ(f.VppPinNo, c.vpp);
    EXPECT_EQ(f.VccPinNo, c.vcc);
    EXPECT_EQ(f.GndPinNo, 20);
    EXPECT_EQ(f.ContactMaskLo, c.maskLo);
    EXPECT_EQ(f.ContactMaskHi, 0xFFu);
    EXPECT_EQ(f.Text("Edit7"), c.type);
}

INSTANTIATE_TEST_SUITE_P(Types, Packages,
                         ::testing::Values(PackageCase{"ATMEL: AT89C51", "vex300", 31, 40, 0xFFFFFFFFu},
                                           PackageCase{"ATMEL: AT89C51*P44", "vex300at51plcc44", 33, 42, 0x7FEFFDFFu},
                                           PackageCase{"X: 89C51 *Q44 tube", "vex300at51plcc44", 33, 42, 0x7FEFFDFFu},
                                           PackageCase{"X: P44 Q44", "vex300", 31, 40, 0xFFFFFFFFu}),
                         CaseName([](const PackageCase& c) { return std::string(c.type); }));

// ---- setup and the frame's routines ----------------------------------------------------------------

TEST(At89c5x, SetupSetsTheRowRangeAndLevels) {
    const int last[] = {0, 0x0FFF, 0x0FFF, 0x1FFF, 0x1FFF, 0x4FFF, 0x0FFF, 0x1FFF, 0x0FFF, 0x1FFF};
    SimBench b("AT89C51");
    for (int row = 1; row <= 9; ++row) {
        AlgoForm& f = b.Open("P89C51 " + std::to_string(row));
        EXPECT_EQ(b.wb->FileWin->EndAddr, last[row]) << row;
        EXPECT_EQ(f.Get("Erase").Enabled, row < 8) << row;
    }
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 50);
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 120);
    EXPECT_TRUE(b.sim->GetSocket().GndPins().Has(20));
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
}

class BadRows : public ::testing::TestWithParam<const char*> {};

TEST_P(BadRows, RefusedWithOneMessageAndNothingSent) {
    SimBench b("AT89C51");
    const auto before = b.Transfers();
    AlgoForm& f = b.Open(GetParam());
    EXPECT_EQ(b.Transfers(), before);
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_NE(b.prompts.Last().find("variant"), std::string::npos);
    for (const char* op : {"Write", "Blank", "Verify", "Read1", "ID", "Secrity", "Button1"}) {
        f.Click(op);
        EXPECT_EQ(b.Transfers(), before) << op;
    }
    EXPECT_FALSE(f.DeviceLineError().empty());
}

INSTANTIATE_TEST_SUITE_P(Lines, BadRows, ::testing::Values("P89C51 0", "P89C51 10", "P89C51 -1", "P89C51 99"),
                         CaseName([](const char* c) { return std::string(c); }));

TEST(At89c5x, AddressRoutines) {
    SimBench b("AT89C51");
    auto& f = dynamic_cast<TAt89c5x&>(b.Open("P89C51 1"));
    b.wb->Ep3.UsbFlush();
    b.tap->commands.clear();
    f.SetAddress51(0x4F00);
    f.NextAddress51();
    f.SetAddress51(0x0FFF);
    f.NextAddress51();
    b.wb->Ep3.UsbFlush();
    using C = std::vector<std::uint8_t>;
    const std::vector<C> want = {
        {proto::OpLatch0, 0x00}, {proto::OpPinHigh, 21}, {proto::OpPinHigh, 22}, {proto::OpPinHigh, 23},
        {proto::OpPinHigh, 24},  {proto::OpPinLow, 25},  {proto::OpPinLow, 26},  {proto::OpPinHigh, 10},
        {proto::OpLatch0, 0x01}, {proto::OpLatch0, 0xFF}, {proto::OpPinHigh, 21}, {proto::OpPinHigh, 22},
        {proto::OpPinHigh, 23},  {proto::OpPinHigh, 24},  {proto::OpPinLow, 25},  {proto::OpPinLow, 26},
        {proto::OpPinLow, 10},   {proto::OpLatch0, 0x00}};
    EXPECT_EQ(b.tap->commands, want);
    f.ShowAddress("Edit6", -5);
    EXPECT_EQ(f.Text("Edit6"), "0000");
    f.ShowAddress("Edit6", 0x4FFF);
    EXPECT_EQ(f.Text("Edit6"), "4fff");
}

// Read, Blank and Verify after the buffer window was freed: the window comes
// back and they cover the chip.
TEST(At89c5x, ReadBlankVerifyWithoutABufferWindowShowItAgain) {
    SimBench b("AT89C51");
    b.RandomImage(0x1000, 13);
    Preload(b, 0x1000);
    AlgoForm& f = b.Open("P89C51 1");
    for (const char* op : {"Read1", "Verify", "Blank"}) {
        b.wb->FileWin.reset();
        f.Click(op);
        ASSERT_TRUE(b.wb->FileWin) << op;
    }
    EXPECT_EQ(f.Text("Msg"), "No!!!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");

    // Write alone refuses without a window, and a batch pass then counts nothing.
    b.wb->FileWin.reset();
    f.Click("Write");
    EXPECT_EQ(b.prompts.Last(), "Must open a file to write...");
    b.wb->FileWin.reset();
    for (const char* box : {"CheckBox1", "CheckBox2", "CheckBox5"}) f.SetChecked(box, false);
    f.Click("Button1");
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(At89c5x, ClosingSwitchesBothSuppliesOff) {
    SimBench b("AT89C51");
    AlgoForm& f = b.Open("P89C51 1");
    f.Click("Secrity");  // leaves VCC routed
    f.Click("CancelBtn");
    EXPECT_FALSE(f.IsShown());
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 0);
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 0);
}

}  // namespace
}  // namespace quilla::test
