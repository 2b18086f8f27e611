// Atmel's 12 V parallel-programmed 8051 flash parts on the mode-table model
// (sim/chips/mode_table.h), from their datasheets (AT89C51, AT89LV51, AT89C52,
// AT89LV52):
//
//   pins (DIP40)  P1.0-P1.7 A0-A7, P2.0-P2.3 A8-A11 (P2.4 A12 on the 8 KiB
//                 parts), P0 the data, RST high and PSEN low in every mode,
//                 ALE/PROG the program strobe, EA/VPP 12 V while writing and
//                 high while reading, XTAL1 clocked, P3.4 RDY/BSY
//   modes         P2.6 P2.7 P3.6 P3.7: read L L H H, program L H H H, chip
//                 erase H L L L (ALE/PROG low 10 ms), lock bit 1 H H H H, lock
//                 bit 2 H H L L, lock bit 3 H L H L, signature L L L L
//   writes        self-timed, "typically no more than 1.5 ms"; VPP 11.5-12.5 V
//   VCC           reads in the part's operating range (4.0-6.0 V, the LV parts
//                 2.7-6.0 V); writes and erase from 4.75 to 6.5 V
//   locks         LB1 stops programming, LB2 also verification (reads answer
//                 0xFF: ours, the sheets only say the code cannot be read back)
//   signature     0x30 1E (Atmel), 0x31 51/61/52/62, 0x32 FF (the 12 V parts)
//   ratings       any pin 7.0 V; EA/VPP 12.5 V (the sheets give no figure for
//                 it above the top of its programming window: that top is used)
//
// Each part also comes in the 44-pin PLCC ("<name>*P44") seated in the
// programmer's PLCC44 adapter board for 8051 parts:
//
//   PLCC pin   2-9  10  11  13-19  20  21  22  24-31  32  33  35  36  37  38-43  44   1
//   socket     1-8   9  10  11-17  18  19  20  21-28  29  30  33  32  40  34-39  42  31
//   function   P1   RST P3.0 P3.1-7 X2  X1 GND  P2    PSEN ALE EA P0.7 P0.6 P0.5-0 VCC NC
//
// (VCC on socket 42, EA/VPP on 33; the unconnected pin 1 meets socket 31 so the
// contact masks' pin 31 answers; pins 12, 23, 34 are not wired.)
#pragma once

#include <string_view>
#include <vector>

#include "sim/chip.h"
#include "sim/chips/mode_table.h"

namespace quilla::sim {

// The DIP40 tables (names without the package mark).
const std::vector<ModeTablePart>& At89Parts();

// The PLCC44 adapter board of the 8051 parts, for a chip in the PLCC44 package.
Placement Plcc44Board8051();

// A blank chip of a registered name ("AT89C51", "AT89C51*P44"); chip empty when unknown.
SeatedPart MakeAt89(std::string_view name);

void RegisterAt89(ChipRegistry& registry);

}  // namespace quilla::sim
