// A real 8051 program: C code and tables built here by sdcc (-mmcs51), its
// Intel HEX output loaded as it comes (sdcc writes the records area by area,
// not in address order), written into an AT89C51 and read back. objcopy's
// binary of the same file is the oracle of what the chip must hold.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/hexfile.h"
#include "mcs51_bench.h"
#include "support/temp_dir.h"
#include "support/tools.h"

namespace quilla::test {
namespace {

// About 3 KiB of code and constant tables.
std::string ProgramSource() {
    std::ostringstream c;
    c << "#include <8051.h>\n"
         "__code const unsigned char table[2048] = {";
    unsigned x = 12345;
    for (int i = 0; i < 2048; ++i) {
        x = x * 1103515245u + 12345u;
        c << (i % 16 == 0 ? "\n  " : "") << ((x >> 16) & 0xFF) << ",";
    }
    c << "\n};\n"
         "__code const char banner[] = \"quilla 8051 check\";\n"
         "unsigned char crc8(__code const unsigned char *p, unsigned int n) {\n"
         "  unsigned char crc = 0; unsigned char b;\n"
         "  while (n--) { crc ^= *p++; for (b = 0; b < 8; b++) crc = (crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1; }\n"
         "  return crc;\n"
         "}\n"
         "__xdata unsigned char buf[64];\n"
         "void sort(unsigned char n) {\n"
         "  unsigned char i, j, t;\n"
         "  for (i = 0; i < n; i++) for (j = i + 1; j < n; j++)\n"
         "    if (buf[j] < buf[i]) { t = buf[i]; buf[i] = buf[j]; buf[j] = t; }\n"
         "}\n"
         "unsigned int sum(unsigned char n) { unsigned int s = 0; while (n) s += buf[--n]; return s; }\n"
         "void serial_out(__code const char *s) { SCON = 0x50; while (*s) { SBUF = *s++; while (!TI); TI = 0; } }\n"
         "void main(void) {\n"
         "  unsigned char i;\n"
         "  for (i = 0; i < 64; i++) buf[i] = table[i * 7];\n"
         "  sort(64);\n"
         "  P1 = crc8(table, sizeof table);\n"
         "  P2 = (unsigned char)sum(64);\n"
         "  serial_out(banner);\n"
         "  for (;;) P3 = table[P1];\n"
         "}\n";
    return c.str();
}

TEST(At89c5xToolchain, SdccProgramWritesVerifiesAndReadsBack) {
    if (!OnPath("sdcc")) GTEST_SKIP() << "sdcc is not installed (scripts/install-deps.sh installs it)";
    if (!OnPath("objcopy")) GTEST_SKIP() << "objcopy is not installed";
    TempDir tmp;
    const auto& dir = tmp.path;
    std::ofstream(dir / "check.c") << ProgramSource();
    ASSERT_EQ(RunTool({"sdcc", "-mmcs51", "--code-size", "4096", "check.c"}, dir.string()), 0);
    const auto ihx = dir / "check.ihx";
    ASSERT_TRUE(std::filesystem::exists(ihx));
    ASSERT_EQ(RunTool({"objcopy", "-I", "ihex", "-O", "binary", "--gap-fill", "0xff", ihx.string(),
                       (dir / "check.bin").string()}),
              0);
    const std::vector<std::uint8_t> oracle = TempDir::Read((dir / "check.bin").string());
    ASSERT_GT(oracle.size(), 2500u);
    ASSERT_LE(oracle.size(), 0x1000u);

    SimBench b("AT89C51");
    AlgoForm& f = b.Open("P89C51 1 #1E 51");
    b.wb->DataFileName = ihx.string();
    LoadHex(*b.wb);
    ASSERT_EQ(b.wb->FileWin->EndAddr, static_cast<int>(oracle.size()) - 1);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK");
    for (std::size_t i = 0; i < 0x1000; ++i) {
        const std::uint8_t want = i < oracle.size() ? oracle[i] : 0xFF;
        ASSERT_EQ(b.Chip()[i], want) << "chip address " << i;
    }

    std::fill(b.Image(), b.Image() + 0x1000, 0x00);
    b.wb->FileWin->EndAddr = 0x0FFF;
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x1000));
}

}  // namespace
}  // namespace quilla::test
