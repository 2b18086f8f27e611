// The fill and resize dialog ("FillData"), shown non-modally: the fill
// command enables the start and value fields, the resize command disables
// them; OK applies the fields to the image and the buffer window's end.
#pragma once

#include <QDialog>

#include "app/fill.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quilla {

struct Workbench;

class TInputHexDlg : public QDialog {
    Q_OBJECT
public:
    explicit TInputHexDlg(Workbench& wb, QWidget* parent = nullptr);

    // "FillData" and "Resize buffer": prepare the fields and show the dialog.
    void FillClick();
    void MaxAddrClick();

    void OKBtnClick();
    void CancelBtnClick();

    QLineEdit* Edit1;  // "Start at:"
    QLineEdit* Edit2;  // "End.Add :"
    QLineEdit* Edit3;  // "FillData:"
    QLabel* StartLabel;
    QLabel* EndLabel;
    QLabel* FillLabel;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    InputHexModel& Model() { return model_; }

private:
    void ShowMode(bool fill);
    Workbench& wb_;
    InputHexModel model_;
};

// The dialog of the program (created at start), null until then.
extern TInputHexDlg* InputHexDlg;

}  // namespace quilla
