// The logic IC tester end to end: the shipped libraries against the logic-chip
// models (good and faulty) on the simulated programmer, and the loader's rules.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "algo/tester/ictest.h"
#include "app/programdir.h"
#include "sim/chips/logic.h"
#include "sim/designs/ictest.h"
#include "support/device_lines.h"
#include "support/param_names.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

using sim::LogicChip;
using sim::LogicFaults;

TICTestx& Form(AlgoForm& f) { return dynamic_cast<TICTestx&>(f); }

// Chooses a type of the list by its text (false when it is not listed).
bool Select(AlgoForm& f, const std::string& type) {
    const auto& items = f.Get("ListBox1").Items;
    auto it = std::find(items.begin(), items.end(), type);
    if (it == items.end()) return false;
    f.Choose("ListBox1", static_cast<int>(it - items.begin()));
    return f.Text("Number") == type;
}

void Seat(SimBench& b, sim::SeatedPart s) {
    ASSERT_TRUE(s.chip);
    b.sim->SeatChip(std::move(s.chip), s.placement);
}

std::string RunTest(SimBench& b, const std::string& params, const std::string& type) {
    AlgoForm& f = b.Open(params);
    if (!Select(f, type)) return "not listed: " + type;
    f.Click("Test1");
    return f.Text("Message");
}

// ---- Test ------------------------------------------------------------------------------------

struct TestCase {
    const char* name;
    const char* part;  // empty: the chip comes from `make`
    std::function<sim::SeatedPart()> make;
    const char* type;
    bool passes;
};
class TestOneType : public ::testing::TestWithParam<TestCase> {};

TEST_P(TestOneType, ShowsOkOnlyForAGoodChip) {
    const TestCase& c = GetParam();
    SimBench b(c.part);
    if (c.make) {
        sim::SeatedPart s = c.make();
        if (s.chip) Seat(b, std::move(s));
        else b.sim->RemoveChipModel();
    }
    const int beeps = b.prompts.beeps;
    EXPECT_EQ(RunTest(b, "ICTEST 0", c.type), c.passes ? "OK!" : "Error");
    EXPECT_EQ(b.prompts.beeps - beeps, c.passes ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TestOneType,
    ::testing::Values(
        TestCase{"good 7400", "74LS00", nullptr, "74xx00", true},
        TestCase{"7400 output stuck high", "74LS00",
                 [] { return sim::MakeLogicChip("74LS00", LogicFaults{.stuckHighOutput = 3}); }, "74xx00", false},
        TestCase{"7400 one row off", "74LS00", [] { return sim::MakeLogicChipOffset("74LS00"); }, "74xx00", false},
        TestCase{"empty socket", "", nullptr, "74xx00", false},
        TestCase{"7404 outputs 2 and 6 swapped", "74LS04",
                 [] { return sim::MakeLogicChip("74LS04", LogicFaults{.swapA = 2, .swapB = 6}); }, "74xx04", false},
        TestCase{"good 7474", "74LS74", nullptr, "74xx74", true},
        TestCase{"7474 dead clear", "74LS74",
                 [] { return sim::MakeLogicChip("74LS74", LogicFaults{.deadInput = 1, .deadLevel = true}); }, "74xx74",
                 false}),
    CaseName([](const TestCase& c) { return std::string(c.name); }));

TEST(IcTest, A4011WithAnOpenInputFails) {
    SimBench b("CD4011");
    Seat(b, sim::MakeLogicChip("CD4011", LogicFaults{.openInput = 9}));
    EXPECT_EQ(RunTest(b, "ICTEST 1", "4011"), "Error");
}

// ---- Detect ----------------------------------------------------------------------------------

TEST(IcTest, DetectFindsTheNandAndItsSchmittTwin) {
    SimBench b("74LS00");
    AlgoForm& f = b.Open("ICTEST 0");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "Found 2 same logic chip..");
    EXPECT_EQ(f.Get("ListBox2").Items, (std::vector<std::string>{"74xx00", "74xx132"}));
    EXPECT_EQ(f.Text("Number"), "74xx00");
    EXPECT_EQ(Form(f).DetectCount, 2);
}

TEST(IcTest, DetectFindsA4011Alone) {
    SimBench b("CD4011");
    AlgoForm& f = b.Open("ICTEST 1");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "One type found...");
    EXPECT_EQ(f.Get("ListBox2").Items, (std::vector<std::string>{"4011"}));
    EXPECT_EQ(f.Text("Number"), "4011");
}

TEST(IcTest, AnEmptySocketIsEmpty) {
    SimBench b("");
    AlgoForm& f = b.Open("ICTEST 0");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "Empty!!");
    EXPECT_TRUE(f.Get("ListBox2").Items.empty());
    EXPECT_EQ(f.Text("Number"), " ");
}

TEST(IcTest, A74138MatchesNoFourteenPinType) {
    SimBench b("74LS138");
    AlgoForm& f = b.Open("ICTEST 0");
    f.Click("Button1");
    EXPECT_EQ(f.Get("ListBox2").Items, (std::vector<std::string>{"74xx138"}));
}

struct LastType {
    const char* part;
    const char* params;
    const char* type;
};
class LastTypes : public ::testing::TestWithParam<LastType> {};

// Every entry is tried: the last type of each library is found (and the first, above).
TEST_P(LastTypes, AreFoundByDetect) {
    const LastType& c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    ASSERT_EQ(f.Get("ListBox1").Items.back(), c.type);
    f.Click("Button1");
    const auto& found = f.Get("ListBox2").Items;
    EXPECT_NE(std::find(found.begin(), found.end(), c.type), found.end()) << f.Text("Message");
}

INSTANTIATE_TEST_SUITE_P(Libraries, LastTypes,
                         ::testing::Values(LastType{"74LS245", "ICTEST 0", "74xx245"},
                                           LastType{"CD4040", "ICTEST 1", "4040"},
                                           LastType{"CD4556", "ICTEST 2", "4556"}),
                         CaseName([](const LastType& c) { return std::string(c.part); }));

// ---- sequential types -----------------------------------------------------------------------

TEST(IcTest, The4040TypeClocksThroughItsRepeatAndFlushesEarly) {
    SimBench b("CD4040");
    b.tap->record = false;
    AlgoForm& f = b.Open("ICTEST 1");
    ASSERT_TRUE(Select(f, "4040"));
    const auto transfers = b.Transfers();
    f.Click("Test1");
    EXPECT_EQ(f.Text("Message"), "OK!");
    // The replayed pairs: 4,096 falling edges on /CLOCK (pin 10) after the reset,
    // to all ones and back to 0, each with its rise.
    EXPECT_GE(b.ChipAs<LogicChip>().Edges(10), 2u * 4095u);
    EXPECT_LE(b.ChipAs<LogicChip>().Edges(10), 2u * 4095u + 8u);
    // Some 8,200 drive-only vectors (73,000 bytes) left in more than one transfer.
    EXPECT_GT(b.Transfers() - transfers, 10u);
}

TEST(IcTest, The4518AndThe4520FailEachOthersType) {
    {
        SimBench b("CD4518");
        EXPECT_EQ(RunTest(b, "ICTEST 2", "4518"), "OK!");
        EXPECT_EQ(RunTest(b, "ICTEST 2", "4520"), "Error");
    }
    {
        SimBench b("CD4520");
        EXPECT_EQ(RunTest(b, "ICTEST 2", "4520"), "OK!");
        EXPECT_EQ(RunTest(b, "ICTEST 2", "4518"), "Error");
    }
}

// ---- every shipped type ---------------------------------------------------------------------

struct Shipped {
    const char* type;
    const char* part;
    const char* params;
};
const std::vector<Shipped> kShipped{
    {"74xx00", "74LS00", "ICTEST 0"},   {"74xx02", "74LS02", "ICTEST 0"},   {"74xx04", "74LS04", "ICTEST 0"},
    {"74xx08", "74LS08", "ICTEST 0"},   {"74xx32", "74LS32", "ICTEST 0"},   {"74xx86", "74LS86", "ICTEST 0"},
    {"74xx132", "74LS132", "ICTEST 0"}, {"74xx74", "74LS74", "ICTEST 0"},   {"74xx138", "74LS138", "ICTEST 0"},
    {"74xx161", "74LS161", "ICTEST 0"}, {"74xx154", "74LS154", "ICTEST 0"}, {"74xx245", "74LS245", "ICTEST 0"},
    {"4001", "CD4001", "ICTEST 1"},     {"4011", "CD4011", "ICTEST 1"},     {"4069", "CD4069", "ICTEST 1"},
    {"4070", "CD4070", "ICTEST 1"},     {"4071", "CD4071", "ICTEST 1"},     {"4081", "CD4081", "ICTEST 1"},
    {"4013", "CD4013", "ICTEST 1"},     {"4017", "CD4017", "ICTEST 1"},     {"4040", "CD4040", "ICTEST 1"},
    {"4511", "CD4511", "ICTEST 2"},     {"4518", "CD4518", "ICTEST 2"},     {"4520", "CD4520", "ICTEST 2"},
    {"4555", "CD4555", "ICTEST 2"},     {"4556", "CD4556", "ICTEST 2"},
};

class EveryType : public ::testing::TestWithParam<Shipped> {};

TEST_P(EveryType, PassesOnItsModelAndFailsOnAnother) {
    const Shipped& s = GetParam();
    {
        SimBench b(s.part);
        EXPECT_EQ(RunTest(b, s.params, s.type), "OK!");
    }
    // Some other model of the same library fails it.
    bool failed = false;
    for (const Shipped& other : kShipped) {
        if (std::string(other.params) != s.params || std::string(other.part) == s.part) continue;
        SimBench b(other.part);
        if (RunTest(b, s.params, s.type) == "Error") {
            failed = true;
            break;
        }
    }
    EXPECT_TRUE(failed) << s.type;
}

INSTANTIATE_TEST_SUITE_P(Libraries, EveryType, ::testing::ValuesIn(kShipped),
                         CaseName([](const Shipped& s) { return std::string(s.type); }));

// ---- every type against faulty chips ----------------------------------------------------------

struct LibraryType {
    int series;  // 0 TTL74, 1 CMOS40, 2 CMOS45
    ictest::BuiltType type;
};

std::vector<LibraryType> LibraryTypes() {
    static const char* const sources[3] = {"ttl74.txt", "cmos40.txt", "cmos45.txt"};
    std::vector<LibraryType> out;
    for (int series = 0; series < 3; ++series) {
        std::ifstream in(SourceDataDir() + "iclib/" + sources[series], std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const auto lib = ictest::BuildLibrary(text);
        EXPECT_EQ(lib.error, "") << sources[series];
        for (const auto& t : lib.types) out.push_back({series, t});
    }
    return out;
}

std::string Formatted(const char* format, long number) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, static_cast<int>(number));
    return buf;
}
std::string TypeText(const LibraryType& t) {
    static const char* const formats[3] = {"74xx%02d", "40%02d", "45%02d"};
    return Formatted(formats[t.series], t.type.number);
}
std::string ModelOf(const LibraryType& t) {
    static const char* const formats[3] = {"74LS%02d", "CD40%02d", "CD45%02d"};
    return Formatted(formats[t.series], t.type.number);
}

class FaultyChips : public ::testing::TestWithParam<LibraryType> {};

// Two outputs swapped, or one output stuck at either level: never "OK!".
TEST_P(FaultyChips, FailWithAnyTwoOutputsSwappedOrOneStuck) {
    const LibraryType& t = GetParam();
    const std::string type = TypeText(t), model = ModelOf(t);
    ASSERT_NE(sim::FindLogicPart(model), nullptr) << "no chip model for " << type;
    std::vector<std::pair<std::string, LogicFaults>> faults;
    const std::vector<int>& outs = t.type.outputs;
    for (std::size_t i = 0; i < outs.size(); ++i) {
        for (std::size_t j = i + 1; j < outs.size(); ++j)
            faults.push_back({"pins " + std::to_string(outs[i]) + " and " + std::to_string(outs[j]) + " swapped",
                              LogicFaults{.swapA = outs[i], .swapB = outs[j]}});
        faults.push_back({"pin " + std::to_string(outs[i]) + " stuck high", LogicFaults{.stuckHighOutput = outs[i]}});
        faults.push_back({"pin " + std::to_string(outs[i]) + " stuck low", LogicFaults{.stuckLowOutput = outs[i]}});
    }
    SimBench b(model);
    b.tap->record = false;
    AlgoForm& f = b.Open("ICTEST " + std::to_string(t.series));
    ASSERT_TRUE(Select(f, type));
    f.Click("Test1");
    ASSERT_EQ(f.Text("Message"), "OK!") << "the good chip";
    const int beeps = b.prompts.beeps;
    for (const auto& [name, fault] : faults) {
        Seat(b, sim::MakeLogicChip(model, fault));
        f.Click("Test1");
        EXPECT_EQ(f.Text("Message"), "Error") << type << ": " << name;
    }
    EXPECT_EQ(b.prompts.beeps, beeps);
    EXPECT_EQ(b.wb->Counter, "0");
}

INSTANTIATE_TEST_SUITE_P(Libraries, FaultyChips, ::testing::ValuesIn(LibraryTypes()),
                         CaseName([](const LibraryType& t) { return TypeText(t); }));

// Every listed ICTEST line: its part is found by Detect in its series.
class IcTestLines : public ::testing::TestWithParam<ListedLine> {};

TEST_P(IcTestLines, DetectFindsTheLinesPart) {
    const ListedLine& l = GetParam();
    SimBench b(l.part);
    AlgoForm& f = b.Open(l.params);
    ASSERT_EQ(f.Text("Message"), "OK ");
    f.Click("Button1");
    EXPECT_FALSE(f.Get("ListBox2").Items.empty()) << f.Text("Message");
    EXPECT_NE(f.Text("Message"), "Empty!!");
}

INSTANTIATE_TEST_SUITE_P(Device520, IcTestLines, ::testing::ValuesIn(DeviceLines("device520.lst", {"ICTEST"})),
                         CaseName([](const ListedLine& l) { return l.part; }));

// ---- voltage ------------------------------------------------------------------------------------

TEST(IcTest, TheVoltageItemsSetTheirLevels) {
    SimBench b("74HC00");
    AlgoForm& f = b.Open("ICTEST 0");
    ASSERT_TRUE(Select(f, "74xx00"));
    const int want[4] = {50, 44, 33, 25};
    for (int i = 0; i < 4; ++i) {
        f.Choose("ComboBox1", i);
        b.tap->commands.clear();
        f.Click("Test1");
        EXPECT_EQ(f.Text("Message"), "OK!") << i;  // 74HC: 2-6 V
        int level = -1;
        for (const auto& c : b.tap->commands)
            if (c[0] == proto::OpSystem && c[1] == proto::SysVccLevel) {
                level = c[2];
                break;
            }
        EXPECT_EQ(level, want[i]);
    }
}

TEST(IcTest, A74lsPartFailsAtTwoAndAHalfVolts) {
    SimBench b("74LS00");
    AlgoForm& f = b.Open("ICTEST 0");
    ASSERT_TRUE(Select(f, "74xx00"));
    f.Choose("ComboBox1", 3);
    f.Click("Test1");
    EXPECT_EQ(f.Text("Message"), "Error");
}

// ---- the loader --------------------------------------------------------------------------------

// A 7400 type body whose four vectors tell its outputs apart (the builder
// refuses a weaker one), and a 16-pin body with two outputs on pins 9 and 10.
constexpr const char* kNand = "V 00H01HG H10L11V\nV 01H10HG L11H00V\nV 10H11LG H00H01V\nV 11L00HG H01H10V\n";
constexpr const char* kTwoOutputs16 = "V 0000000G LH00000V\nV 0000000G HL00000V\n";

struct LibDir {
    TempDir dir;
    void Put(const std::string& file, const std::string& source) {
        const auto lib = ictest::BuildLibrary(source);
        ASSERT_EQ(lib.error, "");
        dir.Write(file, lib.bytes);
    }
    std::string Path() const { return dir.path.string() + "/"; }
};

TEST(IcTest, TypeTextsFollowTheSeries) {
    SimBench b("74LS00");
    LibDir d;
    d.Put("TTL74.LIB", std::string("TYPE 0 14\n") + kNand + "TYPE 138 16\n" + kTwoOutputs16);
    d.Put("CMOS40.LIB", std::string("TYPE 11 14\n") + kNand + "TYPE 106 14\n" + kNand);
    d.Put("CMOS45.LIB", std::string("TYPE 11 16\n") + kTwoOutputs16);
    AlgoForm& f = b.Open("ICTEST 0");
    b.wb->ProgramDir = d.Path();
    f.Choose("RadioGroup1", 0);
    EXPECT_EQ(f.Get("ListBox1").Items, (std::vector<std::string>{"74xx00", "74xx138"}));
    f.Choose("RadioGroup1", 1);
    EXPECT_EQ(f.Get("ListBox1").Items, (std::vector<std::string>{"4011", "40106"}));
    f.Choose("RadioGroup1", 2);
    EXPECT_EQ(f.Get("ListBox1").Items, (std::vector<std::string>{"4511"}));
}

TEST(IcTest, LoadingTakesTheGroundBitOutOfEveryPatternWord) {
    SimBench b("74LS00");
    LibDir d;
    d.Put("TTL74.LIB", std::string("TYPE 0 14\n") + kNand);
    AlgoForm& f = b.Open("ICTEST 0");
    b.wb->ProgramDir = d.Path();
    f.Choose("RadioGroup1", 0);
    const auto& buf = Form(f).IcLibraryBuffer;
    // FF B6 9F / FF 36 9F: bit 3 of FFB6 and FF36 goes, bits 4-15 move down.
    EXPECT_EQ(std::vector<std::uint8_t>(buf.begin() + 10, buf.begin() + 16),
              (std::vector<std::uint8_t>{0x7F, 0xDE, 0x9F, 0x7F, 0x9E, 0x9F}));
    ASSERT_TRUE(Select(f, "74xx00"));
    f.Click("Test1");
    EXPECT_EQ(f.Text("Message"), "OK!");
}

TEST(IcTest, ATypeWithoutVectorsNeverPassesAndARepeatOfZeroDoesNothing) {
    SimBench b("74LS00");
    LibDir d;
    d.Put("TTL74.LIB",
          "TYPE 1 14\n"
          "TYPE 0 14\nV 00H01HG H10L11V\nV 01H10HG L11H00V\nR 0\nV 10H11LG H00H01V\nV 11L00HG H01H10V\n");
    AlgoForm& f = b.Open("ICTEST 0");
    b.wb->ProgramDir = d.Path();
    f.Choose("RadioGroup1", 0);
    auto& form = Form(f);
    ASSERT_EQ(form.EntryCount, 2);
    EXPECT_EQ(form.Entries[0].Count, 0);
    EXPECT_EQ(form.Entries[0].Offset, form.Entries[1].Offset);  // borrowed from the next
    EXPECT_EQ(form.Entries[0].VccPin, 27);
    ASSERT_TRUE(Select(f, "74xx01"));
    f.Click("Test1");
    EXPECT_EQ(f.Text("Message"), "Error");
    ASSERT_TRUE(Select(f, "74xx00"));
    auto* design = dynamic_cast<sim::IcTestDesign*>(b.sim->LoadedDesign());
    ASSERT_NE(design, nullptr);
    const auto before = design->Applied();
    f.Click("Test1");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(design->Applied() - before, 4u);  // the four vectors: a repeat of 0 replays nothing
    f.Click("Button1");
    EXPECT_EQ(f.Get("ListBox2").Items, (std::vector<std::string>{"74xx00"}));
}

struct BadLibrary {
    const char* name;
    std::vector<std::uint8_t> bytes;
};
class BadLibraries : public ::testing::TestWithParam<BadLibrary> {};

TEST_P(BadLibraries, ShowNoLibAndKeepTheList) {
    SimBench b("74LS00");
    LibDir d;
    d.dir.Write("TTL74.LIB", GetParam().bytes);
    AlgoForm& f = b.Open("ICTEST 0");
    const auto before = f.Get("ListBox1").Items;
    ASSERT_FALSE(before.empty());
    b.wb->ProgramDir = d.Path();
    f.Choose("RadioGroup1", 0);
    EXPECT_EQ(f.Text("Message"), "No lib..");
    EXPECT_EQ(f.Get("ListBox1").Items, before);
    ASSERT_TRUE(Select(f, "74xx00"));
    f.Click("Test1");
    EXPECT_EQ(f.Text("Message"), "OK!");
}

std::vector<std::uint8_t> Good() {
    auto v = ictest::BuildLibrary(std::string("TYPE 0 14\n") + kNand).bytes;
    EXPECT_FALSE(v.empty());
    return v;
}
std::vector<std::uint8_t> WithoutE() {
    auto v = Good();
    v.pop_back();
    return v;
}
std::vector<std::uint8_t> TooBig() {
    auto v = Good();
    v.insert(v.end(), 30001, 'E');
    return v;
}
std::vector<std::uint8_t> LeadingRepeat() {
    auto v = Good();
    v[7] = ictest::FlagRepeat;
    return v;
}
std::vector<std::uint8_t> CountPastTheData() {
    auto v = Good();
    v[5] = 5;  // four vectors follow
    return v;
}

INSTANTIATE_TEST_SUITE_P(Cases, BadLibraries,
                         ::testing::Values(BadLibrary{"no E", WithoutE()}, BadLibrary{"over 30000 bytes", TooBig()},
                                           BadLibrary{"leading repeat", LeadingRepeat()},
                                           BadLibrary{"count past the data", CountPastTheData()},
                                           BadLibrary{"empty file", {}}),
                         CaseName([](const BadLibrary& l) { return std::string(l.name); }));

TEST(IcTest, WithoutALibraryTestAndDetectDriveNothing) {
    SimBench b("74LS00");
    auto& f = b.Open("ICTEST 0");
    // A form whose first library was missing: nothing loaded at all.
    TempDir empty;
    Workbench& wb = *b.wb;
    wb.ProgramDir = empty.path.string() + "/";
    TICTestx fresh(wb);
    EXPECT_EQ(fresh.Text("Message"), "No lib..");
    const auto transfers = b.Transfers();
    fresh.Click("Test1");
    fresh.Click("Button1");
    EXPECT_EQ(b.Transfers(), transfers);
    EXPECT_EQ(fresh.Text("Message"), "No lib..");
    (void)f;
}

class SeriesRows : public ::testing::TestWithParam<int> {};

TEST_P(SeriesRows, OutsideZeroToTwoAreRefusedWithNothingSent) {
    SimBench b("74LS00");
    AlgoForm& f = b.Open("ICTEST " + std::to_string(GetParam()));
    EXPECT_EQ(b.Transfers(), 0u);
    EXPECT_NE(f.Text("Message").find("not in the device table"), std::string::npos) << f.Text("Message");
}

INSTANTIATE_TEST_SUITE_P(Rows, SeriesRows, ::testing::Values(3, 9),
                         CaseName([](int v) { return "series " + std::to_string(v); }));

}  // namespace
}  // namespace quilla::test
