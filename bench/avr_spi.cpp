// Simulated Write times of the AVR serial (SPI) forms: the AT90S2323 (1,024
// words, each byte written on its own with the row's six 1 ms waits) and the
// ATtiny26 (64 pages of 16 words, six 1 ms waits a page), and of the 12 V
// serial form on an ATtiny12 (512 words, a transfer and 8 ms of waits each),
// beside the sum of the waits the forms queue (their floor) and the
// datasheets' write times (tWD_PROG 4 ms a byte at 5 V; tWD_FLASH 4.5 ms a
// page; the ATtiny12's self-timed byte writes as the model times them, 4 ms).
#include <cstdio>
#include <random>
#include <string>

#include "algo/avr/hvsp_form.h"
#include "algo/avr/spi_form.h"
#include "bench/bench_support.h"

using namespace quilla;
using bench::Sec;

int main() {
    struct Part {
        const char* chip;
        const char* keyword;
        const char* params;
        double datasheet;
    };
    std::printf("AVR serial and 12 V serial forms on the simulated programmer\n");
    std::printf("%-28s %12s %14s %14s %12s\n", "operation", "simulated s", "form waits s", "overhead s", "datasheet s");
    for (const Part& p : {Part{"AT90S2323", "AT90S2323", "AT90S2323 1", 2048 * 4e-3},
                          Part{"ATtiny26", "ATINY2", "ATINY2 1 pkg=20", 64 * 4.5e-3},
                          Part{"ATtiny12", "ATINY1", "ATINY1 2", 1024 * 4e-3}}) {
        bench::SimRig rig("vex520", p.chip);
        rig.prog->Log().SetEnabled(false);
        Workbench& wb = rig.wb;
        std::mt19937 rng(9);
        for (int i = 0; i < 0x800; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
        wb.sel.ParamString = p.params;
        wb.sel.VariantIndex = std::string(p.keyword) == "ATINY1" ? 2 : 1;
        wb.sel.DeviceKeyword = p.keyword;
        std::unique_ptr<AvrForm> form;
        if (std::string(p.keyword) == "ATINY2") form = std::make_unique<TAtiny2x>(wb);
        else if (std::string(p.keyword) == "ATINY1") form = std::make_unique<TAtiny1x>(wb);
        else form = std::make_unique<TAt90s2323x>(wb);
        form->Show();
        form->SetupForDevice();
        const sim::Nanos t0 = rig.prog->Now(), w0 = rig.counter.waits;
        form->Click("Write");
        const sim::Nanos dt = rig.prog->Now() - t0, dw = rig.counter.waits - w0;
        std::printf("%-28s %12.3f %14.3f %14.3f %12.2f  %s\n", (std::string(p.chip) + " write").c_str(), Sec(dt),
                    Sec(dw), Sec(dt - dw), p.datasheet, form->Text("Msg") == "OK" ? "" : form->Text("Msg").c_str());
        if (!rig.prog->Violations().empty()) std::printf("protocol violations: %zu\n", rig.prog->Violations().size());
    }
    std::printf("\nThe AT90S2323 form waits 6 ms after each of its 2,048 bytes (12.3 s); the datasheet asks\n"
                "4 ms at 5 V (8.2 s). The ATtiny26 form waits 6 ms a page (0.38 s); the datasheet 4.5 ms\n"
                "(0.29 s). The overhead is the serial clock (200 kHz, 40 us a byte: the page loads of the\n"
                "ATtiny26 take 5 ms a page) and the enable tries. The ATtiny12 form sends each word in its\n"
                "own transfer with two waits of 4 ms (4.1 s of waits; the frames and transfers add 0.2 s).\n");
    return 0;
}
