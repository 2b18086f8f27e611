// The low-level USB driver as the driver library sees it: a small set of
// requests (version query, event registration and waiting, device
// information, interface selection, bulk transfers), each answering with a
// status code. Two backends implement it: libusb (real programmer) and the
// virtual bus that hosts the simulated programmer; tests add their own.
//
// Devices are named by a unique identifier the backend assigns on arrival
// (never reused while the backend lives). Every request may be called from the
// GUI thread and the event thread at the same time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quilla::usb {

// ---- status codes ------------------------------------------------------------
using Status = std::uint32_t;
inline constexpr Status WD_STATUS_SUCCESS = 0;
inline constexpr Status WD_INVALID_HANDLE = 0x20000001;
inline constexpr Status WD_INSUFFICIENT_RESOURCES = 0x20000002;
inline constexpr Status WD_SYSTEM_INTERNAL_ERROR = 0x20000003;
inline constexpr Status WD_DEVICE_NOT_FOUND = 0x20000004;
inline constexpr Status WD_TIME_OUT_EXPIRED = 0x20000005;
inline constexpr Status WD_INCORRECT_VERSION = 0x20000006;
inline constexpr Status WD_INVALID_PARAMETER = 0x20000007;
inline constexpr Status WD_OPERATION_FAILED = 0x20000008;
inline constexpr Status WD_NO_ACCESS = 0x20000009;        // no permission to open the device
inline constexpr Status WD_DEVICE_BUSY = 0x2000000A;      // interface held by someone else
inline constexpr Status WD_NOT_SUPPORTED = 0x2000000B;
// Transfer-level conditions (what the USB stack reports).
inline constexpr Status USBD_STATUS_STALL_PID = 0xC0000004;
inline constexpr Status USBD_STATUS_DEV_NOT_RESPONDING = 0xC0000005;
inline constexpr Status USBD_STATUS_BUFFER_OVERRUN = 0xC000000C;
inline constexpr Status USBD_STATUS_CANCELED = 0xC0010000;
inline constexpr Status USBD_STATUS_TIMEOUT = 0xC0006000;

// A short English text for a status code (trace lines only).
const char* WdStatusText(Status status);

// ---- event actions and options -------------------------------------------------
inline constexpr std::uint32_t WDU_ACTION_ATTACH = 1;
inline constexpr std::uint32_t WDU_ACTION_DETACH = 2;
// The ten power-state actions (only reported to a power callback).
inline constexpr std::uint32_t WDU_ACTION_POWER_FIRST = 3;
inline constexpr std::uint32_t WDU_ACTION_POWER_LAST = 12;
inline constexpr std::uint32_t WDU_ACTION_MASK_ATTACH_DETACH = (1u << 1) | (1u << 2);
inline constexpr std::uint32_t WDU_ACTION_MASK_POWER = ((1u << 13) - 1) & ~((1u << 3) - 1);

inline constexpr std::uint32_t EVENT_OPTION_WAIT_FOR_ANSWER = 1u << 0;  // set by the driver
inline constexpr std::uint32_t EVENT_OPTION_ACCEPT = 1u << 1;           // set by the library

// One entry of a match table: vendor and product identifiers.
struct WDU_MATCH_TABLE {
    std::uint16_t wVendorId = 0;
    std::uint16_t wProductId = 0;
    std::uint8_t reserved[6] = {};
};

// What the driver tells about an attached device.
struct DeviceInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // Interface number of the active interface: interface 0 of the active
    // configuration when it has one, else its first interface, -1 when the
    // device has no active configuration.
    int activeInterface = -1;
    std::vector<int> interfaces;  // interface numbers of the active configuration
    std::string description;      // bus/port text for trace lines
};

// One event as pulled from the driver.
struct DriverEvent {
    std::uint32_t action = 0;
    std::uint32_t options = 0;
    std::uint32_t uniqueId = 0;
};

enum class WaitResult { Stopped, NothingToReport, EventPending };

inline constexpr std::uint8_t PIPE_BULK_OUT = 0x02;
inline constexpr std::uint8_t PIPE_BULK_IN = 0x82;
enum class Direction { Out, In };

class LowLevelDriver {
public:
    virtual ~LowLevelDriver() = default;

    // Opens / closes one handle on the driver (counted). Open fails when the
    // driver cannot be reached at all.
    virtual Status OpenHandle() = 0;
    virtual void CloseHandle() = 0;
    // The driver's version number; 603 stands for 6.03.
    virtual Status Version(std::uint32_t& version) = 0;

    // Event registration for the devices matching `matches`; hands back the
    // event handle. Devices present at registration are reported as arrivals.
    virtual Status RegisterEvents(const WDU_MATCH_TABLE* matches, int count,
                                  std::uint32_t actionMask, std::uint32_t options,
                                  std::uint32_t& eventHandle) = 0;
    virtual Status UnregisterEvents(std::uint32_t eventHandle) = 0;
    // Enables waiting; disabling makes a pending wait return Stopped.
    virtual Status EnableEventWait(std::uint32_t eventHandle) = 0;
    virtual Status DisableEventWait(std::uint32_t eventHandle) = 0;
    // Blocks until an event is pending, the wait is disabled, or the backend
    // chooses to report nothing (the caller waits again).
    virtual WaitResult WaitForEvent(std::uint32_t eventHandle) = 0;
    // Takes the oldest pending event (action 0 when there is none).
    virtual Status PullEvent(std::uint32_t eventHandle, DriverEvent& event) = 0;
    // The library's answer to an event that waited for one (accept bit).
    virtual Status AnswerEvent(std::uint32_t eventHandle, const DriverEvent& event) = 0;

    virtual Status GetDeviceInfo(std::uint32_t uniqueId, DeviceInfo& info) = 0;
    virtual Status SetInterface(std::uint32_t uniqueId, int interfaceNum, int altSetting) = 0;
    virtual Status Transfer(std::uint32_t uniqueId, std::uint8_t pipe, Direction dir,
                            std::uint32_t options, std::uint8_t* buffer, std::uint32_t count,
                            std::uint32_t& transferred, const std::uint8_t* setupPacket,
                            std::uint32_t timeoutMs) = 0;
};

}  // namespace quilla::usb
