// Fuzzes the ".CON" side-file readers of the PIC forms (two-byte word, eight-
// and eleven-character settings): nothing read outside the file's bytes, and
// what a reader takes comes back unchanged through its writer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "algo/pic/p12c508.h"
#include "algo/pic/pic_form.h"
#include "fuzz_files.h"

using namespace quilla;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int items = data[0] % 12;
    const std::string path = fuzz::ScratchFile("a.CON", data + 1, size - 1);

    if (auto w = ReadConfigWordFile(path)) {
        const std::string back = fuzz::ScratchDir() / "w.CON";
        if (!WriteConfigWordFile(back, *w)) std::abort();
        if (ReadConfigWordFile(back) != w) std::abort();
    }
    if (auto c = ReadConFile8(path, items)) {
        if (c->item < 0 || c->item >= items) std::abort();
        const std::string back = fuzz::ScratchDir() / "c8.CON";
        if (!WriteConFile8(back, *c, std::string(reinterpret_cast<const char*>(data), size > 8 ? 8 : size)))
            std::abort();
        auto again = ReadConFile8(back, items);
        if (!again || again->item != c->item) std::abort();
        for (int k = 0; k < 3; ++k)
            if (again->box[k] != c->box[k]) std::abort();
    }
    if (auto b = ReadConFile11(path)) {
        const std::string back = fuzz::ScratchDir() / "c11.CON";
        if (!WriteConFile11(back, *b, std::string(reinterpret_cast<const char*>(data), size > 4 ? 4 : size)))
            std::abort();
        if (ReadConFile11(back) != b) std::abort();
    }
    (void)ScanHexDigits(std::string(reinterpret_cast<const char*>(data), size), items);
    return 0;
}
