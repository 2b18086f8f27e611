// The 8051 commands of "vex300" and the designs of mcs51.h.
#include "sim/designs/mcs51.h"

#include <array>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void Vex300Design::DrivePort1(DesignContext& ctx) {
    for (int k = 0; k < 8; ++k) ctx.Drive(Port1FirstPin + k, (port1_ >> k) & 1u);
}

bool Vex300Design::Mcs51Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args) {
    switch (op) {
        case OpPutData51:
            ctx.DriveBus(port0_, args[0]);
            return true;
        case OpCapturePort0: {
            // Socket 1-8 (the MSU2964's data) as inputs in port mode 1.
            const std::array<int, 8> port1{1, 2, 3, 4, 5, 6, 7, 8};
            if (ctx.PortMode() == PortMode51Swap) ctx.ReleaseBus(port1);
            ctx.Capture(static_cast<std::uint8_t>(ctx.ReadBus(port1)));
            return true;
        }
        case OpSampleData51:
            // Sampled as inputs in the read mode, as the block read does.
            if (ctx.PortMode() == PortMode51Read) ctx.ReleaseBus(port0_);
            ctx.Capture(static_cast<std::uint8_t>(ctx.ReadBus(port0_)));
            return true;
        case OpBlock: {
            // In the read mode P0 is sampled as inputs: whatever the
            // programmer drove there (a host level such as all pins low) lets
            // go first.
            if (ctx.PortMode() == PortMode51Read) ctx.ReleaseBus(port0_);
            std::uint8_t* out = ctx.Block(BlockSize);
            for (int i = 0; i < BlockSize; ++i) {
                out[i] = static_cast<std::uint8_t>(ctx.ReadBus(port0_));
                ++port1_;
                DrivePort1(ctx);
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace quilla::sim
