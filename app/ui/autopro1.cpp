#include "app/ui/autopro1.h"

#include <QFont>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quilla {

TAutoPro1* AutoPro1 = nullptr;

TAutoPro1::TAutoPro1(QWidget* parent) : QDialog(parent) {
    setObjectName("AutoPro1");
    setWindowTitle("AutoPro1");
    setModal(false);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setReadOnly(true);
    QFont f = Edit1->font();
    f.setPixelSize(16);
    Edit1->setFont(f);
    Edit1->setMinimumWidth(360);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Edit1);
    if (!AutoPro1) AutoPro1 = this;
}

}  // namespace quilla
