#include "algo/pld/palce.h"

namespace quilla {

namespace {
constexpr int Data = 12, ShiftClock = 11, AddressPhase = 14, DataPhase = 15, Program = 18;
constexpr int DataOut = 29;  // the chip's pin 19
}  // namespace

TPalceGALx::TPalceGALx(Workbench& w) : GalRowForm(w, "PALCEGAL") {
    DeclareControls<PldForm>(Window({.Erase = false, .Lock = false}), this, Operations());
    FillVariantTable();
}

void TPalceGALx::FillVariantTable() {
    Table = {
        {.Name = "0:   "},
        {.Name = "1: PALCE16V8H 10V", .Vpp = 10000, .VppPin = 13, .VccPin = 30, .PldProtocol = 1, .Rows = 34,
         .Bits = 64},
    };
}

const GalRowForm::Texts& TPalceGALx::Messages() const {
    static const Texts t{.verifying = "Verifying data.........",
                         .errorCodes = false,
                         .archError = "CFG bit error!!",
                         .verified = "Data OK.."};
    return t;
}

void TPalceGALx::PowerUpPld(const VariantRecord& r) {
    Ep3.SetAllPins(0);
    Ep3.GndPin(GroundPin);
    Ep3.SetVpp(r.Vpp);
    Ep3.VccPin(r.VccPin);
    Ep3.VppPin(r.VppPin);
}

void TPalceGALx::SelectRow(int row) {
    Ep3.SetPinOption(Data, 0);
    Ep3.PinLow(Program);
    Ep3.PinLow(DataPhase);
    Ep3.PinHigh(AddressPhase);
    for (int b = 5; b >= 0; --b) {
        Ep3.SetPin((row >> b) & 1, Data);
        Clock(ShiftClock);
    }
    Ep3.PinLow(AddressPhase);
    Ep3.PinHigh(DataPhase);
}

void TPalceGALx::ShiftFuseRow(const VariantRecord& r, int row, int n) {
    (void)r;
    SelectRow(row);
    for (int i = 0; i < n; ++i) {
        Ep3.SetPin(FuseRowBuffer[static_cast<std::size_t>(i)] == '1', Data);
        Clock(ShiftClock);
    }
    Ep3.PinHigh(Program);
}

void TPalceGALx::ReadFuseRow(const VariantRecord& r, int row, int n) {
    (void)r;
    SelectRow(row);
    Ep3.SetPinOption(DataOut, 1);
    for (int i = 0; i < n; ++i) {
        FuseRowBuffer[static_cast<std::size_t>(i)] = Ep3.ReadPinState(DataOut) ? '1' : '0';
        Clock(ShiftClock);
    }
    Ep3.PinLow(DataPhase);
}

QUILLA_FORM(TPalceGALx);

}  // namespace quilla
