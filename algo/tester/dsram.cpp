#include "algo/tester/dsram.h"

#include <random>

#include "algo/common/scan.h"
#include "algo/common/window.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kRows = 9;
constexpr int kBlock = 1024;

}  // namespace

TDsRAM::TDsRAM(Workbench& w) : SocketForm(w, "Dallas RAM", kRows) {
    SeatedChipCheck = true;
    UsesVpp = false;
    using namespace win;
    DeclareControls(Join({Offsets.Rows(*this),
                          {TypeField(), PushButton({"ReadButton", "R."}), PushButton({"Write", "W."}),
                           PushButton({"Verify", "Vrfy."}), PushButton({"Button3", "Random Run"})},
                          BatchGroup({TickedBox({"CheckBox3", "W."}), TickedBox({"CheckBox4", "Vrfy"})}),
                          StatusFoot(false)}),
                    this, Operations(this, {{"Button3", &TDsRAM::Button3Click}}));
    Put("Edit1", "000000");
    Put("Edit2", "000000");
    Put("Edit3", "000200");
    Offsets.Length = 0x200;
    FillVariantTable();
}

void TDsRAM::FillVariantTable() {
    Table.assign(kRows, VariantRecord{});
    Table[0] = MakeVariant({.name = "???"});
    // The program pin is the WE pin.
    Table[1] = MakeVariant({.name = "DS1220AB (2Kx8)", .last = 0x7FF, .vccPin = 32, .programPin = 29});
    Table[2] = MakeVariant({.name = "DS1225AB/AD (8Kx8)", .last = 0x1FFF, .vccPin = 34, .programPin = 33});
    Table[3] = MakeVariant({.name = "W24129 (16Kx8)", .last = 0x3FFF, .vccPin = 34, .programPin = 33});
    Table[4] = MakeVariant({.name = "DS1230Y/AB (32Kx8)", .last = 0x7FFF, .vccPin = 34, .programPin = 33});
    Table[5] = MakeVariant({.name = "62512 (64Kx8)", .last = 0xFFFF, .vccPin = 36, .programPin = 33});
    Table[6] = MakeVariant({.name = "DS1245Y (128Kx8)", .last = 0x1FFFF, .vccPin = 36, .programPin = 33});
    Table[7] = MakeVariant({.name = "DS1249 (256Kx8)", .last = 0x3FFFF, .vccPin = 36, .programPin = 33});
    Table[8] = MakeVariant({.name = "DS1250Y (512Kx8)", .last = 0x7FFFF, .vccPin = 36, .programPin = 33});
}

// A8..A18; then pin 33 (WE of the 28- and 32-pin rows) high.
std::vector<int> TDsRAM::HighAddressPins() const { return {31, 30, 27, 29, 8, 32, 7, 35, 6, 34, 5}; }

void TDsRAM::AfterHighAddressPins() { Ep3.PinHigh(33); }

std::uint8_t TDsRAM::StrobeFor(int wePin) {
    switch (wePin) {
        case 35: return 43;
        case 33: return OpStrobe33;
        case 5: return OpStrobe45;
        case 7: return OpStrobe46;
        default: return 0;
    }
}

void TDsRAM::SetupForDevice() {
    if (!SetupBegin("Link Err.")) return;
    const VariantRecord& r = *SelectedRow();
    vccLeftOn_ = false;
    Ep3.LoadBitFile("vex300.bit");
    WriteMode = PortModeReset;
    ReadMode = PortModeRead;
    ShowVariant(r);
    Ep3.SetVpp(0);
    Ep3.InitBitReverse();
    Offsets.Length = r.LastAddress;
    Offsets.ShowOffsetField(1, Offsets.FileOffset);
    Offsets.ShowOffsetField(2, Offsets.DeviceOffset);
    Ep3.SetVcc(5000);
    Ep3.GndPin(kGround);
    Offsets.ShowOffsetField(3, Offsets.Length);
    Put(kType, wb.sel.SelectedDevice);
}

void TDsRAM::OnClose() {
    vccLeftOn_ = false;
    Ep3.PowerOff();
}

// ---- R. --------------------------------------------------------------------------------------

void TDsRAM::ReadClick() {
    const VariantRecord& r = Row();
    vccLeftOn_ = false;
    Status("Reading");
    Ep3.PinLow(kCE);
    Ep3.PinLow(kOE);
    Ep3.VccPin(r.VccPin);
    Ep3.GndPin(kGround);
    Ep3.SetPortMode(ReadMode);
    SetAddressRam(0);
    Ep3.PinHigh(35);
    Ep3.PinLow(kOE);
    Ep3.PinLow(kCE);
    Flush();
    std::int32_t a = 0;
    for (; a <= r.LastAddress; a += kBlock) {
        ShowProgress(a);
        ReadBlock(a, Image(a));  // a short block ends the program, nothing stored
        if (a >= Offsets.Length) break;
    }
    ShowProgress(a - 1);
    wb.Display();
    Success("OK!");
    vccLeftOn_ = true;
}

// ---- W. --------------------------------------------------------------------------------------

bool TDsRAM::WriteBlocks(const VariantRecord& r) {
    Status("Write");
    Put1(OpWait100ms);
    Ep3.VccPin(r.VccPin);
    if (!Ep3.CheckCurrent()) return false;
    Put1(OpWait100ms);
    const std::uint8_t strobe = StrobeFor(r.ProgramPin);
    wb.ErrorFlag() = 0;
    const std::int64_t end = static_cast<std::int64_t>(Offsets.DeviceOffset) + Offsets.Length;
    std::int32_t d = 0, b = 0;
    while (b <= r.LastAddress) {
        Ep3.SetPortMode(WriteMode);
        SetAddressRam(d);
        ShowProgress(b);
        Ep3.PinLow(kCE);
        Ep3.PinHigh(kOE);
        for (int i = 0; i < kBlock; ++i) {
            Ep3.WriteLatch(2, *Image(b + i));
            if (strobe == 0) {
                Ep3.PinLow(r.ProgramPin);
                Ep3.PinHigh(r.ProgramPin);
            } else {
                Put1(strobe);
            }
            // No step after the block's last byte: its carry would reach the
            // pins above A10 (a WE among them) with CE low.
            if (i + 1 < kBlock) Put1(OpAddrInc);
        }
        Flush();
        Ep3.SetPortMode(ReadMode);
        SetAddressRam(d);
        Ep3.PinLow(kCE);
        Ep3.PinLow(kOE);
        Put1(OpRead1K);
        Flush();
        Ep3.UsbReadExact(Ep3.UsbReplyBuf.data(), kBlock);
        if (!MatchesImage(b, Ep3.UsbReplyBuf.data(), kBlock)) return false;
        d += kBlock;
        b += kBlock;
        if (d >= end) break;
    }
    ShowProgress(b - 1);
    Success("OK!");
    Ep3.PinHigh(kCE);
    Ep3.PinLow(kOE);
    vccLeftOn_ = true;
    return true;
}

void TDsRAM::WriteClick() {
    const VariantRecord& r = Row();
    vccLeftOn_ = false;
    if (!ContactTest(r)) return;
    GuardedWrite([this, &r] { WriteBlocks(r); },
                 [this] {
                     Ep3.PinHigh(kCE);
                     Ep3.PinLow(kOE);
                     Flush();
                 });
}

// ---- Vrfy. -----------------------------------------------------------------------------------

void TDsRAM::VerifyClick() {
    const VariantRecord& r = Row();
    // An empty socket must not verify an image of 0xFF bytes: the contact test
    // runs unless this form left VCC on a chip it just read or wrote.
    const bool checked = vccLeftOn_;
    vccLeftOn_ = false;
    if (!checked && !ContactTest(r)) return;
    Status("Verify.");
    Ep3.VccPin(r.VccPin);
    Ep3.GndPin(kGround);
    if (!Ep3.CheckCurrent()) return;
    Ep3.SetPortMode(ReadMode);
    Ep3.PinLow(kCE);
    Ep3.PinLow(kOE);
    SetAddressRam(Offsets.DeviceOffset);
    wb.ErrorFlag() = 0;
    const std::int64_t end = static_cast<std::int64_t>(Offsets.DeviceOffset) + Offsets.Length;
    std::int32_t d = 0, b = 0;
    while (b < r.LastAddress) {
        SetAddressRam(d);
        ShowProgress(b);
        Put1(OpRead1K);
        Flush();
        Ep3.UsbReadExact(Ep3.UsbReplyBuf.data(), kBlock);
        if (!MatchesImage(b, Ep3.UsbReplyBuf.data(), kBlock)) return;
        d += kBlock;
        b += kBlock;
        if (d >= end) break;
    }
    Success("OK");
    ShowProgress(b - 1);
    vccLeftOn_ = true;
}

// ---- batches ---------------------------------------------------------------------------------

std::vector<AlgoForm::BatchStep> TDsRAM::BatchSteps() {
    return {{"CheckBox3", [this] { WriteClick(); }}, {"CheckBox4", [this] { VerifyClick(); }}};
}

void TDsRAM::Button1Click() {
    Row();
    if (!FileWindowForWrite("CheckBox3")) return;
    RunBatch(BatchSteps(), nullptr, false);
}

void TDsRAM::Button3Click() {
    const VariantRecord& r = Row();
    Status("Testing");
    std::mt19937 gen(RandomSeed ? *RandomSeed : std::random_device{}());
    for (std::int32_t a = 0; a <= r.LastAddress; ++a) *Image(a) = static_cast<std::uint8_t>(gen());
    wb.ErrorFlag() = 0;
    const auto failed = [this] { return wb.ErrorFlag() != 0 || HasStepFailed(); };
    // One pattern sees a stuck bit only where it holds the other level, so the
    // pattern's bitwise complement follows it: every bit of every cell is then
    // written and read at both levels.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1)
            for (std::int32_t a = 0; a <= r.LastAddress; ++a) *Image(a) = static_cast<std::uint8_t>(~*Image(a));
        wb.Display();
        WriteClick();
        if (failed()) {
            Status("bad!");
            return;
        }
        VerifyClick();
        if (failed()) {
            Status("bad!");
            return;
        }
    }
    Success("Test OK!!!!!!!");
    wb.PassCount();
}

QUILLA_FORM(TDsRAM);

}  // namespace quilla
