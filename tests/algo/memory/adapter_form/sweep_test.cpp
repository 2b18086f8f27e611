// The fault sweep over the adapter forms' Write and batch: no success text with
// the chip wrong, whatever link fault strikes at whatever transfer.
#include <algorithm>

#include "sim/chips/jedec.h"
#include "sim/designs/adapter_boards.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

FaultSweep AdapterSweep(const char* part, const char* params, const char* end, std::uint8_t oldData) {
    FaultSweep s;
    const std::string p = part, params_ = params, end_ = end;
    s.prepare = [p, oldData] {
        auto b = std::make_unique<SimBench>(p);
        auto cells = b->sim->GetChip()->MutableContents();
        std::fill(cells.begin(), cells.end(), oldData);
        b->RandomImage(0x800, 61);
        return b;
    };
    s.form = [params_, end_](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open(params_);
        f.Enter("Edit3", end_);
        return f;
    };
    return s;
}

TEST(AdapterSweep, P29f640WriteShowsNoFalseSuccess) {
    FaultSweep s = AdapterSweep("AT49F002", "P29F640 7 mem=2 dly=110 prt=3 msk=2 vcc=5000", "3ff", 0xFF);
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, 0x400); };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 5);
}

TEST(AdapterSweep, P29f640BatchShowsNoFalseSuccess) {
    // Blank?, W. and Vrfy on a blank chip: the chip erase's two hundred long-wait transfers
    // would make the sweep long.
    FaultSweep s = AdapterSweep("AT49BV322A", "P29F640 1 mem=6 dly=200 prt=3 msk=10 vcc=3300", "7ff", 0xFF);
    s.operation = [](SimBench&, AlgoForm& f) {
        f.SetChecked("CheckBox1", false);
        f.Click("Button1");
    };
    // "OK" (the blank check) is true of a blank range; "OK!", "OK.." and "End OK.." of the image.
    s.holds = [](SimBench& b, const std::string& text) {
        if (text == "OK") return b.ChipBlank(0, 0x800);
        return b.ChipMatchesImage(0, 0x800);
    };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 10);
}

TEST(AdapterSweep, F640WriteAndBatchShowNoFalseSuccess) {
    for (bool batch : {false, true}) {
        FaultSweep s = AdapterSweep("28F160C3B", "F640 1 mem=5 dly=12 oth=2 vcc=3300", "3ff", 0xFF);
        s.operation = [batch](SimBench&, AlgoForm& f) {
            f.SetChecked("CheckBox1", false);  // Blank?, W., Vrfy: the block erase waits would make it long
            f.Click(batch ? "Button1" : "Write");
        };
        s.holds = [](SimBench& b, const std::string& text) {
            if (text == "OK") return b.ChipBlank(0, 0x400);
            return b.ChipMatchesImage(0, 0x400);
        };
        const FaultSweep::Result r = s.Run();
        EXPECT_GT(r.transfers, 5);
    }
}

TEST(AdapterSweep, I27cxWriteAndBatchShowNoFalseSuccess) {
    for (bool batch : {false, true}) {
        FaultSweep s = AdapterSweep("AM27C1024", "I27CX 2 mem=2 dly=1 vcc=6250", "1ff", 0xFF);
        const auto prepare = s.prepare;
        s.prepare = [prepare] {
            auto b = prepare();
            std::fill(b->Image() + 0x200, b->Image() + 0x20000, 0xFF);  // Verify compares the whole chip
            return b;
        };
        s.operation = [batch](SimBench&, AlgoForm& f) {
            f.SetChecked("CheckBox2", false);  // W. and Vrfy
            f.Click(batch ? "Button1" : "Write");
        };
        s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, 0x200); };
        const FaultSweep::Result r = s.Run();
        EXPECT_GT(r.transfers, 5);
    }
}

TEST(AdapterSweep, Mx29x161xWriteAndBatchShowNoFalseSuccess) {
    for (bool batch : {false, true}) {
        FaultSweep s = AdapterSweep("MX29F1611", "MX29X161X 5 #C2 F1 pkg=44 gnd=100 dly=12 vcc=5000", "1ff", 0xFF);
        const auto prepare = s.prepare;
        s.prepare = [prepare] {
            auto b = prepare();
            std::fill(b->Image() + 0x200, b->Image() + 0x2001, 0xFF);  // Verify compares whole 8 KiB blocks
            return b;
        };
        s.operation = [batch](SimBench&, AlgoForm& f) {
            f.SetChecked("CheckBox1", false);  // Blank?, W., Vrfy
            f.Click(batch ? "Button1" : "Write");
        };
        s.holds = [](SimBench& b, const std::string& text) {
            if (text == "OK") return b.ChipBlank(0, 0x2000);
            return b.ChipMatchesImage(0, 0x200);
        };
        const FaultSweep::Result r = s.Run();
        EXPECT_GT(r.transfers, 10);
    }
}

TEST(AdapterSweep, Hn29andWriteShowsNoFalseSuccess) {
    FaultSweep s = AdapterSweep("AT49BV322A", "HN29AND 1 pkg=4802 we0=66 dly=200 era=2901", "3ff", 0xFF);
    s.prepare = [] {
        // The part on the tsop29cmd2aa board (VCC on socket 34, ground on 31).
        auto b = std::make_unique<SimBench>("AT49BV322A");
        b->sim->RemoveChipModel();
        b->sim->SeatChip(std::make_unique<sim::JedecFlash>(*sim::FindJedecPart("AT49BV322A")),
                         sim::FindAdapterBoard("tsop29cmd2aa")->Place());
        b->RandomImage(0x400, 63);
        return b;
    };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, 0x400); };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 3);
}

}  // namespace
}  // namespace quilla::test
