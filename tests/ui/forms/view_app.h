// The one application object of the form view tests (offscreen).
#pragma once

#include <QApplication>

namespace quilla::test {

inline QApplication& ViewApp() {
    static int argc = 1;
    static char name[] = "test_ui_forms";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own statics go first at exit.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace quilla::test
