#include "algo/memory/x28c.h"

#include <algorithm>
#include <cstdio>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRows = 16;
constexpr int kQueryBytes = 256;

struct Bit {
    std::uint32_t address;  // the address bit
    int latch;              // 0, 3 or 4
    std::uint8_t mask;
};
// Where the address bits above A7 go; a bit may drive two latches.
constexpr Bit k32Pin[] = {{1u << 8, 3, 0x20},  {1u << 9, 3, 0x10},  {1u << 10, 3, 0x02}, {1u << 11, 3, 0x08},
                          {1u << 12, 0, 0x80}, {1u << 12, 4, 0x20}, {1u << 13, 3, 0x40}, {1u << 14, 3, 0x80},
                          {1u << 15, 0, 0x40}, {1u << 15, 4, 0x10}, {1u << 16, 0, 0x20}, {1u << 17, 4, 0x01},
                          {1u << 18, 0, 0x10}};
constexpr Bit k28Pin[] = {{1u << 8, 3, 0x20},  {1u << 9, 3, 0x10},  {1u << 10, 3, 0x02}, {1u << 11, 3, 0x08},
                          {1u << 12, 0, 0x80}, {1u << 12, 4, 0x20}, {1u << 13, 3, 0x40}, {1u << 14, 0, 0x40},
                          {1u << 14, 4, 0x10}};

}  // namespace

TX28cx1::TX28cx1(Workbench& w) : SocketForm(w, "Xicor X28c", kRows) {
    SeatedChipCheck = true;
    UsesVpp = false;
    using namespace win;
    using F = TX28cx1;
    DeclareControls(Join({Offsets.Rows(*this),
                          {IdLabel(), PushButton({"MFG", " ID   "}), IdField(), TypeField(),
                           PushButton({"ReadButton", "Read  "}), PushButton({"Blank", "Blank?  "}),
                           Disabled(PushButton({"Erase", "Erase"})), PushButton({"Protect", "Lock  "}),
                           PushButton({"Unprotect", "Unlock"}), PushButton({"Verify", "Verify  "}),
                           PushButton({"Write", "Write "}), PushButton({"Button2", "CHKSUM"}), SpeedRadio()},
                          BatchGroup({Box({"CheckBox2", "Unlock"}), TickedBox({"CheckBox3", "Burn"}),
                                      TickedBox({"CheckBox4", "Vrfy"})}),
                          StatusFoot(true)}),
                    this,
                    Operations(this, {{"Protect", &F::ProtectClick},
                                      {"Unprotect", &F::UnprotectClick},
                                      {"Button2", &F::Button2Click}}));
    FillVariantTable();
}

void TX28cx1::FillVariantTable() {
    Table.assign(kRows, VariantRecord{});
    Table[0] = MakeVariant({.name = "???"});
    // The X28C256 writes pages of 64 bytes (its datasheet).
    Table[1] = MakeVariant({.name = "X28C256 (32K)", .last = 0x7FFF, .page = 64, .vccPin = 34, .programPin = 33});
    Table[2] = MakeVariant({.name = "X28C257 (32K)", .last = 0x7FFF, .page = 128, .vccPin = 36, .programPin = 35});
    Table[3] = MakeVariant({.name = "X28C512 (64K)", .last = 0xFFFF, .page = 128, .vccPin = 36, .programPin = 35});
    Table[4] = MakeVariant({.name = "X28C010 (128K)", .last = 0x1FFFF, .page = 256, .vccPin = 36, .programPin = 35});
    Table[5] = MakeVariant({.name = "X28C020 (256K)", .last = 0x3FFFF, .page = 256, .vccPin = 36, .programPin = 35});
    Table[6] = MakeVariant({.name = "X28C040 (512K)", .last = 0x7FFFF, .page = 512, .vccPin = 36, .programPin = 35});
    Table[7] = MakeVariant({.name = "X28C040A (512K)", .last = 0x7FFFF, .page = 512, .vccPin = 36, .programPin = 35});
    Table[8] = MakeVariant({.name = "X28C64B (8K)", .last = 0x1FFF, .page = 64, .vccPin = 34, .programPin = 33});
}

void TX28cx1::SetAddressLatched(std::int32_t address) {
    const VariantRecord* r = SelectedRow();
    const std::uint32_t a = static_cast<std::uint32_t>(address) | (r ? r->ForcedHigh : 0);
    const bool pin32 = !r || r->VccPin != 34;
    std::uint8_t l[5] = {static_cast<std::uint8_t>(pin32 ? 0x0F : 0x1F), 0, 0,
                         static_cast<std::uint8_t>(pin32 ? 0x01 : 0x81), 0x02};
    std::uint8_t rev = 0;
    for (int b = 0; b < 8; ++b)
        if (a & (1u << b)) rev = static_cast<std::uint8_t>(rev | (0x80u >> b));
    l[1] = rev;
    auto apply = [&](const Bit* bits, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            if (a & bits[i].address) l[bits[i].latch] = static_cast<std::uint8_t>(l[bits[i].latch] | bits[i].mask);
    };
    if (pin32)
        apply(k32Pin, std::size(k32Pin));
    else
        apply(k28Pin, std::size(k28Pin));
    for (int k : {1, 3, 0, 4}) Ep3.WriteLatch(k, l[k]);
}

// ---- setup and close ------------------------------------------------------------------------

void TX28cx1::SetupForDevice() {
    if (!SetupBegin("Link Err.")) return;
    const VariantRecord& r = *SelectedRow();
    // The form's exchanges need its design and a VCC level (the engine may hold
    // another design and level from the last form).
    LoadDesign(5000, "x28c.bit");
    Offsets.SetPage(Page(r));
    ShowVariant(r);
    AlgoForm::Show();
    Ep3.SetVpp(0);
    Ep3.InitBitReverse();
    Offsets.Length = r.LastAddress;
    Offsets.ShowAll();
    Put(kType, wb.sel.SelectedDevice);
}

void TX28cx1::OnClose() { Ep3.PowerOff(); }

// ---- the form's exchanges ----------------------------------------------------------------------

// The seated-chip test, VCC, ground and the over-current check.
bool TX28cx1::Start(const VariantRecord& r) {
    if (!ContactTest(r)) return false;
    Ep3.VccPin(r.VccPin);
    Ep3.GndPin(20);
    return Ep3.CheckCurrent() != 0;
}

void TX28cx1::ByteCommand(const VariantRecord& r, std::uint32_t address, std::uint8_t data) {
    Ep3.WriteLatch(2, data);
    SetAddressLatched(static_cast<std::int32_t>(address));
    Ep3.PinHigh(kOE);
    Ep3.PinLow(kCE);
    Ep3.PinLow(r.ProgramPin);
    Ep3.PinHigh(r.ProgramPin);
    Ep3.PinHigh(kCE);
    Ep3.PinLow(kOE);
}

// The next n chip bytes from the address set, 64 to a reply.
void TX28cx1::ReadNext(std::uint8_t* out, int n) {
    for (int done = 0; done < n;) {
        const int k = std::min(MaxCaptures, n - done);
        for (int i = 0; i < k; ++i) Put1(OpReadNext);
        Ep3.UsbReadReply();
        std::copy(Ep3.UsbReplyBuf.begin(), Ep3.UsbReplyBuf.begin() + k, out + done);
        done += k;
    }
}

// One page write from the address set: the page buffer loaded 32 bytes at a
// time, then written in one burst strobed on the row's WE pin.
void TX28cx1::PageWrite(const VariantRecord& r, const std::uint8_t* bytes) {
    const int page = Page(r);
    for (int off = 0; off < page; off += PageBufferBytes)
        Ep3.UsbPutPayload(OpPageBufferLoad, static_cast<std::uint8_t>(off >> 8), static_cast<std::uint8_t>(off & 0xFF),
                          bytes + off);
    Ep3.UsbPut4(OpPageProgram, r.ProgramPin, static_cast<std::uint8_t>(page >> 8),
                static_cast<std::uint8_t>(page & 0xFF));
}

// The page-write cycle: (Speed + 1) x 100 waits of 100 us (10, 20 or 30 ms).
void TX28cx1::PageWait() {
    const int n = (ItemIndex("Speed") + 1) * 100;
    for (int i = 0; i < n; ++i) Put1(OpWait100us);
    Flush();
}

bool TX28cx1::CancelAsked() {
    Put1(OpCancelQuery);
    return Ep3.UsbReadReply() != 0;
}

void TX28cx1::EndOff(const char* text) {
    Status(text);
    Ep3.VccPin(0);
    Ep3.PinLow(kOE);
    Ep3.PinLow(kCE);
}

std::vector<std::uint8_t> TX28cx1::SavePageZero(const VariantRecord& r) {
    Ep3.PinLow(kOE);
    Ep3.PinLow(kCE);
    Ep3.SetPortMode(ReadMode);
    SetAddressLatched(0);
    std::vector<std::uint8_t> page(static_cast<std::size_t>(Page(r)));
    ReadNext(page.data(), Page(r));
    return page;
}

// ---- operations ---------------------------------------------------------------------------------

void TX28cx1::ReadClick() {
    const VariantRecord& r = Row();
    Status("Reading");
    Ep3.PinLow(kCE);
    Ep3.PinLow(kOE);
    Ep3.VccPin(r.VccPin);
    Ep3.GndPin(20);
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPinOption(7, 0);
    Ep3.SetPinOption(8, 0);
    Ep3.SetPortMode(ReadMode);
    SetAddressLatched(0);
    Ep3.PinHigh(35);
    Ep3.PinLow(kOE);
    Ep3.PinLow(kCE);
    const std::int32_t last = std::min(r.LastAddress, std::max(Offsets.Length, 0));
    std::int32_t i = 0;
    while (i <= last) {
        SetAddressLatched(i);
        ShowProgress(i);
        const int n = std::min(256, last - i + 1);
        ReadNext(Image(i), n);
        i += n;
    }
    Ep3.SetAllPins(1);
    Ep3.VccPin(0);
    ShowProgress(i - 1);
    wb.Display();
    Success("OK!!!!!");
}

// Asks the programmer whether each 256 bytes from 0 are all 0xFF, up to Length
// and never past the chip's last address.
void TX28cx1::BlankClick() {
    const VariantRecord& r = Row();
    if (!Start(r)) return;
    Status("Checking blank...");
    Ep3.SetPortMode(ReadMode);
    Ep3.PinLow(kCE);
    Ep3.PinLow(kOE);
    SetAddressLatched(Offsets.DeviceOffset);
    wb.ErrorFlag() = 0;
    std::int32_t a = 0;
    while (a < Offsets.Length && a <= r.LastAddress) {
        SetAddressLatched(a);
        ShowProgress(a);
        Put1(OpBlankQuery);
        if (Ep3.UsbReadReply() == 0) {
            Status(Hex6(a) + ": not blank");
            Ep3.VccPin(0);
            wb.ErrorFlag() = 1;
            return;
        }
        a += kQueryBytes;
    }
    Success("Blank.");
    ShowProgress(a - 1);
    Ep3.SetAllPins(1);
    Ep3.VccPin(0);
}

void TX28cx1::VerifyClick() {
    const VariantRecord& r = Row();
    RequireDeviceOffset(r);
    const std::int32_t count =
        static_cast<std::int32_t>(std::min<std::int64_t>(static_cast<std::int64_t>(Offsets.Length) + 1,
                                                         r.LastAddress - Offsets.DeviceOffset + 1));
    RequireImageRange(Offsets.FileOffset, count);
    if (!Start(r)) return;
    Status("Verifying................");
    Ep3.SetPinOption(7, 0);
    Ep3.SetPinOption(8, 0);
    Ep3.SetPortMode(ReadMode);
    Ep3.PinLow(kCE);
    Ep3.PinLow(kOE);
    SetAddressLatched(Offsets.DeviceOffset);
    wb.ErrorFlag() = 0;
    std::int32_t chip = Offsets.DeviceOffset, file = Offsets.FileOffset;
    std::uint8_t bytes[256];
    for (std::int32_t k = 0; k < count;) {
        // A run up to the next 256-byte boundary; at a boundary the address is
        // set again and the programmer asked whether the user wants to stop.
        const int n = std::min(count - k, 256 - (chip & 0xFF));
        if ((chip & 0xFF) == 0) {
            SetAddressLatched(chip);
            Put1(OpReadNext);
            Put1(OpCancelQuery);
            Ep3.UsbReadReply();
            bytes[0] = Ep3.UsbReplyBuf[0];
            const bool cancel = Ep3.UsbReplyBuf[1] != 0;
            ShowProgress(chip);
            if (cancel) {
                Status("Canceled...");
                Ep3.VccPin(0);
                wb.ErrorFlag() = 1;
                return;
            }
            ReadNext(bytes + 1, n - 1);
        } else {
            ReadNext(bytes, n);
        }
        for (int i = 0; i < n; ++i) {
            const std::uint8_t want = *Image(file + i);
            if (bytes[i] != want) {
                Status(MismatchText(chip + i, want, bytes[i]));
                Ep3.VccPin(0);
                wb.ErrorFlag() = 1;
                return;
            }
        }
        chip += n;
        file += n;
        k += n;
    }
    Success("Data OK!");
    ShowProgress(chip);
    Ep3.SetAllPins(1);
    Ep3.VccPin(0);
}

void TX28cx1::WriteClick() {
    const VariantRecord& r = Row();
    RequireDeviceOffset(r);
    const std::int32_t page = Page(r);
    std::int32_t chip = Offsets.DeviceOffset & ~(page - 1);
    std::int32_t file = Offsets.FileOffset & ~(page - 1);
    const std::int64_t end = static_cast<std::int64_t>(Offsets.DeviceOffset) + Offsets.Length;
    {
        std::int64_t pages = 0;
        for (std::int64_t c = chip, done = 0; done < Offsets.Length && c <= r.LastAddress; c += page, done += page) {
            ++pages;
            if (c + page >= end) break;
        }
        RequireImageRange(file, pages * page);
    }
    if (!ContactTest(r)) return;
    Status("Writing.....(Ctrl+C STOP)");
    Ep3.VccPin(r.VccPin);
    Ep3.GndPin(20);
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPinOption(7, 0);
    Ep3.SetPinOption(8, 0);
    wb.ErrorFlag() = 0;
    std::vector<std::uint8_t> back(static_cast<std::size_t>(page));
    for (std::int32_t done = 0; done < Offsets.Length && chip <= r.LastAddress; done += page) {
        Ep3.SetPortMode(WriteMode);
        SetAddressLatched(chip);
        PageWrite(r, Image(file));
        if (CancelAsked()) {
            // The user stopped the write: no success, and a batch pass ends here.
            // The page under way finishes its write cycle before VCC goes off.
            PageWait();
            StepFailed();
            EndOff("Error..");
            return;
        }
        PageWait();
        Ep3.PinLow(kOE);
        ShowProgress(chip + page - 1);
        Ep3.SetPortMode(ReadMode);
        Ep3.PinLow(kCE);
        SetAddressLatched(chip);
        ReadNext(back.data(), page);
        for (int i = 0; i < page; ++i) {
            if (back[static_cast<std::size_t>(i)] != *Image(file + i)) {
                wb.ErrorFlag() = 1;
                ShowProgress(chip + i);
                EndOff("Error..");
                return;
            }
        }
        chip += page;
        file += page;
        if (chip >= end) break;
    }
    Success("Writing OK.......");
    Ep3.VccPin(0);
    Ep3.PinLow(kOE);
    Ep3.PinLow(kCE);
}

// Protection off: page 0 is read, the six command cycles are sent, and page 0
// is written back (its write cycle completes the command) and waited for.
void TX28cx1::UnprotectClick() {
    const VariantRecord& r = Row();
    if (!Start(r)) return;
    std::vector<std::uint8_t> saved = SavePageZero(r);
    Ep3.SetPortMode(WriteMode);
    Ep3.PinHigh(kOE);
    Ep3.PinLow(kCE);
    for (auto [a, d] : {std::pair{0x5555u, 0xAA}, {0x2AAAu, 0x55}, {0x5555u, 0x80}, {0x5555u, 0xAA},
                        {0x2AAAu, 0x55}, {0x5555u, 0x20}})
        ByteCommand(r, a, static_cast<std::uint8_t>(d));
    SetAddressLatched(0);
    PageWrite(r, saved.data());
    PageWait();
    Ep3.VccPin(0);
    Success("Unlocked...");
}

// Protection on: the three command cycles, then page 0 written back.
void TX28cx1::ProtectClick() {
    const VariantRecord& r = Row();
    if (!Start(r)) return;
    std::vector<std::uint8_t> saved = SavePageZero(r);
    Ep3.PinHigh(kOE);
    Ep3.SetPortMode(WriteMode);
    Ep3.SetPinOption(7, 0);
    Ep3.SetPinOption(8, 0);
    SetAddressLatched(0);
    for (auto [a, d] : {std::pair{0x5555u, 0xAA}, {0x2AAAu, 0x55}, {0x5555u, 0xA0}})
        ByteCommand(r, a, static_cast<std::uint8_t>(d));
    SetAddressLatched(0);
    PageWrite(r, saved.data());
    PageWait();
    Ep3.PinLow(kOE);
    Ep3.PinHigh(kCE);
    Ep3.VccPin(0);
    Success("Locked...");
}

// The 32-bit sum of the chip's bytes, from the programmer's 16-bit sums of
// each 256 bytes.
void TX28cx1::Button2Click() {
    const VariantRecord& r = Row();
    if (!Start(r)) return;
    Status("Byte sum...");
    Ep3.SetPortMode(ReadMode);
    // The chip's outputs must be on whatever the last operation left.
    Ep3.PinLow(kCE);
    Ep3.PinLow(kOE);
    std::uint32_t sum = 0;
    for (std::int32_t a = 0; a <= r.LastAddress; a += kQueryBytes) {
        SetAddressLatched(a);
        if (a % 4096 == 0) ShowProgress(a | 0xFFF);
        Put1(OpSumQuery);
        Ep3.UsbReadReply();
        sum += static_cast<std::uint32_t>(Ep3.UsbReplyBuf[0] | (Ep3.UsbReplyBuf[1] << 8));
    }
    char text[40];
    std::snprintf(text, sizeof text, "The checksum  = %08x.", sum);
    Success(text);
    Ep3.VccPin(0);
}

void TX28cx1::Button1Click() {
    Row();
    if (!FileWindowForWrite("CheckBox3")) return;
    RunBatch({{"CheckBox2", [this] { UnprotectClick(); }},
              {"CheckBox3", [this] { WriteClick(); }},
              {"CheckBox4", [this] { VerifyClick(); }}},
             nullptr, false);
}

QUILLA_FORM(TX28cx1);

}  // namespace quilla
