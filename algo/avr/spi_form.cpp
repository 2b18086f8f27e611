#include "algo/avr/spi_form.h"

#include <algorithm>
#include <cstdio>

#include "algo/common/scan.h"
#include "app/numparse.h"
#include "app/workbench.h"
#include "catalog/form.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;

namespace {

// Control lines of the serial designs.
constexpr int kSck = 2, kReset = 3;
constexpr int kEnableTries = 32;
constexpr const char* kNoChip = "没有器件或者是坏的器件!";

}  // namespace

AvrSpiForm::AvrSpiForm(Workbench& w, std::string caption) : AvrSerialForm(w, std::move(caption), {256, 16}) {}

// ---- the serial layer -------------------------------------------------------------------

void AvrSpiForm::SpiShiftOut(std::uint8_t b) { Ep3.UsbPut2(OpSpiOut, b); }

void AvrSpiForm::SpiShiftIn() { Ep3.UsbPut1(OpSpiIn); }

void AvrSpiForm::Instruction(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4) {
    SpiShiftOut(b1);
    SpiShiftOut(b2);
    SpiShiftOut(b3);
    SpiShiftOut(b4);
}

void AvrSpiForm::ReadInstruction(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    SpiShiftOut(b1);
    SpiShiftOut(b2);
    SpiShiftOut(b3);
    SpiShiftIn();
}

void AvrSpiForm::SerialSetup() {
    Ep3.UsbPut2(OpSerialSetup4A, 8);
    Ep3.UsbPut2(OpSerialSetup4B, 8);
}

bool AvrSpiForm::EnableTries(bool pulse) {
    for (int i = 0; i < kEnableTries; ++i) {
        if (pulse) {
            Ep3.ControlLineHigh(kReset);
            Ep3.ControlLineLow(kReset);
            Ep3.UsbPut1(OpWaitSettle);
            Ep3.UsbPut1(OpWaitSettle);
        }
        SpiShiftOut(0xAC);
        SpiShiftOut(0x53);
        SpiShiftIn();
        SpiShiftIn();
        Ep3.UsbReadReply();
        if (Ep3.UsbReplyBuf[0] == 0x53) {
            Status("Reset OK of " + std::to_string(Ep3.UsbReplyBuf[0]));
            return true;
        }
    }
    return false;
}

void AvrSpiForm::NoChip() {
    wb.prompts.ShowMessage(kNoChip);
    wb.ErrorFlag() = 1;
    Ep3.VccPin(0);
}

int AvrSpiForm::EnterProgramming() {
    const AvrRow& r = Row();
    Ep3.ControlLineLow(kSck);
    Ep3.VccPin(r.VccPin);
    Ep3.ControlLineHigh(kReset);
    Ep3.ControlLineLow(kReset);
    if (EnableTries(false)) return 1;
    NoChip();
    return 0;
}

void AvrSpiForm::ReadFlashWord(std::int32_t a) {
    const std::uint32_t w = static_cast<std::uint32_t>(a) >> 1;
    const auto hi = static_cast<std::uint8_t>(w >> 8), lo = static_cast<std::uint8_t>(w);
    ReadInstruction(0x20, hi, lo);
    ReadInstruction(0x28, hi, lo);
}

void AvrSpiForm::ReadEepromByte(std::int32_t a) { ReadInstruction(0xA0, 0x00, static_cast<std::uint8_t>(a)); }

void AvrSpiForm::ReadSignatureByte(int i) { ReadInstruction(0x30, 0x00, static_cast<std::uint8_t>(i)); }

void AvrSpiForm::WriteFlashWord(std::int32_t a, std::uint16_t word) {
    const std::uint32_t w = static_cast<std::uint32_t>(a) >> 1;
    const auto hi = static_cast<std::uint8_t>(w >> 8), lo = static_cast<std::uint8_t>(w);
    Instruction(0x40, hi, lo, static_cast<std::uint8_t>(word & 0xFF));
    RowWriteWait();
    Instruction(0x48, hi, lo, static_cast<std::uint8_t>(word >> 8));
    RowWriteWait();
}

void AvrSpiForm::WriteEepromByte(std::int32_t a, std::uint8_t d) {
    Instruction(0xC0, 0x00, static_cast<std::uint8_t>(a), d);
    RowWriteWait();
}

void AvrSpiForm::QueueLock(std::uint8_t lockByte) { Instruction(0xAC, lockByte, 0x00, 0x00); }

void AvrSpiForm::QueueChipErase() { Instruction(0xAC, 0x80, 0x00, 0x00); }

// ---- handlers --------------------------------------------------------------------------------

void AvrSpiForm::SecrityClick() {
    const std::uint8_t lock = LockBitsFromBoxes();
    if (!EnterAndCheck()) return;
    QueueLock(lock);
    RowWriteWait();
    Ep3.VccPin(0);
    Success("OK");
}

void AvrSpiForm::Button3Click() {
    // The enable alone; ErrorFlag stays as it is.
    const AvrRow& r = Row();
    Ep3.ControlLineLow(kSck);
    Ep3.VccPin(r.VccPin);
    Ep3.ControlLineHigh(kReset);
    Ep3.ControlLineLow(kReset);
    if (!EnableTries(false)) wb.prompts.ShowMessage(kNoChip);
    Ep3.VccPin(0);
}

// ---- TAt90s2323x ------------------------------------------------------------------------------

TAt90s2323x::TAt90s2323x(Workbench& w) : AvrSpiForm(w, "AT90s2333") {
    using namespace win;
    DeclareControls(Join({avr::SerialButtons("Button2"),
                          {PushButton({"Button3", "Rst"})},
                          avr::BatchGroup("GroupBox2", avr::StepBoxes()),
                          avr::LbBoxes("Lock位Lock(打勾编程为0)"),
                          avr::BoxGroup({"GroupBox1", "Fuse(checked=0)  "}, 1, {"SPIEN (只可以读)", ""}, 1),
                          WindowFoot("Buffer nnnnh=Data(EEPROM)0000h   "),
                          {avr::ExitButton()}}),
                    this,
                    avr::Operations(this, {{"Button2", &TAt90s2323x::ReadIdClick},
                                           {"Button3", &TAt90s2323x::Button3Click}}));
    FillRows();
}

void TAt90s2323x::FillRows() {
    Rows = {
        {.Name = "Exit"},
        {.Name = "1: AT90S2323", .VccPin = 24, .GndPin = 20, .FlashLast = 0x7FF, .EepromLast = 0x7F,
         .WriteWaits = 6},
        {.Name = "2: AT90S2343", .VccPin = 24, .GndPin = 20, .FlashLast = 0x7FF, .EepromLast = 0x7F,
         .WriteWaits = 6},
    };
    FuseCaptions.assign(16, "");
    FuseCaptions[1] = "FSTRT";
    FuseCaptions[2] = "RCEN";
}

void TAt90s2323x::SetupForDevice() {
    FillRows();
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    const AvrRow& r = Rows[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.LoadBitFile("at90s2323.bit");
    SerialSetup();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    ShowNewImage(r);
    SetLevels(r, 5000, 0);
    PutCaption("CheckBox2", FuseCaptions[static_cast<std::size_t>(wb.sel.VariantIndex)]);
}

void TAt90s2323x::ReadFuseClick() {
    if (!EnterProgramming()) return;
    ReadInstruction(0x58, 0x00, 0x00);
    Ep3.VccPin(0);
    Ep3.UsbReadReply();
    const std::uint8_t f = Ep3.UsbReplyBuf[0];
    Status("Fuse=" + Hex2(f));
    PutChecked("Lb1", !(f & 0x80));
    PutChecked("Lb2", !(f & 0x40));
    PutChecked("CheckBox1", !(f & 0x20));
    PutChecked("CheckBox2", !(f & 0x01));
}

void TAt90s2323x::WtFuseClick() {
    if (!EnterAndCheck()) return;
    Status("Fuse...");
    Instruction(0xAC, Ticked("CheckBox2") ? 0xBE : 0xBF, 0x00, 0x00);
    // The fuse write needs its time before the supplies go off.
    RowWriteWait();
    RowWriteWait();
    SuppliesOff();
    Success("OK!");
}

void TAt90s2323x::Button1Click() {
    Row();
    RunBatch(Steps(), [] { return false; }, false);
}

// ---- TAtiny2x ---------------------------------------------------------------------------------

TAtiny2x::TAtiny2x(Workbench& w) : AvrSpiForm(w, "ATiny26") {
    using namespace win;
    DeclareControls(Join({avr::SerialButtons("Button2"),
                          {Hidden(PushButton({"Button3", "Rst"}))},
                          avr::BatchGroup("GroupBox2", avr::StepBoxes()),
                          avr::LbBoxes("Lock位Lock(打勾编程为0)"),
                          avr::BoxGroup({"GroupBox1", "CFG Fuse(checked=0)  "}, 1,
                                        {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOPT", "PLLCK",
                                         "BODEN", "BODLEVER", "EESAVE", "SPIEN", "RSTDIS", "NO USED", "NO USED",
                                         "NO USED"},
                                        12),
                          {Label({"Label2", "RC校准Start at:"}), Edit({"Edit1"}, ""), avr::CalibrateButton()},
                          WindowFoot("Buffer nnnnh=Data(EEPROM)0000h   "),
                          {avr::ExitButton()}}),
                    this,
                    avr::Operations(this, {{"Button2", &TAtiny2x::ReadIdClick}, {"Button3", &TAtiny2x::Button3Click}}));
    FillRows();
}

void TAtiny2x::FillRows() {
    Rows = {
        {.Name = "Exit"},
        {.Name = "1: ATINY26 1kx16", .VccPin = 13, .GndPin = 14, .FlashLast = 0x7FF, .EepromLast = 0x7F,
         .FlashPage = 32, .WriteWaits = 6},
    };
}

std::string TAtiny2x::KeyError() const { return PackageError({20, 40}, "this form", "20 or 40"); }

void TAtiny2x::SetupForDevice() {
    FillRows();
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    AvrRow& r = Rows[static_cast<std::size_t>(wb.sel.VariantIndex)];
    // The contact masks are the package's pins: with none, the contact test
    // passes without testing and the mass-production wait never sees a chip
    // taken out, so a Run in mass production would end before its first pass.
    if (wb.sel.GetParam("pkg=") == 40) {
        Ep3.LoadBitFile("ATmeg161spi.bit");
        avr::SetPins(r, {.vcc = 40, .gnd = 20, .maskLo = 0x000E01E0u, .maskHi = 0x80u});  // 6-9, 18-20, 40
    } else {
        Ep3.LoadBitFile("ATdip20spi.bit");
        Ep3.ShowPlacementBitmap("atiny26.bmp");
        avr::SetPins(r, {.vcc = 13, .gnd = 14, .maskLo = 0xFFC3FF00u});  // 9-18, 23-32
    }
    SerialSetup();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    ShowNewImage(r, EepromNote::Add, [this, &r] { ShowAddress("Edit1", r.FlashLast - 3); });
    SetLevels(r, 4400, 0);
}

int TAtiny2x::EnterProgramming() {
    const AvrRow& r = Row();
    if (Ep3.CheckPinContact(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) == 0) return 0;
    Ep3.ControlLineLow(2);
    Ep3.VccPin(r.VccPin);
    if (EnableTries(true)) return 1;
    NoChip();
    return 0;
}

void TAtiny2x::WriteEepromByte(std::int32_t a, std::uint8_t d) {
    Instruction(0xC0, 0x00, static_cast<std::uint8_t>(a), d);
    RowWriteWait();
    RowWriteWait();
}

void TAtiny2x::WriteClick() {
    const AvrRow& r = Row();
    if (!BeginWrite("Write")) return;
    const std::int32_t page = r.FlashPage;
    for (std::int32_t p = 0; p <= r.FlashLast; p += page) {
        for (std::int32_t k = 0; k < page; k += 2) {
            const auto offset = static_cast<std::uint8_t>(k / 2);
            Instruction(0x40, 0x00, offset, *Image(p + k));
            Instruction(0x48, 0x00, offset, *Image(p + k + 1));
        }
        const std::uint32_t w = static_cast<std::uint32_t>(p) / 2;
        Instruction(0x4C, static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w), 0x00);
        RowWriteWait();
        ShowProgress(p);
        Ep3.UsbFlush();
    }
    ShowProgress(r.FlashLast);
    SuppliesOff();
    Success("OK");
}

void TAtiny2x::QueueLock(std::uint8_t lockByte) {
    // The ATtiny26 takes its lock bits from the fourth byte (bit 0 LB1, bit 1
    // LB2, the others written 1); the second byte's value is its instruction
    // code there. A zero fourth byte would program both bits whatever the boxes say.
    const auto bits = static_cast<std::uint8_t>(0xFC | ((lockByte >> 1) & 0x03));
    Instruction(0xAC, lockByte, 0x00, bits);
}

void TAtiny2x::ReadFuseClick() {
    if (!EnterProgramming()) return;
    ReadInstruction(0x50, 0x00, 0x00);
    Ep3.UsbReadReply();
    const std::uint8_t lo = Ep3.UsbReplyBuf[0];
    avr::BoxesFromByte(*this, 1, lo);
    ReadInstruction(0x58, 0x08, 0x00);
    Ep3.UsbReadReply();
    const std::uint8_t hi = Ep3.UsbReplyBuf[0];
    Status("Fuse=" + Hex2(hi) + "," + Hex2(lo));
    avr::BoxesFromByte(*this, 9, hi);
    Ep3.VccPin(0);
}

void TAtiny2x::WtFuseClick() {
    Status("Fuse...");
    const std::uint8_t lo = avr::ByteFromBoxes(*this, 1);
    if (!EnterAndCheck()) return;
    Instruction(0xAC, 0xA0, 0x00, lo);
    RowWriteWait();
    RowWriteWait();
    const std::uint8_t hi = avr::ByteFromBoxes(*this, 9);
    Instruction(0xAC, 0xA8, 0x00, hi);
    RowWriteWait();
    RowWriteWait();
    Ep3.VccPin(0);
    Success("OK!");
}

void TAtiny2x::RdCalibrateClick() {
    if (!EnterProgramming()) return;
    Status("读RC震荡校准...");
    for (int i = 0; i < 4; ++i) ReadInstruction(0x38, 0x00, static_cast<std::uint8_t>(i));
    SuppliesOff();
    Ep3.UsbReadReply();
    const auto& b = Ep3.UsbReplyBuf;
    Status("Calibration: " + Hex2(b[0]) + "," + Hex2(b[1]) + "," + Hex2(b[2]) + "," + Hex2(b[3]));
    const std::uint8_t bytes[4] = {b[0], b[1], b[2], b[3]};
    if (!StoreCalibration("Edit1", bytes)) StepFailed();
}

void TAtiny2x::Button1Click() {
    RunBatch(Steps(), NextChipOnRow());
}

QUILLA_FORM(TAt90s2323x);
QUILLA_FORM(TAtiny2x);

}  // namespace quilla
