#include "algo/pic/p16f5x.h"

#include <cstdio>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

struct F5xPackage {
    int pkg;
    const char* design;
    int vpp, vcc, gnd;
    std::uint32_t lo, hi;
};
constexpr F5xPackage kPackages[] = {
    {.pkg = 29, .design = "pic16dip29.bit", .vpp = 34, .vcc = 8, .gnd = 10, .lo = 0x00600280, .hi = 0x02},
    {.pkg = 18, .design = "pic16dip18.bit", .vpp = 15, .vcc = 25, .gnd = 16, .lo = 0x1FFFF800, .hi = 0},
};

const F5xPackage* FindPackage(int pkg) {
    for (const auto& p : kPackages)
        if (p.pkg == pkg) return &p;
    return nullptr;
}

}  // namespace

TP16f5x::TP16f5x(Workbench& w) : PicForm(w, "P16f5x", picvariant::P16f5x) {
    // CP, WDTE and FOSC1:0 are the boxes'; bits 11-4 are not implemented.
    fileConfig_ = {kFileConfig12, 0x0FFF, 0x000F, "boxes'"};
    using namespace picwin;
    using namespace win;
    using F = TP16f5x;
    DeclareControls(Join({{Group({"GroupBox1", "Int CFG   "})},
                          In("GroupBox1", {Box({"CheckBox1", "允许Lock"}),
                                           Box({"CheckBox2", "允许WTD          "}, true)}),
                          {Radio({"RadioGroup1", "OSC Mode    "}, OscItems(), 1)},
                          Batch({{kEraseBox}, {kBlankBox}, {kWriteBox}, {kVerifyBox}, {kWrCfgBox}}, kRun1),
                          {PushButton(kErase), PushButton(kWrite), PushButton(kVerify), PushButton(kRead),
                           PushButton(kWrCfg), PushButton(kRdCfg), PushButton(kBlank),
                           Edit({kUserId, "User ID"}, "1234")},
                          Foot(false)}),
                    this, {{kErase.Name, &F::EraseClick}, {kRun1.Name, &F::Button1Click}});
    BindHandlers(this, OneTimeClicks<F>());
    Table.assign(20, PicRow{});
    Table[0].Name = "Exit";
    // The last programmed configuration word, kept from run to run (nothing shows it).
    if (const auto word = ReadConfigWordFile(SideFile(".CON"))) ConfigWord = *word;
}

std::string TP16f5x::DeviceLineError() const {
    const Selection& s = wb.sel;
    const int v = s.VariantIndex;
    if (v < 0 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of PIC16F5X is not in the device table";
    const int fla = s.GetParam("fla=");
    if (fla < 1 || static_cast<long long>(fla) * 2 > 0x4000)
        return "Bad device line: fla=" + std::to_string(fla) + " (1 to 8192 words)";
    const int pkg = s.GetParam("pkg=");
    if (!FindPackage(pkg) && (v == 0 || !Table[static_cast<std::size_t>(v)].Filled()))
        return "Bad device line: pkg=" + std::to_string(pkg) + " names no package (29 or 18)";
    const int vcc = s.GetParam("vcc=");
    if (vcc < 0 || vcc > 6500) return "Bad device line: vcc=" + std::to_string(vcc);
    return {};
}

void TP16f5x::SetupForDevice() {
    ready_ = false;
    const bool noPackage = wb.sel.GetParam("pkg=") == 0;
    if (noPackage) wb.prompts.ShowMessage("Bad Package! ");
    // A line the form cannot serve: one message (pkg=0 has had its own), no
    // supply, no command.
    if (const std::string err = DeviceLineError(); !err.empty()) {
        Status(err);
        if (!noPackage || err.find("pkg=") == std::string::npos) wb.prompts.ShowMsg(err);
        return;
    }
    Ep3.ResetPins();
    wb.FileNew();
    AlgoForm::Show();
    PicRow& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    r.ProgramLast = 2 * wb.sel.GetParam("fla=") - 1;
    r.WriteDelay = wb.sel.GetParam("dly=");
    if (const F5xPackage* p = FindPackage(wb.sel.GetParam("pkg="))) {
        Ep3.LoadBitFile(p->design);
        r.SeatIn(*p);
    }
    row_ = r;
    Ep3.VppPin(0);
    Status(Ep3.Connected ? "" : "Comm Err.");
    wb.Display();
    AlgoForm::Show();
    Put(kType, wb.sel.SelectedDevice);
    Ep3.GndPin(row_.GndPin);
    int vcc = wb.sel.GetParam("vcc=");
    if (vcc < 2500) vcc = 5000;
    Ep3.SetVcc(vcc);
    Ep3.SetVpp(12700);
    ready_ = true;
}

const PicRow& TP16f5x::Row() {
    if (!ready_) {
        const std::string err = DeviceLineError();
        Refuse(err.empty() ? std::string("Bad Package! ") : err);
    }
    return row_;
}

bool TP16f5x::PowerUp() {
    const PicRow& r = Row();
    Pic.PowerOn(r.Pins());
    Ep3.VppPin(r.VppPin);
    Pic.SerialEnable();
    return Ep3.CheckCurrent() != 0;
}

bool TP16f5x::CheckDeviceId() {
    const PicRow& r = Row();
    if (Ep3.CheckPinContact(r.GndPin, 0, r.ContactLo, r.ContactHi, 0) == 0) return false;
    if (!PowerUp()) return false;
    Off();
    return true;
}

void TP16f5x::ProgramWord(std::uint16_t w) {
    Pic.SendCommandData(0xF2, w);
    Pic.SendCommand(0xF8);
    Ep3.UsbPut1(OpWait1ms);
    Ep3.UsbPut1(OpWait1ms);
    Pic.SendCommand(0xFE);
    Ep3.UsbPut1(OpWaitPulse);
    Pic.SendCommand(0xF6);
}

void TP16f5x::BlankClick() {
    const PicRow& r = Row();
    if (!CheckDeviceId()) return;
    Status("正在检查...");
    if (!PowerUp()) return;
    wb.ErrorFlag() = 0;
    Ep3.UsbFlush();
    Pic.ReadNext();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    if ((Ep3.UsbReplyBuf[0] & 0x0F) != 0x0F) {
        Status("ConfigNo!!!");
        wb.ErrorFlag() = 1;
        Off();
        return;
    }
    std::uint8_t block[32];
    for (std::int32_t a = 0; a < r.ProgramLast; a += 32) {
        ShowProgress(a, r.ProgramLast);
        Pic.ReadBlock(16, block);
        for (int k = 0; k < 16; ++k) {
            if (block[2 * k] != 0xFF || (block[2 * k + 1] & 0x0F) != 0x0F) {
                Status("No empty.");
                ShowProgress(a, r.ProgramLast);
                wb.ErrorFlag() = 1;
                Off();
                return;
            }
        }
    }
    Off();
    Success("Blank.!");
}

void TP16f5x::WriteClick() {
    const PicRow& r = Row();
    if (!CheckDeviceId()) return;
    if (!NeedFileWindow()) return;
    MaskWordHighBytes(r.ProgramLast, 0x0F);
    wb.Display();
    Status("Writing..");
    Ep3.VppPin(0);
    if (!PowerUp()) return;
    Pic.SendCommand(0xF6);
    for (std::int32_t p = 0; p <= r.ProgramLast; p += 2) {
        const auto* img = wb.ImageBuffer.data() + p;
        ProgramWord(static_cast<std::uint16_t>(img[0] | (img[1] << 8)));
        if ((p & 0x0F) == 0) {
            ShowProgress(p, r.ProgramLast);
            Ep3.UsbFlush();
        }
    }
    ShowProgress(r.ProgramLast, r.ProgramLast);
    Ep3.VppPin(0);  // VCC stays on until the next operation
    Success("OK");
}

void TP16f5x::VerifyClick() {
    const PicRow& r = Row();
    if (!CheckDeviceId()) return;
    Status("Verify.");
    if (!PowerUp()) return;
    wb.ErrorFlag() = 0;
    Pic.SendCommand(0xF6);
    std::uint8_t block[32];
    for (std::int32_t a = 0; a < r.ProgramLast; a += 32) {
        ShowProgress(a, r.ProgramLast);
        Pic.ReadBlock(16, block);
        for (int k = 0; k < 16; ++k) {
            const auto* img = wb.ImageBuffer.data() + a + 2 * k;
            if (block[2 * k] != img[0] || (block[2 * k + 1] & 0x0F) != (img[1] & 0x0F)) {
                Status("Error....");
                ShowProgress(a + 2 * k, r.ProgramLast);
                wb.ErrorFlag() = 1;
                Off();
                return;
            }
        }
    }
    Off();
    Success("OK");
    ShowProgress(r.ProgramLast, r.ProgramLast);
}

void TP16f5x::ReadToFileClick() {
    const PicRow& r = Row();
    if (!CheckDeviceId()) return;
    Status("Read.");
    if (!PowerUp()) return;
    Pic.SendCommand(0xF6);
    for (std::int32_t a = 0; a < r.ProgramLast; a += 32) {
        ShowProgress(a, r.ProgramLast);
        Pic.ReadBlock(16, wb.ImageBuffer.data() + a);
    }
    MaskWordHighBytes(r.ProgramLast, 0x0F);
    ShowProgress(r.ProgramLast, r.ProgramLast);
    Off();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

// Bulk erase at the configuration word (everything), the counter walked
// 1 + 2 x fla steps (as the form has always done), bulk erase again.
void TP16f5x::EraseClick() {
    const PicRow& r = Row();
    if (!CheckDeviceId()) return;
    Status("Erasing....");
    Pic.PowerOn(r.Pins());
    Ep3.VppPin(r.VppPin);
    if (Ep3.CheckCurrent() == 0) return;
    Pic.SendCommand(0x09);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.UsbPut1(OpWaitSettle);
    Pic.SendCommand(0xF6);
    for (std::int32_t i = 0; i < r.ProgramLast + 1; ++i) {  // 2 x fla
        Pic.SendCommand(0xF6);
        Ep3.UsbPut1(OpNop);
    }
    Pic.SendCommand(0x09);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.UsbPut1(OpWaitSettle);
    Off();
    Success("End.");
}

void TP16f5x::RdConfigClick() {
    Row();
    if (!CheckDeviceId()) return;
    if (!PowerUp()) return;
    Pic.ReadNext();
    Off();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    char b[32];
    std::snprintf(b, sizeof b, "Config=%04x", static_cast<unsigned>(Ep3.UsbReplyBuf[0] & 0x0F));
    Success(b);
}

// Checks the current like the other operations before it programs the word.
void TP16f5x::WtConfigClick() {
    const PicRow& r = Row();
    std::uint32_t word = static_cast<std::uint32_t>(ItemIndex("RadioGroup1")) | 0xFFFFFFFCu;
    if (Checked("CheckBox1")) word &= ~0x08u;
    if (!Checked("CheckBox2")) word &= ~0x04u;
    SayFileConfigWord(word);
    Pic.PowerOn(r.Pins());
    Ep3.VppPin(r.VppPin);
    if (Ep3.CheckCurrent() == 0) return;
    ConfigWord = word;
    ProgramWord(static_cast<std::uint16_t>(ConfigWord & 0x0FFF));
    Off();
    char b[32];
    std::snprintf(b, sizeof b, "%04x OK", static_cast<unsigned>(ConfigWord & 0x0F));
    Success(b);
}

void TP16f5x::Button1Click() {
    const PicRow& r = Row();
    Handlers<TP16f5x> boxes = picwin::OneTimeBoxes<TP16f5x>();
    boxes.insert(boxes.begin(), {picwin::kEraseBox.Name, &TP16f5x::EraseClick});
    RunBatch(BatchSteps(this, boxes),
             [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, r.ContactLo, r.ContactHi, 0) != 0; }, true,
             [this] { return CheckDeviceId(); });
}

void TP16f5x::OnClose() {
    Ep3.PowerOff();
    WriteConfigWordFile(SideFile(".CON"), static_cast<std::uint16_t>(ConfigWord));
}

QUILLA_FORM(TP16f5x);

}  // namespace quilla
