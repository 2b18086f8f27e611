// The simulated programmer's firmware: identification, serial code, replies,
// routing, the virtual clock and protocol violations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim/programmer.h"
#include "sim/sim_host.h"
#include "support/param_names.h"

namespace quilla::sim::test {
namespace {

using namespace quilla::proto;

TEST(SimFirmware, IdentifyAnswersConfiguredTextInNextReply) {
    ModelConfig cfg = ModelConfig::For("vex520");
    cfg.WithIdent("vex640 custom text, longer than 16");
    Programmer sim(cfg);
    Host h(sim);
    h.Sys(SysIdentify, 0);
    Bytes r = h.Reply();
    ASSERT_EQ(r.size(), 64u);
    const std::string text = "vex640 custom text, longer than 16";
    EXPECT_EQ(std::string(r.begin(), r.begin() + static_cast<long>(text.size())), text);
    for (std::size_t i = text.size(); i < r.size(); ++i) EXPECT_EQ(r[i], 0) << i;
}

TEST(SimFirmware, DefaultIdentificationIsModelWordPaddedWithNul) {
    for (const char* model : {"vex310", "vex420", "vex520", "vex640"}) {
        auto sim = MakeSimulatedProgrammer(model);
        Host h(*sim);
        h.Sys(SysIdentify, 0);
        Bytes r = h.Reply();
        ASSERT_EQ(r.size(), 64u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data())), model);
        EXPECT_EQ(sim->Model().hasFpga, std::string(model) != "vex310");
    }
}

TEST(SimFirmware, SerialCodeCapturesInOrder) {
    ModelConfig cfg = ModelConfig::For("vex520");
    std::array<std::uint8_t, 24> serial{};
    for (int i = 0; i < 24; ++i) serial[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0xA0 + i);
    cfg.WithSerial(serial);
    Programmer sim(cfg);
    Host h(sim);
    for (int i = 0; i < 24; ++i) h.link.UsbPut2(OpSerialCode, static_cast<std::uint8_t>(i));
    Bytes r = h.Reply();
    ASSERT_EQ(r.size(), 64u);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(r[static_cast<std::size_t>(i)], 0xA0 + i);
    for (int i = 24; i < 64; ++i) EXPECT_EQ(r[static_cast<std::size_t>(i)], 0);
    EXPECT_TRUE(sim.Violations().empty());
}

TEST(SimFirmware, TwoReplyRequestsGiveTwoReplies) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    h.Raw({OpReply, OpReply});
    EXPECT_EQ(h.Read(64).size(), 64u);
    EXPECT_EQ(h.Read(64).size(), 64u);
    EXPECT_EQ(h.Read(64).size(), 0u) << "nothing else is ever sent";
}

TEST(SimFirmware, AnswerStartsTheCaptureListAfresh) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    h.link.UsbPut2(OpSerialCode, 0);
    h.link.UsbPut2(OpSerialCode, 1);
    h.link.UsbFlush();
    h.Sys(SysOverCurrent, 0);
    h.link.UsbPut2(OpSerialCode, 5);
    Bytes r = h.Reply();
    ASSERT_EQ(r.size(), 64u);
    EXPECT_EQ(r[0], 1);  // no over-current
    EXPECT_EQ(r[1], sim->Model().serial[5]);
    EXPECT_EQ(r[2], 0);
}

TEST(SimFirmware, BlockRequestSendsCapturesIn256Bytes) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    for (int i = 0; i < 100; ++i) h.link.UsbPut2(OpSerialCode, static_cast<std::uint8_t>(i % 24));
    h.link.UsbPut1(OpBlock);
    h.link.UsbFlush();
    Bytes b = h.Read(256);
    ASSERT_EQ(b.size(), 256u);
    EXPECT_EQ(b[99], sim->Model().serial[99 % 24]);
    EXPECT_EQ(b[100], 0);
    EXPECT_TRUE(sim->Violations().empty()) << "up to 256 captures are fine before a block request";
}

TEST(SimFirmware, MoreThan64CapturesBeforeAReplyIsAViolation) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    for (int i = 0; i < 65; ++i) h.link.UsbPut2(OpSerialCode, 0);
    Bytes r = h.Reply();
    EXPECT_EQ(r.size(), 64u);
    EXPECT_EQ(sim->Violations().size(), 1u);
}

TEST(SimFirmware, VppRoutingSetLevelAndRelease) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    Socket& s = sim->GetSocket();
    h.Sys(SysVppLevel, MilliVoltsToWire(12700));
    EXPECT_EQ(s.VppLevel(), 127);
    h.Sys(SysVppPin, 5);
    h.Sys(SysVppPin, 7);
    EXPECT_EQ(s.VppPins().Pins(), (std::vector<int>{5, 7}));
    h.Sys(SysVppPinOff, 5);
    EXPECT_EQ(s.VppPins().Pins(), (std::vector<int>{7}));
    EXPECT_EQ(s.Voltage(7), 127);
    EXPECT_EQ(s.State(7).source, PinSource::Supply);
    h.Sys(SysVppPin, 0);
    EXPECT_TRUE(s.VppPins().Empty());
    EXPECT_TRUE(sim->Violations().empty());
}

TEST(SimFirmware, VccAndGroundSetsAndClock) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    Socket& s = sim->GetSocket();
    h.Sys(SysVccLevel, 50);
    h.Sys(SysVccPin, 40);
    h.Sys(SysVccPin, 28);
    h.Sys(SysGndPin, 20);
    h.Sys(SysGndPin, 14);
    h.Sys(SysClockPin, 19);
    EXPECT_EQ(s.VccPins().Pins(), (std::vector<int>{28, 40}));
    EXPECT_EQ(s.GndPins().Pins(), (std::vector<int>{14, 20}));
    EXPECT_EQ(s.ClockPin(), 19);
    EXPECT_EQ(s.Voltage(28), 50);
    EXPECT_FALSE(s.Level(20));
    h.Sys(SysVccPin, 0);
    h.Sys(SysGndPin, 0);
    h.Sys(SysClockPin, 0);
    EXPECT_TRUE(s.VccPins().Empty());
    EXPECT_TRUE(s.GndPins().Empty());
    EXPECT_EQ(s.ClockPin(), 0);
}

TEST(SimFirmware, PinLevelsAndCapture) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    h.link.UsbPut2(OpPinLow, 3);
    h.link.UsbPut2(OpCapturePin, 3);
    h.link.UsbPut2(OpCapturePin, 4);  // floats: pull-up
    h.link.UsbPut2(OpPinHigh, 3);
    h.link.UsbPut2(OpCapturePin, 3);
    Bytes r = h.Reply();
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(r[1], 1);
    EXPECT_EQ(r[2], 1);
    auto lows = sim->Log().OfKind(EventKind::PinLow);
    ASSERT_EQ(lows.size(), 1u);
    EXPECT_EQ(lows[0].pin, 3);
}

TEST(SimFirmware, PortModeTravelsInlineAndIsLogged) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    h.link.UsbPut2(OpPinHigh, 1);
    h.link.UsbPut4(OpSystem, SysPortMode, PortModeRead, 0);
    h.link.UsbPut2(OpPinLow, 1);
    h.link.UsbFlush();
    EXPECT_EQ(sim->GetSocket().PortMode(), PortModeRead);
    auto modes = sim->Log().OfKind(EventKind::PortMode);
    ASSERT_EQ(modes.size(), 1u);
    EXPECT_EQ(modes[0].value, PortModeRead);
    EXPECT_TRUE(sim->Violations().empty());
}

TEST(SimFirmware, RegistersReadBackWhatWasWritten) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    h.link.UsbPut3(OpWriteReg, 18, 0x85);
    h.link.UsbPut3(OpWriteReg, 27, 0x42);
    h.link.UsbPut2(OpReadReg, 18);
    h.link.UsbPut2(OpReadReg, 27);
    Bytes r = h.Reply();
    EXPECT_EQ(r[0], 0x85);
    EXPECT_EQ(r[1], 0x42);
    EXPECT_EQ(sim->Register(18), 0x85);
}

// ---- virtual time ---------------------------------------------------------------------

TEST(SimClock, ThousandLongWaitsCostHundredSecondsPlusTheTransfer) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    for (int i = 0; i < 1000; ++i) h.link.UsbPut1(OpWait100ms);
    h.link.UsbFlush();
    // One transfer of 1,000 bytes: 16 packets at 19 per 1 ms frame, then
    // 1,000 waits of 100 ms (a wait costs its figure, no command cost on top).
    const Nanos transfer = 16 * Millisecond / 19;  // 842,105 ns
    EXPECT_EQ(transfer, 842105u);
    EXPECT_EQ(sim->Now(), 100 * Second + transfer);
    EXPECT_EQ(sim->GetCounters().commands, 1000u);
    EXPECT_EQ(sim->GetCounters().transfersOut, 1u);
    EXPECT_EQ(sim->GetCounters().bytesOut, 1000u);
}

struct CostCase {
    std::uint8_t op;
    Nanos cost;
};

class SimOpcodeCost : public ::testing::TestWithParam<CostCase> {};

TEST_P(SimOpcodeCost, OneCommandInItsOwnTransfer) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    h.Raw({GetParam().op});
    EXPECT_EQ(sim->Now(), timing::TransferCost(1) + GetParam().cost);
}

INSTANTIATE_TEST_SUITE_P(Table, SimOpcodeCost,
                         ::testing::Values(CostCase{OpNop, 10 * Microsecond}, CostCase{OpWaitShort, 25 * Microsecond},
                                           CostCase{OpWaitPulse, 10 * Microsecond},
                                           CostCase{OpWait1ms, 1 * Millisecond},
                                           CostCase{OpWaitSettle, 10 * Millisecond},
                                           CostCase{OpWait100ms, 100 * Millisecond},
                                           CostCase{OpWait100us, 100 * Microsecond},
                                           CostCase{OpReply, 1 * Microsecond}),
                         quilla::test::CaseName([](const auto& c) { return "op " + quilla::test::HexPart(c.op); }));

TEST(SimClock, TransfersStartOneFrameApart) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    h.Raw({OpPinHigh, 1});                      // starts at 0
    const Nanos t1 = timing::TransferCost(2) + 1 * Microsecond;
    EXPECT_EQ(sim->Now(), t1);
    h.Raw({OpPinHigh, 2});                      // starts at 1 ms
    EXPECT_EQ(sim->Now(), 1 * Millisecond + timing::TransferCost(2) + 1 * Microsecond);
    h.Raw({OpWait100ms});                       // starts at 2 ms
    const Nanos t3 = 2 * Millisecond + timing::TransferCost(1) + 100 * Millisecond;
    EXPECT_EQ(sim->Now(), t3);
    h.Raw({OpReply});                           // long after the previous start: no gap
    EXPECT_EQ(sim->Now(), t3 + timing::TransferCost(1) + 1 * Microsecond);
    Bytes r = h.Read(64);                       // IN: less than 1 ms after the OUT start
    ASSERT_EQ(r.size(), 64u);
    EXPECT_EQ(sim->Now(), t3 + 1 * Millisecond + timing::TransferCost(64));
}

TEST(SimClock, BytesCostNineteenPacketsPerFrame) {
    EXPECT_EQ(timing::TransferCost(64), Millisecond / 19);
    EXPECT_EQ(timing::TransferCost(65), 2 * Millisecond / 19);
    EXPECT_EQ(timing::TransferCost(1216), Millisecond);   // 19 packets
    EXPECT_EQ(timing::TransferCost(1024), 16 * Millisecond / 19);
    EXPECT_EQ(timing::TransferCost(0), Millisecond / 19);
}

// ---- violations ------------------------------------------------------------------------

TEST(SimViolations, CommandAcrossPacketUnknownOpcodeBadSubCommandAndPinAreRecorded) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    // A register write whose last byte falls into the next packet.
    Bytes crossing(64, OpNop);
    crossing[62] = OpWriteReg;
    crossing[63] = 18;
    crossing.push_back(0x55);   // parsed as an opcode of its own: also unknown
    h.Raw(crossing);
    h.Raw({0x05, OpPinHigh, 3});          // unknown opcode, the rest of its packet is dropped
    h.Raw({OpSystem, 28, 0, 0});          // sub-command 28
    h.Raw({OpPinHigh, 49});               // pin byte 49
    h.Raw({OpSystem, SysVccPin, 49, 0});  // routing to pin 49
    const auto v = sim->ViolationTexts();
    ASSERT_EQ(v.size(), 6u) << ::testing::PrintToString(v);
    EXPECT_NE(v[0].find("crosses a packet boundary"), std::string::npos);
    EXPECT_NE(v[1].find("unknown opcode 0x55"), std::string::npos);
    EXPECT_NE(v[2].find("unknown opcode 0x05"), std::string::npos);
    EXPECT_NE(v[3].find("sub-command 28"), std::string::npos);
    EXPECT_NE(v[4].find("pin 49"), std::string::npos);
    EXPECT_NE(v[5].find("pin 49"), std::string::npos);
    EXPECT_FALSE(sim->GetSocket().Driven(3));
    EXPECT_EQ(sim->Register(18), 0);
    // The firmware still works.
    h.Sys(SysIdentify, 0);
    Bytes r = h.Reply();
    ASSERT_EQ(r.size(), 64u);
    EXPECT_EQ(r[0], 'v');
}

TEST(SimViolations, PinCodes100And101AreLegitimate) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    for (std::uint8_t code : {100, 101}) {
        for (std::uint8_t s : {SysVppPin, SysVccPin, SysGndPin, SysVppPinOff, SysClockPin})
            h.Sys(s, code);
        h.Raw({OpPinHigh, code, OpPinLow, code});
    }
    EXPECT_TRUE(sim->Violations().empty()) << ::testing::PrintToString(sim->ViolationTexts());
    EXPECT_TRUE(sim->GetSocket().VccPins().Empty());
    EXPECT_TRUE(sim->GetSocket().GndPins().Empty());
}

TEST(SimViolations, FamilyCommandWithoutDesign) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    h.Raw({OpRead1K});
    EXPECT_EQ(sim->Violations().size(), 1u);
    EXPECT_EQ(h.Read(1024).size(), 0u) << "no block without a design";
}

TEST(SimViolations, StreamOfRandomBytesBreaksNothing) {
    auto sim = MakeSimulatedProgrammer();
    sim->SeatChip(PassiveChip::Dip(28));
    Host h(*sim);
    std::uint32_t x = 12345;
    Bytes junk(4096);
    for (int round = 0; round < 50; ++round) {
        for (auto& b : junk) {
            x = x * 1664525u + 1013904223u;
            b = static_cast<std::uint8_t>(x >> 24);
        }
        h.Raw(junk);
        Bytes sink(4096);
        while (sim->BulkRead(sink.data(), 4096) > 0) {
        }
    }
    EXPECT_FALSE(sim->Violations().empty());
}

}  // namespace
}  // namespace quilla::sim::test
