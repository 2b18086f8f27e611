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
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "app/ui/mdiplace.h"

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

// A column of the body holds about this many text lines before the next
// column starts; with the foot and the window's frame it fits a 768-pixel
// screen under the main window's menus, tool bar and panels.
constexpr int kColumnLines = 22;
// A group box with more controls than this spreads them over columns.
constexpr int kGroupRows = 8;
// A radio group with more items than this sets them out in rows.
constexpr int kRadioRow = 4;

// Runs a function whenever the watched widget changes its size.
class ResizeWatch : public QObject {
public:
    ResizeWatch(QWidget* watched, std::function<void()> f) : QObject(watched), f_(std::move(f)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Resize) f_();
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> f_;
};

// Runs a function once the watched widget's layout asked to be redone (its
// content changed what it needs), after the pending events, once per burst.
class LayoutWatch : public QObject {
public:
    LayoutWatch(QWidget* watched, std::function<void()> f) : QObject(watched), f_(std::move(f)) {
        timer_.setSingleShot(true);
        timer_.setInterval(0);
        connect(&timer_, &QTimer::timeout, this, [this] { f_(); });
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::LayoutRequest && !timer_.isActive()) timer_.start();
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> f_;
    QTimer timer_;
};

// The body's scroll area asks for the room of its whole content; it scrolls
// only when the window cannot give that.
class BodyArea : public QScrollArea {
public:
    QSize sizeHint() const override {
        if (!widget()) return QScrollArea::sizeHint();
        const int f = 2 * frameWidth();
        return widget()->sizeHint() + QSize(f, f);
    }

protected:
    // A change inside the content changes what the area asks for.
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == widget() && e->type() == QEvent::LayoutRequest) updateGeometry();
        return QScrollArea::eventFilter(o, e);
    }
};

}  // namespace

FormWidget::FormWidget(AlgoForm& form, QWidget* parent) : QWidget(parent), form_(form) {
    std::map<std::string, const FormControl*> groups;
    for (auto& c : form_.Controls())
        if (c->Kind == ControlKind::Group) groups[c->Name] = c.get();
    // Declared order: each group box stands where it was declared, with every
    // control that names it.
    std::vector<const FormControl*> order;
    std::map<std::string, std::vector<Cell>> members;
    std::vector<Cell> foot;
    for (auto& c : form_.Controls()) {
        if (c->Kind == ControlKind::Group) {
            order.push_back(c.get());
            continue;
        }
        QWidget* w = Build(*c);
        if (!w) continue;
        widgets_[c->Name] = w;
        const Cell cell = MakeCell(*c, w);
        if (IsLiveLine(*c))
            foot.push_back(cell);
        else if (groups.count(c->Group))
            members[c->Group].push_back(cell);
        else
            order.push_back(c.get());
    }
    std::vector<Cell> body;
    for (const FormControl* c : order) {
        if (c->Kind != ControlKind::Group) {
            body.push_back(MakeCell(*c, widgets_[c->Name]));
            continue;
        }
        QWidget* box = LayOutGroup(*c, members[c->Name]);
        widgets_[c->Name] = box;
        body.push_back({nullptr, box});
    }
    LayOut(body, foot);
    for (auto& c : form_.Controls()) Sync(*c);
    setWindowTitle(Q(form_.Caption()));
    form_.SetView(this);
}

// ---- layout ------------------------------------------------------------------------------

bool FormWidget::IsLiveLine(const FormControl& c) const {
    // A form without a status field shows its results in its text views.
    const bool textIsStatus = c.Kind == ControlKind::Text && !form_.Has(form_.StatusName());
    return c.Kind == ControlKind::Status || c.Kind == ControlKind::Progress || c.Emphasis ||
           c.Name == form_.StatusName() || textIsStatus;
}

FormWidget::Cell FormWidget::MakeCell(const FormControl& c, QWidget* w) const {
    if (c.Kind == ControlKind::Edit && !c.Caption.empty()) return {new QLabel(Q(c.Caption)), w};
    return {nullptr, w};
}

void FormWidget::PutInColumn(QGridLayout* column, const Cell& cell) {
    const int row = column->rowCount();
    if (cell.label) {
        column->addWidget(cell.label, row, 0);
        column->addWidget(cell.field, row, 1);
    } else {
        column->addWidget(cell.field, row, 0, 1, 2);
    }
}

int FormWidget::CellHeight(const Cell& cell) {
    const int h = cell.field->sizeHint().height();
    return cell.label ? std::max(h, cell.label->sizeHint().height()) : h;
}

QWidget* FormWidget::LayOutGroup(const FormControl& g, const std::vector<Cell>& members) {
    auto* box = new QGroupBox(Q(g.Caption));
    auto* row = new QHBoxLayout(box);
    const std::size_t n = members.size();
    const std::size_t columns = n == 0 ? 1 : (n + kGroupRows - 1) / kGroupRows;
    const std::size_t perColumn = n == 0 ? 0 : (n + columns - 1) / columns;
    // Down the first column, then the next, so the declared order reads on.
    for (std::size_t first = 0; first < n || first == 0; first += perColumn) {
        auto* column = new QGridLayout;
        row->addLayout(column);
        for (std::size_t i = first; i < std::min(n, first + perColumn); ++i) PutInColumn(column, members[i]);
        column->setRowStretch(column->rowCount(), 1);
        if (perColumn == 0) break;
    }
    return box;
}

void FormWidget::LayOut(const std::vector<Cell>& body, const std::vector<Cell>& foot) {
    auto* top = new QVBoxLayout(this);

    bodyContent_ = new QWidget;
    auto* columns = new QHBoxLayout(bodyContent_);
    columns->setContentsMargins(0, 0, 0, 0);
    const int budget = kColumnLines * fontMetrics().height();
    QGridLayout* column = nullptr;
    int used = 0;
    for (const Cell& cell : body) {
        const int h = CellHeight(cell);
        if (!column || (used > 0 && used + h > budget)) {
            if (column) column->setRowStretch(column->rowCount(), 1);
            column = new QGridLayout;
            columns->addLayout(column);
            used = 0;
        }
        PutInColumn(column, cell);
        used += h + column->verticalSpacing();
    }
    if (column) column->setRowStretch(column->rowCount(), 1);

    body_ = new BodyArea;
    body_->setFrameShape(QFrame::NoFrame);
    body_->setWidgetResizable(true);
    body_->setWidget(bodyContent_);
    top->addWidget(body_, 1);

    foot_ = new QWidget;
    auto* lines = new QGridLayout(foot_);
    lines->setContentsMargins(0, 0, 0, 0);
    for (const Cell& cell : foot) PutInColumn(lines, cell);
    top->addWidget(foot_);
}

void FormWidget::Settle() {
    if (!body_) return;
    bodyContent_->layout()->activate();
    body_->updateGeometry();
    layout()->activate();
}

void FormWidget::ScrollTo(QWidget* w) {
    if (!w || !body_ || !bodyContent_->isAncestorOf(w)) return;
    // The whole widget (the area's own way shows an edit's cursor only).
    const QRect r(w->mapTo(bodyContent_, QPoint(0, 0)), w->size());
    const QSize port = body_->viewport()->size();
    auto show = [](QScrollBar* bar, int first, int length, int room) {
        const int at = bar->value();
        if (first < at || length > room) bar->setValue(first);
        else if (first + length > at + room) bar->setValue(first + length - room);
    };
    show(body_->horizontalScrollBar(), r.x(), r.width(), port.width());
    show(body_->verticalScrollBar(), r.y(), r.height(), port.height());
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
            auto* l = new QGridLayout(box);
            auto* group = new QButtonGroup(box);
            // One row; a long list in rows of about the same length.
            const int n = static_cast<int>(c.Items.size());
            const int rows = (n + kRadioRow - 1) / kRadioRow;
            const int perRow = rows > 1 ? (n + rows - 1) / rows : n;
            for (int i = 0; i < n; ++i) {
                auto* rb = new QRadioButton(Q(c.Items[static_cast<std::size_t>(i)]));
                group->addButton(rb, i);
                l->addWidget(rb, i / perRow, i % perRow);
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
            // Every row where the body's column has room; a longer grid scrolls itself.
            t->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
            t->setMaximumHeight(kColumnLines * fontMetrics().height());
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
            // A field the user cannot scroll by typing shows its whole text.
            if (c.ReadOnly && c.Kind == ControlKind::Edit) {
                const int need = e->fontMetrics().horizontalAdvance(e->text()) + 4 * e->fontMetrics().averageCharWidth();
                if (need > e->minimumWidth()) e->setMinimumWidth(need);
            }
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
    // A form opened before the main window took its size fits again when it does.
    watch_ = new ResizeWatch(area->viewport(), [this] {
        for (auto& [form, win] : windows_)
            if (win && win->isVisible()) FitToArea(win);
    });
}

MdiFormHost::~MdiFormHost() {
    // The views may outlive the host (the area owns them): they stop calling it.
    delete watch_.data();
    for (const QPointer<QObject>& w : layoutWatches_) delete w.data();
}

void MdiFormHost::FitToArea(QMdiSubWindow* win, Fit fit) const {
    if (!win || !area_ || win->isMaximized() || win->isMinimized()) return;
    const QSize room = area_->viewport()->size();
    if (room.isEmpty()) return;
    if (auto* form = dynamic_cast<FormWidget*>(win->widget())) form->Settle();
    // Where the body must scroll one way, its scroll bar takes room the other way.
    const QSize hint = win->sizeHint();
    const int bar = win->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, win);
    QSize size = hint;
    if (hint.height() > room.height()) size.rwidth() += bar;
    if (hint.width() > room.width()) size.rheight() += bar;
    if (fit == Fit::Grow) {
        if (win->width() >= size.width() && win->height() >= size.height()) return;
        size = size.expandedTo(win->size());
    }
    size = size.boundedTo(room);
    win->resize(size);
    KeepInside(win, room);
}

void MdiFormHost::ShowForm(AlgorithmForm& form) {
    auto* f = dynamic_cast<AlgoForm*>(&form);
    if (!f || !area_) return;
    QPointer<QMdiSubWindow>& win = windows_[&form];
    bool first = false;
    if (!win) {
        auto* sub = new FormSubWindow(f);
        auto* w = new FormWidget(*f);
        sub->setWidget(w);
        sub->setAttribute(Qt::WA_DeleteOnClose, false);
        sub->setWindowTitle(Q(f->Caption()));
        area_->addSubWindow(sub);
        // Whatever the form changes after this (the device's setup sets its
        // captions and boxes, also after a modal placement picture has run
        // the event loop), a form that needs more room gets it.
        layoutWatches_.emplace_back(new LayoutWatch(w, [this, s = QPointer<QMdiSubWindow>(sub)] {
            if (s && s->isVisible()) FitToArea(s, Fit::Grow);
        }));
        win = sub;
        first = true;
    }
    win->show();
    // A new form starts at the top right, beside the buffer window at the top left.
    if (first) win->move(std::max(0, area_->viewport()->width() - win->width()), 0);
    // After the area placed it, and again once the form's setup for the
    // device (which runs after this) has settled its captions and boxes.
    FitToArea(win);
    QTimer::singleShot(0, win, [this, w = QPointer<QMdiSubWindow>(win)] { FitToArea(w); });
    win->raise();
    area_->setActiveSubWindow(win);
}

QMdiSubWindow* MdiFormHost::Window(const AlgorithmForm& form) const {
    auto it = windows_.find(&form);
    return it == windows_.end() ? nullptr : it->second.data();
}

}  // namespace quilla
