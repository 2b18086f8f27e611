// The rules every chip lives by in the simulated socket: power comes only from
// supplies, a short collapses the supplies involved, a level above a chip's
// absolute maximum rating damages it for good, and VPP before VCC is recorded.
// Driven through the socket directly, with an EPROM model.
#include <gtest/gtest.h>

#include "sim/chips/eprom.h"
#include "sim/programmer.h"

namespace quilla::sim {
namespace {

// A 28-pin part in its DIP position: chip pin n sits on socket pin n + 6.
constexpr int S(int chipPin) { return chipPin + 6; }

// The W27E512 / 27C256 pinout pieces these tests use (28 pins).
constexpr int kCe = 20, kOe = 22, kVcc = 28, kGnd = 14, kA9 = 24, kVpp1 = 1;
constexpr int kData[8] = {11, 12, 13, 15, 16, 17, 18, 19};
constexpr int kAddr[16] = {10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 27, 1};

struct Rig {
    explicit Rig(const char* part) : p(MakeSimulatedProgrammer("vex520")), s(p->GetSocket()) {
        EXPECT_TRUE(p->SeatPart(part));
    }
    EpromChip& chip() { return dynamic_cast<EpromChip&>(*p->GetChip()); }
    void Drive(int chipPin, bool high) { s.Drive(S(chipPin), high, Writer::Host); }
    void Address(std::uint32_t a, int bits) {
        for (int i = 0; i < bits; ++i) Drive(kAddr[i], (a >> i) & 1u);
    }
    void Data(std::uint8_t v) {
        for (int i = 0; i < 8; ++i) Drive(kData[i], (v >> i) & 1u);
    }
    void PowerUp(Tenths vcc = 50) {
        s.RouteGnd(S(kGnd));
        s.SetVccLevel(vcc);
        s.RouteVcc(S(kVcc));
    }
    // CE low, OE low, data released: the byte the chip drives.
    std::uint8_t Read(std::uint32_t a, int bits) {
        for (int d : kData) s.Release(S(d));
        Address(a, bits);
        Drive(kCe, false);
        Drive(kOe, false);
        std::uint8_t v = 0;
        for (int i = 0; i < 8; ++i)
            if (s.Level(S(kData[i]))) v = static_cast<std::uint8_t>(v | (1u << i));
        return v;
    }
    void Wait(Nanos t) { p->Elapse(t); }

    std::unique_ptr<Programmer> p;
    Socket& s;
};

// ---- power only from supplies -----------------------------------------------------------------

TEST(ChipPower, AVccPinHeldHighByALogicDriverPowersNothingAndIsLogged) {
    Rig r("AT27C256R");
    r.chip().MutableContents()[0] = 0x5A;
    r.s.RouteGnd(S(kGnd));
    r.s.SetVccLevel(50);
    r.Drive(kVcc, true);  // a logic high at 5 V on the VCC pin
    EXPECT_EQ(r.Read(0, 15), 0xFF);  // nothing answers: the pull-ups
    const auto logged = r.p->Log().OfKind(EventKind::SupplyFromLogic);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].pin, S(kVcc));
    r.s.RouteVcc(S(kVcc));
    EXPECT_EQ(r.Read(0, 15), 0x5A);
}

TEST(ChipPower, ProgrammingNeedsVppFromTheSupplyAndVccInItsWindow) {
    struct Case {
        Tenths vcc;
        bool vppSupplied;
        bool programs;
    };
    for (const Case c : {Case{50, true, true}, Case{48, true, true}, Case{47, true, false}, Case{65, true, true},
                         Case{66, true, false}, Case{50, false, false}}) {
        Rig r("AT27C256R");
        r.PowerUp(c.vcc);
        r.Address(0x1234, 15);
        r.Data(0x00);
        r.Drive(kOe, true);
        if (c.vppSupplied) {
            r.s.SetVppLevel(127);
            r.s.RouteVpp(S(kVpp1));
        } else {
            r.Drive(kVpp1, true);  // a logic high is no programming voltage
        }
        r.Drive(kCe, false);
        r.Wait(100 * Microsecond);
        r.Drive(kCe, true);
        r.s.RouteVpp(0);
        r.s.SetVccLevel(50);
        EXPECT_EQ(r.chip().Contents()[0x1234], c.programs ? 0x00 : 0xFF)
            << "VCC " << c.vcc << " supplied " << c.vppSupplied;
        EXPECT_TRUE(r.p->Violations().empty());
    }
}

// ---- shorts --------------------------------------------------------------------------------------

TEST(ChipPower, AShortCollapsesTheSuppliesInvolvedWhileItLasts) {
    Rig r("AT27C256R");
    r.PowerUp();
    r.s.SetVppLevel(127);
    r.s.RouteVpp(S(kVpp1));
    EXPECT_EQ(r.s.Voltage(S(kVpp1)), 127);
    r.s.RouteVpp(S(kGnd));  // VPP onto the grounded pin
    EXPECT_EQ(r.s.Voltage(S(kVpp1)), 0);
    EXPECT_EQ(r.s.Voltage(S(kVcc)), 50);  // VCC is not part of it
    // Nothing programs through it.
    r.Address(0, 15);
    r.Data(0x00);
    r.Drive(kOe, true);
    r.Drive(kCe, false);
    r.Wait(Millisecond);
    r.Drive(kCe, true);
    EXPECT_EQ(r.chip().Contents()[0], 0xFF);
    r.s.UnrouteVpp(S(kGnd));
    EXPECT_EQ(r.s.Voltage(S(kVpp1)), 127);

    r.s.RouteVcc(S(kGnd));  // VCC onto ground: VCC collapses
    EXPECT_EQ(r.s.Voltage(S(kVcc)), 0);
    EXPECT_EQ(r.s.Voltage(S(kVpp1)), 127);
}

TEST(ChipPower, AShortWhileProgrammingLatchesTheOverCurrentFlag) {
    auto p = MakeSimulatedProgrammer("vex520");
    ASSERT_TRUE(p->SeatPart("AT27C256R"));
    // Ground on 20, VPP 12.7 V onto it: the firmware's rule sees the short.
    const std::uint8_t cmds[] = {proto::OpSystem, proto::SysGndPin, 20, 0,
                                 proto::OpSystem, proto::SysVppLevel, 127, 0,
                                 proto::OpSystem, proto::SysVppPin, 20, 0};
    p->BulkWrite(cmds, sizeof cmds);
    EXPECT_EQ(p->OverCurrentReason(), OverCurrentCause::Short);
    EXPECT_EQ(p->GetSocket().VppDelivered(), 0);
}

// ---- absolute maximum ratings ------------------------------------------------------------------

struct RatingCase {
    const char* part;
    int chipPin;
    Tenths level;
    bool damages;
};

class Ratings : public ::testing::TestWithParam<RatingCase> {};

TEST_P(Ratings, ALevelAboveTheRatingDamagesTheChipForGood) {
    const RatingCase c = GetParam();
    Rig r(c.part);
    r.chip().MutableContents()[0] = 0x42;
    r.PowerUp();
    r.s.SetVppLevel(c.level);
    r.s.RouteVpp(S(c.chipPin));
    r.s.Settle();
    r.s.RouteVpp(0);
    EXPECT_EQ(r.chip().Damaged(), c.damages) << r.chip().Damage();
    EXPECT_EQ(r.p->Violations().size(), c.damages ? 1u : 0u);
    if (c.damages) {
        EXPECT_NE(r.p->Violations()[0].text.find("absolute maximum"), std::string::npos);
        EXPECT_EQ(r.p->Log().OfKind(EventKind::ChipDamaged).size(), 1u);
    }
    // A damaged chip answers nothing: neither its cells nor its ID.
    EXPECT_EQ(r.Read(0, 16), c.damages ? 0xFF : 0x42);
}

INSTANTIATE_TEST_SUITE_P(
    Eproms, Ratings,
    ::testing::Values(RatingCase{"AT27C256R", kVpp1, 140, false},   // VPP pin up to 14.0 V
                      RatingCase{"AT27C256R", kVpp1, 210, true},    // 21 V on a 27C256
                      RatingCase{"AT27C256R", kOe, 127, true},      // OE is a 7 V pin on the 27C256
                      RatingCase{"AT27C512R", kOe, 127, false},     // ... but OE/VPP on the 27C512
                      RatingCase{"AT27C256R", 11, 127, true},       // D0
                      RatingCase{"AT27C256R", kA9, 125, false},     // A9 for the ID: 14.0 V allowed
                      RatingCase{"M27C256B", kA9, 140, true},       // the ST part's A9 stops at 13.5 V
                      RatingCase{"AT27C256R", kA9, 141, true}),
    [](const ::testing::TestParamInfo<RatingCase>& i) { return std::to_string(i.index); });

TEST(ChipPower, VppBeforeVccIsRecordedOnce) {
    Rig r("AT27C256R");
    r.s.RouteGnd(S(kGnd));
    r.s.SetVppLevel(127);
    r.s.RouteVpp(S(kVpp1));
    r.s.Settle();
    r.s.SetVccLevel(0);  // still no VCC: the same event, not a second report
    r.s.Settle();
    ASSERT_EQ(r.p->Violations().size(), 1u);
    EXPECT_NE(r.p->Violations()[0].text.find("while VCC is off"), std::string::npos);
    EXPECT_FALSE(r.chip().Damaged());
    r.s.RouteVpp(0);
    r.PowerUp();
    r.s.RouteVpp(S(kVpp1));  // VCC first: fine
    r.s.Settle();
    EXPECT_EQ(r.p->Violations().size(), 1u);
}

TEST(ChipPower, TheContactTestSupplyBreaksNoRating) {
    Rig r("AT27C256R");
    r.s.SetContactMode(true);
    r.s.SetVppLevel(250);  // whatever level VPP had
    r.s.RouteVpp(S(kGnd));
    r.s.Settle();
    r.s.RouteVpp(0);
    r.s.SetContactMode(false);
    r.s.Settle();
    EXPECT_FALSE(r.chip().Damaged());
    EXPECT_TRUE(r.p->Violations().empty());
}

// A 3.3 V part (every pin rated 4.0 V) in an idle socket: the pull-ups stand at 5 V and harm
// nothing; a pin driven high at 5 V does.
TEST(ChipPower, PullUpsDamageNothingButADriverDoes) {
    struct LowVoltage : PassiveChip {
        LowVoltage() : PassiveChip(28, {14}, {28}, "low-voltage") {}
        AbsoluteMaximum Ratings() const override {
            AbsoluteMaximum a;
            a.anyPin = 40;
            return a;
        }
    };
    auto p = MakeSimulatedProgrammer("vex520");
    p->SeatChip(std::make_unique<LowVoltage>());
    Socket& s = p->GetSocket();
    s.RouteGnd(S(kGnd));  // any change lets the chip look at its pins
    EXPECT_EQ(s.Voltage(S(kVcc)), 50);
    EXPECT_FALSE(p->GetChip()->Damaged());
    s.Drive(S(kCe), true, Writer::Host);
    s.Settle();
    EXPECT_TRUE(p->GetChip()->Damaged());
    ASSERT_EQ(p->Violations().size(), 1u);
    EXPECT_NE(p->Violations()[0].text.find("absolute maximum"), std::string::npos);
}

// ---- erase ------------------------------------------------------------------------------------

// Program 0x00 at 0, erase, program 0x00 at 0 again: the second program takes.
TEST(ChipErase, AnEraseLetsTheSameByteProgramAgain) {
    Rig r("W27E512");
    r.PowerUp();
    auto program = [&] {
        r.Address(0, 16);
        r.Data(0x00);
        r.s.SetVppLevel(120);
        r.s.RouteVpp(S(kOe));  // OE/VPP
        r.Drive(kCe, false);
        r.Wait(100 * Microsecond);
        r.Drive(kCe, true);
        r.s.RouteVpp(0);
    };
    program();
    EXPECT_EQ(r.Read(0, 16), 0x00);
    // Erase: 14 V on OE/VPP and A9, CE low for 100 ms.
    r.Drive(kCe, true);
    r.s.SetVppLevel(140);
    r.s.RouteVpp(S(kOe));
    r.s.RouteVpp(S(kA9));
    r.Drive(kCe, false);
    r.Wait(100 * Millisecond);
    r.Drive(kCe, true);
    r.s.RouteVpp(0);
    EXPECT_EQ(r.Read(0, 16), 0xFF);
    program();
    EXPECT_EQ(r.Read(0, 16), 0x00);
    EXPECT_TRUE(r.p->Violations().empty());
}

}  // namespace
}  // namespace quilla::sim
