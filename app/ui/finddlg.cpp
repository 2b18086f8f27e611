#include "app/ui/finddlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quilla {
namespace {

// The options the dialogs show but do not offer.
QWidget* DisabledOptions(QWidget* parent, bool direction) {
    auto* box = new QWidget(parent);
    auto* lay = new QHBoxLayout(box);
    lay->setContentsMargins(0, 0, 0, 0);
    auto* whole = new QCheckBox("Match &whole word only", box);
    auto* cs = new QCheckBox("Match &case", box);
    whole->setEnabled(false);
    cs->setEnabled(false);
    auto* col = new QVBoxLayout;
    col->addWidget(whole);
    col->addWidget(cs);
    lay->addLayout(col);
    if (direction) {
        auto* dir = new QGroupBox("Direction", box);
        auto* up = new QRadioButton("&Up", dir);
        auto* down = new QRadioButton("&Down", dir);
        down->setChecked(true);
        auto* dl = new QHBoxLayout(dir);
        dl->addWidget(up);
        dl->addWidget(down);
        dir->setEnabled(false);
        lay->addWidget(dir);
    }
    return box;
}

}  // namespace

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("FindDialog1");
    setWindowTitle("Find");
    setModal(false);
    FindText = new QLineEdit(this);
    FindText->setObjectName("FindText");
    FindNext = new QPushButton("&Find Next", this);
    FindNext->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Fi&nd what:", this), 0, 0);
    grid->addWidget(FindText, 0, 1);
    grid->addWidget(FindNext, 0, 2);
    grid->addWidget(DisabledOptions(this, true), 1, 0, 1, 2);
    grid->addWidget(cancel, 1, 2);
    connect(FindNext, &QPushButton::clicked, this, &TFindDialog::Find);
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

TReplaceDialog::TReplaceDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("ReplaceDialog1");
    setWindowTitle("Replace");
    setModal(false);
    FindText = new QLineEdit(this);
    FindText->setObjectName("FindText");
    ReplaceText = new QLineEdit(this);
    ReplaceText->setObjectName("ReplaceText");
    FindNext = new QPushButton("&Find Next", this);
    FindNext->setDefault(true);
    Replace = new QPushButton("&Replace", this);
    ReplaceAll = new QPushButton("Replace &All", this);
    auto* cancel = new QPushButton("Cancel", this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Fi&nd what:", this), 0, 0);
    grid->addWidget(FindText, 0, 1);
    grid->addWidget(FindNext, 0, 2);
    grid->addWidget(new QLabel("Re&place with:", this), 1, 0);
    grid->addWidget(ReplaceText, 1, 1);
    grid->addWidget(Replace, 1, 2);
    grid->addWidget(DisabledOptions(this, false), 2, 0, 2, 2);
    grid->addWidget(ReplaceAll, 2, 2);
    grid->addWidget(cancel, 3, 2);
    connect(FindNext, &QPushButton::clicked, this, &TReplaceDialog::Find);
    // One replacement per press, for both buttons.
    connect(Replace, &QPushButton::clicked, this, &TReplaceDialog::DoReplace);
    connect(ReplaceAll, &QPushButton::clicked, this, &TReplaceDialog::DoReplace);
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

}  // namespace quilla
