// The Intel-command parallel flash forms end to end on the simulated
// programmer: TPi28fxxx with the 28F010 (erase pulses and their verify, the
// byte program, the read-back), TPi28f001x with the 28F001BX (block erases,
// the boot block under 12 V on OE, status polling) and TSst28vf040 with the
// SST28SF040A (the seven unprotect reads, chip and sector erase, mass
// production).
#include <algorithm>

#include "algo/memory/pi28f.h"
#include "sim/chips/flash28.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

sim::Flash28& Model(SimBench& b) { return b.ChipAs<sim::Flash28>(); }

void FillChip(SimBench& b, std::uint8_t v) {
    auto cells = b.sim->GetChip()->MutableContents();
    std::fill(cells.begin(), cells.end(), v);
}

// Commands of a kind the host sent since the tap was last cleared.
std::size_t SysCount(SimBench& b, std::uint8_t sub, std::uint8_t v) {
    std::size_t n = 0;
    for (const auto& c : b.tap->commands)
        if (c.size() >= 3 && c[0] == proto::OpSystem && c[1] == sub && c[2] == v) ++n;
    return n;
}

// ---- TPi28fxxx ----------------------------------------------------------------------------------

TEST(Pi28fxxx, BatchOnAProgrammedChipErasesWritesAndVerifies) {
    SimBench b("28F010");
    FillChip(b, 0x00);
    b.RandomImage(0x800, 3);
    AlgoForm& f = b.Open("PI28F 4");
    EXPECT_EQ(f.Caption(), "0 to 1ffff");
    f.Enter("Edit3", "7ff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    EXPECT_TRUE(b.ChipBlank(0x800, 0x20000 - 0x800));
}

struct EraseCase {
    const char* name;
    int pulsesNeeded;
    int pulsesGiven;
    const char* text;
};

class Pi28Erase : public ::testing::TestWithParam<EraseCase> {};

TEST_P(Pi28Erase, PulsesUntilAddressZeroReadsErased) {
    const EraseCase c = GetParam();
    SimBench b("28F010");
    FillChip(b, 0x00);
    Model(b).SetErasePulsesNeeded(c.pulsesNeeded);
    AlgoForm& f = b.Open("PI28F 4");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), c.text);
    EXPECT_EQ(Model(b).ErasePulsesGiven(), c.pulsesGiven);
    EXPECT_EQ(b.ChipBlank(0, 0x20000), std::string(c.text) == "OK");
}

INSTANTIATE_TEST_SUITE_P(Pulses, Pi28Erase,
                         ::testing::Values(EraseCase{"ErasedByPulse20", 21, 21, "OK"},
                                           EraseCase{"ErasedEarlierStillGets21", 3, 21, "OK"},
                                           EraseCase{"ErasedByPulse100", 101, 101, "OK"},
                                           EraseCase{"NeverErased", 1000, 101, "Bad!!!"}),
                         CaseName([](const EraseCase& c) { return std::string(c.name); }));

TEST(Pi28fxxx, BadEraseEndsTheBatch) {
    SimBench b("28F010");
    FillChip(b, 0x00);
    Model(b).SetErasePulsesNeeded(1000);
    b.RandomImage(0x400, 4);
    AlgoForm& f = b.Open("PI28F 4");
    f.Enter("Edit3", "3ff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "Bad!!!");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(b.Chip()[0], 0x00);  // no write followed
}

TEST(Pi28fxxx, DeviceOffset100ProgramsFromThereAndReadsNothingBack) {
    SimBench b("28F010");
    b.RandomImage(0x900, 5);
    AlgoForm& f = b.Open("PI28F 4");
    f.Enter("Edit1", "100");
    f.Enter("Edit2", "100");
    f.Enter("Edit3", "800");
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(b.tap->Count(proto::OpRead1K), 0u);  // 0x100 and 0x500 are no 1 KiB boundaries
    EXPECT_TRUE(b.ChipBlank(0, 0x100));
    EXPECT_TRUE(b.ChipMatchesImage(0x100, 0x800));
    EXPECT_TRUE(b.ChipBlank(0x900, 0x100));
}

TEST(Pi28fxxx, ASlowChipFailsTheReadBack) {
    SimBench b("28F010");
    b.sim->GetChip()->SetSlowFactor(3.0);  // 6 us to program: the next 40h comes sooner
    b.RandomImage(0x400, 6);
    b.Image()[0] = 0x12;
    AlgoForm& f = b.Open("PI28F 4");
    f.Enter("Edit3", "3ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "000000:Error.(File=12,chip=ff)");
}

TEST(Pi28fxxx, NoVppNoChange) {
    // The SST form drives a 28F010 without VPP: its commands reach no command
    // register, and the first read-back sees the blank byte.
    SimBench b("28F010");
    FillChip(b, 0x00);
    auto cells = b.sim->GetChip()->MutableContents();
    cells[0] = 0xFF;
    const std::vector<std::uint8_t> before(cells.begin(), cells.end());
    b.RandomImage(0x400, 7);
    b.Image()[0] = 0x3C;
    AlgoForm& f = b.Open("SST28VF040 4");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    f.Enter("Edit3", "3ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "000000:Error.(File=3c,chip=ff)");
    EXPECT_TRUE(std::equal(before.begin(), before.end(), b.Chip().begin()));
}

struct EmptyCase {
    const char* name;
    const char* part;
    const char* params;
    const char* button;
    const char* success;
};

class EmptySocket : public ::testing::TestWithParam<EmptyCase> {};

// An empty socket reads 0xFF everywhere: no operation may pass on it.
TEST_P(EmptySocket, NeverPasses) {
    const EmptyCase c = GetParam();
    SimBench b(c.part);
    b.sim->SetChipPresent(false);
    AlgoForm& f = b.Open(c.params);
    f.Enter("Edit3", "3ff");
    f.Click(c.button);
    EXPECT_NE(f.Text("Message"), c.success);
    EXPECT_EQ(b.wb->Counter, "0");
}

INSTANTIATE_TEST_SUITE_P(
    Forms, EmptySocket,
    ::testing::Values(EmptyCase{"Pi28fErase", "28F010", "PI28F 4", "Erase", "OK"},
                      EmptyCase{"Pi28fBlank", "28F010", "PI28F 4", "Blank", "Blank."},
                      EmptyCase{"Pi28fBatch", "28F010", "PI28F 4", "Button1", "End OK.."},
                      EmptyCase{"Pi28f001Blank", "28F001BX-T", "PI28F001 1", "Blank", "Blank."},
                      EmptyCase{"Sst28Blank", "SST28SF040A", "SST28VF040 6", "Blank", "Blank."}),
    CaseName([](const EmptyCase& c) { return std::string(c.name); }));

// ---- TPi28f001x --------------------------------------------------------------------------------

TEST(Pi28f001x, EraseOfTheTopBootPartWorksEachBlockFromAResetSocket) {
    SimBench b("28F001BX-T");
    FillChip(b, 0x00);
    AlgoForm& f = b.Open("PI28F001 1");
    b.tap->commands.clear();
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "End.");
    EXPECT_EQ(Model(b).ErasesStarted(), (std::vector<std::uint32_t>{0x0, 0x1C000, 0x1D000, 0x1E000}));
    EXPECT_TRUE(b.ChipBlank(0, 0x20000));
    // Four socket resets (every pin low, then high) and 12 V on OE once: for
    // the boot block.
    std::size_t resets = 0;
    for (const auto& c : b.tap->commands) resets += c.size() >= 2 && c[0] == proto::OpPinLow && c[1] == 1;
    EXPECT_EQ(resets, 4u);
    EXPECT_EQ(SysCount(b, proto::SysVppPin, 28), 1u);
}

TEST(Pi28f001x, BootBlockStaysWithoutTwelveVoltsOnOe) {
    // The top-boot row on a bottom-boot part: its first block erase meets the
    // locked boot block; the status stays A0h through 21 reads.
    SimBench b("28F001BX-B");
    FillChip(b, 0x00);
    AlgoForm& f = b.Open("PI28F001 1");
    b.tap->commands.clear();
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "000000:Erase error=a0");
    EXPECT_EQ(b.tap->Count(proto::OpCaptureData), 21u);
    EXPECT_EQ(b.Chip()[0], 0x00);
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(Pi28f001x, AFailedBlockEraseEndsTheBatch) {
    SimBench b("28F001BX-B");
    FillChip(b, 0x00);
    b.RandomImage(0x400, 13);
    AlgoForm& f = b.Open("PI28F001 1");
    f.Enter("Edit3", "3ff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "000000:Erase error=a0");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(b.Chip()[0x4000], 0x00);  // no block after the failed one was erased
}

TEST(Pi28f001x, WriteKeepsTheOffsetsAsEntered) {
    SimBench b("28F001BX-T");
    b.RandomImage(0x200, 8);
    AlgoForm& f = b.Open("PI28F001 1");
    f.Enter("Edit1", "10");
    f.Enter("Edit2", "20");
    f.Enter("Edit3", "100");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipBlank(0, 0x20));
    EXPECT_TRUE(std::equal(b.Image() + 0x10, b.Image() + 0x410, b.Chip().begin() + 0x20));
}

TEST(Pi28f001x, BatchWritesTheBootBlock) {
    SimBench b("28F001BX-T");
    FillChip(b, 0x00);
    b.RandomImage(0x20000, 9);
    AlgoForm& f = b.Open("PI28F001 1");
    f.Enter("Edit1", "1e000");
    f.Enter("Edit2", "1e000");
    f.Enter("Edit3", "800");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0x1E000, 0x800));
    EXPECT_TRUE(b.ChipBlank(0, 0x1E000));
}

// ---- TSst28vf040 -------------------------------------------------------------------------------

TEST(Sst28vf040, WritesAreIgnoredUntilTheSevenReads) {
    SimBench b("SST28SF040A");
    AlgoForm& af = b.Open("SST28VF040 6");
    auto& f = dynamic_cast<TSst28vf040&>(af);
    TEp3& ep3 = b.wb->Ep3;
    auto program = [&](std::uint8_t v) {
        ep3.SetPortMode(proto::PortModeReset);
        f.SetAddressParallel(0x10);
        ep3.PinLow(26);
        ep3.PinHigh(28);
        ep3.WriteLatch(2, 0x10);
        ep3.UsbPut1(proto::OpBusWrite);
        ep3.WriteLatch(2, v);
        ep3.UsbPut1(proto::OpBusWrite);
        ep3.UsbPut1(proto::OpWait1ms);
        ep3.UsbFlush();
    };
    ep3.GndPin(20);
    ep3.VccPin(36);
    program(0x5A);
    ep3.UsbReadReply();
    EXPECT_EQ(b.Chip()[0x10], 0xFF);
    f.SdpUnprotectReads();
    program(0x5A);
    ep3.UsbReadReply();
    EXPECT_EQ(b.Chip()[0x10], 0x5A);
    ep3.VccPin(0);
    ep3.UsbFlush();
}

TEST(Sst28vf040, SectorEraseStopsAtLengthChipEraseIgnoresIt) {
    SimBench b("SST28SF040A");
    FillChip(b, 0x00);
    AlgoForm& f = b.Open("SST28VF040 6");
    f.Enter("Edit3", "200");
    f.Choose("RadioGroup1", 1);
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_TRUE(b.ChipBlank(0, 0x200));
    EXPECT_EQ(b.Chip()[0x200], 0x00);
    f.Choose("RadioGroup1", 0);
    f.Click("Erase");
    EXPECT_TRUE(b.ChipBlank(0, 0x80000));
}

TEST(Sst28vf040, WriteProgramsWithItsOwnSetupCode) {
    SimBench b("SST28SF040A");
    b.RandomImage(0x900, 10);
    AlgoForm& f = b.Open("SST28VF040 6");
    f.Enter("Edit1", "100");
    f.Enter("Edit2", "100");
    f.Enter("Edit3", "800");
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(b.tap->Count(proto::OpRead1K), 0u);
    EXPECT_TRUE(b.ChipBlank(0, 0x100));
    EXPECT_TRUE(b.ChipMatchesImage(0x100, 0x800));
}

TEST(Sst28vf040, WriteAndVerifyAcrossTheA18BoundaryKeepWeHigh) {
    SimBench b("SST28SF040A");
    b.RandomImage(0x80000, 11);
    AlgoForm& f = b.Open("SST28VF040 6");
    f.Enter("Edit1", "3fd00");
    f.Enter("Edit2", "3fd00");
    f.Enter("Edit3", "600");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0x3FD00, 0x600));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");
    b.sim->GetChip()->MutableContents()[0x40100] ^= 0x01;  // a byte past the boundary
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message").substr(0, 7), "040100:");
}

TEST(Sst28vf040, MassProductionCountsEachChip) {
    SimBench b("SST28SF040A");
    b.sim->SetChipPresent(false);
    b.RandomImage(0x400, 12);
    b.wb->options.MassProduction = true;
    AlgoForm& f = b.Open("SST28VF040 6");
    f.Enter("Edit3", "3ff");
    auto programmed = [] {
        auto c = sim::ChipRegistry::Builtin().Create("SST28SF040A").chip;
        auto cells = c->MutableContents();
        std::fill(cells.begin(), cells.end(), 0x00);
        return c;
    };
    // Polls per chip: the wait finds it, Erase, Blank, Write and Verify test
    // contact, the wait's first look still sees it.
    b.sim->ScheduleInsertion(sim::When::AfterPolls(1), programmed());
    for (int chip = 2; chip <= 3; ++chip) {
        b.sim->ScheduleRemoval(sim::When::AfterPolls(6));
        b.sim->ScheduleInsertion(sim::When::AfterPolls(1), programmed());
    }
    b.sim->ScheduleRemoval(sim::When::AfterPolls(6));
    f.Click("Button1");
    EXPECT_EQ(b.wb->Counter, "3") << f.Text("Message") << " polls " << b.sim->ContactPolls();
}

}  // namespace
}  // namespace quilla::test
