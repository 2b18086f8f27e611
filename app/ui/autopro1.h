// The mass-production prompt: a small window with one read-only line that the
// engine shows while it waits for the next chip, updates and closes.
#pragma once

#include <QDialog>

class QLineEdit;

namespace quilla {

class TAutoPro1 : public QDialog {
    Q_OBJECT
public:
    explicit TAutoPro1(QWidget* parent = nullptr);
    QLineEdit* Edit1;
};

extern TAutoPro1* AutoPro1;

}  // namespace quilla
