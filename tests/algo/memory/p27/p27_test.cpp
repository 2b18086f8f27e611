// The UV/OTP EPROM form end to end on the simulated programmer.
#include <cstdio>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "algo/memory/p27.h"
#include "app/hexfile.h"
#include "app/programdir.h"
#include "engine/ep3.h"
#include "sim/chips/eprom.h"
#include "support/sim_bench.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

std::string Fmt(const char* f, unsigned a, unsigned b) {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, a, b);
    return buf;
}

TEST(P27, HexImageWritesVerifiesReadsBackAndBlankFindsTheFirstByte) {
    SimBench b("AT27C256R");
    // A HEX image, through the HEX reader.
    std::vector<std::uint8_t> src(0x8000, 0xFF);
    std::mt19937 rng(11);
    for (int i = 0x40; i < 0x8000; ++i) src[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
    const std::string hex = FormatHex(src, 0x7FFF);
    ParseHex(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(hex.data()), hex.size()),
             std::span<std::uint8_t>(b.wb->ImageBuffer));

    AlgoForm& f = b.Open("P27 13");
    EXPECT_EQ(f.Text("Message"), "OK ");
    EXPECT_EQ(f.Caption(), "0 to 7fff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));

    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");

    std::fill(b.Image(), b.Image() + 0x8000, 0x00);
    f.Click("ReadButton");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(std::equal(src.begin(), src.end(), b.Image()));

    // Blank from Device offset 0x20: the first programmed byte is 0x40, 0x20 in.
    f.Enter("Edit2", "20");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), Fmt("%06x:Err. Not Blank=%02x", 0x20, src[0x40]));
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_TRUE(b.sim->ViolationTexts().empty()) << b.sim->ViolationTexts().front();
}

TEST(P27, BlankChipPassesBlankCheck) {
    SimBench b("M27C512");
    AlgoForm& f = b.Open("P27 14");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "Blank.");
    EXPECT_EQ(b.wb->ErrorFlag(), 0);
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

TEST(P27, SlowChipFailsAtFirstReadBackAtFastestSpeedAndPassesAtSlowest) {
    {
        SimBench b("AT27C256R");
        b.ChipAs<sim::EpromChip>().SetSlowFactor(200);  // 2 ms of programming per byte
        b.RandomImage(0x8000);
        AlgoForm& f = b.Open("P27 13");
        f.Choose("RadioGroup1", 0);  // "F.++": one 1 ms wait per byte
        f.Click("Write");
        int first = 0;
        while (b.Image()[first] == 0xFF) ++first;
        EXPECT_EQ(f.Text("Message"),
                  Fmt("%06x:Error.(File=%02x,chip=ff)", static_cast<unsigned>(first), b.Image()[first]));
        EXPECT_EQ(b.wb->ErrorFlag(), 1);
    }
    {
        SimBench b("AT27C256R");
        b.ChipAs<sim::EpromChip>().SetSlowFactor(200);
        b.RandomImage(0x8000);
        AlgoForm& f = b.Open("P27 13");
        f.Choose("RadioGroup1", 4);  // "S.++": five
        f.Click("Write");
        EXPECT_EQ(f.Text("Message"), "OK!");
        f.Click("Verify");
        EXPECT_EQ(f.Text("Message"), "Data OK!");
        EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
    }
}

TEST(P27, Row2716IsWrittenByteByByteToItsLastAddress) {
    SimBench b("2716");
    b.RandomImage(0x800);
    AlgoForm& f = b.Open("P27 3");  // 25 V
    f.Enter("Edit2", "123");        // rounded down to 0x100
    f.Enter("Edit3", "10");         // Length is not used
    const auto before = b.Transfers();
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_GE(b.Transfers() - before, 0x700u);  // one transfer per byte
    // Chip 0x100.. from image index 0 (the File offset, 0, rounded down).
    for (int a = 0; a < 0x100; ++a) EXPECT_EQ(b.Chip()[static_cast<std::size_t>(a)], 0xFF);
    for (int a = 0x100; a < 0x800; ++a)
        ASSERT_EQ(b.Chip()[static_cast<std::size_t>(a)], b.Image()[a - 0x100]) << a;
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

TEST(P27, Row2716At21VoltsProgramsNothingOnA25VoltPart) {
    SimBench b("2716");
    b.RandomImage(0x800);
    AlgoForm& f = b.Open("P27 2");
    f.Click("Write");
    for (auto c : b.Chip()) ASSERT_EQ(c, 0xFF);
    // The write reads its bytes back and says so.
    int first = 0;
    while (b.Image()[first] == 0xFF) ++first;
    EXPECT_EQ(f.Text("Message"),
              Fmt("%06x:Error.(File=%02x,chip=ff)", static_cast<unsigned>(first), b.Image()[first]));
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    b.wb->ErrorFlag() = 0;
    f.Click("Verify");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

struct IdCase {
    const char* part;
    const char* params;
    const char* id;
};
class P27Id : public ::testing::TestWithParam<IdCase> {};

TEST_P(P27Id, IdButtonShowsTheDatasheetCodes) {
    const IdCase c = GetParam();
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    f.Click("MFG");
    EXPECT_EQ(f.Text("Edit4"), c.id);
    b.dlg->MFRClick();
    EXPECT_EQ(b.dlg->Edit1, c.id);
}

INSTANTIATE_TEST_SUITE_P(Parts, P27Id,
                         ::testing::Values(IdCase{"AT27C010", "P27 16", "1e,05"},
                                           IdCase{"M27C1001", "P27 16", "20,05"},
                                           IdCase{"M27C4001", "P27 18", "20,41"},
                                           IdCase{"AT27C256R", "P27 13", "ff,ff"},  // 28 pins: not powered
                                           IdCase{"W27E512", "PW27 1", "ff,ff"}),
                         quilla::test::CaseName([](const auto& c) { return std::string(c.part); }));

TEST(P27, IdButtonRestoresTheRowsVppLevelSoWriteProgramsAtIt) {
    SimBench b("AT27C256R");
    AlgoForm& f = b.Open("P27 13");
    f.Click("MFG");
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 127);
    b.RandomImage(0x8000);
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    // Every VPP routing during the write was at 12.7 V.
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 127);
}

TEST(P27, OverCurrentWhenWriteStartsStopsTheBatchWithNothingProgrammed) {
    SimBench b("AT27C256R");
    b.RandomImage(0x8000);
    AlgoForm& f = b.Open("P27 13");
    f.SetChecked("CheckBox2", false);
    f.SetChecked("CheckBox4", false);
    b.sim->InjectOverCurrent();
    f.Click("Button1");
    ASSERT_FALSE(b.prompts.shown.empty());
    EXPECT_EQ(b.prompts.Last(), OverCurrentMsg);
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_NE(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
    for (auto c : b.Chip()) ASSERT_EQ(c, 0xFF);
}

TEST(P27, BadContactEndsTheBatchWithoutCounting) {
    SimBench b("AT27C256R");
    b.RandomImage(0x8000);
    AlgoForm& f = b.Open("P27 13");
    b.sim->SetBadContact(17);
    b.prompts.answers.push_back(BtnCancel);
    f.Click("Button1");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_NE(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    for (auto c : b.Chip()) ASSERT_EQ(c, 0xFF);
}

TEST(P27, MassProductionBatchProgramsThreeChipsInsertedOneAfterAnother) {
    SimBench b("AT27C256R");
    b.sim->SetChipPresent(false);  // the socket starts empty
    b.RandomImage(0x8000);
    b.wb->options.MassProduction = true;
    b.wb->options.SerialStamp = true;  // at 0x0fff, 2 bytes
    AlgoForm& f = b.Open("P27 13");

    // Polls: the wait's removal phase sees the empty socket at once; the chip
    // comes at the next poll; Blank, Write and Verify each poll once.
    b.sim->ScheduleInsertion(sim::When::AfterPolls(1));
    for (int chip = 2; chip <= 3; ++chip) {
        b.sim->ScheduleRemoval(sim::When::AfterPolls(5));
        b.sim->ScheduleInsertion(sim::When::AfterPolls(1), sim::MakeEprom("AT27C256R").chip);
    }
    b.sim->ScheduleRemoval(sim::When::AfterPolls(5));  // the last chip is taken out; none follows

    f.Click("Button1");
    EXPECT_EQ(b.wb->Counter, "3");
    EXPECT_EQ(b.wb->options.SerialValue, "3");
    // The third chip got the serial written after the second pass.
    EXPECT_EQ(b.Chip()[0xFFF], 0x02);
    EXPECT_EQ(b.Chip()[0x1000], 0x00);
    EXPECT_TRUE(b.ChipMatchesImage(0x1001, 0x7000 - 1));
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

TEST(P27, MassProductionChipWithABadContactIsNeverTakenAndNothingCounts) {
    SimBench b("AT27C256R");
    b.sim->SetChipPresent(false);
    b.RandomImage(0x8000);
    b.wb->options.MassProduction = true;
    AlgoForm& f = b.Open("P27 13");
    b.sim->SetBadContact(22);
    b.sim->ScheduleInsertion(sim::When::AfterPolls(1));
    f.Click("Button1");
    EXPECT_NE(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_TRUE(b.prompts.shown.empty());  // mass production reports nothing
    for (auto c : b.Chip()) ASSERT_EQ(c, 0xFF);
}

// ---- refusals ------------------------------------------------------------------------------------

class P27BadVariant : public ::testing::TestWithParam<const char*> {};

TEST_P(P27BadVariant, RefusesWithAMessageBeforeSendingAnything) {
    SimBench b("AT27C256R");
    const auto before = b.Transfers();
    AlgoForm& f = b.Open(GetParam());
    EXPECT_EQ(b.Transfers(), before);
    ASSERT_FALSE(b.prompts.shown.empty());
    EXPECT_NE(b.prompts.Last().find("variant"), std::string::npos);
    for (const char* op : {"Write", "Blank", "Verify", "ReadButton", "Button1"}) {
        f.Click(op);
        EXPECT_EQ(b.Transfers(), before) << op;
    }
    EXPECT_FALSE(f.DeviceLineError().empty());
}

INSTANTIATE_TEST_SUITE_P(Lines, P27BadVariant,
                         ::testing::Values("P27 0", "P27 22", "P27 29", "P27 30", "P27 -1", "P27 1000"),
                         quilla::test::CaseName([](const auto& c) { return std::string(c); }));

struct OffsetCase {
    const char* edit;
    const char* text;
    const char* op;
};
class P27BadOffset : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(P27BadOffset, RefusesBeforeSendingAnything) {
    const OffsetCase c = GetParam();
    SimBench b("AT27C256R");
    AlgoForm& f = b.Open("P27 13");
    f.Enter(c.edit, c.text);
    const auto before = b.Transfers();
    f.Click(c.op);
    EXPECT_EQ(b.Transfers(), before);
    EXPECT_NE(f.Text("Message").find("offset"), std::string::npos) << f.Text("Message");
    for (auto v : b.Chip()) ASSERT_EQ(v, 0xFF);
}

INSTANTIATE_TEST_SUITE_P(Cases, P27BadOffset,
                         ::testing::Values(OffsetCase{"Edit2", "8000", "Write"},
                                           OffsetCase{"Edit2", "8000", "Verify"},
                                           OffsetCase{"Edit2", "8000", "Blank"},
                                           OffsetCase{"Edit2", "-1", "Write"},
                                           OffsetCase{"Edit1", "7ffc00", "Write"},
                                           OffsetCase{"Edit1", "7ffc00", "Verify"},
                                           OffsetCase{"Edit1", "-400", "Write"}),
                         quilla::test::CaseName([](const auto& c) {
                             return std::string(c.op) + " " + c.edit + " " + c.text;
                         }));

TEST(P27, UnalignedLastBlockNeverWrapsOntoAddressZero) {
    SimBench b("AT27C256R");
    std::fill(b.Image(), b.Image() + 0x8000, 0x00);
    AlgoForm& f = b.Open("P27 13");
    f.Enter("Edit2", "7f00");
    f.Enter("Edit1", "7f00");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    for (int a = 0; a < 0x7F00; ++a) ASSERT_EQ(b.Chip()[static_cast<std::size_t>(a)], 0xFF) << a;
    for (int a = 0x7F00; a < 0x8000; ++a) ASSERT_EQ(b.Chip()[static_cast<std::size_t>(a)], 0x00) << a;
}

TEST(P27, DeviceOffsetNotOnA1KBoundaryWritesEveryBlockWithoutReadBack) {
    SimBench b("AT27C256R");
    b.RandomImage(0x8000);
    AlgoForm& f = b.Open("P27 13");
    f.Enter("Edit1", "200");
    f.Enter("Edit2", "200");
    const auto readsBefore = b.sim->GetCounters().transfersIn;
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(b.ChipMatchesImage(0x200, 0x7E00));
    // Contact test and current checks only: no 1 KiB read-back.
    EXPECT_LT(b.sim->GetCounters().bytesIn, 1024u + readsBefore * 64 + 64 * 16);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "Data OK!");
}

TEST(P27, OffsetEditsKeepThePreviousValueOnTextThatIsNoNumber) {
    SimBench b("AT27C256R");
    AlgoForm& f = b.Open("P27 13");
    f.Enter("Edit1", "100");
    EXPECT_EQ(f.Text("Edit1"), "100");
    f.SetText("Edit1", "xyz");
    f.KeyDown("Edit1", 13);
    EXPECT_EQ(f.Text("Edit1"), "100");
    EXPECT_EQ(f.Text("Edit3"), "7fff");
}

TEST(P27, CloseSwitchesEverythingOff) {
    SimBench b("AT27C256R");
    AlgoForm& f = b.Open("P27 13");
    f.Click("CancelBtn");
    EXPECT_FALSE(f.IsShown());
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 0);
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 0);
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
}

}  // namespace
}  // namespace quilla::test

namespace quilla::test {
namespace {

// Rows whose values match no part's datasheet are named by no device line.
TEST(P27, DeviceListsNameNoRowThatContradictsADatasheet) {
    const std::set<int> leftOut{1, 2, 4, 9, 12, 15, 20, 21};
    int lines = 0;
    for (const char* file : {"device520.lst", "device640.lst"}) {
        std::ifstream in(SourceDataDir() + file);
        ASSERT_TRUE(in) << file;
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("EPR ", 0) != 0) continue;
            const auto comma = line.find(',');
            ASSERT_NE(comma, std::string::npos) << line;
            std::istringstream params(line.substr(comma + 1));
            std::string keyword;
            int variant = -1;
            params >> keyword >> variant;
            if (keyword != "P27") continue;
            ++lines;
            EXPECT_EQ(leftOut.count(variant), 0u) << file << ": " << line;
        }
    }
    EXPECT_GT(lines, 0);
}

}  // namespace
}  // namespace quilla::test
