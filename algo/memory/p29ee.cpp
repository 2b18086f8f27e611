#include "algo/memory/p29ee.h"

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kEraseMv = 12000;

// The flash page forms' operation buttons with their captions of Verify and Write.
ControlRows Buttons(const char* verify, const char* write) {
    using namespace win;
    return {PushButton({"ReadButton", "Read  "}), PushButton({"Erase", "Erase"}), PushButton({"Blank", "Blank?  "}),
            PushButton({"Write", write}),         PushButton({"Verify", verify}), PushButton({"Protect", "Lock  "}),
            PushButton({"Unprotect", "Unlock"})};
}

// Their batch boxes with the caption of the write box.
ControlRows Boxes(const char* write) {
    return {MemoryForm::TickedBox({"CheckBox5", "Unlock"}), MemoryForm::TickedBox({"CheckBox1", "Erase "}),
            MemoryForm::TickedBox({"CheckBox2", "Blank?"}), MemoryForm::TickedBox({"CheckBox3", write}),
            MemoryForm::TickedBox({"CheckBox4", "Vrfy"}),   win::Box({"CheckBox6", "Lock  "})};
}

}  // namespace

// ---- TSst29eex -----------------------------------------------------------------------------

TSst29eex::TSst29eex(Workbench& w) : PageSdpForm(w, "sst29ee") {
    KeepCaption = "sst29ee";
    DeclareControls(win::Join({Offsets.Rows(*this), {TypeField()}, Buttons("Vrfy.", "Write "), {SpeedRadio()},
                               BatchGroup(Boxes("W.")), StatusFoot(false)}),
                    this, PageOperations(this));
    FillVariantTable();
}

void TSst29eex::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = MakeVariant({.name = "-----"});
    Table[1] = MakeVariant({.name = "29ee256 (32K)", .last = 0x7FFF, .page = 64, .vccPin = 34, .programPin = 33});
    Table[2] = MakeVariant({.name = "29ee257 (32K)", .last = 0x7FFF, .page = 64, .vccPin = 36, .programPin = 35});
    Table[3] = MakeVariant({.name = "29ee512 (64K)", .last = 0xFFFF, .page = 128, .vccPin = 36, .programPin = 35,
                            .contactPins = {{8, 34}}});
    Table[4] = MakeVariant({.name = "29ee010 (128K)", .last = 0x1FFFF, .page = 128, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[5] = MakeVariant({.name = "29ee020 (256K)", .last = 0x3FFFF, .page = 128, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[6] = MakeVariant({.name = "29ee040 (512K)", .last = 0x7FFFF, .page = 256, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[7] = MakeVariant({.name = "29ee040A (512K)", .last = 0x7FFFF, .page = 256, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
}

void TSst29eex::SetupForDevice() {
    if (!SetupBegin("Link Err.")) return;
    SetupFlash(*SelectedRow(), true);
}

// ---- TP29cx ----------------------------------------------------------------------------------

TP29cx::TP29cx(Workbench& w) : PageSdpForm(w, "AT29c") {
    GroundIn = kRead | kErase;
    ContactInLock = false;
    PreLoopAddress = false;
    Texts.ReadDone = "OK!";
    DeclareControls(win::Join({Offsets.Rows(*this), {TypeField()}, Buttons("Verify  ", "Write "), {SpeedRadio()},
                               BatchGroup(Boxes("Burn")), StatusFoot(false)}),
                    this, PageOperations(this));
    Put("Edit3", "");
    FillVariantTable();
}

void TP29cx::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = MakeVariant({.name = "???"});
    Table[1] = MakeVariant({.name = "29C256 (32K)", .last = 0x7FFF, .page = 64, .vccPin = 34, .programPin = 7});
    Table[2] = MakeVariant({.name = "29C257 (32K)", .last = 0x7FFF, .page = 64, .vccPin = 36, .programPin = 35});
    Table[3] = MakeVariant({.name = "29C512 (64K)", .last = 0xFFFF, .page = 128, .vccPin = 36, .programPin = 35,
                            .contactPins = {{8, 34}}});
    Table[4] = MakeVariant({.name = "29C010A (128K)", .last = 0x1FFFF, .page = 128, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[5] = MakeVariant({.name = "29C020 (256K)", .last = 0x3FFFF, .page = 256, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[6] = MakeVariant({.name = "29C040  (512K)", .last = 0x7FFFF, .page = 256, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[7] = MakeVariant({.name = "29C040A (512K)", .last = 0x7FFFF, .page = 256, .vccPin = 36, .programPin = 35});
}

void TP29cx::SetupForDevice() {
    if (!SetupBegin("Link Err.")) return;
    SetupFlash(*SelectedRow(), false);
}

// ---- TW29cx -------------------------------------------------------------------------------------

TW29cx::TW29cx(Workbench& w) : PageSdpForm(w, "W29C") {
    ByteLatched = true;
    ContactInLock = false;
    DeclareControls(win::Join({Offsets.Rows(*this),
                               {IdLabel(), win::PushButton({"MFG", " ID   "}), IdField(), TypeField()},
                               Buttons("Vrfy.", "Write"), {SpeedRadio()}, BatchGroup(Boxes("Burn")), StatusFoot(true)}),
                    this, PageOperations(this));
    FillVariantTable();
}

void TW29cx::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = MakeVariant({.name = "-----"});
    Table[1] = MakeVariant({.name = "W29C256 (32K)", .last = 0x7FFF, .page = 64, .vccPin = 34, .programPin = 33});
    Table[2] = MakeVariant({.name = "W29C257 (32K)", .last = 0x7FFF, .page = 64, .vccPin = 36, .programPin = 35});
    Table[3] = MakeVariant({.name = "W29C512 (64K)", .last = 0xFFFF, .page = 128, .vccPin = 36, .programPin = 35,
                            .contactPins = {{8, 34}}});
    Table[4] = MakeVariant({.name = "W29C010 (128K)", .last = 0x1FFFF, .page = 128, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[5] = MakeVariant({.name = "W29C020 (256K)", .last = 0x3FFFF, .page = 128, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[6] = MakeVariant({.name = "W29C040 (512K)", .last = 0x7FFFF, .page = 256, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
}

// The form's exchanges need "vex300.bit" and a VCC level: setup loads and sets
// them like its sister forms (the engine may hold another design and level).
void TW29cx::SetupForDevice() {
    if (!SetupBegin("Link Err.")) return;
    SetupFlash(*SelectedRow(), true);
}

// ---- TP29c256 -----------------------------------------------------------------------------------

TP29c256::TP29c256(Workbench& w) : PageSdpForm(w, "AT29c256") {
    GroundIn = kBlank;
    VccOffBeforeWrite = true;
    FixedWaits = 2;
    Texts.Read = "RD!";
    Texts.VerifyDone = "OK..";
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this),
                          {TypeField(), PushButton({"ReadButton", "Read  "}), PushButton({"Erase", "Erase"}),
                           PushButton({"Blank", "Blank?"}), PushButton({"Write", "Write "}),
                           PushButton({"Verify", "Vrfy."})},
                          BatchGroup(EraseBlankWriteVerifyBoxes()), StatusFoot(true)}),
                    this, Operations(this));
    FillVariantTable();
}

void TP29c256::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = MakeVariant({.name = "???"});
    // Its handlers test socket pins 7 to 34 always.
    Table[1] = MakeVariant({.name = "29C256 (32K)", .last = 0x7FFF, .page = 64, .vccPin = 34, .programPin = 7,
                            .contactPins = {{7, 34}}});
}

void TP29c256::SetupForDevice() {
    if (!SetupBegin("Link Err.")) return;
    Ep3.GndPin(20);
    SetupFlash(*SelectedRow(), true);
}

void TP29c256::EraseClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    Status("Erasing");
    Ep3.SetVpp(kEraseMv);
    Put1(OpWait100ms);
    Ep3.PinHigh(26);
    Ep3.VccPin(34);
    Ep3.VppPin(28);
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(WriteMode);
    Ep3.PinHigh(28);
    Ep3.PinLow(26);
    Put1(OpWePulse7);
    Put1(OpWaitSettle);
    Put1(OpWaitSettle);
    Ep3.PinHigh(26);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Ep3.SetVpp(0);
    Success("ok");
}

std::vector<AlgoForm::BatchStep> TP29c256::BatchSteps() { return EraseBlankWriteVerify(); }

QUILLA_FORM(TSst29eex);
QUILLA_FORM(TP29cx);
QUILLA_FORM(TW29cx);
QUILLA_FORM(TP29c256);

}  // namespace quilla
