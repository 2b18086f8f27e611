// One-time-programmable (EPROM-cell) 8051 parts programmed with trains of PROG
// pulses, on the mode-table model (sim/chips/mode_table.h): no erase (cells only
// go 1 -> 0; `ModeTableChip::UvErase` stands for ultraviolet light in tests).
//
// Philips 87C51/52/54/58, 87C51FA/FB/FC, 87C51RA+/RB+/RC+/RD+ (the 80C51 family
// sheet's EPROM characteristics), DIP40:
//   pins          A0-A7 on P1, A8-A13 on P2.0-P2.5, A14 on P3.4, A15 on P3.5 (the
//                 parts decode their own size), data on P0, RST high and PSEN low
//                 in every mode, XTAL1 clocked, ALE/PROG the strobe, EA/VPP
//   modes         P2.6 P2.7 P3.6 P3.7: verify L L H H, program L H H H, read
//                 signature L L L L (0x30 15, 0x31 and 0x60 the device), lock
//                 bit 1 H H H H, lock bit 2 H H L L, lock bit 3 H L H L
//   VPP           12.75 V +-0.25 V (12.5-13.0 V) while programming; reads need
//                 EA high (a logic high or VPP)
//   programming   "ALE/PROG is pulsed low 5 times" for a code byte, 25 times for
//                 a lock bit, each pulse 100 us in the sheet. The forms give
//                 pulses of one wait 25 (some 11 us low each): the model accepts
//                 them (family rule 8) and sums the strobe-low time in the mode
//                 with VPP, per byte (or lock bit), to just under the forms'
//                 trains: a code byte programs after 50 us (five pulses give
//                 55 us, four only 44 us), a lock bit after 270 us (25 pulses
//                 give 275 us, 24 only 264 us)
//   locks         LB1 stops programming, LB2 also verification (reads 0xFF, ours)
//   VCC           4.5-5.5 V; ratings: any pin 7.0 V, EA/VPP 13.0 V
// The X2 parts (87C51X2-87C58X2) add the 6-clock cell: programmed in the
// setting L L L H (bit 4 of the configuration byte to 0), read in L L H L; the
// settings are the forms' (family rule 2), the signature answers as the base part;
// the form gives the cell five pulses, the code byte's figure (50 us).
// 97C51-97C58: no sheet at hand; as the 87C5x parts, but a byte (and a lock bit)
// needs 200 us of strobe-low time, more than five of the forms' pulses give and
// less than 25 (the forms' rule for these rows); lock bits as the 87C5x.
// 87C591 (16 KiB): as the 87C54 with RST low in every mode (the form's settings).
// V87C54, V87C58: no sheet at hand; modelled as 87C54/87C58, except that a lock
// bit programs after 20 us of strobe-low time: their form gives the lock bit 25
// pulses with no wait between low and high (some 25 us; family rule 8).
// DS87C520 (16 KiB): as the 87C54 (five pulses for code, 25 for the lock bits and
// the option byte); the option byte (watchdog: bit 3) at 0xFC answers in the
// signature setting and programs in the setting L H L L at address 0xFC; no
// signature bytes are modelled (0xFF).
#pragma once

#include <string_view>
#include <vector>

#include "sim/chip.h"
#include "sim/chips/mode_table.h"

namespace quilla::sim {

const std::vector<ModeTablePart>& Eprom51Parts();

// A blank chip of a registered name ("87C51", "87C58*P44"); empty when unknown.
SeatedPart MakeEprom51(std::string_view name);

void RegisterEprom51(ChipRegistry& registry);

}  // namespace quilla::sim
