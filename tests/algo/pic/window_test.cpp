// The rows the PIC windows share (picwin: the one-time buttons, the oscillator
// items, the verify voltage, the user ID field, the batch group and the foot)
// and their handler tables. The common builders themselves are tested in
// tests/algo/common/window_test.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "algo/pic/pic_form.h"
#include "support/scripted_prompts.h"

namespace quilla::test {
namespace {

// A one-time window: the shared buttons with their shared handler table, the
// batch group's run button in the form's own table.
class TableForm : public PicForm {
public:
    explicit TableForm(Workbench& w) : PicForm(w, "table", picvariant::P16fx) {
        using namespace picwin;
        using F = TableForm;
        DeclareControls(win::Join({OneTimeButtons(),
                                   {win::Radio({"RadioGroup1", "OSC"}, OscItems(), 1), VerifyVoltage("4.5V", 1),
                                    UserIdField()},
                                   Batch({{kBlankBox}, {kWriteBox, false}, {kVerifyBox}, {kWrtCfgBox, false}}, kRun2),
                                   Foot(true)}),
                        this, {{kRun2.Name, &F::Button2Click}});
        BindHandlers(this, OneTimeClicks<F>());
    }
    void SetupForDevice() override {}
    void BlankClick() { clicks.push_back("Blank"); }
    void WriteClick() { clicks.push_back("Write"); }
    void VerifyClick() { clicks.push_back("Verify"); }
    void ReadToFileClick() { clicks.push_back("Read"); }
    void WtConfigClick() { clicks.push_back("WtConfig"); }
    void RdConfigClick() { clicks.push_back("RdConfig"); }
    void Button2Click() { RunBatch(OneTimeSteps(*this), nullptr, false); }
    void OnClose() override { clicks.push_back("Close"); }
    std::vector<std::string> clicks;
};

struct Row {
    ControlKind kind;
    const char* name;
    const char* caption;
    const char* group;
    const char* text;
    bool checked, readOnly, emphasis;
};

TEST(PicWindowRows, TheSharedRowsInTableOrder) {
    ScriptedPrompts prompts;
    Workbench wb{prompts};
    TableForm f{wb};
    using K = ControlKind;
    const std::vector<Row> want = {
        {K::Button, "Blank", "Blank?  ", "", "", false, false, false},
        {K::Button, "Write", "Write.", "", "", false, false, false},
        {K::Button, "Verify", "Vrfy", "", "", false, false, false},
        {K::Button, "ReadToFile", "Read  ", "", "", false, false, false},
        {K::Button, "WtConfig", "Wrt.CFG.", "", "", false, false, false},
        {K::Button, "RdConfig", "Read CFG", "", "", false, false, false},
        {K::Button, "CancelBtn", "Exit ", "", "", false, false, false},
        {K::Radio, "RadioGroup1", "OSC", "", "", false, false, false},
        {K::Combo, "VeriyVolt", "", "", "Vrfy电压3.3V", false, false, false},
        {K::Edit, "Edit1", "User ID : ", "", "ffff", false, false, false},
        {K::Group, "GroupBox2", "Batch   ", "", "", false, false, false},
        {K::Check, "CheckBoxBlank", "Blank?  ", "GroupBox2", "", true, false, false},
        {K::Check, "CheckBoxWrite", "Write.", "GroupBox2", "", false, false, false},
        {K::Check, "CheckBoxVer", "Vrfy", "GroupBox2", "", true, false, false},
        {K::Check, "CheckBoxConfig", "Wrt.CFG.", "GroupBox2", "", false, false, false},
        {K::Button, "Button2", " Run ", "GroupBox2", "", false, false, false},
        {K::Edit, "Edit6", "", "", "Add ", false, true, true},
        {K::Edit, "Edit7", "", "", "Type", false, true, false},
        {K::Status, "Msg", "", "", "Prompt  ", false, true, false},
        {K::Progress, "RdBar", "", "", "", false, false, false},
    };
    ASSERT_EQ(f.Controls().size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const FormControl& c = *f.Controls()[i];
        const Row& w = want[i];
        SCOPED_TRACE(w.name);
        EXPECT_EQ(c.Kind, w.kind);
        EXPECT_EQ(c.Name, w.name);
        EXPECT_EQ(c.Caption, w.caption);
        EXPECT_EQ(c.Group, w.group);
        EXPECT_EQ(c.Text, w.text);
        EXPECT_EQ(c.Checked, w.checked);
        EXPECT_EQ(c.ReadOnly, w.readOnly);
        EXPECT_EQ(c.Emphasis, w.emphasis);
        EXPECT_TRUE(c.Enabled && c.Visible);
    }
    EXPECT_EQ(f.Get("RadioGroup1").Items,
              (std::vector<std::string>{"LP          ", "XT          ", "HS          ", "RC          "}));
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 1);
    EXPECT_EQ(f.StatusName(), "Msg");
}

TEST(PicWindowRows, EachSharedButtonReachesItsHandlerAndTheBatchRunsTheTickedSteps) {
    ScriptedPrompts prompts;
    Workbench wb{prompts};
    TableForm f{wb};
    for (const char* b : {"Blank", "Write", "Verify", "ReadToFile", "WtConfig", "RdConfig", "CancelBtn"}) f.Click(b);
    EXPECT_EQ(f.clicks,
              (std::vector<std::string>{"Blank", "Write", "Verify", "Read", "WtConfig", "RdConfig", "Close"}));
    f.clicks.clear();
    f.Click("Button2");
    EXPECT_EQ(f.clicks, (std::vector<std::string>{"Blank", "Verify"}));
    f.clicks.clear();
    f.SetChecked("CheckBoxWrite", true);
    f.SetChecked("CheckBoxConfig", true);
    EXPECT_TRUE(f.clicks.empty());  // the batch boxes run nothing by themselves
    f.Click("Button2");
    EXPECT_EQ(f.clicks, (std::vector<std::string>{"Blank", "Write", "Verify", "WtConfig"}));
}

}  // namespace
}  // namespace quilla::test
