// "vex300": the parallel-socket design (the default design, loaded by the
// engine at start and by the socket memory forms).
//
//   latch 1   socket pins 9..16, latch bit k on pin 9 + k: the low address
//             byte bit-reversed, so A0 (latch bit 7) is on pin 16
//   latch 2   the data byte, on the data pins 17, 18, 19, 21, 22, 23, 24, 25
//             (D0..D7 of every bottom-aligned 24-, 28- and 32-pin memory) while
//             the port mode is 15; port mode 12 releases them (the chip drives)
//   0x28      steps the address by one: the low byte on latch 1's pins, a
//             carry ripples into A8 and up on the socket pins in the socket
//             forms' order (31, 30, 27, 29, 8, 32, 33, 7, 6, 34, 35, 5), each
//             taken at its present level; only pins whose bit changes are driven
//   0x27      reads 1,024 bytes from the address set (data pins sampled, the
//             address stepped as by 0x28 between the samples; it ends on the
//             last byte read); the 1,024 bytes follow
//   0x03      captures the data pins into the reply (D0 = bit 0)
//   latch 3   socket pins 26..33, latch bit k on pin 26 + k (the logic-device
//             forms' row-address and mode lines)
//
// The bus cycles of the page-write and command-set memories (each a whole write
// cycle: CE, socket 26, goes low with the strobe pin, then both return to the
// levels they had, so a cycle also works after the host left CE high):
//   0x29 v    v on the data pins at 5555h: A0-A7 through the address counter,
//             A8-A14 on 31, 30, 27, 29, 8, 32, 33 (the 32-pin routing), strobe 35
//   0x2A v    the same at 2AAAh
//   0x2B      latch 2 at the address set, strobe 35
//   0x2C      latch 2 at the address set, strobe 33 (WE of a 28-pin part)
//   0x53 v    v on the data pins, one CE pulse (the host holds WE low and OE
//             high), then the address counter's A0-A7 step by one (a page
//             never crosses a 256-byte boundary; nothing ripples into A8 up)
//   0x2E      a low pulse of 10 ms on socket 7 (the erase strobe given while
//             12 V lies on OE)
//
// Writing latch 1 sets the low byte of the address counter. Latch 2 reaches the
// data pins only once the host has written it since the design was loaded (a
// form that drives socket pins 17-19, 21 itself keeps its levels).
//
// The AVR data port of the host-driven AT90S form:
//   0x26 v    drives v onto socket pins 22..29 (bit k on pin 22 + k: PB0..PB7 of
//             a DIP20 part in the 20-pin area) and 1..8 (bit k on pin 1 + k:
//             PB0..PB7 of a DIP40 part), in every port mode but 9
//   port 9    releases both groups (the chip drives its data bus)
//   0x25      captures the data port: pins 22..29 AND pins 1..8, bit k from
//             pins 22 + k and 1 + k (the group no chip drives reads 1)
//
// The 8051 meanings (the 8051 parallel forms load this design for a DIP40
// chip; the PLCC44 and "p51" designs of mcs51.h give the same meanings):
//
//   latch 0   socket pins 1..8, bit k on pin k + 1 (P1: A0..A7), in every
//             port mode
//   0x21 v    drives v onto P0 (socket 39..32, P0.0 on 39); port mode 7
//             releases it (the chip drives P0 when it reads)
//   0x20      256 samples of P0 (the block the host reads), latch 0's address
//             stepped by one after each (so it ends where it began)
//   0x22      one sample of P0 into the reply (in port mode 7 as inputs)
//
// Port mode 7 releases only what the design drives there: a level the host set
// on a socket pin stays (the memory read mode 12 releases the data pins to the
// chip whoever drove them).
#pragma once

#include <array>
#include <cstdint>

#include "sim/design.h"

namespace quilla::sim {

class Vex300Design : public Design {
public:
    static constexpr std::string_view TagName = "vex300";
    std::string_view Tag() const override { return TagName; }

    // P0.0..P0.7 of a DIP40 8051 (socket pins).
    static constexpr std::array<int, 8> Dip40Port0{39, 38, 37, 36, 35, 34, 33, 32};
    static constexpr int Port1FirstPin = 1;  // latch-0 bit 0

    explicit Vex300Design(const std::array<int, 8>& port0 = Dip40Port0) : port0_(port0) {}

    static constexpr std::array<int, 8> DataPins{17, 18, 19, 21, 22, 23, 24, 25};
    static constexpr std::array<int, 12> HighAddressPins{31, 30, 27, 29, 8, 32, 33, 7, 6, 34, 35, 5};
    static constexpr int LowAddressFirstPin = 9;  // latch-1 bit 0
    static constexpr int Latch3FirstPin = 26;     // latch-3 bit 0
    static constexpr std::array<int, 8> AvrPortDip20{22, 23, 24, 25, 26, 27, 28, 29};
    static constexpr std::array<int, 8> AvrPortDip40{1, 2, 3, 4, 5, 6, 7, 8};
    static constexpr int PortModeAvrSample = 9;

    void OnLoaded(DesignContext& ctx) override;
    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    void OnPortMode(DesignContext& ctx, int mode) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

protected:
    void DriveLow(DesignContext& ctx);
    void DriveData(DesignContext& ctx);
    void Step(DesignContext& ctx);
    std::uint8_t SampleData(DesignContext& ctx);
    // Releases pins this design drives (never a level the host set).
    void ReleaseOwn(DesignContext& ctx, std::span<const int> pins);

    // One write cycle: data on the bus, CE and `strobe` (0: CE alone) low, then
    // both back to what they were.
    void BusCycle(DesignContext& ctx, int strobe, std::uint8_t data);
    void CommandCycle(DesignContext& ctx, std::uint16_t address, std::uint8_t data);

    // The 8051 commands (sim/designs/mcs51.cpp).
    bool Mcs51Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args);
    void DrivePort1(DesignContext& ctx);

    std::uint8_t low_ = 0;  // A0..A7 of the address counter
    bool latch2Written_ = false;    // since the design was loaded
    std::uint8_t avrPort_ = 0;      // the last 0x26 value
    std::array<int, 8> port0_;
    std::uint8_t port1_ = 0;        // latch 0, stepped by 0x20
    bool latch3Drives_ = true;      // latch 3 on socket pins 26..33 (else only kept)
};

}  // namespace quilla::sim
