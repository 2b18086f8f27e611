// The PIC12F and PIC16F630 forms end to end on a PIC12F675 and a PIC16F676
// (VPP-first entry, the factory calibration word kept, the 14-pin placement),
// and what the model of those parts refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "algo/pic/p12f6xx.h"
#include "sim/chips/pic14.h"
#include "pic_images.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::Pic14Chip;

constexpr const char* k675 = "PIC12F 1 #0F C0 fla=1024 ee=128 dly=3 pkg=8";
constexpr std::uint16_t kFactory = 0x3480;

// Image words 0-1022 random, word 1023 something else than the factory word.
void Fill675Image(SimBench& b, unsigned seed) {
    FillPicImage(b, 1024, 128, seed);
    b.Image()[2046] = 0x00;
    b.Image()[2047] = 0x00;
}

// The wait opcodes 26 that follow a begin programming command (08h).
std::size_t ProgrammingWaits(const SimBench& b) {
    std::size_t n = 0;
    bool after = false;
    for (const auto& c : b.tap->commands) {
        if (c[0] == proto::OpPicCommand) after = c[1] == 0x08;
        else if (c[0] == proto::OpWait1ms && after) ++n;
    }
    return n;
}

bool HoldsAllButTheLastWord(SimBench& b) {
    auto& c = b.ChipAs<Pic14Chip>();
    for (int a = 0; a < 1023; ++a)
        if (c.Word(a) != (b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8))) return false;
    return true;
}

TEST(P12fxxx, WriteBlankAndVerifyLeaveTheCalibrationWordAlone) {
    SimBench b("PIC12F675");
    Fill675Image(b, 41);
    auto& chip = b.ChipAs<Pic14Chip>();
    ASSERT_EQ(chip.Word(1023), kFactory);
    AlgoForm& f = b.Open(k675);
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip08");
    EXPECT_EQ(f.Get("Package").Caption, "PKG:  DIP8");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK");  // the factory word is not looked at
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
    EXPECT_TRUE(HoldsAllButTheLastWord(b));
    EXPECT_EQ(chip.Word(1023), kFactory);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    std::fill(b.Image(), b.Image() + 2048, 0);
    f.Click("ReadToFile");
    EXPECT_EQ(b.Image()[2046] | (b.Image()[2047] << 8), kFactory);
}

TEST(P12fxxx, EveryErasePathKeepsTheFactoryWord) {
    for (const char* line : {k675, "PIC12F 1 fla=1024 dly=3 pkg=8"}) {
        SimBench b("PIC12F675");
        auto& chip = b.ChipAs<Pic14Chip>();
        for (int a = 0; a < 1023; a += 3) chip.SetWord(a, 0x0155);
        chip.MutableEeprom()[3] = 0x12;
        AlgoForm& f = b.Open(line);
        f.Click("Erase");
        EXPECT_EQ(f.Text("Msg"), "OK") << line;
        for (int a = 0; a < 1023; ++a) ASSERT_EQ(chip.Word(a), 0x3FFF) << line << " " << a;
        EXPECT_EQ(chip.Word(1023), kFactory) << line;
        EXPECT_EQ(dynamic_cast<TP12fxxx&>(f).KeptWord, kFactory);
    }
}

TEST(P12fxxx, OneWaitStillProgramsAndIsNeverHalvedAway) {
    SimBench b("PIC12F675");
    FillPicImage(b, 16, 0, 42);
    AlgoForm& f = b.Open("PIC12F 1 fla=16 ee=128 dly=1 pkg=8");
    f.SetChecked("CheckBox17", true);
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
    EXPECT_EQ(ProgrammingWaits(b), 15u);  // words 0-14, one wait each
    auto& chip = b.ChipAs<Pic14Chip>();
    for (int a = 0; a < 15; ++a) EXPECT_EQ(chip.Word(a), b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)) << a;
}

TEST(P12fxxx, TheBandgapBitsTakePartInTheBlankCheck) {
    SimBench b("PIC12F675");
    b.ChipAs<Pic14Chip>().SetConfigArea(7, 0x2FFF);  // BG 10b
    AlgoForm& f = b.Open(k675);
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config = 21ff");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "CONFIG No!!!");
}

TEST(P12fxxx, RunProgramsEverythingAndTheConfiguration) {
    SimBench b("PIC12F675");
    Fill675Image(b, 43);
    AlgoForm& f = b.Open(k675);
    f.SetText("Edit1", "4321");
    f.SetChecked("CheckBox4", true);  // WDTEN programmed
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(HoldsAllButTheLastWord(b));
    auto& chip = b.ChipAs<Pic14Chip>();
    EXPECT_EQ(chip.Word(1023), kFactory);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(chip.Eeprom()[static_cast<std::size_t>(i)], b.Image()[0x4000 + i]) << i;
    EXPECT_EQ(chip.ConfigWord(), 0x3FF7);
    EXPECT_EQ(chip.ConfigArea(3), 0x21);
    EXPECT_EQ(f.Get("CheckBox13").Caption, "BG0");
}

TEST(P12fxxx, TheConFileOf31FFTicksTheBitsThatReadZero) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quilla_12f_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "a.hex") << ":00000001FF\r\n";
    std::ofstream(dir / "a.CON", std::ios::binary) << std::string("\x31\xFF", 2);
    SimBench b("PIC12F675");
    b.wb->DataFileName = (dir / "a.hex").string();
    AlgoForm& f = b.Open(k675);
    for (int k = 1; k <= 16; ++k) {
        const bool ticked = k == 10 || k == 11 || k == 12 || k == 15 || k == 16;
        EXPECT_EQ(f.Checked("CheckBox" + std::to_string(k)), ticked) << k;
    }
    f.SetChecked("CheckBox1", true);
    f.SetChecked("CheckBox1", false);
    EXPECT_EQ(dynamic_cast<PicForm&>(f).ConfigWord, 0x31FFu);
    fs::remove_all(dir);
}

TEST(P12fxxx, TheModelRefusesVddFirstEntryOnAnInternalOscillatorWithoutMclr) {
    // VDD first (the order of the PIC16F87xA forms) on a PIC12F675: refused
    // while the configuration runs the internal oscillator with MCLR off.
    for (auto [config, enters] : {std::pair{0x31FF, true}, {0x31D4, false}, {0x31F4, true}}) {
        SimBench b("PIC12F675");
        b.ChipAs<Pic14Chip>().SetConfigArea(7, static_cast<std::uint16_t>(config));
        b.Open("PIC12F 1 fla=16 ee=128 pkg=8");  // the 8-pin design
        PicSerial vddFirst(b.wb->Ep3, picvariant::P16f87xa1);
        const PicPins pins{20, 17, 24, 0, 0};
        vddFirst.Enter(pins, false);
        vddFirst.QueueConfigRead(0xFF);
        vddFirst.Leave();
        const auto words = vddFirst.ReplyWords();
        EXPECT_EQ(words[7] == (config & 0x31FF), enters) << std::hex << config << " " << words[7];
        EXPECT_EQ(words[6] == 0x0FC0, enters);
    }
}

// ---- TP16f630x ------------------------------------------------------------------------------------------

class RecordingPlacement : public PlacementView {
public:
    explicit RecordingPlacement(SimBench& b) : b_(b) {}
    void ShowPlacementBitmap(const std::string& file) override {
        shown.push_back(file + " over " + std::string(b_.sim->LoadedTag()));
    }
    int ShowPlacementDiagram(int, int, int, int) override { return 0; }
    std::vector<std::string> shown;

private:
    SimBench& b_;
};

TEST(P16f630x, ThePictureComesBeforeTheDesignAndThe14PinPartPrograms) {
    SimBench b("PIC16F676");
    Fill675Image(b, 44);
    RecordingPlacement view(b);
    b.wb->Ep3.Placement = &view;
    AlgoForm& f = b.Open("PIC16F630 1 #10 E0 fla=1024 ee=128 dly=3 pkg=14");
    ASSERT_EQ(view.shown.size(), 1u);
    EXPECT_EQ(view.shown[0], "16f630.bmp over ");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip14");
    EXPECT_EQ(f.Get("Package").Caption, "PKG:  DIP14");
    EXPECT_FALSE(f.Has("CancelBtn"));
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(HoldsAllButTheLastWord(b));
    EXPECT_EQ(b.ChipAs<Pic14Chip>().Word(1023), kFactory);
    b.wb->Ep3.Placement = nullptr;
}

TEST(P16f630x, OnlySlowWithItsBlanksDoublesTheWait) {
    for (auto [item, text, waits] : {std::tuple{0, "", 1}, {1, "", 2}, {-1, "Slow", 1}}) {
        SimBench b("PIC16F676");
        FillPicImage(b, 8, 0, 45);
        AlgoForm& f = b.Open("PIC16F630 1 fla=8 ee=128 dly=1 pkg=14");
        if (item >= 0) f.Choose("Speed", item);
        else f.SetText("Speed", text);
        b.tap->commands.clear();
        f.Click("Write");
        EXPECT_EQ(ProgrammingWaits(b), static_cast<std::size_t>(7 * waits)) << item;
    }
}

TEST(P16f630x, PackageEightIsNotOneOfItsPackages) {
    SimBench b("PIC16F676");
    AlgoForm& f = b.Open("PIC16F630 2 fla=1024 ee=128 pkg=8");
    EXPECT_EQ(f.Get("Package").Caption, "Package");
    EXPECT_TRUE(b.prompts.shown.empty());
}

TEST(P12fxxx, BadDeviceLinesAreRefusedBeforeAnythingIsSent) {
    for (const char* line : {"PIC12F 9 fla=64 pkg=8", "PIC12F 1 fla=9000000 pkg=8", "PIC12F 1 fla=64 ee=-1 pkg=8",
                             "PIC12F 0 fla=64 pkg=7", "PIC12F 1 fla=0 pkg=8"}) {
        SimBench b("PIC12F675");
        const auto before = b.Transfers();
        AlgoForm& f = b.Open(line);
        EXPECT_EQ(b.Transfers(), before) << line;
        EXPECT_NE(f.Text("Msg").find("Bad device line"), std::string::npos) << line;
        f.Click("Write");
        EXPECT_EQ(b.Transfers(), before) << line;
    }
}

// ---- fault sweep: the PIC12F675 cut to 32 words ---------------------------------------------------------

FaultSweep Sweep675(std::function<void(SimBench&, AlgoForm&)> op) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC12F675");
        FillPicImage(*b, 32, 16, 46);
        b->ChipAs<Pic14Chip>().SetWord(31, kFactory);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("PIC12F 1 fla=32 ee=16 dly=3 pkg=8"); };
    s.operation = std::move(op);
    return s;
}

bool Holds31(SimBench& b, int ee) {
    auto& c = b.ChipAs<Pic14Chip>();
    for (int a = 0; a < 31; ++a)
        if (c.Word(a) != (b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8))) return false;
    for (int i = 0; i < ee; ++i)
        if (c.Eeprom()[static_cast<std::size_t>(i)] != b.Image()[0x4000 + i]) return false;
    return c.Word(31) == kFactory;
}

TEST(P12fxxxSweep, BatchCountsOnlyAChipThatHoldsTheImage) {
    FaultSweep s = Sweep675([](SimBench&, AlgoForm& f) { f.Click("Button1"); });
    s.faults = {LinkFault::OutFailure, LinkFault::ShortReply, LinkFault::DetachAfter};
    s.holds = [](SimBench& b, const std::string& text) {
        auto& chip = b.ChipAs<Pic14Chip>();
        if (text == "OK") {  // Erase (factory word back), Blank or Verify
            bool blank = chip.Word(31) == kFactory;
            for (int a = 0; a < 31; ++a) blank = blank && chip.Word(a) == 0x3FFF;
            return blank || Holds31(b, 0);
        }
        if (text == "End.") return Holds31(b, 0);
        return Holds31(b, 16);
    };
    s.Run();
}

}  // namespace
}  // namespace quilla::test
