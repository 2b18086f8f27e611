#include "app/binfile.h"

#include <gmock/gmock.h>

#include <algorithm>

#include "app/fileops.h"
#include "formats_util.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

struct ModeCase {
    int index;
    std::vector<std::uint8_t> stored;
};

std::ostream& operator<<(std::ostream& os, const ModeCase& c) { return os << LoadModes[c.index].Item; }

class BinModes : public FormatsTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(BinModes, KeepsTheBytesOfTheLoadMode) {
    const ModeCase& c = GetParam();
    FileFormatModel model;
    model.OnClick2(c.index);
    wb.LoadStart = 0x100;
    wb.DataFileName = Write("in.bin", "\x11\x22\x33\x44\x55\x66\x77\x88\x99");
    ASSERT_TRUE(LoadBin(wb, model.LoadMask, model.LoadMatch));
    const int n = static_cast<int>(c.stored.size());
    EXPECT_THAT(Bytes(0x100, n), ElementsAreArray(c.stored));
    EXPECT_EQ(wb.ImageBuffer[0x100 + n], 0xFF);
    EXPECT_EQ(wb.ImageBuffer[0xFF], 0xFF);
    EXPECT_EQ(wb.LoadedEnd, 0x100 + n - 1);
    ASSERT_TRUE(wb.FileWin);
    EXPECT_EQ(wb.FileWin->EndAddr, wb.LoadedEnd);
    EXPECT_TRUE(prompts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, BinModes,
    ::testing::Values(ModeCase{0, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99}},
                      ModeCase{1, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99}},
                      ModeCase{2, {0x11, 0x33, 0x55, 0x77, 0x99}}, ModeCase{3, {0x22, 0x44, 0x66, 0x88}},
                      ModeCase{4, {0x11, 0x55, 0x99}}, ModeCase{5, {0x22, 0x66}},
                      ModeCase{6, {0x33, 0x77}}, ModeCase{7, {0x44, 0x88}}),
    [](const auto& info) { return "Mode" + std::to_string(info.param.index); });

TEST_F(FormatsTest, SixBytesAt100) {
    wb.LoadStart = 0x100;
    wb.DataFileName = Write("six.bin", "abcdef");
    LoadBin(wb, 0, 0);
    EXPECT_EQ(wb.LoadedEnd, 0x105);
    EXPECT_EQ(wb.FileWin->EndAddr, 0x105);
    EXPECT_EQ(wb.FileWin->Title, wb.DataFileName);
}

// A file that stores nothing (empty, or no byte the mode keeps) says so and
// changes nothing: the buffer window keeps its title and end.
struct NothingCase {
    const char* name;
    std::string bytes;
    int mode;
};

class BinNothing : public FormatsTest, public ::testing::WithParamInterface<NothingCase> {};

TEST_P(BinNothing, SaysSoAndKeepsTheWindow) {
    wb.DataFileName = Write("old.bin", "abcd");
    ASSERT_TRUE(LoadBin(wb, 0, 0));
    wb.SvfFileW = std::make_unique<SvfWindowState>();
    wb.DataFileName = Write("nothing.bin", GetParam().bytes);
    EXPECT_FALSE(LoadBin(wb, LoadModes[GetParam().mode].Mask, LoadModes[GetParam().mode].Match));
    EXPECT_EQ(wb.FileWin->Title, Path("old.bin"));
    EXPECT_EQ(wb.FileWin->EndAddr, 3);
    EXPECT_EQ(wb.LoadedEnd, 3);
    EXPECT_TRUE(wb.SvfFileW);
    EXPECT_EQ(wb.ImageBuffer[4], 0xFF);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"No data in " + wb.DataFileName + ": nothing was loaded"});
}

INSTANTIATE_TEST_SUITE_P(Files, BinNothing,
                         ::testing::Values(NothingCase{"Empty", "", 0}, NothingCase{"OneByteSecondOfSixteen", "x", 3},
                                           NothingCase{"ThreeBytesFourthOfThirtyTwo", "xyz", 7}),
                         CaseName([](const NothingCase& c) { return std::string(c.name); }));

// 9 MiB: the documented load stores the first 8 MiB, then one message names
// the first byte of the file that was not loaded.
struct LargeCase {
    const char* name;
    int mode;
    int start;
    int lastStored;
    const char* lostFrom;
};

class BinLarge : public FormatsTest, public ::testing::WithParamInterface<LargeCase> {};

TEST_P(BinLarge, LoadsWhatFitsAndSaysFromWhereOnNot) {
    const LargeCase& c = GetParam();
    std::string bytes(0x900000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + (i >> 16));
    wb.LoadStart = c.start;
    wb.DataFileName = Write("nine.bin", bytes);
    EXPECT_TRUE(LoadBin(wb, LoadModes[c.mode].Mask, LoadModes[c.mode].Match));
    EXPECT_EQ(wb.LoadedEnd, c.lastStored);
    EXPECT_EQ(wb.FileWin->EndAddr, c.lastStored);
    EXPECT_EQ(wb.FileWin->Title, wb.DataFileName);
    if (c.mode == 0) {
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + (c.lastStored - c.start + 1),
                               reinterpret_cast<const char*>(wb.ImageBuffer.data()) + c.start));
    }
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{
        std::string("Data from file offset ") + c.lostFrom +
        " on was not loaded: a load reads 800001 bytes at most and stores up to 7fffff"});
}

INSTANTIATE_TEST_SUITE_P(
    Files, BinLarge,
    ::testing::Values(LargeCase{"AllAtZero", 0, 0, ImageLastAddr, "800000"},
                      LargeCase{"AllAt100000", 0, 0x100000, ImageLastAddr, "700000"},
                      // 0x800001 input bytes are read: the even ones up to 0x800000.
                      LargeCase{"SixteenBitFirstByte", 2, 0, 0x400000, "800002"},
                      LargeCase{"ThirtyTwoBitFourthByteNearTheEnd", 7, 0x7FFFF0, ImageLastAddr, "000043"}),
    CaseName([](const LargeCase& c) { return std::string(c.name); }));

TEST_F(FormatsTest, LoadBinFreesFuseAndSvfWindows) {
    wb.PldFileW = std::make_unique<FuseWindowState>();
    wb.SvfFileW = std::make_unique<SvfWindowState>();
    wb.DataFileName = Write("a.bin", "x");
    LoadBin(wb, 0, 0);
    EXPECT_FALSE(wb.PldFileW);
    EXPECT_FALSE(wb.SvfFileW);
    EXPECT_TRUE(wb.FileWin);
}

TEST_F(FormatsTest, LoadStopsAtTheImageEnd) {
    wb.LoadStart = ImageLastAddr - 1;
    wb.DataFileName = Write("four.bin", "\x01\x02\x03\x04");
    LoadBin(wb, 0, 0);
    EXPECT_EQ(wb.LoadedEnd, ImageLastAddr);
    EXPECT_EQ(wb.ImageBuffer[ImageLastAddr - 1], 0x01);
    EXPECT_EQ(wb.ImageBuffer[ImageLastAddr], 0x02);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Data from file offset 000002 on was not loaded: a load reads 800001 bytes at most and stores up to 7fffff"});
}

class BinStartOutside : public FormatsTest, public ::testing::WithParamInterface<int> {};

TEST_P(BinStartOutside, ChangesNothingAndSaysSo) {
    wb.FileNew();
    wb.FileWin->EndAddr = 0x1234;
    wb.PldFileW = std::make_unique<FuseWindowState>();
    wb.LoadedEnd = 55;
    wb.LoadStart = GetParam();
    wb.DataFileName = Write("a.bin", "abc");
    EXPECT_FALSE(LoadBin(wb, 0, 0));
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(wb.LoadedEnd, 55);
    EXPECT_EQ(wb.FileWin->EndAddr, 0x1234);
    EXPECT_TRUE(wb.PldFileW);
    EXPECT_EQ(wb.ImageBuffer[0], 0xFF);
    EXPECT_EQ(wb.ImageBuffer[ImageLastAddr], 0);
}

INSTANTIATE_TEST_SUITE_P(Starts, BinStartOutside, ::testing::Values(-1, -0x7FFFFFFF - 1, 0x800000, 0x7FFFFFFF),
                         quilla::test::CaseName([](const auto& c) { return std::to_string(c); }));

TEST_F(FormatsTest, CdsShiftsByTwo) {
    wb.DataFileName = Write("a.cds", "\xAA\xBB\x01\x02\x03");
    ASSERT_TRUE(LoadCds(wb));
    EXPECT_THAT(Bytes(0, 6), ElementsAre(0x01, 0x02, 0x03, 0xFF, 0xFF, 0xFF));
    EXPECT_EQ(wb.FileWin->EndAddr, 4);
    EXPECT_EQ(wb.LoadedEnd, 4);
}

TEST(CdsShift, KeepsPositionsWhoseSourceIsPastTheImage) {
    std::vector<std::uint8_t> image = {1, 2, 3, 4, 5, 6};
    CdsShift(image, 5);
    EXPECT_THAT(image, ElementsAre(3, 4, 5, 6, 5, 6));
    CdsShift(image, -1);
    EXPECT_THAT(image, ElementsAre(3, 4, 5, 6, 5, 6));
}

// A file that is there but may not be read is named.
TEST_F(FormatsTest, UnreadableBinaryIsNamed) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser reads any file";
    wb.DataFileName = Write("locked.bin", "\x01\x02");
    std::filesystem::permissions(wb.DataFileName, std::filesystem::perms::none);
    EXPECT_FALSE(LoadBin(wb, 0, 0));
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Cann't open *.bin: \n" + wb.DataFileName});
    EXPECT_EQ(wb.ImageBuffer[0], 0xFF);
}

TEST_F(FormatsTest, OpenFailureTextForBinaryAndCds) {
    wb.DataFileName = Path("missing.bin");
    wb.LoadedEnd = 9;
    EXPECT_FALSE(LoadBin(wb, 0, 0));
    EXPECT_FALSE(LoadCds(wb));
    ASSERT_EQ(prompts.shown.size(), 2u);
    for (auto& m : prompts.shown) {
        EXPECT_EQ(m.text, "Cann't open *.bin: \n" + wb.DataFileName);
        EXPECT_EQ(m.caption, " ");
    }
    EXPECT_EQ(wb.LoadedEnd, 9);
    EXPECT_FALSE(wb.FileWin);
    EXPECT_EQ(wb.ImageBuffer[0], 0xFF);
}

struct SaveCase {
    const char* name;
    const char* start;
    const char* end;
    int from;   // first address written
    int count;  // bytes written
};

std::ostream& operator<<(std::ostream& os, const SaveCase& c) { return os << c.name; }

class BinSave : public FormatsTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(BinSave, WritesTheRangeInsideTheImage) {
    const SaveCase& c = GetParam();
    for (int a = 0; a < 0x100; ++a) wb.ImageBuffer[a] = static_cast<std::uint8_t>(a);
    for (int a = ImageLastAddr - 0xFF; a <= ImageLastAddr; ++a) wb.ImageBuffer[a] = static_cast<std::uint8_t>(a);
    wb.DataFileName = Path("out.bin");
    EXPECT_TRUE(SaveBin(wb, c.start, c.end));
    std::string got = Read(wb.DataFileName);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(c.count));
    for (int k = 0; k < c.count; ++k) EXPECT_EQ(static_cast<std::uint8_t>(got[k]), wb.ImageBuffer[c.from + k]);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, BinSave,
    ::testing::Values(SaveCase{"EndBelowStart", "10", "f", 0, 0}, SaveCase{"Four", "000000", "000003", 0, 4},
                      SaveCase{"Inner", "0x10", "1f", 0x10, 16},
                      SaveCase{"NegativeStartClipped", "ffffffff", "3", 0, 4},
                      SaveCase{"PastTheImageClipped", "7ffffe", "ffffff", ImageLastAddr - 1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormatsTest, SaveBinWithUnreadableFieldLeavesTheFileAlone) {
    wb.DataFileName = Write("keep.bin", "old");
    EXPECT_FALSE(SaveBin(wb, "zz", "10"));
    EXPECT_FALSE(SaveBin(wb, "0", ""));
    EXPECT_EQ(Read(wb.DataFileName), "old");
    EXPECT_EQ(prompts.shown.size(), 2u);
}

struct ExtCase {
    const char* name;
    int index;
};

class ByExt : public ::testing::TestWithParam<ExtCase> {};

TEST_P(ByExt, PreselectsTheFormat) {
    EXPECT_EQ(FormatIndexByExt(GetParam().name), GetParam().index) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, ByExt,
    ::testing::Values(ExtCase{"a.hex", FmtHex}, ExtCase{"/x/A.HEX", FmtHex}, ExtCase{"b.Hex", FmtHex},
                      ExtCase{"c.JED", FmtJed}, ExtCase{"d.cds", FmtCds}, ExtCase{"e.svf", FmtSvf},
                      ExtCase{"f.bin", FmtBin}, ExtCase{"noext", FmtBin}, ExtCase{"g.txt", FmtBin},
                      ExtCase{"h.hexadecimal", FmtHex}, ExtCase{"/data/v1.hex/image", FmtBin},
                      ExtCase{"/data/v1.jed/image.bin", FmtBin}, ExtCase{"", FmtBin}),
    quilla::test::CaseName([](const auto& c) { return std::string(c.name); }));

}  // namespace
}  // namespace quilla::test
