#include "app/ui/mainform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QStyle>
#include <QTextEdit>

#include <algorithm>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

#include "app/ui/ep3form.h"
#include "app/ui/filewin.h"
#include "app/ui/finddlg.h"
#include "app/ui/guard.h"
#include "app/ui/mdiplace.h"

namespace quilla {

TMainForm* MainForm = nullptr;

namespace {

// The text of a fuse-map or SVF window, as find sees it: one byte per
// character, so positions in the text are positions of the selection.
class EditorTarget : public TextTarget {
public:
    EditorTarget(QPlainTextEdit* p, QTextEdit* t) : plain_(p), rich_(t) {}
    std::string WindowText() const override {
        return (plain_ ? plain_->toPlainText() : rich_->toPlainText()).toLatin1().toStdString();
    }
    int SelStart() const override { return Cursor().selectionStart(); }
    int SelLength() const override { return Cursor().selectionEnd() - Cursor().selectionStart(); }
    void Select(int start, int length) override {
        QTextCursor c = Cursor();
        const int last = c.document()->characterCount() - 1;
        c.setPosition(std::clamp(start, 0, last));
        c.setPosition(std::clamp(start + length, 0, last), QTextCursor::KeepAnchor);
        if (plain_) plain_->setTextCursor(c);
        else rich_->setTextCursor(c);
    }

private:
    QTextCursor Cursor() const { return plain_ ? plain_->textCursor() : rich_->textCursor(); }
    QPlainTextEdit* plain_;
    QTextEdit* rich_;
};

// Widget objects of the data windows other than the buffer window.
const char* const OtherDataWindows[] = {"PldFileW", "SvfFileW"};

QWidget* FindEditor(QWidget* w) {
    if (!w) return nullptr;
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p;
    if (auto* t = qobject_cast<QTextEdit*>(w)) return t;
    if (auto* p = w->findChild<QPlainTextEdit*>()) return p;
    if (auto* t = w->findChild<QTextEdit*>()) return t;
    return nullptr;
}

}  // namespace

template <class F>
void TMainForm::Run(F&& f) {
    Guarded(wb_.prompts, std::forward<F>(f));
}

TMainForm::TMainForm(Workbench& wb, QWidget* parent) : QMainWindow(parent), wb_(wb) {
    setObjectName("MainForm");
    setWindowTitle("Quilla Ver 1.12");
    move(1, 1);
    resize(773, 574);
    if (!MainForm) MainForm = this;

    MdiArea = new QMdiArea(this);
    MdiArea->setObjectName("MdiArea");
    MdiArea->setBackground(QColor(0xBF, 0xCD, 0xDB));  // inactive caption
    BuildPanels();
    BuildMenus();
    BuildToolBar();

    FindDialog1 = new TFindDialog(this);
    ReplaceDialog1 = new TReplaceDialog(this);
    connect(FindDialog1, &TFindDialog::Find, this, [this] { OnFind(); });
    connect(ReplaceDialog1, &TReplaceDialog::Find, this, [this] { OnRePlaceFind(); });
    connect(ReplaceDialog1, &TReplaceDialog::DoReplace, this, [this] { OnRePlace(); });

    wb_.view = this;
    SyncFileWin(true);
}

TMainForm::~TMainForm() {
    if (wb_.view == this) wb_.view = nullptr;
    if (MainForm == this) MainForm = nullptr;
}

void TMainForm::BuildPanels() {
    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);

    Panel1 = new QWidget(central);
    Panel1->setObjectName("Panel1");
    auto* p1 = new QHBoxLayout(Panel1);
    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox2 = new QComboBox(Panel1);
    ComboBox2->setObjectName("ComboBox2");
    p1->addWidget(ComboBox1);
    p1->addWidget(ComboBox2);
    Panel1->hide();
    connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });
    connect(ComboBox2, &QComboBox::activated, this, [this] { ComboBox2Change(); });

    Panel2 = new QWidget(central);
    Panel2->setObjectName("Panel2");
    auto* p2 = new QVBoxLayout(Panel2);
    ListBox1 = new QListWidget(Panel2);
    ListBox1->setObjectName("ListBox1");
    p2->addWidget(ListBox1);
    Panel2->hide();
    ListBox1->installEventFilter(this);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { List1OnDbClick(); });

    auto* mid = new QHBoxLayout;
    mid->setSpacing(0);
    mid->addWidget(Panel2);
    mid->addWidget(MdiArea, 1);

    Panel3 = new QWidget(central);
    Panel3->setObjectName("Panel3");
    auto* p3 = new QHBoxLayout(Panel3);
    p3->setContentsMargins(6, 2, 6, 2);
    Label2 = new QLabel("Type: ", Panel3);
    Label2->setObjectName("Label2");
    auto* adapterCaption = new QLabel("Adapter:", Panel3);
    Label4 = new QLabel("No need", Panel3);
    Label4->setObjectName("AdapterLabel");
    AdapterLabel = Label4;
    Label3 = new QLabel("Device:", Panel3);
    Label3->setObjectName("Label3");
    auto* counterCaption = new QLabel("Counter", Panel3);
    Edit1 = new QLineEdit(QString::fromStdString(wb_.Counter), Panel3);
    Edit1->setObjectName("Edit1");
    Edit1->setFixedWidth(80);
    connect(Edit1, &QLineEdit::textEdited, this,
            [this](const QString& t) { wb_.Counter = t.toStdString(); });
    p3->addWidget(Label2, 3);
    p3->addWidget(adapterCaption);
    p3->addWidget(Label4, 1);
    p3->addWidget(Label3, 3);
    p3->addWidget(counterCaption);
    p3->addWidget(Edit1);

    v->addWidget(Panel1);
    v->addLayout(mid, 1);
    v->addWidget(Panel3);
    setCentralWidget(central);

    QStatusBar* sb = statusBar();
    sb->setObjectName("StatusLine");
    const int widths[4] = {150, 50, 50, 50};
    for (int i = 0; i < 4; ++i) {
        StatusPanels[i] = new QLabel(sb);
        StatusPanels[i]->setObjectName(QString("StatusPanel%1").arg(i));
        StatusPanels[i]->setMinimumWidth(widths[i]);
        StatusPanels[i]->setFrameShape(QFrame::StyledPanel);
        sb->addWidget(StatusPanels[i], i == 3 ? 1 : 0);
    }
}

void TMainForm::BuildMenus() {
    auto add = [this](QMenu* m, const char* name, const QString& text, void (TMainForm::*fn)(),
                      const QKeySequence& key = {}) {
        QAction* a = m->addAction(text);
        a->setObjectName(name);
        if (!key.isEmpty()) a->setShortcut(key);
        connect(a, &QAction::triggered, this, [this, fn] { (this->*fn)(); });
        return a;
    };
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    add(file, "FileNewItem", "&New         ", &TMainForm::FileNew);
    add(file, "LoadFile", "&Load      ", &TMainForm::LoadFileClick);
    add(file, "SaveBuf", "&Save        ", &TMainForm::SaveBufClick);
    file->addSeparator();
    add(file, "FilePrintItem", "&Print ", &TMainForm::FilePrint);
    add(file, "FilePrintSetupItem", "Se&t printer ", &TMainForm::FilePrintSetup);
    file->addSeparator();
    add(file, "FileExitItem", "&x Exit", &TMainForm::FileExit);

    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->setObjectName("Edit1Menu");
    add(edit, "MainFill", "&D FillData", &TMainForm::MainFillClick);
    add(edit, "N11", "&E Resize buffer       ", &TMainForm::N11Click, QKeySequence("Ctrl+E"));
    edit->addSeparator();
    add(edit, "S1", "&Find  ", &TMainForm::S1Click, QKeySequence("Ctrl+F"));
    add(edit, "R1", "&Rplace", &TMainForm::R1Click, QKeySequence("Ctrl+R"));
    add(edit, "S2", "Re&peat        ", &TMainForm::S2Click, QKeySequence(Qt::Key_F3));

    QMenu* comm = menuBar()->addMenu("&Comm");
    comm->setObjectName("Comm1");
    add(comm, "Befor", "&Before          ", &TMainForm::BeforClick);
    add(comm, "SelType", "&T Type    ", &TMainForm::SelTypeClick);
    add(comm, "Prog", "&R/W       ", &TMainForm::ProgClick);
    add(comm, "ID", "&Auto detect type    ", &TMainForm::IDClick);

    QMenu* setting = menuBar()->addMenu("&V Setting");
    setting->setObjectName("Setting1Menu");
    add(setting, "System", "Status  ", &TMainForm::SystemClick);
    add(setting, "N6", "Add-on info", &TMainForm::N6Click);
    add(setting, "N7", "Other", &TMainForm::N7Click);

    QMenu* window = menuBar()->addMenu("&Window");
    window->setObjectName("Window1");
    add(window, "WindowTileItem", "&Tile  ", &TMainForm::WindowTile);
    add(window, "WindowCascadeItem", "&Cas.  ", &TMainForm::WindowCascade);
    add(window, "WindowArrangeItem", "&All       ", &TMainForm::WindowArrange);
    add(window, "FileWin1", "&F List", &TMainForm::FileWin1Click);

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("Help1");
    add(help, "N5", "CFG Refs", &TMainForm::N5Click);
    QAction* about = add(help, "HelpAboutItem", "Quilla", &TMainForm::HelpAbout);
    about->setStatusTip("Show program information");
    about->setToolTip("Show program information");
}

void TMainForm::BuildToolBar() {
    ToolBar = addToolBar("ToolBar1");
    ToolBar->setObjectName("ToolBar1");
    ToolBar->setMovable(false);
    ToolBar->setFixedHeight(54);
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    struct Button {
        const char* name;
        const char* text;
        const char* hint;  // as stored; the part after '|' is the long hint
        QStyle::StandardPixmap icon;
        void (TMainForm::*fn)();
    };
    const Button buttons[] = {
        {"SpeedButton1", "Load data", "Load data       ", QStyle::SP_DialogOpenButton, &TMainForm::LoadFileClick},
        {"SpeedButton2", "Save data", "Save data     ", QStyle::SP_DialogSaveButton, &TMainForm::SaveBufClick},
        {"SpeedButton3", "Fill Buffer", "Fill Buffer   ", QStyle::SP_FileDialogContentsView, &TMainForm::MainFillClick},
        {"SpeedButton4", "Select Type", "Select Type  ", QStyle::SP_FileDialogDetailedView, &TMainForm::SelTypeClick},
        {"SpeedButton5", "Read/Write", "Read/Write ", QStyle::SP_MediaPlay, &TMainForm::ProgClick},
        {"SpeedButton6", "System Test", "System Test ", QStyle::SP_ComputerIcon, &TMainForm::SystemClick},
        {"SpeedButton10", "Page back", "View buffer     ", QStyle::SP_ArrowBack, &TMainForm::SpeedButton10Click},
        {"SpeedButton8", "Page forward", "View buffer     ", QStyle::SP_ArrowForward, &TMainForm::SpeedButton8Click},
        {"SpeedButton9", "Help", "Topic Search|", QStyle::SP_DialogHelpButton, &TMainForm::HelpSearch},
    };
    for (const Button& b : buttons) {
        QAction* a = ToolBar->addAction(style()->standardIcon(b.icon), b.text);
        a->setObjectName(b.name);
        const QString hint = b.hint;
        a->setProperty("hint", hint);
        a->setToolTip(hint.section('|', 0, 0));
        a->setStatusTip(hint.contains('|') ? hint.section('|', 1) : hint);
        auto fn = b.fn;
        connect(a, &QAction::triggered, this, [this, fn] { (this->*fn)(); });
    }
}

// ---- shell view --------------------------------------------------------------------

void TMainForm::Display() {
    SyncFileWin(false);
    if (Hooks.DisplayDataWindows) Run(Hooks.DisplayDataWindows);
}

void TMainForm::DataWindowsChanged() {
    // The windows of data that went first, so a new window takes their place.
    DropFileWin();
    if (Hooks.SyncDataWindows) Run(Hooks.SyncDataWindows);
    SyncFileWin(true);
}

void TMainForm::CounterChanged() {
    Edit1->setText(QString::fromStdString(wb_.Counter));
    Edit1->repaint();
}

QMdiSubWindow* TMainForm::AddDataWindow(QWidget* view) {
    auto* sub = new QMdiSubWindow;
    sub->setWidget(view);
    // Closing a data window does not free it: the program does, when other
    // data takes over.
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    // Its size before the area places it, so the place found holds the whole window.
    QSize size = view->size() + QSize(12, 32);
    const QSize room = MdiArea->viewport()->size();
    if (MdiArea->isVisible() && !room.isEmpty()) size = size.boundedTo(room);
    sub->resize(size);
    MdiArea->addSubWindow(sub);
    KeepInArea(sub);
    return sub;
}

void TMainForm::KeepInArea(QMdiSubWindow* sub) {
    // Before the area is shown it places its children itself, inside.
    const QSize room = MdiArea->viewport()->size();
    if (!sub || !MdiArea->isVisible() || room.isEmpty() || sub->isMaximized() || sub->isMinimized()) return;
    if (sub->width() > room.width() || sub->height() > room.height()) sub->resize(sub->size().boundedTo(room));
    KeepInside(sub, room);
}

void TMainForm::DropFileWin() {
    if (wb_.FileWin || !fileWinView_) return;
    QMdiSubWindow* sub = fileWinSub_;
    fileWinView_ = nullptr;
    fileWinSub_ = nullptr;
    RemoveDataWindow(sub);
}

void TMainForm::RemoveDataWindow(QMdiSubWindow* sub) {
    MdiArea->removeSubWindow(sub);
    sub->deleteLater();
}

void TMainForm::SyncFileWin(bool show) {
    if (wb_.FileWin && !fileWinView_) {
        fileWinView_ = new TFileWin(wb_);
        connect(fileWinView_, &TFileWin::FillRequested, this, [this] { MainFillClick(); });
        connect(fileWinView_, &TFileWin::ResizeRequested, this, [this] { N11Click(); });
        fileWinSub_ = AddDataWindow(fileWinView_);
        // Closing the buffer window only minimises it: it lives as long as its data.
        fileWinSub_->installEventFilter(this);
        show = true;
    }
    DropFileWin();
    if (!fileWinView_) return;
    fileWinView_->Refresh();
    if (show) {
        if (fileWinSub_->isMinimized()) fileWinSub_->showNormal();
        fileWinSub_->show();
        fileWinView_->show();
    }
}

void TMainForm::SetStatusPanel(int i, const std::string& text) {
    if (i >= 0 && i < 4) StatusPanels[i]->setText(QString::fromStdString(text));
}

std::string TMainForm::StatusPanel(int i) const {
    return i >= 0 && i < 4 ? StatusPanels[i]->text().toStdString() : std::string();
}

// ---- File -------------------------------------------------------------------------

void TMainForm::FileNew() {
    Run([this] {
        wb_.FileNew();
        if (fileWinSub_) MdiArea->setActiveSubWindow(fileWinSub_);
    });
}

void TMainForm::LoadFileClick() {
    if (Hooks.LoadFile) Run(Hooks.LoadFile);
}

void TMainForm::SaveBufClick() {
    if (Hooks.SaveBuf) Run(Hooks.SaveBuf);
}

void TMainForm::FilePrint() {
    Run([this] {
        QWidget* ed = FindEditor(ActiveDataWidget());
        if (!ed) return;
        QPrinter printer;
        printer.setDocName(QString());
        QPrintDialog dlg(&printer, this);
        if (dlg.exec() != QDialog::Accepted) return;
        if (auto* p = qobject_cast<QPlainTextEdit*>(ed)) p->print(&printer);
        else if (auto* t = qobject_cast<QTextEdit*>(ed)) t->print(&printer);
    });
}

void TMainForm::FilePrintSetup() {
    Run([this] {
        QPrinter printer;
        QPageSetupDialog dlg(&printer, this);
        dlg.exec();
    });
}

void TMainForm::FileExit() { close(); }

// ---- Edit -------------------------------------------------------------------------

void TMainForm::MainFillClick() {
    if (wb_.FileWin && Hooks.Fill) Run(Hooks.Fill);
}

void TMainForm::N11Click() {
    if (wb_.FileWin && Hooks.Resize) Run(Hooks.Resize);
}

QWidget* TMainForm::ActiveDataWidget() const {
    QMdiSubWindow* sub = MdiArea->currentSubWindow();
    if (!sub) sub = MdiArea->activeSubWindow();
    return sub ? sub->widget() : nullptr;
}

TextTarget* TMainForm::ActiveTarget() {
    QWidget* w = ActiveDataWidget();
    if (!w) return nullptr;
    if (w == fileWinView_) return wb_.FileWin.get();
    QWidget* ed = FindEditor(w);
    if (!ed) return nullptr;
    otherTarget_ = std::make_unique<EditorTarget>(qobject_cast<QPlainTextEdit*>(ed),
                                                  qobject_cast<QTextEdit*>(ed));
    return otherTarget_.get();
}

void TMainForm::S1Click() {
    FindDialog1->show();
    FindDialog1->raise();
    FindDialog1->activateWindow();
}

void TMainForm::R1Click() {
    ReplaceDialog1->show();
    ReplaceDialog1->raise();
    ReplaceDialog1->activateWindow();
}

void TMainForm::OnFind() {
    Run([this] {
        TextTarget* t = ActiveTarget();
        if (!t) return;
        Finder.OnFind(*t, FindDialog1->FindText->text().toStdString(), wb_.prompts, &wb_);
        if (t == wb_.FileWin.get() && fileWinView_) fileWinView_->Refresh();
    });
}

void TMainForm::S2Click() { OnFind(); }

void TMainForm::OnRePlaceFind() {
    Run([this] {
        TextTarget* t = ActiveTarget();
        if (!t) return;
        Finder.OnRePlaceFind(*t, ReplaceDialog1->FindText->text().toStdString(), wb_.prompts, &wb_);
        if (t == wb_.FileWin.get() && fileWinView_) fileWinView_->Refresh();
    });
}

void TMainForm::OnRePlace() {
    Run([this] {
        TextTarget* t = ActiveTarget();
        HexWindowState* buffer = (t && t == wb_.FileWin.get()) ? wb_.FileWin.get() : nullptr;
        Finder.OnRePlace(wb_, t, buffer, ReplaceDialog1->ReplaceText->text().toStdString());
        if (buffer && fileWinView_) fileWinView_->Refresh();
    });
}

// ---- Comm -------------------------------------------------------------------------

void TMainForm::BeforClick() {
    Run([this] {
        FileWin1Click();
        WindowTile();
    });
    if (Hooks.Before) {
        Run(Hooks.Before);
        return;
    }
    if (Hooks.LoadConfig) Run(Hooks.LoadConfig);
    ProgClick();
}

void TMainForm::SelTypeClick() {
    if (Hooks.SelType) Run(Hooks.SelType);
}

void TMainForm::ProgClick() {
    if (Hooks.Prog) {
        Run(Hooks.Prog);
        return;
    }
    Run([this] {
        if (Hooks.TypeDlgDeviceIndex) {
            const int i = Hooks.TypeDlgDeviceIndex();
            if (ListBox1->currentRow() != i) {
                wb_.prompts.ShowMessage("Click mouse to change!!!");
                ListBox1->setCurrentRow(i);
            }
        }
        if (Hooks.OpenAlgorithmForm) Hooks.OpenAlgorithmForm();
    });
}

void TMainForm::IDClick() {
    if (Hooks.ID) {
        Run(Hooks.ID);
        return;
    }
    Run([this] {
        if (!Hooks.TypeDlgCategoryIndex) return;
        if (Hooks.TypeDlgCategoryIndex() > 1) {
            wb_.prompts.ShowMessage("Only for EPROM & EEPROM (27xxx,28xxx,29xxx) !!!!!!");
            return;
        }
        if (Hooks.MFRClick) Hooks.MFRClick();
        char buf[64];
        std::snprintf(buf, sizeof buf, "MFG ID  = %02x,     type ID = %02x ", wb_.sel.MfrIdByte,
                      wb_.sel.DeviceIdByte);
        wb_.prompts.ShowMessage(buf);
    });
}

// ---- V Setting ------------------------------------------------------------------------

void TMainForm::SystemClick() {
    Run([this] {
        if (!Ep3Form) Ep3Form = new TEp3Form(wb_, this);
        Ep3Form->show();
        Ep3Form->raise();
        Ep3Form->activateWindow();
        Ep3Form->setFocus();
    });
}

void TMainForm::N6Click() {
    Run([this] {
        if (wb_.Ep3.IsModel("vex310")) {
            wb_.prompts.ShowMessage(wb_.Ep3.ProgrammerModel + "不支持这项选择");
            return;
        }
        if (Hooks.ShowSetting1) Hooks.ShowSetting1("线性增量");
    });
}

void TMainForm::N7Click() {
    Run([this] {
        if (wb_.Ep3.IsModel("vex310")) {
            wb_.prompts.ShowMessage(wb_.Ep3.ProgrammerModel + "不支持这项选择");
            return;
        }
        if (Hooks.ShowSetting1) Hooks.ShowSetting1("其它");
    });
}

// ---- Window -----------------------------------------------------------------------------

void TMainForm::WindowTile() { MdiArea->tileSubWindows(); }
void TMainForm::WindowCascade() { MdiArea->cascadeSubWindows(); }

void TMainForm::WindowArrange() {
    // Minimised children in a row along the bottom; the others stay where they are.
    int x = 0;
    for (QMdiSubWindow* sub : MdiArea->subWindowList()) {
        if (!sub->isMinimized()) continue;
        const QSize sz = sub->size();
        sub->move(x, MdiArea->viewport()->height() - sz.height());
        x += sz.width();
    }
}

void TMainForm::FileWin1Click() {
    if (fileWinView_) {
        MdiArea->setActiveSubWindow(fileWinSub_);
        fileWinView_->RichEdit1->setFocus();
    }
    for (const char* name : OtherDataWindows) {
        for (QMdiSubWindow* sub : MdiArea->subWindowList()) {
            if (sub->widget() && sub->widget()->objectName() == name) {
                MdiArea->setActiveSubWindow(sub);
                if (QWidget* ed = FindEditor(sub->widget())) ed->setFocus();
            }
        }
    }
}

void TMainForm::SpeedButton10Click() {
    Run([this] {
        if (!wb_.FileWin) return;
        wb_.FileWin->PageBack(wb_);
        if (fileWinView_) fileWinView_->Refresh();
    });
}

void TMainForm::SpeedButton8Click() {
    Run([this] {
        if (!wb_.FileWin) return;
        wb_.FileWin->PageForward(wb_);
        if (fileWinView_) fileWinView_->Refresh();
    });
}

// ---- Help -------------------------------------------------------------------------------

TMainForm::HelpOpened TMainForm::OpenHelpPage(const std::string& page) {
    const QString path = QString::fromStdString(wb_.ProgramDir + "help/" + page);
    if (!QFileInfo(path).isFile()) return HelpOpened::NoFile;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? HelpOpened::Yes : HelpOpened::NoProgram;
}

void TMainForm::ShowHelpIndex() {
    const std::string path = wb_.ProgramDir + "help/index.html";
    switch (OpenHelpPage("index.html")) {
        case HelpOpened::Yes: break;
        case HelpOpened::NoFile: wb_.prompts.ShowMessage("Can not find " + path); break;
        case HelpOpened::NoProgram: wb_.prompts.ShowMessage("No program to open " + path); break;
    }
}

void TMainForm::HelpSearch() {
    Run([this] { ShowHelpIndex(); });
}

void TMainForm::HelpAbout() {
    Run([this] { ShowHelpIndex(); });
}

void TMainForm::N5Click() {
    // A missing configuration reference is not reported.
    Run([this] { OpenHelpPage("config.html"); });
}

// ---- hidden mirrors ------------------------------------------------------------------------

void TMainForm::ComboBox1Change() {
    Run([this] {
        int i = ComboBox1->currentIndex();
        if (i < 0) i = 0;
        if (!Hooks.MirrorMfrChanged) return;
        if (i < ComboBox1->count()) ComboBox1->setCurrentIndex(i);
        Hooks.MirrorMfrChanged(i);
    });
}

void TMainForm::ComboBox2Change() {
    Run([this] {
        int i = ComboBox2->currentIndex();
        if (i < 0) i = 0;
        if (Hooks.MirrorCategoryChanged) Hooks.MirrorCategoryChanged(i);
    });
}

void TMainForm::List1OnDbClick() {
    Run([this] {
        const int i = ListBox1->currentRow();
        if (i < 0 || !ListBox1->currentItem() || !ListBox1->currentItem()->isSelected()) return;
        if (Hooks.MirrorDeviceChosen) Hooks.MirrorDeviceChosen(i);
    });
}

void TMainForm::List1KeyDown(int key) {
    if (key == 13) List1OnDbClick();
}

bool TMainForm::eventFilter(QObject* o, QEvent* e) {
    if (fileWinSub_ && o == fileWinSub_ && e->type() == QEvent::Close) {
        e->ignore();
        fileWinSub_->showMinimized();
        return true;
    }
    if (o == ListBox1 && e->type() == QEvent::KeyPress) {
        const int k = static_cast<QKeyEvent*>(e)->key();
        if (k == Qt::Key_Return || k == Qt::Key_Enter) {
            List1KeyDown(13);
            return true;
        }
    }
    return QMainWindow::eventFilter(o, e);
}

// ---- close ------------------------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* e) {
    Run([this] {
        if (Hooks.SaveConfig) Hooks.SaveConfig();
    });
    Run([this] { wb_.Ep3.ShutdownHook(); });
    // The program ends with its main window: a batch waiting for the next chip
    // ends there, as when its form is closed, and the message loop with it.
    wb_.Ep3.StopRequested = true;
    e->accept();
}

}  // namespace quilla
