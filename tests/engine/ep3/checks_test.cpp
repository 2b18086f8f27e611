// Over-current check, next-chip wait and the USB load test on a recording
// transport with scripted replies.
#include <algorithm>

#include "ep3_fixture.h"
#include "support/param_names.h"

using namespace quilla;
using namespace quilla::test;

namespace {

const Bytes VppOff{0x0E, 20, 0, 0};
const Bytes VccOff{0x0E, 21, 0, 0};

struct CurrentCase {
    std::uint8_t status;
    int ok;
};

class OverCurrent : public EngineTest, public ::testing::WithParamInterface<CurrentCase> {};

TEST_P(OverCurrent, ReadCurrentOkUsesBit0AndUnroutesOnAFault) {
    usb.QueueReply({GetParam().status});
    EXPECT_EQ(ep3.ReadCurrentOk(), GetParam().ok);
    std::vector<Bytes> expected = {{0x1A}, {0x0E, 31, 0, 0}, {0x07}};
    if (!GetParam().ok) {
        expected.push_back(VppOff);
        expected.push_back(VccOff);
    }
    EXPECT_EQ(usb.writes, expected);
    EXPECT_TRUE(prompts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Status, OverCurrent,
                         ::testing::Values(CurrentCase{0x01, 1}, CurrentCase{0x03, 1}, CurrentCase{0xFF, 1},
                                           CurrentCase{0x00, 0}, CurrentCase{0xFE, 0}, CurrentCase{0x02, 0}),
                         quilla::test::CaseName([](const auto& c) {
                             return "status " + quilla::test::HexPart(c.status);
                         }));

TEST_F(EngineTest, CheckCurrentReportsAFault) {
    ep3.ErrorFlag = 0;
    usb.QueueReply({0x00});
    EXPECT_EQ(ep3.CheckCurrent(), 0);
    EXPECT_EQ(ep3.ErrorFlag, 1);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, OverCurrentMsg);
    EXPECT_EQ(prompts.shown[0].buttons, BtnOk);
    // Both supplies were unrouted right after the status read.
    ASSERT_GE(usb.writes.size(), 5u);
    EXPECT_EQ(usb.writes[2], (Bytes{0x07}));
    EXPECT_EQ(usb.writes[3], VppOff);
    EXPECT_EQ(usb.writes[4], VccOff);
}

TEST_F(EngineTest, CheckCurrentPassesQuietly) {
    ep3.ErrorFlag = 5;
    usb.QueueReply({0x01});
    EXPECT_EQ(ep3.CheckCurrent(), 1);
    EXPECT_EQ(ep3.ErrorFlag, 5);
    EXPECT_TRUE(prompts.shown.empty());
}

// ---- next-chip wait ---------------------------------------------------------

const std::uint32_t Dip24 = 0xFFFFFF00u;  // pins 9..32
const Bytes Seated{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
const Bytes Empty(6, 0);
const std::string TakeOut = "  OK,请取走写好的器件";
const std::string PutIn = "  放置下一片...";
const std::string PutInCaption = "5秒后不放器件将Exit操作";

class NextChip : public EngineTest {
protected:
    void SetUp() override {
        Connect();
        options.MassProduction = true;
    }
    // Contact replies: `present` polls see the chip, then `absent` polls do not,
    // then `present2` polls see one again.
    void Script(int present, int absent, int present2) {
        for (int i = 0; i < present; ++i) usb.QueueReply(Seated);
        for (int i = 0; i < absent; ++i) usb.QueueReply(Empty);
        for (int i = 0; i < present2; ++i) usb.QueueReply(Seated);
    }
    int Wait() { return ep3.WaitNextChip(20, 0, Dip24, 0, 0); }
    long Count(const Bytes& transfer) const {
        return std::count(usb.writes.begin(), usb.writes.end(), transfer);
    }
};

TEST_F(NextChip, RemovedOn300thPollPlacedOn30th) {
    Script(299, 30, 1);
    EXPECT_EQ(Wait(), 1);
    EXPECT_EQ(usb.readSizes.size(), 330u);
    EXPECT_TRUE(usb.replies.empty());
    std::vector<std::string> texts(300, TakeOut);
    texts.insert(texts.end(), 30, PutIn);
    EXPECT_EQ(prompts.chipPrompt, texts);
    std::vector<std::string> captions(300, "");
    captions.insert(captions.end(), 30, PutInCaption);
    EXPECT_EQ(prompts.chipPromptCaptions, captions);
    EXPECT_EQ(prompts.chipPromptCloses, 1);
    EXPECT_TRUE(prompts.shown.empty());  // mass production: no message, no question
    EXPECT_EQ(ep3.ErrorFlag, 0);         // the test that found the new chip passed
    EXPECT_EQ(Count(Bytes{0x1C}), 330);  // one 100 ms wait before every poll
}

TEST_F(NextChip, ChipTakenAtOnceAndPutBackAtOnce) {
    Script(0, 1, 1);
    EXPECT_EQ(Wait(), 1);
    EXPECT_EQ(prompts.chipPrompt, (std::vector<std::string>{TakeOut, PutIn}));
    EXPECT_EQ(prompts.chipPromptCloses, 1);
}

TEST_F(NextChip, ChipNeverRemoved) {
    Script(300, 0, 0);
    EXPECT_EQ(Wait(), 0);
    EXPECT_EQ(usb.readSizes.size(), 300u);
    EXPECT_EQ(prompts.chipPrompt, std::vector<std::string>(300, TakeOut));
    EXPECT_EQ(prompts.chipPromptCloses, 1);
}

TEST_F(NextChip, NoNewChipWithinThirtyPolls) {
    Script(3, 31, 0);
    EXPECT_EQ(Wait(), 0);
    EXPECT_EQ(usb.readSizes.size(), 34u);
    EXPECT_EQ(prompts.chipPromptCloses, 1);
    EXPECT_EQ(ep3.ErrorFlag, 1);
}

TEST_F(NextChip, BadlySeatedNextChipDoesNotCount) {
    // Only some masked pins touch: a failed test in mass production.
    Script(0, 1, 0);
    usb.QueueReply({0x00, 0xFF, 0xFF, 0x7F, 0x00, 0x00});  // pin 32 loose
    usb.QueueReply(Seated);
    EXPECT_EQ(Wait(), 1);
    EXPECT_EQ(prompts.chipPrompt.size(), 3u);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(NextChip, MassProductionOffSendsNothing) {
    options.MassProduction = false;
    EXPECT_EQ(Wait(), 0);
    EXPECT_TRUE(usb.writes.empty());
    EXPECT_EQ(ep3.UsbCmdCount, 0);
    EXPECT_TRUE(prompts.chipPrompt.empty());
    EXPECT_EQ(prompts.chipPromptCloses, 0);
}

// ---- USB load test ---------------------------------------------------------

TEST_F(EngineTest, LoadTestCancelSendsNothing) {
    prompts.answers.push_back(BtnCancel);
    ep3.Button2Click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "确认插座上无器件,\n\n然后再按'Yes'");
    EXPECT_EQ(prompts.shown[0].buttons, BtnYes | BtnCancel);
    EXPECT_TRUE(usb.writes.empty());
    EXPECT_EQ(ep3.UsbCmdCount, 0);
    EXPECT_EQ(prompts.beeps, 0);
}

struct LoadCase {
    int faultAt;  // level whose current check fails; 10 = none
    std::string result;
};

class LoadTest : public EngineTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTest, CountsPassedLevels) {
    const LoadCase& c = GetParam();
    Edit4Log log;
    ep3.StatusWin = &log;
    prompts.answers.push_back(BtnYes);
    for (int i = 0; i < c.faultAt; ++i) usb.QueueReply({0x01});
    if (c.faultAt < 10) usb.QueueReply({0x00});

    ep3.Button2Click();

    std::vector<std::string> shown;
    for (int i = 0; i <= std::min(c.faultAt, 9); ++i) shown.push_back(std::to_string(i));
    shown.push_back(c.result);
    EXPECT_EQ(log.texts, shown);
    EXPECT_EQ(ep3.Edit4, c.result);
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(usb.readSizes.size(), static_cast<std::size_t>(std::min(c.faultAt + 1, 10)));
    // Ends with VPP at 0 V and unrouted.
    ASSERT_GE(usb.writes.size(), 3u);
    const auto n = usb.writes.size();
    EXPECT_EQ(usb.writes[n - 3], (Bytes{0x0E, 18, 0, 0}));
    EXPECT_EQ(usb.writes[n - 2], (Bytes{0x1B}));
    EXPECT_EQ(usb.writes[n - 1], VppOff);
    EXPECT_EQ(ep3.UsbCmdCount, 0);
}

INSTANTIATE_TEST_SUITE_P(Levels, LoadTest,
                         ::testing::Values(LoadCase{10, "10级，OK"}, LoadCase{5, "5级，OK"},
                                           LoadCase{6, "6级，OK"},
                                           LoadCase{4, "4级，PC机USB接口5V驱动电流不足!"},
                                           LoadCase{0, "0级，PC机USB接口5V驱动电流不足!"}),
                         quilla::test::CaseName([](const auto& c) { return "fault at " + std::to_string(c.faultAt); }));

TEST_F(EngineTest, LoadTestPreparesThenAddsOnePinPerLevel) {
    prompts.answers.push_back(BtnYes);
    for (int i = 0; i < 10; ++i) usb.QueueReply({0x01});
    ep3.Button2Click();  // not connected: no design is loaded

    const std::vector<Bytes> prepare = {
        {0x0A, 0x04, 0x00, 0x0E, 25, 15, 0},  // WriteReg(4, 0), port mode 15: flushed by GndPin
        {0x0E, 22, 0, 0},
        {0x0E, 21, 0, 0},
        {0x1B},
        {0x0E, 20, 0, 0},
        {0x0E, 18, 120, 0},
        {0x1B},
        {0x0E, 32, 0, 0},
    };
    ASSERT_GE(usb.writes.size(), prepare.size());
    EXPECT_EQ(std::vector<Bytes>(usb.writes.begin(), usb.writes.begin() + static_cast<long>(prepare.size())),
              prepare);
    // Every level routes VPP to one more pin and drives that pin low.
    for (int pin : LoadTestPins) {
        const Bytes route{0x0E, 20, static_cast<std::uint8_t>(pin), 0};
        const Bytes low{0x09, static_cast<std::uint8_t>(pin), 0x1C};
        auto it = std::search(usb.writes.begin(), usb.writes.end(), &route, &route + 1);
        ASSERT_NE(it, usb.writes.end()) << "pin " << pin;
        ASSERT_NE(it + 1, usb.writes.end());
        EXPECT_EQ(*(it + 1), low) << "pin " << pin;
    }
    // VPP is set to 16 V before the first level.
    const Bytes vpp16{0x0E, 18, 160, 0};
    EXPECT_NE(std::find(usb.writes.begin(), usb.writes.end(), vpp16), usb.writes.end());
}

TEST_F(EngineTest, LoadTestLoadsTheDefaultDesignWhenConnected) {
    Connect();
    ep3.ProgramDir = "/nonexistent-quilla-dir/";
    prompts.answers.push_back(BtnYes);
    try {
        ep3.Button2Click();
        FAIL() << "no fatal end";
    } catch (const FatalExit& e) {
        EXPECT_EQ(e.message, "缺文件(bit)!");
    }
}

}  // namespace
