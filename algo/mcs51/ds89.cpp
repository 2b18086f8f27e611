#include "algo/mcs51/ds89.h"

#include "catalog/form.h"

namespace quilla {

using namespace proto;
using namespace steps51;
using enum Do51;

namespace {

using F = Flash51Form;
using win::Box, win::Group, win::PushButton;

constexpr int kRst = 9, kP33 = 13, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;

// Mode steps give P2.6, P2.7, P3.6, P3.7 in this order.
const char* const kReadMode = "0011";

// One erase stage (the code, then the option byte): ALE/PROG low for ten waits
// of 100 ms, the bar over them.
Steps51 EraseStage(const char* mode) {
    Steps51 s = {Mode(mode), L(kP33), L(kProg)};
    for (int i = 1; i <= 10; ++i) s = Join({s, {Wait(OpWait100ms), Flush, Progress(i, 10)}});
    s.push_back(H(kProg));
    return s;
}

const Flash51Profile kDs89 = [] {
    Flash51Profile f{.Caption = "DS89C4x0", .HighPins = {21, 22, 23, 24, 25, 26, 14, 15},
                 .ModePins = {kP26, kP27, kP36, kP37}, .Dip = &P51Dip40Package, .Plcc = &P51Plcc44Package};
    f.Parts = {{"Exit", 0},                      {"1: DS89C420 16Kx8", 0x3FFF}, {"2: DS89C430 16Kx8", 0x3FFF},
               {"3: DS89C440 32Kx8", 0x7FFF}, {"4: DS89C450 64Kx8", 0xFFFF}};
    // Msg and Edit6 empty at start.
    f.Window = win::Join(
        {StatusRows51("", ""),
         {PushButton({"Read1", "Read  "}), PushButton({"Blank", "Blank?  "}), PushButton({"Verify", "Vrfy"}),
          PushButton({"Write", "Write."}), PushButton({"Erase", "Erase"}), PushButton({"ID", "MFG ID  "}),
          PushButton({"Button2", "Rd.CFG "}), PushButton({"Config", "Wr.CFG "}), PushButton({"Secrity", "Lock "}),
          win::Radio({"RadioGroup1", "LockMode"},
                     {"1.NoLock", "2.防止外部MOVC", "3.加No R  (Lock)", "4.No external code"}, 2),
          Group({"GroupBox2", "CFG "}), Box({"CheckBox4", "Enable Watchdog"}, false, "GroupBox2")},
         BatchRows51({{"CheckEra", "Erase "}, {"CheckBla", "Blank?  "}, {"CheckWri", "Write."}, {"CheckCon", "Wr.CFG "},
                      {"CheckVer", "Vrfy"}, {"CheckSec", "Lock"}})});
    // Wr.CFG before Verify.
    f.Batch = {{"CheckEra", &F::EraseClick},  {"CheckBla", &F::BlankClick},  {"CheckWri", &F::WriteClick},
               {"CheckCon", &F::ConfigClick}, {"CheckVer", &F::VerifyClick}, {"CheckSec", &F::SecrityClick}};
    f.ShowAgain = true;
    f.Setup = {Ground, {VppLevel, 5000}, {VccLevel, 5000}};
    f.PowerUp = {VccOff, Ground, AllPins, Option(kXtal2, 1), {Clock, kXtal1}, Wait(OpWait100ms), ReadMode, VccOn,
                 Mode("0000"), L(kP33), H(kRst), L(kPsen), H(kEa), At(0), H(kProg), H(kEa), Flush};
    f.Pulse = {L(kProg), Wait(OpWaitShort, 2), H(kProg)};
    f.Read = {Contact, Say("Reading.........."), PowerUp, Mode(kReadMode), H(kEa), H(kProg), Flush, CheckCurrent,
              ReadMode};
    f.Blank = {Contact, Say("Blank CHK"), PowerUp, ReadMode, Option(14, 0), Mode(kReadMode), H(kProg), Flush,
               CheckCurrent};
    f.Verify = {Contact, Say("Verify."), PowerUp, ReadMode, Option(14, 0), Mode(kReadMode), H(kProg), H(kEa),
                Flush, CheckCurrent};
    f.VerifyFaultVccOnly = true;
    f.Write = {Contact, IdCheck, NeedFile, Say("Write"), PowerUp, ResetMode, Mode("0111"), H(kP33), Flush,
               H(kEa), CheckCurrent};
    f.WriteEnd = {VccOff};
    f.Erase = Join({{Contact, Say("Ers.程序..."), PowerUp, H(kEa), CheckCurrent, At(0)}, EraseStage("1000"),
                    {Say("Ers.Option...")}, EraseStage("1001"), {VccOff}});
    f.Config = {Contact, PowerUp, ResetMode, Mode("0100"), H(kP33), H(kEa), At(0xFC), {Program, 0xF7}, VccOff};
    f.Id = {.Setting = {Contact, Say("Detect MFG and ID ....."), PowerUp, Mode("0000"), L(kP33), At(0), Flush},
            .Offsets = {0x30, 0x31, 0x60, 0xFC},
            .Text = "ID= %02x,%02x,%02x,  Watchdog=%02x",
            .SetsId = true};
    f.ConfigRead = f.Id;
    return f;
}();

// The lock levels of LockMode: the mode of each ("1.NoLock": the strobe in the
// power-up setting).
const char* const kLockModes[] = {nullptr, "1111", "1100", "1010"};

}  // namespace

TDs89c4xx::TDs89c4xx(Workbench& w) : Flash51Form(w, kDs89) {}

void TDs89c4xx::ConfigClick() {
    Row();
    if (!Ticked("CheckBox4")) return Status("Disable Watchdog!");
    RunOp(Flow.Config, "Enabled Watchdog");
}

void TDs89c4xx::SecrityClick() {
    Row();
    Steps51 s = {Contact, PowerUp, ResetMode, H(kEa)};
    const int level = ItemIndex("RadioGroup1");
    if (level >= 1 && level <= 3) s.push_back(Mode(kLockModes[level]));
    RunOp(Join({s, {H(kP33), {Program, 0xFF}, Off}}), "OK");
}

QUILLA_FORM(TDs89c4xx);

}  // namespace quilla
