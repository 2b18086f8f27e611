#include "algo/memory/p29f640.h"

#include <algorithm>
#include <cctype>
#include <optional>

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

TP29f640x::TP29f640x(Workbench& w) : AdapterForm(w, "29f640") {
    using namespace win;
    using F = TP29f640x;
    DeclareControls(Join({Offsets.EndAddressRows(*this),
                          OperationButtons({Op::Erase, Op::Blank, Op::Write, Op::Verify, Op::Read, Op::Id}),
                          {PushButton({"Protect", "Lock  "}), PushButton({"UnProtect", "Unlock"}),
                           Group({"TempUnprotect", "擦和写方式："}),
                           Box({"CheckBox5", "临时Unlock"}, true, "TempUnprotect")},
                          ProtectionRegister("Bit128"),
                          BatchGroup(Join({{Box({"CheckBox6", "Unlock"})},
                                           EraseBlankWriteVerifyBoxes(),
                                           {Box({"CheckBox7", "Lock  "}), Box({"CheckBox8", "W.Register"})}}),
                                     "运行"),
                          StatusFoot(false)}),
                    this,
                    Operations(this, {{"Protect", &F::ProtectClick},
                                      {"UnProtect", &F::UnProtectClick},
                                      {"Button4", &F::Button4Click},
                                      {"Button6", &F::Button6Click}}));
    FillVariantTable();
}

void TP29f640x::FillVariantTable() {
    const Mask z{0, 0};
    Table.assign(kRows, AdapterRow{});
    Table[1] = Fields{.design = "tsop48at49f321.bit", .width = 16, .vcc = 21, .gnd = 100, .vpp = 44, .hvA = 12,
                      .hvB = 39, .lastMem = 7,
                      .masks = {z, {0xFFFFFFFE, 0x3CFF}, {0xFFFFFFFF, 0x3CFF}, {0xFFFFFFFF, 0x3CFF},
                                {0xFFFFFFFF, 0xBCFF}, {0xFFFFFFFF, 0xFCFF}, {0xFFFFFFFF, 0xFCFF},
                                {0xFFFFFFFF, 0xFEFF}}}.Build();
    Table[2] = Fields{.design = "tsop48p29.bit", .width = 16, .vcc = 21, .gnd = 100, .vpp = 44, .hvA = 12, .hvB = 39,
                      .lastMem = 7,
                      .masks = {z, {0xBFFFFFF0, 0x00FF}, {0xBFFFFFFE, 0x00FF}, {0xBFFFFFFF, 0x00FF},
                                {0xBFFFFFFF, 0x00FF}, {0xBFFFFFFF, 0x00FF}, {0xFFFFDFFF, 0xDFFF},
                                {0xFFFFFFFF, 0x00FF}}}.Build();
    Table[3] = Fields{.design = "mbm29f008tsop40.bit", .width = 8, .vcc = 101, .gnd = 101, .vpp = 40, .hvA = 14,
                      .hvB = 37, .shortCommands = 4, .lastMem = 5,
                      .masks = {z, z, z, {0xF3FBFFFE, 0x00FF}, {0xF3FBFFFE, 0x00FF}, {0xF3FBFFFE, 0x00FF}}}.Build();
    Table[4] = Fields{.design = "sop44p29.bit", .width = 16, .vcc = 21, .gnd = 100, .vpp = 44, .hvA = 12, .hvB = 39,
                      .lastMem = 5,
                      .masks = {z, {0x7FFFFFFE, 0x03FF}, {0xFFFFFFFE, 0x03FF}, {0xFFFFFFFF, 0x03FF},
                                {0xFFFFFFFF, 0x83FF}, {0xFFFFFFFF, 0xC3FF}, z, z}}.Build();
    Table[5] = Fields{.design = "mbm29f080sop44.bit", .width = 8, .vcc = 21, .gnd = 20, .vpp = 48, .hvA = 27, .hvB = 3,
                      .lastMem = 5}.Build();
    Table[6] = Fields{.design = "Am29lv160sop44.bit", .width = 16, .vcc = 21, .gnd = 100, .vpp = 47, .hvA = 12,
                      .hvB = 39, .firstMem = 5, .lastMem = 5}.Build();
    Table[7] = Fields{.design = "at49f002dip32.bit", .width = 8, .vcc = 36, .gnd = 20, .vpp = 5, .hvA = 28, .hvB = 30,
                      .shortCommands = 4, .lastMem = 2,
                      .masks = {z, {0xFFFFFFE0, 0x000D}, {0xFFFFFFE0, 0x000F}, z, z, z, z, z}}.Build();
    Table[8] = Fields{.design = "MBM29f080tsop40.bit", .width = 8, .vcc = 21, .gnd = 20, .vpp = 2, .hvA = 27, .hvB = 5,
                      .shortCommands = 4, .lastMem = 5, .masks = {z, z, z, z, {0xCFFFFFFE, 0x00FF}, z, z, z}}.Build();
    Table[9] = Fields{.design = "MBM29f016tsop48.bit", .width = 8, .vcc = 21, .gnd = 20, .vpp = 46, .hvA = 27, .hvB = 1,
                      .shortCommands = 3, .lastMem = 5, .masks = {z, z, z, z, z, {0x2FFFFC3F, 0xEFFC}, z, z}}.Build();
    Table[10] = Fields{.design = "mbm29f008tsop40.bit", .width = 8, .vcc = 101, .gnd = 101, .vpp = 40, .hvA = 14,
                       .hvB = 37, .shortCommands = 4, .lastMem = 5,
                       .masks = {z, z, z, z, {0xF3FBFFFC, 0x007F}, z, z, z}}.Build();
    Table[11] = Fields{.design = "mbm29f008tsop48.bit", .width = 8, .vcc = 21, .gnd = 100, .vpp = 0, .hvA = 12,
                       .hvB = 40, .shortCommands = 4, .lastMem = 5,
                       .masks = {z, z, z, z, {0xBAB55FFF, 0x84EF}, z, z, z}}.Build();
    Table[12] = Fields{.design = "mbm29f008dip34.bit", .width = 8, .vcc = 36, .gnd = 20, .vpp = 0, .hvA = 28, .hvB = 30,
                       .shortCommands = 4, .lastMem = 5, .masks = {z, z, z, z, {0xFFFFFFF8, 0x001F}, z, z, z}}.Build();
}

std::string TP29f640x::DeviceLineError() const {
    if (std::string e = RowSizeVccError(); !e.empty()) return e;
    const AdapterRow* r = SelectedRow();
    const std::string line = "Bad device line: ";
    const int msk = Key("msk="), prt = Key("prt=");
    if ((msk & 6) && (prt < 1 || prt > 3))
        return line + "msk=" + std::to_string(msk) + " shows Lock or Unlock but prt=" + std::to_string(prt) +
               " names no lock method";
    // 128 program steps and their no-ops between two flushes, with the packet fillers.
    const int ptw = Key("ptw=");
    const long step = r->Width == 16 ? 3L + ptw : 2L * (2L + ptw);
    if (ptw < 0 || 128L * step * 64 / 60 > 60000L)
        return line + "ptw=" + std::to_string(ptw) + " does not fit 128 program steps in the command queue";
    if (Key("dly=") < 0) return line + "dly=" + std::to_string(Key("dly=")) + " is negative";
    return {};
}

void TP29f640x::SetupForDevice() {
    if (!SetupBegin()) return;
    const AdapterRow& r = *SelectedRow();
    Ep3.LoadBitFile(r.BitFile);
    AfterDesignReload();
    const int msk = Key("msk=");
    SetVisible("TempUnprotect", msk & 1);
    SetVisible("Protect", msk & 2);
    SetVisible("CheckBox7", msk & 2);
    SetVisible("UnProtect", msk & 4);
    SetVisible("CheckBox6", msk & 4);
    SetVisible("Bit128", msk & 8);
    SetVisible("CheckBox8", msk & 8);
    Ep3.SetVpp(r.VppPin ? 12000 : 5000);
    EndAddressSetupTail(r);
}

void TP29f640x::AfterDesignReload() {
    // The design starts afresh: the command address set of cm3= goes back to it.
    if (Key("cm3=") == 3) {
        Ep3.ControlLineHigh(6);
    } else {
        Ep3.ControlLineLow(6);
    }
}

int TP29f640x::ReadIdForSelfCheck() {
    const AdapterRow* r = SelectedRow();
    Guarded([this] { ReadId(); });
    return r && r->Width == 16 ? 4 : 2;
}

// ---- routines -----------------------------------------------------------------------------

bool TP29f640x::FlashPowerUp() {
    const AdapterRow& r = Row();
    Ep3.VccPin(r.VccPin);
    Ep3.UsbPut1(OpWaitSettle);
    if (Ep3.CheckCurrent() == 0) return false;
    SendFlashCommand(0);
    for (int line : {2, 4, 3, 5}) Ep3.ControlLineHigh(line);
    SetAddressCounter(0);
    Ep3.ControlLineHigh(1);
    Ep3.ControlLineLow(3);
    Ep3.UsbFlush();
    return true;
}

bool TP29f640x::CheckDeviceId() { return CheckDeviceIdWithContact(Row().Width == 16 ? 4 : 2, kWrongType); }

// ---- Write, Erase -----------------------------------------------------------------------------------

void TP29f640x::WriteClick() {
    const AdapterRow& r = Row();
    std::int64_t steps = 0;
    const Span s = WriteSpan(r, steps);
    GuardedWrite([&] {
        if (!CheckDeviceId()) return;
        Status("Write");
        if (!FlashPowerUp()) return;
        Ep3.VccPin(r.VccPin);
        if (Ticked("CheckBox5")) Ep3.VppPin(r.VppPin);  // temporary unprotect
        if (Ep3.CheckCurrent() == 0) return;
        SetAddressCounter(Unit(r, s.device));
        wb.ErrorFlag() = 0;
        WritingState();
        const int ptw = Key("ptw=");
        std::int64_t file = s.file;
        for (std::int64_t i = 0; i < 2 * steps; i += 2) {
            if (i % 0x4000 == 0) ShowProgress(static_cast<std::int32_t>(s.device + i));
            if (r.Width == 16) {
                Ep3.UsbPut3(OpAdapterWord, *Image(file), *Image(file + 1));
                for (int k = 0; k < ptw; ++k) Ep3.UsbPut1(OpNop);
            } else {
                for (int b = 0; b < 2; ++b) {
                    Ep3.UsbPut2(OpAdapterByte, *Image(file + b));
                    for (int k = 0; k < ptw; ++k) Ep3.UsbPut1(OpNop);
                }
            }
            if (i % 256 == 0) Ep3.UsbFlush();
            file += 2;
        }
        ShowProgress(static_cast<std::int32_t>(s.device + 2 * steps - 1));
        Success("OK!");
        Ep3.VppPin(0);
        PowerDownAfterWrite();
    });
}

void TP29f640x::EraseClick() {
    const AdapterRow& r = Row();
    if (!CheckDeviceId()) return;
    Status("Erasing");
    if (!FlashPowerUp()) return;
    if (Ticked("CheckBox5")) Ep3.VppPin(r.VppPin);  // temporary unprotect
    if (Ep3.CheckCurrent() == 0) return;
    WritingState();
    for (int k : {1, 2, 4, 1, 2, 5}) SendFlashCommand(k);
    const int steps = Key("dly=");
    for (int step = 0; step <= steps; ++step) {
        Ep3.UsbPut1(OpWait100ms);
        Ep3.UsbFlush();
        EraseCountdown(step, steps);
    }
    Ep3.ControlLineHigh(2);
    Ep3.UsbFlush();
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK");
}

// ---- ID ----------------------------------------------------------------------------------------------

bool TP29f640x::ReadId() {
    const AdapterRow& r = Row();
    Status("读MFG...");
    if (!FlashPowerUp() || Ep3.CheckCurrent() == 0) return false;
    WritingState();
    for (int k : {1, 2, 7, 0}) SendFlashCommand(k);
    Ep3.UsbFlush();
    SetAddressCounter(0);
    ReadingState(false);
    Ep3.UsbFlush();
    ReadBlock(Ep3.UsbReplyBuf.data(), 1);
    Ep3.VccPin(0);
    ShowMfgId(r.Width == 16 ? 4 : 2);
    return true;
}

void TP29f640x::MFGClick() { ReadId(); }

// ---- Lock and Unlock -----------------------------------------------------------------------------------

void TP29f640x::Lock(bool lock) {
    const AdapterRow& r = Row();
    if (!CheckDeviceId()) return;
    Status(lock ? "Lock  ..." : "解除保护...");
    if (!FlashPowerUp() || Ep3.CheckCurrent() == 0) return;
    switch (Key("prt=")) {
        case 1: LockMethod12(r, lock, false); break;
        case 2: LockMethod12(r, lock, true); break;
        case 3:
            if (lock) {
                LockMethod3();
            } else {
                wb.prompts.ShowMsg("这个器件只能Lock  ，不能Unlock！");
            }
            break;
        default:
            break;  // no lock method: nothing on the chip
    }
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK");
}

void TP29f640x::LockMethod12(const AdapterRow& r, bool lock, bool highVoltage) {
    Ep3.ControlLineHigh(3);
    Ep3.ControlLineLow(2);
    Ep3.ControlLineLow(1);
    if (highVoltage) {
        Ep3.VppPin(r.HvPinA);
        Ep3.VppPin(r.HvPinB);
    } else {
        Ep3.VppPin(r.VppPin);
    }
    std::int32_t first = ScanHex(Text("Edit2")).value_or(DeviceOffset);
    std::int32_t last = ScanHex(Text("Edit3")).value_or(EndAddress);
    // The walk stays inside the chip.
    first = std::clamp(first, 0, LastAddress());
    last = std::clamp(last, 0, LastAddress());
    if (r.Width == 16) {
        first /= 2;
        last /= 2;
    }
    for (std::int32_t a = first; a < last; a += 4096) {
        SetAddressCounter((a & ~0xFFF) | (lock ? 0x02 : 0x42));
        ShowProgress(r.Width == 16 ? a * 2 : a);
        if (highVoltage) {
            Ep3.UsbPut3(OpAdapterBusWord, 0xFF, 0xFF);
            Ep3.ControlLineLow(4);
            Ep3.UsbPut1(OpWaitPulse);
            Ep3.ControlLineHigh(4);
        } else {
            BusWrite(0x60);
            Ep3.UsbPut1(OpWaitSettle);
            Ep3.UsbPut1(OpWaitSettle);
        }
        Ep3.UsbFlush();
    }
    Ep3.ControlLineHigh(2);
    Ep3.UsbFlush();
}

void TP29f640x::LockMethod3() {
    Ep3.ControlLineHigh(3);
    Ep3.ControlLineLow(2);
    Ep3.ControlLineLow(1);
    const bool shortSet = Key("cm3=") == 3;
    UnlockedCommand(shortSet, 0x80);
    UnlockedCommand(shortSet, 0x40);
    for (int i = 0; i < 10; ++i) Ep3.UsbPut1(OpWait100ms);
    Ep3.ControlLineHigh(2);
    Ep3.UsbFlush();
}

// ---- the protection register ---------------------------------------------------------------------------

void TP29f640x::UnlockedCommand(bool shortSet, std::uint8_t command) {
    const std::int32_t c1 = shortSet ? 0x555 : 0x5555, c2 = shortSet ? 0x2AA : 0x2AAA;
    for (auto [a, v] : {std::pair{c1, 0xAA}, {c2, 0x55}, {c1, command}}) {
        SetAddressCounter(a);
        BusWrite(static_cast<std::uint16_t>(v));
    }
}

void TP29f640x::ProtectionRegisterWrite(std::int32_t address, std::uint16_t value) {
    UnlockedCommand(Row().ShortCommands == 3, 0xC0);
    SetAddressCounter(address);
    BusWrite(value);
}

void TP29f640x::Button4Click() {
    if (!CheckDeviceId() || !FlashPowerUp() || Ep3.CheckCurrent() == 0) return;
    WritingState();
    for (int k : {1, 2, 7, 0}) SendFlashCommand(k);
    Ep3.ControlLineHigh(1);
    Ep3.ControlLineLow(3);
    SetAddressCounter(0x80);
    ReadBlock(Ep3.UsbReplyBuf.data(), 1);
    Ep3.VccPin(0);
    std::string text;
    for (std::size_t i = 0; i < 18; ++i) text += Hex2(Ep3.UsbReplyBuf[i]) + ",";
    Status(text);
}

void TP29f640x::Button6Click() {
    const AdapterRow& r = Row();
    // The values first: nothing one-time is written from a text that does not parse.
    const std::array<std::uint16_t, 4> reg = ProtectionWordsFromEdits();
    if (!CheckDeviceId()) return;
    Status("写Status...");
    if (!FlashPowerUp() || Ep3.CheckCurrent() == 0) return;
    wb.ErrorFlag() = 0;
    WritingState();
    WriteProtectionWords(r, reg, 0xFFF0, [this](std::int32_t a, std::uint16_t v) { ProtectionRegisterWrite(a, v); });
    Ep3.ControlLineLow(3);
    Ep3.ControlLineHigh(2);
    Ep3.VccPin(0);
    Success("OK!");
}

// ---- the batch -----------------------------------------------------------------------------------------------

void TP29f640x::Button1Click() {
    Row();
    if (!CheckDeviceId()) return;
    BatchScope batch(BatchFlag);
    RunBatchWaitingAfter({{"CheckBox6", [this] { UnProtectClick(); }},
                          {"CheckBox1", [this] { EraseClick(); }},
                          {"CheckBox2", [this] { BlankClick(); }},
                          {"CheckBox3", [this] { WriteClick(); }},
                          {"CheckBox4", [this] { VerifyClick(); }},
                          {"CheckBox7", [this] { ProtectClick(); }}},
                         [this] { return NextChip(); });
}

QUILLA_FORM(TP29f640x);

}  // namespace quilla
