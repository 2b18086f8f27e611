#include "algo/mcs51/at89c5x.h"

#include <cstdio>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP33 = 13, kP34 = 14, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;

const char* const kVerifyItems[] = {"Vrfy电压5.0V", "Vrfy电压4.2V", "Vrfy电压3.3V", "Vrfy电压2.5V"};

}  // namespace

TAt89c5x::TAt89c5x(Workbench& w)
    : Mcs51Form(w, "AT89,AT87...", {21, 22, 23, 24, 25, 26, 10}) {
    DeclareStatus();
    AddButton("Erase", "Erase", [this] { EraseClick(); }).Enabled = false;
    AddButton("Blank", "Blank?  ", [this] { BlankClick(); });
    AddButton("Write", "Write ", [this] { WriteClick(); });
    AddButton("Verify", "Vrfy", [this] { VerifyClick(); });
    AddButton("Read1", "Read  ", [this] { ReadRom(); });
    AddButton("Secrity", "Lock ", [this] { SecrityClick(); });
    AddButton("ID", "MFG ID  ", [this] { IDClick(); });
    AddButton("CancelBtn", "Exit ", [this] { CancelBtnClick(); });
    AddRadio("RadioGroup2", "Speed   ", {"Nor. ", "Slow "}, 0);
    AddRadio("RadioGroup1", "LockMode",
             {"1 No ext. MOVC ins   ", "2 +No Read         ", "3 No external code "}, 2);
    AddCombo("VeriyVolt", "", {kVerifyItems[0], kVerifyItems[1], kVerifyItems[2], kVerifyItems[3]}, 1);
    DeclareBatch({{"CheckBox1", "Erase "},
                  {"CheckBox2", "Blank?  "},
                  {"CheckBox3", "Write "},
                  {"CheckBox4", "Vrfy"},
                  {"CheckBox5", "Lock"}},
                 " Run  ", [this] { Button1Click(); });
    FillVariantTable();
}

void TAt89c5x::FillVariantTable() {
    Table = {{"Exit", 0, 0},
             {"1: AT89C51", 0x0FFF, 0},
             {"2: AT89LV51", 0x0FFF, 0},
             {"3: AT89C52", 0x1FFF, 0},
             {"4: AT89LV52", 0x1FFF, 0},
             {"5: AT89C55", 0x4FFF, 0},
             {"6: AT80F51", 0x0FFF, 0},
             {"7: AT80F52", 0x1FFF, 0},
             {"8: AT87F51(OTP)", 0x0FFF, 1},
             {"9: AT87F52(OTP)", 0x1FFF, 1}};
}

void TAt89c5x::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    SetupShow();
    FillVariantTable();
    const Mcs51Row& r = *SelectedRow();
    ShowRowRange(r);
    SetEnabled("Erase", r.Otp == 0);
    SetEnabled("CheckBox1", r.Otp == 0);
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(5000);
    Ep3.SetVpp(12000);
}

void TAt89c5x::OnClose() { Ep3.PowerOff(); }

// ---- routines --------------------------------------------------------------------------------

int TAt89c5x::PowerUp51() {
    if (!ContactTest()) return 0;
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kP34, 1);
    Ep3.GndPin(GndPinNo);
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

int TAt89c5x::PreCheck51() {
    if (!PowerUp51()) return 0;
    Ep3.ClockPin(0);
    Ep3.PinHigh(kRst);
    Ep3.PinLow(kRst);
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

std::uint8_t TAt89c5x::ProgramByte51(std::uint8_t value) {
    Ep3.UsbPut2(OpPutData51, value);
    Ep3.PinHigh(kP27);
    Ep3.PinLow(kProg);
    Put1(Wait25);
    Ep3.PinHigh(kProg);
    Waits(Wait26, (ItemIndex("RadioGroup2") + 1) * 2);
    Ep3.PinLow(kP27);
    return value;
}

bool TAt89c5x::LockBitPulse51(bool p27, bool p36, bool p37) {
    Ep3.SetPin(p27, kP27);
    Ep3.SetPin(p36, kP36);
    Ep3.SetPin(p37, kP37);
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return false;
    Put1(Wait26);
    Ep3.PinLow(kProg);
    Put1(Wait27);
    Ep3.PinHigh(kProg);
    Waits(Wait26, 2);
    Ep3.VppPin(0);
    Flush();
    return true;
}

int TAt89c5x::VerifyMillivolts() const {
    const std::string t = Text("VeriyVolt");
    if (t == kVerifyItems[2]) return 3300;
    if (t == kVerifyItems[3]) return 2500;
    if (t == kVerifyItems[1]) return 4400;  // the item says 4.2 V; 4.4 V is what it sets
    return 5000;
}

// ---- the signature ---------------------------------------------------------------------------------

void TAt89c5x::IDClick() {
    Row();
    Status("Detect MFG and ID .....");
    if (!PreCheck51()) return;
    if (!PowerUp51()) return;
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), L(kP36), L(kP37)});
    SetAddress51(0);
    ReadBlock(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    for (int i = 0; i < 3; ++i) id[static_cast<std::size_t>(i)] = Ep3.UsbReplyBuf[static_cast<std::size_t>(0x30 + i)];
    char text[64];
    std::snprintf(text, sizeof text, "Detected MFG and ID = %02x,%02x,%02x.", id[0], id[1], id[2]);
    SuppliesOff();
    Status(text);
}

int TAt89c5x::CheckDeviceId() {
    return CheckDeviceIdWith(IdCheck51{}, [this] { IDClick(); });
}

// ---- the handlers -----------------------------------------------------------------------------------

void TAt89c5x::ReadRom() {
    const Mcs51Row& r = Row();
    if (!PowerUp51()) return;
    Status("Read.");
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37)});
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

void TAt89c5x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!PowerUp51()) return;
    IDClick();
    const auto& id = LastReadId();
    if (id[0] == 0xFF && id[1] == 0xFF && !Ask("Device may be locaked.            \n继续吗?")) {
        wb.ErrorFlag() = 1;
        return;
    }
    Status("Blank CHK");
    if (!PowerUp51()) return;
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37)});
    SetAddress51(0);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    BlankBlocks51(r, [this] { SuppliesOff(); });
}

void TAt89c5x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!PowerUp51()) return;
    Ep3.SetVcc(VerifyMillivolts());
    Status("Verify.");
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37)});
    SetAddress51(0);
    Flush();
    if (!Ep3.CheckCurrent()) {
        Ep3.SetVcc(5000);
        return;
    }
    VerifyBlocks51(r, [this] {
        SuppliesOff();
        Ep3.SetVcc(5000);
    });
}

void TAt89c5x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!CheckDeviceId()) return;
    if (!NeedFileWindow()) return;
    Status("Writing..");
    if (!PowerUp51()) return;
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.SetPinOption(kP34, 1);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), H(kP27), H(kP36), H(kP37)});
    SetAddress51(0);
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    ByteLoop(r, [this](std::uint8_t v) { ProgramByte51(v); });
    Flush();
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
}

void TAt89c5x::EraseClick() {
    Row();
    if (!PreCheck51()) return;
    if (!PowerUp51()) return;
    Status("Erasing");
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    SetPins({H(kP26), L(kP27), H(kP33), L(kP36), L(kP37)});
    Flush();
    Ep3.VppPin(VppPinNo);
    Put1(Wait28);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinLow(kProg);
    Put1(Wait27);
    Put1(Wait28);
    Ep3.PinHigh(kProg);
    Flush();
    SuppliesOff();
    wb.ErrorFlag() = 0;
    Success("End.");
}

void TAt89c5x::SecrityClick() {
    Row();
    if (!PreCheck51()) return;
    Status("Locking");
    if (!PowerUp51()) return;
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    if (!Ep3.CheckCurrent()) return;
    SetAddress51(0);
    SetPins({H(kP26), H(kP33)});
    Flush();
    // LB1, LB2, LB3 by their selector levels (P2.7, P3.6, P3.7).
    static constexpr bool kBits[3][3] = {{true, true, true}, {true, false, false}, {false, true, false}};
    const int bits = ItemIndex("RadioGroup1") + 1;
    for (int b = 0; b < bits; ++b) {
        // An over-current ends Lock: the supplies are off, and routing VPP again
        // for the next bit would put it on a chip without VCC.
        if (!LockBitPulse51(kBits[b][0], kBits[b][1], kBits[b][2])) return;
    }
    // VCC stays routed after Lock.
    Success("end");
}

void TAt89c5x::Button1Click() {
    Row();
    RunBatch51({{"CheckBox1", [this] { EraseClick(); }},
                {"CheckBox2", [this] { BlankClick(); }},
                {"CheckBox3", [this] { WriteClick(); }},
                {"CheckBox4", [this] { VerifyClick(); }},
                {"CheckBox5", [this] { SecrityClick(); }}});
}

QUILLA_FORM(TAt89c5x);

}  // namespace quilla
