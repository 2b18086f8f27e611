#include "sim/designs/vex310fw.h"

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void Vex310FirmwareDesign::DrivePort(DesignContext& ctx) { ctx.DriveBus(PortPins, ctx.Latch(0)); }

void Vex310FirmwareDesign::OnLatch(DesignContext& ctx, int k, std::uint8_t v) {
    (void)v;
    if (k == 0 && ctx.PortMode() == 0) DrivePort(ctx);
}

void Vex310FirmwareDesign::OnPortMode(DesignContext& ctx, int mode) {
    if (mode == 0) DrivePort(ctx);
    else if (mode == 1) ctx.ReleaseBus(PortPins);
}

bool Vex310FirmwareDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                                   std::span<const std::uint8_t> payload) {
    (void)args;
    (void)payload;
    switch (op) {
        case OpCapturePort0:
            ctx.Capture(static_cast<std::uint8_t>(ctx.ReadBus(PortPins)));
            return true;
        case OpCaptureData:
            ctx.Capture(static_cast<std::uint8_t>(ctx.ReadBus(DataPins)));
            return true;
        default:
            return false;
    }
}

}  // namespace quilla::sim
