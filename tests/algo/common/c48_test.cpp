// The .c48 side file and the side-file conventions every form shares: where
// the file lives (only beside an image file, never the image itself), the
// text-mode translation of its bytes, the name line and the missing bytes.
#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "algo/common/c48.h"
#include "algo/common/sidefile.h"
#include "app/workbench.h"
#include "support/param_names.h"
#include "support/scripted_prompts.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- where the side file lives ---------------------------------------------------------

struct SidePathTest : ::testing::Test {
    ScriptedPrompts prompts;
    Workbench wb{prompts};
    TempDir dir;
};

TEST_F(SidePathTest, ReplacesTheImageExtensionOrAppendsOne) {
    struct Case {
        const char* image;
        const char* side;
    };
    const Case cases[] = {
        {"prog.hex", "prog.c48"},
        {"prog.HEX", "prog.c48"},
        {"prog", "prog.c48"},
        {"two.dots.bin", "two.dots.c48"},
    };
    for (const Case& c : cases) {
        wb.DataFileName = dir.Write(c.image, {1});
        EXPECT_EQ(SideFilePath(wb, C48Extension), dir.File(c.side)) << c.image;
    }
    // A dot in a folder name is not an extension.
    std::filesystem::create_directories(dir.path / "a.b");
    wb.DataFileName = dir.Write("a.b/prog", {1});
    EXPECT_EQ(SideFilePath(wb, C48Extension), dir.File("a.b/prog.c48"));
}

TEST_F(SidePathTest, NoSideFileWithoutAnImageFileOrInPlaceOfTheImage) {
    // The new buffer's name names no file: nothing is read or written in the
    // current directory on its behalf.
    wb.FileNew();
    EXPECT_EQ(wb.DataFileName, "noname.bin");
    EXPECT_EQ(SideFilePath(wb, C48Extension), "");
    wb.DataFileName = dir.File("gone.hex");
    EXPECT_EQ(SideFilePath(wb, C48Extension), "");
    wb.DataFileName = dir.path.string();  // a folder
    EXPECT_EQ(SideFilePath(wb, C48Extension), "");
    // An image loaded from a .c48 file would be overwritten by its side file.
    wb.DataFileName = dir.Write("image.c48", {1, 2, 3});
    EXPECT_EQ(SideFilePath(wb, C48Extension), "");
    EXPECT_FALSE(WriteC48(SideFilePath(wb, C48Extension), C48P17c4x, Bytes(8, 1)));
    EXPECT_EQ(TempDir::Read(wb.DataFileName), (Bytes{1, 2, 3}));
}

// ---- text mode ---------------------------------------------------------------------------

struct TextCase {
    const char* name;
    Bytes data;    // what the program writes or reads back
    Bytes stored;  // what the file holds
};

class TextMode : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextMode, StoresLineFeedsAsPairsAndReadsThemBack) {
    const TextCase& c = GetParam();
    EXPECT_EQ(TextModeEncode(c.data), c.stored);
    EXPECT_EQ(TextModeDecode(c.stored), c.data);
}

INSTANTIATE_TEST_SUITE_P(SideFile, TextMode,
                         ::testing::Values(TextCase{"plain", {1, 2, 0xFF}, {1, 2, 0xFF}},
                                           TextCase{"line_feed", {0x41, 0x0A, 0x42}, {0x41, 0x0D, 0x0A, 0x42}},
                                           TextCase{"carriage_return_kept", {0x0D, 0x41}, {0x0D, 0x41}},
                                           TextCase{"return_then_line_feed", {0x0D, 0x0A}, {0x0D, 0x0D, 0x0A}},
                                           TextCase{"two_line_feeds", {0x0A, 0x0A}, {0x0D, 0x0A, 0x0D, 0x0A}}),
                         CaseName([](const TextCase& c) { return std::string(c.name); }));

TEST(TextModeRead, AByte1AEndsTheFile) {
    EXPECT_EQ(TextModeDecode(Bytes{1, 2, 0x1A, 3, 4}), (Bytes{1, 2}));
    EXPECT_EQ(TextModeDecode(Bytes{0x1A}), Bytes{});
    // A lone 0x0A (a file written elsewhere) reads as itself.
    EXPECT_EQ(TextModeDecode(Bytes{0x0A, 7}), (Bytes{0x0A, 7}));
}

// ---- the .c48 format -----------------------------------------------------------------------

TEST(C48, TheNameLineMustNameTheReaderExactly) {
    const Bytes data(16, 0x5A);
    const Bytes p18f = Cat(Of("P18fxx2\n"), data);
    EXPECT_TRUE(ParseC48(p18f, C48P18fxx2).has_value());
    // Another form's file, a name that differs only in case, an empty file and
    // a file without any name are all ignored.
    EXPECT_FALSE(ParseC48(p18f, C48P18cxxx).has_value());
    EXPECT_FALSE(ParseC48(Cat(Of("p18FXX2\n"), data), C48P18fxx2).has_value());
    EXPECT_FALSE(ParseC48(Bytes{}, C48P18cxxx).has_value());
    EXPECT_FALSE(ParseC48(Cat(Of("\n"), data), C48P18cxxx).has_value());
    // A name line that only starts with the name does not match.
    EXPECT_FALSE(ParseC48(Cat(Of("P18fxx2 \n"), data), C48P18fxx2).has_value());
}

TEST(C48, AFirstLineWithoutLineFeedWithinItsRoomNamesNothing) {
    Bytes longLine = Of("Atmega162x");
    longLine.resize(600, 'x');
    EXPECT_FALSE(ParseC48(longLine, C48Atmega162x).has_value());
    // A file that ends inside the name line names it, with every byte missing.
    auto s = ParseC48(Of("Atmega162x"), C48Atmega162x);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->size(), 32u);
    for (const auto& b : *s) EXPECT_FALSE(b.has_value());
}

TEST(C48, BytesPastTheEndOfTheFileAreReportedMissing) {
    auto s = ParseC48(Cat(Of("P16cxxx1\n"), Bytes{0, 1, 1}), C48P16cxxx1);
    ASSERT_TRUE(s.has_value());
    ASSERT_EQ(s->size(), 16u);
    EXPECT_EQ((*s)[0], std::optional<std::uint8_t>(0));
    EXPECT_EQ((*s)[2], std::optional<std::uint8_t>(1));
    for (std::size_t i = 3; i < 16; ++i) EXPECT_FALSE((*s)[i].has_value()) << i;
    // A P17c4x file that ends right after its name line: all eight missing.
    auto p17 = ParseC48(Of("P17c4x\n"), C48P17c4x);
    ASSERT_TRUE(p17.has_value());
    for (const auto& b : *p17) EXPECT_FALSE(b.has_value());
    // Extra bytes after the form's count are not read.
    auto longer = ParseC48(Cat(Of("P17c4x\n"), Bytes(20, 1)), C48P17c4x);
    ASSERT_TRUE(longer.has_value());
    EXPECT_EQ(longer->size(), 8u);
}

TEST(C48, TheWriterRefusesDataOfTheWrongLength) {
    EXPECT_THROW(FormatC48(C48P17c4x, Bytes(7, 0)), std::logic_error);
    EXPECT_EQ(FormatC48(C48P17c4x, Bytes(8, 1)), Cat(Of("P17c4x\n"), Bytes(8, 1)));
}

// ---- through files ---------------------------------------------------------------------------

TEST(C48File, WritesTheNameLineAndDataInTextModeAndReadsThemBack) {
    TempDir dir;
    const std::string path = dir.File("img.c48");
    Bytes data(16);
    std::iota(data.begin(), data.end(), std::uint8_t{0x05});  // 05..14: 0x0A inside
    ASSERT_TRUE(WriteC48(path, C48P18fxx2, data));

    Bytes expect = Of("P18fxx2\r\n");
    for (std::uint8_t b : data) {
        if (b == 0x0A) expect.push_back(0x0D);
        expect.push_back(b);
    }
    EXPECT_EQ(TempDir::Read(path), expect);

    auto back = ReadC48(path, C48P18fxx2);
    ASSERT_TRUE(back.has_value());
    for (std::size_t i = 0; i < data.size(); ++i) EXPECT_EQ((*back)[i], std::optional<std::uint8_t>(data[i])) << i;
}

TEST(C48File, AByte1AEndsTheSettingsThatFollowIt) {
    TempDir dir;
    const std::string path = dir.File("img.c48");
    Bytes data(16, 0xF0);
    data[5] = 0x1A;
    ASSERT_TRUE(WriteC48(path, C48P18cxxx, data));
    auto back = ReadC48(path, C48P18cxxx);
    ASSERT_TRUE(back.has_value());
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ((*back)[i], std::optional<std::uint8_t>(0xF0));
    for (std::size_t i = 5; i < 16; ++i) EXPECT_FALSE((*back)[i].has_value()) << i;
}

TEST(C48File, AnotherFormsFileIsReplacedByTheNextFormThatWrites) {
    TempDir dir;
    const std::string path = dir.File("img.c48");
    ASSERT_TRUE(WriteC48(path, C48P18fxx2, Bytes(16, 0x11)));
    EXPECT_FALSE(ReadC48(path, C48P18cxxx).has_value());
    ASSERT_TRUE(WriteC48(path, C48P18cxxx, Bytes(16, 0x22)));
    EXPECT_FALSE(ReadC48(path, C48P18fxx2).has_value());
    auto back = ReadC48(path, C48P18cxxx);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ((*back)[15], std::optional<std::uint8_t>(0x22));
}

TEST(C48File, NothingToReadOrWriteWithoutAPlace) {
    TempDir dir;
    EXPECT_FALSE(ReadC48("", C48Atmega162x).has_value());
    EXPECT_FALSE(ReadC48(dir.File("none.c48"), C48Atmega162x).has_value());
    EXPECT_FALSE(WriteC48("", C48Atmega162x, Bytes(32, 1)));
    EXPECT_FALSE(WriteC48(dir.File("no/such/folder/x.c48"), C48Atmega162x, Bytes(32, 1)));
}

}  // namespace
}  // namespace quilla::test
