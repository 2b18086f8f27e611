// Simulated Write time of the AT25SPI form on an AT25256 (32 KiB, pag=64,
// dly=5: 512 pages, each one transfer with seven 1 ms waits), beside the sum
// of the waits the form queues (its floor) and the datasheet's write cycles
// (tWC 5 ms a page).
#include <cstdio>
#include <random>

#include "algo/serial/spi25.h"
#include "bench/bench_support.h"

using namespace quilla;
using bench::Sec;

int main() {
    bench::SimRig rig("vex520", "AT25256");
    rig.prog->Log().SetEnabled(false);
    Workbench& wb = rig.wb;
    std::mt19937 rng(11);
    for (int i = 0; i < 0x8000; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
    wb.sel.ParamString = "AT25SPI 1 len=32768 pag=64 dly=5 vcc=5000";
    wb.sel.VariantIndex = 1;
    wb.sel.DeviceKeyword = "AT25SPI";
    TAt25spi1 form(wb);
    form.Show();
    form.SetupForDevice();
    std::printf("SPI 25 form on the simulated programmer\n");
    std::printf("%-28s %12s %14s %14s %12s\n", "operation", "simulated s", "form waits s", "overhead s", "datasheet s");
    for (const char* button : {"Write", "Verify"}) {
        const sim::Nanos t0 = rig.prog->Now(), w0 = rig.counter.waits;
        form.Click(button);
        const sim::Nanos dt = rig.prog->Now() - t0, dw = rig.counter.waits - w0;
        std::printf("%-28s %12.3f %14.3f %14.3f %12s  %s\n", (std::string("AT25256 ") + button).c_str(), Sec(dt),
                    Sec(dw), Sec(dt - dw), button[0] == 'W' ? "2.56" : "-", form.Text("Msg").c_str());
    }
    if (!rig.prog->Violations().empty()) std::printf("protocol violations: %zu\n", rig.prog->Violations().size());
    std::printf("\nThe form's floor is dly + 2 = 7 ms a page (3.6 s); the datasheet's write cycle is 5 ms a\n"
                "page (2.6 s). Verify streams the chip with one READ, a reply each 64 bytes.\n");
    return 0;
}
