// TAtmega162x: the ATmega161/162/163 rows of TAtmega161x with every fuse and
// lock setting in one 32-cell grid (fuse low, high and extended bytes, lock
// bits), kept between program runs in the .c48 side file of the image. Each
// fuse byte is written after its own entry into programming mode; everything
// runs at the setup's 4.4 V.
#pragma once

#include <array>

#include "algo/avr/atmega161.h"

namespace quilla {

class TAtmega162x : public TAtmega16xForm {
public:
    explicit TAtmega162x(Workbench& wb);
    void SetupForDevice() override;
    void OnClose() override;
    void WtFuseClick() override;
    void ReadFuseClick() override;
    void StringGrid1Click();

    // Row names of the grid: fuse low, fuse high, extended fuse, lock, bit 0 first.
    static const std::array<const char*, 32> FuseLabelTable;
    // The configuration word of the grid: bit i is 1 when row i holds "1".
    std::uint32_t ConfigWord() const;

protected:
    void FillRows() override;
    bool LockByte(std::uint8_t& lock) override;

private:
    // The first of rows [first, first + count) that holds neither "0" nor "1"
    // refuses a write of one-time bits (its text is shown); -1 when all are bits.
    int FirstNonBit(int first, int count) const;
    void RefuseCell(int row);
};

}  // namespace quilla
