// Simulated times of the I2C form on a 24C256 (32 KiB, row P24 9): Write at the
// page delay "10 ms" in the "Fast" (64-byte pages) and "Mid." (32) write modes,
// and Read in both read modes, beside the waits the form queues (its floor:
// 2 waits of 10 ms per page) and the datasheet (a 5 ms write cycle per 64-byte
// page; about 0.7 s of bus at 400 kHz for the 32 KiB and their addresses).
#include <cstdio>
#include <random>

#include "algo/serial/i2c.h"
#include "bench/bench_support.h"

using namespace quilla;

int main() {
    constexpr int kBytes = 32768;
    std::printf("I2C form on the simulated programmer, 24C256 (32 KiB), row P24 9\n");
    std::printf("%-26s %12s %14s %14s %12s\n", "operation", "simulated s", "form waits s", "overhead s",
                "datasheet s");
    bench::SimRig rig("vex520", "24C256");
    rig.prog->Log().SetEnabled(false);
    Workbench& wb = rig.wb;
    std::mt19937 rng(5);
    for (int i = 0; i < kBytes; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
    wb.sel.VariantIndex = 9;
    wb.sel.DeviceKeyword = "P24";
    TP24c0x form(wb);
    form.Show();
    form.SetupForDevice();
    form.Choose("Speed", 0);

    auto run = [&](const char* button, const char* label, const char* expect, double datasheet) {
        rig.Row(label, [&] {
            form.Click(button);
            return form.Text("Msg") == expect ? std::string() : form.Text("Msg");
        }, datasheet);
    };
    const double bus = 0.7;
    form.Choose("RadioGroup1", 0);
    run("Write", "write Fast, 10 ms", "OK", 512 * 5e-3 + bus);
    form.Choose("RadioGroup1", 1);
    run("Write", "write Mid., 10 ms", "OK", 512 * 5e-3 + bus);
    form.Choose("RadioGroup2", 0);
    run("Read1", "read single bytes", "OK", bus * 2);
    form.Choose("RadioGroup2", 1);
    run("Read1", "read continuous", "OK", bus);
    if (!rig.prog->Violations().empty()) std::printf("protocol violations: %zu\n", rig.prog->Violations().size());
    std::printf("\nThe form's floor at \"10 ms\" is 512 pages x 20 ms = 10.2 s in \"Fast\" (twice that in \"Mid.\");\n"
                "the datasheet's 5 ms write cycle would allow about 2.6 s plus the bus.\n");
    return 0;
}
