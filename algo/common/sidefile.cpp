#include "algo/common/sidefile.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/workbench.h"

namespace quilla {

namespace {

constexpr std::uint8_t kLf = 0x0A;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kEof = 0x1A;

}  // namespace

std::string SideFilePath(const Workbench& wb, const std::string& ext) {
    if (wb.DataFileName.empty()) return {};
    std::error_code ec;
    const std::filesystem::path image(wb.DataFileName);
    if (!std::filesystem::is_regular_file(image, ec)) return {};
    std::filesystem::path side = image;
    side.replace_extension(ext);
    if (side == image) return {};
    return side.string();
}

std::vector<std::uint8_t> TextModeEncode(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> out;
    out.reserve(bytes.size() + 2);
    for (std::uint8_t b : bytes) {
        if (b == kLf) out.push_back(kCr);
        out.push_back(b);
    }
    return out;
}

std::vector<std::uint8_t> TextModeDecode(std::span<const std::uint8_t> stored) {
    std::vector<std::uint8_t> out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const std::uint8_t b = stored[i];
        if (b == kEof) break;
        if (b == kCr && i + 1 < stored.size() && stored[i + 1] == kLf) continue;
        out.push_back(b);
    }
    return out;
}

bool ReadTextModeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<std::uint8_t> stored;
    std::uint8_t buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) stored.insert(stored.end(), buf, buf + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) return false;
    bytes = TextModeDecode(stored);
    return true;
}

bool WriteTextModeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const std::vector<std::uint8_t> stored = TextModeEncode(bytes);
    const bool wrote = std::fwrite(stored.data(), 1, stored.size(), f) == stored.size();
    const bool closed = std::fclose(f) == 0;
    return wrote && closed;
}

}  // namespace quilla
