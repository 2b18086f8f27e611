#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/hexfile.h"
#include "app/jedec.h"
#include "app/svf.h"
#include "app/workbench.h"
#include "support/param_names.h"
#include "support/scripted_prompts.h"

namespace fs = std::filesystem;
using namespace quilla;
using Lines = std::vector<std::string>;

namespace {

struct SplitCase {
    std::string text;
    Lines lines;
};
class SvfSplit : public ::testing::TestWithParam<SplitCase> {};

class SvfWindow : public ::testing::Test {
protected:
    SvfWindow() : wb(prompts) {}
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("quilla_svf_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Make(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    }
    test::ScriptedPrompts prompts;
    Workbench wb;
    fs::path dir;
};

const char* const Script = "! test\r\nTRST OFF;\r\nSIR 8 TDI (FE);\r\nSDR 32 TDI (00000000) TDO (F9604093);\r\n";

}  // namespace

TEST_P(SvfSplit, LinesAsTheWindowShowsThem) { EXPECT_EQ(SplitSvfLines(GetParam().text), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(Breaks, SvfSplit,
                         ::testing::Values(SplitCase{"", {}}, SplitCase{"a", {"a"}},
                                           SplitCase{"a\r\nb\r\n", {"a", "b"}},
                                           SplitCase{"a\nb", {"a", "b"}},
                                           SplitCase{"a\rb\r", {"a", "b"}},
                                           SplitCase{"a\r\n\r\nb", {"a", "", "b"}},
                                           SplitCase{"\n", {""}},
                                           SplitCase{std::string("a\0b\n", 4), {std::string("a\0b", 3)}}),
                         quilla::test::CaseName([](const auto& c) { return c.text; }));

TEST_F(SvfWindow, LoadReplacesBufferAndFuseWindowsAndKeepsImage) {
    wb.FileNew();
    wb.FileWin->EndAddr = 0x1234;
    wb.PldFileW = std::make_unique<FuseWindowState>();
    const auto image = wb.ImageBuffer;
    wb.DataFileName = Make("erase.svf", Script);
    ASSERT_TRUE(LoadSvf(wb));
    EXPECT_FALSE(wb.FileWin);
    EXPECT_FALSE(wb.PldFileW);
    ASSERT_TRUE(wb.SvfFileW);
    EXPECT_EQ(wb.SvfFileW->Title, wb.DataFileName);
    EXPECT_EQ(wb.SvfFileW->Lines,
              (Lines{"! test", "TRST OFF;", "SIR 8 TDI (FE);", "SDR 32 TDI (00000000) TDO (F9604093);"}));
    EXPECT_TRUE(wb.ImageBuffer == image);
    EXPECT_TRUE(prompts.shown.empty());

    // A new buffer window afterwards starts afresh; the SVF window stays.
    wb.FileNew();
    ASSERT_TRUE(wb.FileWin);
    EXPECT_EQ(wb.FileWin->EndAddr, 0xFFFF);
    EXPECT_TRUE(wb.SvfFileW);
}

TEST_F(SvfWindow, ReloadReusesTheWindow) {
    wb.DataFileName = Make("a.svf", "RUNTEST 10 TCK;\n");
    ASSERT_TRUE(LoadSvf(wb));
    SvfWindowState* w = wb.SvfFileW.get();
    const unsigned loads = w->Loads;
    wb.DataFileName = Make("b.svf", "STATE RESET;\nSTATE IDLE;\n");
    ASSERT_TRUE(LoadSvf(wb));
    EXPECT_EQ(wb.SvfFileW.get(), w);
    EXPECT_EQ(w->Loads, loads + 1);
    EXPECT_EQ(w->Title, wb.DataFileName);
    EXPECT_EQ(w->Lines, (Lines{"STATE RESET;", "STATE IDLE;"}));
}

TEST_F(SvfWindow, UnreadableFileIsReportedAndTextKept) {
    wb.DataFileName = (dir / "missing.svf").string();
    EXPECT_FALSE(LoadSvf(wb));
    ASSERT_TRUE(wb.SvfFileW);
    EXPECT_EQ(wb.SvfFileW->Title, wb.DataFileName);
    EXPECT_EQ(wb.SvfFileW->Lines, Lines{"RichEdit1"});
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_NE(prompts.Last().find("missing.svf"), std::string::npos);
    EXPECT_EQ(prompts.shown[0].kind, MsgKind::Error);

    wb.DataFileName = Make("ok.svf", "TRST ON;");
    ASSERT_TRUE(LoadSvf(wb));
    wb.DataFileName = (dir / "gone.svf").string();
    EXPECT_FALSE(LoadSvf(wb));
    EXPECT_EQ(wb.SvfFileW->Lines, Lines{"TRST ON;"});
}

TEST(SvfLine, CaptionCountsFromOne) {
    EXPECT_EQ(SvfLineCaption(0), "Line:1");
    EXPECT_EQ(SvfLineCaption(2), "Line:3");
    EXPECT_EQ(SvfLineCaption(1233), "Line:1234");
}

TEST_F(SvfWindow, PlayerNeedsWindowAndSvfDataFile) {
    wb.DataFileName = "/tmp/x.svf";
    EXPECT_FALSE(SvfPlayable(wb));
    wb.SvfFileW = std::make_unique<SvfWindowState>();
    for (auto [name, ok] : std::vector<std::pair<std::string, bool>>{{"/tmp/x.svf", true},
                                                                    {"/tmp/x.SvF", true},
                                                                    {"x.SVF", true},
                                                                    {"/tmp/x.svf.bin", false},
                                                                    {"/tmp/a.svf/x", false},
                                                                    {"/tmp/x.svfx", false},
                                                                    {"noname.bin", false}}) {
        wb.DataFileName = name;
        EXPECT_EQ(SvfPlayable(wb), ok) << name;
    }
}

// Which data windows each load leaves open.
TEST_F(SvfWindow, DataWindowsReplaceEachOther) {
    const std::string svf = Make("t.svf", Script);
    const std::string jed = Make("t.jed", "x*L0 1*");
    const std::string hex = Make("t.hex", ":0100000055AA\r\n:00000001FF\r\n");

    wb.DataFileName = svf;
    LoadSvf(wb);
    wb.DataFileName = jed;
    LoadJed(wb);
    EXPECT_FALSE(wb.FileWin);
    EXPECT_TRUE(wb.PldFileW);
    EXPECT_TRUE(wb.SvfFileW);  // the JEDEC load leaves the SVF window

    wb.DataFileName = hex;
    LoadHex(wb);
    ASSERT_TRUE(wb.FileWin);
    EXPECT_FALSE(wb.PldFileW);
    EXPECT_FALSE(wb.SvfFileW);
    EXPECT_EQ(wb.ImageBuffer[0], 0x55);

    wb.DataFileName = jed;
    LoadJed(wb);
    wb.SvfFileW = std::make_unique<SvfWindowState>();
    wb.FileNew();  // frees the fuse window only
    EXPECT_TRUE(wb.FileWin);
    EXPECT_FALSE(wb.PldFileW);
    EXPECT_TRUE(wb.SvfFileW);
}
