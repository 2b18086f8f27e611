#include "algo/pic/p12c508.h"

#include <cstdio>

#include "algo/common/sidefile.h"
#include "algo/pic/p16c8x.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

// ---- the eleven-character ".CON" ------------------------------------------------------------------------

std::optional<std::array<bool, 7>> ReadConFile11(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (path.empty() || !ReadTextModeFile(path, bytes) || bytes.size() < 7 || bytes.size() > 11) return std::nullopt;
    std::array<bool, 7> boxes{};
    for (std::size_t k = 0; k < 7; ++k) {
        if (bytes[k] != '0' && bytes[k] != '1') return std::nullopt;
        boxes[k] = bytes[k] == '1';
    }
    return boxes;
}

bool WriteConFile11(const std::string& path, const std::array<bool, 7>& boxes, const std::string& userIdText) {
    if (path.empty()) return false;
    std::vector<std::uint8_t> bytes;
    for (bool b : boxes) bytes.push_back(b ? '1' : '0');
    for (std::size_t i = 0; i < 4 && i < userIdText.size(); ++i) bytes.push_back(SideFileTextByte(userIdText[i]));
    return WriteTextModeFile(path, bytes);
}

// ---- shared flows -----------------------------------------------------------------------------------------

Pic12OtpForm::Pic12OtpForm(Workbench& w, std::string caption, const PicVariant& variant, const char* keyword)
    : PicForm(w, std::move(caption), variant), keyword_(keyword) {
    fileConfig_ = {kFileConfig12, 0x0FFF, 0x0FFF, "boxes'"};
}

std::string Pic12OtpForm::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 1 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of " + keyword_ + " is not in the device table";
    return {};
}

const PicRow& Pic12OtpForm::Row() {
    RefuseUnlessReady(ready_);
    return row_;
}

bool Pic12OtpForm::SetupBegin() {
    ready_ = false;
    if (!AcceptDeviceLine()) return false;
    row_ = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    return true;
}

void Pic12OtpForm::SetupCommon(int vcc) {
    ShowNewImage(row_.ProgramLast);
    AlgoForm::Show();
    SetCaption(row_.Name);
    Put(kType, row_.Name);
    Ep3.SetVpp(12000);
    Ep3.SetVcc(vcc);
    Put(kUserId, Hex4(wb.FileWin ? wb.FileWin->BufferChecksum : 0));
    ready_ = true;
}

bool Pic12OtpForm::CheckContact() {
    const PicRow& r = Row();
    return Ep3.CheckPinContact(r.GndPin, 0, maskLo_, maskHi_, 0) != 0;
}

void Pic12OtpForm::Enter() {
    const PicRow& r = Row();
    // The PIC12C508 form's power-up routes no ground: grounded here, so the
    // chip is powered whether or not a contact test ran first.
    if (groundAtPowerUp_) Ep3.GndPin(r.GndPin);
    Pic.Enter(r.Pins(), false);
}

void Pic12OtpForm::GatherProgram(std::vector<std::uint8_t>& out) {
    const PicRow& r = Row();
    out.assign(static_cast<std::size_t>(r.ProgramLast + 1) + 64, 0);
    Ep3.UsbFlush();
    for (std::int32_t a = 0; a < r.ProgramLast; a += 64) {
        ShowProgress(a, r.ProgramLast);
        Pic.ReadBlock(32, out.data() + a);
    }
}

std::uint16_t Pic12OtpForm::ReadLastWord() {
    const PicRow& r = Row();
    Enter();
    const int words = (r.ProgramLast + 1) / 2;
    for (int i = 0; i < words; ++i) Pic.SendCommand(Pic.Codes().increment);  // config, then words 0..words-2
    Pic.ReadWord(Pic.Codes().readProgram);
    Off();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    return static_cast<std::uint16_t>((Ep3.UsbReplyBuf[0] | (Ep3.UsbReplyBuf[1] << 8)) & 0x0FFF);
}

void Pic12OtpForm::BlankClick() {
    const PicRow& r = Row();
    if (!CheckContact()) return;
    Status("Blank CHK");
    Enter();
    wb.ErrorFlag() = 0;
    Pic.ReadNext();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    if (Ep3.UsbReplyBuf[0] != 0xFF || (Ep3.UsbReplyBuf[1] & 0x0F) != 0x0F) {
        Status("CONFIG No!!!");
        wb.ErrorFlag() = 1;
        Off();
        return;
    }
    CompareProgram(r, nullptr, "No empty.");
}

// The calibration word is programmed only into a chip that reads it erased.
void Pic12OtpForm::WriteClick() {
    const PicRow& r = Row();
    if (!CheckContact()) return;
    if (!NeedFileWindow()) return;
    Status("Write");
    MaskWordHighBytes(r.ProgramLast, 0x0F);
    wb.Display();
    const bool lastErased = ReadLastWord() == 0x0FFF;
    Ep3.VppPin(0);
    Enter();
    Pic.SendCommand(Pic.Codes().increment);
    const int waits = Pic.WaitCount({0, "", Has("RadioGroup2") ? ItemIndex("RadioGroup2") : 0});
    const std::int32_t last = lastErased ? r.ProgramLast : r.ProgramLast - 2;
    for (std::int32_t p = 0; p <= last; p += 2) {
        const auto* img = wb.ImageBuffer.data() + p;
        Pic.ProgramWord(static_cast<std::uint16_t>(img[0] | ((img[1] & 0x0F) << 8)), waits);
        if ((p & 0xFF) == 0) {
            ShowProgress(p, r.ProgramLast);
            Ep3.UsbFlush();
        }
    }
    ShowProgress(r.ProgramLast, r.ProgramLast);
    Off();
    Success("Ended.");
}

void Pic12OtpForm::ReadToFileClick() {
    const PicRow& r = Row();
    if (!CheckContact()) return;
    Status("Read.");
    if (groundAtPowerUp_) Ep3.GndPin(r.GndPin);
    Pic.PowerOn(r.Pins());
    Ep3.VppPin(r.VppPin);
    if (Ep3.CheckCurrent() == 0) return;
    Pic.SendCommand(Pic.Codes().increment);
    Ep3.UsbFlush();
    for (std::int32_t a = 0; a < r.ProgramLast; a += 64) {
        ShowProgress(a, r.ProgramLast);
        Pic.ReadBlock(32, wb.ImageBuffer.data() + a);
    }
    MaskWordHighBytes(r.ProgramLast, 0x3F);
    ShowProgress(r.ProgramLast, r.ProgramLast);
    Off();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void Pic12OtpForm::VerifyClick() {
    const PicRow& r = Row();
    if (!CheckContact()) return;
    Status("Verify.");
    MaskWordHighBytes(r.ProgramLast, 0x0F);
    Enter();
    Pic.SendCommand(Pic.Codes().increment);
    wb.ErrorFlag() = 0;
    CompareProgram(r, wb.ImageBuffer.data(), "Error....");
}

void Pic12OtpForm::CompareProgram(const PicRow& r, const std::uint8_t* image, const char* fail) {
    std::vector<std::uint8_t> words;
    GatherProgram(words);
    for (std::int32_t p = 0; p < r.ProgramLast - 2; p += 2) {
        const unsigned lo = image ? image[p] : 0xFFu;
        const unsigned hi = image ? (image[p + 1] & 0x0Fu) : 0x0Fu;
        if (words[static_cast<std::size_t>(p)] != lo || (words[static_cast<std::size_t>(p + 1)] & 0x0Fu) != hi) {
            Status(fail);
            ShowProgress(p, r.ProgramLast);
            wb.ErrorFlag() = 1;
            Off();
            return;
        }
    }
    ShowProgress(r.ProgramLast, r.ProgramLast);
    Off();
    Success("OK");
}

void Pic12OtpForm::ReadConfig() {
    const PicRow& r = Row();
    Enter();
    Pic.ReadNext();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    ConfigWord = Ep3.UsbReplyBuf[0];
    for (std::int32_t i = 0; i < (r.ProgramLast + 1) / 2; ++i) Pic.SendCommand(Pic.Codes().increment);
    for (int k = 0; k < 4; ++k) Pic.ReadNext();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    const std::uint16_t ids[4] = {Ep3.UsbReplyBuf[0], Ep3.UsbReplyBuf[2], Ep3.UsbReplyBuf[4], Ep3.UsbReplyBuf[6]};
    UserId = UserIdFromWords(ids);
    Off();
    ConfigToControls();
}

void Pic12OtpForm::WriteConfig() {
    const PicRow& r = Row();
    ControlsToConfig();
    SayFileConfigWord(ConfigWord);
    Enter();
    const int waits = Pic.WaitCount({0, "", Has("RadioGroup2") ? ItemIndex("RadioGroup2") : 0});
    Pic.ProgramWord(static_cast<std::uint16_t>(ConfigWord & 0x0FFF), waits);
    for (std::int32_t i = 0; i < (r.ProgramLast + 1) / 2; ++i) Pic.SendCommand(Pic.Codes().increment);
    for (std::uint16_t w : UserIdWords(UserId)) Pic.ProgramWord(w, waits);
    Off();
}

void Pic12OtpForm::RdConfigClick() {
    Row();
    if (!CheckContact()) return;
    SetEnabled(kReadConfig, false);
    Status("Read CFG...");
    ReadConfig();
    Put(kUserId, Hex4(UserId));
    SetEnabled(kReadConfig, true);
    Success("Config = " + Hex4(ConfigWord));
}

void Pic12OtpForm::Button1Click() {
    const PicRow& r = Row();
    if (!CheckContact()) return;
    RunBatch(OneTimeSteps(*this),
             [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, maskLo_, maskHi_, 0) != 0; });
}

// ---- TP12c508x ----------------------------------------------------------------------------------------------

TP12c508x::TP12c508x(Workbench& w) : Pic12OtpForm(w, "P12c508", picvariant::P12c508x, "P12C508") {
    maskLo_ = 0xFF0000;
    groundAtPowerUp_ = true;
    fileConfig_.decided = 0x001F;  // MCLRE, CP, WDTE, FOSC1:0; bits 11-5 are not implemented
    using namespace picwin;
    using namespace win;
    using F = TP12c508x;
    DeclareControls(Join({OneTimeButtons(),
                          {Group({"GroupBox1", "Int CFG   "})},
                          In("GroupBox1", {Box({"CheckBox1", "Lockbit      "}),
                                           Box({"CheckBox2", "WTD          "}, true),
                                           Box({"CheckBox3", "MCLRE          "})}),
                          {Radio({"RadioGroup1", "OSC Mode    位"},
                                 {"LP           ", "XT          ", "Int. RC       ", "Ext. RC       "}, 1),
                           Radio({"RadioGroup2", "Speed "}, {"快", "标准", "慢"}, 1)},
                          Batch({{kBlankBox}, {kWriteBox}, {kVerifyBox}, {kWrtCfgBox}}, kRun1),
                          {UserIdField(), Label({"Package", "PKG:  "})},
                          Foot(false)}),
                    this,
                    {{"CheckBox1", &F::ConfigClick}, {"CheckBox2", &F::ConfigClick}, {"CheckBox3", &F::ConfigClick},
                     {"RadioGroup1", &F::ConfigClick}, {kRun1.Name, &F::Button1Click}});
    BindHandlers(this, OneTimeClicks<F>());
    Table = {{.Name = "Exit"},
             {.Name = "1: PIC12C508 (.5k)", .VppPin = 20, .VccPin = 17, .GndPin = 24, .ProgramLast = 0x03FF},
             {.Name = "2: PIC12C509 (1k)", .VppPin = 20, .VccPin = 17, .GndPin = 24, .ProgramLast = 0x07FF}};
    ReadConBoxes({"CheckBox1", "CheckBox2", "CheckBox3"}, 4);
}

void TP12c508x::SetupForDevice() {
    if (!SetupBegin()) return;
    Ep3.LoadBitFile("pic16dip08.bit");
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    Ep3.WriteReg(29, 4);
    SetupCommon(4400);
}

void TP12c508x::OnClose() {
    Ep3.PowerOff();
    WriteConBoxes({"CheckBox1", "CheckBox2", "CheckBox3"});
}

void TP12c508x::ControlsToConfig() {
    std::uint32_t w = 0xFFE0 | (static_cast<std::uint32_t>(ItemIndex("RadioGroup1")) & 3u);
    if (Ticked("CheckBox2")) w |= 0x04;
    if (!Ticked("CheckBox1")) w |= 0x08;
    if (Ticked("CheckBox3")) w |= 0x10;
    ConfigWord = w;
    Status("Config = " + Hex4(ConfigWord));
    UserIdFromField();
}

void TP12c508x::ConfigToControls() {
    SetEnabled(kReadConfig, false);
    ChooseByCode("RadioGroup1", static_cast<int>(ConfigWord & 3));
    SetByCode("CheckBox2", (ConfigWord & 0x04) != 0);
    SetByCode("CheckBox1", (ConfigWord & 0x08) == 0);
    SetByCode("CheckBox3", (ConfigWord & 0x10) != 0);
    Put(kUserId, Hex4(UserId));
    SetEnabled(kReadConfig, true);
}

void TP12c508x::WtConfigClick() {
    Row();
    Status("Wrt.CFG....");
    WriteConfig();
    char b[16];
    std::snprintf(b, sizeof b, "%02x OK", static_cast<unsigned>(ConfigWord));
    Success(b);
}

// ---- TP16c505x ----------------------------------------------------------------------------------------------

TP16c505x::TP16c505x(Workbench& w) : Pic12OtpForm(w, "P16c505x", picvariant::P16c505x, "P16C505") {
    maskLo_ = 0xDC003F80;
    maskHi_ = 1;
    using namespace picwin;
    using namespace win;
    using F = TP16c505x;
    const char* captions[] = {"FOSC0", "FOSC1", "FOSC2", "WTD", "CP Lock", "MCLRE", "CP (Bit6-11)"};
    ControlRows boxes{Group({"GroupBox1", "CFG (打勾编程为0)"})};
    Handlers<F> clicks{{kRun1.Name, &F::Button1Click}};
    for (int k = 0; k < 7; ++k) {
        boxes.push_back(Box({kConfigBoxNames[static_cast<std::size_t>(k)], captions[k]}, false, "GroupBox1"));
        clicks.push_back({kConfigBoxNames[static_cast<std::size_t>(k)], &F::ConfigClick});
    }
    DeclareControls(Join({{PushButton(kRead), PushButton(kBlank), PushButton(kWrite), PushButton(kVerify),
                           PushButton(kRdCfg), PushButton(kWrCfg), PushButton(kExit)},
                          Batch({{kBlankBox}, {kWriteBox}, {kVerifyBox}, {kWrCfgBox}}, kRun1),
                          boxes,
                          {UserIdField(), AddressField("Add ", false), StatusField("Prompt  "), TypeField("Type"),
                           ProgressBar()}}),
                    this, clicks);
    BindHandlers(this, OneTimeClicks<F>());
    Table = {{.Name = "Exit"},
             {.Name = " PIC1C505 DIP14", .VppPin = 30, .VccPin = 27, .GndPin = 14, .ProgramLast = 2047}};
    if (const auto boxes = ReadConFile11(SideFile(".CON")))
        for (int k = 0; k < 7; ++k) SetByCode("CheckBox" + std::to_string(k + 1), (*boxes)[static_cast<std::size_t>(k)]);
}

void TP16c505x::SetupForDevice() {
    if (!SetupBegin()) return;
    Ep3.LoadBitFile("pic16dip14.bit");
    Ep3.ShowPlacementBitmap("16f630.bmp");
    SetupCommon(5000);
}

void TP16c505x::OnClose() {
    Ep3.PowerOff();
    std::array<bool, 7> boxes{};
    for (int k = 0; k < 7; ++k) boxes[static_cast<std::size_t>(k)] = Checked("CheckBox" + std::to_string(k + 1));
    WriteConFile11(SideFile(".CON"), boxes, Text(kUserId));
}

void TP16c505x::ControlsToConfig() {
    std::uint32_t w = 0;
    for (int k = 0; k < 6; ++k)
        if (!Ticked("CheckBox" + std::to_string(k + 1))) w |= 1u << k;
    if (!Ticked("CheckBox7")) w |= 0xFFC0;
    ConfigWord = w;
    Status("Config = " + Hex4(ConfigWord));
    UserIdFromField();
}

void TP16c505x::ConfigToControls() {
    SetEnabled(kReadConfig, false);
    for (int k = 0; k < 7; ++k) SetByCode("CheckBox" + std::to_string(k + 1), ((ConfigWord >> k) & 1u) == 0);
    Put(kUserId, Hex4(UserId));
    SetEnabled(kReadConfig, true);
}

void TP16c505x::WtConfigClick() {
    Row();
    if (!CheckContact()) return;
    Status("Wrt.CFG....");
    WriteConfig();
    Success("OK");
}

QUILLA_FORM(TP12c508x);
QUILLA_FORM(TP16c505x);

}  // namespace quilla
