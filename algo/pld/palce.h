// The PALCE16V8 form (keyword PALCEGAL): 34 rows of 64 bits, 10 V on socket
// 13. The row number (most significant bit first) and then the row's data go
// in on socket 12, clocked by socket 11, framed by sockets 14, 15 and 18; no
// latch takes part. The row read (which the chip's own programming sequence
// leaves to us, see sim/README.md) frames the row as the write does, then
// reads socket 29 once per bit, one reply exchange each.
#pragma once

#include "algo/pld/gal_rows.h"

namespace quilla {

class TPalceGALx : public GalRowForm {
public:
    explicit TPalceGALx(Workbench& wb);
    void FillVariantTable() override;

protected:
    bool Workable(const VariantRecord& r) const override { return r.Rows > 0; }
    const Texts& Messages() const override;
    void PowerUpPld(const VariantRecord& r) override;
    void ShiftFuseRow(const VariantRecord& r, int row, int n) override;
    void ReadFuseRow(const VariantRecord& r, int row, int n) override;
    int EraseWaits() const override { return 0; }
    bool CaptionFromRow() const override { return false; }

private:
    // Pin 18 low, pin 15 low, pin 14 high, the six row bits, pin 14 low, pin 15 high.
    void SelectRow(int row);
};

}  // namespace quilla
