// The page-write forms (keywords AT89C51RD2, AT89C51RC2) end to end on the
// simulated programmer with T89C51RB2/RC2/RD2 parts.
#include "algo/mcs51/rd2.h"
#include "mcs51_bench.h"
#include "sim/chips/flash51.h"

namespace quilla::test {
namespace {

using sim::PageWrite51Chip;

PageWrite51Chip& Pw(SimBench& b) { return b.ChipAs<PageWrite51Chip>(); }

TEST(Rd2, ShortImageWritesWholePagesAfterOneUnlockAndReadFetchesItsBlocks) {
    SimBench b("T89C51RD2");
    b.RandomImage(0x10000, 3);
    AlgoForm& f = b.Open("AT89C51RD2 4");
    SetEndAddr(b, 0x1234);
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Pw(b).PagePrograms(), 37u);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1280));
    EXPECT_TRUE(b.ChipBlank(0x1280, 0x10000 - 0x1280));

    b.tap->commands.clear();
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.tap->Count(proto::OpBlock), 19u);
}

TEST(Rd2, UnlockIsSentOncePerWrite) {
    SimBench b("T89C51RB2");
    b.RandomImage(0x4000, 4);
    AlgoForm& f = b.Open("AT89C51RD2 2");
    SetEndAddr(b, 0x3FF);
    b.tap->commands.clear();
    f.Click("Write");
    // 0x55 then 0xAA in the unlock setting once; the page bytes may hold them too.
    std::size_t unlocks = 0;
    const auto& c = b.tap->commands;
    for (std::size_t i = 0; i + 3 < c.size(); ++i)
        if (c[i][0] == proto::OpPutData51 && c[i][1] == 0x55 && c[i + 3][0] == proto::OpPutData51 && c[i + 3][1] == 0xAA)
            ++unlocks;
    EXPECT_EQ(unlocks, 1u);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
}

// A page program in the right setting, with or without the unlock since power-up.
void ProgramOnePage(SimBench& b, Rd2Form& form, bool unlock) {
    TEp3& e = b.wb->Ep3;
    form.PowerUp51();
    e.SetPortMode(15);
    form.SetAddress51(0x200);
    if (unlock) form.UnlockSequence51();
    form.SetModePins51(false, true, false, true, false);
    for (int i = 0; i < 128; ++i) {
        form.ProgramByte51(static_cast<std::uint8_t>(i));
        form.NextAddress51();
    }
    form.SetModePins51(false, true, true, true, false);
    form.SetAddress51(0x200);
    e.PinLow(30);
    e.UsbPut1(proto::OpWaitSettle);
    e.PinHigh(30);
    e.UsbFlush();
    e.VccPin(0);
}

TEST(Rd2Model, APageProgramWithoutUnlockSincePowerUpChangesNothing) {
    SimBench b("T89C51RD2");
    auto& form = dynamic_cast<Rd2Form&>(b.Open("AT89C51RD2 4"));
    ProgramOnePage(b, form, false);
    EXPECT_TRUE(b.ChipBlank(0, 0x10000));
    ProgramOnePage(b, form, true);
    EXPECT_EQ(b.Chip()[0x205], 5);
    EXPECT_EQ(b.Chip()[0x27F], 127);
}

struct LockCase {
    const char* part;
    const char* params;
    bool bljb;
    const char* edit3;
    const char* hsb;
};

class Rd2Lock : public ::testing::TestWithParam<LockCase> {};

TEST_P(Rd2Lock, LockProgramsTheByteTheBoxesShow) {
    const LockCase c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    if (c.bljb) f.SetChecked("CheckBox5", true);
    EXPECT_EQ(f.Text("Edit3"), c.edit3);
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("RdSec");
    EXPECT_EQ(f.Text("Msg"), std::string("HSB = ") + c.hsb);
}

INSTANTIATE_TEST_SUITE_P(Boxes, Rd2Lock,
                         ::testing::Values(LockCase{"T89C51RD2", "AT89C51RD2 4", false, "40", "40"},
                                           LockCase{"T89C51RD2", "AT89C51RD2 4", true, "00", "00"},
                                           LockCase{"T89C51RC2", "AT89C51RC2 3", false, "60", "60"},
                                           LockCase{"T89C51RC2", "AT89C51RC2 3", true, "20", "20"}));

TEST(Rd2, ConfigurationPageKeepsTheBytesItDoesNotSetAndRdCfgShowsThem) {
    SimBench b("T89C51RD2");
    AlgoForm& f = b.Open("AT89C51RD2 4");
    f.Enter("Edit1", "12");
    f.Enter("Edit2", "34");
    f.Enter("Edit4", "0");
    f.Click("WrConfig");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("ReadXAF");
    EXPECT_EQ(f.Text("Msg"), "BSB=12,BSV=34,HSB=ff,SSB=00; ID=58,d7,fc");

    f.Enter("Edit1", "ff");
    f.Enter("Edit2", "fc");
    f.Enter("Edit4", "ff");
    f.Click("WrConfig");
    f.Click("ReadXAF");
    EXPECT_EQ(f.Text("Msg"), "BSB=ff,BSV=fc,HSB=ff,SSB=ff; ID=58,d7,fc");
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "MFG and ID is   = 58,d7, fc,ff");
}

TEST(Rd2, ConfigurationByteWithoutAHexDigitIsRefusedAndNothingSent) {
    for (const char* edit : {"Edit1", "Edit2", "Edit4"}) {
        SCOPED_TRACE(edit);
        SimBench b("T89C51RD2");
        AlgoForm& f = b.Open("AT89C51RD2 4");
        f.Enter(edit, "zz");
        b.tap->commands.clear();
        f.Click("WrConfig");
        EXPECT_TRUE(b.tap->commands.empty());
        EXPECT_NE(f.Text("Msg").find("no hexadecimal value"), std::string::npos) << f.Text("Msg");
        EXPECT_EQ(Pw(b).Block()[0], 0xFF);
    }
}

TEST(Rd2, BatchErasesWritesConfiguresVerifiesAndLocks) {
    SimBench b("T89C51RB2");
    b.RandomImage(0x4000, 5);
    Preload(b, 0x4000);
    for (std::uint8_t& v : Pw(b).MutableContents()) v = static_cast<std::uint8_t>(v & 0x0F);
    Pw(b).SetHsb(0x00);  // a locked chip: the erase clears it
    AlgoForm& f = b.Open("AT89C51RD2 2");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x4000));
    EXPECT_EQ(Pw(b).Hsb(), 0x40);
}

TEST(Rd2, AnEraseCutShortLeavesTheChipAndBlankSaysSo) {
    SimBench b("T89C51RB2");
    b.RandomImage(0x4000, 6);
    Preload(b, 0x4000);
    b.sim->GetChip()->SetSlowFactor(3.0);  // the cycles outlast the form's 10 ms
    AlgoForm& f = b.Open("AT89C51RD2 2");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "END");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No!!!");
}

}  // namespace
}  // namespace quilla::test
