#include "algo/memory/p28cx.h"

#include "catalog/form.h"

namespace quilla {

using namespace proto;

// ---- TP28cx ---------------------------------------------------------------------------------------

TP28cx::TP28cx(Workbench& w) : PageSdpForm(w, "AT28c") {
    Route = Routing::Eeprom;
    GroundIn = 0;
    CyclesByAddress = true;
    PreLoopAddress = false;
    EepromReadBack = true;
    MassProduction = true;
    Texts.ReadDone = "OK!";
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this),
                          {IdLabel(), PushButton({"MFG", " ID   "}), IdField(), TypeField(),
                           PushButton({"ReadButton", "Read  "}), PushButton({"Write", "Write "}),
                           PushButton({"Verify", "Vrfy"}), PushButton({"Protect", "Lock  "}),
                           PushButton({"Unprotect", "Unlock"}), SpeedRadio()},
                          BatchGroup({TickedBox({"CheckBox7", "Unlock"}), TickedBox({"CheckBox3", "Write "}),
                                      TickedBox({"CheckBox4", "Vrfy"})}),
                          StatusFoot(false)}),
                    this, PageOperations(this));
    FillVariantTable();
}

void TP28cx::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = MakeVariant({.name = "???"});
    Table[1] = MakeVariant({.name = "28C256 (32K)", .last = 0x7FFF, .page = 64, .vccPin = 34, .programPin = 33,
                            .contactPins = {{7, 34}}});
    Table[2] = MakeVariant({.name = "28C257 (32K)", .last = 0x7FFF, .page = 64, .vccPin = 36, .programPin = 35});
    Table[3] = MakeVariant({.name = "28C512 (64K)", .last = 0xFFFF, .page = 128, .vccPin = 36, .programPin = 35});
    Table[4] = MakeVariant({.name = "28C010 (128K)", .last = 0x1FFFF, .page = 128, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[5] = MakeVariant({.name = "28C020 (256K)", .last = 0x3FFFF, .page = 128, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[6] = MakeVariant({.name = "28C040 (512K)", .last = 0x7FFFF, .page = 256, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[7] = MakeVariant({.name = "28C040A (512K)", .last = 0x7FFFF, .page = 256, .vccPin = 36, .programPin = 35,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[8] = MakeVariant({.name = "AT28C64B (8K)", .last = 0x1FFF, .page = 64, .vccPin = 34, .programPin = 33});
    Table[9] = MakeVariant({.name = "HN58C65 (8K)", .last = 0x1FFF, .page = 32, .vccPin = 34, .programPin = 33});
}

void TP28cx::SetupForDevice() {
    if (!SetupBegin("Link Err.")) return;
    SetupEeprom(*SelectedRow());
}

// The window's ID button reads nothing.
void TP28cx::MFGClick() {}

std::vector<AlgoForm::BatchStep> TP28cx::BatchSteps() {
    return {{"CheckBox7", [this] { UnprotectClick(); }},
            {"CheckBox3", [this] { WriteClick(); }},
            {"CheckBox4", [this] { VerifyClick(); }}};
}

// ---- TAt28c256x -----------------------------------------------------------------------------------

TAt28c256x::TAt28c256x(Workbench& w) : PageSdpForm(w, "AT28c256/AT28C64B") {
    Route = Routing::Eeprom28Only;
    GroundIn = 0;
    ContactInLock = false;
    CyclesByAddress = true;
    PreLoopLongWait = true;
    EepromReadBack = true;
    LongWaitInBlank = true;
    PageZeroInReply = true;
    MassProduction = true;
    EndWithPinsLow = false;
    KeepCaption = "AT28c256/AT28C64B";
    Texts.ReadDone = "OK!";
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this),
                          {IdLabel(), IdField(), TypeField(), PushButton({"ReadButton", "Read  "}),
                           PushButton({"Erase", "Erase"}), PushButton({"Blank", "Blank?"}),
                           PushButton({"Write", "Write "}), PushButton({"Verify", "Vrfy"}),
                           PushButton({"Protect", "Lock  "}), PushButton({"Unprotect", "Unlock"}), SpeedRadio()},
                          BatchGroup({TickedBox({"CheckBox1", "Ers."}), TickedBox({"CheckBox2", "Blank?"}),
                                      TickedBox({"CheckBox3", "Write "}), TickedBox({"CheckBox4", "Vrfy"})}),
                          StatusFoot(false)}),
                    this, PageOperations(this));
    for (const char* edit : {"Message", "Edit6", "Edit7"}) Put(edit, "");
    FillVariantTable();
}

void TAt28c256x::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = MakeVariant({.name = "???"});
    Table[1] = MakeVariant({.name = "AT28C64B (8K)", .last = 0x1FFF, .page = 64, .vccPin = 34, .programPin = 33,
                            .contactPins = {{8, 31}, {33, 34}}});
    Table[2] = MakeVariant({.name = "28C256 (32K)", .last = 0x7FFF, .page = 64, .vccPin = 34, .programPin = 33,
                            .contactPins = {{7, 34}}});
}

void TAt28c256x::SetupForDevice() {
    if (!SetupBegin("Link Err.")) return;
    SetupEeprom(*SelectedRow());
}

void TAt28c256x::EraseClick() { HighVoltageClear(); }

std::vector<AlgoForm::BatchStep> TAt28c256x::BatchSteps() { return EraseBlankWriteVerify(); }

QUILLA_FORM(TP28cx);
QUILLA_FORM(TAt28c256x);

}  // namespace quilla
