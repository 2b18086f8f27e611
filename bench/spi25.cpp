// Simulated Write time of the AT25SPI form on an AT25256 (32 KiB, pag=64,
// dly=5: 512 pages, each one transfer with seven 1 ms waits) and of the X5045
// form on an X5045 (512 bytes, each its own write cycle behind one 10 ms
// wait), beside the sum of the waits the form queues (its floor) and the
// datasheet's write cycles (tWC 5 ms a page: 2.56 s; 0.16 s for the X5045 in
// 16-byte pages).
#include <cstdio>
#include <random>

#include "algo/serial/spi25.h"
#include "algo/serial/x5045.h"
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

    bench::SimRig x("vex520", "X5045");
    x.prog->Log().SetEnabled(false);
    for (int i = 0; i < 512; ++i) x.wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
    x.wb.sel.ParamString = "X5045 1";
    x.wb.sel.VariantIndex = 1;
    x.wb.sel.DeviceKeyword = "X5045";
    TX5045x xform(x.wb);
    xform.Show();
    xform.SetupForDevice();
    for (const char* button : {"Write", "Verify"})
        x.Row((std::string("X5045 ") + button).c_str(), [&] {
            xform.Click(button);
            return xform.Text("Msg");
        }, button[0] == 'W' ? 0.16 : 0.0);
    if (!x.prog->Violations().empty()) std::printf("protocol violations: %zu\n", x.prog->Violations().size());

    std::printf("\nThe AT25SPI form's floor is dly + 2 = 7 ms a page (3.6 s); the datasheet's write cycle is\n"
                "5 ms a page (2.6 s). Verify streams the chip with one READ, a reply each 64 bytes.\n"
                "The X5045 form writes byte by byte behind a 10 ms wait each (5.1 s floor); the part's\n"
                "16-byte page write would need 32 cycles of 5 ms (0.16 s), its byte writes 2.56 s.\n");
    return 0;
}
