// 8051 flash parts whose writer mode no public datasheet describes (the
// SM8951/SM89516/SM2951-SM2954 kind, the MSU2951-MSU2958, the SM59 parts):
// their interface is the programmer's settings for them, kept strict. A part is
// a table of operations, each the exact levels of its pins:
//
//   power     VCC from a supply inside the part's window on pin 40, pin 20
//             grounded; RST (9) high in every operation
//   clock     the programmer's clock on XTAL1 (19), or (the MSU parts) at least
//             48 rising edges on XTAL1 given by hand since RST last rose: without
//             them nothing is written
//   address   A0-A7 on P1 (1-8), A8-A15 on P2 (21-28); the part decodes its size
//   data      P0 (39-32): inputs while writing, outputs in a read operation
//   reads     while the levels of a read operation hold, the part drives P0 with
//             the code byte (0xFF once a lock bit that stops reading is set) or,
//             for the configuration read, its configuration cell
//   held      a program, erase or lock operation without a trigger pin works
//             while its levels hold, with VPP on EA inside the part's window: a
//             byte programs (AND) once its address and data have held for the
//             operation's time (summed over pulses of the same byte); the erase
//             once its levels have held for the erase time in all (summed over
//             pulses, back to 0 only when power goes); a lock bit once held for
//             its time
//   triggered an operation with a trigger pin starts on the rising edge of a low
//             pulse on that pin, given while its levels held (address and data
//             taken at the falling edge, unchanged to the rising edge), and runs
//             self-timed for its time; a pulse while busy is ignored
//   erase     code to 0xFF, lock bits cleared (the configuration cell stays)
//   locks     from `lockNoProgram` on, programs are ignored; from `lockNoRead` on,
//             reads answer 0xFF (ours: what a locked read shows)
//   fixed     a part may keep an area the writer never changes (the SM59264's
//             0xFC00-0xFFFF: fixed and locked, programs and erases leave it)
//   slow      the slow factor multiplies every time
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"
#include "sim/chips/mode_table.h"

namespace quilla::sim {

enum class PinOp : std::uint8_t { Read, Program, Erase, Lock, ConfigRead, ConfigWrite, ConfigErase, Signature };

struct PinTableOp {
    PinOp op;
    std::vector<PinLevel> levels;  // chip pins
    Nanos time = 0;                // held: minimum; triggered: busy time
    int trigger = 0;               // pin of the low pulse that starts it (0: held)
    int lockBit = 0;               // Lock: which bit (1..)
    bool vpp = true;               // needs VPP on EA (when the part has a window)
};

struct PinTable51Part {
    std::string name;
    std::uint32_t size = 0;
    Tenths vccMin = 45, vccMax = 55;
    Tenths vppMin = 0, vppMax = 0;  // window on EA for writes (0: no supply needed)
    bool handClock = false;         // 48 edges by hand on XTAL1 instead of the clock output
    std::vector<PinTableOp> ops;
    int lockNoProgram = 1, lockNoRead = 1;
    std::uint32_t fixedFrom = 0;    // a fixed area from here to the end (0: none)
    // A0..A15 (empty: P1, then P2.0-P2.7).
    std::vector<int> addressPins;
    // The signature read: its cells by the low address byte, and where the
    // configuration cell answers (-1: nowhere).
    std::map<std::uint32_t, std::uint8_t> signature;
    int configAt = -1;
    // ConfigWrite programs the data's 0 bits into the cell (else the cell takes A7-A1).
    bool configFromData = false;
    Tenths absAny = 70, absEa = 140;
};

class PinTable51Chip : public Chip {
public:
    explicit PinTable51Chip(PinTable51Part part);

    std::string Name() const override { return part_.name; }
    int PinCount() const override { return 40; }
    std::vector<int> GroundPins() const override { return {20}; }
    std::vector<int> VccPins() const override { return {40}; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;
    std::span<const std::uint8_t> Contents() const override { return cells_; }
    std::span<std::uint8_t> MutableContents() override { return cells_; }

    unsigned LockBits() const { return locks_; }
    void SetLockBits(unsigned b) { locks_ = b; }
    // The configuration cell (the SM59064's ISP size: 0xFF unwritten).
    std::uint8_t Config() const { return config_; }
    void SetConfig(std::uint8_t v) { config_ = v; }
    std::uint64_t Erases() const { return erases_; }

private:
    const PinTableOp* Match(ChipPins& pins) const;
    bool CanWrite(ChipPins& pins, const PinTableOp& op) const;
    void Apply(const PinTableOp& op, std::uint32_t address, std::uint8_t data);
    void PowerLost();

    PinTable51Part part_;
    std::vector<std::uint8_t> cells_;
    unsigned locks_ = 0;
    std::uint8_t config_ = 0xFF;
    // Hand clocks since RST rose.
    int clocks_ = 0;
    bool rst_ = false, xtal_ = false;
    // The held operation in progress.
    const PinTableOp* held_ = nullptr;
    std::uint32_t heldAddress_ = 0;
    std::uint8_t heldData_ = 0;
    Nanos heldTime_ = 0;
    bool heldDone_ = false;
    Nanos eraseTime_ = 0;  // summed over erase pulses
    // Triggered operations.
    std::vector<bool> triggerLow_, triggers_;
    const PinTableOp* armed_ = nullptr;
    std::uint32_t armAddress_ = 0;
    std::uint8_t armData_ = 0;
    const PinTableOp* busy_ = nullptr;
    std::uint32_t busyAddress_ = 0;
    std::uint8_t busyData_ = 0;
    Nanos busyLeft_ = 0;
    std::uint64_t erases_ = 0;
};

SeatedPart MakePin51(std::string_view name);
void RegisterPin51(ChipRegistry& registry);
const std::vector<PinTable51Part>& Pin51Parts();

}  // namespace quilla::sim
