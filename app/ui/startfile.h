// The data file named on the command line, opened once the main window is up.
#pragma once

#include <string>

#include "app/fileops.h"

namespace quilla {

class QtPrompts;
class TMainForm;

// Loads `file` by its extension (LoadNamedFile); a file that cannot be loaded
// gives its message over the main window, which owns the message box.
void LoadStartFile(TMainForm& main, QtPrompts& prompts, const std::string& file, const OtherFormats& other = {});

}  // namespace quilla
