// The AVR high-voltage serial forms end to end: the ATtiny11/12/15 form
// (calibration byte, mass production) and the AT90S2323/2343 12 V form, on
// chips that take only the datasheets' frames at 12 V.
#include <algorithm>

#include "algo/avr/hvsp_form.h"
#include "avr_bench.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

// The (SDI, SII) frames a click sent, from the latch writes before each line 5 rising.
std::vector<std::pair<std::uint8_t, std::uint8_t>> Frames(const Tap& tap) {
    std::vector<std::pair<std::uint8_t, std::uint8_t>> out;
    std::uint8_t sii = 0, sdi = 0;
    for (const auto& c : tap.commands) {
        if (c[0] == proto::OpLatch0 && c.size() >= 2) sii = c[1];
        if (c[0] == proto::OpLatch0 + 1 && c.size() >= 2) sdi = c[1];
        if (c[0] == proto::OpWriteReg && c.size() >= 3 && c[1] == proto::RegControlLines && c[2] == (5 | 0x80))
            out.emplace_back(sdi, sii);
    }
    return out;
}

bool Sent(const Tap& tap, std::uint8_t command, std::uint8_t data) {
    const auto f = Frames(tap);
    for (std::size_t i = 0; i + 1 < f.size(); ++i)
        if (f[i] == std::pair<std::uint8_t, std::uint8_t>{command, 0x4C} && f[i + 1].first == data &&
            f[i + 1].second == 0x2C)
            return true;
    return false;
}

// ---- TAtiny1x ------------------------------------------------------------------------------------

TEST(Atiny1x, Attiny12RoundTripsFlashEepromIdCalibrationAndFuse) {
    AvrBench b("ATtiny12");
    b.RandomImage(0x440, 70);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + 0x440);
    AlgoForm& f = b.Line("ATINY1 2");
    EXPECT_EQ(f.Caption(), "ATiny11,12,15");
    EXPECT_EQ(b.sim->LoadedTag(), "Atiny12");
    EXPECT_EQ(f.Get("Note").Caption, "EEPROMAdd ：0400");
    EXPECT_EQ(f.Text("Edit1"), "03ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    f.Click("WrData");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipHoldsImage(0x400));
    std::fill(b.Image(), b.Image() + 0x440, 0);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("RdData");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.wb->FileWin->ViewStart, 0x400);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "ID: 1e,90,05");
    f.Click("RdCalibrate");
    EXPECT_EQ(f.Text("Msg"), "Calibration: 9c");
    EXPECT_EQ(b.Image()[0x3FF], 0x9C);
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    b.tap->commands.clear();
    f.Click("WtFuse");
    EXPECT_EQ(f.Text("Msg"), "OK!");
    EXPECT_TRUE(Sent(*b.tap, 0x40, 0xDF)) << "the sixth box ticked at start";
    EXPECT_EQ(b.Avr().Fuse(0), 0xDF);
    f.Click("ReadFuse");
    EXPECT_EQ(f.Text("Msg"), "Fuse=df");
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(f.Checked("CheckBox" + std::to_string(k)), k == 6) << k;
}

TEST(Atiny1x, TheRowChoosesTheFuseCaptionsAndTheFrameWaits) {
    {
        AvrBench b("ATtiny11");
        AlgoForm& f = b.Line("ATINY1 1");
        std::vector<std::string> captions;
        for (int k = 1; k <= 8; ++k) captions.push_back(f.Get("CheckBox" + std::to_string(k)).Caption);
        EXPECT_EQ(captions, (std::vector<std::string>{"CKSEL0", "CKSEL1", "CKSEL2", "RSTDSBL", "FSTRT", "-", "-", "-"}));
        b.tap->commands.clear();
        f.Click("ID");
        EXPECT_EQ(f.Text("Msg"), "ID: 1e,90,04");
        EXPECT_EQ(b.CountOps(proto::OpWaitPulse), 0);
    }
    AvrBench b("ATtiny15");
    b.RandomImage(0x440, 71);
    AlgoForm& f = b.Line("ATINY1 3");
    EXPECT_EQ(b.sim->LoadedTag(), "Atiny15");
    b.tap->commands.clear();
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "ID: 1e,90,06");
    EXPECT_EQ(b.CountOps(proto::OpWaitPulse), 2 * static_cast<int>(Frames(*b.tap).size())) << "two waits a frame";
    f.Click("Write");
    f.Click("WrData");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    EXPECT_TRUE(b.ChipHoldsImage(0x400));
}

TEST(Atiny1x, AnAttiny15OnTheOnePulseDesignAnswersNothing) {
    AvrBench b("ATtiny15");
    b.RandomImage(0x440, 72);
    AlgoForm& f = b.Line("ATINY1 2");  // the ATtiny12 row: one SCI pulse a bit
    f.Click("ID");
    EXPECT_NE(f.Text("Msg"), "ID: 1e,90,06");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
}

TEST(Atiny1x, LockWithLb1OnlyKeepsTheOldImageAndStopsWrites) {
    AvrBench b("ATtiny12");
    b.RandomImage(0x440, 73);
    AlgoForm& f = b.Line("ATINY1 2");
    f.Click("Write");
    f.SetChecked("Lb2", false);
    b.tap->commands.clear();
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(Sent(*b.tap, 0x20, 0xFD));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    b.RandomImage(0x440, 74);
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(f.Text("Edit6"), "0000");
}

TEST(Atiny1x, ARewriteWithoutEraseFailsVerify) {
    AvrBench b("ATtiny12");
    b.RandomImage(0x440, 75);
    AlgoForm& f = b.Line("ATINY1 2");
    f.Click("Write");
    b.RandomImage(0x440, 76);
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ") << "flash cells only clear";
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
}

TEST(Atiny1x, FramesWithSdiAndSiiSwappedWriteNothing) {
    AvrBench b("ATtiny12");
    b.RandomImage(0x440, 77);
    auto& f = dynamic_cast<TAtiny1x&>(b.Line("ATINY1 2"));
    ASSERT_EQ(f.EnterProgramming(), 1);
    for (int a = 0; a < 0x40; a += 2) {
        // The word write with the two bytes of every frame exchanged.
        const std::uint8_t w = static_cast<std::uint8_t>(a / 2);
        for (auto [sdi, sii] : std::initializer_list<std::pair<std::uint8_t, std::uint8_t>>{
                 {0x10, 0x4C}, {0x00, 0x1C}, {w, 0x0C}, {b.Image()[a], 0x2C}, {0x00, 0x64}, {0x00, 0x6C}})
            f.HvspInstruction(sii, sdi);
        f.RowWriteWait();
    }
    f.SuppliesOff();
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(b.Avr().Writes(), 0);
}

TEST(Atiny1x, SlowDoublesTheWriteWaits) {
    for (const char* speed : {"Fast写", "Slow  "}) {
        SCOPED_TRACE(speed);
        AvrBench b("ATtiny12");
        AlgoForm& f = b.Line("ATINY1 2");
        f.SetText("Speed", speed);
        b.tap->commands.clear();
        f.Click("WrData");
        // Two write waits a byte, and the over-current check's.
        EXPECT_EQ(b.CountOps(proto::OpWait1ms), 64 * 2 * (std::string(speed) == "Slow  " ? 8 : 4) + 1);
    }
}

TEST(Atiny1x, AnEmptySocketWithTheContactTestOffFailsBlankAndVerify) {
    AvrBench b("");
    b.wb->options.ContactCheck = false;
    b.wb->sel.SelectedDevice = "ATtiny12";
    AlgoForm& f = b.Open("ATINY1 2");
    std::fill(b.Image(), b.Image() + 0x440, 0xFF);
    for (const char* button : {"Blank", "Verify"}) {
        SCOPED_TRACE(button);
        b.wb->ErrorFlag() = 0;
        f.Click(button);
        EXPECT_EQ(f.Text("Msg"), "No chip answers.");
        EXPECT_EQ(b.wb->ErrorFlag(), 1);
        EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
    }
    for (const char* box : {"CheckBoxCalibrate", "CheckBoxErase", "CheckBoxWrite", "CheckBoxrWrData",
                            "CheckBoxFuse", "CheckBoxConfig"})
        f.SetChecked(box, false);
    f.Click("Button1");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(Atiny1x, ARunWithCalibrationAddressZeroEndsUncounted) {
    AvrBench b("ATtiny12");
    b.RandomImage(0x440, 78);
    AlgoForm& f = b.Line("ATINY1 2");
    f.SetText("Edit1", "0");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "校准Add 不能等于0");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(b.Avr().Writes(), 0) << "the pass ends before the erase";
}

TEST(Atiny1x, MassProductionRepeatsForEachNewChip) {
    AvrBench b("ATtiny11", "vex520", true);
    b.RandomImage(0x400, 79);
    AlgoForm& f = b.Line("ATINY1 1");
    b.wb->options.MassProduction = true;
    int passes = 0;
    f.SetSuccessListener([&](const std::string& t) {
        if (t != "End OK..") return;
        EXPECT_TRUE(b.FlashHoldsImage());
        if (++passes == 2) b.wb->options.MassProduction = false;
    });
    f.Click("Button1");
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(b.wb->Counter, "2");
}

TEST(Atiny1x, RowsOutsideTheTableAreRefusedAtSetup) {
    for (const char* line : {"ATINY1 0", "ATINY1 4"}) {
        SCOPED_TRACE(line);
        AvrBench b("ATtiny12");
        AlgoForm& f = b.Line(line);
        EXPECT_EQ(b.prompts.shown.size(), 1u);
        f.Click("Write");
        EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
        EXPECT_TRUE(b.sim->GetSocket().GndPins().Empty());
    }
}

// ---- TAt90s2323Hix --------------------------------------------------------------------------------------

TEST(At90s2323Hix, FuseWrittenAt12VReadsBackThroughTheSerialForm) {
    AvrBench b("AT90S2343(12V)");
    AlgoForm& f = b.Line("AT90S2323HI 2");
    EXPECT_EQ(f.Caption(), "2323/2343 12v");
    EXPECT_FALSE(f.Get("ReadFuse").Visible);
    EXPECT_EQ(f.Get("CheckBox2").Caption, "RCEN 内部RC");
    EXPECT_FALSE(f.Checked("CheckBox1"));
    b.tap->commands.clear();
    f.Click("WtFuse");
    EXPECT_TRUE(Sent(*b.tap, 0x40, 0xFF));
    EXPECT_EQ(b.Avr().Fuse(0) & 0x21, 0x21) << "SPIEN and RCEN unprogrammed at 12 V";
    f.SetChecked("CheckBox1", true);
    f.SetChecked("CheckBox2", true);
    b.tap->commands.clear();
    f.Click("WtFuse");
    EXPECT_EQ(f.Text("Msg"), "OK!");
    EXPECT_TRUE(Sent(*b.tap, 0x40, 0xDE));
    // The same chip in the serial form's socket position.
    auto chip = b.sim->GetSocket().Unseat();
    b.sim->GetSocket().Seat(std::move(chip), sim::Placement::Dip(8));
    AlgoForm& spi = b.Line("AT90S2323 2");
    spi.SetChecked("CheckBox1", false);
    spi.SetChecked("CheckBox2", false);
    spi.Click("ReadFuse");
    EXPECT_EQ(spi.Text("Msg"), "Fuse=de");
    EXPECT_TRUE(spi.Checked("CheckBox1")) << "SPIEN";
    EXPECT_TRUE(spi.Checked("CheckBox2")) << "RCEN";
}

TEST(At90s2323Hix, RunIsOnePassEvenInMassProduction) {
    AvrBench b("AT90S2323(12V)");
    b.RandomImage(0x880, 80);
    AlgoForm& f = b.Line("AT90S2323HI 1");
    EXPECT_EQ(f.Get("CheckBox2").Caption, "FSTRT");
    f.SetChecked("CheckBox1", true);  // keep SPIEN programmed
    b.wb->options.MassProduction = true;
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipHoldsImage(0x800));
    EXPECT_EQ(b.Avr().Lock() & 0x03, 0x00);
}

TEST(AvrHvspSweep, NoSuccessTextWithTheChipWrong) {
    for (const char* button : {"WrData", "Button1"}) {
        SCOPED_TRACE(button);
        FaultSweep s;
        s.prepare = [] {
            auto b = std::make_unique<AvrBench>("ATtiny12");
            b->RandomImage(0x440, 81);
            AlgoForm& f = b->Line("ATINY1 2");
            // The batch with its short steps: the flash steps take a transfer a word.
            for (const char* box : {"CheckBoxBlank", "CheckBoxWrite", "CheckBoxVer"}) f.SetChecked(box, false);
            b->tap->record = false;
            return std::unique_ptr<SimBench>(std::move(b));
        };
        s.form = [](SimBench& b) -> AlgoForm& { return b.Open("ATINY1 2"); };
        s.operation = [button](SimBench&, AlgoForm& f) { f.Click(button); };
        s.holds = [button](SimBench& b, const std::string& text) {
            auto& a = static_cast<AvrBench&>(b);
            const bool eeprom = std::equal(a.Avr().Eeprom().begin(), a.Avr().Eeprom().end(), a.Image() + 0x400);
            if (text == "End OK..") return eeprom && (a.Avr().Lock() & 0x03) == 0;
            if (text == "OK" && std::string(button) == "WrData") return eeprom;
            return true;
        };
        EXPECT_GT(s.Run().transfers, 3);
    }
}

}  // namespace
}  // namespace quilla::test
