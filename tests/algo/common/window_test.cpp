// A window declared as data: the rows become the controls in table order, and
// the handlers reach their controls by name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "algo/common/window.h"
#include "support/scripted_prompts.h"

namespace quilla::test {
namespace {

// The window of a family as one table: `full` adds the rows only some of its
// forms show.
ControlRows TableWindow(bool full) {
    using namespace win;
    return Join({{PushButton({"Write", "Write "}), Hidden(PushButton({"SN", "SN"})),
                  If(full, PushButton({"Lock", "Lock"})), Disabled(Edit({"Edit2", "Sum:"}, "ffff")),
                  Radio({"RadioGroup1", "OSC"}, {"LP", "XT"}, 1), Combo({"Speed", ""}, {"Fast", "Slow"}, 1)},
                 {Group({"GroupBox1", "Batch   "})},
                 In("GroupBox1",
                    {Box({"CheckBox1", "W."}, true), Box({"CheckBox2", "Vrfy"}), PushButton({"Button1", " Run "})}),
                 {Red(ReadOnly(Edit({"Edit6"}, "Add "))), Status("Msg", "Prompt  "), Progress("RdBar")}});
}

class TableForm : public AlgoForm {
public:
    TableForm(Workbench& w, bool full) : AlgoForm(w, "table") {
        using F = TableForm;
        DeclareControls(TableWindow(full), this,
                        {{"Write", &F::WriteClick}, {"SN", &F::SnClick}, {"Lock", &F::LockClick},
                         {"CheckBox1", &F::BoxClick}, {"Button1", &F::RunClick}});
    }
    void SetupForDevice() override {}
    void WriteClick() { clicks.push_back("Write"); }
    void SnClick() { clicks.push_back("SN"); }
    void LockClick() { clicks.push_back("Lock"); }
    void BoxClick() { clicks.push_back("Box"); }
    void RunClick() {
        RunBatch(BatchSteps(this, {{"CheckBox1", &TableForm::WriteClick}, {"CheckBox2", &TableForm::LockClick}}),
                 nullptr, false);
    }
    std::vector<std::string> clicks;
};

struct Want {
    ControlKind kind;
    const char* name;
    const char* caption;
    const char* group;
    const char* text;
    bool checked, enabled, visible, readOnly, emphasis;
};

TEST(WindowTable, EveryRowBecomesItsControlInTableOrder) {
    ScriptedPrompts prompts;
    Workbench wb{prompts};
    TableForm f{wb, false};
    using K = ControlKind;
    const std::vector<Want> want = {
        {K::Button, "Write", "Write ", "", "", false, true, true, false, false},
        {K::Button, "SN", "SN", "", "", false, true, false, false, false},
        {K::Edit, "Edit2", "Sum:", "", "ffff", false, false, true, false, false},
        {K::Radio, "RadioGroup1", "OSC", "", "", false, true, true, false, false},
        {K::Combo, "Speed", "", "", "Slow", false, true, true, false, false},
        {K::Group, "GroupBox1", "Batch   ", "", "", false, true, true, false, false},
        {K::Check, "CheckBox1", "W.", "GroupBox1", "", true, true, true, false, false},
        {K::Check, "CheckBox2", "Vrfy", "GroupBox1", "", false, true, true, false, false},
        {K::Button, "Button1", " Run ", "GroupBox1", "", false, true, true, false, false},
        {K::Edit, "Edit6", "", "", "Add ", false, true, true, true, true},
        {K::Status, "Msg", "", "", "Prompt  ", false, true, true, true, false},
        {K::Progress, "RdBar", "", "", "", false, true, true, false, false},
    };
    ASSERT_EQ(f.Controls().size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const FormControl& c = *f.Controls()[i];
        const Want& w = want[i];
        SCOPED_TRACE(w.name);
        EXPECT_EQ(c.Kind, w.kind);
        EXPECT_EQ(c.Name, w.name);
        EXPECT_EQ(c.Caption, w.caption);
        EXPECT_EQ(c.Group, w.group);
        EXPECT_EQ(c.Text, w.text);
        EXPECT_EQ(c.Checked, w.checked);
        EXPECT_EQ(c.Enabled, w.enabled);
        EXPECT_EQ(c.Visible, w.visible);
        EXPECT_EQ(c.ReadOnly, w.readOnly);
        EXPECT_EQ(c.Emphasis, w.emphasis);
    }
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 1);
    EXPECT_EQ(f.StatusName(), "Msg");
}

TEST(WindowTable, AnEditRowCarriesWhatLeavingItAndAKeyInItDo) {
    ScriptedPrompts prompts;
    Workbench wb{prompts};
    TableForm f{wb, false};
    std::vector<std::string> seen;
    f.DeclareControls({win::OnExit(win::Edit({"Edit1", "File offset  :"}, "000000"), [&] { seen.push_back("exit"); },
                                   [&](int key) { seen.push_back("key " + std::to_string(key)); })});
    f.Enter("Edit1", "400");
    f.KeyDown("Edit1", 13);
    EXPECT_EQ(seen, (std::vector<std::string>{"exit", "key 13"}));
    EXPECT_EQ(f.Text("Edit1"), "400");
}

TEST(WindowTable, HandlersReachTheirControlsByNameAndARowLeftOutTakesNone) {
    ScriptedPrompts prompts;
    Workbench wb{prompts};
    TableForm plain{wb, false}, full{wb, true};
    EXPECT_FALSE(plain.Has("Lock"));  // its handler is passed over
    ASSERT_TRUE(full.Has("Lock"));
    EXPECT_EQ(full.Controls()[2]->Name, "Lock");  // in its place in the table
    full.Click("Write");
    full.Click("Lock");
    full.Click("SN");  // hidden: nothing
    full.SetChecked("CheckBox1", false);
    full.SetChecked("CheckBox1", true);
    EXPECT_EQ(full.clicks, (std::vector<std::string>{"Write", "Lock", "Box", "Box"}));
    full.clicks.clear();
    full.Click("Button1");  // the batch runs the ticked box's step only
    EXPECT_EQ(full.clicks, (std::vector<std::string>{"Write"}));
}

TEST(WindowTable, WithChangesTheNamedRowOnly) {
    using namespace win;
    const ControlRows rows = With({PushButton({"Read", "Read"}), PushButton({"Fuse", "Fuse"})}, "Fuse", Hidden);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].Visible);
    EXPECT_FALSE(rows[1].Visible);
    EXPECT_EQ(rows[1].Caption, "Fuse");
}

}  // namespace
}  // namespace quilla::test
