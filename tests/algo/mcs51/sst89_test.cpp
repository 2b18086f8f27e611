// The SST89 forms (keywords SST89C5X, SST89E554, SST89E564) end to end on the
// simulated programmer with SST89 parts in external host mode.
#include <random>

#include "algo/mcs51/sst89.h"
#include "mcs51_bench.h"
#include "sim/chips/flash51.h"

namespace quilla::test {
namespace {

using sim::EventKind;
using sim::Sst89Chip;

Sst89Chip& Sst(SimBench& b) { return b.ChipAs<Sst89Chip>(); }

// A random image over the whole 64 KiB; the chip's gap between its blocks is
// left 0xFF in the image so the whole chip can be compared.
void ImageForBlocks(SimBench& b, unsigned seed) {
    b.RandomImage(0x10000, seed);
    const Sst89Chip& c = Sst(b);
    for (std::uint32_t a = 0; a < 0x10000; ++a)
        if (!c.InBlocks(a)) b.Image()[a] = 0xFF;
}

TEST(Sst89, C54BatchWritesBothBlocksVerifiesAndSetsTheSecurityBits) {
    SimBench b("SST89C54");
    ImageForBlocks(b, 3);
    AlgoForm& f = b.Open("SST89C5X 1");
    ASSERT_EQ(f.Text("Msg"), "OK ");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x10000));
    EXPECT_EQ(Sst(b).SecurityBits(), 7u);
    EXPECT_EQ(Sst(b).ConfigBits(), 0u);  // RB0, RB1 unticked
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

TEST(Sst89, ReadFillsOnlyTheTwoBlocksAndTheAddressShowsTheirEnds) {
    SimBench b("SST89C54");
    ImageForBlocks(b, 4);
    Preload(b, 0x10000);
    std::fill(b.Image(), b.Image() + 0x10000, 0x5A);
    AlgoForm& f = b.Open("SST89C5X 1");
    SetEndAddr(b, 0x10);  // bounds nothing
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(f.Text("Edit6"), "ffff");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x4000));
    EXPECT_TRUE(b.ChipMatchesImage(0xF000, 0x1000));
    for (int a = 0x4000; a < 0xF000; ++a) ASSERT_EQ(b.Image()[a], 0x5A) << a;

    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(f.Text("Edit6"), "10000");
}

TEST(Sst89, BlankWriteVerifyEndAtTenThousandAndADifferenceInBlockOneIsNamed) {
    SimBench b("SST89C54");
    ImageForBlocks(b, 5);
    AlgoForm& f = b.Open("SST89C5X 1");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank OK");
    EXPECT_EQ(f.Text("Edit6"), "10000");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(f.Text("Edit6"), "10000");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x10000));

    const std::uint8_t chip = b.Chip()[0xF123];
    b.Image()[0xF123] = static_cast<std::uint8_t>(chip ^ 0x81);
    f.Click("Verify");
    char want[64];
    std::snprintf(want, sizeof want, "f123:Error.(File=%02x,chip=%02x)", chip ^ 0x81, chip);
    EXPECT_EQ(f.Text("Msg"), want);
    EXPECT_EQ(f.Text("Edit6"), "f123");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);

    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No!!!");
}

TEST(Sst89, E554ConfigLockAndEraseSetAndClearTheirBits) {
    SimBench b("SST89E554RC");
    b.RandomImage(0x8000, 6);
    Preload(b, 0x8000);
    AlgoForm& f = b.Open("SST89E554 3");
    f.Click("Config");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Sst(b).ConfigBits(), unsigned{Sst89Chip::SC0 | Sst89Chip::SC1});
    f.Click("Secu");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Sst(b).SecurityBits(), 7u);
    // A locked chip answers nothing.
    f.Click("Verify");
    EXPECT_NE(f.Text("Msg"), "OK");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "OK!");
    EXPECT_EQ(Sst(b).SecurityBits(), 0u);
    EXPECT_TRUE(b.ChipBlank(0, 0x10000));
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank OK");
}

TEST(Sst89, E554WritesAChipOfAnotherTypeWithoutAQuestionAndP37IsSetBeforePortMode15) {
    SimBench b("SST89C58");
    ImageForBlocks(b, 7);
    AlgoForm& f = b.Open("SST89E554 3 #BF 93");
    const std::size_t from = b.sim->Log().Events().size();
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.prompts.shown.empty());
    // The row walks 0-7FFF and E000-FFFF; the C58 has F000-FFFF there.
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
    EXPECT_TRUE(b.ChipMatchesImage(0xF000, 0x1000));
    bool p37High = false, seen = false;
    const auto& ev = b.sim->Log().Events();
    for (std::size_t i = from; i < ev.size() && !seen; ++i) {
        if (ev[i].kind == EventKind::PinHigh && ev[i].pin == 17) p37High = true;
        if (ev[i].kind == EventKind::PinLow && ev[i].pin == 17) p37High = false;
        if (ev[i].kind == EventKind::PortMode && ev[i].value == 15) seen = true;
    }
    EXPECT_TRUE(seen);
    EXPECT_TRUE(p37High);
}

TEST(Sst89, E564HoldsEaAtTheVccLevelForReadsAndWritesTheConfigurationBitsTicked) {
    SimBench b("SST89V564RD");
    b.RandomImage(0x10000, 8);
    AlgoForm& f = b.Open("SST89E564 6");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x10000));
    const std::size_t from = b.sim->Log().Events().size();
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    bool vppOnEa = false, vccOn40 = false;
    const auto& ev = b.sim->Log().Events();
    for (std::size_t i = from; i < ev.size(); ++i) {
        if (ev[i].kind == EventKind::VppRoute && ev[i].pin == 31) vppOnEa = true;
        if (ev[i].kind == EventKind::VccRoute && ev[i].pin == 40) vccOn40 = true;
        if (ev[i].kind == EventKind::VppRoute && ev[i].pin == 0) vppOnEa = false;
    }
    EXPECT_TRUE(vppOnEa);  // still routed after Read
    EXPECT_TRUE(vccOn40);

    f.SetChecked("CheckBox12", true);
    f.SetChecked("CheckBox11", true);
    f.Click("Config");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Sst(b).ConfigBits(), unsigned{Sst89Chip::SelBlock0 | Sst89Chip::Clock6});
}

TEST(Sst89, SignatureShowsBothBytesAndNothingIsProgrammedWithoutIt) {
    SimBench b("SST89C58");
    AlgoForm& f = b.Open("SST89C5X 2");
    f.Click("ReadID");
    EXPECT_EQ(f.Text("Msg"), "Detect MFG and ID   = bf, e1");

    // A byte program in host mode that no Read-ID armed changes nothing.
    auto& form = dynamic_cast<Sst89Form&>(f);
    TEp3& e = b.wb->Ep3;
    form.PowerUp51();
    e.PinHigh(29);
    e.PinLow(9);
    e.PinHigh(9);
    e.PinLow(29);  // host mode entered, not armed
    form.SetModePins51(true, true, false, true);
    e.SetPortMode(15);
    form.SetAddress51(0x100);
    form.ProgramByte51(0x12);
    e.UsbFlush();
    e.VccPin(0);
    EXPECT_EQ(b.Chip()[0x100], 0xFF);
}

TEST(Sst89, VRowsRunAtFourPointFourVolts) {
    SimBench b("SST89V554RC");
    b.RandomImage(0x8000, 9);
    AlgoForm& f = b.Open("SST89E554 5");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    int level = 0;
    for (const auto& e : b.sim->Log().Events())
        if (e.kind == EventKind::VccLevel && e.value != 0) level = e.value;
    EXPECT_EQ(level, 44);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
}

}  // namespace
}  // namespace quilla::test
