#include <gtest/gtest.h>

#include <string>

#include "app/fill.h"
#include "app/workbench.h"
#include "support/scripted_prompts.h"

using namespace quilla;

namespace {

class FillDialog : public ::testing::Test {
protected:
    FillDialog() : wb(prompts) {
        for (std::size_t i = 0; i < 0x300000; ++i) wb.ImageBuffer[i] = static_cast<std::uint8_t>(i * 7 + 3);
        before = wb.ImageBuffer;
        wb.FileNew();
    }
    // Addresses whose byte differs from the pattern written before the test.
    std::vector<std::size_t> Changed() const {
        std::vector<std::size_t> v;
        for (std::size_t i = 0; i < before.size(); ++i)
            if (wb.ImageBuffer[i] != before[i]) v.push_back(i);
        return v;
    }
    bool Ok(const std::string& start, const std::string& end, const std::string& value, bool fill = true) {
        fill ? dlg.FillClick() : dlg.MaxAddrClick();
        dlg.Edit1 = start;
        dlg.Edit2 = end;
        dlg.Edit3 = value;
        return dlg.OKBtnClick(wb);
    }
    test::ScriptedPrompts prompts;
    Workbench wb;
    std::vector<std::uint8_t> before;
    InputHexModel dlg;
};

}  // namespace

TEST_F(FillDialog, InitialTextsFillTheFirst64KiB) {
    std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 0x10000, 0);
    dlg.FillClick();
    EXPECT_TRUE(dlg.Visible);
    EXPECT_TRUE(dlg.OKBtnClick(wb));
    EXPECT_FALSE(dlg.Visible);
    EXPECT_EQ(wb.FileWin->EndAddr, 0xFFFF);
    EXPECT_EQ(wb.FileWin->BufferChecksum, 0xFF0000u);
    EXPECT_EQ(dlg.Edit1, "0000");
    EXPECT_EQ(dlg.Edit2, "ffff");
    EXPECT_EQ(dlg.Edit3, "ff");
}

TEST_F(FillDialog, FillsExactlyTheRangeAndNeverShortensTheBuffer) {
    ASSERT_TRUE(Ok("100", "1FF", "5a"));
    const auto changed = Changed();
    for (std::size_t a : changed) EXPECT_TRUE(a >= 0x100 && a <= 0x1FF) << a;
    for (std::size_t a = 0x100; a <= 0x1FF; ++a) ASSERT_EQ(wb.ImageBuffer[a], 0x5A) << a;
    EXPECT_EQ(wb.ImageBuffer[0xFF], before[0xFF]);
    EXPECT_EQ(wb.ImageBuffer[0x200], before[0x200]);
    EXPECT_EQ(wb.FileWin->EndAddr, 0xFFFF);  // the buffer's end stays
}

TEST_F(FillDialog, FillPastTheEndExtendsTheBufferAndResizeSetsItExactly) {
    ASSERT_TRUE(Ok("0", "7f", "00", false));
    EXPECT_EQ(wb.FileWin->EndAddr, 0x7F);
    ASSERT_TRUE(Ok("100", "1ff", "5a"));
    EXPECT_EQ(wb.FileWin->EndAddr, 0x1FF);
    ASSERT_TRUE(Ok("0", "10", "5a"));
    EXPECT_EQ(wb.FileWin->EndAddr, 0x1FF);
    ASSERT_TRUE(Ok("0", "10", "00", false));
    EXPECT_EQ(wb.FileWin->EndAddr, 0x10);
}

struct FillCase {
    const char* name;
    const char *start, *end, *value;
    bool fill;
    int endAddr;
    int from, to;  // filled range, from > to when nothing is filled
    int byte;
};

class FillCases : public FillDialog, public ::testing::WithParamInterface<FillCase> {};

TEST_P(FillCases, EndAndFilledBytes) {
    const FillCase& c = GetParam();
    ASSERT_TRUE(Ok(c.start, c.end, c.value, c.fill));
    EXPECT_EQ(wb.FileWin->EndAddr, c.endAddr);
    const auto changed = Changed();
    for (std::size_t a : changed)
        ASSERT_TRUE(static_cast<int>(a) >= c.from && static_cast<int>(a) <= c.to) << std::hex << a;
    for (int a = c.from; a <= c.to; ++a) ASSERT_EQ(wb.ImageBuffer[a], c.byte) << std::hex << a;
}

INSTANTIATE_TEST_SUITE_P(
    Dialog, FillCases,
    ::testing::Values(
        FillCase{"ValueKeepsLow8Bits", "10", "1f", "1AB", true, 0xFFFF, 0x10, 0x1F, 0xAB},
        FillCase{"StartAboveEndFillsNothing", "100", "ff", "00", true, 0xFFFF, 1, 0, 0},
        FillCase{"EndCappedAt1MiB", "ffff0", "200000", "77", true, 0xFFFFF, 0xFFFF0, 0xFFFFF, 0x77},
        FillCase{"ResizeChangesNoByte", "0", "200000", "00", false, 0xFFFFF, 1, 0, 0},
        FillCase{"ResizeDown", "0", "  7f", "00", false, 0x7F, 1, 0, 0},
        FillCase{"ResizeToMinusOneIsEmpty", "0", "ffffffff", "33", false, -1, 1, 0, 0},
        FillCase{"NegativeStartStartsAtZero", "fffffff0", "f", "11", true, 0xFFFF, 0, 0xF, 0x11},
        FillCase{"SignedStartStartsAtZero", "-10", "3", "22", true, 0xFFFF, 0, 0x3, 0x22},
        FillCase{"EndMinusOneFillsNothing", "0", "ffffffff", "33", true, 0xFFFF, 1, 0, 0},
        FillCase{"FarNegativeEndFillsNothing", "0", "80000000", "33", true, 0xFFFF, 1, 0, 0},
        FillCase{"HexPrefixAccepted", "0x20", "0x21", "0x44", true, 0xFFFF, 0x20, 0x21, 0x44}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FillDialog, UnreadableFieldKeepsItsLastValue) {
    ASSERT_TRUE(Ok("40", "4f", "12"));
    ASSERT_TRUE(Ok("zz", "", "q"));
    EXPECT_EQ(dlg.StartAddr, 0x40);
    EXPECT_EQ(dlg.EndAddr, 0x4F);
    EXPECT_EQ(dlg.FillValue, 0x12);
    EXPECT_EQ(wb.FileWin->EndAddr, 0xFFFF);
}

TEST_F(FillDialog, WithoutBufferWindowOkDoesNothingAndStaysOpen) {
    wb.FileWin.reset();
    wb.PldFileW = std::make_unique<FuseWindowState>();
    EXPECT_FALSE(Ok("0", "ff", "00"));
    EXPECT_TRUE(dlg.Visible);
    EXPECT_TRUE(Changed().empty());
    EXPECT_FALSE(wb.FileWin);
}

TEST_F(FillDialog, CancelChangesNothing) {
    dlg.FillClick();
    dlg.Edit2 = "10";
    dlg.CancelBtnClick();
    EXPECT_FALSE(dlg.Visible);
    EXPECT_EQ(wb.FileWin->EndAddr, 0xFFFF);
    EXPECT_TRUE(Changed().empty());
    EXPECT_EQ(dlg.Edit2, "10");  // offered again next time
}
