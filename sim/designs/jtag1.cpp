#include "sim/designs/jtag1.h"

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void Jtag1Design::OnLoaded(DesignContext& ctx) {
    tms_ = 0;
    run_ = false;
    lastTdo_ = byteTdo_ = 0;
    lastCycles_ = 0;
    ctx.Drive(Tck, false);
    ctx.Drive(Tms, true);
    ctx.Drive(Tdi, true);
}

void Jtag1Design::OnLatch(DesignContext& ctx, int k, std::uint8_t v) {
    if (k == 3) tms_ = static_cast<std::uint16_t>((tms_ & 0xFF00) | v);
    else if (k == 4) tms_ = static_cast<std::uint16_t>((tms_ & 0x00FF) | v << 8);
    else if (k == 0) {
        const bool run = v & 1u;
        if (run && !run_) Burst(ctx);
        run_ = run;
    }
}

void Jtag1Design::Burst(DesignContext& ctx) {
    const int n = ctx.Latch(1);
    const std::uint8_t tdi = ctx.Latch(2);
    std::uint32_t tdo = 0;
    for (int j = 0; j < n; ++j) {
        ctx.Drive(Tms, tms_ & 1u);
        tms_ = static_cast<std::uint16_t>(tms_ >> 1);
        ctx.Drive(Tdi, j < 8 && ((tdi >> j) & 1u));
        if (ctx.Level(Tdo) && j < 16) tdo |= 1u << j;
        ctx.Drive(Tck, true);
        ctx.Settle();
        ctx.Drive(Tck, false);
        ctx.Settle();
        ++cycles_;
    }
    lastTdo_ = static_cast<std::uint16_t>(tdo);
    lastCycles_ = n;
    if (n == 8) byteTdo_ = static_cast<std::uint8_t>(tdo);
}

bool Jtag1Design::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                          std::span<const std::uint8_t> payload) {
    (void)args, (void)payload;
    if (op == OpCapturePort4) {
        ctx.Capture(byteTdo_);
        return true;
    }
    if (op == OpCaptureLastTdo) {
        const int bits = lastCycles_ > 2 ? lastCycles_ - 2 : 0;
        ctx.Capture(static_cast<std::uint8_t>(lastTdo_ & ((1u << bits) - 1u)));
        return true;
    }
    return false;
}

}  // namespace quilla::sim
