#include "algo/pic/p16f87x.h"

#include "algo/pic/p16c8x.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

const char* DesignForVcc(int vcc) {
    return vcc == 32 ? "pic16dip40.bit" : vcc == 26 ? "pic16dip28.bit" : vcc == 25 ? "pic16dip18.bit" : nullptr;
}

constexpr std::uint32_t kMask18 = 0x1FFFF800;

// The named boxes of P16F87X.
const NamedConfig kF87xConfig{
    .base = 0x3FFC,
    .boxes = {{.name = "CheckBox1", .caption = "Lockbit      ", .mask = 0x3030, .tickedUnlessAllOnes = true},
              {.name = "CheckBox2", .caption = "WTD          ", .ticked = true, .mask = 0x0004, .setsWhenTicked = true},
              {.name = "CheckBox3", .caption = "PWRT3          ", .mask = 0x0008},
              {.name = "CheckBox4", .caption = "允许低压复位(BODEN)", .ticked = true, .mask = 0x0040,
               .setsWhenTicked = true},
              {.name = "CheckBox5", .caption = "允许低压编程(LVP)", .ticked = true, .mask = 0x0080,
               .setsWhenTicked = true},
              {.name = "CheckBox6", .caption = "保护Data  (CPD)", .mask = 0x0100},
              {.name = "CheckBox7", .caption = "允许写flash(WRT)", .ticked = true, .mask = 0x0200,
               .setsWhenTicked = true},
              {.name = "CheckBox8", .caption = "禁止DEBUG(DEBUG)", .mask = 0x0800}}};

// The named boxes of P16F7X.
const NamedConfig kF7xConfig{
    .base = 0x3FFC,
    .boxes = {{.name = "CheckBox1", .caption = "Lockbit      ", .mask = 0x0010},
              {.name = "CheckBox2", .caption = "WTD          ", .ticked = true, .mask = 0x0004, .setsWhenTicked = true},
              {.name = "CheckBox3", .caption = "PWRT3          ", .mask = 0x0008},
              {.name = "CheckBox4", .caption = "BODEN", .ticked = true, .mask = 0x0040, .setsWhenTicked = true}}};

// The named boxes of P16F628.
const NamedConfig kF628Config{
    .base = 0x3FEC,
    .boxes = {{.name = "CheckBox1", .caption = "Lockbit      ", .mask = 0x3C00},
              {.name = "CheckBox2", .caption = "WTD          ", .ticked = true, .mask = 0x0004, .setsWhenTicked = true},
              {.name = "CheckBox3", .caption = "PWRT3          ", .mask = 0x0008},
              {.name = "CheckBox4", .caption = "允许 BODEN", .ticked = true, .mask = 0x0040, .setsWhenTicked = true},
              {.name = "CheckBox5", .caption = "允许 LVP", .ticked = true, .mask = 0x0080, .setsWhenTicked = true},
              {.name = "CheckBox6", .caption = "保护Data  (CPD)", .mask = 0x0100}},
    .oscBit4 = true};

}  // namespace

PicBoxesForm::PicBoxesForm(Workbench& w, std::string caption, const PicVariant& variant, PicFlashTraits traits,
                           NamedConfig config)
    : PicFlashForm(w, std::move(caption), variant, traits), config_(std::move(config)) {}

ControlRows PicBoxesForm::BoxesRows(const BoxesWindow& w) const {
    using namespace picwin;
    using namespace win;
    ControlRows boxes{Group({"GroupBox1", w.group})};
    for (const NamedBox& b : config_.boxes) boxes.push_back(Box({b.name, b.caption}, b.ticked, "GroupBox1"));
    return Join({OperationButtons(w.data),
                 boxes,
                 {Radio({"RadioGroup1", w.osc}, w.oscItems, 1), If(w.data, EraseChoice())},
                 FlashBatch(w.data),
                 {VerifyVoltage("5.0V", 0)},
                 IdFields(true),
                 Foot(false),
                 {PushButton(kExit), w.last}});
}

void PicBoxesForm::LoadDesignForRow() { Ep3.LoadBitFile(DesignForVcc(row_.VccPin)); }

void PicBoxesForm::ReadCon() {
    ReadConBoxes(BoxNames(), static_cast<int>(Get("RadioGroup1").Items.size()));
}

void PicBoxesForm::OnClose() {
    Ep3.PowerOff();
    WriteConBoxes(BoxNames());
}

void PicBoxesForm::ConfigToControls() {
    SetEnabled(kReadConfig, false);
    int item = static_cast<int>(ConfigWord & 3);
    if (config_.oscBit4 && ((ConfigWord >> 4) & 1u)) item += 4;
    ChooseByCode("RadioGroup1", item);
    for (const NamedBox& b : config_.boxes) {
        const std::uint32_t bits = ConfigWord & b.mask;
        bool ticked;
        if (b.setsWhenTicked) ticked = bits == b.mask;
        else if (b.tickedUnlessAllOnes) ticked = bits != b.mask;
        else ticked = bits == 0;
        SetByCode(b.name, ticked);
    }
    Put(kUserId, Hex4(UserId));
    SetEnabled(kReadConfig, true);
}

void PicBoxesForm::ControlsToConfig() {
    std::uint32_t w = config_.base;
    for (const NamedBox& b : config_.boxes)
        w = Checked(b.name) == b.setsWhenTicked ? (w | b.mask) : (w & ~static_cast<std::uint32_t>(b.mask));
    const int item = ItemIndex("RadioGroup1");
    w |= static_cast<std::uint32_t>(item) & 3u;
    if (config_.oscBit4 && item >= 4) w |= 1u << 4;
    ConfigWord = w;
    Status("Config = " + Hex4(ConfigWord));
    UserIdFromField();
}

bool PicBoxesForm::Check(PicStep) { return DeviceIdCheck(false); }

void PicBoxesForm::EraseClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::Erase)) return;
    Pic.Enter(r.Pins(), false);
    Status("Erasing....");
    if (!EraseByItem(r, ItemIndex("RadioGroup2"))) return;
    Ep3.VccPin(0);
    Success(eraseDone_);
}

void PicBoxesForm::Button1Click() {
    const PicRow& r = Row();
    RunBatch(FlashSteps(true),
             [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, MaskLo(), MaskHi(), 0) != 0; });
}

// ---- TP16f87x ----------------------------------------------------------------------------------------

TP16f87x::TP16f87x(Workbench& w)
    : PicBoxesForm(w, "P16f87x", picvariant::P16f87x, {.deviceIdMask = 0x3FE0}, kF87xConfig) {
    DeclareControls(BoxesRows({.group = "内CFG 制位",
                               .osc = "OSC Mode    位",
                               .oscItems = {"Low 晶振  LP", "普通晶振  XT", "Hi  晶振  HS", "阻容震振  RC"},
                               .last = win::Label({"Package", "Package"})}),
                    this, BoxesClicks<TP16f87x>());
    SetEnabled("CheckBox8", false);
    Table = F87xRows(kF87xNames, true);
    ReadCon();
}

std::string TP16f87x::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 0 || v >= static_cast<int>(Table.size()) || !Table[static_cast<std::size_t>(v)].Filled())
        return "Bad device line: variant " + std::to_string(v) + " of P16F87X is not in the device table";
    return {};
}

void TP16f87x::SetupForDevice() {
    if (!SetupBegin()) return;
    LoadDesignForRow();
    FormControl& pkg = Get("Package");
    pkg.Caption = row_.VccPin == 32 ? "PKG:  DIP40" : row_.VccPin == 26 ? "PKG:  DIP28" : "PKG:  DIP18";
    Repaint(pkg);
    Ep3.VppPin(0);
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.Display();
    Put(kType, wb.sel.SelectedDevice);
    for (const char* c : {"CheckBox5", "CheckBox6", "CheckBox7"}) SetEnabled(c, wb.sel.ExpectedId[0] != 0);
    SetEnabled("CheckBox8", false);
    SetupVcc = 5000;
    Ep3.SetVcc(5000);
    Ep3.SetVpp(12700);
    Put(kUserId, Hex4(wb.FileWin ? wb.FileWin->BufferChecksum : 0));
    ready_ = true;
}

// ---- TP16f7x1 ----------------------------------------------------------------------------------------

TP16f7x1::TP16f7x1(Workbench& w)
    : PicBoxesForm(w, "P16f7x1", picvariant::P16f7x1,
                   {.readStatus = "Reading data ........",
                    .readFlushesFirst = false,
                    .readResetsView = false,
                    .blankStatus = "Checking...........",
                    .configNotBlank = "CFG bit not blank!!!!!",
                    .blankDone = "Blank",
                    .writeKeepsVcc = true,
                    .writeDone = "OK",
                    .verifyChecksCurrent = true,
                    .deviceIdMask = 0x3FE0,
                    .readConfigLoad = 0xFFFF,
                    .writeConfigChecks = false},
                   kF7xConfig) {
    DeclareControls(BoxesRows({.group = "Int CFG   ",
                               .osc = "OSC Mode    ",
                               .oscItems = {"Low 晶振  LP", "普通晶振  XT", "Hi  晶振  HS", "阻容震振  RC"},
                               .last = win::Label({"Label3", "文件缓冲区4000h=数据(EEPROM)0000h"}),
                               .data = false}),
                    this, BoxesClicks<TP16f7x1>());
    Table = F87xRows(kF7xNames, false);
    ReadCon();
}

std::string TP16f7x1::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 0 || v >= static_cast<int>(Table.size()) || !Table[static_cast<std::size_t>(v)].Filled())
        return "Bad device line: variant " + std::to_string(v) + " of P16F7X is not in the device table";
    return {};
}

void TP16f7x1::SetupForDevice() {
    if (!SetupBegin()) return;
    LoadDesignForRow();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    if (wb.FileWin) wb.FileWin->EndAddr = row_.ProgramLast;
    wb.Display();
    Put(kType, wb.sel.SelectedDevice);
    Ep3.PinHigh(40);
    SetupVcc = 5000;
    Ep3.SetVcc(5000);
    Ep3.SetVpp(12700);
    Ep3.GndPin(row_.GndPin);
    Put(kUserId, Hex4(wb.FileWin ? wb.FileWin->BufferChecksum : 0));
    ready_ = true;
}

// The erase of the PIC16F7X: bulk erase of program memory and configuration
// word, in place of the erase group.
void TP16f7x1::EraseClick() { OneCommandEraseClick(&PicSerial::ChipEraseF9); }

// ---- TP16f628x ---------------------------------------------------------------------------------------

TP16f628x::TP16f628x(Workbench& w)
    : PicBoxesForm(w, "P16f628x", picvariant::P16f628x, {.deviceIdMask = 0x3FE0}, kF628Config) {
    eraseDone_ = "End.";
    DeclareControls(BoxesRows({.group = "内CFG 制位",
                               .osc = "OSC Mode    位",
                               .oscItems = {"Low 晶振 LP", "普通晶振 XT", "Hi  晶振 HS", "外部 ExtClk", "RC RA6=IO",
                                            "RC RA6=CLK out", "ER RA6=IO", "ER RA6=CLK out"},
                               .last = win::Label({"Label3", "文件缓冲区4000h=数据0000h"})}),
                    this, BoxesClicks<TP16f628x>());
    Table = {{.Name = "Exit"},
             {.Name = "1: PICF627 (1k)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x07FF,
              .EepromLast = 0x7F, .ContactLo = kMask18},
             {.Name = "2: PIC16F628 (2k)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x0FFF,
              .EepromLast = 0x7F, .ContactLo = kMask18}};
    ReadCon();
}

std::string TP16f628x::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 1 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of P16F628 is not in the device table";
    return {};
}

void TP16f628x::SetupForDevice() {
    if (!SetupBegin()) return;
    Ep3.LoadBitFile("pic16dip18.bit");
    Ep3.VppPin(0);
    Ep3.SetVpp(10000);
    Ep3.UsbPut1(OpWait100ms);
    Ep3.SetVcc(5000);
    SetupVcc = 5000;
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    if (wb.FileWin) wb.FileWin->EndAddr = 0x8000;
    wb.Display();
    Put(kType, wb.sel.SelectedDevice);
    Put(kUserId, Hex4(wb.FileWin ? wb.FileWin->BufferChecksum : 0));
    ready_ = true;
}

QUILLA_FORM(TP16f87x);
QUILLA_FORM(TP16f7x1);
QUILLA_FORM(TP16f628x);

}  // namespace quilla
