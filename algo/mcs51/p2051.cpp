#include "algo/mcs51/p2051.h"

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 11, kP30 = 12, kXtal1 = 15, kProg = 16, kP33 = 17, kP34 = 18, kP35 = 19, kGnd = 20;
constexpr int kP37 = 21, kVcc = 30;
constexpr std::uint32_t kMask20 = 0x3FFFFC00u;  // socket pins 11-30
constexpr int kGroup = 64;
constexpr int kSampleMode = 9;

// P3.3, P3.4, P3.5, P3.7 of the modes.
constexpr const char *kRead = "LLHH", *kWrite = "LHHH", *kErase = "HLLL", *kSignature = "LLLL";
constexpr const char *kLock1 = "HHHH", *kLock2 = "HHLL";

using F = Mcs51Form;
using win::PushButton;

const P2051Profile kP2051Profile{
    .Caption = "P205x",
    .Parts = {{"Exit", 0}, {"1: 89C1051 (1k)", 0x03FF}, {"2: 89C2051 (2k)", 0x07FF}, {"3: 89C4051 (4k)", 0x0FFF}},
    .Window = win::Join({{PushButton({"Read1", "Read  "}), PushButton({"Blank", "Blank?  "}),
                          PushButton({"Verify", "Verf."}), PushButton({"Write", "Write "}),
                          PushButton({"Erase", "Erase"}), PushButton({"Secrity", "Lock "}),
                          PushButton({"ID", "MFG ID  "}),
                          win::Radio({"RadioGroup1", "LockMode"}, {"1:No Wrt. ", "2:Lock"}, 1),
                          win::Radio({"RadioGroup2", "Delay "}, {"Mid.", "Vrfy慢", "S.++"}, 0)},
                         BatchRows51({{"CheckBox1", "Erase "}, {"CheckBox2", "BLK?"}, {"CheckBox3", "Write "},
                                      {"CheckBox4", "Vrfy"}, {"CheckBox5", "Lock"}},
                                     " Run ")}),
    .Batch = kUsualBatch51,
    .ReadOrder = "CPS",
    .BlankOrder = "CSPF",
    .Texts = {.Read = "Read.", .ReadDone = "OK", .BlankDone = "OK!", .Verify = "Verify.", .VerifyDone = "OK!!!"},
};

const P2051Profile kP97c205Profile{
    .Caption = "P97c205x",
    .Parts = {{"Exit", 0}, {"1: 97C1051 (1k)", 0x03FF}, {"2: 97C2051 (2k)", 0x07FF}},
    .Window = win::Join({{PushButton({"Read1", "Read  "}), PushButton({"Blank", "Blank?  "}),
                          PushButton({"Verify", "Verify  "}), PushButton({"Write", "Write "}),
                          PushButton({"Secrity", "Lock "}), PushButton({"ID", ""}), PushButton({"CancelBtn", "Exit "})},
                         BatchRows51({{"CheckBox1", "Blank?"}, {"CheckBox2", "Write "}, {"CheckBox3", "Vrfy"},
                                      {"CheckBox4", "Lock"}},
                                     " Run ")}),
    .Batch = {{"CheckBox1", &F::BlankClick}, {"CheckBox2", &F::WriteClick}, {"CheckBox3", &F::VerifyClick},
              {"CheckBox4", &F::SecrityClick}},
    .Otp = true,
    .ReadOrder = "PCSF",
    .BlankOrder = "PSC",
    .Texts = {.Read = "Reading data ........", .ReadDone = "Data in buffer..", .BlankDone = "Blank",
              .Verify = "Verifying..", .VerifyDone = "Data OK.."},
};

// The 97C parts' signature check: "Maybe locked" when the first byte reads FF.
constexpr IdCheck51 kOtpId{.ClearsErrorFlag = false,
                           .LockedFirst = false,
                           .LockedQuestion = "Maybe locked, continue?",
                           .WrongNoSetsError = false};

}  // namespace

TP2051x::TP2051x(Workbench& w) : P2051Form(w, kP2051Profile) {}
TP97c205x::TP97c205x(Workbench& w) : P2051Form(w, kP97c205Profile) {}

P2051Form::P2051Form(Workbench& w, const P2051Profile& row) : Mcs51Form(w, row.Caption, {}), k_(row) {
    DeclareControls(win::Join({StatusRows51(), k_.Window}), this, Handlers51<P2051Form>());
    FillVariantTable();
}

void P2051Form::FillVariantTable() {
    Table = k_.Parts;
    if (k_.Otp) Put(kType, wb.sel.TypeText);
}

void P2051Form::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    FillVariantTable();
    // The design of the 20-pin area: not whatever the form used last left behind.
    Ep3.LoadBitFile("vex300.bit");
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    if (k_.Otp) AlgoForm::Show();
    Put(kType, wb.sel.TypeText);
    ShowRowRange(*SelectedRow());
    AlgoForm::Show();
    // The OTP chip's 5 V, not whatever level the form used last left.
    if (k_.Otp && Ep3.Connected) Ep3.SetVcc(5000);
}

// ---- the routines ----------------------------------------------------------------------------------

bool P2051Form::Seated() {
    // An empty socket reads as blank, verifies an 0xFF image and reads back a
    // lock: the chip is looked for first.
    return Ep3.TestPinContact(kGnd, kMask20, 0) != 0;
}

int P2051Form::CheckDeviceId() {
    return CheckDeviceIdWith(kOtpId, [this] { IDClick(); });
}

int P2051Form::PowerUp51() {
    steps_ = 0;
    if (k_.Otp) {
        Ep3.SetPortMode(PortModeReset);
        for (std::uint8_t v : {0, 0xFF})
            for (int k = 1; k <= 3; ++k) Ep3.WriteLatch(k, v);
        Ep3.GndPin(kGnd);
        Ep3.VccPin(0);
        Ep3.VccPin(kVcc);
        Ep3.ClockPin(kXtal1);
        Ep3.SetVpp(12500);
        SetPins({H(kP30), L(kRst)});
        Put1(OpWaitSettle);
        SetPins({H(kRst), L(kP30)});
        Put1(OpWaitSettle);
        Flush();
        return 1;
    }
    if (!Ep3.CheckPinContact(kGnd, 0, kMask20, 0, 0)) return 0;
    Ep3.GndPin(kGnd);
    Ep3.SetVcc(5000);
    Ep3.SetVpp(0);
    Ep3.SetPortMode(PortModeReset);
    Ep3.ClockPin(0);
    Ep3.SetPortMode(kSampleMode);
    Ep3.SetPinOption(14, 1);
    Ep3.SetPinOption(kXtal1, 0);
    SetPins({L(kRst), L(kXtal1), H(kProg)});
    Flush();
    Ep3.VccPin(kVcc);
    Put1(OpWaitSettle);
    SetPins({H(kRst), H(kProg)});  // RST rising: the counter at 0
    Flush();
    return 1;
}

void P2051Form::Step() {
    if (!k_.Otp) {
        SetPins({H(kXtal1), L(kXtal1)});
        return;
    }
    steps_ = static_cast<std::uint8_t>(steps_ + 1);
    Ep3.SetPin(steps_ & 1, kP30);
}

void P2051Form::Setting(const char* levels) {
    const int pins[4] = {kP33, kP34, kP35, kP37};
    for (int i = 0; i < 4; ++i) Ep3.SetPin(levels[i] == 'H', pins[i]);
}

void P2051Form::ReadEnd() {
    if (!k_.Otp) Ep3.VppPin(0);
    Ep3.VccPin(0);
}

bool P2051Form::ReadMode(const char* order) {
    for (; *order; ++order) {
        if (*order == 'C' && !Ep3.CheckCurrent()) return false;
        if (*order == 'P') Ep3.SetPortMode(kSampleMode);
        if (*order == 'S') Setting(kRead);
        if (*order == 'F') Flush();
    }
    return true;
}

void P2051Form::ProgramByte51(std::uint8_t b) {
    Ep3.UsbPut2(OpPutPort, b);
    // The OTP parts: 25 pulses of 100 us; the flash parts one, then the Delay radio's pairs of 1 ms.
    for (int i = 0; i < (k_.Otp ? 25 : 1); ++i) {
        Ep3.PinLow(kProg);
        Put1(k_.Otp ? OpWait100us : OpWaitPulse);
        Ep3.PinHigh(kProg);
    }
    if (!k_.Otp) Waits(OpWait1ms, 2 * (ItemIndex("RadioGroup2") + 1));
}

bool P2051Form::HighVoltagePulse(const char* setting, bool erase) {
    if (!PowerUp51()) return false;
    Ep3.SetVpp(12000);
    if (!erase && !Ep3.CheckCurrent()) return false;
    Ep3.PinHigh(kProg);
    Setting(setting);
    if (erase) Flush();
    Ep3.VppPin(kRst);
    if (erase && !Ep3.CheckCurrent()) return false;
    Ep3.PinLow(kProg);
    Waits(erase ? OpWaitSettle : OpWaitPulse, erase ? 3 : 1);
    Ep3.PinHigh(kProg);
    if (!erase) Put1(OpWait100ms);
    Flush();
    Ep3.SetVpp(0);
    SuppliesOff();
    return true;
}

bool P2051Form::LockBitPulse51(int bit) {
    if (!k_.Otp) return HighVoltagePulse(bit == 1 ? kLock1 : kLock2, false);
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    Ep3.WriteLatch(3, 0xFF);
    Ep3.WriteLatch(2, bit == 1 ? 0xFF : 0xF3);  // P3.3, P3.4, P3.5, P3.7 through latch 2
    Ep3.VppPin(kRst);
    Ep3.WriteLatch(1, 0xFF);
    for (int i = 0; i < 25; ++i) SetPins({L(kProg), H(kProg)});
    Ep3.VppPin(0);
    Ep3.SetPortMode(kSampleMode);
    return true;
}

bool P2051Form::Groups(const Mcs51Row& r, bool intoImage, const GroupCheck51& check) {
    return Groups51(r.LastAddress + 1, intoImage, [this](std::int32_t) {
        for (int i = 0; i < kGroup; ++i) Put1(OpSamplePort), Step();
    }, check);
}

// ---- the handlers -------------------------------------------------------------------------------------

void P2051Form::ReadRom() {
    const Mcs51Row& r = Row();
    Status(k_.Texts.Read);
    if (!PowerUp51() || !ReadMode(k_.ReadOrder)) return;
    Groups(r, true);
    ReadEnd51(r.LastAddress, k_.Texts.ReadDone);
}

void P2051Form::BlankClick() {
    const Mcs51Row& r = Row();
    if (k_.Otp && (!Seated() || !CheckDeviceId())) return;
    if (!k_.Otp) Status("Blank CHK");
    if (!PowerUp51() || !ReadMode(k_.BlankOrder)) return;
    wb.ErrorFlag() = 0;
    // The flash parts switch the supplies off at a fault and before the success text.
    const auto off = [this] { if (!k_.Otp) SuppliesOff(); };
    CheckGroups(r, {.FaultStatus = "No empty.", .SuccessText = k_.Texts.BlankDone, .OffBeforeSuccess = true}, off,
                off);
}

void P2051Form::VerifyClick() {
    const Mcs51Row& r = Row();
    if (k_.Otp && (!NeedFileWindow("Must open a file first....") || !Seated())) return;
    Status(k_.Texts.Verify);
    if (!PowerUp51() || !ReadMode("CPSF")) return;
    // The flash parts switch both supplies off before "OK!!!", the OTP parts VCC after "Data OK..".
    CheckGroups(r, {.Verify = true, .SuccessText = k_.Texts.VerifyDone, .OffBeforeSuccess = !k_.Otp},
                [this] { Ep3.VccPin(0); }, [this] { ReadEnd(); });
}

bool P2051Form::CheckGroups(const Mcs51Row& r, const CheckPass51& pass, const std::function<void()>& off,
                            const std::function<void()>& endOff) {
    std::int32_t shown = r.LastAddress;  // the flash parts' Blank leaves the last group's address shown
    if (!Groups(r, false, [&](std::int32_t a, const std::uint8_t* b) {
            if (!k_.Otp && !pass.Verify) shown = a;
            return BlockChecked51(pass, a, b, off, kGroup);
        }))
        return false;
    PassEnd51(pass, shown, endOff);
    return true;
}

void P2051Form::WriteClick() {
    const Mcs51Row& r = Row();
    if (k_.Otp && (!Seated() || !CheckDeviceId())) return;
    if (!NeedFileWindow()) return;
    Status("Writing..");
    if (!PowerUp51()) return;
    if (!k_.Otp) {
        Ep3.SetVpp(12000);
        Ep3.SetPortMode(PortModeReset);
        Ep3.SetPinOption(13, 1);
        Ep3.PinHigh(kProg);
    }
    Setting(kWrite);
    if (k_.Otp) Ep3.SetVpp(12500);
    else Flush();
    Ep3.VppPin(kRst);
    if (!Ep3.CheckCurrent()) return;
    wb.ErrorFlag() = 0;
    // The whole chip, whatever EndAddr says.
    for (std::int32_t i = 0; i <= r.LastAddress; ++i) {
        ProgramByte51(*Image(i));
        Step();
        if ((i & 0xFF) == 0xFF) {
            ShowProgress(i);
            Flush();
        }
    }
    if (k_.Otp) {
        Ep3.VppPin(0);
        Success("Ended.");
        ShowProgress(r.LastAddress);
        SuppliesOff();
        return;
    }
    Ep3.PinLow(kRst);
    Flush();
    Ep3.SetVpp(0);
    SuppliesOff();
    Success("OK");
}

void P2051Form::EraseClick() {
    Row();
    Status("Erasing");
    if (!HighVoltagePulse(kErase, true)) return;
    Success("OK");
    wb.ErrorFlag() = 0;
}

void P2051Form::SecrityClick() {
    Row();
    if (k_.Otp && !Seated()) return;
    Status("Locking");
    if (!k_.Otp) {
        // A refused contact test or an over-current ends Lock: no next bit, no "OK".
        if (LockBitPulse51(1) && (ItemIndex("RadioGroup1") != 1 || LockBitPulse51(2))) Success("OK");
        return;
    }
    LockBitPulse51(1);
    LockBitPulse51(2);
    // The read-back: 129 captures at one address, fetched in replies of at most
    // 64 (a reply holds only the captures queued since the previous one).
    PowerUp51();
    ReadMode("PS");
    bool locked = true;
    for (int left = 129; left > 0;) {
        const int n = left < kGroup ? left : kGroup;
        Waits(OpSamplePort, n);
        Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
        for (int i = 0; i < n; ++i) locked = locked && Ep3.UsbReplyBuf[static_cast<std::size_t>(i)] == 0xFF;
        left -= n;
    }
    Ep3.VccPin(0);
    if (locked) {
        Success("Locked...");
        return;
    }
    Status("LockFail..");
    wb.ErrorFlag() = 1;
}

void P2051Form::IDClick() {
    Row();
    if (!PowerUp51()) return;
    Ep3.SetPortMode(kSampleMode);
    Setting(kSignature);
    Put1(OpSamplePort);
    Step();
    Put1(OpSamplePort);
    const std::uint8_t* b = Ep3.UsbReplyBuf.data();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    id[0] = b[0];
    id[1] = b[1];
    if (!k_.Otp) id[2] = 0xFF;
    Status(Hex2(b[0]) + "," + Hex2(b[1]));
    ReadEnd();
}

void P2051Form::Button1Click() {
    Row();
    if (!k_.Otp && !BatchFileOk51()) return;
    RunBatch51(BatchSteps<Mcs51Form>(this, k_.Batch), false);
}

QUILLA_FORM(TP2051x);
QUILLA_FORM(TP97c205x);

}  // namespace quilla
