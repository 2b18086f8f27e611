// The configuration of a toolchain's HEX file on the PIC forms: the forms
// program the configuration of their boxes or grid, and when the file's own
// word (12-bit parts at word 0FFFh, 14-bit at 2007h, PIC17C4x at FE00h) or
// bytes (PIC18 at 300000h-30000Dh, kept by the loader beside the image)
// differ, Wr.CFG says so once per click and the batch once per run. The
// file's word is not "past the chip" for Write. The files are written here in
// the toolchain's layout; the last tests build them with gpasm (skipped
// without it).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "algo/pic/pic18.h"
#include "app/binfile.h"
#include "app/hexfile.h"
#include "sim/chips/pic12.h"
#include "sim/chips/pic14.h"
#include "sim/chips/pic16c5x.h"
#include "sim/chips/pic17.h"
#include "sim/chips/pic18.h"
#include "support/gpasm.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

// One Intel HEX record with its checksum, CR LF ended.
std::string Rec(int type, int addr, const std::vector<std::uint8_t>& data) {
    char buf[16];
    unsigned sum = static_cast<unsigned>(data.size()) + (addr >> 8 & 0xFF) + (addr & 0xFF) +
                   static_cast<unsigned>(type);
    std::snprintf(buf, sizeof buf, ":%02X%04X%02X", static_cast<unsigned>(data.size()), addr & 0xFFFF, type);
    std::string s = buf;
    for (auto b : data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        s += buf;
        sum += b;
    }
    std::snprintf(buf, sizeof buf, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return s + buf;
}
std::string Base(int upper) {
    return Rec(4, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)});
}
const std::string kEnd = ":00000001FF\r\n";

void Load(SimBench& b, const TempDir& dir, const std::string& text) {
    b.wb->DataFileName = dir.Write("app.hex", std::vector<std::uint8_t>(text.begin(), text.end()));
    LoadHex(*b.wb);
}

int Count(const SimBench& b, const std::string& part) {
    int n = 0;
    for (const std::string& t : b.prompts.Texts()) n += t.find(part) != std::string::npos;
    return n;
}

constexpr const char* kPastChip = "past the chip's last address";

// ---- the 12-bit, 14-bit and PIC17 forms: one word at a known place -------------------------------------

struct WordCase {
    const char* name;
    const char* part;
    const char* params;
    const char* run;       // the batch button
    int fileAt;            // image byte of the word's low byte
    std::uint16_t file;    // the file's word
    std::uint16_t boxes;   // the word of the form's default controls, as the chip holds it afterwards
    const char* told;      // the message; empty: none
    std::function<std::uint16_t(SimBench&)> chipConfig;
};

std::ostream& operator<<(std::ostream& os, const WordCase& c) { return os << c.name; }

std::uint16_t Config12(SimBench& b) { return b.ChipAs<sim::Pic12Chip>().ConfigWord(); }
std::uint16_t Config14(SimBench& b) { return b.ChipAs<sim::Pic14Chip>().ConfigWord(); }

std::vector<WordCase> WordCases() {
    auto c5x = [](SimBench& b) { return b.ChipAs<sim::Pic16c5xChip>().Config(); };
    auto c17 = [](SimBench& b) { return b.ChipAs<sim::Pic17Chip>().Config(); };
    return {
        {"P12C508", "PIC12C508", "P12C508 1", "Button1", 0x1FFE, 0x0FEA, 0x0FED,
         "The file's configuration word 0fea differs from the boxes' 0fed: the boxes' word is programmed", Config12},
        // The same low five bits: bits 11-5 are not implemented on the part.
        {"P12C508SameBits", "PIC12C508", "P12C508 1", "Button1", 0x1FFE, 0x002D, 0x0FED, "", Config12},
        {"P12C508Equal", "PIC12C508", "P12C508 1", "Button1", 0x1FFE, 0x0FED, 0x0FED, "", Config12},
        {"P16C505", "PIC16C505", "P16C505 1", "Button1", 0x1FFE, 0x0FE4, 0x0FFF,
         "The file's configuration word 0fe4 differs from the boxes' 0fff: the boxes' word is programmed", Config12},
        {"PIC16F5X", "PIC16F54", "PIC16F5X 1 fla=512 pkg=18", "Button1", 0x1FFE, 0x0FF9, 0x0FFD,
         "The file's configuration word 0ff9 differs from the boxes' 0ffd: the boxes' word is programmed", Config12},
        {"P16C54", "PIC16C54", "P16C54 1", "Button2", 0x1FFE, 0x0FF9, 0x0FFD,
         "The file's configuration word 0ff9 differs from the boxes' 0ffd: the boxes' word is programmed", c5x},
        {"P16C61", "PIC16C74", "P16C61 5", "Button1", 0x400E, 0x3FF9, 0x3FFD,
         "The file's configuration word 3ff9 differs from the boxes' 3ffd: the boxes' word is programmed", Config14},
        {"P16CXXX", "PIC16C74", "P16CXXX 1 fla=4096 pkg=40", "Button1", 0x400E, 0x3FF9, 0x3FFF,
         "The file's configuration word 3ff9 differs from the grid's 3fff: the grid's word is programmed", Config14},
        {"P17C4X", "PIC17C44", "P17C4X 1 fla=8192 pkg=40 pm=2", "Button1", 0x1FC00, 0xFFB5, 0xFFFF,
         "The file's configuration word ffb5 differs from the boxes' ffff: the boxes' word is programmed", c17},
        // Only the locations the boxes program are compared.
        {"P17C4XSameLocations", "PIC17C44", "P17C4X 1 fla=8192 pkg=40 pm=2", "Button1", 0x1FC00, 0x805F, 0xFFFF, "",
         c17},
    };
}

// A toolchain's file: program words 0-3 and the configuration word at its place.
std::string WordFile(const WordCase& c) {
    std::string text = Rec(0, 0, {0x55, 0x0C, 0x10, 0x00, 0x03, 0x0A, 0xFF, 0x0F});
    if (c.fileAt > 0xFFFF) text += Base(c.fileAt >> 16);
    text += Rec(0, c.fileAt & 0xFFFF, {static_cast<std::uint8_t>(c.file), static_cast<std::uint8_t>(c.file >> 8)});
    return text + kEnd;
}

class FileConfigWord : public ::testing::TestWithParam<WordCase> {};

TEST_P(FileConfigWord, WrCfgNamesTheFilesWordOnceAndProgramsTheBoxes) {
    const WordCase& c = GetParam();
    TempDir dir;
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    Load(b, dir, WordFile(c));
    ASSERT_EQ(b.Image()[c.fileAt], c.file & 0xFF);
    b.prompts.shown.clear();
    f.Click("Write");
    EXPECT_EQ(Count(b, kPastChip), 0) << ::testing::PrintToString(b.prompts.Texts());
    b.prompts.shown.clear();
    f.Click("WtConfig");
    if (*c.told) {
        EXPECT_EQ(b.prompts.Texts(), std::vector<std::string>{c.told});
    } else {
        EXPECT_TRUE(b.prompts.Texts().empty()) << ::testing::PrintToString(b.prompts.Texts());
    }
    EXPECT_EQ(c.chipConfig(b), c.boxes);
}

TEST_P(FileConfigWord, TheBatchNamesItOnce) {
    const WordCase& c = GetParam();
    TempDir dir;
    SimBench b(c.part);
    AlgoForm& f = b.Open(c.params);
    Load(b, dir, WordFile(c));
    b.prompts.shown.clear();
    f.Click(c.run);
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(Count(b, "The file's configuration word"), *c.told ? 1 : 0)
        << ::testing::PrintToString(b.prompts.Texts());
    EXPECT_EQ(Count(b, kPastChip), 0);
    EXPECT_EQ(c.chipConfig(b), c.boxes);
}

INSTANTIATE_TEST_SUITE_P(Forms, FileConfigWord, ::testing::ValuesIn(WordCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- PIC18: the bytes the loader keeps beside the image --------------------------------------------------

constexpr const char* k452 = "P18FXX2 0 #20 04 fla=32768 ee=256 dly=1 eet=5 pkg=40";

// The grid's bytes 300000h-30000Dh the tests set (a never-read grid would be all FFh).
constexpr std::array<std::uint8_t, 14> kGrid = {0xFF, 0x27, 0x0F, 0x0E, 0xFF, 0x01, 0x85, 0xFF,
                                                0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};

// A toolchain's PIC18F452 file: program, IDs at 200000h, the configuration
// bytes it sets (CONFIG1H-CONFIG7H: 300001h-300003h, 300005h-300006h,
// 300008h-30000Dh), data EEPROM at F00000h.
std::string Pic18File(std::uint8_t config1h = 0x22, std::uint8_t config4l = 0x81) {
    return Rec(0, 0, {0x55, 0x0E, 0x20, 0x6E, 0xFE, 0xD7}) + Base(0x20) + Rec(0, 0, {1, 2, 3, 4, 5, 6, 7, 8}) +
           Base(0x30) + Rec(0, 1, {config1h, 0x0F, 0x0E}) + Rec(0, 5, {0x01, config4l}) +
           Rec(0, 8, {0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}) + Base(0xF0) + Rec(0, 0, {0x11, 0x22}) + kEnd;
}

constexpr const char* kTold452 =
    "The file's configuration bytes (300000h-30000Dh) --,22,0f,0e,--,01,81,--,0f,c0,0f,e0,0f,40 differ from the "
    "grid's ff,27,0f,0e,ff,01,85,ff,0f,c0,0f,e0,0f,40: the grid's bytes are programmed";

void SetGrid(AlgoForm& f) {
    auto& p = dynamic_cast<Pic18Form&>(f);
    std::copy(kGrid.begin(), kGrid.end(), p.ConfigBuffer.begin());
    p.ConfigToControls();
}

bool ChipHoldsGrid(SimBench& b, int bytes) {
    const auto& chip = b.ChipAs<sim::Pic18Chip>();
    for (int k = 0; k < bytes; ++k)
        if (chip.Config(k) != (kGrid[static_cast<std::size_t>(k)] &
                               chip.Part().configErased[static_cast<std::size_t>(k)]))
            return false;
    return true;
}

TEST(FileConfigPic18, WrCfgNamesTheFilesBytesOncePerClickAndProgramsTheGrid) {
    TempDir dir;
    SimBench b("PIC18F452");
    AlgoForm& f = b.Open(k452);
    Load(b, dir, Pic18File());
    // Kept beside the image, not in it.
    EXPECT_EQ(b.wb->LoadedConfig.Present, 0x3F6E);
    EXPECT_EQ(b.wb->LoadedConfig.Value[1], 0x22);
    EXPECT_EQ(b.Image()[0x300001], 0x00);
    EXPECT_EQ(b.Image()[HexEepromImage], 0x11);
    SetGrid(f);
    b.prompts.shown.clear();
    f.Click("WtConfig");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.prompts.Texts(), std::vector<std::string>{kTold452});
    EXPECT_TRUE(ChipHoldsGrid(b, 14));
    f.Click("WtConfig");
    EXPECT_EQ(Count(b, "The file's configuration bytes"), 2);
}

// Mass production, two chips: said once for the batch, every chip takes the grid.
TEST(FileConfigPic18, TheBatchNamesItOnceForAllItsChips) {
    TempDir dir;
    SimBench b("PIC18F452", "vex520", true);
    AlgoForm& f = b.Open(k452);
    Load(b, dir, Pic18File());
    SetGrid(f);
    b.wb->options.MassProduction = true;
    int passes = 0;
    f.SetSuccessListener([&](const std::string& t) {
        if (t != "End OK..") return;
        EXPECT_TRUE(ChipHoldsGrid(b, 14));
        if (++passes == 2) b.wb->options.MassProduction = false;
    });
    b.prompts.shown.clear();
    f.Click("Button1");
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(Count(b, "The file's configuration bytes"), 1) << ::testing::PrintToString(b.prompts.Texts());
    EXPECT_EQ(Count(b, kPastChip), 0);
}

// Nothing is said when the file's bytes are the grid's (absent bytes aside),
// or when the last load held none (a HEX without them, or a binary file).
TEST(FileConfigPic18, SilentWhenTheFileAgreesOrHoldsNone) {
    TempDir dir;
    SimBench b("PIC18F452");
    AlgoForm& f = b.Open(k452);
    SetGrid(f);
    Load(b, dir, Pic18File(0x27, 0x85));
    b.prompts.shown.clear();
    f.Click("WtConfig");
    EXPECT_TRUE(b.prompts.Texts().empty()) << ::testing::PrintToString(b.prompts.Texts());

    Load(b, dir, Pic18File());
    b.wb->DataFileName = dir.Write("app.bin", {0x55, 0x0E});
    ASSERT_TRUE(LoadBin(*b.wb, 0, 0));
    EXPECT_FALSE(b.wb->LoadedConfig.Any());
    b.prompts.shown.clear();
    f.Click("WtConfig");
    EXPECT_TRUE(b.prompts.Texts().empty()) << ::testing::PrintToString(b.prompts.Texts());
}

TEST(FileConfigPic18, TheOneTimeFormNamesItToo) {
    TempDir dir;
    SimBench b("PIC18C452");
    AlgoForm& f = b.Open("P18CXXX 0 fla=32768 dly=1 pkg=40 pm=2");
    Load(b, dir, Pic18File());
    SetGrid(f);
    b.prompts.shown.clear();
    f.Click("WtConfig");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(b.prompts.Texts(), std::vector<std::string>{kTold452});
    EXPECT_TRUE(ChipHoldsGrid(b, 14));
}

// ---- the real toolchain ----------------------------------------------------------------------------------

TEST(FileConfigGputils, PIC18F452ConfigDirective) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    std::string why;
    const std::string hex = Gpasm(dir.path, "18f452", R"(        config OSC = HS, WDT = OFF, LVP = OFF
        org 0
start   bra start
        end
)", &why);
    ASSERT_FALSE(hex.empty()) << why;
    SimBench b("PIC18F452");
    AlgoForm& f = b.Open(k452);
    b.wb->DataFileName = hex;
    LoadHex(*b.wb);
    SetGrid(f);
    b.prompts.shown.clear();
    f.Click("WtConfig");
    EXPECT_EQ(f.Text("Msg"), "OK");
    ASSERT_EQ(Count(b, "The file's configuration bytes (300000h-30000Dh) --,22,"), 1)
        << ::testing::PrintToString(b.prompts.Texts());
    EXPECT_TRUE(ChipHoldsGrid(b, 14));
}

TEST(FileConfigGputils, PIC12C508ConfigWord) {
    QUILLA_REQUIRE_GPASM();
    TempDir dir;
    std::string why;
    const std::string hex = Gpasm(dir.path, "12c508", R"(        __config 0x0FEA
        org 0
start   goto start
        end
)", &why);
    ASSERT_FALSE(hex.empty()) << why;
    SimBench b("PIC12C508");
    AlgoForm& f = b.Open("P12C508 1");
    b.wb->DataFileName = hex;
    LoadHex(*b.wb);
    b.prompts.shown.clear();
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.prompts.Texts(), std::vector<std::string>{
                                     "The file's configuration word 0fea differs from the boxes' 0fed: the boxes' "
                                     "word is programmed"});
    EXPECT_EQ(Config12(b), 0x0FED);
}

}  // namespace
}  // namespace quilla::test
