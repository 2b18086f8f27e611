// The fault sweep over the Write and the batch of every 8051 form the other
// sweeps leave out: whatever link fault strikes whichever transfer, no success
// text is shown while the chip does not hold what it promises. Small parts and
// short files keep each case to seconds.
#include <memory>
#include <set>
#include <string>

#include "mcs51_bench.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

struct FormSweepCase {
    const char* part;
    const char* params;
    const char* button;  // "Write" or "Button1" (the batch)
    int end;             // EndAddr set after setup (-1: the form writes the whole chip whatever it says)
    std::set<std::string> blankTexts;   // success texts of the erase and the blank check: the chip is blank
    std::set<std::string> eitherTexts;  // texts the erase shares with Write and Verify: blank or the image
};

class FormSweep : public ::testing::TestWithParam<FormSweepCase> {};

TEST_P(FormSweep, NoSuccessTextWithTheChipWrong) {
    const FormSweepCase c = GetParam();
    FaultSweep s;
    s.prepare = [c] {
        auto b = std::make_unique<SimBench>(c.part);
        b->RandomImage(static_cast<int>(b->Chip().size()), 23);
        return b;
    };
    s.form = [c](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open(c.params);
        if (c.end >= 0) SetEndAddr(b, c.end);
        return f;
    };
    const std::string button = c.button;
    s.operation = [button](SimBench&, AlgoForm& f) { f.Click(button); };
    s.holds = [c](SimBench& b, const std::string& text) {
        const int n = c.end >= 0 ? c.end + 1 : static_cast<int>(b.Chip().size());
        const bool blank = b.ChipBlank(0, static_cast<int>(b.Chip().size()));
        if (c.blankTexts.count(text)) return blank;
        if (c.eitherTexts.count(text) && blank) return true;
        return b.ChipMatchesImage(0, n);  // Write, Verify, the lock, "End OK.."
    };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, FormSweep,
    ::testing::Values(
        FormSweepCase{"W78E51", "W7851 1", "Write", 0xFF, {}, {}},
        FormSweepCase{"W78E51", "W7851 1", "Button1", 0xFF, {}, {"OK"}},
        FormSweepCase{"W78LE54", "W78E516 2", "Write", 0xFF, {}, {}},
        FormSweepCase{"W78LE54", "W78E516 2", "Button1", 0xFF, {"Blank OK"}, {"OK"}},
        FormSweepCase{"AT89C55WD", "P89C5WD 0 #1E 55 fla=20480 otp=0", "Write", 0xFF, {}, {}},
        FormSweepCase{"AT89C55WD", "P89C5WD 0 #1E 55 fla=20480 otp=0", "Button1", 0xFF, {"Blank OK"}, {"OK"}},
        FormSweepCase{"P89C51RA2Hxx", "PHI89RX2 1 #15 C2 E0", "Write", 0xFF, {}, {}},
        FormSweepCase{"P89C51RA2Hxx", "PHI89RX2 1 #15 C2 E0", "Button1", 0xFF, {"END", "Blank OK"}, {}},
        FormSweepCase{"87C51", "PHI8758 2 #15 92", "Write", 0xFF, {}, {}},
        FormSweepCase{"87C51", "PHI8758 2 #15 92", "Button1", 0xFF, {"Blank OK"}, {}},
        FormSweepCase{"T89C51RB2", "AT89C51RC2 2", "Write", 0xFF, {}, {}},
        FormSweepCase{"T89C51RB2", "AT89C51RC2 2", "Button1", 0xFF, {"END", "Blank OK"}, {}},
        FormSweepCase{"SM8951A", "SM8951 1", "Write", 0xFF, {}, {}},
        FormSweepCase{"SM8951A", "SM8951 1", "Button1", 0xFF, {"Erased..", "Blank OK"}, {}},
        FormSweepCase{"MSU2951", "MSU2958 1", "Write", 0xFF, {}, {}},
        FormSweepCase{"MSU2951", "MSU2958 1", "Button1", 0xFF, {"Blank OK"}, {"OK"}},
        FormSweepCase{"DS89C430", "DS89C4X0 2 #DA 43 01", "Write", 0xFF, {}, {}},
        FormSweepCase{"DS89C430", "DS89C4X0 2 #DA 43 01", "Button1", 0xFF, {"Blank OK"}, {"OK"}},
        FormSweepCase{"AT89C1051", "P2051 1 #1E 11", "Write", -1, {}, {}},
        FormSweepCase{"AT89C1051", "P2051 1 #1E 11", "Button1", -1, {"OK!"}, {"OK"}},
        FormSweepCase{"P87LPC760", "PHI87LP 1", "Write", 0xFF, {}, {}},
        FormSweepCase{"P87LPC760", "PHI87LP 1", "Button2", 0xFF, {"Blank."}, {}}),
    CaseName([](const FormSweepCase& c) {
        return std::string(c.params).substr(0, std::string(c.params).find(' ')) + "_" + c.button;
    }));

}  // namespace
}  // namespace quilla::test
