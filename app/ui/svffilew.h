// The SVF window: the text of the loaded SVF file, one file line per text
// line, editable, with the caret's line number shown below it. The player
// reads the workbench's SvfFileW lines, which follow every edit here.
#pragma once

#include <QWidget>


class QLabel;
class QPlainTextEdit;

namespace quilla {

struct Workbench;

class TSvfFileW : public QWidget {
    Q_OBJECT
public:
    explicit TSvfFileW(Workbench& wb, QWidget* parent = nullptr);

    // Takes the caption and, after a new load, the text of the SVF window
    // state (and gives the text the focus).
    void Display();

    // "Line:" and the caret's line, on a click and on a key release.
    void RichEdit1MouseDown(int zeroBasedLine);
    void RichEdit1KeyUp();

    QPlainTextEdit* RichEdit1;
    QLabel* Panel1;


protected:
    bool eventFilter(QObject* obj, QEvent* ev) override;

private:
    void TextEdited();
    Workbench& wb_;
    unsigned shownLoads_ = ~0u;
    bool loading_ = false;
};

}  // namespace quilla
