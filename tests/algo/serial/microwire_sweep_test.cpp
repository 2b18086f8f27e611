// The fault sweep over the Microwire forms' Write and batch: no success text
// with the chip wrong, whatever link fault strikes at whichever transfer.
#include "sim/chips/microwire.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::MicrowireChip;

// A 93C46 on the P93 word row (64 words, one buffer byte each), its chip
// holding other data.
FaultSweep WordRowSweep(std::function<void(SimBench&, AlgoForm&)> op) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("93C46");
        b->RandomImage(64, 9);
        for (int n = 0; n < 64; ++n) b->ChipAs<MicrowireChip>().SetWord(n, static_cast<std::uint16_t>(0x3300 + n));
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("P93 4"); };
    s.operation = std::move(op);
    s.holds = [](SimBench& b, const std::string& text) {
        const auto& chip = b.ChipAs<MicrowireChip>();
        for (int n = 0; n < 64; ++n) {
            const std::uint16_t want = (text == "OK" || text == "Blank") ? 0xFFFF : b.Image()[n];
            if (chip.Word(n) != want) return false;
        }
        return true;
    };
    return s;
}

TEST(MicrowireSweep, Write) {
    const FaultSweep::Result r = WordRowSweep([](SimBench&, AlgoForm& f) { f.Click("Write"); }).Run();
    EXPECT_GT(r.transfers, 64);
    EXPECT_GT(r.fatalEnds, 0);
}

TEST(MicrowireSweep, Batch) {
    WordRowSweep([](SimBench&, AlgoForm& f) { f.Click("Button1"); }).Run();
}

TEST(MicrowireSweep, Vex310WordFormWrite) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("93C46", "vex310");
        b->RandomImage(128, 10);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("P93C310X16 1"); };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, 128); };
    s.Run();
}

}  // namespace
}  // namespace quilla::test
