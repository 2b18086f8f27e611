// Fuzzes the JEDEC reader: any text, any fuse-map geometry. Whatever the
// reader keeps must come back unchanged through the writer and the reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/jedec.h"
#include "app/workbench.h"

using namespace quilla;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::vector<std::uint8_t> image(ImageSize, 0xFF);
    static std::vector<std::uint8_t> back(ImageSize, 0xFF);
    if (size < 2) return 0;
    FuseWindowState w;
    // Geometry from the first two bytes, including odd and empty maps.
    w.FuseCols = static_cast<int>(data[0] % 70) - 2;
    w.FuseRows = static_cast<int>(data[1]) - 8;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    ReadJedText(image, w, text);
    (void)FuseChecksum(image, w);
    (void)FuseMapLines(image, w);

    const std::string written = JedText(image, w, data[1] % 3);
    ReadJedText(back, w, written);
    // The writer writes whole rows from fuse 0, at most 135 of them.
    if (w.FuseCols > 0) {
        long long n = static_cast<long long>(FuseMapCount(w, image.size()));
        n = std::min<long long>(n, 135LL * w.FuseCols);
        for (long long a = 0; a < n; ++a) {
            // Every map byte comes back as the fuse of its low bit.
            const std::uint8_t expect = (image[static_cast<std::size_t>(a)] & 1u) ? '1' : '0';
            if (back[static_cast<std::size_t>(a)] != expect) std::abort();
        }
    }
    return 0;
}
