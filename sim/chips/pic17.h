// The PIC17C4x EPROM/OTP microcontrollers (PIC17C42, PIC17C43, PIC17C44) in
// their parallel program/verify mode, 40-pin DIP. Program words of 16 bits,
// erased FFFFh; a cell only goes 1 -> 0. The configuration bits are
// programmed one location at a time: a pulse at FE00h + j clears bit j.
//
// The pins are the datasheet's (VDD 1, RC0-RC7 2-9, VSS 10, RB0-RB7 11-18,
// OSC1 19, OSC2 20, RA5-RA0 21-26, TEST 27, RE2-RE0 28-30, VSS 31, MCLR 32,
// RD7-RD0 33-40). The programming sheet's text was not to be had, so the
// roles below are ours, taken from those pins (family rule 2), and strict:
//
//   DL, DH    RB0-RB7 the word's low byte, RC0-RC7 its high byte
//   PULSE     RA0, active high: the programming pulse
//   CLK       RA1: a rising edge is one clock of the interface
//   DIR       RA2: high, the programmer drives DL/DH; low, the chip drives them
//   TEST      high for the whole of program/verify mode
//   entry     MCLR rises into the VPP window from no supply while VDD stands in
//             its window, TEST and DIR are high, PULSE and CLK low, and DH holds
//             E1h (the program/verify code; any other value: the chip stays
//             out of the mode until MCLR drops).
//   address   the first clock after entry takes the address from DH:DL; from
//             then on three clocks step one word: after clock 3k + 1, 3k + 2
//             and 3k + 3 the chip stands at address + k.
//   read      DIR low (after the address clock): the chip drives the word at
//             its address on DH:DL.
//   program   PULSE high with DIR high, VPP and VDD in their windows, sums
//             programming time at the address; once the sum reaches the minimum
//             a program word ANDs the word DH:DL held at PULSE's rise, a
//             configuration location FE00h + j clears configuration bit j.
//             A new address or a pulse with other data starts afresh; a pulse
//             with DIR low programs nothing.
//   config    FE00h-FE07h read the configuration's low byte, FE08h-FE0Fh its
//             high byte (in the word's low byte; the high byte reads FFh).
//             Other locations beyond program memory read FFFFh.
//   leave     MCLR leaving the window, VDD dropping or TEST low ends the mode.
//
// Minimum programming time 100 us (the datasheets' pulse; the form pulses one
// wait 26 of 1 ms), times the slow factor. VPP window 12.5-13.5 V (the form:
// 12.7 V), VDD 4.5-5.5 V. Ratings: 14 V on MCLR, 7.5 V elsewhere.
//
// The form's device table puts VPP on socket 12, VCC on 21 and ground on 30
// for the DIP: the datasheet's MCLR 32, VDD 1 and VSS 10 with the chip turned
// round in the 40-pin area (chip pin n on socket n + 20, n - 20 above 20).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/chips/pin_table_chip.h"

namespace quilla::sim {

struct Pic17Part {
    const char* name;
    int words;
};

const std::vector<Pic17Part>& Pic17Parts();
const Pic17Part* FindPic17Part(std::string_view name);

// Program memory, word n at bytes 2n (low) and 2n + 1 (high).
class Pic17Chip : public PinTableChip<Pic17Part, 0xFFFF> {
public:
    static constexpr Nanos MinProgram = 100 * Microsecond;
    static constexpr SupplyWindow VppWindow{125, 135}, VddWindow{45, 55};
    static constexpr PinRatings Rated{.any = 75, .vpp = 140};
    static constexpr int ConfigFirst = 0xFE00;
    static constexpr int Vdd = 1, Vss = 10, Vss2 = 31, Mclr = 32, Test = 27, Pulse = 26, Clk = 25, Dir = 24;
    static constexpr std::array<int, 16> Data{11, 12, 13, 14, 15, 16, 17, 18, 2, 3, 4, 5, 6, 7, 8, 9};
    static constexpr std::uint8_t EntryCode = 0xE1;

    explicit Pic17Chip(const Pic17Part& part);

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    std::uint16_t Config() const { return config_; }
    void SetConfig(std::uint16_t w) { config_ = w; }
    // The configuration locations programmed so far.
    const std::vector<int>& ConfigPulses() const { return configPulses_; }
    // Interface clocks since the address clock of the last entry.
    int Clocks() const { return clocks_; }

    static Placement Dip40();

private:
    void Leave(ChipPins& pins);
    int Address() const { return clocks_ < 1 ? base_ : base_ + (clocks_ - 1) / 3; }
    std::uint16_t Location(int address) const;
    void DriveWord(ChipPins& pins);

    std::uint16_t config_ = Erased;

    bool active_ = false;
    bool armed_ = false;  // MCLR stood without a supply since the last entry
    bool addressed_ = false;
    int base_ = 0;
    int clocks_ = 0;
    bool clk_ = false, pulse_ = false, dir_ = true;
    PortDrivers word_;
    int drivenAddress_ = -1;
    std::uint16_t pulseData_ = Erased;
    int pulseAddress_ = -1;
    Nanos progSum_ = 0;
    bool done_ = false;
    std::vector<int> configPulses_;
};

void RegisterPic17(ChipRegistry& registry);

}  // namespace quilla::sim
