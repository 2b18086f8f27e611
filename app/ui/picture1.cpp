#include "app/ui/picture1.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <algorithm>

namespace quilla {
namespace {

// A programmer with its ZIF socket and lever, for want of a photograph.
QPixmap DrawnPicture(int w, int h) {
    QPixmap pm(w, h);
    pm.fill(QColor(0xC0, 0xC0, 0xC0));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(30, 70, 140));
    p.drawRoundedRect(20, 10, w - 40, h - 20, 8, 8);
    p.setBrush(QColor(235, 235, 225));
    p.drawRect(w / 2 - 35, 22, 70, h - 44);
    p.setPen(QColor(90, 90, 90));
    for (int k = 0; k < 20; ++k) {
        const int y = 28 + k * (h - 56) / 20;
        p.drawRect(w / 2 - 28, y, 12, 2);
        p.drawRect(w / 2 + 16, y, 12, 2);
    }
    p.setPen(QPen(QColor(20, 20, 20), 4));
    p.drawLine(w / 2 - 45, 22, w / 2 - 45, h - 30);
    p.setBrush(Qt::red);
    p.setPen(Qt::NoPen);
    p.drawEllipse(w - 45, 18, 8, 8);
    return pm;
}

}  // namespace

TPicture1::TPicture1(const std::string& programDir, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("Picture1");
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(pal);
    setAutoFillBackground(true);

    Label1 = new QLabel("init  USB port, please wait 3-10 seconds...", this);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignCenter);
    // 247 x 169, wider when the label's text needs it (it is never cut).
    const int width = std::max(247, Label1->sizeHint().width() + 8);
    setFixedSize(width, 169);
    Label1->setGeometry(4, 142, width - 8, 20);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry((width - 231) / 2, 6, 231, 130);
    const QString file = QString::fromStdString(programDir + "splash.png");
    QPixmap pm;
    if (QFileInfo(file).isFile() && pm.load(file))
        Image1->setPixmap(pm.scaled(Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    else
        Image1->setPixmap(DrawnPicture(Image1->width(), Image1->height()));

    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

}  // namespace quilla
