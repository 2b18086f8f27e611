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
    const auto lib = BuildLibrary("TYPE 0 14\nV 00H01HG H10L11V\n");
    ASSERT_EQ(lib.error, "");
    const std::vector<std::uint8_t> want{'0', 0, 0, 0, 0, 1, 0,                               //
                                         0x00, 0x20, 0x40, 0xFF, 0xB6, 0x9F, 0xFF, 0x36, 0x9F,  //
                                         'E'};
    EXPECT_EQ(lib.bytes, want);
}

TEST(IcLibrary, RepeatsDriveOnlyLinesAndPackagesAreEncoded) {
    const auto lib = BuildLibrary("TYPE 4511 16\n"
                                  "D 0000000G 00000000\n"  // every pin low but VDD on 16... written as 0
                                  "D 1111111G 11111111\n"
                                  "R 4095\n");
    ASSERT_EQ(lib.error, "");  // the supply pin may be driven like any line
    ASSERT_EQ(lib.bytes.size(), 7u + 3 * 9 + 1);
    EXPECT_EQ(std::string(lib.bytes.begin(), lib.bytes.begin() + 4), "4511");
    EXPECT_EQ(lib.bytes[5], 3);
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
