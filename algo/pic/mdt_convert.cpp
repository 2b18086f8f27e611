#include "algo/pic/mdt_convert.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/hexfile.h"

extern char** environ;

namespace quilla::mdt {

namespace {

std::size_t ExtensionDot(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string::npos;
    return dot;
}

}  // namespace

std::string WithExtension(const std::string& path, const std::string& ext) {
    const auto dot = ExtensionDot(path);
    return (dot == std::string::npos ? path : path.substr(0, dot)) + ext;
}

std::string UpperExtension(const std::string& path) {
    const auto dot = ExtensionDot(path);
    if (dot == std::string::npos) return {};
    std::string e = path.substr(dot);
    for (char& c : e) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return e;
}

bool HexToBin(const std::string& hexPath, const std::string& binPath, std::string* why) {
    auto fail = [why](const std::string& text) {
        if (why) *why = text;
        return false;
    };
    std::ifstream in(hexPath, std::ios::binary);
    if (!in) return fail("cannot open " + hexPath);
    const std::vector<std::uint8_t> text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::uint8_t> image(static_cast<std::size_t>(HexMaxStoreAddr) + 1, 0xFF);
    const HexReadResult r = ParseHex(text, image);
    if (!r.Stored) return fail("no data record in " + hexPath);
    const std::size_t length = (static_cast<std::size_t>(r.HighestAddr) | 1u) + 1;
    std::ofstream out(binPath, std::ios::binary | std::ios::trunc);
    if (!out) return fail("cannot create " + binPath);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(length));
    return out.good() ? true : fail("cannot write " + binPath);
}

bool RunConverter(const std::string& program, const std::vector<std::string>& args, const std::string& output) {
    if (program.empty()) return false;
    std::error_code ec;
    std::filesystem::remove(output, ec);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    return std::filesystem::exists(output, ec);
}

}  // namespace quilla::mdt
