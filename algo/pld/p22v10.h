// The 22V10 forms (keywords P22V10 and AMI22CV10): 44 rows of 132 bits in the
// serial row protocol (the row's bits, then its number least significant bit
// first, on socket 19 clocked by 18; the program strobe on 21 framed by 11
// high), the 20 architecture bits with a command of their own, row 44 (the
// user signature) after them. Fuse of row r, bit b is r + 44·b; A = 5808:
// architecture A..A+19, row 44 A+20..A+151.
//
// TP22V10x reads one bit per reply exchange on socket 22. TAmi22cv10x writes
// the same way but reads eight columns of a row per two exchanges, on the
// "pld22cv10" design; it cannot read the architecture bits or row 44.
#pragma once

#include <string>
#include <vector>

#include "algo/pld/pld_form.h"

namespace quilla {

class Serial22V10Form : public PldForm {
public:
    static constexpr int Rows = 44, Bits = 132, A = Rows * Bits, ArchBits = 20;
    static constexpr int SecurityRow = 61, EraseRow = 63;

    Serial22V10Form(Workbench& wb, std::string caption);

    void SetupForDevice() override;

protected:
    bool Workable(const VariantRecord& r) const override { return r.Rows == Rows && r.PldProtocol == 3; }
    // The JEDEC list ends after the array, the architecture bits and the
    // user signature (the first 64 bits of row 44): 5892.
    int JedecFuses(const VariantRecord& r) const override {
        (void)r;
        return A + ArchBits + 64;
    }
    virtual const char* DesignFile() const = 0;
    // Before the array is read row by row (Blank, Verify, the lock check).
    virtual void PrepareArrayRead() {}
    // Row i's 132 bits into FuseRowBuffer.
    virtual void ReadArrayRow(int i) = 0;
    // Verify also compares the architecture bits when the form can read them.
    virtual bool ReadArchitecture() = 0;  // into FuseRowBuffer 0..19; false: cannot
    // What Write refuses beyond the map's characters (empty: nothing).
    virtual std::string WriteRefusal() const { return {}; }

    void ShiftRow22V10(int row, int n);
    void ShiftFuseRow(const VariantRecord& r, int row, int n) override {
        if (r.PldProtocol == 3) ShiftRow22V10(row, n);
    }
    void WriteArchBits();
    void SetLatch(int k, int v);
    // The row number, least significant bit first, into latch 2 bit 2 from
    // `latch2`, one shift clock each.
    void ClockRowNumber(int row, int latch2);
    // The program strobe framed by line 11 high.
    void FramedStrobe();

    void BlankClick() override;
    void EraseClick() override;
    void WriteClick() override;
    void VerifyClick() override;
    void SecrityClick() override;
    bool BlankAfterErase() const override { return false; }

    int latch1_ = 0, latch2_ = 0;  // the last values written (they carry over)
};

class TP22V10x : public Serial22V10Form {
public:
    explicit TP22V10x(Workbench& wb);
    void FillVariantTable() override;

protected:
    const char* DesignFile() const override { return "vex300.bit"; }
    void PowerUpPld(const VariantRecord& r) override;
    void ReadRom() override;
    void ReadArrayRow(int i) override { ReadRow22V10(i, Bits); }
    bool ReadArchitecture() override;

private:
    void ReadRow22V10(int row, int n);
};

class TAmi22cv10x : public Serial22V10Form {
public:
    explicit TAmi22cv10x(Workbench& wb);
    void FillVariantTable() override;

protected:
    const char* DesignFile() const override { return "pld22cv10.bit"; }
    void PowerUpPld(const VariantRecord& r) override;
    void ReadRom() override;
    void PrepareArrayRead() override;
    void ReadArrayRow(int i) override;
    bool ReadArchitecture() override { return false; }
    bool BatchChecksWindow() const override { return false; }
    std::string WriteRefusal() const override;

private:
    void SelectColumnGroup(int g);
    // Bytes of rows 0..n-1 in the selected group (bit k: column 8g + k).
    std::vector<std::uint8_t> ReadColumnGroup(int n);
    // Every array fuse by column groups: cells_[i + 44·j] for row i, bit j.
    void ReadArrayByColumns(std::vector<std::uint8_t>& cells);

    std::vector<std::uint8_t> cells_;
};

}  // namespace quilla
