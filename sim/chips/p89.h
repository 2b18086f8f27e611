// Philips P89C51-family flash microcontrollers in their parallel programming
// mode (P89C51Uxx-P89C58Uxx, P89C51RA+-RD+, P89C51BP-P89C58BP, P89C51X2-
// P89C58X2, P89C51RA2-RD2 in its two markings). The settings are the levels of
// P2.6, P3.7, P3.0 and P3.1 with P2.7; the sheets' tables were not at hand, so
// each part takes the settings of the form that programs it as its interface
// (family rule 2), one table per part class, strict to it:
//
//   pins          A0-A7 on P1, A8-A13 on P2.0-P2.5, A14 on P3.4, A15 on P3.5,
//                 data on P0; RST high and PSEN low in every setting; XTAL1
//                 clocked; ALE/PROG the pulse (active low); EA/VPP
//   code          read: setting L L L L with P2.7 low (EA high, a logic level or
//                 VPP); program: the class's program setting with P2.7 high and
//                 P3.3 low, VPP in the class's window: a byte programs once
//                 ALE/PROG has been low the class's minimum time (summed over
//                 its pulses; flash cells only go 1 -> 0)
//   erase         chip erase and configuration erase: their setting with P2.7
//                 high, P3.3 and ALE/PROG held low together 100 ms (ours) with
//                 VPP: code and lock bits, or status byte, boot vector and clock
//                 cell, to erased
//   cells         lock bits 1-3, the status byte, the boot vector and the clock
//                 cell: programmed in their setting at their address by one
//                 pulse (status and boot vector take the data byte; lock bits and
//                 the clock cell are set whatever the data)
//   reads         the configuration read answers, by address, the lock byte
//                 (bit n-1 set for a programmed lock bit n), the status byte, the
//                 boot vector and the clock byte (0xFF, 0x7F once programmed); the
//                 signature setting answers the signature cells (others 0xFF)
//   locks         lock bit 1 stops programming, lock bit 2 also the code reads
//                 (0xFF, ours)
//   VCC           4.5-5.5 V; 12 V class VPP 11.5-12.5 V, 4.5 V class 4.25-4.75 V;
//                 ratings: any pin 7.0 V, EA/VPP 13.0 V
// Parts in the PLCC44 package are registered as "<name>*P44" (the 8051 PLCC44
// adapter board).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

enum class P89Op : std::uint8_t { ReadCode, ProgramCode, EraseChip, EraseConfig, ProgramCell, ReadCells };
enum P89Cell : int { kP89Lock1, kP89Lock2, kP89Lock3, kP89Status, kP89Boot, kP89Clock, kP89LockByte, kP89Sig0,
                     kP89Sig1, kP89Sig2, kP89CellCount };

struct P89Setting {
    const char* levels;  // P2.6 P3.7 P3.0 P3.1 ('H'/'L')
    bool p27;            // P2.7 level
    P89Op op;
    std::vector<std::pair<std::uint32_t, int>> cells;  // address -> cell (ProgramCell, ReadCells)
};

struct P89Part {
    std::string name;
    std::uint32_t size = 0;
    int vppMin = 0, vppMax = 0;  // 0.1 V
    Nanos minProgramLow = 0;
    std::vector<P89Setting> settings;
    std::array<std::uint8_t, 3> signature{};
};

class P89Chip : public Chip {
public:
    P89Chip(P89Part part, bool plcc);

    std::string Name() const override { return part_.name + (plcc_ ? "*P44" : ""); }
    int PinCount() const override { return plcc_ ? 44 : 40; }
    std::vector<int> GroundPins() const override { return {P(20)}; }
    std::vector<int> VccPins() const override { return {P(40)}; }
    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    std::span<const std::uint8_t> Contents() const override { return cells_; }
    std::span<std::uint8_t> MutableContents() override { return cells_; }

    // Lock bits programmed: bit n-1 for lock bit n.
    unsigned LockBits() const;
    std::uint8_t Cell(int cell) const { return extra_[static_cast<std::size_t>(cell)]; }
    void SetCell(int cell, std::uint8_t v) { extra_[static_cast<std::size_t>(cell)] = v; }
    std::uint64_t Erases() const { return erases_; }

private:
    int P(int dip) const;
    const P89Setting* Setting(ChipPins& pins) const;
    std::uint32_t Address(ChipPins& pins) const;
    bool VppOk(ChipPins& pins) const;
    void Program(const P89Setting& s, std::uint32_t address, std::uint8_t data);
    std::uint8_t ReadCell(int cell) const;

    P89Part part_;
    bool plcc_;
    std::vector<std::uint8_t> cells_;
    std::array<std::uint8_t, kP89CellCount> extra_{};
    bool strobeLow_ = false;
    // The pulse under way: its setting, address and data at the falling edge.
    bool armed_ = false;
    const P89Setting* armSetting_ = nullptr;
    std::uint32_t armAddress_ = 0;
    std::uint8_t armData_ = 0;
    Nanos fallAt_ = 0;
    // Low time summed for one byte over its pulses.
    const P89Setting* sumSetting_ = nullptr;
    std::uint32_t sumAddress_ = 0;
    std::uint8_t sumData_ = 0;
    Nanos sumLow_ = 0;
    // An erase under way (ALE and P3.3 low in an erase setting).
    const P89Setting* erasing_ = nullptr;
    Nanos eraseLow_ = 0;
    bool eraseDone_ = false;
    std::uint64_t erases_ = 0;
};

const std::vector<P89Part>& P89Parts();
SeatedPart MakeP89(std::string_view name);
void RegisterP89(ChipRegistry& registry);

}  // namespace quilla::sim
