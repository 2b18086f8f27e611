// The engine's own sequences (identification, serial code, design loading,
// contact test, over-current check, next-chip wait, USB load test) against
// the simulated programmer, end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/programdir.h"
#include "engine/ep3.h"
#include "engine/fatal.h"
#include "sim/programmer.h"
#include "support/param_names.h"
#include "support/scripted_prompts.h"

namespace quilla::sim::test {
namespace {

using quilla::test::ScriptedPrompts;

struct Bench {
    explicit Bench(std::string_view model = "vex520", ModelConfig* cfg = nullptr)
        : sim(cfg ? std::make_unique<Programmer>(*cfg) : MakeSimulatedProgrammer(model)),
          ep3(prompts, options, sim.get()) {
        ep3.Connected = 1;
        ep3.ProgrammerModel = std::string(model);
        ep3.ProgramDir = SourceDataDir();
    }
    ScriptedPrompts prompts;
    Options options;
    std::unique_ptr<Programmer> sim;
    TEp3 ep3;
    FatalIntercept fatal;
};

// Masks of a 28-pin part at the standard position (socket pins 7..34).
constexpr std::uint32_t Lo28 = 0xFFFFFFC0u;   // pins 7..32
constexpr std::uint32_t Hi28 = 0x3u;          // pins 33, 34

TEST(SimEngine, IdentificationAndSerialCode) {
    Bench b("vex640");
    EXPECT_EQ(b.ep3.ReadProgrammerId(), 1);
    EXPECT_EQ(b.ep3.Edit4, "vex640");
    b.ep3.SNClick();
    const auto& s = b.sim->Model().serial;
    const unsigned v = (s[0] | s[1] << 8 | s[2] << 16 | static_cast<unsigned>(s[3]) << 24) + 10u;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%04x", v);
    EXPECT_EQ(b.ep3.Edit4, hex);
    EXPECT_TRUE(b.sim->Violations().empty());
}

TEST(SimEngine, DesignFileFromTheDataFolderLoads) {
    Bench b;
    b.ep3.LoadBitFile("chkpin.bit");
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
    EXPECT_EQ(b.sim->LoadedTag(), "chkpin");
    EXPECT_TRUE(b.sim->Violations().empty());
}

TEST(SimEngine, UnknownDesignIsReportedByTheHost) {
    Bench b;
    const auto dir = std::filesystem::temp_directory_path() / "quilla_sim_designs";
    std::filesystem::create_directories(dir / "BLib");
    {
        std::ofstream f(dir / "BLib" / "odd.bit", std::ios::binary);
        f << "header\r\n" << '\xff' << "QSIM design=odd";
        for (int i = 0; i < 100; ++i) f.put('\0');
    }
    b.ep3.ProgramDir = dir.string() + "/";
    b.ep3.LoadBitFile("odd.bit");
    EXPECT_EQ(b.prompts.Last(), "Load bit status error!");
    EXPECT_EQ(b.sim->LoadedTag(), "");
    EXPECT_TRUE(b.sim->Violations().empty());
    std::filesystem::remove_all(dir);
}

TEST(SimEngine, Vex310LoadsNothing) {
    Bench b("vex310");
    b.ep3.LoadBitFile("chkpin.bit");
    EXPECT_EQ(b.sim->GetCounters().transfersOut, 0u);
}

TEST(SimEngine, ContactTestPassesWithTheChipSeated) {
    Bench b;
    b.sim->SeatChip(PassiveChip::Dip(28));
    EXPECT_EQ(b.ep3.CheckPinContact(20, 0, Lo28, Hi28, 0), 1);
    EXPECT_EQ(b.ep3.ErrorFlag, 0);
    EXPECT_EQ(b.ep3.Edit4, "00 03 ff ff ff c0 ");
    EXPECT_TRUE(b.prompts.shown.empty());
    EXPECT_TRUE(b.sim->Violations().empty());
    EXPECT_FALSE(b.sim->OverCurrentLatched());
}

TEST(SimEngine, ContactTestNamesTheBadPin) {
    Bench b;
    b.sim->SeatChip(PassiveChip::Dip(28));
    b.sim->SetBadContact(12);
    b.prompts.answers.push_back(BtnCancel);
    EXPECT_EQ(b.ep3.CheckPinContact(20, 0, Lo28, Hi28, 0), 0);
    ASSERT_EQ(b.prompts.shown.size(), 1u);
    EXPECT_NE(b.prompts.Last().find(":\n12, \n"), std::string::npos) << b.prompts.Last();
}

TEST(SimEngine, ContactTestFindsNoChip) {
    Bench b;
    EXPECT_EQ(b.ep3.CheckPinContact(20, 0, Lo28, Hi28, 0), 0);
    EXPECT_EQ(b.prompts.Last(), "没有OK..安放器件！\n或者USB接口5V电流太小!");
    EXPECT_EQ(b.ep3.ErrorFlag, 1);
}

TEST(SimEngine, ReversePowerIsCaughtAndClearedByTheHost) {
    Bench b;
    b.sim->SeatChip(PassiveChip::Dip(28));
    b.ep3.SetVcc(5000);
    b.ep3.GndPin(34);   // the chip's VCC pin
    b.ep3.VccPin(20);   // its ground pin
    EXPECT_EQ(b.ep3.ReadCurrentOk(), 0);
    EXPECT_TRUE(b.sim->GetSocket().VccPins().Empty()) << "the host unrouted VCC at once";
    b.ep3.GndPin(0);
    EXPECT_EQ(b.ep3.ReadCurrentOk(), 1);
    EXPECT_TRUE(b.sim->Violations().empty());
}

TEST(SimEngine, NextChipWaitSeesRemovalAndInsertion) {
    Bench b;
    b.options.MassProduction = true;
    b.sim->SeatChip(PassiveChip::Dip(28));
    b.sim->ScheduleRemoval(When::AfterPolls(3));
    b.sim->ScheduleInsertion(When::AfterPolls(2));
    EXPECT_EQ(b.ep3.WaitNextChip(20, 0, Lo28, Hi28, 0), 1);
    EXPECT_EQ(b.sim->ContactPolls(), 6) << "3 polls with the chip, 1 without, then 2 until it is back";
    EXPECT_EQ(b.ep3.ErrorFlag, 0);
    EXPECT_TRUE(b.sim->Violations().empty());
}

struct LoadCase {
    int capacity;
    std::string text;
};

class SimUsbLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(SimUsbLoad, LevelsPassedFollowTheCapacity) {
    ModelConfig cfg = ModelConfig::For("vex520");
    cfg.usbLoadCapacity = GetParam().capacity;
    Bench b("vex520", &cfg);
    b.prompts.answers.push_back(BtnYes);
    b.ep3.Button2Click();
    EXPECT_EQ(b.ep3.Edit4, GetParam().text);
    EXPECT_TRUE(b.sim->Violations().empty()) << ::testing::PrintToString(b.sim->ViolationTexts());
    EXPECT_TRUE(b.sim->GetSocket().VppPins().Empty());
}

INSTANTIATE_TEST_SUITE_P(Capacities, SimUsbLoad,
                         ::testing::Values(LoadCase{10, "10级，OK"}, LoadCase{6, "6级，OK"},
                                           LoadCase{0, "0级，PC机USB接口5V驱动电流不足!"},
                                           LoadCase{3, "3级，PC机USB接口5V驱动电流不足!"}),
                         quilla::test::CaseName([](const auto& c) {
                             return "capacity " + std::to_string(c.capacity);
                         }));

}  // namespace
}  // namespace quilla::sim::test
