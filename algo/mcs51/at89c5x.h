// Atmel's 12 V parallel-programmed 8051 parts (keyword P89C51): AT89C51,
// AT89LV51, AT89C52, AT89LV52, AT89C55, AT80F51, AT80F52 and the one-time
// programmable AT87F51 and AT87F52, as a DIP40 chip in the socket or a PLCC44
// chip in the adapter.
//
// Socket pins (DIP40 numbering, also sent for the PLCC44 adapter): RST 9, P3.0
// (A14) 10, P3.3 13, P3.4 14, P3.6 16, P3.7 17, XTAL2 18, XTAL1 19 (the
// programmer's clock), P2.0-P2.5 (A8-A13) 21-26, P2.6 27, P2.7 28, PSEN 29,
// ALE/PROG 30, EA/VPP 31; A0-A7 through latch 0, the data with 0x21, reads in
// 256-byte blocks (0x20).
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

class TAt89c5x : public Mcs51Form {
public:
    explicit TAt89c5x(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    // ---- the handlers -------------------------------------------------------------
    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void SecrityClick();
    void IDClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    // ---- the routines ---------------------------------------------------------------
    // Contact test, then the chip powered in programming mode with VPP off; 0
    // when the contact test refused.
    int PowerUp51();
    int PreCheck51();
    std::uint8_t ProgramByte51(std::uint8_t value);
    // One lock-bit pulse with the selector levels; false when the over-current
    // check failed (the supplies are off then).
    bool LockBitPulse51(bool p27, bool p36, bool p37);
    int CheckDeviceId();
    // The VCC level of Verify from the VeriyVolt text.
    int VerifyMillivolts() const;
};

}  // namespace quilla
