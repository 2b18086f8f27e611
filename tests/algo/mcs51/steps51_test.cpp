// The step machinery of the 8051 forms (algo/mcs51/steps51.h): what a run
// sends, where it stops, and how it reaches the form's own routines.
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
        {"an ignored pair check", {PairCheck, Data(0x55)}, 1, true, {0x55}, {}, 0},
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

}  // namespace
}  // namespace quilla::test
