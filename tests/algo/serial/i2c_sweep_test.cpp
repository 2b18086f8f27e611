// The fault sweep over the I2C forms' Write and batch: no success text with the
// chip wrong, whatever link fault strikes at whichever transfer.
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

FaultSweep Sweep(const char* part, const char* model, const char* params, int bytes,
                 std::function<void(SimBench&, AlgoForm&)> op) {
    FaultSweep s;
    s.prepare = [=] {
        auto b = std::make_unique<SimBench>(part, model);
        b->tap->record = false;
        b->RandomImage(bytes, 14);
        return b;
    };
    const std::string p = params;
    s.form = [p](SimBench& b) -> AlgoForm& { return b.Open(p); };
    s.operation = std::move(op);
    s.holds = [bytes](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, bytes); };
    return s;
}

void Write(SimBench&, AlgoForm& f) { f.Click("Write"); }

TEST(I2cSweep, DesignWrite) {
    const FaultSweep::Result r = Sweep("24C02", "vex520", "P24 2", 256, Write).Run();
    EXPECT_GT(r.transfers, 64);
}

TEST(I2cSweep, DesignBatch) {
    Sweep("24C02", "vex520", "P24 2", 256, [](SimBench&, AlgoForm& f) { f.Click("Button1"); }).Run();
}

TEST(I2cSweep, Vex310Write) {
    const FaultSweep::Result r = Sweep("24C01A", "vex310", "P24C310 1", 128, Write).Run();
    EXPECT_GT(r.fatalEnds, 0);
}

}  // namespace
}  // namespace quilla::test
