// What the one-time-programmable controller models built from a pin table
// share (CR80, MDT, EM78, Holtek, PIC16C5x, PIC17C4x): the package, supply
// pins and absolute maximum ratings of the model's pin table; program memory
// as image bytes (word n at 2n, low byte first, then its high bits; bits
// outside the word's mask read 0); the supply windows; the drivers of an
// output port; the count of locations programmed; and every part row
// registered under its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "sim/chips/part_rows.h"

namespace quilla::sim {

// A supply window, both ends inside.
struct SupplyWindow {
    Tenths min, max;
    constexpr bool Holds(Tenths v) const { return v >= min && v <= max; }
};

// Absolute maximum ratings: any pin, and the pin that takes the programming voltage.
struct PinRatings {
    Tenths any, vpp;
};

// A model's package and supplies.
struct PinTable {
    int pins;                   // package pins
    std::vector<int> gnd, vcc;  // chip pins of VSS and VDD (the first VDD pin powers the chip)
    int vpp;                    // the pin that takes the programming voltage
    PinRatings rated;
};

// The table of a package row with `count` pins, one `vdd` and one `vss` pin,
// and the programming voltage on chip pin `vpp`.
template <class Package>
PinTable PackageTable(const Package& package, int vpp, PinRatings rated) {
    return {.pins = package.count, .gnd = {package.vss}, .vcc = {package.vdd}, .vpp = vpp, .rated = rated};
}

// The chip's drivers on a port of its pins (bit i of a value on port[i]):
// released only while they drive.
class PortDrivers {
public:
    void Drive(ChipPins& pins, std::span<const int> port, std::uint32_t value) {
        pins.DriveBus(port, value);
        driving_ = true;
    }
    void Release(ChipPins& pins, std::span<const int> port) {
        if (!driving_) return;
        pins.ReleaseBus(port);
        driving_ = false;
    }
    // The chip left the socket, which released its outputs itself.
    void Forget() { driving_ = false; }
    bool Driving() const { return driving_; }

private:
    bool driving_ = false;
};

// 14-bit words carried through a 7-bit port in two halves (the CR80 and MDT
// models): the half `high` selects (bits 7-13, or bits 0-6), and what a half
// programmed with `value` ANDs into the word.
constexpr unsigned HalfOfWord(std::uint16_t w, bool high) { return high ? (w >> 7) & 0x7Fu : w & 0x7Fu; }
constexpr std::uint16_t HalfProgramMask(std::uint8_t value, bool high) {
    return high ? static_cast<std::uint16_t>((value << 7) | 0x7F) : static_cast<std::uint16_t>(0x3F80 | value);
}

// `Mask` holds a program word's bits; `Blank` is an unprogrammed word.
template <class PartRow, std::uint16_t Mask, std::uint16_t Blank = Mask>
class PinTableChip : public PartRowChip<PartRow> {
public:
    static constexpr std::uint16_t Erased = Blank;
    // VDD from which the chip's logic runs.
    static constexpr Tenths PowerOnReset = 15;

    int PinCount() const override { return table_.pins; }
    std::vector<int> GroundPins() const override { return table_.gnd; }
    std::vector<int> VccPins() const override { return table_.vcc; }
    AbsoluteMaximum Ratings() const override {
        AbsoluteMaximum r;
        r.anyPin = table_.rated.any;
        r.pins = {{table_.vpp, table_.rated.vpp}};
        return r;
    }

    // Program word `address`; Erased outside program memory, where SetWord writes nothing.
    std::uint16_t Word(int address) const {
        if (address < 0 || address >= this->part_.words) return Erased;
        const auto i = static_cast<std::size_t>(2 * address);
        return static_cast<std::uint16_t>((this->cells_[i] | (this->cells_[i + 1] << 8)) & Mask);
    }
    void SetWord(int address, std::uint16_t w) {
        if (address < 0 || address >= this->part_.words) return;
        const auto i = static_cast<std::size_t>(2 * address);
        this->cells_[i] = static_cast<std::uint8_t>(w & 0xFF);
        this->cells_[i + 1] = static_cast<std::uint8_t>((w >> 8) & (Mask >> 8));
    }
    // Locations programmed so far (pulses that reached the minimum time).
    int Programmed() const { return programmed_; }

protected:
    // Every program word unprogrammed.
    PinTableChip(const PartRow& part, PinTable table)
        : PartRowChip<PartRow>(part, static_cast<std::size_t>(2 * part.words), 0), table_(std::move(table)) {
        for (int a = 0; a < part.words; ++a) SetWord(a, Erased);
    }

    // The supplies on the powering VDD pin and on the VPP pin.
    Tenths VddSupply(ChipPins& pins) const { return pins.SupplyVoltage(table_.vcc.front()); }
    Tenths VppSupply(ChipPins& pins) const { return pins.SupplyVoltage(table_.vpp); }
    // A ground pin stands at 0 V.
    bool Grounded(ChipPins& pins) const {
        for (int p : table_.gnd)
            if (pins.Grounded(p)) return true;
        return false;
    }
    // Programming time summed to the minimum (the slow factor multiplies it).
    bool Reached(Nanos sum, Nanos minimum) const {
        return static_cast<double>(sum) >= static_cast<double>(minimum) * this->SlowFactor();
    }

    const PinTable table_;
    int programmed_ = 0;
};

// Every row of `parts` in the registry under its name: a fresh ChipModel of
// the row, placed where `place(row)` says, or by default in the DIP socket of
// the chip's pin count.
template <class ChipModel, class PartRow, class Place>
void RegisterPinTableParts(ChipRegistry& registry, const std::vector<PartRow>& parts, Place place) {
    for (const PartRow& p : parts)
        registry.Add(p.name, [&p, place] { return SeatedPart{std::make_unique<ChipModel>(p), place(p)}; });
}
template <class ChipModel, class PartRow>
void RegisterPinTableParts(ChipRegistry& registry, const std::vector<PartRow>& parts) {
    for (const PartRow& p : parts)
        registry.Add(p.name, [&p] {
            auto chip = std::make_unique<ChipModel>(p);
            const int pins = chip->PinCount();
            return SeatedPart{std::move(chip), Placement::Dip(pins)};
        });
}

}  // namespace quilla::sim
