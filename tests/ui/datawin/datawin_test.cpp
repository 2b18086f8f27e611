// The fuse-map window, the SVF window and the fill dialog, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "app/hexfile.h"
#include "app/jedec.h"
#include "app/svf.h"
#include "app/ui/filewin.h"
#include "app/ui/inputhexdlg.h"
#include "app/ui/mainform.h"
#include "app/ui/pldfilew.h"
#include "app/ui/svffilew.h"
#include "app/workbench.h"
#include "support/fixtures.h"
#include "support/scripted_prompts.h"

namespace fs = std::filesystem;
using namespace quilla;

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "test_ui_datawin";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

class DataWindows : public ::testing::Test {
protected:
    DataWindows() : wb(prompts) { EnsureApp(); }
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("quilla_datawin_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    static void Key(QWidget* w, int key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods, text);
        QApplication::sendEvent(w, &release);
    }
    static void Caret(QPlainTextEdit* e, int line, int col) {
        QTextCursor c(e->document()->findBlockByNumber(line));
        c.setPosition(c.position() + col);
        e->setTextCursor(c);
    }

    test::ScriptedPrompts prompts;
    Workbench wb;
    fs::path dir;
};

}  // namespace

TEST_F(DataWindows, NewFuseWindowShowsRowsAndArrayChecksum) {
    std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 6000, '1');
    wb.PldFileW = std::make_unique<FuseWindowState>();
    TPldFileW w(wb);
    EXPECT_EQ(w.width(), 400);
    w.Display();
    EXPECT_EQ(w.width(), 520);
    EXPECT_EQ(w.windowTitle(), "PLD Buffer   ");
    const QTextDocument* doc = w.RichEdit1->document();
    ASSERT_EQ(doc->blockCount(), 70);
    EXPECT_EQ(doc->findBlockByNumber(0).text(), "L0000 " + QString(32, '1'));
    EXPECT_TRUE(doc->findBlockByNumber(69).text().startsWith("L2208 "));
    EXPECT_EQ(w.Edit2->text(), "ff00");
    EXPECT_EQ(w.RichEdit1->textCursor().position(), 6);
    EXPECT_EQ(wb.PldFileW->FuseCount, 70 * 32);
}

TEST_F(DataWindows, TypingFusesStoresAndShowsThemRed) {
    std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 6000, '0');
    wb.PldFileW = std::make_unique<FuseWindowState>();
    TPldFileW w(wb);
    w.Display();
    Caret(w.RichEdit1, 1, 6);
    EXPECT_EQ(w.Edit1->text(), "32 ");
    Key(w.RichEdit1, Qt::Key_1, "1");
    EXPECT_EQ(wb.ImageBuffer[32], '1');
    EXPECT_EQ(w.RichEdit1->textCursor().positionInBlock(), 7);
    EXPECT_EQ(w.RichEdit1->textCursor().blockNumber(), 1);
    EXPECT_FALSE(w.RichEdit1->textCursor().hasSelection());
    EXPECT_EQ(w.Edit1->text(), "33 ");
    const QTextBlock row = w.RichEdit1->document()->findBlockByNumber(1);
    EXPECT_EQ(row.text(), "L0032 1" + QString(31, '0'));
    QTextCursor at(row);
    at.setPosition(row.position() + 7);  // format of the character before position 7
    EXPECT_EQ(at.charFormat().foreground().color(), QColor(Qt::red));
    // The checksum waits for the next redraw.
    EXPECT_EQ(w.Edit2->text(), "0000");

    // Other keys, and keys on the label, change nothing.
    Key(w.RichEdit1, Qt::Key_A, "a");
    Caret(w.RichEdit1, 1, 2);
    Key(w.RichEdit1, Qt::Key_0, "0");
    EXPECT_EQ(w.RichEdit1->document()->findBlockByNumber(1).text(), "L0032 1" + QString(31, '0'));
    EXPECT_EQ(wb.ImageBuffer[32], '1');
    EXPECT_EQ(wb.ImageBuffer[33], '0');

    // Home redraws: the caret goes back to the first fuse, the sum is refreshed.
    Key(w.RichEdit1, Qt::Key_Home, "");
    EXPECT_EQ(w.Edit2->text(), "0001");
}

TEST_F(DataWindows, JedecLoadShowsArrayChecksum) {
    wb.DataFileName = (fs::path(test::FixturesDir()) / "jed" / "gal16v8_public.jed").string();
    LoadJed(wb);
    ASSERT_TRUE(wb.PldFileW);
    TPldFileW w(wb);
    w.Display();
    EXPECT_EQ(w.windowTitle().toStdString(), wb.DataFileName);
    EXPECT_EQ(w.Edit2->text().toStdString(), FuseChecksumText(wb.ImageBuffer, *wb.PldFileW));
    // The array-only sum, not that of all 2194 fuses.
    char all[8];
    std::snprintf(all, sizeof all, "%04x", JedecChecksum(wb.ImageBuffer.data(), 2194));
    EXPECT_NE(w.Edit2->text().toStdString(), all);
}

TEST_F(DataWindows, SvfWindowShowsLoadedLinesAndCaretLine) {
    const fs::path file = dir / "t.svf";
    std::ofstream(file, std::ios::binary) << "TRST OFF;\r\nENDIR IDLE;\r\nSIR 8 TDI (FE);\r\nRUNTEST 10 TCK;\r\n";
    wb.FileNew();
    wb.DataFileName = file.string();
    ASSERT_TRUE(LoadSvf(wb));
    EXPECT_FALSE(wb.FileWin);
    TSvfFileW w(wb);
    w.show();
    QApplication::processEvents();
    EXPECT_EQ(w.windowTitle().toStdString(), file.string());
    ASSERT_EQ(w.RichEdit1->document()->blockCount(), 4);
    EXPECT_EQ(w.RichEdit1->document()->findBlockByNumber(2).text(), "SIR 8 TDI (FE);");

    // A click on the third line.
    QTextCursor third(w.RichEdit1->document()->findBlockByNumber(2));
    const QPoint p = w.RichEdit1->cursorRect(third).center() + QPoint(4, 0);
    QMouseEvent click(QEvent::MouseButtonPress, p, w.RichEdit1->viewport()->mapToGlobal(p), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.RichEdit1->viewport(), &click);
    EXPECT_EQ(w.Panel1->text(), "Line:3");

    // A key release shows the caret's line.
    Caret(w.RichEdit1, 3, 0);
    Key(w.RichEdit1, Qt::Key_Right, "");
    EXPECT_EQ(w.Panel1->text(), "Line:4");

    // Enter does not break the line; typed text reaches what the player reads.
    Key(w.RichEdit1, Qt::Key_Return, "\r");
    EXPECT_EQ(w.RichEdit1->document()->blockCount(), 4);
    Caret(w.RichEdit1, 0, 0);
    Key(w.RichEdit1, Qt::Key_Exclam, "!");
    EXPECT_EQ(wb.SvfFileW->Lines[0], "!TRST OFF;");
    EXPECT_EQ(wb.SvfFileW->Lines.size(), 4u);

    // A new load replaces the text; a redraw without a load keeps the edits.
    w.Display();
    EXPECT_EQ(w.RichEdit1->document()->findBlockByNumber(0).text(), "!TRST OFF;");
    std::ofstream(file, std::ios::binary) << "STATE RESET;\n";
    ASSERT_TRUE(LoadSvf(wb));
    w.Display();
    EXPECT_EQ(w.RichEdit1->toPlainText(), "STATE RESET;");
    EXPECT_EQ(w.Panel1->text(), "Line:1");  // kept until the next click or key
}

TEST_F(DataWindows, FillDialogWithoutBufferWindowStaysOpen) {
    TInputHexDlg dlg(wb);
    const auto image = wb.ImageBuffer;
    dlg.FillClick();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.isModal());
    dlg.OKBtn->click();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(wb.ImageBuffer == image);
    dlg.CancelBtn->click();
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(DataWindows, FillDialogFillsAndKeepsItsTexts) {
    wb.FileNew();
    TInputHexDlg dlg(wb);
    EXPECT_EQ(dlg.windowTitle(), "FillData");
    EXPECT_EQ(dlg.Edit1->text(), "0000");
    EXPECT_EQ(dlg.Edit2->text(), "ffff");
    EXPECT_EQ(dlg.Edit3->text(), "ff");
    dlg.FillClick();
    dlg.Edit1->setText("100");
    dlg.Edit2->setText("1ff");
    dlg.Edit3->setText("5a");
    dlg.OKBtn->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(wb.FileWin->EndAddr, 0xFFFF);  // a fill inside the buffer keeps its end
    EXPECT_EQ(wb.ImageBuffer[0xFF], 0xFF);
    EXPECT_EQ(wb.ImageBuffer[0x100], 0x5A);
    EXPECT_EQ(wb.ImageBuffer[0x1FF], 0x5A);

    // Resize: the start and value fields are disabled and not used.
    dlg.MaxAddrClick();
    EXPECT_FALSE(dlg.Edit1->isEnabled());
    EXPECT_FALSE(dlg.Edit3->isEnabled());
    EXPECT_FALSE(dlg.FillLabel->isEnabled());
    EXPECT_TRUE(dlg.Edit2->isEnabled());
    EXPECT_EQ(dlg.Edit1->text(), "100");  // texts offered again
    dlg.Edit2->setText("200000");
    dlg.OKBtn->click();
    EXPECT_EQ(wb.FileWin->EndAddr, 0xFFFFF);
    EXPECT_EQ(wb.ImageBuffer[0x200], 0xFF);
    dlg.FillClick();
    EXPECT_TRUE(dlg.Edit1->isEnabled());
    EXPECT_TRUE(dlg.FillLabel->isEnabled());
}

namespace {
template <class T>
int Count(QWidget& w) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return static_cast<int>(w.findChildren<T*>().size());
}
}  // namespace

TEST_F(DataWindows, MainWindowSwapsDataWindowsByLoad) {
    TMainForm mf(wb);
    TInputHexDlg dlg(wb, &mf);
    InstallDataWindows(mf, &dlg);
    wb.FileNew();
    ASSERT_NE(mf.FileWinView(), nullptr);

    const fs::path svf = dir / "t.svf";
    std::ofstream(svf, std::ios::binary) << "TRST OFF;\nENDIR IDLE;\nSIR 8 TDI (FE);\n";
    wb.DataFileName = svf.string();
    LoadSvf(wb);
    EXPECT_EQ(mf.FileWinView(), nullptr);
    ASSERT_EQ(Count<TSvfFileW>(mf), 1);
    TSvfFileW* sv = mf.findChild<TSvfFileW*>();
    EXPECT_EQ(sv->RichEdit1->document()->findBlockByNumber(2).text(), "SIR 8 TDI (FE);");
    sv->RichEdit1MouseDown(2);
    EXPECT_EQ(sv->Panel1->text(), "Line:3");

    // A JEDEC load: the fuse window, the SVF window stays.
    wb.DataFileName = (fs::path(test::FixturesDir()) / "jed" / "gal16v8_public.jed").string();
    LoadJed(wb);
    EXPECT_EQ(mf.FileWinView(), nullptr);
    ASSERT_EQ(Count<TPldFileW>(mf), 1);
    EXPECT_EQ(Count<TSvfFileW>(mf), 1);
    TPldFileW* pw = mf.findChild<TPldFileW*>();
    EXPECT_EQ(pw->Edit2->text().toStdString(), FuseChecksumText(wb.ImageBuffer, *wb.PldFileW));
    EXPECT_EQ(pw->RichEdit1->document()->blockCount(), 70);
    // Fill and resize act only on the buffer window.
    mf.MainFillClick();
    EXPECT_FALSE(dlg.isVisible());

    // A HEX load: the buffer window back, the fuse and SVF windows freed.
    const fs::path hex = dir / "t.hex";
    std::ofstream(hex, std::ios::binary) << ":0100000055AA\r\n:00000001FF\r\n";
    wb.DataFileName = hex.string();
    LoadHex(wb);
    EXPECT_NE(mf.FileWinView(), nullptr);
    EXPECT_EQ(Count<TPldFileW>(mf), 0);
    EXPECT_EQ(Count<TSvfFileW>(mf), 0);

    mf.MainFillClick();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(dlg.FillLabel->isEnabled());
    dlg.CancelBtn->click();
    mf.N11Click();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.FillLabel->isEnabled());

    // File/New frees the fuse window only.
    wb.DataFileName = (fs::path(test::FixturesDir()) / "jed" / "gal16v8_public.jed").string();
    LoadJed(wb);
    wb.DataFileName = svf.string();
    LoadSvf(wb);
    wb.DataFileName = (fs::path(test::FixturesDir()) / "jed" / "gal16v8_public.jed").string();
    LoadJed(wb);
    EXPECT_EQ(Count<TPldFileW>(mf), 1);
    EXPECT_EQ(Count<TSvfFileW>(mf), 1);
    mf.FileNew();
    EXPECT_NE(mf.FileWinView(), nullptr);
    EXPECT_EQ(Count<TPldFileW>(mf), 0);
    EXPECT_EQ(Count<TSvfFileW>(mf), 1);
    wb.view = nullptr;
}
