// The PALCE16V8 form end to end: its row write lands on the JEDEC cells of
// its 34 x 64 layout, and Read, Blank and Verify read the chip through the
// row read of sim/README.md.
#include <algorithm>
#include <random>

#include "engine/protocol.h"
#include "pld_test_support.h"
#include "sim/chips/gal.h"

namespace quilla::test {
namespace {

using sim::PalceChip;

constexpr int R = 34, A = 34 * 64;

// A map of random fuses for the written places (array, XOR, signature, AC1,
// SYN, AC0); the product-term enables stay '1'.
void RandomMap(SimBench& b, unsigned seed) {
    std::mt19937 rng(seed);
    std::fill(b.Image(), b.Image() + 6000, '1');
    for (int n = 0; n < A + 146; ++n)
        if (n < A + 80 || n >= A + 144) b.Image()[n] = (rng() & 1) ? '1' : '0';
}

PalceChip& Chip(SimBench& b) { return b.ChipAs<PalceChip>(); }

TEST(PalceForm, WriteLandsOnTheJedecCellsAndVerifies) {
    SimBench b("PALCE16V8H");
    AlgoForm& f = b.Open("PALCEGAL 1");
    EXPECT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(b.sim->LoadedTag(), "vex300");  // the row read needs the pin options
    RandomMap(b, 3);
    const std::string want = ImageFuses(b, 0, A + 146);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
    for (int row : {0, 3, 33})
        for (int pt = 0; pt < 64; ++pt)
            EXPECT_EQ(Chip(b).Cells().Cell(row, pt), want[static_cast<std::size_t>(R * pt + row)] == '1');
    for (int n = 0; n < A + 146; ++n) {
        if (n >= A + 80 && n < A + 144) continue;
        ASSERT_EQ(b.Chip()[static_cast<std::size_t>(n)], want[static_cast<std::size_t>(n)]) << n;
    }
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Data OK..");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);

    std::fill(b.Image(), b.Image() + 6000, 'x');
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "Data in buffer..");
    for (int n = 0; n < A + 146; ++n)
        ASSERT_EQ(b.Image()[n], (n >= A + 80 && n < A + 144) ? '1' : want[static_cast<std::size_t>(n)]) << n;
}

TEST(PalceForm, VerifyAndBlankJudgeTheChip) {
    SimBench b("PALCE16V8H");
    AlgoForm& f = b.Open("PALCEGAL 1");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank.");
    RandomMap(b, 4);
    f.Click("Write");

    const int fuse = 2 + R * 10;  // row 2, bit 10
    b.Image()[fuse] = b.Image()[fuse] == '1' ? '0' : '1';
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Err.");
    EXPECT_EQ(f.Text("Edit6"), "0138");  // B·i + j
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    b.Image()[fuse] = b.Image()[fuse] == '1' ? '0' : '1';

    b.Image()[A + 3] = b.Image()[A + 3] == '1' ? '0' : '1';  // XOR 3
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "CFG bit error!!");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);

    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Not blank..");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "Erased..");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank.");
    EXPECT_EQ(std::count(b.Chip().begin(), b.Chip().end(), '0'), 0);
}

TEST(PalceForm, BatchWritesVerifiesAndCounts) {
    SimBench b("PALCE16V8H");
    AlgoForm& f = b.Open("PALCEGAL 1");
    EXPECT_FALSE(f.Checked("CheckBox1"));
    EXPECT_FALSE(f.Checked("CheckBox5"));
    RandomMap(b, 5);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    // Not blank any more: the next pass stops at its blank check.
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "Not blank..");
    EXPECT_EQ(b.wb->Counter, "1");
    // Erase and Lock ticked: the locked array reads as ones.
    f.SetChecked("CheckBox1", true);
    f.SetChecked("CheckBox5", true);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(Chip(b).Cells().Secured());
    f.Click("Read1");
    EXPECT_EQ(ImageFuses(b, 0, A), std::string(A, '1'));
}

TEST(PalceForm, OverCurrentAfterPowerUpStopsBeforeAnyRow) {
    for (const char* op : {"Write", "Verify", "Blank", "Erase"}) {
        SimBench b("PALCE16V8H");
        AlgoForm& f = b.Open("PALCEGAL 1");
        b.ExpectOverCurrent();
        b.sim->InjectOverCurrent();
        f.Click(op);
        ASSERT_FALSE(b.prompts.shown.empty()) << op;
        EXPECT_EQ(b.prompts.Last().rfind("Exceed current limit.", 0), 0u) << op;
        EXPECT_EQ(b.wb->ErrorFlag(), 1) << op;
        EXPECT_EQ(Chip(b).RowsProgrammed(), 0) << op;
        // No row framing after the check: pin 14 is never raised.
        std::size_t raised14 = 0;
        for (const auto& c : b.tap->commands) raised14 += c[0] == proto::OpPinHigh && c.size() > 1 && c[1] == 14;
        EXPECT_EQ(raised14, 0u) << op;
    }
}

TEST(PalceForm, RowsOutsideItsTableAreRefusedAtSetup) {
    for (const char* params : {"PALCEGAL 0", "PALCEGAL 7", "PALCEGAL 11"}) {
        SimBench b("PALCE16V8H");
        AlgoForm& f = b.Open(params);
        ASSERT_EQ(b.prompts.shown.size(), 1u) << params;
        f.Click("Write");
        f.Click("Button1");
        EXPECT_EQ(b.tap->outTransfers, 0) << params;
    }
}

}  // namespace
}  // namespace quilla::test
