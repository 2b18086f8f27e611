#include "engine/usb/virtual_bus.h"

#include <algorithm>

namespace quilla::usb {

VirtualBus::~VirtualBus() = default;

bool VirtualBus::Matches(const Registration& r, const VirtualDeviceDescriptor& desc) {
    for (const auto& m : r.matches) {
        if ((m.wVendorId == 0 || m.wVendorId == desc.vendorId) &&
            (m.wProductId == 0 || m.wProductId == desc.productId))
            return true;
    }
    return false;
}

void VirtualBus::QueueEvent(std::uint32_t action, std::uint32_t uniqueId,
                            const VirtualDeviceDescriptor& desc) {
    for (auto& [handle, reg] : registrations_) {
        if (!Matches(reg, desc)) continue;
        reg.pending.push_back(DriverEvent{action, reg.options & EVENT_OPTION_WAIT_FOR_ANSWER, uniqueId});
    }
    cv_.notify_all();
}

std::uint32_t VirtualBus::Plug(std::shared_ptr<Transport> device, VirtualDeviceDescriptor desc) {
    std::lock_guard<std::mutex> lock(m_);
    const std::uint32_t id = nextId_++;
    auto dev = std::make_shared<Device>();
    dev->transport = std::move(device);
    dev->desc = std::move(desc);
    devices_[id] = dev;
    QueueEvent(WDU_ACTION_ATTACH, id, dev->desc);
    return id;
}

void VirtualBus::Unplug(std::uint32_t port) {
    std::shared_ptr<Device> gone;
    {
        std::lock_guard<std::mutex> lock(m_);
        auto it = devices_.find(port);
        if (it == devices_.end()) return;
        gone = std::move(it->second);
        devices_.erase(it);
        QueueEvent(WDU_ACTION_DETACH, port, gone->desc);
    }
    // `gone` may still be in use by a transfer; it is freed with its last user.
}

std::vector<std::uint32_t> VirtualBus::Ports() const {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<std::uint32_t> ports;
    for (const auto& [id, dev] : devices_) ports.push_back(id);
    return ports;
}

bool VirtualBus::IsClaimed(std::uint32_t port) const {
    std::lock_guard<std::mutex> lock(m_);
    auto it = devices_.find(port);
    return it != devices_.end() && it->second->claimed;
}

std::uint64_t VirtualBus::TransfersReached() const {
    std::lock_guard<std::mutex> lock(m_);
    return reached_;
}

std::shared_ptr<VirtualBus::Device> VirtualBus::Find(std::uint32_t uniqueId) const {
    auto it = devices_.find(uniqueId);
    return it == devices_.end() ? nullptr : it->second;
}

Status VirtualBus::OpenHandle() {
    std::lock_guard<std::mutex> lock(m_);
    if (failOpen) return WD_SYSTEM_INTERNAL_ERROR;
    ++handles_;
    return WD_STATUS_SUCCESS;
}

void VirtualBus::CloseHandle() {
    std::lock_guard<std::mutex> lock(m_);
    if (handles_ > 0) --handles_;
    if (handles_ == 0) {
        // Nobody holds the driver: every claim is released.
        for (auto& [id, dev] : devices_) dev->claimed = false;
    }
}

Status VirtualBus::Version(std::uint32_t& v) {
    std::lock_guard<std::mutex> lock(m_);
    v = version;
    return WD_STATUS_SUCCESS;
}

Status VirtualBus::RegisterEvents(const WDU_MATCH_TABLE* matches, int count, std::uint32_t,
                                  std::uint32_t options, std::uint32_t& eventHandle) {
    if (!matches || count <= 0) return WD_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(m_);
    const std::uint32_t handle = nextHandle_++;
    Registration& reg = registrations_[handle];
    reg.matches.assign(matches, matches + count);
    reg.options = options;
    // Devices already present arrive at once.
    for (const auto& [id, dev] : devices_)
        if (Matches(reg, dev->desc))
            reg.pending.push_back(DriverEvent{WDU_ACTION_ATTACH, options & EVENT_OPTION_WAIT_FOR_ANSWER, id});
    eventHandle = handle;
    return WD_STATUS_SUCCESS;
}

Status VirtualBus::UnregisterEvents(std::uint32_t eventHandle) {
    std::lock_guard<std::mutex> lock(m_);
    if (registrations_.erase(eventHandle) == 0) return WD_INVALID_HANDLE;
    cv_.notify_all();
    return WD_STATUS_SUCCESS;
}

Status VirtualBus::EnableEventWait(std::uint32_t eventHandle) {
    std::lock_guard<std::mutex> lock(m_);
    auto it = registrations_.find(eventHandle);
    if (it == registrations_.end()) return WD_INVALID_HANDLE;
    it->second.waitEnabled = true;
    return WD_STATUS_SUCCESS;
}

Status VirtualBus::DisableEventWait(std::uint32_t eventHandle) {
    std::lock_guard<std::mutex> lock(m_);
    auto it = registrations_.find(eventHandle);
    if (it == registrations_.end()) return WD_INVALID_HANDLE;
    it->second.waitEnabled = false;
    cv_.notify_all();
    return WD_STATUS_SUCCESS;
}

WaitResult VirtualBus::WaitForEvent(std::uint32_t eventHandle) {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
        auto it = registrations_.find(eventHandle);
        if (it == registrations_.end() || !it->second.waitEnabled) return WaitResult::Stopped;
        if (!it->second.pending.empty()) return WaitResult::EventPending;
        cv_.wait(lock);
    }
}

Status VirtualBus::PullEvent(std::uint32_t eventHandle, DriverEvent& event) {
    std::lock_guard<std::mutex> lock(m_);
    event = DriverEvent{};
    auto it = registrations_.find(eventHandle);
    if (it == registrations_.end()) return WD_INVALID_HANDLE;
    if (it->second.pending.empty()) return WD_STATUS_SUCCESS;
    event = it->second.pending.front();
    it->second.pending.pop_front();
    return WD_STATUS_SUCCESS;
}

std::uint64_t VirtualBus::EventsAnswered() const {
    std::lock_guard<std::mutex> lock(m_);
    return answered_;
}

Status VirtualBus::AnswerEvent(std::uint32_t, const DriverEvent& event) {
    std::lock_guard<std::mutex> lock(m_);
    ++answered_;
    // A refused arrival leaves the device unclaimed.
    if (event.action == WDU_ACTION_ATTACH && !(event.options & EVENT_OPTION_ACCEPT)) {
        if (auto dev = Find(event.uniqueId)) dev->claimed = false;
    }
    return WD_STATUS_SUCCESS;
}

Status VirtualBus::GetDeviceInfo(std::uint32_t uniqueId, DeviceInfo& info) {
    std::lock_guard<std::mutex> lock(m_);
    auto dev = Find(uniqueId);
    if (!dev) return WD_DEVICE_NOT_FOUND;
    info = DeviceInfo{};
    info.vendorId = dev->desc.vendorId;
    info.productId = dev->desc.productId;
    info.interfaces = dev->desc.interfaces;
    if (!info.interfaces.empty()) {
        bool has0 = std::find(info.interfaces.begin(), info.interfaces.end(), 0) != info.interfaces.end();
        info.activeInterface = has0 ? 0 : info.interfaces.front();
    }
    info.description = dev->desc.name + " on virtual port " + std::to_string(uniqueId);
    return WD_STATUS_SUCCESS;
}

Status VirtualBus::SetInterface(std::uint32_t uniqueId, int interfaceNum, int altSetting) {
    std::lock_guard<std::mutex> lock(m_);
    auto dev = Find(uniqueId);
    if (!dev) return WD_DEVICE_NOT_FOUND;
    if (dev->desc.setInterfaceFails || altSetting != 0 ||
        std::find(dev->desc.interfaces.begin(), dev->desc.interfaces.end(), interfaceNum) ==
            dev->desc.interfaces.end())
        return USBD_STATUS_STALL_PID;
    dev->claimed = true;
    return WD_STATUS_SUCCESS;
}

Status VirtualBus::Transfer(std::uint32_t uniqueId, std::uint8_t pipe, Direction dir,
                            std::uint32_t, std::uint8_t* buffer, std::uint32_t count,
                            std::uint32_t& transferred, const std::uint8_t*, std::uint32_t) {
    transferred = 0;
    std::shared_ptr<Device> dev;
    {
        std::lock_guard<std::mutex> lock(m_);
        dev = Find(uniqueId);
        if (!dev) return WD_DEVICE_NOT_FOUND;
        if (!dev->claimed) return WD_DEVICE_BUSY;
        ++reached_;
    }
    if ((dir == Direction::Out) != (pipe == PIPE_BULK_OUT) ||
        (pipe != PIPE_BULK_OUT && pipe != PIPE_BULK_IN))
        return WD_INVALID_PARAMETER;

    Status st = WD_STATUS_SUCCESS;
    {
        std::lock_guard<std::mutex> io(dev->io);
        const int n = static_cast<int>(count);
        if (dir == Direction::Out) {
            int sent = dev->transport->BulkWrite(buffer, n);
            if (sent == n) transferred = count;
            else st = USBD_STATUS_DEV_NOT_RESPONDING;
        } else {
            int got = dev->transport->BulkRead(buffer, n);
            if (got > 0 && got <= n) transferred = static_cast<std::uint32_t>(got);
            else st = USBD_STATUS_TIMEOUT;
        }
    }
    // A device that went away on its own is unplugged now.
    if (dev->desc.present && !dev->desc.present()) Unplug(uniqueId);
    return st;
}

}  // namespace quilla::usb
