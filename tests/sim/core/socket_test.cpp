// The socket: placement, level resolution, contact test, over-current,
// scheduled chip removal and insertion, chips reacting to pins and time.
#include <gtest/gtest.h>

#include "sim/programmer.h"
#include "sim/sim_host.h"
#include "support/param_names.h"

namespace quilla::sim::test {
namespace {

using namespace quilla::proto;

// ---- placement -----------------------------------------------------------------------

struct DipCase {
    int pins, first, last;
};

class SimDipPlacement : public ::testing::TestWithParam<DipCase> {};

TEST_P(SimDipPlacement, BottomAlignedInTheFortyPinArea) {
    const auto [n, first, last] = GetParam();
    Placement p = Placement::Dip(n);
    ASSERT_EQ(p.ChipPinCount(), n);
    EXPECT_EQ(p.SocketPinOf(1), first);
    EXPECT_EQ(p.SocketPinOf(n / 2), 20);
    EXPECT_EQ(p.SocketPinOf(n / 2 + 1), 21);
    EXPECT_EQ(p.SocketPinOf(n), last);
    for (int i = 1; i <= n / 2; ++i) EXPECT_EQ(p.SocketPinOf(i) + p.SocketPinOf(n + 1 - i), 41);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SimDipPlacement,
                         ::testing::Values(DipCase{24, 9, 32}, DipCase{28, 7, 34}, DipCase{32, 5, 36},
                                           DipCase{40, 1, 40}, DipCase{8, 17, 24}),
                         quilla::test::CaseName([](const auto& c) { return std::to_string(c.pins) + " pins"; }));

TEST(SimPlacement, RejectsSizesWithoutAStandardPosition) {
    EXPECT_THROW(Placement::Dip(27), std::invalid_argument);
    EXPECT_THROW(Placement::Dip(42), std::invalid_argument);
    EXPECT_THROW(Placement::Dip(0), std::invalid_argument);
    auto sim = MakeSimulatedProgrammer();
    EXPECT_THROW(sim->SeatChip(PassiveChip::Dip(28), Placement::Dip(32)), std::invalid_argument);
}

// ---- level resolution -----------------------------------------------------------------

TEST(SimSocketLevels, SupplyBeatsDriverBeatsChipBeatsPullUp) {
    EventLog log;
    VirtualClock clock;
    Socket s(clock, log);
    EXPECT_EQ(s.State(5).source, PinSource::PullUp);
    EXPECT_TRUE(s.Level(5));
    s.Drive(5, false, Writer::Host);
    EXPECT_FALSE(s.Level(5));
    s.Drive(5, true, Writer::Design);  // last writer wins
    EXPECT_TRUE(s.Level(5));
    EXPECT_EQ(s.DriverOf(5), Writer::Design);
    s.SetVccLevel(33);
    s.RouteGnd(5);
    EXPECT_FALSE(s.Level(5));
    EXPECT_EQ(s.State(5).source, PinSource::Supply);
    s.RouteGnd(0);
    EXPECT_EQ(s.Voltage(5), 33) << "driven high stands at the VCC level";
    s.Release(5);
    EXPECT_EQ(s.State(5).source, PinSource::PullUp);
}

// A chip that copies its pin 1 to its pin 2 (an inverter, output low for high)
// and counts the time its pin 3 is driven low.
class TestChip : public Chip {
public:
    std::string Name() const override { return "test"; }
    int PinCount() const override { return 8; }
    std::vector<int> GroundPins() const override { return {4}; }
    std::vector<int> VccPins() const override { return {8}; }
    void OnPinsChanged(ChipPins& pins) override {
        ++changes;
        pins.Drive(2, !pins.High(1));
        lowNow = pins.Touches(3) && !pins.High(3);
    }
    void OnElapsed(ChipPins& pins, Nanos dt) override {
        (void)pins;
        if (lowNow) lowTime += dt;
    }
    int changes = 0;
    bool lowNow = false;
    Nanos lowTime = 0;
};

TEST(SimSocketLevels, ChipOutputsAreSeenUnlessAPinIsDriven) {
    auto sim = MakeSimulatedProgrammer();
    auto chip = std::make_unique<TestChip>();
    sim->SeatChip(std::move(chip));  // DIP8: chip pins 1..4 = socket 17..20
    Socket& s = sim->GetSocket();
    Host h(*sim);
    h.Raw({OpPinHigh, 17, OpCapturePin, 18, OpPinLow, 17, OpCapturePin, 18, OpPinLow, 18, OpCapturePin, 18});
    Bytes r = h.Reply();
    EXPECT_EQ(r[0], 0) << "chip drives its pin 2 low for a high input";
    EXPECT_EQ(r[1], 1);
    EXPECT_EQ(r[2], 0) << "the host's driver beats the chip's output";
    EXPECT_EQ(s.State(18).source, PinSource::Driver);
}

TEST(SimSocketLevels, ChipSeesTimePassWithThePinsAsTheyAre) {
    auto sim = MakeSimulatedProgrammer();
    auto owned = std::make_unique<TestChip>();
    TestChip* chip = owned.get();
    sim->SeatChip(std::move(owned));
    Host h(*sim);
    // Pin 3 of the chip is socket pin 19: low for one command plus three pulses.
    h.Raw({OpPinLow, 19, OpWaitPulse, OpWaitPulse, OpWaitPulse, OpPinHigh, 19, OpWait1ms});
    EXPECT_EQ(chip->lowTime, 1 * Microsecond + 30 * Microsecond);
}

TEST(SimSocketLevels, BadContactHidesThePinFromTheChip) {
    auto sim = MakeSimulatedProgrammer();
    auto owned = std::make_unique<TestChip>();
    TestChip* chip = owned.get();
    sim->SeatChip(std::move(owned));
    sim->SetBadContact(19);
    Host h(*sim);
    h.Raw({OpPinLow, 19, OpWait1ms});
    EXPECT_EQ(chip->lowTime, 0u);
}

// ---- contact test -------------------------------------------------------------------------

// A 28-pin part: ground at chip pin 14 (socket 20), VCC at chip pin 28 (socket 34).
std::unique_ptr<Programmer> With28PinChip() {
    auto sim = MakeSimulatedProgrammer();
    sim->SeatChip(PassiveChip::Dip(28));
    return sim;
}

TEST(SimContact, SeatedChipReadsExactlyItsPins) {
    auto sim = With28PinChip();
    Host h(*sim);
    h.Sys(SysVccLevel, 50);
    EXPECT_EQ(h.ContactPoll(20), PinRange(7, 34));
    EXPECT_TRUE(sim->Violations().empty());
}

TEST(SimContact, BadContactPinReadsZero) {
    auto sim = With28PinChip();
    sim->SetBadContact(12);
    Host h(*sim);
    EXPECT_EQ(h.ContactPoll(20), PinRange(7, 34) & ~PinBit(12));
}

TEST(SimContact, EmptySocketReadsOnlyTheSuppliedPin) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    EXPECT_EQ(h.ContactPoll(20), PinBit(20));
    EXPECT_EQ(h.ContactPoll(15, true), PinBit(15));
}

TEST(SimContact, ChipAbsentReadsOnlyTheSuppliedPin) {
    auto sim = With28PinChip();
    sim->SetChipPresent(false);
    Host h(*sim);
    EXPECT_EQ(h.ContactPoll(20), PinBit(20));
    sim->SetChipPresent(true);
    EXPECT_EQ(h.ContactPoll(20), PinRange(7, 34));
}

TEST(SimContact, SupplyOutsideTheChipReachesNothing) {
    auto sim = With28PinChip();
    Host h(*sim);
    EXPECT_EQ(h.ContactPoll(40), PinBit(40));
}

TEST(SimContact, Register27ReadsContactBitsNot255) {
    auto sim = MakeSimulatedProgrammer();
    sim->SeatChip(PassiveChip::Dip(40));
    Host h(*sim);
    const std::uint64_t bits = h.ContactPoll(20);
    EXPECT_EQ(bits, PinRange(1, 40));
    EXPECT_EQ(bits >> 40, 0u) << "register 27 holds pins 41..48: none touch";
}

TEST(SimContact, SupplyAtZeroVoltsGivesTheSameResult) {
    auto sim = With28PinChip();
    Host h(*sim);
    h.Sys(SysVccLevel, 0);
    h.Sys(SysVppLevel, 0);
    EXPECT_EQ(h.ContactPoll(20), PinRange(7, 34));
    EXPECT_EQ(h.ContactPoll(20, true), PinRange(7, 34));
}

TEST(SimContact, OutsideTheTestRegistersReadWhatWasWritten) {
    auto sim = With28PinChip();
    Host h(*sim);
    h.link.UsbPut3(OpWriteReg, RegContactMode, ContactModeOn);  // register 27 not 255
    h.link.UsbPut2(OpReadReg, 23);
    Bytes r = h.Reply();
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(sim->ContactPolls(), 0);
}

TEST(SimContact, NoFaultRuleAppliesDuringTheTest) {
    auto sim = With28PinChip();
    Host h(*sim);
    h.Sys(SysVccLevel, 50);
    h.link.UsbPut3(OpWriteReg, RegContactEnable, ContactEnableOn);
    h.link.UsbPut3(OpWriteReg, RegContactMode, ContactModeOn);
    h.link.UsbFlush();
    h.Sys(SysGndPin, 34);   // chip VCC grounded
    h.Sys(SysVccPin, 20);   // chip ground at VCC
    EXPECT_FALSE(sim->OverCurrentLatched());
}

TEST(SimContact, RemovalAfterThreePollsAndInsertionTwoPollsLater) {
    auto sim = With28PinChip();
    sim->ScheduleRemoval(When::AfterPolls(3));
    sim->ScheduleInsertion(When::AfterPolls(2));
    Host h(*sim);
    const std::uint64_t chip = PinRange(7, 34), none = PinBit(20);
    const std::uint64_t expected[] = {chip, chip, chip, none, none, chip, chip};
    for (int poll = 0; poll < 7; ++poll) EXPECT_EQ(h.ContactPoll(20), expected[poll]) << "poll " << poll + 1;
    EXPECT_EQ(sim->ContactPolls(), 7);
}

TEST(SimContact, RemovalAtAVirtualTime) {
    auto sim = With28PinChip();
    sim->ScheduleRemoval(When::At(1 * Second));
    Host h(*sim);
    EXPECT_EQ(h.ContactPoll(20), PinRange(7, 34));
    for (int i = 0; i < 10; ++i) h.link.UsbPut1(OpWait100ms);
    h.link.UsbFlush();
    EXPECT_GE(sim->Now(), 1 * Second);
    EXPECT_FALSE(sim->GetSocket().ChipPresent());
    EXPECT_EQ(h.ContactPoll(20), PinBit(20));
}

TEST(SimContact, InsertionOfANewChip) {
    auto sim = MakeSimulatedProgrammer();
    sim->SeatChip(PassiveChip::Dip(28));
    sim->ScheduleRemoval(When::AfterPolls(1));
    sim->ScheduleInsertion(When::AfterPolls(1), PassiveChip::Dip(24));
    Host h(*sim);
    EXPECT_EQ(h.ContactPoll(20), PinRange(7, 34));
    EXPECT_EQ(h.ContactPoll(20), PinBit(20));
    EXPECT_EQ(h.ContactPoll(20), PinRange(9, 32)) << "the new chip sits at its own DIP position";
}

// ---- over-current ------------------------------------------------------------------------

TEST(SimOverCurrent, ReversePowerLatchesUntilReadAndCleared) {
    auto sim = With28PinChip();
    Host h(*sim);
    h.Sys(SysVccLevel, 50);
    h.Sys(SysGndPin, 34);   // the chip's VCC pin grounded
    h.Sys(SysVccPin, 20);   // its ground pin at VCC
    EXPECT_EQ(sim->OverCurrentReason(), OverCurrentCause::ReversePower);
    h.Sys(SysOverCurrent, 0);
    EXPECT_EQ(h.Reply()[0] & 1, 0);
    h.Sys(SysVccPin, 0);
    h.Sys(SysGndPin, 0);
    h.Sys(SysOverCurrent, 0);
    EXPECT_EQ(h.Reply()[0] & 1, 1);
}

TEST(SimOverCurrent, AFaultStillPresentIsReportedAgain) {
    auto sim = With28PinChip();
    Host h(*sim);
    h.Sys(SysVccLevel, 50);
    h.Sys(SysGndPin, 34);
    h.Sys(SysVccPin, 20);
    h.Sys(SysOverCurrent, 0);
    EXPECT_EQ(h.Reply()[0], 0);
    h.Sys(SysOverCurrent, 0);
    EXPECT_EQ(h.Reply()[0], 0);
}

TEST(SimOverCurrent, CorrectPowerIsNoFault) {
    auto sim = With28PinChip();
    Host h(*sim);
    h.Sys(SysVccLevel, 50);
    h.Sys(SysGndPin, 20);
    h.Sys(SysVccPin, 34);
    h.Sys(SysVppLevel, 125);
    h.Sys(SysVppPin, 7);
    h.Sys(SysOverCurrent, 0);
    EXPECT_EQ(h.Reply()[0], 1);
}

struct ShortCase {
    std::uint8_t a, b;
    std::uint8_t vcc, vpp;
    bool fault;
};

class SimShort : public ::testing::TestWithParam<ShortCase> {};

TEST_P(SimShort, TwoSuppliesOfDifferentLevelsOnOnePin) {
    const ShortCase c = GetParam();
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    h.Sys(SysVccLevel, c.vcc);
    h.Sys(SysVppLevel, c.vpp);
    h.Sys(c.a, 9);
    h.Sys(c.b, 9);
    EXPECT_EQ(sim->OverCurrentLatched(), c.fault);
}

INSTANTIATE_TEST_SUITE_P(Pairs, SimShort,
                         ::testing::Values(ShortCase{SysVccPin, SysGndPin, 50, 0, true},
                                           ShortCase{SysGndPin, SysVppPin, 0, 120, true},
                                           ShortCase{SysVccPin, SysVppPin, 50, 120, true},
                                           ShortCase{SysVccPin, SysGndPin, 0, 0, false},
                                           ShortCase{SysVppSupplyPath, SysGndPin, 0, 120, true},
                                           ShortCase{SysVccPin, SysVccPin, 50, 0, false}),
                         quilla::test::CaseName([](const auto& c) {
                             return "sub " + std::to_string(c.a) + " sub " + std::to_string(c.b) +
                                    " vcc " + std::to_string(c.vcc) + " vpp " + std::to_string(c.vpp);
                         }));

TEST(SimOverCurrent, UsbLoadModelCountsSixteenVoltPinsDrivenLow) {
    ModelConfig cfg = ModelConfig::For("vex520");
    cfg.usbLoadCapacity = 3;
    Programmer sim(cfg);
    Host h(sim);
    h.Sys(SysVppLevel, 160);
    for (int pin : {1, 5, 7}) {
        h.Sys(SysVppPin, static_cast<std::uint8_t>(pin));
        h.Raw({OpPinLow, static_cast<std::uint8_t>(pin)});
    }
    EXPECT_FALSE(sim.OverCurrentLatched());
    h.Sys(SysVppPin, 9);
    h.Raw({OpPinHigh, 9});
    EXPECT_FALSE(sim.OverCurrentLatched()) << "a pin driven high draws nothing";
    h.Raw({OpPinLow, 9});
    EXPECT_EQ(sim.OverCurrentReason(), OverCurrentCause::UsbLoad);
}

TEST(SimOverCurrent, InjectedFault) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    sim->InjectOverCurrent();
    h.Sys(SysOverCurrent, 0);
    EXPECT_EQ(h.Reply()[0], 0);
    h.Sys(SysOverCurrent, 0);
    EXPECT_EQ(h.Reply()[0], 1);
}

// ---- adapter boards ------------------------------------------------------------------------

TEST(SimAdapter, PinCodesReachTheBoardsNets) {
    auto sim = MakeSimulatedProgrammer();
    std::vector<int> map(44);
    for (int i = 0; i < 44; ++i) map[static_cast<std::size_t>(i)] = i < 40 ? i + 1 : 0;
    Placement board = Placement::Custom("SOP44 board", map);
    board.WithCode(PinCode101, SysVccPin, {13}).WithCode(PinCode101, SysGndPin, {30}).WithCode(PinCode100, 0, {11});
    sim->SeatChip(std::make_unique<PassiveChip>(44, std::vector<int>{30}, std::vector<int>{13}), board);
    Host h(*sim);
    h.Sys(SysVccPin, PinCode101);
    h.Sys(SysGndPin, PinCode101);
    h.Raw({OpPinLow, PinCode100});
    EXPECT_EQ(sim->GetSocket().VccPins().Pins(), std::vector<int>{13});
    EXPECT_EQ(sim->GetSocket().GndPins().Pins(), std::vector<int>{30});
    EXPECT_FALSE(sim->GetSocket().Level(11));
    h.Sys(SysVppPin, PinCode101);  // undefined for VPP on this board: ignored
    EXPECT_TRUE(sim->GetSocket().VppPins().Empty());
    EXPECT_TRUE(sim->Violations().empty());
}

}  // namespace
}  // namespace quilla::sim::test

namespace quilla::sim::test {
namespace {

using namespace quilla::proto;

// A chip that pulls its pin 1 low (busy) until 5 ms after VCC reaches its pin 8.
class BusyChip : public Chip {
public:
    std::string Name() const override { return "busy"; }
    int PinCount() const override { return 8; }
    std::vector<int> GroundPins() const override { return {4}; }
    std::vector<int> VccPins() const override { return {8}; }
    void OnPinsChanged(ChipPins& pins) override {
        if (!powered && pins.Voltage(8) >= 45) {
            powered = true;
            readyAt = pins.Now() + 5 * Millisecond;
        }
        Update(pins);
    }
    void OnElapsed(ChipPins& pins, Nanos) override { Update(pins); }
    void Update(ChipPins& pins) {
        if (powered && pins.Now() < readyAt) pins.Drive(1, false);
        else pins.Release(1);
    }
    bool powered = false;
    Nanos readyAt = 0;
};

TEST(SimReadyWait, WaitsForThePinToGoHighAtMostXMilliseconds) {
    auto sim = MakeSimulatedProgrammer();
    sim->SeatChip(std::make_unique<BusyChip>());   // pin 1 = socket 17, pin 8 = socket 24
    Host h(*sim);
    h.Sys(SysVccLevel, 50);
    h.Sys(SysVccPin, 24);
    const Nanos start = sim->Now();
    h.Raw({OpCapturePin, 17, OpSystem, SysReadyWait, 17, ReadyWaitArg, OpCapturePin, 17});
    Bytes r = h.Reply();
    EXPECT_EQ(r[0], 0) << "busy right after power-up";
    EXPECT_EQ(r[1], 1) << "ready after the wait";
    EXPECT_LT(sim->Now() - start, 5 * Millisecond + 2 * Millisecond);
    EXPECT_TRUE(sim->Violations().empty());
}

TEST(SimReadyWait, GivesUpAfterXMilliseconds) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    h.Raw({OpPinLow, 17});
    const Nanos before = sim->Now();
    h.Raw({OpSystem, SysReadyWait, 17, 2});
    EXPECT_GE(sim->Now() - before, 2 * Millisecond);
    EXPECT_LT(sim->Now() - before, 4 * Millisecond);
}

TEST(SimEventLog, SupplyRoutingAndOptionsWithTimes) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    h.Sys(SysVccLevel, 50);
    h.Raw({OpWait100ms});
    h.Sys(SysVccPin, 28);
    h.Sys(SysPinOptionOn, 12);
    h.Sys(SysPinOptionOff, 12);
    const auto& ev = sim->Log().Events();
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0].kind, EventKind::VccLevel);
    EXPECT_EQ(ev[0].value, 50);
    EXPECT_EQ(ev[1].kind, EventKind::VccRoute);
    EXPECT_EQ(ev[1].pin, 28);
    EXPECT_GE(ev[1].time - ev[0].time, 100 * Millisecond);
    EXPECT_EQ(ev[2].kind, EventKind::PinOption);
    EXPECT_EQ(ev[2].value, 1);
    EXPECT_EQ(ev[3].value, 0);
    EXPECT_FALSE(sim->GetSocket().PinOption(12));
}

}  // namespace
}  // namespace quilla::sim::test
