// Simulated write time of the P89LPC932 form on a P89LPC932 (8 KiB, 128 pages
// of 64 bytes: one transfer per page, then status polls, one reply each),
// beside the model's page time (4 ms erase and program per page). The times are
// the simulated programmer's virtual clock: commands, waits and full-speed USB
// transfers.
#include <cstdio>
#include <random>

#include "algo/mcs51/p89lpc9.h"
#include "bench/bench_support.h"
#include "sim/chips/lpc9xx.h"

using namespace quilla;

int main() {
    std::printf("%-26s %12s %14s %14s %12s\n", "operation", "simulated s", "form waits s", "overhead s",
                "model s");
    bench::SimRig rig("vex520", "P89LPC932");
    rig.prog->Log().SetEnabled(false);
    std::mt19937 rng(3);
    for (int i = 0; i < 0x2000; ++i) rig.wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
    rig.wb.sel.VariantIndex = 1;
    rig.wb.sel.DeviceKeyword = "P89LPC932";
    rig.wb.sel.ParamString = "P89LPC932 1 len=8192 sec=64 vcc=3300";
    TP89lpc932 form(rig.wb);
    form.SetupForDevice();
    const double pageTime = static_cast<double>(sim::Lpc9xxChip::PageTime) / 1e9;
    rig.Row("LPC932 write 8 KiB", [&] {
        form.Click("Write");
        return form.Text("Msg") == "OK" ? std::string() : form.Text("Msg");
    }, 128 * pageTime);
    return 0;
}
