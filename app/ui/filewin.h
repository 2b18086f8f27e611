// The hex buffer window: a view of the buffer-window model (app/hexwin.h).
// It shows the page text with typed digits in red, the scroll bar and the
// cursor, checksum and start fields, and forwards keys, caret moves, the
// start field and the scroll bar to the model.
#pragma once

#include <QWidget>

class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QScrollBar;

namespace quilla {

struct Workbench;
struct HexWindowState;

class TFileWin : public QWidget {
    Q_OBJECT
public:
    explicit TFileWin(Workbench& wb, QWidget* parent = nullptr);

    // The model; null once the buffer window was freed.
    HexWindowState* Model() const;

    // Shows the model's state (after Display or a change by a handler).
    void Refresh();

    // Text positions: the model counts two characters per line break, the
    // editor one.
    static int ToModelPos(int editorPos);
    static int ToEditorPos(int modelPos);

    QPlainTextEdit* RichEdit1;
    QScrollBar* ScrollBar1;
    QLineEdit* Edit1;  // cursor
    QLineEdit* Edit2;  // checksum
    QLineEdit* Edit3;  // start
    QMenu* PopupMenu1;

    // Handlers.
    void OnSelectionChange();
    bool OnKeyPress(char key);
    void OnRichKeyDown(int qtKey);
    void Edit3Exit();
    void Edit3KeyD(int key);
    void ScrollBar1Change(int position);
    void ScrollBar1OnScroll(bool endScroll);

signals:
    void FillRequested();
    void ResizeRequested();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    template <class F> void Run(F&& f);
    Workbench& wb_;
    bool updating_ = false;
};

}  // namespace quilla
