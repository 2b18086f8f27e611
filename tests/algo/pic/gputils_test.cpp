// A real toolchain's output through the PIC forms: sources with __CONFIG,
// __IDLOCS and DE are assembled by gpasm at test time, loaded as Intel HEX and
// written by the form; program memory in the chip equals the HEX. gpasm's
// layout is kept as it loads (IDs at 4000h-4007h, configuration at 400Eh, DE
// at 4200h + 2i): the forms take the configuration word and the user ID from
// their controls, never from the image. Skipped with a message when gpasm is
// missing.
#include <cstdio>

#include "app/hexfile.h"
#include "sim/chips/pic12.h"
#include "sim/chips/pic14.h"
#include "support/gpasm.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

constexpr const char* k877Source = R"(        __config 0x3F3A
        __idlocs 0x1234
        org 0
start   movlw 0x55
        movwf 0x20
        call sub
        goto start
        org 0x0800
sub     retlw 0x7F
        org 0x1FFF
        retlw 0x01
        org 0x2100
        de 0x11, 0x22, 0x33
        end
)";

TEST(Gputils, PIC16F877ImageWrittenByThePIC16FEEForm) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    std::string why;
    const std::string hex = Gpasm(dir.path, "16f877", k877Source, &why);
    ASSERT_FALSE(hex.empty()) << why;

    SimBench b("PIC16F877");
    AlgoForm& f = b.Open("PIC16FEE 8 fla=8192 ee=256 dly=1 pkg=40");
    std::fill(b.Image(), b.Image() + 0x5000, 0xFF);
    std::FILE* in = std::fopen(hex.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ReadHex(*b.wb, in);
    std::fclose(in);
    EXPECT_EQ(b.Image()[0x400E], 0x3A);
    EXPECT_EQ(b.Image()[0x400F], 0x3F);

    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    auto& chip = b.ChipAs<sim::Pic14Chip>();
    for (int a = 0; a < 8192; ++a)
        ASSERT_EQ(chip.Word(a), b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)) << a;
    EXPECT_EQ(chip.Word(0), 0x3055);     // movlw 0x55
    EXPECT_EQ(chip.Word(0x800), 0x347F);  // retlw 0x7F
    EXPECT_EQ(chip.Word(0x1FFF), 0x3401);
    EXPECT_EQ(chip.ConfigWord(), 0x3FFF);  // not taken from the image
}

TEST(Gputils, PIC16F877AImageWrittenByThePIC1687XAForm) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    std::string why;
    const std::string hex = Gpasm(dir.path, "16f877a", k877Source, &why);
    ASSERT_FALSE(hex.empty()) << why;

    SimBench b("PIC16F877A");
    AlgoForm& f = b.Open("PIC1687XA 8 fla=8192 ee=256 dly=1 pkg=40");
    std::fill(b.Image(), b.Image() + 0x5000, 0xFF);
    std::FILE* in = std::fopen(hex.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ReadHex(*b.wb, in);
    std::fclose(in);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    auto& chip = b.ChipAs<sim::Pic14Chip>();
    for (int a = 0; a < 8192; ++a)
        ASSERT_EQ(chip.Word(a), b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)) << a;
    EXPECT_EQ(chip.Word(0x800), 0x347F);  // retlw 0x7F
}

constexpr const char* k74Source = R"(        __config 0x3FF9
        org 0
start   bsf 0x03, 5
        clrf 0x07
        bcf 0x03, 5
        call sub
        goto start
        org 0x0FFF
sub     retlw 0x3C
        end
)";

TEST(Gputils, PIC16C74ImageWrittenByTheP16C61Form) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    std::string why;
    const std::string hex = Gpasm(dir.path, "16c74", k74Source, &why);
    ASSERT_FALSE(hex.empty()) << why;

    SimBench b("PIC16C74");
    AlgoForm& f = b.Open("P16C61 5");
    std::fill(b.Image(), b.Image() + 0x5000, 0xFF);
    std::FILE* in = std::fopen(hex.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ReadHex(*b.wb, in);
    std::fclose(in);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "Ended.");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    auto& chip = b.ChipAs<sim::Pic14Chip>();
    for (int a = 0; a < 4096; ++a)
        ASSERT_EQ(chip.Word(a), b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)) << a;
    EXPECT_EQ(chip.Word(0xFFF), 0x343C);  // retlw 0x3C
    EXPECT_EQ(chip.ConfigWord(), 0x3FFF);  // the configuration comes from the boxes
}

// 12-bit parts: gpasm puts the configuration word at 1FFEh (word 0FFFh) and the
// IDs after program memory; the forms write program memory only.
constexpr const char* k12Source = R"(        __config 0x0FEA
        org 0
start   movlw 0x55
        movwf 0x10
        goto start
        org 0x01FE
        retlw 0x2A
        end
)";

struct Pic12Case {
    const char* processor;
    const char* part;
    const char* params;
    int words;      // program words the form writes and compares
    const char* writeDone;
    bool calibrated;  // the last word holds a factory value
};

class Gputils12 : public ::testing::TestWithParam<Pic12Case> {};

TEST_P(Gputils12, ImageWrittenByTheForm) {
    QUILLA_REQUIRE_GPASM();
    const Pic12Case c = GetParam();
    TempDir dir;
    std::string why;
    const std::string hex = Gpasm(dir.path, c.processor, k12Source, &why);
    ASSERT_FALSE(hex.empty()) << why;
    SimBench b(c.part);
    auto& chip = b.ChipAs<sim::Pic12Chip>();
    if (c.calibrated) chip.SetWord(c.words, 0x0FFF);  // a windowed part: its calibration word erased
    AlgoForm& f = b.Open(c.params);
    std::fill(b.Image(), b.Image() + 0x4000, 0xFF);
    std::FILE* in = std::fopen(hex.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ReadHex(*b.wb, in);
    std::fclose(in);
    EXPECT_EQ(b.Image()[0x1FFE], 0xEA);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), c.writeDone);
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    for (int a = 0; a < c.words; ++a)
        ASSERT_EQ(chip.Word(a), (b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)) & 0x0FFF) << a;
    EXPECT_EQ(chip.Word(0), 0x0C55);   // movlw 0x55
    EXPECT_EQ(chip.Word(0x1FE), 0x082A);  // retlw 0x2A
    EXPECT_EQ(chip.ConfigWord(), 0x0FFF);  // the configuration comes from the controls
}

INSTANTIATE_TEST_SUITE_P(Forms, Gputils12,
                         ::testing::Values(Pic12Case{"16f54", "PIC16F54", "PIC16F5X 1 fla=512 pkg=18", 512, "OK", false},
                                           Pic12Case{"12c508", "PIC12C508", "P12C508 1", 511, "Ended.", true}),
                         [](const ::testing::TestParamInfo<Pic12Case>& i) { return std::string(i.param.part); });

constexpr const char* k84aSource = R"(        __config 0x3FF1
        __idlocs 0xBEEF
        org 0
        bsf 0x03, 5
        clrf 0x06
        bcf 0x03, 5
loop    incf 0x06, f
        goto loop
        org 0x03FF
        retlw 0x2A
        org 0x2100
        de "quilla"
        end
)";

TEST(Gputils, PIC16F84AImageWrittenByTheP16C84Form) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    std::string why;
    const std::string hex = Gpasm(dir.path, "16f84a", k84aSource, &why);
    ASSERT_FALSE(hex.empty()) << why;

    SimBench b("PIC16F84A");
    AlgoForm& f = b.Open("P16C84 6");
    std::fill(b.Image(), b.Image() + 0x5000, 0xFF);
    std::FILE* in = std::fopen(hex.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ReadHex(*b.wb, in);
    std::fclose(in);
    EXPECT_EQ(b.Image()[0x400E], 0xF1);
    EXPECT_EQ(b.Image()[0x400F], 0x3F);
    EXPECT_EQ(b.Image()[0x4200], 'q');

    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "End.");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    auto& chip = b.ChipAs<sim::Pic14Chip>();
    for (int a = 0; a < 1024; ++a)
        ASSERT_EQ(chip.Word(a), b.Image()[2 * a] | (b.Image()[2 * a + 1] << 8)) << a;
    EXPECT_EQ(chip.Word(0x3FF), 0x342A);
    EXPECT_EQ(chip.ConfigWord(), 0x3FFF);  // the configuration comes from the boxes, not the image
}

}  // namespace
}  // namespace quilla::test
