// Simulated time of the logic IC tester's Detect over TTL74.LIB with a 7400 in
// the socket, and of a Test of the 4040 type (a 4,095-fold repeat of two
// drive-only vectors): the time on the simulated programmer's clock and the
// reply exchanges (one per compared vector).
#include <cstdio>

#include "algo/common/form.h"
#include "bench/bench_support.h"
#include "catalog/typedlg.h"

using namespace quilla;
using namespace quilla::bench;

namespace {

void Run(const char* title, const char* part, const char* params, const char* type, const char* button) {
    SimRig rig("vex520", part);
    TTypeDlg dlg(rig.wb);
    auto* form = dynamic_cast<AlgoForm*>(dlg.Dispatch().Open(params));
    if (!form) return;
    if (type) {
        const auto& items = form->Get("ListBox1").Items;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i] == type) form->Choose("ListBox1", static_cast<int>(i));
    }
    const sim::Counters c0 = rig.prog->GetCounters();
    const sim::Nanos t0 = rig.prog->Now();
    form->Click(button);
    const sim::Counters c1 = rig.prog->GetCounters();
    std::printf("%-40s %10.3f s %8llu replies %8llu transfers  %s\n", title, Sec(rig.prog->Now() - t0),
                static_cast<unsigned long long>(c1.transfersIn - c0.transfersIn),
                static_cast<unsigned long long>(c1.transfersOut - c0.transfersOut), form->Text("Message").c_str());
}

}  // namespace

int main() {
    Run("Detect over TTL74.LIB, 74LS00", "74LS00", "ICTEST 0", nullptr, "Button1");
    Run("Test 4040 (4,095-fold repeat), CD4040", "CD4040", "ICTEST 1", "4040", "Test1");
    return 0;
}
