#include "sim/designs/x5045.h"

#include <string>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void X5045Design::OnLoaded(DesignContext& ctx) {
    ctx.Drive(pins_.wp, true);
    ctx.Drive(pins_.cs, true);
    ctx.Drive(pins_.sck, false);
    ctx.Drive(pins_.si, false);
}

void X5045Design::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int line = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    if (line == 1) ctx.Drive(pins_.sck, high);
    else if (line == 2) ctx.Drive(pins_.si, high);
    else if (line == 3) ctx.Drive(pins_.cs, high);
    else ctx.Violation("control line " + std::to_string(line) + " is not SCK (1), SI (2) or /CS (3)");
}

bool X5045Design::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                          std::span<const std::uint8_t> payload) {
    (void)args;
    (void)payload;
    if (op != OpCapturePort0) return false;
    ctx.Capture(ctx.Level(pins_.so) ? 1 : 0);
    return true;
}

}  // namespace quilla::sim
