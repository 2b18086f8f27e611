// The XC95xx form end to end: the SVF player and the ID, Erase and Blank
// sequences against the simulated XC9500XL on the "jtag1" design.
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "algo/pld/xc95x.h"
#include "app/svf.h"
#include "sim/chips/xc9500xl.h"
#include "sim/designs/jtag1.h"
#include "support/device_lines.h"
#include "support/fault_sweep.h"
#include "support/fixtures.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::Xc9500xlChip;

const std::vector<std::string>& View(AlgoForm& f) { return f.Get("RichEdit1").Items; }

void PutSvf(SimBench& b, const std::string& text, const std::string& file = "play.svf") {
    b.wb->SvfFileW = std::make_unique<SvfWindowState>();
    b.wb->SvfFileW->Lines = SplitSvfLines(text);
    b.wb->DataFileName = file;
}

void LoadFixture(SimBench& b, const std::string& name) {
    b.wb->DataFileName = FixturesDir() + "svf/" + name;
    ASSERT_TRUE(LoadSvf(*b.wb));
}

std::size_t Count(const SimBench& b, std::uint8_t op) {
    std::size_t n = 0;
    for (const auto& c : b.tap->commands)
        if (c[0] == op) ++n;
    return n;
}

// The latch-2 bytes (TDI) of the commands recorded since the last clear.
std::vector<std::uint8_t> TdiBytes(const SimBench& b) {
    std::vector<std::uint8_t> v;
    for (const auto& c : b.tap->commands)
        if (c[0] == proto::OpLatch0 + 2) v.push_back(c[1]);
    return v;
}

TEST(Xc95x, IdReadsTheIdcodeEveryTime) {
    SimBench b("XC9536XL");
    AlgoForm& f = b.Open("XC95X 0");
    for (int i = 0; i < 3; ++i) {
        f.Click("ID");
        EXPECT_EQ(View(f), (std::vector<std::string>{"93,20,60,59,"}));
    }
    f.Click("Button3");
    EXPECT_EQ(View(f).back(), "78,56,34,12,");
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());  // the board powers the CPLD
}

class EveryLine : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryLine, OpensTheFormAndReadsTheId) {
    const ListedLine& l = GetParam();
    SimBench b(l.part);
    AlgoForm& f = b.Open(l.params);
    f.Click("ID");
    EXPECT_EQ(View(f), (std::vector<std::string>{"93,20,60,59,"}));
}

INSTANTIATE_TEST_SUITE_P(Device520, EveryLine, ::testing::ValuesIn(DeviceLines("device520.lst", {"XC95X"})),
                         CaseName([](const ListedLine& l) { return l.part; }));

TEST(Xc95x, EraseThenBlankPasses) {
    SimBench b("XC9536XL");
    b.ChipAs<Xc9500xlChip>().Program(3, {0x00, 0x0F});
    AlgoForm& f = b.Open("XC95X 0");
    f.Click("Blank");
    EXPECT_EQ(View(f).back(), "Not a blank device!");
    f.Click("Erase");
    EXPECT_EQ(View(f).back(), "Erase OK");
    EXPECT_TRUE(b.ChipAs<Xc9500xlChip>().Blank());
    f.Click("Blank");
    EXPECT_EQ(View(f), (std::vector<std::string>{"01,00,00,00,", "OK"}));
}

TEST(Xc95x, AChipSlowerThanTheEraseWaitIsNotBlank) {
    SimBench b("XC9536XL");
    auto& chip = b.ChipAs<Xc9500xlChip>();
    chip.Program(0, {0x12, 0x34});
    chip.SetSlowFactor(2.0);  // 180 ms against the form's 100 ms
    AlgoForm& f = b.Open("XC95X 0");
    f.Click("Erase");
    f.Click("Blank");
    EXPECT_EQ(View(f).back(), "Not a blank device!");
}

struct FixtureCase {
    const char* part;
};
class ProgrammingSvf : public ::testing::TestWithParam<const char*> {};

TEST_P(ProgrammingSvf, PlaysToOkAndTheChipHoldsTheWords) {
    SimBench b(GetParam());
    b.ChipAs<Xc9500xlChip>().Program(7, {0x00, 0x00});
    LoadFixture(b, "xc9536xl_prog.svf");
    AlgoForm& f = b.Open("XC95X 0");
    f.Click("Button1");
    ASSERT_FALSE(View(f).empty());
    EXPECT_EQ(View(f).back(), "OK");
    // The '/' lines are echoed, the "//" comment's TDO is not compared.
    EXPECT_EQ(View(f).front().substr(0, 3), "// ");
    const auto& words = b.ChipAs<Xc9500xlChip>().Words();
    const int fbs = b.ChipAs<Xc9500xlChip>().FunctionBlocks();
    ASSERT_EQ(words.size(), 2u);
    std::vector<std::uint8_t> w0(static_cast<std::size_t>(fbs), 0xFF), w1(static_cast<std::size_t>(fbs), 0xFF);
    w0[0] = 0xA5;
    w0[1] = 0x5A;
    w1[0] = 0xF0;
    w1[1] = 0x0F;
    if (fbs == 2) {
        EXPECT_EQ(words.at(0), w0);
        EXPECT_EQ(words.at(1), w1);
    }
    EXPECT_FALSE(b.ChipAs<Xc9500xlChip>().IspMode());
}

INSTANTIATE_TEST_SUITE_P(Parts, ProgrammingSvf, ::testing::Values("XC9536XL"),
                         CaseName([](const char* p) { return std::string(p); }));

std::string FixtureText() {
    std::ifstream in(FixturesDir() + "svf/xc9536xl_prog.svf", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The XC9572XL plays the file's ID check (commented out), ISP entry, bulk
// erase and blank check to "OK"; its programming part is not for it (its
// ISPCONFIGURATION is 50 bits long).
TEST(Xc95x, TheXc9572xlPlaysTheFilesCheckEraseAndBlankSteps) {
    SimBench b("XC9572XL");
    b.ChipAs<Xc9500xlChip>().Program(7, {0x00, 0x00, 0x00, 0x00});
    std::string text = FixtureText();
    text = text.substr(0, text.find("!Program"));
    PutSvf(b, text);
    AlgoForm& f = b.Open("XC95X 0");
    f.Click("Button1");
    EXPECT_EQ(View(f).back(), "OK");
    EXPECT_TRUE(b.ChipAs<Xc9500xlChip>().Blank());
}

TEST(Xc95x, AChangedVerifyByteFailsAfterThirtyTwoTries) {
    SimBench b("XC9536XL");
    std::string text = FixtureText();
    const std::string from = "TDO (16a940001)";
    const auto at = text.find(from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, from.size(), "TDO (16b940001)");
    PutSvf(b, text);
    AlgoForm& f = b.Open("XC95X 0");
    f.Click("Button1");
    const auto& v = View(f);
    // Tried 32 times, shown once: one line for the failing compare, then the verdict.
    int byteLines = 0;
    for (const auto& l : v)
        if (l.find("Err.: read=") != std::string::npos) ++byteLines;
    EXPECT_EQ(byteLines, 1);
    EXPECT_GE(Count(b, proto::OpReply), 32u);
    ASSERT_GE(v.size(), 2u);
    EXPECT_NE(v[v.size() - 2].find("Err.: read="), std::string::npos) << v[v.size() - 2];
    ASSERT_FALSE(v.empty());
    EXPECT_NE(v.back().find("行Err.:SDR 34 TDI (000000001) TDO (16b940001)"), std::string::npos) << v.back();
    const auto lines = SplitSvfLines(FixtureText());
    std::size_t line = 0;
    while (line < lines.size() && lines[line].find("TDO (16a940001)") == std::string::npos) ++line;
    EXPECT_EQ(v.back().substr(0, v.back().find("行")), std::to_string(line + 1));
}

// The fixture with one damage: a statement the player does not know ends the
// run at its first line with the line error, never "OK"; a file with no
// statement says so and sends nothing.
enum class ChipAfter { AsBefore, Erased, Programmed };
struct Damage {
    const char* name;
    std::string (*edit)(std::string);
    const char* named;  // the start of the statement the error names; nullptr: no statement at all
    ChipAfter chip;
};
class Damages : public ::testing::TestWithParam<Damage> {};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST_P(Damages, EndWithTheLineErrorAndNoOk) {
    const Damage& c = GetParam();
    SimBench b("XC9536XL");
    b.ChipAs<Xc9500xlChip>().Program(7, {0x00, 0x00});
    const std::string text = c.edit(FixtureText());
    PutSvf(b, text);
    AlgoForm& f = b.Open("XC95X 0");
    const auto transfers = b.Transfers();
    f.Click("Button1");
    const auto& v = View(f);
    ASSERT_FALSE(v.empty());
    for (const auto& l : v) EXPECT_NE(l, "OK");
    if (c.named) {
        const auto lines = SplitSvfLines(text);
        std::size_t line = 0;
        while (line < lines.size() && lines[line].find(c.named) == std::string::npos) ++line;
        ASSERT_LT(line, lines.size());
        EXPECT_EQ(v.back().rfind(std::to_string(line + 1) + "行Err.:" + c.named, 0), 0u) << v.back();
    } else {
        EXPECT_EQ(v, (std::vector<std::string>{"No SVF statement in play.svf: nothing was played"}));
        EXPECT_EQ(b.Transfers(), transfers);
    }
    const auto& chip = b.ChipAs<Xc9500xlChip>();
    switch (c.chip) {
    case ChipAfter::AsBefore:
        EXPECT_EQ(chip.Words(), (std::map<std::uint16_t, std::vector<std::uint8_t>>{{7, {0x00, 0x00}}}));
        break;
    case ChipAfter::Erased:
        EXPECT_TRUE(chip.Blank());
        break;
    case ChipAfter::Programmed:
        EXPECT_EQ(chip.Words().size(), 2u);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixture, Damages,
    ::testing::Values(
        Damage{"VerifySdrrRightTdo",
               [](std::string t) {
                   return Replaced(t, "SDR 34 TDI (000000001) TDO (16a", "SDRR 34 TDI (000000001) TDO (16a");
               },
               "SDRR 34 TDI (000000001) TDO (16a940001)", ChipAfter::Programmed},
        Damage{"VerifySdrrWrongTdo",
               [](std::string t) {
                   return Replaced(t, "SDR 34 TDI (000000001) TDO (16a", "SDRR 34 TDI (000000001) TDO (16b");
               },
               "SDRR 34 TDI (000000001) TDO (16b940001)", ChipAfter::Programmed},
        Damage{"EveryProgrammingSdrRenamed",
               [](std::string t) {
                   for (auto at = t.find("!Program"); (at = t.find("SDR ", at)) < t.find("!Verify"); at += 4)
                       t.replace(at, 3, "SDRR");
                   return t;
               },
               "SDRR 34", ChipAfter::Erased},
        Damage{"InventedStatement", [](std::string t) { return Replaced(t, "TRST OFF;", "XYZZY 1 (2);\nTRST OFF;"); },
               "XYZZY 1 (2)", ChipAfter::AsBefore},
        Damage{"Empty", [](std::string) { return std::string(); }, nullptr, ChipAfter::AsBefore},
        Damage{"CommentsOnly",
               [](std::string) { return std::string("// nothing to play\r\n! SDR 8 TDI (00);\r\n\r\n  \t\r\n"); },
               nullptr, ChipAfter::AsBefore}),
    CaseName([](const Damage& d) { return std::string(d.name); }));

TEST(Xc95x, AnSirMismatchEndsAtOnce) {
    SimBench b("XC9536XL");
    PutSvf(b, "SIR 8 TDI (e8);\nSDR 6 TDI (00);\nSIR 8 TDI (ed) TDO (13) MASK (1f);\nSIR 8 TDI (ff);\n");
    AlgoForm& f = b.Open("XC95X 0");
    f.Click("Button1");
    EXPECT_EQ(View(f), (std::vector<std::string>{"0Err.: read=11,std=13,mask=1f", "3行Err.:SIR 8 TDI (ed) TDO (13) MASK (1f)"}));
}

struct RunTestCase {
    const char* line;
    long long total;  // microseconds counted
    std::size_t w25, w26, w27, w28;
    const char* edit1;
};
class RunTests : public ::testing::TestWithParam<RunTestCase> {};

TEST_P(RunTests, FollowTheLadder) {
    const RunTestCase& c = GetParam();
    SimBench b("XC9536XL");
    PutSvf(b, c.line);
    AlgoForm& f = b.Open("XC95X 0");
    b.tap->commands.clear();
    f.Click("Button1");
    EXPECT_EQ(View(f).back(), "OK");
    EXPECT_EQ(dynamic_cast<TXc95x&>(f).RunTestTotal, c.total);
    EXPECT_EQ(Count(b, proto::OpWaitPulse), c.w25);
    EXPECT_EQ(Count(b, proto::OpWait1ms), c.w26);
    EXPECT_EQ(Count(b, proto::OpWaitSettle), c.w27);
    EXPECT_EQ(Count(b, proto::OpWait100ms), c.w28);
    EXPECT_EQ(f.Text("Edit1"), c.edit1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunTests,
    ::testing::Values(RunTestCase{"RUNTEST 2 TCK;", 0, 0, 0, 0, 0, ""}, RunTestCase{"RUNTEST 20 TCK;", 80, 0, 0, 0, 0, ""},
                      RunTestCase{"RUNTEST 200 TCK;", 800, 80, 0, 0, 0, ""},
                      RunTestCase{"RUNTEST 30000 TCK;", 100000, 0, 0, 0, 1, "100 mS"},
                      RunTestCase{"RUNTEST 1.00E-02 SEC;", 10000, 0, 0, 1, 0, "10 mS"},
                      RunTestCase{"RUNTEST IDLE 100 TCK 2E-3 SEC;", 2000, 0, 2, 0, 0, ""}),
    CaseName([](const RunTestCase& c) { return std::string(c.line); }));

TEST(Xc95x, AMaskIgnoresTheTopNibbleAndStays) {
    SimBench b("XC9536XL");
    PutSvf(b,
           "SIR 8 TDI (fe);\nSDR 32 TDI (00000000) TDO (f9602093) MASK (0fffffff);\n"
           "SIR 8 TDI (fe);\nSDR 32 TDI (00000000) TDO (a9602093);\n");
    AlgoForm& f = b.Open("XC95X 0");
    f.Click("Button1");
    EXPECT_EQ(View(f), (std::vector<std::string>{"OK"}));
}

TEST(Xc95x, WithoutAnSvfWindowOrWithAnotherFileNothingIsSent) {
    SimBench b("XC9536XL");
    AlgoForm& f = b.Open("XC95X 0");
    const auto transfers = b.Transfers();
    f.Click("Button1");
    EXPECT_EQ(b.prompts.Last(), "先打开.SVF文件才能执行操作!");
    PutSvf(b, "SIR 8 TDI (ff);\n", "fuses.JED");
    f.Click("Button1");
    EXPECT_EQ(b.prompts.Last(), "不是.SVF文件，不能执行操作!");
    EXPECT_EQ(b.Transfers(), transfers);
}

struct Stops {
    const char* name;
    const char* svf;
    bool ok;
};
class Statements : public ::testing::TestWithParam<Stops> {};

TEST_P(Statements, PlayOrStopWithTheError) {
    const Stops& c = GetParam();
    SimBench b("XC9536XL");
    PutSvf(b, c.svf);
    AlgoForm& f = b.Open("XC95X 0");
    f.Click("Button1");
    ASSERT_FALSE(View(f).empty());
    if (c.ok) {
        EXPECT_EQ(View(f).back(), "OK");
    } else {
        EXPECT_NE(View(f).back().find("行Err.:"), std::string::npos) << View(f).back();
        for (const auto& l : View(f)) EXPECT_NE(l, "OK");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Statements,
    ::testing::Values(Stops{"SDR 512", "SDR 512 TDI (0);\n", true}, Stops{"SDR 513", "SDR 513 TDI (0);\n", false},
                      Stops{"SDR 0", "SDR 0;\n", false}, Stops{"HIR 0", "HIR 0;\nTDR 0;\n", true},
                      Stops{"HDR 8", "HDR 8 TDI (00);\n", false}, Stops{"STATE DRPAUSE", "STATE DRPAUSE;\n", false},
                      Stops{"RUNTEST DRPAUSE", "RUNTEST DRPAUSE 1E-3 SEC;\n", false},
                      Stops{"ENDDR DRPAUSE", "ENDDR DRPAUSE;\n", false}, Stops{"PIO", "PIO (HLX);\n", false},
                      Stops{"comment keyword", "! SDR 600 TDI (00);\nSIR 8 TDI (ff); // SDR 0;\n", true},
                      Stops{"SDRR", "SDRR 8 TDI (00);\n", false}, Stops{"XYZZY", "SIR 8 TDI (ff);\nXYZZY;\n", false},
                      Stops{"keyword and number joined", "SIR8 TDI (ff);\n", false},
                      Stops{"no effect here",
                            "FREQUENCY 1E6 HZ;\nTRST OFF;\nTRST ABSENT;\nFREQUENCY;\nSIR 8 TDI (ff);\n", true},
                      Stops{"lower case",
                            "trst off;\nfrequency 1e6 hz;\nendir idle;\nsir 8 tdi (ff);\nruntest 10 tck;\n", true}),
    CaseName([](const Stops& s) { return std::string(s.name); }));

TEST(Xc95x, TdiComesOnlyFromTheTdiFieldAndHexIsReadAsNibbles) {
    SimBench b("XC9536XL");
    PutSvf(b, "SDR 16 TDI (1234);\nSDR 8 TDO (ab) MASK (00);\nSDR 18 TDI (2a955);\n");
    AlgoForm& f = b.Open("XC95X 0");
    b.tap->commands.clear();
    f.Click("Button1");
    // JtagReset's 0, then per scan: its bytes (the first scan 34 12, the
    // second the previous 34, the third 55 a9 02).
    const auto tdi = TdiBytes(b);
    EXPECT_EQ(tdi, (std::vector<std::uint8_t>{0x00, 0x34, 0x12, 0x34, 0x55, 0xA9, 0x02}));
}

TEST(Xc95x, StateResetRunsTheResetSequence) {
    SimBench b("XC9536XL");
    PutSvf(b, "SIR 8 TDI (e8);\nSDR 6 TDI (00);\nSTATE RESET;\n");
    AlgoForm& f = b.Open("XC95X 0");
    f.Click("Button1");
    EXPECT_EQ(View(f).back(), "OK");
    EXPECT_FALSE(b.ChipAs<Xc9500xlChip>().IspMode());
    EXPECT_EQ(b.ChipAs<Xc9500xlChip>().Instruction(), 0xFE);
}

}  // namespace
}  // namespace quilla::test

namespace quilla::test {
namespace {

class Sweep : public ::testing::TestWithParam<const char*> {};

// A lost transfer never leaves "OK" or "Erase OK" with the chip not as promised.
TEST_P(Sweep, NoSuccessTextWithTheChipWrong) {
    const std::string button = GetParam();
    FaultSweep s;
    s.prepare = [button] {
        auto b = std::make_unique<SimBench>("XC9536XL");
        b->ChipAs<Xc9500xlChip>().Program(7, {0x00, 0x00});
        if (button == "Button1") {
            b->wb->DataFileName = FixturesDir() + "svf/xc9536xl_prog.svf";
            LoadSvf(*b->wb);
        }
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("XC95X 0"); };
    s.operation = [button](SimBench&, AlgoForm& f) { f.Click(button); };
    s.holds = [button](SimBench& b, const std::string&) {
        const auto& chip = b.ChipAs<Xc9500xlChip>();
        if (button == "Erase") return chip.Blank();
        return chip.Words().size() == 2 && chip.Words().count(0) && chip.Words().at(0)[0] == 0xA5;
    };
    const FaultSweep::Result r = s.Run();
    EXPECT_GE(r.transfers, 1);  // Erase goes out in one transfer
}

INSTANTIATE_TEST_SUITE_P(Operations, Sweep, ::testing::Values("Button1", "Erase"),
                         CaseName([](const char* b) { return std::string(b); }));

}  // namespace
}  // namespace quilla::test
