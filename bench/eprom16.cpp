// Simulated write time of the 16-bit EPROM adapter form (I27CX) on an Am27C4096
// (512 KiB, row 3) at its device line's dly=10: beside the pulse floor (words x
// dly= x 10 us) and the wire cost of the stream (about 11 bytes a word at
// dly=1: data 3, strobe low 3, the pulse waits, strobe high 3, step 1).
#include <cstdio>
#include <random>

#include "algo/memory/i27cx.h"
#include "app/workbench.h"
#include "bench/bench_support.h"

using namespace quilla;
using bench::Sec;

int main() {
    constexpr int kSize = 0x80000;
    constexpr int kWords = kSize / 2;
    std::printf("16-bit EPROM adapter form on the simulated programmer, Am27C4096 (512 KiB), row I27CX 3\n");
    std::printf("%-8s %12s %14s %14s %12s\n", "dly=", "simulated s", "pulse floor s", "bytes/word", "result");
    for (int dly : {1, 10}) {
        bench::SimRig rig("vex520", "AM27C4096");
        rig.prog->Log().SetEnabled(false);
        Workbench& wb = rig.wb;
        std::mt19937 rng(9);
        for (int i = 0; i < kSize; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
        wb.sel.ParamString = "I27CX 3 mem=4 dly=" + std::to_string(dly) + " vcc=6250";
        wb.sel.DeviceKeyword = "I27CX";
        wb.sel.VariantIndex = 3;
        Ti27cx form(wb);
        form.Show();
        form.SetupForDevice();
        const auto bytes0 = rig.prog->GetCounters().bytesOut;
        const sim::Nanos t0 = rig.prog->Now();
        form.Click("Write");
        const double dt = Sec(rig.prog->Now() - t0);
        const double perWord = static_cast<double>(rig.prog->GetCounters().bytesOut - bytes0) / kWords;
        std::printf("%-8d %12.3f %14.3f %14.2f %12s\n", dly, dt, kWords * dly * 10e-6, perWord,
                    form.Text("Message").c_str());
    }
    std::printf("\nThe pulse floor is the time the strobe is low; the rest is the command bytes (1 us each\n"
                "on the programmer) and one transfer per 128 words, each at least a 1 ms frame apart.\n");
    return 0;
}
