// Simulated times of the EEPROM forms: an AT28C64 written by the byte-write
// form at its default speed, and an X28C010 written by the X28C page form,
// and an AT28C64B written by the AT28CX page form,
// beside the sum of the waits each form queues (its floor by construction), a
// datasheet figure and a common USB programmer's figure. The times are the
// simulated programmer's virtual clock: commands, waits and full-speed USB
// transfers.
#include <cstdio>
#include <random>

#include "algo/common/form.h"
#include "bench/bench_support.h"
#include "catalog/typedlg.h"

using namespace quilla;
using namespace quilla::bench;

namespace {

void Run(const char* title, const char* part, const char* params, int size, const char* write, const char* done,
         double datasheet, const char* datasheetWhat, double common) {
    SimRig rig("vex520", part);
    Workbench& wb = rig.wb;
    sim::Programmer* prog = rig.prog.get();
    WaitCounter& counter = rig.counter;
    TTypeDlg dlg(wb);
    std::mt19937 rng(5);
    for (int i = 0; i < size; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
    auto* form = dynamic_cast<AlgoForm*>(dlg.Dispatch().Open(params));
    if (!form) return;
    const sim::Nanos t0 = prog->Now(), w0 = counter.waits;
    form->Click(write);
    const sim::Nanos dt = prog->Now() - t0, dw = counter.waits - w0;
    std::printf("%s\n", title);
    std::printf("  %-34s %10.3f s  %s\n", "simulated write", Sec(dt),
                form->Text("Message") == done ? "" : form->Text("Message").c_str());
    std::printf("  %-34s %10.3f s\n", "waits the form queues", Sec(dw));
    std::printf("  %-34s %10.3f s\n", "commands and USB transfers", Sec(dt - dw));
    std::printf("  %-34s %10.1f s\n", datasheetWhat, datasheet);
    if (common > 0) std::printf("  %-34s %10.1f s\n", "a common USB programmer", common);
    if (!prog->Violations().empty()) std::printf("  protocol violations: %zu\n", prog->Violations().size());
}

}  // namespace

int main() {
    Run("AT28C64 (8 KiB) by the byte-write form, default speed \"  30mS\"", "AT28C64", "P2816 7", 0x2000,
        "Write", "OK!", 8.2, "datasheet: 8 Ki bytes x 1 ms", 1.7);
    Run("X28C010 (128 KiB) by the X28C form, \"Normal  \"", "X28C010", "X28C 4", 0x20000, "Write",
        "Writing OK.......", 2.5, "datasheet: 512 pages x 5 ms", 0);
    Run("AT28C64B (8 KiB) by the AT28CX page form, \"Normal  \"", "AT28C64B", "AT28CX 8", 0x2000, "Write", "OK!",
        1.3, "datasheet: 128 pages x 10 ms", 1.7);
    std::printf("\nThe byte-write form waits 5 ms after every byte and 40 ms after every 64 bytes\n"
                "(about 46 s for 8 KiB); a common USB programmer writes a page-mode AT28C64B in\n"
                "about 1.7 s. The X28C form waits 10 ms after each 256-byte page (5.1 s). The\n"
                "AT28CX form waits two 10 ms settle waits after each 64-byte page (2.6 s).\n");
    return 0;
}
