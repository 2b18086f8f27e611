// The splash window shown while the start-up windows are created.
#pragma once

#include <QWidget>
#include <string>

class QLabel;

namespace quilla {

class TPicture1 : public QWidget {
    Q_OBJECT
public:
    // The product picture is ProgramDir + "splash.png" when present, else a
    // drawn one.
    explicit TPicture1(const std::string& programDir, QWidget* parent = nullptr);
    QLabel* Image1;
    QLabel* Label1;
};

}  // namespace quilla
