#include "algo/mcs51/at89x8252.h"

#include <cstdio>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP33 = 13, kP34 = 14, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;

}  // namespace

// The code-page-936 bytes D2 D1 B6 C1 BD F8 C6 FF BC FE BB BA B3 E5 C7 F8: the
// pair C6 FF is no character and shows as a question mark.
const char* const TAt89x8252x::ReadDoneText = "已读进?件缓冲区";

TAt89x8252x::TAt89x8252x(Workbench& w) : Mcs51Form(w, "AT89x8252/89x53", {21, 22, 23, 24, 25, 26}) {
    DeclareStatus();
    AddButton("Erase", "Erase", [this] { EraseClick(); }).Enabled = false;
    AddButton("Blank", "Blank?  ", [this] { BlankClick(); });
    AddButton("Write", "Write ", [this] { WriteClick(); });
    AddButton("Verify", "Vrfy", [this] { VerifyClick(); });
    AddButton("Read1", "Read  ", [this] { ReadRom(); });
    AddButton("Secrity", "Lock ", [this] { SecrityClick(); });
    AddButton("ID", "MFG ID  ", [this] { IDClick(); });
    AddButton("CancelBtn", "Exit ", [this] { CancelBtnClick(); });
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

void TAt89x8252x::FillVariantTable() {
    Table = {{"Exit", 0, 0}, {"1: AT89LS8252", 0x27FF, 0}, {"2: AT89LS8252", 0x1FFF, 0}, {"3: AT89LS53", 0x2FFF, 0}};
}

void TAt89x8252x::SetupForDevice() {
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

void TAt89x8252x::OnClose() { Ep3.PowerOff(); }

// ---- routines --------------------------------------------------------------------------------

bool TAt89x8252x::Contact() {
    return Ep3.CheckPinContact(Dip40Package.GndPin, 0, Dip40Package.MaskLo, Dip40Package.MaskHi, 0) != 0;
}

int TAt89x8252x::PowerUp51() {
    Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(5000);
    Ep3.SetVpp(12000);
    Ep3.SetPortMode(PortModeReset);
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

int TAt89x8252x::PreCheck51() {
    Ep3.GndPin(GndPinNo);
    Ep3.VccPin(VccPinNo);
    Ep3.PinHigh(kRst);
    Ep3.PinLow(kRst);
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

std::uint8_t TAt89x8252x::ProgramByte51(std::uint8_t value) {
    Ep3.UsbPut2(OpPutData51, value);
    Ep3.PinHigh(kP27);
    Ep3.PinLow(kProg);
    Put1(Wait25);
    Ep3.PinHigh(kProg);
    Waits(Wait26, 2);
    Ep3.PinLow(kP27);
    return value;
}

bool TAt89x8252x::LockBitPulse51(std::uint8_t lockByte) {
    Ep3.UsbPut2(OpPutData51, lockByte);
    Put1(Wait25);
    SetPins({H(kP26), L(kP27), H(kP36), L(kP37)});
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return false;
    Ep3.PinLow(kProg);
    Waits(Wait27, 2);
    Ep3.PinHigh(kProg);
    Waits(Wait26, 2);
    Ep3.VppPin(0);
    return true;
}

void TAt89x8252x::IDClick() {
    Row();
    Status("Detect MFG and ID .....");
    PreCheck51();
    PowerUp51();
    Ep3.SetVpp(12000);
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), L(kP36), L(kP37)});
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    SetAddress51(0);
    ReadBlock(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    for (int i = 0; i < 3; ++i) id[static_cast<std::size_t>(i)] = Ep3.UsbReplyBuf[static_cast<std::size_t>(0x30 + i)];
    Ep3.SetVpp(4500);
    Ep3.VppPin(0);
    Ep3.SetAllPins(1);
    Ep3.VccPin(0);
    char text[64];
    std::snprintf(text, sizeof text, "Detected MFG and ID = %02x,%02x,%02x.", id[0], id[1], id[2]);
    Status(text);
}

int TAt89x8252x::CheckDeviceId() {
    return CheckDeviceIdWith(IdCheck51{}, [this] { IDClick(); });
}

// ---- handlers -------------------------------------------------------------------------------

void TAt89x8252x::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    PowerUp51();
    Ep3.SetVpp(12000);
    Status("Reading data ........");
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37)});
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    ReadImage51(r);
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success(ReadDoneText);
    wb.Display();
    AlgoForm::Show();
}

void TAt89x8252x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    IDClick();
    const auto& id = LastReadId();
    if (id[0] == 0xFF && id[1] == 0xFF && !Ask("Device may be locaked.            \n继续吗?")) {
        wb.ErrorFlag() = 1;
        return;
    }
    Status("Blank CHK");
    PowerUp51();
    Ep3.SetVpp(12000);
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37)});
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    BlankBlocks51(r, [this] { SuppliesOff(); });
}

void TAt89x8252x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Verifying data.........");
    PowerUp51();
    Ep3.SetVpp(12000);
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37)});
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    VerifyBlocks51(r, [this] { SuppliesOff(); });
}

void TAt89x8252x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    if (!CheckDeviceId()) return;
    if (!NeedFileWindow()) return;
    Status("Writing..");
    PowerUp51();
    Ep3.SetVpp(12000);
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), H(kP27), H(kP36), H(kP37)});
    Ep3.SetPinOption(kP34, 1);
    SetAddress51(0);
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    ByteLoop(r, [this](std::uint8_t v) { ProgramByte51(v); });
    Flush();
    ShowProgress(r.LastAddress);
    Ep3.SetVpp(4500);
    SuppliesOff();
    Success("OK");
}

void TAt89x8252x::EraseClick() {
    Row();
    if (!Contact()) return;
    PowerUp51();
    Ep3.SetVpp(12000);
    Status("Erasing device.........");
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    SetPins({H(kP26), L(kP27), H(kP33), L(kP36), L(kP37)});
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinLow(kProg);
    Put1(Wait27);
    Ep3.PinHigh(kProg);
    Put1(Wait28);
    SuppliesOff();
    wb.ErrorFlag() = 0;
    Success("End.");
}

void TAt89x8252x::SecrityClick() {
    Row();
    if (!Contact()) return;
    Status("Locking");
    PowerUp51();
    Ep3.SetVpp(12000);
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    SetAddress51(0);
    SetPins({H(kP26), H(kP33)});
    static constexpr std::uint8_t kBytes[3] = {0x80, 0x40, 0x20};
    const int item = ItemIndex("RadioGroup1");
    // The first over-current ends Lock with ErrorFlag 1: no further byte, no "OK".
    if (item == 0) {
        if (!LockBitPulse51(0x7F)) return;
    } else {
        for (int b = 0; b <= item; ++b)
            if (!LockBitPulse51(kBytes[b])) return;
    }
    if (item == 0) {
        Status("Mode1, No lock.");
    } else {
        Success("OK");
        wb.ErrorFlag() = 0;
    }
    SuppliesOff();
}

void TAt89x8252x::Button1Click() {
    Row();
    RunBatch({{"CheckBox1", [this] { EraseClick(); }},
              {"CheckBox2", [this] { BlankClick(); }},
              {"CheckBox3", [this] { WriteClick(); }},
              {"CheckBox4", [this] { VerifyClick(); }},
              {"CheckBox5", [this] { SecrityClick(); }}},
             [this] { return Contact(); });
}

QUILLA_FORM(TAt89x8252x);

}  // namespace quilla
