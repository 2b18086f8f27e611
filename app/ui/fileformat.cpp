#include "app/ui/fileformat.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/binfile.h"
#include "app/workbench.h"

namespace quilla {

TFileFormat* FileFormat = nullptr;

namespace {

// Open and save dialogs start in the folder of the current data file, else
// in the user's home folder.
QString StartFolder(const Workbench& wb) {
    QFileInfo info(QString::fromStdString(wb.DataFileName));
    if (info.isAbsolute() && info.dir().exists()) return info.dir().path();
    return QDir::homePath();
}

class QtFileUi : public FileUi {
public:
    explicit QtFileUi(TFileFormat& dlg) : dlg_(dlg) {}
    std::optional<std::string> OpenFileName(const Workbench& wb) override {
        QString name = QFileDialog::getOpenFileName(
            dlg_.parentWidget(), "Open", StartFolder(wb),
            "*.* (*);;*.bin  binary     (*.bin);;*.hex  Intel hex      (*.hex);;*.jed  PLD            (*.jed)");
        if (name.isEmpty()) return std::nullopt;
        return name.toStdString();
    }
    std::optional<std::string> SaveFileName(const Workbench& wb) override {
        QString name = QFileDialog::getSaveFileName(dlg_.parentWidget(), "Save As", StartFolder(wb));
        if (name.isEmpty()) return std::nullopt;
        return name.toStdString();
    }
    void ShowFormatDialog(FileFormatModel& model, Workbench& wb) override { dlg_.Execute(model, wb); }

private:
    TFileFormat& dlg_;
};

}  // namespace

TFileFormat::TFileFormat(QWidget* parent) : QDialog(parent) {
    setObjectName("FileFormat");
    setWindowTitle(QString::fromStdString(Model.Caption));
    setModal(true);

    RadioGroup1 = new QGroupBox("Format  ", this);
    RadioGroup1->setObjectName("RadioGroup1");
    FormatButtons = new QButtonGroup(this);
    auto* formats = new QVBoxLayout(RadioGroup1);
    for (int i = 0; i < FormatCount; ++i) {
        FormatItem[i] = new QRadioButton(FormatItems[i], RadioGroup1);
        FormatItem[i]->setObjectName(QString("FormatItem%1").arg(i));
        FormatButtons->addButton(FormatItem[i], i);
        formats->addWidget(FormatItem[i]);
    }

    LoadMode = new QGroupBox(this);
    LoadMode->setObjectName("LoadMode");
    LoadModeButtons = new QButtonGroup(this);
    auto* modes = new QGridLayout(LoadMode);
    for (int i = 0; i < LoadModeCount; ++i) {
        LoadModeItem[i] = new QRadioButton(LoadModes[i].Item, LoadMode);
        LoadModeItem[i]->setObjectName(QString("LoadModeItem%1").arg(i));
        LoadModeButtons->addButton(LoadModeItem[i], i);
        modes->addWidget(LoadModeItem[i], i / 2, i % 2);  // two columns
    }

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName("Edit2");
    auto* range = new QGridLayout;
    range->addWidget(new QLabel("Buffer start at:(Hex)   ", this), 0, 0);
    range->addWidget(Edit1, 0, 1);
    range->addWidget(new QLabel("缓冲区End.Add (hex     )", this), 1, 0);
    range->addWidget(Edit2, 1, 1);

    OKBtn = new QPushButton("  OK  ", this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancl", this);
    CancelBtn->setObjectName("CancelBtn");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto* top = new QHBoxLayout;
    top->addWidget(RadioGroup1);
    top->addWidget(LoadMode);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(range);
    layout->addLayout(buttons);

    connect(FormatButtons, &QButtonGroup::idClicked, this, [this](int id) { OnRadioClick(id); });
    connect(LoadModeButtons, &QButtonGroup::idClicked, this, [this](int id) { OnClick2(id); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
    Show(Model);
}

void TFileFormat::LoadFileClick(Workbench& wb) {
    QtFileUi ui(*this);
    quilla::LoadFileClick(wb, Model, ui, Other);
}

void TFileFormat::SaveBufClick(Workbench& wb) {
    QtFileUi ui(*this);
    quilla::SaveBufClick(wb, Model, ui, Other);
}

void TFileFormat::Show(const FileFormatModel& m) {
    setWindowTitle(QString::fromStdString(m.Caption));
    FormatButtons->setExclusive(false);
    for (int i = 0; i < FormatCount; ++i) FormatItem[i]->setChecked(i == m.Format);
    FormatButtons->setExclusive(true);
    LoadModeButtons->setExclusive(false);
    for (int i = 0; i < LoadModeCount; ++i) LoadModeItem[i]->setChecked(i == m.LoadMode);
    LoadModeButtons->setExclusive(true);
    Edit1->setText(QString::fromStdString(m.Edit1));
    Edit2->setText(QString::fromStdString(m.Edit2));
    Enable(m);
}

void TFileFormat::Enable(const FileFormatModel& m) {
    Edit1->setEnabled(m.RangeEnabled);
    Edit2->setEnabled(m.RangeEnabled);
    LoadMode->setEnabled(m.LoadModeEnabled);
}

void TFileFormat::TakeFields() {
    if (!cur_) return;
    cur_->Edit1 = Edit1->text().toStdString();
    cur_->Edit2 = Edit2->text().toStdString();
}

void TFileFormat::Execute(FileFormatModel& model, Workbench& wb) {
    cur_ = &model;
    wb_ = &wb;
    Show(model);
    exec();
    TakeFields();
    cur_ = nullptr;
    wb_ = nullptr;
}

void TFileFormat::OnRadioClick(int index) {
    FileFormatModel& m = cur_ ? *cur_ : Model;
    m.OnRadioClick(index);
    Enable(m);
}

void TFileFormat::OnClick2(int index) {
    FileFormatModel& m = cur_ ? *cur_ : Model;
    m.OnClick2(index);
}

void TFileFormat::OKBtnClick() {
    TakeFields();
    if (cur_ && wb_) cur_->OKBtnClick(*wb_);
    accept();
}

void TFileFormat::CancelBtnClick() {
    FileFormatModel& m = cur_ ? *cur_ : Model;
    m.CancelBtnClick();
    FormatButtons->setExclusive(false);
    for (QRadioButton* b : FormatItem) b->setChecked(false);
    FormatButtons->setExclusive(true);
    QDialog::reject();
}

// Escape lands here; so does the title bar's close, which must not cancel.
void TFileFormat::reject() {
    if (closingByTitleBar_) {
        QDialog::reject();
        return;
    }
    CancelBtnClick();
}

void TFileFormat::closeEvent(QCloseEvent* e) {
    closingByTitleBar_ = true;
    QDialog::closeEvent(e);
    closingByTitleBar_ = false;
}

}  // namespace quilla
