// The page-write forms of the 89C51RA2..RD2 kind (keywords AT89C51RD2 and
// AT89C51RC2), on the mode-pin flash flow (p89.h) with a row each: 128-byte
// pages, every write cycle opened by the unlock bytes 0x55, 0xAA (once per
// operation), five mode pins (P2.6 27, P2.7 28, P3.6 16, P3.7 17, P3.3 13),
// logic levels only (no programming supply is routed), the hardware security
// byte (HSB) and the soft configuration bytes (BSB, BSV, SSB) in a 256-byte
// configuration block read, patched and written back as one page.
//
// Fixed pins: RST 9 high, PSEN 29 low, EA 31 high, pin 10 high, XTAL1 19
// clocked, ALE/PROG 30 the strobe; A0-A7 on latch 0, A8-A13 on 21-26, A14 on
// 14, A15 on 15 (the RB2/RC2 form: pin 15 always high).
#pragma once

#include "algo/mcs51/p89.h"

namespace quilla {

class Rd2Form : public Flash51Form {
public:
    void SecrityClick() override;  // programs LockByte
    void RdSecClick();             // "R.Lock": the HSB
    void WrConfigClick();          // "Wr.CFG": the configuration page
    void ReadXAFClick();           // "Rd.CFG ": the configuration bytes
    void RdIDSubClick();           // the configuration block read (an invisible button)
    void Button1Click() override;
    // LockByte := NOT (0x98 OR the ticked masks), shown in Edit3.
    void CheckBox1Click();

    void SetModePins51(bool p26, bool p27, bool p36, bool p37, bool p33);
    void UnlockSequence51();

    std::uint8_t LockByte = 0;

protected:
    explicit Rd2Form(Workbench& wb, bool rc2);
    // The address of a step and of the page loop: the RB2/RC2 form holds pin 15
    // high after it (not after the read walk's addresses).
    void StepAddress51(std::int32_t a) override;
    void WriteAll(const Mcs51Row& r) override;

private:
    bool rc2_;
};

class TAt89c51rd2x : public Rd2Form {
public:
    explicit TAt89c51rd2x(Workbench& wb) : Rd2Form(wb, false) {}
};

class TAt89c51rc2x : public Rd2Form {
public:
    explicit TAt89c51rc2x(Workbench& wb) : Rd2Form(wb, true) {}
};

}  // namespace quilla
