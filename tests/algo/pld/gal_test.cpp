// The GAL 16V8/20V8 form end to end: the form's rows land on the cells the
// JEDEC numbering names, Verify, Blank, Erase, Lock and the batch judge the
// chip as it stands, and what the form refuses sends nothing.
#include <algorithm>

#include "engine/protocol.h"
#include "engine/stream.h"
#include "engine/transport.h"
#include "pld_test_support.h"
#include "sim/chips/gal.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using sim::GalChip;

struct GalCase {
    std::string name, part, params, fixture;
    int rows;  // R
};

void PrintTo(const GalCase& c, std::ostream* os) { *os << c.name; }

const GalCase k16{"GAL16V8B", "GAL16V8B", "GAL3M 3", "and16v8.jed", 32};
const GalCase k20{"GAL20V8B", "GAL20V8B", "GAL3M 6", "and20v8.jed", 40};

// Row 60 in the edit-mode order of the public pinout documents: bit -> fuse
// offset from the end of the array.
int ArchOffset(int bit) {
    if (bit < 4) return bit;                // XOR 0-3
    if (bit == 4) return 145;               // AC0
    if (bit < 9) return 72 + bit - 5;       // AC1 0-3
    if (bit < 73) return 80 + bit - 9;      // product-term enables
    if (bit < 77) return 76 + bit - 73;     // AC1 4-7
    if (bit == 77) return 144;              // SYN
    return 4 + bit - 78;                    // XOR 4-7
}
// The 18 architecture fuses the form writes (offsets from A).
std::vector<int> ArchFuses() {
    std::vector<int> v{0, 1, 2, 3, 4, 5, 6, 7, 72, 73, 74, 75, 76, 77, 78, 79, 144, 145};
    return v;
}

GalChip& Chip(SimBench& b) { return b.ChipAs<GalChip>(); }

// The fuses Write puts on the chip: array, the 18 architecture fuses and the
// signature row (the product-term enables stay as the erase left them).
bool WrittenFusesMatch(const SimBench& b, const std::string& want, int rows) {
    const int a = rows * 64;
    const auto chip = b.Chip();
    for (int n = 0; n < a + 146; ++n) {
        if (n >= a + 80 && n < a + 144) continue;
        if (chip[static_cast<std::size_t>(n)] != static_cast<std::uint8_t>(want[static_cast<std::size_t>(n)])) return false;
    }
    return true;
}

class GalParts : public ::testing::TestWithParam<GalCase> {};

TEST_P(GalParts, FixtureLandsOnItsJedecCellsVerifiesAndReadsBack) {
    const GalCase& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    ASSERT_EQ(f.Text("Msg"), "OK ");
    const std::string want = JedecFuses(ReadText(PldFixture(c.fixture)));
    ASSERT_EQ(want.size(), static_cast<std::size_t>(c.rows * 64 + 146));
    LoadJedFile(b, PldFixture(c.fixture));
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "Erased..");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");

    // Rows 3 and 6 cell by cell against fuse R·PT + column.
    for (int row : {3, 6})
        for (int pt = 0; pt < 64; ++pt)
            EXPECT_EQ(Chip(b).Cells().Cell(row, pt), want[static_cast<std::size_t>(c.rows * pt + row)] == '1')
                << "row " << row << " bit " << pt;
    // Row 60 in edit-mode order, and the signature row.
    const int a = c.rows * 64;
    for (int off : ArchFuses()) {
        int bit = 0;
        while (ArchOffset(bit) != off) ++bit;
        EXPECT_EQ(Chip(b).Cells().Cell(60, bit), want[static_cast<std::size_t>(a + off)] == '1') << "row 60 bit " << bit;
    }
    for (int j = 0; j < 64; ++j)
        EXPECT_EQ(Chip(b).Cells().Cell(c.rows, j), want[static_cast<std::size_t>(a + 8 + j)] == '1') << "signature " << j;
    EXPECT_TRUE(WrittenFusesMatch(b, want, c.rows));

    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);

    std::fill(b.Image(), b.Image() + 6000, 'x');
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "Data in buffer..");
    for (int n = 0; n < a + 146; ++n) {
        if (n >= a + 80 && n < a + 144) {
            ASSERT_EQ(b.Image()[n], '1') << n;  // product-term enables keep the fill
        } else {
            ASSERT_EQ(b.Image()[n], want[static_cast<std::size_t>(n)]) << n;
        }
    }
}

// One fuse programmed alone (all others '1') lands on exactly its cell: a
// transposed map or a shifted row-60 bit lands elsewhere.
TEST_P(GalParts, EachCornerAndArchitectureFuseAloneLandsOnItsCell) {
    const GalCase& c = GetParam();
    const int a = c.rows * 64;
    std::vector<int> fuses{0, c.rows - 1, a - c.rows, a - 1, c.rows * 5 + 2};
    for (int off : ArchFuses()) fuses.push_back(a + off);
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    for (int n : fuses) {
        f.Click("Erase");
        std::fill(b.Image(), b.Image() + 6000, '1');
        b.Image()[n] = '0';
        f.Click("Write");
        ASSERT_EQ(f.Text("Msg"), "End.");
        const auto chip = b.Chip();
        const auto zeros = std::count(chip.begin(), chip.end(), '0');
        EXPECT_EQ(zeros, 1) << "fuse " << n;
        EXPECT_EQ(chip[static_cast<std::size_t>(n)], '0') << "fuse " << n;
        if (n < a) {
            EXPECT_FALSE(Chip(b).Cells().Cell(n % c.rows, n / c.rows)) << "fuse " << n;
        } else {
            int bit = 0;
            while (ArchOffset(bit) != n - a) ++bit;
            EXPECT_FALSE(Chip(b).Cells().Cell(60, bit)) << "fuse " << n;
        }
    }
}

TEST_P(GalParts, VerifyNamesTheFirstDifference) {
    const GalCase& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    LoadJedFile(b, PldFixture(c.fixture));
    f.Click("Erase");
    f.Click("Write");
    const int a = c.rows * 64;

    // Array: row 5, bit 8 is '1' on the chip (product term 8 is an output
    // enable left all ones).
    const int fuse = 5 + c.rows * 8;
    ASSERT_EQ(b.Chip()[static_cast<std::size_t>(fuse)], '1');
    b.Image()[fuse] = '0';
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Err.:30,31");
    EXPECT_EQ(f.Text("Edit6"), "0328");  // B·i + j
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    b.Image()[fuse] = '1';

    // One XOR bit.
    b.Image()[a + 6] = b.Image()[a + 6] == '1' ? '0' : '1';
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "CFG bit error.!");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    b.Image()[a + 6] = b.Image()[a + 6] == '1' ? '0' : '1';

    // Product-term enables and the signature are never compared.
    b.Image()[a + 80] = '0';
    b.Image()[a + 9] = b.Image()[a + 9] == '1' ? '0' : '1';
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
}

TEST_P(GalParts, BlankAndEraseJudgeTheChip) {
    const GalCase& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank.");
    // Row 3, bit 7 programmed: "Not blank.." at B·j + i.
    Chip(b).Cells().Fuses()[static_cast<std::size_t>(3 + c.rows * 7)] = '0';
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Not blank..");
    EXPECT_EQ(f.Text("Edit6"), "0451");  // 64·7 + 3
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "Erased..");
    EXPECT_EQ(Chip(b).Erases(), 1);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank.");
}

// Rows take only 1 -> 0: a map written over another without an erase, or
// onto a chip too slow for the program pulse, fails Verify.
TEST_P(GalParts, VerifyCatchesWhatThePulseDidNotProgram) {
    const GalCase& c = GetParam();
    {
        SimBench b(c.part);
        AlgoForm& f = b.Open(c.params);
        std::fill(b.Image(), b.Image() + 6000, '1');
        for (int n = 0; n < c.rows * 64; n += 3) b.Image()[n] = '0';
        f.Click("Write");
        LoadJedFile(b, PldFixture(c.fixture));
        f.Click("Write");
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg").rfind("Err.:31,30", 0), 0u) << f.Text("Msg");
        EXPECT_EQ(b.wb->ErrorFlag(), 1);
    }
    {
        SimBench b(c.part);
        AlgoForm& f = b.Open(c.params);
        Chip(b).SetSlowFactor(5.0);  // 50 ms: longer than the pulse of three or four settle waits
        LoadJedFile(b, PldFixture(c.fixture));
        f.Click("Write");
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), "Err.:30,31");
        EXPECT_EQ(b.wb->ErrorFlag(), 1);
    }
}

// Passes the form's transfers on with every run of settle waits one wait
// short: the program pulse of four (16V8) or three (20V8) waits becomes three
// or two; single waits (the power-up's) stay.
struct OneWaitShort : Transport {
    explicit OneWaitShort(Transport& t) : next(t) {}
    int BulkWrite(const std::uint8_t* data, int n) override {
        std::vector<std::uint8_t> out(data, data + n);
        std::vector<std::size_t> run;
        const auto endRun = [&] {
            if (run.size() >= 2) {
                out[run.front()] = proto::OpNop;
                ++shortened;
            }
            run.clear();
        };
        proto::ForEachCommand(data, n, [&](const proto::StreamCommand& c) {
            if (c.op == proto::OpWaitSettle) {
                run.push_back(static_cast<std::size_t>(c.bytes - data));
            } else {
                endRun();
            }
        });
        endRun();
        return next.BulkWrite(out.data(), n);
    }
    int BulkRead(std::uint8_t* buf, int n) override { return next.BulkRead(buf, n); }
    Transport& next;
    int shortened = 0;
};

TEST_P(GalParts, AProgramPulseOneSettleWaitShortProgramsNothing) {
    const GalCase& c = GetParam();
    ASSERT_EQ(proto::CommandLength(proto::OpWaitSettle), 1);
    ASSERT_EQ(proto::CommandLength(proto::OpNop), 1);
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    LoadJedFile(b, PldFixture(c.fixture));
    OneWaitShort shorter(*b.tap);
    b.wb->Ep3.SetTransport(&shorter);
    f.Click("Write");
    b.wb->Ep3.SetTransport(b.tap.get());
    EXPECT_GE(shorter.shortened, c.rows + 2);  // the array rows, row 60 and the signature row
    EXPECT_EQ(std::count(b.Chip().begin(), b.Chip().end(), '0'), 0);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Err.:30,31");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    // The form's own pulse programs the same chip.
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
}

TEST_P(GalParts, BatchWithEveryBoxLocksTheChip) {
    const GalCase& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    LoadJedFile(b, PldFixture(c.fixture));
    Chip(b).Cells().Fuses()[0] = '0';  // not blank before the batch's erase
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(Chip(b).Cells().Secured());
    // The locked array reads as ones.
    f.Click("Read1");
    EXPECT_EQ(ImageFuses(b, 0, c.rows * 64), std::string(static_cast<std::size_t>(c.rows * 64), '1'));
}

TEST_P(GalParts, BatchStopsAtAVerifyFailureBeforeLock) {
    const GalCase& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    LoadJedFile(b, PldFixture(c.fixture));
    Chip(b).SetSlowFactor(5.0);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "Err.:30,31");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_FALSE(Chip(b).Cells().Secured());
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST_P(GalParts, OverCurrentAtPowerUpEndsTheBatchBeforeAnyRow) {
    const GalCase& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    LoadJedFile(b, PldFixture(c.fixture));
    b.ExpectOverCurrent();
    b.sim->InjectOverCurrent();
    const std::size_t latchesBefore = b.tap->Count(proto::OpLatch0 + 3);
    f.Click("Button1");
    ASSERT_FALSE(b.prompts.shown.empty());
    EXPECT_EQ(b.prompts.Last().rfind("Exceed current limit.", 0), 0u);
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.tap->Count(proto::OpLatch0 + 3), latchesBefore);
    EXPECT_EQ(Chip(b).Strobes(), 0);
    EXPECT_EQ(b.wb->Counter, "0");
}

INSTANTIATE_TEST_SUITE_P(Parts, GalParts, ::testing::Values(k16, k20),
                         CaseName([](const GalCase& c) { return c.name; }));

// The 20V8 file opened while a 16V8 row shows its 32 x 64 window (after the
// window's '1' fill), then a 20V8 selected and written: the fuses the file
// leaves out program as its default '0', those beyond the small window too.
TEST(GalForm, SparseFileReadIntoASmallerWindowWritesItsDefaults) {
    SimBench b("GAL20V8B");
    b.Open("GAL3M 3");
    LoadJedFile(b, PldFixture("and20v8.jed"));
    AlgoForm& f = b.Open("GAL3M 6");
    f.Click("Erase");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
    const std::string want = JedecFuses(ReadText(PldFixture("and20v8.jed")));
    EXPECT_TRUE(WrittenFusesMatch(b, want, 40));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
}

// A file of another device's fuse count is named with both counts when it is
// opened; the part's own files load without a word.
TEST(GalForm, AnotherDevicesMapIsNamedWithBothCounts) {
    SimBench b("GAL16V8B");
    b.Open("GAL3M 3");
    b.prompts.shown.clear();
    LoadJedFile(b, PldFixture("sum22v10.jed"));
    EXPECT_EQ(b.prompts.Texts(), std::vector<std::string>{PldFixture("sum22v10.jed") +
                                                          " is a map of 5892 fuses (QF5892), the selected device "
                                                          "has 2194: loaded as it is"});
    b.prompts.shown.clear();
    LoadJedFile(b, PldFixture("and16v8.jed"));
    b.Open("GAL3M 6");
    LoadJedFile(b, PldFixture("and20v8.jed"));
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

TEST(GalForm, WriteRefusesAMapThatIsNoFuseMap) {
    SimBench b("GAL16V8B");
    AlgoForm& f = b.Open("GAL3M 3");
    std::fill(b.Image(), b.Image() + 6000, '1');
    b.Image()[2048 + 72 + 1] = 0xFF;  // an AC1 fuse
    b.Image()[3000] = 0xFF;           // no fuse of the part: not looked at
    const int before = b.tap->outTransfers;
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "Fuse 2121 holds 0xff, not 0 or 1: nothing written.");
    EXPECT_EQ(b.tap->outTransfers, before);
    std::fill(b.Image(), b.Image() + 2048, 0xFF);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "Fuse 0 holds 0xff, not 0 or 1: nothing written.");
    EXPECT_EQ(b.tap->outTransfers, before);
    EXPECT_EQ(Chip(b).Strobes(), 0);
}

// Rows without a protocol of this form (0, the 22V10 row 7) and rows outside
// the table are refused at setup: one message, and no supply is switched on.
TEST(GalForm, RowsItCannotProgramAreRefusedAtSetup) {
    for (const char* params : {"GAL3M 0", "GAL3M 7", "GAL3M 11", "GAL3M -1"}) {
        SimBench b("GAL16V8B");
        AlgoForm& f = b.Open(params);
        ASSERT_EQ(b.prompts.shown.size(), 1u) << params;
        EXPECT_NE(b.prompts.Last().find("Bad device line: variant"), std::string::npos) << params;
        EXPECT_EQ(b.tap->outTransfers, 0) << params;
        for (const char* op : {"Read1", "Write", "Verify", "Erase", "Blank", "Secrity", "Button1"}) f.Click(op);
        EXPECT_EQ(b.tap->outTransfers, 0) << params;
        EXPECT_EQ(b.wb->Counter, "0");
    }
}

// Edit mode needs the part's own level on EDIT: a 16.5 V part on a 12 V row
// programs nothing (Verify says so); a 12 V part on a 16.5 V row is damaged.
TEST(GalForm, EditModeNeedsThePartsOwnLevel) {
    {
        SimBench b("GAL16V8");
        AlgoForm& f = b.Open("GAL3M 3");
        LoadJedFile(b, PldFixture("and16v8.jed"));
        f.Click("Write");
        EXPECT_EQ(Chip(b).Strobes(), 0);
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg").rfind("Err.:30,31", 0), 0u) << f.Text("Msg");
    }
    {
        SimBench b("GAL16V8B");
        b.ExpectDamage();
        b.ExpectViolation("absolute maximum");
        AlgoForm& f = b.Open("GAL3M 1");
        LoadJedFile(b, PldFixture("and16v8.jed"));
        f.Click("Write");
        EXPECT_TRUE(Chip(b).Damaged());
        EXPECT_EQ(std::count(b.Chip().begin(), b.Chip().end(), '0'), 0);
    }
}

TEST(GalForm, SetupShowsTheRowAndKeepsTheWindowsMap) {
    SimBench b("GAL16V8B");
    AlgoForm& f = b.Open("GAL3M 3");
    EXPECT_EQ(f.Caption(), "3: 16V8B 12V");
    ASSERT_TRUE(b.wb->PldFileW);
    EXPECT_EQ(b.wb->PldFileW->FuseCols, 32);
    EXPECT_EQ(b.wb->PldFileW->FuseRows, 64);
    EXPECT_EQ(ImageFuses(b, 0, 6000), std::string(6000, '1'));
    b.Image()[5] = '0';
    b.Open("GAL3M 6");
    EXPECT_EQ(b.Image()[5], '0');  // a second selection keeps the map
    EXPECT_EQ(b.wb->PldFileW->FuseCols, 40);
    EXPECT_EQ(b.sim->LoadedTag(), "vex300");
}

}  // namespace
}  // namespace quilla::test
