// Atmel's AT89S51 and AT89S52 in their 12 V parallel mode (keyword AT89S5X):
// VCC 4.5 V, five mode pins (P3.3 with P2.6, P2.7, P3.6, P3.7), the signature at
// 0x000, 0x100 and 0x200, an erase that switches VCC off and on mid-way; DIP40 in
// the socket or PLCC44 in the adapter.
//
// Socket pins as the AT89C5x form (at89c5x.h); A14 on socket 14, RDY/BSY on
// P3.0 (socket 10).
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

class TAt89s5x1 : public Mcs51Form {
public:
    explicit TAt89s5x1(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void SecrityClick();
    void IDClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    int PowerUp51();
    int PreCheck51();
    std::uint8_t ProgramByte51(std::uint8_t value);
    // One lock-bit pulse; false when the current check after routing 12 V failed.
    bool LockBitPulse51(bool p27, bool p36, bool p37);
};

}  // namespace quilla
