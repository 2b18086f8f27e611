#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/jedec.h"
#include "app/workbench.h"
#include "support/fixtures.h"
#include "support/param_names.h"
#include "support/scripted_prompts.h"

namespace fs = std::filesystem;
using namespace quilla;

namespace {

std::string ReadFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void WriteFile(const fs::path& p, const std::string& s) {
    std::ofstream f(p, std::ios::binary);
    f << s;
}

std::string Fixture(const std::string& name) {
    return ReadFile(fs::path(test::FixturesDir()) / "jed" / name);
}

// The JEDEC checksum written out here on its own: 8 fuses a byte, fuse 0 in
// bit 0, a 16-bit wrapping sum.
unsigned ReferenceSum(const std::string& fuses) {
    unsigned sum = 0;
    for (std::size_t g = 0; g < fuses.size(); g += 8) {
        unsigned byte = 0;
        for (std::size_t k = 0; k < 8 && g + k < fuses.size(); ++k)
            if (fuses[g + k] == '1') byte |= 1u << k;
        sum = (sum + byte) & 0xFFFF;
    }
    return sum;
}

std::string Fuses(const std::vector<std::uint8_t>& image, std::size_t from, std::size_t n) {
    return std::string(image.begin() + from, image.begin() + from + n);
}

class JedecFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("quilla_jedec_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

const char* const SmallRows[] = {"01010101", "11110000", "10000001", "00000000",
                                 "11111111", "00110011", "01000000", "00000010"};

}  // namespace

TEST_F(JedecFiles, WriterLayoutMatchesFixtureAndReadsBack) {
    std::vector<std::uint8_t> image(4096, 0xFF);
    FuseWindowState w;
    w.FuseCols = 8;
    w.FuseRows = 2;  // the file holds 2 + 6 rows
    std::string map;
    for (auto* r : SmallRows) map += r;
    std::copy(map.begin(), map.end(), image.begin());

    // A name with another extension is saved under ".JED".
    ASSERT_TRUE(WriteJed(image, w, 0, (dir / "small.bin").string()));
    EXPECT_FALSE(fs::exists(dir / "small.bin"));
    EXPECT_EQ(ReadFile(dir / "small.JED"), Fixture("small_written.jed"));

    std::vector<std::uint8_t> back(4096, 'x');
    EXPECT_EQ(ReadJed(back, w, (dir / "small.JED").string()), 64);
    EXPECT_EQ(Fuses(back, 0, 64), map);
    EXPECT_EQ(back[64], 'x');
}

TEST(JedecWriter, DeviceLineFollowsVariant) {
    std::vector<std::uint8_t> image(1024, '1');
    FuseWindowState w;
    w.FuseCols = 4;
    w.FuseRows = 0;
    EXPECT_EQ(JedText(image, w, 0).substr(0, 25), "GAL16V8\r\nRavol*\r\nL0000 \r\n");
    EXPECT_EQ(JedText(image, w, 1).substr(0, 25), "GAL20V8\r\nRavol*\r\nL0000 \r\n");
    EXPECT_EQ(JedText(image, w, 2).substr(0, 15), "Ravol*\r\nL0000 \r");
    EXPECT_EQ(JedText(image, w, -1).substr(0, 6), "Ravol*");
}

TEST(JedecWriter, ChecksumFieldCoversTheWrittenFuses) {
    std::mt19937 rng(7);
    std::vector<std::uint8_t> image(8192, 0);
    for (auto& b : image) b = (rng() & 1) ? '1' : '0';
    FuseWindowState w;  // 32 x (64 + 6)
    const std::string text = JedText(image, w, 0);
    const std::string written = Fuses(image, 0, 70 * 32);
    char expect[8];
    std::snprintf(expect, sizeof expect, "C%04X*", ReferenceSum(written));
    EXPECT_EQ(text.substr(text.size() - 6), expect);
    EXPECT_EQ(text.substr(text.size() - 9, 3), "*\r\n");
}

// More rows than the writer writes: 135 rows, the list still closed by '*',
// the checksum over those rows, and the file reads back.
TEST_F(JedecFiles, LongMapIsCutAt135RowsAndClosed) {
    std::mt19937 rng(3);
    std::vector<std::uint8_t> image(1 << 16, 0);
    for (auto& b : image) b = (rng() & 1) ? '1' : '0';
    FuseWindowState w;
    w.FuseCols = 44;
    w.FuseRows = 132;
    ASSERT_TRUE(WriteJed(image, w, 2, (dir / "long.jed").string()));
    const std::string text = ReadFile(dir / "long.jed");
    // 3 header lines + 135 rows; the last row carries the '*'.
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, 2u + 135u);
    const std::string written = Fuses(image, 0, 135 * 44);
    const std::size_t lastRow = text.rfind("*\r\nC");
    ASSERT_NE(lastRow, std::string::npos);
    EXPECT_EQ(text.substr(lastRow - 44, 44), written.substr(134 * 44));
    char expect[8];
    std::snprintf(expect, sizeof expect, "C%04X*", ReferenceSum(written));
    EXPECT_EQ(text.substr(lastRow + 3), expect);

    std::vector<std::uint8_t> back(1 << 16, 'x');
    EXPECT_EQ(ReadJed(back, w, (dir / "long.jed").string()), 135 * 44);
    EXPECT_EQ(Fuses(back, 0, 135 * 44), written);
    EXPECT_EQ(Fuses(back, 135 * 44, 3 * 44), std::string(3 * 44, '0'));
}

// Files written before the list was always closed carry the checksum field
// inside the fuse list; the 'C' still ends the read there.
TEST(JedecReader, OldUnclosedLongFileStopsAtChecksum) {
    std::vector<std::uint8_t> image(4096, 'x');
    FuseWindowState w;
    w.FuseCols = 4;
    w.FuseRows = 2;
    EXPECT_EQ(ReadJedText(image, w, "Ravol*\r\nL0000 \r\n1111\r\n0110\r\nC0F06*\r\n1111"), 8);
    EXPECT_EQ(Fuses(image, 0, 8), "11110110");
    EXPECT_EQ(Fuses(image, 8, 24), std::string(24, '0'));
    EXPECT_EQ(image[32], 'x');
}

struct ReadCase {
    const char* name;
    std::string text;
    std::string fuses;  // expected fuses 0..15 ('0' for untouched within the map)
};

class JedecReaderCases : public ::testing::TestWithParam<ReadCase> {};

TEST_P(JedecReaderCases, StoresOnlyTheFusesOfLFields) {
    const ReadCase& c = GetParam();
    std::vector<std::uint8_t> image(64, 'x');
    FuseWindowState w;
    w.FuseCols = 4;
    w.FuseRows = -2;  // map of 16 fuses
    ReadJedText(image, w, c.text);
    EXPECT_EQ(Fuses(image, 0, 16), c.fuses);
    EXPECT_EQ(Fuses(image, 16, 48), std::string(48, 'x'));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, JedecReaderCases,
    ::testing::Values(
        ReadCase{"WriterStyle", "GAL16V8\r\nRavol*\r\nL0000 \r\n0101*\r\nC0005*", "0101000000000000"},
        ReadCase{"AddressedField", "x*L0008 1111*", "0000000011110000"},
        ReadCase{"BlankAfterNumberConsumed", "x*L5 1*L2 11*", "0011010000000000"},
        ReadCase{"EveryDigitOfTheAddress", "x*L0000004 1*", "0000100000000000"},
        ReadCase{"SevenDigitsThenFuses", "x*L0000003\r\n11*", "0001100000000000"},
        ReadCase{"HeaderDigitsIgnored", "GAL16V8 1101 C0\r\n*L0 1*", "1000000000000000"},
        ReadCase{"NotesWithDigitsAndCSkipped", "x*N 1101 C 0110 L9 *L1 11*N C1*", "0110000000000000"},
        ReadCase{"OtherFieldsSkipped", "x*QP20*G0*V0001 10101*L3 1*", "0001000000000000"},
        ReadCase{"DefaultStateBelowFuseCount", "x*QP20*QF12*F1*G0*L3 0*", "1110111111110000"},
        ReadCase{"FuseCountDefaultsToZero", "x*QF12*L3 1*", "0001000000000000"},
        ReadCase{"ChecksumFieldEndsRead", "x*L0 1*C0001*L4 1*", "1000000000000000"},
        ReadCase{"CInsideFuseListEndsRead", "x*L0 1C L4 1*", "1000000000000000"},
        ReadCase{"EndOfTextEndsRead", "x*L0 1*\x03" "1111", "1000000000000000"},
        ReadCase{"StarEndsAddress", "x*L4*11*L0 1*", "1000000000000000"},
        // No field ended by '*': nothing to load, nothing changes.
        ReadCase{"NoHeaderEnd", "L0 1111", "xxxxxxxxxxxxxxxx"},
        ReadCase{"LastFusesOfMap", "x*L12 0110*", "0000000000000110"}),
    [](const auto& info) { return std::string(info.param.name); });

// A file of more fuses than the window shows (a 20V8 map read while a 16V8
// is selected): its unlisted fuses take the default beyond the window too, so
// no fuse of an earlier map stays behind them.
TEST(JedecReader, SparseFileBeyondTheWindowLeavesNoStaleFuse) {
    std::vector<std::uint8_t> image(64, '1');
    FuseWindowState w;
    w.FuseCols = 4;
    w.FuseRows = -2;  // map of 16 fuses
    EXPECT_EQ(ReadJedText(image, w, "x*QF40*F0*L2 1*L30 1*C0000*"), 31);
    std::string want(40, '0');
    want[2] = want[30] = '1';
    EXPECT_EQ(Fuses(image, 0, 40), want);
    EXPECT_EQ(Fuses(image, 40, 24), std::string(24, '1'));
}

TEST(JedecReader, FusesBeyondImageAreDropped) {
    std::vector<std::uint8_t> image(16, 'x');
    FuseWindowState w;  // map larger than this image
    EXPECT_EQ(ReadJedText(image, w, "x*L10 111111111*"), 19);
    EXPECT_EQ(Fuses(image, 0, 16), "0000000000111111");
}

TEST_F(JedecFiles, MissingFileChangesNothing) {
    std::vector<std::uint8_t> image(4096, 'x');
    FuseWindowState w;
    EXPECT_EQ(ReadJed(image, w, (dir / "none.jed").string()), -1);
    EXPECT_EQ(Fuses(image, 0, 4096), std::string(4096, 'x'));
    EXPECT_FALSE(WriteJed(image, w, 0, (dir / "no" / "such" / "x.jed").string()));
}

struct NameCase {
    std::string in, out;
};
class JedecNames : public ::testing::TestWithParam<NameCase> {};
TEST_P(JedecNames, ExtensionOfFileNameOnly) { EXPECT_EQ(JedFileName(GetParam().in), GetParam().out); }
INSTANTIATE_TEST_SUITE_P(Names, JedecNames,
                         ::testing::Values(NameCase{"/tmp/x.bin", "/tmp/x.JED"},
                                           NameCase{"/tmp/x.jed", "/tmp/x.jed"},
                                           NameCase{"/tmp/x.Jed", "/tmp/x.Jed"},
                                           NameCase{"/tmp/x.JED", "/tmp/x.JED"},
                                           NameCase{"/tmp/a.b/x", "/tmp/a.b/x.JED"},
                                           NameCase{"x", "x.JED"},
                                           NameCase{"/tmp/.hidden", "/tmp/.hidden.JED"},
                                           NameCase{"a.tar.gz", "a.tar.JED"},
                                           NameCase{"x.jedec", "x.JED"}),
                         quilla::test::CaseName([](const auto& c) { return c.in; }));

TEST(FuseChecksum, ArrayRowsOnly) {
    std::vector<std::uint8_t> image(8192, '1');
    FuseWindowState w;  // 64 rows of 32
    EXPECT_EQ(FuseChecksum(image, w), 0xFF00);
    EXPECT_EQ(FuseChecksumText(image, w), "ff00");
    // The six extra rows do not count.
    std::fill(image.begin(), image.begin() + 64 * 32, '0');
    EXPECT_EQ(FuseChecksumText(image, w), "0000");
    // Fuse k of a group is bit k; a short last group is padded with 0.
    std::fill(image.begin(), image.end(), '0');
    image[1] = '1';
    image[8] = '1';
    image[15] = '1';
    EXPECT_EQ(FuseChecksum(image, w), 0x02 + 0x81);
    w.FuseCols = 3;
    w.FuseRows = 3;
    std::fill(image.begin(), image.end(), '1');
    EXPECT_EQ(FuseChecksum(image, w), 0xFF + 0x01);
    // Characters count by their low bit.
    EXPECT_EQ(JedecChecksum(reinterpret_cast<const std::uint8_t*>("1\xFF" "0" "a"), 4), 0x0B);
}

TEST_F(JedecFiles, PublicStyleFileLoadsItsLFieldsOnly) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    wb.FileNew();
    wb.SvfFileW = std::make_unique<SvfWindowState>();
    const fs::path src = fs::path(test::FixturesDir()) / "jed" / "gal16v8_public.jed";
    wb.DataFileName = src.string();
    LoadJed(wb);

    EXPECT_FALSE(wb.FileWin);
    ASSERT_TRUE(wb.PldFileW);
    EXPECT_TRUE(wb.SvfFileW);
    EXPECT_EQ(wb.PldFileW->Title, src.string());
    EXPECT_EQ(wb.PldFileW->FuseCount, 70 * 32);

    const std::string expected = Fixture("gal16v8_public.fuses");
    ASSERT_EQ(expected.size(), 2194u);
    EXPECT_EQ(Fuses(wb.ImageBuffer, 0, 2194), expected);
    EXPECT_EQ(Fuses(wb.ImageBuffer, 2194, 70 * 32 - 2194), std::string(70 * 32 - 2194, '0'));
    EXPECT_EQ(wb.ImageBuffer[70 * 32], 0xFF);

    // The file's checksum field is the JEDEC sum over its 2194 fuses.
    const std::string text = Fixture("gal16v8_public.jed");
    const std::size_t c = text.find("\r\nC");
    ASSERT_NE(c, std::string::npos);
    EXPECT_EQ(std::stoul(text.substr(c + 3, 4), nullptr, 16), ReferenceSum(expected));
    EXPECT_EQ(JedecChecksum(wb.ImageBuffer.data(), 2194), ReferenceSum(expected));
    // The window's own sum covers the 64 x 32 array.
    char arr[8];
    std::snprintf(arr, sizeof arr, "%04x", ReferenceSum(expected.substr(0, 2048)));
    EXPECT_EQ(FuseChecksumText(wb.ImageBuffer, *wb.PldFileW), arr);
}

TEST_F(JedecFiles, LoadKeepsGeometryOfExistingWindow) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    wb.PldFileW = std::make_unique<FuseWindowState>();
    wb.PldFileW->FuseCols = 44;
    wb.PldFileW->FuseRows = 132;
    WriteFile(dir / "g.jed", "x*L0044 1*");
    wb.DataFileName = (dir / "g.jed").string();
    LoadJed(wb);
    EXPECT_EQ(wb.PldFileW->FuseCols, 44);
    EXPECT_EQ(wb.PldFileW->FuseCount, 138 * 44);
    EXPECT_EQ(wb.ImageBuffer[44], '1');
    EXPECT_EQ(wb.ImageBuffer[43], '0');
    EXPECT_EQ(wb.ImageBuffer[138 * 44 - 1], '0');
    EXPECT_EQ(wb.ImageBuffer[138 * 44], 0xFF);
}

// A file that cannot be read (missing, or a folder given as a .jed) says so
// and leaves the windows, their titles and the buffer as they were.
struct UnreadableCase {
    const char* name;
    bool folder;
};
class JedecUnreadable : public JedecFiles, public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(JedecUnreadable, LeavesWindowsAndBufferAsTheyWere) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    // A loaded fuse map first, its checksum as the window shows it.
    WriteFile(dir / "old.jed", "x*L0000 1011001110001111*");
    wb.DataFileName = (dir / "old.jed").string();
    LoadJed(wb);
    ASSERT_TRUE(wb.PldFileW);
    const std::string sum = FuseChecksumText(wb.ImageBuffer, *wb.PldFileW);
    const std::vector<std::uint8_t> before(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 0x10000);
    prompts.shown.clear();

    const fs::path bad = dir / "bad.jed";
    if (GetParam().folder) fs::create_directories(bad);
    wb.DataFileName = bad.string();
    LoadJed(wb);

    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Cann't open :\n" + bad.string()});
    ASSERT_TRUE(wb.PldFileW);
    EXPECT_EQ(wb.PldFileW->Title, (dir / "old.jed").string());
    EXPECT_EQ(FuseChecksumText(wb.ImageBuffer, *wb.PldFileW), sum);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), wb.ImageBuffer.begin()));
}

// The buffer window stays open (not replaced by an empty fuse window).
TEST_P(JedecUnreadable, KeepsTheBufferWindow) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    wb.FileNew();
    const std::uint16_t sumBefore = JedecChecksum(wb.ImageBuffer.data(), 4096);
    const fs::path bad = dir / "missing.jed";
    if (GetParam().folder) fs::create_directories(bad);
    wb.DataFileName = bad.string();
    LoadJed(wb);
    ASSERT_TRUE(wb.FileWin);
    EXPECT_FALSE(wb.PldFileW);
    EXPECT_EQ(wb.FileWin->Title, "noname.bin");
    EXPECT_EQ(wb.ImageBuffer[0], 0xFF);
    EXPECT_EQ(JedecChecksum(wb.ImageBuffer.data(), 4096), sumBefore);
    EXPECT_EQ(prompts.shown.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Files, JedecUnreadable,
                         ::testing::Values(UnreadableCase{"Missing", false}, UnreadableCase{"Folder", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The checksum field against the fuses as loaded: one message naming both
// values on a mismatch, and the map loaded anyway.
struct ChecksumCase {
    const char* name;
    std::string text;
    std::vector<std::string> messages;
};
class JedecChecksumField : public JedecFiles, public ::testing::WithParamInterface<ChecksumCase> {};

TEST_P(JedecChecksumField, NamesAMismatchOnceAndLoads) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    WriteFile(dir / "f.jed", GetParam().text);
    wb.DataFileName = (dir / "f.jed").string();
    LoadJed(wb);
    EXPECT_EQ(prompts.Texts(), GetParam().messages);
    ASSERT_TRUE(wb.PldFileW);
    EXPECT_EQ(wb.PldFileW->Title, wb.DataFileName);
    EXPECT_EQ(Fuses(wb.ImageBuffer, 0, 4), "1011");
}

INSTANTIATE_TEST_SUITE_P(
    Files, JedecChecksumField,
    ::testing::Values(
        // Fuses 1011 0000: bits 0, 2, 3 = 0x0D.
        ChecksumCase{"RightField", "x*L0000 10110000*\r\nC000D*\r\n\x03", {}},
        ChecksumCase{"LowerCaseDigits", "x*QF8*L0000 10110000*Cabcd*",
                     {"Fuse checksum error: the file says C field ABCD, the 8 fuses loaded give 000D"}},
        // One fuse flipped after the checksum was computed.
        ChecksumCase{"OneFuseFlipped", "x*L0000 10110001*C000D*",
                     {"Fuse checksum error: the file says C field 000D, the 8 fuses loaded give 008D"}},
        // The fuse count covers fuses the default state sets.
        ChecksumCase{"FuseCountWithDefault", "x*QF16*F1*L0000 10110000*C\x30\x30\x30\x30*",
                     {"Fuse checksum error: the file says C field 0000, the 16 fuses loaded give 010C"}},
        ChecksumCase{"FuseCountRight", "x*QF16*F1*L0000 10110000*C010C*", {}},
        // Inside an unclosed fuse list (older long files).
        ChecksumCase{"InsideTheList", "x*L0000 10110000C000E*",
                     {"Fuse checksum error: the file says C field 000E, the 8 fuses loaded give 000D"}},
        ChecksumCase{"NoField", "x*L0000 10110000*", {}},
        ChecksumCase{"FieldNotHex", "x*L0000 10110000*Cxyz1*", {}},
        ChecksumCase{"FieldCutShort", "x*L0000 10110000*C00", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A file with nothing to load says so and changes nothing: neither the map
// and its window, nor a buffer window open instead.
struct NoDataCase {
    const char* name;
    std::string text;
};
class JedecNoData : public JedecFiles, public ::testing::WithParamInterface<NoDataCase> {};

std::string BinaryBytes() {
    std::string b;
    for (int k = 0; k < 512; ++k) b.push_back(static_cast<char>(k & 0xFF));
    return b;
}

TEST_P(JedecNoData, SaysSoAndKeepsTheMap) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    WriteFile(dir / "old.jed", "x*L0000 1011001110001111*");
    wb.DataFileName = (dir / "old.jed").string();
    LoadJed(wb);
    ASSERT_TRUE(wb.PldFileW);
    const std::vector<std::uint8_t> before(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 0x10000);
    prompts.shown.clear();

    WriteFile(dir / "bad.jed", GetParam().text);
    wb.DataFileName = (dir / "bad.jed").string();
    LoadJed(wb);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"No data in " + wb.DataFileName + ": nothing was loaded"});
    ASSERT_TRUE(wb.PldFileW);
    EXPECT_EQ(wb.PldFileW->Title, (dir / "old.jed").string());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), wb.ImageBuffer.begin()));
}

TEST_P(JedecNoData, KeepsTheBufferWindow) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    wb.FileNew();
    WriteFile(dir / "bad.jed", GetParam().text);
    wb.DataFileName = (dir / "bad.jed").string();
    LoadJed(wb);
    EXPECT_EQ(prompts.shown.size(), 1u);
    ASSERT_TRUE(wb.FileWin);
    EXPECT_FALSE(wb.PldFileW);
    EXPECT_EQ(wb.FileWin->Title, "noname.bin");
    EXPECT_EQ(wb.ImageBuffer[0], 0xFF);
}

INSTANTIATE_TEST_SUITE_P(
    Files, JedecNoData,
    ::testing::Values(NoDataCase{"Empty", ""}, NoDataCase{"Binary", BinaryBytes()},
                      NoDataCase{"HeaderOnly", "GAL16V8\r\nRavol*\r\n"},
                      NoDataCase{"NoFieldEnded", "GAL16V8\r\nL0000 0101\r\n"},
                      NoDataCase{"NoFuseListOrDefault", "x*QF2194*N 0101 L0000*G0*C0000*\x03"}),
    [](const auto& info) { return std::string(info.param.name); });

// A fuse count other than the selected device's is named with both counts;
// the file loads as it would without that device.
struct DeviceCountCase {
    const char* name;
    const char* fixture;
    int deviceFuses;  // 0: no logic device has set the window
    std::vector<std::string> messages;  // '@' stands for the file's path
};
class JedecDeviceCount : public JedecFiles, public ::testing::WithParamInterface<DeviceCountCase> {};

TEST_P(JedecDeviceCount, NamesAnotherDevicesMapAndLoadsIt) {
    const DeviceCountCase& c = GetParam();
    const std::string path = (fs::path(test::FixturesDir()) / "jed" / c.fixture).string();
    test::ScriptedPrompts plain;
    Workbench unknown(plain);
    OpenFuseWindow(unknown, 32, 64);
    unknown.DataFileName = path;
    LoadJed(unknown);
    EXPECT_TRUE(plain.shown.empty()) << plain.Last();

    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    OpenFuseWindow(wb, 32, 64, c.deviceFuses);
    wb.DataFileName = path;
    LoadJed(wb);
    std::vector<std::string> want;
    for (std::string m : c.messages) want.push_back(m.replace(m.find('@'), 1, path));
    EXPECT_EQ(prompts.Texts(), want);
    EXPECT_TRUE(std::equal(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 0x10000, unknown.ImageBuffer.begin()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, JedecDeviceCount,
    ::testing::Values(
        DeviceCountCase{"Map22V10OnGal16V8", "sum22v10.jed", 2194,
                        {"@ is a map of 5892 fuses (QF5892), the selected device has 2194: loaded as it is"}},
        DeviceCountCase{"Map20V8OnGal16V8", "and20v8.jed", 2194,
                        {"@ is a map of 2706 fuses (QF2706), the selected device has 2194: loaded as it is"}},
        DeviceCountCase{"OwnCount", "and16v8.jed", 2194, {}},
        DeviceCountCase{"NoFuseCountInTheFile", "small_written.jed", 2194, {}},
        DeviceCountCase{"NoDeviceKnown", "sum22v10.jed", 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A fuse list that stops before the file is done with it loads as far as it
// goes and says where it stopped.
struct CutCase {
    const char* name;
    std::string text;
    std::string message;  // after the path; empty: none
    std::string fuses;    // fuses 0..15 after the load
};
class JedecCutShort : public JedecFiles, public ::testing::WithParamInterface<CutCase> {};

TEST_P(JedecCutShort, SaysWhereTheListEnded) {
    const CutCase& c = GetParam();
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    OpenFuseWindow(wb, 4, -2);  // a map of 16 fuses
    WriteFile(dir / "cut.jed", c.text);
    wb.DataFileName = (dir / "cut.jed").string();
    LoadJed(wb);
    EXPECT_EQ(prompts.Texts(),
              c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{wb.DataFileName + c.message});
    EXPECT_EQ(Fuses(wb.ImageBuffer, 0, 16), c.fuses);
}

INSTANTIATE_TEST_SUITE_P(
    Files, JedecCutShort,
    ::testing::Values(
        CutCase{"InsideTheList", "x*\r\nL0 1011\r\n01",
                " ends inside its fuse list before fuse 6 (line 3): loaded as far as it goes", "1011010000000000"},
        CutCase{"InsideTheListWithCount", "x*QF16*\r\nL0 1011\r\n0",
                " ends inside its fuse list before fuse 5 (line 3), it sets 5 of its 16 fuses (QF16): "
                "loaded as far as it goes",
                "1011000000000000"},
        CutCase{"InsideTheListWithDefault", "x*QF16*F1*L0 10",
                " ends inside its fuse list before fuse 2 (line 1): loaded as far as it goes", "1011111111111111"},
        CutCase{"InsideANoteAfterTheList", "x*QF4*L0 1011*\r\nN signat",
                " ends inside its fuse list before fuse 4 (line 1): loaded as far as it goes", "1011000000000000"},
        CutCase{"ClosedButFewerThanItsCount", "x*QF16*\r\nL0 1011*\r\nL4 01*C002D*",
                " sets 6 of its 16 fuses (QF16), its fuse list ends before fuse 6 (line 3): loaded as far as it goes",
                "1011010000000000"},
        CutCase{"SparseWithoutDefault", "x*QF8*L0 11*L6 11*",
                " sets 4 of its 8 fuses (QF8), its fuse list ends before fuse 8 (line 1): loaded as far as it goes",
                "1100001100000000"},
        CutCase{"Whole", "x*QF4*L0 1011*C000D*", "", "1011000000000000"},
        CutCase{"SparseWithDefault", "x*QF16*F0*L2 1*\x03", "", "0010000000000000"},
        CutCase{"NoCountClosed", "x*L0 1011*", "", "1011000000000000"}),
    [](const auto& info) { return std::string(info.param.name); });

// A file cut in half: what it holds up to the cut is loaded.
TEST_F(JedecFiles, FileCutInHalfSaysWhereItEnded) {
    const std::string text = Fixture("gal16v8_public.jed");
    const std::string half = text.substr(0, text.size() / 2);
    ASSERT_EQ(half.substr(half.size() - 26), "\r\nL0992 110101011001000111");
    WriteFile(dir / "half.jed", half);
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    OpenFuseWindow(wb, 32, 64, 2194);
    wb.DataFileName = (dir / "half.jed").string();
    LoadJed(wb);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{wb.DataFileName +
                                                        " ends inside its fuse list before fuse 1010 (line 35): "
                                                        "loaded as far as it goes"});
    const std::string fuses = Fixture("gal16v8_public.fuses");
    EXPECT_EQ(Fuses(wb.ImageBuffer, 0, 1010), fuses.substr(0, 1010));
    EXPECT_EQ(Fuses(wb.ImageBuffer, 1010, 2194 - 1010), std::string(2194 - 1010, '0'));
}

// A file that is there but may not be read is named.
TEST_F(JedecFiles, UnreadableFileIsNamed) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser reads any file";
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    WriteFile(dir / "locked.jed", "x*L0 1*");
    fs::permissions(dir / "locked.jed", fs::perms::none);
    wb.DataFileName = (dir / "locked.jed").string();
    LoadJed(wb);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Cann't open :\n" + wb.DataFileName});
    EXPECT_FALSE(wb.PldFileW);
}

// The program's own files, and the fixtures of the logic forms, carry a right
// field.
TEST_F(JedecFiles, WrittenAndFixtureFilesShowNoChecksumMessage) {
    for (const char* name : {"small_written.jed", "gal16v8_public.jed", "and16v8.jed", "and20v8.jed",
                             "sum22v10.jed"}) {
        test::ScriptedPrompts prompts;
        Workbench wb(prompts);
        wb.DataFileName = (fs::path(test::FixturesDir()) / "jed" / name).string();
        LoadJed(wb);
        EXPECT_TRUE(prompts.shown.empty()) << name << ": " << (prompts.shown.empty() ? "" : prompts.Texts()[0]);
    }
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    FuseWindowState& w = OpenFuseWindow(wb, 24, 40);
    std::mt19937 rng(7);
    for (int a = 0; a < FuseMapCount(w, wb.ImageBuffer.size()); ++a)
        wb.ImageBuffer[a] = static_cast<std::uint8_t>('0' + (rng() & 1));
    wb.DataFileName = (dir / "w.jed").string();
    ASSERT_TRUE(SaveJed(wb));
    LoadJed(wb);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST(FuseWindowRows, NewWindowShows70RowsOf32) {
    std::vector<std::uint8_t> image(8192, '1');
    image[33] = '0';
    FuseWindowState w;
    const auto lines = FuseMapLines(image, w);
    ASSERT_EQ(lines.size(), 70u);
    EXPECT_EQ(lines[0], "L0000 " + std::string(32, '1'));
    EXPECT_EQ(lines[1], "L0032 10" + std::string(30, '1'));
    EXPECT_EQ(lines[69].substr(0, 6), "L2208 ");
    EXPECT_EQ(lines[69].size(), 38u);
}

TEST(FuseWindowRows, MapIsKeptInsideImage) {
    std::vector<std::uint8_t> image(100, '0');
    image[5] = 0;
    FuseWindowState w;
    w.FuseCols = 40;
    const auto lines = FuseMapLines(image, w);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0][6 + 5], '.');
    EXPECT_EQ(lines[2], "L0080 " + std::string(20, '0'));
}

struct TypeCase {
    const char* name;
    int cols, line, column;
    char key;
    int stored;  // address that takes the key, -1: nothing changes
};
class FuseTyping : public ::testing::TestWithParam<TypeCase> {};
TEST_P(FuseTyping, OnlyZeroAndOneOnFuseColumns) {
    const TypeCase& c = GetParam();
    std::vector<std::uint8_t> image(20000, 'x');
    FuseWindowState w;
    w.FuseCols = c.cols;
    EXPECT_EQ(FuseKeyPress(image, w, c.line, c.column, c.key), c.stored >= 0);
    for (int a = 0; a < 20000; ++a)
        ASSERT_EQ(image[a], a == c.stored ? c.key : 'x') << a;
}
INSTANTIATE_TEST_SUITE_P(
    Keys, FuseTyping,
    ::testing::Values(TypeCase{"OneAtFirstFuseOfL0032", 32, 1, 6, '1', 32},
                      TypeCase{"ZeroAtLastFuse", 32, 1, 37, '0', 63},
                      TypeCase{"PastLastFuse", 32, 1, 38, '1', -1},
                      TypeCase{"OnLabel", 32, 1, 5, '1', -1},
                      TypeCase{"OtherKey", 32, 1, 6, 'a', -1},
                      TypeCase{"Two", 32, 1, 6, '2', -1},
                      // Five-digit fuse numbers widen the label; typing follows the shown fuse.
                      TypeCase{"WideLabelFirstFuse", 100, 100, 7, '1', 10000},
                      TypeCase{"WideLabelBlank", 100, 100, 6, '1', -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FuseWindowRows, CursorAddressOfCaret) {
    FuseWindowState w;
    EXPECT_EQ(FuseCursorAddress(w, 1, 6), 32);
    EXPECT_EQ(FuseCursorAddress(w, 1, 10), 36);
    EXPECT_EQ(FuseCursorAddress(w, 1, 2), 32);   // on the label: the row's first fuse
    EXPECT_EQ(FuseCursorAddress(w, 1, 38), 32);  // after the row
    EXPECT_EQ(FuseCursorAddress(w, 0, 0), 0);
}

TEST_F(JedecFiles, SaveJedUsesVariantAndDataFileName) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    wb.DataFileName = (dir / "out.bin").string();
    EXPECT_FALSE(SaveJed(wb));
    EXPECT_FALSE(fs::exists(dir / "out.JED"));
    wb.PldFileW = std::make_unique<FuseWindowState>();
    wb.sel.VariantIndex = 1;
    ASSERT_TRUE(SaveJed(wb));
    EXPECT_EQ(ReadFile(dir / "out.JED").substr(0, 9), "GAL20V8\r\n");
}

// A map byte that is no fuse character is written by its low bit, so the
// fuses after it keep their addresses when the file is read back.
TEST(JedecWriter, NonFuseBytesCannotShiftTheList) {
    std::vector<std::uint8_t> image(64, '0');
    const std::string map("01\xFF" "1" "a" "\x00" "10", 8);  // 0xFF, 'a' odd; 0x00 even
    std::copy(map.begin(), map.end(), image.begin());
    FuseWindowState w;
    w.FuseCols = 8;
    w.FuseRows = -5;  // one row
    const std::string text = JedText(image, w, 2);
    EXPECT_EQ(text, "Ravol*\r\nL0000 \r\n01111010*\r\nC005E*");
    std::vector<std::uint8_t> back(64, 'x');
    ReadJedText(back, w, text);
    EXPECT_EQ(Fuses(back, 0, 8), "01111010");
}

TEST(FuseWindowRows, LogicFormOpensMapOverBufferWindow) {
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    wb.FileNew();
    wb.SvfFileW = std::make_unique<SvfWindowState>();
    FuseWindowState& w = OpenFuseWindow(wb, 44, 132);
    EXPECT_FALSE(wb.FileWin);
    EXPECT_TRUE(wb.SvfFileW);
    EXPECT_EQ(&w, wb.PldFileW.get());
    EXPECT_EQ(w.FuseCount, 138 * 44);
    EXPECT_EQ(Fuses(wb.ImageBuffer, 0, 6000), std::string(6000, '1'));
    EXPECT_EQ(wb.ImageBuffer[6000], 0xFF);
    // Later forms keep what the map holds.
    wb.ImageBuffer[5] = '0';
    OpenFuseWindow(wb, 32, 64);
    EXPECT_EQ(wb.ImageBuffer[5], '0');
    EXPECT_EQ(wb.PldFileW->FuseCols, 32);
}
