#include "app/ui/svffilew.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVBoxLayout>

#include "app/svf.h"
#include "app/workbench.h"

namespace quilla {

TSvfFileW::TSvfFileW(Workbench& wb, QWidget* parent) : QWidget(parent), wb_(wb) {
    setObjectName("SvfFileW");
    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->installEventFilter(this);
    RichEdit1->viewport()->installEventFilter(this);

    Panel1 = new QLabel(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(RichEdit1, 1);
    layout->addWidget(Panel1);

    connect(RichEdit1, &QPlainTextEdit::textChanged, this, [this] { TextEdited(); });
    resize(520, 400);
    Display();
}

void TSvfFileW::Display() {
    if (!wb_.SvfFileW) return;
    const SvfWindowState& w = *wb_.SvfFileW;
    setWindowTitle(QString::fromStdString(w.Title));
    if (w.Loads == shownLoads_) return;
    shownLoads_ = w.Loads;
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(w.Lines.size()));
    for (const std::string& l : w.Lines) lines << QString::fromUtf8(l.data(), static_cast<qsizetype>(l.size()));
    loading_ = true;
    RichEdit1->setPlainText(lines.join(QLatin1Char('\n')));
    loading_ = false;
    if (w.Loads > 0) RichEdit1->setFocus();
}

void TSvfFileW::RichEdit1MouseDown(int zeroBasedLine) {
    Panel1->setText(QString::fromStdString(SvfLineCaption(zeroBasedLine)));
}

void TSvfFileW::RichEdit1KeyUp() {
    Panel1->setText(QString::fromStdString(SvfLineCaption(RichEdit1->textCursor().blockNumber())));
}

// The player reads the lines as they stand in the window.
void TSvfFileW::TextEdited() {
    if (loading_ || !wb_.SvfFileW) return;
    std::vector<std::string> lines;
    const QTextDocument* doc = RichEdit1->document();
    lines.reserve(static_cast<std::size_t>(doc->blockCount()));
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) lines.push_back(b.text().toStdString());
    wb_.SvfFileW->Lines = std::move(lines);
}

bool TSvfFileW::eventFilter(QObject* obj, QEvent* ev) {
    if (obj == RichEdit1->viewport() && ev->type() == QEvent::MouseButtonPress) {
        const auto* me = static_cast<QMouseEvent*>(ev);
        RichEdit1MouseDown(RichEdit1->cursorForPosition(me->position().toPoint()).blockNumber());
    } else if (obj == RichEdit1 && ev->type() == QEvent::KeyRelease) {
        RichEdit1KeyUp();
    } else if (obj == RichEdit1 && ev->type() == QEvent::KeyPress) {
        // Enter is not taken by the text (Ctrl+Enter still breaks a line).
        const auto* ke = static_cast<QKeyEvent*>(ev);
        if ((ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) &&
            !(ke->modifiers() & Qt::ControlModifier))
            return true;
    }
    return QWidget::eventFilter(obj, ev);
}

}  // namespace quilla
