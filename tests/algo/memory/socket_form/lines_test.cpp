// Every device-list line of the EEPROM and EPROM-pinout flash forms, end to
// end: the form its line opens writes the first 1 KiB of a blank chip of that
// part and verifies it, without a protocol violation.

#include "support/param_names.h"
#include "support/device_lines.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

struct Line {
    std::string part, params;
};

std::vector<Line> FamilyLines() {
    std::vector<Line> out;
    for (const ListedLine& l : DeviceLines("device520.lst", {"SST27SF", "P2816", "X28C"})) out.push_back({l.item, l.params});
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
