// The Holtek OTP form end to end on the simulated programmer ("HoltekStd"
// design, Holtek model) with ".OTP" images built by the test.
#include <gtest/gtest.h>

#include <algorithm>

#include "algo/pic/holtek.h"
#include "sim/chips/holtek.h"
#include "support/device_lines.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::HoltekChip;

constexpr int kH = 45;

// An ".OTP" image: header of 45 bytes, the ROM record (L1 = ROM bytes + 5,
// start 0), the OPTION record (32 words, word 0 with the lock bit clear).
// Returns the ROM data offset.
int MakeOtp(SimBench& b, int romBytes, unsigned seed) {
    auto* img = b.Image();
    std::fill(img, img + romBytes + 200, 0);
    img[0] = 0xC0;
    img[1] = kH;
    const int l1 = romBytes + 5;
    img[kH + 3] = 0x65;
    img[kH + 4] = static_cast<std::uint8_t>(l1);
    img[kH + 5] = static_cast<std::uint8_t>(l1 >> 8);
    std::uint32_t x = seed * 2654435761u + 11;
    for (int i = 0; i < romBytes; ++i) {
        x = x * 1103515245u + 12345u;
        img[kH + 10 + i] = static_cast<std::uint8_t>(x >> 16);
    }
    const int opt = kH + l1 + 6;
    img[opt] = 0x65;
    img[opt + 1] = 68;
    img[opt + 2] = 0;
    for (int k = 1; k < 16; ++k) img[opt + 7 + 2 * k] = static_cast<std::uint8_t>(0x10 + k);
    return kH + 10;
}

bool ChipHoldsRom(SimBench& b, int romData, int romBytes) {
    const auto& chip = b.ChipAs<HoltekChip>();
    for (int n = 0; n < romBytes / 2; ++n) {
        const unsigned want = (b.Image()[romData + 2 * n] | (b.Image()[romData + 2 * n + 1] << 8)) & 0x3FFF;
        if (chip.Word(n) != want) return false;
    }
    return true;
}

constexpr const char* kLine = "HTOTP 1 fla=1024 gnd=10 vcc=5000";

TEST(Holtek, FileInformationOfA2048ByteRom) {
    SimBench b("HT48R10A-1");
    MakeOtp(b, 2048, 1);
    AlgoForm& f = b.Open(kLine);
    f.Click("FileInfo");
    EXPECT_EQ(f.Text("Msg"), "OK,ROM:00000000,00000800,OPTION:00000000,0000003f");
    b.Image()[0] = 0xC1;
    f.Click("FileInfo");
    EXPECT_EQ(f.Text("Msg"), "不符合.OTPFormat  ,不能Burn!");
    EXPECT_EQ(b.prompts.Last(), "错误的文件,应该装载.OTP文件，然后选择BIN格式");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "不符合.OTPFormat  ,不能Burn!");
    EXPECT_EQ(b.ChipAs<HoltekChip>().Programmed(), 0);
}

TEST(Holtek, WriteVerifyAndReadBack) {
    SimBench b("HT48R10A-1");
    const int rom = MakeOtp(b, 2048, 2);
    AlgoForm& f = b.Open(kLine);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(ChipHoldsRom(b, rom, 2048));
    auto& chip = b.ChipAs<HoltekChip>();
    EXPECT_EQ(chip.Option(0), 0) << "Write never sets the lock";
    EXPECT_EQ(chip.Option(5), 0x15);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    std::vector<std::uint8_t> want(b.Image() + rom, b.Image() + rom + 2048);
    for (std::size_t i = 1; i < want.size(); i += 2) want[i] &= 0x3F;
    std::fill(b.Image(), b.Image() + 4096, 0xEE);
    f.Click("ReadToFile");
    EXPECT_EQ(b.wb->FileWin->EndAddr, 2175);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image() + 55));
    EXPECT_EQ(b.Image()[2104], 0x65);
    f.Click("FileInfo");
    EXPECT_EQ(f.Text("Msg").rfind("OK,ROM:00000000,00000800", 0), 0u) << f.Text("Msg");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
}

TEST(Holtek, VerifyFindsAWrongWordAndChecksTheLayoutItself) {
    SimBench b("HT48R10A-1");
    const int rom = MakeOtp(b, 2048, 3);
    AlgoForm& f = b.Open(kLine);
    f.Click("Write");
    b.Image()[rom + 1000] ^= 1;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(b.wb->ErrorFlag(), 1);
    b.Image()[0] = 0;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "不符合.OTPFormat  ,不能Burn!");
}

TEST(Holtek, IdAndLock) {
    SimBench b("HT48R10A-1");
    MakeOtp(b, 2048, 4);
    AlgoForm& f = b.Open(kLine);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "ad OK");
    f.Click("Security");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "加了密的器件！");
    f.Click("OptionMsg");
    EXPECT_EQ(f.Text("Msg"), "器件加了密");
    EXPECT_EQ(f.Get("StringGrid1").RowNames[0], "00: 0001");
}

// Row 2: the 20-pin HT48RA0A from socket 3 on "Holtek2" (VDD 8, VSS 11, RESB 12).
constexpr const char* kRa0Line = "HTOTP 2 fla=1024 gnd=11 vcc=5000";

TEST(Holtek, TheHt48ra0RowWritesVerifiesReadsAndLocks) {
    SimBench b("HT48RA0A");
    const int rom = MakeOtp(b, 2048, 10);
    AlgoForm& f = b.Open(kRa0Line);
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(ChipHoldsRom(b, rom, 2048));
    EXPECT_EQ(b.ChipAs<HoltekChip>().Option(7), 0x17);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    std::vector<std::uint8_t> want(b.Image() + rom, b.Image() + rom + 2048);
    for (std::size_t i = 1; i < want.size(); i += 2) want[i] &= 0x3F;
    std::fill(b.Image(), b.Image() + 4096, 0xEE);
    f.Click("ReadToFile");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image() + 55));
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "ad OK");
    f.Click("Security");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "加了密的器件！");
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
}

// The 18-pin part on row 2 misses socket 12 (RESB): the contact test names it
// and Cancel there programs nothing. The 20-pin part on row 1 fills every
// pin the row tests, so it passes the contact test; then row 1's VPP lands on
// its PB3 (socket 31), which the chip does not survive, and nothing is programmed.
TEST(Holtek, APartOnTheOtherRowIsNotProgrammed) {
    {
        SimBench b("HT48R10A-1");
        MakeOtp(b, 2048, 11);
        AlgoForm& f = b.Open(kRa0Line);
        b.prompts.answers.push_back(BtnCancel);
        f.Click("Write");
        ASSERT_FALSE(b.prompts.shown.empty());
        EXPECT_NE(b.prompts.Last().find("12, "), std::string::npos) << b.prompts.Last();
        EXPECT_NE(f.Text("Msg"), "OK");
        EXPECT_EQ(b.ChipAs<HoltekChip>().Programmed(), 0);
    }
    {
        SimBench b("HT48RA0A");
        b.ExpectViolation("socket 31) at 12.5 V");
        b.ExpectDamage();
        MakeOtp(b, 2048, 12);
        AlgoForm& f = b.Open(kLine);
        f.Click("Write");
        EXPECT_EQ(b.ChipAs<HoltekChip>().Programmed(), 0);
        f.Click("Verify");
        EXPECT_NE(f.Text("Msg"), "OK");
    }
}

TEST(Holtek, AddressNibblesFollowTheRomSize) {
    auto nibbles = [](const std::string& params) {
        SimBench b("HT48R10A-1");
        AlgoForm& f = b.Open(params);
        b.tap->commands.clear();
        f.Click("OptionMsg");
        std::vector<int> sent;
        for (const auto& c : b.tap->commands) {
            if (c[0] == proto::OpCapturePort0) break;
            if (c[0] == proto::OpLatch0) sent.push_back(c[1] & 0xF);
        }
        return sent;
    };
    EXPECT_EQ(nibbles("HTOTP 1 fla=16384 gnd=10"), (std::vector<int>{0, 0, 0, 8}));
    EXPECT_EQ(nibbles("HTOTP 1 fla=16385 gnd=10"), (std::vector<int>{0, 0, 0, 0, 8}));
}

TEST(Holtek, ARefusedWriteEndsTheRunBeforeLock) {
    SimBench b("HT48R10A-1");
    MakeOtp(b, 2048, 5);
    b.Image()[0] = 0;
    AlgoForm& f = b.Open(kLine);
    f.Click("Button2");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 0);
    EXPECT_EQ(b.ChipAs<HoltekChip>().Option(0), 0) << "not locked";
}

TEST(Holtek, AShortRomRecordIsRefused) {
    SimBench b("HT48R10A-1");
    MakeOtp(b, 1024, 6);  // half the chip's ROM
    AlgoForm& f = b.Open(kLine);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "不符合.OTPFormat  ,不能Burn!");
    EXPECT_EQ(b.ChipAs<HoltekChip>().Programmed(), 0);
}

TEST(Holtek, APulseUnderTheMinimumProgramsNothing) {
    SimBench b("HT48R05A-1");
    MakeOtp(b, 1024, 7);
    AlgoForm& f = b.Open("HTOTP 1 fla=512 gnd=10");
    b.ChipAs<HoltekChip>().SetSlowFactor(2.0);  // 80 us against a 10 us no-op and five 10 us waits
    f.Click("Write");
    EXPECT_EQ(b.ChipAs<HoltekChip>().Programmed(), 0);
}

TEST(Holtek, BadKeysAreRefused) {
    SimBench b("HT48R10A-1");
    EXPECT_EQ(b.Open("HTOTP 1 fla=1024").Text("Msg"), "Bad device line: gnd=0 is not a socket pin");
    EXPECT_EQ(b.Open("HTOTP 1 gnd=10").Text("Msg"), "Bad device line: fla=0 is not a ROM size in words");
}

TEST(Holtek, FaultSweepOverTheBatch) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("HT48R05A-1");
        MakeOtp(*b, 1024, 8);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open("HTOTP 1 fla=512 gnd=10");
        f.SetChecked("CheckBoxSec", false);
        return f;
    };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button2"); };
    s.holds = [](SimBench& b, const std::string& text) {
        if (text == "End OK..") return ChipHoldsRom(b, kH + 10, 1024) && b.ChipAs<HoltekChip>().Option(15) == 0x1F;
        return true;  // the steps' "OK": judged by the pass
    };
    EXPECT_GT(s.Run().transfers, 10);
}

class EveryHoltekLine : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryHoltekLine, WritesAndVerifies) {
    const ListedLine& l = GetParam();
    SimBench b(l.part);
    const int bytes = 2 * b.ChipAs<HoltekChip>().Words();
    const int rom = MakeOtp(b, bytes, 9);
    AlgoForm& f = b.Open(l.params);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK") << l.params;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK") << l.params;
    EXPECT_TRUE(ChipHoldsRom(b, rom, bytes));
}

std::vector<ListedLine> HoltekLines() { return DeviceLines("device520.lst", {"HTOTP"}); }

INSTANTIATE_TEST_SUITE_P(Device520, EveryHoltekLine, ::testing::ValuesIn(HoltekLines()),
                         [](const ::testing::TestParamInfo<ListedLine>& i) {
                             std::string n = i.param.part;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

TEST(HoltekLines, BothListsHaveThem) {
    EXPECT_EQ(HoltekLines().size(), 3u);
    EXPECT_EQ(DeviceLines("device640.lst", {"HTOTP"}).size(), 3u);
}

}  // namespace
}  // namespace quilla::test
