// The MSU2958 form (keyword MSU2958): MSU2951-MSU2958 programmed in parallel at
// 5 V class levels: VPP 4.5 V on EA/VPP (also for reads), 48 clock pulses given
// by hand on XTAL1 (19) after reset, the program pulse a low pulse on P3.7
// (17) while ALE/PROG (30) is low; the modes on P3.0-P3.5 (10-15) and PSEN.
// A row of the SyncMOS flow (sm8951.h).
#pragma once

#include "algo/mcs51/sm8951.h"

namespace quilla {

class TMsu2958x : public SyncMos51Form { public: explicit TMsu2958x(Workbench& wb); };

}  // namespace quilla
