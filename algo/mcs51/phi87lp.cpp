#include "algo/mcs51/phi87lp.h"

#include <fstream>

#include "algo/common/scan.h"
#include "algo/common/sidefile.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kVppPin = 9, kVccPin = 30, kGndPin = 10;
constexpr std::uint32_t kMaskLo = 0xE0000300u;  // socket 9, 10, 30, 31, 32
constexpr int kGroup = 64;
constexpr int kPinCount[] = {14, 14, 16, 20, 20, 20, 20, 20};
constexpr std::int32_t kUser = 0xFCE0;  // 32 bytes of user code
constexpr std::uint16_t kConfigAddress = 0xFD00;

// RadioGroup1 items and their oscillator values.
const char* const kOsc[] = {"Ext. OSC    ", "Int.RC(6Mhz)", "32-100KHZ", "100KHZ-4MHZ", "4-20MHZ"};
constexpr unsigned kOscValue[] = {7, 3, 2, 1, 0};

// The configuration word's boxes (ticked: the bit set).
struct ConfigBox {
    const char* Name;
    const char* Caption;
    unsigned Bit;
};
constexpr ConfigBox kConfigBoxes[] = {{.Name = "CheckWtd", .Caption = "WTD        ", .Bit = 0x80},
                                      {.Name = "CheckRPD", .Caption = "No reset  ", .Bit = 0x40},
                                      {.Name = "CheckPRHI", .Caption = "Rest IO=hi ", .Bit = 0x20},
                                      {.Name = "CheckBO25", .Caption = "I/O = 2.5V ", .Bit = 0x10}};

// The window: the buttons, the user-code note, the configuration group (every
// change recomputes the word: RadioGroup1Click) and the batch with its run
// button Button2 (the user code's box unticked).
ControlRows Window() {
    using namespace win;
    ControlRows rows = Join(
        {StatusRows51(),
         {PushButton({"Blank", "Blank?  "}), PushButton({"Verify", "Vrfy"}), PushButton({"Write", "Write."}),
          PushButton({"ReadToFile", "Read  "}), PushButton({"ID", " ID   "}), PushButton({"RdConfig", "Read CFG"}),
          PushButton({"WtConfig", "Wrt.CFG."}), PushButton({"Button1", "Wrt. USR"}),
          PushButton({"Button3", "Rd. USR "}), Label({"Label1", "32 byte USR add.："}),
          Label({"Label2", "fce0h to fcffh"}), Group({"GroupBox2", "Int CFG   "}),
          Box({"CheckSec", "Lock(Sec)"}, false, "GroupBox2")}});
    for (const ConfigBox& b : kConfigBoxes) rows.push_back(Box({b.Name, b.Caption}, true, "GroupBox2"));
    return Join({rows,
                 {Radio({"RadioGroup1", "OSC Mode    "}, {kOsc[0], kOsc[1], kOsc[2], kOsc[3], kOsc[4]}, 0, "GroupBox2"),
                  Radio({"RadioGroup2", "CLKS            "}, {" 6 Clocks(F.)", "12 Clocks(Mid.)"}, 0, "GroupBox2"),
                  Group({"GroupBox1", "Batch   "})},
                 In("GroupBox1",
                    {Box({"CheckBoxBlank", "Blank?  "}, true), Box({"CheckBoxWrite", "Write."}, true),
                     Box({"CheckBoxVer", "Vrfy"}, true), Box({"CheckBoxConfig", "Wrt.CFG."}, true),
                     Box({"CheckBoxUser", "Wrt. USR"}, false), PushButton({"Button2", " Run "})})});
}

}  // namespace

TPhi87lpx::TPhi87lpx(Workbench& w) : Mcs51Form(w, "P87LP76x", {}) {
    using F = TPhi87lpx;
    Handlers<F> own = {{"ReadToFile", &F::ReadToFileClick}, {"RdConfig", &F::RdConfigClick},
                       {"WtConfig", &F::WtConfigClick},     {"Button3", &F::Button3Click},
                       {"Button2", &F::Button2Click},       {"CheckSec", &F::RadioGroup1Click},
                       {"RadioGroup1", &F::RadioGroup1Click}, {"RadioGroup2", &F::RadioGroup1Click}};
    for (const ConfigBox& b : kConfigBoxes) own.push_back({b.Name, &F::RadioGroup1Click});
    DeclareControls(Window(), this, Handlers51(own));
    FillVariantTable();
    // The side file of the current data file, when there is one (no file opens
    // for an empty path): high byte first, a missing byte reads as 0xFF.
    if (std::ifstream in{SideFile(), std::ios::binary}) {
        char bytes[2] = {'\xFF', '\xFF'};
        in.read(bytes, 2);
        ConfigWord = static_cast<std::uint8_t>(bytes[0]) * 256u + static_cast<std::uint8_t>(bytes[1]);
        ConfigToControls();
    }
}

std::string TPhi87lpx::SideFile() const { return SideFilePath(wb, ".cfg"); }

void TPhi87lpx::FillVariantTable() {
    Table = {{"", 0},
             {"1: P87LP760  (1k)", 0x03FF}, {"2: P87LP761  (2k)", 0x07FF}, {"3: P87LP762  (2k)", 0x07FF},
             {"4: P87LP764  (4k)", 0x0FFF}, {"5: P87LP767  (4k)", 0x0FFF}, {"6: P87LP768  (4k)", 0x0FFF},
             {"7: P87LP769  (4k)", 0x0FFF}};
}

void TPhi87lpx::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    Ep3.LoadBitFile("lp76x.bit");
    const int pins = kPinCount[wb.sel.VariantIndex];
    Ep3.ShowPlacementDiagram(pins == 14 ? 8 : pins == 16 ? 7 : 6, pins, 0, 0);
    SetupShow();
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
    if (const std::string path = SideFile(); !path.empty())
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            << static_cast<char>((ConfigWord >> 8) & 0xFF) << static_cast<char>(ConfigWord & 0xFF);
}

// ---- the configuration word --------------------------------------------------------------

void TPhi87lpx::ControlsToConfig() {
    const int osc = ItemIndex("RadioGroup1");
    ConfigWord = 0xFF00u | (osc >= 0 && osc < 5 ? kOscValue[osc] : 0u);
    for (const ConfigBox& b : kConfigBoxes)
        if (Checked(b.Name)) ConfigWord |= b.Bit;
    if (ItemIndex("RadioGroup2") == 0) ConfigWord |= 0x08;
    if (Checked("CheckSec")) ConfigWord &= ~0xC000u;
    Status("Config = " + Hex4(ConfigWord));
}

void TPhi87lpx::ConfigToControls() {
    SetEnabled("RdConfig", false);
    int item = 4;  // "4-20MHZ", also for 4, 5 and 6
    for (int i = 0; i < 5; ++i)
        if (kOscValue[i] == (ConfigWord & 7u)) item = i;
    Choose("RadioGroup1", item);
    Choose("RadioGroup2", (ConfigWord & 0x08) ? 0 : 1);
    for (const ConfigBox& b : kConfigBoxes) SetChecked(b.Name, (ConfigWord & b.Bit) != 0);
    SetChecked("CheckSec", (ConfigWord & 0xC000) == 0);
    SetEnabled("RdConfig", true);
}

void TPhi87lpx::RadioGroup1Click() {
    if (Get("RdConfig").Enabled) ControlsToConfig();
}

// ---- the command protocol ----------------------------------------------------------------

void TPhi87lpx::Lpc76xLoadAddress(std::uint16_t a) {
    Lpc76xCommand(8);
    Lpc76xCommand(static_cast<std::uint8_t>(a & 0xFF));
    Lpc76xCommand(10);
    Lpc76xCommand(static_cast<std::uint8_t>(a >> 8));
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

bool TPhi87lpx::Begin(const char* text, int address) {
    Status(text);
    Lpc76xEnter();
    if (address >= 0) {
        Lpc76xLoadAddress(static_cast<std::uint16_t>(address));
        Flush();
    }
    return Ep3.CheckCurrent() != 0;
}

void TPhi87lpx::ReadId() {
    Lpc76xEnter();
    Lpc76xLoadAddress(0xFC30);
    Lpc76xReadByte();
    Lpc76xLoadAddress(0xFC31);
    Lpc76xReadByte();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    SuppliesOff();
    auto& r = LastReadId();
    r = {Ep3.UsbReplyBuf[0], Ep3.UsbReplyBuf[1], 0, r[3]};
    Status(FormatText("Detect MFG and ID   = %02x, %02x", r[0], r[1]));
}

// Two bytes compared; a "No" to either question sets ErrorFlag.
int TPhi87lpx::CheckDeviceId() {
    const IdCheck51 check{.ClearsErrorFlag = false, .LockedFirst = false, .LockedQuestion = "Wrong type! \n OK ?"};
    if (CheckDeviceIdWith(check, [this] { ReadId(); })) return 1;
    wb.ErrorFlag() = 1;
    return 0;
}

// ---- the handlers -----------------------------------------------------------------------------------

void TPhi87lpx::QueueReads(int count) {
    for (int i = 0; i < count; ++i) Lpc76xReadByte(), Lpc76xNextAddress();
    Flush();
}

bool TPhi87lpx::ReadGroups(const Mcs51Row& r, bool intoImage, const GroupCheck51& check) {
    return Groups51(r.LastAddress, intoImage, [this](std::int32_t) { QueueReads(kGroup); }, check);
}

void TPhi87lpx::CheckClick(bool verify) {
    const Mcs51Row& r = Row();
    if (!Contact() || !CheckDeviceId() || !Begin(verify ? "Verify." : "Blank CHK", 0)) return;
    const bool good = ReadGroups(r, false, [&](std::int32_t a, const std::uint8_t* b) {
        for (int j = 0; j < kGroup; ++j) {
            if (b[j] == (verify ? *Image(a + j) : 0xFF)) continue;
            SuppliesOff();
            Status(verify ? "verify failed." : "No empty.");
            ShowProgress(a + j);
            wb.ErrorFlag() = 1;
            return false;
        }
        return true;
    });
    if (!good) return;
    if (!verify) {
        Success("Blank.");
        SuppliesOff();
        return;
    }
    wb.ErrorFlag() = 0;
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("Verified");
}

void TPhi87lpx::ProgramRun(std::int32_t first, std::int32_t last) {
    for (std::int32_t a = first; a <= last; ++a) {
        Lpc76xProgramByte(*Image(a));
        Lpc76xNextAddress();
        if (a % 256 == 0) {
            Flush();
            ShowProgress(a);
        }
    }
    Flush();
    wb.ErrorFlag() = 0;
}

void TPhi87lpx::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Contact() || !CheckDeviceId() || !Begin("Writing..", 0)) return;
    ProgramRun(0, r.LastAddress);
    ShowProgress(r.LastAddress);
    Success("OK");
    SuppliesOff();
}

void TPhi87lpx::ReadToFileClick() {
    const Mcs51Row& r = Row();
    if (!Contact() || !CheckDeviceId() || !Begin("Read.", 0)) return;
    ReadGroups(r, true);
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
    if (!Contact() || !CheckDeviceId() || !Begin("Read CFG...")) return;
    Lpc76xLoadAddress(kConfigAddress);
    Lpc76xReadByte();
    Lpc76xNextAddress();
    Lpc76xReadByte();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    ConfigWord = static_cast<std::uint32_t>(Ep3.UsbReplyBuf[1]) * 256 + Ep3.UsbReplyBuf[0];
    ConfigToControls();
    SuppliesOff();
    Status("Config =" + Hex4(ConfigWord));
}

// The low byte at 0xFD00, the high byte at 0xFD01.
void TPhi87lpx::WtConfigClick() {
    Row();
    if (!Contact()) return;
    ControlsToConfig();
    ShowProgress(0);
    if (!Begin("Wrt.CFG.")) return;
    for (int i = 0; i < 2; ++i) {
        Lpc76xLoadAddress(static_cast<std::uint16_t>(kConfigAddress + i));
        Lpc76xProgramByte(static_cast<std::uint8_t>((ConfigWord >> (8 * i)) & 0xFF));
    }
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
    if (!Begin("Wrt.32 byte user(fce0 to fcff).", kUser)) return;
    ProgramRun(kUser, kUser + 31);
    Success("OK");
    SuppliesOff();
}

void TPhi87lpx::Button3Click() {
    Row();
    if (!Begin("Read USR code....", kUser)) return;
    QueueReads(32);
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    // The 32 bytes read, not the rest of the reply.
    std::copy(Ep3.UsbReplyBuf.begin(), Ep3.UsbReplyBuf.begin() + 32, Image(kUser));
    SuppliesOff();
    Success("OK");
    if (wb.FileWin) wb.FileWin->ViewStart = kUser;
    wb.Display();
}

void TPhi87lpx::Button2Click() {
    Row();
    // The user code before the configuration word.
    using F = TPhi87lpx;
    RunBatch51(BatchSteps<F>(this, {{"CheckBoxBlank", &F::BlankClick},
                                    {"CheckBoxWrite", &F::WriteClick},
                                    {"CheckBoxVer", &F::VerifyClick},
                                    {"CheckBoxUser", &F::Button1Click},
                                    {"CheckBoxConfig", &F::WtConfigClick}}),
               false);
}

QUILLA_FORM(TPhi87lpx);

}  // namespace quilla
