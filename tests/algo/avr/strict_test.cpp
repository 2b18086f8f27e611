// The ATmega form against the strict chip: variants of the form with one step
// changed never leave the image in the chip with a passing Verify, and the
// fault sweep finds no false success in Write and the batch.
#include <functional>
#include <memory>

#include "algo/avr/atmega.h"
#include "avr_bench.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using namespace hvline;

// ---- one step changed ------------------------------------------------------------------------------

struct Change {
    const char* name;
    std::function<void(AvrRow&)> row;
    bool bs1HighAtEntry = false;
    bool noPagel = false;
    bool highByteAfterWr = false;
    bool vppBeforeVcc = false;      // 12 V on RESET before VCC (the socket reports it too)
    const char* violation = nullptr;  // the violation the change is expected to cause
    bool noPageWait = false;          // the wait after each page's WR pulse left out
};

class ChangedAtmegax : public TAtmegax {
public:
    ChangedAtmegax(Workbench& w, const Change& c) : TAtmegax(w), c_(c) {}
    void FillRows() override {
        TAtmegax::FillRows();
        if (c_.row) c_.row(Rows[1]);
    }
    void PagelPulse() override {
        if (!c_.noPagel) TAtmegax::PagelPulse();
    }
    int EnterProgramming() override {
        if (c_.vppBeforeVcc) {
            // The full entry with the supplies the wrong way round: 12 V on
            // RESET first, VCC after it.
            const AvrRow& r = Row();
            if (Ep3.CheckPinContact(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) == 0) return 0;
            Ep3.GndPin(r.GndPin);
            DataDirection(0);
            Ep3.UsbPut1(proto::OpPrepare);
            LineLow(Direction);
            LineLow(OE);
            LineHigh(WR);
            for (int n : {XTAL1, XA0, XA1, Entered, BS1, BS2, PAGEL}) LineLow(n);
            Ep3.VppPin(r.VppPin);
            Ep3.UsbPut1(proto::OpWaitPulse);
            Ep3.VccPin(r.VccPin);
            Ep3.UsbPut1(proto::OpPrepare);
            LineHigh(Entered);
            Ep3.UsbPut1(proto::OpWait100ms);
            Ep3.UsbFlush();
            return 1;
        }
        if (!c_.bs1HighAtEntry) return TAtmegax::EnterProgramming();
        // The full entry with BS1 (Prog_enable[0]) high when RESET reaches 12 V.
        const AvrRow& r = Row();
        if (Ep3.CheckPinContact(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) == 0) return 0;
        Ep3.GndPin(r.GndPin);
        Ep3.VccPin(r.VccPin);
        for (int n : {Direction, OE, XTAL1, XA0, XA1, Entered, BS2, PAGEL}) LineLow(n);
        LineHigh(WR);
        LineHigh(BS1);
        Ep3.UsbPut1(proto::OpWaitPulse);
        Ep3.VppPin(r.VppPin);
        Ep3.UsbPut1(proto::OpWait100ms);
        LineLow(BS1);
        Ep3.UsbFlush();
        return 1;
    }
    void ProgramFlashPages(int pageWaits) override {
        if (c_.noPageWait) return TAtmegax::ProgramFlashPages(0);
        if (!c_.highByteAfterWr) return TAtmegax::ProgramFlashPages(pageWaits);
        // The address high byte loaded after the page's WR pulse, not before its data.
        const AvrRow& r = Row();
        LineLow(Direction);
        LineHigh(OE);
        LoadCommand(hvcmd::WriteFlash);
        for (std::int32_t s = 0; s <= r.FlashLast; s += r.FlashPage) {
            for (std::int32_t j = 0; j < r.FlashPage; j += 2) {
                LineLow(BS1);
                LoadAddress(static_cast<std::uint8_t>(((s + j) >> 1) & 0xFF));
                LoadData(wb.ImageBuffer[static_cast<std::size_t>(s + j)]);
                LineHigh(BS1);
                LoadData(wb.ImageBuffer[static_cast<std::size_t>(s + j + 1)]);
                PagelPulse();
            }
            LineLow(BS1);
            WrPulse();
            for (int i = 0; i < pageWaits; ++i) Ep3.UsbPut1(proto::OpWait1ms);
            LineHigh(BS1);
            LoadAddress(static_cast<std::uint8_t>((s >> 9) & 0xFF));
            Ep3.UsbFlush();
        }
    }

private:
    const Change& c_;
};

const Change kChanges[] = {
    {"VPP on a pin that is not RESET", [](AvrRow& r) { r.VppPin = 5; }},
    {"BS1 high when RESET reaches 12 V", nullptr, true},
    {"no PAGEL pulse", nullptr, false, true},
    {"address high byte after WR", nullptr, false, false, true},
    {"12 V on RESET before VCC", nullptr, false, false, false, true, "while VCC is off"},
    {"no wait after a page write", nullptr, false, false, false, false, nullptr, true},
};

class OneStepChanged : public ::testing::TestWithParam<Change> {};

TEST_P(OneStepChanged, VerifyFails) {
    AvrBench b("ATmega8");
    b.RandomImage(0x2200, 6);
    b.Line("ATMEGAX 1 pkg=28");
    ChangedAtmegax f(*b.wb, GetParam());
    f.SetupForDevice();
    if (GetParam().violation) b.ExpectViolation(GetParam().violation);
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_FALSE(b.FlashHoldsImage());
}

INSTANTIATE_TEST_SUITE_P(Atmegax, OneStepChanged, ::testing::ValuesIn(kChanges),
                         CaseName([](const Change& c) { return std::string(c.name); }));

TEST(OneStepChanged, TheUnchangedFormPasses) {
    AvrBench b("ATmega8");
    b.RandomImage(0x2200, 6);
    b.Line("ATMEGAX 1 pkg=28");
    static const Change none{"none", nullptr};
    ChangedAtmegax f(*b.wb, none);
    f.SetupForDevice();
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    EXPECT_TRUE(b.FlashHoldsImage());
}

TEST(StrictChip, ProgrammingOnlyClearsBits) {
    AvrBench b("ATmega8");
    b.RandomImage(0x2200, 7);
    AlgoForm& f = b.Line("ATMEGAX 1 pkg=28");
    f.Click("Write");
    b.RandomImage(0x2200, 8);  // another image, written without an erase
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    f.Click("Erase");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
}

TEST(StrictChip, ShortPageWaitsLoseTheWritesOfASlowChip) {
    // 5 ms a page ("Fast写") against a chip that needs about 9 ms; ten waits cover it.
    for (const auto& [speed, ok] : {std::pair{"Fast写", false}, std::pair{"Slow  ", true}}) {
        AvrBench b("ATmega8");
        b.Avr().SetSlowFactor(2.0);
        b.RandomImage(0x2200, 9);
        AlgoForm& f = b.Line("ATMEGAX 1 pkg=28");
        f.SetText("Speed", speed);
        f.Click("Write");
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), ok ? "OK!!!" : "Failed..! ") << speed;
    }
}

TEST(StrictChip, LockModeThreeHidesFlashAndLockModeTwoStopsWrites) {
    AvrBench b("ATmega8");
    b.RandomImage(0x2200, 10);
    AlgoForm& f = b.Line("ATMEGAX 1 pkg=28");
    f.Click("Write");
    f.SetChecked("CheckBox17", true);  // LB1: no more programming
    f.Click("Secrity");
    EXPECT_EQ(b.Avr().Lock(), 0xFE);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    f.SetChecked("CheckBox1", true);
    f.Click("WtFuse");
    EXPECT_EQ(b.Avr().Fuse(0), 0xE1) << "fuses are locked with LB1";
    f.SetChecked("CheckBox18", true);  // LB2 as well: no verification
    f.Click("Secrity");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    f.Click("Erase");
    EXPECT_EQ(b.Avr().Lock(), 0xFF);
}

// ---- the fault sweep ---------------------------------------------------------------------------------

// A two-page flash and a one-page EEPROM of the ATmega8 row keep the sweep short.
class SmallAtmegax : public TAtmegax {
public:
    using TAtmegax::TAtmegax;
    void FillRows() override {
        TAtmegax::FillRows();
        Rows[1].FlashLast = 0x7F;
        Rows[1].EepromLast = 0x3;
    }
};

struct SweepBench : AvrBench {
    SweepBench() : AvrBench("ATmega8") {
        RandomImage(0x84, 12);
        std::fill(Image() + 0x84, Image() + 0x2000, 0xFF);
        Line("ATMEGAX 1 pkg=28");
        form = std::make_unique<SmallAtmegax>(*wb);
        form->SetupForDevice();
        form->SetChecked("CheckBox14", true);  // SPIEN
        form->SetChecked("CheckBox19", true);  // BLB01
        form->SetChecked("CheckBoxCalibrate", false);
    }
    bool FlashHolds() { return std::equal(Avr().Flash().begin(), Avr().Flash().begin() + 0x80, Image()); }
    bool EepromHolds() { return std::equal(Avr().Eeprom().begin(), Avr().Eeprom().begin() + 4, Image() + 0x80); }
    std::unique_ptr<SmallAtmegax> form;
    int texts = 0;  // success texts so far in the batch
};

TEST(AtmegaxSweep, WriteNeverClaimsAFlashItDidNotWrite) {
    FaultSweep s;
    s.prepare = [] { return std::make_unique<SweepBench>(); };
    s.form = [](SimBench& b) -> AlgoForm& { return *static_cast<SweepBench&>(b).form; };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) { return static_cast<SweepBench&>(b).FlashHolds(); };
    const auto r = s.Run();
    EXPECT_GT(r.transfers, 2);
}

TEST(AtmegaxSweep, TheBatchNeverClaimsAStepTheChipDoesNotShow) {
    FaultSweep s;
    s.prepare = [] { return std::make_unique<SweepBench>(); };
    s.form = [](SimBench& b) -> AlgoForm& { return *static_cast<SweepBench&>(b).form; };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button1"); };
    // The success texts of a clean pass, in order: erase, blank, write, verify,
    // EEPROM, fuses, lock (twice), end.
    s.holds = [](SimBench& sb, const std::string& text) {
        auto& b = static_cast<SweepBench&>(sb);
        auto& chip = b.Avr();
        const int step = b.texts++;
        const bool blank = std::all_of(chip.Flash().begin(), chip.Flash().end(), [](auto v) { return v == 0xFF; });
        switch (step) {
            case 0: return text == "Erase OK" && blank;
            case 1: return text == "OK!" && blank;
            case 2: return text == "OK" && b.FlashHolds();
            case 3: return text == "OK!!!" && b.FlashHolds();
            case 4: return text == "OK" && b.EepromHolds();
            case 5: return text == "Fuse OK!" && chip.Fuse(1) == 0xDF;
            case 6:
            case 7: return (text == "OK!" || text == "OK") && chip.Lock() == 0xFB;
            default:
                return text == "End OK.." && b.FlashHolds() && b.EepromHolds() && chip.Fuse(1) == 0xDF &&
                       chip.Lock() == 0xFB;
        }
    };
    const auto r = s.Run();
    EXPECT_GT(r.transfers, 10);
}

}  // namespace
}  // namespace quilla::test
