// The step machinery of the 8051 forms (algo/mcs51/steps51.h): what a run
// sends, where it stops, and how it reaches the form's own routines.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "algo/mcs51/steps51.h"
#include "mcs51_bench.h"

namespace quilla::test {
namespace {

using enum Do51;
using namespace steps51;

// A form with no window on the DIP40 design: the roles and its own step kinds count their calls;
// an own step of kind 9 fails.
struct StepsForm : Steps51Form {
    explicit StepsForm(Workbench& wb) : Steps51Form(wb, "steps", {21}) { UsePackage(Dip40Package); }
    void FillVariantTable() override {}
    void SetupForDevice() override {}
    void PowerUp51() override { ++powerUps; }
    int PreCheck51() override { return preCheck; }
    bool OwnStep(int kind) override {
        own.push_back(kind);
        return kind != 9;
    }
    int powerUps = 0, preCheck = 1;
    std::vector<int> own;
};

// The data bytes (0x21) the host sent, in order.
std::vector<int> DataSent(const SimBench& b) {
    std::vector<int> out;
    for (const auto& c : b.tap->commands)
        if (c[0] == proto::OpPutData51) out.push_back(c[1]);
    return out;
}

struct RunCase {
    const char* name;
    Steps51 steps;
    int preCheck;
    bool result;
    std::vector<int> data, own;
    int powerUps;
};

const Steps51 kTwice{Data(0x33), {Own, 2}};

TEST(Steps51, ARunSendsItsStepsInOrderAndEndsAtTheFirstFailingOne) {
    const RunCase cases[] = {
        {"all", {Data(0x11), PowerUp, {Own, 1}, Data(0x22)}, 1, true, {0x11, 0x22}, {1}, 1},
        {"own fails", {Data(0x11), {Own, 9}, Data(0x22), PowerUp}, 1, false, {0x11}, {9}, 0},
        {"pre-check fails", {PowerUp, PreCheck, Data(0x22)}, 0, false, {}, {}, 1},
        {"a list three times", {Step51(kTwice, 3), Data(0x44)}, 1, true, {0x33, 0x33, 0x33, 0x44}, {2, 2, 2}, 0},
        {"a pair check (no command: it sends nothing, it never fails)",
         {PairCheck, Data(0x55)}, 1, true, {0x55}, {}, 0},
    };
    for (const RunCase& c : cases) {
        SimBench b("W78E51");
        StepsForm f(*b.wb);
        f.preCheck = c.preCheck;
        EXPECT_EQ(f.Run(c.steps), c.result) << c.name;
        b.wb->Ep3.UsbFlush();
        EXPECT_EQ(DataSent(b), c.data) << c.name;
        EXPECT_EQ(f.own, c.own) << c.name;
        EXPECT_EQ(f.powerUps, c.powerUps) << c.name;
    }
}

// A form with its own address path, byte program and read unit (as the MSU2964
// has), with the status rows the loops show their progress in: every hook call
// logged.
struct PathForm : StepsForm {
    explicit PathForm(Workbench& wb) : StepsForm(wb) { DeclareControls(StatusRows51()); }
    void SetAddress51(std::int32_t a) override { log.push_back("A" + std::to_string(a)); }
    void NextAddress51() override { log.push_back("+"); }
    void ProgramByte51(std::uint8_t) override { log.push_back("P"); }
    int ReadUnitSize51() const override { return 64; }
    void ReadUnit51(std::uint8_t*) override { log.push_back("R"); }
    using Mcs51Form::ByteLoop, Mcs51Form::PageLoop51, Mcs51Form::ReadImage51;
    std::vector<std::string> log;
    std::size_t Count(const std::string& entry) const {
        return static_cast<std::size_t>(std::count(log.begin(), log.end(), entry));
    }
};

TEST(Steps51, TheAddressStepAndTheFramesLoopsGoThroughTheFormsHooks) {
    SimBench b("W78E51");
    b.wb->FileNew();
    SetEndAddr(b, 0x1FF);
    PathForm f(*b.wb);
    const Mcs51Row r{.Name = "512 bytes", .LastAddress = 0x1FF};

    EXPECT_TRUE(f.Run({At(0x123), NextAddress}));
    EXPECT_EQ(f.log, (std::vector<std::string>{"A291", "+"}));

    // The read walk by the form's unit: 64 bytes at each address it sets.
    f.log.clear();
    f.ReadImage51(r);
    std::vector<std::string> want;
    for (int a = 0; a < 0x200; a += 64) want.insert(want.end(), {"A" + std::to_string(a), "R"});
    EXPECT_EQ(f.log, want);

    // Write's loops: the form's byte program and next address for every byte.
    f.log.clear();
    f.PageLoop51(r);
    EXPECT_EQ(f.Count("A0") + f.Count("A256"), 2u);
    EXPECT_EQ(f.Count("P"), 512u);
    EXPECT_EQ(f.Count("+"), 512u);
    f.log.clear();
    f.ByteLoop(r);
    EXPECT_EQ(f.Count("A0") + f.Count("A256"), 2u);
    EXPECT_EQ(f.Count("P"), 512u);
}

}  // namespace
}  // namespace quilla::test
