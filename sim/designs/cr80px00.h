// The CR80 design ("cr80px00"): register 18 lines (n low, n | 80h high) on
// socket pins, one table for the 18- and the 28-pin parts (each device row
// uses its own lines), and the 7-bit data port of latches 0 and 1.
//
//   line    1   2   3   4   5   6   7   8  10  11
//   socket 12  13  17  18  19  20  27  28  33  32
//
// Line 1 is also the port's direction: while it is high the port is released
// (the chip drives it on a read); while it is low the latch written last
// drives it. Latches 0 and 1 put bits 0-6 on socket 21, 22, 23, 24, 26, 29,
// 15 (bit 7 is not connected); 0x01 and 0x02 capture those pins (bit 7 reads
// 0). A line outside the table is a violation.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "sim/design.h"

namespace quilla::sim {

class Cr80px00Design : public Design {
public:
    static constexpr std::string_view TagName = "cr80px00";
    std::string_view Tag() const override { return TagName; }

    static constexpr std::array<int, 12> LinePins{0, 12, 13, 17, 18, 19, 20, 27, 28, 0, 33, 32};
    static constexpr std::array<int, 7> Port{21, 22, 23, 24, 26, 29, 15};

    void OnLoaded(DesignContext& ctx) override;
    void OnUnloaded(DesignContext& ctx) override { ctx.ReleaseAll(); }
    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

private:
    void DrivePort(DesignContext& ctx);
    bool written_ = false;
    std::uint8_t value_ = 0;
    bool reading_ = false;
};

}  // namespace quilla::sim
