#include "algo/mcs51/msu.h"

#include "catalog/form.h"

namespace quilla {

using namespace proto;
using namespace steps51;
using enum Do51;
using namespace sm51;

namespace {

constexpr int kRst = 9, kP37 = 17, kXtal1 = 19, kPsen = 29, kProg = 30, kEa = 31;

// The data latched by P3.7 pulsed with ALE low, PSEN high.
const Steps51 kStrobe = {H(kPsen), L(kProg), L(kP37), H(kP37)};

// 4.5 V on EA; the chip clocked by hand (48 clocks on XTAL1 after reset).
const Sm51Profile kMsu2958Profile{
    .Caption = "Msu2958",
    .Parts = {{"Exit", 0},           {"1: MSU2951", 0x0FFF}, {"2: MSU2952", 0x1FFF},
              {"3: MSU2953", 0x1FFF}, {"4: MSU2954", 0x3FFF}, {"5: MSU2955", 0x3FFF},
              {"6: MSU2956", 0x5FFF}, {"7: MSU2957", 0x5FFF}, {"8: MSU2958", 0x7FFF}},
    .Window = win::Join({{win::Radio({"RadioGroup1", "Erase   "}, {"0.5S  ", "1 S  ", "2 S  "}, 1)},
                         UsualBatchRows51("Lock")}),
    .VppMv = 4500,
    .VppFirst = true,
    .BatchChecksFirst = true,
    .OptionOnVccPin = true,
    .HandClocks = 48,
    .PowerUpPins = {L(kXtal1)},
    .AfterVccPins = {H(kP37), H(kProg), L(kPsen), L(10), L(11), L(12), L(13), L(14), L(15), H(kEa), L(kRst),
                     H(kRst)},
    .Pulse = {L(kProg), L(kP37), H(kP37), H(kProg), Wait(OpWaitPulse)},
    .ReadPins = {L(kPsen), H(kProg), L(kProg), H(kP37), VppOn},
    .StatusAt = {1, 1, 1},
    .BlankCurrentFirst = false,
    .ReadEnd = {Off},
    .CheckEnd = {Off},
    .VerifyFault = {Off},
    .WriteText = "Writing..",
    .Write = {H(14), H(15), ResetMode, H(kPsen), VppOn, CheckCurrent},
    .WriteEnd = {Off},
    // A 1 ms step with 00, then the radio's time with FF; VCC stays routed.
    .Erase = Join({{At(0), ResetMode, Data(0x00)}, kStrobe,
                   {Wait(OpWait1ms), H(kProg), L(kPsen), Flush, PowerUp, CheckCurrent, At(0), ResetMode, Data(0xFF)},
                   kStrobe, {RadioWaits, Flush, H(kProg), L(kPsen), ShowLast}}),
    .ErasedText = "OK",
    .EraseWaits = {5, 10, 20},
    .Lock = {VppOn, CheckCurrent, ResetMode, Data(0xFF), At(0), L(10), L(11), L(12), L(13), L(16), L(14), H(15),
             H(kPsen), L(kProg), L(kP37), H(kP37), Wait(OpWaitPulse, 3), H(kProg), H(kPsen), Wait(OpWaitSettle, 2),
             Off},
};

}  // namespace

TMsu2958x::TMsu2958x(Workbench& w) : SyncMos51Form(w, kMsu2958Profile) {}

QUILLA_FORM(TMsu2958x);

}  // namespace quilla
