#include "algo/avr/serial_frame.h"

#include "app/workbench.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;

AvrSerialForm::AvrSerialForm(Workbench& w, std::string caption, Flushes flushes)
    : AvrForm(w, std::move(caption)), flushes_(flushes) {}

// ---- window -----------------------------------------------------------------------------------

ControlRows AvrSerialForm::WindowFoot(const char* note) {
    return win::Join({{avr::SpeedBox(true)}, avr::Readouts(), {win::Label({"Note", note})}});
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
