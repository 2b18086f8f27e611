// The shared test tools judge what a form shows, not what it meant: the fault
// sweep judges a success text painted into a status field past the success
// gate, and the bench fails a test that read the socket while the chip's VCC
// pin was held high by a logic pin instead of the supply.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <memory>

#include "algo/common/window.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

// Routes VCC to a 27C256's VCC pin and paints "OK" into its status field with
// Status(), whether or not the programmer took the command.
class PaintsOk : public AlgoForm {
public:
    explicit PaintsOk(Workbench& w) : AlgoForm(w, "Paints") {
        DeclareControls({win::On(win::PushButton({"Write", "Write"}),
                                 [this] {
                                     Ep3.SetVcc(5000);
                                     Ep3.VccPin(kVccSocketPin);
                                     Ep3.UsbFlush();
                                     Status("OK");
                                 }),
                         win::Status("Msg", "")});
    }
    void SetupForDevice() override {}
    static constexpr int kVccSocketPin = 34;  // chip pin 28 of a 28-pin DIP
};

struct PaintBench : SimBench {
    PaintBench() : SimBench("AT27C256R"), form(*wb) {}
    PaintsOk form;
};

void RunPaintSweep() {
    FaultSweep s;
    s.prepare = [] { return std::unique_ptr<SimBench>(std::make_unique<PaintBench>()); };
    s.form = [](SimBench& b) -> AlgoForm& { return static_cast<PaintBench&>(b).form; };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) {
        return b.sim->GetSocket().VccPins().Has(PaintsOk::kVccSocketPin);
    };
    s.faults = {LinkFault::OutFailure};
    s.successTexts = {"OK"};
    s.Run();
}

TEST(FaultSweepTool, ASuccessTextPaintedPastTheGateIsJudged) {
    ::testing::TestPartResultArray failures;
    {
        ::testing::ScopedFakeTestPartResultReporter intercept(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        RunPaintSweep();
    }
    // Each lost transfer leaves the chip without VCC while the form paints "OK".
    ASSERT_GT(failures.size(), 0);
    for (int i = 0; i < failures.size(); ++i)
        EXPECT_NE(std::string(failures.GetTestPartResult(i).message()).find("false success with the chip wrong"),
                  std::string::npos)
            << failures.GetTestPartResult(i).message();
    EXPECT_NE(std::string(failures.GetTestPartResult(0).message()).find("OUT failure at transfer 1: \"OK\""),
              std::string::npos);
}

// A read through the chip while a host driver holds its VCC pin high and no
// supply is routed: the bench names it, unless the test declared it.
TEST(SimBenchTool, AReadThroughAChipPoweredFromALogicPinIsAFault) {
    for (const bool declared : {false, true}) {
        SCOPED_TRACE(declared);
        SimBench b("AT27C256R");
        b.wb->Ep3.GndPin(20);
        b.wb->Ep3.PinHigh(PaintsOk::kVccSocketPin);
        b.wb->Ep3.UsbPut2(proto::OpCapturePin, 17);  // D0
        b.wb->Ep3.UsbFlush();
        b.wb->Ep3.UsbReadReply();
        if (declared) b.ExpectVccFromLogic();
        const auto faults = b.ChipSideFaults();
        if (declared) {
            EXPECT_TRUE(faults.empty());
        } else {
            ASSERT_EQ(faults.size(), 1u);
            EXPECT_NE(faults[0].find("read through an unpowered chip"), std::string::npos) << faults[0];
        }
        b.checked = true;
    }
}

TEST(SimBenchTool, TheSameReadWithTheSupplyRoutedIsClean) {
    SimBench b("AT27C256R");
    b.wb->Ep3.GndPin(20);
    b.wb->Ep3.SetVcc(5000);
    b.wb->Ep3.VccPin(PaintsOk::kVccSocketPin);
    b.wb->Ep3.PinHigh(7);  // A14 of the chip: a logic pin that is no VCC pin
    b.wb->Ep3.UsbPut2(proto::OpCapturePin, 17);
    b.wb->Ep3.UsbFlush();
    b.wb->Ep3.UsbReadReply();
    EXPECT_TRUE(b.ChipSideFaults().empty());
}

}  // namespace
}  // namespace quilla::test
