// The driver library and its glue on the virtual bus: claiming one programmer,
// refusals, detach and re-attach, transfers.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "engine/usb/glue.h"
#include "engine/usb/virtual_bus.h"
#include "test_devices.h"

namespace quilla::test {
namespace {

using namespace std::chrono_literals;
using usb::ProgrammerLink;
using usb::VirtualBus;

struct LinkFixture : ::testing::Test {
    VirtualBus bus;
    std::unique_ptr<ProgrammerLink> link = std::make_unique<ProgrammerLink>(bus, TestVid, TestPid);

    void TearDown() override {
        link.reset();
        EXPECT_EQ(usb::DevListSize(), 0);
        EXPECT_EQ(usb::LibraryUsers(), 0);
    }
    // Every event queued so far has been handled by the event thread.
    bool Settled(std::uint64_t answered) {
        return Eventually([&] { return bus.EventsAnswered() >= answered; });
    }
};

TEST_F(LinkFixture, DevicePresentAtRegistrationIsClaimedAndTransfers) {
    auto dev = std::make_shared<PatternDevice>();
    auto port = bus.Plug(dev, Desc());
    ASSERT_EQ(link->OpenProgrammer(), 1);
    EXPECT_TRUE(link->Claimed());
    EXPECT_TRUE(bus.IsClaimed(port));

    std::uint8_t out[100] = {};
    EXPECT_EQ(link->UsbWrite(out, 100), 100);
    std::uint8_t in[64] = {};
    EXPECT_EQ(link->UsbRead(in, 64), 64);
    EXPECT_EQ(in[0], 1);
    EXPECT_EQ(in[63], 64);
    EXPECT_EQ(dev->writes.load(), 1);
    EXPECT_EQ(dev->reads.load(), 1);
}

TEST_F(LinkFixture, DeviceArrivingDuringTheWaitIsClaimed) {
    auto dev = std::make_shared<PatternDevice>();
    std::thread plugger([&] {
        std::this_thread::sleep_for(50ms);
        bus.Plug(dev, Desc());
    });
    EXPECT_EQ(link->OpenProgrammer(), 1);
    plugger.join();
    EXPECT_TRUE(link->Claimed());
}

TEST_F(LinkFixture, NoDeviceReturnsZeroAfterTheWaitAndReleasesTheLibrary) {
    link->AttachWait = 100ms;
    EXPECT_EQ(link->OpenProgrammer(), 0);
    EXPECT_FALSE(link->Open());
    EXPECT_EQ(usb::LibraryUsers(), 0);
    // A programmer plugged in afterwards is not noticed.
    auto port = bus.Plug(std::make_shared<PatternDevice>(), Desc());
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(bus.IsClaimed(port));
    EXPECT_FALSE(link->Claimed());
}

TEST_F(LinkFixture, OtherVendorOrProductIsNotOffered) {
    auto desc = Desc();
    desc.productId = TestPid + 1;
    auto port = bus.Plug(std::make_shared<PatternDevice>(), desc);
    link->AttachWait = 100ms;
    EXPECT_EQ(link->OpenProgrammer(), 0);
    EXPECT_FALSE(bus.IsClaimed(port));
}

TEST_F(LinkFixture, DeviceWithoutInterfaceZeroIsRefusedSoTheWaitRunsOut) {
    auto port = bus.Plug(std::make_shared<PatternDevice>(), Desc({1}));
    link->AttachWait = 150ms;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(link->OpenProgrammer(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 150ms);
    EXPECT_FALSE(bus.IsClaimed(port));
}

TEST_F(LinkFixture, FailingInterfaceSelectionReturnsZeroWithoutWaitingOut) {
    bus.Plug(std::make_shared<PatternDevice>(), Desc({0}, /*failSet=*/true));
    // A wait this long would hang the test: the failure must be signalled.
    link->AttachWait = std::chrono::hours(1);
    EXPECT_EQ(link->OpenProgrammer(), 0);
    EXPECT_FALSE(link->Claimed());
    EXPECT_NE(link->DriverCtx.dwAttachError.load(), usb::WD_STATUS_SUCCESS);
}

TEST_F(LinkFixture, DriverThatCannotBeReachedReturnsZeroAtOnce) {
    bus.failOpen = true;
    bus.Plug(std::make_shared<PatternDevice>(), Desc());
    link->AttachWait = std::chrono::hours(1);
    EXPECT_EQ(link->OpenProgrammer(), 0);
}

TEST_F(LinkFixture, DriverTooOldIsRefused) {
    bus.version = 602;
    bus.Plug(std::make_shared<PatternDevice>(), Desc());
    link->AttachWait = std::chrono::hours(1);
    EXPECT_EQ(link->OpenProgrammer(), 0);
}

TEST_F(LinkFixture, SecondMatchingDeviceIsRefusedAndNotSignalled) {
    auto first = std::make_shared<PatternDevice>();
    auto second = std::make_shared<PatternDevice>();
    auto p1 = bus.Plug(first, Desc());
    ASSERT_EQ(link->OpenProgrammer(), 1);
    ASSERT_TRUE(Settled(1));
    auto p2 = bus.Plug(second, Desc());
    ASSERT_TRUE(Settled(2));
    EXPECT_TRUE(bus.IsClaimed(p1));
    EXPECT_FALSE(bus.IsClaimed(p2));
    EXPECT_EQ(usb::DevListSize(), 1);
    // Not signalled: the attach event stays unsignalled.
    EXPECT_EQ(usb::OsEventWait(link->DriverCtx.hEvent.load(), 20ms), usb::WD_TIME_OUT_EXPIRED);
    // Transfers still go to the first device.
    std::uint8_t buf[64];
    EXPECT_EQ(link->UsbRead(buf, 64), 64);
    EXPECT_EQ(first->reads.load(), 1);
    EXPECT_EQ(second->reads.load(), 0);
}

TEST_F(LinkFixture, TwoDevicesAtRegistrationOnlyOneIsClaimed) {
    auto p1 = bus.Plug(std::make_shared<PatternDevice>(), Desc());
    auto p2 = bus.Plug(std::make_shared<PatternDevice>(), Desc());
    ASSERT_EQ(link->OpenProgrammer(), 1);
    ASSERT_TRUE(Settled(2));
    EXPECT_NE(bus.IsClaimed(p1), bus.IsClaimed(p2));
    EXPECT_EQ(usb::DevListSize(), 1);
}

TEST_F(LinkFixture, AfterDetachReadFailsWithoutReachingTheDevice) {
    auto dev = std::make_shared<PatternDevice>();
    auto port = bus.Plug(dev, Desc());
    ASSERT_EQ(link->OpenProgrammer(), 1);
    bus.Unplug(port);
    ASSERT_TRUE(Eventually([&] { return !link->Claimed(); }));
    const auto reached = bus.TransfersReached();
    std::uint8_t buf[64];
    EXPECT_EQ(link->UsbRead(buf, 64), 0);
    EXPECT_EQ(link->UsbWrite(buf, 64), 0);
    EXPECT_EQ(bus.TransfersReached(), reached);
    EXPECT_EQ(dev->reads.load(), 0);
    EXPECT_EQ(usb::DevListSize(), 0);
}

TEST_F(LinkFixture, DeviceAttachedAgainIsClaimedAgain) {
    auto dev = std::make_shared<PatternDevice>();
    auto port = bus.Plug(dev, Desc());
    ASSERT_EQ(link->OpenProgrammer(), 1);
    bus.Unplug(port);
    ASSERT_TRUE(Eventually([&] { return !link->Claimed(); }));
    auto again = bus.Plug(dev, Desc());
    ASSERT_TRUE(Eventually([&] { return link->Claimed(); }));
    EXPECT_TRUE(bus.IsClaimed(again));
    std::uint8_t buf[64];
    EXPECT_EQ(link->UsbRead(buf, 64), 64);
}

TEST_F(LinkFixture, DeviceGoneOnItsOwnIsReportedAsDetach) {
    auto dev = std::make_shared<PatternDevice>();
    auto gone = std::make_shared<std::atomic<bool>>(false);
    auto desc = Desc();
    desc.present = [gone] { return !gone->load(); };
    bus.Plug(dev, desc);
    ASSERT_EQ(link->OpenProgrammer(), 1);
    gone->store(true);
    std::uint8_t buf[64];
    link->UsbRead(buf, 64);  // the bus notices after this transfer
    EXPECT_TRUE(Eventually([&] { return !link->Claimed(); }));
    EXPECT_TRUE(bus.Ports().empty());
}

TEST_F(LinkFixture, DetachDuringATransferKeepsWhatTheTransferUses) {
    auto gate = std::make_shared<GateDevice>();
    auto port = bus.Plug(gate, Desc());
    ASSERT_EQ(link->OpenProgrammer(), 1);
    std::uint8_t buf[64] = {};
    int got = -1;
    std::thread gui([&] { got = link->UsbRead(buf, 64); });
    gate->WaitInside();
    bus.Unplug(port);
    // The detach is handled completely while the transfer is still inside.
    ASSERT_TRUE(Eventually([&] { return !link->Claimed() && usb::DevListSize() == 0; }));
    gate->Open();
    gui.join();
    // The transfer finished against valid records (AddressSanitizer checks the
    // memory) and brought its bytes.
    EXPECT_EQ(got, 64);
    EXPECT_EQ(buf[0], 0x5A);
    // The next one fails: the device is gone.
    EXPECT_EQ(link->UsbRead(buf, 64), 0);
}

}  // namespace
}  // namespace quilla::test
