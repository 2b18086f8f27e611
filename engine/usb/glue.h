// The engine's glue on top of the USB driver library: claims exactly one
// programmer (interface 0, alternate setting 0) and offers UsbWrite and UsbRead
// (bulk OUT 0x02 / bulk IN 0x82, 5,000 ms) to the command queue as its
// Transport, and OpenProgrammer to the start-up connection.
//
// DeviceAttach and DeviceDetach run on the library's event thread; transfers
// and OpenProgrammer on the GUI thread. The DriverCtx fields they share are
// atomic; the attach status is read only after the attach event was taken.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "engine/transport.h"
#include "engine/usb/wdu.h"

namespace quilla::usb {

inline constexpr std::uint32_t TransferTimeoutMs = 5000;
inline constexpr std::chrono::milliseconds AttachWaitDefault{10000};

struct DriverContext {
    std::atomic<std::uint32_t> dwInterfaceNum{0};
    std::atomic<std::uint32_t> dwAlternateSetting{0};
    std::atomic<WDU_DEVICE_HANDLE> hDevice{nullptr};
    std::atomic<OsEvent*> hEvent{nullptr};
    std::atomic<Status> dwAttachError{WD_STATUS_SUCCESS};
    std::atomic<std::uint32_t> arrivals{0};  // programmers claimed so far
};

class ProgrammerLink : public Transport {
public:
    ProgrammerLink(LowLevelDriver& driver, std::uint16_t vendorId, std::uint16_t productId);
    ~ProgrammerLink() override;
    ProgrammerLink(const ProgrammerLink&) = delete;
    ProgrammerLink& operator=(const ProgrammerLink&) = delete;

    // Registers for the programmer and waits up to AttachWait for one to be
    // claimed: 1 when claimed (the library stays open for the link's life),
    // else 0 (the library is released; a later arrival is not noticed).
    int OpenProgrammer();

    // One bulk transfer each: the bytes moved, 0 on any failure.
    int UsbWrite(const std::uint8_t* data, int count);
    int UsbRead(std::uint8_t* buf, int count);

    int BulkWrite(const std::uint8_t* data, int n) override { return UsbWrite(data, n); }
    int BulkRead(std::uint8_t* buf, int n) override { return UsbRead(buf, n); }
    std::uint32_t Arrivals() const override { return DriverCtx.arrivals.load(); }

    static int DeviceAttach(WDU_DEVICE_HANDLE device, const DeviceInfo* info, void* userCtx);
    static void DeviceDetach(WDU_DEVICE_HANDLE device, void* userCtx);

    // A programmer is claimed right now.
    bool Claimed() const { return DriverCtx.hDevice.load() != nullptr; }
    // The library is held (OpenProgrammer succeeded).
    bool Open() const { return hDriver_ != nullptr; }

    DriverContext DriverCtx;
    WDU_MATCH_TABLE MatchTable;
    WDU_EVENT_TABLE EventTable;
    // How long OpenProgrammer waits for the attach (tests shorten it).
    std::chrono::milliseconds AttachWait = AttachWaitDefault;

private:
    void Release();

    LowLevelDriver& driver_;
    WDU_DRIVER_HANDLE hDriver_ = nullptr;
};

}  // namespace quilla::usb
