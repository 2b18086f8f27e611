// The 20-pin 8051 parts programmed through their internal address counter:
// Atmel's AT89C1051/2051/4051 (flash, from their datasheets) and the
// 97C1051/2051 (one-time programmable; no public programming description was
// found, so the programmer's settings are their interface, kept strict).
//
//   pins      1 RST/VPP, 2 P3.0, 3 P3.1 (RDY/BSY), 5 XTAL1, 6 P3.2 (the program
//             strobe), 7 P3.3, 8 P3.4, 9 P3.5, 10 GND, 11 P3.7, 12-19 P1 (the
//             data), 20 VCC
//   modes     P3.3 P3.4 P3.5 P3.7: read L L H H, write L H H H, chip erase H L L L
//             (flash only), lock bit 1 H H H H, lock bit 2 H H L L, signature
//             L L L L (counter 0: 1E, counter 1: the device byte)
//   counter   undefined after power-up (the AT89C2051 programming description
//             resets it with RST rising from L to H before any write): until RST
//             rises with VCC up, the counter stands at no known address and every
//             byte write is refused (reads answer whatever cell it happens to
//             stand at; erase and lock bits need no address); set to 0 by RST
//             rising; stepped by a pulse on XTAL1
//             (AT89C parts, at its falling edge) or by each edge on P3.0 (97C
//             parts; the first P3.0 edge after the reset completes it and does not
//             count: the programmer's power-up ends with P3.0 falling)
//   reads     the read and signature modes with RST at a logic high drive P1 with
//             the byte at the counter (0xFF once lock bit 2 is set: ours)
//   AT89C     12 V (11.5-12.5 V) on RST/VPP from a supply: a low pulse on P3.2 in
//             the write or lock mode starts the self-timed cycle at its rising
//             edge (1.2 ms; RDY/BSY low meanwhile; a pulse while busy is ignored);
//             the erase mode erases once P3.2 has been low 10 ms in all; lock bit
//             1 stops programming, lock bit 2 also reads; erase clears both
//   97C       12.5 V (12.0-13.0 V) on RST/VPP: in the write mode a byte programs
//             once P3.2 has been low 1 ms in all with the same counter and data
//             (the programmer gives 25 pulses of 100 us); a lock bit once low
//             20 us in its mode (25 pulses of one command); no erase
//   VCC       4.5-5.5 V while writing; reads 2.7-6.0 V (AT89C), 4.5-5.5 V (97C)
//   ratings   any pin 7.0 V, RST/VPP 13.0 V
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

struct Counter51Part {
    std::string name;
    std::uint32_t size;
    std::uint8_t device;  // the signature byte at counter 1
    bool otp;             // the 97C parts
};

class Counter51Chip : public Chip {
public:
    explicit Counter51Chip(Counter51Part part);

    std::string Name() const override { return part_.name; }
    int PinCount() const override { return 20; }
    std::vector<int> GroundPins() const override { return {10}; }
    std::vector<int> VccPins() const override { return {20}; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;
    std::span<const std::uint8_t> Contents() const override { return cells_; }
    std::span<std::uint8_t> MutableContents() override { return cells_; }

    unsigned LockBits() const { return locks_; }
    void SetLockBits(unsigned b) { locks_ = b; }
    std::uint32_t Counter() const { return counter_; }

private:
    enum class Mode : std::uint8_t { None, Read, Write, Erase, Lock1, Lock2, Signature };
    Mode ModeOf(ChipPins& pins) const;
    void Lost();
    void Commit();

    Counter51Part part_;
    std::vector<std::uint8_t> cells_;
    unsigned locks_ = 0;
    bool powered_ = false, rst_ = false, xtal_ = false, p30_ = false, strobeLow_ = false;
    bool resetPending_ = false;  // 97C: the first P3.0 edge after the reset
    std::uint32_t counter_ = 0;
    bool counterKnown_ = false;  // RST has risen since the power came
    // AT89C self-timed cycle.
    bool armed_ = false;
    Mode armMode_ = Mode::None;
    std::uint8_t armData_ = 0;
    Nanos busyLeft_ = 0;
    Mode busyMode_ = Mode::None;
    std::uint32_t busyAddress_ = 0;
    std::uint8_t busyData_ = 0;
    // Held (erase; 97C program and locks).
    Mode held_ = Mode::None;
    std::uint32_t heldAddress_ = 0;
    std::uint8_t heldData_ = 0;
    Nanos heldTime_ = 0;
    bool heldDone_ = false;
};

SeatedPart MakeCounter51(std::string_view name);
void RegisterCounter51(ChipRegistry& registry);

}  // namespace quilla::sim
