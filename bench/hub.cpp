// Simulated write time of the SST firmware-hub form on an SST49LF008A (1 MiB):
// the whole chip written with one and with two 25 us waits a byte, beside the
// form's own waits (its floor by construction) and the datasheet's 14 us a
// byte (chip rewrite about 15 s). The times are the simulated programmer's
// virtual clock: commands, waits and full-speed USB transfers.
#include <cstdio>
#include <random>

#include "algo/memory/sst49lf.h"
#include "app/workbench.h"
#include "bench/bench_support.h"

using namespace quilla;

using bench::Sec;

int main() {
    constexpr int kSize = 0x100000;
    std::printf("SST firmware-hub form on the simulated programmer, SST49LF008A (1 MiB), row SST49LF008 4\n");
    std::printf("%-22s %12s %14s %14s %14s\n", "operation", "simulated s", "form waits s", "overhead s",
                "datasheet s");
    for (int speed : {0, 1}) {
        bench::SimRig rig("vex520", "SST49LF008A");
        auto& prog = rig.prog;
        auto& counter = rig.counter;
        Workbench& wb = rig.wb;
        prog->Log().SetEnabled(false);
        std::mt19937 rng(5);
        for (int i = 0; i < kSize; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
        wb.sel.VariantIndex = 4;
        wb.sel.DeviceKeyword = "SST49LF008";
        TSst49lf008x form(wb);
        form.Show();
        form.SetupForDevice();
        form.Choose("Speed", speed);

        const sim::Nanos t0 = prog->Now(), w0 = counter.waits;
        form.Click("Write");
        const sim::Nanos dt = prog->Now() - t0, dw = counter.waits - w0;
        std::printf("%-22s %12.3f %14.3f %14.3f %14.1f  %s\n", speed == 0 ? "write (Fast)" : "write (Slow)",
                    Sec(dt), Sec(dw), Sec(dt - dw), 14e-6 * kSize,
                    form.Text("Message") == "OK!" ? "" : form.Text("Message").c_str());
        if (!prog->Violations().empty()) std::printf("protocol violations: %zu\n", prog->Violations().size());
    }
    std::printf("\nThe form's floor is its own queued waits: one 25 us wait a byte (1 MiB x 25 us, 26 s),\n"
                "two at Slow; the overhead column is what commands, the 1 KiB read-backs and the USB\n"
                "transfers add. Datasheet: 14 us a byte (chip rewrite about 15 s).\n");
    return 0;
}
