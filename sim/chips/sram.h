// Byte-wide static RAMs and battery-backed non-volatile RAMs (the 6116 to
// 628512 class, the W24129A and the DS12xx NV SRAM modules): one model with a
// table of parts, each following its datasheet's JEDEC byte-wide pinout and
// truth table:
//
//   power       VCC from a programmer supply on the VCC pin, ground at 0 V.
//               The chip works (reads and writes) while VCC stands above the
//               part's trip point (SRAMs: 4.5 V, the W24129A 4.75 V; NV
//               modules: write protection by 4.25 V for the Y parts, 4.5 V for
//               the AB parts); below it every input is ignored and the outputs
//               float. Above the absolute maximum (7 V SRAMs, 6 V NV modules)
//               the socket records a violation.
//   read        CE low, CE2 high (parts that have it), OE low, WE high: the
//               cell at the address pins on D0..D7.
//   write       CE low, CE2 high and WE low: the cycle starts at the later
//               falling edge of CE and WE and ends at the earlier rising edge;
//               the address and the data are taken at its end. A cycle shorter
//               than the write pulse width (tWP, 100 ns here) writes nothing.
//               WE low disables the outputs whatever OE says.
//   retention   an NV module keeps its cells with VCC off (its lithium cell);
//               a plain SRAM loses them when VCC falls below its 2 V data
//               retention level and powers up holding random bytes (seeded per
//               chip and power-up, so a run can be repeated).
//
// Faulty variants (tests): a data bit stuck at one address, an open address
// input (the chip sees it low: the upper half aliases onto the lower), a dead
// cell (ignores writes), an NV module with a flat battery (it forgets like a
// plain SRAM). A smaller part in a bigger row needs no variant: seat the part.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chips/dip_memory.h"

namespace quilla::sim {

struct SramPart {
    const char* name;
    int pins;                  // 24, 28 or 32
    std::uint32_t size;        // bytes
    std::vector<int> address;  // chip pins of A0, A1, ...
    int ce, oe, we, vcc, gnd;
    int ce2;                   // active-high second chip enable, 0: none
    bool nonVolatile;          // battery-backed module
    Tenths tripPoint;          // below it: write-protected, outputs off
    Tenths absMax;             // absolute maximum on any pin
};

const std::vector<SramPart>& SramParts();
const SramPart* FindSramPart(std::string_view name);

struct SramFaults {
    std::int32_t stuckAddress = -1;  // cell whose bit `stuckBit` always reads `stuckHigh`
    int stuckBit = 0;
    bool stuckHigh = true;
    int openAddressBit = -1;         // address input that is not bonded (reads low)
    std::int32_t deadCell = -1;      // cell that ignores writes
    bool flatBattery = false;        // NV module without retention
};

class SramChip : public DipMemoryChip<SramPart> {
public:
    explicit SramChip(const SramPart& part, SramFaults faults = {}, unsigned seed = 1);

    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    // Write cycles the chip took (tests: a stray pulse is one too many).
    std::uint64_t Writes() const { return writes_; }

    static constexpr Nanos WritePulseWidth = 100;

private:
    std::uint32_t Address(ChipPins& pins) const;
    std::uint8_t Data(ChipPins& pins) const;
    std::uint8_t ReadCell(std::uint32_t a) const;
    void PowerDown();
    void PowerUp();

    SramFaults faults_;
    std::mt19937 rng_;

    bool working_ = false;   // VCC above the trip point
    bool retained_ = true;   // the cells survived since the last power-down
    bool writing_ = false;   // a write cycle is open
    Nanos writeTime_ = 0;    // its length so far
    std::uint64_t writes_ = 0;
};

// A chip of a known part in its standard DIP position; chip empty when unknown.
SeatedPart MakeSram(std::string_view name, SramFaults faults = {}, unsigned seed = 1);
void RegisterSrams(ChipRegistry& registry);

}  // namespace quilla::sim
