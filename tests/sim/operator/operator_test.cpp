// The simulated operator: in mass production it takes the finished chip out
// while the next-chip wait asks for it and seats a fresh blank one; it never
// touches a chip outside that wait. And a whole mass-production batch on the
// simulated programmer as `quilla --simulate` builds it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "algo/common/form.h"
#include "app/programdir.h"
#include "app/workbench.h"
#include "catalog/typedlg.h"
#include "engine/ep3.h"
#include "engine/fatal.h"
#include "engine/startup.h"
#include "sim/programmer.h"
#include "sim/usb_device.h"
#include "support/scripted_prompts.h"

namespace quilla::test {
namespace {

using sim::Nanos;
using sim::Second;

constexpr const char* Part = "AT27C256R";
constexpr int Ground = 20;                       // socket pin of a 28-pin part's ground
constexpr std::uint32_t Lo = 0xFFFFFFC0u;        // socket pins 7..32
constexpr std::uint32_t Hi = 0x3u;               // socket pins 33, 34

bool Blank(const sim::Chip& chip) {
    auto c = chip.Contents();
    return std::all_of(c.begin(), c.end(), [](std::uint8_t b) { return b == 0xFF; });
}

struct OperatorAtTheWait : ::testing::Test {
    OperatorAtTheWait() {
        sim::ModelConfig config = sim::ModelConfig::For("vex520");
        config.operatorChips = DefaultOperatorChips;
        programmer = std::make_unique<sim::Programmer>(config);
        EXPECT_TRUE(programmer->SeatPart(Part));
        ep3 = std::make_unique<TEp3>(prompts, options, programmer.get());
        ep3->Connected = 1;
        ep3->ProgrammerModel = "vex520";
        options.MassProduction = true;
    }
    int Contact() { return ep3->CheckPinContact(Ground, 0, Lo, Hi, 0); }

    FatalIntercept fatal;
    ScriptedPrompts prompts;
    Options options;
    std::unique_ptr<sim::Programmer> programmer;
    std::unique_ptr<TEp3> ep3;
};

TEST_F(OperatorAtTheWait, TakesTheChipOutAfterASecondAndSeatsAFreshOneASecondLater) {
    ASSERT_EQ(Contact(), 1);  // the last step of a pass saw the chip
    sim::Chip* first = programmer->GetChip();
    first->MutableContents()[0] = 0x12;  // "programmed"
    const Nanos start = programmer->Now();

    EXPECT_EQ(ep3->WaitNextChip(Ground, 0, Lo, Hi, 0), 1);

    ASSERT_EQ(programmer->GetOperator()->Tray().size(), 1u);
    EXPECT_EQ(programmer->GetOperator()->Tray()[0].get(), first);
    EXPECT_EQ(first->Contents()[0], 0x12);
    ASSERT_NE(programmer->GetChip(), nullptr);
    EXPECT_EQ(programmer->GetChip()->Name(), Part);
    EXPECT_TRUE(Blank(*programmer->GetChip()));
    EXPECT_TRUE(programmer->GetSocket().ChipPresent());
    EXPECT_EQ(ep3->ErrorFlag, 0);
    // About a second to take it out, a second to put the next one in, seen by
    // polls about 140 ms apart; nowhere near the wait's own limits.
    const auto& texts = prompts.chipPrompt;
    const auto removalPolls = std::count(texts.begin(), texts.end(), "  OK,请取走写好的器件");
    const auto insertionPolls = std::count(texts.begin(), texts.end(), "  放置下一片...");
    EXPECT_GE(removalPolls, 5);
    EXPECT_LE(removalPolls, 10);
    EXPECT_GE(insertionPolls, 5);
    EXPECT_LE(insertionPolls, 10);
    EXPECT_GE(programmer->Now() - start, 2 * Second);
    EXPECT_LT(programmer->Now() - start, 3 * Second);
    EXPECT_FALSE(programmer->GetOperator()->Busy());
    EXPECT_TRUE(programmer->ViolationTexts().empty());
}

TEST_F(OperatorAtTheWait, EachWaitTakesTheChipJustPutIn) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(ep3->WaitNextChip(Ground, 0, Lo, Hi, 0), 1) << k;
    EXPECT_EQ(programmer->GetOperator()->Tray().size(), 3u);
}

TEST_F(OperatorAtTheWait, LeavesAChipAloneOutsideTheWait) {
    // Contact tests, a powered 100 ms wait (an erase pulse) right before one,
    // and an unpowered wait followed by a reply: none of them is the wait.
    for (int k = 0; k < 3; ++k) ASSERT_EQ(Contact(), 1);
    ep3->SetVcc(5000);
    ep3->VccPin(28);
    ep3->UsbPut1(proto::OpWait100ms);
    ep3->UsbFlush();
    ASSERT_EQ(Contact(), 1);
    ep3->UsbPut1(proto::OpWait100ms);
    ep3->ReadCurrentOk();
    ASSERT_EQ(Contact(), 1);
    for (int k = 0; k < 30; ++k) ep3->UsbPut1(proto::OpWait100ms);
    ep3->ReadCurrentOk();
    EXPECT_TRUE(programmer->GetSocket().ChipPresent());
    EXPECT_TRUE(programmer->GetOperator()->Tray().empty());
    EXPECT_FALSE(programmer->GetOperator()->Busy());
}

TEST_F(OperatorAtTheWait, BringsItsChipsForARunThenNoneUntilTheNextRunStarts) {
    const sim::Operator& op = *programmer->GetOperator();
    for (int k = 0; k < DefaultOperatorChips; ++k) ASSERT_EQ(ep3->WaitNextChip(Ground, 0, Lo, Hi, 0), 1) << k;
    prompts.chipPrompt.clear();

    // The finished chip goes and no other comes: the wait ends as when nobody
    // brings the next chip, after its 30 polls.
    EXPECT_EQ(ep3->WaitNextChip(Ground, 0, Lo, Hi, 0), 0);
    EXPECT_EQ(programmer->GetChip(), nullptr);
    EXPECT_EQ(op.TakenOut(), DefaultOperatorChips + 1);
    EXPECT_EQ(op.Brought(), DefaultOperatorChips);
    EXPECT_EQ(std::count(prompts.chipPrompt.begin(), prompts.chipPrompt.end(), "  放置下一片..."), 30);
    // Contact tests outside the wait leave the empty socket empty.
    EXPECT_EQ(Contact(), 0);
    EXPECT_EQ(Contact(), 0);
    EXPECT_EQ(programmer->GetChip(), nullptr);

    // The next run: the empty socket gets a fresh chip of the part.
    programmer->StartOperatorRun();
    EXPECT_EQ(ep3->WaitNextChip(Ground, 0, Lo, Hi, 0), 1);
    ASSERT_NE(programmer->GetChip(), nullptr);
    EXPECT_EQ(programmer->GetChip()->Name(), Part);
    EXPECT_TRUE(Blank(*programmer->GetChip()));
    EXPECT_EQ(op.Brought(), 1);
    EXPECT_EQ(op.TakenOut(), DefaultOperatorChips + 1);
    EXPECT_TRUE(programmer->ViolationTexts().empty());
}

TEST_F(OperatorAtTheWait, AnEmptySocketLeftBySomeoneElseIsNotTheOperatorsToFill) {
    for (int k = 0; k <= DefaultOperatorChips; ++k) ep3->WaitNextChip(Ground, 0, Lo, Hi, 0);
    ASSERT_EQ(programmer->GetChip(), nullptr);
    // The user selects another device, then one the simulator has no chip of.
    ASSERT_TRUE(programmer->SeatPart("AT27C512R"));
    programmer->RemoveChipModel();
    programmer->StartOperatorRun();
    EXPECT_EQ(ep3->WaitNextChip(Ground, 0, Lo, Hi, 0), 0);
    EXPECT_EQ(programmer->GetChip(), nullptr);
}

TEST(Operator, OffUnlessTheModelAsksForIt) {
    EXPECT_EQ(sim::ModelConfig::For("vex520").operatorChips, 0);
    EXPECT_EQ(sim::MakeSimulatedProgrammer("vex520")->GetOperator(), nullptr);
}

// ---- a batch on the simulated programmer of `quilla --simulate` ---------------------------

// Switches mass production off at the n-th pass (the pass counter beeps once a pass).
struct PassPrompts : ScriptedPrompts {
    void Beep() override {
        ScriptedPrompts::Beep();
        if (beeps == stopAt && options) options->MassProduction = false;
    }
    int stopAt = 0;
    Options* options = nullptr;
};

struct SimulatedProgram {
    // operatorChips: the operator's chips per run (0: no operator).
    explicit SimulatedProgram(int operatorChips, const char* part = Part) {
        wb.ProgramDir = SourceDataDir();
        wb.Ep3.ProgramDir = SourceDataDir();
        LinkOptions opts;
        opts.simulate = true;
        opts.operatorChips = operatorChips;
        conn = StartProgrammer(wb.Ep3, opts, sim::PlugSimulatedProgrammer);
        programmer = std::dynamic_pointer_cast<sim::Programmer>(conn->Simulated());
        EXPECT_NE(programmer, nullptr);
        EXPECT_TRUE(programmer->SeatPart(part));
        dlg = std::make_unique<TTypeDlg>(wb);
        dlg->RadioIndex = 0;  // EPROM
        std::mt19937 rng(11);
        for (int i = 0; i < 0x8000; ++i) wb.ImageBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
        wb.options.MassProduction = true;
        prompts.options = &wb.options;
    }
    AlgoForm& Open(const std::string& params) {
        auto* form = dynamic_cast<AlgoForm*>(dlg->Dispatch().Open(params));
        if (!form) throw std::runtime_error("no form for " + params);
        return *form;
    }
    bool HoldsTheImage(const sim::Chip& chip) const {
        auto c = chip.Contents();
        return std::equal(c.begin(), c.begin() + 0x8000, wb.ImageBuffer.begin());
    }

    FatalIntercept fatal;
    PassPrompts prompts;
    Workbench wb{prompts};
    std::unique_ptr<ProgrammerConnection> conn;
    std::shared_ptr<sim::Programmer> programmer;
    std::unique_ptr<TTypeDlg> dlg;
};

TEST(SimulatedProgram, MassProductionRunsPassAfterPassOnItsOwn) {
    SimulatedProgram p(DefaultOperatorChips);
    p.prompts.stopAt = 3;
    AlgoForm& f = p.Open("P27 13");
    f.Click("Button1");

    EXPECT_EQ(p.wb.Counter, "3");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    // Taken out: the chip that sat there at the start (the wait comes before
    // every pass), then the chips of passes 1 and 2; the third is in the socket.
    const auto& tray = p.programmer->GetOperator()->Tray();
    ASSERT_EQ(tray.size(), 3u);
    EXPECT_TRUE(Blank(*tray[0]));
    EXPECT_TRUE(p.HoldsTheImage(*tray[1]));
    EXPECT_TRUE(p.HoldsTheImage(*tray[2]));
    EXPECT_TRUE(p.HoldsTheImage(*p.programmer->GetChip()));
    EXPECT_TRUE(p.programmer->ViolationTexts().empty());
}

// A long run on a large part: the tray keeps the last few chips taken out,
// not every one (each holds its 1 MiB).
TEST(SimulatedProgram, AHundredPassesOnAnM27C801KeepAHandfulOfChipsInTheTray) {
    SimulatedProgram p(100, "M27C801");
    AlgoForm& f = p.Open("P27 19");
    for (const char* box : {"CheckBox2", "CheckBox3", "CheckBox4"}) f.SetChecked(box, false);
    f.Click("Button1");

    EXPECT_EQ(p.wb.Counter, "100");
    const sim::Operator& op = *p.programmer->GetOperator();
    EXPECT_EQ(op.TakenOut(), 101);  // the chip seated at the start, then the 100 done
    EXPECT_EQ(op.Tray().size(), sim::Operator::TrayKeeps);
    EXPECT_EQ(p.programmer->GetChip(), nullptr);
    EXPECT_TRUE(p.programmer->ViolationTexts().empty());
}

TEST(SimulatedProgram, WithoutTheOperatorTheWaitEndsTheBatch) {
    SimulatedProgram p(0);
    AlgoForm& f = p.Open("P27 13");
    const Nanos start = p.programmer->Now();
    f.Click("Button1");

    EXPECT_EQ(p.wb.Counter, "0");
    EXPECT_EQ(p.programmer->GetOperator(), nullptr);
    EXPECT_EQ(p.prompts.chipPrompt.size(), 300u);  // the removal phase's polls, all seeing the chip
    EXPECT_GE(p.programmer->Now() - start, 30 * Second);
    EXPECT_TRUE(Blank(*p.programmer->GetChip()));
}

}  // namespace
}  // namespace quilla::test
