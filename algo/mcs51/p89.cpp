#include "algo/mcs51/p89.h"

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using namespace steps51;
using enum Do51;

// ---- the flow ------------------------------------------------------------------------------------

Flash51Form::Flash51Form(Workbench& w, const Flash51Profile& row)
    : Flow51Form(w, row.Caption, row.HighPins, row.ModePins, row.Pulse), Flow(row) {
    using F = Flash51Form;
    DeclareControls(Flow.Window, this,
                    Handlers51<F>({{"Config", &F::ConfigClick}, {"Init", &F::InitClick},
                                   {"Button2", &F::ConfigReadClick}}));
    FillVariantTable();
}

void Flash51Form::SetupForDevice() {
    if (!SetupRowOk()) return;
    if (Flow.ResetPins) Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText, *Flow.Dip, *Flow.Plcc));
    SetupShow();
    FillVariantTable();
    const Mcs51Row& r = *SelectedRow();
    ShowRowRange(r);
    if (Flow.ShowAgain) AlgoForm::Show();
    if (Flow.ConfigFromVariant) {
        const bool cfg = wb.sel.VariantIndex >= Flow.ConfigFromVariant;
        SetEnabled("Config", cfg);
        SetEnabled("CheckCon", cfg);
        PutChecked("CheckCon", cfg);
    }
    if (Flow.ClockBoxByFamily) SetEnabled("CheckBox4", r.Family == 1);
    if (Ep3.Connected) Run(Flow.Setup);
}

int Flash51Form::CheckDeviceId() {
    const IdCheck51 c{3, false, false, "Maybe locked, or no chip...\n OK ? ", "Wrong type, OK ??", false};
    // Family 2: a part whose third signature byte reads 0xF8 or 0xFE.
    if (Row().Family != 2) return CheckDeviceIdWith(c, [this] { IDClick(); });
    IDClick();
    const auto& r = LastReadId();
    const auto& s = ExpectedId();
    if (s[0] != 0 && r[0] == s[0] && r[1] == s[1] && (r[2] == 0xF8 || r[2] == 0xFE)) {
        Status(FormatText("R=(%02x,%02x,%02x)  S=(%02x,%02x,%02x)", r[0], r[1], r[2], s[0], s[1], s[2]));
        return 1;
    }
    return CheckDeviceIdWith(c, [] {});
}

bool Flash51Form::HexEdit(const char* edit, const char* label, std::uint8_t& out) {
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

void Flash51Form::ReadCells(const CellRead51& c) {
    if (!Run(c.Setting)) return;
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    std::array<unsigned, 7> v{};
    if (c.At.empty()) ReadBlock(buf);
    for (std::size_t i = 0; i < c.Offsets.size(); ++i) {
        if (i < c.At.size()) {
            StepAddress51(c.At[i]);
            ReadBlock(buf);
        }
        v[i] = buf[c.Offsets[i]];
    }
    if (c.SetsId)
        for (std::size_t i = 0; i < 3; ++i) LastReadId()[i] = static_cast<std::uint8_t>(v[i]);
    Run(c.After);
    if (c.Done) Success(c.Done);
    Status(FormatText(c.Text, v[0], v[1], v[2], v[3], v[4], v[5], v[6]));
}

// ---- the handlers -------------------------------------------------------------------------------

void Flash51Form::ReadRom() {
    const Mcs51Row& r = Row();
    if (Run(Flow.Read)) ReadRest51(r, {Off});
}

void Flash51Form::BlankClick() {
    const Mcs51Row& r = Row();
    if (Run(Flow.Blank)) BlankBlocks51(r, [this] { SuppliesOff(); });
}

void Flash51Form::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Run(Flow.Verify)) return;
    const auto off = [this] { SuppliesOff(); };
    if (Flow.VerifyFaultVccOnly) CheckBlocks51(r, kVerifyPass51, [this] { Ep3.VccPin(0); }, off);
    else CheckBlocks51(r, kVerifyPass51, off, off);
}

void Flash51Form::WriteClick() {
    const Mcs51Row& r = Row();
    if (Run(Flow.Write)) WriteRest51(r, Flow.WriteEnd);
}

void Flash51Form::EraseClick() {
    Row();
    RunOp(Flow.Erase, Flow.EraseDone);
}

void Flash51Form::InitClick() {
    Row();
    RunOp(Flow.Init, "OK");
}

void Flash51Form::SecrityClick() {
    Row();
    if (!Run(Flow.Lock)) return;
    for (int k = 0; k < 3; ++k)
        if (Checked("CheckBox" + std::to_string(k + 1))) Run(Flow.LockBox, {}, k);
    if (!Flow.LockClock.empty() && Ticked("CheckBox4")) Run(Flow.LockClock);
    Run(Flow.LockEnd);
    Success("OK");
}

void Flash51Form::ConfigClick() {
    Row();
    // Both edits are read first: one without a leading hexadecimal digit
    // refuses Wr.CFG, nothing sent.
    std::uint8_t status = 0, boot = 0;
    if (!HexEdit("Edit1", "Status", status) || !HexEdit("Edit2", "Boot Ver", boot)) return;
    if (!Run(Flow.Config, {status, boot})) return;
    if (!Flow.ConfigClock.empty() && Ticked("CheckBox4")) Run(Flow.ConfigClock);
    SuppliesOff();
    Success("OK");
}

void Flash51Form::ConfigReadClick() {
    Row();
    ReadCells(Flow.ConfigRead);
}

void Flash51Form::IDClick() {
    Row();
    ReadCells(Flow.Id);
}

void Flash51Form::Button1Click() {
    Row();
    RunBatch51(BatchSteps(this, Flow.Batch));
}

// ---- the Philips P89C51 rows ------------------------------------------------------------------------

namespace {

using F = Flash51Form;
using win::Box, win::Group, win::PushButton;

constexpr int kRst = 9, kP30 = 10, kP31 = 11, kP33 = 13, kP34 = 14, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;

// Mode steps give P2.6, P3.7, P3.1, P3.0 in this order.
const Steps51 kEraseStep = {H(kP27), L(kP33), L(kProg), Wait(OpWait100ms, 5), H(kProg), Wait(OpWait100ms, 5), H(kP33)};
const Steps51 kReadPins = {H(kProg), L(kP27), L(kP33)};
// The lock boxes (ticked) and the Status and Boot Ver edits, in `group`.
ControlRows LockBoxes(const char* group) {
    return {Box({"CheckBox1", "1:No W.(Lock)   "}, true, group), Box({"CheckBox2", "2:No R  (Lock)"}, true, group),
            Box({"CheckBox3", "3:No ext code "}, true, group)};
}
ControlRows CfgEdits(const char* group) {
    return {win::Edit({"Edit1", "Status:"}, "00", group), win::Edit({"Edit2", "Boot Ver:"}, "00", group)};
}
const char* const kDetect = "Detect MFG and ID .....";
const char* const kDetected = "Detected MFG and ID = %02x,%02x,%02x.";
// Status then Boot Ver at these addresses, the arguments of the script.
Steps51 StatusAndBoot(std::int32_t boot) { return {At(0), {ProgramArg, 0}, At(boot), {ProgramArg, 1}, Flush}; }

const Flash51Profile kPhi89c5x = [] {
    Flash51Profile f{.Caption = "Philip P89C51Uxx,P89c51Rx+", .HighPins = {21, 22, 23, 24, 25, 26, kP34, 15},
                 .ModePins = {kP26, kP37, kP31, kP30}};
    f.Parts = {{"Exit", 0},
               {"1: P89C51Uxx 4Kx8", 0x0FFF},   {"2: P89C52Uxx 8Kx8", 0x1FFF},   {"3: P89C54Uxx 16Kx8", 0x3FFF},
               {"4: P89C58Uxx 32Kx8", 0x7FFF},  {"5: P89C51RA+ 8Kx8", 0x1FFF},   {"6: P89C51RB+ 16Kx8", 0x3FFF},
               {"7: P89C51RC+ 32Kx8", 0x7FFF},  {"8: P89C51RD+ 64Kx8", 0xFFFF},  {"9: P89C51RA2 8Kx8", 0x1FFF},
               {"10:P89C51RB2 16Kx8", 0x3FFF},  {"11:P89C51RC2 32Kx8", 0x7FFF},  {"12:P89C51RD2 64Kx8", 0xFFFF}};
    f.Window = win::Join(
        {StatusRows51(""),
         {PushButton({"Init", "init  "}), PushButton({"Erase", "Erase"}), PushButton({"Blank", "Blank?  "}),
          PushButton({"Write", "Write."}), PushButton({"Verify", "Vrfy"}), PushButton({"Read1", "Read  "}),
          PushButton({"ID", "MFG ID  "}), PushButton({"CancelBtn", "Exit "}), Group({"GroupLock", "Lock"})},
         LockBoxes("GroupLock"),
         {PushButton({"Secrity", "Lock "}, "GroupLock"), Group({"GroupCfg", "CFG "})},
         CfgEdits("GroupCfg"),
         {PushButton({"Config", "Wr.CFG "}, "GroupCfg"), PushButton({"Button2", "Rd.CFG "}, "GroupCfg")},
         Unticked51(BatchRows51({{"initial", "init  "}, {"CheckEra", "Erase "}, {"CheckBla", "Blank?  "},
                                 {"CheckWri", "Write."}, {"CheckCon", "Wr.CFG "}, {"CheckVer", "Vrfy"},
                                 {"CheckSec", "Lock"}}),
                    "initial")});
    f.Batch = {{"initial", &F::InitClick},    {"CheckEra", &F::EraseClick},  {"CheckBla", &F::BlankClick},
               {"CheckWri", &F::WriteClick},  {"CheckCon", &F::ConfigClick}, {"CheckVer", &F::VerifyClick},
               {"CheckSec", &F::SecrityClick}};
    f.ConfigFromVariant = 5;
    f.Setup = {Ground, {VppLevel, 12000}, {VccLevel, 5000}};
    f.PowerUp = {VccOff, Ground, AllPins, Option(kXtal2, 1), {Clock, kXtal1}, Wait(OpWait100ms), ReadMode, VccOn,
                 Mode("0000"), H(kRst), L(kPsen), H(kEa), At(0), H(kProg), H(kP33), L(kP27), Flush};
    f.Pulse = {L(kProg), Wait(OpWaitShort, 2), H(kProg)};
    f.Read = {Contact, Say("Reading.........."), PowerUp, Mode("0000"), H(kEa), H(kProg), L(kP27), L(kP33), Flush,
              CheckCurrent, ReadMode};
    f.Blank = Join({{Contact, Say("Blank CHK"), PowerUp, ReadMode, Option(kP34, 0), Mode("0000")}, kReadPins,
                    {Flush, CheckCurrent}});
    f.Verify = Join({{Contact, Say("Verify."), PowerUp, ReadMode, Option(kP34, 0), Mode("0000")}, kReadPins,
                     {H(kEa), Flush, CheckCurrent}});
    f.VerifyFaultVccOnly = true;
    f.Write = {Contact, NeedFile, IdCheck, Say("Writing.."), PowerUp, ResetMode, Mode("0011"), Flush,
               H(kP27), L(kP33), Flush, VppOn, CheckCurrent};
    f.Erase = {Contact, Say("Erasing"), PowerUp, VppOn, CheckCurrent, At(0)};
    for (int n = 1; n <= 3; ++n) f.Erase = Join({f.Erase, {Mode("0001")}, kEraseStep, {Flush, Progress(n, 3)}});
    f.Erase.push_back(Off);
    f.Init =
        Join({{Contact, Say("Init....."), PowerUp, VppOn, CheckCurrent, At(0), Mode("1110")}, kEraseStep, {Off}});
    f.Lock = {Contact, Say("Locking"), PowerUp, H(kP27), L(kP33), VppOn, CheckCurrent};
    f.LockBox = {Mode("0110"), At(0, 1), L(kProg), Wait(OpWait100us), H(kProg), Flush};
    f.Config = Join({{Contact, Say("Wrt. CFG."), PowerUp, ResetMode, VppOn, Mode("1000")}, kEraseStep,
                     {H(kP27), L(kP33), Mode("1010")}, StatusAndBoot(1)});
    f.ConfigRead = {.Setting = Join({{Contact, PowerUp, Mode("1011")}, kReadPins, {ReadMode, VppOn, At(0)}}),
                    .Text = "Lock=%02x,Stat=%02x,Vect=%02x"};
    f.Id = {.Setting = {Contact, Say(kDetect), PowerUp, Mode("1111"), L(kP33), At(0)},
            .After = {H(kP27), H(kP33), Off},
            .Text = "MFG and ID is   = %02x,%02x, %02x",
            .SetsId = true};
    return f;
}();

const Flash51Profile kPhi89new = [] {
    Flash51Profile f{.Caption = "Philip P89C58/54/52/51Bx Da020720", .HighPins = {21, 22, 23, 24, 25, 26, kP34, 15},
                 .ModePins = {kP26, kP37, kP31, kP30}};
    // Family: 1 on the X2 rows (the clock-mode cell), 2 on the P89C58BP
    // (third signature byte 0xF8 or 0xFE).
    const auto family = [](const char* name, std::int32_t last, int marker) {
        return Mcs51Row{.Name = name, .LastAddress = last, .Family = marker};
    };
    f.Parts = {{"Exit", 0},
               {"1: P89C51BP  4Kx8", 0x0FFF},  {"2: P89C52BP  8Kx8", 0x1FFF},  {"3: P89C54BP 16Kx8", 0x3FFF},
               family("4: P89C58BP 32Kx8", 0x7FFF, 2), {"5: P89C51RA+ 8Kx8", 0x1FFF}, {"6: P89C51RB+ 16Kx8", 0x3FFF},
               {"7: P89C51RC+ 32Kx8", 0x7FFF}, {"8: P89C51RD+ 64Kx8", 0xFFFF}, {"9: P89C51RA2 8Kx8", 0x1FFF},
               {"10:P89C51RB2 16Kx8", 0x3FFF}, {"11:P89C51RC2 32Kx8", 0x7FFF}, {"12:P89C51RD2 64Kx8", 0xFFFF},
               family("13: P89C51X2  4Kx8", 0x0FFF, 1), family("14: P89C52X2  8Kx8", 0x1FFF, 1),
               family("15: P89C54X2 16Kx8", 0x3FFF, 1), family("16: P89C58X2 32Kx8", 0x7FFF, 1)};
    f.Window = win::Join(
        {StatusRows51(),
         {PushButton({"Erase", "Erase"}), PushButton({"Blank", "Blank?  "}), PushButton({"Write", "Write."}),
          PushButton({"Verify", "Vrfy"}), PushButton({"Read1", "Read  "}), PushButton({"ID", "MFG ID  "}),
          Group({"GroupCfg", "CFG "})},
         LockBoxes("GroupCfg"),
         {Box({"CheckBox4", "6/12 clock"}, false, "GroupCfg"), PushButton({"Secrity", "Wr.CFG"})},
         BatchRows51({{"CheckEra", "Erase "}, {"CheckBla", "Blank?  "}, {"CheckWri", "Write."}, {"CheckVer", "Vrfy"},
                      {"CheckSec", "Wr.CFG"}})});
    f.Batch = {{"CheckEra", &F::EraseClick}, {"CheckBla", &F::BlankClick}, {"CheckWri", &F::WriteClick},
               {"CheckVer", &F::VerifyClick}, {"CheckSec", &F::SecrityClick}};
    f.ResetPins = false;
    f.ClockBoxByFamily = true;
    f.Setup = {Ground};
    f.PowerUp = {VccOff, Ground, {VppLevel, 4500}, {VccLevel, 5000}, AllPins, Option(kXtal2, 1), Option(kXtal1, 1),
                 {Clock, kXtal1}, ReadMode, VccOn, Mode("0000"), H(kRst), L(kPsen), H(kEa), At(0), H(kProg), H(kP33),
                 L(kP27), Flush, VppOn};
    f.PreCheck = {PowerUp, {Clock, 0}, Option(kXtal1, 0), Option(kXtal2, 1), PairCheck};
    f.Pulse = {L(kP33), L(kProg), Wait(OpWaitShort), H(kProg), H(kP33)};
    f.Read = {Contact, PreCheck, Say("Reading.........."), PowerUp, CheckCurrent, Mode("0000"), L(kP33), ReadMode};
    f.Blank = Join(
        {{Contact, PreCheck, Say("Blank CHK"), PowerUp, ReadMode, Mode("0000")}, kReadPins, {VppOn, CheckCurrent}});
    f.Verify = Join({{Contact, PreCheck, Say("Verifying.."), PowerUp, ReadMode, Option(kP34, 0), Mode("0000")},
                     kReadPins, {VppOn, CheckCurrent}});
    f.Write = {Contact, PreCheck, NeedFile, IdCheck, Say("Writing.."), PowerUp, ResetMode, At(0), H(kP27), L(kP33),
               Mode("0011"), VppOn, CheckCurrent};
    f.Erase = {Contact, PreCheck, Say("Erasing"), ResetMode, PowerUp, At(0), Mode("0001"), VppOn, CheckCurrent,
               H(kP27), L(kP33), L(kProg), Wait(OpWait100ms, 2), H(kProg), H(kP33), Off};
    f.EraseDone = "END";
    f.Lock = {PreCheck, Say("Locking"), PowerUp, ResetMode, VppOn, CheckCurrent, H(kP27), L(kP33), Mode("0110")};
    f.LockBox = {At(0, 1), {Program, 0xFF}};
    // The clock-mode cell only while "6/12 clock" is enabled (an X2 row).
    f.LockClock = {Mode("1010"), At(0), {Program, 0xFF}};
    f.Id = {.Setting = {Contact, Say(kDetect), PowerUp, Mode("1111"), L(kP33), At(0)},
            .Offsets = {5, 6, 4},
            .After = {H(kP27), H(kP33), Off},
            .Text = kDetected,
            .SetsId = true};
    return f;
}();

// The P89C51RX2 forms: the "Hxx" marking, and the "xx" marking's differences.
Flash51Profile Rx2Profile(bool xx1) {
    Flash51Profile f{.Caption = xx1 ? "Philip P89C51Rx2xx" : "Philip P89C51Rx2Hxx,P89c66x",
                 .HighPins = {21, 22, 23, 24, 25, 26, kP34, 15},
                 .ModePins = {kP26, kP37, kP31, kP30}};
    f.Parts = {{"Exit", 0},                      {"1: P89C51RA2 8Kx8", 0x1FFF}, {"2:P89C51RB2 16Kx8", 0x3FFF},
               {"3:P89C51RC2 32Kx8", 0x7FFF}, {"4:P89C51RD2 64Kx8", 0xFFFF}};
    f.Window = win::Join(
        {StatusRows51(),
         {PushButton({"Erase", "Erase"}), PushButton({"Blank", "Blank?  "}), PushButton({"Write", "Write."}),
          PushButton({"Verify", "Vrfy"}), PushButton({"Read1", "Read  "}), PushButton({"ID", "MFG ID  "}),
          PushButton({"Secrity", "Lock "}), PushButton({"Config", "Wr.CFG"}), PushButton({"Button2", "Rd.CFG "}),
          Group({"GroupCfg", "CFG "})},
         CfgEdits("GroupCfg"),
         {Box({"CheckBox4", "12/6 Clk"}, false, "GroupCfg")},
         LockBoxes("GroupCfg"),
         BatchRows51({{"CheckEra", "Erase "}, {"CheckBla", "Blank?  "}, {"CheckWri", "Write."}, {"CheckVer", "Vrfy"},
                      {"CheckSec", "Lock"}, {"CheckCon", "Wr.CFG"}})});
    // Wr.CFG before Verify.
    f.Batch = {{"CheckEra", &F::EraseClick},  {"CheckBla", &F::BlankClick},  {"CheckWri", &F::WriteClick},
               {"CheckCon", &F::ConfigClick}, {"CheckVer", &F::VerifyClick}, {"CheckSec", &F::SecrityClick}};
    f.Setup = {Ground, {VppLevel, 4500}, {VccLevel, 5000}};
    f.PreCheck = kPairPreCheck51;
    f.WriteEnd = {Flush, Off};
    f.EraseDone = "END";
    f.ConfigClock = {Mode("1101"), At(1), {Program, 0x80}};
    if (!xx1) {
        f.PowerUp = {Ground, {VppLevel, 4500}, {VccLevel, 5000}, Option(kXtal2, 1), Option(kXtal1, 1), {Clock, kXtal1},
                     ReadMode, VccOff, VccOn, Mode("0000"), H(kPsen), H(kRst), H(kEa), L(kPsen), At(0),
                     H(kProg), H(kP33), L(kP27), H(kP36), Flush};
        f.Pulse = {L(kProg), Wait(OpWaitPulse), H(kProg)};
        f.Read = Join({{Contact, PreCheck, Say("Reading.........."), PowerUp, CheckCurrent, Mode("0000")}, kReadPins,
                       {VppOn, ReadMode}});
        f.Blank = Join({{Contact, PreCheck, Say("Blank CHK"), PowerUp, ReadMode, Option(kP34, 0), Mode("0000")},
                        kReadPins, {CheckCurrent}});
        f.Verify = Join({{Contact, PreCheck, Say("Verifying.."), PowerUp, ReadMode, Option(kP34, 0), Mode("0000")},
                         kReadPins, {CheckCurrent}});
        f.VerifyFaultVccOnly = true;
        f.Write = {Contact, PreCheck, NeedFile, IdCheck, Say("Writing.."), PowerUp, ResetMode, H(kRst), L(kPsen),
                   H(kProg), H(kEa), At(0), H(kP27), L(kP33), VppOn, CheckCurrent, Mode("0011"), H(kP27), L(kP33),
                   Flush};
        f.Erase = Join({{Contact, PreCheck, Say("Erasing"), PowerUp, At(0), VppOn, CheckCurrent, Mode("0001")},
                        kEraseStep, {Off}});
        f.Lock = {Contact, PreCheck, Say("Locking"), ReadMode, PowerUp, VppOn, H(kP27), L(kP33), Mode("0110")};
        f.LockBox = {At(0, 1), {Program, 0xFF}};
        f.Config = Join({{Contact, PreCheck, Say("Wrt. CFG."), PowerUp, ResetMode, VppOn, Mode("1000")}, kEraseStep,
                         {H(kP27), L(kP33), Mode("1010")}, StatusAndBoot(1)});
        f.ConfigRead = {.Setting = Join({{Contact, PowerUp, Mode("1011")}, kReadPins, {ReadMode, VppOn, At(0)}}),
                        .Offsets = {0, 1, 2, 3},
                        .Text = "Lock=%02x,Stat=%02x,Vect=%02x,Clock=%02x"};
        f.Id = {.Setting = {Contact, Say(kDetect), PreCheck, PowerUp, ReadMode, Mode("1111"), At(0), L(kP33),
                            L(kP27), VppOn},
                .After = {H(kP27), H(kP33), Off},
                .Text = kDetected,
                .SetsId = true};
        return f;
    }
    // Cells told apart by A12-A14, P3.3 pulsed with each program pulse, VPP routed by the power-up.
    f.PowerUp = {Ground, {Clock, kXtal1}, ReadMode, Option(kXtal2, 1), Option(kXtal1, 1), VccOff, VccOn, At(0),
                 H(kProg), H(kP33), L(kP27), H(kP36), Mode("0000"), H(kPsen), H(kRst), H(kEa), VppOn,
                 Wait(OpWaitPulse), L(kPsen), Flush};
    f.Pulse = {L(kP33), L(kProg), Wait(OpWaitPulse), H(kProg), H(kP33)};
    f.Read = Join({{Contact, PreCheck, Say("Read."), PowerUp, CheckCurrent, Mode("0000")}, kReadPins});
    f.Blank = Join(
        {{Contact, PreCheck, Say("Blank CHK"), PowerUp, Option(kP34, 0), Mode("0000")}, kReadPins, {CheckCurrent}});
    f.Verify = Join({{Contact, PreCheck, Say("Verify."), PowerUp, Mode("0000")}, kReadPins, {CheckCurrent}});
    f.Write = {Contact, PreCheck, NeedFile, IdCheck, Say("Writing.."), PowerUp, H(kP27), H(kP33), VppOn, CheckCurrent,
               Mode("0001"), ResetMode, Option(kXtal2, 1), Flush};
    f.Erase = Join(
        {{Contact, PreCheck, Say("Erasing"), PowerUp, At(0), VppOn, CheckCurrent, Mode("0111")}, kEraseStep, {Off}});
    f.Lock = {Contact, PreCheck, Say("Locking"), PowerUp, VppOn, H(kP27), H(kP33), Mode("0010")};
    f.LockBox = {At(0x3000, 0x1000), {Program, 0xFF}};
    f.Config = Join({{Contact, PreCheck, Say("Wrt. CFG."), PowerUp, ResetMode, Option(kXtal2, 1), VppOn, H(kP27),
                      H(kP33), Mode("1001")},
                     kEraseStep, {Mode("0010")}, StatusAndBoot(0x1000)});
    f.ConfigClock = {At(0x2000), {Program, 0xFF}};
    f.ConfigRead = {.Setting = Join({{Contact, PowerUp, Mode("1111")}, kReadPins}),
                    .At = {0x0000, 0x1000, 0x2000, 0x3000},
                    .Offsets = {0, 0, 0, 0},
                    .Text = "Status=%02x,Vect=%02x,Config=%02x,Lock=%02x"};
    f.Id = {.Setting = {Contact, Say(kDetect), PreCheck, PowerUp, Mode("1111"), L(kP33), L(kP27)},
            .At = {0x5000, 0x6000, 0x4000},
            .Offsets = {0, 0, 0},
            .After = {H(kP27), H(kP33), Off},
            .Text = kDetected,
            .SetsId = true};
    return f;
}

const Flash51Profile kPhi89rx2 = Rx2Profile(false);
const Flash51Profile kPhi89rx2xx1 = Rx2Profile(true);

}  // namespace

TPhi89c5x::TPhi89c5x(Workbench& w) : Flash51Form(w, kPhi89c5x) {}
TPhi89new::TPhi89new(Workbench& w) : Flash51Form(w, kPhi89new) {}
TPhi89c51rx2::TPhi89c51rx2(Workbench& w) : Flash51Form(w, kPhi89rx2) {}
TPhi89c51rx2xx1::TPhi89c51rx2xx1(Workbench& w) : Flash51Form(w, kPhi89rx2xx1) {}

QUILLA_FORM(TPhi89c5x);
QUILLA_FORM(TPhi89new);
QUILLA_FORM(TPhi89c51rx2);
QUILLA_FORM(TPhi89c51rx2xx1);

}  // namespace quilla
