#include "sim/designs/holtek.h"

#include <string>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void HoltekDesign::OnLoaded(DesignContext& ctx) {
    (void)ctx;
    written_ = false;
    value_ = 0;
    reading_ = false;
}

void HoltekDesign::DriveNibble(DesignContext& ctx) {
    if (!written_ || reading_) return;
    for (int i = 0; i < 4; ++i) ctx.Drive(nibble_[static_cast<std::size_t>(i)], (value_ >> i) & 1u);
}

void HoltekDesign::OnLatch(DesignContext& ctx, int k, std::uint8_t v) {
    if (k != 0) return;
    written_ = true;
    value_ = v;
    DriveNibble(ctx);
}

void HoltekDesign::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int n = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    if (n < 1 || n > 3) {
        ctx.Violation(std::string(tag_) + ": register 18 names line " + std::to_string(n));
        return;
    }
    ctx.Drive(linePins_[static_cast<std::size_t>(n)], high);
    if (n == 3) {
        reading_ = high;
        if (high) {
            for (int p : nibble_) ctx.Release(p);
        } else {
            DriveNibble(ctx);
        }
    }
}

bool HoltekDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                              std::span<const std::uint8_t> payload) {
    (void)args, (void)payload;
    if (op != OpCapturePort0) return false;
    unsigned v = 0;
    for (int i = 0; i < 4; ++i)
        if (ctx.Level(nibble_[static_cast<std::size_t>(i)])) v |= 1u << i;
    ctx.Capture(static_cast<std::uint8_t>(v));
    return true;
}

}  // namespace quilla::sim
