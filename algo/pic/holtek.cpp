#include "algo/pic/holtek.h"

#include <cstdio>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr const char* kNotOtp = "不符合.OTPFormat  ,不能Burn!";

}  // namespace

THoltekOTP1::THoltekOTP1(Workbench& w) : PicForm(w, "HOLTEK OTP MCU", picvariant::P16c8x) {
    using namespace picwin;
    using namespace win;
    using F = THoltekOTP1;
    DeclareControls(Join({{PushButton(kRead), PushButton(kBlank), PushButton(kVerify), PushButton({"Write", "Write "}),
                           PushButton(kLock), PushButton({"Button1", "ID"}), PushButton({"OptionMsg", "器件信息"}),
                           PushButton({"FileInfo", "文件信息"})},
                          Batch({{kBlankBox}, {{"CheckBoxWrite", "Write "}}, {kVerifyBox}, {kLockBox}}, kRun2),
                          {StatusField(""), AddressField("Add ", true), TypeField(""), ProgressBar(),
                           Label({"Label1", "器件信息:"}),
                           Grid({"StringGrid1"}, std::vector<std::string>(16), std::vector<std::string>(16))}}),
                    this,
                    {{kLock.Name, &F::SecurityClick}, {"Button1", &F::Button1Click}, {"OptionMsg", &F::OptionMsgClick},
                     {"FileInfo", &F::FileInfoClick}, {kRun2.Name, &F::Button2Click}});
    BindHandlers(this, ReadFirstClicks<F>());
    FillVariantTable();
}

void THoltekOTP1::FillVariantTable() {
    Table = {{.Name = "Exit"},
             {.Name = "1: STD", .Design = "HoltekStd.bit", .VppPin = 31, .VccPin = 32, .ContactLo = 0xC000023C,
              .ContactHi = 0x39},
             {.Name = "2: HT48RA0", .Design = "Holtek2.bit", .VppPin = 12, .VccPin = 8, .ContactLo = 0xE8C,
              .ContactHi = 0x3E}};
}

std::string THoltekOTP1::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 1 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of HTOTP is not in the device table";
    const int fla = wb.sel.GetParam("fla=");
    if (fla <= 0 || fla > 0x40000) return "Bad device line: fla=" + std::to_string(fla) + " is not a ROM size in words";
    const int gnd = wb.sel.GetParam("gnd=");
    if (gnd < 1 || gnd > 48) return "Bad device line: gnd=" + std::to_string(gnd) + " is not a socket pin";
    return {};
}

void THoltekOTP1::SetupForDevice() {
    ready_ = false;
    FillVariantTable();
    if (!AcceptDeviceLine()) return;
    row_ = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.LoadBitFile(row_.Design);
    if (!Ep3.Connected) Status("Comm Err.");
    struct Drawing {
        const char* name;
        int firstRow, pins;
    };
    for (const Drawing& d : {Drawing{"18DIP", 3, 18}, {"18SOP", 3, 18}, {"20DIP", 3, 20}, {"20SOP", 3, 20},
                             {"20SSOP", 3, 20}, {"24SKDIP", 1, 24}, {"24SOP", 1, 24}, {"24SSOP", 1, 24},
                             {"28SKDIP", 1, 28}, {"28SOP", 1, 28}, {"28SSOP", 1, 28}})
        if (wb.sel.TypeText.find(d.name) != std::string::npos) Ep3.ShowPlacementDiagram(d.firstRow, d.pins, 0, 0);
    wb.FileNew();
    AlgoForm::Show();
    Put(kType, wb.sel.SelectedDevice);
    row_.RomSize = 2 * wb.sel.GetParam("fla=");
    row_.GndPin = wb.sel.GetParam("gnd=");
    Ep3.GndPin(row_.GndPin);
    const int vcc = wb.sel.GetParam("vcc=");
    Ep3.SetVcc(vcc == 0 ? 5000 : vcc);
    Ep3.SetVpp(12500);
    ready_ = true;
}

// ---- the nibble interface ----------------------------------------------------------------------------

void THoltekOTP1::Line(int n, bool high) {
    if (high) Ep3.ControlLineHigh(n);
    else Ep3.ControlLineLow(n);
}

void THoltekOTP1::Clock() {
    Line(1, false);
    Ep3.UsbPut1(OpNop);
    Line(1, true);
}

bool THoltekOTP1::EnterProgramMode() {
    wb.ErrorFlag() = 0;
    if (Ep3.CheckPinContact(row_.GndPin, 0, row_.ContactLo, row_.ContactHi, 0) == 0) {
        StepFailed();
        return false;
    }
    Line(2, true);
    Line(3, false);
    Line(1, true);
    Ep3.UsbFlush();
    Ep3.VccPin(row_.VccPin);
    for (int k = 0; k < 25; ++k) Ep3.UsbPut1(OpWaitSettle);
    Ep3.VppPin(row_.VppPin);
    if (Ep3.CheckCurrent() == 0) {
        StepFailed();
        return false;
    }
    Ep3.UsbPut3(0, 0, 0);
    Line(2, false);
    Line(3, false);
    Ep3.UsbFlush();
    return true;
}

void THoltekOTP1::SetAddress(int mode, std::uint32_t address) {
    const bool wide = row_.RomSize > 0x8000;
    std::uint32_t v = address | (static_cast<std::uint32_t>(mode) << (wide ? 18 : 14));
    for (int k = 0; k < (wide ? 5 : 4); ++k) {
        Ep3.WriteLatch(0, static_cast<int>(v & 0xFF));
        Clock();
        v >>= 4;
    }
    Ep3.UsbPut1(OpWaitPulse);
    Ep3.UsbFlush();
}

void THoltekOTP1::ProgramWord(std::uint32_t w) {
    for (int k = 0; k < 4; ++k) {
        Ep3.WriteLatch(0, static_cast<int>(w & 0xFF));
        Line(1, false);
        Ep3.UsbPut1(OpNop);
        if (k == 3)
            for (int n = 0; n < 5; ++n) Ep3.UsbPut1(OpWaitPulse);
        Line(1, true);
        w >>= 4;
    }
    Line(3, true);
    for (int k = 0; k < 4; ++k) Clock();
    Line(3, false);
    Ep3.UsbFlush();
}

void THoltekOTP1::ReadBlock(std::uint8_t* dest) {
    for (int k = 0; k < 64; ++k) {
        Line(1, false);
        Ep3.UsbPut1(OpCapturePort0);
        Line(1, true);
    }
    std::uint8_t work[64];
    Ep3.UsbReadReply(work);
    for (int k = 0; k < 32; ++k)
        dest[k] = static_cast<std::uint8_t>((work[2 * k] & 0x0F) | (work[2 * k + 1] << 4));
}

void THoltekOTP1::SuppliesOff() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

void THoltekOTP1::Deselect() {
    Line(3, false);
    Line(2, true);
}

bool THoltekOTP1::OtpLayoutCheck() {
    const auto& img = wb.ImageBuffer;
    const std::int64_t size = static_cast<std::int64_t>(img.size());
    auto at = [&](std::int64_t i) { return i >= 0 && i < size ? img[static_cast<std::size_t>(i)] : 0; };
    auto u16 = [&](std::int64_t i) { return static_cast<std::int64_t>(at(i) | (at(i + 1) << 8)); };
    auto u32 = [&](std::int64_t i) {
        return static_cast<std::uint32_t>(at(i) | (at(i + 1) << 8) | (at(i + 2) << 16)) |
               (static_cast<std::uint32_t>(at(i + 3)) << 24);
    };
    if (at(0) != 0xC0) return false;
    const std::int64_t h = u16(1);
    if (at(h + 3) != 0x65) return false;
    const std::int64_t l1 = u16(h + 4);
    if (l1 < 4 || at(h + l1 + 6) != 0x65) return false;
    const std::int64_t l2 = u16(h + l1 + 7);
    if (l2 < 4 || h + l1 + 13 + (l2 - 4) > size) return false;
    Layout.RomStart = u32(h + 6);
    Layout.RomEnd = Layout.RomStart + static_cast<std::uint32_t>(l1) - 5;
    Layout.RomData = h + 10;
    Layout.RomBytes = l1 - 4;
    Layout.OptionStart = u32(h + l1 + 9);
    Layout.OptionEnd = Layout.OptionStart + static_cast<std::uint32_t>(l2) - 5;
    Layout.OptionData = h + l1 + 13;
    return true;
}

// ---- operations ------------------------------------------------------------------------------------------

void THoltekOTP1::WriteClick() {
    if (!ready_) return;
    if (!OtpLayoutCheck() || Layout.RomBytes < row_.RomSize ||
        Layout.OptionData + 32 > static_cast<std::int64_t>(wb.ImageBuffer.size())) {
        // A ROM record shorter than the chip's ROM would program bytes that are not the file's.
        Status(kNotOtp);
        return StepFailed();
    }
    Status("Write");
    if (!EnterProgramMode()) return;
    Line(2, false);
    Line(3, false);
    SetAddress(0, Layout.RomStart);
    const auto* rom = wb.ImageBuffer.data() + Layout.RomData;
    for (std::int32_t i = 0; i < row_.RomSize; i += 2) {
        ShowProgress(i);
        ProgramWord(static_cast<std::uint32_t>(rom[i + 1] << 8 | rom[i]));
    }
    Line(3, true);
    Line(2, true);
    Ep3.UsbFlush();
    ShowProgress(row_.RomSize);
    SuppliesOff();
    if (!EnterProgramMode()) return;
    Line(2, false);
    Line(3, false);
    SetAddress(2, Layout.OptionStart + 1);
    const auto* opt = wb.ImageBuffer.data() + Layout.OptionData;
    for (int k = 1; k <= 15; ++k) ProgramWord(static_cast<std::uint32_t>(opt[2 * k + 1] << 8 | opt[2 * k]));
    Line(3, true);
    Line(2, true);
    Ep3.UsbFlush();
    ShowProgress(row_.RomSize);
    SuppliesOff();
    Success("OK");
}

bool THoltekOTP1::ReadArea2Block(std::uint8_t (&block)[32]) {
    if (!EnterProgramMode()) return false;
    Line(2, false);
    Line(3, false);
    SetAddress(2, 0);
    Line(3, true);
    ReadBlock(block);
    Deselect();
    SuppliesOff();
    return true;
}

void THoltekOTP1::BlankClick() {
    if (!ready_) return;
    Status("Blank CHK");
    std::uint8_t block[32];
    if (!ReadArea2Block(block)) return;
    if (block[0] & 1) {
        Status("加了密的器件！");
        wb.ErrorFlag() = 1;
        return;
    }
    for (std::uint8_t b : block)
        if (b != 0) {
            Status("OPTIONErr.！");
            wb.ErrorFlag() = 1;
            return;
        }
    if (!EnterProgramMode()) return;
    Line(2, false);
    Line(3, false);
    SetAddress(0, 0);
    Line(3, true);
    for (std::int32_t a = 0; a < row_.RomSize; a += 32) {
        ShowProgress(a);
        ReadBlock(block);
        for (std::uint8_t b : block)
            if (b != 0) {
                Status("不是Blank.！");
                SuppliesOff();
                wb.ErrorFlag() = 1;
                return;
            }
    }
    Deselect();
    SuppliesOff();
    wb.ErrorFlag() = 0;
    ShowProgress(row_.RomSize);
    Success("OK");
}

void THoltekOTP1::VerifyClick() {
    if (!ready_) return;
    // The layout of the image in the buffer now, not of whatever file was checked last.
    if (!OtpLayoutCheck() || Layout.RomData + row_.RomSize > static_cast<std::int64_t>(wb.ImageBuffer.size())) {
        Status(kNotOtp);
        return StepFailed();
    }
    Status("Verify.");
    if (!EnterProgramMode()) return;
    Line(2, false);
    Line(3, false);
    SetAddress(0, 0);
    Line(3, true);
    const auto* rom = wb.ImageBuffer.data() + Layout.RomData;
    std::uint8_t block[32];
    for (std::int32_t a = 0; a < row_.RomSize; a += 32) {
        ShowProgress(a);
        ReadBlock(block);
        for (int j = 0; j < 32 && a + j < row_.RomSize; j += 2) {
            if (block[j] != rom[a + j] || block[j + 1] != (rom[a + j + 1] & 0x3F)) {
                Status("Failed..! ");
                SuppliesOff();
                wb.ErrorFlag() = 1;
                return;
            }
        }
    }
    Deselect();
    SuppliesOff();
    ShowProgress(row_.RomSize);
    Success("OK");
    wb.ErrorFlag() = 0;
}

void THoltekOTP1::ReadToFileClick() {
    if (!ready_) return;
    Status("Read.");
    if (!EnterProgramMode()) return;
    auto* img = wb.ImageBuffer.data();
    std::fill(img, img + 48, 0);
    img[0] = 0xC0;
    img[1] = 0x2D;
    SetAddress(0, 0);
    Ep3.UsbPut1(OpWaitPulse);
    Line(3, true);
    Ep3.UsbPut1(OpWaitPulse);
    Layout.RomStart = 0;
    Layout.RomData = 55;
    const std::int32_t l1 = row_.RomSize + 5;
    img[48] = 0x65;
    img[49] = static_cast<std::uint8_t>(l1 & 0xFF);
    img[50] = static_cast<std::uint8_t>((l1 >> 8) & 0xFF);
    std::fill(img + 51, img + 55, 0);
    std::int32_t r = 0;
    for (std::int32_t a = 0; a < row_.RomSize; a += 32) {
        ShowProgress(a);
        ReadBlock(img + 55 + a);
        r = a + 32;
    }
    Deselect();
    SuppliesOff();
    const std::int32_t p = 55 + r;
    img[p] = 0xDC;
    img[p + 1] = 0x65;
    img[p + 2] = 0x25;
    std::fill(img + p + 3, img + p + 8, 0);
    Layout.OptionData = p + 8;
    if (!EnterProgramMode()) return;
    Line(2, false);
    Line(3, false);
    Layout.OptionStart = 0;
    Layout.OptionEnd = 32;
    SetAddress(2, 0);
    Line(3, true);
    ReadBlock(img + p + 8);
    ReadBlock(img + p + 40);
    if (wb.FileWin) wb.FileWin->EndAddr = p + 72;
    ShowProgress(p + 72);
    Deselect();
    SuppliesOff();
    Success("OK");
    wb.Display();
    OptionMsgClick();
}

void THoltekOTP1::OptionMsgClick() {
    if (!ready_ || !EnterProgramMode()) return;
    Line(2, false);
    Line(3, false);
    SetAddress(2, 0);
    Line(3, true);
    std::uint8_t words[64];
    ReadBlock(words);
    ReadBlock(words + 32);
    Deselect();
    SuppliesOff();
    auto word = [&](int k) { return static_cast<unsigned>(words[2 * k] | (words[2 * k + 1] << 8)); };
    FormControl& g = Get("StringGrid1");
    char b[32];
    for (int k = 0; k < 16; ++k) {
        std::snprintf(b, sizeof b, "%02x: %04x", k, word(k));
        g.RowNames[static_cast<std::size_t>(k)] = b;
        std::snprintf(b, sizeof b, "%02x: %04x", k + 32, word(16 + k));
        g.Items[static_cast<std::size_t>(k)] = b;
    }
    Repaint(g);
    Success((word(0) & 1u) ? "器件加了密" : "OK");
}

void THoltekOTP1::Button1Click() {
    if (!ready_) return;
    wb.ErrorFlag() = 0;
    if (Ep3.CheckPinContact(row_.GndPin, 0, row_.ContactLo, row_.ContactHi, 0) == 0) return StepFailed();
    Line(2, true);
    Line(3, false);
    Line(1, true);
    Ep3.UsbFlush();
    Ep3.VccPin(row_.VccPin);
    Ep3.VppPin(row_.VppPin);
    if (Ep3.CheckCurrent() == 0) return StepFailed();
    Ep3.UsbPut3(0, 0, 0);
    Line(3, true);
    Line(2, false);
    Ep3.UsbPut3(0, 0, 0);
    Ep3.UsbFlush();
    for (int k = 0; k < 8; ++k) {
        Line(1, false);
        Ep3.UsbPut1(OpNop);
        Ep3.UsbPut1(OpCapturePort0);
        Line(1, true);
    }
    Line(2, true);
    Line(3, false);
    Ep3.UsbFlush();
    Ep3.UsbReadReply();
    unsigned id = 0;
    for (int k = 0; k < 8; ++k) id |= (Ep3.UsbReplyBuf[static_cast<std::size_t>(k)] & 1u) << k;
    char b[32];
    std::snprintf(b, sizeof b, id == 0xAD ? "%02x OK" : "%02x,错误Type", id);
    SuppliesOff();
    if (id == 0xAD) Success(b);
    else Status(b);
}

void THoltekOTP1::SecurityClick() {
    if (!ready_ || !EnterProgramMode()) return;
    Line(2, false);
    Line(3, false);
    SetAddress(2, 0);
    ProgramWord(1);
    Line(3, true);
    Line(2, true);
    SuppliesOff();
    // The check needs its own entry: without it nothing says the lock holds.
    std::uint8_t block[32];
    if (!ReadArea2Block(block)) return;
    if (block[0] & 1) {
        wb.ErrorFlag() = 0;
        Success("OK");
    } else {
        Status("Lock失败!");
        wb.ErrorFlag() = 1;
    }
}

void THoltekOTP1::FileInfoClick() {
    if (OtpLayoutCheck()) {
        char b[96];
        std::snprintf(b, sizeof b, "OK,ROM:%08x,%08x,OPTION:%08x,%08x", Layout.RomStart, Layout.RomEnd,
                      Layout.OptionStart, Layout.OptionEnd);
        Status(b);
        return;
    }
    Status(kNotOtp);
    wb.prompts.ShowMessage("错误的文件,应该装载.OTP文件，然后选择BIN格式");
}

void THoltekOTP1::Button2Click() {
    using F = THoltekOTP1;
    RunBatch(BatchSteps(this, {{"CheckBoxBlank", &F::BlankClick},
                               {"CheckBoxWrite", &F::WriteClick},
                               {"CheckBoxVer", &F::VerifyClick},
                               {"CheckBoxSec", &F::SecurityClick}}),
             [this] { return Ep3.WaitNextChip(row_.GndPin, 0, row_.ContactLo, row_.ContactHi, 0) != 0; });
}

QUILLA_FORM(THoltekOTP1);

}  // namespace quilla
