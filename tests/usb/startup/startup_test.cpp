// Start-up against the virtual bus: the simulated programmer connected,
// identified and switched off; short identification answers, wrong models,
// missing programmer, the driver check; the simulated programmer chosen at
// start, with its operator.
#include <gtest/gtest.h>

#include <memory>

#include "app/programdir.h"
#include "engine/fatal.h"
#include "engine/startup.h"
#include "sim/usb_device.h"
#include "support/scripted_prompts.h"
#include "../test_devices.h"

namespace quilla::test {
namespace {

using namespace std::chrono_literals;
using sim::EventKind;

constexpr std::uint16_t Vid = 0x1209, Pid = 0x0001;

struct StartFixture : ::testing::Test {
    ScriptedPrompts prompts;
    Options options;
    TEp3 ep3{prompts, options};
    usb::VirtualBus bus;
    usb::ProgrammerLink link{bus, Vid, Pid};

    StartFixture() {
        ep3.ProgramDir = SourceDataDir();
        ep3.SetTransport(&link);
        link.AttachWait = 200ms;
    }
    std::shared_ptr<sim::Programmer> Plug(sim::ModelConfig config) {
        auto p = std::make_shared<sim::Programmer>(std::move(config));
        sim::PlugProgrammer(bus, p, Vid, Pid);
        return p;
    }
};

struct Step {
    EventKind kind;
    int pin;
    int value;  // -1: any
};

// The log from the design load on, without times.
std::vector<Step> AfterDesignLoad(const sim::Programmer& p) {
    std::vector<Step> steps;
    bool seen = false;
    for (const auto& e : p.Log().Events()) {
        if (e.kind == EventKind::DesignLoaded) seen = true;
        if (seen) steps.push_back({e.kind, e.pin, e.value});
    }
    return steps;
}

TEST_F(StartFixture, SimulatedVex520IsConnectedLoadedAndSwitchedOff) {
    auto sim = Plug(sim::ModelConfig::For("vex520"));
    ConnectProgrammer(ep3, link, -1);

    EXPECT_TRUE(prompts.shown.empty()) << prompts.Last();
    EXPECT_EQ(ep3.Connected, 1);
    EXPECT_EQ(ep3.ProgrammerModel, "vex520");
    EXPECT_EQ(sim->LoadedTag(), "vex300");

    // The design load ends with VPP released; then every output off in order:
    // VPP 0 V, VCC 0 V, VPP, VCC, clock and ground unrouted, pins 1..40 low,
    // port mode 15.
    std::vector<Step> want = {{EventKind::DesignLoaded, 0, -1}, {EventKind::VppRoute, 0, -1},
                              {EventKind::VppLevel, 0, 0},      {EventKind::VccLevel, 0, 0},
                              {EventKind::VppRoute, 0, -1},     {EventKind::VccRoute, 0, -1},
                              {EventKind::ClockRoute, 0, -1},   {EventKind::GndRoute, 0, -1}};
    for (int pin = 1; pin <= 40; ++pin) want.push_back({EventKind::PinLow, pin, -1});
    want.push_back({EventKind::PortMode, 0, 15});
    auto got = AfterDesignLoad(*sim);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].kind, want[i].kind) << "step " << i;
        EXPECT_EQ(got[i].pin, want[i].pin) << "step " << i;
        if (want[i].value >= 0) {
            EXPECT_EQ(got[i].value, want[i].value) << "step " << i;
        }
    }
    // No pin was ever driven high, and only one port mode was set.
    EXPECT_TRUE(sim->Log().OfKind(EventKind::PinHigh).empty());
    EXPECT_EQ(sim->Log().OfKind(EventKind::PortMode).size(), 1u);
    EXPECT_TRUE(sim->Violations().empty()) << (sim->Violations().empty() ? "" : sim->ViolationTexts().front());
    // Nothing left in the queue.
    EXPECT_EQ(ep3.UsbCmdCount, 0);
}

struct IdentCase {
    const char* name;
    int shortReplies;     // identification answers cut short first
    std::string ident;    // what the programmer answers
    const char* message;  // expected message, "" for none
    int connected;
    std::string model;
};

class Identification : public StartFixture, public ::testing::WithParamInterface<IdentCase> {};

TEST_P(Identification, Outcome) {
    const IdentCase& c = GetParam();
    auto sim = Plug(sim::ModelConfig::For("vex520").WithIdent(c.ident));
    if (c.shortReplies) sim->InjectShortReply(10, c.shortReplies);
    ConnectProgrammer(ep3, link, -1);
    EXPECT_EQ(prompts.Last(), c.message);
    EXPECT_EQ(prompts.shown.size(), std::string(c.message).empty() ? 0u : 1u);
    EXPECT_EQ(ep3.Connected, c.connected);
    EXPECT_EQ(ep3.ProgrammerModel, c.model);
    // A programmer that was not accepted gets no design and no power-off.
    if (!c.connected) {
        EXPECT_TRUE(sim->Log().OfKind(EventKind::DesignLoaded).empty());
        EXPECT_TRUE(sim->Log().OfKind(EventKind::PortMode).empty());
    }
}

std::string WithNul(std::string a, std::string b) { return a + std::string(1, '\0') + b; }

INSTANTIATE_TEST_SUITE_P(
    Start, Identification,
    ::testing::Values(
        IdentCase{"FourShortThenGood", 4, "vex520", "", 1, "vex520"},
        IdentCase{"FiveShort", 5, "vex520", "读设备Err.!", 0, ""},
        IdentCase{"UnknownModel", 0, "vex999", "错误的设备Type!", 0, ""},
        IdentCase{"ModelWordNotAtStart", 0, " vex520", "错误的设备Type!", 0, ""},
        IdentCase{"LongerText", 0, "vex520-revB 2026-12-01 extra", "", 1, "vex520-revB 2026"},
        IdentCase{"CutAtNul", 0, WithNul("vex640 r2", "junk"), "", 1, "vex640 r2"},
        IdentCase{"Vex420", 0, "vex420", "", 1, "vex420"}),
    [](const ::testing::TestParamInfo<IdentCase>& i) { return i.param.name; });

TEST_F(StartFixture, Vex310IsAcceptedWithoutDesignLoad) {
    auto sim = Plug(sim::ModelConfig::For("vex310"));
    ConnectProgrammer(ep3, link, -1);
    EXPECT_EQ(ep3.Connected, 1);
    EXPECT_EQ(ep3.ProgrammerModel, "vex310");
    EXPECT_TRUE(sim->Log().OfKind(EventKind::DesignLoaded).empty());
    EXPECT_EQ(sim->Log().OfKind(EventKind::PortMode).size(), 1u);
    EXPECT_TRUE(sim->Violations().empty()) << (sim->Violations().empty() ? "" : sim->ViolationTexts().front());
}

TEST_F(StartFixture, NoProgrammerShowsCannotOpen) {
    ConnectProgrammer(ep3, link, -1);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"不能打开设备!"});
    EXPECT_EQ(ep3.Connected, 0);
    EXPECT_EQ(ep3.ProgrammerModel, "");
}

TEST_F(StartFixture, ProgrammerThatCannotBeClaimedShowsCannotOpenAtOnce) {
    auto desc = sim::DeviceDescriptor(sim::MakeSimulatedProgrammer("vex520"), Vid, Pid);
    desc.setInterfaceFails = true;
    bus.Plug(sim::MakeSimulatedProgrammer("vex520"), desc);
    link.AttachWait = std::chrono::hours(1);  // must not be waited out
    ConnectProgrammer(ep3, link, -1);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"不能打开设备!"});
    EXPECT_EQ(ep3.Connected, 0);
}

TEST_F(StartFixture, DriverMissingCancelGoesOnToCannotOpen) {
    bus.failOpen = true;  // the library cannot start either
    Plug(sim::ModelConfig::For("vex520"));
    link.AttachWait = std::chrono::hours(1);
    prompts.answers = {BtnCancel};
    ConnectProgrammer(ep3, link, 1);
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].text, "没有加载驱动程序，是否现在加载?");
    EXPECT_EQ(prompts.shown[0].buttons, BtnYes | BtnCancel);
    EXPECT_EQ(prompts.shown[1].text, "不能打开设备!");
    EXPECT_EQ(ep3.Connected, 0);
}

TEST_F(StartFixture, DriverMissingYesExplainsAndEnds) {
    auto sim = Plug(sim::ModelConfig::For("vex520"));
    prompts.answers = {BtnYes};
    FatalIntercept intercept;
    try {
        ConnectProgrammer(ep3, link, 1);
        FAIL() << "did not end";
    } catch (const FatalExit& e) {
        EXPECT_EQ(e.message, "请Exit软件，重新运行Quilla!");
        EXPECT_EQ(e.status, 1);
    }
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_NE(prompts.shown[1].text.find("70-quilla.rules"), std::string::npos);
    EXPECT_NE(prompts.shown[1].text.find("libusb"), std::string::npos);
    EXPECT_EQ(sim->GetCounters().transfersOut, 0u);
}

TEST_F(StartFixture, DriverTooOldEnds) {
    auto sim = Plug(sim::ModelConfig::For("vex520"));
    FatalIntercept intercept;
    try {
        ConnectProgrammer(ep3, link, 2);
        FAIL() << "did not end";
    } catch (const FatalExit& e) {
        EXPECT_EQ(e.message, "USB设备驱动程序版本太低！(>=Ver 6.03)");
        EXPECT_EQ(e.status, 1);
    }
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(sim->GetCounters().transfersOut, 0u);
}

TEST_F(StartFixture, UnpluggedAndPluggedAgainIsClaimedButNotIdentifiedOrLoaded) {
    auto sim = Plug(sim::ModelConfig::For("vex520"));
    ConnectProgrammer(ep3, link, -1);
    ASSERT_EQ(ep3.Connected, 1);
    const auto loads = sim->Log().OfKind(EventKind::DesignLoaded).size();
    const auto out = sim->GetCounters().transfersOut;

    sim->Detach();
    ASSERT_TRUE(Eventually([&] { return !link.Claimed(); }));
    std::uint8_t buf[64];
    EXPECT_EQ(link.UsbRead(buf, 64), 0);

    sim::ReattachSimulatedProgrammer(bus, sim, Vid, Pid);
    ASSERT_TRUE(Eventually([&] { return link.Claimed(); }));
    EXPECT_EQ(sim->GetCounters().transfersOut, out);  // nothing sent on re-attach
    EXPECT_EQ(sim->Log().OfKind(EventKind::DesignLoaded).size(), loads);
    // Powered up afresh: the design is gone, and the link counts a new arrival.
    EXPECT_EQ(sim->LoadedTag(), "");
    EXPECT_EQ(link.Arrivals(), 2u);
    EXPECT_EQ(ep3.LinkArrivals(), 2u);
    EXPECT_EQ(ep3.Connected, 1);
    EXPECT_EQ(ep3.ProgrammerModel, "vex520");
    // The link works again.
    EXPECT_EQ(ep3.ReadProgrammerId(), 1);
    EXPECT_EQ(ep3.Edit4, "vex520");
}

// ---- the whole start-up -------------------------------------------------------------------

TEST(StartProgrammer, SimulatedVex640) {
    ScriptedPrompts prompts;
    Options options;
    TEp3 ep3(prompts, options);
    ep3.ProgramDir = SourceDataDir();
    LinkOptions opts;
    opts.simulate = true;
    opts.model = "vex640";
    auto conn = StartProgrammer(ep3, opts, sim::PlugSimulatedProgrammer);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Last();
    EXPECT_EQ(ep3.Connected, 1);
    EXPECT_EQ(ep3.ProgrammerModel, "vex640");
    ASSERT_NE(conn->Bus(), nullptr);
    auto* sim = dynamic_cast<sim::Programmer*>(conn->Simulated().get());
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->LoadedTag(), "vex300");
    EXPECT_NE(sim->GetOperator(), nullptr);  // on unless the options say otherwise
    EXPECT_EQ(ep3.GetTransport(), &conn->Link());
}

TEST(StartProgrammer, WithoutHardwareRunsWithoutAProgrammer) {
    // libusb with ids no device carries, as in CI.
    setenv("QUILLA_USB_ID", "ffff:fffe", 1);
    ScriptedPrompts prompts;
    Options options;
    TEp3 ep3(prompts, options);
    ep3.ProgramDir = SourceDataDir();
    LinkOptions opts;
    opts.attachWait = 200ms;
    prompts.answers = {BtnCancel};  // should libusb not start here: go on without
    const int check = CheckDriverVersion();
    auto conn = StartProgrammer(ep3, opts, sim::PlugSimulatedProgrammer);
    unsetenv("QUILLA_USB_ID");
    if (check == 1) {
        EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"没有加载驱动程序，是否现在加载?",
                                                             "不能打开设备!"}));
    } else {
        EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"不能打开设备!"});
    }
    EXPECT_EQ(ep3.Connected, 0);
    EXPECT_EQ(conn->Bus(), nullptr);
    EXPECT_EQ(conn->Simulated(), nullptr);
}

}  // namespace
}  // namespace quilla::test
