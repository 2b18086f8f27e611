#include "sim/designs/avrhv.h"

#include <string>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

// RESET, DATA 0-7, lines (-, 1 direction, OE, WR, BS1, XA0, XA1, XTAL1, 8, PAGEL, BS2), XTAL2.
const AvrHvPinMap AtMega8Dip28Map{7, {20, 21, 22, 23, 24, 25, 29, 30}, {0, 0, 10, 11, 12, 17, 18, 15, 0, 19, 31}, 16};
const AvrHvPinMap At90s8515Dip40Map{9, {1, 2, 3, 4, 5, 6, 7, 8}, {0, 0, 12, 13, 14, 15, 16, 19, 0, 17, 39}, 18};
const AvrHvPinMap At90s8535Dip40Map{29, {21, 22, 23, 24, 25, 26, 27, 28}, {0, 0, 36, 37, 38, 39, 40, 33, 0, 1, 20}, 32};
const AvrHvPinMap At90s8515Plcc44Map{8, {48, 1, 2, 3, 4, 5, 6, 7}, {0, 0, 12, 13, 14, 15, 16, 19, 0, 17, 41}, 18};
const AvrHvPinMap At90s8535Plcc44Map{8, {44, 45, 46, 47, 48, 5, 6, 7}, {0, 0, 15, 16, 17, 18, 19, 12, 0, 20, 41}, 11};

void AvrHvDesign::OnLoaded(DesignContext& ctx) {
    driveData_ = false;
    ctx.Drive(map_.reset, false);
    for (int pin : map_.line)
        if (pin != 0) ctx.Drive(pin, false);
}

void AvrHvDesign::OnLatch(DesignContext& ctx, int k, std::uint8_t v) {
    if (k == 0 && driveData_) ctx.DriveBus(map_.data, v);
}

void AvrHvDesign::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int line = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    if (line < 1 || line > 10) {
        ctx.Violation("control line " + std::to_string(line) + " outside 1..10");
        return;
    }
    if (line == 1) {
        driveData_ = !high;
        if (driveData_) ctx.DriveBus(map_.data, ctx.Latch(0));
        else ctx.ReleaseBus(map_.data);
        return;
    }
    const int pin = map_.line[static_cast<std::size_t>(line)];
    if (pin != 0) ctx.Drive(pin, high);
}

bool AvrHvDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                          std::span<const std::uint8_t> payload) {
    (void)args;
    (void)payload;
    switch (op) {
        case OpCapturePort0:
            ctx.Capture(static_cast<std::uint8_t>(ctx.ReadBus(map_.data)));
            return true;
        case OpCapturePort1:
            ctx.Capture(ctx.Level(map_.xtal2) ? 1 : 0);
            return true;
        case OpPrepare:
            return true;
        default:
            return false;
    }
}

}  // namespace quilla::sim
