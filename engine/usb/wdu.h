// The USB driver library: registers with the low-level driver for attach and
// detach notifications of devices matching a vendor/product pair, runs an
// event thread that receives them, keeps the list of attached devices
// (DevList), selects a device's interface and performs bulk transfers.
//
// Threads: the GUI thread calls WDU_Init, UsbLibClose and the transfers; the
// event thread runs EventThreadLoop -> EventPull -> EventHandler and the
// attach/detach callbacks. DevList is guarded by DevListLock.
//
// A device handle is the address of its device record. A record stays valid
// while anybody uses it: DevList holds one reference, and each request on the
// device holds another for as long as the request runs, so a detach that
// arrives during a transfer only unlinks the record; the memory goes when the
// transfer is done.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/usb/driver.h"

namespace quilla::usb {

struct LibraryContext;
struct DeviceRecord;

using WDU_DRIVER_HANDLE = LibraryContext*;
using WDU_DEVICE_HANDLE = DeviceRecord*;

using WDU_ATTACH_CALLBACK = int (*)(WDU_DEVICE_HANDLE device, const DeviceInfo* info,
                                    void* userCtx);
using WDU_DETACH_CALLBACK = void (*)(WDU_DEVICE_HANDLE device, void* userCtx);
using WDU_POWER_CALLBACK = int (*)(WDU_DEVICE_HANDLE device, std::uint32_t action,
                                   void* userCtx);

// The callback set handed to WDU_Init.
struct WDU_EVENT_TABLE {
    WDU_ATTACH_CALLBACK pfDeviceAttach = nullptr;
    WDU_DETACH_CALLBACK pfDeviceDetach = nullptr;
    WDU_POWER_CALLBACK pfPowerChange = nullptr;
    void* pUserData = nullptr;
};

// One attached and accepted device.
struct DeviceRecord {
    LibraryContext* ctx = nullptr;
    std::unique_ptr<DeviceInfo> info;
    std::uint32_t uniqueId = 0;
};

// The driver's event record: handle, action (mask at registration, pulled
// action after a pull), options, the device's unique identifier and the
// match entries.
struct WD_EVENT {
    std::uint32_t handle = 0;
    std::uint32_t action = 0;
    std::uint32_t options = 0;
    std::uint32_t uniqueId = 0;
    std::vector<WDU_MATCH_TABLE> matches;
};

// ---- operating-system layer ------------------------------------------------------
// An auto-reset event: a wait takes the signal, one waiter at a time.
class OsEvent {
public:
    void Signal();
    // True when signalled within `timeout`.
    bool Wait(std::chrono::milliseconds timeout);

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

Status OsEventCreate(OsEvent** event);
// 0 when signalled, WD_TIME_OUT_EXPIRED on time-out, WD_SYSTEM_INTERNAL_ERROR
// for a null event.
Status OsEventWait(OsEvent* event, std::chrono::milliseconds timeout);
Status OsEventSignal(OsEvent* event);
void OsEventClose(OsEvent* event);  // ignores null

struct ThreadHandle {
    std::thread thread;
};
// Starts a thread that calls function(argument).
Status ThreadStart(ThreadHandle** handle, void (*function)(void*), void* argument);
// Waits without limit for the thread and frees its handle (null ignored).
void ThreadWait(ThreadHandle* handle);

// ---- event layer -------------------------------------------------------------------
struct EventRegistration;

struct EventThreadRecord {
    LowLevelDriver* driver = nullptr;
    void (*callback)(EventRegistration*) = nullptr;  // EventPull
    EventRegistration* callbackCtx = nullptr;
    std::uint32_t waitHandle = 0;  // the wait record's event handle
    ThreadHandle* thread = nullptr;
};

using EventHandlerFn = void (*)(WD_EVENT* event, LibraryContext* ctx);

struct EventRegistration {
    EventHandlerFn handler = nullptr;
    LowLevelDriver* driver = nullptr;
    LibraryContext* ctx = nullptr;
    EventThreadRecord* thread = nullptr;
    std::uint32_t eventHandle = 0;
};

// One library context per WDU_Init.
struct LibraryContext {
    LowLevelDriver* driver = nullptr;
    bool driverOpen = false;
    WDU_EVENT_TABLE events;
    EventRegistration* registration = nullptr;
};

WD_EVENT* EventRecordNew(std::uint32_t handle);
// Refuses a table pointer without entries and entries without a pointer.
WD_EVENT* EventRecordFromMatches(const WDU_MATCH_TABLE* matches, int count,
                                 std::uint32_t actionMask, std::uint32_t options);
Status EventRegister(EventRegistration** out, LowLevelDriver* driver, WD_EVENT* event,
                     EventHandlerFn handler, LibraryContext* ctx);
Status EventRelease(EventRegistration* registration);
Status EventThreadStart(EventThreadRecord** out, LowLevelDriver* driver,
                        std::uint32_t eventHandle, void (*callback)(EventRegistration*),
                        EventRegistration* callbackCtx);
void EventThreadStop(EventThreadRecord* record);
void EventThreadLoop(void* record);
void EventPull(EventRegistration* registration);
void EventHandler(WD_EVENT* event, LibraryContext* ctx);

// ---- device list ---------------------------------------------------------------------
Status AddDeviceToDevList(std::shared_ptr<DeviceRecord> record);
Status RemoveAllDevicesFromDevList(LibraryContext* ctx);
Status FindDeviceByUniqueID(std::uint32_t uniqueId, std::shared_ptr<DeviceRecord>* found);
// 0 when a node holds exactly that record (and, with `keep`, a reference that
// keeps it valid), else WD_DEVICE_NOT_FOUND.
Status FindDeviceByCtx(WDU_DEVICE_HANDLE device, std::shared_ptr<DeviceRecord>* keep = nullptr);
Status RemoveDeviceFromDevList(std::uint32_t uniqueId, std::shared_ptr<DeviceRecord>* removed);
// Devices on DevList (for tests and traces).
int DevListSize();
// Library contexts currently open.
int LibraryUsers();

// ---- library entry points ------------------------------------------------------------------
Status WDU_Init(WDU_DRIVER_HANDLE* handle, LowLevelDriver* driver,
                const WDU_MATCH_TABLE* matches, int matchCount,
                const WDU_EVENT_TABLE* events, std::uint32_t options);
void UsbLibClose(WDU_DRIVER_HANDLE handle);
Status WDU_SetInterface(WDU_DEVICE_HANDLE device, int interfaceNum, int altSetting);
Status WDU_GetDeviceInfo(WDU_DEVICE_HANDLE device, DeviceInfo* info);
Status UsbTransfer(WDU_DEVICE_HANDLE device, std::uint8_t pipe, Direction dir,
                   std::uint32_t options, std::uint8_t* buffer, std::uint32_t count,
                   std::uint32_t* transferred, const std::uint8_t* setupPacket,
                   std::uint32_t timeoutMs);

// The link's trace (QUILLA_USB_TRACE set): one line on standard error for the
// driver's start, each arrival and departure, each claim and refusal, and
// every transfer. Nothing depends on it.
bool TraceOn();
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A transfer's line: direction, bytes moved of those asked, the first bytes
// (or the failure's text).
void TraceTransfer(const char* direction, const std::uint8_t* data, std::uint32_t asked, std::uint32_t moved,
                   Status status);

}  // namespace quilla::usb
