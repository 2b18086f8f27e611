// The AVR serial (SPI) interface follows SCK only while its high and low
// phases each last two cycles of the chip's clock: driven through the socket
// directly, an ATtiny26 (1 MHz internal RC as shipped) takes Programming
// Enable on a 200 kHz clock and loses the bits of a clock with 1 us phases.
#include <gtest/gtest.h>

#include "sim/chips/avr.h"
#include "sim/programmer.h"

namespace quilla::sim {
namespace {

// The ATtiny26 on the serial design's positions (chip pin k on socket 8 + k,
// 12 + k above pin 10).
constexpr int kMosi = 9, kSck = 11, kVcc = 13, kGnd = 14, kReset = 18;

struct Tiny26 {
    Tiny26() : p(MakeSimulatedProgrammer("vex520")), s(p->GetSocket()) {
        EXPECT_TRUE(p->SeatPart("ATtiny26"));
        s.Drive(kReset, false, Writer::Host);
        s.Drive(kSck, false, Writer::Host);
        s.Drive(kMosi, false, Writer::Host);
        s.RouteGnd(kGnd);
        s.SetVccLevel(50);
        s.RouteVcc(kVcc);
        p->Elapse(25 * Millisecond);  // the chip listens 20 ms after RESET fell
    }
    AvrChip& chip() { return dynamic_cast<AvrChip&>(*p->GetChip()); }
    void Shift(std::uint8_t b, Nanos phase) {
        for (int i = 7; i >= 0; --i) {
            s.Drive(kMosi, (b >> i) & 1u, Writer::Host);
            p->Elapse(phase);
            s.Drive(kSck, true, Writer::Host);
            p->Elapse(phase);
            s.Drive(kSck, false, Writer::Host);
        }
    }
    void ProgrammingEnable(Nanos phase) {
        for (std::uint8_t b : {0xAC, 0x53, 0x00, 0x00}) Shift(b, phase);
    }
    std::unique_ptr<Programmer> p;
    Socket& s;
};

TEST(AvrSerialClock, TwoClockCyclesEachPhaseEnableProgramming) {
    Tiny26 t;
    t.ProgrammingEnable(2500);
    EXPECT_TRUE(t.chip().InSerialProgramming());
    EXPECT_TRUE(t.chip().Refusals().empty());
}

TEST(AvrSerialClock, PhasesShorterThanTwoClockCyclesLoseTheBits) {
    Tiny26 t;
    t.ProgrammingEnable(1000);
    EXPECT_FALSE(t.chip().InSerialProgramming());
    ASSERT_FALSE(t.chip().Refusals().empty());
    EXPECT_NE(t.chip().Refusals().front().find("SCK"), std::string::npos) << t.chip().Refusals().front();
}

}  // namespace
}  // namespace quilla::sim
