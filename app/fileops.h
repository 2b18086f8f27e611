// The main window's Load and Save commands without any widget: the state of
// the format dialog, and the dispatch by the chosen format. The platform side
// (file dialogs, the modal format dialog) comes in through FileUi.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quilla {

struct Workbench;

// What the format dialog ("Format  ") shows and the user chose. The dialog is
// created once and reused: everything here persists between uses.
struct FileFormatModel {
    std::string Caption = "Format  ";
    int Format = 0;              // RadioGroup1 index; -1 = no item (abandon)
    int LoadMode = 0;            // LoadMode (RadioGroup2) index
    bool LoadModeEnabled = true;
    bool RangeEnabled = true;    // Edit1 and Edit2
    std::string Edit1 = "0";       // "Buffer start at:(Hex)   "
    std::string Edit2 = "ffffff";  // "缓冲区End.Add (hex     )"
    int LoadMask = 0;
    int LoadMatch = 0;

    // Caption := the file name; preselects the format by its extension.
    void SelectByExt(const std::string& dataFileName);
    // A format item chosen: the start and end fields only for ".BIN", the
    // load modes only for ".BIN" or no item.
    void OnRadioClick(int index);
    // A load mode chosen: LoadMask and LoadMatch from its row.
    void OnClick2(int index);
    // OK: LoadStart := the start field read as hex (unchanged when unreadable).
    void OKBtnClick(Workbench& wb);
    // Cancel (and Escape): no item, so the command is abandoned.
    void CancelBtnClick();
};

// The platform's file dialogs and the modal format dialog.
class FileUi {
public:
    virtual ~FileUi() = default;
    // Open and save dialogs: the chosen file name, or nothing when cancelled.
    virtual std::optional<std::string> OpenFileName(const Workbench& wb) = 0;
    virtual std::optional<std::string> SaveFileName(const Workbench& wb) = 0;
    // Shows the format dialog modal over `model`. OK runs OKBtnClick, Cancel
    // and Escape run CancelBtnClick; closing it by its title bar runs neither.
    virtual void ShowFormatDialog(FileFormatModel& model, Workbench& wb) = 0;
};

// The formats handled by the fuse-map and SVF windows. An empty entry uses
// the program's own LoadJed, LoadSvf and SaveJed (with the selected variant).
struct OtherFormats {
    std::function<void(Workbench&)> LoadJed;
    std::function<void(Workbench&)> LoadSvf;
    // Writes the fuse window to DataFileName (only called when it exists);
    // false when nothing was saved.
    std::function<bool(Workbench&)> WriteJed;
};

// File/Load: open dialog, format dialog, then the loader of the chosen format.
void LoadFileClick(Workbench& wb, FileFormatModel& model, FileUi& ui, const OtherFormats& other = {});
// A file named when the program starts: loaded by its extension (.hex, .bin,
// .jed, .svf, .cds; upper or lower case) with the loader File/Load runs for that
// format, binary files from buffer address 0 keeping every byte. A name that is
// no file (missing, a folder) or has no known extension loads nothing and
// gives one message naming it. True when a loader ran.
bool LoadNamedFile(Workbench& wb, const std::string& fileName, const OtherFormats& other = {});
// File/Save: save dialog, format dialog, then the writer of the chosen format.
// A file is saved whole or not at all: a failed save keeps the old file and
// shows one message naming the file and the reason; a cancelled one is silent.
void SaveBufClick(Workbench& wb, FileFormatModel& model, FileUi& ui, const OtherFormats& other = {});

}  // namespace quilla
