#include "algo/mcs51/sm8951.h"

#include <string>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using namespace steps51;
using enum Do51;
using namespace sm51;
using win::Radio;

namespace {

constexpr int kRst = 9, kXtal2 = 18, kXtal1 = 19, kPsen = 29, kProg = 30, kEa = 31;

const std::vector<std::string> kDelayItems = {"30uS", "50uS", "100uS"};
const Steps51 kSmPulse = {L(kProg), RadioDelay, H(kProg)};
// An erase pulse of the SM8951 (the line's count of them); an erase step of the SM2952 (two).
const Steps51 kSmErasePulse = {Mode("100"), Wait(OpWait1ms, 6), Mode("000"), Flush};
const Steps51 kSm2952EraseStep = {L(15), L(10), L(kProg), H(10), Wait(OpWait100ms, 2), H(kProg), H(15),
                                  Wait(OpWait100ms), Flush};

const Sm51Profile kSm8951Profile{
    .Caption = "Sm8951x",
    // Rows 3 and 4 cover the 16 and 32 KiB their names and erase counts give.
    .Parts = {{"Exit", 0},                 {"1: SM8951A 4K", 0x0FFF},   {"2: SM8952A 8K", 0x1FFF},
              {"3: SM8954C 16K", 0x3FFF}, {"4: SM8958C  32", 0x7FFF}, {"5: SM89516C 64K", 0xFFFF}},
    .Window = win::Join({{Radio({"RadioGroup1", "Delay "}, kDelayItems, 0)}, UsualBatchRows51("Lock")}),
    .Type = Sm51Profile::TypeShown::Line,
    .VccMv = 4400,
    .VppMv = 12000,
    .PowerUpPins = {H(kProg), H(kPsen), H(15), H(10), H(11), H(12), H(13), H(14), L(16), L(17), H(kEa)},
    .AfterVccPins = {L(kRst), H(kRst)},
    .PowerUpSettles = true,
    .ModePins = {10, 11, 12},
    .Pulse = kSmPulse,
    .ReadPins = {H(15), H(kProg), L(kProg), L(kPsen), L(10), L(11), L(12)},
    .StatusAt = {0, 0, 1},
    .Write = {L(15), H(kPsen), H(kProg), H(13), H(14), ResetMode, At(0), L(10), H(11), L(12), H(kEa),
              VppOn, CheckCurrent},
    .WriteEnd = {L(10), L(11), L(12), Off},
    .Erase = {ResetMode, At(0xFFFF), Data(0xFF), H(13), H(14), H(15), H(kPsen), L(kProg), H(kEa), VppOn,
              CheckCurrent, L(13), L(15), ByLine(kSmErasePulse), H(13), H(15), Off},
    .ErasePulses = {0, 8, 8, 16, 32, 64},
    .Lock = {At(0), ResetMode, Data(0xFF), VppOn, CheckCurrent, H(kPsen), H(13), H(14), L(kProg), L(15),
             Mode("110"), Wait(OpWaitPulse, 3), Mode("000"), H(kProg), H(15), Off},
};

const Sm51Profile kSm89516Profile{
    .Caption = "Sm89516(2004)",
    .Parts = {{"Exit", 0},                  {"1: SMxxx  4K", 0x0FFF},     {"2: SM8908  8K", 0x1FFF},
              {"3: SMxxx  8K", 0x1FFF},    {"4: SM8954A  16K", 0x3FFF},  {"5: SM8958A  32K", 0x7FFF},
              {"6: SM89516A 64K", 0xFFFF}},
    .Window = win::Join({{Radio({"RadioGroup1", "Delay "}, kDelayItems, 0)}, UsualBatchRows51("Lock")}),
    .Type = Sm51Profile::TypeShown::Line,
    .VccMv = 4400,
    .VppMv = 12000,
    .PowerUpPins = {H(10), H(11), H(12), H(13), H(14), H(15), H(kEa)},
    .AfterVccPins = {L(kRst), H(kRst), H(kPsen), L(kProg)},
    .PowerUpSettles = true,
    .ModePins = {10, 11, 12, 13, 14, 15},
    .Pulse = kSmPulse,
    .ReadPins = {H(10), H(11), H(12), H(13), H(14), H(15), L(kPsen)},
    .StatusAt = {0, 0, 1},
    .ReadEnd = {VccOff, H(kPsen)},
    .Write = {H(10), H(11), H(12), L(13), H(14), L(15), H(kPsen), H(kProg),  // mode 23
              ResetMode, At(0), H(kEa), VppOn, CheckCurrent},
    .WriteEnd = {L(10), L(11), L(12), L(13), L(14), L(15), Off},
    .Erase = {ResetMode, Mode("011110"), H(kPsen), H(kEa), H(kPsen), H(kProg), VppOn, CheckCurrent, L(kProg),
              Ticks(10), H(kProg), Off},
    .ErasedText = "OK",
    // The current is checked once 12 V is routed: an over-current ends Lock.
    .Lock = {At(0), ResetMode, Mode("111100"), H(kPsen), H(kProg), VppOn, CheckCurrent, L(kProg),
             Wait(OpWaitPulse, 3), H(kProg), Off},
    .LockedText = "OK",
};

const Sm51Profile kSm2952Profile{
    .Caption = "Sm2952",
    .Parts = {{"Exit", 0},               {"1: SM2951  4K", 0x0FFF}, {"2: SM2952  8K", 0x1FFF},
              {"3: SM2953  8K", 0x1FFF}, {"4: SM2954  16K", 0x3FFF}},
    .Window = win::Join({{Radio({"RadioGroup1", "Erase   "}, {"0.2S  ", "0.4S  ", "0.8S  "}, 1)},
                         UsualBatchRows51("Lock")}),
    .VppMv = 12500,
    .XtalOption = true,
    .PowerUpPins = {H(kProg), L(kProg), L(kPsen), H(15), H(10), H(11), H(12), H(13), H(14), L(16), L(17), H(kEa)},
    .AfterVccPins = {L(kRst), H(kRst)},
    .Pulse = {L(15), L(13), L(kProg), Wait(OpWaitPulse), H(13), H(kProg), H(15)},
    .ReadPins = {H(15), H(kProg), L(kProg), L(kPsen)},
    .StatusAt = {1, 2, 1},
    .Write = {H(15), H(kPsen), H(kProg), H(13), H(14), ResetMode, At(0), H(kEa), VppOn, CheckCurrent},
    .WriteEnd = {Off},
    // Two erase steps, each P3.0 high with PROG low for 200 ms.
    .Erase = {ResetMode, At(0xFFFF), Data(0xFF), H(13), H(15), H(kEa), VppOn, CheckCurrent,
              Step51(kSm2952EraseStep, 2), Off},
    .Lock = {At(0), ResetMode, Data(0x00), H(14), H(kProg), H(15), H(10), VppOn, CheckCurrent, H(kPsen), L(15),
             L(14), L(kProg), H(14), H(15), H(kProg), L(kPsen), Off},
};

}  // namespace

TSm8951x::TSm8951x(Workbench& w) : SyncMos51Form(w, kSm8951Profile) {}
TSm89516x::TSm89516x(Workbench& w) : SyncMos51Form(w, kSm89516Profile) {}
TSm2952::TSm2952(Workbench& w) : SyncMos51Form(w, kSm2952Profile) {}

// ---- the window and setup ----------------------------------------------------------------

SyncMos51Form::SyncMos51Form(Workbench& w, const Sm51Profile& row)
    : Flow51Form(w, row.Caption, {21, 22, 23, 24, 25, 26, 27, 28}, row.ModePins, row.Pulse), k_(row) {
    using F = SyncMos51Form;
    DeclareControls(win::Join({StatusRows51(), LockReadExitButtons51(), k_.Window}), this,
                    Handlers51<F>({{"Button2", &F::Button2Click}, {"Button3", &F::Button3Click},
                                   {"Button4", &F::Button4Click}}));
    FillVariantTable();
}

void SyncMos51Form::FillVariantTable() {
    Table = k_.Parts;
    if (const Mcs51Row* r = SelectedRow()) Put(kType, r->Name.size() > 2 ? r->Name.substr(2) : std::string());
}

void SyncMos51Form::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    auto supplies = [this] {
        if (k_.VppFirst) Ep3.SetVpp(k_.VppMv);
        Ep3.SetVcc(k_.VccMv);
        if (!k_.VppFirst) Ep3.SetVpp(k_.VppMv);
    };
    if (k_.EarlySupplies && Ep3.Connected) supplies();
    FillVariantTable();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    if (k_.Type == Sm51Profile::TypeShown::Line) Put(kType, wb.sel.TypeText);
    wb.FileNew();
    ShowRowRange(*SelectedRow());
    if (k_.Type == Sm51Profile::TypeShown::Device) Put(kType, wb.sel.SelectedDevice);
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    if (!k_.EarlySupplies) supplies();
}

// ---- the routines -------------------------------------------------------------------------

int SyncMos51Form::PreCheck51() {
    if (!(k_.DipContact ? DipContact51() : ContactTest())) return false;
    Run(k_.Powered);
    return true;
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
    Ep3.SetPortMode(k_.PowerUpPort);
    SetPins(k_.PowerUpPins);
    Ep3.VccPin(VccPinNo);
    if (k_.AllLowAfterVcc) Ep3.SetAllPins(0);
    SetPins(k_.AfterVccPins);
    for (int i = 0; i < k_.HandClocks; ++i) SetPins({H(kXtal1), L(kXtal1)});
    if (k_.PowerUpSettles) Put1(OpWaitSettle);
    Flush();
}

int SyncMos51Form::LineRepeats51() const {
    const int v = wb.sel.VariantIndex, rows = static_cast<int>(k_.ErasePulses.size());
    return v >= 0 && v < rows ? k_.ErasePulses[static_cast<std::size_t>(v)] : 0;
}

bool SyncMos51Form::OwnStep(int kind) {
    static constexpr std::uint8_t kDelay[] = {OpNop, OpWait100us, OpWaitPulse};
    switch (kind) {
        case sm51::kIspAddress: StepAddress51(2 * (ItemIndex("RadioGroup1") | 0x80)); break;
        case sm51::kRadioWaits: Waits(OpWait100ms, k_.EraseWaits[static_cast<std::size_t>(Radio51(1))]); break;
        case sm51::kRadioDelay: Put1(kDelay[Radio51(0)]); break;
        default:
            for (int i = 1; i <= kind - sm51::kTicks; ++i) {
                Put1(OpWait100ms);
                Flush();
                Status("Erase: " + std::to_string(i));
            }
    }
    return true;
}

int SyncMos51Form::Radio51(int otherwise) const {
    const int item = ItemIndex("RadioGroup1");
    return item >= 0 && item < 3 ? item : otherwise;
}

bool SyncMos51Form::StartRead51(int op, const char* status) {
    const int at = k_.StatusAt[static_cast<std::size_t>(op)];
    const bool currentFirst = op == 1 && k_.BlankCurrentFirst;
    if (at == 0) Status(status);
    PowerUp51();
    if (at == 1) Status(status);
    if (currentFirst && !Ep3.CheckCurrent()) return false;
    if (at == 2) Status(status);
    Run(k_.ReadPins);
    return currentFirst || Ep3.CheckCurrent() != 0;
}

Mcs51Row SyncMos51Form::CheckedRow() {
    Mcs51Row r = Row();
    if (!k_.Isp) return r;
    const int isp = 512 * ItemIndex("RadioGroup1");
    if (r.LastAddress - isp < 0)
        Refuse(FormatText("ISP area of %d bytes does not fit the chip: nothing checked", isp));
    r.LastAddress -= isp;
    return r;
}

void SyncMos51Form::CheckAll(const Mcs51Row& r, bool verify) {
    const auto end = [this] { Run(k_.CheckEnd); };
    if (verify)
        CheckBlocks51(r, k_.VerifyPass, [this] { Run(k_.VerifyFault); }, end);
    else
        CheckBlocks51(r, k_.BlankPass, [this] { SuppliesOff(); }, end);
}

void SyncMos51Form::Sequence51(const char* status, const Steps51& steps, const char* done, bool pre) {
    Row();
    if (pre && !PreCheck51()) return;
    Status(status);
    PowerUp51();
    if (Run(steps)) Success(done);
}

// ---- the handlers -----------------------------------------------------------------------------------

void SyncMos51Form::ReadRom() {
    const Mcs51Row& r = Row();
    if (PreCheck51() && StartRead51(0, "Read.")) ReadRest51(r, k_.ReadEnd);
}

void SyncMos51Form::BlankClick() {
    const Mcs51Row r = CheckedRow();
    if (PreCheck51() && StartRead51(1, "Blank CHK")) CheckAll(r, false);
}

void SyncMos51Form::VerifyClick() {
    const Mcs51Row r = CheckedRow();
    if (PreCheck51() && StartRead51(2, "Verify.")) CheckAll(r, true);
}

void SyncMos51Form::WriteClick() {
    const Mcs51Row& r = Row();
    if (!PreCheck51() || !NeedFileWindow()) return;
    Status(k_.WriteText);
    PowerUp51();
    if (Run(k_.Write)) WriteRest51(r, k_.WriteEnd);
}

void SyncMos51Form::WriteAll(const Mcs51Row& r) {
    if (k_.ByteCommand.empty()) return Flow51Form::WriteAll(r);
    for (std::int32_t a = 0; a < r.LastAddress; a += kBlock) {
        ShowProgress(a);
        for (int i = 0; i < kBlock; ++i) {
            Run(k_.ByteCommand);
            BusWrite(a + i, *Image(a + i));
            Run(k_.ByteAfter);
        }
        Flush();
    }
}

void SyncMos51Form::EraseClick() {
    Row();
    UnprotectStep51();
    Sequence51("Erasing", k_.Erase, k_.ErasedText);
}

void SyncMos51Form::SecrityClick() { Sequence51("Locking", k_.Lock, k_.LockedText, false); }

void SyncMos51Form::Button1Click() {
    Row();
    // The contact test once before the first pass; the file check before the passes.
    if (k_.BatchChecksFirst && (!PreCheck51() || !BatchFileOk51())) return;
    // The ISP size's boxes first (the SM59064 window).
    using F = SyncMos51Form;
    std::vector<BatchStep> steps;
    if (k_.Isp) steps = BatchSteps<F>(this, {{"CheckBox6", &F::Button2Click}, {"CheckBox7", &F::Button3Click}});
    for (BatchStep& s : BatchSteps<Mcs51Form>(this, kUsualBatch51)) steps.push_back(std::move(s));
    if (k_.DipContact)
        RunBatchDip51(steps);
    else
        RunBatch51(steps);
}

QUILLA_FORM(TSm8951x);
QUILLA_FORM(TSm89516x);
QUILLA_FORM(TSm2952);

}  // namespace quilla
