// Every listed line of the 8051 forms, end to end: the form its line opens
// finds a blank chip of that part blank, writes, verifies and reads it back,
// without a protocol violation.
#include <array>
#include <map>

#include "mcs51_bench.h"
#include "sim/chips/flash51.h"
#include "support/device_lines.h"

namespace quilla::test {
namespace {

class EveryLine : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryLine, BlankWriteVerifyRead) {
    const ListedLine l = GetParam();
    SimBench b(l.part);
    b.RandomImage(static_cast<int>(b.Chip().size()), 21);
    // The SST parts: the gap between their two blocks stays 0xFF.
    const auto* sst = dynamic_cast<const sim::Sst89Chip*>(b.sim->GetChip());
    auto inChip = [sst](int a) { return !sst || sst->InBlocks(static_cast<std::uint32_t>(a)); };
    for (int a = 0; a < static_cast<int>(b.Chip().size()); ++a)
        if (!inChip(a)) b.Image()[a] = 0xFF;
    AlgoForm& f = b.Open(l.params);
    const std::string kw = l.params.substr(0, l.params.find(' '));
    // The 87LPC76x setup ends showing the configuration word.
    ASSERT_EQ(f.Text("Msg"), kw == "PHI87LP" ? "Config = ffff" : "OK ") << l.params;
    // The row's range (the SM59264 leaves its fixed area out).
    const int size = std::min(static_cast<int>(b.Chip().size()), b.wb->FileWin->EndAddr + 1);
    // The MSU2964 form's own texts.
    const std::map<std::string, std::array<const char*, 4>> own = {
        {"MSU2964", {"OK!", "OK", "Verified!", "OK"}},
        {"P2051", {"OK!", "OK", "OK!!!", "OK"}},
        {"P97C2051", {"Blank", "Ended.", "Data OK..", "Data in buffer.."}},
        {"PHI87LP", {"Blank.", "OK", "Verified", "OK"}}};
    const auto it = own.find(kw);
    const std::array<const char*, 4> texts = it != own.end() ? it->second : std::array<const char*, 4>{"Blank OK", "OK", "OK", "OK"};
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), texts[0]);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), texts[1]);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), texts[2]);
    EXPECT_TRUE(b.ChipMatchesImage(0, size));
    std::vector<std::uint8_t> want(b.Image(), b.Image() + size);
    for (int a = 0; a < size; ++a)
        if (inChip(a)) b.Image()[a] = 0x00;
    f.Click(kw == "PHI87LP" ? "ReadToFile" : "Read1");
    EXPECT_EQ(f.Text("Msg"), texts[3]);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image()));
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(Device520, EveryLine,
                         ::testing::ValuesIn(DeviceLines("device520.lst", {"SST89C5X", "SST89E554", "SST89E564",
                                                                           "AT89C51RD2", "AT89C51RC2", "IS89C52", "SM8951",
                                                                           "SM89516", "PSM2952", "SM59064", "SM59264",
                                                                           "MSU2958", "MSU2964", "DS89C4X0", "P2051",
                                                                           "P97C2051", "PHI87LP"})),
                         [](const ::testing::TestParamInfo<ListedLine>& i) { return i.param.part; });

}  // namespace
}  // namespace quilla::test
