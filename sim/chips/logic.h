// Logic chips for the IC tester: 74-series TTL (74LS, and 74HC where a test
// needs the CMOS window) and 40/45-series CMOS, one model with a function per
// type written from the datasheets' function tables. Standard DIP placement
// (bottom-aligned, ground on socket 20).
//
//   power       ground at 0 V on the ground pin and VCC from a programmer supply
//               on the VCC pin inside the family's window (74LS 4.75-5.25 V,
//               74HC 2-6 V, CD4000 3-18 V); otherwise every output floats and
//               the flip-flops and counters start from 0 at the next power-up.
//   inputs      the level on the pin; a floating input reads high (the socket's
//               pull-up).
//   sequential  flip-flops and counters change on their datasheet's edge; the
//               asynchronous inputs (set, clear, reset) act while they are
//               active.
//
// Faulty variants (tests): an output stuck high or low, two outputs swapped
// (each pin drives what the other should), a dead input (it reads its inactive
// level whatever the pin does: a 7474 whose /CLR never clears), an open input
// (reads low), and a chip seated one row off (MakeLogicChipOffset).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

enum class LogicFamily { Ls, Hc, Cd };

// What a type's function sees and drives.
struct LogicIo {
    std::uint32_t in = 0;    // bit p: chip pin p is high now
    std::uint32_t prev = 0;  // ... at the previous change
    std::array<int, 4> state{};  // flip-flops and counters
    std::uint32_t drive = 0;     // bit p: the chip drives pin p ...
    std::uint32_t high = 0;      // ... high

    bool I(int p) const { return (in >> p) & 1u; }
    bool Rise(int p) const { return I(p) && !((prev >> p) & 1u); }
    bool Fall(int p) const { return !I(p) && ((prev >> p) & 1u); }
    void O(int p, bool v) {
        drive |= 1u << p;
        if (v) high |= 1u << p;
    }
};
using LogicFunction = void (*)(LogicIo&);

struct LogicPart {
    const char* name;
    int pins;
    LogicFamily family;
    LogicFunction function;
};

const std::vector<LogicPart>& LogicParts();
const LogicPart* FindLogicPart(std::string_view name);

struct LogicFaults {
    int stuckHighOutput = 0;  // chip pin, 0: none
    int stuckLowOutput = 0;   // chip pin, 0: none
    int swapA = 0, swapB = 0; // chip pins whose driven levels are exchanged, 0: none
    int deadInput = 0;        // chip pin that reads `deadLevel` whatever is driven
    bool deadLevel = true;
    int openInput = 0;        // chip pin that reads low
};

class LogicChip : public Chip {
public:
    explicit LogicChip(const LogicPart& part, LogicFaults faults = {});

    std::string Name() const override { return part_.name; }
    int PinCount() const override { return part_.pins; }
    std::vector<int> GroundPins() const override { return {part_.pins / 2}; }
    std::vector<int> VccPins() const override { return {part_.pins}; }
    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnRemoved() override;

    // Rising and falling edges the chip took on a pin while powered (tests).
    std::uint64_t Edges(int chipPin) const { return edges_[static_cast<std::size_t>(chipPin)]; }
    bool Powered() const { return powered_; }

private:
    const LogicPart& part_;
    LogicFaults faults_;
    bool powered_ = false;
    LogicIo io_;
    std::array<std::uint64_t, 25> edges_{};
};

// A chip of a known part in its standard DIP position; chip empty when unknown.
SeatedPart MakeLogicChip(std::string_view name, LogicFaults faults = {});
// The same part seated one row towards pin 1 of the socket (ground on 19).
SeatedPart MakeLogicChipOffset(std::string_view name);
void RegisterLogicChips(ChipRegistry& registry);

}  // namespace quilla::sim
