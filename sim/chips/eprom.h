// UV/OTP EPROMs 2716 to 27080 and the electrically erasable W27E parts, one
// model with a table of parts. Each part follows its datasheet's pinout and
// mode table:
//
//   power       VCC from the programmer's VCC (or VPP) supply on the VCC pin (a
//               pin held high by a logic driver powers nothing), ground at 0 V
//   read        VCC 4.5..6.5 V, CE low, OE low: the cell at the address pins
//   electronic  read with A9 at 11.5..13.0 V: manufacturer code (A0 low) or
//   ID          device code (A0 high); parts without an ID read their cells
//   program     VPP inside the part's window on its VPP pin (the OE/VPP pin for
//               the 2732 and the 27C512/27C080 class), VCC 4.75..6.5 V, and:
//                 2716          CE/PGM high (the pulse), OE high
//                 CE-pulse      CE/PGM low (the pulse), OE high
//                 PGM-pulse     CE low, OE high, PGM low (the pulse)
//               the data on D0..D7 programs the cell at the address once these
//               conditions have held for the part's minimum programming time,
//               summed over pulses of the same address and data; cells only go
//               1 -> 0. VPP above the window programs nothing. VPP and the
//               erase and ID voltages count only from a supply.
//   erase       (W27E and the SST MTP parts) the erase voltage on the VPP pin
//               and on A9 (W27E 13.5..14.5 V, SST 11.4..12.6 V), CE low (PGM
//               low on the PGM-pulse parts) for 100 ms in all: every cell 0xFF.
//               The programmer's erase sequence leaves the data pins at
//               whatever latch 2 holds; the datasheet asks for them high. The
//               model accepts either (the cells do not depend on them). An
//               erase also ends any programming in progress: a byte programmed
//               before it programs again afterwards.
//   ratings     the datasheets' absolute maximum ratings (any pin, A9, VPP pin):
//                 CMOS 27C parts   7.0 V, A9 14.0 V (ST parts 13.5 V), VPP 14.0 V
//                 2764A, 27128A    7.0 V, A9 13.5 V, VPP 14.0 V
//                 2764, 27128      6.0 V, A9 13.5 V, VPP 22.0 V
//                 2732A            6.0 V, VPP (OE/VPP) 22.0 V
//                 2716, 2732       6.0 V, VPP 26.5 V
//                 W27E parts       7.0 V, A9 and VPP 14.5 V (the top of their
//                                  14 V erase window; the stored sheets give
//                                  no figure)
//               VPP must not arrive before VCC (every sheet: "VCC must be
//               applied simultaneously with or before VPP").
//
// Minimum programming times (the slow factor multiplies them): 1 ms for the
// NMOS 2716..27128 (their datasheets give a 50 ms pulse; the programmer's
// 1 ms wait is the unit the forms count on), 10 us for the CMOS quick-pulse
// parts and the W27E parts (100 us typical per the datasheets, lowered to the
// programmer's 10 us pulse wait) and for the SST MTP parts (byte-program time
// 20 us typical for the SST27SF, 10-15 us for the SST37VF).
//
// SST MTP flash in EPROM pinout: SST27SF256 (VPP pin 1, CE/PGM pulse),
// SST27SF512 (OE/VPP, CE/PGM pulse), SST27SF010/020 (VPP pin 1, PGM# pin 31
// pulse with CE low), read at 4.5..5.5 V; SST37VF512..040 in the JEDEC flash
// pinout: 12 V on OE# and a pulse of WE# (pin 31) with CE low, read at
// 2.7..3.6 V. The programming VDD window of the SST37VF is taken as its read
// window. IDs BFh with A3h..A6h (27SF256..020) and C4h..C7h (37VF512..040).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/chips/dip_memory.h"

namespace quilla::sim {

struct EpromPart {
    enum class Pulse { HighOnCe, LowOnCe, LowOnPgm };

    const char* name;
    int pins;                  // 24, 28 or 32
    std::uint32_t size;        // bytes
    std::vector<int> address;  // chip pins of A0, A1, ...
    int ce, oe, pgm;           // chip pins (pgm 0: none)
    int vpp;                   // chip pin that takes VPP (may be the OE pin)
    int vcc, gnd;
    Pulse pulse;
    Tenths vppMin, vppMax;     // programming window
    Nanos minProgram;
    bool hasId;
    std::uint8_t mfr, dev;
    bool erasable;             // W27E, SST MTP: electrical erase
    // Absolute maximum ratings: any pin, A9, the VPP pin.
    Tenths absAny, absA9, absVpp;
    // Erase voltage window on the VPP pin and A9.
    Tenths eraseMin = 135, eraseMax = 145;
    // VCC windows for reading and for programming.
    Tenths readVccMin = 45, readVccMax = 70;
    Tenths progVccMin = 48, progVccMax = 65;
};

// The parts this model knows, by name.
const std::vector<EpromPart>& EpromParts();
const EpromPart* FindEpromPart(std::string_view name);

class EpromChip : public DipMemoryChip<EpromPart> {
public:
    explicit EpromChip(const EpromPart& part);

    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    // Cells programmed so far (for tests: a write that went wrong shows here).
    std::uint64_t ProgramEvents() const { return programEvents_; }

private:
    enum class Mode { Off, Standby, Read, Program, Erase };
    std::uint32_t Address(ChipPins& pins) const;
    std::uint8_t Data(ChipPins& pins) const;
    void DriveData(ChipPins& pins, std::uint8_t v);
    void ReleaseData(ChipPins& pins);

    Mode mode_ = Mode::Off;
    // Programming in progress: the address and data whose time adds up.
    std::uint32_t progAddr_ = 0;
    std::uint8_t progData_ = 0xFF;
    Nanos progTime_ = 0;
    bool progDone_ = false;
    Nanos eraseTime_ = 0;
    std::uint64_t programEvents_ = 0;
};

// A blank chip of a known part in its standard DIP position; chip empty when unknown.
SeatedPart MakeEprom(std::string_view name);

// Registers every part of the table.
void RegisterEproms(ChipRegistry& registry);

}  // namespace quilla::sim
