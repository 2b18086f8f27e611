#include "algo/pld/p22v10.h"

#include <algorithm>
#include <cstdio>

#include "app/jedec.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;

namespace {
constexpr int DataIn = 19, ShiftClock = 18, Strobe = 21, Frame = 11, DataOut = 22, EraseLine = 12;

// A 22V10 row: VCC on socket 32, 44 rows of 132 bits in the serial row protocol.
VariantRecord Part(VariantRecord r) {
    r.VccPin = 32, r.PldProtocol = 3, r.Rows = Serial22V10Form::Rows, r.Bits = Serial22V10Form::Bits;
    return r;
}
}  // namespace

Serial22V10Form::Serial22V10Form(Workbench& w, std::string caption) : PldForm(w, std::move(caption)) {}

void Serial22V10Form::SetupForDevice() {
    if (!CheckDeviceLine()) return;
    SetupWindow(DesignFile(), wb.sel.SelectedDevice);
    latch1_ = latch2_ = 0;  // a fresh design: its latches read 0
}

void Serial22V10Form::SetLatch(int k, int v) {
    if (k == 1) latch1_ = v;
    if (k == 2) latch2_ = v;
    Ep3.WriteLatch(k, v);
}

void Serial22V10Form::ClockRowNumber(int row, int latch2) {
    int v = latch2;
    for (int k = 0; k < 6; ++k) {
        v = ((row >> k) & 1) ? (v | 0x04) : (v & ~0x04);
        SetLatch(2, v);
        Clock(ShiftClock);
    }
}

void Serial22V10Form::FramedStrobe() {
    Ep3.PinHigh(Frame);
    Ep3.PinLow(Strobe);
    Ep3.PinHigh(Strobe);
    Ep3.PinLow(Frame);
}

// ---- the serial row protocol --------------------------------------------------------------------

void Serial22V10Form::ShiftRow22V10(int row, int n) {
    SetLatch(1, 0x02);
    SetLatch(3, 0x00);
    SetLatch(2, 0x18);
    for (int i = 0; i < n; ++i) {
        Ep3.SetPin(FuseRowBuffer[static_cast<std::size_t>(i)] != '0', DataIn);
        Clock(ShiftClock);
    }
    ClockRowNumber(row, 0x18);
    FramedStrobe();
}

void Serial22V10Form::WriteArchBits() {
    for (int i = 0; i < ArchBits; ++i) FuseRowBuffer[static_cast<std::size_t>(i)] = static_cast<char>(Fuse(A + i));
    SetLatch(1, 0x82);
    SetLatch(3, 0x00);
    SetLatch(2, 0x38);
    for (int i = 0; i < ArchBits; ++i) {
        Ep3.SetPin(FuseRowBuffer[static_cast<std::size_t>(i)] != '0', DataIn);
        Clock(ShiftClock);
    }
    SetLatch(1, 0x86);
    SetLatch(2, 0x30);
    SetLatch(2, 0x38);
    SetLatch(1, 0x82);
}

// ---- operations -----------------------------------------------------------------------------------

void Serial22V10Form::BlankClick() {
    const VariantRecord& r = Row();
    Status("Checking.........");
    if (!PowerUpChecked(r)) return;
    PrepareArrayRead();
    if (!ArrayBlank(Rows, Bits, [this](int i) { ReadArrayRow(i); })) return;
    SuppliesOff();
    Success("Blank.");
}

void Serial22V10Form::EraseClick() {
    const VariantRecord& r = Row();
    if (!PowerUpChecked(r)) return;
    Status("Erasing");
    SetLatch(1, 0xEA);
    SetLatch(3, 0x00);
    SetLatch(2, 0x3D);
    for (int i = 0; i < Bits; ++i) Clock(ShiftClock);
    for (int k = 0; k < 6; ++k) {
        Ep3.SetPin((EraseRow >> k) & 1, DataIn);
        Clock(ShiftClock);
    }
    FramedStrobe();
    Clock(EraseLine);
    Ep3.UsbFlush();
    Success("End.");
}

void Serial22V10Form::WriteClick() {
    const VariantRecord& r = Row();
    if (!NeedFuseWindow("Must open *.jed to write!!!!!!!!!")) return;
    const std::string refusal = WriteRefusal();
    if (!refusal.empty()) {
        wb.prompts.ShowMsg(refusal);
        Refuse(refusal);
    }
    std::vector<int> written;
    for (int n = 0; n < A + ArchBits + Bits; ++n) written.push_back(n);
    RequireFuseCharacters(written);

    Status("Writing..");
    if (!PowerUpChecked(r)) return;
    ShiftArrayFromMap(r, Rows, Bits);
    WriteArchBits();
    ShiftFuseRange(r, Rows, A + ArchBits, Bits);
    SuppliesOff();
    Success("End.");
}

void Serial22V10Form::VerifyClick() {
    const VariantRecord& r = Row();
    Status("Verifying data.........");
    if (!PowerUpChecked(r)) return;
    auto fail = [&](int position) {
        Status("Buffer is different with chip...");
        wb.ErrorFlag() = 1;
        ShowProgress(position);
        SuppliesOff();
    };
    PrepareArrayRead();
    if (const auto bad = FindInArray(Rows, Bits, [this](int i) { ReadArrayRow(i); }, [this](int i, int j) {
            return Fuse(i + Rows * j) == static_cast<std::uint8_t>(FuseRowBuffer[static_cast<std::size_t>(j)]);
        })) {
        fail(Bits * bad->second + bad->first);
        return;
    }
    // The architecture bits count too: a chip with the right array and the
    // wrong output configuration is no verified chip.
    if (ReadArchitecture()) {
        for (int k = 0; k < ArchBits; ++k) {
            if (Fuse(A + k) == static_cast<std::uint8_t>(FuseRowBuffer[static_cast<std::size_t>(k)])) continue;
            fail(A + k);
            return;
        }
    }
    SuppliesOff();
    wb.ErrorFlag() = 0;
    Success("Data OK..");
}

void Serial22V10Form::SecrityClick() {
    const VariantRecord& r = Row();
    if (!PowerUpChecked(r)) return;
    FuseRowBuffer[0] = '0';
    ShiftFuseRow(r, SecurityRow, 1);
    SuppliesOff();
    if (!PowerUpChecked(r)) return;
    // A locked chip reads every bit of every row as 1; all 132 are looked at
    // (a chip programmed only above bit 43 must not pass).
    PrepareArrayRead();
    const auto readsOne = [this](int, int j) { return FuseRowBuffer[static_cast<std::size_t>(j)] == '1'; };
    if (FindInArray(Rows, Bits, [this](int i) { ReadArrayRow(i); }, readsOne, false)) {
        Status("LockFailed.");
        wb.ErrorFlag() = 1;
        SuppliesOff();
        return;
    }
    SuppliesOff();
    Success("Locked..");
}

// ---- TP22V10x ---------------------------------------------------------------------------------------

TP22V10x::TP22V10x(Workbench& w) : Serial22V10Form(w, "PLD  22v10") {
    DeclareControls<PldForm>(Window({.Erase = false, .Lock = false}), this, Operations());
    FillVariantTable();
}

void TP22V10x::FillVariantTable() {
    Table = {
        {.Name = "0:   "},
        Part({.Name = "1: 22V10  12V", .Vpp = 12000, .VppPin = 10}),
        Part({.Name = "2: 22V10B 12V", .Vpp = 12000, .VppPin = 10}),
        Part({.Name = "3: 22V10B 12V", .Vpp = 12000, .VppPin = 10}),
    };
}

void TP22V10x::PowerUpPld(const VariantRecord& r) {
    Ep3.SetAllPins(1);
    Ep3.GndPin(GroundPin);
    Ep3.SetVpp(r.Vpp);
    Ep3.VccPin(r.VccPin);
    Ep3.VppPin(r.VppPin);
}

void TP22V10x::ReadRow22V10(int row, int n) {
    SetLatch(1, 0x02);
    SetLatch(3, 0x00);
    SetLatch(2, 0x38);
    ClockRowNumber(row, 0x38);
    Ep3.PinLow(Strobe);
    Ep3.PinHigh(Strobe);
    Ep3.SetPinOption(DataOut, 1);
    for (int i = 0; i < n; ++i) {
        FuseRowBuffer[static_cast<std::size_t>(i)] = Ep3.ReadPinState(DataOut) ? '1' : '0';
        Clock(ShiftClock);
    }
}

bool TP22V10x::ReadArchitecture() {
    SetLatch(1, 0x82);
    SetLatch(3, 0x00);
    SetLatch(2, 0x38);
    SetLatch(2, 0x30);
    SetLatch(2, 0x38);
    for (int i = 0; i < ArchBits; ++i) {
        FuseRowBuffer[static_cast<std::size_t>(i)] = Ep3.ReadPinState(DataOut) ? '1' : '0';
        Clock(ShiftClock);
    }
    return true;
}

void TP22V10x::ReadRom() {
    const VariantRecord& r = Row();
    ShowFuseWindow(r);
    Status("Reading data ........");
    if (!PowerUpChecked(r)) return;
    FillFuseMap('1');
    ReadArrayIntoMap(Rows, Bits, [this](int i) { ReadArrayRow(i); });
    ReadArchitecture();
    FuseRangeFromBuffer(A, ArchBits);
    ReadRow22V10(Rows, Bits);
    FuseRangeFromBuffer(A + ArchBits, Bits);
    EndRead(r, false);
}

QUILLA_FORM(TP22V10x);

// ---- TAmi22cv10x ------------------------------------------------------------------------------------

TAmi22cv10x::TAmi22cv10x(Workbench& w) : Serial22V10Form(w, "Ami22cv10x") {
    DeclareControls<PldForm>(Window({.Erase = false, .Lock = false}), this, Operations());
    FillVariantTable();
}

void TAmi22cv10x::FillVariantTable() {
    Table = {
        {.Name = "0:   "},
        Part({.Name = "1: 22CV10  ", .Vpp = 14500, .VppPin = 9}),
        Part({.Name = "2: 22CV10A ", .Vpp = 14500, .VppPin = 9}),
        Part({.Name = "3: 22CV10A+ ", .Vpp = 14500, .VppPin = 9}),
        Part({.Name = "4: 22CV10Z ", .Vpp = 14500, .VppPin = 9}),
    };
}

void TAmi22cv10x::PowerUpPld(const VariantRecord& r) {
    Ep3.SetAllPins(0);
    Ep3.GndPin(GroundPin);
    Ep3.SetVpp(r.Vpp);
    Ep3.PinHigh(10);
    for (int p : {11, 12, 13, 14, 21, 22, 23}) Ep3.PinLow(p);
    Ep3.VccPin(r.VccPin);
    Ep3.VppPin(r.VppPin);
}

void TAmi22cv10x::SelectColumnGroup(int g) {
    Ep3.SetPin(g & 1, 15);
    Ep3.SetPin(g & 2, 16);
    SetLatch(2, (latch2_ & ~0x07) | (g >> 2));
}

std::vector<std::uint8_t> TAmi22cv10x::ReadColumnGroup(int n) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        Ep3.PinHigh(14);
        Ep3.PinHigh(12);
        const int a = Ep3.ReadByteCmd(OpCapturePort1);
        const int c = Ep3.ReadByteCmd(OpCaptureData);
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(((c << 2) | (a >> 6)) & 0xFF);
        Ep3.PinLow(12);
        Ep3.PinLow(14);
    }
    return bytes;
}

void TAmi22cv10x::ReadArrayByColumns(std::vector<std::uint8_t>& cells) {
    for (int k = 24; k <= 31; ++k) Ep3.SetPinOption(k, 1);
    for (int c = 0; c < Bits; c += 8) {
        ShowProgress(Rows * c);
        SelectColumnGroup(c / 8);
        const std::vector<std::uint8_t> bytes = ReadColumnGroup(Rows);
        for (int i = 0; i < Rows; ++i)
            for (int k = 0; k < 8 && c + k < Bits; ++k)
                if (bytes[static_cast<std::size_t>(i)] & (1u << k)) cells[static_cast<std::size_t>(i + Rows * (c + k))] = '1';
    }
    ShowProgress(Rows * Bits);
}

void TAmi22cv10x::PrepareArrayRead() {
    cells_.assign(static_cast<std::size_t>(A), '0');
    ReadArrayByColumns(cells_);
}

void TAmi22cv10x::ReadArrayRow(int i) {
    for (int j = 0; j < Bits; ++j)
        FuseRowBuffer[static_cast<std::size_t>(j)] = static_cast<char>(cells_[static_cast<std::size_t>(i + Rows * j)]);
}

void TAmi22cv10x::ReadRom() {
    const VariantRecord& r = Row();
    ShowFuseWindow(r);
    Status("Reading..");
    if (!PowerUpChecked(r)) return;
    FillFuseMap('0');
    ReadArrayByColumns(wb.ImageBuffer);
    // The architecture bits and row 44 cannot be read here: they stay '0',
    // and Write will not take them for the chip's.
    EndRead(r, true);
}

std::string TAmi22cv10x::WriteRefusal() const {
    if (wb.PldFileW && wb.PldFileW->ArchitectureUnread)
        return "The architecture bits and row 44 of this map were not read from a chip (this form "
               "cannot read them): load a JEDEC file or type them before writing.";
    return {};
}

QUILLA_FORM(TAmi22cv10x);

}  // namespace quilla
