// The PIC16C5x parallel forms (P16C54, P16C57) end to end on the simulated
// programmer: the "pic16c54dip18"/"pic16c57dip28" designs and the PIC16C5x
// program/verify model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "algo/pic/p16c5x.h"
#include "app/hexfile.h"
#include "sim/chips/pic16c5x.h"
#include "sim/operator.h"
#include "support/device_lines.h"
#include "support/fault_sweep.h"
#include "support/gpasm.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

using sim::Pic16c5xChip;

// 12-bit words with the high byte's upper nibble set (an image padded with FFh
// keeps those bits; the chip has none).
void FillWords(SimBench& b, int words, unsigned seed) {
    std::uint32_t x = seed * 2654435761u + 11;
    for (int n = 0; n < words; ++n) {
        x = x * 1103515245u + 12345u;
        const std::uint16_t w = (n % 7 == 3) ? 0x0FFF : static_cast<std::uint16_t>((x >> 9) & 0x0FFF);
        b.Image()[2 * n] = static_cast<std::uint8_t>(w & 0xFF);
        b.Image()[2 * n + 1] = static_cast<std::uint8_t>(0xF0 | (w >> 8));
    }
}

std::uint16_t ImageWord(SimBench& b, int n) {
    return static_cast<std::uint16_t>((b.Image()[2 * n] | (b.Image()[2 * n + 1] << 8)) & 0x0FFF);
}

bool ChipHoldsWords(SimBench& b, int words) {
    const auto& chip = b.ChipAs<Pic16c5xChip>();
    for (int n = 0; n < words; ++n)
        if (chip.Word(n) != ImageWord(b, n)) return false;
    return true;
}

void WithFile(SimBench& b) {
    if (!b.wb->FileWin) b.wb->FileWin = std::make_unique<HexWindowState>();
}

int Count(const SimBench& b, std::uint8_t op) { return static_cast<int>(b.tap->Count(op)); }

// ---- every row -------------------------------------------------------------------------------------

struct Part {
    const char* part;
    const char* params;
    int words;
};
class EveryP16c5xRow : public ::testing::TestWithParam<Part> {};

TEST_P(EveryP16c5xRow, WriteThenReadGivesTheImageMaskedTo12Bits) {
    const Part& p = GetParam();
    SimBench b(p.part);
    WithFile(b);
    FillWords(b, p.words, 3);
    std::vector<std::uint8_t> unmasked(b.Image(), b.Image() + 2 * p.words);
    AlgoForm& f = b.Open(p.params);
    EXPECT_EQ(f.Text("Msg"), "OK ");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(ChipHoldsWords(b, p.words));
    EXPECT_EQ(b.ChipAs<Pic16c5xChip>().Config(), 0x0FFF);  // Write leaves the configuration word
    std::vector<std::uint8_t> masked = unmasked;
    for (std::size_t n = 1; n < masked.size(); n += 2) masked[n] &= 0x0F;
    EXPECT_TRUE(std::equal(masked.begin(), masked.end(), b.Image()));  // Write masked the image
    std::fill(b.Image(), b.Image() + 2 * p.words, 0);
    f.Click("ReadToFile");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(masked.begin(), masked.end(), b.Image()));
    // Verify of the good chip against the unmasked, FFh-padded image passes.
    std::copy(unmasked.begin(), unmasked.end(), b.Image());
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

INSTANTIATE_TEST_SUITE_P(P16c5x, EveryP16c5xRow,
                         ::testing::Values(Part{"PIC16C54", "P16C54 1", 512}, Part{"PIC16C56", "P16C54 2", 1024},
                                           Part{"PIC16C58", "P16C54 3", 2048}, Part{"PIC16C55", "P16C57 1", 512},
                                           Part{"PIC16C57", "P16C57 2", 2048}),
                         [](const ::testing::TestParamInfo<Part>& i) { return std::string(i.param.part); });

// ---- Blank and Verify ------------------------------------------------------------------------------

struct BlankCase {
    const char* name;
    int word;            // program word to program, -1 the configuration word
    std::uint16_t value;
    const char* text;
    int address;         // Edit6 after the check
};
class P16c5xBlank : public ::testing::TestWithParam<BlankCase> {};

TEST_P(P16c5xBlank, FindsTheProgrammedLocation) {
    const BlankCase& c = GetParam();
    SimBench b("PIC16C56");
    AlgoForm& f = b.Open("P16C54 2");
    auto& chip = b.ChipAs<Pic16c5xChip>();
    if (c.word < 0) chip.SetConfig(c.value);
    else chip.SetWord(c.word, c.value);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), c.text);
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    if (c.address >= 0) {
        EXPECT_EQ(f.Text("Edit6"), Hex4(static_cast<std::uint32_t>(c.address)));
    }
}

INSTANTIATE_TEST_SUITE_P(P16c5x, P16c5xBlank,
                         ::testing::Values(BlankCase{"FirstHalfOfABlock", 98, 0x0FFE, "Code  No!!!", 0xC0},
                                           BlankCase{"LastHalfOfABlock", 32 * 5 + 31, 0x07FF, "Code  No!!!", 0x140},
                                           BlankCase{"LastWord", 1023, 0x0EFF, "Code  No!!!", 0x7C0},
                                           BlankCase{"ConfigurationWord", -1, 0x0FFB, "CFG 字No!!!", -1}),
                         [](const ::testing::TestParamInfo<BlankCase>& i) { return std::string(i.param.name); });

TEST(P16c5x, VerifyFindsAWrongWord) {
    SimBench b("PIC16C54");
    WithFile(b);
    FillWords(b, 512, 4);
    AlgoForm& f = b.Open("P16C54 1");
    f.Click("Write");
    ASSERT_EQ(f.Text("Msg"), "OK");
    b.ChipAs<Pic16c5xChip>().SetWord(300, static_cast<std::uint16_t>(ImageWord(b, 300) & 0x0F0F));
    if (b.ChipAs<Pic16c5xChip>().Word(300) == ImageWord(b, 300)) b.ChipAs<Pic16c5xChip>().SetWord(300, 0);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Vrfy错!");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(f.Text("Edit6"), "0240");  // the block's start
}

// ---- configuration and user IDs ---------------------------------------------------------------------

struct IdCase {
    const char* part;
    const char* params;
    int words;
};
class P16c5xIds : public ::testing::TestWithParam<IdCase> {};

TEST_P(P16c5xIds, WriteCfgProgramsTheNibblesAfterProgramMemory) {
    const IdCase& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    f.Enter("Edit1", "12ab");
    b.tap->commands.clear();
    f.Click("WtConfig");
    EXPECT_EQ(f.Text("Msg"), "OK");
    auto& chip = b.ChipAs<Pic16c5xChip>();
    EXPECT_EQ(chip.Config(), 0x0FFD);  // Lockbit off, WTD, XT
    EXPECT_EQ(chip.Id(0), 0x001);
    EXPECT_EQ(chip.Id(1), 0x002);
    EXPECT_EQ(chip.Id(2), 0x00A);
    EXPECT_EQ(chip.Id(3), 0x00B);
    for (int n = 0; n < c.words; ++n) ASSERT_EQ(chip.Word(n), 0x0FFF) << n;
    // The clock pulses: one per location programmed (5) and one per program word.
    int clocks = 0;
    for (const auto& cmd : b.tap->commands)
        if (cmd.size() == 3 && cmd[1] == proto::RegControlLines && cmd[2] == (3 | proto::LineHighBit)) ++clocks;
    EXPECT_EQ(clocks, c.words + 5);
    f.Enter("Edit1", "0000");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config=0ffd,ID=12ab");
    EXPECT_EQ(f.Text("Edit1"), "12ab");
}

INSTANTIATE_TEST_SUITE_P(P16c5x, P16c5xIds,
                         ::testing::Values(IdCase{"PIC16C54", "P16C54 1", 512}, IdCase{"PIC16C56", "P16C54 2", 1024},
                                           IdCase{"PIC16C58", "P16C54 3", 2048}, IdCase{"PIC16C57", "P16C57 2", 2048}),
                         [](const ::testing::TestParamInfo<IdCase>& i) { return std::string(i.param.part); });

TEST(P16c5x, EveryBoxTickedWithLpGivesWord0004AndReadCfgSetsTheControls) {
    SimBench b("PIC16C54");
    AlgoForm& f = b.Open("P16C54 1");
    f.SetChecked("CheckBox1", true);
    f.Choose("RadioGroup1", 0);
    EXPECT_EQ(f.Text("Msg"), "Config = 0004");
    f.Click("WtConfig");
    EXPECT_EQ(b.ChipAs<Pic16c5xChip>().Config(), 0x0004);
    f.SetChecked("CheckBox1", false);
    f.SetChecked("CheckBox2", false);
    f.Choose("RadioGroup1", 3);
    f.Click("RdConfig");
    EXPECT_TRUE(f.Checked("CheckBox1"));
    EXPECT_TRUE(f.Checked("CheckBox2"));
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 0);
    // The code-protected chip reads its program words as 000h.
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "CFG 字No!!!");
}

// ---- levels, speed, batch --------------------------------------------------------------------------

struct LevelCase {
    const char* params;
    int vcc, vpp;  // tenths of a volt
};
class P16c5xLevels : public ::testing::TestWithParam<LevelCase> {};

TEST_P(P16c5xLevels, SetupTakesVccAndVppFromTheLine) {
    const LevelCase& c = GetParam();
    SimBench b("PIC16C54");
    b.Open(c.params);
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), c.vcc);
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), c.vpp);
}

INSTANTIATE_TEST_SUITE_P(P16c5x, P16c5xLevels,
                         ::testing::Values(LevelCase{"P16C54 1", 44, 125}, LevelCase{"P16C54 1 vcc=2000 vpp=9000", 44, 125},
                                           LevelCase{"P16C54 1 vcc=5000 vpp=13000", 50, 130}));

TEST(P16c57x, SpeedGivesThePulseWaitsAndRunIsOnePass) {
    struct Speed {
        int item, waits;
    };
    for (const Speed s : {Speed{0, 1}, Speed{1, 2}, Speed{2, 4}}) {
        SimBench b("PIC16C55");
        WithFile(b);
        FillWords(b, 512, 5);
        b.wb->options.MassProduction = true;
        AlgoForm& f = b.Open("P16C57 1");
        f.Choose("RadioGroup2", s.item);
        b.tap->commands.clear();
        f.Click("Button2");
        EXPECT_EQ(f.Text("Msg"), "End OK..");
        EXPECT_EQ(f.PassesCounted(), 1);
        EXPECT_EQ(Count(b, proto::OpWaitPulse), s.waits * 512) << s.item;
        EXPECT_TRUE(ChipHoldsWords(b, 512));
        EXPECT_EQ(b.ChipAs<Pic16c5xChip>().Config(), 0x0FFD);
    }
}

TEST(P16c54x, RunWritesAndCountsAPass) {
    SimBench b("PIC16C54");
    WithFile(b);
    FillWords(b, 512, 6);
    AlgoForm& f = b.Open("P16C54 1");
    b.tap->commands.clear();
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_EQ(Count(b, proto::OpWaitPulse), 2 * 512);
    EXPECT_TRUE(ChipHoldsWords(b, 512));
}

// Mass production: each chip the operator seats is one pass, counted once.
TEST(P16c54x, MassProductionCountsEachChip) {
    SimBench b("PIC16C54", "vex520", true);
    WithFile(b);
    FillWords(b, 512, 14);
    AlgoForm& f = b.Open("P16C54 1");
    b.wb->options.MassProduction = true;
    int passes = 0;
    f.SetSuccessListener([&](const std::string& t) {
        if (t != "End OK..") return;
        EXPECT_TRUE(ChipHoldsWords(b, 512));
        if (++passes == 2) b.wb->options.MassProduction = false;
    });
    f.Click("Button2");
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(f.PassesCounted(), 2);
    // The wait before the first pass changes the chip seated at the start too.
    ASSERT_EQ(b.sim->GetOperator()->Tray().size(), 2u);
    const auto& first = dynamic_cast<const Pic16c5xChip&>(*b.sim->GetOperator()->Tray()[1]);
    EXPECT_EQ(first.Word(5), ImageWord(b, 5));
    EXPECT_EQ(first.Config(), 0x0FFD);
}

// ---- the model is strict -----------------------------------------------------------------------------

TEST(P16c5xModel, APulseUnderTheMinimumProgramsNothing) {
    SimBench b("PIC16C54");
    WithFile(b);
    FillWords(b, 512, 8);
    AlgoForm& f = b.Open("P16C54 1");
    b.ChipAs<Pic16c5xChip>().SetSlowFactor(2.5);  // 25 us against two waits 25 of 10 us
    f.Click("Write");
    EXPECT_EQ(b.ChipAs<Pic16c5xChip>().Programmed(), 1);  // only the configuration's wait 27
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Vrfy错!");
}

// Program mode by hand: the pulse line (2) low with line 1 high is a verify
// strobe; a chip entered with MCLR not driven low first stays out of the mode.
TEST(P16c5xModel, APulseWhileReadingOrWithoutTheEntryLineProgramsNothing) {
    for (const bool entryLow : {true, false}) {
        SimBench b("PIC16C54");
        b.Open("P16C54 1");
        TEp3& ep3 = b.wb->Ep3;
        ep3.GndPin(16);
        ep3.VccPin(25);
        ep3.ControlLineHigh(1);
        ep3.ControlLineLow(3);
        ep3.ControlLineHigh(2);
        if (entryLow) ep3.ControlLineLow(4);
        ep3.VppPin(15);
        ep3.ControlLineHigh(4);
        ep3.ControlLineHigh(3), ep3.ControlLineLow(3);  // address 0
        ep3.WriteReg(proto::RegPicLow, 0);
        ep3.WriteReg(proto::RegPicHigh, 0);
        if (entryLow) {  // line 1 high: the chip drives the word, no programming
            ep3.ControlLineLow(2);
            for (int k = 0; k < 8; ++k) ep3.UsbPut1(proto::OpWaitPulse);
            ep3.ControlLineHigh(2);
        }
        ep3.ControlLineLow(1);
        ep3.WriteReg(proto::RegPicLow, 0);
        ep3.ControlLineLow(2);
        for (int k = 0; k < 8; ++k) ep3.UsbPut1(proto::OpWaitPulse);
        ep3.ControlLineHigh(2);
        ep3.VppPin(0);
        ep3.VccPin(0);
        ep3.UsbFlush();
        EXPECT_EQ(b.ChipAs<Pic16c5xChip>().Word(0), entryLow ? 0x000 : 0x0FFF) << entryLow;
        EXPECT_EQ(b.ChipAs<Pic16c5xChip>().Programmed(), entryLow ? 1 : 0);
    }
}

TEST(P16c5x, EmptySocketNeverPasses) {
    for (const bool contactCheck : {true, false}) {
        SimBench b("PIC16C54");
        WithFile(b);
        b.wb->options.ContactCheck = contactCheck;
        AlgoForm& f = b.Open("P16C54 1");
        b.sim->RemoveChipModel();
        f.Click("Blank");
        EXPECT_NE(f.Text("Msg"), "OK");
        f.Click("Button2");
        EXPECT_NE(f.Text("Msg"), "End OK..");
        EXPECT_EQ(f.PassesCounted(), 0);
        b.prompts.shown.clear();
    }
}

TEST(P16c5x, SideFileKeepsTheBoxesWithWtdAgainAtOffset2) {
    TempDir dir;
    const std::string image = dir.Write("image.hex", {':'});
    {
        SimBench b("PIC16C54");
        WithFile(b);
        b.wb->DataFileName = image;
        AlgoForm& f = b.Open("P16C54 1");
        f.SetChecked("CheckBox1", true);
        f.Choose("RadioGroup1", 2);
        f.Enter("Edit1", "12ab");
        f.Close();
    }
    const auto stored = TempDir::Read(dir.File("image.CON"));
    EXPECT_EQ(std::string(stored.begin(), stored.end()), "111212ab");
    SimBench c("PIC16C54");
    WithFile(c);
    c.wb->DataFileName = image;
    AlgoForm& g = c.Open("P16C54 1");
    EXPECT_TRUE(g.Checked("CheckBox1"));
    EXPECT_TRUE(g.Checked("CheckBox2"));
    EXPECT_EQ(g.ItemIndex("RadioGroup1"), 2);
}

TEST(P16c5x, ABadRowIsRefusedWithoutSupplies) {
    SimBench b("PIC16C54");
    AlgoForm& f = b.Open("P16C54 4");
    EXPECT_NE(f.Text("Msg").find("P16C54"), std::string::npos);
    f.Click("Write");
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 0);
    b.prompts.shown.clear();
}

// ---- link faults ----------------------------------------------------------------------------------------

TEST(P16c5x, FaultSweepOverTheBatch) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC16C54");
        WithFile(*b);
        FillWords(*b, 512, 12);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("P16C54 1"); };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button2"); };
    s.holds = [](SimBench& b, const std::string& text) {
        const auto& chip = b.ChipAs<Pic16c5xChip>();
        if (text == "End OK..") return ChipHoldsWords(b, 512) && chip.Config() == 0x0FFD;
        bool blank = true;
        for (int n = 0; n < 512; ++n) blank = blank && chip.Word(n) == 0x0FFF;
        return blank || ChipHoldsWords(b, 512);
    };
    EXPECT_GT(s.Run().transfers, 5);
}

TEST(P16c5x, FaultSweepOverWrite) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC16C55");
        WithFile(*b);
        FillWords(*b, 512, 13);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("P16C57 1"); };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) { return ChipHoldsWords(b, 512); };
    EXPECT_GT(s.Run().transfers, 3);
}

// ---- the device lists ---------------------------------------------------------------------------------------

class EveryP16c5xLine : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryP16c5xLine, WritesVerifiesAndReadsBack) {
    const ListedLine& l = GetParam();
    SimBench b(l.part);
    WithFile(b);
    const int words = b.ChipAs<Pic16c5xChip>().Part().words;
    FillWords(b, words, 9);
    AlgoForm& f = b.Open(l.params);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK") << l.params;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK") << l.params;
    EXPECT_TRUE(ChipHoldsWords(b, words));
}

std::vector<ListedLine> P16c5xLines() { return DeviceLines("device520.lst", {"P16C54", "P16C57"}); }

INSTANTIATE_TEST_SUITE_P(Device520, EveryP16c5xLine, ::testing::ValuesIn(P16c5xLines()),
                         [](const ::testing::TestParamInfo<ListedLine>& i) { return i.param.part; });

TEST(P16c5xLines, BothListsHaveThem) {
    EXPECT_EQ(P16c5xLines().size(), 5u);
    EXPECT_EQ(DeviceLines("device640.lst", {"P16C54", "P16C57"}).size(), 5u);
}

// ---- gputils --------------------------------------------------------------------------------------------------

constexpr const char* k16c56Source = R"(        __config 0x0FF9
        org 0
start   movlw 0x55
        movwf 0x10
        goto start
        org 0x03FF
        goto start
        end
)";

TEST(P16c5xGputils, PIC16C56ImageWrittenByTheForm) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    std::string why;
    const std::string hex = Gpasm(dir.path, "16c56", k16c56Source, &why);
    ASSERT_FALSE(hex.empty()) << why;
    SimBench b("PIC16C56");
    AlgoForm& f = b.Open("P16C54 2");
    std::fill(b.Image(), b.Image() + 0x4000, 0xFF);
    std::FILE* in = std::fopen(hex.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ReadHex(*b.wb, in);
    std::fclose(in);
    EXPECT_EQ(b.Image()[0x1FFE], 0xF9);  // the configuration word at 1FFEh
    WithFile(b);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    const auto& chip = b.ChipAs<Pic16c5xChip>();
    for (int a = 0; a < 1024; ++a) ASSERT_EQ(chip.Word(a), ImageWord(b, a)) << a;
    EXPECT_EQ(chip.Word(0), 0x0C55);  // movlw 0x55
    EXPECT_EQ(chip.Config(), 0x0FFF);  // the configuration comes from the controls
}

}  // namespace
}  // namespace quilla::test
