// The byte-wide DIP memories whose part row gives pins, gnd and vcc (EPROM,
// EEPROM, SRAM): pin count, ground and VCC from the row, D0..D7 on the JEDEC
// byte-wide places (three pins below the ground pin, five above it), a row seated
// in the DIP socket of its pin count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/chips/part_rows.h"

namespace quilla::sim {

template <class PartRow>
class DipMemoryChip : public PartRowChip<PartRow> {
public:
    int PinCount() const override { return this->part_.pins; }
    std::vector<int> GroundPins() const override { return {this->part_.gnd}; }
    std::vector<int> VccPins() const override { return {this->part_.vcc}; }

protected:
    DipMemoryChip(const PartRow& part, std::size_t bytes, std::uint8_t fill)
        : PartRowChip<PartRow>(part, bytes, fill) {
        const int half = part.pins / 2;
        data_ = {half - 3, half - 2, half - 1, half + 1, half + 2, half + 3, half + 4, half + 5};
    }

    std::vector<int> data_;  // chip pins of D0..D7
};

// A fresh chip of the row in the DIP socket; nothing without a row.
template <class ChipModel, class PartRow, class... Args>
SeatedPart SeatInDip(const PartRow* part, Args&&... args) {
    if (!part) return {};
    return {std::make_unique<ChipModel>(*part, std::forward<Args>(args)...), Placement::Dip(part->pins)};
}

}  // namespace quilla::sim
