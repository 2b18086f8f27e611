// The headless form machinery with a small stand-in form: driving controls by
// name, the exception guard, and the " Run " batch.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "algo/common/form.h"
#include "algo/common/offsets.h"
#include "algo/common/window.h"
#include "engine/fatal.h"
#include "support/param_names.h"
#include "support/recording_transport.h"
#include "support/scripted_prompts.h"

namespace quilla::test {
namespace {

class ToyForm : public AlgoForm {
public:
    explicit ToyForm(Workbench& wb) : AlgoForm(wb, "Toy") {
        using namespace win;
        DeclareControls(Join({Offsets.Rows(*this),
                              {On(PushButton({"Go", "Go"}), [this] { Run("go"); }),
                               On(PushButton({"Boom", "Boom"}), [] { throw std::runtime_error("bad thing"); }),
                               On(PushButton({"Fatal", "Fatal"}), [] { FatalLinkEnd("link gone"); }),
                               On(PushButton({"No", "No"}), [this] { Refuse("refused"); }),
                               Group({"GroupBox1", "Batch   "})},
                              In("GroupBox1", {Box({"CheckBox1", "A"}, true), Box({"CheckBox2", "B"}, true),
                                               Box({"CheckBox3", "C"}, true),
                                               On(PushButton({"Button1", " Run "}), [this] { Batch(); })}),
                              {Radio({"Speed", "Speed"}, {"a", "b", "c"}, 0),
                               On(Grid({"Grid", "CFG"}, {"A0", "A1", "A2"}, {"1", "1"}),
                                  [this] { log.push_back("cell " + std::to_string(ItemIndex("Grid"))); }),
                               win::Status("Message", "Prompt  ")}}));
    }
    void Cell(int row, const std::string& text) { PutCell("Grid", row, text); }
    void SetupForDevice() override {}
    void OnActivate() override { ++activations; }

    void Run(const char* what) { log.push_back(what); }
    void Batch() {
        RunBatch({{"CheckBox1", [this] { Step("A"); }},
                  {"CheckBox2", [this] { Step("B"); }},
                  {"CheckBox3", [this] { Step("C"); }}},
                 [this] {
                     log.push_back("wait");
                     return waits-- > 0;
                 });
    }
    void Step(const std::string& s) {
        log.push_back(s);
        if (s == failAt) wb.ErrorFlag() = 1;
        if (s == refuseAt) Refuse("no");
        if (s == throwAt) throw std::runtime_error("thrown in " + s);
    }

    OffsetsWindow Offsets;
    std::vector<std::string> log;
    std::string failAt, refuseAt, throwAt;
    int waits = 0;
    int activations = 0;
};

struct Fixture : ::testing::Test {
    FatalIntercept fatal;
    ScriptedPrompts prompts;
    RecordingTransport link;
    Workbench wb{prompts, &link};
    ToyForm f{wb};
};

TEST_F(Fixture, ControlsAreDrivenByName) {
    f.Click("Go");
    EXPECT_EQ(f.log, (std::vector<std::string>{"go"}));
    f.Choose("Speed", 2);
    EXPECT_EQ(f.ItemIndex("Speed"), 2);
    f.Choose("Speed", 7);  // no such item
    EXPECT_EQ(f.ItemIndex("Speed"), 2);
    EXPECT_EQ(f.Text("Message"), "Prompt  ");
    EXPECT_THROW(f.Click("Nothing"), std::out_of_range);
}

TEST_F(Fixture, AGridKeepsItsRowNamesAndReportsTheClickedRow) {
    const FormControl& g = f.Get("Grid");
    EXPECT_EQ(g.RowNames, (std::vector<std::string>{"A0", "A1", "A2"}));
    EXPECT_EQ(g.Items, (std::vector<std::string>{"1", "1", ""}));  // one cell per row
    f.ClickCell("Grid", 2);
    f.ClickCell("Grid", 3);   // no such row
    f.ClickCell("Grid", -1);
    EXPECT_EQ(f.log, (std::vector<std::string>{"cell 2"}));
    f.Cell(1, "0");
    f.Cell(5, "0");  // ignored
    EXPECT_EQ(f.Get("Grid").Items, (std::vector<std::string>{"1", "0", ""}));
}

TEST_F(Fixture, HiddenOrDisabledControlsDoNothingAndBoxesCountUnticked) {
    f.Get("Go").Enabled = false;
    f.Click("Go");
    EXPECT_TRUE(f.log.empty());
    f.Get("CheckBox2").Visible = false;
    EXPECT_TRUE(f.Checked("CheckBox2"));
    EXPECT_FALSE(f.Ticked("CheckBox2"));
    f.Click("Button1");
    EXPECT_EQ(f.log, (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(f.Text("Message"), "End OK..");
}

TEST_F(Fixture, AnExceptionInAHandlerShowsItsMessageAndSwitchesTheSuppliesOff) {
    f.Click("Boom");
    EXPECT_EQ(f.Text("Message"), "bad thing");
    // PowerOff: VPP 0 V and unrouted, VCC 0 V and unrouted.
    const Bytes s = link.Stream();
    auto has = [&](std::uint8_t sub) {
        for (std::size_t i = 0; i + 3 < s.size(); ++i)
            if (s[i] == proto::OpSystem && s[i + 1] == sub && s[i + 2] == 0) return true;
        return false;
    };
    EXPECT_TRUE(has(proto::SysVppLevel));
    EXPECT_TRUE(has(proto::SysVppPin));
    EXPECT_TRUE(has(proto::SysVccLevel));
    EXPECT_TRUE(has(proto::SysVccPin));
}

TEST_F(Fixture, TheFatalLinkEndIsNotCaught) { EXPECT_THROW(f.Click("Fatal"), FatalExit); }

TEST_F(Fixture, BatchRunsTickedStepsInOrderAndCountsACleanPass) {
    f.Click("Button1");
    EXPECT_EQ(f.log, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_EQ(wb.Counter, "1");
    EXPECT_EQ(prompts.beeps, 1);
}

struct StopCase {
    const char* how;
    const char* at;
};
class BatchStops : public Fixture, public ::testing::WithParamInterface<StopCase> {};

TEST_P(BatchStops, AtTheFirstFailedStepWithoutEndOkOrCount) {
    const StopCase c = GetParam();
    std::string(c.how) == "flag" ? f.failAt = c.at : (std::string(c.how) == "refuse" ? f.refuseAt = c.at : f.throwAt = c.at);
    f.Click("Button1");
    std::vector<std::string> want{"A"};
    if (std::string(c.at) != "A") want.push_back("B");
    EXPECT_EQ(f.log, want);
    EXPECT_NE(f.Text("Message"), "End OK..");
    EXPECT_EQ(wb.Counter, "0");
    EXPECT_EQ(prompts.beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, BatchStops,
                         ::testing::Values(StopCase{"flag", "A"}, StopCase{"flag", "B"}, StopCase{"refuse", "A"},
                                           StopCase{"refuse", "B"}, StopCase{"throw", "B"}),
                         quilla::test::CaseName([](const auto& c) { return std::string(c.how) + " at " + c.at; }));

TEST_F(Fixture, MassProductionWaitsBeforeEveryPassIncludingTheFirst) {
    wb.options.MassProduction = true;
    f.waits = 2;
    f.SetChecked("CheckBox2", false);
    f.Click("Button1");
    EXPECT_EQ(f.log, (std::vector<std::string>{"wait", "A", "C", "wait", "A", "C", "wait"}));
    EXPECT_EQ(wb.Counter, "2");
}

TEST_F(Fixture, MassProductionEndsAtAFailedPass) {
    wb.options.MassProduction = true;
    f.waits = 5;
    f.failAt = "C";
    f.Click("Button1");
    EXPECT_EQ(f.log, (std::vector<std::string>{"wait", "A", "B", "C"}));
    EXPECT_EQ(wb.Counter, "0");
}

TEST_F(Fixture, ErrorFlagIsClearedBeforeEachPass) {
    wb.ErrorFlag() = 1;
    f.Click("Button1");
    EXPECT_EQ(wb.Counter, "1");
}

struct OffsetCase {
    const char* typed;
    const char* shown;
    std::int32_t value;
};
class OffsetEdits : public Fixture, public ::testing::WithParamInterface<OffsetCase> {};

TEST_P(OffsetEdits, ReadHexKeepThePreviousValueOnJunkAndWriteBack) {
    const OffsetCase c = GetParam();
    f.Enter("Edit2", "10");
    f.Enter("Edit2", c.typed);
    EXPECT_EQ(f.Offsets.DeviceOffset, c.value);
    EXPECT_EQ(f.Text("Edit2"), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, OffsetEdits,
                         ::testing::Values(OffsetCase{"1fF", "1ff", 0x1FF}, OffsetCase{"  20x", "20", 0x20},
                                           OffsetCase{"zz", "10", 0x10}, OffsetCase{"", "10", 0x10},
                                           OffsetCase{"ffffffff", "ffffffff", -1}),
                         quilla::test::CaseName([](const auto& c) { return std::string(c.typed); }));

TEST_F(Fixture, EnterInAnOffsetEditIsTheSameAsLeavingIt) {
    f.SetText("Edit1", "400");
    f.KeyDown("Edit1", 65);
    EXPECT_EQ(f.Offsets.FileOffset, 0);
    f.KeyDown("Edit1", 13);
    EXPECT_EQ(f.Offsets.FileOffset, 0x400);
}

struct PageCase {
    int page;
    const char* edit;
    const char* typed;
    const char* shown;
};
class PageRounding : public Fixture, public ::testing::WithParamInterface<PageCase> {};

TEST_P(PageRounding, OffsetsRoundDownToThePageAndLengthTakesItsLowBits) {
    const PageCase c = GetParam();
    f.Offsets.SetPage(c.page);
    f.Enter(c.edit, c.typed);
    EXPECT_EQ(f.Text(c.edit), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageRounding,
                         ::testing::Values(PageCase{128, "Edit1", "1234", "1200"},
                                           PageCase{256, "Edit2", "1234", "1200"},
                                           PageCase{32, "Edit1", "50", "40"},
                                           PageCase{64, "Edit3", "200", "23f"},
                                           PageCase{256, "Edit3", "1000", "10ff"},
                                           PageCase{64, "Edit1", "zz", "0"},     // junk keeps 0, rounded
                                           PageCase{64, "Edit3", "zz", "3f"},    // junk keeps 0, with the low bits set
                                           PageCase{128, "Edit2", "ffffffc1", "ffffff80"},
                                           PageCase{0, "Edit1", "1234", "1234"},
                                           PageCase{1, "Edit3", "200", "200"}),
                         quilla::test::CaseName([](const auto& c) {
                             return std::string(c.edit) + " page " + std::to_string(c.page) + " " + c.typed;
                         }));

TEST_F(Fixture, AFormShownWithoutAWindowHostIsActivated) {
    EXPECT_EQ(f.activations, 0);
    f.Show();
    EXPECT_EQ(f.activations, 1);
    f.Activate();
    EXPECT_EQ(f.activations, 2);
}

}  // namespace
}  // namespace quilla::test
