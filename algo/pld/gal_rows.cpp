#include "algo/pld/gal_rows.h"

#include <algorithm>
#include <cstdio>

#include "app/jedec.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;

GalRowForm::GalRowForm(Workbench& w, std::string caption) : PldForm(w, std::move(caption)) {}

const std::vector<GalRowForm::ArchBit>& GalRowForm::ArchMap() {
    static const std::vector<ArchBit> map{
        // XOR 0-3
        {.rowBit = 0, .fuseOffset = 0}, {.rowBit = 1, .fuseOffset = 1},
        {.rowBit = 2, .fuseOffset = 2}, {.rowBit = 3, .fuseOffset = 3},
        // XOR 4-7
        {.rowBit = 78, .fuseOffset = 4}, {.rowBit = 79, .fuseOffset = 5},
        {.rowBit = 80, .fuseOffset = 6}, {.rowBit = 81, .fuseOffset = 7},
        // AC1 0-3
        {.rowBit = 5, .fuseOffset = 72}, {.rowBit = 6, .fuseOffset = 73},
        {.rowBit = 7, .fuseOffset = 74}, {.rowBit = 8, .fuseOffset = 75},
        // AC1 4-7
        {.rowBit = 73, .fuseOffset = 76}, {.rowBit = 74, .fuseOffset = 77},
        {.rowBit = 75, .fuseOffset = 78}, {.rowBit = 76, .fuseOffset = 79},
        // SYN
        {.rowBit = 77, .fuseOffset = 144},
        // AC0
        {.rowBit = 4, .fuseOffset = 145},
    };
    return map;
}

void GalRowForm::SetupForDevice() {
    if (!CheckDeviceLine()) return;
    const VariantRecord& r = SetupWindow("vex300.bit", wb.sel.TypeText);
    if (CaptionFromRow()) SetCaption(r.Name);
}

// ---- the architecture row ----------------------------------------------------------------------

void GalRowForm::WriteArchRow(const VariantRecord& r) {
    const int a = r.Rows * r.Bits;
    std::fill(FuseRowBuffer.begin(), FuseRowBuffer.begin() + ArchBits, '1');
    for (const ArchBit& b : ArchMap())
        FuseRowBuffer[static_cast<std::size_t>(b.rowBit)] = static_cast<char>(Fuse(a + b.fuseOffset));
    ShiftFuseRow(r, ArchRow, ArchBits);
}

void GalRowForm::ReadArchRow(const VariantRecord& r) {
    const int a = r.Rows * r.Bits;
    ReadFuseRow(r, ArchRow, ArchBits);
    for (const ArchBit& b : ArchMap())
        Fuse(a + b.fuseOffset) = static_cast<std::uint8_t>(FuseRowBuffer[static_cast<std::size_t>(b.rowBit)]);
}

bool GalRowForm::CheckArchRow(const VariantRecord& r) {
    const int a = r.Rows * r.Bits;
    ReadFuseRow(r, ArchRow, ArchBits);
    for (const ArchBit& b : ArchMap())
        if (Fuse(a + b.fuseOffset) != static_cast<std::uint8_t>(FuseRowBuffer[static_cast<std::size_t>(b.rowBit)]))
            return false;
    return true;
}

// ---- operations -------------------------------------------------------------------------------------

void GalRowForm::ReadRom() {
    const VariantRecord& r = Row();
    ShowFuseWindow(r);
    Status("Reading data ........");
    PowerUpPld(r);
    FillFuseMap('1');
    ReadArrayIntoMap(r.Rows, r.Bits, [this, &r](int i) { ReadArrayRow(r, i); });
    ReadArchRow(r);
    ReadFuseRow(r, r.Rows, r.Bits);
    FuseRangeFromBuffer(r.Rows * r.Bits + 8, r.Bits);
    EndRead(r, false);
}

void GalRowForm::BlankClick() {
    const VariantRecord& r = Row();
    Status("Blank CHK");
    if (!PowerUpChecked(r)) return;
    if (!ArrayBlank(r.Rows, r.Bits, [this, &r](int i) { ReadArrayRow(r, i); })) return;
    SuppliesOff();
    Success("Blank.");
}

void GalRowForm::EraseClick() {
    const VariantRecord& r = Row();
    if (!PowerUpChecked(r)) return;
    Status("Erasing");
    FuseRowBuffer[0] = '1';
    ShiftFuseRow(r, EraseRow, 1);
    QueueWaits(OpWait100ms, EraseWaits());
    SuppliesOff();
    Success("Erased..");
}

void GalRowForm::WriteClick() {
    const VariantRecord& r = Row();
    if (!NeedFuseWindow("Must open *.jed to write!!!!!!!!!")) return;
    const int a = r.Rows * r.Bits;
    std::vector<int> written;
    for (int n = 0; n < a; ++n) written.push_back(n);
    for (const ArchBit& b : ArchMap()) written.push_back(a + b.fuseOffset);
    for (int j = 0; j < r.Bits; ++j) written.push_back(a + 8 + j);
    std::sort(written.begin(), written.end());
    RequireFuseCharacters(written);

    Status("Write");
    if (!PowerUpChecked(r)) return;
    ShiftArrayFromMap(r, r.Rows, r.Bits);
    WriteArchRow(r);
    ShiftFuseRange(r, r.Rows, a + 8, r.Bits);
    SuppliesOff();
    Success("End.");
}

void GalRowForm::VerifyClick() {
    const VariantRecord& r = Row();
    const Texts& t = Messages();
    Status(t.verifying);
    if (!PowerUpChecked(r)) return;
    const auto got = [this](int j) { return static_cast<std::uint8_t>(FuseRowBuffer[static_cast<std::size_t>(j)]); };
    if (const auto bad = FindInArray(r.Rows, r.Bits, [this, &r](int i) { ReadArrayRow(r, i); },
                                     [&](int i, int j) { return Fuse(i + r.Rows * j) == got(j); })) {
        const auto [i, j] = *bad;
        char b[32];
        if (t.errorCodes) {
            std::snprintf(b, sizeof b, "Err.:%02x,%02x", Fuse(i + r.Rows * j), got(j));
        } else {
            std::snprintf(b, sizeof b, "Err.");
        }
        Status(b);
        wb.ErrorFlag() = 1;
        ShowProgress(r.Bits * i + j);
        SuppliesOff();
        return;
    }
    const bool archOk = CheckArchRow(r);
    SuppliesOff();
    if (!archOk) {
        wb.ErrorFlag() = 1;
        Status(t.archError);
        return;
    }
    wb.ErrorFlag() = 0;
    Success(t.verified);
}

void GalRowForm::SecrityClick() {
    const VariantRecord& r = Row();
    PowerUpPld(r);
    FuseRowBuffer[0] = '0';
    ShiftFuseRow(r, SecurityRow, 1);
    SuppliesOff();
    Success("End.");
}

}  // namespace quilla
