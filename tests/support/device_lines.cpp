#include "support/device_lines.h"

#include <fstream>

#include "app/programdir.h"

namespace quilla::test {

std::vector<ListedLine> DeviceLines(const std::string& file, std::initializer_list<const char*> keywords) {
    std::vector<ListedLine> out;
    std::ifstream in(SourceDataDir() + file);
    std::string line;
    while (std::getline(in, line)) {
        const auto mfrEnd = line.find(' ', 4);
        const auto comma = line.find(',');
        if (line.size() < 4 || line[3] != ' ' || mfrEnd == std::string::npos || comma == std::string::npos) continue;
        const std::string params = line.substr(comma + 1);
        const std::string keyword = params.substr(0, params.find(' '));
        const std::string item = line.substr(mfrEnd + 1, comma - mfrEnd - 1);
        for (const char* k : keywords)
            if (keyword == k) out.push_back({item.substr(0, item.find(' ')), params});
    }
    return out;
}

}  // namespace quilla::test
