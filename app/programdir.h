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

// The same for this process (reads $QUILLA_HOME; the source data folder is
// SourceDataDir()).
std::string ResolveProgramDir(const std::string& exeDir);

// The source tree's data folder this build was configured with (ends with '/'):
// programs and tests run from the build tree read their data there. Only
// programdir.cpp knows the path, so no other object depends on where the
// source tree is.
std::string SourceDataDir();

}  // namespace quilla
