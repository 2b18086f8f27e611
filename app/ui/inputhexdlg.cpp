#include "app/ui/inputhexdlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/workbench.h"

namespace quilla {

TInputHexDlg* InputHexDlg = nullptr;

TInputHexDlg::TInputHexDlg(Workbench& wb, QWidget* parent) : QDialog(parent), wb_(wb) {
    setObjectName("InputHexDlg");
    setWindowTitle("FillData");
    setModal(false);

    auto* frame = new QGroupBox(this);
    auto* grid = new QGridLayout(frame);
    grid->addWidget(new QLabel("(Address & data in hex   )", frame), 0, 0, 1, 2);
    StartLabel = new QLabel("Start at:", frame);
    EndLabel = new QLabel("End.Add :", frame);
    FillLabel = new QLabel("FillData:", frame);
    Edit1 = new QLineEdit(QString::fromStdString(model_.Edit1), frame);
    Edit2 = new QLineEdit(QString::fromStdString(model_.Edit2), frame);
    Edit3 = new QLineEdit(QString::fromStdString(model_.Edit3), frame);
    Edit1->setObjectName("Edit1");
    Edit2->setObjectName("Edit2");
    Edit3->setObjectName("Edit3");
    grid->addWidget(StartLabel, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(EndLabel, 2, 0);
    grid->addWidget(Edit2, 2, 1);
    grid->addWidget(FillLabel, 3, 0);
    grid->addWidget(Edit3, 3, 1);

    OKBtn = new QPushButton("  OK  ", this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);
    CancelBtn->setObjectName("CancelBtn");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
    // Escape (and the title bar's close) cancel.
    connect(this, &QDialog::rejected, this, [this] { model_.CancelBtnClick(); });
}

void TInputHexDlg::ShowMode(bool fill) {
    fill ? model_.FillClick() : model_.MaxAddrClick();
    for (QWidget* w : {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit3),
                       static_cast<QWidget*>(StartLabel), static_cast<QWidget*>(FillLabel)})
        w->setEnabled(fill);
    show();
    raise();
    activateWindow();
}

void TInputHexDlg::FillClick() { ShowMode(true); }

void TInputHexDlg::MaxAddrClick() { ShowMode(false); }

void TInputHexDlg::OKBtnClick() {
    model_.Edit1 = Edit1->text().toStdString();
    model_.Edit2 = Edit2->text().toStdString();
    model_.Edit3 = Edit3->text().toStdString();
    // The mode is what the "FillData:" label shows.
    model_.FillMode = FillLabel->isEnabled();
    if (model_.OKBtnClick(wb_)) hide();
}

void TInputHexDlg::CancelBtnClick() {
    model_.CancelBtnClick();
    hide();
}

}  // namespace quilla
