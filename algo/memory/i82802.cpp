#include "algo/memory/i82802.h"

#include <algorithm>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRows = 20;
constexpr int kTries = 5;
constexpr int kBlockWaits = 5;  // 5 x 100 ms after 20h D0h
constexpr std::uint32_t kContactLo = 0x8DFFFFE0;  // socket pins 6-25, 27, 28, 32
constexpr std::uint32_t kContactHi = 0x0F;        // socket pins 33-36

constexpr std::int32_t kAt49ll020[] = {0x00000, 0x10000, 0x20000, 0x30000, 0x38000, 0x3A000, 0x3C000};
constexpr std::int32_t kAt49ll040[] = {0x00000, 0x10000, 0x20000, 0x30000, 0x40000, 0x50000,
                                      0x60000, 0x70000, 0x74000, 0x76000, 0x78000};
constexpr std::int32_t kAt49ll080[] = {0x00000, 0x10000, 0x20000, 0x30000, 0x40000, 0x50000, 0x60000, 0x70000,
                                      0x80000, 0x90000, 0xA0000, 0xB0000, 0xC0000, 0xD0000, 0xE0000, 0xF0000};

// The 82802 rows erase 64 KiB blocks; the AT49LL rows erase the blocks that
// start at their BlockStarts, with 21h from Boundary21 on (20h below it).
FwhRow HubRow(FwhRow r) {
    r.VccPin = 36;
    r.VppPin = 5;
    r.ContactLo = kContactLo;
    r.ContactHi = kContactHi;
    return r;
}

}  // namespace

TI82802ax::TI82802ax(Workbench& w) : FwhForm(w, "intel 82802") {
    DeclareControls(win::Join({WindowHead(), WindowFoot()}), this, Operations(this));
    FillVariantTable();
}

void TI82802ax::FillVariantTable() {
    Table.assign(kRows, FwhRow{});
    Table[1] = HubRow({.LastAddress = 0x3FFFF, .BlockSize = 0x10000});  // N82802AA
    Table[2] = HubRow({.LastAddress = 0x7FFFF, .BlockSize = 0x10000});  // N82802AB
    Table[3] = HubRow({.LastAddress = 0xFFFFF, .BlockSize = 0x10000});  // N82802AC
    // Rows 4 to 7 are empty.
    Table[8] = HubRow({.LastAddress = 0x3FFFF, .Boundary21 = 0x30000, .BlockStarts = kAt49ll020});  // AT49LL020
    Table[9] = HubRow({.LastAddress = 0x7FFFF, .Boundary21 = 0x70000, .BlockStarts = kAt49ll040});  // AT49LL040
    Table[10] = HubRow({.LastAddress = 0xFFFFF, .Boundary21 = -1, .BlockStarts = kAt49ll080});      // AT49LL080
}

void TI82802ax::ShowCaption(const FwhRow& r) { SetCaption("0 to " + HexPlain(r.LastAddress)); }

void TI82802ax::FwhWriteByte(std::uint8_t value) {
    Ep3.WriteLatch(0, value);
    Ep3.ControlLineHigh(2);
    Ep3.WriteReg(RegControlLines, 0x19);  // row of the latched address
    Ep3.ControlLineLow(2);
    Ep3.ControlLineLow(4);
    Ep3.WriteReg(RegControlLines, 0x09);  // its column
    Ep3.ControlLineHigh(2);
    Ep3.ControlLineHigh(4);
}

bool TI82802ax::ReadBegin(const FwhRow& r) {
    Ep3.VccPin(r.VccPin);
    if (Ep3.CheckCurrent() == 0) return false;
    if (!FlashPowerUp()) return false;
    WriteState();
    FwhWriteByte(0xFF);  // read array
    ReadState();
    return true;
}

void TI82802ax::ReadEnd() { Ep3.SetAllPins(0); }

void TI82802ax::BlankBegin(std::int32_t deviceOffset) {
    WriteState();
    FwhWriteByte(0xFF);
    FwhSetAddress(deviceOffset);
    ReadState();
}

void TI82802ax::VerifyBegin() {
    WriteState();
    FwhWriteByte(0xFF);
}

void TI82802ax::IdEntry(const FwhRow& r) {
    Ep3.VppPin(r.VppPin);
    WriteState();
    FwhSetAddress(0);
    FwhWriteByte(0x90);
}

bool TI82802ax::FwhEraseBlock(std::int32_t address) {
    const FwhRow& r = Row();
    WriteState();
    Ep3.VppPin(r.VppPin);  // 12 V from setup
    FwhSetAddress(address);
    FwhWriteByte(0x20);
    FwhWriteByte(0xD0);
    for (int i = 0; i < kBlockWaits; ++i) Ep3.UsbPut1(OpWait100ms);
    Ep3.UsbFlush();
    Ep3.VppPin(0);
    FwhWriteByte(0xFF);
    ReadState();
    FwhSetAddress(address);
    ReadBlock(Ep3.UsbReplyBuf.data());
    return std::all_of(Ep3.UsbReplyBuf.begin(), Ep3.UsbReplyBuf.begin() + 1024, [](std::uint8_t b) { return b == 0xFF; });
}

void TI82802ax::EraseClick() {
    const FwhRow& r = Row();
    if (!CheckDeviceId()) return;
    Status("Erasing");
    if (!FlashPowerUp()) return;
    WriteState();
    if (r.BlockStarts.empty()) {
        // 82802 rows: the blocks in turn, up to five tries each.
        for (std::int32_t a = 0; a < r.LastAddress; a += r.BlockSize) {
            ShowProgress(a);
            bool erased = false;
            for (int t = 0; t < kTries && !erased; ++t) erased = FwhEraseBlock(a);
            if (!erased) {
                Status("Ers.失败!");
                Ep3.VccPin(0);
                StepFailed();
                return;
            }
        }
    } else {
        // The block list: 20h below the row's boundary, 21h from it; no erase check.
        WriteState();
        Ep3.VppPin(r.VppPin);
        for (std::int32_t b : r.BlockStarts) {
            ShowProgress(b);
            FwhSetAddress(b);
            FwhWriteByte(b < r.Boundary21 ? 0x20 : 0x21);
            FwhWriteByte(0xD0);
            for (int i = 0; i < kBlockWaits; ++i) Ep3.UsbPut1(OpWait100ms);
            Ep3.UsbFlush();
        }
    }
    ShowProgress(r.LastAddress);
    Ep3.ControlLineLow(3);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK");
}

void TI82802ax::WriteClick() {
    const FwhRow& r = Row();
    RequireDeviceOffset(Offsets.DeviceOffset, r.LastAddress);
    // From the 256-byte boundaries below both offsets to Device offset + Length.
    const std::int32_t chip0 = Offsets.DeviceOffset & ~0xFF;
    const std::int64_t file0 = Offsets.FileOffset & ~0xFF;
    const std::int64_t stop =
        std::min<std::int64_t>(r.LastAddress, static_cast<std::int64_t>(Offsets.DeviceOffset) + Offsets.Length);
    const std::int64_t count = std::max<std::int64_t>(1, stop - chip0 + 1);
    RequireImageRange(file0, count, Offsets.FileOffset);
    GuardedWrite([&] {
        if (!CheckDeviceId()) return;
        Status("Write");
        if (!FlashPowerUp()) return;
        Ep3.VccPin(r.VccPin);
        if (Ep3.CheckCurrent() == 0) return;
        wb.ErrorFlag() = 0;
        WriteState();
        Ep3.VppPin(r.VppPin);
        std::int64_t file = file0;
        std::int32_t chip = chip0;
        for (std::int64_t n = 0; n < count; ++n) {
            if (n % 256 == 0) {
                ShowProgress(static_cast<std::int32_t>(file));
                Ep3.UsbFlush();  // the previous 256 bytes
            }
            if (chip % 256 == 0) FwhSetAddress(chip);
            Ep3.UsbPut2(OpHubProgram3D, *Image(file));
            ++file;
            ++chip;
        }
        Ep3.VppPin(0);  // sends the rest
        ShowProgress(static_cast<std::int32_t>(file - 1));
        Success("OK!");
        Ep3.VccPin(0);
        Ep3.PinLow(28);
        Ep3.PinLow(26);
    });
}

void TI82802ax::Button1Click() {
    Row();
    RunBatch(EraseBlankWriteVerify(), nullptr, false);  // one pass
}

QUILLA_FORM(TI82802ax);

}  // namespace quilla
