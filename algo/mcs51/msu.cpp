#include "algo/mcs51/msu.h"

#include <string>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {
constexpr int kRst = 9, kP37 = 17, kXtal1 = 19, kPsen = 29, kProg = 30, kEa = 31;
// 4.5 V on EA; the chip clocked by hand (48 clocks on XTAL1 after reset); the
// data latched by P3.7 pulsed with ALE low.
const Sm51Row kMsu2958Row{
    .VccMv = 5000,
    .VppMv = 4500,
    .OptionOnVccPin = true,
    .HandClocks = 48,
    .PowerUpPins = {L(kXtal1)},
    .AfterVccPins = {H(kP37), H(kProg), L(kPsen), L(10), L(11), L(12), L(13), L(14), L(15), H(kEa), L(kRst),
                     H(kRst)},
    .PulseLow = {L(kProg), L(kP37), H(kP37), H(kProg)},
    .PulseWait = OpWaitPulse,
};

}  // namespace

TMsu2958x::TMsu2958x(Workbench& w) : SyncMos51Form(w, "Msu2958", kMsu2958Row) {
    DeclareStatus();
    DeclareButtons51(LockReadExitButtons51(this));
    AddRadio("RadioGroup1", "Erase   ", {"0.5S  ", "1 S  ", "2 S  "}, 1);
    DeclareBatch({{"CheckBox1", "Erase "},
                  {"CheckBox2", "Blank?  "},
                  {"CheckBox3", "Write."},
                  {"CheckBox4", "Vrfy"},
                  {"CheckBox5", "Lock"}},
                 " Run  ", [this] { Button1Click(); });
    FillVariantTable();
}

void TMsu2958x::FillVariantTable() {
    Table = {{"Exit", 0},           {"1: MSU2951", 0x0FFF}, {"2: MSU2952", 0x1FFF},
             {"3: MSU2953", 0x1FFF}, {"4: MSU2954", 0x3FFF}, {"5: MSU2955", 0x3FFF},
             {"6: MSU2956", 0x5FFF}, {"7: MSU2957", 0x5FFF}, {"8: MSU2958", 0x7FFF}};
    if (const Mcs51Row* r = SelectedRow()) Put(kType, r->Name.size() > 2 ? r->Name.substr(2) : std::string());
}

void TMsu2958x::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    FillVariantTable();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    const Mcs51Row& r = *SelectedRow();
    Put(kType, r.Name.substr(2));
    wb.FileNew();
    ShowRowRange(r);
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVpp(k_.VppMv);
    Ep3.SetVcc(k_.VccMv);
}

void TMsu2958x::OnClose() { Ep3.PowerOff(); }

int TMsu2958x::PreCheck51() {
    if (!ContactTest()) return 0;
    Ep3.GndPin(20);
    Ep3.VccPin(VccPinNo);
    return 1;
}

void TMsu2958x::EraseStep51() {
    PowerUp51();
    SetAddress51(0);
    Ep3.SetPortMode(PortModeReset);
    Ep3.UsbPut2(OpPutData51, 0x00);
    SetPins({H(kPsen), L(kProg), L(kP37), H(kP37)});
    Put1(OpWait1ms);
    SetPins({H(kProg), L(kPsen)});
    Flush();
}

bool TMsu2958x::StartRead(const char* status) {
    PowerUp51();
    Status(status);
    SetPins({L(kPsen), H(kProg), L(kProg), H(kP37)});
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return false;
    Flush();
    return true;
}

void TMsu2958x::ReadRom() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!StartRead("Read.")) return;
    ReadImage51(r);
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TMsu2958x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!StartRead("Blank CHK")) return;
    BlankBlocks51(r, [this] { SuppliesOff(); });
}

void TMsu2958x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!StartRead("Verify.")) return;
    CheckBlocks51(r, kVerifyPass51, [this] { SuppliesOff(); });
}

void TMsu2958x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!NeedFileWindow()) return;
    Status("Writing..");
    PowerUp51();
    SetPins({H(14), H(15)});
    Ep3.SetPortMode(PortModeReset);
    Ep3.PinHigh(kPsen);
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    PageLoop51(r, [this](std::uint8_t v) { ProgramByte51(v); });
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
}

void TMsu2958x::EraseClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    Status("Erasing");
    EraseStep51();
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    SetAddress51(0);
    Ep3.SetPortMode(PortModeReset);
    Ep3.UsbPut2(OpPutData51, 0xFF);
    SetPins({H(kPsen), L(kProg), L(kP37), H(kP37)});
    static constexpr int kWaits[] = {5, 10, 20};
    const int item = ItemIndex("RadioGroup1");
    Waits(OpWait100ms, kWaits[item >= 0 && item < 3 ? item : 1]);
    Flush();
    SetPins({H(kProg), L(kPsen)});
    ShowProgress(r.LastAddress);
    // VCC stays routed after Erase.
    Success("OK");
}

void TMsu2958x::SecrityClick() {
    Row();
    Status("Locking");
    PowerUp51();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(PortModeReset);
    Ep3.UsbPut2(OpPutData51, 0xFF);
    SetAddress51(0);
    SetPins({L(10), L(11), L(12), L(13), L(16), L(14), H(15), H(kPsen), L(kProg), L(kP37), H(kP37)});
    Waits(OpWaitPulse, 3);
    SetPins({H(kProg), H(kPsen)});
    Waits(OpWaitSettle, 2);
    SuppliesOff();
    Success("Locked..");
}

void TMsu2958x::Button1Click() {
    Row();
    // The contact test once before the first pass; the file check before the passes.
    if (!PreCheck51()) return;
    if (Ticked("CheckBox3") && !wb.FileWin) {
        wb.prompts.ShowMsg("Must open a file to write...");
        return;
    }
    RunBatch51({{"CheckBox1", [this] { EraseClick(); }},
                {"CheckBox2", [this] { BlankClick(); }},
                {"CheckBox3", [this] { WriteClick(); }},
                {"CheckBox4", [this] { VerifyClick(); }},
                {"CheckBox5", [this] { SecrityClick(); }}});
}

QUILLA_FORM(TMsu2958x);

}  // namespace quilla
