// The find and replace dialogs of the main window: downward search only; the
// case, direction and whole-word options are shown disabled.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace quilla {

class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent = nullptr);
    QLineEdit* FindText;
    QPushButton* FindNext;
signals:
    void Find();
};

class TReplaceDialog : public QDialog {
    Q_OBJECT
public:
    explicit TReplaceDialog(QWidget* parent = nullptr);
    QLineEdit* FindText;
    QLineEdit* ReplaceText;
    QPushButton* FindNext;
    QPushButton* Replace;
    QPushButton* ReplaceAll;
signals:
    void Find();
    void DoReplace();
};

}  // namespace quilla
