// The RAM tester end to end on the simulated programmer: NV SRAM modules and
// plain SRAMs under the vex300 design, good and faulty.
#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "algo/common/scan.h"
#include "algo/tester/dsram.h"
#include "sim/chips/sram.h"
#include "support/device_lines.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::SramChip;

// Seats a chip of `part` with faults in place of the bench's chip.
void SeatFaulty(SimBench& b, const char* part, sim::SramFaults faults) {
    sim::SeatedPart s = sim::MakeSram(part, faults, 5);
    ASSERT_TRUE(s.chip) << part;
    b.sim->SeatChip(std::move(s.chip), s.placement);
}

sim::SramFaults StuckBit(std::int32_t address, int bit, bool high) {
    sim::SramFaults faults;
    faults.stuckAddress = address;
    faults.stuckBit = bit;
    faults.stuckHigh = high;
    return faults;
}

std::size_t Count(const SimBench& b, std::uint8_t op, int arg = -1) {
    std::size_t n = 0;
    for (const auto& c : b.tap->commands)
        if (c[0] == op && (arg < 0 || (c.size() > 1 && c[1] == arg))) ++n;
    return n;
}

bool VccRouted(const SimBench& b) { return !b.sim->GetSocket().VccPins().Empty(); }

TEST(DsRam, RunWritesADs1230yThatKeepsItsDataThroughPowerOff) {
    SimBench b("DS1230Y");
    b.RandomImage(0x8000, 1);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + 0x8000);
    AlgoForm& f = b.Open("DSRAM 4");
    ASSERT_EQ(f.Text("Message"), "OK ");
    EXPECT_EQ(f.Caption(), "0 to 7fff");
    EXPECT_EQ(f.Text("Edit3"), "7fff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));

    std::fill(b.Image(), b.Image() + 0x8000, 0x00);
    f.Click("ReadButton");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));

    f.Click("Verify");  // a pass before the power cycle
    EXPECT_EQ(f.Text("Message"), "OK");
    f.Close();
    EXPECT_FALSE(VccRouted(b));
    AlgoForm& g = b.Open("DSRAM 4");
    g.Click("Verify");
    EXPECT_EQ(g.Text("Message"), "OK");
}

struct ForgetCase {
    const char* name;
    const char* part;
    bool flatBattery;
};
class ForgetsWithoutPower : public ::testing::TestWithParam<ForgetCase> {};

TEST_P(ForgetsWithoutPower, VerifyAfterCloseAndReopenFails) {
    const ForgetCase c = GetParam();
    SimBench b("DS1230Y");
    sim::SramFaults faults;
    faults.flatBattery = c.flatBattery;
    SeatFaulty(b, c.part, faults);
    b.RandomImage(0x8000, 2);
    AlgoForm& f = b.Open("DSRAM 4");
    f.Click("Button1");
    ASSERT_EQ(f.Text("Message"), "End OK..");
    f.Close();
    AlgoForm& g = b.Open("DSRAM 4");
    g.Click("Verify");
    EXPECT_NE(g.Text("Message"), "OK");
    EXPECT_NE(g.Text("Message").find(":Error.(File="), std::string::npos) << g.Text("Message");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

INSTANTIATE_TEST_SUITE_P(Parts, ForgetsWithoutPower,
                         ::testing::Values(ForgetCase{"plain 32K SRAM", "HM62256", false},
                                           ForgetCase{"NVRAM with a flat battery", "DS1230Y", true}),
                         CaseName([](const ForgetCase& c) { return std::string(c.name); }));

struct FullCase {
    const char* part;
    const char* params;
    int size;
    bool pinPulsed;  // WE on socket 29
};
class FullChip : public ::testing::TestWithParam<FullCase> {};

TEST_P(FullChip, WriteVerifyAndReadKeepEveryByteWithoutAStrayPulse) {
    const FullCase c = GetParam();
    SimBench b(c.part);
    b.RandomImage(c.size, 3);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + c.size);
    AlgoForm& f = b.Open(c.params);
    b.tap->commands.clear();
    f.Click("Write");
    ASSERT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, c.size));
    // One write cycle per byte: no carry of the address counter pulsed a WE.
    EXPECT_EQ(b.ChipAs<SramChip>().Writes(), static_cast<std::uint64_t>(c.size));
    if (c.pinPulsed) {
        EXPECT_EQ(Count(b, proto::OpPinLow, 29), static_cast<std::size_t>(c.size));
        EXPECT_EQ(Count(b, proto::OpStrobe33), 0u);
    } else {
        EXPECT_EQ(Count(b, proto::OpStrobe33), static_cast<std::size_t>(c.size));
    }
    // No step after a block's last byte.
    EXPECT_EQ(Count(b, proto::OpAddrInc), static_cast<std::size_t>(c.size / 1024 * 1023));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK");
    std::fill(b.Image(), b.Image() + c.size, 0x5A);
    f.Click("ReadButton");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
    EXPECT_EQ(b.ChipAs<SramChip>().Writes(), static_cast<std::uint64_t>(c.size));
}

INSTANTIATE_TEST_SUITE_P(Rows, FullChip,
                         ::testing::Values(FullCase{"DS1220AB", "DSRAM 1", 0x800, true},
                                           FullCase{"DS1230Y", "DSRAM 4", 0x8000, false},
                                           FullCase{"DS1250Y", "DSRAM 8", 0x80000, false}),
                         CaseName([](const FullCase& c) { return std::string(c.part); }));

TEST(DsRam, TheDs1220abRowHoldsEveryPinAboveTheChipHigh) {
    SimBench b("DS1220AB");
    AlgoForm& f = b.Open("DSRAM 1");
    auto& form = dynamic_cast<TDsRAM&>(f);
    b.wb->Ep3.UsbFlush();
    b.tap->commands.clear();
    form.SetAddressRam(0x5A5);
    b.wb->Ep3.UsbFlush();
    std::vector<std::vector<std::uint8_t>> pins;
    for (const auto& c : b.tap->commands)
        if (c[0] == proto::OpPinHigh || c[0] == proto::OpPinLow) pins.emplace_back(c.begin(), c.end());
    // A8..A10 from the address (0x5A5: A8 1, A9 0, A10 1), the rest high, then 33.
    const std::vector<std::vector<std::uint8_t>> want{
        {proto::OpPinHigh, 31}, {proto::OpPinLow, 30}, {proto::OpPinHigh, 27}, {proto::OpPinHigh, 29},
        {proto::OpPinHigh, 8},  {proto::OpPinHigh, 32}, {proto::OpPinHigh, 7}, {proto::OpPinHigh, 35},
        {proto::OpPinHigh, 6},  {proto::OpPinHigh, 34}, {proto::OpPinHigh, 5}, {proto::OpPinHigh, 33}};
    EXPECT_EQ(pins, want);
    EXPECT_EQ(Count(b, proto::OpLatch0 + 1, 0xA5), 1u);  // 0xA5 bit-reversed is 0xA5
}

TEST(DsRam, AStuckBitFailsWriteAtItsAddressAndEndsTheRun) {
    SimBench b("DS1230Y");
    SeatFaulty(b, "DS1230Y", StuckBit(0x123, 2, true));
    b.RandomImage(0x8000, 4);
    b.Image()[0x123] = 0x11;
    AlgoForm& f = b.Open("DSRAM 4");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "000123:Error.(File=11,chip=15)");
    EXPECT_FALSE(VccRouted(b));
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "000123:Error.(File=11,chip=15)");
    EXPECT_EQ(b.wb->Counter, "0");
}

struct AliasCase {
    const char* name;
    const char* part;
    int openBit;
    int lastAlias;  // the last address written onto cell 0
};
class Aliasing : public ::testing::TestWithParam<AliasCase> {};

TEST_P(Aliasing, WritePassesBlockByBlockVerifyAndTheRandomTestFail) {
    const AliasCase c = GetParam();
    SimBench b("DS1230Y");
    sim::SramFaults faults;
    faults.openAddressBit = c.openBit;
    SeatFaulty(b, c.part, faults);
    b.RandomImage(0x8000, 6);
    // Cell 0 ends up holding the byte of its last alias, which differs from byte 0.
    b.Image()[0] = 0x00;
    b.Image()[c.lastAlias] = 0xFF;
    AlgoForm& f = b.Open("DSRAM 4");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), MismatchText(0, 0x00, 0xFF));
    auto& form = dynamic_cast<TDsRAM&>(f);
    form.RandomSeed = 9;
    f.Click("Button3");
    EXPECT_EQ(f.Text("Message"), "bad!");
    EXPECT_EQ(b.wb->Counter, "0");
}

INSTANTIATE_TEST_SUITE_P(Faults, Aliasing,
                         ::testing::Values(AliasCase{"open A10", "DS1230Y", 10, 0x400},
                                           AliasCase{"8K chip in the 32K row", "DS1225AB", -1, 0x6000}),
                         CaseName([](const AliasCase& c) { return std::string(c.name); }));

TEST(DsRam, LengthOf200WritesOneBlockAndReadsTwo) {
    SimBench b("DS1230Y");
    b.RandomImage(0x800, 7);
    AlgoForm& f = b.Open("DSRAM 4");
    f.Enter("Edit3", "200");
    EXPECT_EQ(f.Text("Edit3"), "200");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(b.ChipAs<SramChip>().Writes(), 1024u);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
    b.tap->commands.clear();
    f.Click("ReadButton");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(Count(b, proto::OpRead1K), 2u);
}

TEST(DsRam, AShortBlockInVerifyIsABrokenLinkNeverOk) {
    SimBench b("DS1230Y");
    b.RandomImage(0x8000, 8);
    AlgoForm& f = b.Open("DSRAM 4");
    f.Click("Write");
    ASSERT_EQ(f.Text("Message"), "OK!");
    b.sim->InjectShortReply(512, 2);  // the over-current reply (64 bytes) passes whole
    EXPECT_THROW(f.Click("Verify"), FatalExit);
    EXPECT_NE(f.Text("Message"), "OK");
}

TEST(DsRam, TheRandomPatternFollowsItsSeed) {
    SimBench b("DS1220AB");
    AlgoForm& f = b.Open("DSRAM 1");
    auto& form = dynamic_cast<TDsRAM&>(f);
    auto run = [&](unsigned seed) {
        form.RandomSeed = seed;
        f.Click("Button3");
        EXPECT_EQ(f.Text("Message"), "Test OK!!!!!!!");
        return std::vector<std::uint8_t>(b.Chip().begin(), b.Chip().end());
    };
    const auto first = run(11);
    const auto again = run(11);
    const auto other = run(12);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    EXPECT_EQ(b.wb->Counter, "3");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
}

TEST(DsRam, RunWithoutAHexWindowAsksForAFile) {
    SimBench b("DS1230Y");
    AlgoForm& f = b.Open("DSRAM 4");
    b.wb->FileWin.reset();
    const auto before = b.Transfers();
    f.Click("Button1");
    EXPECT_EQ(b.prompts.Last(), "Must open a file to write...");
    EXPECT_EQ(b.Transfers(), before);
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(DsRam, AnEmptySocketNeverVerifiesAnImageOfFfBytes) {
    SimBench b("");
    std::fill(b.Image(), b.Image() + 0x8000, 0xFF);
    AlgoForm& f = b.Open("DSRAM 4");
    f.Click("Verify");
    EXPECT_NE(f.Text("Message"), "OK");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    f.Click("Button1");
    EXPECT_NE(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
}

class RefusedRows : public ::testing::TestWithParam<int> {};

TEST_P(RefusedRows, SetupRefusesWithAMessageAndSendsNothing) {
    SimBench b("DS1230Y");
    AlgoForm& f = b.Open("DSRAM " + std::to_string(GetParam()));
    EXPECT_EQ(b.Transfers(), 0u);
    EXPECT_NE(f.Text("Message").find("not in the device table"), std::string::npos) << f.Text("Message");
    f.Click("Write");
    f.Click("ReadButton");
    EXPECT_EQ(b.Transfers(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Rows, RefusedRows, ::testing::Values(0, 9, 300),
                         CaseName([](int v) { return "row " + std::to_string(v); }));

TEST(DsRam, SetupWithoutALinkSaysLinkErr) {
    SimBench b("DS1230Y");
    b.wb->Ep3.Connected = 0;
    AlgoForm& f = b.Open("DSRAM 4");
    EXPECT_EQ(f.Text("Message"), "Link Err.");
}

// ---- every listed line ----------------------------------------------------------------------

class EveryLine : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryLine, WritesVerifiesAndReadsBackTheFirstTwoKib) {
    const ListedLine l = GetParam();
    SimBench b(l.part);
    b.RandomImage(0x800, 21);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + 0x800);
    AlgoForm& f = b.Open(l.params);
    ASSERT_EQ(f.Text("Message"), "OK ") << l.params;
    f.Enter("Edit3", "7ff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    EXPECT_EQ(b.ChipAs<SramChip>().Writes(), 0x800u);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK");
    std::fill(b.Image(), b.Image() + 0x800, 0);
    f.Click("ReadButton");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
}

INSTANTIATE_TEST_SUITE_P(Device520, EveryLine, ::testing::ValuesIn(DeviceLines("device520.lst", {"DSRAM", "TESTRAM"})),
                         CaseName([](const ListedLine& l) { return l.part; }));

// ---- Random Run on a stuck bit ---------------------------------------------------------------

struct StuckCase {
    ListedLine line;
    bool high;
};
class RandomRunStuckBit : public ::testing::TestWithParam<StuckCase> {};

// Random Run with seeds 1..8 on the form's chip: "bad!" and no count on each.
void ExpectBadOnEverySeed(SimBench& b, AlgoForm& f) {
    auto& form = dynamic_cast<TDsRAM&>(f);
    for (unsigned seed = 1; seed <= 8; ++seed) {
        form.RandomSeed = seed;
        f.Click("Button3");
        EXPECT_EQ(f.Text("Message"), "bad!") << "seed " << seed;
        EXPECT_EQ(b.wb->Counter, "0") << "seed " << seed;
    }
}

// Bit 5 of one cell stuck: the pattern and its complement try that bit at both
// levels, so every seed finds it.
TEST_P(RandomRunStuckBit, IsBadWithNoCountOnEverySeed) {
    const StuckCase c = GetParam();
    SimBench b(c.line.part);
    SeatFaulty(b, c.line.part.c_str(), StuckBit(0x5A3, 5, c.high));
    AlgoForm& f = b.Open(c.line.params);
    ASSERT_EQ(f.Text("Message"), "OK ");
    // The first two blocks, which hold the cell: the whole chip is the same loop.
    f.Enter("Edit3", "7ff");
    ExpectBadOnEverySeed(b, f);
}

std::vector<StuckCase> StuckCases() {
    std::vector<StuckCase> out;
    for (const ListedLine& l : DeviceLines("device520.lst", {"DSRAM", "TESTRAM"}))
        for (bool high : {true, false}) out.push_back({l, high});
    return out;
}

INSTANTIATE_TEST_SUITE_P(Device520, RandomRunStuckBit, ::testing::ValuesIn(StuckCases()),
                         CaseName([](const StuckCase& c) { return c.line.part + (c.high ? "_high" : "_low"); }));

TEST(DsRam, RandomRunOverTheWholeChipFindsABitStuckInItsLastCell) {
    for (bool high : {true, false}) {
        SCOPED_TRACE(high ? "stuck high" : "stuck low");
        SimBench b("DS1220AB");
        SeatFaulty(b, "DS1220AB", StuckBit(0x7FF, 5, high));
        AlgoForm& f = b.Open("DSRAM 1");
        ExpectBadOnEverySeed(b, f);
    }
}

TEST(DsRam, RandomRunLeavesThePatternsComplementInAGoodChip) {
    SimBench b("DS1220AB");
    AlgoForm& f = b.Open("DSRAM 1");
    auto& form = dynamic_cast<TDsRAM&>(f);
    form.RandomSeed = 5;
    std::mt19937 gen(5);
    std::vector<std::uint8_t> second(0x800);
    for (auto& v : second) v = static_cast<std::uint8_t>(~static_cast<std::uint8_t>(gen()));
    b.tap->commands.clear();
    f.Click("Button3");
    EXPECT_EQ(f.Text("Message"), "Test OK!!!!!!!");
    EXPECT_EQ(b.wb->Counter, "1");
    // Two passes of 2 KiB, each written once and verified.
    EXPECT_EQ(b.ChipAs<SramChip>().Writes(), 2u * 0x800u);
    EXPECT_TRUE(std::equal(second.begin(), second.end(), b.Chip().begin()));
}

// ---- fault sweep ------------------------------------------------------------------------------

class Sweep : public ::testing::TestWithParam<const char*> {};

TEST_P(Sweep, NoSuccessTextWithTheChipWrong) {
    const std::string button = GetParam();
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("DS1220AB");
        b->RandomImage(0x800, 17);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("DSRAM 1"); };
    s.operation = [button](SimBench&, AlgoForm& f) { f.Click(button); };
    s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, 0x800); };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 3);
}

INSTANTIATE_TEST_SUITE_P(Operations, Sweep, ::testing::Values("Write", "Button1"),
                         CaseName([](const char* b) { return std::string(b); }));

}  // namespace
}  // namespace quilla::test
