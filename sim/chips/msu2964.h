// The MSU2964 (64 KiB 8051 flash) in the programmer's parallel setting for it.
// No public writer description was found: the programmer's settings are the
// interface, kept strict.
//
//   pins       the data on P1 (1-8), A0-A7 on P0 (39-32, P0.0 on 39), A8-A15 on P2
//              (21-28); RST (9) high; P3.0-P3.3 (10-13) and P3.4-P3.6 (14-16) select;
//              XTAL1 (19) clocked by the programmer for reads and the bus cycles
//   read       P3.0-P3.3 L, P3.4-P3.6 H, P3.7 H, PSEN L, ALE/PROG L: the part drives
//              P1 with the byte at the address (00h while protected: ours; a
//              protected part must not pass a blank check)
//   bus cycle  the same select levels with PSEN H and ALE/PROG L: a low pulse on
//              P3.7 hands (address, data) to the command decoder at its rising edge
//              (both unchanged since the falling edge)
//   program    AA at 5555, 55 at 2AAA, A0 at 5555, then the byte at its address:
//              programmed (AND) in 10 us (the form leaves some 17 us before the next
//              byte's first cycle); cycles while busy are ignored
//   erase      AA 5555, 55 2AAA, 80 5555, AA 5555, 55 2AAA, 10 5555 with 5 V on EA:
//              the whole chip to 0xFF in 500 ms
//   protect    P3.0 L, P3.1 H, P3.2 L, P3.3 H, P3.4-P3.6 H, PSEN H, ALE/PROG L with
//              5 V on EA and P3.7 low 20 us (no clock needed): programs and erases
//              are ignored from then on, until
//   unprotect  P3.0 H, P3.1 L, P3.2 L, P3.3 H (the rest as protect) with P3.7 low
//              1 ms: the only way back; protection survives power-off
//   command    addresses compare A14-A0 (5555, 2AAA); any other cycle resets the
//              decoder
//   VCC        4.5-5.5 V on pin 40, pin 20 grounded; ratings: any pin 7.0 V
//   refusals   a program or erase the part ignores (protected, busy, no 5 V on EA,
//              a broken command sequence) is noted (Chip::NoteRefusal)
#pragma once

#include <array>
#include <string>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

class Msu2964Chip : public Chip {
public:
    Msu2964Chip();

    std::string Name() const override { return "MSU2964"; }
    int PinCount() const override { return 40; }
    std::vector<int> GroundPins() const override { return {20}; }
    std::vector<int> VccPins() const override { return {40}; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;
    std::span<const std::uint8_t> Contents() const override { return cells_; }
    std::span<std::uint8_t> MutableContents() override { return cells_; }

    bool Protected() const { return protected_; }
    void SetProtected(bool on) { protected_ = on; }
    std::uint64_t Erases() const { return erases_; }

private:
    enum class Pulse : std::uint8_t { None, Bus, Protect, Unprotect };
    void Cycle(std::uint32_t a, std::uint8_t d, bool ea5v);
    void Lost();

    std::vector<std::uint8_t> cells_;
    bool protected_ = false;
    int step_ = 0;  // the command decoder's place
    bool strobeLow_ = false;
    Pulse pulse_ = Pulse::None;
    std::uint32_t pulseAddress_ = 0;
    std::uint8_t pulseData_ = 0;
    Nanos pulseTime_ = 0;
    bool pulseDone_ = false;
    // The self-timed program or erase.
    Nanos busyLeft_ = 0;
    bool busyErase_ = false;
    std::uint32_t busyAddress_ = 0;
    std::uint8_t busyData_ = 0;
    std::uint64_t erases_ = 0;
};

}  // namespace quilla::sim
