// What a new user met on `quilla --simulate`, proven through the program's own
// wiring (the start-up connection, the selection dialog, its dispatch seating
// the chip): fresh chips of sub-40-pin parts, serial memories, the JTAG path,
// the testers after every other family, an empty socket, a form closed in
// the middle of mass production, mass-production runs that end by themselves
// after the simulated operator's chips, and a form left open while the
// programmer is unplugged and plugged in again.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/jedec.h"
#include "app/svf.h"
#include "engine/usb/libusb_driver.h"
#include "sim/operator.h"
#include "sim/usb_device.h"
#include "support/fixtures.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using Program = SimBench::ProgramStart;

std::string Status(AlgoForm& f) { return f.Text(f.StatusName()); }

const std::vector<std::string>& View(AlgoForm& f) { return f.Get("RichEdit1").Items; }

void PutSvfText(SimBench& b, const std::string& text) {
    b.wb->SvfFileW = std::make_unique<SvfWindowState>();
    b.wb->SvfFileW->Lines = SplitSvfLines(text);
    b.wb->DataFileName = "idcode.svf";
}

// The IDCODE of any XC9536XL (instruction fe), the version nibble masked.
constexpr const char* kIdcodeSvf = "SIR 8 TDI (fe);\nSDR 32 TDI (00000000) TDO (09602093) MASK (0fffffff);\n";

// ---- fresh chips through the selection ---------------------------------------------------------

TEST(ProgramPath, At89c2051FreshChipIsBlankAndTheDefaultBatchEndsOk) {
    SimBench b(Program{});
    AlgoForm* f = b.Select("MPU", "ATMEL", "AT89C2051");
    ASSERT_NE(f, nullptr);
    f->Click("Blank");
    EXPECT_EQ(Status(*f), "OK!");
    b.RandomImage(0x800, 21);
    f->Click("Button1");
    EXPECT_EQ(Status(*f), "End OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    EXPECT_EQ(b.wb->Counter, "1");
}

// Blank? on a chip holding bytes at 0123 and 0456 names the first of them.
TEST(ProgramPath, At89c2051FailingBlankShowsTheFirstByteThatIsNotBlank) {
    SimBench b(Program{});
    AlgoForm* f = b.Select("MPU", "ATMEL", "AT89C2051");
    ASSERT_NE(f, nullptr);
    b.Image()[0x123] = 0x5A;
    b.Image()[0x456] = 0x00;
    f->Click("Write");
    ASSERT_EQ(Status(*f), "OK");
    f->Click("Blank");
    EXPECT_EQ(Status(*f), "No empty.");
    EXPECT_EQ(f->Text("Edit6"), "0123");
}

struct RunCase {
    const char* name;
    const char* category;
    const char* mfr;
    const char* item;
    int bytes;          // image bytes written and checked from 0
    const char* ended;  // the batch's success text
};
class BatchThroughTheProgram : public ::testing::TestWithParam<RunCase> {};

TEST_P(BatchThroughTheProgram, EndsWithItsSuccessTextAndTheChipHoldsTheImage) {
    const RunCase& c = GetParam();
    SimBench b(Program{});
    AlgoForm* f = b.Select(c.category, c.mfr, c.item);
    ASSERT_NE(f, nullptr);
    b.RandomImage(c.bytes, 5);
    f->Click("Button1");
    EXPECT_EQ(Status(*f), c.ended);
    EXPECT_TRUE(b.ChipMatchesImage(0, c.bytes));
}

INSTANTIATE_TEST_SUITE_P(Parts, BatchThroughTheProgram,
                         ::testing::Values(RunCase{"ATtiny26", "MPU", "ATMEL", "ATtiny26", 0x800, "End OK.."},
                                           RunCase{"AT25256", "SER", "ATMEL", "AT25256", 0x8000, "End OK.."},
                                           RunCase{"ATtiny11", "MPU", "ATMEL", "ATtiny11", 0x400, "End OK.."},
                                           RunCase{"AT89C1051", "MPU", "ATMEL", "AT89C1051", 0x400, "End OK.."}),
                         [](const ::testing::TestParamInfo<RunCase>& i) { return std::string(i.param.name); });

// The sub-40-pin parts, each as the first device of a fresh program: the
// fresh chip, 16 bytes written (odd bytes below 10h: a PIC word's high byte),
// verified, and held by the chip.
struct SmallCase {
    const char* name;
    const char* category;
    const char* mfr;
    const char* item;
    const char* fresh;
    const char* freshText;
    const char* writeText;
    const char* verifyText;
};
class SubFortyPinPart : public ::testing::TestWithParam<SmallCase> {};

TEST_P(SubFortyPinPart, FreshChipWriteAndVerifyThroughTheProgram) {
    const SmallCase& c = GetParam();
    SimBench b(Program{});
    AlgoForm* f = b.Select(c.category, c.mfr, c.item);
    ASSERT_NE(f, nullptr);
    f->Click(c.fresh);
    EXPECT_EQ(Status(*f), c.freshText);
    b.wb->FileNew();
    for (int i = 0; i < 16; ++i) b.Image()[i] = static_cast<std::uint8_t>((i & 1) ? i : 0xA0 + i);
    f->Click("Write");
    EXPECT_EQ(Status(*f), c.writeText);
    EXPECT_TRUE(b.ChipMatchesImage(0, 16));
    f->Click("Verify");
    EXPECT_EQ(Status(*f), c.verifyText);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, SubFortyPinPart,
    ::testing::Values(SmallCase{"AT89C4051", "MPU", "ATMEL", "AT89C4051", "Blank", "OK!", "OK", "OK!!!"},
                      SmallCase{"ATtiny12", "MPU", "ATMEL", "ATtiny12", "Blank", "OK!", "OK", "OK!!!"},
                      SmallCase{"ATtiny15", "MPU", "ATMEL", "ATtiny15", "Blank", "OK!", "OK", "OK!!!"},
                      SmallCase{"PIC12C509", "MPU", "MICROCHIP", "PIC12C509", "Blank", "OK", "Ended.", "OK"},
                      SmallCase{"PIC12F675", "MPU", "MICROCHIP", "PIC12F675", "Blank", "OK", "End.", "OK"},
                      SmallCase{"C24C02", "SER", "ATMEL", "24C02", "Read1", "OK", "OK", "Verified!"},
                      SmallCase{"C93C56x8", "SER", "ATMEL", "93C56 x8", "Blank", "Blank", "Done", "Verified!"}),
    [](const ::testing::TestParamInfo<SmallCase>& i) { return std::string(i.param.name); });

// ---- an empty socket -----------------------------------------------------------------------------

struct EmptyCase {
    const char* name;
    const char* category;
    const char* mfr;
    const char* item;
    const char* read;  // the read button
};
class ReadOnAnEmptySocket : public ::testing::TestWithParam<EmptyCase> {};

// No chip answers: no success text, and the user's image stays as it was.
TEST_P(ReadOnAnEmptySocket, SaysNoSuccessAndKeepsTheBuffer) {
    const EmptyCase& c = GetParam();
    SimBench b(Program{});
    AlgoForm* f = b.Select(c.category, c.mfr, c.item);
    ASSERT_NE(f, nullptr);
    b.sim->RemoveChipModel();
    b.RandomImage(0x10000, 9);
    const std::vector<std::uint8_t> before(b.Image(), b.Image() + 0x10000);
    std::vector<std::string> said;
    f->SetSuccessListener([&](const std::string& s) { said.push_back(s); });
    f->Click(c.read);
    EXPECT_TRUE(said.empty()) << said.front();
    EXPECT_NE(Status(*f), "OK");
    EXPECT_TRUE(std::equal(before.begin(), before.end(), b.Image()));
}

INSTANTIATE_TEST_SUITE_P(SerialMemories, ReadOnAnEmptySocket,
                         ::testing::Values(EmptyCase{"AT25256", "SER", "ATMEL", "AT25256", "Read1"},
                                           EmptyCase{"AT25F512A", "SER", "ATMEL", "AT25F512A", "Read1"}),
                         [](const ::testing::TestParamInfo<EmptyCase>& i) { return std::string(i.param.name); });

// ---- the JTAG path -------------------------------------------------------------------------------

TEST(ProgramPath, Xc9536xlIdShowsItsIdcodeAndAnIdcodeSvfEndsOk) {
    SimBench b(Program{});
    AlgoForm* f = b.Select("PLD", "XILINX", "XC95xx");
    ASSERT_NE(f, nullptr);
    f->Click("ID");
    EXPECT_EQ(View(*f), (std::vector<std::string>{"93,20,60,59,"}));
    PutSvfText(b, kIdcodeSvf);
    f->Click("Button1");
    ASSERT_FALSE(View(*f).empty());
    EXPECT_EQ(View(*f).back(), "OK");
}

// A compare that fails shows one line for it and a verdict line, whatever the
// retries of the data scan.
TEST(ProgramPath, Xc9536xlWrongIdcodeSvfShowsOneLineAndTheVerdict) {
    SimBench b(Program{});
    AlgoForm* f = b.Select("PLD", "XILINX", "XC95xx");
    ASSERT_NE(f, nullptr);
    PutSvfText(b, "SIR 8 TDI (fe);\nSDR 32 TDI (00000000) TDO (09602094) MASK (0fffffff);\n");
    f->Click("Button1");
    EXPECT_EQ(View(*f), (std::vector<std::string>{"0Err.: read=93,std=94,mask=ff",
                                                  "2行Err.:SDR 32 TDI (00000000) TDO (09602094) MASK (0fffffff)"}));
}

// ---- the testers after every other family -------------------------------------------------------

TEST(ProgramPath, LogicAndRamTestersPassAfterEveryOtherFamilyRan) {
    SimBench b(Program{});
    auto run = [&](const char* cat, const char* mfr, const char* item, std::initializer_list<const char*> buttons) {
        SCOPED_TRACE(item);
        if (b.sim->GetChip()) b.sim->RemoveChipModel();
        b.wb->FileNew();
        b.RandomImage(0x100, 3);
        AlgoForm* f = b.Select(cat, mfr, item);
        ASSERT_NE(f, nullptr);
        for (const char* button : buttons) f->Click(button);
    };
    run("MPU", "ATMEL", "ATtiny26", {"Button1"});
    run("SER", "ATMEL", "93C46 x8", {"Write", "Read1"});
    run("SER", "ATMEL", "AT25256", {"Write", "Read1"});
    b.wb->DataFileName = FixturesDir() + "jed/and16v8.jed";
    LoadJed(*b.wb);
    run("PLD", "LATTICE", "GAL16V8", {"Write", "Verify"});
    run("PLD", "LATTICE", "GAL22V10", {"Read1"});
    run("PLD", "XILINX", "XC95xx", {"ID", "Blank"});
    run("MPU", "ATMEL", "AT89C52", {"Write", "Verify"});
    run("MPU", "MICROCHIP", "PIC12C508", {"Write", "Verify"});
    run("EPR", "ATMEL", "AT27C256R", {"Write", "Verify"});

    if (b.sim->GetChip()) b.sim->RemoveChipModel();
    AlgoForm* logic = b.Select("TES", "TTL", "74LS00 (74xx series)");
    ASSERT_NE(logic, nullptr);
    const auto& items = logic->Get("ListBox1").Items;
    const auto it = std::find(items.begin(), items.end(), "74xx00");
    ASSERT_NE(it, items.end());
    logic->Choose("ListBox1", static_cast<int>(it - items.begin()));
    logic->Click("Test1");
    EXPECT_EQ(Status(*logic), "OK!");

    AlgoForm* ram = b.Select("RAM", "HITACHI", "HM6264");
    ASSERT_NE(ram, nullptr);
    ram->Click("Button3");
    EXPECT_EQ(Status(*ram), "Test OK!!!!!!!");
}

// What the dispatch switches off before another form leaves a 3.3 V chip
// still in the socket unharmed (its pins low before its supply goes).
TEST(ProgramPath, ReleasingOutputsSparesA33VoltChipStillSeated) {
    SimBench b(Program{});
    AlgoForm* f = b.Select("MPU", "PHILIPS", "P89LPC920");
    ASSERT_NE(f, nullptr);
    b.RandomImage(0x800, 4);
    f->Click("Write");
    f->Click("Verify");
    ASSERT_EQ(Status(*f), "OK");
    b.wb->Ep3.ReleaseOutputs();
    ASSERT_NE(b.sim->GetChip(), nullptr);
    EXPECT_FALSE(b.sim->GetChip()->Damaged()) << b.sim->GetChip()->Damage();
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
    EXPECT_EQ(b.sim->GetSocket().ClockPin(), 0);
    EXPECT_TRUE(b.sim->GetSocket().PinOptions().Empty());
}

// ---- closing a form during mass production --------------------------------------------------------

TEST(ProgramPath, ClosingTheFormDuringMassProductionEndsTheBatchThere) {
    SimBench b(Program{"vex520", true});
    AlgoForm* f = b.Select("MPU", "ATMEL", "AT89C52");
    ASSERT_NE(f, nullptr);
    b.RandomImage(0x2000, 13);
    b.wb->options.MassProduction = true;
    bool closed = false;
    int pollsAtClose = 0;
    std::size_t questionsAtClose = 0;
    b.prompts.onChipPrompt = [&](const std::string&) {
        if (closed || b.wb->Counter != "2") return;
        closed = true;
        f->Close();  // the user closes the form while it waits for the next chip
        pollsAtClose = b.sim->ContactPolls();
        questionsAtClose = b.prompts.shown.size();
    };
    f->Click("Button1");
    ASSERT_TRUE(closed);
    EXPECT_EQ(b.wb->Counter, "2");
    EXPECT_EQ(b.sim->ContactPolls(), pollsAtClose) << "no chip access after the close";
    EXPECT_EQ(b.prompts.shown.size(), questionsAtClose) << b.prompts.Last();
    EXPECT_FALSE(f->IsShown());
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
}

// Nobody brings the next chip; meanwhile the user clicks Write on the waiting
// form, unticks a batch box and chooses another device: the programmer is the
// batch's, so nothing runs and the box goes back; Exit ends the wait.
TEST(ProgramPath, DuringTheNextChipWaitOnlyExitActs) {
    SimBench b(Program{});
    AlgoForm* f = b.Select("MPU", "ATMEL", "AT89C51");
    ASSERT_NE(f, nullptr);
    b.RandomImage(0x1000, 13);
    b.wb->options.MassProduction = true;
    const std::string before = Status(*f);
    int prompts = 0;
    b.prompts.onChipPrompt = [&](const std::string&) {
        if (++prompts != 3) return;
        f->Click("Write");
        f->SetChecked("CheckBox3", false);
        EXPECT_TRUE(f->Checked("CheckBox3"));
        EXPECT_EQ(b.Select("MPU", "ATMEL", "AT89C52"), f);
        EXPECT_EQ(b.wb->sel.SelectedDevice, "AT89C51");
        EXPECT_EQ(b.prompts.Texts(), std::vector<std::string>{TTypeDlg::BatchWaitingMessage});
        f->Click("CancelBtn");
    };
    f->Click("Button1");
    EXPECT_EQ(prompts, 3);
    EXPECT_FALSE(f->IsShown());
    EXPECT_EQ(Status(*f), before);
    EXPECT_TRUE(b.ChipBlank(0, 0x1000));
    b.prompts.shown.clear();
    ASSERT_EQ(b.Select("MPU", "ATMEL", "AT89C51"), f);
    f->Click("Write");  // after the wait, clicks work again
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
}

// ---- mass production on the simulated operator's chips ---------------------------------------------

struct MassCase {
    const char* name;
    const char* category;
    const char* mfr;
    const char* item;
    int bytes;  // image bytes written from 0
};
class MassProductionRun : public ::testing::TestWithParam<MassCase> {};

// Each Run gets the operator's chips: the batch programs them one after the
// other, then waits for a chip nobody brings and ends by itself, the counter
// showing the chips done; the next Run gets as many again.
TEST_P(MassProductionRun, EndsByItselfAfterTheOperatorsChips) {
    const MassCase& c = GetParam();
    SimBench b(Program{"vex520", true});
    AlgoForm* f = b.Select(c.category, c.mfr, c.item);
    ASSERT_NE(f, nullptr);
    b.RandomImage(c.bytes, 17);
    b.wb->options.MassProduction = true;
    const sim::Operator& op = *b.sim->GetOperator();

    f->Click("Button1");
    EXPECT_EQ(b.wb->Counter, std::to_string(DefaultOperatorChips));
    EXPECT_EQ(Status(*f), "End OK..");
    EXPECT_EQ(op.TakenOut(), DefaultOperatorChips + 1);  // the chip seated at the start too
    EXPECT_EQ(b.sim->GetChip(), nullptr);
    ASSERT_FALSE(op.Tray().empty());
    auto last = op.Tray().back()->Contents();
    EXPECT_TRUE(std::equal(b.Image(), b.Image() + c.bytes, last.begin())) << "the last chip done holds the image";
    ASSERT_FALSE(b.prompts.chipPromptCaptions.empty());
    EXPECT_EQ(b.prompts.chipPromptCaptions.back(), "5秒后不放器件将Exit操作");

    f->Click("Button1");
    EXPECT_EQ(b.wb->Counter, std::to_string(2 * DefaultOperatorChips));
    EXPECT_EQ(op.TakenOut(), 2 * DefaultOperatorChips + 1);
    EXPECT_EQ(b.prompts.shown.size(), 0u) << b.prompts.Last();
}

const MassCase MassCases[] = {
    {"X5045", "SER", "XICOR", "X5045", 0x200},
    {"AT89C51", "MPU", "ATMEL", "AT89C51", 0x1000},
};
INSTANTIATE_TEST_SUITE_P(Forms, MassProductionRun, ::testing::ValuesIn(MassCases),
                         [](const ::testing::TestParamInfo<MassCase>& i) { return std::string(i.param.name); });

// ---- unplugged and plugged in again with a form open --------------------------------------------

struct ReplugCase {
    const char* name;
    const char* category;
    const char* mfr;
    const char* item;
    int bytes;         // image bytes written from 0
    const char* done;  // Write's success text
};
class ReplugWithTheFormOpen : public ::testing::TestWithParam<ReplugCase> {};

// The programmer powers up afresh without the design and levels the form's
// setup gave it: Write sends nothing and says so, never a success on a chip it
// did not program; selecting the device again sets it up, and Write works.
TEST_P(ReplugWithTheFormOpen, WriteIsRefusedUntilTheDeviceIsSelectedAgain) {
    const ReplugCase& c = GetParam();
    SimBench b(Program{});
    AlgoForm* f = b.Select(c.category, c.mfr, c.item);
    ASSERT_NE(f, nullptr);
    b.RandomImage(c.bytes, 29);
    usb::ProgrammerLink& link = b.connection->Link();
    const auto settle = [&link](bool claimed) {
        for (int i = 0; i < 5000 && link.Claimed() != claimed; ++i) ::usleep(1000);
        return link.Claimed() == claimed;
    };

    b.sim->Detach();
    ASSERT_TRUE(settle(false));
    b.sim->Reattach();
    sim::PlugProgrammer(*b.connection->Bus(), b.sim, usb::DefaultVendorId, usb::DefaultProductId, b.tap);
    ASSERT_TRUE(settle(true));
    const auto sent = b.sim->GetCounters().transfersOut;
    f->Click("Write");
    EXPECT_EQ(Status(*f), AlgoForm::ReplugRefusal);
    EXPECT_EQ(b.sim->GetCounters().transfersOut, sent) << "nothing reaches the programmer";
    EXPECT_TRUE(b.ChipBlank(0, c.bytes));

    ASSERT_EQ(b.Select(c.category, c.mfr, c.item), f);
    f->Click("Write");
    EXPECT_EQ(Status(*f), c.done);
    EXPECT_TRUE(b.ChipMatchesImage(0, c.bytes));
}

const ReplugCase ReplugCases[] = {
    {"AT89C51", "MPU", "ATMEL", "AT89C51", 0x1000, "OK"},
    {"AT27C256R", "EPR", "ATMEL", "AT27C256R", 0x8000, "OK!"},
    {"X5045", "SER", "XICOR", "X5045", 0x200, "Done"},
};
INSTANTIATE_TEST_SUITE_P(Forms, ReplugWithTheFormOpen, ::testing::ValuesIn(ReplugCases),
                         [](const ::testing::TestParamInfo<ReplugCase>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace quilla::test
