// Every high-voltage parallel AVR line of the device lists, end to end: the
// form its line opens reads the part's signature, writes and verifies flash
// and EEPROM of a blank chip of that part and reads them back, without a
// protocol violation.
#include "avr_bench.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

class EveryHvLine : public ::testing::TestWithParam<AvrLine> {};

TEST_P(EveryHvLine, ReadsItsSignatureAndRoundTripsFlashAndEeprom) {
    const AvrLine& l = GetParam();
    AvrBench b(l.device);
    b.tap->record = false;
    b.sim->Log().SetEnabled(false);
    const auto& part = b.Avr().Part();
    const int flash = static_cast<int>(part.flashBytes), eeprom = static_cast<int>(part.eepromBytes);
    b.RandomImage(flash + eeprom, 11);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + flash + eeprom);
    AlgoForm& f = b.Line(l.params);
    f.Click(f.Has("Button2") ? "Button2" : "ReadID");
    char id[32];
    std::snprintf(id, sizeof id, "ID: %02x,%02x,%02x", part.signature[0], part.signature[1], part.signature[2]);
    EXPECT_EQ(f.Text("Msg"), id);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("WrData");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    EXPECT_TRUE(b.ChipHoldsImage(flash));
    std::fill(b.Image(), b.Image() + flash + eeprom, 0);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    f.Click("RdData");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
}

INSTANTIATE_TEST_SUITE_P(Device520, EveryHvLine,
                         ::testing::ValuesIn(AvrLines("device520.lst", {"ATMEGAX", "ATMEGA161", "ATMEGA162",
                                                                        "ATMEGA163"})),
                         CaseName([](const AvrLine& l) { return l.device + "_" + l.params; }));

}  // namespace
}  // namespace quilla::test
