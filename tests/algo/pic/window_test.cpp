// The PIC window tables: what DeclareWindow makes of each row, in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "algo/pic/pic_form.h"
#include "support/scripted_prompts.h"

namespace quilla::test {
namespace {

// A window of one table per shape the rows take.
class TableForm : public PicForm {
public:
    explicit TableForm(Workbench& w, bool variant) : PicForm(w, "table", picvariant::P16fx) {
        using namespace picwin;
        DeclareWindow({{PushButton(kBlank, [this] { clicks.push_back("Blank"); }),
                        Hidden(PushButton({"SN", "SN"}, [this] { clicks.push_back("SN"); })),
                        If(variant, Box({"CheckTYP", "TYP"}, true, "", [this] { clicks.push_back("TYP"); })),
                        Disabled(Edit("Edit2", "Sum:", "ffff")), Radio("RadioGroup1", "OSC", OscItems(), 1),
                        VerifyVoltage("4.5V", 1)},
                       Batch({{kBlankBox}, {kVerifyBox, false}}, kRun2, [this] { clicks.push_back("Run"); }),
                       Foot(true)});
    }
    void SetupForDevice() override {}
    std::vector<std::string> clicks;
};

struct Row {
    ControlKind kind;
    const char* name;
    const char* caption;
    const char* group;
    const char* text;
    bool checked, enabled, visible, readOnly, emphasis;
};

TEST(ControlRows, EveryRowBecomesItsControlInTableOrder) {
    ScriptedPrompts prompts;
    Workbench wb{prompts};
    TableForm f{wb, false};
    using K = ControlKind;
    const std::vector<Row> want = {
        {K::Button, "Blank", "Blank?  ", "", "", false, true, true, false, false},
        {K::Button, "SN", "SN", "", "", false, true, false, false, false},
        {K::Edit, "Edit2", "Sum:", "", "ffff", false, false, true, false, false},
        {K::Radio, "RadioGroup1", "OSC", "", "", false, true, true, false, false},
        {K::Combo, "VeriyVolt", "", "", "Vrfy电压3.3V", false, true, true, false, false},
        {K::Group, "GroupBox2", "Batch   ", "", "", false, true, true, false, false},
        {K::Check, "CheckBoxBlank", "Blank?  ", "GroupBox2", "", true, true, true, false, false},
        {K::Check, "CheckBoxVer", "Vrfy", "GroupBox2", "", false, true, true, false, false},
        {K::Button, "Button2", " Run ", "GroupBox2", "", false, true, true, false, false},
        {K::Edit, "Edit6", "", "", "Add ", false, true, true, true, true},
        {K::Edit, "Edit7", "", "", "Type", false, true, true, true, false},
        {K::Status, "Msg", "", "", "Prompt  ", false, true, true, true, false},
        {K::Progress, "RdBar", "", "", "", false, true, true, false, false},
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
        EXPECT_EQ(c.Enabled, w.enabled);
        EXPECT_EQ(c.Visible, w.visible);
        EXPECT_EQ(c.ReadOnly, w.readOnly);
        EXPECT_EQ(c.Emphasis, w.emphasis);
    }
    EXPECT_EQ(f.Get("RadioGroup1").ItemIndex, 1);
    EXPECT_EQ(f.Get("RadioGroup1").Items.size(), 4u);
    EXPECT_EQ(f.StatusName(), "Msg");
}

TEST(ControlRows, RowsRunTheirHandlersAndAVariantRowIsThereOnlyInItsVariant) {
    ScriptedPrompts prompts;
    Workbench wb{prompts};
    TableForm plain{wb, false}, variant{wb, true};
    EXPECT_FALSE(plain.Has("CheckTYP"));
    ASSERT_TRUE(variant.Has("CheckTYP"));
    EXPECT_EQ(variant.Controls()[2]->Name, "CheckTYP");  // in its place in the table
    EXPECT_TRUE(variant.Checked("CheckTYP"));
    variant.Click("Blank");
    variant.SetChecked("CheckTYP", false);
    variant.Click("SN");  // hidden: nothing
    EXPECT_EQ(variant.clicks, (std::vector<std::string>{"Blank", "TYP"}));
}

}  // namespace
}  // namespace quilla::test
