// "jtag1": the JTAG port of the XC95xx form (pins ours): TCK on socket pin 1,
// TMS on 2, TDI on 3, TDO read on 4.
//
//   latch 1   the TCK count of the next burst
//   latch 2   its TDI byte, shifted least significant bit first (cycles past
//             the eighth shift 0)
//   latch 3/4 load the low/high byte of a 16-bit TMS shift register that gives
//             one bit per TCK (bit 0 first, zeros behind): a burst that follows
//             without a new load (the full-byte bursts of a scan) gets zeros and
//             stays in Shift-xR
//   latch 0   a rising write (bit 0 from 0 to 1) runs the burst: per cycle TMS
//             and TDI set, TDO sampled, TCK high, TCK low
//   0x04      captures the TDO bits of the last 8-cycle burst (first bit in bit 0)
//   0x06      captures the TDO bits of the last burst's first (cycles - 2)
//             cycles, the upper bits 0
#pragma once

#include <cstdint>

#include "sim/design.h"

namespace quilla::sim {

class Jtag1Design : public Design {
public:
    static constexpr std::string_view TagName = "jtag1";
    std::string_view Tag() const override { return TagName; }

    static constexpr int Tck = 1, Tms = 2, Tdi = 3, Tdo = 4;

    void OnLoaded(DesignContext& ctx) override;
    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

    // TCK cycles run since the design was loaded (tests, benchmarks).
    std::uint64_t Cycles() const { return cycles_; }

private:
    void Burst(DesignContext& ctx);

    std::uint16_t tms_ = 0;
    bool run_ = false;           // latch 0 bit 0 as last written
    std::uint16_t lastTdo_ = 0;  // TDO bits of the last burst
    int lastCycles_ = 0;
    std::uint8_t byteTdo_ = 0;   // TDO bits of the last 8-cycle burst
    std::uint64_t cycles_ = 0;
};

}  // namespace quilla::sim
