// Fuzzes the shared "%x"/"%d" field reading: any text; the strict decimal
// reading agrees with the prefix reading whenever it accepts a text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/numparse.h"

using namespace quilla;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)ParseHex32(text);
    const auto prefix = ParseDec32(text);
    const auto strict = StrToInt32(text);
    if (strict && (!prefix || *prefix != *strict)) std::abort();
    return 0;
}
