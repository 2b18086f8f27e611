#include "app/ui/fileformat.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

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

std::optional<std::string> RunFileDialog(QWidget* parent, const QString& caption, const QString& folder,
                                         const QString& filter, QFileDialog::AcceptMode mode) {
    QFileDialog dlg(parent, caption, folder, filter);
    dlg.setAcceptMode(mode);
    dlg.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    FitFileDialog(dlg);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return dlg.selectedFiles().first().toStdString();
}

class QtFileUi : public FileUi {
public:
    explicit QtFileUi(TFileFormat& dlg) : dlg_(dlg) {}
    std::optional<std::string> OpenFileName(const Workbench& wb) override {
        return RunFileDialog(
            dlg_.parentWidget(), "Open", StartFolder(wb),
            "*.* (*);;*.bin  binary     (*.bin);;*.hex  Intel hex      (*.hex);;*.jed  PLD            (*.jed)",
            QFileDialog::AcceptOpen);
    }
    std::optional<std::string> SaveFileName(const Workbench& wb) override {
        return RunFileDialog(dlg_.parentWidget(), "Save As", StartFolder(wb), QString(), QFileDialog::AcceptSave);
    }
    void ShowFormatDialog(FileFormatModel& model, Workbench& wb) override { dlg_.Execute(model, wb); }

private:
    TFileFormat& dlg_;
};

}  // namespace

void FitFileDialog(QFileDialog& dlg) {
    dlg.setViewMode(QFileDialog::Detail);
    auto* tree = dlg.findChild<QTreeView*>("treeView");
    if (!tree) return;  // the desktop's own dialog sizes itself
    // Name, Size, Type (a file type's description) and Date Modified at the
    // widths their usual contents take.
    const QFontMetrics fm = tree->fontMetrics();
    const int pad = fm.horizontalAdvance(QLatin1Char('x')) * 3;
    const QString date = QLocale().toString(QDateTime(QDate(2026, 12, 31), QTime(23, 59)), QLocale::ShortFormat);
    const int widths[4] = {fm.horizontalAdvance(QString(30, QLatin1Char('n'))),
                           fm.horizontalAdvance("1023.99 KiB") + pad,
                           fm.horizontalAdvance("plain text document") + pad,
                           fm.horizontalAdvance(date) + 2 * pad};
    QHeaderView* header = tree->header();
    int columns = 0;
    for (int i = 0; i < 4 && i < header->count(); ++i) {
        const int w = std::max(widths[i], header->sectionSizeHint(i));
        header->resizeSection(i, w);
        columns += w;
    }
    dlg.resize(std::max(dlg.sizeHint().width(), columns), std::max(dlg.sizeHint().height(), 440));
    // Once it is shown and laid out, widen it by what the columns still lack
    // (the side bar, margins and scroll bar take their share).
    QTimer::singleShot(0, &dlg, [&dlg, tree, columns] {
        const int lacking = columns + tree->verticalScrollBar()->sizeHint().width() - tree->viewport()->width();
        if (lacking <= 0) return;
        QSize size(dlg.width() + lacking, dlg.height());
        if (QScreen* screen = dlg.screen()) size = size.boundedTo(screen->availableGeometry().size());
        dlg.resize(size);
    });
}

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
