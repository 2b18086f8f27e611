// A file larger than the chip: Write and Verify say once, before they start,
// from which address on the file is not written, whichever family the form
// belongs to (the shared form machinery decides it from what the last load
// stored and the end the device setup left).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/hexfile.h"
#include "support/sim_bench.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

struct BeyondCase {
    const char* name;
    const char* part;
    const char* params;
    int fileBytes;
    const char* firstNotWritten;  // empty: no message
    const char* chipLast;
};

std::ostream& operator<<(std::ostream& os, const BeyondCase& c) { return os << c.name; }

constexpr const char* kNeedle = "past the chip's last address";

std::string Expected(const BeyondCase& c) {
    const std::string from = c.firstNotWritten;
    return "The file holds data from address " + from + " on, past the chip's last address " + c.chipLast +
           ": from " + from + " on it is not written or verified";
}

int Told(const SimBench& b) {
    int n = 0;
    for (const std::string& t : b.prompts.Texts()) n += t.find(kNeedle) != std::string::npos;
    return n;
}

// Loads a HEX file of `bytes` bytes from address 0 through the program's loader.
void LoadImageFile(SimBench& b, const TempDir& dir, int bytes) {
    std::vector<std::uint8_t> image(static_cast<std::size_t>(bytes));
    for (int i = 0; i < bytes; ++i) image[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7 + 1);
    const std::string text = FormatHex(image, bytes - 1);
    b.wb->DataFileName = dir.Write("image.hex", std::vector<std::uint8_t>(text.begin(), text.end()));
    LoadHex(*b.wb);
    ASSERT_EQ(b.wb->LoadedEnd, bytes - 1);
}

class BeyondChip : public ::testing::TestWithParam<BeyondCase> {};

// The file loaded first, then the device chosen (EndAddr := the chip's end).
TEST_P(BeyondChip, WriteSaysOnceBeforeWritingAndStillWritesTheChip) {
    const BeyondCase& c = GetParam();
    TempDir dir;
    SimBench b(c.part);
    LoadImageFile(b, dir, c.fileBytes);
    AlgoForm& f = b.Open(c.params);
    b.prompts.shown.clear();
    f.Click("Write");
    if (*c.firstNotWritten) {
        ASSERT_EQ(Told(b), 1) << ::testing::PrintToString(b.prompts.Texts());
        EXPECT_EQ(b.prompts.Texts()[0], Expected(c));
    } else {
        EXPECT_EQ(Told(b), 0);
    }
    // The write goes on as before: the chip holds the file's first bytes.
    const int chipBytes = std::stoi(c.chipLast, nullptr, 16) + 1;
    EXPECT_TRUE(b.ChipMatchesImage(0, chipBytes));
}

TEST_P(BeyondChip, VerifyAloneSaysItToo) {
    const BeyondCase& c = GetParam();
    TempDir dir;
    SimBench b(c.part);
    LoadImageFile(b, dir, c.fileBytes);
    AlgoForm& f = b.Open(c.params);
    f.Click("Write");
    b.prompts.shown.clear();
    f.Click("Verify");
    EXPECT_EQ(Told(b), *c.firstNotWritten ? 1 : 0);
    // Every click says it again.
    f.Click("Verify");
    EXPECT_EQ(Told(b), *c.firstNotWritten ? 2 : 0);
}

// The batch with Write and Verify says it once (before its Write).
TEST_P(BeyondChip, TheBatchSaysItOnce) {
    const BeyondCase& c = GetParam();
    TempDir dir;
    SimBench b(c.part);
    LoadImageFile(b, dir, c.fileBytes);
    AlgoForm& f = b.Open(c.params);
    b.prompts.shown.clear();
    f.Click("Button1");
    EXPECT_EQ(Told(b), *c.firstNotWritten ? 1 : 0) << ::testing::PrintToString(b.prompts.Texts());
}

INSTANTIATE_TEST_SUITE_P(Parts, BeyondChip,
                         ::testing::Values(BeyondCase{"At89c51File5K", "AT89C51", "P89C51 1", 0x1400, "001000", "000fff"},
                                           BeyondCase{"At89c51File4K", "AT89C51", "P89C51 1", 0x1000, "", "000fff"},
                                           BeyondCase{"At89c2051File5K", "AT89C2051", "P2051 2", 0x1400, "000800", "0007ff"},
                                           BeyondCase{"At89c2051File2K", "AT89C2051", "P2051 2", 0x800, "", "0007ff"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Other operations (Read, Blank) say nothing; a file within the chip loaded
// after the device was chosen says nothing either.
TEST(BeyondChipOthers, OnlyWriteAndVerifySpeak) {
    TempDir dir;
    SimBench b("AT89C51");
    LoadImageFile(b, dir, 0x1400);
    AlgoForm& f = b.Open("P89C51 1");
    b.prompts.shown.clear();
    f.Click("Blank");
    f.Click("Read1");
    EXPECT_EQ(Told(b), 0);
}

TEST(BeyondChipOthers, ALoadAfterTheDeviceSetupIsJudgedByTheChipsEnd) {
    TempDir dir;
    SimBench b("AT89C51");
    AlgoForm& f = b.Open("P89C51 1");
    LoadImageFile(b, dir, 0x1400);  // EndAddr := 13ff by the load
    b.prompts.shown.clear();
    f.Click("Write");
    EXPECT_EQ(Told(b), 1);
    LoadImageFile(b, dir, 0x0800);
    b.prompts.shown.clear();
    f.Click("Write");
    EXPECT_EQ(Told(b), 0);
}

}  // namespace
}  // namespace quilla::test
