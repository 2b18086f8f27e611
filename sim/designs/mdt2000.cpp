#include "sim/designs/mdt2000.h"

#include <string>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void Mdt2000Design::OnLoaded(DesignContext& ctx) {
    (void)ctx;
    owner_ = -1;
    value_ = 0;
    released_ = true;
}

void Mdt2000Design::OnUnloaded(DesignContext& ctx) { ctx.ReleaseAll(); }

void Mdt2000Design::DrivePort(DesignContext& ctx) {
    if (owner_ < 0) return;
    const auto& port = owner_ == 0 ? Port0 : Port1;
    for (int i = 0; i < 7; ++i) ctx.Drive(port[static_cast<std::size_t>(i)], (value_ >> i) & 1u);
}

void Mdt2000Design::ReleasePort(DesignContext& ctx) {
    for (int p : Port0) ctx.Release(p);
    for (int p : Port1) ctx.Release(p);
}

void Mdt2000Design::OnLatch(DesignContext& ctx, int k, std::uint8_t v) {
    if (k != 0 && k != 1) return;
    if (owner_ >= 0 && owner_ != k && !released_) ReleasePort(ctx);
    owner_ = k;
    value_ = v;
    if (!released_) DrivePort(ctx);
}

void Mdt2000Design::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int n = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    if (n == DirectionLine) {
        released_ = high;
        if (high) ReleasePort(ctx);
        else DrivePort(ctx);
        return;
    }
    if (n < 1 || n > 48) {
        ctx.Violation("mdt2000: register 18 names line " + std::to_string(n));
        return;
    }
    ctx.Drive(n, high);
}

bool Mdt2000Design::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                            std::span<const std::uint8_t> payload) {
    (void)args, (void)payload;
    if (op != OpCapturePort0 && op != OpCapturePort1) return false;
    const auto& port = op == OpCapturePort0 ? Port0 : Port1;
    unsigned v = 0;
    for (int i = 0; i < 7; ++i)
        if (ctx.Level(port[static_cast<std::size_t>(i)])) v |= 1u << i;
    ctx.Capture(static_cast<std::uint8_t>(v));
    return true;
}

}  // namespace quilla::sim
