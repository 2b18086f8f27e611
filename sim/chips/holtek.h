// Holtek one-time-programmable microcontrollers: ROM words and 32 option words
// in OTP cells that read 0 when unprogrammed; a programming pulse sets bits
// (0 -> 1 only). Bit 0 of option word 0 is the lock bit.
//
//   HT48R05A-1, HT48R10A-1  18 pins: VSS 8, RES 11, VDD 12, OSC1 13, PA0-PA3
//                on 4, 3, 2, 1, SEL 16, RD 17; seated as the "18DIP"
//                placement diagram draws them (chip pin 1 on socket 3)
//   HT48RA0A     the 20-pin remote-controller part, 1K words: PA1 1, PA0 2,
//                VDD 6, OSC1 8, VSS 9, RESB 10, SEL on PA6 (16), RD on PA5
//                (17), PA3 19, PA2 20; seated as the "20SOP" diagram draws it
//                (chip pin 1 on socket 3: pins 1-10 on 3-12, 11-20 on 29-38)
//
// No writer protocol is published: the model's is ours, from those pin
// functions, the same on both packages, and strict:
//
//   roles    D0-D3 on PA0-PA3, CLK on OSC1, SEL and RD as above, VPP on RES
//   entry    RES rises into the VPP window from a programmer supply while VDD
//            is up, SEL and CLK are high and RD is low.
//   select   SEL falling with RD low starts an address: the first nibbles
//            (taken at CLK falling edges, least significant first; four, or
//            five on parts above 16K words) give the address in the low 14
//            (18) bits and the area above them: 0 ROM, 2 option words. SEL
//            falling with RD high starts the ID read. SEL high ends the access.
//   write    with RD low, the next nibbles (taken at CLK falls) build a word;
//            while CLK stays low after the fourth, programming time sums, and
//            at the minimum the word ORs into the cells.
//   read     with RD high, each CLK fall drives the next nibble of the current
//            word (least significant first) on D0-D3; the fourth CLK rise moves
//            to the next word (a write's four completion clocks do the same).
//   ID       each CLK fall drives the next bit of the ID byte ADh on D0.
//   lock     option word 0 bit 0 set: ROM words read 0000h and take no writes.
//
// Minimum programming time 40 us (the form holds the clock low for a no-op and
// five 10 us waits: about 61 us); the slow
// factor multiplies it. VPP 11.5-13.0 V on RES (the form uses 12.5 V); VDD
// 4.5-5.5 V for programming (vcc= 5000), reads from 2.2 V.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/chips/pin_table_chip.h"

namespace quilla::sim {

struct HoltekPins {
    int count, vss, res, vdd, clk, sel, rd;
    std::array<int, 4> data;  // PA0-PA3
};

struct HoltekPart {
    const char* name;
    int words;
    const HoltekPins* pins;
};

const std::vector<HoltekPart>& HoltekParts();

// Unprogrammed words read 0.
class HoltekChip : public PinTableChip<HoltekPart, 0x3FFF, 0x0000> {
public:
    static constexpr std::uint8_t Id = 0xAD;
    static constexpr Nanos MinProgram = 40 * Microsecond;
    static constexpr SupplyWindow VppWindow{115, 130}, ProgramVdd{45, 55}, ReadVdd{22, 55};
    static constexpr PinRatings Rated{.any = 65, .vpp = 135};

    explicit HoltekChip(const HoltekPart& part);

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    std::uint16_t Option(int k) const { return options_.at(static_cast<std::size_t>(k)); }
    void SetOption(int k, std::uint16_t w) { options_.at(static_cast<std::size_t>(k)) = w & 0x3FFF; }
    int Words() const { return part_.words; }

private:
    enum class Phase : std::uint8_t { Idle, Address, Data, Id };

    int AddressNibbles() const { return part_.words > 0x4000 ? 5 : 4; }
    bool Locked() const { return (options_[0] & 1u) != 0; }
    std::uint16_t Current() const;
    void Leave(ChipPins& pins);
    void TakeNibble(ChipPins& pins, bool rd);

    const HoltekPins& pin_;
    std::array<std::uint16_t, 32> options_{};

    bool ready_ = false, armed_ = true;
    Phase phase_ = Phase::Idle;
    int area_ = -1;
    int address_ = 0;
    std::uint32_t shift_ = 0;
    int nibbles_ = 0;
    int readNibble_ = 0;
    bool clk_ = true, sel_ = true;
    PortDrivers port_;
    Nanos progSum_ = 0;
    bool done_ = false;
};

void RegisterHoltek(ChipRegistry& registry);

}  // namespace quilla::sim
