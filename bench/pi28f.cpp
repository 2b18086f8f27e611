// Simulated time of the PI28F form's batch on a whole programmed 28F010:
// erase pulses (at least 21 of the programmer's 100 ms waits), blank check,
// write and verify, beside the form's own erase waits, the wire cost of its 7
// command bytes a byte and the datasheet's typical 1 s chip erase and 2 s chip
// program. The times are the simulated programmer's virtual clock: commands,
// waits and full-speed USB transfers.
#include <algorithm>
#include <cstdio>
#include <random>

#include "algo/common/form.h"
#include "bench/bench_support.h"
#include "catalog/typedlg.h"

using namespace quilla;
using namespace quilla::bench;

int main() {
    constexpr int kSize = 0x20000;
    SimRig rig("vex520", "28F010");
    Workbench& wb = rig.wb;
    sim::Programmer* prog = rig.prog.get();
    auto cells = prog->GetChip()->MutableContents();
    std::fill(cells.begin(), cells.end(), 0x00);
    TTypeDlg dlg(wb);
    std::mt19937 rng(5);
    for (int i = 0; i < kSize; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
    auto* form = dynamic_cast<AlgoForm*>(dlg.Dispatch().Open("PI28F 4"));
    if (!form) return 1;
    prog->Log().SetEnabled(false);
    const sim::Nanos t0 = prog->Now();
    const auto bytes0 = prog->GetCounters().bytesOut;
    form->Click("Button1");
    const sim::Nanos dt = prog->Now() - t0;
    const double wire = static_cast<double>(prog->GetCounters().bytesOut - bytes0);
    std::printf("28F010 (128 KiB) by the PI28F form, batch Erase, Blank, Write, Verify\n");
    std::printf("  %-44s %10.3f s  %s\n", "simulated batch", Sec(dt),
                form->Text("Message") == "End OK.." ? "" : form->Text("Message").c_str());
    std::printf("  %-44s %10.1f s\n", "the form's erase waits: 21 x 100 ms at least", 21 * 0.1);
    std::printf("  %-44s %10.1f s  (%.0f bytes out)\n", "the wire: 7 command bytes a byte", 7.0 * kSize / 64.0 / 19.0 / 1000.0,
                wire);
    std::printf("  %-44s %10.1f s\n", "datasheet: typical chip erase", 1.0);
    std::printf("  %-44s %10.1f s\n", "datasheet: typical chip program", 2.0);
    if (!prog->Violations().empty()) std::printf("  protocol violations: %zu\n", prog->Violations().size());
    return 0;
}
