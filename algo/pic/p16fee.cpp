#include "algo/pic/p16fee.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "algo/common/sidefile.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {


const PicPackage* FindPackage(int pkg) {
    return FindPicPackage(kPicPackages44to18, std::size(kPicPackages44to18), pkg);
}

}  // namespace

TP16fEEx::TP16fEEx(Workbench& w) : PicFlashForm(w, "P16fEEx", picvariant::P16fEEx, {}) {
    using namespace picwin;
    using F = TP16fEEx;
    DeclareControls(win::Join({OperationButtons(),
                               ConfigBoxes("CFG Config(打勾编程为0)"),
                               {EraseChoice()},
                               FlashBatch(true),
                               {VerifyVoltage("5.0V", 0), WriteSpeed()},
                               IdFields(true),
                               Foot(false),
                               {win::Label({"Package", "Package"}), win::PushButton(kExit)}}),
                    this, {{kRun1.Name, &F::Button1Click}, {kExit.Name, &F::Close}});
    BindHandlers(this, OperationClicks<F>());
    BindHandlers(this, ConfigBoxClicks<F>());
    FillVariantTable();
    // The configuration word of the last session, beside the image.
    std::vector<std::uint8_t> fee;
    const std::string path = SideFile(".fee");
    if (!path.empty() && ReadTextModeFile(path, fee)) {
        const int hi = fee.size() > 0 ? fee[0] : -1;
        const int lo = fee.size() > 1 ? fee[1] : -1;
        ConfigWord = (static_cast<std::uint32_t>(hi) << 8 | (static_cast<std::uint32_t>(lo) & 0xFF)) & 0xFFFF;
        ConfigToControls();
    }
}

void TP16fEEx::FillVariantTable() {
    Table = F87xRows(kF87xNames, true);
}

std::string TP16fEEx::DeviceLineError() const {
    const Selection& s = wb.sel;
    const int v = s.VariantIndex;
    if (v < 0 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of PIC16FEE is not in the device table";
    const int fla = s.GetParam("fla=");
    if (fla < 0 || static_cast<long long>(fla) * 2 > ImageSize)
        return "Bad device line: fla=" + std::to_string(fla) + " does not fit the 8M buffer";
    const int ee = s.GetParam("ee=");
    if (ee < 0 || ee > MaxEeprom)
        return "Bad device line: ee=" + std::to_string(ee) + " (0 to " + std::to_string(MaxEeprom) + ")";
    const int pkg = s.GetParam("pkg=");
    const PicRow& r = Table[static_cast<std::size_t>(v)];
    if (!FindPackage(pkg) && !r.Filled())
        return "Bad device line: pkg=" + std::to_string(pkg) + " names no package for variant " + std::to_string(v);
    const int vcc = s.GetParam("vcc=");
    if (vcc < 0 || vcc > 6500) return "Bad device line: vcc=" + std::to_string(vcc);
    return {};
}

int TP16fEEx::Waits() const { return Pic.WaitCount({row_.WriteDelay, Text("Speed"), 0}); }

void TP16fEEx::SetupForDevice() {
    FillVariantTable();
    if (!SetupBegin()) return;
    Package = SetupFromLine(true, ConfigNameForm::P16fEEx, kPicPackages44to18, false);
    Ep3.GndPin(row_.GndPin);
    SetupVcc = wb.sel.GetParam("vcc=");
    if (SetupVcc == 0) SetupVcc = 5000;
    Ep3.SetVcc(SetupVcc);
    Ep3.SetVpp(12700);
    ready_ = true;
}

bool TP16fEEx::Check(PicStep) { return DeviceIdCheck(Package == 8); }

// ---- erase -------------------------------------------------------------------------------------------

void TP16fEEx::EraseClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::Erase)) return;
    Pic.Enter(r.Pins(), false);
    Status("Erasing....");
    if (r.EepromLast <= 0) {
        if (ChipEraseF(r)) Success("OK");
        return;
    }
    if (!EraseByItem(r, ItemIndex("RadioGroup2"))) return;  // over-current: the engine has told
    Ep3.VccPin(0);
    Success("OK");
}

// ---- batch and close --------------------------------------------------------------------------------------

void TP16fEEx::Button1Click() {
    const PicRow& r = Row();
    const bool waitsForChips = Package != 8;
    if (!waitsForChips) {
        // Without a next-chip wait nothing tells one chip from the next: one
        // pass per Run, and an empty socket must not pass (the row's supply and
        // ground pins answer the contact test first).
        std::uint32_t lo = 0, hi = 0;
        for (int p : {r.VppPin, r.VccPin, r.GndPin}) {
            if (p >= 1 && p <= 32) lo |= 1u << (p - 1);
            else if (p >= 33 && p <= 48) hi |= 1u << (p - 33);
        }
        if (Ep3.CheckPinContact(r.GndPin, 0, lo, hi, 0) == 0) return;
    }
    RunBatch(FlashSteps(true),
             [this, &r] { return Ep3.WaitNextChip(r.GndPin, 0, r.ContactLo, r.ContactHi, 0) != 0; },
             waitsForChips);
}

void TP16fEEx::OnClose() {
    Ep3.PowerOff();
    const std::string path = SideFile(".fee");
    if (path.empty()) return;
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>((ConfigWord >> 8) & 0xFF),
                                   static_cast<std::uint8_t>(ConfigWord & 0xFF)};
    WriteTextModeFile(path, bytes);
}

QUILLA_FORM(TP16fEEx);

}  // namespace quilla
