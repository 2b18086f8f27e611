#include "app/ui/qtprompts.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include "app/ui/autopro1.h"

namespace quilla {

int QtPrompts::Message(const std::string& text, const std::string& caption, MsgKind kind,
                       int buttons) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case MsgKind::Plain: icon = QMessageBox::NoIcon; break;
    case MsgKind::Information: icon = QMessageBox::Information; break;
    case MsgKind::Warning: icon = QMessageBox::Warning; break;
    case MsgKind::Error: icon = QMessageBox::Critical; break;
    case MsgKind::Confirmation: icon = QMessageBox::Question; break;
    }
    QMessageBox::StandardButtons qb;
    if (buttons & BtnOk) qb |= QMessageBox::Ok;
    if (buttons & BtnYes) qb |= QMessageBox::Yes;
    if (buttons & BtnNo) qb |= QMessageBox::No;
    if (buttons & BtnCancel) qb |= QMessageBox::Cancel;
    if (!qb) qb = QMessageBox::Ok;
    QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), qb, Owner);
    switch (box.exec()) {
    case QMessageBox::Yes: return BtnYes;
    case QMessageBox::No: return BtnNo;
    case QMessageBox::Cancel: return BtnCancel;
    case QMessageBox::Ok: return BtnOk;
    default:
        // Closed by the window's close box: the gentlest answer offered.
        if (buttons & BtnCancel) return BtnCancel;
        if (buttons & BtnNo) return BtnNo;
        return BtnOk;
    }
}

void QtPrompts::Beep() { QApplication::beep(); }

void QtPrompts::ShowChipPrompt(const std::string& text) {
    TAutoPro1* w = ChipPrompt ? ChipPrompt : AutoPro1;
    if (!w) return;
    // The previous poll's time, the windows served meanwhile (the user may
    // close the form or the main window to end the wait).
    if (promptUp_ && ChipPollHold.count() > 0) {
        QEventLoop hold;
        QTimer::singleShot(ChipPollHold, &hold, &QEventLoop::quit);
        hold.exec();
    }
    promptUp_ = true;
    w->Edit1->setText(QString::fromStdString(text));
    w->ShowInFront();
}

void QtPrompts::SetChipPromptCaption(const std::string& caption) {
    TAutoPro1* w = ChipPrompt ? ChipPrompt : AutoPro1;
    if (w) w->setWindowTitle(QString::fromStdString(caption));
}

void QtPrompts::CloseChipPrompt() {
    promptUp_ = false;
    TAutoPro1* w = ChipPrompt ? ChipPrompt : AutoPro1;
    if (w) w->HideAndRepaintBelow();
}

}  // namespace quilla
