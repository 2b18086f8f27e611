#include "app/numparse.h"
#include "support/param_names.h"

#include <gtest/gtest.h>

namespace quilla::test {
namespace {

struct NumCase {
    const char* text;
    std::optional<std::int32_t> value;
};

class Hex32 : public ::testing::TestWithParam<NumCase> {};
TEST_P(Hex32, ReadsLikePercentX) { EXPECT_EQ(ParseHex32(GetParam().text), GetParam().value) << GetParam().text; }
INSTANTIATE_TEST_SUITE_P(
    Texts, Hex32,
    ::testing::Values(NumCase{"0fff", 0xFFF}, NumCase{"  ffffff", 0xFFFFFF}, NumCase{"0x1A", 0x1A},
                      NumCase{"0X", 0}, NumCase{"12zz", 0x12}, NumCase{"ffffffff", -1},
                      NumCase{"1ffffffff", -1}, NumCase{"-10", -16}, NumCase{"+a", 10},
                      NumCase{"", std::nullopt}, NumCase{"   ", std::nullopt}, NumCase{"zz", std::nullopt},
                      NumCase{"-", std::nullopt}, NumCase{"0x", 0}),
    quilla::test::CaseName([](const auto& c) { return std::string(c.text); }));

class Dec32 : public ::testing::TestWithParam<NumCase> {};
TEST_P(Dec32, ReadsLikePercentD) { EXPECT_EQ(ParseDec32(GetParam().text), GetParam().value) << GetParam().text; }
INSTANTIATE_TEST_SUITE_P(
    Texts, Dec32,
    ::testing::Values(NumCase{"255", 255}, NumCase{" -7", -7}, NumCase{"12ab", 12}, NumCase{"4294967295", -1},
                      NumCase{"2147483648", -2147483647 - 1}, NumCase{"ff", std::nullopt},
                      NumCase{"", std::nullopt}, NumCase{"+", std::nullopt}),
    quilla::test::CaseName([](const auto& c) { return std::string(c.text); }));

class StrictInt : public ::testing::TestWithParam<NumCase> {};
TEST_P(StrictInt, ReadsOnlyWholeNumbers) { EXPECT_EQ(StrToInt32(GetParam().text), GetParam().value) << GetParam().text; }
INSTANTIATE_TEST_SUITE_P(
    Texts, StrictInt,
    ::testing::Values(NumCase{"2", 2}, NumCase{" 16 ", 16}, NumCase{"-3", -3}, NumCase{"2147483647", 2147483647},
                      NumCase{"-2147483648", -2147483647 - 1}, NumCase{"2147483648", std::nullopt},
                      NumCase{"99999999999999", std::nullopt}, NumCase{"12ab", std::nullopt},
                      NumCase{"", std::nullopt}, NumCase{"x", std::nullopt}),
    quilla::test::CaseName([](const auto& c) { return std::string(c.text); }));

}  // namespace
}  // namespace quilla::test
