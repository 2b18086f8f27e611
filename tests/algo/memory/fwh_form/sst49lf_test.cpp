// The SST firmware-hub form (SST49LF008) end to end on the simulated
// programmer, with SST49LF00xA models in the design "i82802.bit".
#include <algorithm>

#include "algo/memory/sst49lf.h"
#include "sim/chips/fwh.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::FwhFlash;

void Fill(SimBench& b, std::uint8_t v) {
    auto cells = b.ChipAs<FwhFlash>().MutableContents();
    std::fill(cells.begin(), cells.end(), v);
}

TEST(Sst49lf, ChipEraseWriteOf17BytesVerifyAndTheIdButton) {
    SimBench b("SST49LF008A");
    Fill(b, 0x00);
    b.RandomImage(17, 21);  // the rest of the image is FFh, as Verify compares whole blocks
    AlgoForm& f = b.Open("SST49LF008 4 #BF 5A");
    EXPECT_EQ(f.Caption(), "SST49 FWH/LPC ");
    EXPECT_EQ(b.sim->GetSocket().VppLevel(), 0);
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_TRUE(b.ChipBlank(0, 0x100000));

    f.Enter("Edit3", "10");
    const auto reads = b.tap->Count(proto::OpHubRead1K);
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(b.tap->Count(proto::OpHubProgram3C), 17u);
    EXPECT_EQ(b.tap->Count(proto::OpHubRead1K) - reads, 2u);  // the ID read and one read-back
    EXPECT_TRUE(b.ChipMatchesImage(0, 17));
    EXPECT_TRUE(b.ChipBlank(17, 0x100000 - 17));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK..");
    f.Click("MFG");
    EXPECT_EQ(f.Text("Message"), "MFG ID=bf,5a");
    EXPECT_TRUE(b.prompts.shown.empty());
}

TEST(Sst49lf, BlankCountsItsOffsetsFromTheDeviceOffset) {
    SimBench b("SST49LF008A");
    b.ChipAs<FwhFlash>().MutableContents()[0x1004] = 0x7E;
    AlgoForm& f = b.Open("SST49LF008 4");
    f.Enter("Edit2", "1000");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "000004:Err. Not Blank=7e");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(Sst49lf, BlankFromNearTheTopStopsAtTheLastByte) {
    SimBench b("SST49LF008A");
    b.ChipAs<FwhFlash>().MutableContents()[0] = 0x00;  // the address would wrap onto it
    AlgoForm& f = b.Open("SST49LF008 4");
    f.Enter("Edit2", "ff000");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Message"), "Blank.");
    EXPECT_EQ(b.tap->Count(proto::OpHubRead1K), 4u);
}

TEST(Sst49lf, VerifyAndWriteNeverPassTheLastByte) {
    SimBench b("SST49LF002A");
    b.RandomImage(0x1000, 22);
    AlgoForm& f = b.Open("SST49LF008 1");
    f.Enter("Edit2", "3fc00");  // the last 1 KiB; Length is still the whole chip
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(b.tap->Count(proto::OpHubProgram3C), 0x400u);
    EXPECT_TRUE(b.ChipBlank(0, 0x3FC00));
    EXPECT_TRUE(std::equal(b.Image(), b.Image() + 0x400, b.Chip().begin() + 0x3FC00));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK..");
}

TEST(Sst49lf, TheSlowSpeedNeedsItsExactText) {
    struct Case {
        const char* text;
        std::size_t waitsPerByte;
    };
    for (const Case& c : {Case{"Fast写", 1}, Case{"Slow  ", 2}, Case{"Slow", 1}, Case{"slow  ", 1}}) {
        SimBench b("SST49LF002A");
        b.RandomImage(0x10, 23);
        AlgoForm& f = b.Open("SST49LF008 1");
        f.SetText("Speed", c.text);
        f.Enter("Edit3", "f");
        f.Click("Write");
        EXPECT_EQ(f.Text("Message"), "OK!") << c.text;
        EXPECT_EQ(b.tap->Count(proto::OpWaitShort), 16 * c.waitsPerByte) << c.text;
        EXPECT_TRUE(b.ChipMatchesImage(0, 16)) << c.text;
    }
}

TEST(Sst49lf, AChipSlowerThanTheByteWaitFailsTheReadBack) {
    SimBench b("SST49LF002A");
    b.ChipAs<FwhFlash>().SetSlowFactor(3);  // 42 us a byte: the second byte comes while busy
    b.RandomImage(0x10, 24);
    std::fill(b.Image(), b.Image() + 0x10, 0x00);
    AlgoForm& f = b.Open("SST49LF008 1");
    f.Enter("Edit3", "f");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message").substr(6), ":Error.(File=00,chip=ff)");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    // Two waits a byte are enough.
    f.Choose("Speed", 1);
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
}

TEST(Sst49lf, ReadCoversTheWholeChipWhateverLengthSays) {
    SimBench b("SST49LF002A");
    auto cells = b.ChipAs<FwhFlash>().MutableContents();
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<std::uint8_t>(i >> 8);
    AlgoForm& f = b.Open("SST49LF008 1");
    f.Enter("Edit3", "200");
    f.Click("ReadButton");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(b.tap->Count(proto::OpHubRead1K), 256u);
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x40000));
}

TEST(Sst49lf, TheIdentificationModeEndsWithTheNextPowerUp) {
    SimBench b("SST49LF004A");
    AlgoForm& f = b.Open("SST49LF008 3");
    f.Click("MFG");
    EXPECT_EQ(f.Text("Message"), "MFG ID=bf,60");
    f.Enter("Edit3", "3ff");
    f.Click("Blank");  // reads the array, not BFh 60h
    EXPECT_EQ(f.Text("Message"), "Blank.");
}

TEST(Sst49lf, MassProductionCountsEveryChip) {
    SimBench b("SST49LF002A");
    b.sim->SetChipPresent(false);
    b.RandomImage(0x400, 25);
    b.wb->options.MassProduction = true;
    AlgoForm& f = b.Open("SST49LF008 1");
    f.Enter("Edit3", "3ff");
    // Each pass polls in Erase, Blank, Write and Verify (their power-ups).
    b.sim->ScheduleInsertion(sim::When::AfterPolls(1));
    for (int chip = 2; chip <= 3; ++chip) {
        b.sim->ScheduleRemoval(sim::When::AfterPolls(6));
        b.sim->ScheduleInsertion(sim::When::AfterPolls(1), sim::MakeFwhFlash("SST49LF002A").chip);
    }
    b.sim->ScheduleRemoval(sim::When::AfterPolls(6));
    f.Click("Button1");
    EXPECT_EQ(b.wb->Counter, "3");
    EXPECT_EQ(f.Text("Message"), "End OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x400));
}

}  // namespace
}  // namespace quilla::test
