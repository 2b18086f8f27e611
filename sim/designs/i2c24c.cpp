#include "sim/designs/i2c24c.h"

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

namespace {
constexpr Nanos kHalfClock = 1250;  // 400 kHz
constexpr int kHeldLow[] = {17, 18, 19, 23};
}  // namespace

void I2c24cDesign::Line(DesignContext& ctx, int pin, bool high) {
    if (high) ctx.Release(pin);
    else ctx.Drive(pin, false);
    ctx.Elapse(kHalfClock);
}

void I2c24cDesign::Clock(DesignContext& ctx) {
    Line(ctx, SclPin, true);
    Line(ctx, SclPin, false);
}

void I2c24cDesign::OnLoaded(DesignContext& ctx) {
    for (int p : kHeldLow) ctx.Drive(p, false);
}

void I2c24cDesign::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int line = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    if (line == 1) Line(ctx, SdaPin, high);
    else if (line == 2) Line(ctx, SclPin, high);
}

bool I2c24cDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                           std::span<const std::uint8_t> payload) {
    (void)payload;
    switch (op) {
        case OpI2cStart:
            Line(ctx, SdaPin, true);  // while SCL is low (after a byte) this is no condition
            Line(ctx, SclPin, true);
            Line(ctx, SdaPin, false);
            Line(ctx, SclPin, false);
            return true;
        case OpSpiOut:  // a byte out
            for (int b = 7; b >= 0; --b) {
                Line(ctx, SdaPin, ((args[0] >> b) & 1u) != 0);
                Clock(ctx);
            }
            return true;
        case OpI2cAckClock:
            Line(ctx, SdaPin, true);
            Clock(ctx);
            return true;
        case OpSpiIn: {  // a byte in
            Line(ctx, SdaPin, true);
            std::uint8_t v = 0;
            for (int b = 0; b < 8; ++b) {
                Line(ctx, SclPin, true);
                v = static_cast<std::uint8_t>((v << 1) | (ctx.Level(SdaPin) ? 1 : 0));
                Line(ctx, SclPin, false);
            }
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
