#include "algo/mcs51/eprom51.h"

#include <algorithm>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using enum Do51;
using namespace steps51;

namespace {

constexpr int kRst = 9, kP31 = 11, kP33 = 13, kP34 = 14, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;
constexpr int kVccOkMin = 4500, kVccOkMax = 5500;  // the parts' programming VCC

constexpr Package51 kP51Dip40{"DIP40", "p51dip40.bit", 31, 40, 20, 0xFFFFFFFFu, 0xFFu};
constexpr Package51 kP51Plcc44{"PLCC44", "p51plcc44.bit", 33, 42, 20, 0x7FEFFDFFu, 0xFFu};

// RST, PSEN, PROG and EA in programming mode (RST high, or low on the 87C591).
const std::vector<Level51> kRun{H(kRst), L(kPsen), H(kProg), H(kEa)};
const std::vector<Level51> kRunLow{L(kRst), L(kPsen), H(kProg), H(kEa)};
// The mode pins P2.6, P2.7, P3.6, P3.7: read code, program code, read the signature.
const std::vector<Level51> kReadCode{L(kP26), L(kP27), H(kP36), H(kP37)};
const std::vector<Level51> kProgramCode{L(kP26), H(kP27), H(kP36), H(kP37)};
const std::vector<Level51> kSignature{L(kP26), L(kP27), L(kP36), L(kP37)};
// The lock bits on the same pins.
const std::vector<Level51> kNoWrite{H(kP26), H(kP27), H(kP36), H(kP37)};
const std::vector<Level51> kNoRead{H(kP26), H(kP27), L(kP36), L(kP37)};
const std::vector<Level51> kNoExt{H(kP26), L(kP27), H(kP36), L(kP37)};

using F = Eprom51Form;
const Step51 kClockOptions = OptionPins({H(kXtal2), H(kXtal1)});
const Step51 kP34OptionOff = OptionPins({L(kP34)});
const Step51 kReadPins = Pins({kRun, kReadCode, {H(kP31), L(kP33)}});
const Step51 kRunLowReadPins = Pins({kRunLow, {L(kP26), H(kP36), H(kP37), H(kP27)}});
const Step51 kLockSelect = Pins({H(kP31), H(kP33)});
const Step51 ClockXtal1{Clock, kXtal1}, AllPinsLow{AllPins, 0}, WriteLatch34{Latch3, 0x34};
// L P2.7, P0 sampled into the reply (0x22), H P2.7.
const Steps51 kStrobe{Pins({L(kP27)}), Sample, Pins({H(kP27)})};
const Step51 Strobe{kStrobe};
// PROG pulses: low, wait 25 (none in the bare ones), high.
const Steps51 kProgPulse{Pins({L(kProg)}), WaitPulse, Pins({H(kProg)})}, kBarePulse{Pins({L(kProg), H(kProg)})};
Step51 Pulses(int n) { return Step51(kProgPulse, n); }
Step51 BarePulses(int n) { return Step51(kBarePulse, n); }
// The pre-check: ground and VCC, RST pulsed, the clock pins' pair check.
const Steps51 kPreCheck{Ground, VccOn, Pins({H(kRst), L(kRst)}), PairCheck};

// The PHI8758's 6-clock cell (after its lock pulse's first steps), its read,
// the PHI87591's security read and the DS87C520's watchdog byte.
const Steps51 kSixClockCell{Pins({L(kP26), L(kP27), L(kP36), H(kP37), L(kP33), H(kP31)}), At(0), Flush, VppOn,
                            WaitSettle, Pulses(5), Flush, Off};
const Steps51 kReadClockCell{Contact40, PowerUp, ReadMode, Pins({kRun, {L(kP26), L(kP27), H(kP36), L(kP37), H(kP33)}}),
                             At(0), ReadBlock, Off};
const Steps51 kSecurityRead{PowerUp, ReadMode, At(0xFFFF), Say("Read cfg bit."),
                            Pins({L(kRst), H(kProg), H(kEa), L(kP26), L(kP27), L(kP36), H(kP37)}), VccOn,
                            Pins({H(kP31), L(kP33), L(kPsen)}), At(0), Strobe, ReadReply,
                            // The second reply has no capture queued since the first: all zero.
                            ReadReply, Off};
const Steps51 kWatchdogByte{Contact, PowerUp, ResetMode, Pins({L(kP26), H(kP27), L(kP36), L(kP37), H(kP33)}), VppOn,
                            At(0xFC), {PutData, 0xF7}, Pulses(25), Off};

const std::vector<EpromButton51> kFourBoxes{
    {"CheckBox1", "Blank?", &F::BlankClick}, {"CheckBox2", "Write ", &F::WriteClick},
    {"CheckBox3", "Vrfy", &F::VerifyClick}, {"CheckBox4", "Lock ", &F::SecrityClick}};

}  // namespace

const Eprom51Row kPhi875xRow{
    .Caption = "87c5x",
    .Buttons = {{"Blank", "Blank?  ", &F::BlankClick}, {"Write", "Write ", &F::WriteClick},
                {"Verify", "Vrfy.", &F::VerifyClick}, {"Secrity", "Lock  ", &F::SecrityClick},
                {"Read1", "Read  ", &F::ReadRom}, {"ID", "MFG ID  ", &F::IDClick},
                {"Config", "Wr.CFG", &F::SixClockClick}, {"Button3", "Rd.CFG", &F::ReadClockClick}},
    .Boxes = {{"CheckBox1", "Blank?", &F::BlankClick}, {"CheckBox2", "Write ", &F::WriteClick},
              {"CheckBox3", "Vrfy", &F::VerifyClick}, {"CheckBox8", "Wr.CFG", &F::SixClockClick},
              {"CheckBox4", "Lock ", &F::SecrityClick}},
    .LockModeBoxes = true,
    .RadioCaption = "CFG ",
    .RadioItems = {"6  Clock(F.)", "12 Clock"},
    .RadioDefault = 1,
    .SixClock = true,
    // Row 13 (87C51RD+, 64 KiB) ends at 0xFFFF.
    .Parts = {{"Exit", 0, 0},                      {"1: 8751", 0x0FFF, 1, 0, 0, 5},
              {"2: 87C51", 0x0FFF, 1, 0, 0, 5},     {"3: 8752", 0x1FFF, 1, 0, 0, 5},
              {"4: 87C52", 0x1FFF, 1, 0, 0, 5},     {"5: 87C54", 0x3FFF, 1, 0, 0, 5},
              {"6: 87C58", 0x7FFF, 1, 0, 0, 5},     {"7: 87C51FA", 0x1FFF, 1, 0, 0, 5},
              {"8: 87C51FB", 0x3FFF, 1, 0, 0, 5},   {"9: 87C51FC", 0x7FFF, 1, 0, 0, 5},
              {"10: 87C51RA+", 0x1FFF, 1, 0, 0, 5}, {"11: 87C51RB+", 0x3FFF, 1, 0, 0, 5},
              {"12: 87C51RC+", 0x7FFF, 1, 0, 0, 5}, {"13: 87C51RD+", 0xFFFF, 1, 0, 0, 5},
              {"14: 97C51", 0x0FFF, 1, 0, 0, 25},   {"15: 97C52", 0x1FFF, 1, 0, 0, 25},
              {"16: 97C54", 0x3FFF, 1, 0, 0, 25},   {"17: 97C58", 0x7FFF, 1, 0, 0, 25}},
    .VccFromLine = true,
    .SizeCaption = true,
    .Levels = {{VppLevel, 12500}, VccLevel, Ground},
    .PowerUp = {kClockOptions, VccOff, VccOn, ClockXtal1, Pins({kRun, kReadCode}), Flush},
    .PreCheck = kPreCheck,
    .LockBefore = {PowerUp, VccOn, Pins(kRun), {PutData, 0xFF}, Flush},
    .LockAfter = {kLockSelect, At(0), Flush, VppOn, CheckCurrent, WaitSettle, Pulses(25), Flush, Off},
    .Read = {Contact, PreCheck, PowerUp, ReadMode, Say("Read."), kReadPins, ReadMode, At(0), Flush, CheckCurrent},
    .Blank = {Contact, PreCheck, IdCheck, Say("Blank CHK"), PowerUp, ReadMode, kReadPins, ReadMode, At(0), ClearError,
              Flush, VppOn, CheckCurrent},
    .Verify = {Contact, NeedFileFirst, Say("Verify."), PreCheck, PowerUp, ReadMode, kReadPins, ReadMode, At(0), Flush,
               CheckCurrent},
    .Write = {Contact, NeedFile, PreCheck, IdCheck, Say("Write"), ResetMode, PowerUp,
              Pins({kRun, kProgramCode, {H(kP31), H(kP33)}}), At(0), Flush, VppOn, CheckCurrent},
    .Id = {Contact, PowerUp, ReadMode, Pins({kRun, kSignature}), At(0), ReadBlock, Off},
    .Lock = {Contact, Say("Locking"), PreCheck},
    .BlankOffAgain = true,
};

const Eprom51Row kPhi87c591xRow{
    .Caption = "P87c591",
    .Buttons = {{"Blank", "Blank?  ", &F::BlankClick}, {"Write", "Write ", &F::WriteClick},
                {"Verify", "Vrfy.", &F::VerifyClick}, {"Secrity", "Lock  ", &F::SecrityClick},
                {"Read1", "Read  ", &F::ReadRom}, {"ID", "  ID    ", &F::IDClick},
                {"ReadID", "Lock Bit", &F::ReadSecurityClick}, {"CancelBtn", "Exit ", &F::CancelBtnClick}},
    .Boxes = kFourBoxes,
    .LockBoxUnticked = true,
    .LockModeBoxes = true,
    .Parts = {{"Exit", 0, 0}, {"1: 87c591", 0x3FFF, 1, 0, 0, 5}},
    .Levels = {{VppLevel, 12500}, VccLevel},
    .PowerUp = {kClockOptions, Ground, VccOff, VccOn, ClockXtal1, kRunLowReadPins, Flush},
    .PreCheck = {Ground, VccOn, Pins({H(kRst), L(kRst)}), {PairCheck, 1}},  // a failed pair check ends it
    .Reads64 = true,
    .IdAt = {0, 1, 2},
    .LockBefore = {PowerUp, VccOn, Pins(kRunLow), {PutData, 0xFF}},
    .LockAfter = {kLockSelect, At(0), Flush, VppOn, Pulses(25), VppOff},
    .Read = {Contact, PreCheck, PowerUp, ReadMode, Say("Reading data ........"), kRunLowReadPins, Flush, ReadMode,
             CheckCurrent},
    .Blank = {Contact, PreCheck, IdCheck, PowerUp, ReadMode, kP34OptionOff, kRunLowReadPins, Flush, ReadMode,
              CheckCurrent},
    .Verify = {NeedFileFirst, Say("Verifying data........."), Contact, PreCheck, PowerUp, ReadMode, kP34OptionOff,
               kRunLowReadPins, Flush, ReadMode, CheckCurrent},
    .Write = {NeedFile, Contact, PreCheck, IdCheck, Say("Writing.."), WriteLatch34, ResetMode, PowerUp, kRunLowReadPins,
              Flush, VppOn, CheckCurrent},
    .Id = {PowerUp, ReadMode, Pins({kRunLow, {H(kP27), L(kP26), L(kP36), L(kP37)}}), At(0x30), Strobe, NextAddress,
           Strobe, At(0x60), Strobe, ReadReply, Off},
    .Lock = {Say("Locking"), Contact, PreCheck},
};

const Eprom51Row kV87c58xRow{
    .Caption = "V87c54/8",
    .Buttons = {{"Read1", "Read  ", &F::ReadRom}, {"Write", "Write ", &F::WriteClick},
                {"Blank", "Blank?  ", &F::BlankClick}, {"Verify", "Verify  ", &F::VerifyClick},
                {"Secrity", "Lock  ", &F::SecrityClick}, {"CancelBtn", "Exit ", &F::CancelBtnClick},
                {"ID", "  ID   ", &F::IDClick}},
    .Boxes = kFourBoxes,
    .LockBoxUnticked = true,
    .Parts = {{"Exit", 0, 0}, {"1: 87C54", 0x3FFF, 1}, {"2: 87C58", 0x7FFF, 1}},
    .Levels = {Ground, {VppLevel, 4500}, VccLevel, {VppLevel, 12700}},
    .PowerUp = {kClockOptions, VccOff, Ground, VccOn, ClockXtal1, Pins({kRun, kReadCode, {L(kP33)}}), Flush},
    .PreCheck = {Ground, VccOn, Pins({H(kRst), L(kRst)}), Flush, PairCheck},
    .Reads64 = true,
    .IdAt = {1, 2, -1},
    .LockBefore = {PowerUp, {VppLevel, 12700}, VccOn, Pins(kRun)},
    .LockAfter = {kLockSelect, At(0), Flush, VppOn, CheckCurrent, BarePulses(25), Wait100ms, Flush, Off, Flush},
    // Every read starts with a priming read of address 0xFF (its reply dropped).
    .Read = {Contact40, PreCheck, PowerUp, Say("Reading.."), Pins({kRun, kReadCode, {L(kP33), H(kP27)}}), Flush,
             ReadMode, At(0xFF), Strobe, ReadReply, CheckCurrent},
    .Blank = {Contact40, PreCheck, IdCheck, PowerUp, CheckCurrent, ReadMode, kReadPins, Flush, ReadMode, At(0xFF),
              Strobe, ReadReply},
    .Verify = {NeedFileFirst, Say("Verifying......"), Contact40, PreCheck, PowerUp, ReadMode, kP34OptionOff,
               kReadPins, Flush, ReadMode, At(0xFF), Strobe, ReadReply, CheckCurrent},
    .Write = {NeedFile, Contact40, PreCheck, IdCheck, Say("Writing.."), WriteLatch34, ResetMode, PowerUp,
              {VppLevel, 12700}, Pins({kRun, kProgramCode, {H(kP31), L(kP33)}}), Flush, VppOn, CheckCurrent},
    .Id = {PowerUp, ReadMode, Pins({kRun, kSignature, {L(kP33), H(kP27)}}), At(0xFF), Strobe, At(0x30), Strobe,
           NextAddress, Strobe, ReadReply, Off, Flush},
    .Lock = {Contact40, Say("Locking"), PreCheck},
    .LockKind = LockBits51::NoWrite,
    .LockDone = "end",
    .BatchDip = true,
};

const Eprom51Row kDs87c520xRow{
    .Caption = "DS87c520",
    .Buttons = {{"Read1", "Read  ", &F::ReadRom}, {"Write", "Write.", &F::WriteClick},
                {"Blank", "Blank?  ", &F::BlankClick}, {"Verify", "Vrfy", &F::VerifyClick},
                {"Secrity", "Lock ", &F::SecrityClick}, {"Config", "Wr.CFG ", &F::WatchdogClick},
                {"Button2", "Rd.CFG ", &F::IDClick}, {"ID", "MFG ID  ", &F::IDClick}},
    .Boxes = {{"CheckBla", "Blank?  ", &F::BlankClick}, {"CheckWri", "Write.", &F::WriteClick},
              {"CheckVer", "Vrfy", &F::VerifyClick}, {"CheckSec", "Lock", &F::SecrityClick},
              {"CheckCon", "Wr.CFG ", &F::WatchdogClick}},
    .BatchOrder = {0, 1, 4, 2, 3},  // CheckBla, CheckWri, CheckCon, CheckVer, CheckSec
    .WatchdogBox = true,
    .RadioCaption = "LockMode",
    .RadioItems = {"1.NoLock", "2.防止外部MOVC", "3.加No R  (Lock)", "4.No external code"},
    .RadioDefault = 2,
    .Parts = {{"Exit", 0, 0}, {"1: DS87C520 16Kx8", 0x3FFF, 1}},
    .P51Designs = true,
    .Levels = {Ground, {VppLevel, 12500}, VccLevel},
    .PowerUp = {VccOff, Ground, AllPinsLow, OptionPins({H(kXtal2)}), ClockXtal1, Wait100ms, ReadMode, VccOn,
                Pins({kSignature, {H(kRst), L(kPsen), H(kEa)}}), At(0), Pins({H(kProg)}), Flush},
    .Check = {3, false, false, "Type不OK..，继续吗?", "Type不OK..，继续吗?", false},
    .IdWatchdog = true,
    .LockAfter = {Pins({H(kP33)}), {PutData, 0xFF}, Pulses(25), Off},
    .Read = {Contact, IdCheck, Say("Reading.........."), PowerUp, Pins({kReadCode, {L(kP33), H(kEa), H(kProg)}}), Flush,
             CheckCurrent, ReadMode},
    .Blank = {Contact, Say("Blank CHK"), PowerUp, ReadMode, kP34OptionOff, Pins({kReadCode, {L(kP33), H(kProg)}}),
              Flush, CheckCurrent},
    .Verify = {Contact, Say("Verify."), PowerUp, ReadMode, kP34OptionOff,
               Pins({kReadCode, {L(kP33), H(kProg), H(kEa)}}), Flush, CheckCurrent},
    // Without a buffer window there is nothing to program into this OTP part.
    .Write = {Contact, IdCheck, NeedFile, Say("Write"), PowerUp, ResetMode, Pins({kProgramCode, {H(kP33)}}), Flush,
              VppOn, CheckCurrent},
    .Id = {Contact, Say("Detect MFG and ID ....."), PowerUp, Pins(kSignature), At(0), Pins({L(kP33)}), Flush,
           ReadBlock, Off},
    // The lock bits program at 12.75 V like the code: VPP is routed as Write and
    // Wr.CFG route it (without it the pulses would do nothing).
    .Lock = {Contact, PowerUp, ResetMode, Pins({H(kEa)}), VppOn, CheckCurrent},
    .VerifyFault = {VccOff},
    .LockKind = LockBits51::Radio,
};

// ---- the window and setup -------------------------------------------------------------------

Eprom51Form::Eprom51Form(Workbench& w, const Eprom51Row& row)
    : Steps51Form(w, row.Caption, {21, 22, 23, 24, 25, 26, kP34, 15}), k_(row) {
    DeclareStatus();
    DeclareButtons51(this, k_.Buttons);
    DeclareBatch(this, k_.Boxes, " Run  ", &F::Button1Click);
    if (k_.LockBoxUnticked) Get("CheckBox4").Checked = false;
    if (k_.LockModeBoxes) {
        AddGroup("GroupBox2", "LockMode");
        AddCheck("CheckBox5", "No write  ", true, "GroupBox2");
        AddCheck("CheckBox6", "No R  （Lock）", true, "GroupBox2");
        AddCheck("CheckBox7", "No ext code ", true, "GroupBox2");
    }
    if (k_.WatchdogBox) {
        AddGroup("GroupBox3", "CFG ");
        AddCheck("CheckBox4", "Enable Watchdog", false, "GroupBox3");
    }
    if (k_.RadioCaption) AddRadio("RadioGroup1", k_.RadioCaption, k_.RadioItems, k_.RadioDefault);
    FillVariantTable();
}

void Eprom51Form::FillVariantTable() { Table = k_.Parts; }

void Eprom51Form::SetupForDevice() {
    FillVariantTable();
    // VCC from vcc= (5000 mV when absent or <= 0); a level outside the parts'
    // 4.5-5.5 V is refused before anything reaches the programmer.
    const int vcc = k_.VccFromLine ? wb.sel.GetParam("vcc=") : 0;
    VccMv51 = vcc > 0 ? vcc : 5000;
    LineError.clear();
    if (VccMv51 < kVccOkMin || VccMv51 > kVccOkMax)
        LineError = "Bad device line: vcc=" + std::to_string(VccMv51) + " of PHI8758 (4500 to 5500)";
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(k_.P51Designs ? ChoosePackage(wb.sel.TypeText, kP51Dip40, kP51Plcc44) : ChoosePackage(wb.sel.TypeText));
    SetupShow();
    if (!k_.P51Designs) Put(kType, wb.sel.SelectedDevice);
    const Mcs51Row& r = *SelectedRow();
    if (k_.SizeCaption) SetCaption(FormatText("51 MPU 0 to %x", static_cast<unsigned>(r.LastAddress)));
    ShowRowRange(r);
    AlgoForm::Show();
    if (k_.LockModeBoxes) SetEnabled("CheckBox7", r.Family == 5);
    if (k_.SixClock) {
        const bool clk6 = wb.sel.GetParam("clk=") == 6;
        SetVisible("RadioGroup1", clk6);
        SetEnabled("CheckBox8", clk6);
    }
    if (Ep3.Connected) Run(k_.Levels);
}

// ---- the steps and routines -------------------------------------------------------------------

void Eprom51Form::ProgramByte51(std::uint8_t b, int pulses) {
    Ep3.UsbPut2(OpPutData51, b);
    for (int i = 0; i < pulses; ++i) Run(kProgPulse);
}

bool Eprom51Form::LockBitPulse51(const std::vector<Level51>& bit) {
    if (!Run(k_.LockBefore)) return false;
    SetPins(bit);
    return Run(k_.LockAfter);
}

int Eprom51Form::CheckDeviceId() {
    return CheckDeviceIdWith(k_.Check, [this] { IDClick(); });
}

void Eprom51Form::OffEnd() {
    SuppliesOff();
    if (k_.Reads64) Flush();
}

bool Eprom51Form::ForEachChunk(const Mcs51Row& r, const std::function<bool(std::int32_t)>& chunk) {
    const std::int32_t end = EndAddr();
    for (std::int32_t a = 0; a < r.LastAddress && a <= end; a += k_.Reads64 ? 64 : kBlock) {
        ShowProgress(a);
        if (!chunk(a)) return false;
    }
    return true;
}

void Eprom51Form::ReadChunk(std::int32_t a, std::uint8_t* dest) {
    SetAddress51(a);
    if (!k_.Reads64) return ReadBlock(dest);
    for (int i = 0; i < 64; ++i) {
        Run(kStrobe);
        NextAddress51();
    }
    Ep3.UsbReadReply(dest);
}

bool Eprom51Form::CheckChunks(const Mcs51Row& r, const CheckPass51& pass, const std::function<void()>& faultOff) {
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const bool good = ForEachChunk(r, [&](std::int32_t a) {
        ReadChunk(a, buf);
        return BlockChecked51(pass, a, buf, faultOff, k_.Reads64 ? 64 : kBlock);
    });
    if (good) PassEnd51(pass, r.LastAddress, [this] { OffEnd(); });
    return good;
}

// ---- the operations ---------------------------------------------------------------------------

void Eprom51Form::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Run(k_.Read)) return;
    ForEachChunk(r, [this](std::int32_t a) {
        ReadChunk(a, Image(a));
        return true;
    });
    ReadEnd51(r.LastAddress, "OK", [this] { OffEnd(); });
}

void Eprom51Form::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Run(k_.Blank)) return;
    if (CheckChunks(r, k_.Reads64 ? kBlank64Pass : kBlankPass51, [this] { OffEnd(); }) && k_.BlankOffAgain)
        SuppliesOff();
}

void Eprom51Form::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Run(k_.Verify)) return;
    CheckChunks(r, kVerifyPass51, [this] { k_.VerifyFault.empty() ? OffEnd() : void(Run(k_.VerifyFault)); });
}

void Eprom51Form::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Run(k_.Write)) return;
    const int pulses = r.Family == 25 ? 25 : 5;
    PageLoop51(r, [this, pulses](std::uint8_t v) { ProgramByte51(v, pulses); });
    ShowProgress(r.LastAddress);
    OffEnd();
    Success("OK");
}

void Eprom51Form::IDClick() {
    Row();
    if (!Run(k_.Id)) return;
    auto& id = LastReadId();
    const auto& reply = Ep3.UsbReplyBuf;
    for (std::size_t i = 0; i < 3; ++i)
        id[i] = k_.IdAt[i] < 0 ? 0 : reply[static_cast<std::size_t>(k_.IdAt[i])];
    std::string text = Hex2(id[0]) + "," + Hex2(id[1]);
    if (k_.IdAt[2] >= 0) text += "," + Hex2(id[2]);
    Status(k_.IdWatchdog ? "ID= " + text + ",  Watchdog=" + Hex2(reply[0xFC]) : text);
}

void Eprom51Form::SecrityClick() {
    Row();
    if (Run(k_.Lock) && LockBits()) Success(k_.LockDone);
}

bool Eprom51Form::LockBits() {
    if (k_.LockKind == LockBits51::NoWrite) return LockBitPulse51(kNoWrite);
    if (k_.LockKind == LockBits51::Radio) {
        const int m = ItemIndex("RadioGroup1");
        return LockBitPulse51(m == 1 ? kNoWrite : m == 2 ? kNoRead : m == 3 ? kNoExt : std::vector<Level51>{});
    }
    // Third, second, first bit. A disabled "No ext code " (the 97C rows) is not
    // ticked: the third bit is never burnt there. The first over-current ends Lock.
    if (ExpectedId()[0] == 0x15) {
        if (!Ticked("CheckBox7")) wb.prompts.ShowMsg("No setting for \"No ext code\", may not run...");
        else if (!LockBitPulse51(kNoExt)) return false;
    }
    return (!Checked("CheckBox6") || LockBitPulse51(kNoRead)) && (!Checked("CheckBox5") || LockBitPulse51(kNoWrite));
}

void Eprom51Form::Button1Click() {
    Row();
    std::vector<BatchStep> steps;
    for (std::size_t i = 0; i < k_.Boxes.size(); ++i) {
        const EpromButton51& b = k_.Boxes[k_.BatchOrder.empty() ? i : k_.BatchOrder[i]];
        steps.push_back({b.Name, Bind51(this, b.Click)});
    }
    k_.BatchDip ? RunBatchDip51(steps) : RunBatch51(steps);
}

// ---- the forms' own buttons -------------------------------------------------------------------

void Eprom51Form::SixClockClick() {
    Row();
    // Nothing while the CFG group is hidden or disabled (a device without the
    // 6-clock option), whatever choice it keeps from an earlier device.
    const FormControl& g = Get("RadioGroup1");
    if (!g.Visible || !g.Enabled || ItemIndex("RadioGroup1") != 0) return Status("");
    Run(k_.LockBefore);
    Run(kSixClockCell);
    Success("Config 6 Clock OK");
}

void Eprom51Form::ReadClockClick() {
    Row();
    if (!Get("RadioGroup1").Visible) return Status("");
    if (!Run(kReadClockCell)) return;
    const unsigned c = Ep3.UsbReplyBuf[0];
    Status(FormatText((c & 0x10) ? "12 Clock(%02x)" : "6 Clock(%02x)", c));
}

std::uint8_t Eprom51Form::SecurityValue(std::uint8_t b0, std::uint8_t b1) {
    unsigned v = 0;
    for (int j = 0; j <= 5; ++j)
        if ((b1 >> j) & 1u) v |= 1u << (5 - j);
    if (b0 & 0x80) v |= 0x40;
    if (b0 & 0x40) v |= 0x80;
    return static_cast<std::uint8_t>(v);
}

void Eprom51Form::ReadSecurityClick() {
    Row();
    Run(kSecurityRead);
    Status(FormatText("Secrity=%02x", SecurityValue(Ep3.UsbReplyBuf[0], Ep3.UsbReplyBuf[1])));
}

void Eprom51Form::WatchdogClick() {
    Row();
    if (!Checked("CheckBox4")) return Status("Disable Watchdog!");
    if (Run(kWatchdogByte)) Success("Enabled Watchdog");
}

QUILLA_FORM(TPhi875x);
QUILLA_FORM(TPhi87c591x);
QUILLA_FORM(TV87c58x);
QUILLA_FORM(TDs87c520x);

}  // namespace quilla
