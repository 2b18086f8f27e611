// Every firmware-hub line of the device lists, end to end: the form its line
// opens blank-checks, programs and verifies the first 2 KiB of a blank chip of
// that part (its ID checked where the line has one), without a protocol
// violation.
#include <fstream>

#include "app/programdir.h"
#include "sim/chips/fwh.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

struct Line {
    std::string part, params;
};

std::vector<Line> HubLines() {
    std::vector<Line> out;
    std::ifstream in(SourceDataDir() + "device520.lst");
    std::string line;
    while (std::getline(in, line)) {
        const auto mfrEnd = line.find(' ', 4);
        const auto comma = line.find(',');
        if (line.rfind("EPR ", 0) != 0 || mfrEnd == std::string::npos || comma == std::string::npos) continue;
        const std::string params = line.substr(comma + 1);
        const std::string keyword = params.substr(0, params.find(' '));
        if (keyword == "I82802" || keyword == "SST49LF008")
            out.push_back({line.substr(mfrEnd + 1, comma - mfrEnd - 1), params});
    }
    return out;
}

class HubLine : public ::testing::TestWithParam<Line> {};

TEST_P(HubLine, BlankChecksWritesAndVerifies2KiB) {
    const Line l = GetParam();
    SimBench b(l.part);
    b.RandomImage(0x800, 41);
    std::fill(b.Image() + 0x800, b.Image() + 0xC00, 0xFF);
    AlgoForm& f = b.Open(l.params);
    ASSERT_EQ(f.Text("Message"), "OK ") << l.params;
    f.Enter("Edit3", "7ff");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "Blank.");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    EXPECT_TRUE(b.prompts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Device520, HubLine, ::testing::ValuesIn(HubLines()),
                         [](const ::testing::TestParamInfo<Line>& i) { return i.param.part; });

TEST(HubLines, AreListed) { EXPECT_EQ(HubLines().size(), 6u); }

}  // namespace
}  // namespace quilla::test
