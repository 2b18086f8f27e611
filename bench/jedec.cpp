// Simulated time of the JEDEC byte-program form SST29XF writing a whole
// SST39SF040 at "Mid.": beside the form's own filler waits after each byte,
// the wire cost of its 40 command bytes a byte, the datasheet's rewrite time
// and a common USB programmer's figure. The times are the simulated
// programmer's virtual clock: commands, waits and full-speed USB transfers.
#include <cstdio>
#include <random>

#include "algo/common/form.h"
#include "bench/bench_support.h"
#include "catalog/typedlg.h"

using namespace quilla;
using namespace quilla::bench;

int main() {
    constexpr int kSize = 0x80000;
    SimRig rig("vex520", "SST39SF040");
    Workbench& wb = rig.wb;
    sim::Programmer* prog = rig.prog.get();
    TTypeDlg dlg(wb);
    std::mt19937 rng(5);
    for (int i = 0; i < kSize; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
    auto* form = dynamic_cast<AlgoForm*>(dlg.Dispatch().Open("SST29XF 5"));
    if (!form) return 1;
    form->Choose("RadioGroup1", 1);
    prog->Log().SetEnabled(false);
    const sim::Nanos t0 = prog->Now();
    const auto bytes0 = prog->GetCounters().bytesOut;
    form->Click("Write");
    const sim::Nanos dt = prog->Now() - t0;
    const double wire = static_cast<double>(prog->GetCounters().bytesOut - bytes0);
    std::printf("SST39SF040 (512 KiB) by the SST29XF form, \"Mid.\"\n");
    std::printf("  %-40s %10.3f s  %s\n", "simulated write", Sec(dt),
                form->Text("Message") == "OK!" ? "" : form->Text("Message").c_str());
    std::printf("  %-40s %10.1f s\n", "the form's fillers: 512 Ki x 50 us", kSize * 50e-6);
    std::printf("  %-40s %10.1f s  (%.0f bytes)\n", "the wire: 40 command bytes a byte", wire / 64.0 / 19.0 / 1000.0,
                wire);
    std::printf("  %-40s %10.1f s\n", "datasheet: rewrite of the whole chip", 8.0);
    std::printf("  %-40s %10.1f s\n", "a common USB programmer (SST39SF010A)", 1.7);
    if (!prog->Violations().empty()) std::printf("  protocol violations: %zu\n", prog->Violations().size());
    return 0;
}
