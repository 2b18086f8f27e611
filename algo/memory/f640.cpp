#include "algo/memory/f640.h"

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRows = 20;
constexpr const char* kWrongType = "错误的Type！\n继续吗?";

using Mask = AdapterRow::Mask;
using Fields = AdapterRowFields;

}  // namespace

TF640x::TF640x(Workbench& w) : AdapterForm(w, "intel 28f640") {
    using F = TF640x;
    DeclareControls(win::Join({Offsets.EndAddressRows(*this),
                               OperationButtons({Op::Erase, Op::Blank, Op::Write, Op::Verify, Op::Read, Op::Id}),
                               {win::PushButton({"Button2", "Lock"}), win::PushButton({"Button3", "Unlock"})},
                               ProtectionRegister("Status"),
                               BatchGroup(win::Join({EraseBlankWriteVerifyBoxes(),
                                                     {win::Box({"CheckBox5", "W.Status"})}})),  // no step reads it
                               StatusFoot(false)}),
                    this,
                    Operations(this, {{"Button2", &F::Button2Click},  // Button3 is shown without an action
                                      {"Button4", &F::Button4Click},
                                      {"Button6", &F::Button6Click}}));
    FillVariantTable();
}

void TF640x::FillVariantTable() {
    const Mask z{0, 0};
    const std::array<Mask, 8> tsop48{z, {0xFFFFFFFE, 0x3CFF}, {0xFFFFFFFF, 0x3CFF}, {0xFFFFFFFF, 0x3CFF},
                                     {0xFFFFFFFF, 0xBCFF}, {0xFFFFFFFF, 0xFCFF}, {0xFFFFFFFF, 0xFCFF},
                                     {0xFFFFFFFF, 0xFEFF}};
    const std::array<Mask, 8> tsop40{z, z, {0xF3FBFFF9, 0x00FF}, {0xF3FBFFFF, 0x00FF}, {0xF3FBFFFF, 0x00FF},
                                     {0xF3FBFFFF, 0x00FF}, {0xF3FBFFFF, 0x00FF}, {0xF3FBFFFF, 0x00FF}};
    const std::array<Mask, 8> sop44{z, {0xFFFFFFFE, 0x3CFF}, {0xFFFFFFFF, 0x3CFF}, {0xFFFFFFFF, 0x3CFF},
                                    {0xFFFFFFFF, 0xBCFF}, z, z, z};
    Table.assign(kRows, AdapterRow{});
    Table[1] = Fields{.design = "intel48tsop16.bit", .width = 16, .vcc = 21, .gnd = 100, .vpp = 45, .lastMem = 7,
                      .smallBlock = 0x1000, .mainBlock = 0x8000, .masks = tsop48}.Build();
    Table[2] = Fields{.design = "intel40ts08.bit", .width = 8, .vcc = 101, .gnd = 101, .vpp = 1, .lastMem = 7,
                      .smallBlock = 0x2000, .mainBlock = 0x10000, .masks = tsop40}.Build();
    Table[3] = Fields{.design = "intel48tsop16.bit", .width = 16, .vcc = 21, .gnd = 100, .vpp = 45, .lastMem = 7,
                      .smallBlock = 0x1000, .mainBlock = 0x10000, .masks = tsop48}.Build();
    Table[4] = Fields{.design = "intel40ts08.bit", .width = 8, .vcc = 101, .gnd = 101, .vpp = 1, .lastMem = 7,
                      .smallBlock = 0x2000, .mainBlock = 0x20000, .masks = tsop40}.Build();
    Table[5] = Fields{.design = "intel44sop.bit", .width = 16, .vcc = 21, .gnd = 100, .vpp = 47, .lastMem = 4,
                      .smallBlock = 0x1000, .mainBlock = 0x8000, .masks = sop44}.Build();
    Table[6] = Fields{.design = "intel44sop.bit", .width = 8, .vcc = 21, .gnd = 100, .vpp = 47, .lastMem = 4,
                      .smallBlock = 0x1000, .mainBlock = 0x8000, .masks = sop44}.Build();
    Table[7] = Fields{.design = "intel44sop.bit", .width = 8, .vcc = 11, .gnd = 5, .vpp = 32, .lastMem = 4,
                      .smallBlock = 0x1000, .mainBlock = 0x8000, .masks = sop44}.Build();
    // Row 8 (the DIP32 boot block part) stays out: no 12 V reaches its boot block on this
    // board; the socket form serves that part.
}

std::string TF640x::DeviceLineError() const {
    if (std::string e = RowSizeVccError(); !e.empty()) return e;
    const std::string line = "Bad device line: ";
    // The long waits of one block erase go out in one transfer.
    const int dly = Key("dly=");
    if (dly < 0 || dly > 20000) return line + "dly=" + std::to_string(dly) + " does not fit the command queue";
    return {};
}

void TF640x::SetupForDevice() {
    if (!SetupBegin()) return;
    const AdapterRow& r = *SelectedRow();
    Ep3.LoadBitFile(r.BitFile);
    Ep3.SetVpp(12000);
    EndAddressSetupTail(r);
    SetVisible("Status", (Key("oth=") & 4) != 0);
}

int TF640x::ReadIdForSelfCheck() {
    const AdapterRow* r = SelectedRow();
    Guarded([this] { ReadId(); });
    return r && r->Width == 16 ? 4 : 2;
}

// ---- routines -----------------------------------------------------------------------------

bool TF640x::FlashPowerUp() { return PowerUpIdle(Row().VccPin); }

bool TF640x::CheckDeviceId() { return CheckDeviceIdWithContact(Row().Width == 16 ? 4 : 2, kWrongType); }

void TF640x::ProtectionRegisterWrite(std::int32_t address, std::uint16_t value) {
    SetAddressCounter(address);
    BusWrite(0xC0);
    BusWrite(value);
}

// ---- Erase, Write ---------------------------------------------------------------------------

void TF640x::EraseClick() {
    const AdapterRow& r = Row();
    if (!CheckDeviceId()) return;
    Status("Erasing");
    if (!FlashPowerUp()) return;
    WritingState();
    Ep3.VppPin(r.VppPin);
    const std::int32_t units = r.Width == 16 ? (LastAddress() + 1) / 2 : LastAddress() + 1;
    const std::int32_t boot = 8 * r.SmallBlock, top = units - 8 * r.SmallBlock;
    const int dly = Key("dly=");
    for (std::int32_t a = 0; a < units;) {
        SetAddressCounter(a);
        ShowProgress(r.Width == 16 ? a * 2 : a);
        if (ClearLocks()) {
            BusWrite(0x60);
            BusWrite(0xD0);
        }
        BusWrite(0x20);
        BusWrite(0xD0);
        for (int k = 0; k < dly; ++k) Ep3.UsbPut1(OpWait100ms);
        Ep3.UsbFlush();
        a += a < boot || a >= top ? r.SmallBlock : r.MainBlock;
    }
    Ep3.ControlLineHigh(2);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK");
}

void TF640x::WriteClick() {
    const AdapterRow& r = Row();
    std::int64_t steps = 0;
    const Span s = WriteSpan(r, steps);
    GuardedWrite([&] {
        if (!CheckDeviceId()) return;
        Status("Write");
        if (!FlashPowerUp()) return;
        Ep3.VccPin(r.VccPin);
        wb.ErrorFlag() = 0;
        WritingState();
        Ep3.UsbPut1(OpWait100ms);
        SetAddressCounter(Unit(r, s.device));
        Ep3.VppPin(r.VppPin);
        if (Ep3.CheckCurrent() == 0) return;
        Ep3.UsbPut1(OpWait100ms);
        std::int64_t file = s.file;
        std::int32_t dev = s.device;
        for (std::int64_t i = 0; i < 2 * steps; i += 2) {
            if (dev % 0x1000 == 0 && ClearLocks()) {
                BusWrite(0x60);
                BusWrite(0xD0);
            }
            if (dev % 0x2000 == 0) ShowProgress(static_cast<std::int32_t>(file));
            if (r.Width == 16) {
                Ep3.UsbPut3(OpAdapterWordProg, *Image(file), *Image(file + 1));
            } else {
                Ep3.UsbPut2(OpAdapterByteProg, *Image(file));
                Ep3.UsbPut2(OpAdapterByteProg, *Image(file + 1));
            }
            if (i % 256 == 0) Ep3.UsbFlush();
            file += 2;
            dev += 2;
        }
        Ep3.VppPin(0);
        ShowProgress(static_cast<std::int32_t>(file - 1));
        Success("OK!");
        PowerDownAfterWrite();
    });
}

// ---- ID, Lock --------------------------------------------------------------------------------

bool TF640x::ReadIdentifier(std::int32_t address) {
    if (!FlashPowerUp()) return false;
    Ep3.VccPin(Row().VccPin);
    if (Ep3.CheckCurrent() == 0) return false;
    SetAddressCounter(address);
    WritingState();
    BusWrite(0x90);
    Ep3.UsbFlush();
    Ep3.ControlLineHigh(1);
    Ep3.ControlLineLow(3);
    Ep3.UsbFlush();
    ReadBlock(Ep3.UsbReplyBuf.data(), 1);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    return true;
}

bool TF640x::ReadId() {
    if (!ReadIdentifier(0)) return false;
    ShowMfgId(Row().Width == 16 ? 4 : 2);
    return true;
}

void TF640x::MFGClick() { ReadId(); }

void TF640x::Button2Click() {
    const AdapterRow& r = Row();
    if (!CheckDeviceId()) return;
    Status("Lock block...");
    if (!FlashPowerUp()) return;
    WritingState();
    Ep3.VppPin(r.VppPin);
    // Every block of the part: the word count on 16-bit rows, the byte count on 8-bit rows.
    const std::int32_t units = r.Width == 16 ? (LastAddress() + 1) / 2 : LastAddress() + 1;
    const std::int32_t boot = 8 * r.SmallBlock;
    for (std::int32_t a = 0; a < units;) {
        SetAddressCounter(a);
        ShowProgress(r.Width == 16 ? a * 2 : a);
        BusWrite(0x60);
        BusWrite(0x2F);
        Ep3.UsbFlush();
        a += a < boot || a >= units - boot ? r.SmallBlock : boot;
    }
    Ep3.ControlLineHigh(2);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK");
}

// ---- the protection register -------------------------------------------------------------------

void TF640x::Button4Click() {
    if (!ReadIdentifier(0x80)) return;
    std::string text;
    for (std::size_t i = 0; i < 16; ++i) text += Hex2(Ep3.UsbReplyBuf[i]) + ",";
    Status(text);
}

void TF640x::Button6Click() {
    const AdapterRow& r = Row();
    // The values first: nothing one-time is written from a text that does not parse.
    const std::array<std::uint16_t, 4> reg = ProtectionWordsFromEdits();
    if (!CheckDeviceId()) return;
    Status("Write");
    if (!FlashPowerUp()) return;
    Ep3.VccPin(r.VccPin);
    if (Ep3.CheckCurrent() == 0) return;
    wb.ErrorFlag() = 0;
    WritingState();
    Ep3.VppPin(r.VppPin);
    // Lock word FFFDh: bit 1 locks the user words.
    WriteProtectionWords(r, reg, 0xFFFD, [this](std::int32_t a, std::uint16_t v) { ProtectionRegisterWrite(a, v); });
    Ep3.ControlLineLow(3);
    Ep3.ControlLineHigh(2);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK!");
}

// ---- the batch ------------------------------------------------------------------------------------

void TF640x::Button1Click() {
    Row();
    if (!CheckDeviceId()) return;
    BatchScope batch(BatchFlag);
    if (wb.options.MassProduction && !NextChip()) return;
    RunBatch(EraseBlankWriteVerify(), [] { return false; }, false);
}

QUILLA_FORM(TF640x);

}  // namespace quilla
