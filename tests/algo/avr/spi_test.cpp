// The AVR serial (SPI) forms end to end: the AT90S2323/2343 form (word
// writes, one fuse bit, one-pass Run) and the ATtiny26 form (pages, two fuse
// bytes, calibration bytes, mass production), on chips that answer only the
// datasheets' serial instructions and timing.
#include <algorithm>

#include "algo/avr/spi_form.h"
#include "avr_bench.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

// The serial bytes a click sent (opcode 0x38), in order.
std::vector<std::uint8_t> SentBytes(const Tap& tap) {
    std::vector<std::uint8_t> out;
    for (const auto& c : tap.commands)
        if (c[0] == proto::OpSpiOut) out.push_back(c[1]);
    return out;
}

// Whether `bytes` holds the instruction `ins` (four bytes in a row).
bool HasInstruction(const std::vector<std::uint8_t>& bytes, std::array<std::uint8_t, 4> ins) {
    return std::search(bytes.begin(), bytes.end(), ins.begin(), ins.end()) != bytes.end();
}

// ---- TAt90s2323x ----------------------------------------------------------------------------------

TEST(At90s2323x, RunWithEveryBoxWritesFlashEepromFuseAndLock) {
    AvrBench b("AT90S2323");
    b.RandomImage(0x880, 50);
    AlgoForm& f = b.Line("AT90S2323 1");
    EXPECT_EQ(f.Caption(), "AT90s2333");
    EXPECT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(f.Get("Note").Caption, "Buffer 800h = Data(EEPROM)0000h.");
    EXPECT_EQ(f.Get("CheckBox2").Caption, "FSTRT");
    EXPECT_EQ(b.sim->LoadedTag(), "at90s2323");
    f.SetChecked("CheckBox2", true);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(b.ChipHoldsImage(0x800));
    EXPECT_EQ(b.Avr().Lock() & 0x03, 0x00) << "0xF9: LB1 and LB2 programmed";
    EXPECT_EQ(b.Avr().Fuse(0) & 0x01, 0x00) << "FSTRT programmed: the fuse write had its time";
    EXPECT_EQ(b.Avr().Fuse(0) & 0x20, 0x00) << "SPIEN stays programmed";
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
}

TEST(At90s2323x, TheFuseWriteWaitsBeforeTheSuppliesGoOff) {
    // Without the waits the supply went off while the fuse cell was still being
    // written, and the form showed "OK!" for a fuse it never changed.
    AvrBench b("AT90S2343");
    AlgoForm& f = b.Line("AT90S2323 2");
    EXPECT_EQ(f.Get("CheckBox2").Caption, "RCEN");
    EXPECT_EQ(b.Avr().Fuse(0) & 0x01, 0x00) << "the AT90S2343 ships with RCEN programmed";
    f.SetChecked("CheckBox2", false);
    f.Click("WtFuse");
    EXPECT_EQ(f.Text("Msg"), "OK!");
    EXPECT_EQ(b.Avr().Fuse(0) & 0x01, 0x01);
    EXPECT_TRUE(HasInstruction(SentBytes(*b.tap), {0xAC, 0xBF, 0x00, 0x00}));
    f.Click("ReadFuse");
    EXPECT_EQ(f.Text("Msg"), "Fuse=df") << "SPIEN programmed, RCEN not, no lock bit";
}

TEST(At90s2323x, ReadFuseTicksTheBoxesOfTheProgrammedBits) {
    AvrBench b("AT90S2323");
    b.Avr().SetLock(0xFC);  // LB1 and LB2 programmed
    AlgoForm& f = b.Line("AT90S2323 1");
    f.SetChecked("CheckBox1", false);
    f.SetChecked("CheckBox2", true);
    f.SetChecked("Lb1", false);
    f.SetChecked("Lb2", false);
    f.Click("ReadFuse");
    EXPECT_EQ(f.Text("Msg"), "Fuse=1f");
    EXPECT_TRUE(f.Checked("Lb1"));
    EXPECT_TRUE(f.Checked("Lb2"));
    EXPECT_TRUE(f.Checked("CheckBox1")) << "SPIEN";
    EXPECT_FALSE(f.Checked("CheckBox2")) << "FSTRT not programmed";
}

struct LockCase {
    bool lb1, lb2;
    std::uint8_t sent;
    std::uint8_t chipLock;  // bit 0 LB1, bit 1 LB2 (1: not programmed)
};

class At90s2323Lock : public ::testing::TestWithParam<LockCase> {};

TEST_P(At90s2323Lock, TheBoxesGiveTheLockByte) {
    const LockCase& c = GetParam();
    AvrBench b("AT90S2323");
    AlgoForm& f = b.Line("AT90S2323 1");
    f.SetChecked("Lb1", c.lb1);
    f.SetChecked("Lb2", c.lb2);
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(HasInstruction(SentBytes(*b.tap), {0xAC, c.sent, 0x00, 0x00}));
    EXPECT_EQ(b.Avr().Lock() & 0x03, c.chipLock);
}

INSTANTIATE_TEST_SUITE_P(At90s2323x, At90s2323Lock,
                         ::testing::Values(LockCase{true, true, 0xF9, 0x00}, LockCase{true, false, 0xFD, 0x02},
                                           LockCase{false, true, 0xFB, 0x01}, LockCase{false, false, 0xFF, 0x03}),
                         CaseName([](const LockCase& c) { return "lock_" + std::to_string(c.sent); }));

TEST(At90s2323x, ABlankFailureStopsTheRunBeforeWriteAndMassProductionStaysOnePass) {
    AvrBench b("AT90S2323");
    b.RandomImage(0x880, 51);
    b.Avr().MutableContents()[0x123] = 0x00;
    AlgoForm& f = b.Line("AT90S2323 1");
    f.SetChecked("CheckBoxErase", false);
    b.wb->options.MassProduction = true;
    b.tap->commands.clear();
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "No empty.");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(b.Avr().Writes(), 0) << "nothing written after the failed blank check";
    f.SetChecked("CheckBoxErase", true);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1") << "one pass, mass production or not";
}

TEST(At90s2323x, RunWithoutAFileWindowEndsAtWriteUncounted) {
    AvrBench b("AT90S2323");
    AlgoForm& f = b.Line("AT90S2323 1");
    b.wb->FileWin.reset();
    f.Click("Button1");
    EXPECT_EQ(b.prompts.Last(), "Must open a file to write...");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(At90s2323x, TheChipAnswersTheEnableOnly20msAfterTheResetPulse) {
    AvrBench b("AT90S2323");
    AlgoForm& f = b.Line("AT90S2323 1");
    b.tap->commands.clear();
    const auto t0 = b.sim->Now();
    f.Click("Button3");
    EXPECT_EQ(f.Text("Msg"), "Reset OK of 83");
    EXPECT_GT(b.CountOps(proto::OpSpiIn), 2) << "the first tries come before the chip listens";
    EXPECT_GE(b.sim->Now() - t0, 20 * sim::Millisecond);
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
}

TEST(At90s2323x, NoChipAfter32TriesRstLeavesTheErrorFlag) {
    AvrBench b("");
    b.wb->sel.SelectedDevice = "AT90S2323";
    AlgoForm& f = b.Open("AT90S2323 1");
    b.tap->commands.clear();
    f.Click("Read1");
    EXPECT_EQ(b.prompts.Last(), "没有器件或者是坏的器件!");
    EXPECT_EQ(b.CountOps(proto::OpSpiIn), 64) << "32 tries of two bytes in";
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
    b.wb->ErrorFlag() = 0;
    b.prompts.shown.clear();
    f.Click("Button3");
    EXPECT_EQ(b.prompts.Last(), "没有器件或者是坏的器件!");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
}

TEST(At90s2323x, AnUnclockedAt90s2323NeverAnswers) {
    // The part has no oscillator of its own: without the design's clock on
    // XTAL1 the serial interface does not run.
    AvrBench b("AT90S2323");
    AlgoForm& f = b.Line("AT90S2323 1");
    b.sim->GetSocket().SetClockPin(0);
    f.Click("Button2");
    EXPECT_EQ(b.prompts.Last(), "没有器件或者是坏的器件!");
}

struct SpeedCase {
    const char* text;
    int waitsPerByte;
};

class At90s2323Speed : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(At90s2323Speed, OnlySlowWithTwoBlanksDoublesTheWait) {
    AvrBench b("AT90S2323");
    AlgoForm& f = b.Line("AT90S2323 1");
    f.SetText("Speed", GetParam().text);
    b.tap->commands.clear();
    f.Click("WrData");
    EXPECT_EQ(f.Text("Msg"), "OK");
    // One more: the over-current check's.
    EXPECT_EQ(b.CountOps(proto::OpWait1ms), 128 * GetParam().waitsPerByte + 1);
}

INSTANTIATE_TEST_SUITE_P(At90s2323x, At90s2323Speed,
                         ::testing::Values(SpeedCase{"Fast写", 6}, SpeedCase{"Slow  ", 12}, SpeedCase{"Slow", 6},
                                           SpeedCase{" ", 6}),
                         CaseName([](const SpeedCase& c) { return "waits_" + std::to_string(c.waitsPerByte) + "_" +
                                                                  std::to_string(std::string(c.text).size()); }));

TEST(At90s2323x, AChipSlowerThanTheWaitFailsVerifyUnlessSlow) {
    for (const char* speed : {"Fast写", "Slow  "}) {
        SCOPED_TRACE(speed);
        AvrBench b("AT90S2323");
        b.Avr().SetSlowFactor(1.6);  // 6.4 ms a byte
        b.RandomImage(0x880, 52);
        AlgoForm& f = b.Line("AT90S2323 1");
        f.SetText("Speed", speed);
        f.Click("Write");
        EXPECT_EQ(f.Text("Msg"), "OK");
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), std::string(speed) == "Slow  " ? "OK!!!" : "Failed..! ");
    }
}

TEST(At90s2323x, ReadAndReadDataFillTheImageAndReadIdShowsTheSignature) {
    AvrBench b("AT90S2343");
    b.RandomImage(0x880, 53);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + 0x880);
    std::copy(image.begin(), image.end(), b.Avr().MutableContents().begin());
    AlgoForm& f = b.Line("AT90S2323 2");
    std::fill(b.Image(), b.Image() + 0x880, 0);
    b.tap->commands.clear();
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("RdData");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.wb->FileWin->ViewStart, 0x800);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "ID: 1e,91,03");
}

TEST(At90s2323x, RowZeroAndEmptyRowsAreRefusedAtSetup) {
    for (const char* line : {"AT90S2323 0", "AT90S2323 3", "AT90S2323 15"}) {
        SCOPED_TRACE(line);
        AvrBench b("AT90S2323");
        AlgoForm& f = b.Line(line);
        EXPECT_EQ(b.prompts.shown.size(), 1u);
        EXPECT_NE(b.prompts.Last().find("is not in the device table"), std::string::npos);
        f.Click("Write");
        EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
        EXPECT_TRUE(b.sim->GetSocket().GndPins().Empty());
    }
}

// The sweep over the serial forms' Write (AT90S2323) and Run (ATtiny26: one
// enable try an operation, where the AT90S2323's tries take 20 ms of round
// trips).
struct SweepCase {
    const char* device;
    const char* line;
    const char* button;
};

class SpiFaultSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(SpiFaultSweep, NoSuccessTextWithTheChipWrong) {
    const SweepCase c = GetParam();
    FaultSweep s;
    s.prepare = [c] {
        auto b = std::make_unique<AvrBench>(c.device);
        b->RandomImage(0x880, 54);
        AlgoForm& f = b->Line(c.line);
        // The batch with its short steps (Erase, W.Data, W.Fuse, Lock): the
        // flash steps' transfers are the Write sweep's.
        for (const char* box : {"CheckBoxBlank", "CheckBoxWrite", "CheckBoxVer"}) f.SetChecked(box, false);
        b->tap->record = false;
        return std::unique_ptr<SimBench>(std::move(b));
    };
    s.form = [c](SimBench& b) -> AlgoForm& { return b.Open(c.line); };
    s.operation = [c](SimBench&, AlgoForm& f) { f.Click(c.button); };
    // Write's "OK" and Verify's "OK!!!" promise the flash image in the chip, the
    // Run's "End OK.." the EEPROM image and the lock bits.
    s.holds = [c](SimBench& b, const std::string& text) {
        auto& a = static_cast<AvrBench&>(b);
        if (text == "End OK..")
            return std::equal(a.Avr().Eeprom().begin(), a.Avr().Eeprom().end(), a.Image() + 0x800) &&
                   (a.Avr().Lock() & 0x03) == 0;
        if (text == "OK!!!" || (text == "OK" && std::string(c.button) == "Write")) return a.FlashHoldsImage();
        return true;
    };
    EXPECT_GT(s.Run().transfers, 3);
}

INSTANTIATE_TEST_SUITE_P(AvrSpi, SpiFaultSweep,
                         ::testing::Values(SweepCase{"AT90S2323", "AT90S2323 1", "Write"},
                                           SweepCase{"ATtiny26", "ATINY2 1 pkg=20", "Button1"}),
                         CaseName([](const SweepCase& c) { return std::string(c.device) + "_" + c.button; }));

// ---- TAtiny2x ---------------------------------------------------------------------------------------

TEST(Atiny2x, WriteSendsSixtyFourPagesAndVerifies) {
    AvrBench b("ATtiny26");
    b.RandomImage(0x880, 60);
    AlgoForm& f = b.Line("ATINY2 1 pkg=20");
    EXPECT_EQ(f.Caption(), "ATiny26");
    EXPECT_EQ(b.sim->LoadedTag(), "ATdip20spi");
    EXPECT_EQ(f.Get("Note").Caption, "EEPROMAdd ：0800");
    EXPECT_EQ(f.Text("Edit1"), "07fc");
    EXPECT_FALSE(f.Get("Button3").Visible);
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    const auto sent = SentBytes(*b.tap);
    for (int page = 0; page < 64; ++page) {
        const int w = page * 16;
        EXPECT_TRUE(HasInstruction(sent, {0x4C, static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w), 0x00}))
            << page;
    }
    EXPECT_TRUE(HasInstruction(sent, {0x4C, 0x03, 0xF0, 0x00})) << "the last page, w = 0x3F0";
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    EXPECT_TRUE(b.FlashHoldsImage());
}

TEST(Atiny2x, WordsLoadedOrPagesWrittenAtTheWrongPlaceFailVerify) {
    for (int wrong : {0, 1}) {
        SCOPED_TRACE(wrong ? "page written to the next w" : "words one place off in the page");
        AvrBench b("ATtiny26");
        b.RandomImage(0x880, 61);
        auto& f = dynamic_cast<TAtiny2x&>(b.Line("ATINY2 1 pkg=20"));
        ASSERT_EQ(f.EnterProgramming(), 1);
        for (int k = 0; k < 16; ++k) {
            const auto at = static_cast<std::uint8_t>(wrong ? k : (k + 1) % 16);
            f.Instruction(0x40, 0x00, at, b.Image()[2 * k]);
            f.Instruction(0x48, 0x00, at, b.Image()[2 * k + 1]);
        }
        f.Instruction(0x4C, 0x00, wrong ? 0x10 : 0x00, 0x00);
        f.RowWriteWait();
        f.SuppliesOff();
        b.wb->ErrorFlag() = 0;
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), "Failed..! ");
        EXPECT_EQ(b.Avr().Writes(), 1);
    }
}

TEST(Atiny2x, ReadDataFillsTheEepromPartOfTheImage) {
    AvrBench b("ATtiny26");
    auto cells = b.Avr().MutableContents();
    for (int i = 0; i < 0x80; ++i) cells[0x800 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7 + 1);
    AlgoForm& f = b.Line("ATINY2 1 pkg=20");
    f.Click("RdData");
    EXPECT_EQ(f.Text("Msg"), "OK");
    for (int i = 0; i < 0x80; ++i) ASSERT_EQ(b.Image()[0x800 + i], static_cast<std::uint8_t>(i * 7 + 1)) << i;
}

TEST(Atiny2x, ReadFuseOfAFactoryChip) {
    AvrBench b("ATtiny26");
    AlgoForm& f = b.Line("ATINY2 1 pkg=20");
    f.Click("ReadFuse");
    EXPECT_EQ(f.Text("Msg"), "Fuse=f7,e1");
    std::vector<std::string> ticked;
    for (int k = 1; k <= 16; ++k)
        if (f.Checked("CheckBox" + std::to_string(k))) ticked.push_back(f.Get("CheckBox" + std::to_string(k)).Caption);
    EXPECT_EQ(ticked, (std::vector<std::string>{"CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SPIEN"}));
}

TEST(Atiny2x, WriteFuseWithEveryBoxUntickedKeepsSpien) {
    AvrBench b("ATtiny26");
    AlgoForm& f = b.Line("ATINY2 1 pkg=20");
    for (int k = 1; k <= 16; ++k) f.SetChecked("CheckBox" + std::to_string(k), false);
    b.tap->commands.clear();
    f.Click("WtFuse");
    EXPECT_EQ(f.Text("Msg"), "OK!");
    const auto sent = SentBytes(*b.tap);
    EXPECT_TRUE(HasInstruction(sent, {0xAC, 0xA0, 0x00, 0xFF}));
    EXPECT_TRUE(HasInstruction(sent, {0xAC, 0xA8, 0x00, 0xFF}));
    EXPECT_EQ(b.Avr().Fuse(0), 0xFF);
    EXPECT_EQ(b.Avr().Fuse(1), 0xF7) << "SPIEN cannot change in serial mode";
}

TEST(Atiny2x, TheLockBitsGoInTheFourthByte) {
    for (bool lb2 : {false, true}) {
        SCOPED_TRACE(lb2 ? "LB1 and LB2" : "LB1 only");
        AvrBench b("ATtiny26");
        b.RandomImage(0x880, 62);
        AlgoForm& f = b.Line("ATINY2 1 pkg=20");
        f.SetChecked("Lb2", lb2);
        f.Click("Write");
        b.tap->commands.clear();
        f.Click("Secrity");
        EXPECT_EQ(f.Text("Msg"), "OK");
        EXPECT_TRUE(HasInstruction(SentBytes(*b.tap), {0xAC, static_cast<std::uint8_t>(lb2 ? 0xF9 : 0xFD), 0x00,
                                                        static_cast<std::uint8_t>(lb2 ? 0xFC : 0xFE)}));
        EXPECT_EQ(b.Avr().Lock() & 0x03, lb2 ? 0x00 : 0x02);
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), lb2 ? "Failed..! " : "OK!!!") << "both bits also disable reading";
    }
}

TEST(Atiny2x, CalibrationBytesGoWhereTheEditPoints) {
    AvrBench b("ATtiny26");
    AlgoForm& f = b.Line("ATINY2 1 pkg=20");
    f.Click("RdCalibrate");
    EXPECT_EQ(f.Text("Msg"), "Calibration: a6,a9,ae,b3");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(b.Image() + 0x7FC, b.Image() + 0x800),
              (std::vector<std::uint8_t>{0xA6, 0xA9, 0xAE, 0xB3}));
    for (const char* text : {"0", "xyz"}) {
        SCOPED_TRACE(text);
        std::fill(b.Image(), b.Image() + 0x880, 0x11);
        f.SetText("Edit1", text);
        f.Click("RdCalibrate");
        EXPECT_EQ(f.Text("Msg"), "校准Add 不能等于0");
        EXPECT_EQ(b.wb->ErrorFlag(), 1);
        EXPECT_TRUE(std::all_of(b.Image(), b.Image() + 0x880, [](std::uint8_t v) { return v == 0x11; }));
    }
}

TEST(Atiny2x, MassProductionCountsEachGoodChipAndAFailingOneEndsIt) {
    AvrBench b("ATtiny26", "vex520", true);
    b.RandomImage(0x880, 63);
    AlgoForm& f = b.Line("ATINY2 1 pkg=20");
    b.wb->options.MassProduction = true;
    int passes = 0;
    const sim::Chip* second = nullptr;
    f.SetSuccessListener([&](const std::string& t) {
        if (t != "End OK..") return;
        EXPECT_TRUE(b.ChipHoldsImage(0x800));
        if (++passes == 2) second = b.sim->GetChip();
    });
    // The third chip is slower than the form's page wait.
    b.tap->beforeOut = [&](int) {
        sim::Chip* c = b.sim->GetChip();
        if (second && c && c != second) c->SetSlowFactor(3);
    };
    f.Click("Button1");
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(b.wb->Counter, "2");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    // The chip seated at the start went first (the wait comes before every
    // pass), then the two good ones; the failing third stays in the socket.
    EXPECT_EQ(b.sim->GetOperator()->Tray().size(), 3u);
}

TEST(Atiny2x, TheBoardOnTheDip40DesignReadsTheId) {
    AvrBench b("ATtiny26*D40");
    AlgoForm& f = b.Line("ATINY2 1 pkg=40");
    EXPECT_EQ(b.sim->LoadedTag(), "ATmeg161spi");
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "ID: 1e,91,09");
}

TEST(Atiny2x, APackageOtherThan20Or40IsRefusedAtSetup) {
    for (const char* line : {"ATINY2 1", "ATINY2 1 pkg=28", "ATINY2 0 pkg=20"}) {
        SCOPED_TRACE(line);
        AvrBench b("ATtiny26");
        AlgoForm& f = b.Line(line);
        EXPECT_EQ(b.prompts.shown.size(), 1u);
        EXPECT_EQ(b.sim->LoadedTag(), "");
        f.Click("Button2");
        f.Click("Write");
        EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
        EXPECT_TRUE(b.sim->GetSocket().GndPins().Empty());
    }
}

TEST(Atiny2x, AnEmptySocketInMassProductionRunsNoPass) {
    AvrBench b("");
    b.wb->sel.SelectedDevice = "ATtiny26";
    AlgoForm& f = b.Open("ATINY2 1 pkg=20");
    b.wb->options.ContactCheck = true;
    f.Click("Button1");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
}

}  // namespace
}  // namespace quilla::test
