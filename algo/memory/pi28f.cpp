#include "algo/memory/pi28f.h"

#include <cstdio>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kVppPin = 5;
constexpr int kBlock = 1024;
constexpr int kRows = 20;
constexpr int kVppMv = 12000;

}  // namespace

// ---- the shared frame ---------------------------------------------------------------------------

Pi28Form::Pi28Form(Workbench& w, std::string caption) : SocketForm(w, std::move(caption), kRows) {
    LoopInclusive = true;
    ReadLikeLaterForms = true;
    BlankFromZero = true;
    SeatedChipCheck = true;
    Texts.Read = "Reading";
    Writing = {.Block = kBlock, .Align = 256, .ReadBackEvery = kBlock};
    CutAtRippleBoundary = true;
}

void Pi28Form::StartTable() {
    Table.assign(kRows, VariantRecord{});
    Columns.assign(kRows, Pi28Columns{});
    Table[0] = MakeVariant({.name = "???"});
}

void Pi28Form::ShowRow(const VariantRecord& r, bool caption) {
    if (caption) SetCaption("0 to " + HexPlain(r.LastAddress));
    if (Has(kType)) Put(kType, wb.sel.TypeText);
    if (wb.FileWin) wb.FileWin->EndAddr = r.LastAddress;
    wb.Display();
    Offsets.Length = r.LastAddress;
    Offsets.ShowAll();
}

bool Pi28Form::WriteBlockBegin(const VariantRecord&) {
    Ep3.PinLow(kCE);
    Ep3.PinHigh(kOE);
    if (UsesVpp) Ep3.VppPin(kVppPin);
    return true;
}

// Per byte: the set-up code and the data, each strobed by 0x2B, then the
// address step. No status is read and nothing waits: a program runs until the
// next byte's set-up write.
void Pi28Form::ProgramBlock(const VariantRecord& r, const Block& b) {
    for (int i = 0; i < b.count; ++i) {
        Ep3.WriteLatch(2, ProgramSetup);
        Put1(OpBusWrite);
        Ep3.WriteLatch(2, *Image(b.file + i));
        Put1(OpBusWrite);
        const std::int32_t next = b.chip + i + 1;
        if (next > r.LastAddress) break;
        if (next % kRippleBoundary == 0) SetAddressParallel(next);
        else Put1(OpAddrInc);
    }
}

bool Pi28Form::ReadBack(const VariantRecord&, const Block& b) {
    if (UsesVpp) Ep3.VppPin(0);
    Ep3.SetPortMode(ReadMode);
    SetAddressParallel(b.chip);
    Ep3.PinLow(kOE);
    Ep3.PinLow(kCE);
    Put1(OpRead1K);
    Flush();
    Ep3.UsbReadExact(Ep3.UsbReplyBuf.data(), kBlock);
    if (!MatchesImage(b.file, Ep3.UsbReplyBuf.data(), b.count)) return false;
    Ep3.PinHigh(kCE);
    return true;
}

std::vector<AlgoForm::BatchStep> Pi28Form::BatchSteps() { return EraseBlankWriteVerify(); }

void Pi28Form::Button1Click() {
    Row();
    if (OnePass) {
        RunBatch(BatchSteps(), nullptr, false);
        return;
    }
    SocketForm::Button1Click();
}

// ---- TPi28fxxx ------------------------------------------------------------------------------------

TPi28fxxx::TPi28fxxx(Workbench& w) : Pi28Form(w, "Pi28fx") {
    UsesVccKey = true;
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this), {IdLabel(), PushButton({"MFG", " ID   "}), IdField(), TypeField()},
                          OperationButtons({Op::Erase, Op::Blank, Op::Write, Op::Verify, Op::Read}),
                          BatchGroup(EraseBlankWriteVerifyBoxes()), StatusFoot(true)}),
                    this, Operations(this));
    FillVariantTable();
}

void TPi28fxxx::FillVariantTable() {
    StartTable();
    const struct {
        const char* name;
        std::int32_t last;
    } rows[] = {{"i28f256", 0x7FFF},       {"i28f257", 0x7FFF},       {"i28f512", 0xFFFF},
                {"i28f010", 0x1FFFF},      {"i28f020", 0x3FFFF},      {"i28f040", 0x7FFFF},
                {"28f004 BX-T", 0x7FFFF},  {"28f004 Bx-B", 0x7FFFF},  {"28f008 Bx-T ", 0xFFFFF},
                {"28f008 Bx-B ", 0xFFFFF}, {"28f008SA", 0xFFFFF}};
    for (std::size_t i = 0; i < std::size(rows); ++i)
        Table[i + 1] = MakeVariant(
            {.name = rows[i].name, .last = rows[i].last, .vccPin = 36, .vppPin = kVppPin, .vppMv = kVppMv});
}

void TPi28fxxx::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    Ep3.LoadBitFile("vex300.bit");
    Ep3.GndPin(kGround);
    Ep3.SetVpp(kVppMv);
    Ep3.SetVcc(LineVcc(2500));
    WriteMode = PortModeReset;
    ReadMode = PortModeRead;
    ShowRow(r, true);
}

// Erase pulses of 20h 20h (the programmer's long wait is the erase time), each
// ended by the A0h erase verify written with a WE pulse; from pulse 20 on the
// verify byte of address 0 is read, 0xFF meaning erased. An empty socket does
// not pass (the supply-pin contact test), and "Bad!!!" fails the step, so a
// batch ends there.
void TPi28fxxx::EraseClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    Status("Erasing");
    Ep3.VccPin(r.VccPin);
    Ep3.VppPin(r.VppPin);
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(PortModeReset);
    SetAddressParallel(0);
    bool erased = false;
    for (int p = 0; p < kMaxPulses && !erased; ++p) {
        Status(" " + std::to_string(p) + "%");
        Ep3.SetPortMode(PortModeReset);
        Ep3.PinHigh(kOE);
        Ep3.PinLow(kCE);
        Ep3.WriteCommandPair(0x20, 0x20);
        Put1(OpWait100ms);
        Ep3.WriteLatch(2, 0xA0);
        Ep3.PinHigh(kOE);
        Ep3.PinLow(kCE);
        Ep3.PinLow(kWE);
        Ep3.PinHigh(kWE);
        Ep3.PinHigh(kCE);
        Ep3.PinLow(kOE);
        Ep3.SetPortMode(ReadMode);
        Ep3.PinLow(kCE);
        Flush();
        if (p >= kFirstVerify) {
            Put1(OpCaptureData);
            erased = Ep3.UsbReadReply() == 0xFF;
        }
    }
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    if (erased) {
        Success("OK");
        return;
    }
    Status("Bad!!!");
    StepFailed();
    Flush();
}

// ---- TPi28f001x ---------------------------------------------------------------------------------------

TPi28f001x::TPi28f001x(Workbench& w) : Pi28Form(w, "Pi28f001") {
    Texts.Blank = "Blank CHK";
    Writing = {.Block = kBlock, .Align = 1, .ReadBackEvery = 0};
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this),
                          {IdLabel(), PushButton({"MFG", " ID "}), IdField(), TypeField(),
                           PushButton({"Erase", "Erase"}), PushButton({"Blank", "Blank?  "}),
                           PushButton({"Write", "Write "}), PushButton({"Verify", "Vrfy."}),
                           PushButton({"ReadButton", "Read  "})},
                          BatchGroup({TickedBox({"CheckBox1", "Erase "}), TickedBox({"CheckBox2", "Blank?"}),
                                      TickedBox({"CheckBox3", "Burn"}), TickedBox({"CheckBox4", "Vrfy"})}),
                          StatusFoot(true)}),
                    this, Operations(this));
    FillVariantTable();
}

// The contact test of every row is the form's constant one (pins 6 to 33, 35
// and 36); Blank runs it too, so an empty socket never reads as blank.
void TPi28f001x::FillVariantTable() {
    StartTable();
    const auto row = [this](std::size_t i, const char* name, std::int32_t last, Pi28Columns columns) {
        Table[i] = MakeVariant({.name = name, .last = last, .vccPin = 36, .vppPin = kVppPin, .vppMv = kVppMv,
                                .contactPins = {{6, 33}, {35, 36}}});
        Columns[i] = std::move(columns);
    };
    row(1, "i28f001 BX-T ", 0x1FFFF,
        {.BootPin = 28, .Blocks = {{112, 1}, {4, 1}, {4, 1}, {8, 1}}, .BootFirst = 0x1E000, .BootLast = 0x1FFFF});
    row(2, "i28f001 BX-B ", 0x1FFFF,
        {.BootPin = 28, .Blocks = {{8, 1}, {4, 1}, {4, 1}, {112, 1}}, .BootFirst = 0x0, .BootLast = 0x1FFF});
    row(3, "i28f002 BC-T ", 0x3FFFF, {.Blocks = {{128, 1}, {96, 1}, {8, 1}, {8, 1}, {16, 1}}});
    row(4, "i28f002 BC-B ", 0x3FFFF, {.Blocks = {{16, 1}, {8, 1}, {8, 1}, {96, 1}, {128, 1}}});
}

const Pi28Columns& TPi28f001x::Cols() const {
    const std::size_t i = static_cast<std::size_t>(wb.sel.VariantIndex);
    return Columns.at(i < Columns.size() ? i : 0);
}

void TPi28f001x::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    Ep3.LoadBitFile("vex300.bit");
    Ep3.SetVcc(5000);
    WriteMode = PortModeReset;
    ReadMode = PortModeRead;
    SetCaption("0 to " + HexPlain(r.LastAddress));
    if (Has(kType)) Put(kType, wb.sel.TypeText);
    if (wb.FileWin) wb.FileWin->EndAddr = r.LastAddress;
    wb.Display();
    Ep3.SetVpp(0);
    Ep3.InitBitReverse();
    Offsets.Length = r.LastAddress;
    Offsets.ShowAll();
}

void TPi28f001x::OnClose() { Ep3.PowerOff(); }

bool TPi28f001x::PowerUp(const VariantRecord& r) {
    Ep3.GndPin(kGround);
    Ep3.VccPin(r.VccPin);
    return Ep3.CheckCurrent() != 0;
}

void TPi28f001x::ResetSocket() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Ep3.SetAllPins(0);
    Ep3.SetAllPins(255);
}

void TPi28f001x::WriteCycle(std::int32_t address, std::uint8_t value) {
    Ep3.SetPortMode(PortModeReset);
    SetAddressParallel(address);
    Ep3.WriteLatch(2, value);
    Ep3.PinHigh(kOE);
    Ep3.PinLow(kCE);
    Ep3.PinLow(kWE);
    Put1(OpWaitPulse);
    Ep3.PinHigh(kWE);
    Ep3.PinLow(kOE);
}

// Status reads with OE pulses (the part latches its status as OE falls): at
// most 21, ready when SR.7 is set and SR.5, SR.4 and SR.3 are clear.
std::uint8_t TPi28f001x::PollStatus() {
    Put1(OpWait100ms);
    Ep3.SetPortMode(ReadMode);
    std::uint8_t s = 0;
    for (int n = 0; n <= 20; ++n) {
        Status(std::to_string(n));
        Ep3.PinLow(kOE);
        Put1(OpCaptureData);
        Ep3.PinHigh(kOE);
        s = Ep3.UsbReadReply();
        if ((s & 0xB8) == 0x80) break;
        Put1(OpWait100ms);
        Put1(OpWait100ms);
    }
    Ep3.SetPortMode(PortModeReset);
    return s;
}

std::uint8_t TPi28f001x::EraseBlock(const VariantRecord& r, std::int32_t address) {
    const Pi28Columns& c = Cols();
    ResetSocket();
    Ep3.SetVpp(r.VppMv);
    Ep3.GndPin(kGround);
    Put1(OpWait100ms);
    Ep3.VccPin(r.VccPin);
    Ep3.VppPin(r.VppPin);
    if (c.BootPin && c.BootFirst <= address && address <= c.BootLast) Ep3.VppPin(c.BootPin);
    Ep3.SetPortMode(PortModeReset);
    Ep3.PinHigh(kOE);
    Ep3.PinLow(kCE);
    WriteCycle(address, 0x20);
    WriteCycle(address, 0xD0);
    if (c.BootPin) Ep3.VppPinOff(c.BootPin);
    return PollStatus();
}

// One block erase per block of the row's list. A block whose last status is not
// ready, or shows an error bit, ends the erase with its address and status (the
// step fails, so a batch ends there).
void TPi28f001x::EraseClick() {
    const VariantRecord& r = Row();
    const Pi28Columns c = Cols();
    if (!ContactTest(r)) return;
    Status("Erasing");
    std::int32_t address = 0;
    for (const auto& [kib, count] : c.Blocks) {
        ShowProgress(address);
        if (count == 0) break;
        for (int i = 0; i < count; ++i) {
            if (address > r.LastAddress) break;  // a list never reaches past the chip
            const std::uint8_t s = EraseBlock(r, address);
            lastStatus_ = s;
            if (!Ep3.CheckCurrent()) return;
            if ((s & 0xB8) != 0x80) {
                char text[48];
                std::snprintf(text, sizeof text, "%06x:Erase error=%02x", static_cast<unsigned>(address), s);
                Ep3.VppPin(0);
                Ep3.VccPin(0);
                Flush();
                Status(text);
                wb.ErrorFlag() = 1;
                StepFailed();
                return;
            }
            address += kib * 1024;
            Put1(OpWait100ms);
        }
    }
    ShowProgress(r.LastAddress);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("End.");
}

// 12 V on the boot pin from the start (the boot block of the BX rows stays
// open through the whole Write), VPP on pin 5.
bool TPi28f001x::WriteBegin(const VariantRecord& r) {
    const Pi28Columns& c = Cols();
    ResetSocket();
    Ep3.PinHigh(kWE);
    Ep3.PinHigh(kOE);
    Ep3.PinLow(kCE);
    Ep3.GndPin(kGround);
    Ep3.SetVpp(r.VppMv);
    Ep3.VccPin(r.VccPin);
    Ep3.VppPin(r.VppPin);
    Ep3.VppPin(c.BootPin);
    if (!Ep3.CheckCurrent()) return false;
    Put1(OpWait100ms);
    Ep3.SetPortMode(PortModeReset);
    Ep3.PinLow(kCE);
    Ep3.PinHigh(kOE);
    SetAddressParallel(Offsets.DeviceOffset);
    ShowProgress(Offsets.DeviceOffset);
    bootFlag_ = 0;
    return true;
}

// The boot pin follows the block about to be programmed (the frame has set its
// address, write mode, CE low, OE high and VPP on pin 5).
void TPi28f001x::ProgramBlock(const VariantRecord& r, const Block& b) {
    SwitchBootVpp(r, b.chip);
    Pi28Form::ProgramBlock(r, b);
}

void TPi28f001x::SwitchBootVpp(const VariantRecord& r, std::int32_t address) {
    const Pi28Columns& c = Cols();
    if (bootFlag_ == 0 && c.BootFirst <= address && address <= c.BootLast) {
        Ep3.VppPin(c.BootPin);
        bootFlag_ = 1;
        Put1(OpWaitSettle);
    }
    if (bootFlag_ == 1 && address > c.BootLast) {
        Ep3.VppPin(0);
        Ep3.VppPin(r.VppPin);
        bootFlag_ = 0;
    }
}

// ---- TSst28vf040 --------------------------------------------------------------------------------------

TSst28vf040::TSst28vf040(Workbench& w) : Pi28Form(w, "SST28vf040a") {
    UsesVpp = false;
    UsesVccKey = true;
    OnePass = false;
    ProgramSetup = 0x10;
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this), {TypeField()},
                          OperationButtons({Op::Erase, Op::Blank, Op::Write, Op::Verify, Op::Read}),
                          {Radio({"RadioGroup1", "Erasing "}, {"CHIP(F.)", "SECTOR(\xe6\x85\xa2)"}, 0)},
                          BatchGroup(EraseBlankWriteVerifyBoxes()), StatusFoot(false)}),
                    this, Operations(this));
    FillVariantTable();
}

void TSst28vf040::FillVariantTable() {
    StartTable();
    Table[1] = MakeVariant({.name = "28f256A", .last = 0x7FFF, .vccPin = 36});
    Table[2] = MakeVariant({.name = "28f257A", .last = 0x7FFF, .vccPin = 36});
    Table[3] = MakeVariant({.name = "28f512A", .last = 0xFFFF, .vccPin = 36});
    Table[4] = MakeVariant({.name = "28f010A", .last = 0x1FFFF, .vccPin = 36, .contactPins = {{6, 33}, {35, 36}}});
    Table[5] = MakeVariant({.name = "28f020A", .last = 0x3FFFF, .vccPin = 36, .contactPins = {{6, 33}, {35, 36}}});
    Table[6] = MakeVariant({.name = "28f040A", .last = 0x7FFFF, .vccPin = 36, .contactPins = {{6, 33}, {35, 36}}});
}

void TSst28vf040::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    Ep3.LoadBitFile("vex300.bit");
    Ep3.GndPin(kGround);
    Ep3.SetVcc(LineVcc(2500));
    WriteMode = PortModeReset;
    ReadMode = PortModeRead;
    ShowRow(r, false);
}

// Seven read cycles (CE pulses with OE low) at the part's unprotect addresses.
void TSst28vf040::SdpUnprotectReads() {
    Ep3.SetPortMode(ReadMode);
    Ep3.PinLow(kOE);
    Ep3.PinHigh(kCE);
    for (std::int32_t a : {0x1823, 0x1820, 0x1822, 0x0418, 0x041B, 0x0419, 0x041A}) {
        SetAddressParallel(a);
        Ep3.PinLow(kCE);
        Ep3.PinHigh(kCE);
    }
    Flush();
}

void TSst28vf040::CommandCycle(std::uint8_t value) {
    Ep3.PinLow(kCE);
    Ep3.WriteLatch(2, value);
    Put1(OpBusWrite);
    Ep3.PinHigh(kCE);
}

void TSst28vf040::EraseClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    Status("Erasing");
    Ep3.VccPin(r.VccPin);
    if (!Ep3.CheckCurrent()) return;
    SdpUnprotectReads();
    Ep3.SetPortMode(PortModeReset);
    SetAddressParallel(0);
    Ep3.PinHigh(kOE);
    Ep3.PinHigh(kCE);
    if (ItemIndex("RadioGroup1") == 0) {
        CommandCycle(0x30);
        CommandCycle(0x30);
        Put1(OpWaitSettle);
        Put1(OpWaitSettle);
    } else {
        // Sectors from chip address 0 while below Length (never past the chip).
        for (std::int32_t a = 0; a < Offsets.Length && a <= r.LastAddress; a += 256) {
            SetAddressParallel(a);
            CommandCycle(0x20);
            CommandCycle(0xD0);
            for (int i = 0; i < 5; ++i) Put1(OpWait1ms);
            Flush();
            ShowProgress(a);
        }
    }
    Ep3.VccPin(0);
    Success("OK");
}

bool TSst28vf040::WriteBegin(const VariantRecord& r) {
    if (!PowerUp(r)) return false;
    SdpUnprotectReads();
    return true;
}

QUILLA_FORM(TPi28fxxx);
QUILLA_FORM(TPi28f001x);
QUILLA_FORM(TSst28vf040);

}  // namespace quilla
