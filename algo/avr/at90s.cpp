#include "algo/avr/at90s.h"

#include <algorithm>
#include <cstdio>

#include "app/workbench.h"
#include "catalog/form.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;
using namespace hvline;

namespace {

constexpr HvVariant kPlain{.settled = false, .prepareBeforeDirection = false, .flushPerWord = true};
constexpr HvVariant kPrepared{.settled = false, .prepareBeforeDirection = true, .flushPerWord = true};
constexpr HvVariant kPreparedNoFlush{.settled = false, .prepareBeforeDirection = true, .flushPerWord = false};

}  // namespace

// ---- TAt90s8515x ------------------------------------------------------------------------------

TAt90s8515x::TAt90s8515x(Workbench& w)
    : TAt90s8515x(w, "AT90s8515", kPlain, {{0, "RCEN          "}, {5, "SPI          "}}) {
    DeclareControls(Window({.readFuse = "R.Fuse"}), this,
                    avr::Operations(this, {{"Button2", &TAt90s8515x::Button2Click}}));
    FillRows();
}

TAt90s8515x::TAt90s8515x(Workbench& w, std::string caption, HvVariant variant, std::vector<FuseBox> fuses)
    : AvrHvForm(w, std::move(caption), variant), fuses_(std::move(fuses)) {}

ControlRows TAt90s8515x::Window(const Look& look) const {
    using namespace win;
    std::vector<std::string> fuses;
    for (const FuseBox& f : fuses_) fuses.emplace_back(f.caption);
    const ControlRows batch = {If(look.calibration, avr::CalibrateBox())};
    return Join({avr::ParallelButtons("Write.", look.readFuse, look.eeprom),
                 {PushButton({"Button2", "Read ID "}), If(look.calibration, avr::CalibrateButton())},
                 avr::BatchGroup("GroupBox2", Join({batch, avr::StepBoxes(look.eeprom)})),
                 {Radio({"RadioGroup1", "LockMode"}, {"No R/W  (Lock) ", "No Wrt. "}, 0)},
                 avr::BoxGroup({"GroupBox1", "Fuse(checked=0)  "}, 1, fuses),
                 {avr::SpeedBox(), If(look.calibration, Edit({"Edit1", "RC校准Add :"}, "")),
                  If(look.calibration, avr::VerifyLevels())},
                 avr::Readouts(),
                 {If(look.eeprom, Label({"Note", "Buffer nnnnh=Data(EEPROM)0000h   "})), avr::ExitButton()}});
}

void TAt90s8515x::FillRows() {
    Rows = {
        {.Name = "Exit"},
        {.Name = "1: AT90S4414", .VppPin = 9, .VccPin = 40, .GndPin = 20, .FlashLast = 0x0FFF,
         .EepromLast = 0xFF, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFF},
        {.Name = "2: AT90S8515", .VppPin = 9, .VccPin = 40, .GndPin = 20, .FlashLast = 0x1FFF,
         .EepromLast = 0x1FF, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFF},
    };
}

void TAt90s8515x::SetupPackage(AvrRow& r) { SetupAt90s8515Socket(r); }

void TAt90s8515x::SetupForDevice() {
    FillRows();
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    AvrRow& r = Rows[static_cast<std::size_t>(wb.sel.VariantIndex)];
    SetupPackage(r);
    if (ShowsLinkStatus()) Status(Ep3.Connected ? "OK " : "Comm Err.");
    ShowNewImage(r);
    SetLevels(r, 4400, 12000);
}

std::uint8_t TAt90s8515x::FuseFromBoxes() const {
    std::uint8_t b = 0;
    for (std::size_t k = 0; k < fuses_.size(); ++k)
        if (!Ticked(avr::Box(static_cast<int>(k) + 1))) b = static_cast<std::uint8_t>(b | (1u << fuses_[k].bit));
    return b;
}

// ---- entry ------------------------------------------------------------------------------------

bool TAt90s8515x::ChipPresent() {
    Ep3.UsbPut1(OpPrepare);
    LineLow(XTAL1);
    Ep3.UsbPut1(OpCapturePort1);
    Ep3.UsbPut1(OpPrepare);
    LineHigh(XTAL1);
    Ep3.UsbPut1(OpCapturePort1);
    Ep3.UsbReadReply();
    if ((Ep3.UsbReplyBuf[0] & 1) != (Ep3.UsbReplyBuf[1] & 1)) return true;
    wb.prompts.ShowMessage("没有OK..安放器件！");
    wb.ErrorFlag() = 1;
    Ep3.VccPin(0);
    return false;
}

bool TAt90s8515x::EntryPrefix(const AvrRow& r) {
    Ep3.GndPin(r.GndPin);
    Ep3.VccPin(r.VccPin);
    Ep3.SetVcc(5000);
    if (!ChipPresent()) return false;
    Ep3.GndPin(r.GndPin);
    Ep3.VccPin(r.VccPin);
    return true;
}

int TAt90s8515x::EnterProgramming() {
    const AvrRow& r = Row();
    if (Ep3.CheckPinContact(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) == 0) return 0;
    if (!EntryPrefix(r)) return 0;
    IdleLines(false);
    return RaiseVpp(r);
}

// ---- fuse and lock -------------------------------------------------------------------------------

bool TAt90s8515x::ReadFuseByte(bool bs1High, std::uint8_t& b) {
    if (!EnterProgramming()) return false;
    DataDirection(0);
    StartCommand(hvcmd::ReadFuseLock);
    bs1High ? LineHigh(BS1) : LineLow(BS1);
    LineLow(OE);
    DataDirection(1);
    Ep3.UsbFlush();
    ReadLatch();
    LineHigh(OE);
    Ep3.VppPin(0);
    Ep3.UsbReadReply();
    b = Ep3.UsbReplyBuf[0];
    for (std::size_t k = 0; k < fuses_.size(); ++k)
        PutChecked(avr::Box(static_cast<int>(k) + 1), !(b & (1u << fuses_[k].bit)));
    return true;
}

bool TAt90s8515x::ReadFuseLock(std::uint8_t& b) {
    if (!ReadFuseByte(true, b)) return false;
    // Bits 7-6 are the lock state; 2 and 3 beyond the last item select it.
    const int last = static_cast<int>(Get("RadioGroup1").Items.size()) - 1;
    Choose("RadioGroup1", std::min(b >> 6, last));
    return true;
}

void TAt90s8515x::WriteLockBits() {
    const std::uint8_t lock = LockFromMode();
    if (!EnterProgramming()) return;
    WriteLock(lock);
    Ep3.VppPin(0);
}

// ---- handlers ------------------------------------------------------------------------------------

void TAt90s8515x::WriteClick() {
    Row();
    if (!BeginWrite("Write")) return;
    WriteFlashWords(256);
    Success("OK");
    SuppliesOff();
}

void TAt90s8515x::RdDataClick() { ReadEepromPass(true); }

void TAt90s8515x::WrDataClick() { WriteEepromByByte(); }

void TAt90s8515x::WtFuseClick() {
    const std::uint8_t fuse = FuseFromBoxes();
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    Status("Fuse...");
    WriteCommandByte(hvcmd::WriteFuse, fuse);
    Success("OK!");
    SuppliesOff();
}

void TAt90s8515x::ReadFuseClick() {
    // A refused entry reads nothing: no value is shown and no box changes.
    std::uint8_t b = 0;
    if (!ReadFuseLock(b)) return;
    char buf[16];
    std::snprintf(buf, sizeof buf, "Fuse=%02x", b);
    Status(buf);
}

void TAt90s8515x::SecrityClick() {
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    WriteLockBits();
    Success("OK");
    Ep3.VccPin(0);
}

void TAt90s8515x::Button2Click() {
    if (!EnterProgramming()) return;
    if (ReadIdChecksCurrent() && !Ep3.CheckCurrent()) return;
    ReadId();
}

void TAt90s8515x::Button1Click() {
    RunBatch(Steps(), NextChipOnRow());
}

// ---- TAt90s8535x ------------------------------------------------------------------------------------

TAt90s8535x::TAt90s8535x(Workbench& w)
    : TAt90s8515x(w, "AT90s8535", kPreparedNoFlush, {{0, "RCEN          "}, {5, "SPI          "}}) {
    DeclareControls(Window({.readFuse = "R.Fuse"}), this,
                    avr::Operations(this, {{"Button2", &TAt90s8535x::Button2Click}}));
    FillRows();
}

void TAt90s8535x::FillRows() {
    Rows = {
        {.Name = "Exit"},
        {.Name = "1: AT90S4414", .VppPin = 9, .VccPin = 40, .GndPin = 20, .FlashLast = 0x0FFF,
         .EepromLast = 0xFF},
        {.Name = "2: AT90S8515", .VppPin = 9, .VccPin = 40, .GndPin = 20, .FlashLast = 0x1FFF,
         .EepromLast = 0x1FF, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFF},
        {.Name = "3: AT90S4434", .VppPin = 29, .VccPin = 30, .GndPin = 31, .FlashLast = 0x0FFF,
         .EepromLast = 0xFF},
        {.Name = "4: AT90S8535", .VppPin = 29, .VccPin = 30, .GndPin = 31, .FlashLast = 0x1FFF,
         .EepromLast = 0x1FF, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFF},
    };
}

void TAt90s8535x::SetupPackage(AvrRow& r) {
    const std::string& t = wb.sel.TypeText;
    const bool p44 = t.find("*P44") != std::string::npos, q44 = t.find("*Q44") != std::string::npos;
    Ep3.ShowPlacementBitmap(p44 ? "p44.bmp" : q44 ? "qfp44.bmp" : "at90s8535dip48.bmp");
    if (p44 || q44) {
        Ep3.LoadBitFile("at90s8535plcc44.bit");
        avr::SetPins(r, {.vpp = 8, .vcc = 42, .gnd = 10});
    } else {
        Ep3.LoadBitFile("at90s8535dip40.bit");
        avr::SetPins(r, {.vpp = 29, .vcc = 30, .gnd = 31, .maskLo = 0xFFFFFFFFu, .maskHi = 0xFF});
    }
}

bool TAt90s8535x::EntryPrefix(const AvrRow& r) {
    for (int i = 0; i < 2; ++i) {
        Ep3.GndPin(r.GndPin);
        Ep3.VccPin(r.VccPin);
    }
    return true;
}

// ---- TAt90s2333x -----------------------------------------------------------------------------------

TAt90s2333x::TAt90s2333x(Workbench& w)
    : TAt90s8515x(w, "AT90s2333", kPrepared,
                  {{0, "CKSEL0"}, {1, "CKSEL1"}, {2, "CKSEL2"}, {3, "BODEN"}, {4, "BODLEVER"}, {5, "SPIEN"}}) {
    DeclareControls(Window({.readFuse = "R.Fuse "}), this,
                    avr::Operations(this, {{"Button2", &TAt90s2333x::Button2Click}}));
    FillRows();
}

void TAt90s2333x::FillRows() {
    Rows = {
        {.Name = "Exit"},
        {.Name = "1: AT90S2333", .VppPin = 7, .VccPin = 13, .GndPin = 14, .FlashLast = 0x07FF,
         .EepromLast = 0x7F, .MaskLo = 0xFFFFFFC0u, .MaskHi = 0x03},
        {.Name = "2: AT90S4433", .VppPin = 7, .VccPin = 13, .GndPin = 14, .FlashLast = 0x0FFF,
         .EepromLast = 0xFF, .MaskLo = 0xFFFFFFC0u, .MaskHi = 0x03},
        {.Name = "3: ATmega8", .VppPin = 7, .VccPin = 13, .GndPin = 14, .FlashLast = 0x1FFF,
         .EepromLast = 0x1FF},
    };
}

void TAt90s2333x::SetupPackage(AvrRow&) { Ep3.LoadBitFile("atmega8dip28.bit"); }

bool TAt90s2333x::EntryPrefix(const AvrRow& r) {
    Ep3.GndPin(r.GndPin);
    Ep3.VccPin(r.VccPin);
    Ep3.SetVcc(5000);
    if (!ChipPresent()) return false;
    Ep3.GndPin(r.GndPin);
    Ep3.SetVcc(5000);
    Ep3.VccPin(r.VccPin);
    return true;
}

bool TAt90s2333x::ReadFuseLock(std::uint8_t& b) { return ReadFuseByte(false, b); }

void TAt90s2333x::EraseClick() {
    // The erase with two 10 ms waits. A refused entry or an over-current fault
    // shows no "OK": nothing was erased.
    const AvrRow& r = Row();
    Status("Erasing");
    if (!EnterProgramming()) return;
    Ep3.VppPin(r.VppPin);
    if (!Ep3.CheckCurrent()) return;
    ChipEraseCommand();
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.UsbPut1(OpWaitSettle);
    SuppliesOff();
    SuppliesOff();
    Success("OK");
}

void TAt90s2333x::Button1Click() {
    // The first pass at once, the next-chip wait after each clean pass; each
    // clean pass is counted, a failing chip ends the batch.
    RunBatchWaitingAfter(Steps(), NextChipOnRow());
}

// ---- TAtiny28x ---------------------------------------------------------------------------------------

TAtiny28x::TAtiny28x(Workbench& w)
    : TAt90s2333x(w, "Atiny28", kPrepared,
                  {{0, "CKSEL0"}, {1, "CKSEL1"}, {2, "CKSEL2"}, {3, "CKSEL3"}, {4, "INTCAP"}}) {
    DeclareControls(Window({.readFuse = "R.Fuse ", .eeprom = false, .calibration = true}), this,
                    avr::Operations(this, {{"Button2", &TAtiny28x::Button2Click}}));
    FillRows();
}

void TAtiny28x::FillRows() {
    Rows = {
        {.Name = "Exit"},
        {.Name = "1: ATINY28L/V", .VppPin = 7, .VccPin = 13, .GndPin = 14, .FlashLast = 0x07FF,
         .MaskLo = 0xFBFFFFC0u, .MaskHi = 0x03},
    };
}

void TAtiny28x::SetupForDevice() {
    FillRows();
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    const AvrRow& r = Rows[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.LoadBitFile("atmega8dip28.bit");
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    if (wb.FileWin) wb.FileWin->EndAddr = r.FlashLast;
    ShowAddress("Edit1", r.FlashLast);
    Put("Edit7", wb.sel.SelectedDevice);
    wb.Display();
    AlgoForm::Show();
    SetLevels(r, 4400, 12000);
}

bool TAtiny28x::EntryPrefix(const AvrRow& r) {
    // Every entry starts at the programming level: a Verify at a low level is
    // not left in force for the next Write or Erase.
    Ep3.SetVcc(4400);
    Ep3.GndPin(r.GndPin);
    Ep3.VccPin(r.VccPin);
    return true;
}

void TAtiny28x::VerifyClick() {
    Row();
    Status("Verify.");
    if (!EnterProgramming()) return;
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetVcc(VerifyVccMv());
    VerifyAfterEntry();
}

void TAtiny28x::RdCalibrateClick() {
    if (!EnterProgramming()) return;
    Status("读RC震荡校准...");
    for (int i = 0; i < 4; ++i) SampleSignatureRow(i, true);
    SuppliesOff();
    Ep3.UsbReadReply();
    const std::uint8_t cal = Ep3.UsbReplyBuf[0];
    char buf[32];
    std::snprintf(buf, sizeof buf, "Calibration: %02x", cal);
    Status(buf);
    const std::uint8_t bytes[1] = {cal};
    StoreCalibration("Edit1", bytes);
}

void TAtiny28x::Button1Click() {
    RunBatch(Steps(), NextChipOnRow());
}

QUILLA_FORM(TAt90s8515x);
QUILLA_FORM(TAt90s8535x);
QUILLA_FORM(TAt90s2333x);
QUILLA_FORM(TAtiny28x);

}  // namespace quilla
