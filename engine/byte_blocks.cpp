#include "engine/byte_blocks.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace quilla {

namespace {

// Arrays below this are cheap to allocate afresh.
constexpr std::size_t kSmallest = 256 * 1024;
// At most this many blocks and bytes are kept.
constexpr std::size_t kMostBlocks = 8;
constexpr std::size_t kMostBytes = 64u * 1024 * 1024;

struct Kept {
    std::mutex lock;
    std::vector<std::vector<std::uint8_t>> blocks;
    std::size_t bytes = 0;
};

Kept& Store() {
    static Kept* kept = new Kept;  // never destroyed: arrays may end during static destruction
    return *kept;
}

}  // namespace

std::vector<std::uint8_t> TakeBytes(std::size_t size, std::uint8_t fill, std::size_t capacity) {
    const std::size_t need = std::max(size, capacity);
    if (need >= kSmallest) {
        Kept& k = Store();
        std::unique_lock guard(k.lock);
        // The smallest kept block that holds `need` without wasting more than half of it.
        auto best = k.blocks.end();
        for (auto it = k.blocks.begin(); it != k.blocks.end(); ++it)
            if (it->capacity() >= need && it->capacity() / 2 <= need &&
                (best == k.blocks.end() || it->capacity() < best->capacity()))
                best = it;
        if (best != k.blocks.end()) {
            std::vector<std::uint8_t> bytes = std::move(*best);
            k.blocks.erase(best);
            k.bytes -= bytes.capacity();
            guard.unlock();
            bytes.assign(size, fill);
            return bytes;
        }
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(need);
    bytes.assign(size, fill);
    return bytes;
}

void GiveBackBytes(std::vector<std::uint8_t>&& bytes) {
    std::vector<std::uint8_t> block = std::move(bytes);
    bytes.clear();
    if (block.capacity() < kSmallest || block.capacity() > kMostBytes) return;
    Kept& k = Store();
    // Room is made by dropping the oldest blocks; the dropped ones are freed
    // after the lock is released.
    std::vector<std::vector<std::uint8_t>> dropped;
    std::lock_guard guard(k.lock);
    while (!k.blocks.empty() && (k.blocks.size() >= kMostBlocks || k.bytes + block.capacity() > kMostBytes)) {
        k.bytes -= k.blocks.front().capacity();
        dropped.push_back(std::move(k.blocks.front()));
        k.blocks.erase(k.blocks.begin());
    }
    k.bytes += block.capacity();
    k.blocks.push_back(std::move(block));
}

}  // namespace quilla
