#include "sim/designs/vex300.h"

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

namespace {
constexpr int kCE = 26;
constexpr Nanos kStrobeWidth = 250;
constexpr Nanos kErasePulse = 10 * Millisecond;
// A8..A14 of the 32-pin routing.
constexpr int kCommandHighPins[] = {31, 30, 27, 29, 8, 32, 33};

// A pin's driver as it stands, to be put back after a strobe.
struct Held {
    bool on;
    bool high;
    Writer writer;
};
Held Save(DesignContext& ctx, int pin) {
    Socket& s = ctx.GetSocket();
    return {s.Driven(pin), s.DriverHigh(pin), s.DriverOf(pin)};
}
void Restore(DesignContext& ctx, int pin, const Held& h) {
    if (!h.on)
        ctx.Release(pin);
    else if (h.writer == Writer::Host)
        ctx.GetSocket().Drive(pin, h.high, Writer::Host);
    else
        ctx.Drive(pin, h.high);
}

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
        // Port mode 1 leaves socket 1-8 to the chip (the MSU2964's data).
        if (ctx.PortMode() != PortMode51Swap) DrivePort1(ctx);
    } else if (k == 1) {
        low_ = Reverse(v);
        DriveLow(ctx);
    } else if (k == 2) {
        latch2Written_ = true;
        if (ctx.PortMode() == PortModeReset) DriveData(ctx);
    } else if (k == 3 && latch3Drives_) {
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
    } else if (mode == PortMode51Swap) {
        // The MSU2964's reads: 0x21 keeps P0 (its low address), socket 1-8
        // carries the chip's data.
        for (int p : DataPins) ctx.Release(p);
        ReleaseOwn(ctx, AvrPortDip40);
    } else if (mode == PortMode51SwapWrite) {
        for (int p : DataPins) ctx.Release(p);
        DrivePort1(ctx);
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

void Vex300Design::BusCycle(DesignContext& ctx, int strobe, std::uint8_t data) {
    for (std::size_t i = 0; i < DataPins.size(); ++i) ctx.Drive(DataPins[i], (data >> i) & 1u);
    const Held ce = Save(ctx, kCE);
    const Held st = strobe ? Save(ctx, strobe) : Held{};
    ctx.Drive(kCE, false);
    if (strobe) ctx.Drive(strobe, false);
    ctx.Elapse(kStrobeWidth);
    if (strobe) Restore(ctx, strobe, st);
    Restore(ctx, kCE, ce);
    ctx.Elapse(kStrobeWidth);
}

void Vex300Design::CommandCycle(DesignContext& ctx, std::uint16_t address, std::uint8_t data) {
    low_ = static_cast<std::uint8_t>(address & 0xFF);
    DriveLow(ctx);
    for (std::size_t b = 0; b < std::size(kCommandHighPins); ++b) ctx.Drive(kCommandHighPins[b], (address >> (8 + b)) & 1u);
    BusCycle(ctx, 35, data);
}

bool Vex300Design::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                           std::span<const std::uint8_t> payload) {
    (void)payload;
    switch (op) {
        case OpCmdWrite5555:
            CommandCycle(ctx, 0x5555, args[0]);
            return true;
        case OpCmdWrite2AAA:
            CommandCycle(ctx, 0x2AAA, args[0]);
            return true;
        case OpBusWrite:
            BusCycle(ctx, 35, ctx.Latch(2));
            return true;
        case OpStrobe33:
            BusCycle(ctx, 33, ctx.Latch(2));
            return true;
        case OpPageWriteByte:
            BusCycle(ctx, 0, args[0]);
            low_ = static_cast<std::uint8_t>(low_ + 1);
            DriveLow(ctx);
            return true;
        case OpWePulse7: {
            const Held we = Save(ctx, 7);
            ctx.Drive(7, false);
            ctx.Elapse(kErasePulse);
            Restore(ctx, 7, we);
            return true;
        }
        case OpAddrInc:
            Step(ctx);
            return true;
        case OpRead1K: {
            std::uint8_t* out = ctx.Block(Read1KSize);
            // Stepped between the samples; the counter stays on the last byte read
            // (every form sets the address of its next block, and a carry past
            // the block would ripple into pins that are not address lines on
            // every routing, such as the WE pin 33 of a 28-pin EEPROM).
            for (int i = 0; i < Read1KSize; ++i) {
                if (i > 0) Step(ctx);
                out[i] = SampleData(ctx);
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
