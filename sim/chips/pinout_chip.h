// The chip models whose part row names a FlashPinout (the JEDEC, Intel block
// and page-program flash and the 16-bit EPROM): pin count, ground and VCC pins
// from the pinout, the cells erased (FFh) at the start, a row seated on the
// adapter board its pinout names.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "sim/chips/part_rows.h"
#include "sim/designs/adapter_boards.h"

namespace quilla::sim {

template <class PartRow>
class FlashPinoutChip : public PartRowChip<PartRow> {
public:
    int PinCount() const override { return this->part_.pinout->pins; }
    std::vector<int> GroundPins() const override { return this->part_.pinout->gnd; }
    std::vector<int> VccPins() const override { return this->part_.pinout->vcc; }

protected:
    FlashPinoutChip(const PartRow& part, std::size_t bytes) : PartRowChip<PartRow>(part, bytes, 0xFF) {}
};

// A fresh chip of the row on its adapter board; nothing without a row.
template <class ChipModel, class PartRow>
SeatedPart SeatOnAdapter(const PartRow* part, std::string_view name) {
    if (!part) return {};
    return {std::make_unique<ChipModel>(*part), AdapterPlacementFor(name, *part->pinout)};
}

}  // namespace quilla::sim
