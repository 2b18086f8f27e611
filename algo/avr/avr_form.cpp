#include "algo/avr/avr_form.h"

#include <algorithm>
#include <cstdio>

#include "app/numparse.h"
#include "app/workbench.h"
#include "engine/ep3.h"
#include "engine/protocol.h"

namespace quilla {

// ---- device table ---------------------------------------------------------------------

int AvrForm::VariantCount() const {
    int n = 0;
    for (int i = 0; i < static_cast<int>(Rows.size()); ++i)
        if (Rows[static_cast<std::size_t>(i)].Filled()) n = i + 1;
    return n;
}

const AvrRow* AvrForm::SelectedRow() const {
    const int v = wb.sel.VariantIndex;
    if (v < 1 || v >= static_cast<int>(Rows.size())) return nullptr;
    const AvrRow& r = Rows[static_cast<std::size_t>(v)];
    return r.Filled() ? &r : nullptr;
}

std::string AvrForm::DeviceLineError() const {
    if (!SelectedRow()) return VariantNotInTable();
    return KeyError();
}

const AvrRow& AvrForm::Row() {
    // A line that setup refused (its row or a key) drives nothing.
    if (const AvrRow* r = SelectedRow(); r && KeyError().empty()) return *r;
    Refuse(DeviceLineError());
}

std::string AvrForm::PackageError(std::initializer_list<int> ok, const char* unnamed, const char* choices) const {
    const int pkg = wb.sel.GetParam("pkg=");
    if (std::find(ok.begin(), ok.end(), pkg) != ok.end()) return {};
    return "Bad device line: pkg=" + std::to_string(pkg) + " is not a package of " +
           (wb.sel.DeviceKeyword.empty() ? std::string(unnamed) : wb.sel.DeviceKeyword) + " (" + choices + ")";
}

std::string AvrForm::SpeedText() const { return Has("Speed") ? Text("Speed") : std::string(); }

void AvrForm::PlaceEeprom(const AvrRow& r, EepromNote note) {
    EepromOffset = r.FlashLast + 1;
    if (wb.FileWin) wb.FileWin->EndAddr = EepromOffset + r.EepromLast;
    char buf[64];
    if (note == EepromNote::Add)
        std::snprintf(buf, sizeof buf, "EEPROMAdd ：%04x", static_cast<unsigned>(EepromOffset));
    else
        std::snprintf(buf, sizeof buf, "Buffer %xh = Data(EEPROM)0000h.", static_cast<unsigned>(EepromOffset));
    PutCaption("Note", buf);
}

void AvrForm::ShowNewImage(const AvrRow& r, EepromNote note, const std::function<void()>& fields) {
    wb.FileNew();
    PlaceEeprom(r, note);
    Put("Edit7", wb.sel.SelectedDevice);
    if (fields) fields();
    wb.Display();
    AlgoForm::Show();
}

void AvrForm::SetLevels(const AvrRow& r, int vccMv, int vppMv) {
    Ep3.GndPin(r.GndPin);
    Ep3.SetVcc(vccMv);
    Ep3.SetVpp(vppMv);
}

void AvrForm::ShowProgress(std::int32_t value) {
    const AvrRow* r = SelectedRow();
    SetProgress("RdBar", 0, r ? r->FlashLast : 0, value);
    ShowAddress("Edit6", value);
}

bool AvrForm::RequireFileWindow() {
    if (wb.FileWin) return true;
    wb.prompts.ShowMsg("Must open a file to write...");
    StepFailed();
    return false;
}

bool AvrForm::BeginWrite(const char* status) {
    if (!RequireFileWindow()) return false;
    Status(status);
    return EnterAndCheck();
}

bool AvrForm::StoreCalibration(const std::string& edit, std::span<const std::uint8_t> bytes) {
    // The whole field is the address ("1ffff" is 0x1FFFF, not its first four digits).
    const std::int64_t a = ParseHex32(Text(edit)).value_or(0);
    if (a <= 0 || a + static_cast<std::int64_t>(bytes.size()) > ImageSize) {
        Status("校准Add 不能等于0");
        wb.ErrorFlag() = 1;
        return false;
    }
    wb.ErrorFlag() = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) *Image(static_cast<std::int32_t>(a + static_cast<std::int64_t>(i))) = bytes[i];
    return true;
}

void AvrForm::SuppliesOff() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

bool AvrForm::EnterAndCheck() { return EnterProgramming() != 0 && Ep3.CheckCurrent() != 0; }

void AvrForm::RowWriteWait() {
    const AvrRow* r = SelectedRow();
    int n = r ? r->WriteWaits : 0;
    if (SpeedText() == "Slow  ") n *= 2;
    for (int i = 0; i < n; ++i) Ep3.UsbPut1(proto::OpWait1ms);
}

std::uint8_t AvrForm::LockBitsFromBoxes() const {
    std::uint8_t b = 0xFF;
    if (Ticked("Lb1")) b = static_cast<std::uint8_t>(b & ~0x02);
    if (Ticked("Lb2")) b = static_cast<std::uint8_t>(b & ~0x04);
    return b;
}

std::uint8_t AvrForm::LockFromMode() const {
    switch (ItemIndex("RadioGroup1")) {
        case 1: return 0x04;  // LB1 programmed
        case 2: return 0x02;  // LB2 programmed
        case 3: return 0x06;  // neither
        default: return 0x00;  // LB1 and LB2 programmed
    }
}

// ---- the batch --------------------------------------------------------------------------------

std::vector<AlgoForm::BatchStep> AvrForm::Steps() {
    return BatchSteps<AvrForm>(this, {{"CheckBoxCalibrate", &AvrForm::RdCalibrateClick},
                                      {"CheckBoxErase", &AvrForm::EraseClick},
                                      {"CheckBoxBlank", &AvrForm::BlankClick},
                                      {"CheckBoxWrite", &AvrForm::WriteClick},
                                      {"CheckBoxVer", &AvrForm::VerifyClick},
                                      {"CheckBoxrWrData", &AvrForm::WrDataClick},
                                      {"CheckBoxFuse", &AvrForm::WtFuseClick},
                                      {"CheckBoxConfig", &AvrForm::SecrityClick}});
}

std::function<bool()> AvrForm::NextChipOnRow() {
    const AvrRow& r = Row();
    return [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) != 0; };
}

// ---- passes over the memories -------------------------------------------------------------

bool AvrForm::ReadFlashBlocks(int blockBytes,
                              const std::function<bool(std::int32_t, const std::uint8_t*)>& onBlock) {
    const AvrRow& r = Row();
    for (std::int32_t s = 0; s < r.FlashLast; s += blockBytes) {
        ShowProgress(s);
        for (int j = 0; j < blockBytes; j += 2) ReadFlashWord(s + j);
        Ep3.UsbReadReply();
        if (!onBlock(s, Ep3.UsbReplyBuf.data())) return false;
    }
    return true;
}

void AvrForm::ReadFlashIntoImage() {
    const AvrRow& r = Row();
    Ep3.UsbFlush();
    ReadFlashBlocks(64, [this](std::int32_t s, const std::uint8_t* reply) {
        std::copy(reply, reply + 64, Image(s));
        return true;
    });
    ShowProgress(r.FlashLast);
}

void AvrForm::ReadEepromIntoImage() {
    const AvrRow& r = Row();
    Ep3.UsbFlush();
    for (std::int32_t s = 0; s < r.EepromLast; s += 64) {
        ShowProgress(s);
        for (int i = 0; i < 64; ++i) ReadEepromByte(s + i);
        Ep3.UsbReadReply();
        std::copy(Ep3.UsbReplyBuf.data(), Ep3.UsbReplyBuf.data() + 64, Image(EepromOffset + s));
    }
}

void AvrForm::EndEepromRead() {
    const AvrRow& r = Row();
    SetProgress("RdBar", 0, r.FlashLast, r.FlashLast);
    SuppliesOff();
    Success("OK");
    if (wb.FileWin) wb.FileWin->ViewStart = EepromOffset;
    wb.Display();
    AlgoForm::Show();
}

void AvrForm::WriteFlashWords(int flushEvery) {
    const AvrRow& r = Row();
    for (std::int32_t a = 0; a <= r.FlashLast; a += 2) {
        WriteFlashWord(a, static_cast<std::uint16_t>(*Image(a) | (*Image(a + 1) << 8)));
        if (a % flushEvery == 0) {
            ShowProgress(a);
            Ep3.UsbFlush();
        }
    }
    Ep3.UsbFlush();
    ShowProgress(r.FlashLast);
}

void AvrForm::WriteEepromByByte() {
    Row();
    if (!BeginWrite("Writing ...")) return;
    WriteEepromBytes(256);
    Success("OK");
    SuppliesOff();
}

void AvrForm::WriteEepromBytes(int flushEvery) {
    const AvrRow& r = Row();
    for (std::int32_t i = 0; i <= r.EepromLast; ++i) {
        WriteEepromByte(i, *Image(EepromOffset + i));
        if (i % flushEvery == 0) {
            ShowProgress(i);
            Ep3.UsbFlush();
        }
    }
    Ep3.UsbFlush();
    ShowProgress(r.EepromLast);
    SetProgress("RdBar", 0, r.FlashLast, r.FlashLast);
}

void AvrForm::ShowReadId() {
    SuppliesOff();
    Ep3.UsbReadReply();
    const auto& b = Ep3.UsbReplyBuf;
    for (std::size_t i = 0; i < 3; ++i) wb.sel.LastReadId[i] = b[i];
    char buf[40];
    std::snprintf(buf, sizeof buf, "ID: %02x,%02x,%02x", b[0], b[1], b[2]);
    Status(buf);
}

bool AvrForm::CompareFlashBlocks(int blockBytes, bool againstImage, const char* failText) {
    return ReadFlashBlocks(blockBytes, [this, blockBytes, againstImage, failText](std::int32_t s,
                                                                                   const std::uint8_t* reply) {
        for (int i = 0; i < blockBytes; ++i)
            if (reply[i] != (againstImage ? *Image(s + i) : 0xFF)) {
                Status(failText);
                wb.ErrorFlag() = 1;
                ShowProgress(s);
                SuppliesOff();
                return false;
            }
        return true;
    });
}

bool AvrForm::BlankFlashBlocks(int blockBytes) { return CompareFlashBlocks(blockBytes, false, "No empty."); }

bool AvrForm::VerifyFlashBlocks(int blockBytes) { return CompareFlashBlocks(blockBytes, true, "Failed..! "); }

void AvrForm::EndFlashCheck(const AvrRow& r, const char* text) {
    wb.ErrorFlag() = 0;
    SuppliesOff();
    Success(text);
    ShowProgress(r.FlashLast);
}

namespace avr {

std::string Box(int k) { return "CheckBox" + std::to_string(k); }

std::uint8_t ByteFromBoxes(const AlgoForm& f, int first) {
    std::uint8_t v = 0;
    for (int k = 0; k < 8; ++k)
        if (!f.Ticked(Box(first + k))) v = static_cast<std::uint8_t>(v | (1u << k));
    return v;
}

void BoxesFromByte(AlgoForm& f, int first, std::uint8_t value, int bits) {
    for (int k = 0; k < bits; ++k) f.PutChecked(Box(first + k), !(value & (1u << k)));
}

bool HasPackageMark(const std::string& typeText) {
    return typeText.find("*P44") != std::string::npos || typeText.find("*Q44") != std::string::npos;
}

void ShowPackagePicture(TEp3& ep3, const std::string& typeText) {
    if (typeText.find("*P44") != std::string::npos) ep3.ShowPlacementBitmap("p44.bmp");
    if (typeText.find("*Q44") != std::string::npos) ep3.ShowPlacementBitmap("qfp44.bmp");
}

void SetPins(AvrRow& r, const Placement& p) {
    r.VppPin = p.vpp;
    r.VccPin = p.vcc;
    r.GndPin = p.gnd;
    r.MaskLo = p.maskLo;
    r.MaskHi = p.maskHi;
}

// ---- the rows the AVR windows share ---------------------------------------------------------------

using namespace win;

ControlRows ParallelButtons(const char* write, const char* readFuse, bool eeprom) {
    return {PushButton({"Read1", "Read  "}),
            PushButton({"Erase", "Erase"}),
            PushButton({"Blank", "Blank?  "}),
            PushButton({"Write", write}),
            PushButton({"Verify", "Vrfy."}),
            PushButton({"Secrity", "Lock "}),
            PushButton({"WtFuse", "W.Fuse"}),
            PushButton({"ReadFuse", readFuse}),
            If(eeprom, PushButton({"RdData", "R.Data"})),
            If(eeprom, PushButton({"WrData", "W.Data"}))};
}

ControlRows SerialButtons(const char* id) {
    return {PushButton({"Erase", "Erase"}),
            PushButton({"Blank", "Blank?  "}),
            PushButton({"Write", "Write."}),
            PushButton({"Verify", "Vrfy."}),
            PushButton({"Read1", "Read  "}),
            PushButton({"RdData", "R.Data"}),
            PushButton({"WrData", "W.Data"}),
            PushButton({"ReadFuse", "R.Fuse "}),
            PushButton({"WtFuse", "W.Fuse"}),
            PushButton({"Secrity", "Lock "}),
            PushButton({id, "Read ID "})};
}

ControlRows StepBoxes(bool eeprom) {
    return {win::Box({"CheckBoxErase", "Ers."}, true),
            win::Box({"CheckBoxBlank", "Blank?  "}, true),
            win::Box({"CheckBoxWrite", "Write."}, true),
            win::Box({"CheckBoxVer", "Vrfy"}, true),
            If(eeprom, win::Box({"CheckBoxrWrData", "W.Data"}, true)),
            win::Box({"CheckBoxFuse", "W.Fuse"}, true),
            win::Box({"CheckBoxConfig", "Lock"}, true)};
}

ControlRow CalibrateBox() { return win::Box({"CheckBoxCalibrate", "R.RC校准"}, true); }

ControlRow CalibrateButton() { return PushButton({"RdCalibrate", "R.RC校准"}); }

ControlRows BatchGroup(const char* group, ControlRows boxes) {
    boxes.push_back(PushButton({"Button1", " Run "}));
    return Join({{Group({group, "Batch   "})}, In(group, std::move(boxes))});
}

ControlRows BoxGroup(Face group, int first, const std::vector<std::string>& captions, int ticked) {
    ControlRows rows = {Group(group)};
    for (std::size_t k = 0; k < captions.size(); ++k) {
        const int n = first + static_cast<int>(k);
        const std::string name = Box(n);
        rows.push_back(win::Box({name.c_str(), captions[k].c_str()}, n == ticked, group.Name));
    }
    return rows;
}

ControlRows LockBoxes(int count) {
    static const std::vector<std::string> kLocks = {"LB1",   "LB2",   "BLB01",   "BLB02",
                                                    "BLB11", "BLB12", "NO USED", "NO USED"};
    return BoxGroup({"GroupBox3", "LockLock(打勾编程为0)"}, 17,
                    std::vector<std::string>(kLocks.begin(), kLocks.begin() + count));
}

ControlRows LbBoxes(const char* caption) {
    return In("GroupBox3",
              {Group({"GroupBox3", caption}), win::Box({"Lb1", "LB1"}, true), win::Box({"Lb2", "LB2"}, true)});
}

ControlRow SpeedBox(bool blankItem) {
    std::vector<std::string> items = {"Fast写", "Slow  "};
    if (blankItem) items.emplace_back(" ");
    return Combo({"Speed"}, std::move(items), 0);
}

ControlRow VerifyLevels() {
    return Combo({"VeriyVolt"}, {"Vrfy电压5.0V", "Vrfy电压4.2V", "Vrfy电压3.3V", "Vrfy电压2.5V"}, 0);
}

namespace {
ControlRow AddressField() { return Red(ReadOnly(Edit({"Edit6"}, "Add "))); }
}  // namespace

ControlRows Readouts() {
    return {Status("Msg", "Prompt  "), AddressField(), Progress("RdBar"), ReadOnly(Edit({"Edit7"}, "Type"))};
}

ControlRows MegaReadouts() { return {Label({"Note"}), Progress("RdBar"), AddressField(), Status("Msg", "")}; }

ControlRow ExitButton() { return PushButton({"CancelBtn", "Exit "}); }

}  // namespace avr

}  // namespace quilla
