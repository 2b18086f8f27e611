// Simulated write time of the page-buffer adapter form (MX29X161X) on an
// MX29F1611 (2 MiB, 16,384 pages of 128 bytes): beside the wire floor of five
// transfers a page, each at least a 1 ms frame after the previous one (about
// 82 s), and the datasheet's page program time (5 ms a page, about 82 s more
// when the chip's work does not overlap the next page's loads).
#include <cstdio>
#include <random>

#include "algo/memory/mx29x161x.h"
#include "app/workbench.h"
#include "bench/bench_support.h"

using namespace quilla;
using bench::Sec;

int main() {
    constexpr int kSize = 0x200000;
    constexpr int kPages = kSize / 128;
    bench::SimRig rig("vex520", "MX29F1611");
    rig.prog->Log().SetEnabled(false);
    Workbench& wb = rig.wb;
    std::mt19937 rng(11);
    for (int i = 0; i < kSize; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
    wb.sel.ParamString = "MX29X161X 5 pkg=44 gnd=100 dly=12 vcc=5000";
    wb.sel.DeviceKeyword = "MX29X161X";
    wb.sel.VariantIndex = 5;
    TMx29x161x1 form(wb);
    form.Show();
    form.SetupForDevice();
    const auto transfers0 = rig.prog->GetCounters().transfersOut;
    const sim::Nanos t0 = rig.prog->Now();
    form.Click("Write");
    const double dt = Sec(rig.prog->Now() - t0);
    const auto transfers = rig.prog->GetCounters().transfersOut - transfers0;
    std::printf("Page-buffer adapter form on the simulated programmer, MX29F1611 (2 MiB), row MX29X161X 5\n");
    std::printf("%-12s %12s %12s %14s %16s %s\n", "operation", "simulated s", "transfers", "wire floor s",
                "page program s", "result");
    std::printf("%-12s %12.3f %12llu %14.3f %16.3f %s\n", "write", dt, static_cast<unsigned long long>(transfers),
                kPages * 5 * 0.001, kPages * 0.005, form.Text("Message").c_str());
    std::printf("\nFive transfers a page (four 35-byte buffer loads, one program request), each at least a\n"
                "1 ms frame apart; the design waits for the chip's 5 ms page program inside 0x49.\n");
    return 0;
}
