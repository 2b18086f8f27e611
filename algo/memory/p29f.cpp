#include "algo/memory/p29f.h"

#include <cstdio>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kA9 = 30;
constexpr int kBlock = 1024;
constexpr int kHighMv = 12000;
constexpr int kRows = 20;

// Rows 1 to 11 of TP29fxxx and TAMD29f040x (the latter names rows 1 to 5 "AM29f...").
void P29Rows(std::vector<VariantRecord>& t, const char* const names[5]) {
    const std::vector<std::pair<int, int>> pins6to36 = {{6, 33}, {35, 36}}, pins5to36 = {{5, 36}};
    t[1] = MakeVariant({.name = names[0], .last = 0x7FFF, .vccPin = 36});
    t[2] = MakeVariant({.name = names[1], .last = 0xFFFF, .vccPin = 36});
    t[3] = MakeVariant({.name = names[2], .last = 0x1FFFF, .vccPin = 36, .contactPins = pins6to36});
    t[4] = MakeVariant({.name = names[3], .last = 0x3FFFF, .vccPin = 36, .contactPins = pins6to36});
    t[5] = MakeVariant({.name = names[4], .last = 0x7FFFF, .vccPin = 36, .contactPins = pins5to36});
    // The boot-block parts, VPP on pin 5.
    t[6] = MakeVariant({.name = "29f001 BX-T ", .last = 0x1FFFF, .vccPin = 36, .vppPin = 5, .contactPins = pins6to36});
    t[7] = MakeVariant({.name = "29f001 BX-B ", .last = 0x1FFFF, .vccPin = 36, .vppPin = 5, .contactPins = pins6to36});
    t[8] = MakeVariant({.name = "29f002 Bx-T ", .last = 0x3FFFF, .vccPin = 36, .vppPin = 5, .contactPins = pins6to36});
    t[9] = MakeVariant({.name = "29f002 Bx-B ", .last = 0x3FFFF, .vccPin = 36, .vppPin = 5, .contactPins = pins6to36});
    t[10] = MakeVariant({.name = "29f004 Bx-T ", .last = 0x7FFFF, .vccPin = 36, .vppPin = 5, .contactPins = pins6to36});
    t[11] = MakeVariant({.name = "29f004 Bx-B ", .last = 0x7FFFF, .vccPin = 36, .vppPin = 5, .contactPins = pins5to36});
}

// The batch boxes of TP29fxxx, TAMD29f040x and Tsst29xf1.
ControlRows P29BatchBoxes() {
    return {MemoryForm::TickedBox({"CheckBox1", "Erase "}), MemoryForm::TickedBox({"CheckBox2", "Blank?"}),
            MemoryForm::TickedBox({"CheckBox3", "Write "}), MemoryForm::TickedBox({"CheckBox4", "Vrfy"})};
}

std::string RangeCaption(const VariantRecord& r) { return "0 to " + HexPlain(r.LastAddress); }

}  // namespace

// ---- the shared frame -----------------------------------------------------------------------

JedecByteForm::JedecByteForm(Workbench& w, std::string caption) : SocketForm(w, std::move(caption), kRows) {
    LoopInclusive = true;
    ReadLikeLaterForms = true;
    BlankFromZero = true;
    SeatedChipCheck = true;
    UsesVpp = false;
    Writing = {.Block = kBlock, .Align = 256, .ReadBackEvery = 0};
    CutAtRippleBoundary = true;
}

void JedecByteForm::StartTable() {
    Table.assign(kRows, VariantRecord{});
    Table[0] = MakeVariant({.name = "???"});
}

void JedecByteForm::ShowRow(const VariantRecord& r, bool typeText) {
    if (typeText && Has(kType)) Put(kType, wb.sel.TypeText);
    if (wb.FileWin) wb.FileWin->EndAddr = r.LastAddress;
    wb.Display();
    Offsets.Length = r.LastAddress;
    Offsets.ShowAll();
}

bool JedecByteForm::PowerUp(const VariantRecord& r) {
    if (running_ == Ground::Before) Ep3.GndPin(kGround);
    Ep3.VccPin(r.VccPin);
    if (running_ == Ground::After) Ep3.GndPin(kGround);
    return Ep3.CheckCurrent() != 0;
}

void JedecByteForm::ReadClick() {
    running_ = GroundRead;
    SocketForm::ReadClick();
}

void JedecByteForm::BlankClick() {
    running_ = GroundBlank;
    SocketForm::BlankClick();
}

void JedecByteForm::VerifyClick() {
    running_ = GroundVerify;
    SocketForm::VerifyClick();
}

void JedecByteForm::WriteClick() {
    running_ = GroundWrite;
    SocketForm::WriteClick();
}

void JedecByteForm::BeforeReadEnable(const VariantRecord&) {
    if (!CePulseBeforeRead) return;
    Ep3.PinHigh(kWE);
    Ep3.PinHigh(kCE);
}

bool JedecByteForm::WriteBegin(const VariantRecord& r) {
    if (!PowerUp(r)) return false;
    Ep3.SetPortMode(WriteMode);
    if (EnableOnce) Ep3.PinLow(kCE);
    Ep3.PinHigh(kOE);
    return true;
}

bool JedecByteForm::WriteBlockBegin(const VariantRecord&) {
    if (!EnableOnce) {
        Ep3.PinLow(kCE);
        Ep3.PinHigh(kOE);
    }
    return true;
}

// Per byte: the three command cycles, the full address, the data cycle and the
// form's tail. No polling: the tail must cover the chip's program time.
void JedecByteForm::ProgramBlock(const VariantRecord&, const Block& b) {
    for (int i = 0; i < b.count; ++i) {
        UnlockedCommand(0xA0);
        SetAddressParallel(b.chip + i);
        Ep3.WriteLatch(2, *Image(b.file + i));
        Put1(OpBusWrite);
        ByteTail();
    }
}

bool JedecByteForm::ReadBack(const VariantRecord&, const Block& b) {
    Ep3.SetPortMode(ReadMode);
    SetAddressParallel(b.chip);
    if (ReadBackOeFirst) {
        Ep3.PinLow(kOE);
        Ep3.PinLow(kCE);
    } else {
        Ep3.PinLow(kCE);
        Ep3.PinLow(kOE);
    }
    Put1(OpRead1K);
    Flush();
    Ep3.UsbReadExact(Ep3.UsbReplyBuf.data(), kBlock);
    if (!MatchesImage(b.file, Ep3.UsbReplyBuf.data(), b.count)) return false;
    if (ReadBackOeFirst) Ep3.PinHigh(kCE);
    return true;
}

void JedecByteForm::RefuseNoMethod(const char* operation, int upr) {
    Refuse(std::string(operation) + ": no method for upr=" + std::to_string(upr));
}

void JedecByteForm::ResetSocket(bool vpp) {
    if (vpp) Ep3.VppPin(0);
    Ep3.VccPin(0);
    Ep3.SetAllPins(0);
    Ep3.SetAllPins(255);
}

void JedecByteForm::UnlockedCommand(std::uint8_t command) {
    Ep3.UsbPut2(OpCmdWrite5555, 0xAA);
    Ep3.UsbPut2(OpCmdWrite2AAA, 0x55);
    Ep3.UsbPut2(OpCmdWrite5555, command);
}

void JedecByteForm::ChipEraseCommand() {
    UnlockedCommand(0x80);
    UnlockedCommand(0x10);
}

void JedecByteForm::StartChipErase(bool modeBeforeAddress) {
    if (modeBeforeAddress) Ep3.SetPortMode(PortModeReset);
    SetAddressParallel(0);
    Ep3.SetPortMode(PortModeReset);
    Ep3.PinHigh(kOE);
    Ep3.PinLow(kCE);
    ChipEraseCommand();
}

void JedecByteForm::EraseWaitProgress(int waits) {
    for (int i = 0; i < waits; ++i) {
        SetProgress(kProgress, 0, waits, i);
        Put1(OpWait100ms);
        Flush();
    }
}

void JedecByteForm::EraseWaitCounted(int waits) {
    for (int i = 0; i < waits; ++i) {
        Status("Erasing " + std::to_string(i));
        Put1(OpWait100ms);
        Flush();
    }
}

std::vector<AlgoForm::BatchStep> JedecByteForm::BatchSteps() { return EraseBlankWriteVerify(); }

void JedecByteForm::Button1Click() {
    Row();
    if (NeedsFileWindow && !FileWindowForWrite("CheckBox3")) return;
    if (OnePass) {
        RunBatch(BatchSteps(), nullptr, false);
        return;
    }
    SocketForm::Button1Click();
}

std::vector<AlgoForm::BatchStep> JedecByteForm::UnlockFirstBatchSteps() {
    std::vector<BatchStep> steps{{"CheckBox5", [this] { UnProtectChipClick(); }}};
    for (BatchStep& s : JedecByteForm::BatchSteps()) steps.push_back(std::move(s));
    return steps;
}

ControlRows JedecByteForm::Buttons(const ButtonCaptions& c) {
    using namespace win;
    return {PushButton({"ReadButton", "Read  "}), PushButton({"Erase", "Erase"}), PushButton({"Write", c.write}),
            PushButton({"Verify", c.verify}),     PushButton({"Blank", c.blank}),
            If(c.unlock, PushButton({"UnProtectChip", "Unlock"}))};
}

void JedecByteForm::SetupGroundFirst(const VariantRecord& r, const std::string& caption) {
    Ep3.LoadBitFile("vex300.bit");
    Ep3.GndPin(kGround);
    Ep3.SetVpp(0);
    Ep3.SetVcc(5000);
    WriteMode = PortModeReset;
    ReadMode = PortModeRead;
    SetCaption(caption);
    ShowRow(r);
}

void JedecByteForm::SetupGroundLast(const VariantRecord& r, int vccMv) {
    Ep3.LoadBitFile("vex300.bit");
    Ep3.SetVcc(vccMv);
    WriteMode = PortModeReset;
    ReadMode = PortModeRead;
    SetCaption(RangeCaption(r));
    ShowRow(r);
    Ep3.SetVpp(0);
    Ep3.InitBitReverse();
    Ep3.GndPin(kGround);
}

bool JedecByteForm::PowerRowPinsForErase(const std::function<void()>& reset) {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return false;
    Status("Erasing");
    reset();
    Ep3.VccPin(r.VccPin);
    Ep3.VppPin(r.VppPin);
    return Ep3.CheckCurrent() != 0;
}

void JedecByteForm::EraseOnRowPins(const std::function<void()>& reset, const std::function<void()>& wait) {
    if (!PowerRowPinsForErase(reset)) return;
    StartChipErase(true);
    wait();
    Success("OK");
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

void JedecByteForm::HighVoltageOff() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Ep3.SetVpp(0);
}

void JedecByteForm::A9UnlockPulse() {
    Ep3.PinHigh(kA9);
    Ep3.VppPin(kA9);
    Ep3.PinLow(kOE);
    Ep3.PinLow(kCE);
    Put1(OpWaitSettle);
    Ep3.PinHigh(kCE);
    Put1(OpWaitSettle);
}

// ---- TP29fxxx ------------------------------------------------------------------------------------

TP29fxxx::TP29fxxx(Workbench& w) : JedecByteForm(w, "AM29F") {
    Texts.Read = "Read.";
    Texts.BlankDone = "OK";
    Texts.VerifyDone = "OK..";
    DeclareControls(win::Join({Offsets.Rows(*this),
                               {IdLabel(), win::PushButton({"MFG", " ID "}), IdField(), TypeField()},
                               Buttons({.unlock = true}), BatchGroup(P29BatchBoxes(), "Run "), StatusFoot(true)}),
                    this, Operations(this, {{"UnProtectChip", &TP29fxxx::UnProtectChipClick}}));
    FillVariantTable();
}

void TP29fxxx::FillVariantTable() {
    static const char* const names[5] = {"29f256", "29f512", "29f010", "29f020", "29f040"};
    StartTable();
    P29Rows(Table, names);
}

void TP29fxxx::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    SetupGroundFirst(r, RangeCaption(r));
}

void TP29fxxx::ByteTail() {
    for (int i = 0; i < 3; ++i) Put1(OpNop);
}

void TP29fxxx::EraseClick() {
    EraseOnRowPins([this] { ResetSocket(); }, [this] { EraseWaitProgress(30); });
}

void TP29fxxx::MFGClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    SocketForm::MFGClick();
}

void TP29fxxx::UnProtectChipClick() {
    const VariantRecord& r = Row();
    const int m = wb.sel.GetParam("upr=");
    if (m != 0 && m != 1) RefuseNoMethod("Unlock", m);
    if (!ContactTest(r)) return;
    Status("Unprotect Chip...");
    if (m == 0) {
        SetAddressParallel(0);
        Ep3.WriteLatch(2, 0);
        Ep3.SetVpp(kHighMv);
        Put1(OpWaitSettle);
        Ep3.PinLow(kCE);
        Ep3.VccPin(r.VccPin);
        if (!Ep3.CheckCurrent()) return;
        A9UnlockPulse();
    } else if (m == 1) {
        SetAddressParallel(0x11240);
        Ep3.SetVpp(kHighMv);
        Put1(OpWait100ms);
        Ep3.VccPin(r.VccPin);
        if (!Ep3.CheckCurrent()) return;
        Ep3.PinHigh(kOE);
        Ep3.PinHigh(kCE);
        Ep3.VppPin(kOE);
        Ep3.VppPin(kWE);
        Ep3.PinLow(kCE);
        Flush();
        Put1(OpWait100ms);
        Ep3.PinHigh(kCE);
    }
    HighVoltageOff();
    Success("End.");
}

// ---- TAMD29f040x ---------------------------------------------------------------------------------

TAMD29f040x::TAMD29f040x(Workbench& w) : JedecByteForm(w, "AMD 29F010/020/040") {
    Texts.Read = "Read.";
    Texts.BlankDone = "OK";
    Texts.VerifyDone = "OK..";
    NeedsFileWindow = true;
    UsesVccKey = true;
    using F = TAMD29f040x;
    DeclareControls(win::Join({Offsets.Rows(*this), {IdLabel(), win::PushButton({"MFG", " ID "}), IdField()},
                               Buttons({.unlock = true}), {win::PushButton({"Button2", "Lock  "})},
                               BatchGroup(P29BatchBoxes(), "Run "), StatusFoot(false)}),
                    this, Operations(this, {{"UnProtectChip", &F::UnProtectChipClick}, {"Button2", &F::Button2Click}}));
    FillVariantTable();
}

void TAMD29f040x::FillVariantTable() {
    static const char* const names[5] = {"AM29f256", "AM29f512", "AM29f010", "AM29f020", "AM29f040"};
    StartTable();
    P29Rows(Table, names);
}

void TAMD29f040x::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    Ep3.LoadBitFile("vex300.bit");
    Ep3.GndPin(kGround);
    Ep3.SetVcc(LineVcc(1));
    Ep3.SetVpp(kHighMv);
    WriteMode = PortModeReset;
    ReadMode = PortModeRead;
    ShowRow(r, false);
}

void TAMD29f040x::ByteTail() {
    for (int i = 0; i < 3; ++i) Put1(OpNop);
}

void TAMD29f040x::EraseClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    Unprotect(r, wb.sel.GetParam("upr="));
    Status("Erasing");
    ResetSocket(false);
    Ep3.VccPin(r.VccPin);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinHigh(kWE);
    StartChipErase(true);
    EraseWaitProgress(30);
    Success("OK");
    Ep3.VccPin(0);
}

// The ID with 12 V (setup's level) on A9: bytes 0, 1 and 2 of a block read.
void TAMD29f040x::MFGClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    SetAddressParallel(0);
    Ep3.VccPin(r.VccPin);
    Ep3.VppPin(kA9);
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(ReadMode);
    Ep3.PinHigh(kWE);
    Ep3.PinLow(kOE);
    Ep3.PinLow(kCE);
    Flush();
    Put1(OpRead1K);
    Flush();
    Ep3.UsbReadExact(Ep3.UsbReplyBuf.data(), kBlock);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    char text[64];
    std::snprintf(text, sizeof text, "MFG:%02x, Device:%02x, Protect:%02x", Ep3.UsbReplyBuf[0], Ep3.UsbReplyBuf[1],
                  Ep3.UsbReplyBuf[2]);
    Success(text);
}

void TAMD29f040x::UnProtectChipClick() {
    const VariantRecord& r = Row();
    const int m = wb.sel.GetParam("upr=");
    if (m != 1 && m != 2) RefuseNoMethod("Unlock", m);
    if (!Unprotect(r, m)) return;
    Success("OK");
}

// The line's unlock method (none for other upr= values), VPP and VCC off after
// it; false when the over-current check stopped it.
bool TAMD29f040x::Unprotect(const VariantRecord& r, int m) {
    if (m == 1) {
        SetAddressParallel(0x20);
        Ep3.VccPin(r.VccPin);
        if (!Ep3.CheckCurrent()) return false;
        Ep3.PinLow(kOE);
        Ep3.PinHigh(kCE);
        Ep3.VppPin(kWE);
        Ep3.VppPin(kOE);
        for (int i = 0; i < 2; ++i) {
            Ep3.PinLow(kCE);
            Put1(OpWait100ms);
            Ep3.PinHigh(kCE);
        }
    } else if (m == 2) {
        SetAddressParallel(0);
        Ep3.WriteLatch(2, 0);
        Ep3.PinLow(kCE);
        Ep3.VccPin(r.VccPin);
        A9UnlockPulse();
    }
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    return true;
}

void TAMD29f040x::Button2Click() {
    const VariantRecord& r = Row();
    const int m = wb.sel.GetParam("upr=");
    if (m != 1) RefuseNoMethod("Lock", m);
    SetAddressParallel(0);
    Ep3.VccPin(r.VccPin);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinHigh(kWE);
    Ep3.PinLow(kCE);
    Ep3.VppPin(kA9);
    Ep3.VppPin(kOE);
    Ep3.PinLow(kWE);
    Ep3.PinHigh(kWE);
    Put1(OpWaitSettle);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

// ---- TAt49fx ----------------------------------------------------------------------------------------

TAt49fx::TAt49fx(Workbench& w) : JedecByteForm(w, "ATMEL/WINBOND49f010/020") {
    Texts.Read = "Reading";
    Texts.ReadDone = "OK!!!!!";
    GroundBlank = GroundVerify = Ground::After;
    GroundWrite = Ground::Before;
    EnableOnce = false;
    UsesVccKey = true;
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this), {PushButton({"MFG", " ID "}), TypeField()},
                          Buttons({.verify = "Verify  ", .blank = "Blank?  "}),
                          BatchGroup({TickedBox({"CheckBox1", "Erase "}), TickedBox({"CheckBox2", "Blank?"}),
                                      TickedBox({"CheckBox3", "Burn"}), TickedBox({"CheckBox4", "Vrfy"})},
                                     "Run "),
                          StatusFoot(false)}),
                    this, Operations(this));
    FillVariantTable();
}

void TAt49fx::FillVariantTable() {
    StartTable();
    Table[1] = MakeVariant({.name = "AT49f010/001", .last = 0x1FFFF, .vccPin = 36,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[2] = MakeVariant({.name = "AT49f020/002", .last = 0x3FFFF, .vccPin = 36, .contactPins = {{6, 36}}});
    Table[3] = MakeVariant({.name = "AT49f040/004", .last = 0x7FFFF, .vccPin = 36, .contactPins = {{5, 36}}});
}

// No VPP level: the rows' 50,000 mV cannot travel (it would arrive as 24.4 V),
// and the form routes VPP to no pin.
void TAt49fx::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    Ep3.LoadBitFile("vex300.bit");
    WriteMode = PortModeReset;
    ReadMode = PortModeRead;
    SetCaption(r.Name);
    ShowRow(r);
    Ep3.SetVpp(0);
    Ep3.SetVcc(LineVcc(1800));
    Ep3.InitBitReverse();
}

void TAt49fx::ByteTail() { Put1(OpWaitPulse); }

void TAt49fx::EraseClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    Status("Erasing");
    ResetSocket();
    Ep3.GndPin(kGround);
    Ep3.VccPin(r.VccPin);
    if (!Ep3.CheckCurrent()) return;
    StartChipErase(false);
    EraseWaitProgress(100);
    Success("OK");
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

// The selection dialog's read; the status shows its three reply bytes.
void TAt49fx::MFGClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    if (!Ep3.ReadMfgId(wb.sel.MfrIdByte, wb.sel.DeviceIdByte)) return;
    char text[32];
    std::snprintf(text, sizeof text, "%02x,%02x,%02x", Ep3.UsbReplyBuf[0], Ep3.UsbReplyBuf[1], Ep3.UsbReplyBuf[2]);
    Status(text);
}

// ---- TMx29fxxx1 -------------------------------------------------------------------------------------

TMx29fxxx1::TMx29fxxx1(Workbench& w) : JedecByteForm(w, "Mx29F010/040/001/004") {
    Texts.Read = "Read.";
    Texts.BlankDone = "OK!";
    Texts.VerifyDone = "OK..";
    GroundWrite = Ground::After;
    EnableOnce = false;
    ReadBackBlocks = true;
    OnePass = true;
    Writing.ReadBackEvery = kBlock;
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this), {PushButton({"MFG", " ID "}), IdField(), TypeField()},
                          Buttons({.verify = "Verify  ", .blank = "Blank?  ", .unlock = true}),
                          BatchGroup({TickedBox({"CheckBox1", "Erase "}), Box({"CheckBox2", "Blank?"}),
                                      TickedBox({"CheckBox3", "Burn"}), TickedBox({"CheckBox4", "Vrfy"}),
                                      Box({"CheckBox5", "Unlock"})},
                                     "Run "),
                          StatusFoot(true)}),
                    this, Operations(this, {{"UnProtectChip", &TMx29fxxx1::UnProtectChipClick}}));
    FillVariantTable();
}

void TMx29fxxx1::FillVariantTable() {
    StartTable();
    Table[1] = MakeVariant({.name = "Mx29f010/001", .last = 0x1FFFF, .vccPin = 36});
    Table[2] = MakeVariant({.name = "Mx29f020/002", .last = 0x3FFFF, .vccPin = 36});
    Table[3] = MakeVariant({.name = "Mx29f040/004", .last = 0x7FFFF, .vccPin = 36});
}

void TMx29fxxx1::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    SetupGroundFirst(r, r.Name);
}

void TMx29fxxx1::PowerDownPins() {
    Ep3.VccPin(0);
    Ep3.SetAllPins(0);
    Put1(OpWait100ms);
}

void TMx29fxxx1::EraseClick() {
    EraseOnRowPins([this] { PowerDownPins(); }, [this] { EraseWaitCounted(20); });
}

void TMx29fxxx1::UnProtectChipClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    PowerDownPins();
    Status("Unprotect Chip...");
    SetAddressParallel(0);
    Ep3.SetVpp(kHighMv);
    Put1(OpWaitSettle);
    Ep3.PinLow(kCE);
    Ep3.VccPin(r.VccPin);
    Ep3.PinHigh(kOE);
    Ep3.PinHigh(kA9);
    Ep3.PinHigh(10);
    Ep3.VppPin(kOE);
    Ep3.VppPin(kA9);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinLow(kWE);
    Put1(OpWaitSettle);
    Ep3.PinHigh(kWE);
    Put1(OpWaitSettle);
    HighVoltageOff();
    Success("OK");
}

std::vector<AlgoForm::BatchStep> TMx29fxxx1::BatchSteps() { return UnlockFirstBatchSteps(); }

// ---- Tv29c51004x ------------------------------------------------------------------------------------

Tv29c51004x::Tv29c51004x(Workbench& w) : JedecByteForm(w, "MOSEL VITELIC ") {
    Texts.Read = "Reading";
    Texts.ReadDone = "OK!!!!!";
    Texts.Blank = "Checking blank...";
    Texts.Verify = "Verifying..";
    GroundRead = GroundBlank = GroundVerify = Ground::None;
    OnePass = true;
    NeedsFileWindow = true;
    using namespace win;
    using F = Tv29c51004x;
    DeclareControls(Join({Offsets.Rows(*this), {IdLabel(), PushButton({"MFG", " ID "}), IdField(), TypeField()},
                          Buttons({.write = "Write", .verify = "Vrfy.", .blank = "Blank?  ", .unlock = true}),
                          {PushButton({"Protect", "Lock  "})},
                          BatchGroup({TickedBox({"CheckBox1", "Ers."}), TickedBox({"CheckBox2", "Blank?"}),
                                      TickedBox({"CheckBox3", "Burn"}), TickedBox({"CheckBox4", "Vrfy"}),
                                      Box({"CheckBox5", "Unlock"}), Box({"CheckBox6", "Lock  "})},
                                     "Run "),
                          StatusFoot(true)}),
                    this, Operations(this, {{"UnProtectChip", &F::UnProtectChipClick}, {"Protect", &F::ProtectClick}}));
    FillVariantTable();
}

void Tv29c51004x::FillVariantTable() {
    StartTable();
    Table[1] = MakeVariant({.name = "No256", .last = 0x7FFF, .vccPin = 36});
    Table[2] = MakeVariant({.name = "V29C51000T/B", .last = 0xFFFF, .vccPin = 36});
    Table[3] = MakeVariant({.name = "V29C51001T/B", .last = 0x1FFFF, .vccPin = 36});
    Table[4] = MakeVariant({.name = "V29C51002T/B", .last = 0x3FFFF, .vccPin = 36});
    Table[5] = MakeVariant({.name = "V29C51004T/B", .last = 0x7FFFF, .vccPin = 36});
}

void Tv29c51004x::SetupForDevice() {
    if (!SetupBegin()) return;
    SetupGroundLast(*SelectedRow(), 5000);
}

void Tv29c51004x::EraseClick() {
    EraseOnRowPins([this] { ResetSocket(); }, [this] { EraseWaitCounted(21); });
}

void Tv29c51004x::ProtectClick() {
    const VariantRecord& r = Row();
    Status("Protect Boot...");
    Ep3.SetVpp(kHighMv);
    Put1(OpWait100ms);
    Ep3.WriteLatch(2, 0xFF);
    Ep3.VccPin(r.VccPin);
    SetAddressParallel(0x200);
    Ep3.PinLow(kCE);
    Ep3.PinLow(kWE);
    Ep3.VppPin(kA9);
    Ep3.VppPin(kOE);
    Ep3.PinHigh(kOE);
    Ep3.PinHigh(kWE);
    Ep3.PinHigh(kCE);
    HighVoltageOff();
    Success("End");
}

void Tv29c51004x::UnProtectChipClick() {
    const VariantRecord& r = Row();
    Status("UnProtect Boot...");
    Ep3.SetVpp(kHighMv);
    Put1(OpWait100ms);
    Ep3.WriteLatch(2, 1);
    Ep3.VccPin(r.VccPin);
    SetAddressParallel(0x200);
    Ep3.PinHigh(kCE);
    Ep3.VppPin(kOE);
    Ep3.VppPin(kA9);
    if (!Ep3.CheckCurrent()) return;
    Ep3.VppPin(kCE);
    Ep3.PinHigh(kOE);
    Ep3.PinLow(kWE);
    Ep3.PinHigh(kWE);
    Ep3.PinHigh(kCE);
    HighVoltageOff();
    Success("End");
}

// Lock is the pass's last step: before "End OK.." and the count, so a failed
// Lock ends the pass without them.
std::vector<AlgoForm::BatchStep> Tv29c51004x::BatchSteps() {
    std::vector<BatchStep> steps = UnlockFirstBatchSteps();
    steps.push_back({"CheckBox6", [this] { ProtectClick(); }});
    return steps;
}

// ---- Tsst29xf1 --------------------------------------------------------------------------------------

Tsst29xf1::Tsst29xf1(Workbench& w) : JedecByteForm(w, "AM29F") {
    Texts.Read = "Read.";
    Texts.ReadDone = "OK";
    GroundRead = GroundBlank = GroundVerify = Ground::None;
    EnableOnce = false;
    ReadBackBlocks = true;
    ReadBackOeFirst = true;
    CePulseBeforeRead = true;
    Writing.ReadBackEvery = kBlock;
    DeclareControls(win::Join({Offsets.Rows(*this), {TypeField()}, Buttons({.blank = "Blank?  "}),
                               {win::Radio({"RadioGroup1", "Speed "}, {"\xe5\xbf\xab", "Mid.", "\xe6\x85\xa2"}, 1)},
                               BatchGroup(P29BatchBoxes(), "Run "), StatusFoot(false)}),
                    this, Operations(this));
    FillVariantTable();
}

void Tsst29xf1::FillVariantTable() {
    StartTable();
    Table[1] = MakeVariant({.name = "1: 29f256", .last = 0x7FFF, .vccPin = 36, .vccMv = 5000});
    Table[2] = MakeVariant({.name = "2: 29f512", .last = 0xFFFF, .vccPin = 36, .vccMv = 5000});
    Table[3] = MakeVariant({.name = "3: 29F010", .last = 0x1FFFF, .vccPin = 36, .vccMv = 5000,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[4] = MakeVariant({.name = "4: 29F020", .last = 0x3FFFF, .vccPin = 36, .vccMv = 5000,
                            .contactPins = {{6, 36}}});
    Table[5] = MakeVariant({.name = "5: 29F040", .last = 0x7FFFF, .vccPin = 36, .vccMv = 5000,
                            .contactPins = {{6, 36}}});
    Table[6] = MakeVariant({.name = "6: 39LF/VF512", .last = 0xFFFF, .vccPin = 36, .vccMv = 3300});
    Table[7] = MakeVariant({.name = "7: 39LF/VF010", .last = 0x1FFFF, .vccPin = 36, .vccMv = 3300,
                            .contactPins = {{6, 33}, {35, 36}}});
    Table[8] = MakeVariant({.name = "8: 39LF/VF020", .last = 0x3FFFF, .vccPin = 36, .vccMv = 3300,
                            .contactPins = {{6, 36}}});
    Table[9] = MakeVariant({.name = "9: 39LF/VF040", .last = 0x7FFFF, .vccPin = 36, .vccMv = 3300,
                            .contactPins = {{6, 36}}});
}

void Tsst29xf1::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    SetupGroundLast(r, r.VccMv);
}

// One 0x00, then (Speed + 1) pairs: 3, 5 or 7 filler waits.
void Tsst29xf1::ByteTail() {
    Put1(OpNop);
    const int k = ItemIndex("RadioGroup1");
    for (int i = 0; i <= k; ++i) {
        Put1(OpNop);
        Put1(OpNop);
    }
}

void Tsst29xf1::EraseClick() {
    if (!PowerRowPinsForErase([this] { ResetSocket(); })) return;
    Status("Erase...");
    StartChipErase(false);
    for (int i = 0; i < 21; ++i) Put1(OpWait100ms);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK");
}

QUILLA_FORM(TP29fxxx);
QUILLA_FORM(TAMD29f040x);
QUILLA_FORM(TAt49fx);
QUILLA_FORM(TMx29fxxx1);
QUILLA_FORM(Tv29c51004x);
QUILLA_FORM(Tsst29xf1);

}  // namespace quilla
