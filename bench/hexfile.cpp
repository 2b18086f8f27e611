// Loading and saving a 1 MiB image as Intel HEX, beside binutils' objcopy
// converting the same file to binary, measured in the same run.
// Goal: our load at least twice as fast as objcopy's whole run.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/hexfile.h"
#include "app/workbench.h"

extern char** environ;

namespace {

class SilentPrompts : public quilla::Prompts {
public:
    int Message(const std::string&, const std::string&, quilla::MsgKind, int buttons) override {
        return buttons & quilla::BtnOk ? quilla::BtnOk : buttons & -buttons;
    }
    void Beep() override {}
};

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <typename F>
std::vector<double> Times(int runs, F f) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        auto s = Clock::now();
        f();
        t.push_back(Ms(Clock::now() - s));
    }
    std::sort(t.begin(), t.end());
    return t;
}

bool RunTool(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int rc = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (rc != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Print(const char* what, const std::vector<double>& t) {
    std::printf("%-36s median %8.2f ms   best %8.2f ms\n", what, t[t.size() / 2], t.front());
}

}  // namespace

int main() {
    const int runs = 15;
    auto dir = std::filesystem::temp_directory_path() / ("quilla-bench-hex-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string hex = (dir / "image.hex").string();
    const std::string bin = (dir / "image.bin").string();

    SilentPrompts prompts;
    quilla::Workbench wb(prompts);
    std::mt19937 rng(1);
    for (int a = 0; a < 0x100000; ++a) wb.ImageBuffer[a] = static_cast<std::uint8_t>(rng());
    wb.FileNew();
    wb.FileWin->EndAddr = 0xFFFFF;
    wb.DataFileName = hex;

    auto save = Times(runs, [&] { quilla::SaveHex(wb); });
    const auto size = std::filesystem::file_size(hex);
    auto load = Times(runs, [&] { quilla::LoadHex(wb); });
    if (wb.FileWin->EndAddr != 0xFFFFF) std::printf("warning: load ended at %x\n", wb.FileWin->EndAddr);

    std::printf("1 MiB image as Intel HEX (%zu bytes), %d runs each\n", static_cast<std::size_t>(size), runs);
    Print("SaveHex", save);
    Print("LoadHex", load);
    bool haveObjcopy = RunTool({"objcopy", "--version"});
    if (haveObjcopy) {
        auto oc = Times(runs, [&] { RunTool({"objcopy", "-I", "ihex", "-O", "binary", hex, bin}); });
        Print("objcopy -I ihex -O binary (whole run)", oc);
        const double ratio = oc[oc.size() / 2] / load[load.size() / 2];
        std::printf("objcopy / LoadHex (medians): %.1fx  (goal: at least 2x) %s\n", ratio,
                    ratio >= 2.0 ? "met" : "NOT met");
    } else {
        std::printf("objcopy not installed: no comparison\n");
    }
    std::filesystem::remove_all(dir);
    return 0;
}
