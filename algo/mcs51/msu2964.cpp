#include "algo/mcs51/msu2964.h"

#include "catalog/form.h"

namespace quilla {

using namespace proto;
using namespace steps51;
using enum Do51;
using namespace sm51;

namespace {

constexpr int kRst = 9, kP37 = 17, kXtal1 = 19, kPsen = 29, kProg = 30, kEa = 31;

// The program and erase commands: cycles at 5555/2AAA.
const Step51 kUnlock[] = {Bus(0x5555, 0xAA), Bus(0x2AAA, 0x55)};

const Sm51Profile kMsu2964Profile{
    .Caption = "Msu2964",
    .Parts = {{"Exit", 0},                     {"1:MSU2964    64K", 0xFFFF}, {"2:MSU2964as32K 32K", 0x7FFF},
              {"3:MSU2964as16K 16K", 0x3FFF}, {"4:MSU2964as8K  8K", 0x1FFF}, {"5:MSU2964as4K  4K", 0x0FFF}},
    // The Lock box unticked at start.
    .Window = win::Join({{win::Radio({"RadioGroup1", "Erase   "}, {"1 S  ", "2 S  ", "3 S  "}, 1)},
                         Unticked51(UsualBatchRows51("Lock"), "CheckBox5")}),
    .VppMv = 5000,
    .VppFirst = true,
    .EarlySupplies = true,
    .Powered = {VccOn, Wait(OpWaitSettle)},
    .XtalOption = true,
    .PowerUpPort = PortMode51Swap,
    .AllLowAfterVcc = true,
    .AfterVccPins = {H(kP37), H(kProg), L(kPsen), L(10), L(11), L(12), L(13), H(14), H(15), H(16), H(kP37), H(kEa),
                     L(kRst), H(kRst)},
    .ReadPins = {L(kPsen), H(kProg), L(kProg), H(kP37), VppOn},
    .StatusAt = {1, 1, 1},
    .BlankCurrentFirst = false,
    // Both supplies off at a fault and at the end of Blank and Verify.
    .ReadEnd = {Off}, .CheckEnd = {Off}, .VerifyFault = {Off},
    .BlankPass = {.FaultStatus = "Not BLK.", .SuccessText = "OK!", .OffBeforeSuccess = false},
    .VerifyPass = {.Verify = true, .FaultStatus = "Failed..! ", .SuccessText = "Verified!", .OffBeforeSuccess = true},
    .WriteText = "Writing..",
    .Write = {CheckCurrent, {PortMode, PortMode51SwapWrite}, L(kPsen)},
    .WriteEnd = {Off},
    // Every byte its own program command, PSEN high around it.
    .ByteCommand = {H(kPsen), kUnlock[0], kUnlock[1], Bus(0x5555, 0xA0)},
    .ByteAfter = {L(kPsen)},
    // VCC and VPP stay routed after Erase.
    .Erase = {{PortMode, PortMode51SwapWrite}, VppOn, CheckCurrent, H(kPsen), kUnlock[0], kUnlock[1], Bus(0x5555, 0x80),
              kUnlock[0], kUnlock[1], Bus(0x5555, 0x10), RadioWaits, L(kPsen), Flush},
    .EraseWaits = {10, 20, 30},
    .Lock = {{Clock, 0}, Option(kXtal1, 0), H(kXtal1), VppOn, CheckCurrent, {PortMode, PortMode51SwapWrite},
             {Latch0, 0}, At(0), L(10), H(11), L(12), H(13), H(14), H(15), H(16), H(kProg), H(kPsen), L(kProg),
             L(kP37), Wait(OpWaitPulse, 3), H(kP37), H(kProg), L(kPsen), Wait(OpWaitSettle, 2), Flush, Off, Flush},
};

// The protection cleared: 5 V on EA, socket 1-8 released, P3.7 low for 1 ms.
const Steps51 kUnprotect = {VppOn, OptionPins({L(1), L(2), L(3), L(4), L(5), L(6), L(7), L(8)}), {Latch0, 0}, At(0),
                            H(10), L(11), L(12), H(13), H(14), H(15), H(16), H(kProg), H(kPsen), L(kProg), L(kP37),
                            Wait(OpWait1ms), H(kP37), H(kProg), L(kPsen), Wait(OpWait1ms, 2), Off};

}  // namespace

TMsu2964x::TMsu2964x(Workbench& w) : SyncMos51Form(w, kMsu2964Profile) {}

void TMsu2964x::SetAddress51(std::int32_t a) {
    Ep3.WriteLatch(0, 0);
    for (int bit = 0; bit < 8; ++bit) Ep3.SetPin((a >> (8 + bit)) & 1, 21 + bit);
    AddressLow = static_cast<std::uint8_t>(a & 0xFF);
    Ep3.UsbPut2(OpPutData51, AddressLow);
}

void TMsu2964x::NextAddress51() {
    AddressLow = static_cast<std::uint8_t>(AddressLow + 1);
    Ep3.UsbPut2(OpPutData51, AddressLow);
}

void TMsu2964x::ProgramByte51(std::uint8_t b) {
    Ep3.WriteLatch(0, b);
    SetPins({L(kProg), L(kP37), H(kP37), H(kProg)});
}

// "OK" promises an unprotected chip: shown only once the link took the step.
void TMsu2964x::UnprotectStep51() { Sequence51("Unprotect...", kUnprotect, "OK", false); }

void TMsu2964x::ReadUnit51(std::uint8_t* dest) {
    for (int i = 0; i < kGroup51; ++i) {
        Put1(OpCapturePort0);
        NextAddress51();
    }
    Ep3.UsbPut2(OpNop, 0);
    Ep3.UsbReadReply(dest);
}

QUILLA_FORM(TMsu2964x);

}  // namespace quilla
