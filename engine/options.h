// The options set: switches read by the engine and the forms' batch loops, and
// the stamping settings of the options dialog (the dialog is a view of this).
#pragma once

#include <string>

namespace quilla {

struct Options {
    bool MassProduction = false;    // "量产方式" (CheckBox3)
    bool ContactCheck = true;       // "检测引脚接触状态" (CheckBox4)
    bool FastCurrentCheck = false;  // "Fast检测超限电流": shown, read by nothing
};

}  // namespace quilla
