#include "algo/mcs51/at89c5xwd.h"

#include <cstdio>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP30 = 10, kP33 = 13, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31, kVccPin = 40;
constexpr int kMaxFlash = 32768;  // A0-A14: A15 is not driven

}  // namespace

TAt89c5xwd::TAt89c5xwd(Workbench& w) : Mcs51Form(w, "AT8xc5xWD", {21, 22, 23, 24, 25, 26, 14}) {
    FirstRow = 0;
    DeclareStatus();
    AddButton("Erase", "Erase", [this] { EraseClick(); });
    AddButton("Blank", "Blank?  ", [this] { BlankClick(); });
    AddButton("Write", "Write ", [this] { WriteClick(); });
    AddButton("Verify", "Vrfy", [this] { VerifyClick(); });
    AddButton("Read1", "Read  ", [this] { ReadRom(); });
    AddButton("Secrity", "Lock ", [this] { SecrityClick(); });
    AddButton("ID", "MFG ID  ", [this] { IDClick(); });
    AddButton("Button2", "Read lock", [this] { Button2Click(); });
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

void TAt89c5xwd::FillVariantTable() { Table = {{"0: AT89/87", 0x4FFF, 0}}; }

void TAt89c5xwd::SetupForDevice() {
    FillVariantTable();
    wb.sel.VariantIndex = 0;
    // The row is sized by the line: a size outside 1..32768 (A15 is not driven)
    // or an otp= other than 0 and 1 is refused before anything reaches the
    // programmer.
    const int fla = wb.sel.GetParam("fla=");
    const int otp = wb.sel.GetParam("otp=");
    LineError.clear();
    if (fla <= 0 || fla > kMaxFlash)
        LineError = "Bad device line: fla=" + std::to_string(fla) + " of P89C5WD (1 to 32768)";
    else if (otp != 0 && otp != 1)
        LineError = "Bad device line: otp=" + std::to_string(otp) + " of P89C5WD (0 or 1)";
    if (!LineError.empty()) {
        Status(LineError);
        wb.prompts.ShowMsg(LineError);
        return;
    }
    Table[0].LastAddress = fla - 1;
    Table[0].Otp = otp;
    Ep3.ResetPins();
    UsePackage(Dip40Package);
    SetupShow();
    const Mcs51Row& r = Table[0];
    ShowRowRange(r);
    SetEnabled("Erase", r.Otp == 0);
    SetEnabled("CheckBox1", r.Otp == 0);
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(5000);
    Put1(Wait28);
    Ep3.SetVpp(12000);
}

void TAt89c5xwd::OnClose() { Ep3.PowerOff(); }

// ---- routines ------------------------------------------------------------------------------

int TAt89c5xwd::PowerUp51() {
    if (!ContactTest()) return 0;
    Ep3.VccPin(0);
    Ep3.PinLow(VccPinNo);
    Ep3.VccPin(VccPinNo);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.ClockPin(kXtal1);
    Ep3.VppPin(0);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa)});
    Ep3.SetPortMode(PortMode51Read);
    Flush();
    return 1;
}

std::uint8_t TAt89c5xwd::ProgramByte51(std::uint8_t value) {
    Ep3.UsbPut2(OpPutData51, value);
    Ep3.PinHigh(kP27);
    Ep3.PinLow(kProg);
    Put1(Wait25);
    Ep3.PinHigh(kProg);
    Waits(Wait25, (ItemIndex("Speed") + 1) * 2);
    Ep3.PinLow(kP27);
    return value;
}

bool TAt89c5xwd::LockBitPulse51(bool p27, bool p36, bool p37) {
    Ep3.SetPin(p27, kP27);
    Ep3.SetPin(p36, kP36);
    Ep3.SetPin(p37, kP37);
    Put1(Wait28);
    Ep3.VppPin(VppPinNo);
    // The current is checked once 12 V reaches EA (the engine switches the
    // supplies off on a fault).
    if (!Ep3.CheckCurrent()) return false;
    Put1(Wait27);
    Ep3.PinLow(kProg);
    Put1(Wait25);
    Ep3.PinHigh(kProg);
    Put1(Wait27);
    Ep3.VppPinOff(kEa);
    return true;
}

int TAt89c5xwd::ReadLockBits51() {
    if (!PowerUp51()) return -1;
    Ep3.SetPortMode(PortMode51Read);
    SetAddress51(0);
    SetPins({H(kP26), H(kP27), L(kP33), H(kP36), L(kP37)});
    ReadBlock(Ep3.UsbReplyBuf.data());
    Ep3.VccPin(0);
    return Ep3.UsbReplyBuf[0] & 0x1C;
}

bool TAt89c5xwd::ReadSignature() {
    Row();
    if (!PowerUp51()) return false;
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
    std::snprintf(text, sizeof text, "MFG and ID is   = %02x,%02x, %02x", id[0], id[1], id[2]);
    Status(text);
    Ep3.VccPin(0);
    return true;
}

// ---- handlers -------------------------------------------------------------------------------

void TAt89c5xwd::Button2Click() {
    Row();
    const int lock = ReadLockBits51();
    if (lock < 0) return;
    char text[32];
    std::snprintf(text, sizeof text, "Lock= %02x", lock);
    Status(text);
}

void TAt89c5xwd::ReadRom() {
    const Mcs51Row& r = Row();
    if (!PowerUp51()) return;
    Status("Read.");
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

void TAt89c5xwd::BlankClick() {
    const Mcs51Row& r = Row();
    const int lock = ReadLockBits51();
    if (lock < 0) return;
    if (lock != 0) {
        wb.ErrorFlag() = 1;
        Status("加了密的器件!");
        return;
    }
    if (!PowerUp51()) return;
    Status("Blank CHK");
    Ep3.SetPortMode(PortMode51Read);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), L(kP33), H(kP36), H(kP37)});
    SetAddress51(0);
    Flush();
    BlankBlocks51(r, [this] { SuppliesOff(); });
}

void TAt89c5xwd::VerifyClick() {
    const Mcs51Row& r = Row();
    Status("Verify.");
    if (!PowerUp51()) return;
    Ep3.SetPortMode(PortMode51Read);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), L(kP33), H(kP36), H(kP37)});
    SetAddress51(0);
    Flush();
    VerifyBlocks51(r, [this] { SuppliesOff(); });
}

void TAt89c5xwd::WriteClick() {
    const Mcs51Row& r = Row();
    if (!NeedFileWindow()) return;
    Status("Writing..");
    if (!PowerUp51()) return;
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.SetPinOption(kP30, 1);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), H(kP27), H(kP33), H(kP36), H(kP37)});
    Ep3.VppPin(VppPinNo);
    Ep3.PinLow(kEa);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    ByteLoop(r, [this](std::uint8_t v) { ProgramByte51(v); });
    Flush();
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
}

void TAt89c5xwd::EraseClick() {
    Row();
    // The signature read powers the chip up; a refused contact test ends Erase
    // (nothing would be erased, and the lock read-back would pass an empty socket).
    if (!ReadSignature()) return;
    Status("Erasing");
    Ep3.SetPortMode(PortModeReset);
    SetPins({H(kP26), L(kP27), H(kP33), L(kP36), L(kP37)});
    for (int pulse = 0; pulse < 2; ++pulse) {
        Ep3.VppSupplyPin(kVccPin);  // VCC at 6.5 V
        Put1(Wait27);
        Ep3.VppPin(VppPinNo);
        Ep3.PinLow(kProg);
        Ep3.PinHigh(kProg);
        Put1(Wait28);
        Put1(Wait28);
        Flush();
        Ep3.VppPinOff(VppPinNo);
        Ep3.VppSupplyPin(0);
    }
    const int lock = ReadLockBits51();
    if (lock < 0) return;
    if (lock != 0) {
        wb.ErrorFlag() = 1;
        Status("Ers.失败!需要重新操作。");
        return;
    }
    wb.ErrorFlag() = 0;
    Success("OK");
}

void TAt89c5xwd::SecrityClick() {
    Row();
    Status("Locking");
    Ep3.VppSupplyPin(kVccPin);  // VCC at 6.5 V
    Ep3.SetPortMode(PortModeReset);
    SetAddress51(0);
    SetPins({H(kP26), H(kP33)});
    // LB1, LB2, LB3 by their selector levels (P2.7, P3.6, P3.7).
    static constexpr bool kBits[3][3] = {{true, true, true}, {true, false, false}, {false, true, false}};
    const int bits = ItemIndex("RadioGroup1") + 1;
    for (int b = 0; b < bits; ++b) {
        if (!LockBitPulse51(kBits[b][0], kBits[b][1], kBits[b][2])) return;
    }
    Ep3.VppSupplyPin(0);
    const int lock = ReadLockBits51();
    if (lock < 0) return;
    if (lock == 0) {
        wb.ErrorFlag() = 1;
        Status("Lock失败!");
        return;
    }
    wb.ErrorFlag() = 0;
    Success("OK");
}

void TAt89c5xwd::Button1Click() {
    Row();
    if (Ticked("CheckBox3") && !wb.FileWin) {
        wb.prompts.ShowMsg("Must open a file to write...");
        return;
    }
    RunBatch51({{"CheckBox1", [this] { EraseClick(); }},
                {"CheckBox2", [this] { BlankClick(); }},
                {"CheckBox3", [this] { WriteClick(); }},
                {"CheckBox4", [this] { VerifyClick(); }},
                {"CheckBox5", [this] { SecrityClick(); }}},
               false);
}

QUILLA_FORM(TAt89c5xwd);

}  // namespace quilla
