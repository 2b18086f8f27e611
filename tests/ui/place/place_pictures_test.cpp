// The placement pictures: every name a form or a form's table passes to the
// placement dialog is shipped in both folders the dialog reads, and the forms'
// device lines show them instead of "Can not find".
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/programdir.h"
#include "app/ui/place1.h"
#include "app/workbench.h"
#include "sim/chip.h"
#include "support/form_classes.h"
#include "support/scripted_prompts.h"
#include "support/sim_bench.h"
#include "tools/placement_pictures.h"

namespace quilla {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_ui_place";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

namespace fs = std::filesystem;

// Every "<name>.bmp" literal in the forms' sources and tables.
std::set<std::string> PictureNamesInTheForms() {
    const fs::path algo = fs::path(SourceDataDir()).parent_path().parent_path() / "algo";
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(algo)) {
        const std::string ext = e.path().extension().string();
        if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
        std::ifstream in(e.path());
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        // A string literal of name characters ending in ".bmp".
        for (std::size_t end = text.find(".bmp\""); end != std::string::npos; end = text.find(".bmp\"", end + 1)) {
            std::size_t begin = end;
            while (begin > 0 && (std::isalnum(static_cast<unsigned char>(text[begin - 1])) ||
                                 text[begin - 1] == '_' || text[begin - 1] == '.' || text[begin - 1] == '-'))
                --begin;
            if (begin > 0 && text[begin - 1] == '"' && begin < end) names.insert(text.substr(begin, end + 4 - begin));
        }
    }
    return names;
}

TEST(PlacementPictures, TheScanFindsTheFormsPictureNames) {
    const std::set<std::string> names = PictureNamesInTheForms();
    for (const char* n : {"p44.bmp", "p44b.bmp", "qfp44.bmp", "at90s8535dip48.bmp", "atiny26.bmp", "atiny12.bmp",
                          "16f630.bmp", "em78p153.bmp", "p89lpc93x.bmp", "87lpc762.bmp"})
        EXPECT_TRUE(names.count(n)) << n;
}

// Each name in Place/ and Place2/: a picture of the dialog's size that is
// not blank.
TEST(PlacementPictures, EveryNameIsShippedInBothFoldersAndLoads) {
    App();
    const std::set<std::string> names = PictureNamesInTheForms();
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names) {
        for (const char* folder : {"Place/", "Place2/"}) {
            const std::string path = SourceDataDir() + folder + name;
            SCOPED_TRACE(path);
            ASSERT_TRUE(fs::is_regular_file(path));
            QImage img;
            ASSERT_TRUE(img.load(QString::fromStdString(path)));
            EXPECT_EQ(img.size(), QSize(PlaceImageWidth, PlaceImageHeight));
            const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
            int dark = 0;
            for (int y = 0; y < rgb.height(); ++y)
                for (int x = 0; x < rgb.width(); ++x) dark += qGray(rgb.pixel(x, y)) < 128;
            EXPECT_GT(dark, 500);  // a socket and a part, not an empty page
        }
    }
}

// Records the pictures a form shows.
struct PictureNames : PlacementView {
    std::vector<std::string> shown;
    void ShowPlacementBitmap(const std::string& file) override { shown.push_back(file); }
    int ShowPlacementDiagram(int, int, int, int) override { return 2; }
};

const place::Picture* FindPicture(const std::string& file) {
    for (const place::Picture& p : place::Pictures())
        if (file == p.file) return &p;
    return nullptr;
}

// Every device line of every list, opened through its form: each picture it
// shows is drawn for its part (so its title speaks for that part too).
TEST(PlacementPictures, EveryLineShowingAPictureIsOneOfItsParts) {
    App();
    int shown = 0;
    for (const test::FormClass& c : test::EveryFormClass()) {
        for (const test::ClassLine& l : c.lines) {
            if (!l.fromList) continue;
            PictureNames view;
            test::SimBench b("", l.model);
            b.wb->sel.SelectedDevice = l.item;
            b.wb->sel.TypeText = l.mfr + ": " + l.item;
            b.wb->Ep3.Placement = &view;
            b.Open(l.params);
            b.wb->Ep3.Placement = nullptr;
            for (const std::string& file : view.shown) {
                ++shown;
                const place::Picture* pic = FindPicture(file);
                ASSERT_NE(pic, nullptr) << file << " for " << l.item;
                const bool listed = std::any_of(pic->parts.begin(), pic->parts.end(),
                                                [&](const char* p) { return l.part == p; });
                EXPECT_TRUE(listed) << l.file << " " << l.item << " shows " << file << " (\"" << pic->title << "\")";
            }
        }
    }
    EXPECT_GT(shown, 20);
}

// Each title names the package its parts share: "DIP<pins>" with the pin
// count of every part as the simulated programmer seats it, or the board's
// package; a name in front of it begins every part's name.
TEST(PlacementPictures, EachTitleNamesItsOwnPackage) {
    for (const place::Picture& pic : place::Pictures()) {
        SCOPED_TRACE(pic.file);
        const std::string title = pic.title;
        std::string package;
        if (pic.package == place::Package::Dip) {
            int pins = 0;
            for (const char* part : pic.parts) {
                const sim::SeatedPart seated = sim::ChipRegistry::Builtin().Create(part);
                ASSERT_TRUE(seated.chip) << part;
                if (!pins) pins = seated.placement.ChipPinCount();
                EXPECT_EQ(seated.placement.ChipPinCount(), pins) << part;
            }
            package = "DIP" + std::to_string(pins);
        } else {
            package = pic.package == place::Package::Plcc44 ? "PLCC44" : "TQFP44";
        }
        const std::size_t at = title.find(package);
        ASSERT_NE(at, std::string::npos) << "\"" << title << "\" does not name " << package;
        EXPECT_TRUE(at + package.size() == title.size() || title[at + package.size()] == ' ') << title;
        std::string family = title.substr(0, at);
        while (!family.empty() && family.back() == ' ') family.pop_back();
        if (!family.empty() && family.back() == 'x') family.pop_back();
        for (const char* part : pic.parts)
            EXPECT_TRUE(std::string(part).starts_with(family)) << "\"" << title << "\" over " << part;
    }
}

// A form set up for a device line shows its picture through the dialog, as
// the vex520 (Place2/) and the vex640 (Place/) read it.
struct LineCase {
    const char* name;
    const char* part;    // the simulated chip
    const char* params;  // the device line's parameter string
    const char* picture;  // the picture's name, or "drawing ROW PINS ORIENTATION HALFWIDTH"
};

class PictureOfALine : public ::testing::TestWithParam<std::tuple<LineCase, const char*>> {};

TEST_P(PictureOfALine, ShowsOurOwnPicture) {
    App();
    const auto& [c, model] = GetParam();
    test::SimBench b(c.part, model);
    TPlace1 dlg(*b.wb);
    struct View : PlacementView {
        TPlace1* dlg;
        std::vector<std::string> shown;
        std::vector<bool> drawn;
        void ShowPlacementBitmap(const std::string& file) override {
            shown.push_back(file);
            drawn.push_back(dlg->ShowPicture(file));  // what the dialog draws, without showing it
        }
        int ShowPlacementDiagram(int row, int pins, int orientation, int halfWidth) override {
            shown.push_back("drawing " + std::to_string(row) + " " + std::to_string(pins) + " " +
                            std::to_string(orientation) + " " + std::to_string(halfWidth));
            dlg->DrawSocket(row, pins, orientation, halfWidth);
            drawn.push_back(true);
            return 2;
        }
    } view;
    view.dlg = &dlg;
    b.wb->Ep3.Placement = &view;
    b.Open(c.params);
    b.wb->Ep3.Placement = nullptr;
    ASSERT_EQ(view.shown, std::vector<std::string>{c.picture});
    EXPECT_TRUE(view.drawn[0]);
    for (const auto& m : b.prompts.shown) EXPECT_EQ(m.text.find("Can not find"), std::string::npos) << m.text;
    if (std::string(c.picture).starts_with("drawing")) return;
    const QImage expected(QString::fromStdString(b.wb->ProgramDir + TPlace1::PictureFolder(model) + c.picture));
    EXPECT_EQ(dlg.Canvas(), expected.convertToFormat(dlg.Canvas().format()));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PictureOfALine,
    ::testing::Combine(::testing::Values(LineCase{"ATtiny26", "ATtiny26", "ATINY2 1 pkg=20", "atiny26.bmp"},
                                         LineCase{"PIC18F452P44", "PIC18F452*P44",
                                                  "P18FXX2 1 #20 04 fla=32768 ee=256 dly=1 eet=5 pkg=44",
                                                  "p44b.bmp"},
                                         // The P89LPC932 line's form draws the socket; the SPI
                                         // form of the same parts shows the picture.
                                         LineCase{"P89LPC932", "P89LPC932",
                                                  "P89LPC932 1 len=8192 sec=64 vcc=3300", "drawing 4 28 0 0"},
                                         LineCase{"P89LPCSPI28", "P89LPC932",
                                                  "P89LPCSPI 1 len=8192 sec=64 vcc=3300", "p89lpc93x.bmp"},
                                         LineCase{"P89LPCSPI20", "P89LPC922",
                                                  "P89LPCSPI 2 len=8192 sec=64 vcc=3300", "87lpc762.bmp"}),
                       ::testing::Values("vex520", "vex640")),
    [](const auto& info) { return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param); });

}  // namespace
}  // namespace quilla
