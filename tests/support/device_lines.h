// The shipped device-list lines, for tests that run every line of a family end
// to end: the part (the device item up to its first blank, the simulated
// chip's registered name) and the parameter string, with the rest of the line.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace quilla::test {

struct ListedLine {
    std::string part, params;
    std::string file;      // "device520.lst", ...
    std::string category;  // the first three characters ("MPU")
    std::string mfr;       // the manufacturer field
    std::string item;      // the whole device item, blanks included
    std::string keyword;   // the parameter string up to its first blank
};

// The lines of `file` (in the source tree's data folder) whose keyword is one of `keywords`.
std::vector<ListedLine> DeviceLines(const std::string& file, std::initializer_list<const char*> keywords);

// The lines of `files`, in order, for which `take` is true.
std::vector<ListedLine> DeviceLines(std::initializer_list<const char*> files,
                                    const std::function<bool(const ListedLine&)>& take);

}  // namespace quilla::test
