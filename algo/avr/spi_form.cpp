#include "algo/avr/spi_form.h"

#include <algorithm>
#include <cstdio>

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

std::string Hex2(std::uint8_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02x", v);
    return buf;
}

}  // namespace

AvrSpiForm::AvrSpiForm(Workbench& w, std::string caption) : AvrForm(w, std::move(caption)) {}

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

int AvrSpiForm::SpiEnterProgramming() {
    const AvrRow& r = Row();
    Ep3.ControlLineLow(kSck);
    Ep3.VccPin(r.VccPin);
    Ep3.ControlLineHigh(kReset);
    Ep3.ControlLineLow(kReset);
    if (EnableTries(false)) return 1;
    NoChip();
    return 0;
}

bool AvrSpiForm::EnterAndCheck() { return SpiEnterProgramming() != 0 && Ep3.CheckCurrent() != 0; }

void AvrSpiForm::SpiReadFlashWord(std::int32_t a) {
    const std::uint32_t w = static_cast<std::uint32_t>(a) >> 1;
    const auto hi = static_cast<std::uint8_t>(w >> 8), lo = static_cast<std::uint8_t>(w);
    ReadInstruction(0x20, hi, lo);
    ReadInstruction(0x28, hi, lo);
}

void AvrSpiForm::SpiReadEepromByte(std::int32_t a) { ReadInstruction(0xA0, 0x00, static_cast<std::uint8_t>(a)); }

void AvrSpiForm::SpiReadSignatureByte(int i) { ReadInstruction(0x30, 0x00, static_cast<std::uint8_t>(i)); }

void AvrSpiForm::SpiWriteFlashWord(std::int32_t a, std::uint16_t word) {
    const std::uint32_t w = static_cast<std::uint32_t>(a) >> 1;
    const auto hi = static_cast<std::uint8_t>(w >> 8), lo = static_cast<std::uint8_t>(w);
    Instruction(0x40, hi, lo, static_cast<std::uint8_t>(word & 0xFF));
    SpiWriteWait();
    Instruction(0x48, hi, lo, static_cast<std::uint8_t>(word >> 8));
    SpiWriteWait();
}

void AvrSpiForm::SpiWriteEepromByte(std::int32_t a, std::uint8_t d) {
    Instruction(0xC0, 0x00, static_cast<std::uint8_t>(a), d);
    SpiWriteWait();
}

void AvrSpiForm::SpiWriteWait() {
    const AvrRow* r = SelectedRow();
    int n = r ? r->WriteWaits : 0;
    if (SpeedText() == "Slow  ") n *= 2;
    for (int i = 0; i < n; ++i) Ep3.UsbPut1(OpWait1ms);
}

void AvrSpiForm::SuppliesOff() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

std::uint8_t AvrSpiForm::LockByte() const {
    std::uint8_t b = 0xFF;
    if (Ticked("Lb1")) b = static_cast<std::uint8_t>(b & ~0x02);
    if (Ticked("Lb2")) b = static_cast<std::uint8_t>(b & ~0x04);
    return static_cast<std::uint8_t>(b | 0xF9);
}

void AvrSpiForm::QueueLock(std::uint8_t lockByte) { Instruction(0xAC, lockByte, 0x00, 0x00); }

bool AvrSpiForm::ReadFlashBlocks(int bytes,
                                 const std::function<bool(std::int32_t, const std::uint8_t*)>& onBlock) {
    const AvrRow& r = Row();
    for (std::int32_t b = 0; b < r.FlashLast; b += bytes) {
        ShowProgress(b);
        for (int j = 0; j < bytes; j += 2) SpiReadFlashWord(b + j);
        Ep3.UsbReadReply();
        if (!onBlock(b, Ep3.UsbReplyBuf.data())) return false;
    }
    return true;
}

// ---- window -------------------------------------------------------------------------------

void AvrSpiForm::DeclareWindow(const std::function<void()>& fuses, bool rstVisible) {
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
    AddButton("Button2", "Read ID ", [this] { Button2Click(); });
    AddButton("Button3", "Rst", [this] { Button3Click(); });
    if (!rstVisible) SetVisible("Button3", false);
    AddGroup("GroupBox2", "Batch   ");
    AddCheck("CheckBoxErase", "Ers.", true, "GroupBox2");
    AddCheck("CheckBoxBlank", "Blank?  ", true, "GroupBox2");
    AddCheck("CheckBoxWrite", "Write.", true, "GroupBox2");
    AddCheck("CheckBoxVer", "Vrfy", true, "GroupBox2");
    AddCheck("CheckBoxrWrData", "W.Data", true, "GroupBox2");
    AddCheck("CheckBoxFuse", "W.Fuse", true, "GroupBox2");
    AddCheck("CheckBoxConfig", "Lock", true, "GroupBox2");
    AddButton("Button1", " Run ", [this] { Button1Click(); }, "GroupBox2");
    AddGroup("GroupBox3", "Lock位Lock(打勾编程为0)");
    AddCheck("Lb1", "LB1", true, "GroupBox3");
    AddCheck("Lb2", "LB2", true, "GroupBox3");
    fuses();
    AddCombo("Speed", "", {"Fast写", "Slow  ", " "}, 0);
    AddStatus("Msg", "Prompt  ");
    AddEdit("Edit6", "", "Add ", true).Emphasis = true;
    AddProgress("RdBar");
    AddEdit("Edit7", "", "Type", true);
    AddLabel("Note", "Buffer nnnnh=Data(EEPROM)0000h   ");
    AddButton("CancelBtn", "Exit ", [this] { Close(); });
}

std::vector<AlgoForm::BatchStep> AvrSpiForm::Steps() {
    return {{"CheckBoxErase", [this] { EraseClick(); }},   {"CheckBoxBlank", [this] { BlankClick(); }},
            {"CheckBoxWrite", [this] { WriteClick(); }},   {"CheckBoxVer", [this] { VerifyClick(); }},
            {"CheckBoxrWrData", [this] { WrDataClick(); }}, {"CheckBoxFuse", [this] { WtFuseClick(); }},
            {"CheckBoxConfig", [this] { SecrityClick(); }}};
}

// ---- handlers --------------------------------------------------------------------------------

void AvrSpiForm::ReadRom() {
    const AvrRow& r = Row();
    Status("Read.");
    if (!EnterAndCheck()) return;
    Ep3.UsbFlush();
    ReadFlashBlocks(64, [this](std::int32_t b, const std::uint8_t* reply) {
        std::copy(reply, reply + 64, Image(b));
        return true;
    });
    ShowProgress(r.FlashLast);
    SuppliesOff();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void AvrSpiForm::BlankClick() {
    const AvrRow& r = Row();
    if (!EnterAndCheck()) return;
    Status("检查...");
    Ep3.UsbFlush();
    if (!BlankFlashBlocks(64)) return;
    EndFlashCheck(r, "OK!");
}

void AvrSpiForm::VerifyClick() {
    const AvrRow& r = Row();
    Status("Verify.");
    if (!EnterAndCheck()) return;
    Ep3.UsbFlush();
    if (!VerifyFlashBlocks(32)) return;
    EndFlashCheck(r, "OK!!!");
}

void AvrSpiForm::WriteClick() {
    const AvrRow& r = Row();
    if (!RequireFileWindow()) return;
    Status("Write");
    if (!EnterAndCheck()) return;
    for (std::int32_t p = 0; p <= r.FlashLast; p += 2) {
        SpiWriteFlashWord(p, static_cast<std::uint16_t>(*Image(p) | (*Image(p + 1) << 8)));
        if ((p & 0xFF) == 0) {
            ShowProgress(p);
            Ep3.UsbFlush();
        }
    }
    Ep3.UsbFlush();
    ShowProgress(r.FlashLast);
    SuppliesOff();
    Success("OK");
}

void AvrSpiForm::EraseClick() {
    if (!SpiEnterProgramming()) return;
    Status("Erasing");
    Instruction(0xAC, 0x80, 0x00, 0x00);
    Ep3.UsbPut1(OpWait100ms);
    SuppliesOff();
    Success("OK");
}

void AvrSpiForm::RdDataClick() {
    const AvrRow& r = Row();
    Status("Reading....");
    if (!EnterAndCheck()) return;
    Ep3.UsbFlush();
    for (std::int32_t b = 0; b < r.EepromLast; b += 64) {
        ShowProgress(b);
        for (int i = 0; i < 64; ++i) SpiReadEepromByte(b + i);
        Ep3.UsbReadReply();
        std::copy(Ep3.UsbReplyBuf.data(), Ep3.UsbReplyBuf.data() + 64, Image(EepromOffset + b));
    }
    ShowProgress(r.EepromLast);
    SetProgress("RdBar", 0, r.FlashLast, r.FlashLast);
    SuppliesOff();
    Success("OK");
    if (wb.FileWin) wb.FileWin->ViewStart = EepromOffset;
    wb.Display();
    AlgoForm::Show();
}

void AvrSpiForm::WrDataClick() {
    const AvrRow& r = Row();
    if (!RequireFileWindow()) return;
    Status("Writing ...");
    if (!EnterAndCheck()) return;
    for (std::int32_t i = 0; i <= r.EepromLast; ++i) {
        SpiWriteEepromByte(i, *Image(EepromOffset + i));
        if (i % 16 == 0) {
            ShowProgress(i);
            Ep3.UsbFlush();
        }
    }
    Ep3.UsbFlush();
    ShowProgress(r.EepromLast);
    SetProgress("RdBar", 0, r.FlashLast, r.FlashLast);
    SuppliesOff();
    Success("OK");
}

void AvrSpiForm::SecrityClick() {
    const std::uint8_t lock = LockByte();
    if (!EnterAndCheck()) return;
    QueueLock(lock);
    SpiWriteWait();
    Ep3.VccPin(0);
    Success("OK");
}

void AvrSpiForm::Button2Click() {
    if (!SpiEnterProgramming()) return;
    for (int i = 0; i < 3; ++i) SpiReadSignatureByte(i);
    SuppliesOff();
    Ep3.UsbReadReply();
    const auto& b = Ep3.UsbReplyBuf;
    for (std::size_t i = 0; i < 3; ++i) wb.sel.LastReadId[i] = b[i];
    Status("ID: " + Hex2(b[0]) + "," + Hex2(b[1]) + "," + Hex2(b[2]));
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
    DeclareWindow(
        [this] {
            AddGroup("GroupBox1", "Fuse(checked=0)  ");
            AddCheck("CheckBox1", "SPIEN (只可以读)", true, "GroupBox1");
            AddCheck("CheckBox2", "", false, "GroupBox1");
        },
        true);
    FillRows();
}

void TAt90s2323x::FillRows() {
    Rows.assign(16, AvrRow{});
    Rows[0].Name = "Exit";
    Rows[1] = {"1: AT90S2323", 0, 24, 20, 0x7FF, 0x7F, 0, 0, 0, 0, 6};
    Rows[2] = {"2: AT90S2343", 0, 24, 20, 0x7FF, 0x7F, 0, 0, 0, 0, 6};
    FuseCaptions.assign(16, "");
    FuseCaptions[1] = "FSTRT";
    FuseCaptions[2] = "RCEN";
}

void TAt90s2323x::SetupForDevice() {
    FillRows();
    if (!CheckDeviceLine()) return;
    Ep3.ResetPins();
    const AvrRow& r = Rows[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.LoadBitFile("at90s2323.bit");
    SerialSetup();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    PlaceEeprom(r);
    Put("Edit7", wb.sel.SelectedDevice);
    wb.Display();
    AlgoForm::Show();
    Ep3.GndPin(r.GndPin);
    Ep3.SetVcc(5000);
    Ep3.SetVpp(0);
    PutCaption("CheckBox2", FuseCaptions[static_cast<std::size_t>(wb.sel.VariantIndex)]);
}

void TAt90s2323x::ReadFuseClick() {
    if (!SpiEnterProgramming()) return;
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
    SpiWriteWait();
    SpiWriteWait();
    SuppliesOff();
    Success("OK!");
}

void TAt90s2323x::Button1Click() {
    Row();
    RunBatch(Steps(), [] { return false; }, false);
}

// ---- TAtiny2x ---------------------------------------------------------------------------------

namespace {
constexpr const char* kTinyFuses[16] = {"CKSEL0", "CKSEL1",   "CKSEL2", "CKSEL3", "SUT0",    "SUT1",
                                         "CKOPT",  "PLLCK",    "BODEN",  "BODLEVER", "EESAVE", "SPIEN",
                                         "RSTDIS", "NO USED", "NO USED", "NO USED"};
}  // namespace

TAtiny2x::TAtiny2x(Workbench& w) : AvrSpiForm(w, "ATiny26") {
    DeclareWindow(
        [this] {
            AddGroup("GroupBox1", "CFG Fuse(checked=0)  ");
            for (int k = 0; k < 16; ++k)
                AddCheck(avr::Box(k + 1), kTinyFuses[k], k == 11, "GroupBox1");
            AddLabel("Label2", "RC校准Start at:");
            AddEdit("Edit1", "", "");
            AddButton("RdCalibrate", "R.RC校准", [this] { RdCalibrateClick(); });
        },
        false);
    FillRows();
}

void TAtiny2x::FillRows() {
    Rows.assign(16, AvrRow{});
    Rows[0].Name = "Exit";
    Rows[1] = {"1: ATINY26 1kx16", 0, 13, 14, 0x7FF, 0x7F, 0, 32, 0, 0, 6};
}

std::string TAtiny2x::KeyError() const {
    const int pkg = wb.sel.GetParam("pkg=");
    if (pkg == 20 || pkg == 40) return {};
    return "Bad device line: pkg=" + std::to_string(pkg) + " is not a package of " +
           (wb.sel.DeviceKeyword.empty() ? std::string("this form") : wb.sel.DeviceKeyword) + " (20 or 40)";
}

void TAtiny2x::SetupForDevice() {
    FillRows();
    if (!CheckDeviceLine()) return;
    Ep3.ResetPins();
    AvrRow& r = Rows[static_cast<std::size_t>(wb.sel.VariantIndex)];
    // The contact masks are the package's pins: with none, the contact test
    // passes without testing and the mass-production wait never sees a chip
    // taken out, so a Run in mass production would end before its first pass.
    if (wb.sel.GetParam("pkg=") == 40) {
        Ep3.LoadBitFile("ATmeg161spi.bit");
        avr::SetPins(r, 0, 40, 20, 0x000E01E0u, 0x80u);  // 6-9, 18-20, 40
    } else {
        Ep3.LoadBitFile("ATdip20spi.bit");
        Ep3.ShowPlacementBitmap("atiny26.bmp");
        avr::SetPins(r, 0, 13, 14, 0xFFC3FF00u, 0);  // 9-18, 23-32
    }
    SerialSetup();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    EepromOffset = r.FlashLast + 1;
    if (wb.FileWin) wb.FileWin->EndAddr = EepromOffset + r.EepromLast;
    char buf[40];
    std::snprintf(buf, sizeof buf, "EEPROMAdd ：%04x", static_cast<unsigned>(EepromOffset));
    PutCaption("Note", buf);
    Put("Edit7", wb.sel.SelectedDevice);
    ShowAddress("Edit1", r.FlashLast - 3);
    wb.Display();
    AlgoForm::Show();
    Ep3.GndPin(r.GndPin);
    Ep3.SetVcc(4400);
    Ep3.SetVpp(0);
}

int TAtiny2x::SpiEnterProgramming() {
    const AvrRow& r = Row();
    if (Ep3.CheckPinContact(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) == 0) return 0;
    Ep3.ControlLineLow(2);
    Ep3.VccPin(r.VccPin);
    if (EnableTries(true)) return 1;
    NoChip();
    return 0;
}

void TAtiny2x::SpiWriteEepromByte(std::int32_t a, std::uint8_t d) {
    Instruction(0xC0, 0x00, static_cast<std::uint8_t>(a), d);
    SpiWriteWait();
    SpiWriteWait();
}

void TAtiny2x::WriteClick() {
    const AvrRow& r = Row();
    if (!RequireFileWindow()) return;
    Status("Write");
    if (!EnterAndCheck()) return;
    const std::int32_t page = r.FlashPage;
    for (std::int32_t p = 0; p <= r.FlashLast; p += page) {
        for (std::int32_t k = 0; k < page; k += 2) {
            const auto offset = static_cast<std::uint8_t>(k / 2);
            Instruction(0x40, 0x00, offset, *Image(p + k));
            Instruction(0x48, 0x00, offset, *Image(p + k + 1));
        }
        const std::uint32_t w = static_cast<std::uint32_t>(p) / 2;
        Instruction(0x4C, static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w), 0x00);
        SpiWriteWait();
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
    if (!SpiEnterProgramming()) return;
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
    SpiWriteWait();
    SpiWriteWait();
    const std::uint8_t hi = avr::ByteFromBoxes(*this, 9);
    Instruction(0xAC, 0xA8, 0x00, hi);
    SpiWriteWait();
    SpiWriteWait();
    Ep3.VccPin(0);
    Success("OK!");
}

void TAtiny2x::RdCalibrateClick() {
    if (!SpiEnterProgramming()) return;
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
    const AvrRow& r = Row();
    RunBatch(Steps(), [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) != 0; });
}

QUILLA_FORM(TAt90s2323x);
QUILLA_FORM(TAtiny2x);

}  // namespace quilla
