// Simulated times of the RAM tester on a DS1250Y (512 KiB): a Write (every
// 1 KiB block sent in one transfer and read back) followed by a Verify, and a
// Read, each beside its wire floor: the full-speed bulk pipe moving the same
// bytes (19 packets of 64 bytes per 1 ms frame) with a frame between transfers.
#include <cstdio>
#include <random>

#include "algo/common/form.h"
#include "bench/bench_support.h"
#include "catalog/typedlg.h"

using namespace quilla;
using namespace quilla::bench;

namespace {

constexpr int kSize = 0x80000;

// The wire alone: every packet of every transfer, and one frame per transfer.
double WireFloor(const sim::Counters& before, const sim::Counters& after) {
    const double bytes = static_cast<double>(after.bytesOut - before.bytesOut + after.bytesIn - before.bytesIn);
    const double transfers = static_cast<double>(after.transfersOut - before.transfersOut + after.transfersIn -
                                                 before.transfersIn);
    const double byPackets = bytes / 64.0 / 19.0 * 1e-3;
    const double byFrames = transfers * 1e-3;
    return byPackets > byFrames ? byPackets : byFrames;
}

}  // namespace

int main() {
    SimRig rig("vex520", "DS1250Y");
    TTypeDlg dlg(rig.wb);
    std::mt19937 rng(5);
    for (int i = 0; i < kSize; ++i) rig.wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
    auto* form = dynamic_cast<AlgoForm*>(dlg.Dispatch().Open("DSRAM 8"));
    if (!form) return 1;
    std::printf("DS1250Y (512 KiB) by the RAM tester\n");
    std::printf("%-26s %12s %14s %14s\n", "operation", "simulated s", "wire floor s", "transfers");
    auto row = [&](const char* label, const std::function<void()>& op, const char* done) {
        const sim::Counters c0 = rig.prog->GetCounters();
        const sim::Nanos t0 = rig.prog->Now();
        op();
        const sim::Counters c1 = rig.prog->GetCounters();
        std::printf("%-26s %12.3f %14.3f %14llu  %s\n", label, Sec(rig.prog->Now() - t0), WireFloor(c0, c1),
                    static_cast<unsigned long long>(c1.transfersOut - c0.transfersOut + c1.transfersIn - c0.transfersIn),
                    form->Text("Message") == done ? "" : form->Text("Message").c_str());
    };
    row("W. then Vrfy.", [&] {
        form->Click("Write");
        form->Click("Verify");
    }, "OK");
    row("R.", [&] { form->Click("ReadButton"); }, "OK!");
    if (!rig.prog->Violations().empty()) std::printf("protocol violations: %zu\n", rig.prog->Violations().size());
    std::printf("\nEach written block is 3,072 queued bytes (latch, strobe, step per byte) in one\n"
                "transfer plus a 1 KiB read-back; Verify and Read move 1 KiB per block.\n");
    return 0;
}
