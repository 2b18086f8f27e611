// Side files: small files some forms keep beside the current image (same name,
// their own extension) to remember settings between program runs.
//
// A side file belongs to an image file: it is read and written only when the
// image was loaded from a file or saved to one (DataFileName names an existing
// file), and never when its name would be the image's own (an image whose
// extension already is the side file's).
//
// The files are written in the text-file convention of the program's earlier
// versions, which stored them in text mode: a byte 0x0A is stored as the pair
// 0x0D 0x0A and read back as 0x0A, and a byte 0x1A read from the file ends it.
// Files written by either side read back to the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quilla {

struct Workbench;

// The side file with extension `ext` (".c48", ".CON") beside the current
// image: DataFileName with its extension replaced (appended when it has none).
// Empty when the image has no file of its own or the side file would be the
// image itself.
std::string SideFilePath(const Workbench& wb, const std::string& ext);

// The bytes a text-mode write of `bytes` stores (0x0A becomes 0x0D 0x0A).
std::vector<std::uint8_t> TextModeEncode(std::span<const std::uint8_t> bytes);
// The bytes a text-mode read of stored bytes yields (0x0D 0x0A becomes 0x0A;
// the first 0x1A ends the data).
std::vector<std::uint8_t> TextModeDecode(std::span<const std::uint8_t> stored);

// A character of free text (a user ID typed in a box) as a side file stores
// it: 0x1A, which would end the file and lose what follows, becomes a space.
inline std::uint8_t SideFileTextByte(char c) {
    const auto b = static_cast<std::uint8_t>(c);
    return b == 0x1A ? std::uint8_t{' '} : b;
}

// Reads a whole file in text mode; false when it cannot be opened.
bool ReadTextModeFile(const std::string& path, std::vector<std::uint8_t>& bytes);
// Creates or truncates the file and writes `bytes` in text mode; false when
// it cannot be written completely.
bool WriteTextModeFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace quilla
