// Every fuzz target run over its stored corpus (fuzz/corpus/<target>/): the
// inputs fuzzing runs kept, and every input that once crashed a reader, stay
// tests under this tree's sanitizers. A target stops the program (abort) when
// a property it checks fails, so a failure here names the target and file
// just before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#define QUILLA_FUZZ_TARGET(name) extern "C" int QuillaFuzz_##name(const std::uint8_t* data, std::size_t size);
#include "fuzz_targets.inc"
#undef QUILLA_FUZZ_TARGET

namespace quilla::test {
namespace {

struct Target {
    const char* name;
    int (*run)(const std::uint8_t*, std::size_t);
};

const Target kTargets[] = {
#define QUILLA_FUZZ_TARGET(name) {#name, QuillaFuzz_##name},
#include "fuzz_targets.inc"
#undef QUILLA_FUZZ_TARGET
};

class Corpus : public ::testing::TestWithParam<Target> {};

TEST_P(Corpus, EveryStoredInputPassesTheTargetsChecks) {
    const Target& t = GetParam();
    const std::filesystem::path dir = std::filesystem::path(QUILLA_FUZZ_CORPUS) / t.name;
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(dir))
        for (const auto& e : std::filesystem::directory_iterator(dir))
            if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    // The empty input, then each file.
    std::cerr << t.name << ": (empty)\n";
    const std::uint8_t none = 0;
    t.run(&none, 0);
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::cerr << t.name << ": " << f.filename().string() << "\n";
        t.run(bytes.data(), bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, Corpus, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace quilla::test
