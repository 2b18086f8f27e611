#include "algo/memory/fwh_form.h"

#include <algorithm>
#include <cstdio>

#include "algo/common/rows.h"
#include "algo/common/scan.h"
#include "engine/fatal.h"

namespace quilla {

using namespace proto;

namespace {
constexpr int kBlock = 1024;
constexpr int kGround = 20;
constexpr const char* kDesign = "i82802.bit";
constexpr int kVccMv = 3300;
}  // namespace

FwhForm::FwhForm(Workbench& w, std::string caption) : MemoryForm(w, std::move(caption)) {}

ControlRows FwhForm::WindowHead() {
    return win::Join({Offsets.Rows(*this), {TypeField()},
                      OperationButtons({Op::Erase, Op::Blank, Op::Write, Op::Verify, Op::Read, Op::Id})});
}

ControlRows FwhForm::WindowFoot() { return win::Join({BatchGroup(EraseBlankWriteVerifyBoxes()), StatusFoot(true)}); }

// ---- device table -------------------------------------------------------------------------

int FwhForm::VariantCount() const { return FilledRowCount(Table); }

const FwhRow* FwhForm::SelectedRow() const { return FilledRow(Table, wb.sel.VariantIndex); }

std::string FwhForm::DeviceLineError() const { return SelectedRow() ? std::string() : VariantNotInTable(); }

const FwhRow& FwhForm::Row() {
    if (const FwhRow* r = SelectedRow()) return *r;
    Refuse(VariantNotInTable());
}

// ---- setup and close ---------------------------------------------------------------------

void FwhForm::SetupForDevice() {
    FillVariantTable();
    const FwhRow* r = SelectedRow();
    if (!r) {
        // Nothing is sent for a device line that names no row of the table.
        const std::string msg = VariantNotInTable();
        Status(msg);
        wb.prompts.ShowMsg(msg);
        return;
    }
    Ep3.ResetPins();
    if (!Ep3.Connected) {
        Status("Comm Err.");
        return;
    }
    Status("OK ");
    wb.FileNew();
    AlgoForm::Show();
    Ep3.LoadBitFile(kDesign);
    Ep3.SetVcc(kVccMv);
    Ep3.GndPin(kGround);
    Ep3.SetVpp(VppMillivolts());
    ShowCaption(*r);
    Put(kType, wb.sel.TypeText);
    if (wb.FileWin) wb.FileWin->EndAddr = r->LastAddress;
    wb.Display();
    AlgoForm::Show();
    Offsets.Length = r->LastAddress;
    Offsets.ShowAll();
}

void FwhForm::OnClose() {
    Ep3.PowerOff();
    Ep3.SetVpp(0);
    Ep3.VppPin(0);
    Ep3.SetAllPins(0);
}

// ---- routines ------------------------------------------------------------------------------

void FwhForm::ShowProgress(std::int32_t value) {
    const FwhRow* r = SelectedRow();
    Put(kAddress, Hex6(value));
    SetProgress(kProgress, 0, r ? r->LastAddress : 0, value);
}

void FwhForm::FwhSetAddress(std::int32_t address) {
    Ep3.WriteLatch(3, address & 0xFF);
    Ep3.WriteLatch(4, (address >> 8) & 0xFF);
    Ep3.WriteLatch(5, (address >> 16) & 0xFF);
}

void FwhForm::ReadState() {
    Ep3.ControlLineHigh(1);
    Ep3.ControlLineLow(3);
}

void FwhForm::WriteState() {
    Ep3.ControlLineLow(1);
    Ep3.ControlLineHigh(3);
}

bool FwhForm::FlashPowerUp() {
    const FwhRow& r = Row();
    if (Ep3.CheckPinContact(kGround, 0, r.ContactLo, r.ContactHi, 0) == 0) return false;
    Ep3.VccPin(0);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.VccPin(r.VccPin);
    if (Ep3.CheckCurrent() == 0) return false;
    for (int line : {7, 2, 4, 3, 5}) Ep3.ControlLineHigh(line);
    Ep3.ControlLineLow(6);  // RST# pulse
    Ep3.ControlLineHigh(6);
    FwhSetAddress(0);
    ReadState();
    Ep3.UsbFlush();
    return true;
}

void FwhForm::ReadBlock(std::uint8_t* buf) {
    Ep3.UsbPut1(OpHubRead1K);
    Ep3.UsbFlush();
    Ep3.UsbReadExact(buf, kBlock);
}

// ---- ID -------------------------------------------------------------------------------------

bool FwhForm::ReadId() {
    const FwhRow& r = Row();
    Repaint(Get(kMessage));
    if (!FlashPowerUp()) return false;
    IdEntry(r);
    ReadState();
    ReadBlock(Ep3.UsbReplyBuf.data());
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    auto& id = wb.sel.LastReadId;
    id[0] = Ep3.UsbReplyBuf[0];
    id[1] = Ep3.UsbReplyBuf[1];
    id[2] = 0;
    char text[32];
    std::snprintf(text, sizeof text, "MFG ID=%02x,%02x", id[0], id[1]);
    Status(text);
    return true;
}

void FwhForm::MFGClick() { ReadId(); }

int FwhForm::ReadIdForSelfCheck() {
    Guarded([this] { ReadId(); });
    return 2;
}

bool FwhForm::CheckDeviceId() {
    const auto& want = wb.sel.ExpectedId;
    if (want[0] == 0) return true;
    // Only what this read brings is compared: no bytes of an earlier chip.
    wb.sel.LastReadId = {};
    const auto& got = wb.sel.LastReadId;
    // A power-up that failed (contact, over-current) ends the operation.
    if (!ReadId()) {
        StepFailed();
        return false;
    }
    if (got[0] == want[0] && got[1] == want[1]) return true;
    if (wb.prompts.AskYesNo("Wrong type, OK ??")) return true;
    StepFailed();
    return false;
}

// ---- Read, Blank, Verify ----------------------------------------------------------------------

void FwhForm::ReadClick() {
    const FwhRow& r = Row();
    if (!CheckDeviceId()) return;
    Status("RD!");
    if (!ReadBegin(r)) return;
    std::int32_t address = 0;
    while (address <= r.LastAddress) {
        ShowProgress(address);
        ReadBlock(Image(address));
        if (ReadStopsAtLength() && address >= Offsets.Length) break;
        address += kBlock;
    }
    ReadEnd();
    Ep3.VccPin(0);
    ShowProgress(address - 1);
    wb.Display();
    Success("OK!");
}

void FwhForm::BlankClick() {
    const FwhRow& r = Row();
    RequireDeviceOffset(Offsets.DeviceOffset, r.LastAddress);
    if (!CheckDeviceId()) return;
    Status("Blank CHK");
    if (!FlashPowerUp()) return;
    if (Ep3.CheckCurrent() == 0) return;
    const std::int32_t start = Offsets.DeviceOffset;
    BlankBegin(start);
    wb.ErrorFlag() = 0;
    // The offsets count from the Device offset; the check ends at the chip's last byte.
    for (std::int32_t n = 0; n <= r.LastAddress && start + n <= r.LastAddress; n += kBlock) {
        ShowProgress(n);
        ReadBlock(Ep3.UsbReplyBuf.data());
        const int count = std::min(kBlock, r.LastAddress - (start + n) + 1);
        if (!BlankBytes(n, Ep3.UsbReplyBuf.data(), count)) return;
        if (n >= Offsets.Length) break;
    }
    Success("Blank.");
    ShowProgress(r.LastAddress);
    Ep3.SetAllPins(0);
    Ep3.VccPin(0);
}

std::vector<FwhForm::Block> FwhForm::VerifyPlan(const FwhRow& r) const {
    std::vector<Block> plan;
    const std::int64_t end = static_cast<std::int64_t>(Offsets.DeviceOffset) + Offsets.Length;
    std::int64_t chip = Offsets.DeviceOffset, file = Offsets.FileOffset;
    for (std::int64_t done = 0; done <= r.LastAddress && chip <= r.LastAddress; done += kBlock) {
        const std::int64_t n = std::min<std::int64_t>(kBlock, r.LastAddress - chip + 1);
        plan.push_back({static_cast<std::int32_t>(chip), static_cast<std::int32_t>(file), static_cast<std::int32_t>(n)});
        chip += kBlock;
        file += kBlock;
        if (chip >= end) break;
    }
    return plan;
}

void FwhForm::VerifyClick() {
    const FwhRow& r = Row();
    RequireDeviceOffset(Offsets.DeviceOffset, r.LastAddress);
    const std::vector<Block> plan = VerifyPlan(r);
    if (!plan.empty())
        RequireImageRange(plan.front().file,
                          static_cast<std::int64_t>(plan.back().file) + plan.back().count - plan.front().file,
                          Offsets.FileOffset);
    if (!CheckDeviceId()) return;
    Status("Verify.");
    if (!FlashPowerUp()) return;
    VerifyBegin();
    wb.ErrorFlag() = 0;
    FwhSetAddress(Offsets.DeviceOffset);
    Ep3.ControlLineLow(3);
    Ep3.ControlLineHigh(1);
    std::int64_t file = Offsets.FileOffset;
    for (const Block& b : plan) {
        ShowProgress(b.chip - Offsets.DeviceOffset);
        ReadBlock(Ep3.UsbReplyBuf.data());
        if (!MatchesImage(b.file, Ep3.UsbReplyBuf.data(), b.count)) return;
        file = static_cast<std::int64_t>(b.file) + kBlock;
    }
    Success("OK..");
    ShowProgress(static_cast<std::int32_t>(file - 1));
    Ep3.SetAllPins(0);
    Ep3.VccPin(0);
}

}  // namespace quilla
