// The EM78 OTP forms end to end on the simulated programmer: the EM78 designs
// and the EM78 model (sim/chips/em78.h).
#include <gtest/gtest.h>

#include <algorithm>

#include "algo/common/c48.h"
#include "algo/pic/em78.h"
#include "algo/pic/em78_layer.h"
#include "sim/chips/em78.h"
#include "sim/designs/em78.h"
#include "support/device_lines.h"
#include "support/fault_sweep.h"
#include "support/recording_transport.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

using sim::Em78Chip;

// 13-bit words in the image (bits 8-12 in the low five bits of the high
// byte, the upper three bits set to show that they are ignored).
void FillWords(SimBench& b, int words, unsigned seed) {
    std::uint32_t x = seed * 2654435761u + 1;
    for (int n = 0; n < words; ++n) {
        x = x * 1103515245u + 12345u;
        const std::uint16_t w = (n % 7 == 3) ? 0x1FFF : static_cast<std::uint16_t>((x >> 8) & 0x1FFF);
        b.Image()[2 * n] = static_cast<std::uint8_t>(w & 0xFF);
        b.Image()[2 * n + 1] = static_cast<std::uint8_t>(0xE0 | (w >> 8));
    }
}

bool ChipHoldsWords(SimBench& b, int words) {
    auto& chip = b.ChipAs<Em78Chip>();
    for (int n = 0; n < words; ++n) {
        const std::uint16_t want = static_cast<std::uint16_t>((b.Image()[2 * n] | (b.Image()[2 * n + 1] << 8)) & 0x1FFF);
        if (chip.Word(n) != want) return false;
    }
    return true;
}

// The image as loaded from `path` (the hex window open, its file named).
void LoadedFrom(SimBench& b, const std::string& path) {
    if (!b.wb->FileWin) b.wb->FileWin = std::make_unique<HexWindowState>();
    b.wb->DataFileName = path;
}

// A bench whose image is a file named `name` in a temporary folder (the
// forms' ".CDS" question and side files look at it).
struct Em78Bench {
    Em78Bench(const std::string& part, const std::string& file = "image.cds", bool withOperator = false)
        : b(part, "vex520", withOperator) {
        LoadedFrom(b, dir.Write(file, {0}));
    }
    TempDir dir;
    SimBench b;
};

// ---- the layer ------------------------------------------------------------------------------------------

TEST(Em78Layer, ShiftOutWordQueuesTheThirteenBitsThenThePulse) {
    RecordingTransport t;
    ScriptedPrompts prompts;
    Options options;
    TEp3 ep3(prompts, options, &t);
    em78::ShiftOutWord(ep3, 0x1ABC);
    ep3.UsbFlush();
    ASSERT_FALSE(t.writes.empty());
    const auto& out = t.writes[0];
    ASSERT_GE(out.size(), 13u);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 6),
              (std::vector<std::uint8_t>{0x35, 0xD5, 0x05, 0x35, 0xBC, 0x08}));
    // Line 3 low, the 10 us pulse, line 3 high, then two clocks on line 6.
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 6, out.begin() + 13),
              (std::vector<std::uint8_t>{0x0A, 29, 3, 0x19, 0x0A, 29, 0x83}));
}

TEST(Em78Layer, TheModelTakesTheBitsMostSignificantFirst) {
    Em78Bench e("EM78P156");
    AlgoForm& f = e.b.Open("EMC78P156E 1");
    std::fill(e.b.Image(), e.b.Image() + 0x800, 0xFF);
    e.b.Image()[0] = 0xBC;
    e.b.Image()[1] = 0xFA;  // 1ABCh with the three ignored bits set
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(e.b.ChipAs<Em78Chip>().Word(0), 0x1ABC);
    EXPECT_EQ(e.b.ChipAs<Em78Chip>().Word(1), 0x1FFF);
}

// ---- EMC78P156E / EMC78P447 --------------------------------------------------------------------------

struct Row108 {
    const char* part;
    const char* params;
    int words;
    const char* design;
};
class Every108Row : public ::testing::TestWithParam<Row108> {};

TEST_P(Every108Row, RunWritesAndReadBringsTheImageBack) {
    const Row108& p = GetParam();
    Em78Bench e(p.part);
    FillWords(e.b, p.words, 5);
    AlgoForm& f = e.b.Open(p.params);
    EXPECT_EQ(f.Text("Msg"), "Config = 1fff");
    EXPECT_EQ(e.b.sim->LoadedTag(), p.design);
    f.SetChecked("CheckBoxVer", true);
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(ChipHoldsWords(e.b, p.words));
    EXPECT_EQ(e.b.ChipAs<Em78Chip>().Option(0), 0x1FFF);
    std::vector<std::uint8_t> want(e.b.Image(), e.b.Image() + 2 * p.words);
    for (int n = 1; n < 2 * p.words; n += 2) want[static_cast<std::size_t>(n)] &= 0x1F;
    std::fill(e.b.Image(), e.b.Image() + 2 * p.words, 0);
    f.Click("ReadToFile");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), e.b.Image()));
    EXPECT_TRUE(e.b.prompts.shown.empty()) << e.b.prompts.Last();
}

INSTANTIATE_TEST_SUITE_P(Em78, Every108Row,
                         ::testing::Values(Row108{"EM78P156", "EMC78P156E 1", 1024, "em78p156"},
                                           Row108{"EM78P456", "EMC78P156E 3", 4096, "em78p156"},
                                           Row108{"EM78P247SA", "EMC78P156E 4", 2048, "em78p156"},
                                           Row108{"EM78P447SB", "EMC78P447 4", 4096, "em78p447"}),
                         [](const ::testing::TestParamInfo<Row108>& i) { return std::string(i.param.part); });

// Line-6 falling edges between the last VPP routing and the first shift of
// Read CFG: the EM78P447SA row gives four, the EM78P156 row two.
int EntryClocks(SimBench& b, AlgoForm& f) {
    b.tap->commands.clear();
    f.Click("RdConfig");
    int falls = 0;
    for (const auto& c : b.tap->commands) {
        if (c[0] == proto::OpSystem && c[1] == proto::SysVppPin && c[2] != 0) falls = 0;
        if (c[0] == proto::OpShiftIn || c[0] == proto::OpShiftOut) break;
        if (c[0] == proto::OpWriteReg && c[1] == proto::RegEm78Lines && c[2] == 6) ++falls;
    }
    return falls;
}

TEST(Em78p156, EachRowEntersWithItsOwnClockCount) {
    SimBench b447("EM78P447SA");
    AlgoForm& f447 = b447.Open("EMC78P156E 6");
    EXPECT_EQ(EntryClocks(b447, f447), 4);
    EXPECT_EQ(f447.Text("Msg"), "Config =1fff");
    SimBench b156("EM78P156");
    AlgoForm& f156 = b156.Open("EMC78P156E 1");
    EXPECT_EQ(EntryClocks(b156, f156), 2);
    EXPECT_EQ(f156.Text("Msg"), "Config =1fff");
}

TEST(Em78p156, AChipEntersOnlyWithItsOwnClockCount) {
    // An EM78P447SA (four entry clocks) entered as the EM78P156 rows enter
    // (two clocks), then a word shifted and pulsed: nothing is programmed.
    auto run = [](int clocks) {
        SimBench b("EM78P447SA");
        b.Open("EMC78P447 3");
        TEp3& ep3 = b.wb->Ep3;
        ep3.SetVcc(4400);
        ep3.SetVpp(12000);
        ep3.GndPin(10);
        ep3.VccPin(8);
        ep3.SetReg29Flag(3);
        ep3.SetReg29Flag(5);
        ep3.SetReg29Flag(4);
        ep3.SetReg29Flag(6);  // the configuration word
        ep3.VppPin(34);
        ep3.UsbPut1(proto::OpWaitSettle);
        for (int k = 0; k < clocks; ++k) em78::Clock(ep3);
        em78::ShiftOutWord(ep3, 0x0000);
        ep3.VppPin(0);
        ep3.VccPin(0);
        ep3.UsbFlush();
        return b.ChipAs<Em78Chip>().Option(0);
    };
    EXPECT_EQ(run(1), 0x1FFF);
    EXPECT_EQ(run(3), 0x1FFF);
    EXPECT_EQ(run(2), 0x0000);
}

TEST(Em78p156, BlankFindsAProgrammedWordAndAProgrammedConfiguration) {
    SimBench b("EM78P156");
    AlgoForm& f = b.Open("EMC78P156E 1");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK");
    b.ChipAs<Em78Chip>().SetWord(1023, 0x1FFE);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Not blank");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    b.ChipAs<Em78Chip>().SetOption(0, 0x1DFF);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "CFG Err.！");
}

TEST(Em78p156, AnImageThatIsNotCdsAsksAndNoEndsThePassUncounted) {
    Em78Bench e("EM78P156", "image.hex");
    FillWords(e.b, 1024, 9);
    AlgoForm& f = e.b.Open("EMC78P156E 1");
    e.b.prompts.answers = {BtnNo};
    f.Click("Button2");
    ASSERT_EQ(e.b.prompts.shown.size(), 1u);
    EXPECT_EQ(e.b.prompts.shown[0].text, "File not a \"*.CDS\"  \n May not run!\n Continue to write？ \n");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 0);
    EXPECT_EQ(e.b.wb->Counter, "0");
    EXPECT_EQ(e.b.ChipAs<Em78Chip>().Programmed(), 0) << "nothing written, not even the configuration";
    e.b.prompts.answers = {BtnYes};
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(ChipHoldsWords(e.b, 1024));
}

TEST(Em78p156, UpperCaseOrLowerCaseCdsIsWrittenWithoutAQuestion) {
    Em78Bench e("EM78P156", "IMAGE.CDS");
    AlgoForm& f = e.b.Open("EMC78P156E 1");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(e.b.prompts.shown.empty());
}

TEST(Em78p156, VerifyFindsAWrongWord) {
    Em78Bench e("EM78P156");
    FillWords(e.b, 1024, 3);
    AlgoForm& f = e.b.Open("EMC78P156E 1");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    e.b.Image()[2 * 700] ^= 0x01;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
    EXPECT_EQ(e.b.wb->ErrorFlag(), 1);
}

// A Write whose pulse is shorter than the chip's minimum, or with the direction
// line low, leaves the chip blank.
enum class Broken { PulseUnderMinimum, DirectionLow };
class BrokenWrite : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenWrite, LeavesTheChipBlank) {
    Em78Bench e("EM78P156");
    FillWords(e.b, 1024, 4);
    AlgoForm& f = e.b.Open("EMC78P156E 1");
    // Rewrite the OUT stream: drop the waits 25, or every "line 5 high".
    struct Filter : Transport {
        Transport* next = nullptr;
        Broken how{};
        int BulkWrite(const std::uint8_t* data, int n) override {
            std::vector<std::uint8_t> v(data, data + n);
            for (int i = 0; i < n; ++i) {
                if (how == Broken::DirectionLow && i + 2 < n && v[static_cast<std::size_t>(i)] == proto::OpWriteReg &&
                    v[static_cast<std::size_t>(i) + 1] == proto::RegEm78Lines && v[static_cast<std::size_t>(i) + 2] == 0x85) {
                    v[static_cast<std::size_t>(i) + 2] = 0x05;
                    i += 2;
                }
            }
            return next->BulkWrite(v.data(), n);
        }
        int BulkRead(std::uint8_t* buf, int n) override { return next->BulkRead(buf, n); }
    } filter;
    filter.next = e.b.tap.get();
    filter.how = GetParam();
    // The pulse (one wait 25 and the line command: 11 us) under a minimum of 15 us.
    if (GetParam() == Broken::PulseUnderMinimum) e.b.ChipAs<Em78Chip>().SetSlowFactor(1.5);
    e.b.wb->Ep3.SetTransport(&filter);
    f.Click("Write");
    e.b.wb->Ep3.SetTransport(e.b.tap.get());
    EXPECT_EQ(e.b.ChipAs<Em78Chip>().Programmed(), 0);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
}

INSTANTIATE_TEST_SUITE_P(Em78, BrokenWrite, ::testing::Values(Broken::PulseUnderMinimum, Broken::DirectionLow));

TEST(Em78p156, EmcSideFileSetsTheControlsAndTheClicksRebuildTheWord) {
    TempDir dir;
    SimBench b("EM78P156");
    LoadedFrom(b, dir.Write("image.cds", {0}));
    dir.Write("image.EMC", {0x12, 0x34});
    AlgoForm& f = b.Open("EMC78P156E 1");
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 1);  // XT
    EXPECT_TRUE(f.Checked("CheckWtd"));
    EXPECT_EQ(f.ItemIndex("RadioGroup2"), 0);  // 2 Clocks
    EXPECT_FALSE(f.Checked("CheckSec"));
    EXPECT_EQ(f.ItemIndex("RadioGroup3"), 0);  // Low
    EXPECT_TRUE(f.Checked("CheckHLP"));
    EXPECT_EQ(f.Text("Msg"), "Config = 12bf");
    f.Click("WtConfig");
    EXPECT_EQ(f.Text("Msg"), "End.");
    EXPECT_EQ(b.ChipAs<Em78Chip>().Option(0), 0x12BF);
    f.Click("CancelBtn");
    EXPECT_EQ(TempDir::Read(dir.File("image.EMC")), (std::vector<std::uint8_t>{0x12, 0xBF}));
}

TEST(Em78p156, DefaultAndTickedWords) {
    SimBench b("EM78P156");
    AlgoForm& f = b.Open("EMC78P156E 1");
    EXPECT_EQ(f.Text("Msg"), "Config = 1fff");
    f.SetChecked("CheckSec", true);
    f.SetChecked("CheckWtd", true);
    EXPECT_EQ(f.Text("Msg"), "Config = 15ff");
    f.Click("WtConfig");
    auto& chip = b.ChipAs<Em78Chip>();
    EXPECT_EQ(chip.Option(0), 0x15FF);
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config =15ff");
    // Protected: program words read 0000h.
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "CFG Err.！");
}

TEST(Em78p156, EmptySocketNeverPasses) {
    SimBench b("EM78P156");
    AlgoForm& f = b.Open("EMC78P156E 1");
    b.sim->RemoveChipModel();
    f.Click("Button2");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 0);
}

TEST(Em78p156, VariantOutsideTheRowsIsRefused) {
    SimBench b("EM78P156");
    AlgoForm& f = b.Open("EMC78P156E 8");
    EXPECT_EQ(f.Text("Msg"), "Bad device line: variant 8 of EMC78P156E is not in the device table");
    f.Click("Write");
    EXPECT_EQ(b.ChipAs<Em78Chip>().Programmed(), 0);
}

TEST(Em78p156, FaultSweepOverTheBatch) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("EM78P156");
        FillWords(*b, 1024, 11);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& {
        LoadedFrom(b, "x.cds");
        return b.Open("EMC78P156E 1");
    };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button2"); };
    s.holds = [](SimBench& b, const std::string& text) {
        const auto& chip = b.ChipAs<Em78Chip>();
        if (text == "End OK..") return ChipHoldsWords(b, 1024) && chip.Option(0) == 0x1FFF;
        // Blank's "OK" on the blank chip, Write's once every word is in.
        bool blank = true;
        for (int n = 0; n < 1024; ++n) blank = blank && chip.Word(n) == 0x1FFF;
        return blank || ChipHoldsWords(b, 1024);
    };
    const auto r = s.Run();
    EXPECT_GT(r.transfers, 3);
}

// ---- EMC78P153 / EMC78P458 --------------------------------------------------------------------------

TEST(Em78p153x, RunProgramsAndReadCfgShowsTheWords) {
    Em78Bench e("EM78P153");
    FillWords(e.b, 512, 6);
    AlgoForm& f = e.b.Open("EMC78P153 1");
    EXPECT_EQ(e.b.sim->LoadedTag(), "em78p153");
    EXPECT_EQ(f.Text("Msg"), "Config = ffff");
    f.SetChecked("CheckBoxVer", true);
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(ChipHoldsWords(e.b, 512));
    auto& chip = e.b.ChipAs<Em78Chip>();
    EXPECT_EQ(chip.Option(0), 0x1FFF);  // 1FFCh | 3
    EXPECT_EQ(chip.Option(1), 0x1FFF);  // bits 2-14
    chip.SetOption(2, 0x1234);
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "R1=1fff   R2=1fff   ID=1234");
    std::fill(e.b.Image(), e.b.Image() + 1024, 0);
    f.Click("ReadToFile");
    EXPECT_TRUE(ChipHoldsWords(e.b, 512));
}

TEST(Em78p153x, GridClicksMakeTheWordAndTheEmcKeepsA0AByte) {
    Em78Bench e("EM78P153");
    AlgoForm& f = e.b.Open("EMC78P153 1");
    // 0A0Ah: rows 0, 2, 4-7 ... cleared so that both bytes are 0Ah.
    for (int row : {0, 2, 4, 5, 6, 7, 8, 10, 12, 13, 14, 15}) f.ClickCell("StringGrid1", row);
    EXPECT_EQ(f.Text("Msg"), "Config = 0a0a");
    f.Click("WtConfig");
    EXPECT_EQ(f.Text("Msg"), "End.");
    auto& chip = e.b.ChipAs<Em78Chip>();
    EXPECT_EQ(chip.Option(0), 0x1FFE);                 // 1FFCh | bits 0-1 (10b)
    EXPECT_EQ(chip.Option(1), (0x0A0A >> 2) & 0x1FFF);  // bits 2-14
    f.Close();
    EXPECT_EQ(TempDir::Read(e.dir.File("image.EMC")), (std::vector<std::uint8_t>{0x0A, 0x0A}));
}

TEST(Em78p153x, AFailedBlankShowsNoEndOk) {
    SimBench b("EM78P153");
    AlgoForm& f = b.Open("EMC78P153 1");
    b.ChipAs<Em78Chip>().SetWord(5, 0);
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "Not blank");
    EXPECT_EQ(f.PassesCounted(), 0);
}

// Verify compares the 13-bit words with the image (high byte masked to 1Fh):
// a written chip passes against an image whose high bytes carry extra bits, a
// changed word fails.
TEST(Em78p153x, VerifyComparesThirteenBitWords) {
    Em78Bench e("EM78P153");
    FillWords(e.b, 512, 6);
    AlgoForm& f = e.b.Open("EMC78P153 1");
    f.Click("Write");
    for (int a = 1; a < 1024; a += 2) e.b.Image()[a] |= 0xE0;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    e.b.ChipAs<Em78Chip>().SetWord(300, 0);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
    EXPECT_EQ(e.b.wb->ErrorFlag(), 1);
}

TEST(Em78p153x, ContactTestBeforeEachOperation) {
    SimBench b("EM78P153");
    AlgoForm& f = b.Open("EMC78P153 1");
    b.sim->RemoveChipModel();
    for (const char* op : {"Blank", "Verify", "ReadToFile", "Write", "RdConfig", "WtConfig"}) {
        b.prompts.shown.clear();
        f.Click(op);
        ASSERT_FALSE(b.prompts.shown.empty()) << op;
        EXPECT_EQ(b.prompts.shown[0].text.rfind("没有OK..安放器件！", 0), 0u) << op;
    }
}

TEST(Em78p458x, MassProductionCountsEveryChip) {
    Em78Bench e("EM78P458", "image.cds", true);
    FillWords(e.b, 4096, 8);
    AlgoForm& f = e.b.Open("EMC78P458 1");
    EXPECT_EQ(e.b.sim->LoadedTag(), "em78p458");
    e.b.wb->options.MassProduction = true;
    int passes = 0;
    f.SetSuccessListener([&](const std::string& t) {
        if (t != "End OK..") return;
        EXPECT_TRUE(ChipHoldsWords(e.b, 4096));
        if (++passes == 3) e.b.wb->options.MassProduction = false;
    });
    f.Click("Button2");
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(f.PassesCounted(), 3);
    EXPECT_EQ(e.b.wb->Counter, "3");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "R1=1fff   R2=1fff ");
}

TEST(Em78p458x, ATruncatedC48LeavesTheLockBitUnprogrammed) {
    TempDir dir;
    SimBench b("EM78P458");
    LoadedFrom(b, dir.Write("image.cds", {0}));
    // Name line and nine bytes: rows 0-8 given (row 6, HLP, programmed), row 9 (PTB) missing.
    std::vector<std::uint8_t> c48 = {'E', 'm', '7', '8', 'p', '4', '5', '8', 'x', '\n', 1, 1, 1, 1, 1, 1, 0, 1, 1};
    dir.Write("image.c48", c48);
    AlgoForm& f = b.Open("EMC78P458 1");
    EXPECT_EQ(f.Get("StringGrid1").Items[6], "0");
    EXPECT_EQ(f.Get("StringGrid1").Items[9], "1");
    EXPECT_EQ(f.Text("Msg"), "R1 = ffbf,  R2 = ffff");
    f.Click("WtConfig");
    auto& chip = b.ChipAs<Em78Chip>();
    EXPECT_EQ(chip.Option(0), 0x1FBF);
    EXPECT_EQ(chip.Option(1), 0x1FFF);
    f.Close();
    const auto back = ReadC48(dir.File("image.c48"), C48Em78p458x);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*(*back)[6], 0);
    EXPECT_EQ(*(*back)[9], 1);
}

TEST(Em78p458x, ACellThatIsNotABitRefusesWrtCfg) {
    TempDir dir;
    SimBench b("EM78P458");
    LoadedFrom(b, dir.Write("image.cds", {0}));
    std::vector<std::uint8_t> c48 = {'E', 'm', '7', '8', 'p', '4', '5', '8', 'x', '\n'};
    for (int i = 0; i < 32; ++i) c48.push_back(i == 9 ? 0xFF : 1);
    dir.Write("image.c48", c48);
    AlgoForm& f = b.Open("EMC78P458 1");
    EXPECT_EQ(f.Get("StringGrid1").Items[9], "255");
    f.Click("WtConfig");
    EXPECT_EQ(b.ChipAs<Em78Chip>().Programmed(), 0);
    EXPECT_EQ(b.ChipAs<Em78Chip>().Option(0), 0x1FFF);
}

// ---- device lines ---------------------------------------------------------------------------------------

class EveryEm78Line : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryEm78Line, WritesVerifiesAndReadsBack) {
    const ListedLine& l = GetParam();
    Em78Bench e(l.part);
    const int words = e.b.ChipAs<Em78Chip>().Part().words;
    FillWords(e.b, words, 2);
    AlgoForm& f = e.b.Open(l.params);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK") << l.params;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK") << l.params;
    EXPECT_TRUE(ChipHoldsWords(e.b, words));
    EXPECT_TRUE(e.b.prompts.shown.empty()) << e.b.prompts.Last();
}

std::vector<ListedLine> Em78Lines() {
    return DeviceLines("device520.lst", {"EMC78P156E", "EMC78P447", "EMC78P153", "EMC78P458"});
}

INSTANTIATE_TEST_SUITE_P(Device520, EveryEm78Line, ::testing::ValuesIn(Em78Lines()),
                         [](const ::testing::TestParamInfo<ListedLine>& i) {
                             std::string n = i.param.params;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

TEST(Em78Lines, BothListsHaveThem) {
    EXPECT_EQ(Em78Lines().size(), 14u);
    EXPECT_EQ(DeviceLines("device640.lst", {"EMC78P156E", "EMC78P447", "EMC78P153", "EMC78P458"}).size(), 14u);
}

}  // namespace
}  // namespace quilla::test
