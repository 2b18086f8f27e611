// What the chip models built from a table of part rows share: the chip that
// holds its row and one array of cells, the row looked up by name, and every
// row registered under its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/byte_blocks.h"
#include "sim/chip.h"

namespace quilla::sim {

template <class PartRow>
class PartRowChip : public Chip {
public:
    std::string Name() const override { return part_.name; }

    std::span<const std::uint8_t> Contents() const override { return cells_; }
    std::span<std::uint8_t> MutableContents() override { return cells_; }

    const PartRow& Part() const { return part_; }

protected:
    PartRowChip(const PartRow& part, std::size_t bytes, std::uint8_t fill) : part_(part), cells_(bytes, fill) {}

    const PartRow& part_;
    RecycledBytes cells_;  // several MiB in the big parts: kept for the next chip
};

// The row of `parts` named `name`, or null.
template <class PartRow>
const PartRow* FindPartByName(const std::vector<PartRow>& parts, std::string_view name) {
    for (const auto& p : parts)
        if (name == p.name) return &p;
    return nullptr;
}

// Every row of `parts` in the registry under its name, built by `make(name)`.
template <class PartRow, class Make>
void RegisterPartsByName(ChipRegistry& registry, const std::vector<PartRow>& parts, Make make) {
    for (const auto& p : parts) {
        const std::string name = p.name;
        registry.Add(name, [name, make] { return make(name); });
    }
}

}  // namespace quilla::sim
