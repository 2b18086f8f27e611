// Mass production in the program's windows on the simulated programmer: the
// next-chip wait keeps its prompt up and serves the windows, so the user sees
// that it waits and can end it by closing the form or the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "algo/common/form.h"
#include "algo/ui/formview.h"
#include "app/programdir.h"
#include "app/ui/autopro1.h"
#include "app/ui/mainform.h"
#include "app/ui/qtprompts.h"
#include "app/workbench.h"
#include "catalog/typedlg.h"
#include "simulate/session.h"
#include "ui/forms/view_app.h"

namespace quilla::test {
namespace {

using namespace std::chrono_literals;

// The program's prompts, but messages are recorded and answered at once.
struct AnsweringPrompts : QtPrompts {
    int Message(const std::string& text, const std::string&, MsgKind, int buttons) override {
        shown.push_back(text);
        return (buttons & BtnYes) ? BtnYes : BtnOk;
    }
    std::vector<std::string> shown;
};

// The windows and the simulated programmer as the program builds them.
struct Program {
    explicit Program(int operatorChips) {
        wb.ProgramDir = SourceDataDir();
        wb.Ep3.ProgramDir = SourceDataDir();
        dlg.ConfigDir =
            (std::filesystem::temp_directory_path() / ("quilla-no-config-" + std::to_string(::getpid()))).string();
        LinkOptions opts;
        opts.simulate = true;
        opts.operatorChips = operatorChips;
        session = StartSimulatedSession(wb, dlg, opts);
        dlg.Dispatch().Host = &host;
        prompts.ChipPrompt = &chipPrompt;
        prompts.ChipPollHold = 10ms;
        dlg.Start();
    }
    AlgoForm& SelectAt89c51() {
        int cat = 0;
        while (std::string(CategoryNames[cat].Code) != "MPU") ++cat;
        dlg.SelectCategory(cat);
        dlg.ClickManufacturer(dlg.ListBox1.IndexOf("ATMEL"));
        dlg.ListBox2.Select(dlg.ListBox2.IndexOf("AT89C51"));
        dlg.OKBtnClick();
        auto* f = dynamic_cast<AlgoForm*>(dlg.Dispatch().Form("TAt89c5x"));
        if (!f) throw std::runtime_error("no AT89C51 form");
        return *f;
    }

    QApplication& app = ViewApp();  // before any widget
    AnsweringPrompts prompts;
    SimulatedSession session;  // outlives the engine's use of the link
    Workbench wb{prompts};
    TTypeDlg dlg{wb};
    TMainForm main{wb};
    MdiFormHost host{main.MdiArea};
    TAutoPro1 chipPrompt{&main};
};

// Nobody brings a chip: Run shows the wait's prompt for as long as the wait
// lasts, and closing the form meanwhile ends the batch.
TEST(MassProductionWindows, WithoutTheOperatorRunShowsItWaitsForTheChip) {
    Program p(0);
    AlgoForm& f = p.SelectAt89c51();
    p.wb.options.MassProduction = true;
    p.main.show();
    bool promptUp = false;
    std::string promptText;
    QTimer::singleShot(50ms, &p.main, [&] {
        promptUp = p.chipPrompt.isVisible();
        promptText = p.chipPrompt.Edit1->text().toStdString();
        p.host.Window(f)->close();  // the user closes the form
    });
    f.Click("Button1");

    EXPECT_TRUE(promptUp);
    EXPECT_EQ(promptText, "  OK,请取走写好的器件");
    EXPECT_FALSE(p.chipPrompt.isVisible());
    EXPECT_FALSE(f.IsShown());
    EXPECT_EQ(p.wb.Counter, "0");
    EXPECT_TRUE(p.prompts.shown.empty());
}

// The operator would bring twenty chips; the user closes the main window
// after the second: the batch ends there and the message loop with it.
TEST(MassProductionWindows, ClosingTheMainWindowDuringABatchEndsTheBatchAndTheProgram) {
    Program p(20);
    int saves = 0;
    p.main.Hooks.SaveConfig = [&] { ++saves; };
    AlgoForm& f = p.SelectAt89c51();
    p.wb.options.MassProduction = true;
    p.main.show();
    int pollsAtClose = -1;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, &p.main, [&] {
        if (p.wb.Counter != "2" || !p.main.isVisible()) return;
        pollsAtClose = p.session.programmer->ContactPolls();
        p.main.close();
    });
    user.start(1ms);
    bool runEnded = false;
    QTimer::singleShot(0, &p.main, [&] {
        f.Click("Button1");
        runEnded = true;
    });
    QApplication::exec();  // returns once the program ends

    EXPECT_TRUE(runEnded);
    EXPECT_EQ(p.wb.Counter, "2");
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(p.main.isVisible());
    EXPECT_FALSE(p.chipPrompt.isVisible());
    EXPECT_EQ(p.session.programmer->ContactPolls(), pollsAtClose) << "no chip access after the close";
}

}  // namespace
}  // namespace quilla::test
