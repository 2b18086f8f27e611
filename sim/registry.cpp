#include <algorithm>

#include "sim/chip.h"
#include "sim/design.h"

namespace quilla::sim {

const DesignRegistry& DesignRegistry::Builtin() {
    static const DesignRegistry registry = [] {
        DesignRegistry r;
        RegisterBuiltinDesigns(r);
        return r;
    }();
    return registry;
}

const ChipRegistry& ChipRegistry::Builtin() {
    static const ChipRegistry registry = [] {
        ChipRegistry r;
        RegisterBuiltinChips(r);
        return r;
    }();
    return registry;
}

SeatedPart ChipRegistry::Create(std::string_view part) const {
    auto it = parts_.find(part);
    if (it == parts_.end()) return {};
    return it->second();
}

std::vector<std::string> ChipRegistry::Parts() const {
    std::vector<std::string> r;
    for (const auto& [name, f] : parts_) r.push_back(name);
    return r;
}

std::string DesignTagOf(std::span<const std::uint8_t> data) {
    static constexpr std::string_view prefix = "QSIM design=";
    if (data.empty() || data[0] != 0xFF) return {};
    if (data.size() < 1 + prefix.size()) return {};
    if (!std::equal(prefix.begin(), prefix.end(), data.begin() + 1)) return {};
    std::string tag;
    for (std::size_t i = 1 + prefix.size(); i < data.size(); ++i) {
        const std::uint8_t c = data[i];
        if (c == 0) break;
        if (c < 0x21 || c > 0x7E) return {};  // a tag is one printable word
        tag.push_back(static_cast<char>(c));
    }
    return tag;
}

}  // namespace quilla::sim
