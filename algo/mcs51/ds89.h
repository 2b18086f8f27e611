// The DS89C4x0 form (keyword DS89C4X0): DS89C430, DS89C440, DS89C450 (and the
// DS89C420 row) in parallel mode at 5 V without a programming supply, in the
// DIP40 socket ("p51dip40") or the PLCC44 adapter ("p51plcc44"), a row on the
// mode-pin flash flow (p89.h). Each cycle is chosen by P2.6 (27), P2.7 (28),
// P3.6 (16), P3.7 (17) and P3.3 (13); RST 9 high, PSEN 29 low, EA 31 high,
// XTAL1 19 clocked, ALE/PROG 30 the strobe; A0-A7 on latch 0, A8-A13 on 21-26,
// A14 on 14, A15 on 15. One lock level per press (LockMode), the watchdog
// option byte at 0xFC.
#pragma once

#include "algo/mcs51/p89.h"

namespace quilla {

class TDs89c4xx : public Flash51Form {
public:
    explicit TDs89c4xx(Workbench& wb);
    // "Wr.CFG ": the watchdog option byte, when "Enable Watchdog" is ticked.
    void ConfigClick() override;
    // One lock level per press: LockMode's item.
    void SecrityClick() override;
};

}  // namespace quilla
