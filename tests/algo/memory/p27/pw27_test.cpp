// The electrically erasable EPROM form end to end on the simulated programmer.
#include "algo/memory/pw27.h"
#include "sim/chips/eprom.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

TEST(PW27, ProgramVerifyEraseBlankProgramAgainVerify) {
    SimBench b("W27E010");
    b.RandomImage(0x20000, 1);
    AlgoForm& f = b.Open("PW27 2");
    EXPECT_EQ(f.Caption(), "0 to 1ffff");
    f.Click("Write");
    ASSERT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x20000));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");

    f.Click("Blank");
    EXPECT_NE(f.Text("Message"), "Blank.");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK!");
    // Back at the programming level, A9 no longer on VPP.
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 120);
    EXPECT_FALSE(b.sim->GetSocket().VppPins().Has(30));
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "Blank.");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);

    b.RandomImage(0x20000, 2);
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x20000));
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

TEST(PW27, BatchErasesBlankChecksWritesAndVerifiesAProgrammedChip) {
    SimBench b("W27E512");
    auto cells = b.ChipAs<sim::EpromChip>().MutableContents();
    std::fill(cells.begin(), cells.end(), 0x5A);  // holds an old program
    b.RandomImage(0x10000, 3);
    AlgoForm& f = b.Open("PW27 1");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x10000));
}

TEST(PW27, ShortEraseLeavesTheChipProgrammedAndTheBatchStopsAtBlank) {
    SimBench b("W27E512");
    auto cells = b.ChipAs<sim::EpromChip>().MutableContents();
    std::fill(cells.begin(), cells.end(), 0x00);
    b.ChipAs<sim::EpromChip>().SetSlowFactor(3);  // needs 300 ms of erase
    AlgoForm& f = b.Open("PW27 1");
    f.Click("Button1");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(f.Text("Message").substr(6), ":Err. Not Blank=00");
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(PW27, TheBatchStepsAreSkippedWhenUnticked) {
    SimBench b("W27E512");
    b.RandomImage(0x10000, 4);
    AlgoForm& f = b.Open("PW27 1");
    f.SetChecked("CheckBox3", false);  // no write
    f.Click("Button1");
    // Verify of a blank chip against the image fails.
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(b.wb->Counter, "0");
}

}  // namespace
}  // namespace quilla::test
