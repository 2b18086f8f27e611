#include "algo/avr/at90s_pins.h"

#include <algorithm>
#include <cstdio>

#include "algo/avr/hv_form.h"
#include "app/workbench.h"
#include "catalog/form.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;

// ---- the frame -----------------------------------------------------------------------------------

namespace {

// The rows' pin maps (AvrRow::PinMap): the socket pins of RESET, RDY, OE, WR,
// BS1, XA0, XA1 and XTAL1 of the AT90S1200/2313 in DIP20, of the AT90S4414/8515
// and of the AT90S4434/8535 in DIP40.
constexpr std::array<int, 8> kAt90s1200Pins = {11, 13, 16, 17, 18, 19, 21, 15};
constexpr std::array<int, 8> kAt90s8515Pins = {9, 11, 12, 13, 14, 15, 16, 19};
constexpr std::array<int, 8> kAt90s8535Pins = {9, 15, 16, 17, 18, 19, 20, 28};

}  // namespace

AvrPinDrivenForm::AvrPinDrivenForm(Workbench& w, std::string caption, Variant v)
    : AvrParallelForm(w, std::move(caption)), v_(v) {}

ControlRows AvrPinDrivenForm::Window(const Look& look) {
    using namespace win;
    return Join({avr::ParallelButtons(look.write, "R.F/S "),
                 {Hidden(PushButton({"Button2", "Read ID "}))},
                 avr::BatchGroup("GroupBox2", avr::StepBoxes()),
                 {Radio({"RadioGroup1", "LockMode"}, look.lockModes, 0)},
                 avr::BoxGroup({"GroupBox1", look.fuseGroup}, 1, {"RCEN          ", "SPI          "}),
                 avr::Readouts(),
                 {Label({"Note", "Buffer nnnnh=Data(EEPROM)0000h   "}), avr::ExitButton()}});
}

std::uint8_t AvrPinDrivenForm::FuseFromBoxes() const {
    return static_cast<std::uint8_t>((Ticked("CheckBox1") ? 0 : 0x01) | (Ticked("CheckBox2") ? 0 : 0x20));
}

// ---- the pin-driven layer --------------------------------------------------------------------------

void AvrPinDrivenForm::PutDataByte(std::uint8_t b) {
    if (v_.vex310) Ep3.WriteLatch(0, b);
    else Ep3.UsbPut2(OpPutPort, b);
}

void AvrPinDrivenForm::IdleLines() {
    Set(kOe, false);
    Set(kWr, true);
    Set(kRdy, true);
    Ep3.SetPinOption(current_[kRdy], 1);
    Set(kXtal1, false);
    Set(kXa0, false);
    Set(kXa1, false);
}

bool AvrPinDrivenForm::EnterForReading() {
    if (!EnterAndCheck()) return false;
    SamplePort();
    return true;
}

void AvrPinDrivenForm::ReadLatch() { Ep3.UsbPut1(v_.vex310 ? OpCapturePort0 : OpSamplePort); }

void AvrPinDrivenForm::WaitReady() {
    Ep3.UsbPut4(OpSystem, SysReadyWait, static_cast<std::uint8_t>(current_[kRdy]), ReadyWaitArg);
}

void AvrPinDrivenForm::ReadFlashWord(std::int32_t a) {
    const std::uint32_t w = static_cast<std::uint32_t>(a) >> 1;
    DrivePort();
    StartCommand(hvcmd::ReadFlash);
    LoadAddressBytes(w, true);
    SamplePort();
    Set(kBs1, false);
    Set(kOe, false);
    ReadLatch();
    Set(kBs1, true);
    ReadLatch();
    Set(kOe, true);
    DrivePort();
}

void AvrPinDrivenForm::ReadEepromByte(std::int32_t a) {
    const AvrRow& r = Row();
    DrivePort();
    StartCommand(hvcmd::ReadEeprom);
    LoadAddressBytes(static_cast<std::uint32_t>(a), r.EepromLast > 255);
    SamplePort();
    Set(kBs1, false);
    Set(kOe, false);
    ReadLatch();
    Set(kOe, true);
    DrivePort();
}

void AvrPinDrivenForm::WriteFlashWord(std::int32_t a, std::uint16_t word) {
    const std::uint32_t w = static_cast<std::uint32_t>(a) >> 1;
    DrivePort();
    StartCommand(hvcmd::WriteFlash);
    LoadAddressBytes(w, true);
    Set(kBs1, false);
    LoadData(static_cast<std::uint8_t>(word & 0xFF));
    WrPulse();
    WaitReady();
    LoadData(static_cast<std::uint8_t>(word >> 8));
    Set(kBs1, true);
    WrPulse();
    WaitReady();
}

void AvrPinDrivenForm::WriteEepromByte(std::int32_t a, std::uint8_t b) {
    const AvrRow& r = Row();
    DrivePort();
    StartCommand(hvcmd::WriteEeprom);
    LoadAddressBytes(static_cast<std::uint32_t>(a), r.EepromLast > 255);
    if (r.EepromLast > 255) Set(kBs1, false);
    LoadData(b);
    WrPulse();
    for (int i = 0; i < 3; ++i) Ep3.UsbPut1(OpWait1ms);
}

bool AvrPinDrivenForm::ReadFuseLock(std::uint8_t& b) {
    if (!EnterProgramming()) return false;
    DrivePort();
    StartCommand(hvcmd::ReadFuseLock);
    Set(kBs1, true);
    Set(kOe, false);
    SamplePort();
    ReadLatch();
    Set(kOe, true);
    Ep3.VppPin(0);
    Ep3.UsbReadReply();
    b = Ep3.UsbReplyBuf[0];
    PutChecked("CheckBox1", !(b & 0x01));
    PutChecked("CheckBox2", !(b & 0x20));
    Choose("RadioGroup1", b >> 6);
    return true;
}

void AvrPinDrivenForm::WriteLockBits() {
    WriteCommandByte(hvcmd::WriteLock, LockFromMode());
    Ep3.VppPin(0);
}

bool AvrPinDrivenForm::EraseCore() {
    const AvrRow& r = Row();
    if (!EnterProgramming()) return false;
    Ep3.VppPin(r.VppPin);
    if (!Ep3.CheckCurrent()) return false;
    DrivePort();
    Set(kOe, true);
    LoadCommand(hvcmd::ChipErase);
    WrPulse();
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.UsbPut1(OpWaitSettle);
    SuppliesOff();
    return true;
}

void AvrPinDrivenForm::RdDataClick() {
    const AvrRow& r = Row();
    Status("Reading....");
    if (!EnterForReading()) return;
    ReadEepromIntoImage();
    ShowProgress(r.EepromLast);
    EndEepromRead();
}

void AvrPinDrivenForm::WrDataClick() { WriteEepromByByte(); }

void AvrPinDrivenForm::WriteFuseFromBoxes() {
    const std::uint8_t fuse = FuseFromBoxes();
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    WriteCommandByte(hvcmd::WriteFuse, fuse);
    SuppliesOff();
}

void AvrPinDrivenForm::ReadFuseClick() {
    // A refused entry reads nothing: no value is shown and no box changes.
    std::uint8_t b = 0;
    if (!ReadFuseLock(b)) return;
    char buf[16];
    std::snprintf(buf, sizeof buf, "Config=%02x", b);
    Status(buf);
}

void AvrPinDrivenForm::VerifyPass(const char* okText) {
    const AvrRow& r = Row();
    Status("Verify.");
    if (!EnterForReading()) return;
    Ep3.UsbFlush();
    if (!VerifyFlashBlocks(32)) return;
    wb.ErrorFlag() = 0;
    Success(okText);
    ShowProgress(r.FlashLast);
    SuppliesOff();
}

void AvrPinDrivenForm::WritePass(const char* status) {
    if (!BeginWrite(status)) return;
    WriteFlashWords(256);
    Success("End.");
    SuppliesOff();
}

// ---- TAT90sx ------------------------------------------------------------------------------------------

TAT90sx::TAT90sx(Workbench& w) : AvrPinDrivenForm(w, "AT90s ", Variant{.vex310 = false}) {
    DeclareControls(Window({.write = "Write.",
                            .fuseGroup = "Fuse(checked=0)  ",
                            .lockModes = {"No R/W   ", "No Wrt", "Inv. ", "NoLock"}}),
                    this, avr::Operations(this));
    FillRows();
}

void TAT90sx::FillRows() {
    Rows = {
        {.Name = "Exit"},
        {.Name = "1: AT90S1200", .VppPin = 11, .VccPin = 30, .GndPin = kGround, .FlashLast = 0x03FF,
         .EepromLast = 0x3F, .PinMap = kAt90s1200Pins},
        {.Name = "2: AT90S2312", .VppPin = 11, .VccPin = 30, .GndPin = kGround, .FlashLast = 0x07FF,
         .EepromLast = 0x7F, .PinMap = kAt90s1200Pins},
        {.Name = "2: AT90S4414", .VppPin = 9, .VccPin = 40, .GndPin = kGround, .FlashLast = 0x0FFF,
         .EepromLast = 0xFF, .PinMap = kAt90s8515Pins},
        {.Name = "2: AT90S8515", .VppPin = 9, .VccPin = 40, .GndPin = kGround, .FlashLast = 0x1FFF,
         .EepromLast = 0x1FF, .PinMap = kAt90s8515Pins},
    };
}

void TAT90sx::SetupForDevice() {
    FillRows();
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    const AvrRow& r = Row();
    Ep3.LoadBitFile("vex300.bit");
    wb.FileNew();
    PlaceEeprom(r);
    Ep3.SetVcc(4400);
    Ep3.SetVpp(12000);
    Put("Edit7", wb.sel.SelectedDevice);
    wb.Display();
    AlgoForm::Show();
}

int TAT90sx::EnterProgramming() {
    const AvrRow& r = Row();
    if (Ep3.CheckPinContact(kGround, 0, kMaskLo, 0, 0) == 0) return 0;
    UsePinMap(r);
    Ep3.SetAllPins(255);
    DrivePort();
    Ep3.GndPin(kGround);
    Ep3.VccPin(30);
    IdleLines();
    Ep3.VccPin(r.VccPin);
    Ep3.GndPin(kGround);
    Set(kReset, false);
    Set(kBs1, false);
    Ep3.VppPin(r.VppPin);
    Set(kReset, true);
    return 1;
}

void TAT90sx::ReadRom() {
    Row();
    Status("Reading..");
    if (!EnterForReading()) return;
    ReadFlashIntoImage();
    SuppliesOff();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TAT90sx::EraseClick() {
    Status("Erasing device.........");
    // A refused erase shows no "OK!": nothing was erased.
    if (!EraseCore()) return;
    Success("OK!");
    Success("OK!");
}

void TAT90sx::BlankClick() {
    const AvrRow& r = Row();
    Status("Blank CHK");
    if (!EnterForReading()) return;
    Ep3.UsbFlush();
    if (!BlankFlashBlocks(64)) return;
    wb.ErrorFlag() = 0;
    Success("Blank");
    Ep3.VppPin(0);  // VCC stays connected
    ShowProgress(r.FlashLast);
}

void TAT90sx::VerifyClick() { VerifyPass("OK!!!"); }

void TAT90sx::WriteClick() { WritePass("Write"); }

void TAT90sx::WtFuseClick() {
    Status("Wrt.Fuse.");
    WriteFuseFromBoxes();
}

void TAT90sx::SecrityClick() {
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    WriteLockBits();
    Success("OK");
    Ep3.VccPin(0);
}

void TAT90sx::Button1Click() {
    RunBatch(Steps(), [this] { return Ep3.WaitNextChip(kGround, 0, kMaskLo, 0, 0) != 0; });
}

// ---- TAt90s8515x_vex310 ---------------------------------------------------------------------------------

const char* const TAt90s8515x_vex310::WiringMessage =
    "-------Modify the chip as bellow:--------\n\n"
    "ZIF         Chip   | ZIF          Chip \n"
    "Pin1    to   Pin1   | Pin40   to   Pin10\n"
    "Pin2    to   Pin2   | Pin20   to   Pin11\n"
    "Pin3    to   Pin3   | Pin11   to   Pin15\n"
    "Pin4    to   Pin4   | Pin12   to   Pin16\n"
    "Pin5    to   Pin5   | Pin13   to   Pin17\n"
    "Pin6    to   Pin6   | Pin14   to   Pin18\n"
    "Pin7    to   Pin7   | Pin15   to   Pin19\n"
    "Pin8    to   Pin8   | Pin16   to   Pin20\n"
    "Pin9    to   Pin9   | Pin19   to   Pin13\n"
    "(PIN 1 ON HANDLE) \n";

TAt90s8515x_vex310::TAt90s8515x_vex310(Workbench& w)
    : AvrPinDrivenForm(w, "AT90s8515", Variant{.vex310 = true}) {
    DeclareControls(Window({.write = "Write ",
                            .fuseGroup = "Fuse",
                            .lockModes = {"Lock+No R/W   ", "Lock+No W  ", "Inv. ", "NoLock"}}),
                    this, avr::Operations(this));
    FillRows();
}

void TAt90s8515x_vex310::FillRows() {
    Rows = {
        {.Name = "Exit"},
        {.Name = "1: AT90S4414", .VppPin = 9, .VccPin = 40, .GndPin = 20, .FlashLast = 0x0FFF, .EepromLast = 0xFF,
         .PinMap = kAt90s8515Pins},
        {.Name = "2: AT90S8515", .VppPin = 9, .VccPin = 40, .GndPin = 20, .FlashLast = 0x1FFF, .EepromLast = 0x1FF,
         .PinMap = kAt90s8515Pins},
        {.Name = "3: AT90S4434", .VppPin = 9, .VccPin = 30, .GndPin = 11, .FlashLast = 0x0FFF, .EepromLast = 0xFF,
         .PinMap = kAt90s8535Pins},
        {.Name = "4: AT90S8535", .VppPin = 9, .VccPin = 30, .GndPin = 11, .FlashLast = 0x1FFF, .EepromLast = 0x1FF,
         .PinMap = kAt90s8535Pins},
    };
}

void TAt90s8515x_vex310::SetupForDevice() {
    FillRows();
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    const AvrRow& r = Row();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    ShowNewImage(r);
    if (wb.sel.ExpectedId[0] == 2) wb.prompts.ShowMessage(WiringMessage);
    SetLevels(r, 5500, 12000);
}

int TAt90s8515x_vex310::EnterProgramming() {
    const AvrRow& r = Row();
    Ep3.GndPin(r.GndPin);
    Ep3.SetVcc(5500);
    Ep3.SetVpp(12000);
    UsePinMap(r);
    DrivePort();
    Ep3.VccPin(r.VccPin);
    IdleLines();
    Set(kReset, false);
    Set(kBs1, false);
    Ep3.UsbPut1(OpWaitPulse);
    Ep3.VppPin(r.VppPin);
    Set(kReset, true);
    Ep3.UsbPut1(OpWait100ms);
    Ep3.UsbFlush();
    return 1;
}

void TAt90s8515x_vex310::ReadRom() {
    Row();
    Status("Reading..");
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    ReadFlashIntoImage();
    std::uint8_t b = 0;
    ReadFuseLock(b);
    Ep3.VccPin(0);
    Success("Data in buffer..");
    wb.Display();
    AlgoForm::Show();
}

void TAt90s8515x_vex310::EraseClick() {
    Status("Erasing");
    // A refused erase shows no "End.": nothing was erased.
    if (!EraseCore()) return;
    SuppliesOff();
    Success("End.");
}

void TAt90s8515x_vex310::BlankClick() {
    const AvrRow& r = Row();
    if (!EnterForReading()) return;
    Ep3.UsbFlush();
    // A chip not blank ends with both supplies off, as every failure does; a
    // blank one keeps VCC connected for the next operation.
    if (BlankFlashBlocks(64)) {
        wb.ErrorFlag() = 0;
        Success("Blank");
        Ep3.VppPin(0);
    }
    ShowProgress(r.FlashLast);
}

void TAt90s8515x_vex310::VerifyClick() { VerifyPass("Data OK.."); }

void TAt90s8515x_vex310::WriteClick() { WritePass("Writing.."); }

void TAt90s8515x_vex310::WtFuseClick() { WriteFuseFromBoxes(); }

void TAt90s8515x_vex310::SecrityClick() {
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    if (!EnterProgramming()) return;
    WriteLockBits();
    Success("OK");
    Ep3.VccPin(0);
}

void TAt90s8515x_vex310::Button1Click() { RunBatch(Steps(), [] { return false; }, false); }

QUILLA_FORM(TAT90sx);
QUILLA_FORM(TAt90s8515x_vex310);

}  // namespace quilla
