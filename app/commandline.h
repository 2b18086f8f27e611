// Quilla's command line, read before the toolkit starts (so --help and
// --version work without a display):
//
//   quilla [--simulate[=MODEL]] [--screenshot=FILE] [FILE]
//   quilla --help | --version
//
// The toolkit's own options (-platform NAME, -style NAME, ...) are left to it,
// with their values. Any other word starting with '-' is an error: the caller
// prints the usage on standard error and ends with status 2.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/startup.h"

namespace quilla {

inline constexpr const char* ProgramVersion = "1.12";

extern const char* const Usage;

struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    LinkOptions link;
    std::string screenshot;  // --screenshot=FILE: save a picture of the main window, then end
    std::string dataFile;    // a plain argument: the data file to open after start
    std::string error;       // Action::Error: what was wrong (one line)
};

// The value of an environment variable, null when unset.
using EnvLookup = std::function<const char*(const char* name)>;

// `args` without the program name. Reads QUILLA_SIMULATE (as --simulate=MODEL;
// the option wins) and, when simulating, QUILLA_SIM_OPERATOR (the chips the
// simulated operator brings per run, up to 6 digits; "0" switches it off;
// anything else is an error) through `env`.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const EnvLookup& env);

}  // namespace quilla
