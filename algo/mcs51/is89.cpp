#include "algo/mcs51/is89.h"

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31, kVcc = 40;

constexpr Package51 kP51Dip40{"DIP40", "p51dip40.bit", 31, 40, 20, 0xFFFFFFFFu, 0xFFu};
constexpr Package51 kP51Plcc44{"PLCC44", "p51plcc44.bit", 33, 42, 20, 0x7FEFFDFFu, 0xFFu};

}  // namespace

TIS89c52ax::TIS89c52ax(Workbench& w) : Mcs51Form(w, "IS89c52ax", {21, 22, 23, 24, 25}) {
    DeclareStatus();
    DeclareButtons51({{"Read1", "Read  ", [this] { ReadRom(); }},
                      {"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Verify", "Vrfy", [this] { VerifyClick(); }},
                      {"Write", "Write ", [this] { WriteClick(); }},
                      {"Erase", "Erase", [this] { EraseClick(); }},
                      {"Secrity", "Lock", [this] { SecrityClick(); }},
                      {"ID", " ID ", [this] { SignateClick(); }},
                      {"CancelBtn", "Exit ", [this] { CancelBtnClick(); }}});
    AddGroup("GroupBox2", "Lock位(打勾编程为0)");
    for (const char* lb : {"LB1", "LB2", "LB3"}) AddCheck(lb, lb, true, "GroupBox2");
    AddCombo("Speed", "", {"Fast写", "Slow   "}, 0);
    DeclareBatch51("Lock", [this] { Button1Click(); });
    FillVariantTable();
}

void TIS89c52ax::FillVariantTable() {
    Table = {{"Exit", 0, 0, 0, 0},
             {"IS89C51A", 0x0FFF, 0, 0, 5000},
             {"IS89C52A", 0x1FFF, 0, 0, 5000},
             {"IS89LV51A 3.3v", 0x0FFF, 0, 0, 3300},
             {"IS89LV52A 3.3v", 0x1FFF, 0, 0, 3300}};
}

void TIS89c52ax::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText, kP51Dip40, kP51Plcc44));
    const Mcs51Row& r = *SelectedRow();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    Put(kType, r.Name);
    wb.FileNew();
    ShowRowRange(r);
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(r.VccMv);
    Ep3.SetVpp(5000);
}

// ---- routines --------------------------------------------------------------------------------

void TIS89c52ax::PowerUp51() {
    Ep3.VccPin(0);
    Ep3.PinLow(kVcc);
    Ep3.ClockPin(kXtal1);
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.VppPin(0);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), H(kP36), H(kP37)});
    Put1(OpWaitSettle);
    SetPins({H(kP26), H(kProg), L(kP27)});
    Ep3.VccPin(VccPinNo);
    Flush();
}

int TIS89c52ax::PreCheck51() { return ContactTest() ? 1 : 0; }

void TIS89c52ax::Command51(std::uint8_t code, bool withWait) {
    Ep3.PinHigh(kP27);
    Ep3.UsbPut2(OpPutData51, code);
    Ep3.PinLow(kP26);
    if (withWait) Put1(OpWaitPulse);
    Ep3.PinHigh(kP26);
}

void TIS89c52ax::ProgramByte51(std::uint8_t b) {
    Ep3.UsbPut2(OpPutData51, 0x40);
    SetPins({L(kP26), H(kP26)});
    Ep3.UsbPut2(OpPutData51, b);
    Ep3.PinLow(kProg);
    Waits(OpWaitPulse, Text("Speed") == "Slow   " ? 5 : 3);
    Ep3.PinHigh(kProg);
}

void TIS89c52ax::LockBitPulse51(std::uint8_t code) {
    Command51(code);
    Ep3.UsbPut2(OpPutData51, 0xD0);
    Ep3.PinLow(kProg);
    Put1(OpWait1ms);
    Ep3.PinHigh(kProg);
}

// The read command (0xC0) and the block loop from 0: each block read into the
// image (`pass` null) or judged by the pass, `off` at a fault.
bool TIS89c52ax::ReadChip(const Mcs51Row& r, const CheckPass51* pass, const std::function<void()>& off) {
    Command51(0xC0);
    Ep3.PinLow(kP27);
    Ep3.SetPortMode(PortMode51Read);
    SetAddress51(0);
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    return ForEachBlock(r, [&](std::int32_t a) {
        ReadBlock(pass ? buf : Image(a));
        return !pass || BlockChecked51(*pass, a, buf, off);
    });
}

// ---- the handlers -----------------------------------------------------------------------------------

void TIS89c52ax::ReadRom() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    Status("Read.");
    PowerUp51();
    ReadChip(r, nullptr, {});
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TIS89c52ax::BlankClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    Status("Blank CHK");
    PowerUp51();
    const auto off = [this] { SuppliesOff(); };
    if (ReadChip(r, &kBlankPass51, off)) PassEnd51(kBlankPass51, r.LastAddress, off);
}

void TIS89c52ax::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    PowerUp51();
    Status("Verify.");
    PowerUp51();
    if (ReadChip(r, &kVerifyPass51, [this] { Ep3.VccPin(0); }))
        PassEnd51(kVerifyPass51, r.LastAddress, [this] { SuppliesOff(); });
}

void TIS89c52ax::WriteClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!NeedFileWindow()) return;
    Status("Write");
    PowerUp51();
    SetAddress51(0);
    SetPins({H(VppPinNo), H(kP27)});
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    PageLoop51(r, [this](std::uint8_t v) { ProgramByte51(v); });
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
}

// Eleven cycles: the erase command (0x20) with the confirm byte 0xD0 and a
// 200 ms pulse under VPP, then the erase-verify command (0xA0).
void TIS89c52ax::EraseClick() {
    Row();
    if (!PreCheck51()) return;
    Ep3.SetAllPins(0);
    Status("Erasing");
    SetProgress(kProgress, 0, 10, 0);
    PowerUp51();
    SetAddress51(0);
    SetPins({H(VppPinNo), H(kP27)});
    for (int i = 0; i <= 10; ++i) {
        SetProgress(kProgress, 0, 10, i);
        Ep3.PinHigh(kP27);
        Ep3.SetPortMode(PortModeReset);
        Command51(0x20, true);
        Ep3.UsbPut2(OpPutData51, 0xD0);
        Ep3.VppPin(VppPinNo);
        Ep3.PinLow(kProg);
        Waits(OpWait100ms, 2);
        Ep3.PinHigh(kProg);
        Put1(OpWait1ms);
        Ep3.VppPin(0);
        Command51(0xA0, true);
        Ep3.PinLow(kP27);
        Ep3.SetPortMode(PortMode51Read);
        Flush();
    }
    SuppliesOff();
    Success("Erased..");
}

void TIS89c52ax::SecrityClick() {
    Row();
    Status("Locking");
    PowerUp51();
    Ep3.VppPin(VppPinNo);
    Ep3.PinHigh(kP27);
    const std::pair<const char*, std::uint8_t> bits[] = {{"LB1", 0x60}, {"LB2", 0x70}, {"LB3", 0x80}};
    for (const auto& [box, code] : bits)
        if (Ticked(box)) LockBitPulse51(code);
    Ep3.ClockPin(0);
    SuppliesOff();
    Success("Locked..");
}

void TIS89c52ax::SignateClick() {
    Row();
    Status(" ID....");
    PowerUp51();
    Command51(0x90);
    Ep3.PinLow(kP27);
    Ep3.SetPortMode(PortMode51Read);
    SetAddress51(0);
    ReadBlock(Ep3.UsbReplyBuf.data());
    Ep3.ClockPin(0);
    Ep3.VccPin(0);
    const auto& b = Ep3.UsbReplyBuf;
    auto& id = LastReadId();
    for (std::size_t i = 0; i < 3; ++i) id[i] = b[0x30 + i];
    Status(FormatText("MFG and ID is   = %02x,%02x, %02x", b[0x30], b[0x31], b[0x32]));
}

void TIS89c52ax::Button1Click() {
    Row();
    RunBatch51(BatchSteps51(this), false);
}

QUILLA_FORM(TIS89c52ax);

}  // namespace quilla
