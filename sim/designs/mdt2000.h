// The MDT design ("mdt2000"): the host drives every control signal of the
// MDT parts pin by pin, and a 7-bit data port sits on the chip's RB0-RB6.
//
//   register 18  n: socket pin n low, n | 80h: high (n 1..48); n = 63 is the
//                port's direction: low, the data latch drives the port;
//                high, the port is released (the chip drives it on a read)
//   latch 0      the port of the 18-pin parts: bits 0-6 on socket 17-23
//                (RB0-RB6 of an 18-pin DIP); bit 7 is not connected
//   latch 1      the port of the 28-pin parts: bits 0-6 on socket 16-22
//   0x01, 0x02   capture the port of latch 0, latch 1 (bits 0-6; bit 7 reads 0)
// The latch written last owns the port; its pins follow it while line 63 is low.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "sim/design.h"

namespace quilla::sim {

class Mdt2000Design : public Design {
public:
    static constexpr std::string_view TagName = "mdt2000";
    std::string_view Tag() const override { return TagName; }

    static constexpr std::array<int, 7> Port0{17, 18, 19, 20, 21, 22, 23};
    static constexpr std::array<int, 7> Port1{16, 17, 18, 19, 20, 21, 22};
    static constexpr int DirectionLine = 63;

    void OnLoaded(DesignContext& ctx) override;
    void OnUnloaded(DesignContext& ctx) override;
    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

private:
    void DrivePort(DesignContext& ctx);
    void ReleasePort(DesignContext& ctx);

    int owner_ = -1;  // latch that owns the port (-1: none written)
    std::uint8_t value_ = 0;
    bool released_ = true;
};

}  // namespace quilla::sim
