#include "algo/mcs51/atmel12v.h"

#include <algorithm>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using enum Do51;
using namespace steps51;

namespace {

constexpr int kRst = 9, kP30 = 10, kP33 = 13, kP34 = 14, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31, kVcc40 = 40;
constexpr int kMaxFlash = 32768;  // P89C5WD: A0-A14, A15 is not driven
constexpr int kVpp = 12000;

// The VeriyVolt items and the VCC each sets (the second says 4.2 V; 4.4 V is what it sets).
struct VerifyLevel {
    const char* Item;
    int Mv;
};
constexpr VerifyLevel kVerifyLevels[] = {{.Item = "Vrfy电压5.0V", .Mv = 5000},
                                         {.Item = "Vrfy电压4.2V", .Mv = 4400},
                                         {.Item = "Vrfy电压3.3V", .Mv = 3300},
                                         {.Item = "Vrfy电压2.5V", .Mv = 2500}};

// LB1, LB2, LB3 by their selector levels (P2.7, P3.6, P3.7), and as data bytes
// (a 0 bit programs; mode 1 writes 0x7F alone).
constexpr std::array<bool, 3> kLockLevels[3] = {{true, true, true}, {true, false, false}, {false, true, false}};
constexpr std::uint8_t kLockBytes[3] = {0x80, 0x40, 0x20};
constexpr std::uint8_t kLockMode1Byte = 0x7F;

using F = Atmel12vForm;
Step51 Mine(F::OwnKind k) { return {Own, k}; }

// XTAL2 and XTAL1 given their option; RST high, PSEN low, PROG high, EA high;
// RST pulsed; PROG pulsed; the clock on XTAL1.
const Step51 kClk = OptionPins({H(kXtal2), H(kXtal1)}), kControls = Pins({H(kRst), L(kPsen), H(kProg), H(kEa)});
const Step51 kRstPulse = Pins({H(kRst), L(kRst)}), kProgPulse = Pins({L(kProg), H(kProg)});
const Step51 kClockOn{Clock, kXtal1}, kProgLow = Pins({L(kProg)}), kProgHigh = Pins({H(kProg)});
// The selector P2.6, P2.7, (P3.3,) P3.6, P3.7 of each mode (the "33" ones with P3.3).
const Step51 kReadSel = Pins({L(kP26), L(kP27), H(kP36), H(kP37)});
const Step51 kReadSel33 = Pins({L(kP26), L(kP27), L(kP33), H(kP36), H(kP37)});
const Step51 kWriteSel = Pins({L(kP26), H(kP27), H(kP36), H(kP37)});
const Step51 kWriteSel33 = Pins({L(kP26), H(kP27), H(kP33), H(kP36), H(kP37)});
const Step51 kEraseSel = Pins({H(kP26), L(kP27), H(kP33), L(kP36), L(kP37)});
const Step51 kIdSel = Pins({L(kP26), L(kP27), L(kP36), L(kP37)});
const Step51 kLockReadSel = Pins({H(kP26), H(kP27), L(kP33), H(kP36), L(kP37)});
const Step51 kLockSelect = Pins({H(kP26), H(kP33)});
const Steps51 kSetup12{Ground, VccLevel, {VppLevel, kVpp}};

// The power-ups: the chip in programming mode with VPP off (a refused contact
// test ends them), and the pre-checks (RST pulsed, the clock pins' pair check).
const Steps51 kPowerUpC5x{Contact, ResetMode, OptionPins({H(kP34)}), Ground, VccOn, ReadMode, kClk, kClockOn,
                          VppOff,  kControls, Flush};
const Steps51 kPowerUpWd{Contact, VccOff, Pins({L(kVcc40)}), VccOn, kClk, kClockOn, VppOff, kControls, ReadMode, Flush};
const Steps51 kPowerUpS5x{Contact, Ground, VccLevel, {VppLevel, 0}, Wait100ms, VccOn, ReadMode, kClk, kClockOn,
                          VppOff,  kControls, Flush};
// 12 V on EA while reading: set again once powered.
const Steps51 kPowerUp8252{Ground, VccLevel, {VppLevel, kVpp}, ResetMode, VccOn, ReadMode, kClk, kClockOn,
                           VppOff, kControls, Flush, {VppLevel, kVpp}};
const Step51 PowerUpC5x{kPowerUpC5x}, PowerUpWd{kPowerUpWd}, PowerUpS5x{kPowerUpS5x}, PowerUp8252{kPowerUp8252};
const Steps51 kPreC5x{PowerUpC5x, {Clock, 0}, kRstPulse, PairCheck};
const Steps51 kPreS5x{Ground, VccOn, kRstPulse, Flush, PairCheck};
const Steps51 kPre8252{Ground, VccOn, kRstPulse, PairCheck};
const Step51 PreC5x{kPreC5x}, PreS5x{kPreS5x}, Pre8252{kPre8252};

// The read mode of Read, Blank and Verify.
const Steps51 kReadC5x{kControls, kReadSel, At(0), Flush}, kRead33{ReadMode, kControls, kReadSel33, At(0), Flush};
const Steps51 kRead8252{ReadMode, kClk, kControls, kReadSel, VppOn};
const Step51 ReadC5x{kReadC5x}, Read33{kRead33}, Read8252{kRead8252};

// The signature with P3.3 driven: bytes at 0x000, 0x100, 0x200 into the reply's first three.
const Steps51 kId33{ReadMode, Pins({L(kP26), L(kP27), L(kP33), L(kP36), L(kP37)}), ReadBlock, Flush, At(0), ReadBlock,
                    At(0x100), {ReadBlock, 1}, At(0x200), {ReadBlock, 2}, VccOff};
const Step51 Id33{kId33};
// The lock pulses of the P89C5WD: VCC at 6.5 V from the VPP path on socket 40.
const Steps51 kVcc65Pulse{{VppSupply, kVcc40}, WaitSettle, VppOn, kProgPulse, {Wait100ms, 2}, Flush, VppPinOff,
                          {VppSupply, 0}};

}  // namespace

// ---- the rows --------------------------------------------------------------------------------

const Atmel12vProfile kAt89c5xProfile{
    .Caption = "AT89,AT87...",
    .HighPins = {21, 22, 23, 24, 25, 26, kP30},
    .Parts = {{"Exit", 0}, {"1: AT89C51", 0x0FFF}, {"2: AT89LV51", 0x0FFF}, {"3: AT89C52", 0x1FFF},
              {"4: AT89LV52", 0x1FFF}, {"5: AT89C55", 0x4FFF}, {"6: AT80F51", 0x0FFF}, {"7: AT80F52", 0x1FFF},
              {.Name = "8: AT87F51(OTP)", .LastAddress = 0x0FFF, .Otp = 1},
              {.Name = "9: AT87F52(OTP)", .LastAddress = 0x1FFF, .Otp = 1}},
    .SpeedRadio = "RadioGroup2", .LockDefault = 2, .VerifyVolt = true,
    .Setup = kSetup12,
    .Read = {PowerUpC5x, Say("Read."), ReadC5x, CheckCurrent},
    .Blank = {PreC5x, PowerUpC5x, Mine(F::kIdUnlocked), Say("Blank CHK"), PowerUpC5x, ReadC5x, CheckCurrent},
    .Verify = {PreC5x, Say("Verify."), PowerUpC5x, Mine(F::kVerifyVcc), ReadC5x, Mine(F::kCurrentOrVccBack)},
    .VerifyOff = {Off, VccLevel},
    .Write = {PreC5x, IdCheck, NeedFile, Say("Writing.."), PowerUpC5x, ResetMode, kClk, OptionPins({H(kP34)}),
              kControls, kWriteSel, At(0), Flush, VppOn, CheckCurrent},
    .WriteEnd = {Off},
    .Erase = {PreC5x, PowerUpC5x, Say("Erasing"), ResetMode, kClk, kEraseSel, Flush, VppOn, Wait100ms, CheckCurrent,
              kProgLow, WaitSettle, Wait100ms, kProgHigh, Flush, Off},
    .Id = {Say("Detect MFG and ID ....."), PreC5x, PowerUpC5x, ReadMode, kClk, kControls, kIdSel, At(0), ReadBlock, Off},
    .ByteWait = OpWait1ms,
    // VCC stays routed after Lock.
    .Lock = {PreC5x, Say("Locking"), PowerUpC5x, ResetMode, kClk, CheckCurrent, At(0), kLockSelect, Flush},
    .LockPulse = {Flush, VppOn, CheckCurrent, Wait1ms, kProgLow, WaitSettle, kProgHigh, {Wait1ms, 2}, VppOff, Flush},
};

const Atmel12vProfile kAt89c5xwdProfile{
    .Caption = "AT8xc5xWD",
    .HighPins = {21, 22, 23, 24, 25, 26, kP34},
    .Parts = {{"0: AT89/87", 0x4FFF}},
    .SizedByLine = true,
    .EraseOffAtStart = false, .SpeedRadio = "Speed", .ReadLockButton = true,
    .Setup = {Ground, VccLevel, Wait100ms, {VppLevel, kVpp}},
    .Read = {PowerUpWd, Say("Read."), Read33, CheckCurrent},
    .Blank = {Mine(F::kBlankUnlocked), Say("Blank CHK"), PowerUpWd, Read33},
    .Verify = {Say("Verify."), PowerUpWd, Read33},
    .VerifyOff = {Off},
    .Write = {NeedFile, Say("Writing.."), PowerUpWd, ResetMode, kClk, OptionPins({H(kP30)}), kControls, kWriteSel33,
              VppOn, Pins({L(kEa)}), Flush, CheckCurrent},
    .WriteEnd = {Off},
    // The signature read powers the chip up; a refused contact test ends Erase
    // (nothing would be erased, and the lock read-back would pass an empty socket).
    .Erase = {Mine(F::kSignature), Say("Erasing"), ResetMode, kEraseSel, Step51(kVcc65Pulse, 2),
              Mine(F::kEraseUnlocked)},
    .Id = {PowerUpWd, Id33},
    .LockRead = {PowerUpWd, ReadMode, At(0), kLockReadSel, ReadBlock, VccOff},
    .IdAt = 0, .IdText = "MFG and ID is   = %02x,%02x, %02x",
    .EraseDone = "OK",
    .ByteWait = OpWaitPulse,
    .Lock = {Say("Locking"), {VppSupply, kVcc40}, ResetMode, At(0), kLockSelect},
    .LockPulse = {Wait100ms, VppOn, CheckCurrent, WaitSettle, kProgLow, WaitPulse, kProgHigh, WaitSettle,
                  {VppPinOff, kEa}},
    .LockEnd = {{VppSupply, 0}, Mine(F::kLocked)}, .LockDoneText = "OK", .LockClearsBefore = true,
    .BatchOnePass = true,
};

const Atmel12vProfile kAt89s5xProfile{
    .Caption = "At89s5x1",
    .HighPins = {21, 22, 23, 24, 25, 26, kP34},
    .Parts = {{"Exit", 0}, {"1: AT89S51", 0x0FFF}, {"2: AT89S52", 0x1FFF}, {"3: AT89S53", 0x2FFF}},
    .EraseOffAtStart = false, .SpeedRadio = "Speed",
    .VccMv = 4500,
    .Setup = {Ground, VccLevel, {VppLevel, 0}},
    .Read = {PreS5x, PowerUpS5x, Say("Reading......"), Read33, CheckCurrent},
    .Blank = {Say("Blank CHK"), PreS5x, PowerUpS5x, Read33},
    .Verify = {Say("Verify."), PowerUpS5x, Read33},
    .VerifyOff = {Off, VccLevel},
    .Write = {PreS5x, NeedFile, Say("Writing.."), PowerUpS5x, {VppLevel, kVpp}, WaitSettle, ResetMode, kClk,
              OptionPins({H(kP30)}), kControls, kWriteSel33, VppOn, Flush, CheckCurrent},
    .WriteEnd = {{VppLevel, 0}, Off},
    // The pulse, VCC off and on, a second pulse (progress 1..10).
    .Erase = {Say("Erasing"), PowerUpS5x, {VppLevel, kVpp}, VccLevel, {Wait100ms, 3}, Flush, {Bar, 1}, VccOn,
              kEraseSel, Flush, VppOn, CheckCurrent, kProgPulse, Wait100ms, {Bar, 2}, Flush, Wait100ms, {Bar, 3}, Flush,
              Wait100ms, {Bar, 4}, Flush, VccOff, VccOn, kProgPulse, {Wait100ms, 2}, Flush, {Bar, 10}, {VppLevel, 0},
              Off},
    .Id = {Say("Detect MFG and ID ....."), PreS5x, PowerUpS5x, Id33},
    .IdAt = 0,
    .ByteWait = OpWaitPulse, .ByteWaitsPerStep = 1,
    .Lock = {PreS5x, Say("Locking"), PowerUpS5x, {VppLevel, kVpp}, VccLevel, ResetMode, At(0), kLockSelect},
    .LockPulse = {VppOn, CheckCurrent, WaitSettle, kProgLow, WaitPulse, kProgHigh, WaitSettle, VppOff},
    .LockEnd = {VccLevel}, .LockOff = {VccOff, {VppLevel, 0}},
    .LockMode1Text = "Note:mode1,not locked.", .LockClearsBefore = true, .LockClearsAfter = true,
};

const Atmel12vProfile kAt89x8252Profile{
    .Caption = "AT89x8252/89x53",
    .HighPins = {21, 22, 23, 24, 25, 26},
    .Parts = {{"Exit", 0}, {"1: AT89LS8252", 0x27FF}, {"2: AT89LS8252", 0x1FFF}, {"3: AT89LS53", 0x2FFF}},
    .Setup = kSetup12,
    .Read = {Contact40, Pre8252, PowerUp8252, Say("Reading data ........"), Read8252, CheckCurrent},
    .Blank = {Contact40, Mine(F::kIdUnlocked), Say("Blank CHK"), PowerUp8252, Read8252, CheckCurrent},
    .Verify = {Contact40, Pre8252, Say("Verifying data........."), PowerUp8252, Read8252, CheckCurrent},
    .VerifyOff = {Off},
    .Write = {Contact40, IdCheck, NeedFile, Say("Writing.."), PowerUp8252, ResetMode, kClk, kControls, kWriteSel,
              OptionPins({H(kP34)}), At(0), VppOn, CheckCurrent},
    .WriteEnd = {{VppLevel, 4500}, Off},
    .Erase = {Contact40, PowerUp8252, Say("Erasing device........."), ResetMode, kClk, kEraseSel, VppOn, CheckCurrent,
              kProgLow, WaitSettle, kProgHigh, Wait100ms, Off},
    .Id = {Say("Detect MFG and ID ....."), Pre8252, PowerUp8252, ReadMode, kClk, kControls, kIdSel, VppOn,
           CheckCurrent, At(0), ReadBlock, {VppLevel, 4500}, VppOff, {AllPins, 1}, VccOff},
    .ReadDone = TAt89x8252x::ReadDoneText,
    .ByteWait = OpWait1ms,
    .Lock = {Contact40, Say("Locking"), PowerUp8252, ResetMode, kClk, At(0), kLockSelect},
    .LockPulse = {VppOn, CheckCurrent, kProgLow, {WaitSettle, 2}, kProgHigh, {Wait1ms, 2}, VppOff},
    .LockOff = {Off}, .LockByData = true,
    .LockMode1Text = "Mode1, No lock.", .LockDoneText = "OK", .LockClearsAfter = true,
    .BatchDip = true,
};

// ---- the window ------------------------------------------------------------------------------

ControlRows Atmel12vForm::Window(const Atmel12vProfile& k) {
    using namespace win;
    const ControlRow erase = PushButton({"Erase", "Erase"});
    const auto& v = kVerifyLevels;
    return Join({StatusRows51(),
                 {k.EraseOffAtStart ? Disabled(erase) : erase, PushButton({"Blank", "Blank?  "}),
                  PushButton({"Write", "Write "}), PushButton({"Verify", "Vrfy"}), PushButton({"Read1", "Read  "}),
                  PushButton({"Secrity", "Lock "}), PushButton({"ID", "MFG ID  "}),
                  If(k.ReadLockButton, PushButton({"Button2", "Read lock"})),
                  If(!k.ReadLockButton, PushButton({"CancelBtn", "Exit "})),
                  If(k.SpeedRadio != nullptr,
                     Radio({k.SpeedRadio ? k.SpeedRadio : "", "Speed   "}, {"Nor. ", "Slow "}, 0)),
                  Radio({"RadioGroup1", "LockMode"},
                        {"1 No ext. MOVC ins   ", "2 +No Read         ", "3 No external code "}, k.LockDefault),
                  If(k.VerifyVolt, Combo({"VeriyVolt", ""}, {v[0].Item, v[1].Item, v[2].Item, v[3].Item}, 1))},
                 UsualBatchRows51("Lock", "Write ")});
}

Atmel12vForm::Atmel12vForm(Workbench& w, const Atmel12vProfile& row)
    : Steps51Form(w, row.Caption, row.HighPins), k_(row) {
    if (k_.SizedByLine) FirstRow = 0;
    VccMv51 = k_.VccMv;
    DeclareControls(Window(k_), this, Handlers51<F>({{"Button2", &F::Button2Click}}));
    FillVariantTable();
}

// A P89C5WD row is sized by the line: a size outside 1..32768 (A15 is not
// driven) or an otp= other than 0 and 1 is refused before anything reaches the
// programmer.
bool Atmel12vForm::LineSized() {
    wb.sel.VariantIndex = 0;
    const int fla = wb.sel.GetParam("fla="), otp = wb.sel.GetParam("otp=");
    LineError.clear();
    if (fla <= 0 || fla > kMaxFlash)
        LineError = "Bad device line: fla=" + std::to_string(fla) + " of P89C5WD (1 to 32768)";
    else if (otp != 0 && otp != 1)
        LineError = "Bad device line: otp=" + std::to_string(otp) + " of P89C5WD (0 or 1)";
    if (!SetupRowOk()) return false;
    Table[0].LastAddress = fla - 1;
    Table[0].Otp = otp;
    return true;
}

void Atmel12vForm::SetupForDevice() {
    if (!(k_.SizedByLine ? LineSized() : SetupRowOk())) return;
    Ep3.ResetPins();
    UsePackage(k_.SizedByLine ? Dip40Package : ChoosePackage(wb.sel.TypeText));
    SetupShow();
    const Mcs51Row& r = *SelectedRow();
    ShowRowRange(r);
    SetEnabled("Erase", r.Otp == 0);
    SetEnabled("CheckBox1", r.Otp == 0);
    if (Ep3.Connected) Run(k_.Setup);
}

// ---- routines --------------------------------------------------------------------------------

bool Atmel12vForm::OwnStep(int kind) {
    switch (kind) {
        case kIdUnlocked: IDClick(); return LockedSignatureOk51();
        case kBlankUnlocked: return LockBitsAre(false, "加了密的器件!");
        case kEraseUnlocked: return LockBitsAre(false, "Ers.失败!需要重新操作。");
        case kLocked: return LockBitsAre(true, "Lock失败!");
        case kSignature: return ReadSignature();
        case kVerifyVcc: Ep3.SetVcc(VerifyMillivolts()); return true;
        case kCurrentOrVccBack:
            if (Ep3.CheckCurrent()) return true;
            Ep3.SetVcc(k_.VccMv);
            return false;
        default: return true;
    }
}

void Atmel12vForm::ProgramByte51(std::uint8_t value) {
    Ep3.UsbPut2(OpPutData51, value);
    SetPins({H(kP27), L(kProg)});
    Put1(OpWaitPulse);
    Ep3.PinHigh(kProg);
    const int steps = k_.SpeedRadio ? ItemIndex(k_.SpeedRadio) + 1 : 1;
    Waits(k_.ByteWait, steps * k_.ByteWaitsPerStep);
    Ep3.PinLow(kP27);
}

bool Atmel12vForm::LockBitPulse51(std::array<bool, 3> levels, std::uint8_t data) {
    if (k_.LockByData) {
        Ep3.UsbPut2(OpPutData51, data);
        Put1(OpWaitPulse);
        SetPins({H(kP26), L(kP27), H(kP36), L(kP37)});
    } else {
        SetPins({{kP27, levels[0]}, {kP36, levels[1]}, {kP37, levels[2]}});
    }
    return Run(k_.LockPulse);
}

int Atmel12vForm::VerifyMillivolts() const {
    if (!k_.VerifyVolt) return k_.VccMv;
    const std::string t = Text("VeriyVolt");
    for (const VerifyLevel& l : kVerifyLevels)
        if (t == l.Item) return l.Mv;
    return 5000;
}

// ---- the signature and the lock bits -------------------------------------------------------------

bool Atmel12vForm::ReadSignature() {
    Row();
    if (!Run(k_.Id)) return false;
    auto& id = LastReadId();
    std::copy_n(Ep3.UsbReplyBuf.data() + k_.IdAt, 3, id.begin());
    Status(FormatText(k_.IdText, id[0], id[1], id[2]));
    return true;
}

int Atmel12vForm::ReadLockBits51() { return Run(k_.LockRead) ? Ep3.UsbReplyBuf[0] & 0x1C : -1; }

bool Atmel12vForm::LockBitsAre(bool set, const char* fault) {
    const int lock = ReadLockBits51();
    if (lock < 0) return false;
    if ((lock != 0) == set) return true;
    wb.ErrorFlag() = 1;
    Status(fault);
    return false;
}

void Atmel12vForm::Button2Click() {
    Row();
    if (const int lock = ReadLockBits51(); lock >= 0) Status("Lock= " + Hex2(static_cast<unsigned>(lock)));
}

// ---- the handlers -----------------------------------------------------------------------------------

void Atmel12vForm::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Run(k_.Read)) return;
    ReadImage51(r);
    ReadEnd51(r.LastAddress, k_.ReadDone);
}

void Atmel12vForm::BlankClick() {
    const Mcs51Row& r = Row();
    if (Run(k_.Blank)) BlankBlocks51(r, [this] { SuppliesOff(); });
}

void Atmel12vForm::VerifyClick() {
    const Mcs51Row& r = Row();
    if (Run(k_.Verify)) VerifyBlocks51(r, [this] { Run(k_.VerifyOff); });
}

void Atmel12vForm::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Run(k_.Write)) return;
    ByteLoop(r);
    Flush();
    ShowProgress(r.LastAddress);
    Run(k_.WriteEnd);
    Success("OK");
}

void Atmel12vForm::EraseClick() {
    Row();
    if (!Run(k_.Erase)) return;
    wb.ErrorFlag() = 0;
    Success(k_.EraseDone);
}

void Atmel12vForm::SecrityClick() {
    Row();
    if (!Run(k_.Lock)) return;
    const int item = ItemIndex("RadioGroup1");
    // An over-current ends Lock: the supplies are off, and routing VPP again for
    // the next bit would put it on a chip without VCC.
    if (k_.LockByData && item == 0) {
        if (!LockBitPulse51({}, kLockMode1Byte)) return;
    } else {
        for (int b = 0; b <= item; ++b)
            if (!LockBitPulse51(kLockLevels[b], kLockBytes[b])) return;
    }
    if (!Run(k_.LockEnd)) return;
    if (item == 0 && k_.LockMode1Text) {
        Status(k_.LockMode1Text);
    } else {
        if (k_.LockClearsBefore) wb.ErrorFlag() = 0;
        Success(k_.LockDoneText);
        if (k_.LockClearsAfter) wb.ErrorFlag() = 0;
    }
    Run(k_.LockOff);
}

void Atmel12vForm::Button1Click() {
    Row();
    if (k_.BatchOnePass && !BatchFileOk51()) return;
    const auto steps = BatchSteps<Mcs51Form>(this, kUsualBatch51);
    if (k_.BatchDip)
        RunBatch(steps, [this] { return DipContact51(); });
    else
        RunBatch51(steps, !k_.BatchOnePass);
}

QUILLA_FORM(TAt89c5x);
QUILLA_FORM(TAt89c5xwd);
QUILLA_FORM(TAt89s5x1);
QUILLA_FORM(TAt89x8252x);

}  // namespace quilla
