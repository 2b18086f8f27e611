#include <gtest/gtest.h>

#include "catalog/params.h"
#include "support/param_names.h"

namespace quilla {
namespace {

struct ParamCase {
    const char* params;
    const char* key;
    int value;
};

class GetParamTest : public ::testing::TestWithParam<ParamCase> {};

TEST_P(GetParamTest, ReadsTheFirstOccurrence) {
    const auto& c = GetParam();
    EXPECT_EQ(quilla::GetParam(c.params, c.key), c.value) << c.params << " / " << c.key;
}

INSTANTIATE_TEST_SUITE_P(
    Table, GetParamTest,
    ::testing::Values(ParamCase{"P27 5 vcc=5000", "vcc=", 5000},
                      ParamCase{"P27 5 vcc=5000", "dly=", 0},
                      // the first occurrence counts, also inside a longer word
                      ParamCase{"PIC16FEE 3 fee=8 ee=64", "ee=", 8},
                      ParamCase{"P 1 vcc=3300 vcc=5000", "vcc=", 3300},
                      ParamCase{"P 1 vcc=  -42x", "vcc=", -42},
                      ParamCase{"P 1 vcc=+7", "vcc=", 7},
                      ParamCase{"P 1 vcc=abc", "vcc=", 0},
                      ParamCase{"P 1 vcc=", "vcc=", 0},
                      ParamCase{"P 1 dly=99999999999", "dly=", 2147483647},
                      ParamCase{"P 1 dly=-99999999999", "dly=", -2147483647 - 1},
                      ParamCase{"", "vcc=", 0}),
    quilla::test::CaseName([](const auto& c) { return std::string(c.key) + " in " + c.params; }));

TEST(ParseParamString, KeywordVariantAndNoId) {
    ParsedParams p = ParseParamString("P27 5 vcc=5000");
    EXPECT_TRUE(p.HasBlank);
    EXPECT_EQ(p.DeviceKeyword, "P27");
    EXPECT_EQ(p.VariantIndex, 5);
    EXPECT_EQ(p.ExpectedId, (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
}

struct IdCase {
    const char* params;
    std::array<std::uint8_t, 4> id;
};

class ExpectedIdTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(ExpectedIdTest, ReadsFourBytesAfterHash) {
    EXPECT_EQ(ParseParamString(GetParam().params).ExpectedId, GetParam().id) << GetParam().params;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExpectedIdTest,
    ::testing::Values(IdCase{"P29F 3 #01 A4 FF 00", {0x01, 0xA4, 0xFF, 0x00}},
                      IdCase{"P29F 3 #bf b5 0a 1c vcc=5000", {0xBF, 0xB5, 0x0A, 0x1C}},
                      // missing bytes are 0; nothing is read past the end
                      IdCase{"P29F 3 #1F 44", {0x1F, 0x44, 0, 0}},
                      IdCase{"P29F 3 #1F 4", {0x1F, 0x04, 0, 0}},
                      IdCase{"P29F 3 #", {0, 0, 0, 0}},
                      IdCase{"P29F 3 #zz 12", {0, 0x12, 0, 0}},
                      // a '#' before the first blank is not the ID
                      IdCase{"P#01 3", {0, 0, 0, 0}}),
    quilla::test::CaseName([](const auto& c) { return std::string(c.params); }));

TEST(ParseParamString, NegativeVariantGetsThrough) {
    EXPECT_EQ(ParseParamString("P27 -1").VariantIndex, -1);
}

TEST(ParseParamString, LeadingBlankGivesEmptyKeyword) {
    ParsedParams p = ParseParamString(" P27 5");
    EXPECT_TRUE(p.HasBlank);
    EXPECT_EQ(p.DeviceKeyword, "");
    EXPECT_EQ(p.VariantIndex, 0);  // "P27 5" has no leading digits
}

TEST(ParseParamString, WithoutBlankDerivesNothing) {
    EXPECT_FALSE(ParseParamString("---").HasBlank);
    EXPECT_FALSE(ParseParamString("").HasBlank);
}

struct AdapterCase {
    const char* params;
    const char* typeText;
    const char* label;
};

class AdapterTest : public ::testing::TestWithParam<AdapterCase> {};

TEST_P(AdapterTest, LabelFromKeyOrPackageMark) {
    EXPECT_EQ(AdapterFor(GetParam().params, GetParam().typeText), GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AdapterTest,
    ::testing::Values(
        // 15 raw characters after adp=, following parameters included
        AdapterCase{"P29F 1 adp=TSOP48 vcc=3300", "AMD: AM29F016 48TSOP", "TSOP48 vcc=3300"},
        AdapterCase{"P29F 1 adp=ABCDEFGHIJKLMNOPQRS", "", "ABCDEFGHIJKLMNO"},
        AdapterCase{"P29F 1 adp=X", "", "X"},
        AdapterCase{"P29F 1 adp=", "AT: X *P44", ""},
        AdapterCase{"P89C51 1", "ATMEL: AT89C51 *P44", "KLV-UNIV-44"},
        AdapterCase{"P89C51 1", "ATMEL: AT89C51 *Q44", "KLV-UNIV-44TQ"},
        AdapterCase{"P29F 1", "AMD: AM29F400 48TSOP", "KLV-UNIV-48TS"},
        AdapterCase{"P29F 1", "AMD: X 40TSOP", "KLV-UNIV-40TS"},
        // the last pattern found in table order wins
        AdapterCase{"P 1", "X: Y 44PS", "KLV-UNIV-44PS"},
        AdapterCase{"P 1", "X: Y *P44 32PLCC", "KLV-UNIV-32PLCC"},
        AdapterCase{"P 1", "X: Y 32TSOP", "KLV-UNIV-32TS"},
        AdapterCase{"P 1", "X: Y *p44", ""},
        AdapterCase{"P 1", "", ""}),
    quilla::test::CaseName([](const auto& c) { return std::string(c.params) + " " + c.typeText; }));

}  // namespace
}  // namespace quilla
