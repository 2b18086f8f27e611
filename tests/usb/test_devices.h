// Small devices for the virtual bus, and helpers to wait for the event thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/transport.h"
#include "engine/usb/virtual_bus.h"

namespace quilla::test {

inline constexpr std::uint16_t TestVid = 0x1209;
inline constexpr std::uint16_t TestPid = 0x0001;

inline usb::VirtualDeviceDescriptor Desc(std::vector<int> interfaces = {0}, bool failSet = false) {
    usb::VirtualDeviceDescriptor s;
    s.vendorId = TestVid;
    s.productId = TestPid;
    s.interfaces = std::move(interfaces);
    s.setInterfaceFails = failSet;
    return s;
}

// Accepts every OUT transfer; answers every IN transfer in full with a
// pattern (byte i = i + 1), or with the scripted sizes first.
class PatternDevice : public Transport {
public:
    std::atomic<int> writes{0};
    std::atomic<int> reads{0};
    std::mutex m;
    std::deque<int> scriptedSizes;  // sizes of the next IN answers

    int BulkWrite(const std::uint8_t*, int n) override {
        ++writes;
        return n;
    }
    int BulkRead(std::uint8_t* buf, int n) override {
        ++reads;
        int size = n;
        {
            std::lock_guard<std::mutex> lock(m);
            if (!scriptedSizes.empty()) {
                size = std::min(n, scriptedSizes.front());
                scriptedSizes.pop_front();
            }
        }
        for (int i = 0; i < size; ++i) buf[i] = static_cast<std::uint8_t>(i + 1);
        return size;
    }
};

// An IN transfer that blocks until the test lets it go.
class GateDevice : public Transport {
public:
    int BulkWrite(const std::uint8_t*, int n) override { return n; }
    int BulkRead(std::uint8_t* buf, int n) override {
        std::unique_lock<std::mutex> lock(m_);
        inside_ = true;
        cv_.notify_all();
        cv_.wait(lock, [this] { return open_; });
        for (int i = 0; i < n; ++i) buf[i] = 0x5A;
        return n;
    }
    void WaitInside() {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [this] { return inside_; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m_);
        open_ = true;
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool inside_ = false;
    bool open_ = false;
};

// Polls `cond` until it holds (the event thread works on its own); false after
// a generous limit so a broken build fails instead of hanging.
inline bool Eventually(const std::function<bool()>& cond,
                       std::chrono::milliseconds limit = std::chrono::milliseconds(10000)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace quilla::test
