// Winbond's parallel-programmed 8051 flash parts on the mode-table model
// (sim/chips/mode_table.h). Winbond publishes no parallel programming mode for
// them: the model takes the settings of the forms that program them as the
// parts' interface, and stays strict about the supplies, pins and cells.
//
// W78E51, W78E52, W78E54, W78E58, W78E516, the B versions and W77E54/58 (the
// "W7851" parts), DIP40:
//   pins          A0-A7 on P1, A8-A15 on P2, data on P0, RST high, PSEN high
//                 and ALE low in every mode; no clock
//   modes         P3.0 P3.1 P3.2 P3.3 P3.7: read L L L L L, signature H L L L L
//                 (0x0000 DA, 0x0001 the device), program L L L L H, erase
//                 H L L L H; P3.6 is the program strobe (active low) and the
//                 reads do not look at it
//   program       VPP 12.5 V (12.0-13.0 V) on EA: a byte programs once P3.6 has
//                 been low 20 us in the program mode (summed over pulses of the
//                 same byte; ours: the form holds it 30 us)
//   erase         VPP 14 V (13.5-14.5 V) on EA, P3.6 held low 50 ms (ours):
//                 every cell, the CFG byte and the seeds to 0xFF
//   CFG           one byte at address 0xFFFF beside the code (bit 0 Lock, bit 1
//                 MOVC, bit 2 encryption on the B and W77 parts, bit 7 the
//                 oscillator); the W77E5x keep two seed bytes at 0xFFFE and
//                 0xFFFD. On the 64 KiB part the code byte 0xFFFF is the CFG.
//   VCC           reads 4.5-5.5 V; programming 4.75-6.5 V
//   ratings       any pin 7.0 V, EA 14.5 V (ours: the erase level plus its window)
//
// W78E516B, W78LE516, W78LE58, W78LE54 (the "W78E516" parts, 5 V
// programming; the W78E54B and W78E58B are modelled as "W7851" parts above),
// DIP40 (also "*P44" in the PLCC44 adapter):
//   pins          A0-A15 on P1 and P2, data on P0, PSEN and ALE low
//   modes         P3.0 P3.1 P3.2 P3.3 P3.5: read L L L L L, program H L L L H,
//                 erase L H H L H, first ID byte H H L H L (DA), second ID byte
//                 L L H H L (the device); P3.4 is the program strobe
//   LDROM         P3.6 high selects the 4 KiB LDROM (A0-A11) in the read and
//                 program settings; with P3.6 high, address 0xFFFF is the CFG byte
//   program       nothing on EA: a byte programs once P3.4 has been low 20 us
//                 (ours; the form holds it 100 us); erase: P3.4 held low 10 ms in the erase setting (ours)
//   VCC           reads 4.5-5.5 V (the LE parts from 2.4 V); programming
//                 4.5-5.5 V
#pragma once

#include <string_view>
#include <vector>

#include "sim/chip.h"
#include "sim/chips/mode_table.h"

namespace quilla::sim {

// The DIP40 tables (names without the package mark).
const std::vector<ModeTablePart>& W78Parts();

// A blank chip of a registered name ("W78E58", "W78E516B*P44"); empty when unknown.
SeatedPart MakeW78(std::string_view name);

void RegisterW78(ChipRegistry& registry);

}  // namespace quilla::sim
