#include "app/ui/ep3form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/ui/guard.h"
#include "app/workbench.h"

namespace quilla {

TEp3Form::TEp3Form(Workbench& wb, QWidget* parent) : QDialog(parent), wb_(wb) {
    setObjectName("Ep3");
    setWindowTitle("Status  ");
    setFixedSize(371, 141);
    setModal(false);

    Label1 = new QLabel("Quilla", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(16, 8, 120, 24);
    QFont big = Label1->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    Label1->setFont(big);

    Edit4 = new QLineEdit(this);
    Edit4->setObjectName("Edit4");
    Edit4->setGeometry(16, 40, 339, 24);
    QPalette pal = Edit4->palette();
    pal.setColor(QPalette::Text, QColor(0x80, 0, 0));  // maroon
    Edit4->setPalette(pal);
    Edit4->setText(QString::fromStdString(wb_.Ep3.Edit4));

    Button1 = new QPushButton("OS Info.   ", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(16, 76, 105, 25);
    type = new QPushButton("Programmer", this);
    type->setObjectName("type");
    type->setGeometry(133, 76, 105, 25);
    Button2 = new QPushButton("Test USB Load  ", this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(250, 76, 105, 25);
    SN = new QPushButton(QString::fromUtf8("序列码"), this);
    SN->setObjectName("SN");
    SN->setGeometry(133, 108, 105, 25);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(type, &QPushButton::clicked, this, [this] { typeClick(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(SN, &QPushButton::clicked, this, [this] { SNClick(); });

    wb_.Ep3.StatusWin = this;
}

TEp3Form::~TEp3Form() {
    if (wb_.Ep3.StatusWin == this) wb_.Ep3.StatusWin = nullptr;
}

void TEp3Form::Edit4Changed(const std::string& text) {
    Edit4->setText(QString::fromStdString(text));
    Edit4->repaint();
}

template <class F>
void TEp3Form::Run(F&& f) {
    Guarded(wb_.prompts, std::forward<F>(f));
    Edit4->setText(QString::fromStdString(wb_.Ep3.Edit4));
}

void TEp3Form::Button1Click() { Run([this] { wb_.Ep3.Button1Click(); }); }
void TEp3Form::typeClick() { Run([this] { wb_.Ep3.typeClick(); }); }
void TEp3Form::Button2Click() { Run([this] { wb_.Ep3.Button2Click(); }); }
void TEp3Form::SNClick() { Run([this] { wb_.Ep3.SNClick(); }); }

}  // namespace quilla
