#include <gtest/gtest.h>

#include "catalog_fixture.h"
#include "engine/fatal.h"

namespace quilla {
namespace {

using test::CatalogTest;
using test::StubForm;

const char* const List =
    "MPU ATMEL AT89C51,P89C51 1\n"
    "MPU ATMEL AT89C52 *P44,P89C51 2 vcc=5000\n"
    "MPU ATMEL -------- ,---\n"
    "MPU ATMEL AT89C55\n"
    "MPU ATMEL AT89C2051,P2051 3\n"
    "MPU PHILIPS P89C52,P89C51 7 #12 34\n"
    "EPR AMD AM27C256,P27 13 #01 10\n"
    "EPR AMD AM29F040 32PLCC,P29F 3 #01 A4 adp=PLCC32-DIP\n"
    "EEP ATMEL AT28C64,AT28CX 1\n"
    "RAM TEST 6264,DSRAM 0\n"
    "RAM TEST 62256,TESTRAM 1\n";

class TypeDlgTest : public CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        WriteList(List);
        dlg.FillMfrList();
    }
    void Choose(int category, const std::string& mfr, const std::string& device) {
        dlg.SelectCategory(category);
        int m = dlg.ListBox1.IndexOf(mfr);
        ASSERT_GE(m, 0) << mfr;
        dlg.ClickManufacturer(m);
        int d = dlg.ListBox2.IndexOf(device);
        ASSERT_GE(d, 0) << device;
        dlg.ListBox2.Select(d);
    }
};

TEST_F(TypeDlgTest, OkRecordsTheSelectionAndDispatches) {
    Choose(2, "ATMEL", "AT89C52 *P44");
    dlg.Visible = true;
    dlg.OKBtnClick();
    EXPECT_EQ(wb.sel.TypeText, "ATMEL: AT89C52 *P44");
    EXPECT_EQ(dlg.Main.Label2, "Type:    ATMEL: AT89C52 *P44");
    EXPECT_EQ(dlg.Main.StatusPanel2, "ATMEL");
    EXPECT_EQ(dlg.Main.StatusPanel3, "AT89C52 *P44");
    EXPECT_EQ(dlg.SavedMfrIndex, 0);
    EXPECT_EQ(dlg.SavedDeviceIndex, 1);
    EXPECT_EQ(dlg.Main.ListBox1.ItemIndex, 1);
    EXPECT_EQ(wb.sel.SelectedDevice, "AT89C52 *P44");
    EXPECT_EQ(wb.sel.ParamString, "P89C51 2 vcc=5000");
    EXPECT_EQ(wb.sel.DeviceKeyword, "P89C51");
    EXPECT_EQ(wb.sel.VariantIndex, 2);
    EXPECT_EQ(wb.sel.AdapterLabel, "KLV-UNIV-44");
    EXPECT_EQ(dlg.GetParam("vcc="), 5000);
    auto* form = dlg.Dispatch().Get<StubForm>("TAt89c5x");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->setups, 1);
    EXPECT_EQ(form->seenParams, "P89C51 2 vcc=5000");
    EXPECT_EQ(form->seenTypeText, "ATMEL: AT89C52 *P44");
    EXPECT_FALSE(dlg.Visible);
}

TEST_F(TypeDlgTest, EveryDispatchIsAnnouncedWithTheSelectedDevice) {
    std::vector<std::string> seen;
    dlg.BeforeDispatch = [&](const std::string& d) {
        seen.push_back(d + (dlg.Dispatch().Form("TAt89c5x") ? " (form open)" : " (no form yet)"));
    };
    Choose(2, "ATMEL", "AT89C52 *P44");
    dlg.OKBtnClick();
    dlg.ProgClick();
    EXPECT_EQ(seen, (std::vector<std::string>{"AT89C52 *P44 (no form yet)", "AT89C52 *P44 (form open)"}));
}

TEST_F(TypeDlgTest, OkOnSeparatorOrWithoutSelectionDoesNothing) {
    Choose(2, "ATMEL", "-------- ");
    dlg.OKBtnClick();
    EXPECT_EQ(wb.sel.ParamString, "P89C51 1");
    EXPECT_EQ(wb.sel.TypeText, "");
    EXPECT_EQ(dlg.Dispatch().FormCount(), 0u);
    dlg.ListBox2.Select(-1);
    dlg.OKBtnClick();
    EXPECT_EQ(wb.sel.TypeText, "");
}

// A device line that cannot open a form: one message naming the line and the
// reason; the device chosen before keeps its name, its form and its parameters.
TEST_F(CatalogTest, BrokenDeviceLinesAreRefusedAndChangeNothing) {
    const std::string longName(5000, 'X');
    const std::string longType(94, 'D');  // "ACME: " + 94 characters: 100
    const std::string longMfr = "ACMEACMEACMEACMEACMEACMEACMEAC";  // 30 characters
    WriteList("MPU ATMEL AT89C51,P89C51 1 #1E 51 adp=DIP40\n"
              "MPU ACME BROKEN1,\n"
              "MPU ACME BROKEN2,P2051\n"
              "MPU ACME BROKEN3\n"
              "MPU ACME BROKEN4,NOSUCHKEY 1\n"
              "MPU ACME " + longName + ",P27 1\n"
              "MPU ACME " + longType + ",P27 1\n"
              "MPU " + longMfr + " LONGMFR,P27 1\n"
              "MPU ACME GOOD,P27 2\n");
    struct Case {
        std::string mfr, device, message;
    };
    const Case cases[] = {
        {"ACME", "BROKEN1", "Bad device line: \"MPU ACME BROKEN1,\": no parameters"},
        {"ACME", "BROKEN2", "Bad device line: \"MPU ACME BROKEN2,P2051\": no variant number after the keyword P2051"},
        {"ACME", "BROKEN3", "Bad device line: \"MPU ACME BROKEN3\": no parameters"},
        {"ACME", "BROKEN4", "Bad device line: \"MPU ACME BROKEN4,NOSUCHKEY 1\": the keyword NOSUCHKEY names no form"},
        {"ACME", std::string(490, 'X'),
         "Bad device line: \"MPU ACME " + std::string(51, 'X') + "...\": longer than 499 characters"},
        {"ACME", longType,
         "Bad device line: \"MPU ACME " + std::string(51, 'D') +
             "...\": the manufacturer and device name take 100 characters, 99 at most"},
        {longMfr, "LONGMFR",
         "Bad device line: \"MPU " + longMfr + " LONGMFR,P27 1\": the manufacturer name has 30 characters, 29 at most"},
    };
    auto choose = [&](const std::string& mfr, const std::string& device) {
        dlg.FillMfrList();
        dlg.ClickManufacturer(dlg.ListBox1.IndexOf(mfr));
        dlg.ListBox2.Select(dlg.ListBox2.IndexOf(device));
        ASSERT_TRUE(dlg.ListBox2.HasSelection()) << device.substr(0, 20);
        dlg.Visible = true;
        dlg.OKBtnClick();
    };
    auto selection = [&] {
        const Selection& s = wb.sel;
        return std::vector<std::string>{s.TypeText, s.SelectedDevice, s.ParamString, s.DeviceKeyword,
                                        std::to_string(s.VariantIndex), std::to_string(s.ExpectedId[1]),
                                        s.AdapterLabel, dlg.Main.Label2, dlg.Main.StatusPanel2,
                                        dlg.Main.StatusPanel3, std::to_string(dlg.SavedDeviceIndex)};
    };
    choose("ATMEL", "AT89C51");
    auto* before = dlg.Dispatch().Get<StubForm>("TAt89c5x");
    ASSERT_NE(before, nullptr);
    const auto chosen = selection();
    ASSERT_EQ(chosen[9], "AT89C51");
    for (const Case& c : cases) {
        const std::size_t shown = prompts.shown.size();
        choose(c.mfr, c.device);
        ASSERT_EQ(prompts.shown.size(), shown + 1) << c.message;
        EXPECT_EQ(prompts.Last(), c.message);
        EXPECT_EQ(selection(), chosen) << c.message;
        EXPECT_EQ(dlg.Dispatch().FormCount(), 1u);
        EXPECT_EQ(before->setups, 1);
        EXPECT_TRUE(dlg.Visible);  // the dialog stays up for another choice
    }
    // A good line after the broken ones opens its form, without a message.
    const std::size_t shown = prompts.shown.size();
    choose("ACME", "GOOD");
    EXPECT_EQ(prompts.shown.size(), shown);
    auto* good = dlg.Dispatch().Get<StubForm>("TP27x");
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(good->seenParams, "P27 2");
    EXPECT_EQ(good->seenTypeText, "ACME: GOOD");
    EXPECT_EQ(dlg.Main.StatusPanel3, "GOOD");
    EXPECT_FALSE(dlg.Visible);
}

TEST_F(TypeDlgTest, SameDeviceTwiceKeepsOneFormAnotherFamilyOpensBeside) {
    Choose(2, "ATMEL", "AT89C51");
    dlg.OKBtnClick();
    Choose(2, "ATMEL", "AT89C51");
    dlg.OKBtnClick();
    auto* form = dlg.Dispatch().Get<StubForm>("TAt89c5x");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(StubForm::Constructed(), 1);
    EXPECT_EQ(form->shows, 2);
    EXPECT_EQ(form->setups, 2);
    Choose(0, "AMD", "AM27C256");
    dlg.OKBtnClick();
    EXPECT_EQ(StubForm::Constructed(), 2);
    EXPECT_EQ(dlg.Dispatch().Form("TAt89c5x"), form);
    ASSERT_NE(dlg.Dispatch().Get<StubForm>("TP27x"), nullptr);
    EXPECT_EQ(wb.sel.ExpectedId, (std::array<std::uint8_t, 4>{0x01, 0x10, 0, 0}));
}

TEST_F(TypeDlgTest, TwoKeywordsOfOneClassShareTheForm) {
    Choose(5, "TEST", "6264");
    dlg.OKBtnClick();
    Choose(5, "TEST", "62256");
    dlg.OKBtnClick();
    EXPECT_EQ(StubForm::Constructed(), 1);
    EXPECT_EQ(dlg.Dispatch().Get<StubForm>("TDsRAM")->setups, 2);
    EXPECT_EQ(wb.sel.VariantIndex, 1);
}

TEST_F(TypeDlgTest, AdapterKeyTakesFifteenRawCharacters) {
    Choose(0, "AMD", "AM29F040 32PLCC");
    dlg.OKBtnClick();
    EXPECT_EQ(wb.sel.AdapterLabel, "PLCC32-DIP");
    // the ID digits are taken at fixed places after '#', whatever stands there
    EXPECT_EQ(wb.sel.ExpectedId, (std::array<std::uint8_t, 4>{0x01, 0xA4, 0xAD, 0x00}));
}

TEST_F(TypeDlgTest, NegativeVariantReachesTheForm) {
    dlg.Dispatch().Open("P27 -1");
    auto* form = dlg.Dispatch().Get<StubForm>("TP27x");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->seenVariant, -1);
}

TEST_F(TypeDlgTest, LeadingBlankOpensNothing) {
    EXPECT_EQ(dlg.Dispatch().Open(" P27 1"), nullptr);
    EXPECT_EQ(wb.sel.DeviceKeyword, "");
    EXPECT_EQ(dlg.Dispatch().FormCount(), 0u);
}

TEST_F(TypeDlgTest, KeywordsAreWholeAndCaseSensitive) {
    EXPECT_EQ(dlg.Dispatch().Open("P2 1"), nullptr);
    EXPECT_EQ(dlg.Dispatch().Open("p27 1"), nullptr);
    EXPECT_EQ(dlg.Dispatch().Open("P27X 1"), nullptr);
    EXPECT_NE(dlg.Dispatch().Open("P27 1"), nullptr);
}

struct ThrowingForm : AlgorithmForm {
    explicit ThrowingForm(Workbench&) {}
    void SetupForDevice() override { throw std::runtime_error("setup broke"); }
};

TEST_F(CatalogTest, FormThatThrowsIsReportedAndTheProgramGoesOn) {
    FormRegistry reg;
    reg.Add("TP27x", [](Workbench& w) { return std::make_unique<ThrowingForm>(w); });
    TTypeDlg d(wb, reg);
    wb.sel.ParamString = "P27 1";
    EXPECT_NO_THROW(d.OpenAlgorithmForm());
    EXPECT_EQ(prompts.Last(), "setup broke");
}

// The main window's commands ------------------------------------------------------------

TEST_F(TypeDlgTest, MirrorHandlersDriveTheDialog) {
    dlg.ComboBox2Change(0);  // EPROM
    EXPECT_EQ(dlg.RadioIndex, 0);
    EXPECT_EQ(dlg.Category, "EPR");
    EXPECT_EQ(dlg.Main.ComboBox1.Items, (std::vector<std::string>{"AMD"}));
    dlg.ComboBox2Change(-5);  // a negative index becomes 0: already selected, nothing runs
    EXPECT_EQ(dlg.RadioIndex, 0);
    dlg.ComboBox2Change(2);
    dlg.ComboBox1Change(1);
    EXPECT_EQ(dlg.Manufacturer, "PHILIPS");
    EXPECT_EQ(dlg.ListBox1.ItemIndex, 1);
    EXPECT_EQ(dlg.Main.ComboBox1.Text, "PHILIPS");
    EXPECT_EQ(dlg.Main.ListBox1.Items, (std::vector<std::string>{"P89C52"}));
    dlg.Main.ListBox1.Select(0);
    dlg.List1KeyDown(65);  // not Enter
    EXPECT_EQ(wb.sel.SelectedDevice, "");
    dlg.List1KeyDown(13);
    EXPECT_EQ(wb.sel.SelectedDevice, "P89C52");
}

TEST_F(TypeDlgTest, ReadWriteWithMirrorOutOfStepSaysSoThenDispatches) {
    Choose(2, "ATMEL", "AT89C2051");
    dlg.Main.ListBox1.Select(0);
    wb.sel.ParamString = "P27 4";
    dlg.ProgClick();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Click mouse to change!!!");
    EXPECT_EQ(prompts.shown[0].caption, "Quilla");
    EXPECT_EQ(dlg.Main.ListBox1.ItemIndex, dlg.ListBox2.ItemIndex);
    ASSERT_NE(dlg.Dispatch().Get<StubForm>("TP27x"), nullptr);
    dlg.ProgClick();
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(dlg.Dispatch().Get<StubForm>("TP27x")->setups, 2);
}

TEST_F(TypeDlgTest, AutoDetectOnlyForEpromAndEeprom) {
    dlg.IDClick();  // category MCU
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Only for EPROM & EEPROM (27xxx,28xxx,29xxx) !!!!!!");
    dlg.SelectCategory(0);
    wb.sel.MfrIdByte = 0x1F;
    wb.sel.DeviceIdByte = 0x8C;
    dlg.IDClick();  // not connected: only the reset, the bytes stay
    EXPECT_EQ(prompts.Last(), "MFG ID  = 1f,     type ID = 8c ");
}

TEST_F(TypeDlgTest, SettingsRefusedOnVex310) {
    wb.Ep3.ProgrammerModel = "vex310";
    EXPECT_FALSE(dlg.SettingAllowed());
    EXPECT_EQ(prompts.Last(), "vex310不支持这项选择");
    wb.Ep3.ProgrammerModel = "vex520";
    EXPECT_TRUE(dlg.SettingAllowed());
    EXPECT_EQ(prompts.shown.size(), 1u);
}

// Detect MFG ID ----------------------------------------------------------------------------

// The queue a reference engine builds from the ID sequence, as the bytes sent.
test::Bytes ExpectedIdStream() {
    test::ScriptedPrompts p;
    Options o;
    test::RecordingTransport t;
    TEp3 e(p, o, &t);
    e.Connected = 1;
    e.GndPin(20);
    e.SetVpp(12500);
    e.UsbPut1(proto::OpWaitSettle);
    e.SetAllPins(0);
    e.PinHigh(5);
    e.PinHigh(7);
    e.PinHigh(36);
    e.VccPin(36);
    e.SetPortMode(12);
    e.WriteLatch(2, 0xFF);
    e.VppPin(30);
    e.PinLow(16);
    e.UsbPut1(proto::OpCaptureData);
    e.PinHigh(16);
    e.UsbPut1(proto::OpCaptureData);
    e.PinLow(16);
    e.PinHigh(15);
    e.UsbPut1(proto::OpCaptureData);
    e.UsbReadReply();
    e.VppPin(0);
    e.VccPin(0);
    e.UsbFlush();
    return t.Stream();
}

TEST_F(CatalogTest, DetectMfgIdSendsTheSequenceAndShowsTwoBytes) {
    FatalIntercept fatal;
    wb.Ep3.Connected = 1;
    dlg.SelectCategory(0);
    usb.QueueReply({0x1f, 0xa4, 0x77});
    dlg.MFRClick();
    wb.Ep3.UsbFlush();
    EXPECT_EQ(usb.Stream(), ExpectedIdStream());
    EXPECT_EQ(wb.sel.MfrIdByte, 0x1f);
    EXPECT_EQ(wb.sel.DeviceIdByte, 0xa4);
    EXPECT_EQ(dlg.Edit1, "1f,a4");
    // the settle wait, and VCC on 36 and VPP on 30 were queued
    EXPECT_EQ(usb.readSizes, (std::vector<int>{64}));
}

TEST_F(CatalogTest, DetectMfgIdWithoutConnectionOnlyResets) {
    wb.Ep3.Connected = 0;
    wb.sel.MfrIdByte = 0x55;
    dlg.Edit1 = "old";
    dlg.SelectCategory(0);
    dlg.MFRClick();
    EXPECT_EQ(dlg.Edit1, "");
    EXPECT_EQ(wb.sel.MfrIdByte, 0x55);
    test::ScriptedPrompts p;
    Options o;
    test::RecordingTransport refUsb;
    TEp3 ref(p, o, &refUsb);
    ref.ResetPins();
    ref.UsbFlush();
    wb.Ep3.UsbFlush();
    EXPECT_EQ(usb.Stream(), refUsb.Stream());
    EXPECT_TRUE(usb.readSizes.empty());
}

TEST_F(CatalogTest, DetectMfgIdSendsNothingForOtherCategories) {
    wb.Ep3.Connected = 1;
    for (int cat : {2, 3, 4, 5, 6}) {
        dlg.RadioIndex = cat;
        dlg.Edit1 = "x";
        dlg.MFRClick();
        EXPECT_EQ(dlg.Edit1, "");
        EXPECT_EQ(wb.Ep3.UsbCmdCount, 0);
        EXPECT_TRUE(usb.writes.empty());
    }
}

}  // namespace
}  // namespace quilla
