// Quilla's entry point: the splash, then the long-lived windows in a fixed
// order (the engine connects to the programmer when it is created, and the
// selection dialog already uses the main window, the buffer window, the engine
// and the configuration file), then the message loop.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/commandline.h"
#include "app/fileops.h"
#include "app/programdir.h"
#include "app/ui/autopro1.h"
#include "app/ui/ep3form.h"
#include "app/ui/fileformat.h"
#include "app/ui/guard.h"
#include "app/ui/inputhexdlg.h"
#include "app/ui/mainform.h"
#include "app/ui/picture1.h"
#include "app/ui/place1.h"
#include "app/ui/pldfilew.h"
#include "app/ui/qtprompts.h"
#include "app/ui/setting1.h"
#include "app/ui/startfile.h"
#include "app/workbench.h"
#include "algo/ui/formview.h"
#include "catalog/typedlg.h"
#include "catalog/ui/typedlg_window.h"
#include "engine/fatal.h"
#include "engine/startup.h"
#include "engine/transport.h"
#include "simulate/session.h"

using namespace quilla;

int main(int argc, char** argv) {
    // Read before the toolkit starts, so --help and --version need no display.
    const CommandLine start = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::getenv);
    switch (start.action) {
        case CommandLine::Action::Help: std::fputs(Usage, stdout); return 0;
        case CommandLine::Action::Version: std::printf("Quilla %s\n", ProgramVersion); return 0;
        case CommandLine::Action::Error:
            std::fprintf(stderr, "quilla: %s\n%s", start.error.c_str(), Usage);
            return 2;
        case CommandLine::Action::Run: break;
    }
    const LinkOptions& linkOptions = start.link;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quilla");

    // A broken link ends the program with a plain message box (and a line on
    // standard error, for whoever started it from a terminal).
    SetFatalMessageSink([](const std::string& message) {
        std::fprintf(stderr, "quilla: %s\n", message.c_str());
        QMessageBox box(QMessageBox::NoIcon, " ", QString::fromStdString(message), QMessageBox::Ok);
        box.exec();
    });

    try {
        const std::string programDir =
            ResolveProgramDir(QCoreApplication::applicationDirPath().toStdString());

        // Splash, shown while the windows below are created.
        auto splash = std::make_unique<TPicture1>(programDir);
        splash->show();
        QApplication::processEvents();
        QThread::msleep(1);

        // The link to the programmer: the USB driver library, or the simulated
        // programmer for --simulate[=MODEL] / QUILLA_SIMULATE.
        Transport* transport = nullptr;
        std::unique_ptr<ProgrammerConnection> programmer;  // outlives the engine

        QtPrompts prompts;
        // The simulated programmer's waits take no real time: each poll of the
        // next-chip wait keeps its prompt up as long as it takes on hardware.
        if (linkOptions.simulate) prompts.ChipPollHold = std::chrono::milliseconds(100);
        Workbench wb(prompts, transport);  // the image: first 1 MiB 0xFF, the rest 0
        wb.ProgramDir = programDir;
        wb.Ep3.ProgramDir = programDir;
        // The selection state and the algorithm forms it opens outlive every
        // window (the forms' views are children of the main window).
        TTypeDlg typeDlg(wb);

        // MainForm: the application's main window.
        TMainForm mainForm(wb);

        // Ep3: driver check, connection, identification of ProgrammerModel and
        // the default design happen here, when the engine starts. On the
        // simulated programmer every dispatch of the selection seats a blank
        // chip of the selected device (none when the simulator has no model of
        // it); the chip stays while the same device is dispatched again.
        if (linkOptions.simulate)
            programmer = StartSimulatedSession(wb, typeDlg, linkOptions).connection;
        else
            programmer = StartProgrammer(wb.Ep3, linkOptions);
        TEp3Form ep3Form(wb, &mainForm);
        mainForm.Ep3Form = &ep3Form;

        // Form1 and Runing are never shown and are not built.

        // InputHexDlg (fill and resize): sets mainForm.Hooks.Fill / Resize; the
        // fuse-map and SVF windows follow the workbench from here on.
        TInputHexDlg inputHexDlg(wb, &mainForm);
        InputHexDlg = &inputHexDlg;
        InstallDataWindows(mainForm, &inputHexDlg);

        // FileFormat (load format dialog): sets mainForm.Hooks.LoadFile / SaveBuf.
        TFileFormat fileFormat(&mainForm);
        FileFormat = &fileFormat;
        mainForm.Hooks.LoadFile = [&] { fileFormat.LoadFileClick(wb); };
        mainForm.Hooks.SaveBuf = [&] { fileFormat.SaveBufClick(wb); };

        // TypeDlg (selection dialog): sets the Comm hooks, the mirrors, LoadConfig
        // and SaveConfig; its start-up runs FileNew, LoadConfig and reloads the
        // remembered data file. The forms it opens are MDI children.
        MdiFormHost formHost(mainForm.MdiArea);
        typeDlg.Dispatch().Host = &formHost;
        TypeDlgWindow typeDlgWindow(typeDlg, &mainForm);
        typeDlgWindow.AttachMainForm(&mainForm);
        // The main window is up before anything of the start-up can show a
        // message (the selection's start, the file named on the command
        // line), so no message stands alone on an empty screen. Without a
        // window manager "maximised" means nothing: take the screen.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            mainForm.setGeometry(screen->availableGeometry());
        mainForm.showMaximized();
        Guarded(prompts, [&] { typeDlg.Start(); });

        // Setting1 (options dialog): sets mainForm.Hooks.ShowSetting1.
        TSetting1 setting1(wb, &mainForm);
        Setting1 = &setting1;
        mainForm.Hooks.ShowSetting1 = [&](const std::string& tab) { setting1.ShowOnTab(tab); };

        TPlace1 place1(wb, &mainForm);
        wb.Ep3.Placement = &place1;

        TAutoPro1 autoPro1(&mainForm);
        prompts.ChipPrompt = &autoPro1;

        splash->hide();
        splash.reset();

        // Without a selection dialog nothing has opened the buffer window yet.
        if (!wb.FileWin) Guarded(prompts, [&] { wb.FileNew(); });

        // A file named on the command line: loaded by its extension as File >
        // Load would, once the main window is shown (a name that cannot be
        // loaded gives one message, over the main window).
        if (!start.dataFile.empty())
            QTimer::singleShot(0, &mainForm,
                               [&] { LoadStartFile(mainForm, prompts, start.dataFile, fileFormat.Other); });
        if (!start.screenshot.empty()) {
            // The picture shows the remembered device's form beside the buffer window.
            if (!wb.sel.ParamString.empty())
                QTimer::singleShot(0, &mainForm, [&] { Guarded(prompts, [&] { typeDlg.OpenAlgorithmForm(); }); });
            QTimer::singleShot(1500, &mainForm, [&] {
                mainForm.grab().save(QString::fromStdString(start.screenshot));
                app.quit();
            });
        }
        const int rc = app.exec();
        wb.Ep3.Placement = nullptr;
        return rc;
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Quilla", QString::fromStdString(e.what()));
    }
    return 0;
}
