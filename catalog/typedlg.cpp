#include "catalog/typedlg.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "app/binfile.h"
#include "app/hexfile.h"
#include "app/jedec.h"
#include "app/workbench.h"
#include "catalog/params.h"
#include "engine/fatal.h"
#include "engine/protocol.h"

namespace quilla {

const CategoryName CategoryNames[] = {
    {"EPROM         ", "EPR"}, {"EEPROM      ", "EEP"}, {"MCU   ", "MPU"},
    {"Serial    ", "SER"},     {"PLD           ", "PLD"}, {"Test SRAM  ", "RAM"},
    {"--          ", "TES"},   {"end", ""},
};

namespace {

constexpr const char* DefaultParamString = "P89C51 1";
constexpr const char* MissingListMsg = "缺.LST文件!";
constexpr const char* ListLinePrefix = "设备名称:";

int CategoryCount() {
    int n = 0;
    while (CategoryNames[n].Text[0] != 'e') ++n;
    return n;
}

std::string UpperExtension(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace

TTypeDlg::TTypeDlg(Workbench& wb, const FormRegistry& registry)
    : ConfigDir(DefaultConfigDir()), wb_(wb), dispatch_(wb, registry) {
    Main.ComboBox2.Clear();
    for (int i = 0; i < CategoryCount(); ++i) {
        RadioItems.emplace_back(CategoryNames[i].Text);
        Main.ComboBox2.Items.emplace_back(CategoryNames[i].Text);
    }
    RadioIndex = 2;
    wb_.sel.ParamString = DefaultParamString;
    Category = "MPU";
    Manufacturer = "ATMEL";
    DeviceParams.assign(MaxListedDevices, std::string());
    DeviceLines.assign(MaxListedDevices, std::string());
    DeviceLineLong.assign(MaxListedDevices, 0);
    if (wb_.sel.AdapterLabel.empty()) wb_.sel.AdapterLabel = "No need";
    Loaders.LoadJed = [](Workbench& w) { quilla::LoadJed(w); };
    Loaders.LoadHex = [](Workbench& w) { quilla::LoadHex(w); };
    // Binary: every byte, from LoadStart (mode "All").
    Loaders.LoadBin = [](Workbench& w) { quilla::LoadBin(w, LoadModes[0].Mask, LoadModes[0].Match); };
}

TTypeDlg::~TTypeDlg() = default;

void TTypeDlg::Start() {
    wb_.FileNew();
    LoadConfig();
    std::error_code ec;
    if (!wb_.DataFileName.empty() && std::filesystem::is_regular_file(wb_.DataFileName, ec)) {
        std::string ext = UpperExtension(wb_.DataFileName);
        if (ext == ".JED" && Loaders.LoadJed) Loaders.LoadJed(wb_);
        else if (ext == ".HEX" && Loaders.LoadHex) Loaders.LoadHex(wb_);
        else if (ext == ".BIN" && Loaders.LoadBin) Loaders.LoadBin(wb_);
    }
    Visible = true;
    if (View) View->ShowDialog();
    FillMfrList();
    Main.Label2 = "Type:" + wb_.sel.TypeText;
    Changed();
}

void TTypeDlg::Changed() {
    if (View) View->Changed();
}

void TTypeDlg::ShowMessage(const std::string& text) { wb_.prompts.ShowMessage(text); }

// ---- device list ------------------------------------------------------------------

bool TTypeDlg::OpenDeviceList() {
    Main.Label3 = std::string(ListLinePrefix) + wb_.Ep3.ProgrammerModel;
    if (!listFile_.IsOpen()) {
        std::string path = wb_.ProgramDir + DeviceListFileFor(wb_.Ep3.ProgrammerModel);
        if (!listFile_.Open(path)) {
            Changed();
            // Where it looked, for whoever started the program from a terminal.
            std::fprintf(stderr, "quilla: cannot read the device list %s\n", path.c_str());
            wb_.prompts.ShowMsg(MissingListMsg);
            return false;
        }
    }
    listFile_.Rewind();
    return true;
}

void TTypeDlg::FillMfrList() {
    if (!OpenDeviceList()) return;
    ListBox1.Clear();
    Main.ComboBox1.Clear();
    MfrCount = 0;
    std::string piece, line, mfr;
    while (listFile_.NextPiece(piece)) {
        if (!DeviceLineCounts(piece, Category, line) || !MatchFind(line)) continue;
        if (!LineManufacturer(line, mfr)) continue;
        auto first = ListBox1.Items.begin();
        if (std::find(first, first + MfrCount, mfr) != first + MfrCount) continue;
        ListBox1.Items.push_back(mfr);
        Main.ComboBox1.Items.push_back(mfr);
        ++MfrCount;
    }
    if (ListBox1.Items.empty()) {
        ListBox2.Clear();
        Main.ListBox1.Clear();
        Changed();
        return;
    }
    if (!ListBox1.HasSelection()) ListBox1.Select(0);
    Main.ComboBox1.Text = Manufacturer;
    int at = ListBox1.IndexOf(Manufacturer);
    if (at >= 0) {
        ListBox1.Select(at);
        Main.ComboBox1.Select(at);
    } else {
        Manufacturer = ListBox1.Items.front();
    }
    Main.ComboBox1.Text = Manufacturer;
    Main.ComboBox2.Select(RadioIndex);
    Main.ComboBox2.Text = RadioIndex >= 0 && RadioIndex < static_cast<int>(RadioItems.size())
                              ? RadioItems[static_cast<std::size_t>(RadioIndex)]
                              : std::string();
    ListBox2.Clear();
    FillDeviceList();
    int dev = ListBox2.IndexOf(wb_.sel.SelectedDevice);
    if (dev >= 0) {
        ListBox2.Select(dev);
        Main.ListBox1.Select(dev);
    }
    Changed();
}

void TTypeDlg::FillDeviceList() {
    if (!OpenDeviceList()) return;
    ListBox2.Clear();
    Main.ListBox1.Clear();
    const std::string needle = " " + Manufacturer + " ";
    int n = 0;
    std::string piece, line, item, params;
    while (listFile_.NextPiece(piece)) {
        if (!DeviceLineCounts(piece, Category, line)) continue;
        if (line.find(needle) == std::string::npos || !MatchFind(line)) continue;
        if (!LineDevice(line, item, params)) continue;
        if (n >= MaxListedDevices) break;  // the parameter table holds no more
        const auto at = static_cast<std::size_t>(n);
        DeviceParams[at] = params;
        DeviceLines[at] = line;
        DeviceLineLong[at] = listFile_.PieceContinues() ? LongLineRest
                             : listFile_.PieceOfLongLine() ? LongLine
                                                           : WholeLine;
        ++n;
        ListBox2.Items.push_back(item);
        Main.ListBox1.Items.push_back(item);
    }
    if (!ListBox2.HasSelection()) ListBox2.Select(0);
    Main.ListBox1.Select(SavedDeviceIndex);
    Changed();
}

// ---- handlers -------------------------------------------------------------------------

void TTypeDlg::Radio1OnClick() {
    if (RadioIndex < 0 || RadioIndex >= static_cast<int>(RadioItems.size())) RadioIndex = 0;
    Category = CategoryNames[RadioIndex].Code;
    Main.ComboBox2.Select(RadioIndex);
    FillMfrList();
}

void TTypeDlg::SelectCategory(int item) {
    if (item < 0 || item >= static_cast<int>(RadioItems.size())) return;
    if (item == RadioIndex) return;
    RadioIndex = item;
    Radio1OnClick();
}

void TTypeDlg::OnMouseUp() {
    if (!ListBox1.HasSelection()) return;
    Manufacturer = ListBox1.Selected();
    FillDeviceList();
}

void TTypeDlg::OnKeyUp() { OnMouseUp(); }

void TTypeDlg::ClickManufacturer(int index) {
    ListBox1.Select(index);
    OnMouseUp();
}

void TTypeDlg::OnChange2() {
    FillMfrList();
    if (ListBox1.HasSelection()) {
        Manufacturer = ListBox1.Selected();
        Main.ComboBox1.Text = Manufacturer;
        FillDeviceList();
    }
}

void TTypeDlg::SetFindText(const std::string& text) {
    Edit2 = text;
    OnChange2();
}

bool TTypeDlg::BatchWaiting() {
    if (!wb_.Ep3.WaitingForChip()) return false;
    wb_.prompts.ShowMsg(BatchWaitingMessage);
    return true;
}

void TTypeDlg::OKBtnClick() {
    if (!ListBox2.HasSelection() || BatchWaiting()) return;
    const int i = ListBox2.ItemIndex;
    const std::string item = ListBox2.Selected();
    if (!item.empty() && item[0] == '-') return;  // a separator
    // A line that cannot open a form changes nothing: the status line and the
    // type line go on naming the device whose form is open, and the dialog
    // stays up for another choice.
    if (const std::string error = DeviceLineError(i); !error.empty()) {
        wb_.prompts.ShowMsg(error);
        Changed();
        return;
    }
    Selection& sel = wb_.sel;
    sel.TypeText = Manufacturer + ": " + item;
    Main.Label2 = "Type:    " + sel.TypeText;
    Main.StatusPanel2 = Manufacturer;
    Main.StatusPanel3 = item;
    SavedMfrIndex = ListBox1.ItemIndex;
    SavedDeviceIndex = i;
    Main.ListBox1.Select(i);
    sel.SelectedDevice = item;
    sel.ParamString = i < MaxListedDevices ? DeviceParams[static_cast<std::size_t>(i)] : std::string();
    Changed();
    OpenAlgorithmForm();
    Visible = false;
    if (View) View->HideDialog();
    FormClose();
    Changed();
}

void TTypeDlg::MFRClick() {
    if (BatchWaiting()) return;
    Edit1.clear();
    Changed();
    TEp3& ep = wb_.Ep3;
    if (!ep.Connected) {
        ep.ResetPins();
        return;
    }
    if (RadioIndex > 1) return;  // only EPROM and EEPROM
    if (!ep.ReadMfgId(wb_.sel.MfrIdByte, wb_.sel.DeviceIdByte)) return;
    char text[16];
    std::snprintf(text, sizeof text, "%02x,%02x", wb_.sel.MfrIdByte, wb_.sel.DeviceIdByte);
    Edit1 = text;
    Changed();
}

void TTypeDlg::FormClose() { listFile_.Close(); }

// ---- dispatch ----------------------------------------------------------------------------

int TTypeDlg::GetParam(std::string_view key) const { return quilla::GetParam(wb_.sel.ParamString, key); }

namespace {
// "Bad device line: "LINE": WHY", the line shortened for the message.
std::string BadLineMessage(std::string_view line, const std::string& why) {
    return "Bad device line: \"" + ShortForMessage(line) + "\": " + why;
}
}  // namespace

std::string TTypeDlg::DeviceLineError(int i) const {
    if (i < 0 || i >= MaxListedDevices || i >= static_cast<int>(ListBox2.Items.size())) return {};
    const auto at = static_cast<std::size_t>(i);
    const std::string& line = DeviceLines[at];
    const std::string& item = ListBox2.Items[at];
    std::string mfr, why;
    const std::size_t typeText = Manufacturer.size() + 2 + item.size();
    if (DeviceLineLong[at] != WholeLine) {
        why = std::string(DeviceLineLong[at] == LongLineRest ? "the rest of a line " : "") + "longer than " +
              std::to_string(DeviceLineMax) + " characters";
    } else if (LineManufacturer(line, mfr) && mfr.size() > MaxManufacturerName) {
        why = "the manufacturer name has " + std::to_string(mfr.size()) + " characters, " +
              std::to_string(MaxManufacturerName) + " at most";
    } else if (typeText > ConfigLineMax) {
        why = "the manufacturer and device name take " + std::to_string(typeText) + " characters, " +
              std::to_string(ConfigLineMax) + " at most";
    } else {
        why = dispatch_.WhyNoForm(DeviceParams[at]);
    }
    if (why.empty()) return {};
    return BadLineMessage(line, why);
}

void TTypeDlg::OpenAlgorithmForm() {
    if (BatchWaiting()) return;
    // R/W and Before dispatch what the configuration file restored, which no
    // list line was checked for.
    if (const std::string why = dispatch_.WhyNoForm(wb_.sel.ParamString); !why.empty()) {
        wb_.prompts.ShowMsg(BadLineMessage(wb_.sel.SelectedDevice + "," + wb_.sel.ParamString, why));
        Changed();
        return;
    }
    try {
        dispatch_.ReleaseBeforeOpening(wb_.sel.ParamString);
        if (BeforeDispatch) BeforeDispatch(wb_.sel.SelectedDevice);
        dispatch_.OpenAlgorithmForm();
    } catch (const FatalExit&) {
        throw;
    } catch (const std::exception& e) {
        // A form that failed to build or set up: say so, the program goes on.
        wb_.prompts.ShowMsg(e.what());
    }
    Changed();
}

// ---- the main window's commands -------------------------------------------------------------

void TTypeDlg::ComboBox1Change(int index) {
    if (index < 0) index = 0;
    if (index >= static_cast<int>(Main.ComboBox1.Items.size())) return;
    Main.ComboBox1.Select(index);
    Main.ComboBox1.Text = Main.ComboBox1.Items[static_cast<std::size_t>(index)];
    ListBox1.Select(index);
    if (ListBox1.HasSelection()) {
        Manufacturer = ListBox1.Selected();
        FillDeviceList();
    }
    Changed();
}

void TTypeDlg::ComboBox2Change(int index) {
    if (index < 0) index = 0;
    SelectCategory(index);
    Changed();
}

void TTypeDlg::List1OnDbClick() {
    if (!Main.ListBox1.HasSelection()) return;
    ListBox2.Select(Main.ListBox1.ItemIndex);
    OKBtnClick();
}

void TTypeDlg::List1KeyDown(int key) {
    if (key == 13) List1OnDbClick();
}

void TTypeDlg::ProgClick() {
    if (Main.ListBox1.ItemIndex != ListBox2.ItemIndex) {
        ShowMessage("Click mouse to change!!!");
        Main.ListBox1.Select(ListBox2.ItemIndex);
        Changed();
    }
    OpenAlgorithmForm();
}

void TTypeDlg::IDClick() {
    if (RadioIndex > 1) {
        ShowMessage("Only for EPROM & EEPROM (27xxx,28xxx,29xxx) !!!!!!");
        return;
    }
    MFRClick();
    char text[64];
    std::snprintf(text, sizeof text, "MFG ID  = %02x,     type ID = %02x ", wb_.sel.MfrIdByte,
                  wb_.sel.DeviceIdByte);
    ShowMessage(text);
}

void TTypeDlg::BeforClick() {
    LoadConfig();
    ProgClick();
}

bool TTypeDlg::SettingAllowed() {
    if (wb_.Ep3.IsModel("vex310")) {
        ShowMessage(wb_.Ep3.ProgrammerModel + "不支持这项选择");
        return false;
    }
    return true;
}

}  // namespace quilla
