// What the USB driver library adds to each transfer: 64-byte transfers through
// the glue, the device list and the virtual bus, against the same device
// reached directly; and how long a detach takes to be noticed.
#include <chrono>
#include <cstdio>
#include <memory>

#include "engine/usb/glue.h"
#include "engine/usb/virtual_bus.h"

namespace {
struct NullDevice : quilla::Transport {
    int BulkWrite(const std::uint8_t*, int n) override { return n; }
    int BulkRead(std::uint8_t*, int n) override { return n; }
};

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
}  // namespace

int main() {
    using namespace quilla::usb;
    const int rounds = 200000;
    std::uint8_t buf[64] = {};

    auto device = std::make_shared<NullDevice>();
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        device->BulkWrite(buf, 64);
        device->BulkRead(buf, 64);
    }
    const double direct = Seconds(t0);

    VirtualBus bus;
    VirtualDeviceDescriptor desc;
    desc.vendorId = 0x1209;
    desc.productId = 0x0001;
    auto port = bus.Plug(device, desc);
    ProgrammerLink link(bus, desc.vendorId, desc.productId);
    if (link.OpenProgrammer() != 1) {
        std::printf("usb_link: the virtual programmer was not claimed\n");
        return 1;
    }
    t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        link.UsbWrite(buf, 64);
        link.UsbRead(buf, 64);
    }
    const double layered = Seconds(t0);
    std::printf("usb_link: %d write+read pairs: direct %.3f s, through the library %.3f s "
                "(%.2f us per transfer added)\n",
                rounds, direct, layered, (layered - direct) / (2.0 * rounds) * 1e6);

    t0 = std::chrono::steady_clock::now();
    bus.Unplug(port);
    while (link.Claimed()) {
    }
    std::printf("usb_link: detach noticed after %.1f us\n", Seconds(t0) * 1e6);
    return 0;
}
