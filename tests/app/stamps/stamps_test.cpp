#include "app/stamps.h"

#include <gmock/gmock.h>

#include "app/workbench.h"
#include "support/scripted_prompts.h"

namespace quilla::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class StampsTest : public ::testing::Test {
protected:
    StampsTest() : wb(prompts) { wb.options.StampClock = [this] { return clockText; }; }
    std::vector<std::uint8_t> Bytes(int from, int count) const {
        return {wb.ImageBuffer.begin() + from, wb.ImageBuffer.begin() + from + count};
    }
    ScriptedPrompts prompts;
    Workbench wb;
    std::string clockText = "2026/12/10 13:14:15";
};

struct SerialCase {
    const char* name;
    int base;
    const char* value;
    const char* step;
    const char* length;
    std::vector<std::uint8_t> written;  // at 0xFFF on
    const char* shown;                  // the value field afterwards
};

std::ostream& operator<<(std::ostream& os, const SerialCase& c) { return os << c.name; }

class SerialStamp : public StampsTest, public ::testing::WithParamInterface<SerialCase> {};

TEST_P(SerialStamp, WritesTheNextValueLsbFirst) {
    const SerialCase& c = GetParam();
    wb.options.SerialStamp = true;
    wb.options.NumberBase = c.base;
    wb.options.SerialStart = c.base == 0 ? "0fff" : "4095";  // "0fff" reads as 0 in decimal
    wb.options.SerialValue = c.value;
    wb.options.SerialStep = c.step;
    wb.options.SerialLength = c.length;
    EXPECT_TRUE(ApplyStamps(wb));
    const int n = static_cast<int>(c.written.size());
    EXPECT_THAT(Bytes(0xFFF, n), ElementsAreArray(c.written));
    EXPECT_EQ(wb.ImageBuffer[0xFFF + n], 0xFF) << "one byte too many";
    EXPECT_EQ(wb.options.SerialValue, c.shown);
    EXPECT_TRUE(prompts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialStamp,
    ::testing::Values(
        SerialCase{"Defaults", 0, "0", "1", "2", {0x01, 0x00}, "1"},
        SerialCase{"HexNineToA", 0, "9", "1", "1", {0x0A}, "a"},
        SerialCase{"Decimal255", 1, "255", "1", "2", {0x00, 0x01}, "256"},
        SerialCase{"FloatReadsDecimal", 2, "10", "1", "1", {0x0B}, "11"},
        SerialCase{"LengthZeroStillAdvances", 0, "0", "1", "0", {}, "1"},
        SerialCase{"NegativeLengthWritesNothing", 1, "0", "1", "-3", {}, "1"},
        SerialCase{"FourBytes", 0, "12345677", "1", "4", {0x78, 0x56, 0x34, 0x12}, "12345678"},
        SerialCase{"ThreeBytesCut", 0, "123456", "2", "3", {0x58, 0x34, 0x12}, "123458"},
        SerialCase{"SignBytesPositive", 1, "99", "1", "6", {100, 0, 0, 0, 0, 0}, "100"},
        SerialCase{"SignBytesNegative", 1, "-3", "1", "6", {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "-2"},
        SerialCase{"NegativeStep", 1, "5", "-10", "2", {0xFB, 0xFF}, "-5"},
        SerialCase{"HexNegative", 0, "fffffffe", "1", "5", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "ffffffff"},
        SerialCase{"WrapsTo32Bits", 0, "7fffffff", "1", "5", {0x00, 0x00, 0x00, 0x80, 0xFF}, "80000000"},
        SerialCase{"BigStep", 1, "0", "1000", "2", {0xE8, 0x03}, "1000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StampsTest, EachPassCountAdvancesByTheStep) {
    wb.options.SerialStamp = true;
    wb.PassCount(1);
    EXPECT_THAT(Bytes(0xFFF, 2), ElementsAre(0x01, 0x00));
    wb.options.SerialStep = "3";
    wb.PassCount(1);
    EXPECT_THAT(Bytes(0xFFF, 2), ElementsAre(0x04, 0x00));
    EXPECT_EQ(wb.options.SerialValue, "4");
    EXPECT_EQ(wb.Counter, "2");
}

TEST_F(StampsTest, ErrorFlagStopsPassCountStamping) {
    wb.options.SerialStamp = true;
    wb.options.DateStamp = true;
    wb.ErrorFlag() = 1;
    wb.PassCount(1);
    EXPECT_EQ(wb.ImageBuffer[0xFFF], 0xFF);
    EXPECT_EQ(wb.ImageBuffer[0xFE0], 0xFF);
    EXPECT_EQ(wb.options.SerialValue, "0");
}

TEST_F(StampsTest, SerialAtTheImageEndSkipsWhatFallsOutside) {
    wb.options.SerialStamp = true;
    wb.options.SerialStart = "7ffffe";
    wb.options.SerialValue = "4432";
    wb.options.SerialLength = "1000";
    EXPECT_TRUE(ApplyStamps(wb));
    EXPECT_EQ(wb.ImageBuffer[0x7FFFFE], 0x33);
    EXPECT_EQ(wb.ImageBuffer[0x7FFFFF], 0x44);
}

TEST_F(StampsTest, SerialBeforeTheImageStartSkipsWhatFallsOutside) {
    wb.options.SerialStamp = true;
    wb.options.SerialStart = "ffffffff";  // -1
    wb.options.SerialValue = "4432";
    wb.options.SerialLength = "3";
    EXPECT_TRUE(ApplyStamps(wb));
    EXPECT_THAT(Bytes(0, 3), ElementsAre(0x44, 0x00, 0xFF));
}

struct DateCase {
    const char* name;
    std::string text;
    std::vector<std::uint8_t> written;
};

std::ostream& operator<<(std::ostream& os, const DateCase& c) { return os << c.name; }

std::vector<std::uint8_t> B(const std::string& s) { return {s.begin(), s.end()}; }

class DateStamp : public StampsTest, public ::testing::WithParamInterface<DateCase> {};

TEST_P(DateStamp, WritesSixteenBytes) {
    wb.options.DateStamp = true;
    clockText = GetParam().text;
    EXPECT_TRUE(ApplyStamps(wb));
    EXPECT_THAT(Bytes(0xFE0, 16), ElementsAreArray(GetParam().written));
    EXPECT_EQ(wb.ImageBuffer[0xFF0], 0xFF);
    EXPECT_EQ(wb.options.DateText, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DateStamp,
    ::testing::Values(
        DateCase{"Long", "2026/12/10 13:14:15", B("2026/12/10 13:14")},
        DateCase{"Seventeen", "12/10/26 13:14:15", B("12/10/26 13:14:1")},
        DateCase{"Sixteen", "12/10/2613:14:15", B("12/10/2613:14:15")},
        DateCase{"Fifteen", "2026/1/2 3:4:56", B(std::string("2026/1/2 3:4:56") + '\0')},
        DateCase{"Short", "abc", B(std::string("abc") + std::string(13, '\0'))},
        DateCase{"Utf8CutByBytes", "2026年12月10日 13:14", B(std::string("2026年12月10日 13:14").substr(0, 16))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StampsTest, DateAtTheImageEndSkipsWhatFallsOutside) {
    wb.options.DateStamp = true;
    wb.options.DateStart = "7ffffc";
    EXPECT_TRUE(ApplyStamps(wb));
    EXPECT_THAT(Bytes(0x7FFFFC, 4), ElementsAre('2', '0', '2', '6'));
}

TEST_F(StampsTest, DecimalBaseReadsTheHexDefaultAddressAsZero) {
    wb.options.SerialStamp = true;
    wb.options.NumberBase = 1;
    EXPECT_TRUE(ApplyStamps(wb));
    EXPECT_THAT(Bytes(0, 2), ElementsAre(0x01, 0x00));
}

TEST_F(StampsTest, NothingTickedDoesNothing) {
    EXPECT_TRUE(ApplyStamps(wb));
    EXPECT_EQ(wb.ImageBuffer[0xFFF], 0xFF);
    EXPECT_EQ(wb.options.SerialValue, "0");
}

struct BadField {
    const char* name;
    std::string Options::*field;
    const char* text;
    int base;
};

std::ostream& operator<<(std::ostream& os, const BadField& c) { return os << c.name; }

class UnreadableField : public StampsTest, public ::testing::WithParamInterface<BadField> {};

TEST_P(UnreadableField, RefusesBothStampsAndStopsTheBatch) {
    const BadField& c = GetParam();
    wb.options.SerialStamp = true;
    wb.options.DateStamp = true;
    wb.options.NumberBase = c.base;
    wb.options.SerialStart = c.base == 0 ? "0fff" : "4095";
    wb.options.DateStart = c.base == 0 ? "0fe0" : "4064";
    wb.options.*c.field = c.text;
    auto before = Bytes(0, 0x2000);
    wb.PassCount(1);
    EXPECT_EQ(Bytes(0, 0x2000), before);
    EXPECT_EQ(wb.options.SerialValue, c.field == &Options::SerialValue ? c.text : "0");
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(wb.ErrorFlag(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, UnreadableField,
    ::testing::Values(BadField{"LengthWord", &Options::SerialLength, "two", 0},
                      BadField{"LengthTrailing", &Options::SerialLength, "2x", 0},
                      BadField{"StepEmpty", &Options::SerialStep, "", 0},
                      BadField{"AddressNotHex", &Options::SerialStart, "zz", 0},
                      BadField{"ValueNotDecimal", &Options::SerialValue, "ff", 1},
                      BadField{"DateAddressNotDecimal", &Options::DateStart, "x10", 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StampsTest, UnreadableFieldOutsideABatchLeavesErrorFlag) {
    wb.options.SerialStamp = true;
    wb.options.SerialLength = "many";
    EXPECT_FALSE(ApplyStamps(wb, false));
    EXPECT_EQ(wb.ErrorFlag(), 0);
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(wb.ImageBuffer[0xFFF], 0xFF);
}

TEST_F(StampsTest, UnreadableFieldOfAnUntickedStampIsIgnored) {
    wb.options.SerialStamp = true;
    wb.options.DateStart = "nonsense";
    EXPECT_TRUE(ApplyStamps(wb));
    EXPECT_EQ(wb.ImageBuffer[0xFFF], 0x01);
}

class CountingView : public ShellView {
public:
    int displays = 0;
    void Display() override { ++displays; }
};

TEST_F(StampsTest, RedrawsTheBufferWindowOnlyWhenItExists) {
    CountingView view;
    wb.view = &view;
    wb.options.SerialStamp = true;
    ApplyStamps(wb);
    EXPECT_EQ(view.displays, 0);
    wb.FileNew();
    view.displays = 0;
    ApplyStamps(wb);
    EXPECT_EQ(view.displays, 1);
}

}  // namespace
}  // namespace quilla::test
