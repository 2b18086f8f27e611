// Atmel's AT89C55WD-class parts (keyword P89C5WD): one row sized by the device
// line ("fla=" the code size, "otp=" 1 for a one-time programmable part), a
// DIP40 chip in the socket. The chip erase and the lock bits run with VCC at
// 6.5 V from the VPP supply path on socket 40 and are judged by reading the
// lock bits back ("Read lock").
//
// Socket pins (DIP40): RST 9, P3.0 (RDY/BSY) 10, P3.3 13, P3.4 (A14) 14, P3.6
// 16, P3.7 17, XTAL2 18, XTAL1 19 (clock), P2.0-P2.5 (A8-A13) 21-26, P2.6 27,
// P2.7 28, PSEN 29, ALE/PROG 30, EA/VPP 31, VCC 40; A0-A7 through latch 0.
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

class TAt89c5xwd : public Mcs51Form {
public:
    explicit TAt89c5xwd(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void SecrityClick();
    void IDClick() { ReadSignature(); }
    void Button1Click();
    void Button2Click();

    int PowerUp51();
    int PreCheck51() { return 1; }
    std::uint8_t ProgramByte51(std::uint8_t value);
    // One lock-bit pulse; false when the current check after routing 12 V failed.
    bool LockBitPulse51(bool p27, bool p36, bool p37);
    // The lock bits (block byte 0 AND 0x1C); -1 when the contact test refused.
    int ReadLockBits51();
    // The signature read; false when the contact test refused.
    bool ReadSignature();
};

}  // namespace quilla
