// The one-time-programmable PIC16C forms end to end: P16C61 (boxes, pulse
// count, verify voltage, serial-number stamp) and P16CXXX (configuration grid
// and its .c48 file) on the one-time rows of the 14-bit model, and what the
// model refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

#include <unistd.h>

#include "algo/pic/p16c6x.h"
#include "sim/chips/pic14.h"
#include "pic_images.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::EventKind;
using sim::Pic14Chip;

void ProgramChipFromImage(SimBench& b, int words) {
    auto& chip = b.ChipAs<Pic14Chip>();
    for (int a = 0; a < words; ++a)
        chip.SetWord(a, static_cast<std::uint16_t>(b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)));
}

// ---- P16C61 -----------------------------------------------------------------------------------------------

TEST(P16c6x, RunProgramsABlankPIC16C74) {
    SimBench b("PIC16C74");
    FillPicImage(b, 4096, 0, 51);
    AlgoForm& f = b.Open("P16C61 5");
    EXPECT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip40c");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0x1FFF);
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 120);
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 44);
    f.SetText("Edit1", "12ab");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(PicChipHoldsImage(b, 4096, 0));
    auto& chip = b.ChipAs<Pic14Chip>();
    EXPECT_EQ(chip.ConfigWord(), 0x3FFD);  // Lockbit off, WTD, BODEN, PWRTE off, XT
    EXPECT_EQ(chip.ConfigArea(0), 0x01);
    EXPECT_EQ(chip.ConfigArea(1), 0x12);
    EXPECT_EQ(chip.ConfigArea(2), 0x2A);
    EXPECT_EQ(chip.ConfigArea(3), 0xAB);
    f.SetText("Edit1", "0");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config = 3ffd");
    EXPECT_EQ(f.Text("Edit1"), "12ab");
}

TEST(P16c6x, EveryBoxTickedWithLPIsThe0044Word) {
    SimBench b("PIC16C74A");
    AlgoForm& f = b.Open("P16C61 6");
    for (const char* c : {"CheckBox1", "CheckBox2", "CheckBox3", "CheckBox4"}) f.SetChecked(c, true);
    f.Choose("RadioGroup1", 0);
    EXPECT_EQ(f.Text("Msg"), "Config = 0044");
    f.Click("WtConfig");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.ChipAs<Pic14Chip>().ConfigWord(), 0x0044);
    // A part without brown-out detection: the disabled box counts as unticked.
    SimBench c("PIC16C74A");
    AlgoForm& g = c.Open("P16C61 6 #01 00");
    EXPECT_FALSE(g.Get("CheckBox4").Enabled);
    g.Click("WtConfig");
    EXPECT_EQ(c.ChipAs<Pic14Chip>().ConfigWord(), 0x3FBD);
}

TEST(P16c6x, OneTimeCellsCannotBeWrittenBackToOne) {
    SimBench b("PIC16C74");
    FillPicImage(b, 4096, 0, 52);
    AlgoForm& f = b.Open("P16C61 5");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "Ended.");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No empty.");
    for (int a = 0; a < 0x2000; ++a) b.Image()[a] = static_cast<std::uint8_t>(~b.Image()[a]);
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(P16c6x, VerifyAtTheChosenVoltageThenBackTo4400) {
    for (bool mismatch : {false, true}) {
        SimBench b("PIC16C61");
        FillPicImage(b, 1024, 0, 53);
        ProgramChipFromImage(b, 1024);
        if (mismatch) b.ChipAs<Pic14Chip>().SetWord(5, 0);
        AlgoForm& f = b.Open("P16C61 8");
        f.Choose("VeriyVolt", 2);
        b.sim->Log().Clear();
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), mismatch ? "Error...." : "OK");
        bool at25 = false;
        for (const auto& e : b.sim->Log().Events()) at25 = at25 || (e.kind == EventKind::VccLevel && e.value == 25);
        EXPECT_TRUE(at25);
        EXPECT_EQ(b.sim->GetSocket().VccLevel(), 44);
    }
}

TEST(P16c6x, AProgrammedConfigurationStopsBlank) {
    SimBench b("PIC16C74");
    b.ChipAs<Pic14Chip>().SetConfigArea(7, 0x3FFE);
    AlgoForm& f = b.Open("P16C61 5");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "CONFIG No!!!");
    EXPECT_EQ(f.Text("Edit6"), "Add ");
}

TEST(P16c6x, ThePlcc44AdapterComesFromTheDeviceName) {
    SimBench b("PIC16C74");
    AlgoForm& f = b.Open("P16C61 5");
    struct View : PlacementView {
        SimBench* bench;
        std::vector<std::string> shown;
        void ShowPlacementBitmap(const std::string& file) override {
            shown.push_back(file + " over " + std::string(bench->sim->LoadedTag()));
        }
        int ShowPlacementDiagram(int, int, int, int) override { return 0; }
    } view;
    view.bench = &b;
    b.wb->Ep3.Placement = &view;
    b.wb->sel.TypeText = "MICROCHIP PIC16C74*Q44*P44";
    f.SetupForDevice();
    b.wb->Ep3.Placement = nullptr;
    ASSERT_EQ(view.shown.size(), 1u);
    EXPECT_EQ(view.shown[0], "p44b.bmp over pic16dip40c");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16plcc44");
    auto& g = dynamic_cast<TP16c6x&>(f);
    EXPECT_EQ(g.MaskLo, 0x248600u);
    EXPECT_EQ(g.Table[5].VppPin, 22);
    EXPECT_EQ(g.Table[5].VccPin, 11);
    EXPECT_EQ(g.Table[5].GndPin, 10);
}

TEST(P16c6x, MassProductionStampsEachChipBeforeItsPass) {
    SimBench b("PIC16C74");
    FillPicImage(b, 4096, 0, 54);
    b.wb->options.MassProduction = true;
    AlgoForm& f = b.Open("P16C61 5 add=100");
    auto& g = dynamic_cast<TP16c6x&>(f);
    g.SeedSerialNumbers(7);
    std::mt19937 rng(7);
    std::vector<std::uint32_t> stamps;
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t r = rng() % 32767u;
        stamps.push_back(r * r + 1234u);
    }
    // Polls: Run's own contact test; each pass the next-chip wait, then Blank,
    // Write, Verify and Wrt.CFG test the contact once each.
    b.sim->ScheduleRemoval(sim::When::AfterPolls(1));
    b.sim->ScheduleInsertion(sim::When::AfterPolls(1), sim::MakePic14("PIC16C74").chip);
    for (int chip = 2; chip <= 3; ++chip) {
        b.sim->ScheduleRemoval(sim::When::AfterPolls(5));
        b.sim->ScheduleInsertion(sim::When::AfterPolls(1), sim::MakePic14("PIC16C74").chip);
    }
    b.sim->ScheduleRemoval(sim::When::AfterPolls(5));
    f.Click("Button1");
    EXPECT_EQ(f.PassesCounted(), 3);
    EXPECT_EQ(b.wb->Counter, "3");
    std::uint32_t last = 0;
    for (int i = 0; i < 4; ++i) last |= static_cast<std::uint32_t>(b.Image()[100 + 2 * i]) << (8 * i);
    EXPECT_EQ(last, stamps[2]);
    EXPECT_NE(stamps[0], stamps[1]);
}

TEST(P16c6x, BadLinesAreRefusedBeforeAnythingIsSent) {
    for (const char* line : {"P16C61 0", "P16C61 17", "P16C61 8 add=2046", "P16C61 8 add=-4"}) {
        SimBench b("PIC16C61");
        const auto before = b.Transfers();
        AlgoForm& f = b.Open(line);
        EXPECT_EQ(b.Transfers(), before) << line;
        EXPECT_NE(f.Text("Msg").find("Bad device line"), std::string::npos) << line;
        f.Click("Button1");
        EXPECT_EQ(b.Transfers(), before) << line;
    }
}

// ---- the model --------------------------------------------------------------------------------------------

TEST(Pic14Otp, APulseWithoutItsWaitOrVppOffMclrLeavesTheCells) {
    for (int c = 0; c < 3; ++c) {
        SimBench b("PIC16C61");
        b.Open("P16C61 8");  // the 18-pin design
        PicSerial pic(b.wb->Ep3, picvariant::P16c6x);
        const PicPins right{15, 25, 16, 0, 0}, wrongVpp{14, 25, 16, 0, 0};
        pic.Enter(c == 2 ? wrongVpp : right, false);
        pic.SendCommandData(0x02, 0x0123);
        pic.SendCommand(0x08);
        if (c != 1) b.wb->Ep3.UsbPut1(proto::OpWaitPulse);
        pic.SendCommand(0x0E);
        pic.Leave();
        b.wb->Ep3.UsbFlush();
        EXPECT_EQ(b.ChipAs<Pic14Chip>().Word(0), c == 0 ? 0x0123 : 0x3FFF) << c;
        if (c == 2) {  // 12 V on RA4 (chip pin 3) is beyond its rating
            b.ExpectDamage();
            b.ExpectViolation("absolute maximum");
        }
    }
}

// ---- P16CXXX ----------------------------------------------------------------------------------------------

struct TempFiles {
    std::filesystem::path dir;
    TempFiles() {
        dir = std::filesystem::temp_directory_path() / ("quilla_16c_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "a.hex") << ":00000001FF\r\n";
    }
    ~TempFiles() { std::filesystem::remove_all(dir); }
    std::string Hex() const { return (dir / "a.hex").string(); }
    std::string C48() const { return (dir / "a.c48").string(); }
};

TEST(P16cxxx1, TwentyPinsLoadTwoDesignsAndTestWithTheEighteenPinMasks) {
    SimBench b("PIC16C622");
    b.sim->Log().Clear();
    AlgoForm& f = b.Open("P16CXXX 1 fla=2048 pkg=20 cfg=2");
    int loads = 0;
    for (const auto& e : b.sim->Log().Events()) loads += e.kind == EventKind::DesignLoaded;
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip20");
    auto& g = dynamic_cast<TP16cxxx1&>(f);
    EXPECT_EQ(g.MaskLo, 0x1FFFF800u);
    EXPECT_EQ(g.MaskHi, 0u);
    EXPECT_EQ(f.Get("StringGrid1").RowNames[6], "BODEN");
}

TEST(P16cxxx1, TheGridIsTheConfigurationWord) {
    SimBench b("PIC16C620");
    AlgoForm& f = b.Open("P16CXXX 1 fla=512 pkg=18 cfg=2");
    f.ClickCell("StringGrid1", 3);
    EXPECT_EQ(f.Text("Msg"), "Config = fff7");
    f.ClickCell("StringGrid1", 3);
    EXPECT_EQ(f.Text("Msg"), "Config = ffff");
    f.ClickCell("StringGrid1", 0);  // FOSC0 programmed
    f.SetText("Edit1", "5678");
    f.Click("WtConfig");
    auto& chip = b.ChipAs<Pic14Chip>();
    EXPECT_EQ(chip.ConfigWord(), 0x3FFE);
    EXPECT_EQ(chip.ConfigArea(0), 0x05);
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config:3ffe, user ID:5678");
    EXPECT_EQ(f.Get("StringGrid1").Items[0], "0");  // the grid is not changed by the read
    // cfg= outside 0-4 shows set 0.
    AlgoForm& g = b.Open("P16CXXX 1 fla=512 pkg=18 cfg=9");
    EXPECT_EQ(g.Get("StringGrid1").RowNames[4], "CP");
}

TEST(P16cxxx1, WriteAndVerifyWithoutTheSerialRegister) {
    SimBench b("PIC16C76");
    FillPicImage(b, 8192, 0, 55);
    AlgoForm& f = b.Open("P16CXXX 1 fla=8192 pkg=28 cfg=2");
    b.tap->commands.clear();
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(PicChipHoldsImage(b, 8192, 0));
    for (const auto& c : b.tap->commands) ASSERT_FALSE(c[0] == proto::OpWriteReg && c[1] == proto::RegPicSerial);
    // Two waits 25 per word.
    std::size_t waits = 0;
    for (const auto& c : b.tap->commands) waits += c[0] == proto::OpWaitPulse;
    EXPECT_EQ(waits, 2u * (8192 + 8));
}

TEST(P16cxxx1, ThePlcc44DesignRoutesTheAdapterNets) {
    SimBench b("");
    AlgoForm& f = b.Open("P16CXXX 1 fla=4096 pkg=44 cfg=2");
    EXPECT_EQ(b.sim->LoadedTag(), "pic18plcc44");
    auto& g = dynamic_cast<TP16cxxx1&>(f);
    EXPECT_EQ(g.MaskLo, 0u);
    // No masks from the package: the contact test still asks for the row's
    // supply and ground pins, so the empty socket never passes.
    f.Click("Button1");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 0);
}

TEST(P16cxxx1, APlcc44PartIsProgrammedThroughThePic18AdapterDesign) {
    SimBench b("PIC16C74A*P44");
    FillPicImage(b, 4096, 0, 57);
    AlgoForm& f = b.Open("P16CXXX 1 fla=4096 pkg=44 cfg=2");
    EXPECT_EQ(b.sim->LoadedTag(), "pic18plcc44");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(PicChipHoldsImage(b, 4096, 0));
    EXPECT_EQ(b.ChipAs<Pic14Chip>().ConfigWord(), 0x3FFF);
}

TEST(P16c6x, APlcc44PartIsProgrammedWhenTheDeviceNameSaysSo) {
    SimBench b("PIC16C74A*P44");
    FillPicImage(b, 4096, 0, 58);
    b.wb->sel.TypeText = "MICROCHIP PIC16C74A*P44";
    AlgoForm& f = b.Open("P16C61 6");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16plcc44");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(PicChipHoldsImage(b, 4096, 0));
}

TEST(P16cxxx1, TheC48FileKeepsTheGridAndMissingBytesAreUnprogrammed) {
    TempFiles t;
    {
        SimBench b("PIC16C620");
        AlgoForm& f = b.Open("P16CXXX 1 fla=512 pkg=18");
        b.wb->DataFileName = t.Hex();  // as a load after setup names it
        f.ClickCell("StringGrid1", 2);
        f.Close();
        EXPECT_EQ(b.sim->GetSocket().VccLevel(), 44);  // the levels stay
    }
    std::ifstream in(t.C48(), std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string expect = "P16cxxx1\r\n";
    for (int i = 0; i < 16; ++i) expect += static_cast<char>(i == 2 ? 0 : 1);
    EXPECT_EQ(raw, expect);
    // A truncated file: the missing bytes are "1".
    std::ofstream(t.C48(), std::ios::binary) << std::string("P16cxxx1\r\n\x01\x00\x01", 13);
    SimBench b("PIC16C620");
    b.wb->DataFileName = t.Hex();
    AlgoForm& f = b.Open("P16CXXX 1 fla=512 pkg=18");
    const auto& cells = f.Get("StringGrid1").Items;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(cells[static_cast<std::size_t>(i)], i == 1 ? "0" : "1") << i;
    // A value that is no bit refuses the configuration write.
    std::ofstream(t.C48(), std::ios::binary) << std::string("P16cxxx1\r\n\x01\x05", 12);
    SimBench c("PIC16C620");
    c.wb->DataFileName = t.Hex();
    AlgoForm& g = c.Open("P16CXXX 1 fla=512 pkg=18");
    g.Click("WtConfig");
    EXPECT_NE(g.Text("Msg").find("not 0 or 1"), std::string::npos);
    EXPECT_EQ(c.ChipAs<Pic14Chip>().ConfigWord(), 0x3FFF);
}

// ---- fault sweep: the P16C61 batch on a PIC16C620 (512 words) ----------------------------------------------

TEST(P16c6xSweep, BatchCountsOnlyAChipThatHoldsTheImage) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC16C620");
        FillPicImage(*b, 512, 0, 56);
        return b;
    };
    auto form = std::make_shared<const PicForm*>(nullptr);
    s.form = [form](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open("P16C61 9");
        *form = &dynamic_cast<const PicForm&>(f);
        return f;
    };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button1"); };
    s.faults = {LinkFault::OutFailure, LinkFault::ShortReply, LinkFault::DetachAfter};
    s.holds = [form](SimBench& b, const std::string& text) {
        auto& chip = b.ChipAs<Pic14Chip>();
        if (text == "OK") {  // Blank, Verify or Wrt.CFG
            bool blank = true;
            for (int a = 0; a < 512; ++a) blank = blank && chip.Word(a) == 0x3FFF;
            return blank || PicChipHoldsImage(b, 512, 0);
        }
        if (text == "End OK..")  // the configuration word and the IDs too
            return PicChipHoldsImage(b, 512, 0) && chip.ConfigWord() == 0x3FFD && PicChipHoldsConfig(b, **form);
        return PicChipHoldsImage(b, 512, 0);  // "Ended."
    };
    s.Run();
}

}  // namespace
}  // namespace quilla::test
