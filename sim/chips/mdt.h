// One-time-programmable microcontrollers whose 14-bit words are written in two
// 7-bit halves through a 7-bit data port: the MDT2005/2010/2015/2020 and the
// MDT2051 (the MDT front end). Words erased 3FFFh; a cell only goes 1 -> 0.
//
// The parts' pins (PIC16C5x-style packages: MCLR, VDD, VSS, RA0-RA2, RB0-RB6,
// OSC1) come from the rows of their forms, which follow the packages; no
// writer protocol is published, so the model's is ours, taken from the pin
// functions, and strict:
//
//   roles     MCLR   reset, and the programming voltage
//             PS     program strobe (RA0), active low
//             HS     half select (RA1): low the bits 0-6, high the bits 7-13
//             RS     read strobe (RA2), active low: the chip drives the port
//             CLK    word clock (OSC1)
//             D0-D6  data port (RB0-RB6)
//   entry     MCLR rises into the VPP window from a programmer supply while
//             VDD stands in its window and PS and RS are high. The port value
//             at that moment picks the space: 1 the configuration word, 0
//             program memory (any other value: the chip stays deaf until MCLR
//             drops).
//   clocks    the MDT2005-2020 take four CLK falling edges after entry before
//             the first word; then every four falling edges select the next
//             word (the first four: word 0). The MDT2051 takes no entry clocks.
//             (Falling edges: OSC1 may stand high on its pull-up at entry.)
//   program   PS low with VPP and VDD in their windows sums programming time
//             for the half HS selects; once the sum reaches the minimum the
//             half ANDs the port value latched at PS's falling edge. A new
//             word or a new PS fall starts afresh.
//   read      RS low drives the half HS selects onto D0-D6; RS high releases.
//   protect   the configuration word's bits 13:12 at 01b (the "Lock Bit"
//             value): program words read 0000h and take no writes (ours).
//   leave     MCLR leaving the window or VDD dropping ends the mode.
//
// Minimum programming time 2 ms per half (ours; the forms strobe 4, 6 or 8
// ms); the slow factor multiplies it. VPP window 11.5-12.5 V, programming VDD
// 4.0-5.5 V (the forms use 4.4 V), ratings: 13.5 V on MCLR, 6.5 V elsewhere.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/chips/pin_table_chip.h"

namespace quilla::sim {

// The chip pins of a package.
struct MdtPins {
    int count;
    int vdd, vss, mclr, ps, hs, rs, clk;
    std::array<int, 7> port;  // D0-D6
};

struct MdtPart {
    const char* name;
    const MdtPins* pins;
    int words;
    int entryClocks;  // CLK falling edges between entry and the first word
};

const std::vector<MdtPart>& MdtParts();
const MdtPart* FindMdtPart(std::string_view name);

class MdtChip : public PinTableChip<MdtPart, 0x3FFF> {
public:
    static constexpr Nanos MinProgram = 2 * Millisecond;
    static constexpr SupplyWindow VppWindow{115, 125}, ProgramVdd{40, 55}, ReadVdd{30, 55};
    static constexpr PinRatings Rated{.any = 65, .vpp = 135};

    explicit MdtChip(const MdtPart& part);

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    std::uint16_t Config() const { return config_; }
    void SetConfig(std::uint16_t w) { config_ = w & Erased; }

private:
    enum class Mode : std::uint8_t { Off, Active, Deaf };

    void Leave(ChipPins& pins);
    int WordIndex() const;
    bool Protected() const { return ((config_ >> 12) & 3u) == 1u; }
    std::uint16_t ReadWord() const;

    const MdtPins& pin_;
    std::uint16_t config_ = Erased;

    Mode mode_ = Mode::Off;
    bool armed_ = true;  // MCLR stood outside the window since the last entry
    bool configSpace_ = false;
    int clocks_ = 0;
    bool clk_ = false, ps_ = true, rs_ = true;
    PortDrivers port_;
    std::uint8_t strobeData_ = 0x7F;
    bool strobeHigh_ = false;
    Nanos progSum_ = 0;
    bool done_ = false;
};

void RegisterMdt(ChipRegistry& registry);

}  // namespace quilla::sim
