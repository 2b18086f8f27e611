#include "sim/designs/vex300.h"

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

namespace {
std::uint8_t Reverse(std::uint8_t v) {
    std::uint8_t r = 0;
    for (int b = 0; b < 8; ++b)
        if (v & (1u << b)) r = static_cast<std::uint8_t>(r | (0x80u >> b));
    return r;
}
}  // namespace

void Vex300Design::OnLoaded(DesignContext& ctx) {
    low_ = 0;
    latch2Written_ = false;
    avrPort_ = 0;
    port1_ = 0;
    (void)ctx;  // pins stay as the host left them until a latch is written
}

void Vex300Design::ReleaseOwn(DesignContext& ctx, std::span<const int> pins) {
    Socket& s = ctx.GetSocket();
    for (int p : pins)
        if (s.Driven(p) && s.DriverOf(p) == Writer::Design) ctx.Release(p);
}

void Vex300Design::DriveLow(DesignContext& ctx) {
    const std::uint8_t latch = Reverse(low_);
    for (int k = 0; k < 8; ++k) ctx.Drive(LowAddressFirstPin + k, (latch >> k) & 1u);
}

void Vex300Design::DriveData(DesignContext& ctx) {
    const std::uint8_t d = ctx.Latch(2);
    for (std::size_t i = 0; i < DataPins.size(); ++i) ctx.Drive(DataPins[i], (d >> i) & 1u);
}

void Vex300Design::OnLatch(DesignContext& ctx, int k, std::uint8_t v) {
    if (k == 0) {
        port1_ = v;
        DrivePort1(ctx);
    } else if (k == 1) {
        low_ = Reverse(v);
        DriveLow(ctx);
    } else if (k == 2) {
        latch2Written_ = true;
        if (ctx.PortMode() == PortModeReset) DriveData(ctx);
    } else if (k == 3) {
        for (int b = 0; b < 8; ++b) ctx.Drive(Latch3FirstPin + b, (v >> b) & 1u);
    }
}

void Vex300Design::OnPortMode(DesignContext& ctx, int mode) {
    if (mode == PortModeAvrSample) {
        // Only what this design drives goes: the host's levels (the AT90S
        // signals on the data pins of a DIP20 or DIP40 part) stay.
        ReleaseOwn(ctx, AvrPortDip20);
        ReleaseOwn(ctx, AvrPortDip40);
        ReleaseOwn(ctx, DataPins);
    } else if (mode == PortModeReset) {
        if (latch2Written_) DriveData(ctx);
    } else if (mode == PortMode51Read) {
        // The 8051 read mode: P0 goes to the chip; the host's levels on the
        // data pins (P3.7, A8-A12 of an 8051) stay.
        ReleaseOwn(ctx, DataPins);
        ReleaseOwn(ctx, port0_);
    } else {
        for (int p : DataPins) ctx.Release(p);
    }
}

void Vex300Design::Step(DesignContext& ctx) {
    low_ = static_cast<std::uint8_t>(low_ + 1);
    DriveLow(ctx);
    if (low_ != 0) return;
    // Carry into A8 and up, each bit as its pin stands now.
    for (int pin : HighAddressPins) {
        const bool was = ctx.Level(pin);
        ctx.Drive(pin, !was);
        if (!was) break;
    }
}

std::uint8_t Vex300Design::SampleData(DesignContext& ctx) {
    std::uint8_t v = 0;
    for (std::size_t i = 0; i < DataPins.size(); ++i)
        if (ctx.Level(DataPins[i])) v = static_cast<std::uint8_t>(v | (1u << i));
    return v;
}

bool Vex300Design::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                           std::span<const std::uint8_t> payload) {
    (void)payload;
    switch (op) {
        case OpAddrInc:
            Step(ctx);
            return true;
        case OpRead1K: {
            std::uint8_t* out = ctx.Block(Read1KSize);
            for (int i = 0; i < Read1KSize; ++i) {
                out[i] = SampleData(ctx);
                Step(ctx);
            }
            return true;
        }
        case OpCaptureData:
            ctx.Capture(SampleData(ctx));
            return true;
        case OpPutPort:
            avrPort_ = args[0];
            if (ctx.PortMode() != PortModeAvrSample) {
                ctx.DriveBus(AvrPortDip20, avrPort_);
                ctx.DriveBus(AvrPortDip40, avrPort_);
            }
            return true;
        case OpSamplePort:
            ctx.Capture(static_cast<std::uint8_t>(ctx.ReadBus(AvrPortDip20) & ctx.ReadBus(AvrPortDip40)));
            return true;
        default:
            return Mcs51Command(ctx, op, args);
    }
}

}  // namespace quilla::sim
