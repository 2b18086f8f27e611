// Every high-voltage parallel, serial and high-voltage serial AVR line of the device lists, end to end: the
// form its line opens reads the part's signature (where it has the button),
// writes and verifies flash and EEPROM of a blank chip of that part and reads
// them back, without a protocol violation.
#include "avr_bench.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

// What each form shows after its operations.
struct Texts {
    const char *write, *verify, *read;
};
Texts TextsOf(const std::string& params) {
    const std::string keyword = params.substr(0, params.find(' '));
    if (keyword == "AT90S") return {"End.", "OK!!!", "OK"};
    if (keyword == "AT90S8515S") return {"End.", "Data OK..", "Data in buffer.."};
    return {"OK", "OK!!!", "OK"};
}

struct Listed {
    AvrLine line;
    const char* model;
};

std::vector<Listed> HvLines() {
    std::vector<Listed> out;
    for (const auto& l : AvrLines("device520.lst", {"ATMEGAX", "ATMEGA161", "ATMEGA162", "ATMEGA163", "AT90S8515",
                                                    "AT90S8535", "AT90S2333", "ATINY28", "AT90S", "AT90S2323", "ATINY2", "ATINY1",
                                                    "AT90S2323HI"}))
        out.push_back({l, "vex520"});
    for (const auto& l : AvrLines("device310.lst", {"AT90S8515S"})) out.push_back({l, "vex310"});
    return out;
}

class EveryHvLine : public ::testing::TestWithParam<Listed> {};

TEST_P(EveryHvLine, ReadsItsSignatureAndRoundTripsFlashAndEeprom) {
    const AvrLine& l = GetParam().line;
    AvrBench b(l.device, GetParam().model);
    b.tap->record = false;
    b.sim->Log().SetEnabled(false);
    const auto& part = b.Avr().Part();
    const int flash = static_cast<int>(part.flashBytes), eeprom = static_cast<int>(part.eepromBytes);
    b.RandomImage(flash + eeprom, 11);
    const std::vector<std::uint8_t> image(b.Image(), b.Image() + flash + eeprom);
    AlgoForm& f = b.Line(l.params);
    const Texts t = TextsOf(l.params);
    const char* idButton = f.Has("ReadID") ? "ReadID" : f.Has("ID") ? "ID" : "Button2";
    if (f.Get(idButton).Visible) {
        f.Click(idButton);
        char id[32];
        std::snprintf(id, sizeof id, "ID: %02x,%02x,%02x", part.signature[0], part.signature[1], part.signature[2]);
        EXPECT_EQ(f.Text("Msg"), id);
    }
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), t.write);
    if (eeprom > 0) {
        f.Click("WrData");
        EXPECT_EQ(f.Text("Msg"), "OK");
    }
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), t.verify);
    EXPECT_TRUE(b.ChipHoldsImage(flash));
    std::fill(b.Image(), b.Image() + flash + eeprom, 0);
    f.Click("Read1");
    EXPECT_EQ(f.Text("Msg"), t.read);
    if (eeprom > 0) {
        f.Click("RdData");
        EXPECT_EQ(f.Text("Msg"), "OK");
    }
    EXPECT_TRUE(std::equal(image.begin(), image.end(), b.Image()));
}

INSTANTIATE_TEST_SUITE_P(DeviceLists, EveryHvLine, ::testing::ValuesIn(HvLines()),
                         CaseName([](const Listed& l) { return l.line.device + "_" + l.line.params; }));

}  // namespace
}  // namespace quilla::test
