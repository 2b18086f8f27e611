#include "algo/mcs51/w78.h"

#include <cstring>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using enum Do51;
using namespace steps51;

namespace {

constexpr int kRst = 9, kP30 = 10, kP31 = 11, kP32 = 12, kP33 = 13, kP34 = 14, kP35 = 15, kP36 = 16,
              kP37 = 17, kXtal2 = 18, kXtal1 = 19, kP26 = 27, kP27 = 28, kPsen = 29, kAle = 30, kEa = 31;

const IdCheck51 kWinbondId{.ClearsErrorFlag = false,
                           .LockedFirst = false,
                           .LockedQuestion = "Maybe locked, or no chip...\n OK ? ",
                           .WrongNoSetsError = false};

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

// The W78E516 form's mode pins P3.0-P3.3, P3.6, P3.4, P3.5: read and program.
const std::vector<Level51> k516Read{L(kP30), L(kP31), L(kP32), L(kP33), L(kP36), L(kP34), L(kP35)};
const std::vector<Level51> k516Write{H(kP30), L(kP31), L(kP32), L(kP33), L(kP36), H(kP34), H(kP35)};
// The program pulses: P3.6 low for three waits 25, P3.4 low for 100 us.
const Steps51 kPulseP36{Pins({L(kP36)}), {WaitPulse, 3}, Pins({H(kP36)})};
const Steps51 kPulseP34{Pins({L(kP34)}), Wait100us, Pins({H(kP34)})};
// A byte sampled by the P3.3/P3.7 strobes, the address stepped on.
const Steps51 kStrobe{Pins({H(kP33), L(kP37), L(kP33)}), Sample, Pins({H(kP37)}), NextAddress};
const Steps51 kStrobe64{Step51(kStrobe, 64), ReadReply};
const Step51 NotLocked{Own};  // the signature read, then the locked question

const Steps51 kBlank{Contact40, PreCheck, NotLocked, PowerUp, CheckCurrent, Say("Blank CHK")};

// A W7851 part of family 1, 'B' (the encryption and oscillator boxes) or '7'
// (and the seeds).
Mcs51Row Part(const char* name, std::int32_t last, int family) {
    return {.Name = name, .LastAddress = last, .Family = family};
}
const Steps51 kWrite{Contact40, PreCheck, IdCheck, NeedFile, Say("Writing.."), PowerUp, ResetMode};
const Steps51 kErase{Contact40, PreCheck, Say("Erasing"), PowerUp};

}  // namespace

// A Winbond form: its parts, its window, and its sequences as steps.
struct WinbondProfile {
    const char* Caption;
    std::vector<Mcs51Row> Parts;  // W7851: Family 'B' (encryption and oscillator boxes), '7' (and the seeds)
    // 12.5 V on EA: DIP40 only, the seeds, 64-byte strobe reads, the batch with
    // the DIP40 arguments and in mass production. Else the package chosen, the
    // LDROM, 256-byte block reads, one batch pass.
    bool HighVpp;
    const char *CfgGroup, *CfgButton, *EncryptBox, *BlankOk;  // window and texts
    Steps51 Levels, PowerUp, PreCheck{}, Off;  // setup's levels, the power-up, the pre-check, the supplies off
    Steps51 Read, Verify, Check, CheckOff;  // Read's and Verify's entries; Blank's and Verify's read mode, off
    Steps51 Write, Pulse, Erase;            // after kWrite and kErase; the program pulse
    Steps51 Id;                             // the signature: manufacturer and device at reply 0 and 1
    Steps51 CfgEntry, CfgSelect, CfgAddressed{}, CfgProgram;  // Wr.CFG; a byte: address, data between them
};

const WinbondProfile kW7851Profile{
    .Caption = "PW785x",
    .Parts = {{"Exit", 0},
              Part("1: W78E51  (4K)", 0x0FFF, 1),      Part("2: W78E52  (8K)", 0x1FFF, 1),
              Part("3: W78E54  (16K)", 0x3FFF, 1),     Part("4: W78E58  (32K)", 0x7FFF, 1),
              Part("5: W78E516  (64K)", 0xFFFE, 1),    Part("6: W78E51B  (4K)", 0x0FFF, 'B'),
              Part("7: W78E52B  (8K)", 0x1FFF, 'B'),   Part("8: W78E54B  (16K)", 0x3FFF, 'B'),
              Part("9: W78E58B  (32K)", 0x7FFF, 'B'),  Part("10: W78E516B  (64K)", 0x7FFC, 'B'),
              Part("11: W77E54  (16K)", 0x3FFF, '7'),  Part("12: W77E58  (32K)", 0x7FFF, '7')},
    .HighVpp = true,
    .CfgGroup = "CFG ", .CfgButton = "Wr.CFG(Lock)", .EncryptBox = "Random  (Encryption)", .BlankOk = "OK",
    .Levels = {{VccLevel, 5000}, {VppLevel, 12500}},
    .PowerUp = {Ground, {AllPins, 0}, Wait100ms, {AllPins, 1}, OptionPins({H(40)}), VccOn, Clock,
                OptionPins({H(kXtal2), L(kXtal1)}), ReadMode, Pins({L(kXtal1)}), {VppLevel, 12500},
                Pins({H(kPsen), L(kAle), H(kEa), L(kP30), L(kP31), L(kP32), L(kP33), L(kP36), L(kP37)}), ReadMode,
                Wait100ms, Flush},
    .PreCheck = {Ground, VccOn, PairCheck},
    .Off = {VppOff, VccOff},
    .Read = {Contact40, PreCheck, PowerUp, CheckCurrent, Say("Read."), Flush},
    .Verify = {Contact40, PreCheck, NeedFileFirst, Say("Verify."), PowerUp, CheckCurrent},
    .Check = {ReadMode, Flush},
    .CheckOff = {VppOff, VccOff, Flush},
    .Write = {OptionPins({H(kXtal2)}), Pins({H(kP37), H(kP36)}), VppOn, CheckCurrent, Wait100ms, At(0), Flush, VppOn},
    .Pulse = kPulseP36,
    // The erase at 14 V: the current is checked once VPP is routed.
    .Erase = {{VppLevel, 14000}, ResetMode, Pins({H(kP36), H(kP30), H(kP37)}), At(0), Data(0xFF), Flush, VppOn,
              CheckCurrent, Pins({L(kP36)}), Wait100ms, Pins({H(kP36)}), Wait100ms, Flush, VppOff, VccOff,
              {VppLevel, 12500}},
    .Id = {Contact40, PowerUp, CheckCurrent, Pins({H(kP30), L(kP31), L(kP32), L(kP33), L(kP36), L(kP37)}), At(0),
           Step51(kStrobe, 2), ReadReply},
    .CfgEntry = {PreCheck, GroundOff, Say("Write CFG .....")},
    .CfgSelect = {PowerUp, ResetMode, Pins({H(kP37), H(kP36)})},
    .CfgProgram = {Flush, VppOn, Step51(kPulseP36, 4), Pins({H(kP33), L(kP37), L(kP33), H(kP37)}), Flush, VppOff,
                   VccOff},
};

const WinbondProfile kW78e516Profile{
    .Caption = "for 516b,58b,le58",
    // The APROM to AppLast, the 4 KiB LDROM after it.
    .Parts = {{"Exit", 0},
              {.Name = "1: W78E54B (16K+4K)", .LastAddress = 0x4FFF, .AppLast = 0x3FFF},
              {.Name = "2: W78LE54 (16K+4K)", .LastAddress = 0x4FFF, .AppLast = 0x3FFF},
              {.Name = "3: W78E58B  (32K+4K)", .LastAddress = 0x8FFF, .AppLast = 0x7FFF},
              {.Name = "4: W78LE58  (32K+4K)", .LastAddress = 0x8FFF, .AppLast = 0x7FFF},
              {.Name = "5: W78E516B (64K+4K)", .LastAddress = 0x10FFF, .AppLast = 0xFFFF},
              {.Name = "6: W78LE516 (64K+4K)", .LastAddress = 0x10FFF, .AppLast = 0xFFFF}},
    .HighVpp = false,
    .CfgGroup = "CFG 字", .CfgButton = "Wr.CFG", .EncryptBox = "Lock(Encryption)", .BlankOk = "Blank OK",
    .Levels = {Ground, {VccLevel, 5500}, {VppLevel, 5500}},
    .PowerUp = {Ground, {VccLevel, 5000}, {VppLevel, 5000}, VccOn, Clock, OptionPins({H(kXtal2), H(kXtal1)}), ReadMode,
                Pins({L(kPsen), L(kAle), L(kEa), H(kP27), H(kP26), H(kP36), H(kP37), H(kRst)}), Wait1ms,
                Pins({L(kRst)}), Wait1ms, Pins({H(kP34)}), Flush, ReadMode},
    .Off = {VccOff},
    .Read = {Contact40, PreCheck, PowerUp, CheckCurrent, Say("Read."), Pins(k516Read), Flush},
    .Verify = {Contact40, PreCheck, Say("Verify."), PowerUp, CheckCurrent},
    .Check = {Pins(k516Read), Flush},
    .CheckOff = {VccOff},
    .Write = {Pins(k516Write), At(0), Flush, VppOn, CheckCurrent},
    .Pulse = kPulseP34,
    .Erase = {CheckCurrent, ResetMode, Pins({L(kP30), H(kP31), H(kP32), L(kP33), H(kP35), L(kP34), H(kP36)}),
              {WaitSettle, 2}, Flush, VccOff},
    // Manufacturer (P3.0, P3.1, P3.3 high) and device (P3.2, P3.3 high), each
    // read with P3.4 low, the device's block to reply offset 1.
    .Id = {Contact40, Say("ID..."), PowerUp, ReadMode, Pins({H(kP30), H(kP31), L(kP32), H(kP33), L(kP35), L(kP34)}),
           Flush, ReadBlock, Pins({H(kP34), L(kP30), L(kP31), H(kP32), H(kP33), L(kP34)}), Flush,
           {ReadBlock, 1}, Pins({H(kP34)})},
    .CfgEntry = {PreCheck, Say("Wrt.CFG.")},
    .CfgSelect = {PowerUp, ResetMode, Pins({H(kP30), L(kP31), L(kP32), L(kP33), H(kP36), H(kP34), H(kP35)})},
    .CfgAddressed = {Flush},
    .CfgProgram = {Step51(kPulseP34), VccOff},
};

// The window: the buttons, the CFG group with its button and boxes (the
// 12.5 V form: the encryption and oscillator boxes and the seeds disabled until
// setup), the LDROM labels of the 5 V form, the usual batch.
ControlRows WinbondForm::Window(const WinbondProfile& k) {
    using namespace win;
    const auto off = [&k](ControlRow c) { return k.HighVpp ? Disabled(c) : c; };
    return Join({StatusRows51(), ReadIdExitButtons51(),
                 {Group({"GroupBox2", k.CfgGroup}), PushButton({"Secrity", k.CfgButton}, "GroupBox2")},
                 In("GroupBox2", {Box({"CheckBox6", "Lock      "}, true),
                                  Box({"CheckBox7", "No MOVC instruction.    "}, true),
                                  off(Box({"CheckBox8", k.EncryptBox}, true)),
                                  off(Box({"CheckBox9", "Full OSC/Half OSC    "}, true))}),
                 In("GroupBox2", {If(k.HighVpp, Disabled(Label({"Label3", "Random S  （Seed)："}))),
                                  If(k.HighVpp, Disabled(Label({"Label1", "Seed_0"}))),
                                  If(k.HighVpp, Disabled(Edit({"Edit1", ""}, "ff"))),
                                  If(k.HighVpp, Disabled(Label({"Label2", "Seed_1"}))),
                                  If(k.HighVpp, Disabled(Edit({"Edit2", ""}, "ff")))}),
                 {If(!k.HighVpp, Label({"Label1", "Load Block"})), If(!k.HighVpp, Label({"Label2", ""}))},
                 UsualBatchRows51("Wr.CFG")});
}

WinbondForm::WinbondForm(Workbench& w, const WinbondProfile& row)
    : Steps51Form(w, row.Caption, {21, 22, 23, 24, 25, 26, 27, 28}), w_(row) {
    DeclareControls(Window(w_), this, Handlers51<WinbondForm>());
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
    if (Ep3.Connected) Run(w_.Levels);
}

// ---- routines ------------------------------------------------------------------------------

void WinbondForm::PowerUp51() { Run(w_.PowerUp); }

int WinbondForm::PreCheck51() { return Run(w_.PreCheck); }

bool WinbondForm::OwnStep(int) {
    IDClick();
    return LockedSignatureOk51();
}

void WinbondForm::ProgramByte51(std::uint8_t value) {
    Ep3.UsbPut2(OpPutData51, value);
    Run(w_.Pulse);
}

void WinbondForm::LockBitPulse51(std::int32_t address, std::uint8_t value) {
    Run(w_.CfgSelect);
    SetAddress51(address);
    Run(w_.CfgAddressed);
    Ep3.UsbPut2(OpPutData51, value);
    Run(w_.CfgProgram);
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
        if (w_.HighVpp) Run(kStrobe64);
        else ReadBlock(buf);
        if (!block(a, buf, count)) return false;
    }
    return true;
}

void WinbondForm::CheckChip(const Mcs51Row& r, const CheckPass51& pass) {
    Run(w_.Check);
    const auto off = [this] { Run(w_.CheckOff); };
    const auto judged = [&](std::int32_t a, const std::uint8_t* b, int n) {
        return BlockChecked51(pass, a, b, off, n);
    };
    if (WalkChip(r, judged)) PassEnd51(pass, r.LastAddress, off);
}

void WinbondForm::IDClick() {
    Row();
    if (!Run(w_.Id)) return;
    auto& id = LastReadId();
    id[0] = Ep3.UsbReplyBuf[0];
    id[1] = Ep3.UsbReplyBuf[1];
    Status(FormatText("%02x,%02x", id[0], id[1]));
    Run(w_.Off);
}

int WinbondForm::CheckDeviceId() {
    return CheckDeviceIdWith(kWinbondId, [this] { IDClick(); });
}

// ---- handlers -------------------------------------------------------------------------------

void WinbondForm::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Run(w_.Read)) return;
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
    if (Run(kBlank)) CheckChip(r, {.FaultStatus = "No!!!", .SuccessText = w_.BlankOk, .OffBeforeSuccess = true});
}

void WinbondForm::VerifyClick() {
    const Mcs51Row& r = Row();
    if (Run(w_.Verify)) CheckChip(r, kVerifyPass51);
}

void WinbondForm::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Run(kWrite) || !Run(w_.Write)) return;
    ByteLoop(r, [&](std::int32_t i) {
        if (r.AppLast != 0 && i == r.AppLast + 1) Ep3.PinHigh(kP36);  // the LDROM from here
    });
    Flush();
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
}

void WinbondForm::EraseClick() {
    Row();
    if (!Run(kErase) || !Run(w_.Erase)) return;
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
    Run(w_.CfgEntry);
    const std::uint8_t cfg = CfgByte(*this);
    LockBitPulse51(0xFFFF, cfg);
    if (!w_.HighVpp) return Success("OK");
    if (Get("Edit1").Enabled) {
        LockBitPulse51(0xFFFE, static_cast<std::uint8_t>(seed[0]));
        LockBitPulse51(0xFFFD, static_cast<std::uint8_t>(seed[1]));
    }
    Ep3.VppPin(0);
    Status(FormatText("%02x,%02x,%02x", cfg, static_cast<unsigned>(seed[0]), static_cast<unsigned>(seed[1])));
}

void WinbondForm::Button1Click() {
    Row();
    const auto steps = BatchSteps<Mcs51Form>(this, kUsualBatch51);
    if (w_.HighVpp) RunBatchDip51(steps);
    else RunBatch51(steps, false);
}

QUILLA_FORM(TPW785x);
QUILLA_FORM(TW78e516x);

}  // namespace quilla
