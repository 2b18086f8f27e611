#include "sim/designs/avrspi.h"

#include <string>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

const AvrSpiPinMap At90s2323Map{21, 22, 23, 17, 18};
const AvrSpiPinMap AtDip20SpiMap{9, 10, 11, 18, 15};
const AvrSpiPinMap AtMeg161SpiMap{6, 7, 8, 9, 19};

void AvrSpiDesign::OnLoaded(DesignContext& ctx) {
    ctx.Drive(map_.sck, false);
    ctx.Drive(map_.reset, false);
    ctx.Drive(map_.mosi, false);
    ctx.GetSocket().SetClockPin(map_.xtal1);
}

void AvrSpiDesign::OnUnloaded(DesignContext& ctx) {
    if (ctx.GetSocket().ClockPin() == map_.xtal1) ctx.GetSocket().SetClockPin(0);
    ctx.ReleaseAll();
}

void AvrSpiDesign::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int line = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    if (line == 2) ctx.Drive(map_.sck, high);
    else if (line == 3) ctx.Drive(map_.reset, high);
    else ctx.Violation("control line " + std::to_string(line) + " is not SCK (2) or RESET (3)");
}

bool AvrSpiDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                           std::span<const std::uint8_t> payload) {
    (void)payload;
    switch (op) {
        case OpSpiOut:
            for (int b = 7; b >= 0; --b) {
                ctx.Drive(map_.mosi, ((args[0] >> b) & 1u) != 0);
                ctx.Elapse(HalfClock);
                ctx.Drive(map_.sck, true);
                ctx.Elapse(HalfClock);
                ctx.Drive(map_.sck, false);
            }
            return true;
        case OpSpiIn: {
            ctx.Drive(map_.mosi, false);
            std::uint8_t v = 0;
            for (int b = 0; b < 8; ++b) {
                ctx.Elapse(HalfClock);
                ctx.Drive(map_.sck, true);
                v = static_cast<std::uint8_t>((v << 1) | (ctx.Level(map_.miso) ? 1 : 0));
                ctx.Elapse(HalfClock);
                ctx.Drive(map_.sck, false);
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
