// The P89LPC9xx in-circuit programming forms end to end on the simulated
// programmer: the register link of the "p89lpc932" and "rs232phi92x" designs,
// page writes, erase, the configuration bytes and the ID.
#include "algo/mcs51/p89lpc9.h"
#include "mcs51_bench.h"
#include "sim/chips/lpc9xx.h"
#include "support/device_lines.h"
#include "support/fault_sweep.h"

namespace quilla::test {
namespace {

using sim::Lpc9xxChip;

constexpr const char* kLine932 = "P89LPC932 1 len=8192 sec=64 vcc=3300";
constexpr const char* kLineSpi = "P89LPCSPI 1 len=8192 sec=64 vcc=3300";

Lpc9xxChip& Chip9(SimBench& b) { return b.ChipAs<Lpc9xxChip>(); }

TEST(P89lpc9, BatchErasesWritesAndConfigures) {
    SimBench b("P89LPC932");
    b.RandomImage(0x2000, 5);
    AlgoForm& f = b.Open(kLine932);
    ASSERT_EQ(f.Text("Msg"), "OK ");
    b.wb->sel.ExpectedId = {0x15, 0xDD, 0x08, 0};
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x2000));
    const auto& c = Chip9(b).Config();
    EXPECT_EQ(c[0], 0x07);  // UCFG1: FOSC0-2 ticked
    EXPECT_EQ(c[2], 0x00);  // boot vector
    EXPECT_EQ(c[3], 0x00);  // status
    for (int k = 8; k <= 15; ++k) EXPECT_EQ(c[static_cast<std::size_t>(k)], 0x07) << k;
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
    EXPECT_FALSE(Chip9(b).InProgrammingMode());  // every operation leaves VCC off
}

TEST(P89lpc9, CellsGoToTheirConfigurationAddresses) {
    SimBench b("P89LPC932");
    AlgoForm& f = b.Open(kLine932);
    f.Get("StringGrid1").Items[0] = "1e";  // Vector
    f.Get("StringGrid1").Items[1] = "5";   // Status
    f.Get("StringGrid1").Items[9] = "0x";  // SEC7: "0" only
    f.SetChecked("CheckBox8", true);
    f.Click("Config");
    EXPECT_EQ(f.Text("Msg"), "OK");
    const auto& c = Chip9(b).Config();
    EXPECT_EQ(c[0], 0x87);
    EXPECT_EQ(c[2], 0x1E);
    EXPECT_EQ(c[3], 0x05);
    EXPECT_EQ(c[15], 0x00);
    f.Click("ReadConfig");
    EXPECT_EQ(f.Text("Msg"), "87,00,1e,05,00,00,00,00,07,07,07,07,07,07,07,00,15,dd,08,");
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg"), "ID: 15,dd,08");
}

TEST(P89lpc9, CellWithoutHexDigitRefusesTheWrite) {
    SimBench b("P89LPC932");
    AlgoForm& f = b.Open(kLine932);
    f.Get("StringGrid1").Items[4] = "zz";  // SEC2
    const std::size_t before = b.tap->commands.size();
    f.Click("Config");
    EXPECT_NE(f.Text("Msg").find("SEC2"), std::string::npos) << f.Text("Msg");
    EXPECT_EQ(b.tap->commands.size(), before);
    EXPECT_EQ(Chip9(b).Config()[10], 0x00);
}

TEST(P89lpc9, SpiFormReadsBlankAndVerifies) {
    SimBench b("P89LPC932");
    AlgoForm& f = b.Open(kLineSpi);
    ASSERT_EQ(f.Text("Msg"), "OK ");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Blank OK");
    std::fill(b.Image(), b.Image() + 0x2000, 0xFF);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "0000:Error.(File=ff,chip=00)");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    // Write, Vrfy and Read on the same form.
    b.RandomImage(0x2000, 9);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x2000));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    std::vector<std::uint8_t> want(b.Image(), b.Image() + 0x2000);
    std::fill(b.Image(), b.Image() + 0x2000, 0x00);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image()));
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

TEST(P89lpc9, TheFirstFormHidesReadBlankAndVerify) {
    SimBench b("P89LPC932");
    AlgoForm& f = b.Open(kLine932);
    for (const char* n : {"Read1", "Blank", "Verify"}) EXPECT_FALSE(f.Get(n).Visible) << n;
}

TEST(P89lpc9, ChipHeldBusyFailsTheWrite) {
    SimBench b("P89LPC932");
    b.RandomImage(0x2000, 5);
    AlgoForm& f = b.Open(kLine932);
    Chip9(b).HoldBusy(true);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "Busy! Failed.");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    f.Click("Button1");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
}

class BadLine : public ::testing::TestWithParam<const char*> {};

TEST_P(BadLine, RefusedAtSetupNothingSent) {
    SimBench b("P89LPC932");
    AlgoForm& f = b.Open(GetParam());
    EXPECT_NE(f.Text("Msg").find("Bad device line"), std::string::npos) << f.Text("Msg");
    const std::size_t before = b.tap->commands.size();
    f.Click("Write");
    f.Click("Erase");
    EXPECT_EQ(b.tap->commands.size(), before);
}

INSTANTIATE_TEST_SUITE_P(P89lpc9, BadLine,
                         ::testing::Values("P89LPC932 1 len=8192 vcc=3300", "P89LPC932 1 len=8192 sec=0 vcc=3300",
                                           "P89LPC932 1 sec=64 vcc=3300", "P89LPC932 1 len=70000 sec=64 vcc=3300",
                                           "P89LPC932 1 len=8192 sec=64", "P89LPC932 1 len=8192 sec=64 vcc=5000",
                                           "P89LPC932 3 len=8192 sec=64 vcc=3300",
                                           "P89LPC932 4 len=8192 sec=64 vcc=3300"));

TEST(P89lpc9, RefusedQuestionsEndTheBatchUncounted) {
    SimBench b("P89LPC932");
    AlgoForm& f = b.Open(kLine932);
    b.wb->sel.ExpectedId = {0x15, 0xDD, 0x09, 0};  // another part
    b.prompts.answers = {BtnNo};
    f.Click("Button1");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(P89lpc9, EmptySocketQuestionRefusedEndsTheStepUncounted) {
    SimBench b("P89LPC932");
    AlgoForm& f = b.Open(kLine932);
    b.wb->sel.ExpectedId = {0x15, 0xDD, 0x08, 0};
    (void)b.sim->RemoveChipModel();
    b.prompts.answers = {BtnNo};
    const std::size_t shown = b.prompts.shown.size();
    f.Click("Config");  // no contact test before Wr.CFG: the ID reads FF FF FF
    ASSERT_GT(b.prompts.shown.size(), shown);
    EXPECT_EQ(b.prompts.Texts().back(), "空插座，\n继续吗?");
    EXPECT_NE(f.Text("Msg"), "OK");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
}

// Every listed line: erase, write the row's len= bytes, and the ID read.
class P89lpc9Line : public ::testing::TestWithParam<ListedLine> {};

TEST_P(P89lpc9Line, ErasesWritesAndReadsTheId) {
    const ListedLine l = GetParam();
    SimBench b(l.part);
    const int size = static_cast<int>(b.Chip().size());
    b.RandomImage(size, 21);
    AlgoForm& f = b.Open(l.params);
    ASSERT_EQ(f.Text("Msg"), "OK ") << l.params;
    EXPECT_EQ(b.wb->FileWin->EndAddr, size);
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "END");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, size));
    f.Click("ID");
    EXPECT_EQ(f.Text("Msg").substr(0, 10), "ID: 15,dd,");
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(Device520, P89lpc9Line, ::testing::ValuesIn(DeviceLines("device520.lst", {"P89LPC932"})),
                         [](const ::testing::TestParamInfo<ListedLine>& i) { return i.param.part; });

TEST(P89lpc9Sweep, WriteShowsOkOnlyWithTheImageInTheChip) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("P89LPC920");
        b->RandomImage(0x800, 17);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("P89LPC932 2 len=2048 sec=64 vcc=3300"); };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
    s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, 0x800); };
    const FaultSweep::Result r = s.Run();
    EXPECT_GT(r.transfers, 5);
}

}  // namespace
}  // namespace quilla::test
