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
    WindowShape shape;
    shape.IdButton = " ID   ";
    shape.IdHandler = false;  // the button is bound to nothing
    shape.IdLabel = kMfgIdLabel;
    shape.ExitButton = false;
    DeclareWindow({{"ReadButton", "Read  ", [this] { ReadClick(); }},
                   {"Write", "Write ", [this] { WriteClick(); }},
                   {"Verify", "Vrfy", [this] { VerifyClick(); }},
                   {"Protect", "Lock  ", [this] { ProtectClick(); }},
                   {"Unprotect", "Unlock", [this] { UnprotectClick(); }}},
                  {{"CheckBox7", "Unlock"}, {"CheckBox3", "Write "}, {"CheckBox4", "Vrfy"}},
                  [this] { AddSpeedRadio(); }, shape);
    FillVariantTable();
}

void TP28cx::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = PageRow("???", 0, 1, 0, 0, {});
    Table[1] = PageRow("28C256 (32K)", 0x7FFF, 64, 34, 33, {{7, 34}});
    Table[2] = PageRow("28C257 (32K)", 0x7FFF, 64, 36, 35, {});
    Table[3] = PageRow("28C512 (64K)", 0xFFFF, 128, 36, 35, {});
    Table[4] = PageRow("28C010 (128K)", 0x1FFFF, 128, 36, 35, {{6, 33}, {35, 36}});
    Table[5] = PageRow("28C020 (256K)", 0x3FFFF, 128, 36, 35, {{6, 33}, {35, 36}});
    Table[6] = PageRow("28C040 (512K)", 0x7FFFF, 256, 36, 35, {{6, 33}, {35, 36}});
    Table[7] = PageRow("28C040A (512K)", 0x7FFFF, 256, 36, 35, {{6, 33}, {35, 36}});
    Table[8] = PageRow("AT28C64B (8K)", 0x1FFF, 64, 34, 33, {});
    Table[9] = PageRow("HN58C65 (8K)", 0x1FFF, 32, 34, 33, {});
}

void TP28cx::SetupForDevice() {
    if (!SetupBegin("Link Err.")) return;
    SetupEeprom(*SelectedRow());
}

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
    WindowShape shape;
    shape.IdButton = nullptr;
    shape.IdLabel = kMfgIdLabel;
    shape.ExitButton = false;
    DeclareWindow({{"ReadButton", "Read  ", [this] { ReadClick(); }},
                   {"Erase", "Erase", [this] { EraseClick(); }},
                   {"Blank", "Blank?", [this] { BlankClick(); }},
                   {"Write", "Write ", [this] { WriteClick(); }},
                   {"Verify", "Vrfy", [this] { VerifyClick(); }},
                   {"Protect", "Lock  ", [this] { ProtectClick(); }},
                   {"Unprotect", "Unlock", [this] { UnprotectClick(); }}},
                  {{"CheckBox1", "Ers."}, {"CheckBox2", "Blank?"}, {"CheckBox3", "Write "}, {"CheckBox4", "Vrfy"}},
                  [this] { AddSpeedRadio(); }, shape);
    for (const char* edit : {"Message", "Edit6", "Edit7"}) Put(edit, "");
    FillVariantTable();
}

void TAt28c256x::FillVariantTable() {
    Table.assign(16, VariantRecord{});
    Table[0] = PageRow("???", 0, 1, 0, 0, {});
    Table[1] = PageRow("AT28C64B (8K)", 0x1FFF, 64, 34, 33, {{8, 31}, {33, 34}});
    Table[2] = PageRow("28C256 (32K)", 0x7FFF, 64, 34, 33, {{7, 34}});
}

void TAt28c256x::SetupForDevice() {
    if (!SetupBegin("Link Err.")) return;
    SetupEeprom(*SelectedRow());
}

void TAt28c256x::EraseClick() { HighVoltageClear(); }

std::vector<AlgoForm::BatchStep> TAt28c256x::BatchSteps() {
    return EraseBlankWriteVerify(*this);
}

QUILLA_FORM(TP28cx);
QUILLA_FORM(TAt28c256x);

}  // namespace quilla
