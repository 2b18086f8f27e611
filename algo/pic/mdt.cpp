#include "algo/pic/mdt.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "algo/common/sidefile.h"
#include "algo/pic/mdt_convert.h"
#include "app/binfile.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kOscValues[4] = {9, 6, 5, 10};   // LP, XT, HS, RC
constexpr int kOstValues[4] = {10, 9, 6, 5};   // 150 us, 20 ms, 40 ms, 80 ms

int ValueOf(const int (&values)[4], int item) { return item >= 0 && item < 4 ? values[item] : 15; }
int ItemOf(const int (&values)[4], unsigned v) {
    for (int i = 0; i < 4; ++i)
        if (static_cast<unsigned>(values[i]) == v) return i;
    return -1;
}

// The rows of the parts with VCC on socket pin 25 and with VCC on pin 8,
// their names and sizes left out.
const MdtRow kVcc25{.VppPin = 15, .VccPin = 25, .GndPin = 16, .VppMv = 12000, .ProgramStrobe = 28, .HalfSelect = 29,
                    .ReadStrobe = 12, .Clock = 27, .Clock2 = 26, .Reset = 15};
const MdtRow kVcc8{.VppPin = 34, .VccPin = 8, .GndPin = 10, .VppMv = 12000, .ProgramStrobe = 12, .HalfSelect = 13,
                   .ReadStrobe = 14, .Clock = 33, .Clock2 = 32, .Reset = 34};

MdtRow Part(MdtRow pins, const char* name, std::int32_t last) {
    pins.Name = name;
    pins.ProgramLast = last;
    return pins;
}

}  // namespace

TMdt20xx::TMdt20xx(Workbench& w, bool m2051)
    : PicForm(w, m2051 ? "MDT2051" : "MDT2005-2020", picvariant::P16c8x), m2051_(m2051) {
    if (const char* c = std::getenv("QUILLA_MDT_OBJ_CONVERTER")) ObjConverter = c;
    using namespace picwin;
    using namespace win;
    using F = TMdt20xx;
    DeclareControls(
        Join({ReadFirstButtons(),
              {PushButton(kReadCfg), PushButton(kWrtCfg), PushButton(kExit), UserIdField(),
               Group({"GroupBox1", m2051 ? "Int CFG   " : "其他CFG 位"})},
              In("GroupBox1", {Box({"CheckBox1", "Lock Bit   "}), Box({"CheckBox2", "WTD        "}, true),
                               Box({"CheckBox3", "PED          "}), If(m2051, Box({"CheckBox4", "PRD"})),
                               If(m2051, Box({"CheckBox5", "PUT"}))}),
              {Radio({"RadioGroup1", "OSC Mode    (OSC)"}, OscItems(), 1),
               If(!m2051, Radio({"RadioGroup2", "OST            "}, {"150  uS", "20   mS", "40   mS", "80   mS"}, 0)),
               Combo({"Speed"}, {"Speed   4mS", "Speed   6mS", "Speed   8mS"}, 0)},
              Batch({{kBlankBox}, {kWriteBox}, {kVerifyBox, m2051}, {kWrtCfgBox}}, kRun2),
              {StatusField("Prompt  "), TypeField("Type"), AddressField("Add ", true), ProgressBar()}}),
        this,
        {{kReadCfg.Name, &F::RdConfigClick}, {kWrtCfg.Name, &F::WtConfigClick}, {kExit.Name, &F::Close},
         {"CheckBox1", &F::ConfigClick}, {"CheckBox2", &F::ConfigClick}, {"CheckBox3", &F::ConfigClick},
         {"RadioGroup1", &F::ConfigClick}, {"RadioGroup2", &F::ConfigClick}, {kRun2.Name, &F::Button2Click}});
    BindHandlers(this, ReadFirstClicks<F>());
    FillVariantTable();
    ReadSideFile();
}

void TMdt20xx::FillVariantTable() {
    const MdtRow exit{.Name = "Exit", .VppPin = 15, .GndPin = 16};
    if (m2051_) {
        Table = {exit, Part(kVcc25, "1: MDT2051   (1Kx14)", 0x7FF)};
        return;
    }
    Table = {exit, Part(kVcc25, "1: MDT2005   (512x14)", 0x3FF), Part(kVcc25, "2: MDT2010   (1Kx14)", 0x7FF),
             Part(kVcc8, "3: MDT2015   (512x14)", 0x3FF), Part(kVcc8, "4: MDT2020   (2Kx14)", 0xFFF)};
}

std::string TMdt20xx::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 1 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of " + (m2051_ ? "MDT2051" : "MDT2000") +
               " is not in the device table";
    return {};
}

// ---- side file ----------------------------------------------------------------------------------

void TMdt20xx::ReadSideFile() {
    std::vector<std::uint8_t> b;
    const std::string path = SideFile(".MDT");
    if (path.empty() || !ReadTextModeFile(path, b)) return;
    auto item = [&](std::size_t i, int last) { return std::clamp(static_cast<int>(b[i]) - '0', -1, last); };
    if (b.size() > 0) Get("CheckBox1").Checked = b[0] != '0';
    if (b.size() > 1) Get("CheckBox2").Checked = b[1] != '0';
    if (b.size() > 3) Get("RadioGroup1").ItemIndex = item(3, 3);
    if (!m2051_ && b.size() > 4) Get("RadioGroup2").ItemIndex = item(4, 3);
}

void TMdt20xx::WriteSideFile() {
    const std::string path = SideFile(".MDT");
    if (path.empty()) return;
    std::vector<std::uint8_t> b;
    b.push_back(Checked("CheckBox1") ? '1' : '0');
    b.push_back(Checked("CheckBox2") ? '1' : '0');
    b.push_back(Checked("CheckBox2") ? '1' : '0');
    b.push_back(static_cast<std::uint8_t>('0' + ItemIndex("RadioGroup1")));
    if (!m2051_) b.push_back(static_cast<std::uint8_t>('0' + ItemIndex("RadioGroup2")));
    const std::string id = Text(kUserId);
    for (std::size_t k = 0; k < 4 && k < id.size(); ++k) b.push_back(static_cast<std::uint8_t>(id[k]));
    WriteTextModeFile(path, b);
}

void TMdt20xx::OnClose() {
    Ep3.PowerOff();
    WriteSideFile();
}

// ---- configuration --------------------------------------------------------------------------------

void TMdt20xx::ControlsToConfig() {
    std::uint32_t w = static_cast<std::uint32_t>(ValueOf(kOscValues, ItemIndex("RadioGroup1")));
    if (m2051_) {
        w |= (Checked("CheckBox4") ? 1u : 2u) << 4;
        w |= (Checked("CheckBox5") ? 1u : 2u) << 6;
    } else {
        w |= static_cast<std::uint32_t>(ValueOf(kOstValues, ItemIndex("RadioGroup2"))) << 4;
    }
    w |= (Checked("CheckBox2") ? 2u : 1u) << 8;
    w |= (Checked("CheckBox3") ? 2u : 1u) << 10;
    w |= (Checked("CheckBox1") ? 1u : 2u) << 12;
    ConfigWord = w;
    Status("Config = " + Hex4(w));
}

void TMdt20xx::ConfigToControls() {
    const std::uint32_t w = ConfigWord;
    SetEnabled(kReadConfig, false);
    ChooseByCode("RadioGroup1", ItemOf(kOscValues, w & 0xF));
    if (m2051_) {
        SetByCode("CheckBox4", ((w >> 4) & 3u) == 1u);
        SetByCode("CheckBox5", ((w >> 6) & 3u) == 1u);
    } else {
        ChooseByCode("RadioGroup2", ItemOf(kOstValues, (w >> 4) & 0xF));
    }
    SetByCode("CheckBox2", ((w >> 8) & 3u) == 2u);
    SetByCode("CheckBox3", ((w >> 10) & 3u) == 2u);
    SetByCode("CheckBox1", ((w >> 12) & 3u) == 1u);
    SetEnabled(kReadConfig, true);
}

// ---- pins and words ---------------------------------------------------------------------------------

void TMdt20xx::Line(int pin, bool high) {
    if (high) Ep3.ControlLineHigh(pin);
    else Ep3.ControlLineLow(pin);
}

void TMdt20xx::PutData(int v) {
    if (row_.VccPin == 25) Ep3.WriteLatch(0, v & 0xFF);
    else if (row_.VccPin == 8) Ep3.WriteLatch(1, v & 0xFF);
}

void TMdt20xx::Sample() {
    if (row_.VccPin == 25) Ep3.UsbPut1(OpCapturePort0);
    else if (row_.VccPin == 8) Ep3.UsbPut1(OpCapturePort1);
}

void TMdt20xx::SetData(int v) {
    AllLines(false);
    PutData(v);
}

void TMdt20xx::Clock(int n) {
    for (int k = 0; k < n; ++k) {
        Line(row_.Clock, true);
        Line(row_.Clock, false);
    }
}

void TMdt20xx::VppOn() {
    Ep3.VppPin(row_.VppPin);
    if (!m2051_) Clock(4);
}

void TMdt20xx::EnterProgramMode() {
    AllLines(false);
    Line(row_.ProgramStrobe, true);
    Line(row_.ReadStrobe, true);
    Line(row_.HalfSelect, false);
    Ep3.VccPin(row_.VccPin);
    Line(row_.Reset, false);
    Line(row_.Reset, true);
}

void TMdt20xx::Preamble(bool config, bool reading) {
    EnterProgramMode();
    SetData(config ? 1 : 0);
    VppOn();
    AllLines(reading);
}

void TMdt20xx::ProgramDelay() {
    const std::string s = Text("Speed");
    const int n = s == "Speed   6mS" ? 6 : s == "Speed   8mS" ? 8 : 4;
    for (int k = 0; k < n; ++k) Ep3.UsbPut1(OpWait1ms);
}

void TMdt20xx::ProgramWord(std::uint32_t w) {
    AllLines(false);
    Line(row_.HalfSelect, false);
    PutData(static_cast<int>(w & 0x7F));
    Clock(4);
    Line(row_.ProgramStrobe, false);
    ProgramDelay();
    Line(row_.ProgramStrobe, true);
    Line(row_.HalfSelect, true);
    PutData(static_cast<int>((w >> 7) & 0xFF));
    Line(row_.ProgramStrobe, false);
    ProgramDelay();
    Line(row_.ProgramStrobe, true);
}

void TMdt20xx::ReadWord() {
    Line(row_.HalfSelect, false);
    Clock(4);
    Line(row_.ReadStrobe, false);
    Sample();
    Line(row_.ReadStrobe, true);
    Line(row_.HalfSelect, true);
    Line(row_.ReadStrobe, false);
    Sample();
    Line(row_.ReadStrobe, true);
}

void TMdt20xx::QueueBlock() {
    for (int k = 0; k < 32; ++k) ReadWord();
}

void TMdt20xx::SuppliesOff() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

bool TMdt20xx::Seated() {
    if (SupplyPinsTouch(row_.VppPin, row_.VccPin, row_.GndPin)) return true;
    StepFailed();
    return false;
}

// ---- conversion ----------------------------------------------------------------------------------------

int TMdt20xx::ConvertToBin() {
    const std::string name = wb.DataFileName;
    const std::string ext = mdt::UpperExtension(name);
    if (ext == ".BIN") return 1;
    const std::string bin = mdt::WithExtension(name, ".BIN");
    bool ok = false;
    if (ext == ".OBJ") {
        if (!wb.prompts.AskYesNo("Need convert from \"*.obj\" file to .Bin .\n\n Convert \"*.HEX\" to bin \".BIN\"????"))
            return 0;
        ok = mdt::RunConverter(ObjConverter, {name, bin}, bin);
    } else if (ext == ".HEX") {
        if (!wb.prompts.AskYesNo("Need convert from \"*.hex\" file to .Bin .\n\n Convert \"*.HEX\" to bin \".BIN\"????"))
            return 0;
        ok = mdt::HexToBin(name, bin);
    } else {
        return 0;  // nothing to convert from: image and data file stay
    }
    if (!ok) {
        wb.prompts.ShowMessage("File convert failed............");
        return 0;
    }
    wb.prompts.ShowMessage("Convert to bin OK. .................");
    wb.DataFileName = bin;
    LoadBin(wb, 0, 0);
    return 0;
}

// ---- setup and operations --------------------------------------------------------------------------------

void TMdt20xx::SetupForDevice() {
    ready_ = false;
    FillVariantTable();
    if (!AcceptDeviceLine()) return;
    row_ = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.LoadBitFile("mdt2000.bit");
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    ConvertToBin();
    wb.FileNew();
    AlgoForm::Show();
    if (wb.FileWin) wb.FileWin->EndAddr = row_.ProgramLast;
    wb.Display();
    SetCaption(row_.Name);
    Put(kType, wb.sel.SelectedDevice);
    Ep3.GndPin(row_.GndPin);
    Ep3.SetVpp(12000);
    Ep3.SetVcc(4400);
    ready_ = true;
}

void TMdt20xx::ReadToFileClick() {
    if (!ready_) return;
    Status("Reading..");
    if (!Seated()) return;
    Preamble(false, true);
    ReadWords7(row_.ProgramLast, [this] { QueueBlock(); });
    SuppliesOff();
    Success("OK");
    wb.DataFileName = mdt::WithExtension(wb.DataFileName, ".BIN");
    wb.Display();
}

void TMdt20xx::BlankClick() {
    if (!ready_) return;
    Status("Blank CHK");
    if (!Seated()) return;
    Preamble(true, true);
    ReadWord();
    Ep3.UsbReadReply();
    SuppliesOff();
    if ((Ep3.UsbReplyBuf[0] & 0x7F) != 0x7F) {
        Status("CFG bit not blank!!!!!");
        wb.ErrorFlag() = 1;
        return;
    }
    Preamble(false, true);
    const bool blank = SameWords7(row_.ProgramLast, nullptr, "Not BLK.", [this] { QueueBlock(); });
    SuppliesOff();
    if (blank) Success("OK");
}

void TMdt20xx::VerifyClick() {
    if (!ready_) return;
    Status("Verify.");
    if (!Seated()) return;
    Preamble(false, true);
    const bool same = SameWords7(row_.ProgramLast, wb.ImageBuffer.data(), "Error....", [this] { QueueBlock(); });
    SuppliesOff();
    Ep3.SetVcc(4400);
    if (same) Success("OK");
}

void TMdt20xx::WriteClick() {
    if (!ready_) return;
    if (ConvertToBin() == 0) {
        StepFailed();
        return;
    }
    if (!NeedFileWindow()) return;
    Status("Writing..");
    if (!Seated()) return;
    Preamble(false, false);
    const auto* img = wb.ImageBuffer.data();
    std::int32_t addr = 0;
    for (; addr <= row_.ProgramLast; addr += 2) {
        if (addr % 64 == 0) {
            Ep3.UsbFlush();
            ShowProgress(addr);
        }
        ProgramWord(static_cast<std::uint32_t>(img[addr] | (img[addr + 1] << 8)));
    }
    wb.ErrorFlag() = 0;
    ShowProgress(addr - 1);
    SuppliesOff();
    Success("OK");
}

void TMdt20xx::RdConfigClick() {
    if (!ready_) return;
    Status("Read CFG...");
    if (!Seated()) return;
    Preamble(true, true);
    ReadWord();
    Ep3.UsbReadReply();
    ConfigWord = static_cast<std::uint32_t>((Ep3.UsbReplyBuf[1] << 7) | Ep3.UsbReplyBuf[0]);
    ConfigToControls();
    SuppliesOff();
    Success("Config = " + Hex4(ConfigWord));
}

void TMdt20xx::WtConfigClick() {
    if (!ready_) return;
    if (ConvertToBin() == 0) {
        StepFailed();
        return;
    }
    ControlsToConfig();
    ShowProgress(0);
    Status("Wrt.CFG.");
    if (!Seated()) return;
    Preamble(true, false);
    ProgramWord(ConfigWord);
    ConfigToControls();
    SuppliesOff();
    Success("OK");
}

void TMdt20xx::Button2Click() {
    RunBatch(OneTimeSteps(*this),
             nullptr, false);
}

QUILLA_FORM(TMdt20xx);
QUILLA_FORM(TMdt2051x);

}  // namespace quilla
