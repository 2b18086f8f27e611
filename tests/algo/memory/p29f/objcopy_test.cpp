// A real tool's Intel HEX through the P29F form: objcopy makes a HEX file of a
// random binary at test time; it loads, writes, verifies and reads back into a
// cleared image identical to the binary. Skipped with a message without
// objcopy (scripts/install-deps.sh installs binutils).
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "app/hexfile.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"
#include "support/tools.h"

namespace quilla::test {
namespace {

TEST(Objcopy, AnIntelHexOfARandomBinaryWritesAndReadsBackIdentical) {
    if (!OnPath("objcopy")) GTEST_SKIP() << "objcopy missing: scripts/install-deps.sh installs binutils";
    TempDir dir;
    constexpr int kBytes = 0x1000;
    std::vector<char> bin(kBytes);
    std::mt19937 rng(11);
    for (char& c : bin) c = static_cast<char>(rng());
    const std::string binFile = dir.File("random.bin"), hexFile = dir.File("random.hex");
    std::ofstream(binFile, std::ios::binary).write(bin.data(), kBytes);
    ASSERT_EQ(RunTool({"objcopy", "-I", "binary", "-O", "ihex", binFile, hexFile}), 0);

    SimBench b("AM29F010");
    AlgoForm& f = b.Open("P29F 3");
    b.wb->DataFileName = hexFile;
    LoadHex(*b.wb);
    ASSERT_TRUE(std::equal(bin.begin(), bin.end(), reinterpret_cast<const char*>(b.Image())));
    f.Enter("Edit3", "fff");
    f.Click("Write");
    EXPECT_EQ(f.Text("Message"), "OK!");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Message"), "OK..");
    std::fill(b.Image(), b.Image() + kBytes, 0);
    f.Click("ReadButton");
    EXPECT_EQ(f.Text("Message"), "OK!");
    EXPECT_TRUE(std::equal(bin.begin(), bin.end(), reinterpret_cast<const char*>(b.Image())));
}

}  // namespace
}  // namespace quilla::test
