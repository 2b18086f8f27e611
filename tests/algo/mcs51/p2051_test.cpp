// The 20-pin 8051 forms (keywords P2051, P97C2051) end to end on the simulated
// programmer: the chip's address counter walked from 0 over the whole chip.
#include "algo/mcs51/p2051.h"
#include "mcs51_bench.h"
#include "sim/chips/c2051.h"

namespace quilla::test {
namespace {

using sim::Counter51Chip;

Counter51Chip& C20(SimBench& b) { return b.ChipAs<Counter51Chip>(); }

TEST(P2051, ReadFillsTheWholeChipWhateverEndAddr) {
    SimBench b("AT89C2051");
    b.RandomImage(0x800, 3);
    Preload(b, 0x800);
    std::vector<std::uint8_t> want(b.Image(), b.Image() + 0x800);
    std::fill(b.Image(), b.Image() + 0x800, 0);
    AlgoForm& f = b.Open("P2051 2");
    SetEndAddr(b, 0x10);
    b.tap->commands.clear();
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image()));
    EXPECT_EQ(b.tap->Count(proto::OpSamplePort), 0x800u);
    EXPECT_GE(b.tap->Count(proto::OpReply), 32u);  // one per 64 bytes (and the checks)
    EXPECT_LE(b.tap->Count(proto::OpReply), 32u + 2);
}

TEST(P2051, DefaultBatchWritesVerifiesLocksAndTheSignature) {
    SimBench b("AT89C2051");
    b.RandomImage(0x800, 4);
    Preload(b, 0x800);
    for (std::uint8_t& v : C20(b).MutableContents()) v = static_cast<std::uint8_t>(~v);
    AlgoForm& f = b.Open("P2051 2 #1E 21");
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "1e,21");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_EQ(C20(b).LockBits(), 3u);
    C20(b).SetLockBits(0);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

TEST(P2051, ASlowWriteCycleFailsAtMidAndPassesAtTheSlowerDelay) {
    SimBench b("AT89C2051");
    b.RandomImage(0x800, 5);
    b.sim->GetChip()->SetSlowFactor(2.5);  // a 3 ms write cycle
    AlgoForm& f = b.Open("P2051 2");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_NE(f.Text("Msg"), "OK!!!");
    f.Click("Erase");
    f.Choose("RadioGroup2", 1);  // "Vrfy慢"
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
}

TEST(P2051, LockModesAndARefusedContactAtTheSecondBit) {
    {
        SimBench b("AT89C1051");
        AlgoForm& f = b.Open("P2051 1");
        f.Choose("RadioGroup1", 0);  // "1:No Wrt. "
        f.Click("Secrity");
        EXPECT_EQ(f.Text("Msg"), "OK");
        EXPECT_EQ(C20(b).LockBits(), 1u);
    }
    SimBench b("AT89C1051");
    AlgoForm& f = b.Open("P2051 1");
    const int polls = b.sim->ContactPolls();
    (void)polls;
    // The second bit's contact test finds pin 13 without contact.
    int contactTests = 0;
    b.tap->afterOut = [&](int) {};
    b.wb->options.MassProduction = false;
    b.prompts.answers = {BtnCancel};
    b.tap->beforeOut = [&](int) {
        if (C20(b).LockBits() == 1u && contactTests++ == 0) b.sim->SetBadContact(13);
    };
    f.Click("Secrity");
    EXPECT_EQ(C20(b).LockBits(), 1u);
    EXPECT_NE(f.Text("Msg"), "OK");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(P97c205x, RunsOnItsOwnDesignWritesVerifiesAndLocks) {
    SimBench b("97C2051");
    b.RandomImage(0x800, 6);
    b.Open("P89C51 1");  // another family's form loads its design first
    AlgoForm& f = b.Open("P97C2051 2");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "Ended.");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Data OK..");
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "Locked...");
    EXPECT_EQ(C20(b).LockBits(), 3u);
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
    // The next reply holds only its own captures (the read-back's are fetched).
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "1e,21");
}

TEST(P97c205x, AnEmptySocketNeverPasses) {
    SimBench b("97C2051");
    b.sim->SetChipPresent(false);
    b.wb->options.ContactCheck = false;
    b.RandomImage(0x800, 8);
    std::fill(b.Image(), b.Image() + 0x800, 0xFF);
    AlgoForm& f = b.Open("P97C2051 2");
    f.Click("Button1");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(P97c205x, BatchEndsOk) {
    SimBench b("97C1051");
    b.RandomImage(0x400, 7);
    AlgoForm& f = b.Open("P97C2051 1");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(C20(b).LockBits(), 3u);
    C20(b).SetLockBits(0);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
}

// The frame's batch file check (BatchFileOk51) in both forms that use it: the
// Write box ticked without a buffer window says so and programs nothing.
TEST(Mcs51BatchFileCheck, WriteTickedWithoutABufferWindowProgramsNothing) {
    for (const auto& [part, line] : {std::pair{"AT89C2051", "P2051 2"}, std::pair{"MSU2958", "MSU2958 8"}}) {
        SimBench b(part);
        AlgoForm& f = b.Open(line);
        b.wb->FileWin.reset();
        b.tap->commands.clear();
        f.Click("Button1");
        EXPECT_EQ(b.prompts.Last(), "Must open a file to write...") << line;
        EXPECT_EQ(b.wb->Counter, "0") << line;
        EXPECT_EQ(b.tap->Count(proto::OpPutPort) + b.tap->Count(proto::OpPutData51), 0u) << line;
    }
}

}  // namespace
}  // namespace quilla::test
