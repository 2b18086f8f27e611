// The PIC18 forms end to end: P18FXX2 on the PIC18FXX2 flash model (batch,
// reads, erase reach, device ID checks, configuration and ID locations, the
// data EEPROM, at 0F0000h where program memory reaches 4000h) and P18CXXX on
// the one-time model; the PIC18 engine of the design and what the model
// refuses; the listed lines, a gpasm image and the fault sweep.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "algo/common/c48.h"
#include "algo/pic/pic18.h"
#include "app/hexfile.h"
#include "sim/chips/pic18.h"
#include "support/device_lines.h"
#include "support/fault_sweep.h"
#include "support/gpasm.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

using sim::Pic18Chip;

constexpr const char* k442 = "P18FXX2 0 #A0 04 fla=16384 ee=256 dly=1 eet=5 pkg=40";
constexpr int kEe = 0x4000;

// Program bytes [0, n) and EEPROM bytes [0, ee) of a test image.
void FillImage(SimBench& b, int n, int ee, unsigned seed = 3) {
    b.RandomImage(n, seed);
    for (int i = 0; i < ee; ++i) b.Image()[kEe + i] = static_cast<std::uint8_t>(i * 7 + 1);
}

bool EepromMatches(SimBench& b, int ee) {
    const auto e = b.ChipAs<Pic18Chip>().Eeprom();
    for (int i = 0; i < ee; ++i)
        if (e[static_cast<std::size_t>(i)] != b.Image()[kEe + i]) return false;
    return true;
}

// ---- P18FXX2 --------------------------------------------------------------------------------------------

TEST(P18fxx2, RunProgramsAPIC18F442AndReadsItBack) {
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open("P18FXX2 0 fla=16384 ee=256 pkg=40");  // dly= and eet= absent: one wait each
    EXPECT_EQ(b.sim->LoadedTag(), "pic18dip40");
    EXPECT_EQ(f.Text("Msg"), "");
    FillImage(b, 0x4000, 256);
    f.SetText("Edit1", "ABCDEFGH");
    f.ClickCell("StringGrid1", pic18::GridRow(1, 5));  // 300001h bit 5 (OSCSEN) programmed
    f.ClickCell("StringGrid1", pic18::GridRow(8, 0));  // 300008h bit 0 (CP0) programmed
    f.Click("Button1");
    ASSERT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    auto& chip = b.ChipAs<Pic18Chip>();
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x4000));
    EXPECT_TRUE(EepromMatches(b, 256));
    for (int k = 0; k < 8; ++k) EXPECT_EQ(chip.Id(k), "ABCDEFGH"[k]);
    EXPECT_EQ(chip.Config(1), 0x07);
    EXPECT_EQ(chip.Config(8), 0x0E);
    EXPECT_EQ(chip.Config(2), 0x0F);
    for (std::uint32_t a : chip.ConfigWrites()) EXPECT_LT(a, 0x30000Eu) << std::hex << a;

    std::vector<std::uint8_t> image(b.Image(), b.Image() + 0x4100);
    std::fill(b.Image(), b.Image() + 0x4100, 0);
    f.Click("ReadToFile");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x4000, b.Image()));
    f.Click("RdData");
    EXPECT_EQ(f.Text("Msg"), "OK,Data 存放在文件缓冲区4000h开始");
    EXPECT_TRUE(std::equal(image.begin() + 0x4000, image.end(), b.Image() + 0x4000));
    EXPECT_EQ(b.wb->FileWin->ViewStart, 0x4000);
    f.SetText("Edit1", "");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "00,07,0f,0f,00,01,85,00,0e,c0,0f,e0,0f,40,00,00,");
    EXPECT_EQ(f.Text("Edit1"), "ABCDEFGH");
    EXPECT_EQ(f.Get("StringGrid1").Items[static_cast<std::size_t>(pic18::GridRow(1, 0))], "1");
    EXPECT_EQ(f.Get("StringGrid1").Items[static_cast<std::size_t>(pic18::GridRow(1, 5))], "0");
    f.Click("ReadToFile");  // back from the EEPROM page
    EXPECT_EQ(b.wb->FileWin->ViewStart, 0);
}


TEST(P18fxx2, BlankAndVerifyNameTheFirstDifferingAddress) {
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open(k442);
    FillImage(b, 0x4000, 0);
    b.ChipAs<Pic18Chip>().MutableContents()[0x1234] = 0x5A;
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No!!!");
    EXPECT_EQ(f.Text("Edit6"), "1234");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "Erase OK");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    b.Image()[0x2F01] ^= 0x01;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
    EXPECT_EQ(f.Text("Edit6"), "2f01");
}

// Erase codes and what they reach: item of "Erasing ", then the bytes that must
// be erased and those that must stay.
struct EraseCase {
    int item;
    bool program0, boot, panel1, panel2, eeprom, ids;
};
class P18Erase : public ::testing::TestWithParam<EraseCase> {};

TEST_P(P18Erase, ReachesWhatItsCodeNames) {
    const EraseCase c = GetParam();
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open(k442);
    auto& chip = b.ChipAs<Pic18Chip>();
    auto mem = chip.MutableContents();
    std::fill(mem.begin(), mem.end(), 0x00);
    auto ee = chip.MutableEeprom();
    std::fill(ee.begin(), ee.end(), 0x00);
    f.SetText("Edit1", "12345678");
    f.Click("WtConfig");  // IDs programmed
    ASSERT_EQ(f.Text("Msg"), "OK");
    f.Choose("RadioGroup2", c.item);
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "Erase OK");
    EXPECT_EQ(mem[0x0100] == 0xFF, c.boot);
    EXPECT_EQ(mem[0x0200] == 0xFF, c.panel1);
    EXPECT_EQ(mem[0x1FFF] == 0xFF, c.panel1);
    EXPECT_EQ(mem[0x2000] == 0xFF, c.panel2);
    EXPECT_EQ(ee[0] == 0xFF, c.eeprom);
    EXPECT_EQ(chip.Id(0) == 0xFF, c.ids);
    (void)c.program0;
}

INSTANTIATE_TEST_SUITE_P(Codes, P18Erase,
                         ::testing::Values(EraseCase{0, true, true, true, true, true, true},     // 80h chip
                                           EraseCase{1, false, false, false, false, true, false},  // 81h EEPROM
                                           EraseCase{2, false, true, false, false, false, false},  // 83h boot
                                           EraseCase{3, false, false, true, false, false, false},  // 88h panel 1
                                           EraseCase{4, false, false, false, true, false, false}));  // 89h panel 2

TEST(P18fxx2, DeviceIdComparesTheTopThreeBitsOfByte0) {
    SimBench b("PIC18F442");
    b.ChipAs<Pic18Chip>().SetRevision(7);
    AlgoForm& f = b.Open(k442);
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "Device ID: a7,04");
    f.Click("Blank");  // expected A0h 04h: A7h passes
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();

    // Byte 0 matches, byte 1 does not: the question; No ends the operation.
    AlgoForm& g = b.Open("P18FXX2 0 #A0 05 fla=16384 ee=256 dly=1 eet=5 pkg=40");
    b.prompts.answers.push_back(BtnNo);
    g.Click("Blank");
    EXPECT_EQ(b.prompts.Last(), "Wrong type, OK ??");
    EXPECT_EQ(g.Text("Msg"), "Device ID: a7,04");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    b.prompts.answers.push_back(BtnYes);
    g.Click("Blank");
    EXPECT_EQ(g.Text("Msg"), "OK");
}

TEST(P18fxx2, OverCurrentInTheIdReadEndsTheOperation) {
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open(k442);
    b.ChipAs<Pic18Chip>().MutableContents()[0] = 0;
    b.ExpectOverCurrent();
    b.sim->InjectOverCurrent();
    f.Click("Erase");
    EXPECT_NE(f.Text("Msg"), "Erase OK");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(b.ChipAs<Pic18Chip>().Contents()[0], 0);
}

TEST(P18fxx2, IdBytesOutsideThePrintableRangeShowAsDots) {
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open(k442);
    f.SetText("Edit1", std::string("\x20" "A" "\x80" "xyz12", 8));
    f.Click("WtConfig");
    ASSERT_EQ(f.Text("Msg"), "OK");
    f.SetText("Edit1", "");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Edit1"), ".A.xyz12");
}

TEST(P18fxx2, AShortUserIdLeavesTheRestOfTheIdsErased) {
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open(k442);
    f.SetText("Edit1", "AB");
    f.Click("WtConfig");
    ASSERT_EQ(f.Text("Msg"), "OK");
    auto& chip = b.ChipAs<Pic18Chip>();
    EXPECT_EQ(chip.Id(0), 'A');
    EXPECT_EQ(chip.Id(1), 'B');
    for (int k = 2; k < 8; ++k) EXPECT_EQ(chip.Id(k), 0xFF);
}

// Where program memory reaches 4000h the EEPROM image lives at 0F0000h + i
// (where a toolchain's F00000h records load): R.Data, W.Data and the batch box
// work there, and program memory keeps all its bytes.
TEST(P18fxx2, AnEepromAboveLargeProgramMemoryLivesAt0F0000) {
    SimBench b("PIC18F452");
    AlgoForm& f = b.Open("P18FXX2 0 #20 04 fla=32768 ee=256 dly=1 eet=5 pkg=40");
    EXPECT_TRUE(f.Get("RdData").Enabled);
    EXPECT_TRUE(f.Get("WrData").Enabled);
    EXPECT_TRUE(f.Ticked("CheckBoxrWrData"));
    EXPECT_EQ(f.Text("Msg"), "");
    FillImage(b, 0x8000, 0);
    for (int i = 0; i < 256; ++i) b.Image()[0xF0000 + i] = static_cast<std::uint8_t>(i ^ 0x5A);
    f.Click("Button1");
    ASSERT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
    const auto e = b.ChipAs<Pic18Chip>().Eeprom();
    for (int i = 0; i < 256; ++i) ASSERT_EQ(e[static_cast<std::size_t>(i)], i ^ 0x5A) << i;
    // Verify compares the EEPROM there too.
    b.ChipAs<Pic18Chip>().MutableEeprom()[0x21] ^= 1;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
    EXPECT_EQ(f.Text("Edit6"), "f0021");
}

TEST(P18fxx2, NoEepromDisablesTheDataOperations) {
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open("P18FXX2 0 fla=16384 dly=1 pkg=40");
    EXPECT_FALSE(f.Get("RdData").Enabled);
    EXPECT_FALSE(f.Get("RadioGroup2").Enabled);
    EXPECT_FALSE(f.Ticked("CheckBoxrWrData"));
}

// A slower chip needs a longer hold than dly=1 gives: nothing programs and
// Verify says so.
TEST(P18fxx2, AHoldShorterThanTheChipNeedsFailsVerify) {
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open("P18FXX2 0 fla=512 ee=0 dly=1 pkg=40");
    b.ChipAs<Pic18Chip>().SetSlowFactor(2.0);
    FillImage(b, 512, 0);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
    EXPECT_TRUE(b.ChipBlank(0, 512));
    AlgoForm& g = b.Open("P18FXX2 0 fla=512 ee=0 dly=2 pkg=40");
    g.Click("Write");
    g.Click("Verify");
    EXPECT_EQ(g.Text("Msg"), "OK");
}

// The data EEPROM is read back where the form writes it: a chip whose EEPROM
// write takes longer than eet= waits refuses the next WR (the byte is lost),
// and W.Data, alone or in the batch, ends "Error...." at the first lost byte;
// with waits long enough it passes. Case: eet=, slow factor, W.Data's text,
// the batch's text.
struct EepromWriteCase {
    int eet;
    double slow;
    const char* wrData;
    const char* run;
};
class P18EepromWrite : public ::testing::TestWithParam<EepromWriteCase> {};

TEST_P(P18EepromWrite, WDataReadsTheEepromBack) {
    const EepromWriteCase c = GetParam();
    const std::string line = "P18FXX2 0 fla=512 ee=256 dly=4 eet=" + std::to_string(c.eet) + " pkg=40";
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open(line);
    b.ChipAs<Pic18Chip>().SetSlowFactor(c.slow);
    FillImage(b, 512, 256);
    f.Click("WrData");
    EXPECT_EQ(f.Text("Msg"), c.wrData);
    EXPECT_EQ(EepromMatches(b, 256), std::string(c.wrData) == "OK");
    if (std::string(c.wrData) != "OK") {
        EXPECT_EQ(f.Text("Edit6"), "4001");  // byte 0 lands, byte 1's WR comes while busy
        EXPECT_EQ(b.wb->ErrorFlag(), 1);
    }

    SimBench b2("PIC18F442");
    AlgoForm& g = b2.Open(line);
    b2.ChipAs<Pic18Chip>().SetSlowFactor(c.slow);
    FillImage(b2, 512, 256, 5);
    g.SetChecked("CheckBoxErase", false);  // a fresh chip: the erase's time is not the point here
    g.Click("Button1");
    EXPECT_EQ(g.Text("Msg"), c.run);
    EXPECT_EQ(g.PassesCounted(), std::string(c.run) == "End OK.." ? 1 : 0);
    EXPECT_TRUE(b2.ChipMatchesImage(0, 512));
}

INSTANTIATE_TEST_SUITE_P(Cases, P18EepromWrite,
                         ::testing::Values(EepromWriteCase{1, 1.0, "OK", "End OK.."},
                                           EepromWriteCase{1, 4.0, "Error....", "Error...."},
                                           EepromWriteCase{4, 4.0, "OK", "End OK.."}));

// Verify compares the data EEPROM too, and names its image address; the batch's
// Verify (before W.Data) checks program memory only.
TEST(P18fxx2, VerifyComparesTheDataEeprom) {
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open(k442);
    FillImage(b, 0x4000, 256);
    f.Click("Button1");
    ASSERT_EQ(f.Text("Msg"), "End OK..");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    b.ChipAs<Pic18Chip>().MutableEeprom()[0xC5] ^= 0x10;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
    EXPECT_EQ(f.Text("Edit6"), "40c5");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    // Program memory reaching 4000h: the EEPROM image (0F0000h, all FFh here)
    // is compared with the blank EEPROM.
    SimBench b2("PIC18F452");
    AlgoForm& g = b2.Open("P18FXX2 0 fla=32768 ee=256 dly=1 pkg=40");
    FillImage(b2, 0x8000, 0);
    g.Click("Write");
    g.Click("Verify");
    EXPECT_EQ(g.Text("Msg"), "OK");
}

// The layer straight: a second panel sent without setting the table pointer
// lands on the first panel's last word, not at 8.
TEST(Pic18Layer, APanelWithoutItsTablePointerDoesNotLandAtItsAddress) {
    SimBench b("PIC18F442");
    b.Open("P18FXX2 0 fla=512 ee=0 dly=1 pkg=40");
    TEp3& ep3 = b.wb->Ep3;
    pic18::Pic18Layer l(ep3);
    l.EnterProgramMode({1, 32, 31}, false);
    l.SetSinglePanelWrites(true);
    l.SetTablePointer(0);
    for (int panel = 0; panel < 2; ++panel) {
        for (int k = 0; k < 3; ++k) l.SendCommand16(pic18::TableWritePostInc2, 0x10 * panel + k, 0x20 + k);
        l.SendCommand16(pic18::TableWriteStartProgramming, 0x10 * panel + 3, 0x23);
        l.ProgramPulse(1);
    }
    l.SuppliesOff();
    ep3.UsbFlush();
    auto chip = b.ChipAs<Pic18Chip>().Contents();
    const std::uint8_t first[8] = {0x20, 0x00, 0x21, 0x01, 0x22, 0x02, 0x23, 0x03};
    EXPECT_TRUE(std::equal(first, first + 8, chip.begin()));
    // The pointer stood at 6: the words went to 6, 8, 10 and 12.
    const std::uint8_t sent[8] = {0x20, 0x10, 0x21, 0x11, 0x22, 0x12, 0x23, 0x13};
    EXPECT_FALSE(std::equal(sent, sent + 8, chip.begin() + 8));
    EXPECT_EQ(chip[8], 0x21);
}

// What the model refuses: each sequence leaves out one condition of its
// programming sheet, and the cell it aims at stays as it was.
struct RefusedCase {
    const char* name;
    std::function<void(pic18::Pic18Layer&)> send;
    std::function<bool(const Pic18Chip&)> unchanged;
};
class Pic18Refuses : public ::testing::TestWithParam<RefusedCase> {};

void EepromByte(pic18::Pic18Layer& l, bool unlock, bool wren) {
    l.Core(0x9EA6);
    l.Core(0x9CA6);
    l.Core(0x0E05);
    l.Core(0x6EA9);
    l.Core(0x0E00);
    l.Core(0x6EAA);
    l.Core(0x0E42);
    l.Core(0x6EA8);
    if (wren) l.Core(0x84A6);
    l.Core(0x0E55);
    l.Core(0x6EA7);
    if (unlock) {
        l.Core(0x0EAA);
        l.Core(0x6EA7);
    }
    l.Core(0x82A6);
}

void Panel(pic18::Pic18Layer& l, bool singlePanel, int holds) {
    if (singlePanel) l.SetSinglePanelWrites(true);
    else {
        l.Core(0x8EA6);
        l.Core(0x9CA6);
    }
    l.SetTablePointer(0x100);
    for (int k = 0; k < 3; ++k) l.SendCommand16(pic18::TableWritePostInc2, 0x00, 0x00);
    l.SendCommand16(pic18::TableWriteStartProgramming, 0x00, 0x00);
    if (holds > 0) l.ProgramPulse(holds);
    else l.Core(0x0000);
}

void ConfigByte(pic18::Pic18Layer& l, bool jump) {
    l.Core(0x8EA6);
    l.Core(0x8CA6);
    if (jump) {
        l.Core(0xEF00);
        l.Core(0xF800);
    }
    l.SetTablePointer(0x300002);
    l.SendCommand16(pic18::TableWriteStartProgramming, 0xFF, 0x00);
    l.ProgramPulse(1);
}

TEST_P(Pic18Refuses, LeavesTheCellAlone) {
    SimBench b("PIC18F442");
    b.Open("P18FXX2 0 fla=512 ee=256 dly=1 pkg=40");
    pic18::Pic18Layer l(b.wb->Ep3);
    l.EnterProgramMode({1, 32, 31}, false);
    b.wb->Ep3.ControlLineHigh(3);
    GetParam().send(l);
    b.wb->Ep3.UsbPut1(proto::OpWait100ms);
    l.SuppliesOff();
    b.wb->Ep3.UsbFlush();
    EXPECT_TRUE(GetParam().unchanged(b.ChipAs<Pic18Chip>()));
}

const auto kEepromUnchanged = [](const Pic18Chip& c) { return c.Eeprom()[5] == 0xFF; };
const auto kPanelUnchanged = [](const Pic18Chip& c) { return c.Contents()[0x100] == 0xFF; };
const auto kConfigUnchanged = [](const Pic18Chip& c) { return c.Config(2) == 0x0F; };

INSTANTIATE_TEST_SUITE_P(
    Sequences, Pic18Refuses,
    ::testing::Values(
        RefusedCase{"EepromWithoutAAh", [](pic18::Pic18Layer& l) { EepromByte(l, false, true); }, kEepromUnchanged},
        RefusedCase{"EepromWithoutWren", [](pic18::Pic18Layer& l) { EepromByte(l, true, false); }, kEepromUnchanged},
        RefusedCase{"PanelWithoutSinglePanelMode", [](pic18::Pic18Layer& l) { Panel(l, false, 1); }, kPanelUnchanged},
        RefusedCase{"PanelWithoutHold", [](pic18::Pic18Layer& l) { Panel(l, true, 0); }, kPanelUnchanged},
        RefusedCase{"ConfigWithoutGoto", [](pic18::Pic18Layer& l) { ConfigByte(l, false); }, kConfigUnchanged}),
    [](const ::testing::TestParamInfo<RefusedCase>& i) { return std::string(i.param.name); });

// The same sequences with every condition met do program (the cases above
// fail for the condition they leave out, not for something else).
TEST(Pic18Refuses, TheCompleteSequencesProgram) {
    SimBench b("PIC18F442");
    b.Open("P18FXX2 0 fla=512 ee=256 dly=1 pkg=40");
    pic18::Pic18Layer l(b.wb->Ep3);
    l.EnterProgramMode({1, 32, 31}, false);
    b.wb->Ep3.ControlLineHigh(3);
    EepromByte(l, true, true);
    for (int k = 0; k < 5; ++k) b.wb->Ep3.UsbPut1(proto::OpWait1ms);
    Panel(l, true, 1);
    ConfigByte(l, true);
    l.SuppliesOff();
    b.wb->Ep3.UsbFlush();
    const auto& c = b.ChipAs<Pic18Chip>();
    EXPECT_EQ(c.Eeprom()[5], 0x42);
    EXPECT_EQ(c.Contents()[0x100], 0x00);
    EXPECT_EQ(c.Config(2), 0x00);
}

// The setup's checks of the line: nothing is sent for a line it refuses.
struct LineCase {
    const char* params;
    const char* key;
};
class P18BadLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(P18BadLine, IsRefusedNamingItsKey) {
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open(GetParam().params);
    EXPECT_NE(f.Text("Msg").find(GetParam().key), std::string::npos) << f.Text("Msg");
    f.Click("Write");
    EXPECT_EQ(b.ChipAs<Pic18Chip>().ProgramEvents(), 0u);
    EXPECT_TRUE(b.ChipBlank(0, 0x4000));
}

INSTANTIATE_TEST_SUITE_P(Lines, P18BadLine,
                         ::testing::Values(LineCase{"P18FXX2 20 fla=16384 pkg=40", "variant"},
                                           LineCase{"P18FXX2 0 fla=0 pkg=40", "fla="},
                                           LineCase{"P18FXX2 0 fla=16385 pkg=40", "fla="},
                                           LineCase{"P18FXX2 0 fla=16384 ee=4096 pkg=40", "ee="},
                                           LineCase{"P18FXX2 3 fla=16384", "pkg="},
                                           LineCase{"P18CXXX 0 fla=16384 pkg=40 pm=9", "pm="}));

// ---- .c48 ------------------------------------------------------------------------------------------------

TEST(P18c48, TheFileShowsInTheGridAndWrCfgProgramsIt) {
    SimBench b("PIC18F442");
    TempDir dir;
    const std::string image = (dir.path / "app.hex").string();
    std::ofstream(image) << ":00000001FF\n";
    b.wb->DataFileName = image;
    std::array<std::uint8_t, 16> bytes{};
    bytes.fill(0xFF);
    bytes[2] = 0xF9;  // 300002h: BOREN, PWRTEN programmed
    ASSERT_TRUE(WriteC48((dir.path / "app.c48").string(), C48P18fxx2, bytes));
    AlgoForm& f = b.Open(k442);
    EXPECT_EQ(f.Get("StringGrid1").Items[static_cast<std::size_t>(pic18::GridRow(2, 1))], "0");
    f.Click("WtConfig");
    ASSERT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.ChipAs<Pic18Chip>().Config(2), 0x09);
    // Another form's file is ignored by the one-time form and replaced at close.
    b.wb->DataFileName = image;  // as a load after the first setup names it
    AlgoForm& g = b.Open("P18CXXX 0 fla=4096 dly=1 pkg=40 pm=2");
    EXPECT_EQ(g.Get("StringGrid1").Items[static_cast<std::size_t>(pic18::GridRow(2, 1))], "");
    g.Close();
    EXPECT_TRUE(ReadC48((dir.path / "app.c48").string(), C48P18cxxx).has_value());
    EXPECT_FALSE(ReadC48((dir.path / "app.c48").string(), C48P18fxx2).has_value());
}

// ---- P18CXXX -------------------------------------------------------------------------------------------

TEST(P18cxxx, RunProgramsAPIC18C452WordsConsecutive) {
    SimBench b("PIC18C452");
    AlgoForm& f = b.Open("P18CXXX 0 fla=4096 dly=1 pkg=40 pm=2");
    EXPECT_EQ(b.sim->LoadedTag(), "pic18dip40");
    FillImage(b, 4096, 0, 11);
    for (int k : {0, 1, 2, 3, 4, 5, 6, 7})
        for (int bit = 0; bit < 8; ++bit)
            if ((0x5Au >> bit) & 1u) continue;
            else f.ClickCell("StringGrid1", pic18::GridRow(k + 8, bit));
    f.Click("Button1");
    ASSERT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 4096));
    auto& chip = b.ChipAs<Pic18Chip>();
    for (int k = 0; k < 8; ++k) EXPECT_EQ(chip.Config(k), 0xFF);
    for (int k = 8; k < 16; ++k) EXPECT_EQ(chip.Config(k), 0x5A) << k;
    EXPECT_TRUE(b.ChipBlank(4096, 4096));
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No!!!");
}

TEST(P18cxxx, Package45IsNotSupported) {
    SimBench b("PIC18C452");
    AlgoForm& f = b.Open("P18CXXX 1 fla=4096 dly=1 pkg=45 pm=0");
    EXPECT_EQ(b.prompts.Last(), "暂时不能支持");
    EXPECT_EQ(b.sim->LoadedTag(), "pic18tqfp44");
    (void)f;
}

// ---- the listed lines -----------------------------------------------------------------------------------

class EveryP18Line : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryP18Line, ReachesItsChip) {
    const ListedLine l = GetParam();
    SimBench b(l.part);
    AlgoForm& f = b.Open(l.params);
    EXPECT_EQ(f.Text("Msg").find("Bad"), std::string::npos) << f.Text("Msg");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("RdConfig");
    auto& chip = b.ChipAs<Pic18Chip>();
    EXPECT_EQ(f.Text("Msg").substr(0, 6), (chip.Part().otp ? std::string("ff,ff,") : std::string("00,27,")));
    if (!chip.Part().otp) {
        EXPECT_EQ(b.wb->sel.LastReadId[0], chip.Part().devId1);
        EXPECT_EQ(b.wb->sel.LastReadId[1], 0x04);
    }
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

INSTANTIATE_TEST_SUITE_P(Device520, EveryP18Line,
                         ::testing::ValuesIn(DeviceLines("device520.lst", {"P18FXX2", "P18CXXX"})),
                         [](const ::testing::TestParamInfo<ListedLine>& i) {
                             std::string n = i.param.part;
                             for (char& c : n)
                                 if (c == '*') c = '_';
                             return n;
                         });

TEST(P18Lines, BothListsHaveThem) {
    EXPECT_EQ(DeviceLines("device520.lst", {"P18FXX2", "P18CXXX"}).size(), 9u);
    EXPECT_EQ(DeviceLines("device640.lst", {"P18FXX2", "P18CXXX"}).size(), 9u);
}

// ---- gpasm ----------------------------------------------------------------------------------------------

constexpr const char* k452Source = R"(        config OSC = HS, WDT = OFF, LVP = OFF
        org 0
start   movlw 0x55
        movwf 0x20
        call sub
        bra start
        org 0x4000
sub     retlw 0x7F
        org 0x7FFE
        nop
        end
)";

TEST(Gputils, PIC18F452ImageWrittenByTheP18FXX2Form) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    std::string why;
    const std::string hex = Gpasm(dir.path, "18f452", k452Source, &why);
    ASSERT_FALSE(hex.empty()) << why;
    SimBench b("PIC18F452");
    AlgoForm& f = b.Open("P18FXX2 0 #20 04 fla=32768 ee=256 dly=1 eet=5 pkg=40");
    std::fill(b.Image(), b.Image() + 0x8000, 0xFF);
    std::FILE* in = std::fopen(hex.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ReadHex(*b.wb, in);
    std::fclose(in);
    EXPECT_EQ(b.Image()[0], 0x55);
    EXPECT_EQ(b.Image()[1], 0x0E);  // movlw 0x55
    f.Click("Erase");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
    EXPECT_EQ(b.Chip()[0x4000], 0x7F);  // retlw 0x7F
    EXPECT_EQ(b.Chip()[0x4001], 0x0C);
}

// ---- fault sweep ----------------------------------------------------------------------------------------

FaultSweep P18Sweep(std::function<void(SimBench&, AlgoForm&)> op) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC18F442");
        b->RandomImage(512, 5);
        for (int i = 0; i < 4; ++i) b->Image()[kEe + i] = static_cast<std::uint8_t>(0xA0 + i);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("P18FXX2 0 #A0 04 fla=512 ee=4 dly=1 eet=5 pkg=40"); };
    s.operation = std::move(op);
    // "OK" is Blank's promise (blank) or a write's (the image); the batch's
    // "End OK.." promises program memory and EEPROM.
    s.holds = [](SimBench& b, const std::string& text) {
        if (text == "Erase OK") return true;
        if (text == "OK") return b.ChipMatchesImage(0, 512) || b.ChipBlank(0, 512);
        return b.ChipMatchesImage(0, 512) && EepromMatches(b, 4);
    };
    return s;
}

TEST(P18FaultSweep, Write) {
    const auto r = P18Sweep([](SimBench&, AlgoForm& f) { f.Click("Write"); }).Run();
    EXPECT_GT(r.transfers, 2);
}

TEST(P18FaultSweep, Batch) {
    const auto r = P18Sweep([](SimBench&, AlgoForm& f) { f.Click("Button1"); }).Run();
    EXPECT_GT(r.transfers, 10);
}

}  // namespace
}  // namespace quilla::test
