// The 12-bit PIC forms end to end on the 12-bit model: P12C508 on a PIC12C508,
// P16C505 on a PIC16C505 (one-time, factory calibration in the last word) and
// PIC16F5X on a PIC16F54/57 (flash, bulk erase).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

#include <unistd.h>

#include "algo/pic/p12c508.h"
#include "algo/pic/p16f5x.h"
#include "algo/pic/pic_serial.h"
#include "sim/chips/pic12.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::Pic12Chip;

void Fill12(SimBench& b, int words, unsigned seed) {
    std::mt19937 rng(seed);
    for (int a = 0; a < words; ++a) {
        const unsigned w = rng() & 0x0FFF;
        b.Image()[2 * a] = static_cast<std::uint8_t>(w);
        b.Image()[2 * a + 1] = static_cast<std::uint8_t>(w >> 8);
    }
}

bool Holds(SimBench& b, int words) {
    auto& c = b.ChipAs<Pic12Chip>();
    for (int a = 0; a < words; ++a)
        if (c.Word(a) != ((b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)) & 0x0FFF)) return false;
    return true;
}

// ---- P12C508 --------------------------------------------------------------------------------------------

TEST(P12c508x, RunProgramsAPIC12C508AndKeepsTheFactoryWord) {
    SimBench b("PIC12C508");
    Fill12(b, 512, 61);
    b.Image()[1022] = 0;
    b.Image()[1023] = 0;
    auto& chip = b.ChipAs<Pic12Chip>();
    const std::uint16_t factory = chip.Word(511);
    AlgoForm& f = b.Open("P12C508 1");
    EXPECT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip08");
    EXPECT_EQ(f.Text("Edit7"), "1: PIC12C508 (.5k)");
    f.SetChecked("CheckBox3", true);  // MCLRE
    f.SetText("Edit1", "1234");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(Holds(b, 511));
    EXPECT_EQ(chip.Word(511), factory);
    EXPECT_EQ(chip.ConfigWord(), 0x0FFD);
    // The IDs follow the 512 program words.
    EXPECT_EQ(chip.UserId(0), 0x01);
    EXPECT_EQ(chip.UserId(1), 0x12);
    EXPECT_EQ(chip.UserId(2), 0x23);
    EXPECT_EQ(chip.UserId(3), 0x34);
    f.Click("WtConfig");
    EXPECT_EQ(f.Text("Msg"), "fffd OK");
}

TEST(P12c508x, BlankAndVerifyNeverLookAtTheLastWord) {
    SimBench b("PIC12C508");
    Fill12(b, 512, 62);
    auto& chip = b.ChipAs<Pic12Chip>();
    AlgoForm& f = b.Open("P12C508 1");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK");  // the factory word at 511 is not blank, and not looked at
    for (int a = 0; a < 511; ++a) chip.SetWord(a, static_cast<std::uint16_t>(b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    chip.SetWord(510, 0);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
    EXPECT_EQ(f.Text("Edit6"), "03fc");
}

TEST(P12c508x, AnErasedLastWordIsProgrammedFromTheImage) {
    SimBench b("PIC12C508");
    Fill12(b, 512, 63);
    auto& chip = b.ChipAs<Pic12Chip>();
    chip.SetWord(511, 0x0FFF);  // a windowed part, erased
    AlgoForm& f = b.Open("P12C508 1");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "Ended.");
    EXPECT_TRUE(Holds(b, 512));
}

TEST(P12c508x, TheConfigurationByteShowsInTheControls) {
    SimBench b("PIC12C508");
    b.ChipAs<Pic12Chip>().SetConfigWord(0x006);
    AlgoForm& f = b.Open("P12C508 1");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config = 0006");
    EXPECT_TRUE(f.Checked("CheckBox1"));   // Lockbit
    EXPECT_TRUE(f.Checked("CheckBox2"));   // WTD
    EXPECT_FALSE(f.Checked("CheckBox3"));  // MCLRE
    EXPECT_EQ(f.Get("RadioGroup1").Items[static_cast<std::size_t>(f.ItemIndex("RadioGroup1"))], "Int. RC       ");
}

TEST(P12c508x, WithoutTheContactTestTheChipIsStillGroundedAndProgrammed) {
    SimBench b("PIC12C508");
    Fill12(b, 512, 64);
    b.wb->options.ContactCheck = false;
    AlgoForm& f = b.Open("P12C508 1");
    f.Click("Write");
    EXPECT_TRUE(Holds(b, 511));
}

// ---- P16C505 --------------------------------------------------------------------------------------------

TEST(P16c505x, RunProgramsABlankPIC16C505) {
    SimBench b("PIC16C505");
    Fill12(b, 1024, 65);
    auto& chip = b.ChipAs<Pic12Chip>();
    const std::uint16_t factory = chip.Word(1023);
    AlgoForm& f = b.Open("P16C505 1");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip14");
    f.SetText("Edit1", "1234");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(Holds(b, 1023));
    EXPECT_EQ(chip.Word(1023), factory);
    EXPECT_EQ(chip.ConfigWord(), 0x0FFF);  // all boxes unticked
    EXPECT_EQ(chip.UserId(0), 0x01);
    EXPECT_EQ(chip.UserId(3), 0x34);
    f.SetText("Edit1", "0");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Edit1"), "1234");
}

TEST(P16c505x, WriteStartsAtWordZeroAndLeavesTheConfiguration) {
    SimBench b("PIC16C505");
    Fill12(b, 1024, 66);
    AlgoForm& f = b.Open("P16C505 1");
    f.Click("Write");
    auto& chip = b.ChipAs<Pic12Chip>();
    EXPECT_EQ(chip.ConfigWord(), 0x0FFF);
    EXPECT_EQ(chip.Word(0), (b.Image()[0] | (b.Image()[1] << 8)) & 0x0FFF);
}

TEST(P16c505x, ConfigurationReadAndBlankFailures) {
    SimBench b("PIC16C505");
    auto& chip = b.ChipAs<Pic12Chip>();
    chip.SetConfigWord(0x0FEA);
    AlgoForm& f = b.Open("P16C505 1");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config = 00ea");
    for (int k = 1; k <= 7; ++k) {
        const bool ticked = k == 1 || k == 3 || k == 5;
        EXPECT_EQ(f.Checked("CheckBox" + std::to_string(k)), ticked) << k;
    }
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "CONFIG No!!!");
    chip.SetConfigWord(0x0FFF);
    chip.SetWord(17, 0x0123);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No empty.");
    EXPECT_EQ(f.Text("Edit6"), "0022");
}

TEST(P16c505x, TheElevenCharacterConFile) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quilla_505_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "a.hex") << ":00000001FF\r\n";
    std::ofstream(dir / "a.CON", std::ios::binary) << "000";
    {
        SimBench b("PIC16C505");
        b.wb->DataFileName = (dir / "a.hex").string();
        AlgoForm& f = b.Open("P16C505 1");
        for (int k = 1; k <= 7; ++k) EXPECT_FALSE(f.Checked("CheckBox" + std::to_string(k))) << k;
        b.wb->DataFileName = (dir / "a.hex").string();
        f.SetChecked("CheckBox1", true);
        f.SetChecked("CheckBox3", true);
        f.SetText("Edit1", "abcd");
        f.Close();
    }
    std::ifstream in(dir / "a.CON", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(raw, "1010000abcd");
    {
        SimBench b("PIC16C505");
        b.wb->DataFileName = (dir / "a.hex").string();
        AlgoForm& f = b.Open("P16C505 1");
        EXPECT_TRUE(f.Checked("CheckBox1"));
        EXPECT_FALSE(f.Checked("CheckBox2"));
        EXPECT_TRUE(f.Checked("CheckBox3"));
    }
    fs::remove_all(dir);
}

// ---- PIC16F5X --------------------------------------------------------------------------------------------

TEST(P16f5x, WriteReadVerifyEraseAndBlankOnAPIC16F54) {
    SimBench b("PIC16F54");
    Fill12(b, 512, 67);
    AlgoForm& f = b.Open("PIC16F5X 1 fla=512 pkg=18");
    EXPECT_EQ(f.Text("Msg"), "");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip18");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(Holds(b, 512));
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Has(25));  // VCC stays on
    EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
    b.tap->commands.clear();
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.tap->Count(proto::OpPicReadWord), 512u);  // 32 blocks of 16 words
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + 1024);
    std::fill(b.Image(), b.Image() + 1024, 0);
    f.Click("ReadToFile");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "End.");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank.!");
}

TEST(P16f5x, TheConfigurationWord) {
    SimBench b("PIC16F54");
    AlgoForm& f = b.Open("PIC16F5X 1 fla=512 pkg=18");
    f.Choose("RadioGroup1", 2);
    f.SetChecked("CheckBox1", true);
    f.SetChecked("CheckBox2", false);
    f.Click("WtConfig");
    EXPECT_EQ(f.Text("Msg"), "0002 OK");
    EXPECT_EQ(b.ChipAs<Pic12Chip>().ConfigWord(), 0x0FF2);
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config=0002");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "ConfigNo!!!");
}

TEST(P16f5x, ThePIC16F57On28PinsRoutesItsPins) {
    SimBench b("PIC16F57");
    Fill12(b, 2048, 68);
    AlgoForm& f = b.Open("PIC16F5X 2 fla=2048 pkg=29");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip29");
    EXPECT_TRUE(b.sim->GetSocket().GndPins().Has(10));
    f.Click("Write");
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Has(8));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(Holds(b, 2048));
}

TEST(P16f5x, AFreshFormWithoutPackageRefusesEverything) {
    SimBench b("PIC16F54");
    const auto before = b.Transfers();
    AlgoForm& f = b.Open("PIC16F5X 1 fla=512");
    EXPECT_EQ(b.prompts.Last(), "Bad Package! ");
    EXPECT_EQ(b.prompts.shown.size(), 1u) << b.prompts.shown[0].text << "|" << b.prompts.shown.back().text;
    for (const char* op : {"Write", "Blank", "Erase", "Button1", "WtConfig"}) {
        f.Click(op);
        EXPECT_EQ(b.Transfers(), before) << op;
    }
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

// ---- fault sweep: the P12C508 batch -------------------------------------------------------------------------

TEST(P12c508xSweep, BatchCountsOnlyAChipThatHoldsTheImage) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC12C508");
        Fill12(*b, 512, 69);
        return b;
    };
    auto form = std::make_shared<const PicForm*>(nullptr);
    s.form = [form](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open("P12C508 1");
        *form = &dynamic_cast<const PicForm&>(f);
        return f;
    };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button1"); };
    s.faults = {LinkFault::OutFailure, LinkFault::ShortReply, LinkFault::DetachAfter};
    // The user IDs the form meant to write, as the chip keeps them (12 bits).
    auto idsHeld = [form](const Pic12Chip& chip) {
        const auto ids = UserIdWords((*form)->UserId);
        for (int k = 0; k < 4; ++k)
            if (chip.UserId(k) != (ids[static_cast<std::size_t>(k)] & 0x0FFF)) return false;
        return true;
    };
    s.holds = [idsHeld](SimBench& b, const std::string& text) {
        auto& chip = b.ChipAs<Pic12Chip>();
        if (text == "OK") {  // Blank or Verify
            bool blank = true;
            for (int a = 0; a < 511; ++a) blank = blank && chip.Word(a) == 0x0FFF;
            return blank || Holds(b, 511);
        }
        if (text == "End OK..") return Holds(b, 511) && chip.ConfigWord() == 0x0FED && idsHeld(chip);
        if (text == "Ended.") return Holds(b, 511);
        if (text == "ffed OK") return chip.ConfigWord() == 0x0FED;
        return true;
    };
    s.Run();
}

}  // namespace
}  // namespace quilla::test
