#include "app/ui/pldfilew.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVBoxLayout>

#include "app/jedec.h"
#include "app/ui/inputhexdlg.h"
#include "app/ui/mainform.h"
#include "app/ui/svffilew.h"
#include "app/workbench.h"

namespace quilla {

TPldFileW::TPldFileW(Workbench& wb, QWidget* parent) : QWidget(parent), wb_(wb) {
    setObjectName("PldFileW");
    setWindowTitle(wb_.PldFileW ? QString::fromStdString(wb_.PldFileW->Title) : QStringLiteral("PLD Buffer   "));

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setReadOnly(true);
    // Read-only for its own editing, but with a caret the keys can move.
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    RichEdit1->installEventFilter(this);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setReadOnly(true);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName("Edit2");
    Edit2->setReadOnly(true);

    auto* panel = new QHBoxLayout;
    panel->addWidget(new QLabel("Cursor:  ", this));
    panel->addWidget(Edit1);
    panel->addWidget(new QLabel("Checksum", this));
    panel->addWidget(Edit2);
    panel->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(RichEdit1, 1);
    layout->addLayout(panel);

    connect(RichEdit1, &QPlainTextEdit::cursorPositionChanged, this, [this] { OnSelectionChange(); });
    resize(400, 300);
}

void TPldFileW::Display() {
    if (!wb_.PldFileW) return;
    FuseWindowState& w = *wb_.PldFileW;
    setWindowTitle(QString::fromStdString(w.Title));
    w.FuseCount = FuseMapCount(w, wb_.ImageBuffer.size());

    QString text;
    for (const std::string& line : FuseMapLines(wb_.ImageBuffer, w)) {
        if (!text.isEmpty()) text += QLatin1Char('\n');
        text += QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
    }
    RichEdit1->setPlainText(text);  // plain text: every character black again

    if (!drawn_) {
        drawn_ = true;
        QWidget* frame = qobject_cast<QMdiSubWindow*>(parentWidget()) ? parentWidget() : this;
        frame->resize(520, frame->height());
    }
    QTextCursor c = RichEdit1->textCursor();
    c.setPosition(std::min(FuseFirstColumn(w, 0), static_cast<int>(RichEdit1->document()->characterCount() - 1)));
    RichEdit1->setTextCursor(c);
    FuseChecksum();
}

void TPldFileW::FuseChecksum() {
    if (!wb_.PldFileW) return;
    Edit2->setText(QString::fromStdString(FuseChecksumText(wb_.ImageBuffer, *wb_.PldFileW)));
}

void TPldFileW::OnSelectionChange() {
    if (!wb_.PldFileW) return;
    const QTextCursor c = RichEdit1->textCursor();
    CaretLine = c.blockNumber();
    CaretCol = c.positionInBlock();
    CursorAddress = FuseCursorAddress(*wb_.PldFileW, CaretLine, CaretCol);
    Edit1->setText(QString::number(CursorAddress) + QLatin1Char(' '));
}

bool TPldFileW::OnKeyPress(QChar key) {
    if (!wb_.PldFileW) return false;
    const char k = key.toUpper().toLatin1();
    QTextCursor c = RichEdit1->textCursor();
    c.clearSelection();
    const int line = c.blockNumber();
    const int col = c.positionInBlock();
    bool stored = false;
    if (k != 0 && FuseKeyPress(wb_.ImageBuffer, *wb_.PldFileW, line, col, k)) {
        stored = true;
        // The typed fuse replaces the character under the caret, in red.
        QTextCharFormat red;
        red.setForeground(Qt::red);
        c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        c.insertText(QString(QLatin1Char(k)), red);
        c.setCharFormat(QTextCharFormat());
    }
    RichEdit1->setTextCursor(c);  // empty selection, caret after the fuse
    return stored;
}

void TPldFileW::OnRichKeyDown(QKeyEvent* e) {
    const int key = e->key();
    if (key == Qt::Key_Home || key == Qt::Key_End ||
        ((key == Qt::Key_PageDown || key == Qt::Key_PageUp) && (e->modifiers() & Qt::ShiftModifier)))
        Display();
}

bool TPldFileW::eventFilter(QObject* obj, QEvent* ev) {
    if (obj == RichEdit1 && ev->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(ev);
        OnRichKeyDown(ke);
        const QString t = ke->text();
        if (t.size() == 1 && t[0].isPrint() && !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            OnKeyPress(t[0]);
            return true;  // a character never goes into the text by itself
        }
    }
    return QWidget::eventFilter(obj, ev);
}

namespace {

// The views of the fuse-map and SVF windows, kept in step with the workbench.
struct DataWindowViews {
    TPldFileW* pld = nullptr;
    QMdiSubWindow* pldSub = nullptr;
    TSvfFileW* svf = nullptr;
    QMdiSubWindow* svfSub = nullptr;
    unsigned svfLoads = 0;
};

// Frees the view whose data went.
template <class View>
void Drop(TMainForm& mf, bool wanted, View*& view, QMdiSubWindow*& sub) {
    if (wanted || !view) return;
    QMdiSubWindow* s = sub;
    view = nullptr;
    sub = nullptr;
    mf.RemoveDataWindow(s);
}

// Creates the view of new data. Closing its window only hides it.
template <class View>
void Create(TMainForm& mf, bool wanted, View*& view, QMdiSubWindow*& sub) {
    if (!wanted || view) return;
    view = new View(mf.wb());
    sub = mf.AddDataWindow(view);
}

}  // namespace

void InstallDataWindows(TMainForm& mf, TInputHexDlg* fillDialog) {
    auto views = std::make_shared<DataWindowViews>();
    TMainForm* main = &mf;
    mf.Hooks.SyncDataWindows = [main, views] {
        Workbench& wb = main->wb();
        const bool newPld = wb.PldFileW && !views->pld;
        const bool newSvf = wb.SvfFileW && !views->svf;
        // The windows of data that went first, so a new window takes their place.
        Drop(*main, wb.PldFileW != nullptr, views->pld, views->pldSub);
        Drop(*main, wb.SvfFileW != nullptr, views->svf, views->svfSub);
        Create(*main, wb.PldFileW != nullptr, views->pld, views->pldSub);
        Create(*main, wb.SvfFileW != nullptr, views->svf, views->svfSub);
        // New fuse data (a JEDEC load, a logic-device form) shows the fuse window.
        if (views->pld) views->pldSub->show();
        if (newPld) {
            views->pld->Display();
            main->MdiArea->setActiveSubWindow(views->pldSub);
        }
        if (newSvf) views->svfSub->show();
    };
    mf.Hooks.DisplayDataWindows = [main, views] {
        Workbench& wb = main->wb();
        if (views->pld && wb.PldFileW) views->pld->Display();
        if (views->svf && wb.SvfFileW) {
            views->svf->Display();
            // A new file in the window: bring it forward, its text focused.
            if (views->svfLoads != wb.SvfFileW->Loads) {
                views->svfLoads = wb.SvfFileW->Loads;
                views->svfSub->show();
                main->MdiArea->setActiveSubWindow(views->svfSub);
                views->svf->RichEdit1->setFocus();
            }
        }
    };
    if (fillDialog) {
        mf.Hooks.Fill = [fillDialog] { fillDialog->FillClick(); };
        mf.Hooks.Resize = [fillDialog] { fillDialog->MaxAddrClick(); };
    }
}

}  // namespace quilla
