// The MDT forms end to end on the simulated programmer ("mdt2000" design, MDT
// model), and their conversion of HEX and object files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "algo/pic/mdt.h"
#include "algo/pic/mdt_convert.h"
#include "sim/chips/mdt.h"
#include "support/device_lines.h"
#include "support/fault_sweep.h"
#include "support/gpasm.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

using sim::MdtChip;

void LoadedFrom(SimBench& b, const std::string& path) {
    if (!b.wb->FileWin) b.wb->FileWin = std::make_unique<HexWindowState>();
    b.wb->DataFileName = path;
}

// 14-bit words with the two unused bits set (the form programs the pair
// unmasked and compares it masked).
void FillWords(SimBench& b, int words, unsigned seed) {
    std::uint32_t x = seed * 2654435761u + 3;
    for (int n = 0; n < words; ++n) {
        x = x * 1103515245u + 12345u;
        const std::uint16_t w = (n % 5 == 2) ? 0x3FFF : static_cast<std::uint16_t>((x >> 9) & 0x3FFF);
        b.Image()[2 * n] = static_cast<std::uint8_t>(w & 0xFF);
        b.Image()[2 * n + 1] = static_cast<std::uint8_t>(0xC0 | (w >> 8));
    }
}

bool ChipHoldsWords(SimBench& b, int words) {
    const auto& chip = b.ChipAs<MdtChip>();
    for (int n = 0; n < words; ++n)
        if (chip.Word(n) != ((b.Image()[2 * n] | (b.Image()[2 * n + 1] << 8)) & 0x3FFF)) return false;
    return true;
}

struct MdtBench {
    explicit MdtBench(const std::string& part, const std::string& file = "image.bin") : b(part) {
        LoadedFrom(b, dir.Write(file, {0xFF, 0xFF}));
    }
    TempDir dir;
    SimBench b;
};

int Count(const SimBench& b, std::uint8_t op) { return static_cast<int>(b.tap->Count(op)); }

// ---- the forms on their parts ------------------------------------------------------------------------------

struct Part {
    const char* part;
    const char* params;
    int words;
};
class EveryMdtRow : public ::testing::TestWithParam<Part> {};

TEST_P(EveryMdtRow, RunProgramsAndReadBringsTheWordsBack) {
    const Part& p = GetParam();
    MdtBench m(p.part);
    FillWords(m.b, p.words, 3);
    AlgoForm& f = m.b.Open(p.params);
    EXPECT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(m.b.sim->LoadedTag(), "mdt2000");
    f.SetChecked("CheckBoxVer", true);
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(ChipHoldsWords(m.b, p.words));
    std::vector<std::uint8_t> want(m.b.Image(), m.b.Image() + 2 * p.words);
    for (int n = 1; n < 2 * p.words; n += 2) want[static_cast<std::size_t>(n)] &= 0x3F;
    std::fill(m.b.Image(), m.b.Image() + 2 * p.words, 0);
    f.Click("ReadToFile");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), m.b.Image()));
    EXPECT_TRUE(m.b.prompts.shown.empty()) << m.b.prompts.Last();
}

INSTANTIATE_TEST_SUITE_P(Mdt, EveryMdtRow,
                         ::testing::Values(Part{"MDT2005", "MDT2000 1", 512}, Part{"MDT2015", "MDT2000 3", 512},
                                           Part{"MDT2051", "MDT2051 1", 1024}),
                         [](const ::testing::TestParamInfo<Part>& i) { return std::string(i.param.part); });

TEST(Mdt20xx, TheConfigurationWordFromTheControlsAndBack) {
    MdtBench m("MDT2005");
    AlgoForm& f = m.b.Open("MDT2000 1");
    f.Click("WtConfig");
    EXPECT_EQ(f.Text("Msg"), "OK");
    // XT 6, OST 150 us 10, WTD ticked 2, PED clear 1, Lock clear 2.
    EXPECT_EQ(m.b.ChipAs<MdtChip>().Config(), 0x26A6);
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config = 26a6");
    // A chip whose word holds no item value shows no item; Lock Bit 01b ticks it.
    m.b.ChipAs<MdtChip>().SetConfig(0x1593);
    f.Click("RdConfig");
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), -1);
    EXPECT_EQ(f.ItemIndex("RadioGroup2"), 1);  // 20 mS
    EXPECT_TRUE(f.Checked("CheckBox1"));
    EXPECT_FALSE(f.Checked("CheckBox2"));
    EXPECT_FALSE(f.Checked("CheckBox3"));
}

TEST(Mdt20xx, BlankFindsAProgrammedWordAndAProgrammedConfiguration) {
    MdtBench m("MDT2005");
    AlgoForm& f = m.b.Open("MDT2000 1");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK");
    m.b.ChipAs<MdtChip>().SetWord(511, 0x3F7F);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Not BLK.");
    EXPECT_EQ(m.b.wb->ErrorFlag(), 1);
    m.b.ChipAs<MdtChip>().SetConfig(0x3FBF);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "CFG bit not blank!!!!!");
}

TEST(Mdt20xx, SpeedGivesTheWaitsPerHalf) {
    MdtBench m("MDT2005");
    FillWords(m.b, 512, 4);
    AlgoForm& f = m.b.Open("MDT2000 1");
    f.Choose("Speed", 2);
    m.b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Count(m.b, proto::OpWait1ms), 8 * 2 * 512);
    EXPECT_TRUE(ChipHoldsWords(m.b, 512));
}

TEST(Mdt20xx, AStrobeUnderTheMinimumProgramsNothing) {
    MdtBench m("MDT2005");
    FillWords(m.b, 512, 5);
    AlgoForm& f = m.b.Open("MDT2000 1");
    m.b.ChipAs<MdtChip>().SetSlowFactor(2.5);  // 5 ms against a 4 ms strobe
    f.Click("Write");
    EXPECT_EQ(m.b.ChipAs<MdtChip>().Programmed(), 0);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
}

TEST(Mdt20xx, AWrongSpaceOnThePortAtVppLeavesTheChipDeaf) {
    MdtBench m("MDT2005");
    m.b.Open("MDT2000 1");
    TEp3& ep3 = m.b.wb->Ep3;
    ep3.ControlLineLow(63);
    ep3.ControlLineHigh(28);
    ep3.ControlLineHigh(12);
    ep3.ControlLineLow(29);
    ep3.VccPin(25);
    ep3.WriteLatch(0, 2);  // neither program memory (0) nor configuration (1)
    ep3.VppPin(15);
    for (int k = 0; k < 8; ++k) ep3.ControlLineHigh(27), ep3.ControlLineLow(27);
    ep3.WriteLatch(0, 0);
    ep3.ControlLineLow(28);
    for (int k = 0; k < 5; ++k) ep3.UsbPut1(proto::OpWait1ms);
    ep3.ControlLineHigh(28);
    ep3.VppPin(0);
    ep3.VccPin(0);
    ep3.UsbFlush();
    EXPECT_EQ(m.b.ChipAs<MdtChip>().Programmed(), 0);
    EXPECT_EQ(m.b.ChipAs<MdtChip>().Word(0), 0x3FFF);
}

TEST(Mdt20xx, SideFileKeepsTheBoxesAndANoItemAsSlash) {
    TempDir dir;
    SimBench b("MDT2005");
    LoadedFrom(b, dir.Write("image.bin", {0xFF, 0xFF}));
    AlgoForm& f = b.Open("MDT2000 1");
    // A chip word whose oscillator nibble (3) is no item's value: Read CFG shows none.
    b.ChipAs<MdtChip>().SetConfig(0x16A3);
    f.Click("RdConfig");
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), -1);
    f.Enter("Edit1", "12ab");
    f.Close();
    const auto stored = TempDir::Read(dir.File("image.MDT"));
    EXPECT_EQ(std::string(stored.begin(), stored.end()), "111/012ab");

    SimBench c("MDT2005");
    LoadedFrom(c, dir.File("image.bin"));
    AlgoForm& g = c.Open("MDT2000 1");
    EXPECT_TRUE(g.Checked("CheckBox1"));
    EXPECT_TRUE(g.Checked("CheckBox2"));
    EXPECT_EQ(g.ItemIndex("RadioGroup1"), -1);
    EXPECT_EQ(g.ItemIndex("RadioGroup2"), 0);
}

TEST(Mdt20xx, EmptySocketNeverPasses) {
    MdtBench m("MDT2005");
    AlgoForm& f = m.b.Open("MDT2000 1");
    m.b.sim->RemoveChipModel();
    f.Click("Button2");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 0);
}

TEST(Mdt20xx, VariantOutsideTheRowsIsRefused) {
    MdtBench m("MDT2005");
    AlgoForm& f = m.b.Open("MDT2000 5");
    EXPECT_EQ(f.Text("Msg"), "Bad device line: variant 5 of MDT2000 is not in the device table");
    f.Click("Write");
    EXPECT_EQ(m.b.ChipAs<MdtChip>().Programmed(), 0);
}

// ---- conversion ----------------------------------------------------------------------------------------------

// A hand-written HEX: words 0 and 1, a gap, word 4.
constexpr const char* kHex =
    ":0400000055304F2800\r\n"
    ":02000800FF1FD8\r\n"
    ":00000001FF\r\n";

TEST(MdtConvert, HexBecomesWordsWithGapsOfFF) {
    TempDir dir;
    const std::string hex = dir.Write("p.hex", std::vector<std::uint8_t>(kHex, kHex + std::char_traits<char>::length(kHex)));
    ASSERT_TRUE(mdt::HexToBin(hex, dir.File("p.BIN")));
    EXPECT_EQ(TempDir::Read(dir.File("p.BIN")),
              (std::vector<std::uint8_t>{0x55, 0x30, 0x4F, 0x28, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x1F}));
    EXPECT_FALSE(mdt::HexToBin(dir.Write("empty.hex", {}), dir.File("empty.BIN")));
}

TEST(Mdt20xx, HexDataFileAsksConvertsAndTheNextWriteProgramsIt) {
    TempDir dir;
    SimBench b("MDT2005");
    LoadedFrom(b, dir.Write("prog.hex", std::vector<std::uint8_t>(kHex, kHex + std::char_traits<char>::length(kHex))));
    b.prompts.answers = {BtnNo};  // the question at setup
    AlgoForm& f = b.Open("MDT2000 1");
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_EQ(b.prompts.shown[0].text,
              "Need convert from \"*.hex\" file to .Bin .\n\n Convert \"*.HEX\" to bin \".BIN\"????");
    EXPECT_EQ(b.wb->DataFileName, dir.File("prog.hex")) << "No leaves the data file alone";
    b.prompts.answers = {BtnYes};
    f.Click("Write");
    EXPECT_EQ(b.prompts.Last(), "Convert to bin OK. .................");
    EXPECT_EQ(b.wb->DataFileName, dir.File("prog.BIN"));
    EXPECT_EQ(b.ChipAs<MdtChip>().Programmed(), 0) << "the Write that converted stops";
    EXPECT_EQ(b.Image()[0], 0x55);
    EXPECT_EQ(b.Image()[9], 0x1F);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.ChipAs<MdtChip>().Word(0), 0x3055);
    EXPECT_EQ(b.ChipAs<MdtChip>().Word(1), 0x284F);
    EXPECT_EQ(b.ChipAs<MdtChip>().Word(4), 0x1FFF);
}

TEST(Mdt20xx, AConvertingWriteFailsTheBatchPass) {
    TempDir dir;
    SimBench b("MDT2005");
    LoadedFrom(b, dir.Write("prog.hex", std::vector<std::uint8_t>(kHex, kHex + std::char_traits<char>::length(kHex))));
    b.prompts.defaultAnswer = BtnNo;
    AlgoForm& f = b.Open("MDT2000 1");
    f.Click("Button2");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 0);
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(Mdt20xx, AnUnknownExtensionLoadsNothing) {
    TempDir dir;
    SimBench b("MDT2005");
    dir.Write("prog.BIN", {0x00, 0x00});  // a stale .BIN beside it
    LoadedFrom(b, dir.Write("prog.dat", {1, 2, 3, 4}));
    AlgoForm& f = b.Open("MDT2000 1");
    b.Image()[0] = 0x42;
    f.Click("Write");
    EXPECT_EQ(b.wb->DataFileName, dir.File("prog.dat"));
    EXPECT_EQ(b.Image()[0], 0x42);
    EXPECT_EQ(b.ChipAs<MdtChip>().Programmed(), 0);
}

std::string Script(const TempDir& dir, const std::string& name, const std::string& body) {
    const std::string path = dir.File(name);
    std::ofstream(path) << "#!/bin/sh\n" << body;
    ::chmod(path.c_str(), 0755);
    return path;
}

TEST(Mdt20xx, AnObjFileGoesToTheExternalConverterAsOneArgument) {
    TempDir dir;
    std::filesystem::create_directories(dir.path / "my files; $(x) & 'q'");
    const std::string obj = (dir.path / "my files; $(x) & 'q'" / "prog.obj").string();
    std::ofstream(obj, std::ios::binary).write("\x34\x12\x78\x16", 4);
    // The converter copies its first argument to its second and insists on two.
    const std::string conv = Script(dir, "conv", "[ \"$#\" -eq 2 ] || exit 3\ncp \"$1\" \"$2\"\n");
    SimBench b("MDT2005");
    LoadedFrom(b, obj);
    b.prompts.defaultAnswer = BtnNo;
    AlgoForm& f = b.Open("MDT2000 1");
    dynamic_cast<TMdt20xx&>(f).ObjConverter = conv;
    b.prompts.defaultAnswer = BtnYes;
    f.Click("Write");
    EXPECT_EQ(b.prompts.Last(), "Convert to bin OK. .................");
    EXPECT_EQ(b.wb->DataFileName, mdt::WithExtension(obj, ".BIN"));
    EXPECT_EQ(b.Image()[0], 0x34);
    EXPECT_EQ(b.Image()[3], 0x16);
}

TEST(Mdt20xx, AFailingConverterKeepsTheImage) {
    TempDir dir;
    const std::string obj = dir.Write("prog.obj", {1, 2});
    SimBench b("MDT2005");
    LoadedFrom(b, obj);
    b.prompts.defaultAnswer = BtnNo;
    AlgoForm& f = b.Open("MDT2000 1");
    auto& form = dynamic_cast<TMdt20xx&>(f);
    b.Image()[0] = 0x42;
    b.prompts.defaultAnswer = BtnYes;
    for (const std::string& conv : {Script(dir, "fails", "touch \"$2\"\nexit 1\n"), std::string()}) {
        form.ObjConverter = conv;
        b.prompts.shown.clear();
        f.Click("Write");
        EXPECT_EQ(b.prompts.Last(), "File convert failed............") << conv;
        EXPECT_EQ(b.wb->DataFileName, obj);
        EXPECT_EQ(b.Image()[0], 0x42);
    }
}

// ---- gputils ---------------------------------------------------------------------------------------------------

constexpr const char* kSource = R"(        org 0
start   movlw 0x55
        movwf 0x20
        goto start
        org 0x1FF
        retlw 0x7F
        end
)";

class GputilsHex : public ::testing::TestWithParam<Part> {};

TEST_P(GputilsHex, ConvertedAndWritten) {
    QUILLA_REQUIRE_GPASM();
    const Part& p = GetParam();
    TempDir dir;
    std::string why;
    const std::string hex = Gpasm(dir.path, "16f84", kSource, &why);
    ASSERT_FALSE(hex.empty()) << why;
    SimBench b(p.part);
    LoadedFrom(b, hex);
    b.prompts.defaultAnswer = BtnYes;
    AlgoForm& f = b.Open(p.params);  // setup converts and loads the .BIN
    EXPECT_EQ(b.prompts.Last(), "Convert to bin OK. .................");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    auto& chip = b.ChipAs<MdtChip>();
    EXPECT_EQ(chip.Word(0), 0x3055);
    EXPECT_EQ(chip.Word(0x1FF), 0x347F);
    std::fill(b.Image(), b.Image() + 0x400, 0);
    f.Click("ReadToFile");
    EXPECT_EQ(b.Image()[0], 0x55);
    EXPECT_EQ(b.Image()[1], 0x30);
}

INSTANTIATE_TEST_SUITE_P(Mdt, GputilsHex,
                         ::testing::Values(Part{"MDT2005", "MDT2000 1", 512}, Part{"MDT2015", "MDT2000 3", 512}),
                         [](const ::testing::TestParamInfo<Part>& i) { return std::string(i.param.part); });

// ---- fault sweep and device lines ----------------------------------------------------------------------------

TEST(Mdt20xx, FaultSweepOverTheBatch) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("MDT2005");
        FillWords(*b, 512, 12);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& {
        LoadedFrom(b, "x.bin");
        return b.Open("MDT2000 1");
    };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button2"); };
    s.holds = [](SimBench& b, const std::string& text) {
        const auto& chip = b.ChipAs<MdtChip>();
        if (text == "End OK..") return ChipHoldsWords(b, 512) && chip.Config() == 0x26A6;
        bool blank = true;
        for (int n = 0; n < 512; ++n) blank = blank && chip.Word(n) == 0x3FFF;
        return blank || ChipHoldsWords(b, 512);
    };
    EXPECT_GT(s.Run().transfers, 10);
}

class EveryMdtLine : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryMdtLine, WritesAndVerifies) {
    const ListedLine& l = GetParam();
    MdtBench m(l.part);
    const int words = m.b.ChipAs<MdtChip>().Part().words;
    FillWords(m.b, words, 7);
    AlgoForm& f = m.b.Open(l.params);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK") << l.params;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK") << l.params;
    EXPECT_TRUE(ChipHoldsWords(m.b, words));
}

std::vector<ListedLine> MdtLines() { return DeviceLines("device520.lst", {"MDT2000", "MDT2051"}); }

INSTANTIATE_TEST_SUITE_P(Device520, EveryMdtLine, ::testing::ValuesIn(MdtLines()),
                         [](const ::testing::TestParamInfo<ListedLine>& i) { return i.param.part; });

TEST(MdtLines, BothListsHaveThem) {
    EXPECT_EQ(MdtLines().size(), 5u);
    EXPECT_EQ(DeviceLines("device640.lst", {"MDT2000", "MDT2051"}).size(), 5u);
}

}  // namespace
}  // namespace quilla::test
