// A form's own device table: rows built in code, indexed by VariantIndex, row 0
// the placeholder "???"; a row counts when it is filled (Row::Filled()).
#pragma once

#include <cstddef>
#include <vector>

namespace quilla {

// The number of rows up to the last filled one.
template <class Row>
int FilledRowCount(const std::vector<Row>& table) {
    int n = 0;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].Filled()) n = static_cast<int>(i) + 1;
    return n;
}

// The filled row at index v (1 up), or null.
template <class Row>
const Row* FilledRow(const std::vector<Row>& table, int v) {
    if (v < 1 || v >= static_cast<int>(table.size())) return nullptr;
    const Row& r = table[static_cast<std::size_t>(v)];
    return r.Filled() ? &r : nullptr;
}

}  // namespace quilla
