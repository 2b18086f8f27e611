// The AVR high-voltage serial designs "Atiny12" and "Atiny15": a DIP8 at the
// top of the DIP20 area (chip pins 1-4 on socket 11-14, 5-8 on 27-30: RESET
// 11, SCI 12, GND 14, SDI 27, SII 28, SDO 29, VCC 30). The host hands a frame's
// instruction byte in latch 0 (SII) and its data byte in latch 1 (SDI):
//
//   register 18 line 5 rising   sends one frame: on SDI and SII the bits 0,
//                               b7..b0, 0, 0, most significant first, each
//                               set while SCI is low and taken on SCI rising;
//                               SDO is sampled after the first eight rising
//                               edges (the chip's output byte, MSB first)
//   line 5 low                  nothing
//   line 4 low                  holds SDI, SII and SDO low (the chip's
//                               Prog_enable pins) until the next frame, which
//                               lets SDO go
//   0x02                        captures the SDO byte of the last frame
//
// "Atiny12" gives each frame bit one SCI pulse (1 us high, 1 us low);
// "Atiny15" gives it the 16 SCI pulses the ATtiny15 takes (0.5 us each half,
// the bit held for all 16; the chip and the design take it on the 8th rising
// edge). From the load on RESET, SCI, SDI and SII are driven low.
#pragma once

#include <string_view>

#include "sim/design.h"

namespace quilla::sim {

class AvrHvspDesign : public Design {
public:
    static constexpr int ResetPin = 11, SciPin = 12, SdiPin = 27, SiiPin = 28, SdoPin = 29;

    AvrHvspDesign(int pulses, Nanos half) : pulses_(pulses), half_(half) {}

    void OnLoaded(DesignContext& ctx) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

private:
    void Frame(DesignContext& ctx);

    int pulses_;
    Nanos half_;
    bool line5_ = false, holding_ = false;
    std::uint8_t sdo_ = 0xFF;
};

class Atiny12Design : public AvrHvspDesign {
public:
    static constexpr std::string_view TagName = "Atiny12";
    Atiny12Design() : AvrHvspDesign(1, 1000) {}
    std::string_view Tag() const override { return TagName; }
};

class Atiny15Design : public AvrHvspDesign {
public:
    static constexpr std::string_view TagName = "Atiny15";
    Atiny15Design() : AvrHvspDesign(16, 500) {}
    std::string_view Tag() const override { return TagName; }
};

}  // namespace quilla::sim
