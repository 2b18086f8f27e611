// The shipped device-list lines of some algorithm forms, for tests that run
// every line end to end: the part (the device item up to its first blank, the
// simulated chip's registered name) and the parameter string.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace quilla::test {

struct ListedLine {
    std::string part, params;
};

// The lines of `file` (in the source tree's data folder) whose keyword is one of `keywords`.
std::vector<ListedLine> DeviceLines(const std::string& file, std::initializer_list<const char*> keywords);

}  // namespace quilla::test
