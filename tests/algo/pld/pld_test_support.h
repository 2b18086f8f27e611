// What the logic-device tests share: the hand-written JEDEC fixtures and the
// fuse list a test derives from one by JEDEC numbering alone (its own reading
// of the "QF", "F" and "L" fields), never from the forms.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/jedec.h"
#include "support/fixtures.h"
#include "support/sim_bench.h"

namespace quilla::test {

inline std::string PldFixture(const std::string& name) { return FixturesDir() + "jed/" + name; }

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The fuses a JEDEC text describes: QF of them, unlisted ones at the F state.
inline std::string JedecFuses(const std::string& text) {
    std::size_t count = 0;
    char state = '0';
    std::string fuses;
    std::size_t pos = text.find('*');
    while (pos != std::string::npos && pos + 1 < text.size()) {
        std::size_t f = pos + 1;
        while (f < text.size() && (text[f] == '\r' || text[f] == '\n' || text[f] == ' ')) ++f;
        const std::size_t end = text.find('*', f);
        if (end == std::string::npos) break;
        const std::string field = text.substr(f, end - f);
        if (field.rfind("QF", 0) == 0) {
            count = std::stoul(field.substr(2));
            fuses.assign(count, state);
        } else if (field.size() == 2 && field[0] == 'F') {
            state = field[1];
            fuses.assign(count, state);
        } else if (!field.empty() && field[0] == 'L') {
            std::size_t k = 1, addr = 0;
            while (k < field.size() && std::isdigit(static_cast<unsigned char>(field[k]))) addr = addr * 10 + (field[k++] - '0');
            for (; k < field.size(); ++k)
                if (field[k] == '0' || field[k] == '1') fuses.at(addr++) = field[k];
        }
        pos = end;
    }
    return fuses;
}

// Loads a JEDEC file the way the program's open command does.
inline void LoadJedFile(SimBench& b, const std::string& path) {
    b.wb->DataFileName = path;
    LoadJed(*b.wb);
}

inline std::string ImageFuses(SimBench& b, int first, int n) {
    return std::string(reinterpret_cast<const char*>(b.Image()) + first, static_cast<std::size_t>(n));
}

}  // namespace quilla::test
