// The PIC serial designs ("pic16dip40", "pic16dip28", "pic16dip18", ...): one
// class under every design name of the PIC forms that program a chip through
// its serial programming interface (a clock and a data line, the programming
// voltage on MCLR). The names differ only in the socket pins that carry the
// chip's clock and data lines (its ICSP pins in the package's position):
//
//   design          clock  data   package
//   pic16dip40(c)     39    40    40-pin DIP (RB6, RB7)
//   pic16dip28(c)     33    34    28-pin DIP (RB6, RB7)
//   pic16dip29        22    23    28-pin 16C5x-style DIP (RB6, RB7 on pins 16, 17)
//   pic16dip20        23    24    20-pin SSOP pinout (RB6, RB7 on pins 13, 14)
//   pic16dip18(c)     23    24    18-pin DIP (RB6, RB7)
//   pic16dip14        12    13    14-pin parts placed as "16f630.bmp" shows (RA1, RA0)
//   pic16dip08        22    23    8-pin DIP (GP1, GP0)
//   pic16plcc44       16    19    44-pin PLCC adapter (its five ICSP nets: VPP 22,
//   pic16qfp44        17    20    44-pin QFP adapter    VCC 11, GND 10, clock, data)
//   pic18plcc44       16    19    the PIC18 adapter designs, wired as the two above
//   pic18qfp44        17    20
//   pic18tqfp44       17    20
//   pic18dip40        39    40    40-pin PIC18 DIP (RB6/PGC, RB7/PGD)
//   pic18dip28        33    34    28-pin PIC18 DIP (RB6/PGC, RB7/PGD)
//   pic18f2331dip28   33    34    28-pin PIC18F2331-style DIP (RB6/PGC, RB7/PGD)
//   pic18dip18        23    24    18-pin PIC18 DIP (RB6/PGC, RB7/PGD)
//
// Commands (the host's bytes, engine/protocol.h):
//   0x34        drives clock and data low: the entry condition the chip needs
//               while MCLR rises to the programming voltage
//   0x31 c      shifts the low six bits of c into the chip, LSB first: data set
//               while the clock is high, taken by the chip on the falling edge
//   0x33 c l h  shifts c as 0x31 does, then the 16-bit frame h:l (LSB first)
//   0x32 c      shifts c, releases the data line and clocks 16 bits out of the
//               chip (it drives each bit after the rising edge; the design takes
//               it before the falling edge); the frame shifted right by one (the
//               start bit dropped) goes to the next reply, low byte first
// The high bits of c never reach the chip: each chip decodes the six bits by its
// own command table (don't-care bits included). Register 20 (0x84 enables the
// serial path) is recorded, not required: forms that raise VPP by a pin command
// never write it.
//
// Clock and data come from the design's serial engine: a pin option (which
// releases the host's and the latches' drivers) leaves them driven.
//
// Timing: 250 ns per clock phase (2 MHz), 1 us between a command and its data
// frame. Clock and data stay low between commands.
//
// The PIC18 engine (every pic18* name; the PIC18 forms, algo/pic/pic18.h): the
// 4-bit commands with 16-bit operands of the PIC18 serial programming
// interface, driven from the latches and control lines.
//   latch 0     the 4-bit command; latch 1 the operand's low byte, latch 3 its
//               high byte (latch 2 unused)
//   line 1      a rising edge shifts the command (4 bits, LSB first: data set
//               while the clock is high, taken by the chip on the falling
//               edge), then, while line 3 is high, the operand (16 bits, LSB
//               first)
//   line 3      high: commands carry their operand; low: command only (table
//               reads and the shift-out of TABLAT)
//   line 4      the programming hold: a command strobed while it is high stops
//               with its fourth clock high; the clock falls when line 4 goes
//               low, then (5 us later, the discharge time) the operand follows.
//               The hold lasts as long as the host waits between the two.
//   0x03        (family opcode 3) after a command 2 or 9 (any table read):
//               eight clocks with data low, then the data line released and
//               eight clocks out of the chip (it drives each bit after the
//               rising edge; the design takes it before the falling edge);
//               the byte goes to the next reply
// Clock and data are driven low from the load on.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "sim/design.h"

namespace quilla::sim {

struct PicSerialPackage {
    std::string_view tag;
    int clockPin;  // socket pins
    int dataPin;
};

// Every design name of the PIC serial family with its clock and data pins.
const std::array<PicSerialPackage, 19>& PicSerialPackages();

class PicSerialDesign : public Design {
public:
    explicit PicSerialDesign(const PicSerialPackage& package) : package_(package) {}

    std::string_view Tag() const override { return package_.tag; }
    int ClockPin() const { return package_.clockPin; }
    int DataPin() const { return package_.dataPin; }
    // The value last written to register 20.
    std::uint8_t SerialRegister() const { return serialReg_; }

    void OnLoaded(DesignContext& ctx) override;
    void OnUnloaded(DesignContext& ctx) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

    static constexpr Nanos HalfClock = 250;           // one clock phase
    static constexpr Nanos CommandToData = 1000;      // between a command and its frame
    static constexpr Nanos HoldRelease = 5000;        // PIC18: clock low after a hold, before the operand

    // A PIC18 name (the 4-bit engine runs beside the 6-bit one).
    bool Pic18() const { return package_.tag.substr(0, 5) == "pic18"; }

private:
    void ShiftOut(DesignContext& ctx, unsigned bits, int count);
    unsigned ShiftIn(DesignContext& ctx, int count);
    void ControlLine(DesignContext& ctx, int n, bool high);
    void Strobe(DesignContext& ctx);
    void ReleaseHold(DesignContext& ctx);
    void CaptureByte(DesignContext& ctx);

    const PicSerialPackage& package_;
    std::uint8_t serialReg_ = 0;
    // PIC18 engine
    unsigned lines_ = 0;   // bit n: control line n high
    bool holding_ = false; // the clock stands high on a command's fourth clock
};

// Registers the design under every name of PicSerialPackages().
void RegisterPicSerialDesigns(DesignRegistry& registry);

}  // namespace quilla::sim
