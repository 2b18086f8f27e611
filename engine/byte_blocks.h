// Large byte arrays kept for reuse within the process.
//
// A test run builds thousands of workbenches (each with its 8 MiB image) and
// simulated chips (some with several MiB of cells), most of them for a few
// milliseconds. Every fresh large array is mapped, faulted in page by page and
// unmapped again, which costs far more than the work done on it. A block
// handed back here is kept (a few, up to a bound) and handed out again, filled
// as asked, to the next array of a size it can hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quilla {

// An array of `size` bytes, every one `fill`, with room for at least
// `capacity` bytes without moving: a kept block when one fits.
std::vector<std::uint8_t> TakeBytes(std::size_t size, std::uint8_t fill, std::size_t capacity = 0);
// Hands an array back for reuse (small ones are simply freed).
void GiveBackBytes(std::vector<std::uint8_t>&& bytes);

// A byte array that goes back for reuse when it ends; otherwise a vector.
class RecycledBytes : public std::vector<std::uint8_t> {
public:
    RecycledBytes() = default;
    RecycledBytes(std::size_t size, std::uint8_t fill, std::size_t capacity = 0)
        : std::vector<std::uint8_t>(TakeBytes(size, fill, capacity)) {}
    RecycledBytes(const RecycledBytes&) = default;
    RecycledBytes(RecycledBytes&&) noexcept = default;
    RecycledBytes& operator=(const RecycledBytes&) = default;
    RecycledBytes& operator=(RecycledBytes&&) noexcept = default;
    ~RecycledBytes() { GiveBackBytes(std::move(*this)); }
};

}  // namespace quilla
