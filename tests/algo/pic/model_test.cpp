// The PIC serial layer against the simulated programmer: the PIC serial
// design shifting the commands into the 14-bit chip model on its ICSP pins.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "algo/pic/pic_serial.h"
#include "sim/chips/pic14.h"
#include "sim/designs/pic_serial.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::Pic14Chip;

// A PIC in the socket with its design loaded and the supplies at the levels
// the forms set up.
struct PicBench {
    PicBench(const char* part, const char* design, const PicVariant& v, PicPins pins, int vppMv = 12700,
             int vccMv = 5000, bool ground = true)
        : b(part), pic(b.wb->Ep3, v), p(pins) {
        TEp3& e = b.wb->Ep3;
        e.ResetPins();
        e.LoadBitFile(std::string(design) + ".bit");
        if (ground) e.GndPin(pins.gnd);  // as the forms' setups ground the chip
        e.SetVcc(vccMv);
        e.SetVpp(vppMv);
        e.UsbFlush();
        EXPECT_EQ(b.sim->LoadedTag(), design);
    }
    Pic14Chip& Chip() { return b.ChipAs<Pic14Chip>(); }
    bool ProgramBlank() {
        for (int a = 0; a < Chip().Part().words; ++a)
            if (Chip().Word(a) != Pic14Chip::ErasedWord) return false;
        return true;
    }
    TEp3& Ep3() { return b.wb->Ep3; }
    // The words [0, n) read through the layer in blocks of 32.
    std::vector<std::uint16_t> Read(int n) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(2 * n + 64));
        EXPECT_TRUE(pic.Enter(p, true));
        Ep3().UsbFlush();
        for (int a = 0; a < n; a += 32) pic.ReadBlock(32, bytes.data() + 2 * a);
        pic.Leave();
        std::vector<std::uint16_t> w(static_cast<std::size_t>(n));
        for (std::size_t i = 0; i < w.size(); ++i) w[i] = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        return w;
    }
    SimBench b;
    PicSerial pic;
    PicPins p;
};

const PicPins k877Dip40{1, 32, 31, 0xFFFFFFFF, 0xFF};
const PicPins k84aDip18{15, 25, 16, 0x1FFFF800, 0};

std::vector<std::uint16_t> RandomWords(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint16_t> w(static_cast<std::size_t>(n));
    for (auto& x : w) x = static_cast<std::uint16_t>(rng() & 0x3FFF);
    return w;
}

TEST(PicModel, PIC16F877TakesAWholeChipByTheFlashRecipeAndReadsItBack) {
    PicBench t("PIC16F877", "pic16dip40", picvariant::P16fEEx, k877Dip40);
    const auto words = RandomWords(8192, 3);
    const int waits = t.pic.WaitCount({1, "Fast写", 0});
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    for (int a = 0; a < 8192; ++a) {
        t.pic.ProgramWord(words[static_cast<std::size_t>(a)], waits);
        if (a % 8 == 0) t.Ep3().UsbFlush();
    }
    t.pic.Leave();
    for (int a = 0; a < 8192; ++a) ASSERT_EQ(t.Chip().Word(a), words[static_cast<std::size_t>(a)]) << a;
    EXPECT_EQ(t.Read(8192), words);
    EXPECT_EQ(t.b.sim->LoadedTag(), "pic16dip40");
}

TEST(PicModel, AWordGivenNoWaitStays) {
    PicBench t("PIC16F877", "pic16dip40", picvariant::P16fEEx, k877Dip40);
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.ProgramWord(0x1234, 1);
    t.pic.ProgramWord(0x0567, 0);  // the increment follows the begin command at once
    t.pic.ProgramWord(0x0089, 1);
    t.pic.Leave();
    EXPECT_EQ(t.Chip().Word(0), 0x1234);
    EXPECT_EQ(t.Chip().Word(1), 0x3FFF);
    EXPECT_EQ(t.Chip().Word(2), 0x0089);
}

// Entry conditions: each fault leaves the chip as it was.
struct EntryFault {
    const char* name;
    std::function<void(PicBench&)> enter;  // replaces the power-up sequence
    bool damages;
    bool grounded = true;  // the chip's ground pin grounded before (as setups do)
};

class Entry : public ::testing::TestWithParam<EntryFault> {};

TEST_P(Entry, WithoutItsConditionsNothingPrograms) {
    const EntryFault& f = GetParam();
    PicBench t("PIC16F877", "pic16dip40", picvariant::P16fEEx, k877Dip40, 12700, 5000, f.grounded);
    f.enter(t);
    for (int a = 0; a < 16; ++a) t.pic.ProgramWord(static_cast<std::uint16_t>(a), 2);
    t.pic.Leave();
    for (int a = 0; a < 16; ++a) EXPECT_EQ(t.Chip().Word(a), 0x3FFF) << a;
    EXPECT_FALSE(t.Chip().InProgramMode());
    if (f.damages) {
        t.b.ExpectDamage();
        t.b.ExpectViolation("absolute maximum");
    }
}

INSTANTIATE_TEST_SUITE_P(
    PicModel, Entry,
    ::testing::Values(
        EntryFault{"VPP on pin 7", [](PicBench& t) {
                       PicPins p = t.p;
                       p.vpp = 7;
                       t.pic.Enter(p, false);
                   }, true},
        EntryFault{"no ground", [](PicBench& t) {
                       PicPins p = t.p;
                       p.gnd = 0;
                       PicSerial(t.Ep3(), picvariant::P16f87x).Enter(p, false);
                   }, false, false},
        EntryFault{"no opcode 52", [](PicBench& t) {
                       TEp3& e = t.Ep3();
                       e.VccPin(t.p.vcc);
                       e.UsbPut1(proto::OpWaitSettle);
                       e.UsbFlush();
                       e.VppPin(t.p.vpp);
                       t.pic.SerialEnable();
                   }, false},
        EntryFault{"VPP before VCC", [](PicBench& t) {
                       TEp3& e = t.Ep3();
                       e.UsbPut1(proto::OpPrepare);
                       e.VppPin(t.p.vpp);
                       e.VccPin(t.p.vcc);
                       e.UsbFlush();
                   }, false}),
    CaseName([](const EntryFault& f) { return std::string(f.name); }));

TEST(PicModel, RegisterTwentyIsRecordedNotRequired) {
    PicBench t("PIC16F877", "pic16dip40", picvariant::P16fEEx, k877Dip40);
    PicSerial pinHigh(t.Ep3(), picvariant::P12c508x);  // raises VPP by a pin command
    pinHigh.Enter(t.p, true);
    t.Ep3().UsbFlush();
    EXPECT_EQ(dynamic_cast<sim::PicSerialDesign*>(t.b.sim->LoadedDesign())->SerialRegister(), 0);
    t.pic.ProgramWord(0x0123, 1);
    t.pic.Leave();
    EXPECT_EQ(t.Chip().Word(0), 0x0123);
}

// ---- command decoding ----------------------------------------------------------------------------

struct DecodeCase {
    const char* part;
    const char* design;
    PicPins pins;
    std::uint8_t load, read, increment;
    bool takes;  // the part decodes these bytes
};
class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, EachPartByItsOwnTable) {
    const DecodeCase& c = GetParam();
    PicBench t(c.part, c.design, picvariant::P16c8x, c.pins, 12500);
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.SendCommand(c.increment);  // to word 1
    t.pic.SendCommandData(c.load, 0x2A55);
    t.pic.SendCommand(0x08);
    t.Ep3().UsbPut1(proto::OpWaitSettle);
    t.pic.Leave();
    EXPECT_EQ(t.Chip().Word(1), c.takes ? 0x2A55 : 0x3FFF);
    EXPECT_EQ(t.Chip().Word(0), 0x3FFF);
    if (c.takes) {
        ASSERT_TRUE(t.pic.Enter(t.p, true));
        t.pic.SendCommand(c.increment);
        t.pic.ReadWord(c.read);
        t.Ep3().UsbReadReply();
        t.pic.Leave();
        EXPECT_EQ(t.Ep3().UsbReplyBuf[0] | (t.Ep3().UsbReplyBuf[1] << 8), 0x2A55);
    }
}

INSTANTIATE_TEST_SUITE_P(
    PicModel, Decode,
    ::testing::Values(DecodeCase{"PIC16F877", "pic16dip40", k877Dip40, 0xF2, 0xF4, 0xF6, true},
                      DecodeCase{"PIC16F877", "pic16dip40", k877Dip40, 0x02, 0x04, 0x06, true},
                      DecodeCase{"PIC16F877", "pic16dip40", k877Dip40, 0x22, 0x14, 0x36, true},
                      DecodeCase{"PIC16F84A", "pic16dip18", k84aDip18, 0x02, 0x04, 0x06, true},
                      DecodeCase{"PIC16F84A", "pic16dip18", k84aDip18, 0xF2, 0xF4, 0x06, false}),
    CaseName([](const DecodeCase& c) {
        return std::string(c.part) + "_" + HexPart(c.load) + "_" + HexPart(c.read) + "_" + HexPart(c.increment);
    }));

TEST(PicModel, ACodeMissingFromTheTableChangesNothing) {
    // 09h (bulk erase program memory) is in the PIC16F84A's table, not the PIC16F877's.
    for (const char* part : {"PIC16F84A", "PIC16F877"}) {
        const bool is84 = part == std::string("PIC16F84A");
        PicBench t(part, is84 ? "pic16dip18" : "pic16dip40", picvariant::P16c8x, is84 ? k84aDip18 : k877Dip40,
                   12500);
        t.Chip().SetWord(5, 0x0005);
        ASSERT_TRUE(t.pic.Enter(t.p, true));
        t.pic.SendCommandData(0x02, 0x3FFF);
        t.pic.BulkEraseProgram09();
        t.pic.Leave();
        EXPECT_EQ(t.Chip().Word(5), is84 ? 0x3FFF : 0x0005) << part;
    }
}

TEST(PicModel, FramesAndFillersReachTheChipIntact) {
    PicBench t("PIC16F84A", "pic16dip18", picvariant::P16c8x, k84aDip18, 12500);
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    const std::uint16_t words[] = {0x3FFF, 0x00FF, 0x0001, 0x2000, 0x1555};
    for (std::uint16_t w : words) {
        while (t.Ep3().UsbCmdCount % 64 != 62) t.Ep3().UsbPut1(proto::OpWaitPulse);  // the frame gets fillers
        t.pic.ProgramWord(w, 1);
    }
    t.pic.SendCommandData(0x03, 0x5A);  // a data-memory byte: B4h 00h
    t.pic.SendCommand(0x08);
    t.Ep3().UsbPut1(proto::OpWaitSettle);
    t.pic.Leave();
    for (int a = 0; a < 5; ++a) EXPECT_EQ(t.Chip().Word(a), words[a]) << a;
    EXPECT_EQ(t.Chip().Eeprom()[5], 0x5A);
}

// ---- erase and protection --------------------------------------------------------------------------

TEST(PicModel, AProtectedPIC16F84AReadsZerosUntilTheConfigurationErase) {
    PicBench t("PIC16F84A", "pic16dip18", picvariant::P16c8x, k84aDip18, 12500);
    for (int a = 0; a < 1024; ++a) t.Chip().SetWord(a, static_cast<std::uint16_t>(a));
    t.Chip().MutableEeprom()[3] = 0x33;
    t.Chip().SetConfigArea(0, 0x0001);
    t.Chip().SetConfigArea(7, 0x000F);  // CP bits 13-4 programmed
    EXPECT_EQ(t.Read(64), std::vector<std::uint16_t>(64, 0x0000));

    // The program-memory erase does not clear a protected chip.
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.EraseProgram0107();
    t.pic.Leave();
    EXPECT_EQ(t.Chip().Word(7), 7);

    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.EraseAll0107();
    t.pic.Leave();
    EXPECT_TRUE(t.ProgramBlank());
    EXPECT_EQ(t.Chip().ConfigWord(), 0x3FFF);
    EXPECT_EQ(t.Chip().ConfigArea(0), 0x3FFF);
    EXPECT_EQ(t.Chip().ConfigArea(6), 0x0560);
    EXPECT_EQ(t.Chip().Eeprom()[3], 0xFF);
    EXPECT_EQ(t.Read(4), (std::vector<std::uint16_t>{0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF}));
}

TEST(PicModel, LoadProgramDataThenTheEraseSequenceErasesProgramMemoryOnly) {
    PicBench t("PIC16F84A", "pic16dip18", picvariant::P16c8x, k84aDip18, 12500);
    for (int a = 0; a < 1024; ++a) t.Chip().SetWord(a, 0x0100);
    t.Chip().MutableEeprom()[0] = 0x12;
    t.Chip().SetConfigArea(7, 0x3FF5);
    t.Chip().SetConfigArea(1, 0x0002);
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.EraseProgram0107();
    t.pic.Leave();
    EXPECT_TRUE(t.ProgramBlank());
    EXPECT_EQ(t.Chip().Eeprom()[0], 0x12);
    EXPECT_EQ(t.Chip().ConfigWord(), 0x3FF5);
    EXPECT_EQ(t.Chip().ConfigArea(1), 0x0002);

    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.EraseData0107();
    t.pic.Leave();
    EXPECT_EQ(t.Chip().Eeprom()[0], 0xFF);
    EXPECT_EQ(t.Chip().ConfigWord(), 0x3FF5);
}

TEST(PicModel, ProgrammedProtectionStaysUntilAnErase) {
    PicBench t("PIC16F84A", "pic16dip18", picvariant::P16c8x, k84aDip18, 12500);
    t.Chip().SetConfigArea(7, 0x000D);
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.WriteConfigArea(0x1234, 0x3FFF, 1);
    t.pic.Leave();
    EXPECT_EQ(t.Chip().ConfigWord(), 0x000F);  // CP kept, the other bits rewritten
    EXPECT_EQ(t.Chip().ConfigArea(3), 0x0034);
}

TEST(PicModel, DataEepromAndConfigurationAreaThroughTheLayer) {
    PicBench t("PIC16F877", "pic16dip40", picvariant::P16fEEx, k877Dip40);
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    for (int i = 0; i < 32; ++i) t.pic.WriteEepromByte(static_cast<std::uint8_t>(0xA0 + i));
    t.pic.WriteConfigArea(0x1234, 0x3F3A, 1);
    t.pic.Leave();
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    std::uint8_t ee[32];
    t.pic.ReadEepromBlock(32, ee);
    t.pic.Leave();
    for (int i = 0; i < 32; ++i) EXPECT_EQ(ee[i], 0xA0 + i) << i;
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.QueueConfigRead(0xFF);
    t.pic.Leave();
    const auto area = t.pic.ReplyWords();
    EXPECT_EQ(UserIdFromWords(area.data()), 0x1234u);
    EXPECT_EQ(area[6], 0x09A0);
    EXPECT_EQ(area[7], 0x3F3A | 0x0400);  // bit 10 is not implemented: it reads 1
}

// ---- PIC16F7X: externally timed programming, latch pairs, self-timed bulk erase ------------------------

const PicPins k72Dip28{7, 26, 25, 0xFFFFFF80, 0x03};

enum class After { End, Increment, Leave };
struct ExternalCase {
    const char* name;
    int waits;  // wait 26 (1 ms) between begin and what follows
    After after;
    std::uint16_t word0;
};
class External : public ::testing::TestWithParam<ExternalCase> {};

TEST_P(External, TheCycleProgramsAtItsEndAfterItsTime) {
    const ExternalCase& c = GetParam();
    PicBench t("PIC16F72", "pic16dip28", picvariant::P16f7x1, k72Dip28);
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.SendCommandData(0xF2, 0x1234);
    t.pic.SendCommand(0xF8);
    for (int i = 0; i < c.waits; ++i) t.Ep3().UsbPut1(proto::OpWait1ms);
    if (c.after == After::End) t.pic.SendCommand(0xFE);
    if (c.after == After::Increment) t.pic.SendCommand(0xF6);
    t.pic.Leave();
    t.Ep3().UsbFlush();
    EXPECT_EQ(t.Chip().Word(0), c.word0);
}

INSTANTIATE_TEST_SUITE_P(PicModel, External,
                         ::testing::Values(ExternalCase{"EndAfterOneMillisecond", 1, After::End, 0x1234},
                                           ExternalCase{"EndAtOnce", 0, After::End, 0x3FFF},
                                           ExternalCase{"IncrementInsteadOfEnd", 3, After::Increment, 0x3FFF},
                                           ExternalCase{"LeftWithoutEnd", 3, After::Leave, 0x3FFF}),
                         CaseName([](const ExternalCase& c) { return std::string(c.name); }));

TEST(PicModel, PIC16F7xProgramsTheLoadedLatchesOfItsPair) {
    PicBench t("PIC16F72", "pic16dip28", picvariant::P16f7x1, k72Dip28);
    t.Chip().SetWord(0, 0x0F0F);
    t.Chip().SetWord(4, 0x0444);
    auto cycle = [&] {
        t.pic.SendCommand(0xF8);
        t.Ep3().UsbPut1(proto::OpWait1ms);
        t.pic.SendCommand(0xFE);
    };
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.SendCommand(0xF6);  // word 1 alone: the latch of word 0 is not loaded
    t.pic.SendCommandData(0xF2, 0x1111);
    cycle();
    t.pic.SendCommand(0xF6);  // words 2 and 3 in one cycle
    t.pic.SendCommandData(0xF2, 0x2222);
    t.pic.SendCommand(0xF6);
    t.pic.SendCommandData(0xF2, 0x3333);
    cycle();
    t.pic.SendCommand(0xF6);  // nothing loaded since: word 4 stays
    cycle();
    t.pic.Leave();
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.SendCommandData(0xF2, 0x00FF);  // programming only clears bits
    cycle();
    t.pic.Leave();
    t.Ep3().UsbFlush();
    EXPECT_EQ(t.Chip().Word(0), 0x000F);
    EXPECT_EQ(t.Chip().Word(1), 0x1111);
    EXPECT_EQ(t.Chip().Word(2), 0x2222);
    EXPECT_EQ(t.Chip().Word(3), 0x3333);
    EXPECT_EQ(t.Chip().Word(4), 0x0444);
}

TEST(PicModel, PIC16F7xBulkEraseRunsOnItsOwnAndClearsProtection) {
    PicBench t("PIC16F72", "pic16dip28", picvariant::P16f7x1, k72Dip28);
    for (int a = 0; a < 2048; ++a) t.Chip().SetWord(a, 0x0123);
    t.Chip().SetConfigArea(0, 0x0001);
    t.Chip().SetConfigArea(7, 0x3FEF);  // CP0: program memory reads 0000h
    EXPECT_EQ(t.Read(32), std::vector<std::uint16_t>(32, 0x0000));

    // A load and a programming cycle sent while the erase runs are taken and do nothing.
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.SendCommand(0xF9);
    t.pic.SendCommandData(0xF2, 0x0000);
    t.pic.SendCommand(0xF8);
    t.Ep3().UsbPut1(proto::OpWait1ms);
    t.pic.SendCommand(0xFE);
    for (int k = 0; k < 3; ++k) t.Ep3().UsbPut1(proto::OpWait100ms);
    t.pic.Leave();
    t.Ep3().UsbFlush();
    EXPECT_TRUE(t.ProgramBlank());
    EXPECT_EQ(t.Chip().ConfigWord(), 0x3FFF);
    EXPECT_EQ(t.Chip().ConfigArea(0), 0x0001);  // the counter stood in program memory

    ASSERT_TRUE(t.pic.Enter(t.p, true));
    t.pic.SendCommandData(0x00, 0x2000);
    t.pic.SendCommand(0x09);
    t.Ep3().UsbPut1(proto::OpWait100ms);
    t.pic.Leave();
    t.Ep3().UsbFlush();
    EXPECT_EQ(t.Chip().ConfigArea(0), 0x3FFF);
    EXPECT_EQ(t.Chip().ConfigArea(6), 0x00A0);
}

// ---- device ID ---------------------------------------------------------------------------------------

struct IdCase {
    const char* name;
    std::array<std::uint8_t, 4> expected;
    int answer;    // button pressed if asked
    bool asked;
    bool result;
};
class DeviceId : public ::testing::TestWithParam<IdCase> {};

TEST_P(DeviceId, AsksOnlyWhenAnIdentifierDiffers) {
    const IdCase& c = GetParam();
    PicBench t("PIC16F877", "pic16dip40", picvariant::P16fEEx, k877Dip40);
    Selection& sel = t.b.wb->sel;
    sel.ExpectedId = c.expected;
    t.b.prompts.answers.push_back(c.answer);
    t.Ep3().ErrorFlag = 0;
    EXPECT_EQ(t.pic.CheckDeviceId(sel, t.p), c.result);
    const auto texts = t.b.prompts.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Wrong type, OK ??"), c.asked ? 1 : 0);
    EXPECT_EQ(sel.LastReadId[0], 0x09);
    EXPECT_EQ(sel.LastReadId[1], 0xA0);
    EXPECT_EQ(t.Ep3().ErrorFlag, c.result ? 0 : 1);
    EXPECT_TRUE(t.b.sim->GetSocket().VppPins().Empty());
    EXPECT_TRUE(t.b.sim->GetSocket().VccPins().Empty());
}

INSTANTIATE_TEST_SUITE_P(
    PicModel, DeviceId,
    ::testing::Values(IdCase{"no identifier", {0, 0, 0, 0}, BtnNo, false, true},
                      IdCase{"first byte 1", {1, 0x77, 0, 0}, BtnNo, false, true},
                      IdCase{"equal", {0x09, 0xA0, 0, 0}, BtnNo, false, true},
                      IdCase{"other part, No", {0x05, 0x60, 0, 0}, BtnNo, true, false},
                      IdCase{"other part, Yes", {0x05, 0x60, 0, 0}, BtnYes, true, true},
                      IdCase{"second byte differs", {0x09, 0xC0, 0, 0}, BtnNo, true, false}),
    CaseName([](const IdCase& c) { return std::string(c.name); }));

// PIC16F877A: eight write latches by the address's low bits. One cycle
// programs the latches loaded since the last one, and only those: a later
// cycle with one latch loaded leaves the other words of its row alone.
TEST(PicModel, PIC16F877AProgramsTheLatchesLoadedSinceTheLastCycle) {
    PicBench t("PIC16F877A", "pic16dip40", picvariant::P16f87xa1, k877Dip40);
    ASSERT_TRUE(t.pic.Enter(t.p, true));
    for (int i = 0; i < 8; ++i) {
        t.pic.SendCommandData(0x02, static_cast<std::uint32_t>(0x0100 + i));
        if (i < 7) t.pic.SendCommand(0x06);
    }
    t.pic.SendCommand(0x18);  // begin programming only: the whole row
    t.Ep3().UsbPut1(proto::OpWait1ms);
    t.pic.SendCommand(0x17);
    t.pic.SendCommand(0x06);
    t.pic.SendCommand(0x06);  // word 9: latch 1 of the next row
    t.pic.SendCommandData(0x02, 0x0000);
    t.pic.SendCommand(0x18);
    t.Ep3().UsbPut1(proto::OpWait1ms);
    t.pic.SendCommand(0x17);
    // A cycle without its end command programs nothing.
    t.pic.SendCommand(0x06);
    t.pic.SendCommandData(0x02, 0x0000);
    t.pic.SendCommand(0x18);
    t.Ep3().UsbPut1(proto::OpWait1ms);
    t.pic.SendCommand(0x06);
    t.pic.Leave();
    t.Ep3().UsbFlush();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(t.Chip().Word(i), 0x0100 + i) << i;
    EXPECT_EQ(t.Chip().Word(8), 0x3FFF);
    EXPECT_EQ(t.Chip().Word(9), 0x0000);
    EXPECT_EQ(t.Chip().Word(10), 0x3FFF);
}

}  // namespace
}  // namespace quilla::test
