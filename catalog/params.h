// The parameter string of a device line: its keyword, variant number, expected
// chip ID, key=value items and the adapter name.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/selection.h"  // ReadLong, GetParam

namespace quilla {

// What a dispatch derives from a parameter string.
struct ParsedParams {
    bool HasBlank = false;       // false: keyword, variant and ID are not derived
    std::string DeviceKeyword;   // text before the first blank
    int VariantIndex = 0;        // number after the first blank
    bool HasVariant = false;     // digits follow the first blank (blanks and a sign may come first)
    std::array<std::uint8_t, 4> ExpectedId{};  // bytes after '#', 0 when missing
};
ParsedParams ParseParamString(std::string_view paramString);

// The adapter name for a parameter string and a type text: the 15 characters
// after "adp=", else the name of the last package mark of the table found in
// the type text, else empty.
std::string AdapterFor(std::string_view paramString, std::string_view typeText);

// `text` as a message quotes it: whole up to `max` characters, else its first
// `max` characters and "...".
std::string ShortForMessage(std::string_view text, std::size_t max = 60);

}  // namespace quilla
