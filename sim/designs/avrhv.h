// The AVR high-voltage parallel designs: numbered control lines (register 18:
// n drives line n low, n | 0x80 high) turned into the chip's programming
// signals at the socket pins of one package or board:
//
//   line 1    data direction: low drives output latch 0 onto the chip's DATA
//             pins (bit k on DATA k), high releases them (the chip drives)
//   lines 2-7 OE, WR, BS1, XA0, XA1, XTAL1 at their pins
//   line 8    nothing
//   line 9    PAGEL, line 10 BS2
//   0x01      captures the DATA pins (DATA 0 = bit 0)
//   0x02      captures the chip's XTAL2 in bit 0 (the forms' presence test: a
//             powered chip's oscillator amplifier inverts XTAL1 there)
//   0x34      nothing (the forms queue it before line changes and loads)
//
// From the load on, RESET and the pins of lines 2-10 are driven low: the chip
// stays in reset until the programming voltage is routed to RESET (a routed
// supply beats the driver), and a form that never writes a line (PAGEL in the
// ATmega161/163 forms) finds it low.
//
//   design                  package or board             RESET VCC GND XTAL2 DATA 0-7
//   "atmega8dip28"          DIP28                          7    13  14  16    20-25, 29, 30
//   "at90s8515dip40"        DIP40 (AT90S8515 pinout)       9    40  20  18    1-8
//   "at90s8535dip40"        DIP40 turned round             29   30  31  32    21-28
//   "at90s8515plcc44"       44-pin board, 8515 pinout      8    42  20  18    48, 1-7
//   "at90s8535plcc44"       44-pin board, ATmega16 pinout  8    42  10  11    44-48, 5-7
#pragma once

#include <array>
#include <string_view>

#include "sim/design.h"

namespace quilla::sim {

struct AvrHvPinMap {
    int reset;
    std::array<int, 8> data;
    // Socket pins of control lines 1..10 (0: no pin; line 1 is the direction).
    std::array<int, 11> line;
    int xtal2;  // captured by 0x02
};

class AvrHvDesign : public Design {
public:
    explicit AvrHvDesign(const AvrHvPinMap& map) : map_(map) {}

    void OnLoaded(DesignContext& ctx) override;
    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

    const AvrHvPinMap& Map() const { return map_; }

private:
    const AvrHvPinMap& map_;
    bool driveData_ = false;
};

#define QUILLA_AVR_HV_DESIGN(Class, tag, map)                          \
    class Class : public AvrHvDesign {                                 \
    public:                                                            \
        static constexpr std::string_view TagName = tag;               \
        Class() : AvrHvDesign(map) {}                                  \
        std::string_view Tag() const override { return TagName; }     \
    }

extern const AvrHvPinMap AtMega8Dip28Map;
extern const AvrHvPinMap At90s8515Dip40Map;
extern const AvrHvPinMap At90s8535Dip40Map;
extern const AvrHvPinMap At90s8515Plcc44Map;
extern const AvrHvPinMap At90s8535Plcc44Map;

QUILLA_AVR_HV_DESIGN(AtMega8Dip28Design, "atmega8dip28", AtMega8Dip28Map);
QUILLA_AVR_HV_DESIGN(At90s8515Dip40Design, "at90s8515dip40", At90s8515Dip40Map);
QUILLA_AVR_HV_DESIGN(At90s8535Dip40Design, "at90s8535dip40", At90s8535Dip40Map);
QUILLA_AVR_HV_DESIGN(At90s8515Plcc44Design, "at90s8515plcc44", At90s8515Plcc44Map);
QUILLA_AVR_HV_DESIGN(At90s8535Plcc44Design, "at90s8535plcc44", At90s8535Plcc44Map);

#undef QUILLA_AVR_HV_DESIGN

}  // namespace quilla::sim
