// The Intel-style firmware-hub form (I82802) end to end on the simulated
// programmer, with 82802AB/AC models in the design "i82802.bit".
#include <algorithm>

#include "algo/memory/i82802.h"
#include "sim/chips/fwh.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::FwhFlash;

// A bench with an 82802AB holding an old program and a random image.
struct Hub82802 {
    explicit Hub82802(const char* params = "I82802 2") : b("N82802AB") {
        auto cells = b.ChipAs<FwhFlash>().MutableContents();
        for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<std::uint8_t>(i * 7 + 3);
        b.RandomImage(0x800, 11);
        f = &b.Open(params);
    }
    std::span<const std::uint8_t> Block(int k) const { return b.Chip().subspan(static_cast<std::size_t>(k) * 0x10000, 0x10000); }
    bool Programmed(int k) const {
        const auto blk = Block(k);
        return std::any_of(blk.begin(), blk.end(), [](std::uint8_t c) { return c != 0xFF; });
    }
    SimBench b;
    AlgoForm* f = nullptr;
};

TEST(I82802, SetupLoadsTheHubDesignAt33VAnd12VWithTheCaption) {
    Hub82802 h;
    EXPECT_EQ(h.f->Text("Message"), "OK ");
    EXPECT_EQ(h.f->Caption(), "0 to 7ffff");
    EXPECT_EQ(h.b.sim->LoadedTag(), "i82802");
    EXPECT_EQ(h.b.sim->GetSocket().VccLevel(), 33);
    EXPECT_EQ(h.b.sim->GetSocket().VppLevel(), 120);
    EXPECT_EQ(h.f->Text("Edit3"), "7ffff");
    // Nothing is routed to the chip between operations.
    EXPECT_TRUE(h.b.sim->GetSocket().VccPins().Empty());
}

TEST(I82802, BatchErasesBlankChecksWritesAndVerifies) {
    Hub82802 h;
    h.f->Enter("Edit3", "7ff");
    h.f->Click("Button1");
    EXPECT_EQ(h.f->Text("Message"), "End OK..");
    EXPECT_EQ(h.b.wb->Counter, "1");
    EXPECT_TRUE(h.b.ChipMatchesImage(0, 0x800));
    EXPECT_TRUE(h.b.ChipBlank(0x800, 0x80000 - 0x800));
    EXPECT_EQ(h.b.ChipAs<FwhFlash>().ErasesStarted(), 8);  // every 64 KiB block once
}

TEST(I82802, ABlockStillProgrammedAfterFiveTriesEndsTheEraseAndTheBatch) {
    Hub82802 h;
    // Twice the erase time: VPP goes away after the form's 500 ms and the erase aborts.
    h.b.ChipAs<FwhFlash>().SetSlowFactor(2);
    h.f->Enter("Edit3", "7ff");
    h.f->Click("Button1");
    EXPECT_EQ(h.f->Text("Message"), "Ers.失败!");
    EXPECT_EQ(h.b.ChipAs<FwhFlash>().ErasesStarted(), 5);
    for (int k = 0; k < 8; ++k) EXPECT_TRUE(h.Programmed(k)) << "block " << k;
    EXPECT_EQ(h.b.wb->Counter, "0");
    // The pass ended there: nothing was written.
    EXPECT_EQ(h.b.Chip()[0], 3);
}

TEST(I82802, AnEraseWithoutVppLeavesTheBlockProgrammed) {
    Hub82802 h;
    h.b.wb->Ep3.SetVpp(0);  // VPP still routed to pin 5, at 0 V
    h.f->Click("Erase");
    EXPECT_EQ(h.f->Text("Message"), "Ers.失败!");
    EXPECT_TRUE(h.Programmed(0));
    EXPECT_EQ(h.b.ChipAs<FwhFlash>().ErasesStarted(), 0);  // each try stopped at its VPP check
}

TEST(I82802, EraseWalksEveryBlockAndEndsOk) {
    SimBench b("N82802AC");
    std::fill(b.ChipAs<FwhFlash>().MutableContents().begin(), b.ChipAs<FwhFlash>().MutableContents().end(), 0);
    AlgoForm& f = b.Open("I82802 3");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_TRUE(b.ChipBlank(0, 0x100000));
    EXPECT_EQ(b.ChipAs<FwhFlash>().ErasesStarted(), 16);
}

TEST(I82802, WriteFromDeviceOffset123ProgramsChip100To133AndNothingElse) {
    SimBench b("N82802AB");
    b.RandomImage(0x800, 12);
    AlgoForm& f = b.Open("I82802 2");
    f.Enter("Edit1", "456");  // image from 0x400
    f.Enter("Edit2", "123");
    f.Enter("Edit3", "10");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_EQ(b.tap->Count(proto::OpHubProgram3D), 0x34u);
    EXPECT_TRUE(b.ChipBlank(0, 0x100));
    for (int i = 0; i < 0x34; ++i) ASSERT_EQ(b.Chip()[0x100 + static_cast<std::size_t>(i)], b.Image()[0x400 + i]) << i;
    EXPECT_TRUE(b.ChipBlank(0x134, 0x80000 - 0x134));
    EXPECT_EQ(b.tap->Count(proto::OpHubRead1K), 0u);  // no read-back
}

TEST(I82802, WriteWithoutVppProgramsNothingAndVerifyFindsIt) {
    SimBench b("N82802AB");
    b.RandomImage(0x400, 13);
    std::fill(b.Image(), b.Image() + 0x400, 0x00);
    AlgoForm& f = b.Open("I82802 2");
    f.Enter("Edit3", "3ff");
    b.wb->Ep3.SetVpp(0);
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");  // the form reads nothing back
    EXPECT_TRUE(b.ChipBlank(0, 0x400));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "000000:Error.(File=00,chip=ff)");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(I82802, ReadStopsAtLengthAndTheIdButtonShowsTheCodes) {
    Hub82802 h;
    h.f->Enter("Edit3", "200");
    h.f->Click("ReadButton");
    EXPECT_EQ(h.f->Text("Message"), "OK!");
    EXPECT_EQ(h.b.tap->Count(proto::OpHubRead1K), 2u);
    EXPECT_TRUE(std::equal(h.b.Image(), h.b.Image() + 0x800, h.b.Chip().begin()));
    h.f->Click("MFG");
    EXPECT_EQ(h.f->Text("Message"), "MFG ID=89,ad");
    EXPECT_EQ(h.b.wb->sel.LastReadId[0], 0x89);
    // The next operation's power-up ends the identifier mode: the array again.
    std::fill(h.b.Image(), h.b.Image() + 0x800, 0);
    h.f->Click("ReadButton");
    EXPECT_EQ(h.b.Image()[0], 3);
    EXPECT_EQ(h.b.Image()[1], 10);
}

// ---- the ID check ----------------------------------------------------------------------------

TEST(I82802, AMismatchingIdAsksAndNoLeavesTheChipUntouched) {
    SimBench b("N82802AB");
    std::fill(b.ChipAs<FwhFlash>().MutableContents().begin(), b.ChipAs<FwhFlash>().MutableContents().end(), 0x11);
    AlgoForm& f = b.Open("I82802 2 #89 AC");  // an 82802AC is expected
    b.prompts.answers = {BtnNo};
    f.Click("Erase");
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_EQ(b.prompts.shown[0].text, "Wrong type, OK ??");
    EXPECT_EQ(b.prompts.shown[0].buttons, BtnYes | BtnNo);
    EXPECT_EQ(b.ChipAs<FwhFlash>().ErasesStarted(), 0);
    EXPECT_EQ(b.Chip()[0], 0x11);
    // Yes goes on.
    b.prompts.answers = {BtnYes};
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    EXPECT_TRUE(b.ChipBlank(0, 0x80000));
}

TEST(I82802, ANoInTheBatchEndsThePassWithoutEndOk) {
    SimBench b("N82802AB");
    AlgoForm& f = b.Open("I82802 2 #89 AC");
    b.prompts.defaultAnswer = BtnNo;
    f.Click("Button1");
    EXPECT_NE(f.Text("Message"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(b.prompts.shown.size(), 1u);  // the pass ended at its first step
}

TEST(I82802, AMatchingIdPassesSilentlyAndALineWithoutIdReadsNone) {
    for (const char* params : {"I82802 2 #89 AD", "I82802 2"}) {
        SimBench b("N82802AB");
        b.RandomImage(0x400, 14);
        AlgoForm& f = b.Open(params);
        f.Enter("Edit3", "3ff");
        f.Click("Write");
        EXPECT_EQ(f.Text("Message"), "OK!") << params;
        EXPECT_TRUE(b.prompts.shown.empty()) << params;
        EXPECT_TRUE(b.ChipMatchesImage(0, 0x400)) << params;
        // The ID read is the one 1 KiB read of a write.
        EXPECT_EQ(b.tap->Count(proto::OpHubRead1K), std::string(params).find('#') != std::string::npos ? 1u : 0u);
    }
}

TEST(I82802, AnIdReadWhoseContactTestFailsStopsTheOperation) {
    SimBench b("N82802AB");
    std::fill(b.ChipAs<FwhFlash>().MutableContents().begin(), b.ChipAs<FwhFlash>().MutableContents().end(), 0x22);
    AlgoForm& f = b.Open("I82802 2 #89 AD");
    b.wb->sel.LastReadId = {0x89, 0xAD, 0, 0};  // an earlier chip's ID must not count
    b.sim->SetBadContact(17);
    b.prompts.answers = {BtnCancel};  // the contact question
    f.Click("Erase");
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_NE(b.prompts.shown[0].text.find("17"), std::string::npos);
    EXPECT_EQ(b.wb->sel.LastReadId[0], 0);
    EXPECT_EQ(b.ChipAs<FwhFlash>().ErasesStarted(), 0);
    EXPECT_EQ(b.Chip()[0], 0x22);
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

// ---- device rows ------------------------------------------------------------------------------

TEST(I82802, EmptyRowsRefuseAndApplyNoSupply) {
    for (const char* params : {"I82802 5", "I82802 0", "I82802 11", "I82802 25"}) {
        SimBench b("N82802AB");
        AlgoForm& f = b.Open(params);
        EXPECT_NE(f.Text("Message").find("not in the device table"), std::string::npos) << params;
        EXPECT_EQ(b.sim->GetSocket().VppLevel(), 0) << params;
        const auto before = b.Transfers();
        f.Click("Erase");
        f.Click("Write");
        EXPECT_EQ(b.Transfers(), before) << params;
    }
}

// Offsets that leave the chip or the 8 MiB image refuse the operation before anything is sent.
TEST(I82802, OffsetsOutsideTheChipOrTheImageRefuse) {
    struct Case {
        const char* button;
        const char* edit;
        const char* value;
        const char* text;
    };
    for (const Case& c : {Case{"Blank", "Edit2", "80000", "beyond the chip"},
                          Case{"Verify", "Edit2", "-1", "beyond the chip"},
                          Case{"Write", "Edit2", "fffff", "beyond the chip"},
                          Case{"Verify", "Edit1", "7fff00", "runs past the 8M buffer"},
                          Case{"Write", "Edit1", "7ffff0", "runs past the 8M buffer"}}) {
        SimBench b("N82802AB");
        AlgoForm& f = b.Open("I82802 2");
        f.Enter(c.edit, c.value);
        const auto before = b.Transfers();
        f.Click(c.button);
        EXPECT_NE(f.Text("Message").find(c.text), std::string::npos) << c.button << " " << c.value;
        EXPECT_EQ(b.Transfers(), before) << c.button << " " << c.value;
    }
}

// The AT49LL rows walk their block lists: 20h below the row's boundary, 21h from it, each
// at its own block address. The bus cycles are taken from the socket by a small recorder.
class BusRecorder : public sim::Chip {
public:
    struct Cycle {
        std::uint32_t address;
        std::uint8_t data;
    };
    std::string Name() const override { return "recorder"; }
    int PinCount() const override { return 32; }
    std::vector<int> GroundPins() const override { return {16}; }
    std::vector<int> VccPins() const override { return {32}; }
    void OnPinsChanged(sim::ChipPins& p) override {
        const std::uint32_t a = p.ReadBus(FwhFlash::AddressPins) & 0x7FF;
        const bool rc = p.High(FwhFlash::kRowCol), we = p.High(FwhFlash::kWe);
        if (rcHigh && !rc) row = a;
        if (!rcHigh && rc) latched = (a << 11) | row;
        if (!weHigh && we && p.High(FwhFlash::kOe))
            cycles.push_back({latched, static_cast<std::uint8_t>(p.ReadBus(FwhFlash::DataPins))});
        rcHigh = rc;
        weHigh = we;
    }
    std::vector<Cycle> cycles;
    bool rcHigh = true, weHigh = true;
    std::uint32_t row = 0, latched = 0;
};

TEST(I82802, At49ll020EraseSends20hBelowTheBoundaryAnd21hFromIt) {
    SimBench b("");
    auto rec = std::make_unique<BusRecorder>();
    BusRecorder* r = rec.get();
    std::vector<int> pins(32);
    for (int i = 0; i < 32; ++i) pins[static_cast<std::size_t>(i)] = i + 5;
    b.sim->SeatChip(std::move(rec), sim::Placement::Custom("PLCC32", pins));
    AlgoForm& f = b.Open("I82802 8");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Message"), "OK");
    const std::uint32_t starts[] = {0x00000, 0x10000, 0x20000, 0x30000, 0x38000, 0x3A000, 0x3C000};
    ASSERT_EQ(r->cycles.size(), 14u);
    for (std::size_t k = 0; k < 7; ++k) {
        EXPECT_EQ(r->cycles[2 * k].address, starts[k]) << k;
        EXPECT_EQ(r->cycles[2 * k].data, k < 3 ? 0x20 : 0x21) << k;
        EXPECT_EQ(r->cycles[2 * k + 1].address, starts[k]) << k;
        EXPECT_EQ(r->cycles[2 * k + 1].data, 0xD0) << k;
    }
    EXPECT_EQ(b.tap->Count(proto::OpWait100ms), 35u);
}

}  // namespace
}  // namespace quilla::test
