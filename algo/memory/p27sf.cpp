#include "algo/memory/p27sf.h"

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {
constexpr int kRows = 16;
constexpr int kProgramMv = 12000;
constexpr int kA9 = 30;
constexpr int kErasePulses = 5;  // waits 0x1C
}  // namespace

TP27sfx::TP27sfx(Workbench& w) : SocketForm(w, "SST27SF256-010", kRows) {
    LoopInclusive = true;
    ReadLikeLaterForms = true;
    UsesVccKey = true;
    Texts.Read = "Reading";
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this),
                          {PushButton({"MFG", " ID "}), IdField(), TypeField(), PushButton({"Blank", "Blank?  "}),
                           PushButton({"Erase", "Erase"}), PushButton({"Verify", "Vrfy."}),
                           PushButton({"Write", "Write "}), PushButton({"ReadButton", "Read  "})},
                          BatchGroup({TickedBox({"CheckBox1", "Erase "}), TickedBox({"CheckBox2", "Blank?"}),
                                      TickedBox({"CheckBox3", "W."}), TickedBox({"CheckBox4", "Vrfy"})}),
                          StatusFoot(true)}),
                    this, Operations(this));
    FillVariantTable();
}

void TP27sfx::FillVariantTable() {
    Table.assign(kRows, VariantRecord{});
    Table[0] = MakeVariant({.name = "???"});
    Table[1] = MakeVariant({.name = "SST27SF256 (32Kx8)", .last = 0x7FFF, .vccPin = 34, .vppPin = 7, .programPin = 26,
                            .vppMv = kProgramMv, .contactPins = {{8, 34}}});
    Table[2] = MakeVariant({.name = "SST27SF512 (64Kx8)", .last = 0xFFFF, .vccPin = 34, .vppPin = 28,
                            .programPin = 26, .vppMv = kProgramMv, .contactPins = {{8, 34}}});
    Table[3] = MakeVariant({.name = "SST27SF010 (128Kx8)", .last = 0x1FFFF, .vccPin = 36, .vppPin = 5,
                            .programPin = 35, .vppMv = kProgramMv, .contactPins = {{6, 33}, {35, 36}}});
    Table[4] = MakeVariant({.name = "SST27SF020 (256Kx8)", .last = 0x3FFFF, .vccPin = 36, .vppPin = 5,
                            .programPin = 35, .vppMv = kProgramMv, .contactPins = {{6, 33}, {35, 36}}});
    Table[5] = MakeVariant({.name = "WSST27SF040 (512Kx8)", .last = 0x7FFFF, .vccPin = 36, .vppPin = 28,
                            .programPin = 28, .vppMv = kProgramMv, .contactPins = {{6, 33}, {35, 36}}});
    Table[6] = MakeVariant({.name = "SST37VF512 (64Kx8)", .last = 0xFFFF, .vccPin = 36, .vppPin = 28,
                            .programPin = 35, .vppMv = kProgramMv, .contactPins = {{7, 33}, {35, 36}}});
    Table[7] = MakeVariant({.name = "SST37VF010 (128Kx8)", .last = 0x1FFFF, .vccPin = 36, .vppPin = 28,
                            .programPin = 35, .vppMv = kProgramMv, .contactPins = {{6, 33}, {35, 36}}});
    Table[8] = MakeVariant({.name = "SST37VF020 (256Kx8)", .last = 0x3FFFF, .vccPin = 36, .vppPin = 28,
                            .programPin = 35, .vppMv = kProgramMv, .contactPins = {{6, 36}}});
    Table[9] = MakeVariant({.name = "WSST37VF040 (512Kx8)", .last = 0x7FFFF, .vccPin = 36, .vppPin = 28,
                            .programPin = 35, .vppMv = kProgramMv, .contactPins = {{5, 36}}});
}

// A8..A17 as the frame, A18 on socket pin 5; pin 35 is left to the operations.
std::vector<int> TP27sfx::HighAddressPins() const { return {31, 30, 27, 29, 8, 32, 33, 7, 6, 34, 5}; }

void TP27sfx::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    LoadDesign(LineVcc(1));
    Put(kType, wb.sel.SelectedDevice);
    ShowVariant(r);
    AlgoForm::Show();
    Ep3.InitBitReverse();
    Offsets.Length = r.LastAddress;
    Offsets.ShowAll();
    Ep3.SetVpp(kProgramMv);
    Ep3.GndPin(20);
}

void TP27sfx::BeforeReadEnable(const VariantRecord& r) { Ep3.PinHigh(r.ProgramPin); }

// 12 V on the VPP pin and on A9 with CE and the program pin low for five long
// waits. The result is not tested here: the Blank step of the batch does that.
void TP27sfx::EraseClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    Status("Erasing");
    Ep3.SetPortMode(PortModeReset);
    SetAddressParallel(0);
    Ep3.VccPin(r.VccPin);
    Put1(OpWait100ms);
    Ep3.PinHigh(r.ProgramPin);
    Ep3.PinHigh(26);
    Ep3.PinHigh(28);
    Ep3.PinHigh(kA9);
    Ep3.PinHigh(r.VppPin);
    Ep3.VppPin(r.VppPin);
    Ep3.VppPin(kA9);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinLow(26);
    Ep3.PinLow(r.ProgramPin);
    for (int i = 0; i < kErasePulses; ++i) Put1(OpWait100ms);
    Ep3.PinHigh(r.ProgramPin);
    Ep3.PinHigh(26);
    Ep3.PinLow(28);
    Ep3.PinHigh(26);
    Ep3.VppPinOff(kA9);
    Ep3.VppPin(0);
    Success("OK!");
}

bool TP27sfx::WriteBegin(const VariantRecord& r) {
    Ep3.PinHigh(r.ProgramPin);
    return PowerUp(r);
}

// Every block checks the current again after VPP is routed: a fault at any
// block ends the write (the engine has switched the supplies off and said so).
bool TP27sfx::WriteBlockBegin(const VariantRecord& r) {
    Ep3.PinHigh(26);
    Ep3.PinHigh(28);
    Ep3.VppPin(r.VppPin);
    return Ep3.CheckCurrent() != 0;
}

void TP27sfx::ProgramByte(const VariantRecord& r, std::uint8_t data) {
    Ep3.WriteLatch(2, data);
    Ep3.PinLow(26);
    Ep3.PinLow(r.ProgramPin);
    Put1(OpWaitPulse);
    Ep3.PinHigh(r.ProgramPin);
}

std::vector<AlgoForm::BatchStep> TP27sfx::BatchSteps() { return EraseBlankWriteVerify(); }

QUILLA_FORM(TP27sfx);

}  // namespace quilla
