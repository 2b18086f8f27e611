#include "algo/mcs51/ds89.h"

#include <cstdio>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP33 = 13, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;

constexpr Package51 kP51Dip40{"DIP40", "p51dip40.bit", 31, 40, 20, 0xFFFFFFFFu, 0xFFu};
constexpr Package51 kP51Plcc44{"PLCC44", "p51plcc44.bit", 33, 42, 20, 0x7FEFFDFFu, 0xFFu};

}  // namespace

TDs89c4xx::TDs89c4xx(Workbench& w) : Mcs51Form(w, "DS89C4x0", {21, 22, 23, 24, 25, 26, 14, 15}) {
    DeclareStatus();
    Put(kMsg, "");
    Put(kAddress, "");
    DeclareButtons51({{"Read1", "Read  ", [this] { ReadRom(); }},
                      {"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Verify", "Vrfy", [this] { VerifyClick(); }},
                      {"Write", "Write.", [this] { WriteClick(); }},
                      {"Erase", "Erase", [this] { EraseClick(); }},
                      {"ID", "MFG ID  ", [this] { IDClick(); }},
                      {"Button2", "Rd.CFG ", [this] { Button2Click(); }},
                      {"Config", "Wr.CFG ", [this] { ConfigClick(); }},
                      {"Secrity", "Lock ", [this] { SecrityClick(); }}});
    AddRadio("RadioGroup1", "LockMode",
             {"1.NoLock", "2.防止外部MOVC", "3.加No R  (Lock)", "4.No external code"}, 2);
    AddGroup("GroupBox2", "CFG ");
    AddCheck("CheckBox4", "Enable Watchdog", false, "GroupBox2");
    AddGroup("GroupBox1", "Batch   ");
    for (auto [name, caption] : std::vector<std::pair<const char*, const char*>>{{"CheckEra", "Erase "},
                                                                                {"CheckBla", "Blank?  "},
                                                                                {"CheckWri", "Write."},
                                                                                {"CheckCon", "Wr.CFG "},
                                                                                {"CheckVer", "Vrfy"},
                                                                                {"CheckSec", "Lock"}})
        AddCheck(name, caption, true, "GroupBox1");
    AddButton("Button1", " Run  ", [this] { Button1Click(); }, "GroupBox1");
    FillVariantTable();
}

void TDs89c4xx::FillVariantTable() {
    Table = {{"Exit", 0},
             {"1: DS89C420 16Kx8", 0x3FFF},
             {"2: DS89C430 16Kx8", 0x3FFF},
             {"3: DS89C440 32Kx8", 0x7FFF},
             {"4: DS89C450 64Kx8", 0xFFFF}};
}

void TDs89c4xx::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText, kP51Dip40, kP51Plcc44));
    SetupShow();
    FillVariantTable();
    ShowRowRange(*SelectedRow());
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVpp(5000);
    Ep3.SetVcc(5000);
}

void TDs89c4xx::OnClose() { Ep3.PowerOff(); }

// ---- routines --------------------------------------------------------------------------------

void TDs89c4xx::SetModePins51(bool p26, bool p27, bool p36, bool p37) {
    Ep3.SetPin(p26, kP26);
    Ep3.SetPin(p27, kP27);
    Ep3.SetPin(p36, kP36);
    Ep3.SetPin(p37, kP37);
}

void TDs89c4xx::PowerUp51() {
    Ep3.VccPin(0);
    Ep3.GndPin(GndPinNo);
    Ep3.SetAllPins(0);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.ClockPin(kXtal1);
    Put1(OpWait100ms);
    Ep3.SetPortMode(PortMode51Read);
    Ep3.VccPin(VccPinNo);
    SetModePins51(false, false, false, false);
    Ep3.PinLow(kP33);
    SetPins({H(kRst), L(kPsen), H(kEa)});
    SetAddress51(0);
    SetPins({H(kProg), H(kEa)});
    Flush();
}

void TDs89c4xx::ProgramByte51(std::uint8_t b) {
    Ep3.UsbPut2(OpPutData51, b);
    Ep3.PinLow(kProg);
    Waits(OpWaitShort, 2);
    Ep3.PinHigh(kProg);
}

void TDs89c4xx::LockBitPulse51(int level) {
    switch (level) {
        case 1: SetModePins51(true, true, true, true); break;
        case 2: SetModePins51(true, true, false, false); break;
        case 3: SetModePins51(true, false, true, false); break;
        default: break;  // "1.NoLock": the strobe in the power-up setting
    }
    Ep3.PinHigh(kP33);
    ProgramByte51(0xFF);
}

int TDs89c4xx::CheckDeviceId() {
    IdCheck51 c;
    c.Bytes = 3;
    c.ClearsErrorFlag = false;
    c.LockedFirst = false;
    c.LockedQuestion = "Maybe locked, or no chip...\n OK ? ";
    c.WrongNoSetsError = false;
    return CheckDeviceIdWith(c, [this] { IDClick(); });
}

// ---- the handlers -----------------------------------------------------------------------------------

void TDs89c4xx::ReadRom() {
    const Mcs51Row& r = Row();
    if (!ContactTest()) return;
    PreCheck51();
    Status("Reading..........");
    PowerUp51();
    ReadSetting();
    SetPins({H(kEa), H(kProg)});
    Flush();
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(PortMode51Read);
    ReadImage51(r);
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TDs89c4xx::BlankClick() {
    const Mcs51Row& r = Row();
    if (!ContactTest()) return;
    PreCheck51();
    Status("Blank CHK");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(14, 0);
    ReadSetting();
    Ep3.PinHigh(kProg);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    BlankBlocks51(r, [this] { SuppliesOff(); });
}

void TDs89c4xx::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!ContactTest()) return;
    PreCheck51();
    Status("Verify.");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(14, 0);
    ReadSetting();
    SetPins({H(kProg), H(kEa)});
    Flush();
    if (!Ep3.CheckCurrent()) return;
    CheckBlocks51(r, kVerifyPass51, [this] { Ep3.VccPin(0); }, [this] { SuppliesOff(); });
}

void TDs89c4xx::WriteClick() {
    const Mcs51Row& r = Row();
    if (!ContactTest()) return;
    PreCheck51();
    if (!CheckDeviceId()) return;
    if (!NeedFileWindow()) return;
    Status("Write");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetModePins51(false, true, true, true);
    Ep3.PinHigh(kP33);
    Flush();
    Ep3.PinHigh(kEa);
    if (!Ep3.CheckCurrent()) return;
    PageLoop51(r, [this](std::uint8_t v) { ProgramByte51(v); });
    ShowProgress(r.LastAddress);
    Ep3.VccPin(0);
    Success("OK");
}

void TDs89c4xx::EraseStage(bool p37) {
    SetModePins51(true, false, false, p37);
    Ep3.PinLow(kP33);
    Ep3.PinLow(kProg);
    for (int i = 1; i <= 10; ++i) {
        Put1(OpWait100ms);
        Flush();
        SetProgress(kProgress, 0, 10, i);
    }
    Ep3.PinHigh(kProg);
}

void TDs89c4xx::EraseClick() {
    Row();
    if (!ContactTest()) return;
    PreCheck51();
    Status("Ers.程序...");
    PowerUp51();
    Ep3.PinHigh(kEa);
    if (!Ep3.CheckCurrent()) return;
    SetAddress51(0);
    EraseStage(false);  // the code
    Status("Ers.Option...");
    EraseStage(true);   // the option byte
    Ep3.VccPin(0);
    Success("OK");
}

void TDs89c4xx::SecrityClick() {
    Row();
    if (!ContactTest()) return;
    PreCheck51();
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    Ep3.PinHigh(kEa);
    LockBitPulse51(ItemIndex("RadioGroup1"));
    SuppliesOff();
    Success("OK");
}

void TDs89c4xx::ConfigClick() {
    Row();
    if (!Ticked("CheckBox4")) {
        Status("Disable Watchdog!");
        return;
    }
    if (!ContactTest()) return;
    PreCheck51();
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetModePins51(false, true, false, false);
    Ep3.PinHigh(kP33);
    Ep3.PinHigh(kEa);
    SetAddress51(0xFC);
    ProgramByte51(0xF7);
    Ep3.VccPin(0);
    Success("Enabled Watchdog");
}

void TDs89c4xx::IDClick() {
    Row();
    if (!ContactTest()) return;
    Status("Detect MFG and ID .....");
    PowerUp51();
    SetModePins51(false, false, false, false);
    Ep3.PinLow(kP33);
    SetAddress51(0);
    Flush();
    ReadBlock(Ep3.UsbReplyBuf.data());
    const auto& b = Ep3.UsbReplyBuf;
    auto& id = LastReadId();
    id[0] = b[0x30];
    id[1] = b[0x31];
    id[2] = b[0x60];
    char text[64];
    std::snprintf(text, sizeof text, "ID= %02x,%02x,%02x,  Watchdog=%02x", b[0x30], b[0x31], b[0x60], b[0xFC]);
    Status(text);
    SuppliesOff();
}

void TDs89c4xx::Button1Click() {
    Row();
    RunBatch51({{"CheckEra", [this] { EraseClick(); }},
                {"CheckBla", [this] { BlankClick(); }},
                {"CheckWri", [this] { WriteClick(); }},
                {"CheckCon", [this] { ConfigClick(); }},
                {"CheckVer", [this] { VerifyClick(); }},
                {"CheckSec", [this] { SecrityClick(); }}});
}

QUILLA_FORM(TDs89c4xx);

}  // namespace quilla
