#include "algo/memory/i27cx.h"

#include <cctype>
#include <cstdio>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRows = 20;
constexpr int kBlock = 8192;
constexpr const char* kWrongType = "错误的Type！\n继续吗?";
constexpr int kRegLatchCycle = 25, kRegLatchEnd = 9;

using Mask = AdapterRow::Mask;

// A row as the table writes it: the design, its program strobe line, the pin
// codes of VCC, VPP and ground, and by mem= the contact masks (a mem with a
// mask pair, even 0/0, is a defined size).
struct EpromFields {
    const char* design = "";
    int strobeLine = 0, vcc = 0, vpp = 0, gnd = 0;
    std::vector<std::pair<int, Mask>> mems{};
};

AdapterRow EpromRow(const EpromFields& f) {
    AdapterRow r;
    r.BitFile = f.design;
    r.Width = 16;
    r.StrobeLine = static_cast<std::uint8_t>(f.strobeLine);
    r.VccPin = static_cast<std::uint8_t>(f.vcc);
    r.VppPin = static_cast<std::uint8_t>(f.vpp);
    r.GndCode = static_cast<std::uint8_t>(f.gnd);
    for (auto [mem, mask] : f.mems) {
        const std::size_t m = static_cast<std::size_t>(mem);
        r.Sizes[m] = mem >= 2 ? (0x10000 << (mem - 1)) - 1 : 0;
        r.SetMask(m, mask);
    }
    return r;
}

}  // namespace

Ti27cx::Ti27cx(Workbench& w) : AdapterForm(w, "intel 27") {
    DeclareControls(win::Join({Offsets.Rows(*this),
                               {win::Combo({"ComboBox1", "Delay :"}, {"1 倍", "2 倍", "4 倍 "}, 0)},
                               OperationButtons({Op::Read, Op::Blank, Op::Write, Op::Verify, Op::Id}),
                               {TypeField()},
                               BatchGroup({TickedBox({"CheckBox2", "Blank?"}), TickedBox({"CheckBox3", "W."}),
                                           TickedBox({"CheckBox4", "Vrfy"})}),
                               StatusFoot(false)}),
                    this, Operations(this));
    FillVariantTable();
}

void Ti27cx::FillVariantTable() {
    const Mask z{0, 0};
    Table.assign(kRows, AdapterRow{});
    Table[1] = EpromRow({.design = "intel48tsop16.bit", .strobeLine = 2, .vcc = 21, .vpp = 31, .gnd = 100,
                         .mems = {{0, z},
                                  {2, {0xFF7FFFFE, 0x00FF}},
                                  {3, {0xFFFFFFFE, 0x00FF}},
                                  {4, {0xFFFFFFFF, 0x00FF}},
                                  {5, {0xFFFFFFFF, 0x80FF}},
                                  {6, {0xFFFFFFFF, 0x81FF}}}});
    Table[2] = EpromRow({.design = "at27c2048dip40.bit", .strobeLine = 4, .vcc = 40, .vpp = 1, .gnd = 100,
                         .mems = {{0, z}, {2, {0xFFFFFFFF, 0x00DF}}, {3, {0xFFFFFFFF, 0x00FF}}}});
    Table[3] = EpromRow({.design = "at27c4096dip40.bit", .strobeLine = 2, .vcc = 40, .vpp = 1, .gnd = 100,
                         .mems = {{0, z}, {4, {0xFFFFFFFF, 0x00FF}}}});
    Table[4] = EpromRow({.design = "at27c2048p44.bit", .strobeLine = 4, .vcc = 42, .vpp = 48, .gnd = 100,
                         .mems = {{0, z}, {2, {0xFFFFFFFF, 0x00DF}}, {3, {0xFFFFFFFF, 0x00FF}}}});
    Table[5] = EpromRow({.design = "at27c4096p44.bit", .strobeLine = 2, .vcc = 42, .vpp = 48, .gnd = 12,
                         .mems = {{0, z}, {4, {0xFFFFFFFF, 0x00FF}}}});
}

std::string Ti27cx::DeviceLineError() const {
    if (std::string e = RowSizeVccError(); !e.empty()) return e;
    const std::string line = "Bad device line: ";
    if (Key("dly=") < 0) return line + "dly=" + std::to_string(Key("dly=")) + " is negative";
    return {};
}

void Ti27cx::SetupForDevice() {
    if (!SetupBegin()) return;
    const AdapterRow& r = *SelectedRow();
    Ep3.LoadBitFile(r.BitFile);
    Ep3.SetVpp(12700);
    const std::int32_t last = LastAddress();
    SetCaption(RangeCaption(last));
    char text[64];
    std::snprintf(text, sizeof text, "type=%d,mem=%d", wb.sel.VariantIndex, MemIndex());
    Status(text);
    ShowLengthSetup(last);
    Ep3.SetVcc(Key("vcc="));
    Ep3.GndPin(r.GndCode);
    BatchFlag = false;
}

// ---- routines -----------------------------------------------------------------------------

bool Ti27cx::FlashPowerUp() {
    const AdapterRow& r = Row();
    Ep3.VccPin(0);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.VccPin(r.VccPin);
    Ep3.UsbPut1(OpWait100ms);
    if (Ep3.CheckCurrent() == 0) return false;
    SendFlashCommand(0);
    Ep3.ControlLineHigh(2);
    Ep3.ControlLineHigh(4);
    Ep3.ControlLineLow(3);
    Ep3.ControlLineHigh(5);
    Ep3.ControlLineLow(6);
    SetAddressCounter(0);
    Ep3.ControlLineHigh(1);
    Ep3.UsbFlush();
    return true;
}

bool Ti27cx::CheckDeviceId() { return CheckDeviceIdWithContact(4, kWrongType); }

int Ti27cx::PulseWaits() {
    const std::string delay = Text("ComboBox1");
    if (delay.empty() || !std::isdigit(static_cast<unsigned char>(delay[0])))
        Refuse("Delay : \"" + delay + "\" does not begin with a digit");
    const long waits = static_cast<long>(Key("dly=")) * (delay[0] - '0');
    if (waits <= 0)
        Refuse("No program pulse: dly=" + std::to_string(Key("dly=")) + " x " + std::string(1, delay[0]) +
               " gives 0 pulse waits");
    // One word: the data (3), the strobe low and high (3 + 3), the step (1) and the waits, with
    // the packet fillers, inside one flush of the queue.
    if ((10 + waits) * 64 / 60 + 64 > static_cast<long>(QueueSize))
        Refuse("dly=" + std::to_string(Key("dly=")) + " x " + std::string(1, delay[0]) +
               ": one word's pulse does not fit the command queue");
    return static_cast<int>(waits);
}

void Ti27cx::RequireWholeSize(std::int64_t file, std::int32_t blocks) {
    RequireDeviceOffset(Offsets.DeviceOffset, LastAddress());
    RequireWordAligned(Row(), Offsets.DeviceOffset);
    RequireImageRange(file, static_cast<std::int64_t>(blocks) * kBlock, Offsets.FileOffset);
}

// ---- Read, Blank, Verify: the whole size from the Device offset ------------------------------

void Ti27cx::ReadClick() {
    const AdapterRow& r = Row();
    const std::int32_t last = LastAddress();
    const std::int32_t blocks = (last + kBlock - 1) / kBlock;  // while done < last
    RequireWholeSize(Offsets.FileOffset, blocks);
    if (!CheckDeviceId()) return;
    Status("Read.");
    if (Ep3.CheckCurrent() == 0 || !FlashPowerUp()) return;
    std::int32_t chip = Offsets.DeviceOffset;
    std::int64_t file = Offsets.FileOffset;
    SetAddressCounter(Unit(r, chip));
    ReadingState();
    Ep3.UsbFlush();
    std::int32_t done = 0;
    for (; done < last; done += kBlock) {
        ShowProgress(done);
        ReadBlock(Image(file), kBlock / 64);
        chip += kBlock;
        file += kBlock;
    }
    ShowProgress(chip);
    Ep3.VccPin(0);
    ShowProgress(done - 1);
    wb.Display();
    Success("OK!");
}

void Ti27cx::BlankClick() {
    const AdapterRow& r = Row();
    const std::int32_t last = LastAddress();
    RequireWholeSize(0, 0);
    if (!CheckDeviceId()) return;
    Status("Blank CHK");
    if (!FlashPowerUp() || Ep3.CheckCurrent() == 0 || !FlashPowerUp()) return;
    ReadingState();
    std::int32_t chip = Offsets.DeviceOffset;
    SetAddressCounter(Unit(r, chip));
    wb.ErrorFlag() = 0;
    for (std::int32_t done = 0; done < last; done += kBlock) {
        ShowProgress(chip);
        ReadBlock(Ep3.UsbReplyBuf.data(), kBlock / 64);
        if (!BlankBytes(done, Ep3.UsbReplyBuf.data(), kBlock)) return;
        chip += kBlock;
    }
    ShowProgress(chip);
    wb.ErrorFlag() = 0;
    Success("OK");
    ShowProgress(last);
    Ep3.SetAllPins(0);
    Ep3.VccPin(0);
}

void Ti27cx::VerifyClick() {
    const AdapterRow& r = Row();
    const std::int32_t last = LastAddress();
    const std::int32_t blocks = (last + kBlock - 1) / kBlock;
    RequireWholeSize(Offsets.FileOffset, blocks);
    if (!CheckDeviceId()) return;
    Status("Verify.");
    if (!FlashPowerUp()) return;
    ReadingState();
    std::int32_t chip = Offsets.DeviceOffset;
    std::int64_t file = Offsets.FileOffset;
    SetAddressCounter(Unit(r, chip));
    wb.ErrorFlag() = 0;
    for (std::int32_t done = 0; done < last; done += kBlock) {
        ShowProgress(done);
        ReadBlock(Ep3.UsbReplyBuf.data(), kBlock / 64);
        if (!MatchesImage(file, Ep3.UsbReplyBuf.data(), kBlock)) return;
        chip += kBlock;
        file += kBlock;
    }
    ShowProgress(chip);
    Success("OK..");
    ShowProgress(static_cast<std::int32_t>(file - 1));
    Ep3.SetAllPins(0);
    Ep3.VccPin(0);
}

// ---- Write: one pulse per word ------------------------------------------------------------------

void Ti27cx::WriteClick() {
    const AdapterRow& r = Row();
    const std::int32_t last = LastAddress();
    const int waits = PulseWaits();
    RequireDeviceOffset(Offsets.DeviceOffset, last);
    const std::int32_t chip0 = Offsets.DeviceOffset & ~0xFF;
    const std::int64_t file0 = Offsets.FileOffset & ~0xFF;
    // The last word at Device offset + Length, never past the chip.
    const std::int64_t end = std::min<std::int64_t>(static_cast<std::int64_t>(Offsets.DeviceOffset) + Offsets.Length, last);
    const std::int64_t words = std::max<std::int64_t>(1, (end - chip0) / 2 + 1);
    RequireImageRange(file0, words * 2, Offsets.FileOffset);
    GuardedWrite([&] {
        if (!CheckDeviceId()) return;
        Status("Write");
        if (!FlashPowerUp() || Ep3.CheckCurrent() == 0) return;
        SetAddressCounter(Unit(r, chip0));
        wb.ErrorFlag() = 0;
        Ep3.ControlLineLow(1);
        Ep3.ControlLineLow(2);
        Ep3.ControlLineHigh(r.StrobeLine);
        Ep3.ControlLineHigh(3);
        Ep3.VppPin(r.VppPin);
        const int wordBytes = (10 + waits) * 64 / 60 + 64;
        std::int64_t file = file0;
        for (std::int64_t k = 0; k < words; ++k) {
            const std::int64_t done = 2 * k;
            if (done % 0x1000 == 0) ShowProgress(static_cast<std::int32_t>(file));
            // A long pulse goes out between words, never split from its word.
            if (Ep3.UsbCmdCount + wordBytes > static_cast<int>(QueueSize)) Ep3.UsbFlush();
            Ep3.UsbPut3(OpAdapterBusWord, *Image(file), *Image(file + 1));
            Ep3.ControlLineLow(r.StrobeLine);
            for (int i = 0; i < waits; ++i) Ep3.UsbPut1(OpWaitPulse);
            Ep3.ControlLineHigh(r.StrobeLine);
            Ep3.UsbPut1(OpAdapterStep);
            if (done % 256 == 0) Ep3.UsbFlush();
            file += 2;
        }
        Ep3.VppPin(0);
        ShowProgress(static_cast<std::int32_t>(file - 1));
        Success("OK!");
        PowerDownAfterWrite();
    });
}

// ---- ID -----------------------------------------------------------------------------------------------

bool Ti27cx::ReadId() {
    const AdapterRow& r = Row();
    Repaint(Get("Message"));
    if (!FlashPowerUp()) return false;
    Ep3.VppPin(r.VppPin);
    Ep3.ControlLineLow(1);
    Ep3.ControlLineHigh(3);
    SetAddressCounter(0);
    // One latched command cycle of 90h.
    Ep3.WriteLatch(0, 0x90);
    Ep3.ControlLineHigh(2);
    Ep3.WriteReg(RegControlLines, kRegLatchCycle);
    Ep3.ControlLineLow(2);
    Ep3.ControlLineLow(4);
    Ep3.WriteReg(RegControlLines, kRegLatchEnd);
    Ep3.ControlLineHigh(2);
    Ep3.ControlLineHigh(4);
    Ep3.ControlLineHigh(1);
    Ep3.ControlLineLow(3);
    Ep3.UsbPut1(OpHubRead1K);
    Ep3.UsbFlush();
    Ep3.UsbReadExact(Ep3.UsbReplyBuf.data(), 1024);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    auto& id = wb.sel.LastReadId;
    id = {Ep3.UsbReplyBuf[0], Ep3.UsbReplyBuf[1], 0, 0};
    char text[32];
    std::snprintf(text, sizeof text, "MFG ID=%02x,%02x", id[0], id[1]);
    Status(text);
    return true;
}

// ---- the batch ------------------------------------------------------------------------------------

void Ti27cx::Button1Click() {
    Row();
    if (!CheckDeviceId()) return;
    BatchScope batch(BatchFlag);
    RunBatch({{"CheckBox2", [this] { BlankClick(); }},
              {"CheckBox3", [this] { WriteClick(); }},
              {"CheckBox4", [this] { VerifyClick(); }}},
             [] { return false; }, false);
}

QUILLA_FORM(Ti27cx);

}  // namespace quilla
