// Golden transfers of every engine primitive: what goes out, in which
// transfers, and what is left in the queue for the next flush.
#include <functional>

#include "ep3_fixture.h"

using namespace quilla;
using namespace quilla::test;

namespace {

struct GoldenRow {
    const char* name;
    std::function<void(TEp3&)> call;
    std::vector<Bytes> transfers;
    Bytes queued;
};

Bytes AllPins(std::uint8_t op) {
    Bytes b;
    for (int p = 1; p <= 40; ++p) {
        b.push_back(op);
        b.push_back(static_cast<std::uint8_t>(p));
    }
    return b;
}

std::vector<GoldenRow> Rows() {
    return {
        {"SysCmd", [](TEp3& e) { e.SysCmd(17, 0); }, {{0x0E, 0x11, 0x00, 0x00}}, {}},
        {"SysCmdFlushesWhatWasQueued",
         [](TEp3& e) {
             e.PinHigh(3);
             e.SysCmd(23, 4);
         },
         {{0x08, 0x03}, {0x0E, 0x17, 0x04, 0x00}},
         {}},
        {"SetVpp12700", [](TEp3& e) { e.SetVpp(12700); }, {{0x0E, 0x12, 127, 0x00}}, {0x1B}},
        {"SetVpp16000", [](TEp3& e) { e.SetVpp(16000); }, {{0x0E, 0x12, 160, 0x00}}, {0x1B}},
        {"SetVpp5mVTravelsAs0", [](TEp3& e) { e.SetVpp(5); }, {{0x0E, 0x12, 0x00, 0x00}}, {0x1B}},
        {"SetVcc5000", [](TEp3& e) { e.SetVcc(5000); }, {{0x0E, 0x13, 0x32, 0x00}, {0x1B}}, {}},
        {"SetVcc4500RoundsDown", [](TEp3& e) { e.SetVcc(4599); }, {{0x0E, 0x13, 45, 0x00}, {0x1B}}, {}},
        {"SetVcc5mVTravelsAs0", [](TEp3& e) { e.SetVcc(5); }, {{0x0E, 0x13, 0x00, 0x00}, {0x1B}}, {}},
        {"VppPin", [](TEp3& e) { EXPECT_EQ(e.VppPin(12), 1); }, {{0x0E, 0x14, 0x0C, 0x00}}, {}},
        {"VppPin0", [](TEp3& e) { e.VppPin(0); }, {{0x0E, 0x14, 0x00, 0x00}}, {}},
        {"VppPinOff", [](TEp3& e) { e.VppPinOff(12); }, {{0x0E, 0x18, 0x0C, 0x00}}, {}},
        {"VccPin5", [](TEp3& e) { EXPECT_EQ(e.VccPin(5), 1); }, {{0x0E, 0x15, 0x05, 0x00}}, {0x1B, 0x08, 0x05}},
        {"VccPin0", [](TEp3& e) { e.VccPin(0); }, {{0x0E, 0x15, 0x00, 0x00}}, {0x1B}},
        {"GndPin20", [](TEp3& e) { e.GndPin(20); }, {{0x0E, 0x16, 0x14, 0x00}}, {0x09, 0x14}},
        {"GndPin0", [](TEp3& e) { e.GndPin(0); }, {{0x0E, 0x16, 0x00, 0x00}}, {}},
        {"GndPinCode100PassedOn", [](TEp3& e) { e.GndPin(100); }, {{0x0E, 0x16, 100, 0x00}}, {0x09, 100}},
        {"ClockPin", [](TEp3& e) { e.ClockPin(3); }, {{0x0E, 0x17, 0x03, 0x00}}, {}},
        {"VppSupplyPin40",
         [](TEp3& e) { EXPECT_EQ(e.VppSupplyPin(40), 1); },
         {{0x0E, 0x12, 120, 0x00}, {0x1B, 0x08, 40}, {0x0E, 0x20, 40, 0x00}, {0x1B}},
         {}},
        {"VppSupplyPin0",
         [](TEp3& e) { e.VppSupplyPin(0); },
         {{0x0E, 0x12, 120, 0x00}, {0x1B}, {0x0E, 0x20, 0x00, 0x00}, {0x1B}},
         {}},
        {"SetPortModeOnlyQueues", [](TEp3& e) { e.SetPortMode(12); }, {}, {0x0E, 0x19, 0x0C, 0x00}},
        {"SetPinOptionOn", [](TEp3& e) { e.SetPinOption(7, 1); }, {{0x0E, 0x1A, 0x07, 0x00}}, {}},
        {"SetPinOptionOff", [](TEp3& e) { e.SetPinOption(7, 0); }, {{0x0E, 0x1B, 0x07, 0x00}}, {}},
        {"PinHigh48", [](TEp3& e) { e.PinHigh(48); }, {}, {0x08, 0x30}},
        {"PinLow1", [](TEp3& e) { e.PinLow(1); }, {}, {0x09, 0x01}},
        {"PinHigh0QueuesNothing", [](TEp3& e) { e.PinHigh(0); }, {}, {}},
        {"PinLow0QueuesNothing", [](TEp3& e) { e.PinLow(0); }, {}, {}},
        {"SetPinHigh", [](TEp3& e) { e.SetPin(1, 9); }, {}, {0x08, 0x09}},
        {"SetPinLow", [](TEp3& e) { e.SetPin(0, 9); }, {}, {0x09, 0x09}},
        {"SetPinPin0QueuesNothing",
         [](TEp3& e) {
             e.SetPin(1, 0);
             e.SetPin(0, 0);
         },
         {},
         {}},
        {"SetAllPins1OnlyPins1To40", [](TEp3& e) { e.SetAllPins(1); }, {AllPins(0x08)}, {}},
        {"SetAllPins0OnlyPins1To40", [](TEp3& e) { e.SetAllPins(0); }, {AllPins(0x09)}, {}},
        {"WriteLatch0", [](TEp3& e) { e.WriteLatch(0, 0x12); }, {}, {0x10, 0x12}},
        {"WriteLatch5", [](TEp3& e) { e.WriteLatch(5, 0xAB); }, {}, {0x15, 0xAB}},
        {"WriteReg", [](TEp3& e) { e.WriteReg(27, 255); }, {}, {0x0A, 0x1B, 0xFF}},
        {"ControlLineLow", [](TEp3& e) { e.ControlLineLow(3); }, {}, {0x0A, 0x12, 0x03}},
        {"ControlLineHigh", [](TEp3& e) { e.ControlLineHigh(3); }, {}, {0x0A, 0x12, 0x83}},
        {"SetReg29", [](TEp3& e) { e.SetReg29(2); }, {}, {0x0A, 0x1D, 0x02}},
        {"SetReg29Flag", [](TEp3& e) { e.SetReg29Flag(2); }, {}, {0x0A, 0x1D, 0x82}},
        {"QueueOp53", [](TEp3& e) { e.QueueOp53(0x12, 5); }, {}, {0x35, 0x12, 0x05}},
        {"QueueOp54", [](TEp3& e) { e.QueueOp54(8); }, {}, {0x36, 0x08}},
        {"WriteCommandPair", [](TEp3& e) { e.WriteCommandPair(0xAA, 0x55); }, {},
         {0x12, 0xAA, 0x2B, 0x12, 0x55, 0x2B}},
        {"ReadByteCmd", [](TEp3& e) { e.ReadByteCmd(0x03); }, {{0x03, 0x07}}, {}},
        {"ReadPinState", [](TEp3& e) { e.ReadPinState(17); }, {{0x17, 0x11, 0x07}}, {}},
        {"ResetPins",
         [](TEp3& e) { e.ResetPins(); },
         {{0x0E, 0x19, 0x0F, 0x00}, {0x0E, 0x17, 0x00, 0x00}, {0x0E, 0x16, 0x00, 0x00}},
         {}},
        {"InitBitReverse",
         [](TEp3& e) { e.InitBitReverse(); },
         {{0x0E, 0x15, 0x00, 0x00}, {0x1B}, {0x0E, 0x17, 0x00, 0x00}, {0x0E, 0x16, 0x00, 0x00},
          {0x0E, 0x12, 0x00, 0x00}},
         {0x1B, 0x0E, 0x19, 0x0F, 0x00}},
        {"PowerOff",
         [](TEp3& e) { e.PowerOff(); },
         {{0x0E, 0x12, 0x00, 0x00}, {0x1B}, {0x0E, 0x14, 0x00, 0x00}, {0x0E, 0x13, 0x00, 0x00}, {0x1B},
          {0x0E, 0x15, 0x00, 0x00}},
         {0x1B}},
        {"NullMembersSendNothing",
         [](TEp3& e) {
             e.NullPrepare();
             EXPECT_EQ(e.NullStatusRead(5), 0);
             e.NullControlWrite(5);
             EXPECT_EQ(e.NullDataRead(), 0);
             EXPECT_EQ(e.NullByteRead(), 0);
             e.NullCountHint(9);
             e.NullModeHint(9);
             e.TimingHint(64);
             e.ShutdownHook();
             EXPECT_EQ(e.PinPairOk(3, 4), 1);
             e.HostDelay(10000);
             e.ResetUserValue();
         },
         {},
         {}},
        // Whole contact test, ground pin 20 (test supply from VPP), a seated 24-pin chip.
        {"CheckPinContactSequence",
         [](TEp3& e) { EXPECT_EQ(e.CheckPinContact(20, 0, 0xFFFFFF00u, 0, 0), 1); },
         {{0x0E, 0x16, 0x00, 0x00},
          {0x0E, 0x14, 0x00, 0x00},
          {0x0E, 0x15, 0x00, 0x00},
          {0x1B, 0x1B, 0x0A, 0x1B, 0xFF},
          {0x0A, 0x04, 0x0C},
          {0x0E, 0x14, 0x14, 0x00},
          {0x1B, 0x0B, 0x16, 0x0B, 0x17, 0x0B, 0x18, 0x0B, 0x19, 0x0B, 0x1A, 0x0B, 0x1B, 0x07},
          {0x0E, 0x14, 0x00, 0x00},
          {0x0E, 0x15, 0x00, 0x00},
          {0x1B, 0x0A, 0x04, 0x00},
          {0x0A, 0x1B, 0x00},
          {0x0E, 0x16, 0x14, 0x00},
          {0x09, 0x14, 0x1B}},
         {}},
    };
}

class Golden : public EngineTest, public ::testing::WithParamInterface<GoldenRow> {};

TEST_P(Golden, TransfersAndQueueMatch) {
    const GoldenRow& row = GetParam();
    usb.QueueReply({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});  // reads see every pin touching
    row.call(ep3);
    EXPECT_EQ(usb.writes, row.transfers);
    EXPECT_EQ(Queued(), row.queued);
    EXPECT_TRUE(prompts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Primitives, Golden, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, ReadsReturnReplyByte0) {
    usb.QueueReply({0x5A});
    EXPECT_EQ(ep3.ReadByteCmd(0x03), 0x5A);
    usb.QueueReply({0x01});
    EXPECT_EQ(ep3.ReadPinState(4), 0x01);
    EXPECT_EQ(usb.readSizes, (std::vector<int>{64, 64}));
}

TEST_F(EngineTest, ShortReplyToAPrimitiveReadIsFatal) {
    usb.replies.push_back(Bytes(10, 0));
    try {
        ep3.ReadPinState(4);
        FAIL() << "no fatal end";
    } catch (const FatalExit& e) {
        EXPECT_EQ(e.message, "Read USB bad!");
        EXPECT_EQ(e.status, 1);
    }
}

TEST_F(EngineTest, BitReverseTable) {
    ep3.InitBitReverse();
    EXPECT_EQ(ep3.BitReverse[0x01], 0x80);
    EXPECT_EQ(ep3.BitReverse[0x80], 0x01);
    EXPECT_EQ(ep3.BitReverse[0x0F], 0xF0);
    EXPECT_EQ(ep3.BitReverse[0xFF], 0xFF);
    EXPECT_EQ(ep3.BitReverse[0x00], 0x00);
    EXPECT_EQ(ep3.BitReverse[0x12], 0x48);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(ep3.BitReverse[ep3.BitReverse[static_cast<std::size_t>(i)]], i);
}

TEST_F(EngineTest, ModelIsCutAtNulAndAtSixteenBytes) {
    const std::uint8_t shortWord[16] = {'v', 'e', 'x', '5', '2', '0', 0, 'x'};
    ep3.SetModelFromReply(shortWord);
    EXPECT_EQ(ep3.ProgrammerModel, "vex520");
    const std::uint8_t longWord[20] = {'v', 'e', 'x', '6', '4', '0', '-', 'A', 'B', 'C',
                                       'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M'};
    ep3.SetModelFromReply(longWord);
    EXPECT_EQ(ep3.ProgrammerModel, "vex640-ABCDEFGHI");
    EXPECT_TRUE(ep3.IsModel("vex640"));
    EXPECT_FALSE(ep3.IsModel("vex310"));
}

TEST_F(EngineTest, OverCurrentMessageText) {
    EXPECT_STREQ(OverCurrentMsg,
                 "Exceed current limit.Possible reasons:\n1.Bad chip or wrong oritation.\n2.Wrong "
                 "type.\n3. USB current too low or cable too long.    ");
}

}  // namespace
