// The CR80 form end to end on the simulated programmer ("cr80px00" design,
// CR80 model).
#include <gtest/gtest.h>

#include <algorithm>

#include "algo/pic/cr80.h"
#include "sim/chips/cr80.h"
#include "support/device_lines.h"
#include "support/fault_sweep.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using sim::Cr80Chip;

void FillWords(SimBench& b, int words, unsigned seed) {
    std::uint32_t x = seed * 2654435761u + 5;
    for (int n = 0; n < words; ++n) {
        x = x * 1103515245u + 12345u;
        const std::uint16_t w = (n % 6 == 1) ? 0x3FFF : static_cast<std::uint16_t>((x >> 7) & 0x3FFF);
        b.Image()[2 * n] = static_cast<std::uint8_t>(w & 0xFF);
        b.Image()[2 * n + 1] = static_cast<std::uint8_t>(0xC0 | (w >> 8));
    }
}

bool ChipHoldsWords(SimBench& b, int words) {
    const auto& chip = b.ChipAs<Cr80Chip>();
    for (int n = 0; n < words; ++n)
        if (chip.Word(n) != ((b.Image()[2 * n] | (b.Image()[2 * n + 1] << 8)) & 0x3FFF)) return false;
    return true;
}

struct Part {
    const char* part;
    const char* params;
    int words;
};
class EveryCr80Row : public ::testing::TestWithParam<Part> {};

TEST_P(EveryCr80Row, RunProgramsEveryAreaAndReadBringsTheWordsBack) {
    const Part& p = GetParam();
    SimBench b(p.part);
    FillWords(b, p.words, 2);
    AlgoForm& f = b.Open(p.params);
    EXPECT_EQ(b.sim->LoadedTag(), "cr80px00");
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 1);
    EXPECT_TRUE(ChipHoldsWords(b, p.words)) << "Write cleared bits 6-7 of the image's high bytes first";
    EXPECT_EQ(b.Image()[1] & 0xC0, 0);
    const auto& chip = b.ChipAs<Cr80Chip>();
    EXPECT_EQ(chip.OptionWord(0), 0x3FC0);  // latch C0h, then FFh (7 bits each)
    EXPECT_EQ(chip.OptionWord(1), 0x003F);  // 3Fh, then 00h
    EXPECT_EQ(chip.SecurityWord(), 0);
    EXPECT_EQ(chip.OtpRowWord(0), 0x20);
    EXPECT_EQ(chip.OtpRowWord(1), 0x03);
    // Locked: program memory reads 0000h now.
    std::fill(b.Image(), b.Image() + 2 * p.words, 0xFF);
    f.Click("ReadToFile");
    EXPECT_EQ(b.Image()[0], 0);
}

INSTANTIATE_TEST_SUITE_P(Cr80, EveryCr80Row,
                         ::testing::Values(Part{"CR80P100", "CR80PX00 1", 1024}, Part{"CR80P200", "CR80PX00 2", 2048},
                                           Part{"JS991", "CR80PX00 3", 1024}),
                         [](const ::testing::TestParamInfo<Part>& i) { return std::string(i.param.part); });

TEST(Cr80, ReadBringsTheWordsBackBeforeTheLock) {
    SimBench b("CR80P100");
    FillWords(b, 1024, 3);
    AlgoForm& f = b.Open("CR80PX00 1");
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    std::vector<std::uint8_t> want(b.Image(), b.Image() + 2048);
    std::fill(b.Image(), b.Image() + 2048, 0);
    f.Click("ReadToFile");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image()));
    f.Click("Blank");
    EXPECT_EQ(f.Text("Msg"), "Not BLK.");
}

// The mode is followed by five clocks on the CR80P100/P200 rows and two on the
// JS991 row; each chip enters only with its own count.
int ClocksAfterVpp(SimBench& b, AlgoForm& f, int clockLine) {
    b.tap->commands.clear();
    f.Click("Blank");
    int falls = 0;
    for (const auto& c : b.tap->commands) {
        if (c[0] == proto::OpSystem && c[1] == proto::SysVppPin && c[2] != 0) falls = 0;
        if (c[0] == proto::OpWriteReg && c[1] == proto::RegControlLines && c[2] == (0x80 | 1)) break;
        if (c[0] == proto::OpWriteReg && c[1] == proto::RegControlLines && c[2] == clockLine) ++falls;
    }
    return falls;
}

TEST(Cr80, EachRowEntersWithItsOwnClockCount) {
    SimBench a("JS991");
    AlgoForm& fa = a.Open("CR80PX00 3");
    EXPECT_EQ(ClocksAfterVpp(a, fa, 7), 2);
    EXPECT_EQ(fa.Text("Msg"), "OK");
    SimBench c("CR80P100");
    AlgoForm& fc = c.Open("CR80PX00 1");
    EXPECT_EQ(ClocksAfterVpp(c, fc, 7), 5);
    EXPECT_EQ(fc.Text("Msg"), "OK");
    // A JS991 in a CR80P100 line gets five clocks: it stays deaf, so a Write
    // programs nothing and Verify fails.
    SimBench d("JS991");
    FillWords(d, 1024, 4);
    AlgoForm& fd = d.Open("CR80PX00 1");
    fd.Click("Write");
    EXPECT_EQ(d.ChipAs<Cr80Chip>().Programmed(), 0);
    fd.Click("Verify");
    EXPECT_EQ(fd.Text("Msg"), "Error....");
}

TEST(Cr80, DeviceInformationAfterOptionAndOtpRowWithProtect) {
    SimBench b("CR80P100");
    AlgoForm& f = b.Open("CR80PX00 1");
    const unsigned sum = b.wb->FileWin->BufferChecksum & 0xFFFF;
    f.Click("WtConfig");
    f.SetChecked("CheckBox1", true);
    f.Click("WrOTProw");
    f.Click("RdConfig");
    char want[96];
    std::snprintf(want, sizeof want, "Config=3f, ID=2003, Sum=%04x,Protect=00,Secu=7f", sum);
    EXPECT_EQ(f.Text("Msg"), want);
    EXPECT_EQ(b.ChipAs<Cr80Chip>().OtpRowWord(5), 0);
    f.Click("Security");
    f.Click("RdConfig");
    std::snprintf(want, sizeof want, "Config=3f, ID=2003, Sum=%04x,Protect=00,Secu=00", sum);
    EXPECT_EQ(f.Text("Msg"), want);
}

TEST(Cr80, OtpRowWithoutProtectWritesFourWords) {
    SimBench b("CR80P100");
    AlgoForm& f = b.Open("CR80PX00 1");
    f.Click("WrOTProw");
    EXPECT_EQ(b.ChipAs<Cr80Chip>().OtpRowWord(3) != 0x3FFF || b.ChipAs<Cr80Chip>().OtpRowWord(2) != 0x3FFF, true);
    EXPECT_EQ(b.ChipAs<Cr80Chip>().OtpRowWord(4), 0x3FFF);
    f.Click("RdConfig");
    EXPECT_NE(f.Text("Msg").find("Protect=7f"), std::string::npos) << f.Text("Msg");
}

TEST(Cr80, OptionFromTheRadioGroups) {
    SimBench b("CR80P100");
    AlgoForm& f = b.Open("CR80PX00 1");
    f.Choose("RadioGroup1", 1);
    EXPECT_EQ(f.Text("Msg"), "Option = 003d");
    f.Choose("RadioGroup2", 0);
    f.Choose("RadioGroup3", 2);
    EXPECT_EQ(f.Text("Msg"), "Option = 0021");
}

TEST(Cr80, SoftSecurityStampsANewNumberEachPass) {
    // The CR80P200 row has contact masks: mass production sees chips come and go.
    SimBench b("CR80P200", "vex520", true);
    FillWords(b, 2048, 6);
    AlgoForm& f = b.Open("CR80PX00 2 add=100");
    auto& form = dynamic_cast<TCr80px00x&>(f);
    form.Seed(42);
    f.SetChecked("CheckBoxSec", false);
    b.wb->options.MassProduction = true;
    std::vector<std::uint32_t> stamped;
    f.SetSuccessListener([&](const std::string& t) {
        if (t != "End OK..") return;
        const auto& chip = b.ChipAs<Cr80Chip>();
        std::uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v |= static_cast<std::uint32_t>(b.Image()[108 + 2 * k]) << (8 * k);
        EXPECT_EQ(v, form.LastSoftSecu);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(chip.Word(54 + k) & 0xFF, (v >> (8 * k)) & 0xFF);
        stamped.push_back(v);
        if (stamped.size() == 2) b.wb->options.MassProduction = false;
    });
    f.Click("Button2");
    ASSERT_EQ(stamped.size(), 2u);
    EXPECT_NE(stamped[0], stamped[1]);
    char shown[16];
    std::snprintf(shown, sizeof shown, "%08x", stamped[1]);
    EXPECT_EQ(f.Get("Label1").Caption, shown);
}

TEST(Cr80, AddOutsideTheChipIsRefused) {
    SimBench b("CR80P100");
    AlgoForm& f = b.Open("CR80PX00 1 add=2040");
    EXPECT_EQ(f.Text("Msg"), "Bad device line: add=2040 puts the soft-security bytes outside the chip");
    f.Click("Write");
    EXPECT_EQ(b.ChipAs<Cr80Chip>().Programmed(), 0);
}

TEST(Cr80, EmptySocketNeverPasses) {
    SimBench b("CR80P100");
    AlgoForm& f = b.Open("CR80PX00 1");
    b.sim->RemoveChipModel();
    f.SetChecked("CheckBoxVer", false);
    f.Click("Button2");
    EXPECT_NE(f.Text("Msg"), "End OK..");
    EXPECT_EQ(f.PassesCounted(), 0);
}

TEST(Cr80, APulseUnderTheMinimumProgramsNothing) {
    SimBench b("CR80P100");
    FillWords(b, 1024, 8);
    AlgoForm& f = b.Open("CR80PX00 1");
    b.ChipAs<Cr80Chip>().SetSlowFactor(1.5);
    f.Click("Write");
    EXPECT_EQ(b.ChipAs<Cr80Chip>().Programmed(), 0);
    f.Choose("Speed", 1);  // two pulses per half: the sum reaches the minimum
    f.Click("Write");
    EXPECT_TRUE(ChipHoldsWords(b, 1024));
}

TEST(Cr80, FaultSweepOverTheBatch) {
    FaultSweep s;
    s.prepare = [] {
        auto b = std::make_unique<SimBench>("CR80P100");
        FillWords(*b, 1024, 9);
        return b;
    };
    s.form = [](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open("CR80PX00 1");
        f.SetChecked("CheckBoxSec", false);
        return f;
    };
    s.operation = [](SimBench&, AlgoForm& f) { f.Click("Button2"); };
    s.holds = [](SimBench& b, const std::string& text) {
        const auto& chip = b.ChipAs<Cr80Chip>();
        if (text == "End OK..") return ChipHoldsWords(b, 1024) && chip.OptionWord(1) == 0x3F && chip.OtpRowWord(1) == 3;
        return true;  // the steps' "OK": judged by the pass
    };
    EXPECT_GT(s.Run().transfers, 5);
}

class EveryCr80Line : public ::testing::TestWithParam<ListedLine> {};

TEST_P(EveryCr80Line, WritesAndVerifies) {
    const ListedLine& l = GetParam();
    SimBench b(l.part);
    const int words = b.ChipAs<Cr80Chip>().Part().words;
    FillWords(b, words, 7);
    AlgoForm& f = b.Open(l.params);
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK") << l.params;
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK") << l.params;
}

std::vector<ListedLine> Cr80Lines() { return DeviceLines("device520.lst", {"CR80PX00"}); }

INSTANTIATE_TEST_SUITE_P(Device520, EveryCr80Line, ::testing::ValuesIn(Cr80Lines()),
                         [](const ::testing::TestParamInfo<ListedLine>& i) { return i.param.part; });

TEST(Cr80Lines, BothListsHaveThem) {
    EXPECT_EQ(Cr80Lines().size(), 3u);
    EXPECT_EQ(DeviceLines("device640.lst", {"CR80PX00"}).size(), 3u);
}

}  // namespace
}  // namespace quilla::test
