// Fuzzes design (.bit) files: the loader's header scan and packets on the
// host, and the simulated programmer's recognition of the design it received.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/workbench.h"
#include "engine/fatal.h"
#include "fuzz_files.h"
#include "fuzz_prompts.h"
#include "sim/programmer.h"

using namespace quilla;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FatalIntercept intercept;
    static sim::Programmer programmer(sim::ModelConfig::For("vex520"));
    static fuzz::QuietPrompts prompts;
    // One workbench for all runs: building its 8 MiB image each run would
    // make the fuzzer crawl.
    static Workbench wb(prompts, &programmer);
    wb.Ep3.ProgramDir = fuzz::ScratchDir().string() + "/";
    wb.Ep3.Connected = 1;
    wb.Ep3.ProgrammerModel = "vex520";
    fuzz::ScratchFile("BLib/fuzz.bit", data, size);
    try {
        wb.Ep3.LoadBitFile("fuzz.bit");
    } catch (const FatalExit&) {
        // The broken-link end (a rejected design is reported, never a crash).
    }
    return 0;
}
