// The libusb backend of the low-level driver: the real programmer.
//
// - Hotplug: arrivals and departures of matching devices are delivered by
//   libusb while the event thread handles libusb events; devices present at
//   registration arrive at once. The libusb callback only queues the event;
//   opening and claiming happen later, outside the callback. A repeated
//   arrival or a departure without arrival is ignored.
// - The active interface is interface 0 of the device's active configuration;
//   interface selection claims it (detaching a kernel driver if one is bound)
//   and selects alternate setting 0.
// - Transfers are synchronous bulk transfers; a device that leaves while a
//   transfer runs stays open until that transfer returns.
//
// Vendor and product id: QUILLA_USB_ID=vvvv:pppp (hexadecimal), default
// 1209:0001. The udev rule in data/udev/ gives the logged-in user access.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/usb/driver.h"

struct libusb_context;
struct libusb_device;

namespace quilla::usb {

inline constexpr std::uint16_t DefaultVendorId = 0x1209;
inline constexpr std::uint16_t DefaultProductId = 0x0001;

// The programmer's ids: QUILLA_USB_ID when set and valid, else the default
// (an invalid value is reported on standard error).
void ProgrammerUsbIds(std::uint16_t& vendorId, std::uint16_t& productId);
// Parses "vvvv:pppp" (hexadecimal, 1 to 4 digits each).
bool ParseUsbId(const std::string& text, std::uint16_t& vendorId, std::uint16_t& productId);

// The driver check: 1 when libusb cannot start, 2 when it has no hotplug
// support (older than 1.0.16 or built without it), 0 otherwise.
int LibusbCheckDriverVersion();

// What the user is told to do when the USB library or access is missing.
extern const char* const UsbSetupHelp;

class LibusbDriver : public LowLevelDriver {
public:
    LibusbDriver();
    ~LibusbDriver() override;
    LibusbDriver(const LibusbDriver&) = delete;
    LibusbDriver& operator=(const LibusbDriver&) = delete;

    Status OpenHandle() override;
    void CloseHandle() override;
    Status Version(std::uint32_t& version) override;
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

    struct Device;
    struct Registration;
    // What the libusb hotplug callback does: queue the event, nothing else.
    static void QueueHotplug(Registration* reg, libusb_device* device, int event);

private:
    std::shared_ptr<Device> Find(std::uint32_t uniqueId);

    std::mutex m_;
    libusb_context* ctx_ = nullptr;
    int handles_ = 0;
    std::map<std::uint32_t, std::shared_ptr<Device>> devices_;
    std::map<std::uint32_t, std::unique_ptr<Registration>> registrations_;
    std::uint32_t nextId_ = 1;
    std::uint32_t nextHandle_ = 1;
};

}  // namespace quilla::usb
