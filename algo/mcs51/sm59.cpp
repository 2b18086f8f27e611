#include "algo/mcs51/sm59.h"

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using namespace steps51;
using enum Do51;
using namespace sm51;
using win::PushButton;

namespace {

constexpr int kRst = 9, kP37 = 17, kPsen = 29, kProg = 30, kEa = 31;

// The rows 0-5 of both tables, then the form's own part.
std::vector<Mcs51Row> Sm59Parts(Mcs51Row last) {
    return {{"Exit", 0},           {"1: noname  4K", 0x0FFF},  {"2: noname  8K", 0x1FFF},
            {"3: noname  8K", 0x1FFF}, {"4: noname  16K", 0x3FFF}, {"5: noname 32K", 0x7FFF}, last};
}

const Steps51 kEnd = {H(kEa), H(kProg), VccOff}, kEndOff = {H(kEa), H(kProg), Off};
const Steps51 kEraseStart = {ResetMode, At(0xFFFF), Data(0xFF), H(kP37), H(kPsen), L(kProg), L(kEa),
                              Mode("11"), CheckCurrent, L(kP37), H(kP37)};
const Steps51 kLockStart = {At(0), ResetMode, Data(0xFF), CheckCurrent};

// What both windows share: no supply routed by the contact test, the reset
// after VCC and the settle wait, two mode pins, the data latched by P3.7
// pulsed with ALE low, no VPP (EA low for reads), the ends with EA and ALE high.
Sm51Profile Sm59(Sm51Profile r) {
    r.Powered = {};
    r.AfterVccPins = {L(kRst), H(kRst)};
    r.PowerUpSettles = true;
    r.Pulse = {L(kProg), L(kP37), H(kP37), Wait(OpWait100us), H(kProg)};
    r.ReadPins = {L(kProg), L(kPsen), VppOff, L(kEa), Mode("00")};
    r.ReadEnd = kEnd;
    r.CheckEnd = kEndOff;
    return r;
}

// The ISP size at 0x100 (+ the size's address): erased, or programmed.
const Steps51 kIspStart = {ResetMode, At(0x100), Data(0xFF), H(kP37), H(kPsen), L(kProg), L(kEa),
                            Mode("00")};
const Steps51 kIspErase = Join({kIspStart, {H(13), CheckCurrent, L(kP37), H(kP37), Wait(OpWaitSettle)}, kEnd});
const Steps51 kIspProgram =
    Join({kIspStart, {IspAddress, H(13), H(11), H(10), CheckCurrent, L(kP37), H(kP37), Wait(OpWaitPulse, 2)}, kEnd});

const Sm51Profile kSm59064Profile = Sm59({
    .Caption = "Sm59064x",
    .Parts = Sm59Parts({"6: SM59064 64K", 0xFFFF}),
    .Window = win::Join(
        {{PushButton({"Button2", "No ISP "}), PushButton({"Button3", "CFG ISP"}), PushButton({"Button4", "Read.CFG "}),
          win::Radio({"RadioGroup1", "Set ISP add"},
                     {"0:No ISP", "1:fe00-ffff", "2:fc00-ffff", "3:fa00-ffff", "4:f800-ffff", "5:f600-ffff",
                      "6:f400-ffff", "7:f200-ffff", "8:f000-ffff"},
                     2)},
         BatchRows51({{"CheckBox6", "No ISP "}, {"CheckBox7", "CFG ISP"}, {"CheckBox1", "Ers."},
                      {"CheckBox2", "Blank?  "}, {"CheckBox3", "Write."}, {"CheckBox4", "Vrfy"},
                      {"CheckBox5", "Lock"}})}),
    .Isp = true,
    .Type = Sm51Profile::TypeShown::Device,
    .PowerUpPins = {H(kEa), H(kProg), H(kPsen), H(kP37), L(10), L(11), L(12), L(13)},
    .ModePins = {14, 15},
    .Write = {L(kEa), H(kPsen), ResetMode, At(0), Mode("00"), CheckCurrent},
    .WriteEnd = kEndOff,
    .Erase = Join({kEraseStart, {Ticks(10)}, kEnd}),
    .Lock = Join({kLockStart, {Mode("10"), L(kEa), H(kPsen), L(kProg), L(kP37), H(kP37), Wait(OpWaitPulse, 3),
                               H(kProg), H(kEa), VccOff}}),
});

// The SM59264 sets its supplies first, and VPP 0 again around Write and Erase.
const Sm51Profile kSm59264Profile = Sm59({
    .Caption = "Sm59264x",
    .Parts = Sm59Parts({"6: SM59264 64K", 0xFBFF}),
    .Window = win::Join({UsualBatchRows51("Lock"),
                         {win::Label({"Label3", "Note:"}), win::Label({"Label1", "fc00-ffff is ISP add"}),
                          win::Label({"Label2", "is locked."})}}),
    .DipContact = true,
    .SuppliesFirst = true,
    .PowerUpPins = {H(kEa), L(kProg), L(10), L(11)},
    .ModePins = {10, 11},
    .Write = {{VppLevel, 0}, L(kEa), H(kPsen), ResetMode, At(0), Mode("00"), CheckCurrent},
    .WriteEnd = {H(kEa), H(kProg), {VppLevel, 0}, Off},
    .Erase = Join({{{VppLevel, 0}}, kEraseStart, {Ticks(12)}, kEnd}),
    .Lock = Join({kLockStart, {Mode("11"), H(kRst), H(kPsen), H(kEa), H(kP37), Wait(OpWait1ms), Mode("10"), L(kEa),
                               L(kP37), H(kP37), Wait(OpWaitPulse, 3), H(kEa), Mode("11"), Wait(OpWaitSettle),
                               VccOff}}),
    .LockedText = "OK",
});

}  // namespace

TSm59064x::TSm59064x(Workbench& w) : SyncMos51Form(w, kSm59064Profile) {}
TSm59264x::TSm59264x(Workbench& w) : SyncMos51Form(w, kSm59264Profile) {}

// ---- the ISP size of the SM59064 window ------------------------------------------------------

void SyncMos51Form::Button2Click() { Sequence51("Erase ISP.", kIspErase, "Erase end.."); }

void SyncMos51Form::Button3Click() { Sequence51("Config ISP...", kIspProgram, "OK"); }

void SyncMos51Form::Button4Click() {
    Row();
    if (!Run({PreCheck, Say("Read."), PowerUp, L(kProg), L(kPsen), VppOff, L(kEa), Mode("10"), CheckCurrent,
              Do51::ReadBlock, H(kEa), H(kProg), VccOff}))
        return;
    const int c = Ep3.UsbReplyBuf[0];
    if (c >= 16) {
        Status("Blank of configration.");
        Choose("RadioGroup1", 0);
        return;
    }
    Status(FormatText("ISP=%d,(%d bytes)", c, c * 512));
    Choose("RadioGroup1", c > 8 ? 8 : c);
}

QUILLA_FORM(TSm59064x);
QUILLA_FORM(TSm59264x);

}  // namespace quilla
