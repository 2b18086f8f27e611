// The PIC17C4x form (P17C4X) end to end on the simulated programmer: the
// "pic17dip40" design and the PIC17C4x program/verify model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "algo/common/c48.h"
#include "algo/pic/p17c4x.h"
#include "app/hexfile.h"
#include "sim/chips/pic17.h"
#include "sim/operator.h"
#include "support/device_lines.h"
#include "support/fault_sweep.h"
#include "support/gpasm.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

using sim::Pic17Chip;

constexpr const char* k44 = "P17C4X 1 fla=8192 pkg=40 pm=2";
constexpr const char* kSmall = "P17C4X 1 fla=256 pkg=40 pm=2";

bool ChipHoldsImage(SimBench& b, int words) {
    const auto& chip = b.ChipAs<Pic17Chip>();
    for (int n = 0; n < words; ++n)
        if (chip.Word(n) != (b.Image()[2 * n] | (b.Image()[2 * n + 1] << 8))) return false;
    return true;
}

int Count(const SimBench& b, std::uint8_t op) { return static_cast<int>(b.tap->Count(op)); }

TEST(P17c4x, WriteReadBlankAndVerifyOnAPic17c44) {
    SimBench b("PIC17C44");
    b.RandomImage(0x4000, 17);
    std::vector<std::uint8_t> image(b.Image(), b.Image() + 0x4000);
    AlgoForm& f = b.Open(k44);
    EXPECT_EQ(f.Text("Msg"), "");
    EXPECT_EQ(b.sim->LoadedTag(), "pic17dip40");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(ChipHoldsImage(b, 8192));
    std::fill(b.Image(), b.Image() + 0x4000, 0);
    b.tap->commands.clear();
    f.Click("ReadToFile");
    EXPECT_EQ(f.Text("Msg"), "读code(Code)...");
    EXPECT_EQ(Count(b, proto::OpReply), 1 + 256);  // the contact test's reply, then 256 blocks
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(f.Text("Edit6"), "3fff");
    // A programmed chip is not blank: the first byte that is not FFh.
    const auto first = std::find_if(image.begin(), image.end(), [](std::uint8_t v) { return v != 0xFF; });
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No!!!");
    EXPECT_EQ(f.Text("Edit6"), Hex4(static_cast<std::uint32_t>(first - image.begin())));
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    b.Image()[0x2345] ^= 0x10;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
    EXPECT_EQ(f.Text("Edit6"), "2345");
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

// fla= not a multiple of 32 words: the last block reads past program memory;
// Verify compares program memory only.
TEST(P17c4x, VerifyStopsAtTheLastWord) {
    SimBench b("PIC17C42");
    b.RandomImage(512, 31);
    std::fill(b.Image() + 200, b.Image() + 256, 0x00);  // past fla=100 words
    AlgoForm& f = b.Open("P17C4X 1 fla=100 pkg=40 pm=2");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.ChipAs<Pic17Chip>().Word(100), 0xFFFF);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    b.Image()[199] ^= 1;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
    EXPECT_EQ(f.Text("Edit6"), "00c7");
}

// ---- configuration ----------------------------------------------------------------------------------------

struct CfgCase {
    const char* name;
    std::vector<int> boxes;   // ticked, 1-based
    std::vector<int> pulses;  // configuration locations pulsed
};
class P17c4xWriteCfg : public ::testing::TestWithParam<CfgCase> {};

TEST_P(P17c4xWriteCfg, PulsesOnlyTheTickedLocations) {
    const CfgCase& c = GetParam();
    SimBench b("PIC17C42");
    AlgoForm& f = b.Open(kSmall);
    for (int i : c.boxes) f.SetChecked("CheckBox" + std::to_string(i), true);
    f.Click("WtConfig");
    EXPECT_EQ(f.Text("Msg"), "OK");
    const auto& chip = b.ChipAs<Pic17Chip>();
    EXPECT_EQ(chip.ConfigPulses(), c.pulses);
    EXPECT_EQ(chip.Clocks(), 2 + 16 * 3);  // after the address clock: 2, then 3 per location
    std::uint16_t want = 0xFFFF;
    for (int a : c.pulses) want = static_cast<std::uint16_t>(want & ~(1u << (a - 0xFE00)));
    EXPECT_EQ(chip.Config(), want);
}

INSTANTIATE_TEST_SUITE_P(P17c4x, P17c4xWriteCfg,
                         ::testing::Values(CfgCase{"OnlyPm2", {8}, {0xFE0F}}, CfgCase{"OnlyTheDash", {6}, {}},
                                           CfgCase{"Every", {1, 2, 3, 4, 5, 6, 7, 8},
                                                   {0xFE00, 0xFE01, 0xFE02, 0xFE03, 0xFE04, 0xFE06, 0xFE0F}}),
                         [](const ::testing::TestParamInfo<CfgCase>& i) { return std::string(i.param.name); });

TEST(P17c4x, ReadCfgTakesBit7FromTheHighByte) {
    SimBench b("PIC17C42");
    AlgoForm& f = b.Open(kSmall);
    b.ChipAs<Pic17Chip>().SetConfig(0x805A);  // FE00h reads 5Ah, FE08h 80h
    f.SetChecked("CheckBox3", true);
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config:da");
    EXPECT_TRUE(f.Checked("CheckBox3"));  // the boxes stay
    auto& g = dynamic_cast<TP17c4x&>(f);
    EXPECT_EQ(g.ConfigRead[0], 0x5A);
    EXPECT_EQ(g.ConfigRead[1], 0xFF);
    EXPECT_EQ(g.ConfigRead[16], 0x80);
}

// ---- the .c48 side file ---------------------------------------------------------------------------------------

struct C48Case {
    const char* name;
    std::vector<std::uint8_t> file;
    std::vector<bool> ticked;
};
class P17c4xSideFile : public ::testing::TestWithParam<C48Case> {};

TEST_P(P17c4xSideFile, TicksTheBoxesItHolds) {
    const C48Case& c = GetParam();
    TempDir dir;
    dir.Write("image.c48", c.file);
    SimBench b("PIC17C42");
    b.wb->FileWin = std::make_unique<HexWindowState>();
    b.wb->DataFileName = dir.Write("image.bin", {0xFF});
    AlgoForm& f = b.Open(kSmall);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(f.Checked("CheckBox" + std::to_string(i + 1)), c.ticked[i]) << i;
    f.SetChecked("CheckBox2", true);
    f.Close();
    const auto back = ReadC48(dir.File("image.c48"), C48P17c4x);
    ASSERT_TRUE(back.has_value());
    for (int i = 0; i < 8; ++i) EXPECT_EQ((*back)[i].value_or(9), (c.ticked[i] || i == 1) ? 1 : 0) << i;
}

INSTANTIATE_TEST_SUITE_P(
    P17c4x, P17c4xSideFile,
    ::testing::Values(C48Case{"Full", {'P', '1', '7', 'c', '4', 'x', '\n', 1, 0, 0, 0, 0, 0, 0, 1},
                              {true, false, false, false, false, false, false, true}},
                      C48Case{"EndsAfterTheNameLine", {'P', '1', '7', 'c', '4', 'x', '\n'},
                              {false, false, false, false, false, false, false, false}},
                      C48Case{"AnotherForm", {'P', '1', '8', 'f', 'x', 'x', '2', '\n', 1, 1, 1, 1, 1, 1, 1, 1},
                              {false, false, false, false, false, false, false, false}}),
    [](const ::testing::TestParamInfo<C48Case>& i) { return std::string(i.param.name); });

// ---- device lines the form refuses ---------------------------------------------------------------------------

struct BadLine {
    const char* name;
    const char* params;
    const char* status;  // the start of the status text
};
class P17c4xBadLine : public ::testing::TestWithParam<BadLine> {};

TEST_P(P17c4xBadLine, NoSupplyNoDesignAndOperationsRefused) {
    const BadLine& c = GetParam();
    SimBench b("PIC17C42");
    AlgoForm& f = b.Open(c.params);
    EXPECT_EQ(f.Text("Msg").rfind(c.status, 0), 0u) << f.Text("Msg");
    EXPECT_EQ(b.sim->LoadedTag(), "");
    for (const char* op : {"Write", "WtConfig", "Blank", "Button1"}) {
        f.Click(op);
        EXPECT_EQ(b.sim->GetSocket().VccLevel(), 0) << op;
    }
    EXPECT_EQ(b.ChipAs<Pic17Chip>().Programmed(), 0);
    EXPECT_EQ(f.PassesCounted(), 0);
    b.prompts.shown.clear();
}

INSTANTIATE_TEST_SUITE_P(P17c4x, P17c4xBadLine,
                         ::testing::Values(BadLine{"NoPackage", "P17C4X 1 fla=2048 pm=2", "Bad Package! "},
                                           BadLine{"Row20", "P17C4X 20 fla=2048 pkg=40 pm=2", "Bad device line: variant"},
                                           BadLine{"NoFla", "P17C4X 1 pkg=40 pm=2", "Bad device line: fla="},
                                           BadLine{"Pm9", "P17C4X 1 fla=2048 pkg=40 pm=9", "Bad device line: pm="}),
                         [](const ::testing::TestParamInfo<BadLine>& i) { return std::string(i.param.name); });

// ---- the model is strict ---------------------------------------------------------------------------------------

TEST(P17c4xModel, AShortPulseOrAWrongEntryCodeProgramsNothing) {
    {
        SimBench b("PIC17C42");
        b.RandomImage(512, 3);
        AlgoForm& f = b.Open(kSmall);
        b.ChipAs<Pic17Chip>().SetSlowFactor(20);  // 2 ms against the form's 1 ms pulse
        f.Click("Write");
        EXPECT_EQ(b.ChipAs<Pic17Chip>().Programmed(), 0);
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), "Error....");
    }
    for (const std::uint8_t code : {std::uint8_t{0xE0}, std::uint8_t{0xE1}}) {
        SimBench b("PIC17C42");
        b.Open(kSmall);
        TEp3& ep3 = b.wb->Ep3;
        ep3.ControlLineHigh(4);
        ep3.ControlLineLow(2);
        ep3.ControlLineLow(3);
        ep3.WriteLatch(0, code);
        ep3.VccPin(21);
        ep3.ControlLineHigh(5);
        ep3.VppPin(12);
        ep3.WriteLatch(0, 0), ep3.WriteLatch(1, 0);
        ep3.ControlLineHigh(3), ep3.ControlLineLow(3);  // address 0
        ep3.ControlLineHigh(3), ep3.ControlLineLow(3);
        ep3.ControlLineHigh(3), ep3.ControlLineLow(3);
        ep3.ControlLineLow(4);  // the chip drives: this pulse programs nothing
        ep3.ControlLineHigh(2), ep3.UsbPut1(proto::OpWait1ms), ep3.ControlLineLow(2);
        ep3.ControlLineHigh(4);
        ep3.WriteLatch(0, 0x12), ep3.WriteLatch(1, 0x34);
        ep3.ControlLineHigh(2), ep3.UsbPut1(proto::OpWait1ms), ep3.ControlLineLow(2);
        ep3.ControlLineLow(5);
        ep3.VppPin(0);
        ep3.VccPin(0);
        ep3.UsbFlush();
        EXPECT_EQ(b.ChipAs<Pic17Chip>().Word(0), code == 0xE1 ? 0x1234 : 0xFFFF) << int(code);
        EXPECT_EQ(b.ChipAs<Pic17Chip>().Programmed(), code == 0xE1 ? 1 : 0);
    }
}

TEST(P17c4x, EmptySocketNeverPasses) {
    for (const char* params : {kSmall, "P17C4X 1 fla=256 pkg=40 pm=0"}) {
        SimBench b("PIC17C42");
        b.wb->options.ContactCheck = false;
        AlgoForm& f = b.Open(params);
        b.sim->RemoveChipModel();
        f.Click("Write");
        EXPECT_NE(f.Text("Msg"), "OK") << params;
        f.Click("Blank");
        EXPECT_NE(f.Text("Msg"), "OK") << params;
        f.Click("Button1");
        EXPECT_NE(f.Text("Msg"), "End OK..") << params;
        EXPECT_EQ(f.PassesCounted(), 0);
        b.prompts.shown.clear();
    }
}

TEST(P17c4x, FaultSweepOverTheBatch) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC17C42");
        b->RandomImage(512, 21);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open(kSmall);
        f.SetChecked("CheckBox8", true);
        return f;
    };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button1"); };
    s.holds = [](SimBench& b, const std::string& text) {
        const auto& chip = b.ChipAs<Pic17Chip>();
        if (text == "End OK..") return ChipHoldsImage(b, 256) && chip.Config() == 0x7FFF;
        bool blank = true;
        for (int n = 0; n < 256; ++n) blank = blank && chip.Word(n) == 0xFFFF;
        return blank || ChipHoldsImage(b, 256);
    };
    EXPECT_GT(s.Run().transfers, 3);
}

TEST(P17c4x, FaultSweepOverWrite) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC17C42");
        b->RandomImage(512, 22);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open(kSmall); };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) { return ChipHoldsImage(b, 256); };
    EXPECT_GT(s.Run().transfers, 3);
}

// Mass production: each chip the operator seats is one pass, counted once.
TEST(P17c4x, MassProductionCountsEachChip) {
    SimBench b("PIC17C42", "vex520", true);
    b.RandomImage(512, 23);
    AlgoForm& f = b.Open(kSmall);
    b.wb->options.MassProduction = true;
    int passes = 0;
    f.SetSuccessListener([&](const std::string& t) {
        if (t != "End OK..") return;
        EXPECT_TRUE(ChipHoldsImage(b, 256));
        if (++passes == 2) b.wb->options.MassProduction = false;
    });
    f.Click("Button1");
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(f.PassesCounted(), 2);
    // The wait before the first pass changes the chip seated at the start too.
    ASSERT_EQ(b.sim->GetOperator()->Tray().size(), 2u);
    EXPECT_EQ(dynamic_cast<const Pic17Chip&>(*b.sim->GetOperator()->Tray()[1]).Word(3),
              b.Image()[6] | (b.Image()[7] << 8));
}

// ---- the device lists --------------------------------------------------------------------------------------------

class EveryP17c4xLine : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryP17c4xLine, WritesVerifiesAndRuns) {
    const ListedLine& l = GetParam();
    SimBench b(l.part);
    const int words = b.ChipAs<Pic17Chip>().Part().words;
    b.RandomImage(2 * words, 5);
    AlgoForm& f = b.Open(l.params);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..") << l.params;
    EXPECT_TRUE(ChipHoldsImage(b, words));
}

std::vector<ListedLine> P17Lines() { return DeviceLines("device520.lst", {"P17C4X"}); }

INSTANTIATE_TEST_SUITE_P(Device520, EveryP17c4xLine, ::testing::ValuesIn(P17Lines()),
                         [](const ::testing::TestParamInfo<ListedLine>& i) { return i.param.part; });

TEST(P17c4xLines, BothListsHaveThem) {
    EXPECT_EQ(P17Lines().size(), 3u);
    EXPECT_EQ(DeviceLines("device640.lst", {"P17C4X"}).size(), 3u);
}

// ---- gputils -------------------------------------------------------------------------------------------------------

constexpr const char* k17c44Source = R"(        __config 0xFFB5
        org 0
start   movlw 0x55
        movwf 0x20
        goto start
        org 0x1FFF
        retlw 0x2A
        end
)";

TEST(P17c4xGputils, PIC17C44ImageWrittenByTheForm) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    std::string why;
    const std::string hex = Gpasm(dir.path, "17c44", k17c44Source, &why);
    ASSERT_FALSE(hex.empty()) << why;
    SimBench b("PIC17C44");
    AlgoForm& f = b.Open(k44);
    std::fill(b.Image(), b.Image() + 0x20000, 0xFF);
    std::FILE* in = std::fopen(hex.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ReadHex(*b.wb, in);
    std::fclose(in);
    EXPECT_EQ(b.Image()[0x1FC00], 0xB5);  // the configuration word at 1FC00h (word FE00h)
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(ChipHoldsImage(b, 8192));
    EXPECT_EQ(b.ChipAs<Pic17Chip>().Word(0), 0xB055);  // movlw 0x55
    EXPECT_EQ(b.ChipAs<Pic17Chip>().Config(), 0xFFFF);  // the configuration comes from the boxes
}

}  // namespace
}  // namespace quilla::test
