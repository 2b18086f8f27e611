// The data EEPROM of a real toolchain's file, loaded through the program's
// loader and written by the batch with W.Data: the chip's EEPROM holds the
// file's DE bytes (never the user ID or configuration bytes), the chip's
// configuration word is the boxes'; a file this program saved after R.Data
// keeps loading and writing as before. PIC16F628A (14-bit, EEPROM at word
// 2100h) and PIC18F452 (EEPROM at F00000h, program memory reaching 4000h).
// gpasm builds the files at test time; skipped with a message without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "algo/pic/pic18.h"
#include "algo/pic/pic_form.h"
#include "app/hexfile.h"
#include "sim/chips/pic14.h"
#include "sim/chips/pic18.h"
#include "support/gpasm.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

constexpr const char* k628aLine = "P16F628A 1 #10 60 fla=2048 ee=128 dly=4 pkg=18";
constexpr const char* k452Line = "P18FXX2 0 #20 04 fla=32768 ee=256 dly=1 eet=5 pkg=40";

// The DE bytes both sources carry.
const std::vector<std::uint8_t> kDe = {0x11, 0x22, 0x33, 'q', 'u', 'i', 'l', 'l', 'a', 0x00, 0xFF, 0x5A};

constexpr const char* k628aSource = R"(        __config 0x3F18
        __idlocs 0x1234
        org 0
start   movlw 0x55
        movwf 0x20
        goto start
        org 0x07FF
        retlw 0x2A
        org 0x2100
        de 0x11, 0x22, 0x33, "quilla", 0x00, 0xFF, 0x5A
        end
)";

// The same data EEPROM for any 14-bit part, without the IDs and configuration.
constexpr const char* kSmallSource = R"(        org 0
start   goto start
        org 0x2100
        de 0x11, 0x22, 0x33, "quilla", 0x00, 0xFF, 0x5A
        end
)";

constexpr const char* k452Source = R"(        org 0
start   goto start
        org 0x7FFE
        retlw 0x2A
        org 0xF00000
        de 0x11, 0x22, 0x33, "quilla", 0x00, 0xFF, 0x5A
        end
)";

int Count(const SimBench& b, const std::string& part) {
    int n = 0;
    for (const std::string& t : b.prompts.Texts()) n += t.find(part) != std::string::npos;
    return n;
}

void Load(SimBench& b, const std::string& file) {
    b.wb->DataFileName = file;
    LoadHex(*b.wb);
}

std::string Assemble(const TempDir& dir, const char* processor, const char* source) {
    std::string why;
    const std::string hex = Gpasm(dir.path, processor, source, &why);
    EXPECT_FALSE(hex.empty()) << why;
    return hex;
}

TEST(ToolchainEeprom, PIC16F628AFileThroughTheBatchWithWData) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    const std::string hex = Assemble(dir, "16f628a", k628aSource);
    ASSERT_FALSE(hex.empty());
    SimBench b("PIC16F628A");
    AlgoForm& f = b.Open(k628aLine);
    Load(b, hex);
    ASSERT_EQ(b.Image()[0x400E], 0x18);  // the toolchain's layout, as loaded
    ASSERT_EQ(b.Image()[0x4200], 0x11);
    f.SetChecked("CheckBoxrWrData", true);
    f.SetChecked("CheckBoxConfig", true);
    b.prompts.shown.clear();
    f.Click("Button1");
    ASSERT_EQ(f.Text("Msg"), "End OK..");

    auto& chip = b.ChipAs<sim::Pic14Chip>();
    for (std::size_t i = 0; i < kDe.size(); ++i) EXPECT_EQ(chip.Eeprom()[i], kDe[i]) << i;
    for (std::size_t i = kDe.size(); i < 128; ++i) EXPECT_EQ(chip.Eeprom()[i], 0xFF) << i;
    EXPECT_EQ(chip.Word(0), 0x3055);
    EXPECT_EQ(chip.Word(0x7FF), 0x342A);
    // The configuration word is the boxes', and the file's other word is named once.
    const auto& pic = dynamic_cast<PicForm&>(f);
    EXPECT_EQ(chip.ConfigWord(), pic.ConfigWord & 0x3FFF);
    EXPECT_NE(chip.ConfigWord(), 0x3F18);
    EXPECT_EQ(Count(b, "The file's configuration word 3f18 differs from the boxes' "), 1)
        << ::testing::PrintToString(b.prompts.Texts());
    EXPECT_EQ(Count(b, "as a toolchain writes it (byte i at 4200h + 2i): W.Data writes those 128 bytes"), 1);
    // The IDs, configuration and EEPROM above program memory are not "past the chip".
    EXPECT_EQ(Count(b, "past the chip's last address"), 0);
    // The image keeps the file's layout.
    EXPECT_EQ(b.Image()[0x4000], 0x01);
    EXPECT_EQ(b.Image()[0x400E], 0x18);
}

// W.Data alone on the P16C84 and PIC1687XA forms: the file's bytes, and the
// success text names the area they came from.
struct FormCase {
    const char* name;
    const char* processor;
    const char* part;
    const char* line;
    int ee;
};

class ToolchainWData : public ::testing::TestWithParam<FormCase> {};

TEST_P(ToolchainWData, WritesTheFilesEepromBytes) {
    QUILLA_REQUIRE_GPASM();
    const FormCase& c = GetParam();
    TempDir dir;
    const std::string hex = Assemble(dir, c.processor, kSmallSource);
    ASSERT_FALSE(hex.empty());
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.line);
    Load(b, hex);
    f.Click("WrData");
    char done[96];
    std::snprintf(done, sizeof done, "已经将文件缓冲区4200~%x写到器件，经Verified。", 0x4200 + 2 * c.ee - 2);
    EXPECT_EQ(f.Text("Msg"), done);
    auto& chip = b.ChipAs<sim::Pic14Chip>();
    for (std::size_t i = 0; i < kDe.size(); ++i) EXPECT_EQ(chip.Eeprom()[i], kDe[i]) << i;
    EXPECT_EQ(Count(b, "as a toolchain writes it"), 1);
}

INSTANTIATE_TEST_SUITE_P(Forms, ToolchainWData,
                         ::testing::Values(FormCase{"P16C84", "16f84a", "PIC16F84A", "P16C84 6", 64},
                                           FormCase{"PIC1687XA", "16f877a", "PIC16F877A",
                                                    "PIC1687XA 8 fla=8192 ee=256 dly=1 pkg=40", 256}),
                         [](const auto& info) { return std::string(info.param.name); });

// A file saved after R.Data (EEPROM byte i at 4000h + i) loads and writes as
// before, and saves again unchanged.
TEST(ToolchainEeprom, AFileSavedAfterRDataRoundTrips) {
    TempDir dir;
    std::vector<std::uint8_t> eeprom(128);
    for (int i = 0; i < 128; ++i) eeprom[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 13 + 7);
    std::string first;
    {
        SimBench b("PIC16F628A");
        auto& chip = b.ChipAs<sim::Pic14Chip>();
        std::copy(eeprom.begin(), eeprom.end(), chip.MutableEeprom().begin());
        AlgoForm& f = b.Open(k628aLine);
        f.Click("RdData");
        ASSERT_EQ(f.Text("Msg"), "OK,Data 存放在文件缓冲区4000h开始");
        b.wb->FileWin->EndAddr = 0x407F;
        b.wb->DataFileName = dir.File("saved.hex");
        SaveHex(*b.wb);
        first = dir.File("saved.hex");
    }
    ASSERT_FALSE(TempDir::Read(first).empty());
    const std::vector<std::uint8_t> saved = TempDir::Read(first);

    SimBench b("PIC16F628A");
    AlgoForm& f = b.Open(k628aLine);
    Load(b, first);
    f.Click("WrData");
    EXPECT_EQ(f.Text("Msg"), "已经将文件缓冲区4000~407f写到器件，经Verified。");
    EXPECT_EQ(Count(b, "as a toolchain writes it"), 0);
    auto& chip = b.ChipAs<sim::Pic14Chip>();
    for (int i = 0; i < 128; ++i) EXPECT_EQ(chip.Eeprom()[static_cast<std::size_t>(i)], eeprom[static_cast<std::size_t>(i)]) << i;
    std::fill(b.Image() + 0x4000, b.Image() + 0x4080, 0);
    f.Click("RdData");
    b.wb->FileWin->EndAddr = 0x407F;
    b.wb->DataFileName = dir.File("again.hex");
    SaveHex(*b.wb);
    EXPECT_EQ(TempDir::Read(dir.File("again.hex")), saved);
}

TEST(ToolchainEeprom, PIC18F452FileThroughTheBatchWithWData) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    const std::string hex = Assemble(dir, "18f452", k452Source);
    ASSERT_FALSE(hex.empty());
    SimBench b("PIC18F452");
    AlgoForm& f = b.Open(k452Line);
    EXPECT_TRUE(f.Get("WrData").Enabled);
    EXPECT_TRUE(f.Ticked("CheckBoxrWrData"));
    Load(b, hex);
    ASSERT_EQ(b.Image()[HexEepromImage], 0x11);
    b.prompts.shown.clear();
    f.Click("Button1");
    ASSERT_EQ(f.Text("Msg"), "End OK..");
    const auto e = b.ChipAs<sim::Pic18Chip>().Eeprom();
    for (std::size_t i = 0; i < kDe.size(); ++i) EXPECT_EQ(e[i], kDe[i]) << i;
    for (std::size_t i = kDe.size(); i < 256; ++i) EXPECT_EQ(e[i], 0xFF) << i;
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
    // The EEPROM lies beside the chip's program memory, not past it.
    EXPECT_EQ(Count(b, "past the chip's last address"), 0);
}

// A smaller PIC18 part keeps its EEPROM image at 4000h; a toolchain's file
// whose EEPROM loaded only at 0F0000h is written and verified from there.
TEST(ToolchainEeprom, PIC18F442FileEepromIsTakenFrom0F0000) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    const std::string hex = Assemble(dir, "18f442", R"(        org 0
start   goto start
        org 0xF00000
        de 0x11, 0x22, 0x33, "quilla", 0x00, 0xFF, 0x5A
        end
)");
    ASSERT_FALSE(hex.empty());
    SimBench b("PIC18F442");
    AlgoForm& f = b.Open("P18FXX2 0 #A0 04 fla=16384 ee=256 dly=1 eet=5 pkg=40");
    ASSERT_EQ(dynamic_cast<TP18fxx2&>(f).EepromImage(), 0x4000);
    Load(b, hex);
    f.Click("WrData");
    ASSERT_EQ(f.Text("Msg"), "OK");
    const auto e = b.ChipAs<sim::Pic18Chip>().Eeprom();
    for (std::size_t i = 0; i < kDe.size(); ++i) EXPECT_EQ(e[i], kDe[i]) << i;
    EXPECT_EQ(Count(b, "as a toolchain writes it (F00000h, loaded at 0f0000h)"), 1);
}

// PIC18F452: W.Data, then R.Data into a cleared image, gives the 256 bytes back.
TEST(ToolchainEeprom, PIC18F452WDataThenRDataRoundTrips) {
    SimBench b("PIC18F452");
    AlgoForm& f = b.Open(k452Line);
    ASSERT_EQ(dynamic_cast<TP18fxx2&>(f).EepromImage(), HexEepromImage);
    std::vector<std::uint8_t> want(256);
    for (int i = 0; i < 256; ++i) want[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(255 - i * 3);
    std::copy(want.begin(), want.end(), b.Image() + HexEepromImage);
    b.RandomImage(0x8000, 9);
    const std::vector<std::uint8_t> program(b.Image(), b.Image() + 0x8000);
    f.Click("WrData");
    ASSERT_EQ(f.Text("Msg"), "OK");
    const auto e = b.ChipAs<sim::Pic18Chip>().Eeprom();
    EXPECT_TRUE(std::equal(want.begin(), want.end(), e.begin()));
    std::fill(b.Image() + HexEepromImage, b.Image() + HexEepromImage + 256, 0);
    f.Click("RdData");
    ASSERT_EQ(f.Text("Msg"), "OK,Data 存放在文件缓冲区F0000h开始");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image() + HexEepromImage));
    // Program memory in the image is untouched by either.
    EXPECT_TRUE(std::equal(program.begin(), program.end(), b.Image()));
}

}  // namespace
}  // namespace quilla::test
