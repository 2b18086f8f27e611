#include "app/hexwin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/workbench.h"
#include "support/param_names.h"
#include "support/scripted_prompts.h"

namespace quilla {
namespace {

class HexWinTest : public ::testing::Test {
protected:
    test::ScriptedPrompts prompts;
    Workbench wb{prompts};
    HexWindowState* win = nullptr;

    void SetUp() override {
        wb.FileNew();
        win = wb.FileWin.get();
        ASSERT_NE(win, nullptr);
    }
    // Position of the first digit of byte k of line n.
    static int Digit(int n, int k) { return 75 * n + 9 + 3 * k; }
    std::string Line(int n) const { return win->RichText.substr(static_cast<std::size_t>(75 * n), 75); }
};

TEST_F(HexWinTest, NewWindowShowsFirstPageChecksumAndCaret) {
    EXPECT_EQ(win->Title, "noname.bin");
    EXPECT_EQ(wb.DataFileName, "noname.bin");
    EXPECT_EQ(win->EndAddr, 0xFFFF);
    ASSERT_EQ(win->RichText.size(), 16u * 75u);
    EXPECT_EQ(Line(0),
              "     0:  ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ................\r\n");
    EXPECT_EQ(Line(15).substr(0, 9), "    f0:  ");
    EXPECT_EQ(win->BufferChecksum, 0x10000u * 0xFFu);
    EXPECT_EQ(win->Edit2, "  ff0000");
    EXPECT_EQ(win->Edit3, "0");
    EXPECT_EQ(win->SelStart(), 9);
    EXPECT_EQ(win->Edit1, "0 ");
    EXPECT_EQ(win->ScrollMax, 0xFF);
}

TEST_F(HexWinTest, DumpShowsPrintableBytesAndDotsForTheRest) {
    const std::uint8_t bytes[16] = {0x00, 0x20, 0x21, 0x41, 0x7E, 0x7F, 0x80, 0xFF,
                                    0x30, 0x31, 0x0A, 0x0D, 0x61, 0x7A, 0x5C, 0x2E};
    std::copy(bytes, bytes + 16, wb.ImageBuffer.begin() + 0x20);
    wb.Display();
    EXPECT_EQ(Line(2),
              "    20:  00 20 21 41 7e 7f 80 ff 30 31 0a 0d 61 7a 5c 2e ..!A~\x7f..01..az\\.\r\n");
}

TEST_F(HexWinTest, EmptyImageEndShowsZeroChecksumAndStillSixteenLines) {
    win->EndAddr = -1;
    wb.Display();
    EXPECT_EQ(win->BufferChecksum, 0u);
    EXPECT_EQ(win->Edit2, "       0");
    EXPECT_EQ(win->ScrollMax, 0);
    EXPECT_EQ(win->RichText.size(), 16u * 75u);
}

TEST_F(HexWinTest, ChecksumWrapsAndCoversTheWholeImageAtMost) {
    win->EndAddr = 0x900000;  // beyond the image: kept inside it
    wb.Display();
    EXPECT_EQ(win->EndAddr, 0x7FFFFF);
    EXPECT_EQ(win->BufferChecksum, 0x100000u * 0xFFu);
    std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.end(), 0xFF);
    wb.Display();
    EXPECT_EQ(win->BufferChecksum, static_cast<std::uint32_t>(0x800000ull * 0xFF));
}

struct CaretCase {
    int pos;
    int address;
};
class CaretTest : public HexWinTest, public ::testing::WithParamInterface<CaretCase> {};

TEST_P(CaretTest, CursorAddressFollowsTheCaret) {
    win->ViewStart = 0x100;
    wb.Display();
    win->SetCaret(GetParam().pos);
    EXPECT_EQ(win->CursorAddress, GetParam().address);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x ", GetParam().address);
    EXPECT_EQ(win->Edit1, buf);
}

INSTANTIATE_TEST_SUITE_P(Positions, CaretTest,
                         ::testing::Values(CaretCase{0, 0x100}, CaretCase{9, 0x100},
                                           CaretCase{10, 0x100}, CaretCase{12, 0x101},
                                           CaretCase{11, 0x100}, CaretCase{54, 0x10F},
                                           CaretCase{56, 0x10F}, CaretCase{57, 0x100},
                                           CaretCase{72, 0x10F}, CaretCase{73, 0x100},
                                           CaretCase{75 + 9 + 3 * 5, 0x115},
                                           CaretCase{75 * 15 + 60, 0x1F3}),
                         quilla::test::CaseName([](const auto& c) { return "pos " + std::to_string(c.pos); }));

TEST_F(HexWinTest, TypedDigitOverFirstDigitStoresByteAndShowsRed) {
    const int p = Digit(1, 0);  // address 0x10
    win->SetCaret(p);
    EXPECT_TRUE(win->OnKeyPress(wb, 'a'));
    EXPECT_EQ(wb.ImageBuffer[0x10], 0xAF);
    EXPECT_EQ(win->RichText.substr(static_cast<std::size_t>(p), 3), "Af ");
    EXPECT_EQ(win->Red[static_cast<std::size_t>(p)], 1);
    EXPECT_EQ(win->Red[static_cast<std::size_t>(p) + 1], 0);
    const std::size_t textPos = 75 + 57;
    EXPECT_EQ(win->RichText[textPos], '.');
    EXPECT_EQ(win->Red[textPos], 1);
    EXPECT_EQ(win->SelStart(), p + 1);
    EXPECT_EQ(win->SelLength(), 0);
    // The checksum waits for the next redraw.
    EXPECT_EQ(win->BufferChecksum, 0x10000u * 0xFFu);
    EXPECT_TRUE(win->OnKeyPress(wb, '1'));
    EXPECT_EQ(wb.ImageBuffer[0x10], 0xA1);
    wb.Display();
    EXPECT_EQ(win->BufferChecksum, 0x10000u * 0xFFu - 0xFF + 0xA1);
    EXPECT_EQ(win->Red[static_cast<std::size_t>(p)], 0);
}

TEST_F(HexWinTest, TypingTwoDigitsShowsThePrintableCharacter) {
    win->ViewStart = 0x100000;  // zeros
    wb.Display();
    win->SetCaret(Digit(0, 3));
    win->OnKeyPress(wb, '4');
    win->OnKeyPress(wb, '1');
    EXPECT_EQ(wb.ImageBuffer[0x100003], 0x41);
    EXPECT_EQ(win->RichText[57 + 3], 'A');
}

TEST_F(HexWinTest, TypingOnTheBlankOverwritesTheNextGroupAndStoresThatByte) {
    const int blank = Digit(1, 0) + 2;  // blank after the byte at 0x10
    win->SetCaret(blank);
    EXPECT_EQ(win->CursorAddress, 0x10);
    EXPECT_TRUE(win->OnKeyPress(wb, '1'));
    EXPECT_EQ(win->RichText.substr(static_cast<std::size_t>(blank), 4), " 1f ");
    EXPECT_EQ(wb.ImageBuffer[0x10], 0xFF);
    EXPECT_EQ(wb.ImageBuffer[0x11], 0x1F);
    EXPECT_EQ(win->RichText[75 + 57 + 1], '.');
    EXPECT_EQ(win->Red[75 + 57 + 1], 1);
    EXPECT_EQ(win->Red[75 + 57], 0);
    EXPECT_EQ(win->SelStart(), blank + 2);
}

TEST_F(HexWinTest, KeysThatAreNotHexDigitsOrOutsideTheHexColumnsChangeNothing) {
    const std::string before = win->RichText;
    win->SetCaret(Digit(0, 0));
    EXPECT_FALSE(win->OnKeyPress(wb, 'g'));
    EXPECT_FALSE(win->OnKeyPress(wb, ' '));
    win->SetCaret(60);  // text column
    EXPECT_FALSE(win->OnKeyPress(wb, 'a'));
    win->SetCaret(3);  // address column
    EXPECT_FALSE(win->OnKeyPress(wb, '0'));
    win->SetCaret(56);  // blank after the last group
    EXPECT_FALSE(win->OnKeyPress(wb, '0'));
    win->Select(9, 5);
    EXPECT_FALSE(win->OnKeyPress(wb, 'x'));
    EXPECT_EQ(win->SelLength(), 0);
    EXPECT_EQ(win->RichText, before);
    EXPECT_EQ(wb.ImageBuffer[0], 0xFF);
}

TEST_F(HexWinTest, PagingKeys) {
    win->OnRichKeyDown(wb, HexKey::PageDown);
    EXPECT_EQ(win->ViewStart, 0x100);
    EXPECT_EQ(win->Edit3, "100");
    win->OnRichKeyDown(wb, HexKey::PageUp);
    EXPECT_EQ(win->ViewStart, 0);
    win->OnRichKeyDown(wb, HexKey::PageUp);  // first page: nothing
    EXPECT_EQ(win->ViewStart, 0);
    win->OnRichKeyDown(wb, HexKey::End);
    EXPECT_EQ(win->ViewStart, 0xFF00);
    win->OnRichKeyDown(wb, HexKey::PageDown);  // last page: nothing
    EXPECT_EQ(win->ViewStart, 0xFF00);
    win->OnRichKeyDown(wb, HexKey::Home);
    EXPECT_EQ(win->ViewStart, 0);
    EXPECT_EQ(Line(0).substr(0, 9), "     0:  ");
}

TEST_F(HexWinTest, EndWithSmallImageShowsFirstPageAndRoundsToSixteen) {
    win->EndAddr = 100;
    win->OnRichKeyDown(wb, HexKey::End);
    EXPECT_EQ(win->ViewStart, 0);
    win->EndAddr = 0x1234;
    win->OnRichKeyDown(wb, HexKey::End);
    EXPECT_EQ(win->ViewStart, 0x1130);  // 0x1135 rounded down to 16
    win->PageForward(wb);  // 0x1230 is still below EndAddr
    EXPECT_EQ(win->ViewStart, 0x1230);
    win->PageForward(wb);  // 0x1330 is not
    EXPECT_EQ(win->ViewStart, 0x1230);
}

struct StartCase {
    const char* text;
    int viewStart;
};
class StartFieldTest : public HexWinTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartFieldTest, StartFieldIsReadAsHexAndKeptInTheImage) {
    win->ViewStart = 0x300;
    wb.Display();
    win->Edit3 = GetParam().text;
    win->Edit3KeyD(wb, 13);
    EXPECT_EQ(win->ViewStart, GetParam().viewStart);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%6x:  ", GetParam().viewStart);
    EXPECT_EQ(Line(0).substr(0, 9), buf);
    std::snprintf(buf, sizeof buf, "%x", GetParam().viewStart);
    EXPECT_EQ(win->Edit3, buf);
}

INSTANTIATE_TEST_SUITE_P(Fields, StartFieldTest,
                         ::testing::Values(StartCase{"123", 0x120}, StartCase{"ffffffff", 0},
                                           StartCase{"7fffffff", 0x7FFF00},
                                           StartCase{"7ffff5", 0x7FFF00},
                                           StartCase{"800000", 0x7FFF00},
                                           StartCase{"-10", 0}, StartCase{"  0x2a0", 0x2A0},
                                           StartCase{"4zz", 0x0}, StartCase{"zz", 0x300},
                                           StartCase{"", 0x300}),
                         quilla::test::CaseName([](const auto& c) { return std::string(c.text); }));

TEST_F(HexWinTest, LastPageOfTheImageReadsTheLastByte) {
    wb.ImageBuffer[0x7FFFFF] = 0x5A;
    win->Edit3 = "7fffffff";
    win->Edit3Exit(wb);
    EXPECT_EQ(Line(15), "7ffff0:  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 5a ...............Z\r\n");
    win->SetCaret(Digit(15, 15));
    EXPECT_TRUE(win->OnKeyPress(wb, '7'));
    EXPECT_EQ(wb.ImageBuffer[0x7FFFFF], 0x7A);
    EXPECT_EQ(win->CursorAddress, 0x7FFFFF);
    // The caret at the very end of the text addresses nothing a key can reach.
    win->SetCaret(static_cast<int>(win->RichText.size()));
    EXPECT_FALSE(win->OnKeyPress(wb, '1'));
}

TEST_F(HexWinTest, EnterIsTheOnlyKeyThatReadsTheStartField) {
    win->Edit3 = "200";
    win->Edit3KeyD(wb, 'A');
    EXPECT_EQ(win->ViewStart, 0);
    win->Edit3KeyD(wb, 13);
    EXPECT_EQ(win->ViewStart, 0x200);
}

TEST_F(HexWinTest, ScrollBarMovesTheFieldFirstAndTheDumpAtTheEnd) {
    const std::string before = win->RichText;
    win->ScrollBar1Change(5);
    EXPECT_EQ(win->ViewStart, 0x500);
    EXPECT_EQ(win->Edit3, "500");
    EXPECT_TRUE(win->Edit3Yellow);
    EXPECT_EQ(win->RichText, before);
    win->ScrollBar1OnScroll(wb, false);
    EXPECT_EQ(win->RichText, before);
    win->ScrollBar1OnScroll(wb, true);
    EXPECT_FALSE(win->Edit3Yellow);
    EXPECT_EQ(Line(0).substr(0, 9), "   500:  ");
    win->ScrollBar1Change(1 << 30);  // far outside: the last page
    EXPECT_EQ(win->ViewStart, 0x7FFF00);
    win->ScrollBar1OnScroll(wb, true);
    EXPECT_EQ(Line(15).substr(0, 9), "7ffff0:  ");
}

TEST_F(HexWinTest, ViewStartSetFromOutsideIsKeptInTheImage) {
    win->ViewStart = 0x7FFFFF;
    wb.Display();
    EXPECT_EQ(win->ViewStart, 0x7FFF00);
    win->ViewStart = -5;
    wb.Display();
    EXPECT_EQ(win->ViewStart, 0);
    win->ViewStart = 0x1237;
    wb.Display();
    EXPECT_EQ(win->ViewStart, 0x1230);
}

// ---- find and replace ----------------------------------------------------------

TEST_F(HexWinTest, FindSelectsTheNextMatchAfterTheSelection) {
    FindReplace fr;
    win->SetCaret(30);  // an empty selection searches from the start
    ASSERT_TRUE(fr.OnFind(*win, "ff", prompts));
    EXPECT_EQ(win->SelStart(), 9);
    EXPECT_EQ(win->SelLength(), 2);
    EXPECT_EQ(win->CursorAddress, 0);
    ASSERT_TRUE(fr.OnFind(*win, "ff", prompts));
    EXPECT_EQ(win->SelStart(), 12);
    EXPECT_EQ(win->CursorAddress, 1);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(HexWinTest, FindIsCaseSensitiveAndReportsNotFoundWithBeep) {
    FindReplace fr;
    win->Select(40, 3);
    EXPECT_FALSE(fr.OnFind(*win, "FF", prompts));
    EXPECT_EQ(prompts.Last(), "Not found.");
    EXPECT_EQ(prompts.shown.back().caption, " ");
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(win->SelStart(), 0);
    EXPECT_EQ(win->SelLength(), 0);
}

TEST_F(HexWinTest, FindOfTheReplaceDialogKeepsTheSelectionWhenNotFound) {
    FindReplace fr;
    win->Select(40, 3);
    EXPECT_FALSE(fr.OnRePlaceFind(*win, "zzz", prompts));
    EXPECT_EQ(prompts.Last(), "Not found.");
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(win->SelStart(), 40);
    EXPECT_EQ(win->SelLength(), 3);
}

struct OtherWindow : TextTarget {
    std::string text = "0000 1111 0000\r\n1111\r\n";
    int start = 0, length = 0;
    std::string WindowText() const override { return text; }
    int SelStart() const override { return start; }
    int SelLength() const override { return length; }
    void Select(int s, int l) override { start = s, length = l; }
};

TEST_F(HexWinTest, FindWorksOnAnyDataWindowButReplaceOnlyOnTheBuffer) {
    FindReplace fr;
    OtherWindow fuse;
    ASSERT_TRUE(fr.OnFind(fuse, "1111", prompts));
    EXPECT_EQ(fuse.start, 5);
    ASSERT_TRUE(fr.OnFind(fuse, "1111", prompts));
    EXPECT_EQ(fuse.start, 16);
    fr.OnRePlace(wb, &fuse, win, "00");
    EXPECT_EQ(prompts.Last(), "Error   !");
    fr.OnRePlace(wb, &fuse, nullptr, "00");
    EXPECT_EQ(prompts.Last(), "Error   !");
    const auto shown = prompts.shown.size();
    fr.OnRePlace(wb, nullptr, nullptr, "00");  // no active window: nothing
    EXPECT_EQ(prompts.shown.size(), shown);
}

// Find in the buffer window searches the whole buffer from the caret on, not
// only the page on screen.
struct BufferFindCase {
    const char* name;
    int at;                  // where the bytes are stored
    std::vector<std::uint8_t> bytes;
    const char* what;        // the find text
    int viewStart;           // the view after the find
    int cursor;              // the address under the selection's start
};

class BufferFindTest : public HexWinTest, public ::testing::WithParamInterface<BufferFindCase> {};

TEST_P(BufferFindTest, FindsTheBytesOnAnyPageAndShowsThem) {
    const BufferFindCase& c = GetParam();
    std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 0x10000, 0x11);
    std::copy(c.bytes.begin(), c.bytes.end(), wb.ImageBuffer.begin() + c.at);
    wb.Display();
    ASSERT_EQ(win->ViewStart, 0);
    FindReplace fr;
    ASSERT_TRUE(fr.OnFind(*win, c.what, prompts, &wb)) << prompts.Last();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(win->ViewStart, c.viewStart);
    EXPECT_EQ(win->CursorAddress, c.cursor);
    EXPECT_EQ(fr.FoundPos, win->SelStart());
    // The selection covers the match as the page shows it: its first and last
    // characters are the find text's.
    const std::string what = c.what;
    const std::string sel = win->RichText.substr(static_cast<std::size_t>(win->SelStart()),
                                                 static_cast<std::size_t>(win->SelLength()));
    ASSERT_GE(sel.size(), what.size());
    EXPECT_EQ(sel.front(), what.front());
    EXPECT_EQ(sel.back(), what.back());
    // The dump still shows what the image holds there.
    EXPECT_EQ(win->RichText, HexPageText(wb.ImageBuffer.data(), win->ViewStart));
}

INSTANTIATE_TEST_SUITE_P(
    Buffer, BufferFindTest,
    ::testing::Values(
        BufferFindCase{"FourBytesAtFFF0", 0xFFF0, {0x12, 0x34, 0x56, 0x78}, "12 34 56 78", 0xFFF0, 0xFFF0},
        BufferFindCase{"OnThisPage", 0x40, {0x12, 0x34}, "12 34", 0, 0x40},
        BufferFindCase{"DigitsAcrossALineEnd", 0x20E, {0xDE, 0xAD, 0xBE, 0xEF}, "de ad be ef", 0x200, 0x20E},
        BufferFindCase{"CharactersAcrossALineEnd", 0x30D, {'Q', 'U', 'I', 'L'}, "QUIL", 0x300, 0x30D},
        BufferFindCase{"AcrossAPageEnd", 0x4FF, {0xCA, 0xFE}, "ca fe", 0x4F0, 0x4FF},
        BufferFindCase{"AnAddress", 0, {}, "  4560:", 0x4560, 0x4560}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HexWinTest, RepeatGoesOnAfterTheHitAndNotFoundOnlyAfterTheLast) {
    std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 0x10000, 0x11);
    for (int a : {0x1000, 0x5008}) {
        wb.ImageBuffer[a] = 0xA5;
        wb.ImageBuffer[a + 1] = 0x5A;
    }
    wb.Display();
    FindReplace fr;
    ASSERT_TRUE(fr.OnFind(*win, "a5 5a", prompts, &wb));
    EXPECT_EQ(win->CursorAddress, 0x1000);
    ASSERT_TRUE(fr.OnFind(*win, "a5 5a", prompts, &wb));
    EXPECT_EQ(win->CursorAddress, 0x5008);
    EXPECT_EQ(win->ViewStart, 0x5000);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_FALSE(fr.OnFind(*win, "a5 5a", prompts, &wb));
    EXPECT_EQ(prompts.Last(), "Not found.");
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(win->ViewStart, 0x5000);  // the view stays where the last hit was
}

TEST_F(HexWinTest, BufferFindSearchesFromTheCaretAndStopsAtTheBufferEnd) {
    std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 0x30000, 0x11);
    for (int a : {0x10, 0x20000}) {  // before the caret; past EndAddr (0xFFFF)
        wb.ImageBuffer[a] = 0x77;
        wb.ImageBuffer[a + 1] = 0x88;
    }
    wb.Display();
    win->SetCaret(Digit(2, 0));
    FindReplace fr;
    EXPECT_FALSE(fr.OnFind(*win, "77 88", prompts, &wb));
    EXPECT_EQ(prompts.Last(), "Not found.");
    // After the miss the caret is at the page's start: found from there.
    ASSERT_TRUE(fr.OnFind(*win, "77 88", prompts, &wb));
    EXPECT_EQ(win->CursorAddress, 0x10);
}

TEST_F(HexWinTest, ReplaceFindInTheBufferMovesTheViewOrKeepsTheSelection) {
    std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 0x10000, 0x11);
    wb.ImageBuffer[0x8001] = 0x3C;
    wb.ImageBuffer[0x8002] = 0x5B;
    wb.Display();
    FindReplace fr;
    ASSERT_TRUE(fr.OnRePlaceFind(*win, "3c 5b", prompts, &wb));
    EXPECT_EQ(win->ViewStart, 0x8000);
    EXPECT_EQ(win->CursorAddress, 0x8001);
    fr.OnRePlace(wb, win, win, "4d");
    EXPECT_EQ(wb.ImageBuffer[0x8001], 0x4D);
    win->Select(40, 3);
    EXPECT_FALSE(fr.OnRePlaceFind(*win, "3c 5b", prompts, &wb));
    EXPECT_EQ(win->SelStart(), 40);
    EXPECT_EQ(win->SelLength(), 3);
    EXPECT_EQ(win->ViewStart, 0x8000);
}

class ReplaceTextTest : public HexWinTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ReplaceTextTest, ReplaceRefusesAnythingButTwoHexDigits) {
    FindReplace fr;
    win->SetCaret(Digit(0, 0));
    const std::string before = win->RichText;
    fr.OnRePlace(wb, win, win, GetParam());
    EXPECT_EQ(prompts.Last(), "Replace need 2.  ");
    EXPECT_EQ(win->RichText, before);
    EXPECT_EQ(wb.ImageBuffer[0], 0xFF);
}

INSTANTIATE_TEST_SUITE_P(Texts, ReplaceTextTest,
                         ::testing::Values("1", "", "123", "zz", "1g", " 1", "-1"),
                         quilla::test::CaseName([](const auto& c) { return std::string(c); }));

TEST_F(HexWinTest, ReplaceOutsideTheHexColumnsIsAnError) {
    FindReplace fr;
    for (int pos : {0, 8, 57, 70}) {
        win->SetCaret(75 + pos);
        fr.OnRePlace(wb, win, win, "12");
        EXPECT_EQ(prompts.Last(), "Error   !") << pos;
    }
    EXPECT_EQ(wb.ImageBuffer[0x10], 0xFF);
}

TEST_F(HexWinTest, FindThenReplaceStoresTheByteAndShowsTheText) {
    FindReplace fr;
    wb.ImageBuffer[0x13] = 0x5A;
    wb.Display();
    ASSERT_TRUE(fr.OnFind(*win, "5a", prompts));
    EXPECT_EQ(win->CursorAddress, 0x13);
    fr.OnRePlace(wb, win, win, "3c");
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(wb.ImageBuffer[0x13], 0x3C);
    EXPECT_EQ(win->RichText.substr(static_cast<std::size_t>(Digit(1, 3)), 3), "3c ");
    // The text column and the checksum follow at the next redraw.
    EXPECT_EQ(win->RichText[75 + 57 + 3], 'Z');
    wb.Display();
    EXPECT_EQ(win->RichText[75 + 57 + 3], '<');
}

TEST_F(HexWinTest, ReplaceOnTheSecondDigitOrTheBlankRewritesThatByteGroup) {
    FindReplace fr;
    win->SetCaret(Digit(0, 2) + 1);  // second digit of byte 2
    fr.OnRePlace(wb, win, win, "01");
    EXPECT_EQ(wb.ImageBuffer[2], 0x01);
    EXPECT_EQ(win->RichText.substr(static_cast<std::size_t>(Digit(0, 2)), 6), "01 ff ");
    win->SetCaret(Digit(0, 5) + 2);  // blank after byte 5
    fr.OnRePlace(wb, win, win, "02");
    EXPECT_EQ(wb.ImageBuffer[5], 0x02);
    EXPECT_EQ(wb.ImageBuffer[6], 0xFF);
    EXPECT_EQ(win->RichText.substr(static_cast<std::size_t>(Digit(0, 5)), 6), "02 ff ");
}

}  // namespace
}  // namespace quilla
