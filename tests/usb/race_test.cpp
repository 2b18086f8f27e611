// Detaches and re-attaches racing thousands of transfers. Built under
// ThreadSanitizer (no race may be reported) and AddressSanitizer (no use after
// free) by the sanitizer script.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "engine/usb/glue.h"
#include "engine/usb/virtual_bus.h"
#include "test_devices.h"

namespace quilla::test {
namespace {

using namespace std::chrono_literals;

TEST(Race, DetachesRacingTransfers) {
    usb::VirtualBus bus;
    auto dev = std::make_shared<PatternDevice>();
    auto first = bus.Plug(dev, Desc());
    {
        usb::ProgrammerLink link(bus, TestVid, TestPid);
        ASSERT_EQ(link.OpenProgrammer(), 1);

        std::atomic<bool> stop{false};
        std::atomic<int> cycles{0};
        std::thread plugger([&] {
            std::uint32_t port = first;
            while (!stop.load()) {
                bus.Unplug(port);
                std::this_thread::yield();
                port = bus.Plug(dev, Desc());
                ++cycles;
                std::this_thread::yield();
            }
        });

        int ok = 0, failed = 0;
        std::uint8_t out[64] = {};
        std::uint8_t in[64];
        // At least 5,000 transfer pairs and 200 detach/attach cycles (bounded
        // in case the plugging thread never gets to run).
        const auto limit = std::chrono::steady_clock::now() + 30s;
        for (int i = 0; i < 5000 || cycles.load() < 200; ++i) {
            int w = link.UsbWrite(out, 64);
            int r = link.UsbRead(in, 64);
            EXPECT_TRUE(w == 0 || w == 64);
            EXPECT_TRUE(r == 0 || r == 64);
            if (r == 64) {
                EXPECT_EQ(in[0], 1);
                ++ok;
            } else {
                ++failed;
            }
            if (std::chrono::steady_clock::now() > limit) break;
        }
        stop = true;
        plugger.join();
        EXPECT_GE(cycles.load(), 200);
        EXPECT_GT(ok + failed, 0);
        // The last device plugged in is claimed again once its arrival is handled.
        EXPECT_TRUE(Eventually([&] { return link.Claimed(); }));
    }
    EXPECT_EQ(usb::DevListSize(), 0);
}

TEST(Race, ManyLinksOpenedAndClosedWhileDevicesComeAndGo) {
    usb::VirtualBus bus;
    auto dev = std::make_shared<PatternDevice>();
    std::atomic<bool> stop{false};
    std::thread plugger([&] {
        while (!stop.load()) {
            auto port = bus.Plug(dev, Desc());
            std::this_thread::yield();
            bus.Unplug(port);
        }
    });
    for (int i = 0; i < 100; ++i) {
        usb::ProgrammerLink link(bus, TestVid, TestPid);
        link.AttachWait = 5ms;
        if (link.OpenProgrammer() == 1) {
            std::uint8_t buf[64];
            link.UsbRead(buf, 64);
        }
    }
    stop = true;
    plugger.join();
    EXPECT_EQ(usb::DevListSize(), 0);
    EXPECT_EQ(usb::LibraryUsers(), 0);
}

}  // namespace
}  // namespace quilla::test
