// The CR80P100, CR80P200 and JS991 one-time-programmable microcontrollers:
// 14-bit words written in two 7-bit halves through a 7-bit port, erased
// 3FFFh, cells only going 1 -> 0; besides program memory an OTP row (eight
// words), the option word pair and a security word.
//
// No writer protocol is published; the model's is ours, from the pins the
// form's rows give (VPP on pin 3 of the 18-pin and pin 1 of the 28-pin
// package, VDD 14 / 2, VSS 5 / 4) and port pins in the roles below, and it is
// strict:
//
//   roles    READ (high: the chip drives the port), ENTRY, MODE, HALF (low:
//            bits 0-6, high: bits 7-13), P and Q (the program pulse is Q low
//            while P is high), CLK, D0-D6
//   entry    VPP rises into its window from a programmer supply while VDD is
//            up, MODE is high, ENTRY and READ are low and P and Q are high.
//            The port then gives the area: 0 program memory, 1 the OTP row, 2
//            the option words, 5 the security word (anything else: deaf until
//            VPP drops). Then exactly the part's number of CLK falling edges
//            (5; 2 on the JS991) before the first pulse or read opens the
//            area at word 0; any other count leaves the chip deaf.
//   words    every four CLK falling edges move to the next word.
//   program  Q low with P high, READ low and VPP and VDD in their windows
//            sums programming time for the half HALF selects (pulses of the
//            same half and value add up); at the minimum the half ANDs the
//            port value latched at Q's fall.
//   read     READ high drives the half HALF selects on the port.
//   protect  a programmed security word (not 3FFFh) makes program words read
//            0000h and take no writes (ours).
//
// Minimum programming time 10 us per half (the form pulses one to three
// waits 25); the slow factor multiplies it. VPP 11.5-12.5 V; VDD 3.0-5.5 V
// (the form works at 3.3 V, verifies at 3.3 or 2.5 V: reads from 2.2 V).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/chips/pin_table_chip.h"

namespace quilla::sim {

// The chip pins of a package.
struct Cr80Pins {
    int count;
    int vdd, vss, vpp;
    int read, entry, mode, half, p, q, clk;
    std::array<int, 7> port;  // D0-D6
};

struct Cr80Part {
    const char* name;
    const Cr80Pins* pins;
    int words;
    int entryClocks;  // CLK falling edges between entry and the first pulse or read
};

const std::vector<Cr80Part>& Cr80Parts();
const Cr80Part* FindCr80Part(std::string_view name);

class Cr80Chip : public PinTableChip<Cr80Part, 0x3FFF> {
public:
    static constexpr Nanos MinProgram = 10 * Microsecond;
    static constexpr SupplyWindow VppWindow{115, 125}, ProgramVdd{30, 55}, ReadVdd{22, 55};
    static constexpr PinRatings Rated{.any = 65, .vpp = 135};
    enum Area : int { Program = 0, OtpRow = 1, Option = 2, Security = 5 };

    explicit Cr80Chip(const Cr80Part& part);

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    std::uint16_t OtpRowWord(int k) const { return otp_.at(static_cast<std::size_t>(k)); }
    std::uint16_t OptionWord(int k) const { return option_.at(static_cast<std::size_t>(k)); }
    std::uint16_t SecurityWord() const { return security_; }

private:
    enum class Mode : std::uint8_t { Off, Entry, Active, Deaf };

    std::uint16_t* Cell(int k);
    std::uint16_t ReadWordAt(int k) const;
    void Leave(ChipPins& pins);
    int WordIndex() const { return falls_ / 4; }

    const Cr80Pins& pin_;
    std::array<std::uint16_t, 8> otp_{};
    std::array<std::uint16_t, 2> option_{};
    std::uint16_t security_ = Erased;

    Mode mode_ = Mode::Off;
    bool armed_ = true;
    int area_ = 0;
    int falls_ = 0;
    bool clk_ = false, q_ = true, read_ = false, p_ = true;
    PortDrivers port_;
    std::uint8_t latched_ = 0x7F;
    bool latchedHigh_ = false;
    Nanos progSum_ = 0;
    bool done_ = false;
};

void RegisterCr80(ChipRegistry& registry);

}  // namespace quilla::sim
