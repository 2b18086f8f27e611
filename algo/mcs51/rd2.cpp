#include "algo/mcs51/rd2.h"

#include <optional>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using namespace steps51;
using enum Do51;

namespace {

using namespace f51;

constexpr int kRst = 9, kP30 = 10, kP33 = 13, kA15 = 15, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;

// The HSB boxes: name, caption, mask.
struct HsbBox {
    const char* name;
    const char* caption;
    std::uint8_t mask;
};
constexpr HsbBox kLb0{"CheckBox1", "LB0(No ext movc)", 0x01};
constexpr HsbBox kLb1{"CheckBox2", "LB1(Lock)", 0x02};
constexpr HsbBox kLb2{"CheckBox3", "LB2(ExtCode)", 0x04};
constexpr HsbBox kBllb{"CheckBox4", "BLLB(ISP保护Boot)", 0x20};
constexpr HsbBox kBljb{"CheckBox5", "BLJB(Boot FC03H)", 0x40};

// Mode steps give P2.6, P2.7, P3.6, P3.7, P3.3 in this order.
const char* const kCodeRead = "01111";
const Steps51 kWriteCycle = {L(kProg), Wait(OpWaitSettle), H(kProg)};
const Steps51 kUnlock = {Mode("10100"), {Program, 0x55}, {Program, 0xAA}};
// The power-up, address 0 and reset mode (in either order), then the unlock.
const Steps51 kAddressUnlocked = Join({{PowerUp, Addr(0), ResetMode}, kUnlock});
const Steps51 kResetUnlocked = Join({{PowerUp, ResetMode, Addr(0)}, kUnlock});
const Steps51 kIdRead = {PowerUp, ReadMode, Mode("00001"), Addr(0), L(kP27)};
const Steps51 kCodeReadPins = {Mode(kCodeRead), H(kProg), L(kP27)};
const CellRead51 kRdSec = {.Setting = {Contact, Say("读LockByte(HSB)..."), PreCheck, PowerUp, ReadMode,
                                       Mode("00011"), L(kP27)},
                           .Offsets = {0},
                           .After = {H(kP27), Off},
                           .Text = "HSB = %02x"};
const CellRead51 kReadXaf = {
    .Setting = {Contact, PreCheck, Say("读CFG...."), PowerUp, CheckCurrent, Mode("00000"), H(kProg), L(kP27), ReadMode,
                Addr(0)},
    .Offsets = {0, 1, 4, 5, 0x30, 0x31, 0x60},
    .Text = "BSB=%02x,BSV=%02x,HSB=%02x,SSB=%02x; ID=%02x,%02x,%02x",
    .Done = "OK"};
const Steps51 kLock = Join({{Contact, PreCheck, Say("Locking")}, kAddressUnlocked, {Mode("11000"), {PutArg, 0}},
                            kWriteCycle, {Wait(OpWaitSettle), Off}});

Flash51Row Rd2Row(bool rc2) {
    Flash51Row f{.Caption = rc2 ? "T89C51RB2/RC2" : "T89C51RD2",
                 .HighPins = rc2 ? std::vector<int>{21, 22, 23, 24, 25, 26, 14}
                                 : std::vector<int>{21, 22, 23, 24, 25, 26, 14, kA15},
                 .ModePins = {kP26, kP27, kP36, kP37, kP33}};
    f.Parts = {{"Exit", 0}, {"1: P89C51RA2 8Kx8", 0x1FFF}, {"2:P89C51RB2 16Kx8", 0x3FFF},
               {"3:P89C51RC2 32Kx8", 0x7FFF}};
    if (!rc2) f.Parts.push_back({"4:P89C51RD2 64Kx8", 0xFFFF});
    f.Window = {Btn("Read1", "Read  "),     Btn("Blank", "Blank?  "), Btn("Verify", "Vrfy"),
                Btn("Write", "Write."),     Btn("Erase", "Erase"),    Btn("ID", "MFG ID  "),
                Btn("Secrity", "Lock "),    Btn("RdSec", "R.Lock"),   Btn("WrConfig", "Wr.CFG"),
                Btn("ReadXAF", "Rd.CFG "),  Btn("RdIDSub", ""),       Btn("CancelBtn", "Exit "),
                Group("GroupBox2", "HSBCFG (打勾编程为0)")};
    f.Window[10].Visible = false;
    for (const HsbBox& b : {kLb0, kLb1, kLb2, kBllb, kBljb})
        if (!rc2 || b.mask != 0x20)
            f.Window.push_back(Box(b.name, b.caption, b.mask != 0x40, "GroupBox2"));
    if (rc2) {
        // Shown, but they change nothing: bits 4 and 7 are always programmed to 0.
        f.Window.push_back(Box("CheckBox6", "XRAM(En/Dis)", true, "GroupBox2"));
        f.Window.push_back(Box("CheckBox7", "x2(6/12 clock)", false, "GroupBox2"));
    }
    f.Window = Join<ControlRow>({f.Window,
                                {Edit("Edit3", "HSB(Hard Secu)", "", "GroupBox2", true),
                                 Group("GroupBox3", "Soft Reg CFG "), Edit("Edit1", "BSB(Boot Sta)", "ff", "GroupBox3"),
                                 Edit("Edit2", "BSV(Vect)", "fc", "GroupBox3")}});
    if (!rc2) f.Window.push_back(Edit("Edit4", "SSB(Soft Secu)", "ff", "GroupBox3"));
    f.Window = Join<ControlRow>({f.Window, Batch({{"CheckEra", "Erase "}, {"CheckBla", "Blank?  "},
                                                 {"CheckWri", "Write."}, {"CheckCon", "Wr.CFG"},
                                                 {"CheckVer", "Vrfy"}, {"CheckSec", "Lock"}})});
    f.Batch = {{"CheckEra", "Erase"},    {"CheckBla", "Blank"},  {"CheckWri", "Write"},
               {"CheckCon", "WrConfig"}, {"CheckVer", "Verify"}, {"CheckSec", "Secrity"}};
    f.ShowAgain = true;
    f.Setup = {Ground, {VppLevel, 4500}, {VccLevel, 4400}};
    f.PowerUp = {Ground, Option(kXtal2, 1), Option(kXtal1, 1), {Clock, kXtal1}, ReadMode, VccOff, VccOn,
                 Mode(kCodeRead), H(kRst), L(kPsen), H(kEa), H(kP30), Addr(0), H(kProg), L(kP27), Flush};
    f.PreCheck = PairPreCheck;
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

const Flash51Row kRd2 = Rd2Row(false);
const Flash51Row kRc2 = Rd2Row(true);

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
    Declare();
    CheckBox1Click();
}

std::function<void()> Rd2Form::Handler(std::string_view name) {
    if (name == "RdSec") return [this] {
        Row();
        ReadCells(kRdSec);
    };
    if (name == "ReadXAF") return [this] {
        Row();
        ReadCells(kReadXaf);
    };
    if (name == "RdIDSub") return [this] { Run(Join({kIdRead, {Do51::ReadBlock, Off}})); };
    if (name == "WrConfig") return [this] { WrConfigClick(); };
    for (const HsbBox& b : {kLb0, kLb1, kLb2, kBllb, kBljb})
        if (name == b.name) return [this] { CheckBox1Click(); };
    if (name == "Secrity") return [this] {
        Row();
        RunOp(kLock, "OK", {LockByte, 0});
    };
    if (name != "Button1") return Flash51Form::Handler(name);
    return [this] {
        Row();
        if (!rc2_) {
            PreCheck51();
            if (Ticked("CheckWri") && !wb.FileWin) {
                wb.prompts.ShowMsg("Must open a file to write...");
                return;
            }
        }
        Button1Click();
    };
}

void Rd2Form::CheckBox1Click() {
    std::uint8_t masks = 0x98;
    for (const HsbBox& b : {kLb0, kLb1, kLb2, kBllb, kBljb})
        if (Has(b.name) && Checked(b.name)) masks |= b.mask;
    LockByte = static_cast<std::uint8_t>(~masks);
    Put("Edit3", Hex2(LockByte));
}

void Rd2Form::SetModePins51(bool p26, bool p27, bool p36, bool p37, bool p33) {
    SetPins({{kP26, p26}, {kP27, p27}, {kP36, p36}, {kP37, p37}, {kP33, p33}});
}

void Rd2Form::SetAddress51(std::int32_t address) {
    Mcs51Form::SetAddress51(address);
    if (rc2_) Ep3.PinHigh(kA15);
}

void Rd2Form::UnlockSequence51() { Run(kUnlock); }

void Rd2Form::WriteAll(const Mcs51Row& r) {
    const std::int32_t end = EndAddr();
    for (std::int32_t page = 0; page < r.LastAddress && page <= end; page += 128) {
        ShowProgress(page);
        SetAddress51(page);
        Run({Mode("01010")});  // page load
        ProgramBytes51(page, 128, [this](std::uint8_t v) { ProgramByte51(v); });
        // The page programmed.
        Run(Join({{Mode("01110"), Addr(page)}, kWriteCycle, {Do51::Flush}}));
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
    Handler("RdIDSub")();
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
    Run(Join({{Mode("11010"), Addr(0)}, kWriteCycle, {Do51::Flush, Off}}));
    Success("OK");
}

QUILLA_FORM(TAt89c51rd2x);
QUILLA_FORM(TAt89c51rc2x);

}  // namespace quilla
