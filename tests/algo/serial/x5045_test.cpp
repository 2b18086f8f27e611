// The X5045 form end to end on the X5045 model: byte writes, the A8 bit in the
// instruction, the status register's block protection, mass production.
#include <algorithm>
#include <functional>
#include <tuple>

#include "algo/serial/x5045.h"
#include "sim/chips/spi25.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

// The bits the host put on SI (line 2) while clocking SCK (line 1), as bytes.
std::vector<std::uint8_t> SiBytes(const Tap& tap) {
    std::vector<std::uint8_t> out;
    bool si = false;
    int bits = 0;
    std::uint8_t v = 0;
    for (const auto& c : tap.commands) {
        if (c[0] != proto::OpWriteReg || c.size() < 3 || c[1] != proto::RegControlLines) continue;
        if ((c[2] & 0x7F) == 2) si = (c[2] & 0x80) != 0;
        if ((c[2] & 0x7F) == 3 && !(c[2] & 0x80)) bits = 0;  // /CS low: a new instruction
        if (c[2] == (1 | 0x80)) {
            v = static_cast<std::uint8_t>((v << 1) | (si ? 1 : 0));
            if (++bits % 8 == 0) out.push_back(v);
        }
    }
    return out;
}

TEST(X5045x, WriteVerifyReadAndTheA8Bit) {
    SimBench b("X5045");
    b.RandomImage(512, 100);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + 512);
    AlgoForm& f = b.Open("X5045 1");
    EXPECT_EQ(f.Text("Msg"), "OK ");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "Done");
    EXPECT_TRUE(b.ChipMatchesImage(0, 512));
    const auto sent = SiBytes(*b.tap);
    const std::vector<std::uint8_t> at1a5{0x0A, 0xA5, image[0x1A5]};
    EXPECT_NE(std::search(sent.begin(), sent.end(), at1a5.begin(), at1a5.end()), sent.end());
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Verified!");
    std::fill(b.Image(), b.Image() + 512, 0);
    b.tap->commands.clear();
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "Data in buffer..");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
    const auto read = SiBytes(*b.tap);
    const std::vector<std::uint8_t> r1a5{0x0B, 0xA5};
    EXPECT_NE(std::search(read.begin(), read.end(), r1a5.begin(), r1a5.end()), read.end());
}

// The 14-lead part on "x5045dip14": the same bus on socket 14-27. Verify runs
// with the contact test off, so it tests the row's own supply pins (27, 20).
// The write cycle is the sheet's maximum, 10 ms, which the form's one 10 ms
// wait after each byte covers: a chip a fifth slower than that is still busy
// when the next byte comes, so a form waiting less than its 10 ms fails.
TEST(X5045x, TheWriteCycleFillsTheFormsTenMillisecondWait) {
    for (const double slow : {1.0, 1.2}) {
        SCOPED_TRACE(slow);
        SimBench b("X5045");
        b.RandomImage(512, 100);
        b.sim->GetChip()->SetSlowFactor(slow);
        AlgoForm& f = b.Open("X5045 1");
        f.Click("Write");
        EXPECT_EQ(b.ChipMatchesImage(0, 512), slow == 1.0);
        if (slow > 1.0) {
            EXPECT_FALSE(b.sim->GetChip()->Refusals().empty());
        }
    }
}

TEST(X5045x, TheFourteenLeadPackageWritesVerifiesAndReads) {
    SimBench b("X5045V14");
    b.RandomImage(512, 104);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + 512);
    AlgoForm& f = b.Open("X5045 2");
    EXPECT_EQ(f.Text("Msg"), "OK ");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "Done");
    EXPECT_TRUE(b.ChipMatchesImage(0, 512));
    b.wb->options.ContactCheck = false;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Verified!");
    f.Choose("RadioGroup1", 2);  // "100h-1ffh"
    f.Click("WriteStatus");
    f.Click("ReadStatus");
    EXPECT_EQ(f.Text("Msg"), "Status: 38");
    std::fill(b.Image(), b.Image() + 512, 0);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "Data in buffer..");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
    b.Image()[0x100] ^= 0xFF;
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(f.Text("Edit6"), "0100");
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

// Each package on the other's row: the contact test names the row's pins the
// part does not reach (the other package's /CS, SO and VCC), and Cancel there
// leaves the chip alone.
TEST(X5045x, APackageOnTheOtherRowFailsTheContactTest) {
    for (const auto& [chip, row, pins] : {std::tuple{"X5045", "X5045 2", "14, 15, 27, "},
                                          std::tuple{"X5045V14", "X5045 1", "17, 18, 24, "}}) {
        SimBench b(chip);
        b.RandomImage(512, 105);
        AlgoForm& f = b.Open(row);
        b.prompts.answers.push_back(BtnCancel);
        f.Click("Write");
        ASSERT_FALSE(b.prompts.shown.empty()) << chip;
        EXPECT_NE(b.prompts.Last().find(pins), std::string::npos) << b.prompts.Last();
        EXPECT_NE(f.Text("Msg"), "Done") << chip;
        EXPECT_FALSE(b.ChipMatchesImage(0, 512)) << chip;
    }
}

TEST(X5045x, TheUpperHalfProtectedKeepsItsBytes) {
    SimBench b("X5045");
    b.RandomImage(512, 101);
    AlgoForm& f = b.Open("X5045 1");
    f.Click("Write");
    f.Choose("RadioGroup1", 2);  // "100h-1ffh"
    EXPECT_EQ(f.ItemIndex("RadioGroup2"), 3);  // "禁止"
    f.Click("WriteStatus");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("ReadStatus");
    EXPECT_EQ(f.Text("Msg"), "Status: 38");
    b.Image()[0x100] ^= 0xFF;
    b.Image()[0x0FF] ^= 0xFF;
    f.Click("Write");
    EXPECT_EQ(b.Chip()[0x0FF], b.Image()[0x0FF]) << "the lower half is written";
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(f.Text("Edit6"), "0100");
}

TEST(X5045x, EraseWritesFfAndBlankChecks) {
    SimBench b("X5045");
    b.RandomImage(512, 102);
    AlgoForm& f = b.Open("X5045 1");
    f.Click("Write");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "No empty.");
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "Done");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank");
}

TEST(X5045x, MassProductionCountsEachGoodChipAndAFailingOneEndsIt) {
    SimBench b("X5045", "vex520", true);
    b.RandomImage(512, 103);
    AlgoForm& f = b.Open("X5045 1");
    b.tap->record = false;
    b.wb->options.MassProduction = true;
    int passes = 0;
    const sim::Chip* second = nullptr;
    f.SetSuccessListener([&](const std::string& t) {
        if (t != "End OK..") return;
        EXPECT_TRUE(b.ChipMatchesImage(0, 512));
        if (++passes == 2) second = b.sim->GetChip();
    });
    // The third chip is slower than the form's 10 ms byte wait.
    b.tap->beforeOut = [&](int) {
        sim::Chip* c = b.sim->GetChip();
        if (second && c && c != second) c->SetSlowFactor(3);
    };
    f.Click("Button1");
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(b.wb->Counter, "2");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
}

TEST(X5045x, WithTheContactTestOffAnEmptySocketIsNotBlank) {
    for (const char* row : {"X5045 1", "X5045 2"}) {
        SimBench b("");
        b.wb->options.ContactCheck = false;
        AlgoForm& f = b.Open(row);
        f.Click("Blank");
        EXPECT_NE(f.Text("Msg"), "Blank") << row;
        EXPECT_EQ(b.wb->ErrorFlag(), 1) << row;
    }
}

// The fault sweep over W.Data and the batch: a lost or failed transfer never
// ends in a success text with the chip not holding the image ("OK" of
// W.status promises no data, "Done" and "Verified!" promise all 512 bytes).
FaultSweep X5045Sweep(std::function<void(SimBench&, AlgoForm&)> op) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("X5045");
        b->RandomImage(512, 108);
        b->Open("X5045 1");
        b->tap->record = false;
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("X5045 1"); };
    s.operation = std::move(op);
    s.holds = [](SimBench& b, const std::string& text) { return text == "OK" || b.ChipMatchesImage(0, 512); };
    return s;
}

TEST(X5045Sweep, WriteShowsDoneOnlyWithTheImageInTheChip) {
    EXPECT_GT(X5045Sweep([](SimBench&, AlgoForm& f) { f.Click("Write"); }).Run().transfers, 3);
}

// The batch's W.Data transfers are swept in full above; here a lost transfer and
// a missing reply (the kinds that could hide a failure in W.status or Verify).
TEST(X5045Sweep, BatchEndsOkOnlyWithTheImageInTheChip) {
    FaultSweep s = X5045Sweep([](SimBench&, AlgoForm& f) { f.Click("Button1"); });
    s.faults = {LinkFault::OutFailure, LinkFault::NoReply};
    EXPECT_GT(s.Run().transfers, 3);
}

}  // namespace
}  // namespace quilla::test
