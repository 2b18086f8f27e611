// Every PIC line of the device lists on its simulated part: the design and
// pins the line gives reach the chip (a blank check passes, the device ID
// reads back) without a protocol violation.

#include "sim/chips/pic12.h"
#include "sim/chips/pic16c5x.h"
#include "sim/chips/pic17.h"
#include "sim/chips/pic14.h"
#include "support/device_lines.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

struct Line {
    std::string part, params;
};

std::vector<Line> PicLines() {
    std::vector<Line> out;
    for (const ListedLine& l : DeviceLines({"device520.lst"}, [](const ListedLine& l) {
             // The PIC18 forms have their own tests.
             return l.category == "MPU" && l.mfr == "MICROCHIP" && l.item.rfind("PIC", 0) == 0 &&
                    l.params.rfind("P18", 0) != 0 &&
                    l.params.find(",P18") == std::string::npos;
         }))
        out.push_back({l.item, l.params});
    return out;
}

class EveryPicLine : public ::testing::TestWithParam<Line> {};

TEST_P(EveryPicLine, ReachesItsChip) {
    const Line l = GetParam();
    SimBench b(l.part);
    AlgoForm& f = b.Open(l.params);
    ASSERT_TRUE(f.Text("Msg") == "" || f.Text("Msg") == "OK ") << l.params << ": " << f.Text("Msg");
    // The PIC16C5x parallel forms: blank, the configuration word and IDs erased.
    if (sim::FindPic16c5xPart(l.part)) {
        f.Click("Blank");
        EXPECT_EQ(f.Text("Msg"), "OK");
        f.Click("RdConfig");
        EXPECT_EQ(f.Text("Msg"), "Config=0fff,ID=ffff");
        EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
        return;
    }
    // The PIC17C4x: blank, the configuration byte erased.
    if (sim::FindPic17Part(l.part)) {
        f.Click("Blank");
        EXPECT_EQ(f.Text("Msg"), "OK");
        f.Click("RdConfig");
        EXPECT_EQ(f.Text("Msg"), "Config:ff");
        EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
        return;
    }
    // The 12-bit parts: blank, the configuration's low byte or nibble, no device ID.
    if (sim::FindPic12Part(l.part)) {
        const bool flash = l.params.rfind("PIC16F5X", 0) == 0;
        f.Click("Blank");
        EXPECT_EQ(f.Text("Msg"), flash ? "Blank.!" : "OK");
        f.Click("RdConfig");
        EXPECT_EQ(f.Text("Msg"), flash ? "Config=000f" : "Config = 00ff");
        EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
        return;
    }
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), l.params.rfind("P16F7X", 0) == 0 ? "Blank" : "OK");
    f.Click("RdConfig");
    // The PIC12F6xx/PIC16F630 word reads its unimplemented bits 11-9 as 0.
    const bool calibrated = l.params.rfind("PIC12F", 0) == 0 || l.params.rfind("PIC16F630", 0) == 0;
    const bool grid = l.params.rfind("P16CXXX", 0) == 0;
    EXPECT_EQ(f.Text("Msg"), grid ? "Config:3fff, user ID:ffff" : calibrated ? "Config = 31ff" : "Config = 3fff");
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
    if (grid || l.params.rfind("P16C61", 0) == 0) return;  // one-time parts: no device ID
    const auto id = b.ChipAs<sim::Pic14Chip>().Part().deviceId;
    EXPECT_EQ(b.wb->sel.LastReadId[0], id >> 8);
    EXPECT_EQ(b.wb->sel.LastReadId[1], id & 0xE0);
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

INSTANTIATE_TEST_SUITE_P(Device520, EveryPicLine, ::testing::ValuesIn(PicLines()),
                         [](const ::testing::TestParamInfo<Line>& i) {
                             return i.param.part + "_" + i.param.params.substr(0, i.param.params.find(' '));
                         });

TEST(PicLines, TheListHasThem) { EXPECT_GE(PicLines().size(), 56u); }

}  // namespace
}  // namespace quilla::test
