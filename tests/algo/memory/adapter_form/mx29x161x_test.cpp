// The adapter-socket page-buffer flash form (MX29X161X) end to end on the
// simulated programmer: MX29F1611 on the SOP44 board of the mx1611sop44 design.
#include <algorithm>

#include "algo/memory/mx29x161x.h"
#include "sim/chips/mx_page.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::PageFlash;

constexpr const char* kLine = "MX29X161X 5 #C2 F1 pkg=44 gnd=100 dly=12 vcc=5000";
constexpr int kSize = 0x200000;

void Fill(SimBench& b, std::uint8_t v) {
    auto c = b.ChipAs<PageFlash>().MutableContents();
    std::fill(c.begin(), c.end(), v);
}

TEST(Mx29x161x, APageLandsWithByteZeroFromTheDataRegisterAndEveryLoadOpensItsTransfer) {
    SimBench b("MX29F1611");
    b.RandomImage(0x100, 91);
    AlgoForm& f = b.Open(kLine);
    ASSERT_EQ(f.Text("Message"), "OK ");
    f.Enter("Edit3", "7f");  // one page
    b.tap->keepTransfers = true;
    const auto before = b.Transfers();
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x80));
    EXPECT_TRUE(b.ChipBlank(0x80, 0x80));  // the buffer's 128th byte is not programmed
    EXPECT_EQ(b.ChipAs<PageFlash>().PagesProgrammed(), 1);
    // Each 0x0C load is the whole of its transfer: 35 bytes.
    int loads = 0;
    for (const auto& t : b.tap->transfers)
        if (!t.empty() && t[0] == proto::OpPageBufferLoad) {
            ++loads;
            EXPECT_EQ(t.size(), 35u);
        }
    EXPECT_EQ(loads, 4);
    EXPECT_GE(b.Transfers() - before, 5u);
}

TEST(Mx29x161x, WriteFromOffsetsRoundedDownTo256AndVerify) {
    SimBench b("MX29F1611");
    b.RandomImage(0x8000, 92);
    std::fill(b.Image() + 0x5800, b.Image() + 0x5600 + 0x2000, 0xFF);
    AlgoForm& f = b.Open(kLine);
    f.Enter("Edit1", "5678");
    f.Enter("Edit2", "1234");
    f.Enter("Edit3", "1cb");  // the last page holds 0x1234 + 0x1cb = 0x13ff
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipBlank(0, 0x1200));
    EXPECT_TRUE(std::equal(b.Image() + 0x5600, b.Image() + 0x5800, b.Chip().begin() + 0x1200));
    EXPECT_TRUE(b.ChipBlank(0x1400, 0x1000));
    // Verify compares whole 8 KiB blocks from the Device offset.
    f.Enter("Edit1", "5600");
    f.Enter("Edit2", "1200");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK..");
}

TEST(Mx29x161x, TheIdCheckComparesTwoBytesAndShowsThree) {
    struct Case {
        const char* params;
        bool asks;
    };
    for (const Case& c : {Case{kLine, false}, Case{"MX29X161X 5 #C2 F4 pkg=44 gnd=100 dly=12 vcc=5000", true}}) {
        SimBench b("MX29F1611");
        Fill(b, 0x00);
        AlgoForm& f = b.Open(c.params);
        b.prompts.answers = {BtnNo};
        f.Click("Erase");
        EXPECT_EQ(b.prompts.shown.size(), c.asks ? 1u : 0u) << c.params;
        if (c.asks) {
            EXPECT_EQ(b.prompts.shown[0].text, "Type error\nContinue?");
            EXPECT_EQ(b.Chip()[0], 0x00);
        } else {
            EXPECT_EQ(f.Text("Message"), "OK");
            EXPECT_TRUE(b.ChipBlank(0, kSize));
        }
    }
    SimBench b("MX29F1611");
    AlgoForm& f = b.Open(kLine);
    f.Click("MFG");
    EXPECT_EQ(f.Text("Message"), "c2,f1,c2");
}

TEST(Mx29x161x, TheExplicitEraseClearsAProgrammedChip) {
    SimBench b("MX29F1611");
    Fill(b, 0x00);
    AlgoForm& f = b.Open(kLine);
    f.Click("Button3");
    EXPECT_EQ(f.Text("Message"), "OK");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "OK");
}

TEST(Mx29x161x, UnlockReachesTheChipAsFiveWriteCyclesSoAProtectedSectorStays) {
    SimBench b("MX29F1611");
    Fill(b, 0x00);
    auto& chip = b.ChipAs<PageFlash>();
    chip.SetProtected(0, true);
    AlgoForm& f = b.Open(kLine);
    const int before = chip.WriteCycles();
    f.Click("Button2");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_EQ(chip.WriteCycles() - before, 5);
    EXPECT_TRUE(chip.Protected(0));
    f.Click("Button3");
    EXPECT_EQ(b.Chip()[0], 0x00);               // the protected sector keeps its data
    EXPECT_TRUE(b.ChipBlank(0x20000, kSize - 0x20000));
}

TEST(Mx29x161x, BatchErasesWritesAndVerifies) {
    SimBench b("MX29F1611");
    Fill(b, 0x00);
    b.RandomImage(0x2000, 93);
    AlgoForm& f = b.Open(kLine);
    f.Enter("Edit3", "1fff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x2000));
    EXPECT_TRUE(b.sim->Violations().empty());
}

TEST(Mx29x161x, LinesTheFormCannotTakeRefuseAndSendNothing) {
    struct Case {
        const char* params;
        const char* key;
    };
    for (const Case& c : {Case{"MX29X161X 5 pkg=40 gnd=100 dly=12 vcc=5000", "pkg="},
                          Case{"MX29X161X 5 pkg=44 dly=12 vcc=5000", "gnd="},
                          Case{"MX29X161X 5 pkg=44 gnd=100 dly=12", "vcc="},
                          Case{"MX29X161X 2 pkg=44 gnd=100 dly=12 vcc=5000", "variant"},
                          Case{"MX29X161X 0 pkg=44 gnd=100 dly=12 vcc=5000", "variant"}}) {
        SimBench b("MX29F1611");
        AlgoForm& f = b.Open(c.params);
        EXPECT_NE(f.Text("Message").find(c.key), std::string::npos) << c.params << ": " << f.Text("Message");
        const auto before = b.Transfers();
        for (const char* button : {"Write", "Erase", "Button2", "Button3", "ReadButton", "Button1"}) f.Click(button);
        EXPECT_EQ(b.Transfers(), before) << c.params;
    }
}

}  // namespace
}  // namespace quilla::test
