// The adapter boards of the adapter-socket designs: which socket pin each pin
// of the package on the board reaches, what the pin codes 100 and 101 mean on
// it, and the package pinouts the boards carry. A design's signals (address,
// data, CE#, OE#, WE#, RESET#, BYTE#) are the board's sockets of those package
// pins; a part listed on a row sits on that row's board.
//
// A board keeps the row's supply pins (VCC pin, ground code, VPP pin and the two
// high-voltage pins of the Part's table): VCC on its VCC socket, ground on 11
// and 30 (code 100) or on its ground socket, RESET# on the VPP socket (12 V there
// is the flash's VID), A9 and OE# on the high-voltage sockets; the other package
// pins in pin order over the sockets the row's contact masks test, ascending,
// then over the free ones.
#pragma once

#include <string_view>
#include <vector>

#include "sim/socket.h"

namespace quilla::sim {

// What a chip pin is, for a package pinout.
struct FlashPinout {
    int pins;
    std::vector<int> address;  // chip pins of A0, A1, ... (x16 parts: word address bits)
    std::vector<int> data;     // DQ0.. (8 or 16)
    int ce, oe, we;
    int reset = 0;             // RESET# (0: none)
    int byteMode = 0;          // BYTE# (0: none)
    int vpp = 0;               // VPP / write-protect pin (0: none)
    std::vector<int> vcc, gnd;
    int wp = 0;                // WP# (0: none)
};

// The 48-pin TSOP of the x16 flash and the 32-pin DIP of the byte-wide flash.
const FlashPinout& Tsop48x16Pinout();
const FlashPinout& Dip32FlashPinout();
// The 40-pin DIP of the word-wide EPROMs (PGM# on 39, or A17 on the CE#/PGM# parts).
const FlashPinout& Dip40EpromPinout(bool pgm);
// The 44-pin PLCC of the same EPROMs: the DIP's pins in order with no-connect
// pins at 1, 12, 23 and 34 (DIP pin d on PLCC pin d + 1 + (d - 1) / 10).
const FlashPinout& Plcc44EpromPinout(bool pgm);
// The 44-pin SOP of the 16 Mbit x8/x16 page flash (BYTE#, DQ15/A-1).
const FlashPinout& Sop44PageFlashPinout();
// The 40-pin TSOP of the Intel x8 boot block flash (the board's wiring: VPP on 1).
const FlashPinout& IntelTsop40x8Pinout();
// The 48-pin TSOP of the Intel x16 boot block flash (RP#, VPP, WP#, VCCQ).
const FlashPinout& IntelTsop48x16Pinout();

struct AdapterBoard {
    const char* tag;             // the design the board belongs to
    const FlashPinout* pinout;   // the package it carries
    std::vector<int> socket;     // socket pin of each package pin (index pin - 1), 0: not wired
    std::vector<Placement::CodeRoute> codes;

    int SocketOf(int chipPin) const { return chipPin >= 1 ? socket[static_cast<std::size_t>(chipPin - 1)] : 0; }
    Placement Place() const;
};

// The board of a design, null when the design has none.
const AdapterBoard* FindAdapterBoard(std::string_view tag);
// Where a part listed on an adapter row sits: its row's board.
Placement AdapterPlacementFor(std::string_view part, const FlashPinout& pinout);

}  // namespace quilla::sim
