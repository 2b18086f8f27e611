#include "algo/memory/p2816.h"

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {
constexpr int kRows = 16;
constexpr int kEraseMv = 12000;
constexpr int kEraseRestWaits = 10;
}  // namespace

TP2816x::TP2816x(Workbench& w) : SocketForm(w, "P2816-64", kRows) {
    LoopInclusive = true;
    ReadLikeLaterForms = true;
    BlankFromZero = true;
    SeatedChipCheck = true;
    UsesVpp = false;
    Texts.Read = "Reading";
    Writing = {.Block = 64, .Align = 64, .ReadBackEvery = 1024};
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this),
                          {TypeField(), PushButton({"ReadButton", "Read  "}), PushButton({"Blank", "Blank?  "}),
                           PushButton({"Erase", "Erase"}), PushButton({"Verify", "Vrfy."}),
                           PushButton({"Write", "Write "}),
                           Radio({"Speed", "Delay (mS/byte)"}, {"  10mS", "  20mS", "  30mS", "  40mS", "  50mS"}, 2)},
                          BatchGroup({Box({"CheckBox1", "Erase "}), Box({"CheckBox2", "Blank?"}),
                                      TickedBox({"CheckBox3", "W."}), TickedBox({"CheckBox4", "Vrfy"})}),
                          StatusFoot(true)}),
                    this, Operations(this));
    FillVariantTable();
}

// Every row pages by 64 bytes; the WE pin is the program pin.
void TP2816x::FillVariantTable() {
    Table.assign(kRows, VariantRecord{});
    Table[0] = MakeVariant({.name = "???"});
    Table[1] = MakeVariant({.name = "2816    21v", .last = 0x7FF, .page = 64, .vccPin = 32, .vppPin = 29,
                            .programPin = 255, .vppMv = 21000, .contactPins = {{9, 32}}});
    Table[2] = MakeVariant({.name = "2816A   5v", .last = 0x7FF, .page = 64, .vccPin = 32, .programPin = 29,
                            .contactPins = {{9, 32}}});
    Table[3] = MakeVariant({.name = "28c16   5v", .last = 0x7FF, .page = 64, .vccPin = 32, .programPin = 29,
                            .contactPins = {{9, 32}}});
    Table[4] = MakeVariant({.name = "2817A   5v", .last = 0x7FF, .page = 64, .vccPin = 34, .programPin = 33,
                            .contactPins = {{9, 32}}});
    Table[5] = MakeVariant({.name = "28c17   5v", .last = 0x7FF, .page = 64, .vccPin = 34, .programPin = 33});
    Table[6] = MakeVariant({.name = "2864A   5v", .last = 0x1FFF, .page = 64, .vccPin = 34, .programPin = 33,
                            .contactPins = {{8, 31}, {33, 34}}});
    Table[7] = MakeVariant({.name = "28c64   5v", .last = 0x1FFF, .page = 64, .vccPin = 34, .programPin = 33,
                            .contactPins = {{8, 31}, {33, 34}}});
    Table[8] = MakeVariant({.name = "28c256   5v", .last = 0x7FFF, .page = 64, .vccPin = 34, .programPin = 33,
                            .contactPins = {{8, 31}, {33, 34}}});
}

// The 28-pin routing: A8..A14 (A14 on socket 7), then pins 34 and 33 high.
std::vector<int> TP2816x::HighAddressPins() const { return {31, 30, 27, 29, 8, 32, 7}; }

void TP2816x::AfterHighAddressPins() {
    Ep3.PinHigh(34);
    Ep3.PinHigh(33);
}

void TP2816x::SetupForDevice() {
    if (!SetupBegin()) return;
    const VariantRecord& r = *SelectedRow();
    LoadDesign(5000);
    ShowVariant(r);
    Ep3.SetVpp(0);
    Ep3.InitBitReverse();
    Offsets.Length = r.LastAddress;
    Offsets.ShowAll();
    const bool erase = wb.sel.GetParam("era=") != 0;
    SetVisible("Erase", erase);
    SetVisible("CheckBox1", erase);
    SetVisible("CheckBox2", erase);
}

// Ground goes to pin 20 right after VCC in every operation.
bool TP2816x::PowerUp(const VariantRecord& r) {
    Ep3.VccPin(r.VccPin);
    Ep3.GndPin(20);
    return Ep3.CheckCurrent() != 0;
}

bool TP2816x::WriteBlockBegin(const VariantRecord&) {
    Ep3.PinLow(26);
    Ep3.PinHigh(28);
    return true;
}

void TP2816x::ProgramByte(const VariantRecord& r, std::uint8_t data) {
    Ep3.WriteLatch(2, data);
    Ep3.PinHigh(28);
    Ep3.PinLow(26);
    Ep3.PinLow(r.ProgramPin);
    Ep3.PinHigh(r.ProgramPin);
    Ep3.PinHigh(26);
    Ep3.PinLow(28);
    const int speed = ItemIndex("Speed");
    for (int i = 0; i < ByteWaits[speed < 0 || speed > 4 ? 2 : speed]; ++i) Put1(OpWait1ms);
}

void TP2816x::WriteBlockEnd(const VariantRecord&, const Block&) {
    for (int i = 0; i < ItemIndex("Speed") + 2; ++i) Put1(OpWaitSettle);
}

// CHIP CLEAR: 12 V on OE, CE and WE low for one long wait, then ten more.
void TP2816x::EraseClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    Status("Erasing");
    Ep3.SetPortMode(PortModeReset);
    SetAddressParallel(0);
    Ep3.VccPin(r.VccPin);
    Ep3.GndPin(20);
    Ep3.SetVpp(kEraseMv);
    Ep3.PinHigh(28);
    Ep3.VppPin(28);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinLow(26);
    Ep3.PinLow(r.ProgramPin);
    Put1(OpWait100ms);
    Ep3.PinHigh(r.ProgramPin);
    Ep3.PinHigh(26);
    Ep3.VppPin(0);
    Ep3.PinLow(28);
    for (int i = 0; i < kEraseRestWaits; ++i) {
        Put1(OpWait100ms);
        Flush();
    }
    Success("OK");
}

std::vector<AlgoForm::BatchStep> TP2816x::BatchSteps() { return EraseBlankWriteVerify(); }

// One pass, no wait for the next chip.
void TP2816x::Button1Click() {
    Row();
    if (!FileWindowForWrite("CheckBox3")) return;
    RunBatch(BatchSteps(), nullptr, false);
}

QUILLA_FORM(TP2816x);

}  // namespace quilla
