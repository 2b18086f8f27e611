// The page-write EEPROM forms (AT28CX and AT28C256 keywords) end to end on the
// simulated programmer with the parallel EEPROM model.
#include <algorithm>
#include <string>

#include "algo/common/scan.h"
#include "sim/chips/eeprom.h"
#include "sim/programmer.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using namespace proto;

struct ProtectCase {
    const char* part;
    const char* params;
    int size;
    std::uint8_t strobe;  // the opcode of the protection cycles
    std::uint8_t other;   // never sent
};
class ProtectionCycles : public ::testing::TestWithParam<ProtectCase> {};

TEST_P(ProtectionCycles, UnlockWriteVerifyThenLockAndAStrayWriteChangesNothing) {
    const ProtectCase c = GetParam();
    SimBench b(c.part);
    auto& chip = b.ChipAs<sim::EepromChip>();
    chip.SetProtected(true);
    b.RandomImage(0x800, 5);
    b.Image()[0x400] = 0x5A;
    AlgoForm& f = b.Open(c.params);
    ASSERT_EQ(f.Text("Message"), "OK ");
    f.Enter("Edit3", "7ff");
    f.Click("Unprotect");
    EXPECT_EQ(f.Text("Message"), "Unlocked...");
    EXPECT_FALSE(chip.Protected());
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    EXPECT_TRUE(b.ChipBlank(0x800, c.size - 0x800));
    EXPECT_GT(b.tap->Count(c.strobe), 6u);
    EXPECT_EQ(b.tap->Count(c.other), 0u);

    f.Click("Protect");
    EXPECT_EQ(f.Text("Message"), "Locked...");
    EXPECT_TRUE(chip.Protected());
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));  // page 0 written back as it was
    std::fill(b.Image(), b.Image() + 0x800, 0x00);
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), MismatchText(0, 0x00, b.Chip()[0]));
    b.RandomImage(0x800, 5);
    b.Image()[0x400] = 0x5A;
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
}

INSTANTIATE_TEST_SUITE_P(
    Parts, ProtectionCycles,
    ::testing::Values(ProtectCase{"AT28C256", "AT28CX 1", 0x8000, OpStrobe33, OpBusWrite},
                      ProtectCase{"AT28C010", "AT28CX 4", 0x20000, OpBusWrite, OpStrobe33}),
    CaseName([](const ProtectCase& c) { return std::string(c.part); }));

TEST(Tp28cx, TheIdButtonDoesNothing) {
    SimBench b("AT28C256");
    AlgoForm& f = b.Open("AT28CX 1");
    EXPECT_EQ(f.Caption(), "0 to 7fff");
    const auto before = b.Transfers();
    f.Click("MFG");
    EXPECT_EQ(b.Transfers(), before);
    EXPECT_EQ(f.Text("Edit4"), "");
}

TEST(Tp28cx, LengthTypedAs200ShowsItsPageBitsAndWriteProgramsNinePages) {
    SimBench b("AT28C256");
    b.RandomImage(0x400, 6);
    AlgoForm& f = b.Open("AT28CX 1");
    f.Enter("Edit3", "200");
    EXPECT_EQ(f.Text("Edit3"), "23f");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 9 * 64));
    EXPECT_TRUE(b.ChipBlank(9 * 64, 0x8000 - 9 * 64));
}

// The HN58C65 writes pages of 32 bytes; every eighth page (256-byte boundary)
// is read back.
TEST(Tp28cx, ThirtyTwoBytePagesAreReadBackEveryEighthPage) {
    SimBench b("HN58C65");
    b.RandomImage(0x400, 7);
    AlgoForm& f = b.Open("AT28CX 9");
    f.Enter("Edit1", "50");
    EXPECT_EQ(f.Text("Edit1"), "40");
    f.Enter("Edit1", "0");
    f.Enter("Edit3", "3ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
    EXPECT_EQ(b.tap->Count(OpRead1K), 4u);
    EXPECT_EQ(b.tap->Count(OpPageWriteByte), 0x400u);
}

TEST(TAt28c256, EraseClearsAProgrammedChipSoBlankPasses) {
    SimBench b("AT28C256");
    auto cells = b.ChipAs<sim::EepromChip>().MutableContents();
    std::fill(cells.begin(), cells.end(), 0x3C);
    AlgoForm& f = b.Open("AT28C256 2");
    EXPECT_EQ(f.Caption(), "AT28c256/AT28C64B");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), NotBlankText(0, 0x3C));
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "Blank.");
    EXPECT_TRUE(b.ChipBlank(0, 0x8000));
}

TEST(TAt28c256, MassProductionProgramsThreeChipsInTurn) {
    SimBench b("AT28C256");
    b.sim->SetChipPresent(false);
    b.RandomImage(0x8000, 8);
    b.wb->options.MassProduction = true;
    AlgoForm& f = b.Open("AT28C256 2");
    // Polls per chip: the wait finds it, Erase, Blank, Write and Verify test
    // contact, the wait's first look still sees it.
    b.sim->ScheduleInsertion(sim::When::AfterPolls(1));
    for (int chip = 2; chip <= 3; ++chip) {
        b.sim->ScheduleRemoval(sim::When::AfterPolls(6));
        b.sim->ScheduleInsertion(sim::When::AfterPolls(1), sim::MakeEeprom("AT28C256").chip);
    }
    b.sim->ScheduleRemoval(sim::When::AfterPolls(6));
    f.Click("Button1");
    EXPECT_EQ(b.wb->Counter, "3") << f.Text("Message") << " polls " << b.sim->ContactPolls();
}

}  // namespace
}  // namespace quilla::test
