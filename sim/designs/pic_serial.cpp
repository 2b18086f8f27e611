#include "sim/designs/pic_serial.h"

#include <string>
#include <utility>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

const std::array<PicSerialPackage, 19>& PicSerialPackages() {
    static const std::array<PicSerialPackage, 19> packages{{
        {"pic16dip40", 39, 40},
        {"pic16dip40c", 39, 40},
        {"pic16dip28", 33, 34},
        {"pic16dip28c", 33, 34},
        {"pic16dip29", 22, 23},
        {"pic16dip20", 23, 24},
        {"pic16dip18", 23, 24},
        {"pic16dip18c", 23, 24},
        {"pic16dip14", 12, 13},
        {"pic16dip08", 22, 23},
        {"pic16plcc44", 16, 19},
        {"pic16qfp44", 17, 20},
        // The PIC18 adapter designs carry the same serial engine (the PIC16C
        // OTP form with the configuration grid loads them for pkg=44/45).
        {"pic18plcc44", 16, 19},
        {"pic18qfp44", 17, 20},
        // The PIC18 forms' own names (the 4-bit engine on the latches and
        // control lines serves every pic18 name).
        {"pic18tqfp44", 17, 20},
        {"pic18dip40", 39, 40},
        {"pic18dip28", 33, 34},
        {"pic18f2331dip28", 33, 34},
        {"pic18dip18", 23, 24},
    }};
    return packages;
}

void PicSerialDesign::OnLoaded(DesignContext& ctx) {
    PinSet own;
    own.Add(package_.clockPin);
    own.Add(package_.dataPin);
    ctx.GetSocket().SetDesignPinsOverOptions(own);
    lines_ = 0;
    holding_ = false;
    if (Pic18()) {
        ctx.Drive(package_.clockPin, false);
        ctx.Drive(package_.dataPin, false);
    }
}

void PicSerialDesign::OnUnloaded(DesignContext& ctx) {
    ctx.GetSocket().SetDesignPinsOverOptions(PinSet{});
    ctx.ReleaseAll();
}

void PicSerialDesign::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r == RegPicSerial) serialReg_ = v;
    if (r == RegControlLines && Pic18()) ControlLine(ctx, v & 0x7F, (v & LineHighBit) != 0);
}

// ---- the PIC18 engine ------------------------------------------------------------------------------

void PicSerialDesign::ControlLine(DesignContext& ctx, int n, bool high) {
    if (n < 0 || n > 15) return;
    const bool was = (lines_ >> n) & 1u;
    if (high) lines_ |= 1u << n;
    else lines_ &= ~(1u << n);
    if (n == 1 && high && !was) Strobe(ctx);
    if (n == 4 && !high && was && holding_) ReleaseHold(ctx);
}

void PicSerialDesign::Strobe(DesignContext& ctx) {
    if (holding_) ReleaseHold(ctx);
    const unsigned cmd = ctx.Latch(0) & 0x0Fu;
    if (lines_ & (1u << 4)) {
        // Three clocks, then the fourth rises and stays up.
        ShiftOut(ctx, cmd, 3);
        ctx.Drive(package_.clockPin, true);
        ctx.Drive(package_.dataPin, (cmd >> 3) & 1u);
        ctx.Settle();
        holding_ = true;
        return;
    }
    ShiftOut(ctx, cmd, 4);
    if (lines_ & (1u << 3)) ShiftOut(ctx, ctx.Latch(1) | (static_cast<unsigned>(ctx.Latch(3)) << 8), 16);
    ctx.Drive(package_.dataPin, false);
}

void PicSerialDesign::ReleaseHold(DesignContext& ctx) {
    holding_ = false;
    ctx.Drive(package_.clockPin, false);
    ctx.Elapse(HoldRelease);
    if (lines_ & (1u << 3)) ShiftOut(ctx, ctx.Latch(1) | (static_cast<unsigned>(ctx.Latch(3)) << 8), 16);
    ctx.Drive(package_.dataPin, false);
}

void PicSerialDesign::CaptureByte(DesignContext& ctx) {
    if (holding_) ReleaseHold(ctx);
    ShiftOut(ctx, 0, 8);
    const unsigned v = ShiftIn(ctx, 8);
    ctx.Capture(static_cast<std::uint8_t>(v));
}

void PicSerialDesign::ShiftOut(DesignContext& ctx, unsigned bits, int count) {
    for (int i = 0; i < count; ++i) {
        ctx.Drive(package_.clockPin, true);
        ctx.Drive(package_.dataPin, (bits >> i) & 1u);
        ctx.Elapse(HalfClock);
        ctx.Drive(package_.clockPin, false);  // the chip takes the bit here
        ctx.Elapse(HalfClock);
    }
}

unsigned PicSerialDesign::ShiftIn(DesignContext& ctx, int count) {
    ctx.Release(package_.dataPin);
    unsigned v = 0;
    for (int i = 0; i < count; ++i) {
        ctx.Drive(package_.clockPin, true);  // the chip puts the bit out here
        ctx.Elapse(HalfClock);
        if (ctx.Level(package_.dataPin)) v |= 1u << i;
        ctx.Drive(package_.clockPin, false);
        ctx.Elapse(HalfClock);
    }
    ctx.Drive(package_.dataPin, false);
    return v;
}

bool PicSerialDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                              std::span<const std::uint8_t> payload) {
    (void)payload;
    switch (op) {
        case OpPrepare:
            ctx.Drive(package_.clockPin, false);
            ctx.Drive(package_.dataPin, false);
            ctx.Settle();
            return true;
        case OpPicCommand:
            ShiftOut(ctx, args[0] & 0x3Fu, 6);
            ctx.Drive(package_.dataPin, false);
            return true;
        case OpPicWriteWord:
            ShiftOut(ctx, args[0] & 0x3Fu, 6);
            ctx.Elapse(CommandToData);
            ShiftOut(ctx, static_cast<unsigned>(args[1]) | (static_cast<unsigned>(args[2]) << 8), 16);
            ctx.Drive(package_.dataPin, false);
            return true;
        case OpPicReadWord: {
            ShiftOut(ctx, args[0] & 0x3Fu, 6);
            ctx.Elapse(CommandToData);
            const unsigned frame = ShiftIn(ctx, 16);
            const unsigned word = frame >> 1;
            ctx.Capture(static_cast<std::uint8_t>(word & 0xFFu));
            ctx.Capture(static_cast<std::uint8_t>(word >> 8));
            return true;
        }
        case OpCaptureData:
            if (!Pic18()) return false;
            CaptureByte(ctx);
            return true;
        default:
            return false;
    }
}

namespace {

template <std::size_t K>
std::unique_ptr<Design> MakePackage() {
    return std::make_unique<PicSerialDesign>(PicSerialPackages()[K]);
}

template <std::size_t... K>
void RegisterAll(DesignRegistry& registry, std::index_sequence<K...>) {
    (registry.Add(std::string(PicSerialPackages()[K].tag), &MakePackage<K>), ...);
}

}  // namespace

void RegisterPicSerialDesigns(DesignRegistry& registry) {
    RegisterAll(registry, std::make_index_sequence<std::tuple_size_v<std::array<PicSerialPackage, 19>>>{});
}

}  // namespace quilla::sim
