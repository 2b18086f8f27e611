#include "algo/mcs51/rd2.h"

#include <optional>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using namespace steps51;
using enum Do51;

namespace {

using F = Rd2Form;
using win::Box, win::Group, win::PushButton;

constexpr int kRst = 9, kP30 = 10, kP33 = 13, kA15 = 15, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;

// The HSB boxes: name, caption, mask.
struct HsbBox {
    const char* Name;
    const char* Caption;
    std::uint8_t Mask;
};
constexpr HsbBox kLb0{.Name = "CheckBox1", .Caption = "LB0(No ext movc)", .Mask = 0x01};
constexpr HsbBox kLb1{.Name = "CheckBox2", .Caption = "LB1(Lock)", .Mask = 0x02};
constexpr HsbBox kLb2{.Name = "CheckBox3", .Caption = "LB2(ExtCode)", .Mask = 0x04};
constexpr HsbBox kBllb{.Name = "CheckBox4", .Caption = "BLLB(ISP保护Boot)", .Mask = 0x20};
constexpr HsbBox kBljb{.Name = "CheckBox5", .Caption = "BLJB(Boot FC03H)", .Mask = 0x40};
constexpr HsbBox kHsbBoxes[] = {kLb0, kLb1, kLb2, kBllb, kBljb};

// Mode steps give P2.6, P2.7, P3.6, P3.7, P3.3 in this order.
const char* const kCodeRead = "01111";
const Steps51 kWriteCycle = {L(kProg), Wait(OpWaitSettle), H(kProg)};
const Steps51 kUnlock = {Mode("10100"), {Program, 0x55}, {Program, 0xAA}};
// The power-up, address 0 and reset mode (in either order), then the unlock.
const Steps51 kAddressUnlocked = Join({{PowerUp, At(0), ResetMode}, kUnlock});
const Steps51 kResetUnlocked = Join({{PowerUp, ResetMode, At(0)}, kUnlock});
const Steps51 kIdRead = {PowerUp, ReadMode, Mode("00001"), At(0), L(kP27)};
const Steps51 kCodeReadPins = {Mode(kCodeRead), H(kProg), L(kP27)};
const CellRead51 kRdSec = {.Setting = {Contact, Say("读LockByte(HSB)..."), PreCheck, PowerUp, ReadMode,
                                       Mode("00011"), L(kP27)},
                           .Offsets = {0},
                           .After = {H(kP27), Off},
                           .Text = "HSB = %02x"};
const CellRead51 kReadXaf = {
    .Setting = {Contact, PreCheck, Say("读CFG...."), PowerUp, CheckCurrent, Mode("00000"), H(kProg), L(kP27), ReadMode,
                At(0)},
    .Offsets = {0, 1, 4, 5, 0x30, 0x31, 0x60},
    .Text = "BSB=%02x,BSV=%02x,HSB=%02x,SSB=%02x; ID=%02x,%02x,%02x",
    .Done = "OK"};
const Steps51 kLock = Join({{Contact, PreCheck, Say("Locking")}, kAddressUnlocked, {Mode("11000"), {PutArg, 0}},
                            kWriteCycle, {Wait(OpWaitSettle), Off}});

Flash51Profile Rd2Row(bool rc2) {
    Flash51Profile f{.Caption = rc2 ? "T89C51RB2/RC2" : "T89C51RD2",
                 .HighPins = rc2 ? std::vector<int>{21, 22, 23, 24, 25, 26, 14}
                                 : std::vector<int>{21, 22, 23, 24, 25, 26, 14, kA15},
                 .ModePins = {kP26, kP27, kP36, kP37, kP33}};
    f.Parts = {{"Exit", 0}, {"1: P89C51RA2 8Kx8", 0x1FFF}, {"2:P89C51RB2 16Kx8", 0x3FFF},
               {"3:P89C51RC2 32Kx8", 0x7FFF}};
    if (!rc2) f.Parts.push_back({"4:P89C51RD2 64Kx8", 0xFFFF});
    f.Window = win::Join(
        {StatusRows51(),
         {PushButton({"Read1", "Read  "}), PushButton({"Blank", "Blank?  "}), PushButton({"Verify", "Vrfy"}),
          PushButton({"Write", "Write."}), PushButton({"Erase", "Erase"}), PushButton({"ID", "MFG ID  "}),
          PushButton({"Secrity", "Lock "}), PushButton({"RdSec", "R.Lock"}), PushButton({"WrConfig", "Wr.CFG"}),
          PushButton({"ReadXAF", "Rd.CFG "}), win::Hidden(PushButton({"RdIDSub", ""})),
          PushButton({"CancelBtn", "Exit "}), Group({"GroupBox2", "HSBCFG (打勾编程为0)"})}});
    // BLLB only on the RD2 form; BLJB unticked.
    for (const HsbBox& b : kHsbBoxes)
        if (!rc2 || b.Mask != 0x20) f.Window.push_back(Box({b.Name, b.Caption}, b.Mask != 0x40, "GroupBox2"));
    f.Window = win::Join(
        {f.Window,
         // Shown, but they change nothing: bits 4 and 7 are always programmed to 0.
         {win::If(rc2, Box({"CheckBox6", "XRAM(En/Dis)"}, true, "GroupBox2")),
          win::If(rc2, Box({"CheckBox7", "x2(6/12 clock)"}, false, "GroupBox2")),
          win::ReadOnly(win::Edit({"Edit3", "HSB(Hard Secu)"}, "", "GroupBox2")), Group({"GroupBox3", "Soft Reg CFG "}),
          win::Edit({"Edit1", "BSB(Boot Sta)"}, "ff", "GroupBox3"),
          win::Edit({"Edit2", "BSV(Vect)"}, "fc", "GroupBox3"),
          win::If(!rc2, win::Edit({"Edit4", "SSB(Soft Secu)"}, "ff", "GroupBox3"))},
         BatchRows51({{"CheckEra", "Erase "}, {"CheckBla", "Blank?  "}, {"CheckWri", "Write."}, {"CheckCon", "Wr.CFG"},
                      {"CheckVer", "Vrfy"}, {"CheckSec", "Lock"}})});
    f.ShowAgain = true;
    f.Setup = {Ground, {VppLevel, 4500}, {VccLevel, 4400}};
    f.PowerUp = {Ground, Option(kXtal2, 1), Option(kXtal1, 1), {Clock, kXtal1}, ReadMode, VccOff, VccOn,
                 Mode(kCodeRead), H(kRst), L(kPsen), H(kEa), H(kP30), At(0), H(kProg), L(kP27), Flush};
    f.PreCheck = kPairPreCheck51;
    f.Pulse = {L(kProg), H(kProg)};
    f.Read = Join(
        {{Contact, PreCheck, Say("Reading.........."), PowerUp, CheckCurrent}, kCodeReadPins, {ReadMode}});
    f.Blank = Join({{Contact, PreCheck, Say("Blank CHK"), PowerUp, ReadMode, Option(14, 0)}, kCodeReadPins,
                    {CheckCurrent}});
    f.Verify = Join({{Contact, PreCheck, Say("Verify."), PowerUp, ReadMode, Option(14, 0)}, kCodeReadPins,
                     {CheckCurrent}});
    f.VerifyFaultVccOnly = true;
    f.Write = Join({{Contact, PreCheck, NeedFile, Say("Writing..")}, kResetUnlocked, {Flush}});
    f.Erase = Join({{Contact, PreCheck, Say("Erasing")}, kAddressUnlocked, {Mode("10000")}, kWriteCycle,
                    {Wait(OpWaitSettle), Mode("11000"), Data(0x7F)}, kWriteCycle, {Wait(OpWaitSettle), Off}});
    f.EraseDone = "END";
    f.Id = {.Setting = Join({{Contact, Say(" ID   和Type的code..."), PreCheck}, kIdRead}),
            .Offsets = {0x30, 0x31, 0x60, 0x61},
            .After = {H(kP27), Off},
            .Text = "MFG and ID is   = %02x,%02x, %02x,%02x",
            .SetsId = true};
    return f;
}

const Flash51Profile kRd2 = Rd2Row(false);
const Flash51Profile kRc2 = Rd2Row(true);

// The batch in run order: Wr.CFG before Verify.
const Handlers<Rd2Form> kBatch = {{"CheckEra", &F::EraseClick},  {"CheckBla", &F::BlankClick},
                                  {"CheckWri", &F::WriteClick},  {"CheckCon", &F::WrConfigClick},
                                  {"CheckVer", &F::VerifyClick}, {"CheckSec", &F::SecrityClick}};

// An edit read as at most two hexadecimal digits; none: nothing.
std::optional<std::uint8_t> EditByte(const std::string& t) {
    const std::size_t first = t.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const auto v = ScanHex(t.substr(first, 2));
    if (!v) return std::nullopt;
    return static_cast<std::uint8_t>(*v);
}

}  // namespace

Rd2Form::Rd2Form(Workbench& w, bool rc2) : Flash51Form(w, rc2 ? kRc2 : kRd2), rc2_(rc2) {
    Handlers<F> own = {{"RdSec", &F::RdSecClick},
                       {"ReadXAF", &F::ReadXAFClick},
                       {"RdIDSub", &F::RdIDSubClick},
                       {"WrConfig", &F::WrConfigClick}};
    for (const HsbBox& b : kHsbBoxes) own.push_back({b.Name, &F::CheckBox1Click});
    BindHandlers(this, own);
    CheckBox1Click();
}

void Rd2Form::RdSecClick() {
    Row();
    ReadCells(kRdSec);
}

void Rd2Form::ReadXAFClick() {
    Row();
    ReadCells(kReadXaf);
}

void Rd2Form::RdIDSubClick() { Run(Join({kIdRead, {Do51::ReadBlock, Off}})); }

void Rd2Form::SecrityClick() {
    Row();
    RunOp(kLock, "OK", {LockByte, 0});
}

void Rd2Form::Button1Click() {
    Row();
    if (!rc2_) {
        PreCheck51();
        if (Ticked("CheckWri") && !wb.FileWin) {
            wb.prompts.ShowMsg("Must open a file to write...");
            return;
        }
    }
    RunBatch51(BatchSteps(this, kBatch));
}

void Rd2Form::CheckBox1Click() {
    std::uint8_t masks = 0x98;
    for (const HsbBox& b : kHsbBoxes)
        if (Has(b.Name) && Checked(b.Name)) masks |= b.Mask;
    LockByte = static_cast<std::uint8_t>(~masks);
    Put("Edit3", Hex2(LockByte));
}

void Rd2Form::SetModePins51(bool p26, bool p27, bool p36, bool p37, bool p33) {
    SetPins({{kP26, p26}, {kP27, p27}, {kP36, p36}, {kP37, p37}, {kP33, p33}});
}

void Rd2Form::StepAddress51(std::int32_t address) {
    SetAddress51(address);
    if (rc2_) Ep3.PinHigh(kA15);
}

void Rd2Form::UnlockSequence51() { Run(kUnlock); }

void Rd2Form::WriteAll(const Mcs51Row& r) {
    const std::int32_t end = EndAddr();
    for (std::int32_t page = 0; page < r.LastAddress && page <= end; page += 128) {
        ShowProgress(page);
        StepAddress51(page);
        Run({Mode("01010")});  // page load
        ProgramBytes51(page, 128);
        // The page programmed.
        Run(Join({{Mode("01110"), At(page)}, kWriteCycle, {Do51::Flush}}));
    }
}

void Rd2Form::WrConfigClick() {
    Row();
    // Each soft byte must hold a hexadecimal digit: nothing is sent otherwise.
    const auto bsb = EditByte(Text("Edit1"));
    if (!bsb) Refuse("BSB(Boot Sta): no hexadecimal value, nothing written");
    const auto bsv = EditByte(Text("Edit2"));
    if (!bsv) Refuse("BSV(Vect): no hexadecimal value, nothing written");
    std::optional<std::uint8_t> ssb;
    if (!rc2_) {
        ssb = EditByte(Text("Edit4"));
        if (!ssb) Refuse("SSB(Soft Secu): no hexadecimal value, nothing written");
    }
    if (!Run({Contact, PreCheck, Say("Wrt. CFG.")})) return;
    RdIDSubClick();
    CheckBox1Click();
    std::uint8_t block[kBlock];
    std::copy(Ep3.UsbReplyBuf.begin(), Ep3.UsbReplyBuf.begin() + kBlock, block);
    block[4] = LockByte;
    block[0] = *bsb;
    block[1] = *bsv;
    if (ssb) block[5] = *ssb;
    Run(Join({kResetUnlocked, {Do51::Flush, Mode("11011")}}));  // configuration page load
    for (int i = 0; i < 128; ++i) {
        ProgramByte51(block[i]);
        NextAddress51();
    }
    // The configuration page programmed.
    Run(Join({{Mode("11010"), At(0)}, kWriteCycle, {Do51::Flush, Off}}));
    Success("OK");
}

QUILLA_FORM(TAt89c51rd2x);
QUILLA_FORM(TAt89c51rc2x);

}  // namespace quilla
