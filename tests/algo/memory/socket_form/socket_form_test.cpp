// The socket frame's sequences on the simulated programmer: pulse choice, the
// order of VPP and OE on an OE/VPP part, the blank check's bounds, the chip
// rules the form must respect, and the write's exception handling.
#include <stdexcept>

#include "algo/memory/p27.h"
#include "sim/chips/eprom.h"
#include "support/sim_bench.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using sim::EventKind;

struct PulseCase {
    const char* part;
    const char* params;
    int speed;        // RadioGroup1 item
    std::uint8_t op;  // pulse wait
    std::size_t bytes;
};
class Pulses : public ::testing::TestWithParam<PulseCase> {};

TEST_P(Pulses, SpeedChoosesHowManyPulseWaitsEachByteGets) {
    const PulseCase c = GetParam();
    SimBench b(c.part);
    b.RandomImage(static_cast<int>(c.bytes));
    AlgoForm& f = b.Open(c.params);
    f.Choose("RadioGroup1", c.speed);
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    const std::size_t want = c.bytes * static_cast<std::size_t>(c.speed + 1);
    // Besides the pulses only the over-current checks queue a 1 ms wait.
    EXPECT_GE(b.tap->Count(c.op), want);
    EXPECT_LE(b.tap->Count(c.op), want + 4);
    if (c.op == proto::OpWaitPulse) {
        EXPECT_LE(b.tap->Count(proto::OpWait1ms), 4u);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Pulses,
                         ::testing::Values(PulseCase{"AT27C256R", "P27 13", 0, proto::OpWait1ms, 0x8000},
                                           PulseCase{"AT27C256R", "P27 13", 4, proto::OpWait1ms, 0x8000},
                                           PulseCase{"AT27C010", "P27 16", 0, proto::OpWaitPulse, 0x20000},
                                           PulseCase{"AT27C010", "P27 16", 4, proto::OpWaitPulse, 0x20000},
                                           PulseCase{"2716", "P27 3", 2, proto::OpWait1ms, 0x800}),
                         quilla::test::CaseName([](const auto& c) {
                             return std::string(c.part) + " speed " + std::to_string(c.speed);
                         }));

TEST(Frame, OeVppPartGetsVppAfterOeHighAndLosesItBeforeOeLow) {
    SimBench b("AT27C512R");
    b.RandomImage(0x10000);
    AlgoForm& f = b.Open("P27 14");
    b.sim->Log().Clear();
    f.Click("Write");
    ASSERT_EQ(f.Text("Message"), "OK!");
    // Walk the log: pin 28 is high whenever VPP is routed to it, and VPP leaves
    // it before it goes low.
    bool high = false, vpp = false;
    int routings = 0;
    for (const auto& e : b.sim->Log().Events()) {
        if (e.kind == EventKind::PinHigh && e.pin == 28) high = true;
        if (e.kind == EventKind::PinLow && e.pin == 28) {
            EXPECT_FALSE(vpp) << "pin 28 driven low under VPP at " << e.time;
            high = false;
        }
        if (e.kind == EventKind::VppRoute && e.pin == 28) {
            EXPECT_TRUE(high) << "VPP on pin 28 before it was driven high at " << e.time;
            vpp = true;
            ++routings;
        }
        if ((e.kind == EventKind::VppRoute && e.pin == 0) || (e.kind == EventKind::VppUnroute && e.pin == 28))
            vpp = false;
    }
    EXPECT_EQ(routings, 64);  // routed again for every 1 KiB block
}

TEST(Frame, BlankFromDeviceOffsetChecksUpToLengthAsAChipAddress) {
    SimBench b("AT27C256R");
    auto cells = b.ChipAs<sim::EpromChip>().MutableContents();
    cells[0x800] = 0x00;  // beyond the checked range
    cells[0x3FF] = 0x00;  // before it
    AlgoForm& f = b.Open("P27 13");
    f.Enter("Edit2", "400");
    f.Enter("Edit3", "800");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "Blank.");
    cells[0x7FF] = 0x12;
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "0003ff:Err. Not Blank=12");
}

TEST(Frame, ReadIgnoresBothOffsetsAndResetsLengthButNotItsEdit) {
    SimBench b("M27C512");
    auto cells = b.ChipAs<sim::EpromChip>().MutableContents();
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<std::uint8_t>(i * 7 + 3);
    AlgoForm& f = b.Open("P27 14");
    f.Enter("Edit1", "1000");
    f.Enter("Edit2", "2000");
    f.Enter("Edit3", "100");
    f.Click("ReadButton");
    EXPECT_EQ(f.Text("Message"), "OK!");
    for (std::size_t i = 0; i < cells.size(); ++i) ASSERT_EQ(b.Image()[i], cells[i]) << i;
    EXPECT_EQ(f.Text("Edit3"), "100");
}

TEST(Frame, VerifyMismatchNamesTheImageIndexAndBothBytes) {
    SimBench b("AT27C256R");
    auto cells = b.ChipAs<sim::EpromChip>().MutableContents();
    std::fill(cells.begin(), cells.end(), 0xFF);
    b.Image()[0x100] = 0x3C;
    AlgoForm& f = b.Open("P27 13");
    f.Enter("Edit1", "100");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "000100:Error.(File=3c,chip=ff)");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(Frame, CellsOnlyGoFromOneToZero) {
    SimBench b("AT27C256R");
    std::fill(b.Image(), b.Image() + 0x8000, 0xF0);
    AlgoForm& f = b.Open("P27 13");
    f.Click("Write");
    ASSERT_EQ(f.Text("Message"), "OK!");
    std::fill(b.Image(), b.Image() + 0x8000, 0x0F);
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "000000:Error.(File=0f,chip=00)");
    EXPECT_EQ(b.Chip()[0], 0x00);
    EXPECT_EQ(b.Chip()[0x3FF], 0x00);
    EXPECT_EQ(b.Chip()[0x400], 0xF0);  // the write stopped after the first block
}

TEST(Frame, VppOnAnotherPinThanThePartsProgramsNothing) {
    SimBench b("AT27C256R");  // VPP on chip pin 1 (socket 7)
    b.RandomImage(0x8000);
    b.ExpectDamage();  // OE is rated 7 V on this part
    b.ExpectViolation("absolute maximum");
    AlgoForm& f = b.Open("P27 14");  // the 27C512 row: VPP on socket 28 (OE)
    f.Click("Write");
    EXPECT_NE(f.Text("Message"), "OK!");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_EQ(b.ChipAs<sim::EpromChip>().ProgramEvents(), 0u);
}

TEST(Frame, RowWithoutContactMasksRunsWithoutAContactTest) {
    SimBench b("AT27C256R");
    b.sim->SetChipPresent(false);
    AlgoForm& f = b.Open("P27 20");  // no contact masks
    const int polls = b.sim->ContactPolls();
    f.Click("Blank");
    EXPECT_EQ(b.sim->ContactPolls(), polls);
    EXPECT_TRUE(b.prompts.shown.empty());
    EXPECT_EQ(f.Text("Message"), "Blank.");  // an empty socket reads 0xFF
}

TEST(Frame, EmptySocketIsReportedByTheContactTest) {
    SimBench b("AT27C256R");
    b.sim->SetChipPresent(false);
    AlgoForm& f = b.Open("P27 13");
    f.Click("Write");
    ASSERT_FALSE(b.prompts.shown.empty());
    EXPECT_NE(b.prompts.Last().find("没有OK..安放器件"), std::string::npos);
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

// A form whose programming of a byte fails inside the form library.
class ThrowingP27 : public TP27x {
public:
    using TP27x::TP27x;
    int after = 1000;

protected:
    void ProgramByte(const VariantRecord& r, std::uint8_t data) override {
        if (--after == 0) throw std::runtime_error("out of memory");
        TP27x::ProgramByte(r, data);
    }
};

TEST(Frame, ExceptionDuringWriteShowsErrorSwitchesVccOffAndFailsTheBatchPass) {
    SimBench b("AT27C256R");
    b.RandomImage(0x8000);
    ThrowingP27 f(*b.wb);
    b.wb->sel.VariantIndex = 13;
    f.Show();
    f.SetupForDevice();
    f.SetChecked("CheckBox2", false);
    f.SetChecked("CheckBox4", false);
    b.wb->ErrorFlag() = 0;
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "Error..");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);  // left as it was
    EXPECT_EQ(b.wb->Counter, "0");     // but the pass is not counted
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
    EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
    // Nothing of the broken block was sent.
    EXPECT_EQ(b.ChipAs<sim::EpromChip>().ProgramEvents(), 0u);
    EXPECT_FALSE(b.sim->GetSocket().DriverHigh(26));
    EXPECT_FALSE(b.sim->GetSocket().DriverHigh(28));
}

}  // namespace
}  // namespace quilla::test

namespace quilla::test {
namespace {

struct CarryCase {
    const char* part;
    const char* params;
    const char* offset;  // Device and File offset, not on a 1 KiB boundary
    int size;
};
class Carry : public ::testing::TestWithParam<CarryCase> {};

// Blocks that start off a 1 KiB boundary step the address across A16/A17/A18
// inside a block: the programmer's counter carries into the high pins.
TEST_P(Carry, BlocksAcrossHighAddressBitsLandWhereTheyBelong) {
    const CarryCase c = GetParam();
    SimBench b(c.part);
    b.RandomImage(c.size, 9);
    AlgoForm& f = b.Open(c.params);
    f.Enter("Edit1", c.offset);
    f.Enter("Edit2", c.offset);
    f.Click("Write");
    ASSERT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");
    const int first = std::stoi(c.offset, nullptr, 16) & ~0xFF;
    for (int a = 0; a < first; ++a) ASSERT_EQ(b.Chip()[static_cast<std::size_t>(a)], 0xFF) << a;
    EXPECT_TRUE(b.ChipMatchesImage(first, c.size - first));
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(Parts, Carry,
                         ::testing::Values(CarryCase{"AT27C010", "P27 16", "ff00", 0x20000},
                                           CarryCase{"AT27C020", "P27 17", "1ff00", 0x40000},
                                           CarryCase{"M27C4001", "P27 18", "3ff00", 0x80000},
                                           CarryCase{"W27E040", "PW27 4", "3ff00", 0x80000}),
                         quilla::test::CaseName([](const auto& c) { return std::string(c.part); }));

TEST(Frame, Pw27IdButtonLeavesTheProgrammingLevel) {
    SimBench b("W27E010");
    AlgoForm& f = b.Open("PW27 2");
    f.Click("MFG");
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 120);
}

}  // namespace
}  // namespace quilla::test

namespace quilla::test {
namespace {

// The EPROM form cut into 64-byte groups aligned to 64, read back only where a
// group starts a 1 KiB block, its Blank from chip 0, its batch one pass that
// needs the hex buffer window, and its window without ID and Exit: the frame
// pieces the page forms build on.
class PagedP27 : public TP27x {
public:
    explicit PagedP27(Workbench& w) : TP27x(w) {
        Writing = {64, 64, 1024};
        BlankFromZero = true;
        Texts.BlankDone = "OK";
        Offsets.SetPage(64);
    }
    int groupEnds = 0;

protected:
    void WriteBlockEnd(const VariantRecord&, const Block& b) override {
        EXPECT_EQ(b.count, 64);
        ++groupEnds;
    }
    void Button1Click() override {
        if (!FileWindowForWrite("CheckBox3")) return;
        RunBatch(BatchSteps(), nullptr, false);
    }
};

struct PagedBench : SimBench {
    PagedBench() : SimBench("AT27C256R"), f(*wb) {
        wb->sel.VariantIndex = 13;
        f.Show();
        f.SetupForDevice();
    }
    PagedP27 f;
};

TEST(FramePieces, GroupsFromTheRoundedOffsetReadBackOnlyAtKibBoundaries) {
    PagedBench b;
    b.RandomImage(0x1000, 3);
    b.f.Enter("Edit1", "440");
    b.f.Enter("Edit2", "447");  // rounded to 0x440
    b.f.Enter("Edit3", "800");  // 0x83f
    EXPECT_EQ(b.f.Text("Edit2"), "440");
    EXPECT_EQ(b.f.Text("Edit3"), "83f");
    b.tap->commands.clear();
    b.f.Click("Write");
    EXPECT_EQ(b.f.Text("Message"), "OK!");
    // Groups from 0x440 until one reaches 0x440 + 0x83f: 33 of them (0x440 to
    // 0xc7f); read back at 0x800 and 0xc00 only.
    EXPECT_EQ(b.f.groupEnds, 33);
    EXPECT_EQ(b.tap->Count(proto::OpRead1K), 2u);
    EXPECT_TRUE(b.ChipBlank(0, 0x440));
    EXPECT_TRUE(b.ChipMatchesImage(0x440, 0x840));
    EXPECT_TRUE(b.ChipBlank(0xC80, 0x100));
}

TEST(FramePieces, BlankFromZeroIgnoresTheDeviceOffsetAndNamesChipAddresses) {
    PagedBench b;
    b.ChipAs<sim::EpromChip>().MutableContents()[0x123] = 0x5A;
    b.f.Enter("Edit2", "1000");
    b.f.Click("Blank");
    EXPECT_EQ(b.f.Text("Message"), "000123:Err. Not Blank=5a");
    b.ChipAs<sim::EpromChip>().MutableContents()[0x123] = 0xFF;
    b.ChipAs<sim::EpromChip>().MutableContents()[0x7FFF] = 0x00;
    b.f.Enter("Edit3", "400");  // stops after the block at or beyond Length
    b.f.Click("Blank");
    EXPECT_EQ(b.f.Text("Message"), "OK");
}

TEST(FramePieces, AOnePassBatchWithWritingNeedsTheBufferWindow) {
    PagedBench b;
    b.wb->FileWin.reset();
    b.f.Click("Button1");
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_EQ(b.prompts.Last(), "Must open a file to write...");
    EXPECT_EQ(b.wb->Counter, "0");
    // Without the write box ticked the batch runs.
    b.f.SetChecked("CheckBox3", false);
    b.f.Click("Button1");
    EXPECT_EQ(b.f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    b.wb->options.MassProduction = true;  // one pass: no wait for a chip
    b.f.Click("Button1");
    EXPECT_EQ(b.wb->Counter, "2");
}

TEST(FramePieces, ActivationGivesLengthThePagesLowBits) {
    PagedBench b;
    b.f.SetText("Edit3", "1000");
    b.f.Activate();
    EXPECT_EQ(b.f.Text("Edit3"), "103f");
}

}  // namespace
}  // namespace quilla::test
