#include "algo/memory/pw27.h"

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {
constexpr int kRows = 16;
constexpr int kProgramMv = 12000;
constexpr int kEraseMv = 14000;
constexpr int kA9 = 30;
}  // namespace

TPW27x::TPW27x(Workbench& w) : SocketForm(w, "PW27", kRows) {
    LoopInclusive = true;
    ReadLikeLaterForms = true;
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this),
                          {PushButton({"MFG", " ID "}), IdField(), TypeField(), PushButton({"Erase", "Erase"}),
                           PushButton({"Blank", "Blank?  "}), PushButton({"Write", "Write "}),
                           PushButton({"Verify", "Vrfy."}), PushButton({"ReadButton", "Read  "})},
                          BatchGroup({TickedBox({"CheckBox1", "Erase "}), TickedBox({"CheckBox2", "Blank?"}),
                                      TickedBox({"CheckBox3", "W."}), TickedBox({"CheckBox4", "Vrfy"})}),
                          StatusFoot(true)}),
                    this, Operations(this));
    FillVariantTable();
}

void TPW27x::FillVariantTable() {
    Table.assign(kRows, VariantRecord{});
    Table[0] = MakeVariant({.name = "???"});
    Table[1] = MakeVariant({.name = "W27e512 (64Kx8)", .last = 0xFFFF, .vccPin = 34, .vppPin = 28, .programPin = 26,
                            .vppMv = kProgramMv, .contactPins = {{8, 34}}});
    Table[2] = MakeVariant({.name = "W27e010 (128Kx8)", .last = 0x1FFFF, .vccPin = 36, .vppPin = 5, .programPin = 35,
                            .vppMv = kProgramMv, .contactPins = {{6, 33}, {35, 36}}});
    Table[3] = MakeVariant({.name = "W27e020 (256Kx8)", .last = 0x3FFFF, .vccPin = 36, .vppPin = 5, .programPin = 35,
                            .vppMv = kProgramMv, .contactPins = {{6, 33}, {35, 36}}});
    Table[4] = MakeVariant({.name = "W27e040 (512Kx8)", .last = 0x7FFFF, .vccPin = 36, .vppPin = 5, .programPin = 26,
                            .vppMv = kProgramMv, .contactPins = {{6, 33}, {35, 36}}});
    Table[5] = MakeVariant({.name = "W27e256  (32Kx8)", .last = 0x7FFF, .vccPin = 34, .vppPin = 7, .programPin = 26,
                            .vppMv = kProgramMv, .contactPins = {{8, 34}}});
}

std::vector<int> TPW27x::HighAddressPins() const {
    return {31, 30, 27, 29, 8, 32, 33, 7, 6, 34, 35};  // A8..A18
}

void TPW27x::AfterHighAddressPins() { Ep3.PinHigh(5); }

void TPW27x::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    LoadDesign(5000);
    Put(kType, wb.sel.SelectedDevice);
    ShowVariant(r);
    AlgoForm::Show();
    Ep3.SetVpp(0);
    Ep3.InitBitReverse();
    Offsets.Length = r.LastAddress;
    Offsets.ShowAll();
    Ep3.SetVpp(kProgramMv);
    Ep3.GndPin(20);
}

bool TPW27x::WriteBlockBegin(const VariantRecord& r) {
    Ep3.PinHigh(26);
    Ep3.PinHigh(28);
    Ep3.VppPin(r.VppPin);
    return true;
}

void TPW27x::ProgramByte(const VariantRecord& r, std::uint8_t data) {
    Ep3.WriteLatch(2, data);
    Ep3.PinLow(26);
    Ep3.PinLow(r.ProgramPin);
    Put1(OpWaitPulse);
    Ep3.PinHigh(r.ProgramPin);
}

// 14 V on the VPP pin and on A9 (socket pin 30 in every 28- and 32-pin part),
// CE low, then one 100 ms pulse of the program pin. The result is not tested
// here: the Blank step of the batch does that.
void TPW27x::EraseClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    Status("Erasing");
    Ep3.SetPortMode(PortModeReset);
    SetAddressParallel(0);
    if (!PowerUp(r)) return;
    Put1(OpWait100ms);
    Ep3.PinLow(26);
    Ep3.PinHigh(28);
    Ep3.PinHigh(kA9);
    Ep3.PinHigh(r.VppPin);
    Ep3.SetVpp(kEraseMv);
    Ep3.VppPin(r.VppPin);
    Ep3.VppPin(kA9);
    Ep3.PinLow(r.ProgramPin);
    Put1(OpWait100ms);
    Ep3.PinHigh(r.ProgramPin);
    Ep3.PinLow(28);
    Ep3.PinHigh(26);
    Ep3.VppPinOff(kA9);
    Ep3.VppPin(0);
    Ep3.SetVpp(kProgramMv);
    Success("OK!");
}

std::vector<AlgoForm::BatchStep> TPW27x::BatchSteps() { return EraseBlankWriteVerify(); }

QUILLA_FORM(TPW27x);

}  // namespace quilla
