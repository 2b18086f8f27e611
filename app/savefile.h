// Saving a user's file whole or not at all: the data goes to a temporary file
// beside the target, which replaces the target only after every write, the
// flush to the disk and the close succeeded. A failure leaves the old file as
// it was. The HEX, binary and JEDEC savers share it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quilla {

// Writes `data` as the whole content of `path`.
//  - A symbolic link is followed (also a chain of them): the file it names is
//    replaced, the link stays.
//  - An existing target keeps its permission bits (and its owner and group
//    where the system allows it); a new one gets what creating it would give.
//  - A target the user may not write is refused, and so is one that no one
//    may write (no write bit at all), which a direct write would only pass
//    for the superuser; a folder or a device is refused too.
//  - The temporary file is a hidden name in the target's folder; it is removed
//    on any failure.
// Returns true on success; on failure `reason` (when given) receives the
// system's error text ("No such file or directory", "File too large", ...).
bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> data, std::string* reason = nullptr);
inline bool WriteWholeFile(const std::string& path, std::string_view text, std::string* reason = nullptr) {
    return WriteWholeFile(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), reason);
}

// The one message a failed save shows: "Can not save FILE: REASON".
std::string CannotSaveMessage(const std::string& path, const std::string& reason);

}  // namespace quilla
