// Every device-list line of the Intel-command parallel flash forms, end to
// end: the form its line opens writes the first 1 KiB of a blank chip of that
// part and verifies it, without a protocol violation.

#include "support/param_names.h"
#include "support/device_lines.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

struct Line {
    std::string file, part, params;
};

std::vector<Line> FamilyLines() {
    std::vector<Line> out;
    for (const char* file : {"device520.lst", "device640.lst"})
        for (const ListedLine& l : DeviceLines(file, {"PI28F", "PI28F001", "SST28VF040"}))
            out.push_back({l.file, l.item, l.params});
    return out;
}

class EveryLine : public ::testing::TestWithParam<Line> {};

TEST_P(EveryLine, WritesAndVerifiesTheFirstKibOfABlankChip) {
    const Line l = GetParam();
    SimBench b(l.part, l.file == "device520.lst" ? "vex520" : "vex640");
    b.RandomImage(0x400, 21);
    std::fill(b.Image() + 0x400, b.Image() + 0x800, 0xFF);
    AlgoForm& f = b.Open(l.params);
    ASSERT_EQ(f.Text("Message"), "OK ") << l.params;
    f.Enter("Edit3", "3ff");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "Blank.");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
    EXPECT_TRUE(b.ChipBlank(0x400, 0x400));
}

TEST(EveryLine, TheFamilyHasItsLines) { EXPECT_EQ(FamilyLines().size(), 14u); }

INSTANTIATE_TEST_SUITE_P(Lists, EveryLine, ::testing::ValuesIn(FamilyLines()),
                         CaseName([](const Line& l) { return l.file.substr(6, 3) + " " + l.part; }));

}  // namespace
}  // namespace quilla::test
