#include "algo/memory/p2816.h"

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {
constexpr int kRows = 16;
constexpr int kEraseMv = 12000;
constexpr int kEraseRestWaits = 10;

VariantRecord Row2816(const char* name, std::int32_t last, int vcc, int we,
                      std::initializer_list<std::pair<int, int>> contact) {
    VariantRecord r = MakeVariant(name, last, vcc, 0, we, 0, 0, contact);
    r.PageSizeMinus1 = 63;
    return r;
}
}  // namespace

TP2816x::TP2816x(Workbench& w) : SocketForm(w, "P2816-64", kRows) {
    LoopInclusive = true;
    ReadLikeLaterForms = true;
    BlankFromZero = true;
    SeatedChipCheck = true;
    UsesVpp = false;
    Texts.Read = "Reading";
    Writing = {64, 64, 1024};
    WindowShape shape;
    shape.IdButton = nullptr;
    shape.IdField = false;
    DeclareWindow({{"ReadButton", "Read  ", [this] { ReadClick(); }},
                   {"Blank", "Blank?  ", [this] { BlankClick(); }},
                   {"Erase", "Erase", [this] { EraseClick(); }},
                   {"Verify", "Vrfy.", [this] { VerifyClick(); }},
                   {"Write", "Write ", [this] { WriteClick(); }}},
                  {{"CheckBox1", "Erase ", false},
                   {"CheckBox2", "Blank?", false},
                   {"CheckBox3", "W."},
                   {"CheckBox4", "Vrfy"}},
                  [this] {
                      AddRadio("Speed", "Delay (mS/byte)", {"  10mS", "  20mS", "  30mS", "  40mS", "  50mS"}, 2);
                  },
                  shape);
    FillVariantTable();
}

void TP2816x::FillVariantTable() {
    Table.assign(kRows, VariantRecord{});
    Table[0] = Row2816("???", 0, 0, 0, {});
    Table[0].ForcedHigh = 0xFFFFFFFFu;
    Table[1] = Row2816("2816    21v", 0x7FF, 32, 255, {{9, 32}});
    Table[1].VppPin = 29;
    Table[1].VppMv = 21000;
    Table[2] = Row2816("2816A   5v", 0x7FF, 32, 29, {{9, 32}});
    Table[3] = Row2816("28c16   5v", 0x7FF, 32, 29, {{9, 32}});
    Table[4] = Row2816("2817A   5v", 0x7FF, 34, 33, {{9, 32}});
    Table[5] = Row2816("28c17   5v", 0x7FF, 34, 33, {});
    Table[6] = Row2816("2864A   5v", 0x1FFF, 34, 33, {{8, 31}, {33, 34}});
    Table[7] = Row2816("28c64   5v", 0x1FFF, 34, 33, {{8, 31}, {33, 34}});
    Table[8] = Row2816("28c256   5v", 0x7FFF, 34, 33, {{8, 31}, {33, 34}});
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

std::vector<AlgoForm::BatchStep> TP2816x::BatchSteps() {
    return EraseBlankWriteVerify(*this);
}

// One pass, no wait for the next chip.
void TP2816x::Button1Click() {
    Row();
    if (!FileWindowForWrite("CheckBox3")) return;
    RunBatch(BatchSteps(), nullptr, false);
}

QUILLA_FORM(TP2816x);

}  // namespace quilla
