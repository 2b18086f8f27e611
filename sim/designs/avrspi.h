// The AVR serial (SPI) programming designs: the bytes of the four-byte
// instructions shifted over MOSI/MISO/SCK of one package or board, the chip's
// RESET and SCK levels on control lines, and a clock on XTAL1.
//
//   0x38 b    eight bits of b out on MOSI, SPI mode 0 (MOSI set while SCK is
//             low, SCK rising samples it), most significant first
//   0x39      eight bits in from MISO (MOSI low), sampled while SCK is high;
//             the byte is captured
//   register 18 (control lines): line 2 is SCK's level, line 3 RESET's; n
//             low, n | 0x80 high (3 high then low: the reset pulse)
//   0x4A/0x4B 8   set-up only
//
// SCK runs at 200 kHz (2.5 us a half clock, the time passing inside each
// opcode): above the datasheets' two clock cycles of the slowest chip clock
// (1 MHz internal RC) each half. From the load on SCK, RESET and MOSI are
// driven low (SCK low before the power comes) and XTAL1 gets the design's
// clock (the AT90S2323 has no oscillator of its own).
//
//   design          package or board                MOSI MISO SCK RESET XTAL1
//   "at90s2323"     DIP8 on 17-24                     21   22   23  17    18
//   "ATdip20spi"    ATtiny26 DIP20 (k on 8+k, 12+k)    9   10   11  18    15
//   "ATmeg161spi"   DIP40 (ATmega161 pins; a board)    6    7    8   9    19
#pragma once

#include <string_view>

#include "sim/design.h"

namespace quilla::sim {

struct AvrSpiPinMap {
    int mosi, miso, sck, reset, xtal1;
};

class AvrSpiDesign : public Design {
public:
    explicit AvrSpiDesign(const AvrSpiPinMap& map) : map_(map) {}

    void OnLoaded(DesignContext& ctx) override;
    void OnUnloaded(DesignContext& ctx) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

    static constexpr Nanos HalfClock = 2500;

private:
    const AvrSpiPinMap& map_;
};

extern const AvrSpiPinMap At90s2323Map;
extern const AvrSpiPinMap AtDip20SpiMap;
extern const AvrSpiPinMap AtMeg161SpiMap;

#define QUILLA_AVR_SPI_DESIGN(Class, tag, map)                         \
    class Class : public AvrSpiDesign {                                \
    public:                                                            \
        static constexpr std::string_view TagName = tag;               \
        Class() : AvrSpiDesign(map) {}                                 \
        std::string_view Tag() const override { return TagName; }     \
    }

QUILLA_AVR_SPI_DESIGN(At90s2323Design, "at90s2323", At90s2323Map);
QUILLA_AVR_SPI_DESIGN(AtDip20SpiDesign, "ATdip20spi", AtDip20SpiMap);
QUILLA_AVR_SPI_DESIGN(AtMeg161SpiDesign, "ATmeg161spi", AtMeg161SpiMap);

#undef QUILLA_AVR_SPI_DESIGN

}  // namespace quilla::sim
