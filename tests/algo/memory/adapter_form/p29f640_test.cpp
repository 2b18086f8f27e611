// The adapter-socket JEDEC flash form (P29F640) end to end on the simulated
// programmer: AT49BV322A/AT on the TSOP48 board of row 1, Am29LV160DT on row 2,
// AT49F002 on the DIP32 board of row 7.
#include <algorithm>

#include "algo/memory/p29f640.h"
#include "sim/chips/jedec.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::JedecFlash;

constexpr const char* kAtmel = "P29F640 1 #1F 00 C8 00 mem=6 dly=200 prt=3 msk=10 vcc=3300";
constexpr const char* kAmd = "P29F640 2 #01 00 C4 22 mem=5 dly=260 prt=1 msk=7 vcc=3300";
constexpr const char* kAt49f002 = "P29F640 7 mem=2 dly=110 prt=3 msk=2 vcc=5000";

void Fill(SimBench& b, std::uint8_t v) {
    auto c = b.ChipAs<JedecFlash>().MutableContents();
    std::fill(c.begin(), c.end(), v);
}

TEST(P29f640, SetupLoadsTheRowDesignAndTheLineSupplies) {
    SimBench b("AT49BV322A");
    AlgoForm& f = b.Open(kAtmel);
    EXPECT_EQ(f.Text("Message"), "OK ");
    EXPECT_EQ(b.sim->LoadedTag(), "tsop48at49f321");
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 33);
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 120);
    EXPECT_EQ(f.Text("Edit1"), "0");
    EXPECT_EQ(f.Text("Edit3"), "3fffff");
    // msk=10: Lock and the protection register; no Unlock, no temporary unprotect.
    EXPECT_TRUE(f.Get("Protect").Visible);
    EXPECT_FALSE(f.Get("UnProtect").Visible);
    EXPECT_FALSE(f.Get("TempUnprotect").Visible);
    EXPECT_TRUE(f.Get("Bit128").Visible);
}

TEST(P29f640, TheIdOfA16BitRowIsComparedOnFourBytes) {
    struct Case {
        const char* part;
        bool asks;
    };
    for (const Case& c : {Case{"AT49BV322A", false}, Case{"AT49BV322AT", true}}) {
        SimBench b(c.part);
        AlgoForm& f = b.Open(kAtmel);
        b.prompts.answers = {BtnNo};
        f.Enter("Edit3", "1fff");
        f.Click("Blank");
        EXPECT_EQ(b.prompts.shown.size(), c.asks ? 1u : 0u) << c.part;
        if (c.asks) {
            EXPECT_EQ(b.prompts.shown[0].text, "错误的Type！\n继续吗?");
            EXPECT_NE(f.Text("Message"), "OK");
        } else {
            EXPECT_EQ(f.Text("Message"), "OK");
        }
    }
}

TEST(P29f640, BatchErasesBlankChecksWritesAndVerifies) {
    struct Case {
        const char* device;
        const char* file;
    };
    for (const Case& c : {Case{"0", "0"}, Case{"2000", "2000"}}) {
        SimBench b("AT49BV322A");
        Fill(b, 0x00);
        b.RandomImage(0x6000, 51);
        AlgoForm& f = b.Open(kAtmel);
        f.Enter("Edit2", c.device);
        f.SetText("Edit1", c.file);
        f.Enter("Edit3", "5fff");
        f.Click("Button1");
        EXPECT_EQ(f.Text("Message"), "End OK..") << c.device;
        EXPECT_EQ(b.wb->Counter, "1");
        const int first = static_cast<int>(std::stoul(c.device, nullptr, 16));
        EXPECT_TRUE(b.ChipMatchesImage(first, 0x6000 - first)) << c.device;
        EXPECT_TRUE(b.ChipBlank(0x6000, 0x10000)) << c.device;
        EXPECT_EQ(b.ChipAs<JedecFlash>().ChipErasesStarted(), 1);
    }
}

TEST(P29f640, AnEraseShorterThanTheChipEraseFailsTheBatchAtBlank) {
    SimBench b("AT49BV322A");
    Fill(b, 0x00);
    AlgoForm& f = b.Open("P29F640 1 mem=6 dly=50 prt=3 msk=10 vcc=3300");
    f.Enter("Edit3", "1fff");
    f.Click("Button1");
    EXPECT_NE(f.Text("Message"), "End OK..");
    EXPECT_EQ(f.Text("Message").substr(6, 15), ":Err. Not Blank");
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(P29f640, VerifyComparesFromTheFileOffsetUpToTheEndAddress) {
    SimBench b("AT49BV322A");
    b.RandomImage(0x400, 52);
    auto cells = b.ChipAs<JedecFlash>().MutableContents();
    std::copy(b.Image() + 0x100, b.Image() + 0x300, cells.begin());
    AlgoForm& f = b.Open(kAtmel);
    f.SetText("Edit1", "100");
    f.Enter("Edit2", "0");
    f.Enter("Edit3", "1ff");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK..");
    cells[0x10] ^= 0xFF;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message").substr(0, 6), "000110");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(P29f640, ReadWritesTheChipIntoTheImageFromTheFileOffset) {
    SimBench b("AT49BV322A");
    auto cells = b.ChipAs<JedecFlash>().MutableContents();
    for (std::size_t i = 0; i < 0x4000; ++i) cells[i] = static_cast<std::uint8_t>(i * 5 + 1);
    AlgoForm& f = b.Open(kAtmel);
    f.SetText("Edit1", "10000");
    f.Enter("Edit2", "2000");
    f.Enter("Edit3", "3fff");
    f.Click("ReadButton");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(std::equal(cells.begin() + 0x2000, cells.begin() + 0x4000, b.Image() + 0x10000));
}

// ---- protection -----------------------------------------------------------------------------------

TEST(P29f640, Method1LocksTheRangeAndTemporaryUnprotectOrUnlockLetsItErase) {
    SimBench b("AM29LV160DT");
    Fill(b, 0x00);
    AlgoForm& f = b.Open(kAmd);
    f.Enter("Edit2", "0");
    f.Enter("Edit3", "20000");  // the first two 64 KiB sectors
    f.Click("Protect");
    EXPECT_EQ(f.Text("Message"), "OK");
    auto& chip = b.ChipAs<JedecFlash>();
    EXPECT_TRUE(chip.Protected(0));
    EXPECT_TRUE(chip.Protected(1));
    EXPECT_FALSE(chip.Protected(2));

    f.SetChecked("CheckBox5", false);  // no temporary unprotect
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_TRUE(b.ChipBlank(0x20000, 0x1E0000));
    EXPECT_EQ(b.Chip()[0], 0x00);
    EXPECT_EQ(b.Chip()[0x1FFFF], 0x00);
    f.Enter("Edit3", "1fffff");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "000000:Err. Not Blank=00");

    Fill(b, 0x00);
    f.SetChecked("CheckBox5", true);
    f.Click("Erase");
    EXPECT_TRUE(b.ChipBlank(0, 0x200000));
    EXPECT_TRUE(chip.Protected(0));  // still protected: the unprotect was temporary

    Fill(b, 0x00);
    f.Enter("Edit3", "20000");
    f.Click("UnProtect");
    EXPECT_FALSE(chip.Protected(0));
    f.SetChecked("CheckBox5", false);
    f.Click("Erase");
    EXPECT_TRUE(b.ChipBlank(0, 0x200000));
}

TEST(P29f640, AHiddenTemporaryUnprotectBoxRoutesNoVpp) {
    SimBench b("AM29LV160DT");
    Fill(b, 0x00);
    AlgoForm& f = b.Open(kAmd);
    f.Enter("Edit3", "10000");
    f.Click("Protect");
    ASSERT_TRUE(b.ChipAs<JedecFlash>().Protected(0));
    // The same line without the temporary-unprotect group: its box stays ticked but hidden.
    b.Open("P29F640 2 #01 00 C4 22 mem=5 dly=260 prt=1 msk=6 vcc=3300");  // the same form
    ASSERT_TRUE(f.Checked("CheckBox5"));
    auto toReset = [&b] {
        int n = 0;
        for (const auto& e : b.sim->Log().OfKind(sim::EventKind::VppRoute)) n += e.pin == 44;
        return n;
    };
    const int routed = toReset();
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_EQ(toReset(), routed);  // no 12 V on RESET#
    EXPECT_EQ(b.Chip()[0], 0x00);
}

TEST(P29f640, Method3LocksForGoodAndUnlockOnlySaysSo) {
    SimBench b("AT49F002");
    Fill(b, 0x00);
    AlgoForm& f = b.Open(kAt49f002);
    f.Click("Protect");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_TRUE(b.ChipAs<JedecFlash>().Protected(0));  // the boot block
    b.Open("P29F640 7 mem=2 dly=110 prt=3 msk=6 vcc=5000");
    f.Click("UnProtect");
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_EQ(b.prompts.shown[0].text, "这个器件只能Lock  ，不能Unlock！");
    EXPECT_EQ(f.Text("Message"), "OK");
    f.Click("Erase");
    EXPECT_EQ(b.Chip()[0], 0x00);              // the locked boot block keeps its data
    EXPECT_TRUE(b.ChipBlank(0x4000, 0x3C000));  // the rest erases
}

TEST(P29f640, TheProtectionRegisterIsWrittenAndReadBack) {
    SimBench b("AT49BV322A");
    AlgoForm& f = b.Open(kAtmel);
    f.SetText("R1", "1234");
    f.SetText("R2", "abcd");
    f.SetText("R3", "0f0f");
    f.SetText("R4", "beef");
    f.Click("Button6");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Button4");
    // 80h lock word, 81h-84h factory words, 85h-88h the values written (low byte first).
    EXPECT_EQ(f.Text("Message"), "fe,ff,55,51,4c,49,41,4c,01,00,34,12,cd,ab,0f,0f,ef,be,");
    auto& chip = b.ChipAs<JedecFlash>();
    EXPECT_EQ(chip.ProtectionWord(5), 0x1234);
    EXPECT_EQ(chip.ProtectionWord(8), 0xBEEF);
}

TEST(P29f640, TheLockWordGoesInAfterTheValues) {
    SimBench b("AT49BV322A");
    AlgoForm& f = b.Open(kAtmel);
    f.SetText("R1", "1234");
    f.SetChecked("LockStatus", true);
    f.Click("Button6");
    EXPECT_EQ(f.Text("Message"), "OK!");
    auto& chip = b.ChipAs<JedecFlash>();
    EXPECT_EQ(chip.ProtectionWord(5), 0x1234);
    EXPECT_EQ(chip.ProtectionWord(0), 0xFFF0);  // locked now: a second write changes nothing
    f.SetText("R1", "0000");
    f.Click("Button6");
    EXPECT_EQ(chip.ProtectionWord(5), 0x1234);
}

TEST(P29f640, An8BitRowWritesTheRegisterAsEightBytes) {
    SimBench b("AT49F002");
    AlgoForm& f = b.Open("P29F640 7 mem=2 dly=110 prt=3 msk=10 vcc=5000");
    f.SetText("R1", "2211");
    f.SetText("R2", "4433");
    f.SetText("R3", "6655");
    f.SetText("R4", "8877");
    b.tap->commands.clear();
    f.Click("Button6");
    EXPECT_EQ(f.Text("Message"), "OK!");
    // Each write: the counter (registers 21-23), then 0x45 with the value.
    std::vector<std::pair<int, int>> writes;
    int address = 0;
    for (const auto& c : b.tap->commands) {
        if (c[0] == proto::OpWriteReg && c[1] == proto::RegAddr0) address = c[2];
        if (c[0] == proto::OpWriteReg && c[1] == proto::RegAddr1) address |= c[2] << 8;
        if (c[0] == proto::OpAdapterBusWord && address >= 0x80 && address < 0x100) writes.push_back({address, c[1]});
    }
    const std::vector<std::pair<int, int>> want{{0x85, 0x11}, {0x86, 0x22}, {0x87, 0x33}, {0x88, 0x44},
                                                {0x89, 0x55}, {0x8A, 0x66}, {0x8B, 0x77}, {0x8C, 0x88}};
    EXPECT_EQ(writes, want);
}

TEST(P29f640, RegisterValuesThatDoNotParseRefuseTheWrite) {
    SimBench b("AT49BV322A");
    AlgoForm& f = b.Open(kAtmel);
    f.SetChecked("LockStatus", true);
    f.SetText("R3", "xyz");
    const auto before = b.Transfers();
    f.Click("Button6");
    EXPECT_NE(f.Text("Message").find("R3"), std::string::npos);
    EXPECT_EQ(b.Transfers(), before);
    EXPECT_EQ(b.ChipAs<JedecFlash>().ProtectionWord(0), 0xFFFE);
}

// ---- device lines --------------------------------------------------------------------------------------

TEST(P29f640, LinesTheFormCannotTakeRefuseWithTheirKey) {
    struct Case {
        const char* params;
        const char* key;
    };
    for (const Case& c : {Case{"P29F640 1 mem=6 dly=200 prt=3 msk=10", "vcc="},
                          Case{"P29F640 1 mem=6 dly=200 prt=3 msk=10 vcc=0", "vcc="},
                          Case{"P29F640 1 mem=9 dly=200 prt=3 msk=10 vcc=3300", "mem="},
                          Case{"P29F640 7 mem=3 dly=110 prt=3 msk=2 vcc=5000", "mem="},
                          Case{"P29F640 1 dly=200 prt=3 msk=10 vcc=3300", "mem="},
                          Case{"P29F640 1 mem=6 dly=200 msk=2 vcc=3300", "prt="},
                          Case{"P29F640 1 mem=6 dly=200 prt=3 ptw=600 msk=10 vcc=3300", "ptw="},
                          Case{"P29F640 13 mem=6 vcc=3300", "variant"}}) {
        SimBench b("AT49BV322A");
        AlgoForm& f = b.Open(c.params);
        EXPECT_NE(f.Text("Message").find(c.key), std::string::npos) << c.params << ": " << f.Text("Message");
        EXPECT_EQ(b.sim->GetSocket().VccLevel(), 0) << c.params;
        const auto before = b.Transfers();
        f.Click("Write");
        f.Click("Erase");
        EXPECT_EQ(b.Transfers(), before) << c.params;
    }
}

}  // namespace
}  // namespace quilla::test

namespace quilla::test {
namespace {

// Mass production: the chip in the socket first, then the next-chip wait after each pass;
// every clean chip shows "End OK.." and counts.
TEST(P29f640, MassProductionCountsEveryChip) {
    SimBench b("AT49F002");
    b.RandomImage(0x800, 53);
    b.wb->options.MassProduction = true;
    AlgoForm& f = b.Open(kAt49f002);
    f.Enter("Edit3", "7ff");
    // Polls: the ID check's contact test, then per chip the wait's polls: it sees the chip
    // done, then the empty socket, then the next chip.
    b.sim->ScheduleRemoval(sim::When::AfterPolls(2));
    for (int chip = 2; chip <= 3; ++chip) {
        b.sim->ScheduleInsertion(sim::When::AfterPolls(1), sim::MakeJedecFlash("AT49F002").chip);
        b.sim->ScheduleRemoval(sim::When::AfterPolls(2));
    }
    f.Click("Button1");
    EXPECT_EQ(b.wb->Counter, "3");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800) || !b.sim->GetChip());
    EXPECT_FALSE(static_cast<TP29f640x&>(f).BatchFlag);
}

}  // namespace
}  // namespace quilla::test
