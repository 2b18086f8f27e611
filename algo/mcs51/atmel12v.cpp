#include "algo/mcs51/atmel12v.h"

#include <algorithm>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP33 = 13, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31, kVcc65Pin = 40;
constexpr int kMaxFlash = 32768;  // P89C5WD: A0-A14, A15 is not driven
constexpr int kVpp = 12000;

// The VeriyVolt items and the VCC each sets (the second says 4.2 V; 4.4 V is what it sets).
struct VerifyLevel {
    const char* Item;
    int Mv;
};
constexpr VerifyLevel kVerifyLevels[] = {
    {"Vrfy电压5.0V", 5000}, {"Vrfy电压4.2V", 4400}, {"Vrfy电压3.3V", 3300}, {"Vrfy电压2.5V", 2500}};

// The selector P2.6, P2.7, P3.3, P3.6, P3.7 of each mode.
constexpr std::array<bool, 5> kReadSel{false, false, false, true, true}, kWriteSel{false, true, true, true, true},
    kEraseSel{true, false, true, false, false}, kLockReadSel{true, true, false, true, false}, kIdSel{};

// LB1, LB2, LB3 by their selector levels (P2.7, P3.6, P3.7), and as data bytes
// (a 0 bit programs; mode 1 writes 0x7F alone).
constexpr std::array<bool, 3> kLockLevels[3] = {{true, true, true}, {true, false, false}, {false, true, false}};
constexpr std::uint8_t kLockBytes[3] = {0x80, 0x40, 0x20};
constexpr std::uint8_t kLockMode1Byte = 0x7F;

}  // namespace

// ---- the rows --------------------------------------------------------------------------------

const Atmel12vRow kAt89c5xRow{
    .Caption = "AT89,AT87...",
    .HighPins = {21, 22, 23, 24, 25, 26, 10},
    .Parts = {{"Exit", 0, 0}, {"1: AT89C51", 0x0FFF, 0}, {"2: AT89LV51", 0x0FFF, 0}, {"3: AT89C52", 0x1FFF, 0},
              {"4: AT89LV52", 0x1FFF, 0}, {"5: AT89C55", 0x4FFF, 0}, {"6: AT80F51", 0x0FFF, 0},
              {"7: AT80F52", 0x1FFF, 0}, {"8: AT87F51(OTP)", 0x0FFF, 1}, {"9: AT87F52(OTP)", 0x1FFF, 1}},
    .SpeedRadio = "RadioGroup2", .LockDefault = 2, .VerifyVolt = true,
    .PowerUpOption = true,
    .VerifyPreCheck = true, .BlankPowersFirst = true, .VerifyRestoresVcc = true,
    .ByteWait = OpWait1ms,
    .LockGuarded = true,
    .LockPulse = {.Lead = OpWait1ms, .Width = OpWaitSettle, .Tail = OpWait1ms, .TailCount = 2},
};

const Atmel12vRow kAt89c5xwdRow{
    .Caption = "AT8xc5xWD",
    .HighPins = {21, 22, 23, 24, 25, 26, 14},
    .Parts = {{"0: AT89/87", 0x4FFF, 0}},
    .SizedByLine = true, .OptionPin = 10, .DrivesP33 = true,
    .EraseOffAtStart = false, .SpeedRadio = "Speed", .ReadLockButton = true,
    .SetupSettles = true, .PowerUpVccCycle = true, .LateReadMode = true, .Pre = PreCheck51::None,
    .ReadModeCmd = true, .ReadChecksCurrent = false, .Blank = BlankGuard51::LockBits,
    .IdShowsDetect = false, .IdText = "MFG and ID is   = %02x,%02x, %02x",
    .WriteChecksId = false, .WriteSetsAddress = false, .WriteFlushBeforeVpp = false, .WriteEaLow = true,
    .WriteFlushAfterVpp = true, .ByteWait = OpWaitPulse,
    .Erase = Erase51::TwoAt65V,
    .LockPreCheck = false, .LockXtal = false, .LockSettle = OpWait100ms,
    .LockPulse = {.Lead = OpWaitSettle, .Width = OpWaitPulse, .Tail = OpWaitSettle},
    .LockEaOff = true, .LockEnd = LockEnd51::ReadBack, .LockDoneText = "OK",
    .BatchOnePass = true,
};

const Atmel12vRow kAt89s5xRow{
    .Caption = "At89s5x1",
    .HighPins = {21, 22, 23, 24, 25, 26, 14},
    .Parts = {{"Exit", 0, 0}, {"1: AT89S51", 0x0FFF, 0}, {"2: AT89S52", 0x1FFF, 0}, {"3: AT89S53", 0x2FFF, 0}},
    .OptionPin = 10, .DrivesP33 = true,
    .EraseOffAtStart = false, .SpeedRadio = "Speed",
    .VccMv = 4500, .SetupVppMv = 0, .PowerUpVppMv = 0, .PowerUpSettles = true, .Pre = PreCheck51::DirectFlush,
    .ReadModeCmd = true, .ReadPreCheck = true, .ReadChecksCurrent = false, .Blank = BlankGuard51::None,
    .VerifyRestoresVcc = true, .ReadStatus = "Reading......",
    .WriteChecksId = false, .RaisesVpp = true, .WriteSetsAddress = false, .WriteFlushBeforeVpp = false,
    .WriteFlushAfterVpp = true, .WriteEndVppMv = 0, .ByteWait = OpWaitPulse, .ByteWaitsPerStep = 1,
    .Erase = Erase51::VccBounce, .LockXtal = false,
    .LockPulse = {.Lead = OpWaitSettle, .Width = OpWaitPulse, .Tail = OpWaitSettle},
    .LockEnd = LockEnd51::Mode1Note, .LockMode1Text = "Note:mode1,not locked.", .LockFlagBeforeText = true,
};

const Atmel12vRow kAt89x8252Row{
    .Caption = "AT89x8252/89x53",
    .HighPins = {21, 22, 23, 24, 25, 26},
    .Parts = {{"Exit", 0, 0}, {"1: AT89LS8252", 0x27FF, 0}, {"2: AT89LS8252", 0x1FFF, 0}, {"3: AT89LS53", 0x2FFF, 0}},
    .UnderVpp = true, .DipContact = true,
    .PowerUpVppMv = kVpp, .PowerUpResetMode = true, .Pre = PreCheck51::Direct,
    .ReadModeCmd = true, .ReadPreCheck = true, .VerifyPreCheck = true,
    .ReadStatus = "Reading data ........", .ReadDone = TAt89x8252x::ReadDoneText,
    .VerifyStatus = "Verifying data.........",
    .WritePreCheck = false, .WriteOptionAfterPins = true, .WriteFlushBeforeVpp = false, .WriteEndVppMv = 4500,
    .ByteWait = OpWait1ms,
    .EraseStatus = "Erasing device.........", .EraseLongPulse = false,
    .LockPreCheck = false, .LockByData = true,
    .LockPulse = {.Width = OpWaitSettle, .WidthCount = 2, .Tail = OpWait1ms, .TailCount = 2},
    .LockEnd = LockEnd51::Mode1Note, .LockMode1Text = "Mode1, No lock.", .LockDoneText = "OK",
};

// ---- the window ------------------------------------------------------------------------------

Atmel12vForm::Atmel12vForm(Workbench& w, const Atmel12vRow& row)
    : Mcs51Form(w, row.Caption, row.HighPins), k_(row) {
    if (k_.SizedByLine) FirstRow = 0;
    DeclareStatus();
    DeclareButtons51({{"Erase", "Erase", [this] { EraseClick(); }, !k_.EraseOffAtStart},
                      {"Blank", "Blank?  ", [this] { BlankClick(); }}, {"Write", "Write ", [this] { WriteClick(); }},
                      {"Verify", "Vrfy", [this] { VerifyClick(); }}, {"Read1", "Read  ", [this] { ReadRom(); }},
                      {"Secrity", "Lock ", [this] { SecrityClick(); }}, {"ID", "MFG ID  ", [this] { IDClick(); }},
                      k_.ReadLockButton ? Button51{"Button2", "Read lock", [this] { Button2Click(); }}
                                        : Button51{"CancelBtn", "Exit ", [this] { Close(); }}});
    if (k_.SpeedRadio) AddRadio(k_.SpeedRadio, "Speed   ", {"Nor. ", "Slow "}, 0);
    AddRadio("RadioGroup1", "LockMode", {"1 No ext. MOVC ins   ", "2 +No Read         ", "3 No external code "},
             k_.LockDefault);
    const auto& v = kVerifyLevels;
    if (k_.VerifyVolt) AddCombo("VeriyVolt", "", {v[0].Item, v[1].Item, v[2].Item, v[3].Item}, 1);
    DeclareBatch({{"CheckBox1", "Erase "}, {"CheckBox2", "Blank?  "}, {"CheckBox3", "Write "}, {"CheckBox4", "Vrfy"},
                  {"CheckBox5", "Lock"}},
                 " Run  ", [this] { Button1Click(); });
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
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(k_.VccMv);
    if (k_.SetupSettles) Put1(OpWait100ms);
    Ep3.SetVpp(k_.SetupVppMv);
}

// ---- routines --------------------------------------------------------------------------------

void Atmel12vForm::ClockOptions() {
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
}

void Atmel12vForm::ProgPulse() {
    Ep3.PinLow(kProg);
    Ep3.PinHigh(kProg);
}

void Atmel12vForm::SetMode(std::array<bool, 5> levels, bool controls, bool p33) {
    if (controls) SetPins({H(kRst), L(kPsen), H(kProg), H(kEa)});
    const int pins[5] = {kP26, kP27, kP33, kP36, kP37};
    for (std::size_t i = 0; i < 5; ++i)
        if (pins[i] != kP33 || p33) Ep3.SetPin(levels[i], pins[i]);
}

int Atmel12vForm::PowerUp51() {
    if (!k_.DipContact && !ContactTest()) return 0;
    if (k_.PowerUpOption) {
        Ep3.SetPortMode(PortModeReset);
        Ep3.SetPinOption(k_.OptionPin, 1);
    }
    if (k_.PowerUpVccCycle) {
        Ep3.VccPin(0);
        Ep3.PinLow(VccPinNo);
    } else {
        Ep3.GndPin(GndPinNo);
    }
    if (k_.PowerUpVppMv >= 0) {
        Ep3.SetVcc(k_.VccMv);
        Ep3.SetVpp(k_.PowerUpVppMv);
    }
    if (k_.PowerUpSettles) Put1(OpWait100ms);
    if (k_.PowerUpResetMode) Ep3.SetPortMode(PortModeReset);
    Ep3.VccPin(VccPinNo);
    if (!k_.LateReadMode) Ep3.SetPortMode(PortMode51Read);
    ClockOptions();
    Ep3.ClockPin(kXtal1);
    Ep3.VppPin(0);
    SetPins({H(kRst), L(kPsen), H(kProg), H(kEa)});
    if (k_.LateReadMode) Ep3.SetPortMode(PortMode51Read);
    Flush();
    if (k_.UnderVpp) Ep3.SetVpp(kVpp);
    return 1;
}

int Atmel12vForm::PreCheck51() {
    switch (k_.Pre) {
        case PreCheck51::None:
            return 1;
        case PreCheck51::AfterPowerUp:
            if (!PowerUp51()) return 0;
            Ep3.ClockPin(0);
            break;
        case PreCheck51::Direct:
        case PreCheck51::DirectFlush:
            Ep3.GndPin(GndPinNo);
            Ep3.VccPin(VccPinNo);
            break;
    }
    Ep3.PinHigh(kRst);
    Ep3.PinLow(kRst);
    if (k_.Pre == PreCheck51::DirectFlush) Flush();
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

bool Atmel12vForm::Pre() { return PreCheck51() != 0 || k_.Pre == PreCheck51::Direct; }

bool Atmel12vForm::Enter(bool pre) { return (!k_.DipContact || DipContact51()) && (!pre || Pre()); }

std::uint8_t Atmel12vForm::ProgramByte51(std::uint8_t value) {
    Ep3.UsbPut2(OpPutData51, value);
    Ep3.PinHigh(kP27);
    Ep3.PinLow(kProg);
    Put1(OpWaitPulse);
    Ep3.PinHigh(kProg);
    const int steps = k_.SpeedRadio ? ItemIndex(k_.SpeedRadio) + 1 : 1;
    Waits(k_.ByteWait, steps * k_.ByteWaitsPerStep);
    Ep3.PinLow(kP27);
    return value;
}

bool Atmel12vForm::LockBitPulse51(std::array<bool, 3> levels, std::uint8_t data) {
    if (k_.LockByData) {
        Ep3.UsbPut2(OpPutData51, data);
        Put1(OpWaitPulse);
        SetPins({H(kP26), L(kP27), H(kP36), L(kP37)});
    } else {
        Ep3.SetPin(levels[0], kP27);
        Ep3.SetPin(levels[1], kP36);
        Ep3.SetPin(levels[2], kP37);
    }
    if (k_.LockGuarded) Flush();
    if (k_.LockSettle) Put1(k_.LockSettle);
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return false;
    const Pulse51& p = k_.LockPulse;
    if (p.Lead) Put1(p.Lead);
    Ep3.PinLow(kProg);
    Waits(p.Width, p.WidthCount);
    Ep3.PinHigh(kProg);
    Waits(p.Tail, p.TailCount);
    if (k_.LockEaOff)
        Ep3.VppPinOff(kEa);
    else
        Ep3.VppPin(0);
    if (k_.LockGuarded) Flush();
    return true;
}

int Atmel12vForm::VerifyMillivolts() const {
    if (!k_.VerifyVolt) return k_.VccMv;
    const std::string t = Text("VeriyVolt");
    for (const VerifyLevel& l : kVerifyLevels)
        if (t == l.Item) return l.Mv;
    return 5000;
}

// The read mode of Read, Blank and Verify (the current check is the caller's).
void Atmel12vForm::ReadMode() {
    if (k_.ReadModeCmd) Ep3.SetPortMode(PortMode51Read);
    if (k_.UnderVpp) ClockOptions();
    SetMode(kReadSel, true, k_.DrivesP33);
    if (k_.UnderVpp) {
        Ep3.VppPin(VppPinNo);
    } else {
        SetAddress51(0);
        Flush();
    }
}

// ---- the signature and the lock bits -------------------------------------------------------------

bool Atmel12vForm::ReadSignature() {
    Row();
    if (k_.IdShowsDetect) Status("Detect MFG and ID .....");
    if (!Pre() || !PowerUp51()) return false;
    Ep3.SetPortMode(PortMode51Read);
    auto& id = LastReadId();
    std::uint8_t* reply = Ep3.UsbReplyBuf.data();
    if (k_.DrivesP33) {
        SetMode(kIdSel, false, true);
        ReadBlock(reply);
        Flush();
        for (int i = 0; i < 3; ++i) {
            SetAddress51(i * 256);
            ReadBlock(reply + i);
        }
        Ep3.VccPin(0);
    } else {
        ClockOptions();
        SetMode(kIdSel, true, false);
        if (k_.UnderVpp) {
            Ep3.VppPin(VppPinNo);
            if (!Ep3.CheckCurrent()) return false;
        }
        SetAddress51(0);
        ReadBlock(reply);
        reply += 0x30;
    }
    std::copy_n(reply, 3, id.begin());
    if (k_.UnderVpp) {
        Ep3.SetVpp(4500);
        Ep3.VppPin(0);
        Ep3.SetAllPins(1);
        Ep3.VccPin(0);
    } else if (!k_.DrivesP33) {
        SuppliesOff();
    }
    Status(FormatText(k_.IdText, id[0], id[1], id[2]));
    return true;
}

int Atmel12vForm::ReadLockBits51() {
    if (!PowerUp51()) return -1;
    Ep3.SetPortMode(PortMode51Read);
    SetAddress51(0);
    SetMode(kLockReadSel, false, true);
    ReadBlock(Ep3.UsbReplyBuf.data());
    Ep3.VccPin(0);
    return Ep3.UsbReplyBuf[0] & 0x1C;
}

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
    if (!Enter(k_.ReadPreCheck) || !PowerUp51()) return;
    Status(k_.ReadStatus);
    ReadMode();
    if (!Ep3.CheckCurrent()) return;
    ReadImage51(r);
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success(k_.ReadDone);
    wb.Display();
    AlgoForm::Show();
}

bool Atmel12vForm::BlankGuardOk() {
    switch (k_.Blank) {
        case BlankGuard51::None:
            Status("Blank CHK");
            return Pre();
        case BlankGuard51::IdLocked:
            if (k_.BlankPowersFirst && (!Pre() || !PowerUp51())) return false;
            IDClick();
            if (!LockedSignatureOk51()) return false;
            break;
        case BlankGuard51::LockBits:
            if (!LockBitsAre(false, "加了密的器件!")) return false;
            break;
    }
    Status("Blank CHK");
    return true;
}

void Atmel12vForm::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Enter(false) || !BlankGuardOk() || !PowerUp51()) return;
    ReadMode();
    if (k_.ReadChecksCurrent && !Ep3.CheckCurrent()) return;
    BlankBlocks51(r, [this] { SuppliesOff(); });
}

void Atmel12vForm::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Enter(k_.VerifyPreCheck)) return;
    Status(k_.VerifyStatus);
    if (!PowerUp51()) return;
    if (k_.VerifyVolt) Ep3.SetVcc(VerifyMillivolts());
    ReadMode();
    if (k_.ReadChecksCurrent && !Ep3.CheckCurrent()) {
        if (k_.VerifyVolt) Ep3.SetVcc(k_.VccMv);
        return;
    }
    VerifyBlocks51(r, [this] {
        SuppliesOff();
        if (k_.VerifyRestoresVcc) Ep3.SetVcc(k_.VccMv);
    });
}

void Atmel12vForm::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Enter(k_.WritePreCheck)) return;
    if (k_.WriteChecksId && !CheckDeviceId()) return;
    if (!NeedFileWindow()) return;
    Status("Writing..");
    if (!PowerUp51()) return;
    if (k_.RaisesVpp) {
        Ep3.SetVpp(kVpp);
        Put1(OpWaitSettle);
    }
    Ep3.SetPortMode(PortModeReset);
    ClockOptions();
    if (!k_.WriteOptionAfterPins) Ep3.SetPinOption(k_.OptionPin, 1);
    SetMode(kWriteSel, true, k_.DrivesP33);
    if (k_.WriteOptionAfterPins) Ep3.SetPinOption(k_.OptionPin, 1);
    if (k_.WriteSetsAddress) SetAddress51(0);
    if (k_.WriteFlushBeforeVpp) Flush();
    Ep3.VppPin(VppPinNo);
    if (k_.WriteEaLow) Ep3.PinLow(kEa);
    if (k_.WriteFlushAfterVpp) Flush();
    if (!Ep3.CheckCurrent()) return;
    ByteLoop(r, [this](std::uint8_t v) { ProgramByte51(v); });
    Flush();
    ShowProgress(r.LastAddress);
    if (k_.WriteEndVppMv >= 0) Ep3.SetVpp(k_.WriteEndVppMv);
    SuppliesOff();
    Success("OK");
}

// P2.6 high, P2.7 low, P3.3 high, P3.6 and P3.7 low: the chip erase.
bool Atmel12vForm::EraseSingle() {
    if (!Enter(k_.LockPreCheck) || !PowerUp51()) return false;
    Status(k_.EraseStatus);
    Ep3.SetPortMode(PortModeReset);
    ClockOptions();
    SetMode(kEraseSel, false, true);
    if (k_.EraseLongPulse) Flush();
    Ep3.VppPin(VppPinNo);
    if (k_.EraseLongPulse) Put1(OpWait100ms);
    if (!Ep3.CheckCurrent()) return false;
    Ep3.PinLow(kProg);
    Put1(OpWaitSettle);
    if (k_.EraseLongPulse) Put1(OpWait100ms);
    Ep3.PinHigh(kProg);
    if (k_.EraseLongPulse)
        Flush();
    else
        Put1(OpWait100ms);
    SuppliesOff();
    return true;
}

bool Atmel12vForm::EraseVccBounce() {
    Status(k_.EraseStatus);
    if (!PowerUp51()) return false;
    Ep3.SetVpp(kVpp);
    Ep3.SetVcc(k_.VccMv);
    Waits(OpWait100ms, 3);
    Flush();
    SetProgress(kProgress, 0, 10, 1);
    Ep3.VccPin(VccPinNo);
    SetMode(kEraseSel, false, true);
    Flush();
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return false;
    ProgPulse();
    for (int step = 2; step <= 4; ++step) {
        Put1(OpWait100ms);
        SetProgress(kProgress, 0, 10, step);
        Flush();
    }
    Ep3.VccPin(0);
    Ep3.VccPin(VccPinNo);
    ProgPulse();
    Waits(OpWait100ms, 2);
    Flush();
    SetProgress(kProgress, 0, 10, 10);
    Ep3.SetVpp(0);
    SuppliesOff();
    return true;
}

bool Atmel12vForm::EraseTwoAt65V() {
    // The signature read powers the chip up; a refused contact test ends Erase
    // (nothing would be erased, and the lock read-back would pass an empty socket).
    if (!ReadSignature()) return false;
    Status(k_.EraseStatus);
    Ep3.SetPortMode(PortModeReset);
    SetMode(kEraseSel, false, true);
    for (int pulse = 0; pulse < 2; ++pulse) {
        Ep3.VppSupplyPin(kVcc65Pin);  // VCC at 6.5 V
        Put1(OpWaitSettle);
        Ep3.VppPin(VppPinNo);
        ProgPulse();
        Waits(OpWait100ms, 2);
        Flush();
        Ep3.VppPinOff(VppPinNo);
        Ep3.VppSupplyPin(0);
    }
    return LockBitsAre(false, "Ers.失败!需要重新操作。");
}

void Atmel12vForm::EraseClick() {
    Row();
    const bool done = k_.Erase == Erase51::Single      ? EraseSingle()
                      : k_.Erase == Erase51::VccBounce ? EraseVccBounce()
                                                       : EraseTwoAt65V();
    if (!done) return;
    wb.ErrorFlag() = 0;
    Success(k_.Erase == Erase51::TwoAt65V ? "OK" : "End.");
}

void Atmel12vForm::SecrityClick() {
    Row();
    if (!Enter(k_.LockPreCheck)) return;
    Status("Locking");
    if (k_.LockEnd == LockEnd51::ReadBack) {
        Ep3.VppSupplyPin(kVcc65Pin);  // VCC at 6.5 V
    } else {
        if (!PowerUp51()) return;
        if (k_.RaisesVpp) {
            Ep3.SetVpp(kVpp);
            Ep3.SetVcc(k_.VccMv);
        }
    }
    Ep3.SetPortMode(PortModeReset);
    if (k_.LockXtal) ClockOptions();
    if (k_.LockGuarded && !Ep3.CheckCurrent()) return;
    SetAddress51(0);
    SetPins({H(kP26), H(kP33)});
    if (k_.LockGuarded) Flush();
    const int item = ItemIndex("RadioGroup1");
    // An over-current ends Lock: the supplies are off, and routing VPP again for
    // the next bit would put it on a chip without VCC.
    if (k_.LockByData && item == 0) {
        if (!LockBitPulse51({}, kLockMode1Byte)) return;
    } else {
        for (int b = 0; b <= item; ++b)
            if (!LockBitPulse51(kLockLevels[b], kLockBytes[b])) return;
    }
    LockEnd(item);
}

void Atmel12vForm::LockEnd(int item) {
    switch (k_.LockEnd) {
        case LockEnd51::Done:
            // VCC stays routed after Lock.
            return Success(k_.LockDoneText);
        case LockEnd51::ReadBack:
            Ep3.VppSupplyPin(0);
            if (!LockBitsAre(true, "Lock失败!")) return;
            wb.ErrorFlag() = 0;
            return Success(k_.LockDoneText);
        case LockEnd51::Mode1Note:
            break;
    }
    if (k_.RaisesVpp) Ep3.SetVcc(k_.VccMv);
    if (item > 0) {
        if (k_.LockFlagBeforeText) wb.ErrorFlag() = 0;
        Success(k_.LockDoneText);
        wb.ErrorFlag() = 0;
    } else {
        Status(k_.LockMode1Text);
    }
    if (k_.RaisesVpp) {
        Ep3.VccPin(0);
        Ep3.SetVpp(0);
    } else {
        SuppliesOff();
    }
}

void Atmel12vForm::Button1Click() {
    Row();
    if (k_.BatchOnePass && Ticked("CheckBox3") && !wb.FileWin) {
        wb.prompts.ShowMsg("Must open a file to write...");
        return;
    }
    const std::vector<BatchStep> steps = {
        {"CheckBox1", [this] { EraseClick(); }},  {"CheckBox2", [this] { BlankClick(); }},
        {"CheckBox3", [this] { WriteClick(); }},  {"CheckBox4", [this] { VerifyClick(); }},
        {"CheckBox5", [this] { SecrityClick(); }}};
    if (k_.DipContact)
        RunBatch(steps, [this] { return DipContact51(); });
    else
        RunBatch51(steps, !k_.BatchOnePass);
}

QUILLA_FORM(TAt89c5x);
QUILLA_FORM(TAt89c5xwd);
QUILLA_FORM(TAt89s5x1);
QUILLA_FORM(TAt89x8252x);

}  // namespace quilla
