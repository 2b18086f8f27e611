#include "app/hexfile.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "app/binfile.h"
#include "formats_util.h"
#include "support/fixtures.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(HexPair, ReadsDigitsOfEitherCase) {
    EXPECT_EQ(HexPair('0', '0'), 0x00);
    EXPECT_EQ(HexPair('F', 'f'), 0xFF);
    EXPECT_EQ(HexPair('a', 'B'), 0xAB);
    EXPECT_EQ(HexPair('7', 'e'), 0x7E);
}

// Where a read should have stored what, and what it ends with.
struct Store {
    int addr;
    std::vector<std::uint8_t> bytes;
};
struct ReadCase {
    const char* name;
    std::string text;
    std::vector<Store> stored;
    std::vector<int> untouched;  // addresses that keep the fill value 0x5A
    int endAddr;
    std::vector<std::string> messages;
};

std::ostream& operator<<(std::ostream& os, const ReadCase& c) { return os << c.name; }

const std::string End = ":00000001FF";

std::vector<ReadCase> ReadCases() {
    return {
        {"DataAt10", Rec(0, 0x10, {1, 2, 3, 4}) + End, {{0x10, {1, 2, 3, 4}}}, {0x0F, 0x14}, 0x13, {}},
        {"LinearBase1", Rec(4, 0, {0x00, 0x01}) + Rec(0, 0, {0xAA, 0xBB}) + End,
         {{0x10000, {0xAA, 0xBB}}}, {0, 1, 0x10002}, 0x10001, {}},
        {"SegmentThenLinearOnTop",
         Rec(2, 0, {0x10, 0x00}) + Rec(0, 0, {0x11}) + Rec(4, 0, {0x00, 0x01}) + Rec(0, 0, {0x22}) + End,
         {{0x10000, {0x11}}, {0x20000, {0x22}}}, {0}, 0x20000, {}},
        {"StopAboveFFFFF",
         Rec(4, 0, {0x00, 0x0F}) + Rec(0, 0xFFFE, {1, 2, 3, 4}) + Rec(0, 0x10, {9}) + End,
         {{0xFFFFE, {1, 2}}}, {0x10, 0xFFFFD}, 0xFFFFF, {"Data from address 100000 on was not loaded: a HEX file loads into 000000..0fffff"}},
        {"Type05WrongFile", Rec(0, 0x20, {7}) + Rec(5, 0, {0, 0, 0, 0}) + Rec(0, 0x21, {8}) + End,
         {{0x20, {7}}}, {0x21}, 0x20, {"Wrong file"}},
        {"ColonAfterPrintable", "Title:" + Rec(0, 0x30, {1}) + Rec(0, 0x40, {2}) + End,
         {{0x40, {2}}}, {0x30}, 0x40, {}},
        {"ColonAfterHighByte", "\xC0" + Rec(0, 0x30, {1}) + Rec(0, 0x40, {2}) + End,
         {{0x40, {2}}}, {0x30}, 0x40, {}},
        // Nothing stored: a message, and no buffer window takes the file's name.
        {"NoData", End, {}, {0}, 0, {"No data in {file}: nothing was loaded"}},
        {"EmptyFile", "", {}, {0}, 0, {"No data in {file}: nothing was loaded"}},
        {"OnlyText", "not a hex file\r\n", {}, {0}, 0, {"No data in {file}: nothing was loaded"}},
        {"LfLineEndsNoFinalBreak", ":02005000123468\n:00000001FF", {{0x50, {0x12, 0x34}}}, {}, 0x51, {}},
        {"LowerCaseDigits", ":02005000ab12f1\r\n:00000001ff", {{0x50, {0xAB, 0x12}}}, {}, 0x51, {}},
        {"Type03Skipped", Rec(3, 0, {0, 0, 0x10, 0}) + Rec(0, 0x60, {5}) + End, {{0x60, {5}}}, {}, 0x60, {}},
        {"NoEndRecord", Rec(0, 0x70, {6}), {{0x70, {6}}}, {}, 0x70, {}},
        // Bases that would wrap a 32-bit address stay large: nothing is stored.
        {"HugeLinearBase", Rec(4, 0, {0xFF, 0xFF}) + Rec(0, 0, {1}) + End, {}, {0}, 0, {"Data from address ffff0000 on was not loaded: a HEX file loads into 000000..0fffff"}},
        {"HugeSegmentBase", Rec(2, 0, {0xFF, 0xFF}) + Rec(0, 0xFFFF, {1}) + End, {}, {0x0FFEF}, 0, {"Data from address 10ffef on was not loaded: a HEX file loads into 000000..0fffff"}},
        {"RecordAbove800001", Rec(4, 0, {0x00, 0x80}) + Rec(0, 2, {1}) + End, {}, {2}, 0, {"Data from address 800002 on was not loaded: a HEX file loads into 000000..0fffff"}},
        {"CutShortRecord", ":0400100001", {{0x10, {1}}}, {0x11, 0x12, 0x13}, 0x10,
         {"Checksum error in line 1"}},
        {"CutInsideAPair", ":040010000102F", {{0x10, {1, 2}}}, {0x12}, 0x11, {"Checksum error in line 1"}},
        {"TrailingColon", Rec(0, 0x10, {1}) + ":", {{0x10, {1}}}, {}, 0x10, {"Checksum error in line 2"}},
        // A line cut short (8 pairs of a 13-byte record) stores its own pairs
        // and nothing from the next line, which is read as its own record.
        {"LineCutShortKeepsTheNextLineOut",
         ":0D0010000102030405060708\r\n" + Rec(0, 0x40, {0xAA, 0xBB}) + End,
         {{0x10, {1, 2, 3, 4, 5, 6, 7, 8}}, {0x40, {0xAA, 0xBB}}}, {0x18, 0x19, 0x1A, 0x1C}, 0x41,
         {"Checksum error in line 1"}},
        {"LfLineCutShort", ":0400200001\n:0100300055\n:00000001FF",
         {{0x20, {1}}, {0x30, {0x55}}}, {0x21, 0x22, 0x23}, 0x30, {"Checksum error in line 1"}},
        // A base record cut short sets no base from the next line's digits.
        {"BaseRecordCutShort", ":0200000400\r\n" + Rec(0, 0x50, {9}) + End,
         {{0x50, {9}}}, {0x51}, 0x50, {"Checksum error in line 1"}},
        // The data complete but the checksum missing: the checksum pair is not
        // taken from the next line.
        {"ChecksumPairMissing", ":0100600077\r\n" + Rec(0, 0x61, {8}) + End,
         {{0x60, {0x77, 8}}}, {0x62}, 0x61, {"Checksum error in line 1"}},
        // A toolchain's PIC18 file: program, IDs (200000h), configuration
        // (300000h), then the data EEPROM (F00000h), stored at 0F0000h.
        {"Pic18EepromPastIdsAndConfiguration",
         Rec(0, 0, {1}) + Rec(4, 0, {0x00, 0x20}) + Rec(0, 0, {0xAA}) + Rec(4, 0, {0x00, 0x30}) +
             Rec(0, 0, {0x3F}) + Rec(4, 0, {0x00, 0xF0}) + Rec(0, 0, {0x11, 0x22}) + End,
         {{0, {1}}, {0xF0000, {0x11, 0x22}}}, {1, 0xF0002}, 0xF0001,
         {"Data from address 200000 on was not loaded: a HEX file loads into 000000..0fffff; its data EEPROM "
          "records (f00000..) were loaded at 0f0000.."}},
        {"OnlyEepromRecords", Rec(4, 0, {0x00, 0xF0}) + Rec(0, 0x10, {5}) + End, {{0xF0010, {5}}}, {0xF0011}, 0xF0010, {}},
        // Past the EEPROM window nothing is stored.
        {"AboveTheEepromWindow", Rec(4, 0, {0x00, 0xF1}) + Rec(0, 0, {5}) + Rec(4, 0, {0, 0}) + Rec(0, 0x20, {6}) + End,
         {}, {0x20}, 0, {"Data from address f10000 on was not loaded: a HEX file loads into 000000..0fffff"}},
        {"ChecksumWarnsOnceWithFirstLine",
         Rec(0, 0x10, {1}) + "\r\n" + ":0100110002ED\r\n" + ":0100120003EC\r\n" + End,
         {{0x10, {1, 2, 3}}}, {}, 0x12, {"Checksum error in line 3"}},
    };
}

class HexRead : public FormatsTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(HexRead, StoresWhatTheFileNames) {
    const ReadCase& c = GetParam();
    std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 0x100000, 0x5A);
    wb.DataFileName = Write("in.hex", c.text);
    LoadHex(wb);
    for (const Store& s : c.stored)
        EXPECT_THAT(Bytes(s.addr, static_cast<int>(s.bytes.size())), ElementsAreArray(s.bytes))
            << "at " << std::hex << s.addr;
    for (int a : c.untouched) EXPECT_EQ(wb.ImageBuffer[a], 0x5A) << "at " << std::hex << a;
    if (c.stored.empty()) {
        EXPECT_FALSE(wb.FileWin);
    } else {
        ASSERT_TRUE(wb.FileWin);
        EXPECT_EQ(wb.FileWin->EndAddr, c.endAddr);
    }
    EXPECT_EQ(wb.LoadedEnd, c.endAddr);
    std::vector<std::string> messages = c.messages;
    for (auto& m : messages)
        if (auto at = m.find("{file}"); at != std::string::npos) m.replace(at, 6, wb.DataFileName);
    EXPECT_EQ(prompts.Texts(), messages);
    for (auto& m : prompts.shown) EXPECT_EQ(m.caption, Prompts::AppTitle);
}

INSTANTIATE_TEST_SUITE_P(Cases, HexRead, ::testing::ValuesIn(ReadCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A toolchain's PIC18 configuration bytes (300000h-30000Dh) are kept beside
// the image, never stored in it, wherever the read met them.
struct ConfigCase {
    const char* name;
    std::string text;
    std::uint16_t present;
    std::vector<std::pair<int, std::uint8_t>> bytes;  // (index, value)
};

std::ostream& operator<<(std::ostream& os, const ConfigCase& c) { return os << c.name; }

std::vector<ConfigCase> ConfigCases() {
    return {
        {"AfterProgramAndIds",
         Rec(0, 0, {1}) + Rec(4, 0, {0x00, 0x20}) + Rec(0, 0, {0xAA}) + Rec(4, 0, {0x00, 0x30}) +
             Rec(0, 1, {0x22, 0x0F, 0x0E}) + Rec(0, 8, {0x0F, 0xC0}) + Rec(4, 0, {0x00, 0xF0}) +
             Rec(0, 0, {0x11}) + End,
         0x030E, {{1, 0x22}, {2, 0x0F}, {3, 0x0E}, {8, 0x0F}, {9, 0xC0}}},
        {"FirstDataPastTheImage", Rec(4, 0, {0x00, 0x30}) + Rec(0, 0, {0x3F}) + End, 0x0001, {{0, 0x3F}}},
        {"RecordReachingPast30000D", Rec(4, 0, {0x00, 0x30}) + Rec(0, 0x0C, {1, 2, 3, 4}) + End, 0x3000,
         {{12, 1}, {13, 2}}},
        {"RecordFromBelow300000", Rec(4, 0, {0x00, 0x2F}) + Rec(0, 0xFFFE, {5, 6, 7}) + End, 0x0001, {{0, 7}}},
        {"Above30000D", Rec(4, 0, {0x00, 0x30}) + Rec(0, 0x0E, {1, 2}) + End, 0, {}},
        {"NoneInAProgramFile", Rec(0, 0, {1, 2}) + End, 0, {}},
    };
}

class HexConfig : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(HexConfig, KeptBesideTheImage) {
    const ConfigCase& c = GetParam();
    std::vector<std::uint8_t> image(0x100000, 0x5A);
    const std::vector<std::uint8_t> text(c.text.begin(), c.text.end());
    const HexReadResult r = ParseHex(text, image);
    EXPECT_EQ(r.Config.Present, c.present);
    for (const auto& [i, v] : c.bytes) EXPECT_EQ(r.Config.Value[static_cast<std::size_t>(i)], v) << i;
    for (std::size_t a = 2; a < 0xF0000; ++a) ASSERT_EQ(image[a], 0x5A) << std::hex << a;
    EXPECT_EQ(r.ChecksumErrorLine, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, HexConfig, ::testing::ValuesIn(ConfigCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A configuration record is checked like a stored one: a wrong checksum is
// named by its line, and (as everywhere) it does not change what is kept.
TEST(HexConfigRecord, AWrongChecksumIsNamedByItsLine) {
    std::vector<std::uint8_t> image(0x100000, 0x5A);
    std::string bad = Rec(0, 1, {0x22});
    bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';  // the checksum's low digit
    const std::string text = Rec(0, 0, {1}) + Rec(4, 0, {0x00, 0x30}) + bad + End;
    const HexReadResult r = ParseHex(std::vector<std::uint8_t>(text.begin(), text.end()), image);
    EXPECT_EQ(r.ChecksumErrorLine, 3);
    EXPECT_EQ(r.Config.Present, 0x0002);
    EXPECT_EQ(r.Config.Value[1], 0x22);
}

// The load keeps them for the forms; a load of another format forgets them.
TEST_F(FormatsTest, LoadHexKeepsTheConfigurationBytesABinaryLoadForgetsThem) {
    wb.DataFileName = Write("a.hex", Rec(0, 0, {1}) + Rec(4, 0, {0x00, 0x30}) + Rec(0, 1, {0x22}) + End);
    LoadHex(wb);
    EXPECT_EQ(wb.LoadedConfig.Present, 0x0002);
    EXPECT_EQ(wb.LoadedConfig.Value[1], 0x22);
    wb.DataFileName = Write("a.bin", "\x01");
    ASSERT_TRUE(LoadBin(wb, 0, 0));
    EXPECT_FALSE(wb.LoadedConfig.Any());
}

TEST_F(FormatsTest, LoadHexFixtureWithTitleLine) {
    wb.DataFileName = FixturesDir() + "hex/title.hex";
    LoadHex(wb);
    EXPECT_THAT(Bytes(0x100, 8), ElementsAre(0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0x45, 0x67));
    EXPECT_EQ(wb.FileWin->EndAddr, 0x107);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(FormatsTest, LoadHexReplacesOtherDataWindows) {
    wb.PldFileW = std::make_unique<FuseWindowState>();
    wb.SvfFileW = std::make_unique<SvfWindowState>();
    wb.DataFileName = Write("a.hex", Rec(0, 0, {1}) + End);
    LoadHex(wb);
    EXPECT_FALSE(wb.PldFileW);
    EXPECT_FALSE(wb.SvfFileW);
    ASSERT_TRUE(wb.FileWin);
    EXPECT_EQ(wb.FileWin->Title, wb.DataFileName);
    EXPECT_EQ(wb.FileWin->ViewStart, 0);
}

// A file that stores nothing leaves the buffer window as it was: its title,
// end and view, and the other data windows.
TEST_F(FormatsTest, LoadHexOfAnEmptyFileKeepsTheOldTitle) {
    wb.DataFileName = Write("old.hex", Rec(0, 0x10, {1, 2}) + End);
    LoadHex(wb);
    wb.FileWin->ViewStart = 0x100;
    wb.DataFileName = Write("empty.hex", "");
    LoadHex(wb);
    EXPECT_EQ(wb.FileWin->Title, Path("old.hex"));
    EXPECT_EQ(wb.FileWin->EndAddr, 0x11);
    EXPECT_EQ(wb.FileWin->ViewStart, 0x100);
    EXPECT_EQ(wb.LoadedEnd, 0x11);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"No data in " + Path("empty.hex") + ": nothing was loaded"});
}

// A 2 MiB file: the first MiB is loaded as documented, then one message.
TEST_F(FormatsTest, LoadHexOfTwoMiBLoadsTheFirstAndSaysWhereItStopped) {
    std::vector<std::uint8_t> image(0x200000);
    std::mt19937 rng(5);
    for (auto& b : image) b = static_cast<std::uint8_t>(rng());
    wb.DataFileName = Write("two.hex", FormatHex(image, 0x1FFFFF));
    LoadHex(wb);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x100000, wb.ImageBuffer.begin()));
    EXPECT_EQ(wb.ImageBuffer[0x100000], 0);  // untouched
    EXPECT_EQ(wb.LoadedEnd, 0xFFFFF);
    EXPECT_EQ(wb.FileWin->EndAddr, 0xFFFFF);
    EXPECT_EQ(wb.FileWin->Title, wb.DataFileName);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Data from address 100000 on was not loaded: a HEX file loads into 000000..0fffff"});
}

TEST_F(FormatsTest, LoadHexOpenFailureChangesNothing) {
    wb.PldFileW = std::make_unique<FuseWindowState>();
    wb.LoadedEnd = 77;
    wb.DataFileName = Path("missing.hex");
    auto before = Bytes(0, 0x100);
    LoadHex(wb);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Cann't open :\n" + wb.DataFileName);
    EXPECT_EQ(prompts.shown[0].caption, " ");
    EXPECT_TRUE(wb.PldFileW);
    EXPECT_FALSE(wb.FileWin);
    EXPECT_EQ(wb.LoadedEnd, 77);
    EXPECT_EQ(Bytes(0, 0x100), before);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t p = 0;
    for (;;) {
        std::size_t e = text.find("\r\n", p);
        if (e == std::string::npos) {
            lines.push_back(text.substr(p));
            return lines;
        }
        lines.push_back(text.substr(p, e - p));
        p = e + 2;
    }
}

TEST(FormatHex, SmallImageExactText) {
    std::vector<std::uint8_t> image(16, 0);
    image[0] = 1, image[1] = 2, image[2] = 3, image[3] = 4;
    EXPECT_EQ(FormatHex(image, 3), ":0400000001020304F2\r\n:00000001FF");
}

TEST(FormatHex, NegativeLastGivesOnlyTheEndRecord) {
    std::vector<std::uint8_t> image(16, 0);
    EXPECT_EQ(FormatHex(image, -1), ":00000001FF");
}

TEST(FormatHex, End40IsOne32AndOne9ByteRecord) {
    std::vector<std::uint8_t> image(64, 0xEE);
    auto lines = Lines(FormatHex(image, 40));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(0, 9), ":20000000");
    EXPECT_EQ(lines[0].size(), 1 + 8 + 64 + 2u);
    EXPECT_EQ(lines[1].substr(0, 9), ":09002000");
    EXPECT_EQ(lines[1].size(), 1 + 8 + 18 + 2u);
    EXPECT_EQ(lines[2], ":00000001FF");
}

TEST(FormatHex, End1001FHas801RecordsAndOneLinearRecord) {
    std::vector<std::uint8_t> image(0x20000, 0x00);
    auto lines = Lines(FormatHex(image, 0x1001F));
    int data = 0;
    std::vector<std::size_t> linear;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].compare(7, 2, "00") == 0 && lines[i] != ":00000001FF") ++data;
        if (lines[i].compare(7, 2, "04") == 0) linear.push_back(i);
    }
    EXPECT_EQ(data, 0x801);
    ASSERT_EQ(linear.size(), 1u);
    EXPECT_EQ(lines[linear[0]], ":020000040001F9");
    EXPECT_EQ(lines[linear[0] + 1].substr(0, 9), ":20000000");
    EXPECT_EQ(linear[0], 2048u);  // right after the records of the first 64 KiB
    EXPECT_EQ(lines[lines.size() - 2].substr(0, 3), ":20");
    EXPECT_EQ(lines.back(), ":00000001FF");
}

TEST(FormatHex, LastIsKeptInsideTheImage) {
    std::vector<std::uint8_t> image(40, 0x11);
    std::vector<std::uint8_t> back(40, 0);
    HexReadResult r = ParseHex(
        [&] { auto s = FormatHex(image, 0x7FFFFFFF); return std::vector<std::uint8_t>(s.begin(), s.end()); }(),
        back);
    EXPECT_EQ(r.HighestAddr, 39);
    EXPECT_EQ(back, image);
}

class HexRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(HexRoundTrip, WriteThenReadGivesTheImageBack) {
    const int last = GetParam();
    std::vector<std::uint8_t> image(0x100000);
    std::mt19937 rng(last);
    for (auto& b : image) b = static_cast<std::uint8_t>(rng());
    std::string text = FormatHex(image, last);
    std::vector<std::uint8_t> back(ImageSize, 0);
    HexReadResult r = ParseHex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, back);
    EXPECT_EQ(r.HighestAddr, last);
    EXPECT_FALSE(r.WrongFile);
    EXPECT_EQ(r.ChecksumErrorLine, 0);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + last + 1, back.begin()));
    EXPECT_EQ(back[last + 1], 0);
}

INSTANTIATE_TEST_SUITE_P(Ends, HexRoundTrip, ::testing::Values(0, 31, 32, 40, 0xFFFF, 0x10000, 0x1001F, 0xFFFFF),
                         quilla::test::CaseName([](const auto& c) { return std::to_string(c); }));

// The ranges a read reports (file order, a byte that follows the last range
// or repeats its end joins it), whether a record is stored in one go or byte
// by byte (cut by its line, crossing 0FFFFFh, EEPROM records).
struct RangesCase {
    const char* name;
    std::string text;
    std::vector<std::pair<int, int>> ranges;
};

std::ostream& operator<<(std::ostream& os, const RangesCase& c) { return os << c.name; }

class HexRanges : public ::testing::TestWithParam<RangesCase> {};

TEST_P(HexRanges, JoinFollowingBytesInFileOrder) {
    std::vector<std::uint8_t> image(0x100000);
    const std::string& t = GetParam().text;
    const HexReadResult r = ParseHex({reinterpret_cast<const std::uint8_t*>(t.data()), t.size()}, image);
    EXPECT_EQ(r.Ranges, GetParam().ranges);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexRanges,
    ::testing::Values(
        RangesCase{"Following", Rec(0, 0x10, {1, 2}) + Rec(0, 0x12, {3}) + End, {{0x10, 0x12}}},
        RangesCase{"Gap", Rec(0, 0x10, {1}) + Rec(0, 0x20, {2, 3}) + End, {{0x10, 0x10}, {0x20, 0x21}}},
        RangesCase{"RepeatsTheLastByte", Rec(0, 0x10, {1, 2}) + Rec(0, 0x11, {9, 8}) + End, {{0x10, 0x12}}},
        RangesCase{"Backwards", Rec(0, 0x20, {1}) + Rec(0, 0x10, {2, 3}) + Rec(0, 0x12, {4}) + End,
                   {{0x20, 0x20}, {0x10, 0x12}}},
        RangesCase{"InsideTheLastRange", Rec(0, 0x10, {1, 2, 3, 4}) + Rec(0, 0x11, {5}) + End,
                   {{0x10, 0x13}, {0x11, 0x11}}},
        RangesCase{"A255ByteRecord", Rec(0, 0x100, std::vector<std::uint8_t>(255, 7)) + End, {{0x100, 0x1FE}}},
        RangesCase{"CrossingFFFFF", Rec(4, 0, {0x00, 0x0F}) + Rec(0, 0xFFF0, {1}) + Rec(0, 0xFFFE, {2, 3, 4}) + End,
                   {{0xFFFF0, 0xFFFF0}, {0xFFFFE, 0xFFFFF}}},
        RangesCase{"LineCutThenFollowing", ":0D0010000102030405060708\r\n" + Rec(0, 0x18, {9}) + End, {{0x10, 0x18}}},
        RangesCase{"EepromRecordsAfterProgram",
                   Rec(0, 0, {1}) + Rec(4, 0, {0x00, 0xF0}) + Rec(0, 0, {2, 3}) + Rec(0, 2, {4}) + End,
                   {{0, 0}, {0xF0000, 0xF0002}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormatsTest, SaveHexWritesTheBufferWindowRange) {
    wb.FileNew();
    wb.FileWin->EndAddr = 3;
    wb.ImageBuffer[0] = 1, wb.ImageBuffer[1] = 2, wb.ImageBuffer[2] = 3, wb.ImageBuffer[3] = 4;
    wb.DataFileName = Path("out.hex");
    SaveHex(wb);
    EXPECT_EQ(Read(wb.DataFileName), ":0400000001020304F2\r\n:00000001FF");
}

TEST_F(FormatsTest, SaveHexWithoutBufferWindowWritesNothing) {
    wb.DataFileName = Path("out.hex");
    SaveHex(wb);
    EXPECT_FALSE(std::filesystem::exists(wb.DataFileName));
}

TEST_F(FormatsTest, SaveHexIntoMissingFolderSaysSo) {
    wb.FileNew();
    wb.DataFileName = Path("no/such/folder/out.hex");
    EXPECT_FALSE(SaveHex(wb));
    EXPECT_EQ(prompts.Texts(),
              std::vector<std::string>{"Can not save " + wb.DataFileName + ": No such file or directory"});
}

}  // namespace
}  // namespace quilla::test
