#include "algo/mcs51/p89.h"

#include <cstdio>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP30 = 10, kP31 = 11, kP33 = 13, kP34 = 14, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;

}  // namespace

// ---- shared routines ---------------------------------------------------------------------------

P89Form::P89Form(Workbench& w, std::string caption)
    : Mcs51Form(w, std::move(caption), {21, 22, 23, 24, 25, 26, kP34, 15}) {}

void P89Form::SetModePins51(bool p26, bool p37, bool p30, bool p31) {
    Ep3.SetPin(p26, kP26);
    Ep3.SetPin(p37, kP37);
    Ep3.SetPin(p31, kP31);
    Ep3.SetPin(p30, kP30);
}

void P89Form::EraseStep51() {
    Ep3.PinHigh(kP27);
    Ep3.PinLow(kP33);
    Ep3.PinLow(kProg);
    Waits(OpWait100ms, 5);
    Ep3.PinHigh(kProg);
    Waits(OpWait100ms, 5);
    Ep3.PinHigh(kP33);
}

bool P89Form::Contact() { return Ep3.CheckPinContact(GndPinNo, 0, ContactMaskLo, ContactMaskHi, 0) != 0; }

int P89Form::CheckDeviceId3(const std::function<void()>& readSignature, bool bpRow4) {
    if (bpRow4) {
        readSignature();
        const auto& r = LastReadId();
        const auto& s = ExpectedId();
        if (s[0] != 0 && r[0] == s[0] && r[1] == s[1] && (r[2] == 0xF8 || r[2] == 0xFE)) {
            Status(FormatText("R=(%02x,%02x,%02x)  ", r[0], r[1], r[2]) + FormatText("S=(%02x,%02x,%02x)", s[0], s[1], s[2]));
            return 1;
        }
        return CheckDeviceIdWith(
            IdCheck51{3, false, false, "Maybe locked, or no chip...\n OK ? ", "Wrong type, OK ??", false}, [] {});
    }
    return CheckDeviceIdWith(
        IdCheck51{3, false, false, "Maybe locked, or no chip...\n OK ? ", "Wrong type, OK ??", false}, readSignature);
}

bool P89Form::HexEdit(const char* edit, const char* label, std::uint8_t& out) {
    const auto v = ScanHex(Text(edit));
    if (v) {
        out = static_cast<std::uint8_t>(*v & 0xFF);
        return true;
    }
    const std::string msg = std::string(label) + " is not hexadecimal: \"" + Text(edit) + "\"";
    Status(msg);
    wb.prompts.ShowMsg(msg);
    StepFailed();
    return false;
}

// ---- PHI89C51 --------------------------------------------------------------------------------

TPhi89c5x::TPhi89c5x(Workbench& w) : P89Form(w, "Philip P89C51Uxx,P89c51Rx+") {
    AddEdit(kType, "", "Type", true);
    AddStatus(kMsg, "Prompt  ");
    AddEdit(kAddress, "", "", true).Emphasis = true;
    AddProgress(kProgress);
    DeclareButtons51({{"Init", "init  ", [this] { InitClick(); }},
                      {"Erase", "Erase", [this] { EraseClick(); }},
                      {"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Write", "Write.", [this] { WriteClick(); }},
                      {"Verify", "Vrfy", [this] { VerifyClick(); }},
                      {"Read1", "Read  ", [this] { ReadRom(); }},
                      {"ID", "MFG ID  ", [this] { IDClick(); }},
                      {"CancelBtn", "Exit ", [this] { CancelBtnClick(); }}});
    AddGroup("GroupLock", "Lock");
    AddCheck("CheckBox1", "1:No W.(Lock)   ", true, "GroupLock");
    AddCheck("CheckBox2", "2:No R  (Lock)", true, "GroupLock");
    AddCheck("CheckBox3", "3:No ext code ", true, "GroupLock");
    AddButton("Secrity", "Lock ", [this] { SecrityClick(); }, "GroupLock");
    AddGroup("GroupCfg", "CFG ");
    AddEdit("Edit1", "Status:", "00", false, "GroupCfg");
    AddEdit("Edit2", "Boot Ver:", "00", false, "GroupCfg");
    AddButton("Config", "Wr.CFG ", [this] { ConfigClick(); }, "GroupCfg");
    AddButton("Button2", "Rd.CFG ", [this] { Button2Click(); }, "GroupCfg");
    AddGroup("GroupBox1", "Batch   ");
    AddCheck("initial", "init  ", false, "GroupBox1");
    for (auto [n, c] : {std::pair{"CheckEra", "Erase "}, std::pair{"CheckBla", "Blank?  "},
                        std::pair{"CheckWri", "Write."}, std::pair{"CheckCon", "Wr.CFG "},
                        std::pair{"CheckVer", "Vrfy"}, std::pair{"CheckSec", "Lock"}})
        AddCheck(n, c, true, "GroupBox1");
    AddButton("Button1", " Run  ", [this] { Button1Click(); }, "GroupBox1");
    FillVariantTable();
}

void TPhi89c5x::FillVariantTable() {
    Table = {{"Exit", 0},
             {"1: P89C51Uxx 4Kx8", 0x0FFF},   {"2: P89C52Uxx 8Kx8", 0x1FFF},   {"3: P89C54Uxx 16Kx8", 0x3FFF},
             {"4: P89C58Uxx 32Kx8", 0x7FFF},  {"5: P89C51RA+ 8Kx8", 0x1FFF},   {"6: P89C51RB+ 16Kx8", 0x3FFF},
             {"7: P89C51RC+ 32Kx8", 0x7FFF},  {"8: P89C51RD+ 64Kx8", 0xFFFF},  {"9: P89C51RA2 8Kx8", 0x1FFF},
             {"10:P89C51RB2 16Kx8", 0x3FFF},  {"11:P89C51RC2 32Kx8", 0x7FFF},  {"12:P89C51RD2 64Kx8", 0xFFFF}};
}

void TPhi89c5x::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    SetupShow();
    FillVariantTable();
    const Mcs51Row& r = *SelectedRow();
    ShowRowRange(r);
    SetEnabled("Erase", r.Name.find("OTP") == std::string::npos);
    const bool cfg = wb.sel.VariantIndex > 4;
    SetEnabled("Config", cfg);
    SetEnabled("CheckCon", cfg);
    PutChecked("CheckCon", cfg);
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVpp(12000);
    Ep3.SetVcc(5000);
}

void TPhi89c5x::PowerUp51() {
    Ep3.VccPin(0);
    Ep3.GndPin(GndPinNo);
    Ep3.SetAllPins(0);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.ClockPin(kXtal1);
    Put1(OpWait100ms);
    Ep3.SetPortMode(PortMode51Read);
    Ep3.VccPin(VccPinNo);
    SetModePins51(false, false, false, false);
    SetPins({H(kRst), L(kPsen), H(kEa)});
    SetAddress51(0);
    SetPins({H(kProg), H(kP33), L(kP27)});
    Flush();
}

std::uint8_t TPhi89c5x::ProgramByte51(std::uint8_t v) {
    Ep3.UsbPut2(OpPutData51, v);
    Ep3.PinLow(kProg);
    Waits(OpWaitShort, 2);
    Ep3.PinHigh(kProg);
    return v;
}

void TPhi89c5x::LockBitPulse51() {
    Ep3.PinLow(kProg);
    Put1(OpWait100us);
    Ep3.PinHigh(kProg);
    Flush();
}

void TPhi89c5x::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    Status("Reading..........");
    PowerUp51();
    SetModePins51(false, false, false, false);
    SetPins({H(kEa), H(kProg), L(kP27), L(kP33)});
    Flush();
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(PortMode51Read);
    ReadImage51(r);
    ShowProgress(r.LastAddress);
    Off();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TPhi89c5x::EraseClick() {
    Row();
    if (!Contact()) return;
    Status("Erasing");
    PowerUp51();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    SetAddress51(0);
    for (int n = 1; n <= 3; ++n) {
        SetModePins51(false, false, true, false);
        EraseStep51();
        Flush();
        SetProgress(kProgress, 0, 3, n);
    }
    Off();
    Success("OK");
}

void TPhi89c5x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    Status("Blank CHK");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kP34, 0);
    SetModePins51(false, false, false, false);
    SetPins({H(kProg), L(kP27), L(kP33)});
    Flush();
    if (!Ep3.CheckCurrent()) return;
    BlankBlocks51(r, [this] { Off(); });
}

void TPhi89c5x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    Status("Verify.");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kP34, 0);
    SetModePins51(false, false, false, false);
    SetPins({H(kProg), L(kP27), L(kP33), H(kEa)});
    Flush();
    if (!Ep3.CheckCurrent()) return;
    CheckBlocks51(r, kVerifyPass51, [this] { Ep3.VccPin(0); }, [this] { Off(); });
}

void TPhi89c5x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    if (!NeedFileWindow()) return;
    if (!CheckDeviceId3([this] { IDClick(); })) return;
    Status("Writing..");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetModePins51(false, false, true, true);
    Flush();
    SetPins({H(kP27), L(kP33)});
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    PageLoop51(r, [this](std::uint8_t v) { ProgramByte51(v); });
    ShowProgress(r.LastAddress);
    Off();
    Success("OK");
}

void TPhi89c5x::SecrityClick() {
    Row();
    if (!Contact()) return;
    Status("Locking");
    PowerUp51();
    SetPins({H(kP27), L(kP33)});
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    const char* boxes[3] = {"CheckBox1", "CheckBox2", "CheckBox3"};
    for (int k = 0; k < 3; ++k) {
        if (!Checked(boxes[k])) continue;
        SetModePins51(false, true, false, true);
        SetAddress51(k);
        LockBitPulse51();
    }
    Off();
    Success("OK");
}

void TPhi89c5x::ConfigClick() {
    Row();
    // Both edits are read first: one without a leading hexadecimal digit
    // refuses Wr.CFG, nothing sent.
    std::uint8_t status = 0, boot = 0;
    if (!HexEdit("Edit1", "Status", status) || !HexEdit("Edit2", "Boot Ver", boot)) return;
    if (!Contact()) return;
    Status("Wrt. CFG.");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    Ep3.VppPin(VppPinNo);
    SetModePins51(true, false, false, false);
    EraseStep51();
    SetPins({H(kP27), L(kP33)});
    SetModePins51(true, false, false, true);
    SetAddress51(0);
    ProgramByte51(status);
    SetAddress51(1);
    ProgramByte51(boot);
    Flush();
    Off();
    Success("OK");
}

void TPhi89c5x::InitClick() {
    Row();
    if (!Contact()) return;
    Status("Init.....");
    PowerUp51();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    SetAddress51(0);
    SetModePins51(true, true, false, true);
    EraseStep51();
    Off();
    Success("OK");
}

void TPhi89c5x::Button2Click() {
    Row();
    if (!Contact()) return;
    PowerUp51();
    SetModePins51(true, false, true, true);
    SetPins({H(kProg), L(kP27), L(kP33)});
    Ep3.SetPortMode(PortMode51Read);
    Ep3.VppPin(VppPinNo);
    SetAddress51(0);
    ReadBlock(Ep3.UsbReplyBuf.data());
    const auto* b = Ep3.UsbReplyBuf.data();
    Off();
    Status(FormatText("Lock=%02x,Stat=%02x,Vect=%02x", b[0], b[1], b[2]));
}

void TPhi89c5x::IDClick() {
    Row();
    if (!Contact()) return;
    Status("Detect MFG and ID .....");
    PowerUp51();
    SetModePins51(true, true, true, true);
    Ep3.PinLow(kP33);
    SetAddress51(0);
    ReadBlock(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    for (int i = 0; i < 3; ++i) id[static_cast<std::size_t>(i)] = Ep3.UsbReplyBuf[static_cast<std::size_t>(i)];
    SetPins({H(kP27), H(kP33)});
    const std::string text = FormatText("MFG and ID is   = %02x,%02x, %02x", id[0], id[1], id[2]);
    Off();
    Status(text);
}

void TPhi89c5x::Button1Click() {
    Row();
    RunBatch51({{"initial", [this] { InitClick(); }},
                {"CheckEra", [this] { EraseClick(); }},
                {"CheckBla", [this] { BlankClick(); }},
                {"CheckWri", [this] { WriteClick(); }},
                {"CheckCon", [this] { ConfigClick(); }},
                {"CheckVer", [this] { VerifyClick(); }},
                {"CheckSec", [this] { SecrityClick(); }}});
}

QUILLA_FORM(TPhi89c5x);

// ---- PHI89NEW --------------------------------------------------------------------------------

TPhi89new::TPhi89new(Workbench& w) : P89Form(w, "Philip P89C58/54/52/51Bx Da020720") {
    DeclareStatus();
    DeclareButtons51({{"Erase", "Erase", [this] { EraseClick(); }},
                      {"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Write", "Write.", [this] { WriteClick(); }},
                      {"Verify", "Vrfy", [this] { VerifyClick(); }},
                      {"Read1", "Read  ", [this] { ReadRom(); }},
                      {"ID", "MFG ID  ", [this] { IDClick(); }}});
    AddGroup("GroupCfg", "CFG ");
    AddCheck("CheckBox1", "1:No W.(Lock)   ", true, "GroupCfg");
    AddCheck("CheckBox2", "2:No R  (Lock)", true, "GroupCfg");
    AddCheck("CheckBox3", "3:No ext code ", true, "GroupCfg");
    AddCheck("CheckBox4", "6/12 clock", false, "GroupCfg");
    AddButton("Secrity", "Wr.CFG", [this] { SecrityClick(); });
    AddGroup("GroupBox1", "Batch   ");
    for (auto [n, c] : {std::pair{"CheckEra", "Erase "}, std::pair{"CheckBla", "Blank?  "},
                        std::pair{"CheckWri", "Write."}, std::pair{"CheckVer", "Vrfy"},
                        std::pair{"CheckSec", "Wr.CFG"}})
        AddCheck(n, c, true, "GroupBox1");
    AddButton("Button1", " Run  ", [this] { Button1Click(); }, "GroupBox1");
    FillVariantTable();
}

void TPhi89new::FillVariantTable() {
    // Family: 1 on the X2 rows (the clock-mode cell).
    Table = {{"Exit", 0},
             {"1: P89C51BP  4Kx8", 0x0FFF},  {"2: P89C52BP  8Kx8", 0x1FFF},  {"3: P89C54BP 16Kx8", 0x3FFF},
             {"4: P89C58BP 32Kx8", 0x7FFF},  {"5: P89C51RA+ 8Kx8", 0x1FFF},  {"6: P89C51RB+ 16Kx8", 0x3FFF},
             {"7: P89C51RC+ 32Kx8", 0x7FFF}, {"8: P89C51RD+ 64Kx8", 0xFFFF}, {"9: P89C51RA2 8Kx8", 0x1FFF},
             {"10:P89C51RB2 16Kx8", 0x3FFF}, {"11:P89C51RC2 32Kx8", 0x7FFF}, {"12:P89C51RD2 64Kx8", 0xFFFF},
             {"13: P89C51X2  4Kx8", 0x0FFF, 0, 0, 0, 1}, {"14: P89C52X2  8Kx8", 0x1FFF, 0, 0, 0, 1},
             {"15: P89C54X2 16Kx8", 0x3FFF, 0, 0, 0, 1}, {"16: P89C58X2 32Kx8", 0x7FFF, 0, 0, 0, 1}};
}

void TPhi89new::SetupForDevice() {
    if (!SetupRowOk()) return;
    UsePackage(ChoosePackage(wb.sel.TypeText));
    SetupShow();
    FillVariantTable();
    const Mcs51Row& r = *SelectedRow();
    ShowRowRange(r);
    SetEnabled("Erase", r.Name.find("OTP") == std::string::npos);
    SetEnabled("CheckBox4", r.Family == 1);
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
}

void TPhi89new::PowerUp51() {
    Ep3.VccPin(0);
    Ep3.GndPin(GndPinNo);
    Ep3.SetVpp(4500);
    Ep3.SetVcc(5000);
    Ep3.SetAllPins(0);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.ClockPin(kXtal1);
    Ep3.SetPortMode(PortMode51Read);
    Ep3.VccPin(VccPinNo);
    SetModePins51(false, false, false, false);
    SetPins({H(kRst), L(kPsen), H(kEa)});
    SetAddress51(0);
    SetPins({H(kProg), H(kP33), L(kP27)});
    Flush();
    Ep3.VppPin(VppPinNo);
}

int TPhi89new::PreCheck51() {
    PowerUp51();
    Ep3.ClockPin(0);
    Ep3.SetPinOption(kXtal1, 0);
    Ep3.SetPinOption(kXtal2, 1);
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

std::uint8_t TPhi89new::ProgramByte51(std::uint8_t v) {
    Ep3.UsbPut2(OpPutData51, v);
    SetPins({L(kP33), L(kProg)});
    Put1(OpWaitShort);
    SetPins({H(kProg), H(kP33)});
    return v;
}

void TPhi89new::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Reading..........");
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    SetModePins51(false, false, false, false);
    Ep3.PinLow(kP33);
    Ep3.SetPortMode(PortMode51Read);
    ReadImage51(r);
    ShowProgress(r.LastAddress);
    Off();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TPhi89new::EraseClick() {
    Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Erasing");
    Ep3.SetPortMode(PortModeReset);
    PowerUp51();
    SetAddress51(0);
    SetModePins51(false, false, true, false);
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    SetPins({H(kP27), L(kP33), L(kProg)});
    Waits(OpWait100ms, 2);
    SetPins({H(kProg), H(kP33)});
    Off();
    Success("END");
}

void TPhi89new::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Blank CHK");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    SetModePins51(false, false, false, false);
    SetPins({H(kProg), L(kP27), L(kP33)});
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    BlankBlocks51(r, [this] { Off(); });
}

void TPhi89new::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Verifying..");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kP34, 0);
    SetModePins51(false, false, false, false);
    SetPins({H(kProg), L(kP27), L(kP33)});
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    CheckBlocks51(r, kVerifyPass51, [this] { Off(); }, [this] { Off(); });
}

void TPhi89new::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    if (!NeedFileWindow()) return;
    if (!CheckDeviceId3([this] { IDClick(); }, wb.sel.VariantIndex == 4)) return;
    Status("Writing..");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetAddress51(0);
    SetPins({H(kP27), L(kP33)});
    SetModePins51(false, false, true, true);
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    PageLoop51(r, [this](std::uint8_t v) { ProgramByte51(v); });
    ShowProgress(r.LastAddress);
    Off();
    Success("OK");
}

void TPhi89new::SecrityClick() {
    Row();
    PreCheck51();
    Status("Locking");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    SetPins({H(kP27), L(kP33)});
    SetModePins51(false, true, false, true);
    const char* boxes[3] = {"CheckBox1", "CheckBox2", "CheckBox3"};
    for (int k = 0; k < 3; ++k) {
        if (!Checked(boxes[k])) continue;
        SetAddress51(k);
        ProgramByte51(0xFF);
    }
    // The clock-mode cell only while "6/12 clock" is enabled (an X2 row).
    if (Ticked("CheckBox4")) {
        SetModePins51(true, false, false, true);
        SetAddress51(0);
        ProgramByte51(0xFF);
    }
    Off();
    Success("OK");
}

void TPhi89new::IDClick() {
    Row();
    if (!Contact()) return;
    Status("Detect MFG and ID .....");
    PowerUp51();
    SetModePins51(true, true, true, true);
    Ep3.PinLow(kP33);
    SetAddress51(0);
    ReadBlock(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    id[0] = Ep3.UsbReplyBuf[5];
    id[1] = Ep3.UsbReplyBuf[6];
    id[2] = Ep3.UsbReplyBuf[4];
    SetPins({H(kP27), H(kP33)});
    Off();
    Status(FormatText("Detected MFG and ID = %02x,%02x,%02x.", id[0], id[1], id[2]));
}

void TPhi89new::Button1Click() {
    Row();
    RunBatch51({{"CheckEra", [this] { EraseClick(); }},
                {"CheckBla", [this] { BlankClick(); }},
                {"CheckWri", [this] { WriteClick(); }},
                {"CheckVer", [this] { VerifyClick(); }},
                {"CheckSec", [this] { SecrityClick(); }}});
}

QUILLA_FORM(TPhi89new);

}  // namespace quilla

namespace quilla {

using namespace proto;

namespace {
constexpr int kP36 = 16;

}  // namespace

// ---- PHI89RX2 and P89C51RX2XX --------------------------------------------------------------------

TPhi89c51rx2::TPhi89c51rx2(Workbench& w, bool xx1)
    : P89Form(w, xx1 ? "Philip P89C51Rx2xx" : "Philip P89C51Rx2Hxx,P89c66x"), xx1_(xx1) {
    DeclareStatus();
    DeclareButtons51({{"Erase", "Erase", [this] { EraseClick(); }},
                      {"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Write", "Write.", [this] { WriteClick(); }},
                      {"Verify", "Vrfy", [this] { VerifyClick(); }},
                      {"Read1", "Read  ", [this] { ReadRom(); }},
                      {"ID", "MFG ID  ", [this] { IDClick(); }},
                      {"Secrity", "Lock ", [this] { SecrityClick(); }},
                      {"Config", "Wr.CFG", [this] { ConfigClick(); }},
                      {"Button2", "Rd.CFG ", [this] { Button2Click(); }}});
    AddGroup("GroupCfg", "CFG ");
    AddEdit("Edit1", "Status:", "00", false, "GroupCfg");
    AddEdit("Edit2", "Boot Ver:", "00", false, "GroupCfg");
    AddCheck("CheckBox4", "12/6 Clk", false, "GroupCfg");
    AddCheck("CheckBox1", "1:No W.(Lock)   ", true, "GroupCfg");
    AddCheck("CheckBox2", "2:No R  (Lock)", true, "GroupCfg");
    AddCheck("CheckBox3", "3:No ext code ", true, "GroupCfg");
    AddGroup("GroupBox1", "Batch   ");
    for (auto [n, c] : {std::pair{"CheckEra", "Erase "}, std::pair{"CheckBla", "Blank?  "},
                        std::pair{"CheckWri", "Write."}, std::pair{"CheckVer", "Vrfy"}, std::pair{"CheckSec", "Lock"},
                        std::pair{"CheckCon", "Wr.CFG"}})
        AddCheck(n, c, true, "GroupBox1");
    AddButton("Button1", " Run  ", [this] { Button1Click(); }, "GroupBox1");
    FillVariantTable();
}

void TPhi89c51rx2::FillVariantTable() {
    Table = {{"Exit", 0},
             {"1: P89C51RA2 8Kx8", 0x1FFF},
             {"2:P89C51RB2 16Kx8", 0x3FFF},
             {"3:P89C51RC2 32Kx8", 0x7FFF},
             {"4:P89C51RD2 64Kx8", 0xFFFF}};
}

void TPhi89c51rx2::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    SetupShow();
    FillVariantTable();
    const Mcs51Row& r = *SelectedRow();
    ShowRowRange(r);
    SetEnabled("Erase", r.Name.find("OTP") == std::string::npos);
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVpp(4500);
    Ep3.SetVcc(5000);
}

void TPhi89c51rx2::PowerUp51() {
    if (!xx1_) {
        Ep3.GndPin(GndPinNo);
        Ep3.SetVpp(4500);
        Ep3.SetVcc(5000);
        Ep3.SetPinOption(kXtal2, 1);
        Ep3.SetPinOption(kXtal1, 1);
        Ep3.ClockPin(kXtal1);
        Ep3.SetPortMode(PortMode51Read);
        Ep3.VccPin(0);
        Ep3.VccPin(VccPinNo);
        SetModePins51(false, false, false, false);
        SetPins({H(kPsen), H(kRst), H(kEa), L(kPsen)});
        SetAddress51(0);
        SetPins({H(kProg), H(kP33), L(kP27), H(kP36)});
        Flush();
        return;
    }
    Ep3.GndPin(GndPinNo);
    Ep3.ClockPin(kXtal1);
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.VccPin(0);
    Ep3.VccPin(VccPinNo);
    SetAddress51(0);
    SetPins({H(kProg), H(kP33), L(kP27), H(kP36)});
    SetModePins51(false, false, false, false);
    SetPins({H(kPsen), H(kRst), H(kEa)});
    Ep3.VppPin(VppPinNo);
    Put1(OpWaitPulse);
    Ep3.PinLow(kPsen);
    Flush();
}

int TPhi89c51rx2::PreCheck51() {
    PowerUp51();
    Ep3.VccPin(VccPinNo);
    Ep3.SetPinOption(kXtal1, 0);
    Ep3.SetPinOption(kXtal2, 1);
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

std::uint8_t TPhi89c51rx2::ProgramByte51(std::uint8_t v) {
    Ep3.UsbPut2(OpPutData51, v);
    if (xx1_) Ep3.PinLow(kP33);
    Ep3.PinLow(kProg);
    Put1(OpWaitPulse);
    Ep3.PinHigh(kProg);
    if (xx1_) Ep3.PinHigh(kP33);
    return v;
}

void TPhi89c51rx2::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    Status(xx1_ ? "Read." : "Reading..........");
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    SetModePins51(false, false, false, false);
    SetPins({H(kProg), L(kP27), L(kP33)});
    if (!xx1_) {
        Ep3.VppPin(VppPinNo);
        Ep3.SetPortMode(PortMode51Read);
    }
    ReadImage51(r);
    ShowProgress(r.LastAddress);
    Off();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TPhi89c51rx2::EraseClick() {
    Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Erasing");
    PowerUp51();
    SetAddress51(0);
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    if (xx1_) SetModePins51(false, true, true, true);
    else SetModePins51(false, false, true, false);
    EraseStep51();
    Off();
    Success("END");
}

void TPhi89c51rx2::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Blank CHK");
    PowerUp51();
    if (!xx1_) Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kP34, 0);
    SetModePins51(false, false, false, false);
    SetPins({H(kProg), L(kP27), L(kP33)});
    if (!Ep3.CheckCurrent()) return;
    BlankBlocks51(r, [this] { Off(); });
}

void TPhi89c51rx2::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    Status(xx1_ ? "Verify." : "Verifying..");
    PowerUp51();
    if (!xx1_) {
        Ep3.SetPortMode(PortMode51Read);
        Ep3.SetPinOption(kP34, 0);
    }
    SetModePins51(false, false, false, false);
    SetPins({H(kProg), L(kP27), L(kP33)});
    if (!Ep3.CheckCurrent()) return;
    CheckBlocks51(
        r, kVerifyPass51,
        [this] {
            if (xx1_) Off();
            else Ep3.VccPin(0);
        },
        [this] { Off(); });
}

void TPhi89c51rx2::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    if (!NeedFileWindow()) return;
    if (!CheckDeviceId3([this] { IDClick(); })) return;
    Status("Writing..");
    PowerUp51();
    if (xx1_) {
        SetPins({H(kP27), H(kP33)});
        Ep3.VppPin(VppPinNo);
        if (!Ep3.CheckCurrent()) return;
        SetModePins51(false, false, true, false);
        Ep3.SetPortMode(PortModeReset);
        Ep3.SetPinOption(kXtal2, 1);
        Flush();
    } else {
        Ep3.SetPortMode(PortModeReset);
        SetPins({H(kRst), L(kPsen), H(kProg), H(kEa)});
        SetAddress51(0);
        SetPins({H(kP27), L(kP33)});
        Ep3.VppPin(VppPinNo);
        if (!Ep3.CheckCurrent()) return;
        SetModePins51(false, false, true, true);
        SetPins({H(kP27), L(kP33)});
        Flush();
    }
    PageLoop51(r, [this](std::uint8_t v) { ProgramByte51(v); });
    Flush();
    ShowProgress(r.LastAddress);
    Off();
    Success("OK");
}

void TPhi89c51rx2::SecrityClick() {
    Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Locking");
    if (!xx1_) Ep3.SetPortMode(PortMode51Read);
    PowerUp51();
    Ep3.VppPin(VppPinNo);
    const char* boxes[3] = {"CheckBox1", "CheckBox2", "CheckBox3"};
    if (xx1_) {
        SetPins({H(kP27), H(kP33)});
        SetModePins51(false, false, false, true);
    } else {
        SetPins({H(kP27), L(kP33)});
        SetModePins51(false, true, false, true);
    }
    for (int k = 0; k < 3; ++k) {
        if (!Checked(boxes[k])) continue;
        SetAddress51(xx1_ ? 0x3000 + k * 0x1000 : k);
        ProgramByte51(0xFF);
    }
    Off();
    Success("OK");
}

void TPhi89c51rx2::ConfigClick() {
    Row();
    std::uint8_t status = 0, boot = 0;
    if (!HexEdit("Edit1", "Status", status) || !HexEdit("Edit2", "Boot Ver", boot)) return;
    if (!Contact()) return;
    PreCheck51();
    Status("Wrt. CFG.");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    if (xx1_) {
        Ep3.SetPinOption(kXtal2, 1);
        Ep3.VppPin(VppPinNo);
        SetPins({H(kP27), H(kP33)});
        SetModePins51(true, false, true, false);
        EraseStep51();
        SetModePins51(false, false, false, true);
        SetAddress51(0x0000);
        ProgramByte51(status);
        SetAddress51(0x1000);
        ProgramByte51(boot);
        Flush();
        if (Checked("CheckBox4")) {
            SetAddress51(0x2000);
            ProgramByte51(0xFF);
        }
    } else {
        Ep3.VppPin(VppPinNo);
        SetModePins51(true, false, false, false);
        EraseStep51();
        SetPins({H(kP27), L(kP33)});
        SetModePins51(true, false, false, true);
        SetAddress51(0);
        ProgramByte51(status);
        SetAddress51(1);
        ProgramByte51(boot);
        Flush();
        if (Checked("CheckBox4")) {
            SetModePins51(true, true, true, false);
            SetAddress51(1);
            ProgramByte51(0x80);
        }
    }
    Off();
    Success("OK");
}

void TPhi89c51rx2::Button2Click() {
    Row();
    if (!Contact()) return;
    PowerUp51();
    if (xx1_) {
        SetModePins51(true, true, true, true);
        SetPins({H(kProg), L(kP27), L(kP33)});
        unsigned v[4];
        for (int i = 0; i < 4; ++i) {
            SetAddress51(i * 0x1000);
            ReadBlock(Ep3.UsbReplyBuf.data());
            v[i] = Ep3.UsbReplyBuf[0];
        }
        Off();
        Status(FormatText("Status=%02x,Vect=%02x,Config=%02x,Lock=%02x", v[0], v[1], v[2], v[3]));
        return;
    }
    SetModePins51(true, false, true, true);
    SetPins({H(kProg), L(kP27), L(kP33)});
    Ep3.SetPortMode(PortMode51Read);
    Ep3.VppPin(VppPinNo);
    SetAddress51(0);
    ReadBlock(Ep3.UsbReplyBuf.data());
    const auto* b = Ep3.UsbReplyBuf.data();
    Off();
    Status(FormatText("Lock=%02x,Stat=%02x,Vect=%02x,Clock=%02x", b[0], b[1], b[2], b[3]));
}

void TPhi89c51rx2::IDClick() {
    Row();
    if (!Contact()) return;
    Status("Detect MFG and ID .....");
    PreCheck51();
    PowerUp51();
    auto& id = LastReadId();
    if (xx1_) {
        SetModePins51(true, true, true, true);
        SetPins({L(kP33), L(kP27)});
        const std::int32_t at[3] = {0x5000, 0x6000, 0x4000};
        for (int i = 0; i < 3; ++i) {
            SetAddress51(at[i]);
            ReadBlock(Ep3.UsbReplyBuf.data());
            id[static_cast<std::size_t>(i)] = Ep3.UsbReplyBuf[0];
        }
    } else {
        Ep3.SetPortMode(PortMode51Read);
        SetModePins51(true, true, true, true);
        SetAddress51(0);
        SetPins({L(kP33), L(kP27)});
        Ep3.VppPin(VppPinNo);
        ReadBlock(Ep3.UsbReplyBuf.data());
        for (int i = 0; i < 3; ++i) id[static_cast<std::size_t>(i)] = Ep3.UsbReplyBuf[static_cast<std::size_t>(i)];
    }
    SetPins({H(kP27), H(kP33)});
    Off();
    Status(FormatText("Detected MFG and ID = %02x,%02x,%02x.", id[0], id[1], id[2]));
}

void TPhi89c51rx2::Button1Click() {
    Row();
    RunBatch51({{"CheckEra", [this] { EraseClick(); }},
                {"CheckBla", [this] { BlankClick(); }},
                {"CheckWri", [this] { WriteClick(); }},
                {"CheckCon", [this] { ConfigClick(); }},
                {"CheckVer", [this] { VerifyClick(); }},
                {"CheckSec", [this] { SecrityClick(); }}});
}

QUILLA_FORM(TPhi89c51rx2);
QUILLA_FORM(TPhi89c51rx2xx1);

}  // namespace quilla
