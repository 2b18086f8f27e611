#include "sim/designs/i82802.h"

#include <cstdio>
#include <string>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

namespace {
constexpr int kRowCol = 2, kOe = 3, kWe = 4;  // lines
constexpr Nanos kPollLimit = 5 * Millisecond;
constexpr std::uint32_t kCounterMask = 0xFFFFFF;
}  // namespace

void HubDesign::OnLoaded(DesignContext& ctx) {
    (void)ctx;
    lines_.fill(false);
    set_ = 0;
    counter_ = 0;
}

void HubDesign::Line(DesignContext& ctx, int n, bool high) {
    lines_[static_cast<std::size_t>(n)] = high;
    set_ |= 1u << n;
    if (const int pin = LinePins[static_cast<std::size_t>(n)]) ctx.Drive(pin, high);
    if (n == 1) DriveData(ctx);
    ctx.Settle();
}

void HubDesign::DriveData(DesignContext& ctx) {
    if ((set_ & 2u) && !lines_[1]) {
        ctx.DriveBus(DataPins, ctx.Latch(0));
    } else {
        ctx.ReleaseBus(DataPins);
    }
}

void HubDesign::DriveHalf(DesignContext& ctx, std::uint32_t address, bool row) {
    ctx.DriveBus(AddressPins, row ? (address & 0x7FF) : ((address >> 11) & 0x7FF));
}

void HubDesign::OnLatch(DesignContext& ctx, int k, std::uint8_t v) {
    switch (k) {
        case 0:
            DriveData(ctx);
            ctx.Settle();
            break;
        case 3:
            counter_ = (counter_ & ~0xFFu) | v;
            break;
        case 4:
            counter_ = (counter_ & ~0xFF00u) | (std::uint32_t{v} << 8);
            break;
        case 5:
            counter_ = (counter_ & ~0xFF0000u) | (std::uint32_t{v} << 16);
            break;
        default:
            break;
    }
}

void HubDesign::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegControlLines) return;
    const int n = v & 0x7F;
    if (n >= 1 && n <= 7) {
        Line(ctx, n, (v & LineHighBit) != 0);
        return;
    }
    const int h = v >> 4;
    if ((v & 0x0F) == 0x09 && h <= 5) {
        const int source = h >> 1;
        const std::uint32_t address = source == 0 ? counter_ : (source == 1 ? 0x5555u : 0x2AAAu);
        DriveHalf(ctx, address, (h & 1) != 0);
        ctx.Settle();
        return;
    }
    char text[80];
    std::snprintf(text, sizeof text, "register 18 value %02Xh has no meaning in the hub design", v);
    ctx.Violation(text);
}

void HubDesign::AddressCycle(DesignContext& ctx, std::uint32_t address) {
    ctx.Drive(LinePins[kRowCol], true);
    DriveHalf(ctx, address, true);
    ctx.Settle();
    ctx.Drive(LinePins[kRowCol], false);  // the row
    ctx.Settle();
    DriveHalf(ctx, address, false);
    ctx.Drive(LinePins[kRowCol], true);  // the column
    ctx.Settle();
}

void HubDesign::WriteCycle(DesignContext& ctx, std::uint32_t address, std::uint8_t data) {
    ctx.Drive(LinePins[kOe], true);
    AddressCycle(ctx, address);
    ctx.DriveBus(DataPins, data);
    ctx.Drive(LinePins[kWe], false);
    ctx.Settle();
    ctx.Drive(LinePins[kWe], true);
    ctx.Settle();
}

std::uint8_t HubDesign::ReadCycle(DesignContext& ctx, std::uint32_t address) {
    AddressCycle(ctx, address);
    return static_cast<std::uint8_t>(ctx.ReadBus(DataPins));
}

void HubDesign::GiveBack(DesignContext& ctx) {
    for (int n : {kRowCol, kOe, kWe}) {
        const int pin = LinePins[static_cast<std::size_t>(n)];
        if (set_ & (1u << n)) {
            ctx.Drive(pin, lines_[static_cast<std::size_t>(n)]);
        } else {
            ctx.Release(pin);
        }
    }
    DriveData(ctx);
    ctx.Settle();
}

bool HubDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                        std::span<const std::uint8_t> payload) {
    (void)payload;
    switch (op) {
        case OpHubRead1K: {
            std::uint8_t* out = ctx.Block(Read1KSize);
            for (int i = 0; i < Read1KSize; ++i) {
                out[i] = ReadCycle(ctx, counter_);
                counter_ = (counter_ + 1) & kCounterMask;
            }
            GiveBack(ctx);
            return true;
        }
        case OpHubProgram3D: {
            WriteCycle(ctx, counter_, 0x40);
            WriteCycle(ctx, counter_, args[0]);
            // The status register until SR.7 says ready.
            ctx.ReleaseBus(DataPins);
            ctx.Drive(LinePins[kOe], false);
            const Nanos start = ctx.Now();
            while (!(ReadCycle(ctx, counter_) & 0x80) && ctx.Now() - start < kPollLimit) ctx.Elapse(Microsecond);
            GiveBack(ctx);
            counter_ = (counter_ + 1) & kCounterMask;
            return true;
        }
        case OpHubProgram3C:
            WriteCycle(ctx, 0x5555, 0xAA);
            WriteCycle(ctx, 0x2AAA, 0x55);
            WriteCycle(ctx, 0x5555, 0xA0);
            WriteCycle(ctx, counter_, args[0]);
            GiveBack(ctx);
            counter_ = (counter_ + 1) & kCounterMask;
            return true;
        default:
            return false;
    }
}

}  // namespace quilla::sim
