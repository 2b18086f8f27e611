// Draws the placement pictures the forms show (data/Place and data/Place2):
// the programmer's socket, drawn as the placement dialog draws it, with the
// part or its adapter board seated where the simulated programmer seats it.
//
//   placement_pictures DATA_DIR      writes DATA_DIR/Place/*.bmp and DATA_DIR/Place2/*.bmp
//   placement_pictures --list        prints where each picture's parts sit
//   placement_pictures --sheet DATA_DIR OUT.png
//                                    puts every picture of both folders side by side
//
// scripts/make-placement-pictures.sh builds and runs it over the source tree's data/.
//
// The socket has 24 rows: the four rows of pins 41-48 above the 40-pin area
// (rows 1-20: pins 1-20 down the left, 21-40 up the right). Place/ is the
// socket as the vex420 and vex640 present it (lever and pin 1 at the top
// left); Place2/ as the vex310 and vex520 present it, turned round (lever at
// the bottom right), as the dialog's own drawing turns it for those models.
#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/ui/place1.h"
#include "sim/chip.h"
#include "tools/placement_pictures.h"

using namespace quilla;

namespace {

using place::Package;
using place::Picture;
using place::Pictures;

// Socket row of a socket pin (rows -3..0 are the pins 41-48 above the 40-pin
// area) and its side (0 left, 1 right).
void RowOf(int pin, int& row, int& side) {
    if (pin <= 20) row = pin, side = 0;
    else if (pin <= 40) row = 41 - pin, side = 1;
    else if (pin <= 44) row = pin - 44, side = 0;
    else row = 45 - pin, side = 1;
}

// A part seated as a DIP: its first row, pin count and orientation (1: turned
// round, pin 1 at the bottom right). False when the seat is not a plain DIP.
bool DipSeat(const sim::Placement& pl, int& firstRow, int& pins, int& orientation) {
    const int n = pl.ChipPinCount();
    if (n < 2 || n % 2) return false;
    for (orientation = 0; orientation < 2; ++orientation) {
        int r1, s1;
        RowOf(pl.SocketPinOf(1), r1, s1);
        if (pl.SocketPinOf(1) == 0 || s1 != orientation) continue;
        firstRow = orientation == 0 ? r1 : r1 - n / 2 + 1;
        bool ok = true;
        for (int k = 1; k <= n && ok; ++k) {
            const int p = pl.SocketPinOf(k);
            int r, s;
            RowOf(p, r, s);
            // Orientation 0: pins 1..n/2 down the left, the rest up the right;
            // turned: pins 1..n/2 up the right, the rest down the left.
            const bool first = k <= n / 2;
            const int wantSide = first ? orientation : 1 - orientation;
            const int wantRow = orientation == 0 ? (first ? firstRow + k - 1 : firstRow + n - k)
                                                 : (first ? firstRow + n / 2 - k : firstRow + k - n / 2 - 1);
            ok = p != 0 && s == wantSide && r == wantRow;
        }
        if (ok) {
            pins = n;
            return true;
        }
    }
    return false;
}

// The rows a board's parts reach.
void BoardRows(const Picture& pic, int& top, int& bottom) {
    top = 99, bottom = -99;
    for (const char* part : pic.parts) {
        const sim::SeatedPart seated = sim::ChipRegistry::Builtin().Create(part);
        for (int k = 1; k <= seated.placement.ChipPinCount(); ++k) {
            const int p = seated.placement.SocketPinOf(k);
            if (!p) continue;
            int r, s;
            RowOf(p, r, s);
            top = std::min(top, r);
            bottom = std::max(bottom, r);
        }
    }
}

constexpr int W = PlaceImageWidth, H = PlaceImageHeight, M = W / 2;
int RowY(int row) { return 50 + 8 * (row - 1); }

// An adapter board over rows top..bottom, drawn as the dialog draws a wide
// chip (its plug's pin 1 at the top left, notched), with its 44-pin package
// on it, the package's pin 1 marked.
std::vector<PlaceShape> Board(const Picture& pic, int top, int bottom) {
    std::vector<PlaceShape> s = SocketDrawing("vex640", top, 2 * (bottom - top + 1), 0, 30);
    const int t = RowY(top) - 2, b = RowY(bottom) + 6;
    for (PlaceShape& p : s)  // "Pin 1" beside the board's top, clear of the lever mark
        if (p.kind == PlaceShape::Text && p.text == "Pin 1") p.x1 = p.x2 = 4, p.y1 = p.y2 = t + 4;
    // The package, 11 pins a side, centred on the board.
    const int c = (t + b) / 2 - 6, h = 18;
    s.push_back({PlaceShape::Rect, M - h, c - h, M + h, c + h, PlaceBlack, {}});
    for (int i = 0; i < 11; ++i) {
        const int o = -15 + 3 * i;
        s.push_back({PlaceShape::Line, M + o, c - h - 3, M + o + 2, c - h - 3, PlaceBlack, {}});
        s.push_back({PlaceShape::Line, M + o, c + h + 2, M + o + 2, c + h + 2, PlaceBlack, {}});
        s.push_back({PlaceShape::Line, M - h - 3, c + o, M - h - 1, c + o, PlaceBlack, {}});
        s.push_back({PlaceShape::Line, M + h + 1, c + o, M + h + 3, c + o, PlaceBlack, {}});
    }
    if (pic.package == Package::Plcc44) {
        // PLCC: pin 1 in the middle of the top edge.
        s.push_back({PlaceShape::Ellipse, M - 3, c - h + 3, M + 3, c - h + 9, PlaceBlack, {}});
        s.push_back({PlaceShape::Text, M - 3, c - h + 9, 0, 0, PlaceBlack, "1"});
    } else {
        // QFP: pin 1 at the top of the left edge, its dot in that corner.
        s.push_back({PlaceShape::Ellipse, M - h + 3, c - h + 3, M - h + 9, c - h + 9, PlaceBlack, {}});
        s.push_back({PlaceShape::Text, M - h + 3, c - h + 9, 0, 0, PlaceBlack, "1"});
    }
    s.push_back({PlaceShape::Text, M - 19, c + h + 5, 0, 0, PlaceBlack,
                 pic.package == Package::Plcc44 ? "PLCC44" : "TQFP44"});
    // The lever mark last, so that a board reaching the top row leaves it readable.
    std::stable_partition(s.begin(), s.end(), [](const PlaceShape& p) { return p.color != PlaceGreen || p.kind == PlaceShape::Rect; });
    return s;
}

// The picture's strokes for the Place/ folder, or nothing when a part is unknown.
bool Strokes(const Picture& pic, std::vector<PlaceShape>& s, std::string& why) {
    if (pic.package == Package::Dip) {
        // Every part the picture is shown for sits where the first one does.
        int row = 0, pins = 0, orientation = 0;
        for (const char* part : pic.parts) {
            const sim::SeatedPart seated = sim::ChipRegistry::Builtin().Create(part);
            if (!seated.chip) return why = std::string("no simulated part ") + part, false;
            int r = 0, n = 0, o = 0;
            if (!DipSeat(seated.placement, r, n, o)) return why = std::string(part) + " does not sit as a DIP", false;
            if (part != pic.parts.front() && (r != row || n != pins || o != orientation))
                return why = std::string(part) + " sits elsewhere than " + pic.parts.front(), false;
            row = r, pins = n, orientation = o;
        }
        s = SocketDrawing("vex640", row, pins, orientation, 0);
    } else {
        int top, bottom;
        BoardRows(pic, top, bottom);
        if (top > bottom) return why = std::string("no simulated part ") + pic.parts.front(), false;
        s = Board(pic, top, bottom);
    }
    return true;
}

// The same strokes turned round (texts stay upright, at the turned place).
std::vector<PlaceShape> Turned(std::vector<PlaceShape> s, const QFontMetrics& fm) {
    for (PlaceShape& p : s) {
        if (p.kind == PlaceShape::Text) {
            const int w = fm.horizontalAdvance(QString::fromStdString(p.text));
            p.x1 = W - p.x1 - w;
            p.y1 = H - p.y1 - fm.height();
            p.x2 = p.x1, p.y2 = p.y1;
        } else if (p.kind == PlaceShape::Line) {  // lines are horizontal: x1 .. x2 - 1 on row y1
            const int x1 = W - p.x2, x2 = W - p.x1;
            p.x1 = x1, p.x2 = x2;
            p.y1 = p.y2 = H - 1 - p.y1;
        } else {  // x1 .. x2 - 1, y1 .. y2 - 1
            const int x1 = W - p.x2, y1 = H - p.y2, x2 = W - p.x1, y2 = H - p.y1;
            p.x1 = x1, p.y1 = y1, p.x2 = x2, p.y2 = y2;
        }
    }
    return s;
}

QImage Draw(const std::vector<PlaceShape>& strokes, const std::string& title, bool turned) {
    QImage img(W, H, QImage::Format_RGB32);
    PaintPlaceShapes(img, strokes);
    QPainter p(&img);
    QFont f = p.font();
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(Qt::black);
    // The title: under the socket, or above it when the socket is turned round.
    const QRect r = turned ? QRect(0, 1, W, 14) : QRect(0, H - 16, W, 14);
    p.drawText(r, Qt::AlignHCenter | Qt::AlignVCenter, QString::fromStdString(title));
    return img;
}

}  // namespace

// Every picture as its file holds it, Place/ above Place2/, twice the size.
int Sheet(const QString& data, const QString& out) {
    const int n = static_cast<int>(Pictures().size());
    QImage sheet(n * (W + 4), 2 * (H + 4), QImage::Format_RGB32);
    sheet.fill(Qt::gray);
    QPainter p(&sheet);
    for (int i = 0; i < n; ++i)
        for (int row = 0; row < 2; ++row)
            p.drawImage(i * (W + 4) + 2, row * (H + 4) + 2,
                        QImage(data + (row ? "/Place2/" : "/Place/") + Pictures()[static_cast<std::size_t>(i)].file));
    p.end();
    return sheet.scaled(sheet.size() * 2).save(out) ? 0 : 1;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 4 && std::string(argv[1]) == "--sheet") return Sheet(argv[2], argv[3]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: placement_pictures DATA_DIR | --list | --sheet DATA_DIR OUT.png\n");
        return 2;
    }
    const std::string arg = argv[1];
    QFont font = QApplication::font();
    font.setPixelSize(11);
    const QFontMetrics fm(font);
    int failed = 0;
    for (const Picture& pic : Pictures()) {
        std::vector<PlaceShape> s;
        std::string why;
        if (!Strokes(pic, s, why)) {
            std::fprintf(stderr, "placement_pictures: %s: %s\n", pic.file, why.c_str());
            ++failed;
            continue;
        }
        if (arg == "--list") {
            std::printf("%-20s %s:", pic.file, pic.title);
            for (const char* part : pic.parts) {
                const sim::SeatedPart seated = sim::ChipRegistry::Builtin().Create(part);
                std::printf(" %s [%s]", part, seated.placement.name.c_str());
            }
            std::printf("\n");
            continue;
        }
        for (const bool turned : {false, true}) {
            const QString dir = QString::fromStdString(arg) + (turned ? "/Place2" : "/Place");
            QDir().mkpath(dir);
            // Eight bits a pixel: a few colours, a third of the size.
            const QImage img = Draw(turned ? Turned(s, fm) : s, pic.title, turned)
                                   .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
            if (!img.save(dir + "/" + pic.file, "BMP")) {
                std::fprintf(stderr, "placement_pictures: cannot write %s/%s\n", qPrintable(dir), pic.file);
                ++failed;
            }
        }
    }
    return failed ? 1 : 0;
}
