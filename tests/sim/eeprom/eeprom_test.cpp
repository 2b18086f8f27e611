// The parallel EEPROM model against its datasheets, driven pin by pin: the
// byte-load window, DATA polling, the power-up write inhibit, software data
// protection and the chip clear.
#include "algo/memory/p2816.h"
#include "sim/chips/eeprom.h"
#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

using namespace proto;

// An AT28C256 (28-pin, WE on socket 33) powered through the byte-write form's
// routing; loads and reads by pin.
struct Bus : SimBench {
    explicit Bus(const char* part = "AT28C256", const char* params = "P2816 8 era=1")
        : SimBench(part), f(dynamic_cast<SocketForm&>(Open(params))), e(wb->Ep3) {
        e.GndPin(20);
        e.VccPin(34);  // its 10 ms settle wait covers the power-up write inhibit
        e.SetPortMode(PortModeReset);
        e.PinHigh(26);
        e.PinHigh(28);
    }
    sim::EepromChip& Chip() { return ChipAs<sim::EepromChip>(); }
    // One write cycle of the bus: CE low, WE pulse, CE high, with OE high.
    void Load(std::uint32_t a, std::uint8_t d) {
        f.SetAddressParallel(static_cast<std::int32_t>(a));
        e.WriteLatch(2, d);
        e.PinHigh(28);
        e.PinLow(26);
        e.PinLow(33);
        e.PinHigh(33);
        e.PinHigh(26);
    }
    void Wait(int us100) {
        for (int i = 0; i < us100; ++i) e.UsbPut1(OpWait100us);
    }
    std::uint8_t Read(std::uint32_t a) {
        e.SetPortMode(PortModeRead);
        f.SetAddressParallel(static_cast<std::int32_t>(a));
        e.PinLow(26);
        e.PinLow(28);
        e.UsbPut1(OpCaptureData);
        const std::uint8_t v = e.UsbReadReply();
        e.PinHigh(28);
        e.PinHigh(26);
        e.SetPortMode(PortModeReset);
        return v;
    }
    SocketForm& f;
    TEp3& e;
};

TEST(EepromModel, LoadsInsideTheByteLoadWindowShareOneWriteCycle) {
    Bus b;
    b.Load(0x100, 0x11);
    b.Wait(1);  // 100 us: inside the 150 us window
    b.Load(0x101, 0x22);
    b.Wait(1);
    b.Load(0x13F, 0x33);
    b.Wait(100);
    b.e.UsbFlush();
    EXPECT_EQ(b.Chip().WriteCycles(), 1u);
    b.Load(0x140, 0x44);
    b.Wait(2);  // 200 us: the window closed, the next load is a cycle of its own
    b.Load(0x141, 0x55);
    b.Wait(100);
    b.e.UsbFlush();
    EXPECT_EQ(b.Chip().WriteCycles(), 2u);  // the second load fell into the first's cycle
    auto c = b.Chip().Contents();
    EXPECT_EQ(c[0x100], 0x11);
    EXPECT_EQ(c[0x101], 0x22);
    EXPECT_EQ(c[0x13F], 0x33);
    EXPECT_EQ(c[0x140], 0x44);
    EXPECT_EQ(c[0x141], 0xFF);  // ignored while busy
}

TEST(EepromModel, DataPollingShowsDq7InvertedUntilTheCycleEnds) {
    Bus b;
    b.Load(0x10, 0x5A);
    b.Wait(3);  // the window closes, the 5 ms cycle runs
    EXPECT_EQ(b.Read(0x10), 0x5A ^ 0x80);
    EXPECT_EQ(b.Read(0x7000), 0x5A ^ 0x80);  // any address polls
    b.Wait(60);
    EXPECT_EQ(b.Read(0x10), 0x5A);
}

TEST(EepromModel, WritesRightAfterPowerUpAreInhibited) {
    SimBench s("AT28C64");
    auto& f = dynamic_cast<SocketForm&>(s.Open("P2816 7"));
    TEp3& e = s.wb->Ep3;
    e.GndPin(20);
    e.SetPortMode(PortModeReset);
    f.SetAddressParallel(0);
    e.WriteLatch(2, 0x00);
    e.PinHigh(28);
    e.PinLow(26);
    // VCC on and a WE pulse in the same transfer: 1 ms after VCC, inside the 5 ms inhibit.
    e.UsbPut4(OpSystem, SysVccPin, 34, 0);
    e.UsbPut1(OpWait1ms);
    e.PinLow(33);
    e.PinHigh(33);
    e.UsbPut1(OpWaitSettle);
    e.UsbFlush();
    EXPECT_EQ(s.ChipAs<sim::EepromChip>().WriteCycles(), 0u);
    EXPECT_EQ(s.Chip()[0], 0xFF);
}

TEST(EepromModel, ProtectionNeedsTheOnSequenceBeforeEveryWrite) {
    Bus b;
    b.Chip().SetProtected(true);
    b.Load(0x200, 0x12);
    b.Wait(100);
    EXPECT_EQ(b.Chip().WriteCycles(), 0u);
    for (auto [a, d] : {std::pair{0x5555u, 0xAA}, {0x2AAAu, 0x55}, {0x5555u, 0xA0}}) b.Load(a, static_cast<std::uint8_t>(d));
    b.Load(0x200, 0x12);
    b.Wait(100);
    b.e.UsbFlush();
    EXPECT_EQ(b.Chip().Contents()[0x200], 0x12);
    EXPECT_EQ(b.Chip().Contents()[0x5555], 0xFF);  // command cycles are not written
    EXPECT_TRUE(b.Chip().Protected());
    for (auto [a, d] : {std::pair{0x5555u, 0xAA}, {0x2AAAu, 0x55}, {0x5555u, 0x80}, {0x5555u, 0xAA},
                        {0x2AAAu, 0x55}, {0x5555u, 0x20}})
        b.Load(a, static_cast<std::uint8_t>(d));
    b.Wait(100);
    b.e.UsbFlush();
    EXPECT_FALSE(b.Chip().Protected());
    b.Load(0x300, 0x34);
    b.Wait(100);
    b.e.UsbFlush();
    EXPECT_EQ(b.Chip().Contents()[0x300], 0x34);
}

TEST(EepromModel, ABrokenCommandSequenceIsOrdinaryData) {
    Bus b;
    b.Load(0x5555, 0xAA);
    b.Load(0x5556, 0x77);  // not 55h at 2AAAh
    b.Wait(100);
    b.e.UsbFlush();
    EXPECT_EQ(b.Chip().Contents()[0x5555], 0xAA);
    EXPECT_EQ(b.Chip().Contents()[0x5556], 0x77);
}

struct ClearCase {
    int oeMv;
    bool clears;
};
class ChipClear : public ::testing::TestWithParam<ClearCase> {};

TEST_P(ChipClear, TakesTwelveVoltsOnOeWithCeAndWeLow) {
    const ClearCase c = GetParam();
    Bus b;
    auto cells = b.Chip().MutableContents();
    std::fill(cells.begin(), cells.end(), 0x00);
    b.e.SetVpp(c.oeMv);
    b.e.VppPin(28);
    b.e.PinLow(26);
    b.e.PinLow(33);
    b.Wait(120);  // 12 ms
    b.e.PinHigh(33);
    b.e.VppPin(0);
    b.e.UsbFlush();
    EXPECT_EQ(b.Chip().Contents()[0x1234], c.clears ? 0xFF : 0x00);
}

INSTANTIATE_TEST_SUITE_P(Levels, ChipClear,
                         ::testing::Values(ClearCase{12000, true}, ClearCase{11000, false}, ClearCase{5000, false}),
                         CaseName([](const ClearCase& c) { return std::to_string(c.oeMv) + " mV"; }));

}  // namespace
}  // namespace quilla::test
