// The generic form view, offscreen: it renders a declared form as an MDI
// child and forwards clicks, typing and ticks to the form by control name.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "support/sim_bench.h"
#include "algo/memory/p27.h"
#include "algo/ui/formview.h"
#include "ui/forms/view_app.h"

namespace quilla::test {
namespace {

struct ViewBench : SimBench {
    explicit ViewBench(const char* part = "AT27C256R") : SimBench(part) {
        host = std::make_unique<MdiFormHost>(&area);
        dlg->Dispatch().Host = host.get();
    }
    FormWidget& View(AlgoForm& f) {
        auto* w = dynamic_cast<FormWidget*>(host->Window(f)->widget());
        if (!w) throw std::runtime_error("no view");
        return *w;
    }
    QApplication& app = ViewApp();  // before any widget
    QMdiArea area;
    std::unique_ptr<MdiFormHost> host;
};

TEST(FormView, AListBoxShowsItsLinesAndForwardsAClickedLine) {
    ViewBench b("74LS00");
    AlgoForm& f = b.Open("ICTEST 0");
    FormWidget& v = b.View(f);
    auto* list = v.ControlWidget("ListBox1")->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    const auto& items = f.Get("ListBox1").Items;
    ASSERT_EQ(list->count(), static_cast<int>(items.size()));
    EXPECT_EQ(list->item(1)->text().toStdString(), items[1]);
    emit list->itemClicked(list->item(1));
    EXPECT_EQ(f.ItemIndex("ListBox1"), 1);
    EXPECT_EQ(f.Text("Number"), items[1]);
    f.Click("Button1");
    auto* found = v.ControlWidget("ListBox2")->findChild<QListWidget*>();
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->count(), 2);
}

TEST(FormView, ATextViewShowsTheLinesTheFormAppends) {
    ViewBench b("XC9536XL");
    AlgoForm& f = b.Open("XC95X 0");
    FormWidget& v = b.View(f);
    auto* text = qobject_cast<QPlainTextEdit*>(v.ControlWidget("RichEdit1"));
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    f.Click("ID");
    EXPECT_EQ(text->toPlainText().toStdString(), "93,20,60,59,");
    f.Click("Button3");
    EXPECT_EQ(text->toPlainText().toStdString(), "93,20,60,59,\n78,56,34,12,");
    f.Click("ID");  // clears, then one line
    EXPECT_EQ(text->toPlainText().toStdString(), "93,20,60,59,");
}

TEST(FormView, RendersTheDeclaredControlsAsAnMdiChild) {
    ViewBench b;
    AlgoForm& f = b.Open("P27 13");
    ASSERT_NE(b.host->Window(f), nullptr);
    EXPECT_EQ(b.area.subWindowList().size(), 1);
    FormWidget& v = b.View(f);
    auto* write = qobject_cast<QPushButton*>(v.ControlWidget("Write"));
    ASSERT_NE(write, nullptr);
    EXPECT_EQ(write->text(), "Write");
    EXPECT_EQ(qobject_cast<QLineEdit*>(v.ControlWidget("Message"))->text(), "OK ");
    EXPECT_EQ(qobject_cast<QLineEdit*>(v.ControlWidget("Edit3"))->text(), "7fff");
    EXPECT_EQ(b.host->Window(f)->windowTitle(), "0 to 7fff");
    EXPECT_EQ(v.ControlWidget("RadioGroup1")->findChildren<QRadioButton*>().size(), 5);
    // A second dispatch raises the same child.
    b.Open("P27 14");
    EXPECT_EQ(b.area.subWindowList().size(), 1);
    EXPECT_EQ(b.host->Window(f)->windowTitle(), "0 to ffff");
}

TEST(FormView, ButtonsBoxesAndEditsReachTheForm) {
    ViewBench b;
    b.RandomImage(0x8000);
    AlgoForm& f = b.Open("P27 13");
    FormWidget& v = b.View(f);

    auto* edit = qobject_cast<QLineEdit*>(v.ControlWidget("Edit2"));
    edit->setText("400");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
    EXPECT_EQ(f.Text("Edit2"), "400");

    qobject_cast<QCheckBox*>(v.ControlWidget("CheckBox2"))->setChecked(false);
    EXPECT_FALSE(f.Checked("CheckBox2"));

    qobject_cast<QPushButton*>(v.ControlWidget("Write"))->click();
    EXPECT_EQ(qobject_cast<QLineEdit*>(v.ControlWidget("Message"))->text(), "OK!");
    auto* bar = qobject_cast<QProgressBar*>(v.ControlWidget("RdBar"));
    EXPECT_EQ(bar->maximum(), 0x7FFF);
    // Device offset 0x400, File offset 0.
    for (int i = 0; i < 0x7C00; ++i) ASSERT_EQ(b.Chip()[static_cast<std::size_t>(0x400 + i)], b.Image()[i]);
    for (int a = 0; a < 0x400; ++a) ASSERT_EQ(b.Chip()[static_cast<std::size_t>(a)], 0xFF);
}

TEST(FormView, ClosingTheChildClosesTheFormAndADispatchShowsItAgain) {
    ViewBench b;
    AlgoForm& f = b.Open("P27 13");
    b.host->Window(f)->close();
    EXPECT_FALSE(f.IsShown());
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 0);
    b.Open("P27 13");
    EXPECT_TRUE(f.IsShown());
    EXPECT_EQ(b.area.subWindowList().size(), 1);
}

TEST(FormView, ActivatingAFormsChildActivatesTheForm) {
    ViewBench b("X28C010");
    AlgoForm& x = b.Open("X28C 4");  // Length keeps the page's low bits on activation
    AlgoForm& p = b.Open("P27 13");
    x.SetText("Edit3", "1000");
    b.area.setActiveSubWindow(b.host->Window(p));
    EXPECT_EQ(x.Text("Edit3"), "1000");
    b.area.setActiveSubWindow(b.host->Window(x));
    EXPECT_EQ(x.Text("Edit3"), "10ff");
}

}  // namespace
}  // namespace quilla::test
