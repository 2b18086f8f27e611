// The ATmega form (ATMEGAX) end to end on the simulated programmer: the batch
// with fuses, calibration byte and EEPROM, the checks, the calibration address,
// the device-line checks of the setup and the batch's stops.
#include "algo/avr/atmega.h"
#include "avr_bench.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

constexpr const char* kMega8 = "ATMEGAX 1 pkg=28";

TEST(Atmegax, RunWritesCalibrationFlashEepromFusesAndLockAndCountsOnePass) {
    AvrBench b("ATmega8");
    b.RandomImage(0x2200, 1);
    AlgoForm& f = b.Line(kMega8);
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0x21FF);
    EXPECT_EQ(f.Get("Note").Caption, "Buffer 2000h = Data(EEPROM)0000h.");
    EXPECT_EQ(f.Text("Edit1"), "1fff");
    f.SetChecked("CheckBox1", true);   // CKSEL0
    f.SetChecked("CheckBox14", true);  // SPIEN
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    // The 1 MHz calibration byte went into the image's last flash byte, and with it into the chip.
    EXPECT_EQ(b.Image()[0x1FFF], b.Avr().Part().calibration[0]);
    EXPECT_TRUE(b.ChipHoldsImage(0x2000));
    EXPECT_EQ(b.Avr().Fuse(0), 0xFE);
    EXPECT_EQ(b.Avr().Fuse(1), 0xDF);
    f.Click("ReadFuse");
    EXPECT_EQ(f.Text("Msg"), "Fuse low=fe,  Fuse Hi=df,  Lock=ff");
    EXPECT_TRUE(f.Checked("CheckBox1"));  // R.Fuse leaves the boxes
    EXPECT_FALSE(f.Checked("CheckBox2"));
}

TEST(Atmegax, VerifyAndBlankFindAChangedChipAndEraseClearsIt) {
    AvrBench b("ATmega8");
    b.RandomImage(0x2200, 2);
    AlgoForm& f = b.Line(kMega8);
    f.Click("Write");
    f.Click("Verify");
    ASSERT_EQ(f.Text("Msg"), "OK!!!");
    b.Image()[0x1234] ^= 0x5A;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No empty.");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "Erase OK");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK!");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    EXPECT_TRUE(b.ChipBlank(0, 0x2200));
}

TEST(Atmegax, EepromSaveKeepsTheEepromThroughAnErase) {
    AvrBench b("ATmega8");
    b.RandomImage(0x2200, 3);
    AlgoForm& f = b.Line(kMega8);
    f.Click("WrData");
    f.SetChecked("CheckBox12", true);  // EESAVE
    f.SetChecked("CheckBox14", true);  // SPIEN
    f.Click("WtFuse");
    EXPECT_EQ(f.Text("Msg"), "Fuse OK!");
    f.Click("Erase");
    EXPECT_TRUE(std::equal(b.Avr().Eeprom().begin(), b.Avr().Eeprom().end(), b.Image() + 0x2000));
    f.SetChecked("CheckBox12", false);
    f.Click("WtFuse");
    f.Click("Erase");
    for (std::uint8_t v : b.Avr().Eeprom()) ASSERT_EQ(v, 0xFF);
}

TEST(Atmegax, TheLargestRowPlacesItsEepromAtTwoHundredKiB) {
    AvrBench b("ATmega128");
    AlgoForm& f = b.Line("ATMEGAX 5 pkg=41");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0x20FFF);
    EXPECT_EQ(f.Get("Note").Caption, "Buffer 20000h = Data(EEPROM)0000h.");
    EXPECT_EQ(f.Text("Edit1"), "1ffff");
}

// The calibration address is the whole field; no address, or one outside the
// image, stores nothing and fails.
struct CalCase {
    const char* text;
    std::int32_t stored;  // -1: refused
};

class CalibrationAddress : public ::testing::TestWithParam<CalCase> {};

TEST_P(CalibrationAddress, StoresAtTheWholeAddressOrRefuses) {
    const CalCase& c = GetParam();
    AvrBench b("ATmega8");
    AlgoForm& f = b.Line(kMega8);
    std::fill(b.Image(), b.Image() + 0x20000, 0x11);
    const std::vector<std::uint8_t> before(b.Image(), b.Image() + ImageSize);
    f.Choose("ComboBox1", 2);  // 4 MHz
    f.SetText("Edit1", c.text);
    f.Click("RdCalibrate");
    const std::uint8_t cal = b.Avr().Part().calibration[2];
    if (c.stored < 0) {
        EXPECT_EQ(f.Text("Msg"), "校准Add 不能等于0");
        EXPECT_EQ(b.wb->ErrorFlag(), 1);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), b.Image()));
    } else {
        char msg[40];
        std::snprintf(msg, sizeof msg, "Calibration(4MH): %02x", cal);
        EXPECT_EQ(f.Text("Msg"), msg);
        EXPECT_EQ(b.wb->ErrorFlag(), 0);
        EXPECT_EQ(b.Image()[c.stored], cal);
    }
}

INSTANTIATE_TEST_SUITE_P(Atmegax, CalibrationAddress,
                         ::testing::Values(CalCase{"1ffff", 0x1FFFF}, CalCase{"1fff", 0x1FFF},
                                           CalCase{"7fffff", 0x7FFFFF}, CalCase{"0000", -1}, CalCase{"zz", -1},
                                           CalCase{"", -1}, CalCase{"800000", -1}, CalCase{"-1", -1}),
                         CaseName([](const CalCase& c) { return std::string("text_") + c.text; }));

// ---- device lines the setup refuses ---------------------------------------------------------------

class RefusedLine : public ::testing::TestWithParam<const char*> {};

TEST_P(RefusedLine, NamesTheKeyAndRoutesNoSupply) {
    AvrBench b("ATmega8");
    AlgoForm& f = b.Line(GetParam());
    EXPECT_NE(f.Text("Msg").find("Bad device line"), std::string::npos) << f.Text("Msg");
    EXPECT_EQ(b.prompts.Last(), f.Text("Msg"));
    for (const auto& c : b.tap->commands) EXPECT_NE(c[0], proto::OpSystem) << "nothing is sent";
    f.Click("Write");
    EXPECT_TRUE(b.tap->commands.empty());
}

INSTANTIATE_TEST_SUITE_P(Atmegax, RefusedLine,
                         ::testing::Values("ATMEGAX 0 pkg=28", "ATMEGAX 8 pkg=28", "ATMEGAX 1 pkg=33",
                                           "ATMEGAX -1"),
                         CaseName([](const char* p) { return std::string(p); }));

TEST(Atmegax, ThePackageKeyPicksDesignAndPins) {
    struct Case {
        const char* params;
        const char* design;
        int vpp, vcc, gnd;
    };
    for (const Case& c : {Case{"ATMEGAX 2 pkg=41", "at90s8535dip40", 29, 30, 31},
                          Case{"ATMEGAX 2 pkg=50", "at90s8535plcc44", 8, 42, 10},
                          Case{"ATMEGAX 2 pkg=44", "at90s8515plcc44", 8, 42, 20},
                          Case{"ATMEGAX 2", "at90s8515dip40", 29, 30, 31},
                          Case{"ATMEGAX 1 pkg=28", "atmega8dip28", 7, 13, 14}}) {
        AvrBench b("ATmega16");
        auto& f = dynamic_cast<TAtmegax&>(b.Line(c.params));
        EXPECT_EQ(b.sim->LoadedTag(), c.design) << c.params;
        const AvrRow* r = f.SelectedRow();
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->VppPin, c.vpp) << c.params;
        EXPECT_EQ(r->VccPin, c.vcc) << c.params;
        EXPECT_EQ(r->GndPin, c.gnd) << c.params;
        b.CheckChipSide();
    }
}

// ---- waits ----------------------------------------------------------------------------------------

TEST(Atmegax, PageWaitsFollowTheSpeedTextExactly) {
    struct Case {
        const char* speed;
        int pageWaits;
    };
    for (const Case& c : {Case{"Fast写", 5}, Case{"Slow  ", 10}, Case{"Fast", 10}, Case{"fast写", 10}}) {
        AvrBench b("ATmega8");
        AlgoForm& f = b.Line(kMega8);
        f.SetText("Speed", c.speed);
        b.tap->commands.clear();
        f.Click("Write");
        // 128 pages, and the current check's one wait.
        EXPECT_EQ(b.CountOps(proto::OpWait1ms), 128 * c.pageWaits + 1) << c.speed;
    }
}

TEST(Atmegax, OnlySlowLengthensTheFuseAndLockWaits) {
    for (const auto& [speed, waits] : {std::pair{"Fast写", 2}, std::pair{"Slow  ", 4}, std::pair{"Slow", 2}}) {
        AvrBench b("ATmega8");
        AlgoForm& f = b.Line(kMega8);
        f.SetText("Speed", speed);
        b.tap->commands.clear();
        f.Click("Secrity");
        EXPECT_EQ(b.CountOps(proto::OpWait1ms), waits + 1) << speed;
    }
}

// ---- the batch stops at the first failure ------------------------------------------------------------

TEST(Atmegax, AnOverCurrentAtEraseEndsThePassBeforeTheBlankCheck) {
    AvrBench b("ATmega8");
    b.RandomImage(0x2200, 4);
    AlgoForm& f = b.Line(kMega8);
    b.sim->InjectOverCurrent();
    b.tap->commands.clear();
    f.Click("Button1");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(f.PassesCounted(), 0);
    EXPECT_EQ(b.CountOps(proto::OpCapturePort0), 1) << "only the calibration byte was read";
    EXPECT_TRUE(b.ChipBlank(0, 0x2000));
}

TEST(Atmegax, AFailedCalibrationReadOrAWriteWithoutWindowEndsThePass) {
    {
        AvrBench b("ATmega8");
        AlgoForm& f = b.Line(kMega8);
        f.SetText("Edit1", "0");
        f.Click("Button1");
        EXPECT_EQ(f.Text("Msg"), "校准Add 不能等于0");
        EXPECT_EQ(b.wb->Counter, "0");
        EXPECT_EQ(b.Avr().Writes(), 0);
    }
    {
        AvrBench b("ATmega8");
        AlgoForm& f = b.Line(kMega8);
        b.wb->FileWin.reset();
        f.Click("Button1");
        EXPECT_EQ(b.prompts.Last(), "Must open a file to write...");
        EXPECT_NE(f.Text("Msg"), "End OK..");
        EXPECT_EQ(b.wb->Counter, "0");
        EXPECT_EQ(b.Avr().Writes(), 1) << "the erase, nothing after the refused Write";
    }
}

TEST(Atmegax, MassProductionCountsEachChip) {
    AvrBench b("ATmega8", "vex520", true);
    b.RandomImage(0x2200, 5);
    AlgoForm& f = b.Line(kMega8);
    b.wb->options.MassProduction = true;
    int passes = 0;
    f.SetSuccessListener([&](const std::string& t) {
        if (t != "End OK..") return;
        EXPECT_TRUE(b.ChipHoldsImage(0x2000));
        if (++passes == 2) b.wb->options.MassProduction = false;
    });
    f.Click("Button1");
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(b.wb->Counter, "2");
    // The operator took the first chip out (written) and seated the second.
    ASSERT_EQ(b.sim->GetOperator()->Tray().size(), 2u);
}

}  // namespace
}  // namespace quilla::test
