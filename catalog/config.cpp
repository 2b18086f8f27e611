// The per-model configuration file: 14 lines that remember the last run.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/numparse.h"
#include "app/workbench.h"
#include "catalog/typedlg.h"

namespace quilla {

namespace {

constexpr std::size_t ParamLineMax = 499;      // line 14
constexpr std::size_t CategoryMax = 19;

// A value never carries a line break into the file: it would put every later
// line out of step.
std::string OneLine(const std::string& s) {
    std::size_t end = s.find_first_of("\r\n");
    return end == std::string::npos ? s : s.substr(0, end);
}

// One line without its line break (LF or CR LF); false at the end of the file.
bool ReadLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

}  // namespace

std::string DefaultConfigDir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/quilla";
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] ? home : ".") + "/.config/quilla";
}

std::string ConfigFileFor(const std::string& model) {
    for (const char* m : {"vex310", "vex420", "vex520", "vex640"})
        if (model.rfind(m, 0) == 0) return std::string(m) + ".cfg";
    return {};
}

std::string TTypeDlg::ConfigPath() const {
    std::string name = ConfigFileFor(wb_.Ep3.ProgrammerModel);
    if (name.empty()) return {};
    return ConfigDir + "/" + name;
}

void TTypeDlg::SaveConfig(const std::string& caption) {
    const std::string path = ConfigPath();
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(ConfigDir, ec);
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return;
    const Selection& sel = wb_.sel;
    auto text = [f](const std::string& s) { std::fprintf(f, "%s\n", OneLine(s).c_str()); };
    auto number = [f](int v) { std::fprintf(f, "%d\n", v); };
    text(caption);
    text(Edit2);
    number(RadioIndex);
    text(sel.DeviceKeyword);
    text(sel.TypeText);
    text(wb_.DataFileName);
    number(sel.VariantIndex);
    text(Manufacturer);
    text(Category.substr(0, CategoryMax));
    number(SavedMfrIndex);
    number(SavedDeviceIndex);
    text(sel.SelectedDevice);
    text(sel.AdapterLabel);
    text(sel.ParamString);
    std::fclose(f);
}

void TTypeDlg::LoadConfig() {
    const std::string path = ConfigPath();
    if (path.empty()) return;
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    Selection& sel = wb_.sel;
    std::string line;
    for (int n = 1; n <= 14; ++n) {
        if (!ReadLine(in, line)) break;  // a short file restores nothing more
        // A line over its limit restores nothing; the next line stays in step.
        if (line.size() > (n == 14 ? ParamLineMax : ConfigLineMax)) continue;
        switch (n) {
            case 3:
                if (auto v = ParseDec32(line)) SelectCategory(*v);
                break;
            case 5: sel.TypeText = line; break;
            case 6: wb_.DataFileName = line; break;
            case 8: Manufacturer = line; break;
            case 9: Category = line.substr(0, CategoryMax); break;
            case 12: sel.SelectedDevice = line; break;
            case 13: sel.AdapterLabel = line; break;
            case 14: sel.ParamString = line; break;
            default: break;  // 1, 2, 4, 7, 10 and 11 are not read back
        }
    }
    Changed();
}

}  // namespace quilla
