// Raw binary and CDS files, the byte-split load modes and the format choice
// by file extension.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quilla {

struct Workbench;

// Highest image address (8 MiB image).
inline constexpr int ImageLastAddr = 0x7FFFFF;
// Input bytes a binary load reads at most (8 MiB + 1).
inline constexpr int BinMaxInput = 0x800001;

// The eight load modes of the format dialog: input byte j is kept when
// (j & Mask) == Match.
struct LoadModeRow {
    const char* Item;
    int Mask;
    int Match;
};
inline constexpr int LoadModeCount = 8;
extern const LoadModeRow LoadModes[LoadModeCount];

// The format items of the format dialog; only their first four characters
// (".BIN", ".HEX", ".JED", ".CDS", ".SVF") matter.
inline constexpr int FormatCount = 5;
extern const char* const FormatItems[FormatCount];
enum FormatIndex : int { FmtNone = -1, FmtBin = 0, FmtHex = 1, FmtJed = 2, FmtCds = 3, FmtSvf = 4 };
// The first four characters of item `index`, upper-cased; "" for no item.
std::string FormatKey(int index);
// The item a file name preselects: its extension (taken from the name only,
// never from a folder), cut to four characters and upper-cased, against the
// items' first four characters; FmtBin when nothing matches.
int FormatIndexByExt(const std::string& fileName);

// Stores the kept bytes of `data` into `image` from `start` on, never past the
// image's end, reading at most BinMaxInput input bytes. Returns the last
// address written (start - 1 when nothing was). `start` must lie inside the
// image. `used` (optional) receives the number of input bytes looked at: a
// kept byte at or after it was not stored.
int StoreBin(std::span<const std::uint8_t> data, std::span<std::uint8_t> image, int start,
             int mask, int match, std::size_t* used = nullptr);
// The CDS shift: image byte i := image byte i + 2 for i = 0..last, in
// ascending order; a byte whose source lies past the image keeps its value.
void CdsShift(std::span<std::uint8_t> image, int last);

// Loads DataFileName from LoadStart with a load mode; LoadedEnd and the buffer
// window's EndAddr := the last address written; frees the fuse and SVF
// windows. A file that cannot be opened ("Cann't open *.bin: \n" + its name),
// or a LoadStart outside the image, changes nothing and is reported. Kept bytes that did not fit (past the
// image's end, or past the 8 MiB + 1 input bytes a load reads) are named in
// one message after the load, by their offset in the file. A file that stores
// nothing (empty, or no byte the load mode keeps) says so and changes nothing.
// Returns true when the file was loaded.
bool LoadBin(Workbench& wb, int mask, int match);
// A CDS file: loaded as binary from LoadStart in mode "All", then shifted down
// by its two leading bytes.
bool LoadCds(Workbench& wb);
// Writes the image from `startText` to `endText` (both hex, inclusive; only
// addresses inside the image) into DataFileName, whole or not at all
// (WriteWholeFile). A field that does not read as hex writes nothing, leaves
// the file alone and says so; a save that fails keeps the old file and shows
// one message naming the file and the reason. Returns true when the file was
// written.
bool SaveBin(Workbench& wb, const std::string& startText, const std::string& endText);

}  // namespace quilla
