#include "algo/pic/em78.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "algo/pic/em78_layer.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

std::optional<std::uint16_t> ReadEmcFile(const std::string& path) {
    if (path.empty()) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    char b[2];
    in.read(b, 2);
    const auto got = in.gcount();
    const unsigned hi = got > 0 ? static_cast<unsigned char>(b[0]) : 0xFFu;
    const unsigned lo = got > 1 ? static_cast<unsigned char>(b[1]) : 0xFFu;
    return static_cast<std::uint16_t>((hi << 8) | lo);
}

bool WriteEmcFile(const std::string& path, std::uint16_t word) {
    if (path.empty()) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const char b[2] = {static_cast<char>(word >> 8), static_cast<char>(word & 0xFF)};
    out.write(b, 2);
    return static_cast<bool>(out);
}

// ---- the shared frame ---------------------------------------------------------------------------

Em78Form::Em78Form(Workbench& w, std::string caption) : PicForm(w, std::move(caption), picvariant::P16c8x) {}

std::string Em78Form::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 1 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of " + Caption() + " is not in the device table";
    return {};
}

bool Em78Form::SetupBegin() {
    ready_ = false;
    if (!AcceptDeviceLine()) return false;
    row_ = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    ready_ = true;
    return true;
}

void Em78Form::SuppliesOff() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

void Em78Form::ProgramImage() {
    Ep3.SetReg29Flag(5);
    const auto* img = wb.ImageBuffer.data();
    for (std::int32_t p = 0; p <= row_.ProgramLast; p += 2) {
        em78::ShiftOutWord(Ep3, ((img[p + 1] << 8) | img[p]) & 0x1FFFu);
        if ((p & 0xFF) == 0) {
            ShowProgress(p);
            Ep3.UsbFlush();
        }
    }
    wb.ErrorFlag() = 0;
    ShowProgress(row_.ProgramLast);
    SuppliesOff();
    Success("OK");
}

void Em78Form::Shutdown() { Ep3.PowerOff(); }

bool Em78Form::CheckCdsFile() {
    const std::string& name = wb.DataFileName;
    const auto slash = name.find_last_of('/');
    const auto dot = name.find_last_of('.');
    std::string ext;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ext = name.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext == ".CDS") return true;
    return wb.prompts.AskYesNo("File not a \"*.CDS\"  \n May not run!\n Continue to write？ \n");
}

void Em78Form::ReadWords(int words, std::uint8_t* out) {
    for (int k = 0; k < words; ++k) em78::ShiftInWord(Ep3);
    Ep3.UsbReadReply();
    std::copy_n(Ep3.UsbReplyBuf.begin(), 2 * words, out);
}

// ---- EMC78P156E / EMC78P447 ----------------------------------------------------------------------

TEm78p156::TEm78p156(Workbench& w, bool p447) : Em78Form(w, p447 ? "EM78P447" : "EMC78P156E"), p447_(p447) {
    using namespace picwin;
    using namespace win;
    using F = TEm78p156;
    DeclareControls(Join({OneTimeButtons(),
                          {Group({"GroupBox1", p447 ? "CFG Bits  " : "Int CFG   "})},
                          In("GroupBox1", {Box({"CheckSec", "Lock Bit   "}), Box({"CheckWtd", "WTD        "}),
                                           Box({"CheckHLP", "Low PW"}), If(p447, Box({"CheckTYP", "TYP(SA/SB)"}))}),
                          {Radio({"RadioGroup1", p447 ? "OSC CFG (MS)    " : "OSC Mode    "},
                                 {"RC    ", "XT      "}, 1),
                           Radio({"RadioGroup2", "CLKS            "}, {"2 Clocks", "4 Clocks"}, 1),
                           Radio({"RadioGroup3", "OSC          "}, {"Low ", "Hi  "}, 1), VerifyVoltage("4.5V", 1)},
                          Batch({{kBlankBox}, {kWriteBox}, {kVerifyBox, false}, {kWrtCfgBox}}, kRun2),
                          Foot(true),
                          {If(p447, Edit({"Edit1"}, "Edit1"))}}),
                    this,
                    {{"GroupBox1", &F::ControlsToConfig}, {"CheckSec", &F::ControlsToConfig},
                     {"CheckWtd", &F::ControlsToConfig}, {"CheckHLP", &F::ControlsToConfig},
                     {"CheckTYP", &F::ControlsToConfig}, {"RadioGroup1", &F::ControlsToConfig},
                     {"RadioGroup2", &F::ControlsToConfig}, {"RadioGroup3", &F::ControlsToConfig},
                     {kRun2.Name, &F::Button2Click}});
    BindHandlers(this, OneTimeClicks<F>());
    FillVariantTable();
    if (const auto w = ReadEmcFile(SideFile(".EMC"))) {
        ConfigWord = *w;
        ConfigToControls();
    }
}

void TEm78p156::FillVariantTable() {
    if (p447_) {
        Table = {{.Name = "Exit"},
                 {.Name = "EM78P247SA (2Kx13)", .VppPin = 34, .VccPin = 8, .GndPin = 10, .ProgramLast = 0x0FFF},
                 {.Name = "EM78P247SB (2Kx13)", .VppPin = 34, .VccPin = 8, .GndPin = 10, .ProgramLast = 0x0FFF},
                 {.Name = "EM78P447SA (4Kx13)", .VppPin = 34, .VccPin = 8, .GndPin = 10, .ProgramLast = 0x1FFF},
                 {.Name = "EM78P447SB (4Kx13)", .VppPin = 34, .VccPin = 8, .GndPin = 10, .ProgramLast = 0x1FFF}};
        return;
    }
    Table = {{.Name = "Exit"},
             {.Name = "1:EM78P156 (1Kx13)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x07FF},
             {.Name = "2:EM78P256 (2Kx13)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x0FFF},
             {.Name = "3:EM78P456 (4Kx13)", .VppPin = 15, .VccPin = 25, .GndPin = 16, .ProgramLast = 0x1FFF},
             {.Name = "4:EM78P247SA (2Kx13)", .VppPin = 34, .VccPin = 8, .GndPin = 10, .ProgramLast = 0x0FFF},
             {.Name = "5:EM78P247SB (2Kx13)", .VppPin = 34, .VccPin = 8, .GndPin = 10, .ProgramLast = 0x0FFF},
             {.Name = "6:EM78P447SA (4Kx13)", .VppPin = 34, .VccPin = 8, .GndPin = 10, .ProgramLast = 0x1FFF},
             {.Name = "7:EM78P447SB (4Kx13)", .VppPin = 34, .VccPin = 8, .GndPin = 10, .ProgramLast = 0x1FFF}};
}

void TEm78p156::SetupForDevice() {
    FillVariantTable();
    if (!SetupBegin()) return;
    Ep3.LoadBitFile(p447_ ? "em78p447.bit" : "em78p156.bit");
    ShowNewImage(row_.ProgramLast);
    Put(kType, p447_ ? row_.Name : row_.Name.substr(2));
    ControlsToConfig();
}

void TEm78p156::OnClose() {
    Shutdown();
    WriteEmcFile(SideFile(".EMC"), static_cast<std::uint16_t>(ConfigWord));
}

void TEm78p156::ControlsToConfig() {
    std::uint32_t w = 0x1FFF;
    if (ItemIndex("RadioGroup1") == 0) w &= ~(1u << 12);
    if (Checked("CheckWtd")) w &= ~(1u << 11);
    if (ItemIndex("RadioGroup2") == 0) w &= ~(1u << 10);
    if (Checked("CheckSec")) w &= ~(1u << 9);
    if (ItemIndex("RadioGroup3") == 0) w &= ~(1u << 8);
    if (p447_) {
        if (Checked("CheckHLP")) w &= ~(1u << 7);
        if (Checked("CheckTYP")) w &= ~(1u << 6);
    } else if (Checked("CheckHLP")) {
        w &= ~(1u << 6);
    }
    ConfigWord = w;
    Status("Config = " + Hex4(w));
}

void TEm78p156::ConfigToControls() {
    const std::uint32_t w = ConfigWord;
    SetEnabled(kReadConfig, false);
    ChooseByCode("RadioGroup1", (w >> 12) & 1u ? 1 : 0);
    SetByCode("CheckWtd", !((w >> 11) & 1u));
    ChooseByCode("RadioGroup2", (w >> 10) & 1u ? 1 : 0);
    SetByCode("CheckSec", !((w >> 9) & 1u));
    ChooseByCode("RadioGroup3", (w >> 8) & 1u ? 1 : 0);
    if (p447_) {
        SetByCode("CheckHLP", !((w >> 7) & 1u));
        SetByCode("CheckTYP", !((w >> 6) & 1u));
    } else {
        SetByCode("CheckHLP", !((w >> 6) & 1u));
    }
    SetEnabled(kReadConfig, true);
}

void TEm78p156::PowerLevels() {
    Ep3.SetVcc(4400);
    Ep3.SetVpp(12000);
    Ep3.GndPin(row_.GndPin);
    Ep3.VccPin(row_.VccPin);
    Ep3.SetReg29Flag(3);
    Ep3.SetReg29(5);
    Ep3.SetReg29(6);
    Ep3.SetReg29(2);
    Ep3.SetReg29(1);
}

void TEm78p156::EnterProgramMode(bool config) {
    Ep3.SetReg29Flag(5);
    Ep3.SetReg29(4);
    Ep3.SetReg29Flag(4);
    Ep3.SetReg29(2);
    Ep3.SetReg29(1);
    if (config) Ep3.SetReg29Flag(6);
    else Ep3.SetReg29(6);
    Ep3.VppPin(row_.VppPin);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.UsbPut1(OpWaitSettle);
    em78::Clock(Ep3);
    if (row_.VccPin == 8) em78::Clock(Ep3);
}

bool TEm78p156::Seated() {
    if (SupplyPinsTouch(row_.VppPin, row_.VccPin, row_.GndPin)) return true;
    StepFailed();
    return false;
}

std::uint16_t TEm78p156::ReadConfigWord(int vcc) {
    PowerLevels();
    if (vcc != 4400) {
        Ep3.SetVcc(vcc);
        Ep3.UsbPut1(OpWait100ms);
    }
    EnterProgramMode(true);
    Ep3.SetReg29(5);
    std::uint8_t w[2];
    ReadWords(1, w);
    SuppliesOff();
    return em78::ReplyWord(w);
}

void TEm78p156::BlankClick() {
    if (!ready_) return;
    Status("Blank CHK");
    if (!Seated()) return;
    if (ReadConfigWord(4400) != 0x1FFF) {
        wb.ErrorFlag() = 1;
        Status("CFG Err.！");
        return;
    }
    PowerLevels();
    EnterProgramMode(false);
    Ep3.SetReg29(5);
    std::uint8_t block[64];
    for (std::int32_t a = 0; a < row_.ProgramLast; a += 64) {
        ShowProgress(a);
        ReadWords(32, block);
        for (int k = 0; k < 32; ++k) {
            if (block[2 * k] != 0x1F || block[2 * k + 1] != 0xFF) {
                wb.ErrorFlag() = 1;
                Status("Not blank");
                SuppliesOff();
                return;
            }
        }
    }
    wb.ErrorFlag() = 0;
    ShowProgress(row_.ProgramLast);
    SuppliesOff();
    Success("OK");
}

void TEm78p156::WriteClick() {
    if (!ready_) return;
    if (!CheckCdsFile()) {
        StepFailed();
        return;
    }
    if (!NeedFileWindow()) return;
    Status("Writing..");
    if (!Seated()) return;
    PowerLevels();
    if (Ep3.CheckCurrent() == 0) {
        StepFailed();
        return;
    }
    EnterProgramMode(false);
    ProgramImage();
}

void TEm78p156::VerifyClick() {
    if (!ready_) return;
    Status("Verify.");
    if (!Seated()) return;
    const std::string volt = Text("VeriyVolt");
    ReadConfigWord(volt == "Vrfy电压3.3V" ? 3300 : volt == "Vrfy电压2.5V" ? 2500 : 4400);
    PowerLevels();
    EnterProgramMode(false);
    Ep3.SetReg29(5);
    const auto* img = wb.ImageBuffer.data();
    std::uint8_t block[64];
    for (std::int32_t a = 0; a < row_.ProgramLast; a += 64) {
        ShowProgress(a);
        ReadWords(32, block);
        for (int k = 0; k < 32; ++k) {
            if (block[2 * k] != (img[a + 2 * k + 1] & 0x1F) || block[2 * k + 1] != img[a + 2 * k]) {
                wb.ErrorFlag() = 1;
                Status("Error....");
                SuppliesOff();
                Ep3.SetVcc(4400);
                return;
            }
        }
    }
    wb.ErrorFlag() = 0;
    ShowProgress(row_.ProgramLast);
    SuppliesOff();
    Ep3.SetVcc(4400);
    Success("OK");
}

void TEm78p156::ReadToFileClick() {
    if (!ready_) return;
    Status("Read.");
    if (!Seated()) return;
    ReadConfigWord(4400);
    PowerLevels();
    EnterProgramMode(false);
    Ep3.SetReg29(5);
    auto* img = wb.ImageBuffer.data();
    for (std::int32_t a = 0; a < row_.ProgramLast; a += 64) {
        ShowProgress(a);
        ReadWords(32, img + a);
    }
    for (std::int32_t p = 0; p <= row_.ProgramLast; p += 2) std::swap(img[p], img[p + 1]);
    ShowProgress(row_.ProgramLast);
    SuppliesOff();
    Success("OK");
    wb.Display();
}

void TEm78p156::RdConfigClick() {
    if (!ready_) return;
    Status("Read CFG...");
    if (!Seated()) return;
    ConfigWord = ReadConfigWord(4400);
    ConfigToControls();
    char b[32];
    std::snprintf(b, sizeof b, "Config =%04x", static_cast<unsigned>(ConfigWord & 0xFFFF));
    Success(b);
}

void TEm78p156::WtConfigClick() {
    if (!ready_) return;
    ControlsToConfig();
    ShowProgress(0);
    Status("Wrt.CFG.");
    if (!Seated()) return;
    PowerLevels();
    EnterProgramMode(true);
    Ep3.SetReg29Flag(5);
    ConfigWord &= 0x1FFF;
    em78::ShiftOutWord(Ep3, ConfigWord);
    SuppliesOff();
    ConfigToControls();
    Success("End.");
}

void TEm78p156::Button2Click() {
    RunBatch(OneTimeSteps(*this),
             nullptr, false);
}

QUILLA_FORM(TEm78p156);
QUILLA_FORM(TEm78p447);

}  // namespace quilla
