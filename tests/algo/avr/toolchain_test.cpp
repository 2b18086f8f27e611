// A real toolchain's output through the ATmega form: a C program with EEPROM
// data is built at test time by avr-gcc for the ATmega8 and the ATmega16,
// avr-objcopy makes one Intel HEX with the .eeprom section at the form's
// EEPROM offset; the form writes and verifies it, and reads back into a
// cleared image exactly what avr-objcopy's binaries hold. Skipped with a
// message when the tools are missing (scripts/install-deps.sh installs them).
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "app/hexfile.h"
#include "avr_bench.h"
#include "support/param_names.h"
#include "support/temp_dir.h"

extern char** environ;

namespace quilla::test {
namespace {

// Runs a program found on PATH with an argument list (no shell); true on exit status 0.
bool RunTool(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool HaveTools() {
    return RunTool({"avr-gcc", "--version"}) && RunTool({"avr-objcopy", "--version"});
}

constexpr const char* kProgram = R"(#include <avr/io.h>
#include <avr/eeprom.h>
#include <avr/pgmspace.h>

static const uint8_t table[32] EEMEM = {
    0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87, 0x98, 0xA9, 0xBA, 0xCB, 0xDC, 0xED, 0xFE, 0x0F,
    1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
static const char text[] PROGMEM = "quilla avr toolchain check";

int main(void) {
    DDRB = 0xFF;
    for (uint8_t i = 0;; ++i) PORTB = eeprom_read_byte(&table[i & 31]) ^ pgm_read_byte(&text[i % (sizeof text - 1)]);
}
)";

struct Target {
    const char* device;
    const char* mcu;
    const char* params;
    int eepromOffset;
};

class AvrGcc : public ::testing::TestWithParam<Target> {};

TEST_P(AvrGcc, WritesVerifiesAndReadsBackWhatTheToolchainBuilt) {
    if (!HaveTools()) GTEST_SKIP() << "avr-gcc or avr-objcopy missing: scripts/install-deps.sh installs them";
    const Target& t = GetParam();
    TempDir dir;
    const std::string src = dir.File("prog.c"), elf = dir.File("prog.elf"), hex = dir.File("prog.hex");
    std::ofstream(src) << kProgram;
    char lma[32];
    std::snprintf(lma, sizeof lma, ".eeprom=0x%x", t.eepromOffset);
    ASSERT_TRUE(RunTool({"avr-gcc", std::string("-mmcu=") + t.mcu, "-Os", "-o", elf, src}));
    ASSERT_TRUE(RunTool({"avr-objcopy", "-O", "ihex", "--change-section-lma", lma, elf, hex}));
    ASSERT_TRUE(RunTool({"avr-objcopy", "-O", "binary", "-R", ".eeprom", elf, dir.File("flash.bin")}));
    ASSERT_TRUE(RunTool({"avr-objcopy", "-O", "binary", "-j", ".eeprom", "--change-section-lma", ".eeprom=0", elf,
                     dir.File("eeprom.bin")}));

    AvrBench b(t.device);
    AlgoForm& f = b.Line(t.params);
    b.wb->DataFileName = hex;
    LoadHex(*b.wb);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("WrData");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");

    std::fill(b.Image(), b.Image() + 0x10000, 0x00);
    f.Click("Read1");
    f.Click("RdData");
    auto flash = TempDir::Read(dir.File("flash.bin"));
    auto eeprom = TempDir::Read(dir.File("eeprom.bin"));
    ASSERT_FALSE(flash.empty());
    ASSERT_EQ(eeprom.size(), 32u);
    flash.resize(static_cast<std::size_t>(t.eepromOffset), 0xFF);
    eeprom.resize(b.Avr().Eeprom().size(), 0xFF);
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), b.Image()));
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), b.Image() + t.eepromOffset));
}

INSTANTIATE_TEST_SUITE_P(Atmegax, AvrGcc,
                         ::testing::Values(Target{"ATmega8", "atmega8", "ATMEGAX 1 pkg=28", 0x2000},
                                           Target{"ATmega16", "atmega16", "ATMEGAX 2 pkg=41", 0x4000}),
                         CaseName([](const Target& t) { return std::string(t.device); }));

}  // namespace
}  // namespace quilla::test
