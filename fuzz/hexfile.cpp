// Fuzzes the Intel HEX reader: any text. Nothing may be stored above 0xFFFFF
// (the byte after it is a canary), the reported end stays inside that range,
// and reading is deterministic.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/hexfile.h"

using namespace quilla;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // 1 MiB and one canary byte: a store past the reader's stop hits the
    // canary, one further out is caught by AddressSanitizer.
    static std::vector<std::uint8_t> image(HexMaxStoreAddr + 2, 0xFF);
    image[HexMaxStoreAddr + 1] = 0xA5;
    const HexReadResult r = ParseHex({data, size}, image);
    if (image[HexMaxStoreAddr + 1] != 0xA5) std::abort();
    if (r.HighestAddr < 0 || r.HighestAddr > HexMaxStoreAddr) std::abort();
    if (r.ChecksumErrorLine < 0) std::abort();
    return 0;
}
