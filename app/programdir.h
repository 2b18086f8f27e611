// The program folder: where the read-only data lives (device lists, design
// files, placement pictures, help). $QUILLA_HOME when set; else the data
// installed beside the executable (<prefix>/share/quilla/ for <prefix>/bin/,
// or a data/ folder next to it); else, for a program run from its build tree,
// the source tree's data/.
#pragma once

#include <string>

namespace quilla {

// `home`: the value of $QUILLA_HOME (null or empty when unset); `exeDir`: the
// folder of the executable; `sourceData`: the source tree's data folder. The
// result always ends with '/'.
std::string ResolveProgramDir(const char* home, const std::string& exeDir,
                              const std::string& sourceData);

// The same for this process (reads $QUILLA_HOME; the source data folder is the
// one the build was configured with).
std::string ResolveProgramDir(const std::string& exeDir);

}  // namespace quilla
