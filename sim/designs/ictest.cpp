#include "sim/designs/ictest.h"

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void IcTestDesign::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    (void)v;
    if (r != ApplyRegister) return;
    ++applied_;
    ctx.DriveBus(Lines1, ctx.Latch(1));
    ctx.DriveBus(Lines2, ctx.Latch(2));
    ctx.DriveBus(Lines3, ctx.Latch(3));
    // The chip reacts to the whole vector; then its outputs win over the lines.
    ctx.Settle();
    Socket& s = ctx.GetSocket();
    auto yield = [&](std::span<const int> pins) {
        for (int p : pins)
            if (s.ChipDriving(p)) ctx.Release(p);
    };
    yield(Lines1);
    yield(Lines2);
    yield(Lines3);
}

bool IcTestDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                           std::span<const std::uint8_t> payload) {
    (void)args, (void)payload;
    switch (op) {
        case OpCapturePort1:
            ctx.Capture(static_cast<std::uint8_t>(ctx.ReadBus(Lines1)));
            return true;
        case OpCaptureData:
            ctx.Capture(static_cast<std::uint8_t>(ctx.ReadBus(Lines2)));
            return true;
        case OpCapturePort4:
            ctx.Capture(static_cast<std::uint8_t>(ctx.ReadBus(Lines3) & 0x7F));
            return true;
        default:
            return false;
    }
}

}  // namespace quilla::sim
