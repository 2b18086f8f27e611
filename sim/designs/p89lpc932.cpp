#include "sim/designs/p89lpc932.h"

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void P89lpc932Design::OnLoaded(DesignContext& ctx) {
    PinSet own;
    own.Add(RstPin);
    own.Add(ClockPin);
    own.Add(DataPin);
    ctx.GetSocket().SetDesignPinsOverOptions(own);
    ctx.Drive(RstPin, false);
    ctx.Drive(ClockPin, false);
    ctx.Drive(DataPin, false);
    fresh_ = false;
    rises_ = 0;
    for (bool& l : lines_) l = false;
}

void P89lpc932Design::OnUnloaded(DesignContext& ctx) {
    ctx.GetSocket().SetDesignPinsOverOptions(PinSet{});
    ctx.ReleaseAll();
}

void P89lpc932Design::Shift(DesignContext& ctx, std::uint8_t v) {
    // Each edge is looked at (a read lets the chip see it) before the next.
    for (int b = 7; b >= 0; --b) {
        ctx.Drive(DataPin, (v >> b) & 1u);
        ctx.Drive(ClockPin, true);
        (void)ctx.Level(ClockPin);
        ctx.Drive(ClockPin, false);
        (void)ctx.Level(ClockPin);
    }
}

std::uint8_t P89lpc932Design::ShiftIn(DesignContext& ctx) {
    ctx.Release(DataPin);
    std::uint8_t v = 0;
    for (int b = 7; b >= 0; --b) {
        ctx.Drive(ClockPin, true);
        if (ctx.Level(DataPin)) v = static_cast<std::uint8_t>(v | (1u << b));
        ctx.Drive(ClockPin, false);
        (void)ctx.Level(ClockPin);
    }
    ctx.Drive(DataPin, false);
    return v;
}

void P89lpc932Design::OnLatch(DesignContext& ctx, int k, std::uint8_t v) {
    (void)ctx, (void)v;
    if (k == 1) fresh_ = true;
}

void P89lpc932Design::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int line = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    if (line < 1 || line > 7) {
        ctx.Violation("control line " + std::to_string(line) + " is not used by " + std::string(TagName));
        return;
    }
    const bool rising = high && !lines_[line];
    lines_[line] = high;
    if (line == EntryLine()) {
        if (!high) {
            // Low after a finished entry starts a new one: RST low again.
            if (rises_ > HostPulses()) rises_ = 0;
            ctx.Drive(RstPin, false);
            (void)ctx.Level(RstPin);
            return;
        }
        if (!rising) return;
        if (++rises_ == HostPulses() + 1) {
            // The chip's entry sequence, then RST stays high.
            for (int i = 0; i < EntryPulses; ++i) {
                ctx.Drive(RstPin, true);
                (void)ctx.Level(RstPin);
                ctx.Elapse(Microsecond);
                ctx.Drive(RstPin, false);
                (void)ctx.Level(RstPin);
                ctx.Elapse(Microsecond);
            }
            ctx.Drive(RstPin, true);
            (void)ctx.Level(RstPin);
        }
        return;
    }
    if (line == 1 && rising) Shift(ctx, StartFrame);
    if (line == 3 && rising && fresh_) {
        fresh_ = false;
        Shift(ctx, static_cast<std::uint8_t>(WriteFrame | (ctx.Latch(0) & 3u)));
        Shift(ctx, ctx.Latch(1));
    }
}

bool P89lpc932Design::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                              std::span<const std::uint8_t> payload) {
    (void)args, (void)payload;
    if (op != CaptureOp()) return false;
    Shift(ctx, static_cast<std::uint8_t>(ctx.Latch(0) & 3u));
    ctx.Capture(ShiftIn(ctx));
    return true;
}

}  // namespace quilla::sim
