// Contact test as a table, plus the test-supply routing per ground code.
#include "ep3_fixture.h"
#include "support/param_names.h"

using namespace quilla;
using namespace quilla::test;

namespace {

constexpr int Untouched = 7;  // ErrorFlag before the test, to see whether it changed

std::uint32_t LoBits(std::initializer_list<int> pins) {
    std::uint32_t m = 0;
    for (int p : pins)
        if (p <= 32) m |= 1u << (p - 1);
    return m;
}
std::uint32_t HiBits(std::initializer_list<int> pins) {
    std::uint32_t m = 0;
    for (int p : pins)
        if (p > 32) m |= 1u << (p - 33);
    return m;
}
std::uint32_t Range(int from, int to, bool hi) {
    std::uint32_t m = 0;
    for (int p = from; p <= to; ++p) {
        if (!hi && p <= 32) m |= 1u << (p - 1);
        if (hi && p > 32) m |= 1u << (p - 33);
    }
    return m;
}
// Contact bytes with the given pins touching.
Bytes Touch(std::initializer_list<int> pins) {
    Bytes b(6, 0);
    for (int p : pins) b[static_cast<std::size_t>((p - 1) / 8)] |= static_cast<std::uint8_t>(1u << ((p - 1) % 8));
    return b;
}
Bytes TouchRange(int from, int to, std::initializer_list<int> except = {}) {
    Bytes b(6, 0);
    for (int p = from; p <= to; ++p) {
        bool skip = false;
        for (int e : except) skip = skip || e == p;
        if (!skip) b[static_cast<std::size_t>((p - 1) / 8)] |= static_cast<std::uint8_t>(1u << ((p - 1) % 8));
    }
    return b;
}

const std::string NoChip = "没有OK..安放器件！\n或者USB接口5V电流太小!";
std::string Question(const std::string& list) {
    return "有如下插脚接触不良(锁紧插座的编号):\n" + list + "\n\n要继续按Yes,要取消按Cancel";
}

struct ContactCase {
    const char* name;
    const char* model;
    bool massProduction;
    bool contactCheck;
    int gnd;
    std::uint32_t lo, hi;
    Bytes contact;
    int answer;  // button pressed on a question
    int result;
    int errorFlag;
    std::string message;  // "" = no message box
    bool sends;
};

const std::uint32_t Dip24 = Range(9, 32, false);  // a 24-pin chip: pins 9..32

std::vector<ContactCase> Cases() {
    return {
        {"Vex310Skips", "vex310", false, true, 20, Dip24, 0, Bytes(6, 0), BtnYes, 1, Untouched, "", false},
        {"BothSwitchesOffSkips", "vex520", false, false, 20, Dip24, 0, Bytes(6, 0), BtnYes, 1, Untouched, "", false},
        {"BothMasksZeroSkips", "vex520", false, true, 20, 0, 0, Bytes(6, 0), BtnYes, 1, Untouched, "", false},
        {"MassProductionRunsWithoutContactSwitch", "vex520", true, false, 20, Dip24, 0, TouchRange(9, 32),
         BtnYes, 1, 0, "", true},
        {"AllMaskedPinsTouch", "vex520", false, true, 20, Dip24, 0, TouchRange(9, 32), BtnYes, 1, 0, "", true},
        {"UnmaskedBadPinsDoNotMatter", "vex640", false, true, 20, Dip24, 0, TouchRange(9, 32), BtnYes, 1, 0, "",
         true},
        {"Pins3And12BadYes", "vex520", false, true, 20, Range(1, 24, false), 0, TouchRange(1, 24, {3, 12}),
         BtnYes, 2, Untouched, Question("3, 12, "), true},
        {"Pins3And12BadCancel", "vex520", false, true, 20, Range(1, 24, false), 0, TouchRange(1, 24, {3, 12}),
         BtnCancel, 0, 1, Question("3, 12, "), true},
        {"Pins3And12BadMassProductionSilent", "vex520", true, true, 20, Range(1, 24, false), 0,
         TouchRange(1, 24, {3, 12}), BtnYes, 0, 1, "", true},
        {"FifteenBadPins", "vex520", false, true, 40, Range(1, 16, false), 0, Touch({16}), BtnYes, 2, Untouched,
         Question("1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, ..."), true},
        {"ElevenBadPins", "vex520", false, true, 40, Range(1, 12, false), 0, Touch({12}), BtnYes, 2, Untouched,
         Question("1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, ..."), true},
        {"TenBadPins", "vex520", false, true, 40, Range(1, 11, false), 0, Touch({11}), BtnYes, 2, Untouched,
         Question("1, 2, 3, 4, 5, 6, 7, 8, 9, 10, "), true},
        {"HighMaskPins", "vex520", false, true, 20, LoBits({20, 21}), HiBits({33, 48}), Touch({20, 21}), BtnYes, 2,
         Untouched, Question("33, 48, "), true},
        {"EmptySocket", "vex520", false, true, 20, Dip24, 0, Bytes(6, 0), BtnYes, 0, 1, NoChip, true},
        {"EmptySocketMassProductionSilent", "vex520", true, true, 20, Dip24, 0, Bytes(6, 0), BtnYes, 0, 1, "",
         true},
        // The ground pin reads 1 from its own test supply: left out of the presence test.
        {"OnlyGroundPinTouches", "vex520", false, true, 20, Dip24, 0, Touch({20}), BtnYes, 0, 1, NoChip, true},
        {"OnlyVccGroundPinTouches", "vex520", false, true, 12, Dip24, 0, Touch({12}), BtnYes, 0, 1, NoChip, true},
        // Code 100 leaves no pin out: its supplied pins 11 and 30 count as a chip.
        {"Code100SuppliedPinsCount", "vex520", false, true, 100, LoBits({11, 12, 30}), 0, Touch({11, 30}),
         BtnCancel, 0, 1, Question("12, "), true},
        {"Code101NothingTouches", "vex520", false, true, 101, LoBits({13, 14}), 0, Bytes(6, 0), BtnYes, 0, 1,
         NoChip, true},
        {"Code101Passes", "vex520", false, true, 101, LoBits({13, 14}), 0, Touch({13, 14}), BtnYes, 1, 0, "",
         true},
        {"Pins1And48", "vex520", false, true, 20, LoBits({1}), HiBits({48}), Bytes{0x01, 0, 0, 0, 0, 0x80},
         BtnYes, 1, 0, "", true},
    };
}

class Contact : public EngineTest, public ::testing::WithParamInterface<ContactCase> {};

TEST_P(Contact, ResultFlagMessageAndTraffic) {
    const ContactCase& c = GetParam();
    Connect(c.model);
    options.MassProduction = c.massProduction;
    options.ContactCheck = c.contactCheck;
    ep3.ErrorFlag = Untouched;
    usb.QueueReply(c.contact);
    prompts.answers.push_back(c.answer);

    EXPECT_EQ(ep3.CheckPinContact(c.gnd, 0, c.lo, c.hi, 0), c.result);
    EXPECT_EQ(ep3.ErrorFlag, c.errorFlag);
    if (c.message.empty()) {
        EXPECT_TRUE(prompts.shown.empty()) << prompts.Last();
    } else {
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].text, c.message);
        const bool question = c.message.rfind("有如下", 0) == 0;
        EXPECT_EQ(prompts.shown[0].buttons, question ? (BtnYes | BtnCancel) : BtnOk);
    }
    EXPECT_EQ(!usb.writes.empty(), c.sends);
    EXPECT_EQ(usb.readSizes.size(), c.sends ? 1u : 0u);
    EXPECT_EQ(Queued(), Bytes{});
}

INSTANTIATE_TEST_SUITE_P(Table, Contact, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A form's presence check runs the test with both switches off.
TEST_F(EngineTest, TestPinContactRunsWhateverTheSwitchesSay) {
    Connect();
    options.MassProduction = false;
    options.ContactCheck = false;
    usb.QueueReply(Touch({20}));
    EXPECT_EQ(ep3.TestPinContact(20, LoBits({20, 24}), 0), 0);
    EXPECT_EQ(ep3.ErrorFlag, 1);
    EXPECT_EQ(prompts.Last(), NoChip);
    usb.QueueReply(Touch({20, 24}));
    EXPECT_EQ(ep3.TestPinContact(20, LoBits({20, 24}), 0), 1);
    EXPECT_EQ(ep3.ErrorFlag, 0);
}

TEST_F(EngineTest, ContactBytesShownHighByteFirst) {
    Connect();
    Edit4Log log;
    ep3.StatusWin = &log;
    usb.QueueReply({0x01, 0x00, 0x00, 0x00, 0x00, 0x80});
    EXPECT_EQ(ep3.CheckPinContact(20, 0, LoBits({1}), HiBits({48}), 0), 1);
    EXPECT_EQ(ep3.Edit4, "80 00 00 00 00 01 ");
    EXPECT_EQ(log.texts, (std::vector<std::string>{"80 00 00 00 00 01 "}));
}

TEST_F(EngineTest, ContactReadClearsStaleReplyBytes) {
    Connect();
    ep3.UsbReplyBuf.fill(0xFF);
    usb.replies.push_back(Bytes(64, 0));  // the reply carries zeros for every pin
    EXPECT_EQ(ep3.CheckPinContact(20, 0, Dip24, 0, 0), 0);
    EXPECT_EQ(ep3.Edit4, "00 00 00 00 00 00 ");
}

// Test-supply routing and the restore of the ground code.
struct GroundCase {
    int gnd;
    std::vector<Bytes> supply;  // transfers between contact mode on and the capture read
    Bytes captureHead;          // what precedes the six captures in their transfer
    std::vector<Bytes> restoreTail;
};

class GroundRouting : public EngineTest, public ::testing::WithParamInterface<GroundCase> {};

TEST_P(GroundRouting, SupplyGoesToTheGroundPinAndCodeIsRestored) {
    const GroundCase& c = GetParam();
    Connect();
    usb.QueueReply({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    ep3.CheckPinContact(c.gnd, 0, 0xFFFFFFFFu, 0xFFFFu, 0);

    const auto& w = usb.writes;
    std::size_t on = 0;
    while (on < w.size() && w[on] != Bytes{0x0A, 0x04, 0x0C}) ++on;
    ASSERT_LT(on, w.size());
    std::size_t capture = on + 1;
    while (capture < w.size() && (w[capture].empty() || w[capture].back() != 0x07)) ++capture;
    ASSERT_LT(capture, w.size());
    EXPECT_EQ(std::vector<Bytes>(w.begin() + static_cast<long>(on) + 1, w.begin() + static_cast<long>(capture)),
              c.supply);
    Bytes captures = c.captureHead;
    for (int r = 22; r <= 27; ++r) {
        captures.push_back(0x0B);
        captures.push_back(static_cast<std::uint8_t>(r));
    }
    captures.push_back(0x07);
    EXPECT_EQ(w[capture], captures);
    ASSERT_GE(w.size(), c.restoreTail.size());
    EXPECT_EQ(std::vector<Bytes>(w.end() - static_cast<long>(c.restoreTail.size()), w.end()), c.restoreTail);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, GroundRouting,
    ::testing::Values(
        GroundCase{12, {{0x0E, 21, 12, 0}, {0x1B, 0x08, 12}}, {0x1B}, {{0x0E, 22, 12, 0}, {0x09, 12, 0x1B}}},
        GroundCase{10, {{0x0E, 20, 10, 0}}, {0x1B}, {{0x0E, 22, 10, 0}, {0x09, 10, 0x1B}}},
        GroundCase{14, {{0x0E, 20, 14, 0}}, {0x1B}, {{0x0E, 22, 14, 0}, {0x09, 14, 0x1B}}},
        GroundCase{15, {{0x0E, 20, 15, 0}}, {0x1B}, {{0x0E, 22, 15, 0}, {0x09, 15, 0x1B}}},
        GroundCase{20, {{0x0E, 20, 20, 0}}, {0x1B}, {{0x0E, 22, 20, 0}, {0x09, 20, 0x1B}}},
        GroundCase{31, {{0x0E, 20, 31, 0}}, {0x1B}, {{0x0E, 22, 31, 0}, {0x09, 31, 0x1B}}},
        GroundCase{100,
                   {{0x0E, 20, 11, 0}, {0x0E, 21, 30, 0}, {0x1B, 0x08, 30}},
                   {0x1B},
                   {{0x0E, 22, 100, 0}, {0x09, 100, 0x1B}}},
        GroundCase{101, {{0x0E, 21, 13, 0}, {0x1B, 0x08, 13}}, {0x1B}, {{0x0E, 22, 101, 0}, {0x09, 101, 0x1B}}}),
    quilla::test::CaseName([](const auto& c) { return "gnd " + std::to_string(c.gnd); }));

}  // namespace
