#include "app/fileops.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/binfile.h"
#include "app/hexfile.h"
#include "app/jedec.h"
#include "app/numparse.h"
#include "app/savefile.h"
#include "app/svf.h"
#include "app/workbench.h"

namespace quilla {

void FileFormatModel::SelectByExt(const std::string& dataFileName) {
    Caption = dataFileName;
    OnRadioClick(FormatIndexByExt(dataFileName));
}

void FileFormatModel::OnRadioClick(int index) {
    Format = index;
    RangeEnabled = index == FmtBin;
    LoadModeEnabled = index <= 0;
}

void FileFormatModel::OnClick2(int index) {
    if (index < 0 || index >= LoadModeCount) return;
    LoadMode = index;
    LoadMask = LoadModes[index].Mask;
    LoadMatch = LoadModes[index].Match;
}

void FileFormatModel::OKBtnClick(Workbench& wb) {
    if (auto v = ParseHex32(Edit1)) wb.LoadStart = *v;
}

void FileFormatModel::CancelBtnClick() { Format = FmtNone; }

namespace {

// Runs the loader of format `key` (".HEX", ".JED", ...) on wb.DataFileName.
void RunLoader(Workbench& wb, const std::string& key, const FileFormatModel& model, const OtherFormats& other) {
    if (key == ".HEX") {
        LoadHex(wb);
    } else if (key == ".JED") {
        if (other.LoadJed) other.LoadJed(wb);
        else LoadJed(wb);
    } else if (key == ".SVF") {
        if (other.LoadSvf) other.LoadSvf(wb);
        else LoadSvf(wb);
    } else if (key == ".BIN") {
        LoadBin(wb, model.LoadMask, model.LoadMatch);
    } else if (key == ".CDS") {
        LoadCds(wb);
    }
}

}  // namespace

void LoadFileClick(Workbench& wb, FileFormatModel& model, FileUi& ui, const OtherFormats& other) {
    auto name = ui.OpenFileName(wb);
    if (!name) return;
    wb.DataFileName = *name;
    model.SelectByExt(wb.DataFileName);
    model.Edit1 = "000000";
    model.Edit2 = "ffffff";
    ui.ShowFormatDialog(model, wb);
    const std::string key = FormatKey(model.Format);
    if (key.empty()) return;
    RunLoader(wb, key, model, other);
}

bool LoadNamedFile(Workbench& wb, const std::string& fileName, const OtherFormats& other) {
    std::error_code ec;
    const auto status = std::filesystem::status(fileName, ec);
    if (!std::filesystem::exists(status)) {
        wb.prompts.ShowMessage("Can not open " + fileName + ": no such file");
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        wb.prompts.ShowMessage("Can not open " + fileName + ": not a file");
        return false;
    }
    // Only a known extension chooses the loader (File/Load would offer binary
    // for anything else, but here nobody sees the format dialog).
    FileFormatModel model;
    model.SelectByExt(fileName);
    const std::string key = FormatKey(model.Format);
    const std::string base = std::filesystem::path(fileName).filename().string();
    const std::size_t dot = base.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : base.substr(dot, 4);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext != key) {
        wb.prompts.ShowMessage("Can not load " + fileName + ": unknown file type" +
                               (dot == std::string::npos ? std::string() : " (" + base.substr(dot) + ")"));
        return false;
    }
    wb.DataFileName = fileName;
    wb.LoadStart = 0;
    model.OnClick2(0);  // binary: every byte
    RunLoader(wb, key, model, other);
    return true;
}

void SaveBufClick(Workbench& wb, FileFormatModel& model, FileUi& ui, const OtherFormats& other) {
    if (!wb.FileWin && !wb.PldFileW) return;
    auto name = ui.SaveFileName(wb);
    if (!name) return;
    // A save that fails leaves the current data file as it was.
    const std::string previous = wb.DataFileName;
    wb.DataFileName = *name;
    model.SelectByExt(wb.DataFileName);
    model.LoadModeEnabled = false;
    model.Edit1 = "000000";
    if (wb.FileWin) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%06x", static_cast<unsigned>(wb.FileWin->EndAddr));
        model.Edit2 = buf;
    }
    ui.ShowFormatDialog(model, wb);
    const std::string key = FormatKey(model.Format);
    if (key.empty()) return;
    // Each writer saves whole or not at all and names its own failure once.
    bool saved = true;
    if (key == ".HEX") {
        saved = SaveHex(wb);
    } else if (key == ".JED") {
        if (wb.PldFileW) {
            saved = other.WriteJed ? other.WriteJed(wb) : SaveJed(wb);
        } else {
            wb.prompts.ShowMessage(CannotSaveMessage(wb.DataFileName, "no fuse map is open"));
            saved = false;
        }
    } else if (key == ".BIN") {
        saved = SaveBin(wb, model.Edit1, model.Edit2);
    } else if (key == ".CDS") {
        wb.prompts.ShowMessage("Save format error...");
        saved = false;
    }
    // ".SVF": nothing is written.
    if (!saved) wb.DataFileName = previous;
}

}  // namespace quilla
