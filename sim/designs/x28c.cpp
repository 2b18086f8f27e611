#include "sim/designs/x28c.h"

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

namespace {

struct LatchPin {
    std::uint8_t bit;
    int pin;
};
constexpr LatchPin kLatch0[] = {{0x80, 8}, {0x40, 7}, {0x20, 6}, {0x10, 5}};
constexpr LatchPin kLatch3[] = {{0x20, 31}, {0x10, 30}, {0x02, 27}, {0x08, 29}, {0x40, 32}, {0x80, 33}};
constexpr LatchPin kLatch4[] = {{0x20, 8}, {0x10, 7}, {0x01, 34}};

constexpr int kCE = 26;
constexpr int kOE = 28;
constexpr Nanos kHalfCycle = 500;

template <std::size_t N>
void DriveLatch(DesignContext& ctx, const LatchPin (&pins)[N], std::uint8_t v) {
    for (const LatchPin& p : pins) ctx.Drive(p.pin, (v & p.bit) != 0);
}

}  // namespace

void X28cDesign::OnLatch(DesignContext& ctx, int k, std::uint8_t v) {
    switch (k) {
        case 0: DriveLatch(ctx, kLatch0, v); break;
        case 3: DriveLatch(ctx, kLatch3, v); break;
        case 4: DriveLatch(ctx, kLatch4, v); break;
        default: Vex300Design::OnLatch(ctx, k, v); break;
    }
}

// The burst and read counters step A0..A7 only: the host sets the whole
// address at every 256-byte boundary, so nothing ripples into the high pins
// (among them the WE pin of the 32-pin parts, socket 35).
void X28cDesign::StepLow(DesignContext& ctx) {
    low_ = static_cast<std::uint8_t>(low_ + 1);
    DriveLow(ctx);
}

void X28cDesign::ProgramPage(DesignContext& ctx, int we, int count) {
    ctx.Drive(kOE, true);
    for (int i = 0; i < count; ++i) {
        const std::uint8_t d = page_[static_cast<std::size_t>(i)];
        for (std::size_t b = 0; b < DataPins.size(); ++b) ctx.Drive(DataPins[b], (d >> b) & 1u);
        ctx.Drive(kCE, false);
        ctx.Drive(we, false);
        ctx.Elapse(kHalfCycle);
        ctx.Drive(we, true);
        ctx.Drive(kCE, true);
        ctx.Elapse(kHalfCycle);
        StepLow(ctx);
    }
    // The data pins go back to what the port mode and latch 2 say.
    if (ctx.PortMode() == PortModeReset) {
        DriveData(ctx);
    } else {
        for (int p : DataPins) ctx.Release(p);
    }
}

bool X28cDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                         std::span<const std::uint8_t> payload) {
    switch (op) {
        case OpPageBufferLoad: {
            const int at = args[0] * 256 + args[1];
            if (at + PageBufferBytes > PageBufferSize) {
                ctx.Violation("page buffer load past the 512-byte buffer");
                return true;
            }
            for (int i = 0; i < PageBufferBytes; ++i)
                page_[static_cast<std::size_t>(at + i)] = payload[static_cast<std::size_t>(i)];
            return true;
        }
        case OpPageProgram: {
            const int we = args[0];
            const int count = args[1] * 256 + args[2];
            if (we < 1 || we > 48 || count > MaxBurst) {
                ctx.Violation("page program with write-enable pin " + std::to_string(we) + " and " +
                              std::to_string(count) + " bytes");
                return true;
            }
            ProgramPage(ctx, we, count);
            return true;
        }
        case OpReadNext:
            ctx.Capture(SampleData(ctx));
            StepLow(ctx);
            return true;
        case OpBlankQuery:
        case OpSumQuery: {
            bool blank = true;
            unsigned sum = 0;
            for (int i = 0; i < 256; ++i) {
                const std::uint8_t v = SampleData(ctx);
                blank = blank && v == 0xFF;
                sum += v;
                StepLow(ctx);
            }
            if (op == OpBlankQuery) {
                ctx.Capture(blank ? 1 : 0);
            } else {
                ctx.Capture(static_cast<std::uint8_t>(sum & 0xFF));
                ctx.Capture(static_cast<std::uint8_t>((sum >> 8) & 0xFF));
            }
            return true;
        }
        case OpCancelQuery:
            ctx.Capture(ctx.TakeCancel() ? 1 : 0);
            return true;
        default:
            return Vex300Design::Command(ctx, op, args, payload);
    }
}

}  // namespace quilla::sim
