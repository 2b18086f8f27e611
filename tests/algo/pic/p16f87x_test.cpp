// The P16F87X and P16F628 forms (built-in rows, named configuration boxes)
// end to end on the simulated programmer.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include "algo/pic/p16f87x.h"
#include "sim/chips/pic14.h"
#include "pic_images.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

using sim::Pic14Chip;


struct Part {
    const char* part;
    const char* params;
    const char* design;
    int words, ee;
    std::uint16_t config;  // written by the default boxes
};
class BuiltInRows : public ::testing::TestWithParam<Part> {};

TEST_P(BuiltInRows, RunProgramsTheChip) {
    const Part& p = GetParam();
    SimBench b(p.part);
    FillPicImage(b, p.words, p.ee, 5);
    AlgoForm& f = b.Open(p.params);
    EXPECT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(b.sim->LoadedTag(), p.design);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(PicChipHoldsImage(b, p.words, p.ee));
    auto& chip = b.ChipAs<Pic14Chip>();
    EXPECT_EQ(chip.ConfigWord(), p.config);
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

INSTANTIATE_TEST_SUITE_P(
    Forms, BuiltInRows,
    ::testing::Values(Part{"PIC16F876", "P16F87X 7", "pic16dip28", 8192, 256, 0x3FFD},
                      Part{"PIC16F871", "P16F87X 2", "pic16dip40", 2048, 64, 0x3FFD},
                      Part{"PIC16F628", "P16F628 2", "pic16dip18", 2048, 128, 0x3FED},
                      Part{"PIC16F627", "P16F628 1", "pic16dip18", 1024, 128, 0x3FED},
                      Part{"PIC16F72", "P16F7X 3", "pic16dip28", 2048, 0, 0x3FFD}),
    [](const ::testing::TestParamInfo<Part>& i) { return std::string(i.param.part); });

TEST(P16f87x, BoxesAndTheWord) {
    SimBench b("PIC16F877");
    AlgoForm& f = b.Open("P16F87X 8");  // no identifier: LVP, CPD and WRT disabled but counted
    for (const char* c : {"CheckBox5", "CheckBox6", "CheckBox7", "CheckBox8"}) EXPECT_FALSE(f.Get(c).Enabled) << c;
    f.Click("WtConfig");
    EXPECT_EQ(b.ChipAs<Pic14Chip>().ConfigWord(), 0x3FFD);

    SimBench c("PIC16F877");
    c.ChipAs<Pic14Chip>().SetConfigArea(7, 0x37FD);  // DEBUG (bit 11) programmed
    AlgoForm& g = c.Open("P16F87X 8");
    g.Click("RdConfig");
    EXPECT_TRUE(g.Checked("CheckBox8"));
    g.Click("WtConfig");
    EXPECT_EQ(c.ChipAs<Pic14Chip>().ConfigWord(), 0x37FD);
    g.SetChecked("CheckBox1", true);
    EXPECT_EQ(g.Text("Msg"), "Config = 07cd");  // the four CP bits cleared
}

TEST(P16f628x, OscillatorItemsUseBitFour) {
    SimBench b("PIC16F628");
    AlgoForm& f = b.Open("P16F628 2");
    f.Choose("RadioGroup1", 5);
    EXPECT_EQ(f.Text("Msg"), "Config = 3ffd");  // bits 1-0 = 01, bit 4 set
    b.ChipAs<Pic14Chip>().SetConfigArea(7, 0x3FFE);
    f.Click("RdConfig");
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 6);
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "End.");
}

TEST(P16f87x, ConFileOfAnotherFormatLeavesTheDefaults) {
    TempDir dir;
    const auto image = dir.path / "a.hex";
    std::ofstream(image) << ":00000001FF\r\n";
    const auto con = dir.path / "a.CON";
    for (const std::string& content : {std::string("\x3F\xF5", 2), std::string("101")}) {
        std::ofstream(con, std::ios::binary) << content;
        SimBench b("PIC16F877");
        b.wb->DataFileName = image.string();
        AlgoForm& f = b.Open("P16F87X 8");
        EXPECT_FALSE(f.Checked("CheckBox1"));
        EXPECT_TRUE(f.Checked("CheckBox2"));
        EXPECT_EQ(f.ItemIndex("RadioGroup1"), 1);
    }
    {
        SimBench b("PIC16F877");
        AlgoForm& f = b.Open("P16F87X 8");
        b.wb->DataFileName = image.string();
        f.SetChecked("CheckBox3", true);
        f.Choose("RadioGroup1", 3);
        f.SetText("Edit1", "12ab");
        f.Close();
    }
    std::ifstream in(con, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "011312ab");
    SimBench b("PIC16F877");
    b.wb->DataFileName = image.string();
    AlgoForm& f = b.Open("P16F87X 8");
    EXPECT_TRUE(f.Checked("CheckBox3"));
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 3);
}

TEST(P16f87x, RowsWithoutPinsAreRefused) {
    for (const char* line : {"P16F87X 0", "P16F87X 6", "P16F87X 9", "P16F628 3"}) {
        SimBench b("PIC16F877");
        const auto before = b.Transfers();
        AlgoForm& f = b.Open(line);
        EXPECT_EQ(b.Transfers(), before) << line;
        f.Click("Button1");
        EXPECT_EQ(b.Transfers(), before) << line;
    }
}

}  // namespace
}  // namespace quilla::test
