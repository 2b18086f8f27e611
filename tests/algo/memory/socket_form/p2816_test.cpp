// The byte-write EEPROM form end to end on the simulated programmer.
#include "algo/common/scan.h"
#include "algo/memory/p2816.h"
#include "sim/chips/eeprom.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

TEST(P2816, DefaultBatchWritesAndVerifiesAnAt28c64InOnePass) {
    SimBench b("AT28C64");
    b.RandomImage(0x2000, 3);
    b.wb->options.MassProduction = true;  // the batch is one pass all the same
    AlgoForm& f = b.Open("P2816 7");
    ASSERT_EQ(f.Text("Message"), "OK ");
    EXPECT_EQ(f.Caption(), "0 to 1fff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x2000));
}

struct SpeedCase {
    int speed;    // Speed item
    double slow;  // write cycle 1 ms x slow
    bool passes;
};
class SpeedAgainstWriteCycle : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(SpeedAgainstWriteCycle, TheByteWaitMustCoverTheChipsWriteCycle) {
    const SpeedCase c = GetParam();
    SimBench b("AT28C64");
    b.ChipAs<sim::EepromChip>().SetSlowFactor(c.slow);
    b.RandomImage(0x100, 4);
    std::fill(b.Image() + 0x100, b.Image() + 0x400, 0xFF);  // Verify compares whole 1 KiB blocks
    b.Image()[0] = 0x11;
    b.Image()[1] = 0x22;
    AlgoForm& f = b.Open("P2816 7");
    f.Enter("Edit3", "100");
    f.Choose("Speed", c.speed);
    f.Click("Button1");
    if (c.passes) {
        EXPECT_EQ(f.Text("Message"), "End OK..");
        EXPECT_TRUE(b.ChipMatchesImage(0, 0x100));
    } else {
        // The second byte came while the first was still being written.
        EXPECT_EQ(f.Text("Message"), MismatchText(1, 0x22, 0xFF));
        EXPECT_EQ(b.wb->Counter, "0");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SpeedAgainstWriteCycle,
                         ::testing::Values(SpeedCase{0, 1.0, true}, SpeedCase{0, 1.5, false},
                                           SpeedCase{4, 1.5, true}),
                         CaseName([](const SpeedCase& c) {
                             return "speed " + std::to_string(c.speed) + " cycle " +
                                    std::to_string(static_cast<int>(c.slow * 1000)) + " us";
                         }));

struct WaitCase {
    int speed;
    std::size_t perByte, perGroup;
};
class GroupWaits : public ::testing::TestWithParam<WaitCase> {};

TEST_P(GroupWaits, SpeedSetsTheWaitsPerByteAndPerGroup) {
    const WaitCase c = GetParam();
    SimBench b("AT28C64");
    b.RandomImage(0x80, 1);
    AlgoForm& f = b.Open("P2816 7");
    f.Choose("Speed", c.speed);
    // One group of 64 bytes, then two: the second group adds its waits alone.
    std::size_t ms[2], settle[2];
    for (int groups = 1; groups <= 2; ++groups) {
        f.Enter("Edit3", groups == 1 ? "40" : "80");
        b.tap->commands.clear();
        f.Click("Write");
        ASSERT_EQ(f.Text("Message"), "OK!");
        ms[groups - 1] = b.tap->Count(proto::OpWait1ms);
        settle[groups - 1] = b.tap->Count(proto::OpWaitSettle);
    }
    EXPECT_EQ(ms[1] - ms[0], 64 * c.perByte);
    EXPECT_EQ(settle[1] - settle[0], c.perGroup);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x80));
}

INSTANTIATE_TEST_SUITE_P(Speeds, GroupWaits,
                         ::testing::Values(WaitCase{0, 1, 2}, WaitCase{2, 5, 4}, WaitCase{4, 20, 6}),
                         CaseName([](const WaitCase& c) { return "speed " + std::to_string(c.speed); }));

TEST(P2816, GroupsStartAtTheRoundedOffsetAndOnlyKibBoundariesReadBack) {
    SimBench b("AT28C64");
    b.RandomImage(0x1000, 5);
    AlgoForm& f = b.Open("P2816 7");
    f.Choose("Speed", 0);
    f.Enter("Edit1", "440");
    f.Enter("Edit2", "440");
    f.Enter("Edit3", "400");
    b.tap->commands.clear();
    f.Click("Write");
    ASSERT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(b.tap->Count(proto::OpRead1K), 1u);  // at 0x800 only
    EXPECT_TRUE(b.ChipBlank(0, 0x440));
    EXPECT_TRUE(b.ChipMatchesImage(0x440, 0x400));
    EXPECT_TRUE(b.ChipBlank(0x840, 0x100));
}

TEST(P2816, ReadBackComparesOnlyTheGroupJustWritten) {
    SimBench b("AT28C64");
    b.RandomImage(0x1000, 6);
    auto cells = b.ChipAs<sim::EepromChip>().MutableContents();
    cells[0x840] = static_cast<std::uint8_t>(~b.Image()[0x840]);  // outside the group at 0x800
    AlgoForm& f = b.Open("P2816 7");
    f.Choose("Speed", 0);
    f.Enter("Edit1", "800");
    f.Enter("Edit2", "800");
    f.Enter("Edit3", "40");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");  // 0x840 is written after the group at 0x800
}

TEST(P2816, EraKeyShowsTheErase) {
    SimBench b("AT28C256");
    AlgoForm& f = b.Open("P2816 8");
    for (const char* c : {"Erase", "CheckBox1", "CheckBox2"}) EXPECT_FALSE(f.Get(c).Visible) << c;
    f.Click("Erase");  // hidden: nothing happens
    EXPECT_EQ(f.Text("Message"), "OK ");

    b.RandomImage(0x8000, 7);
    auto cells = b.ChipAs<sim::EepromChip>().MutableContents();
    std::copy(b.Image(), b.Image() + 0x8000, cells.begin());
    AlgoForm& g = b.Open("P2816 8 era=1");
    for (const char* c : {"Erase", "CheckBox1", "CheckBox2"}) EXPECT_TRUE(g.Get(c).Visible) << c;
    g.Click("Blank");
    EXPECT_NE(g.Text("Message"), "Blank.");
    g.Click("Erase");
    EXPECT_EQ(g.Text("Message"), "OK");
    g.Click("Blank");
    EXPECT_EQ(g.Text("Message"), "Blank.");
    EXPECT_TRUE(b.ChipBlank(0, 0x8000));
}

TEST(P2816, ChipClearNeedsTheDatasheetsTwelveVolts) {
    // The AT28C64 clears with 12 V on OE; the AT28C16 has no clear and keeps its bytes.
    SimBench b("AT28C16");
    auto cells = b.ChipAs<sim::EepromChip>().MutableContents();
    std::fill(cells.begin(), cells.end(), 0x5A);
    AlgoForm& f = b.Open("P2816 3 era=1");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "000000:Err. Not Blank=5a");
}

TEST(P2816, AOnePassBatchNeedsTheBufferWindowWhenItWrites) {
    SimBench b("AT28C64");
    AlgoForm& f = b.Open("P2816 7");
    b.wb->FileWin.reset();
    f.Click("Button1");
    EXPECT_EQ(b.prompts.Last(), "Must open a file to write...");
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(P2816, ARowWithoutContactMasksStillFindsAnEmptySocket) {
    SimBench b("AT28C17");
    b.wb->options.ContactCheck = true;
    b.sim->SetChipPresent(false);
    AlgoForm& f = b.Open("P2816 5");
    f.Click("Blank");
    EXPECT_NE(f.Text("Message"), "Blank.");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(P2816, TheRowWithoutASocketPinForWriteEnableIsRefusedAtSetup) {
    SimBench b("AT28C16");
    b.tap->commands.clear();
    AlgoForm& f = b.Open("P2816 1");
    EXPECT_NE(f.Text("Message").find("socket pin 255"), std::string::npos) << f.Text("Message");
    EXPECT_TRUE(b.tap->commands.empty());
}

}  // namespace
}  // namespace quilla::test
