// The format dialog "Format  ": the format of the file being loaded or saved,
// the buffer start and end, and for binary loads the byte-split load mode.
// A thin view of FileFormatModel; the loaders and writers are headless.
#pragma once

#include <QDialog>

#include "app/fileops.h"

class QButtonGroup;
class QFileDialog;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quilla {

struct Workbench;

// The open and save dialogs in their detail view, wide enough to show the
// Size, Type and Date columns beside a long name.
void FitFileDialog(QFileDialog& dlg);

class TFileFormat : public QDialog {
    Q_OBJECT
public:
    explicit TFileFormat(QWidget* parent = nullptr);

    // What the dialog shows and keeps between uses.
    FileFormatModel Model;
    // The JEDEC and SVF handlers (empty: the program's own).
    OtherFormats Other;

    // The main window's "Load" and "Save": the platform's file dialogs, this
    // dialog, then the handler of the chosen format.
    void LoadFileClick(Workbench& wb);
    void SaveBufClick(Workbench& wb);

    // Shows `model` modal. OK stores LoadStart; Cancel and Escape choose no
    // format (the command is abandoned); closing by the title bar keeps the
    // chosen format and leaves LoadStart alone.
    void Execute(FileFormatModel& model, Workbench& wb);

    // Handlers.
    void OnRadioClick(int index);
    void OnClick2(int index);
    void OKBtnClick();
    void CancelBtnClick();

    QGroupBox* RadioGroup1;          // "Format  "
    QButtonGroup* FormatButtons;
    QRadioButton* FormatItem[5];
    QGroupBox* LoadMode;             // RadioGroup2
    QButtonGroup* LoadModeButtons;
    QRadioButton* LoadModeItem[8];
    QLineEdit* Edit1;                // "Buffer start at:(Hex)   "
    QLineEdit* Edit2;                // "缓冲区End.Add (hex     )"
    QPushButton* OKBtn;              // "  OK  "
    QPushButton* CancelBtn;          // "Cancl"

protected:
    void reject() override;
    void closeEvent(QCloseEvent* e) override;

private:
    void Show(const FileFormatModel& m);
    void Enable(const FileFormatModel& m);
    void TakeFields();

    FileFormatModel* cur_ = nullptr;
    Workbench* wb_ = nullptr;
    bool closingByTitleBar_ = false;
};

// The program's format dialog (created at start), null until then.
extern TFileFormat* FileFormat;

}  // namespace quilla
