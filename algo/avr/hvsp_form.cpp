#include "algo/avr/hvsp_form.h"

#include <algorithm>
#include <cstdio>

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

std::string Hex2(std::uint8_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02x", v);
    return buf;
}

}  // namespace

AvrHvspForm::AvrHvspForm(Workbench& w, std::string caption) : AvrForm(w, std::move(caption)) {}

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

int AvrHvspForm::HvspEnterProgramming() {
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

void AvrHvspForm::HvspWriteWait() {
    const AvrRow* r = SelectedRow();
    int n = r ? r->WriteWaits : 0;
    if (SpeedText() == "Slow  ") n *= 2;
    for (int i = 0; i < n; ++i) Ep3.UsbPut1(OpWait1ms);
}

void AvrHvspForm::HvspReadFlashWord(std::int32_t a) {
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

void AvrHvspForm::HvspWriteFlashWord(std::int32_t a, std::uint16_t word) {
    const std::uint32_t w = static_cast<std::uint32_t>(a) >> 1;
    HvspInstruction(0x10, 0x4C);
    HvspInstruction(static_cast<std::uint8_t>(w >> 8), 0x1C);
    HvspInstruction(static_cast<std::uint8_t>(w), 0x0C);
    HvspInstruction(static_cast<std::uint8_t>(word & 0xFF), 0x2C);
    HvspInstruction(0x00, 0x64);
    HvspInstruction(0x00, 0x6C);
    HvspWriteWait();
    HvspInstruction(static_cast<std::uint8_t>(word >> 8), 0x3C);
    HvspInstruction(0x00, 0x74);
    HvspInstruction(0x00, 0x7C);
    HvspWriteWait();
}

void AvrHvspForm::HvspReadEepromByte(std::int32_t a) {
    HvspInstruction(0x03, 0x4C);
    HvspInstruction(static_cast<std::uint8_t>(a), 0x0C);
    HvspInstruction(0x00, 0x68);
    HvspInstruction(0x00, 0x6C);
    HvspReadByte();
}

void AvrHvspForm::HvspWriteEepromByte(std::int32_t a, std::uint8_t d) {
    HvspInstruction(0x11, 0x4C);
    HvspInstruction(static_cast<std::uint8_t>(a), 0x0C);
    HvspInstruction(d, 0x2C);
    HvspInstruction(0x00, 0x64);
    HvspInstruction(0x00, 0x6C);
    HvspWriteWait();
    HvspWriteWait();
}

void AvrHvspForm::HvspReadSignatureByte(int i) {
    HvspInstruction(0x08, 0x4C);
    HvspInstruction(static_cast<std::uint8_t>(i), 0x0C);
    HvspInstruction(0x00, 0x68);
    HvspInstruction(0x00, 0x6C);
    HvspReadByte();
}

void AvrHvspForm::SuppliesOff() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

bool AvrHvspForm::EnterAndCheck() { return HvspEnterProgramming() != 0 && Ep3.CheckCurrent() != 0; }

bool AvrHvspForm::RequireSeatedChip() {
    const AvrRow& r = Row();
    if (ContactPresent(r.GndPin, kSupplyMaskLo, 0)) return true;
    wb.ErrorFlag() = 1;
    Refuse("No chip answers.");
}

std::uint8_t AvrHvspForm::LockByte() const {
    std::uint8_t b = 0xFF;
    if (Ticked("Lb1")) b = static_cast<std::uint8_t>(b & ~0x02);
    if (Ticked("Lb2")) b = static_cast<std::uint8_t>(b & ~0x04);
    return b;
}

bool AvrHvspForm::ReadFlashBlocks(int bytes,
                                  const std::function<bool(std::int32_t, const std::uint8_t*)>& onBlock) {
    const AvrRow& r = Row();
    for (std::int32_t b = 0; b < r.FlashLast; b += bytes) {
        ShowProgress(b);
        for (int j = 0; j < bytes; j += 2) HvspReadFlashWord(b + j);
        Ep3.UsbReadReply();
        if (!onBlock(b, Ep3.UsbReplyBuf.data())) return false;
    }
    return true;
}

// ---- window and setup -----------------------------------------------------------------------------

void AvrHvspForm::DeclareWindow(bool calibration) {
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
    AddButton("ID", "Read ID ", [this] { IDClick(); });
    AddGroup("GroupBox2", "Batch   ");
    AddCheck("CheckBoxErase", "Ers.", true, "GroupBox2");
    AddCheck("CheckBoxBlank", "Blank?  ", true, "GroupBox2");
    AddCheck("CheckBoxWrite", "Write.", true, "GroupBox2");
    AddCheck("CheckBoxVer", "Vrfy", true, "GroupBox2");
    AddCheck("CheckBoxrWrData", "W.Data", true, "GroupBox2");
    AddCheck("CheckBoxFuse", "W.Fuse", true, "GroupBox2");
    AddCheck("CheckBoxConfig", "Lock", true, "GroupBox2");
    if (calibration) AddCheck("CheckBoxCalibrate", "R.RC校准", true, "GroupBox2");
    AddButton("Button1", " Run ", [this] { Button1Click(); }, "GroupBox2");
    AddGroup("GroupBox3", "Lock(打勾编程为0)");
    AddCheck("Lb1", "LB1", true, "GroupBox3");
    AddCheck("Lb2", "LB2", true, "GroupBox3");
    AddGroup("GroupBox1", "Fuse(checked=0)  ");
    const int boxes = calibration ? 8 : 2;
    for (int k = 1; k <= boxes; ++k) AddCheck(avr::Box(k), "", calibration && k == 6, "GroupBox1");
    AddCombo("Speed", "", {"Fast写", "Slow  ", " "}, 0);
    AddStatus("Msg", "Prompt  ");
    AddEdit("Edit6", "", "Add ", true).Emphasis = true;
    AddProgress("RdBar");
    AddEdit("Edit7", "", "Type", true);
    AddLabel("Note", "EEPROMAdd ：");
}

void AvrHvspForm::SetupForDevice() {
    FillRows();
    if (!CheckDeviceLine()) return;
    Ep3.ResetPins();
    const AvrRow& r = Rows[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.LoadBitFile(r.Design);
    Ep3.ShowPlacementBitmap("atiny12.bmp");
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    EepromOffset = r.FlashLast + 1;
    if (wb.FileWin) wb.FileWin->EndAddr = EepromOffset + r.EepromLast;
    char buf[40];
    std::snprintf(buf, sizeof buf, "EEPROMAdd ：%04x", static_cast<unsigned>(EepromOffset));
    PutCaption("Note", buf);
    Put("Edit7", wb.sel.SelectedDevice);
    SetupExtras(r);
    wb.Display();
    AlgoForm::Show();
    Ep3.GndPin(r.GndPin);
    Ep3.SetVcc(4400);
    Ep3.SetVpp(12000);
    const auto captions = FuseCaptions(r.FuseGroup);
    for (int k = 1; k <= 8 && Has(avr::Box(k)); ++k)
        PutCaption(avr::Box(k), captions[static_cast<std::size_t>(k - 1)]);
}

std::vector<AlgoForm::BatchStep> AvrHvspForm::Steps() {
    return {{"CheckBoxErase", [this] { EraseClick(); }},   {"CheckBoxBlank", [this] { BlankClick(); }},
            {"CheckBoxWrite", [this] { WriteClick(); }},   {"CheckBoxVer", [this] { VerifyClick(); }},
            {"CheckBoxrWrData", [this] { WrDataClick(); }}, {"CheckBoxFuse", [this] { WtFuseClick(); }},
            {"CheckBoxConfig", [this] { SecrityClick(); }}};
}

// ---- handlers --------------------------------------------------------------------------------------

void AvrHvspForm::ReadRom() {
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

void AvrHvspForm::BlankClick() {
    const AvrRow& r = Row();
    // With the contact test off an empty socket would read all FFh.
    if (!RequireSeatedChip()) return;
    if (!EnterAndCheck()) return;
    Status("检查...");
    Ep3.UsbFlush();
    if (!BlankFlashBlocks(64)) return;
    EndFlashCheck(r, "OK!");
}

void AvrHvspForm::VerifyClick() {
    const AvrRow& r = Row();
    Status("Verify.");
    if (!RequireSeatedChip()) return;
    if (!EnterAndCheck()) return;
    Ep3.UsbFlush();
    if (!VerifyFlashBlocks(32)) return;
    EndFlashCheck(r, "OK!!!");
}

void AvrHvspForm::WriteClick() {
    const AvrRow& r = Row();
    if (!RequireFileWindow()) return;
    Status("Write");
    if (!EnterAndCheck()) return;
    for (std::int32_t p = 0; p <= r.FlashLast; p += 2) {
        HvspWriteFlashWord(p, static_cast<std::uint16_t>(*Image(p) | (*Image(p + 1) << 8)));
        ShowProgress(p);
        Ep3.UsbFlush();
    }
    Ep3.UsbFlush();
    ShowProgress(r.FlashLast);
    SuppliesOff();
    Success("OK");
}

void AvrHvspForm::EraseClick() {
    if (!HvspEnterProgramming()) return;
    Status("Erasing");
    HvspInstruction(0x80, 0x4C);
    HvspInstruction(0x00, 0x64);
    HvspInstruction(0x00, 0x6C);
    Ep3.UsbPut1(OpWait100ms);
    SuppliesOff();
    Success("OK");
}

void AvrHvspForm::RdDataClick() {
    const AvrRow& r = Row();
    Status("Reading....");
    if (!EnterAndCheck()) return;
    Ep3.UsbFlush();
    for (std::int32_t b = 0; b < r.EepromLast; b += 64) {
        ShowProgress(b);
        for (int i = 0; i < 64; ++i) HvspReadEepromByte(b + i);
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

void AvrHvspForm::WrDataClick() {
    const AvrRow& r = Row();
    if (!RequireFileWindow()) return;
    Status("Writing ...");
    if (!EnterAndCheck()) return;
    for (std::int32_t i = 0; i <= r.EepromLast; ++i) {
        HvspWriteEepromByte(i, *Image(EepromOffset + i));
        if (i % 8 == 0) {
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

void AvrHvspForm::ReadFuseClick() {
    if (!HvspEnterProgramming()) return;
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
    HvspWriteWait();
    HvspWriteWait();
    SuppliesOff();
    Success("OK!");
}

void AvrHvspForm::SecrityClick() {
    if (!EnterAndCheck()) return;
    HvspInstruction(0x20, 0x4C);
    HvspInstruction(LockByte(), 0x2C);
    HvspInstruction(0x00, 0x64);
    HvspInstruction(0x00, 0x6C);
    HvspWriteWait();
    HvspWriteWait();
    SuppliesOff();
    Success("OK");
}

void AvrHvspForm::IDClick() {
    if (!HvspEnterProgramming()) return;
    for (int i = 0; i < 3; ++i) HvspReadSignatureByte(i);
    SuppliesOff();
    Ep3.UsbReadReply();
    const auto& b = Ep3.UsbReplyBuf;
    for (std::size_t i = 0; i < 3; ++i) wb.sel.LastReadId[i] = b[i];
    Status("ID: " + Hex2(b[0]) + "," + Hex2(b[1]) + "," + Hex2(b[2]));
}

// ---- TAtiny1x ----------------------------------------------------------------------------------------

TAtiny1x::TAtiny1x(Workbench& w) : AvrHvspForm(w, "ATiny11,12,15") {
    DeclareWindow(true);
    AddLabel("Label2", "RC校准Start at:");
    AddEdit("Edit1", "", "");
    AddButton("RdCalibrate", "R.RC校准", [this] { RdCalibrateClick(); });
    FillRows();
}

void TAtiny1x::FillRows() {
    Rows.assign(16, AvrRow{});
    Rows[0].Name = "Exit";
    const auto row = [](const char* name, int group, int waits, const char* design) {
        AvrRow r{name, 11, 30, 14, 0x3FF, 0x3F, 0, 0, kMaskLo, 0, 4, group, waits, design};
        return r;
    };
    Rows[1] = row("1: ATiny11", 0, 0, "Atiny12.bit");
    Rows[2] = row("2: ATiny12", 1, 0, "Atiny12.bit");
    Rows[3] = row("3: ATiny15", 2, 2, "Atiny15.bit");
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
    if (!HvspEnterProgramming()) return;
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
    const AvrRow& r = Row();
    std::vector<BatchStep> steps = Steps();
    steps.insert(steps.begin(), {"CheckBoxCalibrate", [this] { RdCalibrateClick(); }});
    RunBatch(steps, [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) != 0; });
}

// ---- TAt90s2323Hix --------------------------------------------------------------------------------------

TAt90s2323Hix::TAt90s2323Hix(Workbench& w) : AvrHvspForm(w, "2323/2343 12v") {
    DeclareWindow(false);
    SetVisible("ReadFuse", false);
    FillRows();
}

void TAt90s2323Hix::FillRows() {
    Rows.assign(16, AvrRow{});
    Rows[0].Name = "Exit";
    Rows[1] = {"1: AT90S2323", 11, 30, 14, 0x7FF, 0x7F, 0, 0, kMaskLo, 0, 4, 0, 0, "Atiny12.bit"};
    Rows[2] = {"2: AT90S2343", 11, 30, 14, 0x7FF, 0x7F, 0, 0, kMaskLo, 0, 4, 1, 0, "Atiny12.bit"};
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
