// The EM78 one-time-programmable microcontrollers (EM78P156/256/456,
// EM78P247SA/SB and EM78P447SA/SB, EM78P153, EM78P458/459): 13-bit program
// words and option words in OTP cells, erased 1FFFh, each cell only going
// from 1 to 0.
//
// The data sheets give the pins (VDD, VSS, /RESET), the memory sizes and the
// option words, but no writer protocol. The model's writer interface is
// therefore ours, taken from the data sheets' pin functions: the programming
// voltage on /RESET, the supplies on VDD/VSS, and port pins in the roles
// below (which port pin carries which role is each part's row). It is strict:
// a wrong entry, a missing clock or a missing pulse programs nothing.
//
//   roles     DATA   serial data (the chip drives it only while R/W is low)
//             SCK    shift clock
//             CLK    address clock
//             R/W    high: the writer shifts words in; low: the chip shifts out
//             /PGM   program pulse, active low
//             TEST   entry level (each part's row: high, or low)
//             SEL    space select, sampled at entry (on the EM78P156 and 447
//                    classes it is the CLK pin itself)
//   entry     /RESET rises into the VPP window from a programmer supply while
//             VDD stands in its window, R/W and /PGM are high, SCK is low and
//             TEST stands at the part's entry level. SEL high selects the
//             option space, low the program memory; the address is 0. The
//             chip then counts CLK falling edges until the first SCK rising
//             edge, R/W falling edge or /PGM falling edge: exactly the part's
//             entry count (2, or 4 on the EM78P247/447 class) opens writer
//             mode; any other count leaves the chip deaf until /RESET drops.
//   address   after entry every second CLK falling edge moves to the next
//             word of the selected space.
//   shift in  with R/W high each SCK rising edge takes DATA into a 13-bit
//             register, most significant bit first (older bits fall off).
//   program   /PGM low with R/W high, VPP in its window and VDD in the
//             programming window sums programming time; once the sum reaches
//             the minimum the word ANDs the register (1 -> 0 only). Moving to
//             another word, or a new bit shifted in, starts the sum afresh.
//   shift out R/W falling (and every move to the next word while R/W is low)
//             loads the word at the address; the chip drives its bit 12 on
//             DATA and the next bit after each SCK falling edge. R/W high
//             releases DATA.
//   protect   the part's protect bit programmed (0): program words read 0000h
//             and take no writes (ours: the data sheets say only that the code
//             is protected). Option words stay readable.
//   leave     /RESET leaving the window or VDD dropping ends writer mode.
//
// Minimum programming time: 10 us per word (the forms pulse once with a
// 10 us wait); the slow factor multiplies it. Supply windows are ours where
// the data sheets give none: VPP 11.5-12.5 V on /RESET, programming VDD
// 4.0-5.5 V (the forms program at 4.4 V), entry and reads from 2.2 V (the
// parts' lowest operating voltage; a verify reads the option word at 2.5 V).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sim/chips/pin_table_chip.h"

namespace quilla::sim {

// The chip pins of a package and the writer roles on them.
struct Em78Pins {
    int count;
    int vdd, vss, reset;
    int data, sck, clk, rw, pgm, test, sel;  // sel may equal clk
    std::vector<int> placement;              // socket pin of each chip pin (empty: standard DIP)
};

struct Em78Part {
    const char* name;
    const Em78Pins* pins;
    bool testHigh;                // TEST level at entry
    int entryClocks;              // CLK falling edges between entry and the first shift
    int words;                    // program words
    int optionWords;              // words of the option space
    int protectWord, protectBit;  // the protect bit in the option space
};

const std::vector<Em78Part>& Em78Parts();
const Em78Part* FindEm78Part(std::string_view name);

// Program memory as image bytes: word n at 2n (bits 0-7) and 2n + 1 (bits 8-12).
class Em78Chip : public PinTableChip<Em78Part, 0x1FFF> {
public:
    static constexpr Nanos MinProgram = 10 * Microsecond;
    static constexpr SupplyWindow VppWindow{115, 125}, ProgramVdd{40, 55}, ReadVdd{22, 55};
    // VDD and the port pins up to 6.5 V; /RESET carries the programming voltage
    // (our ceiling: 13.5 V).
    static constexpr PinRatings Rated{.any = 65, .vpp = 135};

    explicit Em78Chip(const Em78Part& part);

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    std::uint16_t Option(int k) const { return options_.at(static_cast<std::size_t>(k)); }
    void SetOption(int k, std::uint16_t w) { options_.at(static_cast<std::size_t>(k)) = w & Erased; }
    bool InWriterMode() const { return mode_ == Mode::Writer; }

private:
    enum class Mode : std::uint8_t { Off, Entry, Writer, Deaf };

    void Leave(ChipPins& pins);
    void StartWriter();
    void Next(ChipPins& pins);
    void LoadOut(ChipPins& pins);
    void DriveOut(ChipPins& pins);
    std::span<const int> DataPin() const { return {&pin_.data, 1}; }
    std::uint16_t ReadWord() const;
    bool Protected() const;
    bool ProgramConditions(ChipPins& pins) const;

    const Em78Pins& pin_;
    std::vector<std::uint16_t> options_;

    Mode mode_ = Mode::Off;
    bool optionSpace_ = false;
    int address_ = 0;
    int clkFalls_ = 0;
    int entryFalls_ = 0;
    bool entryArmed_ = true;  // /RESET stood outside the window since the last entry
    bool clk_ = false, sck_ = false, rw_ = false, pgm_ = true;
    std::uint16_t shift_ = Erased;
    std::uint16_t out_ = Erased;
    int outBit_ = 12;
    PortDrivers dataOut_;
    Nanos progSum_ = 0;
    bool programmedHere_ = false;
};

void RegisterEm78(ChipRegistry& registry);

}  // namespace quilla::sim
