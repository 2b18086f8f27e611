// The adapter-socket Intel-command block flash form (F640) end to end on the
// simulated programmer: 28F640C3T/B and 28F320C3B on the TSOP48 board of rows 1
// and 3 (every block locked at power-up, lock-down with WP# low, the 128-bit
// protection register).
#include <algorithm>

#include "algo/common/scan.h"
#include "algo/memory/f640.h"
#include "sim/chips/intel_block.h"
#include "app/selection.h"
#include "support/device_lines.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::IntelBlockFlash;

constexpr const char* kC3T = "F640 1 #89 00 CC 88 mem=7 dly=12 oth=6 vcc=3300";

void Fill(SimBench& b, std::uint8_t v) {
    auto c = b.ChipAs<IntelBlockFlash>().MutableContents();
    std::fill(c.begin(), c.end(), v);
}

// Commands of the tap from the first one on: (opcode, argument 1) of every bus write.
std::vector<int> BusWrites(SimBench& b) {
    std::vector<int> v;
    for (const auto& c : b.tap->commands)
        if (c[0] == proto::OpAdapterBusWord) v.push_back(c[1]);
    return v;
}

TEST(F640, BatchUnlocksErasesEveryBlockAndProgramsTheChip) {
    struct Case {
        const char* params;
        int erases;
    };
    // Row 1 walks eight 4-Kword parameter blocks at each end and 32-Kword blocks between;
    // row 3 the same ends with 64-Kword steps between.
    for (const Case& c : {Case{kC3T, 142}, Case{"F640 3 mem=7 dly=12 oth=2 vcc=3300", 79}}) {
        SimBench b("28F640C3T");
        Fill(b, 0x00);
        b.RandomImage(0x8000, 71);
        AlgoForm& f = b.Open(c.params);
        ASSERT_EQ(f.Text("Message"), "OK ");
        f.Enter("Edit3", "7fff");
        f.Click("Button1");
        EXPECT_EQ(b.ChipAs<IntelBlockFlash>().BlockErasesStarted(), c.erases) << c.params;
        if (c.erases == 142) {
            EXPECT_EQ(f.Text("Message"), "End OK..");
            EXPECT_EQ(b.wb->Counter, "1");
            EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
            EXPECT_TRUE(b.ChipBlank(0x8000, 0x800000 - 0x8000));
        }
        EXPECT_FALSE(static_cast<TF640x&>(f).BatchFlag);
        EXPECT_TRUE(b.sim->Violations().empty());
    }
}

TEST(F640, WithoutTheLockBitOptionTheLockedBlocksKeepTheirData) {
    SimBench b("28F640C3B");
    Fill(b, 0x00);
    b.RandomImage(0x2000, 72);
    AlgoForm& f = b.Open("F640 1 #89 00 CD 88 mem=7 dly=12 oth=0 vcc=3300");
    f.Enter("Edit3", "1fff");
    b.tap->commands.clear();
    f.Click("Button1");
    EXPECT_NE(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    const auto writes = BusWrites(b);
    EXPECT_EQ(std::count(writes.begin(), writes.end(), 0x60), 0);
    EXPECT_EQ(b.ChipAs<IntelBlockFlash>().BlockErasesStarted(), 0);
    EXPECT_TRUE(std::all_of(b.Chip().begin(), b.Chip().end(), [](std::uint8_t v) { return v == 0; }));
    // Erase then Write alone: the chip still refuses, only Verify shows it.
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message").substr(6), ":Error.(File=" + Hex2(b.Image()[0]) + ",chip=00)");
    EXPECT_TRUE(std::all_of(b.Chip().begin(), b.Chip().end(), [](std::uint8_t v) { return v == 0; }));
}

TEST(F640, LockDownKeepsBlocksLockedUntilPowerIsRemoved) {
    SimBench b("28F640C3T");
    Fill(b, 0x00);
    AlgoForm& f = b.Open(kC3T);
    f.Click("Button2");
    EXPECT_EQ(f.Text("Message"), "OK");
    auto& chip = b.ChipAs<IntelBlockFlash>();
    for (int k = 0; k < chip.BlockCount(); ++k) ASSERT_TRUE(chip.LockedDown(k)) << k;
    // The design holds WP# low: a lock-down is not undone by 60h D0h. The Erase powers the
    // chip up again first, which clears the lock-down: the blocks unlock and erase.
    f.Click("Erase");
    EXPECT_TRUE(b.ChipBlank(0, 0x800000));
}

TEST(F640, TheIdIsComparedOnFourBytesAndNoLeavesTheChipUnchanged) {
    struct Case {
        const char* part;
        bool asks;
    };
    for (const Case& c : {Case{"28F640C3T", false}, Case{"28F640C3B", true}}) {
        SimBench b(c.part);
        Fill(b, 0x00);
        AlgoForm& f = b.Open(kC3T);
        b.prompts.answers = {BtnNo};
        f.Click("Erase");
        EXPECT_EQ(b.prompts.shown.size(), c.asks ? 1u : 0u) << c.part;
        if (c.asks) {
            EXPECT_EQ(b.prompts.shown[0].text, "错误的Type！\n继续吗?");
            EXPECT_EQ(b.ChipAs<IntelBlockFlash>().BlockErasesStarted(), 0);
            EXPECT_EQ(b.Chip()[0], 0x00);
        } else {
            EXPECT_EQ(f.Text("Message"), "OK");
            EXPECT_EQ(b.Chip()[0], 0xFF);
        }
    }
}

TEST(F640, TheIdButtonShowsFourBytes) {
    SimBench b("28F320C3B");
    AlgoForm& f = b.Open("F640 1 mem=6 dly=12 oth=6 vcc=3300");
    f.Click("MFG");
    EXPECT_EQ(f.Text("Message"), "MFG ID=89,00,c5,88");
}

TEST(F640, TheProtectionRegisterIsWrittenAndReadBack) {
    SimBench b("28F640C3T");
    AlgoForm& f = b.Open(kC3T);
    ASSERT_TRUE(f.Get("Status").Visible);
    f.SetText("R1", "1234");
    f.SetText("R2", "abcd");
    f.SetText("R3", "0f0f");
    f.SetText("R4", "beef");
    f.SetChecked("LockStatus", true);  // the values go in first, then the lock word
    f.Click("Button6");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Button4");
    // 80h the lock word (user words locked: FFFDh & FFFEh), 81h-84h the device number,
    // 85h-87h the values written, low byte first; 16 bytes.
    EXPECT_EQ(f.Text("Message"), "fc,ff,2b,1a,4d,3c,6f,5e,18,07,34,12,cd,ab,0f,0f,");
    auto& chip = b.ChipAs<IntelBlockFlash>();
    EXPECT_EQ(chip.ProtectionWord(8), 0xBEEF);
    // Locked: a second write changes nothing.
    f.SetText("R1", "0000");
    f.Click("Button6");
    EXPECT_EQ(chip.ProtectionWord(5), 0x1234);
}

TEST(F640, RegisterValuesThatDoNotParseRefuseTheWrite) {
    SimBench b("28F640C3T");
    AlgoForm& f = b.Open(kC3T);
    f.SetChecked("LockStatus", true);
    f.SetText("R2", "  ");
    const auto before = b.Transfers();
    f.Click("Button6");
    EXPECT_NE(f.Text("Message").find("R2"), std::string::npos);
    EXPECT_EQ(b.Transfers(), before);
    EXPECT_EQ(b.ChipAs<IntelBlockFlash>().ProtectionWord(0), 0xFFFE);
}

TEST(F640, TheRegisterGroupShowsOnlyWithItsOptionBit) {
    SimBench b("28F640C3T");
    AlgoForm& f = b.Open("F640 1 mem=7 dly=12 oth=2 vcc=3300");
    EXPECT_FALSE(f.Get("Status").Visible);
    EXPECT_EQ(b.sim->LoadedTag(), "intel48tsop16");
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 120);
    EXPECT_EQ(b.sim->GetSocket().VccLevel(), 33);
}

TEST(F640, AnEraseWaitShorterThanTheBlockEraseLeavesBlocksUnerased) {
    // Parameter blocks of 0.5 s, a command every 0.3 s: the one arriving while the chip is
    // still busy is not taken, so block 1 keeps its data.
    SimBench b("28F640C3B");
    Fill(b, 0x00);
    AlgoForm& f = b.Open("F640 1 mem=7 dly=3 oth=2 vcc=3300");
    f.Enter("Edit3", "3fff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "002000:Err. Not Blank=00");
    EXPECT_EQ(b.wb->Counter, "0");
}

TEST(F640, LinesTheFormCannotTakeRefuseWithTheirKey) {
    struct Case {
        const char* params;
        const char* key;
    };
    for (const Case& c : {Case{"F640 1 mem=7 dly=12 oth=2", "vcc="}, Case{"F640 1 mem=8 dly=12 vcc=3300", "mem="},
                          Case{"F640 5 mem=5 dly=12 vcc=3300", "mem="}, Case{"F640 1 mem=7 dly=-1 vcc=3300", "dly="},
                          Case{"F640 8 mem=1 vcc=5000", "variant"}}) {
        SimBench b("28F640C3T");
        AlgoForm& f = b.Open(c.params);
        EXPECT_NE(f.Text("Message").find(c.key), std::string::npos) << c.params << ": " << f.Text("Message");
        const auto before = b.Transfers();
        f.Click("Write");
        f.Click("Erase");
        EXPECT_EQ(b.Transfers(), before) << c.params;
    }
}

// Mass production: the next chip is waited for before the one pass; a wait that gives up ends
// the batch with the batch flag cleared, so the next single operation tests contact again.
TEST(F640, MassProductionWaitsForTheNextChipFirst) {
    for (bool swapped : {true, false}) {
        SimBench b("28F160C3B");
        b.RandomImage(0x800, 76);
        b.wb->options.MassProduction = true;
        AlgoForm& f = b.Open("F640 1 mem=5 dly=12 oth=2 vcc=3300");
        f.Enter("Edit3", "7ff");
        f.SetChecked("CheckBox1", false);
        if (swapped) {
            b.sim->ScheduleRemoval(sim::When::AfterPolls(1));
            b.sim->ScheduleInsertion(sim::When::AfterPolls(1), sim::MakeIntelBlockFlash("28F160C3B").chip);
        }
        f.Click("Button1");
        EXPECT_EQ(b.wb->Counter, swapped ? "1" : "0");
        EXPECT_EQ(f.Text("Message") == "End OK..", swapped);
        EXPECT_FALSE(static_cast<TF640x&>(f).BatchFlag);
        if (swapped) {
            EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
        }
        // The next Blank loads the contact-test design and the row's design again.
        b.tap->commands.clear();
        f.Click("Blank");
        int loads = 0;
        for (const auto& c : b.tap->commands) loads += c[0] == proto::OpSystem && c[1] == proto::SysDesignStart;
        EXPECT_EQ(loads, 2);
        EXPECT_EQ(b.sim->LoadedTag(), "intel48tsop16");
    }
}

// ---- 8-bit rows: the x8 TSOP40 board of row 2 ------------------------------------------------

TEST(F640, An8BitRowErasesWritesAndVerifiesInBytes) {
    SimBench b("28F008B3B");
    Fill(b, 0x00);
    b.RandomImage(0x4000, 75);
    AlgoForm& f = b.Open("F640 2 #89 D3 mem=4 dly=12 vcc=3300");
    ASSERT_EQ(f.Text("Message"), "OK ");
    f.Enter("Edit3", "3fff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x4000));
    EXPECT_TRUE(b.ChipBlank(0x4000, 0x100000 - 0x4000));
    // Eight 8 KiB steps at each end, 64 KiB steps between: 8 + 14 + 8.
    EXPECT_EQ(b.ChipAs<IntelBlockFlash>().BlockErasesStarted(), 30);
    EXPECT_TRUE(b.sim->Violations().empty());
}

TEST(F640, An8BitRowComparesTwoIdBytes) {
    struct Case {
        const char* params;
        bool asks;
    };
    for (const Case& c : {Case{"F640 2 #89 D2 5A 5A mem=4 dly=12 vcc=3300", false},
                          Case{"F640 2 #89 D3 mem=4 dly=12 vcc=3300", true}}) {
        SimBench b("28F008B3T");
        Fill(b, 0x00);
        AlgoForm& f = b.Open(c.params);
        b.prompts.answers = {BtnNo};
        f.Click("Erase");
        EXPECT_EQ(b.prompts.shown.size(), c.asks ? 1u : 0u) << c.params;
        EXPECT_EQ(b.Chip()[0], c.asks ? 0x00 : 0xFF) << c.params;
    }
    SimBench b("28F016B3T");
    AlgoForm& f = b.Open("F640 2 mem=5 dly=12 vcc=3300");
    f.Click("MFG");
    EXPECT_EQ(f.Text("Message"), "MFG ID=89,d0");
}

TEST(F640, An8BitRowWritesTheRegisterAsEightBytes) {
    SimBench b("28F008B3T");
    AlgoForm& f = b.Open("F640 2 mem=4 dly=12 oth=4 vcc=3300");
    f.SetText("R1", "2211");
    f.SetText("R2", "4433");
    f.SetText("R3", "6655");
    f.SetText("R4", "8877");
    b.tap->commands.clear();
    f.Click("Button6");
    EXPECT_EQ(f.Text("Message"), "OK!");
    // Each register write: the counter (registers 21-23), C0h, then the byte.
    std::vector<std::pair<int, int>> writes;
    int address = 0;
    for (const auto& c : b.tap->commands) {
        if (c[0] == proto::OpWriteReg && c[1] == proto::RegAddr0) address = c[2];
        if (c[0] == proto::OpWriteReg && c[1] == proto::RegAddr1) address |= c[2] << 8;
        if (c[0] == proto::OpAdapterBusWord && c[1] != 0xC0) writes.push_back({address, c[1]});
    }
    const std::vector<std::pair<int, int>> want{{0x85, 0x11}, {0x86, 0x22}, {0x87, 0x33}, {0x88, 0x44},
                                                {0x89, 0x55}, {0x8A, 0x66}, {0x8B, 0x77}, {0x8C, 0x88}};
    EXPECT_EQ(writes, want);
}

// Each listed line's long waits after a block erase cover its part's main block erase.
TEST(F640, EveryListedLineWaitsOutItsBlockErase) {
    for (const char* file : {"device520.lst", "device640.lst"}) {
        const auto lines = DeviceLines(file, {"F640"});
        EXPECT_FALSE(lines.empty()) << file;
        for (const ListedLine& l : lines) {
            const sim::IntelBlockPart* part = sim::FindIntelBlockPart(l.part);
            ASSERT_NE(part, nullptr) << l.part;
            Selection sel;
            sel.ParamString = l.params;
            const sim::Nanos waits = static_cast<sim::Nanos>(sel.GetParam("dly=")) * 100 * sim::Millisecond;
            EXPECT_GE(waits, std::max(part->mainErase, part->paramErase)) << file << ": " << l.params;
        }
    }
}

}  // namespace
}  // namespace quilla::test
