// 16-bit UV/OTP EPROMs of the 27C1024/27C2048/27C4096 class (64K to 256K
// words, 40-pin DIP in the JEDEC word-wide pinout, or the 44-pin PLCC:
// "<name>*P44"), one model with a table of parts. Pin numbers below are the
// DIP's. Each part follows its datasheet:
//
//   power       VCC from a programmer supply on pin 40, ground on 11 and 30
//   read        VCC 4.5..6.5 V, CE# low, OE# low: the word at A0..An on
//               DQ0..DQ15
//   signature   read with A9 at 11.5..12.5 V (a supply): the manufacturer code
//               (A0 low) or the device code (A0 high) on DQ0..DQ7, DQ8..15 low
//   program     VPP on pin 1 inside the part's window (12.75 V +-0.25 V for the
//               parts listed), VCC 4.75..6.5 V, OE# high, and the program pulse:
//                 PGM# parts (27C1024, 27C2048)  CE# low and PGM# (pin 39) low
//                 CE#/PGM# parts (27C4096)       CE# low (the pulse)
//               the word on DQ0..DQ15 programs the cell at the address once
//               these conditions have held for 10 us, summed over pulses of the
//               same address and data (the datasheets' pulse is 100 us; 10 us
//               is the programmer's pulse wait the form counts in); cells only
//               go 1 -> 0. VPP outside the window programs nothing.
//   ratings     any pin 7.0 V, A9 13.5 V, VPP 14.0 V; VPP not before VCC.
// There is no command register: a write cycle of 90h is nothing to the part.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chips/pinout_chip.h"

namespace quilla::sim {

struct Eprom16Part {
    const char* name;
    const FlashPinout* pinout;  // we: PGM# (0 on CE#/PGM# parts)
    std::uint32_t words;
    std::uint8_t mfr, dev;
    Tenths vppMin, vppMax;
};

const std::vector<Eprom16Part>& Eprom16Parts();
const Eprom16Part* FindEprom16Part(std::string_view name);

class Eprom16 : public FlashPinoutChip<Eprom16Part> {
public:
    explicit Eprom16(const Eprom16Part& part);

    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;

    // Words programmed since seated.
    int WordsProgrammed() const { return programmed_; }

    static constexpr Nanos kMinProgram = 10 * Microsecond;

private:
    bool Programming(ChipPins& pins) const;

    bool powered_ = false, pulse_ = false;
    std::uint32_t addr_ = 0;
    std::uint16_t data_ = 0;
    Nanos held_ = 0;
    bool done_ = false;
    int programmed_ = 0;
};

SeatedPart MakeEprom16(std::string_view name);
void RegisterEprom16(ChipRegistry& registry);

}  // namespace quilla::sim
