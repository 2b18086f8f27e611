// SVF (JTAG) scripts: their text is held by the SVF window, line by line, and
// played from there; it never goes into the image.
#pragma once

#include <string>
#include <vector>

namespace quilla {

struct Workbench;

// Splits text into lines the way the window shows them: CR LF, LF and a lone
// CR each end a line; a line break at the very end adds no empty line.
std::vector<std::string> SplitSvfLines(const std::string& text);

// The ".SVF" branch of the load command: frees the buffer and fuse windows,
// creates the SVF window when needed, captions it with DataFileName and loads
// the file's text into it. A file that cannot be read is reported and the
// window keeps its previous text. False when the file could not be read.
bool LoadSvf(Workbench& wb);

// The line indicator: "Line:" and the 1-based number of the caret's line.
std::string SvfLineCaption(int zeroBasedLine);

// The player plays only from the SVF window, and only when the data file is
// an SVF file (its extension, upper-cased, is ".SVF").
bool SvfPlayable(const Workbench& wb);

}  // namespace quilla
