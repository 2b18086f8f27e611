// The Qt view of the selection dialog "Select Type  ": it renders the
// headless TTypeDlg and the main window's hidden mirrors, and forwards what
// the user does to the dialog's handlers.
#pragma once

#include <QDialog>
#include <vector>

#include "catalog/typedlg.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace quilla {

class TMainForm;

class TypeDlgWindow : public QDialog, public TypeDlgView {
public:
    explicit TypeDlgWindow(TTypeDlg& model, QWidget* parent = nullptr);
    ~TypeDlgWindow() override;

    TTypeDlg& Model() const { return m_; }

    // Fills the main window's hooks (Select Type, R/W, Auto detect type, Before,
    // close, the hidden mirrors) with this dialog, and keeps its mirrors, type
    // line, device-list line, status panels and adapter line in step.
    void AttachMainForm(TMainForm* main);

    // TypeDlgView
    void Changed() override;
    void ShowDialog() override;
    void HideDialog() override;

    QGroupBox* RadioGroup1;
    std::vector<QRadioButton*> Radios;
    QLabel* Label1;
    QListWidget* ListBox1;  // manufacturers
    QLabel* Label2;
    QListWidget* ListBox2;  // devices
    QLabel* Label3;
    QLineEdit* Edit2;       // Find
    QPushButton* OKBtn;
    QPushButton* MFR;
    QLineEdit* Edit1;       // Detect MFG ID result

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    template <class F>
    void Handle(F&& f);
    void SyncMain();

    TTypeDlg& m_;
    QButtonGroup* radioButtons_;
    TMainForm* main_ = nullptr;
    bool syncing_ = false;
};

}  // namespace quilla
