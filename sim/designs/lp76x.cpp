#include "sim/designs/lp76x.h"

#include "engine/protocol.h"

namespace quilla::sim {

void Lp76xDesign::OnLoaded(DesignContext& ctx) {
    PinSet own;
    own.Add(ClockPin);
    own.Add(DataPin);
    ctx.GetSocket().SetDesignPinsOverOptions(own);
    ctx.Drive(ClockPin, false);  // the clock idles low
}

void Lp76xDesign::OnUnloaded(DesignContext& ctx) {
    ctx.GetSocket().SetDesignPinsOverOptions(PinSet{});
    ctx.ReleaseAll();
}

bool Lp76xDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                          std::span<const std::uint8_t> payload) {
    (void)payload;
    if (op == proto::OpLpcFrame) {
        // Each edge is looked at (a read lets the chip see it) before the next.
        for (int b = 7; b >= 0; --b) {
            ctx.Drive(DataPin, (args[0] >> b) & 1u);
            ctx.Drive(ClockPin, true);
            (void)ctx.Level(ClockPin);
            ctx.Drive(ClockPin, false);
            (void)ctx.Level(ClockPin);
        }
        return true;
    }
    if (op == proto::OpLpcSample) {
        ctx.Release(DataPin);
        std::uint8_t v = 0;
        for (int b = 7; b >= 0; --b) {
            ctx.Drive(ClockPin, true);
            if (ctx.Level(DataPin)) v = static_cast<std::uint8_t>(v | (1u << b));
            ctx.Drive(ClockPin, false);
            (void)ctx.Level(ClockPin);
        }
        ctx.Capture(v);
        return true;
    }
    return false;
}

}  // namespace quilla::sim
