#include "algo/mcs51/is89.h"

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using enum Do51;
using namespace steps51;

namespace {

constexpr int kRst = 9, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31, kVcc = 40;

// The command byte latched into the command register: P2.7 high, the code on
// P0, P2.6 low then high (with wait 25 between in the erase commands).
Steps51 Command(int code, bool withWait = false) {
    Steps51 s{Pins({H(kP27)}), Data(code), Pins({L(kP26)})};
    if (withWait) s.push_back(WaitPulse);
    s.push_back(Pins({H(kP26)}));
    return s;
}

const Step51 EaHigh{Own};  // OwnStep
const Steps51 kPowerUp{VccOff, Pins({L(kVcc)}), {Clock, kXtal1}, ResetMode, OptionPins({H(kXtal2), H(kXtal1)}), VppOff,
                       Pins({H(kRst), L(kPsen), H(kProg), H(kEa), H(kP36), H(kP37)}), WaitSettle,
                       Pins({H(kP26), H(kProg), L(kP27)}), VccOn, Flush};
// The read command (0xC0), P2.7 low, the read mode from address 0.
const Steps51 kReadCmd = Join({Command(0xC0), {Pins({L(kP27)}), ReadMode, At(0)}});
const Steps51 kRead{Contact, Say("Read."), PowerUp, Step51(kReadCmd)};
const Steps51 kBlank{Contact, Say("Blank CHK"), PowerUp, Step51(kReadCmd)};
const Steps51 kVerify{Contact, PowerUp, Say("Verify."), PowerUp, Step51(kReadCmd)};
const Steps51 kWrite{Contact, NeedFile, Say("Write"), PowerUp, At(0), EaHigh, VppOn, CheckCurrent};
const Steps51 kEraseEntry{Contact, {AllPins, 0}, Say("Erasing")};
const Steps51 kEraseStart{PowerUp, At(0), EaHigh};
// One erase cycle: the erase command (0x20) with the confirm byte 0xD0 and a
// 200 ms pulse under VPP, then the erase-verify command (0xA0).
const Steps51 kEraseCycle =
    Join({{Pins({H(kP27)}), ResetMode}, Command(0x20, true),
          {Data(0xD0), VppOn, Pins({L(kProg)}), {Wait100ms, 2}, Pins({H(kProg)}), Wait1ms, VppOff}, Command(0xA0, true),
          {Pins({L(kP27)}), ReadMode, Flush}});
const Steps51 kLock{Say("Locking"), PowerUp, VppOn, Pins({H(kP27)})};
const Steps51 kLockPulse{Data(0xD0), Pins({L(kProg)}), Wait1ms, Pins({H(kProg)})};
const Steps51 kSignature = Join({{Say(" ID...."), PowerUp}, Command(0x90),
                                 {Pins({L(kP27)}), ReadMode, At(0), ReadBlock, Clock, VccOff}});

}  // namespace

TIS89c52ax::TIS89c52ax(Workbench& w) : Steps51Form(w, "IS89c52ax", {21, 22, 23, 24, 25}) {
    using namespace win;
    const ControlRows window =
        Join({StatusRows51(),
              {PushButton({"Read1", "Read  "}), PushButton({"Blank", "Blank?  "}), PushButton({"Verify", "Vrfy"}),
               PushButton({"Write", "Write "}), PushButton({"Erase", "Erase"}), PushButton({"Secrity", "Lock"}),
               PushButton({"ID", " ID "}), PushButton({"CancelBtn", "Exit "}),
               Group({"GroupBox2", "Lock位(打勾编程为0)"}),
               Box({"LB1", "LB1"}, true, "GroupBox2"), Box({"LB2", "LB2"}, true, "GroupBox2"),
               Box({"LB3", "LB3"}, true, "GroupBox2"), Combo({"Speed", ""}, {"Fast写", "Slow   "}, 0)},
              UsualBatchRows51("Lock")});
    DeclareControls(window, this, Handlers51<TIS89c52ax>({{"ID", &TIS89c52ax::SignateClick}}));
    FillVariantTable();
}

void TIS89c52ax::FillVariantTable() {
    Table = {{"Exit", 0},
             {.Name = "IS89C51A", .LastAddress = 0x0FFF, .VccMv = 5000},
             {.Name = "IS89C52A", .LastAddress = 0x1FFF, .VccMv = 5000},
             {.Name = "IS89LV51A 3.3v", .LastAddress = 0x0FFF, .VccMv = 3300},
             {.Name = "IS89LV52A 3.3v", .LastAddress = 0x1FFF, .VccMv = 3300}};
}

void TIS89c52ax::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText, P51Dip40Package, P51Plcc44Package));
    const Mcs51Row& r = *SelectedRow();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    Put(kType, r.Name);
    wb.FileNew();
    ShowRowRange(r);
    AlgoForm::Show();
    VccMv51 = r.VccMv;
    if (Ep3.Connected) Run({Ground, VccLevel, {VppLevel, 5000}});
}

// ---- routines --------------------------------------------------------------------------------

void TIS89c52ax::PowerUp51() { Run(kPowerUp); }

bool TIS89c52ax::OwnStep(int) {
    SetPins({H(VppPinNo), H(kP27)});
    return true;
}

void TIS89c52ax::Command51(std::uint8_t code, bool withWait) { Run(Command(code, withWait)); }

void TIS89c52ax::ProgramByte51(std::uint8_t b) {
    Ep3.UsbPut2(OpPutData51, 0x40);
    SetPins({L(kP26), H(kP26)});
    Ep3.UsbPut2(OpPutData51, b);
    Ep3.PinLow(kProg);
    Waits(OpWaitPulse, Text("Speed") == "Slow   " ? 5 : 3);
    Ep3.PinHigh(kProg);
}

void TIS89c52ax::LockBitPulse51(std::uint8_t code) {
    Command51(code);
    Run(kLockPulse);
}

// ---- the handlers -----------------------------------------------------------------------------------

void TIS89c52ax::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Run(kRead)) return;
    ReadImage51(r);
    ReadEnd51(r.LastAddress, "OK");
}

void TIS89c52ax::BlankClick() {
    const Mcs51Row& r = Row();
    if (Run(kBlank)) BlankBlocks51(r, [this] { SuppliesOff(); });
}

void TIS89c52ax::VerifyClick() {
    const Mcs51Row& r = Row();
    if (Run(kVerify)) CheckBlocks51(r, kVerifyPass51, [this] { Ep3.VccPin(0); }, [this] { SuppliesOff(); });
}

void TIS89c52ax::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Run(kWrite)) return;
    PageLoop51(r);
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
}

// Eleven erase cycles.
void TIS89c52ax::EraseClick() {
    Row();
    if (!Run(kEraseEntry)) return;
    SetProgress(kProgress, 0, 10, 0);
    Run(kEraseStart);
    for (int i = 0; i <= 10; ++i) {
        SetProgress(kProgress, 0, 10, i);
        Run(kEraseCycle);
    }
    SuppliesOff();
    Success("Erased..");
}

void TIS89c52ax::SecrityClick() {
    Row();
    Run(kLock);
    const std::pair<const char*, std::uint8_t> bits[] = {{"LB1", 0x60}, {"LB2", 0x70}, {"LB3", 0x80}};
    for (const auto& [box, code] : bits)
        if (Ticked(box)) LockBitPulse51(code);
    Run({Clock, Off});
    Success("Locked..");
}

void TIS89c52ax::SignateClick() {
    Row();
    Run(kSignature);
    const auto& b = Ep3.UsbReplyBuf;
    auto& id = LastReadId();
    for (std::size_t i = 0; i < 3; ++i) id[i] = b[0x30 + i];
    Status(FormatText("MFG and ID is   = %02x,%02x, %02x", b[0x30], b[0x31], b[0x32]));
}

void TIS89c52ax::Button1Click() {
    Row();
    RunBatch51(BatchSteps<Mcs51Form>(this, kUsualBatch51), false);
}

QUILLA_FORM(TIS89c52ax);

}  // namespace quilla
