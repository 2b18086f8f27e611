// The PIC16F7X parts end to end: the P16F7X form (externally timed
// programming, 16 words per reply, bulk erase in place of the erase group)
// and a PIC16FEE line without data EEPROM on a PIC16F77.
#include <gtest/gtest.h>

#include "algo/pic/p16f87x.h"
#include "sim/chips/pic14.h"
#include "pic_images.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::Pic14Chip;

void ProgramChipFromImage(SimBench& b, int words) {
    auto& chip = b.ChipAs<Pic14Chip>();
    for (int a = 0; a < words; ++a) chip.SetWord(a, static_cast<std::uint16_t>(b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)));
}

TEST(P16f7x1, ReadStoresOnlyTheChipsWordsInBlocksOfSixteen) {
    SimBench b("PIC16F77");
    FillPicImage(b, 8192, 0, 3);
    ProgramChipFromImage(b, 8192);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + 0x4000);
    std::fill(b.Image(), b.Image() + 0x4000, 0);
    std::fill(b.Image() + 0x4000, b.Image() + 0x4020, 0xA5);
    AlgoForm& f = b.Open("P16F7X 8");
    EXPECT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip40");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0x3FFF);
    b.tap->commands.clear();
    f.Click("ReadToFile");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
    for (int i = 0; i < 0x20; ++i) EXPECT_EQ(b.Image()[0x4000 + i], 0xA5) << i;
    int reads = 0, blocks = 0;
    for (const auto& c : b.tap->commands) {
        if (c[0] == proto::OpPicReadWord) ++reads;
        if (c[0] != proto::OpReply) continue;
        if (reads == 16) ++blocks;
        EXPECT_LE(reads, 16);
        reads = 0;
    }
    EXPECT_EQ(blocks, 8192 / 16);
}

TEST(P16f7x1, AConfiguredPIC16F77IsErasedAndWritten) {
    SimBench b("PIC16F77");
    FillPicImage(b, 8192, 0, 4);
    auto& chip = b.ChipAs<Pic14Chip>();
    chip.SetConfigArea(7, 0x3FEF);  // protected
    chip.SetWord(100, 0);
    AlgoForm& f = b.Open("P16F7X 8");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "CFG bit not blank!!!!!");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "End.");
    EXPECT_EQ(chip.ConfigWord(), 0x3FFF);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Has(32));  // VCC stays on
    EXPECT_TRUE(PicChipHoldsImage(b, 8192, 0));
}

TEST(P16f7x1, ConfigurationWithoutChecksAndReadBack) {
    SimBench b("PIC16F72");
    AlgoForm& f = b.Open("P16F7X 3");
    f.SetChecked("CheckBox1", true);  // Lockbit: CP0 (bit 4) programmed
    f.Choose("RadioGroup1", 2);
    EXPECT_EQ(f.Text("Msg"), "Config = 3fee");
    f.SetText("Edit1", "4321");
    b.prompts.answers.push_back(BtnNo);
    const auto ids = b.tap->Count(proto::OpPicReadWord);
    f.Click("WtConfig");
    EXPECT_EQ(b.tap->Count(proto::OpPicReadWord), ids);  // no device ID read first
    auto& chip = b.ChipAs<Pic14Chip>();
    EXPECT_EQ(chip.ConfigWord(), 0x3FEE);
    EXPECT_EQ(chip.ConfigArea(0), 0x04);
    EXPECT_EQ(chip.ConfigArea(3), 0x21);

    f.SetChecked("CheckBox1", false);
    f.SetText("Edit1", "0");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config = 3fee");
    EXPECT_EQ(f.Text("Edit1"), "4321");
    EXPECT_EQ(f.Text("Edit2"), "00a0");
    EXPECT_TRUE(f.Checked("CheckBox1"));
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 2);
    EXPECT_TRUE(f.Get(PicForm::kReadConfig).Enabled);
}

// A PIC16FEE line without ee= on a PIC16F77: no data controls; Erase is the
// chip erase (F9h, F2h FFFFh, F8h, 3 x wait 28).
TEST(P16fEEx, ALineWithoutEepromErasesAPIC16F77WithTheChipErase) {
    SimBench b("PIC16F77");
    auto& chip = b.ChipAs<Pic14Chip>();
    for (int a = 0; a < 8192; a += 7) chip.SetWord(a, 0x0055);
    chip.SetConfigArea(7, 0x3FEF);
    AlgoForm& f = b.Open("PIC16FEE 8 fla=8192 pkg=40");
    for (const char* c : {"WrData", "RdData", "RadioGroup2", "CheckBoxrWrData"}) EXPECT_FALSE(f.Get(c).Enabled) << c;
    b.tap->commands.clear();
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "OK");
    const std::vector<std::vector<std::uint8_t>> erase = {{proto::OpPicCommand, 0xF9},
                                                          {proto::OpPicWriteWord, 0xF2, 0xFE, 0xFF},
                                                          {proto::OpPicCommand, 0xF8},
                                                          {proto::OpWait100ms},
                                                          {proto::OpWait100ms},
                                                          {proto::OpWait100ms}};
    EXPECT_NE(std::search(b.tap->commands.begin(), b.tap->commands.end(), erase.begin(), erase.end()),
              b.tap->commands.end());
    for (int a = 0; a < 8192; ++a) ASSERT_EQ(chip.Word(a), 0x3FFF) << a;
    EXPECT_EQ(chip.ConfigWord(), 0x3FFF);
}

// ---- fault sweeps: the PIC16F72 row cut to 64 words ----------------------------------------------------

FaultSweep Sweep(std::function<void(SimBench&, AlgoForm&)> op) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC16F72");
        FillPicImage(*b, 64, 0, 17);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& {
        auto& f = dynamic_cast<TP16f7x1&>(b.Open("P16F7X 3"));
        f.Table[3].ProgramLast = 127;
        return b.Open("P16F7X 3");
    };
    s.operation = std::move(op);
    return s;
}

TEST(P16f7x1Sweep, WriteShowsOKOnlyWithTheImageInTheChip) {
    FaultSweep s = Sweep([](SimBench&, AlgoForm& f) { f.Click("Write"); });
    s.holds = [](SimBench& b, const std::string&) { return PicChipHoldsImage(b, 64, 0); };
    EXPECT_GT(s.Run().transfers, 5);
}

TEST(P16f7x1Sweep, BatchCountsOnlyAChipThatHoldsTheImage) {
    FaultSweep s = Sweep([](SimBench&, AlgoForm& f) { f.Click("Button1"); });
    s.faults = {LinkFault::OutFailure, LinkFault::ShortReply, LinkFault::DetachAfter};
    s.holds = [](SimBench& b, const std::string& text) {
        auto& chip = b.ChipAs<Pic14Chip>();
        if (text == "End." || text == "Blank") {  // Erase, Blank
            for (int a = 0; a < 64; ++a)
                if (chip.Word(a) != 0x3FFF) return false;
            return chip.ConfigWord() == 0x3FFF;
        }
        if (text == "End OK..") return PicChipHoldsImage(b, 64, 0) && chip.ConfigWord() == 0x3FFD;
        return PicChipHoldsImage(b, 64, 0);  // Write "OK", Verify "OK"
    };
    s.Run();
}

}  // namespace
}  // namespace quilla::test
