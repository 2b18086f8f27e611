// The SM59 forms (keywords SM59064, SM59264) and the MSU2958 form end to end
// on the simulated programmer with parts modelled from their programming
// settings.
#include "algo/mcs51/msu.h"
#include "algo/mcs51/sm59.h"
#include "mcs51_bench.h"
#include "sim/chips/pin51.h"

namespace quilla::test {
namespace {

using sim::EventKind;
using sim::PinTable51Chip;

PinTable51Chip& Pin(SimBench& b) { return b.ChipAs<PinTable51Chip>(); }

TEST(Sm59064, IspSizeIsProgrammedReadBackAndErased) {
    SimBench b("SM59064");
    AlgoForm& f = b.Open("SM59064 6");
    f.Choose("RadioGroup1", 2);
    f.Click("Button3");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Pin(b).Config(), 2);
    f.Choose("RadioGroup1", 5);
    f.Click("Button4");
    EXPECT_EQ(f.Text("Msg"), "ISP=2,(1024 bytes)");
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 2);
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "Erase end..");
    f.Click("Button4");
    EXPECT_EQ(f.Text("Msg"), "Blank of configration.");
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 0);
}

TEST(Sm59064, TheIspAreaIsLeftOutOfBlankAndVerify) {
    SimBench b("SM59064");
    b.RandomImage(0x10000, 3);
    AlgoForm& f = b.Open("SM59064 6");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    b.Image()[0xF000] ^= 0xFF;  // a difference inside the 4 KiB area only
    f.Choose("RadioGroup1", 8);
    b.tap->commands.clear();
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(f.Text("Edit6"), "efff");
    EXPECT_EQ(b.tap->Count(proto::OpBlock), 0xF0u);
    f.Choose("RadioGroup1", 0);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg").substr(0, 5), "f000:");
}

TEST(Sm59064, AnIspSizeLargerThanTheChipIsRefused) {
    SimBench b("SM59064");
    AlgoForm& f = b.Open("SM59064 1");
    f.Choose("RadioGroup1", 8);
    for (const char* button : {"Blank", "Verify"}) {
        b.tap->commands.clear();
        f.Click(button);
        EXPECT_TRUE(b.tap->commands.empty()) << button;
        EXPECT_NE(f.Text("Msg"), "Blank OK");
        EXPECT_NE(f.Text("Msg"), "OK");
    }
}

TEST(Sm59064, BatchConfiguresErasesWritesVerifiesAndLocks) {
    SimBench b("SM59064");
    b.RandomImage(0x10000, 4);
    Preload(b, 0x10000);
    for (std::uint8_t& v : b.sim->GetChip()->MutableContents()) v = static_cast<std::uint8_t>(v & 0x77);
    AlgoForm& f = b.Open("SM59064 6");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(Pin(b).Config(), 2);
    EXPECT_EQ(Pin(b).LockBits(), 1u);
    Pin(b).SetLockBits(0);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x10000));
}

TEST(Sm59264, FixedAreaRowAndLockEndingOk) {
    SimBench b("SM59264");
    AlgoForm& f = b.Open("SM59264 6");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0xFBFF);
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Pin(b).LockBits(), 1u);

    SimBench c("SM59064");
    AlgoForm& g = c.Open("SM59064 6");
    g.Click("Secrity");
    EXPECT_EQ(g.Text("Msg"), "Locked..");
    EXPECT_EQ(Pin(c).LockBits(), 1u);
}

TEST(Sm59264, ContactTestUsesTheDip40ValuesWhateverThePackage) {
    // Socket pin 10 is outside the PLCC44 masks: only the DIP40 ones see it.
    for (const char* part : {"SM59264", "SM59064"}) {
        SCOPED_TRACE(part);
        SimBench b(part);
        b.wb->sel.TypeText = std::string("SYNCMOS: ") + part + "*P44";
        b.sim->SetBadContact(10);
        AlgoForm& f = b.Open(std::string(part) + " 6");
        b.prompts.answers = {BtnCancel};
        f.Click("Blank");
        const bool dipMasks = std::string(part) == "SM59264";
        EXPECT_EQ(b.prompts.shown.size(), dipMasks ? 1u : 0u);
        if (dipMasks) {
            EXPECT_NE(f.Text("Msg"), "Blank OK");
        }
    }
}

TEST(Msu2958, DefaultBatchWithTheShortEraseEndsOk) {
    SimBench b("MSU2958");
    b.RandomImage(0x8000, 5);
    Preload(b, 0x8000);
    for (std::uint8_t& v : b.sim->GetChip()->MutableContents()) v = static_cast<std::uint8_t>(v & 0x5A);
    AlgoForm& f = b.Open("MSU2958 8");
    f.Choose("RadioGroup1", 0);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_EQ(Pin(b).LockBits(), 1u);
    Pin(b).SetLockBits(0);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
}

TEST(Msu2958, ABadlySeatedChipEndsRunBeforeTheFirstPass) {
    SimBench b("MSU2958");
    b.RandomImage(0x8000, 6);
    b.wb->options.MassProduction = true;
    b.sim->SetBadContact(5);
    AlgoForm& f = b.Open("MSU2958 8");
    b.tap->commands.clear();
    f.Click("Button1");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(b.tap->Count(proto::OpPutData51), 0u);
    EXPECT_TRUE(b.ChipBlank(0, 0x8000));
}

TEST(Msu2958Model, WritesWithoutTheHandClocksChangeNothing) {
    SimBench b("MSU2951");
    auto& form = dynamic_cast<TMsu2958x&>(b.Open("MSU2958 1"));
    TEp3& e = b.wb->Ep3;
    for (bool clocked : {false, true}) {
        form.PowerUp51();
        if (!clocked) {
            // A reset after the clocks: the count starts again.
            e.PinLow(9);
            e.PinHigh(9);
        }
        e.PinHigh(14);
        e.PinHigh(15);
        e.SetPortMode(15);
        e.PinHigh(29);
        e.VppPin(31);
        form.SetAddress51(0x123);
        form.ProgramByte51(0x5A);
        e.UsbFlush();
        e.VppPin(0);
        e.VccPin(0);
        EXPECT_EQ(b.Chip()[0x123], clocked ? 0x5A : 0xFF) << clocked;
    }
}

}  // namespace
}  // namespace quilla::test
