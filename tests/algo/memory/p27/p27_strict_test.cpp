// The EPROM form against a strict chip: variants of the form with one fault
// each never leave the chip holding the image with a success text, and the
// fault sweep finds no false success at any transfer.
#include <functional>
#include <memory>

#include "algo/memory/p27.h"
#include "sim/chips/eprom.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::EventKind;

// ---- faulty variants of the EPROM form ------------------------------------------------------

// One fault each, put into the form's own steps.
struct Fault {
    const char* name;
    const char* part;
    const char* params;
    // What the fault changes (each hook may stay empty).
    std::function<void(VariantRecord&)> row;                // the device-table row
    std::function<void(TEp3&)> beforeWrite;                  // after setup, before Write
    std::function<void(TEp3&, const VariantRecord&)> pulse;  // replaces the byte's program pulse
    std::function<void(TEp3&, const VariantRecord&)> block;  // after the frame's block start
    // What the chip's side shows.
    bool damage = false;
    const char* violation = nullptr;
    bool overCurrent = false;
    EventKind logged = EventKind::ChipInserted;  // an event the log must hold (ChipInserted: none asked)
};

class FaultyP27 : public TP27x {
public:
    FaultyP27(Workbench& w, const Fault& f) : TP27x(w), fault_(f) {}
    void FillVariantTable() override {
        TP27x::FillVariantTable();
        if (fault_.row) fault_.row(Table[static_cast<std::size_t>(wb.sel.VariantIndex)]);
    }

protected:
    bool WriteBlockBegin(const VariantRecord& r) override {
        const bool go = TP27x::WriteBlockBegin(r);
        if (fault_.block) fault_.block(Ep3, r);
        return go;
    }
    void ProgramByte(const VariantRecord& r, std::uint8_t data) override {
        if (!fault_.pulse) return TP27x::ProgramByte(r, data);
        Ep3.WriteLatch(2, data);
        fault_.pulse(Ep3, r);
    }

private:
    const Fault& fault_;
};

const Fault kFaults[] = {
    // Pin 34 stays high as forced-high A17: a logic level, no supply.
    {"VCC unrouted", "AT27C256R", "P27 13", [](VariantRecord& r) { r.VccPin = 0; }, nullptr, nullptr, nullptr,
     false, "while VCC is off", false, EventKind::SupplyFromLogic},
    {"VPP at 21 V on a 27C256", "AT27C256R", "P27 13", [](VariantRecord& r) { r.VppMv = 21000; }, nullptr,
     nullptr, nullptr, true, "absolute maximum", false},
    {"12.7 V on OE", "AT27C256R", "P27 13", nullptr, nullptr, nullptr,
     [](TEp3& e, const VariantRecord&) { e.VppPin(28); }, true, "absolute maximum", false},
    {"12.7 V on D0", "AT27C256R", "P27 13", nullptr, nullptr, nullptr,
     [](TEp3& e, const VariantRecord&) { e.VppPin(17); }, true, "absolute maximum", false},
    {"VPP while VCC is 0 V", "AT27C256R", "P27 13", nullptr, [](TEp3& e) { e.SetVcc(0); }, nullptr, nullptr,
     false, "while VCC is off", false},
    {"VCC 4.7 V while programming", "AT27C256R", "P27 13", nullptr, [](TEp3& e) { e.SetVcc(4700); }, nullptr,
     nullptr, false, nullptr, false},
    {"short onto the ground pin during the pulses", "AT27C256R", "P27 13", nullptr, nullptr,
     [](TEp3& e, const VariantRecord& r) {
         e.VppPin(20);  // VPP onto the grounded pin 20
         e.PinLow(26);
         e.PinLow(r.ProgramPin);
         e.UsbPut1(proto::OpWaitPulse);
         e.PinHigh(r.ProgramPin);
         e.VppPinOff(20);
     },
     nullptr, false, nullptr, true},
    {"VPP on the wrong pin", "AT27C256R", "P27 13", [](VariantRecord& r) { r.VppPin = 5; }, nullptr, nullptr,
     nullptr, false, nullptr, false},
    {"pulse on OE instead of CE", "AT27C256R", "P27 13", nullptr, nullptr,
     [](TEp3& e, const VariantRecord&) {
         e.PinHigh(26);
         e.PinLow(28);
         e.UsbPut1(proto::OpWaitPulse);
         e.PinHigh(28);
     },
     nullptr, false, nullptr, false},
    {"VPP on A15 of an OE/VPP part", "AT27C512R", "P27 14", [](VariantRecord& r) { r.VppPin = 7; }, nullptr,
     nullptr, nullptr, true, "absolute maximum", false},
};

class FaultyForm : public ::testing::TestWithParam<Fault> {};

TEST_P(FaultyForm, NeverLeavesTheImageWithASuccessText) {
    const Fault& fault = GetParam();
    SimBench b(fault.part);
    b.RandomImage(0x800, 5);
    b.Open(fault.params);  // the selection, as the dispatch leaves it
    FaultyP27 f(*b.wb, fault);
    f.SetupForDevice();
    ASSERT_EQ(f.Text("Message"), "OK ");
    f.Enter("Edit3", "7ff");
    if (fault.beforeWrite) fault.beforeWrite(b.wb->Ep3);
    std::vector<std::string> successes;
    f.SetSuccessListener([&](const std::string& t) { successes.push_back(t); });
    f.Click("Write");
    f.Click("Verify");

    const bool holds = b.ChipMatchesImage(0, 0x800);
    EXPECT_FALSE(holds && !successes.empty()) << "the image is in the chip and the form said " << successes[0];
    EXPECT_TRUE(successes.empty()) << successes[0];
    if (fault.damage) b.ExpectDamage();
    if (fault.violation) b.ExpectViolation(fault.violation);
    if (fault.overCurrent) b.ExpectOverCurrent();
    if (fault.logged == EventKind::SupplyFromLogic) b.ExpectVccFromLogic();  // its Verify reads the unpowered chip
    if (fault.logged != EventKind::ChipInserted) {
        EXPECT_FALSE(b.sim->Log().OfKind(fault.logged).empty());
    }
    EXPECT_EQ(b.sim->GetChip()->Damaged(), fault.damage) << b.sim->GetChip()->Damage();
}

INSTANTIATE_TEST_SUITE_P(EpromForm, FaultyForm, ::testing::ValuesIn(kFaults),
                         CaseName([](const Fault& f) { return std::string(f.name); }));

TEST(FaultyForm, TheCorrectFormOnTheSameChipsPasses) {
    for (const char* params : {"P27 13", "P27 14"}) {
        SimBench b(params == std::string("P27 13") ? "AT27C256R" : "AT27C512R");
        b.RandomImage(0x800, 5);
        AlgoForm& f = b.Open(params);
        f.Enter("Edit3", "7ff");
        f.Click("Write");
        EXPECT_EQ(f.Text("Message"), "OK!");
        f.Click("Verify");
        EXPECT_EQ(f.Text("Message"), "Data OK!");
        EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    }
}

// The bench itself fails a test whose form shorts a supply onto the ground pin
// while programming, even when the read-back happens to pass.
TEST(StrictBench, AShortWhileProgrammingIsAChipSideFault) {
    SimBench b("AT27C256R");
    AlgoForm& f = b.Open("P27 13");
    (void)f;
    TEp3& e = b.wb->Ep3;
    e.VccPin(34);
    e.SetVpp(12700);
    e.VppPin(20);  // onto ground
    e.VppPin(0);
    e.VccPin(0);
    const auto faults = b.ChipSideFaults();
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_NE(faults[0].find("over-current"), std::string::npos) << faults[0];
    b.checked = true;  // the fault is this test's subject
}

// ---- the fault sweep ---------------------------------------------------------------------------

// An AT27C256R with a 2 KiB image at the form's offsets.
FaultSweep EpromSweep(const char* offset, std::function<void(SimBench&, AlgoForm&)> op,
                      std::function<void(SimBench&)> before = nullptr) {
    FaultSweep s;
    s.prepare = [before] {
        auto b = std::make_unique<SimBench>("AT27C256R");
        b->RandomImage(0x1000, 9);
        if (before) before(*b);
        return b;
    };
    const std::string off = offset;
    s.form = [off](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open("P27 13");
        f.Enter("Edit1", off);
        f.Enter("Edit2", off);
        f.Enter("Edit3", "800");
        return f;
    };
    s.operation = std::move(op);
    return s;
}

int Off(const char* offset) { return static_cast<int>(std::stoul(offset, nullptr, 16)); }

class WriteSweep : public ::testing::TestWithParam<const char*> {};

TEST_P(WriteSweep, NoSuccessTextWithTheChipWrong) {
    const char* offset = GetParam();
    FaultSweep s = EpromSweep(offset, [](SimBench&, AlgoForm& f) { f.Click("Write"); });
    const int first = Off(offset);
    s.holds = [first](SimBench& b, const std::string&) { return b.ChipMatchesImage(first, 0x800); };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 5);
    EXPECT_GT(r.fatalEnds, 0);
}

INSTANTIATE_TEST_SUITE_P(Offsets, WriteSweep, ::testing::Values("0", "200"),
                         CaseName([](const char* o) { return std::string("offset ") + o; }));

TEST(VerifySweep, NoSuccessTextWithTheChipWrong) {
    // A chip that holds the image except one byte: "Data OK!" would be false.
    FaultSweep s = EpromSweep("0", [](SimBench&, AlgoForm& f) { f.Click("Verify"); }, [](SimBench& b) {
        auto cells = b.sim->GetChip()->MutableContents();
        std::copy(b.Image(), b.Image() + 0x800, cells.begin());
    });
    s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, 0x800); };
    s.Run();
}

TEST(BatchSweep, NoSuccessTextWithTheChipWrong) {
    FaultSweep s = EpromSweep("0", [](SimBench&, AlgoForm& f) { f.Click("Button1"); });
    // "Blank." is true of a blank range; "OK!", "Data OK!" and "End OK.." of the image.
    s.holds = [](SimBench& b, const std::string& text) {
        return text == "Blank." ? b.ChipBlank(0, 0x800) : b.ChipMatchesImage(0, 0x800);
    };
    s.Run();
}

}  // namespace
}  // namespace quilla::test
