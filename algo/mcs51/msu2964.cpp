#include "algo/mcs51/msu2964.h"

#include <string>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {
constexpr int kRst = 9, kP37 = 17, kXtal2 = 18, kXtal1 = 19, kPsen = 29, kProg = 30, kEa = 31;
constexpr int kGroup = 64;
}  // namespace

TMsu2964x::TMsu2964x(Workbench& w) : Mcs51Form(w, "Msu2964", {21, 22, 23, 24, 25, 26, 27, 28}) {
    DeclareStatus();
    AddButton("Erase", "Erase", [this] { EraseClick(); });
    AddButton("Blank", "Blank?  ", [this] { BlankClick(); });
    AddButton("Write", "Write ", [this] { WriteClick(); });
    AddButton("Verify", "Vrfy", [this] { VerifyClick(); });
    AddButton("Secrity", "Lock", [this] { SecrityClick(); });
    AddButton("Read1", "Read  ", [this] { ReadRom(); });
    AddButton("CancelBtn", "Exit ", [this] { CancelBtnClick(); });
    AddRadio("RadioGroup1", "Erase   ", {"1 S  ", "2 S  ", "3 S  "}, 1);
    DeclareBatch({{"CheckBox1", "Erase "},
                  {"CheckBox2", "Blank?  "},
                  {"CheckBox3", "Write."},
                  {"CheckBox4", "Vrfy"},
                  {"CheckBox5", "Lock"}},
                 " Run  ", [this] { Button1Click(); });
    PutChecked("CheckBox5", false);
    FillVariantTable();
}

void TMsu2964x::FillVariantTable() {
    Table = {{"Exit", 0},
             {"1:MSU2964    64K", 0xFFFF},
             {"2:MSU2964as32K 32K", 0x7FFF},
             {"3:MSU2964as16K 16K", 0x3FFF},
             {"4:MSU2964as8K  8K", 0x1FFF},
             {"5:MSU2964as4K  4K", 0x0FFF}};
    if (const Mcs51Row* r = SelectedRow()) Put(kType, r->Name.substr(2));
}

void TMsu2964x::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    if (Ep3.Connected) {
        Ep3.SetVpp(5000);
        Ep3.SetVcc(5000);
    }
    FillVariantTable();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    const Mcs51Row& r = *SelectedRow();
    Put(kType, r.Name.substr(2));
    wb.FileNew();
    ShowRowRange(r);
    AlgoForm::Show();
    if (Ep3.Connected) Ep3.GndPin(GndPinNo);
}

void TMsu2964x::OnClose() { Ep3.PowerOff(); }

int TMsu2964x::PreCheck51() {
    if (!ContactTest()) return 0;
    Ep3.VccPin(VccPinNo);
    Put1(OpWaitSettle);
    return 1;
}

void TMsu2964x::PowerUp51() {
    Ep3.GndPin(GndPinNo);
    Ep3.SetPinOption(40, 1);
    Ep3.VccPin(0);
    Ep3.ClockPin(0);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.ClockPin(kXtal1);
    Ep3.SetPortMode(PortMode51Swap);
    Ep3.VccPin(VccPinNo);
    Ep3.SetAllPins(0);
    SetPins({H(kP37), H(kProg), L(kPsen), L(10), L(11), L(12), L(13), H(14), H(15), H(16), H(kP37), H(kEa), L(kRst),
             H(kRst)});
    Flush();
}

void TMsu2964x::SetAddress51(std::int32_t a) {
    Ep3.WriteLatch(0, 0);
    for (int bit = 0; bit < 8; ++bit) Ep3.SetPin((a >> (8 + bit)) & 1, 21 + bit);
    AddressLow = static_cast<std::uint8_t>(a & 0xFF);
    Ep3.UsbPut2(OpPutData51, AddressLow);
}

void TMsu2964x::NextAddress51() {
    AddressLow = static_cast<std::uint8_t>(AddressLow + 1);
    Ep3.UsbPut2(OpPutData51, AddressLow);
}

void TMsu2964x::ProgramByte51(std::uint8_t b) {
    Ep3.WriteLatch(0, b);
    SetPins({L(kProg), L(kP37), H(kP37), H(kProg)});
}

void TMsu2964x::BusWrite(std::int32_t a, std::uint8_t d) {
    SetAddress51(a);
    ProgramByte51(d);
}

void TMsu2964x::UnprotectStep51() {
    Status("Unprotect...");
    PowerUp51();
    Ep3.VppPin(VppPinNo);
    for (int p = 1; p <= 8; ++p) Ep3.SetPinOption(p, 0);
    Ep3.WriteLatch(0, 0);
    SetAddress51(0);
    SetPins({H(10), L(11), L(12), H(13), H(14), H(15), H(16), H(kProg), H(kPsen), L(kProg), L(kP37)});
    Put1(OpWait1ms);
    SetPins({H(kP37), H(kProg), L(kPsen)});
    Waits(OpWait1ms, 2);
    SuppliesOff();
    // "OK" promises an unprotected chip: shown only once the link took the step.
    Success("OK");
}

bool TMsu2964x::StartRead(const char* status) {
    PowerUp51();
    Status(status);
    SetPins({L(kPsen), H(kProg), L(kProg), H(kP37)});
    Ep3.VppPin(VppPinNo);
    return Ep3.CheckCurrent() != 0;
}

bool TMsu2964x::Groups(const Mcs51Row& r, bool intoImage,
                       const std::function<bool(std::int32_t, const std::uint8_t*)>& check) {
    const std::int32_t end = EndAddr();
    for (std::int32_t a = 0; a < r.LastAddress && a <= end; a += kGroup) {
        ShowProgress(a);
        SetAddress51(a);
        for (int i = 0; i < kGroup; ++i) {
            Put1(OpCapturePort0);
            NextAddress51();
        }
        Ep3.UsbPut2(OpNop, 0);
        std::uint8_t* to = intoImage ? Image(a) : Ep3.UsbReplyBuf.data();
        Ep3.UsbReadReply(to);
        if (!check(a, to)) return false;
    }
    return true;
}

void TMsu2964x::ReadRom() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!StartRead("Read.")) return;
    Groups(r, true, [](std::int32_t, const std::uint8_t*) { return true; });
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Flush();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TMsu2964x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!StartRead("Blank CHK")) return;
    const bool blank = Groups(r, false, [&](std::int32_t a, const std::uint8_t* b) {
        for (int i = 0; i < kGroup; ++i) {
            if (b[i] == 0xFF) continue;
            Status("Not BLK.");
            wb.ErrorFlag() = 1;
            ShowProgress(a + i);
            SuppliesOff();
            return false;
        }
        return true;
    });
    if (!blank) return;
    wb.ErrorFlag() = 0;
    Success("OK!");
    ShowProgress(r.LastAddress);
    SuppliesOff();
}

void TMsu2964x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!StartRead("Verify.")) return;
    const bool same = Groups(r, false, [&](std::int32_t a, const std::uint8_t* b) {
        for (int i = 0; i < kGroup; ++i) {
            if (b[i] == *Image(a + i)) continue;
            Status("Failed..! ");
            wb.ErrorFlag() = 1;
            ShowProgress(a + i);
            SuppliesOff();
            return false;
        }
        return true;
    });
    if (!same) return;
    SuppliesOff();
    Success("Verified!");
    wb.ErrorFlag() = 0;
    ShowProgress(r.LastAddress);
}

void TMsu2964x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!NeedFileWindow()) return;
    Status("Writing..");
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(PortMode51SwapWrite);
    Ep3.PinLow(kPsen);
    // The whole row, whatever EndAddr says.
    for (std::int32_t a = 0; a < r.LastAddress; a += kBlock) {
        ShowProgress(a);
        for (int i = 0; i < kBlock; ++i) {
            Ep3.PinHigh(kPsen);
            BusWrite(0x5555, 0xAA);
            BusWrite(0x2AAA, 0x55);
            BusWrite(0x5555, 0xA0);
            BusWrite(a + i, *Image(a + i));
            Ep3.PinLow(kPsen);
        }
        Flush();
    }
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
}

void TMsu2964x::EraseClick() {
    Row();
    UnprotectStep51();
    if (!PreCheck51()) return;
    Status("Erasing");
    PowerUp51();
    Ep3.SetPortMode(PortMode51SwapWrite);
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinHigh(kPsen);
    BusWrite(0x5555, 0xAA);
    BusWrite(0x2AAA, 0x55);
    BusWrite(0x5555, 0x80);
    BusWrite(0x5555, 0xAA);
    BusWrite(0x2AAA, 0x55);
    BusWrite(0x5555, 0x10);
    static constexpr int kWaits[] = {10, 20, 30};
    const int item = ItemIndex("RadioGroup1");
    Waits(OpWait100ms, kWaits[item >= 0 && item < 3 ? item : 1]);
    Ep3.PinLow(kPsen);
    Flush();
    // VCC and VPP stay routed after Erase.
    Success("Erased..");
}

void TMsu2964x::SecrityClick() {
    Row();
    Status("Locking");
    PowerUp51();
    Ep3.ClockPin(0);
    Ep3.SetPinOption(kXtal1, 0);
    Ep3.PinHigh(kXtal1);
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(PortMode51SwapWrite);
    Ep3.WriteLatch(0, 0);
    SetAddress51(0);
    SetPins({L(10), H(11), L(12), H(13), H(14), H(15), H(16), H(kProg), H(kPsen), L(kProg), L(kP37)});
    Waits(OpWaitPulse, 3);
    SetPins({H(kP37), H(kProg), L(kPsen)});
    Waits(OpWaitSettle, 2);
    Flush();
    SuppliesOff();
    Flush();
    Success("Locked..");
}

void TMsu2964x::Button1Click() {
    Row();
    RunBatch51({{"CheckBox1", [this] { EraseClick(); }},
                {"CheckBox2", [this] { BlankClick(); }},
                {"CheckBox3", [this] { WriteClick(); }},
                {"CheckBox4", [this] { VerifyClick(); }},
                {"CheckBox5", [this] { SecrityClick(); }}});
}

QUILLA_FORM(TMsu2964x);

}  // namespace quilla
