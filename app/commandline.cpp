#include "app/commandline.h"

#include <cstring>
#include <string>

namespace quilla {

const char* const Usage =
    "usage: quilla [--simulate[=MODEL]] [--screenshot=FILE] [FILE]\n"
    "       quilla --help | --version\n"
    "\n"
    "  FILE                  a data file loaded once the main window is up, by its\n"
    "                        extension, as File > Load does: .hex (Intel HEX), .bin\n"
    "                        (binary, at buffer address 0), .jed (fuse map), .svf,\n"
    "                        .cds; a file that cannot be loaded (missing, a folder,\n"
    "                        another extension) is named in a message over the main\n"
    "                        window\n"
    "  --simulate[=MODEL]    run on the simulated programmer instead of the USB\n"
    "                        programmer; MODEL is vex310, vex420, vex520 or vex640\n"
    "                        (default vex520)\n"
    "  --screenshot=FILE     save a picture of the main window (PNG), with the\n"
    "                        remembered device's form open, a moment after\n"
    "                        start, then end\n"
    "  --help                show this text and end\n"
    "  --version             show the version and end\n"
    "  The toolkit's own options (-platform NAME, -style NAME, ...) are passed on.\n"
    "\n"
    "Environment:\n"
    "  QUILLA_SIMULATE=MODEL   as --simulate=MODEL (the option wins)\n"
    "  QUILLA_SIM_OPERATOR=N   the simulated operator: in mass production it takes\n"
    "                          each finished chip out of the simulated programmer's\n"
    "                          socket and puts a fresh one in (a second each), N\n"
    "                          chips each time an operation is started (default 5),\n"
    "                          then none, so the run ends as it does when no chip\n"
    "                          comes; 0: no operator (Run waits for a chip that\n"
    "                          nobody brings, then ends)\n"
    "  QUILLA_USB_ID=vvvv:pppp USB vendor:product id of the programmer\n"
    "                          (hexadecimal, default 1209:0001)\n"
    "  QUILLA_USB_TRACE        when set, the USB link is traced on standard error:\n"
    "                          the driver's start, the programmer's arrival and\n"
    "                          departure, and every transfer (its first bytes)\n"
    "  QUILLA_HOME=DIR         the program's data folder (device lists, designs,\n"
    "                          help, pictures); default: share/quilla beside the\n"
    "                          installed program\n"
    "  XDG_CONFIG_HOME         configuration files go to $XDG_CONFIG_HOME/quilla\n"
    "                          (default ~/.config/quilla)\n"
    "  QT_QPA_PLATFORM=offscreen  run without a display\n";

namespace {

// QUILLA_SIM_OPERATOR takes up to this many digits.
constexpr std::size_t MaxOperatorDigits = 6;

// The toolkit's command-line options (its application classes remove them
// before the program sees its arguments); those marked take the next word as
// their value. "--name" is accepted as "-name", as the toolkit does.
struct ToolkitOption {
    const char* name;
    bool takesValue;
};
constexpr ToolkitOption ToolkitOptions[] = {
    {"-platform", true},   {"-platformpluginpath", true}, {"-platformtheme", true},
    {"-plugin", true},     {"-qwindowgeometry", true},    {"-qwindowicon", true},
    {"-qwindowtitle", true}, {"-session", true},          {"-display", true},
    {"-geometry", true},   {"-style", true},              {"-stylesheet", true},
    {"-reverse", false},   {"-widgetcount", false},       {"-nograb", false},
    {"-dograb", false},    {"-sync", false},
};

// Whether `arg` is a toolkit option; `takesValue` tells whether the next word
// belongs to it ("-style=fusion" carries its own).
bool IsToolkitOption(std::string arg, bool& takesValue) {
    if (arg.rfind("--", 0) == 0) arg.erase(0, 1);
    if (arg.rfind("-qmljsdebugger=", 0) == 0) {
        takesValue = false;
        return true;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    for (const ToolkitOption& o : ToolkitOptions) {
        if (name != o.name) continue;
        if (eq != std::string::npos && !o.takesValue) return false;
        takesValue = o.takesValue && eq == std::string::npos;
        return true;
    }
    return false;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, const EnvLookup& env) {
    CommandLine c;
    auto fail = [&c](std::string why) {
        c.action = CommandLine::Action::Error;
        c.error = std::move(why);
        return c;
    };
    std::string model;
    bool simulate = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool takesValue = false;
        if (a == "--help") {
            c.action = CommandLine::Action::Help;
            return c;
        } else if (a == "--version") {
            c.action = CommandLine::Action::Version;
            return c;
        } else if (a == "--simulate") {
            simulate = true;
            model = DefaultSimulatedModel;
        } else if (a.rfind("--simulate=", 0) == 0) {
            simulate = true;
            model = a.substr(std::strlen("--simulate="));
        } else if (a.rfind("--screenshot=", 0) == 0) {
            c.screenshot = a.substr(std::strlen("--screenshot="));
        } else if (IsToolkitOption(a, takesValue)) {
            if (takesValue) ++i;
        } else if (a.size() > 1 && a[0] == '-') {
            return fail("unknown option \"" + a + "\"");
        } else {
            c.dataFile = a;
        }
    }
    if (!simulate) {
        const char* fromEnv = env ? env("QUILLA_SIMULATE") : nullptr;
        if (fromEnv && *fromEnv) {
            simulate = true;
            model = fromEnv;
        }
    }
    if (simulate) {
        if (!IsKnownModel(model)) return fail("unknown programmer model \"" + model + "\"");
        c.link.simulate = true;
        c.link.model = model;
    }
    // The simulated operator's chips per run: a plain decimal number.
    const char* hands = env ? env("QUILLA_SIM_OPERATOR") : nullptr;
    if (c.link.simulate && hands && *hands) {
        const std::string n = hands;
        if (n.size() > MaxOperatorDigits || n.find_first_not_of("0123456789") != std::string::npos)
            return fail("QUILLA_SIM_OPERATOR is not a number of chips: \"" + n + "\"");
        c.link.operatorChips = std::stoi(n);
    }
    return c;
}

}  // namespace quilla
