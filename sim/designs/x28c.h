// "x28c": the design of the X28C page-write EEPROM form. It is the socket
// design "vex300" (latch 1 low address, latch 2 data, 0x27/0x28/0x03) plus:
//
//   latches 0, 3, 4   the address bits above A7 on the standard socket pins:
//                     latch 3 bit 0x20 A8 (31), 0x10 A9 (30), 0x02 A10 (27),
//                     0x08 A11 (29), 0x40 A13 (32), 0x80 socket 33 (A14 of a
//                     32-pin part, WE of a 28-pin part); latch 0 bit 0x80 A12
//                     (8), 0x40 socket 7 (A15, or A14 of a 28-pin part), 0x20
//                     A16 (6), 0x10 A18 (5); latch 4 bit 0x20 socket 8 and 0x10
//                     socket 7 (the same lines again), 0x01 A17 (34). Other
//                     bits drive nothing.
//   0x0C hi lo + 32   loads 32 bytes into the 512-byte page buffer at offset
//                     hi x 256 + lo
//   0x4C we hi lo     writes the first hi x 256 + lo buffered bytes (at most
//                     256) from the address set, one bus cycle per byte (data
//                     on the data pins, OE (28) high, CE (26) and then the WE
//                     pin low for 0.5 us, both high for 0.5 us, A0..A7 + 1): a
//                     whole page lands inside any chip's byte-load window. OE,
//                     CE and WE stay high.
//   0x4D              captures the data pins, then A0..A7 + 1
//
// The burst, the reads and the queries step A0..A7 only (the host sets the
// address at every 256-byte boundary); 0x27 and 0x28 carry as in "vex300".
//   0x4E              reads 256 bytes from the address set; captures 1 when all
//                     are 0xFF, else 0
//   0x4F              reads 256 bytes; captures their 16-bit sum, low byte first
//   0x50              captures 1 when the user asked the programmer to stop
#pragma once

#include <array>
#include <cstdint>

#include "sim/designs/vex300.h"

namespace quilla::sim {

class X28cDesign : public Vex300Design {
public:
    static constexpr std::string_view TagName = "x28c";
    std::string_view Tag() const override { return TagName; }

    static constexpr int PageBufferSize = 512;
    static constexpr int MaxBurst = 256;

    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

private:
    void ProgramPage(DesignContext& ctx, int we, int count);
    void StepLow(DesignContext& ctx);
    std::array<std::uint8_t, PageBufferSize> page_{};
};

}  // namespace quilla::sim
