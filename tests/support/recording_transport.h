// A transport that records every OUT transfer and answers IN transfers from a
// script (or with zeros of the asked size). Failures can be scripted too.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "engine/transport.h"

namespace quilla::test {

using Bytes = std::vector<std::uint8_t>;

class RecordingTransport : public Transport {
public:
    std::vector<Bytes> writes;   // every OUT transfer, in order
    std::vector<int> readSizes;  // every IN transfer's asked size
    // Scripted IN answers; an empty script answers the full asked size with zeros.
    std::deque<Bytes> replies;
    bool failWrites = false;     // every OUT transfer fails
    int failNextWrites = 0;      // the next N OUT transfers fail

    int BulkWrite(const std::uint8_t* data, int n) override {
        if (failWrites || failNextWrites > 0) {
            if (failNextWrites > 0) --failNextWrites;
            return 0;
        }
        writes.emplace_back(data, data + n);
        return n;
    }
    int BulkRead(std::uint8_t* buf, int n) override {
        readSizes.push_back(n);
        if (replies.empty()) {
            std::fill(buf, buf + n, 0);
            return n;
        }
        Bytes r = std::move(replies.front());
        replies.pop_front();
        int got = static_cast<int>(r.size()) < n ? static_cast<int>(r.size()) : n;
        std::copy(r.begin(), r.begin() + got, buf);
        return got;
    }
    // A 64-byte reply whose first bytes are `head`.
    void QueueReply(const Bytes& head, int size = 64) {
        Bytes r(static_cast<std::size_t>(size), 0);
        std::copy(head.begin(), head.end(), r.begin());
        replies.push_back(std::move(r));
    }
    // All OUT bytes in one stream.
    Bytes Stream() const {
        Bytes all;
        for (auto& w : writes) all.insert(all.end(), w.begin(), w.end());
        return all;
    }
    void Clear() {
        writes.clear();
        readSizes.clear();
    }
};

}  // namespace quilla::test
