#include "algo/mcs51/sm8951.h"

#include <string>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 9, kXtal2 = 18, kXtal1 = 19, kPsen = 29, kProg = 30, kEa = 31;

// Erase pulses of the TSm8951x rows.
constexpr int kErasePulses[] = {0, 8, 8, 16, 32, 64};

const char* FormCaption(Sm51Form::Variant v) {
    switch (v) {
        case Sm51Form::Variant::Sm8951: return "Sm8951x";
        case Sm51Form::Variant::Sm89516: return "Sm89516(2004)";
        default: return "Sm2952";
    }
}

const Sm51Row kSm8951Row{
    .VccMv = 4400,
    .VppMv = 12000,
    .PowerUpPins = {H(kProg), H(kPsen), H(15), H(10), H(11), H(12), H(13), H(14), L(16), L(17), H(kEa)},
    .AfterVccPins = {L(kRst), H(kRst)},
    .PowerUpSettles = true,
    .ModePins = 3,
    .PulseLow = {L(kProg)},
    .PulseHigh = {H(kProg)},
    .ReadPins = {H(15), H(kProg), L(kProg), L(kPsen), L(10), L(11), L(12)},
    .WritePins = {L(15), H(kPsen), H(kProg), H(13), H(14)},
    .WriteAddressPins = {L(10), H(11), L(12)},  // mode 2
    .WriteEndPins = {L(10), L(11), L(12)},
};

const Sm51Row kSm89516Row{
    .VccMv = 4400,
    .VppMv = 12000,
    .PowerUpPins = {H(10), H(11), H(12), H(13), H(14), H(15), H(kEa)},
    .AfterVccPins = {L(kRst), H(kRst), H(kPsen), L(kProg)},
    .PowerUpSettles = true,
    .ModePins = 6,
    .PulseLow = {L(kProg)},
    .PulseHigh = {H(kProg)},
    .ReadPins = {H(10), H(11), H(12), H(13), H(14), H(15), L(kPsen)},
    .ReadEndPins = {H(kPsen)},
    .WritePins = {H(10), H(11), H(12), L(13), H(14), L(15), H(kPsen), H(kProg)},  // mode 23
    .WriteEndPins = {L(10), L(11), L(12), L(13), L(14), L(15)},
};

const Sm51Row kSm2952Row{
    .VccMv = 5000,
    .VppMv = 12500,
    .XtalOption = true,
    .PowerUpPins = {H(kProg), L(kProg), L(kPsen), H(15), H(10), H(11), H(12), H(13), H(14), L(16), L(17), H(kEa)},
    .AfterVccPins = {L(kRst), H(kRst)},
    .ModePins = 3,
    .PulseLow = {L(15), L(13), L(kProg)},
    .PulseHigh = {H(13), H(kProg), H(15)},
    .PulseWait = OpWaitPulse,
    .ReadPins = {H(15), H(kProg), L(kProg), L(kPsen)},
    .StatusAfterPowerUp = true,
    .WritePins = {H(15), H(kPsen), H(kProg), H(13), H(14)},
};

const Sm51Row& RowOf(Sm51Form::Variant v) {
    switch (v) {
        case Sm51Form::Variant::Sm8951: return kSm8951Row;
        case Sm51Form::Variant::Sm89516: return kSm89516Row;
        default: return kSm2952Row;
    }
}

}  // namespace

Sm51Form::Sm51Form(Workbench& w, Variant v)
    : SyncMos51Form(w, FormCaption(v), RowOf(v)), variant_(v) {
    DeclareStatus();
    DeclareButtons51(LockReadExitButtons51(this));
    if (v == Variant::Sm2952)
        AddRadio("RadioGroup1", "Erase   ", {"0.2S  ", "0.4S  ", "0.8S  "}, 1);
    else
        AddRadio("RadioGroup1", "Delay ", {"30uS", "50uS", "100uS"}, 0);
    DeclareBatch({{"CheckBox1", "Erase "},
                  {"CheckBox2", "Blank?  "},
                  {"CheckBox3", "Write."},
                  {"CheckBox4", "Vrfy"},
                  {"CheckBox5", "Lock"}},
                 " Run  ", [this] { Button1Click(); });
    FillVariantTable();
}

void Sm51Form::FillVariantTable() {
    switch (variant_) {
        case Variant::Sm8951:
            // Rows 3 and 4 cover the 16 and 32 KiB their names and erase counts give.
            Table = {{"Exit", 0},
                     {"1: SM8951A 4K", 0x0FFF},
                     {"2: SM8952A 8K", 0x1FFF},
                     {"3: SM8954C 16K", 0x3FFF},
                     {"4: SM8958C  32", 0x7FFF},
                     {"5: SM89516C 64K", 0xFFFF}};
            break;
        case Variant::Sm89516:
            Table = {{"Exit", 0},
                     {"1: SMxxx  4K", 0x0FFF},
                     {"2: SM8908  8K", 0x1FFF},
                     {"3: SMxxx  8K", 0x1FFF},
                     {"4: SM8954A  16K", 0x3FFF},
                     {"5: SM8958A  32K", 0x7FFF},
                     {"6: SM89516A 64K", 0xFFFF}};
            break;
        case Variant::Sm2952:
            Table = {{"Exit", 0},
                     {"1: SM2951  4K", 0x0FFF},
                     {"2: SM2952  8K", 0x1FFF},
                     {"3: SM2953  8K", 0x1FFF},
                     {"4: SM2954  16K", 0x3FFF}};
            break;
    }
    if (const Mcs51Row* r = SelectedRow()) Put(kType, r->Name.size() > 2 ? r->Name.substr(2) : std::string());
}

void Sm51Form::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    FillVariantTable();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    if (variant_ != Variant::Sm2952) Put(kType, wb.sel.TypeText);
    wb.FileNew();
    ShowRowRange(*SelectedRow());
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVcc(k_.VccMv);
    Ep3.SetVpp(k_.VppMv);
}

void Sm51Form::OnClose() { Ep3.PowerOff(); }

// ---- routines --------------------------------------------------------------------------------

int Sm51Form::PreCheck51() {
    if (!ContactTest()) return 0;
    Ep3.GndPin(GndPinNo);
    Ep3.VccPin(VccPinNo);
    return 1;
}

void SyncMos51Form::PowerUp51() {
    Ep3.GndPin(GndPinNo);
    if (k_.SuppliesFirst) {
        Ep3.SetVpp(0);
        Ep3.SetVcc(k_.VccMv);
    }
    Ep3.SetPinOption(k_.OptionOnVccPin ? VccPinNo : 40, 1);
    Ep3.VccPin(0);
    Ep3.ClockPin(0);
    Ep3.SetPinOption(kXtal2, 1);
    if (k_.HandClocks) {
        Ep3.SetPinOption(kXtal1, 0);
        Ep3.PinLow(kXtal1);
    } else {
        if (k_.XtalOption) Ep3.SetPinOption(kXtal1, 1);
        Ep3.ClockPin(kXtal1);
    }
    Ep3.SetPortMode(PortMode51Read);
    SetPins(k_.PowerUpPins);
    Ep3.VccPin(VccPinNo);
    SetPins(k_.AfterVccPins);
    for (int i = 0; i < k_.HandClocks; ++i) SetPins({H(kXtal1), L(kXtal1)});
    if (k_.PowerUpSettles) Put1(OpWaitSettle);
    Flush();
}

void Sm51Form::SetModePins51(unsigned mask) {
    for (int b = 0; b < k_.ModePins; ++b) Ep3.SetPin((mask >> b) & 1u, 10 + b);
}

void SyncMos51Form::ProgramByte51(std::uint8_t b) {
    D(b);
    SetPins(k_.PulseLow);
    if (k_.PulseWait) {
        Put1(k_.PulseWait);
    } else {
        static constexpr std::uint8_t kDelay[] = {OpNop, OpWait100us, OpWaitPulse};
        const int item = ItemIndex("RadioGroup1");
        Put1(kDelay[item >= 0 && item < 3 ? item : 0]);
    }
    SetPins(k_.PulseHigh);
}

void Sm51Form::EraseStep51() {
    SetPins({L(15), L(10), L(kProg), H(10)});
    Waits(OpWait100ms, 2);
    SetPins({H(kProg), H(15)});
    Put1(OpWait100ms);
    Flush();
}

void Sm51Form::ReadSetting() { SetPins(k_.ReadPins); }

// ---- the handlers -----------------------------------------------------------------------------------

void Sm51Form::ReadRom() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!k_.StatusAfterPowerUp) Status("Read.");
    PowerUp51();
    if (k_.StatusAfterPowerUp) Status("Read.");
    ReadSetting();
    if (!CheckCurrent()) return;
    Flush();
    ReadImage51(r);
    ShowProgress(r.LastAddress);
    Ep3.VccPin(0);
    SetPins(k_.ReadEndPins);
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void Sm51Form::BlankClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!k_.StatusAfterPowerUp) Status("Blank CHK");
    PowerUp51();
    if (!CheckCurrent()) return;
    if (k_.StatusAfterPowerUp) Status("Blank CHK");
    ReadSetting();
    BlankBlocks51(r, [this] { SuppliesOff(); }, [this] { Ep3.VccPin(0); });
}

void Sm51Form::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    PowerUp51();
    Status("Verify.");
    ReadSetting();
    if (!CheckCurrent()) return;
    CheckBlocks51(r, kVerifyPass51, [this] { Ep3.VccPin(0); });
}

void Sm51Form::WriteClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51()) return;
    if (!NeedFileWindow()) return;
    Status("Write");
    PowerUp51();
    SetPins(k_.WritePins);
    Ep3.SetPortMode(PortModeReset);
    SetAddress51(0);
    SetPins(k_.WriteAddressPins);
    Ep3.PinHigh(kEa);
    Ep3.VppPin(VppPinNo);
    if (!CheckCurrent()) return;
    PageLoop51(r, [this](std::uint8_t v) { ProgramByte51(v); });
    ShowProgress(r.LastAddress);
    SetPins(k_.WriteEndPins);
    SuppliesOff();
    Success("OK");
}

void Sm51Form::EraseClick() {
    Row();
    if (!PreCheck51()) return;
    Status("Erasing");
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    switch (variant_) {
        case Variant::Sm8951: {
            SetAddress51(0xFFFF);
            D(0xFF);
            SetPins({H(13), H(14), H(15), H(kPsen), L(kProg), H(kEa)});
            Ep3.VppPin(VppPinNo);
            if (!CheckCurrent()) return;
            SetPins({L(13), L(15)});
            const int v = wb.sel.VariantIndex;
            const int pulses = v >= 0 && v < 6 ? kErasePulses[v] : 0;
            for (int i = 0; i < pulses; ++i) {
                SetModePins51(1);
                Waits(OpWait1ms, 6);
                SetModePins51(0);
                Flush();
            }
            SetPins({H(13), H(15)});
            SuppliesOff();
            Success("Erased..");
            break;
        }
        case Variant::Sm89516:
            SetModePins51(30);
            SetPins({H(kPsen), H(kEa), H(kPsen), H(kProg)});
            Ep3.VppPin(VppPinNo);
            if (!CheckCurrent()) return;
            Ep3.PinLow(kProg);
            for (int i = 1; i <= 10; ++i) {
                Put1(OpWait100ms);
                Flush();
                Status("Erase: " + std::to_string(i));
            }
            Ep3.PinHigh(kProg);
            SuppliesOff();
            Success("OK");
            break;
        case Variant::Sm2952:
            SetAddress51(0xFFFF);
            D(0xFF);
            SetPins({H(13), H(15), H(kEa)});
            Ep3.VppPin(VppPinNo);
            if (!CheckCurrent()) return;
            EraseStep51();
            EraseStep51();
            SuppliesOff();
            Success("Erased..");
            break;
    }
}

void Sm51Form::SecrityClick() {
    Row();
    Status("Locking");
    PowerUp51();
    SetAddress51(0);
    Ep3.SetPortMode(PortModeReset);
    switch (variant_) {
        case Variant::Sm8951:
            D(0xFF);
            Ep3.VppPin(VppPinNo);
            if (!CheckCurrent()) return;
            SetPins({H(kPsen), H(13), H(14), L(kProg), L(15)});
            SetModePins51(3);
            Waits(OpWaitPulse, 3);
            SetModePins51(0);
            SetPins({H(kProg), H(15)});
            SuppliesOff();
            Success("Locked..");
            break;
        case Variant::Sm89516:
            SetModePins51(15);
            SetPins({H(kPsen), H(kProg)});
            Ep3.VppPin(VppPinNo);
            // The current is checked once 12 V is routed: an over-current ends Lock.
            if (!CheckCurrent()) return;
            Ep3.PinLow(kProg);
            Waits(OpWaitPulse, 3);
            Ep3.PinHigh(kProg);
            SuppliesOff();
            Success("OK");
            break;
        case Variant::Sm2952:
            D(0x00);
            SetPins({H(14), H(kProg), H(15), H(10)});
            Ep3.VppPin(VppPinNo);
            if (!CheckCurrent()) return;
            SetPins({H(kPsen), L(15), L(14), L(kProg), H(14), H(15), H(kProg), L(kPsen)});
            SuppliesOff();
            Success("Locked..");
            break;
    }
}

void Sm51Form::Button1Click() {
    Row();
    RunBatch51({{"CheckBox1", [this] { EraseClick(); }},
                {"CheckBox2", [this] { BlankClick(); }},
                {"CheckBox3", [this] { WriteClick(); }},
                {"CheckBox4", [this] { VerifyClick(); }},
                {"CheckBox5", [this] { SecrityClick(); }}});
}

QUILLA_FORM(TSm8951x);
QUILLA_FORM(TSm89516x);
QUILLA_FORM(TSm2952);

}  // namespace quilla
