#include "algo/mcs51/sm59.h"

#include <cstdio>
#include <string>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kP37 = 17, kPsen = 29, kProg = 30, kEa = 31;

const char* const kIspItems[] = {"0:No ISP",   "1:fe00-ffff", "2:fc00-ffff", "3:fa00-ffff", "4:f800-ffff",
                                 "5:f600-ffff", "6:f400-ffff", "7:f200-ffff", "8:f000-ffff"};

// The SM59 windows' power-up (the SM59264 sets its supplies first and mode 0 on
// P3.0-P3.1) and program pulse (P3.7 pulsed with ALE low); no VPP.
Sm51Row Sm59Row(bool sm59264) {
    return {
        .VccMv = 5000,
        .SuppliesFirst = sm59264,
        .PowerUpPins = sm59264 ? std::vector<Level51>{H(kEa), L(kProg), L(10), L(11)}
                               : std::vector<Level51>{H(kEa), H(kProg), H(kPsen), H(kP37), L(10), L(11), L(12), L(13)},
        .AfterVccPins = {L(kRst), H(kRst)},
        .PowerUpSettles = true,
        .ModePins = 2,
        .PulseLow = {L(kProg), L(kP37), H(kP37)},
        .PulseHigh = {H(kProg)},
        .PulseWait = OpWait100us,
    };
}
const Sm51Row kSm59064Row = Sm59Row(false), kSm59264Row = Sm59Row(true);

}  // namespace

Sm59Form::Sm59Form(Workbench& w, bool sm59264)
    : SyncMos51Form(w, sm59264 ? "Sm59264x" : "Sm59064x", sm59264 ? kSm59264Row : kSm59064Row), sm59264_(sm59264) {
    DeclareStatus();
    DeclareButtons51(LockReadExitButtons51(this));
    if (sm59264) {
        DeclareBatch({{"CheckBox1", "Erase "},
                      {"CheckBox2", "Blank?  "},
                      {"CheckBox3", "Write."},
                      {"CheckBox4", "Vrfy"},
                      {"CheckBox5", "Lock"}},
                     " Run  ", [this] { Button1Click(); });
        AddLabel("Label3", "Note:");
        AddLabel("Label1", "fc00-ffff is ISP add");
        AddLabel("Label2", "is locked.");
    } else {
        DeclareButtons51({{"Button2", "No ISP ", [this] { Button2Click(); }},
                          {"Button3", "CFG ISP", [this] { Button3Click(); }},
                          {"Button4", "Read.CFG ", [this] { Button4Click(); }}});
        AddRadio("RadioGroup1", "Set ISP add",
                 std::vector<std::string>(std::begin(kIspItems), std::end(kIspItems)), 2);
        DeclareBatch({{"CheckBox6", "No ISP "},
                      {"CheckBox7", "CFG ISP"},
                      {"CheckBox1", "Ers."},
                      {"CheckBox2", "Blank?  "},
                      {"CheckBox3", "Write."},
                      {"CheckBox4", "Vrfy"},
                      {"CheckBox5", "Lock"}},
                     " Run  ", [this] { Button1Click(); });
    }
    FillVariantTable();
}

void Sm59Form::FillVariantTable() {
    Table = {{"Exit", 0},
             {"1: noname  4K", 0x0FFF},
             {"2: noname  8K", 0x1FFF},
             {"3: noname  8K", 0x1FFF},
             {"4: noname  16K", 0x3FFF},
             {"5: noname 32K", 0x7FFF},
             {sm59264_ ? "6: SM59264 64K" : "6: SM59064 64K", sm59264_ ? 0xFBFF : 0xFFFF}};
    if (const Mcs51Row* r = SelectedRow()) Put(kType, r->Name.size() > 2 ? r->Name.substr(2) : std::string());
}

void Sm59Form::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    FillVariantTable();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    const Mcs51Row& r = *SelectedRow();
    Put(kType, r.Name.size() > 2 ? r.Name.substr(2) : std::string());
    wb.FileNew();
    ShowRowRange(r);
    if (!sm59264_) Put(kType, wb.sel.SelectedDevice);
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(k_.VccMv);
    Ep3.SetVpp(k_.VppMv);
}

void Sm59Form::OnClose() { Ep3.PowerOff(); }

std::int32_t Sm59Form::CheckLimit() const {
    const Mcs51Row* r = SelectedRow();
    if (!r) return 0;
    if (sm59264_) return r->LastAddress;
    return r->LastAddress - 512 * ItemIndex("RadioGroup1");
}

Mcs51Row Sm59Form::LimitedRow() {
    Mcs51Row r = Row();
    const std::int32_t limit = CheckLimit();
    if (limit < 0) {
        char text[96];
        std::snprintf(text, sizeof text, "ISP area of %d bytes does not fit the chip: nothing checked",
                      512 * ItemIndex("RadioGroup1"));
        Refuse(text);
    }
    r.LastAddress = limit;
    return r;
}

// ---- routines --------------------------------------------------------------------------------

int Sm59Form::PreCheck51() {
    if (sm59264_) return DipContact51() ? 1 : 0;
    return ContactTest() ? 1 : 0;
}

void Sm59Form::SetModePins51(unsigned mask) {
    const int first = sm59264_ ? 10 : 14;
    Ep3.SetPin(mask & 1u, first);
    Ep3.SetPin((mask >> 1) & 1u, first + 1);
}

void Sm59Form::ReadSetting(unsigned mask) {
    SetPins({L(kProg), L(kPsen)});
    Ep3.VppPin(0);
    Ep3.PinLow(kEa);
    SetModePins51(mask);
}

// ---- the handlers -----------------------------------------------------------------------------------

void Sm59Form::ReadRom() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    Status("Read.");
    PowerUp51();
    ReadSetting(0);
    if (!Ep3.CheckCurrent()) return;
    Flush();
    ReadImage51(r);
    ShowProgress(r.LastAddress);
    SetPins({H(kEa), H(kProg)});
    Ep3.VccPin(0);
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void Sm59Form::BlankClick() {
    const Mcs51Row r = LimitedRow();
    if (!PreCheck51()) return;
    Status("Blank CHK");
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    ReadSetting(0);
    BlankBlocks51(r, [this] { SuppliesOff(); },
                  [this] {
                      SetPins({H(kEa), H(kProg)});
                      SuppliesOff();
                  });
}

void Sm59Form::VerifyClick() {
    const Mcs51Row r = LimitedRow();
    if (!PreCheck51()) return;
    Status("Verify.");
    PowerUp51();
    ReadSetting(0);
    if (!Ep3.CheckCurrent()) return;
    CheckBlocks51(r, kVerifyPass51, [this] { Ep3.VccPin(0); },
                  [this] {
                      SetPins({H(kEa), H(kProg)});
                      SuppliesOff();
                  });
}

void Sm59Form::WriteClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!NeedFileWindow()) return;
    Status("Write");
    PowerUp51();
    if (sm59264_) Ep3.SetVpp(0);
    SetPins({L(kEa), H(kPsen)});
    Ep3.SetPortMode(PortModeReset);
    SetAddress51(0);
    SetModePins51(0);
    if (!Ep3.CheckCurrent()) return;
    PageLoop51(r, [this](std::uint8_t v) { ProgramByte51(v); });
    ShowProgress(r.LastAddress);
    SetPins({H(kEa), H(kProg)});
    if (sm59264_) Ep3.SetVpp(0);
    SuppliesOff();
    Success("OK");
}

void Sm59Form::EraseClick() {
    Row();
    if (!PreCheck51()) return;
    Status("Erasing");
    PowerUp51();
    if (sm59264_) Ep3.SetVpp(0);
    Ep3.SetPortMode(PortModeReset);
    SetAddress51(0xFFFF);
    Ep3.UsbPut2(OpPutData51, 0xFF);
    SetPins({H(kP37), H(kPsen), L(kProg), L(kEa)});
    SetModePins51(3);
    if (!Ep3.CheckCurrent()) return;
    SetPins({L(kP37), H(kP37)});
    const int steps = sm59264_ ? 12 : 10;
    for (int i = 1; i <= steps; ++i) {
        Put1(OpWait100ms);
        Flush();
        Status("Erase: " + std::to_string(i));
    }
    SetPins({H(kEa), H(kProg)});
    Ep3.VccPin(0);
    Success("Erased..");
}

void Sm59Form::SecrityClick() {
    Row();
    Status("Locking");
    PowerUp51();
    SetAddress51(0);
    Ep3.SetPortMode(PortModeReset);
    Ep3.UsbPut2(OpPutData51, 0xFF);
    if (!Ep3.CheckCurrent()) return;
    if (sm59264_) {
        SetModePins51(3);
        SetPins({H(kRst), H(kPsen), H(kEa), H(kP37)});
        Put1(OpWait1ms);
        SetModePins51(1);
        SetPins({L(kEa), L(kP37), H(kP37)});
        Waits(OpWaitPulse, 3);
        Ep3.PinHigh(kEa);
        SetModePins51(3);
        Put1(OpWaitSettle);
        Ep3.VccPin(0);
        Success("OK");
        return;
    }
    SetModePins51(1);
    SetPins({L(kEa), H(kPsen), L(kProg), L(kP37), H(kP37)});
    Waits(OpWaitPulse, 3);
    SetPins({H(kProg), H(kEa)});
    Ep3.VccPin(0);
    Success("Locked..");
}

void Sm59Form::IspCycle(const char* status, bool program) {
    Row();
    if (!PreCheck51()) return;
    Status(status);
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    SetAddress51(0x100);
    Ep3.UsbPut2(OpPutData51, 0xFF);
    SetPins({H(kP37), H(kPsen), L(kProg), L(kEa)});
    SetModePins51(0);
    if (program) {
        const int n = ItemIndex("RadioGroup1");
        SetAddress51(2 * (n | 0x80));
        SetPins({H(13), H(11), H(10)});
    } else {
        Ep3.PinHigh(13);
    }
    if (!Ep3.CheckCurrent()) return;
    SetPins({L(kP37), H(kP37)});
    if (program) Waits(OpWaitPulse, 2);
    else Put1(OpWaitSettle);
    SetPins({H(kEa), H(kProg)});
    Ep3.VccPin(0);
    Success(program ? "OK" : "Erase end..");
}

void Sm59Form::Button2Click() { IspCycle("Erase ISP.", false); }

void Sm59Form::Button3Click() { IspCycle("Config ISP...", true); }

void Sm59Form::Button4Click() {
    Row();
    if (!PreCheck51()) return;
    Status("Read.");
    PowerUp51();
    ReadSetting(1);
    if (!Ep3.CheckCurrent()) return;
    Flush();
    ReadBlock(Ep3.UsbReplyBuf.data());
    SetPins({H(kEa), H(kProg)});
    Ep3.VccPin(0);
    const int c = Ep3.UsbReplyBuf[0];
    if (c >= 16) {
        Status("Blank of configration.");
        Choose("RadioGroup1", 0);
        return;
    }
    char text[48];
    std::snprintf(text, sizeof text, "ISP=%d,(%d bytes)", c, c * 512);
    Status(text);
    Choose("RadioGroup1", c > 8 ? 8 : c);
}

void Sm59Form::Button1Click() {
    Row();
    std::vector<BatchStep> steps;
    if (!sm59264_) {
        steps.push_back({"CheckBox6", [this] { Button2Click(); }});
        steps.push_back({"CheckBox7", [this] { Button3Click(); }});
    }
    steps.push_back({"CheckBox1", [this] { EraseClick(); }});
    steps.push_back({"CheckBox2", [this] { BlankClick(); }});
    steps.push_back({"CheckBox3", [this] { WriteClick(); }});
    steps.push_back({"CheckBox4", [this] { VerifyClick(); }});
    steps.push_back({"CheckBox5", [this] { SecrityClick(); }});
    if (sm59264_) {
        RunBatchDip51(steps);
        return;
    }
    RunBatch51(steps);
}

QUILLA_FORM(TSm59064x);
QUILLA_FORM(TSm59264x);

}  // namespace quilla
