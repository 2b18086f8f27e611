// The Microwire 93Cxx forms end to end on the simulated programmer: the FPGA
// models' forms (P93, P93X16) and the vex310's host-driven ones (P93C310,
// P93C310X16) against the strict Microwire chip model.
#include <algorithm>
#include <vector>

#include "algo/serial/microwire.h"
#include "sim/chips/microwire.h"
#include "support/param_names.h"
#include "support/sim_bench.h"
#include "images.h"

namespace quilla::test {
namespace {

using sim::EventKind;
using sim::MicrowireChip;

MicrowireChip& Chip93(SimBench& b) { return b.ChipAs<MicrowireChip>(); }

// ---- round trips --------------------------------------------------------------------------

struct Trip {
    const char* part;
    const char* params;
    const char* model;
    int bytes;  // buffer bytes the row covers (= chip bytes here)
    const char* written;
    const char* verified;
    const char* read;
};

const Trip kTrips[] = {
    {"93C46", "P93 1", "vex520", 128, "Done", "Verified!", "Data in buffer.."},
    {"93C66", "P93X16 3", "vex520", 512, "Done", "Verified!", "OK"},
    {"93C76", "P93X16 4", "vex520", 1024, "Done", "Verified!", "OK"},
    {"93C86", "P93 8", "vex520", 2048, "Done", "Verified!", "Data in buffer.."},
    {"93C46", "P93C310 1", "vex310", 128, "Done", "Verified!", "Data in buffer.."},
    {"93C66", "P93C310X16 3", "vex310", 512, "OK", "OK!", "Data in buffer.."},
};

class RoundTrip : public ::testing::TestWithParam<Trip> {};

TEST_P(RoundTrip, WritesVerifiesAndReadsBackIntoAClearedImage) {
    const Trip& t = GetParam();
    SimBench b(t.part, t.model);
    b.RandomImage(t.bytes, 3);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + t.bytes);
    AlgoForm& f = b.Open(t.params);
    EXPECT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(b.wb->FileWin->EndAddr, t.bytes - 1);

    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), t.written);
    EXPECT_TRUE(b.ChipMatchesImage(0, t.bytes));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), t.verified);
    EXPECT_EQ(b.wb->ErrorFlag(), 0);

    std::fill(b.Image(), b.Image() + t.bytes, 0);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), t.read);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));

    // The vex310 samples DO with its data-port capture (bit 1); the FPGA design with 0x01.
    const bool v310 = std::string(t.model) == "vex310";
    EXPECT_EQ(b.tap->Count(proto::OpCaptureData) > 0, v310);
    EXPECT_EQ(b.tap->Count(proto::OpCapturePort0) > 0, !v310);
    EXPECT_EQ(b.sim->LoadedTag(), v310 ? "vex310fw" : "p93cxxx");
}

INSTANTIATE_TEST_SUITE_P(Microwire, RoundTrip, ::testing::ValuesIn(kTrips),
                         CaseName([](const Trip& t) { return std::string(t.params) + " " + t.part; }));

// ---- word layouts --------------------------------------------------------------------------

TEST(MicrowireLayout, WordFormKeepsTheLowByteFirst) {
    SimBench b("93C46");
    AlgoForm& f = b.Open("P93X16 1");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 127);
    Chip93(b).SetWord(0, 0xBEEF);
    f.Click("Read1");
    EXPECT_EQ(b.Image()[0], 0xEF);
    EXPECT_EQ(b.Image()[1], 0xBE);
}

TEST(MicrowireLayout, ByteFormOnAWordRowKeepsTheLowByteAndWritesItWithAZeroHighByte) {
    SimBench b("93C46");
    AlgoForm& f = b.Open("P93 4");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 63);
    for (int n = 0; n < 64; ++n) Chip93(b).SetWord(n, static_cast<std::uint16_t>(0x1200 | n));
    Chip93(b).SetWord(0, 0x12AB);
    f.Click("Read1");
    EXPECT_EQ(b.Image()[0], 0xAB);
    EXPECT_EQ(b.Image()[5], 0x05);

    b.Image()[0] = 0x5A;
    f.Click("Write");
    EXPECT_EQ(Chip93(b).Word(0), 0x005A);
    EXPECT_EQ(Chip93(b).Word(5), 0x0005);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Verified!");
}

// The x16 93C76 takes 10 address bits; a row sending 9 leaves the chip unwritten.
class NineBitP93x16 : public TP93x16 {
public:
    using TP93x16::TP93x16;
    void FillVariantTable() override {
        TP93x16::FillVariantTable();
        Table[4].AddressBits = 9;
    }
};

TEST(MicrowireLayout, The93C76WithNineAddressBitsFailsVerify) {
    SimBench b("93C76");
    DenseImage(b, 1024, 8);
    b.Open("P93X16 4");
    NineBitP93x16 f(*b.wb);
    f.SetupForDevice();
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(Chip93(b).Cycles(), 0);
    EXPECT_TRUE(b.ChipBlank(0, 1024));
}

// ---- the strict chip -------------------------------------------------------------------------

TEST(MicrowireChipModel, WriteWithoutEwenChangesNothing) {
    SimBench b("93C46");
    auto& f = dynamic_cast<MicrowireForm&>(b.Open("P93 1"));
    f.MwPowerUp();
    f.MwWriteWord(3, 0x42);
    b.wb->Ep3.UsbFlush();
    EXPECT_EQ(b.Chip()[3], 0xFF);
    f.MwEraseWriteEnable();
    f.MwWriteWord(3, 0x42);
    b.wb->Ep3.UsbFlush();
    EXPECT_EQ(b.Chip()[3], 0x42);
    f.MwEraseWriteDisable();
    f.MwWriteWord(3, 0x00);
    b.wb->Ep3.UsbFlush();
    EXPECT_EQ(b.Chip()[3], 0x42);
}

TEST(MicrowireChipModel, AnInstructionWhileBusyIsIgnored) {
    SimBench b("93C46");
    Chip93(b).SetSlowFactor(5);  // 5 ms write cycle
    auto& f = dynamic_cast<MicrowireForm&>(b.Open("P93 1"));
    f.Choose("Speed", 0);  // one 1 ms wait per word
    f.MwPowerUp();
    f.MwEraseWriteEnable();
    f.MwWriteWord(0, 0x11);
    f.MwWriteWord(1, 0x22);  // while word 0 is still being written
    f.MwEraseWriteDisable();
    b.wb->Ep3.UsbPut1(proto::OpWait100ms);
    b.wb->Ep3.UsbFlush();
    EXPECT_EQ(b.Chip()[0], 0x11);
    EXPECT_EQ(b.Chip()[1], 0xFF);
    EXPECT_TRUE(Chip93(b).WriteEnabled()) << "EWDS arrived while busy too";
}

TEST(MicrowireChipModel, EraseAllNeedsFourAndAHalfVolts) {
    SimBench b("93C46");
    DenseImage(b, 128, 4);
    std::copy(b.Image(), b.Image() + 128, Chip93(b).MutableContents().begin());
    AlgoForm& f = b.Open("P93 1");
    f.Choose("RadioGroup1", 1);  // 3.3V: the part reads and writes there, ERAL does nothing
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No empty.");
    EXPECT_TRUE(b.ChipMatchesImage(0, 128));

    f.Choose("RadioGroup1", 0);
    f.Click("Erase");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank");
    EXPECT_TRUE(b.ChipBlank(0, 128));
}

TEST(MicrowireChipModel, EveryCommandIsThreePlusAddressBitsClocks) {
    for (auto [params, bits] : {std::pair{"P93 1", 7}, std::pair{"P93 8", 11}}) {
        SimBench b(bits == 7 ? "93C46" : "93C86");
        b.Open(params);
        AlgoForm& f = b.Open(params);
        b.tap->commands.clear();
        f.Click("Erase");
        // CS (17) high .. low brackets each command; count SK (18) rises inside.
        std::vector<int> clocks;
        int n = -1;
        for (const auto& c : b.tap->commands) {
            if (c[0] == proto::OpPinHigh && c[1] == 17) n = 0;
            else if (c[0] == proto::OpPinLow && c[1] == 17 && n >= 0) clocks.push_back(n), n = -1;
            else if (c[0] == proto::OpPinHigh && c[1] == 18 && n >= 0) ++n;
        }
        // ... the presence READ, then EWEN, ERAL, EWDS.
        ASSERT_GE(clocks.size(), 3u) << params;
        for (std::size_t k = clocks.size() - 3; k < clocks.size(); ++k) EXPECT_EQ(clocks[k], 3 + bits) << params;
        EXPECT_TRUE(b.ChipBlank(0, static_cast<int>(b.Chip().size())));
    }
}

// ---- speeds ----------------------------------------------------------------------------------

TEST(MicrowireSpeed, OneMillisecondPerWordFailsOnASlowChipAndFivePass) {
    SimBench b("93C46");
    Chip93(b).SetSlowFactor(3);  // a 3 ms write cycle
    DenseImage(b, 128, 5);
    AlgoForm& f = b.Open("P93 1");
    f.Choose("Speed", 0);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "Done");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(f.Text("Edit6"), "0001");  // word 1 came while word 0 was written

    f.Choose("Speed", 2);
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Verified!");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    EXPECT_TRUE(b.ChipMatchesImage(0, 128));
}

TEST(MicrowireSpeed, FiftyMillisecondsQueuesFiftyWaitsPerWord) {
    SimBench b("93C46");
    AlgoForm& f = b.Open("P93 4");  // 64 words
    f.Choose("Speed", 5);
    b.tap->commands.clear();
    f.Click("Write");
    // One more wait belongs to the over-current check.
    EXPECT_EQ(b.tap->Count(proto::OpWait1ms), 64u * 50u + 1u);
}

// ---- batch -------------------------------------------------------------------------------------

TEST(MicrowireBatch, EraseBlankWriteVerifyCountsOnce) {
    SimBench b("93C56");
    DenseImage(b, 256, 6);
    std::fill(Chip93(b).MutableContents().begin(), Chip93(b).MutableContents().end(), 0x00);
    AlgoForm& f = b.Open("P93 2");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(b.ChipMatchesImage(0, 256));
}

TEST(MicrowireBatch, NotBlankEndsThePassUncounted) {
    SimBench b("93C56");
    DenseImage(b, 256, 6);
    Chip93(b).MutableContents()[40] = 0x00;
    AlgoForm& f = b.Open("P93 2");
    f.SetChecked("CheckBox1", false);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "No empty.");
    EXPECT_EQ(f.PassesCounted(), 0);
    EXPECT_EQ(Chip93(b).Cycles(), 0) << "nothing written after the failed blank check";
    // A lone blank check leaves ErrorFlag alone.
    b.wb->ErrorFlag() = 0;
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No empty.");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
}

TEST(MicrowireBatch, WithoutAHexWindowNothingIsWrittenOrCounted) {
    for (const char* params : {"P93 1", "P93X16 1", "P93C310 1"}) {
        SimBench b("93C46", std::string(params).find("310") != std::string::npos ? "vex310" : "vex520");
        AlgoForm& f = b.Open(params);
        b.wb->FileWin.reset();
        f.Click("Button1");
        EXPECT_EQ(f.PassesCounted(), 0) << params;
        EXPECT_EQ(b.prompts.Last(), "Must open a file to write...") << params;
        EXPECT_TRUE(b.ChipBlank(0, 128)) << params;
    }
}

// ---- setup -------------------------------------------------------------------------------------

TEST(MicrowireSetup, AppliesTheVoltageItemShown) {
    SimBench b("93C46");
    AlgoForm& f = b.Open("P93 1");
    f.Get("RadioGroup1").ItemIndex = 1;  // "3.3V" shown, not clicked
    b.sim->Log().Clear();
    b.Open("P93 1");
    const auto levels = b.sim->Log().OfKind(EventKind::VccLevel);
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.back().value, 33);
    for (const auto& e : levels) EXPECT_NE(e.value, 50);
}

TEST(MicrowireSetup, RowOneGroundsVss) {
    SimBench b("93C46");
    b.RandomImage(128, 2);
    AlgoForm& f = b.Open("P93 1");
    b.sim->Log().Clear();
    f.Click("Write");
    bool grounded21 = false, grounded22 = false;
    for (const auto& e : b.sim->Log().OfKind(EventKind::GndRoute)) {
        grounded21 |= e.pin == 21;
        grounded22 |= e.pin == 22;
    }
    EXPECT_TRUE(grounded21);
    EXPECT_FALSE(grounded22);
    EXPECT_TRUE(b.ChipMatchesImage(0, 128));
}

TEST(MicrowireSetup, TheVex310FormsPowerTheChipFromVccAtFiveVolts) {
    for (const char* params : {"P93C310 1", "P93C310X16 1"}) {
        SimBench b("93C46", "vex310");
        b.RandomImage(128, 2);
        AlgoForm& f = b.Open(params);
        const auto levels = b.sim->Log().OfKind(EventKind::VccLevel);
        ASSERT_FALSE(levels.empty()) << params;
        EXPECT_EQ(levels.back().value, 50) << params;
        b.sim->Log().Clear();
        f.Click("Write");
        for (const auto& e : b.sim->Log().OfKind(EventKind::VppRoute)) EXPECT_EQ(e.pin, 0) << params;
        bool vcc26 = false;
        for (const auto& e : b.sim->Log().OfKind(EventKind::VccRoute)) vcc26 |= e.pin == 26;
        EXPECT_TRUE(vcc26) << params;
        EXPECT_TRUE(b.ChipMatchesImage(0, 128)) << params;
    }
}

class MicrowireBadLine : public ::testing::TestWithParam<const char*> {};

TEST_P(MicrowireBadLine, RefusesWithOneMessageAndNoSupply) {
    const std::string params = GetParam();
    SimBench b("93C46", params.find("310") != std::string::npos ? "vex310" : "vex520");
    b.sim->Log().Clear();
    AlgoForm& f = b.Open(params);
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_NE(b.prompts.Last().find("variant"), std::string::npos) << b.prompts.Last();
    EXPECT_EQ(f.Text("Msg"), b.prompts.Last());
    f.Click("Write");
    f.Click("Read1");
    EXPECT_TRUE(b.sim->Log().OfKind(EventKind::VccRoute).empty());
    EXPECT_TRUE(b.sim->Log().OfKind(EventKind::VccLevel).empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, MicrowireBadLine,
                         ::testing::Values("P93 0", "P93 10", "P93X16 6", "P93C310 0", "P93C310X16 6"),
                         CaseName([](const char* p) { return std::string(p); }));

// ---- an empty socket never passes ---------------------------------------------------------------

TEST(MicrowireEmptySocket, NoChipAnswersSoNothingPasses) {
    for (auto [params, model] : {std::pair{"P93 1", "vex520"}, std::pair{"P93X16 1", "vex520"},
                                 std::pair{"P93C310 1", "vex310"}, std::pair{"P93C310X16 1", "vex310"}}) {
        SimBench b("", model);
        std::fill(b.Image(), b.Image() + 128, 0xFF);
        AlgoForm& f = b.Open(params);
        for (const char* op : {"Verify", "Blank", "Write", "Button1"}) {
            f.Click(op);
            EXPECT_EQ(f.Text("Msg"), SerialForm::NoChipText) << params << " " << op;
        }
        EXPECT_EQ(f.PassesCounted(), 0) << params;
        EXPECT_EQ(b.wb->ErrorFlag(), 1) << params;
    }
}

// ---- vex310 word form ---------------------------------------------------------------------------

TEST(MicrowireVex310, WordFormFailsOnAChangedWordElseOk) {
    SimBench b("93C66", "vex310");
    b.RandomImage(512, 12);
    AlgoForm& f = b.Open("P93C310X16 3");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!");
    Chip93(b).SetWord(100, static_cast<std::uint16_t>(Chip93(b).Word(100) ^ 0x0100));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed!!!!");
    EXPECT_EQ(f.Text("Edit6"), "00c8");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

}  // namespace
}  // namespace quilla::test
