#include "algo/ui/formview.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QHeaderView>
#include <QVBoxLayout>

namespace quilla {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// An edit that reports Enter as a key to the form and leaving as an exit.
class FormEdit : public QLineEdit {
public:
    FormEdit(AlgoForm& f, std::string name) : form_(f), name_(std::move(name)) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            form_.SetText(name_, text().toStdString());
            form_.KeyDown(name_, 13);
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
    void focusOutEvent(QFocusEvent* e) override {
        QLineEdit::focusOutEvent(e);
        if (!isReadOnly()) {
            form_.SetText(name_, text().toStdString());
            form_.Leave(name_);
        }
    }

private:
    AlgoForm& form_;
    std::string name_;
};

// Closing the MDI child closes (hides) the form.
class FormSubWindow : public QMdiSubWindow {
public:
    explicit FormSubWindow(AlgoForm* form) : form_(form) {}
    void Activated() {
        if (form_ && form_->IsShown()) form_->Activate();
    }

protected:
    void closeEvent(QCloseEvent* e) override {
        if (form_ && form_->IsShown()) {
            e->ignore();
            form_->Close();
            return;
        }
        e->ignore();
        hide();
    }

private:
    AlgoForm* form_;
};

}  // namespace

FormWidget::FormWidget(AlgoForm& form, QWidget* parent) : QWidget(parent), form_(form) {
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    top->addLayout(grid);
    std::map<std::string, QGridLayout*> groups;
    int row = 0;
    for (auto& c : form_.Controls()) {
        if (c->Kind == ControlKind::Group) {
            auto* box = new QGroupBox(Q(c->Caption));
            auto* g = new QGridLayout(box);
            groups[c->Name] = g;
            widgets_[c->Name] = box;
            grid->addWidget(box, row++, 0, 1, 2);
            continue;
        }
        QWidget* w = Build(*c);
        if (!w) continue;
        widgets_[c->Name] = w;
        QGridLayout* into = grid;
        int* r = &row;
        int groupRow = 0;
        if (!c->Group.empty() && groups.count(c->Group)) {
            into = groups[c->Group];
            groupRow = into->rowCount();
            r = &groupRow;
        }
        if (c->Kind == ControlKind::Edit && !c->Caption.empty()) {
            into->addWidget(new QLabel(Q(c->Caption)), *r, 0);
            into->addWidget(w, (*r)++, 1);
        } else {
            into->addWidget(w, (*r)++, 0, 1, 2);
        }
        Sync(*c);
    }
    setWindowTitle(Q(form_.Caption()));
    form_.SetView(this);
}

FormWidget::~FormWidget() {
    if (form_.View() == this) form_.SetView(nullptr);
}

QWidget* FormWidget::Build(FormControl& c) {
    const std::string name = c.Name;
    switch (c.Kind) {
        case ControlKind::Button: {
            auto* b = new QPushButton(Q(c.Caption));
            connect(b, &QPushButton::clicked, this, [this, name] { form_.Click(name); });
            return b;
        }
        case ControlKind::Check: {
            auto* b = new QCheckBox(Q(c.Caption));
            connect(b, &QCheckBox::toggled, this, [this, name](bool on) {
                if (!syncing_) form_.SetChecked(name, on);
            });
            return b;
        }
        case ControlKind::Radio: {
            auto* box = new QGroupBox(Q(c.Caption));
            auto* l = new QHBoxLayout(box);
            auto* group = new QButtonGroup(box);
            for (std::size_t i = 0; i < c.Items.size(); ++i) {
                auto* rb = new QRadioButton(Q(c.Items[i]));
                group->addButton(rb, static_cast<int>(i));
                l->addWidget(rb);
            }
            connect(group, &QButtonGroup::idClicked, this, [this, name](int id) {
                if (!syncing_) form_.Choose(name, id);
            });
            return box;
        }
        case ControlKind::Combo: {
            auto* cb = new QComboBox;
            for (auto& it : c.Items) cb->addItem(Q(it));
            connect(cb, &QComboBox::activated, this, [this, name](int i) {
                if (!syncing_) form_.Choose(name, i);
            });
            return cb;
        }
        case ControlKind::Edit:
        case ControlKind::Status: {
            auto* e = new FormEdit(form_, name);
            if (c.Emphasis) e->setStyleSheet("color: red");
            return e;
        }
        case ControlKind::Progress: {
            auto* p = new QProgressBar;
            p->setTextVisible(false);
            return p;
        }
        case ControlKind::Label:
            return new QLabel(Q(c.Caption));
        case ControlKind::Text: {
            auto* t = new QPlainTextEdit;
            t->setReadOnly(true);
            return t;
        }
        case ControlKind::ListBox: {
            auto* box = new QWidget;
            auto* l = new QVBoxLayout(box);
            l->setContentsMargins(0, 0, 0, 0);
            if (!c.Caption.empty()) l->addWidget(new QLabel(Q(c.Caption)));
            auto* list = new QListWidget;
            l->addWidget(list);
            connect(list, &QListWidget::itemClicked, this, [this, name, list](QListWidgetItem* item) {
                if (!syncing_) form_.Choose(name, list->row(item));
            });
            return box;
        }
        case ControlKind::Grid: {
            auto* t = new QTableWidget(static_cast<int>(c.Items.size()), 2);
            t->horizontalHeader()->hide();
            t->verticalHeader()->hide();
            t->setEditTriggers(QAbstractItemView::NoEditTriggers);
            for (std::size_t i = 0; i < c.RowNames.size(); ++i)
                t->setItem(static_cast<int>(i), 0, new QTableWidgetItem(Q(c.RowNames[i])));
            connect(t, &QTableWidget::cellClicked, this, [this, name](int row, int column) {
                if (!syncing_ && column == 1) form_.ClickCell(name, row);
            });
            return t;
        }
        case ControlKind::Group:
            return nullptr;
    }
    return nullptr;
}

void FormWidget::Sync(const FormControl& c) {
    auto it = widgets_.find(c.Name);
    if (it == widgets_.end()) return;
    QWidget* w = it->second;
    syncing_ = true;
    w->setVisible(c.Visible);
    w->setEnabled(c.Enabled);
    switch (c.Kind) {
        case ControlKind::Button:
        case ControlKind::Label:
            if (auto* b = qobject_cast<QPushButton*>(w)) b->setText(Q(c.Caption));
            if (auto* l = qobject_cast<QLabel*>(w)) l->setText(Q(c.Caption));
            break;
        case ControlKind::Check:
            static_cast<QCheckBox*>(w)->setText(Q(c.Caption));
            static_cast<QCheckBox*>(w)->setChecked(c.Checked);
            break;
        case ControlKind::Radio: {
            const auto buttons = w->findChildren<QRadioButton*>();
            for (int i = 0; i < buttons.size(); ++i) buttons[i]->setChecked(i == c.ItemIndex);
            break;
        }
        case ControlKind::Combo:
            static_cast<QComboBox*>(w)->setCurrentIndex(c.ItemIndex);
            break;
        case ControlKind::Edit:
        case ControlKind::Status: {
            auto* e = static_cast<QLineEdit*>(w);
            e->setReadOnly(c.ReadOnly);
            if (e->text() != Q(c.Text)) e->setText(Q(c.Text));
            break;
        }
        case ControlKind::Progress: {
            auto* p = static_cast<QProgressBar*>(w);
            p->setRange(c.Min, c.Max > c.Min ? c.Max : c.Min + 1);
            p->setValue(c.Position);
            break;
        }
        case ControlKind::Text: {
            auto* t = static_cast<QPlainTextEdit*>(w);
            QString all;
            for (std::size_t i = 0; i < c.Items.size(); ++i) {
                if (i) all += '\n';
                all += Q(c.Items[i]);
            }
            if (t->toPlainText() != all) t->setPlainText(all);
            break;
        }
        case ControlKind::ListBox: {
            auto* list = w->findChild<QListWidget*>();
            if (!list) break;
            bool same = list->count() == static_cast<int>(c.Items.size());
            for (int i = 0; same && i < list->count(); ++i) same = list->item(i)->text() == Q(c.Items[static_cast<std::size_t>(i)]);
            if (!same) {
                list->clear();
                for (auto& it : c.Items) list->addItem(Q(it));
            }
            list->setCurrentRow(c.ItemIndex);
            break;
        }
        case ControlKind::Grid: {
            auto* t = static_cast<QTableWidget*>(w);
            for (std::size_t i = 0; i < c.Items.size(); ++i) {
                QTableWidgetItem* item = t->item(static_cast<int>(i), 1);
                if (!item) t->setItem(static_cast<int>(i), 1, item = new QTableWidgetItem);
                item->setText(Q(c.Items[i]));
            }
            break;
        }
        case ControlKind::Group:
            break;
    }
    syncing_ = false;
}

QWidget* FormWidget::ControlWidget(const std::string& name) const {
    auto it = widgets_.find(name);
    return it == widgets_.end() ? nullptr : it->second;
}

void FormWidget::Repaint(const FormControl& c) {
    Sync(c);
    // Operations run to their end inside a handler: paint this control now.
    if (QWidget* w = ControlWidget(c.Name)) w->repaint();
}

void FormWidget::CaptionChanged() {
    setWindowTitle(Q(form_.Caption()));
    if (parentWidget()) parentWidget()->setWindowTitle(Q(form_.Caption()));
}

void FormWidget::Shown() {
    QWidget* top = parentWidget() ? parentWidget() : this;
    top->show();
    top->raise();
}

void FormWidget::Hidden() {
    QWidget* top = parentWidget() ? parentWidget() : this;
    top->hide();
}

MdiFormHost::MdiFormHost(QMdiArea* area) : area_(area) {
    if (!area) return;
    QObject::connect(area, &QMdiArea::subWindowActivated, area, [](QMdiSubWindow* win) {
        if (auto* sub = dynamic_cast<FormSubWindow*>(win)) sub->Activated();
    });
}

void MdiFormHost::ShowForm(AlgorithmForm& form) {
    auto* f = dynamic_cast<AlgoForm*>(&form);
    if (!f || !area_) return;
    QPointer<QMdiSubWindow>& win = windows_[&form];
    if (!win) {
        auto* sub = new FormSubWindow(f);
        auto* w = new FormWidget(*f);
        sub->setWidget(w);
        sub->setAttribute(Qt::WA_DeleteOnClose, false);
        sub->setWindowTitle(Q(f->Caption()));
        area_->addSubWindow(sub);
        win = sub;
    }
    win->show();
    win->raise();
    area_->setActiveSubWindow(win);
}

QMdiSubWindow* MdiFormHost::Window(const AlgorithmForm& form) const {
    auto it = windows_.find(&form);
    return it == windows_.end() ? nullptr : it->second.data();
}

}  // namespace quilla
