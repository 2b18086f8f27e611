// Every logic-device line of the device lists, end to end: the form its line
// opens writes a blank chip of the line's part from a random fuse map,
// verifies it and reads it back, without a protocol violation.
#include <map>
#include <random>
#include <vector>

#include "pld_test_support.h"
#include "support/device_lines.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

struct Line {
    std::string file, part, params;
};

// The texts each form shows after a good Verify.
const std::map<std::string, std::string> kVerified{
    {"GAL3M", "OK!!!"}, {"PALCEGAL", "Data OK.."}, {"P22V10", "Data OK.."}, {"AMI22CV10", "Data OK.."}};

std::vector<Line> PldLines() {
    std::vector<Line> out;
    // The fuse-map forms' lines (the XC95xx form plays SVF files: tests/algo/xc95).
    for (const ListedLine& l : DeviceLines({"device520.lst", "device640.lst"}, [](const ListedLine& l) {
             return l.category == "PLD" && kVerified.count(l.keyword);
         }))
        out.push_back({l.file, l.part, l.params});
    return out;
}

class EveryPldLine : public ::testing::TestWithParam<Line> {};

TEST_P(EveryPldLine, WritesVerifiesAndReadsBackABlankChip) {
    const Line& l = GetParam();
    SimBench b(l.part, l.file == "device640.lst" ? "vex640" : "vex520");
    AlgoForm& f = b.Open(l.params);
    ASSERT_EQ(f.Text("Msg"), "OK ") << l.params;
    // The fuses each form writes and reads back: a 16V8/20V8 layout of R rows
    // of 64 (the product-term enables stay '1'), or the 22V10's array and
    // architecture bits (the 22CV10 form reads the array only).
    const int rows = b.wb->PldFileW->FuseCols, bits = b.wb->PldFileW->FuseRows, a = rows * bits;
    const bool g22 = bits == 132;
    const int count = g22 ? (l.params.rfind("AMI", 0) == 0 ? a : a + 20) : a + 146;
    std::mt19937 rng(static_cast<unsigned>(rows));
    std::fill(b.Image(), b.Image() + 6000, '1');
    for (int n = 0; n < count; ++n) b.Image()[n] = (rng() & 1) ? '1' : '0';
    if (!g22) std::fill(b.Image() + a + 80, b.Image() + a + 144, '1');
    const std::string image = ImageFuses(b, 0, count);
    f.Click("Write");
    f.Click("Verify");
    const std::string keyword = l.params.substr(0, l.params.find(' '));
    ASSERT_TRUE(kVerified.count(keyword)) << keyword;
    EXPECT_EQ(f.Text("Msg"), kVerified.at(keyword));
    std::fill(b.Image(), b.Image() + 6000, 'x');
    f.Click("Read1");
    EXPECT_EQ(ImageFuses(b, 0, count), image);
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(Lists, EveryPldLine, ::testing::ValuesIn(PldLines()),
                         CaseName([](const Line& l) { return l.file.substr(6, 3) + " " + l.params + " " + l.part; }));

}  // namespace
}  // namespace quilla::test
