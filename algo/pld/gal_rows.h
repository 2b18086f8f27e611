// The GAL row forms (16V8/20V8 GAL and ATF parts, PALCE16V8): R array rows of
// B bits written and read row by row, the architecture row 60, the user
// signature row R, the security row 61 and the bulk erase row 63. Array fuse
// of row r, bit b is fuse r + R·b; after the array (A = R·B):
//
//   A+0..A+7 XOR, A+8..A+71 signature row, A+72..A+79 AC1,
//   A+80..A+143 product-term enables (never written, read or compared),
//   A+144 SYN, A+145 AC0.
//
// A member supplies its power-up, its row write and read, and its texts.
#pragma once

#include <vector>

#include "algo/pld/pld_form.h"

namespace quilla {

class GalRowForm : public PldForm {
public:
    static constexpr int ArchRow = 60, ArchBits = 82, SecurityRow = 61, EraseRow = 63;

    GalRowForm(Workbench& wb, std::string caption);

    void SetupForDevice() override;

    // The 18 architecture fuses of row 60: row bit and fuse offset from A, in
    // the order the check compares them (XOR 0-3, XOR 4-7, AC1 0-3, AC1 4-7,
    // SYN, AC0).
    struct ArchBit {
        int rowBit, fuseOffset;
    };
    static const std::vector<ArchBit>& ArchMap();

protected:
    // A + 146: the array, then XOR .. AC0 as above.
    int JedecFuses(const VariantRecord& r) const override { return r.Rows * r.Bits + 146; }
    struct Texts {
        const char* verifying;   // Verify's status while it runs
        bool errorCodes;         // array difference shown with the two characters' codes
        const char* archError;   // architecture difference
        const char* verified;
    };
    virtual const Texts& Messages() const = 0;
    virtual void ReadFuseRow(const VariantRecord& r, int row, int n) = 0;
    // Long waits after the bulk-erase row.
    virtual int EraseWaits() const = 0;
    // Setup sets the caption to the row's name.
    virtual bool CaptionFromRow() const = 0;

    void WriteArchRow(const VariantRecord& r);
    void ReadArchRow(const VariantRecord& r);
    bool CheckArchRow(const VariantRecord& r);

    void ReadRom() override;
    void BlankClick() override;
    void EraseClick() override;
    void WriteClick() override;
    void VerifyClick() override;
    void SecrityClick() override;

private:
    // Row i of the array into FuseRowBuffer.
    void ReadArrayRow(const VariantRecord& r, int i) { ReadFuseRow(r, i, r.Bits); }
};

}  // namespace quilla
