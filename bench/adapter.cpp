// Simulated read and write times of the adapter-socket JEDEC flash form on a
// 16-bit part (AT49BV322A, 4 MiB, row P29F640 1): beside the wire's floor (8 KiB
// per read transfer; 128 program steps a flush, each transfer at least one 1 ms
// frame after the previous) and a common USB programmer's 100 KB/s reads. The
// 8 MiB figures are twice the 4 MiB ones (the largest modelled 16-bit part has
// 4 MiB).
#include <algorithm>
#include <cstdio>
#include <random>

#include "algo/memory/p29f640.h"
#include "app/workbench.h"
#include "bench/bench_support.h"

using namespace quilla;
using bench::Sec;

int main() {
    constexpr int kSize = 0x400000;
    bench::SimRig rig("vex520", "AT49BV322A");
    rig.prog->Log().SetEnabled(false);
    Workbench& wb = rig.wb;
    std::mt19937 rng(7);
    for (int i = 0; i < kSize; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
    wb.sel.ParamString = "P29F640 1 mem=6 dly=200 prt=3 msk=10 vcc=3300";
    wb.sel.DeviceKeyword = "P29F640";
    wb.sel.VariantIndex = 1;
    TP29f640x form(wb);
    form.Show();
    form.SetupForDevice();

    std::printf("Adapter JEDEC flash form on the simulated programmer, AT49BV322A (4 MiB x16), row P29F640 1\n");
    std::printf("%-14s %12s %12s %12s %14s\n", "operation", "simulated s", "8 MiB s", "wire floor s", "100 KB/s ref s");
    auto run = [&](const char* button, const char* label, const char* expect, double floor, double reference) {
        const sim::Nanos t0 = rig.prog->Now();
        form.Click(button);
        const double dt = Sec(rig.prog->Now() - t0);
        std::printf("%-14s %12.3f %12.3f %12.3f %14s  %s\n", label, dt, 2 * dt, floor,
                    reference > 0 ? std::to_string(reference).substr(0, 5).c_str() : "-",
                    form.Text("Message") == expect ? "" : form.Text("Message").c_str());
    };
    // Reads: one OUT transfer and one 8 KiB IN transfer a block, each at least a frame apart.
    const double blocks = kSize / 8192.0;
    const double readFloor = blocks * (0.001 + 0.001 * 128 / 19.0);
    run("ReadButton", "read", "OK!", readFloor, kSize / 100000.0);
    // Writes: 128 steps (3 bytes each) a transfer; a transfer's words take the chip 128 x 12 us,
    // longer than the frame the next transfer waits for.
    const double flushes = kSize / 256.0;
    const double writeFloor = flushes * std::max(0.001, 128 * 12e-6);
    run("Write", "write", "OK!", writeFloor, 0);
    run("Verify", "verify", "OK..", readFloor, 0);
    if (!rig.prog->Violations().empty()) std::printf("protocol violations: %zu\n", rig.prog->Violations().size());
    std::printf("\nThe wire floor: reads 8 KiB a transfer; writes 128 steps a flush, each flush the longer of\n"
                "one frame and the chip's 128 x 12 us. A common USB programmer reads about 100 KB/s.\n");
    return 0;
}
