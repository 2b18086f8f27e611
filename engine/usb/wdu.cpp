#include "engine/usb/wdu.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <forward_list>
#include <new>

namespace quilla::usb {

// ---- status texts ----------------------------------------------------------------------

const char* WdStatusText(Status status) {
    struct Entry {
        Status code;
        const char* text;
    };
    static const Entry table[] = {
        {WD_STATUS_SUCCESS, "Success"},
        {WD_INVALID_HANDLE, "Invalid handle"},
        {WD_INSUFFICIENT_RESOURCES, "Insufficient resources"},
        {WD_SYSTEM_INTERNAL_ERROR, "Internal system error"},
        {WD_DEVICE_NOT_FOUND, "Device not found"},
        {WD_TIME_OUT_EXPIRED, "TimeOut expired"},
        {WD_INCORRECT_VERSION, "Incorrect USB library version installed"},
        {WD_INVALID_PARAMETER, "Invalid parameter"},
        {WD_OPERATION_FAILED, "Operation failed"},
        {WD_NO_ACCESS, "No permission to open the device"},
        {WD_DEVICE_BUSY, "Device busy"},
        {WD_NOT_SUPPORTED, "Operation not supported"},
        {USBD_STATUS_STALL_PID, "USBD: Stall PID"},
        {USBD_STATUS_DEV_NOT_RESPONDING, "USBD: Device not responding"},
        {USBD_STATUS_BUFFER_OVERRUN, "USBD: Buffer overrun"},
        {USBD_STATUS_CANCELED, "USBD: Transfer canceled"},
        {USBD_STATUS_TIMEOUT, "USBD: Timeout"},
    };
    for (const Entry& e : table)
        if (e.code == status) return e.text;
    return "Unrecognized error code";
}

bool TraceOn() {
    static const bool on = std::getenv("QUILLA_USB_TRACE") != nullptr;
    return on;
}

void Trace(const char* format, ...) {
    if (!TraceOn()) return;
    std::va_list args;
    va_start(args, format);
    std::fputs("usb: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

void TraceTransfer(const char* direction, const std::uint8_t* data, std::uint32_t asked, std::uint32_t moved,
                   Status status) {
    if (!TraceOn()) return;
    if (status != WD_STATUS_SUCCESS) {
        Trace("%s %u of %u bytes: %s", direction, moved, asked, WdStatusText(status));
        return;
    }
    char bytes[16 * 3 + 4] = "";
    const std::uint32_t shown = moved < 16 ? moved : 16;
    for (std::uint32_t i = 0; i < shown; ++i) std::snprintf(bytes + 3 * i, 4, " %02x", data[i]);
    Trace("%s %u of %u bytes:%s%s", direction, moved, asked, bytes, moved > shown ? " ..." : "");
}

// ---- operating-system layer -------------------------------------------------------------

void OsEvent::Signal() {
    {
        std::lock_guard<std::mutex> lock(m_);
        signalled_ = true;
    }
    cv_.notify_one();
}

bool OsEvent::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_);
    if (!cv_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
    signalled_ = false;  // auto-reset
    return true;
}

Status OsEventCreate(OsEvent** event) {
    *event = new (std::nothrow) OsEvent;
    return *event ? WD_STATUS_SUCCESS : WD_INSUFFICIENT_RESOURCES;
}

Status OsEventWait(OsEvent* event, std::chrono::milliseconds timeout) {
    if (!event) return WD_SYSTEM_INTERNAL_ERROR;
    return event->Wait(timeout) ? WD_STATUS_SUCCESS : WD_TIME_OUT_EXPIRED;
}

Status OsEventSignal(OsEvent* event) {
    if (!event) return WD_SYSTEM_INTERNAL_ERROR;
    event->Signal();
    return WD_STATUS_SUCCESS;
}

void OsEventClose(OsEvent* event) { delete event; }

Status ThreadStart(ThreadHandle** handle, void (*function)(void*), void* argument) {
    *handle = nullptr;
    auto* h = new (std::nothrow) ThreadHandle;
    if (!h) return WD_INSUFFICIENT_RESOURCES;
    try {
        h->thread = std::thread(function, argument);
    } catch (...) {
        delete h;
        return WD_INSUFFICIENT_RESOURCES;
    }
    *handle = h;
    return WD_STATUS_SUCCESS;
}

void ThreadWait(ThreadHandle* handle) {
    if (!handle) return;
    if (handle->thread.joinable()) handle->thread.join();
    delete handle;
}

// ---- device list -----------------------------------------------------------------------

namespace {

// DevList and its lock are shared by every library context. The lock is an
// auto-reset event: a wait (up to 30 seconds) takes it, a signal gives it back.
// It starts signalled, so the first waiter takes it.
OsEvent& DevListLock() {
    static OsEvent* lock = [] {
        auto* ev = new OsEvent;
        ev->Signal();
        return ev;
    }();
    return *lock;
}
std::forward_list<std::shared_ptr<DeviceRecord>> DevList;  // newest first
std::atomic<int> libraryUsers{0};
constexpr std::chrono::seconds DevListWait{30};

class ListLock {
public:
    ListLock() : held_(DevListLock().Wait(DevListWait)) {}
    ~ListLock() {
        if (held_) DevListLock().Signal();
    }
    bool held() const { return held_; }

private:
    bool held_;
};

}  // namespace

Status AddDeviceToDevList(std::shared_ptr<DeviceRecord> record) {
    ListLock lock;
    if (!lock.held()) return WD_TIME_OUT_EXPIRED;
    try {
        DevList.push_front(std::move(record));
    } catch (...) {
        return WD_INSUFFICIENT_RESOURCES;
    }
    return WD_STATUS_SUCCESS;
}

Status RemoveAllDevicesFromDevList(LibraryContext* ctx) {
    std::forward_list<std::shared_ptr<DeviceRecord>> gone;
    {
        ListLock lock;
        if (!lock.held()) return WD_TIME_OUT_EXPIRED;
        auto prev = DevList.before_begin();
        for (auto it = DevList.begin(); it != DevList.end();) {
            if ((*it)->ctx == ctx) {
                gone.push_front(std::move(*it));
                it = DevList.erase_after(prev);
            } else {
                prev = it++;
            }
        }
    }
    return WD_STATUS_SUCCESS;  // records freed here, outside the lock
}

Status FindDeviceByUniqueID(std::uint32_t uniqueId, std::shared_ptr<DeviceRecord>* found) {
    ListLock lock;
    if (!lock.held()) return WD_TIME_OUT_EXPIRED;
    for (auto& rec : DevList) {
        if (rec->uniqueId == uniqueId) {
            if (found) *found = rec;
            return WD_STATUS_SUCCESS;
        }
    }
    return WD_DEVICE_NOT_FOUND;
}

Status FindDeviceByCtx(WDU_DEVICE_HANDLE device, std::shared_ptr<DeviceRecord>* keep) {
    if (!device) return WD_DEVICE_NOT_FOUND;
    ListLock lock;
    if (!lock.held()) return WD_TIME_OUT_EXPIRED;
    for (auto& rec : DevList) {
        if (rec.get() == device) {
            if (keep) *keep = rec;
            return WD_STATUS_SUCCESS;
        }
    }
    return WD_DEVICE_NOT_FOUND;
}

Status RemoveDeviceFromDevList(std::uint32_t uniqueId, std::shared_ptr<DeviceRecord>* removed) {
    ListLock lock;
    if (!lock.held()) return WD_TIME_OUT_EXPIRED;
    auto prev = DevList.before_begin();
    for (auto it = DevList.begin(); it != DevList.end(); prev = it++) {
        if ((*it)->uniqueId == uniqueId) {
            if (removed) *removed = std::move(*it);
            DevList.erase_after(prev);
            return WD_STATUS_SUCCESS;
        }
    }
    return WD_DEVICE_NOT_FOUND;
}

int DevListSize() {
    ListLock lock;
    int n = 0;
    for (auto it = DevList.begin(); it != DevList.end(); ++it) ++n;
    return n;
}

int LibraryUsers() { return libraryUsers.load(); }

// ---- event layer ------------------------------------------------------------------------

WD_EVENT* EventRecordNew(std::uint32_t handle) {
    auto* ev = new (std::nothrow) WD_EVENT;
    if (ev) ev->handle = handle;
    return ev;
}

WD_EVENT* EventRecordFromMatches(const WDU_MATCH_TABLE* matches, int count,
                                 std::uint32_t actionMask, std::uint32_t options) {
    if ((matches && count <= 0) || (!matches && count > 0)) return nullptr;
    WD_EVENT* ev = EventRecordNew(0);
    if (!ev) return nullptr;
    ev->action = actionMask;
    ev->options = options;
    if (matches) ev->matches.assign(matches, matches + count);
    return ev;
}

Status EventThreadStart(EventThreadRecord** out, LowLevelDriver* driver,
                        std::uint32_t eventHandle, void (*callback)(EventRegistration*),
                        EventRegistration* callbackCtx) {
    *out = nullptr;
    auto* rec = new (std::nothrow) EventThreadRecord;
    if (!rec) return WD_INSUFFICIENT_RESOURCES;
    rec->driver = driver;
    rec->callback = callback;
    rec->callbackCtx = callbackCtx;
    rec->waitHandle = eventHandle;
    Status st = driver->EnableEventWait(eventHandle);
    if (st != WD_STATUS_SUCCESS) {
        delete rec;
        return st;
    }
    st = ThreadStart(&rec->thread, EventThreadLoop, rec);
    if (st != WD_STATUS_SUCCESS) {
        driver->DisableEventWait(eventHandle);
        delete rec;
        return st;
    }
    *out = rec;
    return WD_STATUS_SUCCESS;
}

void EventThreadStop(EventThreadRecord* record) {
    if (!record) return;
    record->driver->DisableEventWait(record->waitHandle);
    ThreadWait(record->thread);
    delete record;
}

void EventThreadLoop(void* arg) {
    auto* rec = static_cast<EventThreadRecord*>(arg);
    for (;;) {
        switch (rec->driver->WaitForEvent(rec->waitHandle)) {
        case WaitResult::Stopped:
            return;
        case WaitResult::NothingToReport:
            continue;
        case WaitResult::EventPending:
            rec->callback(rec->callbackCtx);
            break;
        }
    }
}

void EventPull(EventRegistration* reg) {
    WD_EVENT* ev = EventRecordNew(reg->eventHandle);
    if (!ev) return;
    DriverEvent pulled;
    if (reg->driver->PullEvent(reg->eventHandle, pulled) == WD_STATUS_SUCCESS) {
        ev->action = pulled.action;
        ev->options = pulled.options;
        ev->uniqueId = pulled.uniqueId;
        if (ev->action != 0) reg->handler(ev, reg->ctx);
        if (ev->options & EVENT_OPTION_WAIT_FOR_ANSWER) {
            DriverEvent answer{ev->action, ev->options, ev->uniqueId};
            reg->driver->AnswerEvent(reg->eventHandle, answer);
        }
    }
    delete ev;
}

namespace {

void HandleAttach(WD_EVENT* event, LibraryContext* ctx) {
    // A repeated arrival of a device already on the list changes nothing.
    if (FindDeviceByUniqueID(event->uniqueId, nullptr) == WD_STATUS_SUCCESS) {
        Trace("device %u arrived again, already known", event->uniqueId);
        event->options |= EVENT_OPTION_ACCEPT;
        return;
    }
    std::shared_ptr<DeviceRecord> rec;
    try {
        rec = std::make_shared<DeviceRecord>();
    } catch (...) {
        return;
    }
    rec->ctx = ctx;
    rec->uniqueId = event->uniqueId;
    if (AddDeviceToDevList(rec) != WD_STATUS_SUCCESS) return;
    auto info = std::make_unique<DeviceInfo>();
    Status st = WDU_GetDeviceInfo(rec.get(), info.get());
    if (st != WD_STATUS_SUCCESS) {
        Trace("device %u: no device information (%s)", event->uniqueId, WdStatusText(st));
        RemoveDeviceFromDevList(event->uniqueId, nullptr);
        return;
    }
    rec->info = std::move(info);
    int accepted = 0;
    if (ctx->events.pfDeviceAttach)
        accepted = ctx->events.pfDeviceAttach(rec.get(), rec->info.get(), ctx->events.pUserData);
    if (!accepted) {
        RemoveDeviceFromDevList(event->uniqueId, nullptr);
        return;
    }
    event->options |= EVENT_OPTION_ACCEPT;
}

void HandleDetach(WD_EVENT* event, LibraryContext* ctx) {
    std::shared_ptr<DeviceRecord> rec;
    if (RemoveDeviceFromDevList(event->uniqueId, &rec) != WD_STATUS_SUCCESS) {
        Trace("device %u left without having arrived", event->uniqueId);
        return;
    }
    if (ctx->events.pfDeviceDetach) ctx->events.pfDeviceDetach(rec.get(), ctx->events.pUserData);
    // The list's reference goes here; a transfer still running on the device
    // holds its own until it returns.
    rec.reset();
}

void HandlePower(WD_EVENT* event, LibraryContext* ctx) {
    std::shared_ptr<DeviceRecord> rec;
    if (FindDeviceByUniqueID(event->uniqueId, &rec) != WD_STATUS_SUCCESS) return;
    if (ctx->events.pfPowerChange)
        ctx->events.pfPowerChange(rec.get(), event->action, ctx->events.pUserData);
}

}  // namespace

void EventHandler(WD_EVENT* event, LibraryContext* ctx) {
    if (event->action == WDU_ACTION_ATTACH) {
        HandleAttach(event, ctx);
    } else if (event->action == WDU_ACTION_DETACH) {
        HandleDetach(event, ctx);
    } else if (event->action >= WDU_ACTION_POWER_FIRST && event->action <= WDU_ACTION_POWER_LAST) {
        HandlePower(event, ctx);
    }
}

Status EventRegister(EventRegistration** out, LowLevelDriver* driver, WD_EVENT* event,
                     EventHandlerFn handler, LibraryContext* ctx) {
    *out = nullptr;
    auto* reg = new (std::nothrow) EventRegistration;
    if (!reg) return WD_INSUFFICIENT_RESOURCES;
    reg->handler = handler;
    reg->driver = driver;
    reg->ctx = ctx;
    std::uint32_t handle = 0;
    Status st = driver->RegisterEvents(event->matches.data(), static_cast<int>(event->matches.size()),
                                       event->action, event->options, handle);
    if (st != WD_STATUS_SUCCESS) {
        delete reg;
        return st;
    }
    event->handle = handle;
    reg->eventHandle = handle;
    st = EventThreadStart(&reg->thread, driver, handle, EventPull, reg);
    if (st != WD_STATUS_SUCCESS) {
        if (handle) driver->UnregisterEvents(handle);
        delete reg;
        return st;
    }
    *out = reg;
    return WD_STATUS_SUCCESS;
}

Status EventRelease(EventRegistration* reg) {
    if (!reg) return WD_INVALID_HANDLE;
    EventThreadStop(reg->thread);
    reg->thread = nullptr;
    Status st = reg->driver->UnregisterEvents(reg->eventHandle);
    delete reg;
    return st;
}

// ---- library entry points --------------------------------------------------------------

Status WDU_Init(WDU_DRIVER_HANDLE* handle, LowLevelDriver* driver,
                const WDU_MATCH_TABLE* matches, int matchCount,
                const WDU_EVENT_TABLE* events, std::uint32_t options) {
    *handle = nullptr;
    auto* ctx = new (std::nothrow) LibraryContext;
    if (!ctx) return WD_INSUFFICIENT_RESOURCES;
    ++libraryUsers;
    ctx->driver = driver;

    Status st = WD_SYSTEM_INTERNAL_ERROR;
    if (!driver || driver->OpenHandle() != WD_STATUS_SUCCESS) {
        UsbLibClose(ctx);
        return WD_SYSTEM_INTERNAL_ERROR;
    }
    ctx->driverOpen = true;

    std::uint32_t version = 0;
    st = driver->Version(version);
    if (st != WD_STATUS_SUCCESS || version < 603) {
        UsbLibClose(ctx);
        return st != WD_STATUS_SUCCESS ? st : WD_INCORRECT_VERSION;
    }

    if (events) ctx->events = *events;
    if (!ctx->events.pfDeviceAttach) {
        *handle = ctx;
        return WD_STATUS_SUCCESS;
    }

    std::uint32_t mask = WDU_ACTION_MASK_ATTACH_DETACH;
    if (ctx->events.pfPowerChange) mask |= WDU_ACTION_MASK_POWER;
    WD_EVENT* ev = EventRecordFromMatches(matches, matchCount, mask, options);
    if (!ev) {
        UsbLibClose(ctx);
        return WD_INSUFFICIENT_RESOURCES;
    }
    st = EventRegister(&ctx->registration, driver, ev, EventHandler, ctx);
    delete ev;
    if (st != WD_STATUS_SUCCESS) {
        UsbLibClose(ctx);
        return st;
    }
    *handle = ctx;
    return WD_STATUS_SUCCESS;
}

void UsbLibClose(WDU_DRIVER_HANDLE ctx) {
    if (!ctx) return;
    if (ctx->driverOpen) {
        if (ctx->registration) {
            EventRelease(ctx->registration);
            ctx->registration = nullptr;
        }
        ctx->driver->CloseHandle();
        ctx->driverOpen = false;
    }
    RemoveAllDevicesFromDevList(ctx);
    delete ctx;
    --libraryUsers;
}

Status WDU_SetInterface(WDU_DEVICE_HANDLE device, int interfaceNum, int altSetting) {
    std::shared_ptr<DeviceRecord> rec;
    if (FindDeviceByCtx(device, &rec) != WD_STATUS_SUCCESS) return WD_DEVICE_NOT_FOUND;
    return rec->ctx->driver->SetInterface(rec->uniqueId, interfaceNum, altSetting);
}

Status WDU_GetDeviceInfo(WDU_DEVICE_HANDLE device, DeviceInfo* info) {
    std::shared_ptr<DeviceRecord> rec;
    if (FindDeviceByCtx(device, &rec) != WD_STATUS_SUCCESS) return WD_DEVICE_NOT_FOUND;
    if (!info) return WD_INVALID_PARAMETER;
    return rec->ctx->driver->GetDeviceInfo(rec->uniqueId, *info);
}

Status UsbTransfer(WDU_DEVICE_HANDLE device, std::uint8_t pipe, Direction dir,
                   std::uint32_t options, std::uint8_t* buffer, std::uint32_t count,
                   std::uint32_t* transferred, const std::uint8_t* setupPacket,
                   std::uint32_t timeoutMs) {
    if (transferred) *transferred = 0;
    // The reference taken here keeps the record (and through it the backend's
    // device) valid until the request has returned, whatever the event thread
    // does meanwhile.
    std::shared_ptr<DeviceRecord> rec;
    if (FindDeviceByCtx(device, &rec) != WD_STATUS_SUCCESS) return WD_DEVICE_NOT_FOUND;
    std::uint32_t moved = 0;
    Status st = rec->ctx->driver->Transfer(rec->uniqueId, pipe, dir, options, buffer, count, moved,
                                           setupPacket, timeoutMs);
    if (transferred) *transferred = moved;
    return st;
}

}  // namespace quilla::usb
