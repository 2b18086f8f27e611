// Fuzzes the CDS load (binary load in mode "All", then the shift by two) on a
// small image: nothing read or written outside it, the two bytes after the
// header land at the start.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/binfile.h"

using namespace quilla;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    constexpr int kImage = 1024;
    std::vector<std::uint8_t> image(kImage, 0xFF);
    const int start = data[0] % 8 == 0 ? kImage - 3 : 0;  // sometimes right at the end
    const int last = StoreBin({data + 1, size - 1}, image, start, 0, 0);
    CdsShift(image, last);
    if (start == 0 && size >= 4 && (image[0] != data[3])) std::abort();
    return 0;
}
