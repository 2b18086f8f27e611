#include "algo/pic/p16c5x.h"

#include <cstdio>

#include "algo/pic/p16c8x.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kReadLine = 1, kPulseLine = 2, kClockLine = 3, kEntryLine = 4;

}  // namespace

TP16c54x::TP16c54x(Workbench& w, bool m57)
    : PicForm(w, m57 ? "" : "54/56/58", picvariant::P16c8x),
      m57_(m57),
      contactLo_(m57 ? ContactLo57 : ContactLo54),
      contactHi_(m57 ? ContactHi57 : ContactHi54) {
    fileConfig_ = {kFileConfig12, 0x0FFF, 0x0FFF, "boxes'"};
    using namespace picwin;
    using namespace win;
    using F = TP16c54x;
    DeclareControls(Join({OneTimeButtons(),
                          {Group({"GroupBox1", "Int CFG   "})},
                          In("GroupBox1",
                             {Box({"CheckBox1", "Lockbit      "}), Box({"CheckBox2", "WTD          "}, true)}),
                          {Radio({"RadioGroup1", "OSC Mode    "}, OscItems(), 1)},
                          Batch({{kBlankBox}, {kWriteBox}, {kVerifyBox}, {kWrtCfgBox}}, kRun2),
                          {UserIdField()},
                          Foot(true),
                          {If(m57, Radio({"RadioGroup2", "Speed "}, {"Mid.", "较慢", "慢"}, 0))}}),
                    this,
                    {{"CheckBox1", &F::ConfigClick}, {"CheckBox2", &F::ConfigClick}, {"RadioGroup1", &F::ConfigClick},
                     {kRun2.Name, &F::Button2Click}});
    BindHandlers(this, OneTimeClicks<F>());
    FillVariantTable();
    if (const auto c = ReadConFile8(SideFile(".CON"), 4)) {
        Get("CheckBox1").Checked = c->box[0];
        Get("CheckBox2").Checked = c->box[1];
        Get("RadioGroup1").ItemIndex = c->item;
    }
}

void TP16c54x::FillVariantTable() {
    if (m57_) {
        Table = {{.Name = "Exit"},
                 {.Name = "4: PIC16C55 (512)", .VppPin = 34, .VccPin = 8, .GndPin = 10, .ProgramLast = 0x03FF},
                 {.Name = "5: PIC16C57 (2k)", .VppPin = 34, .VccPin = 8, .GndPin = 10, .ProgramLast = 0x0FFF}};
    } else {
        Table = {{.Name = "Exit", .VppPin = 15, .VccPin = 25, .GndPin = 16},
                 {.Name = "1: PIC16C54 (512)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x03FF},
                 {.Name = "2: PIC16C56 (1K)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x07FF},
                 {.Name = "3: PIC16C58 (2K)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x0FFF}};
    }
    // Every row carries the form's contact masks.
    for (PicRow& r : Table) {
        r.ContactLo = contactLo_;
        r.ContactHi = contactHi_;
    }
    const std::size_t v = static_cast<std::size_t>(wb.sel.VariantIndex);
    if (v < Table.size() && Table[v].Name.size() > 2) Put(kType, Table[v].Name.substr(2));
}

std::string TP16c54x::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 1 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of " + (m57_ ? "P16C57" : "P16C54") +
               " is not in the device table";
    return {};
}

const PicRow& TP16c54x::Row() {
    RefuseUnlessReady(ready_);
    return row_;
}

void TP16c54x::SetupForDevice() {
    ready_ = false;
    FillVariantTable();
    if (!AcceptDeviceLine()) return;
    row_ = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.LoadBitFile(m57_ ? "pic16c57dip28.bit" : "pic16c54dip18.bit");
    ShowNewImage(row_.ProgramLast);
    AlgoForm::Show();
    Put(kType, wb.sel.SelectedDevice);
    if (m57_) Ep3.GndPin(row_.GndPin);
    int vcc = wb.sel.GetParam("vcc=");
    if (vcc < 2500) vcc = 4400;
    Ep3.SetVcc(vcc);
    int vpp = wb.sel.GetParam("vpp=");
    if (vpp < 10000) vpp = 12500;
    Ep3.SetVpp(vpp);
    Put(kUserId, Hex4(wb.FileWin ? wb.FileWin->BufferChecksum : 0));
    ready_ = true;
}

void TP16c54x::OnClose() {
    Ep3.PowerOff();
    ConFile8 c;
    c.box[0] = Checked("CheckBox1");
    c.box[1] = Checked("CheckBox2");
    c.box[2] = Checked("CheckBox2");
    c.item = ItemIndex("RadioGroup1") & 3;
    WriteConFile8(SideFile(".CON"), c, Text(kUserId));
}

// ---- configuration --------------------------------------------------------------------------------

void TP16c54x::ControlsToConfig() {
    std::uint32_t w = static_cast<std::uint32_t>(ItemIndex("RadioGroup1")) & 3u;
    if (Checked("CheckBox2")) w |= 0x004;
    if (!Checked("CheckBox1")) w |= 0xFF8;
    ConfigWord = w;
    Status("Config = " + Hex4(w));
    UserIdFromField();
}

void TP16c54x::ConfigToControls() {
    const std::uint32_t w = ConfigWord;
    SetEnabled(kReadConfig, false);
    ChooseByCode("RadioGroup1", static_cast<int>(w & 3u));
    SetByCode("CheckBox2", (w & 0x004) != 0);
    SetByCode("CheckBox1", (w & 0x018) != 0x018);
    Put(kUserId, Hex4(UserId));
    SetEnabled(kReadConfig, true);
}

// ---- lines and words ----------------------------------------------------------------------------------

bool TP16c54x::EnterProgramMode() {
    wb.ErrorFlag() = 0;
    if (Ep3.CheckPinContact(row_.GndPin, 0, contactLo_, contactHi_, 0) == 0 ||
        !ContactPresent(row_.GndPin, contactLo_, contactHi_)) {
        StepFailed();
        return false;
    }
    Ep3.GndPin(row_.GndPin);
    Ep3.VccPin(row_.VccPin);
    LineHigh(kReadLine);
    LineLow(kClockLine);
    LineHigh(kPulseLine);
    return true;
}

void TP16c54x::RaiseVpp() {
    LineLow(kEntryLine);
    Ep3.VppPin(row_.VppPin);
    LineHigh(kEntryLine);
}

bool TP16c54x::ReadingPrologue(bool settle) {
    if (!EnterProgramMode()) return false;
    LineHigh(kReadLine);
    RaiseVpp();
    if (settle) Ep3.UsbPut1(OpWaitSettle);
    if (Ep3.CheckCurrent() == 0) {
        StepFailed();
        return false;
    }
    return true;
}

void TP16c54x::ParallelReadWord() {
    LineHigh(kClockLine);
    Ep3.UsbPut1(OpCapturePort0);
    Ep3.UsbPut1(OpCapturePort1);
    LineLow(kClockLine);
}

void TP16c54x::ParallelProgramWord(std::uint32_t w) {
    Ep3.WriteReg(RegPicLow, static_cast<int>(w & 0x0F));
    Ep3.WriteReg(RegPicHigh, static_cast<int>((w >> 4) & 0xFF));
    LineLow(kPulseLine);
    int waits = 2;
    if (m57_) {
        const int speed = ItemIndex("RadioGroup2");
        waits = speed >= 2 ? 4 : speed >= 1 ? 2 : 1;
    }
    for (int k = 0; k < waits; ++k) Ep3.UsbPut1(OpWaitPulse);
    EndPulse();
}

void TP16c54x::EndPulse() {
    LineHigh(kPulseLine);
    LineHigh(kReadLine);
    LineLow(kPulseLine);
    LineHigh(kPulseLine);
    LineLow(kReadLine);
    LineHigh(kClockLine);
    LineLow(kClockLine);
}

void TP16c54x::ParallelProgramConfig(std::uint32_t w) {
    Ep3.WriteReg(RegPicLow, static_cast<int>(w & 0x0F));
    Ep3.WriteReg(RegPicHigh, static_cast<int>((w >> 4) & 0xFF));
    LineLow(kPulseLine);
    Ep3.UsbPut1(OpWaitSettle);
    EndPulse();
}

void TP16c54x::ClockToUserIds() {
    for (std::int32_t k = 0; k < row_.ProgramLast / 2 + 1; ++k) {
        LineHigh(kClockLine);
        LineLow(kClockLine);
    }
}

void TP16c54x::SuppliesOff() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

// ---- operations ---------------------------------------------------------------------------------------

void TP16c54x::ReadToFileClick() {
    const PicRow& r = Row();
    Status("Read.");
    if (!ReadingPrologue(m57_)) return;
    ParallelReadWord();
    Ep3.UsbReadReply();
    auto* img = wb.ImageBuffer.data();
    for (std::int32_t a = 0; a < r.ProgramLast; a += 64) {
        ShowProgress(a);
        for (int k = 0; k < 32; ++k) ParallelReadWord();
        Ep3.UsbReadReply(img + a);
    }
    ShowProgress(r.ProgramLast);
    SuppliesOff();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TP16c54x::BlankClick() {
    const PicRow& r = Row();
    Status("Blank CHK");
    if (!ReadingPrologue(false)) return;
    wb.ErrorFlag() = 0;
    ParallelReadWord();
    Ep3.UsbReadReply();
    if (Ep3.UsbReplyBuf[0] != 0xFF || Ep3.UsbReplyBuf[1] != 0x0F) {
        Status("CFG 字No!!!");
        wb.ErrorFlag() = 1;
        SuppliesOff();
        return;
    }
    if (!CompareProgram(r, nullptr, "Code  No!!!")) return;
    ShowProgress(r.ProgramLast);
    SuppliesOff();
    Success("OK");
}

// The image's high byte is compared AND 0Fh, as the chip's (a correct chip
// passes against an image padded with FFh).
void TP16c54x::VerifyClick() {
    const PicRow& r = Row();
    Status("Verify.");
    if (!ReadingPrologue(false)) return;
    wb.ErrorFlag() = 0;
    ParallelReadWord();
    Ep3.UsbReadReply();
    if (!CompareProgram(r, wb.ImageBuffer.data(), "Vrfy错!")) return;
    ShowProgress(r.ProgramLast);
    SuppliesOff();
    Success("OK");
    wb.ErrorFlag() = 0;
}

bool TP16c54x::CompareProgram(const PicRow& r, const std::uint8_t* image, const char* fail) {
    for (std::int32_t a = 0; a < r.ProgramLast; a += 64) {
        ShowProgress(a);
        for (int k = 0; k < 32; ++k) ParallelReadWord();
        Ep3.UsbReadReply();
        const auto* b = Ep3.UsbReplyBuf.data();
        for (int k = 0; k < 32; ++k) {
            const unsigned lo = image ? image[a + 2 * k] : 0xFFu;
            const unsigned hi = image ? (image[a + 2 * k + 1] & 0x0Fu) : 0x0Fu;
            if (b[2 * k] != lo || (b[2 * k + 1] & 0x0Fu) != hi) {
                Status(fail);
                ShowProgress(a);
                wb.ErrorFlag() = 1;
                SuppliesOff();
                return false;
            }
        }
    }
    return true;
}

void TP16c54x::WriteClick() {
    const PicRow& r = Row();
    if (!NeedFileWindow()) return;
    Status("Write");
    MaskWordHighBytes(r.ProgramLast, 0x0F);
    wb.Display();
    if (!EnterProgramMode()) return;
    Ep3.UsbPut1(OpWaitSettle);
    LineLow(kReadLine);
    RaiseVpp();
    if (!m57_) Ep3.UsbPut1(OpWaitSettle);
    ParallelProgramConfig(0xFFFF);
    const auto* img = wb.ImageBuffer.data();
    for (std::int32_t p = 0; p <= r.ProgramLast; p += 2) {
        if ((p & 0xFF) == 0) {
            ShowProgress(p);
            Ep3.UsbFlush();
        }
        ParallelProgramWord(static_cast<std::uint32_t>(img[p + 1] << 8 | img[p]) & 0x0FFF);
    }
    ShowProgress(r.ProgramLast);
    SuppliesOff();
    Success("OK");
}

void TP16c54x::RdConfigClick() {
    Row();
    SetEnabled(kReadConfig, false);
    ShowProgress(0);
    Status("读config...");
    if (!EnterProgramMode()) {
        SetEnabled(kReadConfig, true);
        return;
    }
    RaiseVpp();
    if (Ep3.CheckCurrent() == 0) {
        StepFailed();
        SetEnabled(kReadConfig, true);
        return;
    }
    ParallelReadWord();
    Ep3.UsbReadReply();
    ConfigWord = static_cast<std::uint32_t>(Ep3.UsbReplyBuf[1] << 8 | Ep3.UsbReplyBuf[0]);
    ClockToUserIds();
    for (int k = 0; k < 4; ++k) ParallelReadWord();
    Ep3.UsbReadReply();
    const auto* b = Ep3.UsbReplyBuf.data();
    UserId = (b[0] & 0xFu) << 12 | (b[2] & 0xFu) << 8 | (b[4] & 0xFu) << 4 | (b[6] & 0xFu);
    ConfigToControls();
    SuppliesOff();
    Put(kUserId, Hex4(UserId));
    char text[40];
    std::snprintf(text, sizeof text, "Config=%04x,ID=%04x", ConfigWord & 0xFFFFu, UserId & 0xFFFFu);
    Success(text);
    SetEnabled(kReadConfig, true);
}

void TP16c54x::WtConfigClick() {
    Row();
    ControlsToConfig();
    SayFileConfigWord(ConfigWord);
    ShowProgress(0);
    Status("写config...");
    if (!EnterProgramMode()) return;
    LineLow(kReadLine);
    RaiseVpp();
    ParallelProgramConfig(ConfigWord);
    ClockToUserIds();
    for (int shift : {12, 8, 4, 0}) ParallelProgramConfig((UserId >> shift) & 0x0F);
    SuppliesOff();
    Success("OK");
}

void TP16c54x::Button2Click() {
    const std::vector<BatchStep> steps = OneTimeSteps(*this);
    if (m57_) {
        RunBatch(steps, nullptr, false);
        return;
    }
    RunBatch(steps, [this] {
        const PicRow& r = Row();
        return Ep3.WaitNextChip(r.GndPin, 0, contactLo_, contactHi_, 0) != 0;
    });
}

QUILLA_FORM(TP16c54x);
QUILLA_FORM(TP16c57x);

}  // namespace quilla
