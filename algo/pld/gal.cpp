#include "algo/pld/gal.h"

#include <algorithm>

#include "engine/protocol.h"

namespace quilla {

using namespace proto;

namespace {
constexpr int DataIn = 19, ShiftClock = 18, Strobe = 21;
constexpr int SamplesPerReply = 64;

int R0(int r) { return r & 1; }
int R5(int r) { return (r >> 5) & 1; }
int Bit(int r, int k) { return (r >> k) & 1; }
}  // namespace

TGALx::TGALx(Workbench& w) : GalRowForm(w, "PLD 16v8,20v8") {
    DeclareControls<PldForm>(Window({}), this, Operations());
    FillVariantTable();
}

namespace {
// A row of the 20-pin 16V8 parts (protocol 1: VPP on socket 12, VCC on 30, 32
// rows of 64 bits), of the 24-pin 20V8 parts (protocol 2: VPP on 10, VCC on
// 32, 40 rows of 64) or the 22V10 (protocol 3, which this form does not speak).
VariantRecord Gal16(VariantRecord r) {
    r.VppPin = 12, r.VccPin = 30, r.PldProtocol = 1, r.Rows = 32, r.Bits = 64;
    return r;
}
VariantRecord Gal20(VariantRecord r) {
    r.VppPin = 10, r.VccPin = 32, r.PldProtocol = 2, r.Rows = 40, r.Bits = 64;
    return r;
}
VariantRecord Serial22V10(VariantRecord r) {
    r.VppPin = 10, r.VccPin = 32, r.PldProtocol = 3, r.Rows = 44, r.Bits = 132;
    return r;
}
}  // namespace

void TGALx::FillVariantTable() {
    Table = {
        {.Name = "0:   "},
        Gal16({.Name = "1: 16V8 16.5V", .Vpp = 16500}),
        Gal16({.Name = "2: 16V8A 12V", .Vpp = 12000}),
        Gal16({.Name = "3: 16V8B 12V", .Vpp = 12000}),
        Gal20({.Name = "4: 20V8 16.5V", .Vpp = 16500}),
        Gal20({.Name = "5: 20V8A 12V", .Vpp = 12000}),
        Gal20({.Name = "6: 20V8B 12V", .Vpp = 12000}),
        Serial22V10({.Name = "7: 22V10A 12V", .Vpp = 12000}),
        Gal16({.Name = "8: ATF16V8 12.0V", .Vpp = 12000}),
        Gal20({.Name = "9: ATF20V8 12.0V", .Vpp = 12000}),
        Gal16({.Name = "10: GAL16V8 10V", .Vpp = 10000}),
    };
}

const GalRowForm::Texts& TGALx::Messages() const {
    static const Texts t{
        .verifying = "Verify.", .errorCodes = true, .archError = "CFG bit error.!", .verified = "OK!!!"};
    return t;
}

void TGALx::PowerUpPld(const VariantRecord& r) {
    Ep3.SetAllPins(1);
    Ep3.GndPin(GroundPin);
    Ep3.SetVpp(r.Vpp);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.VccPin(r.VccPin);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.VppPin(r.VppPin);
    Ep3.UsbFlush();
}

void TGALx::ShiftFuseRow(const VariantRecord& r, int row, int n) {
    if (r.PldProtocol == 1) ShiftRowGal16(row, n);
    if (r.PldProtocol == 2) ShiftRowGal20(row, n);
}

namespace {
int Latch1Gal16(int r) { return Bit(r, 1) * 0x10 | Bit(r, 2) * 0x20 | Bit(r, 3) * 0x40 | Bit(r, 4) * 0x80; }
int Latch1Gal20(int r) { return Bit(r, 1) * 0x04 | Bit(r, 2) * 0x08 | Bit(r, 3) * 0x10 | Bit(r, 4) * 0x80; }
}  // namespace

void TGALx::ReadFuseRow(const VariantRecord& r, int row, int n) {
    static constexpr ReadLines gal16{.latch1 = Latch1Gal16, .latch2 = 0x18, .row0 = 0x04, .dataOut = 22, .mask = 0x10};
    static constexpr ReadLines gal20{.latch1 = Latch1Gal20, .latch2 = 0x28, .row0 = 0x08, .dataOut = 23, .mask = 0x20};
    if (r.PldProtocol == 1) ReadRow(gal16, row, n);
    if (r.PldProtocol == 2) ReadRow(gal20, row, n);
}

void TGALx::ReadRow(const ReadLines& lines, int row, int n) {
    Ep3.WriteLatch(1, lines.latch1(row));
    Ep3.WriteLatch(3, R0(row) ? lines.row0 : 0);
    Ep3.WriteLatch(2, lines.latch2 | R5(row));
    Ep3.WriteLatch(2, (lines.latch2 & ~0x08) | R5(row));
    Ep3.WriteLatch(2, lines.latch2 | R5(row));
    Ep3.SetPinOption(lines.dataOut, 1);
    SampleRow(n, lines.mask);
}

void TGALx::ProgramStrobe(int waits) {
    Ep3.PinLow(Strobe);
    QueueWaits(OpWaitSettle, waits);
    Ep3.PinHigh(Strobe);
    Ep3.UsbFlush();
}

void TGALx::ShiftData(int n) {
    for (int i = 0; i < n; ++i) {
        Ep3.SetPin(FuseRowBuffer[static_cast<std::size_t>(i)] == '1', DataIn);
        Clock(ShiftClock);
    }
}

void TGALx::SampleRow(int n, std::uint8_t mask) {
    for (int g = 0; g < n; g += SamplesPerReply) {
        const int m = std::min(SamplesPerReply, n - g);
        for (int k = 0; k < m; ++k) {
            Ep3.UsbPut1(OpCaptureData);
            Clock(ShiftClock);
        }
        const std::uint8_t* reply = Ep3.UsbReplyBuf.data();
        Ep3.UsbReadReply();
        for (int k = 0; k < m; ++k) FuseRowBuffer[static_cast<std::size_t>(g + k)] = (reply[k] & mask) ? '1' : '0';
    }
}

// ---- the row writes ---------------------------------------------------------------------------

void TGALx::ShiftRowGal16(int row, int n) {
    Ep3.SetPinOption(22, 1);
    Ep3.WriteLatch(2, 0x1C | R5(row));
    Ep3.WriteLatch(1, Latch1Gal16(row));
    Ep3.WriteLatch(3, 0x08 | (R0(row) ? 0x04 : 0));
    ShiftData(n);
    Ep3.UsbFlush();
    ProgramStrobe(4);
}

void TGALx::ShiftRowGal20(int row, int n) {
    Ep3.WriteLatch(1, Latch1Gal20(row));
    Ep3.WriteLatch(2, 0x28 | R5(row));
    Ep3.WriteLatch(3, 0x10 | (R0(row) ? 0x08 : 0));
    ShiftData(n);
    ProgramStrobe(3);
}

QUILLA_FORM(TGALx);

}  // namespace quilla
