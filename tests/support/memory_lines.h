// Every device-list line of the parallel-memory forms, end to end, as one
// table: the form its line opens checks the ID (where the line has one),
// blank-checks, writes a random image into a blank chip of that part and
// verifies it, without a protocol violation or a message box. A row of the
// table is the family of one test program (tests/algo/memory/<folder>): its
// keywords, what its run writes and the texts its forms show. The tests are
// written once (memory_lines.cpp); each program instantiates them for its row:
//
//   INSTANTIATE_TEST_SUITE_P(Lists, MemoryLine, ::testing::ValuesIn(MemoryLines("p27")), MemoryLineName);
//   INSTANTIATE_TEST_SUITE_P(Lists, MemoryFamilyLines, ::testing::Values("p27"));
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "support/device_lines.h"

namespace quilla::test {

struct MemoryFamily {
    const char* program = "";            // the test folder: "p27", "pi28f", ...
    std::vector<const char*> lists{};    // the device lists, each on its programmer model (vex520, vex640)
    std::vector<const char*> keywords{};
    std::size_t lines = 0;               // the lines the lists give the family
    int bytes = 0;                       // image bytes written and verified (Length), the next 1 KiB
                                         // left FFh and blank on the chip; 0: the whole chip
    unsigned seed = 0;                   // of the random image
    bool blankOnEveryForm = true;        // false: a form without a Blank button skips the blank check
    const char* setupPrefix = nullptr;   // setup may show a text beginning so instead of "OK "
    std::vector<std::string> blank{}, write{}, verify{};  // the status texts each step may end with
};

// One line of a family.
struct MemoryLineCase {
    const MemoryFamily* family = nullptr;
    ListedLine line{};
};

// The lines of the family of test folder `program`, list by list.
std::vector<MemoryLineCase> MemoryLines(const std::string& program);
// "3_520_AT28C256_AT28CX": the case's number, list, part and keyword.
std::string MemoryLineName(const ::testing::TestParamInfo<MemoryLineCase>& info);
void PrintTo(const MemoryLineCase& c, std::ostream* os);

// The end-to-end run of one line, and the count of a family's lines.
class MemoryLine : public ::testing::TestWithParam<MemoryLineCase> {};
class MemoryFamilyLines : public ::testing::TestWithParam<const char*> {};

}  // namespace quilla::test
