#include "algo/mcs51/eprom51.h"

#include <algorithm>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using enum Do51;
using namespace steps51;
using win::Box, win::Group, win::PushButton, win::Radio;

namespace {

constexpr int kRst = 9, kP31 = 11, kP33 = 13, kP34 = 14, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;
constexpr int kVccOkMin = 4500, kVccOkMax = 5500;  // the parts' programming VCC

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
// The pre-check: ground and VCC, RST pulsed, the clock pins' pair check (which
// sends nothing).
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

// The window pieces: the batch of the 87C591 and V87C58 forms (Lock unticked)
// and the LockMode group.
ControlRows FourBoxBatch() {
    return Unticked51(
        BatchRows51({{"CheckBox1", "Blank?"}, {"CheckBox2", "Write "}, {"CheckBox3", "Vrfy"}, {"CheckBox4", "Lock "}}),
        "CheckBox4");
}
const Handlers<F> kFourBoxSteps{{"CheckBox1", &F::BlankClick},
                                {"CheckBox2", &F::WriteClick},
                                {"CheckBox3", &F::VerifyClick},
                                {"CheckBox4", &F::SecrityClick}};
ControlRows LockModeBoxes() {
    return {Group({"GroupBox2", "LockMode"}), Box({"CheckBox5", "No write  "}, true, "GroupBox2"),
            Box({"CheckBox6", "No R  （Lock）"}, true, "GroupBox2"),
            Box({"CheckBox7", "No ext code "}, true, "GroupBox2")};
}
// A one-time part of `pulses` PROG pulses per byte.
Mcs51Row Otp(const char* name, std::int32_t last, int pulses = 0) {
    return {.Name = name, .LastAddress = last, .Otp = 1, .Family = pulses};
}

}  // namespace

const Eprom51Profile kPhi875xProfile{
    .Caption = "87c5x",
    .Window = win::Join({{PushButton({"Blank", "Blank?  "}), PushButton({"Write", "Write "}),
                     PushButton({"Verify", "Vrfy."}), PushButton({"Secrity", "Lock  "}),
                     PushButton({"Read1", "Read  "}), PushButton({"ID", "MFG ID  "}), PushButton({"Config", "Wr.CFG"}),
                     PushButton({"Button3", "Rd.CFG"})},
                    BatchRows51({{"CheckBox1", "Blank?"}, {"CheckBox2", "Write "}, {"CheckBox3", "Vrfy"},
                                 {"CheckBox8", "Wr.CFG"}, {"CheckBox4", "Lock "}}),
                    LockModeBoxes(),
                    {Radio({"RadioGroup1", "CFG "}, {"6  Clock(F.)", "12 Clock"}, 1)}}),
    .Own = {{"Config", &F::SixClockClick}, {"Button3", &F::ReadClockClick}},
    .Batch = {{"CheckBox1", &F::BlankClick}, {"CheckBox2", &F::WriteClick}, {"CheckBox3", &F::VerifyClick},
              {"CheckBox8", &F::SixClockClick}, {"CheckBox4", &F::SecrityClick}},
    .SixClock = true,
    // Row 13 (87C51RD+, 64 KiB) ends at 0xFFFF.
    .Parts = {{"Exit", 0},
              Otp("1: 8751", 0x0FFF, 5),       Otp("2: 87C51", 0x0FFF, 5),     Otp("3: 8752", 0x1FFF, 5),
              Otp("4: 87C52", 0x1FFF, 5),      Otp("5: 87C54", 0x3FFF, 5),     Otp("6: 87C58", 0x7FFF, 5),
              Otp("7: 87C51FA", 0x1FFF, 5),    Otp("8: 87C51FB", 0x3FFF, 5),   Otp("9: 87C51FC", 0x7FFF, 5),
              Otp("10: 87C51RA+", 0x1FFF, 5),  Otp("11: 87C51RB+", 0x3FFF, 5), Otp("12: 87C51RC+", 0x7FFF, 5),
              Otp("13: 87C51RD+", 0xFFFF, 5),  Otp("14: 97C51", 0x0FFF, 25),   Otp("15: 97C52", 0x1FFF, 25),
              Otp("16: 97C54", 0x3FFF, 25),    Otp("17: 97C58", 0x7FFF, 25)},
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

const Eprom51Profile kPhi87c591xProfile{
    .Caption = "P87c591",
    .Window = win::Join({{PushButton({"Blank", "Blank?  "}), PushButton({"Write", "Write "}),
                     PushButton({"Verify", "Vrfy."}), PushButton({"Secrity", "Lock  "}),
                     PushButton({"Read1", "Read  "}), PushButton({"ID", "  ID    "}),
                     PushButton({"ReadID", "Lock Bit"}), PushButton({"CancelBtn", "Exit "})},
                    FourBoxBatch(), LockModeBoxes()}),
    .Own = {{"ReadID", &F::ReadSecurityClick}},
    .Batch = kFourBoxSteps,
    .Parts = {{"Exit", 0}, Otp("1: 87c591", 0x3FFF, 5)},
    .Levels = {{VppLevel, 12500}, VccLevel},
    .PowerUp = {kClockOptions, Ground, VccOff, VccOn, ClockXtal1, kRunLowReadPins, Flush},
    .PreCheck = {Ground, VccOn, Pins({H(kRst), L(kRst)}), PairCheck},
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

const Eprom51Profile kV87c58xProfile{
    .Caption = "V87c54/8",
    .Window = win::Join({{PushButton({"Read1", "Read  "}), PushButton({"Write", "Write "}),
                     PushButton({"Blank", "Blank?  "}), PushButton({"Verify", "Verify  "}),
                     PushButton({"Secrity", "Lock  "}), PushButton({"CancelBtn", "Exit "}),
                     PushButton({"ID", "  ID   "})},
                    FourBoxBatch()}),
    .Batch = kFourBoxSteps,
    .Parts = {{"Exit", 0}, Otp("1: 87C54", 0x3FFF), Otp("2: 87C58", 0x7FFF)},
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

const Eprom51Profile kDs87c520xProfile{
    .Caption = "DS87c520",
    .Window = win::Join({{PushButton({"Read1", "Read  "}), PushButton({"Write", "Write."}),
                     PushButton({"Blank", "Blank?  "}), PushButton({"Verify", "Vrfy"}),
                     PushButton({"Secrity", "Lock "}), PushButton({"Config", "Wr.CFG "}),
                     PushButton({"Button2", "Rd.CFG "}), PushButton({"ID", "MFG ID  "})},
                    BatchRows51({{"CheckBla", "Blank?  "}, {"CheckWri", "Write."}, {"CheckVer", "Vrfy"},
                                 {"CheckSec", "Lock"}, {"CheckCon", "Wr.CFG "}}),
                    {Group({"GroupBox3", "CFG "}), Box({"CheckBox4", "Enable Watchdog"}, false, "GroupBox3"),
                     Radio({"RadioGroup1", "LockMode"},
                           {"1.NoLock", "2.防止外部MOVC", "3.加No R  (Lock)", "4.No external code"}, 2)}}),
    .Own = {{"Config", &F::WatchdogClick}, {"Button2", &F::IDClick}},
    // The configuration byte before Verify.
    .Batch = {{"CheckBla", &F::BlankClick}, {"CheckWri", &F::WriteClick}, {"CheckCon", &F::WatchdogClick},
              {"CheckVer", &F::VerifyClick}, {"CheckSec", &F::SecrityClick}},
    .Parts = {{"Exit", 0}, Otp("1: DS87C520 16Kx8", 0x3FFF)},
    .P51Designs = true,
    .Levels = {Ground, {VppLevel, 12500}, VccLevel},
    .PowerUp = {VccOff, Ground, AllPinsLow, OptionPins({H(kXtal2)}), ClockXtal1, Wait100ms, ReadMode, VccOn,
                Pins({kSignature, {H(kRst), L(kPsen), H(kEa)}}), At(0), Pins({H(kProg)}), Flush},
    .Check = {.Bytes = 3,
              .ClearsErrorFlag = false,
              .LockedFirst = false,
              .LockedQuestion = "Type不OK..，继续吗?",
              .WrongQuestion = "Type不OK..，继续吗?",
              .WrongNoSetsError = false},
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

Eprom51Form::Eprom51Form(Workbench& w, const Eprom51Profile& row)
    : Steps51Form(w, row.Caption, {21, 22, 23, 24, 25, 26, kP34, 15}), k_(row) {
    DeclareControls(win::Join({StatusRows51(), k_.Window}), this, Handlers51(k_.Own));
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
    UsePackage(k_.P51Designs ? ChoosePackage(wb.sel.TypeText, P51Dip40Package, P51Plcc44Package)
                             : ChoosePackage(wb.sel.TypeText));
    SetupShow();
    if (!k_.P51Designs) Put(kType, wb.sel.SelectedDevice);
    const Mcs51Row& r = *SelectedRow();
    if (k_.SizeCaption) SetCaption(FormatText("51 MPU 0 to %x", static_cast<unsigned>(r.LastAddress)));
    ShowRowRange(r);
    AlgoForm::Show();
    if (Has("CheckBox7")) SetEnabled("CheckBox7", r.Family == 5);
    if (k_.SixClock) {
        const bool clk6 = wb.sel.GetParam("clk=") == 6;
        SetVisible("RadioGroup1", clk6);
        SetEnabled("CheckBox8", clk6);
    }
    if (Ep3.Connected) Run(k_.Levels);
}

// ---- the steps and routines -------------------------------------------------------------------

void Eprom51Form::ProgramByte51(std::uint8_t b) {
    Ep3.UsbPut2(OpPutData51, b);
    for (int i = 0, pulses = Row().Family == 25 ? 25 : 5; i < pulses; ++i) Run(kProgPulse);
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

void Eprom51Form::ReadUnit51(std::uint8_t* dest) {
    if (!k_.Reads64) return ReadBlock(dest);
    for (int i = 0; i < kGroup51; ++i) {
        Run(kStrobe);
        NextAddress51();
    }
    Ep3.UsbReadReply(dest);
}

// ---- the operations ---------------------------------------------------------------------------

void Eprom51Form::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Run(k_.Read)) return;
    ReadImage51(r);
    ReadEnd51(r.LastAddress, "OK", [this] { OffEnd(); });
}

void Eprom51Form::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Run(k_.Blank)) return;
    const auto off = [this] { OffEnd(); };
    if (CheckBlocks51(r, k_.Reads64 ? kBlank64Pass : kBlankPass51, off, off) && k_.BlankOffAgain) SuppliesOff();
}

void Eprom51Form::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Run(k_.Verify)) return;
    CheckBlocks51(
        r, kVerifyPass51, [this] { k_.VerifyFault.empty() ? OffEnd() : void(Run(k_.VerifyFault)); },
        [this] { OffEnd(); });
}

void Eprom51Form::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Run(k_.Write)) return;
    PageLoop51(r);
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
    const auto steps = BatchSteps(this, k_.Batch);
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
