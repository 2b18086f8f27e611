// The JEDEC-command byte-program flash forms end to end on the simulated
// programmer with the JEDEC flash model in the 32-pin socket position.
#include <algorithm>
#include <string>

#include "algo/common/scan.h"
#include "engine/protocol.h"
#include "sim/chips/jedec.h"
#include "sim/programmer.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

sim::JedecFlash& Flash(SimBench& b) { return b.ChipAs<sim::JedecFlash>(); }

void Fill(SimBench& b, std::uint8_t v) {
    auto cells = Flash(b).MutableContents();
    std::fill(cells.begin(), cells.end(), v);
}

struct BatchCase {
    const char* part;
    const char* params;
};
class BatchOnAProgrammedChip : public ::testing::TestWithParam<BatchCase> {};

TEST_P(BatchOnAProgrammedChip, ErasesChecksWritesAndVerifies) {
    const BatchCase c = GetParam();
    SimBench b(c.part);
    Fill(b, 0x5A);
    b.RandomImage(0x1000, 3);
    AlgoForm& f = b.Open(c.params);
    ASSERT_EQ(f.Text("Message"), "OK ");
    f.Enter("Edit3", "fff");
    if (f.Has("CheckBox2")) f.SetChecked("CheckBox2", true);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
    EXPECT_TRUE(b.ChipBlank(0x1000, 0x80000 - 0x1000));
}

INSTANTIATE_TEST_SUITE_P(Parts, BatchOnAProgrammedChip,
                         ::testing::Values(BatchCase{"AM29F040", "P29F 5"}, BatchCase{"AT49F040", "AT49F 3"},
                                           BatchCase{"MX29F040", "MX29F 3"}, BatchCase{"SST39SF040", "SST29XF 5"}),
                         CaseName([](const BatchCase& c) { return std::string(c.part); }));

// Whether a form's Unlock unprotects the part, by the part's sheet. The Am29F
// sheets leave their high-voltage method to a supplement that is not public:
// no sequence changes an Am29F040 (upr=1 of P29F and AMD29f040 puts 12 V on
// WE, above its 6 V rating: not a method for that part). The MX29F040
// unprotects every sector with 12 V on A9 and OE#, CE# low, A6 high and WE#
// low for 12 ms in all: the MX29F form's Unlock gives one 10 ms pulse, so the
// second Unlock completes it.
struct UnlockCase {
    const char* part;
    const char* params;
    int presses;
    bool unprotects;
};
class ProtectedSector : public ::testing::TestWithParam<UnlockCase> {};

TEST_P(ProtectedSector, EraseSaysOkTheBlankStepFailsAndUnlockFollowsTheDatasheet) {
    const UnlockCase c = GetParam();
    SimBench b(c.part);
    Fill(b, 0x00);
    Flash(b).SetProtected(0, true);
    b.RandomImage(0x400, 4);
    AlgoForm& f = b.Open(c.params);
    f.Enter("Edit3", "3ff");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_EQ(b.Chip()[0], 0x00);
    EXPECT_EQ(b.Chip()[0x7FFFF], 0xFF);  // the other sectors are erased
    f.SetChecked("CheckBox2", true);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), NotBlankText(0, 0x00));
    EXPECT_EQ(b.wb->Counter, "0");
    for (int i = 0; i < c.presses; ++i) f.Click("UnProtectChip");
    EXPECT_EQ(Flash(b).Protected(0), !c.unprotects);
    f.Click("Erase");
    EXPECT_EQ(b.Chip()[0], c.unprotects ? 0xFF : 0x00);
}

INSTANTIATE_TEST_SUITE_P(Parts, ProtectedSector,
                         ::testing::Values(UnlockCase{"AM29F040", "P29F 5", 1, false},
                                           UnlockCase{"AM29F040", "AMD29f040 5", 1, false},
                                           UnlockCase{"AM29F040", "AMD29f040 5 upr=2", 1, false},
                                           UnlockCase{"MX29F040", "MX29F 3", 1, false},
                                           UnlockCase{"MX29F040", "MX29F 3", 2, true}),
                         CaseName([](const UnlockCase& c) {
                             return std::string(c.params) + " x" + std::to_string(c.presses);
                         }));

// AMD29f040's Lock with upr=1 meets the MX29F040's sector-protect levels (12 V
// on A9 and OE#, CE# low, A6 low, sector 0 addressed) but its WE# pulse is one
// command long, short of the 10 us the sheet asks: nothing is protected.
TEST(Amd29f040, LockPulseIsTooShortToProtectAnMx29f040Sector) {
    SimBench b("MX29F040");
    AlgoForm& f = b.Open("AMD29f040 5 upr=1");
    f.Click("Button2");
    EXPECT_FALSE(Flash(b).Protected(0));
}

// The MX29F040's own method driven pin by pin: 12 V on A9 and OE#, CE# low,
// WE# low. With A6 low the sector at A16-A18 is protected once the levels have
// held 10 us in all (one command's 1 us is not enough); with A6 high every
// sector is unprotected once they have held 12 ms in all.
TEST(Mx29f040, SectorProtectAndChipUnprotectFollowTheSheetsLevelsAndWidths) {
    SimBench b("MX29F040");
    b.Open("MX29F 3");
    TEp3& e = b.wb->Ep3;
    auto pulse = [&e](int wait) {
        e.PinLow(35);
        if (wait) e.UsbPut1(static_cast<std::uint8_t>(wait));
        e.PinHigh(35);
        e.UsbFlush();
    };
    e.SetAllPins(0);  // address 0, CE# and OE# low
    e.PinHigh(35);
    e.PinHigh(6);  // A16 (chip pin 2): the sector at 10000h
    e.SetVpp(12000);
    e.VccPin(36);
    e.VppPin(30);
    e.VppPin(28);
    pulse(0);
    EXPECT_FALSE(Flash(b).Protected(1));
    pulse(proto::OpWaitPulse);
    EXPECT_TRUE(Flash(b).Protected(1));
    EXPECT_FALSE(Flash(b).Protected(0));
    e.PinHigh(10);  // A6
    pulse(proto::OpWaitSettle);
    EXPECT_TRUE(Flash(b).Protected(1));
    pulse(proto::OpWait1ms);
    pulse(proto::OpWait1ms);
    EXPECT_FALSE(Flash(b).Protected(1));
    e.VppPin(0);
    e.VccPin(0);
    e.SetVpp(0);
}

// V29C51004T/B: the 16 KB boot block (the top of the T part, the bottom of the
// B part) locks with 12 V on A9 and OE# while CE# and WE# are low (the batch's
// last step with "Lock" ticked) and unlocks with 12 V on A9, OE# and CE# while
// WE# is low.
struct BootCase {
    const char* part;
    std::uint32_t boot;
};
class V29c51004BootBlock : public ::testing::TestWithParam<BootCase> {};

TEST_P(V29c51004BootBlock, TheBatchLocksItAndUnlockOpensItAgain) {
    const BootCase c = GetParam();
    SimBench b(c.part);
    Fill(b, 0x5A);
    b.RandomImage(0x80000, 11);
    AlgoForm& f = b.Open("V29C51004 5");
    f.Enter("Edit1", HexPlain(c.boot));
    f.Enter("Edit2", HexPlain(c.boot));
    f.Enter("Edit3", "fff");
    f.SetChecked("CheckBox6", true);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");  // the Lock runs before it
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(c.boot, 0x1000));
    const int boot = Flash(b).SectorOf(c.boot);
    EXPECT_TRUE(Flash(b).Protected(boot));
    EXPECT_FALSE(Flash(b).Protected(boot == 0 ? Flash(b).SectorCount() - 1 : 0));

    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(c.boot, 0x1000));  // locked
    f.Click("UnProtectChip");
    EXPECT_EQ(f.Text("Message"), "End");
    EXPECT_FALSE(Flash(b).Protected(boot));
    f.Click("Erase");
    EXPECT_TRUE(b.ChipBlank(0, 0x80000));
}

INSTANTIATE_TEST_SUITE_P(Parts, V29c51004BootBlock,
                         ::testing::Values(BootCase{"V29C51004T", 0x7C000}, BootCase{"V29C51004B", 0}),
                         CaseName([](const BootCase& c) { return std::string(c.part); }));

TEST(Amd29f040, IdShowsTheDatasheetCodesInTheStatusNotInEdit4) {
    SimBench b("AM29F040");
    AlgoForm& f = b.Open("AMD29f040 5");
    f.Click("MFG");
    EXPECT_EQ(f.Text("Message"), "MFG:01, Device:a4, Protect:00");
    EXPECT_EQ(f.Text("Edit4"), "");
}

TEST(Sst29xf, ThreeVoltPartProgramsAtItsRowsLevel) {
    SimBench b("SST39VF040");
    b.RandomImage(0x400, 5);
    AlgoForm& f = b.Open("SST29XF 9");
    f.Enter("Edit3", "3ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
}

TEST(Sst29xf, ThreeVoltPartOnAFiveVoltRowTakesNothing) {
    SimBench b("SST39VF040");
    b.ExpectDamage();  // 5 V is above its VDD rating
    b.ExpectViolation("above its absolute maximum rating");
    b.RandomImage(0x400, 5);
    AlgoForm& f = b.Open("SST29XF 5");
    f.Enter("Edit3", "3ff");
    f.Click("Button1");
    EXPECT_NE(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_TRUE(b.ChipBlank(0, 0x80000));
}

TEST(Sst29xf, OffsetsStartOnTheBlockBelow) {
    SimBench b("SST39SF010A");
    b.RandomImage(0x800, 6);
    AlgoForm& f = b.Open("SST29XF 3");
    f.Enter("Edit1", "180");
    f.Enter("Edit2", "180");
    f.Enter("Edit3", "ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipBlank(0, 0x100));
    EXPECT_TRUE(b.ChipMatchesImage(0x100, 0x180));
    EXPECT_TRUE(b.ChipBlank(0x500, 0x20000 - 0x500));
}

// The speed choice sets the tail after each byte: "慢" (seven fillers) covers a
// chip that "快" (three) does not.
struct TailCase {
    int speed;
    bool passes;
};
class SpeedTail : public ::testing::TestWithParam<TailCase> {};

TEST_P(SpeedTail, TheTailMustCoverTheProgramTime) {
    const TailCase c = GetParam();
    SimBench b("SST39SF010A");
    Flash(b).SetSlowFactor(3.0);  // 42 us a byte
    b.RandomImage(0x400, 7);
    std::fill(b.Image(), b.Image() + 0x400, 0x33);
    AlgoForm& f = b.Open("SST29XF 3");
    f.Enter("Edit3", "3ff");
    f.Choose("RadioGroup1", c.speed);
    f.Click("Write");
    if (c.passes) {
        EXPECT_EQ(f.Text("Message"), "OK!");
        EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
    } else {
        EXPECT_EQ(f.Text("Message"), MismatchText(1, 0x33, 0xFF));
    }
}

INSTANTIATE_TEST_SUITE_P(Speeds, SpeedTail, ::testing::Values(TailCase{0, false}, TailCase{2, true}),
                         CaseName([](const TailCase& c) { return "speed " + std::to_string(c.speed); }));

TEST(P29f, APartSlowerThanTheTailDropsBytesAndVerifyReportsTheFirst) {
    SimBench b("AM29F040");
    Flash(b).SetSlowFactor(6.0);  // 42 us: longer than the three fillers after a byte
    std::fill(b.Image(), b.Image() + 0x400, 0x44);
    AlgoForm& f = b.Open("P29F 5");
    f.Enter("Edit3", "3ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");  // no read-back in this form
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), MismatchText(1, 0x44, 0xFF));
}

TEST(P29f, WriteFromTheLastBlockStaysInsideTheChip) {
    SimBench b("AM29F040");
    Fill(b, 0xFF);
    auto cells = Flash(b).MutableContents();
    std::fill(cells.begin(), cells.begin() + 0x300, 0x12);
    b.RandomImage(0x80000, 8);
    AlgoForm& f = b.Open("P29F 5");
    f.Enter("Edit1", "7ff00");
    f.Enter("Edit2", "7ff00");
    f.Enter("Edit3", "ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0x7FF00, 0x100));
    EXPECT_TRUE(std::all_of(b.Chip().begin(), b.Chip().begin() + 0x300, [](std::uint8_t v) { return v == 0x12; }));
    EXPECT_TRUE(b.ChipBlank(0x300, 0x7FF00 - 0x300));
}

TEST(Mx29f, EraseCountsItsWaitsAndTheBatchRunsOnceInMassProduction) {
    SimBench b("MX29F040");
    b.wb->options.MassProduction = true;
    b.RandomImage(0x400, 9);
    AlgoForm& f = b.Open("MX29F 3");
    f.Enter("Edit3", "3ff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
}

TEST(At49f, SetupSendsNoVppLevelItCannotCarry) {
    SimBench b("AT49F040");
    AlgoForm& f = b.Open("AT49F 3");
    EXPECT_EQ(f.Caption(), "AT49f040/004");
    EXPECT_EQ(f.Text("Message"), "OK ");
    EXPECT_THROW(b.wb->Ep3.SetVpp(50000), std::out_of_range);
}

// The design's address step ripples a carry out of A17 onto socket 35 (WE of
// these parts) before A18. A Device offset off a 1 KiB boundary puts a Verify
// block across 0x40000 on a 512 KiB part: the block is read in two at the
// boundary, so a good chip verifies and a bad byte past it is named.
struct BoundaryCase {
    const char* part;
    const char* params;
    const char* verified;  // the form's Verify success text
};
class AcrossTheA18Boundary : public ::testing::TestWithParam<BoundaryCase> {};

TEST_P(AcrossTheA18Boundary, WriteVerifyAndReadAgreeWithTheChip) {
    const BoundaryCase c = GetParam();
    SimBench b(c.part);
    b.RandomImage(0x80000, 21);
    // The chip holds the image but for the blocks the Write covers (from the
    // 256-byte boundary below the Device offset): Verify compares whole blocks.
    auto cells = Flash(b).MutableContents();
    std::copy_n(b.wb->ImageBuffer.begin(), 0x80000, cells.begin());
    std::fill_n(cells.begin() + 0x3FF00, 0x400, 0xFF);
    AlgoForm& f = b.Open(c.params);
    f.Enter("Edit1", "3ff80");
    f.Enter("Edit2", "3ff80");
    f.Enter("Edit3", "100");
    f.Click("Write");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x80000));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), c.verified);
    cells[0x40010] ^= 0x01;  // a byte past the boundary
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message").substr(0, 7), "040010:");
    std::fill(b.wb->ImageBuffer.begin(), b.wb->ImageBuffer.end(), 0x00);
    f.Enter("Edit3", "7ffff");
    f.Click("ReadButton");
    EXPECT_TRUE(std::equal(cells.begin(), cells.end(), b.wb->ImageBuffer.begin()));
}

INSTANTIATE_TEST_SUITE_P(Parts, AcrossTheA18Boundary,
                         ::testing::Values(BoundaryCase{"AM29F040", "P29F 5", "OK.."},
                                           BoundaryCase{"AM29F040", "AMD29f040 5", "OK.."},
                                           BoundaryCase{"AT49F040", "AT49F 3", "Data OK!"},
                                           BoundaryCase{"MX29F040", "MX29F 3", "OK.."},
                                           BoundaryCase{"V29C51004T", "V29C51004 5", "Data OK!"},
                                           BoundaryCase{"SST39SF040", "SST29XF 5", "Data OK!"}),
                         CaseName([](const BoundaryCase& c) { return std::string(c.params); }));

// An Unlock or Lock method the form does not have (an upr= value it does not
// handle, or no upr= where the form has no default) sends nothing and says so:
// no success text for a chip left as it was.
struct NoMethodCase {
    const char* params;
    const char* button;
    const char* message;
};
class NoSuchMethod : public ::testing::TestWithParam<NoMethodCase> {};

TEST_P(NoSuchMethod, IsRefusedWithNothingSent) {
    const NoMethodCase c = GetParam();
    SimBench b("MX29F040");
    AlgoForm& f = b.Open(c.params);
    Flash(b).SetProtected(0, true);
    b.tap->commands.clear();
    f.Click(c.button);
    EXPECT_EQ(f.Text("Message"), c.message);
    EXPECT_TRUE(b.tap->commands.empty());
    EXPECT_TRUE(Flash(b).Protected(0));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NoSuchMethod,
    ::testing::Values(NoMethodCase{"P29F 3 upr=2", "UnProtectChip", "Unlock: no method for upr=2"},
                      NoMethodCase{"P29F 3 upr=9", "UnProtectChip", "Unlock: no method for upr=9"},
                      NoMethodCase{"AMD29f040 3", "UnProtectChip", "Unlock: no method for upr=0"},
                      NoMethodCase{"AMD29f040 3 upr=3", "UnProtectChip", "Unlock: no method for upr=3"},
                      NoMethodCase{"AMD29f040 3", "Button2", "Lock: no method for upr=0"},
                      NoMethodCase{"AMD29f040 3 upr=2", "Button2", "Lock: no method for upr=2"}),
    CaseName([](const NoMethodCase& c) { return std::string(c.params) + " " + c.button; }));

// Erase unlocks first by the line's method; a line without one still erases.
TEST(Amd29f040, EraseWithoutAnUnlockMethodStillErases) {
    SimBench b("AM29F040");
    Fill(b, 0x00);
    AlgoForm& f = b.Open("AMD29f040 5 upr=7");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_TRUE(b.ChipBlank(0, 0x80000));
}

// Write starts on the 256-byte boundary below the Device offset and still
// programs up to Device offset + Length: 0x80 + 0x3C0 needs a second block.
struct RangeCase {
    const char* part;
    const char* params;
    const char* verified;
};
class WriteFromAnOffsetOffTheBlock : public ::testing::TestWithParam<RangeCase> {};

TEST_P(WriteFromAnOffsetOffTheBlock, ProgramsTheWholeRange) {
    const RangeCase c = GetParam();
    SimBench b(c.part);
    b.RandomImage(0x1000, 5);
    AlgoForm& f = b.Open(c.params);
    f.Enter("Edit1", "80");
    f.Enter("Edit2", "80");
    f.Enter("Edit3", "3c0");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0x80, 0x3C0));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), c.verified);
}

INSTANTIATE_TEST_SUITE_P(Parts, WriteFromAnOffsetOffTheBlock,
                         ::testing::Values(RangeCase{"AM29F040", "P29F 5", "OK.."},
                                           RangeCase{"SST39SF040", "SST29XF 5", "Data OK!"}),
                         CaseName([](const RangeCase& c) { return std::string(c.params); }));

}  // namespace
}  // namespace quilla::test
