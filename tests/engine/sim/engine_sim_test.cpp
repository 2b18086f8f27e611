// The engine against the simulated programmer: power-off, contact test on a
// seated chip, over-current, next-chip wait, load test, design loading and the
// status buttons. Every test also checks that the stream broke no protocol rule.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/programdir.h"
#include "engine/ep3.h"
#include "engine/fatal.h"
#include "sim/chip.h"
#include "sim/programmer.h"
#include "support/param_names.h"
#include "support/scripted_prompts.h"

using namespace quilla;
using namespace quilla::sim;
using quilla::test::ScriptedPrompts;

namespace {

namespace fs = std::filesystem;

std::uint32_t LoMask(int from, int to) {
    std::uint32_t m = 0;
    for (int p = from; p <= to && p <= 32; ++p) m |= 1u << (p - 1);
    return m;
}
std::uint32_t HiMask(int from, int to) {
    std::uint32_t m = 0;
    for (int p = from < 33 ? 33 : from; p <= to; ++p) m |= 1u << (p - 33);
    return m;
}

class EngineOnSim : public ::testing::Test {
protected:
    FatalIntercept fatal;
    ScriptedPrompts prompts;
    Options options;
    std::unique_ptr<Programmer> sim;
    std::unique_ptr<TEp3> ep3;

    void SetUp() override { Start(ModelConfig::For("vex520")); }
    void TearDown() override {
        EXPECT_TRUE(sim->Violations().empty()) << ::testing::PrintToString(sim->ViolationTexts());
    }
    void Start(ModelConfig config) {
        ep3.reset();
        sim = std::make_unique<Programmer>(std::move(config));
        ep3 = std::make_unique<TEp3>(prompts, options, sim.get());
        ep3->ProgrammerModel = sim->Model().model;
    }
    Socket& Sock() { return sim->GetSocket(); }
    void ExpectSuppliesOff() {
        EXPECT_EQ(Sock().VppLevel(), 0);
        EXPECT_EQ(Sock().VccLevel(), 0);
        EXPECT_TRUE(Sock().VppPins().Empty()) << ::testing::PrintToString(Sock().VppPins().Pins());
        EXPECT_TRUE(Sock().VccPins().Empty()) << ::testing::PrintToString(Sock().VccPins().Pins());
    }
    // A typical operation's supplies: ground 14, VCC 28, VPP 1 at 12.5 V (28-pin EPROM).
    void ApplySupplies() {
        ep3->GndPin(20);
        ep3->VccPin(34);
        ep3->SetVcc(5000);
        ep3->SetVpp(12500);
        ep3->VppPin(7);
        ep3->UsbFlush();
        ASSERT_EQ(Sock().VppLevel(), 125);
        ASSERT_TRUE(Sock().VppPins().Has(7));
        ASSERT_TRUE(Sock().VccPins().Has(34));
    }
};

// ---- power-off --------------------------------------------------------------

TEST_F(EngineOnSim, PowerOffLeavesBothSuppliesAtZeroAndUnrouted) {
    ApplySupplies();
    ep3->PowerOff();
    ep3->UsbFlush();
    ExpectSuppliesOff();
    // VPP is at 0 V before it is released, VCC likewise.
    const auto& ev = sim->Log().Events();
    int vppZero = -1, vppFree = -1, vccZero = -1, vccFree = -1;
    for (int i = 0; i < static_cast<int>(ev.size()); ++i) {
        const Event& e = ev[static_cast<std::size_t>(i)];
        if (e.kind == EventKind::VppLevel && e.value == 0) vppZero = i;
        if (e.kind == EventKind::VppRoute && e.pin == 0) vppFree = i;
        if (e.kind == EventKind::VccLevel && e.value == 0) vccZero = i;
        if (e.kind == EventKind::VccRoute && e.pin == 0) vccFree = i;
    }
    ASSERT_GE(vppZero, 0);
    ASSERT_GE(vccZero, 0);
    EXPECT_LT(vppZero, vppFree);
    EXPECT_LT(vccZero, vccFree);
}

TEST_F(EngineOnSim, MissingDesignFileSwitchesSuppliesOffBeforeTheEnd) {
    ep3->Connected = 1;
    ep3->ProgramDir = "/nonexistent-quilla-dir/";
    ApplySupplies();
    ep3->VppPin(9);  // queued after the last flush: must not reach the programmer
    EXPECT_THROW(ep3->LoadBitFile("vex300.bit"), FatalExit);
    ExpectSuppliesOff();
}

// ---- contact test -------------------------------------------------------------

struct SeatCase {
    int pins;       // DIP size, standard position
    int gndSocket;  // socket pin of the chip's ground (chip pin N/2)
};

class ContactOnSim : public EngineOnSim, public ::testing::WithParamInterface<SeatCase> {
protected:
    int first() const { return (40 - GetParam().pins) / 2 + 1; }
    int last() const { return first() + GetParam().pins - 1; }
    int Check() {
        return ep3->CheckPinContact(GetParam().gndSocket, 0, LoMask(first(), last()), HiMask(first(), last()), 0);
    }
};

TEST_P(ContactOnSim, SeatedChipPasses) {
    sim->SeatChip(PassiveChip::Dip(GetParam().pins));
    ep3->ErrorFlag = 1;
    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(ep3->ErrorFlag, 0);
    EXPECT_TRUE(prompts.shown.empty());
    // Restored: contact mode off, the ground pin routed again, no supply routed.
    EXPECT_EQ(sim->Register(4), 0);
    EXPECT_EQ(sim->Register(27), 0);
    EXPECT_TRUE(Sock().GndPins().Has(GetParam().gndSocket));
    EXPECT_TRUE(Sock().VppPins().Empty());
    EXPECT_TRUE(Sock().VccPins().Empty());
    EXPECT_EQ(sim->ContactPolls(), 1);
}

TEST_P(ContactOnSim, TwoLoosePinsAsked) {
    sim->SeatChip(PassiveChip::Dip(GetParam().pins));
    sim->SetBadContact(first() + 1);
    sim->SetBadContact(last());
    prompts.answers.push_back(BtnCancel);
    ep3->ErrorFlag = 0;
    EXPECT_EQ(Check(), 0);
    EXPECT_EQ(ep3->ErrorFlag, 1);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "有如下插脚接触不良(锁紧插座的编号):\n" + std::to_string(first() + 1) + ", " +
                                         std::to_string(last()) + ", \n\n要继续按Yes,要取消按Cancel");
}

TEST_P(ContactOnSim, EmptySocket) {
    EXPECT_EQ(Check(), 0);
    EXPECT_EQ(ep3->ErrorFlag, 1);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "没有OK..安放器件！\n或者USB接口5V电流太小!");
    EXPECT_EQ(ep3->Edit4.size(), 18u);
}

INSTANTIATE_TEST_SUITE_P(Dips, ContactOnSim,
                         ::testing::Values(SeatCase{24, 20}, SeatCase{28, 20}, SeatCase{32, 20}, SeatCase{40, 20},
                                           SeatCase{8, 19}),
                         quilla::test::CaseName([](const auto& c) { return std::to_string(c.pins) + " pins"; }));

TEST_F(EngineOnSim, ContactBytesOfA28PinChip) {
    sim->SeatChip(PassiveChip::Dip(28));  // socket pins 7..34
    EXPECT_EQ(ep3->CheckPinContact(20, 0, LoMask(7, 34), HiMask(7, 34), 0), 1);
    EXPECT_EQ(ep3->Edit4, "00 03 ff ff ff c0 ");
}

TEST_F(EngineOnSim, GroundCode100SuppliesPins11And30) {
    // A 40-pin part whose ground is chip pin 11 and VCC chip pin 30.
    sim->SeatChip(std::make_unique<PassiveChip>(40, std::vector<int>{11}, std::vector<int>{30}));
    EXPECT_EQ(ep3->CheckPinContact(100, 0, 0xFFFFFFFFu, 0xFFu, 0), 1);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(EngineOnSim, MassProductionBadPinIsSilent) {
    options.MassProduction = true;
    sim->SeatChip(PassiveChip::Dip(28));
    sim->SetBadContact(10);
    EXPECT_EQ(ep3->CheckPinContact(20, 0, LoMask(7, 34), HiMask(7, 34), 0), 0);
    EXPECT_EQ(ep3->ErrorFlag, 1);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(EngineOnSim, Vex310SkipsTheContactTest) {
    Start(ModelConfig::For("vex310"));
    EXPECT_EQ(ep3->CheckPinContact(20, 0, LoMask(7, 34), 0, 0), 1);
    EXPECT_EQ(sim->GetCounters().transfersOut, 0u);
}

// ---- over-current -------------------------------------------------------------------

TEST_F(EngineOnSim, InjectedOverCurrentIsReportedAndSuppliesUnrouted) {
    sim->SeatChip(PassiveChip::Dip(28));
    ApplySupplies();
    sim->InjectOverCurrent();
    ep3->ErrorFlag = 0;
    EXPECT_EQ(ep3->CheckCurrent(), 0);
    EXPECT_EQ(ep3->ErrorFlag, 1);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, OverCurrentMsg);
    EXPECT_TRUE(Sock().VppPins().Empty());
    EXPECT_TRUE(Sock().VccPins().Empty());
    // The flag was cleared by the status read.
    EXPECT_FALSE(sim->OverCurrentLatched());
}

TEST_F(EngineOnSim, NoOverCurrentWithCorrectSupplies) {
    sim->SeatChip(PassiveChip::Dip(28));
    ApplySupplies();
    EXPECT_EQ(ep3->CheckCurrent(), 1);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(Sock().VccPins().Has(34));
}

TEST_F(EngineOnSim, ShortIsAnOverCurrent) {
    ep3->GndPin(20);
    ep3->VccPin(20);
    ep3->SetVcc(5000);
    EXPECT_EQ(ep3->ReadCurrentOk(), 0);
    EXPECT_TRUE(Sock().VccPins().Empty());
}

// ---- next-chip wait ----------------------------------------------------------------------

class NextChipOnSim : public EngineOnSim {
protected:
    void SetUp() override {
        EngineOnSim::SetUp();
        options.MassProduction = true;
        sim->SeatChip(PassiveChip::Dip(28));
    }
    int Wait() { return ep3->WaitNextChip(20, 0, LoMask(7, 34), HiMask(7, 34), 0); }
};

TEST_F(NextChipOnSim, RemovedOn300thPollNextPlacedOn30th) {
    // Polls 1..299 see the chip; from poll 300 on the socket is empty for 30
    // polls (300..329, the first 29 of the second phase); poll 330 sees the next.
    sim->ScheduleRemoval(When::AfterPolls(299));
    sim->ScheduleInsertion(When::AfterPolls(30));
    EXPECT_EQ(Wait(), 1);
    EXPECT_EQ(sim->ContactPolls(), 330);
    std::vector<std::string> texts(300, "  OK,请取走写好的器件");
    texts.insert(texts.end(), 30, "  放置下一片...");
    EXPECT_EQ(prompts.chipPrompt, texts);
    EXPECT_EQ(prompts.chipPromptCaptions.back(), "5秒后不放器件将Exit操作");
    EXPECT_EQ(prompts.chipPromptCloses, 1);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(ep3->ErrorFlag, 0);
    // 330 waits of about 100 ms: the prompt's "5 seconds" for the 30 polls.
    EXPECT_GE(sim->Now(), Nanos{33'000'000'000});
}

TEST_F(NextChipOnSim, NextChipOneUpdateTooLate) {
    sim->ScheduleRemoval(When::AfterPolls(299));
    sim->ScheduleInsertion(When::AfterPolls(31));
    EXPECT_EQ(Wait(), 0);
    EXPECT_EQ(sim->ContactPolls(), 330);
    EXPECT_EQ(prompts.chipPromptCloses, 1);
}

TEST_F(NextChipOnSim, ChipNeverRemoved) {
    EXPECT_EQ(Wait(), 0);
    EXPECT_EQ(sim->ContactPolls(), 300);
    EXPECT_EQ(prompts.chipPromptCloses, 1);
}

TEST_F(NextChipOnSim, NoNextChip) {
    sim->ScheduleRemoval(When::AfterPolls(2));
    EXPECT_EQ(Wait(), 0);
    EXPECT_EQ(sim->ContactPolls(), 33);
    EXPECT_EQ(ep3->ErrorFlag, 1);
}

TEST_F(NextChipOnSim, MassProductionOffSendsNothing) {
    options.MassProduction = false;
    EXPECT_EQ(Wait(), 0);
    EXPECT_EQ(sim->GetCounters().transfersOut, 0u);
}

// ---- USB load test -----------------------------------------------------------------------

struct LoadCase {
    int capacity;
    std::string result;
};

class LoadTestOnSim : public EngineOnSim, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTestOnSim, FindsTheCapacity) {
    ModelConfig c = ModelConfig::For("vex520");
    c.usbLoadCapacity = GetParam().capacity;
    Start(c);
    prompts.answers.push_back(BtnYes);
    ep3->Button2Click();
    EXPECT_EQ(ep3->Edit4, GetParam().result);
    EXPECT_EQ(Sock().VppLevel(), 0);
    EXPECT_TRUE(Sock().VppPins().Empty());
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(prompts.shown.size(), 1u);  // the question only
}

INSTANTIATE_TEST_SUITE_P(Capacities, LoadTestOnSim,
                         ::testing::Values(LoadCase{10, "10级，OK"}, LoadCase{12, "10级，OK"},
                                           LoadCase{5, "5级，OK"},
                                           LoadCase{4, "4级，PC机USB接口5V驱动电流不足!"},
                                           LoadCase{0, "0级，PC机USB接口5V驱动电流不足!"}),
                         quilla::test::CaseName([](const auto& c) {
                             return "capacity " + std::to_string(c.capacity);
                         }));

TEST_F(EngineOnSim, LoadTestLoadsTheShippedDefaultDesign) {
    ep3->Connected = 1;
    ep3->ProgramDir = SourceDataDir();
    prompts.answers.push_back(BtnYes);
    ep3->Button2Click();
    EXPECT_EQ(sim->LoadedTag(), "vex300");
    EXPECT_EQ(ep3->Edit4, "10级，OK");
    EXPECT_EQ(prompts.shown.size(), 1u);  // the question only: the design was accepted
}

TEST_F(EngineOnSim, LoadTestCancelSendsNothing) {
    prompts.answers.push_back(BtnCancel);
    ep3->Button2Click();
    EXPECT_EQ(sim->GetCounters().transfersOut, 0u);
    EXPECT_EQ(prompts.beeps, 0);
}

// ---- design loading --------------------------------------------------------------------

class DesignsOnSim : public EngineOnSim {
protected:
    fs::path dir;
    void SetUp() override {
        EngineOnSim::SetUp();
        dir = fs::temp_directory_path() /
              ("quilla-simdesign-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir / "BLib");
        ep3->ProgramDir = dir.string() + "/";
        ep3->Connected = 1;
    }
    void TearDown() override {
        fs::remove_all(dir);
        EngineOnSim::TearDown();
    }
    // A design file as the simulator knows them: a text header, 0xFF, the tag.
    void WriteDesign(const std::string& file, const std::string& tag, std::size_t padding = 300) {
        std::string content = "Quilla simulated FPGA design\r\n";
        content += '\xFF';
        content += "QSIM design=" + tag;
        content.append(padding, '\0');
        std::ofstream(dir / "BLib" / file, std::ios::binary) << content;
    }
};

TEST_F(DesignsOnSim, KnownDesignIsAccepted) {
    WriteDesign("chkpin.bit", "chkpin");
    ep3->VppPin(7);
    ep3->LoadBitFile("chkpin.bit");
    EXPECT_EQ(sim->LoadedTag(), "chkpin");
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(Sock().VppPins().Empty());
}

TEST_F(DesignsOnSim, UnknownDesignIsRejected) {
    WriteDesign("nosuch.bit", "nosuch");
    ep3->LoadBitFile("nosuch.bit");
    EXPECT_EQ(sim->LoadedDesign(), nullptr);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Load bit status error!");
}

TEST_F(DesignsOnSim, LongDesignIsCutAt136Packets) {
    WriteDesign("chkpin.bit", "chkpin", 20000);
    ep3->LoadBitFile("chkpin.bit");
    EXPECT_EQ(sim->LoadedTag(), "chkpin");
    // start + 136 packets + end + reply request + VPP release
    EXPECT_EQ(sim->GetCounters().transfersOut, 140u);
}

TEST_F(EngineOnSim, ShippedDesignFilesAreAccepted) {
    ep3->Connected = 1;
    ep3->ProgramDir = SourceDataDir();
    for (const char* name : {"vex300", "chkpin"}) {
        ep3->LoadBitFile(std::string(name) + ".bit");
        EXPECT_EQ(sim->LoadedTag(), name);
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(DesignsOnSim, Vex310LoadsNothing) {
    Start(ModelConfig::For("vex310"));
    ep3->ProgramDir = dir.string() + "/";
    ep3->Connected = 1;
    ep3->LoadBitFile("chkpin.bit");
    EXPECT_EQ(sim->GetCounters().transfersOut, 0u);
}

// ---- status buttons -------------------------------------------------------------------------

TEST_F(EngineOnSim, ProgrammerButtonShowsTheIdentification) {
    Start(ModelConfig::For("vex640").WithIdent("vex640 serial 0123456789"));
    ep3->typeClick();
    EXPECT_EQ(ep3->Edit4, "vex640 serial 01");
}

TEST_F(EngineOnSim, ProgrammerButtonAfterDetachIsNotFatal) {
    sim->Detach();
    ep3->typeClick();
    EXPECT_EQ(ep3->Edit4, "Link error..");
}

TEST_F(EngineOnSim, SerialCodeButton) {
    std::array<std::uint8_t, 24> serial{};
    serial[0] = 0x34;
    serial[1] = 0x12;
    serial[4] = 0x77;  // beyond the four bytes shown
    Start(ModelConfig::For("vex520").WithSerial(serial));
    ep3->SNClick();
    EXPECT_EQ(ep3->Edit4, "123e");
}

}  // namespace
