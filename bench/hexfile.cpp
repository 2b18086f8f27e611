// Loading and saving a 1 MiB image as Intel HEX, beside binutils' objcopy
// converting the same file to binary, measured in the same run; and the
// reader on the same text beside the earlier reader (a frozen copy of the
// reader of commit cab3685, which added this benchmark), run in turns.
// Goals: our load at least twice as fast as objcopy's whole run; the reader
// at least as fast as the earlier one.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "app/hexfile.h"
#include "app/workbench.h"

extern char** environ;

// The earlier reader: the HEX reader of commit cab3685, unchanged but for its
// result (a struct of its own). It stops at the first data it cannot store and
// knows no line ends, EEPROM records or ranges; on a file of whole records
// inside the first 1 MiB it stores what today's reader stores. g++ built it at
// -O3 then; -O2 builds it as today's Release does.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC push_options
#pragma GCC optimize("O3")
#endif
namespace earlier {

using quilla::HexMaxRecordAddr;
using quilla::HexMaxStoreAddr;

struct HexReadResult {
    int HighestAddr = 0;
    bool WrongFile = false;
    int ChecksumErrorLine = 0;
};

constexpr std::array<std::uint8_t, 256> MakeDigitTable() {
    std::array<std::uint8_t, 256> t{};
    for (unsigned c = 0; c < 256; ++c) {
        unsigned u = (c >= 'a' && c <= 'z') ? c - 32 : c;
        unsigned v = u <= 0x40 ? u - 0x30 : u - 55;
        t[c] = static_cast<std::uint8_t>(v & 0xFF);
    }
    return t;
}
constexpr std::array<std::uint8_t, 256> DigitValue = MakeDigitTable();

inline std::uint8_t Pair(std::uint8_t high, std::uint8_t low) {
    return static_cast<std::uint8_t>(DigitValue[high] * 16u + DigitValue[low]);
}

int LineOf(std::span<const std::uint8_t> text, std::size_t pos) {
    int line = 1;
    for (std::size_t i = 0; i < pos; ++i) {
        if (text[i] == '\n') ++line;
        else if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) ++line;
    }
    return line;
}

class HexReader {
public:
    HexReader(std::span<const std::uint8_t> text, std::span<std::uint8_t> image)
        : t_(text), image_(image) {}

    HexReadResult Run() {
        std::uint8_t prev = 0;
        while (pos_ < t_.size()) {
            std::uint8_t c = t_[pos_++];
            if (c == ':' && prev < 0x20) {
                std::size_t start = pos_ - 1;
                if (!Record(start)) {
                    if (cut_ && badRecord_ == npos) badRecord_ = start;
                    break;
                }
            } else {
                prev = c;
            }
        }
        if (badRecord_ != npos) result_.ChecksumErrorLine = LineOf(t_, badRecord_);
        return result_;
    }

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    bool Next(std::uint8_t& out) {
        if (t_.size() - pos_ < 2) {
            pos_ = t_.size();
            cut_ = true;
            return false;
        }
        out = Pair(t_[pos_], t_[pos_ + 1]);
        pos_ += 2;
        return true;
    }

    void Check(std::size_t start, unsigned sum, std::size_t pairs) {
        if (badRecord_ != npos) return;
        std::size_t p = pos_;
        for (std::size_t k = 0; k < pairs; ++k, p += 2) {
            if (t_.size() < p + 2) {
                badRecord_ = start;
                return;
            }
            sum += Pair(t_[p], t_[p + 1]);
        }
        if ((sum & 0xFF) != 0) badRecord_ = start;
    }

    bool Record(std::size_t start) {
        std::uint8_t count, hi, lo, type;
        if (!Next(count) || count == 0) return false;
        if (!Next(hi) || !Next(lo)) return false;
        std::int64_t addr = (hi << 8 | lo) + linear_ + segment_;
        if (addr > HexMaxRecordAddr) return false;
        if (!Next(type)) return false;
        if (type > 4) {
            result_.WrongFile = true;
            return false;
        }
        if (type == 1) return false;
        unsigned sum = count + hi + lo + type;
        if (type == 4 || type == 2) {
            std::uint8_t vh, vl;
            if (!Next(vh) || !Next(vl)) return false;
            std::int64_t value = vh << 8 | vl;
            if (type == 4) linear_ = value * 65536;
            else segment_ = value * 16;
            sum += vh + vl;
            Check(start, sum, count >= 2 ? count - 2u + 1u : 0u);
            return true;
        }
        if (type == 3) {
            Check(start, sum, count + 1u);
            return true;
        }
        for (unsigned k = 0; k < count; ++k) {
            std::uint8_t b;
            if (!Next(b)) return false;
            std::int64_t a = addr + k;
            if (a > HexMaxStoreAddr || a >= static_cast<std::int64_t>(image_.size())) return false;
            image_[static_cast<std::size_t>(a)] = b;
            if (a > result_.HighestAddr) result_.HighestAddr = static_cast<int>(a);
            sum += b;
        }
        Check(start, sum, 1);
        return true;
    }

    std::span<const std::uint8_t> t_;
    std::span<std::uint8_t> image_;
    std::size_t pos_ = 0;
    std::int64_t linear_ = 0;
    std::int64_t segment_ = 0;
    std::size_t badRecord_ = npos;
    bool cut_ = false;
    HexReadResult result_;
};

HexReadResult ParseHex(std::span<const std::uint8_t> text, std::span<std::uint8_t> image) {
    return HexReader(text, image).Run();
}

}  // namespace earlier
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC pop_options
#endif

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

    // The readers alone on the file's text, in turns, each into an image of
    // its own.
    const std::string text = quilla::FormatHex(wb.ImageBuffer, 0xFFFFF);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    std::vector<std::uint8_t> oldImage(wb.ImageBuffer.size()), newImage(wb.ImageBuffer.size());
    const int turns = 41;
    std::vector<double> oldReads, newReads;
    int oldEnd = 0, newEnd = 0;
    for (int i = 0; i < turns; ++i) {
        auto s = Clock::now();
        oldEnd = earlier::ParseHex(bytes, oldImage).HighestAddr;
        oldReads.push_back(Ms(Clock::now() - s));
        s = Clock::now();
        newEnd = quilla::ParseHex(bytes, newImage).HighestAddr;
        newReads.push_back(Ms(Clock::now() - s));
    }
    std::sort(oldReads.begin(), oldReads.end());
    std::sort(newReads.begin(), newReads.end());
    if (oldEnd != newEnd || oldImage != newImage) std::printf("warning: the two readers stored different images\n");
    std::printf("readers on the same text, %d turns each\n", turns);
    Print("ParseHex, earlier reader (cab3685)", oldReads);
    Print("ParseHex, now", newReads);
    const double speed = oldReads[oldReads.size() / 2] / newReads[newReads.size() / 2];
    std::printf("earlier / now (medians): %.2fx  (goal: at least 1x) %s\n", speed, speed >= 1.0 ? "met" : "NOT met");
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
