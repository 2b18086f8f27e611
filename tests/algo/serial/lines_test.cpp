// Every serial-EEPROM line of the device lists, end to end: the form its line
// opens writes a blank chip of the line's part, verifies it and reads it back,
// without a protocol violation. Parts above 8 KiB (their writes and reads are
// the round trips of the family's own tests) verify a chip that holds the
// image: the row reaches the whole part, and no further.
#include <algorithm>
#include <map>
#include <vector>

#include "support/param_names.h"
#include "support/device_lines.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

struct Line {
    std::string file, part, params;
};

// The texts each form shows after a good Verify.
const std::map<std::string, std::string> kVerified{
    {"P93", "Verified!"}, {"P93X16", "Verified!"}, {"P93C310", "Verified!"}, {"P93C310X16", "OK!"},
    {"P24", "Verified!"}, {"P24C310", "Verified!"}, {"AT25SPI", "OK!!!"}, {"ACTRANS25", "OK!!!"}, {"X5045", "Verified!"}};

// The SPI 25 forms' end address is the len= value (the chip's size), not the last byte.
bool EndIsSize(const std::string& keyword) { return keyword == "AT25SPI" || keyword == "ACTRANS25"; }

std::vector<Line> SerialLines() {
    std::vector<Line> out;
    for (const ListedLine& l :
         DeviceLines({"device520.lst", "device310.lst"}, [](const ListedLine& l) { return l.category == "SER"; }))
        out.push_back({l.file, l.part, l.params});
    return out;
}

class EverySerialLine : public ::testing::TestWithParam<Line> {};

TEST_P(EverySerialLine, WritesVerifiesAndReadsBackABlankChip) {
    const Line& l = GetParam();
    SimBench b(l.part, l.file == "device310.lst" ? "vex310" : "vex520");
    b.tap->record = false;
    b.sim->Log().SetEnabled(false);
    AlgoForm& f = b.Open(l.params);
    ASSERT_EQ(f.Text("Msg"), "OK ") << l.params;
    const std::string keyword = l.params.substr(0, l.params.find(' '));
    const int n = b.wb->FileWin->EndAddr + (EndIsSize(keyword) ? 0 : 1);
    b.RandomImage(n, 21);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + n);
    const int chipBytes = static_cast<int>(b.Chip().size());
    const bool big = chipBytes > 8192;
    if (big) std::copy(image.begin(), image.end(), b.sim->GetChip()->MutableContents().begin());
    else f.Click("Write");
    f.Click("Verify");
    ASSERT_TRUE(kVerified.count(keyword)) << keyword;
    EXPECT_EQ(f.Text("Msg"), kVerified.at(keyword));
    EXPECT_LE(n, chipBytes);
    if (!big) {
        std::fill(b.Image(), b.Image() + n, 0);
        f.Click("Read1");
        EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
    }
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(Lists, EverySerialLine, ::testing::ValuesIn(SerialLines()),
                         CaseName([](const Line& l) { return l.file.substr(6, 3) + " " + l.params + " " + l.part; }));

}  // namespace
}  // namespace quilla::test
