// The XC95xx form's SVF player on the simulated XC9536XL: the hand-written
// programming file (bulk erase, blank check, two words programmed and
// verified): simulated time, the RUNTEST waits it asked for, transfers and
// reply exchanges, and TCK cycles.
#include <cstdio>

#include "algo/common/form.h"
#include "app/svf.h"
#include "bench/bench_support.h"
#include "catalog/typedlg.h"
#include "sim/designs/jtag1.h"

using namespace quilla;
using namespace quilla::bench;

int main(int argc, char** argv) {
    const std::string file = argc > 1 ? argv[1] : SourceDataDir() + "../tests/fixtures/svf/xc9536xl_prog.svf";
    SimRig rig("vex520", "XC9536XL");
    TTypeDlg dlg(rig.wb);
    rig.wb.DataFileName = file;
    if (!LoadSvf(rig.wb)) {
        std::printf("cannot read %s\n", file.c_str());
        return 1;
    }
    auto* form = dynamic_cast<AlgoForm*>(dlg.Dispatch().Open("XC95X 0"));
    if (!form) return 1;
    const sim::Counters c0 = rig.prog->GetCounters();
    const sim::Nanos t0 = rig.prog->Now(), w0 = rig.counter.waits;
    form->Click("Button1");
    const sim::Counters c1 = rig.prog->GetCounters();
    const auto* jtag = dynamic_cast<const sim::Jtag1Design*>(rig.prog->LoadedDesign());
    const auto& lines = form->Get("RichEdit1").Items;
    std::printf("SVF player, %s\n", file.c_str());
    std::printf("  %-30s %10.3f s  %s\n", "simulated run", Sec(rig.prog->Now() - t0), lines.empty() ? "" : lines.back().c_str());
    std::printf("  %-30s %10.3f s\n", "waits queued", Sec(rig.counter.waits - w0));
    std::printf("  %-30s %10llu\n", "OUT transfers", static_cast<unsigned long long>(c1.transfersOut - c0.transfersOut));
    std::printf("  %-30s %10llu\n", "replies", static_cast<unsigned long long>(c1.transfersIn - c0.transfersIn));
    std::printf("  %-30s %10llu\n", "TCK cycles", static_cast<unsigned long long>(jtag ? jtag->Cycles() : 0));
    return 0;
}
