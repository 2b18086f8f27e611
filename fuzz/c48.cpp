// Fuzzes the ".c48" side-file reader for every form that keeps one: nothing
// read outside the bytes, one entry per data byte of the form, and what the
// writer stores reads back as the same settings.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "algo/common/c48.h"
#include "algo/common/sidefile.h"
#include "fuzz_files.h"

using namespace quilla;

namespace {
constexpr C48Form kForms[] = {C48P18fxx2, C48P18cxxx, C48P17c4x, C48Em78p458x, C48P16cxxx1, C48Atmega162x};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const C48Form& form = kForms[data[0] % std::size(kForms)];
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);

    const std::vector<std::uint8_t> decoded = TextModeDecode(bytes);
    if (auto s = ParseC48(decoded, form)) {
        if (static_cast<int>(s->size()) != form.DataBytes) std::abort();
        // Written back (missing bytes as 0) and read again: the same bytes.
        std::vector<std::uint8_t> values;
        for (const auto& v : *s) values.push_back(v.value_or(0));
        const std::string back = fuzz::ScratchDir() / "back.c48";
        if (!WriteC48(back, form, values)) std::abort();
        auto again = ReadC48(back, form);
        if (!again || again->size() != values.size()) std::abort();
        for (std::size_t k = 0; k < values.size(); ++k)
            if ((*again)[k] != values[k]) std::abort();
    }
    // The same bytes as a file on disk.
    const std::string path = fuzz::ScratchFile("a.c48", bytes.data(), bytes.size());
    auto fromFile = ReadC48(path, form);
    auto fromText = ParseC48(decoded, form);
    if (fromFile.has_value() != fromText.has_value()) std::abort();
    if (fromFile && *fromFile != *fromText) std::abort();
    // Encoding and decoding agree.
    if (TextModeDecode(TextModeEncode(decoded)) != std::vector<std::uint8_t>(decoded.begin(),
            std::find(decoded.begin(), decoded.end(), 0x1A)))
        std::abort();
    return 0;
}
