// The fault sweep over the hub forms' Write and batch: no success text with the
// chip wrong, whatever link fault strikes at whatever transfer.
#include <algorithm>

#include "sim/chips/fwh.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

FaultSweep HubSweep(const char* part, const char* params, const char* length, std::uint8_t oldData) {
    FaultSweep s;
    const std::string p = part;
    s.prepare = [p, oldData] {
        auto b = std::make_unique<SimBench>(p);
        auto cells = b->sim->GetChip()->MutableContents();
        std::fill(cells.begin(), cells.end(), oldData);
        b->RandomImage(0x800, 31);
        return b;
    };
    const std::string params_ = params, length_ = length;
    s.form = [params_, length_](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open(params_);
        f.Enter("Edit3", length_);
        return f;
    };
    return s;
}

TEST(HubSweep, I82802WriteShowsNoFalseSuccess) {
    FaultSweep s = HubSweep("N82802AB", "I82802 2", "3ff", 0xFF);
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, 0x400); };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 5);
}

TEST(HubSweep, I82802BatchShowsNoFalseSuccess) {
    FaultSweep s = HubSweep("N82802AB", "I82802 2", "3ff", 0x3C);
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button1"); };
    // The erase and Blank texts are true of a blank chip, the others of the image.
    s.holds = [](SimBench& b, const std::string& text) {
        if (text == "OK" || text == "Blank.") return b.ChipBlank(0, 0x400);
        return b.ChipMatchesImage(0, 0x400);
    };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 10);
}

TEST(HubSweep, Sst49lfWriteShowsNoFalseSuccess) {
    FaultSweep s = HubSweep("SST49LF002A", "SST49LF008 1", "3ff", 0xFF);
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, 0x400); };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 5);
}

TEST(HubSweep, Sst49lfBatchShowsNoFalseSuccess) {
    FaultSweep s = HubSweep("SST49LF002A", "SST49LF008 1", "3ff", 0x3C);
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button1"); };
    // "OK" (the chip erase) and "Blank." are true of a blank chip; "OK!", "OK.." and
    // "End OK.." of the image.
    s.holds = [](SimBench& b, const std::string& text) {
        if (text == "OK") return b.ChipBlank(0, 0x40000);
        if (text == "Blank.") return b.ChipBlank(0, 0x400);
        return b.ChipMatchesImage(0, 0x400);
    };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 10);
}

}  // namespace
}  // namespace quilla::test
