// Simulated times of the Microwire form on a 93C86 in byte organisation
// (2,048 bytes, row P93 8): Write at each speed item and Read, beside the sum
// of the waits the form queues (its floor: one item's worth of 1 ms waits per
// byte) and the datasheet's figures (write cycle 2 ms per byte at most; a
// read clocks 22 bits per byte at up to 2 MHz).
#include <cstdio>
#include <random>

#include "algo/serial/microwire.h"
#include "bench/bench_support.h"

using namespace quilla;

int main() {
    constexpr int kBytes = 2048;
    std::printf("Microwire form on the simulated programmer, 93C86 x8 (2 KiB), row P93 8\n");
    std::printf("%-26s %12s %14s %14s %12s\n", "operation", "simulated s", "form waits s", "overhead s",
                "datasheet s");
    for (int speed : {2, 0}) {
        bench::SimRig rig("vex520", "93C86");
        auto& prog = rig.prog;
        Workbench& wb = rig.wb;
        std::mt19937 rng(5);
        for (int i = 0; i < kBytes; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
        wb.sel.VariantIndex = 8;
        wb.sel.DeviceKeyword = "P93";
        TP93cxx form(wb);
        form.Show();
        form.SetupForDevice();
        form.Choose("Speed", speed);

        auto run = [&](const char* button, const std::string& label, const char* expect, double datasheet) {
            rig.Row(label.c_str(), [&] {
                form.Click(button);
                return form.Text("Msg") == expect ? std::string() : form.Text("Msg");
            }, datasheet);
        };
        run("Write", "write (" + SerialForm::SpeedItems[static_cast<std::size_t>(speed)] + ")", "Done",
            kBytes * 2e-3);
        run("Verify", "verify", "Verified!", kBytes * 22 / 2e6);
        if (speed == 2) run("Read1", "read", "Data in buffer..", kBytes * 22 / 2e6);
        if (!prog->Violations().empty()) std::printf("protocol violations: %zu\n", prog->Violations().size());
    }
    std::printf("\nThe form's floor at \"5  ms/byte \" is 2,048 x 5 ms = 10.2 s of waits; the datasheet's write\n"
                "cycle (2 ms at most) would allow 4.1 s. Reads cost one USB exchange per byte.\n");
    return 0;
}
