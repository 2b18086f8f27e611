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
    DeclareWindow({true, true, true, true, true});
    FillVariantTable();
}

void TGALx::FillVariantTable() {
    Table = {
        {"0:   ", 0, 0, 0, 0, 0, 0},
        {"1: 16V8 16.5V", 16500, 12, 30, 1, 32, 64},
        {"2: 16V8A 12V", 12000, 12, 30, 1, 32, 64},
        {"3: 16V8B 12V", 12000, 12, 30, 1, 32, 64},
        {"4: 20V8 16.5V", 16500, 10, 32, 2, 40, 64},
        {"5: 20V8A 12V", 12000, 10, 32, 2, 40, 64},
        {"6: 20V8B 12V", 12000, 10, 32, 2, 40, 64},
        {"7: 22V10A 12V", 12000, 10, 32, 3, 44, 132},
        {"8: ATF16V8 12.0V", 12000, 12, 30, 1, 32, 64},
        {"9: ATF20V8 12.0V", 12000, 10, 32, 2, 40, 64},
        {"10: GAL16V8 10V", 10000, 12, 30, 1, 32, 64},
    };
}

const GalRowForm::Texts& TGALx::Messages() const {
    static const Texts t{"Verify.", true, "CFG bit error.!", "OK!!!"};
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
    static constexpr ReadLines gal16{Latch1Gal16, 0x18, 0x04, 22, 0x10};
    static constexpr ReadLines gal20{Latch1Gal20, 0x28, 0x08, 23, 0x20};
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
