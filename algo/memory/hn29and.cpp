#include "algo/memory/hn29and.h"

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kGnd = 31;
constexpr const char* kTypeError = "Type error\nContinue?";

struct Package {
    int pkg = 0;
    const char* design = "";
    int program = 0;            // the design's program command (0: none this form can use)
    bool supplySignal = false;  // the board takes socket 34 or 31 as a signal
    std::int32_t c1 = 0, c2 = 0;  // the ID entry's command addresses (0: none)
};

// The designs by pkg=. The 16-bit designs program a word with their program command:
// 0x47 (Intel: 40h and the word) on intel48tsop16, 0x42 (AA 55 A0 and the word) on the
// tsop29cmd2aa/aaa designs. The intel48tsop16 board and the DIP40 27C4096 take sockets 31
// and 34 as signals (on the 27C4096, A9 and A12).
constexpr Package kPackages[] = {
    {.pkg = 4801, .design = "intel48tsop16.bit", .program = OpAdapterWordProg, .supplySignal = true},
    {.pkg = 4802, .design = "tsop29cmd2aa.bit", .program = OpAdapterWord, .c1 = 0x555, .c2 = 0x2AA},
    {.pkg = 4803, .design = "tsop29cmd2aaa.bit", .program = OpAdapterWord, .c1 = 0x5555, .c2 = 0x2AAA},
    {.pkg = 4401, .design = "intel48tsop16.bit", .program = OpAdapterWordProg, .supplySignal = true},
    {.pkg = 4402, .design = "mx44sop02.bit"},
    {.pkg = 4408, .design = "mbm44sop08.bit"},
    {.pkg = 4096, .design = "at27c4096dip40.bit", .supplySignal = true},
};

const Package* PackageOf(int pkg) {
    for (const Package& p : kPackages)
        if (p.pkg == pkg) return &p;
    return nullptr;
}

}  // namespace

THn29w25611x::THn29w25611x(Workbench& w) : AdapterForm(w, "Hn29w25611x") {
    DeclareControls(win::Join({Offsets.Rows(*this),
                               OperationButtons({Op::Read, Op::Blank, Op::Erase, Op::Write, Op::Verify, Op::Id}),
                               {TypeField(), win::Group({"GroupBox2", "擦和写方式："}),
                                win::Box({"CheckBox5", "Unlock(12V)"}, false, "GroupBox2")},
                               BatchGroup(EraseBlankWriteVerifyBoxes()), StatusFoot(false)}),
                    this, Operations(this));
    FillVariantTable();
}

void THn29w25611x::FillVariantTable() {
    Table.assign(2, AdapterRow{});
    AdapterRow& r = Table[1];
    r.FixedLast = 0x7FFFF;
    r.Width = 16;
    r.VccPin = 34;
    r.GndCode = kGnd;
}

std::string THn29w25611x::DeviceLineError() const {
    if (!SelectedRow()) return VariantNotInTable();
    const std::string line = "Bad device line: ";
    const int pkg = Key("pkg=");
    const Package* p = PackageOf(pkg);
    if (!p) return line + "pkg=" + std::to_string(pkg) + " names no design";
    if (p->supplySignal)
        return line + "pkg=" + std::to_string(pkg) +
               ": its board uses socket 34 or 31 as a signal, where this part takes VCC and ground";
    if (p->program == 0 || Key("we0=") != p->program)
        return line + "we0=" + std::to_string(Key("we0=")) + " is not the program command of pkg=" +
               std::to_string(pkg);
    if (Key("dly=") < 0) return line + "dly=" + std::to_string(Key("dly=")) + " is negative";
    return {};
}

void THn29w25611x::SetupForDevice() {
    if (!SetupBegin()) return;
    const AdapterRow& r = *SelectedRow();
    Ep3.LoadBitFile(PackageOf(Key("pkg="))->design);
    SetVisible("GroupBox2", r.VppPin != 0);
    Ep3.SetVpp(r.VppPin ? 12000 : 5000);
    const std::int32_t last = LastAddress();
    SetCaption(RangeCaption(last));
    ShowLengthSetup(last);
    Ep3.SetVcc(3300);
    Ep3.GndPin(kGnd);
}

// ---- routines -----------------------------------------------------------------------------

bool THn29w25611x::FlashPowerUp() { return PowerUpIdle(Row().VccPin); }

bool THn29w25611x::CheckDeviceId() { return CheckDeviceIdPlain(2, kTypeError); }

// ---- Read, Blank, Verify -------------------------------------------------------------------

void THn29w25611x::ReadClick() { ReadLength(2048); }

void THn29w25611x::BlankClick() { BlankLength(); }

void THn29w25611x::VerifyClick() { VerifyLength(); }

// ---- Erase, Write -------------------------------------------------------------------------------

void THn29w25611x::EraseClick() {
    const AdapterRow& r = Row();
    if (!CheckDeviceId()) return;
    Status("Erasing");
    if (!FlashPowerUp()) return;
    if (Ticked("CheckBox5")) Ep3.VppPin(r.VppPin);
    if (Ep3.CheckCurrent() == 0) return;
    WritingState();
    if (Key("era=") == 2901) {
        for (int k : {1, 2, 4, 1, 2, 5}) SendFlashCommand(k);
        const int dly = Key("dly=");
        for (int i = 0; i < dly; ++i) {
            Ep3.UsbPut1(OpWait100ms);
            Ep3.UsbFlush();
            EraseCountdown(i, dly);
        }
    }
    Ep3.ControlLineHigh(2);
    Ep3.UsbFlush();
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK");
}

void THn29w25611x::WriteClick() {
    const AdapterRow& r = Row();
    const LengthSpan span = LengthWriteSpan(2, 0);
    const auto program = static_cast<std::uint8_t>(Key("we0="));
    GuardedWrite([&] {
        if (!CheckDeviceId()) return;
        Status("Write");
        if (!FlashPowerUp()) return;
        Ep3.VccPin(r.VccPin);
        if (Ticked("CheckBox5")) Ep3.VppPin(r.VppPin);
        if (Ep3.CheckCurrent() == 0) return;
        SetAddressCounter(Unit(r, span.chip0));
        wb.ErrorFlag() = 0;
        WritingState();
        std::int64_t file = span.file0;
        for (std::int64_t k = 0; k < span.units; ++k) {
            if ((2 * k) % 0x4000 == 0) ShowProgress(static_cast<std::int32_t>(file));
            Ep3.UsbPut3(program, *Image(file), *Image(file + 1));
            if ((2 * k) % 256 == 0) Ep3.UsbFlush();
            file += 2;
        }
        ShowProgress(static_cast<std::int32_t>(file - 1));
        Success("OK!");
        Ep3.VppPin(0);
        PowerDownAfterWrite();
    });
}

// ---- ID -----------------------------------------------------------------------------------------------

bool THn29w25611x::ReadId() {
    const AdapterRow& r = Row();
    Repaint(Get("Message"));
    if (!FlashPowerUp()) return false;
    Ep3.VccPin(r.VccPin);
    if (Ep3.CheckCurrent() == 0) return false;
    WritingState();
    const Package* p = PackageOf(Key("pkg="));
    if (p && p->c1) {
        for (auto [a, v] : {std::pair{p->c1, 0xAA}, {p->c2, 0x55}, {p->c1, 0x90}}) {
            SetAddressCounter(a);
            BusWrite(static_cast<std::uint16_t>(v));
        }
    }
    Ep3.UsbFlush();
    SetAddressCounter(0);
    Ep3.ControlLineHigh(1);
    Ep3.ControlLineLow(3);
    Ep3.UsbFlush();
    ReadBlock(Ep3.UsbReplyBuf.data(), 1);
    Ep3.VccPin(0);
    ShowMfgId(4);
    return true;
}

// ---- the batch ------------------------------------------------------------------------------------

void THn29w25611x::Button1Click() {
    RunLengthBatch(EraseBlankWriteVerify());
}

QUILLA_FORM(THn29w25611x);

}  // namespace quilla
