#include "algo/serial/x5045.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "app/workbench.h"
#include "catalog/form.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;

namespace {
constexpr int kSck = 1, kSi = 2, kCs = 3;
// Family rule 12: the row's VCC and VSS pins (24 and 20 for the 8-pin part, 27 and 20 for the 14-lead one).
std::uint32_t SupplyMaskLo(const TX5045x::Row& r) { return (1u << (r.Vcc - 1)) | (1u << (r.Gnd - 1)); }

ControlRows Window() {
    using namespace win;
    return Join({{PushButton({"Read1", "R.Data"}), PushButton({"Write", "W.Data"}), PushButton({"Verify", "Vrfy"}),
                  PushButton({"Erase", "Erase"}), PushButton({"Blank", "Blank?"}),
                  PushButton({"ReadStatus", "R.Status"}), PushButton({"WriteStatus", "W.status"})},
                 SerialForm::StatusFields(),
                 {Group({"GroupBox2", "Status"})},
                 In("GroupBox2",
                    {Radio({"RadioGroup1", "保护"}, {"不保护", "180h-1ffh", "100h-1ffh", "000h-1fffh"}, 0),
                     Radio({"RadioGroup2", "看门狗时间"}, {"1.4秒", "600ms", "200ms", "禁止"}, 3)}),
                 SerialForm::Batch({Box({"CheckBox3", "W.Data(覆盖)"}, true), Box({"CheckBox1", "W.status"}, true),
                                    Box({"CheckBox4", "Vrfy"}, true)})});
}

}  // namespace

TX5045x::TX5045x(Workbench& w) : SerialForm(w, "X5045") {
    using F = TX5045x;
    DeclareControls(Window(), this,
                    {{"Erase", &F::EraseClick},
                     {"Blank", &F::BlankClick},
                     {"ReadStatus", &F::ReadStatusClick},
                     {"WriteStatus", &F::WriteStatusClick},
                     {"Button1", &F::Button1Click}});
    BindHandlers<SerialForm>(this, Operations());
    FillVariantTable();
}

void TX5045x::FillVariantTable() {
    Table = {
        {.Name = "Exit"},
        {.Name = "1: X5045/43(8pin)", .Design = "x5045dip08.bit", .Last = 511, .Vcc = 24, .Gnd = 20,
         .MaskLo = 0xB70000u},
        {.Name = "1: X5045/43(14pin)", .Design = "x5045dip14.bit", .Last = 511, .Vcc = 27, .Gnd = 20,
         .MaskLo = 0x4346000u},
    };
}

void TX5045x::SetupForDevice() {
    if (!CheckDeviceLine()) return;
    const Row& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.ResetPins();
    Ep3.LoadBitFile(r.Design);
    ShowConnection();
    wb.FileNew();
    if (wb.FileWin) wb.FileWin->EndAddr = r.Last;
    wb.Display();
    AlgoForm::Show();
    Put(kType, wb.sel.SelectedDevice);
    Ep3.SetVcc(5000);
    Ep3.SetVpp(0);
    Ep3.VppPin(0);
}

// ---- bus ---------------------------------------------------------------------------------------------

void TX5045x::X5045ShiftOut(int value, int n) {
    for (int k = n - 1; k >= 0; --k) {
        ((value >> k) & 1) ? Ep3.ControlLineHigh(kSi) : Ep3.ControlLineLow(kSi);
        Ep3.ControlLineHigh(kSck);
        Ep3.ControlLineLow(kSck);
    }
}

void TX5045x::X5045PowerUp() {
    const Row& r = Selected();
    Ep3.ControlLineHigh(kCs);
    Ep3.ControlLineLow(kSi);
    Ep3.ControlLineLow(kSck);
    Ep3.GndPin(r.Gnd);
    Ep3.VccPin(r.Vcc);
    Ep3.UsbFlush();
}

std::uint8_t TX5045x::X5045ReadByte(int a) {
    Ep3.ControlLineLow(kCs);
    X5045ShiftOut((a & 0x100) ? 0x0B : 0x03, 8);
    X5045ShiftOut(a & 0xFF, 8);
    for (int k = 0; k < 8; ++k) {
        Ep3.ControlLineHigh(kSck);
        Ep3.UsbPut1(OpCapturePort0);
        Ep3.ControlLineLow(kSck);
    }
    Ep3.ControlLineHigh(kCs);
    Ep3.UsbReadReply();
    std::uint8_t v = 0;
    for (std::size_t k = 0; k < 8; ++k) v = static_cast<std::uint8_t>((v << 1) | (Ep3.UsbReplyBuf[k] & 1));
    return v;
}

void TX5045x::X5045WriteByte(int a, std::uint8_t data) {
    Ep3.ControlLineLow(kCs);
    X5045ShiftOut((a & 0x100) ? 0x0A : 0x02, 8);
    X5045ShiftOut(a & 0xFF, 8);
    X5045ShiftOut(data, 8);
    Ep3.ControlLineHigh(kCs);
    Ep3.UsbPut1(OpWaitSettle);
}

void TX5045x::Wren() {
    Ep3.ControlLineLow(kCs);
    X5045ShiftOut(0x06, 8);
    Ep3.ControlLineHigh(kCs);
}

bool TX5045x::Contact() {
    const Row& r = Selected();
    if (Ep3.CheckPinContact(20, 0, r.MaskLo, r.MaskHi, 0) != 0) return true;
    StepFailed();
    return false;
}

std::uint8_t TX5045x::StatusValue() const {
    const int wd = std::max(0, ItemIndex("RadioGroup2")), bl = std::max(0, ItemIndex("RadioGroup1"));
    return static_cast<std::uint8_t>(((wd & 3) << 4) | ((bl & 3) << 2));
}

// ---- handlers -------------------------------------------------------------------------------------------

void TX5045x::ReadRom() {
    const Row& r = Selected();
    if (!Contact()) return;
    X5045PowerUp();
    if (!Ep3.CheckCurrent()) return;
    Status("Reading..");
    for (int i = 0; i <= r.Last; ++i) {
        Progress(i);
        *Image(i) = X5045ReadByte(i);
    }
    Progress(r.Last);
    Ep3.VccPin(0);
    Success("Data in buffer..");
    wb.Display();
    AlgoForm::Show();
}

void TX5045x::VerifyClick() {
    const Row& r = Selected();
    if (!Contact()) return;
    RequireContactPresence(r.Gnd, SupplyMaskLo(r), 0);
    Status("Verify.");
    X5045PowerUp();
    if (!Ep3.CheckCurrent()) return;
    for (int i = 0; i <= r.Last; ++i) {
        Progress(i);
        if (X5045ReadByte(i) != *Image(i)) {
            Status("Failed..! ");
            Progress(i);
            wb.ErrorFlag() = 1;
            Ep3.VccPin(0);
            AlgoForm::Show();
            return;
        }
    }
    wb.ErrorFlag() = 0;
    Progress(r.Last);
    Ep3.VccPin(0);
    Success("Verified!");
    AlgoForm::Show();
}

void TX5045x::WriteAll(const std::function<std::uint8_t(int)>& byteOf) {
    const Row& r = Selected();
    X5045PowerUp();
    if (!Ep3.CheckCurrent()) {
        StepFailed();
        return;
    }
    for (int i = 0; i <= r.Last; ++i) {
        Progress(i);
        Wren();
        X5045WriteByte(i, byteOf(i));
        Ep3.UsbFlush();
    }
    Progress(r.Last);
    Ep3.VccPin(0);
    Success("Done");
}

void TX5045x::WriteClick() {
    if (!Contact()) return;
    Status("写(覆盖)...");
    WriteAll([this](int i) { return *Image(i); });
}

void TX5045x::EraseClick() {
    if (!Contact()) return;
    Status("Erasing");
    WriteAll([](int) { return std::uint8_t{0xFF}; });
}

void TX5045x::BlankClick() {
    const Row& r = Selected();
    if (!Contact()) return;
    RequireContactPresence(r.Gnd, SupplyMaskLo(r), 0);
    Status("Blank CHK");
    X5045PowerUp();
    if (!Ep3.CheckCurrent()) return;
    for (int i = 0; i <= r.Last; ++i) {
        Progress(i);
        if (X5045ReadByte(i) != 0xFF) {
            Status("No empty.");
            Ep3.VccPin(0);  // the supply does not stay on after the check
            StepFailed();
            return;
        }
    }
    Progress(r.Last);
    Ep3.VccPin(0);
    Success("Blank");
}

void TX5045x::ReadStatusClick() {
    if (!Contact()) return;
    X5045PowerUp();
    Ep3.ControlLineLow(kCs);
    X5045ShiftOut(0x05, 8);
    for (int k = 0; k < 8; ++k) {
        Ep3.ControlLineHigh(kSck);
        Ep3.UsbPut1(OpCapturePort0);
        Ep3.ControlLineLow(kSck);
    }
    Ep3.ControlLineHigh(kCs);
    Ep3.UsbReadReply();
    std::uint8_t v = 0;
    for (std::size_t k = 0; k < 8; ++k) v = static_cast<std::uint8_t>((v << 1) | (Ep3.UsbReplyBuf[k] & 1));
    char buf[24];
    std::snprintf(buf, sizeof buf, "Status: %02x", v);
    Status(buf);
}

void TX5045x::WriteStatusClick() {
    if (!Contact()) return;
    Status("写Status...");
    const std::uint8_t v = StatusValue();
    X5045PowerUp();
    if (!Ep3.CheckCurrent()) return;
    Wren();
    Ep3.ControlLineLow(kCs);
    X5045ShiftOut(0x01, 8);
    X5045ShiftOut(v, 8);
    Ep3.ControlLineHigh(kCs);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.UsbFlush();
    Ep3.VccPin(0);
    Success("OK");
}

void TX5045x::Button1Click() {
    RowIndex();
    RunBatch({{"CheckBox3", [this] { WriteClick(); }},
              {"CheckBox1", [this] { WriteStatusClick(); }},
              {"CheckBox4", [this] { VerifyClick(); }}},
             [this] {
                 const Row& r = Selected();
                 return Ep3.WaitNextChip(20, 0, r.MaskLo, r.MaskHi, 0) != 0;
             });
}

QUILLA_FORM(TX5045x);

}  // namespace quilla
