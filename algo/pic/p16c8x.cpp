#include "algo/pic/p16c8x.h"

#include "algo/common/sidefile.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

// A row in the 18-pin socket place.
PicRow OnDip18(PicRow r) {
    r.VppPin = 15;
    r.VccPin = 25;
    r.GndPin = 16;
    r.ContactLo = TP16c8x::ContactLo;
    return r;
}

}  // namespace

TP16c8x::TP16c8x(Workbench& w)
    : PicFlashForm(w, "P16c8x", picvariant::P16c8x,
                   {.writeKeepsVcc = true, .verifyChecksCurrent = true, .readDataInclusive = true,
                    .deviceIdMask = 0x3FE0, .writeConfigDone = "OK"}) {
    using namespace picwin;
    using namespace win;
    using F = TP16c8x;
    DeclareControls(
        Join({OperationButtons(),
              {Group({"GroupBox1", "CFG Bits  "})},
              In("GroupBox1", {Box({"CheckBox1", "Lockbit      "}), Box({"CheckBox2", "WTD          "}, true),
                               Box({"CheckBox3", "PWRT3          "})}),
              {Radio({"RadioGroup1", "OSC CFG bits  "},
                     {"Low 晶振  LP", "普通晶振  XT", "Hi  晶振  HS", "阻容震振  RC"}, 1),
               EraseChoice(), Radio({"Speed", "Speed "}, {"Mid.(10mS)", "Slow(20mS)"}, 0)},
              Batch({{kEraseBox}, {kBlankBox}, {kWriteBox}, {{"CheckBoxVer", "Verf."}}, {kDataBox}, {kWrtCfgBox}},
                    kRun1),
              {VerifyVoltage("5.0V", 0)},
              IdFields(true),
              Foot(false),
              {Label({"Package"}), Label({kConfigLabel, "文件缓冲区4000h=数据(EEPROM)0000h"}), PushButton(kExit)}}),
        this,
        {{"CheckBox1", &F::ConfigClick}, {"CheckBox2", &F::ConfigClick}, {"CheckBox3", &F::ConfigClick},
         {"RadioGroup1", &F::ConfigClick}, {"RadioGroup2", &F::ConfigClick}, {kRun1.Name, &F::Button1Click},
         {kExit.Name, &F::Close}});
    BindHandlers(this, OperationClicks<F>());
    FillVariantTable();
    ReadConBoxes({"CheckBox1", "CheckBox2", "CheckBox3"}, 4);
}

void TP16c8x::FillVariantTable() {
    Table = {
        PicRow{},
        OnDip18({.Name = "1: PIC16C83 (.5k)", .ProgramLast = 0x03FF, .EepromLast = 0x3F}),
        OnDip18({.Name = "2: PIC16C/F84 (1k)", .ProgramLast = 0x07FF, .EepromLast = 0x3F}),
        OnDip18({.Name = "3: PIC16C/F86 (2k)", .ProgramLast = 0x0FFF, .EepromLast = 0x3F}),
        OnDip18({.Name = "4: PIC16F83 (.5k)", .ProgramLast = 0x03FF, .EepromLast = 0x3F}),
        OnDip18({.Name = "5: PIC16F84 (1k)", .ProgramLast = 0x07FF, .EepromLast = 0x3F}),
        OnDip18({.Name = "7: PIC16F84A (1k)", .ProgramLast = 0x07FF, .EepromLast = 0x3F, .Revision = 'A'}),
        OnDip18({.Name = "6: PIC16F86A(2k)", .ProgramLast = 0x0FFF, .EepromLast = 0, .Revision = 'A'}),
    };
    Table[0].Name = "Exit";
}

std::string TP16c8x::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 1 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of P16C84 is not in the device table";
    return {};
}

void TP16c8x::SetupForDevice() {
    FillVariantTable();
    if (!SetupBegin()) return;
    Ep3.LoadBitFile("pic16dip18.bit");
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    if (wb.FileWin) wb.FileWin->EndAddr = 0x5000;
    wb.Display();
    FormControl& pkg = Get("Package");
    pkg.Caption = row_.VccPin == 32 ? "PKG:  DIP40" : row_.VccPin == 26 ? "PKG:  DIP28" : "PKG:  DIP18";
    Repaint(pkg);
    Put(kType, wb.sel.SelectedDevice);
    for (int n = 1; n <= 40; ++n)
        if (n != 20) Ep3.SetPinOption(n, 1);
    Ep3.PinHigh(40);
    SetupVcc = 5000;
    Ep3.SetVcc(5000);
    Ep3.SetVpp(12500);
    Put(kUserId, Hex4(wb.FileWin ? wb.FileWin->BufferChecksum : 0));
    ready_ = true;
}

int TP16c8x::Waits() const { return Pic.WaitCount({0, "", ItemIndex("Speed")}); }

bool TP16c8x::Contact() { return Ep3.CheckPinContact(Row().GndPin, 0, ContactLo, 0, 0) != 0; }

bool TP16c8x::CheckDeviceId() {
    return Pic.CheckDeviceId(wb.sel, Row().Pins(), 0xFF, true);
}

bool TP16c8x::Check(PicStep op) {
    switch (op) {
        case PicStep::WriteConfig:
        case PicStep::ReadData:
            return Contact();
        case PicStep::WriteData:
            return CheckDeviceId();
        default:
            return Contact() && CheckDeviceId();
    }
}

// ---- configuration ---------------------------------------------------------------------------

void TP16c8x::ConfigToControls() {
    SetEnabled(kReadConfig, false);
    ChooseByCode("RadioGroup1", static_cast<int>(ConfigWord & 3));
    SetByCode("CheckBox1", !((ConfigWord >> 4) & 1u));
    SetByCode("CheckBox2", (ConfigWord >> 2) & 1u);
    SetByCode("CheckBox3", (ConfigWord >> 3) & 1u);
    Put(kUserId, Hex4(UserId));
    SetEnabled(kReadConfig, true);
}

void TP16c8x::ControlsToConfig() {
    ConfigWord = static_cast<std::uint32_t>(ItemIndex("RadioGroup1")) & 3u;
    if (Checked("CheckBox2")) ConfigWord |= 1u << 2;
    if (Checked("CheckBox3")) ConfigWord |= 1u << 3;
    // Bits 13-5 follow the Lockbit: on the PIC16F83/84/84A they are code
    // protection with bit 4 (all programmed together), on the PIC16C84 unused.
    if (!Checked("CheckBox1")) ConfigWord |= 0x3FF0;
    Status("Config = " + Hex4(ConfigWord));
    UserIdFromField();
}

// ---- erase -----------------------------------------------------------------------------------------

void TP16c8x::EraseRoutine(const PicRow& r, int which) {
    Pic.Enter(r.Pins(), false);
    if (r.Revision == 'A') Pic.EraseAll0107();  // the protection-off erase of the PIC16F84A
    else if (which == 0) Pic.EraseProgram0107();
    else if (which == 1) Pic.EraseData0107();
    else Pic.EraseAll0107();
    Ep3.VppPin(0);
    if (which != 1) Ep3.VccPin(0);
}

void TP16c8x::EraseClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::Erase)) return;
    Pic.PowerOn(r.Pins());
    Ep3.VppPin(r.VppPin);
    Pic.SerialEnable();
    Status("Erasing....");
    switch (ItemIndex("RadioGroup2")) {
        case 0: EraseRoutine(r, 0); break;
        case 1: EraseRoutine(r, 1); break;
        case 2: EraseRoutine(r, 0); EraseRoutine(r, 1); break;
        default: EraseRoutine(r, 2); EraseRoutine(r, 1); break;
    }
    Success("OK");
}

// ---- batch and close ---------------------------------------------------------------------------

void TP16c8x::Button1Click() {
    const PicRow& r = Row();
    if (!CheckDeviceId()) return;
    RunBatch(FlashSteps(true),
             [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, ContactLo, 0, 0) != 0; });
}

void TP16c8x::OnClose() {
    Ep3.PowerOff();
    WriteConBoxes({"CheckBox1", "CheckBox2", "CheckBox3"});
}

QUILLA_FORM(TP16c8x);

}  // namespace quilla
