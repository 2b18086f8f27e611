// The I2C 24Cxx forms end to end: TP24c0x through the i2c24c design and
// TP24c0x310 pin by pin on the vex310, against the strict I2C chip model.
#include <algorithm>
#include <vector>

#include "algo/serial/i2c.h"
#include "sim/chips/i2c.h"
#include "support/param_names.h"
#include "support/sim_bench.h"
#include "images.h"

namespace quilla::test {
namespace {

using sim::EventKind;
using sim::I2cEeprom;

I2cEeprom& Chip24(SimBench& b) { return b.ChipAs<I2cEeprom>(); }

// The bytes sent after each START in the tap's commands (0x1E, then 0x38 b).
std::vector<std::vector<std::uint8_t>> BusPhases(const SimBench& b) {
    std::vector<std::vector<std::uint8_t>> phases;
    for (const auto& c : b.tap->commands) {
        if (c[0] == proto::OpI2cStart) phases.emplace_back();
        else if (c[0] == proto::OpSpiOut && !phases.empty()) phases.back().push_back(c[1]);
    }
    return phases;
}

// The 10 ms waits queued after each STOP (its last step lets SDA go: line 1 high).
std::vector<int> WaitsAfterEachStop(const SimBench& b) {
    std::vector<int> waits;
    bool counting = false;
    for (const auto& c : b.tap->commands) {
        if (c[0] == proto::OpWriteReg && c[1] == proto::RegControlLines && c[2] == (1 | proto::LineHighBit)) {
            waits.push_back(0);
            counting = true;
        } else if (counting && c[0] == proto::OpWaitSettle) {
            ++waits.back();
        } else {
            counting = false;
        }
    }
    return waits;
}

// ---- round trips through the design ------------------------------------------------------------

struct Trip {
    const char* part;
    const char* params;
    int bytes;
};

class P24RoundTrip : public ::testing::TestWithParam<Trip> {};

TEST_P(P24RoundTrip, WritesThenVerifiesAndReadsInBothReadModes) {
    const Trip& t = GetParam();
    SimBench b(t.part);
    b.tap->record = false;
    b.RandomImage(t.bytes, 4);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + t.bytes);
    AlgoForm& f = b.Open(t.params);
    EXPECT_EQ(f.Text("Msg"), "OK ");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, t.bytes));
    for (int mode : {0, 1}) {
        f.Choose("RadioGroup2", mode);
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), "Verified!") << "read mode " << mode;
        std::fill(b.Image(), b.Image() + t.bytes, 0);
        f.Click("Read1");
        EXPECT_EQ(f.Text("Msg"), "OK");
        EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image())) << "read mode " << mode;
    }
    EXPECT_EQ(b.sim->LoadedTag(), "i2c24c");
}

INSTANTIATE_TEST_SUITE_P(I2c, P24RoundTrip,
                         ::testing::Values(Trip{"24C02", "P24 2", 256}, Trip{"24C16", "P24 5", 2048},
                                           Trip{"24C64", "P24 7", 8192}, Trip{"24C512", "P24 10", 65536},
                                           Trip{"24C01A", "P24 1", 128}, Trip{"X24C01", "P24 12", 128}),
                         CaseName([](const Trip& t) { return std::string(t.params) + " " + t.part; }));

// ---- the bus ---------------------------------------------------------------------------------------

TEST(P24Bus, AddressPhasesCarryBlockBitsOrTwoAddressBytes) {
    struct Case {
        const char* part;
        const char* params;
        int address;
        std::vector<std::uint8_t> bytes;
    };
    for (const Case& c : {Case{"24C16", "P24 5", 0x5A3, {0xAA, 0xA3}},
                          Case{"24C256", "P24 9", 0x1234, {0xA0, 0x12, 0x34}}}) {
        SimBench b(c.part);
        auto& f = dynamic_cast<TP24c0x&>(b.Open(c.params));
        b.tap->commands.clear();
        f.I2cSetWriteAddress(c.address);
        b.wb->Ep3.UsbFlush();
        const auto phases = BusPhases(b);
        ASSERT_EQ(phases.size(), 1u) << c.part;
        EXPECT_EQ(phases[0], c.bytes) << c.part;
        // ninth clocks after each byte
        EXPECT_EQ(b.tap->Count(proto::OpI2cAckClock), c.bytes.size()) << c.part;
    }
}

TEST(P24Bus, ContinuousReadIsOneAddressPhaseAndFourReplies) {
    SimBench b("24C02");
    b.RandomImage(256, 5);
    std::copy(b.Image(), b.Image() + 256, Chip24(b).MutableContents().begin());
    AlgoForm& f = b.Open("P24 2");
    f.Choose("RadioGroup2", 1);
    b.tap->commands.clear();
    f.Click("Read1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 256));
    int writeAddressed = 0, readAddressed = 0;
    for (const auto& p : BusPhases(b)) {
        writeAddressed += p == std::vector<std::uint8_t>{0xA0, 0x00};
        readAddressed += p == std::vector<std::uint8_t>{0xA1};
    }
    EXPECT_EQ(writeAddressed, 1);
    EXPECT_EQ(readAddressed, 256);
    // Replies that carry reads: one per 64 bytes.
    int replies = 0;
    bool reads = false;
    for (const auto& c : b.tap->commands) {
        if (c[0] == proto::OpSpiIn) reads = true;
        if (c[0] == proto::OpReply && reads) ++replies, reads = false;
    }
    EXPECT_EQ(replies, 4);
}

// ---- writes ----------------------------------------------------------------------------------------

TEST(P24Write, WriteModesSetTheBytesPerPage) {
    for (auto [mode, perPage] : {std::pair{0, 8}, std::pair{1, 4}, std::pair{2, 2}}) {
        SimBench b("24C02");
        DenseImage(b, 256, 6);
        AlgoForm& f = b.Open("P24 2");
        f.Choose("RadioGroup1", mode);
        b.tap->commands.clear();
        f.Click("Write");
        EXPECT_TRUE(b.ChipMatchesImage(0, 256)) << mode;
        EXPECT_EQ(Chip24(b).Cycles(), 256 / perPage) << mode;
        for (const auto& p : BusPhases(b)) EXPECT_EQ(p.size(), 2u + perPage) << mode;  // device, address, data
    }
}

TEST(P24Write, A24C02WrittenThroughThe24C04RowWrapsItsPages) {
    SimBench b("24C02");
    DenseImage(b, 512, 7);
    AlgoForm& f = b.Open("P24 3");
    f.Choose("RadioGroup1", 0);  // "Fast": 16 bytes into 8-byte pages
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed!!!!");
    EXPECT_EQ(f.Text("Edit6"), "0000");
    EXPECT_EQ(b.Chip()[0], b.Image()[8]) << "the page wrapped at 8";
}

TEST(P24Write, PageDelayAgainstASlowChipAndTheRun) {
    SimBench b("24C02");
    Chip24(b).SetSlowFactor(5);  // a 25 ms write cycle
    DenseImage(b, 256, 8);
    AlgoForm& f = b.Open("P24 2");
    f.Choose("Speed", 0);  // "10 ms": 2 waits of 10 ms
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(WaitsAfterEachStop(b), std::vector<int>(64, 2));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed!!!!");
    EXPECT_EQ(f.Text("Edit6"), "0004");  // the second 4-byte page came while the first was written
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    f.Click("Button1");
    EXPECT_EQ(f.PassesCounted(), 0);
    EXPECT_EQ(f.Text("Msg"), "Failed!!!!");

    f.Choose("Speed", 1);  // "20 ms": 3 waits
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(WaitsAfterEachStop(b), std::vector<int>(64, 3));
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Verified!");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(b.ChipMatchesImage(0, 256));
}

// The Part's literal phase for the X24C01 (its prefix, then the standard phase)
// makes the chip take 0xA0 as "address 0x50, write" and the address byte as data.
TEST(P24Write, TheX24C01TakesTheStandardPhaseAsAWriteAt0x50) {
    SimBench b("X24C01");
    auto& f = dynamic_cast<TP24c0x&>(b.Open("P24 12"));
    f.I2cPowerUp();
    f.I2cStart();
    f.I2cSendByte(0x10 << 1);
    f.I2cAckClock();
    f.I2cStart();
    f.I2cSendByte(0xA0);
    f.I2cAckClock();
    f.I2cSendByte(0x10);
    f.I2cAckClock();
    f.I2cSendByte(0x77);
    f.I2cAckClock();
    f.I2cStop();
    b.wb->Ep3.UsbPut1(proto::OpWait100ms);
    b.wb->Ep3.UsbFlush();
    EXPECT_EQ(b.Chip()[0x50], 0x10);
    EXPECT_EQ(b.Chip()[0x51], 0x77);
    EXPECT_EQ(b.Chip()[0x10], 0xFF);
}

// ---- the strict chip --------------------------------------------------------------------------------

TEST(I2cChipModel, BusyChipTakesNothingAndWriteProtectHolds) {
    SimBench b("24C02", "vex310");
    auto& f = dynamic_cast<TP24c0x310&>(b.Open("P24C310 2"));
    f.Choose("Speed", 0);  // 1 ms: the chip (5 ms) is still busy with the previous byte
    f.I2cPowerUp();
    f.I2cByteWrite(1, 0x11);
    f.I2cByteWrite(2, 0x22);
    b.wb->Ep3.UsbPut1(proto::OpWait100ms);
    f.I2cByteWrite(3, 0x33);
    b.wb->Ep3.UsbPut1(proto::OpWait100ms);
    b.wb->Ep3.UsbFlush();
    EXPECT_EQ(b.Chip()[1], 0x11);
    EXPECT_EQ(b.Chip()[2], 0xFF);
    EXPECT_EQ(b.Chip()[3], 0x33);
    b.wb->Ep3.PinHigh(23);  // WP
    f.I2cByteWrite(4, 0x44);
    b.wb->Ep3.UsbPut1(proto::OpWait100ms);
    b.wb->Ep3.UsbFlush();
    EXPECT_EQ(b.Chip()[4], 0xFF);
    EXPECT_EQ(Chip24(b).Cycles(), 2);
}

TEST(I2cChipModel, AddressPinsMustMatch) {
    SimBench b("24C02");
    AlgoForm& f = b.Open("P24 2");
    b.sim->GetSocket().Drive(17, true, sim::Writer::Design);  // A0 high: the chip answers 0xA2
    b.RandomImage(256, 9);
    f.Click("Write");
    EXPECT_TRUE(b.ChipBlank(0, 256));
    EXPECT_EQ(Chip24(b).Cycles(), 0);
}

// ---- setup, contact and the empty socket ---------------------------------------------------------------

TEST(P24Setup, AppliesTheVoltageItemShown) {
    SimBench b("24C02");
    AlgoForm& f = b.Open("P24 2");
    f.Get("RadioGroup3").ItemIndex = 1;
    b.sim->Log().Clear();
    b.Open("P24 2");
    const auto levels = b.sim->Log().OfKind(EventKind::VccLevel);
    ASSERT_EQ(levels.size(), 1u);
    EXPECT_EQ(levels[0].value, 33);
}

TEST(P24Setup, SdaWithoutContactAsksAndCancelWritesNothing) {
    SimBench b("24C02");
    b.RandomImage(256, 10);
    AlgoForm& f = b.Open("P24 2");
    b.sim->SetBadContact(21);
    b.prompts.answers.push_back(BtnCancel);
    f.Click("Write");
    ASSERT_FALSE(b.prompts.shown.empty());
    EXPECT_NE(b.prompts.Last().find("21, "), std::string::npos) << b.prompts.Last();
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    EXPECT_TRUE(b.ChipBlank(0, 256));
    EXPECT_TRUE(b.sim->Log().OfKind(EventKind::VccRoute).size() >= 1);
    for (const auto& e : b.sim->Log().OfKind(EventKind::VccRoute)) EXPECT_NE(e.pin, 24);
}

TEST(P24EmptySocket, NothingPassesWithTheContactTestOffOrOnTheVex310) {
    for (auto [params, model] : {std::pair{"P24 2", "vex520"}, std::pair{"P24C310 2", "vex310"},
                                 std::pair{"P24 12", "vex520"}, std::pair{"P24C310 11", "vex310"}}) {
        SimBench b("", model);
        b.wb->options.ContactCheck = false;
        std::fill(b.Image(), b.Image() + 256, 0xFF);
        AlgoForm& f = b.Open(params);
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), SerialForm::NoChipText) << params;
        f.Click("Write");
        EXPECT_EQ(f.Text("Msg"), SerialForm::NoChipText) << params;
        if (f.Has("Button1")) {
            f.Click("Button1");
            EXPECT_EQ(f.PassesCounted(), 0) << params;
        }
    }
}

TEST(P24EmptySocket, WithTheChipInPlaceTheCheckPasses) {
    SimBench b("24C02");
    b.wb->options.ContactCheck = false;
    b.RandomImage(256, 11);
    AlgoForm& f = b.Open("P24 2");
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
}

class P24BadLine : public ::testing::TestWithParam<const char*> {};

TEST_P(P24BadLine, RefusesWithOneMessageAndNoSupply) {
    const std::string params = GetParam();
    SimBench b("24C02", params.find("310") != std::string::npos ? "vex310" : "vex520");
    b.sim->Log().Clear();
    AlgoForm& f = b.Open(params);
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_NE(b.prompts.Last().find("variant"), std::string::npos);
    f.Click("Write");
    f.Click("Read1");
    EXPECT_TRUE(b.sim->Log().OfKind(EventKind::VccRoute).empty());
    EXPECT_TRUE(b.sim->Log().OfKind(EventKind::VccLevel).empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, P24BadLine, ::testing::Values("P24 0", "P24 13", "P24C310 0", "P24C310 12"),
                         CaseName([](const char* p) { return std::string(p); }));

// ---- the vex310 form ------------------------------------------------------------------------------------

TEST(P24Vex310, RoundTripsReadEightPerReplyWriteBytes) {
    for (auto [part, params, bytes] : {std::tuple{"24C02", "P24C310 2", 256}, std::tuple{"24C256", "P24C310 9", 32768}}) {
        SimBench b(part, "vex310");
        b.tap->record = false;
        b.RandomImage(bytes, 12);
        const std::vector<std::uint8_t> image(b.Image(), b.Image() + bytes);
        AlgoForm& f = b.Open(params);
        f.Click("Write");
        EXPECT_EQ(f.Text("Msg"), "Ended.") << part;
        EXPECT_EQ(b.wb->ErrorFlag(), 0);
        EXPECT_TRUE(b.ChipMatchesImage(0, bytes)) << part;
        f.Click("Verify");
        EXPECT_EQ(f.Text("Msg"), "Verified!") << part;
        std::fill(b.Image(), b.Image() + bytes, 0);
        f.Click("Read1");
        EXPECT_EQ(f.Text("Msg"), "Data in buffer..") << part;
        EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image())) << part;
    }
}

TEST(P24Vex310, X24C01RowAddressesTheChipWithItsOwnByte) {
    SimBench b("X24C01", "vex310");
    auto& f = dynamic_cast<TP24c0x310&>(b.Open("P24C310 11"));
    f.I2cPowerUp();
    f.I2cByteWrite(0x45, 0x5C);
    f.I2cRandomRead(0x45);
    b.wb->Ep3.UsbReadReply();
    EXPECT_EQ(b.Chip()[0x45], 0x5C);
    EXPECT_EQ(Chip24(b).FirstBytes(), (std::vector<std::uint8_t>{0x8A, 0x8B}));
    unsigned v = 0;
    for (int k = 0; k < 8; ++k) v = (v << 1) | ((b.wb->Ep3.UsbReplyBuf[static_cast<std::size_t>(k)] >> 3) & 1u);
    EXPECT_EQ(v, 0x5Cu);
}

TEST(P24Vex310, FiftyMillisecondsQueuesFiftyWaitsPerByte) {
    SimBench b("24C01A", "vex310");
    b.RandomImage(128, 13);
    AlgoForm& f = b.Open("P24C310 1");
    f.Choose("Speed", 5);
    b.tap->commands.clear();
    f.Click("Write");
    // One more wait belongs to the over-current check.
    EXPECT_EQ(b.tap->Count(proto::OpWait1ms), 128u * 50u + 1u);
    EXPECT_TRUE(b.ChipMatchesImage(0, 128));
}

}  // namespace
}  // namespace quilla::test
