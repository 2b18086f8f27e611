// The AT90S and ATtiny28 word-write forms, the host-driven AT90S form and the
// vex310 form end to end: batches, the presence test, the lock modes, the
// calibration byte, the left-out rows, the ready wait and the wiring message.
#include "algo/avr/at90s.h"
#include "algo/avr/at90s_pins.h"
#include "avr_bench.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

// ---- TAt90s8515x --------------------------------------------------------------------------------

TEST(At90s8515x, RunWithEveryBoxWritesFlashEepromFuseAndLock) {
    AvrBench b("AT90S8515");
    b.RandomImage(0x2200, 30);
    AlgoForm& f = b.Line("AT90S8515 2");
    EXPECT_EQ(f.Text("Msg"), "Prompt  ") << "no link status at setup";
    f.SetChecked("CheckBox1", true);  // RCEN (FSTRT) programmed
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipHoldsImage(0x2000));
    EXPECT_EQ(b.Avr().Lock() & 0x03, 0x00) << "lock byte 0x00: LB1 and LB2 programmed";
    EXPECT_EQ(b.Avr().Fuse(0) & 0x21, 0x20);
    f.Choose("RadioGroup1", 1);
    f.SetChecked("CheckBox1", false);
    f.Click("ReadFuse");
    EXPECT_EQ(f.Text("Msg"), "Fuse=3e");
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 0);
    EXPECT_EQ(f.Get("RadioGroup1").Items[0], "No R/W  (Lock) ");
    EXPECT_TRUE(f.Checked("CheckBox1"));
    EXPECT_FALSE(f.Checked("CheckBox2"));
}

TEST(At90s8515x, AnEmptySocketFailsThePresenceTest) {
    AvrBench b("");
    b.wb->options.ContactCheck = false;
    b.wb->sel.SelectedDevice = "AT90S8515";
    AlgoForm& f = b.Open("AT90S8515 2");
    f.PutChecked("CheckBox1", true);
    f.Click("ReadFuse");
    EXPECT_EQ(b.prompts.Last(), "没有OK..安放器件！");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
    EXPECT_EQ(f.Text("Msg"), "Prompt  ") << "a refused entry reads nothing and shows no value";
    EXPECT_TRUE(f.Checked("CheckBox1")) << "and changes no box";
    f.Click("Write");
    EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
}

struct LockState {
    std::uint8_t chipLock;  // LB1 bit 0, LB2 bit 1
    int item;
};

class LockModeOfTheReadByte : public ::testing::TestWithParam<LockState> {};

TEST_P(LockModeOfTheReadByte, OnlyBothBitsProgrammedSelectNoReadWrite) {
    AvrBench b("AT90S8515");
    b.Avr().SetLock(GetParam().chipLock);
    AlgoForm& f = b.Line("AT90S8515 2");
    f.Choose("RadioGroup1", 1 - GetParam().item);
    f.Click("ReadFuse");
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), GetParam().item);
}

INSTANTIATE_TEST_SUITE_P(At90s8515x, LockModeOfTheReadByte,
                         ::testing::Values(LockState{0xFC, 0}, LockState{0xFE, 1}, LockState{0xFD, 1},
                                           LockState{0xFF, 1}),
                         CaseName([](const LockState& s) { return "lock_" + std::to_string(s.chipLock); }));

TEST(At90s8515x, NoWriteLockStopsFurtherProgramming) {
    AvrBench b("AT90S8515");
    b.RandomImage(0x2200, 31);
    AlgoForm& f = b.Line("AT90S8515 2");
    f.Click("Write");
    f.Choose("RadioGroup1", 1);  // "No Wrt. "
    b.tap->commands.clear();
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.Avr().Lock() & 0x03, 0x02) << "0x04 written: LB1 programmed, LB2 not";
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    b.RandomImage(0x2200, 32);
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
}

// ---- TAt90s8535x ------------------------------------------------------------------------------------

TEST(At90s8535x, EveryRowGoesOnTheTurnedDip40PinsOrTheBoard) {
    for (const auto& [device, design] : {std::pair{"AT90S8535", "at90s8535dip40"}, std::pair{"AT90S8535*Q44", "at90s8535plcc44"}}) {
        AvrBench b(device);
        auto& f = dynamic_cast<TAt90s8535x&>(b.Line("AT90S8535 2"));
        EXPECT_EQ(b.sim->LoadedTag(), design);
        const AvrRow* r = f.SelectedRow();
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->VccPin, std::string(device).find('*') == std::string::npos ? 30 : 42);
        b.CheckChipSide();
    }
    // The AT90S8515 of row 2 on those pins: its RESET, VCC and GND are elsewhere.
    AvrBench b("AT90S8515");
    b.RandomImage(0x2200, 33);
    AlgoForm& f = b.Line("AT90S8535 2");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(b.Avr().Writes(), 0);
    // The programming voltage lands on a port pin of the AT90S8515: why the row is left out.
    b.ExpectViolation("absolute maximum");
    b.ExpectDamage();
}

// ---- TAt90s2333x ------------------------------------------------------------------------------------

TEST(At90s2333x, MassProductionCountsEachCleanPassAfterTheFirstAtOnce) {
    AvrBench b("AT90S2333", "vex520", true);
    b.RandomImage(0x880, 34);
    AlgoForm& f = b.Line("AT90S2333 1");
    EXPECT_EQ(f.Text("Msg"), "OK ");
    b.wb->options.MassProduction = true;
    int passes = 0;
    f.SetSuccessListener([&](const std::string& t) {
        if (t != "End OK..") return;
        EXPECT_TRUE(b.ChipHoldsImage(0x800));
        if (++passes == 3) b.wb->options.MassProduction = false;
    });
    f.Click("Button1");
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(b.wb->Counter, "3");
    EXPECT_EQ(b.sim->GetOperator()->Tray().size(), 2u) << "the first pass ran on the chip in the socket";
}

TEST(At90s2333x, AnOverCurrentAtEraseShowsNoOkAndEndsThePass) {
    AvrBench b("AT90S2333");
    AlgoForm& f = b.Line("AT90S2333 1");
    b.sim->InjectOverCurrent();
    f.Click("Button1");
    EXPECT_NE(f.Text("Msg"), "OK");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(At90s2333x, FuseByteAndTheLeftOutAtmega8Row) {
    {
        AvrBench b("AT90S4433");
        AlgoForm& f = b.Line("AT90S2333 2");
        for (int k : {1, 4, 6}) f.SetChecked(avr::Box(k), true);  // CKSEL0, BODEN, SPIEN
        f.Click("WtFuse");
        EXPECT_EQ(b.Avr().Fuse(0) & 0x3F, 0x16);
        for (int k = 1; k <= 6; ++k) f.SetChecked(avr::Box(k), false);
        f.Click("ReadFuse");
        EXPECT_EQ(f.Text("Msg"), "Fuse=d6");
        EXPECT_TRUE(f.Checked("CheckBox4"));
        EXPECT_FALSE(f.Checked("CheckBox5"));
    }
    {
        // Row 3 writes an ATmega8 word by word; its flash takes pages only.
        AvrBench b("ATmega8");
        b.RandomImage(0x2200, 35);
        AlgoForm& f = b.Line("AT90S2333 3");
        f.Click("Write");
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    }
}

// ---- TAtiny28x --------------------------------------------------------------------------------------

TEST(Atiny28x, CalibrationByteAtTheWholeAddressAndTheBatch) {
    AvrBench b("ATtiny28");
    b.RandomImage(0x800, 36);
    AlgoForm& f = b.Line("ATINY28 1");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0x7FF);
    EXPECT_EQ(f.Text("Edit1"), "07ff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.Image()[0x7FF], 0xB6);
    EXPECT_TRUE(b.FlashHoldsImage());
    for (const char* text : {"0000", "zz"}) {
        f.SetText("Edit1", text);
        f.Click("Button1");
        EXPECT_EQ(f.Text("Msg"), "校准Add 不能等于0") << text;
        EXPECT_EQ(b.wb->Counter, "1") << text;
    }
}

TEST(Atiny28x, AWriteAfterALowVoltageVerifyRunsAtTheProgrammingLevel) {
    AvrBench b("ATtiny28");
    b.RandomImage(0x800, 37);
    AlgoForm& f = b.Line("ATINY28 1");
    f.Choose("VeriyVolt", 3);  // 2.5 V
    f.Click("Verify");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    EXPECT_TRUE(b.FlashHoldsImage());
}

// ---- TAT90sx --------------------------------------------------------------------------------------------

TEST(AT90sx, TwoWritePulsesPerWordAndTheLockItems) {
    AvrBench b("AT90S1200");
    b.RandomImage(0x440, 38);
    AlgoForm& f = b.Line("AT90S 1");
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
    int wrLow = 0;
    for (const auto& c : b.tap->commands) wrLow += c[0] == proto::OpPinLow && c[1] == 17;
    EXPECT_EQ(wrLow, 2 * 512);
    EXPECT_EQ(b.Avr().Lock() & 0x03, 0x03);
    struct Item {
        int index;
        std::uint8_t lockBits;  // LB1 bit 0, LB2 bit 1 after the write
    };
    for (const Item& it : {Item{3, 0x03}, Item{2, 0x01}}) {
        f.Choose("RadioGroup1", it.index);
        f.Click("Secrity");
        EXPECT_EQ(f.Text("Msg"), "OK");
        EXPECT_EQ(b.Avr().Lock() & 0x03, it.lockBits) << it.index;
    }
    f.Click("ReadFuse");
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 2) << "\"Inv. \": bits 7-6 = 10";
}

TEST(AT90sx, ACleanBlankLeavesVccOnAndTheNextReadWorks) {
    AvrBench b("AT90S1200");
    AlgoForm& f = b.Line("AT90S 1");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank");
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Has(30));
    EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
}

TEST(AT90sx, EachReadyWaitEndsAtTwentyMillisecondsOnASlowChip) {
    AvrBench b("AT90S1200");
    b.Avr().SetSlowFactor(40.0);  // 28 ms a byte
    b.RandomImage(0x440, 39);
    b.tap->record = false;
    AlgoForm& f = b.Line("AT90S 1");
    const auto t0 = b.sim->Now();
    f.Click("Write");
    const auto dt = b.sim->Now() - t0;
    EXPECT_LT(dt, 1024ull * 21 * sim::Millisecond) << "no wait outlasts its 20 ms";
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
}

TEST(AT90sx, AFailedEraseShowsNoOk) {
    AvrBench b("AT90S1200");
    AlgoForm& f = b.Line("AT90S 1");
    b.sim->InjectOverCurrent();
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "Erasing device.........");
}

TEST(AT90sxSweep, WriteNeverClaimsAFlashItDidNotWrite) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<AvrBench>("AT90S1200");
        b->RandomImage(0x440, 40);
        b->Line("AT90S 1");
        return std::unique_ptr<SimBench>(std::move(b));
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("AT90S 1"); };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) { return static_cast<AvrBench&>(b).FlashHoldsImage(); };
    EXPECT_GT(s.Run().transfers, 3);
}

// ---- TAt90s8515x_vex310 -------------------------------------------------------------------------------------

TEST(At90s8515xVex310, ReadSetsTheFuseBoxesAndTheLockModeAndRunIsOnePass) {
    AvrBench b("AT90S8515", "vex310");
    b.RandomImage(0x2200, 41);
    AlgoForm& f = b.Line("AT90S8515S 2");
    EXPECT_EQ(f.Text("Msg"), "OK ");
    EXPECT_TRUE(b.prompts.shown.empty()) << "no wiring message without #02";
    f.Choose("RadioGroup1", 1);  // "Lock+No W  "
    f.SetChecked("CheckBox2", true);  // SPI
    b.wb->options.MassProduction = true;
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1") << "one pass with mass production on";
    EXPECT_TRUE(b.ChipHoldsImage(0x2000));
    f.Choose("RadioGroup1", 3);
    f.SetChecked("CheckBox2", false);
    std::fill(b.Image(), b.Image() + 0x2000, 0);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "Data in buffer..");
    EXPECT_TRUE(b.FlashHoldsImage());
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 1);
    EXPECT_TRUE(f.Checked("CheckBox2"));
}

TEST(At90s8515xVex310, TheWiredLineShowsTheWiringMessage) {
    AvrBench b("AT90S8535(wired)", "vex310");
    b.Line("AT90S8515S 2 #02");
    EXPECT_EQ(b.prompts.Last(), TAt90s8515x_vex310::WiringMessage);
    EXPECT_EQ(std::string(TAt90s8515x_vex310::WiringMessage).substr(0, 43),
              "-------Modify the chip as bellow:--------\n\n");
}

TEST(At90s8515xVex310, TheLeftOutRowsFailOnTheirChips) {
    AvrBench b("AT90S8535", "vex310");
    b.RandomImage(0x2200, 42);
    AlgoForm& f = b.Line("AT90S8515S 4");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    b.ExpectViolation("absolute maximum");  // 12 V on its pin 29: why rows 3-4 are left out
    b.ExpectDamage();
}

// A chip found not blank ends the check with both supplies off; a blank one
// keeps VCC on (only VPP removed) for the next operation.
TEST(At90s8515xVex310, BlankCheckEndsWithTheSuppliesOffOnlyWhenTheChipIsNotBlank) {
    AvrBench b("AT90S8515", "vex310");
    AlgoForm& f = b.Line("AT90S8515S 2");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    EXPECT_FALSE(b.sim->GetSocket().VccPins().Empty()) << "a clean check leaves VCC on";
    std::fill(b.Image(), b.Image() + 0x2000, 0xFF);
    b.Image()[0x1234] = 0x5A;
    f.Click("Write");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No empty.");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
}

// ---- rows outside the tables ----------------------------------------------------------------------------------

class RefusedAt90sLine : public ::testing::TestWithParam<const char*> {};

TEST_P(RefusedAt90sLine, NamesTheRowAndSendsNothing) {
    AvrBench b("AT90S8515");
    AlgoForm& f = b.Line(GetParam());
    EXPECT_NE(f.Text("Msg").find("Bad device line"), std::string::npos) << f.Text("Msg");
    for (const auto& c : b.tap->commands) EXPECT_NE(c[0], proto::OpSystem);
}

INSTANTIATE_TEST_SUITE_P(Forms, RefusedAt90sLine,
                         ::testing::Values("AT90S8515 3", "AT90S8535 0", "AT90S2333 4", "ATINY28 2", "AT90S 5",
                                           "AT90S8515S 0"),
                         CaseName([](const char* p) { return std::string(p); }));

}  // namespace
}  // namespace quilla::test
