#include "algo/mcs51/w78.h"

#include <cstdio>
#include <cstring>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP30 = 10, kP31 = 11, kP32 = 12, kP33 = 13, kP34 = 14, kP35 = 15, kP36 = 16,
              kP37 = 17, kXtal2 = 18, kXtal1 = 19, kGnd = 20, kP26 = 27, kP27 = 28, kPsen = 29, kAle = 30,
              kEa = 31, kVcc = 40;
const std::vector<int> kHigh = {21, 22, 23, 24, 25, 26, 27, 28};

const IdCheck51 kWinbondId{2, false, false, "Maybe locked, or no chip...\n OK ? ", "Wrong type, OK ??", false};


}  // namespace

std::uint8_t W78CfgByte(const AlgoForm& f) {
    std::uint8_t cfg = 0xFF;
    if (f.Ticked("CheckBox6")) cfg &= static_cast<std::uint8_t>(~0x01);
    if (f.Ticked("CheckBox7")) cfg &= static_cast<std::uint8_t>(~0x02);
    if (f.Ticked("CheckBox8")) cfg &= static_cast<std::uint8_t>(~0x04);
    if (f.Get("CheckBox9").Enabled && !f.Checked("CheckBox9")) cfg &= 0x7F;
    return cfg;
}

// ---- W7851 ------------------------------------------------------------------------------------

TPW785x::TPW785x(Workbench& w) : Mcs51Form(w, "PW785x", kHigh) {
    DeclareStatus();
    DeclareButtons51(ReadIdExitButtons51(this));
    AddGroup("GroupBox2", "CFG ");
    AddButton("Secrity", "Wr.CFG(Lock)", [this] { SecrityClick(); }, "GroupBox2");
    AddCheck("CheckBox6", "Lock      ", true, "GroupBox2");
    AddCheck("CheckBox7", "No MOVC instruction.    ", true, "GroupBox2");
    AddCheck("CheckBox8", "Random  (Encryption)", true, "GroupBox2").Enabled = false;
    AddCheck("CheckBox9", "Full OSC/Half OSC    ", true, "GroupBox2").Enabled = false;
    AddLabel("Label3", "Random S  （Seed)：", "GroupBox2").Enabled = false;
    AddLabel("Label1", "Seed_0", "GroupBox2").Enabled = false;
    AddEdit("Edit1", "", "ff", false, "GroupBox2").Enabled = false;
    AddLabel("Label2", "Seed_1", "GroupBox2").Enabled = false;
    AddEdit("Edit2", "", "ff", false, "GroupBox2").Enabled = false;
    DeclareBatch({{"CheckBox1", "Erase "},
                  {"CheckBox2", "Blank?  "},
                  {"CheckBox3", "Write."},
                  {"CheckBox4", "Vrfy"},
                  {"CheckBox5", "Wr.CFG"}},
                 " Run  ", [this] { Button1Click(); });
    FillVariantTable();
}

void TPW785x::FillVariantTable() {
    Table = {{"Exit", 0, 0, 0, 0, 0},
             {"1: W78E51  (4K)", 0x0FFF, 0, 0, 0, 1},
             {"2: W78E52  (8K)", 0x1FFF, 0, 0, 0, 1},
             {"3: W78E54  (16K)", 0x3FFF, 0, 0, 0, 1},
             {"4: W78E58  (32K)", 0x7FFF, 0, 0, 0, 1},
             {"5: W78E516  (64K)", 0xFFFE, 0, 0, 0, 1},
             {"6: W78E51B  (4K)", 0x0FFF, 0, 0, 0, 'B'},
             {"7: W78E52B  (8K)", 0x1FFF, 0, 0, 0, 'B'},
             {"8: W78E54B  (16K)", 0x3FFF, 0, 0, 0, 'B'},
             {"9: W78E58B  (32K)", 0x7FFF, 0, 0, 0, 'B'},
             {"10: W78E516B  (64K)", 0x7FFC, 0, 0, 0, 'B'},
             {"11: W77E54  (16K)", 0x3FFF, 0, 0, 0, '7'},
             {"12: W77E58  (32K)", 0x7FFF, 0, 0, 0, '7'}};
}

void TPW785x::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    UsePackage(Dip40Package);
    Put(kType, wb.sel.TypeText);
    wb.FileNew();
    const Mcs51Row& r = *SelectedRow();
    const bool b = r.Family == 'B' || r.Family == '7', w77 = r.Family == '7';
    SetEnabled("CheckBox8", b);
    SetEnabled("CheckBox9", b);
    for (const char* c : {"Edit1", "Edit2", "Label1", "Label2", "Label3"}) SetEnabled(c, w77);
    ShowRowRange(r);
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    Ep3.SetVcc(5000);
    Ep3.SetVpp(12500);
}

void TPW785x::OnClose() { Ep3.PowerOff(); }

// ---- routines ------------------------------------------------------------------------------

void TPW785x::PowerUp51() {
    Ep3.GndPin(kGnd);
    Ep3.SetAllPins(0);
    Put1(OpWait100ms);
    Ep3.SetAllPins(1);
    Ep3.SetPinOption(kVcc, 1);
    Ep3.VccPin(kVcc);
    Ep3.ClockPin(0);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 0);
    Ep3.SetPortMode(PortMode51Read);
    Ep3.PinLow(kXtal1);
    Ep3.SetVpp(12500);
    SetPins({H(kPsen), L(kAle), H(kEa)});
    SetPins({L(kP30), L(kP31), L(kP32), L(kP33), L(kP36), L(kP37)});
    Ep3.SetPortMode(PortMode51Read);
    Put1(OpWait100ms);
    Flush();
}

int TPW785x::PreCheck51() {
    Ep3.GndPin(kGnd);
    Ep3.VccPin(kVcc);
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

void TPW785x::ReadStrobe51() {
    Ep3.PinHigh(kP33);
    Ep3.PinLow(kP37);
    Ep3.PinLow(kP33);
    Put1(OpSampleData51);
    Ep3.PinHigh(kP37);
}

std::uint8_t TPW785x::ProgramByte51(std::uint8_t value) {
    Ep3.UsbPut2(OpPutData51, value);
    Ep3.PinLow(kP36);
    Waits(OpWaitPulse, 3);
    Ep3.PinHigh(kP36);
    return value;
}

void TPW785x::LockBitPulse51(std::int32_t address, std::uint8_t value) {
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetPins({H(kP37), H(kP36)});
    SetAddress51(address);
    Ep3.UsbPut2(OpPutData51, value);
    Flush();
    Ep3.VppPin(kEa);
    for (int i = 0; i < 4; ++i) {
        Ep3.PinLow(kP36);
        Waits(OpWaitPulse, 3);
        Ep3.PinHigh(kP36);
    }
    SetPins({H(kP33), L(kP37), L(kP33), H(kP37)});
    Flush();
    SuppliesOff();
}

bool TPW785x::ForEach64(const Mcs51Row& r, const std::function<bool(std::int32_t, const std::uint8_t*)>& block) {
    const std::int32_t end = EndAddr();
    for (std::int32_t a = 0; a < r.LastAddress && a <= end; a += 64) {
        ShowProgress(a);
        SetAddress51(a);
        for (int i = 0; i < 64; ++i) {
            ReadStrobe51();
            NextAddress51();
        }
        Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
        if (!block(a, Ep3.UsbReplyBuf.data())) return false;
    }
    return true;
}

// The check pass of Blank and Verify over 64-byte strobe reads; the supplies
// off and flushed at a fault and at the end.
void TPW785x::CheckBlocks64(const Mcs51Row& r, const CheckPass51& pass) {
    const auto off = [this] {
        SuppliesOff();
        Flush();
    };
    if (!ForEach64(r, [&](std::int32_t a, const std::uint8_t* bytes) { return BlockChecked51(pass, a, bytes, off, 64); }))
        return;
    PassEnd51(pass, r.LastAddress, off);
}

void TPW785x::IDClick() {
    Row();
    if (!DipContact51()) return;
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    SetPins({H(kP30), L(kP31), L(kP32), L(kP33), L(kP36), L(kP37)});
    SetAddress51(0);
    for (int i = 0; i < 2; ++i) {
        ReadStrobe51();
        NextAddress51();
    }
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    id[0] = Ep3.UsbReplyBuf[0];
    id[1] = Ep3.UsbReplyBuf[1];
    char text[16];
    std::snprintf(text, sizeof text, "%02x,%02x", id[0], id[1]);
    Status(text);
    SuppliesOff();
}

int TPW785x::CheckDeviceId() {
    return CheckDeviceIdWith(kWinbondId, [this] { IDClick(); });
}

// ---- handlers -------------------------------------------------------------------------------

void TPW785x::ReadRom() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    PreCheck51();
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    Status("Read.");
    Flush();
    ForEach64(r, [this](std::int32_t a, const std::uint8_t* bytes) {
        std::memcpy(Image(a), bytes, 64);
        return true;
    });
    ShowProgress(r.LastAddress);
    Ep3.VccPin(0);
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TPW785x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    PreCheck51();
    IDClick();
    if (!LockedSignatureOk51()) return;
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    Status("Blank CHK");
    Ep3.SetPortMode(PortMode51Read);
    Flush();
    CheckBlocks64(r, {false, "No!!!", "OK", true});
}

void TPW785x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    PreCheck51();
    if (!NeedFileWindow("Must open a file first....")) return;
    Status("Verify.");
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(PortMode51Read);
    Flush();
    CheckBlocks64(r, kVerifyPass51);
}

void TPW785x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    PreCheck51();
    if (!CheckDeviceId()) return;
    if (!NeedFileWindow()) return;
    Status("Writing..");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kXtal2, 1);
    SetPins({H(kP37), H(kP36)});
    Ep3.VppPin(kEa);
    if (!Ep3.CheckCurrent()) return;
    Put1(OpWait100ms);
    SetAddress51(0);
    Flush();
    Ep3.VppPin(kEa);
    ByteLoop(r, [this](std::uint8_t v) { ProgramByte51(v); });
    Flush();
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
}

void TPW785x::EraseClick() {
    Row();
    if (!DipContact51()) return;
    PreCheck51();
    Status("Erasing");
    PowerUp51();
    Ep3.SetVpp(14000);
    Ep3.SetPortMode(PortModeReset);
    SetPins({H(kP36), H(kP30), H(kP37)});
    SetAddress51(0);
    Ep3.UsbPut2(OpPutData51, 0xFF);
    Flush();
    Ep3.VppPin(kEa);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinLow(kP36);
    Put1(OpWait100ms);
    Ep3.PinHigh(kP36);
    Put1(OpWait100ms);
    Flush();
    SuppliesOff();
    Ep3.SetVpp(12500);
    Success("OK");
    wb.ErrorFlag() = 0;
}

void TPW785x::SecrityClick() {
    Row();
    // The seeds are parsed first: a seed the form would program that is not
    // hexadecimal refuses the CFG write, nothing sent.
    const bool seeds = Get("Edit1").Enabled;
    std::int32_t seed[2] = {0xFF, 0xFF};
    const char* edits[2] = {"Edit1", "Edit2"};
    for (int i = 0; i < 2; ++i) {
        const auto v = ScanHex(Text(edits[i]));
        if (v) seed[i] = *v;
        else if (seeds) {
            const std::string msg = std::string(i == 0 ? "Seed_0" : "Seed_1") + " is not hexadecimal: \"" +
                                    Text(edits[i]) + "\"";
            Status(msg);
            wb.prompts.ShowMsg(msg);
            StepFailed();
            return;
        }
    }
    PreCheck51();
    Ep3.GndPin(0);
    Status("Write CFG .....");
    const std::uint8_t cfg = W78CfgByte(*this);
    LockBitPulse51(0xFFFF, cfg);
    if (seeds) {
        LockBitPulse51(0xFFFE, static_cast<std::uint8_t>(seed[0]));
        LockBitPulse51(0xFFFD, static_cast<std::uint8_t>(seed[1]));
    }
    Ep3.VppPin(0);
    char text[48];
    std::snprintf(text, sizeof text, "%02x,%02x,%02x", cfg, static_cast<unsigned>(seed[0]),
                  static_cast<unsigned>(seed[1]));
    Status(text);
}

void TPW785x::Button1Click() {
    Row();
    RunBatchDip51({{"CheckBox1", [this] { EraseClick(); }},
                   {"CheckBox2", [this] { BlankClick(); }},
                   {"CheckBox3", [this] { WriteClick(); }},
                   {"CheckBox4", [this] { VerifyClick(); }},
                   {"CheckBox5", [this] { SecrityClick(); }}});
}

QUILLA_FORM(TPW785x);

// ---- W78E516 ----------------------------------------------------------------------------------

TW78e516x::TW78e516x(Workbench& w) : Mcs51Form(w, "for 516b,58b,le58", kHigh) {
    DeclareStatus();
    DeclareButtons51(ReadIdExitButtons51(this));
    AddGroup("GroupBox2", "CFG 字");
    AddButton("Secrity", "Wr.CFG", [this] { SecrityClick(); }, "GroupBox2");
    AddCheck("CheckBox6", "Lock      ", true, "GroupBox2");
    AddCheck("CheckBox7", "No MOVC instruction.    ", true, "GroupBox2");
    AddCheck("CheckBox8", "Lock(Encryption)", true, "GroupBox2");
    AddCheck("CheckBox9", "Full OSC/Half OSC    ", true, "GroupBox2");
    AddLabel("Label1", "Load Block");
    AddLabel("Label2", "");
    DeclareBatch({{"CheckBox1", "Erase "},
                  {"CheckBox2", "Blank?  "},
                  {"CheckBox3", "Write."},
                  {"CheckBox4", "Vrfy"},
                  {"CheckBox5", "Wr.CFG"}},
                 " Run  ", [this] { Button1Click(); });
    FillVariantTable();
}

void TW78e516x::FillVariantTable() {
    Table = {{"Exit", 0, 0, 0, 0, 0, 0},
             {"1: W78E54B (16K+4K)", 0x4FFF, 0, 0, 0, 0, 0x3FFF},
             {"2: W78LE54 (16K+4K)", 0x4FFF, 0, 0, 0, 0, 0x3FFF},
             {"3: W78E58B  (32K+4K)", 0x8FFF, 0, 0, 0, 0, 0x7FFF},
             {"4: W78LE58  (32K+4K)", 0x8FFF, 0, 0, 0, 0, 0x7FFF},
             {"5: W78E516B (64K+4K)", 0x10FFF, 0, 0, 0, 0, 0xFFFF},
             {"6: W78LE516 (64K+4K)", 0x10FFF, 0, 0, 0, 0, 0xFFFF}};
}

void TW78e516x::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    Put(kType, wb.sel.TypeText);
    wb.FileNew();
    const Mcs51Row& r = *SelectedRow();
    if (wb.FileWin) wb.FileWin->EndAddr = r.LastAddress;
    char text[64];
    std::snprintf(text, sizeof text, "APROM's Add: 00000-%05x", static_cast<unsigned>(r.AppLast));
    PutCaption("Label1", text);
    std::snprintf(text, sizeof text, "LDROM's Add: %05x-%05x", static_cast<unsigned>(r.AppLast + 1),
                  static_cast<unsigned>(r.LastAddress));
    PutCaption("Label2", text);
    wb.Display();
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(5500);
    Ep3.SetVpp(5500);
}

void TW78e516x::OnClose() { Ep3.PowerOff(); }

// ---- routines ------------------------------------------------------------------------------

void TW78e516x::PowerUp51() {
    Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(5000);
    Ep3.SetVpp(5000);
    Ep3.VccPin(VccPinNo);
    Ep3.ClockPin(0);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.SetPortMode(PortMode51Read);
    SetPins({L(kPsen), L(kAle), L(kEa), H(kP27), H(kP26), H(kP36), H(kP37)});
    Ep3.PinHigh(kRst);
    Put1(OpWait1ms);
    Ep3.PinLow(kRst);
    Put1(OpWait1ms);
    Ep3.PinHigh(kP34);
    Flush();
    Ep3.SetPortMode(PortMode51Read);
}

void TW78e516x::SetModePins51(bool p30, bool p31, bool p32, bool p33) {
    Ep3.SetPin(p30, kP30);
    Ep3.SetPin(p31, kP31);
    Ep3.SetPin(p32, kP32);
    Ep3.SetPin(p33, kP33);
}

std::uint8_t TW78e516x::ProgramByte51(std::uint8_t value) {
    Ep3.UsbPut2(OpPutData51, value);
    Ep3.PinLow(kP34);
    Put1(OpWait100us);
    Ep3.PinHigh(kP34);
    return value;
}

void TW78e516x::ReadSetting() {
    SetModePins51(false, false, false, false);
    SetPins({L(kP36), L(kP34), L(kP35)});
}

bool TW78e516x::ForEachLdBlock(const Mcs51Row& r, const std::function<bool(std::int32_t)>& block) {
    const std::int32_t end = EndAddr();
    for (std::int32_t a = 0; a < r.LastAddress && a <= end; a += kBlock) {
        ShowProgress(a);
        if (a == r.AppLast + 1) Ep3.PinHigh(kP36);  // the LDROM from here
        SetAddress51(a);
        if (!block(a)) return false;
    }
    return true;
}

// The check pass of Blank and Verify over the blocks (the LDROM included); VCC
// off at a fault and at the end.
void TW78e516x::CheckLdBlocks(const Mcs51Row& r, const CheckPass51& pass) {
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const auto off = [this] { Ep3.VccPin(0); };
    const bool good = ForEachLdBlock(r, [&](std::int32_t a) {
        ReadBlock(buf);
        return BlockChecked51(pass, a, buf, off);
    });
    if (good) PassEnd51(pass, r.LastAddress, off);
}

void TW78e516x::IDClick() {
    Row();
    if (!DipContact51()) return;
    Status("ID...");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    SetModePins51(true, true, false, true);
    SetPins({L(kP35), L(kP34)});
    Flush();
    auto& id = LastReadId();
    ReadBlock(Ep3.UsbReplyBuf.data());
    id[0] = Ep3.UsbReplyBuf[0];
    Ep3.PinHigh(kP34);
    SetModePins51(false, false, true, true);
    Ep3.PinLow(kP34);
    Flush();
    ReadBlock(Ep3.UsbReplyBuf.data());
    id[1] = Ep3.UsbReplyBuf[0];
    Ep3.PinHigh(kP34);
    char text[16];
    std::snprintf(text, sizeof text, "%02x,%02x", id[0], id[1]);
    Status(text);
    Ep3.VccPin(0);
}

int TW78e516x::CheckDeviceId() {
    return CheckDeviceIdWith(kWinbondId, [this] { IDClick(); });
}

// ---- handlers -------------------------------------------------------------------------------

void TW78e516x::ReadRom() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    Status("Read.");
    ReadSetting();
    Flush();
    ForEachLdBlock(r, [this](std::int32_t a) {
        ReadBlock(Image(a));
        return true;
    });
    ShowProgress(r.LastAddress);
    Ep3.VccPin(0);
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TW78e516x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    IDClick();
    if (!LockedSignatureOk51()) return;
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    Status("Blank CHK");
    ReadSetting();
    Flush();
    CheckLdBlocks(r, kBlankPass51);
}

void TW78e516x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    Status("Verify.");
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    ReadSetting();
    Flush();
    CheckLdBlocks(r, kVerifyPass51);
}

void TW78e516x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    PreCheck51();
    if (!CheckDeviceId()) return;
    // Without a buffer window there is nothing to write: refused like the other
    // 8051 forms (the loop would otherwise program a window created afresh).
    if (!NeedFileWindow()) return;
    Status("Writing..");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetModePins51(true, false, false, false);
    SetPins({L(kP36), H(kP34), H(kP35)});
    SetAddress51(0);
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    const std::int32_t end = EndAddr();
    for (std::int32_t i = 0; i <= r.LastAddress; ++i) {
        if ((i & 0xFF) == 0) {
            Flush();
            ShowProgress(i);
            SetAddress51(i);
        }
        if (i > end) break;
        if (i == r.AppLast + 1) Ep3.PinHigh(kP36);  // the LDROM from here
        ProgramByte51(*Image(i));
        NextAddress51();
    }
    Flush();
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
}

void TW78e516x::EraseClick() {
    Row();
    if (!DipContact51()) return;
    Status("Erasing");
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(PortModeReset);
    SetModePins51(false, true, true, false);
    SetPins({H(kP35), L(kP34), H(kP36)});
    Waits(OpWaitSettle, 2);
    Flush();
    Ep3.VccPin(0);
    Success("OK");
    wb.ErrorFlag() = 0;
}

void TW78e516x::SecrityClick() {
    Row();
    PreCheck51();
    Status("Wrt.CFG.");
    const std::uint8_t cfg = W78CfgByte(*this);
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetModePins51(true, false, false, false);
    SetPins({H(kP36), H(kP34), H(kP35)});
    SetAddress51(0xFFFF);
    Flush();
    ProgramByte51(cfg);
    Ep3.VccPin(0);
    Success("OK");
}

void TW78e516x::Button1Click() {
    Row();
    RunBatch51({{"CheckBox1", [this] { EraseClick(); }},
                {"CheckBox2", [this] { BlankClick(); }},
                {"CheckBox3", [this] { WriteClick(); }},
                {"CheckBox4", [this] { VerifyClick(); }},
                {"CheckBox5", [this] { SecrityClick(); }}},
               false);
}

QUILLA_FORM(TW78e516x);

}  // namespace quilla
