// The SM8951, SM89516 and SM2952 forms end to end on the simulated programmer
// with parts modelled from their programming settings.
#include "algo/mcs51/sm8951.h"
#include "mcs51_bench.h"
#include "sim/chips/pin51.h"

namespace quilla::test {
namespace {

using sim::PinTable51Chip;

PinTable51Chip& Pin(SimBench& b) { return b.ChipAs<PinTable51Chip>(); }

// Every status text a form shows, in order.
struct StatusLog : FormView {
    explicit StatusLog(AlgoForm& f) : form(f) { f.SetView(this); }
    ~StatusLog() override { form.SetView(nullptr); }
    void Repaint(const FormControl& c) override {
        if (c.Name == "Msg") texts.push_back(c.Text);
    }
    AlgoForm& form;
    std::vector<std::string> texts;
};

TEST(Sm8951, DefaultBatchErasesWritesVerifiesAndLocks) {
    SimBench b("SM8951A");
    b.RandomImage(0x1000, 3);
    Preload(b, 0x1000);
    for (std::uint8_t& v : b.sim->GetChip()->MutableContents()) v = static_cast<std::uint8_t>(v & 0x3C);
    AlgoForm& f = b.Open("SM8951 1");
    ASSERT_EQ(f.Text("Msg"), "OK ");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    Pin(b).SetLockBits(0);  // look past the lock at the cells
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

TEST(Sm8951, LockedChipReadsBackNothing) {
    SimBench b("SM8951A");
    b.RandomImage(0x1000, 4);
    AlgoForm& f = b.Open("SM8951 1");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "Locked..");
    EXPECT_EQ(Pin(b).LockBits(), 1u);
    f.Click("Verify");
    EXPECT_NE(f.Text("Msg"), "OK");
}

TEST(Sm8951, RowEraseCountsFollowTheChipSize) {
    // 64 pulses blank the SM89516C; the 8 of the SM8951A row are too few for it.
    for (const char* params : {"SM8951 5", "SM8951 1"}) {
        SCOPED_TRACE(params);
        SimBench b("SM89516C");
        b.RandomImage(0x10000, 5);
        Preload(b, 0x10000);
        AlgoForm& f = b.Open(params);
        f.Click("Erase");
        EXPECT_EQ(f.Text("Msg"), "Erased..");
        const bool blank = b.ChipBlank(0, 0x10000);
        EXPECT_EQ(blank, std::string(params) == "SM8951 5");
    }
    SimBench b("SM89516C");
    b.RandomImage(0x10000, 5);
    Preload(b, 0x10000);
    AlgoForm& f = b.Open("SM8951 5");
    f.Click("Erase");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank OK");
}

TEST(Sm8951, Sm8954cRowCoversSixteenKilobytes) {
    SimBench b("SM8954C");
    b.RandomImage(0x4000, 6);
    AlgoForm& f = b.Open("SM8951 3");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0x3FFF);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x4000));
}

TEST(Sm89516, EraseCountsToTenAndEndsOk) {
    SimBench b("SM8954A");
    b.RandomImage(0x4000, 7);
    Preload(b, 0x4000);
    AlgoForm& f = b.Open("SM89516 4");
    StatusLog log(f);
    f.Click("Erase");
    std::vector<std::string> counts;
    for (const std::string& t : log.texts)
        if (t.rfind("Erase: ", 0) == 0) counts.push_back(t);
    ASSERT_EQ(counts.size(), 10u);
    EXPECT_EQ(counts.front(), "Erase: 1");
    EXPECT_EQ(counts.back(), "Erase: 10");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipBlank(0, 0x4000));
}

TEST(Sm89516, LockChecksTheCurrentOnceVppIsRouted) {
    SimBench b("SM8954A");
    AlgoForm& f = b.Open("SM89516 4");
    b.ExpectOverCurrent();
    b.sim->InjectOverCurrent();
    f.Click("Secrity");
    EXPECT_NE(f.Text("Msg"), "OK");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(Pin(b).LockBits(), 0u);
}

TEST(Sm2952, EraseThenWriteAndVerify) {
    SimBench b("SM2954");
    b.RandomImage(0x4000, 8);
    Preload(b, 0x4000);
    Pin(b).SetLockBits(1);
    std::vector<std::uint8_t> image(b.Image(), b.Image() + 0x4000);
    for (int i = 0; i < 0x4000; ++i) b.Image()[i] = static_cast<std::uint8_t>(~image[static_cast<std::size_t>(i)]);
    AlgoForm& f = b.Open("PSM2952 4");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "Erased..");
    EXPECT_EQ(Pin(b).LockBits(), 0u);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "Locked..");
    EXPECT_EQ(Pin(b).LockBits(), 1u);
}

TEST(Sm51Model, NoProgrammingWithoutVpp) {
    SimBench b("SM2951");
    b.RandomImage(0x1000, 9);
    AlgoForm& f = b.Open("PSM2952 1");
    b.wb->Ep3.SetVpp(5000);  // not the part's 12.5 V
    f.Click("Write");
    EXPECT_TRUE(b.ChipBlank(0, 0x1000));
}

}  // namespace
}  // namespace quilla::test
