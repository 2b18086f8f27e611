#include "sim/designs/cr80px00.h"

#include <string>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void Cr80px00Design::OnLoaded(DesignContext& ctx) {
    (void)ctx;
    written_ = false;
    value_ = 0;
    reading_ = false;
}

void Cr80px00Design::DrivePort(DesignContext& ctx) {
    if (!written_ || reading_) return;
    for (int i = 0; i < 7; ++i) ctx.Drive(Port[static_cast<std::size_t>(i)], (value_ >> i) & 1u);
}

void Cr80px00Design::OnLatch(DesignContext& ctx, int k, std::uint8_t v) {
    if (k != 0 && k != 1) return;
    written_ = true;
    value_ = v;
    DrivePort(ctx);
}

void Cr80px00Design::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int n = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    const int pin = n >= 1 && n < static_cast<int>(LinePins.size()) ? LinePins[static_cast<std::size_t>(n)] : 0;
    if (pin == 0) {
        ctx.Violation("cr80px00: register 18 names line " + std::to_string(n));
        return;
    }
    ctx.Drive(pin, high);
    if (n == 1) {
        reading_ = high;
        if (high) {
            for (int p : Port) ctx.Release(p);
        } else {
            DrivePort(ctx);
        }
    }
}

bool Cr80px00Design::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                             std::span<const std::uint8_t> payload) {
    (void)args, (void)payload;
    if (op != OpCapturePort0 && op != OpCapturePort1) return false;
    unsigned v = 0;
    for (int i = 0; i < 7; ++i)
        if (ctx.Level(Port[static_cast<std::size_t>(i)])) v |= 1u << i;
    ctx.Capture(static_cast<std::uint8_t>(v));
    return true;
}

}  // namespace quilla::sim
