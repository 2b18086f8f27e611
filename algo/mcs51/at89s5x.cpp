#include "algo/mcs51/at89s5x.h"

#include <cstdio>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP30 = 10, kP33 = 13, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;

}  // namespace

TAt89s5x1::TAt89s5x1(Workbench& w) : Mcs51Form(w, "At89s5x1", {21, 22, 23, 24, 25, 26, 14}) {
    DeclareStatus();
    AddButton("Erase", "Erase", [this] { EraseClick(); });
    AddButton("Blank", "Blank?  ", [this] { BlankClick(); });
    AddButton("Write", "Write ", [this] { WriteClick(); });
    AddButton("Verify", "Vrfy", [this] { VerifyClick(); });
    AddButton("Read1", "Read  ", [this] { ReadRom(); });
    AddButton("Secrity", "Lock ", [this] { SecrityClick(); });
    AddButton("ID", "MFG ID  ", [this] { IDClick(); });
    AddButton("CancelBtn", "Exit ", [this] { CancelBtnClick(); });
    AddRadio("Speed", "Speed   ", {"Nor. ", "Slow "}, 0);
    AddRadio("RadioGroup1", "LockMode",
             {"1 No ext. MOVC ins   ", "2 +No Read         ", "3 No external code "}, 1);
    DeclareBatch({{"CheckBox1", "Erase "},
                  {"CheckBox2", "Blank?  "},
                  {"CheckBox3", "Write "},
                  {"CheckBox4", "Vrfy"},
                  {"CheckBox5", "Lock"}},
                 " Run  ", [this] { Button1Click(); });
    FillVariantTable();
}

void TAt89s5x1::FillVariantTable() {
    Table = {{"Exit", 0, 0}, {"1: AT89S51", 0x0FFF, 0}, {"2: AT89S52", 0x1FFF, 0}, {"3: AT89S53", 0x2FFF, 0}};
}

void TAt89s5x1::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    SetupShow();
    ShowRowRange(*SelectedRow());
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(4500);
    Ep3.SetVpp(0);
}

void TAt89s5x1::OnClose() { Ep3.PowerOff(); }

// ---- routines --------------------------------------------------------------------------------

int TAt89s5x1::PowerUp51() {
    if (!ContactTest()) return 0;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(4500);
    Ep3.SetVpp(0);
    Put1(Wait28);
    Ep3.VccPin(VccPinNo);
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.ClockPin(kXtal1);
    Ep3.VppPin(0);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa)});
    Flush();
    return 1;
}

int TAt89s5x1::PreCheck51() {
    Ep3.GndPin(GndPinNo);
    Ep3.VccPin(VccPinNo);
    Ep3.PinHigh(kRst);
    Ep3.PinLow(kRst);
    Flush();
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

std::uint8_t TAt89s5x1::ProgramByte51(std::uint8_t value) {
    Ep3.UsbPut2(OpPutData51, value);
    Ep3.PinHigh(kP27);
    Ep3.PinLow(kProg);
    Put1(Wait25);
    Ep3.PinHigh(kProg);
    Waits(Wait25, ItemIndex("Speed") + 1);
    Ep3.PinLow(kP27);
    return value;
}

bool TAt89s5x1::LockBitPulse51(bool p27, bool p36, bool p37) {
    Ep3.SetPin(p27, kP27);
    Ep3.SetPin(p36, kP36);
    Ep3.SetPin(p37, kP37);
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return false;
    Put1(Wait27);
    Ep3.PinLow(kProg);
    Put1(Wait25);
    Ep3.PinHigh(kProg);
    Put1(Wait27);
    Ep3.VppPin(0);
    return true;
}

void TAt89s5x1::IDClick() {
    Row();
    Status("Detect MFG and ID .....");
    if (!PreCheck51()) return;
    if (!PowerUp51()) return;
    Ep3.SetPortMode(PortMode51Read);
    SetPins({L(kP26), L(kP27), L(kP33), L(kP36), L(kP37)});
    std::uint8_t* reply = Ep3.UsbReplyBuf.data();
    ReadBlock(reply);
    Flush();
    auto& id = LastReadId();
    for (int i = 0; i < 3; ++i) {
        SetAddress51(i * 256);
        ReadBlock(reply + i);
        id[static_cast<std::size_t>(i)] = reply[i];
    }
    char text[64];
    std::snprintf(text, sizeof text, "Detected MFG and ID = %02x,%02x,%02x.", id[0], id[1], id[2]);
    Status(text);
    Ep3.VccPin(0);
}

// ---- handlers -------------------------------------------------------------------------------

void TAt89s5x1::ReadRom() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!PowerUp51()) return;
    Status("Reading......");
    Ep3.SetPortMode(PortMode51Read);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), L(kP33), H(kP36), H(kP37)});
    SetAddress51(0);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    ReadImage51(r);
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TAt89s5x1::BlankClick() {
    const Mcs51Row& r = Row();
    Status("Blank CHK");
    if (!PreCheck51()) return;
    if (!PowerUp51()) return;
    Ep3.SetPortMode(PortMode51Read);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), L(kP33), H(kP36), H(kP37)});
    SetAddress51(0);
    Flush();
    BlankBlocks51(r, [this] { SuppliesOff(); });
}

void TAt89s5x1::VerifyClick() {
    const Mcs51Row& r = Row();
    Status("Verify.");
    if (!PowerUp51()) return;
    Ep3.SetPortMode(PortMode51Read);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), L(kP33), H(kP36), H(kP37)});
    SetAddress51(0);
    Flush();
    VerifyBlocks51(r, [this] {
        SuppliesOff();
        Ep3.SetVcc(4500);
    });
}

void TAt89s5x1::WriteClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!NeedFileWindow()) return;
    Status("Writing..");
    if (!PowerUp51()) return;
    Ep3.SetVpp(12000);
    Put1(Wait27);
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.SetPinOption(kP30, 1);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), H(kP27), H(kP33), H(kP36), H(kP37)});
    Ep3.VppPin(VppPinNo);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    ByteLoop(r, [this](std::uint8_t v) { ProgramByte51(v); });
    Flush();
    ShowProgress(r.LastAddress);
    Ep3.SetVpp(0);
    SuppliesOff();
    Success("OK");
}

void TAt89s5x1::EraseClick() {
    Row();
    Status("Erasing");
    if (!PowerUp51()) return;
    Ep3.SetVpp(12000);
    Ep3.SetVcc(4500);
    Waits(Wait28, 3);
    Flush();
    SetProgress(kProgress, 0, 10, 1);
    Ep3.VccPin(VccPinNo);
    SetPins({H(kP26), L(kP27), H(kP33), L(kP36), L(kP37)});
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinLow(kProg);
    Ep3.PinHigh(kProg);
    for (int step = 2; step <= 4; ++step) {
        Put1(Wait28);
        SetProgress(kProgress, 0, 10, step);
        Flush();
    }
    Ep3.VccPin(0);
    Ep3.VccPin(VccPinNo);
    Ep3.PinLow(kProg);
    Ep3.PinHigh(kProg);
    Waits(Wait28, 2);
    Flush();
    SetProgress(kProgress, 0, 10, 10);
    Ep3.SetVpp(0);
    SuppliesOff();
    wb.ErrorFlag() = 0;
    Success("End.");
}

void TAt89s5x1::SecrityClick() {
    Row();
    if (!PreCheck51()) return;
    Status("Locking");
    if (!PowerUp51()) return;
    Ep3.SetVpp(12000);
    Ep3.SetVcc(4500);
    Ep3.SetPortMode(PortModeReset);
    SetAddress51(0);
    SetPins({H(kP26), H(kP33)});
    static constexpr bool kBits[3][3] = {{true, true, true}, {true, false, false}, {false, true, false}};
    const int item = ItemIndex("RadioGroup1");
    // The first over-current ends Lock with ErrorFlag 1.
    for (int b = 0; b <= item; ++b)
        if (!LockBitPulse51(kBits[b][0], kBits[b][1], kBits[b][2])) return;
    Ep3.SetVcc(4500);
    if (item > 0) {
        wb.ErrorFlag() = 0;
        Success("end");
    } else {
        Status("Note:mode1,not locked.");
    }
    Ep3.VccPin(0);
    Ep3.SetVpp(0);
}

void TAt89s5x1::Button1Click() {
    Row();
    RunBatch51({{"CheckBox1", [this] { EraseClick(); }},
                {"CheckBox2", [this] { BlankClick(); }},
                {"CheckBox3", [this] { WriteClick(); }},
                {"CheckBox4", [this] { VerifyClick(); }},
                {"CheckBox5", [this] { SecrityClick(); }}});
}

QUILLA_FORM(TAt89s5x1);

}  // namespace quilla
