// The EPROM-pinout flash form end to end on the simulated programmer.
#include "algo/memory/p27sf.h"
#include "sim/chips/eprom.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::EventKind;

TEST(P27sf, EraseBlankWriteVerifyAProgrammedSst27sf512) {
    SimBench b("SST27SF512");
    b.RandomImage(0x10000, 1);
    auto cells = b.ChipAs<sim::EpromChip>().MutableContents();
    std::fill(cells.begin(), cells.end(), 0x00);
    AlgoForm& f = b.Open("SST27SF 2");
    EXPECT_EQ(f.Caption(), "0 to ffff");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "000000:Err. Not Blank=00");
    b.tap->commands.clear();
    b.sim->Log().Clear();
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(b.tap->Count(proto::OpWait100ms), 6u);  // one before the pulse, five of it
    // 12 V on the OE/VPP pin and on A9 for the pulse, both gone afterwards.
    bool vpp28 = false, vpp30 = false;
    for (const auto& e : b.sim->Log().OfKind(EventKind::VppRoute)) {
        vpp28 = vpp28 || e.pin == 28;
        vpp30 = vpp30 || e.pin == 30;
    }
    EXPECT_TRUE(vpp28 && vpp30);
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 120);
    EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "Blank.");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x10000));
}

TEST(P27sf, MassProductionBatchErasesAndProgramsEachChip) {
    SimBench b("SST27SF010");
    b.sim->SetChipPresent(false);  // the socket starts empty
    b.RandomImage(0x20000, 2);
    b.wb->options.MassProduction = true;
    AlgoForm& f = b.Open("SST27SF 3");
    // Two programmed chips one after the other; each pass polls the contact
    // four times (Erase, Blank, Write, Verify).
    b.sim->ScheduleInsertion(sim::When::AfterPolls(1), [] {
        auto c = sim::MakeEprom("SST27SF010").chip;
        auto cells = c->MutableContents();
        std::fill(cells.begin(), cells.end(), 0x55);
        return c;
    }());
    b.sim->ScheduleRemoval(sim::When::AfterPolls(6));
    b.sim->ScheduleInsertion(sim::When::AfterPolls(1), [] {
        auto c = sim::MakeEprom("SST27SF010").chip;
        auto cells = c->MutableContents();
        std::fill(cells.begin(), cells.end(), 0x00);
        return c;
    }());
    b.sim->ScheduleRemoval(sim::When::AfterPolls(6));
    f.Click("Button1");
    EXPECT_EQ(b.wb->Counter, "2");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x20000));
}

TEST(P27sf, A27sf010UnderThe27sf512RowTakesNothing) {
    SimBench b("SST27SF010");
    b.RandomImage(0x10000, 3);
    b.ExpectDamage();  // 12 V reaches its OE pin (rated 7 V)
    b.ExpectViolation("absolute maximum");
    AlgoForm& f = b.Open("SST27SF 2");
    f.Click("Write");
    EXPECT_NE(f.Text("Message").find(":Error.(File="), std::string::npos) << f.Text("Message");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(b.ChipAs<sim::EpromChip>().ProgramEvents(), 0u);
}

TEST(P27sf, Sst37vfProgramsAtItsLinesVccAndNotAboveItsWindow) {
    {
        SimBench b("SST37VF010");
        b.RandomImage(0x20000, 4);
        AlgoForm& f = b.Open("SST27SF 7 vcc=3300");
        EXPECT_EQ(b.sim->GetSocket().VccLevel(), 33);
        f.Click("Blank");
        EXPECT_EQ(f.Text("Message"), "Blank.");
        f.Click("Write");
        EXPECT_EQ(f.Text("Message"), "OK!");
        f.Click("Verify");
        EXPECT_EQ(f.Text("Message"), "Data OK!");
        EXPECT_TRUE(b.ChipMatchesImage(0, 0x20000));
    }
    {
        SimBench b("SST37VF010");
        b.RandomImage(0x400, 4);
        b.ExpectDamage();  // 5 V logic levels on a 3.6 V part
        b.ExpectViolation("absolute maximum");
        AlgoForm& f = b.Open("SST27SF 7");
        f.Enter("Edit3", "3ff");
        f.Click("Write");
        EXPECT_NE(f.Text("Message"), "OK!");
    }
}

struct VccCase {
    const char* params;
    int tenths;
};
class LineVcc : public ::testing::TestWithParam<VccCase> {};

TEST_P(LineVcc, VccComesFromTheKeyOr5000) {
    const VccCase c = GetParam();
    SimBench b("SST27SF256");
    AlgoForm& f = b.Open(c.params);
    EXPECT_EQ(f.Text("Message"), "OK ");
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), c.tenths);
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 120);
}

INSTANTIATE_TEST_SUITE_P(Keys, LineVcc,
                         ::testing::Values(VccCase{"SST27SF 1", 50}, VccCase{"SST27SF 1 vcc=0", 50},
                                           VccCase{"SST27SF 1 vcc=-5", 50}, VccCase{"SST27SF 1 vcc=3300", 33}),
                         CaseName([](const VccCase& c) { return std::string(c.params); }));

TEST(P27sf, AVccTheProgrammerMustNotApplyIsABadDeviceLine) {
    SimBench b("SST27SF256");
    b.tap->commands.clear();
    AlgoForm& f = b.Open("SST27SF 1 vcc=12000");
    EXPECT_EQ(f.Text("Message"), "Bad device line: vcc=12000");
    EXPECT_TRUE(b.tap->commands.empty());
}

// An over-current reported at any block ends the write: nothing more is
// programmed once the engine has switched the supplies off.
TEST(P27sf, OverCurrentAtALaterBlockEndsTheWrite) {
    SimBench b("SST27SF256");
    b.RandomImage(0x8000, 5);
    AlgoForm& f = b.Open("SST27SF 1");
    std::size_t at = 0;
    b.tap->commands.clear();
    b.tap->afterOut = [&](int) {
        // After two blocks are in the chip, a fault appears.
        if (at == 0 && b.ChipAs<sim::EpromChip>().ProgramEvents() >= 0x800) {
            at = b.tap->commands.size();
            b.sim->InjectOverCurrent();
        }
    };
    b.ExpectOverCurrent();
    f.Click("Write");
    b.tap->afterOut = nullptr;
    ASSERT_GT(at, 0u);
    EXPECT_EQ(b.prompts.Last(), OverCurrentMsg);
    EXPECT_NE(f.Text("Message"), "OK!");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    // Not one program pulse was sent after the fault.
    std::size_t pulses = 0;
    for (std::size_t i = at; i < b.tap->commands.size(); ++i) pulses += b.tap->commands[i][0] == proto::OpWaitPulse;
    EXPECT_EQ(pulses, 0u);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    EXPECT_TRUE(b.ChipBlank(0x800, 0x7800));
}

}  // namespace
}  // namespace quilla::test
