#include "catalog/ui/typedlg_window.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/ui/guard.h"
#include "app/ui/mainform.h"
#include "app/workbench.h"

namespace quilla {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Puts `items` into a list widget when they differ, and selects `index`.
void SyncList(QListWidget* w, const ListControl& c) {
    bool same = w->count() == static_cast<int>(c.Items.size());
    for (int i = 0; same && i < w->count(); ++i)
        same = w->item(i)->text() == Q(c.Items[static_cast<std::size_t>(i)]);
    if (!same) {
        w->clear();
        for (const auto& s : c.Items) w->addItem(Q(s));
    }
    if (c.HasSelection()) {
        w->setCurrentRow(c.ItemIndex);
    } else {
        w->setCurrentRow(-1);
        w->clearSelection();
    }
}

void SyncCombo(QComboBox* w, const ListControl& c) {
    bool same = w->count() == static_cast<int>(c.Items.size());
    for (int i = 0; same && i < w->count(); ++i)
        same = w->itemText(i) == Q(c.Items[static_cast<std::size_t>(i)]);
    if (!same) {
        w->clear();
        for (const auto& s : c.Items) w->addItem(Q(s));
    }
    // A drop-down list shows its text only as one of its items.
    int index = c.HasSelection() ? c.ItemIndex : c.IndexOf(c.Text);
    w->setCurrentIndex(index);
}

}  // namespace

TypeDlgWindow::TypeDlgWindow(TTypeDlg& model, QWidget* parent) : QDialog(parent), m_(model) {
    setObjectName("TypeDlg");
    setWindowTitle(TTypeDlg::Caption);
    setModal(false);

    auto* top = new QHBoxLayout(this);

    RadioGroup1 = new QGroupBox("Type", this);
    RadioGroup1->setObjectName("RadioGroup1");
    auto* rg = new QVBoxLayout(RadioGroup1);
    radioButtons_ = new QButtonGroup(this);
    for (std::size_t i = 0; i < m_.RadioItems.size(); ++i) {
        auto* r = new QRadioButton(Q(m_.RadioItems[i]), RadioGroup1);
        r->setObjectName(QString("Radio%1").arg(i));
        radioButtons_->addButton(r, static_cast<int>(i));
        rg->addWidget(r);
        Radios.push_back(r);
    }
    rg->addStretch();
    top->addWidget(RadioGroup1);

    auto* mfrCol = new QVBoxLayout;
    Label1 = new QLabel(" MFG:     ", this);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName("ListBox1");
    mfrCol->addWidget(Label1);
    mfrCol->addWidget(ListBox1);
    top->addLayout(mfrCol);

    auto* devCol = new QVBoxLayout;
    Label2 = new QLabel("器件Type: ", this);
    ListBox2 = new QListWidget(this);
    ListBox2->setObjectName("ListBox2");
    ListBox2->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ListBox2->setMinimumWidth(260);
    devCol->addWidget(Label2);
    devCol->addWidget(ListBox2);
    auto* findRow = new QHBoxLayout;
    Label3 = new QLabel("Find:", this);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName("Edit2");
    findRow->addWidget(Label3);
    findRow->addWidget(Edit2);
    devCol->addLayout(findRow);
    top->addLayout(devCol);

    auto* btnCol = new QVBoxLayout;
    OKBtn = new QPushButton("OK   ", this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    MFR = new QPushButton(" Detect MFG ID  ", this);
    MFR->setObjectName("MFR");
    Edit1 = new QLineEdit(Q(m_.Edit1), this);
    Edit1->setObjectName("Edit1");
    btnCol->addWidget(OKBtn);
    btnCol->addStretch();
    btnCol->addWidget(MFR);
    btnCol->addWidget(Edit1);
    top->addLayout(btnCol);
    top->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog border

    connect(radioButtons_, &QButtonGroup::idClicked, this, [this](int id) {
        Handle([this, id] { m_.SelectCategory(id); });
    });
    connect(ListBox1, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        Handle([this, item] {
            m_.ListBox1.Select(ListBox1->row(item));
            m_.OnMouseUp();
        });
    });
    ListBox1->installEventFilter(this);
    connect(ListBox2, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!syncing_) m_.ListBox2.Select(row);
    });
    connect(ListBox2, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        Handle([this, item] {
            m_.ListBox2.Select(ListBox2->row(item));
            m_.OKBtnClick();
        });
    });
    connect(Edit2, &QLineEdit::textEdited, this, [this](const QString& text) {
        Handle([this, text] { m_.SetFindText(text.toStdString()); });
    });
    connect(OKBtn, &QPushButton::clicked, this, [this] { Handle([this] { m_.OKBtnClick(); }); });
    connect(MFR, &QPushButton::clicked, this, [this] { Handle([this] { m_.MFRClick(); }); });

    m_.View = this;
    Changed();
}

TypeDlgWindow::~TypeDlgWindow() {
    if (m_.View == this) m_.View = nullptr;
}

template <class F>
void TypeDlgWindow::Handle(F&& f) {
    if (syncing_) return;
    Guarded(m_.wb().prompts, std::forward<F>(f));
    Changed();
}

bool TypeDlgWindow::eventFilter(QObject* o, QEvent* e) {
    if (o == ListBox1 && e->type() == QEvent::KeyRelease) {
        Handle([this] {
            m_.ListBox1.Select(ListBox1->currentRow());
            m_.OnKeyUp();
        });
    }
    return QDialog::eventFilter(o, e);
}

void TypeDlgWindow::closeEvent(QCloseEvent* e) {
    m_.Visible = false;
    m_.FormClose();
    QDialog::closeEvent(e);
}

void TypeDlgWindow::ShowDialog() {
    show();
    raise();
    activateWindow();
}

void TypeDlgWindow::HideDialog() { hide(); }

void TypeDlgWindow::Changed() {
    if (syncing_) return;
    syncing_ = true;
    {
        const QSignalBlocker b1(radioButtons_), b2(ListBox1), b3(ListBox2), b4(Edit2);
        if (m_.RadioIndex >= 0 && m_.RadioIndex < static_cast<int>(Radios.size()))
            Radios[static_cast<std::size_t>(m_.RadioIndex)]->setChecked(true);
        SyncList(ListBox1, m_.ListBox1);
        SyncList(ListBox2, m_.ListBox2);
        if (Edit2->text() != Q(m_.Edit2)) Edit2->setText(Q(m_.Edit2));
        Edit1->setText(Q(m_.Edit1));
        SyncMain();
    }
    syncing_ = false;
    if (!m_.Visible && isVisible()) hide();
}

void TypeDlgWindow::SyncMain() {
    if (!main_) return;
    const QSignalBlocker b1(main_->ComboBox1), b2(main_->ComboBox2), b3(main_->ListBox1);
    SyncCombo(main_->ComboBox1, m_.Main.ComboBox1);
    SyncCombo(main_->ComboBox2, m_.Main.ComboBox2);
    SyncList(main_->ListBox1, m_.Main.ListBox1);
    if (!m_.Main.Label2.empty()) main_->Label2->setText(Q(m_.Main.Label2));
    if (!m_.Main.Label3.empty()) main_->Label3->setText(Q(m_.Main.Label3));
    main_->SetStatusPanel(2, m_.Main.StatusPanel2);
    main_->SetStatusPanel(3, m_.Main.StatusPanel3);
    main_->Label4->setText(Q(m_.wb().sel.AdapterLabel));
}

void TypeDlgWindow::AttachMainForm(TMainForm* main) {
    main_ = main;
    ShellHooks& h = main->Hooks;
    h.SelType = [this] {
        m_.Visible = true;
        ShowDialog();
        m_.FillMfrList();
        Changed();
    };
    h.TypeDlgDeviceIndex = [this] { return m_.ListBox2.ItemIndex; };
    h.OpenAlgorithmForm = [this] {
        m_.OpenAlgorithmForm();
        Changed();
    };
    h.TypeDlgCategoryIndex = [this] { return m_.RadioIndex; };
    h.MFRClick = [this] {
        m_.MFRClick();
        Changed();
    };
    h.LoadConfig = [this] {
        m_.LoadConfig();
        Changed();
    };
    h.SaveConfig = [this] { m_.SaveConfig(main_->windowTitle().toStdString()); };
    h.MirrorMfrChanged = [this](int i) { m_.ComboBox1Change(i); };
    h.MirrorCategoryChanged = [this](int i) { m_.ComboBox2Change(i); };
    h.MirrorDeviceChosen = [this](int i) {
        m_.Main.ListBox1.Select(i);
        m_.List1OnDbClick();
    };
    // The main window moves its device mirror itself (R/W out of step, clicks).
    connect(main->ListBox1, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!syncing_) m_.Main.ListBox1.Select(row);
    });
    Changed();
}

}  // namespace quilla
