#include "algo/memory/p29ee.h"

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kEraseMv = 12000;

std::vector<SocketButton> Buttons(PageSdpForm& f, const char* verify, const char* write) {
    return {{"ReadButton", "Read  ", [&f] { f.ReadClick(); }},
            {"Erase", "Erase", [&f] { f.EraseClick(); }},
            {"Blank", "Blank?  ", [&f] { f.BlankClick(); }},
            {"Write", write, [&f] { f.WriteClick(); }},
            {"Verify", verify, [&f] { f.VerifyClick(); }},
            {"Protect", "Lock  ", [&f] { f.ProtectClick(); }},
            {"Unprotect", "Unlock", [&f] { f.UnprotectClick(); }}};
}

std::vector<BatchBox> Boxes(const char* write) {
    return {{"CheckBox5", "Unlock"}, {"CheckBox1", "Erase "}, {"CheckBox2", "Blank?"},
            {"CheckBox3", write},    {"CheckBox4", "Vrfy"},   {"CheckBox6", "Lock  ", false}};
}

WindowShape NoId(bool exit) {
    WindowShape s;
    s.IdButton = nullptr;
    s.IdField = false;
    s.ExitButton = exit;
    return s;
}

}  // namespace

// ---- TSst29eex -----------------------------------------------------------------------------

TSst29eex::TSst29eex(Workbench& w) : PageSdpForm(w, "sst29ee") {
    KeepCaption = "sst29ee";
    DeclareWindow(Buttons(*this, "Vrfy.", "Write "), Boxes("W."), [this] { AddSpeedRadio(); }, NoId(false));
    FillVariantTable();
}

void TSst29eex::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = PageRow("-----", 0, 1, 0, 0, {});
    Table[1] = PageRow("29ee256 (32K)", 0x7FFF, 64, 34, 33, {});
    Table[2] = PageRow("29ee257 (32K)", 0x7FFF, 64, 36, 35, {});
    Table[3] = PageRow("29ee512 (64K)", 0xFFFF, 128, 36, 35, {{8, 34}});
    Table[4] = PageRow("29ee010 (128K)", 0x1FFFF, 128, 36, 35, {{6, 33}, {35, 36}});
    Table[5] = PageRow("29ee020 (256K)", 0x3FFFF, 128, 36, 35, {{6, 33}, {35, 36}});
    Table[6] = PageRow("29ee040 (512K)", 0x7FFFF, 256, 36, 35, {{6, 33}, {35, 36}});
    Table[7] = PageRow("29ee040A (512K)", 0x7FFFF, 256, 36, 35, {{6, 33}, {35, 36}});
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
    DeclareWindow(Buttons(*this, "Verify  ", "Write "), Boxes("Burn"), [this] { AddSpeedRadio(); }, NoId(false));
    Put("Edit3", "");
    FillVariantTable();
}

void TP29cx::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = PageRow("???", 0, 1, 0, 0, {});
    Table[1] = PageRow("29C256 (32K)", 0x7FFF, 64, 34, 7, {});
    Table[2] = PageRow("29C257 (32K)", 0x7FFF, 64, 36, 35, {});
    Table[3] = PageRow("29C512 (64K)", 0xFFFF, 128, 36, 35, {{8, 34}});
    Table[4] = PageRow("29C010A (128K)", 0x1FFFF, 128, 36, 35, {{6, 33}, {35, 36}});
    Table[5] = PageRow("29C020 (256K)", 0x3FFFF, 256, 36, 35, {{6, 33}, {35, 36}});
    Table[6] = PageRow("29C040  (512K)", 0x7FFFF, 256, 36, 35, {{6, 33}, {35, 36}});
    Table[7] = PageRow("29C040A (512K)", 0x7FFFF, 256, 36, 35, {});
}

void TP29cx::SetupForDevice() {
    if (!SetupBegin("Link Err.")) return;
    SetupFlash(*SelectedRow(), false);
}

// ---- TW29cx -------------------------------------------------------------------------------------

TW29cx::TW29cx(Workbench& w) : PageSdpForm(w, "W29C") {
    ByteLatched = true;
    ContactInLock = false;
    WindowShape shape;
    shape.IdButton = " ID   ";
    shape.IdLabel = kMfgIdLabel;
    DeclareWindow(Buttons(*this, "Vrfy.", "Write"), Boxes("Burn"), [this] { AddSpeedRadio(); }, shape);
    FillVariantTable();
}

void TW29cx::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = PageRow("-----", 0, 1, 0, 0, {});
    Table[1] = PageRow("W29C256 (32K)", 0x7FFF, 64, 34, 33, {});
    Table[2] = PageRow("W29C257 (32K)", 0x7FFF, 64, 36, 35, {});
    Table[3] = PageRow("W29C512 (64K)", 0xFFFF, 128, 36, 35, {{8, 34}});
    Table[4] = PageRow("W29C010 (128K)", 0x1FFFF, 128, 36, 35, {{6, 33}, {35, 36}});
    Table[5] = PageRow("W29C020 (256K)", 0x3FFFF, 128, 36, 35, {{6, 33}, {35, 36}});
    Table[6] = PageRow("W29C040 (512K)", 0x7FFFF, 256, 36, 35, {{6, 33}, {35, 36}});
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
    DeclareWindow({{"ReadButton", "Read  ", [this] { ReadClick(); }},
                   {"Erase", "Erase", [this] { EraseClick(); }},
                   {"Blank", "Blank?", [this] { BlankClick(); }},
                   {"Write", "Write ", [this] { WriteClick(); }},
                   {"Verify", "Vrfy.", [this] { VerifyClick(); }}},
                  {{"CheckBox1", "Ers."}, {"CheckBox2", "Blank?"}, {"CheckBox3", "W."}, {"CheckBox4", "Vrfy"}},
                  nullptr, NoId(true));
    FillVariantTable();
}

void TP29c256::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = PageRow("???", 0, 1, 0, 0, {});
    // Its handlers test socket pins 7 to 34 always.
    Table[1] = PageRow("29C256 (32K)", 0x7FFF, 64, 34, 7, {{7, 34}});
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

std::vector<AlgoForm::BatchStep> TP29c256::BatchSteps() {
    return EraseBlankWriteVerify(*this);
}

QUILLA_FORM(TSst29eex);
QUILLA_FORM(TP29cx);
QUILLA_FORM(TW29cx);
QUILLA_FORM(TP29c256);

}  // namespace quilla
