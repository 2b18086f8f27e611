#include "algo/memory/p27.h"

#include <algorithm>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRows = 30;

}  // namespace

TP27x::TP27x(Workbench& w) : SocketForm(w, "P27", kRows) {
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this),
                          {PushButton({"MFG", " ID "}), IdField(), TypeField(), PushButton({"Blank", "Blank?"}),
                           PushButton({"Write", "Write"}), PushButton({"Verify", "Verf."}),
                           PushButton({"ReadButton", "Read  "}),
                           Radio({"RadioGroup1", "Speed   "}, {"F.++", "Fast", "Mid.", "Slow", "S.++"}, 0)},
                          BatchGroup({TickedBox({"CheckBox2", "Blank?"}), TickedBox({"CheckBox3", "Burn"}),
                                      TickedBox({"CheckBox4", "Vrfy"})}),
                          StatusFoot(true)}),
                    this, Operations(this));
    FillVariantTable();
}

// The pulse code picks the wait of a program pulse (ProgramPulseWait).
void TP27x::FillVariantTable() {
    Table.assign(kRows, VariantRecord{});
    Table[0] = MakeVariant({.name = "???"});
    Table[1] = MakeVariant({.name = "2716    12.7v", .last = 0x7FF, .vccPin = 32, .vppPin = 29, .programPin = 26,
                            .pulseCode = 100, .vppMv = 12500, .contactPins = {{9, 32}}});
    Table[2] = MakeVariant({.name = "2716    21v", .last = 0x7FF, .vccPin = 32, .vppPin = 29, .programPin = 26,
                            .pulseCode = 100, .vppMv = 21000, .contactPins = {{9, 32}}});
    Table[3] = MakeVariant({.name = "2716    25v", .last = 0x7FF, .vccPin = 32, .vppPin = 29, .programPin = 26,
                            .pulseCode = 100, .vppMv = 25000, .contactPins = {{9, 32}}});
    Table[4] = MakeVariant({.name = "2732    12.7v", .last = 0xFFF, .vccPin = 32, .vppPin = 28, .programPin = 26,
                            .pulseCode = 100, .vppMv = 12500, .contactPins = {{9, 32}}});
    Table[5] = MakeVariant({.name = "2732    21v", .last = 0xFFF, .vccPin = 32, .vppPin = 28, .programPin = 26,
                            .pulseCode = 100, .vppMv = 21000, .contactPins = {{9, 32}}});
    Table[6] = MakeVariant({.name = "2732    25v", .last = 0xFFF, .vccPin = 32, .vppPin = 28, .programPin = 26,
                            .pulseCode = 100, .vppMv = 25000, .contactPins = {{9, 32}}});
    Table[7] = MakeVariant({.name = "2764    12.7v", .last = 0x1FFF, .vccPin = 34, .vppPin = 7, .programPin = 33,
                            .pulseCode = 50, .vppMv = 12700, .contactPins = {{8, 31}, {33, 34}}});
    Table[8] = MakeVariant({.name = "2764    21v", .last = 0x1FFF, .vccPin = 34, .vppPin = 7, .programPin = 33,
                            .pulseCode = 50, .vppMv = 21000, .contactPins = {{8, 31}, {33, 34}}});
    Table[9] = MakeVariant({.name = "2764    25v", .last = 0x1FFF, .vccPin = 34, .vppPin = 7, .programPin = 33,
                            .pulseCode = 50, .vppMv = 25000, .contactPins = {{8, 31}, {33, 34}}});
    Table[10] = MakeVariant({.name = "27128   12.7v", .last = 0x3FFF, .vccPin = 34, .vppPin = 7, .programPin = 33,
                             .pulseCode = 50, .vppMv = 12700, .contactPins = {{8, 34}}});
    Table[11] = MakeVariant({.name = "27128   21v", .last = 0x3FFF, .vccPin = 34, .vppPin = 7, .programPin = 33,
                             .pulseCode = 50, .vppMv = 21000, .contactPins = {{8, 34}}});
    Table[12] = MakeVariant({.name = "27128   25v", .last = 0x3FFF, .vccPin = 34, .vppPin = 7, .programPin = 33,
                             .pulseCode = 50, .vppMv = 25000, .contactPins = {{8, 34}}});
    Table[13] = MakeVariant({.name = "27c256   12.7v", .last = 0x7FFF, .vccPin = 34, .vppPin = 7, .programPin = 26,
                             .pulseCode = 20, .vppMv = 12700, .contactPins = {{8, 34}}});
    Table[14] = MakeVariant({.name = "27c512   12.7v", .last = 0xFFFF, .vccPin = 34, .vppPin = 28, .programPin = 26,
                             .pulseCode = 10, .vppMv = 12700, .contactPins = {{8, 34}}});
    Table[15] = MakeVariant({.name = "27c513   12.7v", .last = 0xFFFF, .vccPin = 34, .vppPin = 28, .programPin = 26,
                             .pulseCode = 10, .vppMv = 12700, .contactPins = {{8, 34}}});
    Table[16] = MakeVariant({.name = "27010   12.7v", .last = 0x1FFFF, .vccPin = 36, .vppPin = 5, .programPin = 35,
                             .pulseCode = 1, .vppMv = 12700, .contactPins = {{6, 33}, {35, 36}}});
    Table[17] = MakeVariant({.name = "27020   12.7v", .last = 0x3FFFF, .vccPin = 36, .vppPin = 5, .programPin = 35,
                             .pulseCode = 1, .vppMv = 12700, .contactPins = {{6, 36}}});
    Table[18] = MakeVariant({.name = "27040   12.7v", .last = 0x7FFFF, .vccPin = 36, .vppPin = 5, .programPin = 26,
                             .pulseCode = 1, .vppMv = 12700, .contactPins = {{6, 36}}});
    Table[19] = MakeVariant({.name = "27080   12.7v", .last = 0xFFFFF, .vccPin = 36, .vppPin = 28, .programPin = 26,
                             .pulseCode = 1, .vppMv = 12700, .contactPins = {{6, 36}}});
    Table[20] = MakeVariant({.name = "ST27256   12.7v", .last = 0x7FFF, .vccPin = 34, .vppPin = 7, .programPin = 26,
                             .pulseCode = 100, .vppMv = 12700});
    Table[21] = MakeVariant({.name = "ST27512   12.7v", .last = 0xFFFF, .vccPin = 34, .vppPin = 28, .programPin = 26,
                             .pulseCode = 100, .vppMv = 12700, .contactPins = {{8, 34}}});
}

void TP27x::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    LoadDesign(5000);
    ShowVariant(r);
    Ep3.InitBitReverse();
    Offsets.Length = r.LastAddress;
    Offsets.ShowAll();
    Ep3.GndPin(20);
    Ep3.SetVpp(r.VppMv);
    Ep3.SetVcc(5000);
}

void TP27x::ProgramPulseWait() {
    const VariantRecord* r = SelectedRow();
    const int n = ItemIndex("RadioGroup1") + 1;
    const std::uint8_t op = (r && r->PulseCode < 10) ? OpWaitPulse : OpWait1ms;
    for (int i = 0; i < n; ++i) Put1(op);
}

bool TP27x::WriteBegin(const VariantRecord& r) {
    if (!PowerUp(r)) return false;
    Ep3.PinHigh(r.ProgramPin);
    Put1(OpWaitSettle);
    return Ep3.CheckCurrent() != 0;
}

bool TP27x::WriteBlockBegin(const VariantRecord& r) {
    Ep3.PinHigh(r.ProgramPin);
    return SocketForm::WriteBlockBegin(r);
}

void TP27x::ProgramByte(const VariantRecord& r, std::uint8_t data) {
    Ep3.WriteLatch(2, data);
    Ep3.PinLow(26);
    Ep3.PinLow(r.ProgramPin);
    ProgramPulseWait();
    Ep3.PinHigh(r.ProgramPin);
}

void TP27x::WriteClick() {
    const VariantRecord& r = Row();
    if (wb.sel.VariantIndex <= 3) {
        Write2716(r);
        return;
    }
    SocketForm::WriteClick();
}

// The 2716 is written byte by byte, one transfer per byte, from the Device
// offset (rounded down to 256) to its last address; Length is not used.
void TP27x::Write2716(const VariantRecord& r) {
    RequireDeviceOffset(r);
    std::int32_t chip = Offsets.DeviceOffset & ~0xFF;
    std::int32_t file = Offsets.FileOffset & ~0xFF;
    RequireImageRange(file, r.LastAddress - chip + 1);
    if (!ContactTest(r)) return;
    Status("Write");
    SetAddressParallel(chip);
    Ep3.PinLow(26);
    if (!PowerUp(r)) return;
    Ep3.SetPortMode(WriteMode);
    Ep3.PinHigh(28);
    Ep3.VppPin(r.VppPin);
    for (std::int32_t count = 0; count <= r.LastAddress && chip <= r.LastAddress; ++count, ++chip, ++file) {
        if ((chip & 0xFF) == 0) SetAddressParallel(chip);
        ShowProgress(file);
        Ep3.WriteLatch(2, *Image(file));
        Ep3.PinHigh(26);
        ProgramPulseWait();
        Ep3.PinLow(26);
        Put1(OpAddrInc);
        Flush();
    }
    Ep3.VppPin(0);
    // The bytes just written are read back before "OK!" is shown: a 2716 that
    // did not take them is a failure, not a success.
    const std::int32_t start = Offsets.DeviceOffset & ~0xFF;
    const std::int32_t fileStart = Offsets.FileOffset & ~0xFF;
    Ep3.SetPortMode(ReadMode);
    Ep3.PinLow(26);
    Ep3.PinLow(28);
    for (std::int32_t block = start & ~0x3FF; block <= r.LastAddress; block += 0x400) {
        ReadBlock(block, Ep3.UsbReplyBuf.data());
        const std::int32_t from = std::max(block, start);
        const std::int32_t to = std::min(block + 0x3FF, r.LastAddress);
        if (!MatchesImage(fileStart + (from - start), Ep3.UsbReplyBuf.data() + (from - block), to - from + 1))
            return;
    }
    ShowProgress(file - 1);
    Success("OK!");
}

QUILLA_FORM(TP27x);

}  // namespace quilla
