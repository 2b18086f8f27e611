// The fault sweep over the AVR Writes and batches the other files do not
// sweep: the ATmega162 grid form and the vex310's host-driven AT90S8515 form.
// A batch's success texts are judged against the clean run: the k-th text
// shown under a fault must be the clean run's k-th text, with the chip (flash,
// EEPROM, fuses and lock bits) as the clean run had it then.
#include <functional>
#include <memory>
#include <vector>

#include "algo/avr/atmega162.h"
#include "avr_bench.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

// A one-page flash and a short EEPROM keep the ATmega162 sweep short.
class SmallAtmega162 : public TAtmega162x {
public:
    using TAtmega162x::TAtmega162x;
    void FillRows() override {
        TAtmega162x::FillRows();
        Rows[2].FlashLast = 0x7F;
        Rows[2].EepromLast = 0x3;
    }
};

struct Case {
    const char* name;
    const char* device;
    const char* model;
    const char* line;
    const char* button;
    bool small162;  // the ATmega162 form with the short row
};

struct Bench : AvrBench {
    explicit Bench(const Case& c) : AvrBench(c.device, c.model) {
        RandomImage(0x4200, 12);
        AlgoForm& f = Line(c.line);
        if (c.small162) {
            own = std::make_unique<SmallAtmega162>(*wb);
            own->SetupForDevice();
            form = own.get();
        } else {
            form = &f;
        }
    }
    // What a success text can promise: the chip's cells, fuses and lock bits.
    std::vector<std::uint8_t> State() {
        auto c = Chip();
        std::vector<std::uint8_t> v(c.begin(), c.end());
        for (int i = 0; i < 3; ++i) v.push_back(Avr().Fuse(i));
        v.push_back(Avr().Lock());
        return v;
    }
    std::unique_ptr<AlgoForm> own;
    AlgoForm* form = nullptr;
};

class AvrSweep : public ::testing::TestWithParam<Case> {};

TEST_P(AvrSweep, NoSuccessTextWithTheChipOtherThanTheCleanRunHadIt) {
    const Case c = GetParam();
    // The clean run: each success text and the chip's state when it was shown.
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> clean;
    {
        Bench b(c);
        b.form->SetSuccessListener([&](const std::string& t) { clean.emplace_back(t, b.State()); });
        b.form->Click(c.button);
        b.form->SetSuccessListener(nullptr);
        ASSERT_FALSE(clean.empty());
        EXPECT_TRUE(b.FlashHoldsImage() || c.small162) << "the clean run writes the image";
    }
    auto step = std::make_shared<std::size_t>(0);
    FaultSweep s;
    s.prepare = [c, step] {
        *step = 0;
        return std::unique_ptr<SimBench>(std::make_unique<Bench>(c));
    };
    s.form = [](SimBench& b) -> AlgoForm& { return *static_cast<Bench&>(b).form; };
    const std::string button = c.button;
    s.operation = [button](SimBench&, AlgoForm& f) { f.Click(button); };
    s.holds = [&clean, step](SimBench& sb, const std::string& text) {
        const std::size_t k = (*step)++;
        return k < clean.size() && clean[k].first == text && clean[k].second == static_cast<Bench&>(sb).State();
    };
    EXPECT_GT(s.Run().transfers, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, AvrSweep,
    ::testing::Values(Case{"ATMEGA162_write", "ATmega162", "vex520", "ATMEGA162 2", "Write", true},
                      Case{"ATMEGA162_batch", "ATmega162", "vex520", "ATMEGA162 2", "Button1", true},
                      Case{"AT90S8515S_vex310_write", "AT90S8515", "vex310", "AT90S8515S 2", "Write", false}),
    CaseName([](const Case& c) { return std::string(c.name); }));

}  // namespace
}  // namespace quilla::test
