#include "engine/usb/glue.h"

namespace quilla::usb {

ProgrammerLink::ProgrammerLink(LowLevelDriver& driver, std::uint16_t vendorId,
                               std::uint16_t productId)
    : driver_(driver) {
    MatchTable.wVendorId = vendorId;
    MatchTable.wProductId = productId;
}

ProgrammerLink::~ProgrammerLink() { Release(); }

void ProgrammerLink::Release() {
    // The library goes first: once its event thread has stopped, nothing can
    // signal the attach event any more.
    if (hDriver_) {
        UsbLibClose(hDriver_);
        hDriver_ = nullptr;
    }
    DriverCtx.hDevice.store(nullptr);
    OsEventClose(DriverCtx.hEvent.exchange(nullptr));
}

int ProgrammerLink::OpenProgrammer() {
    Release();
    DriverCtx.dwInterfaceNum.store(0);
    DriverCtx.dwAlternateSetting.store(0);
    DriverCtx.hDevice.store(nullptr);
    DriverCtx.dwAttachError.store(WD_STATUS_SUCCESS);

    EventTable = WDU_EVENT_TABLE{};
    EventTable.pfDeviceAttach = DeviceAttach;
    EventTable.pfDeviceDetach = DeviceDetach;
    EventTable.pUserData = &DriverCtx;

    OsEvent* event = nullptr;
    if (OsEventCreate(&event) != WD_STATUS_SUCCESS) {
        Release();
        return 0;
    }
    DriverCtx.hEvent.store(event);

    Status st = WDU_Init(&hDriver_, &driver_, &MatchTable, 1, &EventTable, 1);
    if (st != WD_STATUS_SUCCESS) {
        Trace("library start failed: %s", WdStatusText(st));
        hDriver_ = nullptr;
        Release();
        return 0;
    }

    st = OsEventWait(event, AttachWait);
    if (st != WD_STATUS_SUCCESS) {
        Trace("time-out waiting for the programmer");
        Release();
        return 0;
    }
    if (DriverCtx.dwAttachError.load() != WD_STATUS_SUCCESS) {
        Trace("interface selection failed: %s", WdStatusText(DriverCtx.dwAttachError.load()));
        Release();
        return 0;
    }
    return 1;
}

int ProgrammerLink::DeviceAttach(WDU_DEVICE_HANDLE device, const DeviceInfo* info, void* userCtx) {
    auto* ctx = static_cast<DriverContext*>(userCtx);
    if (!info || info->activeInterface < 0 ||
        static_cast<std::uint32_t>(info->activeInterface) != ctx->dwInterfaceNum.load()) {
        Trace("device refused: active interface %d", info ? info->activeInterface : -1);
        return 0;
    }
    // Only one programmer is controlled.
    WDU_DEVICE_HANDLE none = nullptr;
    if (!ctx->hDevice.compare_exchange_strong(none, device)) {
        Trace("device refused: a programmer is already held");
        return 0;
    }
    Status st = WDU_SetInterface(device, static_cast<int>(ctx->dwInterfaceNum.load()),
                                 static_cast<int>(ctx->dwAlternateSetting.load()));
    ctx->dwAttachError.store(st);
    if (st == WD_STATUS_SUCCESS) {
        ctx->arrivals.fetch_add(1);
        Trace("programmer attached (%s)", info->description.c_str());
        OsEventSignal(ctx->hEvent.load());
        return 1;
    }
    Trace("interface selection failed: %s", WdStatusText(st));
    WDU_DEVICE_HANDLE held = device;
    ctx->hDevice.compare_exchange_strong(held, nullptr);
    OsEventSignal(ctx->hEvent.load());
    return 0;
}

void ProgrammerLink::DeviceDetach(WDU_DEVICE_HANDLE device, void* userCtx) {
    auto* ctx = static_cast<DriverContext*>(userCtx);
    WDU_DEVICE_HANDLE held = device;
    ctx->hDevice.compare_exchange_strong(held, nullptr);
    Trace("programmer detached");
}

int ProgrammerLink::UsbWrite(const std::uint8_t* data, int count) {
    if (count <= 0) return 0;
    std::uint32_t moved = 0;
    Status st = UsbTransfer(DriverCtx.hDevice.load(), PIPE_BULK_OUT, Direction::Out, 0,
                            const_cast<std::uint8_t*>(data), static_cast<std::uint32_t>(count),
                            &moved, nullptr, TransferTimeoutMs);
    TraceTransfer("OUT", data, static_cast<std::uint32_t>(count), moved, st);
    return st == WD_STATUS_SUCCESS ? static_cast<int>(moved) : 0;
}

int ProgrammerLink::UsbRead(std::uint8_t* buf, int count) {
    if (count <= 0) return 0;
    std::uint32_t moved = 0;
    Status st = UsbTransfer(DriverCtx.hDevice.load(), PIPE_BULK_IN, Direction::In, 0, buf,
                            static_cast<std::uint32_t>(count), &moved, nullptr, TransferTimeoutMs);
    TraceTransfer("IN", buf, static_cast<std::uint32_t>(count), moved, st);
    return st == WD_STATUS_SUCCESS ? static_cast<int>(moved) : 0;
}

}  // namespace quilla::usb
