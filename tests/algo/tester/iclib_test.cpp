// The test-vector libraries: the generator against bytes written by hand, the
// shipped .LIB files against their text sources, and the sources' own rules.
#include <fstream>
#include <cstdlib>
#include <iterator>

#include <gtest/gtest.h>

#include "algo/tester/iclib.h"
#include "app/programdir.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using ictest::BuildLibrary;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(IcLibrary, OneNandTypeGivesTheBytesWrittenByHand) {
    // 14 pins on sockets 14..27; word bit k is socket 9 + k, so chip pin p is bit p + 4.
    // Drive: 0 on pins 1, 2, 4, 10 and ground pin 7 (bits 5, 6, 8, 14, 11): FF B6 9F.
    // Expect: the same and output pin 11 low (bit 15): FF 36 9F.
    // The three vectors after it tell the outputs apart (the builder refuses fewer).
    const auto lib =
        BuildLibrary("TYPE 0 14\nV 00H01HG H10L11V\nV 01H10HG L11H00V\nV 10H11LG H00H01V\nV 11L00HG H01H10V\n");
    ASSERT_EQ(lib.error, "");
    const std::vector<std::uint8_t> want{'0', 0, 0, 0, 0, 4, 0,                               //
                                         0x00, 0x20, 0x40, 0xFF, 0xB6, 0x9F, 0xFF, 0x36, 0x9F};
    ASSERT_EQ(lib.bytes.size(), 7u + 4 * 9 + 1);
    EXPECT_EQ(std::vector<std::uint8_t>(lib.bytes.begin(), lib.bytes.begin() + 16), want);
    EXPECT_EQ(lib.bytes[16], 0);  // the package code is in the first vector only
    EXPECT_EQ(lib.bytes[17], 0);
    EXPECT_EQ(lib.bytes.back(), 'E');
    ASSERT_EQ(lib.types.size(), 1u);
    EXPECT_EQ(lib.types[0].outputs, (std::vector<int>{3, 6, 8, 11}));
}

TEST(IcLibrary, RepeatsDriveOnlyLinesAndPackagesAreEncoded) {
    const auto lib = BuildLibrary("TYPE 4511 16\n"
                                  "D 0000000G 00000000\n"  // every pin low but VDD on 16... written as 0
                                  "D 1111111G 11111111\n"
                                  "R 4095\n"
                                  "V 0000000G LH00000V\n"  // outputs on pins 9 and 10
                                  "V 0000000G HL00000V\n");
    ASSERT_EQ(lib.error, "");  // the supply pin may be driven like any line
    ASSERT_EQ(lib.bytes.size(), 7u + 5 * 9 + 1);
    EXPECT_EQ(std::string(lib.bytes.begin(), lib.bytes.begin() + 4), "4511");
    EXPECT_EQ(lib.bytes[5], 5);
    EXPECT_EQ(lib.bytes[7], ictest::FlagDriveOnly);
    EXPECT_EQ(lib.bytes[8], 0x20);  // 16 pins: VCC on socket 28
    EXPECT_EQ(lib.bytes[9], 0x80);
    EXPECT_EQ(lib.bytes[16], ictest::FlagDriveOnly);
    EXPECT_EQ(lib.bytes[17], 0);  // the package code is in the first vector only
    EXPECT_EQ(lib.bytes[25], ictest::FlagRepeat);
    EXPECT_EQ(lib.bytes[29], 0x0F);
    EXPECT_EQ(lib.bytes[30], 0xFF);
}

struct BadSource {
    const char* name;
    const char* text;
};
class BadSources : public ::testing::TestWithParam<BadSource> {};

TEST_P(BadSources, AreRefusedWithTheLine) {
    const auto lib = BuildLibrary(GetParam().text);
    EXPECT_NE(lib.error, "");
    EXPECT_TRUE(lib.bytes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadSources,
    ::testing::Values(BadSource{"repeat first", "TYPE 1 14\nV 0000000 0000000\nR 3\n"},
                      BadSource{"short line", "TYPE 1 14\nV 00H01HG H10L11\n"},
                      BadSource{"x compared", "TYPE 1 14\nV X0H01HG H10L11V\n"},
                      BadSource{"no package", "TYPE 1 18\n"},
                      BadSource{"ground elsewhere", "TYPE 1 14\nV G0H01H0 H10L11V\n"},
                      BadSource{"vector first", "V 00H01HG H10L11V\n"},
                      BadSource{"output driven", "TYPE 0 14\nROLES IIOIIOG OIIOIIV\nV 001011G 110L11V\n"},
                      BadSource{"input expected", "TYPE 0 14\nROLES IIOIIOG OIIOIIV\nV L0H01HG H10L11V\n"},
                      BadSource{"roles late", "TYPE 0 14\nV 00H01HG H10L11V\nROLES IIOIIOG OIIOIIV\n"},
                      BadSource{"roles short", "TYPE 0 14\nROLES IIOIIOG OIIOII\n"}),
    CaseName([](const BadSource& b) { return std::string(b.name); }));

// ---- types that do not see every output -----------------------------------------------------

struct WeakEntry {
    const char* name;
    const char* text;
    std::vector<const char*> named;  // in the error, besides the line of the TYPE
};
class WeakEntries : public ::testing::TestWithParam<WeakEntry> {};

TEST_P(WeakEntries, AreRefusedNamingTheTypeAndThePins) {
    const WeakEntry& w = GetParam();
    const std::string good = "TYPE 0 14\nV 00H01HG H10L11V\nV 01H10HG L11H00V\nV 10H11LG H00H01V\nV 11L00HG H01H10V\n";
    // The weak type after a good one: the error names the weak type's line.
    const auto lib = BuildLibrary(good + w.text + "\n" + good);
    EXPECT_TRUE(lib.bytes.empty());
    EXPECT_TRUE(lib.types.empty());
    EXPECT_EQ(lib.error.rfind("line 6: ", 0), 0u) << lib.error;
    for (const char* n : w.named) EXPECT_NE(lib.error.find(n), std::string::npos) << lib.error << " lacks " << n;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WeakEntries,
    ::testing::Values(
        // Every inverter of the pair sees the same input: 2/6/10 and 4/8/12 alike.
        WeakEntry{"inverters in step", "TYPE 4 14\nROLES IOIOIOG OIOIOIV\nV 0H1L0HG L1H0L1V\nV 1L0H1LG H0L1H0V",
                  {"type 4:", "2/6", "2/10", "4/8", "4/12", "6/10", "8/12", "same level"}},
        WeakEntry{"one output never low", "TYPE 0 14\nV 00H01HG H10L11V\nV 01H10HG L11H00V\nV 10H11LG H00H01V",
                  {"type 0:", "output pin 3 never expected low"}},
        WeakEntry{"counter stages never high",
                  "TYPE 40 16\nROLES OOOOOOOG OIIOOOOV\nV LLLLLLLG L11LLLLV\nV LLLLLLLG L10LLLLV\nV LLLLLLLG H00LLLLV",
                  {"type 40:", "output pins 1, 2, 3, 4, 5, 6, 7, 12, 13, 14 and 15 never expected high"}},
        WeakEntry{"bus pins that never differ",  // B pins compared only where both are outputs
                  "TYPE 245 20\nROLES IBBBBBBBBG BBBBBBBBIV\n"
                  "V 110101010G LHLHLHLH0V\nV 101010101G HLHLHLHL0V\nV 111110000G LLLLHHHH0V\nV 100001111G HHHHLLLL0V\n"
                  "V 0HHLLHHLLG 001100110V\nV 0LLHHLLHHG 110011000V",
                  {"type 245:", "2/3", "4/5", "6/7", "8/9"}},
        WeakEntry{"drive-only lines", "TYPE 4 14\nROLES IOIOIOG OIOIOIV\nD 0X1X0XG X1X0X1V\nD 1X0X1XG X0X1X0V",
                  {"type 4:", "no compared vector expects an output"}},
        WeakEntry{"no outputs", "TYPE 4 14\nV 000000G 000000V", {"type 4:", "no compared vector expects an output"}}),
    CaseName([](const WeakEntry& w) { return std::string(w.name); }));

struct Shipped {
    const char* source;
    const char* library;
};
class ShippedLibraries : public ::testing::TestWithParam<Shipped> {};

// The .LIB files are generated from their sources; QUILLA_WRITE_ICLIB=1 rewrites them.
TEST_P(ShippedLibraries, EqualWhatTheirSourceGenerates) {
    const Shipped s = GetParam();
    const auto lib = BuildLibrary(ReadText(SourceDataDir() + "iclib/" + s.source));
    ASSERT_EQ(lib.error, "");
    EXPECT_LE(lib.bytes.size(), static_cast<std::size_t>(ictest::MaxLibraryBytes));
    const std::string path = SourceDataDir() + s.library;
    if (std::getenv("QUILLA_WRITE_ICLIB"))
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(lib.bytes.data()), static_cast<std::streamsize>(lib.bytes.size()));
    const std::string shipped = ReadText(path);
    EXPECT_EQ(std::vector<std::uint8_t>(shipped.begin(), shipped.end()), lib.bytes) << s.library << " is stale";
}

INSTANTIATE_TEST_SUITE_P(Series, ShippedLibraries,
                         ::testing::Values(Shipped{"ttl74.txt", "TTL74.LIB"}, Shipped{"cmos40.txt", "CMOS40.LIB"},
                                           Shipped{"cmos45.txt", "CMOS45.LIB"}),
                         CaseName([](const Shipped& s) { return std::string(s.library).substr(0, 5); }));

}  // namespace
}  // namespace quilla::test
