// The vex310's firmware port operations and the pin options every model has.
#include <gtest/gtest.h>

#include "../sim_host.h"
#include "sim/programmer.h"

namespace quilla::sim::test {
namespace {

// A chip that drives its pin 1 high whenever it sits in the socket.
class Talker : public Chip {
public:
    std::string Name() const override { return "talker"; }
    int PinCount() const override { return 8; }
    std::vector<int> GroundPins() const override { return {4}; }
    std::vector<int> VccPins() const override { return {8}; }
    void OnPinsChanged(ChipPins& pins) override { pins.Drive(1, true); }
};

TEST(PinOptions, AnOptionOnReleasesTheDriverSoTheChipOutputWins) {
    auto p = MakeSimulatedProgrammer("vex520");
    p->SeatChip(std::make_unique<Talker>(), Placement::Custom("talker", {5, 6, 7, 8, 9, 10, 11, 12}));
    Host h(*p);
    h.link.UsbPut2(proto::OpPinLow, 5);
    h.link.UsbFlush();
    EXPECT_FALSE(p->GetSocket().Level(5));  // the host's driver beats the chip
    h.Sys(proto::SysPinOptionOn, 5);
    EXPECT_TRUE(p->GetSocket().Level(5));
    EXPECT_EQ(p->GetSocket().State(5).source, PinSource::Chip);
    h.Sys(proto::SysPinOptionOff, 5);
    EXPECT_FALSE(p->GetSocket().Level(5));
    EXPECT_TRUE(p->Violations().empty());
}

TEST(Vex310Firmware, Latch0DrivesPins1To8InPortMode0AndMode1ReleasesThem) {
    auto p = MakeSimulatedProgrammer("vex310");
    ASSERT_EQ(p->LoadedTag(), "vex310fw");
    Host h(*p);
    h.Sys(proto::SysPortMode, 0);
    h.link.UsbPut2(proto::OpLatch0, 0xA5);
    h.link.UsbFlush();
    for (int k = 0; k < 8; ++k) EXPECT_EQ(p->GetSocket().Level(k + 1), ((0xA5 >> k) & 1) != 0) << k;
    h.link.UsbPut1(proto::OpCapturePort0);
    EXPECT_EQ(h.Reply()[0], 0xA5);
    h.Sys(proto::SysPortMode, 1);
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(p->GetSocket().State(k).source, PinSource::PullUp) << k;
    EXPECT_TRUE(p->Violations().empty());
}

TEST(Vex310Firmware, Opcode3CapturesTheDataPins) {
    auto p = MakeSimulatedProgrammer("vex310");
    Host h(*p);
    // Data pins 17, 18, 19, 21..25 = bits 0..7: drive 0x3C.
    const int pins[8] = {17, 18, 19, 21, 22, 23, 24, 25};
    for (int i = 0; i < 8; ++i) h.link.UsbPut2(((0x3C >> i) & 1) ? proto::OpPinHigh : proto::OpPinLow, pins[i]);
    h.link.UsbPut1(proto::OpCaptureData);
    EXPECT_EQ(h.Reply()[0], 0x3C);
    EXPECT_TRUE(p->Violations().empty());
}

}  // namespace
}  // namespace quilla::sim::test
