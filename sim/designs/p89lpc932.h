// "p89lpc932": the in-circuit programming link of the P89LPC9xx forms. The
// host reaches the chip's four programming registers through two latches and
// three control lines; the design carries each access to the chip as a frame
// on its programming clock (socket 31) and data (socket 32) and drives its RST
// (socket 9). Both placements (28 pins on pad rows 4-17, 20 pins on 6-15) put
// P0.5 (clock), P0.4 (data) and RST on these sockets.
//
//   latch 0     the register number (0 to 3)
//   latch 1     the data byte; the next rising edge of line 3 writes it into the
//               selected register (one write frame); further line-3 clocks
//               without a new latch-1 byte move nothing
//   line 1      its rising edge starts the command written in register 3 (a start
//               frame); low while a command and its address are written
//   line 2      entry: low holds RST low; after five pulses the next rising edge
//               makes the design give the chip its entry sequence on RST (seven
//               pulses) and leave RST high
//   0x02        reads the selected register (a read frame) into the reply
//
// Frames (ours): a header byte, bit 7 first, taken at the clock's rising edge:
// 0x80 | r then the data byte (write), 0x40 (start), r then eight clocks with
// the chip driving the data line (read; sampled while the clock is high).
// The lines stay the design's under pin options.
#pragma once

#include "sim/design.h"

namespace quilla::sim {

class P89lpc932Design : public Design {
public:
    static constexpr std::string_view TagName = "p89lpc932";
    static constexpr int RstPin = 9, ClockPin = 31, DataPin = 32;
    static constexpr int EntryPulses = 7;  // what the chip's entry wants on RST
    // Frame headers.
    static constexpr std::uint8_t WriteFrame = 0x80, StartFrame = 0x40;

    std::string_view Tag() const override { return TagName; }
    void OnLoaded(DesignContext& ctx) override;
    void OnUnloaded(DesignContext& ctx) override;
    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

protected:
    // The host's entry line and the pulses it gives before the final rising edge.
    virtual int EntryLine() const { return 2; }
    virtual int HostPulses() const { return 5; }
    virtual std::uint8_t CaptureOp() const { return 0x02; }

private:
    void Shift(DesignContext& ctx, std::uint8_t v);
    std::uint8_t ShiftIn(DesignContext& ctx);

    bool fresh_ = false;       // latch 1 written since the last write frame
    bool lines_[8] = {};       // the control lines' levels
    int rises_ = 0;            // rising edges of the entry line since it went low
};

}  // namespace quilla::sim

namespace quilla::sim {

// "rs232phi92x": the same register link, with the entry on line 4 (three host
// pulses before the final rising edge). Registers 16 and 19 (the serial test's
// byte and setting) drive nothing the chip in programming mode listens to;
// capture 0x01 gives the serial line's answer: 0xFF (an idle line, no byte
// received).
class Rs232Phi92xDesign : public P89lpc932Design {
public:
    static constexpr std::string_view TagName = "rs232phi92x";
    std::string_view Tag() const override { return TagName; }
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override {
        if (op == 0x01) {
            ctx.Capture(0xFF);
            return true;
        }
        return P89lpc932Design::Command(ctx, op, args, payload);
    }

protected:
    int EntryLine() const override { return 4; }
    int HostPulses() const override { return 3; }
};

}  // namespace quilla::sim
