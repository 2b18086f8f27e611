// The simulated programmer's virtual clock and its timing table. Nothing in
// the simulator sleeps: every command, wait and USB transfer moves this clock
// by a fixed cost, so the clock after an operation estimates how long the
// operation takes on hardware.
//
//   command (any opcode that is not a wait)   1 us
//   0x00 10 us, 0x18 25 us, 0x19 10 us, 0x1A 1 ms, 0x1B 10 ms, 0x1C 100 ms, 0x1D 100 us
//       (a wait costs exactly its figure; the 1 us command cost is not added)
//   USB transfer (OUT or IN) of n bytes:
//       start = max(now, start of the previous transfer + 1 ms)
//       now   = start + TransferCost(n),
//       TransferCost(n) = floor(ceil(n / 64) * 1,000,000 ns / 19)   (0 bytes count as 1 packet)
//   The commands of an OUT transfer run after its bytes have arrived.
#pragma once

#include <cstdint>

#include "engine/protocol.h"

namespace quilla::sim {

using Nanos = std::uint64_t;

inline constexpr Nanos Microsecond = 1000;
inline constexpr Nanos Millisecond = 1000 * Microsecond;
inline constexpr Nanos Second = 1000 * Millisecond;

namespace timing {

inline constexpr Nanos CommandCost = 1 * Microsecond;
inline constexpr Nanos FrameGap = 1 * Millisecond;    // one full-speed frame between transfer starts
inline constexpr int PacketsPerFrame = 19;            // 64-byte bulk packets per frame

// What one command costs: its wait figure for the wait opcodes, else 1 us.
constexpr Nanos OpcodeCost(std::uint8_t op) {
    switch (op) {
        case proto::OpNop: return 10 * Microsecond;
        case proto::OpWaitShort: return 25 * Microsecond;
        case proto::OpWaitPulse: return 10 * Microsecond;
        case proto::OpWait1ms: return 1 * Millisecond;
        case proto::OpWaitSettle: return 10 * Millisecond;
        case proto::OpWait100ms: return 100 * Millisecond;
        case proto::OpWait100us: return 100 * Microsecond;
        default: return CommandCost;
    }
}

// What moving n bytes over the full-speed bulk pipe costs.
constexpr Nanos TransferCost(int bytes) {
    const Nanos packets = bytes <= 0 ? 1 : static_cast<Nanos>((bytes + proto::PacketSize - 1) / proto::PacketSize);
    return packets * Millisecond / PacketsPerFrame;
}

}  // namespace timing

class VirtualClock {
public:
    Nanos Now() const { return now_; }
    void Advance(Nanos dt) { now_ += dt; }
    // A USB transfer of n bytes: it starts no earlier than one frame after the
    // previous start. Records the start and returns the time the transfer ends;
    // the caller advances the clock to it.
    Nanos BeginTransfer(int bytes) {
        Nanos start = now_;
        if (anyTransfer_ && start < lastStart_ + timing::FrameGap) start = lastStart_ + timing::FrameGap;
        anyTransfer_ = true;
        lastStart_ = start;
        return start + timing::TransferCost(bytes);
    }

private:
    Nanos now_ = 0;
    Nanos lastStart_ = 0;
    bool anyTransfer_ = false;
};

}  // namespace quilla::sim
