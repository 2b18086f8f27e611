#include "algo/pic/pic18.h"

#include <cstdio>

#include "algo/common/scan.h"
#include "algo/common/sidefile.h"
#include "app/hexfile.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using namespace pic18;

namespace {

constexpr int kEepromImage = 0x4000;
constexpr int kMaxProgram = 0x200000;  // the PIC18 program space
constexpr int kMaxEeprom = 1024;

struct Package {
    int pkg = 0;
    const char* picture = nullptr;
    const char* design = nullptr;
    int vpp = 0, vcc = 0, gnd = 0;
    std::uint32_t lo = 0, hi = 0;
};
constexpr Package kPackages[] = {
    {.pkg = 44, .picture = "p44b.bmp", .design = "pic18plcc44.bit", .vpp = 22, .vcc = 11, .gnd = 10, .lo = 0x248600},
    {.pkg = 45, .picture = "qfp44.bmp", .design = "pic18qfp44.bit", .vpp = 22, .vcc = 11, .gnd = 10, .lo = 0x290600},
    {.pkg = 40, .design = "pic18dip40.bit", .vpp = 1, .vcc = 32, .gnd = 31, .lo = 0xFFFFFFFF, .hi = 0x7F},
    {.pkg = 28, .design = "pic18dip28.bit", .vpp = 7, .vcc = 26, .gnd = 25, .lo = 0xFFFFFFC0, .hi = 0x1},
    {.pkg = 29, .design = "pic18f2331dip28.bit", .vpp = 7, .vcc = 26, .gnd = 25},
    {.pkg = 18, .design = "pic18dip18.bit", .vpp = 15, .vcc = 25, .gnd = 16},
};

const Package* FindPackage(int pkg) {
    for (const auto& p : kPackages)
        if (p.pkg == pkg) return &p;
    return nullptr;
}

// The one-time form's contact masks by pm=.
constexpr std::uint32_t kPmMasks[9][2] = {{0, 0},          {0xFFFFFFC0, 0x1}, {0xFFFFFFFF, 0x7F},
                                          {0xFFE77FF7, 0xBEF}, {0, 0},        {0, 0},
                                          {0, 0},          {0, 0},          {0, 0}};

std::string GridRowName(int byte, int bit) {
    char b[32];
    std::snprintf(b, sizeof b, "%06x b%d", static_cast<unsigned>(ConfigBytes + static_cast<unsigned>(byte)), bit);
    return b;
}

}  // namespace

// ---- the shared frame --------------------------------------------------------------------------------

Pic18Form::Pic18Form(Workbench& w, std::string caption, const C48Form& c48, bool otp)
    : PicForm(w, std::move(caption), picvariant::P16cxxx1), Layer(w.Ep3), otp_(otp), c48_(c48) {
    ConfigBuffer.fill(0xFF);
}

ControlRows Pic18Form::CommonControls() {
    using namespace picwin;
    std::vector<std::string> names;
    for (int r = 0; r < 16; ++r)
        for (int b = 7; b >= 0; --b) names.push_back(GridRowName(r, b));
    const std::vector<std::string> cells(names.size(), "");
    return win::Join({{win::Grid({kGrid, "CFG ：(用鼠标点击设置0/1)"}, std::move(names), cells)},
                      ReadFirstButtons(),
                      {win::PushButton(kRdCfg), win::PushButton(kWrCfg)}});
}

ControlRows Pic18Form::FootFields() {
    using namespace picwin;
    return {TypeField(""), AddressField("", false), StatusField(""), ProgressBar()};
}

// The .c48 of this form (a missing byte reads as FFh) shows in the grid at
// once, so Wr.CFG programs what the file holds.
void Pic18Form::FillVariantTable() {
    Table[0] = pic18::Row{};
    Table[0].Name = "all";
}

std::string Pic18Form::DeviceLineError() const {
    const Selection& s = wb.sel;
    const int v = s.VariantIndex;
    if (v < 0 || v >= kRows) return VariantNotInTable();
    const int fla = s.GetParam("fla=");
    if (fla < 2 || fla > kMaxProgram || fla % 2 != 0)
        return "Bad device line: fla=" + std::to_string(fla) + " (2 to 2097152 bytes, even)";
    if (!otp_) {
        const int ee = s.GetParam("ee=");
        if (ee < 0 || ee > kMaxEeprom) return "Bad device line: ee=" + std::to_string(ee) + " (0 to 1024 bytes)";
    }
    const int pkg = s.GetParam("pkg=");
    const bool known = FindPackage(pkg) != nullptr;
    if (!known && Table[static_cast<std::size_t>(v)].VccPin == 0)
        return "Bad device line: pkg=" + std::to_string(pkg) + " names no package for variant " + std::to_string(v);
    return {};
}

const pic18::Row& Pic18Form::Row() {
    RefuseUnlessReady(ready_);
    return row_;
}

bool Pic18Form::CheckContact() {
    const pic18::Row& r = Row();
    std::uint32_t lo = r.MaskLo, hi = r.MaskHi;
    if (lo == 0 && hi == 0) {
        for (int p : {r.VppPin, r.VccPin, r.GndPin}) {
            if (p >= 1 && p <= 32) lo |= 1u << (p - 1);
            else if (p >= 33 && p <= 48) hi |= 1u << (p - 33);
        }
    }
    if (Ep3.CheckPinContact(r.GndPin, 0, lo, hi, 0) != 0) return true;
    StepFailed();
    return false;
}

void Pic18Form::SetupCommon() {
    const Selection& s = wb.sel;
    pic18::Row& r = Table[static_cast<std::size_t>(s.VariantIndex)];
    r.ProgramLast = s.GetParam("fla=") - 1;
    r.Hold = s.GetParam("dly=");
    if (!otp_) r.EepromWait = s.GetParam("eet=");
    SetupPackage();
    row_ = r;
}

bool Pic18Form::SetupStart() {
    ready_ = false;
    FillVariantTable();
    if (!AcceptDeviceLine()) return false;
    wb.FileNew();
    AlgoForm::Show();
    return true;
}

bool Pic18Form::SeatPackage(pic18::Row& r, int pkg) {
    if (pkg == 0) {
        Status("Bad Package! ");
        wb.prompts.ShowMsg("Bad Package! ");
        return false;
    }
    const Package* p = FindPackage(pkg);
    if (!p) return false;
    if (p->picture) Ep3.ShowPlacementBitmap(p->picture);
    Ep3.LoadBitFile(p->design);
    r.VppPin = p->vpp;
    r.VccPin = p->vcc;
    r.GndPin = p->gnd;
    return true;
}

void Pic18Form::SetupEnd() {
    wb.Display();
    AlgoForm::Show();
    Put(kType, wb.sel.SelectedDevice);
    Ep3.GndPin(row_.GndPin);
    const int vcc = wb.sel.GetParam("vcc=");
    Ep3.SetVcc(vcc != 0 ? vcc : 5000);
    Ep3.SetVpp(12000);
    ready_ = true;
}

void Pic18Form::ConfigToControls() {
    for (int r = 0; r < 16; ++r)
        for (int b = 7; b >= 0; --b)
            PutCell(kGrid, GridRow(r, b), ((ConfigBuffer[static_cast<std::size_t>(r)] >> b) & 1u) ? "1" : "0");
}

void Pic18Form::ControlsToConfig() {
    const auto& cells = Get(kGrid).Items;
    for (int r = 0; r < 16; ++r) {
        unsigned v = 0;
        for (int b = 7; b >= 0; --b)
            if (cells[static_cast<std::size_t>(GridRow(r, b))] != "0") v |= 1u << b;
        ConfigBuffer[static_cast<std::size_t>(r)] = static_cast<std::uint8_t>(v);
    }
}

void Pic18Form::GridToConfigNamingTheFile() {
    ControlsToConfig();
    const HexConfigBytes& file = wb.LoadedConfig;
    bool differs = false;
    std::string fileText, gridText;
    for (int i = 0; i < HexConfigCount; ++i) {
        const std::uint8_t grid = ConfigBuffer[static_cast<std::size_t>(i)];
        differs = differs || (file.Has(i) && file.Value[static_cast<std::size_t>(i)] != grid);
        fileText += (i ? "," : "") + (file.Has(i) ? Hex2(file.Value[static_cast<std::size_t>(i)]) : std::string("--"));
        gridText += (i ? "," : "") + Hex2(grid);
    }
    if (differs)
        SayOncePerRun("The file's configuration bytes (300000h-30000Dh) " + fileText + " differ from the grid's " +
                      gridText + ": the grid's bytes are programmed");
}

void Pic18Form::StringGrid1Click() {
    const int row = ItemIndex(kGrid);
    if (row < 0 || row >= 128) return;
    const std::string& cell = Get(kGrid).Items[static_cast<std::size_t>(row)];
    PutCell(kGrid, row, cell == "0" ? "1" : "0");
}

void Pic18Form::CheckBlocks(const char* status, const std::uint8_t* image, const char* fail,
                            const std::function<std::int32_t()>& more) {
    const pic18::Row& r = Row();
    if (!CheckFirst()) return;
    Status(status);
    Enter();
    Layer.SetTablePointer(0);
    Ep3.ControlLineLow(3);
    std::uint8_t block[64];
    for (std::int32_t a = 0; a < r.ProgramLast; a += 64) {
        ShowProgress(a, r.ProgramLast);
        for (int k = 0; k < 64; ++k) Layer.SendCommand4(TableReadPostInc);
        Ep3.UsbReadReply(block);
        for (int j = 0; j < 64; ++j) {
            const std::uint8_t want = image ? image[a + j] : 0xFF;
            if (block[j] != want) {
                Status(fail);
                ShowProgress(a + j, r.ProgramLast);
                wb.ErrorFlag() = 1;
                StepFailed();
                Off();
                Ep3.UsbFlush();
                return;
            }
        }
    }
    if (more) {
        if (const std::int32_t bad = more(); bad >= 0) {
            Status(fail);
            ShowAddress(kAddress, bad);
            wb.ErrorFlag() = 1;
            StepFailed();
            Off();
            Ep3.UsbFlush();
            return;
        }
    }
    Off();
    if (image) ShowProgress(r.ProgramLast, r.ProgramLast);
    Success("OK");
}

void Pic18Form::BlankClick() { CheckBlocks("Blank CHK", nullptr, "No!!!"); }

void Pic18Form::VerifyClick() { CheckBlocks("Verify.", wb.ImageBuffer.data(), "Error...."); }

void Pic18Form::ReadToFileClick() {
    const pic18::Row& r = Row();
    if (!CheckFirst()) return;
    Status("读code(Code)...");
    Enter();
    Layer.SetTablePointer(0);
    Ep3.ControlLineLow(3);
    for (std::int32_t a = 0; a <= r.ProgramLast; a += 64) {
        ShowProgress(a, r.ProgramLast);
        for (int k = 0; k < 64; ++k) Layer.SendCommand4(TableReadPostInc);
        Ep3.UsbReadReply(wb.ImageBuffer.data() + a);
    }
    ShowProgress(r.ProgramLast, r.ProgramLast);
    Off();
    Success("OK");
    if (wb.FileWin && wb.FileWin->ViewStart >= kEepromImage) wb.FileWin->ViewStart = 0;
    wb.Display();
    AlgoForm::Show();
}

void Pic18Form::RdConfigClick() {
    Row();
    if (!CheckFirst()) return;
    Enter();
    Layer.SetTablePointer(ConfigBytes);
    Ep3.ControlLineLow(3);
    for (int k = 0; k < 16; ++k) Layer.SendCommand4(TableReadPostInc);
    if (!otp_) {
        Layer.SetTablePointer(IdLocations);
        Ep3.ControlLineLow(3);
        for (int k = 0; k < 8; ++k) Layer.SendCommand4(TableReadPostInc);
    }
    std::uint8_t reply[64];
    Ep3.UsbReadReply(reply);
    Off();
    Ep3.UsbFlush();
    for (int k = 0; k < (otp_ ? 16 : 24); ++k) ConfigBuffer[static_cast<std::size_t>(k)] = reply[k];
    ConfigToControls();
    std::string text;
    for (int k = 0; k < 16; ++k) text += Hex2(ConfigBuffer[static_cast<std::size_t>(k)]) + ",";
    Status(text);
    if (otp_) return;
    std::string id;
    for (int k = 16; k < 24; ++k) {
        std::uint8_t& c = ConfigBuffer[static_cast<std::size_t>(k)];
        if (c < 0x21 || c > 0x7F) c = '.';
        id += static_cast<char>(c);
    }
    Put(kUserId, id);
}

// The grid as it stands goes into the .c48 file.
void Pic18Form::OnClose() {
    Ep3.PowerOff();
    ControlsToConfig();
    WriteC48(SideFile(C48Extension), c48_, std::span<const std::uint8_t>(ConfigBuffer.data(), 16));
}

// ---- TP18fxx2 ----------------------------------------------------------------------------------------------

TP18fxx2::TP18fxx2(Workbench& w) : Pic18Form(w, "P18fxx2", C48P18fxx2, false) {
    using namespace picwin;
    using namespace win;
    using F = TP18fxx2;
    DeclareControls(
        Join({{Edit({kUserId, "用户ID(ASC2码):"}, "")},
              CommonControls(),
              {PushButton(kErase), PushButton(kRdData), PushButton(kWrData), PushButton({"ID", "Device ID"}),
               Radio({"RadioGroup2", "Erasing "},
                     {"Chip(All )", "EEPROM", "BOOT ", "Panel1", "Panel2", "Panel3", "Panel4"}, 0)},
              Batch({{kEraseBox}, {kBlankBox}, {kWriteBox}, {kVerifyBox}, {kDataBox}, {kWrtCfgBox}}, kRun1),
              FootFields()}),
        this,
        {{kErase.Name, &F::EraseClick}, {kRdData.Name, &F::RdDataClick}, {kWrData.Name, &F::WrDataClick},
         {"ID", &F::IDClick}, {"RadioGroup2", &F::Radio1Click}, {kRun1.Name, &F::Button1Click}});
    BindHandlers(this, CommonClicks<F>());
    FillVariantTable();
    if (auto s = ReadC48(SideFile(C48Extension), C48P18fxx2)) {
        for (int i = 0; i < 16; ++i) ConfigBuffer[static_cast<std::size_t>(i)] = (*s)[static_cast<std::size_t>(i)].value_or(0xFF);
        ConfigToControls();
    }
}

void TP18fxx2::SetupPackage() {
    pic18::Row& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    const int pkg = wb.sel.GetParam("pkg=");
    if (!SeatPackage(r, pkg)) return;
    const Package* p = FindPackage(pkg);
    r.MaskLo = p->lo;
    r.MaskHi = p->hi;
}

void TP18fxx2::SetupForDevice() {
    if (!SetupStart()) return;
    const Selection& s = wb.sel;
    const int ee = s.GetParam("ee=");
    const int fla = s.GetParam("fla=");
    Table[static_cast<std::size_t>(s.VariantIndex)].EepromLast = ee - 1;
    // EEPROM byte i lives at 4000h + i while program memory stays below it;
    // where program memory reaches 4000h, at 0F0000h + i (where a toolchain's
    // F00000h records load), above every PIC18 program memory.
    eeImage_ = fla > kEepromImage ? HexEepromImage : kEepromImage;
    SetEnabled("RadioGroup2", ee != 0);
    SetEnabled("RdData", ee != 0);
    SetEnabled("WrData", ee != 0);
    SetEnabled("CheckBoxrWrData", ee != 0);
    PutChecked("CheckBoxrWrData", ee != 0);
    SetupCommon();
    char sum[16];
    std::snprintf(sum, sizeof sum, "%08x", wb.FileWin ? wb.FileWin->BufferChecksum : 0u);
    Put(kUserId, sum);
    Ep3.VppPin(0);
    if (!Ep3.Connected) Status("Comm Err.");
    else if (s.GetParam("pkg=") != 0) Status("");
    SetupEnd();
}

bool TP18fxx2::ReadId() {
    Enter();
    if (!Ep3.CheckCurrent()) return false;
    Layer.SetTablePointer(DeviceId);
    Ep3.ControlLineLow(3);
    Layer.SendCommand4(TableReadPostInc);
    Layer.SendCommand4(TableReadPostInc);
    std::uint8_t reply[64];
    Ep3.UsbReadReply(reply);
    Off();
    Ep3.UsbFlush();
    wb.sel.LastReadId[0] = reply[0];
    wb.sel.LastReadId[1] = reply[1];
    Status("Device ID: " + Hex2(reply[0]) + "," + Hex2(reply[1]));
    return true;
}

void TP18fxx2::IDClick() {
    Row();
    if (!ReadId()) StepFailed();
}

int TP18fxx2::ReadIdForSelfCheck() {
    if (!ready_ || !ReadId()) return 0;
    return 2;
}

// A failed current check in the ID read stops the operation.
bool TP18fxx2::CheckDeviceId() {
    if (!CheckContact()) return false;
    if (!ReadId()) {
        StepFailed();
        return false;
    }
    const auto& id = wb.sel.LastReadId;
    const auto& want = wb.sel.ExpectedId;
    if (want[0] <= 1) return true;
    if ((id[0] & 0xE0) == want[0] && id[1] == want[1]) return true;
    if (wb.prompts.AskYesNo("Wrong type, OK ??")) return true;
    wb.ErrorFlag() = 1;
    StepFailed();
    return false;
}

std::array<std::uint8_t, 8> TP18fxx2::IdBytes() const {
    std::array<std::uint8_t, 8> id;
    id.fill(0xFF);
    const std::string& t = Get(kUserId).Text;
    for (std::size_t k = 0; k < 8 && k < t.size(); ++k) id[k] = static_cast<std::uint8_t>(t[k]);
    return id;
}

// Write runs the contact test first (an empty socket would take the panels
// and report "OK").
void TP18fxx2::WriteClick() {
    const pic18::Row& r = Row();
    if (!CheckContact()) return;
    Status("写code(code)...");
    Enter();
    if (!Ep3.CheckCurrent()) {
        StepFailed();
        return;
    }
    Layer.SetSinglePanelWrites(true);
    Ep3.UsbFlush();
    const std::uint8_t* img = wb.ImageBuffer.data();
    for (std::int32_t a = 0; a <= r.ProgramLast; a += 8) {
        Layer.SetTablePointer(static_cast<std::uint32_t>(a));
        Layer.SendCommand16(TableWritePostInc2, img[a + 1], img[a]);
        Layer.SendCommand16(TableWritePostInc2, img[a + 3], img[a + 2]);
        Layer.SendCommand16(TableWritePostInc2, img[a + 5], img[a + 4]);
        Layer.SendCommand16(TableWriteStartProgramming, img[a + 7], img[a + 6]);
        Layer.ProgramPulse(r.Hold);
        if ((a & 0xFF) == 0) {
            ShowProgress(a, r.ProgramLast);
            Ep3.UsbFlush();
        }
    }
    ShowProgress(r.ProgramLast, r.ProgramLast);
    Off();
    Success("OK");
}

void TP18fxx2::EraseClick() {
    static constexpr std::uint8_t kCodes[7] = {0x80, 0x81, 0x83, 0x88, 0x89, 0x8A, 0x8B};
    Row();
    if (!CheckDeviceId()) return;
    int item = ItemIndex("RadioGroup2");
    if (item < 0 || item > 6) item = 0;
    Enter();
    Ep3.ControlLineHigh(3);
    Layer.SetTablePointer(EraseControl);
    Layer.SendCommand16(TableWrite, 0x00, kCodes[item]);
    Layer.Core(0x0000);
    Layer.Core(0x0000);
    Ep3.UsbPut1(OpWait100ms);
    Off();
    Success("Erase OK");
}

// A fault in the ID write still lets the configuration write follow, but the
// operation then ends failed (no "OK").
void TP18fxx2::WtConfigClick() {
    const pic18::Row& r = Row();
    if (!CheckDeviceId()) return;
    Status("Wrt. CFG.");
    GridToConfigNamingTheFile();
    bool idFailed = false;
    Enter();
    if (Ep3.CheckCurrent()) {
        Ep3.ControlLineHigh(3);
        Layer.SetSinglePanelWrites(false);
        Layer.SetTablePointer(IdLocations);
        const auto id = IdBytes();
        Layer.SendCommand16(TableWritePostInc2, id[1], id[0]);
        Layer.SendCommand16(TableWritePostInc2, id[3], id[2]);
        Layer.SendCommand16(TableWritePostInc2, id[5], id[4]);
        Layer.SendCommand16(TableWriteStartProgramming, id[7], id[6]);
        Layer.ProgramPulse(r.Hold);
        Off();
    } else {
        idFailed = true;
    }
    Enter();
    if (!Ep3.CheckCurrent()) {
        StepFailed();
        return;
    }
    Ep3.ControlLineHigh(3);
    Layer.Core(0x8EA6);
    Layer.Core(0x8CA6);
    Layer.Core(0xEF00);  // GOTO 100000h
    Layer.Core(0xF800);
    Layer.SetTablePointer(ConfigBytes);
    ControlsToConfig();
    for (int i = 0; i <= 12; i += 2) {
        Layer.SetTablePointer(ConfigBytes + static_cast<std::uint32_t>(i));
        Layer.SendCommand16(TableWriteStartProgramming, 0xFF, ConfigBuffer[static_cast<std::size_t>(i)]);
        Layer.ProgramPulse(r.Hold);
        Layer.Core(0x2AF6);  // INCF TBLPTRL
        Layer.SendCommand16(TableWriteStartProgramming, ConfigBuffer[static_cast<std::size_t>(i + 1)], 0xFF);
        Layer.ProgramPulse(r.Hold);
    }
    Off();
    if (idFailed) {
        wb.ErrorFlag() = 1;
        StepFailed();
        Ep3.UsbFlush();
        return;
    }
    Success("OK");
}

void TP18fxx2::ShiftEepromBlock(std::int32_t a) {
    for (int k = 0; k < 64; ++k) {
        const std::int32_t e = a + k;
        Ep3.ControlLineHigh(3);
        Layer.Core(static_cast<std::uint16_t>(0x0E00 | (e & 0xFF)));
        Layer.Core(0x6EA9);  // MOVWF EEADR
        Layer.Core(static_cast<std::uint16_t>(0x0E00 | ((e >> 8) & 0xFF)));
        Layer.Core(0x6EAA);  // MOVWF EEADRH
        Layer.Core(0x80A6);  // BSF EECON1, RD
        Layer.Core(0x50A8);  // MOVF EEDATA, W
        Layer.Core(0x6EF5);  // MOVWF TABLAT
        Ep3.ControlLineLow(3);
        Layer.SendCommand4(ShiftOutTablat);
    }
}

std::int32_t TP18fxx2::EepromSource() {
    const std::int32_t last = row_.EepromLast;
    if (eeImage_ == kEepromImage && LoadStored(HexEepromImage, HexEepromImage + last) &&
        !LoadStored(kEepromImage, kEepromImage + last)) {
        SayOncePerRun("The file holds its data EEPROM as a toolchain writes it (F00000h, loaded at 0f0000h): the "
                      "EEPROM is written and verified from 0f0000h");
        return HexEepromImage;
    }
    return eeImage_;
}

std::vector<std::pair<std::int64_t, std::int64_t>> TP18fxx2::SideAreas() const {
    if (row_.EepromLast < 0) return {};
    std::vector<std::pair<std::int64_t, std::int64_t>> areas;
    if (eeImage_ == kEepromImage) areas.push_back({kEepromImage, kEepromImage + row_.EepromLast});
    areas.push_back({HexEepromImage, HexEepromImage + HexEepromWindow - 1});
    return areas;
}

std::int32_t TP18fxx2::EepromMismatch() {
    const std::int32_t last = row_.EepromLast;
    const std::int32_t source = EepromSource();
    Ep3.ControlLineHigh(3);
    Layer.Core(0x9EA6);  // BCF EECON1, EEPGD
    Layer.Core(0x9CA6);  // BCF EECON1, CFGS
    const std::uint8_t* img = wb.ImageBuffer.data() + source;
    std::uint8_t block[64];
    for (std::int32_t a = 0; a <= last; a += 64) {
        ShiftEepromBlock(a);
        Ep3.UsbReadReply(block);
        for (std::int32_t k = 0; k < 64 && a + k <= last; ++k)
            if (block[k] != img[a + k]) return source + a + k;
    }
    return -1;
}

// The data EEPROM is compared too (the documented Verify checks program
// memory only, so nothing ever verified the EEPROM).
void TP18fxx2::VerifyClick() {
    Row();
    if (!EepromReachable()) {
        Pic18Form::VerifyClick();
        return;
    }
    CheckBlocks("Verify.", wb.ImageBuffer.data(), "Error....", [this] { return EepromMismatch(); });
}

void TP18fxx2::RdDataClick() {
    const pic18::Row& r = Row();
    if (r.EepromLast < 0) Refuse("R.Data: no data EEPROM image for this line");
    if (!CheckDeviceId()) return;
    Status("R.Data(EEPROM)...");
    Enter();
    Ep3.ControlLineHigh(3);
    Layer.Core(0x9EA6);  // BCF EECON1, EEPGD
    Layer.Core(0x9CA6);  // BCF EECON1, CFGS
    for (std::int32_t a = 0; a < r.EepromLast; a += 64) {
        ShiftEepromBlock(a);
        Ep3.UsbReadReply(wb.ImageBuffer.data() + eeImage_ + a);
    }
    Ep3.UsbFlush();
    Off();
    Success(eeImage_ == kEepromImage ? "OK,Data 存放在文件缓冲区4000h开始" : "OK,Data 存放在文件缓冲区F0000h开始");
    if (wb.FileWin) wb.FileWin->ViewStart = eeImage_;
    wb.Display();
    AlgoForm::Show();
}

void TP18fxx2::WrDataClick() {
    const pic18::Row& r = Row();
    if (r.EepromLast < 0) Refuse("W.Data: no data EEPROM image for this line");
    if (!CheckDeviceId()) return;
    Status("W.Data(EEPROM)...");
    Enter();
    if (!Ep3.CheckCurrent()) {
        StepFailed();
        return;
    }
    SetProgress(kProgress, 0, r.EepromLast, 0);
    Ep3.ControlLineHigh(3);
    Layer.Core(0x9EA6);
    Layer.Core(0x9CA6);
    const std::uint8_t* img = wb.ImageBuffer.data() + EepromSource();
    for (std::int32_t i = 0; i <= r.EepromLast; ++i) {
        Ep3.ControlLineHigh(3);
        Layer.Core(static_cast<std::uint16_t>(0x0E00 | (i & 0xFF)));
        Layer.Core(0x6EA9);
        Layer.Core(static_cast<std::uint16_t>(0x0E00 | ((i >> 8) & 0xFF)));
        Layer.Core(0x6EAA);
        Layer.Core(static_cast<std::uint16_t>(0x0E00 | img[i]));
        Layer.Core(0x6EA8);  // MOVWF EEDATA
        Layer.Core(0x84A6);  // BSF EECON1, WREN
        Layer.Core(0x0E55);
        Layer.Core(0x6EA7);  // MOVWF EECON2
        Layer.Core(0x0EAA);
        Layer.Core(0x6EA7);
        Layer.Core(0x82A6);  // BSF EECON1, WR
        Layer.Core(0x50A6);  // MOVF EECON1, W
        Layer.Core(0x6EF5);  // MOVWF TABLAT
        Ep3.ControlLineLow(3);
        for (int k = 0; k < (r.EepromWait < 1 ? 1 : r.EepromWait); ++k) Ep3.UsbPut1(OpWait1ms);
        Layer.SendCommand4(ShiftOutTablat);
        Ep3.UsbReadReply();
        Ep3.UsbFlush();
        SetProgress(kProgress, 0, r.EepromLast, i);
    }
    Layer.Core(0x94A6);  // BCF EECON1, WREN
    Ep3.ControlLineLow(3);
    Ep3.UsbFlush();
    Off();
    // Read back and compared, in a session of its own (the last command above
    // goes without its operand): the documented W.Data reads EECON1 before its
    // wait and judges nothing, so a lost or too slow write still said "OK".
    Enter();
    if (const std::int32_t bad = EepromMismatch(); bad >= 0) {
        Status("Error....");
        ShowAddress(kAddress, bad);
        wb.ErrorFlag() = 1;
        StepFailed();
        Off();
        Ep3.UsbFlush();
        return;
    }
    Off();
    Success("OK");
}

void TP18fxx2::Radio1Click() {
    if (Get(kReadConfig).Enabled) ControlsToConfig();
}

void TP18fxx2::Button1Click() {
    const pic18::Row& r = Row();
    RunBatch({{"CheckBoxErase", [this] { EraseClick(); }},
              {"CheckBoxBlank", [this] { BlankClick(); }},
              {"CheckBoxWrite", [this] { WriteClick(); }},
              // Program memory here; W.Data, after it, checks the EEPROM it writes.
              {"CheckBoxVer", [this] { Pic18Form::VerifyClick(); }},
              {"CheckBoxrWrData", [this] { WrDataClick(); }},
              {"CheckBoxConfig", [this] { WtConfigClick(); }}},
             [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) != 0; });
}

// ---- TP18cxxx -----------------------------------------------------------------------------------------

TP18cxxx::TP18cxxx(Workbench& w) : Pic18Form(w, "P18cxxx", C48P18cxxx, true) {
    using namespace picwin;
    using F = TP18cxxx;
    DeclareControls(win::Join({CommonControls(), Batch({{kBlankBox}, {kWriteBox}, {kVerifyBox}, {kWrCfgBox}}, kRun1),
                               FootFields()}),
                    this, {{kRun1.Name, &F::Button1Click}});
    BindHandlers(this, CommonClicks<F>());
    FillVariantTable();
    if (auto s = ReadC48(SideFile(C48Extension), C48P18cxxx)) {
        for (int i = 0; i < 16; ++i) ConfigBuffer[static_cast<std::size_t>(i)] = (*s)[static_cast<std::size_t>(i)].value_or(0xFF);
        ConfigToControls();
    }
}

std::string TP18cxxx::DeviceLineError() const {
    if (std::string e = Pic18Form::DeviceLineError(); !e.empty()) return e;
    const int pm = wb.sel.GetParam("pm=");
    if (pm < 0 || pm > 8) return "Bad device line: pm=" + std::to_string(pm) + " (0 to 8)";
    return {};
}

// pkg=28 loads the 28-pin design (a form that kept whatever design was loaded
// last would report "OK" for writes that reached no chip).
void TP18cxxx::SetupPackage() {
    const Selection& s = wb.sel;
    pic18::Row& r = Table[static_cast<std::size_t>(s.VariantIndex)];
    const int pkg = s.GetParam("pkg=");
    const int pm = s.GetParam("pm=");
    r.MaskLo = kPmMasks[pm][0];
    r.MaskHi = kPmMasks[pm][1];
    if (pkg == 45) {
        Status("暂时不能支持");
        wb.prompts.ShowMsg("暂时不能支持");
        Ep3.LoadBitFile("pic18tqfp44.bit");
        return;
    }
    SeatPackage(r, pkg);
}

void TP18cxxx::SetupForDevice() {
    if (!SetupStart()) return;
    const Selection& s = wb.sel;
    SetupCommon();
    Ep3.VppPin(0);
    const int pkg = s.GetParam("pkg=");
    if (!Ep3.Connected) Status("Comm Err.");
    else if (pkg != 0 && pkg != 45) Status("");
    SetupEnd();
}

// Each word: table write with post-increment, the held NOP, then FFFFh as a
// table write without increment (it changes no one-time cell; the
// post-incrementing command here would land word k at byte 4k).
void TP18cxxx::WriteClick() {
    const pic18::Row& r = Row();
    if (!CheckContact()) return;
    Status("写code(code)...");
    Enter();
    if (!Ep3.CheckCurrent()) {
        StepFailed();
        return;
    }
    Ep3.ControlLineHigh(3);
    Ep3.UsbFlush();
    Layer.SetTablePointer(0);
    const std::uint8_t* img = wb.ImageBuffer.data();
    for (std::int32_t a = 0; a <= r.ProgramLast; a += 2) {
        Layer.SendCommand16(TableWritePostInc2, img[a + 1], img[a]);
        Layer.ProgramPulse(r.Hold);
        Layer.SendCommand16(TableWrite, 0xFF, 0xFF);
        if ((a & 0xFF) == 0) {
            ShowProgress(a, r.ProgramLast);
            Ep3.UsbFlush();
        }
    }
    ShowProgress(r.ProgramLast, r.ProgramLast);
    Off();
    Success("OK");
}

void TP18cxxx::WtConfigClick() {
    const pic18::Row& r = Row();
    if (!CheckContact()) return;
    Status("Wrt. CFG.");
    GridToConfigNamingTheFile();
    Enter();
    if (!Ep3.CheckCurrent()) {
        StepFailed();
        return;
    }
    Ep3.ControlLineHigh(3);
    Layer.SetTablePointer(ConfigBytes);
    ControlsToConfig();
    for (int i = 0; i <= 14; i += 2) {
        Layer.SendCommand16(TableWritePostInc2, ConfigBuffer[static_cast<std::size_t>(i + 1)],
                            ConfigBuffer[static_cast<std::size_t>(i)]);
        Layer.ProgramPulse(r.Hold);
        Layer.SendCommand16(TableWrite, 0xFF, 0xFF);
    }
    Off();
    Success("OK");
}

void TP18cxxx::Button1Click() {
    const pic18::Row& r = Row();
    RunBatch(OneTimeSteps(*this),
             [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, r.MaskLo, r.MaskHi, 0) != 0; });
}

QUILLA_FORM(TP18fxx2);
QUILLA_FORM(TP18cxxx);

}  // namespace quilla
