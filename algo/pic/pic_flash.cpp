#include "algo/common/scan.h"
#include "algo/pic/pic_flash.h"

#include <cstdio>

namespace quilla {

std::vector<PicRow> F87xRows(const F87xNames& names, bool eeprom) {
    struct Part {
        bool dip40;
        std::int32_t programLast, eepromLast;
    };
    constexpr Part kParts[8] = {{.dip40 = false, .programLast = 0x0FFF, .eepromLast = 0x3F},
                                {.dip40 = true, .programLast = 0x0FFF, .eepromLast = 0x3F},
                                {.dip40 = false, .programLast = 0x0FFF, .eepromLast = 0x3F},
                                {.dip40 = false, .programLast = 0x1FFF, .eepromLast = 0x7F},
                                {.dip40 = true, .programLast = 0x1FFF, .eepromLast = 0x7F},
                                {.dip40 = false, .programLast = 0, .eepromLast = 0},
                                {.dip40 = false, .programLast = 0x3FFF, .eepromLast = 0xFF},
                                {.dip40 = true, .programLast = 0x3FFF, .eepromLast = 0xFF}};
    std::vector<PicRow> rows{{.Name = "Exit"}};
    for (std::size_t i = 0; i < 8; ++i) {
        const Part& p = kParts[i];
        const std::int32_t ee = eeprom ? p.eepromLast : 0;
        if (p.programLast == 0) rows.push_back({.Name = names[i]});
        else if (p.dip40)
            rows.push_back({.Name = names[i], .VppPin = 1, .VccPin = 32, .GndPin = 31, .ProgramLast = p.programLast,
                            .EepromLast = ee, .ContactLo = 0xFFFFFFFF, .ContactHi = 0xFF});
        else
            rows.push_back({.Name = names[i], .VppPin = 7, .VccPin = 26, .GndPin = 25, .ProgramLast = p.programLast,
                            .EepromLast = ee, .ContactLo = 0xFFFFFF80, .ContactHi = 0x03});
    }
    return rows;
}

using namespace proto;

const PicPackage kPicPackages44to18[5] = {
    {.pkg = 44, .design = "pic16plcc44.bit", .picture = "p44b.bmp", .vpp = 22, .vcc = 11, .gnd = 10, .lo = 0x248600},
    {.pkg = 45, .design = "pic16qfp44.bit", .picture = "qfp44.bmp", .vpp = 22, .vcc = 11, .gnd = 10, .lo = 0x290600},
    kDip40,
    kDip28,
    kDip18,
};

const PicPackage* FindPicPackage(const PicPackage* table, std::size_t n, int pkg) {
    for (std::size_t i = 0; i < n; ++i)
        if (table[i].pkg == pkg) return &table[i];
    return nullptr;
}

PicFlashForm::PicFlashForm(Workbench& w, std::string caption, const PicVariant& variant, PicFlashTraits traits)
    : PicForm(w, std::move(caption), variant), traits_(traits) {
    static_assert(kFileConfig14 == EepromImage + 2 * kConfigWordAddress);
    fileConfig_ = {kFileConfig14, 0x3FFF, 0x3FFF, "boxes'"};
}

const PicRow& PicFlashForm::Row() {
    RefuseUnlessReady(ready_);
    return row_;
}

bool PicFlashForm::DeviceIdCheck(bool skipContact) {
    return Pic.CheckDeviceId(wb.sel, Row().Pins(), 0xFF, skipContact);
}

int PicFlashForm::ReadIdForSelfCheck() {
    Guarded([this] { Pic.ReadDeviceId(wb.sel, Row().Pins()); });
    return 2;
}

bool PicFlashForm::SetupBegin() {
    ready_ = false;
    if (!AcceptDeviceLine()) return false;
    wb.FileNew();
    AlgoForm::Show();
    row_ = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    return true;
}

int PicFlashForm::SetupFromLine(bool eeprom, ConfigNameForm captions, std::span<const PicPackage> packages,
                                bool label) {
    if (eeprom) {
        const int ee = wb.sel.GetParam("ee=");
        row_.EepromLast = ee - 1;
        for (const char* c : {"WrData", "RdData", "RadioGroup2", "CheckBoxrWrData"})
            if (Has(c)) SetEnabled(c, ee != 0);
        Get("CheckBoxrWrData").Checked = ee != 0;
    } else {
        row_.EepromLast = -1;
    }
    row_.ProgramLast = 2 * wb.sel.GetParam("fla=") - 1;
    row_.WriteDelay = wb.sel.GetParam("dly=");
    ApplyCaptions(ConfigBitNames(captions, wb.sel.GetParam("cfg=")));
    const int pkg = wb.sel.GetParam("pkg=");
    if (pkg == 0) wb.prompts.ShowMessage("Bad Package! ");
    if (const PicPackage* p = FindPicPackage(packages.data(), packages.size(), pkg)) {
        if (label && p->label) PutCaption("Package", p->label);
        if (p->picture) Ep3.ShowPlacementBitmap(p->picture);
        Ep3.LoadBitFile(p->design);
        row_.SeatIn(*p);
    }
    Put(kUserId, Hex4(wb.FileWin ? wb.FileWin->BufferChecksum : 0));
    Ep3.VppPin(0);
    Status(Ep3.Connected ? "" : "Comm Err.");
    wb.Display();
    Put(kType, wb.sel.SelectedDevice);
    return pkg;
}

ControlRows PicFlashForm::OperationButtons(bool data) {
    using namespace picwin;
    using namespace win;
    return {PushButton(kErase),  PushButton(kWrite),           PushButton(kVerify),
            PushButton(kRead),   If(data, PushButton(kWrData)), If(data, PushButton(kRdData)),
            PushButton(kWrtCfg), PushButton(kReadCfg),         PushButton(kBlank)};
}

ControlRows PicFlashForm::FlashBatch(bool data) {
    using namespace picwin;
    std::vector<BatchBox> boxes{{kEraseBox}, {kBlankBox}, {kWriteBox}, {kVerifyBox}};
    if (data) boxes.push_back({kDataBox});
    boxes.push_back({kWrtCfgBox});
    return Batch(boxes, kRun1);
}

std::vector<AlgoForm::BatchStep> PicFlashForm::FlashSteps(bool data) {
    using namespace picwin;
    using F = PicFlashForm;
    Handlers<F> boxes{{kEraseBox.Name, &F::EraseClick},
                      {kBlankBox.Name, &F::BlankClick},
                      {kWriteBox.Name, &F::WriteClick},
                      {kVerifyBox.Name, &F::VerifyClick}};
    if (data) boxes.push_back({kDataBox.Name, &F::WrDataClick});
    boxes.push_back({kWrtCfgBox.Name, &F::WtConfigClick});
    return BatchSteps(this, boxes);
}

ControlRows PicFlashForm::IdFields(bool makerReadOnly) {
    using namespace win;
    const ControlRow maker = Edit({"Edit2", "厂家识别码(只读)"}, "");
    return {Edit({kUserId, "用户识别码(读/写) "}, "ffff"), makerReadOnly ? ReadOnly(maker) : maker};
}

ControlRow PicFlashForm::EraseChoice() {
    return win::Radio({"RadioGroup2", "Erasing "}, {"Code  ", "Data  ", "程序+数据", "程序+数据+CFG "}, 3);
}

ControlRow PicFlashForm::WriteSpeed() { return win::Combo({"Speed"}, {"Fast写", "Slow  "}, 0); }

// ---- program memory -----------------------------------------------------------------------------------

void PicFlashForm::ReadToFileClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::Read)) return;
    Status(traits_.readStatus);
    if (!Pic.Enter(r.Pins(), true)) return;
    if (traits_.readFlushesFirst) Ep3.UsbFlush();
    // Only the captured words are stored: the last block of a part never
    // writes past its program area.
    const int n = Pic.Variant().wordsPerReply;
    for (std::int32_t a = 0; a <= r.ProgramLast; a += 2 * n) {
        ShowProgress(a, r.ProgramLast);
        Pic.ReadBlock(n, wb.ImageBuffer.data() + a);
    }
    MaskWordHighBytes(r.ProgramLast, 0x3F);
    ShowProgress(r.ProgramLast, r.ProgramLast);
    Pic.Leave();
    Success("OK");
    if (traits_.readResetsView && wb.FileWin && wb.FileWin->ViewStart > 0x3FFF) wb.FileWin->ViewStart = 0;
    wb.Display();
    AlgoForm::Show();
}

void PicFlashForm::BlankClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::Blank)) return;
    Status(traits_.blankStatus);
    if (!Pic.Enter(r.Pins(), true)) return;
    Pic.QueueConfigRead(0xFF);
    Pic.Leave();
    const auto area = Pic.ReplyWords();
    if ((area[7] & traits_.blankConfigMask) != traits_.blankConfigMask) {
        Status(traits_.configNotBlank);
        wb.ErrorFlag() = 1;
        return;
    }
    if (!Pic.Enter(r.Pins(), traits_.blankSecondEntryChecks)) return;
    wb.ErrorFlag() = 0;
    Ep3.UsbFlush();
    if (const std::int32_t p = FirstDifferentWord(r, nullptr); p >= 0) {
        Status("No empty.");
        ShowProgress(p - p % (2 * Pic.Variant().wordsPerReply), r.ProgramLast);  // the block's address
        wb.ErrorFlag() = 1;
        Pic.Leave();
        return;
    }
    Pic.Leave();
    Success(traits_.blankDone);
}

std::int32_t PicFlashForm::FirstDifferentWord(const PicRow& r, const std::uint8_t* image) {
    const int n = Pic.Variant().wordsPerReply;
    const std::int32_t last = CheckedLast(r);
    std::uint8_t block[64];
    for (std::int32_t a = 0; a < r.ProgramLast; a += 2 * n) {
        ShowProgress(a, r.ProgramLast);
        Pic.ReadBlock(n, block);
        for (int k = 0; k < n && a + 2 * k < last; ++k) {
            const std::int32_t p = a + 2 * k;
            const unsigned lo = image ? image[p] : 0xFFu;
            const unsigned hi = image ? (image[p + 1] & 0x3Fu) : 0x3Fu;
            if (block[2 * k] != lo || (block[2 * k + 1] & 0x3Fu) != hi) return p;
        }
    }
    return -1;
}

void PicFlashForm::WriteClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::Write)) return;
    if (!NeedFileWindow()) return;
    MaskWordHighBytes(r.ProgramLast, 0x3F);
    wb.Display();
    Status("Writing..");
    if (traits_.writeVppOffFirst) Ep3.VppPin(0);
    if (!Pic.Enter(r.Pins(), true)) return;
    const int waits = Waits();
    const std::int32_t last = CheckedLast(r);
    for (std::int32_t a = 0; a <= last; a += 2) {
        const auto* img = wb.ImageBuffer.data() + a;
        Pic.ProgramWord(static_cast<std::uint16_t>(img[0] | (img[1] << 8)), waits);
        if (a % 16 == 0) {
            ShowProgress(a, r.ProgramLast);
            Ep3.UsbFlush();
        }
    }
    ShowProgress(r.ProgramLast, r.ProgramLast);
    if (traits_.writeKeepsVcc) Ep3.VppPin(0);
    else Pic.Leave();
    Success(traits_.writeDone);
}

void PicFlashForm::VerifyClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::Verify)) return;
    Status("Verify.");
    Pic.PowerOn(r.Pins());
    const std::string volt = Has("VeriyVolt") ? Text("VeriyVolt") : std::string();
    Ep3.SetVcc(volt == "Vrfy电压3.3V" ? 3300 : volt == "Vrfy电压2.5V" ? 2500 : SetupVcc);
    Ep3.VppPin(r.VppPin);
    Pic.SerialEnable();
    auto end = [&] {
        Pic.Leave();
        Ep3.SetVcc(SetupVcc);
    };
    if (traits_.verifyChecksCurrent && Ep3.CheckCurrent() == 0) {
        Ep3.SetVcc(SetupVcc);
        return;
    }
    wb.ErrorFlag() = 0;
    Ep3.UsbFlush();
    if (const std::int32_t p = FirstDifferentWord(r, wb.ImageBuffer.data()); p >= 0) {
        Status("Error....");
        ShowProgress(p, r.ProgramLast);
        wb.ErrorFlag() = 1;
        end();
        return;
    }
    end();
    Success("OK");
    ShowProgress(r.ProgramLast, r.ProgramLast);
}

// ---- configuration ------------------------------------------------------------------------------------

void PicFlashForm::RdConfigClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::ReadConfig)) return;
    SetEnabled(kReadConfig, false);
    if (!Pic.Enter(r.Pins(), true)) {
        SetEnabled(kReadConfig, true);
        return;
    }
    Pic.QueueConfigRead(traits_.readConfigLoad);
    const auto area = Pic.ReplyWords();
    UserId = UserIdFromWords(area.data());
    ConfigWord = area[7];
    Put("Edit2", Hex4(area[6] & traits_.deviceIdMask));
    Pic.Leave();
    ConfigToControls();
    Put(kUserId, Hex4(UserId));
    SetEnabled(kReadConfig, true);
    Success("Config = " + Hex4(ConfigWord));
}

void PicFlashForm::WtConfigClick() {
    const PicRow& r = Row();
    if (traits_.writeConfigChecks) {
        Status(traits_.writeConfigStatus);
        if (!Check(PicStep::WriteConfig)) return;
    }
    ControlsToConfig();
    // The boxes are what is programmed; a file's own word that differs is named.
    SayFileConfigWord(ConfigWord);
    if (!Pic.Enter(r.Pins(), true)) return;
    if (traits_.writeConfigThenWord) Pic.WriteConfigAreaThenWord(UserId, ConfigWord, Waits());
    else Pic.WriteConfigArea(UserId, ConfigWord, Waits());
    Pic.Leave();
    if (traits_.writeConfigDone) Success(traits_.writeConfigDone);
}

// ---- data EEPROM --------------------------------------------------------------------------------------

void PicFlashForm::RdDataClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::ReadData)) return;
    Status("Reading..");
    if (!Pic.Enter(r.Pins(), true)) return;
    Ep3.UsbFlush();
    int i = EepromImage;
    const std::int32_t end = 2 * r.EepromLast + (traits_.readDataInclusive ? 1 : 0);
    for (std::int32_t b = 0; b < end; b += 64, i += 32)
        Pic.ReadEepromBlock(32, wb.ImageBuffer.data() + i);
    Ep3.UsbFlush();
    Pic.Leave();
    Success("OK,Data 存放在文件缓冲区4000h开始");
    if (wb.FileWin) wb.FileWin->ViewStart = EepromImage;
    wb.Display();
    AlgoForm::Show();
}

bool PicFlashForm::ToolchainLayout(int ee) const {
    if (ee <= 0 || ee > kToolchainEepromMax) return false;
    return !LoadStored(kToolchainGapFirst, kToolchainEeprom - 1) &&
           LoadStored(kToolchainEeprom, kToolchainEeprom + 2 * static_cast<std::int64_t>(ee) - 1);
}

std::optional<std::uint16_t> PicFlashForm::FileConfigWord() const {
    if (LoadStored(kToolchainGapFirst, kToolchainEeprom - 1)) return std::nullopt;
    return PicForm::FileConfigWord();
}

std::vector<std::pair<std::int64_t, std::int64_t>> PicFlashForm::SideAreas() const {
    return {{EepromImage, kToolchainEeprom + 2 * kToolchainEepromMax - 1}};
}

void PicFlashForm::WrDataClick() {
    const PicRow& r = Row();
    const int ee = r.EepromLast + 1;
    if (!Check(PicStep::WriteData)) return;
    if (!NeedFileWindow()) return;
    // The bytes to write: image 4000h + i, or for a file in the toolchain's
    // layout its EEPROM bytes at 4200h + 2i (the IDs and the configuration
    // word at 4000h-400Fh never go into the EEPROM).
    const bool toolchain = ToolchainLayout(ee);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(ee));
    for (int i = 0; i < ee; ++i)
        data[static_cast<std::size_t>(i)] =
            wb.ImageBuffer[static_cast<std::size_t>(toolchain ? kToolchainEeprom + 2 * i : EepromImage + i)];
    if (toolchain)
        SayOncePerRun("The file holds its data EEPROM as a toolchain writes it (byte i at 4200h + 2i): W.Data writes "
                      "those " + std::to_string(ee) +
                      " bytes, not the user ID and configuration bytes at 4000h-400Fh");
    Status("Writing..");
    Ep3.VppPin(0);
    if (!Pic.Enter(r.Pins(), true)) return;
    wb.ErrorFlag() = 0;
    for (int i = 0; i < ee; ++i) {
        Pic.SendCommandData(Pic.Codes().loadData, data[static_cast<std::size_t>(i)]);
        Pic.SendCommand(traits_.dataBegin);
        Ep3.UsbPut1(OpWaitSettle);
        Pic.SendCommand(Pic.Codes().increment);
        if (traits_.dataEnd >= 0) Pic.SendCommand(static_cast<std::uint8_t>(traits_.dataEnd));
    }
    Ep3.UsbFlush();
    Pic.Leave();
    Pic.Enter(r.Pins(), false);
    for (int j = 0; j * 32 < ee; ++j) {
        for (int k = 0; k < 32; ++k) {
            Pic.ReadWord(Pic.Codes().readData);
            Pic.SendCommand(Pic.Codes().increment);
        }
        Ep3.UsbReadReply(Ep3.UsbReplyBuf.data() + 64 * j);
    }
    Ep3.UsbFlush();
    Pic.Leave();
    for (int i = 0; i < ee; ++i) {
        if (Ep3.UsbReplyBuf[static_cast<std::size_t>(2 * i)] != data[static_cast<std::size_t>(i)]) {
            wb.ErrorFlag() = 1;
            Status("W.DataErr.！");
            return;
        }
    }
    if (toolchain)
        Success(FormatText("已经将文件缓冲区%x~%x写到器件，经Verified。", kToolchainEeprom,
                        static_cast<unsigned>(kToolchainEeprom + 2 * ee - 2)));
    else
        Success(FormatText("已经将文件缓冲区%x~%x写到器件，经Verified。", EepromImage, static_cast<unsigned>(EepromImage + ee - 1)));
}

// ---- erase routines ----------------------------------------------------------------------------

bool PicFlashForm::EraseProgram(const PicRow& r) {
    Pic.Enter(r.Pins(), false);
    Pic.EraseProgram0107();
    Pic.Leave();
    return true;
}

bool PicFlashForm::EraseData(const PicRow& r) {
    if (!Pic.Enter(r.Pins(), true)) return false;
    Pic.EraseData0107();
    Ep3.VppPin(0);
    return true;
}

bool PicFlashForm::EraseAll(const PicRow& r) {
    if (!Pic.Enter(r.Pins(), true)) return false;
    Pic.EraseAll0107();
    Pic.Leave();
    return true;
}

bool PicFlashForm::EraseByItem(const PicRow& r, int item) {
    switch (item) {
        case 0: return EraseProgram(r);
        case 1: return EraseData(r);
        case 2: return EraseProgram(r) && EraseData(r);
        default: return EraseAll(r) && EraseData(r);
    }
}

bool PicFlashForm::EraseAfterPowerUp(const PicRow& r, void (PicSerial::*erase)()) {
    Pic.PowerOn(r.Pins());
    Ep3.VccPin(r.VccPin);
    Ep3.VppPin(r.VppPin);
    Pic.SerialEnable();
    if (Ep3.CheckCurrent() == 0) return false;
    (Pic.*erase)();
    Pic.Leave();
    return true;
}

void PicFlashForm::OneCommandEraseClick(void (PicSerial::*erase)()) {
    const PicRow& r = Row();
    if (!Check(PicStep::Erase)) return;
    Status("Erasing....");
    if (!EraseAfterPowerUp(r, erase)) return;
    Success("End.");
}

}  // namespace quilla
