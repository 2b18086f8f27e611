// External tools the tests run (objcopy, srec_cat, sdcc, ...): found on PATH,
// started with an argument list (never through a shell).
#pragma once

#include <string>
#include <vector>

namespace quilla::test {

// The tool is an executable somewhere on PATH.
bool OnPath(const std::string& tool);
// Runs a tool with an argument list (argv[0] searched on PATH); its exit
// status, -1 when it cannot run. `dir` (when given) is its working folder.
int RunTool(const std::vector<std::string>& args, const std::string& dir = "");

}  // namespace quilla::test
