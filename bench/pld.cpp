// Simulated times of the 22V10 form (P22V10 1, a GAL22V10): Read (5,808 array
// bits, 20 architecture bits and the 132 of row 44, one reply exchange each:
// 5,960 exchanges) and Write (the whole map queued in one transfer), beside
// their transfer floor: every exchange is an OUT and an IN transfer and no
// transfer starts within 1 ms of the previous one, and the bytes sent take
// ceil(n / 64) / 19 ms (the larger of the two). Also the GAL 16V8 form's Write and Read (row waits and
// 64 samples per reply) for comparison.
#include <algorithm>
#include <cstdio>

#include "algo/pld/gal.h"
#include "algo/pld/p22v10.h"
#include "app/jedec.h"
#include "bench/bench_support.h"

using namespace quilla;
using bench::Sec;

namespace {

template <class Form>
void Run(const char* part, const char* keyword, int variant, const char* title) {
    bench::SimRig rig("vex520", part);
    Workbench& wb = rig.wb;
    wb.sel.VariantIndex = variant;
    wb.sel.DeviceKeyword = keyword;
    Form form(wb);
    form.Show();
    form.SetupForDevice();
    for (int n = 0; n < 6000; ++n) wb.ImageBuffer[static_cast<std::size_t>(n)] = (n * 7 % 5) ? '1' : '0';
    std::printf("%s\n", title);
    std::printf("%-8s %12s %10s %10s %14s %12s\n", "", "simulated s", "OUT", "IN", "transfer floor", "form waits");
    for (const char* button : {"Write", "Read1"}) {
        const auto c0 = rig.prog->GetCounters();
        const sim::Nanos t0 = rig.prog->Now(), w0 = rig.counter.waits;
        form.Click(button);
        const auto c1 = rig.prog->GetCounters();
        const sim::Nanos dt = rig.prog->Now() - t0;
        const auto outs = c1.transfersOut - c0.transfersOut, ins = c1.transfersIn - c0.transfersIn;
        const auto bytesOut = c1.bytesOut - c0.bytesOut;
        // Each transfer starts at least 1 ms after the previous; the bytes move at 19 packets a frame.
        const double floor = std::max(static_cast<double>(outs + ins - 1) * 1e-3,
                                      static_cast<double>((bytesOut + 63) / 64) / 19e3);
        std::printf("%-8s %12.3f %10llu %10llu %14.3f %12.3f  %s\n", button, Sec(dt),
                    static_cast<unsigned long long>(outs), static_cast<unsigned long long>(ins), floor,
                    Sec(rig.counter.waits - w0), form.Text("Msg").c_str());
    }
    if (!rig.prog->Violations().empty()) std::printf("protocol violations: %zu\n", rig.prog->Violations().size());
    std::printf("\n");
}

}  // namespace

int main() {
    Run<TP22V10x>("GAL22V10", "P22V10", 1, "22V10 form (P22V10 1, GAL22V10)");
    Run<TGALx>("GAL16V8B", "GAL3M", 3, "GAL form (GAL3M 3, GAL16V8B)");
    std::printf("The 22V10 Read is bound by its 5,960 reply exchanges (two transfers each, a frame apart);\n"
                "its Write by one 38,024-byte transfer and the commands in it. The GAL Write is bound by its\n"
                "program pulses (three or four 10 ms settle waits a row).\n");
    return 0;
}
