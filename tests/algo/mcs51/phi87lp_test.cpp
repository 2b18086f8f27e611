// The 87LPC76x form end to end on the simulated programmer: the byte-serial
// protocol on the "lp76x" design, the configuration word and its side file.
#include <filesystem>
#include <fstream>

#include "algo/mcs51/phi87lp.h"
#include "mcs51_bench.h"
#include "sim/chips/lpc76x.h"

namespace quilla::test {
namespace {

using sim::Lpc76xChip;

Lpc76xChip& Lp(SimBench& b) { return b.ChipAs<Lpc76xChip>(); }

class RecordingPlacement : public PlacementView {
public:
    void ShowPlacementBitmap(const std::string& file) override { shown.push_back(file); }
    int ShowPlacementDiagram(int row, int pins, int orientation, int half) override {
        shown.push_back(std::to_string(row) + "," + std::to_string(pins) + "," + std::to_string(orientation) + "," +
                        std::to_string(half));
        return 0;
    }
    std::vector<std::string> shown;
};

// A data file prog.hex in a fresh folder, current in the workbench.
struct DataFolder {
    explicit DataFolder(SimBench& b) {
        dir = std::filesystem::temp_directory_path() /
              ("quilla_phi87lp_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(dir);
        std::ofstream((dir / "prog.hex").string()) << ":00000001FF\r\n";
        b.wb->FileNew();  // the buffer window of the loaded file
        b.wb->DataFileName = (dir / "prog.hex").string();
    }
    ~DataFolder() { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

TEST(Phi87lp, ConfigWordFromTheControls) {
    SimBench b("P87LPC762");
    AlgoForm& f = b.Open("PHI87LP 3");
    EXPECT_EQ(f.Text("Msg"), "Config = ffff");
    f.SetChecked("CheckSec", true);
    EXPECT_EQ(f.Text("Msg"), "Config = 3fff");
    f.SetChecked("CheckSec", false);
    f.Choose("RadioGroup1", 4);  // "4-20MHZ"
    f.Choose("RadioGroup2", 1);  // "12 Clocks(Mid.)"
    EXPECT_EQ(f.Text("Msg"), "Config = fff0");
}

TEST(Phi87lp, BatchProgramsTheImageAndTheWord) {
    SimBench b("P87LPC762");
    b.RandomImage(0x800, 3);
    AlgoForm& f = b.Open("PHI87LP 3");
    f.Choose("RadioGroup1", 1);  // "Int.RC(6Mhz)": 0xFFFB
    f.Click("Button2");
    EXPECT_EQ(f.Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "1");
    EXPECT_TRUE(b.ChipMatchesImage(0, 0x800));
    EXPECT_EQ(Lp(b).ConfigWord(), 0xFFFB);
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
    f.Click("RdConfig");
    EXPECT_EQ(f.Text("Msg"), "Config =fffb");
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 1);
}

TEST(Phi87lp, SideFileGivesTheControlsAndClosingWritesIt) {
    SimBench b("P87LPC762");
    DataFolder d(b);
    {
        std::ofstream out((d.dir / "prog.cfg").string(), std::ios::binary);
        out.put(static_cast<char>(0x3F));
        out.put(static_cast<char>(0xF8));
    }
    AlgoForm& f = b.Open("PHI87LP 3");
    EXPECT_EQ(f.Text("Msg"), "Config = 3ff8");
    EXPECT_EQ(f.ItemIndex("RadioGroup1"), 4);
    EXPECT_TRUE(f.Checked("CheckSec"));
    EXPECT_TRUE(f.Checked("CheckWtd"));

    f.SetChecked("CheckSec", false);  // 0xFFF8
    EXPECT_EQ(f.Text("Msg"), "Config = fff8");
    f.Close();
    std::ifstream in((d.dir / "prog.cfg").string(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 2u);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[1]), 0xF8);
}

TEST(Phi87lp, NoSideFileWithoutADataFile) {
    SimBench b("P87LPC762");
    AlgoForm& f = b.Open("PHI87LP 3");  // "noname.bin": no file of its own
    f.Close();
    EXPECT_FALSE(std::filesystem::exists("noname.cfg"));
}

TEST(Phi87lp, ReadRenamesTheDataFileToBin) {
    SimBench b("P87LPC762");
    b.RandomImage(0x800, 4);
    Preload(b, 0x800);
    DataFolder d(b);
    AlgoForm& f = b.Open("PHI87LP 3");
    std::vector<std::uint8_t> want(b.Image(), b.Image() + 0x800);
    std::fill(b.Image(), b.Image() + 0x800, 0);
    f.Click("ReadToFile");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.Image()));
    EXPECT_EQ(b.wb->DataFileName, (d.dir / "prog.BIN").string());
}

TEST(Phi87lp, UserCodeIsWrittenAndReadBackAloneAndRowOneShowsItsDiagram) {
    SimBench b("P87LPC760");
    RecordingPlacement view;
    b.wb->Ep3.Placement = &view;
    AlgoForm& f = b.Open("PHI87LP 1");
    ASSERT_EQ(view.shown.size(), 1u);
    EXPECT_EQ(view.shown[0], "8,14,0,0");
    for (int i = 0; i < 32; ++i) b.Image()[0xFCE0 + i] = static_cast<std::uint8_t>(0xA0 + i);
    f.Click("Button1");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(Lp(b).UserCode()[31], 0xBF);
    std::fill(b.Image() + 0xFCE0, b.Image() + 0xFD20, 0x11);
    f.Click("Button3");
    EXPECT_EQ(f.Text("Msg"), "OK");
    for (int i = 0; i < 32; ++i) EXPECT_EQ(b.Image()[0xFCE0 + i], 0xA0 + i) << i;
    for (int i = 0; i < 32; ++i) EXPECT_EQ(b.Image()[0xFD00 + i], 0x11) << i;  // left alone
    b.wb->Ep3.Placement = nullptr;
}

TEST(Lpc76xModel, NothingProgramsWithoutVppOnRst) {
    SimBench b("P87LPC762");
    b.RandomImage(0x800, 5);
    auto& form = dynamic_cast<TPhi87lpx&>(b.Open("PHI87LP 3"));
    TEp3& e = b.wb->Ep3;
    e.GndPin(10);
    e.VccPin(30);
    e.PinHigh(9);  // RST at a logic high, no VPP
    form.Lpc76xLoadAddress(0);
    form.Lpc76xProgramByte(0x00);
    e.UsbFlush();
    e.VccPin(0);
    EXPECT_EQ(b.Chip()[0], 0xFF);
    form.Lpc76xEnter();
    form.Lpc76xLoadAddress(0);
    form.Lpc76xProgramByte(0x00);
    e.UsbFlush();
    e.VppPin(0);
    e.VccPin(0);
    EXPECT_EQ(b.Chip()[0], 0x00);
}

}  // namespace
}  // namespace quilla::test
