// Simulated times of the EPROM form on a 27C512: write + verify, and read,
// beside the sum of the waits the form itself queues (its floor by
// construction), a datasheet figure and a common USB programmer's figures.
// The times are the simulated programmer's virtual clock (see the simulator's
// timing table): commands, waits and full-speed USB transfers.
#include <cstdio>
#include <random>

#include "algo/memory/p27.h"
#include "app/workbench.h"
#include "bench/bench_support.h"
#include "engine/protocol.h"
#include "sim/clock.h"
#include "sim/programmer.h"

using namespace quilla;

using bench::Sec;

int main() {
    std::printf("EPROM form on the simulated programmer, 27C512 (64 KiB), row P27 14\n");
    std::printf("%-28s %12s %14s %14s %12s\n", "operation", "simulated s", "form waits s", "overhead s",
                "reference s");
    for (int speed : {0, 4}) {
        bench::SimRig rig("vex520", "AT27C512R");
        auto& prog = rig.prog;
        auto& counter = rig.counter;
        Workbench& wb = rig.wb;
        std::mt19937 rng(5);
        for (int i = 0; i < 0x10000; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
        wb.sel.VariantIndex = 14;
        wb.sel.DeviceKeyword = "P27";
        TP27x form(wb);
        form.Show();
        form.SetupForDevice();
        form.Choose("RadioGroup1", speed);

        auto run = [&](const char* button, const char* label, const char* expect, double reference) {
            const sim::Nanos t0 = prog->Now(), w0 = counter.waits;
            form.Click(button);
            const sim::Nanos dt = prog->Now() - t0, dw = counter.waits - w0;
            char ref[16] = "-";
            if (reference > 0) std::snprintf(ref, sizeof ref, "%.1f", reference);
            std::printf("%-28s %12.3f %14.3f %14.3f %12s  %s\n", label, Sec(dt), Sec(dw), Sec(dt - dw), ref,
                        form.Text("Message") == expect ? "" : form.Text("Message").c_str());
            return dt;
        };
        const char* write = speed == 0 ? "write (F.++)" : "write (S.++)";
        const sim::Nanos tw = run("Write", write, "OK!", 30.0);
        const sim::Nanos tv = run("Verify", "verify", "Data OK!", 0.0);
        std::printf("%-28s %12.3f %14s %14s %12.1f\n", "write + verify", Sec(tw + tv), "", "", 30.0);
        std::printf("%-28s %12s %14s %14s %12.1f\n", "  datasheet programming", "", "", "", 6.5);
        if (speed == 0) run("ReadButton", "read", "OK!", 1.1);
        if (!prog->Violations().empty()) std::printf("protocol violations: %zu\n", prog->Violations().size());
    }
    std::printf("\nreferences: datasheet programming time of a 27C512 about 6.5 s (100 us pulses);\n"
                "a common USB programmer about 30 s to write and 1.1 s to read.\n"
                "The form's floor is its own queued waits: one 1 ms pulse per byte at F.++ (~66 s),\n"
                "five at S.++; the overhead column is what commands and USB transfers add.\n");
    return 0;
}
