// "vex310fw": the vex310's own firmware port operations. The vex310 has no
// FPGA; this design is active from power-up and gives its few fixed port
// commands their meaning (the host-driven serial-memory and AVR forms):
//
//   latch 0   drives socket pins 1..8 (bit k on pin k + 1) while the port mode is 0
//   port mode 0 drives latch 0 onto pins 1..8; mode 1 releases them (the chip drives)
//   0x01      captures pins 1..8 (pin 1 = bit 0)
//   0x03      captures the data pins 17, 18, 19, 21, 22, 23, 24, 25 (pin 17 = bit 0)
//
// Pin commands (0x08/0x09), routing and the pin options are the firmware's own
// and work as on every model.
#pragma once

#include <array>

#include "sim/design.h"

namespace quilla::sim {

class Vex310FirmwareDesign : public Design {
public:
    static constexpr std::string_view TagName = "vex310fw";
    std::string_view Tag() const override { return TagName; }

    static constexpr std::array<int, 8> PortPins{1, 2, 3, 4, 5, 6, 7, 8};
    static constexpr std::array<int, 8> DataPins{17, 18, 19, 21, 22, 23, 24, 25};

    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    void OnPortMode(DesignContext& ctx, int mode) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

private:
    void DrivePort(DesignContext& ctx);
};

}  // namespace quilla::sim
