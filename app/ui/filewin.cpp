#include "app/ui/filewin.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include "app/hexwin.h"
#include "app/ui/guard.h"
#include "app/workbench.h"

namespace quilla {

namespace {
constexpr int EditorStride = HexLineChars + 1;  // one '\n' per line in the editor
}

TFileWin::TFileWin(Workbench& wb, QWidget* parent) : QWidget(parent), wb_(wb) {
    setObjectName("FileWin");
    setWindowTitle("Binary buffer   ");

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setReadOnly(true);
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    RichEdit1->setFont(fixed);
    QPalette pal = RichEdit1->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    // The selection stays visible when the focus moves to a dialog.
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    RichEdit1->setPalette(pal);
    RichEdit1->installEventFilter(this);
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->addAction("FillData", this, [this] { emit FillRequested(); });
    PopupMenu1->addAction("Resize buffer       ", this, [this] { emit ResizeRequested(); });
    connect(RichEdit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pt) { PopupMenu1->exec(RichEdit1->mapToGlobal(pt)); });

    ScrollBar1 = new QScrollBar(Qt::Vertical, this);
    ScrollBar1->setObjectName("ScrollBar1");
    ScrollBar1->setPageStep(1);

    auto field = [this](const char* name, bool readOnly, int width) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setReadOnly(readOnly);
        e->setFixedWidth(width);
        return e;
    };
    Edit1 = field("Edit1", true, 90);
    Edit2 = field("Edit2", true, 90);
    Edit3 = field("Edit3", false, 90);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    top->addWidget(RichEdit1, 1);
    top->addWidget(ScrollBar1);
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(4, 2, 4, 2);
    bottom->addWidget(new QLabel("Cursor:  ", this));
    bottom->addWidget(Edit1);
    bottom->addSpacing(8);
    bottom->addWidget(new QLabel("Checksum", this));
    bottom->addWidget(Edit2);
    bottom->addSpacing(8);
    bottom->addWidget(new QLabel("Start:    ", this));
    bottom->addWidget(Edit3);
    bottom->addStretch(1);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addLayout(top, 1);
    lay->addLayout(bottom);

    connect(RichEdit1, &QPlainTextEdit::cursorPositionChanged, this, [this] { OnSelectionChange(); });
    connect(RichEdit1, &QPlainTextEdit::selectionChanged, this, [this] { OnSelectionChange(); });
    connect(Edit3, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (HexWindowState* m = Model()) m->Edit3 = t.toStdString();
    });
    connect(Edit3, &QLineEdit::returnPressed, this, [this] { Edit3KeyD(13); });
    Edit3->installEventFilter(this);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, [this](int v) {
        if (updating_) return;
        ScrollBar1Change(v);
        if (!ScrollBar1->isSliderDown()) ScrollBar1OnScroll(true);
    });
    connect(ScrollBar1, &QScrollBar::sliderReleased, this, [this] { ScrollBar1OnScroll(true); });

    const QFontMetrics fm(fixed);
    resize(fm.horizontalAdvance(QString(HexLineChars + 4, 'x')) + 40, fm.lineSpacing() * 16 + 64);
    Refresh();
}

HexWindowState* TFileWin::Model() const { return wb_.FileWin.get(); }

int TFileWin::ToModelPos(int editorPos) {
    const int line = editorPos / EditorStride;
    return line * HexLineStride + editorPos % EditorStride;
}

int TFileWin::ToEditorPos(int modelPos) {
    const int line = modelPos / HexLineStride;
    const int col = std::min(modelPos % HexLineStride, HexLineChars);
    return line * EditorStride + col;
}

template <class F>
void TFileWin::Run(F&& f) {
    if (!Model()) return;
    Guarded(wb_.prompts, std::forward<F>(f));
    Refresh();
}

void TFileWin::Refresh() {
    HexWindowState* m = Model();
    if (!m) return;
    updating_ = true;
    setWindowTitle(QString::fromStdString(m->Title));

    // The page: 16 lines, the editor's line break being one character.
    QString text;
    text.reserve(HexPageLines * EditorStride);
    for (std::size_t i = 0; i < m->RichText.size(); ++i) {
        const char c = m->RichText[i];
        if (c == '\r') continue;
        // DEL has no glyph of its own; it keeps its place as a visible mark.
        text += c == '\x7f' ? QChar(0x2302) : QChar::fromLatin1(c);
    }
    if (RichEdit1->toPlainText() != text) RichEdit1->setPlainText(text);
    QTextCursor cur(RichEdit1->document());
    cur.select(QTextCursor::Document);
    QTextCharFormat black;
    black.setForeground(Qt::black);
    cur.setCharFormat(black);
    QTextCharFormat red;
    red.setForeground(Qt::red);
    for (std::size_t i = 0; i < m->Red.size(); ++i) {
        if (!m->Red[i]) continue;
        const int p = ToEditorPos(static_cast<int>(i));
        QTextCursor rc(RichEdit1->document());
        rc.setPosition(p);
        rc.setPosition(p + 1, QTextCursor::KeepAnchor);
        rc.setCharFormat(red);
    }
    QTextCursor caret(RichEdit1->document());
    const int last = static_cast<int>(text.size());
    caret.setPosition(std::min(ToEditorPos(m->SelStart()), last));
    if (m->SelLength() > 0)
        caret.setPosition(std::min(ToEditorPos(m->SelStart() + m->SelLength()), last),
                          QTextCursor::KeepAnchor);
    RichEdit1->setTextCursor(caret);

    Edit1->setText(QString::fromStdString(m->Edit1));
    Edit2->setText(QString::fromStdString(m->Edit2));
    Edit3->setText(QString::fromStdString(m->Edit3));
    Edit3->setStyleSheet(m->Edit3Yellow ? "QLineEdit { background: #ffff00; }"
                                        : "QLineEdit { background: white; }");
    ScrollBar1->setRange(0, std::max(m->ScrollMax, 0));
    ScrollBar1->setValue(m->ScrollPos);
    updating_ = false;
}

void TFileWin::OnSelectionChange() {
    if (updating_) return;
    HexWindowState* m = Model();
    if (!m) return;
    const QTextCursor c = RichEdit1->textCursor();
    const int start = ToModelPos(c.selectionStart());
    const int end = ToModelPos(c.selectionEnd());
    m->Select(start, end - start);
    Edit1->setText(QString::fromStdString(m->Edit1));
}

bool TFileWin::OnKeyPress(char key) {
    bool taken = false;
    Run([&] {
        OnSelectionChange();
        taken = Model()->OnKeyPress(wb_, key);
    });
    return taken;
}

void TFileWin::OnRichKeyDown(int qtKey) {
    HexKey k;
    switch (qtKey) {
    case Qt::Key_Home: k = HexKey::Home; break;
    case Qt::Key_End: k = HexKey::End; break;
    case Qt::Key_PageUp: k = HexKey::PageUp; break;
    case Qt::Key_PageDown: k = HexKey::PageDown; break;
    default: return;
    }
    Run([&] { Model()->OnRichKeyDown(wb_, k); });
}

void TFileWin::Edit3Exit() {
    Run([&] {
        Model()->Edit3 = Edit3->text().toStdString();
        Model()->Edit3Exit(wb_);
    });
}

void TFileWin::Edit3KeyD(int key) {
    Run([&] {
        Model()->Edit3 = Edit3->text().toStdString();
        Model()->Edit3KeyD(wb_, key);
    });
}

void TFileWin::ScrollBar1Change(int position) {
    HexWindowState* m = Model();
    if (!m) return;
    m->ScrollBar1Change(position);
    updating_ = true;
    Edit3->setText(QString::fromStdString(m->Edit3));
    Edit3->setStyleSheet("QLineEdit { background: #ffff00; }");
    updating_ = false;
}

void TFileWin::ScrollBar1OnScroll(bool endScroll) {
    Run([&] { Model()->ScrollBar1OnScroll(wb_, endScroll); });
}

bool TFileWin::eventFilter(QObject* o, QEvent* e) {
    if (o == RichEdit1 && e->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(e);
        switch (ke->key()) {
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            OnRichKeyDown(ke->key());
            return true;
        default:
            break;
        }
        const QString t = ke->text();
        if (t.size() == 1 && t[0].unicode() >= 0x20 && t[0].unicode() < 0x7F &&
            !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            OnKeyPress(static_cast<char>(t[0].unicode()));
            return true;
        }
    }
    if (o == Edit3 && e->type() == QEvent::FocusOut) Edit3Exit();
    return QWidget::eventFilter(o, e);
}

}  // namespace quilla
