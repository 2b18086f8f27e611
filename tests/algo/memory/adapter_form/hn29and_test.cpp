// The AND-type flash form (HN29AND) end to end on the simulated programmer. No
// AND-type part is modelled (see sim/README.md); the form runs on the designs'
// own parts: pkg=4802 with the 16-bit word program on an AT49BV322A seated on the
// tsop29cmd2aa board (VCC on socket 34, ground on 31).
#include <algorithm>

#include "algo/memory/hn29and.h"
#include "sim/chips/jedec.h"
#include "sim/designs/adapter_boards.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::JedecFlash;

constexpr const char* k4802 = "HN29AND 1 pkg=4802 we0=66 dly=200 era=2901";

// A bench with an AT49BV322A on the tsop29cmd2aa board.
std::unique_ptr<SimBench> Bench() {
    auto b = std::make_unique<SimBench>("AT49BV322A");
    b->sim->RemoveChipModel();
    b->sim->SeatChip(std::make_unique<JedecFlash>(*sim::FindJedecPart("AT49BV322A")),
                     sim::FindAdapterBoard("tsop29cmd2aa")->Place());
    return b;
}

void Fill(SimBench& b, std::uint8_t v) {
    auto c = b.ChipAs<JedecFlash>().MutableContents();
    std::fill(c.begin(), c.end(), v);
}

TEST(Hn29and, SetupPowersThePartAt3_3VOnSocket34) {
    auto b = Bench();
    AlgoForm& f = b->Open(k4802);
    EXPECT_EQ(f.Text("Message"), "OK ");
    EXPECT_EQ(b->sim->LoadedTag(), "tsop29cmd2aa");
    EXPECT_EQ(b->sim->GetSocket().VccLevel(), 33);
    EXPECT_FALSE(f.Get("GroupBox2").Visible);  // the row has no VPP pin
    f.Click("MFG");
    EXPECT_EQ(f.Text("Message"), "MFG ID=1f,00,c8,00");
}

TEST(Hn29and, Era2901ErasesAndBatchWritesAndVerifies) {
    auto b = Bench();
    Fill(*b, 0x00);
    b->RandomImage(0x1000, 95);
    AlgoForm& f = b->Open(k4802);
    f.Enter("Edit3", "fff");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_EQ(b->wb->Counter, "1");
    EXPECT_TRUE(b->ChipMatchesImage(0, 0x1000));
    EXPECT_TRUE(b->ChipBlank(0x1000, 0x3FF000));
    EXPECT_EQ(b->ChipAs<JedecFlash>().ChipErasesStarted(), 1);
    EXPECT_TRUE(b->sim->Violations().empty());
}

TEST(Hn29and, AnotherEraModeSendsNoEraseCycleAndShowsOk) {
    auto b = Bench();
    Fill(*b, 0x00);
    AlgoForm& f = b->Open("HN29AND 1 pkg=4802 we0=66 dly=200 era=1");
    b->tap->commands.clear();
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_EQ(b->ChipAs<JedecFlash>().ChipErasesStarted(), 0);
    EXPECT_EQ(b->Chip()[0], 0x00);
    for (const auto& c : b->tap->commands)
        EXPECT_FALSE(c[0] == proto::OpWriteReg && c[1] == proto::RegControlLines && (c[2] & 0x8F) == 7 && c[2] != 7)
            << "a stored cycle";
}

TEST(Hn29and, ReadBringsTwoKiBBlocksUpToTheEndOfTheLength) {
    auto b = Bench();
    auto cells = b->ChipAs<JedecFlash>().MutableContents();
    for (std::size_t i = 0; i < 0x4000; ++i) cells[i] = static_cast<std::uint8_t>(i * 3 + 1);
    std::fill(b->Image(), b->Image() + 0x4000, 0xEE);
    AlgoForm& f = b->Open(k4802);
    f.Enter("Edit1", "100");
    f.Enter("Edit2", "800");
    f.Enter("Edit3", "1001");  // three blocks: 800-fff, 1000-17ff, 1800-1fff
    f.Click("ReadButton");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(std::equal(cells.begin() + 0x800, cells.begin() + 0x2000, b->Image() + 0x100));
    EXPECT_EQ(b->Image()[0x100 + 0x1800], 0xEE);
}

TEST(Hn29and, TheIdCheckComparesTwoBytes) {
    auto b = Bench();
    Fill(*b, 0x00);
    AlgoForm& f = b->Open("HN29AND 1 #1F 01 pkg=4802 we0=66 dly=200 era=2901");
    b->prompts.answers = {BtnNo};
    f.Click("Erase");
    ASSERT_EQ(b->prompts.shown.size(), 1u);
    EXPECT_EQ(b->prompts.shown[0].text, "Type error\nContinue?");
    EXPECT_EQ(b->ChipAs<JedecFlash>().ChipErasesStarted(), 0);
}

TEST(Hn29and, LinesTheFormCannotTakeRefuseAndSendNothing) {
    struct Case {
        const char* params;
        const char* key;
    };
    for (const Case& c : {Case{"HN29AND 1 pkg=40 we0=66 dly=200 era=2901", "pkg="},
                          Case{"HN29AND 1 pkg=4802 dly=200 era=2901", "we0="},
                          Case{"HN29AND 1 pkg=4802 we0=71 dly=200 era=2901", "we0="},
                          Case{"HN29AND 1 pkg=4096 we0=66 dly=200 era=2901", "socket 34"},
                          Case{"HN29AND 1 pkg=4801 we0=71 dly=200 era=2901", "socket 34"},
                          Case{"HN29AND 2 pkg=4802 we0=66", "variant"}}) {
        auto b = Bench();
        AlgoForm& f = b->Open(c.params);
        EXPECT_NE(f.Text("Message").find(c.key), std::string::npos) << c.params << ": " << f.Text("Message");
        EXPECT_EQ(b->sim->GetSocket().VccLevel(), 0) << c.params;
        const auto before = b->Transfers();
        for (const char* button : {"Write", "Erase", "ReadButton", "MFG", "Button1"}) f.Click(button);
        EXPECT_EQ(b->Transfers(), before) << c.params;
    }
}

}  // namespace
}  // namespace quilla::test
