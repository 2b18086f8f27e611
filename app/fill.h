// The fill and resize dialog without its widgets: the three fields, the mode
// and what OK does to the image and the buffer window's end address.
#pragma once

#include <string>

namespace quilla {

struct Workbench;

// The highest end address the dialog sets.
inline constexpr int FillMaxEndAddr = 0xFFFFF;

struct InputHexModel {
    // The fields keep their texts between uses of the dialog.
    std::string Edit1 = "0000";  // "Start at:"
    std::string Edit2 = "ffff";  // "End.Add :"
    std::string Edit3 = "ff";    // "FillData:"
    // Last values read from the fields.
    int StartAddr = 0;
    int EndAddr = 0;
    int FillValue = 0;
    // Fill mode: "Start at:" and "FillData:" enabled. Resize mode: disabled.
    bool FillMode = true;
    bool Visible = false;

    // "FillData": enables the start and value fields, shows the dialog.
    void FillClick();
    // "Resize buffer": disables them, shows the dialog.
    void MaxAddrClick();
    // OK. Without a buffer window nothing happens and the dialog stays open
    // (false). Otherwise the fields are read as hex (one that does not read
    // keeps its previous value), the end is kept within -1 .. 0xFFFFF; resize
    // sets the buffer window's EndAddr to it, a fill stores the low 8 bits of
    // the value from max(start, 0) to it and sets EndAddr to the larger of the
    // old EndAddr and the fill's end (a fill never shortens the buffer); the
    // windows are redrawn and the dialog closes (true).
    bool OKBtnClick(Workbench& wb);
    // Cancel: closes; nothing changes.
    void CancelBtnClick();
};

}  // namespace quilla
