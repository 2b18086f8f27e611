// Quilla's entry point.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle("Quilla Ver 1.12");
    w.resize(800, 600);
    w.show();
    return app.exec();
}
