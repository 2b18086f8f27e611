// Fuzzes the binary load with each load mode and any start address, on a
// small image so its end is reached often: nothing stored outside the image,
// the last address inside [start - 1, image end].
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/binfile.h"

using namespace quilla;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const LoadModeRow& mode = LoadModes[data[0] % LoadModeCount];
    constexpr int kImage = 4096;
    std::vector<std::uint8_t> image(kImage, 0xFF);
    // Starts from a little before the image to a little past it.
    const int start = (data[1] << 8 | data[2]) % (kImage + 64) - 32;
    const int last = StoreBin({data + 3, size - 3}, image, start, mode.Mask, mode.Match);
    if (start < 0 || start >= kImage) {
        if (last != start - 1) std::abort();
        return 0;
    }
    if (last < start - 1 || last >= kImage) std::abort();
    // Every kept input byte up to the image end is where the mode puts it.
    int i = start;
    for (std::size_t j = 0; j < size - 3 && i <= last; ++j)
        if ((static_cast<int>(j) & mode.Mask) == mode.Match && image[i++] != data[3 + j]) std::abort();
    return 0;
}
