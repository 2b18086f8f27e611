#include "algo/avr/serial_frame.h"

#include "app/workbench.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;

AvrSerialForm::AvrSerialForm(Workbench& w, std::string caption, Flushes flushes)
    : AvrForm(w, std::move(caption)), flushes_(flushes) {}

// ---- window -----------------------------------------------------------------------------------

void AvrSerialForm::DeclareOperations(const char* idButton) {
    AddButton("Erase", "Erase", [this] { EraseClick(); });
    AddButton("Blank", "Blank?  ", [this] { BlankClick(); });
    AddButton("Write", "Write.", [this] { WriteClick(); });
    AddButton("Verify", "Vrfy.", [this] { VerifyClick(); });
    AddButton("Read1", "Read  ", [this] { ReadRom(); });
    AddButton("RdData", "R.Data", [this] { RdDataClick(); });
    AddButton("WrData", "W.Data", [this] { WrDataClick(); });
    AddButton("ReadFuse", "R.Fuse ", [this] { ReadFuseClick(); });
    AddButton("WtFuse", "W.Fuse", [this] { WtFuseClick(); });
    AddButton("Secrity", "Lock ", [this] { SecrityClick(); });
    AddButton(idButton, "Read ID ", [this] { ReadIdClick(); });
}

void AvrSerialForm::DeclareBatch(const char* extraBox, const char* extraCaption) {
    AddGroup("GroupBox2", "Batch   ");
    DeclareBatchBoxes("GroupBox2");
    if (extraBox) AddCheck(extraBox, extraCaption, true, "GroupBox2");
    AddButton("Button1", " Run ", [this] { Button1Click(); }, "GroupBox2");
}

void AvrSerialForm::DeclareLockBoxes(const char* caption) {
    AddGroup("GroupBox3", caption);
    AddCheck("Lb1", "LB1", true, "GroupBox3");
    AddCheck("Lb2", "LB2", true, "GroupBox3");
}

void AvrSerialForm::DeclareStatus(const char* note) {
    AddCombo("Speed", "", {"Fast写", "Slow  ", " "}, 0);
    AddStatus("Msg", "Prompt  ");
    AddEdit("Edit6", "", "Add ", true).Emphasis = true;
    AddProgress("RdBar");
    AddEdit("Edit7", "", "Type", true);
    AddLabel("Note", note);
}

// ---- handlers ---------------------------------------------------------------------------------

void AvrSerialForm::ReadRom() {
    Row();
    Status("Read.");
    if (!EnterAndCheck()) return;
    ReadFlashIntoImage();
    SuppliesOff();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void AvrSerialForm::BlankClick() {
    const AvrRow& r = Row();
    if (!ReadyForCheck()) return;
    if (!EnterAndCheck()) return;
    Status("检查...");
    Ep3.UsbFlush();
    if (!BlankFlashBlocks(64)) return;
    EndFlashCheck(r, "OK!");
}

void AvrSerialForm::VerifyClick() {
    const AvrRow& r = Row();
    Status("Verify.");
    if (!ReadyForCheck()) return;
    if (!EnterAndCheck()) return;
    Ep3.UsbFlush();
    if (!VerifyFlashBlocks(32)) return;
    EndFlashCheck(r, "OK!!!");
}

void AvrSerialForm::WriteClick() {
    Row();
    if (!BeginWrite("Write")) return;
    WriteFlashWords(flushes_.flash);
    SuppliesOff();
    Success("OK");
}

void AvrSerialForm::EraseClick() {
    if (!EnterProgramming()) return;
    Status("Erasing");
    QueueChipErase();
    Ep3.UsbPut1(OpWait100ms);
    SuppliesOff();
    Success("OK");
}

void AvrSerialForm::RdDataClick() {
    const AvrRow& r = Row();
    Status("Reading....");
    if (!EnterAndCheck()) return;
    ReadEepromIntoImage();
    ShowProgress(r.EepromLast);
    EndEepromRead();
}

void AvrSerialForm::WrDataClick() {
    Row();
    if (!BeginWrite("Writing ...")) return;
    WriteEepromBytes(flushes_.eeprom);
    SuppliesOff();
    Success("OK");
}

void AvrSerialForm::ReadIdClick() {
    if (!EnterProgramming()) return;
    for (int i = 0; i < 3; ++i) ReadSignatureByte(i);
    ShowReadId();
}

}  // namespace quilla
