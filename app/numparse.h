// Numbers typed into fields or read from text files. Every window and form
// reads "%x" and "%d" fields through these helpers, so they all agree:
// leading blanks are skipped, the longest valid prefix is taken, an optional
// sign is honoured, and the value is kept modulo 2^32 as a signed 32-bit
// number. No valid prefix at all means "unreadable" (an empty optional).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quilla {

// "%x": optional sign, optional "0x"/"0X", hex digits ("ffffffff" is -1).
std::optional<std::int32_t> ParseHex32(std::string_view text);
// "%d": optional sign, decimal digits.
std::optional<std::int32_t> ParseDec32(std::string_view text);

// A whole field read as a decimal integer, the strict way: blanks around the
// number are allowed, anything else (trailing letters, an empty field, a
// value outside the signed 32-bit range) makes it unreadable.
std::optional<std::int32_t> StrToInt32(std::string_view text);

}  // namespace quilla
