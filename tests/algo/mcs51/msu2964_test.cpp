// The MSU2964 form end to end on the simulated programmer: the swapped data
// paths (port modes 1 and 0, capture 0x01), the command cycles and the
// unprotect step.
#include "algo/mcs51/msu2964.h"
#include "mcs51_bench.h"
#include "sim/chips/msu2964.h"

namespace quilla::test {
namespace {

using sim::Msu2964Chip;

Msu2964Chip& Msu(SimBench& b) { return b.ChipAs<Msu2964Chip>(); }

struct StatusLog : FormView {
    explicit StatusLog(AlgoForm& f) : form(f) { f.SetView(this); }
    ~StatusLog() override { form.SetView(nullptr); }
    void Repaint(const FormControl& c) override {
        if (c.Name == "Msg" && (texts.empty() || texts.back() != c.Text)) texts.push_back(c.Text);
    }
    AlgoForm& form;
    std::vector<std::string> texts;
};

TEST(Msu2964, SixteenKilobyteRowEraseBlankWriteVerify) {
    SimBench b("MSU2964");
    b.RandomImage(0x10000, 3);
    Preload(b, 0x10000);
    Msu(b).SetProtected(true);
    AlgoForm& f = b.Open("MSU2964 3");
    {
        StatusLog log(f);
        f.Click("Erase");
        const std::vector<std::string> want = {"Unprotect...", "OK", "Erasing", "Erased.."};
        std::vector<std::string> seen;
        for (const std::string& t : log.texts)
            if (std::find(want.begin(), want.end(), t) != want.end()) seen.push_back(t);
        EXPECT_EQ(seen, want);
    }
    EXPECT_FALSE(Msu(b).Protected());
    EXPECT_TRUE(b.ChipBlank(0, 0x10000));
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK!");

    SetEndAddr(b, 0x123);  // Write covers the row whatever EndAddr says
    b.RandomImage(0x10000, 4);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x4000));
    EXPECT_TRUE(b.ChipBlank(0x4000, 0xC000));
    SetEndAddr(b, 0x3FFF);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Verified!");
    b.Image()[0x2345] ^= 0x10;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(f.Text("Edit6"), "2345");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Not BLK.");
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

TEST(Msu2964, ReadBringsSixtyFourBytesPerReply) {
    SimBench b("MSU2964");
    b.RandomImage(0x1000, 5);
    Preload(b, 0x1000);
    AlgoForm& f = b.Open("MSU2964 5");
    std::vector<std::uint8_t> want(b.Image(), b.Image() + 0x1000);
    std::fill(b.Image(), b.Image() + 0x1000, 0);
    b.tap->commands.clear();
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image()));
    EXPECT_EQ(b.tap->Count(proto::OpCapturePort0), 0x1000u);
    EXPECT_GE(b.tap->Count(proto::OpReply), 0x1000u / 64);  // one per 64 bytes (and the checks)
    EXPECT_LE(b.tap->Count(proto::OpReply), 0x1000u / 64 + 2);
}

TEST(Msu2964, LockProtectsAndOnlyTheUnprotectStepClearsIt) {
    SimBench b("MSU2964");
    b.RandomImage(0x1000, 6);
    AlgoForm& f = b.Open("MSU2964 5");
    f.Click("Write");
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "Locked..");
    EXPECT_TRUE(Msu(b).Protected());

    // The six-cycle erase without the unprotect cycle erases nothing.
    auto& form = dynamic_cast<TMsu2964x&>(f);
    TEp3& e = b.wb->Ep3;
    form.PowerUp51();
    e.SetPortMode(proto::PortMode51SwapWrite);
    e.VppPin(31);
    e.PinHigh(29);
    for (auto [a, d] : std::vector<std::pair<int, int>>{
             {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x80}, {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x10}})
        form.BusWrite(a, static_cast<std::uint8_t>(d));
    for (int i = 0; i < 10; ++i) e.UsbPut1(proto::OpWait100ms);
    e.UsbFlush();
    e.VppPin(0);
    e.VccPin(0);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
    EXPECT_EQ(Msu(b).Erases(), 0u);

    f.Click("Erase");
    EXPECT_TRUE(b.ChipBlank(0, 0x10000));
}

TEST(Msu2964, LockIsNotInTheDefaultBatch) {
    SimBench b("MSU2964");
    b.RandomImage(0x1000, 7);
    AlgoForm& f = b.Open("MSU2964 5");
    EXPECT_FALSE(f.Checked("CheckBox5"));
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
    EXPECT_FALSE(Msu(b).Protected());
}

}  // namespace
}  // namespace quilla::test
