#include "app/fill.h"

#include <algorithm>

#include "app/numparse.h"
#include "app/workbench.h"

namespace quilla {

void InputHexModel::FillClick() {
    FillMode = true;
    Visible = true;
}

void InputHexModel::MaxAddrClick() {
    FillMode = false;
    Visible = true;
}

bool InputHexModel::OKBtnClick(Workbench& wb) {
    if (!wb.FileWin) return false;
    if (auto v = ParseHex32(Edit1)) StartAddr = *v;
    if (auto v = ParseHex32(Edit2)) EndAddr = *v;
    if (auto v = ParseHex32(Edit3)) FillValue = *v;

    // -1 is the empty buffer; nothing below it means anything.
    const int end = std::clamp(EndAddr, -1, FillMaxEndAddr);
    // Resize sets the end; a fill only ever extends the buffer, so that a fill
    // inside a loaded image never drops what lies after it from a save.
    wb.FileWin->EndAddr = FillMode ? std::max(wb.FileWin->EndAddr, end) : end;
    if (FillMode) {
        const auto value = static_cast<std::uint8_t>(FillValue & 0xFF);
        for (int a = std::max(StartAddr, 0); a <= end; ++a) wb.ImageBuffer[static_cast<std::size_t>(a)] = value;
    }
    wb.Display();
    Visible = false;
    return true;
}

void InputHexModel::CancelBtnClick() { Visible = false; }

}  // namespace quilla
