#include <gtest/gtest.h>

#include "catalog/devicelist.h"
#include "catalog_fixture.h"
#include "support/param_names.h"

namespace quilla {
namespace {

struct LineCase {
    std::string raw;
    const char* category;
    bool counts;
    const char* line;  // after the cut, when it counts
};

class LineRulesTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineRulesTest, CommentsCategoryAndCut) {
    const auto& c = GetParam();
    std::string line = "unchanged";
    EXPECT_EQ(DeviceLineCounts(c.raw, c.category, line), c.counts) << c.raw;
    if (c.counts) {
        EXPECT_EQ(line, c.line);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LineRulesTest,
    ::testing::Values(
        LineCase{"MPU ATMEL AT89C51,P89C51 1\n", "MPU", true, "MPU ATMEL AT89C51,P89C51 1"},
        LineCase{"MPU ATMEL AT89C51,P89C51 1\r\n", "MPU", true, "MPU ATMEL AT89C51,P89C51 1"},
        LineCase{"#MPU ATMEL X,P 1\n", "MPU", false, ""},
        LineCase{"/MPU ATMEL X,P 1\n", "MPU", false, ""},
        LineCase{"-MPU ATMEL X,P 1\n", "MPU", false, ""},
        LineCase{" MPU ATMEL X,P 1\n", "MPU", false, ""},
        LineCase{"\tMPU ATMEL X,P 1\n", "MPU", false, ""},
        LineCase{"\n", "MPU", false, ""},
        LineCase{"", "MPU", false, ""},
        LineCase{std::string("\0MPU", 4), "MPU", false, ""},
        // the category is compared exactly, on the first three characters
        LineCase{"mpu ATMEL X,P 1\n", "MPU", false, ""},
        LineCase{"MPUX ATMEL X,P 1\n", "MPU", true, "MPUX ATMEL X,P 1"},
        LineCase{"EPR AMD AM27C256,P27 13\n", "MPU", false, ""},
        LineCase{"MPU ATMEL X,P 1\n", "", false, ""},
        LineCase{"MP\n", "MP", false, ""},
        // cut at the first byte below 0x20 or from 0x80 up
        LineCase{"MPU ATMEL X,P 1\x01 vcc=5000\n", "MPU", true, "MPU ATMEL X,P 1"},
        LineCase{"MPU ATMEL X\x80,P 1\n", "MPU", true, "MPU ATMEL X"},
        LineCase{"MPU ATMEL X,P 1 \xe4\xb8\xad vcc=5\n", "MPU", true, "MPU ATMEL X,P 1 "}),
    quilla::test::CaseName([](const auto& c) { return c.raw; }));

TEST(LineParts, ManufacturerUpToFirstBlankFromFifthCharacter) {
    std::string m;
    ASSERT_TRUE(LineManufacturer("MPU ATMEL AT89C51 *P44,P89C51 1", m));
    EXPECT_EQ(m, "ATMEL");
    EXPECT_FALSE(LineManufacturer("MPU ATMEL", m));   // no blank after the name
    EXPECT_FALSE(LineManufacturer("MPU", m));
}

TEST(LineParts, DeviceItemAndParameters) {
    std::string item, params;
    ASSERT_TRUE(LineDevice("MPU ATMEL AT89C51 *P44,P89C51 1 vcc=5000", item, params));
    EXPECT_EQ(item, "AT89C51 *P44");
    EXPECT_EQ(params, "P89C51 1 vcc=5000");
    ASSERT_TRUE(LineDevice("MPU ATMEL AT89C52", item, params));
    EXPECT_EQ(item, "AT89C52");
    EXPECT_EQ(params, "---");
    // the item ends at the first comma, the parameters keep later commas
    ASSERT_TRUE(LineDevice("MPU ATMEL A,B,C", item, params));
    EXPECT_EQ(item, "A");
    EXPECT_EQ(params, "B,C");
    EXPECT_FALSE(LineDevice("MPU ATMEL,P89C51 1", item, params));
}

struct FindCase {
    const char* line;
    const char* find;
    bool match;
};

class MatchFindTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(MatchFindTest, UpperCasedUpToTheFirstComma) {
    EXPECT_EQ(MatchFindText(GetParam().line, GetParam().find), GetParam().match)
        << GetParam().line << " / " << GetParam().find;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MatchFindTest,
    ::testing::Values(FindCase{"MPU ATMEL AT89C51,P89C51 1", "", true},
                      FindCase{"MPU ATMEL AT89C51,P89C51 1", "atmel", true},
                      FindCase{"MPU ATMEL AT89C51,P89C51 1", "89c5", true},
                      FindCase{"MPU ATMEL AT89C51,P89C51 1", "mpu", true},  // the category column too
                      FindCase{"MPU ATMEL AT89C51,P89C51 1", "c51,", true},  // the comma is included
                      FindCase{"MPU ATMEL AT89C51,P89C51 1", "p89", false},  // parameters are not
                      FindCase{"MPU ATMEL AT89C51", "AT89C51", true},
                      FindCase{"MPU ATMEL AT89C51", "x", false}),
    quilla::test::CaseName([](const auto& c) { return std::string(c.find) + " in " + c.line; }));

TEST(DeviceListFor, ModelChoosesTheFile) {
    EXPECT_EQ(DeviceListFileFor("vex310"), "device310.lst");
    EXPECT_EQ(DeviceListFileFor("vex420 rev2"), "device520.lst");
    EXPECT_EQ(DeviceListFileFor("vex520"), "device520.lst");
    EXPECT_EQ(DeviceListFileFor("vex640"), "device640.lst");
    EXPECT_EQ(DeviceListFileFor(""), "device640.lst");
    EXPECT_EQ(DeviceListFileFor("VEX520"), "device640.lst");
}

using test::CatalogTest;

// Lists of the dialog -----------------------------------------------------------------

const char* const SampleList =
    "# a comment line\n"
    "/ another comment\n"
    "------------------ separator line\n"
    "\n"
    "MPU ATMEL AT89C51,P89C51 1\n"
    "MPU ATMEL AT89C52 *P44,P89C51 2 vcc=5000\n"
    "MPU PHILIPS P89C51 ATMEL compatible,PHI89C51 0\n"  // ATMEL between blanks: listed under ATMEL too
    "MPU PHILIPS P89C52,PHI89C51 1\n"
    "MPU ATMEL -------- ,---\n"                          // a separator item
    "MPU ATMEL AT89C55\n"                                // no comma: "---"
    "MPU WINBOND\n"                                      // no blank after the manufacturer
    "EPR AMD AM27C256,P27 13 #01 10 00 00\n"
    "EPR ATMEL AT27C256R,P27 13\n"
    " MPU SST SST89C54,SST89C5X 1\n";                    // blank in front

TEST_F(CatalogTest, ManufacturersOnceInOrderOfFirstAppearance) {
    WriteList(SampleList);
    dlg.FillMfrList();
    EXPECT_EQ(dlg.ListBox1.Items, (std::vector<std::string>{"ATMEL", "PHILIPS"}));
    EXPECT_EQ(dlg.Main.ComboBox1.Items, dlg.ListBox1.Items);
    EXPECT_EQ(dlg.MfrCount, 2);
    EXPECT_EQ(dlg.ListBox1.ItemIndex, 0);
    EXPECT_EQ(dlg.Main.ComboBox1.Text, "ATMEL");
    EXPECT_EQ(dlg.Main.ComboBox2.Text, "MCU   ");
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(CatalogTest, DevicesOfTheManufacturerWithTheirParameters) {
    WriteList(SampleList);
    dlg.FillMfrList();
    EXPECT_EQ(dlg.ListBox2.Items,
              (std::vector<std::string>{"AT89C51", "AT89C52 *P44", "P89C51 ATMEL compatible",
                                        "-------- ", "AT89C55"}));
    EXPECT_EQ(dlg.Main.ListBox1.Items, dlg.ListBox2.Items);
    EXPECT_EQ(dlg.DeviceParams[0], "P89C51 1");
    EXPECT_EQ(dlg.DeviceParams[1], "P89C51 2 vcc=5000");
    EXPECT_EQ(dlg.DeviceParams[2], "PHI89C51 0");
    EXPECT_EQ(dlg.DeviceParams[4], "---");
    EXPECT_EQ(dlg.DeviceParams.size(), 500u);
    EXPECT_EQ(dlg.ListBox2.ItemIndex, 0);
    EXPECT_EQ(dlg.Main.ListBox1.ItemIndex, 0);  // SavedDeviceIndex
}

TEST_F(CatalogTest, CategoryAndManufacturerClicksRefill) {
    WriteList(SampleList);
    dlg.FillMfrList();
    dlg.ClickManufacturer(1);
    EXPECT_EQ(dlg.Manufacturer, "PHILIPS");
    EXPECT_EQ(dlg.ListBox2.Items, (std::vector<std::string>{"P89C51 ATMEL compatible", "P89C52"}));
    dlg.SelectCategory(0);
    EXPECT_EQ(dlg.Category, "EPR");
    EXPECT_EQ(dlg.Main.ComboBox2.ItemIndex, 0);
    EXPECT_EQ(dlg.ListBox1.Items, (std::vector<std::string>{"AMD", "ATMEL"}));
    // PHILIPS is not listed: the first manufacturer takes over
    EXPECT_EQ(dlg.Manufacturer, "AMD");
    EXPECT_EQ(dlg.ListBox2.Items, (std::vector<std::string>{"AM27C256"}));
    EXPECT_EQ(dlg.DeviceParams[0], "P27 13 #01 10 00 00");
}

TEST_F(CatalogTest, RemembersManufacturerAndDeviceAcrossFills) {
    WriteList(SampleList);
    dlg.Manufacturer = "PHILIPS";
    wb.sel.SelectedDevice = "P89C52";
    dlg.FillMfrList();
    EXPECT_EQ(dlg.ListBox1.ItemIndex, 1);
    EXPECT_EQ(dlg.Main.ComboBox1.ItemIndex, 1);
    EXPECT_EQ(dlg.ListBox2.ItemIndex, 1);
    EXPECT_EQ(dlg.Main.ListBox1.ItemIndex, 1);
}

TEST_F(CatalogTest, FindFilterRefiltersBothLists) {
    WriteList(SampleList);
    dlg.FillMfrList();
    dlg.SetFindText("p89c5");
    // only lines whose text up to the comma holds P89C5
    EXPECT_EQ(dlg.ListBox1.Items, (std::vector<std::string>{"PHILIPS"}));
    EXPECT_EQ(dlg.Manufacturer, "PHILIPS");
    EXPECT_EQ(dlg.Main.ComboBox1.Text, "PHILIPS");
    EXPECT_EQ(dlg.ListBox2.Items, (std::vector<std::string>{"P89C51 ATMEL compatible", "P89C52"}));
    dlg.SetFindText("nothing like it");
    EXPECT_TRUE(dlg.ListBox1.Items.empty());
    EXPECT_TRUE(dlg.ListBox2.Items.empty());
    EXPECT_TRUE(dlg.Main.ListBox1.Items.empty());
    EXPECT_EQ(dlg.Manufacturer, "PHILIPS");  // kept when nothing is listed
}

TEST_F(CatalogTest, MissingListSaysSoAndKeepsTheLists) {
    WriteList(SampleList);
    dlg.FillMfrList();
    dlg.FormClose();
    std::filesystem::remove(dir / "device640.lst");
    dlg.FillMfrList();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "缺.LST文件!");
    EXPECT_EQ(dlg.ListBox1.Items.size(), 2u);
    EXPECT_EQ(dlg.ListBox2.Items.size(), 5u);
    EXPECT_EQ(dlg.Main.Label3, "设备名称:");
    dlg.FillDeviceList();
    EXPECT_EQ(prompts.shown.size(), 2u);
}

TEST_F(CatalogTest, ListFileChosenByModel) {
    WriteList("MPU ATMEL AT89C2051,P2051 0\n", "device310.lst");
    wb.Ep3.ProgrammerModel = "vex310";
    dlg.FillMfrList();
    EXPECT_EQ(dlg.Main.Label3, "设备名称:vex310");
    EXPECT_EQ(dlg.ListBox2.Items, (std::vector<std::string>{"AT89C2051"}));
}

TEST_F(CatalogTest, LongLineContinuesAsTheNextLine) {
    // 499 characters, then the rest of the line starts with a device line;
    // then a line of exactly 499 characters.
    std::string first = "MPU ATMEL LONG,P89C51 3 ";
    first += std::string(499 - first.size(), 'x');
    std::string exact = "MPU ATMEL EXACT,P89C51 5 ";
    exact += std::string(499 - exact.size(), 'y');
    WriteList(first + "MPU ATMEL TAIL,P89C51 4\n" + exact + "\r\n");
    dlg.FillMfrList();
    EXPECT_EQ(dlg.ListBox2.Items, (std::vector<std::string>{"LONG", "TAIL", "EXACT"}));
    EXPECT_EQ(dlg.DeviceParams[0].size(), 499u - 15u);
    EXPECT_EQ(dlg.DeviceParams[1], "P89C51 4");
    // Listed as they are read, but neither half of the long line can be chosen.
    EXPECT_EQ(dlg.DeviceLineError(0), "Bad device line: \"MPU ATMEL LONG,P89C51 3 " + std::string(36, 'x') +
                                          "...\": longer than 499 characters");
    EXPECT_EQ(dlg.DeviceLineError(1),
              "Bad device line: \"MPU ATMEL TAIL,P89C51 4\": the rest of a line longer than 499 characters");
    EXPECT_EQ(dlg.DeviceLineError(2), "");
}

TEST_F(CatalogTest, AtMost500DevicesAreListed) {
    std::string text;
    for (int i = 0; i < 510; ++i) text += "MPU ATMEL D" + std::to_string(i) + ",P89C51 " + std::to_string(i) + "\n";
    WriteList(text);
    dlg.FillMfrList();
    EXPECT_EQ(dlg.ListBox2.Items.size(), 500u);
    EXPECT_EQ(dlg.DeviceParams.size(), 500u);
    EXPECT_EQ(dlg.DeviceParams[499], "P89C51 499");
}

TEST_F(CatalogTest, EmptyCategoryMatchesNothing) {
    WriteList(SampleList);
    dlg.Category = "";
    dlg.FillMfrList();
    EXPECT_TRUE(dlg.ListBox1.Items.empty());
}

}  // namespace
}  // namespace quilla
