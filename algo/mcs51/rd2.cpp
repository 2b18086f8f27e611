#include "algo/mcs51/rd2.h"

#include <cstdio>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP30 = 10, kP33 = 13, kA15 = 15, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;

// The HSB boxes: name, caption, mask.
struct HsbBox {
    const char* name;
    const char* caption;
    std::uint8_t mask;
};
constexpr HsbBox kLb0{"CheckBox1", "LB0(No ext movc)", 0x01};
constexpr HsbBox kLb1{"CheckBox2", "LB1(Lock)", 0x02};
constexpr HsbBox kLb2{"CheckBox3", "LB2(ExtCode)", 0x04};
constexpr HsbBox kBllb{"CheckBox4", "BLLB(ISP保护Boot)", 0x20};
constexpr HsbBox kBljb{"CheckBox5", "BLJB(Boot FC03H)", 0x40};

}  // namespace

Rd2Form::Rd2Form(Workbench& w, bool rc2)
    : Mcs51Form(w, rc2 ? "T89C51RB2/RC2" : "T89C51RD2",
                rc2 ? std::vector<int>{21, 22, 23, 24, 25, 26, 14} : std::vector<int>{21, 22, 23, 24, 25, 26, 14, kA15}),
      rc2_(rc2) {
    DeclareStatus();
    DeclareButtons51({{"Read1", "Read  ", [this] { ReadRom(); }},
                      {"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Verify", "Vrfy", [this] { VerifyClick(); }},
                      {"Write", "Write.", [this] { WriteClick(); }},
                      {"Erase", "Erase", [this] { EraseClick(); }},
                      {"ID", "MFG ID  ", [this] { IDClick(); }},
                      {"Secrity", "Lock ", [this] { SecrityClick(); }},
                      {"RdSec", "R.Lock", [this] { RdSecClick(); }},
                      {"WrConfig", "Wr.CFG", [this] { WrConfigClick(); }},
                      {"ReadXAF", "Rd.CFG ", [this] { ReadXAFClick(); }}});
    AddButton("RdIDSub", "", [this] { RdIDSubClick(); }).Visible = false;
    AddButton("CancelBtn", "Exit ", [this] { CancelBtnClick(); });

    AddGroup("GroupBox2", "HSBCFG (打勾编程为0)");
    std::vector<HsbBox> boxes = {kLb0, kLb1, kLb2};
    if (!rc2) boxes.push_back(kBllb);
    boxes.push_back(kBljb);
    for (const HsbBox& b : boxes) {
        AddCheck(b.name, b.caption, b.mask != 0x40, "GroupBox2").OnClick = [this] { CheckBox1Click(); };
    }
    if (rc2) {
        // Shown, but they change nothing: bits 4 and 7 are always programmed to 0.
        AddCheck("CheckBox6", "XRAM(En/Dis)", true, "GroupBox2");
        AddCheck("CheckBox7", "x2(6/12 clock)", false, "GroupBox2");
    }
    AddEdit("Edit3", "HSB(Hard Secu)", "", true, "GroupBox2");

    AddGroup("GroupBox3", "Soft Reg CFG ");
    AddEdit("Edit1", "BSB(Boot Sta)", "ff", false, "GroupBox3");
    AddEdit("Edit2", "BSV(Vect)", "fc", false, "GroupBox3");
    if (!rc2) AddEdit("Edit4", "SSB(Soft Secu)", "ff", false, "GroupBox3");

    AddGroup("GroupBox1", "Batch   ");
    for (auto [name, caption] : std::vector<std::pair<const char*, const char*>>{{"CheckEra", "Erase "},
                                                                                {"CheckBla", "Blank?  "},
                                                                                {"CheckWri", "Write."},
                                                                                {"CheckCon", "Wr.CFG"},
                                                                                {"CheckVer", "Vrfy"},
                                                                                {"CheckSec", "Lock"}})
        AddCheck(name, caption, true, "GroupBox1");
    AddButton("Button1", " Run  ", [this] { Button1Click(); }, "GroupBox1");
    FillVariantTable();
    CheckBox1Click();
}

void Rd2Form::FillVariantTable() {
    Table = {{"Exit", 0},
             {"1: P89C51RA2 8Kx8", 0x1FFF},
             {"2:P89C51RB2 16Kx8", 0x3FFF},
             {"3:P89C51RC2 32Kx8", 0x7FFF}};
    if (!rc2_) Table.push_back({"4:P89C51RD2 64Kx8", 0xFFFF});
}

void Rd2Form::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    SetupShow();
    FillVariantTable();
    const Mcs51Row& r = *SelectedRow();
    ShowRowRange(r);
    AlgoForm::Show();
    SetEnabled("Erase", r.Name.find("OTP") == std::string::npos);
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVpp(4500);
    Ep3.SetVcc(4400);
}

void Rd2Form::OnClose() { Ep3.PowerOff(); }

void Rd2Form::CheckBox1Click() {
    std::uint8_t masks = 0x98;
    for (const HsbBox& b : {kLb0, kLb1, kLb2, kBllb, kBljb})
        if (Has(b.name) && Checked(b.name)) masks |= b.mask;
    LockByte = static_cast<std::uint8_t>(~masks);
    char text[8];
    std::snprintf(text, sizeof text, "%02x", LockByte);
    Put("Edit3", text);
}

// ---- routines --------------------------------------------------------------------------------

void Rd2Form::SetModePins51(bool p26, bool p27, bool p36, bool p37, bool p33) {
    Ep3.SetPin(p26, kP26);
    Ep3.SetPin(p27, kP27);
    Ep3.SetPin(p36, kP36);
    Ep3.SetPin(p37, kP37);
    Ep3.SetPin(p33, kP33);
}

void Rd2Form::SetAddress51(std::int32_t address) {
    Mcs51Form::SetAddress51(address);
    if (rc2_) Ep3.PinHigh(kA15);
}

void Rd2Form::PowerUp51() {
    Ep3.GndPin(GndPinNo);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kXtal1, 1);
    Ep3.ClockPin(kXtal1);
    Ep3.SetPortMode(PortMode51Read);
    Ep3.VccPin(0);
    Ep3.VccPin(VccPinNo);
    CodeReadSetting();
    SetPins({H(kRst), L(kPsen), H(kEa), H(kP30)});
    SetAddress51(0);
    Ep3.PinHigh(kProg);
    Ep3.PinLow(kP27);
    Flush();
}

int Rd2Form::PreCheck51() {
    PowerUp51();
    Ep3.VccPin(VccPinNo);
    Ep3.SetPinOption(kXtal1, 0);
    Ep3.SetPinOption(kXtal2, 1);
    return Ep3.PinPairOk(kXtal1, kXtal2);
}

void Rd2Form::ProgramByte51(std::uint8_t b) {
    Ep3.UsbPut2(OpPutData51, b);
    Ep3.PinLow(kProg);
    Ep3.PinHigh(kProg);
}

void Rd2Form::UnlockSequence51() {
    SetModePins51(true, false, true, false, false);
    ProgramByte51(0x55);
    ProgramByte51(0xAA);
}

void Rd2Form::WriteCycle() {
    Ep3.PinLow(kProg);
    Put1(OpWaitSettle);
    Ep3.PinHigh(kProg);
}

std::optional<std::uint8_t> Rd2Form::EditByte(const char* edit) const {
    std::string t = Text(edit);
    const std::size_t first = t.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const auto v = ScanHex(t.substr(first, 2));
    if (!v) return std::nullopt;
    return static_cast<std::uint8_t>(*v);
}

// ---- the handlers -----------------------------------------------------------------------------------

bool Rd2Form::ReadLoop(const Mcs51Row& r, std::uint8_t* dest, bool intoImage,
                       const std::function<bool(std::int32_t, const std::uint8_t*)>& check) {
    return ForEachBlock(r, [&](std::int32_t a) {
        std::uint8_t* to = intoImage ? Image(a) : dest;
        ReadBlock(to);
        return check(a, to);
    });
}

void Rd2Form::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Reading..........");
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    CodeReadSetting();
    Ep3.PinHigh(kProg);
    Ep3.PinLow(kP27);
    Ep3.SetPortMode(PortMode51Read);
    ReadLoop(r, nullptr, true, [](std::int32_t, const std::uint8_t*) { return true; });
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void Rd2Form::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Blank CHK");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(14, 0);
    CodeReadSetting();
    Ep3.PinHigh(kProg);
    Ep3.PinLow(kP27);
    if (!Ep3.CheckCurrent()) return;
    const auto off = [this] { SuppliesOff(); };
    const bool blank = ReadLoop(r, Ep3.UsbReplyBuf.data(), false, [&](std::int32_t a, const std::uint8_t* b) {
        return BlockChecked51(kBlankPass51, a, b, off);
    });
    if (!blank) return;
    PassEnd51(kBlankPass51, r.LastAddress, off);
}

void Rd2Form::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Verify.");
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetPinOption(14, 0);
    CodeReadSetting();
    Ep3.PinHigh(kProg);
    Ep3.PinLow(kP27);
    if (!Ep3.CheckCurrent()) return;
    const auto off = [this] { Ep3.VccPin(0); };
    const auto endOff = [this] { SuppliesOff(); };
    const bool same = ReadLoop(r, Ep3.UsbReplyBuf.data(), false, [&](std::int32_t a, const std::uint8_t* b) {
        return BlockChecked51(kVerifyPass51, a, b, off);
    });
    if (!same) return;
    PassEnd51(kVerifyPass51, r.LastAddress, endOff);
}

void Rd2Form::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Contact()) return;
    PreCheck51();
    if (!NeedFileWindow()) return;
    CheckDeviceId();
    Status("Writing..");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetAddress51(0);
    UnlockSequence51();
    Flush();
    const std::int32_t end = EndAddr();
    for (std::int32_t page = 0; page < r.LastAddress && page <= end; page += 128) {
        ShowProgress(page);
        SetAddress51(page);
        SetModePins51(false, true, false, true, false);  // page load
        ProgramBytes51(page, 128, [this](std::uint8_t v) { ProgramByte51(v); });
        SetModePins51(false, true, true, true, false);  // page program
        SetAddress51(page);
        WriteCycle();
        Flush();
    }
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
}

void Rd2Form::EraseClick() {
    Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Erasing");
    PowerUp51();
    SetAddress51(0);
    Ep3.SetPortMode(PortModeReset);
    UnlockSequence51();
    SetModePins51(true, false, false, false, false);  // erase pulse
    WriteCycle();
    Put1(OpWaitSettle);
    SetModePins51(true, true, false, false, false);  // lock write
    Ep3.UsbPut2(OpPutData51, 0x7F);
    WriteCycle();
    Put1(OpWaitSettle);
    SuppliesOff();
    Success("END");
}

void Rd2Form::SecrityClick() {
    Row();
    if (!Contact()) return;
    PreCheck51();
    Status("Locking");
    PowerUp51();
    SetAddress51(0);
    Ep3.SetPortMode(PortModeReset);
    UnlockSequence51();
    SetModePins51(true, true, false, false, false);  // lock write
    Ep3.UsbPut2(OpPutData51, LockByte);
    WriteCycle();
    Put1(OpWaitSettle);
    SuppliesOff();
    Success("OK");
}

void Rd2Form::RdIDSubClick() {
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    SetModePins51(false, false, false, false, true);  // ID read
    SetAddress51(0);
    Ep3.PinLow(kP27);
    ReadBlock(Ep3.UsbReplyBuf.data());
    SuppliesOff();
}

void Rd2Form::WrConfigClick() {
    Row();
    // Each soft byte must hold a hexadecimal digit: nothing is sent otherwise.
    const auto bsb = EditByte("Edit1");
    if (!bsb) Refuse("BSB(Boot Sta): no hexadecimal value, nothing written");
    const auto bsv = EditByte("Edit2");
    if (!bsv) Refuse("BSV(Vect): no hexadecimal value, nothing written");
    std::optional<std::uint8_t> ssb;
    if (!rc2_) {
        ssb = EditByte("Edit4");
        if (!ssb) Refuse("SSB(Soft Secu): no hexadecimal value, nothing written");
    }
    if (!Contact()) return;
    PreCheck51();
    Status("Wrt. CFG.");
    RdIDSubClick();
    CheckBox1Click();
    std::uint8_t block[kBlock];
    std::copy(Ep3.UsbReplyBuf.begin(), Ep3.UsbReplyBuf.begin() + kBlock, block);
    block[4] = LockByte;
    block[0] = *bsb;
    block[1] = *bsv;
    if (ssb) block[5] = *ssb;
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetAddress51(0);
    UnlockSequence51();
    Flush();
    SetModePins51(true, true, false, true, true);  // configuration page load
    for (int i = 0; i < 128; ++i) {
        ProgramByte51(block[i]);
        NextAddress51();
    }
    SetModePins51(true, true, false, true, false);  // configuration page program
    SetAddress51(0);
    WriteCycle();
    Flush();
    SuppliesOff();
    Success("OK");
}

void Rd2Form::ReadXAFClick() {
    Row();
    if (!Contact()) return;
    PreCheck51();
    Status("读CFG....");
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    SetModePins51(false, false, false, false, false);  // configuration read
    Ep3.PinHigh(kProg);
    Ep3.PinLow(kP27);
    Ep3.SetPortMode(PortMode51Read);
    SetAddress51(0);
    ReadBlock(Ep3.UsbReplyBuf.data());
    SuppliesOff();
    Success("OK");
    const auto& b = Ep3.UsbReplyBuf;
    char text[96];
    std::snprintf(text, sizeof text, "BSB=%02x,BSV=%02x,HSB=%02x,SSB=%02x; ID=%02x,%02x,%02x", b[0], b[1], b[4], b[5],
                  b[0x30], b[0x31], b[0x60]);
    Status(text);
}

void Rd2Form::RdSecClick() {
    Row();
    if (!Contact()) return;
    Status("读LockByte(HSB)...");
    PreCheck51();
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    SetModePins51(false, false, false, true, true);  // HSB read
    Ep3.PinLow(kP27);
    ReadBlock(Ep3.UsbReplyBuf.data());
    Ep3.PinHigh(kP27);
    SuppliesOff();
    char text[32];
    std::snprintf(text, sizeof text, "HSB = %02x", Ep3.UsbReplyBuf[0]);
    Status(text);
}

void Rd2Form::IDClick() {
    Row();
    if (!Contact()) return;
    Status(" ID   和Type的code...");
    PreCheck51();
    PowerUp51();
    Ep3.SetPortMode(PortMode51Read);
    SetModePins51(false, false, false, false, true);  // ID read
    SetAddress51(0);
    Ep3.PinLow(kP27);
    ReadBlock(Ep3.UsbReplyBuf.data());
    const auto& b = Ep3.UsbReplyBuf;
    auto& id = LastReadId();
    id[0] = b[0x30];
    id[1] = b[0x31];
    id[2] = b[0x60];
    Ep3.PinHigh(kP27);
    SuppliesOff();
    char text[64];
    std::snprintf(text, sizeof text, "MFG and ID is   = %02x,%02x, %02x,%02x", b[0x30], b[0x31], b[0x60], b[0x61]);
    Status(text);
}

void Rd2Form::Button1Click() {
    Row();
    if (!rc2_) {
        PreCheck51();
        if (Ticked("CheckWri") && !wb.FileWin) {
            wb.prompts.ShowMsg("Must open a file to write...");
            return;
        }
    }
    RunBatch51({{"CheckEra", [this] { EraseClick(); }},
                {"CheckBla", [this] { BlankClick(); }},
                {"CheckWri", [this] { WriteClick(); }},
                {"CheckCon", [this] { WrConfigClick(); }},
                {"CheckVer", [this] { VerifyClick(); }},
                {"CheckSec", [this] { SecrityClick(); }}});
}

QUILLA_FORM(TAt89c51rd2x);
QUILLA_FORM(TAt89c51rc2x);

}  // namespace quilla
