// The fault sweep over the logic-device forms' Write and batch: no success
// text with the chip wrong, whatever link fault strikes at whichever transfer.
#include <algorithm>
#include <random>

#include "pld_test_support.h"
#include "sim/chips/g22v10.h"
#include "sim/chips/gal.h"
#include "support/fault_sweep.h"

namespace quilla::test {
namespace {

// The written fuses of a 16V8/PALCE layout of R rows equal the image.
bool Written(const SimBench& b, int rows) {
    const int a = rows * 64;
    for (int n = 0; n < a + 146; ++n) {
        if (n >= a + 80 && n < a + 144) continue;
        if (b.Chip()[static_cast<std::size_t>(n)] != b.wb->ImageBuffer[static_cast<std::size_t>(n)]) return false;
    }
    return true;
}

bool ArrayBlank(const SimBench& b, int rows) {
    const auto chip = b.Chip();
    return std::all_of(chip.begin(), chip.begin() + rows * 64, [](std::uint8_t c) { return c == '1'; });
}

// What a success text of these forms promises.
bool Holds(const SimBench& b, const std::string& text, int rows, bool secured) {
    if (text == "Erased.." || text == "Blank.") return ArrayBlank(b, rows);
    if (text == "End OK..") return Written(b, rows) && secured;
    return Written(b, rows);
}

FaultSweep GalSweep(std::function<void(SimBench&, AlgoForm&)> op) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("GAL16V8B");
        b->Open("GAL3M 3");
        LoadJedFile(*b, PldFixture("and16v8.jed"));
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("GAL3M 3"); };
    s.operation = std::move(op);
    s.holds = [](SimBench& b, const std::string& text) {
        return Holds(b, text, 32, b.ChipAs<sim::GalChip>().Cells().Secured());
    };
    return s;
}

TEST(PldSweep, GalWrite) {
    const FaultSweep::Result r = GalSweep([](SimBench&, AlgoForm& f) { f.Click("Write"); }).Run();
    EXPECT_GT(r.transfers, 64);
}

TEST(PldSweep, GalBatch) {
    GalSweep([](SimBench&, AlgoForm& f) {
        f.SetChecked("CheckBox2", false);  // the blank check's reads add nothing the verify does not
        f.Click("Button1");
    }).Run();
}

FaultSweep PalceSweep(std::function<void(SimBench&, AlgoForm&)> op) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("PALCE16V8H");
        b->Open("PALCEGAL 1");
        std::mt19937 rng(8);
        for (int n = 0; n < 34 * 64 + 146; ++n) b->Image()[n] = (rng() & 1) ? '1' : '0';
        std::fill(b->Image() + 34 * 64 + 80, b->Image() + 34 * 64 + 144, '1');
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("PALCEGAL 1"); };
    s.operation = std::move(op);
    s.holds = [](SimBench& b, const std::string& text) {
        return Holds(b, text, 34, b.ChipAs<sim::PalceChip>().Cells().Secured());
    };
    return s;
}

TEST(PldSweep, PalceWrite) {
    PalceSweep([](SimBench&, AlgoForm& f) { f.Click("Write"); }).Run();
}

TEST(PldSweep, PalceBatch) {
    // Write and Lock: the batch's own steps (the verify's 2,176 reply exchanges
    // are swept through the GAL's).
    PalceSweep([](SimBench&, AlgoForm& f) {
        f.SetChecked("CheckBox2", false);
        f.SetChecked("CheckBox4", false);
        f.SetChecked("CheckBox5", true);
        f.Click("Button1");
    }).Run();
}

// The 22V10 form's Write is one transfer of row commands; its batch is swept
// with Erase and Write (the verify's 5,828 reply exchanges are one per bit and
// are swept through the GAL form's reads).
FaultSweep G22v10Sweep(std::function<void(SimBench&, AlgoForm&)> op, bool erases) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("GAL22V10");
        b->Open("P22V10 1");
        LoadJedFile(*b, PldFixture("sum22v10.jed"));
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("P22V10 1"); };
    s.operation = std::move(op);
    s.holds = [erases](SimBench& b, const std::string& text) {
        const auto chip = b.Chip();
        // "End." is also the erase's text: a blank chip keeps that promise.
        if (erases && text == "End." && std::all_of(chip.begin(), chip.end(), [](std::uint8_t c) { return c == '1'; }))
            return true;
        const std::uint8_t* image = b.Image();
        return std::equal(image, image + sim::G22v10Chip::JedecFuses, chip.begin());
    };
    return s;
}

TEST(PldSweep, G22v10Write) {
    G22v10Sweep([](SimBench&, AlgoForm& f) { f.Click("Write"); }, false).Run();
}

TEST(PldSweep, G22v10Batch) {
    G22v10Sweep([](SimBench& b, AlgoForm& f) {
        b.ChipAs<sim::G22v10Chip>().MutableContents()[9] = '0';  // not blank before the erase
        f.SetChecked("CheckBox1", true);
        f.SetChecked("CheckBox4", false);
        f.Click("Button1");
    }, true).Run();
}

}  // namespace
}  // namespace quilla::test
