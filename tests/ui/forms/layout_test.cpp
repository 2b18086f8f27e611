// How the generic view lays out a long form, decided from the declared
// controls alone: long groups and radio lists spread over columns and rows,
// the live lines sit in a foot that never scrolls, and the body scrolls only
// when the window cannot show it whole.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <set>

#include "algo/common/form.h"
#include "algo/common/window.h"
#include "algo/ui/formview.h"
#include "support/sim_bench.h"
#include "ui/forms/view_app.h"

namespace quilla::test {
namespace {

// A form as long as the longest device forms: buttons, a group of sixteen
// boxes, an eight-item radio group, captioned edits in a group, and the
// address, status and progress lines.
class LongForm : public AlgoForm {
public:
    explicit LongForm(Workbench& wb) : AlgoForm(wb, "Long") {
        using namespace win;
        ControlRows rows;
        for (const char* b : {"Read", "Blank", "Write", "Verify", "Erase", "Lock", "ID", "Config"})
            rows.push_back(On(PushButton({b, b}), [] {}));
        rows.push_back(Group({"Boxes", "CFG Config"}));
        for (int i = 0; i < 16; ++i) {
            const std::string n = std::to_string(i);
            rows.push_back(Box({("Box" + n).c_str(), ("FUSEBIT" + n).c_str()}, false, "Boxes"));
        }
        rows.push_back(Radio({"Osc", "OSC Mode"},
                             {"LP", "XT", "HS", "ExtClk", "RC RA6=IO", "RC RA6=CLK out", "ER RA6=IO", "ER"}, 1));
        rows.push_back(Group({"Fields", ""}));
        for (int i = 0; i < 4; ++i) {
            const std::string n = std::to_string(i);
            rows.push_back(Edit({("Field" + n).c_str(), ("Field " + n).c_str()}, "0", "Fields"));
        }
        rows.push_back(On(PushButton({"Run", " Run "}), [this] { Status("End OK.."); }));
        rows.push_back(Red(ReadOnly(Edit({"Addr"}, "Add "))));
        rows.push_back(win::Status("Message", "Prompt  "));
        rows.push_back(Progress("Bar"));
        DeclareControls(rows);
    }
    void SetupForDevice() override {}
};

struct LayoutCase {
    QSize area;
    bool scrolls;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.area.width() << "x" << c.area.height(); }

class ViewLayout : public ::testing::TestWithParam<LayoutCase> {
protected:
    QApplication& app = ViewApp();  // before any widget
    SimBench bench{""};
    LongForm form{*bench.wb};  // outlives its view, which the area owns
    QMdiArea area;
    MdiFormHost host{&area};

    FormWidget& ShowIn(QSize size) {
        area.resize(size);
        area.show();
        form.Host = &host;
        form.Show();
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
        return *dynamic_cast<FormWidget*>(host.Window(form)->widget());
    }
    bool OnScreen(FormWidget& v, QWidget* w) const {
        const QRect inArea(w->mapTo(area.viewport(), QPoint(0, 0)), w->size());
        if (!area.viewport()->rect().contains(inArea)) return false;
        QWidget* port = v.Body()->viewport();
        return !port->isAncestorOf(w) || port->rect().contains(QRect(w->mapTo(port, QPoint(0, 0)), w->size()));
    }
};

TEST_P(ViewLayout, EveryControlCanBeReachedAndTheLiveLinesNeverScroll) {
    FormWidget& v = ShowIn(GetParam().area);
    QMdiSubWindow* win = host.Window(form);
    EXPECT_TRUE(area.viewport()->rect().contains(win->geometry()));
    const bool scrolls = v.Body()->verticalScrollBar()->maximum() > 0 || v.Body()->horizontalScrollBar()->maximum() > 0;
    EXPECT_EQ(scrolls, GetParam().scrolls);

    for (const char* live : {"Addr", "Message", "Bar"}) {
        QWidget* w = v.ControlWidget(live);
        EXPECT_TRUE(v.Foot()->isAncestorOf(w)) << live;
        EXPECT_TRUE(OnScreen(v, w)) << live;
    }
    for (auto& c : form.Controls()) {
        QWidget* w = v.ControlWidget(c->Name);
        ASSERT_NE(w, nullptr) << c->Name;
        if (c->Kind == ControlKind::Group) continue;  // may be taller than the window: its controls count
        v.ScrollTo(w);
        EXPECT_TRUE(OnScreen(v, w)) << c->Name;
        // Scrolling to it never moves the live lines.
        EXPECT_TRUE(OnScreen(v, v.ControlWidget("Message"))) << c->Name;
    }

    // Run, clicked where the user scrolled to, ends with its text in view.
    v.ScrollTo(v.ControlWidget("Run"));
    qobject_cast<QAbstractButton*>(v.ControlWidget("Run"))->click();
    EXPECT_EQ(qobject_cast<QLineEdit*>(v.ControlWidget("Message"))->text(), "End OK..");
    EXPECT_TRUE(OnScreen(v, v.ControlWidget("Message")));
}

INSTANTIATE_TEST_SUITE_P(Areas, ViewLayout,
                         ::testing::Values(LayoutCase{{1280, 680}, false}, LayoutCase{{1366, 650}, false},
                                           LayoutCase{{520, 330}, true}),
                         [](const ::testing::TestParamInfo<LayoutCase>& p) {
                             return std::to_string(p.param.area.width()) + "x" + std::to_string(p.param.area.height());
                         });

TEST(ViewLayoutShape, ALongGroupAndALongRadioListSpreadOut) {
    QApplication& app = ViewApp();
    (void)app;
    SimBench bench("");
    LongForm form(*bench.wb);  // outlives its view, which the area owns
    QMdiArea area;
    MdiFormHost host(&area);
    area.resize(1280, 680);
    area.show();
    form.Host = &host;
    form.Show();
    QApplication::processEvents();
    FormWidget& v = *dynamic_cast<FormWidget*>(host.Window(form)->widget());

    std::set<int> columns, rows;
    for (int i = 0; i < 16; ++i) {
        QWidget* box = v.ControlWidget("Box" + std::to_string(i));
        columns.insert(box->mapTo(&v, QPoint(0, 0)).x());
        rows.insert(box->mapTo(&v, QPoint(0, 0)).y());
    }
    EXPECT_EQ(columns.size(), 2u);
    EXPECT_EQ(rows.size(), 8u);
    // Down the first column first: box 1 under box 0, box 8 beside box 0.
    auto at = [&](int i) { return v.ControlWidget("Box" + std::to_string(i))->mapTo(&v, QPoint(0, 0)); };
    EXPECT_EQ(at(1).x(), at(0).x());
    EXPECT_GT(at(1).y(), at(0).y());
    EXPECT_EQ(at(8).y(), at(0).y());
    EXPECT_GT(at(8).x(), at(0).x());

    std::set<int> radioRows;
    for (QRadioButton* r : v.ControlWidget("Osc")->findChildren<QRadioButton*>()) radioRows.insert(r->y());
    EXPECT_EQ(radioRows.size(), 2u);
}

}  // namespace
}  // namespace quilla::test
