#include "algo/mcs51/sst89.h"

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP33 = 13, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19, kDipGnd = 20;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31, kDipVcc = 40;
constexpr std::int32_t kTop = 0xFFFF;
// The bits: P2.6, P2.7, P3.6, P3.7 and the address (-1: the 0x30 the signature
// read left).
constexpr bool Hi = true, Lo = false;

}  // namespace

Sst89Form::Sst89Form(Workbench& w, Variant v)
    : Mcs51Form(w, v == Variant::C5x ? "SST89c54/58" : "", {21, 22, 23, 24, 25, 26, 14, 15}), variant_(v) {
    DeclareStatus();
    DeclareButtons51({{"Read1", "Read  ", [this] { ReadRom(); }},
                      {"Erase", "Erase", [this] { EraseClick(); }},
                      {"Blank", "Blank?  ", [this] { BlankClick(); }},
                      {"Write", "Write ", [this] { WriteClick(); }},
                      {"Verify", "Vrfy", [this] { VerifyClick(); }},
                      {"ReadID", "MFG ID  ", [this] { ReadIDClick(); }}});
    const char* lockGroup = "GroupBox2";
    if (v == Variant::C5x) {
        DeclareButtons51({{"CancelBtn", "Exit ", [this] { CancelBtnClick(); }},
                          {"Secrity", "Wr.CFG", [this] { SecrityClick(); }}});
        DeclareBatch51("Wr.CFG", [this] { Button1Click(); }, "Write ");
        AddGroup("GroupBox2", "CFG(CHK=1)");
    } else {
        DeclareButtons51({{"Config", "Wr.CFG", [this] { ConfigClick(); }}, {"Secu", "Lock", [this] { SecuClick(); }}});
        DeclareBatch({{"CheckBox1", "Erase "},
                      {"CheckBox2", "Blank?  "},
                      {"CheckBox5", "Wr.CFG"},
                      {"CheckBox3", "Write "},
                      {"CheckBox4", "Vrfy"},
                      {v == Variant::E554 ? "CheckBox12" : "CheckBox15", "Lock"}},
                     " Run  ", [this] { Button1Click(); });
        AddGroup("GroupBox2", "CFG(CHK=1)");
        AddCheck("CheckBox9", "SC0 ", v == Variant::E554, "GroupBox2");
        if (v == Variant::E554) {
            AddCheck("CheckBox10", "SC1", true, "GroupBox2");
        } else {
            AddCheck("CheckBox12", "Sel Block0", false, "GroupBox2");
            AddCheck("CheckBox13", "Sel Block1", false, "GroupBox2");
        }
        AddCheck("CheckBox11", "Clock (6/12)", false, "GroupBox2");
        AddGroup("GroupBox3", "LockMode");
        lockGroup = "GroupBox3";
    }
    AddCheck("CheckBox6", "SB1        ", true, lockGroup);
    AddCheck("CheckBox7", "SB2        ", true, lockGroup);
    AddCheck("CheckBox8", "SB3        ", true, lockGroup);
    if (v == Variant::C5x) {
        AddCheck("CheckBox9", "RB0 ", false, "GroupBox2");
        AddCheck("CheckBox10", "RB1", false, "GroupBox2");
    }
    FillVariantTable();
}

void Sst89Form::FillVariantTable() {
    Table = {{"Exit", 0, 0, 0, 0},
             {"1: SST89C54", 0x3FFF, 0, 0xF000, 5000},
             {"2: SST89C58", 0x7FFF, 0, 0xF000, 5000}};
    if (variant_ == Variant::C5x) return;
    Table.insert(Table.end(), {{"3: SST89E554RC", 0x7FFF, 0, 0xE000, 5000},
                               {"4: SST89E564RD", 0xFFFF, 0, 0x8000, 5000},
                               {"5: SST89V554RC", 0x7FFF, 0, 0xE000, 4400},
                               {"6: SST89V564RD", 0xFFFF, 0, 0x8000, 4400}});
}

void Sst89Form::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    SetupShow();
    const Mcs51Row& r = *SelectedRow();
    if (wb.FileWin) wb.FileWin->EndAddr = kTop;
    wb.Display();
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    const bool e564 = variant_ == Variant::E564;
    Ep3.GndPin(e564 ? kDipGnd : GndPinNo);
    Ep3.SetVpp(e564 ? r.VccMv : 0);
    Ep3.SetVcc(r.VccMv);
}

// ---- routines --------------------------------------------------------------------------------

void Sst89Form::ShowProgress(std::int32_t value) {
    ShowAddress(kAddress, value);
    SetProgress(kProgress, 0, kTop, value);
}

int Sst89Form::PreCheck51() {
    // The DIP40 contact values whatever the package.
    if (!DipContact51()) return 0;
    Ep3.GndPin(kDipGnd);
    return 1;
}

int Sst89Form::PowerUp51() {
    Ep3.SetPortMode(PortMode51Read);
    Ep3.SetAllPins(0);
    Ep3.SetPinOption(kXtal2, 1);
    Ep3.SetPinOption(kP33, 1);
    Ep3.ClockPin(kXtal1);
    Ep3.VccPin(variant_ == Variant::E564 ? kDipVcc : VccPinNo);
    SetPins({L(kRst), H(kEa), H(kProg), H(kRst)});
    return 1;
}

void Sst89Form::SetModePins51(bool p37, bool p36, bool p27, bool p28) {
    Ep3.SetPinOption(kP33, 1);
    SetPins({{kP37, p37}, {kP36, p36}, {kP27, p28}, {kP26, p27}});
}

void Sst89Form::ReadIdBytes51() {
    SetPins({H(kPsen), L(kRst), H(kRst), H(kEa), H(kProg), L(kPsen)});
    Put1(OpWaitPulse);
    SetModePins51(false, false, false, false);
    SetAddress51(0x30);
    Flush();
    ReadBlock(Ep3.UsbReplyBuf.data());
    Status(FormatText("Detect MFG and ID   = %02x, %02x", Ep3.UsbReplyBuf[0], Ep3.UsbReplyBuf[1]));
}

void Sst89Form::ProgramByte51(std::uint8_t b) {
    Ep3.UsbPut2(OpPutData51, b);
    SetPins({L(kProg), H(kProg)});
    Put1(OpWaitPulse);
}

bool Sst89Form::AddressWalk(const Mcs51Row& r, const std::function<bool(std::int32_t)>& block) {
    std::int32_t a = 0;
    do {
        if (a > r.LastAddress && a < r.Block1Start) a = r.Block1Start;
        ShowProgress(a);
        if (!block(a)) return false;
        a += kBlock;
    } while (a < kTop);
    return true;
}

bool Sst89Form::EnterRead() {
    PowerUp51();
    ReadIdBytes51();
    SetModePins51(true, true, false, false);
    SetAddress51(0);
    if (variant_ == Variant::E564) Ep3.VppPin(VppPinNo);
    return Ep3.CheckCurrent();
}

bool Sst89Form::ReadWalk(const Mcs51Row& r, const CheckPass51* pass, const std::function<void()>& off) {
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    return AddressWalk(r, [&](std::int32_t a) {
        SetAddress51(a);
        ReadBlock(pass ? buf : Image(a));
        return !pass || BlockChecked51(*pass, a, buf, off);
    });
}

// ---- the handlers -----------------------------------------------------------------------------------

void Sst89Form::ReadRom() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    Status("Read.");
    if (!EnterRead()) return;
    ReadWalk(r, nullptr, {});
    ShowProgress(kTop);
    // The E564 form leaves VPP (at the VCC level) on EA after a Read.
    if (variant_ != Variant::E564) Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void Sst89Form::CheckChip(const CheckPass51& pass, const std::function<void()>& off) {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    Status(pass.Verify ? "Verify." : "Blank CHK");
    if (EnterRead() && ReadWalk(r, &pass, off)) PassEnd51(pass, kTop + 1, [this] { SuppliesOff(); });
}

void Sst89Form::EraseClick() {
    Row();
    if (!PreCheck51()) return;
    PowerUp51();
    if (variant_ == Variant::E564) Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    ReadIdBytes51();
    SetModePins51(false, false, true, false);  // chip erase: P2.6 H, P2.7 L, P3.6 L, P3.7 L
    Status("Erasing");
    SetPins({L(kProg), H(kProg)});
    Put1(OpWaitSettle);
    Waits(OpWait100ms, 2);
    SuppliesOff();
    Success("OK!");
}

void Sst89Form::WriteClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!NeedFileWindow()) return;
    Status("Writing..");
    PowerUp51();
    ReadIdBytes51();
    SetModePins51(true, true, false, true);  // program: P2.6 L, P2.7 H, P3.6 H, P3.7 H
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(kP33, 1);
    SetAddress51(0);
    Ep3.VppPin(VppPinNo);
    if (!Ep3.CheckCurrent()) return;
    AddressWalk(r, [this](std::int32_t a) {
        SetAddress51(a);
        ProgramBytes51(a, kBlock, [this](std::uint8_t v) { ProgramByte51(v); });
        Flush();
        return true;
    });
    ShowProgress(kTop + 1);
    SuppliesOff();
    Success("OK");
}

void Sst89Form::ProgramTicked(const char* text, const std::vector<std::pair<const char*, Bit51>>& bits) {
    Row();
    if (!PreCheck51()) return;
    Status(text);
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    for (const auto& [box, bit] : bits) {
        if (!Ticked(box)) continue;
        ReadIdBytes51();
        SetModePins51(bit.p37, bit.p36, bit.p26, bit.p27);
        if (bit.address >= 0) SetAddress51(bit.address);
        ProgramByte51(0xFF);
    }
    Flush();
    Success("OK");
    Ep3.VccPin(0);
}

void Sst89Form::SecuClick() {
    ProgramTicked("Locking", {{"CheckBox6", {Hi, Hi, Hi, Hi, -1}},
                              {"CheckBox7", {Hi, Hi, Lo, Lo, -1}},
                              {"CheckBox8", {Hi, Lo, Hi, Lo, -1}}});
}

void Sst89Form::ConfigClick() {
    if (variant_ == Variant::E564) {
        ProgramTicked("Config...", {{"CheckBox9", {Hi, Lo, Lo, Hi, 0x5A00}},
                                    {"CheckBox12", {Hi, Lo, Lo, Hi, 0x5500}},
                                    {"CheckBox13", {Hi, Lo, Lo, Hi, 0xA500}},
                                    {"CheckBox11", {Lo, Lo, Lo, Hi, 0x5500}}});
    } else {
        ProgramTicked("CFG....", {{"CheckBox9", {Hi, Lo, Lo, Hi, 0x5A00}},
                                  {"CheckBox10", {Hi, Lo, Lo, Hi, 0xAA00}},
                                  {"CheckBox11", {Lo, Lo, Lo, Hi, 0x5500}}});
    }
}

void Sst89Form::SecrityClick() {
    ProgramTicked("Locking", {{"CheckBox6", {Hi, Hi, Hi, Hi, -1}},
                              {"CheckBox7", {Hi, Hi, Lo, Lo, -1}},
                              {"CheckBox8", {Hi, Lo, Hi, Lo, -1}},
                              {"CheckBox9", {Lo, Lo, Lo, Hi, -1}},
                              {"CheckBox10", {Hi, Lo, Lo, Hi, -1}}});
}

void Sst89Form::ReadIDClick() {
    Row();
    Status("Detect MFG and ID .....");
    PowerUp51();
    ReadIdBytes51();
    Ep3.VccPin(0);
}

void Sst89Form::Button1Click() {
    Row();
    if (variant_ == Variant::C5x) {
        RunBatchDip51(BatchSteps51(this));
        return;
    }
    RunBatch51({{"CheckBox1", [this] { EraseClick(); }},
                {"CheckBox2", [this] { BlankClick(); }},
                {"CheckBox5", [this] { ConfigClick(); }},
                {"CheckBox3", [this] { WriteClick(); }},
                {"CheckBox4", [this] { VerifyClick(); }},
                {variant_ == Variant::E554 ? "CheckBox12" : "CheckBox15", [this] { SecuClick(); }}},
               false);
}

QUILLA_FORM(TSST89e554x);
QUILLA_FORM(TSST89e564x);
QUILLA_FORM(TSST89c5x1);

}  // namespace quilla
