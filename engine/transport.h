// The link to the programmer: one bulk OUT pipe and one bulk IN pipe.
// The USB driver library (real programmer) and the simulated programmer both
// implement it; the command queue is its only caller.
#pragma once

#include <cstdint>

namespace quilla {

class Transport {
public:
    virtual ~Transport() = default;
    // One bulk OUT transfer of n bytes. Returns the bytes sent, 0 on failure.
    virtual int BulkWrite(const std::uint8_t* data, int n) = 0;
    // One bulk IN transfer of up to n bytes. Returns the bytes read, 0 on failure.
    virtual int BulkRead(std::uint8_t* buf, int n) = 0;
    // How many times a programmer arrived on this link and was claimed: one
    // unplugged and plugged in again arrives anew, powered up afresh (no
    // design, every output off). 0 where the link cannot tell.
    virtual std::uint32_t Arrivals() const { return 0; }
};

}  // namespace quilla
