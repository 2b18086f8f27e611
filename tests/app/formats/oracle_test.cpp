// Intel HEX files made by binutils' objcopy and srecord's srec_cat load at the
// addresses those tools give them: the bytes stored equal the tools' own
// binary output of the same file.
#include <gmock/gmock.h>

#include <random>

#include "app/hexfile.h"
#include "formats_util.h"
#include "support/tools.h"

namespace quilla::test {
namespace {

std::string Hex(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

struct OracleCase {
    const char* name;
    const char* tool;
    int offset;
    int length;
    const char* recordType;  // the extended address record the file must contain ("" none)
};

std::ostream& operator<<(std::ostream& os, const OracleCase& c) { return os << c.name; }

class HexOracle : public FormatsTest, public ::testing::WithParamInterface<OracleCase> {};

TEST_P(HexOracle, LoadsWhereTheToolPutsTheBytes) {
    const OracleCase& c = GetParam();
    if (!OnPath(c.tool)) GTEST_SKIP() << c.tool << " is not installed";

    std::string data(static_cast<std::size_t>(c.length), '\0');
    std::mt19937 rng(c.offset);
    for (char& ch : data) ch = static_cast<char>(rng());
    std::string in = Write("in.bin", data), hex = Path("out.hex"), ref = Path("ref.bin");

    if (std::string(c.tool) == "objcopy") {
        ASSERT_EQ(RunTool({"objcopy", "-I", "binary", "-O", "ihex", "--change-addresses", Hex(c.offset), in, hex}), 0);
        ASSERT_EQ(RunTool({"objcopy", "-I", "ihex", "-O", "binary", hex, ref}), 0);
    } else {
        std::vector<std::string> make = {"srec_cat", in, "-binary", "-offset", Hex(c.offset), "-o", hex, "-intel"};
        if (std::string(c.recordType) == "02") make.push_back("-address-length=3");
        ASSERT_EQ(RunTool(make), 0);
        ASSERT_EQ(RunTool({"srec_cat", hex, "-intel", "-offset", "-" + Hex(c.offset), "-o", ref, "-binary"}), 0);
    }
    std::string text = Read(hex);
    if (*c.recordType) {
        EXPECT_NE(text.find(std::string("0000") + c.recordType), std::string::npos);
    }
    std::string expected = Read(ref);
    ASSERT_EQ(expected.size(), data.size());

    std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 0x100000, 0x5A);
    wb.DataFileName = hex;
    LoadHex(wb);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Last();
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wb.ImageBuffer.begin() + c.offset,
                           [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
    if (c.offset > 0) {
        EXPECT_EQ(wb.ImageBuffer[c.offset - 1], 0x5A);
    }
    if (c.offset + c.length <= 0xFFFFF) {
        EXPECT_EQ(wb.ImageBuffer[c.offset + c.length], 0x5A);
    }
    EXPECT_EQ(wb.FileWin->EndAddr, c.offset + c.length - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Tools, HexOracle,
    ::testing::Values(OracleCase{"ObjcopyFirst64K", "objcopy", 0x0, 0x1234, ""},
                      OracleCase{"ObjcopySegmentsAcross64K", "objcopy", 0x1F000, 0x2000, "02"},
                      OracleCase{"ObjcopyUpToFFFFF", "objcopy", 0xF0000, 0x10000, "02"},
                      OracleCase{"SrecSegments", "srec_cat", 0x2FF00, 0x30123, "02"},
                      OracleCase{"SrecLinear", "srec_cat", 0x1FFF0, 0x20020, "04"},
                      OracleCase{"SrecLinearToFFFFF", "srec_cat", 0xE0000, 0x20000, "04"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quilla::test
