// JEDEC fuse files and the fuse map kept in the image (one fuse per byte,
// the character '0' or '1', fuse n at image address n).
#pragma once

#include <cstddef>
#include <cstdint>
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

// Fills the fuse map from a JEDEC file: the map's (FuseRows + 6) x FuseCols
// fuses become '0', then every fuse of the file's "L" fields is stored at its
// address. Returns the fuse address reached (also stored in w.FuseCount), or
// -1 when the file cannot be opened (then nothing changes).
int ReadJed(std::vector<std::uint8_t>& image, FuseWindowState& w, const std::string& path);
// The same reader over text in memory.
int ReadJedText(std::vector<std::uint8_t>& image, FuseWindowState& w, const std::string& text);

// The name WriteJed writes to: the file name's extension becomes ".JED"
// (added when there is none); an extension that already reads ".jed" in any
// case is kept as given. Folders are never touched.
std::string JedFileName(const std::string& path);
// The JEDEC text WriteJed writes (CR LF line ends).
std::string JedText(const std::vector<std::uint8_t>& image, const FuseWindowState& w,
                    int variantIndex);
// Writes the map as a JEDEC file under JedFileName(path). False when the file
// cannot be created (nothing is reported).
bool WriteJed(const std::vector<std::uint8_t>& image, const FuseWindowState& w,
              int variantIndex, const std::string& path);

// The ".JED" branch of the load command: frees the buffer window, creates the
// fuse window when needed, captions it with DataFileName, reads the file and
// redraws.
void LoadJed(Workbench& wb);

}  // namespace quilla
