#include "sim/designs/avrhvsp.h"

#include <string>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

void AvrHvspDesign::OnLoaded(DesignContext& ctx) {
    line5_ = holding_ = false;
    sdo_ = 0xFF;
    for (int pin : {ResetPin, SciPin, SdiPin, SiiPin}) ctx.Drive(pin, false);
}

void AvrHvspDesign::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int line = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    if (line == 5) {
        if (high && !line5_) Frame(ctx);
        line5_ = high;
    } else if (line == 4) {
        if (!high) {
            holding_ = true;
            for (int pin : {SdiPin, SiiPin, SdoPin}) ctx.Drive(pin, false);
        }
    } else {
        ctx.Violation("control line " + std::to_string(line) + " is not 4 or 5");
    }
}

void AvrHvspDesign::Frame(DesignContext& ctx) {
    if (holding_) {
        ctx.Release(SdoPin);
        holding_ = false;
    }
    const std::uint8_t sii = ctx.Latch(0), sdi = ctx.Latch(1);
    const int sampleAt = pulses_ == 1 ? 0 : 7;
    std::uint8_t in = 0;
    for (int k = 0; k < 11; ++k) {
        const bool inByte = k >= 1 && k <= 8;
        ctx.Drive(SdiPin, inByte && ((sdi >> (8 - k)) & 1u) != 0);
        ctx.Drive(SiiPin, inByte && ((sii >> (8 - k)) & 1u) != 0);
        for (int p = 0; p < pulses_; ++p) {
            ctx.Elapse(half_);
            ctx.Drive(SciPin, true);
            if (p == sampleAt && k < 8) in = static_cast<std::uint8_t>((in << 1) | (ctx.Level(SdoPin) ? 1 : 0));
            ctx.Elapse(half_);
            ctx.Drive(SciPin, false);
        }
    }
    ctx.Drive(SdiPin, false);
    ctx.Drive(SiiPin, false);
    sdo_ = in;
}

bool AvrHvspDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                            std::span<const std::uint8_t> payload) {
    (void)args;
    (void)payload;
    if (op != OpCapturePort1) return false;
    ctx.Capture(sdo_);
    return true;
}

}  // namespace quilla::sim
