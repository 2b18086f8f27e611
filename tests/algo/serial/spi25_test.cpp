// The SPI 25-series forms end to end: the AT25SPI form on 16-bit-address
// EEPROMs and the ACTRANS25 form on a 24-bit-address EEPROM with chip erase
// and identification, on chips that take only their datasheets' instructions.
#include <algorithm>

#include "algo/serial/spi25.h"
#include "sim/chips/spi25.h"
#include "support/fault_sweep.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

constexpr const char* k25256 = "AT25SPI 1 len=32768 pag=64 dly=5 vcc=5000";
constexpr const char* k1024 = "ACTRANS25 1 len=131072 pag=256 dly=6 era=10 vcc=5000";
constexpr const char* kF512 = "ACTRANS25 2 len=65536 pag=128 dly=10 era=2000 vcc=3300";

sim::Spi25Eeprom& Chip25(SimBench& b) { return b.ChipAs<sim::Spi25Eeprom>(); }

// The serial bytes a click sent (opcode 0x38), in order.
std::vector<std::uint8_t> SentBytes(const Tap& tap) {
    std::vector<std::uint8_t> out;
    for (const auto& c : tap.commands)
        if (c[0] == proto::OpSpiOut) out.push_back(c[1]);
    return out;
}

TEST(At25spi1, WriteVerifyReadAndTheProtectedUpperQuarter) {
    SimBench b("AT25256");
    b.RandomImage(0x8000, 90);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + 0x8000);
    AlgoForm& f = b.Open(k25256);
    EXPECT_EQ(f.Caption(), "At25spi1");
    EXPECT_EQ(f.Text("Msg"), "OK ");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 0x8000);
    f.Click("Button4");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    std::fill(b.Image(), b.Image() + 0x8000, 0);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
    // BP0 and WPEN: the upper quarter is protected.
    f.SetChecked("CheckBox2", true);
    f.SetChecked("CheckBox4", true);
    f.Click("Button2");
    f.Click("Button3");
    EXPECT_EQ(f.Text("Msg"), "Status=84");
    for (int i = 0x6000; i < 0x8000; ++i) b.Image()[i] ^= 0x5A;
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(f.Text("Edit6"), "6000");
    EXPECT_EQ(b.Chip()[0x6000], image[0x6000]);
    f.Click("Button4");
    f.Click("Button3");
    EXPECT_EQ(f.Text("Msg"), "Status=00");
}

TEST(At25spi1, APageWithoutWriteEnableChangesNothing) {
    SimBench b("AT25256");
    AlgoForm& f = b.Open(k25256);
    auto& form = dynamic_cast<TAt25spi1&>(f);
    b.RandomImage(64, 91);
    f.Click("Read1");  // powers the chip through the form once
    ASSERT_TRUE(form.SpiPowerUp());
    form.Select();
    form.SpiShiftOut(0x02);
    form.SpiShiftOut(0x00);
    form.SpiShiftOut(0x00);
    for (int i = 0; i < 64; ++i) form.SpiShiftOut(0x00);
    form.Release();
    b.wb->Ep3.UsbPut1(proto::OpWait100ms);
    b.wb->Ep3.VccPin(0);
    EXPECT_TRUE(b.ChipBlank(0, 64));
    EXPECT_EQ(Chip25(b).Cycles(), 0);
}

TEST(At25spi1, RunUnlocksWritesAndVerifiesOnce) {
    SimBench b("AT25080");
    b.RandomImage(1024, 92);
    Chip25(b).SetStatus(0x0C);  // the whole array protected
    AlgoForm& f = b.Open("AT25SPI 1 len=1024 pag=32 dly=5 vcc=5000");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 1024));
}

struct KeyCase {
    const char* params;
    const char* key;
};

class Spi25Keys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(Spi25Keys, ABadKeyIsRefusedAtSetupWithoutSupply) {
    SimBench b("AT25256");
    AlgoForm& f = b.Open(GetParam().params);
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_NE(b.prompts.Last().find(GetParam().key), std::string::npos) << b.prompts.Last();
    f.Click("Write");
    f.Click("Read1");
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty());
    EXPECT_TRUE(b.sim->GetSocket().GndPins().Empty());
}

INSTANTIATE_TEST_SUITE_P(
    Setup, Spi25Keys,
    ::testing::Values(KeyCase{"AT25SPI 1 pag=64 dly=5 vcc=5000", "len="},
                      KeyCase{"AT25SPI 1 len=0 pag=64 dly=5 vcc=5000", "len="},
                      KeyCase{"AT25SPI 1 len=8388609 pag=64 dly=5 vcc=5000", "len="},
                      KeyCase{"AT25SPI 1 len=32768 pag=0 dly=5 vcc=5000", "pag="},
                      KeyCase{"AT25SPI 1 len=32768 pag=65536 dly=5 vcc=5000", "pag="},
                      KeyCase{"AT25SPI 1 len=32768 pag=64 dly=5", "vcc="},
                      KeyCase{"AT25SPI 1 len=32768 pag=64 dly=70000 vcc=5000", "dly="},
                      KeyCase{"AT25SPI 0 len=32768 pag=64 dly=5 vcc=5000", "variant"},
                      KeyCase{"AT25SPI 3 len=32768 pag=64 dly=5 vcc=5000", "variant"}),
    CaseName([](const KeyCase& c) { return std::string(c.params); }));

TEST(At25spi1, Len65535And65536BothReadTheWholeChip) {
    for (const char* len : {"65535", "65536"}) {
        SCOPED_TRACE(len);
        SimBench b("AT25512");
        auto cells = b.sim->GetChip()->MutableContents();
        for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<std::uint8_t>(i * 13 + 5);
        AlgoForm& f = b.Open(std::string("AT25SPI 1 len=") + len + " pag=128 dly=5 vcc=5000");
        b.tap->record = false;
        f.Click("Read1");
        EXPECT_EQ(f.Text("Msg"), "OK");
        EXPECT_TRUE(b.ChipMatchesImage(0, 65536));
    }
}

TEST(At25spi1, WithTheContactTestOffAnEmptySocketDoesNotVerify) {
    SimBench b("");
    b.wb->options.ContactCheck = false;
    AlgoForm& f = b.Open(k25256);
    std::fill(b.Image(), b.Image() + 0x8000, 0xFF);
    f.Click("Verify");
    EXPECT_NE(f.Text("Msg"), "OK!!!");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
}

TEST(At25spi1, WriteWithoutAFileWindowSaysSoAndEndsTheRun) {
    SimBench b("AT25256");
    AlgoForm& f = b.Open(k25256);
    b.wb->FileWin.reset();
    f.Click("Button1");
    EXPECT_EQ(b.prompts.Last(), "Must open a file to write...");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_NE(f.Text("Msg"), "End OK..");
}

// ---- TActrans25x --------------------------------------------------------------------------------

TEST(Actrans25x, RunErasesChecksUnlocksWritesAndVerifies) {
    SimBench b("25LC1024");
    b.tap->record = false;
    b.RandomImage(0x20000, 93);
    std::fill(b.sim->GetChip()->MutableContents().begin(), b.sim->GetChip()->MutableContents().end(), 0x00);
    AlgoForm& f = b.Open(k1024);
    EXPECT_EQ(f.Caption(), "Actrans25x");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x20000));
}

TEST(Actrans25x, AProtectedChipIgnoresTheEraseAndTheRunEndsUncounted) {
    SimBench b("25LC1024");
    b.tap->record = false;
    b.RandomImage(0x20000, 94);
    std::fill(b.sim->GetChip()->MutableContents().begin(), b.sim->GetChip()->MutableContents().end(), 0x12);
    Chip25(b).SetStatus(0x04);
    AlgoForm& f = b.Open(k1024);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "No empty.");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(b.Chip()[0], 0x12);
}

TEST(Actrans25x, EraseWaitsEra100Plus1LongWaits) {
    for (auto [era, waits] : {std::pair{250, 3}, std::pair{0, 1}, std::pair{10, 1}}) {
        SCOPED_TRACE(era);
        SimBench b("25LC1024");
        AlgoForm& f = b.Open("ACTRANS25 1 len=131072 pag=256 dly=6 era=" + std::to_string(era) + " vcc=5000");
        b.tap->commands.clear();
        f.Click("Erase");
        EXPECT_EQ(f.Text("Msg"), "OK");
        EXPECT_EQ(static_cast<int>(b.tap->Count(proto::OpWait100ms)), waits);
    }
}

TEST(Actrans25x, IdShowsTheSignature) {
    SimBench b("25LC1024");
    AlgoForm& f = b.Open(k1024);
    b.tap->commands.clear();
    f.Click("Button5");
    EXPECT_EQ(f.Text("Msg"), "ID=29,29,29,29");
    const auto sent = SentBytes(*b.tap);
    EXPECT_EQ(sent, (std::vector<std::uint8_t>{0xAB, 0x00, 0x00, 0x00}));
}

TEST(Actrans25x, WriteSendsThreeAddressBytesAPage) {
    SimBench b("25LC1024");
    b.RandomImage(0x20000, 95);
    AlgoForm& f = b.Open(k1024);
    f.Click("Write");
    const auto sent = SentBytes(*b.tap);
    const std::vector<std::uint8_t> lastPage{0x06, 0x02, 0x01, 0xFF, 0x00};
    EXPECT_NE(std::search(sent.begin(), sent.end(), lastPage.begin(), lastPage.end()), sent.end());
    EXPECT_EQ(static_cast<int>(b.tap->Count(proto::OpWait1ms)), 512 * 8 + 1) << "dly + 2 a page, and the current check's";
}

// ---- the serial flash on row 2 (erase 62h) ---------------------------------------------------------

TEST(Actrans25xFlash, RunErasesChecksUnlocksWritesAndVerifiesOnce) {
    SimBench b("AT25F512A");
    b.tap->record = false;
    b.RandomImage(0x10000, 97);
    std::fill(b.sim->GetChip()->MutableContents().begin(), b.sim->GetChip()->MutableContents().end(), 0x5A);
    AlgoForm& f = b.Open(kF512);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x10000));
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

// Programming only clears bits: a Write over data leaves old AND new, and Verify says so.
TEST(Actrans25xFlash, AWriteWithoutEraseOnlyClearsBits) {
    SimBench b("AT25F512A");
    b.tap->record = false;
    auto cells = b.sim->GetChip()->MutableContents();
    std::fill(cells.begin(), cells.end(), 0x0F);
    std::fill(b.Image(), b.Image() + 0x10000, 0xF0);
    b.Image()[0x123] = 0x0F;
    AlgoForm& f = b.Open(kF512);
    f.Click("Write");
    EXPECT_EQ(b.Chip()[0], 0x00);
    EXPECT_EQ(b.Chip()[0x123], 0x0F);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(f.Text("Edit6"), "0000");
    f.Click("Erase");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
}

// BP0 guards the whole array: the Erase is ignored, Blank fails, the Run ends uncounted.
// BP1 is no bit of this part's status register.
TEST(Actrans25xFlash, ProtectionIsBp0AndWpenAndTheProtectedChipKeepsItsData) {
    SimBench b("AT25F512A");
    b.tap->record = false;
    b.RandomImage(0x10000, 98);
    auto cells = b.sim->GetChip()->MutableContents();
    std::fill(cells.begin(), cells.end(), 0x12);
    AlgoForm& f = b.Open(kF512);
    f.SetChecked("CheckBox3", true);  // BP1
    f.Click("Button2");
    f.Click("Button3");
    EXPECT_EQ(f.Text("Msg"), "Status=00");
    f.SetChecked("CheckBox3", false);
    f.SetChecked("CheckBox2", true);  // BP0
    f.SetChecked("CheckBox4", true);  // WPEN
    f.Click("Button2");
    f.Click("Button3");
    EXPECT_EQ(f.Text("Msg"), "Status=84");
    f.SetChecked("CheckBox5", false);  // the Run's Unlock
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "No empty.");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_TRUE(std::all_of(b.Chip().begin(), b.Chip().end(), [](std::uint8_t v) { return v == 0x12; }));
    f.Click("Button4");
    f.Click("Button3");
    EXPECT_EQ(f.Text("Msg"), "Status=00");
    f.SetChecked("CheckBox5", true);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x10000));
}

TEST(Actrans25xFlash, Era2000CoversTheChipEraseAndAShortOneDoesNot) {
    for (auto [era, erased] : {std::pair{2000, true}, std::pair{1000, false}}) {
        SCOPED_TRACE(era);
        SimBench b("AT25F512A");
        auto cells = b.sim->GetChip()->MutableContents();
        std::fill(cells.begin(), cells.end(), 0x00);
        AlgoForm& f = b.Open("ACTRANS25 2 len=65536 pag=128 dly=10 era=" + std::to_string(era) + " vcc=3300");
        b.tap->commands.clear();
        f.Click("Erase");
        EXPECT_EQ(static_cast<int>(b.tap->Count(proto::OpWait100ms)), era / 100 + 1);
        const auto sent = SentBytes(*b.tap);
        EXPECT_EQ(sent, (std::vector<std::uint8_t>{0x06, 0x62}));
        // Power goes off after the waits: a chip erase cut short leaves the cells as they were.
        EXPECT_EQ(b.Chip()[0], erased ? 0xFF : 0x00);
    }
}

// The part's own instructions, straight on the bus: RDID 15h answers 1Fh, 65h at
// once (so the form's ID, which reads after three 00h bytes, has no opcode for
// this row), and sector erase 52h clears only the 32 KiB sector addressed.
TEST(Actrans25xFlash, TheChipsIdAndSectorErase) {
    SimBench b("AT25F512A");
    auto cells = b.sim->GetChip()->MutableContents();
    std::fill(cells.begin(), cells.end(), 0x00);
    b.Open(kF512);
    TEp3& e = b.wb->Ep3;
    e.VccPin(24);
    e.UsbPut1(proto::OpWaitSettle);
    e.ControlLineLow(4);
    e.UsbPut2(proto::OpSpiOut, 0x15);
    for (int k = 0; k < 3; ++k) e.UsbPut1(proto::OpSpiIn);
    e.UsbReadReply();
    e.ControlLineHigh(4);
    EXPECT_EQ(e.UsbReplyBuf[0], 0x1F);
    EXPECT_EQ(e.UsbReplyBuf[1], 0x65);
    EXPECT_EQ(e.UsbReplyBuf[2], 0xFF);
    for (bool wren : {false, true}) {
        if (wren) {
            e.ControlLineLow(4);
            e.UsbPut2(proto::OpSpiOut, 0x06);
            e.ControlLineHigh(4);
        }
        e.ControlLineLow(4);
        for (std::uint8_t v : {0x52, 0x00, 0x80, 0x10}) e.UsbPut2(proto::OpSpiOut, v);
        e.ControlLineHigh(4);
        for (int k = 0; k < 11; ++k) e.UsbPut1(proto::OpWait100ms);
        e.UsbFlush();
        EXPECT_EQ(b.Chip()[0x8000], wren ? 0xFF : 0x00) << wren;
        EXPECT_EQ(b.Chip()[0xFFFF], wren ? 0xFF : 0x00) << wren;
        EXPECT_EQ(b.Chip()[0x7FFF], 0x00) << wren;
    }
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

TEST(Spi25Sweep, NoSuccessTextWithTheChipWrong) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("AT25080");
        b->RandomImage(1024, 96);
        b->Open("AT25SPI 1 len=1024 pag=32 dly=5 vcc=5000");
        b->tap->record = false;
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& { return b.Open("AT25SPI 1 len=1024 pag=32 dly=5 vcc=5000"); };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button1"); };
    s.holds = [](SimBench& b, const std::string& text) {
        return text == "OK" || b.ChipMatchesImage(0, 1024);  // Unlock's "OK" promises no data
    };
    EXPECT_GT(s.Run().transfers, 3);
}

// The three-address-byte form's Write and batch, on 1 KiB of each part.
struct Actrans25Case {
    const char* name;
    const char* part;
    const char* params;
    const char* button;
};

class Actrans25Sweep : public ::testing::TestWithParam<Actrans25Case> {};

TEST_P(Actrans25Sweep, NoSuccessTextWithTheChipWrong) {
    const Actrans25Case c = GetParam();
    FaultSweep s;
    s.prepare = [c] {
        auto b = std::make_unique<SimBench>(c.part);
        b->RandomImage(1024, 97);
        auto cells = b->sim->GetChip()->MutableContents();
        std::fill(cells.begin(), cells.end(), 0xFF);
        b->tap->record = false;
        return b;
    };
    const std::string params = c.params;
    s.form = [params](SimBench& b) -> AlgoForm& { return b.Open(params); };
    const std::string button = c.button;
    s.operation = [button](SimBench&, AlgoForm& f) { f.Click(button); };
    // The erase's "OK" and the blank check's text promise a blank chip, the others the image.
    s.holds = [](SimBench& b, const std::string& text) {
        if (text == "OK" || text == "Blank.") return b.ChipBlank(0, 1024) || b.ChipMatchesImage(0, 1024);
        return b.ChipMatchesImage(0, 1024);
    };
    EXPECT_GT(s.Run().transfers, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Actrans25Sweep,
    ::testing::Values(
        Actrans25Case{"eeprom_write", "25LC1024", "ACTRANS25 1 len=1024 pag=256 dly=6 era=10 vcc=5000", "Write"},
        Actrans25Case{"eeprom_batch", "25LC1024", "ACTRANS25 1 len=1024 pag=256 dly=6 era=10 vcc=5000", "Button1"},
        Actrans25Case{"flash_write", "AT25F512A", "ACTRANS25 2 len=1024 pag=128 dly=10 era=2000 vcc=3300", "Write"},
        Actrans25Case{"flash_batch", "AT25F512A", "ACTRANS25 2 len=1024 pag=128 dly=10 era=2000 vcc=3300",
                      "Button1"}),
    CaseName([](const Actrans25Case& c) { return std::string(c.name); }));

}  // namespace
}  // namespace quilla::test
