// The 8051 meanings of the designs (latch 0 on P1, P0 driven and sampled, the
// 0x20 block) and the mode-table chip model with the Atmel tables, driven by
// raw commands through the real command queue.
#include <gtest/gtest.h>

#include "sim/chips/at89.h"
#include "sim/designs/mcs51.h"
#include "sim/sim_host.h"
#include "sim/mcs51/rig.h"
#include "support/param_names.h"

namespace quilla::sim::test {
namespace {

using namespace quilla::proto;

TEST(Mcs51Design, Latch0DrivesPortOneAndTheBlockStepsItAndSamplesPortZero) {
    Rig r("", "vex300");
    r.h.link.UsbPut2(OpLatch0, 0xA5);
    r.h.link.UsbFlush();
    for (int k = 0; k < 8; ++k) EXPECT_EQ(r.sim->GetSocket().Level(1 + k), ((0xA5 >> k) & 1) != 0) << k;
    // Host levels on P0: pins 39..32 = 0x3C.
    for (int i = 0; i < 8; ++i) r.Pin(39 - i, (0x3C >> i) & 1);
    r.h.link.UsbPut2(OpLatch0, 0x10);
    r.h.link.UsbPut1(OpBlock);
    r.h.link.UsbFlush();
    Bytes blk = r.h.Read(BlockSize);
    ASSERT_EQ(blk.size(), 256u);
    for (auto v : blk) ASSERT_EQ(v, 0x3C);
    // Latch 0's address went round once: back at 0x10.
    for (int k = 0; k < 8; ++k) EXPECT_EQ(r.sim->GetSocket().Level(1 + k), ((0x10 >> k) & 1) != 0) << k;
    r.h.link.UsbPut1(OpSampleData51);
    EXPECT_EQ(r.h.Reply()[0], 0x3C);
    EXPECT_TRUE(r.sim->Violations().empty());
}

TEST(Mcs51Design, PortModeSevenReleasesPortZeroButNotTheHostsPins) {
    Rig r("", "vex300");
    r.Pin(17, false);  // P3.7 set by the form
    r.Pin(21, false);  // A8
    r.PortMode(PortModeReset);
    r.h.link.UsbPut2(OpPutData51, 0x00);
    r.h.link.UsbFlush();
    EXPECT_FALSE(r.sim->GetSocket().Level(39));
    EXPECT_FALSE(r.sim->GetSocket().Level(17));  // latch 2 not written: nothing driven there
    r.PortMode(PortMode51Read);
    EXPECT_TRUE(r.sim->GetSocket().Level(39));   // released: the pull-up
    EXPECT_FALSE(r.sim->GetSocket().Level(17));  // the host's level stays
    EXPECT_FALSE(r.sim->GetSocket().Level(21));
    // Written once, latch 2 reaches the data pins in port mode 15.
    r.h.link.UsbPut2(OpLatch0 + 2, 0x01);
    r.PortMode(PortModeReset);
    EXPECT_TRUE(r.sim->GetSocket().Level(17));
}

TEST(Mcs51Design, PlccBoardDesignsPutPortZeroOnTheBoardsPins) {
    for (const char* tag : {"vex300at51plcc44", "p51plcc44"}) {
        Rig r("", tag);
        r.h.link.UsbPut2(OpPutData51, 0x40);  // P0.6
        r.h.link.UsbFlush();
        EXPECT_TRUE(r.sim->GetSocket().Level(40)) << tag;
        EXPECT_EQ(r.sim->GetSocket().DriverOf(33), Writer::Host) << tag;  // EA/VPP is not P0 there
        EXPECT_FALSE(r.sim->GetSocket().Driven(33)) << tag;
    }
}

TEST(Mcs51Design, BlockWithoutAnEightyFiftyOneDesignCarriesTheCaptures) {
    Rig r("", "chkpin");
    r.h.link.UsbPut2(OpReadReg, 4);
    r.h.link.UsbPut1(OpBlock);
    r.h.link.UsbFlush();
    EXPECT_EQ(r.h.Read(BlockSize).size(), 256u);
    EXPECT_TRUE(r.sim->Violations().empty());
}

// ---- the chip -----------------------------------------------------------------------------------

TEST(ModeTableChip, ProgramsOneByteAPulseAndReadsItBack) {
    Rig r;
    r.PowerUp();
    r.PortMode(PortModeReset);
    r.Vpp(true);
    r.Pulse(0x123, 0x5A);
    r.Pulse(0x124, 0xC3);
    r.Vpp(false);
    r.PortMode(PortMode51Read);
    Bytes blk = r.Block(0x100);
    EXPECT_EQ(blk[0x23], 0x5A);
    EXPECT_EQ(blk[0x24], 0xC3);
    EXPECT_EQ(blk[0x25], 0xFF);
    EXPECT_EQ(r.Chip().Writes(), 2u);
    EXPECT_TRUE(r.sim->Violations().empty());
}

TEST(ModeTableChip, APulseWhileBusyIsIgnored) {
    Rig r;
    r.PowerUp();
    r.PortMode(PortModeReset);
    r.Vpp(true);
    r.Pulse(0x10, 0x00, 1);  // 1 ms later: still busy (1.5 ms)
    r.Pulse(0x11, 0x00, 2);
    r.Pulse(0x12, 0x00, 2);
    EXPECT_EQ(r.Chip().Contents()[0x10], 0x00);
    EXPECT_EQ(r.Chip().Contents()[0x11], 0xFF);
    EXPECT_EQ(r.Chip().Contents()[0x12], 0x00);
}

TEST(ModeTableChip, DataPollingAndReadyWhileBusy) {
    Rig r;
    r.PowerUp();
    r.PortMode(PortModeReset);
    r.Vpp(true);
    // The pulse and the read of the same address in one transfer: the write is
    // still running (1.5 ms).
    r.Pulse(0x20, 0x35, 0, false);
    r.SysInline(SysPortMode, PortMode51Read);
    Bytes blk = r.Block(0x00);
    EXPECT_EQ(blk[0x20], 0x35 ^ 0x80);
    EXPECT_TRUE(r.Chip().Busy());
    EXPECT_FALSE(r.sim->GetSocket().Level(14));  // RDY/BSY low
    r.Wait(OpWait1ms, 2);
    r.h.link.UsbFlush();
    EXPECT_FALSE(r.Chip().Busy());
    EXPECT_TRUE(r.sim->GetSocket().Level(14));
    EXPECT_EQ(r.Block(0x00)[0x20], 0x35);
}

struct NoWriteCase {
    const char* name;
    int vcc, vpp;
    bool clock;
    std::function<void(Rig&)> spoil;  // after power-up
};

class NoWrite : public ::testing::TestWithParam<NoWriteCase> {};

TEST_P(NoWrite, NothingIsProgrammed) {
    const NoWriteCase& c = GetParam();
    Rig r;
    r.PowerUp(c.vcc, c.vpp, c.clock);
    if (c.spoil) c.spoil(r);
    r.PortMode(PortModeReset);
    r.Vpp(true);
    r.Pulse(0x40, 0x00);
    EXPECT_EQ(r.Chip().Contents()[0x40], 0xFF);
    EXPECT_EQ(r.Chip().Writes(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, NoWrite,
    ::testing::Values(NoWriteCase{"VPP 11.0 V", 50, 110, true, nullptr},
                      NoWriteCase{"VCC 4.5 V", 45, 120, true, nullptr},
                      NoWriteCase{"no clock on XTAL1", 50, 120, false, nullptr},
                      NoWriteCase{"RST low", 50, 120, true, [](Rig& r) { r.Pin(9, false); }},
                      NoWriteCase{"PSEN high", 50, 120, true, [](Rig& r) { r.Pin(29, true); }},
                      NoWriteCase{"lock bit 1 set", 50, 120, true, [](Rig& r) { r.Chip().SetLockBits(1); }},
                      NoWriteCase{"VCC from a logic level", 50, 120, true,
                                  [](Rig& r) {
                                      r.h.Sys(SysVccPin, 0);
                                      r.Pin(40, true);
                                  }}),
    quilla::test::CaseName([](const NoWriteCase& c) { return std::string(c.name); }));

TEST(ModeTableChip, VccLostDuringTheWriteLosesTheByte) {
    Rig r;
    r.PowerUp();
    r.PortMode(PortModeReset);
    r.Vpp(true);
    r.Pulse(0x50, 0x00, 0, false);
    r.SysInline(SysVppPin, 0);
    r.SysInline(SysVccPin, 0);
    r.Wait(OpWait1ms, 3);
    r.h.link.UsbFlush();
    EXPECT_EQ(r.Chip().Contents()[0x50], 0xFF);
    EXPECT_EQ(r.Chip().Writes(), 0u);
}

TEST(ModeTableChip, EraseNeedsTenMillisecondsOfStrobeAndTheOtpPartTakesNone) {
    for (int ms : {9, 10}) {
        Rig r;
        r.Chip().MutableContents()[7] = 0x00;
        r.Chip().SetLockBits(7);
        r.PowerUp();
        r.Mode("HLLL");
        r.Vpp(true);
        r.Pin(30, false);
        r.Wait(OpWait1ms, ms);
        r.Pin(30, true);
        r.h.link.UsbFlush();
        EXPECT_EQ(r.Chip().Contents()[7], ms == 10 ? 0xFF : 0x00) << ms;
        EXPECT_EQ(r.Chip().LockBits(), ms == 10 ? 0u : 7u) << ms;
    }
    // A one-time programmable table: the erase mode does nothing.
    ModeTablePart otp = At89Parts().front();
    otp.otp = true;
    Rig r("", "vex300");
    r.sim->SeatChip(std::make_unique<ModeTableChip>(otp), Placement::Dip(40));
    r.Chip().MutableContents()[7] = 0x00;
    r.PowerUp();
    r.Mode("HLLL");
    r.Vpp(true);
    r.Pin(30, false);
    r.Wait(OpWait100ms);
    r.Pin(30, true);
    r.h.link.UsbFlush();
    EXPECT_EQ(r.Chip().Contents()[7], 0x00);
    EXPECT_EQ(r.Chip().Erases(), 0u);
}

TEST(ModeTableChip, LockBitsAndWhatALockedChipAnswers) {
    Rig r;
    r.Chip().MutableContents()[0x30] = 0x12;
    r.PowerUp();
    r.PortMode(PortMode51Read);
    EXPECT_EQ(r.Block(0, "LLLL")[0x31], 0x51);  // signature
    r.PortMode(PortModeReset);
    r.Vpp(true);
    const char* bits[3] = {"HHHH", "HHLL", "HLHL"};
    for (int b = 0; b < 2; ++b) {  // LB1, LB2
        r.Mode(bits[b]);
        r.Pin(30, false);
        r.Wait(OpWaitPulse);
        r.Pin(30, true);
        r.Wait(OpWait1ms, 2);
        r.h.link.UsbFlush();
    }
    EXPECT_EQ(r.Chip().LockBits(), 3u);
    r.Vpp(false);
    r.PortMode(PortMode51Read);
    EXPECT_EQ(r.Block(0)[0x30], 0xFF);            // code unreadable
    EXPECT_EQ(r.Block(0, "LLLL")[0x30], 0xFF);    // signature too
}

TEST(ModeTableChip, ReadsOnlyInsideTheOperatingRange) {
    for (const char* part : {"AT89C51", "AT89LV51"}) {
        Rig r(part);
        r.Chip().MutableContents()[3] = 0x42;
        r.PowerUp(33);
        r.PortMode(PortMode51Read);
        EXPECT_EQ(r.Block(0)[3], std::string(part) == "AT89LV51" ? 0x42 : 0xFF) << part;
    }
}

TEST(ModeTableChip, MoreThanTheRatingOnEaDamagesIt) {
    Rig r;
    r.PowerUp(50, 130);
    r.Vpp(true);
    r.h.link.UsbFlush();
    EXPECT_TRUE(r.Chip().Damaged());
    ASSERT_FALSE(r.sim->Violations().empty());
    EXPECT_NE(r.sim->ViolationTexts()[0].find("absolute maximum"), std::string::npos);
}

TEST(ModeTableChip, PlccChipOnTheBoardAnswersTheAdaptersContactMasks) {
    Rig r("AT89C51*P44", "vex300at51plcc44");
    const std::uint64_t bits = r.h.ContactPoll(20);
    const std::uint64_t masks = 0x7FEFFDFFull | (0xFFull << 32);
    EXPECT_EQ(bits & masks, masks);
    EXPECT_EQ(Plcc44Board8051().SocketPinOf(44), 42);  // VCC
    EXPECT_EQ(Plcc44Board8051().SocketPinOf(35), 33);  // EA/VPP
    EXPECT_EQ(Plcc44Of(31), 35);
    EXPECT_EQ(Plcc44Of(40), 44);
}

}  // namespace
}  // namespace quilla::sim::test

namespace quilla::sim::test {
namespace {

using namespace quilla::proto;

TEST(Mcs51Design, PortModeOneLeavesSocketOneToEightToTheChipAndZeroDrivesLatchZero) {
    Rig r("", "vex300");
    r.PortMode(PortMode51Swap);
    for (int p = 1; p <= 8; ++p) r.Pin(p, false);  // the host's levels (all pins low)
    r.h.link.UsbPut2(OpLatch0, 0x00);
    r.h.link.UsbPut2(OpPutData51, 0x5A);  // the low address on P0
    r.h.link.UsbPut1(OpCapturePort0);
    // Nothing drives socket 1-8 once the capture lets the host's levels go: the pull-ups.
    EXPECT_EQ(r.h.Reply()[0], 0xFF);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(r.sim->GetSocket().Level(39 - i), ((0x5A >> i) & 1) != 0) << i;
    r.PortMode(PortMode51SwapWrite);
    r.h.link.UsbPut2(OpLatch0, 0x3C);
    r.h.link.UsbFlush();
    for (int k = 0; k < 8; ++k) EXPECT_EQ(r.sim->GetSocket().Level(1 + k), ((0x3C >> k) & 1) != 0) << k;
    EXPECT_TRUE(r.sim->Violations().empty());
}

}  // namespace
}  // namespace quilla::sim
