// The Winbond forms (W7851, W78E516) end to end on the simulated programmer.
#include <algorithm>
#include <cstdio>

#include "algo/mcs51/w78.h"
#include "engine/ep3.h"
#include "mcs51_bench.h"
#include "support/device_lines.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

// ---- W7851 -------------------------------------------------------------------------------------

TEST(Pw785x, CfgByteFromTheEnabledBoxes) {
    SimBench b("W78E51");
    AlgoForm& f = b.Open("W7851 1");
    EXPECT_FALSE(f.Get("CheckBox8").Enabled);
    EXPECT_FALSE(f.Get("CheckBox9").Enabled);
    f.SetChecked("CheckBox9", false);  // disabled: takes no part
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "fc,ff,ff");
    EXPECT_EQ(Chip51(b).Extra(0xFFFF), 0xFC);
    EXPECT_TRUE(b.ChipBlank(0, 0x1000));  // the CFG byte is not a code byte
}

TEST(Pw785x, W77RowWritesCfgAndSeedsAtTheirAddresses) {
    SimBench b("W77E58");
    AlgoForm& f = b.Open("W7851 12");
    EXPECT_TRUE(f.Get("Edit1").Enabled);
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "f8,ff,ff");
    EXPECT_EQ(Chip51(b).Extra(0xFFFF), 0xF8);
    EXPECT_EQ(Chip51(b).Extra(0xFFFE), 0xFF);
    EXPECT_EQ(Chip51(b).Extra(0xFFFD), 0xFF);

    // Seeds reach their own cells (the power-up before each byte drives every
    // address pin high; the address is set again after it).
    SimBench c("W77E58");
    AlgoForm& g = c.Open("W7851 12");
    g.SetText("Edit1", "12");
    g.SetText("Edit2", "3c");
    g.SetChecked("CheckBox6", false);
    g.Click("Secrity");
    EXPECT_EQ(g.Text("Msg"), "f9,12,3c");
    EXPECT_EQ(Chip51(c).Extra(0xFFFF), 0xF9);
    EXPECT_EQ(Chip51(c).Extra(0xFFFE), 0x12);
    EXPECT_EQ(Chip51(c).Extra(0xFFFD), 0x3C);
}

TEST(Pw785x, NonHexSeedRefusesTheCfgWrite) {
    SimBench b("W77E54");
    AlgoForm& f = b.Open("W7851 11");
    f.SetText("Edit2", "zz");
    const auto before = b.Transfers();
    f.Click("Secrity");
    EXPECT_EQ(b.Transfers(), before);
    ASSERT_FALSE(b.prompts.shown.empty());
    EXPECT_NE(b.prompts.Last().find("Seed_1"), std::string::npos);
    EXPECT_EQ(Chip51(b).Extra(0xFFFF), 0xFF);

    // On a row without seeds the edits are disabled and not looked at.
    SimBench c("W78E58");
    AlgoForm& g = c.Open("W7851 4");
    g.SetText("Edit1", "zz");
    g.Click("Secrity");
    EXPECT_TRUE(c.prompts.shown.empty());
    EXPECT_EQ(Chip51(c).Extra(0xFFFF), 0xFC);
}

TEST(Pw785x, W78E516RowWritesUpTo0xFFFEAndReadsTheCfgAt0xFFFF) {
    SimBench b("W78E516");
    b.RandomImage(0x10000, 3);
    b.Image()[0xFFFF] = 0x00;
    AlgoForm& f = b.Open("W7851 5");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0xFFFF));
    EXPECT_EQ(Chip51(b).Extra(0xFFFF), 0xFF);  // never written by Write
    f.Click("Secrity");
    EXPECT_EQ(Chip51(b).Extra(0xFFFF), 0xFC);
    std::fill(b.Image(), b.Image() + 0x10000, 0);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0xFFFF));
    EXPECT_EQ(b.Image()[0xFFFF], 0xFC);
}

TEST(Pw785x, EraseAt14VoltsBlanksAProgrammedChip) {
    SimBench b("W78E58");
    b.RandomImage(0x8000, 4);
    Preload(b, 0x8000);
    Chip51(b).SetExtra(0xFFFF, 0xF0);
    AlgoForm& f = b.Open("W7851 4");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipBlank(0, 0x8000));
    EXPECT_EQ(Chip51(b).Extra(0xFFFF), 0xFF);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    // The level Erase used, and the 12.5 V it leaves.
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 125);
}

TEST(Pw785x, WriteVerifyAndTheSignatureQuestion) {
    SimBench b("W78E52");
    b.RandomImage(0x2000, 4);
    AlgoForm& f = b.Open("W7851 2 #DA 52");
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "da,52");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x2000));

    SimBench c("W78E54");
    AlgoForm& g = c.Open("W7851 2 #DA 52");
    c.prompts.answers = {BtnNo};
    c.wb->ErrorFlag() = 0;
    g.Click("Write");
    ASSERT_EQ(c.prompts.shown.size(), 1u);
    EXPECT_EQ(c.prompts.shown[0].text, "Wrong type, OK ??");
    EXPECT_EQ(c.wb->ErrorFlag(), 0);  // this form's check never writes ErrorFlag
    EXPECT_TRUE(c.ChipBlank(0, 0x4000));
}

// ---- W78E516 -----------------------------------------------------------------------------------

TEST(W78e516x, LdromGetsTheImageAfterTheAprom) {
    SimBench b("W78E516B");
    b.RandomImage(0x11000, 9);
    b.wb->options.MassProduction = true;
    AlgoForm& f = b.Open("W78E516 5");
    EXPECT_EQ(f.Get("Label1").Caption, "APROM's Add: 00000-0ffff");
    EXPECT_EQ(f.Get("Label2").Caption, "LDROM's Add: 10000-10fff");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0x10FFF);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x11000));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    std::fill(b.Image(), b.Image() + 0x11000, 0);
    f.Click("Read1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x11000));

    // The batch makes one pass whatever mass production says.
    b.RandomImage(0x11000, 10);
    f.SetChecked("CheckBox5", false);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x11000));
}

TEST(W78e516x, CfgIsItsOwnCellAndIdBytesComeFromTheirSettings) {
    SimBench b("W78LE58");
    AlgoForm& f = b.Open("W78E516 4");
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "da,6e");
    f.SetChecked("CheckBox9", false);
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Chip51(b).Extra(0xFFFF), 0x78);
    EXPECT_TRUE(b.ChipBlank(0, 0x9000));
}

TEST(W78e516x, EraseWithoutVpp) {
    SimBench b("W78E516B");
    b.RandomImage(0x11000, 9);
    Preload(b, 0x11000);
    AlgoForm& f = b.Open("W78E516 5");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipBlank(0, 0x11000));
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank OK");
}

// ---- every line --------------------------------------------------------------------------------

class EveryWinbondLine : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryWinbondLine, ErasesWritesVerifiesAndReadsBack) {
    const ListedLine l = GetParam();
    SimBench b(l.part);
    SelectType(b, l.part);
    auto& f = dynamic_cast<Mcs51Form&>(b.Open(l.params));
    ASSERT_EQ(f.Text("Msg"), "OK ") << l.params;
    const int size = f.SelectedRow()->LastAddress + 1;
    b.RandomImage(size, 21);
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

INSTANTIATE_TEST_SUITE_P(Device640, EveryWinbondLine,
                         ::testing::ValuesIn(DeviceLines("device640.lst", {"W7851", "W78E516"})),
                         CaseName([](const ListedLine& l) { return l.part; }));

}  // namespace
}  // namespace quilla::test
