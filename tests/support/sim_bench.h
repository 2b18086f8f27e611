// The shared test bench of every device family: a workbench on the simulated
// programmer with a chip of the given part in the socket, the selection dialog
// (for the ID buttons) and the dispatch. Forms are opened by their parameter
// string and driven by control name:
//
//   SimBench b("AT27C256R");
//   AlgoForm& f = b.Open("P27 13");
//   f.Click("Write");
//   EXPECT_EQ(f.Text("Message"), "OK!");
//   EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
//
// The bench also checks the chip's side when it ends: a protocol violation, an
// over-current, a damaged chip or a read of the socket while the chip's VCC pin
// was held high by a logic pin instead of the supply fails the test unless the
// test declared it (ExpectViolation, ExpectOverCurrent, ExpectDamage,
// ExpectVccFromLogic).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "algo/common/form.h"
#include "app/workbench.h"
#include "catalog/typedlg.h"
#include "engine/fatal.h"
#include "engine/protocol.h"
#include "engine/startup.h"
#include "sim/programmer.h"
#include "simulate/session.h"
#include "support/scripted_prompts.h"

namespace quilla::test {

// Passes every transfer to the simulated programmer and keeps the commands
// the host sent (opcode and arguments, fillers and payloads left out). Hooks
// run before and after each OUT transfer (the fault sweep injects there).
struct Tap : Transport {
    explicit Tap(Transport& t) : next(t) {}
    int BulkWrite(const std::uint8_t* data, int n) override;
    int BulkRead(std::uint8_t* buf, int n) override { return next.BulkRead(buf, n); }
    std::size_t Count(std::uint8_t op) const;

    Transport& next;
    std::vector<std::vector<std::uint8_t>> commands;
    int outTransfers = 0;  // OUT transfers passed on (counted also when they fail)
    bool record = true;    // keep the commands (long runs on big parts switch it off)
    bool keepTransfers = false;                       // keep every OUT transfer's bytes too
    std::vector<std::vector<std::uint8_t>> transfers;
    std::function<void(int transfer)> beforeOut;  // transfer numbers count from 1
    std::function<void(int transfer)> afterOut;
};

struct SimBench {
    // withOperator: the simulated operator takes finished chips out and seats
    // fresh ones in mass production (sim/README.md, "The simulated operator").
    explicit SimBench(const std::string& part, const std::string& model = "vex520", bool withOperator = false);
    // The program's own start (`quilla --simulate`): the simulated programmer on
    // the virtual bus, the start-up connection, the selection dialog started
    // with the program's default options (no configuration file) and its
    // dispatch seating the selected line's chip. The socket is empty until a
    // line is selected.
    struct ProgramStart {
        std::string model = "vex520";
        bool withOperator = false;
    };
    explicit SimBench(const ProgramStart& start);
    virtual ~SimBench();  // benches for a family derive from it and are owned as SimBench
    SimBench(const SimBench&) = delete;
    SimBench& operator=(const SimBench&) = delete;

    // Opens (or re-opens) the form of a parameter string, as the selection does.
    AlgoForm& Open(const std::string& params);
    // Selects a device line as the user does in the selection dialog (category
    // code "EPR".."TES", manufacturer, list item) and presses OK; null (with a
    // test failure) when the line is not listed or no form opened.
    AlgoForm* Select(const std::string& category, const std::string& mfr, const std::string& item);

    std::span<const std::uint8_t> Chip() const { return sim->GetChip()->Contents(); }
    template <class C>
    C& ChipAs() const {
        return dynamic_cast<C&>(*sim->GetChip());
    }
    std::uint8_t* Image() { return wb->ImageBuffer.data(); }

    // Random image bytes in [0, n), with a share of 0xFF bytes.
    void RandomImage(int n, unsigned seed = 7);
    // Chip bytes [first, first + n) equal the image at the same addresses.
    bool ChipMatchesImage(int first, int n) const;
    // Chip bytes [first, first + n) are all 0xFF.
    bool ChipBlank(int first, int n) const;
    std::uint64_t Transfers() const { return sim->GetCounters().transfersOut; }

    // ---- what the test expects of the chip's side ------------------------------------
    // A violation whose text contains `part` is expected (and must happen).
    void ExpectViolation(const std::string& part) { expectedViolations.push_back(part); }
    void ExpectOverCurrent() { overCurrentExpected = true; }
    void ExpectDamage() { damageExpected = true; }
    // A read while the chip's VCC pin is held high by a logic pin and no supply
    // (VCC unrouted: the chip runs on nothing) is expected; without it such a
    // read fails the test.
    void ExpectVccFromLogic() { vccFromLogicExpected = true; }
    // The chip's side as the bench judges it at its end: one line per fault
    // nobody declared (empty when clean).
    std::vector<std::string> ChipSideFaults() const;
    // Checks now (and not again at the end).
    void CheckChipSide();

    FatalIntercept fatal;
    ScriptedPrompts prompts;
    std::shared_ptr<sim::Programmer> sim;
    std::shared_ptr<Tap> tap;
    std::unique_ptr<ProgrammerConnection> connection;  // ProgramStart only
    std::unique_ptr<Workbench> wb;
    std::unique_ptr<TTypeDlg> dlg;

    std::vector<std::string> expectedViolations;
    bool overCurrentExpected = false;
    bool damageExpected = false;
    bool vccFromLogicExpected = false;
    bool checked = false;
};

}  // namespace quilla::test
