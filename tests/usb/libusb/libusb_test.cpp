// The libusb backend where no programmer is attached (as in CI): the driver
// check, the id setting, and OpenProgrammer running out its wait.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/usb/glue.h"
#include "engine/usb/libusb_driver.h"

namespace quilla::test {
namespace {

using namespace std::chrono_literals;
using namespace quilla::usb;

TEST(LibusbIds, ParseTable) {
    struct Case {
        const char* text;
        bool ok;
        std::uint16_t vid, pid;
    };
    const Case cases[] = {
        {"1209:0001", true, 0x1209, 0x0001}, {"abcd:EF01", true, 0xabcd, 0xef01},
        {"1:2", true, 1, 2},                 {"12345:0001", false, 0, 0},
        {"1209", false, 0, 0},               {":0001", false, 0, 0},
        {"1209:", false, 0, 0},              {"12g9:0001", false, 0, 0},
        {"1209:0001 ", false, 0, 0},         {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        std::uint16_t v = 7, p = 7;
        EXPECT_EQ(ParseUsbId(c.text, v, p), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.vid) << c.text;
            EXPECT_EQ(p, c.pid) << c.text;
        } else {
            EXPECT_EQ(v, 7) << c.text;  // untouched
        }
    }
}

TEST(LibusbIds, EnvironmentOverridesTheDefaultAndBadValuesFallBack) {
    std::uint16_t v, p;
    unsetenv("QUILLA_USB_ID");
    ProgrammerUsbIds(v, p);
    EXPECT_EQ(v, DefaultVendorId);
    EXPECT_EQ(p, DefaultProductId);
    setenv("QUILLA_USB_ID", "04d8:00de", 1);
    ProgrammerUsbIds(v, p);
    EXPECT_EQ(v, 0x04d8);
    EXPECT_EQ(p, 0x00de);
    setenv("QUILLA_USB_ID", "nonsense", 1);
    ProgrammerUsbIds(v, p);
    EXPECT_EQ(v, DefaultVendorId);
    EXPECT_EQ(p, DefaultProductId);
    unsetenv("QUILLA_USB_ID");
}

TEST(LibusbDriverCheck, InstalledLibraryHasHotplug) {
    // The build machine's libusb is recent: where it starts, it supports hotplug.
    const int check = LibusbCheckDriverVersion();
    if (check == 1) GTEST_SKIP() << "libusb cannot start on this machine";
    EXPECT_EQ(check, 0);
}

TEST(LibusbBackend, NoProgrammerAttachedMeansZeroAfterTheWait) {
    LibusbDriver driver;
    // An id no device carries.
    ProgrammerLink link(driver, 0xFFFF, 0xFFFE);
    link.AttachWait = 300ms;
    EXPECT_EQ(link.OpenProgrammer(), 0);
    EXPECT_FALSE(link.Open());
    std::uint8_t buf[64];
    EXPECT_EQ(link.UsbRead(buf, 64), 0);
    EXPECT_EQ(link.UsbWrite(buf, 64), 0);
    EXPECT_EQ(DevListSize(), 0);
    EXPECT_EQ(LibraryUsers(), 0);
}

}  // namespace
}  // namespace quilla::test
