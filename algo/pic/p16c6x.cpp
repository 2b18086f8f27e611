#include "algo/pic/p16c6x.h"

#include <cstdio>

#include "algo/common/c48.h"
#include "algo/common/scan.h"
#include "algo/common/sidefile.h"
#include "algo/pic/p16c8x.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

// ---- the shared flows ------------------------------------------------------------------------------

PicOtpForm::PicOtpForm(Workbench& w, std::string caption, const PicVariant& variant)
    : PicForm(w, std::move(caption), variant) {
    fileConfig_ = {kFileConfig14, 0x3FFF, 0x3FFF, "boxes'"};
}

const PicRow& PicOtpForm::Row() {
    RefuseUnlessReady(ready_);
    return row_;
}

bool PicOtpForm::CheckContact() {
    const PicRow& r = Row();
    std::uint32_t lo = MaskLo, hi = MaskHi;
    if (lo == 0 && hi == 0) {
        for (int p : {r.VppPin, r.VccPin, r.GndPin}) {
            if (p >= 1 && p <= 32) lo |= 1u << (p - 1);
            else if (p >= 33 && p <= 48) hi |= 1u << (p - 33);
        }
    }
    return Ep3.CheckPinContact(r.GndPin, 0, lo, hi, 0) != 0;
}

std::array<std::uint16_t, 8> PicOtpForm::ReadConfigArea() {
    Pic.QueueConfigRead(0x00FF);
    Pic.Leave();
    return Pic.ReplyWords();
}

void PicOtpForm::UseRow(const PicRow& r) {
    row_ = r;
    Ep3.SetVpp(12000);
    Ep3.UsbPut1(OpWait100ms);
    Ep3.SetVcc(4400);
    ShowNewImage(row_.ProgramLast);
    AlgoForm::Show();
}

int PicOtpForm::Waits() const { return Pic.WaitCount({0, "", Has("RadioGroup2") ? ItemIndex("RadioGroup2") : 0}); }

void PicOtpForm::BlankClick() {
    const PicRow& r = Row();
    if (!CheckContact()) return;
    Status("Blank CHK");
    if (!PowerUp(true)) return;
    const auto area = ReadConfigArea();
    if ((area[7] & 0x3FFF) != 0x3FFF) {
        Status("CONFIG No!!!");
        wb.ErrorFlag() = 1;
        return;
    }
    if (!PowerUp(true)) return;
    wb.ErrorFlag() = 0;
    Ep3.UsbFlush();
    std::uint8_t block[64];
    for (std::int32_t a = 0; a < r.ProgramLast; a += 64) {
        ShowProgress(a, r.ProgramLast);
        Pic.ReadBlock(32, block);
        for (int k = 0; k < 32 && a + 2 * k < r.ProgramLast; ++k) {
            if (block[2 * k] != 0xFF || (block[2 * k + 1] & 0x3F) != 0x3F) {
                Status("No empty.");
                ShowProgress(a, r.ProgramLast);
                wb.ErrorFlag() = 1;
                Pic.Leave();
                return;
            }
        }
    }
    Pic.Leave();
    Success("OK");
}

void PicOtpForm::WriteClick() {
    const PicRow& r = Row();
    if (!CheckContact()) return;
    if (!NeedFileWindow()) return;
    Status("Write");
    MaskWordHighBytes(r.ProgramLast, 0x3F);
    wb.Display();
    PowerUp(false);
    const int waits = Waits();
    for (std::int32_t a = 0; a <= r.ProgramLast; a += 2) {
        const auto* img = wb.ImageBuffer.data() + a;
        Pic.ProgramWord(static_cast<std::uint16_t>(img[0] | ((img[1] & 0x3F) << 8)), waits);
        if ((a & 0xFF) == 0) {
            ShowProgress(a, r.ProgramLast);
            Ep3.UsbFlush();
        }
    }
    ShowProgress(r.ProgramLast, r.ProgramLast);
    Pic.Leave();
    Success("Ended.");
}

void PicOtpForm::ReadToFileClick() {
    const PicRow& r = Row();
    if (!CheckContact()) return;
    Status("Read.");
    if (!PowerUp(true)) return;
    Ep3.UsbFlush();
    for (std::int32_t a = 0; a < r.ProgramLast; a += 64) {
        ShowProgress(a, r.ProgramLast);
        Pic.ReadBlock(32, wb.ImageBuffer.data() + a);
    }
    MaskWordHighBytes(r.ProgramLast, 0x3F);
    ShowProgress(r.ProgramLast, r.ProgramLast);
    Pic.Leave();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void PicOtpForm::VerifyClick() {
    const PicRow& r = Row();
    if (!CheckContact()) return;
    if (verifyAtChosenVcc_) {
        Status("Verify.");
        Pic.PowerOn(r.Pins());
        const std::string volt = Text("VeriyVolt");
        Ep3.SetVcc(volt == "Vrfy电压3.3V" ? 3300 : volt == "Vrfy电压2.5V" ? 2500 : 4400);
        Ep3.VppPin(r.VppPin);
        Pic.SerialEnable();
    } else if (!PowerUp(true)) {
        return;
    }
    Ep3.UsbFlush();
    wb.ErrorFlag() = 0;
    std::uint8_t block[64];
    for (std::int32_t a = 0; a < r.ProgramLast; a += 64) {
        ShowProgress(a, r.ProgramLast);
        Pic.ReadBlock(32, block);
        for (int k = 0; k < 32 && a + 2 * k < r.ProgramLast; ++k) {
            const auto* img = wb.ImageBuffer.data() + a + 2 * k;
            if (block[2 * k] != img[0] || (block[2 * k + 1] & 0x3F) != (img[1] & 0x3F)) {
                Status("Error....");
                ShowProgress(a + 2 * k, r.ProgramLast);
                wb.ErrorFlag() = 1;
                Pic.Leave();
                Ep3.SetVcc(4400);
                return;
            }
        }
    }
    Pic.Leave();
    Ep3.SetVcc(4400);
    Success("OK");
    ShowProgress(r.ProgramLast, r.ProgramLast);
}

void PicOtpForm::WtConfigClick() {
    Row();
    if (!CheckContact()) return;
    Status(writeConfigStatus_);
    ControlsToConfig();
    SayFileConfigWord(ConfigWord);
    if (!PowerUp(true)) return;
    Pic.WriteConfigArea(UserId, ConfigWord, Waits());
    Pic.Leave();
    if (writeConfigDone_) Success(writeConfigDone_);
}

void PicOtpForm::Button1Click() {
    const PicRow& r = Row();
    if (!CheckContact()) return;
    RunBatch(OneTimeSteps(*this),
             [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, MaskLo, MaskHi, 0) != 0; }, true,
             [this] {
                 BeforePass();
                 return true;
             });
}

// ---- TP16c6x ---------------------------------------------------------------------------------------------

TP16c6x::TP16c6x(Workbench& w) : PicOtpForm(w, "P16c6x", picvariant::P16c6x), rng_(std::random_device{}()) {
    writeConfigDone_ = "OK";
    verifyAtChosenVcc_ = true;
    using namespace picwin;
    using namespace win;
    using F = TP16c6x;
    DeclareControls(Join({OneTimeButtons(),
                          {Hidden(PushButton({"SN", "SN"})), Group({"GroupBox1", "Int CFG   "})},
                          In("GroupBox1", {Box({"CheckBox1", "Lockbit      "}),
                                           Box({"CheckBox2", "WTD          "}, true),
                                           Box({"CheckBox3", "PWRTE          "}), Box({"CheckBox4", "BODEN"}, true)}),
                          {Radio({"RadioGroup1", "OSC Mode    位"}, OscItems(), 1),
                           Radio({"RadioGroup2", "Speed "}, {"快", "标准", "慢"}, 0), VerifyVoltage("4.5V", 0)},
                          Batch({{kBlankBox}, {kWriteBox}, {kVerifyBox}, {kWrtCfgBox}}, kRun1),
                          {UserIdField(), Label({"Package", "UV chip no locking  !!!"})},
                          Foot(false)}),
                    this,
                    {{"SN", &F::SNClick}, {"CheckBox1", &F::ConfigClick}, {"CheckBox2", &F::ConfigClick},
                     {"CheckBox3", &F::ConfigClick}, {"CheckBox4", &F::ConfigClick}, {"RadioGroup1", &F::ConfigClick},
                     {kRun1.Name, &F::Button1Click}});
    BindHandlers(this, OneTimeClicks<F>());
    FillVariantTable();
    ReadConBoxes({"CheckBox1", "CheckBox2", "CheckBox3"}, 4);
}

void TP16c6x::FillVariantTable() {
    Table = {
        {.Name = "Exit"},
        {.Name = "1: PIC16C64  (2k)", .VppPin = 1, .VccPin = 32, .GndPin = 31, .ProgramLast = 0x0FFF},
        {.Name = "2: PIC16C64A (2K)", .VppPin = 1, .VccPin = 32, .GndPin = 31, .ProgramLast = 0x0FFF},
        {.Name = "3: PIC16C65  (4K)", .VppPin = 1, .VccPin = 32, .GndPin = 31, .ProgramLast = 0x1FFF},
        {.Name = "4: PIC16C65A (4K)", .VppPin = 1, .VccPin = 32, .GndPin = 31, .ProgramLast = 0x1FFF},
        {.Name = "5: PIC16C74  (4K)", .VppPin = 1, .VccPin = 32, .GndPin = 31, .ProgramLast = 0x1FFF},
        {.Name = "6: PIC16C74A (4K)", .VppPin = 1, .VccPin = 32, .GndPin = 31, .ProgramLast = 0x1FFF},
        {.Name = "7: PIC16C71 (1K)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x07FF},
        {.Name = "8: PIC16C61 (1K)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x07FF},
        {.Name = "9: PIC16C620 (512)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x03FF},
        {.Name = "10: PIC16C621 (1K)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x07FF},
        {.Name = "11:PIC16C622 (2K)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x0FFF},
        {.Name = "12:PIC16C62 (2K)", .VppPin = 7, .VccPin = 26, .GndPin = 25, .ProgramLast = 0x0FFF},
        {.Name = "13:PIC16C73 (4K)", .VppPin = 7, .VccPin = 26, .GndPin = 25, .ProgramLast = 0x1FFF},
        {.Name = "14:PIC16C72 (2K)", .VppPin = 7, .VccPin = 26, .GndPin = 25, .ProgramLast = 0x0FFF},
        {.Name = "15:PIC16C76 (8K)", .VppPin = 7, .VccPin = 26, .GndPin = 25, .ProgramLast = 0x3FFF},
        {.Name = "16: PIC16C77 (8K)", .VppPin = 1, .VccPin = 32, .GndPin = 31, .ProgramLast = 0x3FFF},
    };
}

std::string TP16c6x::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 1 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of P16C61 is not in the device table";
    const int add = wb.sel.GetParam("add=");
    const std::int32_t last = Table[static_cast<std::size_t>(v)].ProgramLast;
    if (add < 0 || (add > 0 && add + 6 > last))
        return "Bad device line: add=" + std::to_string(add) + " (the stamp needs add to add+6 inside the program, 0 to " +
               std::to_string(last - 6) + ")";
    return {};
}

void TP16c6x::SetupForDevice() {
    ready_ = false;
    FillVariantTable();
    if (!AcceptDeviceLine()) return;
    PicRow& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    const std::string& type = wb.sel.TypeText;
    struct Adapter {
        const char* tag;
        const char* picture;
        const char* design;
        std::uint32_t lo;
    };
    const Adapter p44{.tag = "*P44", .picture = "p44b.bmp", .design = "pic16plcc44.bit", .lo = 0x248600},
        q44{.tag = "*Q44", .picture = "qfp44.bmp", .design = "pic16qfp44.bit", .lo = 0x290600};
    const Adapter* adapter = type.find(p44.tag) != std::string::npos   ? &p44
                             : type.find(q44.tag) != std::string::npos ? &q44
                                                                        : nullptr;
    if (adapter) {
        Ep3.ShowPlacementBitmap(adapter->picture);
        Ep3.LoadBitFile(adapter->design);
        r.VppPin = 22;
        r.VccPin = 11;
        r.GndPin = 10;
        MaskLo = adapter->lo;
        MaskHi = 0;
    } else if (r.VccPin == 32) {
        Ep3.LoadBitFile("pic16dip40c.bit");
        MaskLo = 0xFFFFFFFF;
        MaskHi = 0xFF;
    } else if (r.VccPin == 26) {
        Ep3.LoadBitFile("pic16dip28c.bit");
        MaskLo = 0xFFFFFF80;
        MaskHi = 0x03;
    } else if (r.VccPin == 25) {
        Ep3.LoadBitFile("pic16dip18c.bit");
        MaskLo = 0x1FFFF800;
        MaskHi = 0;
    }
    UseRow(r);
    Put(kType, wb.sel.SelectedDevice);
    SetEnabled("CheckBox4", wb.sel.ExpectedId[0] != 1);
    Put(kUserId, Hex4(wb.FileWin ? wb.FileWin->BufferChecksum : 0));
    ready_ = true;
}

void TP16c6x::OnClose() {
    Ep3.PowerOff();
    WriteConBoxes({"CheckBox1", "CheckBox2", "CheckBox3"});
}

// A disabled BODEN box (a part without brown-out detection) counts as unticked.
void TP16c6x::ControlsToConfig() {
    std::uint32_t w = static_cast<std::uint32_t>(ItemIndex("RadioGroup1")) & 3u;
    if (Ticked("CheckBox2")) w |= 0x04;
    if (!Ticked("CheckBox3")) w |= 0x08;
    if (Ticked("CheckBox4")) w |= 0x40;
    if (!Ticked("CheckBox1")) w |= 0x3FB0;
    ConfigWord = w;
    Status("Config = " + Hex4(ConfigWord));
    UserIdFromField();
}

void TP16c6x::ConfigToControls() {
    SetEnabled(kReadConfig, false);
    ChooseByCode("RadioGroup1", static_cast<int>(ConfigWord & 3));
    SetByCode("CheckBox2", (ConfigWord & 0x04) != 0);
    SetByCode("CheckBox3", (ConfigWord & 0x08) == 0);
    SetByCode("CheckBox4", (ConfigWord & 0x40) != 0);
    SetByCode("CheckBox1", (ConfigWord & 0x30) != 0x30);
    Put(kUserId, Hex4(UserId));
    SetEnabled(kReadConfig, true);
}

void TP16c6x::RdConfigClick() {
    Row();
    if (!CheckContact()) return;
    SetEnabled(kReadConfig, false);
    if (!PowerUp(true)) {
        SetEnabled(kReadConfig, true);
        return;
    }
    const auto area = ReadConfigArea();
    UserId = UserIdFromWords(area.data());
    ConfigWord = area[7];
    ConfigToControls();
    Put(kUserId, Hex4(UserId));
    SetEnabled(kReadConfig, true);
    Success("Config = " + Hex4(ConfigWord));
}

// The stamp: four bytes of r x r + 1234 (r below 32767) into the low bytes of
// the four words from add=.
void TP16c6x::SNClick() {
    const int a = wb.sel.GetParam("add=");
    if (a > 0 && a + 6 <= row_.ProgramLast) {
        const std::uint32_t r = static_cast<std::uint32_t>(rng_() % 32767u);
        std::uint32_t v = r * r + 1234u;
        for (int i = 0; i < 4; ++i) {
            wb.ImageBuffer[static_cast<std::size_t>(a + 2 * i)] = static_cast<std::uint8_t>(v & 0xFF);
            v >>= 8;
        }
    }
    wb.Display();
    AlgoForm::Show();
}

// ---- TP16cxxx1 -------------------------------------------------------------------------------------------

namespace {

using CaptionSet = std::array<const char*, 16>;
constexpr CaptionSet kOtpNames[5] = {
    {"FOSC0", "FOSC1", "WDTE", "PWPTE", "CP", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-"},
    {"FOSC0", "FOSC1", "WDTE", "PWPTE", "CP0", "CP1", "Reserved", "Reserved", "-", "-", "-", "-", "-", "-", "-", "-"},
    {"FOSC0", "FOSC1", "WDTE", "PWPTE", "CP0", "CP1", "BODEN", "Reserved", "CP0", "CP1", "CP0", "CP1", "CP0", "-", "-",
     "-"},
    {"FOSC0", "FOSC1", "FOSC2", "WDTE", "PWPTE", "MCLRE", "BODEN", "-", "CP", "CP", "BORV0", "BORV1", "CP", "CP", "-",
     "-"},
    {"FOSC0", "FOSC1", "FOSC2", "WDTE", "PWPTE", "CP0", "CP1", "MCLRE", "CP0", "CP1", "CP0", "CP1", "CP0", "CP1", "-",
     "-"},
};
constexpr const char* kGrid = "StringGrid1";

struct OtpPackage {
    int pkg = 0;
    std::uint32_t lo = 0, hi = 0;
    const char* firstDesign = nullptr;  // the first pass (masks), or none
    const char* picture = nullptr;
    const char* design = nullptr;
    int vpp = 0, vcc = 0, gnd = 0;
};
constexpr OtpPackage kOtpPackages[] = {
    {.pkg = 44, .picture = "p44b.bmp", .design = "pic18plcc44.bit", .vpp = 22, .vcc = 11, .gnd = 10},
    {.pkg = 45, .picture = "qfp44.bmp", .design = "pic18qfp44.bit", .vpp = 22, .vcc = 11, .gnd = 10},
    {.pkg = 40, .lo = 0xFFFFFFFF, .hi = 0xFF, .firstDesign = "pic16dip40c.bit", .design = "pic16dip40c.bit",
     .vpp = 1, .vcc = 32, .gnd = 31},
    {.pkg = 28, .lo = 0xFFFFFF80, .hi = 0x03, .firstDesign = "pic16dip28c.bit", .design = "pic16dip28.bit",
     .vpp = 7, .vcc = 26, .gnd = 25},
    {.pkg = 20, .lo = 0x1FFFF800, .firstDesign = "pic16dip18c.bit", .design = "pic16dip20.bit", .vpp = 14, .vcc = 26,
     .gnd = 15},
    {.pkg = 18, .lo = 0x1FFFF800, .firstDesign = "pic16dip18c.bit", .design = "pic16dip18.bit", .vpp = 15, .vcc = 25,
     .gnd = 16},
    {.pkg = 8, .design = "pic16dip08.bit", .vpp = 20, .vcc = 17, .gnd = 24},
};

const OtpPackage* FindOtpPackage(int pkg) {
    for (const auto& p : kOtpPackages)
        if (p.pkg == pkg) return &p;
    return nullptr;
}

}  // namespace

TP16cxxx1::TP16cxxx1(Workbench& w) : PicOtpForm(w, "P16cxxx1", picvariant::P16cxxx1) {
    writeConfigStatus_ = "烧CFG 位...";
    fileConfig_.controls = "grid's";
    std::vector<std::string> names(kOtpNames[0].begin(), kOtpNames[0].end());
    using namespace picwin;
    using namespace win;
    using F = TP16cxxx1;
    DeclareControls(Join({{Grid({kGrid, "CFG ："}, names, std::vector<std::string>(16, "1")), UserIdField(),
                           PushButton(kWrite), PushButton(kVerify), PushButton(kRead), PushButton(kBlank),
                           PushButton(kWrtCfg), PushButton(kReadCfg)},
                          Batch({{kBlankBox}, {kWriteBox}, {kVerifyBox}, {kWrtCfgBox}}, kRun1),
                          {AddressField("Add ", false), StatusField("Prompt  "), ProgressBar()}}),
                    this, {{kGrid, &F::StringGrid1Click}, {kRun1.Name, &F::Button1Click}});
    BindHandlers(this, OneTimeClicks<F>());
    FillVariantTable();
    // The grid of the last run on this image. A byte the file does not hold is
    // an unprogrammed bit ("1"), never a programmed one: these are one-time cells.
    if (auto settings = ReadC48(SideFile(C48Extension), C48P16cxxx1)) {
        for (int i = 0; i < 16; ++i) {
            const auto& b = (*settings)[static_cast<std::size_t>(i)];
            PutCell(kGrid, i, b ? std::to_string(*b) : std::string("1"));
        }
    }
}

void TP16cxxx1::FillVariantTable() {
    Table.assign(17, PicRow{});
    for (int i = 1; i <= 16; ++i) {
        PicRow& r = Table[static_cast<std::size_t>(i)];
        if (i <= 6 || i == 16) r = {.VppPin = 1, .VccPin = 32, .GndPin = 31};
        else if (i <= 11) r = {.VppPin = 15, .VccPin = 25, .GndPin = 16};
        else r = {.VppPin = 7, .VccPin = 26, .GndPin = 25};
    }
}

std::string TP16cxxx1::DeviceLineError() const {
    const Selection& s = wb.sel;
    const int v = s.VariantIndex;
    if (v < 0 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of P16CXXX is not in the device table";
    const int fla = s.GetParam("fla=");
    if (fla < 1 || static_cast<long long>(fla) * 2 > 0x4000)
        return "Bad device line: fla=" + std::to_string(fla) + " (1 to 8192 words)";
    if (!FindOtpPackage(s.GetParam("pkg=")) && !Table[static_cast<std::size_t>(v)].Filled())
        return "Bad device line: pkg=" + std::to_string(s.GetParam("pkg=")) + " names no package for variant " +
               std::to_string(v);
    return {};
}

void TP16cxxx1::SetupForDevice() {
    ready_ = false;
    FillVariantTable();
    if (!AcceptDeviceLine()) return;
    PicRow& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    if (const OtpPackage* p = FindOtpPackage(wb.sel.GetParam("pkg="))) {
        if (p->firstDesign) {
            MaskLo = p->lo;
            MaskHi = p->hi;
            Ep3.LoadBitFile(p->firstDesign);
        }
        if (p->picture) Ep3.ShowPlacementBitmap(p->picture);
        Ep3.LoadBitFile(p->design);
        r.VppPin = p->vpp;
        r.VccPin = p->vcc;
        r.GndPin = p->gnd;
    }
    // cfg= outside 0-4 shows set 0.
    const int cfg = wb.sel.GetParam("cfg=");
    const CaptionSet& names = kOtpNames[cfg >= 0 && cfg <= 4 ? cfg : 0];
    FormControl& grid = Get(kGrid);
    grid.RowNames.assign(names.begin(), names.end());
    Repaint(grid);
    r.ProgramLast = 2 * wb.sel.GetParam("fla=") - 1;
    UseRow(r);
    Put(kUserId, Hex4(wb.FileWin ? wb.FileWin->BufferChecksum : 0));
    ready_ = true;
}

void TP16cxxx1::ControlsToConfig() {
    std::uint32_t w = 0;
    const auto& cells = Get(kGrid).Items;
    for (std::size_t i = 0; i < 16; ++i)
        if (cells[i] == "1") w |= 1u << i;
    ConfigWord = w;
    Status("Config = " + Hex4(ConfigWord));
    UserIdFromField();
}

void TP16cxxx1::StringGrid1Click() {
    const int row = ItemIndex(kGrid);
    if (row < 0 || row >= 16) return;
    const std::string& cell = Get(kGrid).Items[static_cast<std::size_t>(row)];
    PutCell(kGrid, row, cell == "0" ? "1" : "0");
    ControlsToConfig();
}

// The grid's cells become one-time bits: a cell that is neither "0" nor "1"
// (a side file of another form, a value typed elsewhere) refuses the write.
void TP16cxxx1::WtConfigClick() {
    const auto& cells = Get(kGrid).Items;
    for (std::size_t i = 0; i < 16; ++i) {
        if (cells[i] != "0" && cells[i] != "1") {
            const std::string text = "CFG " + Get(kGrid).RowNames[i] + " = \"" + cells[i] + "\": not 0 or 1, nothing written";
            Status(text);
            wb.prompts.ShowMsg(text);
            StepFailed();
            return;
        }
    }
    PicOtpForm::WtConfigClick();
}

void TP16cxxx1::RdConfigClick() {
    Row();
    if (!CheckContact()) return;
    SetEnabled(kReadConfig, false);
    if (!PowerUp(true)) {
        SetEnabled(kReadConfig, true);
        return;
    }
    const auto area = ReadConfigArea();
    const std::uint32_t id = UserIdFromWords(area.data());
    Put(kUserId, Hex4(id));
    SetEnabled(kReadConfig, true);
    Success(FormatText("Config:%04x, user ID:%04x", area[7], id));
}

// The grid as it stands; the supplies stay as they are (every operation has
// already taken them off the pins).
void TP16cxxx1::OnClose() {
    std::vector<std::uint8_t> bytes(16);
    const auto& cells = Get(kGrid).Items;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(ScanDec(cells[i]).value_or(1) & 0xFF);
    WriteC48(SideFile(C48Extension), C48P16cxxx1, bytes);
}

QUILLA_FORM(TP16c6x);
QUILLA_FORM(TP16cxxx1);

}  // namespace quilla
