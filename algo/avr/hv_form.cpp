#include "algo/avr/hv_form.h"

#include <algorithm>
#include <cstdio>

#include "app/workbench.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;
using namespace hvline;

AvrHvForm::AvrHvForm(Workbench& w, std::string caption, HvVariant variant)
    : AvrParallelForm(w, std::move(caption)), variant_(variant) {}

// ---- lines and loads ---------------------------------------------------------------------

void AvrHvForm::LineLow(int n) {
    if (variant_.settled) Ep3.UsbPut1(OpPrepare);
    Ep3.ControlLineLow(n);
}

void AvrHvForm::LineHigh(int n) {
    if (variant_.settled) Ep3.UsbPut1(OpPrepare);
    Ep3.ControlLineHigh(n);
}

void AvrHvForm::DataDirection(int chipDrives) {
    if (variant_.prepareBeforeDirection) Ep3.UsbPut1(OpPrepare);
    chipDrives ? LineHigh(Direction) : LineLow(Direction);
}

// ---- the loads, whatever drives the lines -----------------------------------------------------

void AvrParallelForm::StrobeByte(std::uint8_t b) {
    PutDataByte(b);
    DriveLine(XTAL1, true);
    DriveLine(XTAL1, false);
}

void AvrParallelForm::LoadAddress(std::uint8_t b) {
    DriveLine(XA0, false);
    DriveLine(XA1, false);
    StrobeByte(b);
}

void AvrParallelForm::LoadData(std::uint8_t b) {
    BeforeLoad();
    DriveLine(XA0, true);
    DriveLine(XA1, false);
    StrobeByte(b);
}

void AvrParallelForm::LoadCommand(std::uint8_t c) {
    BeforeLoad();
    DriveLine(XA0, false);
    DriveLine(XA1, true);
    StrobeByte(c);
}

void AvrParallelForm::StartCommand(std::uint8_t c) {
    DriveLine(OE, true);
    DriveLine(BS1, false);
    LoadCommand(c);
}

void AvrParallelForm::LoadAddressBytes(std::uint32_t a, bool highByte) {
    LoadAddress(static_cast<std::uint8_t>(a & 0xFF));
    if (!highByte) return;
    DriveLine(BS1, true);
    LoadAddress(static_cast<std::uint8_t>((a >> 8) & 0xFF));
}

void AvrParallelForm::WriteCommandByte(std::uint8_t c, std::uint8_t b) {
    StartCommand(c);
    LoadData(b);
    WrPulse();
    WaitWritten();
}

void AvrParallelForm::WrPulse() {
    DriveLine(WR, false);
    DriveLine(WR, true);
}

// ---- the design's lines --------------------------------------------------------------------------

void AvrHvForm::PutDataByte(std::uint8_t b) { Ep3.WriteLatch(0, b); }

void AvrHvForm::BeforeLoad() { Ep3.UsbPut1(OpPrepare); }

void AvrHvForm::ReadLatch() { Ep3.UsbPut1(OpCapturePort0); }

void AvrHvForm::PagelPulse() {
    LineHigh(PAGEL);
    LineLow(PAGEL);
}

// ---- entry ------------------------------------------------------------------------------------

int AvrHvForm::EnterProgramming() {
    const AvrRow& r = Row();
    if (Ep3.CheckPinContact(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) == 0) return 0;
    if (variant_.entry != HvVariant::Entry::Mega161) {
        Ep3.GndPin(r.GndPin);
        Ep3.VccPin(r.VccPin);
        Ep3.GndPin(r.GndPin);
        Ep3.VccPin(r.VccPin);
    }
    if (variant_.entry == HvVariant::Entry::Full) Ep3.UsbPut1(OpWaitPulse);
    IdleLines(true);
    if (variant_.entry == HvVariant::Entry::Full) {
        LineLow(PAGEL);
        for (int i = 0; i < 10; ++i) {
            LineHigh(XTAL1);
            LineLow(XTAL1);
        }
    }
    if (variant_.entry == HvVariant::Entry::Mega161) {
        Ep3.VccPin(r.VccPin);
        Ep3.UsbPut1(OpWait1ms);
        Ep3.VppPin(r.VppPin);
        Ep3.UsbPut1(OpPrepare);
        Ep3.UsbPut1(OpWaitSettle);
        Ep3.UsbFlush();
        return 1;
    }
    return RaiseVpp(r);
}

void AvrHvForm::IdleLines(bool bs2) {
    DataDirection(0);
    Ep3.UsbPut1(OpPrepare);
    LineLow(Direction);
    LineLow(OE);
    LineHigh(WR);
    for (int n : {XTAL1, XA0, XA1, Entered, BS1}) LineLow(n);
    if (bs2) LineLow(BS2);
}

int AvrHvForm::RaiseVpp(const AvrRow& r) {
    Ep3.UsbPut1(OpWaitPulse);
    Ep3.VppPin(r.VppPin);
    Ep3.UsbPut1(OpPrepare);
    LineHigh(Entered);
    Ep3.UsbPut1(OpWait100ms);
    Ep3.UsbFlush();
    return 1;
}

// ---- reads ---------------------------------------------------------------------------------------

void AvrHvForm::ReadFlashWord(std::int32_t a) {
    const std::uint32_t w = static_cast<std::uint32_t>(a) >> 1;
    Ep3.UsbPut1(OpPrepare);
    DataDirection(0);
    StartCommand(hvcmd::ReadFlash);
    LoadAddressBytes(w, true);
    DataDirection(1);
    if (variant_.flushPerWord) Ep3.UsbFlush();
    LineLow(BS1);
    LineLow(OE);
    ReadLatch();
    LineHigh(BS1);
    ReadLatch();
    LineHigh(OE);
    DataDirection(0);
}

void AvrHvForm::ReadEepromByte(std::int32_t a) {
    const AvrRow& r = Row();
    DataDirection(0);
    StartCommand(hvcmd::ReadEeprom);
    LoadAddressBytes(static_cast<std::uint32_t>(a), r.EepromLast > 255);
    DataDirection(1);
    LineLow(BS1);
    LineLow(OE);
    ReadLatch();
    LineHigh(OE);
    DataDirection(0);
}

void AvrHvForm::SampleSignatureRow(int i, bool calibration) {
    LineHigh(OE);
    LineLow(Direction);
    LoadCommand(hvcmd::ReadSignature);
    LoadAddress(static_cast<std::uint8_t>(i));
    LineHigh(Direction);
    calibration ? LineHigh(BS1) : LineLow(BS1);
    LineLow(OE);
    Ep3.UsbFlush();
    ReadLatch();
}

void AvrHvForm::ReadSignatureByte(int i) { SampleSignatureRow(i, false); }

void AvrHvForm::ReadCalibrationByte(int i) {
    SampleSignatureRow(i, true);
    LineHigh(OE);
}

void AvrHvForm::StartFuseRead(bool bs2LowAgain) {
    DataDirection(0);
    LineHigh(OE);
    LineLow(BS1);
    LineLow(BS2);
    LoadCommand(hvcmd::ReadFuseLock);
    LineLow(BS1);
    if (bs2LowAgain) LineLow(BS2);
    LineLow(OE);
    DataDirection(1);
}

void AvrHvForm::ReadFuseLockBytes() {
    StartFuseRead(false);
    Ep3.UsbFlush();
    ReadLatch();  // fuse low: BS1 low, BS2 low
    LineHigh(BS1);
    LineHigh(BS2);
    Ep3.UsbFlush();
    ReadLatch();  // fuse high: BS1 high, BS2 high
    LineHigh(BS1);
    LineLow(BS2);
    Ep3.UsbFlush();
    ReadLatch();  // lock: BS1 high, BS2 low
    LineHigh(OE);
}

// ---- writes ----------------------------------------------------------------------------------------

int AvrHvForm::WriteWait() {
    if (variant_.longWriteWait) {
        Ep3.UsbPut1(OpWaitSettle);
        Ep3.UsbPut1(OpWaitSettle);
        return 1;
    }
    const int n = SpeedText() == "Slow  " ? 4 : 2;
    for (int i = 0; i < n; ++i) Ep3.UsbPut1(OpWait1ms);
    return 1;
}

void AvrHvForm::WriteEepromByte(std::int32_t a, std::uint8_t b) {
    const AvrRow& r = Row();
    DataDirection(0);
    StartCommand(hvcmd::WriteEeprom);
    LoadAddressBytes(static_cast<std::uint32_t>(a), r.EepromLast > 255);
    if (r.EepromLast > 255) LineLow(BS1);
    LoadData(b);
    WrPulse();
    for (int i = 0; i < 3; ++i) Ep3.UsbPut1(OpWait1ms);
}

void AvrHvForm::WriteFlashWord(std::int32_t a, std::uint16_t word) {
    const std::uint32_t w = static_cast<std::uint32_t>(a) >> 1;
    DataDirection(0);
    StartCommand(hvcmd::WriteFlash);
    LoadAddressBytes(w, true);
    LineLow(BS1);
    LoadData(static_cast<std::uint8_t>(word & 0xFF));
    WrPulse();
    WriteWait();
    LoadData(static_cast<std::uint8_t>(word >> 8));
    LineHigh(BS1);
    WrPulse();
    WriteWait();
}

void AvrHvForm::WriteFuse(std::uint8_t b, bool highByte) {
    LineHigh(OE);
    LoadCommand(hvcmd::WriteFuse);
    LoadData(b);
    LineLow(BS2);
    highByte ? LineHigh(BS1) : LineLow(BS1);
    WrPulse();
    if (highByte) LineLow(BS1);
    WriteWait();
}

void AvrHvForm::WriteLock(std::uint8_t b) { WriteCommandByte(hvcmd::WriteLock, b); }

void AvrHvForm::WriteLockPass(std::uint8_t b) {
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    Status("Fuse...");
    WriteLock(b);
    Success("OK!");
    SuppliesOff();
    Success("OK");
}

void AvrHvForm::ChipEraseCommand() {
    DataDirection(0);
    LineHigh(OE);
    LoadCommand(hvcmd::ChipErase);
    WrPulse();
}

void AvrHvForm::ChipErase() {
    ChipEraseCommand();
    Ep3.UsbPut1(OpWait100ms);
}

void AvrHvForm::ProgramFlashPages(int pageWaits) {
    const AvrRow& r = Row();
    const std::int32_t page = r.FlashPage;
    LineLow(Direction);
    LineHigh(OE);
    LoadCommand(hvcmd::WriteFlash);
    for (std::int32_t s = 0; s <= r.FlashLast; s += page) {
        LineHigh(BS1);
        LoadAddress(static_cast<std::uint8_t>((s >> 9) & 0xFF));
        for (std::int32_t j = 0; j < page; j += 2) {
            LineLow(BS1);
            LoadAddress(static_cast<std::uint8_t>(((s + j) >> 1) & 0xFF));
            LoadData(*Image(s + j));
            LineHigh(BS1);
            LoadData(*Image(s + j + 1));
            PagelPulse();
        }
        LineLow(BS1);
        WrPulse();
        for (int i = 0; i < pageWaits; ++i) Ep3.UsbPut1(OpWait1ms);
        ShowProgress(s);
        Ep3.UsbFlush();
    }
    Ep3.UsbFlush();
}

void AvrHvForm::ProgramEepromPages(int pageWaits) {
    const AvrRow& r = Row();
    const std::int32_t page = r.EepromPage;
    LineLow(Direction);
    LineHigh(OE);
    LoadCommand(hvcmd::WriteEeprom);
    for (std::int32_t s = 0; s <= r.EepromLast; s += page) {
        LineHigh(BS1);
        LoadAddress(static_cast<std::uint8_t>((s >> 8) & 0xFF));
        LineLow(BS1);
        for (std::int32_t i = 0; i < page; ++i) {
            LoadAddress(static_cast<std::uint8_t>((s + i) & 0xFF));
            LoadData(*Image(EepromOffset + s + i));
            PagelPulse();
        }
        WrPulse();
        for (int k = 0; k < pageWaits; ++k) Ep3.UsbPut1(OpWait1ms);
        SetProgress("RdBar", 0, r.EepromLast, s);
        Ep3.UsbFlush();
    }
}

// ---- operations shared by the forms -------------------------------------------------------------

int AvrHvForm::VerifyVccMv() const {
    const std::string t = Text("VeriyVolt");
    if (t == "Vrfy电压3.3V") return 3300;
    if (t == "Vrfy电压2.5V") return 2500;
    if (t == "Vrfy电压4.2V") return 4400;
    return 5000;
}

void AvrHvForm::ReadRom() {
    Row();
    Status("Read.");
    if (!EnterProgramming()) return;
    VccForReading();
    if (!Ep3.CheckCurrent()) return;
    DataDirection(1);
    ReadFlashIntoImage();
    SuppliesOff();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void AvrHvForm::EraseClick() {
    const AvrRow& r = Row();
    if (!EnterProgramming()) return;
    Ep3.VppPin(r.VppPin);
    if (!Ep3.CheckCurrent()) return;
    Status("Erasing");
    ChipErase();
    SuppliesOff();
    Success("Erase OK");
}

void AvrHvForm::BlankClick() {
    const AvrRow& r = Row();
    if (!EnterProgramming()) return;
    VccForReading();
    if (!Ep3.CheckCurrent()) return;
    Status("检查...");
    DataDirection(1);
    Ep3.UsbFlush();
    if (!BlankFlashBlocks(64)) return;
    wb.ErrorFlag() = 0;
    Success("OK!");
    SuppliesOff();
    ShowProgress(r.FlashLast);
}

void AvrHvForm::VerifyClick() {
    Row();
    Status("Verify.");
    if (!EnterProgramming()) return;
    VccForReading();
    if (!Ep3.CheckCurrent()) return;
    VerifyAfterEntry();
}

void AvrHvForm::WritePagesAfterEntry(int pageWaits) {
    const AvrRow& r = Row();
    ProgramFlashPages(pageWaits);
    Ep3.UsbFlush();
    ShowProgress(r.FlashLast);
    Success("OK");
    VccForReading();
    SuppliesOff();
}

void AvrHvForm::VerifyAfterEntry() {
    const AvrRow& r = Row();
    DataDirection(1);
    Ep3.UsbFlush();
    if (!VerifyFlashBlocks(32)) return;
    wb.ErrorFlag() = 0;
    Success("OK!!!");
    ShowProgress(r.FlashLast);
    SuppliesOff();
}

void AvrHvForm::ReadEepromPass(bool showEnd) {
    const AvrRow& r = Row();
    Status("Reading....");
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    DataDirection(1);
    ReadEepromIntoImage();
    if (showEnd) ShowProgress(r.EepromLast);
    EndEepromRead();
}

void AvrHvForm::ReadId() {
    for (int i = 0; i < 3; ++i) ReadSignatureByte(i);
    ShowReadId();
}

void AvrHvForm::SetupAt90s8515Socket(AvrRow& r) {
    avr::ShowPackagePicture(Ep3, wb.sel.TypeText);
    if (avr::HasPackageMark(wb.sel.TypeText)) {
        Ep3.LoadBitFile("at90s8515plcc44.bit");
        avr::SetPins(r, {.vpp = 8, .vcc = 42, .gnd = 20, .maskLo = 0x7FEFFDFFu, .maskHi = 0x83FF});
    } else {
        Ep3.LoadBitFile("at90s8515dip40.bit");
        avr::SetPins(r, {.vpp = 9, .vcc = 40, .gnd = 20, .maskLo = 0xFFFFFFFFu, .maskHi = 0xFF});
    }
}


}  // namespace quilla
