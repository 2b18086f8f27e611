// The rig of the 8051 simulator tests: a simulated programmer with an 8051
// design loaded and a chip seated, driven by raw commands through the real
// command queue, and the few steps of the parallel programming mode.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/protocol.h"
#include "sim/sim_host.h"

namespace quilla::sim::test {

using namespace quilla::proto;

// A simulated programmer with an 8051 design loaded and a chip seated, and the
// few steps of the parallel programming mode.
struct Rig {
    explicit Rig(const std::string& part = "AT89C51", const std::string& design = "vex300")
        : sim(MakeSimulatedProgrammer()), h(*sim) {
        if (!part.empty()) {
            EXPECT_TRUE(sim->SeatPart(part));
        }
        EXPECT_EQ(Load(h, DesignData(design)), 1);
    }
    ModeTableChip& Chip() { return dynamic_cast<ModeTableChip&>(*sim->GetChip()); }
    void Pin(int p, bool high) { h.link.UsbPut2(high ? OpPinHigh : OpPinLow, static_cast<std::uint8_t>(p)); }
    void Wait(std::uint8_t op, int n = 1) {
        for (int i = 0; i < n; ++i) h.link.UsbPut1(op);
    }
    // Ground 20, VCC 40 at `vcc`, VPP level `vpp` (not routed), clock on 19,
    // RST high, PSEN low, PROG high, EA high.
    void PowerUp(int vcc = 50, int vpp = 120, bool clock = true) {
        h.Sys(SysGndPin, 20);
        h.Sys(SysVccLevel, static_cast<std::uint8_t>(vcc));
        h.Sys(SysVppLevel, static_cast<std::uint8_t>(vpp));
        h.Sys(SysVccPin, 40);
        h.Sys(SysPinOptionOn, 14);
        h.Sys(SysPinOptionOn, 18);
        h.Sys(SysPinOptionOn, 19);
        if (clock) h.Sys(SysClockPin, 19);
        Pin(9, true);
        Pin(29, false);
        Pin(30, true);
        Pin(31, true);
        h.link.UsbFlush();
    }
    // P2.6, P2.7, P3.6, P3.7 as "LHHH".
    void Mode(const char* levels) {
        const int pins[4] = {27, 28, 16, 17};
        for (int i = 0; i < 4; ++i) Pin(pins[i], levels[i] == 'H');
    }
    void Address(int a) {
        h.link.UsbPut2(static_cast<std::uint8_t>(OpLatch0), static_cast<std::uint8_t>(a & 0xFF));
        for (int bit = 0; bit < 5; ++bit) Pin(21 + bit, (a >> (8 + bit)) & 1);
    }
    // One program pulse of one wait 0x19 on PROG with the data on P0, then
    // `after` waits of 1 ms; sent at once unless `send` is false.
    void Pulse(int a, std::uint8_t v, int after = 2, bool send = true) {
        Address(a);
        h.link.UsbPut2(OpPutData51, v);
        Mode("LHHH");
        Pin(30, false);
        Wait(OpWaitPulse);
        Pin(30, true);
        Wait(OpWait1ms, after);
        if (send) h.link.UsbFlush();
    }
    // A train of n pulses as the EPROM forms give it (PROG low, one wait 0x19,
    // PROG high) in the setting `mode`, with `v` on P0 at address a; sent at once.
    void Train(int a, std::uint8_t v, const char* mode, int n) {
        Address(a);
        h.link.UsbPut2(OpPutData51, v);
        Mode(mode);
        for (int i = 0; i < n; ++i) {
            Pin(30, false);
            Wait(OpWaitPulse);
            Pin(30, true);
        }
        h.link.UsbFlush();
    }
    // A system command inside the transfer being queued (no time between).
    void SysInline(std::uint8_t s, std::uint8_t v) { h.link.UsbPut4(OpSystem, s, v, 0); }
    void Vpp(bool on) { h.Sys(SysVppPin, on ? 31 : 0); }
    // The 256 bytes of the block read from `a` in a read mode.
    Bytes Block(int a, const char* mode = "LLHH") {
        Mode(mode);
        Address(a);
        h.link.UsbPut1(OpBlock);
        h.link.UsbFlush();
        return h.Read(BlockSize);
    }
    void PortMode(int m) {
        h.link.UsbPut4(OpSystem, SysPortMode, static_cast<std::uint8_t>(m), 0);
        h.link.UsbFlush();
    }

    std::unique_ptr<Programmer> sim;
    Host h;
};

}  // namespace quilla::sim::test
