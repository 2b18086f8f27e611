// The fuse-map window: the fuse map of the image as numbered rows, typing of
// '0' and '1' over fuses, the cursor's fuse number and the fuse checksum.
// It shows the workbench's fuse window state (PldFileW) and forwards keys.
#pragma once

#include <QWidget>


class QLineEdit;
class QPlainTextEdit;
class QKeyEvent;

namespace quilla {

struct Workbench;
class TMainForm;
class TInputHexDlg;

class TPldFileW : public QWidget {
    Q_OBJECT
public:
    explicit TPldFileW(Workbench& wb, QWidget* parent = nullptr);

    // Redraws the rows from the image (caret to the first fuse), then the checksum.
    void Display();
    // Computes the checksum of the array rows and shows it in Edit2.
    void FuseChecksum();

    // Handlers of the rich edit.
    void OnSelectionChange();
    // A typed character; true when it was a fuse stored.
    bool OnKeyPress(QChar key);
    // Home and End, and Page Up / Page Down with Shift, redraw.
    void OnRichKeyDown(QKeyEvent* e);

    QPlainTextEdit* RichEdit1;
    QLineEdit* Edit1;  // fuse number under the caret
    QLineEdit* Edit2;  // fuse checksum

    int CursorAddress = 0;
    int CaretLine = 0;
    int CaretCol = 0;


protected:
    bool eventFilter(QObject* obj, QEvent* ev) override;

private:
    Workbench& wb_;
    bool drawn_ = false;
};

// Gives the main window its fuse-map and SVF windows: they are created as MDI
// children when the workbench's PldFileW / SvfFileW appear, freed when those
// go, and redrawn by every Display. With a fill dialog, the Edit menu's fill
// and resize commands show it.
void InstallDataWindows(TMainForm& mainForm, TInputHexDlg* fillDialog = nullptr);

}  // namespace quilla
