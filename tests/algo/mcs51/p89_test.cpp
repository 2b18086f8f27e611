// The Philips P89C51 flash forms (PHI89C51, PHI89NEW) end to end on the
// simulated programmer.
#include <algorithm>
#include <cstdio>

#include "algo/mcs51/p89.h"
#include "algo/mcs51/sm8951.h"
#include "engine/ep3.h"
#include "mcs51_bench.h"
#include "sim/chips/p89.h"
#include "support/device_lines.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

sim::P89Chip& P89(SimBench& b) { return b.ChipAs<sim::P89Chip>(); }

// ---- PHI89C51 ----------------------------------------------------------------------------------

TEST(Phi89c5x, DefaultBatchThenTheConfigurationRead) {
    SimBench b("P89C51RD+");
    b.RandomImage(0x400, 3);
    Preload(b, 0x100);  // a used chip: the batch erases it first
    AlgoForm& f = b.Open("PHI89C51 8 #15 C2 FB");
    SetEndAddr(b, 0x3FF);
    f.SetText("Edit1", "5a");
    f.SetText("Edit2", "1A5");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
    EXPECT_EQ(P89(b).LockBits(), 7u);
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "Lock=07,Stat=5a,Vect=a5");
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

TEST(Phi89c5x, EraseShowsThreeStepsAndBlanksTheChip) {
    SimBench b("P89C54U");
    b.RandomImage(0x4000, 3);
    Preload(b, 0x4000);
    P89(b).SetCell(sim::kP89Lock1, 1);
    AlgoForm& f = b.Open("PHI89C51 3");
    std::vector<int> bar;
    b.tap->beforeOut = [&](int) {
        const auto& c = f.Get("RdBar");
        if (c.Max == 3 && (bar.empty() || bar.back() != c.Position)) bar.push_back(c.Position);
    };
    f.Click("Erase");
    b.tap->beforeOut = nullptr;
    bar.push_back(f.Get("RdBar").Position);
    EXPECT_EQ(f.Text("Msg"), "OK");
    for (int want : {1, 2, 3}) EXPECT_NE(std::find(bar.begin(), bar.end(), want), bar.end()) << want;
    EXPECT_TRUE(b.ChipBlank(0, 0x4000));
    EXPECT_EQ(P89(b).LockBits(), 0u);
}

TEST(Phi89c5x, ConfigurationControlsByRowAndInitOnlyWhenTicked) {
    SimBench b("P89C51U");
    AlgoForm& f = b.Open("PHI89C51 1");
    EXPECT_FALSE(f.Get("Config").Enabled);
    EXPECT_FALSE(f.Checked("CheckCon"));
    b.Open("PHI89C51 5");
    EXPECT_TRUE(f.Get("Config").Enabled);
    EXPECT_TRUE(f.Checked("CheckCon"));

    for (bool init : {false, true}) {
        SimBench c("P89C51U");
        AlgoForm& g = c.Open("PHI89C51 1");
        for (const char* box : {"CheckBla", "CheckWri", "CheckVer", "CheckSec"}) g.SetChecked(box, false);
        g.SetChecked("initial", init);
        const std::size_t from = c.sim->Log().Events().size();
        g.Click("Button1");
        EXPECT_EQ(g.Text("Msg"), "End OK..");
        // The erase steps (ALE/PROG low with VPP on EA): Init's with P3.0 low,
        // Erase's three with P3.0 high.
        std::vector<int> p30AtPulse;
        bool p30 = false, vpp = false;
        for (std::size_t i = from; i < c.sim->Log().Events().size(); ++i) {
            const auto& e = c.sim->Log().Events()[i];
            if (e.kind == sim::EventKind::VppRoute) vpp = e.pin == 31;
            if (e.pin == 10 && (e.kind == sim::EventKind::PinHigh || e.kind == sim::EventKind::PinLow))
                p30 = e.kind == sim::EventKind::PinHigh;
            if (e.pin == 30 && e.kind == sim::EventKind::PinLow && vpp) p30AtPulse.push_back(p30);
        }
        const std::vector<int> want = init ? std::vector<int>{0, 1, 1, 1} : std::vector<int>{1, 1, 1};
        EXPECT_EQ(p30AtPulse, want) << init;
    }
}

TEST(Phi89c5x, WritesWholePagesUpToEndAddr) {
    SimBench b("P89C54U");
    b.RandomImage(0x4000, 4);
    b.Image()[0x12F0] = 0x3C;
    AlgoForm& f = b.Open("PHI89C51 3");
    SetEndAddr(b, 0x1234);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1300));
    EXPECT_TRUE(b.ChipBlank(0x1300, 0x4000 - 0x1300));
    b.Image()[0x12F0] = 0xC3;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "12f0:Error.(File=c3,chip=3c)");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(Phi89c5x, StatusWithoutAHexDigitRefusesWrCfg) {
    SimBench b("P89C51RA+");
    AlgoForm& f = b.Open("PHI89C51 5");
    f.SetText("Edit1", "zz");
    const auto before = b.Transfers();
    f.Click("Config");
    EXPECT_EQ(b.Transfers(), before);
    ASSERT_FALSE(b.prompts.shown.empty());
    EXPECT_NE(b.prompts.Last().find("Status"), std::string::npos);
    EXPECT_EQ(P89(b).Cell(sim::kP89Status), 0xFF);
}

// ---- PHI89NEW ----------------------------------------------------------------------------------

TEST(Phi89new, SignatureAndTheClockCellOnlyOnX2Rows) {
    SimBench b("P89C54X2");
    AlgoForm& f = b.Open("PHI89NEW 15 #15 C2 D2");
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "Detected MFG and ID = 15,c2,d2.");
    EXPECT_TRUE(f.Get("CheckBox4").Enabled);
    f.SetChecked("CheckBox4", true);
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(P89(b).Cell(sim::kP89Clock), 0);
    EXPECT_EQ(P89(b).LockBits(), 7u);

    SimBench c("P89C54BP");
    AlgoForm& g = c.Open("PHI89NEW 15");
    g.SetChecked("CheckBox4", true);
    c.Open("PHI89NEW 3");  // a BP row: the box disabled, its tick kept
    EXPECT_FALSE(g.Get("CheckBox4").Enabled);
    EXPECT_TRUE(g.Checked("CheckBox4"));
    c.tap->commands.clear();
    g.Click("Secrity");
    // Only the three lock pulses' setting, never the clock setting (P2.6 high).
    for (const auto& cmd : c.tap->commands) EXPECT_FALSE(cmd[0] == proto::OpPinHigh && cmd[1] == 27);
}

TEST(Phi89new, Row4TakesTheBpThirdBytesAndAnFfChipAsksLocked) {
    for (std::uint8_t third : {0xF8, 0xFE}) {
        SimBench b("P89C58BP");
        b.RandomImage(0x100, 2);
        AlgoForm& f = b.Open("PHI89NEW 4 #15 C2 F7");
        SetEndAddr(b, 0xFF);
        b.sim->GetChip()->SetSlowFactor(1.0);
        b.ChipAs<sim::P89Chip>().SetCell(sim::kP89Sig2, third);
        f.Click("Write");
        EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
        EXPECT_TRUE(b.ChipMatchesImage(0, 0x100));
    }
    SimBench c("P89C58BP");
    c.ChipAs<sim::P89Chip>().SetCell(sim::kP89Sig0, 0xFF);
    AlgoForm& g = c.Open("PHI89NEW 4 #15 C2 F8");
    c.prompts.answers = {BtnNo};
    g.Click("Write");
    ASSERT_EQ(c.prompts.shown.size(), 1u);
    EXPECT_EQ(c.prompts.shown[0].text, "Maybe locked, or no chip...\n OK ? ");
}

// ---- PHI89RX2 and P89C51RX2XX -----------------------------------------------------------------

struct Rx2Case {
    const char* part;
    const char* other;  // the same part in the other marking
    const char* params;
    const char* cfgText;
    std::uint32_t lock2Address;
};

class Rx2Forms : public ::testing::TestWithParam<Rx2Case> {};

TEST_P(Rx2Forms, BatchConfigurationLockAndTheOtherMarking) {
    const Rx2Case c = GetParam();
    SimBench b(c.part);
    b.RandomImage(0x2000, 5);
    AlgoForm& f = b.Open(c.params);
    SetEndAddr(b, 0x2FF);
    f.SetText("Edit1", "5a");
    f.SetText("Edit2", "a5");
    f.SetChecked("CheckBox4", true);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x300));
    EXPECT_EQ(P89(b).LockBits(), 7u);
    EXPECT_EQ(P89(b).Cell(sim::kP89Clock), 0);
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), c.cfgText);

    // Lock with only the second box: one cell, lock bit 2.
    SimBench l(c.part);
    AlgoForm& g = l.Open(c.params);
    g.SetChecked("CheckBox1", false);
    g.SetChecked("CheckBox3", false);
    l.tap->commands.clear();
    g.Click("Secrity");
    EXPECT_EQ(P89(l).LockBits(), 2u);
    EXPECT_EQ(CountCommand(l, proto::OpPutData51, 0xFF), 1u);

    // A chip of the other marking: not programmed.
    SimBench o(c.other);
    o.RandomImage(0x100, 5);
    AlgoForm& h = o.Open(std::string(c.params).substr(0, std::string(c.params).find(" #")));
    SetEndAddr(o, 0xFF);
    h.Click("Write");
    h.Click("Verify");
    EXPECT_NE(h.Text("Msg"), "OK");
    EXPECT_TRUE(o.ChipBlank(0, 0x100));
}

INSTANTIATE_TEST_SUITE_P(
    Markings, Rx2Forms,
    ::testing::Values(Rx2Case{"P89C51RA2Hxx", "P89C51RA2xx", "PHI89RX2 1 #15 C2 E0",
                              "Lock=07,Stat=5a,Vect=a5,Clock=7f", 1},
                      Rx2Case{"P89C51RA2xx", "P89C51RA2Hxx", "P89C51RX2XX 1 #15 C2 E0",
                              "Status=5a,Vect=a5,Config=7f,Lock=07", 0x4000}),
    CaseName([](const Rx2Case& c) { return std::string(c.part); }));

TEST(Rx2Forms, PlccRoutesVppTo33) {
    SimBench b("P89C51RD2xx*P44");
    SelectType(b, "P89C51RD2xx*P44");
    b.RandomImage(0x200, 5);
    AlgoForm& f = b.Open("P89C51RX2XX 4 #15 C2 E3");
    SetEndAddr(b, 0x1FF);
    f.Click("Write");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x200));
    bool vpp33 = false;
    for (const auto& e : b.sim->Log().Events())
        if (e.kind == sim::EventKind::VppRoute && e.pin == 33) vpp33 = true;
    EXPECT_TRUE(vpp33);
}

// ---- every line --------------------------------------------------------------------------------

// ---- the pin scripts of the flow -----------------------------------------------------------------

// The pin commands (high or low, pin) the tap recorded since it was cleared.
std::vector<std::pair<bool, int>> PinCommands(const SimBench& b) {
    std::vector<std::pair<bool, int>> pins;
    for (const auto& c : b.tap->commands)
        if ((c[0] == proto::OpPinHigh || c[0] == proto::OpPinLow) && c.size() > 1)
            pins.push_back({c[0] == proto::OpPinHigh, c[1]});
    return pins;
}

TEST(Flash51Steps, AModeSetsTheRowsPinsInOrderAndAnAddressStepsByTheBox) {
    SimBench b("P89C51RD2xx");
    auto& f = dynamic_cast<Flash51Form&>(b.Open("P89C51RX2XX 4 #15 C2 E3"));
    b.tap->commands.clear();
    // Mode digits: P2.6, P3.7, P3.1, P3.0; box 2 of 0x3000 + 0x1000 per box: 0x5000.
    EXPECT_TRUE(f.Run({steps51::Mode("1010"), steps51::At(0x3000, 0x1000), Do51::Flush}, {}, 2));
    const std::vector<std::pair<bool, int>> want = {{true, 27},  {false, 17}, {true, 11},  {false, 10},
                                                    {false, 21}, {false, 22}, {false, 23}, {false, 24},
                                                    {true, 25},  {false, 26}, {true, 14},  {false, 15}};
    EXPECT_EQ(PinCommands(b), want);
}

TEST(Flash51Steps, AFailedCheckStopsTheScriptThere) {
    SimBench b("P89C51RD2xx");
    auto& f = dynamic_cast<Flash51Form&>(b.Open("P89C51RX2XX 4 #15 C2 E3"));
    b.sim->SetChipPresent(false);
    EXPECT_FALSE(f.Run({steps51::Say("before"), Do51::Contact, steps51::Say("after")}));
    EXPECT_EQ(f.Text("Msg"), "before");
    b.sim->SetChipPresent(true);
    EXPECT_TRUE(f.Run({steps51::Say("before"), Do51::Contact, steps51::Say("after")}));
    EXPECT_EQ(f.Text("Msg"), "after");
}

// The same runner on the SyncMOS flow: a list repeated (the line's count, or
// twice), a mode by the row's pins P3.0-P3.2, a kind of the form's own.
TEST(Script51Steps, ARepeatRunsItsBodyAndTheFlowTakesItsOwnKinds) {
    SimBench b("SM8951A");
    auto& f = dynamic_cast<SyncMos51Form&>(b.Open("SM8951 1"));  // the line's erase count: 8
    b.tap->commands.clear();
    const Steps51 once = {H(16)}, twice = {L(17), steps51::Mode("101")};
    EXPECT_TRUE(f.Run({steps51::ByLine(once), Step51(twice, 2), sm51::Ticks(2)}));
    std::vector<std::pair<bool, int>> want(8, {true, 16});
    for (int i = 0; i < 2; ++i) want.insert(want.end(), {{false, 17}, {true, 10}, {false, 11}, {true, 12}});
    EXPECT_EQ(PinCommands(b), want);
    EXPECT_EQ(f.Text("Msg"), "Erase: 2");
}

class EveryP89Line : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryP89Line, ErasesWritesVerifiesAndReadsBack) {
    const ListedLine l = GetParam();
    SimBench b(l.part);
    SelectType(b, l.part);
    auto& f = dynamic_cast<Mcs51Form&>(b.Open(l.params));
    ASSERT_EQ(f.Text("Msg"), "OK ") << l.params;
    const int size = f.SelectedRow()->LastAddress + 1;
    b.RandomImage(size, 21);
    Preload(b, 0x100);
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

INSTANTIATE_TEST_SUITE_P(Device640, EveryP89Line,
                         ::testing::ValuesIn(DeviceLines("device640.lst", {"PHI89C51", "PHI89NEW", "PHI89RX2", "P89C51RX2XX"})),
                         CaseName([](const ListedLine& l) { return l.part; }));

}  // namespace
}  // namespace quilla::test
