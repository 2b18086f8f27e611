// A virtual USB bus: a low-level driver whose devices are objects in this
// process. It hosts the simulated programmer (`quilla --simulate`) and lets
// tests plug and unplug devices, offer a second device, a device without
// interface 0, or one whose interface selection fails, through the whole
// driver library.
//
// A device is a Transport (its bulk OUT / bulk IN pipes) with a descriptor.
// A device that reports itself gone (the probe given at plug-in returns false,
// e.g. a detach injected into the simulated programmer) is unplugged by the bus
// after its transfer, and its departure is reported like any other.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/transport.h"
#include "engine/usb/driver.h"

namespace quilla::usb {

struct VirtualDeviceDescriptor {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::vector<int> interfaces{0};  // interface numbers of the active configuration
    bool setInterfaceFails = false;
    std::string name = "virtual device";
    // Optional: false once the device has gone away on its own.
    std::function<bool()> present;
};

class VirtualBus : public LowLevelDriver {
public:
    VirtualBus() = default;
    ~VirtualBus() override;

    // Plugs a device in; returns its port (a fresh unique identifier each time).
    std::uint32_t Plug(std::shared_ptr<Transport> device, VirtualDeviceDescriptor desc);
    // Unplugs the device on that port (nothing when the port is empty). A
    // transfer still running on it finishes against the device object.
    void Unplug(std::uint32_t port);
    // Ports with a device, and the ports whose interface is claimed.
    std::vector<std::uint32_t> Ports() const;
    bool IsClaimed(std::uint32_t port) const;

    // Test switches.
    bool failOpen = false;          // the driver cannot be reached
    std::uint32_t version = 1000;   // reported version
    // Transfers that reached a device (for "never reached the backend" checks).
    std::uint64_t TransfersReached() const;
    // Events the library has answered (each arrival or departure it handled).
    std::uint64_t EventsAnswered() const;

    // LowLevelDriver
    Status OpenHandle() override;
    void CloseHandle() override;
    Status Version(std::uint32_t& v) override;
    Status RegisterEvents(const WDU_MATCH_TABLE* matches, int count, std::uint32_t actionMask,
                          std::uint32_t options, std::uint32_t& eventHandle) override;
    Status UnregisterEvents(std::uint32_t eventHandle) override;
    Status EnableEventWait(std::uint32_t eventHandle) override;
    Status DisableEventWait(std::uint32_t eventHandle) override;
    WaitResult WaitForEvent(std::uint32_t eventHandle) override;
    Status PullEvent(std::uint32_t eventHandle, DriverEvent& event) override;
    Status AnswerEvent(std::uint32_t eventHandle, const DriverEvent& event) override;
    Status GetDeviceInfo(std::uint32_t uniqueId, DeviceInfo& info) override;
    Status SetInterface(std::uint32_t uniqueId, int interfaceNum, int altSetting) override;
    Status Transfer(std::uint32_t uniqueId, std::uint8_t pipe, Direction dir, std::uint32_t options,
                    std::uint8_t* buffer, std::uint32_t count, std::uint32_t& transferred,
                    const std::uint8_t* setupPacket, std::uint32_t timeoutMs) override;

private:
    struct Device {
        std::shared_ptr<Transport> transport;
        VirtualDeviceDescriptor desc;
        bool claimed = false;
        std::mutex io;  // one transfer at a time per device
    };
    struct Registration {
        std::vector<WDU_MATCH_TABLE> matches;
        std::uint32_t options = 0;
        bool waitEnabled = false;
        std::deque<DriverEvent> pending;
    };

    static bool Matches(const Registration& r, const VirtualDeviceDescriptor& desc);
    void QueueEvent(std::uint32_t action, std::uint32_t uniqueId, const VirtualDeviceDescriptor& desc);
    std::shared_ptr<Device> Find(std::uint32_t uniqueId) const;

    mutable std::mutex m_;
    std::condition_variable cv_;
    std::map<std::uint32_t, std::shared_ptr<Device>> devices_;
    std::map<std::uint32_t, Registration> registrations_;
    std::uint32_t nextId_ = 1;
    std::uint32_t nextHandle_ = 1;
    int handles_ = 0;
    std::uint64_t reached_ = 0;
    std::uint64_t answered_ = 0;
};

}  // namespace quilla::usb
