#include <gtest/gtest.h>

#include <sstream>

#include "catalog_fixture.h"
#include "support/param_names.h"

namespace quilla {
namespace {

using test::CatalogTest;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l)) out.push_back(l);
    return out;
}

const char* const List =
    "MPU ATMEL AT89C51,P89C51 1\n"
    "MPU ATMEL AT89C52 *P44,P89C51 2 vcc=5000\n"
    "EPR AMD AM27C256,P27 13 #01 10\n"
    "EPR ATMEL AT27C512,P27 14\n"
    "EEP XICOR X28C64,X28C 1\n";

class ConfigTest : public CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        WriteList(List);
        wb.Ep3.ProgrammerModel = "vex640";
    }
    std::filesystem::path Cfg(const char* name = "vex640.cfg") { return dir / "config" / name; }
    void WriteCfg(const std::string& text, const char* name = "vex640.cfg") {
        std::filesystem::create_directories(dir / "config");
        std::ofstream(Cfg(name), std::ios::binary) << text;
    }
};

TEST(ConfigFile, NameByModel) {
    EXPECT_EQ(ConfigFileFor("vex310"), "vex310.cfg");
    EXPECT_EQ(ConfigFileFor("vex420"), "vex420.cfg");
    EXPECT_EQ(ConfigFileFor("vex520x"), "vex520.cfg");
    EXPECT_EQ(ConfigFileFor("vex640"), "vex640.cfg");
    EXPECT_EQ(ConfigFileFor(""), "");
    EXPECT_EQ(ConfigFileFor("vex999"), "");
}

TEST(ConfigFile, UserConfigurationFolder) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    std::string keep = oldXdg ? oldXdg : "";
    setenv("XDG_CONFIG_HOME", "/tmp/xdg-here", 1);
    EXPECT_EQ(DefaultConfigDir(), "/tmp/xdg-here/quilla");
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    setenv("HOME", std::getenv("HOME") ? std::getenv("HOME") : "/root", 1);
    EXPECT_EQ(DefaultConfigDir(), std::string(std::getenv("HOME")) + "/.config/quilla");
    if (oldXdg) setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
}

TEST_F(ConfigTest, SaveWritesFourteenLines) {
    dlg.FillMfrList();
    dlg.SelectCategory(0);
    EXPECT_EQ(dlg.Manufacturer, "ATMEL");  // still listed under EPROM
    dlg.ClickManufacturer(0);              // AMD
    dlg.ListBox2.Select(0);
    dlg.OKBtnClick();
    dlg.Edit2 = "am";
    wb.DataFileName = "/home/u/rom.bin";
    dlg.SaveConfig("Quilla Ver 1.12");
    EXPECT_EQ(Lines(ReadFile(Cfg())),
              (std::vector<std::string>{"Quilla Ver 1.12", "am", "0", "P27", "AMD: AM27C256",
                                        "/home/u/rom.bin", "13", "AMD", "EPR", "0", "0", "AM27C256",
                                        "", "P27 13 #01 10"}));
    EXPECT_EQ(ReadFile(Cfg()).back(), '\n');
}

TEST_F(ConfigTest, SaveThenLoadGivesBackTheRestoredLines) {
    dlg.FillMfrList();
    dlg.SelectCategory(0);
    dlg.ClickManufacturer(1);  // ATMEL
    dlg.ListBox2.Select(0);
    dlg.OKBtnClick();
    wb.DataFileName = "data file.hex";
    wb.sel.AdapterLabel = "KLV-UNIV-32PLCC";
    dlg.SaveConfig("caption");
    const std::string first = ReadFile(Cfg());

    test::ScriptedPrompts p2;
    Workbench wb2(p2);
    wb2.ProgramDir = wb.ProgramDir;
    wb2.Ep3.ProgrammerModel = "vex640";
    TTypeDlg d2(wb2, test::StubRegistry());
    d2.ConfigDir = dlg.ConfigDir;
    d2.LoadConfig();
    EXPECT_EQ(d2.RadioIndex, 0);                         // line 3
    EXPECT_EQ(wb2.sel.TypeText, "ATMEL: AT27C512");      // 5
    EXPECT_EQ(wb2.DataFileName, "data file.hex");        // 6
    EXPECT_EQ(d2.Manufacturer, "ATMEL");                 // 8
    EXPECT_EQ(d2.Category, "EPR");                       // 9
    EXPECT_EQ(wb2.sel.SelectedDevice, "AT27C512");       // 12
    EXPECT_EQ(wb2.sel.AdapterLabel, "KLV-UNIV-32PLCC");  // 13
    EXPECT_EQ(wb2.sel.ParamString, "P27 14");            // 14, without its line break
    // not read back: 1, 2, 4, 7, 10, 11
    EXPECT_EQ(d2.Edit2, "");
    EXPECT_EQ(wb2.sel.DeviceKeyword, "");
    EXPECT_EQ(wb2.sel.VariantIndex, 0);
    EXPECT_EQ(d2.SavedMfrIndex, 0);
    EXPECT_EQ(d2.SavedDeviceIndex, 0);
    EXPECT_EQ(d2.Dispatch().FormCount(), 0u);  // loading dispatches nothing

    d2.SaveConfig("caption");
    auto a = Lines(first), b = Lines(ReadFile(Cfg()));
    ASSERT_EQ(b.size(), 14u);
    for (int n : {3, 5, 6, 8, 9, 12, 13, 14}) EXPECT_EQ(a[n - 1], b[n - 1]) << "line " << n;
    d2.FormClose();
}

TEST_F(ConfigTest, SecondSaveWritesTheSameLines) {
    dlg.FillMfrList();
    dlg.ListBox2.Select(1);
    dlg.OKBtnClick();
    dlg.SaveConfig("Quilla Ver 1.12");
    const std::string first = ReadFile(Cfg());
    dlg.LoadConfig();
    dlg.SaveConfig("Quilla Ver 1.12");
    EXPECT_EQ(ReadFile(Cfg()), first);
}

TEST_F(ConfigTest, NothingWithoutAKnownModel) {
    wb.Ep3.ProgrammerModel = "";
    dlg.SaveConfig("c");
    EXPECT_FALSE(std::filesystem::exists(dir / "config"));
    WriteCfg("c\n\n0\nK\nT\nF\n0\nM\nEPR\n0\n0\nD\nA\nP 1\n");
    wb.Ep3.ProgrammerModel = "unknown";
    dlg.LoadConfig();
    EXPECT_EQ(dlg.Category, "MPU");
    EXPECT_EQ(wb.sel.ParamString, "P89C51 1");
}

TEST_F(ConfigTest, Vex420HasItsOwnFileButTheSharedList) {
    wb.Ep3.ProgrammerModel = "vex420";
    WriteList("MPU ATMEL AT89C4051,P2051 2\n", "device520.lst");
    dlg.FillMfrList();
    EXPECT_EQ(dlg.ListBox2.Items, (std::vector<std::string>{"AT89C4051"}));
    dlg.SaveConfig("c");
    EXPECT_TRUE(std::filesystem::exists(Cfg("vex420.cfg")));
    EXPECT_FALSE(std::filesystem::exists(Cfg("vex520.cfg")));
}

TEST_F(ConfigTest, ChangedCategoryRefillsBeforeTheManufacturerIsRestored) {
    dlg.FillMfrList();
    ASSERT_EQ(dlg.Main.ComboBox1.Items, (std::vector<std::string>{"ATMEL"}));
    WriteCfg("c\n\n0\nP27\nATMEL: AT27C512\nnoname.bin\n14\nATMEL\nEPR\n1\n0\nAT27C512\n\nP27 14\n");
    dlg.LoadConfig();
    // the category click ran with the old manufacturer list of EPROM
    EXPECT_EQ(dlg.RadioIndex, 0);
    EXPECT_EQ(dlg.Main.ComboBox1.Items, (std::vector<std::string>{"AMD", "ATMEL"}));
    EXPECT_EQ(dlg.Main.ComboBox2.ItemIndex, 0);
    // ... and line 8 is restored after it
    EXPECT_EQ(dlg.Manufacturer, "ATMEL");
}

TEST_F(ConfigTest, SameCategoryRunsNoClick) {
    WriteCfg("c\n\n2\nP\nT\nF\n0\nM\nMPU\n0\n0\nD\nA\nP 1\n");
    dlg.LoadConfig();
    EXPECT_TRUE(dlg.ListBox1.Items.empty());  // nothing was filled
    EXPECT_EQ(dlg.Manufacturer, "M");
}

TEST_F(ConfigTest, CrLfLinesAndLastLineWithoutBreak) {
    WriteCfg("c\r\n\r\n2\r\nP\r\nT T\r\nF\r\n0\r\nM\r\nMPU\r\n0\r\n0\r\nD\r\nA\r\nP89C51 2");
    dlg.LoadConfig();
    EXPECT_EQ(wb.sel.TypeText, "T T");
    EXPECT_EQ(wb.sel.AdapterLabel, "A");
    EXPECT_EQ(wb.sel.ParamString, "P89C51 2");
}

TEST_F(ConfigTest, OverLongLineRestoresNothingAndLaterLinesStayInStep) {
    const std::string longPath(150, 'p');
    WriteCfg("c\n\n2\nP\nT\n" + longPath + "\n0\nM\nMPU\n0\n0\nD\nA\nP 1\n");
    dlg.LoadConfig();
    EXPECT_EQ(wb.DataFileName, "noname.bin");  // line 6 restores nothing
    EXPECT_EQ(dlg.Manufacturer, "M");
    EXPECT_EQ(wb.sel.SelectedDevice, "D");
    EXPECT_EQ(wb.sel.ParamString, "P 1");
    // a 99-character line is within its limit
    const std::string path99(99, 'q');
    WriteCfg("c\n\n2\nP\nT\n" + path99 + "\n0\nM\nMPU\n0\n0\nD\nA\n" + std::string(500, 'x') + "\n");
    dlg.LoadConfig();
    EXPECT_EQ(wb.DataFileName, path99);
    EXPECT_EQ(wb.sel.ParamString, "P 1");  // 500 characters: over the limit of line 14
}

TEST_F(ConfigTest, ShortFileRestoresOnlyWhatIsThere) {
    WriteCfg("c\n\n2\nP\nTT\n");
    dlg.LoadConfig();
    EXPECT_EQ(wb.sel.TypeText, "TT");
    EXPECT_EQ(wb.DataFileName, "noname.bin");
    EXPECT_EQ(wb.sel.ParamString, "P89C51 1");
}

TEST_F(ConfigTest, UnreadableOrOutOfRangeCategoryIsIgnored) {
    for (const char* line3 : {"x", "", "7", "-1"}) {
        WriteCfg(std::string("c\n\n") + line3 + "\nP\nT\nF\n0\nM\nMPU\n0\n0\nD\nA\nP 1\n");
        dlg.LoadConfig();
        EXPECT_EQ(dlg.RadioIndex, 2) << line3;
    }
}

TEST_F(ConfigTest, EmptyCategoryLineLeavesNoDeviceListed) {
    WriteCfg("c\n\n2\nP\nT\nF\n0\nM\n\n0\n0\nD\nA\nP 1\n");
    dlg.LoadConfig();
    EXPECT_EQ(dlg.Category, "");
    dlg.FillMfrList();
    EXPECT_TRUE(dlg.ListBox1.Items.empty());
}

TEST_F(ConfigTest, LongCategoryKeepsNineteenCharacters) {
    WriteCfg("c\n\n2\nP\nT\nF\n0\nM\nEPRabcdefghijklmnopqrstuvwxyz\n0\n0\nD\nA\nP 1\n");
    dlg.LoadConfig();
    EXPECT_EQ(dlg.Category, "EPRabcdefghijklmnop");
}

TEST_F(ConfigTest, LineBreakInsideAValueNeverShiftsTheFile) {
    wb.DataFileName = "odd\nname.bin";
    dlg.SaveConfig("c");
    auto lines = Lines(ReadFile(Cfg()));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[5], "odd");
    EXPECT_EQ(lines[13], "P89C51 1");
}

// Start-up -----------------------------------------------------------------------------------

TEST_F(ConfigTest, FirstStartKeepsTheDefaults) {
    dlg.Start();
    EXPECT_EQ(dlg.RadioIndex, 2);
    EXPECT_EQ(dlg.RadioItems[2], "MCU   ");
    EXPECT_EQ(dlg.Category, "MPU");
    EXPECT_EQ(dlg.Manufacturer, "ATMEL");
    EXPECT_EQ(wb.sel.ParamString, "P89C51 1");
    EXPECT_EQ(wb.sel.TypeText, "");
    EXPECT_EQ(wb.DataFileName, "noname.bin");
    ASSERT_NE(wb.FileWin, nullptr);
    EXPECT_TRUE(dlg.Visible);
    EXPECT_EQ(dlg.ListBox2.Items.size(), 2u);
    EXPECT_EQ(dlg.Main.Label2, "Type:");
    EXPECT_EQ(dlg.Main.ComboBox2.Items.size(), 7u);
    EXPECT_EQ(dlg.Main.ComboBox2.Items[0], "EPROM         ");
    EXPECT_EQ(dlg.Main.ComboBox2.Items[6], "--          ");
    EXPECT_EQ(dlg.Edit1, "code");
    EXPECT_EQ(dlg.Dispatch().FormCount(), 0u);
}

struct LoadCase {
    const char* name;
    const char* loader;  // "", "JED", "HEX", "BIN"
};

class ReloadTest : public ConfigTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(ReloadTest, RemeberedDataFileReloadedByUpperCasedExtension) {
    const std::string path = (dir / GetParam().name).string();
    WriteFile(GetParam().name, "data");
    WriteCfg("c\n\n2\nP\nATMEL: AT89C51\n" + path + "\n0\nATMEL\nMPU\n0\n0\nAT89C51\nA\nP89C51 1\n");
    std::string called;
    dlg.Loaders.LoadJed = [&](Workbench& w) { called = "JED:" + w.DataFileName; };
    dlg.Loaders.LoadHex = [&](Workbench& w) { called = "HEX:" + w.DataFileName; };
    dlg.Loaders.LoadBin = [&](Workbench& w) { called = "BIN:" + w.DataFileName; };
    dlg.Start();
    EXPECT_EQ(called, GetParam().loader[0] ? std::string(GetParam().loader) + ":" + path : "");
    EXPECT_EQ(dlg.Main.Label2, "Type:ATMEL: AT89C51");
    EXPECT_EQ(dlg.ListBox2.ItemIndex, 0);
    EXPECT_EQ(dlg.Dispatch().FormCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, ReloadTest,
                         ::testing::Values(LoadCase{"a.jed", "JED"}, LoadCase{"a.Hex", "HEX"},
                                           LoadCase{"a.BIN", "BIN"}, LoadCase{"a.txt", ""},
                                           LoadCase{"noext", ""}, LoadCase{"a.bin.hex", "HEX"}),
                         quilla::test::CaseName([](const auto& c) { return std::string(c.name); }));

TEST_F(ConfigTest, MissingDataFileIsNotReloadedAndReportsNothing) {
    WriteCfg("c\n\n2\nP\nT\n/no/such/file.hex\n0\nATMEL\nMPU\n0\n0\nD\nA\nP 1\n");
    bool called = false;
    dlg.Loaders.LoadHex = [&](Workbench&) { called = true; };
    dlg.Start();
    EXPECT_FALSE(called);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(wb.DataFileName, "/no/such/file.hex");
}

TEST_F(ConfigTest, BeforeReloadsTheConfigurationAndDispatches) {
    dlg.Start();
    WriteCfg("c\n\n2\nP\nT\nF\n0\nATMEL\nMPU\n0\n0\nD\nA\nP27 5\n");
    dlg.BeforClick();
    EXPECT_EQ(wb.sel.DeviceKeyword, "P27");
    EXPECT_EQ(wb.sel.VariantIndex, 5);
    EXPECT_NE(dlg.Dispatch().Form("TP27x"), nullptr);
}

TEST_F(ConfigTest, ReadWriteOfABrokenRestoredLineSaysSoAndOpensNothing) {
    WriteCfg("c\n\n2\nP\nACME: D\nF\n0\nATMEL\nMPU\n0\n0\nD\nA\nNOSUCHKEY 1\n");
    dlg.Start();
    dlg.ProgClick();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.Last(), "Bad device line: \"D,NOSUCHKEY 1\": the keyword NOSUCHKEY names no form");
    EXPECT_EQ(wb.sel.DeviceKeyword, "");
    EXPECT_EQ(wb.sel.AdapterLabel, "A");
    EXPECT_EQ(dlg.Dispatch().FormCount(), 0u);
}

TEST_F(ConfigTest, ReadWriteAfterRestartDispatchesTheRestoredParameters) {
    WriteCfg("c\n\n2\nP\nATMEL: AT89C52 *P44\nF\n0\nATMEL\nMPU\n0\n1\nAT89C52 *P44\nA\nP89C51 2 vcc=5000\n");
    dlg.Start();
    dlg.ProgClick();
    EXPECT_EQ(wb.sel.VariantIndex, 2);
    EXPECT_EQ(wb.sel.AdapterLabel, "KLV-UNIV-44");
    EXPECT_NE(dlg.Dispatch().Form("TAt89c5x"), nullptr);
}

}  // namespace
}  // namespace quilla

namespace quilla {
namespace {

class DefaultLoaderTest : public test::CatalogTest {};

TEST_F(DefaultLoaderTest, RemeberedHexAndBinFilesReachTheImage) {
    WriteList("MPU ATMEL AT89C51,P89C51 1\n");
    wb.Ep3.ProgrammerModel = "vex520";
    std::filesystem::create_directories(dir / "config");
    const std::string hex = (dir / "rom.hex").string();
    WriteFile("rom.hex", ":0400000001020304F2\r\n:00000001FF\r\n");
    std::ofstream(dir / "config" / "vex520.cfg")
        << "c\n\n2\nP\nT\n" << hex << "\n0\nATMEL\nMPU\n0\n0\nD\nA\nP 1\n";
    dlg.Start();
    EXPECT_EQ(wb.ImageBuffer[0], 1);
    EXPECT_EQ(wb.ImageBuffer[3], 4);
    EXPECT_EQ(wb.ImageBuffer[4], 0xFF);

    test::ScriptedPrompts p2;
    Workbench wb2(p2);
    wb2.ProgramDir = wb.ProgramDir;
    wb2.Ep3.ProgrammerModel = "vex520";
    TTypeDlg d2(wb2);
    d2.ConfigDir = dlg.ConfigDir;
    const std::string bin = (dir / "rom.BIN").string();
    WriteFile("rom.BIN", std::string("\x00\x11\x22", 3));
    std::ofstream(dir / "config" / "vex520.cfg", std::ios::trunc)
        << "c\n\n2\nP\nT\n" << bin << "\n0\nATMEL\nMPU\n0\n0\nD\nA\nP 1\n";
    d2.Start();
    EXPECT_EQ(wb2.ImageBuffer[0], 0x00);
    EXPECT_EQ(wb2.ImageBuffer[2], 0x22);
    EXPECT_EQ(wb2.ImageBuffer[3], 0xFF);
    d2.FormClose();
}

}  // namespace
}  // namespace quilla
