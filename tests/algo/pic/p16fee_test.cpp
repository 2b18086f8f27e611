// The PIC16FEE form end to end on the simulated programmer with a PIC16F877.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <unistd.h>

#include "algo/pic/p16fee.h"
#include "sim/chips/pic14.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"
#include "pic_images.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::Pic14Chip;

constexpr const char* kFull = "PIC16FEE 8 fla=8192 ee=256 dly=1 pkg=40";
constexpr const char* kSmall = "PIC16FEE 8 fla=64 ee=16 dly=1 pkg=40";

TEST(P16fEEx, SetupTakesEverythingFromTheDeviceLine) {
    SimBench b("PIC16F877");
    AlgoForm& f = b.Open(kFull);
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip40");
    EXPECT_EQ(f.Text("Msg"), "");
    EXPECT_EQ(f.Get("CheckBox7").Caption, "BODEN");
    EXPECT_TRUE(f.Get("WrData").Enabled);
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 127);
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 50);
    EXPECT_TRUE(b.sim->GetSocket().GndPins().Has(31));

    SimBench c("PIC16F877");
    c.wb->Ep3.Connected = 0;
    EXPECT_EQ(c.Open(kFull).Text("Msg"), "Comm Err.");
}

TEST(P16fEEx, RunProgramsTheWholeChipAndReadsBack) {
    SimBench b("PIC16F877");
    FillPicImage(b, 8192, 256, 11);
    AlgoForm& f = b.Open(kFull);
    f.SetText("Edit1", "1234");
    f.SetChecked("CheckBox1", true);  // FOSC0 programmed
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
    EXPECT_TRUE(PicChipHoldsImage(b, 8192, 256));
    auto& chip = b.ChipAs<Pic14Chip>();
    EXPECT_EQ(chip.ConfigWord(), 0x3FFE);
    EXPECT_EQ(chip.ConfigArea(0), 0x01);
    EXPECT_EQ(chip.ConfigArea(3), 0x34);

    const std::vector<std::uint8_t> image(b.Image(), b.Image() + 0x4100);
    std::fill(b.Image(), b.Image() + 0x4100, 0);
    f.Click("ReadToFile");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x4000, b.Image()));
    f.Click("RdData");
    EXPECT_EQ(f.Text("Msg"), "OK,Data 存放在文件缓冲区4000h开始");
    EXPECT_TRUE(std::equal(image.begin() + 0x4000, image.end(), b.Image() + 0x4000));
    f.SetText("Edit1", "0");
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config = 3ffe");
    EXPECT_EQ(f.Text("Edit1"), "1234");
    EXPECT_EQ(f.Text("Edit2"), "09a0");
    EXPECT_TRUE(f.Checked("CheckBox1"));
    EXPECT_FALSE(f.Checked("CheckBox2"));
}

TEST(P16fEEx, TheWrongPackageProgramsNothingAndVerifyTellsSo) {
    SimBench b("PIC16F877");
    FillPicImage(b, 64, 0, 2);
    AlgoForm& f = b.Open("PIC16FEE 8 fla=64 ee=16 pkg=28");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip28");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Error....");
    for (int a = 0; a < 64; ++a) EXPECT_EQ(b.ChipAs<Pic14Chip>().Word(a), 0x3FFF);
    b.ExpectDamage();  // 12.7 V on RA5 (socket 7 of the 40-pin part)
    b.ExpectViolation("absolute maximum");
}

TEST(P16fEEx, FailuresAreNamedAndStopTheBatch) {
    {
        SimBench b("PIC16F877");
        b.ChipAs<Pic14Chip>().SetConfigArea(7, 0x3FFE);
        b.ChipAs<Pic14Chip>().SetWord(0, 0);
        AlgoForm& f = b.Open(kSmall);
        f.Click("Blank");
        EXPECT_EQ(f.Text("Msg"), "CONFIG No!!!");
        EXPECT_EQ(b.wb->ErrorFlag(), 1);
        EXPECT_EQ(f.Text("Edit6"), "Add ");  // no program word was read
    }
    {
        SimBench b("PIC16F877");
        FillPicImage(b, 64, 0, 4);
        auto& chip = b.ChipAs<Pic14Chip>();
        for (int a = 0; a < 64; ++a) chip.SetWord(a, static_cast<std::uint16_t>(b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)));
        chip.SetWord(37, static_cast<std::uint16_t>(chip.Word(37) ^ 1));
        AlgoForm& f = b.Open(kSmall);
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), "Error....");
        EXPECT_EQ(f.Text("Edit6"), "004a");
        EXPECT_EQ(b.sim->GetSocket().VccLevel(), 50);
    }
    {
        SimBench b("PIC16F877");
        FillPicImage(b, 64, 16, 5);
        b.ChipAs<Pic14Chip>().SetConfigArea(7, 0x3EFF);  // CPD: the data EEPROM takes nothing
        AlgoForm& f = b.Open(kSmall);
        f.Click("WrData");
        EXPECT_EQ(f.Text("Msg"), "W.DataErr.！");
        f.SetChecked("CheckBoxErase", false);
        f.Click("Button1");
        EXPECT_NE(f.Text("Msg"), "End OK..");
        EXPECT_EQ(f.PassesCounted(), 0);
    }
    {
        SimBench b("PIC16F877");
        FillPicImage(b, 64, 256, 6);
        AlgoForm& f = b.Open(kFull);
        f.Click("WrData");
        EXPECT_EQ(f.Text("Msg"), "已经将文件缓冲区4000~40ff写到器件，经Verified。");
    }
}

TEST(P16fEEx, WrongTypeAnsweredNoEndsTheRunWithoutAPass) {
    SimBench b("PIC16F877");
    b.prompts.answers.push_back(BtnNo);
    AlgoForm& f = b.Open("PIC16FEE 8 fla=64 ee=16 pkg=40 #05 60");
    f.Click("Button1");
    EXPECT_EQ(b.prompts.Last(), "Wrong type, OK ??");
    EXPECT_EQ(b.prompts.shown.size(), 1u);  // the contact test passed without a question
    EXPECT_EQ(f.PassesCounted(), 0);
    EXPECT_NE(f.Text("Msg"), "End OK..");
}

TEST(P16fEEx, BadDeviceLinesAreRefusedBeforeAnythingIsSent) {
    for (const char* line : {"PIC16FEE 9 fla=64 pkg=40", "PIC16FEE -1 fla=64 pkg=40", "PIC16FEE 8 fla=5000000 pkg=40",
                             "PIC16FEE 8 fla=64 ee=40000 pkg=40", "PIC16FEE 6 fla=64 pkg=7"}) {
        SimBench b("PIC16F877");
        const auto before = b.Transfers();
        AlgoForm& f = b.Open(line);
        EXPECT_EQ(b.Transfers(), before) << line;
        EXPECT_EQ(b.prompts.shown.size(), 1u) << line;
        EXPECT_NE(f.Text("Msg").find("Bad device line"), std::string::npos) << line;
        f.Click("Write");
        EXPECT_EQ(b.Transfers(), before) << line;
    }
}

TEST(P16fEEx, NoEepromDisablesTheDataControls) {
    SimBench b("PIC16F877");
    AlgoForm& f = b.Open("PIC16FEE 8 fla=64 pkg=40");
    for (const char* c : {"WrData", "RdData", "RadioGroup2", "CheckBoxrWrData"}) EXPECT_FALSE(f.Get(c).Enabled) << c;
    EXPECT_FALSE(f.Ticked("CheckBoxrWrData"));
}

TEST(P16fEEx, PackageEightWithoutContactRunsOnePassAndNeverOnAnEmptySocket) {
    SimBench b("PIC16F877");
    FillPicImage(b, 64, 16, 8);
    b.Open(kSmall);  // pkg=8 loads no design: the last one stays
    b.wb->options.MassProduction = true;
    AlgoForm& f = b.Open("PIC16FEE 8 fla=64 ee=16 pkg=8");
    f.Click("Button1");
    EXPECT_EQ(f.PassesCounted(), 1);  // once, not again and again on the same chip

    SimBench empty("");
    empty.Open(kSmall);
    empty.wb->options.MassProduction = true;
    AlgoForm& g = empty.Open("PIC16FEE 8 fla=64 ee=16 pkg=8");
    g.Click("Button1");
    EXPECT_EQ(g.PassesCounted(), 0);
}

TEST(P16fEEx, FeeFileKeepsTheConfigurationWord) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quilla_fee_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "a.hex") << ":00000001FF\r\n";
    {
        SimBench b("PIC16F877");
        AlgoForm& f = b.Open(kSmall);
        b.wb->DataFileName = (dir / "a.hex").string();  // as a load after setup names it
        f.SetChecked("CheckBox1", true);
        f.SetChecked("CheckBox4", true);
        f.Close();
    }
    std::ifstream in(dir / "a.fee", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(raw, std::string("\xFF\xF6", 2));
    {
        SimBench b("PIC16F877");
        b.wb->DataFileName = (dir / "a.hex").string();
        AlgoForm& f = b.Open(kSmall);
        EXPECT_TRUE(f.Checked("CheckBox1"));
        EXPECT_TRUE(f.Checked("CheckBox4"));
        EXPECT_FALSE(f.Checked("CheckBox2"));
    }
    fs::remove_all(dir);
}

// ---- fault sweeps -------------------------------------------------------------------------------------

FaultSweep Sweep(std::function<void(SimBench&, AlgoForm&)> op) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC16F877");
        FillPicImage(*b, 64, 16, 21);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open(kSmall); };
    s.operation = std::move(op);
    return s;
}

TEST(P16fEExSweep, WriteShowsEndOnlyWithTheImageInTheChip) {
    FaultSweep s = Sweep([](SimBench&, AlgoForm& f) { f.Click("Write"); });
    s.holds = [](SimBench& b, const std::string&) { return PicChipHoldsImage(b, 64, 0); };
    const auto r = s.Run();
    EXPECT_GT(r.transfers, 5);
}

TEST(P16fEExSweep, BatchCountsOnlyAChipThatHoldsTheImage) {
    FaultSweep s = Sweep([](SimBench&, AlgoForm& f) {
        f.SetChecked("CheckBoxErase", false);
        f.Click("Button1");
    });
    s.faults = {LinkFault::OutFailure, LinkFault::ShortReply, LinkFault::DetachAfter};
    s.holds = [](SimBench& b, const std::string& text) {
        if (text == "OK") {  // Blank of the fresh chip, or Verify
            bool blank = true;
            for (int a = 0; a < 64; ++a) blank = blank && b.ChipAs<Pic14Chip>().Word(a) == 0x3FFF;
            return blank || PicChipHoldsImage(b, 64, 0);
        }
        return PicChipHoldsImage(b, 64, text == "End." ? 0 : 16);
    };
    s.Run();
}

}  // namespace
}  // namespace quilla::test
