#include "app/workbench.h"

#include <gtest/gtest.h>

#include "support/param_names.h"
#include "support/scripted_prompts.h"

namespace quilla {
namespace {

struct CountingView : ShellView {
    int displays = 0, windows = 0, counters = 0;
    void Display() override { ++displays; }
    void DataWindowsChanged() override { ++windows; }
    void CounterChanged() override { ++counters; }
};

TEST(Workbench, ImageStartsWithOneMebibyteOfFFThenZeros) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    ASSERT_EQ(wb.ImageBuffer.size(), 8388608u);
    EXPECT_EQ(wb.ImageBuffer[0], 0xFF);
    EXPECT_EQ(wb.ImageBuffer[0xFFFFF], 0xFF);
    EXPECT_EQ(wb.ImageBuffer[0x100000], 0x00);
    EXPECT_EQ(wb.ImageBuffer[0x7FFFFF], 0x00);
    EXPECT_EQ(std::count(wb.ImageBuffer.begin(), wb.ImageBuffer.end(), 0xFF), 0x100000);
}

TEST(Workbench, FileNewKeepsAnExistingBufferWindowAndFreesTheFuseWindow) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    CountingView view;
    wb.view = &view;
    wb.FileNew();
    ASSERT_TRUE(wb.FileWin);
    HexWindowState* first = wb.FileWin.get();
    first->Title = "a.hex";
    first->EndAddr = 0x1FF;
    wb.DataFileName = "a.hex";
    wb.ImageBuffer[5] = 0x12;
    wb.PldFileW = std::make_unique<FuseWindowState>();
    wb.FileNew();
    EXPECT_FALSE(wb.PldFileW);
    EXPECT_EQ(wb.FileWin.get(), first);
    EXPECT_EQ(first->Title, "a.hex");
    EXPECT_EQ(first->EndAddr, 0x1FF);
    EXPECT_EQ(wb.DataFileName, "a.hex");
    EXPECT_EQ(wb.ImageBuffer[5], 0x12);
    EXPECT_GE(view.windows, 2);
    EXPECT_GE(view.displays, 2);
}

TEST(Workbench, DisplayWithoutBufferWindowOnlyRedrawsTheView) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    CountingView view;
    wb.view = &view;
    wb.Display();
    EXPECT_EQ(view.displays, 1);
    EXPECT_FALSE(wb.FileWin);
}

TEST(Workbench, PassCountDoesNothingWhileErrorFlagIsSet) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    CountingView view;
    wb.view = &view;
    wb.Counter = "7";
    wb.ErrorFlag() = 1;
    wb.PassCount(1);
    EXPECT_EQ(wb.Counter, "7");
    EXPECT_EQ(prompts.beeps, 0);
    EXPECT_EQ(view.counters, 0);
}

struct CounterCase {
    const char* before;
    const char* after;
};
class PassCountTest : public ::testing::TestWithParam<CounterCase> {};

TEST_P(PassCountTest, CounterCountsOnAsADecimalNumber) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    CountingView view;
    wb.view = &view;
    wb.Counter = GetParam().before;
    wb.PassCount(1);
    EXPECT_EQ(wb.Counter, GetParam().after);
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(view.counters, 1);
}

INSTANTIATE_TEST_SUITE_P(Texts, PassCountTest,
                         ::testing::Values(CounterCase{"0", "1"}, CounterCase{"41", "42"},
                                           CounterCase{"abc", "1"}, CounterCase{"", "1"},
                                           CounterCase{"12x", "13"}, CounterCase{" 9", "10"}),
                         quilla::test::CaseName([](const auto& c) { return std::string(c.before); }));

}  // namespace
}  // namespace quilla
