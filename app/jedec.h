// JEDEC fuse files and the fuse map kept in the image (one fuse per byte,
// the character '0' or '1', fuse n at image address n).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quilla {

struct Workbench;
struct FuseWindowState;

// Extra rows the fuse window, the reader's '0' fill and the writer cover
// beyond the device's fuse array.
inline constexpr int FuseExtraRows = 6;
// Rows the writer writes at most.
inline constexpr int JedMaxWriteRows = 135;

// (FuseRows + 6) x FuseCols, kept inside 0 .. imageSize.
int FuseMapCount(const FuseWindowState& w, std::size_t imageSize);

// The JEDEC fuse checksum: fuses taken in groups of 8 from `fuses[0]`, fuse k
// of a group giving bit k (a fuse is 1 when the low bit of its character is
// set), the bytes added into a wrapping 16-bit sum. A last group shorter than
// 8 fuses is padded with 0.
std::uint16_t JedecChecksum(const std::uint8_t* fuses, std::size_t count);

// The window's own sum: over the FuseRows x FuseCols fuses of the array only
// (the six extra rows are not included).
std::uint16_t FuseChecksum(const std::vector<std::uint8_t>& image, const FuseWindowState& w);
// "%04x" of FuseChecksum: the text of the window's checksum field.
std::string FuseChecksumText(const std::vector<std::uint8_t>& image, const FuseWindowState& w);

// What one read of a JEDEC text found.
struct JedReadReport {
    // The text has something to load: an "L" (fuse list) or "F" (default
    // state) field after the header. Without one nothing was changed.
    bool HasData = false;
    long long DeclaredFuses = -1;  // the "QF" field (-1: none), kept inside the image
    bool DefaultState = false;     // an "F" field gave the state of unlisted fuses
    long long Reached = 0;         // the fuse address the "L" fields reached
    // Fuses below the QF count that the "L" fields set (counted only when the
    // file gives a QF and no default state).
    long long FusesSet = 0;
    // The text ends inside a field after the header (no '*' closing it): a
    // fuse list, or a note or other field among or after the lists.
    bool EndsInList = false;
    int EndLine = 0;               // line (from 1) of the last fuse read, else of the last "L"
    // The file's fuse checksum ("C" field, four hex digits; none when the file
    // carries no readable one) against the checksum of the fuses as loaded
    // (the file's QF count from fuse 0, else the fuses up to Reached).
    std::optional<std::uint16_t> FileSum;
    std::uint16_t LoadedSum = 0;
    long long SumFuses = 0;        // the fuses LoadedSum covers
    bool ChecksumMismatch() const { return FileSum && *FileSum != LoadedSum; }
    // The fuse list stops before the file is done with it: the text ends
    // inside a field, or sets fewer fuses than its QF says (and gives no
    // default state for the others).
    bool CutShort() const {
        return EndsInList || (DeclaredFuses > 0 && !DefaultState && FusesSet < DeclaredFuses);
    }
};
// The checksum message naming the field, both values and the fuse count.
std::string JedChecksumMessage(const JedReadReport& report);

// Fills the fuse map from a JEDEC file: the map's (FuseRows + 6) x FuseCols
// fuses become '0', the fuses below the file's fuse count ("QF") take its
// default state ("F", else '0'), then every fuse of the file's "L" fields is
// stored at its address. Returns the fuse address reached (also stored in w.FuseCount), or
// -1 when the file cannot be opened or read, a folder included (then nothing
// changes). A text with nothing to load (no "L" or "F" field after the header:
// empty, binary, no field ended by '*') changes nothing and returns 0.
// `report`, when given, receives what the read found.
int ReadJed(std::vector<std::uint8_t>& image, FuseWindowState& w, const std::string& path,
            JedReadReport* report = nullptr);
// The same reader over text in memory.
int ReadJedText(std::vector<std::uint8_t>& image, FuseWindowState& w, const std::string& text,
                JedReadReport* report = nullptr);

// The name WriteJed writes to: the file name's extension becomes ".JED"
// (added when there is none); an extension that already reads ".jed" in any
// case is kept as given. Folders are never touched.
std::string JedFileName(const std::string& path);
// The JEDEC text WriteJed writes (CR LF line ends). Each fuse is written as
// '0' or '1' by the low bit of its byte.
std::string JedText(const std::vector<std::uint8_t>& image, const FuseWindowState& w,
                    int variantIndex);
// Writes the map as a JEDEC file under JedFileName(path), whole or not at all
// (WriteWholeFile). False when it could not be written (the old file is kept;
// `reason`, when given, receives the system's error text; nothing is shown).
bool WriteJed(const std::vector<std::uint8_t>& image, const FuseWindowState& w,
              int variantIndex, const std::string& path, std::string* reason = nullptr);

// The fuse window's rows: "L%04d " of the row's first fuse, then FuseCols
// fuse characters, for the (FuseRows + 6) rows of the map (those inside the
// image). Bytes outside 0x20..0x7E show as '.'.
std::string FuseRowLabel(int firstFuse);
std::vector<std::string> FuseMapLines(const std::vector<std::uint8_t>& image, const FuseWindowState& w);
// Column of a row's first fuse: the length of its label (6 while fuse
// numbers have at most four digits).
int FuseFirstColumn(const FuseWindowState& w, int line);
// Fuse under the caret: line x FuseCols, plus the offset into the row when
// the caret stands on one of its fuses.
int FuseCursorAddress(const FuseWindowState& w, int line, int column);
// A typed key: '0' or '1' on a fuse column stores the fuse (nothing
// outside the image; a stored fuse clears ArchitectureUnread); other keys and
// columns change nothing. True when stored.
bool FuseKeyPress(std::vector<std::uint8_t>& image, FuseWindowState& w, int line, int column,
                  char key);

// Fuses a logic-device form sets to '1' when it first creates the window.
inline constexpr int FuseFormFill = 6000;
// What the logic-device forms do to show their map: free the buffer window,
// create the fuse window when needed (then image 0..5999 := '1'), set its
// geometry and the device's JEDEC fuse count (0: not known) and redraw.
FuseWindowState& OpenFuseWindow(Workbench& wb, int fuseCols, int fuseRows, int deviceFuses = 0);

// The ".JED" branch of the load command: reads DataFileName first (one that
// cannot be read, a folder included, shows "Cann't open :\n" + the name and
// changes nothing; so does, with "No data in FILE: nothing was loaded", one
// with nothing to load), then frees the buffer window, creates the fuse window
// when needed, captions it with DataFileName, fills the map and redraws.
// After the load, one message each (the map stays loaded): a QF that differs
// from the device's fuse count the fuse window knows, a fuse list cut short
// (where it ended), a checksum field that differs from the fuses loaded.
void LoadJed(Workbench& wb);
// The save command's ".JED" branch: the fuse window's map to
// JedFileName(DataFileName) (nothing without a fuse window). A save that
// fails keeps the old file and shows one message naming the .jed written and
// the reason. False when nothing was written.
bool SaveJed(Workbench& wb);

}  // namespace quilla
