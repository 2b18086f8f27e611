// One fault at a time, planted in copies of the memory forms: a wait dropped,
// a command or set-up cycle left out, a page's write-cycle wait left out, the
// data shifted by one byte. Each variant runs Write and Verify on the chip
// model; the model (which refuses what its sheet refuses and says why) or the
// Verify must catch it: Verify shows no success text with the chip wrong. (The
// Write of these forms never reads the chip back: its "OK!" says the stream
// was sent.)
//
// What cannot be seen by design: the MX29F and V29C51004 forms send the next
// byte's first command cycle one command time (1 us) after the data cycle, with
// no wait between, so they have no program wait to drop; their models program
// within that one command (see ModelTime below, which shows the time sits just
// under it).
#include <functional>
#include <memory>
#include <string>

#include "algo/memory/p28cx.h"
#include "algo/memory/p29f.h"
#include "algo/memory/pi28f.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

constexpr int kBytes = 0x100;

// ---- the variants ------------------------------------------------------------------------------

enum class Fault { None, NoTail, NoSecondUnlockCycle, NoSetupCycle, NoPageWait, DataShifted };

// A JEDEC byte-program form with one fault.
template <class Form>
class FaultyJedec : public Form {
public:
    FaultyJedec(Workbench& w, Fault f) : Form(w), fault_(f) {}

protected:
    void ByteTail() override {
        if (fault_ != Fault::NoTail) Form::ByteTail();
    }
    void ProgramBlock(const VariantRecord& r, const SocketForm::Block& b) override {
        if (fault_ != Fault::NoSecondUnlockCycle) return Form::ProgramBlock(r, b);
        // AA at 5555h and A0 at 5555h, the 55 at 2AAAh left out.
        for (int i = 0; i < b.count; ++i) {
            this->Ep3.UsbPut2(proto::OpCmdWrite5555, 0xAA);
            this->Ep3.UsbPut2(proto::OpCmdWrite5555, 0xA0);
            this->SetAddressParallel(b.chip + i);
            this->Ep3.WriteLatch(2, this->wb.ImageBuffer[static_cast<std::size_t>(b.file + i)]);
            this->Ep3.UsbPut1(proto::OpBusWrite);
            ByteTail();
        }
    }

private:
    Fault fault_;
};

// The Intel-command form with its 40h set-up left out before one byte.
class FaultyPi28 : public TPi28fxxx {
public:
    FaultyPi28(Workbench& w, Fault f) : TPi28fxxx(w), fault_(f) {}

protected:
    void ProgramBlock(const VariantRecord& r, const Block& b) override {
        if (fault_ != Fault::NoSetupCycle || b.chip != 0) return TPi28fxxx::ProgramBlock(r, b);
        // Byte 0x10 gets its data cycle without the set-up before it.
        TPi28fxxx::ProgramBlock(r, Block{0, b.file, 0x10});
        Ep3.WriteLatch(2, wb.ImageBuffer[static_cast<std::size_t>(b.file + 0x10)]);
        Ep3.UsbPut1(proto::OpBusWrite);
        Ep3.UsbPut1(proto::OpAddrInc);
        TPi28fxxx::ProgramBlock(r, Block{0x11, b.file + 0x11, b.count - 0x11});
    }

private:
    Fault fault_;
};

// The AT28C256 page form with its write-cycle wait left out, or its data
// shifted by one byte.
class FaultyAt28c256 : public TAt28c256x {
public:
    FaultyAt28c256(Workbench& w, Fault f) : TAt28c256x(w), fault_(f) {}

protected:
    void WriteBlockEnd(const VariantRecord& r, const Block& b) override {
        if (fault_ != Fault::NoPageWait) TAt28c256x::WriteBlockEnd(r, b);
    }
    void ProgramBlock(const VariantRecord& r, const Block& b) override {
        if (fault_ != Fault::DataShifted) return TAt28c256x::ProgramBlock(r, b);
        TAt28c256x::ProgramBlock(r, Block{b.chip, b.file + 1, b.count});
    }

private:
    Fault fault_;
};

struct Case {
    const char* name;
    const char* part;
    const char* params;
    Fault fault;
    std::function<std::unique_ptr<AlgoForm>(Workbench&, Fault)> make;
    bool refusalNoted;  // the chip model says what it refused
};

template <class F>
std::function<std::unique_ptr<AlgoForm>(Workbench&, Fault)> Make() {
    return [](Workbench& w, Fault f) { return std::make_unique<F>(w, f); };
}

const Case kCases[] = {
    {"P29F_byte_tail_dropped", "AM29F010", "P29F 3", Fault::NoTail, Make<FaultyJedec<TP29fxxx>>(), true},
    {"AT49F_byte_wait_dropped", "AT49F010", "AT49F 1", Fault::NoTail, Make<FaultyJedec<TAt49fx>>(), true},
    {"P29F_unlock_cycle_dropped", "AM29F010", "P29F 3", Fault::NoSecondUnlockCycle,
     Make<FaultyJedec<TP29fxxx>>(), true},
    {"MX29F_unlock_cycle_dropped", "MX29F040", "MX29F 3", Fault::NoSecondUnlockCycle,
     Make<FaultyJedec<TMx29fxxx1>>(), true},
    {"PI28F_setup_cycle_dropped", "28F010", "PI28F 4", Fault::NoSetupCycle, Make<FaultyPi28>(), false},
    {"AT28C256_page_wait_dropped", "AT28C256", "AT28C256 2", Fault::NoPageWait, Make<FaultyAt28c256>(), true},
    {"AT28C256_data_shifted", "AT28C256", "AT28C256 2", Fault::DataShifted, Make<FaultyAt28c256>(), false},
};

class OneFault : public ::testing::TestWithParam<Case> {};

TEST_P(OneFault, TheChipOrTheVerifyCatchesIt) {
    const Case& c = GetParam();
    SimBench b(c.part);
    b.RandomImage(0x400, 23);
    b.Image()[0x10] = 0x5A;  // a byte that must program
    b.Open(c.params);  // the selection, as the dispatch leaves it
    std::unique_ptr<AlgoForm> f = c.make(*b.wb, c.fault);
    f->SetupForDevice();
    f->Enter("Edit3", "3ff");
    f->Click("Write");
    std::vector<std::string> successes;
    f->SetSuccessListener([&](const std::string& t) {
        if (!b.ChipMatchesImage(0, 0x400)) successes.push_back(t);
    });
    f->Click("Verify");
    f->SetSuccessListener(nullptr);
    EXPECT_FALSE(b.ChipMatchesImage(0, 0x400)) << "the fault did not reach the chip";
    for (const std::string& t : successes) ADD_FAILURE() << "success text with the chip wrong: " << t;
    if (c.refusalNoted) {
        EXPECT_FALSE(b.sim->GetChip()->Refusals().empty()) << "the model did not say what it refused";
    }
}

// The same forms without the fault write and verify the image.
TEST_P(OneFault, TheFormWithoutTheFaultPasses) {
    const Case& c = GetParam();
    SimBench b(c.part);
    b.RandomImage(0x400, 23);
    b.Image()[0x10] = 0x5A;
    b.Open(c.params);
    std::unique_ptr<AlgoForm> f = c.make(*b.wb, Fault::None);
    f->SetupForDevice();
    f->Enter("Edit3", "3ff");
    f->Click("Write");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
    EXPECT_TRUE(b.sim->GetChip()->Refusals().empty()) << b.sim->GetChip()->Refusals().front();
}

INSTANTIATE_TEST_SUITE_P(MemoryForms, OneFault, ::testing::ValuesIn(kCases),
                         CaseName([](const Case& c) { return std::string(c.name); }));

// ---- the model's time against the form's stream --------------------------------------------------

// Where a form never polls and leaves the chip less than the sheet's program
// time, the model's time sits just under what the form leaves: the form's own
// stream writes the image, and the same stream fails once the chip is a
// quarter slower. A model far quicker than the form's gap would let a form
// that waits less than documented pass.
struct TimeCase {
    const char* name;
    const char* part;
    const char* params;
};

class ModelTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(ModelTime, SitsJustUnderTheFormsGap) {
    const TimeCase& c = GetParam();
    for (const double slow : {1.0, 1.25}) {
        SCOPED_TRACE(slow);
        SimBench b(c.part);
        b.RandomImage(kBytes, 29);
        std::fill(b.Image() + kBytes, b.Image() + 0x400, 0xFF);
        b.sim->GetChip()->SetSlowFactor(slow);
        AlgoForm& f = b.Open(c.params);
        f.Enter("Edit3", "ff");
        f.Click("Write");
        EXPECT_EQ(b.ChipMatchesImage(0, kBytes), slow == 1.0);
    }
}

INSTANTIATE_TEST_SUITE_P(MemoryForms, ModelTime,
                         ::testing::Values(TimeCase{"AT49F", "AT49F010", "AT49F 1"},
                                           TimeCase{"MX29F", "MX29F040", "MX29F 3"},
                                           TimeCase{"V29C51004", "V29C51004B", "V29C51004 5"},
                                           TimeCase{"PI28F", "28F010", "PI28F 4"},
                                           TimeCase{"PI28F001", "28F001BX-B", "PI28F001 2"},
                                           TimeCase{"SST28VF040", "SST28SF040A", "SST28VF040 6"},
                                           TimeCase{"P2816_AT28C256", "AT28C256", "P2816 8"}),
                         CaseName([](const TimeCase& c) { return std::string(c.name); }));

}  // namespace
}  // namespace quilla::test
