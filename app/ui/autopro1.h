// The mass-production prompt: a small window with one read-only line that the
// engine shows while it waits for the next chip, updates and closes. It stands
// in front of its owner, the main window (and so of every form in it).
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace quilla {

class TAutoPro1 : public QDialog {
    Q_OBJECT
public:
    explicit TAutoPro1(QWidget* parent = nullptr);
    QLineEdit* Edit1;
    // The caption again, above the line: a desktop without window decorations
    // shows no title bar, and the caption says when the run ends by itself.
    // Hidden while the caption is empty.
    QLabel* CaptionLabel;

    // Shows the prompt in front of its owner and paints it whole before it
    // returns (it runs the event loop, as each poll of the engine's wait does).
    void ShowInFront();
    // Hides the prompt and has what it covered painted again before it
    // returns: the work that follows runs no event loop.
    void HideAndRepaintBelow();

protected:
    void changeEvent(QEvent* e) override;
};

extern TAutoPro1* AutoPro1;

}  // namespace quilla
