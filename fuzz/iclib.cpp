// Fuzzes the logic tester's .LIB as its form loads it (the series' library
// file from the program folder): any bytes, any length. A library the form
// takes must index only inside its buffer; clicking its types must stay there.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "algo/tester/ictest.h"
#include "app/workbench.h"
#include "fuzz_files.h"
#include "fuzz_prompts.h"

using namespace quilla;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::QuietPrompts prompts;
    static Workbench wb(prompts);
    static TICTestx form(wb);
    wb.ProgramDir = (fuzz::ScratchDir() / "lib").string() + "/";
    fuzz::ScratchFile("lib/TTL74.LIB", data, size);
    if (!form.LoadIcLibrary("TTL74.LIB")) return 0;
    if (form.EntryCount < 0 || static_cast<std::size_t>(form.EntryCount) >= form.Entries.size()) std::abort();
    const auto n = static_cast<std::int64_t>(form.IcLibraryBuffer.size());
    for (int i = 0; i < form.EntryCount; ++i) {
        const auto& e = form.Entries[static_cast<std::size_t>(i)];
        const std::int64_t end = e.Offset + ictest::HeaderBytes + std::int64_t{ictest::VectorBytes} * e.Count;
        if (e.Offset < 0 || (e.Count > 0 && end > n)) std::abort();
        (void)form.TypeText(e.Type);
    }
    // The list's lines, clicked.
    const int lines = static_cast<int>(form.Get("ListBox1").Items.size());
    for (int i = 0; i < lines && i < 8; ++i) form.Choose("ListBox1", i);
    return 0;
}
