// Design loading, the design plug-in interface and the injected faults.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/programdir.h"
#include "sim/designs/chkpin.h"
#include "sim/programmer.h"
#include "sim/sim_host.h"

namespace quilla::sim::test {
namespace {

using namespace quilla::proto;

TEST(SimDesignTag, ParsesOnlyTheTaggedForm) {
    EXPECT_EQ(DesignTagOf(DesignData("vex300")), "vex300");
    Bytes noFf = DesignData("vex300");
    noFf[0] = 0xFE;
    EXPECT_EQ(DesignTagOf(noFf), "");
    Bytes garbage = DesignData("ve\x01x");
    EXPECT_EQ(DesignTagOf(garbage), "");
    EXPECT_EQ(DesignTagOf(Bytes{0xFF}), "");
    EXPECT_EQ(DesignTagOf(Bytes{}), "");
}

TEST(SimDesignLoad, KnownTagAnswersOneUnknownAnswersZero) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    EXPECT_EQ(Load(h, DesignData("chkpin")), 1);
    EXPECT_EQ(sim->LoadedTag(), "chkpin");
    EXPECT_EQ(Load(h, DesignData("nosuchdesign")), 0);
    EXPECT_EQ(sim->LoadedTag(), "");
    EXPECT_EQ(Load(h, Bytes(240, 0x00)), 0);
    EXPECT_TRUE(sim->Violations().empty());
    EXPECT_EQ(sim->Log().OfKind(EventKind::DesignLoaded).size(), 1u);
    EXPECT_EQ(sim->Log().OfKind(EventKind::DesignRejected).size(), 2u);
}

TEST(SimDesignLoad, InjectedRejection) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    sim->RejectDesign("chkpin");
    EXPECT_EQ(Load(h, DesignData("chkpin")), 0);
    sim = MakeSimulatedProgrammer();
    Host h2(*sim);
    sim->RejectDesigns(true);
    EXPECT_EQ(Load(h2, DesignData("chkpin")), 0);
}

TEST(SimDesignLoad, Vex310RecordsTheLoadCommandsAsViolations) {
    auto sim = MakeSimulatedProgrammer("vex310");
    Host h(*sim);
    Load(h, DesignData("chkpin"));
    // start, four data packets, end
    EXPECT_EQ(sim->Violations().size(), 6u);
    EXPECT_EQ(sim->LoadedTag(), "vex310fw");  // its firmware operations stay
}

TEST(SimDesignLoad, DataWithoutStartIsAViolation) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    Bytes pkt{OpSystem, SysDesignData, 0, 0};
    pkt.resize(64, 0);
    h.Raw(pkt);
    EXPECT_EQ(sim->Violations().size(), 1u);
}

// The design files in data/BLib: header under 100 bytes without 0xFF, then the tag of the file's own name.
TEST(SimDesignFiles, EveryFileCarriesItsOwnName) {
    const std::filesystem::path dir = std::filesystem::path(SourceDataDir()) / "BLib";
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        if (e.path().extension() != ".bit") continue;
        ++files;
        std::ifstream in(e.path(), std::ios::binary);
        Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto ff = std::find(b.begin(), b.end(), 0xFF);
        ASSERT_NE(ff, b.end()) << e.path();
        EXPECT_LT(ff - b.begin(), 100) << e.path();
        EXPECT_EQ(DesignTagOf(Bytes(ff, b.end())), e.path().stem().string()) << e.path();
    }
    EXPECT_GE(files, 2);
    EXPECT_TRUE(std::filesystem::exists(dir / "vex300.bit"));
    EXPECT_TRUE(std::filesystem::exists(dir / "chkpin.bit"));
}

// ---- the plug-in interface, with a test design ------------------------------------------

// Latch 1 drives socket pins 1..8 (data bus), 0x03 captures pins 11..18,
// 0x27 reads 1,024 bytes of a counter, 0x41 n sends n x 64 bytes, 0x0C keeps
// its 32 payload bytes, port mode 12 releases the data bus.
class BusDesign : public Design {
public:
    static constexpr std::string_view TagName = "testbus";
    std::string_view Tag() const override { return TagName; }
    static constexpr int Data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    static constexpr int In[8] = {11, 12, 13, 14, 15, 16, 17, 18};

    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override {
        if (k == 1) ctx.DriveBus(Data, v);
    }
    void OnPortMode(DesignContext& ctx, int mode) override {
        if (mode == PortModeRead) ctx.ReleaseBus(Data);
    }
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override {
        switch (op) {
            case OpCaptureData:
                ctx.Capture(static_cast<std::uint8_t>(ctx.ReadBus(In)));
                return true;
            case OpRead1K: {
                std::uint8_t* b = ctx.Block(Read1KSize);
                for (int i = 0; i < Read1KSize; ++i) b[i] = static_cast<std::uint8_t>(counter++);
                return true;
            }
            case OpAdapterRead: {
                std::uint8_t* b = ctx.Block(args[0] * 64);
                for (int i = 0; i < args[0] * 64; ++i) b[i] = 0xA5;
                return true;
            }
            case OpPageBufferLoad:
                lastPage.assign(payload.begin(), payload.end());
                lastPageAddr = args[0] * 256 + args[1];
                return true;
            case OpBusWrite:
                beforeWait = ctx.Now();
                ctx.Elapse(5 * Microsecond);
                afterWait = ctx.Now();
                return true;
            default:
                return false;
        }
    }
    int counter = 0;
    std::vector<std::uint8_t> lastPage;
    int lastPageAddr = -1;
    Nanos beforeWait = 0, afterWait = 0;
};

struct BusBench {
    BusBench() {
        RegisterBuiltinDesigns(registry);
        registry.Add<BusDesign>();
        sim = std::make_unique<Programmer>(ModelConfig::For("vex520"), &registry);
        host = std::make_unique<Host>(*sim);
        EXPECT_EQ(Load(*host, DesignData("testbus")), 1);
    }
    BusDesign& design() { return *static_cast<BusDesign*>(sim->LoadedDesign()); }
    DesignRegistry registry;
    std::unique_ptr<Programmer> sim;
    std::unique_ptr<Host> host;
};

TEST(SimDesignPlugIn, LatchDrivesPinsAndPortModeReleasesThem) {
    BusBench b;
    Host& h = *b.host;
    h.Raw({OpLatch0 + 1, 0x5A});
    Socket& s = b.sim->GetSocket();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(s.Level(i + 1), ((0x5A >> i) & 1) != 0) << i;
    EXPECT_EQ(b.sim->Latch(1), 0x5A);
    h.Raw({OpPinHigh, 1});   // the host writes last
    EXPECT_TRUE(s.Level(1));
    EXPECT_EQ(s.DriverOf(1), Writer::Host);
    h.Raw({OpSystem, SysPortMode, PortModeRead, 0});
    EXPECT_FALSE(s.Driven(2));
    EXPECT_TRUE(b.sim->Violations().empty());
}

// vex300's latch 3 drives socket pins 26..33 (bit k on pin 26 + k); a pin
// option on releases its pin whatever the latch says, and off gives it back.
TEST(SimVex300, Latch3DrivesPins26To33AndPinOptionsReleaseThem) {
    auto sim = std::make_unique<Programmer>(ModelConfig::For("vex520"));
    Host h(*sim);
    ASSERT_EQ(Load(h, DesignData("vex300")), 1);
    h.Raw({OpLatch0 + 3, 0xA4});
    Socket& s = sim->GetSocket();
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(s.Level(26 + k), ((0xA4 >> k) & 1) != 0) << k;
        EXPECT_EQ(s.DriverOf(26 + k), Writer::Design) << k;
    }
    h.Sys(SysPinOptionOn, 26);
    h.Raw({OpLatch0 + 3, 0x00});
    EXPECT_TRUE(s.Level(26));   // released: the pull-up (or a chip output) wins
    EXPECT_FALSE(s.Level(27));
    h.Sys(SysPinOptionOff, 26);
    EXPECT_FALSE(s.Level(26));
    EXPECT_TRUE(sim->Violations().empty());
}

TEST(SimDesignPlugIn, CaptureAndBlockReadsHaveExactSizes) {
    BusBench b;
    Host& h = *b.host;
    h.Raw({OpPinLow, 11, OpPinLow, 13, OpCaptureData});
    Bytes r = h.Reply();
    EXPECT_EQ(r[0], 0xFA);
    h.Raw({OpRead1K, OpRead1K});
    Bytes first = h.Read(4096);
    ASSERT_EQ(first.size(), 1024u) << "one block per read, never more";
    EXPECT_EQ(first[1023], 0xFF);
    Bytes second = h.Read(1024);
    ASSERT_EQ(second.size(), 1024u);
    EXPECT_EQ(second[0], 0x00);
    h.Raw({OpAdapterRead, 128});
    EXPECT_EQ(h.Read(8192).size(), 8192u);
    h.Raw({OpAdapterRead, 1});
    EXPECT_EQ(h.Read(64).size(), 64u);
    EXPECT_TRUE(b.sim->Violations().empty());
}

TEST(SimDesignPlugIn, PayloadCommandAndDesignTime) {
    BusBench b;
    Host& h = *b.host;
    Bytes pkt{OpPageBufferLoad, 0x01, 0x20};
    for (int i = 0; i < PageBufferBytes; ++i) pkt.push_back(static_cast<std::uint8_t>(i + 1));
    h.Raw(pkt);
    EXPECT_EQ(b.design().lastPageAddr, 0x120);
    ASSERT_EQ(b.design().lastPage.size(), 32u);
    EXPECT_EQ(b.design().lastPage[31], 32);
    h.Raw({OpBusWrite});
    EXPECT_EQ(b.design().afterWait - b.design().beforeWait, 5 * Microsecond);
    EXPECT_EQ(b.sim->Now(), b.design().afterWait + timing::CommandCost) << "the command's own 1 us follows";
    EXPECT_TRUE(b.sim->Violations().empty());
}

TEST(SimDesignPlugIn, UnimplementedCommandIsAViolation) {
    BusBench b;
    b.host->Raw({OpSpiOut, 0x12});
    ASSERT_EQ(b.sim->Violations().size(), 1u);
    EXPECT_NE(b.sim->Violations()[0].text.find("testbus"), std::string::npos);
}

TEST(SimDesignPlugIn, ContactTestWorksUnderEveryDesign) {
    BusBench b;
    b.sim->SeatChip(PassiveChip::Dip(28));
    b.host->Raw({OpLatch0 + 1, 0x00});
    EXPECT_EQ(b.host->ContactPoll(20), PinRange(7, 34));
}

// The vex310 has no FPGA: its fixed port operations come from a design active from power-up.
class Vex310Ports : public Design {
public:
    static constexpr std::string_view TagName = "vex310fw";
    std::string_view Tag() const override { return TagName; }
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t>,
                 std::span<const std::uint8_t>) override {
        if (op != OpCapturePort0) return false;
        ctx.Capture(ctx.Latch(0));
        return true;
    }
};

TEST(SimDesignPlugIn, FirmwareDesignOfAModelWithoutFpga) {
    DesignRegistry registry;
    registry.Add<Vex310Ports>();
    Programmer sim(ModelConfig::For("vex310"), &registry);
    EXPECT_EQ(sim.LoadedTag(), "vex310fw");
    Host h(sim);
    h.Raw({OpLatch0, 0x3C, OpCapturePort0});
    EXPECT_EQ(h.Reply()[0], 0x3C);
    EXPECT_TRUE(sim.Violations().empty());
    Programmer plain(ModelConfig::For("vex310"));
    EXPECT_EQ(plain.LoadedTag(), DesignRegistry::Builtin().Has("vex310fw") ? "vex310fw" : "");
    EXPECT_EQ(MakeSimulatedProgrammer("vex520")->LoadedTag(), "") << "FPGA models start without a design";
}

TEST(SimEventLog, DesignPinsOnRequest) {
    BusBench b;
    b.sim->Log().Clear();
    b.host->Raw({OpLatch0 + 1, 0x01});
    EXPECT_TRUE(b.sim->Log().OfKind(EventKind::PinHigh).empty());
    b.sim->Log().SetDesignPins(true);
    b.host->Raw({OpLatch0 + 1, 0x03});
    const auto highs = b.sim->Log().OfKind(EventKind::PinHigh);
    ASSERT_EQ(highs.size(), 2u);
    EXPECT_EQ(highs[1].pin, 2);
    EXPECT_EQ(highs[1].value, 1) << "driven by the design";
}

// ---- injected transport faults ---------------------------------------------------------------

TEST(SimFaults, ShortReply) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    sim->InjectShortReply(10);
    EXPECT_EQ(h.Reply().size(), 10u);
    EXPECT_EQ(h.Reply().size(), 64u) << "only the next reply is short";
}

TEST(SimFaults, NoReply) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    sim->InjectNoReply();
    EXPECT_EQ(h.Reply().size(), 0u);
    EXPECT_EQ(h.Reply().size(), 64u);
}

TEST(SimFaults, FailedOutTransferRunsNothing) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    sim->InjectOutFailure();
    EXPECT_EQ(h.Raw({OpPinLow, 5}), 0);
    EXPECT_FALSE(sim->GetSocket().Driven(5));
    EXPECT_EQ(h.Raw({OpPinLow, 5}), 2);
    EXPECT_TRUE(sim->GetSocket().Driven(5));
    EXPECT_EQ(sim->GetCounters().failedTransfers, 1u);
}

TEST(SimFaults, DetachFailsEveryTransferAndIsReported) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    int reported = 0;
    sim->SetDetachListener([&] { ++reported; });
    h.Raw({OpReply});
    sim->Detach();
    EXPECT_EQ(reported, 1);
    EXPECT_FALSE(sim->Attached());
    EXPECT_EQ(h.Read(64).size(), 0u);
    EXPECT_EQ(h.Raw({OpReply}), 0);
    sim->Reattach();
    EXPECT_EQ(h.Read(64).size(), 0u) << "the reply not read before the unplug is gone";
    EXPECT_EQ(h.Reply().size(), 64u);
}

// The programmer is powered from the USB port: unplugged, it starts again from
// power-up (no design, supplies off and unrouted, no pin driven, latches,
// registers and port mode as at power-up); the chip stays in the socket.
TEST(SimFaults, DetachIsAPowerCycle) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    sim->SeatChip(PassiveChip::Dip(28));
    const Chip* chip = sim->GetChip();
    ASSERT_EQ(Load(h, DesignData("vex300")), 1);
    h.Sys(SysVccLevel, 50);
    h.Sys(SysVppLevel, 125);
    h.Sys(SysVccPin, 28);
    h.Sys(SysVppPin, 1);
    h.Sys(SysGndPin, 14);
    h.Sys(SysClockPin, 30);
    h.Sys(SysPortMode, PortModeRead);
    h.Sys(SysPinOptionOn, 26);
    h.Raw({OpLatch0 + 3, 0xA4, OpWriteReg, 5, 0x33, OpPinHigh, 40});
    Socket& s = sim->GetSocket();
    ASSERT_NE(s.VppLevel(), 0);
    ASSERT_TRUE(s.Driven(40));

    sim->Detach();
    sim->Reattach();
    EXPECT_EQ(sim->LoadedTag(), "");
    EXPECT_EQ(s.VppLevel(), 0);
    EXPECT_EQ(s.VccLevel(), 0);
    EXPECT_TRUE(s.VppPins().Empty());
    EXPECT_TRUE(s.VccPins().Empty());
    EXPECT_TRUE(s.GndPins().Empty());
    EXPECT_EQ(s.ClockPin(), 0);
    EXPECT_EQ(s.PortMode(), PortModeReset);
    EXPECT_TRUE(s.PinOptions().Empty());
    for (int p = 1; p <= SocketPins; ++p) EXPECT_FALSE(s.Driven(p)) << p;
    EXPECT_EQ(sim->Latch(3), 0);
    EXPECT_EQ(sim->Register(5), 0);
    EXPECT_EQ(sim->GetChip(), chip);
    EXPECT_EQ(sim->Log().OfKind(EventKind::PowerDown).size(), 1u);
    // A family command finds no design until one is loaded again.
    h.Raw({OpPutData51, 0x01});
    ASSERT_EQ(sim->Violations().size(), 1u);
    EXPECT_NE(sim->Violations()[0].text.find("no design loaded"), std::string::npos);
    EXPECT_EQ(Load(h, DesignData("vex300")), 1);
    EXPECT_EQ(sim->LoadedTag(), "vex300");
}

}  // namespace
}  // namespace quilla::sim::test

namespace quilla::sim::test {
namespace {

TEST(SimFaults, UnreadInDataIsBoundedAndReported) {
    auto sim = MakeSimulatedProgrammer();
    Host h(*sim);
    Bytes replies(4096, proto::OpReply);
    for (int i = 0; i < 40; ++i) h.Raw(replies);   // 160 Ki replies of 64 bytes = 10 MiB, never read
    EXPECT_EQ(sim->Violations().size(), 1u);
    EXPECT_EQ(h.Read(64).size(), 64u);
}

}  // namespace
}  // namespace quilla::sim::test

namespace quilla::sim::test {
namespace {

TEST(SimRegistry, BuiltinsAndDuplicates) {
    EXPECT_TRUE(DesignRegistry::Builtin().Has("chkpin"));
    DesignRegistry r;
    r.Add<ChkPinDesign>();
    EXPECT_THROW(r.Add<ChkPinDesign>(), std::logic_error);
    ChipRegistry chips;
    chips.Add("X28", [] { return SeatedPart{PassiveChip::Dip(28), Placement::Dip(28)}; });
    EXPECT_THROW(chips.Add("X28", [] { return SeatedPart{}; }), std::logic_error);
    SeatedPart p = chips.Create("X28");
    ASSERT_TRUE(p.chip);
    EXPECT_EQ(p.placement.SocketPinOf(1), 7);
    EXPECT_FALSE(chips.Create("nothing").chip);
    auto sim = MakeSimulatedProgrammer();
    EXPECT_FALSE(sim->SeatPart("no such part"));
}

}  // namespace
}  // namespace quilla::sim::test
