// The main window, the buffer window view, the status window and the
// placement dialog, offscreen.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMessageBox>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "app/fileops.h"
#include "app/programdir.h"
#include "app/ui/autopro1.h"
#include "app/ui/ep3form.h"
#include "app/ui/filewin.h"
#include "app/ui/finddlg.h"
#include "app/ui/mainform.h"
#include "app/ui/place1.h"
#include "app/ui/qtprompts.h"
#include "app/ui/startfile.h"
#include "app/workbench.h"
#include "engine/fatal.h"
#include "sim/programmer.h"
#include "support/recording_transport.h"
#include "support/scripted_prompts.h"

namespace quilla {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_ui_shell";
    static char* argv[] = {name, nullptr};
    // Kept to the end of the process: destroying it among the other statics
    // at exit is too late for Qt.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

QStringList Texts(const QList<QAction*>& actions) {
    QStringList t;
    for (QAction* a : actions)
        if (!a->isSeparator()) t << a->text();
    return t;
}

void Key(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
}

class ShellTest : public ::testing::Test {
protected:
    QApplication& app = App();  // before any widget
    test::ScriptedPrompts prompts;
    test::RecordingTransport transport;
    Workbench wb{prompts, &transport};
    std::unique_ptr<TMainForm> form = std::make_unique<TMainForm>(wb);

    void TearDown() override { form.reset(); }

    TFileWin* OpenBuffer() {
        form->FileNew();
        return form->FileWinView();
    }
    QString Line(TFileWin* v, int n) { return v->RichEdit1->document()->findBlockByNumber(n).text(); }
    void Caret(TFileWin* v, int modelPos) {
        QTextCursor c = v->RichEdit1->textCursor();
        c.setPosition(TFileWin::ToEditorPos(modelPos));
        v->RichEdit1->setTextCursor(c);
    }
};

TEST_F(ShellTest, CaptionPanelsAndCounter) {
    EXPECT_EQ(form->windowTitle(), "Quilla Ver 1.12");
    EXPECT_EQ(form->Label2->text(), "Type: ");
    EXPECT_EQ(form->Label3->text(), "Device:");
    EXPECT_EQ(form->AdapterLabel->text(), "No need");
    EXPECT_EQ(form->Label4, form->AdapterLabel);
    EXPECT_EQ(form->Edit1->text(), "0");
    EXPECT_TRUE(form->Panel1->isHidden());
    EXPECT_TRUE(form->Panel2->isHidden());
    EXPECT_EQ(form->StatusPanels[0]->minimumWidth(), 150);
    EXPECT_EQ(form->StatusPanels[3]->minimumWidth(), 50);
    EXPECT_EQ(MainForm, form.get());
}

TEST_F(ShellTest, NineToolButtonsInOrder) {
    QStringList names, hints;
    for (QAction* a : form->ToolBar->actions()) {
        names << a->objectName();
        hints << a->property("hint").toString();
    }
    EXPECT_EQ(names, QStringList({"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4",
                                  "SpeedButton5", "SpeedButton6", "SpeedButton10", "SpeedButton8",
                                  "SpeedButton9"}));
    EXPECT_EQ(hints, QStringList({"Load data       ", "Save data     ", "Fill Buffer   ",
                                  "Select Type  ", "Read/Write ", "System Test ", "View buffer     ",
                                  "View buffer     ", "Topic Search|"}));
    EXPECT_EQ(Texts(form->ToolBar->actions()),
              QStringList({"Load data", "Save data", "Fill Buffer", "Select Type", "Read/Write",
                           "System Test", "Page back", "Page forward", "Help"}));
    EXPECT_EQ(form->ToolBar->height(), 54);
}

TEST_F(ShellTest, MenuCaptionsAsStored) {
    QList<QMenu*> menus;
    for (QAction* a : form->menuBar()->actions()) menus << a->menu();
    ASSERT_EQ(menus.size(), 6);
    EXPECT_EQ(menus[0]->title(), "&File");
    EXPECT_EQ(Texts(menus[0]->actions()), QStringList({"&New         ", "&Load      ", "&Save        ",
                                                       "&Print ", "Se&t printer ", "&x Exit"}));
    EXPECT_EQ(Texts(menus[1]->actions()),
              QStringList({"&D FillData", "&E Resize buffer       ", "&Find  ", "&Rplace",
                           "Re&peat        "}));
    EXPECT_EQ(Texts(menus[2]->actions()), QStringList({"&Before          ", "&T Type    ",
                                                       "&R/W       ", "&Auto detect type    "}));
    EXPECT_EQ(Texts(menus[3]->actions()), QStringList({"Status  ", "Add-on info", "Other"}));
    EXPECT_EQ(Texts(menus[4]->actions()),
              QStringList({"&Tile  ", "&Cas.  ", "&All       ", "&F List"}));
    EXPECT_EQ(Texts(menus[5]->actions()), QStringList({"CFG Refs", "Quilla"}));
    EXPECT_EQ(menus[5]->actions()[1]->statusTip(), "Show program information");
    EXPECT_EQ(form->findChild<QAction*>("N11")->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_EQ(form->findChild<QAction*>("S1")->shortcut(), QKeySequence("Ctrl+F"));
    EXPECT_EQ(form->findChild<QAction*>("R1")->shortcut(), QKeySequence("Ctrl+R"));
    EXPECT_EQ(form->findChild<QAction*>("S2")->shortcut(), QKeySequence(Qt::Key_F3));
}

TEST_F(ShellTest, BufferWindowShowsTheDumpAndFollowsTheModel) {
    TFileWin* v = OpenBuffer();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(form->FileWinSub()->windowTitle(), "noname.bin");
    EXPECT_EQ(Line(v, 0), "     0:  ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ................");
    EXPECT_EQ(v->Edit2->text(), "  ff0000");
    EXPECT_EQ(v->Edit3->text(), "0");
    EXPECT_EQ(v->ScrollBar1->maximum(), 0xFF);
    // FileNew again keeps the window.
    form->FileNew();
    EXPECT_EQ(form->FileWinView(), v);
    EXPECT_EQ(form->MdiArea->subWindowList().size(), 1);
}

TEST_F(ShellTest, TypedDigitChangesTheImageAndShowsRed) {
    TFileWin* v = OpenBuffer();
    Caret(v, 75 + 9);  // address 0x10
    EXPECT_EQ(v->Edit1->text(), "10 ");
    Key(v->RichEdit1, Qt::Key_A, "a");
    EXPECT_EQ(wb.ImageBuffer[0x10], 0xAF);
    EXPECT_EQ(Line(v, 1).mid(9, 3), "Af ");
    QTextCursor c(v->RichEdit1->document());
    c.setPosition(TFileWin::ToEditorPos(75 + 9) + 1);  // format of the character before
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(Qt::red));
    c.setPosition(TFileWin::ToEditorPos(75 + 10) + 1);
    EXPECT_NE(c.charFormat().foreground().color(), QColor(Qt::red));
    EXPECT_EQ(v->RichEdit1->textCursor().position(), TFileWin::ToEditorPos(75 + 10));
    // A letter that is not a hex digit is not inserted.
    Key(v->RichEdit1, Qt::Key_Z, "z");
    EXPECT_EQ(Line(v, 1).mid(9, 3), "Af ");
}

TEST_F(ShellTest, PagingKeysAndToolButtons) {
    TFileWin* v = OpenBuffer();
    Key(v->RichEdit1, Qt::Key_PageDown);
    EXPECT_EQ(v->Edit3->text(), "100");
    Key(v->RichEdit1, Qt::Key_End);
    EXPECT_EQ(v->Edit3->text(), "ff00");
    Key(v->RichEdit1, Qt::Key_PageDown);
    EXPECT_EQ(v->Edit3->text(), "ff00");
    Key(v->RichEdit1, Qt::Key_PageUp);
    EXPECT_EQ(v->Edit3->text(), "fe00");
    Key(v->RichEdit1, Qt::Key_Home);
    EXPECT_EQ(v->Edit3->text(), "0");
    form->findChild<QAction*>("SpeedButton8")->trigger();
    EXPECT_EQ(wb.FileWin->ViewStart, 0x100);
    EXPECT_EQ(Line(v, 0).left(9), "   100:  ");
    form->findChild<QAction*>("SpeedButton10")->trigger();
    form->findChild<QAction*>("SpeedButton10")->trigger();
    EXPECT_EQ(wb.FileWin->ViewStart, 0);
}

TEST_F(ShellTest, PageButtonsWithoutBufferWindowDoNothing) {
    form->findChild<QAction*>("SpeedButton8")->trigger();
    form->findChild<QAction*>("SpeedButton10")->trigger();
    EXPECT_FALSE(wb.FileWin);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ShellTest, StartFieldShowsTheRightPage) {
    TFileWin* v = OpenBuffer();
    const struct {
        const char* text;
        const char* first;
    } cases[] = {{"123", "   120:  "}, {"ffffffff", "     0:  "}, {"7fffffff", "7fff00:  "}};
    for (auto& c : cases) {
        v->Edit3->setText(c.text);
        v->Edit3KeyD(13);
        EXPECT_EQ(Line(v, 0).left(9), c.first) << c.text;
    }
    EXPECT_EQ(Line(v, 15).left(9), "7ffff0:  ");
    EXPECT_EQ(v->Edit3->text(), "7fff00");
}

TEST_F(ShellTest, ScrollBarTurnsTheFieldYellowUntilTheScrollEnds) {
    TFileWin* v = OpenBuffer();
    v->ScrollBar1Change(3);
    EXPECT_EQ(v->Edit3->text(), "300");
    EXPECT_TRUE(v->Edit3->styleSheet().contains("#ffff00"));
    EXPECT_EQ(Line(v, 0).left(9), "     0:  ");
    v->ScrollBar1OnScroll(true);
    EXPECT_EQ(Line(v, 0).left(9), "   300:  ");
    EXPECT_TRUE(v->Edit3->styleSheet().contains("white"));
}

TEST_F(ShellTest, FindNotFoundBeepsAndReplaceChecksItsText) {
    TFileWin* v = OpenBuffer();
    form->MdiArea->setActiveSubWindow(form->FileWinSub());
    form->FindDialog1->FindText->setText("zz");
    form->OnFind();
    EXPECT_EQ(prompts.Last(), "Not found.");
    EXPECT_EQ(prompts.beeps, 1);

    form->FindDialog1->FindText->setText("ff");
    form->OnFind();
    form->S2Click();  // repeat: the next one
    EXPECT_EQ(wb.FileWin->SelStart(), 12);
    EXPECT_EQ(v->RichEdit1->textCursor().selectedText(), "ff");

    form->ReplaceDialog1->ReplaceText->setText("1");
    form->OnRePlace();
    EXPECT_EQ(prompts.Last(), "Replace need 2.  ");

    form->ReplaceDialog1->ReplaceText->setText("3c");
    form->OnRePlace();
    EXPECT_EQ(wb.ImageBuffer[1], 0x3C);
    EXPECT_EQ(Line(v, 0).mid(9, 6), "ff 3c ");

    Caret(v, 60);
    form->OnRePlace();
    EXPECT_EQ(prompts.Last(), "Error   !");
}

TEST_F(ShellTest, FindSearchesTheWholeBufferAndShowsTheHit) {
    TFileWin* v = OpenBuffer();
    const std::uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78};
    std::copy(std::begin(bytes), std::end(bytes), wb.ImageBuffer.begin() + 0xFFF0);
    wb.Display();
    ASSERT_EQ(Line(v, 0).left(9), "     0:  ");
    form->MdiArea->setActiveSubWindow(form->FileWinSub());
    form->FindDialog1->FindText->setText("12 34 56 78");
    form->OnFind();
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Last();
    EXPECT_EQ(Line(v, 0).left(21), "  fff0:  12 34 56 78 ");
    EXPECT_EQ(v->RichEdit1->textCursor().selectedText(), "12 34 56 78");
    EXPECT_EQ(v->Edit3->text(), "fff0");
}

// What main does with a file named on the command line.
TEST_F(ShellTest, StartFileShowsInTheBufferWindow) {
    const auto dir = std::filesystem::temp_directory_path() / ("quilla-shell-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "image.bin").string();
    std::ofstream(file, std::ios::binary) << "QUILLA\x01\x02";
    TFileWin* v = OpenBuffer();
    EXPECT_TRUE(LoadNamedFile(wb, file));
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Last();
    EXPECT_EQ(Line(v, 0).left(33), "     0:  51 55 49 4c 4c 41 01 02 ");
    EXPECT_EQ(Line(v, 0).mid(57, 8), "QUILLA..");
    EXPECT_EQ(form->FileWinSub()->windowTitle().toStdString(), file);
}

TEST_F(ShellTest, StartFolderGivesOneMessageAndKeepsTheBuffer) {
    TFileWin* v = OpenBuffer();
    const QString before = Line(v, 0);
    EXPECT_FALSE(LoadNamedFile(wb, "/tmp"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.Last(), "Can not open /tmp: not a file");
    EXPECT_EQ(Line(v, 0), before);
}

TEST_F(ShellTest, FindWithoutDataWindowDoesNothing) {
    form->FindDialog1->FindText->setText("ff");
    form->OnFind();
    form->OnRePlace();
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ShellTest, FindAndReplaceOnAnotherDataWindow) {
    OpenBuffer();
    auto* other = new QPlainTextEdit;
    other->setObjectName("PldFileW");
    other->setPlainText("0101 1111\n0000 1111");
    QMdiSubWindow* sub = form->MdiArea->addSubWindow(other);
    sub->show();
    form->MdiArea->setActiveSubWindow(sub);
    form->FindDialog1->FindText->setText("1111");
    form->OnFind();
    EXPECT_EQ(other->textCursor().selectionStart(), 5);
    form->OnFind();
    EXPECT_EQ(other->textCursor().selectionStart(), 15);
    form->ReplaceDialog1->ReplaceText->setText("00");
    form->OnRePlace();
    EXPECT_EQ(prompts.Last(), "Error   !");
}

TEST_F(ShellTest, FreedBufferWindowLosesItsView) {
    OpenBuffer();
    wb.FileWin.reset();
    wb.view->DataWindowsChanged();
    EXPECT_EQ(form->FileWinView(), nullptr);
    QApplication::processEvents();
    form->MainFillClick();  // nothing without the buffer window
    form->findChild<QAction*>("SpeedButton8")->trigger();
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ShellTest, BufferWindowCreatedByALoaderAppearsAtTheNextDisplay) {
    wb.FileWin = std::make_unique<HexWindowState>();
    wb.FileWin->Title = "a.hex";
    wb.FileWin->ViewStart = 0x200;
    wb.Display();
    ASSERT_NE(form->FileWinView(), nullptr);
    EXPECT_EQ(form->FileWinSub()->windowTitle(), "a.hex");
    EXPECT_EQ(Line(form->FileWinView(), 0).left(9), "   200:  ");
}

TEST_F(ShellTest, ClosingTheBufferWindowMinimisesItAndNewBringsItBack) {
    OpenBuffer();
    form->show();
    QMdiSubWindow* sub = form->FileWinSub();
    sub->close();
    EXPECT_TRUE(sub->isMinimized());
    EXPECT_TRUE(wb.FileWin);
    form->FileNew();
    EXPECT_EQ(form->FileWinSub(), sub);
    EXPECT_FALSE(sub->isMinimized());
}

TEST_F(ShellTest, PassCountAdvancesTheCounterFieldUnlessErrorFlag) {
    form->Edit1->setText("abc");
    emit form->Edit1->textEdited("abc");
    wb.PassCount(1);
    EXPECT_EQ(form->Edit1->text(), "1");
    wb.PassCount(1);
    EXPECT_EQ(form->Edit1->text(), "2");
    wb.ErrorFlag() = 1;
    wb.PassCount(1);
    EXPECT_EQ(form->Edit1->text(), "2");
    EXPECT_EQ(prompts.beeps, 2);
}

TEST_F(ShellTest, ReadWriteWithMirrorOutOfStepTellsAndThenOpensTheForm) {
    form->ListBox1->addItems({"a", "b", "c"});
    form->ListBox1->setCurrentRow(0);
    int opened = 0;
    form->Hooks.TypeDlgDeviceIndex = [] { return 2; };
    form->Hooks.OpenAlgorithmForm = [&] { ++opened; };
    form->ProgClick();
    EXPECT_EQ(prompts.Last(), "Click mouse to change!!!");
    EXPECT_EQ(prompts.shown.back().caption, "Quilla");
    EXPECT_EQ(form->ListBox1->currentRow(), 2);
    EXPECT_EQ(opened, 1);
    form->ProgClick();  // in step now: no message
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(opened, 2);
}

TEST_F(ShellTest, AutoDetectOnlyForMemoriesAndShowsTheIdBytes) {
    int category = 3, reads = 0;
    form->Hooks.TypeDlgCategoryIndex = [&] { return category; };
    form->Hooks.MFRClick = [&] {
        ++reads;
        wb.sel.MfrIdByte = 0x1F;
        wb.sel.DeviceIdByte = 0x8C;
    };
    form->IDClick();
    EXPECT_EQ(prompts.Last(), "Only for EPROM & EEPROM (27xxx,28xxx,29xxx) !!!!!!");
    EXPECT_EQ(reads, 0);
    category = 1;
    form->IDClick();
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(prompts.Last(), "MFG ID  = 1f,     type ID = 8c ");
}

TEST_F(ShellTest, AddOnInfoAndOtherRefuseOnVex310) {
    std::vector<std::string> tabs;
    form->Hooks.ShowSetting1 = [&](const std::string& tab) { tabs.push_back(tab); };
    wb.Ep3.ProgrammerModel = "vex310";
    form->N6Click();
    form->N7Click();
    EXPECT_TRUE(tabs.empty());
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"vex310不支持这项选择", "vex310不支持这项选择"}));
    wb.Ep3.ProgrammerModel = "vex520";
    form->N6Click();
    form->N7Click();
    EXPECT_EQ(tabs, (std::vector<std::string>{"线性增量", "其它"}));
}

TEST_F(ShellTest, BeforeListsTilesLoadsConfigThenReadWrite) {
    std::vector<std::string> calls;
    form->Hooks.LoadConfig = [&] { calls.push_back("config"); };
    form->Hooks.OpenAlgorithmForm = [&] { calls.push_back("open"); };
    OpenBuffer();
    form->BeforClick();
    EXPECT_EQ(calls, (std::vector<std::string>{"config", "open"}));
}

TEST_F(ShellTest, SelectionDialogHandlersReplaceTheShellsOwn) {
    std::vector<std::string> calls;
    form->Hooks.Prog = [&] { calls.push_back("prog"); };
    form->Hooks.ID = [&] { calls.push_back("id"); };
    form->Hooks.Before = [&] { calls.push_back("before"); };
    form->Hooks.OpenAlgorithmForm = [&] { calls.push_back("open"); };
    form->Hooks.TypeDlgCategoryIndex = [&] { return 5; };
    form->ProgClick();
    form->IDClick();
    form->BeforClick();
    EXPECT_EQ(calls, (std::vector<std::string>{"prog", "id", "before"}));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ShellTest, HandlerExceptionIsShownAndTheProgramGoesOn) {
    form->Hooks.LoadFile = [] { throw std::runtime_error("Disk full"); };
    form->LoadFileClick();
    EXPECT_EQ(prompts.Last(), "Disk full");
    int saved = 0;
    form->Hooks.SaveBuf = [&] { ++saved; };
    form->SaveBufClick();
    EXPECT_EQ(saved, 1);
}

TEST_F(ShellTest, FatalLinkEndIsNotSwallowedByTheGuard) {
    FatalIntercept intercept;
    form->Hooks.LoadFile = [] { FatalLinkEnd("Read USB bad!"); };
    EXPECT_THROW(form->LoadFileClick(), FatalExit);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ShellTest, HelpReportsAMissingHelpPageButCfgRefsStaysQuiet) {
    wb.ProgramDir = "/nonexistent/";
    form->N5Click();
    EXPECT_TRUE(prompts.shown.empty());
    form->findChild<QAction*>("SpeedButton9")->trigger();
    EXPECT_EQ(prompts.Last(), "Can not find /nonexistent/help/index.html");
}

// Offscreen there is no desktop to open a page with: the page is there, the
// message says what is missing instead.
TEST_F(ShellTest, HelpWithoutAProgramToOpenThePageSaysSo) {
    wb.ProgramDir = SourceDataDir();
    form->findChild<QAction*>("SpeedButton9")->trigger();
    EXPECT_EQ(prompts.Last(), std::string("No program to open ") + SourceDataDir() + "help/index.html");
    const auto shown = prompts.shown.size();
    form->N5Click();  // the configuration reference stays quiet
    EXPECT_EQ(prompts.shown.size(), shown);
}

TEST_F(ShellTest, ClosingSavesTheConfigurationFirst) {
    int saves = 0;
    form->Hooks.SaveConfig = [&] { ++saves; };
    form->show();
    form->close();
    EXPECT_EQ(saves, 1);
}

TEST_F(ShellTest, MirrorsDriveTheSelectionDialog) {
    std::vector<int> mfr, cat, dev;
    form->Hooks.MirrorMfrChanged = [&](int i) { mfr.push_back(i); };
    form->Hooks.MirrorCategoryChanged = [&](int i) { cat.push_back(i); };
    form->Hooks.MirrorDeviceChosen = [&](int i) { dev.push_back(i); };
    form->ComboBox1->addItems({"AMD", "ATMEL"});
    form->ComboBox1->setCurrentIndex(1);
    form->ComboBox1Change();
    form->ComboBox2Change();  // empty: index -1 becomes 0
    form->List1KeyDown(13);   // no selection: nothing
    form->ListBox1->addItems({"a", "b"});
    form->ListBox1->setCurrentRow(1);
    form->List1KeyDown(13);
    form->List1OnDbClick();
    EXPECT_EQ(mfr, std::vector<int>{1});
    EXPECT_EQ(cat, std::vector<int>{0});
    EXPECT_EQ(dev, (std::vector<int>{1, 1}));
}

// ---- status window ---------------------------------------------------------------------

TEST_F(ShellTest, StatusWindowProgrammerButtonShowsTheModelWord) {
    form->SystemClick();
    ASSERT_NE(form->Ep3Form, nullptr);
    TEp3Form* st = form->Ep3Form;
    EXPECT_EQ(st->windowTitle(), "Status  ");
    EXPECT_EQ(st->Label1->text(), "Quilla");
    EXPECT_EQ(st->Button1->text(), "OS Info.   ");
    EXPECT_EQ(st->type->text(), "Programmer");
    EXPECT_EQ(st->Button2->text(), "Test USB Load  ");
    EXPECT_EQ(st->SN->text(), QString::fromUtf8("序列码"));
    transport.QueueReply({'v', 'e', 'x', '5', '2', '0'});
    st->type->click();
    EXPECT_EQ(st->Edit4->text(), "vex520");
}

TEST_F(ShellTest, StatusWindowProgrammerButtonWithoutProgrammer) {
    transport.replies.push_back({});  // nothing comes back
    TEp3Form st(wb);
    st.type->click();
    EXPECT_EQ(st.Edit4->text(), "Link error..");
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ShellTest, StatusWindowOnTheSimulatedProgrammer) {
    for (const char* model : {"vex420", "vex640"}) {
        auto sim = sim::MakeSimulatedProgrammer(model);
        test::ScriptedPrompts p;
        Workbench bench(p, sim.get());
        TEp3Form st(bench);
        st.type->click();
        EXPECT_EQ(st.Edit4->text(), model);
        sim->Detach();  // unplugged: not fatal here
        st.type->click();
        EXPECT_EQ(st.Edit4->text(), "Link error..");
        EXPECT_TRUE(sim->Violations().empty());
    }
}

// ---- placement dialog -------------------------------------------------------------------

const PlaceShape* Find(const std::vector<PlaceShape>& s, PlaceShape::Kind k, unsigned color, int nth = 0) {
    for (const PlaceShape& x : s)
        if (x.kind == k && x.color == color && nth-- == 0) return &x;
    return nullptr;
}
int Count(const std::vector<PlaceShape>& s, PlaceShape::Kind k, unsigned color) {
    int n = 0;
    for (const PlaceShape& x : s) n += x.kind == k && x.color == color;
    return n;
}
const PlaceShape* Text(const std::vector<PlaceShape>& s, const std::string& t) {
    for (const PlaceShape& x : s)
        if (x.kind == PlaceShape::Text && x.text == t) return &x;
    return nullptr;
}

TEST(PlaceDrawing, TwentyEightPinsOnVex420) {
    auto s = SocketDrawing("vex420", 1, 28, 0, 0);
    // Lever mark at (32, 30).
    const PlaceShape* lever = Find(s, PlaceShape::Ellipse, PlaceGreen);
    ASSERT_NE(lever, nullptr);
    EXPECT_EQ(std::make_pair(lever->x1, lever->y1), std::make_pair(32, 30));
    EXPECT_EQ(Text(s, "(扳手)")->x1, 47);
    // 20 socket rows of two pads.
    EXPECT_EQ(Count(s, PlaceShape::Rect, PlaceGreen), 40);
    // Pins on rows 1..14: 28 black pin rectangles, first at y 50, last at 154.
    const PlaceShape* pin = Find(s, PlaceShape::Rect, PlaceBlack);
    EXPECT_EQ(pin->y1, 50);
    EXPECT_EQ(pin->x1, 72 - 10 - 4);
    EXPECT_EQ(Find(s, PlaceShape::Rect, PlaceBlack, 27)->y1, 50 + 8 * 13);
    // Body from y 48 to 160, 20 pixels wide.
    const PlaceShape* body = Find(s, PlaceShape::Rect, PlaceBlack, 28);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->y1, 48);
    EXPECT_EQ(body->y2, 160);
    EXPECT_EQ(body->x2 - body->x1, 20);
    // Notch and "Pin 1" at the top.
    const PlaceShape* notch = Find(s, PlaceShape::Ellipse, PlaceBlack);
    EXPECT_EQ(notch->y1, 44);
    EXPECT_EQ(Text(s, "Pin 1")->x1, 10);
    EXPECT_EQ(Text(s, "Pin 1")->y1, 44);
    EXPECT_EQ(Count(s, PlaceShape::Line, PlaceWhite), 5);
    EXPECT_EQ(Find(s, PlaceShape::Line, PlaceWhite, 4)->y1, 44);
}

TEST(PlaceDrawing, Vex520MirrorsThePlacement) {
    for (const char* model : {"vex520", "vex310"}) {
        auto s = SocketDrawing(model, 1, 28, 0, 0);
        const PlaceShape* lever = Find(s, PlaceShape::Ellipse, PlaceGreen);
        EXPECT_EQ(std::make_pair(lever->x1, lever->y1), std::make_pair(102, 210)) << model;
        EXPECT_EQ(Find(s, PlaceShape::Rect, PlaceBlack)->y1, 50 + 8 * 6);       // row 7
        EXPECT_EQ(Find(s, PlaceShape::Rect, PlaceBlack, 27)->y1, 50 + 8 * 19);  // row 20
        const PlaceShape* body = Find(s, PlaceShape::Rect, PlaceBlack, 28);
        EXPECT_EQ(body->y1, 96);
        EXPECT_EQ(body->y2, 208);
        // Notch at the bottom, "Pin 1" to the right.
        EXPECT_EQ(Find(s, PlaceShape::Ellipse, PlaceBlack)->y1, 204);
        EXPECT_EQ(Text(s, "Pin 1")->x1, 107);
        EXPECT_EQ(Text(s, "Pin 1")->y1, 198);
        EXPECT_EQ(Find(s, PlaceShape::Line, PlaceWhite, 4)->y1, 212);
    }
    // Orientation 1 becomes 0 there: the notch goes back to the top.
    auto s = SocketDrawing("vex520", 1, 28, 1, 0);
    EXPECT_EQ(Find(s, PlaceShape::Ellipse, PlaceGreen)->x1, 32);
    EXPECT_EQ(Text(s, "Pin 1")->x1, 10);
}

TEST(PlaceDrawing, Vex640HasFourExtraPadRowsAndTheLeverTopLeft) {
    auto s = SocketDrawing("vex640", 1, 28, 0, 0);
    EXPECT_EQ(Count(s, PlaceShape::Rect, PlaceGreen), 48);
    EXPECT_EQ(Find(s, PlaceShape::Rect, PlaceGreen)->y1, 18);
    EXPECT_EQ(Find(s, PlaceShape::Rect, PlaceGreen, 6)->y1, 42);
    EXPECT_EQ(Find(s, PlaceShape::Rect, PlaceGreen, 8)->y1, 50);
    const PlaceShape* lever = Find(s, PlaceShape::Ellipse, PlaceGreen);
    EXPECT_EQ(std::make_pair(lever->x1, lever->y1), std::make_pair(32, 3));
    // Also with orientation 1.
    const auto s1 = SocketDrawing("vex640", 1, 28, 1, 0);
    lever = Find(s1, PlaceShape::Ellipse, PlaceGreen);
    EXPECT_EQ(std::make_pair(lever->x1, lever->y1), std::make_pair(32, 3));
}

TEST(PlaceDrawing, HalfWidthSetsTheBody) {
    for (auto [hw, width] : {std::pair{0, 20}, std::pair{15, 30}, std::pair{10, 20}}) {
        auto s = SocketDrawing("vex420", 3, 24, 0, hw);
        const PlaceShape* body = Find(s, PlaceShape::Rect, PlaceBlack, 24);
        EXPECT_EQ(body->x2 - body->x1, width) << hw;
        EXPECT_EQ(Find(s, PlaceShape::Rect, PlaceBlack)->x1, 72 - width / 2 - 4);
    }
}

TEST_F(ShellTest, PlacementDialogPaintsTheDrawing) {
    TPlace1 dlg(wb);
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("安放位置"));
    wb.Ep3.ProgrammerModel = "vex420";
    dlg.DrawSocket(1, 28, 0, 0);
    const QImage& img = dlg.Canvas();
    EXPECT_EQ(img.size(), QSize(145, 233));
    EXPECT_EQ(img.pixelColor(42, 50), QColor(0, 0x80, 0));  // pad of row 1, top-left corner
    EXPECT_EQ(img.pixelColor(72 - 10, 100), QColor(Qt::black));  // left edge of the body
    EXPECT_EQ(img.pixelColor(72, 100), QColor(Qt::white));       // inside the body
    EXPECT_EQ(img.pixelColor(1, 1), QColor(Qt::white));
    wb.Ep3.ProgrammerModel = "vex520";
    dlg.DrawSocket(1, 28, 0, 0);
    EXPECT_EQ(dlg.Canvas().pixelColor(72 - 10, 100), QColor(Qt::black));  // rows 7..20
    EXPECT_EQ(dlg.Canvas().pixelColor(72 - 10, 60), QColor(Qt::white));
}

TEST_F(ShellTest, MissingPlacementPictureNamesThePath) {
    TPlace1 dlg(wb);
    wb.ProgramDir = "/nonexistent/";
    wb.Ep3.ProgrammerModel = "vex520";
    dlg.ShowPicture("P28.bmp");
    EXPECT_EQ(prompts.Last(), "Can not find /nonexistent/Place2/P28.bmp");
    wb.Ep3.ProgrammerModel = "vex420";
    dlg.ShowPicture("P28.bmp");
    EXPECT_EQ(prompts.Last(), "Can not find /nonexistent/Place/P28.bmp");
}

// A picture that cannot be found shows its message and no empty dialog.
TEST_F(ShellTest, MissingPlacementPictureOpensNoDialog) {
    TPlace1 dlg(wb);
    wb.ProgramDir = "/nonexistent/";
    wb.Ep3.ProgrammerModel = "vex420";
    bool opened = false;
    QTimer::singleShot(0, &dlg, [&] {
        opened = dlg.isVisible();
        dlg.reject();
    });
    dlg.ShowPlacementBitmap("p44.bmp");
    QApplication::processEvents();
    EXPECT_FALSE(opened);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.Last(), "Can not find /nonexistent/Place/p44.bmp");
}

TEST_F(ShellTest, ChipPromptShowsAndHidesTheWindow) {
    TAutoPro1 w;
    EXPECT_EQ(w.windowTitle(), "AutoPro1");
    EXPECT_EQ(w.Edit1->font().pixelSize(), 16);
    QtPrompts qp;
    qp.ChipPrompt = &w;
    qp.ShowChipPrompt("Put next chip");
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.Edit1->text(), "Put next chip");
    qp.SetChipPromptCaption("5秒后不放器件将Exit操作");
    EXPECT_EQ(w.windowTitle(), "5秒后不放器件将Exit操作");
    qp.CloseChipPrompt();
    EXPECT_FALSE(w.isVisible());
}

// The prompt as the engine's next-chip wait drives it: a window of its own
// owned by the main window (the window system keeps it in front of the main
// window and so of every form in it), over the main window, whole, its
// caption in view also where the desktop draws no title bar, all without an
// event loop after the caption is set (the wait polls the programmer next).
TEST_F(ShellTest, ChipPromptStandsInFrontOfTheMainWindowWholeWithItsCaption) {
    form->setGeometry(0, 0, 1280, 800);
    form->show();
    QApplication::processEvents();
    TAutoPro1 w(form.get());  // as the program makes it
    QtPrompts qp;
    qp.ChipPrompt = &w;
    qp.SetChipPromptCaption("");
    qp.ShowChipPrompt("  OK,请取走写好的器件");
    EXPECT_FALSE(w.CaptionLabel->isVisibleTo(&w));
    qp.ShowChipPrompt("  放置下一片...");
    qp.SetChipPromptCaption("5秒后不放器件将Exit操作");

    EXPECT_TRUE(w.isWindow());
    EXPECT_EQ(w.parentWidget(), form.get());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(form->frameGeometry().contains(w.frameGeometry()));
    EXPECT_TRUE(w.CaptionLabel->isVisibleTo(&w));
    EXPECT_EQ(w.CaptionLabel->text(), "5秒后不放器件将Exit操作");
    EXPECT_GE(w.width(), w.sizeHint().width());
    EXPECT_GE(w.height(), w.sizeHint().height());
    struct Part {
        QWidget* widget;
        QString text;
        int need;
    };
    const QFontMetrics label(w.CaptionLabel->font()), edit(w.Edit1->font());
    for (const Part& p : {Part{w.CaptionLabel, w.CaptionLabel->text(), label.horizontalAdvance(w.CaptionLabel->text())},
                          Part{w.Edit1, w.Edit1->text(), edit.horizontalAdvance(w.Edit1->text())}}) {
        EXPECT_TRUE(w.rect().contains(p.widget->geometry())) << p.text.toStdString();
        EXPECT_GE(p.widget->width(), p.need) << p.text.toStdString();
        EXPECT_GE(p.widget->height(), p.widget->sizeHint().height()) << p.text.toStdString();
    }

    qp.CloseChipPrompt();
    EXPECT_FALSE(w.isVisible());
}

// A file named on the command line that cannot be opened: its message box
// is owned by the main window (it stands over it), and the other messages
// keep no owner.
TEST(StartFile, MessageOfAFileThatCannotBeOpenedStandsOverTheMainWindow) {
    App();
    QtPrompts qp;
    test::RecordingTransport transport;
    Workbench wb{qp, &transport};
    TMainForm main(wb);
    main.show();
    QWidget* owner = nullptr;
    QString text;
    QTimer::singleShot(0, &main, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        owner = box->parentWidget();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    LoadStartFile(main, qp, "/nonexistent/start.hex");
    EXPECT_EQ(owner, &main);
    EXPECT_EQ(text.toStdString(), "Can not open /nonexistent/start.hex: no such file");
    EXPECT_EQ(qp.Owner, nullptr);
}

}  // namespace
}  // namespace quilla
