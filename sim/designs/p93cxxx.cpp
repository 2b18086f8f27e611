#include "sim/designs/p93cxxx.h"

#include "engine/protocol.h"

namespace quilla::sim {

bool P93Design::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                        std::span<const std::uint8_t> payload) {
    (void)args;
    (void)payload;
    if (op != proto::OpCapturePort0) return false;
    ctx.Capture(ctx.Level(DoPin) ? 1 : 0);
    return true;
}

}  // namespace quilla::sim
