#include "app/workbench.h"

#include <cstdint>

#include "app/numparse.h"
#include "app/stamps.h"

namespace quilla {

void Workbench::FileNew() {
    if (PldFileW) PldFileW.reset();
    if (!FileWin) {
        FileWin = std::make_unique<HexWindowState>();
        DataFileName = "noname.bin";
        FileWin->Title = DataFileName;
        FileWin->EndAddr = 0xFFFF;
        FileWin->ViewStart = 0;
    }
    if (view) view->DataWindowsChanged();
    Display();
}

void Workbench::Display() {
    if (FileWin) FileWin->Display(*this);
    if (view) view->Display();
}

void Workbench::PassCount(int) {
    if (ErrorFlag() != 0) return;
    prompts.Beep();
    // The field is read as a decimal number; text that is not one counts from 0.
    const std::int64_t value = ParseDec32(Counter).value_or(0);
    Counter = std::to_string(value + 1);
    if (view) view->CounterChanged();
    ApplyStamps(*this);
}

}  // namespace quilla
