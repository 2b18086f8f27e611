// Numbers typed into form fields ("%x"/"%d" reading, the program's one field
// parser in app/numparse.h) and the texts the forms show.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace quilla {

std::optional<std::int32_t> ScanHex(const std::string& text);
std::optional<std::int32_t> ScanDec(const std::string& text);

// "%06x" of a value (a negative value shows as 0), "%x", "%02x" and "%04x" of
// its low byte and low 16 bits.
std::string Hex6(std::int32_t v);
std::string HexPlain(std::int32_t v);
std::string Hex2(unsigned v);
std::string Hex4(unsigned v);

// A printf-style text (the forms' messages with their numbers): the format
// takes exactly the arguments given.
template <class First, class... Rest>
std::string FormatText(const char* format, First first, Rest... rest) {
    const int n = std::snprintf(nullptr, 0, format, first, rest...);
    if (n <= 0) return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    std::snprintf(text.data(), text.size() + 1, format, first, rest...);
    return text;
}

// The memory forms' check texts: a blank check's first byte that is not FFh
// ("%06x:Err. Not Blank=%02x", offset and byte) and a comparison's first
// difference ("%06x:Error.(File=%02x,chip=%02x)", image index, image byte,
// chip byte).
std::string NotBlankText(std::int64_t offset, unsigned chipByte);
std::string MismatchText(std::int64_t file, unsigned imageByte, unsigned chipByte);

}  // namespace quilla
