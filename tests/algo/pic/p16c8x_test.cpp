// The P16C84 form end to end on the simulated programmer (PIC16F84A, PIC16F84,
// PIC16C84 models).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <random>

#include "algo/pic/p16c8x.h"
#include "sim/chips/pic14.h"
#include "support/fault_sweep.h"
#include "pic_images.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

using sim::Pic14Chip;


struct Part {
    const char* part;
    const char* params;
    int words;
};
class EveryRow : public ::testing::TestWithParam<Part> {};

TEST_P(EveryRow, RunProgramsTheChipAndLeavesItReadable) {
    const Part& p = GetParam();
    SimBench b(p.part);
    FillPicImage(b, p.words, 64, 3);
    AlgoForm& f = b.Open(p.params);
    EXPECT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(b.sim->LoadedTag(), "pic16dip18");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0x5000);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(PicChipHoldsImage(b, p.words, 64));
    auto& chip = b.ChipAs<Pic14Chip>();
    EXPECT_EQ(chip.ConfigWord() & chip.Part().configMask, 0x3FF5 & chip.Part().configMask);
    std::fill(b.Image(), b.Image() + 2 * p.words, 0);
    f.Click("ReadToFile");
    EXPECT_TRUE(PicChipHoldsImage(b, p.words, 0));  // not protected: it reads back
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

INSTANTIATE_TEST_SUITE_P(P16c8x, EveryRow,
                         ::testing::Values(Part{"PIC16F84A", "P16C84 6", 1024}, Part{"PIC16F84", "P16C84 5", 1024},
                                           Part{"PIC16F83", "P16C84 4", 512}, Part{"PIC16C84", "P16C84 2", 1024}),
                         [](const ::testing::TestParamInfo<Part>& i) { return std::string(i.param.part); });

TEST(P16c8x, ConfigurationWordFromTheBoxes) {
    SimBench b("PIC16F84A");
    AlgoForm& f = b.Open("P16C84 6");
    f.Click("WtConfig");
    EXPECT_EQ(b.ChipAs<Pic14Chip>().ConfigWord(), 0x3FF5);
    EXPECT_EQ(f.Text("Msg"), "OK");

    SimBench c("PIC16F84A");
    AlgoForm& g = c.Open("P16C84 6");
    g.SetChecked("CheckBox2", false);
    g.Choose("RadioGroup1", 3);
    g.Click("WtConfig");
    EXPECT_EQ(c.ChipAs<Pic14Chip>().ConfigWord(), 0x3FF3);
    g.SetChecked("CheckBox1", true);  // Lockbit: bits 13-4 programmed
    g.Click("WtConfig");
    EXPECT_EQ(c.ChipAs<Pic14Chip>().ConfigWord(), 0x0003);

    auto& chip = c.ChipAs<Pic14Chip>();
    chip.SetConfigArea(7, 0x3FFE);  // HS, WTD and PWRT3 set, Lockbit off
    g.Click("RdConfig");
    EXPECT_EQ(g.ItemIndex("RadioGroup1"), 2);
    EXPECT_TRUE(g.Checked("CheckBox2"));
    EXPECT_TRUE(g.Checked("CheckBox3"));
    EXPECT_FALSE(g.Checked("CheckBox1"));
    EXPECT_EQ(g.Text("Edit2"), "0560");
}

TEST(P16c8x, SlowDoublesTheProgrammingWait) {
    for (int item : {0, 1}) {
        SimBench b("PIC16F84A");
        AlgoForm& f = b.Open("P16C84 6");
        f.Choose("Speed", item);
        b.tap->commands.clear();
        f.Click("Write");
        EXPECT_EQ(f.Text("Msg"), "End.");
        const std::size_t perWord = b.tap->Count(proto::OpWaitSettle) / 1024;  // the settle waits of routing are few
        EXPECT_EQ(perWord, static_cast<std::size_t>(item + 1));
        EXPECT_FALSE(b.sim->GetSocket().VccPins().Empty());  // Write leaves VCC on
    }
}

TEST(P16c8x, AProtectedChipIsErasedThenBlank) {
    for (int item : {0, 1, 2, 3}) {
        SimBench b("PIC16F84A");
        auto& chip = b.ChipAs<Pic14Chip>();
        for (int a = 0; a < 1024; ++a) chip.SetWord(a, 0x0123);
        chip.SetConfigArea(7, 0x000D);
        AlgoForm& f = b.Open("P16C84 6");
        f.Choose("RadioGroup2", item);
        f.Click("Erase");
        EXPECT_EQ(f.Text("Msg"), "OK");
        f.Click("Blank");
        EXPECT_EQ(f.Text("Msg"), "OK") << item;
        EXPECT_EQ(chip.ConfigWord(), 0x3FFF);
    }
}

TEST(P16c8x, EightCharacterConFile) {
    TempDir dir;
    const auto image = dir.path / "a.hex";
    std::ofstream(image) << ":00000001FF\r\n";
    const auto con = dir.path / "a.CON";
    {
        SimBench b("PIC16F84A");
        AlgoForm& f = b.Open("P16C84 6");
        b.wb->DataFileName = image.string();
        f.SetChecked("CheckBox1", true);
        f.SetChecked("CheckBox2", false);
        f.Choose("RadioGroup1", 2);
        f.SetText("Edit1", "ab");
        f.Close();
    }
    std::ifstream in(con, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "1002ab  ");
    for (const std::string& content : {std::string("1002ab  "), std::string("\x3F\xF5", 2), std::string("101"),
                                       std::string("10190000")}) {
        std::ofstream(con, std::ios::binary) << content;
        SimBench b("PIC16F84A");
        b.wb->DataFileName = image.string();
        AlgoForm& f = b.Open("P16C84 6");
        const bool taken = content == "1002ab  ";
        EXPECT_EQ(f.Checked("CheckBox1"), taken) << content;
        EXPECT_EQ(f.Checked("CheckBox2"), !taken) << content;  // WTD ticked by default
        EXPECT_EQ(f.ItemIndex("RadioGroup1"), taken ? 2 : 1) << content;
    }
}

TEST(P16c8x, RowsOutsideTheTableAreRefused) {
    for (const char* line : {"P16C84 0", "P16C84 8", "P16C84 -2"}) {
        SimBench b("PIC16F84A");
        const auto before = b.Transfers();
        AlgoForm& f = b.Open(line);
        EXPECT_EQ(b.Transfers(), before) << line;
        f.Click("Button1");
        EXPECT_EQ(b.Transfers(), before) << line;
    }
}

TEST(P16c8xSweep, BatchCountsOnlyAChipThatHoldsTheImage) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PIC16F83");
        FillPicImage(*b, 512, 64, 9);
        return b;
    };
    auto form = std::make_shared<const PicForm*>(nullptr);
    s.form = [form](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open("P16C84 4");
        *form = &dynamic_cast<const PicForm&>(f);
        return f;
    };
    s.operation = [](SimBench&, AlgoForm& f) {
        f.SetChecked("CheckBoxErase", false);
        f.SetChecked("CheckBoxrWrData", false);
        f.Click("Button1");
    };
    s.faults = {LinkFault::OutFailure};  // the other faults are swept on the PIC16FEE form
    s.holds = [form](SimBench& b, const std::string& text) {
        if (text == "OK") {
            bool blank = true;
            for (int a = 0; a < 512; ++a) blank = blank && b.ChipAs<Pic14Chip>().Word(a) == 0x3FFF;
            return blank || PicChipHoldsImage(b, 512, 0);
        }
        if (text == "End OK..") return PicChipHoldsImage(b, 512, 0) && PicChipHoldsConfig(b, **form);
        return PicChipHoldsImage(b, 512, 0);
    };
    s.Run();
}

}  // namespace
}  // namespace quilla::test
