// The forms' texts of numbers: fixed-width hex of the low bits, and printf-style
// messages that keep every character however long they grow (status texts and
// reports of 64-byte replies run past any small buffer).
#include <gtest/gtest.h>

#include <string>

#include "algo/common/scan.h"

namespace quilla {
namespace {

TEST(FormTexts, HexFieldsShowTheirLowBitsAtTheirWidth) {
    struct Case {
        std::string got, want;
    } cases[] = {
        {Hex2(0x0), "00"},     {Hex2(0xA), "0a"},       {Hex2(0x1FF), "ff"},       {Hex4(0x5), "0005"},
        {Hex4(0xBEEF), "beef"}, {Hex4(0x12345), "2345"}, {Hex6(-1), "000000"},      {Hex6(0x1234567), "1234567"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(FormTexts, FormatTextKeepsTheWholeMessage) {
    EXPECT_EQ(FormatText("R=(%02x,%02x,%02x)", 0x1E, 0x51, 0x0F), "R=(1e,51,0f)");
    EXPECT_EQ(FormatText("%s", ""), "");
    std::string longText;
    for (int i = 0; i < 64; ++i) longText += FormatText("%02x,", i);
    EXPECT_EQ(longText.size(), 192u);
    EXPECT_EQ(FormatText("Status=%s", longText.c_str()), "Status=" + longText);
}

}  // namespace
}  // namespace quilla
