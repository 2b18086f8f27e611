// The one Qt view of every algorithm form: it renders the controls a headless
// form declared (buttons, boxes, radio groups, edits, combos, progress bars,
// labels, the status field, group boxes) and forwards what the user does to
// the form by control name. A new form needs no widget code.
//
// Layout, decided from the declared controls alone: the live lines (status
// field, address display, progress bars) sit in a foot that never scrolls;
// everything else keeps its declared order in the body, where a long group
// box spreads its controls over several columns and the body itself flows
// into columns of a bounded height. The body scrolls only when even that does
// not fit the window.
#pragma once

#include <QMdiArea>
#include <QPointer>
#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "algo/common/form.h"
#include "catalog/form.h"

class QGridLayout;
class QMdiSubWindow;
class QScrollArea;

namespace quilla {

class FormWidget : public QWidget, public FormView {
public:
    explicit FormWidget(AlgoForm& form, QWidget* parent = nullptr);
    ~FormWidget() override;

    AlgoForm& Form() const { return form_; }
    // The widget of a control (tests); null when it has none.
    QWidget* ControlWidget(const std::string& name) const;
    // The body's scroll area and the foot with the live lines.
    QScrollArea* Body() const { return body_; }
    QWidget* Foot() const { return foot_; }
    // Shows a control's widget: scrolls the body to it when it lies there.
    void ScrollTo(QWidget* w);
    // Lays the form out now, so its size hint holds what it shows.
    void Settle();

    // FormView
    void Repaint(const FormControl& c) override;
    void CaptionChanged() override;
    void Shown() override;
    void Hidden() override;

private:
    QWidget* Build(FormControl& c);
    void Sync(const FormControl& c);

    // ---- layout ----
    // One place in a column: a widget, with its caption label in front (edits).
    struct Cell {
        QWidget* label = nullptr;
        QWidget* field = nullptr;
    };
    bool IsLiveLine(const FormControl& c) const;
    Cell MakeCell(const FormControl& c, QWidget* w) const;
    void LayOut(const std::vector<Cell>& body, const std::vector<Cell>& foot);
    QWidget* LayOutGroup(const FormControl& g, const std::vector<Cell>& members);
    static void PutInColumn(QGridLayout* column, const Cell& cell);
    static int CellHeight(const Cell& cell);

    AlgoForm& form_;
    std::map<std::string, QWidget*> widgets_;
    QScrollArea* body_ = nullptr;
    QWidget* bodyContent_ = nullptr;
    QWidget* foot_ = nullptr;
    bool syncing_ = false;
};

// Shows the forms as MDI children: created on first use, raised afterwards;
// closing a child closes (hides) the form, which lives on.
class MdiFormHost : public FormHost {
public:
    // Activating a form's child window activates the form (AlgoForm::Activate).
    explicit MdiFormHost(QMdiArea* area);
    ~MdiFormHost() override;
    MdiFormHost(const MdiFormHost&) = delete;
    MdiFormHost& operator=(const MdiFormHost&) = delete;
    void ShowForm(AlgorithmForm& form) override;
    QMdiSubWindow* Window(const AlgorithmForm& form) const;
    // Sizes a form's window to show the whole form where the area allows,
    // and never larger than the area (the body scrolls then), inside it.
    // Fit::Grow only enlarges a window that shows less than the whole form
    // (a size the user gave it stays when it is large enough).
    enum class Fit { Exact, Grow };
    void FitToArea(QMdiSubWindow* win, Fit fit = Fit::Exact) const;

private:
    QPointer<QMdiArea> area_;
    std::map<const AlgorithmForm*, QPointer<QMdiSubWindow>> windows_;
    QPointer<QObject> watch_;
    std::vector<QPointer<QObject>> layoutWatches_;
};

}  // namespace quilla
