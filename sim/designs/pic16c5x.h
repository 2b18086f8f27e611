// The PIC16C5x parallel designs: "pic16c54dip18" (PIC16C54/56/58 in 18 pins)
// and "pic16c57dip28" (PIC16C55/57 in 28 pins), the chip seated as a standard
// DIP. The host drives four control lines and presents a 12-bit word:
//
//   register 18  line n low, n | 80h high (n 1..4; any other is a violation):
//                line 1 T0CKI (program/verify), line 2 OSC2 (programming
//                pulse), line 3 OSC1 (address clock), line 4 MCLR (entry: low
//                while VPP is routed, so MCLR rises from VIL)
//   register 16  bits 0-3 on RA0-RA3 (D0-D3)
//   register 17  bits 0-7 on RB0-RB7 (D4-D11)
//                the data pins follow registers 16 and 17 while line 1 is
//                low and are released while it is high (the chip drives them)
//   0x01         captures D0-D7 (RA0-RA3 in bits 0-3, RB0-RB3 in bits 4-7)
//   0x02         captures D8-D11 (RB4-RB7) in bits 0-3, bits 4-7 read 0
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "sim/design.h"

namespace quilla::sim {

struct Pic16c5xWiring {
    std::array<int, 4> lines;  // socket pins of lines 1-4
    std::array<int, 12> data;  // socket pins of D0-D11
};

class Pic16c5xDesign : public Design {
public:
    explicit Pic16c5xDesign(const Pic16c5xWiring& wiring) : w_(wiring) {}

    void OnLoaded(DesignContext& ctx) override;
    void OnUnloaded(DesignContext& ctx) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

private:
    void DriveData(DesignContext& ctx);

    const Pic16c5xWiring& w_;
    unsigned word_ = 0;
    bool released_ = true;
};

class Pic16c54Dip18Design : public Pic16c5xDesign {
public:
    static constexpr std::string_view TagName = "pic16c54dip18";
    static const Pic16c5xWiring Wiring;
    Pic16c54Dip18Design() : Pic16c5xDesign(Wiring) {}
    std::string_view Tag() const override { return TagName; }
};

class Pic16c57Dip28Design : public Pic16c5xDesign {
public:
    static constexpr std::string_view TagName = "pic16c57dip28";
    static const Pic16c5xWiring Wiring;
    Pic16c57Dip28Design() : Pic16c5xDesign(Wiring) {}
    std::string_view Tag() const override { return TagName; }
};

}  // namespace quilla::sim
