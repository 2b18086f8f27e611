// The Flash28 model's datasheet rules, driven cycle by cycle through the
// engine on the "vex300" design (a form opened for its setup and address
// routing): the 28F010's command register only with 12 V on VPP, the
// 28F001BX's status register (VPP low, command sequence error, clearing) and
// its identifier.
#include "algo/memory/socket_form.h"
#include "sim/chips/flash28.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

struct Cycles {
    Cycles(SimBench& bench, const std::string& params)
        : b(bench), f(dynamic_cast<SocketForm&>(b.Open(params))), ep3(b.wb->Ep3) {
        ep3.GndPin(20);
        ep3.SetVpp(12000);
        ep3.VccPin(36);
    }
    void Write(std::int32_t a, std::uint8_t v) {
        ep3.SetPortMode(proto::PortModeReset);
        f.SetAddressParallel(a);
        ep3.PinLow(26);
        ep3.PinHigh(28);
        ep3.WriteLatch(2, v);
        ep3.UsbPut1(proto::OpBusWrite);
        ep3.UsbPut1(proto::OpWait1ms);
    }
    std::uint8_t Read(std::int32_t a) {
        ep3.SetPortMode(proto::PortModeRead);
        f.SetAddressParallel(a);
        ep3.PinLow(26);
        ep3.PinLow(28);
        ep3.UsbPut1(proto::OpCaptureData);
        const std::uint8_t v = ep3.UsbReadReply();
        ep3.PinHigh(28);
        return v;
    }
    void Vpp(bool on) { ep3.VppPin(on ? 5 : 0); }
    ~Cycles() {
        ep3.VppPin(0);
        ep3.VccPin(0);
        ep3.UsbFlush();
    }
    SimBench& b;
    SocketForm& f;
    TEp3& ep3;
};

TEST(Flash28Model, Bulk28f010TakesCommandsOnlyWithTwelveVoltsOnVpp) {
    SimBench b("28F010");
    b.sim->GetChip()->MutableContents()[0] = 0x5A;
    Cycles c(b, "PI28F 4");
    c.Write(0, 0x90);  // no VPP: the array still reads
    EXPECT_EQ(c.Read(0), 0x5A);
    c.Vpp(true);
    c.Write(0, 0x90);
    EXPECT_EQ(c.Read(0), 0x89);
    EXPECT_EQ(c.Read(1), 0xB4);
    c.Write(0, 0x00);
    EXPECT_EQ(c.Read(0), 0x5A);
    c.Write(0x10, 0x40);
    c.Write(0x10, 0x33);
    c.Write(0x10, 0xC0);  // the program verify ends the program
    EXPECT_EQ(c.Read(0x10), 0x33);
    c.Vpp(false);  // VPP gone: the command register is off, the array reads
    EXPECT_EQ(c.Read(0), 0x5A);
}

TEST(Flash28Model, BootBlockStatusRegister) {
    SimBench b("28F001BX-T");
    Cycles c(b, "PI28F 4");  // only its routing (A17 high holds RP# high)
    c.Write(0x100, 0x40);
    c.Write(0x100, 0x00);
    EXPECT_EQ(c.Read(0x100), 0x98);  // VPP low: SR.3 and SR.4
    c.Vpp(true);
    c.Write(0x100, 0x40);
    c.Write(0x100, 0x00);
    EXPECT_EQ(c.Read(0x100), 0x98);  // nothing starts before the status is cleared
    EXPECT_EQ(b.Chip()[0x100], 0xFF);
    c.Write(0, 0x50);
    c.Write(0x100, 0x40);
    c.Write(0x100, 0x00);
    EXPECT_EQ(c.Read(0x100), 0x80);
    EXPECT_EQ(b.Chip()[0x100], 0x00);
    c.Write(0x100, 0x20);
    c.Write(0x100, 0xFF);  // an erase set-up followed by anything but D0h
    EXPECT_EQ(c.Read(0x100), 0xB0);
    c.Write(0, 0x50);
    c.Write(0, 0x90);
    EXPECT_EQ(c.Read(0), 0x89);
    EXPECT_EQ(c.Read(1), 0x94);
    c.Write(0x1E000, 0x40);  // the boot block without 12 V on RP# or OE#
    c.Write(0x1E000, 0x00);
    EXPECT_EQ(c.Read(0), 0x90);
    EXPECT_EQ(b.Chip()[0x1E000], 0xFF);
}

}  // namespace
}  // namespace quilla::test
