#include "algo/memory/mx29x161x.h"

#include <cstdio>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRows = 8;
constexpr int kPage = 128;
constexpr std::int32_t kBuffer = 0x1B40;  // the design's page buffer
constexpr std::int32_t kC1 = 0xAAAA, kC2 = 0x5554;
constexpr const char* kTypeError = "Type error\nContinue?";

AdapterRow SizeRow(std::int32_t last) {
    AdapterRow r;
    r.FixedLast = last;
    r.Width = 8;
    r.VccPin = last ? 21 : 0;
    return r;
}

const char* DesignOf(int pkg) {
    switch (pkg) {
        case 48: return "mx1611sop48.bit";
        case 44: return "mx1611sop44.bit";
        default: return nullptr;
    }
}

}  // namespace

std::uint32_t TMx29x161x1::MaskLo = 0;
std::uint32_t TMx29x161x1::MaskHi = 0;

TMx29x161x1::TMx29x161x1(Workbench& w) : AdapterForm(w, "MXIC") {
    using F = TMx29x161x1;
    DeclareControls(win::Join({Offsets.Rows(*this),
                               OperationButtons({Op::Read, Op::Blank, Op::Erase, Op::Write, Op::Verify, Op::Id}),
                               {win::PushButton({"Button2", "Unlock"}), win::PushButton({"Button3", "Erase"}),
                                TypeField()},
                               BatchGroup(EraseBlankWriteVerifyBoxes()), StatusFoot(true)}),
                    this, Operations(this, {{"Button2", &F::Button2Click}, {"Button3", &F::Button3Click}}));
    FillVariantTable();
}

void TMx29x161x1::FillVariantTable() {
    Table.assign(kRows, AdapterRow{});
    const std::int32_t last[kRows] = {0, 0xFFFF, 0, 0x7FFFF, 0xFFFFF, 0x1FFFFF, 0x3FFFFF, 0x7FFFFF};
    for (int i = 0; i < kRows; ++i) Table[static_cast<std::size_t>(i)] = SizeRow(last[i]);
}

std::string TMx29x161x1::DeviceLineError() const {
    if (!SelectedRow()) return VariantNotInTable();
    const std::string line = "Bad device line: ";
    const int pkg = Key("pkg=");
    if (!DesignOf(pkg)) return line + "pkg=" + std::to_string(pkg) + " names no design (48 or 44)";
    if (Key("gnd=") <= 0) return line + "gnd=" + std::to_string(Key("gnd=")) + " names no ground pin";
    const int vcc = Key("vcc=");
    if (vcc <= 0 || vcc > 6500) return line + "vcc=" + std::to_string(vcc) + " is not a supply level (mV)";
    if (Key("dly=") < 0) return line + "dly=" + std::to_string(Key("dly=")) + " is negative";
    return {};
}

void TMx29x161x1::SetupForDevice() {
    if (!SetupBegin()) return;
    Ep3.LoadBitFile(DesignOf(Key("pkg=")));
    MaskLo = 0xFFFFFFFF;
    MaskHi = 0xC3FF;
    Ep3.SetVpp(12000);
    const std::int32_t last = LastAddress();
    SetCaption(RangeCaption(last));
    ShowLengthSetup(last);
    Ep3.SetVcc(Key("vcc="));
    Ep3.GndPin(Key("gnd="));
}

int TMx29x161x1::ReadIdForSelfCheck() {
    Guarded([this] { ReadId(); });
    return 2;
}

// ---- routines -----------------------------------------------------------------------------

bool TMx29x161x1::FlashPowerUp() { return PowerUpIdle(Row().VccPin); }

bool TMx29x161x1::CheckDeviceId() { return CheckDeviceIdPlain(2, kTypeError); }

bool TMx29x161x1::Contact() {
    if (Ep3.CheckPinContact(Key("gnd="), 0, MaskLo, MaskHi, 0) != 0) return true;
    StepFailed();
    return false;
}

void TMx29x161x1::CommandWrite(std::int32_t address, std::uint8_t value) {
    SetAddressCounter(address);
    Ep3.UsbPut2(OpAdapterByte, value);
    Ep3.ControlLineLow(4);
    Ep3.ControlLineHigh(4);
}

void TMx29x161x1::Unlock2() {
    CommandWrite(kC1, 0xAA);
    CommandWrite(kC2, 0x55);
}

void TMx29x161x1::UnlockedCommand(std::uint8_t command) {
    Unlock2();
    CommandWrite(kC1, command);
}

bool TMx29x161x1::CommandState() {
    Row();
    if (!FlashPowerUp() || Ep3.CheckCurrent() == 0) return false;
    Ep3.ControlLineHigh(3);
    Ep3.ControlLineLow(2);
    Ep3.ControlLineLow(1);
    SendFlashCommand(0);
    return true;
}

// ---- Read, Blank, Verify -------------------------------------------------------------------

void TMx29x161x1::ReadClick() { ReadLength(8192); }

void TMx29x161x1::BlankClick() { BlankLength(); }

void TMx29x161x1::VerifyClick() {
    Row();
    RequireLengthSpan(8192);
    if (!Contact()) return;
    VerifyLength();
}

// ---- Write: 128-byte pages through the design's buffer -------------------------------------------

void TMx29x161x1::WriteClick() {
    const AdapterRow& r = Row();
    // Each page's last buffer byte is the next page's byte 0.
    const LengthSpan span = LengthWriteSpan(kPage, 1);
    GuardedWrite([&] {
        if (!Contact() || !CheckDeviceId()) return;
        Status("Write");
        if (!FlashPowerUp()) return;
        Ep3.VccPin(r.VccPin);
        if (Ep3.CheckCurrent() == 0) return;
        SetAddressCounter(span.chip0);
        wb.ErrorFlag() = 0;
        WritingState();
        std::int64_t file = span.file0;
        for (std::int64_t k = 0; k < span.units; ++k) {
            ShowProgress(static_cast<std::int32_t>(file));
            for (int c = 0; c < kPage; c += PageBufferBytes) {
                const std::int32_t at = kBuffer + c;
                Ep3.UsbSendPageLoad(static_cast<std::uint8_t>(at >> 8), static_cast<std::uint8_t>(at), Image(file + c + 1));
            }
            Ep3.UsbPut2(OpAdapterByte, *Image(file));
            Ep3.UsbPut2(OpAdapterPageProg, kPage - 1);
            Ep3.UsbPut1(OpWaitPulse);
            Ep3.UsbFlush();
            file += kPage;
        }
        ShowProgress(static_cast<std::int32_t>(file - 1));
        Success("OK!");
        PowerDownAfterWrite();
    });
}

// ---- Erase, explicit Erase, Unlock ----------------------------------------------------------------

void TMx29x161x1::EraseClick() {
    Row();
    if (!Contact() || !CheckDeviceId()) return;
    Status("Erasing");
    if (!FlashPowerUp()) return;
    WritingState();
    for (int k : {1, 2, 4, 1, 2, 5}) SendFlashCommand(k);
    const int dly = Key("dly=");
    for (int i = 0; i < dly; ++i) {
        Ep3.UsbPut1(OpWait100ms);
        Status(std::to_string(i));
        Ep3.UsbFlush();
    }
    Ep3.UsbFlush();
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK");
}

void TMx29x161x1::Button3Click() {
    if (!CommandState()) return;
    UnlockedCommand(0x80);
    UnlockedCommand(0x10);
    for (int i = 0; i < 10; ++i) Ep3.UsbPut1(OpWait100ms);
    Ep3.UsbFlush();
    Ep3.VccPin(0);
    Success("OK");
}

void TMx29x161x1::Button2Click() {
    if (!CommandState()) return;
    UnlockedCommand(0x60);
    Unlock2();
    // The sixth cycle: the data register only, without a strobe.
    SetAddressCounter(0);
    Ep3.UsbPut2(OpAdapterByte, 0x40);
    Ep3.UsbFlush();
    Ep3.VccPin(0);
    Success("OK");
}

// ---- ID ----------------------------------------------------------------------------------------------

bool TMx29x161x1::ReadId() {
    const AdapterRow& r = Row();
    if (!FlashPowerUp()) return false;
    Ep3.VccPin(r.VccPin);
    if (Ep3.CheckCurrent() == 0) return false;
    SendFlashCommand(0);
    SetAddressCounter(0);
    WritingState();
    UnlockedCommand(0x90);
    SendFlashCommand(0);
    Ep3.UsbFlush();
    ReadingState();
    Ep3.UsbFlush();
    ReadBlock(Ep3.UsbReplyBuf.data(), 1);
    auto& id = wb.sel.LastReadId;
    for (std::size_t i = 0; i < 4; ++i) id[i] = Ep3.UsbReplyBuf[i];
    char text[32];
    std::snprintf(text, sizeof text, "%02x,%02x,%02x", id[0], id[1], id[2]);
    Status(text);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    return true;
}

// ---- the batch ------------------------------------------------------------------------------------

void TMx29x161x1::Button1Click() {
    RunLengthBatch(EraseBlankWriteVerify());
}

QUILLA_FORM(TMx29x161x1);

}  // namespace quilla
