// TTypeDlg, the device selection dialog ("Select Type  "), headless: the
// category, manufacturer and device lists read from the model's device list,
// the Find filter, OK and its dispatch, the electronic-ID read, the per-model
// configuration file, and the main window's hidden mirrors of its lists.
//
// The Qt dialog (catalog/ui) and the main window render this state and forward
// their events to the handlers below; tests drive it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalog/devicelist.h"
#include "catalog/dispatch.h"

namespace quilla {

struct Workbench;

// A list box or combo box: its items, the selected index (-1: none) and, for
// combo boxes, the edit text.
struct ListControl {
    std::vector<std::string> Items;
    int ItemIndex = -1;
    std::string Text;

    void Clear() {
        Items.clear();
        ItemIndex = -1;
        Text.clear();
    }
    bool HasSelection() const { return ItemIndex >= 0 && ItemIndex < static_cast<int>(Items.size()); }
    const std::string& Selected() const { return Items[static_cast<std::size_t>(ItemIndex)]; }
    // Selects `index`, or nothing when it is outside the list.
    void Select(int index) { ItemIndex = index >= 0 && index < static_cast<int>(Items.size()) ? index : -1; }
    // The first exact match, or -1.
    int IndexOf(const std::string& s) const {
        for (std::size_t i = 0; i < Items.size(); ++i)
            if (Items[i] == s) return static_cast<int>(i);
        return -1;
    }
};

// The main window's fields that the dialog writes: the hidden mirrors, the type
// and device-list lines and two status-line panels. (The adapter line is
// wb.sel.AdapterLabel.)
struct MainMirrors {
    ListControl ComboBox1;  // manufacturers
    ListControl ComboBox2;  // category names
    ListControl ListBox1;   // devices, the same items as the dialog's ListBox2
    std::string Label2;     // "Type:    " + TypeText
    std::string Label3;     // "设备名称:" + ProgrammerModel
    std::string StatusPanel2;  // manufacturer
    std::string StatusPanel3;  // device
};

// What the windows do for the dialog; headless runs leave it unset.
class TypeDlgView {
public:
    virtual ~TypeDlgView() = default;
    virtual void Changed() {}      // lists, texts or mirrors changed: repaint from the model
    virtual void ShowDialog() {}   // show (not modal) and bring to the front
    virtual void HideDialog() {}
};

// The remembered data file is reloaded at start by its upper-cased extension:
// the file loaders of the program by default (tests replace them); each loads
// wb.DataFileName.
struct DataFileLoaders {
    std::function<void(Workbench&)> LoadJed;
    std::function<void(Workbench&)> LoadHex;
    std::function<void(Workbench&)> LoadBin;  // keeping every byte
};

// Category radio items (trailing blanks included) and their codes.
struct CategoryName {
    const char* Text;
    const char* Code;
};
// The category table; it ends at its first entry that begins with 'e' ("end").
extern const CategoryName CategoryNames[];

// Longest text lines 1 to 13 of the configuration file give back (the type
// text, the manufacturer and the device among them).
inline constexpr std::size_t ConfigLineMax = 99;

// $XDG_CONFIG_HOME/quilla, else $HOME/.config/quilla (no trailing '/').
std::string DefaultConfigDir();
// The configuration file of a programmer model; empty for an unknown model.
std::string ConfigFileFor(const std::string& programmerModel);

class TTypeDlg {
public:
    // Sets the defaults: category items (also into the main window's category
    // mirror), item 2 "MCU   ", Category "MPU", Manufacturer "ATMEL",
    // ParamString "P89C51 1".
    explicit TTypeDlg(Workbench& wb, const FormRegistry& registry = FormRegistry::Global());
    ~TTypeDlg();
    TTypeDlg(const TTypeDlg&) = delete;
    TTypeDlg& operator=(const TTypeDlg&) = delete;

    // The rest of the start-up: FileNew, LoadConfig, reload of the remembered
    // data file, show, FillMfrList, the type line. Opens no form.
    void Start();

    // ---- the dialog's controls -------------------------------------------------
    static constexpr const char* Caption = "Select Type  ";
    std::vector<std::string> RadioItems;  // RadioGroup1 "Type"
    int RadioIndex = 2;
    ListControl ListBox1;   // manufacturers
    ListControl ListBox2;   // devices
    std::string Edit1 = "code";  // result of Detect MFG ID
    std::string Edit2;           // Find text
    bool Visible = false;

    MainMirrors Main;

    // ---- state --------------------------------------------------------------------
    std::string Category = "MPU";  // only the first three characters count
    std::string Manufacturer = "ATMEL";
    std::int32_t SavedMfrIndex = 0;
    std::int32_t SavedDeviceIndex = 0;
    std::vector<std::string> DeviceParams;  // MaxListedDevices entries, list order
    // Beside each entry of DeviceParams: its device line as read (cut at its
    // first control byte), and whether that line was longer than a piece
    // (LongLine: its first piece; LongLineRest: a later one).
    enum : char { WholeLine = 0, LongLine = 1, LongLineRest = 2 };
    std::vector<std::string> DeviceLines;
    std::vector<char> DeviceLineLong;
    int MfrCount = 0;

    // Where the configuration file lives (a test seam; DefaultConfigDir() at start).
    std::string ConfigDir;
    DataFileLoaders Loaders;
    TypeDlgView* View = nullptr;
    // Called before every dispatch (OK, R/W, Before) with SelectedDevice; the
    // simulated programmer uses it to seat a blank chip of the device (its name
    // is the list item up to the first blank, without package marks).
    std::function<void(const std::string& selectedDevice)> BeforeDispatch;

    // ---- operations ---------------------------------------------------------------
    bool OpenDeviceList();
    void FillMfrList();
    void FillDeviceList();
    bool MatchFind(const std::string& line) const { return MatchFindText(line, Edit2); }

    // ---- handlers -------------------------------------------------------------------
    void Radio1OnClick();
    // Selecting a category item (a click, the main window's mirror or the
    // configuration file): runs Radio1OnClick unless the item is already selected.
    void SelectCategory(int item);
    void OnMouseUp();  // ListBox1
    void OnKeyUp();    // ListBox1
    // A click on manufacturer `index` of ListBox1 (select, then OnMouseUp).
    void ClickManufacturer(int index);
    void OnChange2();  // Edit2
    void SetFindText(const std::string& text);  // typing into Edit2
    // A device line that cannot open a form is refused with one message
    // ("Bad device line: ..."), and nothing of the selection changes: the
    // device chosen before keeps its name, its form and its parameters.
    // While a batch waits for the next chip (the programmer is the batch's), OK,
    // the ID read and the dispatch only say so (BatchWaitingMessage).
    void OKBtnClick();
    void OnDblClick() { OKBtnClick(); }
    void MFRClick();   // " Detect MFG ID  "
    void FormClose();

    // ---- parameter string and dispatch -------------------------------------------
    int GetParam(std::string_view key) const;
    // The dispatch of the current ParamString (OK, R/W, Before). A parameter
    // string that opens no form shows "Bad device line: ..." and changes nothing.
    void OpenAlgorithmForm();
    // Why device `i` of the list cannot be chosen: "Bad device line: "LINE":
    // REASON", or empty. Over-long fields (a line past DeviceLineMax, a
    // manufacturer past MaxManufacturerName, a type text the configuration
    // file cannot hold back) and every reason of FormDispatch::WhyNoForm.
    std::string DeviceLineError(int i) const;
    FormDispatch& Dispatch() { return dispatch_; }

    // ---- configuration file --------------------------------------------------------
    // Written when the main window closes; `caption` is its caption (line 1).
    void SaveConfig(const std::string& caption);
    void LoadConfig();
    std::string ConfigPath() const;  // empty for an unknown model

    // ---- the main window's commands that reach the dialog -----------------------------
    void ComboBox1Change(int index);
    void ComboBox2Change(int index);
    void List1OnDbClick();
    void List1KeyDown(int key);
    // "&R/W       ": mirror out of step -> "Click mouse to change!!!", then dispatch.
    void ProgClick();
    // "&Auto detect type    ".
    void IDClick();
    // "&Before          " after the shell's F List and tile: LoadConfig, then R/W.
    void BeforClick();
    // "Add-on info" / "Other": false (after the message) when the programmer is a
    // vex310; true when the options dialog may open.
    bool SettingAllowed();

    Workbench& wb() { return wb_; }

    static constexpr const char* BatchWaitingMessage =
        "A batch waits for the next chip: close its form to end it first";

private:
    // While a batch waits for the next chip: BatchWaitingMessage shown, true.
    bool BatchWaiting();

    void Changed();
    // The standard message dialog of the main window's commands.
    void ShowMessage(const std::string& text);

    Workbench& wb_;
    FormDispatch dispatch_;
    DeviceListFile listFile_;
};

}  // namespace quilla
