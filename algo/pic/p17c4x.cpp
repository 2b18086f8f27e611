#include "algo/pic/p17c4x.h"

#include <cstdio>

#include "algo/common/c48.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kPulseLine = 2, kClockLine = 3, kDriveLine = 4, kModeLine = 5;

struct Pic17Package {
    int pkg;
    bool picture;
    const char* design;
    const char* placement;
    int vpp, vcc, gnd;
};

constexpr Pic17Package kPackages[] = {
    {.pkg = 40, .picture = true, .design = "pic17dip40.bit", .placement = "at90s8535dip48.bmp", .vpp = 12, .vcc = 21,
     .gnd = 30},
    {.pkg = 45, .picture = false, .design = "pic17TQFP44.bit", .placement = "qfp44.bmp", .vpp = 11, .vcc = 21,
     .gnd = 31},
    {.pkg = 44, .picture = false, .design = "pic17PLCC44.bit", .placement = "p44.bmp", .vpp = 33, .vcc = 42,
     .gnd = 31},
};

const Pic17Package* FindPackage(int pkg) {
    for (const auto& p : kPackages)
        if (p.pkg == pkg) return &p;
    return nullptr;
}

constexpr std::uint32_t kMaskLo[9] = {0, 0xFFFFFFC0, 0xFFFFFFFF, 0xFFDFFFFF, 0, 0, 0, 0, 0};
constexpr std::uint32_t kMaskHi[9] = {0, 0x1, 0xFF, 0xC3FF, 0, 0, 0, 0, 0};

constexpr const char* kBoxCaptions[8] = {"FOSC0", "FOSC1", "WDTBS0", "WDTBS1", "PM0", "-", "PM1", "PM2"};

std::string Box(int i) { return "CheckBox" + std::to_string(i + 1); }

}  // namespace

TP17c4x::TP17c4x(Workbench& w) : PicForm(w, "P17c4x", picvariant::P16c8x) {
    // Bit k of the file's word is location FE00h + k; the boxes decide the
    // locations they program (FOSC1:0, WDTPS1:0, PM0, PM1, PM2).
    fileConfig_ = {kFileConfig17, 0xFFFF, 0x805F, "boxes'"};
    using namespace picwin;
    using F = TP17c4x;
    ControlRows boxes{win::Group({"GroupBox1", "CFG (打勾为0)"})};
    for (int i = 0; i < 8; ++i)
        boxes.push_back(win::Box({kConfigBoxNames[static_cast<std::size_t>(i)], kBoxCaptions[i]}, false, "GroupBox1"));
    DeclareControls(win::Join({ReadFirstButtons(),
                               {win::PushButton(kRdCfg), win::PushButton(kWrCfg)},
                               boxes,
                               Batch({{kBlankBox}, {kWriteBox}, {kVerifyBox}, {kWrtCfgBox}}, kRun1),
                               {win::Label({"Image1"}), AddressField("", true), StatusField(""), ProgressBar()}}),
                    this,
                    {{kRdCfg.Name, &F::RdConfigClick},
                     {kWrCfg.Name, &F::WtConfigClick},
                     {kRun1.Name, &F::Button1Click}});
    BindHandlers(this, ReadFirstClicks<F>());
    FillVariantTable();
    // A byte the file does not hold leaves its box unticked: a ticked box
    // programs a one-time configuration location.
    if (const auto s = ReadC48(SideFile(C48Extension), C48P17c4x))
        for (int i = 0; i < 8 && i < static_cast<int>(s->size()); ++i)
            Get(Box(i)).Checked = (*s)[static_cast<std::size_t>(i)].value_or(0) != 0;
}

void TP17c4x::FillVariantTable() {
    Table.assign(Rows, PicRow{});
    Table[0].Name = "PIC17c all";
}

std::string TP17c4x::DeviceLineError() const {
    const Selection& s = wb.sel;
    const int v = s.VariantIndex;
    if (v < 0 || v >= Rows) return "Bad device line: variant " + std::to_string(v) + " of P17C4X (0 to 19)";
    const int fla = s.GetParam("fla=");
    if (fla < 1 || fla > 0xFE00) return "Bad device line: fla=" + std::to_string(fla) + " (1 to 65024 words)";
    const int pm = s.GetParam("pm=");
    if (pm < 0 || pm > 8) return "Bad device line: pm=" + std::to_string(pm) + " (0 to 8)";
    const int pkg = s.GetParam("pkg=");
    if (!FindPackage(pkg)) return "Bad device line: pkg=" + std::to_string(pkg) + " names no package (40, 45 or 44)";
    const int vcc = s.GetParam("vcc=");
    if (vcc < 0 || vcc > 6500) return "Bad device line: vcc=" + std::to_string(vcc);
    return {};
}

const PicRow& TP17c4x::Row() {
    RefuseUnlessReady(ready_);
    return row_;
}

void TP17c4x::SetupForDevice() {
    ready_ = false;
    FillVariantTable();
    // pkg= absent: "Bad Package! " and nothing is routed or loaded.
    if (wb.sel.GetParam("pkg=") == 0) {
        Status("Bad Package! ");
        return;
    }
    if (!AcceptDeviceLine()) return;
    wb.FileNew();
    AlgoForm::Show();
    PicRow& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    r.ProgramLast = 2 * wb.sel.GetParam("fla=") - 1;
    const int pm = wb.sel.GetParam("pm=");
    r.ContactLo = kMaskLo[pm];
    r.ContactHi = kMaskHi[pm];
    const Pic17Package* p = FindPackage(wb.sel.GetParam("pkg="));
    SetVisible("Image1", p->picture);
    Ep3.LoadBitFile(p->design);
    Ep3.ShowPlacementBitmap(p->placement);
    r.VppPin = p->vpp;
    r.VccPin = p->vcc;
    r.GndPin = p->gnd;
    row_ = r;
    Ep3.VppPin(0);
    Status(Ep3.Connected ? "" : "Comm Err.");
    wb.Display();
    AlgoForm::Show();
    Ep3.GndPin(row_.GndPin);
    const int vcc = wb.sel.GetParam("vcc=");
    Ep3.SetVcc(vcc == 0 ? 5000 : vcc);
    Ep3.SetVpp(12700);
    ready_ = true;
}

void TP17c4x::OnClose() {
    Ep3.PowerOff();
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 8; ++i) data.push_back(Checked(Box(i)) ? 1 : 0);
    WriteC48(SideFile(C48Extension), C48P17c4x, data);
}

// ---- command layer ------------------------------------------------------------------------------------

void TP17c4x::PulseLine(int n, int count) {
    for (int k = 0; k < count; ++k) {
        Ep3.ControlLineHigh(n);
        Ep3.ControlLineLow(n);
    }
}

void TP17c4x::Pic17PutWord(std::uint32_t w) {
    Ep3.ControlLineHigh(kDriveLine);
    Ep3.WriteLatch(0, static_cast<int>((w >> 8) & 0xFF));
    Ep3.WriteLatch(1, static_cast<int>(w & 0xFF));
    Ep3.ControlLineHigh(kClockLine);
    Ep3.ControlLineLow(kClockLine);
}

void TP17c4x::Pic17ReadWord() {
    PulseLine(kClockLine, 1);
    Ep3.UsbPut1(OpCapturePort1);
    Ep3.UsbPut1(OpCapturePort0);
    PulseLine(kClockLine, 2);
}

void TP17c4x::EnterProgramMode() {
    wb.ErrorFlag() = 0;
    Ep3.VccPin(0);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.ControlLineHigh(kDriveLine);
    Ep3.ControlLineLow(kPulseLine);
    Ep3.ControlLineLow(kClockLine);
    Ep3.WriteLatch(0, 0xE1);
    Ep3.VccPin(row_.VccPin);
    Ep3.UsbPut1(OpWait1ms);
    Ep3.ControlLineHigh(kModeLine);
    Ep3.VppPin(row_.VppPin);
    Ep3.UsbPut1(OpWait1ms);
}

void TP17c4x::SuppliesOff() {
    Ep3.ControlLineLow(kModeLine);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

bool TP17c4x::CheckContact() {
    const PicRow& r = Row();
    // A mask set without pins (pm= 0, 4-8) tests nothing: the row's supply pins stand in.
    if (r.ContactLo == 0 && r.ContactHi == 0) {
        if (SupplyPinsTouch(r.VppPin, r.VccPin, r.GndPin)) return true;
        StepFailed();
        return false;
    }
    if (Ep3.CheckPinContact(r.GndPin, 0, r.ContactLo, r.ContactHi, 0) != 0 &&
        ContactPresent(r.GndPin, r.ContactLo, r.ContactHi))
        return true;
    StepFailed();
    return false;
}

// ---- operations -------------------------------------------------------------------------------------------

void TP17c4x::ReadToFileClick() {
    if (!CheckContact()) return;
    const PicRow& r = Row();
    Status("读code(Code)...");
    EnterProgramMode();
    Pic17PutWord(0);
    Ep3.ControlLineLow(kDriveLine);
    for (std::int32_t a = 0; a <= r.ProgramLast; a += 64) {
        ShowProgress(a);
        for (int k = 0; k < 32; ++k) Pic17ReadWord();
        Ep3.UsbReadReply(wb.ImageBuffer.data() + a);
    }
    ShowProgress(r.ProgramLast);
    SuppliesOff();
    Ep3.UsbFlush();
    Success("读code(Code)...");
    wb.Display();
    AlgoForm::Show();
}

void TP17c4x::CompareBlocks(const char* running, const char* failed, const std::uint8_t* expect) {
    if (!CheckContact()) return;
    const PicRow& r = Row();
    Status(running);
    EnterProgramMode();
    Pic17PutWord(0);
    Ep3.ControlLineLow(kDriveLine);
    for (std::int32_t a = 0; a <= r.ProgramLast; a += 64) {
        ShowProgress(a);
        for (int k = 0; k < 32; ++k) Pic17ReadWord();
        Ep3.UsbReadReply();
        // Only program memory is compared: the last block may read past it.
        for (int j = 0; j < 64 && a + j <= r.ProgramLast; ++j) {
            const std::uint8_t want = expect ? expect[a + j] : 0xFF;
            if (Ep3.UsbReplyBuf[static_cast<std::size_t>(j)] != want) {
                Status(failed);
                ShowProgress(a + j);
                wb.ErrorFlag() = 1;
                SuppliesOff();
                return;
            }
        }
    }
    if (expect) ShowProgress(r.ProgramLast);
    SuppliesOff();
    Success("OK");
}

void TP17c4x::BlankClick() { CompareBlocks("Blank CHK", "No!!!", nullptr); }

void TP17c4x::VerifyClick() { CompareBlocks("Verify.", "Error....", wb.ImageBuffer.data()); }

// No contact test of its own: the row's supply pins are tested first, so an
// empty socket does not end in "OK".
void TP17c4x::WriteClick() {
    const PicRow& r = Row();
    if (!SupplyPinsTouch(r.VppPin, r.VccPin, r.GndPin)) {
        StepFailed();
        return;
    }
    Status("写code(code)...");
    EnterProgramMode();
    Pic17PutWord(0);
    PulseLine(kClockLine, 2);
    const auto* img = wb.ImageBuffer.data();
    for (std::int32_t p = 0; p < r.ProgramLast; p += 2) {
        Ep3.ControlLineHigh(kDriveLine);
        Ep3.WriteLatch(0, img[p + 1]);
        Ep3.WriteLatch(1, img[p]);
        Ep3.ControlLineHigh(kPulseLine);
        Ep3.UsbPut1(OpWait1ms);
        Ep3.ControlLineLow(kPulseLine);
        Ep3.ControlLineLow(kDriveLine);
        PulseLine(kClockLine, 3);
        if ((p & 0xFF) == 0) {
            Ep3.UsbFlush();
            ShowProgress(p);
        }
    }
    ShowProgress(r.ProgramLast);
    SuppliesOff();
    Success("OK");
}

// The reply is taken whole into a scratch buffer; the 32 bytes of FE00h-FE0Fh
// are kept.
void TP17c4x::RdConfigClick() {
    if (!CheckContact()) return;
    EnterProgramMode();
    Pic17PutWord(0xFE00);
    Ep3.ControlLineLow(kDriveLine);
    for (int k = 0; k < 16; ++k) Pic17ReadWord();
    std::array<std::uint8_t, 64> scratch{};
    Ep3.UsbReadReply(scratch.data());
    std::copy(scratch.begin(), scratch.begin() + 32, ConfigRead.begin());
    SuppliesOff();
    const unsigned cfg = (ConfigRead[0] & 0x7Fu) | (ConfigRead[16] & 0x80u);
    char text[16];
    std::snprintf(text, sizeof text, "Config:%02x", cfg);
    Success(text);
}

void TP17c4x::WtConfigClick() {
    if (!CheckContact()) return;
    Status("Wrt. CFG.");
    std::array<bool, 16> flags{};
    for (int i = 0; i < 8; ++i)
        if (BoxLocation[static_cast<std::size_t>(i)] >= 0 && Ticked(Box(i)))
            flags[static_cast<std::size_t>(BoxLocation[static_cast<std::size_t>(i)] - 0xFE00)] = true;
    // A pulsed location reads 0: the word the boxes program.
    std::uint32_t word = 0xFFFF;
    for (int j = 0; j < 16; ++j)
        if (flags[static_cast<std::size_t>(j)]) word &= ~(1u << j);
    SayFileConfigWord(word);
    EnterProgramMode();
    if (Ep3.CheckCurrent() == 0) {
        StepFailed();
        return;
    }
    Pic17PutWord(0xFE00);
    PulseLine(kClockLine, 2);
    Ep3.WriteLatch(0, 0xFF);
    Ep3.WriteLatch(1, 0x00);
    for (int j = 0; j < 16; ++j) {
        Ep3.ControlLineHigh(kDriveLine);
        if (flags[static_cast<std::size_t>(j)]) {
            Ep3.ControlLineHigh(kPulseLine);
            Ep3.UsbPut1(OpWait1ms);
            Ep3.ControlLineLow(kPulseLine);
        }
        Ep3.UsbPut1(OpWait1ms);
        Ep3.ControlLineLow(kDriveLine);
        PulseLine(kClockLine, 3);
    }
    SuppliesOff();
    Success("OK");
}

void TP17c4x::Button1Click() {
    RunBatch(OneTimeSteps(*this),
             [this] {
                 const PicRow& r = Row();
                 return Ep3.WaitNextChip(r.GndPin, 0, r.ContactLo, r.ContactHi, 0) != 0;
             });
}

QUILLA_FORM(TP17c4x);

}  // namespace quilla
