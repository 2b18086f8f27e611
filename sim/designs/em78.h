// The EM78 designs ("em78p156", "em78p447", "em78p153", "em78p458"): one class
// under the four names, which differ only in the socket pins that reach the
// chip's writer roles (sim/chips/em78.h) in each package's position. The
// EMC78P156E form drives its 28-pin rows through "em78p156" too, so the two
// 18/28-pin designs share one wiring.
//
// Register 29 (n: line n low, n | 80h: line n high) drives six lines:
//   line 6  CLK (address clock; on em78p156/447 also the space select)
//   line 5  R/W (high: words go to the chip; low: the chip drives DATA)
//   line 4  TEST
//   line 3  /PGM (the program pulse, active low)
//   line 2  SEL on em78p153, unconnected elsewhere
//   line 1  SEL on em78p458, unconnected elsewhere
// The design's own serial engine owns SCK and DATA:
//   0x35 v n  shifts the n most significant bits of v out on DATA, bit 7
//             first: DATA set, SCK high (the chip takes the bit), SCK low
//   0x36 n    releases DATA and shifts n bits in: SCK high, DATA sampled, SCK
//             low (the chip moves to its next bit); the bits, right-aligned,
//             are one byte of the next reply
// Timing: 250 ns per SCK phase.
//
//   design     DATA SCK  L6  L5  L4  L3  L2  L1   package
//   em78p156    17   18  19  20  22  21   -   -   18-pin DIP (P60-P65)
//   em78p447    17   18  19  20  22  21   -   -   28-pin DIP (P61-P66)
//   em78p153     8    9  10  31  33  32  29   -   14 pins as "em78p153.bmp" puts them
//   em78p458    11   12  13  27  29  28   -  30   20-pin DIP
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "sim/design.h"

namespace quilla::sim {

struct Em78Wiring {
    std::string_view tag;
    int data, sck;
    std::array<int, 7> line;  // socket pin of line n (index n, 1..6); 0: not connected
};

const std::array<Em78Wiring, 4>& Em78Wirings();

class Em78Design : public Design {
public:
    explicit Em78Design(const Em78Wiring& wiring) : w_(wiring) {}

    std::string_view Tag() const override { return w_.tag; }
    const Em78Wiring& Wiring() const { return w_; }
    // The level last set on line n (1..6).
    bool Line(int n) const { return n >= 1 && n <= 6 && lines_[static_cast<std::size_t>(n)]; }

    void OnLoaded(DesignContext& ctx) override;
    void OnUnloaded(DesignContext& ctx) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

    static constexpr Nanos HalfClock = 250;

private:
    const Em78Wiring& w_;
    std::array<bool, 7> lines_{};
};

void RegisterEm78Designs(DesignRegistry& registry);

}  // namespace quilla::sim
