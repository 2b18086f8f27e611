// The 22V10 and 22CV10 forms end to end: rows, architecture bits and row 44
// land on the cells the JEDEC numbering names; Verify, Blank, Lock and the
// batch judge the chip as it stands.
#include <algorithm>
#include <random>

#include "engine/protocol.h"
#include "pld_test_support.h"
#include "sim/chips/g22v10.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using sim::G22v10Chip;

constexpr int A = 5808;

G22v10Chip& Chip(SimBench& b) { return b.ChipAs<G22v10Chip>(); }
std::string Fixture() { return PldFixture("sum22v10.jed"); }
std::string Want() { return JedecFuses(ReadText(Fixture())); }

// The chip's JEDEC fuses (0..5891) equal the fuse list.
bool JedecMatches(const SimBench& b, const std::string& want) {
    return std::equal(want.begin(), want.end(), b.Chip().begin());
}

struct FormCase {
    std::string name, part, params;
};
void PrintTo(const FormCase& c, std::ostream* os) { *os << c.name; }

class Both22V10Forms : public ::testing::TestWithParam<FormCase> {};

TEST_P(Both22V10Forms, FixtureLandsOnItsJedecCellsAndVerifies) {
    const FormCase& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    ASSERT_EQ(f.Text("Msg"), "OK ");
    const std::string want = Want();
    ASSERT_EQ(want.size(), 5892u);
    b.prompts.shown.clear();
    LoadJedFile(b, Fixture());
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();  // the part's own fuse count
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "End.");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
    for (int pt = 0; pt < 132; ++pt)  // row 1 against fuse 44·PT + 1
        EXPECT_EQ(Chip(b).Cell(1, pt), want[static_cast<std::size_t>(44 * pt + 1)] == '1') << "bit " << pt;
    for (int k = 0; k < 20; ++k) EXPECT_EQ(Chip(b).Cell(-1, k), want[static_cast<std::size_t>(A + k)] == '1') << k;
    for (int j = 0; j < 64; ++j) EXPECT_EQ(Chip(b).Cell(44, j), want[static_cast<std::size_t>(A + 20 + j)] == '1') << j;
    EXPECT_TRUE(JedecMatches(b, want));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Data OK..");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
}

TEST_P(Both22V10Forms, VerifyAndBlankJudgeTheArray) {
    const FormCase& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank.");
    LoadJedFile(b, Fixture());
    f.Click("Write");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Not blank..");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);

    // Row 2, bit 1: '1' on the chip (product term 1, an output enable the
    // fixture leaves all ones).
    const int i = 2, j = 1;
    ASSERT_EQ(b.Chip()[static_cast<std::size_t>(i + 44 * j)], '1');
    b.Image()[i + 44 * j] = '0';
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Buffer is different with chip...");
    EXPECT_EQ(f.Text("Edit6"), "0134");  // 132·j + i
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    b.Image()[i + 44 * j] = '1';

    f.Click("Erase");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank.");
    EXPECT_EQ(std::count(b.Chip().begin(), b.Chip().end(), '0'), 0);
}

TEST_P(Both22V10Forms, WriteWithoutEraseOverAnotherMapFailsVerify) {
    const FormCase& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    std::fill(b.Image(), b.Image() + 6000, '1');
    for (int n = 0; n < A; n += 7) b.Image()[n] = '0';
    f.Click("Write");
    LoadJedFile(b, Fixture());
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Buffer is different with chip...");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST_P(Both22V10Forms, LockReadsEveryBitOfEveryRow) {
    const FormCase& c = GetParam();
    {
        SimBench b(c.part);
        AlgoForm& f = b.Open(c.params);
        LoadJedFile(b, Fixture());
        f.Click("Write");
        f.Click("Secrity");
        EXPECT_EQ(f.Text("Msg"), "Locked..");
        EXPECT_TRUE(Chip(b).Secured());
    }
    // A security cell that does not take: the chip still reads its fuses,
    // also where the only programmed ones lie above bit 43 of their rows.
    for (int fuse : {5 + 44 * 7, 5 + 44 * 100}) {
        SimBench b(c.part);
        AlgoForm& f = b.Open(c.params);
        Chip(b).SetSecurityFault(true);
        Chip(b).MutableContents()[static_cast<std::size_t>(fuse)] = '0';
        f.Click("Secrity");
        EXPECT_EQ(f.Text("Msg"), "LockFailed.") << fuse;
        EXPECT_EQ(b.wb->ErrorFlag(), 1);
    }
}

// Lock sets the security cell and nothing else: every fuse stays as written,
// and a read shows the array as ones.
TEST_P(Both22V10Forms, LockLeavesTheArrayIntactAndSecured) {
    const FormCase& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    const std::string want = Want();
    LoadJedFile(b, Fixture());
    f.Click("Erase");
    f.Click("Write");
    ASSERT_TRUE(JedecMatches(b, want));
    const int erases = Chip(b).Erases();
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "Locked..");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    EXPECT_TRUE(Chip(b).Secured());
    EXPECT_TRUE(JedecMatches(b, want));
    EXPECT_EQ(Chip(b).Erases(), erases);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "Data in buffer..");
    EXPECT_EQ(ImageFuses(b, 0, A), std::string(A, '1'));
    if (c.part.rfind("GAL", 0) == 0) {  // row 44 stays readable (the 22CV10 form does not read it)
        EXPECT_EQ(ImageFuses(b, A + 20, 64), want.substr(A + 20, 64));
    }
    LoadJedFile(b, Fixture());
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Buffer is different with chip...");
}

TEST_P(Both22V10Forms, OverCurrentAtPowerUpStopsBeforeAnyRow) {
    const FormCase& c = GetParam();
    for (const char* op : {"Read1", "Write", "Verify", "Blank", "Erase", "Secrity"}) {
        SimBench b(c.part);
        AlgoForm& f = b.Open(c.params);
        LoadJedFile(b, Fixture());
        b.ExpectOverCurrent();
        b.sim->InjectOverCurrent();
        const std::size_t latches = b.tap->Count(proto::OpLatch0 + 1) + b.tap->Count(proto::OpLatch0 + 2);
        f.Click(op);
        ASSERT_FALSE(b.prompts.shown.empty()) << op;
        EXPECT_EQ(b.prompts.Last().rfind("Exceed current limit.", 0), 0u) << op;
        EXPECT_EQ(b.wb->ErrorFlag(), 1) << op;
        EXPECT_EQ(b.tap->Count(proto::OpLatch0 + 1) + b.tap->Count(proto::OpLatch0 + 2), latches) << op;
        EXPECT_EQ(Chip(b).Strobes(), 0) << op;
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, Both22V10Forms,
                         ::testing::Values(FormCase{"GAL22V10", "GAL22V10", "P22V10 1"},
                                           FormCase{"22CV10A", "22CV10A", "AMI22CV10 2"}),
                         CaseName([](const FormCase& c) { return c.name; }));

// One fuse programmed alone lands on exactly its cell: corners of the array
// and each architecture bit (a transposed map or a shifted bit lands elsewhere).
TEST(P22V10Form, EachCornerAndArchitectureFuseAloneLandsOnItsCell) {
    std::vector<int> fuses{0, 43, A - 44, A - 1, 44 * 77 + 13};
    for (int k = 0; k < 20; ++k) fuses.push_back(A + k);
    SimBench b("GAL22V10");
    AlgoForm& f = b.Open("P22V10 1");
    for (int n : fuses) {
        f.Click("Erase");
        std::fill(b.Image(), b.Image() + 6000, '1');
        b.Image()[n] = '0';
        f.Click("Write");
        ASSERT_EQ(f.Text("Msg"), "End.");
        EXPECT_EQ(std::count(b.Chip().begin(), b.Chip().end(), '0'), 1) << n;
        if (n < A) {
            EXPECT_FALSE(Chip(b).Cell(n % 44, n / 44)) << n;
        } else {
            EXPECT_FALSE(Chip(b).Cell(-1, n - A)) << n;
        }
    }
}

TEST(P22V10Form, ReadGivesTheJedecFusesBackAndVerifyComparesTheArchitecture) {
    SimBench b("GAL22V10");
    AlgoForm& f = b.Open("P22V10 1");
    LoadJedFile(b, Fixture());
    f.Click("Write");
    std::fill(b.Image(), b.Image() + 6000, 'x');
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "Data in buffer..");
    EXPECT_EQ(ImageFuses(b, 0, 5892), Want());
    // One architecture bit differs: the same message, the fuse number shown.
    ASSERT_TRUE(Chip(b).Cell(-1, 1));
    b.Image()[A + 1] = '0';
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Buffer is different with chip...");
    EXPECT_EQ(f.Text("Edit6"), "5809");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

// With Erase ticked the batch skips the blank check: on a programmed chip it
// erases, writes and verifies.
TEST(P22V10Form, BatchWithEraseSkipsTheBlankCheck) {
    SimBench b("GAL22V10");
    AlgoForm& f = b.Open("P22V10 1");
    EXPECT_FALSE(f.Checked("CheckBox1"));
    EXPECT_TRUE(f.Checked("CheckBox2"));
    LoadJedFile(b, Fixture());
    Chip(b).MutableContents()[100] = '0';
    f.SetChecked("CheckBox1", true);
    const std::size_t reads = b.tap->Count(proto::OpCapturePin);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_EQ(b.tap->Count(proto::OpCapturePin) - reads, 5808u + 20u);  // Verify's reads only
    EXPECT_TRUE(JedecMatches(b, Want()));

    // Without Erase over another map: Verify fails, nothing counted.
    f.SetChecked("CheckBox1", false);
    f.SetChecked("CheckBox2", false);
    std::fill(b.Image(), b.Image() + A, '1');
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "Buffer is different with chip...");
    EXPECT_EQ(b.wb->Counter, "1");
}

TEST(P22V10Form, RowsOutsideTheTablesAreRefusedAtSetup) {
    for (const char* params : {"P22V10 0", "P22V10 4", "P22V10 -1", "AMI22CV10 0", "AMI22CV10 5"}) {
        SimBench b("GAL22V10");
        AlgoForm& f = b.Open(params);
        ASSERT_EQ(b.prompts.shown.size(), 1u) << params;
        for (const char* op : {"Read1", "Write", "Erase", "Button1"}) f.Click(op);
        EXPECT_EQ(b.tap->outTransfers, 0) << params;
    }
}

// The 22CV10 form reads by column groups on its own design, whatever design
// the previous form left; it cannot read the architecture bits or row 44, so
// Write refuses a map of its Read until a JEDEC load or a typed fuse.
TEST(Ami22cv10Form, ReadGivesTheArrayBackAndWriteRefusesWhatItCouldNotRead) {
    SimBench b("22CV10");
    b.Open("P22V10 1");
    EXPECT_EQ(b.sim->LoadedTag(), "vex300");
    AlgoForm& f = b.Open("AMI22CV10 1");
    EXPECT_EQ(b.sim->LoadedTag(), "pld22cv10");
    // A random array: the last group's four columns (128..131) included.
    std::mt19937 rng(22);
    std::fill(b.Image(), b.Image() + 6000, '1');
    for (int n = 0; n < A; ++n) b.Image()[n] = (rng() & 1) ? '1' : '0';
    b.Image()[5 + 44 * 131] = '0';
    const std::string array = ImageFuses(b, 0, A);
    f.Click("Write");
    std::fill(b.Image(), b.Image() + 6000, 'x');
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "Data in buffer..");
    EXPECT_EQ(ImageFuses(b, 0, A), array);
    EXPECT_EQ(ImageFuses(b, A, 152), std::string(152, '0'));

    const int before = b.tap->outTransfers;
    f.Click("Write");
    EXPECT_NE(f.Text("Msg").find("were not read from a chip"), std::string::npos) << f.Text("Msg");
    EXPECT_EQ(b.tap->outTransfers, before);
    const int strobes = Chip(b).Strobes();
    f.SetChecked("CheckBox2", false);
    f.Click("Button1");  // the batch's Write refuses too
    EXPECT_NE(f.Text("Msg").find("were not read from a chip"), std::string::npos) << f.Text("Msg");
    EXPECT_EQ(Chip(b).Strobes(), strobes);
    EXPECT_EQ(b.wb->Counter, "0");

    LoadJedFile(b, Fixture());
    f.Click("Erase");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
    EXPECT_TRUE(JedecMatches(b, Want()));
}

TEST(Ami22cv10Form, ATypedFuseReplacesTheUnreadArchitecture) {
    SimBench b("22CV10Z");
    AlgoForm& f = b.Open("AMI22CV10 4");
    f.Click("Read1");
    ASSERT_TRUE(b.wb->PldFileW->ArchitectureUnread);
    // Fuse A (line 44 of the 132-wide window, first column).
    FuseWindowState& w = *b.wb->PldFileW;
    ASSERT_TRUE(FuseKeyPress(b.wb->ImageBuffer, w, A / w.FuseCols, FuseFirstColumn(w, A / w.FuseCols), '1'));
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
}

}  // namespace
}  // namespace quilla::test
