// The placement dialog "安放位置": shows where the chip goes in the ZIF socket,
// as a drawing of the socket and the chip or as a picture file. The engine
// fills it and shows it modal; any click closes it.
#pragma once

#include <QDialog>
#include <QImage>
#include <string>
#include <vector>

#include "engine/ep3.h"

class QLabel;

namespace quilla {

struct Workbench;

// One stroke of the socket drawing, in pixels of the picture (x right, y
// down). Rectangles and ellipses span (x1, y1)-(x2, y2), outlined with the pen
// and filled white; a text starts at (x1, y1).
struct PlaceShape {
    enum Kind { Rect, Ellipse, Line, Text } kind;
    int x1, y1, x2, y2;
    unsigned color;  // 0xRRGGBB
    std::string text;
};

inline constexpr unsigned PlaceGreen = 0x008000;
inline constexpr unsigned PlaceBlack = 0x000000;
inline constexpr unsigned PlaceWhite = 0xFFFFFF;
inline constexpr int PlaceImageWidth = 145;
inline constexpr int PlaceImageHeight = 233;

// The drawing of the socket with the chip for the programmer `model`.
// halfWidth 0 means 10. Socket rows are numbered 1..20.
std::vector<PlaceShape> SocketDrawing(const std::string& model, int firstRow, int pinCount,
                                      int orientation, int halfWidth,
                                      int imageWidth = PlaceImageWidth);

// Paints `shapes` on `canvas` (filled white first), as the dialog shows them.
void PaintPlaceShapes(QImage& canvas, const std::vector<PlaceShape>& shapes);

class TPlace1 : public QDialog, public PlacementView {
    Q_OBJECT
public:
    explicit TPlace1(Workbench& wb, QWidget* parent = nullptr);

    // Draws the socket and the chip on the picture (the dialog is not shown).
    void DrawSocket(int firstRow, int pinCount, int orientation, int halfWidth);
    // Draws a picture file from Place/ (Place2/ on vex310 and vex520); a
    // missing file gives "Can not find " + path and leaves the picture as it
    // was. True when the picture was drawn.
    bool ShowPicture(const std::string& fileName);
    // The folder ShowPicture reads for the programmer `model` ("Place/" or "Place2/").
    static const char* PictureFolder(const std::string& model);

    // PlacementView: fill, then show modal. A picture that cannot be drawn
    // shows only its message: no dialog without a picture stays over the form.
    void ShowPlacementBitmap(const std::string& file) override;
    int ShowPlacementDiagram(int firstRow, int pinCount, int orientation, int halfWidth) override;

    const QImage& Canvas() const { return canvas_; }
    const std::vector<PlaceShape>& LastDrawing() const { return shapes_; }

    void FormMouseDown() { accept(); }
    void Image1Click() { accept(); }

protected:
    void mousePressEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void Paint(const std::vector<PlaceShape>& shapes);
    void ShowCanvas();

    Workbench& wb_;
    QLabel* Image1;
    QImage canvas_;
    std::vector<PlaceShape> shapes_;
};

extern TPlace1* Place1;

}  // namespace quilla
