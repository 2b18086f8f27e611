// Simulated write times of the PIC serial forms: the PIC16FEE form on a
// PIC16F877 (8K words at dly=1), the PIC1687XA form on a PIC16F877A (the same) and the P16C84 form on a PIC16F84A (1K words,
// "Mid.(10mS)"), the P17C4X form on a PIC17C44 (8K words), the P18FXX2 form on a PIC18F452 (32 KiB), beside the waits the form itself queues (its floor by
// construction) and the programming sheet's per-word figure. The
// times are the simulated programmer's virtual clock: commands, the design's
// serial shifting, waits and full-speed USB transfers.
#include <algorithm>
#include <cstdio>
#include <random>

#include "algo/pic/holtek.h"
#include "algo/pic/mdt.h"
#include "algo/pic/p16c8x.h"
#include "algo/pic/p16c6x.h"
#include "algo/pic/p16f87xa.h"
#include "algo/pic/p16fee.h"
#include "algo/pic/p17c4x.h"
#include "algo/pic/pic18.h"
#include "bench/bench_support.h"

using namespace quilla;
using bench::Sec;

namespace {

template <class Form>
void Run(const char* label, const char* part, const char* keyword, int variant, const char* params, int words,
         double datasheet) {
    bench::SimRig rig("vex520", part);
    Workbench& wb = rig.wb;
    std::mt19937 rng(3);
    for (int a = 0; a < words; ++a) {
        const unsigned w = rng() & 0x3FFF;
        wb.ImageBuffer[static_cast<std::size_t>(2 * a)] = static_cast<std::uint8_t>(w);
        wb.ImageBuffer[static_cast<std::size_t>(2 * a + 1)] = static_cast<std::uint8_t>(w >> 8);
    }
    wb.sel.DeviceKeyword = keyword;
    wb.sel.VariantIndex = variant;
    wb.sel.ParamString = params;
    Form form(wb);
    form.Show();
    form.SetupForDevice();
    rig.prog->Log().SetEnabled(false);
    const sim::Nanos t0 = rig.prog->Now(), w0 = rig.counter.waits;
    form.Click("Write");
    const sim::Nanos dt = rig.prog->Now() - t0, dw = rig.counter.waits - w0;
    form.Click("Verify");
    std::printf("%-38s %12.3f %14.3f %14.3f %12.1f  %s\n", label, Sec(dt), Sec(dw), Sec(dt - dw), datasheet,
                form.Text("Msg") == "OK" ? "" : form.Text("Msg").c_str());
    if (!rig.prog->Violations().empty()) std::printf("protocol violations: %zu\n", rig.prog->Violations().size());
}

// The Holtek form's Write of a 2 KiB ROM from an .OTP image: one transfer per word.
void RunHoltek() {
    bench::SimRig rig("vex520", "HT48R10A-1");
    Workbench& wb = rig.wb;
    auto* img = wb.ImageBuffer.data();
    std::mt19937 rng(5);
    std::fill(img, img + 4096, 0);
    img[0] = 0xC0;
    img[1] = 45;
    img[48] = 0x65;
    img[49] = (2048 + 5) & 0xFF;
    img[50] = (2048 + 5) >> 8;
    for (int i = 0; i < 2048; ++i) img[55 + i] = static_cast<std::uint8_t>(rng());
    const int opt = 45 + 2053 + 6;
    img[opt] = 0x65;
    img[opt + 1] = 68;
    img[opt + 2] = 0;
    wb.sel.DeviceKeyword = "HTOTP";
    wb.sel.VariantIndex = 1;
    wb.sel.ParamString = "HTOTP 1 fla=1024 gnd=10 vcc=5000";
    THoltekOTP1 form(wb);
    form.Show();
    form.SetupForDevice();
    rig.prog->Log().SetEnabled(false);
    const sim::Nanos t0 = rig.prog->Now(), w0 = rig.counter.waits;
    const auto x0 = rig.prog->GetCounters().transfersOut;
    form.Click("Write");
    const sim::Nanos dt = rig.prog->Now() - t0, dw = rig.counter.waits - w0;
    const auto transfers = rig.prog->GetCounters().transfersOut - x0;
    form.Click("Verify");
    std::printf("%-38s %12.3f %14.3f %14.3f %12s  %s(%llu transfers)\n", "HT48R10A-1 2 KiB, HTOTP Write", Sec(dt),
                Sec(dw), Sec(dt - dw), "-", form.Text("Msg") == "OK" ? "" : form.Text("Msg").c_str(),
                static_cast<unsigned long long>(transfers));
}

}  // namespace

int main() {
    std::printf("PIC serial forms on the simulated programmer: Write (then Verify checks it)\n");
    std::printf("%-38s %12s %14s %14s %12s\n", "operation", "simulated s", "form waits s", "overhead s",
                "datasheet s");
    Run<TP16fEEx>("PIC16F877 8K words, PIC16FEE dly=1", "PIC16F877", "PIC16FEE", 8,
                  "PIC16FEE 8 fla=8192 ee=256 dly=1 pkg=40", 8192, 8192 * 0.004);
    Run<TP16f87xa1>("PIC16F877A 8K words, PIC1687XA dly=1", "PIC16F877A", "PIC1687XA", 8,
                    "PIC1687XA 8 fla=8192 ee=256 dly=1 pkg=40", 8192, 1024 * 0.001);
    Run<TP16c6x>("PIC16C74 4K words, P16C61 \"快\"", "PIC16C74", "P16C61", 5, "P16C61 5", 4096, 4096 * 0.0001);
    Run<TP16c8x>("PIC16F84A 1K words, P16C84 10 ms", "PIC16F84A", "P16C84", 6, "P16C84 6", 1024, 1024 * 0.004);
    Run<TMdt20xx>("MDT2020 2K words, MDT2000 Speed 4mS", "MDT2020", "MDT2000", 4, "MDT2000 4", 2048, 0.0);
    // The PIC17C4x form: one wait 26 (1 ms) per word is its floor (8.19 s); the datasheet's 100 us pulses 0.8 s.
    Run<TP17c4x>("PIC17C44 8K words, P17C4X", "PIC17C44", "P17C4X", 1, "P17C4X 1 fla=8192 pkg=40 pm=2", 8192,
                 8192 * 0.0001);
    // The PIC18 flash form: 4,096 panels of 8 bytes, one wait 26 (1 ms) held per panel at dly=1.
    Run<TP18fxx2>("PIC18F452 32 KiB, P18FXX2 dly=1", "PIC18F452", "P18FXX2", 0,
                  "P18FXX2 0 #20 04 fla=32768 ee=256 dly=1 eet=5 pkg=40", 16384, 4096 * 0.001);
    RunHoltek();
    std::printf("\nThe form's floor is its own queued waits: 1 ms per word at dly=1 (8.19 s) on the PIC16F877,\n"
                "10 ms per word (10.24 s) on the PIC16F84A. Datasheet: 4 ms program-only cycle per word\n"
                "(PIC16F87X programming sheet, 32.8 s for 8K words; the model accepts the form's\n"
                "1 ms), 4 ms erase/program cycle on the PIC16F84A. The PIC16F877A takes eight words per\n"
                "1 ms cycle (1,024 rows, about 1 s); the PIC1687XA form programs word by word (8.19 s).\n"
                "The PIC16C74 (one-time) at \"快\": one 10 us wait per word (0.041 s of waits) against the\n"
                "programming sheet's 100 us pulses (0.41 s): the write is bound by the transfers.\n"
                "MDT2020: no published programming figure; the floor is the form's strobes, 2K words x 2\n"
                "halves x 4 ms = 16.4 s (the model's own minimum is 2 ms per half).\n"
                "PIC17C44: one wait 26 (1 ms) per word is the form's floor (8.19 s) against the datasheet's\n"
                "100 us pulses (0.82 s); the model programs after 100 us.\n"
                "PIC18F452: 4,096 panels x 1 ms held (P9) = 4.1 s, the programming sheet's figure and the\n"
                "form's floor at dly=1.\n"
                "HT48R10A-1: one transfer per word (1,024 words, at least 1.02 s of USB frames) plus the\n"
                "two 250 ms power-up settles; no published programming figure.\n");
    return 0;
}
