// The selection dialog "Select Type  " and its mirrors on the main window,
// offscreen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QKeyEvent>
#include <filesystem>
#include <fstream>

#include "app/ui/mainform.h"
#include "app/workbench.h"
#include "catalog/typedlg.h"
#include "catalog/ui/typedlg_window.h"
#include "support/scripted_prompts.h"

namespace quilla {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_ui_catalog";
    static char* argv[] = {name, nullptr};
    // Kept to the end of the process: Qt's input devices must not be torn
    // down by static destructors after the platform is gone.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

struct RecordingForm : AlgorithmForm {
    explicit RecordingForm(Workbench& w) : wb(w) {}
    void SetupForDevice() override {
        ++setups;
        params = wb.sel.ParamString;
    }
    Workbench& wb;
    int setups = 0;
    std::string params;
};

const FormRegistry& Registry() {
    static FormRegistry reg = [] {
        FormRegistry r;
        for (const char* cls : {"TP27x", "TAt89c5x"})
            r.Add(cls, [](Workbench& w) { return std::make_unique<RecordingForm>(w); });
        return r;
    }();
    return reg;
}

class TypeDlgWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("quilla-ui-catalog-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "device640.lst") << "MPU ATMEL AT89C51,P89C51 1\n"
                                                "MPU ATMEL AT89C52 *P44,P89C51 2\n"
                                                "EPR AMD AM27C256,P27 13\n"
                                                "EPR AMD ----------,---\n"
                                                "EPR ST M27C512,P27 14\n"
                                                "SER ZZ BROKEN4,NOSUCHKEY 1\n";
        wb.ProgramDir = dir.string() + "/";
        dlg = std::make_unique<TTypeDlg>(wb, Registry());
        dlg->ConfigDir = (dir / "config").string();
        main = std::make_unique<TMainForm>(wb);
        win = std::make_unique<TypeDlgWindow>(*dlg, main.get());
        win->AttachMainForm(main.get());
        dlg->Start();
    }
    void TearDown() override {
        win.reset();
        main.reset();
        dlg.reset();
        std::filesystem::remove_all(dir);
    }
    void ClickItem(QListWidget* list, int row) {
        QListWidgetItem* item = list->item(row);
        ASSERT_NE(item, nullptr);
        list->setCurrentItem(item);
        emit list->itemClicked(item);  // what a mouse click (released) reports
    }

    QApplication& app = App();
    std::filesystem::path dir;
    test::ScriptedPrompts prompts;
    Workbench wb{prompts};
    std::unique_ptr<TTypeDlg> dlg;
    std::unique_ptr<TMainForm> main;
    std::unique_ptr<TypeDlgWindow> win;
};

TEST_F(TypeDlgWindowTest, StartShowsTheDialogWithItsListsAndMirrors) {
    EXPECT_TRUE(win->isVisible());
    EXPECT_EQ(win->windowTitle(), "Select Type  ");
    EXPECT_EQ(win->Radios.size(), 7u);
    EXPECT_EQ(win->Radios[2]->text(), "MCU   ");
    EXPECT_TRUE(win->Radios[2]->isChecked());
    EXPECT_EQ(win->ListBox1->count(), 1);
    EXPECT_EQ(win->ListBox2->count(), 2);
    EXPECT_EQ(win->Edit1->text(), "code");
    EXPECT_EQ(main->ComboBox2->count(), 7);
    EXPECT_EQ(main->ComboBox2->currentIndex(), 2);
    EXPECT_EQ(main->ComboBox1->currentText(), "ATMEL");
    EXPECT_EQ(main->ListBox1->count(), 2);
    EXPECT_EQ(main->Label2->text(), "Type:");
    EXPECT_EQ(main->Label3->text(), "设备名称:");
}

TEST_F(TypeDlgWindowTest, ChooseCategoryManufacturerDeviceAndOk) {
    win->Radios[0]->click();  // EPROM
    EXPECT_EQ(dlg->Category, "EPR");
    ASSERT_EQ(win->ListBox1->count(), 2);
    ClickItem(win->ListBox1, 1);  // ST
    EXPECT_EQ(dlg->Manufacturer, "ST");
    ASSERT_EQ(win->ListBox2->count(), 1);
    win->ListBox2->setCurrentRow(0);
    win->OKBtn->click();
    EXPECT_EQ(wb.sel.TypeText, "ST: M27C512");
    EXPECT_EQ(main->Label2->text(), "Type:    ST: M27C512");
    EXPECT_EQ(main->StatusPanel(2), "ST");
    EXPECT_EQ(main->StatusPanel(3), "M27C512");
    auto* form = dlg->Dispatch().Get<RecordingForm>("TP27x");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->params, "P27 14");
    EXPECT_EQ(form->setups, 1);
    EXPECT_FALSE(win->isVisible());
}

TEST_F(TypeDlgWindowTest, OkOnSeparatorDoesNothing) {
    win->Radios[0]->click();
    ClickItem(win->ListBox1, 0);  // AMD
    ASSERT_EQ(win->ListBox2->count(), 2);
    win->ListBox2->setCurrentRow(1);
    win->OKBtn->click();
    EXPECT_EQ(wb.sel.TypeText, "");
    EXPECT_EQ(main->Label2->text(), "Type:");
    EXPECT_EQ(dlg->Dispatch().FormCount(), 0u);
    EXPECT_TRUE(win->isVisible());
}

TEST_F(TypeDlgWindowTest, BrokenLineKeepsThePreviousDeviceOnTheMainWindow) {
    win->ListBox2->setCurrentRow(0);
    win->OKBtn->click();  // ATMEL AT89C51
    ASSERT_EQ(main->StatusPanel(3), "AT89C51");
    main->SelTypeClick();
    win->Radios[3]->click();  // Serial
    ASSERT_EQ(win->ListBox2->count(), 1);
    win->ListBox2->setCurrentRow(0);
    win->OKBtn->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.Last(), "Bad device line: \"SER ZZ BROKEN4,NOSUCHKEY 1\": the keyword NOSUCHKEY names no form");
    EXPECT_EQ(main->StatusPanel(2), "ATMEL");
    EXPECT_EQ(main->StatusPanel(3), "AT89C51");
    EXPECT_EQ(main->Label2->text(), "Type:    ATMEL: AT89C51");
    EXPECT_EQ(dlg->Dispatch().FormCount(), 1u);
    EXPECT_TRUE(win->isVisible());  // up for another choice
}

TEST_F(TypeDlgWindowTest, DoubleClickActsAsOk) {
    ASSERT_EQ(win->ListBox2->count(), 2);
    QListWidgetItem* item = win->ListBox2->item(1);
    win->ListBox2->setCurrentItem(item);
    emit win->ListBox2->itemDoubleClicked(item);
    EXPECT_EQ(wb.sel.SelectedDevice, "AT89C52 *P44");
    EXPECT_EQ(main->AdapterLabel->text(), "KLV-UNIV-44");
    EXPECT_NE(dlg->Dispatch().Form("TAt89c5x"), nullptr);
}

TEST_F(TypeDlgWindowTest, FindTextRefiltersAsItIsTyped) {
    win->Radios[0]->click();
    for (const char* c : {"m", "2", "7", "c", "5"}) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(win->Edit2, &press);
    }
    EXPECT_EQ(dlg->Edit2, "m27c5");
    EXPECT_EQ(win->ListBox1->count(), 1);
    EXPECT_EQ(win->ListBox1->item(0)->text(), "ST");
    EXPECT_EQ(main->ComboBox1->currentText(), "ST");
}

TEST_F(TypeDlgWindowTest, MainWindowMirrorsDriveTheDialog) {
    main->ComboBox2->setCurrentIndex(0);
    main->ComboBox2Change();
    EXPECT_TRUE(win->Radios[0]->isChecked());
    EXPECT_EQ(main->ComboBox1->count(), 2);
    main->ComboBox1->setCurrentIndex(1);
    main->ComboBox1Change();
    EXPECT_EQ(dlg->Manufacturer, "ST");
    EXPECT_EQ(win->ListBox1->currentRow(), 1);
    ASSERT_EQ(main->ListBox1->count(), 1);
    main->ListBox1->setCurrentRow(0);
    main->ListBox1->item(0)->setSelected(true);
    main->List1KeyDown(13);
    EXPECT_EQ(wb.sel.SelectedDevice, "M27C512");
}

TEST_F(TypeDlgWindowTest, ReadWriteWithMirrorOutOfStep) {
    ASSERT_EQ(win->ListBox2->count(), 2);
    win->ListBox2->setCurrentRow(1);
    main->ListBox1->setCurrentRow(0);
    main->ProgClick();
    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_EQ(prompts.shown[0].text, "Click mouse to change!!!");
    EXPECT_EQ(main->ListBox1->currentRow(), 1);
    EXPECT_EQ(dlg->Main.ListBox1.ItemIndex, 1);
    // R/W dispatches the current parameter string ("P89C51 1" at start)
    EXPECT_NE(dlg->Dispatch().Form("TAt89c5x"), nullptr);
}

TEST_F(TypeDlgWindowTest, DetectMfgIdWithoutProgrammerLeavesTheFieldEmpty) {
    win->Radios[0]->click();
    win->MFR->click();
    EXPECT_EQ(win->Edit1->text(), "");
}

TEST_F(TypeDlgWindowTest, SelectTypeShowsAndRefills) {
    win->close();
    EXPECT_FALSE(win->isVisible());
    main->SelTypeClick();
    EXPECT_TRUE(win->isVisible());
    EXPECT_EQ(win->ListBox2->count(), 2);
}

TEST_F(TypeDlgWindowTest, CloseWritesTheConfigurationForAKnownModel) {
    wb.Ep3.ProgrammerModel = "vex640";
    main->Hooks.SaveConfig();
    std::ifstream in(dir / "config" / "vex640.cfg");
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "Quilla Ver 1.12");
}

}  // namespace
}  // namespace quilla
