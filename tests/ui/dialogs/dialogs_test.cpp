// The format dialog and the options dialog, offscreen.
#include <gmock/gmock.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeZone>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

#include "app/binfile.h"
#include "app/programdir.h"
#include "app/stamps.h"
#include "app/ui/fileformat.h"
#include "app/ui/picture1.h"
#include "app/ui/setting1.h"
#include "app/workbench.h"
#include "support/scripted_prompts.h"

namespace quilla::test {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_ui_dialogs";
    static char* argv[] = {name, nullptr};
    // Kept to the end of the process: destroying it among the other statics
    // at exit is too late for Qt.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

void PressEscape(QWidget* w) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

// How the user leaves a modal dialog.
enum class Leave { Ok, CancelButton, Escape, TitleBar };

class DialogsTest : public ::testing::Test {
protected:
    DialogsTest() : app(App()), wb(prompts) {}
    // Runs `whileOpen` once the modal loop of `dlg` runs.
    static void WhenShown(QDialog& dlg, std::function<void()> whileOpen) {
        QTimer::singleShot(0, &dlg, [&dlg, whileOpen] {
            ASSERT_TRUE(dlg.isVisible());
            whileOpen();
        });
    }
    QApplication& app;
    ScriptedPrompts prompts;
    Workbench wb;
};

// ---- "Format  " ---------------------------------------------------------------------

class FormatDialog : public DialogsTest {
protected:
    TFileFormat dlg;
    FileFormatModel model;
    void Leave(enum Leave how) {
        switch (how) {
            case Leave::Ok: dlg.OKBtn->click(); break;
            case Leave::CancelButton: dlg.CancelBtn->click(); break;
            case Leave::Escape: PressEscape(&dlg); break;
            case Leave::TitleBar: dlg.close(); break;
        }
    }
};

TEST_F(FormatDialog, ShowsTheModel) {
    model.SelectByExt("/tmp/chip.hex");
    model.Edit1 = "000000";
    model.Edit2 = "ffffff";
    bool checked = false;
    WhenShown(dlg, [&] {
        EXPECT_EQ(dlg.windowTitle(), "/tmp/chip.hex");
        checked = dlg.FormatItem[FmtHex]->isChecked();
        EXPECT_FALSE(dlg.Edit1->isEnabled());
        EXPECT_FALSE(dlg.LoadMode->isEnabled());
        EXPECT_EQ(dlg.Edit2->text(), "ffffff");
        EXPECT_EQ(dlg.RadioGroup1->title(), "Format  ");
        EXPECT_EQ(dlg.OKBtn->text(), "  OK  ");
        EXPECT_EQ(dlg.CancelBtn->text(), "Cancl");
        dlg.OKBtn->click();
    });
    dlg.Execute(model, wb);
    EXPECT_TRUE(checked);
}

TEST_F(FormatDialog, ChoosingBinEnablesTheFieldsAndModesSetTheMask) {
    model.SelectByExt("a.jed");
    WhenShown(dlg, [&] {
        EXPECT_FALSE(dlg.Edit1->isEnabled());
        dlg.FormatItem[FmtBin]->click();
        EXPECT_TRUE(dlg.Edit1->isEnabled());
        EXPECT_TRUE(dlg.LoadMode->isEnabled());
        dlg.LoadModeItem[6]->click();  // 32bit 3rd byte
        dlg.Edit1->setText("1f0");
        dlg.OKBtn->click();
    });
    dlg.Execute(model, wb);
    EXPECT_EQ(model.Format, FmtBin);
    EXPECT_EQ(model.LoadMask, 3);
    EXPECT_EQ(model.LoadMatch, 2);
    EXPECT_EQ(model.Edit1, "1f0");
    EXPECT_EQ(wb.LoadStart, 0x1F0);
}

struct LeaveCase {
    const char* name;
    enum Leave how;
    int format;     // the format afterwards
    int loadStart;  // LoadStart afterwards (it was 0x10)
};

std::ostream& operator<<(std::ostream& os, const LeaveCase& c) { return os << c.name; }

class FormatDialogLeave : public FormatDialog, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(FormatDialogLeave, OnlyCancelAndEscapeAbandon) {
    wb.LoadStart = 0x10;
    model.SelectByExt("a.bin");
    WhenShown(dlg, [&] {
        dlg.Edit1->setText("200");
        Leave(GetParam().how);
    });
    dlg.Execute(model, wb);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(model.Format, GetParam().format);
    EXPECT_EQ(wb.LoadStart, GetParam().loadStart);
}

INSTANTIATE_TEST_SUITE_P(Ways, FormatDialogLeave,
                         ::testing::Values(LeaveCase{"Ok", Leave::Ok, FmtBin, 0x200},
                                           LeaveCase{"CancelButton", Leave::CancelButton, FmtNone, 0x10},
                                           LeaveCase{"Escape", Leave::Escape, FmtNone, 0x10},
                                           LeaveCase{"TitleBar", Leave::TitleBar, FmtBin, 0x10}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormatDialog, NoFormatCheckedAfterCancelAndAgainPreselectedNextTime) {
    model.SelectByExt("a.hex");
    WhenShown(dlg, [&] { dlg.CancelBtn->click(); });
    dlg.Execute(model, wb);
    for (auto* b : dlg.FormatItem) EXPECT_FALSE(b->isChecked());
    model.SelectByExt("b.cds");
    bool checked = false;
    WhenShown(dlg, [&] {
        checked = dlg.FormatItem[FmtCds]->isChecked();
        dlg.OKBtn->click();
    });
    dlg.Execute(model, wb);
    EXPECT_TRUE(checked);
}

// ---- "Setting1" --------------------------------------------------------------------

class OptionsDialog : public DialogsTest {
protected:
    OptionsDialog() : dlg(wb) {
        dlg.Clock = [] { return QDateTime(QDate(2026, 12, 10), QTime(13, 14, 15)); };
    }
    TSetting1 dlg;
};

TEST_F(OptionsDialog, ShowsTheDefaults) {
    EXPECT_EQ(dlg.windowTitle(), "Setting1");
    ASSERT_EQ(dlg.PageControl1->count(), 3);
    EXPECT_EQ(dlg.PageControl1->tabText(0), "线性增量");
    EXPECT_EQ(dlg.PageControl1->tabText(1), "日期和时间");
    EXPECT_EQ(dlg.PageControl1->tabText(2), "其它");
    EXPECT_EQ(dlg.Edit1->text(), "0fff");
    EXPECT_EQ(dlg.Edit2->text(), "0");
    EXPECT_EQ(dlg.Edit5->text(), "2");
    EXPECT_EQ(dlg.Edit6->text(), "1");
    EXPECT_EQ(dlg.Edit4->text(), "0fe0");
    EXPECT_FALSE(dlg.CheckBox1->isChecked());
    EXPECT_FALSE(dlg.CheckBox2->isChecked());
    EXPECT_FALSE(dlg.CheckBox3->isChecked());
    EXPECT_TRUE(dlg.CheckBox4->isChecked());
    EXPECT_TRUE(dlg.CheckBox5->isChecked());
    EXPECT_TRUE(dlg.BaseItem[0]->isChecked());
    EXPECT_EQ(dlg.BaseItem[0]->text(), "hex     ");
    EXPECT_TRUE(dlg.Timer1->isActive());
    EXPECT_EQ(dlg.Timer1->interval(), 1000);
}

TEST_F(OptionsDialog, DateTimeTextHasNoTimeZone) {
    QLocale us(QLocale::English, QLocale::UnitedStates);
    QDateTime t(QDate(2026, 12, 10), QTime(13, 14, 15), QTimeZone::utc());
    QString text = TSetting1::DateTimeText(t, us);
    EXPECT_EQ(text.toStdString(), (us.toString(t.date(), QLocale::ShortFormat) + " 1:14:15 PM").toStdString());
    EXPECT_FALSE(text.contains("UTC"));
    QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(TSetting1::TimeText(t.time(), de).toStdString(), "13:14:15");
}

TEST_F(OptionsDialog, TheClockTicksIntoEdit3) {
    dlg.Timer1Timer();
    QString expected = TSetting1::DateTimeText(dlg.Clock());
    EXPECT_EQ(dlg.Edit3->text(), expected);
    EXPECT_EQ(wb.options.DateText, expected.toStdString());
}

// The clock field shows the whole date and time: its text is not scrolled
// (with the cursor at its end, as after every tick, the cursor sits past the
// whole text).
TEST_F(OptionsDialog, TheClockFieldShowsTheWholeDateAndTime) {
    dlg.Clock = [] { return QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)); };
    dlg.PageControl1->setCurrentIndex(1);
    dlg.show();
    dlg.Timer1Timer();
    QApplication::processEvents();
    const int textWidth = dlg.Edit3->fontMetrics().horizontalAdvance(dlg.Edit3->text());
    EXPECT_EQ(dlg.Edit3->cursorPosition(), dlg.Edit3->text().size());
    EXPECT_GE(dlg.Edit3->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(), textWidth) << dlg.Edit3->text().toStdString();
    EXPECT_LE(dlg.Edit3->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(), dlg.Edit3->width());
    dlg.hide();
}

TEST_F(OptionsDialog, TheSwitchesAreTheOptions) {
    dlg.CheckBox3->click();
    dlg.CheckBox4->click();
    EXPECT_TRUE(wb.options.MassProduction);
    EXPECT_FALSE(wb.options.ContactCheck);
    dlg.BaseItem[1]->click();
    EXPECT_EQ(wb.options.NumberBase, 1);
    dlg.Edit6->setText("5");
    EXPECT_EQ(wb.options.SerialStep, "5");
}

TEST_F(OptionsDialog, OpensOnTheAskedTab) {
    int tab = -1;
    WhenShown(dlg, [&] {
        tab = dlg.PageControl1->currentIndex();
        dlg.Button1->click();
    });
    dlg.ShowOnTab("其它");
    EXPECT_EQ(tab, 2);
}

class OptionsDialogClose : public OptionsDialog, public ::testing::WithParamInterface<Leave> {};

TEST_P(OptionsDialogClose, AnyCloseAppliesTheStampsOnce) {
    WhenShown(dlg, [&] {
        dlg.CheckBox1->click();
        dlg.CheckBox2->click();
        switch (GetParam()) {
            case Leave::Ok: dlg.Button1->click(); break;
            case Leave::Escape: PressEscape(&dlg); break;
            default: dlg.close(); break;
        }
    });
    dlg.ShowOnTab("线性增量");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.Timer1->isActive());
    EXPECT_EQ(wb.ImageBuffer[0xFFF], 0x01);
    EXPECT_EQ(wb.ImageBuffer[0x1000], 0x00);
    EXPECT_EQ(dlg.Edit2->text(), "1");
    std::string text = TSetting1::DateTimeText(dlg.Clock()).toStdString();
    text.resize(16, '\0');
    EXPECT_TRUE(std::equal(text.begin(), text.end(), wb.ImageBuffer.begin() + 0xFE0,
                           [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
    // Opening again restarts the clock; closing again advances once more.
    WhenShown(dlg, [&] {
        EXPECT_TRUE(dlg.Timer1->isActive());
        dlg.Button1->click();
    });
    dlg.ShowOnTab("线性增量");
    EXPECT_EQ(dlg.Edit2->text(), "2");
    EXPECT_EQ(wb.ImageBuffer[0xFFF], 0x02);
}

INSTANTIATE_TEST_SUITE_P(Ways, OptionsDialogClose, ::testing::Values(Leave::Ok, Leave::Escape, Leave::TitleBar),
                         [](const auto& info) {
                             return std::string(info.param == Leave::Ok ? "Ok"
                                                : info.param == Leave::Escape ? "Escape" : "TitleBar");
                         });

TEST_F(OptionsDialog, UnreadableLengthShowsTheMessageAndWritesNothing) {
    WhenShown(dlg, [&] {
        dlg.CheckBox1->click();
        dlg.Edit5->setText("two");
        dlg.Button1->click();
    });
    dlg.ShowOnTab("线性增量");
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(wb.ImageBuffer[0xFFF], 0xFF);
    EXPECT_EQ(wb.ImageBuffer[0x1000], 0xFF);
    EXPECT_EQ(dlg.Edit2->text(), "0");
    EXPECT_EQ(wb.ErrorFlag(), 0);
}

TEST_F(OptionsDialog, PassCountShowsTheNextValueWhenOpenedAgain) {
    wb.options.SerialStamp = true;
    wb.PassCount(1);
    wb.PassCount(1);
    std::string shown;
    WhenShown(dlg, [&] {
        shown = dlg.Edit2->text().toStdString();
        EXPECT_TRUE(dlg.CheckBox1->isChecked());
        dlg.Button1->click();
    });
    dlg.ShowOnTab("线性增量");
    EXPECT_EQ(shown, "2");
    EXPECT_EQ(wb.options.SerialValue, "3");
}

TEST_F(OptionsDialog, DateStampDuringABatchReadsTheDialogsClock) {
    wb.options.DateStamp = true;
    wb.PassCount(1);
    std::string text = TSetting1::DateTimeText(dlg.Clock()).toStdString().substr(0, 16);
    EXPECT_EQ(std::string(wb.ImageBuffer.begin() + 0xFE0, wb.ImageBuffer.begin() + 0xFE0 + text.size()), text);
}

// ---- the splash and the file dialogs ------------------------------------------------

TEST_F(DialogsTest, SplashShowsItsWholeText) {
    TPicture1 splash(SourceDataDir());
    EXPECT_EQ(splash.height(), 169);
    EXPECT_GE(splash.width(), 247);
    EXPECT_EQ(splash.Label1->text(), "init  USB port, please wait 3-10 seconds...");
    EXPECT_GE(splash.Label1->width(), splash.Label1->sizeHint().width());
    EXPECT_TRUE(splash.rect().contains(splash.Label1->geometry()));
    EXPECT_TRUE(splash.rect().contains(splash.Image1->geometry()));
}

// The open dialog in its detail view shows Name, Size, Type and Date side by
// side without scrolling.
TEST_F(DialogsTest, FileDialogShowsEveryColumn) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quilla-filedialog-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "a-rather-long-file-name-of-an-image.hex") << ":00000001FF";
    QFileDialog dlg(nullptr, "Open", QString::fromStdString(dir.string()), "*.* (*)");
    FitFileDialog(dlg);
    dlg.show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    auto* tree = dlg.findChild<QTreeView*>("treeView");
    ASSERT_NE(tree, nullptr);
    EXPECT_TRUE(tree->isVisible());
    QHeaderView* header = tree->header();
    ASSERT_GE(header->count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(header->isSectionHidden(i)) << i;
        EXPECT_GE(header->sectionSize(i), header->sectionSizeHint(i)) << i;
    }
    EXPECT_LE(header->length(), tree->viewport()->width());
    dlg.hide();
    fs::remove_all(dir);
}

}  // namespace
}  // namespace quilla::test
