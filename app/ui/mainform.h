// The main window "Quilla Ver 1.12": an MDI frame with the menus, the tool bar,
// the status line, the bottom panel with the type, adapter, device and
// counter, and the hidden quick-select mirrors of the selection dialog.
//
// Each menu command is a member function named after its handler. Commands
// whose work belongs to another window (file dialogs, fill, selection,
// options, algorithm forms) call a hook in `Hooks`, which the start-up code
// fills when that window exists; an empty hook does nothing.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

#include "app/hexwin.h"
#include "app/workbench.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMdiArea;
class QMdiSubWindow;
class QToolBar;
class QWidget;

namespace quilla {

class TFileWin;
class TEp3Form;
class TFindDialog;
class TReplaceDialog;

struct ShellHooks {
    // File
    std::function<void()> LoadFile;   // "&Load      ": load dialog, dispatch by format
    std::function<void()> SaveBuf;    // "&Save        ": save dialog, dispatch by format
    // Edit (called only while the buffer window exists)
    std::function<void()> Fill;       // "&D FillData"
    std::function<void()> Resize;     // "&E Resize buffer       "
    // Comm. Prog / ID / Before, when set, replace the shell's own handling of
    // "&R/W       ", "&Auto detect type    " and (after F List and tile) "&Before          ".
    std::function<void()> Prog;
    std::function<void()> ID;
    std::function<void()> Before;
    std::function<void()> SelType;            // show TypeDlg and refill its manufacturer list
    std::function<int()> TypeDlgDeviceIndex;  // the selection dialog's device-list index
    std::function<void()> OpenAlgorithmForm;  // open the form of the selected device
    std::function<int()> TypeDlgCategoryIndex;  // the selection dialog's category index
    std::function<void()> MFRClick;           // electronic-ID read (MfrIdByte, DeviceIdByte)
    std::function<void()> LoadConfig;         // TMainForm::LoadConfig
    std::function<void()> SaveConfig;         // TMainForm::SaveConfig, on close
    // V Setting: the options dialog, modal on the tab of this caption.
    std::function<void(const std::string& tab)> ShowSetting1;
    // The hidden mirrors drive the selection dialog (index already >= 0).
    std::function<void(int)> MirrorMfrChanged;       // manufacturer chosen in ComboBox1
    std::function<void(int)> MirrorCategoryChanged;  // category chosen in ComboBox2
    std::function<void(int)> MirrorDeviceChosen;     // device chosen in ListBox1
    // The fuse-map and SVF windows: create or free their views as the
    // workbench's PldFileW / SvfFileW come and go, and redraw them. Their MDI
    // widgets carry the object names "PldFileW" and "SvfFileW".
    std::function<void()> SyncDataWindows;
    std::function<void()> DisplayDataWindows;
};

class TMainForm : public QMainWindow, public ShellView {
    Q_OBJECT
public:
    explicit TMainForm(Workbench& wb, QWidget* parent = nullptr);
    ~TMainForm() override;

    Workbench& wb() { return wb_; }
    ShellHooks Hooks;

    // ShellView
    void Display() override;
    void DataWindowsChanged() override;
    void CounterChanged() override;

    // ---- commands ---------------------------------------------------------------
    void FileNew();
    void LoadFileClick();
    void SaveBufClick();
    void FilePrint();
    void FilePrintSetup();
    void FileExit();
    void MainFillClick();
    void N11Click();
    void S1Click();  // Find
    void R1Click();  // Replace
    void S2Click();  // Repeat
    void OnFind();
    void OnRePlaceFind();
    void OnRePlace();
    void BeforClick();
    void SelTypeClick();
    void ProgClick();
    void IDClick();
    void SystemClick();
    void N6Click();  // Add-on info
    void N7Click();  // Other
    void WindowTile();
    void WindowCascade();
    void WindowArrange();
    void FileWin1Click();
    void SpeedButton10Click();  // page back
    void SpeedButton8Click();   // page forward
    void HelpSearch();
    void HelpAbout();
    void N5Click();  // CFG Refs
    void ComboBox1Change();
    void ComboBox2Change();
    void List1OnDbClick();
    void List1KeyDown(int key);

    // ---- parts others write --------------------------------------------------------
    QMdiArea* MdiArea;
    QToolBar* ToolBar;
    QWidget* Panel1;          // hidden: ComboBox1, ComboBox2
    QComboBox* ComboBox1;     // manufacturers
    QComboBox* ComboBox2;     // category names
    QWidget* Panel2;          // hidden: ListBox1
    QListWidget* ListBox1;    // devices
    QWidget* Panel3;          // bottom panel
    QLabel* Label2;           // "Type: "
    QLabel* Label3;           // "Device:"
    QLabel* Label4;           // adapter, initially "No need"
    QLabel* AdapterLabel;     // the same label as Label4
    QLineEdit* Edit1;         // counter
    QLabel* StatusPanels[4];  // the status line's panels (widths 150, 50, 50, 50)
    void SetStatusPanel(int i, const std::string& text);
    std::string StatusPanel(int i) const;

    // Makes a data window (buffer, fuse map, SVF) an MDI child that lives
    // until the program frees it: sized for its view, placed where it covers
    // the fewest other windows, and wholly inside the area.
    QMdiSubWindow* AddDataWindow(QWidget* view);
    // Frees a data window whose data went.
    void RemoveDataWindow(QMdiSubWindow* sub);
    // Moves (and where the area is smaller, shrinks) a child into the area.
    void KeepInArea(QMdiSubWindow* sub);

    TFileWin* FileWinView() const { return fileWinView_; }
    QMdiSubWindow* FileWinSub() const { return fileWinSub_; }
    TEp3Form* Ep3Form = nullptr;  // the status window, created on first use when not given
    TFindDialog* FindDialog1 = nullptr;
    TReplaceDialog* ReplaceDialog1 = nullptr;
    FindReplace Finder;

    // The rich edit of the active data window, for find and replace; null
    // when there is none.
    TextTarget* ActiveTarget();

    // Opens a page of the help folder with the desktop's viewer.
    enum class HelpOpened { Yes, NoFile, NoProgram };
    HelpOpened OpenHelpPage(const std::string& page);
    // The help index, or a message saying why it did not open.
    void ShowHelpIndex();

    // Runs a handler guarded: an exception shows its message.
    template <class F> void Run(F&& f);

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void BuildMenus();
    void BuildToolBar();
    void BuildPanels();
    // Creates or frees the buffer window's view as the workbench's FileWin
    // comes and goes, and redraws it; `show` also brings it up.
    void SyncFileWin(bool show);
    // Frees the buffer window's view when the workbench's FileWin is gone.
    void DropFileWin();
    QWidget* ActiveDataWidget() const;

    Workbench& wb_;
    TFileWin* fileWinView_ = nullptr;
    QMdiSubWindow* fileWinSub_ = nullptr;
    std::unique_ptr<TextTarget> otherTarget_;
};

extern TMainForm* MainForm;

}  // namespace quilla
