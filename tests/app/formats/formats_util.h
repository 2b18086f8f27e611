// Helpers of the file-format tests: a fresh workbench and a private folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/workbench.h"
#include "support/scripted_prompts.h"

namespace quilla::test {

class FormatsTest : public ::testing::Test {
protected:
    FormatsTest() : wb(prompts) {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : test)
            if (c == '/') c = '_';
        dir = std::filesystem::temp_directory_path() /
              ("quilla-formats-" + std::to_string(::getpid()) + "-" + test);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    ~FormatsTest() override { std::filesystem::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string p = Path(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::uint8_t> Bytes(int from, int count) const {
        return {wb.ImageBuffer.begin() + from, wb.ImageBuffer.begin() + from + count};
    }

    ScriptedPrompts prompts;
    Workbench wb;
    std::filesystem::path dir;
};

// One Intel HEX record with its checksum, CR LF ended.
inline std::string Rec(int type, int addr, const std::vector<std::uint8_t>& data) {
    char buf[16];
    unsigned sum = static_cast<unsigned>(data.size()) + (addr >> 8 & 0xFF) + (addr & 0xFF) + type;
    std::snprintf(buf, sizeof buf, ":%02X%04X%02X", static_cast<unsigned>(data.size()), addr & 0xFFFF, type);
    std::string s = buf;
    for (auto b : data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        s += buf;
        sum += b;
    }
    std::snprintf(buf, sizeof buf, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return s + buf;
}

}  // namespace quilla::test
