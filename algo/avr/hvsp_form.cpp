#include "algo/avr/hvsp_form.h"

#include <algorithm>
#include <cstdio>

#include "algo/common/scan.h"
#include "app/workbench.h"
#include "catalog/form.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kHold = 4, kFrame = 5;  // control lines of the 12 V serial designs
// Contact masks: socket pins 11-14 and 27-30; for rule 12 the VCC and GND pins 30 and 14.
constexpr std::uint32_t kMaskLo = 0x3C003C00u;
constexpr std::uint32_t kSupplyMaskLo = (1u << (30 - 1)) | (1u << (14 - 1));

}  // namespace

AvrHvspForm::AvrHvspForm(Workbench& w, std::string caption) : AvrSerialForm(w, std::move(caption), {2, 8}) {}

// ---- the layer ---------------------------------------------------------------------------------

void AvrHvspForm::HvspInstruction(std::uint8_t sdi, std::uint8_t sii) {
    const AvrRow* r = SelectedRow();
    Ep3.ControlLineLow(kFrame);
    Ep3.WriteLatch(0, sii);
    Ep3.WriteLatch(1, sdi);
    Ep3.ControlLineHigh(kFrame);
    for (int i = 0; r && i < r->InstructionWaits; ++i) Ep3.UsbPut1(OpWaitPulse);
    Ep3.ControlLineLow(kFrame);
}

int AvrHvspForm::EnterProgramming() {
    const AvrRow& r = Row();
    if (Ep3.CheckPinContact(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) == 0) return 0;
    Ep3.ControlLineLow(kFrame);
    Ep3.ControlLineLow(kHold);
    Ep3.WriteLatch(0, 0);
    Ep3.WriteLatch(1, 0);
    Ep3.VccPin(r.VccPin);
    Ep3.VppPin(r.VppPin);
    return 1;
}

void AvrHvspForm::HvspReadByte() { Ep3.UsbPut1(OpCapturePort1); }

void AvrHvspForm::ReadFlashWord(std::int32_t a) {
    const std::uint32_t w = static_cast<std::uint32_t>(a) >> 1;
    HvspInstruction(0x02, 0x4C);
    HvspInstruction(static_cast<std::uint8_t>(w >> 8), 0x1C);
    HvspInstruction(static_cast<std::uint8_t>(w), 0x0C);
    HvspInstruction(0x00, 0x68);
    HvspInstruction(0x00, 0x6C);
    HvspReadByte();
    HvspInstruction(0x00, 0x78);
    HvspInstruction(0x00, 0x7C);
    HvspReadByte();
}

void AvrHvspForm::WriteFlashWord(std::int32_t a, std::uint16_t word) {
    const std::uint32_t w = static_cast<std::uint32_t>(a) >> 1;
    HvspInstruction(0x10, 0x4C);
    HvspInstruction(static_cast<std::uint8_t>(w >> 8), 0x1C);
    HvspInstruction(static_cast<std::uint8_t>(w), 0x0C);
    HvspInstruction(static_cast<std::uint8_t>(word & 0xFF), 0x2C);
    HvspInstruction(0x00, 0x64);
    HvspInstruction(0x00, 0x6C);
    RowWriteWait();
    HvspInstruction(static_cast<std::uint8_t>(word >> 8), 0x3C);
    HvspInstruction(0x00, 0x74);
    HvspInstruction(0x00, 0x7C);
    RowWriteWait();
}

void AvrHvspForm::ReadEepromByte(std::int32_t a) {
    HvspInstruction(0x03, 0x4C);
    HvspInstruction(static_cast<std::uint8_t>(a), 0x0C);
    HvspInstruction(0x00, 0x68);
    HvspInstruction(0x00, 0x6C);
    HvspReadByte();
}

void AvrHvspForm::WriteEepromByte(std::int32_t a, std::uint8_t d) {
    HvspInstruction(0x11, 0x4C);
    HvspInstruction(static_cast<std::uint8_t>(a), 0x0C);
    HvspInstruction(d, 0x2C);
    HvspInstruction(0x00, 0x64);
    HvspInstruction(0x00, 0x6C);
    RowWriteWait();
    RowWriteWait();
}

void AvrHvspForm::ReadSignatureByte(int i) {
    HvspInstruction(0x08, 0x4C);
    HvspInstruction(static_cast<std::uint8_t>(i), 0x0C);
    HvspInstruction(0x00, 0x68);
    HvspInstruction(0x00, 0x6C);
    HvspReadByte();
}

bool AvrHvspForm::ReadyForCheck() {
    const AvrRow& r = Row();
    if (ContactPresent(r.GndPin, kSupplyMaskLo, 0)) return true;
    wb.ErrorFlag() = 1;
    Refuse("No chip answers.");
}

// ---- setup ------------------------------------------------------------------------------------------

void AvrHvspForm::SetupForDevice() {
    FillRows();
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    const AvrRow& r = Rows[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.LoadBitFile(r.Design);
    Ep3.ShowPlacementBitmap("atiny12.bmp");
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    ShowNewImage(r, EepromNote::Add, [this, &r] { SetupExtras(r); });
    SetLevels(r, 4400, 12000);
    const auto captions = FuseCaptions(r.FuseGroup);
    for (int k = 1; k <= 8 && Has(avr::Box(k)); ++k)
        PutCaption(avr::Box(k), captions[static_cast<std::size_t>(k - 1)]);
}

// ---- handlers --------------------------------------------------------------------------------------

void AvrHvspForm::QueueChipErase() {
    HvspInstruction(0x80, 0x4C);
    HvspInstruction(0x00, 0x64);
    HvspInstruction(0x00, 0x6C);
}

void AvrHvspForm::ReadFuseClick() {
    if (!EnterProgramming()) return;
    HvspInstruction(0x04, 0x4C);
    HvspInstruction(0x00, 0x68);
    HvspInstruction(0x00, 0x6C);
    HvspReadByte();
    SuppliesOff();
    Ep3.UsbReadReply();
    const std::uint8_t f = Ep3.UsbReplyBuf[0];
    Status("Fuse=" + Hex2(f));
    for (int k = 1; k <= 8 && Has(avr::Box(k)); ++k) PutChecked(avr::Box(k), !(f & (1u << (k - 1))));
}

void AvrHvspForm::WtFuseClick() {
    if (!EnterAndCheck()) return;
    Status("Fuse...");
    HvspInstruction(0x40, 0x4C);
    HvspInstruction(FuseByte(), 0x2C);
    HvspInstruction(0x00, 0x64);
    HvspInstruction(0x00, 0x6C);
    RowWriteWait();
    RowWriteWait();
    SuppliesOff();
    Success("OK!");
}

void AvrHvspForm::SecrityClick() {
    if (!EnterAndCheck()) return;
    HvspInstruction(0x20, 0x4C);
    HvspInstruction(LockBitsFromBoxes(), 0x2C);
    HvspInstruction(0x00, 0x64);
    HvspInstruction(0x00, 0x6C);
    RowWriteWait();
    RowWriteWait();
    SuppliesOff();
    Success("OK");
}

// ---- TAtiny1x ----------------------------------------------------------------------------------------

TAtiny1x::TAtiny1x(Workbench& w) : AvrHvspForm(w, "ATiny11,12,15") {
    using namespace win;
    // The fuse boxes are captioned by the row at setup.
    DeclareControls(Join({avr::SerialButtons("ID"),
                          avr::BatchGroup("GroupBox2", Join({avr::StepBoxes(), {avr::CalibrateBox()}})),
                          avr::LbBoxes("Lock(打勾编程为0)"),
                          avr::BoxGroup({"GroupBox1", "Fuse(checked=0)  "}, 1, {"", "", "", "", "", "", "", ""}, 6),
                          WindowFoot("EEPROMAdd ："),
                          {Label({"Label2", "RC校准Start at:"}), Edit({"Edit1"}, ""), avr::CalibrateButton()}}),
                    this, avr::Operations(this, {{"ID", &TAtiny1x::ReadIdClick}}));
    FillRows();
}

void TAtiny1x::FillRows() {
    // The three chips differ in their fuse captions, their waits in each frame and their design.
    const auto row = [](const char* name, int fuseGroup, int instructionWaits, const char* design) {
        return AvrRow{.Name = name, .VppPin = 11, .VccPin = 30, .GndPin = 14, .FlashLast = 0x3FF, .EepromLast = 0x3F,
                      .MaskLo = kMaskLo, .WriteWaits = 4, .FuseGroup = fuseGroup,
                      .InstructionWaits = instructionWaits, .Design = design};
    };
    Rows = {
        {.Name = "Exit"},
        row("1: ATiny11", 0, 0, "Atiny12.bit"),
        row("2: ATiny12", 1, 0, "Atiny12.bit"),
        row("3: ATiny15", 2, 2, "Atiny15.bit"),
    };
}

std::array<const char*, 8> TAtiny1x::FuseCaptions(int group) const {
    static constexpr std::array<std::array<const char*, 8>, 3> kTable{{
        {"CKSEL0", "CKSEL1", "CKSEL2", "RSTDSBL", "FSTRT", "-", "-", "-"},
        {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "RSTDSBL", "SPIEN", "BODEN", "BODLEVEL"},
        {"CKSEL0", "CKSEL1", "-", "-", "RSTDSBL", "SPIEN", "BODEN", "BODLEVEL"},
    }};
    return kTable[static_cast<std::size_t>(std::clamp(group, 0, 2))];
}

void TAtiny1x::SetupExtras(const AvrRow& r) { ShowAddress("Edit1", r.FlashLast); }

std::uint8_t TAtiny1x::FuseByte() const { return avr::ByteFromBoxes(*this, 1); }

void TAtiny1x::RdCalibrateClick() {
    if (!EnterProgramming()) return;
    Status("读RC震荡校准...");
    HvspInstruction(0x08, 0x4C);
    HvspInstruction(0x00, 0x0C);
    HvspInstruction(0x00, 0x78);
    HvspInstruction(0x00, 0x7C);
    Ep3.UsbFlush();
    HvspReadByte();
    SuppliesOff();
    Ep3.UsbReadReply();
    const std::uint8_t cal = Ep3.UsbReplyBuf[0];
    Status("Calibration: " + Hex2(cal));
    const std::uint8_t bytes[1] = {cal};
    // A refused address ends a Run's pass (it is not cleared by the steps after it).
    if (!StoreCalibration("Edit1", bytes)) StepFailed();
}

void TAtiny1x::Button1Click() {
    RunBatch(Steps(), NextChipOnRow());
}

// ---- TAt90s2323Hix --------------------------------------------------------------------------------------

TAt90s2323Hix::TAt90s2323Hix(Workbench& w) : AvrHvspForm(w, "2323/2343 12v") {
    using namespace win;
    DeclareControls(Join({With(avr::SerialButtons("ID"), "ReadFuse", Hidden),
                          avr::BatchGroup("GroupBox2", avr::StepBoxes()),
                          avr::LbBoxes("Lock(打勾编程为0)"),
                          avr::BoxGroup({"GroupBox1", "Fuse(checked=0)  "}, 1, {"", ""}),
                          WindowFoot("EEPROMAdd ：")}),
                    this, avr::Operations(this, {{"ID", &TAt90s2323Hix::ReadIdClick}}));
    FillRows();
}

void TAt90s2323Hix::FillRows() {
    Rows = {
        {.Name = "Exit"},
        {.Name = "1: AT90S2323", .VppPin = 11, .VccPin = 30, .GndPin = 14, .FlashLast = 0x7FF,
         .EepromLast = 0x7F, .MaskLo = kMaskLo, .WriteWaits = 4, .Design = "Atiny12.bit"},
        {.Name = "2: AT90S2343", .VppPin = 11, .VccPin = 30, .GndPin = 14, .FlashLast = 0x7FF,
         .EepromLast = 0x7F, .MaskLo = kMaskLo, .WriteWaits = 4, .FuseGroup = 1, .Design = "Atiny12.bit"},
    };
}

std::array<const char*, 8> TAt90s2323Hix::FuseCaptions(int group) const {
    if (group == 1) return {"SPIEN", "RCEN 内部RC", "-", "-", "-", "-", "-", "-"};
    return {"SPIEN", "FSTRT", "-", "-", "-", "-", "-", "-"};
}

std::uint8_t TAt90s2323Hix::FuseByte() const {
    std::uint8_t b = 0xFF;
    if (Ticked("CheckBox1")) b = static_cast<std::uint8_t>(b & ~0x20);
    if (Ticked("CheckBox2")) b = static_cast<std::uint8_t>(b & ~0x01);
    return b;
}

void TAt90s2323Hix::Button1Click() {
    Row();
    RunBatch(Steps(), [] { return false; }, false);
}

QUILLA_FORM(TAtiny1x);
QUILLA_FORM(TAt90s2323Hix);

}  // namespace quilla
