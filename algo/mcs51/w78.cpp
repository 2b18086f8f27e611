#include "algo/mcs51/w78.h"

#include <cstring>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP30 = 10, kP31 = 11, kP32 = 12, kP33 = 13, kP34 = 14, kP35 = 15, kP36 = 16,
              kP37 = 17, kXtal2 = 18, kXtal1 = 19, kP26 = 27, kP27 = 28, kPsen = 29, kAle = 30, kEa = 31;

const IdCheck51 kWinbondId{2, false, false, "Maybe locked, or no chip...\n OK ? ", "Wrong type, OK ??", false};

// The CFG byte from the boxes: Lock (bit 0), MOVC (bit 1), encryption (bit 2)
// ticked clear their bit, an unticked oscillator box clears bit 7; a disabled
// box takes no part.
std::uint8_t CfgByte(const AlgoForm& f) {
    std::uint8_t cfg = 0xFF;
    if (f.Ticked("CheckBox6")) cfg &= static_cast<std::uint8_t>(~0x01);
    if (f.Ticked("CheckBox7")) cfg &= static_cast<std::uint8_t>(~0x02);
    if (f.Ticked("CheckBox8")) cfg &= static_cast<std::uint8_t>(~0x04);
    if (f.Get("CheckBox9").Enabled && !f.Checked("CheckBox9")) cfg &= 0x7F;
    return cfg;
}

}  // namespace

// A Winbond form: its parts and how its protocol differs.
struct WinbondRow {
    const char* Caption;
    std::vector<Mcs51Row> Parts;  // W7851: Family 'B' (encryption and oscillator boxes), '7' (and the seeds)
    // 12.5 V on EA: the clock pins' pair check before every operation, 64-byte
    // strobe reads, the program pulse with VPP routed, the erase at 14 V, the
    // CFG byte (and the seeds) by four pulses; DIP40 only, the batch with the
    // DIP40 arguments and in mass production. Else 5 V on the package chosen,
    // modes on P3.0-P3.3, the signature in two block reads, one batch pass.
    bool HighVpp;
    const char *CfgGroup, *CfgButton, *EncryptBox, *CfgStatus, *BlankOk;  // window and texts
    int SetupVccMv, SetupVppMv;
    std::vector<Level51> PowerUpPins, ReadPins, WritePins, ErasePins, CfgPins;
    int ProgramPin;  // the program pulse: low for ProgramWaits x ProgramWait
    std::uint8_t ProgramWait;
    int ProgramWaits, CfgPulses;
};

const WinbondRow kW7851Row{
    .Caption = "PW785x",
    .Parts = {{"Exit", 0, 0, 0, 0, 0},
              {"1: W78E51  (4K)", 0x0FFF, 0, 0, 0, 1},       {"2: W78E52  (8K)", 0x1FFF, 0, 0, 0, 1},
              {"3: W78E54  (16K)", 0x3FFF, 0, 0, 0, 1},      {"4: W78E58  (32K)", 0x7FFF, 0, 0, 0, 1},
              {"5: W78E516  (64K)", 0xFFFE, 0, 0, 0, 1},     {"6: W78E51B  (4K)", 0x0FFF, 0, 0, 0, 'B'},
              {"7: W78E52B  (8K)", 0x1FFF, 0, 0, 0, 'B'},    {"8: W78E54B  (16K)", 0x3FFF, 0, 0, 0, 'B'},
              {"9: W78E58B  (32K)", 0x7FFF, 0, 0, 0, 'B'},   {"10: W78E516B  (64K)", 0x7FFC, 0, 0, 0, 'B'},
              {"11: W77E54  (16K)", 0x3FFF, 0, 0, 0, '7'},   {"12: W77E58  (32K)", 0x7FFF, 0, 0, 0, '7'}},
    .HighVpp = true,
    .CfgGroup = "CFG ", .CfgButton = "Wr.CFG(Lock)", .EncryptBox = "Random  (Encryption)",
    .CfgStatus = "Write CFG .....", .BlankOk = "OK",
    .SetupVccMv = 5000, .SetupVppMv = 12500,
    .PowerUpPins = {H(kPsen), L(kAle), H(kEa), L(kP30), L(kP31), L(kP32), L(kP33), L(kP36), L(kP37)},
    .ReadPins = {},  // reads at the power-up's levels
    .WritePins = {H(kP37), H(kP36)},
    .ErasePins = {H(kP36), H(kP30), H(kP37)},
    .CfgPins = {H(kP37), H(kP36)},
    .ProgramPin = kP36, .ProgramWait = OpWaitPulse, .ProgramWaits = 3, .CfgPulses = 4,
};

const WinbondRow kW78e516Row{
    .Caption = "for 516b,58b,le58",
    .Parts = {{"Exit", 0, 0, 0, 0, 0, 0},
              {"1: W78E54B (16K+4K)", 0x4FFF, 0, 0, 0, 0, 0x3FFF},
              {"2: W78LE54 (16K+4K)", 0x4FFF, 0, 0, 0, 0, 0x3FFF},
              {"3: W78E58B  (32K+4K)", 0x8FFF, 0, 0, 0, 0, 0x7FFF},
              {"4: W78LE58  (32K+4K)", 0x8FFF, 0, 0, 0, 0, 0x7FFF},
              {"5: W78E516B (64K+4K)", 0x10FFF, 0, 0, 0, 0, 0xFFFF},
              {"6: W78LE516 (64K+4K)", 0x10FFF, 0, 0, 0, 0, 0xFFFF}},
    .HighVpp = false,
    .CfgGroup = "CFG 字", .CfgButton = "Wr.CFG", .EncryptBox = "Lock(Encryption)",
    .CfgStatus = "Wrt.CFG.", .BlankOk = "Blank OK",
    .SetupVccMv = 5500, .SetupVppMv = 5500,
    .PowerUpPins = {L(kPsen), L(kAle), L(kEa), H(kP27), H(kP26), H(kP36), H(kP37)},
    .ReadPins = {L(kP30), L(kP31), L(kP32), L(kP33), L(kP36), L(kP34), L(kP35)},
    .WritePins = {H(kP30), L(kP31), L(kP32), L(kP33), L(kP36), H(kP34), H(kP35)},
    .ErasePins = {L(kP30), H(kP31), H(kP32), L(kP33), H(kP35), L(kP34), H(kP36)},
    .CfgPins = {H(kP30), L(kP31), L(kP32), L(kP33), H(kP36), H(kP34), H(kP35)},
    .ProgramPin = kP34, .ProgramWait = OpWait100us, .ProgramWaits = 1, .CfgPulses = 1,
};

WinbondForm::WinbondForm(Workbench& w, const WinbondRow& row)
    : Mcs51Form(w, row.Caption, {21, 22, 23, 24, 25, 26, 27, 28}), w_(row) {
    DeclareStatus();
    DeclareButtons51(ReadIdExitButtons51(this));
    AddGroup("GroupBox2", w_.CfgGroup);
    AddButton("Secrity", w_.CfgButton, [this] { SecrityClick(); }, "GroupBox2");
    AddCheck("CheckBox6", "Lock      ", true, "GroupBox2");
    AddCheck("CheckBox7", "No MOVC instruction.    ", true, "GroupBox2");
    AddCheck("CheckBox8", w_.EncryptBox, true, "GroupBox2").Enabled = !w_.HighVpp;
    AddCheck("CheckBox9", "Full OSC/Half OSC    ", true, "GroupBox2").Enabled = !w_.HighVpp;
    if (w_.HighVpp) {
        AddLabel("Label3", "Random S  （Seed)：", "GroupBox2").Enabled = false;
        AddLabel("Label1", "Seed_0", "GroupBox2").Enabled = false;
        AddEdit("Edit1", "", "ff", false, "GroupBox2").Enabled = false;
        AddLabel("Label2", "Seed_1", "GroupBox2").Enabled = false;
        AddEdit("Edit2", "", "ff", false, "GroupBox2").Enabled = false;
    } else {
        AddLabel("Label1", "Load Block");
        AddLabel("Label2", "");
    }
    DeclareBatch51("Wr.CFG", [this] { Button1Click(); });
    FillVariantTable();
}

void WinbondForm::FillVariantTable() { Table = w_.Parts; }

void WinbondForm::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(w_.HighVpp ? Dip40Package : ChoosePackage(wb.sel.TypeText));
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    Put(kType, wb.sel.TypeText);
    wb.FileNew();
    const Mcs51Row& r = *SelectedRow();
    if (w_.HighVpp) {
        SetEnabled("CheckBox8", r.Family == 'B' || r.Family == '7');
        SetEnabled("CheckBox9", r.Family == 'B' || r.Family == '7');
        for (const char* c : {"Edit1", "Edit2", "Label1", "Label2", "Label3"}) SetEnabled(c, r.Family == '7');
    } else {
        const auto last = static_cast<unsigned>(r.LastAddress), app = static_cast<unsigned>(r.AppLast);
        PutCaption("Label1", FormatText("APROM's Add: 00000-%05x", app));
        PutCaption("Label2", FormatText("LDROM's Add: %05x-%05x", app + 1, last));
    }
    ShowRowRange(r);
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    if (!w_.HighVpp) Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(w_.SetupVccMv);
    Ep3.SetVpp(w_.SetupVppMv);
}

// ---- routines ------------------------------------------------------------------------------

void WinbondForm::PowerUp51() {
    Ep3.GndPin(GndPinNo);
    if (w_.HighVpp) {
        Ep3.SetAllPins(0);
        Put1(OpWait100ms);
        Ep3.SetAllPins(1);
        Ep3.SetPinOption(VccPinNo, 1);
    } else {
        Ep3.SetVcc(5000);
        Ep3.SetVpp(5000);
    }
    Ep3.VccPin(VccPinNo);
    Ep3.ClockPin(0);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, w_.HighVpp ? 0 : 1);
    Ep3.SetPortMode(PortMode51Read);
    if (w_.HighVpp) {
        Ep3.PinLow(kXtal1);
        Ep3.SetVpp(12500);
    }
    SetPins(w_.PowerUpPins);
    if (w_.HighVpp) {
        Ep3.SetPortMode(PortMode51Read);
        Put1(OpWait100ms);
        Flush();
        return;
    }
    Ep3.PinHigh(kRst);
    Put1(OpWait1ms);
    Ep3.PinLow(kRst);
    Put1(OpWait1ms);
    Ep3.PinHigh(kP34);
    Flush();
    Ep3.SetPortMode(PortMode51Read);
}

int WinbondForm::PreCheck51() {
    if (!w_.HighVpp) return 1;
    Ep3.GndPin(GndPinNo);
    Ep3.VccPin(VccPinNo);
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

void WinbondForm::StrobeRead51(int count) {
    for (int i = 0; i < count; ++i) {
        SetPins({H(kP33), L(kP37), L(kP33)});
        Put1(OpSampleData51);
        Ep3.PinHigh(kP37);
        NextAddress51();
    }
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
}

void WinbondForm::ProgramPulse51() {
    Ep3.PinLow(w_.ProgramPin);
    Waits(w_.ProgramWait, w_.ProgramWaits);
    Ep3.PinHigh(w_.ProgramPin);
}

std::uint8_t WinbondForm::ProgramByte51(std::uint8_t value) {
    Ep3.UsbPut2(OpPutData51, value);
    ProgramPulse51();
    return value;
}

void WinbondForm::LockBitPulse51(std::int32_t address, std::uint8_t value) {
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetPins(w_.CfgPins);
    SetAddress51(address);
    if (!w_.HighVpp) Flush();
    Ep3.UsbPut2(OpPutData51, value);
    if (w_.HighVpp) {
        Flush();
        Ep3.VppPin(VppPinNo);
    }
    for (int i = 0; i < w_.CfgPulses; ++i) ProgramPulse51();
    if (w_.HighVpp) {
        SetPins({H(kP33), L(kP37), L(kP33), H(kP37)});
        Flush();
    }
    Off51();
}

void WinbondForm::Off51() {
    if (w_.HighVpp) Ep3.VppPin(0);
    Ep3.VccPin(0);
}

bool WinbondForm::WalkChip(const Mcs51Row& r,
                           const std::function<bool(std::int32_t, const std::uint8_t*, int)>& block) {
    const int count = w_.HighVpp ? 64 : kBlock;
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const std::int32_t end = EndAddr();
    for (std::int32_t a = 0; a < r.LastAddress && a <= end; a += count) {
        ShowProgress(a);
        if (r.AppLast != 0 && a == r.AppLast + 1) Ep3.PinHigh(kP36);  // the LDROM from here
        SetAddress51(a);
        if (w_.HighVpp) StrobeRead51(count);
        else ReadBlock(buf);
        if (!block(a, buf, count)) return false;
    }
    return true;
}

// The supplies off (and flushed on the 12.5 V parts) at a fault and at the end.
void WinbondForm::CheckChip(const Mcs51Row& r, const CheckPass51& pass) {
    if (w_.HighVpp) Ep3.SetPortMode(PortMode51Read);
    SetPins(w_.ReadPins);
    Flush();
    const auto off = [this] {
        Off51();
        if (w_.HighVpp) Flush();
    };
    const auto judged = [&](std::int32_t a, const std::uint8_t* b, int n) {
        return BlockChecked51(pass, a, b, off, n);
    };
    if (WalkChip(r, judged)) PassEnd51(pass, r.LastAddress, off);
}

void WinbondForm::IDClick() {
    Row();
    if (!DipContact51()) return;
    auto& id = LastReadId();
    const std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    if (w_.HighVpp) {
        PowerUp51();
        if (!Ep3.CheckCurrent()) return;
        SetPins({H(kP30), L(kP31), L(kP32), L(kP33), L(kP36), L(kP37)});
        SetAddress51(0);
        StrobeRead51(2);
        id[0] = buf[0];
        id[1] = buf[1];
    } else {
        // Manufacturer (P3.0, P3.1, P3.3 high) and device (P3.2, P3.3 high), each
        // read with P3.4 low.
        Status("ID...");
        PowerUp51();
        Ep3.SetPortMode(PortMode51Read);
        for (int i = 0; i < 2; ++i) {
            if (i == 0) SetPins({H(kP30), H(kP31), L(kP32), H(kP33), L(kP35), L(kP34)});
            else SetPins({L(kP30), L(kP31), H(kP32), H(kP33), L(kP34)});
            Flush();
            ReadBlock(Ep3.UsbReplyBuf.data());
            id[static_cast<std::size_t>(i)] = buf[0];
            Ep3.PinHigh(kP34);
        }
    }
    Status(FormatText("%02x,%02x", id[0], id[1]));
    Off51();
}

int WinbondForm::CheckDeviceId() {
    return CheckDeviceIdWith(kWinbondId, [this] { IDClick(); });
}

// ---- handlers -------------------------------------------------------------------------------

void WinbondForm::ReadRom() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    PreCheck51();
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    Status("Read.");
    SetPins(w_.ReadPins);
    Flush();
    WalkChip(r, [this](std::int32_t a, const std::uint8_t* bytes, int n) {
        std::memcpy(Image(a), bytes, static_cast<std::size_t>(n));
        return true;
    });
    ShowProgress(r.LastAddress);
    Ep3.VccPin(0);
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void WinbondForm::BlankClick() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    PreCheck51();
    IDClick();
    if (!LockedSignatureOk51()) return;
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    Status("Blank CHK");
    CheckChip(r, {false, "No!!!", w_.BlankOk, true});
}

void WinbondForm::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    PreCheck51();
    if (w_.HighVpp && !NeedFileWindow("Must open a file first....")) return;
    Status("Verify.");
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    CheckChip(r, kVerifyPass51);
}

void WinbondForm::WriteClick() {
    const Mcs51Row& r = Row();
    if (!DipContact51()) return;
    PreCheck51();
    if (!CheckDeviceId()) return;
    if (!NeedFileWindow()) return;
    Status("Writing..");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    if (w_.HighVpp) Ep3.SetPinOption(kXtal2, 1);
    SetPins(w_.WritePins);
    if (!w_.HighVpp) {
        SetAddress51(0);
        Flush();
    }
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    if (w_.HighVpp) {
        Put1(OpWait100ms);
        SetAddress51(0);
        Flush();
        Ep3.VppPin(VppPinNo);
    }
    std::int32_t i = 0;  // ByteLoop hands over the bytes in address order
    ByteLoop(r, [&](std::uint8_t v) {
        if (r.AppLast != 0 && i == r.AppLast + 1) Ep3.PinHigh(kP36);  // the LDROM from here
        ++i;
        ProgramByte51(v);
    });
    Flush();
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
}

void WinbondForm::EraseClick() {
    Row();
    if (!DipContact51()) return;
    PreCheck51();
    Status("Erasing");
    PowerUp51();
    if (w_.HighVpp) Ep3.SetVpp(14000);         // the erase level; the current is checked once VPP is routed
    else if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(PortModeReset);
    SetPins(w_.ErasePins);
    if (w_.HighVpp) {
        SetAddress51(0);
        Ep3.UsbPut2(OpPutData51, 0xFF);
        Flush();
        Ep3.VppPin(VppPinNo);
        if (!Ep3.CheckCurrent()) return;
        SetPins({L(kP36)});
        Put1(OpWait100ms);
        SetPins({H(kP36)});
        Put1(OpWait100ms);
    } else {
        Waits(OpWaitSettle, 2);
    }
    Flush();
    Off51();
    if (w_.HighVpp) Ep3.SetVpp(12500);
    Success("OK");
    wb.ErrorFlag() = 0;
}

bool WinbondForm::ReadSeeds(std::int32_t (&seed)[2]) {
    const char* edits[2] = {"Edit1", "Edit2"};
    for (int i = 0; i < 2; ++i) {
        if (const auto v = ScanHex(Text(edits[i]))) seed[i] = *v;
        else if (Get("Edit1").Enabled) {
            const std::string msg = FormatText("Seed_%d is not hexadecimal: \"%s\"", i, Text(edits[i]).c_str());
            Status(msg);
            wb.prompts.ShowMsg(msg);
            StepFailed();
            return false;
        }
    }
    return true;
}

void WinbondForm::SecrityClick() {
    Row();
    std::int32_t seed[2] = {0xFF, 0xFF};
    if (w_.HighVpp && !ReadSeeds(seed)) return;
    PreCheck51();
    if (w_.HighVpp) Ep3.GndPin(0);
    Status(w_.CfgStatus);
    const std::uint8_t cfg = CfgByte(*this);
    LockBitPulse51(0xFFFF, cfg);
    if (!w_.HighVpp) {
        Success("OK");
        return;
    }
    if (Get("Edit1").Enabled) {
        LockBitPulse51(0xFFFE, static_cast<std::uint8_t>(seed[0]));
        LockBitPulse51(0xFFFD, static_cast<std::uint8_t>(seed[1]));
    }
    Ep3.VppPin(0);
    Status(FormatText("%02x,%02x,%02x", cfg, static_cast<unsigned>(seed[0]), static_cast<unsigned>(seed[1])));
}

void WinbondForm::Button1Click() {
    Row();
    if (w_.HighVpp) RunBatchDip51(BatchSteps51(this));
    else RunBatch51(BatchSteps51(this), false);
}

QUILLA_FORM(TPW785x);
QUILLA_FORM(TW78e516x);

}  // namespace quilla
