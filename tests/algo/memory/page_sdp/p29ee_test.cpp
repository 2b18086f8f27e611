// The page-write flash forms (SST29EE, AT29C, W29C) end to end on the
// simulated programmer with the page-flash variant of the EEPROM model.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "algo/common/scan.h"
#include "sim/chips/eeprom.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

constexpr int kSize = 0x20000;  // SST29EE010

std::string Mismatch(int at, int file, int chip) {
    char t[64];
    std::snprintf(t, sizeof t, "%06x:Error.(File=%02x,chip=%02x)", at, file, chip);
    return t;
}

struct SstBench : SimBench {
    SstBench() : SimBench("SST29EE010"), f(Open("SST29EE 4")) {}
    sim::EepromChip& Chip() { return ChipAs<sim::EepromChip>(); }
    void Program(std::uint8_t seed) {
        auto cells = Chip().MutableContents();
        for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<std::uint8_t>(i * seed + (i >> 8));
    }
    AlgoForm& f;
};

TEST(Sst29ee, DefaultBatchOnAProtectedProgrammedChipEndsOkAndUnprotected) {
    SstBench b;
    b.Program(11);
    b.Chip().SetProtected(true);
    b.RandomImage(kSize, 4);
    ASSERT_EQ(b.f.Text("Message"), "OK ");
    EXPECT_EQ(b.f.Caption(), "sst29ee");
    b.f.Click("Button1");
    EXPECT_EQ(b.f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, kSize));
    EXPECT_FALSE(b.Chip().Protected());
}

TEST(Sst29ee, UnlockAndLockKeepPageZero) {
    SstBench b;
    b.Program(13);
    const std::vector<std::uint8_t> before(b.Chip().Contents().begin(), b.Chip().Contents().end());
    b.f.Click("Protect");
    EXPECT_EQ(b.f.Text("Message"), "Locked...");
    EXPECT_TRUE(b.Chip().Protected());
    b.f.Click("Unprotect");
    EXPECT_EQ(b.f.Text("Message"), "Unlocked...");
    EXPECT_FALSE(b.Chip().Protected());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), b.Chip().Contents().begin()));
}

TEST(Sst29ee, AfterLockAStrayPageWriteChangesNothingAfterUnlockItTakes) {
    SstBench b;
    b.RandomImage(0x400, 9);
    b.Image()[0] = 0x12;
    b.f.Enter("Edit3", "3ff");
    b.f.Click("Protect");
    b.f.Click("Write");
    EXPECT_EQ(b.f.Text("Message"), Mismatch(0, 0x12, 0xFF));
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_TRUE(b.ChipBlank(0, kSize));
    b.f.Click("Unprotect");
    b.f.Click("Write");
    EXPECT_EQ(b.f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
    EXPECT_TRUE(b.ChipBlank(0x400, kSize - 0x400));
}

TEST(Sst29ee, EraseAloneLetsBlankPass) {
    SstBench b;
    b.Program(5);
    b.Chip().SetProtected(true);
    b.f.Click("Erase");
    EXPECT_EQ(b.f.Text("Message"), "OK");
    b.f.Click("Blank");
    EXPECT_EQ(b.f.Text("Message"), "Blank.");
    EXPECT_TRUE(b.ChipBlank(0, kSize));
}

}  // namespace
}  // namespace quilla::test

namespace quilla::test {
namespace {

TEST(PageOffsets, FileOffsetKeepsToTheRowsPage) {
    SimBench b("SST29EE010");
    AlgoForm& f = b.Open("SST29EE 4");
    f.Enter("Edit1", "1234");
    EXPECT_EQ(f.Text("Edit1"), "1200");
}

// A chip whose page cycle outlasts the "Slow" wait: the read-back at 0 finds
// it still busy, and the batch ends without "End OK..".
TEST(Sst29ee, AChipSlowerThanTheSlowWaitFailsTheReadBack) {
    SimBench b("SST29EE010");
    b.ChipAs<sim::EepromChip>().SetSlowFactor(10.0);  // 50 ms page cycles
    b.RandomImage(0x400, 3);
    b.Image()[0] = 0x21;
    AlgoForm& f = b.Open("SST29EE 4");
    f.Enter("Edit3", "3ff");
    f.Choose("Speed", 2);
    for (const char* box : {"CheckBox1", "CheckBox2"}) f.SetChecked(box, false);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message").substr(0, 20), "000000:Error.(File=2");
    EXPECT_NE(f.Text("Message"), MismatchText(0, 0x21, 0x21));
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(W29c, IdShowsTheDatasheetCodes) {
    SimBench b("W29C020");
    AlgoForm& f = b.Open("W29C 5");
    f.Click("MFG");
    EXPECT_EQ(f.Text("Edit4"), "da,45");
}

TEST(W29c, ByteLatchedPagesWriteAndVerify) {
    SimBench b("W29C020");
    b.RandomImage(0x800, 12);
    AlgoForm& f = b.Open("W29C 5");
    EXPECT_EQ(f.Caption(), "0 to 3ffff");
    f.Enter("Edit3", "7ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    EXPECT_EQ(b.tap->Count(proto::OpPageWriteByte), 0u);
}

// A page write rewrites the whole page: bytes outside the Write's range but in
// its page read erased afterwards.
TEST(At29c, APageIsRewrittenWhole) {
    SimBench b("AT29C010A");
    auto cells = b.ChipAs<sim::EepromChip>().MutableContents();
    std::fill(cells.begin(), cells.end(), 0x00);
    b.RandomImage(0x100, 2);
    AlgoForm& f = b.Open("AT29CX 4");
    f.Enter("Edit3", "ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x100));
    EXPECT_EQ(b.Chip()[0x100], 0x00);
}

// The AT29C256 has no erase by 12 V on OE: the form's Erase leaves it as it
// was and the default batch stops at Blank.
TEST(At29c256, EraseChangesNothingAndTheBatchStopsAtBlank) {
    SimBench b("AT29C256");
    b.RandomImage(0x8000, 3);
    AlgoForm& f = b.Open("AT29C256 1");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "ok");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
    f.Click("Button1");
    const int first = static_cast<int>(std::find_if(b.Chip().begin(), b.Chip().end(),
                                                    [](std::uint8_t v) { return v != 0xFF; }) -
                                       b.Chip().begin());
    EXPECT_EQ(f.Text("Message"), NotBlankText(first, b.Chip()[static_cast<std::size_t>(first)]));
    EXPECT_EQ(b.wb->Counter, "0");
}

}  // namespace
}  // namespace quilla::test
