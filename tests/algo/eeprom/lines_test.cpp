// Every device-list line of the EEPROM and EPROM-pinout flash forms, end to
// end: the form its line opens writes the first 1 KiB of a blank chip of that
// part and verifies it, without a protocol violation.
#include <fstream>

#include "app/programdir.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

struct Line {
    std::string part, params;
};

std::vector<Line> FamilyLines() {
    std::vector<Line> out;
    std::ifstream in(SourceDataDir() + "device520.lst");
    std::string line;
    while (std::getline(in, line)) {
        const auto comma = line.find(',');
        if (comma == std::string::npos || line[0] == '#') continue;
        const std::string params = line.substr(comma + 1);
        const std::string keyword = params.substr(0, params.find(' '));
        if (keyword != "SST27SF" && keyword != "P2816" && keyword != "X28C") continue;
        const auto mfrEnd = line.find(' ', 4);
        out.push_back({line.substr(mfrEnd + 1, comma - mfrEnd - 1), params});
    }
    return out;
}

class EveryLine : public ::testing::TestWithParam<Line> {};

TEST_P(EveryLine, WritesAndVerifiesTheFirstKibOfABlankChip) {
    const Line l = GetParam();
    SimBench b(l.part);
    b.RandomImage(0x400, 21);
    std::fill(b.Image() + 0x400, b.Image() + 0x800, 0xFF);
    AlgoForm& f = b.Open(l.params);
    ASSERT_EQ(f.Text("Message"), "OK ") << l.params;
    f.Enter("Edit3", "3ff");
    f.Click("Blank");
    EXPECT_TRUE(f.Text("Message") == "Blank.") << f.Text("Message");
    f.Click("Write");
    EXPECT_TRUE(f.Text("Message") == "OK!" || f.Text("Message") == "Writing OK.......") << f.Text("Message");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
    EXPECT_TRUE(b.ChipBlank(0x400, 0x400));
}

INSTANTIATE_TEST_SUITE_P(Device520, EveryLine, ::testing::ValuesIn(FamilyLines()),
                         CaseName([](const Line& l) { return l.part; }));

}  // namespace
}  // namespace quilla::test
