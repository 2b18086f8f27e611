#include "sim/designs/pld22cv10.h"

#include "engine/protocol.h"

namespace quilla::sim {

namespace {
std::uint8_t Sample(DesignContext& ctx, int firstPin) {
    std::uint8_t v = 0;
    for (int k = 0; k < 8; ++k)
        if (ctx.Level(firstPin + k)) v = static_cast<std::uint8_t>(v | (1u << k));
    return v;
}
}  // namespace

bool Pld22cv10Design::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                              std::span<const std::uint8_t> payload) {
    if (op == proto::OpCapturePort1) {
        ctx.Capture(Sample(ctx, 18));
        return true;
    }
    if (op == proto::OpCaptureData) {
        ctx.Capture(Sample(ctx, 26));
        return true;
    }
    return Vex300Design::Command(ctx, op, args, payload);
}

}  // namespace quilla::sim
