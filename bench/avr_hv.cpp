// Simulated times of the ATmega form (high-voltage parallel) on an ATmega8
// (8 KiB, 128 pages) and an ATmega128 (128 KiB, 512 pages): Write at both
// page waits and Read, beside the sum of the waits the form queues (its floor
// by construction), the datasheet's page programming time (tWLRH 4.5 ms at
// most per page) and an SPI in-system programmer of the STK500 class (about
// 2.5 KB/s written).
#include <cstdio>
#include <memory>
#include <random>
#include <tuple>
#include <string>

#include "algo/avr/at90s.h"
#include "algo/avr/at90s_pins.h"
#include "algo/avr/atmega.h"
#include "bench/bench_support.h"

using namespace quilla;
using bench::Sec;

int main() {
    struct Part {
        const char* name;
        const char* params;
        int variant;
        int pkg;
        int flash;
        int pages;
    };
    std::printf("ATmega form on the simulated programmer\n");
    std::printf("%-30s %12s %14s %14s %12s %12s\n", "operation", "simulated s", "form waits s", "overhead s",
                "datasheet s", "ISP s");
    for (const Part& p : {Part{"ATmega8", "ATMEGAX 1 pkg=28", 1, 28, 0x2000, 128},
                          Part{"ATmega128", "ATMEGAX 5 pkg=41", 5, 41, 0x20000, 512}}) {
        for (const char* speed : {"Slow  ", "Fast写"}) {
            bench::SimRig rig("vex520", p.name);
            rig.prog->Log().SetEnabled(false);
            Workbench& wb = rig.wb;
            std::mt19937 rng(5);
            for (int i = 0; i < p.flash; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
            wb.sel.ParamString = p.params;
            wb.sel.VariantIndex = p.variant;
            wb.sel.DeviceKeyword = "ATMEGAX";
            TAtmegax form(wb);
            form.Show();
            form.SetupForDevice();
            form.SetText("Speed", speed);
            auto run = [&](const char* button, const std::string& label, const char* expect, double datasheet,
                           double isp) {
                const sim::Nanos t0 = rig.prog->Now(), w0 = rig.counter.waits;
                form.Click(button);
                const sim::Nanos dt = rig.prog->Now() - t0, dw = rig.counter.waits - w0;
                char ds[16] = "-", is[16] = "-";
                if (datasheet > 0) std::snprintf(ds, sizeof ds, "%.2f", datasheet);
                if (isp > 0) std::snprintf(is, sizeof is, "%.1f", isp);
                std::printf("%-30s %12.3f %14.3f %14.3f %12s %12s  %s\n", label.c_str(), Sec(dt), Sec(dw),
                            Sec(dt - dw), ds, is, form.Text("Msg") == expect ? "" : form.Text("Msg").c_str());
            };
            const std::string tag = std::string(p.name) + (speed[0] == 'S' ? " write (10 waits)" : " write (5 waits)");
            run("Write", tag, "OK", p.pages * 4.5e-3, p.flash / 2500.0);
            if (speed[0] == 'S') run("Read1", std::string(p.name) + " read", "OK", 0, 0);
            if (!rig.prog->Violations().empty()) std::printf("protocol violations: %zu\n", rig.prog->Violations().size());
        }
    }
    // The AT90S8515 written word by word: fixed waits against the ready wait.
    for (const auto& [form_, params, variant, keyword] :
         {std::tuple{"TAt90s8515x (fixed waits)", "AT90S8515 2", 2, "AT90S8515"},
          std::tuple{"TAT90sx (ready-polled)", "AT90S 4", 4, "AT90S"}}) {
        bench::SimRig rig("vex520", "AT90S8515");
        rig.prog->Log().SetEnabled(false);
        Workbench& wb = rig.wb;
        std::mt19937 rng(6);
        for (int i = 0; i < 0x2000; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
        wb.sel.ParamString = params;
        wb.sel.VariantIndex = variant;
        wb.sel.DeviceKeyword = keyword;
        std::unique_ptr<AlgoForm> form;
        if (variant == 2) form = std::make_unique<TAt90s8515x>(wb);
        else form = std::make_unique<TAT90sx>(wb);
        form->Show();
        form->SetupForDevice();
        const sim::Nanos t0 = rig.prog->Now(), w0 = rig.counter.waits;
        form->Click("Write");
        const sim::Nanos dt = rig.prog->Now() - t0, dw = rig.counter.waits - w0;
        std::printf("%-30s %12.3f %14.3f %14.3f %12.2f %12.1f  %s\n", (std::string("AT90S8515 ") + form_).c_str(),
                    Sec(dt), Sec(dw), Sec(dt - dw), 4096 * 2 * 0.9e-3, 0x2000 / 2500.0, form->Text("Msg").c_str());
    }
    std::printf("\nThe form's floor is its page wait: 10 ms a page (1.28 s for the ATmega8, 5.12 s for the\n"
                "ATmega128), 5 ms with \"Fast写\". The datasheet asks at most 4.5 ms a page (0.58 s, 2.3 s).\n"
                "Read takes one USB transfer per flash word (the form flushes in every word read), so it is\n"
                "bound by the 1 ms frame spacing of full-speed transfers. The AT90S8515 takes 4,096 words of two\n"
                "bytes: two 2 ms waits a word in TAt90s8515x (16.4 s of waits), the chip's ready output (tWLRH\n"
                "0.7 ms in the model, 0.9 ms at most: 7.4 s) in TAT90sx, whose waits the programmer ends itself.\n");
    return 0;
}
