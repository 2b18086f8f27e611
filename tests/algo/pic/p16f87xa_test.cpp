// The key-driven PIC16 flash forms end to end: PIC1687XA on a PIC16F877A
// (eight write latches, programming closed by 17h, chip erase 1Fh), PIC16F on a
// PIC16F77 and P16F628A on a PIC16F628A (VPP before VCC).
#include <gtest/gtest.h>

#include <algorithm>

#include "algo/pic/p16f87xa.h"
#include "sim/chips/pic14.h"
#include "pic_images.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::EventKind;
using sim::Pic14Chip;

constexpr const char* k877a = "PIC1687XA 8 #0E 20 fla=8192 ee=256 dly=1 pkg=40";
constexpr const char* k877aSmall = "PIC1687XA 8 fla=64 ee=32 dly=1 pkg=40";

void ProgramChipFromImage(SimBench& b, int words) {
    auto& chip = b.ChipAs<Pic14Chip>();
    for (int a = 0; a < words; ++a)
        chip.SetWord(a, static_cast<std::uint16_t>(b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)));
}

// The wait opcodes between one begin command and the next command.
std::vector<int> WaitsPerWord(const SimBench& b, std::uint8_t begin, std::uint8_t waitOp) {
    std::vector<int> out;
    int n = -1;
    for (const auto& c : b.tap->commands) {
        if (c[0] == proto::OpPicCommand && c[1] == begin) {
            if (n >= 0) out.push_back(n);
            n = 0;
        } else if (c[0] == waitOp && n >= 0) {
            ++n;
        } else if (c[0] == proto::OpPicCommand && n >= 0) {
            out.push_back(n);
            n = -1;
        }
    }
    return out;
}

// ---- PIC1687XA -----------------------------------------------------------------------------------------

TEST(P16f87xa1, RunProgramsAPIC16F877AAndEverythingReadsBack) {
    SimBench b("PIC16F877A");
    FillPicImage(b, 8192, 256, 31);
    b.tap->record = false;
    AlgoForm& f = b.Open(k877a);
    EXPECT_EQ(f.Text("Msg"), "");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip40");
    f.SetText("Edit1", "12ab");
    f.SetChecked("CheckBox1", true);  // FOSC0 programmed
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
    EXPECT_TRUE(PicChipHoldsImage(b, 8192, 256));
    auto& chip = b.ChipAs<Pic14Chip>();
    EXPECT_EQ(chip.ConfigWord(), 0x3FFE);
    EXPECT_EQ(chip.ConfigArea(0), 0x01);
    EXPECT_EQ(chip.ConfigArea(1), 0x12);
    EXPECT_EQ(chip.ConfigArea(2), 0x2A);
    EXPECT_EQ(chip.ConfigArea(3), 0xAB);

    const std::vector<std::uint8_t> image(b.Image(), b.Image() + 0x4100);
    std::fill(b.Image(), b.Image() + 0x4100, 0);
    f.Click("ReadToFile");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x4000, b.Image()));
    f.Click("RdData");
    EXPECT_TRUE(std::equal(image.begin() + 0x4000, image.end(), b.Image() + 0x4000));
    f.SetText("Edit1", "0");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config = 3ffe");
    EXPECT_EQ(f.Text("Edit1"), "12ab");
    EXPECT_EQ(f.Text("Edit2"), "0e20");
}

TEST(P16f87xa1, WordByWordProgrammingLeavesTheOtherLatchesOfTheRowAlone) {
    SimBench b("PIC16F877A");
    FillPicImage(b, 64, 0, 3);
    auto& chip = b.ChipAs<Pic14Chip>();
    AlgoForm& f = b.Open(k877aSmall);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
    EXPECT_TRUE(PicChipHoldsImage(b, 64, 0));
    for (int a = 64; a < 80; ++a) EXPECT_EQ(chip.Word(a), 0x3FFF) << a;
    // Each word: 02h w, 18h, the waits, 17h, 06h.
    const auto waits = WaitsPerWord(b, 0x18, proto::OpWait1ms);
    ASSERT_EQ(waits.size(), 64u);
    for (int n : waits) EXPECT_EQ(n, 1);
}

TEST(P16f87xa1, SlowDoublesTheDelayOfTheLine) {
    SimBench b("PIC16F877A");
    FillPicImage(b, 16, 0, 4);
    AlgoForm& f = b.Open("PIC1687XA 8 fla=16 ee=32 dly=5 pkg=40");
    f.Choose("Speed", 1);
    EXPECT_EQ(f.Text("Speed"), "Slow  ");
    f.Click("Write");
    const auto waits = WaitsPerWord(b, 0x18, proto::OpWait1ms);
    ASSERT_EQ(waits.size(), 16u);
    for (int n : waits) EXPECT_EQ(n, 10);
    EXPECT_TRUE(PicChipHoldsImage(b, 16, 0));
}

TEST(P16f87xa1, EraseWithConfigurationClearsItAndWithoutKeepsIt) {
    for (int item : {0, 1}) {
        SimBench b("PIC16F877A");
        auto& chip = b.ChipAs<Pic14Chip>();
        for (int a = 0; a < 8192; a += 5) chip.SetWord(a, 0x0123);
        chip.MutableEeprom()[7] = 0x11;
        chip.SetConfigArea(7, 0x3FFA);
        chip.SetConfigArea(0, 0x05);
        AlgoForm& f = b.Open(k877a);
        f.Choose("RadioGroup2", item);
        f.Click("Erase");
        EXPECT_EQ(f.Text("Msg"), "OK");
        for (int a = 0; a < 8192; ++a) ASSERT_EQ(chip.Word(a), 0x3FFF) << a;
        EXPECT_EQ(chip.Eeprom()[7], 0xFF);
        EXPECT_EQ(chip.ConfigWord(), item == 1 ? 0x3FFF : 0x3FFA) << item;
        EXPECT_EQ(chip.ConfigArea(0), item == 1 ? 0x3FFF : 0x05) << item;
    }
}

TEST(P16f87xa1, WithoutEepromTheDisabledEraseGroupStillChoosesTheErase) {
    SimBench b("PIC16F877A");
    auto& chip = b.ChipAs<Pic14Chip>();
    chip.SetConfigArea(7, 0x3FFA);
    AlgoForm& f = b.Open("PIC1687XA 8 fla=64 pkg=40");
    for (const char* c : {"WrData", "RdData", "RadioGroup2", "CheckBoxrWrData"}) EXPECT_FALSE(f.Get(c).Enabled) << c;
    EXPECT_FALSE(f.Ticked("CheckBoxrWrData"));
    f.Click("Erase");
    EXPECT_EQ(chip.ConfigWord(), 0x3FFF);  // item 1 at design: configuration too
}

TEST(P16f87xa1, DataEepromReadsWholeBlocksAndWritesItsRange) {
    SimBench b("PIC16F877A");
    FillPicImage(b, 64, 256, 5);
    auto& chip = b.ChipAs<Pic14Chip>();
    for (int i = 0; i < 256; ++i) chip.MutableEeprom()[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    AlgoForm& f = b.Open("PIC1687XA 8 fla=64 ee=100 pkg=40");
    std::fill(b.Image() + 0x4000, b.Image() + 0x4100, 0xEE);
    f.Click("RdData");
    for (int i = 0; i < 128; ++i) ASSERT_EQ(b.Image()[0x4000 + i], i) << i;
    EXPECT_EQ(b.Image()[0x4080], 0xEE);

    FillPicImage(b, 64, 256, 6);
    AlgoForm& g = b.Open("PIC1687XA 8 fla=64 ee=128 pkg=40");
    g.Click("WrData");
    EXPECT_EQ(g.Text("Msg"), "已经将文件缓冲区4000~407f写到器件，经Verified。");
    for (int i = 0; i < 128; ++i) ASSERT_EQ(chip.Eeprom()[static_cast<std::size_t>(i)], b.Image()[0x4000 + i]) << i;
    EXPECT_EQ(chip.Eeprom()[128], 128);
}

TEST(P16f87xa1, AConfiguredChipFailsBlankAndBadPackageKeepsTheRow) {
    SimBench b("PIC16F877A");
    b.ChipAs<Pic14Chip>().SetConfigArea(7, 0x3FFE);
    AlgoForm& f = b.Open(k877aSmall);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "CONFIG No!!!");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);

    SimBench c("PIC16F877A");
    c.Open(k877aSmall);
    AlgoForm& g = c.Open("PIC1687XA 8 fla=64 ee=32");
    EXPECT_EQ(c.prompts.Last(), "Bad Package! ");
    g.Click("Blank");  // row 8's table pins: the 40-pin socket
    EXPECT_EQ(g.Text("Msg"), "OK");
}

// ---- PIC16F (PIC16F7X parts) ----------------------------------------------------------------------------

TEST(P16fx, BlankEraseAndTheConfigurationOfAPIC16F77) {
    SimBench b("PIC16F77");
    auto& chip = b.ChipAs<Pic14Chip>();
    chip.SetConfigArea(7, 0x3FEF);
    chip.SetWord(9, 0);
    AlgoForm& f = b.Open("PIC16F 8 fla=8192 pkg=40");
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 44);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "CFG bit not blank!!!!!");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "End.");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Edit2"), "0660");
    EXPECT_TRUE(f.Get("Edit2").Enabled);
}

TEST(P16fx, VerifyRunsAtTheChosenVoltageAndReturnsToSetup) {
    for (bool mismatch : {false, true}) {
        SimBench b("PIC16F77");
        FillPicImage(b, 64, 0, 8);
        ProgramChipFromImage(b, 64);
        if (mismatch) b.ChipAs<Pic14Chip>().SetWord(10, 0);
        AlgoForm& f = b.Open("PIC16F 8 fla=64 pkg=40");
        f.Choose("VeriyVolt", 2);
        b.sim->Log().Clear();
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), mismatch ? "Error...." : "OK");
        bool at25 = false;
        for (const auto& e : b.sim->Log().Events())
            if (e.kind == EventKind::VccLevel && e.value == 25) at25 = true;
        EXPECT_TRUE(at25);
        EXPECT_EQ(b.sim->GetSocket().VccLevel(), 44);
    }
}

TEST(P16fx, NoToTheWrongTypeQuestionEndsTheRun) {
    SimBench b("PIC16F77");
    b.prompts.answers.push_back(BtnNo);
    AlgoForm& f = b.Open("PIC16F 8 #06 20 fla=64 pkg=40");
    f.Click("Button1");
    EXPECT_EQ(b.prompts.Last(), "Wrong type, OK ??");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 0);
}

TEST(P16fx, WriteLeavesVccOnAndTheRunPasses) {
    SimBench b("PIC16F77");
    FillPicImage(b, 64, 0, 9);
    AlgoForm& f = b.Open("PIC16F 8 #06 60 fla=64 pkg=40");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Has(32));
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(PicChipHoldsImage(b, 64, 0));
}

// ---- P16F628A -------------------------------------------------------------------------------------------

TEST(P16f628a1, EntersVppFirstAndRunsEndToEnd) {
    SimBench b("PIC16F628A");
    FillPicImage(b, 2048, 128, 12);
    AlgoForm& f = b.Open("P16F628A 1 #10 60 fla=2048 ee=128 dly=4 pkg=18");
    EXPECT_EQ(f.Get("Package").Caption, "PKG:  DIP18");
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 44);
    b.sim->Log().Clear();
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(PicChipHoldsImage(b, 2048, 128));
    EXPECT_EQ(b.ChipAs<Pic14Chip>().ConfigWord(), 0x3FFF);
    // VPP reaches MCLR before VCC reaches VDD at every power-up.
    bool vpp = false, ordered = true;
    int powerUps = 0;
    for (const auto& e : b.sim->Log().Events()) {
        if (e.kind == EventKind::VppRoute) vpp = e.pin == 15;  // MCLR (the contact test routes others)
        if (e.kind == EventKind::VccRoute && e.pin == 25) {
            ++powerUps;
            ordered = ordered && vpp;
        }
    }
    EXPECT_GT(powerUps, 4);
    EXPECT_TRUE(ordered);
}

TEST(P16f628a1, BlankTestsTheConfigurationUnderItsMask) {
    for (auto [config, text] : {std::pair{0x3DFF, "OK"}, {0x3EFF, "CONFIG No!!!"}}) {
        SimBench b("PIC16F628A");
        b.ChipAs<Pic14Chip>().SetConfigArea(7, static_cast<std::uint16_t>(config));
        AlgoForm& f = b.Open("P16F628A 1 fla=2048 ee=128 pkg=18");
        f.Click("Blank");
        EXPECT_EQ(f.Text("Msg"), text) << std::hex << config;
    }
}

TEST(P16f628a1, WithoutEepromEraseIsTheChipEraseWhateverTheGroupShows) {
    SimBench b("PIC16F628A");
    auto& chip = b.ChipAs<Pic14Chip>();
    for (int a = 0; a < 2048; a += 3) chip.SetWord(a, 0x0042);
    AlgoForm& f = b.Open("P16F628A 1 fla=2048 pkg=18");
    f.Choose("RadioGroup2", 1);  // data only, were it asked
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_GT(b.tap->Count(proto::OpPicCommand), 0u);
    bool f9 = false;
    for (const auto& c : b.tap->commands) f9 = f9 || (c[0] == proto::OpPicCommand && c[1] == 0xF9);
    EXPECT_TRUE(f9);
    for (int a = 0; a < 2048; ++a) ASSERT_EQ(chip.Word(a), 0x3FFF) << a;
}

TEST(P16f628a1, PackagesOfTheForm) {
    SimBench b("PIC16F628A");
    AlgoForm& f = b.Open("P16F628A 1 fla=2048 ee=128 pkg=14");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip14");
    EXPECT_EQ(f.Get("Package").Caption, "PKG:  DIP14");
    SimBench c("PIC16F628A");
    AlgoForm& g = c.Open("P16F628A 1 fla=2048 ee=128 pkg=44");
    EXPECT_EQ(c.sim->LoadedTag(), "");
    EXPECT_EQ(g.Get("Package").Caption, "Package");
    EXPECT_TRUE(c.prompts.shown.empty());
}

TEST(P16f628a1, AProtectedChipStopsTheRunAtTheConfiguration) {
    SimBench b("PIC16F628A");
    auto& chip = b.ChipAs<Pic14Chip>();
    chip.SetConfigArea(7, 0x1FFF);  // CP
    AlgoForm& f = b.Open("P16F628A 1 fla=2048 ee=128 pkg=18");
    for (const char* c : {"CheckBoxWrite", "CheckBoxVer", "CheckBoxrWrData", "CheckBoxConfig"}) f.SetChecked(c, false);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "CONFIG No!!!");
    EXPECT_EQ(f.PassesCounted(), 0);
}

// ---- fault sweep: the PIC16F628A cut to 64 words -----------------------------------------------------------

FaultSweep Sweep628a(std::function<void(SimBench&, AlgoForm&)> op) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC16F628A");
        FillPicImage(*b, 64, 16, 23);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("P16F628A 1 fla=64 ee=16 dly=4 pkg=18"); };
    s.operation = std::move(op);
    return s;
}

TEST(P16f628a1Sweep, WriteShowsEndOnlyWithTheImageInTheChip) {
    FaultSweep s = Sweep628a([](SimBench&, AlgoForm& f) { f.Click("Write"); });
    s.holds = [](SimBench& b, const std::string&) { return PicChipHoldsImage(b, 64, 0); };
    EXPECT_GT(s.Run().transfers, 5);
}

TEST(P16f628a1Sweep, BatchCountsOnlyAChipThatHoldsTheImage) {
    FaultSweep s = Sweep628a([](SimBench&, AlgoForm& f) { f.Click("Button1"); });
    s.faults = {LinkFault::OutFailure, LinkFault::ShortReply, LinkFault::DetachAfter};
    s.holds = [](SimBench& b, const std::string& text) {
        auto& chip = b.ChipAs<Pic14Chip>();
        if (text == "OK") {  // Erase, Blank or Verify
            bool blank = true;
            for (int a = 0; a < 64; ++a) blank = blank && chip.Word(a) == 0x3FFF;
            return blank || PicChipHoldsImage(b, 64, 0);
        }
        if (text == "End.") return PicChipHoldsImage(b, 64, 0);
        return PicChipHoldsImage(b, 64, 16);  // W.Data's text, "End OK.."
    };
    s.Run();
}

}  // namespace
}  // namespace quilla::test
