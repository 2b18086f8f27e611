// The command line: --simulate and QUILLA_SIMULATE, the simulated operator's
// switch, --help, --version, the toolkit's options with their values, the
// data file, and unknown options.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/commandline.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using Action = CommandLine::Action;

struct Case {
    const char* name;
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    Action action;
    bool simulate = false;
    std::string model = "vex520";
    std::string dataFile = "";
    std::string screenshot = "";
};

class CommandLineCase : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineCase, Parses) {
    const Case& c = GetParam();
    const CommandLine got = ParseCommandLine(c.args, [&c](const char* name) -> const char* {
        auto it = c.env.find(name);
        return it == c.env.end() ? nullptr : it->second.c_str();
    });
    ASSERT_EQ(got.action, c.action) << got.error;
    if (c.action == Action::Error) {
        EXPECT_FALSE(got.error.empty());
        return;
    }
    if (c.action != Action::Run) return;
    EXPECT_EQ(got.link.simulate, c.simulate);
    EXPECT_EQ(got.link.model, c.model);
    EXPECT_EQ(got.dataFile, c.dataFile);
    EXPECT_EQ(got.screenshot, c.screenshot);
}

const Case Cases[] = {
    {"Nothing", {}, {}, Action::Run},
    {"Simulate", {"--simulate"}, {}, Action::Run, true},
    {"SimulateModel", {"--simulate=vex310"}, {}, Action::Run, true, "vex310"},
    {"ModelFromEnvironment", {}, {{"QUILLA_SIMULATE", "vex420"}}, Action::Run, true, "vex420"},
    {"EmptyEnvironment", {}, {{"QUILLA_SIMULATE", ""}}, Action::Run},
    {"OptionWinsOverEnvironment", {"--simulate=vex310"}, {{"QUILLA_SIMULATE", "vex640"}}, Action::Run, true,
     "vex310"},
    {"OptionWithoutModelWins", {"--simulate"}, {{"QUILLA_SIMULATE", "vex640"}}, Action::Run, true},
    {"OptionWinsOverBadEnvironment", {"--simulate"}, {{"QUILLA_SIMULATE", "bogus"}}, Action::Run, true},
    {"LastSimulateWins", {"--simulate", "--simulate=vex640"}, {}, Action::Run, true, "vex640"},
    {"UnknownModel", {"--simulate=vex999"}, {}, Action::Error},
    {"EmptyModel", {"--simulate="}, {}, Action::Error},
    {"UnknownModelInEnvironment", {}, {{"QUILLA_SIMULATE", "vex999"}}, Action::Error},
    {"ModelIsCaseSensitive", {"--simulate=VEX520"}, {}, Action::Error},
    {"Help", {"--help"}, {}, Action::Help},
    {"HelpBeforeAnError", {"--help", "--bogus"}, {}, Action::Help},
    {"Version", {"--version"}, {}, Action::Version},
    {"UnknownOption", {"--bogus"}, {}, Action::Error},
    {"UnknownShortOption", {"-x"}, {}, Action::Error},
    {"UnknownOptionAfterAFile", {"a.hex", "--simulate", "--bogus"}, {}, Action::Error},
    {"DataFile", {"a.hex"}, {}, Action::Run, false, "vex520", "a.hex"},
    {"LoneDashIsAFileName", {"-"}, {}, Action::Run, false, "vex520", "-"},
    {"Screenshot", {"--screenshot=/tmp/x.png", "--simulate", "b.hex"}, {}, Action::Run, true, "vex520", "b.hex",
     "/tmp/x.png"},
    {"ToolkitOptionValueIsNotAFile", {"-style", "fusion", "--simulate=vex640"}, {}, Action::Run, true, "vex640"},
    {"ToolkitOptionWithEquals", {"-style=fusion", "c.hex"}, {}, Action::Run, false, "vex520", "c.hex"},
    {"ToolkitOptionWithTwoDashes", {"--platform", "offscreen", "d.hex"}, {}, Action::Run, false, "vex520", "d.hex"},
    {"ToolkitFlag", {"-reverse", "e.hex"}, {}, Action::Run, false, "vex520", "e.hex"},
    {"ToolkitFlagTakesNoValue", {"-reverse=1"}, {}, Action::Error},
};

INSTANTIATE_TEST_SUITE_P(Table, CommandLineCase, ::testing::ValuesIn(Cases),
                         CaseName([](const Case& c) { return std::string(c.name); }));

TEST(CommandLine, SimulatedOperatorChipsComeFromTheEnvironment) {
    struct OperatorCase {
        const char* env;
        int chips;  // -1: an error
    };
    const std::vector<OperatorCase> cases = {{nullptr, DefaultOperatorChips},
                                             {"", DefaultOperatorChips},
                                             {"0", 0},
                                             {"1", 1},
                                             {"25", 25},
                                             {"999999", 999999},
                                             {"1000000", -1},
                                             {"-1", -1},
                                             {"3x", -1},
                                             {" 3", -1},
                                             {"on", -1}};
    for (const auto& [env, chips] : cases) {
        const char* value = env;
        const CommandLine got = ParseCommandLine({"--simulate"}, [value](const char* name) -> const char* {
            return std::string(name) == "QUILLA_SIM_OPERATOR" ? value : nullptr;
        });
        const std::string shown = value ? value : "unset";
        if (chips < 0) {
            EXPECT_EQ(got.action, Action::Error) << shown;
            EXPECT_EQ(got.error, "QUILLA_SIM_OPERATOR is not a number of chips: \"" + shown + "\"");
            continue;
        }
        EXPECT_EQ(got.action, Action::Run) << shown;
        EXPECT_EQ(got.link.operatorChips, chips) << shown;
    }
    // Without --simulate the variable is not read.
    const CommandLine real = ParseCommandLine({}, [](const char* name) -> const char* {
        return std::string(name) == "QUILLA_SIM_OPERATOR" ? "on" : nullptr;
    });
    EXPECT_EQ(real.action, Action::Run);
}

TEST(CommandLine, UsageNamesOptionsModelsAndEnvironment) {
    const std::string usage = Usage;
    for (const char* word : {"usage: quilla", "--simulate", "--screenshot=", "--help", "--version", "vex310", "vex420",
                             "vex520", "vex640", "QUILLA_SIMULATE", "QUILLA_SIM_OPERATOR", "QUILLA_USB_ID",
                             "QUILLA_USB_TRACE", "QUILLA_HOME", "XDG_CONFIG_HOME"})
        EXPECT_NE(usage.find(word), std::string::npos) << word;
}

}  // namespace
}  // namespace quilla::test
