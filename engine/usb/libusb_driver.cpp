#include "engine/usb/libusb_driver.h"

#include <libusb.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace quilla::usb {

const char* const UsbSetupHelp =
    "Quilla reaches the programmer through libusb-1.0 (version 1.0.16 or later).\n"
    "1. Install the library:  sudo apt install libusb-1.0-0   (or your distribution's package)\n"
    "2. Give the logged-in user access to the programmer:\n"
    "   sudo cp data/udev/70-quilla.rules /etc/udev/rules.d/\n"
    "   sudo udevadm control --reload-rules && sudo udevadm trigger\n"
    "3. Plug the programmer in again.";

bool ParseUsbId(const std::string& text, std::uint16_t& vendorId, std::uint16_t& productId) {
    auto colon = text.find(':');
    if (colon == std::string::npos) return false;
    auto hex = [](const std::string& s, std::uint16_t& out) {
        if (s.empty() || s.size() > 4) return false;
        unsigned v = 0;
        for (char c : s) {
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else return false;
            v = v * 16 + static_cast<unsigned>(d);
        }
        out = static_cast<std::uint16_t>(v);
        return true;
    };
    std::uint16_t v = 0, p = 0;
    if (!hex(text.substr(0, colon), v) || !hex(text.substr(colon + 1), p)) return false;
    vendorId = v;
    productId = p;
    return true;
}

void ProgrammerUsbIds(std::uint16_t& vendorId, std::uint16_t& productId) {
    vendorId = DefaultVendorId;
    productId = DefaultProductId;
    if (const char* env = std::getenv("QUILLA_USB_ID")) {
        if (!ParseUsbId(env, vendorId, productId)) {
            std::fprintf(stderr,
                         "quilla: QUILLA_USB_ID=\"%s\" is not vvvv:pppp (hexadecimal); "
                         "using %04x:%04x\n",
                         env, DefaultVendorId, DefaultProductId);
            vendorId = DefaultVendorId;
            productId = DefaultProductId;
        }
    }
}

namespace {
bool HasHotplug() {
    const libusb_version* v = libusb_get_version();
    const bool recent = v->major > 1 || (v->major == 1 && (v->minor > 0 || v->micro >= 16));
    return recent && libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG);
}
}  // namespace

int LibusbCheckDriverVersion() {
    libusb_context* ctx = nullptr;
    if (libusb_init(&ctx) != 0) return 1;
    const bool ok = HasHotplug();
    libusb_exit(ctx);
    return ok ? 0 : 2;
}

// ---- per-device and per-registration state ---------------------------------------------

struct LibusbDriver::Device {
    libusb_device* dev = nullptr;  // one reference held
    libusb_device_handle* handle = nullptr;
    int claimedInterface = -1;
    std::mutex io;  // interface selection and transfers, one at a time

    void Release() {
        if (handle) {
            if (claimedInterface >= 0) libusb_release_interface(handle, claimedInterface);
            libusb_close(handle);
        }
        handle = nullptr;
        claimedInterface = -1;
    }
    ~Device() {
        Release();
        if (dev) libusb_unref_device(dev);
    }
};

struct LibusbDriver::Registration {
    LibusbDriver* owner = nullptr;
    std::vector<WDU_MATCH_TABLE> matches;
    std::uint32_t options = 0;
    std::vector<libusb_hotplug_callback_handle> callbacks;
    bool live = true;
    bool waitEnabled = false;
    // Queued by the hotplug callback: the libusb event and a referenced device.
    std::deque<std::pair<int, libusb_device*>> raw;
};

LibusbDriver::LibusbDriver() = default;

LibusbDriver::~LibusbDriver() {
    std::vector<libusb_hotplug_callback_handle> callbacks;
    std::map<std::uint32_t, std::shared_ptr<Device>> devices;
    {
        std::lock_guard<std::mutex> lock(m_);
        for (auto& [h, reg] : registrations_) {
            if (reg->live) callbacks.insert(callbacks.end(), reg->callbacks.begin(), reg->callbacks.end());
            reg->live = false;
        }
        devices.swap(devices_);
    }
    if (ctx_)
        for (auto cb : callbacks) libusb_hotplug_deregister_callback(ctx_, cb);
    devices.clear();
    for (auto& [h, reg] : registrations_)
        for (auto& [ev, dev] : reg->raw) libusb_unref_device(dev);
    if (ctx_) libusb_exit(ctx_);
}

void LibusbDriver::QueueHotplug(Registration* reg, libusb_device* device, int event) {
    std::lock_guard<std::mutex> lock(reg->owner->m_);
    if (reg->live) reg->raw.emplace_back(event, libusb_ref_device(device));
}

namespace {
// Only queues: no libusb request may be made from inside the callback.
int HotplugCallback(libusb_context*, libusb_device* device, libusb_hotplug_event event, void* user) {
    LibusbDriver::QueueHotplug(static_cast<LibusbDriver::Registration*>(user), device, event);
    return 0;
}
}  // namespace

std::shared_ptr<LibusbDriver::Device> LibusbDriver::Find(std::uint32_t uniqueId) {
    std::lock_guard<std::mutex> lock(m_);
    auto it = devices_.find(uniqueId);
    return it == devices_.end() ? nullptr : it->second;
}

Status LibusbDriver::OpenHandle() {
    std::lock_guard<std::mutex> lock(m_);
    if (!ctx_ && libusb_init(&ctx_) != 0) {
        ctx_ = nullptr;
        return WD_SYSTEM_INTERNAL_ERROR;
    }
    ++handles_;
    return WD_STATUS_SUCCESS;
}

void LibusbDriver::CloseHandle() {
    std::map<std::uint32_t, std::shared_ptr<Device>> gone;
    {
        std::lock_guard<std::mutex> lock(m_);
        if (handles_ > 0) --handles_;
        if (handles_ == 0) gone.swap(devices_);
    }
    // Closed outside the lock (closing may wait for libusb's event handling,
    // which may be inside the hotplug callback waiting for the lock).
}

Status LibusbDriver::Version(std::uint32_t& version) {
    const libusb_version* v = libusb_get_version();
    // 603 and above: a library with hotplug support.
    version = HasHotplug() ? 1000u * v->major + 100u * v->minor + v->micro : 0u;
    return WD_STATUS_SUCCESS;
}

Status LibusbDriver::RegisterEvents(const WDU_MATCH_TABLE* matches, int count, std::uint32_t,
                                    std::uint32_t options, std::uint32_t& eventHandle) {
    if (!matches || count <= 0) return WD_INVALID_PARAMETER;
    Registration* reg = nullptr;
    std::uint32_t handle = 0;
    libusb_context* ctx = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_);
        if (!ctx_) return WD_SYSTEM_INTERNAL_ERROR;
        ctx = ctx_;
        handle = nextHandle_++;
        auto r = std::make_unique<Registration>();
        r->owner = this;
        r->matches.assign(matches, matches + count);
        r->options = options;
        reg = r.get();
        registrations_[handle] = std::move(r);
    }
    // Registration calls the callback at once for every present device, on
    // this thread, so the lock must not be held here.
    for (int i = 0; i < count; ++i) {
        libusb_hotplug_callback_handle cb = 0;
        int rc = libusb_hotplug_register_callback(
            ctx,
            static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                              LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
            LIBUSB_HOTPLUG_ENUMERATE,
            matches[i].wVendorId ? matches[i].wVendorId : LIBUSB_HOTPLUG_MATCH_ANY,
            matches[i].wProductId ? matches[i].wProductId : LIBUSB_HOTPLUG_MATCH_ANY,
            LIBUSB_HOTPLUG_MATCH_ANY, HotplugCallback, reg, &cb);
        if (rc != LIBUSB_SUCCESS) {
            std::vector<libusb_hotplug_callback_handle> done;
            {
                std::lock_guard<std::mutex> lock(m_);
                done = reg->callbacks;
                reg->live = false;
            }
            for (auto c : done) libusb_hotplug_deregister_callback(ctx, c);
            return rc == LIBUSB_ERROR_NOT_SUPPORTED ? WD_NOT_SUPPORTED : WD_INSUFFICIENT_RESOURCES;
        }
        std::lock_guard<std::mutex> lock(m_);
        reg->callbacks.push_back(cb);
    }
    eventHandle = handle;
    return WD_STATUS_SUCCESS;
}

Status LibusbDriver::UnregisterEvents(std::uint32_t eventHandle) {
    std::vector<libusb_hotplug_callback_handle> callbacks;
    std::vector<libusb_device*> pending;
    libusb_context* ctx = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_);
        auto it = registrations_.find(eventHandle);
        if (it == registrations_.end() || !it->second->live) return WD_INVALID_HANDLE;
        Registration& reg = *it->second;
        reg.live = false;  // a callback still under way queues nothing more
        reg.waitEnabled = false;
        callbacks = reg.callbacks;
        for (auto& [ev, dev] : reg.raw) pending.push_back(dev);
        reg.raw.clear();
        ctx = ctx_;
        // The record itself stays until the driver goes: a callback already
        // running may still look at it.
    }
    for (auto cb : callbacks) libusb_hotplug_deregister_callback(ctx, cb);
    for (auto* dev : pending) libusb_unref_device(dev);
    return WD_STATUS_SUCCESS;
}

Status LibusbDriver::EnableEventWait(std::uint32_t eventHandle) {
    std::lock_guard<std::mutex> lock(m_);
    auto it = registrations_.find(eventHandle);
    if (it == registrations_.end() || !it->second->live) return WD_INVALID_HANDLE;
    it->second->waitEnabled = true;
    return WD_STATUS_SUCCESS;
}

Status LibusbDriver::DisableEventWait(std::uint32_t eventHandle) {
    libusb_context* ctx = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_);
        auto it = registrations_.find(eventHandle);
        if (it == registrations_.end()) return WD_INVALID_HANDLE;
        it->second->waitEnabled = false;
        ctx = ctx_;
    }
#if defined(LIBUSB_API_VERSION) && LIBUSB_API_VERSION >= 0x01000105
    if (ctx) libusb_interrupt_event_handler(ctx);
#endif
    return WD_STATUS_SUCCESS;
}

WaitResult LibusbDriver::WaitForEvent(std::uint32_t eventHandle) {
    libusb_context* ctx = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_);
        auto it = registrations_.find(eventHandle);
        if (it == registrations_.end() || !it->second->waitEnabled) return WaitResult::Stopped;
        if (!it->second->raw.empty()) return WaitResult::EventPending;
        ctx = ctx_;
    }
    // Hotplug callbacks run from here (or from a transfer on the GUI thread).
    timeval tv{0, 100000};
    libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
    std::lock_guard<std::mutex> lock(m_);
    auto it = registrations_.find(eventHandle);
    if (it == registrations_.end() || !it->second->waitEnabled) return WaitResult::Stopped;
    return it->second->raw.empty() ? WaitResult::NothingToReport : WaitResult::EventPending;
}

Status LibusbDriver::PullEvent(std::uint32_t eventHandle, DriverEvent& event) {
    event = DriverEvent{};
    std::shared_ptr<Device> gone;
    libusb_device* spare = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_);
        auto it = registrations_.find(eventHandle);
        if (it == registrations_.end()) return WD_INVALID_HANDLE;
        Registration& reg = *it->second;
        if (reg.raw.empty()) return WD_STATUS_SUCCESS;
        auto [ev, dev] = reg.raw.front();
        reg.raw.pop_front();
        std::uint32_t known = 0;
        for (auto& [id, d] : devices_)
            if (d->dev == dev) known = id;
        if (ev == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED) {
            if (known) {
                spare = dev;  // repeated arrival: nothing to report
            } else {
                auto d = std::make_shared<Device>();
                d->dev = dev;  // takes the queued reference
                const std::uint32_t id = nextId_++;
                devices_[id] = std::move(d);
                event = DriverEvent{WDU_ACTION_ATTACH, reg.options & EVENT_OPTION_WAIT_FOR_ANSWER, id};
            }
        } else {
            spare = dev;
            if (known) {  // a departure without arrival reports nothing
                gone = std::move(devices_[known]);
                devices_.erase(known);
                event = DriverEvent{WDU_ACTION_DETACH, reg.options & EVENT_OPTION_WAIT_FOR_ANSWER, known};
            }
        }
    }
    if (spare) libusb_unref_device(spare);
    // `gone` is closed here, or by the last transfer still using it.
    return WD_STATUS_SUCCESS;
}

Status LibusbDriver::AnswerEvent(std::uint32_t, const DriverEvent& event) {
    if (event.action != WDU_ACTION_ATTACH || (event.options & EVENT_OPTION_ACCEPT)) return WD_STATUS_SUCCESS;
    // Refused: the device is not ours; let it go.
    std::shared_ptr<Device> d;
    {
        std::lock_guard<std::mutex> lock(m_);
        auto it = devices_.find(event.uniqueId);
        if (it == devices_.end()) return WD_STATUS_SUCCESS;
        d = it->second;
    }
    std::lock_guard<std::mutex> io(d->io);
    d->Release();
    return WD_STATUS_SUCCESS;
}

Status LibusbDriver::GetDeviceInfo(std::uint32_t uniqueId, DeviceInfo& info) {
    auto d = Find(uniqueId);
    if (!d) return WD_DEVICE_NOT_FOUND;
    info = DeviceInfo{};
    libusb_device_descriptor desc{};
    if (libusb_get_device_descriptor(d->dev, &desc) != 0) return WD_OPERATION_FAILED;
    info.vendorId = desc.idVendor;
    info.productId = desc.idProduct;
    char text[64];
    std::snprintf(text, sizeof text, "bus %u device %u", libusb_get_bus_number(d->dev),
                  libusb_get_device_address(d->dev));
    info.description = text;
    libusb_config_descriptor* cfg = nullptr;
    if (libusb_get_active_config_descriptor(d->dev, &cfg) == 0 && cfg) {
        for (int i = 0; i < cfg->bNumInterfaces; ++i) {
            const libusb_interface& itf = cfg->interface[i];
            if (itf.num_altsetting > 0) info.interfaces.push_back(itf.altsetting[0].bInterfaceNumber);
        }
        libusb_free_config_descriptor(cfg);
    }
    for (int n : info.interfaces)
        if (n == 0) info.activeInterface = 0;
    if (info.activeInterface != 0 && !info.interfaces.empty()) info.activeInterface = info.interfaces.front();
    return WD_STATUS_SUCCESS;
}

Status LibusbDriver::SetInterface(std::uint32_t uniqueId, int interfaceNum, int altSetting) {
    auto d = Find(uniqueId);
    if (!d) return WD_DEVICE_NOT_FOUND;
    std::lock_guard<std::mutex> io(d->io);
    if (!d->handle) {
        int rc = libusb_open(d->dev, &d->handle);
        if (rc != 0) {
            d->handle = nullptr;
            if (rc == LIBUSB_ERROR_ACCESS) {
                std::fprintf(stderr,
                             "quilla: no permission to open the programmer (bus %u device %u).\n"
                             "  Install the udev rule:  sudo cp data/udev/70-quilla.rules "
                             "/etc/udev/rules.d/\n"
                             "  then: sudo udevadm control --reload-rules && sudo udevadm trigger,\n"
                             "  and plug the programmer in again.\n",
                             libusb_get_bus_number(d->dev), libusb_get_device_address(d->dev));
                return WD_NO_ACCESS;
            }
            return rc == LIBUSB_ERROR_NO_DEVICE ? WD_DEVICE_NOT_FOUND : WD_OPERATION_FAILED;
        }
        libusb_set_auto_detach_kernel_driver(d->handle, 1);
    }
    if (d->claimedInterface != interfaceNum) {
        if (d->claimedInterface >= 0) libusb_release_interface(d->handle, d->claimedInterface);
        d->claimedInterface = -1;
        int rc = libusb_claim_interface(d->handle, interfaceNum);
        if (rc != 0) return rc == LIBUSB_ERROR_BUSY ? WD_DEVICE_BUSY : WD_OPERATION_FAILED;
        d->claimedInterface = interfaceNum;
    }
    int rc = libusb_set_interface_alt_setting(d->handle, interfaceNum, altSetting);
    if (rc != 0) return rc == LIBUSB_ERROR_NO_DEVICE ? WD_DEVICE_NOT_FOUND : USBD_STATUS_STALL_PID;
    return WD_STATUS_SUCCESS;
}

Status LibusbDriver::Transfer(std::uint32_t uniqueId, std::uint8_t pipe, Direction dir,
                              std::uint32_t, std::uint8_t* buffer, std::uint32_t count,
                              std::uint32_t& transferred, const std::uint8_t*,
                              std::uint32_t timeoutMs) {
    transferred = 0;
    if ((dir == Direction::In) != ((pipe & LIBUSB_ENDPOINT_IN) != 0)) return WD_INVALID_PARAMETER;
    if (count > 0x7FFFFFFFu) return WD_INVALID_PARAMETER;
    // The reference keeps the device open while the transfer runs, even when
    // its departure is handled meanwhile.
    auto d = Find(uniqueId);
    if (!d) return WD_DEVICE_NOT_FOUND;
    std::lock_guard<std::mutex> io(d->io);
    if (!d->handle || d->claimedInterface < 0) return WD_DEVICE_NOT_FOUND;
    int actual = 0;
    int rc = libusb_bulk_transfer(d->handle, pipe, buffer, static_cast<int>(count), &actual, timeoutMs);
    transferred = static_cast<std::uint32_t>(actual > 0 ? actual : 0);
    switch (rc) {
    case LIBUSB_SUCCESS: return WD_STATUS_SUCCESS;
    case LIBUSB_ERROR_TIMEOUT: return USBD_STATUS_TIMEOUT;
    case LIBUSB_ERROR_PIPE: return USBD_STATUS_STALL_PID;
    case LIBUSB_ERROR_OVERFLOW: return USBD_STATUS_BUFFER_OVERRUN;
    case LIBUSB_ERROR_NO_DEVICE: return WD_DEVICE_NOT_FOUND;
    default: return USBD_STATUS_DEV_NOT_RESPONDING;
    }
}

}  // namespace quilla::usb
