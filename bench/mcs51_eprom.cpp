// Simulated times of the 87C5x form (PHI8758) on a 32 KiB 87C58 (5 PROG pulses
// a byte) and a 97C58 (25 pulses): write + verify, beside the sum of the waits
// the form queues (its floor: some 50 us a byte with 5 pulses, 250 us with 25)
// and the datasheet's quick-pulse figure (5 pulses of 100 us a byte, 16.4 s for
// 32 KiB). The times are the simulated programmer's virtual clock.
#include <cstdio>
#include <random>

#include "algo/mcs51/eprom51.h"
#include "app/workbench.h"
#include "bench/bench_support.h"
#include "sim/programmer.h"

using namespace quilla;
using bench::Sec;

int main() {
    constexpr int kSize = 0x8000;
    const double datasheet = kSize * 5 * 100e-6;
    std::printf("87C5x form on the simulated programmer, 32 KiB parts\n");
    std::printf("%-24s %12s %14s %14s %12s\n", "operation", "simulated s", "form waits s", "overhead s",
                "datasheet s");
    struct Case {
        const char* part;
        int row;
    };
    for (const Case c : {Case{"87C58", 6}, Case{"97C58", 17}}) {
        bench::SimRig rig("vex520", c.part);
        auto& prog = rig.prog;
        auto& counter = rig.counter;
        Workbench& wb = rig.wb;
        prog->Log().SetEnabled(false);
        std::mt19937 rng(5);
        for (int i = 0; i < kSize; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
        wb.sel.VariantIndex = c.row;
        wb.sel.DeviceKeyword = "PHI8758";
        TPhi875x form(wb);
        form.SetupForDevice();

        auto run = [&](const char* button, const std::string& label, double reference) {
            const sim::Nanos t0 = prog->Now(), w0 = counter.waits;
            form.Click(button);
            const sim::Nanos dt = prog->Now() - t0, dw = counter.waits - w0;
            char ref[16] = "-";
            if (reference > 0) std::snprintf(ref, sizeof ref, "%.1f", reference);
            std::printf("%-24s %12.3f %14.3f %14.3f %12s  %s\n", label.c_str(), Sec(dt), Sec(dw), Sec(dt - dw), ref,
                        form.Text("Msg") == "OK" ? "" : form.Text("Msg").c_str());
            return dt;
        };
        const sim::Nanos tw = run("Write", std::string("write ") + c.part, datasheet);
        const sim::Nanos tv = run("Verify", "verify", 0.0);
        std::printf("%-24s %12.3f\n", "write + verify", Sec(tw + tv));
        if (!prog->Violations().empty()) std::printf("protocol violations: %zu\n", prog->Violations().size());
    }
    std::printf("\nThe form's floor is its queued waits: 5 pulses of one wait 25 (10 us) a byte on the\n"
                "87C58 (~1.6 s), 25 on the 97C58 (~8.2 s); the datasheet's quick-pulse programming\n"
                "asks 5 pulses of 100 us a byte (~16.4 s): the form's pulses are shorter than that.\n");
    return 0;
}
