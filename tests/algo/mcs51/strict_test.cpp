// The 8051 forms against chips as strict as their sheets: form variants with
// one planted fault each (a step left out, a counter step too many, a command
// cycle dropped) are caught by the chip or by the next Verify; the MSU2964's
// unprotect step reports "OK" only through the success gate, and a protected
// MSU2964 never passes for blank.
#include <functional>
#include <string>
#include <vector>

#include "algo/mcs51/msu2964.h"
#include "algo/mcs51/p2051.h"
#include "mcs51_bench.h"
#include "sim/chips/c2051.h"
#include "sim/chips/msu2964.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using sim::Counter51Chip;
using sim::Msu2964Chip;

// Every text painted into the status field, with whether the MSU2964 in the
// socket was protected at that moment.
struct StatusLog : FormView {
    StatusLog(AlgoForm& f, SimBench& b) : form(f), bench(b) { f.SetView(this); }
    ~StatusLog() override { form.SetView(nullptr); }
    void Repaint(const FormControl& c) override {
        if (c.Name != "Msg" || (!texts.empty() && texts.back().first == c.Text)) return;
        const auto* msu = dynamic_cast<const Msu2964Chip*>(bench.sim->GetChip());
        texts.emplace_back(c.Text, msu && msu->Protected());
    }
    AlgoForm& form;
    SimBench& bench;
    std::vector<std::pair<std::string, bool>> texts;  // text, chip protected
};

// ---- the MSU2964 ---------------------------------------------------------------------------------

TEST(Msu2964Strict, AProtectedChipDoesNotPassForBlank) {
    SimBench b("MSU2964");
    b.RandomImage(0x1000, 11);
    Preload(b, 0x1000);
    b.ChipAs<Msu2964Chip>().SetProtected(true);
    AlgoForm& f = b.Open("MSU2964 5");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Not BLK.");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

// The unprotect step's "OK" goes through the success gate: the fault sweep and
// the batch hear it, and it comes only with the chip unprotected.
TEST(Msu2964Strict, UnprotectOkComesThroughTheGate) {
    SimBench b("MSU2964");
    b.ChipAs<Msu2964Chip>().SetProtected(true);
    AlgoForm& f = b.Open("MSU2964 5");
    std::vector<std::pair<std::string, bool>> heard;
    f.SetSuccessListener([&](const std::string& t) { heard.emplace_back(t, b.ChipAs<Msu2964Chip>().Protected()); });
    f.Click("Erase");
    f.SetSuccessListener(nullptr);
    const std::vector<std::pair<std::string, bool>> want = {{"OK", false}, {"Erased..", false}};
    EXPECT_EQ(heard, want);
}

// An OUT transfer lost at any point of Erase: "OK" is never painted while the
// chip is still protected.
TEST(Msu2964Strict, NoOkWithTheChipStillProtectedWhateverTransferFails) {
    int transfers = 0;
    {
        SimBench b("MSU2964");
        b.ChipAs<Msu2964Chip>().SetProtected(true);
        AlgoForm& f = b.Open("MSU2964 5");
        b.tap->outTransfers = 0;
        b.tap->afterOut = [&](int k) { transfers = k; };
        f.Click("Erase");
        b.tap->afterOut = nullptr;
    }
    ASSERT_GT(transfers, 3);
    for (int k = 1; k <= transfers; ++k) {
        SimBench b("MSU2964");
        b.ChipAs<Msu2964Chip>().SetProtected(true);
        AlgoForm& f = b.Open("MSU2964 5");
        StatusLog log(f, b);
        b.tap->outTransfers = 0;
        sim::Programmer& p = *b.sim;
        b.tap->beforeOut = [k, &p](int t) {
            if (t == k) p.InjectOutFailure(1);
        };
        try {
            f.Click("Erase");
        } catch (const FatalExit&) {
        }
        b.tap->beforeOut = nullptr;
        for (const auto& [text, locked] : log.texts)
            EXPECT_FALSE(text == "OK" && locked) << "OUT failure at transfer " << k << ": \"OK\" with the chip protected";
    }
}

// ---- one-fault variants of the MSU2964 form ----------------------------------------------------------

struct MsuFault {
    const char* name;
    std::function<void(TMsu2964x&)> unprotect;                       // replaces the unprotect step (empty: keep)
    std::function<bool(std::int32_t, std::uint8_t)> dropCycle;        // Write's bus cycles left out
};

class FaultyMsu : public TMsu2964x {
public:
    FaultyMsu(Workbench& w, const MsuFault& f) : TMsu2964x(w), fault_(f) {}
    void UnprotectStep51() override {
        if (fault_.unprotect) fault_.unprotect(*this);
        else TMsu2964x::UnprotectStep51();
    }
    void BusWrite(std::int32_t a, std::uint8_t d) override {
        if (fault_.dropCycle && fault_.dropCycle(a, d)) return;
        TMsu2964x::BusWrite(a, d);
    }
    // The unprotect setting with P3.7 low for one wait 25 instead of 1 ms.
    void ShortUnprotect() {
        PowerUp51();
        Ep3.VppPin(VppPinNo);
        for (int p = 1; p <= 8; ++p) Ep3.SetPinOption(p, 0);
        Ep3.WriteLatch(0, 0);
        SetAddress51(0);
        SetPins({H(10), L(11), L(12), H(13), H(14), H(15), H(16), H(30), H(29), L(30), L(17)});
        Ep3.UsbPut1(proto::OpWaitPulse);
        SetPins({H(17), H(30), L(29)});
        SuppliesOff();
        Status("OK");
    }

private:
    const MsuFault& fault_;
};

const MsuFault kMsuFaults[] = {
    {"erase without the unprotect step", [](TMsu2964x&) {}, nullptr},
    {"unprotect pulse of 10 us", [](TMsu2964x& f) { static_cast<FaultyMsu&>(f).ShortUnprotect(); }, nullptr},
    {"program command without its 2AAA cycle", nullptr,
     [](std::int32_t a, std::uint8_t d) { return a == 0x2AAA && d == 0x55; }},
};

class Msu2964OneFault : public ::testing::TestWithParam<MsuFault> {};

// The batch (Erase, Blank, Write, Verify) on a protected chip holding an old
// image: no "End OK..", and the chip refused what the fault left out.
TEST_P(Msu2964OneFault, TheChipOrTheNextStepCatchesIt) {
    const MsuFault& fault = GetParam();
    SimBench b("MSU2964");
    b.RandomImage(0x1000, 12);
    Preload(b, 0x1000);
    b.ChipAs<Msu2964Chip>().SetProtected(true);
    b.RandomImage(0x1000, 13);
    b.Open("MSU2964 5");
    FaultyMsu f(*b.wb, fault);
    f.SetupForDevice();
    SetEndAddr(b, 0xFFF);
    f.Click("Button1");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_FALSE(b.ChipMatchesImage(0, 0x1000));
    EXPECT_FALSE(b.sim->GetChip()->Refusals().empty()) << "the chip ignored the step without a trace";
}

INSTANTIATE_TEST_SUITE_P(Variants, Msu2964OneFault, ::testing::ValuesIn(kMsuFaults),
                         CaseName([](const MsuFault& f) { return std::string(f.name); }));

TEST(Msu2964OneFault, TheFormItselfPassesTheSameBatch) {
    SimBench b("MSU2964");
    b.RandomImage(0x1000, 12);
    Preload(b, 0x1000);
    b.ChipAs<Msu2964Chip>().SetProtected(true);
    b.RandomImage(0x1000, 13);
    AlgoForm& f = b.Open("MSU2964 5");
    SetEndAddr(b, 0xFFF);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
}

// ---- one-fault variants of the P2051 form --------------------------------------------------------------

struct CounterFault {
    const char* name;
    bool noReset;         // RST already high when VCC comes: the counter never reset
    bool extraStepWrite;  // one counter step too many at the start of Write
    bool extraStepAll;    // ... and of every other operation too
};

class FaultyP2051 : public TP2051x {
public:
    FaultyP2051(Workbench& w, const CounterFault& f) : TP2051x(w), fault_(f) {}
    int PowerUp51() override {
        extra_ = fault_.extraStepAll || (fault_.extraStepWrite && Text("Msg") == "Writing..");
        if (!fault_.noReset) return TP2051x::PowerUp51();
        if (!Ep3.CheckPinContact(20, 0, 0x3FFFFC00u, 0, 0)) return 0;
        Ep3.GndPin(20);
        Ep3.SetVcc(5000);
        Ep3.SetVpp(0);
        Ep3.SetPortMode(proto::PortModeReset);
        Ep3.ClockPin(0);
        Ep3.SetPortMode(9);
        Ep3.SetPinOption(14, 1);
        Ep3.SetPinOption(15, 0);
        SetPins({H(11), L(15), H(16)});  // RST high before VCC: no rising edge after power-up
        Flush();
        Ep3.VccPin(30);
        Ep3.UsbPut1(proto::OpWaitSettle);
        Flush();
        return 1;
    }

protected:
    void Step() override {
        if (extra_) {
            extra_ = false;
            TP2051x::Step();
        }
        TP2051x::Step();
    }

private:
    const CounterFault& fault_;
    bool extra_ = false;
};

class P2051OneFault : public ::testing::TestWithParam<CounterFault> {};

// The signature read leaves the counter at 1 when the chip powers down; then
// Write and Verify of the faulty form.
TEST_P(P2051OneFault, WriteAndVerifyOfAShiftedCounter) {
    const CounterFault& fault = GetParam();
    SimBench b("AT89C2051");
    b.RandomImage(0x800, 14);
    AlgoForm& good = b.Open("P2051 2");
    good.Click("ID");
    ASSERT_EQ(good.Text("Msg"), "1e,21");
    FaultyP2051 f(*b.wb, fault);
    f.SetupForDevice();
    f.Click("Write");
    f.Click("Verify");
    EXPECT_FALSE(b.ChipMatchesImage(0, 0x800));
    EXPECT_NE(f.Text("Msg"), "OK!!!");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    if (fault.noReset) {
        ASSERT_FALSE(b.sim->GetChip()->Refusals().empty());
        EXPECT_NE(b.sim->GetChip()->Refusals().front().find("RST"), std::string::npos)
            << b.sim->GetChip()->Refusals().front();
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, P2051OneFault,
                         ::testing::Values(CounterFault{"no RST pulse after power-up", true, false, false},
                                           CounterFault{"a step too many in Write", false, true, false},
                                           // Shifted alike in Write and Verify, but the whole chip is
                                           // walked: the last byte wraps onto the first and Verify sees it.
                                           CounterFault{"a step too many everywhere", false, false, true}),
                         CaseName([](const CounterFault& f) { return std::string(f.name); }));

// A power loss leaves the counter undefined: a write without a new reset is
// refused, even after the counter had been reset before the power went.
TEST(Counter51Strict, AfterPowerLossWritesWaitForRst) {
    SimBench b("AT89C2051");
    AlgoForm& f = b.Open("P2051 2");
    f.Click("ID");  // powered, reset, stepped, powered down
    TEp3& e = b.wb->Ep3;
    e.GndPin(20);
    e.SetVcc(5000);
    e.PinHigh(11);  // RST high before VCC
    e.VccPin(30);
    e.SetVpp(12000);
    for (const auto& [pin, high] : std::vector<std::pair<int, bool>>{{17, false}, {18, true}, {19, true}, {21, true}})
        high ? e.PinHigh(pin) : e.PinLow(pin);
    e.PinHigh(16);
    e.VppPin(11);
    e.UsbPut2(proto::OpPutPort, 0x00);
    e.PinLow(16);
    e.UsbPut1(proto::OpWaitPulse);
    e.PinHigh(16);
    e.UsbPut1(proto::OpWait1ms);
    e.UsbPut1(proto::OpWait1ms);
    e.VppPin(0);
    e.VccPin(0);
    e.UsbFlush();
    for (std::uint8_t v : b.Chip()) ASSERT_EQ(v, 0xFF);
    ASSERT_FALSE(b.sim->GetChip()->Refusals().empty());
    EXPECT_NE(b.sim->GetChip()->Refusals().back().find("before RST"), std::string::npos)
        << b.sim->GetChip()->Refusals().back();
}

}  // namespace
}  // namespace quilla::test
