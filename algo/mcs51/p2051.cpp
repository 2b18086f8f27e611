#include "algo/mcs51/p2051.h"

#include <cstdio>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRst = 11, kP30 = 12, kXtal1 = 15, kProg = 16, kP33 = 17, kP34 = 18, kP35 = 19, kGnd = 20;
constexpr int kP37 = 21, kVcc = 30;
constexpr std::uint32_t kMask20 = 0x3FFFFC00u;  // socket pins 11-30
constexpr int kGroup = 64;
constexpr int kSampleMode = 9;

// P3.3, P3.4, P3.5, P3.7 of a setting.
void Setting(TEp3& e, const char* levels) {
    const int pins[4] = {kP33, kP34, kP35, kP37};
    for (int i = 0; i < 4; ++i) e.SetPin(levels[i] == 'H', pins[i]);
}
constexpr const char* kRead = "LLHH";
constexpr const char* kWrite = "LHHH";
constexpr const char* kErase = "HLLL";
constexpr const char* kLock1 = "HHHH";
constexpr const char* kLock2 = "HHLL";
constexpr const char* kSignature = "LLLL";

std::string Two(const std::uint8_t* b) {
    char t[16];
    std::snprintf(t, sizeof t, "%02x,%02x", b[0], b[1]);
    return t;
}

}  // namespace

// ==== TP2051x ======================================================================================

TP2051x::TP2051x(Workbench& w) : Mcs51Form(w, "P205x", {}) {
    DeclareStatus();
    AddButton("Read1", "Read  ", [this] { ReadRom(); });
    AddButton("Blank", "Blank?  ", [this] { BlankClick(); });
    AddButton("Verify", "Verf.", [this] { VerifyClick(); });
    AddButton("Write", "Write ", [this] { WriteClick(); });
    AddButton("Erase", "Erase", [this] { EraseClick(); });
    AddButton("Secrity", "Lock ", [this] { SecrityClick(); });
    AddButton("ID", "MFG ID  ", [this] { IDClick(); });
    AddRadio("RadioGroup1", "LockMode", {"1:No Wrt. ", "2:Lock"}, 1);
    AddRadio("RadioGroup2", "Delay ", {"Mid.", "Vrfy慢", "S.++"}, 0);
    DeclareBatch({{"CheckBox1", "Erase "},
                  {"CheckBox2", "BLK?"},
                  {"CheckBox3", "Write "},
                  {"CheckBox4", "Vrfy"},
                  {"CheckBox5", "Lock"}},
                 " Run ", [this] { Button1Click(); });
    FillVariantTable();
}

void TP2051x::FillVariantTable() {
    Table = {{"Exit", 0}, {"1: 89C1051 (1k)", 0x03FF}, {"2: 89C2051 (2k)", 0x07FF}, {"3: 89C4051 (4k)", 0x0FFF}};
}

void TP2051x::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    FillVariantTable();
    Ep3.LoadBitFile("vex300.bit");
    Put(kType, wb.sel.TypeText);
    ShowRowRange(*SelectedRow());
    AlgoForm::Show();
}

void TP2051x::OnClose() { Ep3.PowerOff(); }

int TP2051x::PowerUp51() {
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

void TP2051x::Step() { SetPins({H(kXtal1), L(kXtal1)}); }

bool TP2051x::Groups(const Mcs51Row& r, bool intoImage,
                     const std::function<bool(std::int32_t, const std::uint8_t*)>& check) {
    for (std::int32_t a = 0; a <= r.LastAddress; a += kGroup) {
        ShowProgress(a);
        for (int i = 0; i < kGroup; ++i) {
            Put1(OpSamplePort);
            Step();
        }
        std::uint8_t* to = intoImage ? Image(a) : Ep3.UsbReplyBuf.data();
        Ep3.UsbReadReply(to);
        if (!check(a, to)) return false;
    }
    return true;
}

void TP2051x::ReadRom() {
    const Mcs51Row& r = Row();
    Status("Read.");
    if (!PowerUp51()) return;
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(kSampleMode);
    Setting(Ep3, kRead);
    Groups(r, true, [](std::int32_t, const std::uint8_t*) { return true; });
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void TP2051x::BlankClick() {
    const Mcs51Row& r = Row();
    Status("Blank CHK");
    if (!PowerUp51()) return;
    if (!Ep3.CheckCurrent()) return;
    Setting(Ep3, kRead);
    Ep3.SetPortMode(kSampleMode);
    Flush();
    wb.ErrorFlag() = 0;
    const bool blank = Groups(r, false, [&](std::int32_t a, const std::uint8_t* b) {
        for (int i = 0; i < kGroup; ++i) {
            if (b[i] == 0xFF) continue;
            Status("No empty.");
            wb.ErrorFlag() = 1;
            SuppliesOff();
            ShowProgress(a + i);  // the first byte that is not blank
            return false;
        }
        return true;
    });
    if (!blank) return;
    SuppliesOff();
    Success("OK!");
}

void TP2051x::VerifyClick() {
    const Mcs51Row& r = Row();
    Status("Verify.");
    if (!PowerUp51()) return;
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(kSampleMode);
    Setting(Ep3, kRead);
    Flush();
    static constexpr CheckPass51 kVerify{true, nullptr, "OK!!!", true};
    std::int32_t end = 0;
    const bool same = Groups(r, false, [&](std::int32_t a, const std::uint8_t* b) {
        end = a + kGroup;
        return BlockChecked51(kVerify, a, b, [this] { Ep3.VccPin(0); }, kGroup);
    });
    if (!same) return;
    PassEnd51(kVerify, end - 1, [this] { SuppliesOff(); });
}

void TP2051x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!NeedFileWindow()) return;
    Status("Writing..");
    if (!PowerUp51()) return;
    Ep3.SetVpp(12000);
    Ep3.SetPortMode(PortModeReset);
    Ep3.SetPinOption(13, 1);
    Ep3.PinHigh(kProg);
    Setting(Ep3, kWrite);
    Flush();
    Ep3.VppPin(kRst);
    if (!Ep3.CheckCurrent()) return;
    wb.ErrorFlag() = 0;
    const int pairs = ItemIndex("RadioGroup2") + 1;
    // The whole chip, whatever EndAddr says.
    for (std::int32_t i = 0; i <= r.LastAddress; ++i) {
        Ep3.UsbPut2(OpPutPort, *Image(i));
        Ep3.PinLow(kProg);
        Put1(OpWaitPulse);
        Ep3.PinHigh(kProg);
        Waits(OpWait1ms, 2 * pairs);
        Step();
        if ((i & 0xFF) == 0xFF) {
            ShowProgress(i);
            Flush();
        }
    }
    Ep3.PinLow(kRst);
    Flush();
    Ep3.SetVpp(0);
    SuppliesOff();
    Success("OK");
}

void TP2051x::EraseClick() {
    Row();
    Status("Erasing");
    if (!PowerUp51()) return;
    Ep3.SetVpp(12000);
    Ep3.PinHigh(kProg);
    Setting(Ep3, kErase);
    Flush();
    Ep3.VppPin(kRst);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinLow(kProg);
    Waits(OpWaitSettle, 3);
    Ep3.PinHigh(kProg);
    Flush();
    Ep3.SetVpp(0);
    SuppliesOff();
    Success("OK");
    wb.ErrorFlag() = 0;
}

bool TP2051x::LockBitPulse51(int bit) {
    if (!PowerUp51()) return false;
    Ep3.SetVpp(12000);
    if (!Ep3.CheckCurrent()) return false;
    Ep3.PinHigh(kProg);
    Setting(Ep3, bit == 1 ? kLock1 : kLock2);
    Ep3.VppPin(kRst);
    Ep3.PinLow(kProg);
    Put1(OpWaitPulse);
    Ep3.PinHigh(kProg);
    Put1(OpWait100ms);
    Flush();
    Ep3.SetVpp(0);
    SuppliesOff();
    return true;
}

void TP2051x::SecrityClick() {
    Row();
    Status("Locking");
    // A refused contact test or an over-current ends Lock: no next bit, no "OK".
    if (!LockBitPulse51(1)) return;
    if (ItemIndex("RadioGroup1") == 1 && !LockBitPulse51(2)) return;
    Success("OK");
}

void TP2051x::IDClick() {
    Row();
    if (!PowerUp51()) return;
    Ep3.SetPortMode(kSampleMode);
    Setting(Ep3, kSignature);
    Put1(OpSamplePort);
    Step();
    Put1(OpSamplePort);
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    id[0] = Ep3.UsbReplyBuf[0];
    id[1] = Ep3.UsbReplyBuf[1];
    id[2] = 0xFF;
    Status(Two(Ep3.UsbReplyBuf.data()));
    SuppliesOff();
}

void TP2051x::Button1Click() {
    Row();
    if (Ticked("CheckBox3") && !wb.FileWin) {
        wb.prompts.ShowMsg("Must open a file to write...");
        return;
    }
    RunBatch51({{"CheckBox1", [this] { EraseClick(); }},
                {"CheckBox2", [this] { BlankClick(); }},
                {"CheckBox3", [this] { WriteClick(); }},
                {"CheckBox4", [this] { VerifyClick(); }},
                {"CheckBox5", [this] { SecrityClick(); }}},
               false);
}

// ==== TP97c205x ====================================================================================

TP97c205x::TP97c205x(Workbench& w) : Mcs51Form(w, "P97c205x", {}) {
    DeclareStatus();
    AddButton("Read1", "Read  ", [this] { ReadRom(); });
    AddButton("Blank", "Blank?  ", [this] { BlankClick(); });
    AddButton("Verify", "Verify  ", [this] { VerifyClick(); });
    AddButton("Write", "Write ", [this] { WriteClick(); });
    AddButton("Secrity", "Lock ", [this] { SecrityClick(); });
    AddButton("ID", "", [this] { IDClick(); });
    AddButton("CancelBtn", "Exit ", [this] { CancelBtnClick(); });
    DeclareBatch({{"CheckBox1", "Blank?"}, {"CheckBox2", "Write "}, {"CheckBox3", "Vrfy"}, {"CheckBox4", "Lock"}},
                 " Run ", [this] { Button1Click(); });
    FillVariantTable();
}

void TP97c205x::FillVariantTable() {
    Table = {{"Exit", 0}, {"1: 97C1051 (1k)", 0x03FF}, {"2: 97C2051 (2k)", 0x07FF}};
    Put(kType, wb.sel.TypeText);
}

void TP97c205x::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    FillVariantTable();
    // The design its twin loads: not whatever the form used last left behind.
    Ep3.LoadBitFile("vex300.bit");
    readPortMode_ = kSampleMode;
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    AlgoForm::Show();
    ShowRowRange(*SelectedRow());
    AlgoForm::Show();
    // The chip's 5 V, not whatever level the form used last left.
    if (Ep3.Connected) Ep3.SetVcc(5000);
}

bool TP97c205x::Seated() {
    // An empty socket reads as blank, verifies an 0xFF image and reads back a
    // lock: the chip is looked for first.
    return Ep3.TestPinContact(kGnd, kMask20, 0) != 0;
}

void TP97c205x::OnClose() { Ep3.PowerOff(); }

void TP97c205x::PowerUp51() {
    steps_ = 0;
    Ep3.SetPortMode(PortModeReset);
    latch_[1] = latch_[2] = latch_[3] = 0xFF;
    for (int k = 1; k <= 3; ++k) Ep3.WriteLatch(k, 0);
    for (int k = 1; k <= 3; ++k) Ep3.WriteLatch(k, 0xFF);
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
}

void TP97c205x::NextAddress51() {
    steps_ = static_cast<std::uint8_t>(steps_ + 1);
    Ep3.SetPin(steps_ & 1, kP30);
}

void TP97c205x::ProgramByte51(std::uint8_t b) {
    Ep3.UsbPut2(OpPutPort, b);
    for (int i = 0; i < 25; ++i) {
        Ep3.PinLow(kProg);
        Put1(OpWait100us);
        Ep3.PinHigh(kProg);
    }
}

void TP97c205x::LockBitPulse51(int bit) {
    PowerUp51();
    Ep3.SetPortMode(PortModeReset);
    latch_[2] = bit == 1 ? 0xFF : 0xF3;  // P3.3, P3.4, P3.5, P3.7 through latch 2
    Ep3.WriteLatch(3, 0xFF);
    Ep3.WriteLatch(2, latch_[2]);
    Ep3.VppPin(kRst);
    Ep3.WriteLatch(1, 0xFF);
    for (int i = 0; i < 25; ++i) SetPins({L(kProg), H(kProg)});
    Ep3.VppPin(0);
    Ep3.SetPortMode(readPortMode_);
}

int TP97c205x::CheckDeviceId() {
    IDClick();
    const auto& r = LastReadId();
    const auto& s = ExpectedId();
    char text[64];
    std::snprintf(text, sizeof text, "R=(%02x,%02x)  S=(%02x,%02x)", r[0], r[1], s[0], s[1]);
    Status(text);
    if (s[0] == 0 || (r[0] == s[0] && r[1] == s[1])) return 1;
    if (Ask(r[0] == 0xFF ? "Maybe locked, continue?" : "Wrong type, OK ??")) return 1;
    StepFailed();
    return 0;
}

bool TP97c205x::Groups(const Mcs51Row& r, bool intoImage,
                       const std::function<bool(std::int32_t, const std::uint8_t*)>& check) {
    for (std::int32_t a = 0; a <= r.LastAddress; a += kGroup) {
        ShowProgress(a);
        for (int i = 0; i < kGroup; ++i) {
            Put1(OpSamplePort);
            NextAddress51();
        }
        std::uint8_t* to = intoImage ? Image(a) : Ep3.UsbReplyBuf.data();
        Ep3.UsbReadReply(to);
        if (!check(a, to)) return false;
    }
    return true;
}

void TP97c205x::ReadRom() {
    const Mcs51Row& r = Row();
    Status("Reading data ........");
    PowerUp51();
    Ep3.SetPortMode(readPortMode_);
    if (!Ep3.CheckCurrent()) return;
    Setting(Ep3, kRead);
    Flush();
    Groups(r, true, [](std::int32_t, const std::uint8_t*) { return true; });
    ShowProgress(r.LastAddress);
    SuppliesOff();
    Success("Data in buffer..");
    wb.Display();
    AlgoForm::Show();
}

void TP97c205x::BlankClick() {
    const Mcs51Row& r = Row();
    if (!Seated()) return;
    if (!CheckDeviceId()) return;
    PowerUp51();
    Ep3.SetPortMode(readPortMode_);
    Setting(Ep3, kRead);
    if (!Ep3.CheckCurrent()) return;
    wb.ErrorFlag() = 0;
    const bool blank = Groups(r, false, [&](std::int32_t a, const std::uint8_t* b) {
        for (int i = 0; i < kGroup; ++i) {
            if (b[i] == 0xFF) continue;
            Status("No empty.");
            wb.ErrorFlag() = 1;
            ShowProgress(a + i);  // the first byte that is not blank
            return false;
        }
        return true;
    });
    if (!blank) return;
    Success("Blank");
    ShowProgress(r.LastAddress);
}

void TP97c205x::VerifyClick() {
    const Mcs51Row& r = Row();
    if (!NeedFileWindow("Must open a file first....")) return;
    if (!Seated()) return;
    Status("Verifying..");
    PowerUp51();
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(readPortMode_);
    Setting(Ep3, kRead);
    Flush();
    const bool same = Groups(r, false, [&](std::int32_t a, const std::uint8_t* b) {
        const int i = CompareBlock64(a, b);
        if (i < 0) return true;
        wb.ErrorFlag() = 1;
        ShowProgress(a + i);
        Ep3.VccPin(0);
        return false;
    });
    if (!same) return;
    wb.ErrorFlag() = 0;
    Success("Data OK..");
    ShowProgress(r.LastAddress);
    Ep3.VccPin(0);
}

void TP97c205x::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Seated()) return;
    if (!CheckDeviceId()) return;
    if (!NeedFileWindow()) return;
    Status("Writing..");
    PowerUp51();
    Setting(Ep3, kWrite);
    Ep3.SetVpp(12500);
    Ep3.VppPin(kRst);
    if (!Ep3.CheckCurrent()) return;
    for (std::int32_t i = 0; i <= r.LastAddress; ++i) {
        ProgramByte51(*Image(i));
        NextAddress51();
        if ((i & 0xFF) == 0xFF) {
            ShowProgress(i);
            Flush();
        }
    }
    Ep3.VppPin(0);
    Success("Ended.");
    wb.ErrorFlag() = 0;
    ShowProgress(r.LastAddress);
    SuppliesOff();
}

void TP97c205x::IDClick() {
    Row();
    PowerUp51();
    Ep3.SetPortMode(readPortMode_);
    Setting(Ep3, kSignature);
    Put1(OpSamplePort);
    NextAddress51();
    Put1(OpSamplePort);
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    auto& id = LastReadId();
    id[0] = Ep3.UsbReplyBuf[0];
    id[1] = Ep3.UsbReplyBuf[1];
    Status(Two(Ep3.UsbReplyBuf.data()));
    Ep3.VccPin(0);
}

void TP97c205x::SecrityClick() {
    Row();
    if (!Seated()) return;
    Status("Locking");
    LockBitPulse51(1);
    LockBitPulse51(2);
    // The read-back: 129 captures at one address, fetched in replies of at most
    // 64 (a reply holds only the captures queued since the previous one).
    PowerUp51();
    Ep3.SetPortMode(readPortMode_);
    Setting(Ep3, kRead);
    bool locked = true;
    for (int left = 129; left > 0;) {
        const int n = left < kGroup ? left : kGroup;
        for (int i = 0; i < n; ++i) Put1(OpSamplePort);
        Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
        for (int i = 0; i < n; ++i) locked = locked && Ep3.UsbReplyBuf[static_cast<std::size_t>(i)] == 0xFF;
        left -= n;
    }
    Ep3.VccPin(0);
    if (!locked) {
        Status("LockFail..");
        wb.ErrorFlag() = 1;
        return;
    }
    Success("Locked...");
}

void TP97c205x::Button1Click() {
    Row();
    RunBatch51({{"CheckBox1", [this] { BlankClick(); }},
                {"CheckBox2", [this] { WriteClick(); }},
                {"CheckBox3", [this] { VerifyClick(); }},
                {"CheckBox4", [this] { SecrityClick(); }}},
               false);
}

QUILLA_FORM(TP2051x);
QUILLA_FORM(TP97c205x);

}  // namespace quilla
