#include "algo/mcs51/eprom51.h"

#include <cstdio>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP31 = 11, kP33 = 13, kP34 = 14, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;
constexpr int kVccOkMin = 4500, kVccOkMax = 5500;  // the parts' programming VCC

constexpr Package51 kP51Dip40{"DIP40", "p51dip40.bit", 31, 40, 20, 0xFFFFFFFFu, 0xFFu};
constexpr Package51 kP51Plcc44{"PLCC44", "p51plcc44.bit", 33, 42, 20, 0x7FEFFDFFu, 0xFFu};

const char* const kNoExtCode = "No setting for \"No ext code\", may not run...";

}  // namespace

// ---- the shared routines ---------------------------------------------------------------------

Eprom51Form::Eprom51Form(Workbench& w, std::string caption)
    : Mcs51Form(w, std::move(caption), {21, 22, 23, 24, 25, 26, kP34, 15}) {}

bool Eprom51Form::Contact() { return Ep3.CheckPinContact(GndPinNo, 0, ContactMaskLo, ContactMaskHi, 0) != 0; }

bool Eprom51Form::Contact40() { return DipContact51(); }

void Eprom51Form::ReadStrobe51() {
    Ep3.PinLow(kP27);
    Put1(OpSampleData51);
    Ep3.PinHigh(kP27);
}

void Eprom51Form::Read64(std::int32_t a, std::uint8_t* dest) {
    SetAddress51(a);
    for (int i = 0; i < 64; ++i) {
        ReadStrobe51();
        NextAddress51();
    }
    Ep3.UsbReadReply(dest);
}

void Eprom51Form::PulseByte(std::uint8_t b, int pulses) {
    Ep3.UsbPut2(OpPutData51, b);
    for (int i = 0; i < pulses; ++i) {
        Ep3.PinLow(kProg);
        Put1(OpWaitPulse);
        Ep3.PinHigh(kProg);
    }
}

bool Eprom51Form::ForEachStep(const Mcs51Row& r, int step, const std::function<bool(std::int32_t)>& block) {
    const std::int32_t end = EndAddr();
    for (std::int32_t a = 0; a < r.LastAddress && a <= end; a += step) {
        ShowProgress(a);
        if (!block(a)) return false;
    }
    return true;
}

void Eprom51Form::ProgramBlocks(const Mcs51Row& r, const std::function<void(std::uint8_t)>& programByte) {
    ForEachStep(r, kBlock, [&](std::int32_t a) {
        SetAddress51(a);
        ProgramBytes51(a, kBlock, programByte);
        Flush();
        return true;
    });
}

int Eprom51Form::CheckDeviceId2(const std::function<void()>& readSignature) {
    static const IdCheck51 check{2, false, false, "Locked already. OK?????", "Wrong type, OK ??", false};
    return CheckDeviceIdWith(check, readSignature);
}

void Eprom51Form::Batch(const std::vector<BatchStep>& steps, bool dip40Contact) {
    if (dip40Contact)
        RunBatchDip51(steps);
    else
        RunBatch51(steps);
}

// ---- PHI8758 ----------------------------------------------------------------------------------

TPhi875x::TPhi875x(Workbench& w) : Eprom51Form(w, "87c5x") {
    DeclareStatus();
    DeclareButtons51({{"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Write", "Write ", [this] { WriteClick(); }},
                      {"Verify", "Vrfy.", [this] { VerifyClick(); }},
                      {"Secrity", "Lock  ", [this] { SecrityClick(); }},
                      {"Read1", "Read  ", [this] { ReadRom(); }},
                      {"ID", "MFG ID  ", [this] { IDClick(); }},
                      {"Config", "Wr.CFG", [this] { ConfigClick(); }},
                      {"Button3", "Rd.CFG", [this] { Button3Click(); }}});
    DeclareBatch({{"CheckBox1", "Blank?"},
                  {"CheckBox2", "Write "},
                  {"CheckBox3", "Vrfy"},
                  {"CheckBox8", "Wr.CFG"},
                  {"CheckBox4", "Lock "}},
                 " Run  ", [this] { Button1Click(); });
    AddGroup("GroupBox2", "LockMode");
    AddCheck("CheckBox5", "No write  ", true, "GroupBox2");
    AddCheck("CheckBox6", "No R  （Lock）", true, "GroupBox2");
    AddCheck("CheckBox7", "No ext code ", true, "GroupBox2");
    AddRadio("RadioGroup1", "CFG ", {"6  Clock(F.)", "12 Clock"}, 1);
    FillVariantTable();
}

void TPhi875x::FillVariantTable() {
    // Family: PROG pulses per byte. Row 13 (87C51RD+, 64 KiB) ends at 0xFFFF.
    Table = {{"Exit", 0, 0},
             {"1: 8751", 0x0FFF, 1, 0, 0, 5},      {"2: 87C51", 0x0FFF, 1, 0, 0, 5},
             {"3: 8752", 0x1FFF, 1, 0, 0, 5},      {"4: 87C52", 0x1FFF, 1, 0, 0, 5},
             {"5: 87C54", 0x3FFF, 1, 0, 0, 5},     {"6: 87C58", 0x7FFF, 1, 0, 0, 5},
             {"7: 87C51FA", 0x1FFF, 1, 0, 0, 5},   {"8: 87C51FB", 0x3FFF, 1, 0, 0, 5},
             {"9: 87C51FC", 0x7FFF, 1, 0, 0, 5},   {"10: 87C51RA+", 0x1FFF, 1, 0, 0, 5},
             {"11: 87C51RB+", 0x3FFF, 1, 0, 0, 5}, {"12: 87C51RC+", 0x7FFF, 1, 0, 0, 5},
             {"13: 87C51RD+", 0xFFFF, 1, 0, 0, 5}, {"14: 97C51", 0x0FFF, 1, 0, 0, 25},
             {"15: 97C52", 0x1FFF, 1, 0, 0, 25},   {"16: 97C54", 0x3FFF, 1, 0, 0, 25},
             {"17: 97C58", 0x7FFF, 1, 0, 0, 25}};
}

void TPhi875x::SetupForDevice() {
    FillVariantTable();
    // VCC from vcc= (5000 mV when absent or <= 0); a level outside the parts'
    // 4.5-5.5 V is refused before anything reaches the programmer.
    int vcc = wb.sel.GetParam("vcc=");
    if (vcc <= 0) vcc = 5000;
    LineError.clear();
    if (vcc < kVccOkMin || vcc > kVccOkMax)
        LineError = "Bad device line: vcc=" + std::to_string(vcc) + " of PHI8758 (4500 to 5500)";
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    AlgoForm::Show();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    const Mcs51Row& r = *SelectedRow();
    char caption[32];
    std::snprintf(caption, sizeof caption, "51 MPU 0 to %x", static_cast<unsigned>(r.LastAddress));
    SetCaption(caption);
    Put(kType, wb.sel.SelectedDevice);
    ShowRowRange(r);
    AlgoForm::Show();
    SetEnabled("CheckBox7", r.Family == 5);
    const bool clk6 = wb.sel.GetParam("clk=") == 6;
    SetVisible("RadioGroup1", clk6);
    SetEnabled("CheckBox8", clk6);
    if (!Ep3.Connected) return;
    Ep3.SetVpp(12500);
    Ep3.SetVcc(vcc);
    Ep3.GndPin(GndPinNo);
}

void TPhi875x::PowerUp51() {
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.VccPin(0);
    Ep3.VccPin(VccPinNo);
    Ep3.ClockPin(kXtal1);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37)});
    Flush();
}

int TPhi875x::PreCheck51() {
    Ep3.GndPin(GndPinNo);
    Ep3.VccPin(VccPinNo);
    Ep3.PinHigh(kRst);
    Ep3.PinLow(kRst);
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

void TPhi875x::ProgramByte51(std::uint8_t b) { PulseByte(b, Row().Family == 25 ? 25 : 5); }

bool TPhi875x::LockBitPulse51(bool p27, bool p28, bool p16, bool p17) {
    PowerUp51();
    Ep3.VccPin(VccPinNo);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa)});
    Ep3.UsbPut2(OpPutData51, 0xFF);
    Flush();
    Ep3.SetPin(p27, kP26);
    Ep3.SetPin(p28, kP27);
    Ep3.SetPin(p16, kP36);
    Ep3.SetPin(p17, kP37);
    SetPins({H(kP31), H(kP33)});
    SetAddress51(0);
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return false;
    Put1(OpWaitSettle);
    for (int i = 0; i < 25; ++i) {
        Ep3.PinLow(kProg);
        Put1(OpWaitPulse);
        Ep3.PinHigh(kProg);
    }
    Flush();
    Off();
    return true;
}

int TPhi875x::CheckDeviceId() {
    return CheckDeviceId2([this] { IDClick(); });
}

void TPhi875x::ReadPins() {
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37), H(kP31), L(kP33)});
}

void TPhi875x::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Status("Read.");
    ReadPins();
    Ep3.SetPortMode(PortMode51Read);
    SetAddress51(0);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    ForEachStep(r, kBlock, [this](std::int32_t a) {
        SetAddress51(a);
        ReadBlock(Image(a));
        return true;
    });
    ShowProgress(r.LastAddress);
    Off();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TPhi875x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    if (!CheckDeviceId()) return;
    Status("Blank CHK");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    ReadPins();
    Ep3.SetPortMode(PortMode51Read);
    SetAddress51(0);
    wb.ErrorFlag() = 0;
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const bool blank = ForEachStep(r, kBlock, [&](std::int32_t a) {
        SetAddress51(a);
        ReadBlock(buf);
        return BlockChecked51(kBlankPass51, a, buf, [this] { Off(); });
    });
    if (!blank) return;
    PassEnd51(kBlankPass51, r.LastAddress, [this] { Off(); });
    Off();
}

void TPhi875x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    if (!NeedFileWindow("Must open a file first....")) return;
    Status("Verify.");
    PreCheck51();
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    ReadPins();
    Ep3.SetPortMode(PortMode51Read);
    SetAddress51(0);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const bool same = ForEachStep(r, kBlock, [&](std::int32_t a) {
        SetAddress51(a);
        ReadBlock(buf);
        return BlockChecked51(kVerifyPass51, a, buf, [this] { Off(); });
    });
    if (!same) return;
    PassEnd51(kVerifyPass51, r.LastAddress, [this] { Off(); });
}

void TPhi875x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    if (!NeedFileWindow()) return;
    PreCheck51();
    if (!CheckDeviceId()) return;
    Status("Write");
    Ep3.SetPortMode(PortModeReset);
    PowerUp51();
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), H(kP27), H(kP36), H(kP37), H(kP31), H(kP33)});
    SetAddress51(0);
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    const int pulses = r.Family == 25 ? 25 : 5;
    ProgramBlocks(r, [this, pulses](std::uint8_t v) { PulseByte(v, pulses); });
    ShowProgress(r.LastAddress);
    Off();
    Success("OK");
}

void TPhi875x::IDClick() {
    Row();
    if (!Contact()) return;
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), L(kP36), L(kP37)});
    SetAddress51(0);
    ReadBlock(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    id[0] = Ep3.UsbReplyBuf[0x30];
    id[1] = Ep3.UsbReplyBuf[0x31];
    id[2] = Ep3.UsbReplyBuf[0x60];
    Off();
    Status(FormatText("%02x,%02x,%02x", id[0], id[1], id[2]));
}

void TPhi875x::SecrityClick() {
    Row();
    if (!Contact()) return;
    Status("Locking");
    PreCheck51();
    // Third, second, first bit. A disabled "No ext code " (the 97C rows) is not
    // ticked: the third bit is never burnt there. The first over-current ends Lock.
    if (ExpectedId()[0] == 0x15) {
        if (Ticked("CheckBox7")) {
            if (!LockBitPulse51(true, false, true, false)) return;
        } else {
            wb.prompts.ShowMsg(kNoExtCode);
        }
    }
    if (Checked("CheckBox6") && !LockBitPulse51(true, true, false, false)) return;
    if (Checked("CheckBox5") && !LockBitPulse51(true, true, true, true)) return;
    Success("OK");
}

void TPhi875x::Button3Click() {
    Row();
    if (!Get("RadioGroup1").Visible) {
        Status("");
        return;
    }
    if (!Contact40()) return;
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), L(kP37), H(kP33)});
    SetAddress51(0);
    ReadBlock(Ep3.UsbReplyBuf.data());
    const unsigned c = Ep3.UsbReplyBuf[0];
    Off();
    Status(FormatText((c & 0x10) ? "12 Clock(%02x)" : "6 Clock(%02x)", c));
}

void TPhi875x::ConfigClick() {
    Row();
    // Nothing while the CFG group is hidden or disabled (a device without the
    // 6-clock option), whatever choice it keeps from an earlier device.
    const FormControl& g = Get("RadioGroup1");
    if (!g.Visible || !g.Enabled || ItemIndex("RadioGroup1") != 0) {
        Status("");
        return;
    }
    PowerUp51();
    Ep3.VccPin(VccPinNo);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa)});
    Ep3.UsbPut2(OpPutData51, 0xFF);
    Flush();
    SetPins({L(kP26), L(kP27), L(kP36), H(kP37), L(kP33), H(kP31)});
    SetAddress51(0);
    Flush();
    Ep3.VppPin(VppPinNo);
    Put1(OpWaitSettle);
    for (int i = 0; i < 5; ++i) {
        Ep3.PinLow(kProg);
        Put1(OpWaitPulse);
        Ep3.PinHigh(kProg);
    }
    Flush();
    Off();
    Success("Config 6 Clock OK");
}

void TPhi875x::Button1Click() {
    Row();
    Batch({{"CheckBox1", [this] { BlankClick(); }},
           {"CheckBox2", [this] { WriteClick(); }},
           {"CheckBox3", [this] { VerifyClick(); }},
           {"CheckBox8", [this] { ConfigClick(); }},
           {"CheckBox4", [this] { SecrityClick(); }}},
          false);
}

QUILLA_FORM(TPhi875x);

// ---- PHI87591 ---------------------------------------------------------------------------------

TPhi87c591x::TPhi87c591x(Workbench& w) : Eprom51Form(w, "P87c591") {
    DeclareStatus();
    DeclareButtons51({{"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Write", "Write ", [this] { WriteClick(); }},
                      {"Verify", "Vrfy.", [this] { VerifyClick(); }},
                      {"Secrity", "Lock  ", [this] { SecrityClick(); }},
                      {"Read1", "Read  ", [this] { ReadRom(); }},
                      {"ID", "  ID    ", [this] { IDClick(); }},
                      {"ReadID", "Lock Bit", [this] { ReadIDClick(); }},
                      {"CancelBtn", "Exit ", [this] { CancelBtnClick(); }}});
    DeclareBatch({{"CheckBox1", "Blank?"}, {"CheckBox2", "Write "}, {"CheckBox3", "Vrfy"}, {"CheckBox4", "Lock "}},
                 " Run  ", [this] { Button1Click(); });
    Get("CheckBox4").Checked = false;
    AddGroup("GroupBox2", "LockMode");
    AddCheck("CheckBox5", "No write  ", true, "GroupBox2");
    AddCheck("CheckBox6", "No R  （Lock）", true, "GroupBox2");
    AddCheck("CheckBox7", "No ext code ", true, "GroupBox2");
    FillVariantTable();
}

void TPhi87c591x::FillVariantTable() { Table = {{"Exit", 0, 0}, {"1: 87c591", 0x3FFF, 1, 0, 0, 5}}; }

void TPhi87c591x::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    AlgoForm::Show();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    const Mcs51Row& r = *SelectedRow();
    Put(kType, wb.sel.SelectedDevice);
    ShowRowRange(r);
    AlgoForm::Show();
    SetEnabled("CheckBox7", r.Family == 5);
    if (!Ep3.Connected) return;
    Ep3.SetVpp(12500);
    Ep3.SetVcc(5000);
}

void TPhi87c591x::PowerUp51() {
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.GndPin(GndPinNo);
    Ep3.VccPin(0);
    Ep3.VccPin(VccPinNo);
    Ep3.ClockPin(kXtal1);
    SetPins({L(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), H(kP36), H(kP37), H(kP27)});
    Flush();
}

int TPhi87c591x::PreCheck51() {
    if (!Contact()) return 0;
    Ep3.GndPin(GndPinNo);
    Ep3.VccPin(VccPinNo);
    Ep3.PinHigh(kRst);
    Ep3.PinLow(kRst);
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

void TPhi87c591x::ReadSetting() {
    SetPins({L(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), H(kP36), H(kP37), H(kP27)});
}

void TPhi87c591x::LockBitPulse51(bool p27, bool p28, bool p16, bool p17) {
    PowerUp51();
    Ep3.VccPin(VccPinNo);
    SetPins({L(kRst), L(kPsen), H(kProg), H(kEa)});
    Ep3.UsbPut2(OpPutData51, 0xFF);
    Ep3.SetPin(p27, kP26);
    Ep3.SetPin(p28, kP27);
    Ep3.SetPin(p16, kP36);
    Ep3.SetPin(p17, kP37);
    SetPins({H(kP31), H(kP33)});
    SetAddress51(0);
    Flush();
    Ep3.VppPin(VppPinNo);
    for (int i = 0; i < 25; ++i) {
        Ep3.PinLow(kProg);
        Put1(OpWaitPulse);
        Ep3.PinHigh(kProg);
    }
    Ep3.VppPin(0);
}

int TPhi87c591x::CheckDeviceId() {
    return CheckDeviceId2([this] { IDClick(); });
}

std::uint8_t TPhi87c591x::SecurityValue(std::uint8_t b0, std::uint8_t b1) {
    unsigned v = 0;
    for (int j = 0; j <= 5; ++j)
        if ((b1 >> j) & 1u) v |= 1u << (5 - j);
    if (b0 & 0x80) v |= 0x40;
    if (b0 & 0x40) v |= 0x80;
    return static_cast<std::uint8_t>(v);
}

void TPhi87c591x::ReadRom() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Status("Reading data ........");
    ReadSetting();
    Flush();
    Ep3.SetPortMode(PortMode51Read);
    if (!Ep3.CheckCurrent()) return;
    ForEachStep(r, 64, [this](std::int32_t a) {
        Read64(a, Image(a));
        return true;
    });
    ShowProgress(r.LastAddress);
    Off();
    Flush();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TPhi87c591x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!CheckDeviceId()) return;
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kP34, 0);
    ReadSetting();
    Flush();
    Ep3.SetPortMode(PortMode51Read);
    if (!Ep3.CheckCurrent()) return;
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const bool blank = ForEachStep(r, 64, [&](std::int32_t a) {
        Read64(a, buf);
        return BlockChecked51(kBlank64Pass, a, buf, [this] { OffFlushed(); }, 64);
    });
    if (!blank) return;
    PassEnd51(kBlank64Pass, r.LastAddress, [this] { OffFlushed(); });
}

void TPhi87c591x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!NeedFileWindow("Must open a file first....")) return;
    Status("Verifying data.........");
    if (!PreCheck51()) return;
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kP34, 0);
    ReadSetting();
    Flush();
    Ep3.SetPortMode(PortMode51Read);
    if (!Ep3.CheckCurrent()) return;
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const bool same = ForEachStep(r, 64, [&](std::int32_t a) {
        Read64(a, buf);
        return BlockChecked51(kVerifyPass51, a, buf, [this] { OffFlushed(); }, 64);
    });
    if (!same) return;
    PassEnd51(kVerifyPass51, r.LastAddress, [this] { OffFlushed(); });
}

void TPhi87c591x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!NeedFileWindow()) return;
    if (!PreCheck51()) return;
    if (!CheckDeviceId()) return;
    Status("Writing..");
    Ep3.WriteLatch(3, 0x34);
    Ep3.SetPortMode(PortModeReset);
    PowerUp51();
    ReadSetting();
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    ProgramBlocks(r, [this](std::uint8_t v) { ProgramByte51(v); });
    ShowProgress(r.LastAddress);
    Off();
    Flush();
    Success("OK");
}

void TPhi87c591x::IDClick() {
    Row();
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    SetPins({L(kRst), L(kPsen), H(kProg), H(kEa), H(kP27), L(kP26), L(kP36), L(kP37)});
    SetAddress51(0x30);
    ReadStrobe51();
    NextAddress51();
    ReadStrobe51();
    SetAddress51(0x60);
    ReadStrobe51();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    for (int i = 0; i < 3; ++i) id[static_cast<std::size_t>(i)] = Ep3.UsbReplyBuf[static_cast<std::size_t>(i)];
    Off();
    Status(FormatText("%02x,%02x,%02x", id[0], id[1], id[2]));
}

void TPhi87c591x::SecrityClick() {
    Row();
    Status("Locking");
    if (!PreCheck51()) return;
    if (ExpectedId()[0] == 0x15) {
        if (Ticked("CheckBox7")) LockBitPulse51(true, false, true, false);
        else wb.prompts.ShowMsg(kNoExtCode);
    }
    if (Checked("CheckBox6")) LockBitPulse51(true, true, false, false);
    if (Checked("CheckBox5")) LockBitPulse51(true, true, true, true);
    Success("OK");
}

void TPhi87c591x::ReadIDClick() {
    Row();
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    SetAddress51(0xFFFF);
    Status("Read cfg bit.");
    SetPins({L(kRst), H(kProg), H(kEa), L(kP26), L(kP27), L(kP36), H(kP37)});
    Ep3.VccPin(VccPinNo);
    SetPins({H(kP31), L(kP33), L(kPsen)});
    SetAddress51(0);
    ReadStrobe51();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    // The second reply has no capture queued since the first: all zero.
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    const std::uint8_t v = SecurityValue(Ep3.UsbReplyBuf[0], Ep3.UsbReplyBuf[1]);
    Off();
    Status(FormatText("Secrity=%02x", v));
}

void TPhi87c591x::Button1Click() {
    Row();
    Batch({{"CheckBox1", [this] { BlankClick(); }},
           {"CheckBox2", [this] { WriteClick(); }},
           {"CheckBox3", [this] { VerifyClick(); }},
           {"CheckBox4", [this] { SecrityClick(); }}},
          false);
}

QUILLA_FORM(TPhi87c591x);

// ---- V87C58 -----------------------------------------------------------------------------------

TV87c58x::TV87c58x(Workbench& w) : Eprom51Form(w, "V87c54/8") {
    DeclareStatus();
    DeclareButtons51({{"Read1", "Read  ", [this] { ReadRom(); }},
                      {"Write", "Write ", [this] { WriteClick(); }},
                      {"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Verify", "Verify  ", [this] { VerifyClick(); }},
                      {"Secrity", "Lock  ", [this] { SecrityClick(); }},
                      {"CancelBtn", "Exit ", [this] { CancelBtnClick(); }},
                      {"ID", "  ID   ", [this] { IDClick(); }}});
    DeclareBatch({{"CheckBox1", "Blank?"}, {"CheckBox2", "Write "}, {"CheckBox3", "Vrfy"}, {"CheckBox4", "Lock "}},
                 " Run  ", [this] { Button1Click(); });
    Get("CheckBox4").Checked = false;
    FillVariantTable();
}

void TV87c58x::FillVariantTable() { Table = {{"Exit", 0, 0}, {"1: 87C54", 0x3FFF, 1}, {"2: 87C58", 0x7FFF, 1}}; }

void TV87c58x::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    AlgoForm::Show();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    Put(kType, wb.sel.SelectedDevice);
    ShowRowRange(*SelectedRow());
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVpp(4500);
    Ep3.SetVcc(5000);
    Ep3.SetVpp(12700);
}

void TV87c58x::PowerUp51() {
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.VccPin(0);
    Ep3.GndPin(GndPinNo);
    Ep3.VccPin(VccPinNo);
    Ep3.ClockPin(kXtal1);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37), L(kP33)});
    Flush();
}

int TV87c58x::PreCheck51() {
    Ep3.GndPin(GndPinNo);
    Ep3.VccPin(VccPinNo);
    Ep3.PinHigh(kRst);
    Ep3.PinLow(kRst);
    Flush();
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

bool TV87c58x::LockBitPulse51(bool p27, bool p28, bool p16, bool p17) {
    PowerUp51();
    Ep3.SetVpp(12700);
    Ep3.VccPin(VccPinNo);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa)});
    Ep3.SetPin(p27, kP26);
    Ep3.SetPin(p28, kP27);
    Ep3.SetPin(p16, kP36);
    Ep3.SetPin(p17, kP37);
    SetPins({H(kP31), H(kP33)});
    SetAddress51(0);
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return false;
    for (int i = 0; i < 25; ++i) {
        Ep3.PinLow(kProg);
        Ep3.PinHigh(kProg);
    }
    Put1(OpWait100ms);
    Flush();
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Flush();
    return true;
}

int TV87c58x::CheckDeviceId() {
    return CheckDeviceId2([this] { IDClick(); });
}

void TV87c58x::PrimingRead() {
    Flush();
    Ep3.SetPortMode(PortMode51Read);
    SetAddress51(0xFF);
    ReadStrobe51();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
}

void TV87c58x::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Contact40()) return;
    PreCheck51();
    PowerUp51();
    Status("Reading..");
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37), L(kP33), H(kP27)});
    PrimingRead();
    if (!Ep3.CheckCurrent()) return;
    ForEachStep(r, 64, [this](std::int32_t a) {
        Read64(a, Image(a));
        return true;
    });
    ShowProgress(r.LastAddress);
    Off();
    Flush();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TV87c58x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Contact40()) return;
    PreCheck51();
    if (!CheckDeviceId()) return;
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(PortMode51Read);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37), H(kP31), L(kP33)});
    PrimingRead();
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const bool blank = ForEachStep(r, 64, [&](std::int32_t a) {
        Read64(a, buf);
        return BlockChecked51(kBlank64Pass, a, buf, [this] { OffFlushed(); }, 64);
    });
    if (!blank) return;
    PassEnd51(kBlank64Pass, r.LastAddress, [this] { OffFlushed(); });
}

void TV87c58x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!NeedFileWindow("Must open a file first....")) return;
    Status("Verifying......");
    if (!Contact40()) return;
    PreCheck51();
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kP34, 0);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), H(kP36), H(kP37), H(kP31), L(kP33)});
    PrimingRead();
    if (!Ep3.CheckCurrent()) return;
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const bool same = ForEachStep(r, 64, [&](std::int32_t a) {
        Read64(a, buf);
        return BlockChecked51(kVerifyPass51, a, buf, [this] { OffFlushed(); }, 64);
    });
    if (!same) return;
    PassEnd51(kVerifyPass51, r.LastAddress, [this] { OffFlushed(); });
}

void TV87c58x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!NeedFileWindow()) return;
    if (!Contact40()) return;
    PreCheck51();
    if (!CheckDeviceId()) return;
    Status("Writing..");
    Ep3.WriteLatch(3, 0x34);
    Ep3.SetPortMode(PortModeReset);
    PowerUp51();
    Ep3.SetVpp(12700);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), H(kP27), H(kP36), H(kP37), H(kP31), L(kP33)});
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    ProgramBlocks(r, [this](std::uint8_t v) { ProgramByte51(v); });
    ShowProgress(r.LastAddress);
    Off();
    Flush();
    Success("OK");
}

void TV87c58x::IDClick() {
    Row();
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa), L(kP26), L(kP27), L(kP36), L(kP37), L(kP33), H(kP27)});
    SetAddress51(0xFF);
    ReadStrobe51();
    SetAddress51(0x30);
    ReadStrobe51();
    NextAddress51();
    ReadStrobe51();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    id[0] = Ep3.UsbReplyBuf[1];
    id[1] = Ep3.UsbReplyBuf[2];
    id[2] = 0;
    Off();
    Flush();
    Status(FormatText("%02x,%02x", id[0], id[1]));
}

void TV87c58x::SecrityClick() {
    Row();
    if (!Contact40()) return;
    Status("Locking");
    PreCheck51();
    if (!LockBitPulse51(true, true, true, true)) return;
    Success("end");
}

void TV87c58x::Button1Click() {
    Row();
    Batch({{"CheckBox1", [this] { BlankClick(); }},
           {"CheckBox2", [this] { WriteClick(); }},
           {"CheckBox3", [this] { VerifyClick(); }},
           {"CheckBox4", [this] { SecrityClick(); }}},
          true);
}

QUILLA_FORM(TV87c58x);

// ---- DS87C520 ---------------------------------------------------------------------------------

TDs87c520x::TDs87c520x(Workbench& w) : Eprom51Form(w, "DS87c520") {
    DeclareStatus();
    DeclareButtons51({{"Read1", "Read  ", [this] { ReadRom(); }},
                      {"Write", "Write.", [this] { WriteClick(); }},
                      {"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Verify", "Vrfy", [this] { VerifyClick(); }},
                      {"Secrity", "Lock ", [this] { SecrityClick(); }},
                      {"Config", "Wr.CFG ", [this] { ConfigClick(); }},
                      {"Button2", "Rd.CFG ", [this] { Button2Click(); }},
                      {"ID", "MFG ID  ", [this] { IDClick(); }}});
    DeclareBatch({{"CheckBla", "Blank?  "},
                  {"CheckWri", "Write."},
                  {"CheckVer", "Vrfy"},
                  {"CheckSec", "Lock"},
                  {"CheckCon", "Wr.CFG "}},
                 " Run  ", [this] { Button1Click(); });
    AddGroup("GroupBox3", "CFG ");
    AddCheck("CheckBox4", "Enable Watchdog", false, "GroupBox3");
    AddRadio("RadioGroup1", "LockMode", {"1.NoLock", "2.防止外部MOVC", "3.加No R  (Lock)", "4.No external code"}, 2);
    FillVariantTable();
}

void TDs87c520x::FillVariantTable() { Table = {{"Exit", 0, 0}, {"1: DS87C520 16Kx8", 0x3FFF, 1}}; }

void TDs87c520x::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText, kP51Dip40, kP51Plcc44));
    Put(kType, wb.sel.TypeText);
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    AlgoForm::Show();
    ShowRowRange(*SelectedRow());
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVpp(12500);
    Ep3.SetVcc(5000);
}

void TDs87c520x::SetModePins51(bool p27, bool p28, bool p16, bool p17) {
    Ep3.SetPin(p27, kP26);
    Ep3.SetPin(p28, kP27);
    Ep3.SetPin(p16, kP36);
    Ep3.SetPin(p17, kP37);
}

void TDs87c520x::PowerUp51() {
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
    Ep3.PinHigh(kProg);
    Flush();
}

void TDs87c520x::LockBitPulse51(int mode) {
    static constexpr bool kLevels[4][4] = {
        {false, false, false, false}, {true, true, true, true}, {true, true, false, false}, {true, false, true, false}};
    if (mode >= 1 && mode <= 3) SetModePins51(kLevels[mode][0], kLevels[mode][1], kLevels[mode][2], kLevels[mode][3]);
    Ep3.PinHigh(kP33);
    LongProgramByte51(0xFF);
}

int TDs87c520x::CheckDeviceId() {
    static const IdCheck51 check{3, false, false, "Type不OK..，继续吗?", "Type不OK..，继续吗?", false};
    return CheckDeviceIdWith(check, [this] { IDClick(); });
}

void TDs87c520x::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    if (!CheckDeviceId()) return;
    Status("Reading..........");
    PowerUp51();
    SetModePins51(false, false, true, true);
    SetPins({L(kP33), H(kEa), H(kProg)});
    Flush();
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(PortMode51Read);
    ForEachStep(r, kBlock, [this](std::int32_t a) {
        SetAddress51(a);
        ReadBlock(Image(a));
        return true;
    });
    ShowProgress(r.LastAddress);
    Off();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TDs87c520x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    Status("Blank CHK");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kP34, 0);
    SetModePins51(false, false, true, true);
    SetPins({L(kP33), H(kProg)});
    Flush();
    if (!Ep3.CheckCurrent()) return;
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const bool blank = ForEachStep(r, kBlock, [&](std::int32_t a) {
        SetAddress51(a);
        ReadBlock(buf);
        return BlockChecked51(kBlankPass51, a, buf, [this] { Off(); });
    });
    if (!blank) return;
    PassEnd51(kBlankPass51, r.LastAddress, [this] { Off(); });
}

void TDs87c520x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    Status("Verify.");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(kP34, 0);
    SetModePins51(false, false, true, true);
    SetPins({L(kP33), H(kProg), H(kEa)});
    Flush();
    if (!Ep3.CheckCurrent()) return;
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const bool same = ForEachStep(r, kBlock, [&](std::int32_t a) {
        SetAddress51(a);
        ReadBlock(buf);
        return BlockChecked51(kVerifyPass51, a, buf, [this] { Ep3.VccPin(0); });
    });
    if (!same) return;
    PassEnd51(kVerifyPass51, r.LastAddress, [this] { Off(); });
}

void TDs87c520x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    if (!CheckDeviceId()) return;
    // Without a buffer window there is nothing to program into this OTP part.
    if (!NeedFileWindow()) return;
    Status("Write");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetModePins51(false, true, true, true);
    Ep3.PinHigh(kP33);
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    ProgramBlocks(r, [this](std::uint8_t v) { ProgramByte51(v); });
    ShowProgress(r.LastAddress);
    Off();
    Success("OK");
}

void TDs87c520x::IDClick() {
    Row();
    if (!Contact()) return;
    Status("Detect MFG and ID .....");
    PowerUp51();
    SetModePins51(false, false, false, false);
    SetAddress51(0);
    Ep3.PinLow(kP33);
    Flush();
    ReadBlock(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    id[0] = Ep3.UsbReplyBuf[0x30];
    id[1] = Ep3.UsbReplyBuf[0x31];
    id[2] = Ep3.UsbReplyBuf[0x60];
    const unsigned w = Ep3.UsbReplyBuf[0xFC];
    Off();
    char text[64];
    std::snprintf(text, sizeof text, "ID= %02x,%02x,%02x,  Watchdog=%02x", id[0], id[1], id[2], w);
    Status(text);
}

void TDs87c520x::SecrityClick() {
    Row();
    if (!Contact()) return;
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    Ep3.PinHigh(kEa);
    // The lock bits program at 12.75 V like the code: VPP is routed as Write and
    // Wr.CFG route it (without it the pulses would do nothing).
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    LockBitPulse51(ItemIndex("RadioGroup1"));
    Off();
    Success("OK");
}

void TDs87c520x::ConfigClick() {
    Row();
    if (!Checked("CheckBox4")) {
        Status("Disable Watchdog!");
        return;
    }
    if (!Contact()) return;
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetModePins51(false, true, false, false);
    Ep3.PinHigh(kP33);
    Ep3.VppPin(VppPinNo);
    SetAddress51(0xFC);
    LongProgramByte51(0xF7);
    Off();
    Success("Enabled Watchdog");
}

void TDs87c520x::Button1Click() {
    Row();
    Batch({{"CheckBla", [this] { BlankClick(); }},
           {"CheckWri", [this] { WriteClick(); }},
           {"CheckCon", [this] { ConfigClick(); }},
           {"CheckVer", [this] { VerifyClick(); }},
           {"CheckSec", [this] { SecrityClick(); }}},
          false);
}

QUILLA_FORM(TDs87c520x);

}  // namespace quilla
