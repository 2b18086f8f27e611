// The PIC serial layer's bytes: data frames, fillers, the programming recipe
// of every variant, the wait-count rules and the user ID packing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "algo/pic/pic_serial.h"
#include "engine/ep3.h"
#include "support/param_names.h"
#include "support/recording_transport.h"
#include "support/scripted_prompts.h"

namespace quilla::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Queue {
    ScriptedPrompts prompts;
    Options options;
    RecordingTransport t;
    TEp3 ep3{prompts, options, &t};
    Bytes Queued() const { return Bytes(ep3.UsbCmdQueue.begin(), ep3.UsbCmdQueue.begin() + ep3.UsbCmdCount); }
};

struct FrameCase {
    std::uint32_t d;
    std::uint8_t lo, hi;
};
class Frames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(Frames, AreTheWordShiftedLeftByOneLowByteFirst) {
    const FrameCase& c = GetParam();
    Queue q;
    PicSerial pic(q.ep3, picvariant::P16fEEx);
    pic.SendCommandData(0xF2, c.d);
    EXPECT_EQ(q.Queued(), (Bytes{0x33, 0xF2, c.lo, c.hi}));
}

INSTANTIATE_TEST_SUITE_P(Layer, Frames,
                         ::testing::Values(FrameCase{0x3FFF, 0xFE, 0x7F}, FrameCase{0xFFFF, 0xFE, 0xFF},
                                           FrameCase{0x00FF, 0xFE, 0x01}, FrameCase{0x0001, 0x02, 0x00},
                                           FrameCase{0x2000, 0x00, 0x40}, FrameCase{0x005A, 0xB4, 0x00}),
                         CaseName([](const FrameCase& c) { return HexPart(c.d); }));

TEST(Layer, AFrameNeverCrossesAPacket) {
    for (int before : {61, 62, 63}) {
        Queue q;
        for (int i = 0; i < before; ++i) q.ep3.UsbPut1(proto::OpWaitPulse);
        PicSerial(q.ep3, picvariant::P16c8x).SendCommandData(0x02, 0x3FFF);
        const Bytes b = q.Queued();
        ASSERT_EQ(b.size(), 68u) << before;
        for (int i = before; i < 64; ++i) EXPECT_EQ(b[static_cast<std::size_t>(i)], 0x00) << before;
        EXPECT_EQ(Bytes(b.begin() + 64, b.end()), (Bytes{0x33, 0x02, 0xFE, 0x7F})) << before;
    }
}

// ---- programming recipes -------------------------------------------------------------------------

struct RecipeCase {
    const char* name;
    const PicVariant* variant;
    PicSpeed speed;
    Bytes bytes;  // ProgramWord(1234h) with the variant's wait count
};
class Recipes : public ::testing::TestWithParam<RecipeCase> {};

TEST_P(Recipes, EmitTheirBytes) {
    const RecipeCase& c = GetParam();
    Queue q;
    PicSerial pic(q.ep3, *c.variant);
    pic.ProgramWord(0x1234, pic.WaitCount(c.speed));
    EXPECT_EQ(q.Queued(), c.bytes);
}

constexpr std::uint8_t W25 = 0x19, W26 = 0x1A, W27 = 0x1B;
INSTANTIATE_TEST_SUITE_P(
    Layer, Recipes,
    ::testing::Values(
        RecipeCase{"P16fEEx dly1 fast", &picvariant::P16fEEx, {1, "Fast写", 0},
                   {0x33, 0xF2, 0x68, 0x24, 0x31, 0x18, W26, 0x31, 0xF6}},
        RecipeCase{"P16fEEx dly0 fast", &picvariant::P16fEEx, {0, "Fast写", 0},
                   {0x33, 0xF2, 0x68, 0x24, 0x31, 0x18, W26, 0x31, 0xF6}},
        RecipeCase{"P16fEEx dly3 slow", &picvariant::P16fEEx, {3, "Slow  ", 0},
                   {0x33, 0xF2, 0x68, 0x24, 0x31, 0x18, W26, W26, W26, W26, W26, W26, 0x31, 0xF6}},
        RecipeCase{"P16fEEx dly2 typed text", &picvariant::P16fEEx, {2, "Slow", 0},
                   {0x33, 0xF2, 0x68, 0x24, 0x31, 0x18, W26, W26, 0x31, 0xF6}},
        RecipeCase{"P16f87x", &picvariant::P16f87x, {},
                   {0x33, 0xF2, 0x68, 0x24, 0x31, 0x18, W26, W26, W26, 0x31, 0xF6}},
        RecipeCase{"P16f628x", &picvariant::P16f628x, {},
                   {0x33, 0xF2, 0x68, 0x24, 0x31, 0x18, W26, W26, W26, W26, 0x31, 0xF6}},
        RecipeCase{"P16f7x1", &picvariant::P16f7x1, {},
                   {0x33, 0xF2, 0x68, 0x24, 0x31, 0xF8, W26, W26, W26, 0x31, 0xFE, 0x31, 0xF6}},
        RecipeCase{"P16c8x mid", &picvariant::P16c8x, {0, "", 0},
                   {0x33, 0x02, 0x68, 0x24, 0x31, 0x08, W27, 0x31, 0x06}},
        RecipeCase{"P16c8x slow", &picvariant::P16c8x, {0, "", 1},
                   {0x33, 0x02, 0x68, 0x24, 0x31, 0x08, W27, W27, 0x31, 0x06}},
        RecipeCase{"P16c6x slowest", &picvariant::P16c6x, {0, "", 2},
                   {0x33, 0x02, 0x68, 0x24, 0x31, 0x08, W25, W25, W25, 0x31, 0x0E, 0x31, 0x06}},
        RecipeCase{"P12c508x standard", &picvariant::P12c508x, {0, "", 1},
                   {0x33, 0x02, 0x68, 0x24, 0x31, 0x08, W25, W25, 0x31, 0x0E, 0x31, 0x06}},
        RecipeCase{"P16fx", &picvariant::P16fx, {},
                   {0x33, 0xF2, 0x68, 0x24, 0x31, 0xF8, W26, W26, W26, 0x31, 0xFE, 0x31, 0xF6}},
        RecipeCase{"P16f87xa1 dly2", &picvariant::P16f87xa1, {2, "Fast写", 0},
                   {0x33, 0x02, 0x68, 0x24, 0x31, 0x18, W26, W26, 0x31, 0x17, 0x31, 0x06}},
        RecipeCase{"P16f628a1 dly1 slow", &picvariant::P16f628a1, {1, "Slow  ", 0},
                   {0x33, 0x02, 0x68, 0x24, 0x31, 0x08, W26, W26, 0x31, 0x06}},
        RecipeCase{"P16c505x", &picvariant::P16c505x, {},
                   {0x33, 0x02, 0x68, 0x24, 0x31, 0x08, W25, 0x31, 0x0E, 0x31, 0x06}}),
    CaseName([](const RecipeCase& c) { return std::string(c.name); }));

TEST(Layer, NoWaitRuleGivesAWordNoTime) {
    Queue q;
    const PicVariant halved{"test", kPlainCodes, PicPowerOrder::GroundVcc, PicVppRaise::SerialEnable,
                            {0x02, 0x08, W26, PicWaitRule::DelayHalvedWhenFast, 0, -1, 0x06}, 32};
    EXPECT_EQ(PicSerial(q.ep3, halved).WaitCount({1, "Fast写", 0}), 1);
    EXPECT_EQ(PicSerial(q.ep3, halved).WaitCount({4, "Fast写", 0}), 2);
    EXPECT_EQ(PicSerial(q.ep3, halved).WaitCount({4, "Slow  ", 0}), 4);
    EXPECT_EQ(PicSerial(q.ep3, picvariant::P16c8x).WaitCount({0, "", -1}), 1);
}

// ---- sequences --------------------------------------------------------------------------------

TEST(Layer, EraseSequencesSendWhatTheyAreNamedFor) {
    struct Case {
        const char* name;
        const PicVariant* v;
        void (PicSerial::*run)();
        Bytes bytes;
    };
    const Bytes e{0x31, 0x01, 0x31, 0x07, 0x31, 0x08, W27, 0x31, 0x01, 0x31, 0x07};
    auto with = [&e](Bytes head) {
        head.insert(head.end(), e.begin(), e.end());
        return head;
    };
    const Case cases[] = {
        {"program, F-form", &picvariant::P16fEEx, &PicSerial::EraseProgram0107, with({0x33, 0xF2, 0xFE, 0xFF})},
        {"data, plain", &picvariant::P16c8x, &PicSerial::EraseData0107, with({0x33, 0x03, 0xFE, 0xFF})},
        {"everything, F-form", &picvariant::P16fEEx, &PicSerial::EraseAll0107,
         with({0x33, 0xF0, 0xFE, 0xFF, 0x31, 0xF6, 0x31, 0xF6, 0x31, 0xF6, 0x31, 0xF6, 0x31, 0xF6, 0x31, 0xF6, 0x31,
               0xF6})},
        {"chip erase F9", &picvariant::P16fEEx, &PicSerial::ChipEraseF9,
         {0x31, 0xF9, 0x33, 0xF2, 0xFE, 0xFF, 0x31, 0xF8, 0x1C, 0x1C, 0x1C}},
        {"bulk erase with configuration", &picvariant::P16fx, &PicSerial::BulkEraseWithConfig09,
         {0x33, 0x00, 0x00, 0x40, 0x31, 0x09, 0x1C, 0x1C, 0x1C}},
        {"bulk erase program 09", &picvariant::P16f628a1, &PicSerial::BulkEraseProgram09, {0x31, 0x09, 0x31, 0x08, W27}},
        {"bulk erase data 0B", &picvariant::P16f628a1, &PicSerial::BulkEraseData0B, {0x31, 0x0B, 0x31, 0x08, W27}},
    };
    for (const Case& c : cases) {
        Queue q;
        PicSerial pic(q.ep3, *c.v);
        (pic.*c.run)();
        EXPECT_EQ(q.Queued(), c.bytes) << c.name;
    }
    Queue q;
    PicSerial(q.ep3, picvariant::P16f87xa1).ChipErase1F(0x00);
    EXPECT_EQ(q.Queued(), (Bytes{0x33, 0x00, 0xFE, 0x7F, 0x31, 0x1F, 0x31, 0x08, W27}));
}

TEST(Layer, ConfigurationAreaWritesInBothStyles) {
    Queue q;
    PicSerial(q.ep3, picvariant::P16c8x).WriteConfigArea(0x1234, 0x3FF5, 1);
    auto word = [](std::uint16_t w) {
        const PicFrame f = PicDataFrame(w);
        return Bytes{0x33, 0x02, f.lo, f.hi, 0x31, 0x08, W27, 0x31, 0x06};
    };
    Bytes expect{0x33, 0x00, 0xFE, 0x7F};
    for (std::uint16_t w : {0x01, 0x12, 0x23, 0x34, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FF5}) {
        const Bytes b = word(w);
        expect.insert(expect.end(), b.begin(), b.end());
    }
    EXPECT_EQ(q.Queued(), expect);

    Queue r;
    PicSerial(r.ep3, picvariant::P16f87xa1).WriteConfigAreaThenWord(0x0ABC, 0x3F3A, 1);
    const Bytes got = r.Queued();
    const Bytes tail{0x31, 0x06, 0x31, 0x06, 0x31, 0x06, 0x33, 0x02, 0x74, 0x7E, 0x31, 0x08, W27};
    ASSERT_GE(got.size(), tail.size());
    EXPECT_EQ(Bytes(got.end() - static_cast<long>(tail.size()), got.end()), tail);
}

TEST(Layer, UserIdPacking) {
    EXPECT_EQ(UserIdWords(0x1234), (std::array<std::uint16_t, 4>{0x01, 0x12, 0x23, 0x34}));
    EXPECT_EQ(UserIdWords(0x0ABC), (std::array<std::uint16_t, 4>{0x00, 0x0A, 0xAB, 0xBC}));
    EXPECT_EQ(UserIdWords(0x12), (std::array<std::uint16_t, 4>{0x00, 0x00, 0x01, 0x12}));
    for (std::uint32_t id : {0x1234u, 0x0ABCu, 0x12u, 0xFFFFu}) {
        const auto w = UserIdWords(id);
        EXPECT_EQ(UserIdFromWords(w.data()), id);
    }
    const std::uint16_t programmed[4] = {0x3FF1, 0x3FF2, 0x3FF3, 0x3FF4};  // only the low nibbles count
    EXPECT_EQ(UserIdFromWords(programmed), 0x1234u);
    EXPECT_EQ(DeviceIdBytes(0x09A6), (std::array<std::uint8_t, 2>{0x09, 0xA0}));
    EXPECT_EQ(DeviceIdBytes(0x0560), (std::array<std::uint8_t, 2>{0x05, 0x60}));
}

}  // namespace
}  // namespace quilla::test
