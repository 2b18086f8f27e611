#include <gtest/gtest.h>

#include "catalog_fixture.h"

namespace quilla {
namespace {

using test::StubForm;

struct CountingHost : FormHost {
    void ShowForm(AlgorithmForm& f) override { shown.push_back(&f); }
    std::vector<AlgorithmForm*> shown;
};

std::unique_ptr<AlgorithmForm> MakeStub(Workbench& w) { return std::make_unique<StubForm>(w); }

TEST(FormRegistryTest, RefusesClassesOutsideTheTableAndDuplicates) {
    FormRegistry reg;
    EXPECT_TRUE(reg.Add("TP27x", MakeStub));
    EXPECT_FALSE(reg.Add("TP27x", MakeStub));
    EXPECT_FALSE(reg.Add("TNoSuchForm", MakeStub));
    EXPECT_FALSE(reg.Add("tp27x", MakeStub));  // class names are exact
    EXPECT_FALSE(reg.Add("TAt89c5x", nullptr));
    EXPECT_EQ(reg.Names(), (std::vector<std::string>{"TP27x"}));
    EXPECT_EQ(reg.RefusedNames(), (std::vector<std::string>{"TP27x", "TNoSuchForm", "tp27x", "TAt89c5x"}));
    EXPECT_NE(reg.Lookup("TP27x"), nullptr);
    EXPECT_EQ(reg.Lookup("TAt89c5x"), nullptr);
}

class DispatchTest : public ::testing::Test {
protected:
    test::ScriptedPrompts prompts;
    Workbench wb{prompts};
};

TEST_F(DispatchTest, FormsAreShownThroughTheHostAndKnowTheirClass) {
    FormRegistry reg;
    reg.Add("TP27x", MakeStub);
    FormDispatch d(wb, reg);
    CountingHost host;
    d.Host = &host;
    AlgorithmForm* f = d.Open("P27 13 vcc=5000");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->ClassName, "TP27x");
    EXPECT_EQ(f->Host, &host);
    d.Open("P27 14");
    EXPECT_EQ(host.shown, (std::vector<AlgorithmForm*>{f, f}));
    EXPECT_EQ(d.Get<StubForm>("TP27x")->seenVariant, 14);
}

// A parameter string that opens no form changes nothing: the form set up
// before goes on reading the keyword, variant, ID and adapter of its device.
TEST_F(DispatchTest, StringThatOpensNoFormChangesNothing) {
    FormRegistry reg;
    reg.Add("TP27x", MakeStub);
    FormDispatch d(wb, reg);
    ASSERT_NE(d.Open("P27 5 #01 02 03 04 adp=X"), nullptr);
    const struct {
        const char* params;
        const char* why;
    } cases[] = {
        {"", "no parameters"},
        {"---", "no parameters"},
        {"P27", "no variant number after the keyword P27"},
        {"P27 vcc=5000", "no variant number after the keyword P27"},
        {" P27 1", "no keyword in front of the variant number"},
        {"NOSUCHKEY 1 #AA BB", "the keyword NOSUCHKEY names no form"},
        {"P89C51 3", "the keyword P89C51 names no form"},  // in the table, its form not built
        {"P27 -1", ""},                                      // the form's own check
        {"P27  +2 vcc=5000", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(d.WhyNoForm(c.params), c.why) << c.params;
        if (c.why[0] == '\0') continue;
        EXPECT_EQ(d.Open(c.params), nullptr);
        EXPECT_EQ(wb.sel.DeviceKeyword, "P27");
        EXPECT_EQ(wb.sel.VariantIndex, 5);
        EXPECT_EQ(wb.sel.ExpectedId, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
        EXPECT_EQ(wb.sel.AdapterLabel, "X");
    }
    EXPECT_EQ(d.Get<StubForm>("TP27x")->setups, 1);
}

TEST_F(DispatchTest, SelectionReadsKeysThroughGetParam) {
    wb.sel.ParamString = "PIC16FEE 2 fee=8 ee=64 vcc=4500";
    EXPECT_EQ(wb.sel.GetParam("ee="), 8);
    EXPECT_EQ(wb.sel.GetParam("vcc="), 4500);
    EXPECT_EQ(wb.sel.GetParam("dly="), 0);
    EXPECT_EQ(wb.sel.ReadyText, "");
}

}  // namespace
}  // namespace quilla
