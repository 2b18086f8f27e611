// The GAL 16V8 / 20V8 form (keyword GAL3M): GAL and ATF parts in edit mode on
// the vex300 design. Protocol 1 serves the 20-pin 16V8 parts, protocol 2 the
// 24-pin 20V8 parts; the row address and mode lines go out through latches
// 1-3, data, clock and strobe are pin commands, and the data-out line is
// sampled by capture 3 (bit 0x10 on socket 22 for protocol 1, bit 0x20 on
// socket 23 for protocol 2), 64 samples per reply.
#pragma once

#include "algo/pld/gal_rows.h"

namespace quilla {

class TGALx : public GalRowForm {
public:
    explicit TGALx(Workbench& wb);
    void FillVariantTable() override;

protected:
    bool Workable(const VariantRecord& r) const override {
        return r.Rows > 0 && (r.PldProtocol == 1 || r.PldProtocol == 2);
    }
    const Texts& Messages() const override;
    void PowerUpPld(const VariantRecord& r) override;
    void ShiftFuseRow(const VariantRecord& r, int row, int n) override;
    void ReadFuseRow(const VariantRecord& r, int row, int n) override;
    int EraseWaits() const override { return 5; }
    bool CaptionFromRow() const override { return true; }

private:
    // The read lines of one protocol: latch 1 from the row number, latch 2
    // (bit 0x08 low strobes the row in), latch 3's value for row bit 0, and the
    // data-out socket pin with its bit in the capture.
    struct ReadLines {
        int (*latch1)(int row);
        int latch2;
        int row0;
        int dataOut;
        std::uint8_t mask;
    };
    void ShiftRowGal16(int row, int n);
    void ShiftRowGal20(int row, int n);
    void ReadRow(const ReadLines& lines, int row, int n);
    void ShiftData(int n);
    // The program strobe: low, `waits` settle waits, high, a flush.
    void ProgramStrobe(int waits);
    // Captures of the data port, one per bit with a clock, 64 per reply; a
    // bit reads '1' when its sample has `mask` set.
    void SampleRow(int n, std::uint8_t mask);
};

}  // namespace quilla
