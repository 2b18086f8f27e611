// Every registered form in the main window on a 1280x800 screen, offscreen,
// opened as the program opens it (the modal placement picture, closed by a
// click, runs the event loop while the device's setup is under way; the
// fuse-map window comes and goes as in the program): the form's window shows
// the whole form without a scroll bar, each control shows its whole caption,
// and the status, address and progress lines are visible. The long forms'
// batches run to their success text through the view.
//
// With QUILLA_FORM_SHOTS=DIR set, the test also writes one picture of the
// main window per form class into DIR (scripts/screenshot.sh --forms).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "algo/pic/pic_images.h"
#include "algo/ui/formview.h"
#include "ui/forms/view_app.h"
#include "app/ui/filewin.h"
#include "app/ui/mainform.h"
#include "app/svf.h"
#include "app/ui/place1.h"
#include "app/ui/pldfilew.h"
#include "sim/chips/avr.h"
#include "support/form_classes.h"
#include "support/sim_bench.h"

namespace quilla::test {

// Failures name the form class.
void PrintTo(const FormClass& c, std::ostream* os) { *os << c.className; }

namespace {

// The program's placement dialog, modal, closed by the user's click as soon
// as it is up.
struct ClickedPlacement : TPlace1 {
    using TPlace1::TPlace1;
    int exec() override {
        ++shown;
        QTimer::singleShot(0, this, [this] { Image1Click(); });
        return TPlace1::exec();
    }
    int shown = 0;
};

// A simulated programmer with the line's chip seated where one is modelled,
// the main window at a given size with the buffer window open, its fuse-map
// window and placement dialog as in the program, and the forms shown as its
// MDI children.
struct ScreenBench : SimBench {
    ScreenBench(const ClassLine& line, QSize screen) : SimBench("", line.model) {
        if (!line.part.empty()) sim->SeatPart(line.part);  // an unmodelled part leaves the socket empty
        wb->sel.SelectedDevice = line.item;
        wb->sel.TypeText = line.mfr + ": " + line.item;
        main = std::make_unique<TMainForm>(*wb);
        InstallDataWindows(*main);
        host = std::make_unique<MdiFormHost>(main->MdiArea);
        dlg->Dispatch().Host = host.get();
        place = std::make_unique<ClickedPlacement>(*wb, main.get());
        wb->Ep3.Placement = place.get();
        main->setGeometry(QRect(QPoint(0, 0), screen));
        main->show();
        main->FileNew();
    }
    ~ScreenBench() override {
        wb->Ep3.Placement = nullptr;
        place.reset();
        dlg->Dispatch().Host = nullptr;
        host.reset();
        main.reset();
    }
    FormWidget& View(AlgoForm& f) {
        auto* w = dynamic_cast<FormWidget*>(host->Window(f)->widget());
        if (!w) throw std::runtime_error("no view");
        return *w;
    }
    QWidget* Area() const { return main->MdiArea->viewport(); }
    // The widget's rectangle in the MDI area's coordinates.
    QRect InArea(const QWidget* w) const { return {w->mapTo(Area(), QPoint(0, 0)), w->size()}; }
    // The widget lies wholly on screen: inside the MDI area, and inside the
    // body's visible part when it sits in the body.
    bool OnScreen(FormWidget& v, const QWidget* w) const {
        if (!Area()->rect().contains(InArea(w))) return false;
        QWidget* port = v.Body()->viewport();
        if (!port->isAncestorOf(w)) return true;
        return port->rect().contains(QRect(w->mapTo(port, QPoint(0, 0)), w->size()));
    }

    QApplication& app = ViewApp();  // before any widget
    std::unique_ptr<TMainForm> main;
    std::unique_ptr<MdiFormHost> host;
    std::unique_ptr<ClickedPlacement> place;
};

// Lets the event loop lay the windows out, as it does before the user sees them.
void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// The caption of a text-bearing widget, and the text of a read-only field,
// shows whole: it got at least the width it asks for.
std::string ClippedCaption(const QWidget* w) {
    QString text;
    int need = 0;
    if (auto* l = qobject_cast<const QLabel*>(w)) {
        text = l->text();
        need = l->sizeHint().width();
    } else if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
        text = b->text();
        need = b->sizeHint().width();
    } else if (auto* g = qobject_cast<const QGroupBox*>(w)) {
        text = g->title();
        need = g->minimumSizeHint().width();
    } else if (auto* e = qobject_cast<const QLineEdit*>(w); e && e->isReadOnly()) {
        text = e->text();  // a field the user cannot scroll by typing in it
        need = e->fontMetrics().horizontalAdvance(text) + 8;
    }
    if (text.trimmed().isEmpty() || w->width() >= need) return {};
    return "\"" + text.toStdString() + "\" " + std::to_string(w->width()) + " of " + std::to_string(need) + " px";
}

std::string Describe(const QRect& r) {
    return "(" + std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
           std::to_string(r.height()) + ")";
}

class EveryForm : public ::testing::TestWithParam<FormClass> {};

TEST_P(EveryForm, FitsA1280x800ScreenWithItsLiveLinesInView) {
    const FormClass& cls = GetParam();
    const ClassLine& line = cls.lines.front();
    ScreenBench b(line, {1280, 800});
    AlgoForm& f = b.Open(line.params);
    ASSERT_NE(b.host->Window(f), nullptr) << line.params;
    Settle();
    FormWidget& v = b.View(f);
    QMdiSubWindow* win = b.host->Window(f);
    EXPECT_TRUE(b.Area()->rect().contains(win->geometry()))
        << "window " << Describe(win->geometry()) << " area " << Describe(b.Area()->rect());
    // The whole form, without a scroll bar.
    EXPECT_EQ(v.Body()->verticalScrollBar()->maximum(), 0)
        << "scrolls " << v.Body()->verticalScrollBar()->maximum() << " px down; window " << Describe(win->geometry());
    EXPECT_EQ(v.Body()->horizontalScrollBar()->maximum(), 0)
        << "scrolls " << v.Body()->horizontalScrollBar()->maximum() << " px across; window "
        << Describe(win->geometry());

    // The live lines, before any scrolling: the status field (a form without
    // one shows its results in its text views), address display and progress.
    const bool hasStatus = f.Has(f.StatusName());
    int statusLines = 0;
    for (auto& c : f.Controls()) {
        const bool status = c->Name == f.StatusName() || (!hasStatus && c->Kind == ControlKind::Text);
        const bool live = status || c->Kind == ControlKind::Status || c->Kind == ControlKind::Progress || c->Emphasis;
        QWidget* w = v.ControlWidget(c->Name);
        if (!live || !w || !w->isVisibleTo(win)) continue;
        EXPECT_FALSE(v.Body()->isAncestorOf(w)) << c->Name << " scrolls";
        EXPECT_TRUE(b.OnScreen(v, w)) << c->Name << " at " << Describe(b.InArea(w));
        statusLines += status;
    }
    EXPECT_GE(statusLines, 1) << "no status line in view";

    // Every control shown, brought into view the way a user scrolls to it,
    // and every caption of the form whole.
    for (auto& c : f.Controls()) {
        QWidget* w = v.ControlWidget(c->Name);
        if (!w || !w->isVisibleTo(win)) continue;
        if (c->Kind == ControlKind::Group && v.Body()->verticalScrollBar()->maximum() > 0)
            continue;  // a group taller than the body: its controls count
        v.ScrollTo(w);
        EXPECT_TRUE(b.OnScreen(v, w)) << c->Name << " \"" << c->Caption << "\" at " << Describe(b.InArea(w))
                                      << " area " << Describe(b.Area()->rect()) << " window " << Describe(win->geometry())
                                      << " body " << Describe(b.InArea(v.Body()->viewport())) << " hint "
                                      << v.sizeHint().width() << "x" << v.sizeHint().height() << " content "
                                      << Describe(QRect(v.Body()->widget()->pos(), v.Body()->widget()->size())) << " chint "
                                      << v.Body()->widget()->sizeHint().width() << "x" << v.Body()->widget()->sizeHint().height()
                                      << " cmin " << v.Body()->widget()->minimumSizeHint().width() << "x" << v.Body()->widget()->minimumSizeHint().height()
                                      << " vmax " << v.Body()->verticalScrollBar()->maximum() << " hmax " << v.Body()->horizontalScrollBar()->maximum();
    }
    for (QWidget* w : v.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(win)) continue;
        const std::string clipped = ClippedCaption(w);
        EXPECT_TRUE(clipped.empty()) << "clipped caption " << clipped;
    }

    if (const char* dir = std::getenv("QUILLA_FORM_SHOTS"); dir && *dir) {
        v.Body()->verticalScrollBar()->setValue(0);
        v.Body()->horizontalScrollBar()->setValue(0);
        QDir().mkpath(dir);
        const QString file = QString::fromStdString(std::string(dir) + "/" + cls.className + ".png");
        EXPECT_TRUE(b.main->grab().save(file)) << file.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(All, EveryForm, ::testing::ValuesIn(EveryFormClass()),
                         [](const ::testing::TestParamInfo<FormClass>& p) { return p.param.className; });

// A buffer window made after a logic-device form (the GAL form freed it for
// the fuse-map window; on the XC95xx form an SVF file was loaded, which freed
// it for the SVF window) opens wholly inside the MDI area, its Cursor,
// Checksum and Start row in view, on the common screens.
struct AfterLogic {
    const char* name;
    const char* part;
    const char* mfr;
    const char* params;
    bool loadSvf;
};

void PrintTo(const AfterLogic& p, std::ostream* os) { *os << p.name; }

class BufferAfterLogicDevice : public ::testing::TestWithParam<std::tuple<AfterLogic, QSize>> {};

TEST_P(BufferAfterLogicDevice, OpensInsideTheArea) {
    const auto& [p, screen] = GetParam();
    ClassLine line;
    line.model = "vex520";
    line.part = p.part;
    line.mfr = p.mfr;
    line.item = p.part;
    line.params = p.params;
    ScreenBench b(line, screen);
    b.Open(p.params);
    Settle();
    if (p.loadSvf) {
        const std::string file = ::testing::TempDir() + "screen_fit.svf";
        std::ofstream(file) << "!TRST OFF;\nSIR 8 TDI (fe);\n";
        b.wb->DataFileName = file;
        ASSERT_TRUE(LoadSvf(*b.wb));
        Settle();
    }
    ASSERT_EQ(b.main->FileWinSub(), nullptr);

    b.Open("ACTRANS25 1 len=131072 pag=256 dly=6 era=10 vcc=5000");  // 25LC1024
    Settle();
    QMdiSubWindow* sub = b.main->FileWinSub();
    ASSERT_NE(sub, nullptr);
    EXPECT_TRUE(sub->isVisible());
    EXPECT_TRUE(b.Area()->rect().contains(sub->geometry()))
        << "buffer window " << Describe(sub->geometry()) << " area " << Describe(b.Area()->rect());
    TFileWin* view = b.main->FileWinView();
    for (QLineEdit* e : {view->Edit1, view->Edit2, view->Edit3})
        EXPECT_TRUE(b.Area()->rect().contains(b.InArea(e))) << Describe(b.InArea(e));
}

INSTANTIATE_TEST_SUITE_P(Logic, BufferAfterLogicDevice,
                         ::testing::Combine(::testing::Values(
                                                AfterLogic{"GAL16V8", "GAL16V8", "LATTICE", "GAL3M 1", false},
                                                AfterLogic{"XC95xx", "XC9536XL", "XILINX", "XC95X 0", true}),
                                            ::testing::Values(QSize(1280, 800), QSize(1366, 768))),
                         [](const auto& info) {
                             const QSize s = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param).name) + "_" + std::to_string(s.width()) +
                                    "x" + std::to_string(s.height());
                         });

// The forms that were too long for a screen: the whole form shows on
// 1280x800 and 1366x768, and Run clicked in the view ends with its success
// text in view.
struct LongForm {
    const char* part;
    const char* mfr;
    const char* params;
    const char* status;
};

void PrintTo(const LongForm& p, std::ostream* os) { *os << p.part; }

class LongFormRun : public ::testing::TestWithParam<LongForm> {};

TEST_P(LongFormRun, RunClickedInTheViewEndsWithItsSuccessTextInView) {
    const LongForm& p = GetParam();
    for (const QSize screen : {QSize(1280, 800), QSize(1366, 768)}) {
        ClassLine line;
        line.model = "vex520";
        line.part = p.part;
        line.mfr = p.mfr;
        line.item = p.part;
        line.params = p.params;
        ScreenBench b(line, screen);
        const bool pic = std::string(p.part) == "PIC16F877A";
        if (pic)
            FillPicImage(b, 8192, 256, 5);
        else
            b.RandomImage(0x2200, 5);
        b.tap->record = false;
        AlgoForm& f = b.Open(p.params);
        Settle();
        FormWidget& v = b.View(f);

        // Columns, not scrolling, make room for these.
        EXPECT_EQ(v.Body()->verticalScrollBar()->maximum(), 0);
        EXPECT_EQ(v.Body()->horizontalScrollBar()->maximum(), 0);

        auto* run = qobject_cast<QPushButton*>(v.ControlWidget("Button1"));
        ASSERT_NE(run, nullptr);
        v.ScrollTo(run);
        ASSERT_TRUE(b.OnScreen(v, run)) << Describe(b.InArea(run));
        ASSERT_TRUE(b.OnScreen(v, v.ControlWidget(p.status)));
        if (screen.width() != 1280) continue;  // one batch is enough to prove the path
        run->click();
        Settle();

        auto* status = v.ControlWidget(p.status);
        ASSERT_NE(status, nullptr);
        EXPECT_EQ(f.Text(p.status), "End OK..") << screen.width() << "x" << screen.height();
        EXPECT_EQ(qobject_cast<QLineEdit*>(status)->text(), "End OK..");
        EXPECT_TRUE(status->isVisibleTo(b.host->Window(f)));
        EXPECT_TRUE(b.OnScreen(v, status)) << Describe(b.InArea(status));
        EXPECT_EQ(f.PassesCounted(), 1);
        if (pic) {
            EXPECT_TRUE(PicChipHoldsImage(b, 8192, 256));
        } else {
            const auto flash = b.ChipAs<sim::AvrChip>().Flash();
            EXPECT_TRUE(std::equal(flash.begin(), flash.end(), b.Image()));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Long, LongFormRun,
                         ::testing::Values(LongForm{"PIC16F877A", "MICROCHIP",
                                                    "PIC1687XA 8 #0E 20 fla=8192 ee=256 dly=1 pkg=40", "Msg"},
                                           LongForm{"ATmega8", "ATMEL", "ATMEGAX 1 pkg=28", "Msg"}),
                         [](const ::testing::TestParamInfo<LongForm>& p) {
                             return std::string(p.param.part);
                         });

}  // namespace
}  // namespace quilla::test
