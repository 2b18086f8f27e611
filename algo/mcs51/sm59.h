// The SM59 forms (keywords SM59064, SM59264): 64 KiB 8051 flash parts with an
// in-system-programming area at the top, programmed in parallel without VPP
// (EA driven as a logic pin): the program, erase and lock pulses are a low
// pulse on P3.7 (17) while ALE/PROG (30) is low; the modes sit on P3.4/P3.5
// (`TSm59064x`) or P3.0/P3.1 (`TSm59264x`). `TSm59064x` sets the ISP area size
// (n x 512 bytes, n = 0..8) and leaves the area out of Blank and Verify;
// `TSm59264x`'s area 0xFC00-0xFFFF is fixed and left out of its size. Both are
// rows of the SyncMOS flow (sm8951.h).
#pragma once

#include "algo/mcs51/sm8951.h"

namespace quilla {

class TSm59064x : public SyncMos51Form { public: explicit TSm59064x(Workbench& wb); };
class TSm59264x : public SyncMos51Form { public: explicit TSm59264x(Workbench& wb); };

}  // namespace quilla
