#include "support/device_lines.h"

#include <fstream>

#include "app/programdir.h"

namespace quilla::test {

std::vector<ListedLine> DeviceLines(std::initializer_list<const char*> files,
                                    const std::function<bool(const ListedLine&)>& take) {
    std::vector<ListedLine> out;
    for (const char* file : files) {
        std::ifstream in(SourceDataDir() + file);
        std::string line;
        while (std::getline(in, line)) {
            const auto mfrEnd = line.find(' ', 4);
            const auto comma = line.find(',');
            if (line.size() < 4 || line[3] != ' ' || mfrEnd == std::string::npos || comma == std::string::npos)
                continue;
            ListedLine l;
            l.file = file;
            l.category = line.substr(0, 3);
            l.mfr = line.substr(4, mfrEnd - 4);
            l.item = line.substr(mfrEnd + 1, comma - mfrEnd - 1);
            l.part = l.item.substr(0, l.item.find(' '));
            l.params = line.substr(comma + 1);
            l.keyword = l.params.substr(0, l.params.find(' '));
            if (take(l)) out.push_back(std::move(l));
        }
    }
    return out;
}

std::vector<ListedLine> DeviceLines(const std::string& file, std::initializer_list<const char*> keywords) {
    std::vector<std::string> wanted(keywords.begin(), keywords.end());
    return DeviceLines({file.c_str()}, [&](const ListedLine& l) {
        for (const auto& k : wanted)
            if (l.keyword == k) return true;
        return false;
    });
}

}  // namespace quilla::test
