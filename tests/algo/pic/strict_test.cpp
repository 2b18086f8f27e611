// The PIC chip models as strict as their programming sheets, and form variants
// with one planted fault each: the 16C5x word needs the forms' whole pulse, a
// one-time 12-bit word is kept only with its over-programming share, and a
// configuration word written one address too far (2008h) leaves the chip's
// configuration and IDs other than the form meant: the tests judge them.
#include <functional>
#include <string>

#include "algo/pic/p12c508.h"
#include "algo/pic/p16c8x.h"
#include "algo/pic/pic_serial.h"
#include "pic_images.h"
#include "sim/chips/pic12.h"
#include "sim/chips/pic16c5x.h"
#include "sim/chips/pic14.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::Pic12Chip;
using sim::Pic14Chip;
using sim::Pic16c5xChip;

bool RefusalMentions(SimBench& b, const std::string& what) {
    for (const std::string& r : b.sim->GetChip()->Refusals())
        if (r.find(what) != std::string::npos) return true;
    return false;
}

// ---- the 16C5x program pulse ---------------------------------------------------------------------

struct C5xCase {
    int waits;     // waits 25 in the program pulse of word 0
    bool inMode;   // the word reads programmed while the chip stays in the mode
    bool kept;     // ... and after it left the mode
};

class P16c5xPulse : public ::testing::TestWithParam<C5xCase> {};

// The P16C54 form's lines by hand (as its Write drives them): word 0 given
// a pulse of `waits` waits 25; the form itself gives two.
TEST_P(P16c5xPulse, TheWordKeepsOnlyWithTheWholeTrain) {
    const C5xCase c = GetParam();
    SimBench b("PIC16C54");
    b.Open("P16C54 1");
    TEp3& e = b.wb->Ep3;
    e.GndPin(16);
    e.VccPin(25);
    e.ControlLineHigh(1);
    e.ControlLineLow(3);
    e.ControlLineHigh(2);
    e.ControlLineLow(4);
    e.VppPin(15);
    e.ControlLineHigh(4);
    e.ControlLineHigh(3), e.ControlLineLow(3);  // from the configuration word to address 0
    e.ControlLineLow(1);
    e.WriteReg(proto::RegPicLow, 0);
    e.WriteReg(proto::RegPicHigh, 0);
    e.ControlLineLow(2);
    for (int k = 0; k < c.waits; ++k) e.UsbPut1(proto::OpWaitPulse);
    e.ControlLineHigh(2);
    e.UsbFlush();
    auto& chip = b.ChipAs<Pic16c5xChip>();
    EXPECT_EQ(chip.Word(0), c.inMode ? 0x000 : 0xFFF);
    e.VppPin(0);
    e.VccPin(0);
    e.UsbFlush();
    EXPECT_EQ(chip.Word(0), c.kept ? 0x000 : 0xFFF);
    if (c.inMode && !c.kept) {
        EXPECT_TRUE(RefusalMentions(b, "not over-programmed"));
    }
}

INSTANTIATE_TEST_SUITE_P(Waits, P16c5xPulse,
                         ::testing::Values(C5xCase{1, true, false}, C5xCase{2, true, true}, C5xCase{4, true, true}),
                         [](const ::testing::TestParamInfo<C5xCase>& i) {
                             return std::to_string(i.param.waits) + "_waits";
                         });

// ---- the 12-bit one-time words: over-programming ---------------------------------------------------------

class OpenP12c508 : public TP12c508x {
public:
    using TP12c508x::TP12c508x;
    using Pic12OtpForm::Enter;
    using Pic12OtpForm::Off;
};

struct OtpCase {
    const char* part;
    const char* params;
    int waits;
    bool inMode, kept;
};

class Pic12OverProgram : public ::testing::TestWithParam<OtpCase> {};

TEST_P(Pic12OverProgram, AWordIsKeptOnlyWithItsWholeTrain) {
    const OtpCase c = GetParam();
    SimBench b(c.part);
    b.Open(c.params);
    OpenP12c508 f(*b.wb);
    f.SetupForDevice();
    f.Enter();
    f.Pic.SendCommand(f.Pic.Codes().increment);  // program word 0
    f.Pic.ProgramWord(0x000, c.waits);
    b.wb->Ep3.UsbFlush();
    auto& chip = b.ChipAs<Pic12Chip>();
    EXPECT_EQ(chip.Word(0), c.inMode ? 0x000 : 0xFFF);
    f.Off();
    b.wb->Ep3.UsbFlush();
    EXPECT_EQ(chip.Word(0), c.kept ? 0x000 : 0xFFF);
    if (c.inMode && !c.kept) {
        EXPECT_TRUE(RefusalMentions(b, "not over-programmed"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trains, Pic12OverProgram,
    ::testing::Values(OtpCase{"PIC12C508", "P12C508 1", 0, true, false},  // the pulse without its wait: N's share only
                      OtpCase{"PIC12C508", "P12C508 1", 1, true, true}),
    [](const ::testing::TestParamInfo<OtpCase>& i) { return std::to_string(i.param.waits) + "_waits"; });

// ---- the configuration word and IDs ---------------------------------------------------------------------

struct ConfigFault {
    const char* name;
    bool configAt2008;  // one 3FFFh word too many after the IDs: the configuration lands on 2008h
    bool noWait;        // every word programmed without its wait
};

class FaultyP16c8x : public TP16c8x {
public:
    FaultyP16c8x(Workbench& w, const ConfigFault& f) : TP16c8x(w), fault_(f) {}
    void WtConfigClick() override {
        if (!fault_.configAt2008) return TP16c8x::WtConfigClick();
        ControlsToConfig();
        if (!Pic.Enter(Row().Pins(), true)) return;
        Pic.SendCommandData(Pic.Codes().loadConfig, 0x3FFF);
        for (std::uint16_t w : UserIdWords(UserId)) Pic.ProgramWord(w, Waits());
        for (int k = 0; k < 4; ++k) Pic.ProgramWord(0x3FFF, Waits());
        Pic.ProgramWord(static_cast<std::uint16_t>(ConfigWord), Waits());
        Pic.Leave();
        Success("OK");
    }

protected:
    int Waits() const override { return fault_.noWait ? 0 : TP16c8x::Waits(); }

private:
    const ConfigFault& fault_;
};

class P16c8xOneFault : public ::testing::TestWithParam<ConfigFault> {};

// Write, Wrt.CFG and Verify on a blank PIC16F84A: the chip, judged on its
// program words, configuration word and IDs, never holds what the form meant.
TEST_P(P16c8xOneFault, TheChipsConfigurationOrTheNextVerifyCatchesIt) {
    const ConfigFault& fault = GetParam();
    SimBench b("PIC16F84A");
    FillPicImage(b, 64, 0, 31);
    std::fill(b.Image() + 128, b.Image() + 0x800, 0xFF);
    b.Open("P16C84 6");
    FaultyP16c8x f(*b.wb, fault);
    f.SetupForDevice();
    f.Enter("Edit1", "5a3c");
    f.Click("Write");
    f.Click("WtConfig");
    const bool configHeld = PicChipHoldsConfig(b, f);
    f.Click("Verify");
    const bool verified = f.Text("Msg") == "OK";
    EXPECT_FALSE(configHeld && verified && PicChipHoldsImage(b, 64, 0));
    if (fault.configAt2008) {
        EXPECT_FALSE(configHeld) << "configuration word and IDs as the form meant, from 2008h";
        EXPECT_TRUE(RefusalMentions(b, "002008")) << "the chip ignored the word without a trace";
    }
    if (fault.noWait) {
        EXPECT_FALSE(verified);
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, P16c8xOneFault,
                         ::testing::Values(ConfigFault{"configuration at 2008h", true, false},
                                           ConfigFault{"no wait after a word", false, true}),
                         CaseName([](const ConfigFault& f) { return std::string(f.name); }));

TEST(P16c8xOneFault, TheFormItselfLeavesTheConfigurationItMeant) {
    SimBench b("PIC16F84A");
    FillPicImage(b, 64, 0, 31);
    std::fill(b.Image() + 128, b.Image() + 0x800, 0xFF);
    auto& f = dynamic_cast<PicForm&>(b.Open("P16C84 6"));
    f.Enter("Edit1", "5a3c");
    f.Click("Write");
    f.Click("WtConfig");
    EXPECT_TRUE(PicChipHoldsConfig(b, f)) << std::hex << b.ChipAs<Pic14Chip>().ConfigWord() << " " << f.ConfigWord;
    EXPECT_NE(f.ConfigWord & 0x3FFF, 0x3FFFu);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
}

}  // namespace
}  // namespace quilla::test
