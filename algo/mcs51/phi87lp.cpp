#include "algo/mcs51/phi87lp.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "algo/common/sidefile.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kVppPin = 9, kVccPin = 30, kGndPin = 10;
constexpr std::uint32_t kMaskLo = 0xE0000300u;  // socket 9, 10, 30, 31, 32
constexpr int kGroup = 64;
constexpr int kPinCount[] = {14, 14, 16, 20, 20, 20, 20, 20};

// RadioGroup1 items and their oscillator values.
const char* const kOsc[] = {"Ext. OSC    ", "Int.RC(6Mhz)", "32-100KHZ", "100KHZ-4MHZ", "4-20MHZ"};
constexpr unsigned kOscValue[] = {7, 3, 2, 1, 0};

}  // namespace

TPhi87lpx::TPhi87lpx(Workbench& w) : Mcs51Form(w, "P87LP76x", {}) {
    DeclareStatus();
    DeclareButtons51({{"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Verify", "Vrfy", [this] { VerifyClick(); }},
                      {"Write", "Write.", [this] { WriteClick(); }},
                      {"ReadToFile", "Read  ", [this] { ReadToFileClick(); }},
                      {"ID", " ID   ", [this] { IDClick(); }},
                      {"RdConfig", "Read CFG", [this] { RdConfigClick(); }},
                      {"WtConfig", "Wrt.CFG.", [this] { WtConfigClick(); }},
                      {"Button1", "Wrt. USR", [this] { Button1Click(); }},
                      {"Button3", "Rd. USR ", [this] { Button3Click(); }}});
    AddLabel("Label1", "32 byte USR add.：");
    AddLabel("Label2", "fce0h to fcffh");
    AddGroup("GroupBox2", "Int CFG   ");
    AddCheck("CheckSec", "Lock(Sec)", false, "GroupBox2").OnClick = [this] { RadioGroup1Click(); };
    AddCheck("CheckWtd", "WTD        ", true, "GroupBox2").OnClick = [this] { RadioGroup1Click(); };
    AddCheck("CheckRPD", "No reset  ", true, "GroupBox2").OnClick = [this] { RadioGroup1Click(); };
    AddCheck("CheckPRHI", "Rest IO=hi ", true, "GroupBox2").OnClick = [this] { RadioGroup1Click(); };
    AddCheck("CheckBO25", "I/O = 2.5V ", true, "GroupBox2").OnClick = [this] { RadioGroup1Click(); };
    AddRadio("RadioGroup1", "OSC Mode    ", {kOsc[0], kOsc[1], kOsc[2], kOsc[3], kOsc[4]}, 0, "GroupBox2").OnClick =
        [this] { RadioGroup1Click(); };
    AddRadio("RadioGroup2", "CLKS            ", {" 6 Clocks(F.)", "12 Clocks(Mid.)"}, 0, "GroupBox2").OnClick =
        [this] { RadioGroup1Click(); };
    AddGroup("GroupBox1", "Batch   ");
    AddCheck("CheckBoxBlank", "Blank?  ", true, "GroupBox1");
    AddCheck("CheckBoxWrite", "Write.", true, "GroupBox1");
    AddCheck("CheckBoxVer", "Vrfy", true, "GroupBox1");
    AddCheck("CheckBoxConfig", "Wrt.CFG.", true, "GroupBox1");
    AddCheck("CheckBoxUser", "Wrt. USR", false, "GroupBox1");
    AddButton("Button2", " Run ", [this] { Button2Click(); }, "GroupBox1");
    FillVariantTable();
    // The side file of the current data file, when there is one: high byte first.
    if (const std::string path = SideFile(); !path.empty()) {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const unsigned hi = bytes.size() > 0 ? static_cast<std::uint8_t>(bytes[0]) : 0xFF;
            const unsigned lo = bytes.size() > 1 ? static_cast<std::uint8_t>(bytes[1]) : 0xFF;
            ConfigWord = hi * 256 + lo;
            ConfigToControls();
        }
    }
}

std::string TPhi87lpx::SideFile() const { return SideFilePath(wb, ".cfg"); }

void TPhi87lpx::FillVariantTable() {
    Table = {{"", 0},
             {"1: P87LP760  (1k)", 0x03FF},
             {"2: P87LP761  (2k)", 0x07FF},
             {"3: P87LP762  (2k)", 0x07FF},
             {"4: P87LP764  (4k)", 0x0FFF},
             {"5: P87LP767  (4k)", 0x0FFF},
             {"6: P87LP768  (4k)", 0x0FFF},
             {"7: P87LP769  (4k)", 0x0FFF}};
}

void TPhi87lpx::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    Ep3.LoadBitFile("lp76x.bit");
    Put(kType, wb.sel.TypeText);
    const int pins = kPinCount[wb.sel.VariantIndex];
    if (pins == 14) Ep3.ShowPlacementDiagram(8, 14, 0, 0);
    else if (pins == 16) Ep3.ShowPlacementDiagram(7, 16, 0, 0);
    else Ep3.ShowPlacementDiagram(6, 20, 0, 0);
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    AlgoForm::Show();
    if (wb.FileWin) wb.FileWin->EndAddr = 0x10000;
    wb.Display();
    AlgoForm::Show();
    ControlsToConfig();
    if (!Ep3.Connected) return;
    for (int n = 1; n <= 40; ++n) Ep3.SetPinOption(n, 1);
    Ep3.SetVpp(10800);
    Ep3.SetVcc(5000);
}

void TPhi87lpx::OnClose() {
    Ep3.PowerOff();
    // Only beside a data file that was loaded or saved.
    const std::string path = SideFile();
    if (path.empty()) return;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return;
    const char bytes[2] = {static_cast<char>((ConfigWord >> 8) & 0xFF), static_cast<char>(ConfigWord & 0xFF)};
    out.write(bytes, 2);
}

// ---- the configuration word --------------------------------------------------------------

void TPhi87lpx::ControlsToConfig() {
    const int osc = ItemIndex("RadioGroup1");
    ConfigWord = 0xFF00u | (osc >= 0 && osc < 5 ? kOscValue[osc] : 0u);
    if (Checked("CheckWtd")) ConfigWord |= 0x80;
    if (Checked("CheckRPD")) ConfigWord |= 0x40;
    if (Checked("CheckPRHI")) ConfigWord |= 0x20;
    if (Checked("CheckBO25")) ConfigWord |= 0x10;
    if (ItemIndex("RadioGroup2") == 0) ConfigWord |= 0x08;
    if (Checked("CheckSec")) ConfigWord &= ~0xC000u;
    char text[32];
    std::snprintf(text, sizeof text, "Config = %04x", ConfigWord & 0xFFFF);
    Status(text);
}

void TPhi87lpx::ConfigToControls() {
    SetEnabled("RdConfig", false);
    int item = 4;  // "4-20MHZ", also for 4, 5 and 6
    for (int i = 0; i < 5; ++i)
        if (kOscValue[i] == (ConfigWord & 7u)) item = i;
    Choose("RadioGroup1", item);
    Choose("RadioGroup2", (ConfigWord & 0x08) ? 0 : 1);
    SetChecked("CheckWtd", (ConfigWord & 0x80) != 0);
    SetChecked("CheckRPD", (ConfigWord & 0x40) != 0);
    SetChecked("CheckPRHI", (ConfigWord & 0x20) != 0);
    SetChecked("CheckBO25", (ConfigWord & 0x10) != 0);
    SetChecked("CheckSec", (ConfigWord & 0xC000) == 0);
    SetEnabled("RdConfig", true);
}

void TPhi87lpx::RadioGroup1Click() {
    if (Get("RdConfig").Enabled) ControlsToConfig();
}

// ---- the command protocol ----------------------------------------------------------------

void TPhi87lpx::Lpc76xCommand(std::uint8_t b) { Ep3.UsbPut2(OpLpcFrame, b); }

void TPhi87lpx::Lpc76xLoadAddress(std::uint16_t a) {
    Lpc76xCommand(8);
    Lpc76xCommand(static_cast<std::uint8_t>(a & 0xFF));
    Lpc76xCommand(10);
    Lpc76xCommand(static_cast<std::uint8_t>(a >> 8));
}

void TPhi87lpx::Lpc76xNextAddress() { Lpc76xCommand(6); }

void TPhi87lpx::Lpc76xReadByte() {
    Lpc76xCommand(4);
    Put1(OpLpcSample);
}

std::uint8_t TPhi87lpx::Lpc76xProgramByte(std::uint8_t b) {
    Lpc76xCommand(2);
    Lpc76xCommand(b);
    Lpc76xCommand(12);
    Waits(OpWaitPulse, 2);
    Lpc76xCommand(14);
    return b;
}

void TPhi87lpx::Lpc76xEnter() {
    Ep3.SetVpp(10800);
    Ep3.GndPin(kGndPin);
    Ep3.VccPin(kVccPin);
    Ep3.PinLow(kVppPin);
    Ep3.VppPin(kVppPin);
    Ep3.PinHigh(kVppPin);
    Flush();
}

bool TPhi87lpx::Contact() { return Ep3.CheckPinContact(kGndPin, 0, kMaskLo, 0, 0) != 0; }

int TPhi87lpx::CheckDeviceId() {
    Lpc76xEnter();
    Lpc76xLoadAddress(0xFC30);
    Lpc76xReadByte();
    Lpc76xLoadAddress(0xFC31);
    Lpc76xReadByte();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    SuppliesOff();
    auto& r = LastReadId();
    r[0] = Ep3.UsbReplyBuf[0];
    r[1] = Ep3.UsbReplyBuf[1];
    r[2] = 0;
    const auto& s = ExpectedId();
    char text[64];
    std::snprintf(text, sizeof text, "Detect MFG and ID   = %02x, %02x", r[0], r[1]);
    Status(text);
    std::snprintf(text, sizeof text, "R=(%02x,%02x)  S=(%02x,%02x)", r[0], r[1], s[0], s[1]);
    Status(text);
    if (s[0] == 0 || (r[0] == s[0] && r[1] == s[1])) return 1;
    if (Ask(r[0] == 0xFF ? "Wrong type! \n OK ?" : "Wrong type, OK ??")) return 1;
    wb.ErrorFlag() = 1;
    StepFailed();
    return 0;
}

// ---- the handlers -----------------------------------------------------------------------------------

bool TPhi87lpx::ReadGroups(const Mcs51Row& r, bool intoImage,
                           const std::function<bool(std::int32_t, const std::uint8_t*)>& check) {
    for (std::int32_t a = 0; a < r.LastAddress; a += kGroup) {
        if (!intoImage) ShowProgress(a);
        for (int i = 0; i < kGroup; ++i) {
            Lpc76xReadByte();
            Lpc76xNextAddress();
        }
        Flush();
        std::uint8_t* to = intoImage ? Image(a) : Ep3.UsbReplyBuf.data();
        Ep3.UsbReadReply(to);
        if (intoImage) ShowProgress(a);
        if (!check(a, to)) return false;
    }
    return true;
}

void TPhi87lpx::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Contact() || !CheckDeviceId()) return;
    Status("Blank CHK");
    Lpc76xEnter();
    Lpc76xLoadAddress(0);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    const bool blank = ReadGroups(r, false, [&](std::int32_t a, const std::uint8_t* b) {
        for (int j = 0; j < kGroup; ++j) {
            if (b[j] == 0xFF) continue;
            SuppliesOff();
            Status("No empty.");
            ShowProgress(a + j);
            wb.ErrorFlag() = 1;
            return false;
        }
        return true;
    });
    if (!blank) return;
    Success("Blank.");
    SuppliesOff();
}

void TPhi87lpx::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Contact() || !CheckDeviceId()) return;
    Status("Verify.");
    Lpc76xEnter();
    Lpc76xLoadAddress(0);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    const bool same = ReadGroups(r, false, [&](std::int32_t a, const std::uint8_t* b) {
        for (int j = 0; j < kGroup; ++j) {
            if (b[j] == *Image(a + j)) continue;
            SuppliesOff();
            Status("verify failed.");
            ShowProgress(a + j);
            wb.ErrorFlag() = 1;
            return false;
        }
        return true;
    });
    if (!same) return;
    wb.ErrorFlag() = 0;
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("Verified");
}

void TPhi87lpx::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Contact() || !CheckDeviceId()) return;
    Status("Writing..");
    Lpc76xEnter();
    Lpc76xLoadAddress(0);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    for (std::int32_t i = 0; i <= r.LastAddress; ++i) {
        Lpc76xProgramByte(*Image(i));
        Lpc76xNextAddress();
        if (i % 256 == 0) {
            Flush();
            ShowProgress(i);
        }
    }
    Flush();
    wb.ErrorFlag() = 0;
    ShowProgress(r.LastAddress);
    Success("OK");
    SuppliesOff();
}

void TPhi87lpx::ReadToFileClick() {
    const Mcs51Row& r = Row();
    if (!Contact() || !CheckDeviceId()) return;
    Status("Read.");
    Lpc76xEnter();
    Lpc76xLoadAddress(0);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    ReadGroups(r, true, [](std::int32_t, const std::uint8_t*) { return true; });
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
    // The data now comes from the chip: its name ends in ".BIN".
    std::string& name = wb.DataFileName;
    const std::size_t slash = name.find_last_of("/\\");
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.erase(dot);
    name += ".BIN";
    wb.Display();
}

void TPhi87lpx::RdConfigClick() {
    Row();
    if (!Contact() || !CheckDeviceId()) return;
    Status("Read CFG...");
    Lpc76xEnter();
    if (!Ep3.CheckCurrent()) return;
    Lpc76xLoadAddress(0xFD00);
    Lpc76xReadByte();
    Lpc76xNextAddress();
    Lpc76xReadByte();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    ConfigWord = static_cast<std::uint32_t>(Ep3.UsbReplyBuf[1]) * 256 + Ep3.UsbReplyBuf[0];
    ConfigToControls();
    SuppliesOff();
    char text[32];
    std::snprintf(text, sizeof text, "Config =%04x", ConfigWord & 0xFFFF);
    Status(text);
}

void TPhi87lpx::WtConfigClick() {
    Row();
    if (!Contact()) return;
    ControlsToConfig();
    ShowProgress(0);
    Status("Wrt.CFG.");
    Lpc76xEnter();
    if (!Ep3.CheckCurrent()) return;
    Lpc76xLoadAddress(0xFD00);
    Lpc76xProgramByte(static_cast<std::uint8_t>(ConfigWord & 0xFF));
    Lpc76xLoadAddress(0xFD01);
    Lpc76xProgramByte(static_cast<std::uint8_t>((ConfigWord >> 8) & 0xFF));
    Flush();
    SuppliesOff();
    Success("OK");
}

void TPhi87lpx::IDClick() {
    Row();
    if (!Contact()) return;
    CheckDeviceId();
}

void TPhi87lpx::Button1Click() {
    Row();
    Status("Wrt.32 byte user(fce0 to fcff).");
    Lpc76xEnter();
    Lpc76xLoadAddress(0xFCE0);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    for (int i = 0; i < 32; ++i) {
        Lpc76xProgramByte(*Image(0xFCE0 + i));
        Lpc76xNextAddress();
    }
    Flush();
    wb.ErrorFlag() = 0;
    Success("OK");
    SuppliesOff();
}

void TPhi87lpx::Button3Click() {
    Row();
    Status("Read USR code....");
    Lpc76xEnter();
    Lpc76xLoadAddress(0xFCE0);
    Flush();
    if (!Ep3.CheckCurrent()) return;
    for (int i = 0; i < 32; ++i) {
        Lpc76xReadByte();
        Lpc76xNextAddress();
    }
    Flush();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    // The 32 bytes read, not the rest of the reply.
    std::copy(Ep3.UsbReplyBuf.begin(), Ep3.UsbReplyBuf.begin() + 32, Image(0xFCE0));
    SuppliesOff();
    Success("OK");
    if (wb.FileWin) wb.FileWin->ViewStart = 0xFCE0;
    wb.Display();
}

void TPhi87lpx::Button2Click() {
    Row();
    RunBatch51({{"CheckBoxBlank", [this] { BlankClick(); }},
                {"CheckBoxWrite", [this] { WriteClick(); }},
                {"CheckBoxVer", [this] { VerifyClick(); }},
                {"CheckBoxUser", [this] { Button1Click(); }},
                {"CheckBoxConfig", [this] { WtConfigClick(); }}},
               false);
}

QUILLA_FORM(TPhi87lpx);

}  // namespace quilla
