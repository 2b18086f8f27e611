// The library's event layer: repeated arrivals, departures of unknown devices,
// a wait that reports nothing, the device list and its records.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "engine/usb/glue.h"
#include "engine/usb/virtual_bus.h"
#include "test_devices.h"

namespace quilla::test {
namespace {

using namespace std::chrono_literals;
using namespace quilla::usb;

struct Counts {
    std::atomic<int> attaches{0};
    std::atomic<int> detaches{0};
    std::atomic<int> accept{1};
};

int CountingAttach(WDU_DEVICE_HANDLE, const DeviceInfo*, void* ctx) {
    auto* c = static_cast<Counts*>(ctx);
    ++c->attaches;
    return c->accept.load();
}
void CountingDetach(WDU_DEVICE_HANDLE, void* ctx) { ++static_cast<Counts*>(ctx)->detaches; }

struct LibraryFixture : ::testing::Test {
    VirtualBus bus;
    Counts counts;
    WDU_DRIVER_HANDLE lib = nullptr;
    WDU_MATCH_TABLE match;
    WDU_EVENT_TABLE events;

    void Init(LowLevelDriver& driver) {
        match.wVendorId = TestVid;
        match.wProductId = TestPid;
        events.pfDeviceAttach = CountingAttach;
        events.pfDeviceDetach = CountingDetach;
        events.pUserData = &counts;
        ASSERT_EQ(WDU_Init(&lib, &driver, &match, 1, &events, 1), WD_STATUS_SUCCESS);
    }
    void TearDown() override {
        UsbLibClose(lib);
        EXPECT_EQ(DevListSize(), 0);
        EXPECT_EQ(LibraryUsers(), 0);
    }
};

TEST_F(LibraryFixture, RepeatedArrivalIsHarmless) {
    bus.Plug(std::make_shared<PatternDevice>(), Desc());
    Init(bus);
    ASSERT_TRUE(Eventually([&] { return counts.attaches.load() == 1; }));
    std::shared_ptr<DeviceRecord> held;
    ASSERT_EQ(FindDeviceByUniqueID(bus.Ports().front(), &held), WD_STATUS_SUCCESS);

    // The same arrival reported once more (handled here as the event thread would).
    WD_EVENT again;
    again.action = WDU_ACTION_ATTACH;
    again.uniqueId = bus.Ports().front();
    EventHandler(&again, lib);
    EXPECT_EQ(counts.attaches.load(), 1);
    EXPECT_EQ(DevListSize(), 1);
    EXPECT_TRUE(again.options & EVENT_OPTION_ACCEPT);
    std::shared_ptr<DeviceRecord> still;
    ASSERT_EQ(FindDeviceByUniqueID(again.uniqueId, &still), WD_STATUS_SUCCESS);
    EXPECT_EQ(still.get(), held.get());
}

TEST_F(LibraryFixture, DepartureWithoutArrivalIsHarmless) {
    Init(bus);
    WD_EVENT gone;
    gone.action = WDU_ACTION_DETACH;
    gone.uniqueId = 4711;
    EventHandler(&gone, lib);
    EXPECT_EQ(counts.detaches.load(), 0);
    EXPECT_EQ(DevListSize(), 0);
}

TEST_F(LibraryFixture, RefusedDeviceLeavesTheList) {
    counts.accept = 0;
    Init(bus);
    bus.Plug(std::make_shared<PatternDevice>(), Desc());
    ASSERT_TRUE(Eventually([&] { return bus.EventsAnswered() == 1; }));
    EXPECT_EQ(counts.attaches.load(), 1);
    EXPECT_EQ(DevListSize(), 0);
    // Its departure is not reported to the glue.
    bus.Unplug(bus.Ports().front());
    ASSERT_TRUE(Eventually([&] { return bus.EventsAnswered() == 2; }));
    EXPECT_EQ(counts.detaches.load(), 0);
}

TEST_F(LibraryFixture, UnknownActionsAndPowerActionsWithoutCallbackDoNothing) {
    Init(bus);
    bus.Plug(std::make_shared<PatternDevice>(), Desc());
    ASSERT_TRUE(Eventually([&] { return counts.attaches.load() == 1; }));
    for (std::uint32_t action : {0u, 3u, 12u, 13u, 99u}) {
        WD_EVENT ev;
        ev.action = action;
        ev.uniqueId = bus.Ports().front();
        EventHandler(&ev, lib);
    }
    EXPECT_EQ(counts.attaches.load(), 1);
    EXPECT_EQ(counts.detaches.load(), 0);
    EXPECT_EQ(DevListSize(), 1);
}

TEST_F(LibraryFixture, RequestsOnARecordNotOnTheListFindNoDevice) {
    Init(bus);
    DeviceRecord stray;
    std::uint8_t buf[8];
    std::uint32_t moved = 99;
    EXPECT_EQ(UsbTransfer(&stray, PIPE_BULK_IN, Direction::In, 0, buf, 8, &moved, nullptr, 5000),
              WD_DEVICE_NOT_FOUND);
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(WDU_SetInterface(&stray, 0, 0), WD_DEVICE_NOT_FOUND);
    DeviceInfo info;
    EXPECT_EQ(WDU_GetDeviceInfo(&stray, &info), WD_DEVICE_NOT_FOUND);
    EXPECT_EQ(UsbTransfer(nullptr, PIPE_BULK_IN, Direction::In, 0, buf, 8, &moved, nullptr, 5000),
              WD_DEVICE_NOT_FOUND);
    EXPECT_EQ(bus.TransfersReached(), 0u);
}

// A driver whose first waits report nothing.
class QuietFirstBus : public VirtualBus {
public:
    std::atomic<int> quiet{5};
    std::atomic<int> waits{0};
    std::atomic<int> pulls{0};
    WaitResult WaitForEvent(std::uint32_t h) override {
        ++waits;
        if (quiet.load() > 0) {
            --quiet;
            return WaitResult::NothingToReport;
        }
        return VirtualBus::WaitForEvent(h);
    }
    Status PullEvent(std::uint32_t h, DriverEvent& ev) override {
        ++pulls;
        return VirtualBus::PullEvent(h, ev);
    }
};

TEST_F(LibraryFixture, WaitReportingNothingWaitsAgainWithoutPulling) {
    QuietFirstBus quiet;
    Init(quiet);
    ASSERT_TRUE(Eventually([&] { return quiet.waits.load() >= 6; }));
    EXPECT_EQ(quiet.pulls.load(), 0);
    quiet.Plug(std::make_shared<PatternDevice>(), Desc());
    ASSERT_TRUE(Eventually([&] { return counts.attaches.load() == 1; }));
    EXPECT_EQ(quiet.pulls.load(), 1);
    UsbLibClose(lib);
    lib = nullptr;
}

TEST_F(LibraryFixture, CloseStopsTheEventThreadAndForgetsItsDevices) {
    Init(bus);
    bus.Plug(std::make_shared<PatternDevice>(), Desc());
    bus.Plug(std::make_shared<PatternDevice>(), Desc());
    ASSERT_TRUE(Eventually([&] { return counts.attaches.load() == 2; }));
    EXPECT_EQ(DevListSize(), 2);
    UsbLibClose(lib);
    lib = nullptr;
    EXPECT_EQ(DevListSize(), 0);
    // Nothing listens any more.
    bus.Plug(std::make_shared<PatternDevice>(), Desc());
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(counts.attaches.load(), 2);
}

TEST(DevList, NewestFirstAndRemovalByIdentifier) {
    auto a = std::make_shared<DeviceRecord>();
    auto b = std::make_shared<DeviceRecord>();
    a->uniqueId = 1;
    b->uniqueId = 2;
    ASSERT_EQ(AddDeviceToDevList(a), WD_STATUS_SUCCESS);
    ASSERT_EQ(AddDeviceToDevList(b), WD_STATUS_SUCCESS);
    EXPECT_EQ(FindDeviceByCtx(a.get()), WD_STATUS_SUCCESS);
    std::shared_ptr<DeviceRecord> out;
    EXPECT_EQ(RemoveDeviceFromDevList(1, &out), WD_STATUS_SUCCESS);
    EXPECT_EQ(out, a);
    EXPECT_EQ(FindDeviceByCtx(a.get()), WD_DEVICE_NOT_FOUND);
    EXPECT_EQ(RemoveDeviceFromDevList(1, nullptr), WD_DEVICE_NOT_FOUND);
    EXPECT_EQ(FindDeviceByUniqueID(3, nullptr), WD_DEVICE_NOT_FOUND);
    EXPECT_EQ(RemoveAllDevicesFromDevList(nullptr), WD_STATUS_SUCCESS);  // b has ctx null
    EXPECT_EQ(DevListSize(), 0);
}

TEST(EventRecord, FromMatchesRefusesInconsistentTables) {
    WDU_MATCH_TABLE m;
    EXPECT_EQ(EventRecordFromMatches(&m, 0, 0, 0), nullptr);
    EXPECT_EQ(EventRecordFromMatches(nullptr, 1, 0, 0), nullptr);
    std::unique_ptr<WD_EVENT> ok(EventRecordFromMatches(&m, 1, WDU_ACTION_MASK_ATTACH_DETACH, 1));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->matches.size(), 1u);
    EXPECT_EQ(ok->options, 1u);
}

TEST(OsEvent, AutoResetSignalIsTakenByOneWait) {
    OsEvent* ev = nullptr;
    ASSERT_EQ(OsEventCreate(&ev), WD_STATUS_SUCCESS);
    EXPECT_EQ(OsEventWait(ev, 0ms), WD_TIME_OUT_EXPIRED);
    OsEventSignal(ev);
    EXPECT_EQ(OsEventWait(ev, 0ms), WD_STATUS_SUCCESS);
    EXPECT_EQ(OsEventWait(ev, 0ms), WD_TIME_OUT_EXPIRED);
    OsEventClose(ev);
    OsEventClose(nullptr);
    EXPECT_EQ(OsEventWait(nullptr, 0ms), WD_SYSTEM_INTERNAL_ERROR);
}

TEST(StatusText, KnownAndUnknownCodes) {
    EXPECT_STREQ(WdStatusText(WD_DEVICE_NOT_FOUND), "Device not found");
    EXPECT_STREQ(WdStatusText(WD_TIME_OUT_EXPIRED), "TimeOut expired");
    EXPECT_STREQ(WdStatusText(0x12345678), "Unrecognized error code");
}

}  // namespace
}  // namespace quilla::test
