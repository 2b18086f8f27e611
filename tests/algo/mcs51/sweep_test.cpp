// The fault sweep over the AT89C5x form's Write and its batch: no success text
// while the chip does not hold what it promises, whatever link fault strikes
// whichever transfer.
#include "mcs51_bench.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

constexpr int kEnd = 0x2FF;  // three blocks: a short file keeps the sweep quick

FaultSweep At89Sweep(std::function<void(SimBench&, AlgoForm&)> op) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("AT89C51");
        b->RandomImage(kEnd + 1, 17);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open("P89C51 1 #1E 51");
        SetEndAddr(b, kEnd);
        return f;
    };
    s.operation = std::move(op);
    return s;
}

TEST(At89c5xSweep, WriteShowsOkOnlyWithTheImageInTheChip) {
    FaultSweep s = At89Sweep([](SimBench&, AlgoForm& f) { f.Click("Write"); });
    s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, kEnd + 1); };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 5);
    EXPECT_GT(r.fatalEnds, 0);
}

// The batch makes some 470 transfers; one fault kind per case keeps each case short.
class At89c5xBatchSweep : public ::testing::TestWithParam<LinkFault> {};

TEST_P(At89c5xBatchSweep, ShowsNoSuccessTheChipDoesNotBearOut) {
    FaultSweep s = At89Sweep([](SimBench&, AlgoForm& f) { f.Click("Button1"); });
    s.faults = {GetParam()};
    // "End." and "Blank OK": the chip is blank; "end": its lock bits are set;
    // "OK" (Write, Verify) and "End OK..": it holds the image.
    s.holds = [](SimBench& b, const std::string& text) {
        if (text == "End." || text == "Blank OK") return b.ChipBlank(0, 0x1000);
        if (text == "end") return Chip51(b).LockBits() == 7u && b.ChipMatchesImage(0, kEnd + 1);
        return b.ChipMatchesImage(0, kEnd + 1);
    };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 100);
}

INSTANTIATE_TEST_SUITE_P(Faults, At89c5xBatchSweep,
                         ::testing::Values(LinkFault::DetachBefore, LinkFault::DetachAfter, LinkFault::OutFailure,
                                           LinkFault::NoReply, LinkFault::ShortReply),
                         CaseName([](LinkFault f) { return Describe(f); }));

}  // namespace
}  // namespace quilla::test

namespace quilla::test {
namespace {

// The command-register form: every byte opened by its command, one transfer a block.
TEST(Is89Sweep, WriteShowsOkOnlyWithTheImageInTheChip) {
    constexpr int kIsEnd = 0x3FF;
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("IS89C51A");
        b->RandomImage(kIsEnd + 1, 19);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open("IS89C52 1");
        SetEndAddr(b, kIsEnd);
        return f;
    };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, kIsEnd + 1); };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 4);
}

}  // namespace
}  // namespace quilla::test
