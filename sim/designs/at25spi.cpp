#include "sim/designs/at25spi.h"

#include <string>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void At25SpiDesign::OnLoaded(DesignContext& ctx) {
    ctx.Drive(WpPin, true);
    ctx.Drive(HoldPin, true);
    ctx.Drive(CsPin, true);
    ctx.Drive(SckPin, false);
    ctx.Drive(SiPin, false);
}

void At25SpiDesign::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int line = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    if (line == 4) ctx.Drive(CsPin, high);
    else if (line == 2) ctx.Drive(SckPin, high);
    else ctx.Violation("control line " + std::to_string(line) + " is not SCK (2) or /CS (4)");
}

bool At25SpiDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                            std::span<const std::uint8_t> payload) {
    (void)payload;
    switch (op) {
        case OpSpiOut:
            for (int b = 7; b >= 0; --b) {
                ctx.Drive(SiPin, ((args[0] >> b) & 1u) != 0);
                ctx.Elapse(HalfClock);
                ctx.Drive(SckPin, true);
                ctx.Elapse(HalfClock);
                ctx.Drive(SckPin, false);
            }
            return true;
        case OpSpiIn: {
            ctx.Drive(SiPin, false);
            std::uint8_t v = 0;
            for (int b = 0; b < 8; ++b) {
                ctx.Elapse(HalfClock);
                ctx.Drive(SckPin, true);
                v = static_cast<std::uint8_t>((v << 1) | (ctx.Level(SoPin) ? 1 : 0));
                ctx.Elapse(HalfClock);
                ctx.Drive(SckPin, false);
            }
            ctx.Settle();
            ctx.Capture(v);
            return true;
        }
        case OpSerialSetup4A:
        case OpSerialSetup4B:
            return true;
        default:
            return false;
    }
}

}  // namespace quilla::sim
