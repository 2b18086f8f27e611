// The engine's status window "Status  ": diagnostic buttons whose output goes
// to Edit4. The buttons run the engine's own handlers.
#pragma once

#include <QDialog>

#include "engine/ep3.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quilla {

struct Workbench;

class TEp3Form : public QDialog, public StatusView {
    Q_OBJECT
public:
    explicit TEp3Form(Workbench& wb, QWidget* parent = nullptr);
    ~TEp3Form() override;

    QLabel* Label1;
    QPushButton* Button1;  // "OS Info.   "
    QLineEdit* Edit4;
    QPushButton* type;     // "Programmer"
    QPushButton* Button2;  // "Test USB Load  "
    QPushButton* SN;       // "序列码"

    void Edit4Changed(const std::string& text) override;

    void Button1Click();
    void typeClick();
    void Button2Click();
    void SNClick();

private:
    template <class F> void Run(F&& f);
    Workbench& wb_;
};

}  // namespace quilla
