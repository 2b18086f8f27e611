// The ATmega161, ATmega163 and ATmega162 fuse-grid forms end to end: their
// supply levels, fuse and lock layouts, the grid and its .c48 side file.
#include "algo/avr/atmega161.h"
#include "algo/avr/atmega162.h"
#include "avr_bench.h"
#include "support/param_names.h"
#include "support/temp_dir.h"

namespace quilla::test {
namespace {

// VCC levels the host set (0.1 V), in order, since the tap was last cleared.
std::vector<int> VccLevels(const SimBench& b) {
    std::vector<int> v;
    for (const auto& c : b.tap->commands)
        if (c[0] == proto::OpSystem && c[1] == proto::SysVccLevel) v.push_back(c[2]);
    return v;
}

// ---- TAtmega161x ----------------------------------------------------------------------------------

TEST(Atmega161x, WritesAtFourPointFourAndReadsAtThreePointThreeVolts) {
    AvrBench b("ATmega161");
    b.RandomImage(0x4200, 20);
    AlgoForm& f = b.Line("ATMEGA161 1");
    EXPECT_EQ(f.Text("Msg"), "") << "the setup shows no status";
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(f.Text("Msg"), "OK");
    EXPECT_EQ(VccLevels(b), (std::vector<int>{44, 33}));
    b.tap->commands.clear();
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    EXPECT_EQ(VccLevels(b), (std::vector<int>{33}));
    EXPECT_TRUE(b.FlashHoldsImage());
}

TEST(Atmega161x, FuseAndLockReadBackAsTheChipHoldsThem) {
    AvrBench b("ATmega161");
    AlgoForm& f = b.Line("ATMEGA161 1");
    f.SetChecked("CheckBox2", true);  // CKSEL1
    f.SetChecked("CheckBox6", true);  // SPIEN
    f.Click("WtFuse");
    EXPECT_EQ(f.Text("Msg"), "OK!");
    EXPECT_EQ(b.Avr().Fuse(0), 0xDD);
    f.SetChecked("CheckBox19", true);  // BLB01
    f.Click("Secrity");
    EXPECT_EQ(f.Text("Msg"), "OK");
    for (int k = 1; k <= 22; ++k)
        if (f.Has(avr::Box(k))) f.SetChecked(avr::Box(k), false);
    f.Click("ReadFuse");
    char want[40];
    std::snprintf(want, sizeof want, "Fuse=%02x,Lock=%02x", b.Avr().Fuse(0), b.Avr().Lock());
    EXPECT_EQ(f.Text("Msg"), want);
    EXPECT_EQ(f.Text("Msg"), "Fuse=dd,Lock=fb");
    EXPECT_TRUE(f.Checked("CheckBox2"));
    EXPECT_TRUE(f.Checked("CheckBox6"));
    EXPECT_FALSE(f.Checked("CheckBox1"));
    EXPECT_TRUE(f.Checked("CheckBox19"));
    EXPECT_FALSE(f.Checked("CheckBox17"));
}

TEST(Atmega161x, APackageMarkMovesEveryRowToTheBoardPins) {
    for (const char* device : {"ATmega161*Q44", "ATmega161*P44"}) {
        AvrBench b(device);
        auto& f = dynamic_cast<TAtmega161x&>(b.Line("ATMEGA161 3"));
        EXPECT_EQ(b.sim->LoadedTag(), "at90s8515plcc44");
        const AvrRow* r = f.SelectedRow();
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->VppPin, 8);
        EXPECT_EQ(r->VccPin, 42);
        EXPECT_EQ(r->GndPin, 20);
        EXPECT_EQ(r->MaskLo, 0x7FEFFDFFu);
        EXPECT_EQ(r->MaskHi, 0x83FFu);
    }
}

// ---- TAtmega163x ----------------------------------------------------------------------------------

class EntryAtTheVerifyLevel : public TAtmega163x {
public:
    using TAtmega163x::TAtmega163x;
    int EnterProgramming() override { return TAtmega16xForm::EnterProgramming(); }
};

TEST(Atmega163x, AWriteAfterALowVoltageVerifyRunsAtTheProgrammingLevel) {
    AvrBench b("ATmega163");
    b.RandomImage(0x4200, 21);
    AlgoForm& f = b.Line("ATMEGA163 3");
    EXPECT_EQ(f.Text("Msg"), "OK ");
    f.Choose("VeriyVolt", 2);  // "Vrfy电压3.3V"
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    b.tap->commands.clear();
    f.Click("Write");
    EXPECT_EQ(VccLevels(b), (std::vector<int>{44}));
    b.tap->commands.clear();
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "OK!!!");
    EXPECT_EQ(VccLevels(b), (std::vector<int>{44, 33}));
    EXPECT_TRUE(b.FlashHoldsImage());
}

TEST(Atmega163x, WithoutTheProgrammingLevelAtEntryTheWriteIsLost) {
    AvrBench b("ATmega163");
    b.RandomImage(0x4200, 21);
    b.Line("ATMEGA163 3");
    EntryAtTheVerifyLevel f(*b.wb);
    f.SetupForDevice();
    f.Choose("VeriyVolt", 2);
    f.Click("Verify");
    f.Click("Write");
    f.Click("Verify");
    EXPECT_EQ(f.Text("Msg"), "Failed..! ");
    EXPECT_EQ(b.Avr().Writes(), 0);
}

TEST(Atmega163x, VerifyLevelsAndTheTwoFuseBytes) {
    AvrBench b("ATmega163");
    AlgoForm& f = b.Line("ATMEGA163 3");
    auto& form = dynamic_cast<TAtmega163x&>(f);
    for (const auto& [index, mv] : {std::pair{0, 5000}, std::pair{1, 4400}, std::pair{2, 3300}, std::pair{3, 2500}}) {
        f.Choose("VeriyVolt", index);
        EXPECT_EQ(form.VerifyVccMv(), mv);
    }
    f.SetText("VeriyVolt", "3.3V");
    EXPECT_EQ(form.VerifyVccMv(), 5000);
    f.SetChecked("CheckBox6", true);  // SPIEN
    f.SetChecked("CheckBox9", true);  // BOOTRST
    f.Click("WtFuse");
    EXPECT_EQ(f.Text("Msg"), "FUSE OK!");
    EXPECT_EQ(b.Avr().Fuse(0), 0xDF);
    EXPECT_EQ(b.Avr().Fuse(1), 0xFE);
    f.SetChecked("CheckBox6", false);
    f.Click("ReadFuse");
    EXPECT_EQ(f.Text("Msg"), "Fuse low=df,Fuse Hi=fe,Lock=ff");
    EXPECT_TRUE(f.Checked("CheckBox6"));
}

// ---- writes without the hex buffer window ------------------------------------------------------------

// Only the ATmega161/162 Write asks for the window; W.Data of the three forms
// and the ATmega163 Write program what the image holds.
struct NoWindowCase {
    const char* device;
    const char* line;
    const char* button;
    bool refused;
};

class WriteWithoutWindow : public ::testing::TestWithParam<NoWindowCase> {};

TEST_P(WriteWithoutWindow, RefusesOnlyTheAtmega161And162FlashWrite) {
    const NoWindowCase& c = GetParam();
    AvrBench b(c.device);
    AlgoForm& f = b.Line(c.line);
    b.RandomImage(0x4200, 22);
    b.wb->FileWin.reset();
    f.Click(c.button);
    const bool eeprom = std::string(c.button) == "WrData";
    if (c.refused) {
        EXPECT_EQ(b.prompts.Last(), "Must open a file to write...");
        EXPECT_EQ(b.Avr().Writes(), 0);
    } else {
        EXPECT_TRUE(b.prompts.shown.empty());
        EXPECT_EQ(f.Text("Msg"), "OK");
        const auto e = b.Avr().Eeprom();
        EXPECT_TRUE(eeprom ? std::equal(e.begin(), e.end(), b.Image() + 0x4000) : b.FlashHoldsImage());
    }
}

INSTANTIATE_TEST_SUITE_P(Atmega16x, WriteWithoutWindow,
                         ::testing::Values(NoWindowCase{"ATmega161", "ATMEGA161 1", "Write", true},
                                           NoWindowCase{"ATmega162", "ATMEGA162 2", "Write", true},
                                           NoWindowCase{"ATmega163", "ATMEGA163 3", "Write", false},
                                           NoWindowCase{"ATmega161", "ATMEGA161 1", "WrData", false},
                                           NoWindowCase{"ATmega162", "ATMEGA162 2", "WrData", false},
                                           NoWindowCase{"ATmega163", "ATMEGA163 3", "WrData", false}),
                         CaseName([](const NoWindowCase& c) { return std::string(c.device) + "_" + c.button; }));

// ---- TAtmega162x ----------------------------------------------------------------------------------

struct Grid162 : ::testing::Test {
    AvrBench b{"ATmega162"};
    AlgoForm* f = nullptr;
    void SetUp() override { f = &b.Line("ATMEGA162 2"); }
    const std::vector<std::string>& Cells() { return f->Get("StringGrid1").Items; }
};

TEST_F(Grid162, DefaultGridWritesUnprogrammedFusesAndLocksModeThreeWithBootBitsOfTheApplication) {
    EXPECT_EQ(Cells()[24], "0");
    EXPECT_EQ(Cells()[28], "1");
    f->Click("WtFuse");
    EXPECT_EQ(f->Text("Msg"), "OK!");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(b.Avr().Fuse(i), 0xFF) << i;
    b.prompts.shown.clear();
    f->Click("Secrity");
    EXPECT_EQ(f->Text("Msg"), "OK");
    EXPECT_EQ(b.Avr().Lock() & 0x3F, 0x30);
    EXPECT_TRUE(b.prompts.shown.empty());
}

TEST_F(Grid162, EveryLockCellUnprogrammedWarnsAndWritesAllOnes) {
    for (int i = 24; i <= 27; ++i) f->ClickCell("StringGrid1", i);
    EXPECT_EQ(Cells()[24], "1");
    f->Click("Secrity");
    EXPECT_EQ(b.prompts.Last(), "没有CFG LockMode！");
    EXPECT_EQ(f->Text("Msg"), "OK");
    EXPECT_EQ(b.Avr().Lock(), 0xFF);
    EXPECT_EQ(b.Avr().Writes(), 1) << "the lock byte 0x3F was written all the same";
}

TEST_F(Grid162, ExtendedFuseAndReadBackOfFourBytes) {
    f->ClickCell("StringGrid1", 20);  // M161C
    f->ClickCell("StringGrid1", 13);  // SPIEN
    f->Click("WtFuse");
    EXPECT_EQ(b.Avr().Fuse(2), 0xEF);
    EXPECT_EQ(b.Avr().Fuse(1), 0xDF);
    const auto before = Cells();
    f->Click("ReadFuse");
    EXPECT_EQ(f->Text("Msg"), "Fuse low=ff,Fuse Hi=df,Lock=ff,Ext Fuse=ef");
    EXPECT_EQ(Cells(), before) << "R.Fuse leaves the grid";
}

TEST_F(Grid162, ACellThatIsNoBitRefusesTheWriteOfOneTimeBits) {
    f->PutText("Msg", "");
    b.wb->sel.ParamString = "ATMEGA162 2";
    auto& form = dynamic_cast<TAtmega162x&>(*f);
    // What a side file with a byte 0xFF leaves in a cell.
    form.Get("StringGrid1").Items[3] = "255";
    f->Click("WtFuse");
    EXPECT_NE(f->Text("Msg").find("CKSEL3"), std::string::npos) << f->Text("Msg");
    EXPECT_EQ(b.Avr().Writes(), 0);
    EXPECT_EQ(b.Avr().Fuse(0), 0x62);
    form.Get("StringGrid1").Items[26] = "-1";
    f->Click("Secrity");
    EXPECT_NE(f->Text("Msg").find("BLB01"), std::string::npos) << f->Text("Msg");
    EXPECT_EQ(b.Avr().Writes(), 0);
    // A click makes it a bit again.
    f->ClickCell("StringGrid1", 3);
    EXPECT_EQ(Cells()[3], "0");
}

TEST_F(Grid162, TheBatchStopsAtAnOverCurrentInTheErase) {
    b.sim->InjectOverCurrent();
    f->Click("Button1");
    EXPECT_NE(f->Text("Msg"), "End OK..");
    EXPECT_EQ(b.wb->Counter, "0");
    EXPECT_EQ(b.Avr().Writes(), 0);
}

TEST(Atmega162x, TheGridLivesInTheSideFileOfTheImage) {
    TempDir dir;
    const std::string image = dir.Write("noname.bin", {0x01, 0x02});
    {
        AvrBench b("ATmega162");
        b.wb->FileNew();  // the buffer window of a loaded image
        b.wb->DataFileName = image;
        AlgoForm& f = b.Line("ATMEGA162 2");
        f.ClickCell("StringGrid1", 0);   // "1" -> "0"
        f.ClickCell("StringGrid1", 24);  // "0" -> "1"
        f.Close();
    }
    std::vector<std::uint8_t> want = {'A', 't', 'm', 'e', 'g', 'a', '1', '6', '2', 'x', 0x0D, 0x0A};
    for (int i = 0; i < 32; ++i) want.push_back(i == 0 || (i >= 25 && i <= 27) ? 0 : 1);
    EXPECT_EQ(TempDir::Read(dir.File("noname.c48")), want);
    EXPECT_EQ(TempDir::Read(image), (std::vector<std::uint8_t>{0x01, 0x02})) << "the image is left alone";

    AvrBench b("ATmega162");
    b.wb->FileNew();
    b.wb->DataFileName = image;
    AlgoForm& f = b.Line("ATMEGA162 2");
    const auto& cells = f.Get("StringGrid1").Items;
    EXPECT_EQ(cells[0], "0");
    EXPECT_EQ(cells[24], "1");
    EXPECT_EQ(cells[25], "0");
    f.Click("WtFuse");
    EXPECT_EQ(b.Avr().Fuse(0), 0xFE);
}

TEST(Atmega162x, SideFilesThatNameAnotherFormOrEndEarly) {
    TempDir dir;
    const std::string image = dir.Write("prog.hex", {0x3A});
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        std::vector<std::string> cells;  // rows 0, 3, 24, 31
    };
    std::vector<std::uint8_t> shortFile = {'A', 't', 'm', 'e', 'g', 'a', '1', '6', '2', 'x', 0x0D, 0x0A, 0, 0xFF};
    std::vector<std::uint8_t> foreign = {'P', '1', '8', 'f', 'x', 'x', '2', 0x0D, 0x0A};
    foreign.resize(foreign.size() + 32, 0);
    const Case cases[] = {
        {"a short file: missing bytes unprogrammed", shortFile, {"0", "1", "1", "1"}},
        {"another form's file: defaults", foreign, {"1", "1", "0", "1"}},
    };
    for (const Case& c : cases) {
        dir.Write("prog.c48", c.file);
        AvrBench b("ATmega162");
        b.wb->FileNew();  // the buffer window of a loaded image
        b.wb->DataFileName = image;
        AlgoForm& f = b.Line("ATMEGA162 2");
        const auto& cells = f.Get("StringGrid1").Items;
        EXPECT_EQ(cells[0], c.cells[0]) << c.name;
        EXPECT_EQ(cells[24], c.cells[2]) << c.name;
        EXPECT_EQ(cells[31], c.cells[3]) << c.name;
        if (c.file == shortFile) {
            EXPECT_EQ(cells[1], "255");
        }
    }
}

TEST(Atmega162x, WithoutAnImageFileNoSideFileIsWritten) {
    TempDir dir;
    AvrBench b("ATmega162");
    b.wb->FileNew();
    b.wb->DataFileName = dir.File("never-saved.bin");
    AlgoForm& f = b.Line("ATMEGA162 2");
    f.Close();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

}  // namespace
}  // namespace quilla::test
