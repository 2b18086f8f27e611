// The one Qt view of every algorithm form: it renders the controls a headless
// form declared (buttons, boxes, radio groups, edits, combos, progress bars,
// labels, the status field, group boxes) and forwards what the user does to
// the form by control name. A new form needs no widget code.
#pragma once

#include <QMdiArea>
#include <QPointer>
#include <QWidget>
#include <map>
#include <string>

#include "algo/common/form.h"
#include "catalog/form.h"

class QMdiSubWindow;

namespace quilla {

class FormWidget : public QWidget, public FormView {
public:
    explicit FormWidget(AlgoForm& form, QWidget* parent = nullptr);
    ~FormWidget() override;

    AlgoForm& Form() const { return form_; }
    // The widget of a control (tests); null when it has none.
    QWidget* ControlWidget(const std::string& name) const;

    // FormView
    void Repaint(const FormControl& c) override;
    void CaptionChanged() override;
    void Shown() override;
    void Hidden() override;

private:
    QWidget* Build(FormControl& c);
    void Sync(const FormControl& c);

    AlgoForm& form_;
    std::map<std::string, QWidget*> widgets_;
    bool syncing_ = false;
};

// Shows the forms as MDI children: created on first use, raised afterwards;
// closing a child closes (hides) the form, which lives on.
class MdiFormHost : public FormHost {
public:
    // Activating a form's child window activates the form (AlgoForm::Activate).
    explicit MdiFormHost(QMdiArea* area);
    void ShowForm(AlgorithmForm& form) override;
    QMdiSubWindow* Window(const AlgorithmForm& form) const;

private:
    QPointer<QMdiArea> area_;
    std::map<const AlgorithmForm*, QPointer<QMdiSubWindow>> windows_;
};

}  // namespace quilla
