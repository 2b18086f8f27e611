// Simulated write times of the logic-level 8051 flash forms: the page-write
// form on a T89C51RD2 (64 KiB, 512 pages of 128 bytes, a wait 27 with
// ALE/PROG low for each) and the SST89E564 form on an SST89E564RD (64 KiB
// byte by byte, a wait 25 after each pulse), beside the sum of the waits each
// form queues (its floor) and the datasheet-side figure the models take (the
// RD2 model's 5 ms page cycle, the SST model's 10 us byte program: see
// sim/chips/flash51.h), and the 89C2051 form's 2 KiB byte write through the
// chip's address counter beside the sheet's 1.2 ms write cycle. The times are the simulated programmer's virtual clock:
// commands, waits and full-speed USB transfers.
#include <cstdio>
#include <random>

#include "algo/mcs51/p2051.h"
#include "algo/mcs51/rd2.h"
#include "algo/mcs51/sst89.h"
#include "bench/bench_support.h"

using namespace quilla;

namespace {

void Fill(Workbench& wb, unsigned seed) {
    std::mt19937 rng(seed);
    for (int i = 0; i < 0x10000; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
}

}  // namespace

int main() {
    std::printf("%-26s %12s %14s %14s %12s\n", "operation", "simulated s", "form waits s", "overhead s",
                "model s");
    {
        bench::SimRig rig("vex520", "T89C51RD2");
        rig.prog->Log().SetEnabled(false);
        Fill(rig.wb, 3);
        rig.wb.sel.VariantIndex = 4;
        rig.wb.sel.DeviceKeyword = "AT89C51RD2";
        TAt89c51rd2x form(rig.wb);
        form.SetupForDevice();
        rig.Row("RD2 page write 64 KiB", [&] {
            form.Click("Write");
            return form.Text("Msg") == "OK" ? std::string() : form.Text("Msg");
        }, 512 * 5e-3);
        rig.Row("RD2 verify 64 KiB", [&] {
            form.Click("Verify");
            return form.Text("Msg") == "OK" ? std::string() : form.Text("Msg");
        }, 0.0);
    }
    {
        bench::SimRig rig("vex520", "SST89E564RD");
        rig.prog->Log().SetEnabled(false);
        Fill(rig.wb, 4);
        rig.wb.sel.VariantIndex = 4;
        rig.wb.sel.DeviceKeyword = "SST89E564";
        TSST89e564x form(rig.wb);
        form.SetupForDevice();
        rig.Row("SST89E564RD byte write", [&] {
            form.Click("Write");
            return form.Text("Msg") == "OK" ? std::string() : form.Text("Msg");
        }, 0x10000 * 10e-6);
        rig.Row("SST89E564RD verify", [&] {
            form.Click("Verify");
            return form.Text("Msg") == "OK" ? std::string() : form.Text("Msg");
        }, 0.0);
    }
    {
        bench::SimRig rig("vex520", "AT89C2051");
        rig.prog->Log().SetEnabled(false);
        Fill(rig.wb, 5);
        rig.wb.sel.VariantIndex = 2;
        rig.wb.sel.DeviceKeyword = "P2051";
        TP2051x form(rig.wb);
        form.SetupForDevice();
        rig.Row("89C2051 write 2 KiB", [&] {
            form.Click("Write");
            return form.Text("Msg") == "OK" ? std::string() : form.Text("Msg");
        }, 0x800 * 1.2e-3);
        rig.Row("89C2051 verify 2 KiB", [&] {
            form.Click("Verify");
            return form.Text("Msg") == "OK!!!" ? std::string() : form.Text("Msg");
        }, 0.0);
    }
    std::printf("\nThe RD2 form holds ALE/PROG low 10 ms a page (5.1 s for 512 pages) and polls nothing;\n"
                "the SST form waits 10 us after each byte's pulse (0.66 s for 64 KiB) and sends one\n"
                "transfer per 256 bytes. The 89C2051 form waits 2 ms after each byte's pulse at \"Mid.\" (4.1 s\n"
                "for 2 KiB, one transfer per 256 bytes) where the sheet's write cycle is 1.2 ms (2.5 s).\n");
    return 0;
}
