#include "algo/avr/atmega.h"

#include <cstdio>

#include "app/numparse.h"
#include "app/workbench.h"
#include "catalog/form.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;

TAtmegax::TAtmegax(Workbench& w)
    : AvrHvForm(w, "ATmega", HvVariant{.settled = false, .prepareBeforeDirection = false, .flushPerWord = true}) {
    using namespace win;
    DeclareControls(
        Join({avr::ParallelButtons("Write.", "R.Fuse "),
              {PushButton({"Button2", "Read ID "}), avr::CalibrateButton()},
              avr::BatchGroup("GroupBox1", Join({{avr::CalibrateBox()}, avr::StepBoxes()})),
              avr::BoxGroup({"GroupBox2", "CFG Fuse(checked=0)  "}, 1,
                            {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEV", "BOOTRST",
                             "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "WDTON", "RSTDISBL"}),
              avr::LockBoxes(8),
              {avr::SpeedBox(), Edit({"Edit1", "存放RC校准的Add :"}, ""),
               Combo({"ComboBox1", "校准频率 "}, {"1MH", "2MH", "4MH", "8MH"}, 0), ReadOnly(Edit({"Edit7"}, ""))},
              avr::MegaReadouts(),
              {avr::ExitButton()}}),
        this, avr::Operations(this, {{"Button2", &TAtmegax::Button2Click}}));
    FillRows();
}

void TAtmegax::FillRows() {
    Rows = {
        {.Name = "Exit"},
        {.Name = "1: ATmega8 4kx16", .VppPin = 7, .VccPin = 13, .GndPin = 14, .FlashLast = 0x1FFF,
         .EepromLast = 0x1FF, .EepromPage = 4, .FlashPage = 64, .MaskLo = 0xFFFFFFC0u, .MaskHi = 0x03},
        {.Name = "2: ATmega16 8kx16", .VppPin = 29, .VccPin = 30, .GndPin = 31, .FlashLast = 0x3FFF,
         .EepromLast = 0x1FF, .EepromPage = 4, .FlashPage = 128, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFF},
        {.Name = "3: ATmega32 16kx16", .VppPin = 29, .VccPin = 30, .GndPin = 31, .FlashLast = 0x7FFF,
         .EepromLast = 0x3FF, .EepromPage = 4, .FlashPage = 128, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFF},
        {.Name = "4: ATmega64*TQFP 32kx16", .VppPin = 29, .VccPin = 30, .GndPin = 31, .FlashLast = 0xFFFF,
         .EepromLast = 0x7FF, .EepromPage = 8, .FlashPage = 256},
        {.Name = "5: ATmega128*TQFP 64kx16", .VppPin = 29, .VccPin = 30, .GndPin = 31, .FlashLast = 0x1FFFF,
         .EepromLast = 0xFFF, .EepromPage = 8, .FlashPage = 256},
        {.Name = "6: AT90S8515", .VppPin = 9, .VccPin = 40, .GndPin = 20, .FlashLast = 0x1FFF,
         .EepromLast = 0x1FF, .EepromPage = 4, .FlashPage = 64, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFF},
        {.Name = "7: AT90S8535", .VppPin = 29, .VccPin = 30, .GndPin = 31, .FlashLast = 0x1FFF,
         .EepromLast = 0x1FF, .EepromPage = 4, .FlashPage = 64, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFF},
    };
}

std::string TAtmegax::KeyError() const {
    return PackageError({0, 28, 40, 41, 44, 50}, "ATMEGAX", "28, 40, 41, 44 or 50");
}

int TAtmegax::PageWaits() const { return SpeedText() == "Fast写" ? 5 : 10; }

void TAtmegax::SetupForDevice() {
    FillRows();
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    AvrRow& r = Rows[static_cast<std::size_t>(wb.sel.VariantIndex)];
    avr::ShowPackagePicture(Ep3, wb.sel.TypeText);
    switch (wb.sel.GetParam("pkg=")) {
        case 28:
            Ep3.LoadBitFile("atmega8dip28.bit");
            break;
        case 41:
            Ep3.LoadBitFile("at90s8535dip40.bit");
            Ep3.ShowPlacementBitmap("at90s8535dip48.bmp");
            break;
        case 44:
            Ep3.LoadBitFile("at90s8515plcc44.bit");
            avr::SetPins(r, {.vpp = 8, .vcc = 42, .gnd = 20, .maskLo = 0x7FEFFDFFu, .maskHi = 0x83FF});
            break;
        case 50:
            Ep3.LoadBitFile("at90s8535plcc44.bit");
            avr::SetPins(r, {.vpp = 8, .vcc = 42, .gnd = 10});
            break;
        default:  // 0 or 40
            Ep3.LoadBitFile("at90s8515dip40.bit");
            break;
    }
    const int v = wb.sel.VariantIndex;
    PutCaption("CheckBox15", v == 2 || v == 3 ? "JTAGEN" : "WDTON");
    PutCaption("CheckBox16", v == 2 || v == 3 ? "OCDEN" : v == 6 ? "S8515C" : v == 7 ? "S8535C" : "RSTDISBL");
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    ShowNewImage(r, EepromNote::Buffer, [this, &r] { ShowAddress("Edit1", r.FlashLast); });
    SetLevels(r, 4400, 12000);
}

std::uint8_t TAtmegax::FuseLowFromBoxes() const { return avr::ByteFromBoxes(*this, 1); }
std::uint8_t TAtmegax::FuseHighFromBoxes() const { return avr::ByteFromBoxes(*this, 9); }
std::uint8_t TAtmegax::LockFromBoxes() const { return avr::ByteFromBoxes(*this, 17) & 0x3F; }

// ---- reads ------------------------------------------------------------------------------------

// ---- writes -----------------------------------------------------------------------------------

void TAtmegax::WriteClick() {
    Row();
    if (!BeginWrite("写Flash...")) return;
    WritePagesAfterEntry(PageWaits());
}

void TAtmegax::RdDataClick() { ReadEepromPass(false); }

void TAtmegax::WrDataClick() {
    const AvrRow& r = Row();
    if (!RequireFileWindow()) return;
    Status("Writing ...");
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    SetProgress("RdBar", 0, r.EepromLast, 0);
    ProgramEepromPages(PageWaits());
    Ep3.UsbFlush();
    ShowProgress(r.EepromLast);
    SetProgress("RdBar", 0, r.FlashLast, r.FlashLast);
    Success("OK");
    SuppliesOff();
}

void TAtmegax::WtFuseClick() {
    const std::uint8_t low = FuseLowFromBoxes();
    const std::uint8_t high = FuseHighFromBoxes();
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    WriteFuse(low, false);
    Ep3.UsbPut1(OpWait100ms);
    WriteFuse(high, true);
    SuppliesOff();
    Success("Fuse OK!");
}

void TAtmegax::ReadFuseClick() {
    if (!EnterProgramming()) return;
    ReadFuseLockBytes();
    SuppliesOff();
    Ep3.UsbReadReply();
    const auto& b = Ep3.UsbReplyBuf;
    char buf[80];
    std::snprintf(buf, sizeof buf, "Fuse low=%02x,  Fuse Hi=%02x,  Lock=%02x", b[0], b[1], b[2]);
    Status(buf);
}

void TAtmegax::SecrityClick() { WriteLockPass(LockFromBoxes()); }

void TAtmegax::Button2Click() {
    if (!EnterProgramming()) return;
    ReadId();
}

void TAtmegax::RdCalibrateClick() {
    if (!EnterProgramming()) return;
    Status("读RC震荡校准...");
    const std::string freq = Text("ComboBox1");
    int index = 0;
    switch (freq.empty() ? '\0' : freq[0]) {
        case '2': index = 1; break;
        case '4': index = 2; break;
        case '8': index = 3; break;
        default: break;
    }
    if (!EnterProgramming()) return;
    ReadCalibrationByte(index);
    SuppliesOff();
    Ep3.UsbPut1(OpWait100ms);
    Ep3.UsbReadReply();
    const std::uint8_t cal = Ep3.UsbReplyBuf[0];
    char buf[64];
    std::snprintf(buf, sizeof buf, "Calibration(%s): %02x", freq.c_str(), cal);
    Status(buf);
    const std::uint8_t bytes[1] = {cal};
    StoreCalibration("Edit1", bytes);
}

void TAtmegax::Button1Click() {
    RunBatch(Steps(), NextChipOnRow());
}

QUILLA_FORM(TAtmegax);

}  // namespace quilla
