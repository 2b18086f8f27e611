#include "algo/pic/cr80.h"

#include <cstdio>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

TCr80px00x::TCr80px00x(Workbench& w) : PicForm(w, "CR80200/100", picvariant::P16c8x), rng_(std::random_device{}()) {
    using namespace picwin;
    using namespace win;
    using F = TCr80px00x;
    DeclareControls(
        Join({ReadFirstButtons(),
              {PushButton(kWrtCfg), PushButton(kLock), PushButton({"WrOTProw", "W.OTPROW"}),
               PushButton({kReadConfig, "器件信息"}), Hidden(PushButton({"SoftSecu", "SoftSecu"})),
               Group({"GroupBox1", "CFG "})},
              In("GroupBox1",
                 {Radio({"RadioGroup1", "WTD"}, {"禁止", "睡眠时禁止", "全部允许"}, 2),
                  Radio({"RadioGroup2", "OSC Mode    "},
                        {"阻容振荡 RC", "Low 晶震 LF", "普通晶震 XT", "Hi  晶震 HF"}, 3),
                  Radio({"RadioGroup3", "震荡启动时间"}, {"172uS", "22mS", "44mS", "88mS"}, 3)}),
              {Group({"GroupBox3", "OTPROW"})},
              In("GroupBox3", {Edit({"Edit1", "ID: "}, "2003"), Disabled(Edit({"Edit2", "Sum:"}, "ffff")),
                               Box({"CheckBox1", "W.保护"})}),
              {VerifyVoltage("4.5V", 1), Combo({"Speed"}, {"Burn1次", "Burn2次", "Burn3次"}, 0)},
              Batch({{kBlankBox}, {kWriteBox}, {kVerifyBox}, {kWrtCfgBox}, {kLockBox}, {{"CheckBoxID", "W.OTPROW"}}},
                    kRun2),
              {StatusField("Prompt  "), TypeField("Type"), AddressField("Add ", true), ProgressBar(),
               Label({"Label1"})}}),
        this,
        {{kWrtCfg.Name, &F::WtConfigClick}, {kLock.Name, &F::SecurityClick}, {"WrOTProw", &F::WrOTProwClick},
         {kReadConfig, &F::RdConfigClick}, {"SoftSecu", &F::SoftSecuClick}, {"RadioGroup1", &F::ControlsToConfig},
         {"RadioGroup2", &F::ControlsToConfig}, {"RadioGroup3", &F::ControlsToConfig}, {kRun2.Name, &F::Button2Click}});
    BindHandlers(this, ReadFirstClicks<F>());
    FillVariantTable();
}

void TCr80px00x::FillVariantTable() {
    const Cr80Row p100{.Name = "1: CR80P100 (1k)", .ProgramLast = 0x7FF, .VppPin = 14, .VccPin = 25, .GndPin = 16,
                       .VppMv = 12000, .Entry = 5, .Mode = 6, .HalfSelect = 8, .PulseEnable = 3, .PulseStrobe = 4,
                       .Clock = 7, .Latch = 0, .Capture = OpCapturePort0};
    Cr80Row js991 = p100;
    js991.Name = "3: JS991 (1k)";
    Table = {{.Name = "Exit"},
             p100,
             {.Name = "2: CR80P200 (2k)", .ProgramLast = 0xFFF, .VppPin = 7, .VccPin = 8, .GndPin = 10, .VppMv = 12000,
              .Entry = 2, .Mode = 11, .HalfSelect = 3, .PulseEnable = 5, .PulseStrobe = 6, .Clock = 10, .Latch = 1,
              .Capture = OpCapturePort1, .ContactLo = 0xFFFFFAC0, .ContactHi = 0x3},
             js991};
}

std::string TCr80px00x::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 1 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of CR80PX00 is not in the device table";
    const int add = wb.sel.GetParam("add=");
    const std::int32_t last = Table[static_cast<std::size_t>(v)].ProgramLast;
    if (add > 0 && add > last - 14)
        return "Bad device line: add=" + std::to_string(add) + " puts the soft-security bytes outside the chip";
    return {};
}

void TCr80px00x::SetupForDevice() {
    ready_ = false;
    FillVariantTable();
    if (!AcceptDeviceLine()) return;
    row_ = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    softSecuAddr_ = wb.sel.GetParam("add=");
    Ep3.LoadBitFile("cr80px00.bit");
    ShowNewImage(row_.ProgramLast);
    Put(kType, wb.sel.SelectedDevice);
    Ep3.GndPin(row_.GndPin);
    Ep3.SetVcc(3300);
    Ep3.SetVpp(12000);
    if (wb.FileWin) Put("Edit2", Hex4(wb.FileWin->BufferChecksum));
    ready_ = true;
}

void TCr80px00x::ControlsToConfig() {
    const int wtd = ItemIndex("RadioGroup1");
    const int osc = ItemIndex("RadioGroup2");
    const int ost = ItemIndex("RadioGroup3");
    std::uint32_t w = (wtd < 0 || wtd >= 2) ? 3u : static_cast<std::uint32_t>(wtd);
    w |= static_cast<std::uint32_t>(osc < 0 ? 3 : osc) << 2;
    w |= static_cast<std::uint32_t>(ost < 0 ? 3 : ost) << 4;
    ConfigWord = w;
    Status("Option = " + Hex4(w));
}

// ---- the chip interface --------------------------------------------------------------------------

void TCr80px00x::Line(int n, bool high) {
    if (high) Ep3.ControlLineHigh(n);
    else Ep3.ControlLineLow(n);
}

void TCr80px00x::CrClock(int n) {
    for (int k = 0; k < n; ++k) {
        Line(row_.Clock, true);
        Line(row_.Clock, false);
    }
}

bool TCr80px00x::Seated() {
    if (row_.ContactLo != 0 || row_.ContactHi != 0)
        return Ep3.CheckPinContact(row_.GndPin, 0, row_.ContactLo, row_.ContactHi, 0) != 0;
    return SupplyPinsTouch(row_.VppPin, row_.VccPin, row_.GndPin);
}

bool TCr80px00x::EnterProgramMode() {
    wb.ErrorFlag() = 0;
    if (!Seated()) {
        StepFailed();
        return false;
    }
    Line(1, false);
    Line(row_.PulseStrobe, true);
    Line(row_.PulseEnable, true);
    Line(row_.HalfSelect, true);
    Line(row_.Clock, false);
    Line(row_.Entry, false);
    Line(row_.Mode, false);
    Ep3.VccPin(row_.VccPin);
    CrClock(3);
    Ep3.UsbFlush();
    return true;
}

void TCr80px00x::CrSendMode(int m) {
    Line(row_.Mode, true);
    Ep3.WriteLatch(row_.Latch, m);
    Ep3.UsbPut1(OpWait100ms);
    Ep3.VppPin(row_.VppPin);
    Ep3.UsbPut1(OpWait100ms);
    CrClock(2);
    if (wb.sel.VariantIndex <= 2) CrClock(3);
    Ep3.UsbFlush();
}

void TCr80px00x::CrProgramPulse() {
    const std::string s = Text("Speed");
    const int n = s == "Burn2次" ? 2 : s == "Burn3次" ? 3 : 1;
    for (int k = 0; k < n; ++k) {
        Line(row_.PulseEnable, true);
        Line(row_.PulseStrobe, false);
        Ep3.UsbPut1(OpWaitPulse);
        Line(row_.PulseStrobe, true);
        Line(row_.PulseEnable, false);
    }
}

void TCr80px00x::CrWriteWord(std::uint32_t w) {
    Line(row_.HalfSelect, false);
    Ep3.WriteLatch(row_.Latch, static_cast<int>(w & 0xFF));
    CrProgramPulse();
    Line(row_.HalfSelect, true);
    Ep3.WriteLatch(row_.Latch, static_cast<int>((w >> 7) & 0xFF));
    CrProgramPulse();
    CrClock(4);
}

void TCr80px00x::CrReadWord() {
    Line(row_.HalfSelect, false);
    Ep3.UsbPut1(row_.Capture);
    Line(row_.HalfSelect, true);
    Ep3.UsbPut1(row_.Capture);
    Line(row_.HalfSelect, false);
    CrClock(4);
}

void TCr80px00x::ReadingPreparation() {
    Line(1, true);
    Line(row_.PulseEnable, false);
}

void TCr80px00x::SuppliesOff() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

void TCr80px00x::QueueBlock() {
    for (int k = 0; k < 32; ++k) CrReadWord();
}

void TCr80px00x::ReadWords(int words) {
    for (int k = 0; k < words; ++k) CrReadWord();
    Ep3.UsbReadReply();
}

// ---- operations ------------------------------------------------------------------------------------

void TCr80px00x::ReadToFileClick() {
    if (!ready_) return;
    Status("Read.");
    if (!EnterProgramMode()) return;
    CrSendMode(0);
    if (Ep3.CheckCurrent() == 0) return StepFailed();
    ReadingPreparation();
    ReadWords7(row_.ProgramLast, [this] { QueueBlock(); });
    SuppliesOff();
    Success("OK");
    wb.Display();
}

void TCr80px00x::BlankClick() {
    if (!ready_) return;
    Status("Blank CHK");
    if (!EnterProgramMode()) return;
    CrSendMode(0);
    if (Ep3.CheckCurrent() == 0) return StepFailed();
    ReadingPreparation();
    const bool blank = SameWords7(row_.ProgramLast, nullptr, "Not BLK.", [this] { QueueBlock(); });
    SuppliesOff();
    if (blank) Success("OK");
}

void TCr80px00x::VerifyClick() {
    if (!ready_) return;
    Status("Verify.");
    if (!EnterProgramMode()) return;
    Ep3.SetVcc(Text("VeriyVolt") == "Vrfy电压2.5V" ? 2500 : 3300);
    CrSendMode(0);
    ReadingPreparation();
    const bool same = SameWords7(row_.ProgramLast, wb.ImageBuffer.data(), "Error....", [this] { QueueBlock(); });
    SuppliesOff();
    Ep3.SetVcc(3300);
    if (same) Success("OK");
}

void TCr80px00x::WriteClick() {
    if (!ready_) return;
    if (!NeedFileWindow()) return;
    Status("Write");
    auto* img = wb.ImageBuffer.data();
    MaskWordHighBytes(row_.ProgramLast, 0x3F);
    wb.Display();
    if (!EnterProgramMode()) return;
    CrSendMode(0);
    if (Ep3.CheckCurrent() == 0) return StepFailed();
    for (std::int32_t a = 0; a <= row_.ProgramLast; a += 2) {
        if ((a & 0xFF) == 0) {
            ShowProgress(a);
            Ep3.UsbFlush();
        }
        CrWriteWord(static_cast<std::uint32_t>(img[a] | (img[a + 1] << 8)));
    }
    Line(row_.PulseEnable, false);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.UsbFlush();
    ShowProgress(row_.ProgramLast);
    SuppliesOff();
    Success("OK");
}

void TCr80px00x::WtConfigClick() {
    if (!ready_ || !EnterProgramMode()) return;
    ControlsToConfig();
    Status("Option...");
    CrSendMode(2);
    CrWriteWord(~ConfigWord);
    CrWriteWord(ConfigWord);
    Ep3.UsbFlush();
    Line(row_.PulseEnable, false);
    SuppliesOff();
    Success("OK");
    wb.ErrorFlag() = 0;
}

void TCr80px00x::SecurityClick() {
    if (!ready_ || !EnterProgramMode()) return;
    Status("Option...");
    CrSendMode(5);
    CrWriteWord(0);
    Ep3.UsbFlush();
    Line(row_.PulseEnable, false);
    SuppliesOff();
    Success("OK");
}

void TCr80px00x::WrOTProwClick() {
    if (!ready_) return;
    // The row stores the buffer's checksum in one-time cells: only from a
    // buffer window the user sees.
    if (!NeedFileWindow()) return;
    if (!EnterProgramMode()) return;
    Status("Option...");
    CrSendMode(1);
    const std::uint32_t sum = wb.FileWin->BufferChecksum;
    CrWriteWord(0x20);
    CrWriteWord(0x03);
    CrWriteWord(sum & 0xFF);
    CrWriteWord(sum >> 8);
    if (Ticked("CheckBox1")) {
        CrWriteWord(0);
        CrWriteWord(0);
    }
    Ep3.UsbFlush();
    Line(row_.PulseEnable, false);
    SuppliesOff();
    Success("OK");
}

void TCr80px00x::RdConfigClick() {
    if (!ready_) return;
    Status("读CFG....");
    if (!EnterProgramMode()) return;
    CrSendMode(2);
    if (Ep3.CheckCurrent() == 0) return StepFailed();
    ReadingPreparation();
    Ep3.UsbFlush();
    ReadWords(2);
    const unsigned option = Ep3.UsbReplyBuf[2];
    SuppliesOff();
    if (!EnterProgramMode()) return;
    CrSendMode(5);
    ReadingPreparation();
    Ep3.UsbFlush();
    ReadWords(1);
    const unsigned secu = Ep3.UsbReplyBuf[0];
    SuppliesOff();
    if (!EnterProgramMode()) return;
    CrSendMode(1);
    ReadingPreparation();
    ReadWords(8);
    SuppliesOff();
    const auto* r = Ep3.UsbReplyBuf.data();
    auto word = [r](int k) { return static_cast<unsigned>((r[2 * k + 1] << 7) | (r[2 * k] & 0x7F)); };
    const unsigned sum = ((word(3) << 8) | ((r[5] & 1) ? 0x80u : 0u) | (r[4] & 0x7Fu)) & 0xFFFFu;
    char b[96];
    std::snprintf(b, sizeof b, "Config=%02x, ID=%02x%02x, Sum=%04x,Protect=%02x,Secu=%02x", option, word(0) & 0xFF,
                  word(1) & 0xFF, sum, static_cast<unsigned>(r[8]), secu);
    Success(b);
}

void TCr80px00x::SoftSecuClick() {
    if (!ready_ || softSecuAddr_ <= 0) return;
    const std::uint32_t r = std::uniform_int_distribution<std::uint32_t>(0, 0x7FFE)(rng_);
    const std::uint32_t v = r * r + 1234;
    LastSoftSecu = v;
    PutCaption("Label1", FormatText("%08x", v));
    for (int k = 0; k < 4; ++k)
        wb.ImageBuffer[static_cast<std::size_t>(softSecuAddr_ + 8 + 2 * k)] = static_cast<std::uint8_t>(v >> (8 * k));
    wb.Display();
}

void TCr80px00x::Button2Click() {
    using F = TCr80px00x;
    Handlers<F> boxes = picwin::OneTimeBoxes<F>();
    boxes.insert(boxes.end(), {{picwin::kLockBox.Name, &F::SecurityClick}, {"CheckBoxID", &F::WrOTProwClick}});
    RunBatch(BatchSteps(this, boxes),
             [this] { return Ep3.WaitNextChip(row_.GndPin, 0, row_.ContactLo, row_.ContactHi, 0) != 0; }, true,
             [this] {
                 SoftSecuClick();
                 return true;
             });
}

QUILLA_FORM(TCr80px00x);

}  // namespace quilla
