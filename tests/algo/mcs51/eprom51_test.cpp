// The 8051 EPROM/OTP forms (PHI8758, PHI87591, V87C58, DS87C520) end to end on
// the simulated programmer with pulse-timed one-time-programmable parts.
#include <algorithm>
#include <cstdio>

#include "algo/mcs51/eprom51.h"
#include "engine/ep3.h"
#include "mcs51_bench.h"
#include "support/device_lines.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using sim::EventKind;

// ---- PHI8758 -----------------------------------------------------------------------------------

TEST(Phi875x, DefaultBatchProgramsVerifiesAndSetsTheThreeLockBits) {
    SimBench b("87C51");
    b.RandomImage(0x1000, 3);
    AlgoForm& f = b.Open("PHI8758 2 #15 92");
    ASSERT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(f.Caption(), "51 MPU 0 to fff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
    EXPECT_EQ(Chip51(b).LockBits(), 7u);
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

TEST(Phi875x, A97cPartNeedsTheLongTrainOfItsOwnRow) {
    SimBench b("97C51");
    b.RandomImage(0x1000, 5);
    AlgoForm& f = b.Open("PHI8758 2 #15 92");  // the 87C51 row: five pulses
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipBlank(0, 0x1000));
    f.Click("Verify");
    int first = 0;
    while (b.Image()[first] == 0xFF) ++first;
    char want[64];
    std::snprintf(want, sizeof want, "%04x:Error.(File=%02x,chip=ff)", first, b.Image()[first]);
    EXPECT_EQ(f.Text("Msg"), want);
    EXPECT_EQ(b.wb->ErrorFlag(), 1);

    b.Open("PHI8758 14 #15 92");  // its own row: 25 pulses
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
}

struct LockCase {
    const char* part;
    const char* params;
    bool noExtTicked;
    unsigned bits;
    bool message;
};

class Phi875xLock : public ::testing::TestWithParam<LockCase> {};

TEST_P(Phi875xLock, ThirdBitOnlyWithThePhilipsIdAndAnEnabledTick) {
    const LockCase c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    f.SetChecked("CheckBox7", c.noExtTicked);
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Chip51(b).LockBits(), c.bits);
    EXPECT_EQ(!b.prompts.shown.empty() && b.prompts.Last() == "No setting for \"No ext code\", may not run...",
              c.message);
}

INSTANTIATE_TEST_SUITE_P(Cases, Phi875xLock,
                         ::testing::Values(LockCase{"87C52", "PHI8758 4 #15 97", true, 7u, false},
                                           LockCase{"87C52", "PHI8758 4 #15 97", false, 3u, true},
                                           LockCase{"87C52", "PHI8758 4 #1E 97", true, 3u, false},
                                           LockCase{"87C52", "PHI8758 4", true, 3u, false},
                                           LockCase{"97C52", "PHI8758 15 #15 97", true, 3u, true}),
                         CaseName([](const LockCase& c) {
                             return std::string(c.params) + (c.noExtTicked ? " ticked" : " unticked");
                         }));

TEST(Phi875x, SixClockCellOnlyOnAClk6Line) {
    SimBench b("87C54X2");
    AlgoForm& f = b.Open("PHI8758 5 #15 BB clk=6");
    EXPECT_TRUE(f.Get("RadioGroup1").Visible);
    f.Click("Button3");
    EXPECT_EQ(f.Text("Msg"), "12 Clock(ff)");
    f.Choose("RadioGroup1", 0);
    f.Click("Config");
    EXPECT_EQ(f.Text("Msg"), "Config 6 Clock OK");
    f.Click("Button3");
    EXPECT_EQ(f.Text("Msg"), "6 Clock(ef)");
    EXPECT_EQ(Chip51(b).Config(), 0xEF);

    // A line without clk= hides the group: the choice it keeps burns nothing.
    SimBench c("87C54X2");
    AlgoForm& g = c.Open("PHI8758 5 #15 BB clk=6");
    g.Choose("RadioGroup1", 0);
    c.Open("PHI8758 5 #15 BB");
    EXPECT_FALSE(g.Get("RadioGroup1").Visible);
    EXPECT_FALSE(g.Get("CheckBox8").Enabled);
    const auto before = c.Transfers();
    g.Click("Config");
    EXPECT_EQ(g.Text("Msg"), "");
    g.Click("Button3");
    EXPECT_EQ(g.Text("Msg"), "");
    EXPECT_EQ(c.Transfers(), before);
    EXPECT_EQ(Chip51(c).Config(), 0xFF);
}

TEST(Phi875x, WriteProgramsWholeBlocksUpToEndAddr) {
    SimBench b("87C58");
    b.RandomImage(0x8000, 6);
    AlgoForm& f = b.Open("PHI8758 6");
    SetEndAddr(b, 0x1234);
    f.Click("Write");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1300));
    EXPECT_TRUE(b.ChipBlank(0x1300, 0x8000 - 0x1300));
}

class VccLines : public ::testing::TestWithParam<const char*> {};

TEST_P(VccLines, VccOutsideThePartsWindowIsRefusedAtSetup) {
    SimBench b("87C51");
    const auto before = b.Transfers();
    AlgoForm& f = b.Open(GetParam());
    EXPECT_EQ(b.Transfers(), before);
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_NE(b.prompts.Last().find("vcc="), std::string::npos);
    f.Click("Write");
    EXPECT_EQ(b.Transfers(), before);
}

INSTANTIATE_TEST_SUITE_P(Lines, VccLines, ::testing::Values("PHI8758 2 vcc=6500", "PHI8758 2 vcc=3300"),
                         CaseName([](const char* c) { return std::string(c); }));

TEST(Phi875x, VccFromTheLine) {
    SimBench b("87C51");
    b.Open("PHI8758 2 vcc=4800");
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 48);
    b.Open("PHI8758 2 vcc=0");
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 50);
}

// ---- PHI87591 ----------------------------------------------------------------------------------

TEST(Phi87c591x, WriteReadAndTheSecurityRead) {
    SimBench b("87C591");
    b.RandomImage(0x4000, 8);
    AlgoForm& f = b.Open("PHI87591 1 #15 BB");
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "15,bb,c1");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x4000));
    std::vector<std::uint8_t> want(b.Image(), b.Image() + 0x4000);
    std::fill(b.Image(), b.Image() + 0x4000, 0);
    f.Click("Read1");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image()));
    f.Click("ReadID");
    EXPECT_EQ(f.Text("Msg"), "Secrity=00");
    EXPECT_EQ(TPhi87c591x::SecurityValue(0x80, 0x01), 0x60);
    EXPECT_EQ(TPhi87c591x::SecurityValue(0x40, 0x20), 0x81);
    f.Click("Secrity");
    EXPECT_EQ(Chip51(b).LockBits(), 7u);
}

// ---- V87C58 ------------------------------------------------------------------------------------

TEST(V87c58x, PrimingReplyStaysOutOfTheImageAndLockSetsTheFirstBit) {
    SimBench b("V87C58");
    b.RandomImage(0x8000, 8);
    AlgoForm& f = b.Open("V87C58 2");
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "15,bd");
    EXPECT_EQ(b.wb->sel.LastReadId[2], 0);
    f.Click("Write");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
    std::fill(b.Image(), b.Image() + 0x8000, 0x5A);
    SetEndAddr(b, 0xFF);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x100));
    EXPECT_EQ(b.Image()[0x100], 0x5A);
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "end");
    EXPECT_EQ(Chip51(b).LockBits(), 1u);
}

TEST(V87c58x, PlccChipContactTestsUseTheDip40Arguments) {
    // Socket pin 10 is in the DIP40 masks but not in the adapter's: a bad
    // contact there is seen only by a DIP40 contact test.
    SimBench b("V87C58*P44");
    SelectType(b, "V87C58*P44");
    b.RandomImage(0x200, 8);
    AlgoForm& f = b.Open("V87C58 2");
    EXPECT_EQ(b.sim->LoadedTag(), "vex300at51plcc44");
    SetEndAddr(b, 0x1FF);
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x200));
    b.sim->SetBadContact(10);
    b.prompts.defaultAnswer = BtnCancel;
    for (const char* op : {"Read1", "Blank", "Verify", "Write", "Secrity"}) {
        const std::size_t shown = b.prompts.shown.size();
        f.Click(op);
        EXPECT_GT(b.prompts.shown.size(), shown) << op;
    }
    EXPECT_EQ(Chip51(b).LockBits(), 0u);

    // The PHI8758 form tests the same chip with the adapter's masks.
    SimBench c("87C58*P44");
    SelectType(c, "87C58*P44");
    AlgoForm& g = c.Open("PHI8758 6");
    c.sim->SetBadContact(10);
    g.Click("ID");
    EXPECT_TRUE(c.prompts.shown.empty()) << c.prompts.Last();
    EXPECT_EQ(g.Text("Msg"), "15,bd,c2");
}

// ---- DS87C520 ----------------------------------------------------------------------------------

TEST(Ds87c520x, WatchdogByteAndOneLockMode) {
    SimBench b("DS87C520");
    b.RandomImage(0x4000, 8);
    AlgoForm& f = b.Open("DS87C520 1");
    EXPECT_EQ(b.sim->LoadedTag(), "p51dip40");
    const auto before = b.Transfers();
    f.Click("Config");
    EXPECT_EQ(f.Text("Msg"), "Disable Watchdog!");
    EXPECT_EQ(b.Transfers(), before);
    f.SetChecked("CheckBox4", true);
    f.Click("Config");
    EXPECT_EQ(f.Text("Msg"), "Enabled Watchdog");
    EXPECT_EQ(Chip51(b).Config(), 0xF7);
    f.Click("ID");
    const std::string id = f.Text("Msg");
    EXPECT_EQ(id.substr(id.size() - 11), "Watchdog=f7") << id;

    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    const std::size_t from = b.sim->Log().Events().size();
    f.Click("Secrity");  // "3.加No R  (Lock)"
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Chip51(b).LockBits(), 2u);
    bool vpp = false;
    for (std::size_t i = from; i < b.sim->Log().Events().size(); ++i) {
        const auto& e = b.sim->Log().Events()[i];
        if (e.kind == EventKind::VppRoute && e.pin == 31) vpp = true;
    }
    EXPECT_TRUE(vpp);
}

TEST(Ds87c520x, NoLockItemProgramsNothing) {
    SimBench b("DS87C520");
    AlgoForm& f = b.Open("DS87C520 1");
    f.Choose("RadioGroup1", 0);
    f.Click("Secrity");
    EXPECT_EQ(Chip51(b).LockBits(), 0u);
    f.Choose("RadioGroup1", 3);
    f.Click("Secrity");
    EXPECT_EQ(Chip51(b).LockBits(), 4u);
}

// ---- every line ----------------------------------------------------------------------------------

class EveryEpromLine : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryEpromLine, WritesVerifiesAndReadsBack) {
    const ListedLine l = GetParam();
    SimBench b(l.part);
    SelectType(b, l.part);
    b.prompts.defaultAnswer = BtnYes;  // contact questions of the DIP40 tests on the adapter
    auto& f = dynamic_cast<Mcs51Form&>(b.Open(l.params));
    ASSERT_EQ(f.Text("Msg"), "OK ") << l.params;
    const int size = f.SelectedRow()->LastAddress + 1;
    b.RandomImage(size, 21);
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, size));
    std::vector<std::uint8_t> want(b.Image(), b.Image() + size);
    std::fill(b.Image(), b.Image() + size, 0);
    f.Click("Read1");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image()));
}

INSTANTIATE_TEST_SUITE_P(Device640, EveryEpromLine,
                         ::testing::ValuesIn(DeviceLines("device640.lst",
                                                         {"PHI8758", "PHI87591", "V87C58", "DS87C520"})),
                         CaseName([](const ListedLine& l) { return l.part; }));

}  // namespace
}  // namespace quilla::test
