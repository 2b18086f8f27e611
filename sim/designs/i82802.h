// "i82802": the firmware-hub design. It drives a hub chip's address-multiplexed
// programmer interface (A/A Mux) through a PLCC32 adapter whose pin n lands on
// socket pin n + 4: A0..A10 on sockets 16..9 and 34, DQ0..DQ7 on 17, 18, 19,
// 21..25, R/C# 35, WE# 27, OE# 28, IC 33, RST# 6.
//
//   latch 0         the data byte of the next write cycle, on DQ0..DQ7 while
//                   line 1 is low (write state); line 1 high releases them
//   latches 3, 4, 5 the address counter, bits 0-7, 8-15, 16-23
//   register 18     n (1..7) drives line n low, n | 80h high:
//                     1 bus direction (high: the chip drives DQ), 2 R/C#,
//                     3 OE#, 4 WE#, 5 IC, 6 RST#, 7 no pin on this adapter
//                   and the address patterns 19h/09h, 39h/29h, 59h/49h: the
//                   row (19h, 39h, 59h) or column (09h, 29h, 49h) half of an
//                   address on A0..A10: of the counter, of 5555h, of 2AAAh.
//                   The chip latches the row when R/C# falls and the column
//                   when it rises, and takes the data on the rising edge of
//                   WE#: one write cycle at the address the patterns put out,
//                   with the data latch 0 holds at that edge.
//   0x37            reads 1,024 bytes from the counter on (an R/C# cycle per
//                   byte with OE# as line 3 holds it), advancing the counter
//   0x3D v          Intel byte program: write cycles 40h and v at the counter,
//                   then reads the status register until SR.7 says ready (the
//                   host's stream leaves no time for it; at most 5 ms), and
//                   advances the counter
//   0x3C v          SST byte program: AAh at 5555h, 55h at 2AAAh, A0h at 5555h
//                   and v at the counter, then advances the counter; the chip's
//                   14 us are the host's 0x18 wait that follows
// After its own cycles the design gives R/C#, WE#, OE# and DQ back to the lines.
#pragma once

#include <array>
#include <cstdint>

#include "sim/design.h"

namespace quilla::sim {

class HubDesign : public Design {
public:
    static constexpr std::string_view TagName = "i82802";
    std::string_view Tag() const override { return TagName; }

    static constexpr std::array<int, 11> AddressPins{16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 34};
    static constexpr std::array<int, 8> DataPins{17, 18, 19, 21, 22, 23, 24, 25};
    // Socket pin of each line 1..7 (0: none).
    static constexpr std::array<int, 8> LinePins{0, 0, 35, 28, 27, 33, 6, 0};

    void OnLoaded(DesignContext& ctx) override;
    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

    std::uint32_t Counter() const { return counter_; }

private:
    void Line(DesignContext& ctx, int n, bool high);
    void DriveHalf(DesignContext& ctx, std::uint32_t address, bool row);
    void DriveData(DesignContext& ctx);
    void AddressCycle(DesignContext& ctx, std::uint32_t address);
    void WriteCycle(DesignContext& ctx, std::uint32_t address, std::uint8_t data);
    std::uint8_t ReadCycle(DesignContext& ctx, std::uint32_t address);
    void GiveBack(DesignContext& ctx);

    std::array<bool, 8> lines_{};
    unsigned set_ = 0;  // bit n: line n was written since the load
    std::uint32_t counter_ = 0;
};

}  // namespace quilla::sim
