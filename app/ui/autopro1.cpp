#include "app/ui/autopro1.h"

#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quilla {

TAutoPro1* AutoPro1 = nullptr;

TAutoPro1::TAutoPro1(QWidget* parent) : QDialog(parent) {
    setObjectName("AutoPro1");
    setModal(false);
    CaptionLabel = new QLabel(this);
    CaptionLabel->setObjectName("CaptionLabel");
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setReadOnly(true);
    QFont f = Edit1->font();
    f.setPixelSize(16);
    Edit1->setFont(f);
    Edit1->setMinimumWidth(360);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(CaptionLabel);
    lay->addWidget(Edit1);
    // The window takes the size its texts need, also when the caption comes or goes.
    lay->setSizeConstraint(QLayout::SetFixedSize);
    setWindowTitle("AutoPro1");
    if (!AutoPro1) AutoPro1 = this;
}

void TAutoPro1::changeEvent(QEvent* e) {
    QDialog::changeEvent(e);
    if (e->type() != QEvent::WindowTitleChange) return;
    CaptionLabel->setText(windowTitle());
    CaptionLabel->setVisible(!windowTitle().isEmpty());
    if (isVisible()) layout()->activate();
}

void TAutoPro1::ShowInFront() {
    show();
    raise();
    layout()->activate();
    // The window system maps the window and asks for its paint: wait for
    // that and paint it, as the wait's poll runs the event loop anyway.
    QGuiApplication::sync();
}

void TAutoPro1::HideAndRepaintBelow() {
    if (!isVisible()) return;
    hide();
    // What the prompt covered is painted again only when the window system's
    // request to do so is handled; the work that follows runs no event loop.
    QGuiApplication::sync();
}

}  // namespace quilla
