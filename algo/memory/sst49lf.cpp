#include "algo/memory/sst49lf.h"

#include <algorithm>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRows = 20;
constexpr int kBlock = 1024;
constexpr std::uint32_t kContactLo = 0x8DFFFFE0;  // socket pins 6-25, 27, 28, 32
constexpr std::uint32_t kContactHi = 0x0F;        // socket pins 33-36
constexpr const char* kSlow = "Slow  ";

FwhRow SstRow(std::int32_t last) {
    return {.LastAddress = last, .VccPin = 36, .ContactLo = kContactLo, .ContactHi = kContactHi};
}

}  // namespace

TSst49lf008x::TSst49lf008x(Workbench& w) : FwhForm(w, "SST49 FWH/LPC ") {
    DeclareControls(win::Join({WindowHead(), {win::Combo({"Speed", ""}, {"Fast写", kSlow}, 0)}, WindowFoot()}), this,
                    Operations(this));
    FillVariantTable();
}

void TSst49lf008x::FillVariantTable() {
    Table.assign(kRows, FwhRow{});
    Table[1] = SstRow(0x3FFFF);  // SST49LF002A
    Table[2] = SstRow(0x5FFFF);  // SST49LF003A
    Table[3] = SstRow(0x7FFFF);  // SST49LF004A
    Table[4] = SstRow(0xFFFFF);  // SST49LF008A
}

void TSst49lf008x::FwhWriteCommandByte(std::uint16_t address, std::uint8_t value) {
    const bool at5555 = address == 0x5555;
    Ep3.ControlLineHigh(2);
    Ep3.WriteReg(RegControlLines, at5555 ? 0x39 : 0x59);  // row of 5555h / 2AAAh
    Ep3.ControlLineLow(2);
    Ep3.WriteReg(RegControlLines, at5555 ? 0x29 : 0x49);  // its column
    Ep3.ControlLineHigh(2);
    Ep3.WriteLatch(0, value);
    Ep3.ControlLineLow(4);
    Ep3.ControlLineHigh(4);
}

bool TSst49lf008x::ReadBegin(const FwhRow&) {
    if (!FlashPowerUp()) return false;
    FwhSetAddress(0);
    Ep3.ControlLineLow(3);
    Ep3.ControlLineHigh(1);
    return true;
}

void TSst49lf008x::BlankBegin(std::int32_t deviceOffset) {
    FwhSetAddress(deviceOffset);
    Ep3.ControlLineLow(3);
}

void TSst49lf008x::IdEntry(const FwhRow&) {
    FwhSetAddress(0);
    Ep3.ControlLineHigh(3);
    Ep3.ControlLineLow(1);
    FwhWriteCommandByte(0x5555, 0xAA);
    FwhWriteCommandByte(0x2AAA, 0x55);
    FwhWriteCommandByte(0x5555, 0x90);
}

void TSst49lf008x::EraseClick() {
    Row();
    if (!CheckDeviceId()) return;
    Status("Erasing");
    if (!FlashPowerUp()) return;
    Ep3.ControlLineHigh(3);
    Ep3.ControlLineLow(1);
    for (auto [address, value] : {std::pair<std::uint16_t, std::uint8_t>{0x5555, 0xAA},
                                  {0x2AAA, 0x55}, {0x5555, 0x80}, {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x10}})
        FwhWriteCommandByte(address, value);
    Ep3.UsbPut1(OpWait100ms);
    Ep3.UsbPut1(OpWait100ms);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK");
}

std::vector<FwhForm::Block> TSst49lf008x::WritePlan(const FwhRow& r) const {
    std::vector<Block> plan;
    // The last byte written: Device offset + Length, never past the chip (the
    // design's address would wrap onto address 0).
    const std::int64_t stop =
        std::min<std::int64_t>(r.LastAddress, static_cast<std::int64_t>(Offsets.DeviceOffset) + Offsets.Length);
    std::int64_t chip = Offsets.DeviceOffset, file = Offsets.FileOffset;
    for (std::int64_t done = 0; done <= r.LastAddress && chip <= r.LastAddress; done += kBlock) {
        const std::int64_t n = std::clamp<std::int64_t>(stop - chip + 1, 1, kBlock);
        plan.push_back({static_cast<std::int32_t>(chip), static_cast<std::int32_t>(file), static_cast<std::int32_t>(n)});
        if (chip + n - 1 >= stop) break;
        chip += kBlock;
        file += kBlock;
    }
    return plan;
}

void TSst49lf008x::WriteClick() {
    const FwhRow& r = Row();
    RequireDeviceOffset(Offsets.DeviceOffset, r.LastAddress);
    const std::vector<Block> plan = WritePlan(r);
    RequireImageRange(plan.front().file,
                      static_cast<std::int64_t>(plan.back().file) + plan.back().count - plan.front().file,
                      Offsets.FileOffset);
    GuardedWrite([&] {
        if (!CheckDeviceId()) return;
        Status("Write");
        if (!FlashPowerUp()) return;
        wb.ErrorFlag() = 0;
        // Two waits only for the exact item text.
        const int waits = Text("Speed") == kSlow ? 2 : 1;
        for (const Block& b : plan) {
            ShowProgress(b.file);
            FwhSetAddress(b.chip);
            WriteState();
            for (int i = 0; i < b.count; ++i) {
                Ep3.UsbPut2(OpHubProgram3C, *Image(b.file + i));
                for (int w = 0; w < waits; ++w) Ep3.UsbPut1(OpWaitShort);
            }
            FwhSetAddress(b.chip);
            ReadState();
            ReadBlock(Ep3.UsbReplyBuf.data());  // sends the block with its read-back
            if (!MatchesImage(b.file, Ep3.UsbReplyBuf.data(), b.count)) return;
        }
        Ep3.UsbFlush();
        ShowProgress(plan.back().file + plan.back().count - 1);
        Success("OK!");
        Ep3.VccPin(0);
        Ep3.PinLow(28);
        Ep3.PinLow(26);
    });
}

void TSst49lf008x::Button1Click() {
    const FwhRow& r = Row();
    RunBatch(EraseBlankWriteVerify(), [this, &r] { return Ep3.WaitNextChip(20, 0, r.ContactLo, r.ContactHi, 0) != 0; });
}

QUILLA_FORM(TSst49lf008x);

}  // namespace quilla
