// The adapter-socket 16-bit EPROM form (I27CX) end to end on the simulated
// programmer: Am27C4096 on the DIP40 board of row 3, Am27C1024/2048 on row 2.
#include <algorithm>

#include "algo/memory/i27cx.h"
#include "sim/chips/eprom16.h"
#include "engine/stream.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::Eprom16;

constexpr const char* k4096 = "I27CX 3 mem=4 dly=1 vcc=6250";
constexpr int k4096Size = 0x80000;

int PulseWaits(SimBench& b) {
    int n = 0;
    for (const auto& c : b.tap->commands) n += c[0] == proto::OpWaitPulse;
    return n;
}

TEST(I27cx, SetupShowsTheRowAndSetsVpp12_7) {
    SimBench b("AM27C4096");
    AlgoForm& f = b.Open(k4096);
    EXPECT_EQ(f.Text("Message"), "type=3,mem=4");
    EXPECT_EQ(b.sim->LoadedTag(), "at27c4096dip40");
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 127);
    EXPECT_EQ(f.Text("Edit3"), "7ffff");
}

TEST(I27cx, BatchBlankChecksWritesAndVerifiesTheWholeChip) {
    SimBench b("AM27C4096");
    b.RandomImage(0x1000, 81);
    std::fill(b.Image() + 0x1000, b.Image() + k4096Size, 0xFF);
    AlgoForm& f = b.Open(k4096);
    f.Enter("Edit3", "fff");  // the last word written at Device offset + Length
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
    EXPECT_TRUE(b.ChipBlank(0x1000, k4096Size - 0x1000));
    EXPECT_TRUE(b.sim->Violations().empty());
}

// Rows 4 and 5: the same parts in the 44-pin PLCC, on the boards of the designs
// "at27c2048p44" and "at27c4096p44" (VCC on 42, VPP on 48; row 5 grounds on
// socket 12): the batch programs and verifies them.
struct PlccCase {
    const char* part;
    const char* params;
    const char* tag;
    int size;
};
class I27cxPlcc : public ::testing::TestWithParam<PlccCase> {};

TEST_P(I27cxPlcc, TheBatchProgramsThePartOnItsRowsBoard) {
    const PlccCase c = GetParam();
    SimBench b(c.part);
    b.RandomImage(0x1000, 82);
    std::fill(b.Image() + 0x1000, b.Image() + c.size, 0xFF);
    AlgoForm& f = b.Open(c.params);
    EXPECT_EQ(b.sim->LoadedTag(), c.tag);
    f.Enter("Edit3", "fff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
    EXPECT_TRUE(b.ChipBlank(0x1000, c.size - 0x1000));
    EXPECT_TRUE(b.sim->Violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, I27cxPlcc,
                         ::testing::Values(PlccCase{"AM27C1024*P44", "I27CX 4 mem=2 dly=1 vcc=6250", "at27c2048p44",
                                                    0x20000},
                                           PlccCase{"AM27C2048*P44", "I27CX 4 mem=3 dly=1 vcc=6250", "at27c2048p44",
                                                    0x40000},
                                           PlccCase{"AM27C4096*P44", "I27CX 5 mem=4 dly=1 vcc=6250", "at27c4096p44",
                                                    k4096Size}),
                         CaseName([](const PlccCase& c) { return std::string(c.part); }));

TEST(I27cx, TheMultiplierQueuesThatManyPulseWaits) {
    struct Case {
        int item, factor;
    };
    for (const Case& c : {Case{0, 1}, Case{1, 2}, Case{2, 4}}) {
        SimBench b("AM27C4096");
        b.RandomImage(0x100, 82);
        AlgoForm& f = b.Open("I27CX 3 mem=4 dly=3 vcc=6250");
        f.Enter("Edit3", "ff");
        f.Choose("ComboBox1", c.item);
        b.tap->commands.clear();
        f.Click("Write");
        EXPECT_EQ(f.Text("Message"), "OK!");
        EXPECT_EQ(PulseWaits(b), 128 * 3 * c.factor) << c.factor;
        EXPECT_TRUE(b.ChipMatchesImage(0, 0x100));
    }
}

TEST(I27cx, WriteStartsAtTheOffsetsRoundedDownTo256) {
    SimBench b("AM27C4096");
    b.RandomImage(0x1000, 83);
    AlgoForm& f = b.Open(k4096);
    f.Enter("Edit1", "456");
    f.Enter("Edit2", "123");
    f.Enter("Edit3", "1dd");  // the last word at 0x123 + 0x1dd = 0x300
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipBlank(0, 0x100));
    EXPECT_TRUE(std::equal(b.Image() + 0x400, b.Image() + 0x602, b.Chip().begin() + 0x100));
    EXPECT_TRUE(b.ChipBlank(0x302, 0x100));
}

TEST(I27cx, WriteRefusesWithoutAPulse) {
    struct Case {
        const char* params;
        const char* delay;
        const char* says;
    };
    for (const Case& c : {Case{"I27CX 3 mem=4 vcc=6250", "1 倍", "dly="},
                          Case{"I27CX 3 mem=4 dly=1 vcc=6250", "x2", "Delay"},
                          Case{"I27CX 3 mem=4 dly=40000 vcc=6250", "2 倍", "queue"}}) {
        SimBench b("AM27C4096");
        b.RandomImage(0x100, 84);
        AlgoForm& f = b.Open(c.params);
        f.SetText("ComboBox1", c.delay);
        const auto before = b.Transfers();
        f.Click("Write");
        EXPECT_NE(f.Text("Message").find(c.says), std::string::npos) << c.params << ": " << f.Text("Message");
        EXPECT_EQ(b.Transfers(), before) << c.params;
        EXPECT_TRUE(b.ChipBlank(0, 0x100));
    }
}

// Pulses too long for 128 words in one queue go out between words: every transfer that holds a
// word's data ends with that word's step.
TEST(I27cx, LongPulsesFlushBetweenWordsNeverInsideOne) {
    SimBench b("AM27C4096");
    b.RandomImage(0x100, 88);
    AlgoForm& f = b.Open("I27CX 3 mem=4 dly=500 vcc=6250");
    f.Enter("Edit3", "ff");
    f.Choose("ComboBox1", 2);  // 2,000 pulse waits a word
    b.tap->keepTransfers = true;
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x100));
    int withData = 0;
    for (const auto& t : b.tap->transfers) {
        std::vector<std::uint8_t> ops;
        proto::ForEachCommand(t.data(), static_cast<int>(t.size()), [&ops](const proto::StreamCommand& c) {
            if (c.op != proto::OpNop) ops.push_back(c.op);
        });
        if (std::find(ops.begin(), ops.end(), proto::OpAdapterBusWord) == ops.end()) continue;
        ++withData;
        EXPECT_EQ(ops.back(), proto::OpAdapterStep);
    }
    EXPECT_GT(withData, 2);  // more than the two flushes a 128-word Write makes otherwise
    EXPECT_TRUE(b.sim->Violations().empty());
}

TEST(I27cx, AChipSlowerThanThePulseFailsVerifyAndALongerPulseProgramsIt) {
    SimBench b("AM27C4096");
    b.ChipAs<Eprom16>().SetSlowFactor(1.5);
    b.RandomImage(0x200, 85);
    b.Image()[0] = 0x5A;
    std::fill(b.Image() + 0x200, b.Image() + k4096Size, 0xFF);
    AlgoForm& f = b.Open(k4096);
    f.Enter("Edit3", "1ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");  // no read-back
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "000000:Error.(File=5a,chip=ff)");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    f.Choose("ComboBox1", 1);
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK..");
}

TEST(I27cx, TheIdButtonReadsArrayWordsAndProgramsNothing) {
    SimBench b("AM27C2048");
    auto cells = b.ChipAs<Eprom16>().MutableContents();
    cells[0] = 0x34;
    cells[1] = 0x12;
    AlgoForm& f = b.Open("I27CX 2 mem=3 dly=1 vcc=6250");
    // A Write leaves its last word in the design's data register first.
    b.RandomImage(0x100, 86);
    std::fill(b.Image(), b.Image() + 2, 0xFF);
    f.Enter("Edit3", "ff");
    f.Click("Write");
    const std::vector<std::uint8_t> before(b.Chip().begin(), b.Chip().end());
    for (int i = 0; i < 20; ++i) f.Click("MFG");
    EXPECT_EQ(f.Text("Message"), "MFG ID=34,12");
    EXPECT_TRUE(std::equal(before.begin(), before.end(), b.Chip().begin()));
    EXPECT_TRUE(b.sim->Violations().empty());
}

TEST(I27cx, ReadBringsTheWholeSizeFromTheDeviceOffset) {
    SimBench b("AM27C1024");
    auto cells = b.ChipAs<Eprom16>().MutableContents();
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<std::uint8_t>(i * 7 + 3);
    AlgoForm& f = b.Open("I27CX 2 mem=2 dly=1 vcc=6250");
    f.Enter("Edit2", "10000");
    f.Enter("Edit3", "10");  // Length is not used
    f.Click("ReadButton");
    EXPECT_EQ(f.Text("Message"), "OK!");
    // 128 KiB from chip 0x10000 on: the second half is the counter past the last word.
    EXPECT_TRUE(std::equal(cells.begin() + 0x10000, cells.end(), b.Image()));
    EXPECT_TRUE(std::equal(cells.begin(), cells.begin() + 0x10000, b.Image() + 0x10000));
}

TEST(I27cx, VppOutsideThePartsWindowProgramsNothing) {
    SimBench b("AM27C4096");
    b.RandomImage(0x100, 87);
    AlgoForm& f = b.Open(k4096);
    f.Enter("Edit3", "ff");
    b.wb->Ep3.SetVpp(13500);  // above 12.75 V + 0.25 V
    f.Click("Write");
    EXPECT_TRUE(b.ChipBlank(0, 0x100));
}

}  // namespace
}  // namespace quilla::test
