#include "sim/designs/pic16c5x.h"

#include <string>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

// 18 pins in socket 12-29: T0CKI 14, OSC2 26, OSC1 27, MCLR 15; RA0 28, RA1
// 29, RA2 12, RA3 13, RB0-RB7 17-24.
const Pic16c5xWiring Pic16c54Dip18Design::Wiring{{14, 26, 27, 15},
                                                 {28, 29, 12, 13, 17, 18, 19, 20, 21, 22, 23, 24}};
// 28 pins in socket 7-34: T0CKI 7, OSC2 32, OSC1 33, MCLR 34; RA0-RA3 12-15,
// RB0-RB7 16-23.
const Pic16c5xWiring Pic16c57Dip28Design::Wiring{{7, 32, 33, 34},
                                                 {12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}};

void Pic16c5xDesign::OnLoaded(DesignContext& ctx) {
    (void)ctx;
    word_ = 0;
    released_ = true;
}

void Pic16c5xDesign::OnUnloaded(DesignContext& ctx) { ctx.ReleaseAll(); }

void Pic16c5xDesign::DriveData(DesignContext& ctx) {
    if (!released_) ctx.DriveBus(w_.data, word_);
}

void Pic16c5xDesign::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r == RegPicLow) {
        word_ = (word_ & 0xFF0u) | (v & 0x0Fu);
        DriveData(ctx);
        return;
    }
    if (r == RegPicHigh) {
        word_ = (word_ & 0x00Fu) | (static_cast<unsigned>(v) << 4);
        DriveData(ctx);
        return;
    }
    if (r != RegControlLines) return;
    const int n = v & 0x7F;
    const bool high = (v & LineHighBit) != 0;
    if (n < 1 || n > 4) {
        ctx.Violation("pic16c5x: register 18 names line " + std::to_string(n));
        return;
    }
    const int pin = w_.lines[static_cast<std::size_t>(n - 1)];
    if (n != 1) {
        ctx.Drive(pin, high);
        return;
    }
    // Line 1 also turns the data pins: released before the chip drives them,
    // driven after it has let go.
    if (high) {
        released_ = true;
        ctx.ReleaseBus(w_.data);
        ctx.Drive(pin, true);
    } else {
        ctx.Drive(pin, false);
        released_ = false;
        DriveData(ctx);
    }
}

bool Pic16c5xDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                             std::span<const std::uint8_t> payload) {
    (void)args, (void)payload;
    if (op != OpCapturePort0 && op != OpCapturePort1) return false;
    const unsigned w = ctx.ReadBus(w_.data);
    ctx.Capture(static_cast<std::uint8_t>(op == OpCapturePort0 ? w & 0xFFu : (w >> 8) & 0x0Fu));
    return true;
}

}  // namespace quilla::sim
