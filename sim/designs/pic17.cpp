#include "sim/designs/pic17.h"

#include <string>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void Pic17Dip40Design::OnLoaded(DesignContext& ctx) {
    (void)ctx;
    high_ = low_ = 0;
    released_ = true;
}

void Pic17Dip40Design::OnUnloaded(DesignContext& ctx) { ctx.ReleaseAll(); }

void Pic17Dip40Design::DriveBytes(DesignContext& ctx) {
    if (released_) return;
    ctx.DriveBus(High, high_);
    ctx.DriveBus(Low, low_);
}

void Pic17Dip40Design::OnLatch(DesignContext& ctx, int k, std::uint8_t v) {
    if (k == 0) high_ = v;
    else if (k == 1) low_ = v;
    else return;
    DriveBytes(ctx);
}

void Pic17Dip40Design::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int n = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    if (n < 2 || n > 5) {
        ctx.Violation("pic17dip40: register 18 names line " + std::to_string(n));
        return;
    }
    const int pin = Lines[static_cast<std::size_t>(n - 2)];
    if (n != 4) {
        ctx.Drive(pin, high);
        return;
    }
    // The direction line: the chip lets go before the latches drive, and the
    // latches let go before the chip drives.
    if (high) {
        ctx.Drive(pin, true);
        released_ = false;
        DriveBytes(ctx);
    } else {
        released_ = true;
        ctx.ReleaseBus(High);
        ctx.ReleaseBus(Low);
        ctx.Drive(pin, false);
    }
}

bool Pic17Dip40Design::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                               std::span<const std::uint8_t> payload) {
    (void)args, (void)payload;
    if (op != OpCapturePort0 && op != OpCapturePort1) return false;
    ctx.Capture(static_cast<std::uint8_t>(ctx.ReadBus(op == OpCapturePort1 ? std::span<const int>(Low)
                                                                            : std::span<const int>(High))));
    return true;
}

}  // namespace quilla::sim
