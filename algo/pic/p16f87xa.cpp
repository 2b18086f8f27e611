#include "algo/pic/p16f87xa.h"

#include <iterator>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

// P16F628A: 40, 28, 18 and 14-pin DIP, each with its label; no picture.
constexpr PicPackage kPackages628a[] = {kDip40, kDip28, kDip18, kDip14};

}  // namespace

PicKeyedForm::PicKeyedForm(Workbench& w, std::string caption, const PicVariant& variant, PicFlashTraits traits,
                           Keys keys)
    : PicFlashForm(w, std::move(caption), variant, traits), keys_(keys) {}

void PicKeyedForm::FillVariantTable() {
    F87xNames names = kF87xNames;
    names[6] = "7: PIC16F876A 8k";
    names[7] = "8: PIC16F877A 8k";
    Table = F87xRows(names, true);
}

std::string PicKeyedForm::DeviceLineError() const {
    const Selection& s = wb.sel;
    const int v = s.VariantIndex;
    const std::string kw = keys_.keyword;
    if (v < 0 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of " + kw + " is not in the device table";
    const int fla = s.GetParam("fla=");
    if (fla < 1 || static_cast<long long>(fla) * 2 > EepromImage)
        return "Bad device line: fla=" + std::to_string(fla) + " (1 to " + std::to_string(EepromImage / 2) + " words)";
    if (keys_.eeprom) {
        const int ee = s.GetParam("ee=");
        if (ee < 0 || ee > MaxEeprom)
            return "Bad device line: ee=" + std::to_string(ee) + " (0 to " + std::to_string(MaxEeprom) + ")";
    }
    const int pkg = s.GetParam("pkg=");
    const PicRow& r = Table[static_cast<std::size_t>(v)];
    if (!FindPicPackage(keys_.packages.data(), keys_.packages.size(), pkg) && !r.Filled())
        return "Bad device line: pkg=" + std::to_string(pkg) + " names no package for variant " + std::to_string(v);
    if (const int dly = s.GetParam("dly="); dly < 0 || dly > 1000)
        return "Bad device line: dly=" + std::to_string(dly) + " (0 to 1000)";
    if (keys_.fixedVcc == 0) {
        const int vcc = s.GetParam("vcc=");
        if (vcc < 0 || vcc > 6500) return "Bad device line: vcc=" + std::to_string(vcc);
    }
    return {};
}

void PicKeyedForm::SetupForDevice() {
    FillVariantTable();
    if (!SetupBegin()) return;
    Package = SetupFromLine(keys_.eeprom, keys_.captions, keys_.packages, keys_.packageLabel);
    SetupVcc = keys_.fixedVcc;
    if (SetupVcc == 0) {
        SetupVcc = wb.sel.GetParam("vcc=");
        if (SetupVcc < keys_.vccFloor) SetupVcc = 5000;
    }
    Ep3.SetVcc(SetupVcc);
    Ep3.SetVpp(12700);
    ready_ = true;
}

bool PicKeyedForm::Check(PicStep) { return DeviceIdCheck(false); }

int PicKeyedForm::Waits() const {
    std::string speed;
    if (Has("Speed")) speed = Text("Speed");
    else if (Has("CheckBox17") && Ticked("CheckBox17")) speed = "Fast写";
    return Pic.WaitCount({row_.WriteDelay, speed, 0});
}

ControlRows PicKeyedForm::EraseAndBatch(std::vector<std::string> eraseItems, int eraseItem) const {
    const bool erase = !eraseItems.empty();
    return win::Join({{win::If(erase, win::Radio({"RadioGroup2", "Erasing "}, std::move(eraseItems), eraseItem))},
                      FlashBatch(keys_.eeprom)});
}

void PicKeyedForm::Button1Click() {
    const PicRow& r = Row();
    RunBatch(FlashSteps(true),
             [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, r.ContactLo, r.ContactHi, 0) != 0; });
}

void PicKeyedForm::OnClose() {
    Ep3.PowerOff();
    WriteConFile();
}

// ---- TP16f87xa1 --------------------------------------------------------------------------------------

TP16f87xa1::TP16f87xa1(Workbench& w)
    : PicKeyedForm(w, "P16f87xa1", picvariant::P16f87xa1,
                   {.dataEnd = piccmd::EndProgramming87xA, .writeConfigStatus = "写ID...", .writeConfigThenWord = true},
                   {.keyword = "PIC1687XA", .captions = ConfigNameForm::P16f87xa1, .packages = kPicPackages44to18}) {
    DeclareControls(win::Join({OperationButtons(true),
                               picwin::ConfigBoxes("CFG Config(打勾编程为0)"),
                               EraseAndBatch({"程序+数据", "程序+数据+CFG "}, 1),
                               {WriteSpeed()},
                               IdFields(true),
                               picwin::Foot(false),
                               {win::PushButton(picwin::kExit)}}),
                    this, KeyedClicks<TP16f87xa1>());
    FillVariantTable();
    ReadConFile();
}

// Chip erase after a program load (program memory and data EEPROM) or a
// configuration load (also the configuration word and the IDs), by the
// erase group's item even when the group is disabled (no ee=).
void TP16f87xa1::EraseClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::Erase)) return;
    Pic.Enter(r.Pins(), false);
    Status("Erasing....");
    const std::uint8_t load = ItemIndex("RadioGroup2") == 0 ? piccmd::LoadProgram : piccmd::LoadConfig;
    Pic.PowerOn(r.Pins());
    Ep3.VppPin(r.VppPin);
    Pic.SerialEnable();
    Pic.ChipErase1F(load);
    Pic.Leave();
    Ep3.VccPin(0);
    Success("OK");
}

// ---- TP16fx --------------------------------------------------------------------------------------------

TP16fx::TP16fx(Workbench& w)
    : PicKeyedForm(w, "P16fx", picvariant::P16fx,
                   {.readStatus = "Reading data ........",
                    .readResetsView = false,
                    .blankStatus = "Checking...........",
                    .configNotBlank = "CFG bit not blank!!!!!",
                    .blankDone = "Blank",
                    .writeKeepsVcc = true,
                    .writeDone = "OK",
                    .verifyChecksCurrent = true,
                    .deviceIdMask = 0x3FFF,
                    .readConfigLoad = 0xFFFF,
                    .writeConfigChecks = false},
                   {.keyword = "PIC16F",
                    .captions = ConfigNameForm::P16fx,
                    .packages = kPicPackages44to18,
                    .eeprom = false,
                    .fixedVcc = 4400}) {
    DeclareControls(win::Join({OperationButtons(false),
                               picwin::ConfigBoxes("CFG Config(打勾编程为0)"),
                               EraseAndBatch({}, 0),
                               {picwin::VerifyVoltage("5.0V", 0)},
                               IdFields(false),
                               picwin::Foot(false),
                               {win::Label({"Label1", "文件缓冲区4000h=数据(EEPROM)0000h"}),
                                win::PushButton(picwin::kExit)}}),
                    this, KeyedClicks<TP16fx>());
    FillVariantTable();
    ReadConFile();
}

// The PIC16F7X names on the family's rows; no data EEPROM.
void TP16fx::FillVariantTable() {
    Table = F87xRows(kF7xNames, false);
}

// Bulk erase with the counter in the configuration area: program memory, the
// configuration word and the IDs.
void TP16fx::EraseClick() { OneCommandEraseClick(&PicSerial::BulkEraseWithConfig09); }

// Every pass starts with the device ID check; a refused chip ends the batch.
void TP16fx::Button1Click() {
    const PicRow& r = Row();
    RunBatch(FlashSteps(false),
             [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, r.ContactLo, r.ContactHi, 0) != 0; }, true,
             [this] { return DeviceIdCheck(false); });
}

// ---- TP16f628a1 -----------------------------------------------------------------------------------------

TP16f628a1::TP16f628a1(Workbench& w)
    : PicKeyedForm(w, "P16f628a1", picvariant::P16f628a1,
                   {.blankConfigMask = 0x31FF,
                    .writeVppOffFirst = false,
                    .blankSecondEntryChecks = false,
                    .dataBegin = piccmd::BeginEraseProgram},
                   {.keyword = "P16F628A",
                    .captions = ConfigNameForm::P16f628a1,
                    .packages = kPackages628a,
                    .packageLabel = true,
                    .fixedVcc = 4400}) {
    DeclareControls(win::Join({OperationButtons(true),
                               picwin::ConfigBoxes("CFG Config(打勾编程为0)"),
                               EraseAndBatch({"Code  ", "Data  ", "程序+数据"}, 2),
                               {WriteSpeed()},
                               IdFields(true),
                               picwin::Foot(false),
                               {win::Label({"Package", "Package"})}}),
                    this, KeyedClicks<TP16f628a1>());
    FillVariantTable();
    ReadConFile();
}

void TP16f628a1::FillVariantTable() {
    PicKeyedForm::FillVariantTable();
    Table[7].Name = "7: PIC16F876 8k";
    Table[8].Name = "8: PIC16F877 8k";
}

// Without data EEPROM (ee of 0 or 1) the F-form chip erase; otherwise the
// bulk erases of the erase group (09h, 0Bh, each followed by 08h and a wait).
void TP16f628a1::EraseClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::Erase)) return;
    Pic.PowerOn(r.Pins());
    Status("Erasing....");
    if (r.EepromLast <= 0) {
        if (!ChipEraseF(r)) return;
        Success("OK");
        return;
    }
    const int item = ItemIndex("RadioGroup2");
    auto eraseProgram = [&] {
        Pic.PowerOn(r.Pins());
        Pic.BulkEraseProgram09();
        Pic.Leave();
    };
    auto eraseData = [&] {
        Pic.PowerOn(r.Pins());
        Pic.BulkEraseData0B();
        Pic.Leave();
    };
    if (item == 0 || item == 2) eraseProgram();
    if (item == 1 || item == 2) eraseData();
    Ep3.VccPin(0);
    Success("OK");
}

QUILLA_FORM(TP16f87xa1);
QUILLA_FORM(TP16fx);
QUILLA_FORM(TP16f628a1);

}  // namespace quilla
