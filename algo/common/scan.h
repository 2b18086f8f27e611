// Numbers typed into form fields ("%x"/"%d" reading, the program's one field
// parser in app/numparse.h) and the texts the forms show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quilla {

std::optional<std::int32_t> ScanHex(const std::string& text);
std::optional<std::int32_t> ScanDec(const std::string& text);

// "%06x" of a value (a negative value shows as 0), "%x", "%02x".
std::string Hex6(std::int32_t v);
std::string HexPlain(std::int32_t v);
std::string Hex2(unsigned v);

}  // namespace quilla
