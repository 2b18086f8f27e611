#include "app/programdir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quilla {
namespace {

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

bool IsDir(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_directory(p, ec);
}

}  // namespace

std::string ResolveProgramDir(const char* home, const std::string& exeDir,
                              const std::string& sourceData) {
    if (home && *home) return WithSlash(home);
    if (!exeDir.empty()) {
        const std::filesystem::path exe(exeDir);
        const std::filesystem::path installed = exe / ".." / "share" / "quilla";
        if (IsDir(installed)) return WithSlash(std::filesystem::weakly_canonical(installed).string());
        if (IsDir(exe / "data")) return WithSlash((exe / "data").string());
    }
    return WithSlash(sourceData);
}

std::string ResolveProgramDir(const std::string& exeDir) {
    return ResolveProgramDir(std::getenv("QUILLA_HOME"), exeDir, SourceDataDir());
}

std::string SourceDataDir() {
#ifdef QUILLA_SOURCE_DATA
    return QUILLA_SOURCE_DATA;
#else
    return "data/";
#endif
}

}  // namespace quilla
