#include "algo/common/c48.h"

#include <algorithm>
#include <stdexcept>

#include "algo/common/sidefile.h"

namespace quilla {

std::optional<C48Settings> ParseC48(std::span<const std::uint8_t> bytes, const C48Form& form) {
    // The name line: up to its line feed, or up to the end of the file.
    const std::size_t limit = std::min<std::size_t>(bytes.size(), C48NameLineMax);
    const auto lf = std::find(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(limit), std::uint8_t{0x0A});
    std::size_t lineEnd;
    std::size_t dataStart;
    if (lf != bytes.begin() + static_cast<std::ptrdiff_t>(limit)) {
        lineEnd = static_cast<std::size_t>(lf - bytes.begin());
        dataStart = lineEnd + 1;
    } else if (bytes.size() <= C48NameLineMax) {
        lineEnd = dataStart = bytes.size();  // the file ends inside the name line
    } else {
        return std::nullopt;  // no line end within the line's room
    }
    const std::string name(reinterpret_cast<const char*>(bytes.data()), lineEnd);
    if (name.empty() || name != form.NameLine) return std::nullopt;

    C48Settings settings(static_cast<std::size_t>(form.DataBytes));
    for (std::size_t i = 0; i < settings.size() && dataStart + i < bytes.size(); ++i)
        settings[i] = bytes[dataStart + i];
    return settings;
}

std::vector<std::uint8_t> FormatC48(const C48Form& form, std::span<const std::uint8_t> data) {
    if (data.size() != static_cast<std::size_t>(form.DataBytes))
        throw std::logic_error(std::string(".c48 data of ") + form.NameLine + " has the wrong length");
    const std::string name(form.NameLine);
    std::vector<std::uint8_t> out(name.begin(), name.end());
    out.push_back(0x0A);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::optional<C48Settings> ReadC48(const std::string& path, const C48Form& form) {
    if (path.empty()) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    if (!ReadTextModeFile(path, bytes)) return std::nullopt;
    return ParseC48(bytes, form);
}

bool WriteC48(const std::string& path, const C48Form& form, std::span<const std::uint8_t> data) {
    if (path.empty()) return false;
    return WriteTextModeFile(path, FormatC48(form, data));
}

}  // namespace quilla
