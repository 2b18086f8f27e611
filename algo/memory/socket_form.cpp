#include "algo/memory/socket_form.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <tuple>

#include "algo/common/rows.h"
#include "algo/common/scan.h"
#include "engine/fatal.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kBlock = 1024;

}  // namespace

std::pair<std::uint32_t, std::uint32_t> ContactPins(const std::vector<std::pair<int, int>>& ranges) {
    std::uint32_t lo = 0, hi = 0;
    for (auto [a, b] : ranges)
        for (int p = a; p <= b; ++p) {
            if (p >= 1 && p <= 32) lo |= 1u << (p - 1);
            else if (p >= 33 && p <= 48) hi |= 1u << (p - 33);
        }
    return {lo, hi};
}

VariantRecord MakeVariant(const VariantFields& f) {
    VariantRecord r;
    r.Name = f.name;
    r.LastAddress = f.last;
    r.PageSizeMinus1 = f.page - 1;
    r.ForcedHigh = ~static_cast<std::uint32_t>(f.last);
    r.VccPin = static_cast<std::uint8_t>(f.vccPin);
    r.VppPin = static_cast<std::uint8_t>(f.vppPin);
    r.ProgramPin = static_cast<std::uint8_t>(f.programPin);
    r.PulseCode = static_cast<std::int8_t>(f.pulseCode);
    r.VppMv = f.vppMv;
    r.VccMv = f.vccMv;
    std::tie(r.ContactLo, r.ContactHi) = ContactPins(f.contactPins);
    return r;
}

SocketForm::SocketForm(Workbench& w, std::string caption, int tableRows)
    : MemoryForm(w, std::move(caption)) {
    Table.resize(static_cast<std::size_t>(tableRows));
}

ControlRow SocketForm::IdField() { return win::ReadOnly(win::Edit({kId}, "")); }

ControlRow SocketForm::IdLabel() { return win::Label({"Label4", kMfgIdLabel}); }

ControlRow SocketForm::SpeedRadio() { return win::Radio({"Speed", "Speed "}, {"Normal  ", "Mid.", "Slow"}, 0); }

void SocketForm::OnActivate() {
    if (Offsets.Page() > 1) Offsets.OnExit3();
}

bool SocketForm::FileWindowForWrite(const char* writeBox) {
    if (!Ticked(writeBox) || wb.FileWin) return true;
    wb.prompts.ShowMessage("Must open a file to write...");
    return false;
}

// ---- device table ---------------------------------------------------------------------

int SocketForm::VariantCount() const { return FilledRowCount(Table); }

const VariantRecord* SocketForm::SelectedRow() const { return FilledRow(Table, wb.sel.VariantIndex); }

int SocketForm::LineVcc(int floor) const {
    const int v = wb.sel.GetParam("vcc=");
    return v < floor ? 5000 : v;
}

std::string SocketForm::DeviceLineError() const {
    // The table is built in code; a form not yet set up still has it from
    // its constructor.
    if (const VariantRecord* r = SelectedRow()) {
        for (int pin : {r->VccPin, r->VppPin, r->ProgramPin})
            if (pin > 48)
                return "Bad device line: variant " + std::to_string(wb.sel.VariantIndex) + " of " +
                       wb.sel.DeviceKeyword + " names socket pin " + std::to_string(pin);
        const int vcc = wb.sel.GetParam("vcc=");
        if (UsesVccKey && vcc > MaxLineVcc) return "Bad device line: vcc=" + std::to_string(vcc);
        return {};
    }
    return VariantNotInTable();
}

const VariantRecord& SocketForm::Row() {
    if (const VariantRecord* r = SelectedRow()) return *r;
    Refuse(DeviceLineError());
}

void SocketForm::RequireImageRange(const std::vector<Block>& plan) {
    if (plan.empty()) return;
    std::int64_t lo = plan.front().file, hi = lo;
    for (const Block& b : plan) {
        lo = std::min<std::int64_t>(lo, b.file);
        hi = std::max<std::int64_t>(hi, static_cast<std::int64_t>(b.file) + b.count);
    }
    RequireImageRange(lo, hi - lo);
}

// ---- routines ---------------------------------------------------------------------------

std::vector<int> SocketForm::HighAddressPins() const {
    // A8 31, A9 30, A10 27, A11 29, A12 8, A13 32, A14 33, A15 7, A16 6, A17 34, A18 35, A19 5
    return {31, 30, 27, 29, 8, 32, 33, 7, 6, 34, 35, 5};
}

void SocketForm::SetAddressParallel(std::int32_t address) {
    std::uint32_t forced = 0;
    if (const VariantRecord* r = SelectedRow()) forced = r->ForcedHigh;
    const std::uint32_t a = static_cast<std::uint32_t>(address) | forced;
    std::uint32_t rev = 0;
    for (int b = 0; b < 8; ++b)
        if (a & (1u << b)) rev |= 0x80u >> b;
    Ep3.WriteLatch(1, static_cast<std::uint8_t>(rev));
    const std::uint32_t h = (a >> 8) & 0xFFFF;
    const std::vector<int> pins = HighAddressPins();
    for (std::size_t bit = 0; bit < pins.size(); ++bit) Ep3.SetPin((h >> bit) & 1u, pins[bit]);
    AfterHighAddressPins();
}

void SocketForm::ShowAddress(const std::string& edit, std::int32_t value) { Put(edit, Hex6(value)); }

void SocketForm::ShowProgress(std::int32_t value) {
    const VariantRecord* r = SelectedRow();
    const int max = r ? r->LastAddress : 0;
    ShowAddress(kAddress, value);
    SetProgress(kProgress, 0, max, value);
}

std::pair<std::uint32_t, std::uint32_t> SocketForm::ContactMasks(const VariantRecord& r) const {
    if (r.ContactLo != 0 || r.ContactHi != 0 || !SeatedChipCheck) return {r.ContactLo, r.ContactHi};
    std::uint32_t lo = 1u << (kGround - 1), hi = 0;
    if (r.VccPin >= 1 && r.VccPin <= 32) lo |= 1u << (r.VccPin - 1);
    else if (r.VccPin >= 33 && r.VccPin <= 48) hi |= 1u << (r.VccPin - 33);
    return {lo, hi};
}

bool SocketForm::ContactTest(const VariantRecord& r) {
    const auto [lo, hi] = ContactMasks(r);
    return Ep3.CheckPinContact(kGround, 0, lo, hi, 0) != 0;
}

bool SocketForm::PowerUp(const VariantRecord& r) {
    Ep3.VccPin(r.VccPin);
    return Ep3.CheckCurrent() != 0;
}

void SocketForm::ReadBlock(std::int32_t chip, std::uint8_t* buf) {
    SetAddressParallel(chip);
    Put1(OpRead1K);
    Flush();
    Ep3.UsbReadExact(buf, kBlock);
}

// ---- setup and close -----------------------------------------------------------------------

bool SocketForm::SetupBegin(const char* noLink) {
    FillVariantTable();
    if (!DeviceLineError().empty()) {
        // Nothing is sent for a device line that names no row of the table.
        const std::string msg = DeviceLineError();
        Status(msg);
        wb.prompts.ShowMsg(msg);
        return false;
    }
    Ep3.ResetPins();
    if (!Ep3.Connected) {
        Status(noLink);
        return false;
    }
    Status("OK ");
    wb.FileNew();
    AlgoForm::Show();
    return true;
}

void SocketForm::LoadDesign(int vccMv, const char* design) {
    Ep3.LoadBitFile(design);
    Ep3.SetVcc(vccMv);
    WriteMode = PortModeReset;
    ReadMode = PortModeRead;
}

void SocketForm::OnClose() {
    Ep3.PowerOff();
    Ep3.SetVpp(0);
    Ep3.VppPin(0);
    Ep3.SetAllPins(0);
}

// ---- Read -------------------------------------------------------------------------------------

void SocketForm::ReadClick() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    if (ReadLikeLaterForms) Status(Texts.Read);
    Ep3.PinLow(kCE);
    Ep3.PinLow(kOE);
    if (!PowerUp(r)) return;
    if (!ReadLikeLaterForms) {
        Status(Texts.Read);
        Put1(OpWaitSettle);
    }
    Ep3.SetPortMode(ReadMode);
    SetAddressParallel(0);
    BeforeReadEnable(r);
    Ep3.PinHigh(35);
    Ep3.PinLow(kOE);
    Ep3.PinLow(kCE);
    Flush();
    if (!ReadLikeLaterForms) Offsets.Length = r.LastAddress;

    std::int32_t address = 0;
    while (ReadLikeLaterForms ? address <= r.LastAddress : address < r.LastAddress) {
        ShowProgress(address);
        ReadBlock(address, Image(address));
        if (address >= Offsets.Length) break;
        address += kBlock;
    }
    ShowProgress(address - 1);
    if (EndWithPinsLow) Ep3.SetAllPins(0);
    Ep3.VccPin(0);
    wb.Display();
    Success(Texts.ReadDone);
}

void SocketForm::ShowVariant(const VariantRecord& r) {
    SetCaption("0 to " + HexPlain(r.LastAddress));
    Put(kType, wb.sel.TypeText);
    if (wb.FileWin) wb.FileWin->EndAddr = r.LastAddress;
    wb.Display();
}

// ---- Blank ------------------------------------------------------------------------------------

void SocketForm::BlankClick() {
    const VariantRecord& r = Row();
    if (!BlankFromZero) RequireDeviceOffset(r);
    if (!ContactTest(r)) return;
    if (ReadLikeLaterForms) Status(Texts.Blank);
    if (!PowerUp(r)) return;
    if (!ReadLikeLaterForms) Status(Texts.Blank);
    Ep3.SetPortMode(ReadMode);
    BeforeReadEnable(r);
    Ep3.PinLow(kCE);
    Ep3.PinLow(kOE);
    std::int32_t address = BlankFromZero ? 0 : Offsets.DeviceOffset;
    SetAddressParallel(BlankFromZero ? Offsets.DeviceOffset : address);
    wb.ErrorFlag() = 0;

    // From the Device offset: the failing byte is counted from the start of the
    // check, the loop ends when the address reaches Length. From 0: chip
    // addresses, ending after the block at or beyond Length.
    std::int32_t done = 0;
    while (BlankFromZero ? address <= r.LastAddress : (LoopInclusive ? done <= r.LastAddress : done < r.LastAddress)) {
        if (address > r.LastAddress) break;  // never past the chip
        ShowProgress(address);
        ReadBlock(address, Ep3.UsbReplyBuf.data());
        const int n = std::min(kBlock, r.LastAddress - address + 1);
        for (int i = 0; i < n; ++i) {
            const std::uint8_t b = Ep3.UsbReplyBuf[static_cast<std::size_t>(i)];
            if (b != 0xFF) {
                Status(NotBlankText(done + i, b));
                Ep3.VccPin(0);
                wb.ErrorFlag() = 1;
                return;
            }
        }
        if (BlankFromZero && address >= Offsets.Length) break;
        address += kBlock;
        if (!BlankFromZero && address >= Offsets.Length) break;
        done += kBlock;
    }
    Success(Texts.BlankDone);
    ShowProgress(BlankFromZero ? r.LastAddress : address - 1);
    if (EndWithPinsLow) Ep3.SetAllPins(0);
    Ep3.VccPin(0);
}

// ---- Verify -----------------------------------------------------------------------------------

// The 1 KiB blocks of a pass from chipStart (image from fileStart) while the count of bytes done
// stays below doneLimit (or at it, when inclusive) and the chip is not yet passed; the pass also
// ends at Device offset + Length. A block never reaches past the chip's last address, where the
// address counter would wrap onto 0.
std::vector<SocketForm::Block> SocketForm::PlanBlocks(const VariantRecord& r, std::int64_t chip,
                                                      std::int64_t file, std::int64_t doneLimit,
                                                      bool inclusive, std::int32_t size) const {
    std::vector<Block> plan;
    if (size < 1) return plan;
    const std::int64_t end = static_cast<std::int64_t>(Offsets.DeviceOffset) + Offsets.Length;
    std::int64_t done = 0;
    while (inclusive ? done <= doneLimit : done < doneLimit) {
        if (chip > r.LastAddress) break;
        const std::int64_t n = std::min<std::int64_t>(size, r.LastAddress - chip + 1);
        plan.push_back({static_cast<std::int32_t>(chip), static_cast<std::int32_t>(file),
                        static_cast<std::int32_t>(n)});
        chip += size;
        file += size;
        if (chip >= end) break;
        done += size;
    }
    return plan;
}

// A block cut at a 256 KiB boundary is compared up to it and the rest read as a
// block of its own: 0x27 steps the address like 0x28, and past the boundary WE
// would stand low (the chip's outputs off) for the rest of the block.
std::vector<SocketForm::Block> SocketForm::VerifyPlan(const VariantRecord& r) const {
    const std::vector<Block> blocks =
        PlanBlocks(r, Offsets.DeviceOffset, Offsets.FileOffset, r.LastAddress, LoopInclusive);
    if (!CutAtRippleBoundary) return blocks;
    std::vector<Block> plan;
    for (const Block& b : blocks) {
        const std::int32_t cut = (b.chip / kRippleBoundary + 1) * kRippleBoundary;
        if (b.chip + b.count <= cut) {
            plan.push_back(b);
            continue;
        }
        plan.push_back({b.chip, b.file, cut - b.chip});
        plan.push_back({cut, b.file + (cut - b.chip), b.chip + b.count - cut});
    }
    return plan;
}

void SocketForm::VerifyClick() {
    const VariantRecord& r = Row();
    RequireDeviceOffset(r);
    const std::vector<Block> plan = VerifyPlan(r);
    RequireImageRange(plan);
    if (!ContactTest(r)) return;
    if (ReadLikeLaterForms) Status(Texts.Verify);
    if (!PowerUp(r)) return;
    if (!ReadLikeLaterForms) Status(Texts.Verify);
    Ep3.SetPortMode(ReadMode);
    BeforeReadEnable(r);
    Ep3.PinLow(kCE);
    Ep3.PinLow(kOE);
    SetAddressParallel(Offsets.DeviceOffset);
    wb.ErrorFlag() = 0;

    std::int32_t done = 0;
    std::int32_t file = Offsets.FileOffset;
    for (const Block& b : plan) {
        ShowProgress(done);
        ReadBlock(b.chip, Ep3.UsbReplyBuf.data());
        if (!MatchesImage(b.file, Ep3.UsbReplyBuf.data(), b.count)) return;
        file = b.file + kBlock;
        done += kBlock;
    }
    Success(Texts.VerifyDone);
    ShowProgress(file - 1);
    if (EndWithPinsLow) Ep3.SetAllPins(0);
    Ep3.VccPin(0);
}

// ---- Write ------------------------------------------------------------------------------------

std::vector<SocketForm::Block> SocketForm::WritePlan(const VariantRecord& r) const {
    // Writing starts on the alignment boundaries below both offsets; the bytes
    // that adds before the Device offset count on top of Length, so the last
    // block still reaches Device offset + Length.
    const std::int32_t mask = Writing.Align > 1 ? ~(Writing.Align - 1) : ~0;
    const std::int32_t chip = Offsets.DeviceOffset & mask;
    return PlanBlocks(r, chip, Offsets.FileOffset & mask,
                      static_cast<std::int64_t>(Offsets.Length) + (Offsets.DeviceOffset - chip), false, Writing.Block);
}

bool SocketForm::WriteBegin(const VariantRecord& r) { return PowerUp(r); }

bool SocketForm::WriteBlockBegin(const VariantRecord& r) {
    Ep3.PinHigh(kCE);
    Ep3.PinHigh(kOE);
    if (UsesVpp) Ep3.VppPin(r.VppPin);
    return true;
}

void SocketForm::ProgramBlock(const VariantRecord& r, const Block& b) {
    for (int i = 0; i < b.count; ++i) {
        ProgramByte(r, *Image(b.file + i));
        // The address never steps past the chip's last byte: the counter
        // would wrap onto address 0 with the program pin as its top bit.
        if (b.chip + i < r.LastAddress) Put1(OpAddrInc);
    }
}

void SocketForm::ProgramByte(const VariantRecord&, std::uint8_t) {
    throw std::logic_error("this form programs no single bytes");
}

bool SocketForm::ReadBack(const VariantRecord& r, const Block& b) {
    (void)r;
    if (UsesVpp) Ep3.VppPin(0);
    Ep3.SetPortMode(ReadMode);
    SetAddressParallel(b.chip);
    Ep3.PinLow(kCE);
    Ep3.PinLow(kOE);
    Put1(OpRead1K);
    Flush();
    Ep3.UsbReadExact(Ep3.UsbReplyBuf.data(), kBlock);
    return MatchesImage(b.file, Ep3.UsbReplyBuf.data(), b.count);
}

void SocketForm::WriteClick() {
    const VariantRecord& r = Row();
    RequireDeviceOffset(r);
    const std::vector<Block> plan = WritePlan(r);
    RequireImageRange(plan);
    // A broken block: what was queued is dropped, and VPP goes off with VCC (it
    // would otherwise stay on its pin with VCC gone).
    GuardedWrite(
        [&] {
            if (!ContactTest(r)) return;
            Status(Texts.Write);
            if (!WriteBegin(r)) return;
            wb.ErrorFlag() = 0;
            const std::int32_t mask = Writing.Align > 1 ? ~(Writing.Align - 1) : ~0;
            std::int32_t file = Offsets.FileOffset & mask;
            for (const Block& b : plan) {
                Ep3.SetPortMode(WriteMode);
                SetAddressParallel(b.chip);
                ShowProgress(b.file);
                if (!WriteBlockBegin(r)) return;
                ProgramBlock(r, b);
                WriteBlockEnd(r, b);
                Flush();
                if (Writing.ReadBackEvery > 0 && b.chip % Writing.ReadBackEvery == 0 && !ReadBack(r, b)) return;
                file = b.file + Writing.Block;
            }
            if (UsesVpp) Ep3.VppPin(0);
            ShowProgress(file - 1);
            Success(Texts.WriteDone);
            Ep3.VccPin(0);
            Ep3.PinLow(kOE);
            Ep3.PinLow(kCE);
        },
        [this] {
            if (UsesVpp) Ep3.VppPin(0);
            Ep3.VccPin(0);
            Ep3.PinLow(kOE);
            Ep3.PinLow(kCE);
            Flush();
        });
}

// ---- ID, batch -----------------------------------------------------------------------------------

void SocketForm::MFGClick() {
    const VariantRecord* r = SelectedRow();
    // The same read as the selection dialog's " Detect MFG ID  ".
    char text[16] = "";
    if (Ep3.ReadMfgId(wb.sel.MfrIdByte, wb.sel.DeviceIdByte))
        std::snprintf(text, sizeof text, "%02x,%02x", wb.sel.MfrIdByte, wb.sel.DeviceIdByte);
    Put(kId, text);
    // The ID read leaves VPP at 12.5 V; the row's programming level comes back so
    // a later Write programs at the level the row names.
    if (r && Ep3.Connected) Ep3.SetVpp(r->VppMv);
}

std::vector<AlgoForm::BatchStep> SocketForm::BatchSteps() {
    return {{"CheckBox2", [this] { BlankClick(); }},
            {"CheckBox3", [this] { WriteClick(); }},
            {"CheckBox4", [this] { VerifyClick(); }}};
}

void SocketForm::Button1Click() {
    const VariantRecord& r = Row();
    const auto [lo, hi] = ContactMasks(r);
    RunBatch(BatchSteps(), [this, lo = lo, hi = hi] { return Ep3.WaitNextChip(kGround, 0, lo, hi, 0) != 0; });
}

}  // namespace quilla
