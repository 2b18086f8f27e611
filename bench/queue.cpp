// How fast the command queue takes puts and flushes (into a null transport).
#include <chrono>
#include <cstdio>

#include "engine/usbqueue.h"

namespace {
struct NullTransport : quilla::Transport {
    int BulkWrite(const std::uint8_t*, int n) override { return n; }
    int BulkRead(std::uint8_t*, int n) override { return n; }
};
}  // namespace

int main() {
    NullTransport t;
    quilla::UsbLink link(&t);
    const int rounds = 2000;
    auto t0 = std::chrono::steady_clock::now();
    long bytes = 0;
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < 4096; ++i) {
            link.UsbPut2(0x10, static_cast<std::uint8_t>(i));
            link.UsbPut1(0x2B);
            link.UsbPut4(0x0E, 25, 15, 0);
        }
        bytes += link.UsbCmdCount;
        link.UsbFlush();
    }
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("queue: %ld bytes queued and flushed in %.3f s (%.1f MB/s)\n", bytes, s, bytes / s / 1e6);
    return 0;
}
