// The EPROM 8051 parts against their pulse counts: a code byte needs the five
// pulses of the forms' train and a lock bit the 25 of its own train; one pulse
// fewer leaves the cell as it was, and the chip says why.
#include <gtest/gtest.h>

#include <string>

#include "sim/chips/mode_table.h"
#include "sim/mcs51/rig.h"
#include "support/param_names.h"

namespace quilla::sim::test {
namespace {

struct TrainCase {
    const char* name;
    const char* part;
    const char* mode;  // P2.6 P2.7 P3.6 P3.7
    int pulses;
    bool takes;
};

class PulseTrain : public ::testing::TestWithParam<TrainCase> {};

TEST_P(PulseTrain, TakesOnlyTheWholeTrain) {
    const TrainCase c = GetParam();
    Rig r(c.part);
    r.PowerUp(50, 125);
    r.PortMode(PortModeReset);
    r.Vpp(true);
    r.Train(0x12, 0x5A, c.mode, c.pulses);
    r.Vpp(false);
    const std::string mode = c.mode;
    if (mode == "LHHH") {
        EXPECT_EQ(r.Chip().Contents()[0x12], c.takes ? 0x5A : 0xFF);
    } else {
        const unsigned bit = mode == "HHHH" ? 1u : mode == "HHLL" ? 2u : 4u;
        EXPECT_EQ(r.Chip().LockBits(), c.takes ? bit : 0u);
    }
    EXPECT_TRUE(r.sim->Violations().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Eprom51, PulseTrain,
    ::testing::Values(TrainCase{"code four pulses", "87C51", "LHHH", 4, false},
                      TrainCase{"code five pulses", "87C51", "LHHH", 5, true},
                      TrainCase{"code four pulses 87C58", "87C58", "LHHH", 4, false},
                      TrainCase{"lock bit 1 five pulses", "87C52", "HHHH", 5, false},
                      TrainCase{"lock bit 1 24 pulses", "87C52", "HHHH", 24, false},
                      TrainCase{"lock bit 1 25 pulses", "87C52", "HHHH", 25, true},
                      TrainCase{"lock bit 2 24 pulses", "87C54", "HHLL", 24, false},
                      TrainCase{"lock bit 2 25 pulses", "87C54", "HHLL", 25, true},
                      TrainCase{"lock bit 3 24 pulses", "87C51RD+", "HLHL", 24, false},
                      TrainCase{"lock bit 3 25 pulses", "87C51RD+", "HLHL", 25, true}),
    quilla::test::CaseName([](const TrainCase& c) { return std::string(c.name); }));

// A code byte programmed under lock bit 1 is refused, and the refusal names
// the address.
TEST(PulseTrain, ALockedPartNotesTheRefusedByte) {
    Rig r("87C51");
    r.PowerUp(50, 125);
    r.PortMode(PortModeReset);
    r.Vpp(true);
    r.Train(0, 0xFF, "HHHH", 25);
    r.Train(0x34, 0x00, "LHHH", 5);
    r.Vpp(false);
    EXPECT_EQ(r.Chip().Contents()[0x34], 0xFF);
    ASSERT_FALSE(r.Chip().Refusals().empty());
    EXPECT_NE(r.Chip().Refusals().back().find("000034"), std::string::npos) << r.Chip().Refusals().back();
    EXPECT_NE(r.Chip().Refusals().back().find("locked"), std::string::npos) << r.Chip().Refusals().back();
}

}  // namespace
}  // namespace quilla::sim::test
