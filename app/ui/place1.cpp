#include "app/ui/place1.h"

#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include "app/ui/guard.h"
#include "app/workbench.h"

namespace quilla {

TPlace1* Place1 = nullptr;

namespace {
bool Begins(const std::string& s, const char* w) { return s.rfind(w, 0) == 0; }
}  // namespace

std::vector<PlaceShape> SocketDrawing(const std::string& model, int firstRow, int pinCount,
                                      int orientation, int halfWidth, int imageWidth) {
    std::vector<PlaceShape> s;
    const int h = halfWidth == 0 ? 10 : halfWidth;
    const int m = imageWidth / 2;
    const int n = pinCount / 2;
    int r = firstRow;
    // The vex520 and vex310 sockets face the other way.
    if (Begins(model, "vex520") || Begins(model, "vex310")) {
        r = 22 - r - n;
        orientation = ~orientation;
    }
    orientation &= 1;

    auto pads = [&](int y) {
        s.push_back({PlaceShape::Rect, m - 30, y, m - 10, y + 4, PlaceGreen, {}});
        s.push_back({PlaceShape::Rect, m + 10, y, m + 30, y + 4, PlaceGreen, {}});
    };
    int x, y;
    if (Begins(model, "vex640")) {
        for (int py : {18, 26, 34, 42}) pads(py);
        x = m - 40;
        y = 3;
    } else if (orientation == 0) {
        x = m - 40;
        y = 30;
    } else {
        x = m + 30;
        y = 210;
    }
    s.push_back({PlaceShape::Ellipse, x, y, x + 10, y + 10, PlaceGreen, {}});
    s.push_back({PlaceShape::Text, x + 15, y, x + 15, y, PlaceGreen, "(扳手)"});
    for (int k = 1; k <= 20; ++k) pads(50 + 8 * (k - 1));

    for (int k = r; k < r + n; ++k) {
        const int py = 50 + 8 * (k - 1);
        s.push_back({PlaceShape::Rect, m - h - 4, py, m - h, py + 4, PlaceBlack, {}});
        s.push_back({PlaceShape::Rect, m + h, py, m + h + 4, py + 4, PlaceBlack, {}});
    }
    const int t = 50 + 8 * (r - 1) - 2;
    const int b = t + 8 * n;
    s.push_back({PlaceShape::Rect, m - h, t, m + h, b, PlaceBlack, {}});
    if (orientation == 0) {
        s.push_back({PlaceShape::Ellipse, m - 4, t - 4, m + 4, t + 4, PlaceBlack, {}});
        s.push_back({PlaceShape::Text, 10, t - 4, 10, t - 4, PlaceBlack, "Pin 1"});
        for (int j = 0; j <= 4; ++j)
            s.push_back({PlaceShape::Line, m - 4, t - j, m + 4, t - j, PlaceWhite, {}});
    } else {
        s.push_back({PlaceShape::Ellipse, m - 4, b - 4, m + 4, b + 4, PlaceBlack, {}});
        s.push_back({PlaceShape::Text, m + 35, b - 10, m + 35, b - 10, PlaceBlack, "Pin 1"});
        for (int j = 0; j <= 4; ++j)
            s.push_back({PlaceShape::Line, m - 4, b + j, m + 4, b + j, PlaceWhite, {}});
    }
    return s;
}

TPlace1::TPlace1(Workbench& wb, QWidget* parent) : QDialog(parent), wb_(wb) {
    setObjectName("Place1");
    setWindowTitle(QString::fromUtf8("安放位置"));
    setModal(true);
    setFixedSize(175, 255);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(16, 8, PlaceImageWidth, PlaceImageHeight);
    Image1->installEventFilter(this);
    canvas_ = QImage(PlaceImageWidth, PlaceImageHeight, QImage::Format_RGB32);
    canvas_.fill(Qt::white);
    ShowCanvas();
    if (!Place1) Place1 = this;
}

void TPlace1::Paint(const std::vector<PlaceShape>& shapes) { PaintPlaceShapes(canvas_, shapes); }

void PaintPlaceShapes(QImage& canvas, const std::vector<PlaceShape>& shapes) {
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    QFont f = p.font();
    f.setPixelSize(11);
    p.setFont(f);
    for (const PlaceShape& s : shapes) {
        const QColor c(static_cast<QRgb>(s.color));
        p.setPen(c);
        p.setBrush(Qt::white);
        switch (s.kind) {
        case PlaceShape::Rect:
            p.drawRect(s.x1, s.y1, s.x2 - s.x1 - 1, s.y2 - s.y1 - 1);
            break;
        case PlaceShape::Ellipse:
            p.drawEllipse(s.x1, s.y1, s.x2 - s.x1 - 1, s.y2 - s.y1 - 1);
            break;
        case PlaceShape::Line:
            p.drawLine(s.x1, s.y1, s.x2 - 1, s.y2);
            break;
        case PlaceShape::Text:
            p.drawText(QRect(s.x1, s.y1, 200, 20), Qt::AlignLeft | Qt::AlignTop,
                       QString::fromStdString(s.text));
            break;
        }
    }
}

void TPlace1::ShowCanvas() { Image1->setPixmap(QPixmap::fromImage(canvas_)); }

void TPlace1::DrawSocket(int firstRow, int pinCount, int orientation, int halfWidth) {
    shapes_ = SocketDrawing(wb_.Ep3.ProgrammerModel, firstRow, pinCount, orientation, halfWidth,
                            Image1->width());
    Paint(shapes_);
    ShowCanvas();
}

const char* TPlace1::PictureFolder(const std::string& model) {
    return Begins(model, "vex310") || Begins(model, "vex520") ? "Place2/" : "Place/";
}

bool TPlace1::ShowPicture(const std::string& fileName) {
    const std::string path = wb_.ProgramDir + PictureFolder(wb_.Ep3.ProgrammerModel) + fileName;
    const QString qpath = QString::fromStdString(path);
    QImage pic;
    if (QFileInfo(qpath).isFile() && pic.load(qpath)) {
        QPainter p(&canvas_);
        p.drawImage(0, 0, pic);
        p.end();
        shapes_.clear();
        ShowCanvas();
        return true;
    }
    wb_.prompts.ShowMessage("Can not find " + path);
    return false;
}

void TPlace1::ShowPlacementBitmap(const std::string& file) {
    bool drawn = false;
    Guarded(wb_.prompts, [&] { drawn = ShowPicture(file); });
    if (drawn) exec();
}

int TPlace1::ShowPlacementDiagram(int firstRow, int pinCount, int orientation, int halfWidth) {
    Guarded(wb_.prompts, [&] { DrawSocket(firstRow, pinCount, orientation, halfWidth); });
    exec();
    // Closed by a click or by its close box: the cancel result, 2.
    return 2;
}

void TPlace1::mousePressEvent(QMouseEvent*) { FormMouseDown(); }

bool TPlace1::eventFilter(QObject* o, QEvent* e) {
    if (o == Image1 && e->type() == QEvent::MouseButtonPress) {
        Image1Click();
        return true;
    }
    return QDialog::eventFilter(o, e);
}

}  // namespace quilla
