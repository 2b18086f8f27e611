// The fuzz targets' scratch files: one private folder per process, so the
// readers that take a path read what the fuzzer wrote.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace quilla::fuzz {

inline const std::filesystem::path& ScratchDir() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("quilla-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

// Writes `size` bytes to `name` under the scratch folder; returns its path.
inline std::string ScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path p = ScratchDir() / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                               static_cast<std::streamsize>(size));
    return p.string();
}

}  // namespace quilla::fuzz
