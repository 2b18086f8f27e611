// The X28C page-write EEPROM form end to end on the simulated programmer.
#include <cstdio>
#include <numeric>

#include "algo/memory/x28c.h"
#include "sim/chips/eeprom.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

constexpr int kSize = 0x20000;  // X28C010

struct X28Bench : SimBench {
    X28Bench() : SimBench("X28C010"), f(Open("X28C 4")) {}
    sim::EepromChip& Chip() { return ChipAs<sim::EepromChip>(); }
    AlgoForm& f;
};

TEST(X28C, UnlockWriteVerifyAChipThatShipsProtected) {
    X28Bench b;
    b.Chip().SetProtected(true);
    b.RandomImage(0x1000, 2);
    ASSERT_EQ(b.f.Text("Message"), "OK ");
    EXPECT_EQ(b.f.Caption(), "0 to 1ffff");
    b.f.Enter("Edit3", "fff");
    b.f.Click("Unprotect");
    EXPECT_EQ(b.f.Text("Message"), "Unlocked...");
    EXPECT_FALSE(b.Chip().Protected());
    b.f.Click("Write");
    EXPECT_EQ(b.f.Text("Message"), "Writing OK.......");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
    EXPECT_TRUE(b.ChipBlank(0x1000, kSize - 0x1000));
    b.f.Click("Verify");
    EXPECT_EQ(b.f.Text("Message"), "Data OK!");
}

TEST(X28C, AfterLockAPlainWriteChangesNothingAfterUnlockItTakes) {
    X28Bench b;
    b.RandomImage(0x400, 8);
    b.f.Enter("Edit3", "3ff");
    b.f.Click("Protect");
    EXPECT_EQ(b.f.Text("Message"), "Locked...");
    EXPECT_TRUE(b.Chip().Protected());
    EXPECT_TRUE(b.ChipBlank(0, kSize));  // page 0 was written back as it was
    b.f.Click("Write");
    EXPECT_EQ(b.f.Text("Message"), "Error..");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_TRUE(b.ChipBlank(0, kSize));
    b.f.Click("Unprotect");
    b.f.Click("Write");
    EXPECT_EQ(b.f.Text("Message"), "Writing OK.......");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
}

TEST(X28C, LockAndUnlockKeepPageZero) {
    X28Bench b;
    auto cells = b.Chip().MutableContents();
    for (int i = 0; i < 0x200; ++i) cells[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 13);
    const std::vector<std::uint8_t> before(cells.begin(), cells.begin() + 0x200);
    b.f.Click("Protect");
    b.f.Click("Unprotect");
    EXPECT_TRUE(std::equal(before.begin(), before.end(), b.Chip().Contents().begin()));
    EXPECT_FALSE(b.Chip().Protected());
}

TEST(X28C, ChecksumIsTheChipsByteSum) {
    X28Bench b;
    auto cells = b.Chip().MutableContents();
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    const std::uint32_t sum = std::accumulate(cells.begin(), cells.end(), 0u);
    b.f.Click("Protect");  // leaves CE high: the sum must not care
    b.f.Click("Button2");
    char want[40];
    std::snprintf(want, sizeof want, "The checksum  = %08x.", sum);
    EXPECT_EQ(b.f.Text("Message"), want);
}

TEST(X28C, BlankAsksPerBlockAndStopsAtTheChipsEnd) {
    X28Bench b;
    b.f.Enter("Edit3", "fffff");  // far past the chip
    b.f.Click("Blank");
    EXPECT_EQ(b.f.Text("Message"), "Blank.");
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
    b.Chip().MutableContents()[0x1F234] = 0x00;
    b.f.Click("Blank");
    EXPECT_EQ(b.f.Text("Message"), "01f200: not blank");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(X28C, ACancelAtTheProgrammerEndsVerifyAndWrite) {
    X28Bench b;
    b.f.Enter("Edit3", "3ff");
    b.sim->InjectCancel(2);  // the third 256-byte block
    b.f.Click("Verify");
    EXPECT_EQ(b.f.Text("Message"), "Canceled...");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(b.f.Text("Edit6"), "000200");

    b.RandomImage(0x400, 3);
    b.sim->InjectCancel(1);
    b.f.Click("Button1");  // Burn stops after its second page, Verify never runs
    EXPECT_EQ(b.f.Text("Message"), "Error..");
    EXPECT_EQ(b.wb->Counter, "0");
    // The page under way finishes its write cycle before VCC goes off.
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x200));
    EXPECT_TRUE(b.ChipBlank(0x200, 0x200));
}

struct EditCase {
    const char* edit;
    const char* typed;
    const char* shown;
};
class PageOffsets : public ::testing::TestWithParam<EditCase> {};

TEST_P(PageOffsets, OffsetsKeepToPagesAndLengthToThePagesLowBits) {
    const EditCase c = GetParam();
    X28Bench b;
    b.f.Enter(c.edit, c.typed);
    EXPECT_EQ(b.f.Text(c.edit), c.shown);
    // Typed but not left: activating the form does the same to Length.
    b.f.SetText("Edit3", c.typed);
    b.f.Activate();
    if (std::string(c.edit) == "Edit3") {
        EXPECT_EQ(b.f.Text("Edit3"), c.shown);
    }
}

INSTANTIATE_TEST_SUITE_P(Edits, PageOffsets,
                         ::testing::Values(EditCase{"Edit1", "1234", "1200"}, EditCase{"Edit2", "1234", "1200"},
                                           EditCase{"Edit3", "1000", "10ff"}),
                         CaseName([](const EditCase& c) { return std::string(c.edit) + " " + c.typed; }));

TEST(X28C, WriteReadsEachPageBackAndNamesTheFailingAddress) {
    X28Bench b;
    b.RandomImage(0x300, 4);
    b.Chip().SetSlowFactor(3.0);  // 15 ms: longer than the "Normal  " page wait
    b.f.Enter("Edit3", "2ff");
    b.f.Click("Write");
    EXPECT_EQ(b.f.Text("Message"), "Error..");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    b.f.Choose("Speed", 2);  // "Slow": 30 ms
    b.f.Click("Write");
    EXPECT_EQ(b.f.Text("Message"), "Writing OK.......");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x300));
}

TEST(X28C, TheChipsLastPageWritesAndTheChipStaysReadable) {
    X28Bench b;
    b.RandomImage(0x20000, 6);
    b.f.Enter("Edit1", "1ff00");
    b.f.Enter("Edit2", "1ff00");
    b.f.Enter("Edit3", "ff");
    b.f.Click("Write");
    EXPECT_EQ(b.f.Text("Message"), "Writing OK.......");
    b.f.Click("Verify");
    EXPECT_EQ(b.f.Text("Message"), "Data OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0x1FF00, 0x100));
    EXPECT_TRUE(b.ChipBlank(0, 0x1FF00));
}

TEST(X28C, ReadTakesTheChipUpToLength) {
    X28Bench b;
    auto cells = b.Chip().MutableContents();
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    std::fill(b.Image(), b.Image() + kSize, 0x00);
    b.f.Enter("Edit3", "17f");  // 1ff: Length keeps the page's low bits
    b.f.Click("ReadButton");
    EXPECT_EQ(b.f.Text("Message"), "OK!!!!!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x200));
    EXPECT_EQ(b.Image()[0x200], 0x00);
}

TEST(X28C, TheX28c256WritesItsDatasheetsSixtyFourBytePages) {
    SimBench b("X28C256");
    b.RandomImage(0x8000, 9);
    AlgoForm& f = b.Open("X28C 1");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "Writing OK.......");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
    f.Enter("Edit1", "1234");
    EXPECT_EQ(f.Text("Edit1"), "1200");
}

TEST(X28C, BatchUnlocksWritesAndVerifiesOnce) {
    X28Bench b;
    b.Chip().SetProtected(true);
    b.RandomImage(0x400, 5);
    b.wb->options.MassProduction = true;
    b.f.SetChecked("CheckBox2", true);
    b.f.Enter("Edit3", "3ff");
    b.f.Click("Button1");
    EXPECT_EQ(b.f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
}

TEST(X28C, AnEmptySocketPassesNothing) {
    X28Bench b;
    b.sim->SetChipPresent(false);
    for (const char* op : {"Blank", "Verify", "Write", "Unprotect"}) {
        b.wb->ErrorFlag() = 0;
        b.f.Click(op);
        EXPECT_EQ(b.wb->ErrorFlag(), 1) << op;
    }
}

}  // namespace
}  // namespace quilla::test
