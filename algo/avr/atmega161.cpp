#include "algo/avr/atmega161.h"

#include <cstdio>

#include "app/workbench.h"
#include "catalog/form.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;
using namespace hvline;

namespace {

constexpr HvVariant kSettled161{.settled = true, .prepareBeforeDirection = true, .flushPerWord = false,
                                .entry = HvVariant::Entry::Mega161};
constexpr HvVariant kSettled163{.settled = true, .prepareBeforeDirection = true, .flushPerWord = false,
                                .entry = HvVariant::Entry::Mega163};

}  // namespace

// ---- the shared frame of the three forms ---------------------------------------------------------

TAtmega16xForm::TAtmega16xForm(Workbench& w, std::string caption, HvVariant variant)
    : AvrHvForm(w, std::move(caption), variant) {}

void TAtmega16xForm::FillRows() {
    Rows = {
        {.Name = "Exit"},
        {.Name = "1: ATmega161 8kx16", .VppPin = 9, .VccPin = 40, .GndPin = 20, .FlashLast = 0x3FFF,
         .EepromLast = 0x1FF, .FlashPage = 128, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFF},
        {.Name = "2: ATmega162 8kx16", .VppPin = 9, .VccPin = 40, .GndPin = 20, .FlashLast = 0x3FFF,
         .EepromLast = 0x1FF, .FlashPage = 128, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFF},
        {.Name = "3: ATmega163 8kx16", .VppPin = 29, .VccPin = 30, .GndPin = 31, .FlashLast = 0x3FFF,
         .EepromLast = 0x1FF, .FlashPage = 128, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFF},
    };
}

ControlRows TAtmega16xForm::WindowHead(const char* id) {
    return win::Join({avr::ParallelButtons("Write.", "R.Fuse "),
                      {win::PushButton({id, "Read ID "})},
                      avr::BatchGroup("GroupBox1", avr::StepBoxes())});
}

int TAtmega16xForm::PageWaits() const { return SpeedText() == "Fast写" ? 20 : 30; }

bool TAtmega16xForm::LockByte(std::uint8_t& lock) {
    lock = avr::ByteFromBoxes(*this, 17) & 0x3F;
    return true;
}

void TAtmega16xForm::SetupPlcc44OrDip40() {
    SetupAt90s8515Socket(Rows[static_cast<std::size_t>(wb.sel.VariantIndex)]);
}

void TAtmega16xForm::SetupCommon(bool typeNum) {
    const AvrRow& r = Rows[static_cast<std::size_t>(wb.sel.VariantIndex)];
    wb.FileNew();
    PlaceEeprom(r);
    if (typeNum) Put("TypeNum", wb.sel.SelectedDevice);
    wb.Display();
    AlgoForm::Show();
    SetLevels(r, 4400, 12000);
}

void TAtmega16xForm::WriteClick() {
    Row();
    if (!RequireFileWindow()) return;
    Status("Write");
    if (!EnterProgramming()) return;
    VccForWriting();
    if (!Ep3.CheckCurrent()) return;
    WritePagesAfterEntry(PageWaits());
}

void TAtmega16xForm::EraseClick() {
    const AvrRow& r = Row();
    if (!EnterProgramming()) return;
    Ep3.VppPin(r.VppPin);
    VccForWriting();
    if (!Ep3.CheckCurrent()) return;
    Status("Erasing");
    DataDirection(0);
    LineHigh(OE);
    for (int i = 0; i < 3; ++i) ReadSignatureByte(i);
    Ep3.UsbReadReply();  // the bytes are not used
    LineLow(Direction);
    LineHigh(OE);
    LoadCommand(hvcmd::ChipErase);
    WrPulse();
    Ep3.UsbPut1(OpWait100ms);
    LineLow(OE);
    SuppliesOff();
    Success("Erase OK");
}

void TAtmega16xForm::RdDataClick() { ReadEepromPass(false); }

bool TAtmega16xForm::WriteFuseByte(std::uint8_t b, bool bs1, bool bs2, bool checkCurrent, bool last) {
    if (!EnterProgramming()) return false;
    VccForWriting();
    if (checkCurrent && !Ep3.CheckCurrent()) return false;
    Status("Fuse...");
    DataDirection(0);
    LineHigh(OE);
    LoadCommand(hvcmd::WriteFuse);
    LoadData(b);
    bs2 ? LineHigh(BS2) : LineLow(BS2);
    bs1 ? LineHigh(BS1) : LineLow(BS1);
    WrPulse();
    WriteWait();
    if (last) Ep3.UsbPut1(OpWait100ms);
    LineLow(OE);
    if (last) LineLow(BS2);
    SuppliesOff();
    return true;
}

bool TAtmega16xForm::BeginFuseRead() {
    if (!EnterProgramming()) return false;
    VccForReading();
    StartFuseRead(true);
    return true;
}

void TAtmega16xForm::WriteEeprom(const AvrRow& r, bool progressBefore) {
    SetProgress("RdBar", 0, r.EepromLast, 0);
    if (r.EepromPage > 0) {
        // A paged EEPROM takes its data through the page buffer only.
        ProgramEepromPages(PageWaits());
        Ep3.UsbFlush();
        return;
    }
    for (std::int32_t i = 0; i <= r.EepromLast; ++i) {
        if (progressBefore) SetProgress("RdBar", 0, r.EepromLast, i);
        WriteEepromByte(i, *Image(EepromOffset + i));
        if ((i & 0xFF) == 0) Ep3.UsbFlush();
        if (!progressBefore) SetProgress("RdBar", 0, r.EepromLast, i);
    }
    Ep3.UsbFlush();
}

void TAtmega16xForm::WrDataClick() {
    const AvrRow& r = Row();
    Status("Writing ...");
    if (!EnterProgramming()) return;
    VccForWriting();
    if (!Ep3.CheckCurrent()) return;
    WriteEeprom(r, true);
    Success("OK");
    SuppliesOff();
}

void TAtmega16xForm::SecrityClick() {
    std::uint8_t lock = 0;
    if (!EnterProgramming()) return;
    VccForWriting();
    if (!Ep3.CheckCurrent()) return;
    if (!LockByte(lock)) {
        SuppliesOff();
        return;
    }
    WriteLockPass(lock);
}

void TAtmega16xForm::ReadIDClick() {
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    ReadId();
}

void TAtmega16xForm::Button1Click() {
    RunBatch(Steps(), NextChipOnRow());
}

// ---- TAtmega161x ----------------------------------------------------------------------------------

TAtmega161x::TAtmega161x(Workbench& w) : TAtmega161x(w, "ATmeg161/L", kSettled161) {
    using namespace win;
    DeclareControls(Join({WindowHead("ReadID"),
                          avr::BoxGroup({"GroupBox2", "CFG Fuse(checked=0)  "}, 1,
                                        {"CKSEL0", "CKSEL1", "CKSEL2", "no used", "SUT", "SPIEN", "BOOTRST",
                                         "no used"}),
                          avr::LockBoxes(6),
                          {avr::SpeedBox(), ReadOnly(Edit({"TypeNum"}, ""))},
                          avr::MegaReadouts(),
                          {avr::ExitButton()}}),
                    this, avr::Operations(this, {{"ReadID", &TAtmega161x::ReadIDClick}}));
}

TAtmega161x::TAtmega161x(Workbench& w, std::string caption, HvVariant variant)
    : TAtmega16xForm(w, std::move(caption), variant) {
    FillRows();
}

void TAtmega161x::SetupForDevice() {
    FillRows();
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    SetupPlcc44OrDip40();
    ProgramVccMv = 4400;
    ReadVccMv = 3300;
    SetupCommon(true);
}

void TAtmega161x::WtFuseClick() {
    if (!WriteFuseByte(avr::ByteFromBoxes(*this, 1), false, false, true, false)) return;
    Success("OK!");
}

void TAtmega161x::ReadFuseClick() {
    if (!BeginFuseRead()) return;
    Ep3.UsbFlush();
    ReadLatch();  // the fuse byte
    LineHigh(BS1);
    LineLow(BS2);
    Ep3.UsbFlush();
    ReadLatch();  // the lock byte
    LineHigh(OE);
    SuppliesOff();
    Ep3.UsbReadReply();
    const std::uint8_t fuse = Ep3.UsbReplyBuf[0], lock = Ep3.UsbReplyBuf[1];
    char buf[40];
    std::snprintf(buf, sizeof buf, "Fuse=%02x,Lock=%02x", fuse, lock);
    Status(buf);
    avr::BoxesFromByte(*this, 1, fuse);
    avr::BoxesFromByte(*this, 17, lock, 6);
}

// ---- TAtmega163x ----------------------------------------------------------------------------------

TAtmega163x::TAtmega163x(Workbench& w) : TAtmega16xForm(w, "ATmeg163", kSettled163) {
    using namespace win;
    DeclareControls(Join({WindowHead("Button2"),
                          avr::BoxGroup({"GroupBox2", "CFG Fuse(checked=0)  "}, 1,
                                        {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "no used", "SPIEN", "BODEN", "BODLEV",
                                         "BOOTRST", "BOOTSZ0", "BOOTSZ1", "no used", "no used", "no used", "no used",
                                         "no used"}),
                          avr::LockBoxes(8),
                          {avr::VerifyLevels(), avr::SpeedBox(), ReadOnly(Edit({"TypeNum"}, ""))},
                          avr::MegaReadouts(),
                          {avr::ExitButton()}}),
                    this, avr::Operations(this, {{"Button2", &TAtmega163x::ReadIDClick}}));
    FillRows();
}

void TAtmega163x::SetupForDevice() {
    FillRows();
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    const AvrRow& r = Rows[static_cast<std::size_t>(wb.sel.VariantIndex)];
    if (r.GndPin == 20) {
        Ep3.LoadBitFile("at90s8515dip40.bit");
    } else if (r.GndPin == 14) {
        Ep3.LoadBitFile("atmega8dip28.bit");
    } else {
        Ep3.LoadBitFile("at90s8535dip40.bit");
        Ep3.ShowPlacementBitmap("at90s8535dip48.bmp");
    }
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    SetupCommon(true);
}

int TAtmega163x::PageWaits() const { return SpeedText() == "Fast写" ? 30 : 60; }

int TAtmega163x::EnterProgramming() {
    Ep3.SetVcc(4400);
    return TAtmega16xForm::EnterProgramming();
}

void TAtmega163x::VerifyClick() {
    Row();
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetVcc(VerifyVccMv());
    VerifyAfterEntry();
}

void TAtmega163x::WriteClick() {
    Row();
    Status("写FLASH...");
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    WritePagesAfterEntry(PageWaits());
}

void TAtmega163x::EraseClick() { AvrHvForm::EraseClick(); }

void TAtmega163x::WrDataClick() {
    const AvrRow& r = Row();
    Status("Writing ...");
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    WriteEeprom(r, false);
    SetProgress("RdBar", 0, r.EepromLast, r.EepromLast);
    SetProgress("RdBar", 0, r.FlashLast, r.FlashLast);
    Success("OK");
    SuppliesOff();
}

void TAtmega163x::WtFuseClick() {
    const std::uint8_t low = avr::ByteFromBoxes(*this, 1);
    const std::uint8_t high = avr::ByteFromBoxes(*this, 9);
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    DataDirection(0);
    WriteFuse(low, false);
    LineLow(OE);
    SuppliesOff();
    // The high byte with BS1 left high after the write.
    if (!WriteFuseByte(high, true, false, true, false)) return;
    Success("FUSE OK!");
}

void TAtmega163x::ReadFuseClick() {
    if (!EnterProgramming()) return;
    ReadFuseLockBytes();
    SuppliesOff();
    Ep3.UsbReadReply();
    const std::uint8_t low = Ep3.UsbReplyBuf[0], high = Ep3.UsbReplyBuf[1], lock = Ep3.UsbReplyBuf[2];
    char buf[64];
    std::snprintf(buf, sizeof buf, "Fuse low=%02x,Fuse Hi=%02x,Lock=%02x", low, high, lock);
    Status(buf);
    avr::BoxesFromByte(*this, 1, low);
    avr::BoxesFromByte(*this, 9, high);
    avr::BoxesFromByte(*this, 17, lock);
}

QUILLA_FORM(TAtmega161x);
QUILLA_FORM(TAtmega163x);

}  // namespace quilla
